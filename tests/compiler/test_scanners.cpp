#include <gtest/gtest.h>

#include <string.h>

#include "compiler/FormulaCompiler.h"
#include "compiler/Scanners.h"
#include "foundation/Buffers.h"

namespace {

struct NumberCase {
    const char* text;
    int result;
    double value;
    int length;
    bool point;
};

TEST(ScanNumber, ReadsSignDigitsPointAndExponent)
{
    const NumberCase cases[] = {
        {"  -12.5e2xyz", 1, -1250.0, 9, true},  // leading blanks counted, letters not
        {"42", 1, 42.0, 2, false},
        {"\t\r\n7;", 1, 7.0, 4, false},
        {"-.5", 1, -0.5, 3, true},
        {"+5.", 1, 5.0, 3, true},
        {"3E-2", 1, 0.03, 4, false},
        {"2e", 1, 2.0, 2, false},  // an "e" without digits is exponent 0, consumed
        {"2e+)", 1, 2.0, 3, false},
        {"0x1p3", 1, 0.0, 1, false},  // no hexadecimal forms
        {"1d5", 1, 1.0, 1, false},    // only "e" and "E" start an exponent
        {".", 0, 0, 0, false},
        {"+", 0, 0, 0, false},
        {"- 5", 0, 0, 0, false},  // no blank between sign and digits
        {"e5", 0, 0, 0, false},
        {"", 0, 0, 0, false},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        double value = -99;
        int length = -99;
        bool point = !c.point;
        ASSERT_EQ(c.result, scanNumber(c.text, &value, &length, &point));
        if (!c.result)
            continue;
        EXPECT_EQ(c.value, value);
        EXPECT_EQ(c.length, length);
        EXPECT_EQ(c.point, point);
    }
}

// Exponents are applied exactly (as strtod does), not through a power
// computed with a logarithm, and long fractions round correctly.
TEST(ScanNumber, ValuesAreCorrectlyRounded)
{
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"2.5e3", 2.5e3},
        {"1e10", 1e10},
        {"1e22", 1e22},
        {"1.5e-7", 1.5e-7},
        {"123.456e-2", 1.23456},
        {"1e-300", 1e-300},
        {"1.7976931348623157e308", 1.7976931348623157e308},
        {"0.1", 0.1},
        {"3.141592653589793", 3.141592653589793},
        {"0.30000000000000004", 0.30000000000000004},
        {"-6.02214076e23", -6.02214076e23},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        double value = 0;
        int length = 0;
        bool point = false;
        ASSERT_EQ(1, scanNumber(c.text, &value, &length, &point));
        EXPECT_EQ(c.value, value);
        EXPECT_EQ((int)strlen(c.text), length);
    }
}

TEST(ScanNumber, LongDigitRunsAreReadWhole)
{
    std::string text(400, '1');
    text += "e-399";
    double value = 0;
    int length = 0;
    bool point = true;
    ASSERT_EQ(1, scanNumber(text.c_str(), &value, &length, &point));
    EXPECT_EQ((int)text.size(), length);
    EXPECT_FALSE(point);
    EXPECT_EQ(1.11111111111111111111111111, value);  // the double nearest to 1.111...
}

struct ConstantCase {
    const char* text;
    bool noParentheses;
    int kind;
    double value[4];
    int start, end, next;
};

