// The parameter-file loads on their worker (the commands start it as
// new Thread(LoadParameterFilesThread)) behind the real progress dialog:
// every chosen file becomes a folder, listed on the main thread; the
// general command's files reach the same worker; an abort is waited for
// once, with one box, and leaves what was read.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/LoadCommands.h"
#include "files/ParameterLoad.h"
#include "foundation/FileUtil.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Services.h"
#include "foundation/Thread.h"
#include "tests/document/FolderTestSupport.h"
#include "tests/formulas/FormulaTestSupport.h"
#include "tests/support/ScriptedBoxes.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/ProgressDialog.h"
#include "ui/WindowProcs.h"

using formulatest::TempFolder;

namespace {

std::string g_choice;

BOOL Choose(OPENFILENAMEA* request, bool)
{
    memcpy(request->lpstrFile, g_choice.data(), g_choice.size());
    return TRUE;
}

class LoadWorker : public FolderFixture {
protected:
    void SetUp() override
    {
        FolderFixture::SetUp();
        StartToolkitOnce();
        previous = SetFileRequesterRunner(&Choose);
    }
    void TearDown() override
    {
        SetFileRequesterRunner(previous);
        FolderFixture::TearDown();
    }
    // Writes the files (each with entries named after it) and scripts the
    // requester to choose them all.
    void ChooseFiles(const std::vector<std::string>& names, int entries = 2)
    {
        g_choice = temp.Path() + '\0';
        for (const std::string& name : names) {
            FILE* f = fopen((temp / name).c_str(), "w");
            for (int i = 0; i < entries; i++)
                fprintf(f, "E%d {\n type=plasma\n}\n", i);
            fclose(f);
            g_choice += name + '\0';
        }
        g_choice += '\0';
    }
    std::vector<std::string> FolderNames()
    {
        std::vector<std::string> names;
        for (ListNode* n = FolderList.GetHead(); n; n = n->next)
            names.push_back(n->name);
        return names;
    }

