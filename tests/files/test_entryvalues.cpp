// Descriptor-driven items and the p_/f_ items of formula slots: what is
// written, in which format, and how values come back, including the ranges
// that clamp and the values that do not parse.
#include <gtest/gtest.h>

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "compiler/FormulaSymbol.h"
#include "document/ParameterDescriptor.h"
#include "files/entry/EntryTokens.h"
#include "files/entry/FormulaItems.h"
#include "files/entry/NamedValues.h"
#include "files/entry/TextWriter.h"
#include "foundation/Buffers.h"
#include "foundation/List.h"
#include "foundation/bignum/BigNumber.h"
#include "tests/files/WrittenText.h"
#include "compiler/EnumValues.h"

namespace {

// A packed block of every row type, in table order.
#pragma pack(push, 1)
struct Block {
    double real;
    int32_t count;      // 0..5
    int32_t mode;       // names Off, On
    uint8_t level;      // 10..200
    char title[16];
    uint8_t hidden[6];  // a blob: never written or read
    int32_t choice;
    BigNumber centre;
    uint8_t rgba[4];
    uint8_t rgb[3];
    int32_t wide;       // limits beyond 32 bits
    double notInFiles;
};
#pragma pack(pop)

const char* const kModeNames[] = {"Off", "On", nullptr};
const char* const kShapes[] = {"Round", "Square", nullptr};

ParameterDescriptor Row(const char* key, int type, int size, double mn, double mx, int written = 1,
                        const char* const* names = nullptr)
{
    ParameterDescriptor d = {};
    d.key = key;
    d.valueType = (int16_t)type;
    d.size = (int16_t)size;
    d.minimum = mn;
    d.maximum = mx;
    d.written = written;
    d.valueNames = names;
    return d;
}

const ParameterDescriptor kTable[] = {
    Row("Real", PT_DOUBLE, 0, -10, 10),
    Row("Count", PT_INT, 0, 0, 5),
    Row("Mode", PT_INT, 0, 0, 1, 1, kModeNames),
    Row("Level", PT_BYTE, 0, 10, 200),
    Row("Title", PT_TEXT, 16, 0, 0),
    Row("Hidden", PT_BLOB, 6, 0, 0),
    Row("Choice", PT_CHOICE, 0, 0, 3),
    Row("Centre", PT_BIGNUMBER, 0, -1e10, 1e10),
    Row("Colour", PT_RGBA, 0, 0, 255),
    Row("Light", PT_RGB, 0, 0, 255),
    Row("Wide", PT_INT, 0, -1e13, 1e13),
    Row("NotInFiles", PT_DOUBLE, 0, -1, 1, 0),
    Row(nullptr, PT_END, 0, 0, 0),
};

Block MakeBlock()
{
    Block b;
    memset((void*)&b, 0, sizeof b);
    new (&b.centre) BigNumber();
    b.real = 0.1;
    b.level = 50;
    strcpy(b.title, "plain");
    return b;
}

std::string Written(void (*write)(TextWriter&, const ParameterDescriptor*, const void*, const void*),
                    const Block& standard, const Block& block)
{
    WrittenText out;
    write(out.writer, kTable, &standard, &block);
    return out.Text();
}

}  // namespace

static_assert(sizeof(Block) == 8 + 4 + 4 + 1 + 16 + 6 + 4 + 4 + 4 + 3 + 4 + 8, "packed like a parameter block");

TEST(NamedValues, WritesOnlyWhatDiffersInTheRowFormats)
{
    Block standard = MakeBlock();
    Block block = MakeBlock();
    EXPECT_EQ("", Written(WriteNamedValues, standard, block));

    // Doubles closer than 1e-13 count as equal.
    block.real = 0.1 + 1e-14;
    EXPECT_EQ("", Written(WriteNamedValues, standard, block));
    block.real = 0.1 + 1e-12;
    block.count = 3;
    block.mode = 1;
    block.level = 7;
    strcpy(block.title, "a b");
    block.hidden[0] = 9;
    block.choice = 2;
    block.centre = "-0.75";
    block.rgba[0] = 255;
    block.rgb[2] = 12;
    block.notInFiles = 0.5;
    std::string expected = "  Real=+0.100000000001 Count=+3 Mode=On Level=7 Title=\"a b\" Choice=+2\n"
                           "  Centre=-0.75 Colour=255/0/0/0 Light=0/0/12";
    EXPECT_EQ(expected, Written(WriteNamedValues, standard, block));
    // A value without a name is written as its number.
    block.mode = 7;
    EXPECT_NE(std::string::npos, Written(WriteNamedValues, standard, block).find("Mode=+7"));
    // No row of this table goes into params=.
    EXPECT_EQ("", Written(WriteParamsKey, standard, block));
}

