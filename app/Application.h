// The application object: the main frame and the program-wide GDI objects,
// folders, the debug log and the registry helpers through which every
// subsystem reads and writes its settings; the entry and the message loop.
// Application.cpp: folders and registry; ApplicationStartup.cpp: Init,
// Cleanup, bitmaps; MessageLoop.cpp: RunApplication; ComputerShutdown.cpp.
#pragma once

#include <windows.h>
#include <stdint.h>

class FractalFolder;
class LogFile;
class PFrameWindow;
class PMenuBar;
class PStatusBar;
class PTimerTable;

// Program version; keys and folders carry it as major.minor ("4.0").
enum {
    SPIRALIX_VERSION_MAJOR = 4,
    SPIRALIX_VERSION_MINOR = 0,
    SPIRALIX_VERSION_BUILD = 246,
};

// Registry key of the running version below HKEY_CURRENT_USER, and the key
// that holds one sub-key per version.
#define SPIRALIX_REGISTRY_KEY "Software\\Spiralix\\4.0"
#define SPIRALIX_REGISTRY_ROOT "Software\\Spiralix"

class PApplication {
public:
    // Stores the instance and creates the render-job folder below the
    // user's application-data folder ("...\Spiralix\RenderJobs").
    explicit PApplication(HINSTANCE instance);
    virtual ~PApplication() { FreeKnownFormulas(); }

    // ---- start-up and end (ApplicationStartup.cpp)
    // The 16 start-up steps: folders, log, key migration, common controls,
    // window classes, pens and cursors, accelerators, the hidden main frame
    // with its menu, timers, fonts, keyboard and status bar. 0 on success,
    // 1 when the window classes cannot be registered.
    int Init();
    // Deletes what Init made, in reverse order of need.
    void Cleanup();
    // Ends the message loop (PostQuitMessage(1)).
    void Quit();
    HACCEL GetAccelerators() const { return accelerators; }
    // Start-up step 3: when the running version's key cannot be opened, the
    // newest older version's key is copied to it. True when one was copied.
    bool MigrateRegistryKey();
    // The 128 x 128 24-bit memory DC of the drawing code, and its end.
    void CreateMemoryDC();
    void DeleteMemoryDC();
    // LoadImageA of the program's bitmap resource id (LR_SHARED |
    // LR_MONOCHROME, and LR_CREATEDIBSECTION with asDibSection).
    HBITMAP LoadBitmapResource(int id, bool asDibSection);
    // The memory DC and the interface bitmaps (see kInterfaceBitmaps).
    void LoadBitmaps();
    // Bitmap loaded from resource id by LoadBitmaps; null when not loaded.
    HBITMAP InterfaceBitmap(int id) const;

    // Powers the computer off (through g_ComputerShutdown) when the user
    // has given no input for 60 seconds; false when not idle or when the
    // privilege cannot be had (ComputerShutdown.cpp).
    bool ShutdownComputerIfIdle();

    // Copies the description of a Windows exception code into out (at
    // least EXCEPTION_TEXT_SIZE bytes, app/FailureReport.h) and returns out.
    static char* GetExceptionText(char* out, DWORD code);

    // Start-up step 1: startFolder = the current directory when it holds
    // "Spiralix.chm", else the executable's folder; dataFolder = the
    // application-data folder followed by "\Spiralix 4.0" (created later by
    // the main initialisation).
    void InitFolders();
    // Start-up log set-up: a new LogFile (deletes the old file), logging on
    // when "Properties"/"Debug" is a non-zero REG_DWORD, the file removed
    // again, then "First line".
    void InitLog();

    // Registry helpers below HKCU "Software\Spiralix\4.0\<subKey>".
    // All return 0 on success and 1 on failure.
    // text must hold 100 bytes; values of 100 bytes or more fail.
    int GetRegistryString(const char* subKey, const char* valueName, char* text);
    int GetRegistryDword(const char* subKey, const char* valueName, DWORD* value);
    int GetRegistryBinary(const char* subKey, const char* valueName, void* buffer, DWORD size);
    int SetRegistryString(const char* subKey, const char* valueName, const char* text);
    int SetRegistryDword(const char* subKey, const char* valueName, DWORD value);
    int SetRegistryBinary(const char* subKey, const char* valueName, const void* data, DWORD size);

    // Name (60 bytes) of the sub-key of "Software\Spiralix" with the highest
    // "major.minor" version below the running one; empty when there is none.
    void FindPreviousVersionKey(char* name);
    // Copies "Software\Spiralix\<sourceName>" with its values and sub-keys
    // into HKCU targetPath (created). 0 on success, 1 when nothing was copied.
    int CopyRegistryKey(const char* sourceName, const char* targetPath);

