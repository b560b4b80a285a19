// A user's import of a foreign folder or file: the destination below the
// data folder's "Formulas" is named after the source, joins the formula
// search path, and the import runs on a worker thread while the progress
// dialog is shown.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "foundation/Messages.h"
#include "formulas/ScanProgress.h"
#include "foundation/Services.h"
#include "formulas/FormulaLoader.h"
#include "formulas/FormulaNode.h"
#include "formulas/convert/ForeignImport.h"
#include "foundation/FileUtil.h"
#include "foundation/Thread.h"

namespace {

struct ImportArguments {
    std::string path;
    std::string destination;
    int singleFile;
};
ImportArguments g_ImportArguments;

void RunImport(const ImportArguments* args)
{
    if (args->singleFile)
        ImportForeignFile(args->path.c_str(), args->destination.c_str());
    else
        ImportForeignFolder(args->path.c_str(), args->destination.c_str());
}

bool IsDrive(const std::string& name)
{
    return name.empty() || (name.size() == 2 && name[1] == ':');
}

}  // namespace

void ImportFolderName(const char* path, int singleFile, char* out, size_t size)
{
    std::string folder = path;
    if (singleFile) {
        size_t slash = folder.find_last_of("\\/");
        folder = slash == std::string::npos ? std::string() : folder.substr(0, slash);
    }
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    std::string name;
    for (;;) {
        size_t slash = folder.find_last_of("\\/");
        name = slash == std::string::npos ? folder : folder.substr(slash + 1);
        // A drive is no folder name: walking up ends there.
        if (name.size() < 2 || IsDrive(name)) {
            name = "Imported Formulas";
            break;
        }
        if (_stricmp(name.c_str(), "formula") != 0 && _stricmp(name.c_str(), "formulas") != 0 &&
            _stricmp(name.c_str(), "Public") != 0)
            break;
        if (slash == std::string::npos) {
            name = "Imported Formulas";
            break;
        }
        folder = folder.substr(0, slash);
    }
    if (_strnicmp(name.c_str(), "Ultra Fractal", 13) == 0)
        name = "Ultra Fractal";
    CopyCut(out, size, name.c_str());
}

void ImportFormulaFolder(const char* path, int singleFile)
{
    if (path == NULL || path[0] == 0)
        return;
    // The download imports on its own thread; a user's import waits for
    // none and says so instead.
    if (!TryLockForeignImport()) {
        AddWarningMessage("Another formula import is running; try again when it has finished.");
        return;
    }
    ShowLibraryWindow(false);
    char name[MAX_PATH];
    ImportFolderName(path, singleFile, name, sizeof name);
    std::string destination = std::string(ImportDataFolder()) + "\\Formulas\\" + name;
    CreateDirectoryA((std::string(ImportDataFolder()) + "\\Formulas").c_str(), NULL);
    CreateDirectoryA(destination.c_str(), NULL);
    AddToCompilerFormulaPath(destination.c_str());

    WorkerCancelState = 0;
    g_ImportArguments.path = path;
    g_ImportArguments.destination = destination;
    g_ImportArguments.singleFile = singleFile;
    if (!DownloadRunning)
        YesToAllFlag = 0;

    if (Services().runScanProgress == NULL) {
        // Nobody to show the progress: the import runs here.
        RunImport(&g_ImportArguments);
        WorkerCancelState = 0;
        ShowLibraryWindow(true);
        UnlockForeignImport();
        return;
    }
    Thread* thread = new Thread(&FormulaImportThread, &g_ImportArguments, false, 0);
    ProgressName("Importing", 0);
    ProgressName("Directory", 1);
    ProgressName("File", 2);
    thread->Resume();
    if (Services().runScanProgress(&g_ImportArguments) == 2) {
        WorkerCancelState = 1;
        for (int i = 0; i < 4 && WorkerCancelState; i++)
            Sleep(100);
    }
    // The worker polls the cancel state after every file; it is given the
    // time to end by itself before the thread object goes.
    WaitForSingleObject(thread->handle, 30000);
    delete thread;
    ShowLibraryWindow(true);
    UnlockForeignImport();
}

unsigned long FormulaImportThread(Thread* thread)
{
    const ImportArguments* args = static_cast<const ImportArguments*>(thread->userData);
    while (!ProgressOpen()) {
        if (WorkerCancelState || thread->state == THREAD_STATE_STOP) {
            WorkerCancelState = 0;
            return 0;
        }
        Sleep(100);
    }
    RunImport(args);
    // A stop of the download ends the import from outside the dialog, so
    // the dialog is closed in every case (nothing happens when Abort ended it).
    if (WorkerCancelState)
        WorkerCancelState = 0;
    ProgressClose();
    return 0;
}
