// The per-pixel routine of escape-time fractals: its bytes and jumps for the
// fixture Mandelbrot(XAXIS) (a constant bailout), the optional bookkeeping, runs on
// points against a plain long double loop, the periodic loop, the
// bailout-first and colourings-first orders, once guards, a loop longer
// than 64 KB (full rel32 jumps), a MaxIter below 1, and PackColorRgba.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/escapetime/PixelRoutine.h"
#include "calc/escapetime/PredefinedVariables.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"

namespace {

// An entry of the fixture file calc/PixelRoutine.sfm, from its name line to
// the closing brace at the start of a line; empty when the file lacks it.
std::string FixtureEntry(const char* header)
{
    std::ifstream in(std::string(SPIRALIX_TEST_DATA) + "/calc/PixelRoutine.sfm");
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    size_t start = text.find(std::string("\n") + header + " {");
    if (start == std::string::npos)
        return "";
    size_t end = text.find("\n}", start + 1);
    return end == std::string::npos ? "" : text.substr(start + 1, end + 2 - start);
}

// The Mandelbrot whose bytes the tests hold: z = z*z + pixel, |z| < 4.
const std::string kMandelbrotText = FixtureEntry("Mandelbrot(XAXIS)");
const char* const kMandelbrot = kMandelbrotText.c_str();

// A Mandelbrot that starts at the pixel, so a point outside bails out at once
// when the bailout is tested first.
const char* kStartAtPixel =
    "Start {\n"
    "  void init(void) {\n    z = pixel;\n  }\n"
    "  void loop(void) {\n    z = z * z + pixel;\n  }\n"
    "  bool bailout(void) {\n    return(|z| < 4);\n  }\n"
    "}\n";

// An outside colouring whose index is the real part of z as its loop last
// saw it.
const char* kLastSeen =
    "LastSeen {\n"
    "  real seen;\n"
    "  void init(void) {\n    seen = -100;\n  }\n"
    "  void loop(void) {\n    seen = real(z);\n  }\n"
    "  void final(void) {\n    index = seen;\n  }\n"
    "}\n";

// The Mandelbrot set through user functions in loop and bailout.
const char* kThroughFunctions =
    "Functions {\n  complex step(complex w, complex c) {\n    return(w * w + c);\n  }\n"
    "  bool inside(complex w, real limit) {\n    return(|w| < limit);\n  }\n"
    "  void init(void) {\n    z = 0;\n  }\n  void loop(void) {\n    z = step(z, pixel);\n  }\n"
    "  bool bailout(void) {\n    return(inside(z, 4));\n  }\n}\n";

// The 128-byte loop tail with zero displacements.
const uint8_t kTail[128] = {
    0x3B, 0x8F, 0xF0, 0x01, 0x00, 0x00, 0x77, 0x6C, 0x85, 0x8F, 0xF4, 0x01, 0x00, 0x00, 0x75, 0x33,
    0xDB, 0x6F, 0x10, 0xDB, 0x2F, 0xDB, 0xBF, 0x00, 0x02, 0x00, 0x00, 0xDB, 0xBF, 0x10, 0x02, 0x00,
    0x00, 0xFF, 0x8F, 0xF8, 0x01, 0x00, 0x00, 0x75, 0x4B, 0x8B, 0x87, 0xFC, 0x01, 0x00, 0x00, 0xD1,
    0xA7, 0xF4, 0x01, 0x00, 0x00, 0xFF, 0x87, 0xF4, 0x01, 0x00, 0x00, 0x89, 0x87, 0xF8, 0x01, 0x00,
    0x00, 0xEB, 0x31, 0xDB, 0x2F, 0xDB, 0xAF, 0x00, 0x02, 0x00, 0x00, 0xDE, 0xE9, 0x8B, 0x87, 0x20,
    0x02, 0x00, 0x00, 0xD9, 0xE1, 0xD9, 0x5D, 0xFC, 0x39, 0x45, 0xFC, 0x77, 0x17, 0xDB, 0x6F, 0x10,
    0xDB, 0xAF, 0x10, 0x02, 0x00, 0x00, 0xDE, 0xE9, 0xD9, 0xE1, 0xD9, 0x5D, 0xFC, 0x39, 0x45, 0xFC,
    0x77, 0x02, 0xEB, 0x0C, 0x49, 0x0F, 0x85, 0x00, 0x00, 0x00, 0x00, 0xE9, 0x00, 0x00, 0x00, 0x00,
};
const uint8_t kDefaultColouring[44] = {
    0xC7, 0x87, 0x50, 0x01, 0x00, 0x00, 0xFC, 0x00, 0x00, 0x00, 0xDB, 0x87, 0x50, 0x01, 0x00,
    0x00, 0x8B, 0x87, 0xD0, 0x00, 0x00, 0x00, 0x2B, 0xC1, 0x89, 0x87, 0x50, 0x01, 0x00, 0x00,
    0xDB, 0x87, 0x50, 0x01, 0x00, 0x00, 0xDE, 0xF1, 0xDB, 0xBF, 0x50, 0x01, 0x00, 0x00,
};
const uint8_t kNumiterCount[6] = {0xFF, 0x87, 0x60, 0x01, 0x00, 0x00};

int32_t Rel32Target(const uint8_t* code, int at)
{
    int32_t d;
    memcpy(&d, code + at, 4);
    return at + 4 + d;
}

// The reference: remaining budget after iterating z = z^2 + c from 0 (the
// count of the step that bailed out is not taken off).
uint32_t ReferenceRemaining(long double cr, long double ci, uint32_t budget, long double* zr = nullptr,
                            long double* zi = nullptr)
{
    long double x = 0, y = 0;
    uint32_t ecx = budget;
    for (;;) {
        long double nx = x * x - y * y + cr;
        y = 2 * x * y + ci;
        x = nx;
        if (zr) {
            *zr = x;
            *zi = y;
        }
        if (!(x * x + y * y < 4))
            return ecx;
        if (--ecx == 0)
            return 0;
    }
}

FormulaFunction* MakePiece(const char* decoratedName, const std::vector<uint8_t>& code)
{
    FormulaFunction* f = new FormulaFunction();
    strcpy(f->decoratedName, decoratedName);
    f->code = new GrowBuffer((int)code.size() + 1);
    memcpy(f->code->GetData(), code.data(), code.size());
    f->codeLength = (uint32_t)code.size();
    return f;
}

// A windowless escape-time fractal with a task, compiling its formulas into
// one main data block as a calculation does.
class PixelRoutine : public ::testing::Test {
protected:
    PixelRoutine() : fractal(FT_ESCAPETIME, 0)
    {
        fixupTemplates();   // compiled code reaches the runtime constants
        fractal.header->Width = 64;
        fractal.header->Height = 48;
        block = static_cast<EscapetimeParameters*>(fractal.typeParameters);
        block->SetCorners(-2.5, 1.5, 1.5, -1.5);
        block->MaxIter = 100;
        block->inside.holder->SetSource(nullptr);
        block->outside.holder->SetSource(nullptr);
        task.fractal = &fractal;
    }
    ~PixelRoutine() override
    {
        DeleteAllNodes(&formula);
        DeleteAllNodes(&outside);
        DeleteAllNodes(&inside);
        delete task.codeBuffer;
        delete task.varBlock;
    }

