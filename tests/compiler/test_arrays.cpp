// Arrays compiled and run: elements of every type in arrays made with
// array() and in arrays declared with their sizes, read and written through
// constant, integer, real and computed indices; every dimension count; the
// block layout; indices outside the array (reads give 0, writes are
// dropped); a failed allocation; whole-array assignment; arrays passed to
// functions; sizes given as expressions.
#include <gtest/gtest.h>

#include <windows.h>
#include <math.h>
#include <string.h>

#include <string>

#include "compiler/CodeEmit.h"
#include "tests/compiler/FormulaRunCase.h"

namespace {

struct ElementType {
    const char* keyword;   // declaration keyword of the elements
    const char* value;     // an expression of that type
    double components[4];  // its value
    int count;
};

const ElementType kTypes[] = {
    {"complex", "(1.5, -2)", {1.5, -2}, 2},
    {"real", "2.25", {2.25}, 1},
    {"double", "3.5", {3.5}, 1},
    {"float", "0.75", {0.75}, 1},
    {"int", "-7", {-7}, 1},
    {"bool", "true", {1}, 1},
    {"quaternion", "quaternion(1, 2, 3, 4)", {1, 2, 3, 4}, 4},
    {"vector", "vector(5, 6, 7)", {5, 6, 7}, 3},
    {"color", "rgba(0.25, 0.5, 0.75, 1)", {0.25, 0.5, 0.75, 1}, 4},
};

::testing::AssertionResult HoldsValue(const FormulaRun& run, const char* name, const double* expected, int count)
{
    double v[4];
    run.ReadSymbol(name, v);
    for (int k = 0; k < count; k++) {
        if (fabs(v[k] - expected[k]) > 1e-12)
            return ::testing::AssertionFailure() << name << "[" << k << "] = " << v[k] << ", expected "
                                                 << expected[k];
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult HoldsZero(const FormulaRun& run, const char* name, int count)
{
    const double zeros[4] = {0, 0, 0, 0};
    return HoldsValue(run, name, zeros, count);
}

// For both kinds of arrays: the element [1, 2] of a 3 x 4 array written
// with constant indices is read back through constant, int, real and
// computed indices; an element just past the first dimension ([3, 0],
// which would be [0, 1] without the check), one past the last ([0, 4])
// and negative indices are not written and read as 0.
class ElementTypes : public ::testing::TestWithParam<std::pair<ElementType, bool>> {};

TEST_P(ElementTypes, AreReadAndWrittenInsideTheArrayOnly)
{
    const ElementType& t = GetParam().first;
    bool made = GetParam().second;
    std::string type = t.keyword;
    std::string declarations = made ? "  array a[2] of " + type + ";\n" : "  " + type + " a[3, 4];\n";
    declarations += "  " + type + " x1, x2, x3, x4, o1, o2, o3, o4;\n  int i, j;\n  real r;";
    std::string body = made ? "    a = array(3, 4);\n" : "";
    body += "    a[1, 2] = " + std::string(t.value) + ";\n"
            "    i = 1;\n    j = 2;\n    r = 1.6;\n"
            "    x1 = a[1, 2];\n"
            "    x2 = a[i, j];\n"
            "    x3 = a[i, r];\n"           // 1.6 rounds to 2
            "    x4 = a[j - i, i + i];\n"   // the index values on the x87 stack
            "    a[3, 0] = " + std::string(t.value) + ";\n"
            "    a[0, 4] = " + std::string(t.value) + ";\n"
            "    a[-1, 0] = " + std::string(t.value) + ";\n"
            "    a[i - 2, j + 2] = " + std::string(t.value) + ";\n"
            "    o1 = a[0, 1];\n"
            "    o2 = a[3, 3];\n"
            "    o3 = a[i + 2, 0];\n"
            "    o4 = a[-1, j];";
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula(declarations, body)));
    EXPECT_TRUE(HoldsValue(run, "x1", t.components, t.count));
    EXPECT_TRUE(HoldsValue(run, "x2", t.components, t.count));
    EXPECT_TRUE(HoldsValue(run, "x3", t.components, t.count));
    EXPECT_TRUE(HoldsValue(run, "x4", t.components, t.count));
    EXPECT_TRUE(HoldsZero(run, "o1", t.count));
    EXPECT_TRUE(HoldsZero(run, "o2", t.count));
    EXPECT_TRUE(HoldsZero(run, "o3", t.count));
    EXPECT_TRUE(HoldsZero(run, "o4", t.count));

    // Nothing but element [1, 2] was written, and it lies at byte
    // 64 + (1 + 3 * 2) * element size of the block.
    FormulaSymbol* a = run.Symbol("a");
    ASSERT_NE(nullptr, a);
    uint8_t* block;
    memcpy(&block, run.DataBase() + a->dataOffset, 4);
    ASSERT_NE(nullptr, block);
    const int32_t* header = reinterpret_cast<const int32_t*>(block);
    int size = ArrayElementSize(a);
    EXPECT_EQ(size, header[1]);
    EXPECT_EQ(2, header[2]);
    EXPECT_EQ(4, header[3]);   // the last declared size first
    EXPECT_EQ(3, header[4]);
    for (int e = 0; e < 12; e++) {
        bool zero = true;
        for (int b = 0; b < size; b++)
            zero = zero && block[64 + e * size + b] == 0;
        EXPECT_EQ(e != 1 + 3 * 2, zero) << "element " << e;
    }
}

std::vector<std::pair<ElementType, bool>> AllTypes()
{
    std::vector<std::pair<ElementType, bool>> all;
    for (const ElementType& t : kTypes) {
        all.push_back({t, true});
        all.push_back({t, false});
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(BothKinds, ElementTypes, ::testing::ValuesIn(AllTypes()));

// Every number of dimensions: the elements are numbered in the order of
// the layout (first index fastest) through nested loops, then read back
// one by one in the other order and summed.
TEST(ArrayDimensions, OneToFive)
{
    const char* sizes[] = {"7", "3, 4", "2, 3, 4", "2, 3, 2, 3", "2, 2, 3, 2, 2"};
    const int counts[] = {7, 12, 24, 36, 48};
    for (int n = 1; n <= 5; n++) {
        for (int made = 0; made < 2; made++) {
            std::string idx, loopsOpen, loopsClose, reverseOpen;
            const char* names[] = {"i0", "i1", "i2", "i3", "i4"};
            int dims[5];
            {
                // the sizes as numbers
                const char* p = sizes[n - 1];
                for (int k = 0; k < n; k++) {
                    dims[k] = (int)strtol(p, const_cast<char**>(&p), 10);
                    while (*p == ',' || *p == ' ')
                        p++;
                }
            }
            for (int k = 0; k < n; k++)
                idx += std::string(k ? ", " : "") + names[k];
            // Writing: the last index outermost, so the counter follows the
            // layout; reading: the first index outermost.
            std::string write, read;
            for (int k = n - 1; k >= 0; k--)
                write += "    for (" + std::string(names[k]) + " = 0; " + names[k] + " < " +
                         std::to_string(dims[k]) + "; " + names[k] + " = " + names[k] + " + 1) {\n";
            write += "      a[" + idx + "] = counter;\n      counter = counter + 1;\n";
            for (int k = 0; k < n; k++)
                write += "    }\n";
            for (int k = 0; k < n; k++)
                read += "    for (" + std::string(names[k]) + " = 0; " + names[k] + " < " +
                        std::to_string(dims[k]) + "; " + names[k] + " = " + names[k] + " + 1) {\n";
            read += "      sum = sum + a[" + idx + "];\n      last = a[" + idx + "];\n";
            for (int k = 0; k < n; k++)
                read += "    }\n";
            std::string declarations = made ? "  array a[" + std::to_string(n) + "] of int;\n"
                                            : "  int a[" + std::string(sizes[n - 1]) + "];\n";
            declarations += "  int i0, i1, i2, i3, i4, counter, last, top;\n  real sum;";
            std::string body = made ? "    a = array(" + std::string(sizes[n - 1]) + ");\n" : "";
            body += "    counter = 0;\n    sum = 0;\n" + write + read + "    top = ubound(a, " + std::to_string(n) + ");";
            FormulaRun run;
            ASSERT_TRUE(RunInit(run, InitFormula(declarations, body))) << n << " dimensions";
            int count = counts[n - 1];
            EXPECT_TRUE(Holds(run, "sum", {count * (count - 1) / 2.0})) << n << " dimensions, made " << made;
            EXPECT_TRUE(Holds(run, "last", {(double)count - 1})) << n << " dimensions, made " << made;
            EXPECT_TRUE(Holds(run, "top", {(double)dims[n - 1] - 1})) << n << " dimensions, made " << made;
            // The element counter - 1 is the last one of the block.
            FormulaSymbol* a = run.Symbol("a");
            int32_t* block;
            memcpy(&block, run.DataBase() + a->dataOffset, 4);
            ASSERT_NE(nullptr, block);
            EXPECT_EQ(n, block[2]);
            EXPECT_EQ(count - 1, block[16 + count - 1]) << n << " dimensions";
        }
    }
}

// Indices whose values were moved out of the registers (a quaternion
// product needs all eight) are still found.
TEST(ArrayIndices, SpilledIndexValues)
{
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula("  real g[3, 4];\n  array b[2] of real;\n  quaternion q1, q2;\n"
                                         "  int i;\n  real vx, vy;",
                                         "    b = array(3, 4);\n    g[1, 2] = 42;\n    b[1, 2] = 43;\n    i = 0;\n"
                                         "    q1 = quaternion(1, 0, 0, 0);\n    q2 = quaternion(2, 0, 0, 0);\n"
                                         "    vx = g[i + 1, real(q1 * q2)];\n"
                                         "    vy = b[i + 1, real(q1 * q2)];\n"
                                         "    g[i + 1, real(q1 * q2) + 1] = 44;\n"
                                         "    vy = vy + g[1, 3];")));
    EXPECT_TRUE(Holds(run, "vx", {42}));
    EXPECT_TRUE(Holds(run, "vy", {43 + 44}));
}

// A block that can't be had leaves the array without elements: writes
// are dropped, reads give 0, ubound answers -1; a new array() afterwards
// works again.
TEST(ArrayAllocation, TooLargeLeavesAnEmptyArray)
{
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula("  array a[2] of quaternion;\n  real vx, top, top2, vy;\n  quaternion q;",
                                         "    a = array(100000, 100000);\n"
                                         "    a[5, 5] = quaternion(1, 2, 3, 4);\n"
                                         "    q = a[5, 5];\n"
                                         "    top = ubound(a, 1);\n"
                                         "    a = array(2, -3);\n"
                                         "    top2 = ubound(a, 2);\n"
                                         "    a = array(2, 2);\n"
                                         "    a[1, 1] = quaternion(5, 6, 7, 8);\n"
                                         "    vy = part_j(a[1, 1]);")));
    EXPECT_TRUE(Holds(run, "q", {0, 0, 0, 0}));
    EXPECT_TRUE(Holds(run, "top", {-1}));
    EXPECT_TRUE(Holds(run, "top2", {-1}));
    EXPECT_TRUE(Holds(run, "vy", {7}));
}

