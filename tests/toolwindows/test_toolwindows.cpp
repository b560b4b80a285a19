// The tool-window table and manager: rows, the shared parameter slot and
// placement, default sizes in font units, opening, closing and toggling
// (menu check marks, recorded placement, windows pulled inside the virtual
// screen), UpdateToolWindow's hide rules and captions as the current
// fractal changes, the reopening at start-up and the Message Window's list.
// The placement records are process-wide and load once: the tests of this
// file share them and run in one order.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Messages.h"
#include "tests/support/ScriptedBoxes.h"
#include "tests/ui/UiTestSupport.h"
#include "toolwindows/Layouts.h"
#include "toolwindows/MessageWindow.h"
#include "toolwindows/ToolWindows.h"
#include "ui/Font.h"
#include "ui/FrameWindow.h"
#include "ui/ListBox.h"
#include "ui/Toolkit.h"
#include "ui/WindowPlacement.h"
#include "ui/WindowProcs.h"

namespace {

// One list box filling the window: stands in for the tables of windows
// whose layouts are not built yet.
struct TestTable {
    PControl* control = nullptr;
    ControlDescriptor rows[2];
    explicit TestTable(int id)
    {
        rows[0] = {CT_LISTBOX, 0, id, 0, "", 0, 0, 0, 0, &control, nullptr, nullptr, 0, "", "", nullptr};
        rows[1] = {};
    }
};

std::vector<std::string> g_Checks;

void RecordCheck(int command, bool checked)
{
    g_Checks.push_back(std::to_string(command) + (checked ? " on" : " off"));
}

std::string Caption(PFrameWindow* window)
{
    char text[300] = "";
    GetWindowTextA(window->hwnd, text, sizeof text);
    return text;
}

class ToolWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        StartToolkitOnce();
        PrepareDocumentEngine();
        // A GUI font of 7 x 13 pixel characters for the font-unit sizes;
        // set before any placement record loads.
        GuiFont()->averageCharWidth = 7;
        GuiFont()->charHeight = 13;
        ASSERT_TRUE(BuildWindowLayouts());
        // Tool windows are owned by the main frame.
        g_Toolkit.mainFrame = new PFrameWindow("main", WID_MAIN, WT_MAIN, true, false, 0, 0, 640, 480, true, false);
    }

    static void TearDownTestSuite()
    {
        delete g_Toolkit.mainFrame;
        g_Toolkit.mainFrame = nullptr;
    }

    void SetUp() override
    {
        g_Checks.clear();
        g_ToolWindowHooks = {};
        g_ToolWindowHooks.checkMenuItem = &RecordCheck;
        CurrentFolder = &folder;
        for (int id : {WID_PARM_ESCAPETIME, WID_PARM_PLASMA, WID_ALPHAWIN, WID_DIMS})
            FindToolWindowEntry(id)->controlTable = Table(id).rows;
    }

    void TearDown() override
    {
        CloseAllToolWindows();
        for (int id : {WID_PARM_ESCAPETIME, WID_PARM_PLASMA, WID_ALPHAWIN, WID_DIMS})
            FindToolWindowEntry(id)->controlTable = nullptr;
        CurrentFolder = nullptr;
        folder.currentFractal = nullptr;
        for (Fractal* f : fractals)
            delete f;
        g_ToolWindowHooks = {};
    }

    static TestTable& Table(int id)
    {
        static TestTable escapetime(1002), plasma(552), alpha(2031), dims(401);
        return id == WID_PARM_ESCAPETIME ? escapetime : id == WID_PARM_PLASMA ? plasma : id == WID_ALPHAWIN ? alpha : dims;
    }

    Fractal* Select(int type, const char* name)
    {
        Fractal* f = new Fractal();
        f->header->Type = type;
        f->SetName(name);
        fractals.push_back(f);
        folder.currentFractal = f;
        return f;
    }

    HandlerRecorder recorder;
    FractalFolder folder;
    std::vector<Fractal*> fractals;
};

