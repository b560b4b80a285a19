#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MessageWindow.h"
#include "app/Application.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Messages.h"
#include "ui/FrameWindow.h"

namespace {

std::vector<std::string> Texts()
{
    std::vector<std::string> texts;
    for (ListNode* node = g_Messages.GetHead(); node; node = node->next)
        texts.push_back(static_cast<MessageNode*>(node)->text);
    return texts;
}

MessageNode* At(int index)
{
    return static_cast<MessageNode*>(g_Messages.GetAt(index));
}

int Add(const char* text, int type, int source)
{
    const char* lines[2] = {text, nullptr};
    return AddMessage(lines, type, source, 0, 0, 0, 0, 0, false);
}

// Every test starts with an empty list, default settings, no Message
// Window, and an application object whose main thread is this one.
class MessagesTest : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteAllMessages();
        savedApp_ = g_App;
        g_App = &app_;
    }
    void TearDown() override
    {
        DeleteAllMessages();
        g_NumberOfOutputMessages = 200;
        g_ProduceCompilerWarnings = 1;
        g_ProduceCompilerHints = 1;
        g_OpenMessageWindow = nullptr;
        if (g_MessageListBox)
            DestroyWindow(g_MessageListBox);
        g_MessageListBox = NULL;
        g_App = savedApp_;
    }

    PApplication app_{GetModuleHandleA(NULL)};
    PApplication* savedApp_ = nullptr;
};

TEST_F(MessagesTest, FurtherLinesBecomeNotesWithTheSamePosition)
{
    const char* lines[] = {"Error in formula Spiral, line 3 at char 7:", "Unknown symbol 'zz'",
                           "  z = zz * c", nullptr};
    EXPECT_EQ(3, AddMessage(lines, MSG_ERROR, WID_COMPILER, 0, 3, 40, 42, 0x1234, false));
    ASSERT_EQ(3, g_Messages.Count());
    const int expectedTypes[3] = {MSG_ERROR, MSG_NOTE, MSG_NOTE};
    for (int i = 0; i < 3; i++) {
        MessageNode* node = At(i);
        EXPECT_STREQ(lines[i], node->text);
        EXPECT_EQ(expectedTypes[i], node->type) << i;
        EXPECT_EQ(WID_COMPILER, node->sourceWindow);
        EXPECT_EQ(3, node->line);
        EXPECT_EQ(40, node->startOffset);
        EXPECT_EQ(42, node->endOffset);
        EXPECT_EQ(0x1234, node->FormulaRef());
    }
    EXPECT_NE(lines[0], At(0)->text) << "the node keeps its own copy";
}

TEST_F(MessagesTest, LimitDropsTheOldestLines)
{
    g_NumberOfOutputMessages = 5;
    for (int i = 1; i <= 5; i++)
        Add(std::to_string(i).c_str(), MSG_INFO, 0);
    EXPECT_EQ(5, Add("6", MSG_INFO, 0));
    EXPECT_EQ((std::vector<std::string>{"2", "3", "4", "5", "6"}), Texts());

    const char* lines[] = {"a", "b", "c", nullptr};
    EXPECT_EQ(5, AddMessage(lines, MSG_ERROR, 0, 0, 0, 0, 0, 0, false));
    EXPECT_EQ((std::vector<std::string>{"5", "6", "a", "b", "c"}), Texts());
}

TEST_F(MessagesTest, CompilerWarningsAndTipsFollowTheirSwitches)
{
    struct Case {
        int source, type, warnings, hints;
        bool added;
    } cases[] = {
        {WID_COMPILER, MSG_WARNING, 0, 1, false},
        {WID_COMPILER, MSG_WARNING, 1, 0, true},
        {WID_COMPILER, MSG_TIP, 1, 0, false},
        {WID_COMPILER, MSG_TIP, 0, 1, true},
        {WID_COMPILER, MSG_ERROR, 0, 0, true},
        {WID_COMPILER, MSG_NOTE, 0, 0, true},
        {0, MSG_WARNING, 0, 0, true},
        {460, MSG_TIP, 0, 0, true},
    };
    for (const Case& c : cases) {
        DeleteAllMessages();
        g_ProduceCompilerWarnings = c.warnings;
        g_ProduceCompilerHints = c.hints;
        const char* lines[] = {"first", "second", nullptr};
        int result = AddMessage(lines, c.type, c.source, 0, 1, 2, 3, 0, false);
        EXPECT_EQ(c.added ? 2 : 0, result) << "source " << c.source << " type " << c.type;
        EXPECT_EQ(c.added ? 2 : 0, g_Messages.Count());
    }
}

