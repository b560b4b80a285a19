// Declarations, formula options and user-function heads as the compiler
// records them, and the declaration errors with their texts and places.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"
#include "compiler/EnumValues.h"

namespace {

// The three functions an iteration formula of the plane must define.
const char* const kRequired =
    "  void init(void) {\n  }\n"
    "  void loop(void) {\n  }\n"
    "  bool bailout(void) {\n    return(|z| < 4);\n  }\n";

struct Line {
    std::string text;
    int type;
    int start;
};

std::vector<Line> Messages()
{
    std::vector<Line> out;
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next) {
        MessageNode* m = static_cast<MessageNode*>(n);
        out.push_back({m->text, m->type, m->startOffset});
    }
    UnlockMessageList();
    return out;
}

std::string Joined(const std::vector<Line>& lines)
{
    std::string s;
    for (const Line& l : lines)
        s += l.text + "\n";
    return s;
}

class Declarations : public ::testing::Test {
protected:
    void SetUp() override { DeleteAllMessages(); }
    void TearDown() override
    {
        compiler.freeResults();
        DeleteAllMessages();
    }

    // Compiles "Decl {" body "}" and keeps the text for positions.
    bool Compile(const std::string& body, int kind = FK_ITERATION, int subKind = SK_PLANE,
                 Fractal* fractal = nullptr, bool constantParameters = false, NodeList* functions = nullptr)
    {
        text = "Decl {\n" + body + "}\n";
        compiler.setKind(kind);
        return compiler.compile(text.c_str(), 0, -128, nullptr, functions, fractal, "Decl", subKind,
                                nullptr, false, constantParameters);
    }
    bool CompileWithHead(const std::string& head, int kind)
    {
        text = head;
        compiler.setKind(kind);
        return compiler.compile(text.c_str(), 0, -128, nullptr, nullptr, nullptr, "Decl", SK_PLANE, nullptr,
                                false, false);
    }

    FormulaSymbol* Global(const char* name)
    {
        return static_cast<FormulaSymbol*>(findNodeByName(compiler.symbols.GetHead(), name));
    }
    FormulaFunction* Function(const char* decoratedName)
    {
        return findFunction(&compiler.functions, decoratedName);
    }

    std::string text;
    FormulaCompiler compiler;
};

TEST_F(Declarations, EachVariableFormMakesItsSymbol)
{
    struct Case {
        const char* declaration;
        int dataType, precision, symbolClass, variability, currentType;
    } cases[] = {
        {"double a;", DT_REAL, PREC_DOUBLE, SYM_VARIABLE, 1, DT_REAL},
        {"float a;", DT_REAL, PREC_FLOAT, SYM_VARIABLE, 1, DT_REAL},
        {"real a;", DT_REAL, PREC_EXTENDED, SYM_VARIABLE, 1, DT_REAL},
        {"complex a;", DT_COMPLEX, PREC_DOUBLE, SYM_VARIABLE, 1, DT_REAL},
        {"quaternion a;", DT_QUATERNION, PREC_DOUBLE, SYM_VARIABLE, 1, DT_REAL},
        {"vector a;", DT_VECTOR, PREC_DOUBLE, SYM_VARIABLE, 1, DT_VECTOR},
        {"int a;", DT_INT, -1, SYM_VARIABLE, 1, DT_REAL},
        {"bool a;", DT_BOOL, -1, SYM_VARIABLE, 1, DT_REAL},
        {"color a;", DT_COLOR, -1, SYM_VARIABLE, 1, DT_COLOR},
        {"vector\ta;", DT_VECTOR, PREC_DOUBLE, SYM_VARIABLE, 1, DT_VECTOR},
        {"const double a;", DT_REAL, PREC_DOUBLE, SYM_VARIABLE, 0, DT_REAL},
        {"parameter complex a;", DT_COMPLEX, PREC_DOUBLE, SYM_PARAMETER, 1, DT_COMPLEX},
        {"parameter const int a;", DT_INT, -1, SYM_PARAMETER, 1, DT_INT},
        {"shared float a;", DT_REAL, PREC_FLOAT, SYM_VARIABLE, 1, DT_REAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.declaration);
        DeleteAllMessages();
        EXPECT_TRUE(Compile(std::string("  ") + c.declaration + "\n" + kRequired)) << Joined(Messages());
        FormulaSymbol* s = Global("a");
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(c.dataType, s->dataType);
        EXPECT_EQ(c.precision, s->precision);
        EXPECT_EQ(c.symbolClass, s->symbolClass);
        EXPECT_EQ(c.variability, s->variability);
        EXPECT_EQ(c.currentType, s->currentType);
        EXPECT_GE(s->id, SYMBOL_FIRST_GLOBAL_ID);
        EXPECT_EQ(0u, (uint32_t)s->id & (SYMBOL_ID_COMPILER | SYMBOL_ID_LOCAL));
        // A slot of its own above the predefined area, aligned for its type.
        int alignment;
        int size = slotSizeAndAlign(s->dataType, s->precision, &alignment);
        EXPECT_GE(s->dataOffset, PREDEFINED_AREA_SIZE);
        EXPECT_EQ(0, s->dataOffset % alignment);
        EXPECT_GE(compiler.dataTop, s->dataOffset + size);
        if (c.symbolClass == SYM_PARAMETER) {
            EXPECT_EQ(FACT_YES, s->assigned);
            EXPECT_EQ(FACT_NO, s->constant);
        }
        bool shared = strncmp(c.declaration, "shared", 6) == 0;
        EXPECT_EQ(shared ? 1 : 0, s->shared);
        if (shared) {
            EXPECT_EQ(1, s->readCount);
            EXPECT_EQ(1, s->writeCount);
        }
    }
}

