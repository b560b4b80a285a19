// The joined quaternion routines: their glue bytes around tiny hand-written
// parts, what they do when run (loop count, bailout exit, once parts,
// numiter, index, orbit records, lastsqr, a loop body beyond 32 KB), the
// transformation routine, and the binding that compiled formulas of every
// kind read (the basis rows included).
#include <gtest/gtest.h>

#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/FormulaInstance.h"
#include "calc/task/BareTask.h"
#include "calc/escapetime/PixelRoutine.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "compiler/Predefined.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/Buffers.h"
#include "foundation/List.h"
#include "foundation/Messages.h"
#include "fractals/quaternion/QuaternionCode.h"
#include "fractals/quaternion/QuaternionRun.h"
#include "QuaternionFormulaFixture.h"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Le32(int32_t v)
{
    return {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
}

template <typename T>
T& At(uint8_t* p, int offset) { return *reinterpret_cast<T*>(p + offset); }

// A compiled part made of the given bytes, appended to a function list.
FormulaFunction* AddPiece(NodeList* list, const char* name, const Bytes& bytes)
{
    FormulaFunction* f = new FormulaFunction;
    strcpy(f->decoratedName, name);
    f->code->Reserve((int)bytes.size() + 1);
    memcpy(f->code->GetData(), bytes.data(), bytes.size());
    f->codeLength = (uint32_t)bytes.size();
    list->Append(f);
    return f;
}

// Scratch words of the hand-written parts, clear of every predefined slot.
enum { COUNT = 2000, ONCE_COUNT = 2004, COLOUR_COUNT = 2008 };

const Bytes kIncCount = {0xFF, 0x87, 0xD0, 0x07, 0x00, 0x00};           // INC DWORD [EDI+2000]
const Bytes kIncOnce = {0xFF, 0x87, 0xD4, 0x07, 0x00, 0x00};            // INC DWORD [EDI+2004]
const Bytes kIncColour = {0xFF, 0x87, 0xD8, 0x07, 0x00, 0x00};          // INC DWORD [EDI+2008]
const Bytes kAddOneZ0 = {0xD9, 0xE8, 0xDC, 0x07, 0xDD, 0x1F};           // z.r += 1 (doubles)
// Leaves the loop once COUNT reaches 5: CMP DWORD [EDI+2000],5; JGE exit.
const Bytes kBailoutAtFive = {0x81, 0xBF, 0xD0, 0x07, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00,
                              0x0F, 0x8D, 0x00, 0x00, 0x00, 0x00};

// The glue as the routines must contain it.
const Bytes kPrologue = {0xC8, 0xB0, 0x00, 0x00};
const Bytes kEpilogue = {0xC9, 0xC3};
Bytes OnceGuard(int flag, int partLength)
{
    return Bytes{0xF6, 0x87} + Le32(flag) + Bytes{0xFF, 0x0F, 0x84} + Le32(partLength + 7) + Bytes{0xC6, 0x87} +
           Le32(flag) + Bytes{0x00};
}
const Bytes kOrbitStart = {0x8B, 0x87, 0x28, 0x02, 0x00, 0x00, 0xDD, 0x47, 0x18, 0xDD, 0x47, 0x10, 0xDB,
                           0x78, 0x20, 0xDB, 0x78, 0x30, 0xDD, 0x47, 0x08, 0xDD, 0x07, 0xDB, 0x38, 0xDB,
                           0x78, 0x10, 0xC7, 0x87, 0x2C, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes kOrbitStore = {0xFF, 0x87, 0x2C, 0x02, 0x00, 0x00, 0x8B, 0x9F, 0x2C, 0x02, 0x00, 0x00,
                           0x8B, 0x87, 0x28, 0x02, 0x00, 0x00, 0xDD, 0x47, 0x08, 0xDD, 0x07, 0xC1,
                           0xE3, 0x03, 0xDB, 0x3C, 0xD8, 0xDB, 0x7C, 0xD8, 0x10, 0xDD, 0x47, 0x18,
                           0xDD, 0x47, 0x10, 0xDB, 0x7C, 0xD8, 0x20, 0xDB, 0x7C, 0xD8, 0x30};
const Bytes kNumiterCount = {0xFF, 0x87, 0x70, 0x01, 0x00, 0x00};
const Bytes kFinalWithColouring = {0xDB, 0x87, 0x40, 0x01, 0x00, 0x00, 0x89, 0x8F, 0x70, 0x01, 0x00, 0x00, 0xDB,
                                   0x87, 0x70, 0x01, 0x00, 0x00, 0xDE, 0xE9, 0xDB, 0x9F, 0x70, 0x01, 0x00, 0x00};

class QuaternionGlue : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InitProcessorFeatures();
        fixupTemplates();
    }
    ~QuaternionGlue() override
    {
        formula.DeleteAllNodes();
        colouring.DeleteAllNodes();
    }
    bool Assemble(const QuaternionProgramInput& in)
    {
        return AssembleQuaternionProgram(&colourCode, &iterateCode, in, &formula, &colouring);
    }
    Bytes Code(const GrowBuffer& b, int n) const
    {
        const uint8_t* p = static_cast<const uint8_t*>(b.GetData());
        return Bytes(p, p + n);
    }
    // A fresh data block with maxiter and every once flag set.
    void ResetBlock(int maxIter)
    {
        memset(memory.data(), 0, memory.size());
        At<int32_t>(base, QD_MAXITER) = maxIter;
        for (int offset = QD_ONCE_FORMULA; offset < QD_ONCE_END; offset += 4)
            At<int32_t>(base, offset) = -1;
        At<void*>(base, QD_ORBIT_BUFFER) = orbit.data();
    }
    int32_t Run(const GrowBuffer& code, int32_t counter)
    {
        QuaternionX87Scope scope;
        EnterQuaternionX87(&scope);
        int32_t left = CallQuaternionCode(code.GetData(), base, counter);
        LeaveQuaternionX87(&scope);
        return left;
    }

    NodeList formula, colouring;
    GrowBuffer colourCode{0, true}, iterateCode{0, true};
    std::vector<uint8_t> memory = std::vector<uint8_t>(8000, 0);
    std::vector<uint8_t> orbit = std::vector<uint8_t>(64 * 40, 0);
    uint8_t* base = memory.data() + 3000;
};

}  // namespace