TEST_F(ToolWindowTest, TableRowsSlotsAndPlacements)
{
    const int ids[TOOL_WINDOW_COUNT] = {2300, 1440, 1000, 550, 1200, 2400, 610, 1150, 880, 905,
                                        400,  870,  2000, 2030, 1800, 920, 1700, 460, 470, 730,
                                        1600, 1910, 2610, 500, 2200, 680, 660, 1900, 2700, 2500};
    ToolWindowEntry* table = ToolWindowTable();
    for (int i = 0; i < TOOL_WINDOW_COUNT; i++)
        EXPECT_EQ(ids[i], table[i].windowId) << i;
    EXPECT_EQ(0, table[TOOL_WINDOW_COUNT].windowId) << "the zero row ends the table";
    EXPECT_EQ(nullptr, FindToolWindowEntry(260));
    EXPECT_EQ(nullptr, FindToolWindowEntry(WID_CURRENT_PARAMETERS));

    WindowDescriptor* parameters = FindWindowDescriptor("Parameters");
    for (int id : {1000, 550, 1200, 2400, 610, 880, 905}) {
        ToolWindowEntry* row = FindToolWindowEntry(id);
        EXPECT_EQ(&g_ParameterWindow, row->definition->slot) << id;
        EXPECT_EQ(parameters, row->definition->descriptor) << id;
        EXPECT_EQ(CMD_WIN_PARAMETERS, row->menuCommand) << id;
    }
    EXPECT_NE(FindToolWindowEntry(460)->definition->slot, FindToolWindowEntry(730)->definition->slot);
    EXPECT_EQ(FindWindowDescriptor("Message"), DescriptorOfToolWindow(460));
    EXPECT_STREQ("Output", FindToolWindowEntry(460)->name);
    EXPECT_STREQ("", FindToolWindowEntry(550)->name);

    const struct {
        int type, window;
    } byType[] = {{6, 550}, {8, 610}, {9, 905}, {10, 880}, {14, 1000}, {15, 0}, {16, 1200}, {17, 0}, {18, 2400},
                  {0, 0},   {19, 0},  {-1, 0}};
    for (const auto& c : byType)
        EXPECT_EQ(c.window, ParameterWindowOfType(c.type)) << c.type;
}

TEST_F(ToolWindowTest, PlacementDefaultsAndParameterSizeInFontUnits)
{
    // The defaults as the records are written: opened and attached.
    struct Default {
        const char* name;
        int opened, attached;
    } defaults[] = {
#define WINDOW_DESCRIPTOR(name, minHeight, x, y, w, h, opened, attached, dockable, minimized) {name, opened, attached},
#include "ui/WindowDescriptors.h"
#undef WINDOW_DESCRIPTOR
    };
    const std::vector<std::string> opened = {"Parameters", "Transformation", "Animation",  "Message",
                                             "Size",       "Colorcycling",   "FormulaUpdate", "LayerProps",
                                             "Render Jobs", "Comment",       "Tip"};
    for (const Default& d : defaults) {
        bool isOpened = std::find(opened.begin(), opened.end(), d.name) != opened.end();
        EXPECT_EQ(isOpened, d.opened != 0) << d.name;
        EXPECT_EQ(isOpened && std::string(d.name) != "Tip", d.attached != 0) << d.name;
    }

    WindowDescriptor* parameters = FindWindowDescriptor("Parameters");
    EXPECT_EQ(310, parameters->GetWidth());
    EXPECT_EQ(239, parameters->GetHeight());
    // The shared window takes that outer size when it opens.
    Select(FT_ESCAPETIME, "Mandel");
    OpenToolWindow(WID_PARM_ESCAPETIME);
    ASSERT_TRUE(g_ParameterWindow != nullptr);
    int width = 0, height = 0;
    g_ParameterWindow->GetSize(&width, &height, false);
    EXPECT_EQ(310, width);
    EXPECT_EQ(239, height);
}

