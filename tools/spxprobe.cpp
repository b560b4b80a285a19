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
//   spxprobe pixels HANDLE FILE                  writes the client area as a
//                                                binary PPM (P6) image
//   spxprobe origin HANDLE                       prints the screen position of
//                                                the client area and its size
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

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

// The bar belongs to another process and its SB_GETTEXT is not carried
// across processes: the text is fetched into a buffer in the program's own
// memory and read from there.
int Status(HWND frame)
{
    HWND bar = ChildOfClass(frame, STATUSCLASSNAMEA);
    if (bar == NULL)
        return 1;
    DWORD processId = 0;
    GetWindowThreadProcessId(bar, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process == NULL)
        return 1;
    const SIZE_T size = 512 * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, NULL, size, MEM_COMMIT, PAGE_READWRITE);
    if (remote == NULL) {
        CloseHandle(process);
        return 1;
    }
    int parts = (int)SendMessageA(bar, SB_GETPARTS, 0, 0);
    for (int i = 0; i < parts; ++i) {
        wchar_t wide[512] = L"";
        SIZE_T read = 0;
        if (LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, i, 0)) < 512) {
            WriteProcessMemory(process, remote, wide, sizeof(wchar_t), NULL);
            SendMessageW(bar, SB_GETTEXTW, i, (LPARAM)remote);
            ReadProcessMemory(process, remote, wide, size, &read);
            wide[511] = 0;
        }
        char text[1024] = "";
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), NULL, NULL);
        printf("%d: %s\n", i, text);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
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

// Copies width x height pixels at x, y of the source into a 32-bit DIB;
// the pixels (0x00RRGGBB, top row first), empty when the copy failed.
std::vector<DWORD> Capture(HDC source, int x, int y, int width, int height)
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
    std::vector<DWORD> pixels;
    if (dib != NULL && bits != NULL) {
        HGDIOBJ old = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
        GdiFlush();
        const DWORD* p = static_cast<const DWORD*>(bits);
        pixels.assign(p, p + (size_t)width * height);
        for (DWORD& pixel : pixels)
            pixel &= 0xFFFFFF;
        SelectObject(memory, old);
        DeleteObject(dib);
    }
    DeleteDC(memory);
    return pixels;
}

int CountDistinct(std::vector<DWORD> pixels)
{
    qsort(pixels.data(), pixels.size(), sizeof(DWORD), [](const void* a, const void* b) {
        DWORD x = *static_cast<const DWORD*>(a), y = *static_cast<const DWORD*>(b);
        return x < y ? -1 : x > y ? 1 : 0;
    });
    int distinct = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
        if (i == 0 || pixels[i] != pixels[i - 1])
            ++distinct;
    return distinct;
}

// Another process's window is read through its own device context, else
// (where that gives a single colour) through the screen where it is shown.
std::vector<DWORD> ClientPixels(HWND w, int* width, int* height)
{
    RECT client;
    if (!IsWindow(w) || !GetClientRect(w, &client) || client.right <= 0 || client.bottom <= 0)
        return std::vector<DWORD>();
    *width = client.right;
    *height = client.bottom;
    HDC window = GetDC(w);
    std::vector<DWORD> pixels = Capture(window, 0, 0, client.right, client.bottom);
    ReleaseDC(w, window);
    if (CountDistinct(pixels) <= 1) {
        POINT origin = {0, 0};
        ClientToScreen(w, &origin);
        HDC screen = GetDC(NULL);
        std::vector<DWORD> onScreen = Capture(screen, origin.x, origin.y, client.right, client.bottom);
        ReleaseDC(NULL, screen);
        if (CountDistinct(onScreen) > CountDistinct(pixels))
            pixels.swap(onScreen);
    }
    return pixels;
}

int Colours(HWND w)
{
    int width = 0, height = 0;
    std::vector<DWORD> pixels = ClientPixels(w, &width, &height);
    if (pixels.empty())
        return 1;
    printf("%d\n", CountDistinct(pixels));
    return 0;
}

int Pixels(HWND w, const char* path)
{
    int width = 0, height = 0;
    std::vector<DWORD> pixels = ClientPixels(w, &width, &height);
    FILE* out = pixels.empty() ? NULL : fopen(path, "wb");
    if (out == NULL)
        return 1;
    fprintf(out, "P6\n%d %d\n255\n", width, height);
    for (DWORD pixel : pixels) {
        unsigned char rgb[3] = {(unsigned char)(pixel >> 16), (unsigned char)(pixel >> 8), (unsigned char)pixel};
        fwrite(rgb, 1, 3, out);
    }
    return fclose(out) == 0 ? 0 : 1;
}

int Origin(HWND w)
{
    RECT client;
    POINT origin = {0, 0};
    if (!IsWindow(w) || !GetClientRect(w, &client) || !ClientToScreen(w, &origin))
        return 1;
    printf("%ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
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
    if (argc >= 4 && strcmp(argv[1], "pixels") == 0)
        return Pixels(ParseHandle(argv[2]), argv[3]);
    if (argc >= 3 && strcmp(argv[1], "origin") == 0)
        return Origin(ParseHandle(argv[2]));
    fprintf(stderr, "usage: spxprobe window|title|status|list|answer|close|child|colours|placement|pixels|origin ...\n");
    return 2;
}
