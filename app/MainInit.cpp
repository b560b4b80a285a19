// InitializeProgram, the main initialisation, in its fixed order of logged
// steps. Steps whose subsystem the program does not have yet (presets, the
// toolbar, render jobs, the dock container, the file requesters) are left
// out; their neighbours keep their order so that the log reads the same.
#include "app/MainInit.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/Application.h"
#include "app/SplashDialog.h"
#include "app/StartupLoader.h"
#include "calc/colour/AlphaChannelWindow.h"
#include "calc/layers/Compositing.h"
#include "calc/task/TaskLifecycle.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Selection.h"
#include "files/image/ImageRead.h"
#include "files/renderjob/RenderJob.h"
#include "files/settings/Settings.h"
#include "formulas/FormulaLoader.h"
#include "formulas/convert/ForeignImport.h"
#include "foundation/FileUtil.h"
#include "foundation/HelpContext.h"
#include "foundation/List.h"
#include "foundation/LogFile.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/MessageBox.h"
#include "foundation/Thread.h"
#include "foundation/bignum/Apm.h"
#include "foundation/bignum/BigNumber.h"
#include "toolwindows/Layouts.h"
#include "toolwindows/ToolWindows.h"
#include "ui/Font.h"
#include "ui/FrameWindow.h"
#include "ui/MenuBar.h"
#include "ui/StatusBar.h"
#include "ui/TimerTable.h"
#include "ui/Toolkit.h"
#include "ui/WindowPlacement.h"

int FoldingStyle = 1;
int ShowLineNumbers = 0;
int CompilerFontZoom = 0;
const char* const kQuaternionPanelNames[QUATERNION_PANEL_COUNT] = {
    "lightModelPanel", "lightPanel",         "ambientOcclusionPanel",
    "fogPanel",        "lightSettingsPanel", "lightShadowPanel",
    "observerPanel",   "positionPanel",      "projectionPanel",
};
DWORD QuaternionPanelStates[QUATERNION_PANEL_COUNT] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
char HelpFilePath[MAX_PATH + 20] = "";
HIMAGELIST TreeImageList = NULL;