TEST_F(Declarations, NamesOfOneDeclarationGetDistinctSlotsInOrder)
{
    ASSERT_TRUE(Compile("  complex a, b;\n  real c;\n" + std::string(kRequired))) << Joined(Messages());
    FormulaSymbol* a = Global("a");
    FormulaSymbol* b = Global("b");
    FormulaSymbol* c = Global("c");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->id + 1, b->id);
    EXPECT_EQ(b->id + 1, c->id);
    EXPECT_LT(a->serial, b->serial);
    EXPECT_LE(a->dataOffset + 16, b->dataOffset);
    EXPECT_LE(b->dataOffset + 16, c->dataOffset);
    EXPECT_EQ(0, c->dataOffset % 16);  // an extended value
    EXPECT_EQ(DT_COMPLEX, b->dataType);
}

TEST_F(Declarations, DeclaredPrecisionFollowsThePrecisionLevel)
{
    struct Case {
        const char* keyword;
        int precision[4];
    } cases[] = {
        {"float ", {PREC_FLOAT, PREC_FLOAT, PREC_DOUBLE, PREC_EXTENDED}},
        {"double ", {PREC_DOUBLE, PREC_DOUBLE, PREC_DOUBLE, PREC_EXTENDED}},
        {"complex ", {PREC_DOUBLE, PREC_DOUBLE, PREC_DOUBLE, PREC_EXTENDED}},
        {"real ", {PREC_EXTENDED, PREC_EXTENDED, PREC_EXTENDED, PREC_EXTENDED}},
        {"int ", {-1, -1, -1, -1}},
    };
    const int typeRow = 27;  // state 13, the type keywords
    ASSERT_EQ(15, g_ParseTable[typeRow].action);
    for (const Case& c : cases) {
        for (int level = 0; level < 4; ++level) {
            compiler.precisionLevel = level;
            char word[20];
            strcpy(word, c.keyword);
            EXPECT_EQ(ACTION_NEXT_STATE,
                      compiler.parseFunctionDatatype(word, 0, (int)strlen(word) - 1, typeRow));
            EXPECT_EQ(c.precision[level], compiler.declPrecision) << c.keyword << " level " << level;
        }
    }
    // After ";" a declaration starts again as complex of the level's precision.
    compiler.precisionLevel = 3;
    compiler.resetDeclarationState();
    EXPECT_EQ(DT_COMPLEX, compiler.declType);
    EXPECT_EQ(PREC_EXTENDED, compiler.declPrecision);
}

