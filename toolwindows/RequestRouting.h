// The request entry points through which every control of the tool windows,
// parameter pages and main window reaches the program's logic. Each runs the
// handler of its event kind under a guard: a failure is reported with the
// entry point's name, the control id and the fractal, and the program goes
// on. Formula-parameter controls (ids 1000000 to 4000000) go to the
// formula-slot code first, whatever their window. The handler bodies come
// with their windows and bind themselves into g_RequestHandlers.
#pragma once

class Fractal;

enum { FORMULA_CONTROL_FIRST = 1000000, FORMULA_CONTROL_LAST = 4000000 };
inline bool IsFormulaControlId(int id)
{
    return id >= FORMULA_CONTROL_FIRST && id <= FORMULA_CONTROL_LAST;
}

// The event kinds the formula-slot code receives.
enum FormulaControlEvent { FCE_BUTTON, FCE_POPUP, FCE_LIST_SELECTED, FCE_LIST_DBLCLK, FCE_ENTRY_CHANGED };

// The handlers by event kind; each is skipped while null.
struct RequestHandlers {
    void (*buttonClicked)(int id);
    void (*handlePopup)(int id);
    void (*listBoxSelected)(int id);
    void (*listBoxDblclk)(int id);
    void (*fractPicEntryChanged)(Fractal* fractal, int id, int record, int recordOnly);
    void (*noFractPicEntryChanged)(int id, int record, int recordOnly);
    // A formula-parameter control of the current fractal (never called
    // without one).
    void (*formulaControl)(int event, Fractal* fractal, int id, int record, int recordOnly);
};
extern RequestHandlers g_RequestHandlers;

// The guarded entry points. The report names the fractal current when it
// is made ("No fractal selected" without one); UR_FractPic_EntryChanged
// names the fractal it was given.
void UR_ButtonClicked(int id);
void UR_HandlePopup(int id);
void UR_ListBoxSelected(int id);
void UR_ListBoxDblclk(int id);
void UR_FractPic_EntryChanged(Fractal* fractal, int id, int record, int recordOnly);
void UR_NoFractPic_EntryChanged(int id, int record, int recordOnly);

// An entry control's value changed: the current fractal's handler first
// (when there is one), then always the settings handler. control is not used.
void HandleEntryChanged(void* control, int id, int record, int recordOnly);

// The pages a tab control shows, by the table in RequestRouting.cpp.
enum TabPage {
    TAB_PAGE_TRANSFORMATION,  // 3D parameter window, 2D and OpenGL tabs
    TAB_PAGE_ANIMATION,
    TAB_PAGE_PLASMA,
    TAB_PAGE_DYNAMIC_SYSTEM,
    TAB_PAGE_SIZE,
    TAB_PAGE_COMMENTS,
    TAB_PAGE_IFS,
    TAB_PAGE_LSYSTEM,
    TAB_PAGE_ESCAPETIME,
    TAB_PAGE_QUATERNION,
    TAB_PAGE_FORMULA_MAIN,    // Fractal Formulas window, its function tabs
    TAB_PAGE_FORMULA_SUB,     // the sub-tabs of the shown function tab
    TAB_PAGE_OPTIONS,
    TAB_PAGE_ATTRACTOR,
    TAB_PAGE_COUNT
};

// What the pages do on a tab change; each is skipped while null (pages not
// built yet show nothing).
struct TabPageHooks {
    // Shows tab index of the page (fractal null where the page needs none).
    void (*showTab[TAB_PAGE_COUNT])(Fractal* fractal, int index);
    // Whether the Comments page's text was edited since it was shown.
    bool (*commentTextEdited)();
};
extern TabPageHooks g_TabPageHooks;

// The tabs the Fractal Formulas and Options windows remember.
struct RememberedTabs {
    int formulaMain;
    int formulaSub[4];  // per function tab (sub-tab controls 1820 to 1823)
    int options;
};
extern RememberedTabs g_RememberedTabs;

// The Comments text control whose edit a tab switch commits.
enum { COMMENT_TEXT_CONTROL = 733 };

// A tab control showed page index: dispatched by the tab control's id;
// ids without a page do nothing.
void HandleTabChanged(void* tabControl, int id, int index);
