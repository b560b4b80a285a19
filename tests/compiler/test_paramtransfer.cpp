// Parameter values between symbol lists and data blocks: the conversions
// into slots of every type and precision and back, the writers (symbol
// values, arrays and their table, parameters at the offsets of their
// compiled twins), the readers (threshold, several worker blocks, shadows),
// the write-back of a parameter a compiled formula assigns with the message
// to the main frame, and the setters by name.
#include <gtest/gtest.h>
#include "foundation/Services.h"
#include "tests/support/ToolRunner.h"
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include <vector>

#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaRun.h"
#include "compiler/FormulaSymbol.h"
#include "compiler/ParameterTransfer.h"
#include "document/Fractal.h"
#include "formulas/FormulaKind.h"
#include "foundation/Buffers.h"
#include "foundation/List.h"

namespace {

// A list of symbols that deletes its nodes.
struct SymbolList {
    NodeList list;
    SymbolList() { list.SetIndexes(NL_INDEX_NAME); }
    ~SymbolList() { DeleteAllNodes(&list); }
    FormulaSymbol* Add(const char* name, int symbolClass, int type, int precision, int offset,
                       std::initializer_list<double> value = {})
    {
        FormulaSymbol* s = new FormulaSymbol();
        s->SetName(name);
        s->symbolClass = symbolClass;
        s->dataType = type;
        s->precision = precision;
        s->dataOffset = offset;
        int k = 0;
        for (double v : value)
            s->value[k++] = v;
        list.Append(s);
        return s;
    }
};

// A zeroed data block of 512 bytes.
struct Block {
    alignas(16) uint8_t bytes[512];
    Block() { memset(bytes, 0, sizeof bytes); }
};

// Every message handed to the main frame.
struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Posted> g_posted;

bool RecordPost(UINT message, WPARAM wParam, LPARAM lParam)
{
    g_posted.push_back({message, wParam, lParam});
    return true;
}

class PostRecorder {
public:
    PostRecorder()
    {
        g_posted.clear();
        previous = Services().postToMainFrame;
        Services().postToMainFrame = &RecordPost;
    }
    ~PostRecorder() { Services().postToMainFrame = previous; }

private:
    bool (*previous)(UINT, WPARAM, LPARAM);
};

// ---------------------------------------------------------------------------
// Slots

// Values written into slots of each type and precision, then read back: int
// rounds half away from zero, bool truncates value + 0.5, floats and
// colours lose what a float can't hold, extended and double keep it.
TEST(Slots, ConvertIntoEachTypeAndBack)
{
    struct Case {
        const char* what;
        int type, precision;
        double value[4];
        double expected[4];
    };
    const double third = 1.0 / 3.0;
    const Case cases[] = {
        {"int 2.5", DT_INT, PREC_DOUBLE, {2.5}, {3}},
        {"int -2.5", DT_INT, PREC_DOUBLE, {-2.5}, {-3}},
        {"int 2.49", DT_INT, PREC_DOUBLE, {2.49}, {2}},
        {"bool 0.4", DT_BOOL, PREC_DOUBLE, {0.4}, {0}},
        {"bool 0.5", DT_BOOL, PREC_DOUBLE, {0.5}, {1}},
        {"extended complex", DT_COMPLEX, PREC_EXTENDED, {third, -third}, {third, -third}},
        {"double quaternion", DT_QUATERNION, PREC_DOUBLE, {1, third, 3, 4}, {1, third, 3, 4}},
        {"float real", DT_REAL, PREC_FLOAT, {third}, {(double)(float)third}},
        {"extended vector", DT_VECTOR, PREC_EXTENDED, {1, 2, third}, {1, 2, third}},
        {"colour", DT_COLOR, PREC_DOUBLE, {0.25, third, 1, 0.5}, {0.25, (double)(float)third, 1, 0.5}},
    };
    for (const Case& c : cases) {
        Block block;
        SymbolList symbols;
        FormulaSymbol* s = symbols.Add("v", SYM_VARIABLE, c.type, c.precision, 64);
        memcpy(s->value, c.value, sizeof s->value);
        ASSERT_EQ(0, storeSymbolValues(block.bytes, &symbols.list, nullptr, nullptr, false, 0));
        for (int k = 0; k < SymbolComponentCount(c.type); k++)
            EXPECT_EQ(c.expected[k], ReadSymbolComponent(block.bytes, s, k)) << c.what << ", component " << k;
        // Nothing outside the slot was touched.
        for (int i = 0; i < 64; i++)
            ASSERT_EQ(0, block.bytes[i]) << c.what;
        for (int i = 64 + slotSize(c.type, c.precision); i < (int)sizeof block.bytes; i++)
            ASSERT_EQ(0, block.bytes[i]) << c.what << " at " << i;
    }
}

// Arrays: with allocateArrays an array made at run time starts as 0 and a
// declared one gets its block; both are listed as (kind, offset) pairs
// ended by -1. Without it, array slots are left alone. Separators and
// symbols without a slot are skipped.
TEST(Slots, ArraysAreListedWithTheirKind)
{
    Block block;
    memset(block.bytes + 8, 0xAB, 8);
    SymbolList symbols;
    symbols.Add("made", SYM_VARIABLE, DT_ARRAY, DT_REAL, 8);
    FormulaSymbol* declared = symbols.Add("declared", SYM_VARIABLE, DT_PREDEFINED_ARRAY, DT_INT, 12);
    declared->elementPrecision = PREC_DOUBLE;
    declared->value[0] = 1;
    declared->dimensions[0] = 5;
    symbols.Add("heading", SYM_PARAMETER, DT_SEPARATOR, 0, 16, {7});
    symbols.Add("noslot", SYM_VARIABLE, DT_REAL, PREC_DOUBLE, -1, {7});

    ASSERT_EQ(0, storeSymbolValues(block.bytes, &symbols.list, nullptr, nullptr, false, 3));
    EXPECT_EQ(0xAB, block.bytes[8]);
    EXPECT_EQ(0xAB, block.bytes[12]);

    GrowBuffer table(4);
    int pairs = 0;
    ASSERT_EQ(0, storeSymbolValues(block.bytes, &symbols.list, &table, &pairs, true, 3));
    ASSERT_EQ(2, pairs);
    const int32_t* words = static_cast<const int32_t*>(table.GetData());
    EXPECT_EQ(3, words[0]);
    EXPECT_EQ(8, words[1]);
    EXPECT_EQ(3, words[2]);
    EXPECT_EQ(12, words[3]);
    EXPECT_EQ(-1, words[4]);
    void* made;
    void* block12;
    memcpy(&made, block.bytes + 8, 4);
    memcpy(&block12, block.bytes + 12, 4);
    EXPECT_EQ(nullptr, made);
    ASSERT_NE(nullptr, block12);
    EXPECT_EQ(5, static_cast<int32_t*>(block12)[3]) << "the declared size in the block's header";
    VirtualFree(block12, 0, MEM_RELEASE);
    for (int i = 16; i < (int)sizeof block.bytes; i++)
        ASSERT_EQ(0, block.bytes[i]) << i;
}

// ---------------------------------------------------------------------------
// Parameters into a data block

TEST(StoreParameterValues, WritesAtTheCompiledOffsetsInTheCompiledTypes)
{
    SymbolList compiled;
    FormulaSymbol* cp = compiled.Add("p", SYM_PARAMETER, DT_INT, PREC_DOUBLE, 40);
    cp->writeCount = 1;
    compiled.Add("q", SYM_PARAMETER, DT_COMPLEX, PREC_EXTENDED, 64);
    SymbolList parameters;
    FormulaSymbol* p = parameters.Add("p", SYM_PARAMETER, DT_REAL, PREC_DOUBLE, 200, {2.6});
    FormulaSymbol* q = parameters.Add("q", SYM_PARAMETER, DT_COMPLEX, PREC_DOUBLE, 300, {1.5, -0.25});
    q->writeBack = 1;   // stale: q is not assigned by this formula
    FormulaSymbol* gone = parameters.Add("gone", SYM_PARAMETER, DT_REAL, PREC_DOUBLE, 100, {9});

    Block block;
    ASSERT_EQ(0, storeParameterValues(block.bytes, &parameters.list, &compiled.list, nullptr, 1, 0, true, true));
    EXPECT_EQ(3, ReadSymbolComponent(block.bytes, cp, 0)) << "2.6 into the compiled int";
    const FormulaSymbol* cq = static_cast<const FormulaSymbol*>(compiled.list.Find("q"));
    EXPECT_EQ(1.5, ReadSymbolComponent(block.bytes, cq, 0));
    EXPECT_EQ(-0.25, ReadSymbolComponent(block.bytes, cq, 1));
    EXPECT_EQ(1, p->writeBack);
    EXPECT_EQ(0, q->writeBack);
    EXPECT_EQ(40, p->dataOffset);
    EXPECT_EQ(64, q->dataOffset);
    EXPECT_EQ(0, gone->dataOffset) << "a parameter the formula lacks";
    for (int i = 0; i < 40; i++)
        ASSERT_EQ(0, block.bytes[i]) << "nothing written for the missing parameter, at " << i;

    // Without recordOffsets and markWriteBack the parameters keep theirs.
    p->dataOffset = 8;
    p->writeBack = 0;
    ASSERT_EQ(0, storeParameterValues(block.bytes, &parameters.list, &compiled.list, nullptr, 1, 0, false, false));
    EXPECT_EQ(8, p->dataOffset);
    EXPECT_EQ(0, p->writeBack);

    // The direct writer uses the parameter's own offset and type, and skips
    // a parameter whose offset says the formula lacks it.
    Block second;
    p->dataOffset = 40;
    ASSERT_EQ(0, storeParameterValuesDirect(second.bytes, &parameters.list, nullptr, 1, 0, false));
    double v;
    memcpy(&v, second.bytes + 40, 8);
    EXPECT_EQ(2.6, v);
    for (int i = 0; i < 40; i++)
        ASSERT_EQ(0, second.bytes[i]) << i;
}

// ---------------------------------------------------------------------------
// Reading back

class ReadBack : public ::testing::Test {
protected:
    ReadBack()
    {
        p = symbols.Add("p", SYM_PARAMETER, DT_COMPLEX, PREC_DOUBLE, 32, {1, 2});
        p->writeBack = 1;
        fixed = symbols.Add("fixed", SYM_PARAMETER, DT_REAL, PREC_DOUBLE, 64, {5});
        n = symbols.Add("n", SYM_PARAMETER, DT_INT, PREC_DOUBLE, 80, {4});
        n->writeBack = 1;
        for (Block* b : {&first, &second, &shadowFirst, &shadowSecond})
            storeSymbolValues(b->bytes, &symbols.list, nullptr, nullptr, false, 0);
    }
    void Write(Block& b, const FormulaSymbol* s, int k, double v)
    {
        int size = s->precision == PREC_EXTENDED ? 16 : 8;
        memcpy(b.bytes + s->dataOffset + k * size, &v, 8);
    }
    SymbolList symbols;
    FormulaSymbol* p;
    FormulaSymbol* fixed;
    FormulaSymbol* n;
    Block first, second, shadowFirst, shadowSecond;
};

TEST_F(ReadBack, TakesTheFirstBlockThatChangedAValue)
{
    uint8_t* blocks[] = {first.bytes, second.bytes, nullptr};
    EXPECT_FALSE(readBackSymbolValues(blocks, &symbols.list));

    // Only the second worker changed p's imaginary part.
    Write(second, p, 1, 7.5);
    EXPECT_TRUE(readBackSymbolValues(blocks, &symbols.list));
    EXPECT_EQ(1, p->value[0]);
    EXPECT_EQ(7.5, p->value[1]);
    // The next calculation starts every block with the value taken.
    Write(first, p, 1, 7.5);

    // A parameter not marked for write-back is never read.
    Write(first, fixed, 0, 9);
    EXPECT_FALSE(readBackSymbolValues(blocks, &symbols.list));
    EXPECT_EQ(5, fixed->value[0]);

    // Changes of 1e-10 are not taken, of 1e-8 they are.
    Write(first, p, 0, 1 + 1e-10);
    EXPECT_FALSE(readBackSymbolValues(blocks, &symbols.list));
    EXPECT_EQ(1, p->value[0]);
    Write(first, p, 0, 1 + 1e-8);
    EXPECT_TRUE(readBackSymbolValues(blocks, &symbols.list));
    EXPECT_EQ(1 + 1e-8, p->value[0]);

    // Int slots are read as int32.
    int32_t six = 6;
    memcpy(first.bytes + 80, &six, 4);
    EXPECT_TRUE(readBackSymbolValues(blocks, &symbols.list));
    EXPECT_EQ(6, n->value[0]);
}

TEST_F(ReadBack, ShadowsTellWhatChangedSinceTheLastReadBack)
{
    uint8_t* blocks[] = {first.bytes, second.bytes, nullptr};
    uint8_t* shadows[] = {shadowFirst.bytes, shadowSecond.bytes, nullptr};
    EXPECT_FALSE(readBackSymbolValuesShadow(blocks, shadows, &symbols.list));

    // The first block holds a value that differs from p but not from its
    // shadow: not taken. The second changed since its shadow: taken, and
    // its shadow follows.
    Write(first, p, 0, 3);
    Write(shadowFirst, p, 0, 3);
    Write(second, p, 0, 4);
    EXPECT_TRUE(readBackSymbolValuesShadow(blocks, shadows, &symbols.list));
    EXPECT_EQ(4, p->value[0]);
    EXPECT_EQ(0, memcmp(second.bytes + 32, shadowSecond.bytes + 32, 8));
    EXPECT_FALSE(readBackSymbolValuesShadow(blocks, shadows, &symbols.list));

    // A change smaller than 1e-9 still counts against the shadow.
    Write(first, p, 1, 2 + 1e-12);
    EXPECT_TRUE(readBackSymbolValuesShadow(blocks, shadows, &symbols.list));
    EXPECT_EQ(2 + 1e-12, p->value[1]);
}

// ---------------------------------------------------------------------------
// Write-back of a compiled formula

const char kAssigning[] =
    "Assigning {\n"
    "  parameter real step;\n  parameter complex seed;\n  parameter int count;\n"
    "  void init(void) {\n    z = seed;\n  }\n"
    "  void loop(void) {\n    step = step + 0.5;\n    count = count + 2;\n    z = z + step;\n  }\n"
    "  bool bailout(void) {\n    return(true);\n  }\n"
    "  void description(void) {\n    step.default = 1;\n    seed.default = (0.25, 1);\n    count.default = 3;\n  }\n"
    "}\n";

// The fractal's copy of the parameters, as the calculation hands them in.
void CopyParameters(const FormulaRun& run, NodeList* to)
{
    for (ListNode* n = run.Holder()->compiler->symbols.GetHead(); n; n = n->next) {
        const FormulaSymbol* s = static_cast<const FormulaSymbol*>(n);
        if (s->symbolClass != SYM_PARAMETER)
            continue;
        FormulaSymbol* copy = new FormulaSymbol();
        s->copyTo(copy);
        memcpy(copy->value, s->defaultValue, sizeof copy->value);
        to->Append(copy);
    }
}

// Parameter lists of a fake fractal for the write-back entry points.
NodeList* g_slotList = nullptr;
NodeList* g_transformationList = nullptr;
void ListsOfFakeFractal(void* owner, bool attractor, FormulaParameterLists* lists)
{
    (void)owner;
    (void)attractor;
    lists->slots[lists->slotCount++] = g_slotList;
    if (g_transformationList)
        lists->transformations[lists->transformationCount++] = g_transformationList;
}

TEST(WriteBack, ValuesAFormulaAssignsReachTheFractalAndTheMainFrameIsTold)
{
    FormulaRun run;
    ASSERT_TRUE(run.Compile(kAssigning, FK_ITERATION, SK_PLANE, {{"step", "2"}})) << run.error();
    SymbolList parameters;
    CopyParameters(run, &parameters.list);
    setSymbolReal(&parameters.list, "step", 2);
    setSymbolComplex(&parameters.list, "seed", -1, 0.5);

    // The values into the block, the assigned parameters marked.
    uint8_t* base = run.DataBase();
    ASSERT_EQ(0, storeParameterValues(base, &parameters.list, &run.Holder()->compiler->symbols, nullptr, 1, 0,
                                      true, true));
    FormulaSymbol* step = static_cast<FormulaSymbol*>(parameters.list.Find("step"));
    FormulaSymbol* seed = static_cast<FormulaSymbol*>(parameters.list.Find("seed"));
    FormulaSymbol* count = static_cast<FormulaSymbol*>(parameters.list.Find("count"));
    ASSERT_TRUE(step && seed && count);
    EXPECT_EQ(1, step->writeBack);
    EXPECT_EQ(1, count->writeBack);
    EXPECT_EQ(0, seed->writeBack);

    double pixel[4] = {0, 0, 0, 0};
    run.SetPixel(pixel);
    ASSERT_EQ(4, run.Iterate(4));
    double z[4];
    run.GetZ(z);
    EXPECT_DOUBLE_EQ(-1 + 2.5 + 3 + 3.5 + 4, z[0]) << "the formula ran on the values stored";
    EXPECT_DOUBLE_EQ(0.5, z[1]);

    PostRecorder recorder;
    g_FormulaParameterLists = &ListsOfFakeFractal;
    g_slotList = &parameters.list;
    g_transformationList = nullptr;
    uint8_t* blocks[] = {base, nullptr};
    uint8_t* noTransformations[] = {nullptr};
    Fractal owner;
    Fractal* fractal = &owner;
    EXPECT_TRUE(HandleWritebackParametersEscape(noTransformations, blocks, 77, fractal));
    EXPECT_DOUBLE_EQ(4, step->value[0]);
    EXPECT_EQ(11, count->value[0]);
    EXPECT_EQ(-1, seed->value[0]);
    ASSERT_EQ(1u, g_posted.size());
    EXPECT_EQ((UINT)UM_PARAMETERS_WRITTEN_BACK, g_posted[0].message);
    EXPECT_EQ(77u, g_posted[0].wParam);
    EXPECT_EQ(0, g_posted[0].lParam);

    // Nothing changed since: nothing is posted.
    EXPECT_FALSE(HandleWritebackParametersEscape(noTransformations, blocks, 78, fractal));
    EXPECT_EQ(1u, g_posted.size());
    g_FormulaParameterLists = nullptr;
    g_slotList = nullptr;
}

// A transformation's list is read from the transformation blocks, not from
// the blocks of the formula slots.
TEST(WriteBack, TransformationsReadTheirOwnBlocks)
{
    SymbolList slot, transformation;
    FormulaSymbol* a = slot.Add("a", SYM_PARAMETER, DT_REAL, PREC_DOUBLE, 16, {1});
    FormulaSymbol* b = transformation.Add("b", SYM_PARAMETER, DT_REAL, PREC_DOUBLE, 16, {1});
    a->writeBack = b->writeBack = 1;
    Block slotBlock, transformationBlock;
    double two = 2, three = 3;
    memcpy(slotBlock.bytes + 16, &two, 8);
    memcpy(transformationBlock.bytes + 16, &three, 8);
    uint8_t* blocks[] = {slotBlock.bytes, nullptr};
    uint8_t* transformationBlocks[] = {transformationBlock.bytes, nullptr};

    PostRecorder recorder;
    FormulaParameterLists lists = {};
    lists.slots[lists.slotCount++] = &slot.list;
    lists.transformations[lists.transformationCount++] = &transformation.list;
    EXPECT_TRUE(WritebackParameterLists(lists, blocks, nullptr, transformationBlocks, nullptr, 5));
    EXPECT_EQ(2, a->value[0]);
    EXPECT_EQ(3, b->value[0]);
    EXPECT_EQ(1u, g_posted.size());

    // Without a source of lists the entry points read nothing.
    EXPECT_FALSE(HandleWritebackParameters(blocks, 6, &lists));
    EXPECT_EQ(1u, g_posted.size());
}

// ---------------------------------------------------------------------------
// spxfc run --const-params

// Output of "spxfc" with the arguments (stdout and stderr, CR dropped).
std::string RunSpxfc(const std::string& arguments)
{
    ToolRun run = RunSibling("spxfc.exe", arguments);
    return run.output + run.errors;
}

// Parameters compiled as fixed values give what variable ones give, for
// the defaults and for values given; an assigned parameter stays variable.
TEST(SpxfcRunConstParams, GivesTheSameResults)
{
    char folder[MAX_PATH], file[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    GetTempFileNameA(folder, "spt", 0, file);
    FILE* f = fopen(file, "w");
    ASSERT_NE(nullptr, f);
    fputs("Fixed {\n  parameter complex seed;\n  parameter real limit;\n  parameter bool flip;\n"
          "  void init(void) {\n    z = pixel;\n    if (flip) {\n      z = -z;\n    }\n  }\n"
          "  void loop(void) {\n    z = z*z + seed;\n    limit = limit + 0;\n  }\n"
          "  bool bailout(void) {\n    return(|z| < limit);\n  }\n"
          "  void description(void) {\n    seed.default = (-0.4, 0.6);\n    limit.default = 4;\n  }\n}\n",
          f);
    fclose(f);
    const std::string base = std::string("run --kind iteration \"") + file + "\" --maxiter 50 ";
    const char* const runs[] = {
        "--pixel 0.1,0.2",
        "--pixel 0.3,-0.1 --param \"seed=(0.25,0.5)\" --param limit=9 --param flip=true",
        "--pixel 1,1",
    };
    for (const char* arguments : runs) {
        std::string variable = RunSpxfc(base + arguments);
        std::string fixed = RunSpxfc(base + arguments + " --const-params");
        EXPECT_EQ(0u, variable.find("iterations=")) << variable;
        EXPECT_EQ(variable, fixed) << arguments;
    }
    DeleteFileA(file);
}

// ---------------------------------------------------------------------------
// By name

TEST(ByName, SetAndGetExactNames)
{
    SymbolList symbols;
    FormulaSymbol* r = symbols.Add("radius", SYM_PARAMETER, DT_REAL, PREC_DOUBLE, 0);
    FormulaSymbol* c = symbols.Add("seed", SYM_PARAMETER, DT_COMPLEX, PREC_DOUBLE, 0);
    FormulaSymbol* q = symbols.Add("quat", SYM_PARAMETER, DT_QUATERNION, PREC_DOUBLE, 0);
    EXPECT_EQ(r, setSymbolReal(&symbols.list, "radius", 2.5));
    EXPECT_EQ(c, setSymbolComplex(&symbols.list, "seed", 1, -1));
    EXPECT_EQ(q, setSymbolQuaternion(&symbols.list, "quat", 1, 2, 3, 4));
    EXPECT_EQ(nullptr, setSymbolReal(&symbols.list, "Radius", 9)) << "names are exact";
    double v = -7;
    EXPECT_TRUE(getSymbolReal(&symbols.list, "radius", &v));
    EXPECT_EQ(2.5, v);
    EXPECT_FALSE(getSymbolReal(&symbols.list, "missing", &v));
    EXPECT_EQ(2.5, v);
    EXPECT_EQ(-1, c->value[1]);
    EXPECT_EQ(4, q->value[3]);
}

}  // namespace