TEST_F(ToolWindowTest, OpenAndCloseRecordPlacementAndMenuChecks)
{
    WindowDescriptor* message = FindWindowDescriptor("Message");
    int vsw = g_Toolkit.virtualScreenWidth;
    g_Toolkit.virtualScreenWidth = 1920;
    message->SetX(5000);
    message->SetY(40);
    EXPECT_EQ(2, OpenToolWindow(WID_OUTPUT));
    g_Toolkit.virtualScreenWidth = vsw;
    ASSERT_TRUE(IsToolWindowOpen(WID_OUTPUT));
    EXPECT_EQ(1900, message->GetX()) << "pulled 20 pixels inside the virtual screen";
    EXPECT_TRUE(message->IsOpened());
    EXPECT_EQ(std::vector<std::string>{"29139 on"}, g_Checks);
    PFrameWindow* window = *FindToolWindowEntry(WID_OUTPUT)->definition->slot;
    EXPECT_EQ("Messages", Caption(window)) << "no fractal in the caption";
    ASSERT_TRUE(MessageList != nullptr);
    EXPECT_EQ(MESSAGE_LIST_ID, MessageList->controlId);

    // Opening again changes nothing.
    EXPECT_EQ(2, OpenToolWindow(WID_OUTPUT));
    EXPECT_EQ(window, *FindToolWindowEntry(WID_OUTPUT)->definition->slot);

    window->Move(123, 77);
    window->Resize(333, 144);
    g_Checks.clear();
    CloseToolWindow(WID_OUTPUT, true);
    EXPECT_FALSE(IsToolWindowOpen(WID_OUTPUT));
    EXPECT_EQ(nullptr, MessageList) << "the control's variable is cleared";
    EXPECT_FALSE(message->IsOpened());
    EXPECT_EQ(std::vector<std::string>{"29139 off"}, g_Checks);
    EXPECT_EQ(123, message->GetX());
    EXPECT_EQ(77, message->GetY());
    EXPECT_EQ(333, message->GetWidth());
    EXPECT_EQ(144, message->GetHeight());

    // Toggle opens a closed window and closes an open one; unknown ids do nothing.
    ToggleToolWindow(WID_OUTPUT);
    EXPECT_TRUE(IsToolWindowOpen(WID_OUTPUT));
    ToggleToolWindow(WID_OUTPUT);
    EXPECT_FALSE(IsToolWindowOpen(WID_OUTPUT));
    EXPECT_EQ(2, OpenToolWindow(260));
    EXPECT_EQ(0, CloseToolWindow(260, true));
    UpdateToolWindow(260);
    // A row without a control table opens no window.
    EXPECT_EQ(2, OpenToolWindow(WID_ZOOM));
    EXPECT_FALSE(IsToolWindowOpen(WID_ZOOM));
}

