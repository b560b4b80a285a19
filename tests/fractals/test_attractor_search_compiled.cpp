// The attractor search on compiled formulas: a chaotic map is found and its
// new value committed (1034 posted); a contracting map is measured at about
// ln 0.5, never accepted, and leaves its values as they were with a report
// instead of a commit; a formula that does not compile ends the search with
// its message and the values untouched.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <string>
#include <vector>

#include "calc/FractalTask.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "document/Fractal.h"
#include "document/FormulaDefaults.h"
#include "document/QuaternionParameters.h"
#include "formulas/FormulaKind.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Services.h"
#include "fractals/AttractorFormula.h"
#include "fractals/attractor/SearchAttractor.h"

namespace {

std::vector<UINT> g_Posts;
bool RecordPost(UINT message, WPARAM, LPARAM)
{
    g_Posts.push_back(message);
    return true;
}
int Count(UINT message)
{
    int n = 0;
    for (UINT m : g_Posts)
        n += m == message;
    return n;
}

// The logistic map r -> a r (1 - r) on the length r of z, along its ray:
// chaotic for a near 4, r stays in 0..1.
const char* kLogistic =
    "logistic(ATTRACTOR)\n{\n\tparameter real a;\n\tvoid loop(void)\n\t{\n"
    "\t\tz = z * (a * (1 - cabs(z)));\n\t}\n"
    "\tvoid description(void)\n\t{\n\t\ta.default = 3.95;\n\t\ta.min = 3.9;\n\t\ta.max = 4;\n"
    "\t\ta.randomizable = true;\n\t}\n}\n";
// z -> s z: contracting for every s of its range.
const char* kShrink =
    "shrink(ATTRACTOR)\n{\n\tparameter real s;\n\tvoid loop(void)\n\t{\n\t\tz = z * s;\n\t}\n"
    "\tvoid description(void)\n\t{\n\t\ts.default = 0.5;\n\t\ts.min = 0.3;\n\t\ts.max = 0.7;\n"
    "\t\ts.randomizable = true;\n\t}\n}\n";

class SearchRig : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InitProcessorFeatures();
        fixupTemplates();
    }
    SearchRig() : fractal(FT_ATTRACTOR, 0), block(static_cast<AttractorParameters*>(fractal.typeParameters))
    {
        task.fractal = &fractal;
        fractal.task = &task;
        block->formulas.DeleteAllNodes();
        block->Randomness = 100;
        g_Posts.clear();
        Services().postToMainFrame = &RecordPost;
        g_AttractorSearchTrials = 20;
    }
    ~SearchRig() override
    {
        g_AttractorSearchTrials = 100000;
        Services().postToMainFrame = nullptr;
        fractal.task = nullptr;
    }
    AttractorFormula* AddMap(const char* text, const char* name)
    {
        AttractorFormula* formula = new AttractorFormula();
        AttractorTransformation* t = new AttractorTransformation(formula);
        t->holder = new FormulaHolder(FK_ITERATION);
        t->holder->SetSource(text);
        strcpy(t->entryName, name);
        strcpy(t->foundName, name);
        formula->transformations.Append(t);
        block->formulas.Append(formula);
        // the parameter list the formula declares, with its defaults, as
        // the parameter window makes it from a compile of the holder
        t->holder->compiler->compile(text, 0, -128, &t->parameters, &t->functions, &fractal, name, 11, nullptr, false,
                                     false);
        ApplyFormulaParameters(&fractal, &t->parameters, &t->functions, t->holder, 1);
        return formula;
    }
    // The first parameter of the formula's first transformation.
    FormulaSymbol* Parameter(AttractorFormula* formula)
    {
        AttractorTransformation* t = static_cast<AttractorTransformation*>(formula->transformations.GetHead());
        return static_cast<FormulaSymbol*>(t->parameters.GetHead());
    }
    Fractal fractal;
    AttractorParameters* block;
    FractalTask task;
};

}  // namespace

TEST_F(SearchRig, ChaoticMapIsFoundAndCommitted)
{
    AttractorFormula* map = AddMap(kLogistic, "logistic");
    double e = 0;
    ASSERT_EQ(SearchAttractorFormula(&fractal, map, 0, false, &e, 50), SEARCH_FOUND);
    FormulaSymbol* a = Parameter(map);
    ASSERT_NE(a, nullptr);
    EXPECT_GE(a->value[0], 3.9);
    EXPECT_LE(a->value[0], 4.0);
    // the logistic map near 4 has an exponent near ln 2
    EXPECT_GT(e, 0.03);
    EXPECT_LT(e, 1.0);

    g_Posts.clear();
    SearchAttractor(&fractal, 0, 0, 0);
    EXPECT_EQ(Count(UM_NEW_RANDOM_PARAMETERS), 1);
}

TEST_F(SearchRig, ContractingMapIsMeasuredRejectedAndRestored)
{
    AttractorFormula* map = AddMap(kShrink, "shrink");
    double e = 0;
    ASSERT_EQ(SearchAttractorFormula(&fractal, map, 0, true, &e), SEARCH_MEASURED);
    EXPECT_NEAR(e, log(0.5), 0.01);
    FormulaSymbol* s = Parameter(map);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->value[0], 0.5) << "a measure moves nothing";

    s->value[0] = 0.6;
    ASSERT_EQ(SearchAttractorFormula(&fractal, map, 0, false, &e, 20), SEARCH_EXHAUSTED);
    EXPECT_EQ(s->value[0], 0.6) << "the last trial's value must not stay";
    EXPECT_LT(e, 0);
}

TEST_F(SearchRig, FailuresAreReportedNotCommitted)
{
    struct Case {
        const char* what;
        const char* text;
    } cases[] = {
        {"broken formula", "broken(ATTRACTOR)\n{\n\tparameter real s;\n\tvoid loop(void)\n\t{\n\t\tz = ;\n\t}\n}\n"},
        {"missing formula", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        block->formulas.DeleteAllNodes();
        AttractorFormula* map = AddMap(c.text, c.what);
        EXPECT_EQ(SearchAttractorFormula(&fractal, map, 0, false, nullptr, 20), SEARCH_FAILED);
        g_Posts.clear();
        SearchAttractor(&fractal, 0, 0, 0);
        EXPECT_EQ(Count(UM_NEW_RANDOM_PARAMETERS), 0);
        EXPECT_GE(Count(UM_NEW_MESSAGE), 1) << "the failure is told";
    }
    // A contracting map is searched to the end without a commit, but told.
    block->formulas.DeleteAllNodes();
    AddMap(kShrink, "shrink");
    g_Posts.clear();
    SearchAttractor(&fractal, 0, 0, 0);
    EXPECT_EQ(Count(UM_NEW_RANDOM_PARAMETERS), 0);
    EXPECT_GE(Count(UM_NEW_MESSAGE), 1);
}
