// The calculation thread's steps run directly on the test's thread: the
// dispatch's time stamps and completion messages, the command word's
// compare-exchange, the middle-out recolouring and the 2D work arrays.
#include <gtest/gtest.h>
#include <algorithm>
#include <vector>
#include "foundation/MainWindowMessages.h"
#include "foundation/Services.h"
#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "calc/task/FractalThread.h"
#include "calc/task/TaskHooks.h"
#include "document/Fractal.h"

namespace {

struct Post {
    UINT message;
    WPARAM wParam;
};
std::vector<Post> g_posts;
std::vector<int> g_colouredRows;
std::vector<std::pair<int, int>> g_drawnBands;

bool RecordPost(UINT message, WPARAM wParam, LPARAM)
{
    g_posts.push_back({message, wParam});
    return true;
}

// Scoped bindings of the main frame and the colouring hooks.
struct Recorders {
    Recorders() : savedPost(Services().postToMainFrame), savedHooks(g_TaskHooks)
    {
        g_posts.clear();
        g_colouredRows.clear();
        g_drawnBands.clear();
        Services().postToMainFrame = &RecordPost;
        g_TaskHooks.colourRow = [](Fractal*, int row, int) { g_colouredRows.push_back(row); };
        g_TaskHooks.drawImageRows = [](Fractal*, int a, int b) { g_drawnBands.push_back({a, b}); };
    }
    ~Recorders()
    {
        Services().postToMainFrame = savedPost;
        g_TaskHooks = savedHooks;
    }
    bool (*savedPost)(UINT, WPARAM, LPARAM);
    TaskHooks savedHooks;
};

Fractal* NewFractalWithTask(int type, int width, int height)
{
    Fractal* f = new Fractal(type, 0);
    f->header->Width = width;
    f->header->Height = height;
    EXPECT_NE(AttachBareTask(f), nullptr);
    return f;
}

void Discard(Fractal* f)
{
    FreeBareTask(f);
    delete f;
}

int CountDone(WPARAM expected)
{
    int n = 0;
    for (const Post& p : g_posts)
        if (p.message == UM_CALCULATION_DONE) {
            EXPECT_EQ(p.wParam, expected);
            ++n;
        }
    return n;
}

}  // namespace

// An interrupted calculation must not look finished: no completion message
// and no time stamps; FTC_REDRAW3D does not count as an interruption; a
// layered fractal reports either way.
TEST(DispatchFractalCalculation, CompletionAndTimeStampsByCommandWord)
{
    struct Case {
        int type;
        int word;
        bool posts;
        bool stamped;
        int state;
    } cases[] = {
        {FT_IMAGE, 0, true, true, CS_IMAGE_DONE},
        {FT_IMAGE, FTC_REDRAW3D, true, true, CS_IMAGE_DONE},
        {FT_IMAGE, FTC_STOP, false, false, CS_NONE},
        {FT_IMAGE, FTC_CONTINUE, false, false, CS_NONE},
        {FT_LAYERED, FTC_STOP, true, false, CS_NONE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " word " << c.word);
        Recorders recorders;
        Fractal* f = NewFractalWithTask(c.type, 8, 4);
        f->header->CalcStart = f->header->CalcEnd = 1234;
        f->task->command = c.word;
        DispatchFractalCalculation(f, nullptr, 0, 0, 8, 3);
        EXPECT_EQ(CountDone((WPARAM)f), c.posts ? 1 : 0);
        if (c.type != FT_LAYERED) {
            EXPECT_EQ(f->header->CalcStart != -1, c.stamped);
            EXPECT_EQ(f->header->CalcEnd != -1, c.stamped);
        }
        EXPECT_EQ(f->task->calculationState, c.state);
        EXPECT_EQ(f->task->progress, 0.0);
        Discard(f);
    }
}

