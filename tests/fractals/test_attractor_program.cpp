// The attractor program: its bytes for a two-formula fixture, and what one
// batch does with tiny hand-written formula pieces (fixed maps, halving,
// post transformations, hidden formulas and hidden points) against a plain
// reference of the selection generator.
#include <gtest/gtest.h>

#include <string.h>
#include <memory>
#include <vector>

#include "compiler/CodeTemplate.h"
#include "compiler/FormulaSymbol.h"
#include "foundation/Buffers.h"
#include "foundation/List.h"
#include "fractals/AttractorFormula.h"
#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorProgram.h"
#include "fractals/attractor/AttractorWorkers.h"

namespace {

template <typename T>
T& At(uint8_t* p, int offset) { return *reinterpret_cast<T*>(p + offset); }

// A compiled part made of the given bytes.
FormulaFunction* MakePiece(const char* name, std::vector<uint8_t> bytes)
{
    FormulaFunction* f = new FormulaFunction;
    strcpy(f->decoratedName, name);
    f->code->Reserve((int)bytes.size() + 1);
    memcpy(f->code->GetData(), bytes.data(), bytes.size());
    f->codeLength = (uint32_t)bytes.size();
    return f;
}

// x87 pieces on the block (EDI): z = (c, 0, 0) with c = 1, 2 or 3; x = x / 2;
// x = x + 1; hiddenPixel = 1.
std::vector<uint8_t> SetX(int c)
{
    std::vector<uint8_t> b = {0xD9, 0xE8};                 // FLD1
    for (int i = 1; i < c; i++)
        b.insert(b.end(), {0xD9, 0xE8, 0xDE, 0xC1});      // FLD1; FADDP
    b.insert(b.end(), {0xDD, 0x1F, 0xD9, 0xEE, 0xDD, 0x5F, 0x08, 0xD9, 0xEE, 0xDD, 0x5F, 0x10});
    return b;
}
const std::vector<uint8_t> kHalveX = {0xDD, 0x07, 0xD9, 0xE8, 0xD9, 0xE8, 0xDE, 0xC1, 0xDE, 0xF9, 0xDD, 0x1F};
const std::vector<uint8_t> kAddOneX = {0xD9, 0xE8, 0xDD, 0x07, 0xDE, 0xC1, 0xDD, 0x1F};
const std::vector<uint8_t> kHide = {0xD9, 0xE8, 0xDB, 0x9F, 0xB0, 0x01, 0x00, 0x00};

struct Block {
    std::vector<uint8_t> memory = std::vector<uint8_t>(6000, 0);
    std::vector<uint8_t> records = std::vector<uint8_t>(ATTRACTOR_BATCH * ATTRACTOR_RECORD_SIZE + 64, 0);
    std::vector<int32_t> history = std::vector<int32_t>(ATTRACTOR_HISTORY_SIZE, 0);
    uint8_t* base = memory.data() + 3000;

    Block()
    {
        At<int32_t>(base, AV_BATCH_SIZE) = ATTRACTOR_BATCH;
        At<uint8_t*>(base, AV_POINT_BUFFER) = records.data();
        At<int32_t*>(base, AV_HISTORY) = history.data();
        At<uint32_t>(base, AV_ONCE_TRAFO) = 0xFFFFFFFFu;
        At<uint8_t>(base, AV_PROJECT_FLAG) = 0;
        At<int32_t>(base, AV_SELECTION_STATE) = 17363123;
    }
    const AttractorSpaceRecord& Record(int n) const
    {
        return *reinterpret_cast<const AttractorSpaceRecord*>(records.data() + n * ATTRACTOR_RECORD_SIZE);
    }
};

class AttractorProgramTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InitProcessorFeatures();
        fixupTemplates();
    }
    ~AttractorProgramTest() override
    {
        for (FormulaFunction* f : pieces)
            delete f;
    }
    FormulaFunction* Piece(const char* name, std::vector<uint8_t> bytes)
    {
        pieces.push_back(MakePiece(name, bytes));
        return pieces.back();
    }
    AttractorMapCode Map(float weight, std::vector<std::pair<std::vector<uint8_t>, bool>> loops)
    {
        AttractorMapCode map;
        map.weight = weight;
        for (auto& l : loops) {
            AttractorPieces p;
            p.loop = Piece("Vloop@@", l.first);
            p.post = l.second;
            map.transformations.push_back(p);
        }
        return map;
    }
    uint8_t* Code() { return static_cast<uint8_t*>(code.GetData()); }

    std::vector<FormulaFunction*> pieces;
    GrowBuffer code{0, true};
};

