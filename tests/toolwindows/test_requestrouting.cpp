// The request entry points: the failure report of each guard (entry point,
// control id, fractal), the formula-parameter range taken before any plain
// handler, the order of the two entry-change handlers, and the tab-change
// table with its remembered tabs and the comment commit.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "foundation/Services.h"
#include "tests/document/FolderTestSupport.h"
#include "toolwindows/RequestRouting.h"

namespace {

const DWORD kFailure = 0xE0005A11;

std::vector<std::string> g_calls;
std::vector<std::string> g_reports;
std::vector<DWORD> g_codes;
bool g_fail = false;

void Call(const std::string& what)
{
    g_calls.push_back(what);
    if (g_fail)
        RaiseException(kFailure, 0, 0, NULL);
}

int RecordReport(DWORD code, const char* location)
{
    g_codes.push_back(code);
    g_reports.push_back(location);
    return IDOK;
}

class Routing : public FolderFixture {
protected:
    void SetUp() override
    {
        FolderFixture::SetUp();
        g_calls.clear();
        g_reports.clear();
        g_codes.clear();
        g_fail = false;
        savedReport = Services().reportFailure;
        Services().reportFailure = &RecordReport;
        g_RequestHandlers.buttonClicked = [](int id) { Call("button " + std::to_string(id)); };
        g_RequestHandlers.handlePopup = [](int id) { Call("popup " + std::to_string(id)); };
        g_RequestHandlers.listBoxSelected = [](int id) { Call("list " + std::to_string(id)); };
        g_RequestHandlers.listBoxDblclk = [](int id) { Call("dblclk " + std::to_string(id)); };
        g_RequestHandlers.fractPicEntryChanged = [](Fractal* f, int id, int record, int recordOnly) {
            Call("fractal " + std::string(f->name) + " " + std::to_string(id) + " " + std::to_string(record) +
                 std::to_string(recordOnly));
        };
        g_RequestHandlers.noFractPicEntryChanged = [](int id, int record, int recordOnly) {
            Call("settings " + std::to_string(id) + " " + std::to_string(record) + std::to_string(recordOnly));
        };
        g_RequestHandlers.formulaControl = [](int event, Fractal* f, int id, int, int) {
            Call("formula " + std::to_string(event) + " " + f->name + " " + std::to_string(id));
        };
    }
    void TearDown() override
    {
        g_RequestHandlers = RequestHandlers{};
        g_TabPageHooks = TabPageHooks{};
        g_RememberedTabs = RememberedTabs{};
        Services().reportFailure = savedReport;
        FolderFixture::TearDown();
    }
    Fractal* MakeCurrent(const char* name)
    {
        FractalFolder* folder = NewFolder("routing.par");
        Fractal* fractal = Named(name);
        folder->AddFractal(fractal, false);
        CurrentFolder = folder;
        folder->currentFractal = fractal;
        return fractal;
    }

