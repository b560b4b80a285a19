// Dialogs: the file requester's modes and result parsing, the progress
// dialog's texts and its worker protocol, the text input, and the help
// topics of formula words.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/ScriptedBoxes.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ContextHelp.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/ProgressDialog.h"
#include "ui/TextInputDialog.h"

namespace {

TEST(FileDialogResult, SingleAndSeveralFilesAreReadBack)
{
    struct Case {
        std::string result;  // as the common dialog leaves it
        int mode;
        int index;
        const char* path;
        const char* name;
        const char* folder;
    } cases[] = {
        {std::string("C:\\a\\x.par\0", 11), FD_OPEN, 0, "C:\\a\\x.par", "x.par", "C:\\a"},
        {std::string("C:\\a\\x.par\0", 11), FD_OPEN, 1, nullptr, nullptr, nullptr},
        {std::string("C:\\x.par\0", 9), FD_SAVE, 0, "C:\\x.par", "x.par", "C:"},
        {std::string("C:\\a\0x.par\0y.par\0", 17), FD_OPEN_MULTIPLE, 0, "C:\\a\\x.par", "x.par", "C:\\a"},
        {std::string("C:\\a\0x.par\0y.par\0", 17), FD_OPEN_MULTIPLE, 1, "C:\\a\\y.par", "y.par", "C:\\a"},
        {std::string("C:\\a\0x.par\0y.par\0", 17), FD_OPEN_MULTIPLE, 2, nullptr, nullptr, nullptr},
        {std::string("C:\\\0x.par\0", 10), FD_OPEN_MULTIPLE, 0, "C:\\\\x.par", "x.par", "C:"},
    };
    for (const Case& c : cases) {
        FileDialog dialog;
        dialog.SetMode(c.mode);
        dialog.SetResult(c.result.data(), c.result.size());
        char buffer[MAX_PATH];
        const char* path = dialog.GetPath(buffer, c.index);
        EXPECT_STREQ(c.path, path) << c.index;
        EXPECT_STREQ(c.name, dialog.GetFileName(buffer, c.index)) << c.index;
        EXPECT_STREQ(c.folder, dialog.GetDirectory(buffer, c.index)) << c.index;
    }
}

TEST(FileDialogResult, LongPathsAreCutToTheCallersBuffer)
{
    FileDialog dialog;
    std::string path = "C:\\" + std::string(300, 'd') + "\\file.par";
    dialog.SetResult(path.c_str(), path.size() + 1);
    char small[16];
    ASSERT_NE(nullptr, dialog.GetPath(small, 0, sizeof(small)));
    EXPECT_EQ(15u, strlen(small));
    EXPECT_EQ(0, strncmp(small, path.c_str(), 15));
}

OPENFILENAMEA g_lastRequest;
bool g_lastSave;
BOOL ChooseNothing(OPENFILENAMEA* request, bool save)
{
    g_lastRequest = *request;
    g_lastSave = save;
    return FALSE;
}
BOOL ChooseFile(OPENFILENAMEA* request, bool save)
{
    lstrcpyA(request->lpstrFile, "C:\\chosen.par");
    return TRUE;
}

TEST(FileDialogShow, ModesChooseTheRequesterAndItsFlags)
{
    FileRequesterRunner previous = SetFileRequesterRunner(ChooseNothing);
    struct Case {
        int mode;
        bool confirm;
        bool save;
        DWORD flags;
    } cases[] = {
        {FD_SAVE, true, true, OFN_OVERWRITEPROMPT},
        {FD_SAVE, false, true, 0},
        {FD_OPEN, true, false, OFN_FILEMUSTEXIST},
        {FD_OPEN_MULTIPLE, false, false, OFN_ALLOWMULTISELECT},
    };
    for (const Case& c : cases) {
        FileDialog dialog;
        dialog.SetMode(c.mode);
        dialog.SetFileName("start.par");
        EXPECT_EQ(0, dialog.Show(c.confirm));
        EXPECT_EQ(c.save, g_lastSave);
        const DWORD base = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY;
        EXPECT_EQ(base | c.flags, g_lastRequest.Flags) << c.mode;
        EXPECT_EQ((DWORD)FILE_DIALOG_RESULT_SIZE, g_lastRequest.nMaxFile);
        EXPECT_STREQ("start.par", g_lastRequest.lpstrFile);
    }
    FileDialog bad;
    bad.SetMode(3);
    g_lastRequest.Flags = 0;
    EXPECT_EQ(0, bad.Show(true));
    EXPECT_EQ(0u, g_lastRequest.Flags);

    SetFileRequesterRunner(ChooseFile);
    FileDialog dialog;
    ASSERT_NE(0, dialog.Show(true));
    char buffer[MAX_PATH];
    EXPECT_STREQ("chosen.par", dialog.GetFileName(buffer, 0));
    SetFileRequesterRunner(previous);
}

TEST(ProgressTexts, PercentAndElapsedTime)
{
    struct Case {
        double fraction;
        const char* text;
    } cases[] = {{1.7, "100% done"}, {-1, "Unknown"}, {0.456, "46% done"}, {0, "0% done"}};
    char text[64];
    for (const Case& c : cases) {
        PProgressDialog::FormatPercent(text, sizeof(text), c.fraction);
        EXPECT_STREQ(c.text, text);
    }
    PProgressDialog::FormatElapsed(text, sizeof(text), 125999);
    EXPECT_STREQ("02 mins  05 secs", text);
}

// A worker as the file commands run them: waits for the dialog, works,
// closes it (or stops at the cancel request).
struct Worker {
    PProgressDialog* dialog;
    volatile int* cancel;
    bool closeAtEnd;
    int steps;
};
DWORD WINAPI RunWorker(void* data)
{
    Worker* w = static_cast<Worker*>(data);
    while (w->dialog->window == NULL)
        Sleep(10);
    for (int i = 0; i < w->steps; ++i) {
        if (*w->cancel) {
            *w->cancel = 0;
            return 0;
        }
        w->dialog->SetAction("Loading parameter files");
        w->dialog->fraction = (i + 1) / (double)w->steps;
        Sleep(5);
    }
    if (w->closeAtEnd)
        w->dialog->Close();
    return 0;
}

TEST(ProgressDialogRun, TheWorkerClosesTheDialog)
{
    StartToolkitOnce();
    PProgressDialog dialog;
    volatile int cancel = 0;
    Worker worker = {&dialog, &cancel, true, 20};
    dialog.SetAction("Saving");
    HANDLE thread = CreateThread(NULL, 0, RunWorker, &worker, 0, NULL);
    EXPECT_EQ(PROGRESS_CLOSED, dialog.Run());
    EXPECT_EQ(nullptr, dialog.window);
    EXPECT_STREQ("Loading parameter files", dialog.actionText);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
}

// Abort after the worker's last test: the worker never answers the cancel
// request, so the wait ends when its thread has ended; the box shows once.
DWORD WINAPI PressAbort(void* data)
{
    PProgressDialog* dialog = static_cast<PProgressDialog*>(data);
    // Pressed once the worker has made its last step.
    HWND window;
    while ((window = dialog->window) == NULL || dialog->fraction <= 0)
        Sleep(10);
    PostMessageA(window, WM_COMMAND, IDC_PROGRESS_ABORT, 0);
    return 0;
}

TEST(ProgressDialogRun, AbortAfterTheLastPollEndsWhenTheWorkerHasEnded)
{
    StartToolkitOnce();
    PProgressDialog dialog;
    volatile int cancel = 0;
    Worker worker = {&dialog, &cancel, false, 1};
    HANDLE thread = CreateThread(NULL, 0, RunWorker, &worker, 0, NULL);
    HANDLE presser = CreateThread(NULL, 0, PressAbort, &dialog, 0, NULL);
    ASSERT_EQ(PROGRESS_ABORTED, dialog.Run());
    WaitForSingleObject(thread, 5000);
    ScriptedBoxes boxes;
    DWORD start = GetTickCount();
    WaitForAbortedWorker(&cancel, thread, "Load was aborted...");
    EXPECT_LT(GetTickCount() - start, 3000u);
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("Aborting", boxes.Shown()[0].title);
    CloseHandle(thread);
    WaitForSingleObject(presser, 5000);
    CloseHandle(presser);
}

DWORD WINAPI TypeAndConfirm(void* data)
{
    HWND dialog = NULL;
    while ((dialog = FindWindowA(NULL, "Rename")) == NULL)
        Sleep(10);
    char line[64] = "";
    GetDlgItemTextA(dialog, IDC_INPUT_LINE1, line, sizeof(line));
    SetDlgItemTextA(dialog, IDC_INPUT_EDIT, line[0] ? "typed" : "no explanation");
    PostMessageA(dialog, WM_COMMAND, static_cast<int>(reinterpret_cast<intptr_t>(data)), 0);
    return 0;
}

TEST(TextInputDialog, OkKeepsTheTextCancelAnswersTwo)
{
    StartToolkitOnce();
    PTextInputDialog input;
    HANDLE helper = CreateThread(NULL, 0, TypeAndConfirm, (void*)(intptr_t)IDC_INPUT_OK, 0, NULL);
    EXPECT_EQ(0, input.Run("Rename", "New name:", "", "old"));
    EXPECT_STREQ("typed", input.result);
    WaitForSingleObject(helper, 5000);
    CloseHandle(helper);
    helper = CreateThread(NULL, 0, TypeAndConfirm, (void*)(intptr_t)IDC_INPUT_CANCEL, 0, NULL);
    EXPECT_EQ(2, input.Run("Rename", "New name:", "", "old"));
    EXPECT_STREQ("typed", input.result);
    WaitForSingleObject(helper, 5000);
    CloseHandle(helper);
}

TEST(FormulaHelp, WordsOpenAllTheirTopics)
{
    EXPECT_EQ("controlStructureElse;keywordIfdef", FormulaHelpLink("else"));
    EXPECT_EQ("writeFormulas", FormulaHelpLink("nosuchword"));
    EXPECT_EQ("writeFormulas", FormulaHelpLink("Else"));  // case-sensitive
    EXPECT_EQ("functionMerge", FormulaHelpLink("mergehue"));
    EXPECT_EQ("datatypeReal", FormulaHelpLink("float"));
    EXPECT_EQ("operatorMinus;operatorNegation", FormulaHelpLink("-"));
    EXPECT_STREQ("writeFormulas", FormulaHelpTopics[FORMULA_HELP_TOPIC_COUNT].topic);
    EXPECT_EQ(nullptr, FormulaHelpTopics[FORMULA_HELP_TOPIC_COUNT].keyword);

    HandlerRecorder recorder;
    EXPECT_EQ(1, ShowHelpTopic(""));
    EXPECT_EQ(0, ShowHelpTopic("functionSin"));
    EXPECT_EQ((std::vector<std::string>{"alink functionSin"}), recorder.calls);

    HELPINFO info = {};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_MENUITEM;
    info.iCtrlId = 29181;
    AnswerHelpRequest(&info);
    EXPECT_EQ(1, recorder.Count("windowhelp 29181"));
}

}  // namespace