    // Path of a shell special folder (CSIDL_*) into path (MAX_PATH bytes).
    static bool GetSpecialFolderPath(char* path, int csidl);

    // The table of known formulas (app/KnownFormulas.cpp): for each formula
    // looked up without a file name, the display name of the file it was
    // found in and the number of files that hold it. Stored as triples of
    // slots (name, file, count).
    // Appends a triple (copies of both texts).
    void AddKnownFormula(const char* name, const char* file, int count);
    // Index of the first slot (0, 3, 6, ...) of the triple whose name equals
    // name exactly (case-sensitive); -1 when absent.
    int FindKnownFormula(const char* name) const;
    // The file and the count of the triple at index (a FindKnownFormula
    // result); null and 0 for an index that is not one.
    const char* KnownFormulaFile(int index) const;
    int KnownFormulaCount(int index) const;
    // Frees every text and the table (shutdown).
    void FreeKnownFormulas();

    PFrameWindow* mainFrame;  // the main frame; null until it is created
    PMenuBar* menuBar = nullptr;
    PTimerTable* timerTable = nullptr;
    PStatusBar* statusBar = nullptr;
    HACCEL accelerators = NULL;           // resource 107
    int captionHeight = 0;                // SM_CYSMCAPTION + 4
    HPEN pens[6] = {};                    // 0xC0C0C0, 0x808080, 0xE5E5E5, 0xCCCCCC, 0x404040, 0x888888
    HBRUSH brushes[4] = {};               // 0xA0A0A0, 0x646464, 0x505050, 0x8C7864
    HCURSOR cursors[10] = {};             // arrow, hand, cross, arrow, wait, no, arrow, 125, size-all, arrow
    HDC memoryDC = NULL;
    HBITMAP memoryBitmap = NULL;
    HBITMAP memoryDCOldBitmap = NULL;
    HBITMAP bitmaps[41] = {};             // the interface bitmaps, in kInterfaceBitmaps order
    FractalFolder* renderJobsFolder = nullptr;  // "RenderJobs.par", made by the main initialisation
    HINSTANCE hInstance;
    DWORD mainThreadId;       // thread that runs the message loop (the constructing thread)
    char* renderJobFolder;    // 512 bytes: application data + "\Spiralix\RenderJobs"
    char* jobTempFolder;      // 512 bytes: render-job temporary folder
    char dataFolder[1000];    // per-version data folder
    char* startFolder;        // current directory at start (allocated)
    LogFile* log;             // debug log
    intptr_t* knownFormulas = nullptr;  // triples (name, file, count) of known formulas
    int knownFormulaSlots = 0;          // slots in use
};

// The one application object.
extern PApplication* g_App;

// Resource ids of the interface bitmaps LoadBitmaps loads (28082 and 28083
// are the toolkit's, which loads them itself).
extern const int kInterfaceBitmaps[41];

// Byte stride of an image row of n bytes: (n + 4) & 0x0FFFFFFC. It adds 4,
// not 3, so a row of 8 bytes takes 12; the drawing, image, 3D and render-job
// code all walk rows with it.
inline uint32_t GetRowStride(uint32_t n) { return (n + 4) & 0x0FFFFFFCu; }

// Deletes every file of folder ("%s\*.*"); sub-folders stay.
void DeleteFolderFiles(const char* folder);

// What ShutdownComputerIfIdle asks of the system. Under Wine ExitWindowsEx
// ends every program of the prefix, so tests bind recorders.
struct ComputerShutdown {
    DWORD (*millisecondsSinceInput)();        // GetTickCount - GetLastInputInfo
    bool (*enableShutdownPrivilege)();        // SeShutdownPrivilege for the process
    BOOL (*exitWindows)(UINT flags, DWORD reason);
};
extern ComputerShutdown g_ComputerShutdown;

// ---- the entry (MessageLoop.cpp)
// Makes the application, runs Init, the main initialisation, the message
// loop and the shutdown sequence, then Cleanup. Returns 0.
int RunApplication(HINSTANCE instance);
// The message loop: MDI accelerators, then the accelerator table except for
// the key I typed into a formula editor. Returns when WM_QUIT arrives.
void RunMessageLoop();
// True when msg is WM_KEYDOWN of 'I' aimed at a formula editor control,
// which must get the letter rather than the accelerator.
bool IsFormulaEditorLetterI(const MSG& msg);