// A finished layer names its layered parent in the completion message.
TEST(DispatchFractalCalculation, LayerReportsToItsParent)
{
    Recorders recorders;
    Fractal* parent = NewFractalWithTask(FT_LAYERED, 8, 4);
    Fractal* layer = NewFractalWithTask(FT_IMAGE, 8, 4);
    layer->baseFractal = parent;
    DispatchFractalCalculation(layer, nullptr, 0, 0, 8, 3);
    EXPECT_EQ(CountDone((WPARAM)parent), 1);
    layer->baseFractal = nullptr;
    Discard(layer);
    Discard(parent);
}

// The thread clears or answers only the command it read: one written
// meanwhile (Fractal::Move's unwaited FTC_CONTINUE) survives.
TEST(TakeCommand, WritesOnlyOverTheExpectedValue)
{
    struct Case {
        int word, expected, value;
        bool written;
        int after;
    } cases[] = {
        {FTC_RECALCULATE, FTC_RECALCULATE, 0, true, 0},
        {FTC_CONTINUE, FTC_RECALCULATE, 0, false, FTC_CONTINUE},
        {FTC_STOP, FTC_STOP, FTC_STOPPED, true, FTC_STOPPED},
        {FTC_START, FTC_STOP, FTC_STOPPED, false, FTC_START},
    };
    FractalTask task;
    for (const Case& c : cases) {
        task.command = c.word;
        EXPECT_EQ(TakeCommand(&task, c.expected, c.value), c.written) << c.word;
        EXPECT_EQ(task.command, c.after) << c.word;
    }
}

// Recolouring runs from the middle outwards, one row on each side in turn,
// and every row is drawn exactly once.
TEST(RecolourFractal, MiddleOutOrderAndEveryRowDrawn)
{
    for (int height : {1, 2, 5, 8}) {
        SCOPED_TRACE(height);
        Recorders recorders;
        Fractal* f = NewFractalWithTask(FT_IMAGE, 4, height);
        RecolourFractal(f, nullptr);
        std::vector<int> expected;
        for (int up = height / 2 - 1, down = height / 2; up >= 0 || down < height;) {
            if (up >= 0)
                expected.push_back(up--);
            if (down < height)
                expected.push_back(down++);
        }
        EXPECT_EQ(g_colouredRows, expected);
        std::vector<int> drawn(height, 0);
        for (auto band : g_drawnBands)
            for (int r = band.first; r <= band.second; ++r)
                drawn[r]++;
        EXPECT_EQ(drawn, std::vector<int>(height, 1));
        Discard(f);
    }
}

// A command ends the recolouring; FTC_REDRAW3D is cleared and does not.
TEST(RecolourAllLines, BottomToTopStoppedByCommandsButNotByRedraw)
{
    Recorders recorders;
    Fractal* f = NewFractalWithTask(FT_IMAGE, 4, 6);
    f->task->command = FTC_REDRAW3D;
    RecolourAllLines(f, 0);
    EXPECT_EQ(g_colouredRows, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(f->task->command, 0);
    g_colouredRows.clear();
    f->task->command = FTC_STOP;
    RecolourAllLines(f, 0);
    EXPECT_TRUE(g_colouredRows.empty());
    EXPECT_TRUE(g_drawnBands.empty());
    Discard(f);
}

TEST(Array2D, AllocateFillFreeAndRefusedSizes)
{
    Array2D a;
    ASSERT_NE(a.Allocate(3, 2, 4), nullptr);
    EXPECT_EQ(a.owns, 1);
    a.Fill(0xA5A5A5A5u);
    const uint32_t* cells = static_cast<const uint32_t*>(a.data);
    EXPECT_TRUE(std::all_of(cells, cells + 6, [](uint32_t v) { return v == 0xA5A5A5A5u; }));
    // A size that overflows 32 bits must fail whole, never allocate short.
    for (auto size : {std::make_pair(0, 5), std::make_pair(-1, 5), std::make_pair(70000, 70000)}) {
        EXPECT_EQ(a.Allocate(size.first, size.second, 4), nullptr);
        EXPECT_FALSE(a.IsAllocated());
        EXPECT_EQ(a.width, 0);
    }
    a.Allocate(2, 2, 1);
    a.Free();
    EXPECT_FALSE(a.IsAllocated());
    EXPECT_EQ(a.owns, 0);
}
