// The change commits: which command each one sends, for which fractal
// types, and when an undo step is recorded. A stand-in calculation thread
// (new Thread( below) records every command word it sees and answers it
// at once.
#include <gtest/gtest.h>
#include <vector>
#include "foundation/Thread.h"
#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"

namespace {

CRITICAL_SECTION g_lock;
std::vector<int> g_seen;

DWORD Echo(Thread* thread)
{
    Fractal* f = static_cast<Fractal*>(thread->userData);
    while (thread->state != THREAD_STATE_STOP) {
        int c = f->task->command;
        if (c != 0 && c != FTC_STOPPED) {
            EnterCriticalSection(&g_lock);
            g_seen.push_back(c);
            LeaveCriticalSection(&g_lock);
            f->task->command = c == FTC_STOP ? FTC_STOPPED : 0;
        }
        Sleep(1);
    }
    return 0;
}

std::vector<int> Seen()
{
    EnterCriticalSection(&g_lock);
    std::vector<int> seen = g_seen;
    g_seen.clear();
    LeaveCriticalSection(&g_lock);
    return seen;
}

// A fractal of the type with a bare task and the echoing thread.
struct EchoFractal {
    explicit EchoFractal(int type)
    {
        fractal = new Fractal(type, 0);
        fractal->header->Width = 8;
        fractal->header->Height = 4;
        fractal->header->Dims = 1;
        AttachBareTask(fractal);
        fractal->task->thread = new Thread(&Echo, fractal, true, 0);
    }
    ~EchoFractal()
    {
        delete fractal->task->thread;
        fractal->task->thread = nullptr;
        FreeBareTask(fractal);
        delete fractal;
    }
    int Steps() const { return fractal->undoSteps.Count(); }
    Fractal* fractal;
};

class Commits : public testing::Test {
protected:
    void SetUp() override
    {
        InitializeCriticalSection(&g_lock);
        g_seen.clear();
        savedUndoSteps = g_UndoSteps;
        g_UndoSteps = 50;
    }
    void TearDown() override
    {
        g_UndoSteps = savedUndoSteps;
        DeleteCriticalSection(&g_lock);
    }
    int savedUndoSteps = 0;
};

typedef int (Fractal::*CommitMethod)(int, const char*);

}  // namespace

// The commit family by type: the area and 3D commits do nothing (no undo
// step, no command) for types without an area view or a height-field 3D
// view; the others always record and send.
TEST_F(Commits, CommandsAndUndoStepsByType)
{
    const std::vector<int> none;
    const std::vector<int> recalculate = {FTC_RECALCULATE};
    const std::vector<int> redraw = {FTC_REDRAW3D};
    struct Case {
        const char* name;
        CommitMethod method;
        int type;
        std::vector<int> sent;
    } cases[] = {
        {"area, escape-time", &Fractal::CommitAreaChange, FT_ESCAPETIME, recalculate},
        {"area, IFS", &Fractal::CommitAreaChange, FT_IFS, recalculate},
        {"area, layered", &Fractal::CommitAreaChange, FT_LAYERED, none},
        {"area, quaternion", &Fractal::CommitAreaChange, FT_QUATERNION, none},
        {"area, attractor", &Fractal::CommitAreaChange, FT_ATTRACTOR, none},
        {"3D, escape-time", &Fractal::Commit3DChange, FT_ESCAPETIME, redraw},
        {"3D, plasma", &Fractal::Commit3DChange, FT_PLASMA, redraw},
        {"3D, IFS", &Fractal::Commit3DChange, FT_IFS, none},
        {"3D, attractor", &Fractal::Commit3DChange, FT_ATTRACTOR, none},
        {"recalculate, attractor", &Fractal::CommitAndRecalculate, FT_ATTRACTOR, recalculate},
        {"calculate, escape-time", &Fractal::CommitAndCalculate, FT_ESCAPETIME, {FTC_RECALCULATE, FTC_CONTINUE}},
        {"calculate, attractor", &Fractal::CommitAndCalculate, FT_ATTRACTOR, {FTC_CONTINUE}},
        {"recolour, layered", &Fractal::CommitAndRecolour, FT_LAYERED, {FTC_RECOLOUR}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EchoFractal e(c.type);
        int before = e.Steps();
        int result = (e.fractal->*c.method)(0, "3D: Shading");
        EXPECT_EQ(Seen(), c.sent);
        EXPECT_EQ(e.Steps() - before, c.sent.empty() ? 0 : 1);
        EXPECT_EQ(result != 0, !c.sent.empty());
    }
}

// The same state committed twice is one undo step, but both commits send;
// with undo switched off nothing is stored and the command still goes.
TEST_F(Commits, UnchangedStateAndUndoOff)
{
    EchoFractal e(FT_ESCAPETIME);
    int before = e.Steps();
    e.fractal->CommitAndRecolour(0, "Palette changed");
    e.fractal->CommitAndRecolour(0, "Palette changed");
    EXPECT_EQ(Seen(), (std::vector<int>{FTC_RECOLOUR, FTC_RECOLOUR}));
    EXPECT_EQ(e.Steps() - before, 1);

    g_UndoSteps = 0;
    e.fractal->CommitAreaChange(0, "Zoom");
    EXPECT_EQ(Seen(), (std::vector<int>{FTC_RECALCULATE}));
    EXPECT_EQ(e.Steps(), 0);
}

// The apply family: record 0 acts without recording (ApplyRedraw3D then
// ignores the type), record with recordOnly records without acting.
TEST_F(Commits, ApplyFamily)
{
    typedef int (Fractal::*ApplyMethod)(const char*, int, int);
    struct Case {
        const char* name;
        ApplyMethod method;
        int type;
        int record, recordOnly;
        std::vector<int> sent;
        int steps;
    } cases[] = {
        {"redraw, no record, IFS", &Fractal::ApplyRedraw3D, FT_IFS, 0, 0, {FTC_REDRAW3D}, 0},
        {"redraw, record, IFS", &Fractal::ApplyRedraw3D, FT_IFS, 1, 0, {}, 0},
        {"redraw, record", &Fractal::ApplyRedraw3D, FT_ESCAPETIME, 1, 0, {FTC_REDRAW3D}, 1},
        {"recalculate, record only", &Fractal::ApplyRecalculate, FT_ESCAPETIME, 1, 1, {}, 1},
        {"recalculate, no record", &Fractal::ApplyRecalculate, FT_ESCAPETIME, 0, 1, {FTC_RECALCULATE}, 0},
        {"calculate, record", &Fractal::ApplyCalculate, FT_ATTRACTOR, 1, 0, {FTC_CONTINUE}, 1},
        {"recolour, record", &Fractal::ApplyRecolour, FT_ESCAPETIME, 1, 0, {FTC_RECOLOUR}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EchoFractal e(c.type);
        int before = e.Steps();
        (e.fractal->*c.method)("3D: Fog Mode", c.record, c.recordOnly);
        EXPECT_EQ(Seen(), c.sent);
        EXPECT_EQ(e.Steps() - before, c.steps);
    }
}