TEST_F(Declarations, ParametersMayBeFoldedOnlyWhenConstantForTheCalculation)
{
    ASSERT_TRUE(Compile("  parameter complex p;\n" + std::string(kRequired), FK_ITERATION, SK_PLANE, nullptr, true));
    FormulaSymbol* p = Global("p");
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(FACT_NO, p->assigned);
    EXPECT_EQ(FACT_YES, p->constant);
}

TEST_F(Declarations, SelectableFunctionParameterIsAHiddenIntWithItsChoices)
{
    NodeList given;
    FormulaFuncParameter* chosen = new FormulaFuncParameter();
    chosen->SetName("fn");
    chosen->selected = 5;
    given.Append(chosen);

    Fractal fractal;  // three passes: the later ones refill the records
    ASSERT_TRUE(Compile("  function complex fn;\n  function color mix;\n" + std::string(kRequired), FK_ITERATION,
                        SK_PLANE, &fractal, false, &given))
        << Joined(Messages());
    DeleteAllNodes(&given);

    FormulaSymbol* fn = Global("__fn");
    ASSERT_NE(nullptr, fn);
    EXPECT_EQ(nullptr, Global("fn"));
    EXPECT_EQ(DT_INT, fn->dataType);
    EXPECT_EQ(DT_ENUM, fn->precision);
    EXPECT_EQ(0, fn->variability);
    EXPECT_EQ(5.0, fn->value[0]);
    ASSERT_NE(nullptr, fn->enumList);
    EXPECT_EQ(0, FindEnumValue(fn->enumList->GetData(), "sin"));
    EXPECT_EQ(32, FindEnumValue(fn->enumList->GetData(), "NEG"));
    EXPECT_EQ(-1, FindEnumValue(fn->enumList->GetData(), "Normal"));

    FormulaSymbol* mix = Global("__mix");
    ASSERT_NE(nullptr, mix);
    ASSERT_NE(nullptr, mix->enumList);
    EXPECT_EQ(4, FindEnumValue(mix->enumList->GetData(), "Soft Light"));
    EXPECT_EQ(18, FindEnumValue(mix->enumList->GetData(), "Blue"));
    EXPECT_EQ(-1, FindEnumValue(mix->enumList->GetData(), "sin"));
    EXPECT_EQ(0, mix->dataOffset % 4);
}