// Every glue piece in its place: once guards on their own flags, orbit
// start and store, lastsqr-free loop with the numiter count, the close
// jumping back to the loop start with a full rel32, the bailout's exit
// patched to the byte after the close, the colouring final.
TEST_F(QuaternionGlue, RoutinesHoldTheGlueInOrder)
{
    const Bytes once = {0x90}, init = {0x90, 0x90}, loop = kIncCount, final = {0x90, 0x90, 0x90};
    AddPiece(&formula, "Vinit_once@@", once);
    AddPiece(&formula, "Vinit@@", init);
    AddPiece(&formula, "Vloop@@", loop);
    AddPiece(&formula, "Bbailout@@", kBailoutAtFive);
    AddPiece(&colouring, "Vinit_once@@", kIncOnce);
    AddPiece(&colouring, "Vloop@@", kIncColour);
    AddPiece(&colouring, "Vfinal@@", final);
    QuaternionProgramInput in;
    in.orbit = 1;
    in.numiterInLoop = 1;
    in.colouringCompiled = 1;
    ASSERT_TRUE(Assemble(in));

    Bytes head = kPrologue + OnceGuard(572, 1) + once + init + OnceGuard(576, 6) + kIncOnce + kOrbitStart;
    const int loopStart = (int)head.size();
    Bytes body = loop + kOrbitStore + kBailoutAtFive + kIncColour + kNumiterCount + Bytes{0x49, 0x0F, 0x85};
    const int closeEnd = loopStart + (int)body.size() + 4;
    Bytes expected = head + body + Le32(loopStart - closeEnd) + kFinalWithColouring + final + kEpilogue;
    // The bailout's JGE leaves for the byte after the close.
    const int bailoutRel = loopStart + (int)(loop.size() + kOrbitStore.size() + kBailoutAtFive.size()) - 4;
    const Bytes exit = Le32(closeEnd - (bailoutRel + 4));
    std::copy(exit.begin(), exit.end(), expected.begin() + bailoutRel);
    EXPECT_EQ(expected, Code(colourCode, (int)expected.size()));

    // The iteration routine: the formula alone, no orbit, no colouring.
    Bytes ihead = kPrologue + OnceGuard(572, 1) + once + init;
    Bytes ibody = loop + kBailoutAtFive + kNumiterCount + Bytes{0x49, 0x0F, 0x85};
    const int iStart = (int)ihead.size(), iCloseEnd = iStart + (int)ibody.size() + 4;
    Bytes iexpected = ihead + ibody + Le32(iStart - iCloseEnd) + kEpilogue;
    const int iBailoutRel = iStart + (int)(loop.size() + kBailoutAtFive.size()) - 4;
    const Bytes iexit = Le32(iCloseEnd - (iBailoutRel + 4));
    std::copy(iexit.begin(), iexit.end(), iexpected.begin() + iBailoutRel);
    EXPECT_EQ(iexpected, Code(iterateCode, (int)iexpected.size()));
}

