// The L-system calculation reads its formula while another thread replaces
// the rules: every calculation must draw one whole rule set (it works from
// a copy taken under the formulas' lock), never a mix or freed text.
#include <gtest/gtest.h>

#include <windows.h>

#include "document/PlainBlocks.h"
#include "fractals/lsystem/LSystemCalculator.h"
#include "fractals/lsystem/LSystemFormula.h"
#include "tests/fractals/DrawingTestSupport.h"

namespace {

volatile LONG g_stop = 0;

DWORD WINAPI SwapRules(void* argument)
{
    LSystemFormula* formula = static_cast<LSystemFormula*>(argument);
    for (int i = 0; !g_stop; i++)
        formula->SetRules(i % 2 ? "F=F+F-F" : "F=FF-F+FF G=F");
    return 0;
}

TEST(LSystemThreads, CalculationDrawsOneWholeRuleSet)
{
    DrawingFractal t(FT_LSYSTEM, 0, 32, 32);
    LSystemFormula* formula = new LSystemFormula("Swapped");
    formula->SetAxiom("F");
    formula->SetRules("F=F+F-F");
    g_LSystemFormulas.InsertSorted(formula, false);
    LSystemParameters* p = t.Params<LSystemParameters>();
    p->MaxIter = 4;
    strcpy(p->Formula, "Swapped");

    g_stop = 0;
    HANDLE thread = CreateThread(nullptr, 0, SwapRules, formula, 0, nullptr);
    ASSERT_TRUE(thread != nullptr);
    // Depth 4: 3^4 = 81 segments with the first set, 5^4 = 625 with the second.
    for (int run = 0; run < 30; run++) {
        TraceRecorder trace;
        ASSERT_EQ(0, CalculateLSystem(t.fractal));
        size_t n = TraceRecorder::steps().size();
        EXPECT_TRUE(n == 81 || n == 625) << n;
    }
    g_stop = 1;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    g_LSystemFormulas.Remove(formula);
    delete formula;
}

}  // namespace