namespace {

PFrameWindow* g_MdiDummyWindow = NULL;  // step 15: made once, never used
FractalFolder* g_AnimationFolder = NULL;
HHOOK g_TooltipHook = NULL;

void Log(const char* text)
{
    g_App->log->Write(text);
}

const char kCommentTemplate[] =
    "Saved on $month$, $day$ $year$ at $hour$:$min$:$sec$\nDate: $date$\nTime: $time$\n"
    "Resolution: $xdots$ x $ydots$\nCalculation time: $calctime$\nVersion: $version$\n";

// Step 3: the formula editors' and quaternion panels' registry values.
void ReadEditorAndPanelSettings()
{
    DWORD value = 0;
    FoldingStyle = g_App->GetRegistryDword("Properties", "FoldingStyle", &value) == 0 ? (int)value : 1;
    ShowLineNumbers = g_App->GetRegistryDword("Properties", "showLineNumbers", &value) == 0 && value != 0;
    for (int i = 0; i < QUATERNION_PANEL_COUNT; ++i)
        QuaternionPanelStates[i] =
            g_App->GetRegistryDword("Windows\\Quaternion\\Panels", kQuaternionPanelNames[i], &value) == 0
                ? value
                : 1;
    CompilerFontZoom = 0;
    char text[100];
    if (g_App->GetRegistryString("Properties", "jobTempDir", text) == 0)
        snprintf(g_App->jobTempFolder, 512, "%s", text);
    else
        snprintf(g_App->jobTempFolder, 512, "%s", g_App->renderJobFolder);
    snprintf(g_RenderJobFolder, sizeof g_RenderJobFolder, "%s", g_App->renderJobFolder);
    snprintf(g_RenderJobTempFolder, sizeof g_RenderJobTempFolder, "%s", g_App->jobTempFolder);
    SeedRenderJobIds(GetTickCount());
}

// Step 4: brings up the arbitrary-precision library's tables before any
// worker thread uses them.
void InitArbitraryPrecision()
{
    m_apm_cpp_precision(60);
    BigNumber warmUp(
        "-245.655601659751036225499999999998001108620925916411546411443474320022868425531939628599"
        "561878206075217130197987034704167608");
    volatile long double unused = warmUp.ToExtended();
    (void)unused;
}

// Step 14: the help topics, whose ids follow this order.
void RegisterHelpTopics()
{
    static const char* const kTheories[] = {
        "Theory of Julia and Mandelbrot Sets;Fractalwindow", "Theory of Lyapunov Space;Fractalwindow",
        "Theory of Plasma Fractals;Fractalwindow",           "Theory of Quaternions;Fractalwindow",
        "Theory of Attractors;Fractalwindow",                "Theory of Bifurcation Diagrams;Fractalwindow",
        "Theory of Dynamic Systems;Fractalwindow",           "Theory of IFS Fractals;Fractalwindow",
        "Theory of LSystem Fractals;Fractalwindow",          "Theory of Compound Fractals;Fractalwindow",
        "Theory of Layered Fractals;Fractalwindow",          "Fractalwindow",
    };
    for (const char* topic : kTheories)
        g_HelpContexts.GetId(topic);
    for (ToolWindowEntry* row = ToolWindowTable(); row->windowId != 0; ++row)
        if (row->definition != NULL && row->definition->helpTopic != NULL)
            g_HelpContexts.GetId(row->definition->helpTopic);
}

// Step 20: the defaults the settings file may override.
void SetDefaults()
{
    const char* data = g_App->dataFolder;
    ResetSettings();
    snprintf(ProjectPath, sizeof(ProjectPath), "%s\\Fractals", data);
    snprintf(PalettePath, sizeof(PalettePath), "%s\\Palettes", data);
    snprintf(FormulaPath, sizeof(FormulaPath), "%s\\Formulas", data);
    char compilerPath[2 * MAX_PATH + 60];
    snprintf(compilerPath, sizeof(compilerPath), "%s\\Formulas\\Compiler;%s\\Formulas\\Ultra Fractal",
             data, data);
    SetCompilerFormulaPath(compilerPath);
    Log("Initializing render job data");
    Log("Render job data initialized");
    snprintf(ProjectFolder, sizeof(ProjectFolder), "%s", ProjectPath);
    snprintf(PaletteFolder, sizeof(PaletteFolder), "%s", PalettePath);
    snprintf(FormulaFolder, sizeof(FormulaFolder), "%s", FormulaPath);
    snprintf(CompilerFormulaFolder, sizeof(CompilerFormulaFolder), "%s\\Formulas\\Compiler", data);
    snprintf(AnimPath, sizeof(AnimPath), "%s\\Anims", data);
    snprintf(PicturePath, sizeof(PicturePath), "%s\\Pictures", data);
    snprintf(g_TexturePath, sizeof(g_TexturePath), "%s\\Textures", data);
    snprintf(ExportPath, sizeof(ExportPath), "%s\\Pictures", data);
    g_Toolkit.virtualScreenWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    g_Toolkit.virtualScreenHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    SetDefaultComment(kCommentTemplate);
    DWORD size = sizeof(g_AuthorName);
    if (!GetUserNameA(g_AuthorName, &size))
        g_AuthorName[0] = '\0';
    g_UndoSteps = 50;
}

// Step 23: the four fonts from the settings.
void CreateFonts()
{
    g_Toolkit.fonts[FONT_SANS9]->Create("MS Sans Serif", 9, 0, 0);
    g_Toolkit.fonts[FONT_GUI]->Create(GUIFont.face, GUIFont.points, GUIFont.bold, 0);
    g_Toolkit.fonts[FONT_BOLD_GUI]->Create(GUIFont.face, GUIFont.points, 1, 0);
    g_Toolkit.fonts[FONT_SMALL]->Create(SmallFont.face, SmallFont.points, SmallFont.bold, 0);
    if (g_App->statusBar != NULL && g_App->statusBar->hwnd != NULL)
        SendMessageA(g_App->statusBar->hwnd, WM_SETFONT, (WPARAM)g_Toolkit.fonts[FONT_GUI]->hFont, TRUE);
}

// Step 24: at least 256 colours. False ends the program.
bool CheckDisplay()
{
    HDC dc = GetDC(g_App->mainFrame->hwnd);
    int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    PMessageBox box(MB_STYLE_ERROR);
    if (bits < 8) {
        box.Show("Failure", "In order to run Spiralix, you must have at least 256 colors...");
        ReleaseDC(g_App->mainFrame->hwnd, dc);
        return false;
    }
    ScreenDepth = bits <= 8 ? 8 : 24;
    if (bits <= 8 && !(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE))
        box.Show("Failure",
                 "Your display driver does not support palette manager functions\nin this video mode. "
                 "Due to this Spiralix won't be able to set its\ncolors, although the program basically "
                 "should work.");
    ReleaseDC(g_App->mainFrame->hwnd, dc);
    return true;
}

// Step 25: the hidden helper frame "dummy" (the toolkit's drag window).
void CreateDummyWindow()
{
    if (g_DragWindow != NULL)
        return;
    g_DragWindow = new PFrameWindow("dummy", WID_DRAG, WT_TOOL, false, false, 100, 100, 300, 300,
                                    false, false);
    SetWindowPos(g_DragWindow->hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// Step 31: the context menus, with the formula editor's check marks.
void CreateContextMenu()
{
    HMENU menu = LoadMenuA(g_App->hInstance, MAKEINTRESOURCEA(29500));
    g_Toolkit.contextMenu = menu;
    g_App->menuBar->secondMenu = menu;
    if (menu == NULL)
        return;
    CheckMenuItem(menu, 29295, MF_BYCOMMAND | (ShowLineNumbers ? MF_CHECKED : MF_UNCHECKED));
    HMENU editor = GetSubMenu(menu, 12);
    struct Marks {
        int position, unchecked, checked;
    };
    static const Marks kMarks[] = {
        {0, 28047, 28048}, {1, 28053, 28054}, {2, 28051, 28052}, {3, 28049, 28050},
        {4, 28055, 28056}, {7, 28061, 28061}, {8, 28062, 28062}, {10, 28058, 28058},
        {11, 28057, 28057}, {12, 28059, 28059}, {13, 28060, 28060},
    };
    for (const Marks& m : kMarks)
        SetMenuItemBitmaps(editor, m.position, MF_BYPOSITION, g_App->LoadBitmapResource(m.unchecked, false),
                           g_App->LoadBitmapResource(m.checked, false));
}

// Step 32: the loader thread behind the splash dialog. The stop state is
// cleared only after the loader has ended, and the Thread object (whose
// destructor would kill a running thread) is deleted only then.
void RunStartupLoader()
{
    WorkerCancelState = 0;
    Log("Spawning subthread in order to load data");
    g_SplashDialog.SetText("Loading parameter files");
    Thread* loader = new Thread(&StartupLoaderThread, NULL, false, 0);
    loader->Resume();
    int result = g_SplashDialog.Run(SPLASH_LOADING);
    Log("Blocking dialog now gone");
    if (result == 2) {
        WorkerCancelState = 1;
        for (int i = 0; i < 40 && WaitForSingleObject(loader->handle, 200) == WAIT_TIMEOUT; ++i) {
        }
    }
    WaitForSingleObject(loader->handle, INFINITE);
    WorkerCancelState = 0;
    delete loader;
    Log("Subthread deleted successfully");
}

// Step 33: the standard folders.
void CreateStandardFolders()
{
    if (FolderList.GetHead() == NULL)
        new FractalFolder(ProjectFolder, "Spiralix.par", FOLDER_PARAMETERS, true, true);
    g_App->renderJobsFolder = new FractalFolder(ProjectFolder, "RenderJobs.par", FOLDER_PARAMETERS, true, true);
    g_AnimationFolder = new FractalFolder(AnimPath, "Animation", FOLDER_ANIMATION, true, true);
}

// Step 34: the offer to convert foreign formulas of the search path.
char g_ConversionText[2000];

INT_PTR CALLBACK FormulaConversionDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        int x = (GetSystemMetrics(SM_CXSCREEN) - 569) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - 304) / 2;
        MoveWindow(hwnd, x, y, 569, 304, FALSE);
        SetDlgItemTextA(hwnd, 9999, g_ConversionText);
        MoveWindow(GetDlgItem(hwnd, 9990), 174, 239, 100, 26, FALSE);
        MoveWindow(GetDlgItem(hwnd, 9991), 450, 239, 100, 26, FALSE);
        MoveWindow(GetDlgItem(hwnd, 9999), 178, 18, 368, 188, FALSE);
        MoveWindow(GetDlgItem(hwnd, 9998), 170, 2, 384, 226, FALSE);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == 9990)
            EndDialog(hwnd, 0);
        else if (LOWORD(wParam) == 9991 || LOWORD(wParam) == IDCANCEL)
            EndDialog(hwnd, 2);
        return TRUE;
    case WM_CLOSE:
        EndDialog(hwnd, 2);
        return TRUE;
    }
    return FALSE;
}

