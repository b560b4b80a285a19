// The control base: SetBoundsEx's flags and its two paths, tooltip text
// escaping and registration, focus cycling over child records, and the
// owner-drawn item heights.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/Control.h"
#include "ui/Font.h"
#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"

namespace {

// A PControl on a plain child window of a visible popup.
class ControlFixture : public testing::Test {
protected:
    void SetUp() override
    {
        StartToolkitOnce();
        parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, NULL,
                                 NULL, GetModuleHandleA(NULL), NULL);
        owner.hwnd = parent;
    }
    void TearDown() override
    {
        owner.childRecords.DeleteAllNodes();
        DestroyWindow(parent);
        owner.hwnd = NULL;
    }
    PControl* MakeControl(int id, int x, int y, bool visible = true)
    {
        HWND window = CreateWindowExA(0, "BUTTON", "b", WS_CHILD | (visible ? WS_VISIBLE : 0), x,
                                      y, 40, 20, parent, (HMENU)(INT_PTR)id,
                                      GetModuleHandleA(NULL), NULL);
        PControl* control = new PControl;
        control->Attach(window, 1017, &owner, id, x, y, 40, 20, parent, false, true);
        controls.emplace_back(control);
        return control;
    }

    HWND parent = NULL;
    PFrameWindow owner;
    std::vector<std::unique_ptr<PControl>> controls;
};

RECT PlacedRect(HWND hwnd)
{
    RECT rect;
    GetWindowPlacementRect(hwnd, &rect);
    return rect;
}

TEST_F(ControlFixture, SetBoundsExKeepsAnUnchangedWindowAndReturnsTheBatch)
{
    PControl* control = MakeControl(1, 10, 10);
    HDWP batch = BeginDeferWindowPos(1);
    HDWP result = control->SetBoundsEx(10, 10, 40, 20, KEEP_CURRENT, KEEP_CURRENT, batch, 0);
    EXPECT_EQ(batch, result);
    EndDeferWindowPos(batch);
    EXPECT_TRUE(IsWindowVisible(control->hwnd));
}

// Without a batch the window is moved and sized but its visibility kept;
// through a batch the same call hides it.
TEST_F(ControlFixture, SetBoundsExHidesOnlyThroughABatch)
{
    PControl* control = MakeControl(1, 10, 10);
    EXPECT_EQ(nullptr, control->SetBoundsEx(20, 30, 50, 25, 0, KEEP_CURRENT, NULL, 0));
    RECT rect = PlacedRect(control->hwnd);
    EXPECT_EQ(20, rect.left);
    EXPECT_EQ(30, rect.top);
    EXPECT_EQ(50, rect.right - rect.left);
    EXPECT_TRUE(IsWindowVisible(control->hwnd));

    HDWP batch = BeginDeferWindowPos(1);
    batch = control->SetBoundsEx(20, 30, 60, 25, 0, KEEP_CURRENT, batch, 0);
    ASSERT_NE(nullptr, batch);
    EndDeferWindowPos(batch);
    EXPECT_FALSE(IsWindowVisible(control->hwnd));
    EXPECT_EQ(60, PlacedRect(control->hwnd).right - 20);
}

TEST_F(ControlFixture, SetBoundsExKeepsGivenCoordinatesAndSetsTheEnabling)
{
    PControl* control = MakeControl(1, 10, 10);
    control->SetBoundsEx(KEEP_CURRENT, 44, KEEP_CURRENT, KEEP_CURRENT, KEEP_CURRENT, 0, NULL, 0);
    RECT rect = PlacedRect(control->hwnd);
    EXPECT_EQ(10, rect.left);
    EXPECT_EQ(44, rect.top);
    EXPECT_EQ(40, rect.right - rect.left);
    EXPECT_FALSE(IsWindowEnabled(control->hwnd));
}

TEST(ToolTipText, EscapesAreTurnedIntoControlCharacters)
{
    struct Case {
        const char* text;
        const char* shown;
    } cases[] = {
        {"a\\nb\\tc", "a\r\nb\tc"},
        {"one\\rtwo", "one\r\ntwo"},
        {"\\t\\t", "\t\t"},
        {"plain", "plain"},
        {"ends in \\", "ends in \\"},
        {"", ""},
    };
    for (const Case& c : cases) {
        char* escaped = EscapeToolTipText(c.text);
        EXPECT_STREQ(c.shown, escaped) << c.text;
        free(escaped);
    }
}

