// The application object's own start-up (Init, the 16 logged steps that end
// with a hidden main frame) and its end (Cleanup), the memory DC and the
// interface bitmaps. The main initialisation (MainInit.cpp) runs between
// the two and shows the frame.
#include "app/Application.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "app/MainInit.h"
#include "foundation/LogFile.h"
#include "ui/Font.h"
#include "ui/FrameWindow.h"
#include "ui/Keyboard.h"
#include "ui/MenuBar.h"
#include "ui/StatusBar.h"
#include "ui/TimerTable.h"
#include "ui/Toolkit.h"
#include "ui/WindowClasses.h"

const int kInterfaceBitmaps[41] = {
    28006, 28007, 28018, 28019, 28020, 28021, 28025, 28026, 28027, 28028, 28029,
    28030, 28031, 28032, 28033, 28034, 28035, 28036, 28037, 28038, 28039, 28040,
    28041, 28042, 28043, 28044, 28045, 28065, 28066, 28067, 28068, 28069, 28070,
    28071, 28072, 28073, 28074, 28075, 28080, 28081, 28084,
};

namespace {

void Log(const char* text)
{
    if (g_App != NULL && g_App->log != NULL)
        g_App->log->Write(text);
}

const COLORREF kPenColours[6] = {0xC0C0C0, 0x808080, 0xE5E5E5, 0xCCCCCC, 0x404040, 0x888888};
const COLORREF kBrushColours[4] = {0xA0A0A0, 0x646464, 0x505050, 0x8C7864};

void MakePensAndCursors(PApplication* app)
{
    for (int i = 0; i < 6; ++i)
        app->pens[i] = CreatePen(PS_SOLID, 1, kPenColours[i]);
    for (int i = 0; i < 4; ++i)
        app->brushes[i] = CreateSolidBrush(kBrushColours[i]);
    const LPCSTR system[10] = {IDC_ARROW, IDC_HAND, IDC_CROSS, IDC_ARROW, IDC_WAIT,
                               IDC_NO,    IDC_ARROW, NULL,     IDC_SIZEALL, IDC_ARROW};
    for (int i = 0; i < 10; ++i)
        app->cursors[i] = system[i] != NULL ? LoadCursorA(NULL, system[i])
                                            : LoadCursorA(app->hInstance, MAKEINTRESOURCEA(125));
}

}  // namespace

bool PApplication::MigrateRegistryKey()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SPIRALIX_REGISTRY_KEY, 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        RegCloseKey(key);
        return false;
    }
    char previous[60];
    FindPreviousVersionKey(previous);
    return previous[0] != '\0' && CopyRegistryKey(previous, SPIRALIX_REGISTRY_KEY) == 0;
}

int PApplication::Init()
{
    InitFolders();
    // The data folder holds the log, the settings and the fractals: on a
    // fresh machine it is made here, before anything is written to it.
    CreateDataFolders(dataFolder);
    // A first start gets the formulas and the "Startup" fractal the
    // program ships beside its executable.
    char programFolder[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, programFolder, sizeof(programFolder));
    if (length > 0 && length < sizeof(programFolder)) {
        if (char* slash = strrchr(programFolder, '\\'))
            *slash = '\0';
        InstallShippedFiles(programFolder, dataFolder);
    }
    // The key is migrated before the log reads its "Debug" switch from it.
    MigrateRegistryKey();
    InitLog();
    g_Toolkit.log = log;
    g_Toolkit.instance = hInstance;

    InitCommonControls();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), 0x1FFF};
    InitCommonControlsEx(&controls);

    Log("Registering window classes");
    InitToolkit(hInstance);
    if (RegisterWindowClasses(hInstance) != 0)
        return 1;

    captionHeight = GetSystemMetrics(SM_CYSMCAPTION) + 4;
    char line[64];
    snprintf(line, sizeof(line), "iCaptionHeight set to %d", captionHeight);
    Log(line);

    Log("Creating standard pens");
    MakePensAndCursors(this);

    Log("Loading accelerators");
    accelerators = LoadAcceleratorsA(hInstance, MAKEINTRESOURCEA(107));

    Log("Creating main window");
    mainFrame = new PFrameWindow("Mainwindow", WID_MAIN, WT_MAIN, true, false, -1, -1, -1, -1,
                                 true, false);
    g_Toolkit.mainFrame = mainFrame;
    Log("Main window created");

    menuBar = new PMenuBar();
    g_Toolkit.menuBar = menuBar;
    Log("Menubar created");
    menuBar->secondMenu = NULL;
    menuBar->thirdMenu = NULL;

    timerTable = new PTimerTable();
    g_Toolkit.timerTable = timerTable;
    Log("Timer created");

    for (PFont*& font : g_Toolkit.fonts)
        font = new PFont();
    Log("Font objects created");

    g_Toolkit.keyboard = new PKeyboard();
    g_Toolkit.mouse = PMouse();
    Log("Keyboard and Mouse objects created");

    Log("Adjusting thread priority");
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);

    Log("Creating status bar");
    statusBar = new PStatusBar();
    MainStatusBar = statusBar;
    return 0;
}

