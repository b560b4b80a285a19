// The IFS formula records and the formula window's operations: compiling a
// coefficient (quiet or with its error box, variables refused), taking an
// edited coefficient, showing a formula and one of its maps, refilling the
// lists, and renaming a formula together with the fractals that use it.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/PlainBlocks.h"
#include "fractals/ifs/IfsFormula.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

// Records what the operations show in the windows.
struct WindowRecorder {
    static WindowRecorder* current;
    std::vector<std::string> events;
    std::string controlText;

    WindowRecorder()
    {
        current = this;
        g_IfsWindow = IfsWindowLink{};
        g_IfsWindow.formulaWindowOpen = [] { return true; };
        g_IfsWindow.listReset = [] { current->events.push_back("reset"); };
        g_IfsWindow.listAdd = [](const char* n) { current->events.push_back(std::string("add ") + n); };
        g_IfsWindow.listSelect = [](int i) { current->events.push_back("select " + std::to_string(i)); };
        g_IfsWindow.setNameField = [](const char* n) { current->events.push_back(std::string("name ") + n); };
        g_IfsWindow.setCoefficientField = [](int i, const char* t) {
            if (*t)
                current->events.push_back("field " + std::to_string(i) + " " + t);
        };
        g_IfsWindow.readControl = [](int, char* text, int size) {
            snprintf(text, size, "%s", current->controlText.c_str());
            return true;
        };
        g_IfsWindow.setCounter = [](int maximum, int value) {
            current->events.push_back("counter " + std::to_string(maximum) + " " + std::to_string(value));
        };
    }
    ~WindowRecorder()
    {
        g_IfsWindow = IfsWindowLink{};
        current = nullptr;
    }
    std::string Take()
    {
        std::string all;
        for (const std::string& e : events)
            all += e + "\n";
        events.clear();
        return all;
    }
};
WindowRecorder* WindowRecorder::current = nullptr;

IfsFormula* MakeFormula(const char* name, int maps)
{
    auto* f = new IfsFormula(name);
    for (int m = 0; m < maps; m++) {
        auto* t = new IfsTransformation();
        t->SetText(IFS_M11, std::to_string(m + 1).c_str());
        t->SetText(IFS_PROBABILITY, "1");
        CompileIfsTransformation(t, name, 1);
        f->transformations.Append(t);
    }
    g_IfsFormulas.InsertSorted(f, true);
    return f;
}

void ClearFormulas()
{
    g_IfsFormulas.DeleteAllNodes();
    g_CurrentIfsFormula = nullptr;
}

}  // namespace

TEST(IfsFormula, CompileIfsExpression)
{
    struct Case {
        const char* text;
        int result;
        bool stream;
        const char* box;   // null: no box
    } cases[] = {
        {nullptr, 0, false, nullptr},
        {"", 0, false, nullptr},
        {"0.85", 0, true, nullptr},
        {"cos(p1)*0.5", 0, true, nullptr},
        {"0.5 * p1", 1, false,
         "Formula Fern: Parsing Probability:\nOffending line: 0.5 * p1\n          Illegal character encountered..."},
        // The calculation has no variable slots: variables are refused.
        {"v=p3*2", 1, false, "Formula Fern: Parsing Probability:\nOffending line: v=p3*2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        for (int quiet : {0, 1}) {
            ScriptedBoxes boxes;
            uint32_t* stream = reinterpret_cast<uint32_t*>(1);
            int32_t size = -1;
            EXPECT_EQ(CompileIfsExpression("Fern", "Parsing Probability", c.text, &stream, &size, quiet), c.result);
            EXPECT_EQ(stream != nullptr, c.stream);
            EXPECT_EQ(size > 0, c.stream);
            if (c.box && !quiet) {
                ASSERT_EQ(boxes.Count(), 1u);
                EXPECT_EQ(boxes.Shown()[0].text, c.box);
            } else {
                EXPECT_EQ(boxes.Count(), 0u);
            }
            free(stream);
        }
    }
}

