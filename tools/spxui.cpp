// spxui: the window toolkit on its own, for tests and for a look at it.
//   spxui placement [NAME ...]  loads window placements and prints them
//   spxui frames                runs a main frame with a fractal window and
//                               two tool windows until it is closed
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "app/Application.h"
#include "ui/Font.h"
#include "ui/FrameWindow.h"
#include "ui/MenuBar.h"
#include "ui/StatusBar.h"
#include "ui/TimerTable.h"
#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"
#include "ui/WindowClasses.h"
#include "ui/WindowPlacement.h"

namespace {

PApplication* g_Application = NULL;

int GetRegistryDword(const char* subKey, const char* valueName, DWORD* value)
{
    return g_Application->GetRegistryDword(subKey, valueName, value);
}

int SetRegistryDword(const char* subKey, const char* valueName, DWORD value)
{
    return g_Application->SetRegistryDword(subKey, valueName, value);
}

void MakeFonts()
{
    CreateToolkitFonts("Tahoma", 8);
}

void PrintPlacement(WindowDescriptor* d)
{
    d->Load();
    printf("%s isOpened=%d isMinimized=%d isAttached=%d X=%d Y=%d Width=%d Height=%d\n", d->name,
           d->isOpened, d->isMinimized, d->isAttached, d->X, d->Y, d->Width, d->Height);
}

int Placement(int argc, char** argv)
{
    MakeFonts();
    if (argc == 0) {
        for (int i = 0; i < WINDOW_DESCRIPTOR_COUNT; ++i)
            PrintPlacement(WindowDescriptorAt(i));
        return 0;
    }
    for (int i = 0; i < argc; ++i) {
        WindowDescriptor* d = FindWindowDescriptor(argv[i]);
        if (d == NULL) {
            fprintf(stderr, "spxui: no window named \"%s\"\n", argv[i]);
            return 1;
        }
        PrintPlacement(d);
    }
    return 0;
}

// The two tool windows of the frames scene, made from their placements.
struct ToolWindow {
    const char* name;
    const char* title;
    int windowId;
    PFrameWindow* window;
};
ToolWindow g_ToolWindows[] = {
    {"Size", "Fractal Size", 680, NULL},
    {"Options", "Options", 2200, NULL},
};

WindowDescriptor* DescriptorOfWindow(int windowId)
{
    for (ToolWindow& tool : g_ToolWindows)
        if (tool.windowId == windowId)
            return FindWindowDescriptor(tool.name);
    return NULL;
}

// Closing the main frame stores the tool windows' placement and ends.
int ConfirmWindowClose(PFrameWindow* window)
{
    if (window != g_Toolkit.mainFrame)
        return 0;
    for (ToolWindow& tool : g_ToolWindows) {
        WindowDescriptor* d = FindWindowDescriptor(tool.name);
        int x = 0, y = 0, w = 0, h = 0;
        tool.window->GetPosition(&x, &y, true);
        tool.window->GetSize(&w, &h, false);
        d->SetX(x);
        d->SetY(y);
        d->SetWidth(w);
        d->SetHeight(h);
        printf("%s X=%d Y=%d Width=%d Height=%d\n", tool.name, x, y, w, h);
    }
    RECT client;
    GetClientRect(window->hwnd, &client);
    int edges[STATUS_BAR_PARTS] = {0};
    SendMessageA(MainStatusBar->hwnd, SB_GETPARTS, STATUS_BAR_PARTS, (LPARAM)edges);
    printf("client width=%ld parts=%d %d %d %d %d\n", (long)client.right, edges[0], edges[1],
           edges[2], edges[3], edges[4]);
    fflush(stdout);
    PostQuitMessage(0);
    return 0;
}

// A menu of seven top-level entries; the seventh carries the MDI window list.
HMENU MakeMenu()
{
    static const char* const kTitles[] = {"&File", "&Edit", "&View", "F&ractal", "&Options",
                                          "&Window", "&Help"};
    HMENU bar = CreateMenu();
    for (int i = 0; i < 7; ++i) {
        HMENU popup = CreatePopupMenu();
        AppendMenuA(popup, MF_STRING, 29000 + i, "Item");
        AppendMenuA(bar, MF_POPUP, (UINT_PTR)popup, kTitles[i]);
    }
    return bar;
}

int Frames()
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    InitToolkit(instance);
    if (RegisterWindowClasses(instance) != 0) {
        fprintf(stderr, "spxui: the window classes could not be registered\n");
        return 1;
    }
    g_UiHandlers.ConfirmWindowClose = ConfirmWindowClose;
    g_UiHandlers.DescriptorOfWindow = DescriptorOfWindow;

    PFrameWindow* frame = new PFrameWindow("spxui", WID_MAIN, WT_MAIN, true, false, 0, 0, 800, 600,
                                           true, false);
    g_Toolkit.mainFrame = frame;
    MakeFonts();
    SetMenu(frame->hwnd, MakeMenu());
    MainStatusBar = new PStatusBar();
    g_Toolkit.menuBar = new PMenuBar();
    g_Toolkit.timerTable = new PTimerTable();
    g_DragWindow = new PFrameWindow(NULL, WID_DRAG, WT_POPUP, false, false, 0, 0, 10, 10, false,
                                    false);
    ShowWindow(frame->hwnd, SW_SHOW);
    LayoutMainFrame(frame, 0);

    new PFrameWindow("child", WID_FRACTAL, WT_MDICHILD, true, false, -1, -1, 320, 200, true, false);
    for (ToolWindow& tool : g_ToolWindows) {
        WindowDescriptor* d = FindWindowDescriptor(tool.name);
        tool.window = new PFrameWindow(tool.title, tool.windowId, WT_TOOL, d->thickFrame != 0,
                                       false, d->GetX(), d->GetY(), d->GetWidth(), d->GetHeight(),
                                       true, d->dockable != 0);
        tool.window->Show(true);
    }

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (TranslateMDISysAccel(frame->mdiClient, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: spxui placement [NAME ...] | spxui frames\n");
        return 2;
    }
    g_Application = new PApplication(GetModuleHandleA(NULL));
    g_UiHandlers.GetRegistryDword = GetRegistryDword;
    g_UiHandlers.SetRegistryDword = SetRegistryDword;
    if (strcmp(argv[1], "placement") == 0)
        return Placement(argc - 2, argv + 2);
    if (strcmp(argv[1], "frames") == 0)
        return Frames();
    fprintf(stderr, "spxui: unknown command \"%s\"\n", argv[1]);
    return 2;
}
