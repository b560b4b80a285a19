// The modal progress dialog (dialog 102) the main thread shows while a
// worker thread loads or saves. The worker waits for the dialog window, sets
// the action text and the fraction done as it goes, and closes the dialog
// when it has finished; Abort ends the dialog from the main thread.
#pragma once

#include <windows.h>

#include "ui/Object.h"

enum {
    IDD_PROGRESS = 102,
    IDC_PROGRESS_ACTION = 10,
    IDC_PROGRESS_PERCENT = 11,
    IDC_PROGRESS_ELAPSED = 12,
    IDC_PROGRESS_ABORT = 1,
    // Posted to the dialog by Close: the dialog is ended on its own thread.
    WM_PROGRESS_CLOSE = WM_APP + 102,
};

enum { PROGRESS_CLOSED = 1, PROGRESS_ABORTED = 2 };

class PProgressDialog : public PObject {
public:
    PProgressDialog();
    virtual ~PProgressDialog();

    // Shows the dialog until a worker closes it (1) or the user aborts (2).
    int Run();
    // Worker side: replaces the action text (shown at once when the dialog
    // is up) and ends the dialog.
    void SetAction(const char* text);
    void Close();
    // Shows the elapsed time and the percentage; on the main frame's timer.
    void Refresh();

    // The texts Refresh shows for a fraction and an elapsed time.
    static void FormatPercent(char* out, size_t size, double fraction);
    static void FormatElapsed(char* out, size_t size, DWORD milliseconds);

    volatile HWND window;        // null while not shown; workers wait for it
    DWORD startTick;
    char* actionText;
    volatile double fraction;    // 0..1, negative for unknown

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

private:
    CRITICAL_SECTION textLock;   // the action text is replaced by the worker
};

extern PProgressDialog g_ProgressDialog;

// The main thread's side of a worker job after Abort: raises the cancel
// request and waits in 100 ms steps until the worker has answered it
// (cancelState back to 0) or the worker thread has ended. The abort box is
// shown once.
void WaitForAbortedWorker(volatile int* cancelState, HANDLE workerThread, const char* abortText);
