// What the program's logic needs of its windows and its shell, in one table.
// The layers below the window toolkit (numbers, compiler, formula library,
// documents, calculation, files) must not know any window class, so they
// call these entries; the application fills the table at start-up and tests
// fill it with recorders or scripted answerers. Every entry may be null: the
// callers then do the least that is sound (show nothing, post nothing).
#pragma once

#include <windows.h>
#include <commctrl.h>

class ListNode;
class LogFile;

// The tree views that show list nodes (the formula library's browser), as
// far as the logic tells them of nodes added, removed or renamed.
class TreeItemView {
public:
    virtual ~TreeItemView() {}
    // Adds an item for node under parent's item (see PTreeView::InsertItem);
    // null when nothing was added.
    virtual HTREEITEM InsertItem(ListNode* node, ListNode* parent, ListNode* after, int level, int kind,
                                 int image) = 0;
    virtual void DeleteItem(ListNode* node) = 0;
    virtual void UpdateItem(ListNode* node) = 0;
    // The tree-view control, null while there is none.
    virtual HWND TreeWindow() const = 0;
};

struct ShellServices {
    // Message boxes: shows the box and answers the button (IDOK, IDYES ...).
    // Null: the system's message box without an owner.
    int (*messageBox)(UINT style, const char* title, const char* text);
    // The report of a caught exception (the "Exception" box). Null: a plain
    // error box naming the code and the location.
    int (*reportFailure)(DWORD code, const char* location);
    // Posts a message to the main frame window; false when nothing was posted.
    bool (*postToMainFrame)(UINT message, WPARAM wParam, LPARAM lParam);
    // True on the thread that runs the windows (null: never).
    bool (*isMainThread)();
    // True on the calculation thread of an open fractal (null: never).
    bool (*isFractalThread)();

    // The Message Window: opens it when closed and shows the list, scrolled
    // to the end; refills its list box (0 when the window is closed); brings
    // it to the top without activating it.
    void (*showMessageWindow)();
    int (*refreshMessageList)(bool scrollToEnd);
    void (*raiseMessageWindow)();

    // Part 0 of the main status bar (the text must outlive the post).
    void (*setStatusHint)(const char* text);
    // Status text of the start-up splash dialog (copied).
    void (*setSplashText)(const char* text);
    // Repaints the window of a fractal (a Fractal*) from its task's image.
    void (*paintFractalWindow)(void* fractal);

    // The modal progress dialog of folder scans and imports (three lines of
    // name and message; answers 2 when aborted, 1 when a worker closed it).
    int (*runScanProgress)(void* argument);
    void (*setScanProgressName)(const char* text, int line);
    void (*setScanProgressMessage)(const char* text, int line);
    void (*closeScanProgress)();
    bool (*isScanProgressOpen)();

    // The main frame window (owner of system dialogs); null while none.
    HWND (*mainWindow)();
    // The per-version data folder ("" while unknown) and the debug log.
    const char* (*dataFolder)();
    LogFile* (*log)();

    // The table of formulas found by name, kept for the whole run.
    int (*findKnownFormula)(const char* name);
    void (*addKnownFormula)(const char* name, const char* file, int count);
    const char* (*knownFormulaFile)(int index);
    int (*knownFormulaCount)(int index);
};

// The one table; all entries null until somebody binds them.
ShellServices& Services();

// The calculation-thread test for code below the document model (the
// compiler stays silent there): false when nobody has bound it.
bool IsCalculationThread();
