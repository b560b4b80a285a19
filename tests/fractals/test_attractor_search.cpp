// The numeric core of the attractor search: the random walk stays in the
// range, the parameter choice draws distinct numbers, and the exponent
// estimate of small hand-written maps (contracting, escaping, scaled).
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>

#include "compiler/FormulaSymbol.h"
#include "foundation/Buffers.h"
#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorProgram.h"
#include "fractals/attractor/AttractorSearch.h"

namespace {

FormulaFunction* MakePiece(const char* name, std::vector<uint8_t> bytes)
{
    FormulaFunction* f = new FormulaFunction;
    strcpy(f->decoratedName, name);
    f->code->Reserve((int)bytes.size() + 1);
    memcpy(f->code->GetData(), bytes.data(), bytes.size());
    f->codeLength = (uint32_t)bytes.size();
    return f;
}

// z = 0.5 z, coordinate by coordinate (FLD1 FLD1 FADDP gives 2).
std::vector<uint8_t> HalveZ()
{
    std::vector<uint8_t> b;
    const uint8_t loads[3][3] = {{0xDD, 0x07, 0}, {0xDD, 0x47, 0x08}, {0xDD, 0x47, 0x10}};
    const uint8_t stores[3][3] = {{0xDD, 0x1F, 0}, {0xDD, 0x5F, 0x08}, {0xDD, 0x5F, 0x10}};
    for (int k = 0; k < 3; k++) {
        b.insert(b.end(), loads[k], loads[k] + (k ? 3 : 2));
        b.insert(b.end(), {0xD9, 0xE8, 0xD9, 0xE8, 0xDE, 0xC1, 0xDE, 0xF9});
        b.insert(b.end(), stores[k], stores[k] + (k ? 3 : 2));
    }
    return b;
}
// x = 1 / (x - x): infinite at once.
const std::vector<uint8_t> kEscape = {0xD9, 0xE8, 0xDD, 0x07, 0xD8, 0xE0, 0xDE, 0xF9, 0xDD, 0x1F};
// A scale part returning 0.5: FLD1; FLD1; FLD1; FADDP; FDIVP; RET.
const std::vector<uint8_t> kScaleHalf = {0xD9, 0xE8, 0xD9, 0xE8, 0xD9, 0xE8, 0xDE, 0xC1, 0xDE, 0xF9, 0xC3};

int g_Counter = 0;
std::vector<int> g_Script;
int ScriptedRandom()
{
    int v = g_Script.front();
    g_Script.erase(g_Script.begin());
    return v;
}
int CountingRandom() { return (g_Counter = (g_Counter * 1103 + 12345) & 0x7FFF); }

struct SearchPrograms {
    std::vector<FormulaFunction*> pieces;
    GrowBuffer init{0, true}, loop{0, true};
    std::vector<uint8_t> memory = std::vector<uint8_t>(6000, 0);
    uint8_t* base = memory.data() + 3000;
    int mode = 0;

    SearchPrograms(std::vector<std::vector<uint8_t>> loops, std::vector<std::vector<uint8_t>> scales)
    {
        std::vector<AttractorPieces> considered;
        for (size_t k = 0; k < loops.size(); k++) {
            AttractorPieces p;
            pieces.push_back(p.loop = MakePiece("Vloop@@", loops[k]));
            if (k < scales.size())
                pieces.push_back(p.scale = MakePiece("Rscale@@", scales[k]));
            considered.push_back(p);
        }
        mode = EmitAttractorInitGlue(considered, &init, &loop);
        double one = 1;
        memcpy(base + AV_RSCALE_PRODUCT, &one, 8);
    }
    ~SearchPrograms()
    {
        for (FormulaFunction* f : pieces)
            delete f;
    }
    double Estimate(int settle, int measure, double epsilon)
    {
        return EstimateAttractorExponent(base, init.GetData(), loop.GetData(), settle, measure, epsilon, mode,
                                         &CountingRandom);
    }
};

}  // namespace