    // Compiles text in the holder with the running offsets and keeps its pieces.
    void Compile(FormulaHolder* holder, const char* text, const char* name, NodeList* pieces)
    {
        holder->SetSource(text);
        FormulaCompiler* c = holder->compiler;
        bool ok = c->compile(holder->text, top, bottom, nullptr, nullptr, &fractal, name, SK_PLANE, nullptr, false,
                             false);
        ASSERT_TRUE(ok) << name;
        holder->word = 1;
        top = c->dataTop;
        bottom = c->dataBottom;
        c->takeFunctions(pieces);
        compiled.push_back(c);
    }

    // The main block with every compiled value and the predefined values.
    void MakeBlock()
    {
        task.varBlock = new AlignedBuffer(top + 3000, -bottom + 3000);
        for (FormulaCompiler* c : compiled) {
            AlignedBuffer* own = c->dataBlock;
            c->dataBlock = task.varBlock;
            c->storeSymbolValues();
            c->dataBlock = own;
        }
        BindPredefinedVariables(&fractal, block, Base(), nullptr);
    }

    void Assemble(int oldz = 0, int lastsqr = 0, int numiter = 0)
    {
        const int32_t usage[2] = {lastsqr, numiter};
        ASSERT_TRUE(AssemblePixelRoutine(&task, block, oldz, usage, &formula, &outside, &inside));
    }

