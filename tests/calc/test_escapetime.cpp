// The escape-time calculator inside the process: the set-up's tables, the
// middle-out row order, guessing and elimination on a small buffer,
// calculations of compiled formulas on a task without thread (a failed
// compile is not compiled again, opacity cells only when needed, MaxIter 0,
// the opacity cell), processor faults and the stop inside compiled code,
// and the re-apply of an edited formula to the slots that name it.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "calc/FormulaInstance.h"
#include "calc/FractalTask.h"
#include "calc/escapetime/EscapeTime.h"
#include "calc/escapetime/EscapeTimeRun.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/QuaternionParameters.h"
#include "formulas/FormulaNode.h"
#include "foundation/Buffers.h"
#include "foundation/Messages.h"
#include "foundation/Thread.h"
#include "tests/calc/TaskTestSupport.h"

namespace {

const char kMandelbrot[] =
    "Mandel {\n void init(void)\n {\n  z = 0;\n }\n void loop(void)\n {\n  z = z * z + pixel;\n }\n"
    " bool bailout(void)\n {\n  return(|z| < 4);\n }\n}\n";
const char kBroken[] = "Broken {\n void loop(void)\n {\n  z = z * ;\n }\n bool bailout(void)\n {\n  return(|z| < 4);\n }\n}\n";

// A windowless escape-time fractal with the task members a calculation
// uses, calculated on the test's own thread.
class EscapeTimeTask {
public:
    EscapeTimeTask(int width, int height) : base(width, height, 24, 24, FT_ESCAPETIME)
    {
        SetFormula(kMandelbrot, "Mandel");
    }

    EscapetimeParameters* Block() const { return static_cast<EscapetimeParameters*>(base.fractal->typeParameters); }

    void SetFormula(const char* text, const char* found)
    {
        FormulaSlot& slot = Block()->iteration;
        slot.holder->SetSource(text);
        slot.holder->word = 0;
        slot.SetNames("Test.sfm", found, found);
    }

    // A recalculation of the whole buffer, one pass unless set otherwise.
    int Calculate()
    {
        FractalTask* t = base.task;
        size_t cells = (size_t)base.fractal->GetBufferWidth() * base.fractal->header->Height;
        memset(t->values, 0, cells * sizeof(float));
        memset(t->flags, 0, cells);
        t->lastCalculateCommand = FTC_RECALCULATE;
        return CalculateEscapeTime(base.fractal, 0, 0, base.fractal->header->Width, base.fractal->header->Height - 1);
    }

    uint8_t Flag(int x, int y) const { return base.task->flags[(size_t)y * base.fractal->GetBufferWidth() + x]; }

