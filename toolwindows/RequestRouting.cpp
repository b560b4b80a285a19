// The guarded request entry points, the entry-change dispatcher and the
// tab-change table. A guard keeps nothing of the handler's work back: what
// it changed before the failure stays changed; the report names the entry
// point, the control and the fractal so that the user can tell what failed.
#include "toolwindows/RequestRouting.h"

#include <stdio.h>

#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "foundation/FailureReport.h"
#include "foundation/Guard.h"

RequestHandlers g_RequestHandlers;
TabPageHooks g_TabPageHooks;
RememberedTabs g_RememberedTabs;

namespace {

Fractal* CurrentFractal()
{
    return CurrentFolder != NULL ? CurrentFolder->currentFractal : NULL;
}

// Runs the handler; a caught failure is reported as "<entry> ID:<id>
// Fractal:<name>", the name being that of the fractal current by then.
template <class F>
void GuardWithCurrentFractal(const char* entry, int id, F&& handler)
{
    DWORD code = Guarded(handler);
    if (code == 0)
        return;
    Fractal* current = CurrentFractal();
    char text[200];
    snprintf(text, sizeof text, "%s ID:%d Fractal:%s", entry, id,
             current != NULL ? current->name : "No fractal selected");
    ReportSoftwareFailure(code, text);
}

// The formula-slot code of the current fractal takes every id of its
// range; true when the id was one of them (handled or not).
bool ToFormulaSlot(int event, int id, int record = 1, int recordOnly = 0)
{
    if (!IsFormulaControlId(id))
        return false;
    Fractal* fractal = CurrentFractal();
    if (fractal != NULL && g_RequestHandlers.formulaControl != NULL)
        g_RequestHandlers.formulaControl(event, fractal, id, record, recordOnly);
    return true;
}

void ShowTab(int page, Fractal* fractal, int index)
{
    if (g_TabPageHooks.showTab[page] != NULL)
        g_TabPageHooks.showTab[page](fractal, index);
}

// Which tab controls show which page, and whether the page needs a current
// fractal (the others run without one, with a null fractal).
struct TabControl {
    int first, last;
    int page;
    bool needsFractal;
};
#define TAB_CONTROLS(X)                                  \
    X(414, 414, TAB_PAGE_TRANSFORMATION, false)          \
    X(1462, 1462, TAB_PAGE_TRANSFORMATION, false)        \
    X(502, 502, TAB_PAGE_ANIMATION, false)               \
    X(563, 563, TAB_PAGE_PLASMA, true)                   \
    X(627, 627, TAB_PAGE_DYNAMIC_SYSTEM, true)           \
    X(715, 715, TAB_PAGE_SIZE, true)                     \
    X(731, 731, TAB_PAGE_COMMENTS, true)                 \
    X(897, 897, TAB_PAGE_IFS, true)                      \
    X(906, 906, TAB_PAGE_LSYSTEM, true)                  \
    X(1002, 1002, TAB_PAGE_ESCAPETIME, false)            \
    X(1201, 1201, TAB_PAGE_QUATERNION, false)            \
    X(1811, 1811, TAB_PAGE_FORMULA_MAIN, false)          \
    X(1820, 1823, TAB_PAGE_FORMULA_SUB, false)           \
    X(2201, 2201, TAB_PAGE_OPTIONS, false)               \
    X(2401, 2401, TAB_PAGE_ATTRACTOR, false)
#define TAB_ROW(first, last, page, needsFractal) {first, last, page, needsFractal},
const TabControl kTabControls[] = {TAB_CONTROLS(TAB_ROW)};
#undef TAB_ROW

}  // namespace

void UR_ButtonClicked(int id)
{
    GuardWithCurrentFractal("UR_ButtonClicked", id, [id] {
        if (!ToFormulaSlot(FCE_BUTTON, id) && g_RequestHandlers.buttonClicked != NULL)
            g_RequestHandlers.buttonClicked(id);
    });
}

void UR_HandlePopup(int id)
{
    GuardWithCurrentFractal("UR_HandlePopup", id, [id] {
        if (!ToFormulaSlot(FCE_POPUP, id) && g_RequestHandlers.handlePopup != NULL)
            g_RequestHandlers.handlePopup(id);
    });
}