    FileRequesterRunner previous;
    TempFolder temp;
};

TEST_F(LoadWorker, ChosenFilesBecomeFoldersAndTheFirstFractalIsSelected)
{
    ChooseFiles({"alpha.par", "beta.par"});
    ScriptedBoxes boxes;
    LoadParameterFiles();
    EXPECT_EQ((std::vector<std::string>{"Alpha.Par", "Beta.Par"}), FolderNames());
    ASSERT_TRUE(CurrentFolder != nullptr);
    ASSERT_TRUE(CurrentFolder->currentFractal != nullptr) << "the first fractal of the current folder";
    EXPECT_STREQ("E0", CurrentFolder->currentFractal->name);
    EXPECT_EQ(0, WorkerCancelState);
    EXPECT_EQ(0u, boxes.Count());
    EXPECT_EQ(temp.Path(), g_FileRequesters[FR_PARAMETERS].initialDir);
    EXPECT_EQ(nullptr, g_LoadWorker);
}

// The general command's choice reaches the worker through the stop state 2,
// which the worker clears; any case of the extension counts.
TEST_F(LoadWorker, TheGeneralCommandHandsItsFilesToTheSameWorker)
{
    ChooseFiles({"gamma.PAR", "delta.upr"});
    ScriptedBoxes boxes;
    EXPECT_EQ(1, LoadFileByExtension());
    EXPECT_EQ((std::vector<std::string>{"Delta.Upr", "Gamma.Par"}), FolderNames());
    EXPECT_EQ(0, WorkerCancelState);
    EXPECT_EQ(0u, boxes.Count());
}

DWORD WINAPI PressAbortWhenShown(void*)
{
    HWND window;
    while ((window = g_ProgressDialog.window) == NULL)
        Sleep(5);
    PostMessageA(window, WM_COMMAND, IDC_PROGRESS_ABORT, 0);
    return 0;
}

// Abort: the wait ends when the worker has answered or ended (here it has
// not even seen the dialog yet), and the box shows once.
TEST_F(LoadWorker, AbortShowsOneBoxAndEnds)
{
    std::vector<std::string> names;
    for (int i = 0; i < 12; i++)
        names.push_back("file" + std::to_string(i) + ".par");
    ChooseFiles(names, 40);
    ScriptedBoxes boxes;
    HANDLE presser = CreateThread(NULL, 0, PressAbortWhenShown, NULL, 0, NULL);
    DWORD start = GetTickCount();
    LoadParameterFiles();
    EXPECT_LT(GetTickCount() - start, 60000u);
    WaitForSingleObject(presser, 5000);
    CloseHandle(presser);
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("Aborting", boxes.Shown()[0].title);
    EXPECT_EQ("Load was aborted...", boxes.Shown()[0].text);
    EXPECT_EQ(0, WorkerCancelState);
    EXPECT_EQ(nullptr, g_LoadWorker);
}

DWORD ReturnAtOnce(Thread*)
{
    return 0;
}

// A stop request during a file ends the worker after the entry being read:
// the entries read so far reach the library, later files are not read, and
// the worker answers the request instead of closing the dialog.
TEST_F(LoadWorker, StopRequestDuringAFileKeepsWhatWasRead)
{
    ChooseFiles({"first.par", "second.par"}, 5);
    FileDialog& requester = g_FileRequesters[FR_PARAMETERS];
    requester.SetMode(FD_OPEN_MULTIPLE);
    requester.SetResult(g_choice.data(), g_choice.size());
    // The worker waits for the dialog's window; any window will do.
    HWND stand = CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    g_ProgressDialog.window = stand;
    static int entries;
    entries = 0;
    g_ParameterLoadProgress.setAction = nullptr;
    g_ParameterLoadProgress.setFraction = [](double) {
        if (++entries == 2)
            WorkerCancelState = 1;
    };
    Thread* thread = new Thread(&ReturnAtOnce, nullptr, true, 0);
    WorkerCancelState = 0;
    EXPECT_EQ(0u, LoadParameterFilesThread(thread));
    delete thread;
    g_ProgressDialog.window = NULL;
    g_ParameterLoadProgress = ParameterLoadProgress{};
    EXPECT_EQ(0, WorkerCancelState) << "the request was answered";
    EXPECT_EQ(1, MakeQueuedParameterFolders());
    ASSERT_EQ(std::vector<std::string>{"First.Par"}, FolderNames());
    EXPECT_EQ("E0|E1", FolderOrder(static_cast<FractalFolder*>(FolderList.GetHead())));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, stand, WM_PROGRESS_CLOSE, WM_PROGRESS_CLOSE, PM_REMOVE))
        << "the dialog is left alone";
    DestroyWindow(stand);
    requester.FreeResult();
}

// A file read on the worker is posted to the main frame, whose message
// handler makes and lists its folder.
TEST_F(LoadWorker, TheMainFrameListsWhatTheWorkerPosted)
{
    static std::vector<UINT> posted;
    posted.clear();
    bool (*saved)(UINT, WPARAM, LPARAM) = Services().postToMainFrame;
    Services().postToMainFrame = [](UINT message, WPARAM, LPARAM) {
        posted.push_back(message);
        return true;
    };
    ChooseFiles({"posted.par"});
    ParameterFileEntries* file = new ParameterFileEntries;
    ASSERT_TRUE(ReadParameterFile((temp / "posted.par").c_str(), nullptr, file));
    QueueReadParameterFile(file);
    Services().postToMainFrame = saved;
    ASSERT_EQ(std::vector<UINT>{UM_PARAMETER_FILES_READ}, posted);
    EXPECT_TRUE(FolderNames().empty());
    EXPECT_TRUE(HandleWorkerMessage(UM_PARAMETER_FILES_READ, 0, 0));
    EXPECT_EQ(std::vector<std::string>{"Posted.Par"}, FolderNames());
}

}  // namespace