TEST_F(Declarations, ArraysRecordTypeDimensionsAndElements)
{
    ASSERT_TRUE(Compile("  array ar[3] of double;\n"
                        "  array ac[2] of complex;\n"
                        "  parameter array pa[2] of float;\n"
                        "  double m[3, 4], after;\n"
                        "  parameter int pm[2,3];\n"
                        "  complex big[100, 100];\n" +
                        std::string(kRequired)))
        << Joined(Messages());

    FormulaSymbol* ar = Global("ar");
    ASSERT_NE(nullptr, ar);
    EXPECT_EQ(DT_ARRAY, ar->dataType);
    EXPECT_EQ(3.0, ar->value[0]);
    EXPECT_EQ(DT_REAL, ar->precision);  // element type
    EXPECT_EQ(PREC_DOUBLE, ar->elementPrecision);
    EXPECT_EQ(0, ar->dataOffset % 16);
    EXPECT_EQ(FACT_YES, ar->arrayAssigned);
    EXPECT_EQ(SYM_VARIABLE, ar->symbolClass);

    FormulaSymbol* ac = Global("ac");
    ASSERT_NE(nullptr, ac);
    EXPECT_EQ(DT_COMPLEX, ac->precision);
    EXPECT_EQ(PREC_DOUBLE, ac->elementPrecision);

    FormulaSymbol* pa = Global("pa");
    ASSERT_NE(nullptr, pa);
    EXPECT_EQ(SYM_PARAMETER, pa->symbolClass);
    EXPECT_EQ(PREC_FLOAT, pa->elementPrecision);

    FormulaSymbol* m = Global("m");
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(DT_PREDEFINED_ARRAY, m->dataType);
    EXPECT_EQ(DT_REAL, m->precision);
    EXPECT_EQ(PREC_DOUBLE, m->elementPrecision);
    EXPECT_EQ(2.0, m->value[0]);
    EXPECT_EQ(3, m->dimensions[0]);
    EXPECT_EQ(4, m->dimensions[1]);
    ASSERT_EQ(12, m->elementCount);
    EXPECT_EQ(FACT_UNKNOWN, m->elements[11].assigned);
    EXPECT_EQ(FACT_UNKNOWN, m->elements[0].runtimeRead);

    // A name after a bracketed array in the same declaration is a plain
    // variable of the element type.
    FormulaSymbol* after = Global("after");
    ASSERT_NE(nullptr, after);
    EXPECT_EQ(DT_REAL, after->dataType);
    EXPECT_EQ(PREC_DOUBLE, after->precision);

    FormulaSymbol* pm = Global("pm");
    ASSERT_NE(nullptr, pm);
    EXPECT_EQ(SYM_PARAMETER, pm->symbolClass);
    EXPECT_EQ(DT_INT, pm->precision);
    EXPECT_EQ(0, pm->elementCount);  // parameters keep no element facts

    FormulaSymbol* big = Global("big");
    ASSERT_NE(nullptr, big);
    EXPECT_EQ(0, big->elementCount);  // more than 5000 elements
}

TEST_F(Declarations, FunctionHeadRecordsSignatureParametersAndLocals)
{
    std::string body = "  complex f(complex a, double &b, array c[2] of int) {\n"
                       "    complex t;\n"
                       "    int k;\n"
                       "    return a;\n"
                       "  }\n";
    ASSERT_TRUE(Compile(body + kRequired)) << Joined(Messages());
    FormulaFunction* f = Function("Cf@@CRA");
    ASSERT_NE(nullptr, f);
    EXPECT_STREQ("f", f->name);
    EXPECT_STREQ("Cf@@CRA", f->decoratedName);
    EXPECT_EQ(FUNCTION_DEFINED, f->stateWord);
    EXPECT_EQ(DT_COMPLEX, f->resultType);
    EXPECT_EQ(1, f->index);
    EXPECT_EQ((int)text.find("complex f("), f->textPositions[0]);
    EXPECT_EQ((int)text.find(") {"), f->textPositions[1]);

    struct Expected {
        const char* name;
        uint32_t id;
        int offset, dataType, byReference;
    } expected[] = {
        {"a", 0x80000001u, 8, DT_COMPLEX, 0},
        {"b", 0x80000002u, 24, DT_REAL, 1},
        {"c", 0x80000003u, 32, DT_ARRAY, 1},
        // The locals lie below the templates' scratch memory [EBP-128, EBP-1].
        {"t", 0x80000004u, -144, DT_COMPLEX, 0},
        {"k", 0x80000005u, -148, DT_INT, 0},
    };
    ASSERT_EQ(5, f->locals.Count());
    int i = 0;
    for (ListNode* n = f->locals.GetHead(); n; n = n->next, ++i) {
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        SCOPED_TRACE(expected[i].name);
        EXPECT_STREQ(expected[i].name, s->name);
        EXPECT_EQ(expected[i].id, (uint32_t)s->id);
        EXPECT_EQ(expected[i].offset, s->dataOffset);
        EXPECT_EQ(expected[i].dataType, s->dataType);
        EXPECT_EQ(expected[i].byReference, s->byReference);
    }
    FormulaSymbol* b = static_cast<FormulaSymbol*>(f->locals.GetAt(1));
    EXPECT_EQ(1, b->readCount);
    EXPECT_EQ(1, b->writeCount);
    FormulaSymbol* c = static_cast<FormulaSymbol*>(f->locals.GetAt(2));
    EXPECT_EQ(2.0, c->value[0]);
    EXPECT_EQ(DT_INT, c->precision);
    FormulaSymbol* t = static_cast<FormulaSymbol*>(f->locals.GetAt(3));
    EXPECT_EQ(DT_REAL, t->currentType);
    EXPECT_EQ(-1, t->nextType);
    EXPECT_EQ(36, f->frameTop);
    EXPECT_EQ(-148, f->frameBottom);
}