    // Drops the compiled formulas and the block for a new compile.
    void Restart()
    {
        DeleteAllNodes(&formula);
        DeleteAllNodes(&outside);
        DeleteAllNodes(&inside);
        compiled.clear();
        top = 0;
        bottom = -128;
        delete task.varBlock;
        task.varBlock = nullptr;
    }

    void Prepare(const char* text = kMandelbrot, const char* name = "Mandelbrot(XAXIS)")
    {
        ASSERT_NE('\0', text[0]) << "PixelRoutine.sfm lacks " << name;
        strcpy(block->iteration.entryName, name);
        Compile(block->iteration.holder, text, name, &formula);
        MakeBlock();
    }

    uint8_t* Base() const { return task.varBlock->GetBase(); }
    const uint8_t* Code() const { return static_cast<const uint8_t*>(task.codeBuffer->GetData()); }
    FormulaFunction* Piece(NodeList* list, const char* name) const { return findFunction(list, name); }

    // Runs the routine for the point; periodicity off unless slots are given.
    uint32_t Run(double re, double im, uint32_t budget, const PeriodicitySlots* slots = nullptr)
    {
        SetRuntimeExtended(Base(), RT_PIXEL, re);
        SetRuntimeExtended(Base(), RT_PIXEL + 16, im);
        PeriodicitySlots off = {0, 0, 0, 0, 0.0f};
        WritePeriodicitySlots(Base(), slots ? *slots : off);
        uint16_t status = 0;
        return CallPixelRoutine(Code(), Base(), budget, &status);
    }

