// The load commands of the File menu. The chosen files are read on a worker
// thread while the main thread runs the modal progress dialog; the worker
// makes no document object itself: it queues each file it has read and the
// main thread turns it into a listed folder (the window toolkit and the
// listings are the main thread's alone).
#include "app/LoadCommands.h"

#include <windows.h>
#include <string.h>

#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Selection.h"
#include "files/ParameterLoad.h"
#include "files/formulafiles/FormulaFiles.h"
#include "foundation/FileUtil.h"
#include "foundation/List.h"
#include "foundation/MessageBox.h"
#include "foundation/Thread.h"
#include "ui/FileDialog.h"
#include "ui/ProgressDialog.h"

Thread* g_LoadWorker = NULL;
GeneralLoadHooks g_GeneralLoadHooks;

namespace {

const char kAbortedText[] = "Load was aborted...";
const char kGeneralTitle[] = "Load...";
const char kUnknownExtension[] =
    "You chose a file, whose extension is unknown to Spiralix.\nThis load requester can load files having the "
    "following extensions:\n  *.par\n  *.frm\n  *.png\n  *.map\n  *.ugr\n\nIf you want to load your files, "
    "choose the appropriate command from the menu...";

FileDialog& ParameterRequester()
{
    return g_FileRequesters[FR_PARAMETERS];
}

FileDialog& GeneralRequester()
{
    return g_FileRequesters[FR_GENERAL_LOAD];
}

// The chosen folder becomes the requester's starting folder next time.
void RememberFolder(FileDialog& requester)
{
    char folder[MAX_PATH];
    if (requester.GetDirectory(folder, 0, sizeof folder) != NULL)
        requester.SetInitialDir(folder);
}

std::vector<std::string> ChosenPaths(const FileDialog& requester)
{
    std::vector<std::string> paths;
    char path[MAX_PATH];
    for (int i = 0; requester.GetPath(path, i, sizeof path) != NULL; i++)
        paths.push_back(path);
    return paths;
}

void SelectFirstFractalOfCurrentFolder()
{
    if (CurrentFolder == NULL || CurrentFolder->currentFractal != NULL)
        return;
    ListNode* first = CurrentFolder->fractals.GetHead();
    if (first != NULL)
        SelectFractal(static_cast<Fractal*>(first), true);
}

void SetProgressAction(const char* text)
{
    g_ProgressDialog.SetAction(text);
}

void SetProgressFraction(double fraction)
{
    g_ProgressDialog.fraction = fraction;
}

// Runs the worker behind the progress dialog. After an abort the worker is
// asked to stop and waited for (until it answers or has ended); the
// folders it read so far are listed either way.
void RunLoadWorker(unsigned long (*routine)(Thread*), const char* action)
{
    g_ParameterLoadProgress.setAction = &SetProgressAction;
    g_ParameterLoadProgress.setFraction = &SetProgressFraction;
    Thread* thread = new Thread(routine, NULL, false, 0);
    g_LoadWorker = thread;
    g_ProgressDialog.SetAction(action);
    thread->Resume();
    int result = g_ProgressDialog.Run();
    if (result == PROGRESS_ABORTED)
        WaitForAbortedWorker(&WorkerCancelState, thread->handle, kAbortedText);
    else if (result != PROGRESS_CLOSED)
        WorkerCancelState = LOAD_ABORT;  // no dialog came up: the worker must not wait for one
    // The worker's last step closes the dialog; let it return before its
    // object goes (the destructor would otherwise cut it short).
    WaitForSingleObject(thread->handle, 5000);
    WorkerCancelState = LOAD_RUN;
    delete thread;
    g_LoadWorker = NULL;
    MakeQueuedParameterFolders();
}

bool EndsWith(const char* name, size_t longerThan, const char* extension)
{
    return strlen(name) > longerThan && EndsWithNoCase(name, extension);
}

}  // namespace

