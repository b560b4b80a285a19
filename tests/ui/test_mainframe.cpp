// The main frame: status-bar parts, the layout of toolbar band, MDI client
// and status bar, text measuring with the fonts, the timer table and the
// menu bar kept in step on both menus.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string.h>

#include "tests/ui/UiTestSupport.h"
#include "ui/Font.h"
#include "ui/FrameWindow.h"
#include "ui/MenuBar.h"
#include "ui/StatusBar.h"
#include "ui/TimerTable.h"
#include "ui/Toolkit.h"

namespace {

TEST(StatusBarParts, NegativeEdgesBecomeOneTwoThree)
{
    struct Case {
        int width;
        int edges[5];
    } cases[] = {
        {300, {1, 2, 100, 200, 300}},
        {150, {1, 2, 3, 50, 150}},
        {0, {1, 2, 3, 4, 0}},
        {800, {250, 425, 600, 700, 800}},
    };
    for (const Case& c : cases) {
        int edges[5];
        GetStatusBarParts(edges, c.width);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(c.edges[i], edges[i]) << "width " << c.width << " part " << i;
    }
}

TEST(TextMeasure, MnemonicMarksTakeNoRoom)
{
    StartToolkitOnce();
    EXPECT_EQ(MeasureText("File", 1), MeasureText("&File", 1));
    EXPECT_EQ(MeasureText("Fi_le", 1), MeasureText("File", 1));
    EXPECT_GT(MeasureText("File", 1), 0);
}

TEST(TextMeasure, ShortenTextFitsWithAnEllipsis)
{
    StartToolkitOnce();
    const PFont* font = GuiFont();
    char fits[64] = "short";
    const int width = MeasureText("short", 1);
    EXPECT_FLOAT_EQ((float)width, ShortenText(fits, 1, width));
    EXPECT_STREQ("short", fits);

    const int ellipsis = (int)(3 * font->charWidths[(unsigned char)'.']);
    for (int maxWidth : {ellipsis, ellipsis + 7, 60, 100}) {
        char text[64] = "A rather long window title that does not fit";
        float shortened = ShortenText(text, 1, maxWidth);
        size_t length = strlen(text);
        ASSERT_GE(length, 3u);
        EXPECT_STREQ("...", text + length - 3) << maxWidth;
        EXPECT_LE(MeasureText(text, 1), maxWidth);
        EXPECT_FLOAT_EQ(shortened, (float)MeasureText(text, 1));
    }
}

// A main frame with its MDI client and status bar, made through the toolkit.
class MainFrameFixture : public testing::Test {
protected:
    void SetUp() override
    {
        StartToolkitOnce();
        frame = new PFrameWindow("test frame", WID_MAIN, WT_MAIN, true, false, 0, 0, 640, 480,
                                 true, false);
        ASSERT_NE(nullptr, frame->hwnd);
        g_Toolkit.mainFrame = frame;
        MainStatusBar = new PStatusBar();
        ShowWindow(frame->hwnd, SW_SHOW);
        LayoutMainFrame(frame, 0);
    }
    void TearDown() override
    {
        delete MainStatusBar;
        MainStatusBar = NULL;
        g_Toolkit.mainFrame = NULL;
        delete frame;
    }
    RECT MdiRect() const
    {
        RECT rect;
        GetWindowRect(frame->mdiClient, &rect);
        MapWindowPoints(NULL, frame->hwnd, (POINT*)&rect, 2);
        return rect;
    }

    PFrameWindow* frame = nullptr;
};

TEST_F(MainFrameFixture, LayoutPutsTheClientBetweenToolbarBandAndStatusBar)
{
    RECT client;
    GetClientRect(frame->hwnd, &client);
    RECT mdi = MdiRect();
    EXPECT_EQ(30, mdi.top);
    EXPECT_EQ(client.right, mdi.right);
    EXPECT_EQ(client.bottom - MainStatusBar->height, mdi.bottom);

    int parts[5];
    SendMessageA(MainStatusBar->hwnd, SB_GETPARTS, 5, (LPARAM)parts);
    int expected[5];
    GetStatusBarParts(expected, client.right);
    EXPECT_EQ(0, memcmp(parts, expected, sizeof(parts)));
}

TEST_F(MainFrameFixture, HidingTheStatusBarGivesItsHeightToTheClient)
{
    const int before = MdiRect().bottom;
    MainStatusBar->Enable(false);
    PumpPending();
    EXPECT_EQ(before + MainStatusBar->height, MdiRect().bottom);
    EXPECT_FALSE(IsWindowVisible(MainStatusBar->hwnd));
    MainStatusBar->Enable(true);
    PumpPending();
    EXPECT_EQ(before, MdiRect().bottom);
    EXPECT_TRUE(IsWindowVisible(MainStatusBar->hwnd));
}

TEST_F(MainFrameFixture, ResizingTheFrameRecomputesTheParts)
{
    frame->Resize(500, 400);
    PumpPending();
    RECT client;
    GetClientRect(frame->hwnd, &client);
    int parts[5], expected[5];
    SendMessageA(MainStatusBar->hwnd, SB_GETPARTS, 5, (LPARAM)parts);
    GetStatusBarParts(expected, client.right);
    EXPECT_EQ(0, memcmp(parts, expected, sizeof(parts)));
}

TEST_F(MainFrameFixture, TimerTableDropsTheTwentySixthTimer)
{
    PTimerTable table;
    for (int i = 0; i < 25; ++i)
        table.Add(2000 + i, 1000);
    table.Add(3000, 1000);
    for (int i = 0; i < 25; ++i)
        EXPECT_NE(3000, table.timerIds[i]);
    // The 26th id must not run: KillTimer of it finds nothing.
    EXPECT_FALSE(KillTimer(frame->hwnd, 3000));
    table.SetInterval(2003, 50);
    table.SetInterval(4444, 50);
    EXPECT_EQ(50, table.intervals[3]);
    int used = 0;
    for (int i = 0; i < 25; ++i)
        used += table.timerIds[i] != 0;
    EXPECT_EQ(25, used);
}

TEST_F(MainFrameFixture, MenuBarKeepsBothMenusInStep)
{
    HMENU main = CreateMenu();
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 29181, "Item");
    AppendMenuA(main, MF_POPUP, (UINT_PTR)popup, "Menu");
    SetMenu(frame->hwnd, main);
    HMENU context = CreatePopupMenu();
    AppendMenuA(context, MF_STRING, 29181, "Item");
    g_Toolkit.contextMenu = context;
    PMenuBar bar;
    g_Toolkit.contextMenu = NULL;

    bar.CheckItem(29181, true);
    EXPECT_EQ((UINT)MF_CHECKED, GetMenuState(main, 29181, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ((UINT)MF_CHECKED, GetMenuState(context, 29181, MF_BYCOMMAND) & MF_CHECKED);
    bar.GrayItem(29181, true);
    EXPECT_EQ((UINT)MF_GRAYED, GetMenuState(context, 29181, MF_BYCOMMAND) & MF_GRAYED);
    bar.SetItemText(29181, "Renamed");
    char text[32];
    GetMenuStringA(context, 29181, text, sizeof(text), MF_BYCOMMAND);
    EXPECT_STREQ("Renamed", text);
    SetMenu(frame->hwnd, NULL);
    DestroyMenu(main);
    DestroyMenu(context);
}

}  // namespace
