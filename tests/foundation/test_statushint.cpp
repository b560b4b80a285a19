#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "app/StatusTimer.h"
#include "foundation/StatusHint.h"
#include "ui/StatusBar.h"

namespace {

// A real status bar window in a hidden parent, attached to a PStatusBar
// that is installed as the main frame's bar for the test.
class StatusHintTest : public testing::Test {
protected:
    void SetUp() override
    {
        InitCommonControls();
        parent = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 100, NULL, NULL,
                                 GetModuleHandleA(NULL), NULL);
        ASSERT_NE(nullptr, parent);
        barWindow = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                    parent, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(nullptr, barWindow);
        bar.hwnd = barWindow;
        previousBar = MainStatusBar;
        MainStatusBar = &bar;
        StatusHintCountdown = -1;
    }
    void TearDown() override
    {
        Posted();
        MainStatusBar = previousBar;
        StatusHintCountdown = -1;
        if (parent != NULL)
            DestroyWindow(parent);
    }

    // The texts posted to the bar since the last call, in order; each is
    // handed to the bar so that it shows it.
    std::vector<std::string> Posted()
    {
        std::vector<std::string> texts;
        MSG msg;
        while (PeekMessageA(&msg, barWindow, 0, 0, PM_REMOVE)) {
            if (msg.message == SB_SETTEXTA) {
                EXPECT_EQ(0u, msg.wParam);   // part 0, no drawing flags
                texts.push_back(reinterpret_cast<const char*>(msg.lParam));
            }
            DispatchMessageA(&msg);
        }
        return texts;
    }

    std::string Shown()
    {
        char text[256] = "";
        SendMessageA(barWindow, SB_GETTEXTA, 0, (LPARAM)text);
        return text;
    }

    void Tick(int count)
    {
        for (int i = 0; i < count; i++)
            UpdateStatusOnTimer(TIMER_STATUS);
    }

    HWND parent = NULL;
    HWND barWindow = NULL;
    PStatusBar bar;
    PStatusBar* previousBar = nullptr;
};

typedef std::vector<std::string> Texts;

}  // namespace

TEST_F(StatusHintTest, NullHintClearsOnceUntilATextIsShownAgain)
{
    struct Case {
        std::vector<const char*> calls;
        Texts posted;
    };
    const Case cases[] = {
        {{nullptr, nullptr, nullptr}, {""}},
        {{"a", nullptr, nullptr, "b", nullptr, nullptr}, {"a", "", "b", ""}},
        {{"a", "a", "b"}, {"a", "a", "b"}},
        {{"", nullptr}, {"", ""}},   // an empty text is a text like any other
    };
    for (const Case& c : cases) {
        bar.hintCleared = false;
        for (const char* text : c.calls)
            bar.SetHint(text);
        EXPECT_EQ(c.posted, Posted());
        EXPECT_EQ(c.posted.back(), Shown());
    }
}

TEST_F(StatusHintTest, ABarWithoutWindowPostsNothing)
{
    PStatusBar windowless;
    windowless.SetHint("hint");
    windowless.SetHint(nullptr);
    MSG msg;
    // A post to a null window would arrive as a message of this thread.
    EXPECT_FALSE(PeekMessageA(&msg, (HWND)-1, 0, 0, PM_REMOVE));
}

TEST_F(StatusHintTest, HintIsClearedAfterItsTicks)
{
    static const char hint[] = "Define the area to zoom in and choose 'Boxzoom in' again...";
    SetStatusHint(hint, 50);
    EXPECT_EQ(Texts{hint}, Posted());
    EXPECT_EQ(hint, Shown());

    Tick(50);
    EXPECT_EQ(Texts{}, Posted());
    Tick(1);
    EXPECT_EQ(Texts{""}, Posted());
    EXPECT_EQ("", Shown());
    Tick(20);   // the countdown has run out: nothing more is posted
    EXPECT_EQ(Texts{}, Posted());
}

TEST_F(StatusHintTest, ANewHintRestartsTheCountdown)
{
    SetStatusHint("first", 5);
    Tick(4);
    SetStatusHint("second", 5);
    Tick(5);
    EXPECT_EQ((Texts{"first", "second"}), Posted());
    Tick(1);
    EXPECT_EQ(Texts{""}, Posted());
}

TEST_F(StatusHintTest, OnlyTheStatusTimerCountsDown)
{
    SetStatusHint("hint", 0);
    UpdateStatusOnTimer(TIMER_COLOUR_CYCLING);
    EXPECT_EQ(0, StatusHintCountdown);
    EXPECT_EQ(Texts{"hint"}, Posted());
    Tick(1);
    EXPECT_EQ(Texts{""}, Posted());
}

TEST(StatusHint, WorksWithoutAStatusBar)
{
    PStatusBar* previous = MainStatusBar;
    MainStatusBar = nullptr;
    SetStatusHint("hint", 2);
    EXPECT_EQ(2, StatusHintCountdown);
    for (int i = 0; i < 3; i++)
        UpdateStatusOnTimer(TIMER_STATUS);
    EXPECT_EQ(-1, StatusHintCountdown);
    MainStatusBar = previous;
    StatusHintCountdown = -1;
}