TEST_F(Declarations, BailoutFunctionIsStopInAttractors)
{
    ASSERT_TRUE(Compile(kRequired));
    FormulaFunction* bailout = Function("Bbailout@@");
    ASSERT_NE(nullptr, bailout);
    EXPECT_STREQ("bailout", bailout->name);
    EXPECT_EQ(FUNCTION_DEFINED, bailout->stateWord);

    for (const char* keyword : {"bailout", "stop"}) {
        DeleteAllMessages();
        std::string body = std::string("  void loop(void) {\n  }\n  bool ") + keyword +
                           "(void) {\n    return(1);\n  }\n";
        ASSERT_TRUE(Compile(body, FK_ITERATION, SK_ATTRACTOR)) << keyword << "\n" << Joined(Messages());
        FormulaFunction* stop = Function("Bstop@@");
        ASSERT_NE(nullptr, stop) << keyword;
        EXPECT_STREQ("stop", stop->name);
        EXPECT_STREQ("Bstop@@", stop->decoratedName);
    }
}

TEST_F(Declarations, PrototypesAndDefinitionsMakeOneFunction)
{
    // The definition's own parameter names are the ones its body uses.
    std::string body = "  complex g(complex p);\n"
                       "  complex g(complex q) {\n    return q;\n  }\n"
                       "  complex h(complex p) {\n    return p;\n  }\n"
                       "  complex h(complex p);\n";
    ASSERT_TRUE(Compile(body + kRequired)) << Joined(Messages());
    EXPECT_TRUE(Messages().empty()) << Joined(Messages());
    FormulaFunction* g = Function("Cg@@C");
    ASSERT_NE(nullptr, g);
    EXPECT_EQ(FUNCTION_DEFINED, g->stateWord);
    ASSERT_EQ(1, g->locals.Count());
    EXPECT_STREQ("q", g->locals.GetHead()->name);
    FormulaFunction* h = Function("Ch@@C");
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(FUNCTION_DEFINED, h->stateWord);
    // g, h, init, loop, bailout: one record each, numbered in order.
    ASSERT_EQ(5, compiler.functions.Count());
    int index = 1;
    for (ListNode* n = compiler.functions.GetHead(); n; n = n->next)
        EXPECT_EQ(index++, static_cast<FormulaFunction*>(n)->index);
}