TEST_F(MessagesTest, ClearCompilerMessagesKeepsTheOthersInOrder)
{
    Add("load 1", MSG_INFO, 0);
    Add("compile 1", MSG_ERROR, WID_COMPILER);
    Add("load 2", MSG_WARNING, 0);
    const char* lines[] = {"compile 2", "more", nullptr};
    AddMessage(lines, MSG_WARNING, WID_COMPILER, 0, 0, 0, 0, 0, false);
    Add("load 3", MSG_ERROR, 0);
    ClearCompilerMessages();
    EXPECT_EQ((std::vector<std::string>{"load 1", "load 2", "load 3"}), Texts());
}

TEST_F(MessagesTest, ShownMessageOpensTheWindowAndFillsItsList)
{
    static int opened;
    opened = 0;
    g_OpenMessageWindow = [] {
        opened++;
        g_MessageListBox = CreateWindowA("LISTBOX", "", WS_POPUP | LBS_NOINTEGRALHEIGHT, 0, 0,
                                         200, 40, NULL, NULL, GetModuleHandleA(NULL), NULL);
    };
    EXPECT_EQ(0, RefreshMessageList(true)) << "closed window";

    for (int i = 0; i < 10; i++)
        Add(("line " + std::to_string(i)).c_str(), MSG_INFO, 0);
    EXPECT_EQ(0, opened) << "no show flag, no window";
    EXPECT_EQ(11, AddErrorMessage("Fractal X has been removed and deleted..."));
    EXPECT_EQ(1, opened);
    ASSERT_TRUE(g_MessageListBox != NULL);
    EXPECT_EQ(MSG_ERROR, At(10)->type);
    EXPECT_EQ(0, At(10)->sourceWindow);

    ASSERT_EQ(11, SendMessageA(g_MessageListBox, LB_GETCOUNT, 0, 0));
    char item[100];
    SendMessageA(g_MessageListBox, LB_GETTEXT, 10, (LPARAM)item);
    EXPECT_STREQ("Fractal X has been removed and deleted...", item);
    SendMessageA(g_MessageListBox, LB_GETTEXT, 0, (LPARAM)item);
    EXPECT_STREQ("line 0", item);
    EXPECT_GT(SendMessageA(g_MessageListBox, LB_GETTOPINDEX, 0, 0), 5) << "scrolled to the end";

    // Open window: refreshed, not opened again, and the types follow the helper.
    AddWarningMessage("w");
    AddInfoMessage("i");
    EXPECT_EQ(1, opened);
    EXPECT_EQ(13, SendMessageA(g_MessageListBox, LB_GETCOUNT, 0, 0));
    EXPECT_EQ(MSG_WARNING, At(11)->type);
    EXPECT_EQ(MSG_INFO, At(12)->type);

    ClearCompilerMessages();
    Add("x", MSG_ERROR, WID_COMPILER);
    EXPECT_EQ(1, RefreshMessageList(false));
    EXPECT_EQ(14, SendMessageA(g_MessageListBox, LB_GETCOUNT, 0, 0));
}

DWORD WINAPI AddShownFromWorker(LPVOID)
{
    AddErrorMessage("from a worker");
    return 0;
}

DWORD WINAPI PostFromWorker(LPVOID)
{
    PostThreadMessageText("Renderjob \"A\" cannot be rendered", "Not enough memory available",
                          MSG_ERROR);
    return 0;
}