TEST_F(ToolWindowTest, SharedParameterWindowFollowsTheCurrentType)
{
    FindWindowDescriptor("Parameters")->SetOpened(1);
    Select(FT_ESCAPETIME, "Mandel");
    OpenToolWindow(WID_PARM_ESCAPETIME);
    PFrameWindow* frame = g_ParameterWindow;
    ASSERT_TRUE(frame != nullptr);
    EXPECT_TRUE(Table(WID_PARM_ESCAPETIME).control != nullptr);
    EXPECT_EQ("Parameters : Mandel", Caption(frame));

    // Another type: the old controls go, the frame stays, the new ones come.
    Select(FT_PLASMA, "Clouds");
    UpdateToolWindow(WID_CURRENT_PARAMETERS);
    EXPECT_EQ(frame, g_ParameterWindow);
    EXPECT_EQ(nullptr, Table(WID_PARM_ESCAPETIME).control);
    EXPECT_TRUE(Table(WID_PARM_PLASMA).control != nullptr);
    EXPECT_EQ("Parameter Window : Clouds", Caption(frame));
    EXPECT_EQ(WID_PARM_PLASMA, frame->windowId);
    EXPECT_TRUE(frame->IsVisible());

    // No current fractal: controls deleted, frame kept and hidden.
    folder.currentFractal = nullptr;
    UpdateToolWindow(WID_CURRENT_PARAMETERS);
    EXPECT_EQ(frame, g_ParameterWindow);
    EXPECT_EQ(nullptr, Table(WID_PARM_PLASMA).control);
    EXPECT_FALSE(frame->IsVisible());

    // The next selection builds its controls again; a layered fractal has
    // no parameter window.
    Select(FT_ESCAPETIME, "Again");
    UpdateToolWindow(WID_CURRENT_PARAMETERS);
    EXPECT_TRUE(Table(WID_PARM_ESCAPETIME).control != nullptr);
    EXPECT_TRUE(frame->IsVisible());
    Select(FT_LAYERED, "Layers");
    UpdateToolWindow(WID_CURRENT_PARAMETERS);
    EXPECT_EQ(nullptr, Table(WID_PARM_ESCAPETIME).control);
    EXPECT_FALSE(frame->IsVisible());

    // Toggling any parameter id closes the shared window with its controls.
    Select(FT_ESCAPETIME, "Third");
    UpdateToolWindow(WID_CURRENT_PARAMETERS);
    ASSERT_TRUE(Table(WID_PARM_ESCAPETIME).control != nullptr);
    ToggleToolWindow(WID_PARM_PLASMA);
    EXPECT_EQ(nullptr, g_ParameterWindow);
    EXPECT_EQ(nullptr, Table(WID_PARM_ESCAPETIME).control) << "the shown type's controls are deleted";
    EXPECT_FALSE(FindWindowDescriptor("Parameters")->IsOpened());
    // While closed, the parameter path does nothing.
    UpdateToolWindow(WID_CURRENT_PARAMETERS);
    EXPECT_EQ(nullptr, g_ParameterWindow);
}

TEST_F(ToolWindowTest, HideRulesByFractalType)
{
    Select(FT_ESCAPETIME, "Mandel");
    OpenToolWindow(WID_ALPHAWIN);
    PFrameWindow* alpha = *FindToolWindowEntry(WID_ALPHAWIN)->definition->slot;
    ASSERT_TRUE(alpha != nullptr);
    EXPECT_TRUE(alpha->IsVisible());
    EXPECT_EQ("Alpha Channel : Mandel", Caption(alpha));
    for (int type : {FT_PLASMA, FT_QUATERNION, FT_LAYERED}) {
        Select(type, "Other");
        UpdateToolWindow(WID_ALPHAWIN);
        EXPECT_FALSE(alpha->IsVisible()) << type;
    }
    Select(FT_ESCAPETIME, "Back");
    UpdateToolWindow(WID_ALPHAWIN);
    EXPECT_TRUE(alpha->IsVisible());

    // The 3D window needs a type with a height-field view.
    OpenToolWindow(WID_DIMS);
    PFrameWindow* dims = *FindToolWindowEntry(WID_DIMS)->definition->slot;
    ASSERT_TRUE(dims != nullptr);
    EXPECT_TRUE(dims->IsVisible());
    Select(FT_IMAGE, "Picture");
    UpdateToolWindow(WID_DIMS);
    EXPECT_FALSE(dims->IsVisible());
}

TEST_F(ToolWindowTest, ReopenTriesEachRowOnceAndShowsMessages)
{
    // Every record says closed but these: a window that cannot open (no
    // control table), one docked that cannot open either, and the
    // Message Window.
    for (int i = 0; i < WINDOW_DESCRIPTOR_COUNT; i++)
        WindowDescriptorAt(i)->SetOpened(0);
    FindWindowDescriptor("Size")->SetOpened(1);
    FindWindowDescriptor("Comment")->SetOpened(1);
    FindWindowDescriptor("Comment")->SetAttached(1);
    FindWindowDescriptor("Message")->SetOpened(1);
    ReopenToolWindows();  // a loop that retried the failing rows would never return
    FindWindowDescriptor("Comment")->SetAttached(0);
    EXPECT_TRUE(IsToolWindowOpen(WID_OUTPUT));
    EXPECT_FALSE(IsToolWindowOpen(WID_SIZE));
    EXPECT_EQ(std::vector<std::string>{"29139 on"}, g_Checks);

    // With messages waiting the Message Window opens though it was closed.
    CloseToolWindow(WID_OUTPUT, true);
    AddInfoMessage("first line");
    ReopenToolWindows();
    EXPECT_TRUE(IsToolWindowOpen(WID_OUTPUT));
    ASSERT_TRUE(g_MessageListBox != NULL);
    int count = (int)SendMessageA(g_MessageListBox, LB_GETCOUNT, 0, 0);
    EXPECT_EQ(g_Messages.Count(), count);
    char last[100] = "";
    SendMessageA(g_MessageListBox, LB_GETTEXT, count - 1, (LPARAM)last);
    EXPECT_STREQ("first line", last);
}

