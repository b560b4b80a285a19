// The progress dialog of worker jobs and the main thread's wait after an
// abort.
#include "ui/ProgressDialog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ui/FrameWindow.h"
#include "ui/MessageBox.h"
#include "ui/Toolkit.h"

PProgressDialog g_ProgressDialog;

PProgressDialog::PProgressDialog() : window(NULL), startTick(0), actionText(NULL), fraction(0)
{
    InitializeCriticalSection(&textLock);
}

PProgressDialog::~PProgressDialog()
{
    free(actionText);
    DeleteCriticalSection(&textLock);
}

void PProgressDialog::FormatPercent(char* out, size_t size, double value)
{
    if (value < 0) {
        snprintf(out, size, "Unknown");
        return;
    }
    snprintf(out, size, "%.0lf%% done", (value > 1 ? 1 : value) * 100);
}

void PProgressDialog::FormatElapsed(char* out, size_t size, DWORD milliseconds)
{
    DWORD seconds = milliseconds / 1000;
    snprintf(out, size, "%02d mins  %02d secs", (int)(seconds / 60), (int)(seconds % 60));
}

int PProgressDialog::Run()
{
    startTick = GetTickCount();
    fraction = 0;
    HWND owner = g_Toolkit.mainFrame != NULL ? g_Toolkit.mainFrame->hwnd : NULL;
    int result = (int)RunModalDialog(IDD_PROGRESS, owner, DialogProc, (LPARAM)this);
    window = NULL;
    return result;
}

void PProgressDialog::SetAction(const char* text)
{
    size_t length = text ? strlen(text) : 0;
    char* copy = static_cast<char*>(malloc(length + 1));
    memcpy(copy, text ? text : "", length + 1);
    EnterCriticalSection(&textLock);
    char* old = actionText;
    actionText = copy;
    HWND shown = window;
    if (shown != NULL)
        SetDlgItemTextA(shown, IDC_PROGRESS_ACTION, actionText);
    LeaveCriticalSection(&textLock);
    free(old);
}

void PProgressDialog::Close()
{
    // Workers call this: EndDialog belongs to the dialog's own thread, so
    // the close is posted there.
    HWND shown = window;
    if (shown != NULL)
        PostMessageA(shown, WM_PROGRESS_CLOSE, 0, 0);
}

void PProgressDialog::Refresh()
{
    HWND shown = window;
    if (shown == NULL)
        return;
    char text[64];
    FormatElapsed(text, sizeof(text), GetTickCount() - startTick);
    SetDlgItemTextA(shown, IDC_PROGRESS_ELAPSED, text);
    FormatPercent(text, sizeof(text), fraction);
    SetDlgItemTextA(shown, IDC_PROGRESS_PERCENT, text);
}

INT_PTR CALLBACK PProgressDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    PProgressDialog* self;
    switch (message) {
    case WM_INITDIALOG:
        self = reinterpret_cast<PProgressDialog*>(lParam);
        SetWindowLongA(dialog, DWL_USER, (LONG)lParam);
        EnterCriticalSection(&self->textLock);
        SetDlgItemTextA(dialog, IDC_PROGRESS_ACTION, self->actionText ? self->actionText : "");
        LeaveCriticalSection(&self->textLock);
        // Published last: workers proceed once they see the window.
        self->window = dialog;
        self->Refresh();
        return TRUE;
    case WM_PROGRESS_CLOSE:
        self = reinterpret_cast<PProgressDialog*>(GetWindowLongA(dialog, DWL_USER));
        self->window = NULL;
        EndDialog(dialog, PROGRESS_CLOSED);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDC_PROGRESS_ABORT && LOWORD(wParam) != IDCANCEL)
            return FALSE;
        // fall through
    case WM_CLOSE:
        self = reinterpret_cast<PProgressDialog*>(GetWindowLongA(dialog, DWL_USER));
        self->window = NULL;
        EndDialog(dialog, PROGRESS_ABORTED);
        return TRUE;
    }
    return FALSE;
}

void WaitForAbortedWorker(volatile int* cancelState, HANDLE workerThread, const char* abortText)
{
    *cancelState = 1;
    g_InfoBox.Show("Aborting", abortText);
    // A worker that had already made its last test never answers: its
    // ending counts as the answer.
    while (*cancelState != 0) {
        if (workerThread == NULL || WaitForSingleObject(workerThread, 100) == WAIT_OBJECT_0)
            break;
    }
    // A request nobody took must not stop the next job at its first test.
    *cancelState = 0;
}