void OfferFormulaConversion()
{
    if (FractintFileCount == 0 && UltraFractalFileCount == 0)
        return;
    FormatConversionQuestion(FractintFileCount, UltraFractalFileCount, g_ConversionText,
                             sizeof(g_ConversionText));
    INT_PTR answer = DialogBoxParamA(g_App->hInstance, MAKEINTRESOURCEA(112), g_App->mainFrame->hwnd,
                                     &FormulaConversionDialogProc, 0);
    if (answer == 0)
        LoadForeignFormulaPaths(CompilerFormulaPath);
}

// Folder names come from file names with their words capitalised
// ("Spiralix.Par"), so the lookup ignores case.
FractalFolder* FindFolderNamed(const char* name)
{
    for (ListNode* node = FolderList.GetHead(); node != NULL; node = node->next)
        if (_stricmp(node->name, name) == 0)
            return static_cast<FractalFolder*>(node);
    return NULL;
}

Fractal* FindFractalNamed(FractalFolder* folder, const char* name)
{
    for (ListNode* node = folder != NULL ? folder->fractals.GetHead() : NULL; node != NULL; node = node->next)
        if (strcmp(node->name, name) == 0)
            return static_cast<Fractal*>(node);
    return NULL;
}

// Step 39: the stored window state. Showing and maximising in one call
// maximises the window before it is mapped: a window shown first and
// maximised afterwards is restored again by Wine's X11 driver when no
// window manager confirms the maximised state.
void ShowMainFrame()
{
    HWND frame = g_App->mainFrame->hwnd;
    if (g_MainWindowSetting.showCommand == 3) {
        g_App->mainFrame->Resize(800, 600);
        ShowWindow(frame, SW_SHOWMAXIMIZED);
    } else if (g_MainWindowSetting.showCommand == 2) {
        ShowWindow(frame, SW_MINIMIZE);
    } else {
        ShowWindow(frame, SW_SHOW);
    }
}