    int (*savedReport)(DWORD, const char*) = nullptr;
};

// Each guard reports the exception's code and its own text; the ones
// without a fractal argument name the fractal current at report time.
TEST_F(Routing, GuardsReportEntryPointIdAndFractal)
{
    g_fail = true;
    struct Case {
        void (*call)();
        const char* withoutFractal;
        const char* withFractal;
    } cases[] = {
        {[] { UR_ButtonClicked(212); }, "UR_ButtonClicked ID:212 Fractal:No fractal selected",
         "UR_ButtonClicked ID:212 Fractal:Spiral"},
        {[] { UR_HandlePopup(300); }, "UR_HandlePopup ID:300 Fractal:No fractal selected",
         "UR_HandlePopup ID:300 Fractal:Spiral"},
        {[] { UR_ListBoxSelected(301); }, "UR_ListBoxSelected ID:301 Fractal:No fractal selected",
         "UR_ListBoxSelected ID:301 Fractal:Spiral"},
        {[] { UR_ListBoxDblclk(302); }, "UR_ListBoxDblclk ID:302 Fractal:No fractal selected",
         "UR_ListBoxDblclk ID:302 Fractal:Spiral"},
        {[] { UR_NoFractPic_EntryChanged(303, 1, 0); }, "UR_NoFractPic_EntryChanged ID:303",
         "UR_NoFractPic_EntryChanged ID:303"},
    };
    for (const Case& c : cases) {
        g_reports.clear();
        c.call();
        ASSERT_EQ(1u, g_reports.size());
        EXPECT_EQ(c.withoutFractal, g_reports[0]);
    }
    MakeCurrent("Spiral");
    for (const Case& c : cases) {
        g_reports.clear();
        c.call();
        ASSERT_EQ(1u, g_reports.size());
        EXPECT_EQ(c.withFractal, g_reports[0]);
    }
    EXPECT_EQ(kFailure, g_codes.back());

    // The fractal handed in is the one named, even when another is current.
    Fractal other;
    other.SetName("Other");
    g_reports.clear();
    UR_FractPic_EntryChanged(&other, 733, 1, 0);
    ASSERT_EQ(1u, g_reports.size());
    EXPECT_EQ("UR_FractPic_EntryChanged ID:733 Fractal:Other", g_reports[0]);
}

// Formula-parameter ids go to the formula-slot code (only with a current
// fractal) and never to the plain handlers; the edges of the range count.
TEST_F(Routing, FormulaParameterIdsGoToTheFormulaSlotCodeFirst)
{
    struct Case {
        int id;
        const char* withoutFractal;  // what the click reaches
        const char* withFractal;
    } cases[] = {
        {999999, "button 999999", "button 999999"},
        {1000000, "", "formula 0 F 1000000"},
        {4000000, "", "formula 0 F 4000000"},
        {4000001, "button 4000001", "button 4000001"},
        {212, "button 212", "button 212"},
    };
    for (const Case& c : cases) {
        g_calls.clear();
        UR_ButtonClicked(c.id);
        EXPECT_EQ(c.withoutFractal, g_calls.empty() ? "" : g_calls[0]) << c.id;
    }
    Fractal* f = MakeCurrent("F");
    for (const Case& c : cases) {
        g_calls.clear();
        UR_ButtonClicked(c.id);
        EXPECT_EQ(c.withFractal, g_calls.empty() ? "" : g_calls[0]) << c.id;
    }
    g_calls.clear();
    UR_FractPic_EntryChanged(f, 2000000, 0, 0);
    UR_NoFractPic_EntryChanged(2000000, 1, 0);
    EXPECT_EQ(std::vector<std::string>{"formula 4 F 2000000"}, g_calls) << "settings never see formula ids";
}

// Without a current fractal only the settings handler runs; with one the
// fractal's handler runs first, both with the flags as given.
TEST_F(Routing, EntryChangesReachTheFractalFirstThenTheSettings)
{
    HandleEntryChanged(nullptr, 450, 0, 0);
    EXPECT_EQ(std::vector<std::string>{"settings 450 00"}, g_calls);
    MakeCurrent("Spiral");
    g_calls.clear();
    HandleEntryChanged(nullptr, 450, 1, 1);
    EXPECT_EQ((std::vector<std::string>{"fractal Spiral 450 11", "settings 450 11"}), g_calls);
}

std::vector<std::string> g_tabs;
bool g_commentEdited = false;

void BindTabPages()
{
    g_TabPageHooks = TabPageHooks{};
    g_TabPageHooks.showTab[TAB_PAGE_TRANSFORMATION] = [](Fractal* f, int i) {
        g_tabs.push_back("transformation " + std::string(f ? f->name : "-") + " " + std::to_string(i));
    };
    g_TabPageHooks.showTab[TAB_PAGE_PLASMA] = [](Fractal* f, int i) {
        g_tabs.push_back("plasma " + std::string(f->name) + " " + std::to_string(i));
    };
    g_TabPageHooks.showTab[TAB_PAGE_COMMENTS] = [](Fractal* f, int i) {
        g_tabs.push_back("comments " + std::to_string(i));
    };
    g_TabPageHooks.showTab[TAB_PAGE_FORMULA_MAIN] = [](Fractal*, int i) {
        g_tabs.push_back("formula " + std::to_string(i));
    };
    g_TabPageHooks.showTab[TAB_PAGE_FORMULA_SUB] = [](Fractal*, int i) {
        g_tabs.push_back("sub " + std::to_string(i));
    };
    g_TabPageHooks.showTab[TAB_PAGE_OPTIONS] = [](Fractal*, int i) {
        g_tabs.push_back("options " + std::to_string(i));
    };
    g_TabPageHooks.commentTextEdited = [] { return g_commentEdited; };
}

// Which tab controls reach which page, with and without a current fractal.
TEST_F(Routing, TabChangesFollowTheTable)
{
    BindTabPages();
    struct Case {
        int id, index;
        const char* withoutFractal;  // "|"-joined pages shown
        const char* withFractal;
    } cases[] = {
        {414, 2, "transformation - 2", "transformation P 2"},
        {1462, 1, "transformation - 1", "transformation P 1"},
        {563, 3, "", "plasma P 3"},
        {731, 1, "", "comments 1"},
        {1821, 2, "sub 2", "sub 2"},
        {1811, 1, "formula 1|sub 2", "formula 1|sub 2"},  // the sub-tab remembered for function tab 1
        {2201, 4, "options 4", "options 4"},
        {1002, 1, "", ""},   // a page not built yet shows nothing
        {999, 1, "", ""},    // not a tab control
    };
    auto run = [&](bool withFractal) {
        g_RememberedTabs = RememberedTabs{};
        for (const Case& c : cases) {
            g_tabs.clear();
            HandleTabChanged(nullptr, c.id, c.index);
            std::string shown;
            for (const std::string& t : g_tabs)
                shown += (shown.empty() ? "" : "|") + t;
            EXPECT_EQ(withFractal ? c.withFractal : c.withoutFractal, shown) << c.id;
        }
    };
    run(false);
    MakeCurrent("P");
    run(true);
    EXPECT_EQ(1, g_RememberedTabs.formulaMain);
    EXPECT_EQ(2, g_RememberedTabs.formulaSub[1]);
    EXPECT_EQ(4, g_RememberedTabs.options);
}

// An edited comment is committed (control 733, record 1) before the other
// tab is shown; an unedited one is not.
TEST_F(Routing, CommentsTabSwitchCommitsAnEditedText)
{
    BindTabPages();
    MakeCurrent("Spiral");
    g_TabPageHooks.showTab[TAB_PAGE_COMMENTS] = [](Fractal*, int i) { Call("comments " + std::to_string(i)); };
    g_commentEdited = true;
    HandleTabChanged(nullptr, 731, 2);
    EXPECT_EQ((std::vector<std::string>{"fractal Spiral 733 10", "comments 2"}), g_calls);
    g_commentEdited = false;
    g_calls.clear();
    HandleTabChanged(nullptr, 731, 0);
    EXPECT_EQ(std::vector<std::string>{"comments 0"}, g_calls);
}

}  // namespace