// The shared tooltip window is replaced by a recorder of the tool messages.
std::vector<UINT> g_toolMessages;
LRESULT CALLBACK RecordToolMessages(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TTM_ADDTOOLA || message == TTM_UPDATETIPTEXTA || message == TTM_DELTOOLA)
        g_toolMessages.push_back(message);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(ControlFixture, ToolTipIsAddedOnceThenUpdatedAndRemovedWithTheControl)
{
    HWND saved = g_ToolTipWindow;
    g_ToolTipWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL,
                                      GetModuleHandleA(NULL), NULL);
    SetWindowLongA(g_ToolTipWindow, GWL_WNDPROC, (LONG)(LONG_PTR)RecordToolMessages);
    g_toolMessages.clear();
    {
        PControl* control = MakeControl(1, 0, 0);
        control->SetToolTip("first");
        control->SetToolTip("second");
        controls.clear();
    }
    DestroyWindow(g_ToolTipWindow);
    g_ToolTipWindow = saved;
    EXPECT_EQ((std::vector<UINT>{TTM_ADDTOOLA, TTM_UPDATETIPTEXTA, TTM_DELTOOLA}), g_toolMessages);
}

TEST_F(ControlFixture, TabWrapsFromTheLastControlAndSkipsHiddenDisabledAndDeadOnes)
{
    PControl* first = MakeControl(1, 0, 0);
    PControl* hidden = MakeControl(2, 0, 30, false);
    PControl* disabled = MakeControl(3, 0, 60);
    EnableWindow(disabled->hwnd, FALSE);
    PControl* last = MakeControl(4, 0, 90);
    PControl* dead = MakeControl(5, 0, 120);
    DestroyWindow(dead->hwnd);
    SetForegroundWindow(parent);

    FocusNextControl(&owner, first->hwnd);
    EXPECT_EQ(last->hwnd, GetFocus());
    FocusNextControl(&owner, last->hwnd);
    EXPECT_EQ(first->hwnd, GetFocus());
    FocusPreviousControl(&owner, first->hwnd);
    EXPECT_EQ(last->hwnd, GetFocus());
    // From outside the list the walk begins at the head (tail backwards).
    FocusNextControl(&owner, parent);
    EXPECT_EQ(first->hwnd, GetFocus());
    (void)hidden;
}

TEST_F(ControlFixture, FocusStaysWhenNoControlCanTakeIt)
{
    PControl* a = MakeControl(1, 0, 0, false);
    PControl* b = MakeControl(2, 0, 30);
    EnableWindow(b->hwnd, FALSE);
    SetForegroundWindow(parent);
    SetFocus(parent);
    FocusNextControl(&owner, a->hwnd);
    FocusPreviousControl(&owner, (HWND)-1);
    EXPECT_EQ(parent, GetFocus());
}

TEST_F(ControlFixture, TabAndArrowKeysCycleExceptArrowsInFractalWindows)
{
    PControl* a = MakeControl(1, 0, 0);
    PControl* b = MakeControl(2, 0, 30);
    SetForegroundWindow(parent);
    SetFocus(a->hwnd);
    EXPECT_TRUE(HandleFocusKeys(&owner, a->hwnd, WM_CHAR, '\t', false));
    EXPECT_EQ(b->hwnd, GetFocus());
    EXPECT_TRUE(HandleFocusKeys(&owner, b->hwnd, WM_KEYDOWN, VK_UP, false));
    EXPECT_EQ(a->hwnd, GetFocus());
    EXPECT_FALSE(HandleFocusKeys(&owner, a->hwnd, WM_KEYDOWN, VK_DOWN, true));
    owner.windowType = WT_MDICHILD;
    EXPECT_FALSE(HandleFocusKeys(&owner, a->hwnd, WM_KEYDOWN, VK_DOWN, false));
    EXPECT_FALSE(HandleFocusKeys(&owner, a->hwnd, WM_KEYDOWN, VK_LEFT, false));
    owner.windowType = 0;
}

TEST(OwnerDrawItems, HeightsFollowTheGuiFont)
{
    struct Case {
        int id;
        float charHeight;
        int height;
    } cases[] = {
        {2701, 18.6f, 25},  // the render-job list: h + 6, at least 24
        {2701, 12.0f, 24},
        {204, 13.4f, 16},   // the toolbar combos: h + 3
        {1911, 13.5f, 17},
        {461, 30.0f, 17},
        {1259, 13.0f, 23},
        {2611, 13.0f, 24},
        {999, 13.0f, 0},    // no owner-drawn list
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.height, OwnerDrawItemHeight(c.id, c.charHeight)) << c.id;

    StartToolkitOnce();
    MEASUREITEMSTRUCT measure = {};
    measure.itemHeight = 77;
    EXPECT_FALSE(MeasureOwnerDrawItem(999, &measure));
    EXPECT_EQ(77u, measure.itemHeight);
    EXPECT_TRUE(MeasureOwnerDrawItem(461, &measure));
    EXPECT_EQ(17u, measure.itemHeight);
}

}  // namespace
