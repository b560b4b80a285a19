// The formula download thread and its Start/Stop button: the list of
// archive addresses, the two collections (the program's own formulas,
// copied and loaded; UltraFractal's, copied and imported through the
// converters) and the times of the last successful updates.
#include "formulas/convert/FormulaDownload.h"

#include <stdio.h>
#include <string.h>

#include "formulas/FormulaLoader.h"
#include "formulas/convert/ForeignImport.h"
#include "foundation/FileUtil.h"
#include "foundation/Thread.h"
#include "foundation/MessageBox.h"

#include <wininet.h>

std::string FormulaServerAddress;
volatile LONG DownloadCancel = 0;

namespace {

DownloadJob g_DownloadJob;
Thread* g_DownloadThread = nullptr;
// Set while the download's own import runs: only then may Stop use the
// importer's cancel state.
volatile LONG g_DownloadImporting = 0;

const char* const kForeignFormulaFiles[] = {".ugr", ".uxf", ".ufm", ".ucl", nullptr};

void EndRun(DownloadWindow* window)
{
    if (window == nullptr)
        return;
    window->SetLabel("", false);
    window->SetProgress(0);
    window->SetButtonText("Start");
}

void Label(DownloadWindow* window, const char* text)
{
    if (window != nullptr)
        window->SetLabel(text, true);
}

void Progress(DownloadWindow* window, int percent)
{
    if (window != nullptr)
        window->SetProgress(percent);
}

// Unpacks the UltraFractal archive, copies its other files and imports its
// formulas; true when all of it succeeded.
bool InstallUltraFractal(const DownloadJob& job, const std::string& archive)
{
    Label(job.window, "Importing UltraFractal formulas...");
    Progress(job.window, 0);
    std::string unpacked = job.tempFolder + "\\Ultra Fractal";
    DeleteFolderTree(unpacked.c_str());
    MakeDirectories(unpacked.c_str());
    bool ok = ExtractZip(archive.c_str(), unpacked.c_str()) == 0;
    Progress(job.window, 50);
    if (ok) {
        std::string destination = job.dataFolder + "\\Formulas\\Ultra Fractal";
        MakeDirectories(destination.c_str());
        CopyFolderTree(unpacked.c_str(), destination.c_str(), kForeignFormulaFiles);
        // The user's import and this one never run at the same time.
        LockForeignImport();
        if (!DownloadCancel) {
            InterlockedExchange(&g_DownloadImporting, 1);
            SetImportDataFolder(job.dataFolder.c_str());
            uint8_t yesToAll = YesToAllFlag;
            YesToAllFlag = 1;
            ImportFormulaFolder(unpacked.c_str(), 0);
            YesToAllFlag = yesToAll;
            InterlockedExchange(&g_DownloadImporting, 0);
        }
        UnlockForeignImport();
        ok = !DownloadCancel;
    }
    DeleteFolderTree(unpacked.c_str());
    return ok;
}

bool InstallOwn(const DownloadJob& job, const std::string& archive)
{
    std::string unpacked = job.tempFolder + "\\ty";
    DeleteFolderTree(unpacked.c_str());
    MakeDirectories(unpacked.c_str());
    bool ok = ExtractZip(archive.c_str(), unpacked.c_str()) == 0;
    if (ok) {
        std::string formulas = job.dataFolder + "\\Formulas";
        MakeDirectories(formulas.c_str());
        CopyFolderTree(unpacked.c_str(), formulas.c_str(), nullptr);
        LoadFormulaFolder((formulas + "\\Compiler").c_str(), 0);
        ok = !DownloadCancel;
    }
    DeleteFolderTree(unpacked.c_str());
    return ok;
}

}  // namespace