TEST_F(MessagesTest, WorkersAddWithoutShowingAndAskTheMainFrame)
{
    static int opened;
    opened = 0;
    g_OpenMessageWindow = [] { opened++; };
    PFrameWindow frame;
    frame.hwnd = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                               GetModuleHandleA(NULL), NULL);
    app_.mainFrame = &frame;

    HANDLE thread = CreateThread(NULL, 0, AddShownFromWorker, NULL, 0, NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    CloseHandle(thread);
    EXPECT_EQ(1, g_Messages.Count());
    EXPECT_EQ(0, opened) << "a worker must not open windows";

    thread = CreateThread(NULL, 0, PostFromWorker, NULL, 0, NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    CloseHandle(thread);
    ASSERT_EQ(3, g_Messages.Count());
    EXPECT_EQ(MSG_ERROR, At(1)->type);
    EXPECT_STREQ("Not enough memory available", At(2)->text);
    EXPECT_EQ(MSG_NOTE, At(2)->type);
    EXPECT_EQ(0, opened);

    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, frame.hwnd, UM_NEW_MESSAGE, UM_NEW_MESSAGE, PM_REMOVE));

    // A single line without a second text adds one node.
    PostThreadMessageText("only line", nullptr, MSG_WARNING);
    EXPECT_EQ(4, g_Messages.Count());
    PeekMessageA(&msg, frame.hwnd, UM_NEW_MESSAGE, UM_NEW_MESSAGE, PM_REMOVE);

    app_.mainFrame = nullptr;
    DestroyWindow(frame.hwnd);
}

struct AdderJob {
    int messages;
    HANDLE start;  // manual-reset event that lets every thread go at once
};

DWORD WINAPI AddMany(LPVOID parameter)
{
    AdderJob* job = static_cast<AdderJob*>(parameter);
    WaitForSingleObject(job->start, INFINITE);
    const char* lines[] = {"first", "second", nullptr};
    for (int i = 0; i < job->messages; i++)
        AddMessage(lines, MSG_WARNING, (i & 1) ? WID_COMPILER : 0, 0, i, 0, 0, 0, false);
    return 0;
}

DWORD WINAPI ClearMany(LPVOID parameter)
{
    AdderJob* job = static_cast<AdderJob*>(parameter);
    WaitForSingleObject(job->start, INFINITE);
    for (int i = 0; i < job->messages / 10; i++) {
        ClearCompilerMessages();
        Sleep(0);
    }
    return 0;
}

// The list's links and count agree with each other.
void ExpectConsistentList()
{
    int walked = 0;
    ListNode* previous = nullptr;
    for (ListNode* node = g_Messages.GetHead(); node; node = node->next) {
        EXPECT_EQ(previous, node->prev);
        previous = node;
        walked++;
    }
    EXPECT_EQ(previous, g_Messages.GetTail());
    EXPECT_EQ(g_Messages.Count(), walked);
}

TEST_F(MessagesTest, ConcurrentAddsKeepACountOfEveryLine)
{
    const int kThreads = 4, kMessages = 5000;
    g_NumberOfOutputMessages = 1000000;
    AdderJob job = {kMessages, CreateEventA(NULL, TRUE, FALSE, NULL)};
    HANDLE threads[kThreads];
    for (HANDLE& thread : threads)
        thread = CreateThread(NULL, 0, AddMany, &job, 0, NULL);
    SetEvent(job.start);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(kThreads, threads, TRUE, 60000));
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CloseHandle(job.start);
    EXPECT_EQ(kThreads * kMessages * 2, g_Messages.Count());
    ExpectConsistentList();
}

TEST_F(MessagesTest, ConcurrentAddsTrimsAndClearsKeepTheListIntact)
{
    const int kThreads = 4, kMessages = 5000;
    g_NumberOfOutputMessages = 60;
    AdderJob job = {kMessages, CreateEventA(NULL, TRUE, FALSE, NULL)};
    HANDLE threads[kThreads + 1];
    for (int i = 0; i < kThreads; i++)
        threads[i] = CreateThread(NULL, 0, AddMany, &job, 0, NULL);
    threads[kThreads] = CreateThread(NULL, 0, ClearMany, &job, 0, NULL);
    SetEvent(job.start);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(kThreads + 1, threads, TRUE, 60000));
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CloseHandle(job.start);
    EXPECT_LE(g_Messages.Count(), 60);
    ExpectConsistentList();
    // Every node is a whole pair: a first line followed by its note.
    for (int i = 0; i + 1 < g_Messages.Count(); i += 2) {
        EXPECT_STREQ("first", At(i)->text);
        EXPECT_STREQ("second", At(i + 1)->text);
    }
}

}  // namespace