// b = a gives b a copy: later writes to either array leave the other one
// alone, and b's own earlier block is released. Arrays of other elements
// are refused.
TEST(ArrayAssignment, CopiesTheBlock)
{
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula("  array a[1] of complex;\n  array b[1] of complex;\n"
                                         "  complex vx, vy, w;\n  real n;",
                                         "    a = array(4);\n    b = array(2);\n"
                                         "    a[3] = (1, 2);\n"
                                         "    b = a;\n"
                                         "    b[3] = (5, 6);\n"
                                         "    a[0] = (7, 8);\n"
                                         "    vx = a[3];\n    vy = b[3];\n    w = b[0];\n"
                                         "    n = ubound(b, 1);")));
    EXPECT_TRUE(Holds(run, "vx", {1, 2}));
    EXPECT_TRUE(Holds(run, "vy", {5, 6}));
    EXPECT_TRUE(Holds(run, "w", {0, 0}));
    EXPECT_TRUE(Holds(run, "n", {3}));
    uint8_t* a;
    uint8_t* b;
    memcpy(&a, run.DataBase() + run.Symbol("a")->dataOffset, 4);
    memcpy(&b, run.DataBase() + run.Symbol("b")->dataOffset, 4);
    EXPECT_NE(a, b);

    FormulaRun refused;
    EXPECT_FALSE(refused.Compile(InitFormula("  array a[1] of complex;\n  array b[1] of real;", "    b = a;").c_str(),
                                 FK_ITERATION, SK_PLANE));
    EXPECT_NE(std::string::npos, refused.error().find("Compiler error 079")) << refused.error();
}