TEST_F(Declarations, LaterPassesRefillTheRecordsOfTheFirst)
{
    std::string body = "  parameter complex p;\n  double a, v[2,2];\n  array ar[1] of int;\n"
                       "  function complex fn;\n"
                       "  complex g(complex x);\n"
                       "  complex g(complex x) {\n    double loc;\n    return x;\n  }\n"
                       "  complex h(complex y) {\n    return y;\n  }\n"
                       "  complex h(complex y);\n" +
                       std::string(kRequired) + "  complex last(void) {\n    return 1;\n  }\n";
    ASSERT_TRUE(Compile(body)) << Joined(Messages());
    struct Record {
        std::string name;
        int id, offset, dataType, precision, symbolClass;
    };
    auto records = [this] {
        std::vector<Record> out;
        for (ListNode* n = compiler.symbols.GetHead(); n; n = n->next) {
            FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
            if ((uint32_t)s->id & SYMBOL_ID_COMPILER)
                continue;  // made again in every cycle
            out.push_back({s->name, s->id, s->dataOffset, s->dataType, s->precision, s->symbolClass});
        }
        for (ListNode* fn = compiler.functions.GetHead(); fn; fn = fn->next)
            for (ListNode* n = static_cast<FormulaFunction*>(fn)->locals.GetHead(); n; n = n->next) {
                FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
                out.push_back({s->name, s->id, s->dataOffset, s->dataType, s->precision, s->symbolClass});
            }
        return out;
    };
    std::vector<Record> onePass = records();
    int onePassTop = compiler.dataTop;
    int onePassFunctions = compiler.functions.Count();

    Fractal fractal;
    ASSERT_TRUE(Compile(body, FK_ITERATION, SK_PLANE, &fractal)) << Joined(Messages());
    std::vector<Record> threePasses = records();
    ASSERT_EQ(onePass.size(), threePasses.size());
    for (size_t i = 0; i < onePass.size(); ++i) {
        SCOPED_TRACE(onePass[i].name);
        EXPECT_EQ(onePass[i].name, threePasses[i].name);
        EXPECT_EQ(onePass[i].id, threePasses[i].id);
        EXPECT_EQ(onePass[i].offset, threePasses[i].offset);
        EXPECT_EQ(onePass[i].dataType, threePasses[i].dataType);
        EXPECT_EQ(onePass[i].precision, threePasses[i].precision);
        EXPECT_EQ(onePass[i].symbolClass, threePasses[i].symbolClass);
    }
    EXPECT_EQ(onePassTop, compiler.dataTop);
    EXPECT_EQ(onePassFunctions, compiler.functions.Count());
    FormulaFunction* g = Function("Cg@@C");
    ASSERT_NE(nullptr, g);
    EXPECT_EQ(FUNCTION_DEFINED, g->stateWord);
    EXPECT_EQ(24, g->frameTop);  // the formal parameter's room survives the reset
    // A prototype after the definition leaves the defined function alone.
    FormulaFunction* h = Function("Ch@@C");
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(24, h->frameTop);
    // The functions keep their places and distinct indexes.
    int index = 1;
    for (ListNode* n = compiler.functions.GetHead(); n; n = n->next)
        EXPECT_EQ(index++, static_cast<FormulaFunction*>(n)->index) << n->name;
    EXPECT_STREQ("last", compiler.functions.GetTail()->name);
    EXPECT_EQ(4, Global("v")->elementCount);
}

TEST_F(Declarations, HeadOptionsSetSymmetrySubKindAndInsideMode)
{
    struct Case {
        int kind;
        const char* head;
        int symmetry, subKind, insideMode;
    } cases[] = {
        {FK_ITERATION, "Decl(XAXIS) {\n}\n", 1, SK_PLANE, 0},
        {FK_ITERATION, "Decl(XYAXIS) {\n}\n", 4, SK_PLANE, 0},
        {FK_ITERATION, "Decl(ORIGIN) {\n}\n", 3, SK_PLANE, 0},
        {FK_ITERATION, "Decl(QUATERNION) {\n}\n", 0, SK_QUATERNION, 0},
        {FK_ITERATION, "Decl(ATTRACTOR) {\n}\n", 0, SK_ATTRACTOR, 0},
        {FK_COLORING, "Decl(OUTSIDE) {\n}\n", 0, SK_PLANE, 2},
        {FK_COLORING, "Decl(INSIDE) {\n}\n", 0, SK_PLANE, 1},
        {FK_COLORING, "Decl(ATTRACTOR) {\n}\n", 0, SK_ATTRACTOR, 3},
        {FK_COLORING, "Decl {\n}\n", 0, SK_PLANE, 3},
        {FK_TRANSFORMATION, "Decl(QUATERNION) {\n}\n", 0, SK_QUATERNION, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.head);
        CompileWithHead(c.head, c.kind);
        EXPECT_EQ(c.symmetry, compiler.symmetry);
        EXPECT_EQ(c.subKind, compiler.subKind);
        EXPECT_EQ(c.insideMode, compiler.insideMode);
    }
    // The option decides the predefined variables of the body.
    CompileWithHead("Decl(QUATERNION) {\n}\n", FK_ITERATION);
    EXPECT_NE(nullptr, Global("Basepoint"));
    EXPECT_EQ(SUBKIND_MASK_QUATERNION, compiler.subKindMask);
}