void PApplication::Cleanup()
{
    delete g_Toolkit.keyboard;
    g_Toolkit.keyboard = NULL;
    delete timerTable;
    timerTable = NULL;
    g_Toolkit.timerTable = NULL;
    delete menuBar;
    menuBar = NULL;
    g_Toolkit.menuBar = NULL;
    static const int kFontOrder[4] = {FONT_SMALL, FONT_GUI, FONT_BOLD_GUI, FONT_SANS9};
    for (int index : kFontOrder) {
        delete g_Toolkit.fonts[index];
        g_Toolkit.fonts[index] = NULL;
    }
    delete statusBar;
    statusBar = NULL;
    MainStatusBar = NULL;
    delete mainFrame;
    mainFrame = NULL;
    g_Toolkit.mainFrame = NULL;
    UnregisterWindowClasses(hInstance);
    for (HBRUSH& brush : brushes) {
        if (brush != NULL)
            DeleteObject(brush);
        brush = NULL;
    }
    for (HPEN& pen : pens) {
        if (pen != NULL)
            DeleteObject(pen);
        pen = NULL;
    }
}

void PApplication::Quit()
{
    PostQuitMessage(1);
}

void PApplication::CreateMemoryDC()
{
    if (memoryDC != NULL)
        return;
    HDC screen = GetDC(NULL);
    memoryDC = CreateCompatibleDC(screen);
    ReleaseDC(NULL, screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 128;
    info.bmiHeader.biHeight = 128;  // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    memoryBitmap = CreateDIBSection(memoryDC, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    memoryDCOldBitmap = (HBITMAP)SelectObject(memoryDC, memoryBitmap);
}

void PApplication::DeleteMemoryDC()
{
    if (memoryDC != NULL) {
        SelectObject(memoryDC, memoryDCOldBitmap);
        DeleteDC(memoryDC);
    }
    if (memoryBitmap != NULL)
        DeleteObject(memoryBitmap);
    memoryDC = NULL;
    memoryBitmap = NULL;
    memoryDCOldBitmap = NULL;
}

HBITMAP PApplication::LoadBitmapResource(int id, bool asDibSection)
{
    UINT flags = LR_SHARED | LR_MONOCHROME | (asDibSection ? LR_CREATEDIBSECTION : 0);
    return (HBITMAP)LoadImageA(hInstance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, flags);
}

void PApplication::LoadBitmaps()
{
    CreateMemoryDC();
    for (int i = 0; i < 41; ++i)
        bitmaps[i] = LoadBitmapResource(kInterfaceBitmaps[i], true);
}

HBITMAP PApplication::InterfaceBitmap(int id) const
{
    for (int i = 0; i < 41; ++i)
        if (kInterfaceBitmaps[i] == id)
            return bitmaps[i];
    return NULL;
}

void DeleteFolderFiles(const char* folder)
{
    char pattern[MAX_PATH + 8];
    snprintf(pattern, sizeof(pattern), "%s\\*.*", folder);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        char path[MAX_PATH * 2];
        snprintf(path, sizeof(path), "%s\\%s", folder, data.cFileName);
        DeleteFileA(path);
    } while (FindNextFileA(find, &data));
    FindClose(find);
}