// The reference of the selection: the state steps as state * 0x08077405 + 1
// and picks the first formula whose threshold the signed state does not exceed.
std::vector<int> ReferenceSelection(uint32_t state, const std::vector<int32_t>& thresholds, int n)
{
    std::vector<int> picks;
    for (int i = 0; i < n; i++) {
        state = state * 0x08077405u + 1;
        int k = 0;
        while (k < (int)thresholds.size() && (int32_t)state > thresholds[k])
            k++;
        picks.push_back(k + 1);
    }
    return picks;
}

}  // namespace

TEST(AttractorSelection, ThresholdsFollowTheWeights)
{
    struct { double before, weight; float total; int32_t expected; } cases[] = {
        {0, 1, 4, -1073741824},      // weights 1 and 3
        {0, 1, 2, 0},
        {1, 1, 4, 0},                // the second of four equal weights
        {0, 3, 3, 2147483647},       // everything: no overflow to the negative
        {0, 0, 4, -2147483647 - 1},
        {0, 1, 0, 2147483647},       // a zero total
    };
    for (const auto& c : cases)
        EXPECT_EQ(AttractorSelectionThreshold(c.before, c.weight, c.total), c.expected)
            << c.before << " " << c.weight << " " << c.total;
}

TEST_F(AttractorProgramTest, TwoFormulaProgramBytes)
{
    AttractorProgramInput in;
    in.maps.push_back(Map(1, {{{0x90}, false}}));
    in.maps.push_back(Map(3, {{{0x90, 0x90}, true}}));
    ASSERT_TRUE(AssembleAttractorProgram(&code, in));
    const uint8_t* p = Code();
    // prologue, then the colouring init block guarding the copy of z
    const uint8_t head[] = {0xC8, 0xB0, 0x00, 0x00, 0xF6, 0x87, 0x4B, 0x02, 0x00, 0x00, 0xFF,
                            0x0F, 0x84, 0x21, 0x00, 0x00, 0x00, 0xC6, 0x87, 0x4B, 0x02, 0x00, 0x00, 0x00};
    ASSERT_EQ(0, memcmp(p, head, sizeof head));
    const uint8_t copyZ[] = {0xDD, 0x07, 0xDD, 0x9F, 0x90, 0x01, 0x00, 0x00, 0xDD, 0x47, 0x08, 0xDD, 0x9F, 0x98,
                             0x01, 0x00, 0x00, 0xDD, 0x47, 0x10, 0xDD, 0x9F, 0xA0, 0x01, 0x00, 0x00};
    EXPECT_EQ(0, memcmp(p + 24, copyZ, sizeof copyZ));
    const int select = 24 + 26;
    const uint8_t generator[] = {0x8B, 0x87, 0x68, 0x02, 0x00, 0x00, 0x69, 0xC0, 0x05,
                                 0x74, 0x07, 0x08, 0x40, 0x89, 0x87, 0x68, 0x02, 0x00, 0x00};
    EXPECT_EQ(0, memcmp(p + select, generator, sizeof generator));
    const int first = select + sizeof generator;
    // weights 1 and 3: the first formula takes states up to -2^30
    const uint8_t compare[] = {0x3D, 0x00, 0x00, 0x00, 0xC0, 0x7F, 0x35, 0x33, 0xDB, 0x8B, 0x87, 0x28, 0x02, 0x00,
                               0x00, 0x66, 0x8B, 0x9F, 0x60, 0x01, 0x00, 0x00, 0xC7, 0x04, 0x98, 0x01, 0x00, 0x00, 0x00,
                               0xD9, 0x05};
    EXPECT_EQ(0, memcmp(p + first, compare, sizeof compare));
    // the float operands are absolute addresses of the floats behind the block
    EXPECT_EQ(At<uint32_t>(Code(), first + 31),
              (uint32_t)(uintptr_t)(p + first + 52));
    EXPECT_EQ(At<uint32_t>(Code(), first + 37), (uint32_t)(uintptr_t)(p + first + 56));
    EXPECT_EQ(At<float>(Code(), first + 52), 0.25f);
    EXPECT_EQ(At<float>(Code(), first + 56), 0.0f);
    // the last formula has no compare and numbers itself 2
    const int second = first + 60;
    EXPECT_EQ(p[second], 0x33);
    EXPECT_EQ(At<int32_t>(Code(), second + 18), 2);
    EXPECT_EQ(At<float>(Code(), second + 45), 0.75f);
    EXPECT_EQ(At<float>(Code(), second + 49), 0.25f);
    // the chains begin 60 × count - 7 bytes after the first selection block
    const int chain1 = first + 60 * 2 - 7;
    EXPECT_EQ(At<int32_t>(Code(), first + 48) + first + 52, chain1);
    EXPECT_EQ(p[chain1], 0xDD) << "load of the orbit point";
    EXPECT_EQ(p[chain1 + 26], 0x90);
    EXPECT_EQ(p[chain1 + 27 + 26], 0xE9) << "the first chain jumps to the loop test";
    const int chain2 = chain1 + 27 + 26 + 5;
    EXPECT_EQ(At<int32_t>(Code(), second + 41) + second + 45, chain2);
    // the post transformation has no load and store
    EXPECT_EQ(p[chain2], 0x90);
    EXPECT_EQ(p[chain2 + 1], 0x90);
    const int loopTest = chain2 + 2;
    EXPECT_EQ(At<int32_t>(Code(), chain1 + 27 + 26 + 1) + chain1 + 27 + 26 + 5, loopTest);
    const uint8_t test[] = {0x41, 0x3B, 0x8F, 0x50, 0x02, 0x00, 0x00, 0x0F, 0x8F};
    EXPECT_EQ(0, memcmp(p + loopTest, test, sizeof test));
}

