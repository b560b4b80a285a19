// The modal three-line wait dialog shown while formula folders are loaded
// or imported on a worker thread: each line has a name on the left and a
// message on the right, and "&Abort" ends the dialog with 2.
#pragma once
#include <windows.h>
#include <stddef.h>

#include "ui/Object.h"

enum {
    SCAN_PROGRESS_LINES = 3,
    SCAN_PROGRESS_TEXT_MAX = 500,     // characters kept of a name or message
    IDC_SCAN_PROGRESS_ABORT = 9000,
    IDC_SCAN_PROGRESS_NAME = 9900,    // 9900..9902: the names of the lines
    IDC_SCAN_PROGRESS_MESSAGE = 9990, // 9990..9992: the messages of the lines
};

class ScanProgressDialog : public PObject {
public:
    ScanProgressDialog();
    virtual ~ScanProgressDialog();
    ScanProgressDialog(const ScanProgressDialog&) = delete;
    ScanProgressDialog& operator=(const ScanProgressDialog&) = delete;

    // Stores the argument of the job and runs the dialog modally over the
    // main window. Returns 2 when "&Abort" was pressed or the dialog closed,
    // 1 when a worker ended it with Close. With g_ScanProgressRunner set,
    // the runner stands in for the window and its answer is returned. When
    // the window cannot be made, it waits without one until the worker
    // calls Close.
    int Run(void* argument);
    // Store a line's message or name (cut to 500 characters) and show it
    // when the dialog exists. Lines 0 to 2; any thread.
    void SetMessage(const char* text, int line);
    void SetName(const char* text, int line);
    // Copies of the stored texts (cut to size), for whoever shows them.
    void GetMessage(int line, char* out, size_t size);
    void GetName(int line, char* out, size_t size);
    // Ends the running dialog with 1 (called by the worker) and forgets its
    // window; nothing when no dialog runs.
    void Close();
    // True while the dialog runs (its window exists, or a runner stands in).
    bool IsOpen() const { return window != NULL || headlessOpen != 0; }

    // For runners: marks the dialog open without a window and waits until
    // a worker calls Close (answer 1) or waitMs milliseconds have passed
    // (answer 2, as if "&Abort" had been pressed).
    int RunHeadless(DWORD waitMs);

    HWND window;      // the dialog window, null while none runs
    void* argument;   // argument of the job that runs meanwhile

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void ShowTexts();

    CRITICAL_SECTION lock;
    char messages[SCAN_PROGRESS_LINES][SCAN_PROGRESS_TEXT_MAX + 1];
    char names[SCAN_PROGRESS_LINES][SCAN_PROGRESS_TEXT_MAX + 1];
    HANDLE closedEvent;
    volatile LONG headlessOpen;
};

// The one progress dialog.
extern ScanProgressDialog g_ScanProgressDialog;

// Stand-in for the dialog window (tests and command-line tools, which have
// nobody to watch a window): Run calls it instead and returns its answer.
typedef int (*ScanProgressRunner)(ScanProgressDialog* dialog);
extern ScanProgressRunner g_ScanProgressRunner;