TEST(AttractorSearch, PerturbationStaysInRange)
{
    struct { double v, lo, hi, randomness; int random; double expected; } cases[] = {
        {0.5, 0, 1, 10, 0, 0.4},          // the walk's lower end
        {0.5, 0, 1, 10, 32767, 0.6},      // its upper end
        {0, 0, 1, 10, 0, 0},              // at the range's end: only inwards
        {0, 0, 1, 10, 32767, 0.1},
        {1, 0, 1, 50, 32767, 1},
        {-2, -2, 2, 100, 16383, -6.1037019e-05},   // the whole range
        {0.25, 0, 1, 0, 32767, 0.25},     // Randomness 0 leaves the value
    };
    for (const auto& c : cases)
        EXPECT_NEAR(PerturbAttractorValue(c.v, c.lo, c.hi, c.randomness, c.random), c.expected, 1e-6)
            << c.v << " in " << c.lo << ".." << c.hi << " by " << c.randomness << "% at " << c.random;
    // a long walk never leaves the range
    double v = 0.9;
    srand(7);
    for (int t = 0; t < 2000; t++) {
        v = PerturbAttractorValue(v, -1, 1, 30, rand() % 32768);
        ASSERT_TRUE(v >= -1 && v <= 1) << t;
    }
}

TEST(AttractorSearch, PicksAreDistinctAndInRange)
{
    EXPECT_TRUE(PickAttractorParameters(0, 3, &CountingRandom).empty());
    EXPECT_TRUE(PickAttractorParameters(-4, 3, &CountingRandom).empty());
    EXPECT_EQ(PickAttractorParameters(5, 3, &CountingRandom), (std::vector<int>{0, 1, 2}));
    // draws 3, 1, 2: the last one is shifted past 1 and then past 3 (walked
    // in the order drawn it would be shifted past 1 only and repeat 3)
    g_Script = {3, 1, 2};
    EXPECT_EQ(PickAttractorParameters(3, 5, &ScriptedRandom), (std::vector<int>{3, 1, 4}));
    for (int trial = 0; trial < 200; trial++) {
        std::vector<int> picks = PickAttractorParameters(3, 5, &CountingRandom);
        ASSERT_EQ(picks.size(), 3u);
        std::sort(picks.begin(), picks.end());
        ASSERT_TRUE(std::unique(picks.begin(), picks.end()) == picks.end());
        ASSERT_TRUE(picks.front() >= 0 && picks.back() < 5);
    }
}

TEST(AttractorSearch, ContractingMapEstimatesLnHalfAndIsRejected)
{
    SearchPrograms s({HalveZ()}, {});
    ASSERT_EQ(s.mode, 1);
    double e = s.Estimate(1000, 100, 0.00001);
    EXPECT_NEAR(e, log(0.5), 1e-9);
    EXPECT_FALSE(AttractorExponentAccepted(1, e));
}

TEST(AttractorSearch, EscapingMapGivesAThousand)
{
    SearchPrograms s({kEscape}, {});
    double e = s.Estimate(1000, 100, 0.00001);
    EXPECT_EQ(e, 1000);
    EXPECT_FALSE(AttractorExponentAccepted(1, e));
}

TEST(AttractorSearch, ScaledTransformationsMultiplyTheirScales)
{
    // every transformation has a scale part: mode 2, the product is the estimate
    SearchPrograms both({HalveZ(), HalveZ()}, {kScaleHalf, kScaleHalf});
    ASSERT_EQ(both.mode, 2);
    EXPECT_EQ(both.loop.GetCapacity() > 0 && static_cast<uint8_t*>(both.loop.GetData())[0] == 0xC3, true);
    double e = both.Estimate(1000, 100, 0.00001);
    EXPECT_EQ(e, 0.25);
    EXPECT_TRUE(AttractorExponentAccepted(2, e));
    // one without: the orbit is measured instead (two halvings: ln 0.25)
    SearchPrograms one({HalveZ(), HalveZ()}, {kScaleHalf});
    ASSERT_EQ(one.mode, 1);
    EXPECT_NEAR(one.Estimate(1000, 100, 0.00001), log(0.25), 1e-9);
}

