// The splash dialog: its text (set from any thread), its modal run on the
// main thread and Finish, by which the loader thread ends it. Finish posts
// a private message rather than calling EndDialog across threads, and the
// window is forgotten on WM_DESTROY, so a dialog closed by the user while
// the loader ends is never waited for.
#include "app/SplashDialog.h"

#include <stdlib.h>
#include <string.h>

#include "app/Application.h"
#include "foundation/LogFile.h"
#include "ui/FrameWindow.h"

SplashDialog g_SplashDialog;

namespace {

// Posted by Finish: the dialog ends itself with 1.
const UINT WM_SPLASH_FINISH = WM_APP + 0x51;

void Log(const char* text)
{
    if (g_App != NULL && g_App->log != NULL)
        g_App->log->Write(text);
}

}  // namespace

SplashDialog::SplashDialog()
    : window(NULL), mode(SPLASH_LOADING), text(NULL), brush(CreateSolidBrush(0xBDBDBD)), ended(0)
{
    InitializeCriticalSection(&lock);
}

SplashDialog::~SplashDialog()
{
    free(text);
    if (brush != NULL)
        DeleteObject(brush);
    DeleteCriticalSection(&lock);
}

void SplashDialog::SetText(const char* newText)
{
    char* copy = newText != NULL ? _strdup(newText) : NULL;
    EnterCriticalSection(&lock);
    free(text);
    text = copy;
    LeaveCriticalSection(&lock);
    HWND w = window;
    if (w != NULL)
        SetDlgItemTextA(w, IDC_SPLASH_STATUS, newText != NULL ? newText : "");
}

void SplashDialog::GetText(char* out, size_t size)
{
    if (out == NULL || size == 0)
        return;
    EnterCriticalSection(&lock);
    const char* t = text != NULL ? text : "";
    size_t n = strlen(t);
    if (n >= size)
        n = size - 1;
    memcpy(out, t, n);
    out[n] = 0;
    LeaveCriticalSection(&lock);
}

int SplashDialog::ResourceForDepth(int bitsPerPixel)
{
    return bitsPerPixel == 24 ? IDD_SPLASH_TRUECOLOUR : IDD_SPLASH_PALETTE;
}

int SplashDialog::Run(int runMode)
{
    mode = runMode;
    InterlockedExchange(&ended, 0);
    Log("Now main thread blocked...");
    HDC screen = GetDC(NULL);
    int depth = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(NULL, screen);
    HWND owner = g_App != NULL && g_App->mainFrame != NULL ? g_App->mainFrame->hwnd : NULL;
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(NULL),
                                     MAKEINTRESOURCEA(ResourceForDepth(depth)), owner,
                                     &SplashDialog::DialogProc, (LPARAM)this);
    window = NULL;
    InterlockedExchange(&ended, 1);
    return result == 1 ? 1 : 2;
}

void SplashDialog::Finish()
{
    while (window == NULL && ended == 0) {
        Log("Thread finished, but dialog not yet initialized...waiting 1 ms");
        Sleep(1);
    }
    HWND w = window;
    if (w != NULL)
        PostMessageA(w, WM_SPLASH_FINISH, 0, 0);
    window = NULL;
    Log("Thread terminating...");
}

void SplashDialog::Place(HWND hwnd)
{
    const int width = 328, height = 248;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    MoveWindow(hwnd, x, y, width, height, FALSE);
    HWND status = GetDlgItem(hwnd, IDC_SPLASH_STATUS);
    HWND label = GetDlgItem(hwnd, IDC_SPLASH_LABEL);
    HWND ok = GetDlgItem(hwnd, IDC_SPLASH_OK);
    MoveWindow(status, 80, 238 - 14, 240, 14, FALSE);
    MoveWindow(label, 10, 238 - 14, 68, 14, FALSE);
    MoveWindow(ok, 280, 218, 40, 20, FALSE);
    bool information = mode == SPLASH_INFORMATION;
    ShowWindow(status, information ? SW_HIDE : SW_SHOW);
    ShowWindow(label, information ? SW_HIDE : SW_SHOW);
    ShowWindow(ok, information ? SW_SHOW : SW_HIDE);
}

INT_PTR CALLBACK SplashDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    SplashDialog* self = &g_SplashDialog;
    switch (message) {
    case WM_INITDIALOG: {
        self = reinterpret_cast<SplashDialog*>(lParam);
        self->Place(hwnd);
        char current[300];
        self->GetText(current, sizeof(current));
        SetDlgItemTextA(hwnd, IDC_SPLASH_STATUS, current);
        self->window = hwnd;
        return TRUE;
    }
    case WM_SPLASH_FINISH:
        EndDialog(hwnd, 1);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_SPLASH_OK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, 2);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(hwnd, 2);
        return TRUE;
    case WM_DESTROY:
        self->window = NULL;
        InterlockedExchange(&self->ended, 1);
        return FALSE;
    case WM_CTLCOLORSTATIC:
        SetBkMode((HDC)wParam, TRANSPARENT);
        return (INT_PTR)self->brush;
    }
    return FALSE;
}