int GetRegistryDwordOfApp(const char* subKey, const char* valueName, DWORD* value)
{
    return g_App->GetRegistryDword(subKey, valueName, value);
}

int SetRegistryDwordOfApp(const char* subKey, const char* valueName, DWORD value)
{
    return g_App->SetRegistryDword(subKey, valueName, value);
}

LRESULT CALLBACK RelayToTooltip(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code >= 0 && msg != NULL && g_ToolTipWindow != NULL) {
        switch (msg->message) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP: {
            MSG copy = *msg;
            SendMessageA(g_ToolTipWindow, TTM_RELAYEVENT, 0, (LPARAM)&copy);
            break;
        }
        }
    }
    return CallNextHookEx(g_TooltipHook, code, wParam, lParam);
}

}  // namespace

void CreateDataFolders(const char* dataFolder)
{
    static const char* const kSubFolders[] = {"",        "\\Fractals", "\\Palettes", "\\Formulas",
                                              "\\Formulas\\Compiler", "\\Presets", "\\Anims",
                                              "\\Pictures", "\\Textures"};
    for (const char* sub : kSubFolders) {
        char path[1100];
        snprintf(path, sizeof(path), "%s%s", dataFolder, sub);
        CreateDirectoryA(path, NULL);
    }
}

// The compiler's formula files: the loader scans them only in the folders
// of the compiler search path, whose default first folder is
// Formulas\Compiler (the data folder's own Formulas is dropped from it).
static bool IsCompilerFormulaFile(const char* name)
{
    static const char* const kExtensions[] = {".sfm", ".scl", ".str", ".lib"};
    const char* dot = strrchr(name, '.');
    if (dot == NULL)
        return false;
    for (const char* extension : kExtensions)
        if (_stricmp(dot, extension) == 0)
            return true;
    return false;
}