// Every declaration error with its text and place: the marker ` stands
// where the reported range starts.
TEST_F(Declarations, EachDeclarationErrorHasItsTextLineAndColumn)
{
    struct Case {
        const char* body;
        int type;
        const char* message;
    } cases[] = {
        {"  double ab;\n  double `ab;\n", MSG_ERROR, "Compiler error 020: Variable ab has already been defined"},
        {"  function complex fn;\n  double `__fn;\n", MSG_ERROR,
         "Compiler error 020: Variable __fn has already been defined"},
        {"  double fn;\n  function complex `fn;\n", MSG_ERROR,
         "Compiler error 020: Variable fn has already been defined"},
        {"  double ab;\n  array `ab[2] of int;\n", MSG_ERROR,
         "Compiler error 020: Variable ab has already been defined"},
        {"  double ab;\n  int `ab[3];\n", MSG_ERROR, "Compiler error 020: Variable ab has already been defined"},
        {"  complex f(complex pa, double `pa) {\n  }\n", MSG_ERROR,
         "Compiler error 020: Parameter pa has already been defined"},
        {"  void init(void) {\n    double lv;\n    int `lv;\n  }\n", MSG_ERROR,
         "Compiler error 020: Local variable lv has already been defined"},
        {"  complex pa;\n  void init(void) {\n    complex pa, `pa;\n  }\n", MSG_ERROR,
         "Compiler error 020: Local variable pa has already been defined"},
        {"`  parameter complex f(complex a) {\n  }\n", MSG_ERROR,
         "Compiler error 024: Invalid function definition: No 'parameter', 'const', 'shared' or 'function' "
         "keyword may precede the function definition."},
        {"`  const bool bailout(void) {\n", MSG_ERROR,
         "Compiler error 024: Invalid function definition: No 'parameter', 'const', 'shared' or 'function' "
         "keyword may precede the function definition."},
        {"  complex g(complex a) {\n    return a;\n`  }\n  complex g(complex b) {\n", MSG_ERROR,
         "Compiler Error 090: A function with the same signature has already been defined."},
        {"  bool bailout(void) {\n    return(1);\n`  }\n  bool bailout(void) {\n", MSG_ERROR,
         "Compiler Error 091: this function has already been defined."},
        {"  parameter array `pa[3] of double;\n", MSG_ERROR,
         "Compiler error 097: Parameter arrays must have two dimensions"},
        {"  parameter double `pb[3];\n", MSG_ERROR, "Compiler error 097: Parameter arrays must have two dimensions"},
        {"  array `ar[0] of double;\n", MSG_ERROR,
         "Compiler error 616: Array dimension must be a positive integer value between 1 and 5."},
        {"  array `ar[\"x\"] of double;\n", MSG_ERROR,
         "Compiler error 616: Array dimension must be a positive integer value between 1 and 5."},
        {"  complex f(array `ca[0] of int) {\n", MSG_ERROR,
         "Compiler error 616: Array dimension must be a positive integer value between 1 and 5."},
        {"  array `ar[6] of double;\n", MSG_ERROR,
         "Compiler error 617: The maximum array dimension supported in Spiralix is 5."},
        {"  complex f(array `ca[7] of int) {\n", MSG_ERROR,
         "Compiler error 617: The maximum array dimension supported in Spiralix is 5."},
        {"  double ar[1, 2, 3, 4, 5, `66];\n", MSG_ERROR,
         "Compiler error 617: The maximum array dimension supported in Spiralix is 5."},
        {"  function `array fa[2] of double;\n", MSG_ERROR,
         "Compiler error 817: Datatype for function must be complex or color."},
        {"  function `double fd;\n", MSG_ERROR,
         "Compiler error 819: Function datatype must be either complex or color"},
    };
    for (const Case& c : cases) {
        std::string body = c.body;
        size_t marker = body.find('`');
        ASSERT_NE(std::string::npos, marker) << c.body;
        body.erase(marker, 1);
        SCOPED_TRACE(body);
        DeleteAllMessages();
        EXPECT_FALSE(Compile(body));
        int position = (int)(marker + strlen("Decl {\n"));
        int line = 1 + (int)std::count(text.begin(), text.begin() + position, '\n');
        int column = position - (int)text.rfind('\n', position - 1) - 1;

        std::vector<Line> lines = Messages();
        ASSERT_EQ(2u, lines.size()) << Joined(lines);
        char header[100];
        snprintf(header, sizeof header, "Error - formula Decl, line %d at char %d:", line, column);
        EXPECT_EQ(header, lines[0].text);
        EXPECT_EQ(c.type, lines[0].type);
        EXPECT_EQ(position, lines[0].start);
        EXPECT_EQ(c.message, lines[1].text);
    }
}

