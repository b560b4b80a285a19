// The tool-window table and its manager. Every tool window is one row:
// id, the menu command whose check mark follows it, its definition (slot,
// title, help topic, placement), its control table and the function that
// fills it from the current fractal. The seven parameter windows share one
// frame window, one slot and the "Parameters" placement; only the window of
// the current fractal's type is shown in it.
#pragma once

#include "document/Selection.h"
#include "foundation/Messages.h"
#include "ui/PanelBuilder.h"

class Fractal;
class PFrameWindow;

enum ToolWindowId {
    WID_DOWNLOAD = 2300,
    WID_TIP = 1440,
    WID_PARM_ESCAPETIME = 1000,
    WID_PARM_PLASMA = 550,
    WID_PARM_QUATERNION = 1200,
    WID_PARM_ATTRACTOR = 2400,
    WID_PARM_DYNSYS = 610,
    WID_LAYERPROP = 1150,
    WID_PARM_IFS = 880,
    WID_PARM_LSYSTEM = 905,
    WID_DIMS = 400,
    WID_FRACTALTREE = 870,
    WID_PALEDIT = 2000,
    WID_ALPHAWIN = 2030,
    // WID_COMPILER 1800 is the message list's (foundation/Messages.h).
    WID_FORMULA_IFS = 920,
    WID_FORMULA_LSYSTEM = 1700,
    // WID_OUTPUT 460 and WID_COMMENT 730 are the toolkit's (ui/FrameWindow.h).
    WID_ZOOM = 470,
    WID_COLORCHOOSE = 1600,
    // WID_PRESETPALETTES 1910 is the toolkit's.
    WID_PRESETDEF = 2610,
    WID_ANIM = 500,
    WID_PROPERTY = 2200,
    WID_SIZE = 680,
    WID_COLORCYCLE = 660,
    WID_COMPILERFORMULAS = 1900,
    WID_RENDERJOBS = 2700,
    WID_RENDERJOB = 2500,
    // Pseudo id accepted by UpdateToolWindow only: the parameter window of
    // the current fractal's type.
    WID_CURRENT_PARAMETERS = 198,
};

enum { TOOL_WINDOW_COUNT = 30 };

typedef void (*ToolWindowRefresh)(Fractal* fractal);

// One row of the tool-window table; a row with window id 0 ends it. The
// control table and the refresh function are filled in by the window's own
// code when it exists (a row without a control table opens no window).
struct ToolWindowEntry {
    int windowId;
    int menuCommand;        // 0: no menu item
    WindowDefinition* definition;
    const ControlDescriptor* controlTable;
    ToolWindowRefresh refresh;
    const char* name;       // "PARM1", "Output" ...; empty for six parameter windows
    const char* placement;  // name of the placement record the layouts link
};

// The table, 30 rows and the zero row, in its fixed order.
ToolWindowEntry* ToolWindowTable();

// The shared slot of the seven parameter windows (empty at start-up).
extern PFrameWindow* g_ParameterWindow;

// The parameter window id of a FractalType (0..18), 0 when the type has
// none (also for types out of range).
int ParameterWindowOfType(int fractalType);

// The first row whose id equals id, null when none.
ToolWindowEntry* FindToolWindowEntry(int id);

// Creates the window of a definition (or, in the shared parameter slot,
// reuses the frame window there) and builds its controls; writes its outer
// size. Does nothing while a non-shared slot holds a window. Returns 0.
int CreateToolWindow(const WindowDefinition* definition, const ControlDescriptor* table, int* width,
                     int* height);
// Opens, places and refreshes the window of id (nothing for ids without a
// row or without a control table). Always 2.
int OpenToolWindow(int id);
// Records the placement and destroys the window; save also unchecks the
// menu item and records it closed. The stored position is the one
// PFrameWindow::GetPosition gives without screen conversion, the same
// convention the shutdown walk (StoreToolWindowPositions) uses. Returns 0.
int CloseToolWindow(int id, bool save);
// Closes an open window with save, opens a closed one.
void ToggleToolWindow(int id);
// Deletes the table's controls and, with deleteWindow, the window (else
// the frame window stays in its slot, empty). Returns 0.
int DestroyToolWindow(const WindowDefinition* definition, const ControlDescriptor* table, bool deleteWindow);
// Brings one window (198: the parameter window) in line with the current
// fractal: hides it or sets its caption "%s : %s", refreshes and shows it.
void UpdateToolWindow(int id);
// Whether the window of id exists (its slot holds a window).
bool IsToolWindowOpen(int id);
// The placement record of id's row, null when none.
WindowDescriptor* DescriptorOfToolWindow(int id);

// Start-up: opens every window whose placement says isOpened, trying each
// row once (a window that fails to open is not tried again); the parameter
// windows only through the row of the current type, when there is one.
void ReopenToolWindows();
// Shutdown: stores every open window's position and size (same convention
// as CloseToolWindow) and destroys all windows without changing isOpened.
void CloseAllToolWindows();
// Stores the positions of the open windows other than the parameter
// windows (only the visible ones with visibleOnly).
void StoreToolWindowPositions(bool visibleOnly);
// Shutdown: records the position and size of every open window, the
// shared parameter window included, in the same convention; the windows
// stay open.
void RecordToolWindowPlacements();
// Lays out the controls of a tool window for a new client size (the
// toolkit's WM_SIZE of tool windows).
void LayoutToolWindow(PFrameWindow* window, int width, int height);

// Binds the manager to the toolkit and document seams: the toolkit's
// ToggleToolWindow, IsToolWindowOpen, DescriptorOfWindow and
// RefreshMessageList, the listing hooks' updateToolWindow,
// storeToolWindowPositions, isParameterWindowOpen and is3DWindowOpen, and
// the Message Window's opener. The application calls it at start-up.
void BindToolWindowHandlers();

// Window-specific work the manager does not own; each skipped while null.
struct ToolWindowHooks {
    // After opening 2000 / 2030 with a current fractal (also when open).
    void (*applyPaletteEditor)(Fractal* fractal);
    void (*refreshAlphaChannel)(Fractal* fractal);
    // Before 1800, 2000, 2030 close: the window's own clean-up.
    void (*beforeClose)(int id);
    // Before a parameter window's controls go (1000, 1200, 2400).
    void (*clearFormulaSlotControls)(int id, Fractal* fractal);
    // The menu item check mark (PMenuBar::CheckItem by default).
    void (*checkMenuItem)(int command, bool checked);
};
extern ToolWindowHooks g_ToolWindowHooks;
