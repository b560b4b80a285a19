// spxprobe: looks at the windows of a running program from the outside,
// for the GUI smoke test. Every command waits (up to its timeout in ms)
// for what it looks for and exits 1 when it does not come.
//   spxprobe window CLASS|- TITLE|- TIMEOUT      prints the handle of the
//                                                window once it is visible
//   spxprobe title HANDLE                        prints the title
//   spxprobe status HANDLE                       prints the status-bar parts
//   spxprobe list TITLE TIMEOUT                  waits for a list box line in
//                                                the window TITLE, prints all
//   spxprobe answer TITLE BUTTON TIMEOUT         presses BUTTON (IDYES 6 ...)
//                                                in the message box TITLE
//   spxprobe close HANDLE                        posts WM_CLOSE
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char* OrNull(const char* text)
{
    return strcmp(text, "-") == 0 ? NULL : text;
}

HWND ParseHandle(const char* text)
{
    return (HWND)(UINT_PTR)strtoul(text, NULL, 0);
}

// Polls every 100 ms until find answers a window or the time is up.
template <class Find>
HWND WaitFor(Find find, DWORD timeout)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = find();
        if (found != NULL || GetTickCount() - start >= timeout)
            return found;
        Sleep(100);
    }
}

struct ChildSearch {
    const char* className;
    HWND found;
};

BOOL CALLBACK FindChildOfClass(HWND hwnd, LPARAM lParam)
{
    ChildSearch* search = reinterpret_cast<ChildSearch*>(lParam);
    char name[64];
    GetClassNameA(hwnd, name, sizeof(name));
    if (_stricmp(name, search->className) == 0) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND ChildOfClass(HWND parent, const char* className)
{
    ChildSearch search = {className, NULL};
    EnumChildWindows(parent, &FindChildOfClass, (LPARAM)&search);
    return search.found;
}

int Window(const char* className, const char* title, DWORD timeout)
{
    HWND w = WaitFor(
        [&]() -> HWND {
            HWND found = FindWindowA(className, title);
            return found != NULL && IsWindowVisible(found) ? found : NULL;
        },
        timeout);
    if (w == NULL)
        return 1;
    printf("0x%lx\n", (unsigned long)(UINT_PTR)w);
    return 0;
}

int Title(HWND w)
{
    char text[512] = "";
    if (!IsWindow(w))
        return 1;
    GetWindowTextA(w, text, sizeof(text));
    printf("%s\n", text);
    return 0;
}

int Status(HWND frame)
{
    HWND bar = ChildOfClass(frame, STATUSCLASSNAMEA);
    if (bar == NULL)
        return 1;
    int parts = (int)SendMessageA(bar, SB_GETPARTS, 0, 0);
    for (int i = 0; i < parts; ++i) {
        wchar_t wide[512] = L"";
        if (LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, i, 0)) < 512)
            SendMessageW(bar, SB_GETTEXTW, i, (LPARAM)wide);
        char text[1024] = "";
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), NULL, NULL);
        printf("%d: %s\n", i, text);
    }
    return 0;
}

int List(const char* title, DWORD timeout)
{
    HWND box = WaitFor(
        [&]() -> HWND {
            HWND w = FindWindowA(NULL, title);
            HWND list = w != NULL ? ChildOfClass(w, "ListBox") : NULL;
            return list != NULL && SendMessageA(list, LB_GETCOUNT, 0, 0) > 0 ? list : NULL;
        },
        timeout);
    if (box == NULL)
        return 1;
    int count = (int)SendMessageA(box, LB_GETCOUNT, 0, 0);
    // Across processes the text travels as UTF-16 whatever the list box is.
    for (int i = 0; i < count; ++i) {
        wchar_t line[1024] = L"";
        if (SendMessageW(box, LB_GETTEXTLEN, i, 0) < 1024)
            SendMessageW(box, LB_GETTEXT, i, (LPARAM)line);
        char text[2048] = "";
        WideCharToMultiByte(CP_ACP, 0, line, -1, text, sizeof(text), NULL, NULL);
        printf("%s\n", text);
    }
    return 0;
}

int Answer(const char* title, int button, DWORD timeout)
{
    HWND box = WaitFor([&] { return FindWindowA("#32770", title); }, timeout);
    if (box == NULL)
        return 1;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc >= 5 && strcmp(argv[1], "window") == 0)
        return Window(OrNull(argv[2]), OrNull(argv[3]), strtoul(argv[4], NULL, 10));
    if (argc >= 3 && strcmp(argv[1], "title") == 0)
        return Title(ParseHandle(argv[2]));
    if (argc >= 3 && strcmp(argv[1], "status") == 0)
        return Status(ParseHandle(argv[2]));
    if (argc >= 4 && strcmp(argv[1], "list") == 0)
        return List(argv[2], strtoul(argv[3], NULL, 10));
    if (argc >= 5 && strcmp(argv[1], "answer") == 0)
        return Answer(argv[2], atoi(argv[3]), strtoul(argv[4], NULL, 10));
    if (argc >= 3 && strcmp(argv[1], "close") == 0)
        return PostMessageA(ParseHandle(argv[2]), WM_CLOSE, 0, 0) ? 0 : 1;
    fprintf(stderr, "usage: spxprobe window|title|status|list|answer|close ...\n");
    return 2;
}