TEST_F(Declarations, RepeatedPrototypeIsAWarningAndTheCompileGoesOn)
{
    std::string body = "  complex g(complex a);\n  complex g(complex b);\n";
    int position = (int)body.find("  complex g(complex b)") + 7;
    EXPECT_TRUE(Compile(body + kRequired));
    std::vector<Line> lines = Messages();
    ASSERT_EQ(3u, lines.size()) << Joined(lines);
    EXPECT_EQ("Warning - formula Decl, line 3 at char 0:", lines[0].text);
    EXPECT_EQ(MSG_WARNING, lines[0].type);
    EXPECT_EQ(position, lines[0].start);
    EXPECT_EQ("Compiler warning 089: A function with the same signature has already been declared.",
              lines[1].text);
    EXPECT_EQ("Statement will be ignored.", lines[2].text);
    EXPECT_EQ(MSG_NOTE, lines[2].type);
    FormulaFunction* g = Function("Cg@@C");
    ASSERT_NE(nullptr, g);
    EXPECT_EQ(FUNCTION_DECLARED, g->stateWord);
}

TEST_F(Declarations, LongNamesAreCutToTheirFields)
{
    std::string longName(120, 'v');
    std::string parameters;
    for (int i = 0; i < 400; ++i)
        parameters += (i ? ", double p" : "double p") + std::to_string(i);
    std::string body = "  parameter double " + longName + ";\n" +
                       "  complex " + std::string(90, 'f') + "(" + parameters + ") {\n    return p1;\n  }\n" +
                       kRequired +
                       "  void description(void) {\n"
                       "    " + longName + ".enum = \"a\\nb\";\n"
                       "    separator." + std::string(200, 's') + ".caption = \"S\";\n"
                       "  }\n";
    ASSERT_TRUE(Compile(body)) << Joined(Messages());
    FormulaSymbol* v = Global(longName.substr(0, ListNode::NODE_NAME_MAX).c_str());
    ASSERT_NE(nullptr, v);
    // The entry names more characters than a symbol name holds: it names
    // no symbol and makes no enumeration.
    EXPECT_EQ(DT_REAL, v->dataType);
    FormulaSymbol* separator = Global(std::string(ListNode::NODE_NAME_MAX, 's').c_str());
    ASSERT_NE(nullptr, separator);
    EXPECT_STREQ("S", separator->captionText());
    FormulaFunction* f = static_cast<FormulaFunction*>(compiler.functions.GetHead());
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(400, f->locals.Count());
    EXPECT_EQ(FUNCTION_DECORATED_NAME_SIZE - 1, (int)strlen(f->decoratedName));
    EXPECT_EQ(0, strncmp(f->decoratedName, ("C" + std::string(79, 'f') + "@@RRR").c_str(), 85));
}

TEST_F(Declarations, DeclarationsAreCheckedForDuplicatesOnlyInTheFirstCycle)
{
    // Three passes declare everything three times without a complaint.
    Fractal fractal;
    EXPECT_TRUE(Compile("  double a;\n  parameter int b;\n" + std::string(kRequired), FK_ITERATION, SK_PLANE,
                        &fractal));
    EXPECT_TRUE(Messages().empty()) << Joined(Messages());
}

}  // namespace