// Arrays and array elements as arguments of user functions: an array is
// passed by reference (a new block made in the function reaches the
// caller), an element passed to a by-reference parameter is written back.
TEST(ArrayArguments, ByReference)
{
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula("  array a[2] of double;\n  double g[2, 2];\n  double vx, vy, s;",
                                         "    a = array(2, 2);\n    a[1, 1] = 3;\n"
                                         "    s = total(a);\n"
                                         "    remake(a);\n"
                                         "    vx = a[2, 2];\n"
                                         "    g[0, 1] = 4;\n"
                                         "    twice(g[0, 1]);\n"
                                         "    twice(a[0, 0]);\n"
                                         "    vy = g[0, 1];",
                                         "  double total(array m[2] of double) {\n    double t;\n    int i, j;\n"
                                         "    t = 0;\n    for (i = 0; i <= ubound(m, 1); i = i + 1) {\n"
                                         "      for (j = 0; j <= ubound(m, 2); j = j + 1) {\n"
                                         "        t = t + m[i, j];\n      }\n    }\n    return(t);\n  }\n"
                                         "  void remake(array m[2] of double) {\n    m = array(3, 3);\n"
                                         "    m[2, 2] = 9;\n  }\n"
                                         "  void twice(double &v) {\n    v = v * 2;\n  }")));
    EXPECT_TRUE(Holds(run, "s", {3}));
    EXPECT_TRUE(Holds(run, "vx", {9}));
    EXPECT_TRUE(Holds(run, "vy", {8}));

    FormulaRun refused;
    EXPECT_FALSE(refused.Compile(InitFormula("  array a[2] of float;\n  double s;", "    s = total(a);",
                                             "  double total(array m[2] of double) {\n    return(m[0, 0]);\n  }")
                                     .c_str(),
                                 FK_ITERATION, SK_PLANE));
    EXPECT_NE(std::string::npos, refused.error().find("Compiler error 079")) << refused.error();
}

