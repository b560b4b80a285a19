// Alt and Control shortcuts of tool windows: the patterns a key searches,
// the search of a small control table (caption or mnemonic list, case
// insensitive, groups skipped, panels searched, inactive controls passed
// over) and the click it reports; the "Fractal Formulas" splitter's strip
// and width.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/FractalMouse.h"
#include "app/Mnemonics.h"
#include "toolwindows/RequestRouting.h"
#include "toolwindows/ToolWindows.h"
#include "ui/Control.h"
#include "ui/PanelBuilder.h"

namespace {

std::vector<int> g_clicks;
void RecordClick(int id)
{
    g_clicks.push_back(id);
}

ControlDescriptor Row(int type, int id, const char* caption, PControl** variable,
                      const char* mnemonic = nullptr, const void* extra = nullptr)
{
    ControlDescriptor row = {};
    row.type = type;
    row.id = id;
    row.caption = caption;
    row.variable = variable;
    row.mnemonic = mnemonic;
    row.extra = extra;
    return row;
}

// A control on a message-only button window (the buttons keep their check
// state without a display); hidden ones answer inactive.
class TestControl : public PControl {
public:
    bool active = true;
    bool IsActive() override { return active; }
    void SetFocus() override {}
};

class MnemonicTable : public ::testing::Test {
protected:
    enum { COUNT = 11 };
    TestControl controls[COUNT];
    PControl* variables[COUNT] = {};
    ControlDescriptor nested[2];
    ControlDescriptor table[COUNT];
    RequestHandlers savedHandlers;

