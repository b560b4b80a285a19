// The formula download: a worker fetches the list of archive addresses from
// the formula database server, downloads the chosen zip archives over
// HTTP, unpacks them, copies the program's own formulas into the data
// folder and imports the UltraFractal formulas through the converters.
// The Update Formulas window is reached through DownloadWindow.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#include <string>

class Thread;

// What the Update Formulas window offers and shows. The window implements
// it; tools and tests stand in for it.
struct FormulaDownloadChoice {
    bool own = false;          // "&Spiralix" ticked
    int ownLine = 0;           // 1 "Complete data&base", 2 "Changes &since:", 0 neither
    bool ultraFractal = false; // "&UltraFractal" ticked
    int ufLine = 0;            // 3 last week, 4 last month, 5 "Complete &database", 0 none
    int day = 1, month = 1, year = 2000;   // the date field
};
class DownloadWindow {
public:
    virtual ~DownloadWindow() {}
    virtual FormulaDownloadChoice ReadChoice() = 0;
    virtual void SetLabel(const char* text, bool visible) = 0;
    virtual void SetProgress(int percent) = 0;
    virtual void SetButtonText(const char* text) = 0;
    virtual void Refresh() = 0;
    // Stores the time of a successful update ("UpdateSX", "UpdateUF").
    virtual void RecordUpdateTime(const char* valueName, const SYSTEMTIME& localTime) = 0;
};

// The formula database server ("http://host[:port]"), a setting.
extern std::string FormulaServerAddress;
// Set by Stop; every long step (each block read or unpacked, each imported
// file) looks at it and ends cleanly.
extern volatile LONG DownloadCancel;

enum DownloadOutcome { DOWNLOAD_SKIPPED = 0, DOWNLOAD_UPDATED = 1, DOWNLOAD_FAILED = 2 };
struct DownloadJob {
    std::string server;
    std::string dataFolder;   // the per-version data folder
    std::string tempFolder;   // the environment's TMP
    DownloadWindow* window = nullptr;
};
struct DownloadResult {
    bool listRead = false;
    int own = DOWNLOAD_SKIPPED;
    int ultraFractal = DOWNLOAD_SKIPPED;
};
// The body of the download thread.
DownloadResult RunFormulaDownload(const DownloadJob& job);
unsigned long FormulaDownloadThread(Thread* thread);
// The "Start"/"Stop" button: starts the download, or asks the running one
// to stop (it ends by itself, deleting its archives).
void StartFormulaDownload(DownloadWindow* window, const char* dataFolder);

// Downloads address into path: 0 on success, 1 on failure (no connection,
// a status other than 2xx, no or a zero content length, fewer bytes than
// announced, a stop request); a failed download leaves no file.
int DownloadUrl(const char* address, const char* path, DownloadWindow* window = nullptr);
// Unpacks a zip archive below folder with its subfolders: 0 on success,
// non-zero when the archive cannot be read, an entry cannot be written or
// names a place outside folder.
int ExtractZip(const char* zipFile, const char* folder);
// 1 when every level of path exists or was made; 0 when a level cannot be
// made because its parent is missing.
int MakeDirectories(const char* path);
// Gives a file a DOS date (high word) and time (low word), taken as local
// time, as creation and last-write time.
void SetFileDosTime(const char* path, uint32_t dosDateTime);
// Copies a folder tree, leaving out files whose extension is in exclusions
// (null-ended, compared exactly); removes the source when it is empty then.
void CopyFolderTree(const char* source, const char* destination, const char* const* exclusions);
void DeleteFolderTree(const char* folder);
// Replaces every placeholder in text (size bytes) by number ("%d").
void ReplaceWithNumber(char* text, size_t size, const char* placeholder, int number);