    Fractal fractal;
    FractalTask task;
    EscapetimeParameters* block;
    NodeList formula, outside, inside;
    std::vector<FormulaCompiler*> compiled;
    int top = 0, bottom = -128;
};

// Every glue byte of the fixture in its place and every jump landing where
// the layout puts it: ENTER, init, loop, bailout, tail, periodic loop,
// inside final, JMP, outside final, LEAVE RET.
TEST_F(PixelRoutine, MandelbrotBytesAndJumps)
{
    Prepare();
    Assemble();
    FormulaFunction* init = Piece(&formula, "Vinit@@");
    FormulaFunction* loop = Piece(&formula, "Vloop@@");
    FormulaFunction* bail = Piece(&formula, "Bbailout@@");
    ASSERT_TRUE(init && loop && bail);
    ASSERT_EQ(nullptr, Piece(&formula, "Vinit_once@@"));   // no once guard
    const int nInit = (int)init->codeLength, nLoop = (int)loop->codeLength, nBail = (int)bail->codeLength;
    const uint8_t* code = Code();

    const uint8_t enter[4] = {0xC8, 0xB0, 0x00, 0x00};
    EXPECT_EQ(0, memcmp(code, enter, 4));
    EXPECT_EQ(0, memcmp(code + 4, init->code->GetData(), nInit));
    const int loopStart = 4 + nInit;
    EXPECT_EQ(0, memcmp(code + loopStart, loop->code->GetData(), nLoop));
    const int bailAt = loopStart + nLoop;
    EXPECT_EQ(0, memcmp(code + bailAt, bail->code->GetData(), nBail - 4));
    const int tail = bailAt + nBail;
    for (int i = 0; i < 128; i++) {
        bool displacement = (i >= 119 && i < 123) || i >= 124;
        if (!displacement) {
            EXPECT_EQ(kTail[i], code[tail + i]) << "tail byte " << i;
        }
    }
    const int periodic = tail + 128;
    EXPECT_EQ(0, memcmp(code + periodic, loop->code->GetData(), nLoop));
    EXPECT_EQ(periodic, loop->placement2);
    const int periodicTail = periodic + nLoop;
    EXPECT_EQ(0x49, code[periodicTail]);
    EXPECT_EQ(0x0F, code[periodicTail + 1]);
    EXPECT_EQ(0x85, code[periodicTail + 2]);
    const int insideFinal = periodicTail + 7;
    EXPECT_EQ(0, memcmp(code + insideFinal, kDefaultColouring, 44));
    const int skip = insideFinal + 44;
    EXPECT_EQ(0xE9, code[skip]);
    const int outsideFinal = skip + 5;
    EXPECT_EQ(0, memcmp(code + outsideFinal, kDefaultColouring, 44));
    const int leave = outsideFinal + 44;
    EXPECT_EQ(0xC9, code[leave]);
    EXPECT_EQ(0xC3, code[leave + 1]);

    EXPECT_EQ(loopStart, Rel32Target(code, tail + 119));          // JNZ loop start
    EXPECT_EQ(insideFinal, Rel32Target(code, tail + 124));        // JMP inside final
    EXPECT_EQ(periodic, Rel32Target(code, periodicTail + 3));     // JNZ periodic start
    EXPECT_EQ(outsideFinal, Rel32Target(code, tail - 4));         // bailout exit
    EXPECT_EQ(leave, Rel32Target(code, skip + 1));                // past the outside final
}

// The optional bookkeeping changes the length by exactly its templates: orbit
// start 26, orbit store 33 (twice), lastsqr 17 (twice), the 134-byte tail
// and the 13-byte periodic tail with the numiter count.
TEST_F(PixelRoutine, BookkeepingTemplatesAndTheLongTail)
{
    Prepare();
    const int pieces = (int)(Piece(&formula, "Vinit@@")->codeLength + 2 * Piece(&formula, "Vloop@@")->codeLength +
                             Piece(&formula, "Bbailout@@")->codeLength);
    struct Case {
        int oldz, lastsqr, numiter, extra;
    } cases[] = {
        {0, 0, 0, 0},
        {1, 0, 0, 26 + 2 * 33},
        {0, 1, 0, 2 * 17},
        {0, 0, 1, 6 + 6},
        {1, 1, 1, 26 + 2 * 33 + 2 * 17 + 12},
    };
    const int plain = 4 + 128 + 7 + 44 + 5 + 44 + 2;
    for (const Case& c : cases) {
        Assemble(c.oldz, c.lastsqr, c.numiter);
        // Nothing is linked behind the RET: the end is LEAVE RET.
        int length = plain + pieces + c.extra;
        EXPECT_EQ(0xC9, Code()[length - 2]) << c.oldz << c.lastsqr << c.numiter;
        EXPECT_EQ(0xC3, Code()[length - 1]) << c.oldz << c.lastsqr << c.numiter;
    }
    // The 134-byte tail: numiter + 1 before DEC ECX, its periodic exit
    // jumping to its end.
    Assemble(0, 0, 1);
    const int tail = 4 + (int)(Piece(&formula, "Vinit@@")->codeLength + Piece(&formula, "Vloop@@")->codeLength +
                               Piece(&formula, "Bbailout@@")->codeLength);
    EXPECT_EQ(0xEB, Code()[tail + 114]);
    EXPECT_EQ(tail + 134, tail + 116 + Code()[tail + 115]);
    EXPECT_EQ(0, memcmp(Code() + tail + 116, kNumiterCount, 6));
    EXPECT_EQ(0x49, Code()[tail + 122]);
    EXPECT_EQ(4 + (int)Piece(&formula, "Vinit@@")->codeLength, Rel32Target(Code(), tail + 125));
}

// Points run through the routine give the remaining budget of a plain long
// double loop; the default colouring leaves (maxiter - ECX) / 252.
TEST_F(PixelRoutine, RunsLikeThePlainLoop)
{
    Prepare();
    Assemble();
    struct Case {
        double re, im;
        int maxIter;
    } cases[] = {
        {1, 1, 100},        // escapes at the first step
        {-2, 0, 100},       // on the bailout circle: |z| = 4 is out
        {0.3, 0.5, 200},    // near the edge
        {-0.75, 0.05, 500}, // slow escape near the neck
        {-0.1, 0.2, 300},   // inside
        {0, 0, 150},        // c = 0 stays at 0: ECX 0
        {0.25, 0.25, 1},    // budget of one step
    };
    for (const Case& c : cases) {
        SetRuntimeInt(Base(), RT_MAXITER, c.maxIter);
        uint32_t budget = PixelBudget(c.maxIter);
        uint32_t got = Run(c.re, c.im, budget);
        EXPECT_EQ(ReferenceRemaining(c.re, c.im, budget), got) << c.re << "," << c.im;
        long double index = GetRuntimeExtended(Base(), RT_INDEX);
        EXPECT_EQ((long double)(c.maxIter - (int)got) / 252, index) << c.re << "," << c.im;
    }
}

// MaxIter 0 or below runs one step (never a wrapped budget of 2^32 - 1).
TEST_F(PixelRoutine, MaxIterBelowOneRunsOneStep)
{
    struct Case {
        int maxIter;
        uint32_t budget;
    } budgets[] = {{-7, 1}, {0, 1}, {1, 1}, {150, 150}};
    for (const auto& b : budgets)
        EXPECT_EQ(b.budget, PixelBudget(b.maxIter)) << b.maxIter;

    Prepare();
    Assemble();
    SetRuntimeInt(Base(), RT_MAXITER, 0);
    EXPECT_EQ(0u, Run(0, 0, PixelBudget(0)));
    EXPECT_EQ(0u, Run(0, 0, 0));   // a zero budget is not wrapped either
    EXPECT_EQ(1u, Run(3, 0, PixelBudget(0)));
}

// A cycle is caught by the periodicity check: the periodic loop runs the
// budget out (ECX 0), saved z holds a point of the cycle; escaping points
// are not taken for periodic.
TEST_F(PixelRoutine, PeriodicLoopRunsTheBudgetOut)
{
    Prepare();
    Assemble();
    PeriodicitySlots slots = {1000, 1, 4, 4, 1e-6f};
    EXPECT_EQ(0u, Run(0, 0, 1000, &slots));
    EXPECT_EQ(0u, Run(-1, 0, 1000, &slots));   // 0, -1, 0, -1 ...
    long double saved = GetRuntimeExtended(Base(), RT_SAVED_Z);
    EXPECT_TRUE(saved == 0 || saved == -1) << (double)saved;
    // After the handover, z went on iterating in the periodic loop.
    long double z = GetRuntimeExtended(Base(), RT_Z);
    EXPECT_TRUE(z == 0 || z == -1);
    for (double re : {0.3, -0.75, 0.26}) {
        PeriodicitySlots s = {1000, 1, 4, 4, 1e-9f};
        EXPECT_EQ(ReferenceRemaining(re, 0.05, 1000), Run(re, 0.05, 1000, &s)) << re;
    }
}

// The orbit store and lastsqr: every z of the orbit lands in the orbit
// buffer, lastsqr is |z|^2 before the last step.
TEST_F(PixelRoutine, OrbitAndLastSqr)
{
    Prepare();
    Assemble(1, 1, 1);
    std::vector<uint8_t> orbit((100 + 10) * 32);
    uint8_t* orbitBase = orbit.data();
    memcpy(Base() + RT_ORBIT_BUFFER, &orbitBase, 4);
    const double re = 0.5, im = 0.5;   // out at the fifth step
    uint32_t remaining = Run(re, im, 100);
    ASSERT_EQ(96u, remaining);
    ASSERT_EQ(ReferenceRemaining(re, im, 100), remaining);
    const int steps = 5;
    EXPECT_EQ(steps, GetRuntimeInt(Base(), RT_ORBIT_COUNT));
    long double x = 0, y = 0, lastSqr = -1;
    for (int k = 1; k <= steps; k++) {
        lastSqr = x * x + y * y;
        long double nx = x * x - y * y + re;
        y = 2 * x * y + im;
        x = nx;
        EXPECT_EQ(x, GetRuntimeExtended(orbitBase, k * 32)) << k;
        EXPECT_EQ(y, GetRuntimeExtended(orbitBase, k * 32 + 16)) << k;
    }
    EXPECT_EQ(0.0L, GetRuntimeExtended(orbitBase, 0));   // entry 0: the start value
    EXPECT_EQ(lastSqr, GetRuntimeExtended(Base(), RT_LASTSQR));
    EXPECT_EQ(steps - 1, GetRuntimeInt(Base(), RT_NUMITER));   // counted in the loop
}

// "SXTiera_" names test the bailout before the first step: a start outside
// the circle leaves z untouched; other names step first.
TEST_F(PixelRoutine, BailoutFirstOrder)
{
    struct Case {
        const char* name;
        long double z;
    } cases[] = {{"SXTiera_Start", 3}, {"Start", 12}};
    for (const Case& c : cases) {
        Restart();
        Prepare(kStartAtPixel, c.name);
        Assemble();
        EXPECT_EQ(100u, Run(3, 0, 100)) << c.name;
        EXPECT_EQ(c.z, GetRuntimeExtended(Base(), RT_Z)) << c.name;
    }
}

// A compiled outside colouring: its final runs after the final prologue
// (numiter = maxiter - ECX); its loop sees z after each step, or before it
// for "SX_JulMand24". The colouring's loop keeps the real part of the z it saw.
TEST_F(PixelRoutine, ColouringOrderAndFinalPrologue)
{
    struct Case {
        const char* name;
        double re, im;
        uint32_t remaining;
        int numiter;
        long double seen;
    } cases[] = {
        {"Mandelbrot(XAXIS)", 3, 0, 100, 0, -100},   // out at the first step: the loop never ran
        {"SX_JulMand24", 3, 0, 100, 0, 0},           // the loop saw the start value
        {"Mandelbrot(XAXIS)", 1, 1, 99, 1, 1},       // z1 = (1, 1) in, z2 = (1, 3) out
    };
    for (const Case& c : cases) {
        Restart();
        Compile(block->outside.holder, kLastSeen, "LastSeen", &outside);
        strcpy(block->iteration.entryName, c.name);
        Compile(block->iteration.holder, kMandelbrot, c.name, &formula);
        MakeBlock();
        Assemble();
        SetRuntimeInt(Base(), RT_NUMITER, 77);
        EXPECT_EQ(c.remaining, Run(c.re, c.im, 100)) << c.name << " " << c.re;
        EXPECT_EQ(c.numiter, GetRuntimeInt(Base(), RT_NUMITER)) << c.name << " " << c.re;
        EXPECT_EQ(c.seen, GetRuntimeExtended(Base(), RT_INDEX)) << c.name << " " << c.re;
    }
}

// User functions are joined behind the RET once and called from both
// copies of the loop: escaping points match the plain loop, a cycle runs
// its budget out in the periodic loop through the second copy's call.
TEST_F(PixelRoutine, UserFunctionsCalledFromBothLoopCopies)
{
    Prepare(kThroughFunctions, "Functions");
    Assemble();
    FormulaFunction* loop = Piece(&formula, "Vloop@@");
    ASSERT_TRUE(loop->placement >= 0 && loop->placement2 > loop->placement);
    PeriodicitySlots slots = {1000, 1, 4, 4, 1e-9f};
    for (double re : {0.3, -0.75, 0.26, -2.1}) {
        EXPECT_EQ(ReferenceRemaining(re, 0.05, 1000), Run(re, 0.05, 1000, &slots)) << re;
    }
    EXPECT_EQ(0u, Run(-1, 0, 1000, &slots));
    long double z = GetRuntimeExtended(Base(), RT_Z);
    EXPECT_TRUE(z == 0 || z == -1) << (double)z;
}

// The periodic loop repeats the inside colouring's loop but not the
// outside colouring's.
TEST_F(PixelRoutine, PeriodicLoopLeavesOutTheOutsideColouring)
{
    Compile(block->inside.holder, kLastSeen, "LastSeen", &inside);
    Compile(block->outside.holder, kLastSeen, "LastSeen", &outside);
    Prepare();
    Assemble();
    const int periodic = Piece(&formula, "Vloop@@")->placement2;
    FormulaFunction* insideLoop = Piece(&inside, "Vloop@@");
    FormulaFunction* outsideLoop = Piece(&outside, "Vloop@@");
    EXPECT_GT(insideLoop->placement2, periodic);
    EXPECT_EQ(-1, outsideLoop->placement2);
    EXPECT_LT(outsideLoop->placement, periodic);
}

// Hand-made pieces: the once guard runs init_once for the first pixel only
// (until the flags are set again), and a loop of more than 64 KB still
// jumps back to its start and out to the final sections.
TEST_F(PixelRoutine, OnceGuardAndLongJumps)
{
    const int counter = 0x600;   // a free word of the block
    // INC DWORD [EDI+600h]
    formula.Append(MakePiece("Vinit_once@@", {0xFF, 0x87, 0x00, 0x06, 0x00, 0x00}));
    std::vector<uint8_t> nops(70000, 0x90);
    formula.Append(MakePiece("Vloop@@", nops));
    // CMP ECX,5; JE rel32 (leaves the loop when 5 steps are left)
    formula.Append(MakePiece("Bbailout@@", {0x83, 0xF9, 0x05, 0x0F, 0x84, 0, 0, 0, 0}));
    task.varBlock = new AlignedBuffer(8192, 3000);
    BindPredefinedVariables(&fractal, block, Base(), nullptr);
    Assemble();
    const uint8_t guard[13] = {0xF6, 0x87, 0x3C, 0x02, 0x00, 0x00, 0xFF, 0x0F, 0x84, 13, 0, 0, 0};
    EXPECT_EQ(0, memcmp(Code() + 4, guard, 13));

    EXPECT_EQ(5u, Run(0, 0, 10));   // out when five steps are left
    EXPECT_EQ(0u, Run(0, 0, 3));    // never five left: runs out
    EXPECT_EQ(1, GetRuntimeInt(Base(), counter));
    SetRuntimeInt(Base(), RT_ONCE_FORMULA, -1);
    Run(0, 0, 10);
    EXPECT_EQ(2, GetRuntimeInt(Base(), counter));
}

TEST(PackColorRgba, ClampsColoursAndWrapsAlpha)
{
    struct Case {
        float r, g, b, a;
        uint32_t packed;
    } cases[] = {
        {1.5f, -0.2f, 0.5f, 1.0f, 0xFFFF007Fu},   // red clamped, green clamped, 127.5 truncated
        {0.0f, 0.0f, 0.0f, 1.5f, 126u << 24},     // 382 wraps to 126
        {NAN, 1.0f, 0.0f, 0.0f, 0x0000FF00u},     // a NaN channel gives 0
        {0.2f, 0.4f, 0.6f, NAN, 0x00336699u},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.packed, PackColorRgba(c.r, c.g, c.b, c.a)) << std::hex << c.packed;
}

// The 80-bit conversions work in a state of their own and give the
// caller's back: under a caller's round-toward-zero control word the
// conversion still rounds to nearest, and the control word survives.
TEST(ExtendedConversion, KeepsTheCallersX87State)
{
    // 1 + 3 * 2^-54 as an 80-bit value: to nearest it is 1 + 2^-52, toward
    // zero it would be 1.
    uint8_t extended[16] = {0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0x3F};
    uint8_t slot[16] = {};
    const double half = 0.5;
    memcpy(slot, &half, 8);

    uint16_t saved, truncating, after1, after2;
    __asm__ volatile("fnstcw %0" : "=m"(saved));
    truncating = saved | 0x0C00;
    __asm__ volatile("fldcw %0" : : "m"(truncating));
    double nearest = ExtendedToDouble(extended);
    __asm__ volatile("fnstcw %0" : "=m"(after1));
    DoubleToExtended(slot);
    __asm__ volatile("fnstcw %0" : "=m"(after2));
    __asm__ volatile("fldcw %0" : : "m"(saved));

    EXPECT_EQ(1.0 + ldexp(1.0, -52), nearest);
    EXPECT_EQ(truncating, after1);
    EXPECT_EQ(truncating, after2);
    long double widened;
    memcpy(&widened, slot, 10);
    EXPECT_EQ(0.5L, widened);
}

}  // namespace