TEST(AttractorSearch, AcceptanceBounds)
{
    struct { int mode; double e; bool accepted; } cases[] = {
        {1, 0.03, false}, {1, 0.0301, true}, {1, 999.9, true}, {1, 1000, false}, {1, -0.7, false},
        {1, NAN, false}, {2, 0, false}, {2, 0.5, true}, {2, 1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AttractorExponentAccepted(c.mode, c.e), c.accepted) << c.mode << " " << c.e;
}

namespace {

// Scripted estimates; every call records the values it saw.
struct Trials {
    std::vector<double> coarse;          // one per trial (the last repeats)
    double precise = 0;                  // answer of a precise measure
    int stopAtCall = -1;                 // commandPending true from this trial on
    int calls = 0, pendingChecks = 0;
    std::vector<std::vector<double>> seen;
    std::vector<std::string> shown;
    std::vector<double> values = {0.3, 0.3, 0.3, 7};
    const double defaults[4] = {0.5, 0.5, 0.5, 5};
    std::vector<AttractorSearchParameter> parameters;

    Trials()
    {
        for (int k = 0; k < 4; k++) {
            AttractorSearchParameter p;
            p.value = &values[k];
            p.defaults = &defaults[k];
            p.randomizationType = k < 3 ? 1 : 0;
            p.randomizable = k == 3;
            p.integer = k == 3;
            if (k == 3) {
                p.lo = 0;
                p.hi = 10;
            }
            parameters.push_back(p);
        }
    }
    AttractorSearchHooks Hooks()
    {
        AttractorSearchHooks h;
        h.context = this;
        h.estimate = [](void* c, bool precise) {
            Trials* t = static_cast<Trials*>(c);
            if (precise)
                return t->precise;
            t->seen.push_back(t->values);
            double e = t->coarse[std::min<size_t>(t->calls, t->coarse.size() - 1)];
            t->calls++;
            return e;
        };
        h.commandPending = [](void* c) {
            Trials* t = static_cast<Trials*>(c);
            return t->stopAtCall >= 0 && t->pendingChecks++ >= t->stopAtCall;
        };
        h.show = [](void* c, const char* text) { static_cast<Trials*>(c)->shown.push_back(text); };
        h.random = &CountingRandom;
        return h;
    }
};

}  // namespace

TEST(AttractorSearchTrials, CountOneMovesOneParameterAndResetsTheOthers)
{
    Trials t;
    t.coarse = {-0.69};
    double e = 0;
    EXPECT_EQ(RunAttractorTrials(t.parameters, 1, 10, 1, false, t.Hooks(), &e, 6), SEARCH_EXHAUSTED);
    ASSERT_EQ(t.seen.size(), 6u);
    for (const auto& v : t.seen) {
        int moved = 0;
        for (int k = 0; k < 3; k++) {
            if (v[k] != 0.5)
                moved++;
            EXPECT_TRUE(v[k] >= 0 && v[k] <= 1) << "in the range";
        }
        EXPECT_EQ(moved, 1);
        EXPECT_EQ(v[3], trunc(v[3])) << "an int parameter stays whole";
        EXPECT_TRUE(v[3] >= 0 && v[3] <= 10);
    }
    // nothing found: the values before the search come back
    EXPECT_EQ(t.values, (std::vector<double>{0.3, 0.3, 0.3, 7}));
    EXPECT_EQ(t.shown.front(), "Searching...0");
}

TEST(AttractorSearchTrials, OnlyAFoundSetStays)
{
    // the third trial's coarse estimate leads to an accepted precise one
    Trials found;
    found.coarse = {1000, -1, 0.01};
    found.precise = 0.5;
    EXPECT_EQ(RunAttractorTrials(found.parameters, 0, 10, 1, false, found.Hooks(), nullptr), SEARCH_FOUND);
    EXPECT_EQ(found.calls, 3);
    EXPECT_EQ(found.values, found.seen.back()) << "the accepted values stay";
    EXPECT_EQ(found.shown.back(), "Searching...2");

    // a command during the search: restored
    Trials stopped;
    stopped.coarse = {-1};
    stopped.stopAtCall = 2;
    EXPECT_EQ(RunAttractorTrials(stopped.parameters, 0, 10, 1, false, stopped.Hooks(), nullptr), SEARCH_STOPPED);
    EXPECT_EQ(stopped.calls, 2);
    EXPECT_EQ(stopped.values, (std::vector<double>{0.3, 0.3, 0.3, 7}));

    // a negative count other than -1 resets every type-1 parameter
    Trials negative;
    negative.coarse = {-1};
    RunAttractorTrials(negative.parameters, -4, 10, 1, false, negative.Hooks(), nullptr, 2);
    for (const auto& v : negative.seen)
        EXPECT_EQ(std::vector<double>(v.begin(), v.begin() + 3), (std::vector<double>{0.5, 0.5, 0.5}));
}

TEST(AttractorSearchTrials, MeasureOnlyShowsTheExponentAndKeepsTheValues)
{
    Trials t;
    t.coarse = {log(0.5)};
    double e = 0;
    EXPECT_EQ(RunAttractorTrials(t.parameters, 0, 10, 1, true, t.Hooks(), &e), SEARCH_MEASURED);
    EXPECT_EQ(t.calls, 1);
    EXPECT_EQ(t.seen[0], (std::vector<double>{0.3, 0.3, 0.3, 7})) << "measured as they are";
    EXPECT_EQ(t.shown.back(), "Exponent:  -0.693");
}