DownloadResult RunFormulaDownload(const DownloadJob& job)
{
    DownloadResult result;
    FormulaDownloadChoice choice;
    if (job.window != nullptr)
        choice = job.window->ReadChoice();
    std::string list = job.tempFolder + "\\~ul912.txt";
    std::string ownArchive = job.tempFolder + "\\~tr142.zip";
    std::string ufArchive = job.tempFolder + "\\~wp108.zip";

    if (DownloadUrl((job.server + "/formulas/formulas_v4_0.txt").c_str(), list.c_str(), job.window) != 0) {
        char text[600];
        snprintf(text, sizeof text,
                 "The formula database server %s cannot be reached: no internet connection is available.",
                 job.server.c_str());
        Label(job.window, text);
        InterlockedExchange(&DownloadRunning, 0);
        if (job.window != nullptr) {
            job.window->SetButtonText("Start");
            job.window->Refresh();
        }
        return result;
    }
    result.listRead = true;
    char lines[5][200] = {};
    if (FILE* f = fopen(list.c_str(), "r")) {
        for (char* line : lines) {
            if (fgets(line, 200, f) == nullptr)
                break;
            line[strcspn(line, "\r\n")] = 0;
            ReplaceWithNumber(line, 200, "[day]", choice.day);
            ReplaceWithNumber(line, 200, "[month]", choice.month);
            ReplaceWithNumber(line, 200, "[year]", choice.year);
        }
        fclose(f);
    }
    DeleteFileA(list.c_str());

    bool ownWanted = choice.own && (choice.ownLine == 1 || choice.ownLine == 2);
    bool ufWanted = choice.ultraFractal && choice.ufLine >= 3 && choice.ufLine <= 5;
    bool ownFetched = false;
    if (ownWanted) {
        Label(job.window, "Downloading from Spiralix Formula Database");
        ownFetched = DownloadUrl(lines[choice.ownLine - 1], ownArchive.c_str(), job.window) == 0;
    }
    if (ufWanted) {
        Label(job.window, "Downloading from UltraFractal Formula Database");
        bool fetched = DownloadUrl(lines[choice.ufLine - 1], ufArchive.c_str(), job.window) == 0;
        result.ultraFractal = fetched && InstallUltraFractal(job, ufArchive) ? DOWNLOAD_UPDATED : DOWNLOAD_FAILED;
    }
    if (ownWanted)
        result.own = ownFetched && InstallOwn(job, ownArchive) ? DOWNLOAD_UPDATED : DOWNLOAD_FAILED;
    Progress(job.window, 100);

    EndRun(job.window);
    InterlockedExchange(&DownloadRunning, 0);
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (job.window != nullptr) {
        if (result.own == DOWNLOAD_UPDATED)
            job.window->RecordUpdateTime("UpdateSX", now);
        if (result.ultraFractal == DOWNLOAD_UPDATED)
            job.window->RecordUpdateTime("UpdateUF", now);
        job.window->Refresh();
    }
    DeleteFileA(ownArchive.c_str());
    DeleteFileA(ufArchive.c_str());
    return result;
}

unsigned long FormulaDownloadThread(Thread* thread)
{
    const DownloadJob* job = static_cast<const DownloadJob*>(thread->userData);
    return RunFormulaDownload(*job).listRead ? 0 : 1;
}

void StartFormulaDownload(DownloadWindow* window, const char* dataFolder)
{
    if (!InternetGetConnectedState(nullptr, 0)) {
        PMessageBox box(0x2023);
        int answer = box.Show("Download from Formula Database",
                              "I'm currently not able to detect an internet connection.\nIn order to update the "
                              "formula database please establish an Internet connection.\n\nHit \"Yes\" after "
                              "you've made sure you have an internet connection or hit \"No\" in order to close "
                              "this dialog.");
        if (answer != IDYES)
            return;
    }
    if (g_DownloadThread != nullptr) {
        if (WaitForSingleObject(g_DownloadThread->handle, 0) != WAIT_OBJECT_0) {
            // Stop: the thread sees the request at its next block and ends
            // by itself, deleting its archives; it is never cut off inside
            // WinINet, minizip or the import.
            InterlockedExchange(&DownloadCancel, 1);
            if (g_DownloadImporting)
                WorkerCancelState = 1;
            if (window != nullptr) {
                window->SetButtonText("Start");
                window->SetLabel("", false);
                window->SetProgress(0);
            }
            return;
        }
        delete g_DownloadThread;
        g_DownloadThread = nullptr;
    }
    if (window != nullptr)
        window->SetButtonText("Stop");
    char temp[MAX_PATH] = "";
    DWORD n = GetEnvironmentVariableA("TMP", temp, sizeof temp);
    if (n == 0 || n >= sizeof temp)
        GetTempPathA(sizeof temp, temp);
    g_DownloadJob.server = FormulaServerAddress;
    g_DownloadJob.dataFolder = dataFolder != nullptr ? dataFolder : "";
    g_DownloadJob.tempFolder = temp;
    while (!g_DownloadJob.tempFolder.empty() && g_DownloadJob.tempFolder.back() == '\\')
        g_DownloadJob.tempFolder.pop_back();
    g_DownloadJob.window = window;
    InterlockedExchange(&DownloadCancel, 0);
    g_DownloadThread = new Thread(&FormulaDownloadThread, &g_DownloadJob, false, 0);
    InterlockedExchange(&DownloadRunning, 1);
    g_DownloadThread->Resume();
}