TEST_F(AttractorProgramTest, OneBatchOfAFixedMapGives1024Records)
{
    AttractorProgramInput in;
    in.maps.push_back(Map(1, {{SetX(3), false}}));
    ASSERT_TRUE(AssembleAttractorProgram(&code, in));
    Block b;
    uint16_t status = 0;
    EXPECT_EQ(RunAttractorProgram(code.GetData(), b.base, &status), 1024);
    EXPECT_EQ(status & 0x3F, 0);
    for (int n = 0; n < 1024; n++) {
        ASSERT_EQ(b.Record(n).point[0], 3.0f) << n;
        ASSERT_EQ(b.Record(n).point[1], 0.0f) << n;
        ASSERT_EQ(b.history[n], 1);
    }
    EXPECT_EQ(At<int32_t>(b.base, AV_NUMITER), 1024);
    EXPECT_EQ(At<double>(b.base, AV_Z_TEMP), 3.0) << "the orbit point follows the map";
    EXPECT_EQ(At<uint8_t>(b.base, AV_ONCE_COLOUR_INIT), 0);
    // the next call continues: numiter runs on, the orbit is not restarted
    EXPECT_EQ(RunAttractorProgram(code.GetData(), b.base), 1024);
    EXPECT_EQ(At<int32_t>(b.base, AV_NUMITER), 2048);
}

