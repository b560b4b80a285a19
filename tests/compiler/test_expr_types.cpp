// The type checks of the pipeline: operand types against the signatures of
// the operations, builtin arguments, arrays and calls, the operand count and
// the array function, and the assignment check with its current types.
#include "tests/compiler/ExpressionFixture.h"
#include "tests/support/ScriptedBoxes.h"

using namespace expr;

namespace {

typedef ExpressionTest Types;

TEST_F(Types, TypesOfExpressions)
{
    const struct {
        const char* text;
        int type;
    } cases[] = {
        {"r + n", DT_REAL},          // int and bool count as real
        {"b && n", DT_REAL},
        {"r + c", DT_COMPLEX},
        {"c * q", DT_QUATERNION},
        {"q ^ q", DT_QUATERNION},
        {"v * v", DT_REAL},          // the dot product
        {"v * r", DT_VECTOR},
        {"r - v", DT_VECTOR},
        {"col * r", DT_COLOR},
        {"r * col", DT_COLOR},
        {"c1 + c2", DT_COLOR},
        {"r % c", DT_REAL},
        {"col == c1", DT_REAL},
        {"sin(n)", DT_REAL},
        {"sin z", DT_COMPLEX},
        {"tanh(r)", DT_COMPLEX},
        {"ln(q)", DT_QUATERNION},
        {"-v", DT_VECTOR},
        {"abs(v)", DT_VECTOR},
        {"|v|", DT_REAL},
        {"|c| + 1", DT_REAL},
        {"cabs(q)", DT_REAL},
        {"real(c)", DT_REAL},
        {"isnan(z)", DT_BOOL},
        {"random(r)", DT_INT},
        {"hiquat(c)", DT_QUATERNION},
        {"loquat(q)", DT_COMPLEX},
        {"sincos(r)", DT_COMPLEX},
        {"oldz(z)", DT_COMPLEX},
        {"gradient(r)", DT_COLOR},
        {"red(col)", DT_REAL},
        {"rgba(r, r, n, 1)", DT_COLOR},
        {"blend(c1, c2, r)", DT_COLOR},
        {"vector(r, n, 1)", DT_VECTOR},
        {"crossproduct(v, v)", DT_VECTOR},
        {"complex(r, r)", DT_COMPLEX},
        {"quaternion(r, r, r, r)", DT_QUATERNION},
        {"perlinNoise(r, r, r)", DT_REAL},
        {"ubound(a1, 1)", DT_REAL},
        {"random.real()", DT_REAL},
        {"a1[n]", DT_REAL},
        {"a1[1.5]", DT_REAL},        // a real index passes
        {"ac[(1)]", DT_COLOR},
        {"twice(c)", DT_COMPLEX},
        {"twice(z) * 2", DT_COMPLEX},
        {"fn(r)", DT_REAL},
        {"fn(z)", DT_COMPLEX},
        {"mix(c1, c2)", DT_COLOR},
        {"k = r + 1", DT_REAL},      // an assignment has its value's type
        {"poke(k)", DT_VOID},
    };
    for (const auto& t : cases) {
        int result;
        Process(t.text, &result);
        EXPECT_GE(result, 0) << t.text << ": " << c->errorText;
        EXPECT_EQ(t.type, c->checkedType) << t.text;
    }
    // oldz of a quaternion formula is the quaternion oldz.
    c->subKind = SK_QUATERNION;
    int result;
    Process("oldz(z)", &result);
    EXPECT_EQ(DT_QUATERNION, c->checkedType);
}

TEST_F(Types, RefusedOperandTypes)
{
    const struct {
        const char* text;
        int result;
        const char* error;
    } cases[] = {
        {"z = sin(col)", PIPELINE_TYPE_ERROR,
         "Compiler Error 767: Operation \"sin\" with number type \"color\" not supported"},
        {"z = tanh(v)", PIPELINE_TYPE_ERROR,
         "Compiler Error 767: Operation \"tanh\" with number type \"vector\" not supported"},
        {"z = real(col) + |col|", PIPELINE_TYPE_ERROR,
         "Compiler Error 767: Operation \"real\" with number type \"color\" not supported"},
        {"z = c + col", PIPELINE_TYPE_ERROR,
         "Compiler Error 768: Operation \"+ (Addition)\" with number types \"complex and color\" not supported"},
        {"r = v / v", PIPELINE_TYPE_ERROR,
         "Compiler Error 768: Operation \"/ (Division)\" with number types \"vector and vector\" not supported"},
        {"r = q % n", PIPELINE_TYPE_ERROR,
         "Compiler Error 768: Operation \"% (Modulo)\" with number types \"quaternion and real\" not supported"},
        {"b = col == c", PIPELINE_TYPE_ERROR,
         "Compiler Error 768: Operation \"== (Equal)\" with number types \"color and complex\" not supported"},
        {"col = rgb(c, r, r)", PIPELINE_TYPE_ERROR,
         "Compiler Error 768: Illegal parameter datatype for function: The 1. parameter must be a float value."},
        {"col = blend(c1, r, r)", PIPELINE_TYPE_ERROR,
         "Compiler Error 768: Illegal parameter datatype for function: The 2. parameter must be a color."},
        {"r = ubound(r, 1)", PIPELINE_TYPE_ERROR,
         "Compiler Error 768: Illegal parameter datatype for function: The 1. parameter must be an array."},
        {"v = crossproduct(v, r)", PIPELINE_TYPE_ERROR,
         "Compiler Error 768: Illegal parameter datatype for function: The 2. parameter must be a vector."},
        {"r = a1[c]", PIPELINE_TYPE_ERROR, "Compiler Error 764: Array dimension must be an integer value."},
        {"r = a1[b]", PIPELINE_TYPE_ERROR, "Compiler Error 764: Array dimension must be an integer value."},
        {"r = a1[1, 2]", PIPELINE_TYPE_ERROR, "Compiler Error 765: Array dimension does not match array declaration."},
        {"r = a2[1]", PIPELINE_TYPE_ERROR, "Compiler Error 765: Array dimension does not match array declaration."},
        {"r = k[1]", PIPELINE_TYPE_ERROR, "Compiler Error 765: Array dimension does not match array declaration."},
        {"a1 = array(c)", PIPELINE_TYPE_ERROR, "Compiler Error 763: Array dimension must be an integer value."},
        {"z = fn(v)", PIPELINE_TYPE_ERROR,
         "Compiler Error 765: Illegal function call: A function with the name \"fn\" has not been declared."},
        {"z = fn(r, r)", PIPELINE_TYPE_ERROR,
         "Compiler Error 765: Illegal function call: A function with the name \"fn\" has not been declared."},
        {"z = twice(r)", PIPELINE_TYPE_ERROR,
         "Compiler Error 766: Invalid function call: Function twice has not been defined."},
        {"z = twice(c, c)", PIPELINE_TYPE_ERROR,
         "Compiler Error 766: Invalid function call: Function twice has not been defined."},
        {"col = rgb(r, r)", PIPELINE_OPERAND_COUNT, ""},
        {"z = sin(z, z)", PIPELINE_OPERAND_COUNT, ""},
    };
    for (const auto& t : cases) {
        int result;
        Process(t.text, &result);
        EXPECT_EQ(t.result, result) << t.text;
        if (t.error[0]) {
            EXPECT_STREQ(t.error, c->errorText) << t.text;
        }
    }
}

TEST_F(Types, ArrayFunctionAndOperandCount)
{
    int result;
    EXPECT_EQ(W("=a1 #3 87 43"), Process("a1 = array(3)", &result));
    EXPECT_EQ(W("=a2 #3 n 87 43"), Process("a2 = array(3, n)", &result));
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"a2 = array(3)", "Compiler Error 618: Dimension of array variable must match dimension of array function."},
        {"a1 = array(3, 4)", "Compiler Error 618: Dimension of array variable must match dimension of array function."},
        {"r = array(3)", "Result of array function must be assigned to a variable of type \"array\""},
        {"a1 = 2 * array(3)", "Result of array function cannot be used for calculations."},
    };
    for (const auto& t : cases) {
        Process(t.text, &result);
        EXPECT_EQ(PIPELINE_TYPE_ERROR, result) << t.text;
        EXPECT_STREQ(t.error, c->errorText) << t.text;
    }
    // A void call stands alone; calls and functions count their operands.
    EXPECT_EQ(W("k u:poke"), Process("poke(k)", &result));
    EXPECT_EQ(W("=c z f:fn c u:twice 8 43"), Process("c = fn(z) + twice(c)", &result));
    EXPECT_EQ(W("=col c1 c2 f:mix 43"), Process("col = mix(c1, c2)", &result));
    Process("r = (r, n)", &result);
    EXPECT_EQ(PIPELINE_OPERAND_COUNT, result);
}