int InstallShippedFiles(const char* programFolder, const char* dataFolder)
{
    static const char* const kShipped[] = {"Formulas", "Fractals"};
    int copied = 0;
    for (const char* sub : kShipped) {
        char pattern[1100];
        snprintf(pattern, sizeof(pattern), "%s\\%s\\*", programFolder, sub);
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            const char* target = strcmp(sub, "Formulas") == 0 && IsCompilerFormulaFile(found.cFileName)
                                     ? "Formulas\\Compiler"
                                     : sub;
            char from[1100], to[1100];
            snprintf(from, sizeof(from), "%s\\%s\\%s", programFolder, sub, found.cFileName);
            snprintf(to, sizeof(to), "%s\\%s\\%s", dataFolder, target, found.cFileName);
            if (CopyFileA(from, to, TRUE))
                ++copied;
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return copied;
}

bool MarkRunStarted(char* previous)
{
    g_App->GetRegistryString("Properties", "RunState", previous);
    g_App->SetRegistryString("Properties", "RunState", "Running");
    return strcmp(previous, "Running") == 0;
}

void FormatConversionQuestion(int fractint, int ultraFractal, char* out, size_t size)
{
    const char* kinds = fractint > 0 && ultraFractal > 0 ? "UltraFractal and FractInt"
                        : ultraFractal > 0               ? "UltraFractal"
                                                         : "FractInt";
    snprintf(out, size,
             "Spiralix has found %s formulas in the compiler formula search path.\nThese formulas have "
             "not been loaded.\nIn order to use them they must be converted. Conversion will not delete "
             "these files. Instead a new file for each %s file will be created containing the converted "
             "formulas.\n\nIn order to add further %s formulas, please use the Open-button in the "
             "compiler window or choose \"Import formulas\" from the menu",
             kinds, kinds, kinds);
}

void CreateTooltipWindow()
{
    if (g_ToolTipWindow == NULL)
        g_ToolTipWindow = CreateWindowExA(WS_EX_COMPOSITED | WS_EX_TOPMOST, TOOLTIPS_CLASSA, NULL,
                                          TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                          CW_USEDEFAULT, NULL, NULL, g_App->hInstance, NULL);
    SendMessageA(g_ToolTipWindow, TTM_SETMAXTIPWIDTH, 0, 640);
    if (g_TooltipHook == NULL)
        g_TooltipHook = SetWindowsHookExA(WH_GETMESSAGE, &RelayToTooltip, NULL, GetCurrentThreadId());
}

int InitializeProgram()
{
    char runState[100];
    bool unclean = MarkRunStarted(runState);
    ReadEditorAndPanelSettings();
    InitArbitraryPrecision();
    InitNoiseTables();
    srand(GetTickCount());
    if (unclean) {
        DeleteFolderFiles(g_App->renderJobFolder);
        DeleteFolderFiles(g_App->jobTempFolder);
    }
    g_App->mainThreadId = GetCurrentThreadId();
    snprintf(HelpFilePath, sizeof(HelpFilePath), "%s\\Spiralix.chm", g_App->startFolder);
    Log("Starting initialize");
    g_TaskPriority = 0;
    WindowsVersion = GetWindowsVersion();
    FindHtmlBrowser();
    FolderList.Clear(true);

    Log("Creating presets");
    RegisterFileTypes();

    Log("Initializing processor features");
    InitProcessorFeatures();
    BuildMultiplyTable();
    Log("Initializing internal compiler");
    fixupTemplates();
    buildParseStateIndex();
    buildBuiltinIndex();

    Log("Creating tooltip");
    CreateTooltipWindow();
    if (!BuildWindowLayouts())
        return 1;
    RegisterHelpTopics();

    Log("Creating Dummywindow");
    g_MdiDummyWindow = new PFrameWindow("Spiralix", WID_MDI_PLACEHOLDER, WT_MDICHILD, false, false, 0, 0,
                                        10, 10, false, false);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);

    Log("Creating Imagelists");
    TreeImageList = ImageList_Create(16, 16, ILC_COLOR32, 16, 32);
    for (int id = 28206; id <= 28236; ++id)
        ImageList_AddIcon(TreeImageList, LoadIconA(g_App->hInstance, MAKEINTRESOURCEA(id)));

    Log("Reading presets");
    Log("Starting up timer thread");
    g_App->timerTable->Add(1000, 100);

    SetDefaults();
    Log("Loading spiralix.cfg");
    snprintf(g_SettingsFolder, sizeof(g_SettingsFolder), "%s", g_App->dataFolder);
    g_SettingsRegistry.getDword = &GetRegistryDwordOfApp;
    g_SettingsRegistry.setDword = &SetRegistryDwordOfApp;
    LoadSettings("Spiralix.cfg");

    g_App->timerTable->Add(1001, 10);
    g_App->timerTable->SetInterval(1001, 16);
    g_App->mainFrame->SetTitle("Spiralix");
    CreateFonts();
    if (!CheckDisplay())
        return 1;

    Log("Loading application bitmaps");
    g_App->LoadBitmaps();
    CreateDummyWindow();
    Log("Creating toolbar 1");

    Log("Position project window");
    g_App->mainFrame->Move(g_MainWindowSetting.x, g_MainWindowSetting.y);
    Log("Size project window");
    g_App->mainFrame->Resize(g_MainWindowSetting.width, g_MainWindowSetting.height);
    Log("Initializing analyzer of alpha channel window");
    SetupAlphaDisplayPalette();
    Log("Creating context popup menu");
    CreateContextMenu();

    RunStartupLoader();
    CreateStandardFolders();
    OfferFormulaConversion();
    if (CurrentFolder == NULL && FolderList.GetHead() != NULL)
        SetCurrentFolder(static_cast<FractalFolder*>(FolderList.GetHead()));
    FillFolderCombo();

    WindowDescriptor* zoom = DescriptorOfToolWindow(WID_ZOOM);
    if (zoom != NULL)
        zoom->SetOpened(0);
    CurrentFolder = NULL;
    ReopenToolWindows();

    Fractal* startup = FindFractalNamed(FindFolderNamed("Spiralix.par"), "Startup");
    if (startup != NULL)
        SelectFractal(startup, true);
    ShowMainFrame();
    if (CurrentFolder != NULL && CurrentFolder->currentFractal == NULL && CurrentFolder->fractals.GetHead() != NULL)
        SelectFractal(static_cast<Fractal*>(CurrentFolder->fractals.GetHead()), false);
    if (MainStatusBar != NULL)
        MainStatusBar->SetHint("");
    g_HelpContexts.SetWindowHelp(g_App->mainFrame->hwnd, "Mainwindow");
    g_HelpContexts.SetWindowHelp(g_App->mainFrame->mdiClient, "Mainwindow");

    Fractal* current = CurrentFolder != NULL ? CurrentFolder->currentFractal : NULL;
    if (current != NULL && strcmp(current->name, "Startup") == 0)
        PictureToTask(current, 0, 1, 1, 0, 1, 1);

    SetForegroundWindow(g_App->mainFrame->hwnd);
    SetFocus(g_App->mainFrame->hwnd);
    SetTaskPriority(g_TaskPriority);
    PostMessageA(g_App->mainFrame->hwnd, UM_RENDERJOB_DONE, 0, 0);
    return 0;
}
