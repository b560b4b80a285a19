// spxcalc task run as a new user would: commands to a windowless task,
// their answers and the completion count, and the refusals of bad input.
// The child's task starts a calculation thread (new Thread( in the task's
// construction), so this program carries the thread tests' label.
#include <gtest/gtest.h>
#include <string>
#include "tests/support/ToolRunner.h"

TEST(SpxcalcTask, AnswersAndCompletions)
{
    struct Case {
        const char* arguments;
        const char* output;
    } cases[] = {
        // The recolour of a fractal with nothing to recolour calculates.
        {"task stop start recalculate recolour 10 quit",
         "stop answer=3\nstart answer=0\nrecalculate answer=0\nrecolour answer=0\n10 answer=0\nquit answer=5\n"
         "done=2 critical=0\n"},
        // Before start nothing calculates; stop is answered all the same.
        {"task --type Escapetime recalculate stop continue",
         "recalculate answer=0\nstop answer=3\ncontinue answer=0\ndone=0 critical=0\n"},
        // The thread's own answer value is never cleared: the wait times out.
        {"task 3", "3 answer=timeout\ndone=0 critical=1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        ToolRun run = RunSibling("spxcalc.exe", c.arguments);
        EXPECT_EQ(run.exitCode, 0u) << run.errors;
        EXPECT_EQ(run.output, c.output);
    }
}

TEST(SpxcalcTask, RefusesBadInput)
{
    for (const char* arguments : {"task", "task bogus", "task --type Nope start", "task quit start"}) {
        SCOPED_TRACE(arguments);
        ToolRun run = RunSibling("spxcalc.exe", arguments);
        EXPECT_NE(run.exitCode, 0u);
        EXPECT_TRUE(run.output.empty());
        EXPECT_FALSE(run.errors.empty());
    }
}