TEST_F(Types, SelectableFunctionsAndCallsLeaveTheirMarks)
{
    // Two colour arguments make a merge function.
    int result;
    Lex("g(z)");
    auto* g = static_cast<FormulaFuncParameter*>(findNodeByName(c->funcParameters.GetHead(), "g"));
    ASSERT_NE(nullptr, g);
    Process("col = g(c1, c2)", &result);
    ASSERT_GE(result, 0) << c->errorText;
    EXPECT_EQ(1, g->functionTable);

    // A by-reference argument is written by the call.
    FormulaSymbol* k = Symbol("k");
    k->currentType = DT_COMPLEX;   // anything other than its declared type
    int writes = k->writeCount;
    Process("poke(k)", &result);
    ASSERT_GE(result, 0) << c->errorText;
    EXPECT_EQ(DT_REAL, k->currentType);
    EXPECT_EQ(writes + 1, k->writeCount);

    // A call inside a function body is one of its call sites.
    FormulaFunction* loop = static_cast<FormulaFunction*>(findNodeByName(c->functions.GetHead(), "loop"));
    c->currentFunction = loop;
    int sites = loop->callSitePairs();
    Process("c = twice(c)", &result);
    ASSERT_EQ(sites + 1, loop->callSitePairs());
    EXPECT_STREQ("twice", loop->callSiteCallee(sites)->name);
}

