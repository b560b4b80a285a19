// The application's side of the window toolkit: the window procedures route
// menu commands, control notifications, mouse and key input and the worker
// threads' messages to these handlers. The application fills the table at
// start-up; every entry may be null (the message then gets default
// handling), so tests fill only what they record.
#pragma once

#include <windows.h>

class Fractal;
class FractalTask;
class PControl;
class PFrameWindow;
class WindowDescriptor;

struct UiHandlers {
    // Input and commands.
    void (*HandleMenuCommand)(int id);
    int (*ConfirmWindowClose)(PFrameWindow* window);
    void (*ButtonClicked)(int controlId);
    void (*ListBoxSelected)(int controlId);
    void (*ListBoxDblclk)(int controlId);
    void (*MouseClicked)(PFrameWindow* window, int x, int y, int code);
    void (*MouseMoved)(PFrameWindow* window, int x, int y);
    bool (*HandleControlKey)(PFrameWindow* window, int key);
    void (*UpdateStatusOnTimer)(int timerId);
    void (*ShowControlHint)(int id, int kind);
    void (*CloseWindowById)(PFrameWindow* window, bool activated);
    void (*OnSliderStep)(PControl* trackbar, int controlId, int position);
    void (*OnSliderTrack)(PControl* trackbar, int controlId, int position, bool final);
    LRESULT (*DrawOwnerDrawButton)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Windows.
    void (*PaintFractalWindow)(HDC dc, Fractal* fractal, PFrameWindow* window, const RECT* rect);
    // Redraws the image at the scroll position; withCamera also the camera
    // widget when it is active.
    void (*RepaintFractalWindow)(PFrameWindow* window, int hScroll, int vScroll, bool withCamera);
    Fractal* (*FindFractalByWindow)(PFrameWindow* window);
    void (*ResizeWindowContents)(PFrameWindow* window, int width, int height);
    void (*ApplyMinimumWindowSize)(PFrameWindow* window, int edge, RECT* rect);
    LRESULT (*OnQueryNewPalette)(PFrameWindow* window);
    LRESULT (*OnPaletteChanged)(PFrameWindow* window, PFrameWindow* changer);
    bool (*IsToolWindowOpen)(int windowId);
    void (*ToggleToolWindow)(int windowId);
    // The placement of a tool window by its id (the tool-window table's
    // descriptor), null for windows without one; such windows have no
    // window definition either.
    WindowDescriptor* (*DescriptorOfWindow)(int windowId);

    // Help.
    void (*ShowWindowHelp)(HWND window, int contextId);
    void (*ShowHelpALink)(const char* keywords);
    void (*ShowHelpPage)(const char* path);
    // The word at the caret when control is the formula editor of the
    // formula shown (false otherwise).
    bool (*FormulaWordAtCaret)(PControl* control, char* word, int size);
    // The help popup of a control from its window's control tables (true
    // when one was shown).
    bool (*ShowControlHelp)(PFrameWindow* owner, PControl* control, const HELPINFO* info);

    // Settings: registry values below the program's key (0 done, 1 missing
    // or failed), as PApplication::GetRegistryDword / SetRegistryDword.
    int (*GetRegistryDword)(const char* subKey, const char* valueName, DWORD* value);
    int (*SetRegistryDword)(const char* subKey, const char* valueName, DWORD value);

    // What the worker threads' messages lead to. The window procedure has
    // already checked that a fractal is alive (and listed or current where
    // the message asks for it).
    void (*RefreshMessageList)(bool scrollToEnd);
    Fractal* (*CurrentFractal)();  // of the current folder, null when none
    void (*RefreshWrittenBackParameters)(Fractal* fractal);
    // Takes one layer notification off the fractal's in-flight count and
    // answers the task's merge counter when the layers may be merged now
    // (no render job, not stopping its layers, has a task), else null.
    int* (*TakeLayerNotification)(Fractal* fractal);
    void (*Recolour)(Fractal* fractal);
    void (*UpdateWindowTitle)(Fractal* fractal);
    void (*ExpandCommentTemplate)(Fractal* fractal);
    void (*NextAnimationFrame)();
    int (*FractalType)(Fractal* fractal);
    void (*RefreshAttractorView)(Fractal* fractal);
    void (*NewRandomParameters)(Fractal* fractal);
    void (*ShowQuaternionAutoValues)(Fractal* fractal);
    void (*ShowQuaternionFogRange)(Fractal* fractal);
    // Render jobs: starts the next job after job (null at start-up) and
    // answers it; the job list is read and changed only under its lock.
    void* (*StartNextRenderJob)(void* job);
    bool (*IsRenderJobListed)(void* job);
    bool (*IsRenderJobFinished)(void* job);
    // Takes a finished, listed job out of the list, deletes its files and
    // the job, and makes next the selection when job was selected.
    void (*RemoveFinishedRenderJob)(void* job, void* next);
    void (*RefreshRenderJobList)();
    void (*RepaintRenderJobList)();
    // Shuts the computer down after the last job when that option is set.
    void (*AfterLastRenderJob)();
};

extern UiHandlers g_UiHandlers;

// Calls a handler of g_UiHandlers when it is set.
#define UI_CALL(name, ...) \
    do { if (g_UiHandlers.name) g_UiHandlers.name(__VA_ARGS__); } while (0)