TEST(NamedValues, ReadsEachRowTypeAndClampsToTheNearerLimit)
{
    struct Case {
        const char* what;
        const char* key;
        const char* value;
        std::string (*field)(const Block&);
        const char* expected;
    };
    auto real = [](const Block& b) { char t[40]; snprintf(t, sizeof t, "%.17g", b.real); return std::string(t); };
    auto count = [](const Block& b) { return std::to_string(b.count); };
    auto mode = [](const Block& b) { return std::to_string(b.mode); };
    auto level = [](const Block& b) { return std::to_string(b.level); };
    auto title = [](const Block& b) { return std::string(b.title); };
    auto choice = [](const Block& b) { return std::to_string(b.choice); };
    auto rgba = [](const Block& b) {
        return std::to_string(b.rgba[0]) + "/" + std::to_string(b.rgba[1]) + "/" + std::to_string(b.rgba[2]) + "/" +
               std::to_string(b.rgba[3]);
    };
    auto rgb = [](const Block& b) {
        return std::to_string(b.rgb[0]) + "/" + std::to_string(b.rgb[1]) + "/" + std::to_string(b.rgb[2]);
    };
    auto wide = [](const Block& b) { return std::to_string(b.wide); };
    const Case cases[] = {
        {"double", "REAL", "-2.5", real, "-2.5"},
        {"unparsable double keeps the value", "Real", "abc", real, "0.10000000000000001"},
        {"int in range", "count", "4", count, "4"},
        {"int above the maximum", "Count", "9", count, "5"},
        {"int below the minimum", "Count", "-3", count, "0"},
        {"unparsable int keeps the value", "Count", "x", count, "0"},
        {"value name without case", "Mode", "on", mode, "1"},
        {"byte above the maximum", "Level", "300", level, "200"},
        {"byte below the minimum", "Level", "2", level, "10"},
        {"text is cut to its field", "Title", "abcdefghijklmnopqrstuvwxyz", title, "abcdefghijklmno"},
        {"choice has no range check", "Choice", "77", choice, "77"},
        {"colour components clamp into 0..255", "Colour", "256/-4/7/255", rgba, "255/0/7/255"},
        {"three-byte colour", "Light", "12/300/7", rgb, "12/255/7"},
        {"limits beyond 32 bits clamp to the int range", "Wide", "1e12", wide, "2147483647"},
        {"negative side", "Wide", "-1e12", wide, "-2147483648"},
    };
    for (const Case& c : cases) {
        Block block = MakeBlock();
        EXPECT_EQ(1, ReadNamedValue(&block, kTable, c.key, c.value)) << c.what;
        EXPECT_EQ(c.expected, c.field(block)) << c.what;
    }

    Block block = MakeBlock();
    EXPECT_EQ(1, ReadNamedValue(&block, kTable, "centre", "-1.25e-3"));
    EXPECT_TRUE(block.centre == BigNumber("-0.00125"));
    // Blobs, rows kept out of files and unknown keys are not taken.
    EXPECT_EQ(0, ReadNamedValue(&block, kTable, "Hidden", "1"));
    EXPECT_EQ(0, ReadNamedValue(&block, kTable, "NotInFiles", "1"));
    EXPECT_EQ(0, ReadNamedValue(&block, kTable, "Nothing", "1"));
}

// What is written reads back into an equal block.
TEST(NamedValues, WrittenItemsReadBackEqual)
{
    Block standard = MakeBlock();
    Block block = MakeBlock();
    block.real = 1.0 / 3.0;
    block.count = 2;
    block.mode = 1;
    block.level = 199;
    strcpy(block.title, "with blanks");
    block.centre = "0.123456789012345678901234567890123456789";
    block.rgba[3] = 128;
    block.rgb[1] = 200;
    std::string text = Written(WriteNamedValues, standard, block);

    // Split as the entry reader does: tokens, the key before '=', the
    // value without its quotes.
    Block back = MakeBlock();
    char token[LONG_TOKEN_CAPACITY];
    for (int pos = NextLongToken(text.c_str(), token, 0); pos >= 0; pos = NextLongToken(text.c_str(), token, pos)) {
        char* eq = strchr(token, '=');
        ASSERT_NE(nullptr, eq);
        *eq = 0;
        std::string value = eq + 1;
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        EXPECT_EQ(1, ReadNamedValue(&back, kTable, token, value.c_str())) << token;
    }
    // Doubles travel with 15 digits: equal within the writer's own threshold.
    EXPECT_NEAR(block.real, back.real, 1e-13);
    EXPECT_EQ(block.count, back.count);
    EXPECT_EQ(block.mode, back.mode);
    EXPECT_EQ(block.level, back.level);
    EXPECT_STREQ(block.title, back.title);
    EXPECT_TRUE(block.centre == back.centre);
    EXPECT_EQ(0, memcmp(block.rgba, back.rgba, 4));
    EXPECT_EQ(0, memcmp(block.rgb, back.rgb, 3));
}