void PrepareLoadRequesters()
{
    static bool prepared = false;
    if (prepared)
        return;
    prepared = true;
    FileDialog& parameters = ParameterRequester();
    parameters.SetTitle("Load parameter files...");
    parameters.SetFilter("Parameter files\0*.par;*.upr;*.zar\0All files\0*.*\0");
    parameters.SetMode(FD_OPEN_MULTIPLE);
    FileDialog& general = GeneralRequester();
    general.SetTitle("Loading...");
    general.SetFilter("Spiralix files\0*.par;*.zar;*.upr;*.png;*.map;*.ugr;*.ifs;*.l\0All files\0*.*\0");
    general.SetMode(FD_OPEN_MULTIPLE);
}

unsigned long LoadParameterFilesThread(Thread* thread)
{
    FileDialog* requester = &ParameterRequester();
    if (WorkerCancelState == LOAD_FROM_GENERAL_REQUESTER) {
        WorkerCancelState = LOAD_RUN;
        requester = &GeneralRequester();
    }
    // An abort pressed before this worker saw the dialog ends the dialog
    // for good: the request is answered here, or the main thread would
    // wait for ever.
    while (g_ProgressDialog.window == NULL) {
        if (WorkerCancelState != LOAD_RUN) {
            WorkerCancelState = LOAD_RUN;
            return 0;
        }
        if (thread->state == THREAD_STATE_STOP)
            return 0;
        Sleep(100);
    }
    char path[MAX_PATH];
    for (int i = 0; WorkerCancelState == LOAD_RUN && requester->GetPath(path, i, sizeof path) != NULL; i++) {
        ParameterFileEntries* file = new ParameterFileEntries;
        // A file cut short by an abort keeps the entries read before it.
        if (ReadParameterFile(path, NULL, file))
            QueueReadParameterFile(file);
        else
            delete file;
    }
    if (WorkerCancelState != LOAD_RUN)
        WorkerCancelState = LOAD_RUN;  // the answer to the abort; the dialog has ended already
    else
        g_ProgressDialog.Close();
    return 0;
}

void LoadParameterFiles()
{
    PrepareLoadRequesters();
    FileDialog& requester = ParameterRequester();
    if (!requester.Show(true))
        return;
    RememberFolder(requester);
    WorkerCancelState = LOAD_RUN;
    RunLoadWorker(&LoadParameterFilesThread, "Loading parameter files");
    requester.FreeResult();
    SelectFirstFractalOfCurrentFolder();
}

int LoadFileByExtension()
{
    PrepareLoadRequesters();
    FileDialog& requester = GeneralRequester();
    if (!requester.Show(true))
        return 0;
    RememberFolder(requester);
    PMessageBox box(MB_STYLE_INFO);
    char name[MAX_PATH], path[MAX_PATH];
    if (requester.GetFileName(name, 0, sizeof name) == NULL || requester.GetPath(path, 0, sizeof path) == NULL) {
        box.Show(kGeneralTitle, "Nothing selected");
        requester.FreeResult();
        return 1;
    }
    // Only the first file's extension decides; the chosen loader gets all.
    WorkerCancelState = LOAD_FROM_GENERAL_REQUESTER;
    if (EndsWith(name, 4, ".map") || EndsWith(name, 4, ".ugr")) {
        if (g_GeneralLoadHooks.loadPalettesThread != NULL)
            RunLoadWorker(g_GeneralLoadHooks.loadPalettesThread, "Loading palettes");
    } else if (EndsWith(name, 4, ".ifs")) {
        LoadFormulaFiles(FORMULA_KIND_IFS, ChosenPaths(requester));
    } else if (EndsWith(name, 2, ".l")) {
        LoadFormulaFiles(FORMULA_KIND_LSYSTEM, ChosenPaths(requester));
    } else if (EndsWith(name, 4, ".par") || EndsWith(name, 4, ".zar") || EndsWith(name, 4, ".upr")) {
        RunLoadWorker(&LoadParameterFilesThread, "Loading parameter files");
        SelectFirstFractalOfCurrentFolder();
    } else if (EndsWith(name, 4, ".png")) {
        WorkerCancelState = LOAD_RUN;
        if (g_GeneralLoadHooks.loadFractalImage != NULL)
            g_GeneralLoadHooks.loadFractalImage(path, name);
    } else {
        box.Show(kGeneralTitle, kUnknownExtension);
    }
    // A request no worker took must not send the next load to this
    // command's requester.
    WorkerCancelState = LOAD_RUN;
    requester.FreeResult();
    return 1;
}