// Closing by the user and the shutdown walk record the same coordinates;
// closing all windows at shutdown keeps them marked open for the next run.
TEST_F(ToolWindowTest, PositionsAreRecordedOneWayAndShutdownKeepsWindowsOpened)
{
    WindowDescriptor* message = FindWindowDescriptor("Message");
    OpenToolWindow(WID_OUTPUT);
    PFrameWindow* window = *FindToolWindowEntry(WID_OUTPUT)->definition->slot;
    ASSERT_TRUE(window != nullptr);
    window->Move(210, 90);
    StoreToolWindowPositions(false);
    int storedX = message->GetX(), storedY = message->GetY();
    EXPECT_EQ(210, storedX);
    EXPECT_EQ(90, storedY);
    CloseToolWindow(WID_OUTPUT, false);
    EXPECT_EQ(storedX, message->GetX());
    EXPECT_EQ(storedY, message->GetY());

    // The shutdown record covers the shared parameter window too.
    Select(FT_ESCAPETIME, "Mandel");
    FindWindowDescriptor("Parameters")->SetOpened(1);
    OpenToolWindow(WID_PARM_ESCAPETIME);
    ASSERT_TRUE(g_ParameterWindow != nullptr);
    g_ParameterWindow->Move(150, 60);
    RecordToolWindowPlacements();
    EXPECT_EQ(150, FindWindowDescriptor("Parameters")->GetX());
    EXPECT_EQ(60, FindWindowDescriptor("Parameters")->GetY());

    OpenToolWindow(WID_OUTPUT);
    CloseAllToolWindows();
    EXPECT_FALSE(IsToolWindowOpen(WID_OUTPUT));
    EXPECT_TRUE(message->IsOpened());
}

// A worker's notice opens the closed Message Window and shows the lines it
// added without showing them.
TEST_F(ToolWindowTest, WorkerNoticeOpensAndFillsTheMessageWindow)
{
    BindToolWindowHandlers();
    CloseToolWindow(WID_OUTPUT, true);
    const char* lines[] = {"from a worker", "second line", nullptr};
    AddMessage(lines, MSG_WARNING, 0, 0, 0, 0, 0, 0, false);
    EXPECT_FALSE(IsToolWindowOpen(WID_OUTPUT)) << "nothing shown before the notice";
    EXPECT_TRUE(HandleWorkerMessage(UM_NEW_MESSAGE, 0, 0));
    ASSERT_TRUE(IsToolWindowOpen(WID_OUTPUT));
    int count = (int)SendMessageA(g_MessageListBox, LB_GETCOUNT, 0, 0);
    EXPECT_EQ(g_Messages.Count(), count);
    char last[100] = "";
    SendMessageA(g_MessageListBox, LB_GETTEXT, count - 1, (LPARAM)last);
    EXPECT_STREQ("second line", last);
}

TEST_F(ToolWindowTest, MissingGridColumnsShowTheFailureBox)
{
    ScriptedBoxes boxes;
    GridLayout empty = {};
    EXPECT_FALSE(CheckGridLayout(&empty));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("Failure", boxes.Shown()[0].title);
    EXPECT_EQ(0u, boxes.Shown()[0].text.find("It seems as if global layout information has not been created.\n"));
    EXPECT_EQ(0x2010u, boxes.Shown()[0].style);
}

}  // namespace
