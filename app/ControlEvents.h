// The application's side of the widgets' callbacks that carry a control id:
// drops, activation, selection and renaming in the Fractal Tree (the
// formula trees in app/FormulaTreeEvents.h, the curve editors in
// app/CurveEvents.h), the activation and repaint of windows. Each maps the
// control id to the action on the document model; tree items arrive as the
// list nodes they stand for (a FractalFolder or a Fractal). Main thread only.
#pragma once

class Fractal;
class FractalFolder;
class ListNode;
class PFrameWindow;

enum {
    FRACTAL_TREE_CONTROL = 871,
    ANIMATION_TIMELINE_CONTROL = 503,
    // Windows HandleWindowActivation knows.
    WID_PRESET_PALETTES_POPUP = 1910,
    WID_PRESET_DEFINITIONS_POPUP = 2610,
    WID_COLOUR_CHOOSER_POPUP = 1600,
    WID_FORMULA_BROWSER_POPUP = 1900,
    WID_FRACTAL_WINDOW = 2100,
    // The button request a Fractal Tree activation runs.
    FRACTAL_TREE_OPEN_BUTTON = 206,
};

// What the glue asks of the windows; each skipped while null.
struct ControlEventWindows {
    // The main frame to the foreground; the Fractal Tree's window to the
    // foreground; the fractal's MDI child activated.
    void (*mainToForeground)();
    void (*treeToForeground)();
    void (*activateFractalWindow)(Fractal* fractal);
    // The main frame raised to the top without being activated.
    void (*raiseMainFrame)();
    // Closes the popup with this window id when it is open.
    void (*closePopup)(int windowId);
    // The Animation window's key-name field.
    void (*showKeyName)(const char* name);
    // Registers the camera widget's handle tooltips with the window again.
    void (*updateCameraTooltips)(Fractal* fractal);
};
extern ControlEventWindows g_ControlEventWindows;

// A fractal dropped onto target (a folder, a fractal or null); with the
// layer flag and no target it becomes a layer of the current fractal.
void HandleFractalTreeDrop(int controlId, ListNode* target, bool layerFlag, ListNode* dragged);
// The node that would receive the drop of dragged onto target, or null.
ListNode* CanDropOnFractalTree(int controlId, ListNode* dragged, ListNode* target);
// Double click or Enter on a tree item; 0.
int HandleItemActivated(int controlId);
// The tree's selection changed to item (by the user when userFlag is set).
void TreeSelectionChanged(int controlId, ListNode* item, bool userFlag);
// A tree item's label was edited to text.
void TreeItemRenamed(void* unused, ListNode* item, const char* text);
// A key of the animation was selected on its timeline (null: none): its
// name goes to the key-name field and it becomes the animation's current key.
void TimelineKeySelected(int controlId, FractalFolder* animation, Fractal* key);
// A window was activated or deactivated; fractal is the window's fractal
// for a fractal window (null for others).
void HandleWindowActivation(int windowId, Fractal* fractal, bool active);
// The whole image of the window's fractal drawn into the window's DC with
// the display palette (the OpenGL image's size while that view shows);
// WithCamera then registers the camera widget's tooltips again when the
// widget is shown.
void RepaintFractalWindow(PFrameWindow* window);
void RepaintFractalWindowWithCamera(PFrameWindow* window);