TEST(ScanConstant, KindsValuesAndExtents)
{
    const ConstantCase cases[] = {
        {"TRUE", false, DT_BOOL, {1, 0, 0, 0}, 0, 3, 4},
        {"false;", false, DT_BOOL, {0, 0, 0, 0}, 0, 4, 5},
        {"\"abc\" x", false, DT_ENUM, {0, 0, 0, 0}, 1, 3, 5},
        {"\"\"", false, DT_ENUM, {0, 0, 0, 0}, 1, 0, 2},
        {"\"a\tb\"", false, DT_ENUM, {0, 0, 0, 0}, 1, 3, 5},
        {"-(1,2)", false, DT_COMPLEX, {-1, -2, 0, 0}, 0, 5, 6},
        {"- (1, 2i) ", false, DT_COMPLEX, {-1, -2, 0, 0}, 0, 8, 9},
        {"(1, 2 I)", false, DT_COMPLEX, {1, 2, 0, 0}, 0, 7, 8},
        {"(1,2,3)", false, DT_VECTOR, {1, 2, 3, 0}, 0, 6, 7},
        {"-(1, 2, 3, 4.5 )", false, DT_QUATERNION, {-1, -2, -3, -4.5}, 0, 15, 16},
        {"3 i", false, DT_COMPLEX, {0, 3, 0, 0}, 0, 2, 3},
        {"-2.5i", false, DT_COMPLEX, {0, -2.5, 0, 0}, 0, 4, 5},
        {"3 I", false, DT_INT, {3, 0, 0, 0}, 0, 0, 1},
        {"0", false, DT_INT, {0, 0, 0, 0}, 0, 0, 1},
        {"-7;", false, DT_INT, {-7, 0, 0, 0}, 0, 1, 2},
        {"9999999", false, DT_INT, {9999999, 0, 0, 0}, 0, 6, 7},
        {"10000000", false, DT_REAL, {1e7, 0, 0, 0}, 0, 7, 8},
        {"-10000000", false, DT_REAL, {-1e7, 0, 0, 0}, 0, 8, 9},
        {"12345678", false, DT_REAL, {12345678, 0, 0, 0}, 0, 7, 8},
        {"5e-1", false, DT_REAL, {0.5, 0, 0, 0}, 0, 3, 4},
        {"-0.5", false, DT_REAL, {-0.5, 0, 0, 0}, 0, 3, 4},
        {"2.0", false, DT_REAL, {2, 0, 0, 0}, 0, 2, 3},
        {"  42 ", false, DT_INT, {42, 0, 0, 0}, 0, 3, 4},  // leading blanks belong to the length
    };
    for (const ConstantCase& c : cases) {
        SCOPED_TRACE(c.text);
        double value[4] = {9, 9, 9, 9};
        int start = -5, end = -5, next = -5;
        ASSERT_EQ(c.kind, scanConstant(c.text, &start, &end, &next, value, c.noParentheses));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.value[i], value[i]) << "component " << i;
        EXPECT_EQ(c.start, start);
        EXPECT_EQ(c.end, end);
        EXPECT_EQ(c.next, next);
    }
}