// Sizes written as constant expressions are computed at compile time.
TEST(ArrayDeclarations, SizesFromExpressions)
{
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula("  real g[2 * 3, 10 - 8];\n  int t1, t2;\n  real vx;",
                                         "    g[5, 1] = 2.5;\n    vx = g[5, 1];\n"
                                         "    t1 = ubound(g, 1);\n    t2 = ubound(g, 2);")));
    EXPECT_TRUE(Holds(run, "vx", {2.5}));
    EXPECT_TRUE(Holds(run, "t1", {5}));
    EXPECT_TRUE(Holds(run, "t2", {1}));
    FormulaSymbol* g = run.Symbol("g");
    ASSERT_NE(nullptr, g);
    EXPECT_EQ(6, g->dimensions[0]);
    EXPECT_EQ(2, g->dimensions[1]);
}

// Elements of bool and int arrays as conditions.
TEST(ArrayElements, AsConditions)
{
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula("  bool flags[4];\n  array n[1] of int;\n  int hits, i;",
                                         "    n = array(4);\n    flags[2] = true;\n    n[3] = 5;\n    hits = 0;\n"
                                         "    for (i = 0; i < 4; i = i + 1) {\n"
                                         "      if (flags[i]) {\n        hits = hits + 1;\n      }\n"
                                         "      if (n[i]) {\n        hits = hits + 10;\n      }\n"
                                         "    }\n"
                                         "    if (flags[1]) {\n      hits = hits + 100;\n    }\n"
                                         "    if (flags[2]) {\n      hits = hits + 1000;\n    }")));
    EXPECT_TRUE(Holds(run, "hits", {1011}));
}

}  // namespace