TEST_F(AttractorProgramTest, SelectionMatchesTheReferenceGenerator)
{
    AttractorProgramInput in;
    in.maps.push_back(Map(1, {{SetX(1), false}}));
    in.maps.push_back(Map(3, {{SetX(2), false}}));
    ASSERT_TRUE(AssembleAttractorProgram(&code, in));
    Block b;
    ASSERT_EQ(RunAttractorProgram(code.GetData(), b.base), 1024);
    std::vector<int> expected = ReferenceSelection(17363123, {-1073741824}, 1024);
    int ones = 0;
    for (int n = 0; n < 1024; n++) {
        ASSERT_EQ(b.history[n], expected[n]) << n;
        ASSERT_EQ(b.Record(n).point[0], (float)expected[n]) << "the chosen formula's point";
        ones += expected[n] == 1;
    }
    EXPECT_NEAR(ones, 256, 64);
    EXPECT_EQ((uint32_t)At<int32_t>(b.base, AV_SELECTION_STATE) != 17363123u, true);
}

TEST_F(AttractorProgramTest, PostTransformationMovesOnlyThePlottedPoint)
{
    struct { bool post; float expected[3]; } cases[] = {
        {true, {5, 3, 2}},          // orbit 8, 4, 2, 1; plotted orbit + 1
        {false, {5, 3.5f, 2.75f}},  // the +1 feeds back
    };
    for (const auto& c : cases) {
        AttractorProgramInput in;
        in.maps.push_back(Map(1, {{kHalveX, false}, {kAddOneX, c.post}}));
        ASSERT_TRUE(AssembleAttractorProgram(&code, in));
        Block b;
        At<double>(b.base, AV_Z) = 8;
        ASSERT_EQ(RunAttractorProgram(code.GetData(), b.base), 1024);
        for (int n = 0; n < 3; n++)
            EXPECT_EQ(b.Record(n).point[0], c.expected[n]) << "post " << c.post << " record " << n;
    }
}

TEST_F(AttractorProgramTest, HiddenFormulasAndHiddenPoints)
{
    // three formulas, the middle one hidden: numbers and weights skip it
    NodeList formulas;
    NodeList lists[3];
    for (int k = 0; k < 3; k++) {
        AttractorFormula* f = new AttractorFormula;
        f->weight = 1;
        f->flags = k == 1 ? ATTRACTOR_FORMULA_HIDDEN : 0;
        AttractorTransformation* t = new AttractorTransformation(f);
        lists[k].Append(MakePiece("Vloop@@", SetX(k + 1)));
        t->data = &lists[k];
        f->transformations.Append(t);
        formulas.Append(f);
    }
    AttractorProgramInput in = CollectAttractorPieces(&formulas, nullptr, nullptr, 0);
    ASSERT_EQ(in.maps.size(), 2u);
    ASSERT_TRUE(AssembleAttractorProgram(&code, in));
    Block b;
    ASSERT_EQ(RunAttractorProgram(code.GetData(), b.base), 1024);
    std::vector<int> expected = ReferenceSelection(17363123, {0}, 1024);
    for (int n = 0; n < 1024; n++) {
        ASSERT_EQ(b.history[n], expected[n]);
        ASSERT_EQ(b.Record(n).point[0], expected[n] == 1 ? 1.0f : 3.0f);
    }
    for (ListNode* n = formulas.GetHead(); n; n = n->next)
        static_cast<AttractorFormula*>(n)->transformations.GetHead()->data = nullptr;
    formulas.DeleteAllNodes();
    for (auto& l : lists)
        l.DeleteAllNodes();

    // the first formula hides its points: only the second one's are
    // written, so the flag is cleared after each hidden point
    AttractorProgramInput hiding;
    hiding.maps.push_back(Map(1, {{SetX(1), false}, {kHide, true}}));
    hiding.maps.push_back(Map(3, {{SetX(2), false}}));
    ASSERT_TRUE(AssembleAttractorProgram(&code, hiding));
    Block h;
    std::vector<int> picks = ReferenceSelection(17363123, {-1073741824}, 1024);
    int visible = 0;
    for (int pick : picks)
        visible += pick == 2;
    ASSERT_EQ(RunAttractorProgram(code.GetData(), h.base), visible);
    for (int n = 0; n < visible; n++)
        ASSERT_EQ(h.Record(n).point[0], 2.0f);
    EXPECT_EQ(At<int32_t>(h.base, AV_NUMITER), 1024) << "hidden points are counted";
}