TEST_F(Types, AssignmentsAgainstCurrentTypes)
{
    FormulaSymbol* cw = Symbol("cw");
    FormulaSymbol* k = Symbol("k");
    cw->currentType = DT_REAL;
    cw->readType = -1;
    int result;
    Process("cw = r", &result);
    EXPECT_EQ(DT_REAL, cw->currentType);      // real values keep it real
    Process("cw = z * 2", &result);
    EXPECT_EQ(DT_COMPLEX, cw->currentType);   // a complex value widens it
    Symbol("q")->currentType = DT_QUATERNION;
    Process("cw = q", &result);
    EXPECT_EQ(DT_COMPLEX, cw->currentType);   // never beyond the declaration
    Process("cw = r", &result);
    EXPECT_EQ(DT_COMPLEX, cw->currentType);
    Process("k = cw", &result);
    EXPECT_EQ(DT_REAL, k->currentType);
    EXPECT_EQ(DT_COMPLEX, cw->readType);      // the type it was read at

    const struct {
        const char* text;
        const char* message;
    } refused[] = {
        {"col = r", "You cannot assign a numerical value to a color variable"},
        {"c = col", "You cannot assign a color to a numerical variable"},
        {"v = r", "You cannot assign a non vector value to a vector variable"},
        {"r = v", "You cannot assign a vector to a non vector variable"},
        {"ac[1] = c", "You cannot assign a numerical value to a color variable"},
        {"a1[n] = c1", "You cannot assign a color to a numerical variable"},
        {"r = c = col", "You cannot assign a color to a numerical variable"},
    };
    for (const auto& t : refused) {
        Process(t.text, &result);
        EXPECT_EQ(PIPELINE_ASSIGNMENT, result) << t.text;
        EXPECT_EQ(t.message, Message()) << t.text;
    }
    // The result: the current type of the value, DT_VOID for none.
    Words colour = W("col");
    colour.push_back(OPC_END);
    EXPECT_EQ(DT_COLOR, c->checkReturntype(colour.data(), c->messageText));
    Words call = W("k u:poke");
    call.push_back(OPC_END);
    EXPECT_EQ(DT_VOID, c->checkReturntype(call.data(), c->messageText));
}

TEST_F(Types, SignaturePairs)
{
    const struct {
        int left, right;
        const char* text;
        int32_t types[2];
    } cases[] = {
        {DT_INT, DT_BOOL, "real and real", {DT_REAL, DT_REAL}},
        {DT_COMPLEX, DT_QUATERNION, "complex and quaternion", {DT_COMPLEX, DT_QUATERNION}},
        {DT_VECTOR, DT_ARRAY, "vector and color", {DT_VECTOR, DT_COLOR}},
        {DT_ENUM, -1, "color and color", {DT_COLOR, DT_COLOR}},
    };
    for (const auto& t : cases) {
        int32_t types[2];
        char text[64];
        typePairName(t.left, t.right, types, text, sizeof text);
        EXPECT_STREQ(t.text, text);
        EXPECT_EQ(t.types[0], types[0]);
        EXPECT_EQ(t.types[1], types[1]);
    }
    EXPECT_EQ(1, OperationStackEffect(OP_ADD));
    EXPECT_EQ(3, OperationStackEffect(104));
    EXPECT_EQ(-1, OperationStackEffect(OP_RANDOM_REAL));
    EXPECT_EQ(0, OperationStackEffect(1));
}

TEST_F(Types, UnmatchedAssignmentTargets)
{
    // A target without its "=" (no stream of the parser looks like this).
    GrowBuffer out(100);
    int count;
    const int32_t stream[] = {OPC_STORE, Id("r"), OPC_VARIABLE, Id("k"), 0};
    EXPECT_EQ(1, c->checkTypes(stream, 0, &out, &count));
    EXPECT_STREQ("Compiler Error 769: Assignments do not match: Number of \"=\" signs does not match the number of "
                 "assigned variables.",
                 c->errorText);
}

TEST_F(Types, ACorruptStreamIsReported)
{
    ScriptedBoxes boxes;
    GrowBuffer out(100);
    int count;
    const int32_t stream[] = {OPC_VARIABLE, Id("r"), 44, 0};
    EXPECT_EQ(1, c->checkTypes(stream, 0, &out, &count));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("Error", boxes.Shown()[0].title);
    EXPECT_EQ("Internal Compiler Error: Unknown operand, memory corrupt, please inform author", boxes.Shown()[0].text);
}

}  // namespace