    TestTask base;
    EscapeTimeMembers members{base.task};
};

// ---------------------------------------------------------------------------
// Tables of the set-up

TEST(EscapeTimeSetup, StartPassFollowsContinueAndPasses)
{
    struct Case {
        int command, passLimit, passes, want;
    } const cases[] = {
        {FTC_RECALCULATE, 1000, 2, 3},  // Passes + 1
        {FTC_RECALCULATE, 1, 3, 4},     // the pass limit counts only after a continue
        {FTC_CONTINUE, 2, 3, 2},
        {FTC_CONTINUE, 1000, 3, 4},     // lowered to Passes + 1
        {FTC_CONTINUE, 0, 3, 1},        // raised to 1
        {FTC_CONTINUE, -5, 0, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.want, StartPass(c.command, c.passLimit, c.passes))
            << c.command << " " << c.passLimit << " " << c.passes;
}

TEST(EscapeTimeSetup, RefactorModesByNameSideAndSmooth)
{
    NodeList none, low, half, nan;
    auto smooth = [](NodeList& list, double v) {
        FormulaSymbol* s = new FormulaSymbol();
        s->SetName("smooth");
        s->value[0] = v;
        list.Append(s);
    };
    smooth(low, 0.49);
    smooth(half, 0.5);
    smooth(nan, NAN);
    struct Case {
        const char* name;
        NodeList* parameters;
        bool inside;
        int want;
    } const cases[] = {
        {"compLyap", &none, false, 1},
        {"compLyap", &half, false, 2},
        {"compLyap", &low, false, 1},
        {"compLyap", &nan, true, 2},
        {"compLyapX", &half, false, 0},            // longer name: no refactoring colouring
        {"complyap", &none, false, 0},             // names are exact
        {"Refactor_JulMand24_O", &none, false, 1},
        {"Refactor_JulMand24_O", &none, true, 0},  // the outside name on the inside slot
        {"Refactor_JulMand8_I", &half, true, 2},
        {"compBif", &none, true, 1},
        {"", &none, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.want, RefactorMode(c.name, c.parameters, c.inside)) << c.name << " inside " << c.inside;
    DeleteAllNodes(&low);
    DeleteAllNodes(&half);
    DeleteAllNodes(&nan);
}

TEST(EscapeTimeSetup, PeriodicityParameters)
{
    struct Case {
        int maxiter, saveCount;
    } const counts[] = {{150, 4}, {50000, 4}, {500000, 5}, {1000000, 6}, {999999, 5}, {1, 4}, {0, 4}, {-3, 4}};
    for (const Case& c : counts) {
        int saveCount = 0;
        double tolerance = 0;
        ComputePeriodicityParameters(c.maxiter, 0.001, 0, 0, 0.002, 3, &saveCount, &tolerance);
        EXPECT_EQ(c.saveCount, saveCount) << c.maxiter;
    }
    // The larger component of each step, the smaller of the two, by level.
    const double scaled[7] = {0.001, 0.000001, 0.00001, 0.0001, 0.001, 0.01, 0.1};
    for (int level = 0; level < 7; ++level) {
        int saveCount;
        double tolerance;
        ComputePeriodicityParameters(150, 0.001, 0, 0, 0.002, level, &saveCount, &tolerance);
        EXPECT_NEAR(scaled[level], tolerance, scaled[level] * 1e-12) << level;
    }
    EXPECT_EQ(1, FirstStartThreshold(100, 3));
    EXPECT_EQ(750, FirstStartThreshold(1000, 1));
    EXPECT_EQ(0, FirstStartThreshold(1000, 0));
}

// The orbit buffer's size is computed without overflow: a MaxIter near
// the int range asks for no block rather than a wrapped small one.
TEST(EscapeTimeSetup, OrbitBufferSizeNeverWraps)
{
    EXPECT_EQ(3520u, OrbitBufferBytes(100));
    EXPECT_EQ(0u, OrbitBufferBytes(2147483647));
    EXPECT_EQ(0u, OrbitBufferBytes(70000000));
    EXPECT_EQ(352u, OrbitBufferBytes(-5));
}

// ---------------------------------------------------------------------------
// The interactive road's pieces

TEST(EscapeTimeRoad, PassesWalkFromTheMiddleOutwards)
{
    // Passes 3: the first pass has step 8; m = 24 for 48 rows.
    PassWalk walk(48, 0, 47, 8);
    std::vector<int> rows;
    int row;
    while (walk.More()) {
        if (walk.TakeLower(&row))
            rows.push_back(row);
        if (walk.TakeUpper(&row))
            rows.push_back(row);
    }
    EXPECT_EQ((std::vector<int>{16, 24, 8, 32, 0, 40}), rows);
    EXPECT_EQ(4, StartPass(FTC_RECALCULATE, 0, 3));
}

TEST(EscapeTimeRoad, GuessFillsOnlyPixelsNotCalculated)
{
    TestTask t(9, 9, 24, 24, FT_ESCAPETIME);
    int w = t.fractal->GetBufferWidth();
    t.task->values[0] = 2.5f;
    t.task->flags[0] = PF_CALCULATED | PF_INSIDE;
    t.task->values[2 * w + 1] = 7.0f;   // calculated before: keeps its data
    t.task->flags[2 * w + 1] = PF_CALCULATED;
    FillBlock(t.fractal, 0, 0, 9, 4);
    EXPECT_EQ(2.5f, t.task->values[0]);
    EXPECT_EQ(PF_CALCULATED | PF_INSIDE, t.task->flags[0]);
    EXPECT_EQ(2.5f, t.task->values[3 * w + 3]);
    EXPECT_EQ(PF_INSIDE, t.task->flags[3 * w + 3]);   // guessed: calculated later
    EXPECT_EQ(7.0f, t.task->values[2 * w + 1]);
    EXPECT_EQ(0.0f, t.task->values[4 * w]);           // beyond the block
    // The block of column 8 is cut at the image's right edge.
    t.task->values[8] = 1.0f;
    t.task->flags[8] = PF_CALCULATED;
    FillBlock(t.fractal, 0, 0, 9, 4);
    EXPECT_EQ(0.0f, t.task->values[9]);
}

TEST(EscapeTimeRoad, EliminationNeedsFourBitEqualCorners)
{
    const uint8_t c = PF_CALCULATED;
    const float nearly = nextafterf(3.0f, 4.0f);
    // The corners (0,0), (4,0), (4,4), (0,4) of the one block of step 4.
    struct Case {
        const char* what;
        float values[4];
        uint8_t flags[4];
        bool filled;
    } const cases[] = {
        {"equal corners", {3.0f, 3.0f, 3.0f, 3.0f}, {c, c, c, c}, true},
        {"one bit off", {3.0f, nearly, 3.0f, 3.0f}, {c, c, c, c}, false},
        {"0.0 corners", {0.0f, 0.0f, 0.0f, 0.0f}, {c, c, c, c}, false},
        {"a flag differs", {3.0f, 3.0f, 3.0f, 3.0f}, {c, c, c | PF_INSIDE, c}, false},
        {"guessed corners", {3.0f, 3.0f, 3.0f, 3.0f}, {0, 0, 0, 0}, true},
    };
    const int cx[4] = {0, 4, 4, 0}, cy[4] = {0, 0, 4, 4};
    for (const Case& k : cases) {
        TestTask t(5, 5, 24, 24, FT_ESCAPETIME);
        int w = t.fractal->GetBufferWidth();
        for (int i = 0; i < 4; ++i) {
            t.task->values[cy[i] * w + cx[i]] = k.values[i];
            t.task->flags[cy[i] * w + cx[i]] = k.flags[i];
        }
        EliminateBlocks(t.fractal, 0, 0, 4, 4, 4);
        if (!k.filled) {
            EXPECT_EQ(0.0f, t.task->values[2 * w + 2]) << k.what;
            EXPECT_EQ(0, t.task->flags[2 * w + 2]) << k.what;
            continue;
        }
        EXPECT_EQ(3.0f, t.task->values[2 * w + 2]) << k.what;
        EXPECT_EQ(k.flags[0] | PF_ELIMINATED, t.task->flags[2 * w + 2]) << k.what;
        EXPECT_EQ(k.flags[0] | PF_ELIMINATED, t.task->flags[0 * w + 2]) << k.what;   // edges too
        EXPECT_EQ(k.flags[0], t.task->flags[4 * w + 4]) << k.what;                   // corners keep theirs
    }
    // Step 1 eliminates nothing.
    TestTask t(5, 5, 24, 24, FT_ESCAPETIME);
    t.task->values[0] = t.task->values[1] = t.task->values[7] = t.task->values[6] = 3.0f;
    EliminateBlocks(t.fractal, 0, 0, 4, 4, 1);
    EXPECT_EQ(0, t.task->flags[0] & PF_ELIMINATED);
}

// ---------------------------------------------------------------------------
// Calculations of compiled formulas

TEST(EscapeTimeCalculation, MandelbrotCalculatesEveryPixelOfOnePass)
{
    EscapeTimeTask e(16, 12);
    e.Block()->Passes = 0;
    e.Block()->Eliminate = 0;
    e.Block()->Periodicity = 0;
    ASSERT_EQ(0, e.Calculate()) << g_EscapeTimeStatistics.shownText;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_TRUE(e.Flag(x, y) & PF_CALCULATED) << x << " " << y;
    EXPECT_EQ(17 * 12, g_EscapeTimeStatistics.evaluations);   // the buffer's spare column too
    // (-2, -1.5) escapes at once; the middle row's centre is inside.
    EXPECT_FALSE(e.Flag(0, 0) & PF_INSIDE);
    EXPECT_TRUE(e.Flag(8, 6) & PF_INSIDE);
    EXPECT_EQ(1, e.Block()->iteration.holder->word);

    // A continued calculation skips every pixel calculated before.
    e.base.task->lastCalculateCommand = FTC_CONTINUE;
    e.base.task->passLimit = 1000;
    ASSERT_EQ(0, CalculateEscapeTime(e.base.fractal, 0, 0, 16, 11));
    EXPECT_EQ(0, g_EscapeTimeStatistics.evaluations);
}

// A command pending during the set-up ends the calculation with 3 before
// any pixel.
TEST(EscapeTimeCalculation, CommandDuringSetUpStopsBeforeAnyPixel)
{
    EscapeTimeTask e(8, 6);
    e.base.task->command = FTC_STOP;
    EXPECT_EQ(3, e.Calculate());
    EXPECT_EQ(0, g_EscapeTimeStatistics.evaluations);
    EXPECT_EQ(0, e.Flag(4, 3));
    e.base.task->command = 0;
}

// After a failed compile the slot's state is -1 and every later
// calculation shows the text at once without compiling: a text that would
// compile now is not even tried until the slot gets a new source.
TEST(EscapeTimeCalculation, FailedFormulaIsNotCompiledAgain)
{
    EscapeTimeTask e(8, 6);
    e.SetFormula(kBroken, "Broken");
    EXPECT_EQ(1, e.Calculate());
    EXPECT_EQ(-1, e.Block()->iteration.holder->word);
    EXPECT_STREQ("Cannot compile Broken", g_EscapeTimeStatistics.shownText);
    e.Block()->iteration.holder->SetSource(kMandelbrot);
    g_EscapeTimeStatistics.shownText[0] = 0;
    EXPECT_EQ(1, e.Calculate());
    EXPECT_STREQ("Cannot compile Broken", g_EscapeTimeStatistics.shownText);
    EXPECT_EQ(0, g_EscapeTimeStatistics.evaluations);
    e.SetFormula(kMandelbrot, "Mandel");
    EXPECT_EQ(0, e.Calculate());
}

// A transformation whose formula was not found stops the set-up with its
// found name before the colourings and the iteration formula compile; the
// same transformation found runs.
TEST(EscapeTimeCalculation, TransformationNotFoundStopsBeforeTheFormula)
{
    EscapeTimeTask e(8, 6);
    e.Block()->Passes = 0;
    e.Block()->Eliminate = 0;
    // Column 1 of the middle row is the point (-1.5, 0): inside the set,
    // outside once the transformation doubles it.
    ASSERT_EQ(0, e.Calculate());
    EXPECT_TRUE(e.Flag(1, 3) & PF_INSIDE);
    e.SetFormula(kMandelbrot, "Mandel");
    FormulaInstance* t = new FormulaInstance(e.base.fractal, "Shift", "Test.str");
    t->holder->SetSource("Shift {\n void transform(void)\n {\n  pixel = pixel * 2;\n }\n}\n");
    strcpy(t->foundName, "Not Found: Shift");
    e.Block()->transformations.Append(t);
    EXPECT_EQ(1, e.Calculate());
    EXPECT_STREQ("Not Found: Shift", g_EscapeTimeStatistics.shownText);
    EXPECT_EQ(0, e.Block()->iteration.holder->word);
    strcpy(t->foundName, "Shift");
    EXPECT_EQ(0, e.Calculate()) << g_EscapeTimeStatistics.shownText;
    EXPECT_EQ(1, e.Block()->iteration.holder->word);
    EXPECT_FALSE(e.Flag(1, 3) & PF_INSIDE);
}

// Opacity cells exist only while the alpha channel is not all opaque (or a
// formula uses alpha or pixelcolor).
TEST(EscapeTimeCalculation, OpacityCellsOnlyWhenNeeded)
{
    EscapeTimeTask e(8, 6);
    memset(e.base.fractal->alphaChannel.alphaTable, 255, ALPHA_TABLE_SIZE);
    ASSERT_EQ(0, e.Calculate());
    EXPECT_FALSE(e.base.task->oldz->IsAllocated());
    e.base.fractal->alphaChannel.alphaTable[123] = 254;
    ASSERT_EQ(0, e.Calculate());
    EXPECT_TRUE(e.base.task->oldz->IsAllocated());
}

// MaxIter 0 and below run with a budget of one iteration, never with a
// count wrapped to four billion.
TEST(EscapeTimeCalculation, MaxIterBelowOneRunsOneIteration)
{
    for (int maxiter : {0, -7}) {
        EscapeTimeTask e(8, 6);
        e.Block()->MaxIter = maxiter;
        e.Block()->Passes = 0;
        DWORD start = GetTickCount();
        ASSERT_EQ(0, e.Calculate()) << maxiter;
        EXPECT_LT(GetTickCount() - start, 5000u) << maxiter;
        EXPECT_TRUE(e.Flag(4, 3) & PF_CALCULATED);
    }
}

// ---------------------------------------------------------------------------
// Faults and the stop inside compiled code

// A routine of hand-made machine code run as the per-pixel routine.
struct HandRoutine {
    explicit HandRoutine(const std::vector<uint8_t>& bytes) : code(64, true)
    {
        memcpy(code.GetData(), bytes.data(), bytes.size());
    }
    GrowBuffer code;
};

int RunRow(EscapeTimeTask& e, const void* routine)
{
    AlignedBuffer block(8192, 512);
    float values[2] = {0, 0};
    uint8_t flags[2] = {0, 0};
    LineContext c;
    memset(&c, 0, sizeof c);
    c.fractal = e.base.fractal;
    c.x1 = 1;
    c.height = 1;
    c.step = 1;
    c.mainBlock = block.GetBase();
    c.values = values;
    c.flags = flags;
    c.maxiter = 10;
    c.mappingOutside = c.mappingInside = 1;
    c.routine = routine;
    return CalculateLineGuarded(&c);
}

int MessagesWith(const char* text)
{
    int n = 0;
    LockMessageList();
    for (ListNode* m = g_Messages.GetHead(); m; m = m->next)
        n += strstr(static_cast<MessageNode*>(m)->text, text) != nullptr;
    UnlockMessageList();
    return n;
}

TEST(EscapeTimeRow, ProcessorFaultEndsTheRowWithItsMessage)
{
    EscapeTimeTask e(4, 3);
    // enter 176, 0; xor eax, eax; mov eax, [eax]; leave; ret
    HandRoutine fault({0xC8, 0xB0, 0x00, 0x00, 0x31, 0xC0, 0x8B, 0x00, 0xC9, 0xC3});
    int before = MessagesWith("Exception while calculating fractal line");
    EXPECT_EQ(1, RunRow(e, fault.code.GetData()));
    EXPECT_EQ(before + 1, MessagesWith("Exception while calculating fractal line"));
    EXPECT_EQ(0, e.base.task->inCompiledCode);
    // The x87 unit is usable afterwards.
    volatile double x = 2.0;
    EXPECT_EQ(4.0, x * x);
}

TEST(EscapeTimeRow, StopRequestEndsTheRowSilently)
{
    EscapeTimeTask e(4, 3);
    // enter; push 0; push 0; push 0; push 1000h; mov eax, RaiseException; call eax; leave; ret
    uint32_t raise = (uint32_t)(uintptr_t)&RaiseException;
    std::vector<uint8_t> bytes = {0xC8, 0xB0, 0x00, 0x00, 0x6A, 0x00, 0x6A, 0x00, 0x6A, 0x00,
                                  0x68, 0x00, 0x10, 0x00, 0x00, 0xB8};
    for (int k = 0; k < 4; ++k)
        bytes.push_back((uint8_t)(raise >> (8 * k)));
    bytes.insert(bytes.end(), {0xFF, 0xD0, 0xC9, 0xC3});
    HandRoutine stop(bytes);
    LockMessageList();
    int before = g_Messages.Count();
    UnlockMessageList();
    EXPECT_EQ(1, RunRow(e, stop.code.GetData()));
    LockMessageList();
    EXPECT_EQ(before, g_Messages.Count());
    UnlockMessageList();
}

// An escaping pixel's opacity goes into the cell's low 16 bits, clamped to
// 0..1 and truncated; the high 16 bits stay.
TEST(EscapeTimeRow, OpacityIsClampedIntoTheCell)
{
    EscapeTimeTask e(4, 3);
    struct Case {
        long double alpha;
        uint32_t want;
    } const cases[] = {{1.5L, 65535}, {-0.2L, 0}, {0.5L, 32767}};
    for (const Case& k : cases) {
        // The per-pixel routine returns at once (enter; leave; ret).
        AlignedBuffer block(8192, 512);
        HandRoutine keep({0xC8, 0xB0, 0x00, 0x00, 0xC9, 0xC3});
        float values[1] = {0};
        uint8_t flags[1] = {0};
        uint32_t cells[1] = {0xABCD0000u};
        LineContext c;
        memset(&c, 0, sizeof c);
        c.fractal = e.base.fractal;
        c.height = 1;
        c.step = 1;
        c.mainBlock = block.GetBase();
        c.values = values;
        c.flags = flags;
        c.cells = cells;
        c.maxiter = 10;
        c.mappingOutside = c.mappingInside = 1;
        c.routine = keep.code.GetData();
        // The transformation chain sets alpha from slot 300h (fld tbyte
        // [edi+300h]; fstp tbyte [edi+280h]); the row copies it over.
        AlignedBuffer chain(8192, 512);
        std::vector<uint8_t> chainCode = {0xC8, 0xB0, 0x00, 0x00, 0xDB, 0xAF, 0x00, 0x03, 0x00, 0x00,
                                          0xDB, 0xBF, 0x80, 0x02, 0x00, 0x00, 0xC9, 0xC3};
        HandRoutine setAlpha(chainCode);
        memcpy(chain.GetBase() + 0x300, &k.alpha, 10);
        c.chainBlock = chain.GetBase();
        c.chain = setAlpha.code.GetData();
        ASSERT_EQ(0, CalculateLine(&c));
        EXPECT_EQ(0xABCD0000u | k.want, cells[0]) << (double)k.alpha;
        EXPECT_EQ(PF_CALCULATED, flags[0]);
    }
}

// ---------------------------------------------------------------------------
// Re-applying an edited formula

TEST(EscapeTimeReapply, BaseNamesCutOnlyThreeLetterExtensions)
{
    struct Case {
        const char* a;
        const char* b;
        bool same;
    } const cases[] = {
        {"Mine.sfm", "mine", true}, {"MINE.SFM", "mine.sfm", true}, {"Mine.sfm", "Mine.sf", false},
        {"a.b", "a.b", true},       {"ab", "AB", true},             {"", "", true},
        {".sfm", "", true},         {"x.sfmx", "x", false},          {"Refactor_O", "refactor_o", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.same, SameBaseName(c.a, c.b)) << c.a << " / " << c.b;
}

TEST(EscapeTimeReapply, EntryReachesEscapeTimeSlotsByBaseNameOnly)
{
    FractalFolder* folder = new FractalFolder();
    folder->SetName("Reapply.par");
    FolderList.Append(folder);
    Fractal* escape = new Fractal(FT_ESCAPETIME, 0);
    Fractal* quaternion = new Fractal(FT_QUATERNION, 0);
    for (Fractal* f : {escape, quaternion}) {
        f->folder = folder;
        folder->fractals.Append(f);
    }
    EscapetimeParameters* eb = static_cast<EscapetimeParameters*>(escape->typeParameters);
    eb->iteration.SetNames("mine", "TEST", "old");
    eb->outside.SetNames("mine", "TEST", "old");   // a colouring slot: another kind
    QuaternionParameters* qb = static_cast<QuaternionParameters*>(quaternion->typeParameters);
    qb->iteration.SetNames("mine", "TEST", "old");
    const char* quaternionText = qb->iteration.holder->text;
    std::string quaternionBefore = quaternionText ? quaternionText : "";

    FormulaNode file(FK_ITERATION, FNK_FILE);
    file.SetName("Mine.sfm");
    FormulaNode entry(FK_ITERATION, FNK_FORMULA);
    entry.SetName("Edited title");
    entry.nameText = strdup("Test");
    entry.entryText = strdup(kMandelbrot);
    entry.parent = &file;

    ReapplyEditedFormula(&entry);
    EXPECT_STREQ("Edited title", eb->iteration.foundName);
    EXPECT_STREQ(kMandelbrot, eb->iteration.holder->text);
    EXPECT_EQ(1, eb->iteration.holder->word);
    EXPECT_STREQ("old", eb->outside.foundName);
    EXPECT_STREQ("old", qb->iteration.foundName);
    EXPECT_EQ(quaternionBefore, std::string(qb->iteration.holder->text ? qb->iteration.holder->text : ""));

    // A broken text reaches the slot with state 0.
    free(entry.entryText);
    entry.entryText = strdup(kBroken);
    ReapplyEditedFormula(&entry);
    EXPECT_STREQ(kBroken, eb->iteration.holder->text);
    EXPECT_EQ(0, eb->iteration.holder->word);

    // Fractals of the render jobs' folder are never touched.
    folder->SetName("RenderJobs.par");
    entry.SetName("Third title");
    ReapplyEditedFormula(&entry);
    EXPECT_STREQ("Edited title", eb->iteration.foundName);

    FolderList.Remove(folder);
    entry.parent = nullptr;
}

}  // namespace