TEST_F(AttractorProgramTest, EscapingOrbitRestartsInTheCube)
{
    // x = 1 / (x - x): the orbit is infinite after the first step
    AttractorProgramInput in;
    in.maps.push_back(Map(1, {{{0xD9, 0xE8, 0xDD, 0x07, 0xD8, 0xE0, 0xDE, 0xF9, 0xDD, 0x1F}, false}}));
    ASSERT_TRUE(AssembleAttractorProgram(&code, in));
    Block b;
    AttractorPointWork work;
    work.base = b.base;
    work.program = code.GetData();
    EXPECT_EQ(IterateAttractorBatch(&work), 1024);
    EXPECT_EQ(work.restarts, 1);
    for (int k = 0; k < 3; k++) {
        double z = At<double>(b.base, AV_Z + 8 * k);
        EXPECT_TRUE(z >= -1 && z <= 1) << k;
        EXPECT_EQ(z, At<double>(b.base, AV_Z_TEMP + 8 * k));
    }
    // a finite orbit is left alone
    AttractorProgramInput fixed;
    fixed.maps.push_back(Map(1, {{SetX(2), false}}));
    ASSERT_TRUE(AssembleAttractorProgram(&code, fixed));
    work.program = code.GetData();
    EXPECT_EQ(IterateAttractorBatch(&work), 1024);
    EXPECT_EQ(work.restarts, 1);
    EXPECT_EQ(At<double>(b.base, AV_Z_TEMP), 2.0);
}

TEST_F(AttractorProgramTest, ShadowTemplatesOnlyForShadowLightsAndProjection)
{
    // lights 1 and 3 cast shadows; an identity light camera at the origin
    // puts (0.1, -0.2, 3) into cell (2, 2) of 4 x 4, while (0.9, -0.9, 3)
    // rounds to column 4 = the width: outside, so no cell is written
    static const double points[2][3] = {{0.1, -0.2, 3}, {0.9, -0.9, 3}};
    for (int c = 0; c < 2; c++) {
        SCOPED_TRACE(c);
        const double* point = points[c];
        std::vector<uint8_t> bytes;
        const uint8_t stores[3][3] = {{0xDD, 0x1F, 0}, {0xDD, 0x5F, 0x08}, {0xDD, 0x5F, 0x10}};
        for (int k = 0; k < 3; k++) {
            uint32_t address = (uint32_t)(uintptr_t)(point + k);
            bytes.insert(bytes.end(), {0xDD, 0x05});
            bytes.insert(bytes.end(), reinterpret_cast<uint8_t*>(&address), reinterpret_cast<uint8_t*>(&address) + 4);
            bytes.insert(bytes.end(), stores[k], stores[k] + (k ? 3 : 2));
        }
        for (int project : {1, 0}) {
            SCOPED_TRACE(project);
            AttractorProgramInput in;
            in.maps.push_back(Map(1, {{bytes, false}}));
            in.shadowLights = 0x05;
            ASSERT_TRUE(AssembleAttractorProgram(&code, in));
            Block b;
            b.base[AV_PROJECT_FLAG] = (uint8_t)project;
            std::vector<float> shadow[3];
            for (int k = 0; k < 3; k++) {
                shadow[k].assign(16 + 4, 1e20f);
                uint8_t* camera = b.base + AV_LIGHT_CAMERAS + AV_LIGHT_CAMERA_SIZE * k;
                float rows[12] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
                memcpy(camera, rows, sizeof rows);
                At<int32_t>(camera, 48) = 4;
                At<int32_t>(camera, 52) = 4;
                At<float*>(camera, 56) = shadow[k].data();
            }
            RunAttractorProgram(code.GetData(), b.base);
            for (int k = 0; k < 3; k++)
                for (int cell = 0; cell < 20; cell++) {
                    bool written = c == 0 && project && k != 1 && cell == 10;
                    ASSERT_EQ(shadow[k][cell], written ? 3.0f : 1e20f) << "light " << k << " cell " << cell;
                }
        }
    }
}