// What the routines do: the bailout exit leaves ECX where it stood, the
// budget running out leaves 0; once parts run once until rebinding sets
// their flags again; numiter counts the passes; without a compiled colouring
// index = iterations / 252.
TEST_F(QuaternionGlue, LoopBailoutOnceAndFinalsWhenRun)
{
    AddPiece(&formula, "Vinit_once@@", kIncOnce);
    AddPiece(&formula, "Vloop@@", kIncCount);
    AddPiece(&formula, "Bbailout@@", kBailoutAtFive);
    QuaternionProgramInput in;
    in.numiterInLoop = 1;
    ASSERT_TRUE(Assemble(in));

    struct Case {
        int budget;
        int32_t left;      // what is left of ECX
        int32_t passes;    // numiter: closes run
    } cases[] = {
        {100, 96, 4},   // five loop passes, the fifth leaves through the bailout
        {3, 0, 3},      // the budget ends the loop first
        {1, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.budget);
        ResetBlock(c.budget);
        EXPECT_EQ(c.left, Run(iterateCode, c.budget));
        EXPECT_EQ(c.passes, At<int32_t>(base, QD_NUMITER));
        EXPECT_EQ(1, At<int32_t>(base, ONCE_COUNT));
        // The colouring routine on the same block: the once part does not run again.
        At<int32_t>(base, COUNT) = 0;
        At<int32_t>(base, QD_NUMITER) = 0;
        EXPECT_EQ(c.left, Run(colourCode, c.budget));
        EXPECT_EQ(1, At<int32_t>(base, ONCE_COUNT));
        EXPECT_NEAR((double)(c.budget - c.left) / 252.0, (double)GetRuntimeExtended(base, QD_INDEX), 1e-15);
    }
}

