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
//   spxprobe child TITLE TIMEOUT                 prints the handle of the
//                                                main frame's MDI child whose
//                                                title contains TITLE
//   spxprobe colours HANDLE                      prints the number of distinct
//                                                colours of the client area
//   spxprobe placement HANDLE                    prints the show state (3 =
//                                                maximised) and the outer size
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

// The children of the main frame's MDI client (the first visible window
// of the main-window class is the frame).
HWND MdiChildTitled(const char* part)
{
    HWND frame = FindWindowA("vuzaz_defwindow", NULL);
    HWND client = frame != NULL ? FindWindowExA(frame, NULL, "MDIClient", NULL) : NULL;
    for (HWND child = client != NULL ? GetWindow(client, GW_CHILD) : NULL; child != NULL;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char text[512] = "";
        GetWindowTextA(child, text, sizeof(text));
        if (strstr(text, part) != NULL && IsWindowVisible(child))
            return child;
    }
    return NULL;
}

int Child(const char* title, DWORD timeout)
{
    HWND w = WaitFor([&] { return MdiChildTitled(title); }, timeout);
    if (w == NULL)
        return 1;
    printf("0x%lx\n", (unsigned long)(UINT_PTR)w);
    return 0;
}

// Copies width x height pixels at x, y of the source into a 32-bit DIB and
// counts the distinct colours.
int CountColours(HDC source, int x, int y, int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (dib == NULL || bits == NULL) {
        DeleteDC(memory);
        return 0;
    }
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    size_t count = (size_t)width * height;
    DWORD* sorted = new DWORD[count];
    for (size_t i = 0; i < count; ++i)
        sorted[i] = pixels[i] & 0xFFFFFF;
    qsort(sorted, count, sizeof(DWORD), [](const void* a, const void* b) {
        DWORD x = *static_cast<const DWORD*>(a), y = *static_cast<const DWORD*>(b);
        return x < y ? -1 : x > y ? 1 : 0;
    });
    int distinct = 0;
    for (size_t i = 0; i < count; ++i)
        if (i == 0 || sorted[i] != sorted[i - 1])
            ++distinct;
    delete[] sorted;
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    return distinct;
}

// Another process's window is read through its own device context, else
// (where that gives a single colour) through the screen where it is shown.
int Colours(HWND w)
{
    RECT client;
    if (!IsWindow(w) || !GetClientRect(w, &client) || client.right <= 0 || client.bottom <= 0)
        return 1;
    HDC window = GetDC(w);
    int distinct = CountColours(window, 0, 0, client.right, client.bottom);
    ReleaseDC(w, window);
    if (distinct <= 1) {
        POINT origin = {0, 0};
        ClientToScreen(w, &origin);
        HDC screen = GetDC(NULL);
        int onScreen = CountColours(screen, origin.x, origin.y, client.right, client.bottom);
        ReleaseDC(NULL, screen);
        if (onScreen > distinct)
            distinct = onScreen;
    }
    printf("%d\n", distinct);
    return 0;
}

int Placement(HWND w)
{
    WINDOWPLACEMENT placement = {sizeof(placement)};
    RECT outer;
    if (!IsWindow(w) || !GetWindowPlacement(w, &placement) || !GetWindowRect(w, &outer))
        return 1;
    printf("%u %ld %ld\n", placement.showCmd, outer.right - outer.left, outer.bottom - outer.top);
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
    if (argc >= 4 && strcmp(argv[1], "child") == 0)
        return Child(argv[2], strtoul(argv[3], NULL, 10));
    if (argc >= 3 && strcmp(argv[1], "colours") == 0)
        return Colours(ParseHandle(argv[2]));
    if (argc >= 3 && strcmp(argv[1], "placement") == 0)
        return Placement(ParseHandle(argv[2]));
    fprintf(stderr, "usage: spxprobe window|title|status|list|answer|close|child|colours|placement ...\n");
    return 2;
}