void UR_ListBoxSelected(int id)
{
    GuardWithCurrentFractal("UR_ListBoxSelected", id, [id] {
        if (!ToFormulaSlot(FCE_LIST_SELECTED, id) && g_RequestHandlers.listBoxSelected != NULL)
            g_RequestHandlers.listBoxSelected(id);
    });
}

void UR_ListBoxDblclk(int id)
{
    GuardWithCurrentFractal("UR_ListBoxDblclk", id, [id] {
        if (!ToFormulaSlot(FCE_LIST_DBLCLK, id) && g_RequestHandlers.listBoxDblclk != NULL)
            g_RequestHandlers.listBoxDblclk(id);
    });
}

void UR_FractPic_EntryChanged(Fractal* fractal, int id, int record, int recordOnly)
{
    DWORD code = Guarded([=] {
        if (IsFormulaControlId(id)) {
            if (fractal != NULL && g_RequestHandlers.formulaControl != NULL)
                g_RequestHandlers.formulaControl(FCE_ENTRY_CHANGED, fractal, id, record, recordOnly);
        } else if (g_RequestHandlers.fractPicEntryChanged != NULL) {
            g_RequestHandlers.fractPicEntryChanged(fractal, id, record, recordOnly);
        }
    });
    if (code == 0)
        return;
    char text[200];
    snprintf(text, sizeof text, "UR_FractPic_EntryChanged ID:%d Fractal:%s", id, fractal ? fractal->name : "");
    ReportSoftwareFailure(code, text);
}

void UR_NoFractPic_EntryChanged(int id, int record, int recordOnly)
{
    // Formula-parameter values belong to a fractal: the settings handler
    // never sees them.
    DWORD code = Guarded([=] {
        if (!IsFormulaControlId(id) && g_RequestHandlers.noFractPicEntryChanged != NULL)
            g_RequestHandlers.noFractPicEntryChanged(id, record, recordOnly);
    });
    if (code == 0)
        return;
    char text[80];
    snprintf(text, sizeof text, "UR_NoFractPic_EntryChanged ID:%d", id);
    ReportSoftwareFailure(code, text);
}

void HandleEntryChanged(void* control, int id, int record, int recordOnly)
{
    Fractal* fractal = CurrentFractal();
    if (fractal != NULL)
        UR_FractPic_EntryChanged(fractal, id, record, recordOnly);
    UR_NoFractPic_EntryChanged(id, record, recordOnly);
}

void HandleTabChanged(void* tabControl, int id, int index)
{
    const TabControl* row = NULL;
    for (const TabControl& c : kTabControls)
        if (id >= c.first && id <= c.last)
            row = &c;
    if (row == NULL)
        return;
    Fractal* fractal = CurrentFractal();
    if (row->needsFractal && fractal == NULL)
        return;
    switch (row->page) {
    case TAB_PAGE_COMMENTS:
        // An edited comment is committed, with its undo step, before the
        // page shows another text.
        if (g_TabPageHooks.commentTextEdited != NULL && g_TabPageHooks.commentTextEdited())
            UR_FractPic_EntryChanged(fractal, COMMENT_TEXT_CONTROL, 1, 0);
        ShowTab(TAB_PAGE_COMMENTS, fractal, index);
        break;
    case TAB_PAGE_FORMULA_MAIN:
        if (index >= 0 && index < 4) {
            g_RememberedTabs.formulaMain = index;
            ShowTab(TAB_PAGE_FORMULA_MAIN, fractal, index);
            ShowTab(TAB_PAGE_FORMULA_SUB, fractal, g_RememberedTabs.formulaSub[index]);
        }
        break;
    case TAB_PAGE_FORMULA_SUB:
        g_RememberedTabs.formulaSub[id - 1820] = index;
        ShowTab(TAB_PAGE_FORMULA_SUB, fractal, index);
        break;
    case TAB_PAGE_OPTIONS:
        g_RememberedTabs.options = index;
        ShowTab(TAB_PAGE_OPTIONS, fractal, index);
        break;
    default:
        ShowTab(row->page, fractal, index);
        break;
    }
}