namespace {

// The parameter and function lists of one formula slot.
class Slot {
public:
    ~Slot()
    {
        parameters.DeleteAllNodes();
        functions.DeleteAllNodes();
    }
    FormulaSymbol* Parameter(const char* name, int type, double v0 = 0, double v1 = 0)
    {
        FormulaSymbol* s = new FormulaSymbol();
        s->SetName(name);
        s->symbolClass = SYM_PARAMETER;
        s->dataType = type;
        s->value[0] = v0;
        s->value[1] = v1;
        parameters.Append(s);
        return s;
    }
    FormulaFuncParameter* Function(const char* name, int table, int selected)
    {
        FormulaFuncParameter* f = new FormulaFuncParameter();
        f->SetName(name);
        f->functionTable = table;
        f->selected = selected;
        functions.Append(f);
        return f;
    }
    std::string Written()
    {
        WrittenText out;
        WriteFormulaParameters(out.writer, &parameters);
        WriteFormulaFunctions(out.writer, &functions);
        return out.Text();
    }
    void Read(const char* key, const char* value, bool imported = false)
    {
        ReadParmValue(&parameters, &functions, key, value, imported);
    }

    NodeList parameters;
    NodeList functions;
};

}  // namespace

TEST(FormulaItems, WritesEveryParameterTypeAndTheFunctionNames)
{
    Slot slot;
    slot.Parameter("seed", DT_COMPLEX, -0.75, 0.1);
    slot.Parameter("power", DT_REAL, 1.0 / 3.0);
    slot.Parameter("heading", DT_SEPARATOR);
    FormulaSymbol* shape = slot.Parameter("shape", DT_INT, 1);
    SetEnumValues(&shape->enumList, kShapes);
    slot.Parameter("flag", DT_BOOL, 1);
    FormulaSymbol* tint = slot.Parameter("tint", DT_COLOR, 1, 0.5);
    tint->value[3] = 1;
    slot.Parameter("dir", DT_VECTOR, 1, 2);
    slot.Function("fn1", 0, 16);
    slot.Function("blend", 1, 2);
    EXPECT_EQ("  p_seed=-0.75/0.1 p_power=0.3333333333333333 p_shape=\"Square\"\n"
              "  p_flag=1 p_tint=1/0.5/0/1 p_dir=1/2/0 f_fn1=sqr f_blend=mergescreen",
              slot.Written());
    // An enumerated value without a name writes nothing.
    shape->value[0] = 5;
    EXPECT_EQ(std::string::npos, slot.Written().find("p_shape"));
}

TEST(FormulaItems, ReadsNamesNumbersAndImportedColours)
{
    Slot slot;
    FormulaSymbol* real = slot.Parameter("power", DT_REAL, 2);
    FormulaSymbol* seed = slot.Parameter("seed", DT_COMPLEX, 5, 6);
    FormulaSymbol* old = slot.Parameter("Parm_bailout", DT_REAL, 4);
    FormulaSymbol* tint = slot.Parameter("tint", DT_COLOR);
    FormulaSymbol* shape = slot.Parameter("shape", DT_INT);
    SetEnumValues(&shape->enumList, kShapes);
    FormulaFuncParameter* fn = slot.Function("fn1", 0, 3);
    FormulaFuncParameter* blend = slot.Function("blend", 1, 0);

    slot.Read("p_power", "yes");
    EXPECT_EQ(1.0, real->value[0]);
    slot.Read("p_power", "False");
    EXPECT_EQ(0.0, real->value[0]);
    slot.Read("p_seed", "0.5/0.25");
    EXPECT_EQ(0.5, seed->value[0]);
    EXPECT_EQ(0.25, seed->value[1]);
    // One number leaves the second component alone.
    slot.Read("p_seed", "3");
    EXPECT_EQ(3.0, seed->value[0]);
    EXPECT_EQ(0.25, seed->value[1]);
    // A value without a number leaves the parameter as it was.
    slot.Read("p_seed", "abc");
    EXPECT_EQ(3.0, seed->value[0]);
    slot.Read("p_bailout", "100");
    EXPECT_EQ(100.0, old->value[0]);
    slot.Read("p_shape", "SQUARE");
    EXPECT_EQ(1.0, shape->value[0]);
    // Names match exactly unless imported.
    slot.Read("p_POWER", "7");
    EXPECT_EQ(0.0, real->value[0]);
    slot.Read("p_POWER", "7", true);
    EXPECT_EQ(7.0, real->value[0]);

    slot.Read("p_tint", "16711680", true);
    EXPECT_EQ(1.0, tint->value[0]);
    EXPECT_EQ(0.0, tint->value[1]);
    EXPECT_EQ(0.0, tint->value[2]);
    EXPECT_EQ(0.0, tint->value[3]);
    slot.Read("p_tint", "-16777216", true);  // 0xFF000000: opaque black
    EXPECT_EQ(1.0, tint->value[3]);

    slot.Read("f_blend", "screen");
    EXPECT_EQ(2, blend->selected);
    slot.Read("f_blend", "mergescreen");
    EXPECT_EQ(2, blend->selected);
    slot.Read("f_fn1", "cosh");
    EXPECT_EQ(5, fn->selected);
    slot.Read("f_fn1", "sine");
    EXPECT_EQ(0, fn->selected);
}