// An edited coefficient takes the text in any case, and the new stream only
// when it parses; other controls change nothing.
TEST(IfsFormula, UpdateIfsExpressionFromControl)
{
    WindowRecorder window;
    IfsTransformation t;
    t.SetText(IFS_T2, "1.6");
    CompileIfsTransformation(&t, "Fern", 1);
    uint32_t* before = t.Stream(IFS_T2);
    ASSERT_NE(before, nullptr);

    window.controlText = "p1*2";
    UpdateIfsExpressionFromControl(&t, 940);
    EXPECT_STREQ(t.Text(IFS_T2), "p1*2");
    EXPECT_EQ(t.TextSize(IFS_T2), 14);
    EXPECT_NE(t.Stream(IFS_T2), nullptr);
    uint32_t* edited = t.Stream(IFS_T2);

    {
        ScriptedBoxes boxes;
        window.controlText = "p1*";
        UpdateIfsExpressionFromControl(&t, 940);
        EXPECT_STREQ(t.Text(IFS_T2), "p1*");
        EXPECT_EQ(t.Stream(IFS_T2), edited);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Shown()[0].text,
                  "Parsing:\nOffending line: p1*\n          Number of operands doesn't match the number of operators");
    }
    window.controlText = "9";
    for (int id : {929, 943}) {
        UpdateIfsExpressionFromControl(&t, id);
        for (int i = 0; i < IFS_COEFFICIENTS; i++)
            EXPECT_TRUE(!t.Text(i) || strcmp(t.Text(i), "9") != 0);
    }
    UpdateIfsExpressionFromControl(&t, 930);
    EXPECT_STREQ(t.Text(IFS_M11), "9");
}

TEST(IfsFormula, ShowIfsFormula)
{
    WindowRecorder window;
    ClearFormulas();
    ShowIfsFormula(nullptr, 0);
    EXPECT_EQ(g_CurrentIfsFormula, nullptr);
    EXPECT_EQ(window.Take(), "");

    IfsFormula* a = MakeFormula("A", 2);
    IfsFormula* b = MakeFormula("B", 3);
    IfsFormula unlisted("Unlisted");
    struct Case {
        IfsFormula* formula;
        int index;
        const char* shown;
    } cases[] = {
        {b, 1, "select 1\nname B\nfield 0 2\nfield 12 1\ncounter 4 2\n"},
        {b, 9, "select 1\nname B\nfield 0 3\nfield 12 1\ncounter 4 3\n"},     // clamped to the last
        {b, -4, "select 1\nname B\nfield 0 1\nfield 12 1\ncounter 4 1\n"},
        {b, 3, "select 1\nname B\ncounter 4 4\n"},                            // a new map: empty fields
        {nullptr, 1, "select 0\nname A\nfield 0 2\nfield 12 1\ncounter 3 2\n"},  // null: the first formula
        {&unlisted, 1, "select 0\nname A\nfield 0 1\nfield 12 1\ncounter 3 1\n"},  // unknown: the first, map 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        ShowIfsFormula(c.formula, c.index);
        EXPECT_EQ(window.Take(), c.shown);
    }
    EXPECT_EQ(g_CurrentIfsFormula, a);
    ClearFormulas();
}

// Renaming carries the fractals that use the formula along and keeps the
// list in name order with unique names; the lists are refilled.
TEST(IfsFormula, RenameAndRefresh)
{
    WindowRecorder window;
    ClearFormulas();
    IfsFormula* fern = MakeFormula("Fern", 1);
    MakeFormula("Leaf", 1);
    MakeFormula("Zeta", 1);
    FractalFolder* folder = new FractalFolder();
    FolderList.Append(folder);
    Fractal* user = new Fractal(FT_IFS, 0);
    Fractal* stranger = new Fractal(FT_IFS, 0);
    strcpy(static_cast<IFSParameters*>(stranger->typeParameters)->Formula, "Zeta");
    folder->fractals.Append(user);
    folder->fractals.Append(stranger);

    RenameIfsFormula(fern, "Tree");
    EXPECT_STREQ(fern->name, "Tree");
    EXPECT_STREQ(static_cast<IFSParameters*>(user->typeParameters)->Formula, "Tree");
    EXPECT_STREQ(static_cast<IFSParameters*>(stranger->typeParameters)->Formula, "Zeta");
    EXPECT_EQ(window.Take(), "reset\nadd Leaf\nadd Tree\nadd Zeta\n");

    RenameIfsFormula(fern, "leaf");
    EXPECT_STREQ(fern->name, "leaf.1");
    EXPECT_EQ(g_IfsFormulas.IndexOf(fern), 1);

    folder->fractals.Remove(user);
    folder->fractals.Remove(stranger);
    delete user;
    delete stranger;
    FolderList.Remove(folder);
    delete folder;
    ClearFormulas();
}