    void Make(int index, DWORD style, bool visible = true)
    {
        HWND button = CreateWindowExA(0, "BUTTON", "", style, 0, 0, 20, 20, HWND_MESSAGE, NULL,
                                      GetModuleHandleA(NULL), NULL);
        ASSERT_NE(button, (HWND)NULL);
        controls[index].Attach(button, 1005, nullptr, index, 0, 0, 20, 20, NULL, false, false);
        controls[index].active = visible;
        variables[index] = &controls[index];
    }
    bool Checked(int index) const
    {
        return SendMessageA(controls[index].hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    void SetUp() override
    {
        Make(0, BS_GROUPBOX);
        Make(1, BS_PUSHBUTTON);
        Make(2, BS_PUSHBUTTON);
        Make(3, BS_CHECKBOX);
        Make(4, BS_PUSHBUTTON);
        Make(5, BS_PUSHBUTTON, false);
        Make(6, BS_PUSHBUTTON);
        Make(7, BS_RADIOBUTTON);
        Make(8, BS_RADIOBUTTON);
        Make(9, BS_RADIOBUTTON);
        nested[0] = Row(1005, 21, "&Nested", &variables[4]);
        nested[1] = ControlDescriptor{};
        table[0] = Row(1012, 10, "&Go", &variables[0]);
        table[1] = Row(1005, 11, "&Apply", &variables[1]);
        table[2] = Row(1005, 12, "&Caption", &variables[2], "&m&g");
        table[3] = Row(1011, 13, "&Wrap", &variables[3]);
        table[4] = Row(1044, 0, nullptr, nullptr, nullptr, nested);
        table[5] = Row(1005, 14, "&Hidden", &variables[5]);
        table[6] = Row(1005, 15, "&Hidden too", &variables[6]);
        table[7] = Row(1023, 31, "&1", &variables[7]);
        table[8] = Row(1023, 32, "&2", &variables[8]);
        table[9] = Row(1023, 33, "&3", &variables[9]);
        table[10] = ControlDescriptor{};
        savedHandlers = g_RequestHandlers;
        g_RequestHandlers = RequestHandlers{};
        g_RequestHandlers.buttonClicked = RecordClick;
        g_clicks.clear();
    }
    void TearDown() override
    {
        g_RequestHandlers = savedHandlers;
        for (PControl& c : controls)
            if (c.hwnd != NULL) {
                DestroyWindow(c.hwnd);
                c.hwnd = NULL;
            }
    }
};

}  // namespace

TEST(Mnemonics, KeysSearchUnderscoreThenAmpersandPatterns)
{
    struct Case {
        unsigned ch;
        bool shift, control, alt;
        std::vector<std::string> patterns;
    } cases[] = {
        {'A', false, false, true, {"&A"}},
        {'A', true, true, false, {"_A"}},
        {'A', false, true, true, {"_A", "&A"}},
        {'A', true, true, true, {"_A", "&A"}},
        {'A', false, true, false, {}},   // Control alone searches nothing
        {'A', true, false, false, {}},   // neither Alt nor Control
        {' ', false, false, true, {}},   // space and below are no mnemonics
    };
    for (const Case& c : cases) {
        char patterns[2][3];
        const int count = MnemonicPatterns(c.ch, c.shift, c.control, c.alt, patterns);
        std::vector<std::string> got(patterns, patterns + count);
        EXPECT_EQ(got, c.patterns) << (char)c.ch << c.shift << c.control << c.alt;
    }
}

TEST_F(MnemonicTable, FindsTheFirstActiveMatchAndReportsItsClick)
{
    struct Case {
        const char* pattern;
        int clicked;   // 0: no match
    } cases[] = {
        {"&a", 11},    // caption, case-insensitive
        {"&A", 11},
        {"&m", 12},    // the mnemonic list
        {"&c", 0},     // a row with a mnemonic list ignores its caption
        {"&g", 12},    // the group frame "&Go" is skipped
        {"&n", 21},    // inside the panel
        {"&h", 15},    // the hidden "&Hidden" is passed over
        {"&q", 0},
    };
    for (const Case& c : cases) {
        g_clicks.clear();
        EXPECT_EQ(FindMnemonicInTable(table, c.pattern), c.clicked != 0) << c.pattern;
        EXPECT_EQ(g_clicks, c.clicked ? std::vector<int>{c.clicked} : std::vector<int>{}) << c.pattern;
    }
}

TEST_F(MnemonicTable, CheckBoxTogglesAndRadioRunSteps)
{
    ASSERT_TRUE(FindMnemonicInTable(table, "&w"));
    EXPECT_TRUE(Checked(3));
    ASSERT_TRUE(FindMnemonicInTable(table, "&w"));
    EXPECT_FALSE(Checked(3));

    // Unchecked radio: it is checked. Checked: the next of the run, the
    // last one wrapping to the first; the others are unchecked.
    const char* presses[] = {"&2", "&2", "&3"};
    const int expected[] = {8, 9, 7};
    for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(FindMnemonicInTable(table, presses[i]));
        for (int r = 7; r <= 9; r++)
            EXPECT_EQ(Checked(r), r == expected[i]) << presses[i] << " button " << r;
    }
    EXPECT_EQ(g_clicks, (std::vector<int>{13, 13, 32, 33, 31}));
}

TEST_F(MnemonicTable, WindowSearchUsesTheRowsOfThatWindowOnly)
{
    ToolWindowEntry* entry = FindToolWindowEntry(WID_COMPILER);
    ASSERT_NE(entry, nullptr);
    const ToolWindowEntry saved = *entry;
    PFrameWindow* window = reinterpret_cast<PFrameWindow*>(&controls[10]);
    PFrameWindow* other = reinterpret_cast<PFrameWindow*>(&savedHandlers);
    WindowDefinition definition = {&window, WID_COMPILER, "Fractal Formulas", "", nullptr};
    entry->definition = &definition;
    entry->controlTable = table;
    const bool inWindow = FindMnemonicInWindow(window, "&a");
    const bool inOther = FindMnemonicInWindow(other, "&a");
    *entry = saved;
    EXPECT_TRUE(inWindow);
    EXPECT_FALSE(inOther);
    EXPECT_EQ(g_clicks, std::vector<int>{11});
}

TEST(FormulaSplitter, StripIsTheEightPixelsLeftOfTheList)
{
    const RECT list = {100, 20, 300, 200};
    struct Case {
        int x, y;
        bool in;
    } cases[] = {
        {100, 20, true}, {107, 200, true}, {108, 100, false}, {99, 100, false},
        {103, 19, false}, {103, 201, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InSplitterStrip(list, c.x, c.y), c.in) << c.x << "," << c.y;
}

TEST(FormulaSplitter, WidthFollowsTheDragFromThePress)
{
    EXPECT_EQ(SplitterColumnWidth(120, 50, 80), 150);
    EXPECT_EQ(SplitterColumnWidth(120, 50, 30), 100);
    EXPECT_EQ(SplitterColumnWidth(10, 50, 0), 0);   // never below nothing
}
