// The application object: folders, the debug log and the registry helpers
// through which every subsystem reads and writes its settings.
#pragma once

#include <windows.h>
#include <stdint.h>

class LogFile;
class PFrameWindow;

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

    // Copies the description of a Windows exception code into out (at
    // least EXCEPTION_TEXT_SIZE bytes, app/FailureReport.h) and returns out.
    static char* GetExceptionText(char* out, DWORD code);

    // Start-up step 1: startFolder = current directory, dataFolder = the
    // application-data folder followed by "\Spiralix 4.0" (not created).
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
