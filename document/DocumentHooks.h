// What the document model tells the windows, through hooks that the
// application sets at start-up (all null in tools and tests, where there
// is nothing to show).
#pragma once
#include <windows.h>

class Fractal;
class PFrameWindow;

// After Fractal::Rename: refresh the listings and reselect the fractal
// when it is the current one.
extern void (*g_FractalRenamed)(Fractal* fractal);
// After a palette change: when the palette editor shows this fractal it
// applies the change itself and answers true.
extern bool (*g_PaletteChanged)(Fractal* fractal);
// After the comment text was expanded: the comment window shows it when it
// shows this fractal.
extern void (*g_CommentExpanded)(Fractal* fractal);
// The client size of a fractal window.
extern void (*g_WindowClientSize)(PFrameWindow* window, int* width, int* height);

// The window side of the calculation commands (Recalculate of a quaternion
// clears the window's position markers, releases the camera widget and
// closes the Zoom window).
extern void (*g_QuaternionViewReset)(Fractal* fractal);

// The display side of palette changes. Each is skipped while null.
struct PaletteDisplay {
    // Makes the display palette from a colour table (255 entries) when
    // none exists, or animates/realises it; Fractal::ApplyPalette calls it
    // after the colour tables are settled.
    void (*realise)(Fractal* fractal, const RGBQUAD* colours, int changed);
    // Repaints a fractal's window: all = 1 the whole image.
    void (*drawWindow)(Fractal* fractal, int all);
};
extern PaletteDisplay g_PaletteDisplay;

// The millisecond clock of the calculation times (GetTickCount; tests
// set their own).
extern DWORD (*g_TickCount)();

// ----- Folders, selection and listings (FractalFolder.cpp, Selection.cpp, Layers.cpp)
class ListNode;
class FractalFolder;

// The menu bar and the two further menus that carry the same commands
// (PMenuBar); each entry skipped while null.
struct MenuHooks {
    void (*check)(int id, bool checked);
    void (*gray)(int id, bool grayed);
    void (*checkRadio)(int id, int first, int last);
    void (*setText)(int id, const char* text);
};
extern MenuHooks g_Menu;

// Control ids of the toolbar combo boxes.
enum { FRACTAL_COMBO_ID = 204, FOLDER_COMBO_ID = 205 };

// The places that show folders and fractals: the two combo boxes, the
// Fractal Tree (absent while treeExists is null or answers false), window
// captions and the tool windows a selection refreshes.
struct ListingHooks {
    void (*comboReset)(int control);
    void (*comboAdd)(int control, const char* text);
    void (*comboSelect)(int control, int index);   // -1 clears the selection
    void (*comboRedraw)(int control);
    bool (*treeExists)();
    // Level 1 folder, 2 fractal, 3 layer fractal; image -1 = by the node's kind or type.
    void (*treeInsert)(ListNode* node, ListNode* parent, ListNode* after, int level, int kind, int image);
    void (*treeUpdate)(ListNode* node);
    void (*treeDelete)(ListNode* node);
    void (*treeSelect)(ListNode* node);
    void (*treeSetTypeImage)(ListNode* node, int fractalType);
    void (*setWindowTitle)(PFrameWindow* window, const char* text);
    void (*showWindow)(PFrameWindow* window, bool visible);
    void (*redrawTimeline)();
    // Refreshes the tool window with this id (2000 palette editor, 2030
    // alpha channel, 400, 730, 680, 1150 layers, 198 parameters).
    void (*updateToolWindow)(int id);
    // Stores the positions of the tool windows (other than the parameter
    // windows) into their descriptors: only the visible ones, or all.
    void (*storeToolWindowPositions)(bool visibleOnly);
    bool (*isPositionViewOpen)();
    void (*closePositionView)();
    void (*showColourCycleOffset)(Fractal* fractal);
    void (*refreshLayerList)();
    // Keyboard focus taken away while a selection runs, then given back.
    HWND (*takeFocus)();
    void (*restoreFocus)(HWND window);
    // Whether the parameter window and the 3D-parameter window are open
    // (their descriptors), and the "AutoSave" setting.
    bool (*isParameterWindowOpen)();
    bool (*is3DWindowOpen)();
    bool (*isAutoSaveOn)();
    // The application's first font, used by the owner-drawn lists.
    HFONT (*listFont)();
};
extern ListingHooks g_Listings;

// A heap copy (free()) of the clipboard's text, or null when the clipboard
// cannot be opened or holds none. Bound to the system clipboard.
extern char* (*g_ClipboardText)();

// Opens a fractal's calculation and window and closes them: PictureToTask
// and DeleteFractalTask of calc/task/TaskLifecycle.h unless a test binds
// its own; skipped while null.
extern int (*g_OpenTask)(Fractal* fractal, int stayIdle, int start, int show, int openParent, int withWindow,
                         int showMessages);
extern int (*g_CloseTask)(Fractal* fractal, int deleteWindow, int confirm, int keepParents);

// The animation side of folders: deleting a key from an animation folder
// (answer as a question box's), and whether the running animation is paused.
extern int (*g_DeleteAnimationKey)(FractalFolder* folder, Fractal* key, bool ask);
extern bool (*g_AnimationPaused)();

// ----- Zoom, move and undo (Zoom.cpp, Undo.cpp)
// The fractal window's side of zooming, moving and undo. Each entry is
// skipped while null, so the view operations run on a task without window.
struct ZoomDisplay {
    // Window pixels to image pixels (the scroll positions added) in place.
    void (*windowToImage)(Fractal* fractal, int* x, int* y);
    // The window's horizontal and vertical scroll positions (scroll-bar mode).
    void (*scrollPosition)(Fractal* fractal, int* x, int* y);
    // Frames of the zoom animation: begin gets the window's device context
    // (display palette selected, COLORONCOLOR), end releases it; false from
    // begin skips the animation.
    bool (*beginFrames)(Fractal* fractal);
    void (*endFrames)(Fractal* fractal);
    // Paints the inclusive window rectangle x0..x1, y0..y1 black.
    void (*paintBlack)(Fractal* fractal, int x0, int y0, int x1, int y1);
    // StretchDIBits of the task's image (the 8-bit shadow when dithered):
    // source rows counted bottom-up, destination in window pixels.
    void (*stretchImage)(Fractal* fractal, int destX, int destY, int destWidth, int destHeight, int sourceX,
                         int sourceY, int sourceWidth, int sourceHeight);
    // ScrollWindowEx by (dx, dy) with invalidation (clipped to the shown
    // image and erasing in scroll-bar mode), then UpdateWindow.
    void (*scrollWindow)(Fractal* fractal, int dx, int dy, bool scrollbarMode);
    // The tool windows that show the view area or the quaternion camera.
    void (*refreshAreaTab)(Fractal* fractal);
    void (*refreshQuaternionViewTab)(Fractal* fractal);
    // The comment window, after a credit entry was added.
    void (*refreshCommentWindow)(Fractal* fractal);
    // The frame change of the scroll-bar mode: adds or removes the scroll
    // bars and sets the scroll ranges or the client size for a w x h image.
    void (*applyScrollbarMode)(Fractal* fractal, bool on, int width, int height);
};
extern ZoomDisplay g_ZoomDisplay;