// The orbit: entry 0 holds z before the loop, entry k z after the k-th
// pass, as 80-bit values; lastsqr is |z|^2 before each pass's loop part.
TEST_F(QuaternionGlue, OrbitAndLastsqrFollowZ)
{
    AddPiece(&formula, "Vloop@@", kIncCount + kAddOneZ0);
    AddPiece(&formula, "Bbailout@@", kBailoutAtFive);
    QuaternionProgramInput in;
    in.orbit = 1;
    in.usesLastsqr = 1;
    ASSERT_TRUE(Assemble(in));
    ResetBlock(50);
    const double z[4] = {1, 2, 3, 4};
    memcpy(base + QD_Z, z, sizeof z);
    Run(colourCode, 50);

    EXPECT_EQ(5, At<int32_t>(base, QD_ORBIT_COUNT));
    for (int k = 0; k <= 5; ++k) {
        SCOPED_TRACE(k);
        const uint8_t* entry = orbit.data() + 64 * k;
        EXPECT_EQ(1.0L + k, *reinterpret_cast<const long double*>(entry));
        for (int c = 1; c < 4; ++c)
            EXPECT_EQ((long double)z[c], *reinterpret_cast<const long double*>(entry + 16 * c));
    }
    // The fifth pass started from z.r = 5: 25 + 4 + 9 + 16.
    EXPECT_EQ(54.0L, GetRuntimeExtended(base, QD_LASTSQR));
}

// A loop body far beyond 32 KB: the close and the bailout exit reach their
// targets with all 32 bits of the jump.
TEST_F(QuaternionGlue, LongLoopBodyStillCloses)
{
    Bytes nops(40000, 0x90);
    AddPiece(&formula, "Vloop@@", kIncCount + nops);
    AddPiece(&formula, "Bbailout@@", kBailoutAtFive);
    ASSERT_TRUE(Assemble(QuaternionProgramInput()));
    ResetBlock(100);
    EXPECT_EQ(96, Run(iterateCode, 100));
    EXPECT_EQ(5, At<int32_t>(base, COUNT));
    At<int32_t>(base, COUNT) = 0;
    EXPECT_EQ(96, Run(colourCode, 100));
    EXPECT_EQ(5, At<int32_t>(base, COUNT));
}

namespace {

// z (or pixel) as four doubles read from a data block.
void ReadQuaternion(const uint8_t* base, int offset, double out[4])
{
    memcpy(out, base + offset, 4 * sizeof(double));
}

}  // namespace

// Compiled code of the iteration and of the transformation kind reads
// Base1..Base4 where the binding writes them (rows 16 bytes apart from
// 640), also when the rows bound at run time are not those of the compile.
TEST(QuaternionBinding, EveryKindReadsTheBoundBasisRows)
{
    struct Case {
        const char* name;
        int row;
    } cases[] = {{"Base1", 0}, {"Base2", 1}, {"Base3", 2}, {"Base4", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QuaternionFormulaFixture f;
        char iteration[300], transformation[200];
        snprintf(iteration, sizeof iteration,
                 "T(QUATERNION) {\n void init(void) { z = %s; }\n void loop(void) { z = z; }\n"
                 " bool bailout(void) { return(false); }\n}\n",
                 c.name);
        snprintf(transformation, sizeof transformation,
                 "U(QUATERNION) {\n void transform(void) { pixel = %s; }\n}\n", c.name);
        FormulaInstance* t = new FormulaInstance(f.fractal, "U", "test.sfm");
        t->holder->SetSource(transformation);
        f.q->transformations.Append(t);
        ASSERT_TRUE(f.Compile(iteration));

        double tilted[4][4];
        TiltedBasis(0.5, tilted);
        const double base[4] = {0, 0, 0, 0};
        f.SetSlice(tilted, base);
        f.Bind();
        double z[4], pixel[4];
        CallQuaternionCode(f.iterateCode.GetData(), f.ray.formulaData, 10);
        ReadQuaternion(f.ray.formulaData, QD_Z, z);
        CallQuaternionCode(f.transformCode.GetData(), f.ray.transformData, 0);
        ReadQuaternion(f.ray.transformData, QD_PIXEL, pixel);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ((float)tilted[c.row][k], (float)z[k]) << k;
            EXPECT_EQ((float)tilted[c.row][k], (float)pixel[k]) << k;
        }
    }
}

