#include "app/ScanProgressDialog.h"

#include <string.h>

#include <vector>

#include "app/Application.h"
#include "ui/FrameWindow.h"

ScanProgressDialog g_ScanProgressDialog;
ScanProgressRunner g_ScanProgressRunner = NULL;

namespace {

// Posted by Close: the dialog ends itself on its own thread.
const UINT UM_SCAN_PROGRESS_CLOSE = WM_APP + 0x351;

void CopyText(char* out, const char* text)
{
    size_t n = text != NULL ? strlen(text) : 0;
    if (n > SCAN_PROGRESS_TEXT_MAX)
        n = SCAN_PROGRESS_TEXT_MAX;
    if (n > 0)
        memcpy(out, text, n);
    out[n] = 0;
}

void CopyOut(char* out, size_t size, const char* text)
{
    if (out == NULL || size == 0)
        return;
    size_t n = strlen(text);
    if (n >= size)
        n = size - 1;
    memcpy(out, text, n);
    out[n] = 0;
}

// An empty dialog template (the controls are made when it opens).
std::vector<WORD> EmptyDialogTemplate()
{
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    DLGTEMPLATE* t = reinterpret_cast<DLGTEMPLATE*>(words.data());
    t->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    t->cdit = 0;
    t->cx = 300;
    t->cy = 110;
    words.push_back(0);  // no menu
    words.push_back(0);  // the standard dialog class
    for (const char* c = "Spiralix"; *c; c++)
        words.push_back((WORD)*c);
    words.push_back(0);
    return words;
}

HWND MakeControl(HWND parent, const char* className, const char* text, DWORD style, int x, int y,
                 int width, int height, int id)
{
    HWND control = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
                                   height, parent, (HMENU)(INT_PTR)id, GetModuleHandleA(NULL), NULL);
    SendMessageA(control, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
    return control;
}

}  // namespace

ScanProgressDialog::ScanProgressDialog()
    : window(NULL), argument(NULL), closedEvent(CreateEventA(NULL, TRUE, FALSE, NULL)), headlessOpen(0)
{
    InitializeCriticalSection(&lock);
    memset(messages, 0, sizeof(messages));
    memset(names, 0, sizeof(names));
}

ScanProgressDialog::~ScanProgressDialog()
{
    if (closedEvent != NULL)
        CloseHandle(closedEvent);
    DeleteCriticalSection(&lock);
}

int ScanProgressDialog::Run(void* job)
{
    argument = job;
    if (g_ScanProgressRunner != NULL)
        return g_ScanProgressRunner(this);
    std::vector<WORD> t = EmptyDialogTemplate();
    HWND owner = g_App != NULL && g_App->mainFrame != NULL ? g_App->mainFrame->hwnd : NULL;
    INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(NULL),
                                             reinterpret_cast<DLGTEMPLATE*>(t.data()), owner,
                                             &ScanProgressDialog::DialogProc, (LPARAM)this);
    window = NULL;
    // Without a window (none can be made) the job still runs to its end.
    if (result == -1)
        return RunHeadless(INFINITE);
    return result == 1 ? 1 : 2;
}

int ScanProgressDialog::RunHeadless(DWORD waitMs)
{
    ResetEvent(closedEvent);
    InterlockedExchange(&headlessOpen, 1);
    DWORD wait = WaitForSingleObject(closedEvent, waitMs);
    InterlockedExchange(&headlessOpen, 0);
    return wait == WAIT_OBJECT_0 ? 1 : 2;
}

void ScanProgressDialog::SetMessage(const char* text, int line)
{
    if (line < 0 || line >= SCAN_PROGRESS_LINES)
        return;
    EnterCriticalSection(&lock);
    CopyText(messages[line], text);
    LeaveCriticalSection(&lock);
    HWND w = window;
    if (w != NULL)
        SetDlgItemTextA(w, IDC_SCAN_PROGRESS_MESSAGE + line, text != NULL ? text : "");
}

void ScanProgressDialog::SetName(const char* text, int line)
{
    if (line < 0 || line >= SCAN_PROGRESS_LINES)
        return;
    EnterCriticalSection(&lock);
    CopyText(names[line], text);
    LeaveCriticalSection(&lock);
    HWND w = window;
    if (w != NULL)
        SetDlgItemTextA(w, IDC_SCAN_PROGRESS_NAME + line, text != NULL ? text : "");
}

void ScanProgressDialog::GetMessage(int line, char* out, size_t size)
{
    if (line < 0 || line >= SCAN_PROGRESS_LINES)
        return;
    EnterCriticalSection(&lock);
    CopyOut(out, size, messages[line]);
    LeaveCriticalSection(&lock);
}

void ScanProgressDialog::GetName(int line, char* out, size_t size)
{
    if (line < 0 || line >= SCAN_PROGRESS_LINES)
        return;
    EnterCriticalSection(&lock);
    CopyOut(out, size, names[line]);
    LeaveCriticalSection(&lock);
}

void ScanProgressDialog::Close()
{
    if (headlessOpen)
        SetEvent(closedEvent);
    HWND w = window;
    window = NULL;
    if (w != NULL)
        PostMessageA(w, UM_SCAN_PROGRESS_CLOSE, 0, 0);
}

void ScanProgressDialog::ShowTexts()
{
    char text[SCAN_PROGRESS_TEXT_MAX + 1];
    for (int line = 0; line < SCAN_PROGRESS_LINES; line++) {
        GetName(line, text, sizeof(text));
        SetDlgItemTextA(window, IDC_SCAN_PROGRESS_NAME + line, text);
        GetMessage(line, text, sizeof(text));
        SetDlgItemTextA(window, IDC_SCAN_PROGRESS_MESSAGE + line, text);
    }
}

INT_PTR CALLBACK ScanProgressDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        ScanProgressDialog* self = reinterpret_cast<ScanProgressDialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        const int width = 465, height = 180;
        int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        SetWindowPos(hwnd, NULL, x, y, width, height, SWP_NOZORDER);
        static const int rows[SCAN_PROGRESS_LINES][2] = {{40, 18}, {70, 30}, {110, 18}};
        for (int line = 0; line < SCAN_PROGRESS_LINES; line++) {
            MakeControl(hwnd, "STATIC", "", SS_LEFT, 138, rows[line][0], 51, rows[line][1],
                        IDC_SCAN_PROGRESS_NAME + line);
            MakeControl(hwnd, "STATIC", "", SS_LEFT | SS_PATHELLIPSIS, 193, rows[line][0], 245,
                        rows[line][1], IDC_SCAN_PROGRESS_MESSAGE + line);
        }
        MakeControl(hwnd, "BUTTON", "&Abort", BS_PUSHBUTTON | WS_TABSTOP, 229, 140, 106, 23,
                    IDC_SCAN_PROGRESS_ABORT);
        self->window = hwnd;
        self->ShowTexts();
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_SCAN_PROGRESS_ABORT || LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, 2);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        EndDialog(hwnd, 2);
        return TRUE;
    case UM_SCAN_PROGRESS_CLOSE:
        EndDialog(hwnd, 1);
        return TRUE;
    case WM_DESTROY: {
        ScanProgressDialog* self =
            reinterpret_cast<ScanProgressDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
        if (self != NULL && self->window == hwnd)
            self->window = NULL;
        break;
    }
    }
    return FALSE;
}