TEST(ScanConstant, NonConstantsGiveMinusOne)
{
    const struct {
        const char* text;
        bool noParentheses;
    } cases[] = {
        {"trueish", false},                       // a longer word is no bool and no number
        {"Falsehood", false},  {"\"abc", false},  // unterminated at the end of the text
        {"\"ab\ncd\"", false},                    // a line end inside the quotes
        {"(1,2)", true},                          // parentheses not allowed here
        {"(1;2)", false},      {"(1,2,3;", false}, {"(1,2,3,4;", false},
        {"(x,2)", false},      {"abc", false},     {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        double value[4];
        int start, end, next;
        EXPECT_EQ(-1, scanConstant(c.text, &start, &end, &next, value, c.noParentheses));
    }
}

TEST(SmallInts, EncodingRoundTripsAndMatchesTheIds)
{
    for (int n = -10; n <= 10; ++n) {
        int code = encodeSmallInt(n);
        EXPECT_GE(code, 1);
        EXPECT_LE(code, 21);
        EXPECT_EQ(n, decodeSmallInt(code)) << n;
    }
    EXPECT_EQ(1, encodeSmallInt(0));
    EXPECT_EQ(3, encodeSmallInt(-1));
    EXPECT_EQ(20, encodeSmallInt(10));
    EXPECT_EQ(21, encodeSmallInt(-10));
}

TEST(TokenClasses, InputClassOfEveryElementGroup)
{
    const struct {
        int element;
        int inputClass;
    } cases[] = {
        {0x10000, 5}, {0x20003, 5}, {0, 95},    {265, 1}, {266, 2}, {269, 3},   {270, 4}, {271, 92},
        {272, 93},    {273, 94},    {268, 0},   {275, 0}, {282, 0}, {999, 0},   {256, 0}, {103, 88},
        {180, 88},    {102, 106},   {181, 185}, {1, 5},   {43, 47}, {255, 259}, {-3, 95},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.inputClass, FormulaInputClassExtended(c.element)) << c.element;

    for (int element : {268, 271, 272, 273})
        EXPECT_EQ(2, FormulaTokenLength(element)) << element;
    for (int element : {0, 1, 43, 265, 269, 270, 275, 282, 0x10001})
        EXPECT_EQ(1, FormulaTokenLength(element)) << element;
}

TEST(SmallRoutines, SkipBlanksAndLiteralPrefix)
{
    int position = 1;
    EXPECT_EQ('x', skipBlanks("a \t\r\nx", &position));
    EXPECT_EQ(5, position);
    position = 0;
    EXPECT_EQ(0, skipBlanks("  ", &position));
    EXPECT_EQ(2, position);

    EXPECT_EQ(2, FormulaCompiler::matchLiteralPrefix("abc", "ab"));
    EXPECT_EQ(0, FormulaCompiler::matchLiteralPrefix("abc", ""));
    EXPECT_EQ(-1, FormulaCompiler::matchLiteralPrefix("ab", "abc"));
    EXPECT_EQ(-1, FormulaCompiler::matchLiteralPrefix("Abc", "abc"));
}

TEST(SmallRoutines, BigEndianSplits)
{
    uint8_t high = 0, low = 0;
    writeBigEndian16(0xABCD1234u, &high, &low);
    EXPECT_EQ(0x12, high);
    EXPECT_EQ(0x34, low);
    uint8_t b[4] = {};
    writeBigEndian32(0x12345678u, &b[0], &b[1], &b[2], &b[3]);
    EXPECT_EQ(0x12, b[0]);
    EXPECT_EQ(0x34, b[1]);
    EXPECT_EQ(0x56, b[2]);
    EXPECT_EQ(0x78, b[3]);
}

TEST(SmallRoutines, FindBracePair)
{
    const struct {
        const char* text;
        int start, open, close;
    } cases[] = {
        {"a {b {c} d} e", 0, 2, 10}, {"a {b {c} d} e", 3, 5, 7}, {"no braces", 0, -1, -1},
        {"{ unclosed {}", 0, 0, -1}, {"x{}", 0, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int open = 99, close = 99;
        findBracePair(c.text, c.start, &open, &close);
        EXPECT_EQ(c.open, open);
        EXPECT_EQ(c.close, close);
    }
}

TEST(AppendNotEqualZero, AppendsComparisonWithZeroAfterTheLastElement)
{
    // A variable read followed by a number element whose value words are 0:
    // those words must not be taken for the end of the stream.
    int32_t stream[12] = {268, 25, 282, 0, 0, 8, 0, 77, 77, 77, 77, 77};
    ASSERT_EQ(9, appendNotEqualZero(stream, 12));
    const int32_t expected[] = {268, 25, 282, 0, 0, 8, 268, 1, 37, 0, 0, 77};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(expected[i], stream[i]) << i;
}

TEST(AppendNotEqualZero, RefusesWithoutRoomAndGrowsABuffer)
{
    int32_t tight[5] = {268, 25, 0, 7, 7};
    EXPECT_EQ(-1, appendNotEqualZero(tight, 5));
    EXPECT_EQ(0, tight[2]);
    EXPECT_EQ(7, tight[3]);

    int32_t noEnd[3] = {268, 25, 8};
    EXPECT_EQ(-1, appendNotEqualZero(noEnd, 3));

    GrowBuffer buffer(8);  // two words: 40 (assignment) and the end
    ((int32_t*)buffer.GetData())[0] = 43;
    ASSERT_EQ(4, appendNotEqualZero(&buffer));
    ASSERT_GE(buffer.GetCapacity(), 24);
    const int32_t* words = (const int32_t*)buffer.GetData();
    const int32_t expected[] = {43, 268, 1, 37, 0, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(expected[i], words[i]) << i;
}

}  // namespace