// The binding's table: sizes, budget, constants, once flags all set, the
// identity rows without a ray, the colouring settings twice.
TEST(QuaternionBinding, WritesThePredefinedTable)
{
    QuaternionFormulaFixture f(64, 48);
    f.q->MaxIter = 77;
    f.q->Density = 2.5;
    f.q->WrapAround = 1;
    f.q->Transfer = 3;
    f.q->SolidColor[0] = 0x12;
    f.q->SolidColor[1] = 0x34;
    f.q->SolidColor[2] = 0x56;
    std::vector<uint8_t> memory(6000, 0xAB);
    uint8_t* base = memory.data() + 3000;
    BindQuaternionVariables(f.fractal, f.q, base, nullptr, nullptr);

    EXPECT_EQ(77, At<int32_t>(base, QD_MAXITER));
    EXPECT_EQ(64, At<int32_t>(base, QD_WIDTH));
    EXPECT_EQ(48, At<int32_t>(base, QD_HEIGHT));
    EXPECT_EQ(0, At<int32_t>(base, QD_NUMITER));
    EXPECT_EQ(0, At<int32_t>(base, QD_SOLID));
    EXPECT_EQ(64.0f, At<float>(base, QD_SCREENMAX));
    EXPECT_EQ(48.0f, At<float>(base, QD_SCREENMAX + 4));
    for (int offset = QD_ONCE_FORMULA; offset < QD_ONCE_END; offset += 4)
        EXPECT_EQ(-1, At<int32_t>(base, offset)) << offset;
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(row == k ? 1.0f : 0.0f, At<float>(base, QD_BASE1 + 16 * row + 4 * k)) << row << k;
    EXPECT_EQ((long double)3.1415926535, GetRuntimeExtended(base, QD_PI));
    EXPECT_EQ((long double)2147483648.0, GetRuntimeExtended(base, QD_RANDOMRANGE));
    for (int settings : {(int)QD_OUTSIDE_SETTINGS, (int)QD_INSIDE_SETTINGS}) {
        EXPECT_EQ(2.5f, At<float>(base, settings));
        EXPECT_EQ(1, At<int32_t>(base, settings + 16));
        EXPECT_EQ(3, At<int32_t>(base, settings + 20));
        EXPECT_EQ(0x123456, At<int32_t>(base, settings + 24));
        EXPECT_EQ(255, At<int32_t>(base, settings + 28));
    }
    // The small constants under the base: 0, 1, -1, 2, -2 ...
    EXPECT_EQ(0, At<int16_t>(base, -2));
    EXPECT_EQ(1, At<int16_t>(base, -4));
    EXPECT_EQ(-1, At<int16_t>(base, -6));
}

// Without transformations the routine only enters and leaves; a
// transformation that fails to compile marks its holder and is not compiled
// again.
TEST(QuaternionTransforms, EmptyChainAndFailedCompile)
{
    QuaternionFormulaFixture f;
    int alpha = 0;
    ASSERT_EQ(0, AssembleQuaternionTransforms(f.q, f.fractal, &f.compiler, &f.transformData, &f.transformCode, &alpha));
    const uint8_t* code = static_cast<const uint8_t*>(f.transformCode.GetData());
    EXPECT_EQ((Bytes{0xC8, 0xB0, 0x00, 0x00, 0xC9, 0xC3}), Bytes(code, code + 6));

    FormulaInstance* t = new FormulaInstance(f.fractal, "Broken", "test.sfm");
    t->holder->SetSource("Broken(QUATERNION) {\n void transform(void) { pixel = nosuchname; }\n}\n");
    f.q->transformations.Append(t);
    EXPECT_EQ(2, AssembleQuaternionTransforms(f.q, f.fractal, &f.compiler, &f.transformData, &f.transformCode, &alpha));
    EXPECT_EQ(-1, t->holder->word);
    t->holder->SetSource("Broken(QUATERNION) {\n void transform(void) { pixel = 0; }\n}\n");
    EXPECT_EQ(2, AssembleQuaternionTransforms(f.q, f.fractal, &f.compiler, &f.transformData, &f.transformCode, &alpha));
    f.compiler.freeResults();
    DeleteAllMessages();
}
