#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

namespace {

FormulaSymbol* MakeSymbol(const char* name, int type, int id)
{
    FormulaSymbol* s = new FormulaSymbol();
    s->SetName(name);
    s->dataType = type;
    s->id = id;
    return s;
}

struct OwnedList {
    NodeList list;
    ~OwnedList() { DeleteAllNodes(&list); }
};

TEST(FormulaSymbol, ConstructedAndClearedStates)
{
    FormulaSymbol s;
    EXPECT_EQ(-1, s.dataType);
    EXPECT_EQ(-1, s.precision);
    EXPECT_EQ(-1, s.id);
    EXPECT_EQ(-1, s.dataOffset);
    EXPECT_EQ(DT_REAL, s.currentType);
    EXPECT_EQ(FACT_UNKNOWN, s.assigned);
    EXPECT_EQ(FACT_UNKNOWN, s.arrayConstantSure);
    EXPECT_EQ(1, s.visible);
    EXPECT_EQ(1, s.enabled);
    EXPECT_EQ(-1e30, s.minimum);
    EXPECT_EQ(1e30, s.randomizeMax);

    s.SetName("a");
    s.id = 30;
    s.dataOffset = 64;
    s.serial = 7;
    s.dataType = DT_COMPLEX;
    s.symbolClass = SYM_PARAMETER;
    s.value[0] = 3;
    s.minimum = 2;
    s.visible = 0;
    SetSymbolText(&s.caption, "Caption");
    ASSERT_TRUE(s.makeElements(4));
    s.clear();
    EXPECT_STREQ("a", s.name);
    EXPECT_EQ(30, s.id);
    EXPECT_EQ(64, s.dataOffset);
    EXPECT_EQ(7, s.serial);
    EXPECT_EQ(-1, s.dataType);
    EXPECT_EQ(0, s.symbolClass);
    EXPECT_EQ(0.0, s.value[0]);
    EXPECT_EQ(-1e30, s.minimum);
    EXPECT_EQ(1, s.visible);
    EXPECT_EQ(nullptr, s.caption);
    EXPECT_EQ(0, s.elementCount);
    EXPECT_EQ(nullptr, s.elements);
}

struct PropertyCase {
    const char* property;
    int dataType;        // of the symbol
    int valueType;
    double value;
    int result;
};

TEST(FormulaSymbol, SetPropertyChecksTheValueType)
{
    const PropertyCase cases[] = {
        {"min", DT_REAL, DT_REAL, 1.5, 1},
        {"min", DT_REAL, DT_ENUM, 1.5, -1},         // stored anyway, see below
        {"max", DT_COMPLEX, DT_VECTOR, 2, 1},
        {"max", DT_REAL, DT_BOOL, 2, -1},
        {"default", DT_INT, DT_REAL, 2.5, -1},
        {"default", DT_INT, DT_REAL, 3.0, 1},
        {"default", DT_INT, DT_INT, 3.0, 1},
        {"default", DT_REAL, DT_INT, 4, 1},
        {"default", DT_REAL, DT_COMPLEX, 4, -1},
        {"default", DT_COMPLEX, DT_REAL, 4, -1},
        {"default", DT_BOOL, DT_BOOL, 1, 1},
        {"default", DT_BOOL, DT_INT, 1, -1},
        {"default", DT_QUATERNION, DT_COMPLEX, 1, -1},
        {"default", DT_COLOR, DT_QUATERNION, 1, 1},
        {"randomizationType", DT_REAL, DT_INT, 1.6, 1},
        {"randomizationType", DT_REAL, DT_BOOL, 1, -1},
        {"visible", DT_REAL, DT_BOOL, 0, 1},
        {"enabled", DT_REAL, -1, 0, 1},
        {"enum", DT_INT, DT_ENUM, 0, 1},
        {"Min", DT_REAL, DT_REAL, 1, 0},
        {"colour", DT_REAL, DT_REAL, 1, 0},
    };
    for (const PropertyCase& c : cases) {
        FormulaSymbol s;
        s.dataType = c.dataType;
        double values[4] = {c.value, 0.5, 0, 0};
        EXPECT_EQ(c.result, s.setProperty(c.property, nullptr, values, c.valueType))
            << c.property << " type " << c.dataType << " value type " << c.valueType;
    }
}

TEST(FormulaSymbol, SetPropertyStoresItsValues)
{
    FormulaSymbol s;
    s.dataType = DT_INT;
    double v[4] = {7, 0, 0, 0};
    // "min" with a text value keeps the number and still answers -1.
    EXPECT_EQ(-1, s.setProperty("min", "x", v, DT_ENUM));
    EXPECT_EQ(7.0, s.minimum);

    double bad[4] = {2.5, 0, 0, 0};
    s.defaultValue[0] = 1;
    EXPECT_EQ(-1, s.setProperty("default", nullptr, bad, DT_REAL));
    EXPECT_EQ(1.0, s.defaultValue[0]);
    double good[4] = {3.0, 0, 0, 0};
    EXPECT_EQ(1, s.setProperty("default", nullptr, good, DT_REAL));
    EXPECT_EQ(3.0, s.defaultValue[0]);

    double half[4] = {1.6, 0, 0, 0};
    s.setProperty("randomizationType", nullptr, half, DT_REAL);
    EXPECT_EQ(2, s.randomizationType);

    double nan[4] = {NAN, 0, 0, 0};
    s.setProperty("randomizable", nullptr, nan, DT_REAL);
    EXPECT_EQ(1, s.randomizable);   // NaN is not 0
    double zero[4] = {0, 0, 0, 0};
    s.setProperty("visible", nullptr, zero, -1);   // an expression: nothing here
    EXPECT_EQ(1, s.visible);
    s.setProperty("visible", nullptr, zero, DT_BOOL);
    EXPECT_EQ(0, s.visible);

    // A caption given as a number is kept, with the rejection.
    EXPECT_EQ(-1, s.setProperty("caption", "Count", zero, DT_REAL));
    EXPECT_STREQ("Count", s.captionText());
    EXPECT_EQ(1, s.setProperty("hint", "How many", zero, DT_ENUM));
    EXPECT_STREQ("How many", s.hintText());
    EXPECT_EQ(1, s.setProperty("hint", nullptr, zero, DT_ENUM));
    EXPECT_STREQ("How many", s.hintText());
}

TEST(FormulaSymbol, CopyToMirrorsBuffersAndElements)
{
    FormulaSymbol source;
    source.SetName("src");
    source.dataType = DT_QUATERNION;
    source.id = 40;
    source.value[3] = 4.5;
    source.defaultValue[2] = 1.5;
    source.readType = DT_INT;
    SetSymbolText(&source.caption, "Quat");
    ASSERT_TRUE(source.makeElements(3));
    source.elements[2].value[1] = 9;

    FormulaSymbol target;
    SetSymbolText(&target.hint, "stale hint");
    target.sourcePosition = 77;
    target.byReference = 1;
    source.copyTo(&target);
    EXPECT_STREQ("src", target.name);
    EXPECT_EQ(DT_QUATERNION, target.dataType);
    EXPECT_EQ(40, target.id);
    EXPECT_EQ(4.5, target.value[3]);
    EXPECT_EQ(1.5, target.defaultValue[2]);
    EXPECT_EQ(-1, target.readType);
    EXPECT_EQ(77, target.sourcePosition);   // left alone
    EXPECT_EQ(1, target.byReference);
    EXPECT_EQ(nullptr, target.hint);        // the source has none
    EXPECT_STREQ("Quat", target.captionText());
    EXPECT_NE(source.caption, target.caption);
    ASSERT_EQ(3, target.elementCount);
    EXPECT_NE(source.elements, target.elements);
    EXPECT_EQ(9.0, target.elements[2].value[1]);
}

TEST(FormulaFuncParameter, DefaultLooksTheNameUpInItsTable)
{
    FormulaFuncParameter p;
    char sin[] = "sin  ";
    EXPECT_EQ(1, p.setProperty("default", sin, DT_ENUM));
    EXPECT_EQ(0, p.defaultFunction);
    EXPECT_STREQ("sin", sin);   // trailing blanks cut in place

    char merge[] = "mergesoftlight";
    p.functionTable = 1;
    EXPECT_EQ(1, p.setProperty("default", merge, DT_ENUM));
    EXPECT_EQ(4, p.defaultFunction);

    char unknown[] = "Sin";   // case-sensitive
    p.functionTable = 0;
    EXPECT_EQ(-1, p.setProperty("default", unknown, DT_ENUM));
    EXPECT_EQ(1, p.defaultFunction);

    char number[] = "3";
    EXPECT_EQ(-1, p.setProperty("default", number, DT_REAL));
    EXPECT_EQ(-1, p.defaultFunction);

    char caption[] = "Function";
    EXPECT_EQ(1, p.setProperty("caption", caption, DT_ENUM));
    EXPECT_EQ(1, p.setProperty("visible", nullptr, DT_BOOL));
    EXPECT_EQ(0, p.setProperty("min", nullptr, DT_REAL));

    FormulaFuncParameter copy;
    p.SetName("fn");
    p.id = 3;
    p.copyTo(&copy);
    EXPECT_STREQ("fn", copy.name);
    EXPECT_EQ(3, copy.id);
    EXPECT_EQ(-1, copy.defaultFunction);
    ASSERT_NE(nullptr, copy.caption);
    EXPECT_STREQ("Function", static_cast<const char*>(copy.caption->GetData()));
}

TEST(FormulaFunction, LookupsIgnoreTheResultLetter)
{
    NodeList functions;
    FormulaFunction* f = new FormulaFunction();
    strcpy(f->decoratedName, "Cmix@@CR");
    FormulaFunction* g = new FormulaFunction();
    strcpy(g->decoratedName, "Vloop@@");
    functions.Append(f);
    functions.Append(g);
    EXPECT_EQ(f, findFunction(&functions, "Rmix@@CR"));
    EXPECT_EQ(nullptr, findFunction(&functions, "Rmix@@C"));
    EXPECT_EQ(g, findFunction(&functions, "Bloop@@"));
    FormulaFunction probe;
    strcpy(probe.decoratedName, "Imix@@CR");
    EXPECT_EQ(f, findSameFunction(&probe, &functions));
    EXPECT_EQ(FUNCTION_NOT_COMPILED, f->codeLength);
    EXPECT_EQ(8, f->frameTop);
    EXPECT_EQ(-32, f->frameBottom);
    DeleteAllNodes(&functions);
    EXPECT_TRUE(functions.IsEmpty());
}

TEST(FormulaFunction, ResetKeepsLocalsAndForgetsCalls)
{
    FormulaFunction f;
    FormulaFunction callee;
    f.locals.Append(MakeSymbol("a", DT_REAL, (int32_t)(SYMBOL_ID_LOCAL | 1)));
    f.addCallSite(&callee);
    f.frameTop = 24;
    f.codeLength = 10;
    ASSERT_EQ(1, f.callSitePairs());
    EXPECT_EQ(&callee, f.callSiteCallee(0));
    f.reset();
    EXPECT_EQ(0, f.callSitePairs());
    EXPECT_EQ(8, f.frameTop);
    EXPECT_EQ(FUNCTION_NOT_COMPILED, f.codeLength);
    EXPECT_EQ(1, f.locals.Count());
}

TEST(SymbolLookups, ByIdThroughBothIdTables)
{
    OwnedList symbols;
    symbols.list.SetIndexes(NL_INDEX_NAME | NL_INDEX_ID, FormulaSymbolId);
    FormulaSymbol* plain = MakeSymbol("plain", DT_REAL, 5);
    FormulaSymbol* made = MakeSymbol("made", DT_REAL, (int32_t)(SYMBOL_ID_COMPILER | 5));
    symbols.list.Append(plain);
    symbols.list.Append(made);
    EXPECT_EQ(plain, findSymbolById(&symbols.list, 5));
    EXPECT_EQ(made, findSymbolById(&symbols.list, (int32_t)(SYMBOL_ID_COMPILER | 5)));
    EXPECT_EQ(nullptr, findSymbolById(&symbols.list, 100000));

    // The same answers without the index, by walking.
    NodeList walked;
    FormulaSymbol* a = MakeSymbol("a", DT_REAL, (int32_t)(SYMBOL_ID_COMPILER | 5));
    walked.Append(a);
    EXPECT_EQ(a, findSymbolById(&walked, (int32_t)(SYMBOL_ID_COMPILER | 5)));
    EXPECT_EQ(nullptr, findSymbolById(&walked, 5));
    EXPECT_EQ(a, findNodeByName(walked.GetHead(), "a"));
    EXPECT_EQ(nullptr, findNodeByName(walked.GetHead(), "A"));
    DeleteAllNodes(&walked);
}

TEST(SymbolLookups, LocalIdsLookInTheCurrentFunctionFirst)
{
    FormulaCompiler compiler;
    compiler.symbols.SetIndexes(NL_INDEX_NAME | NL_INDEX_ID, FormulaSymbolId);
    FormulaSymbol* global = MakeSymbol("x", DT_REAL, 1);
    compiler.symbols.Append(global);
    FormulaFunction* f = new FormulaFunction();
    int32_t localId = (int32_t)(SYMBOL_ID_LOCAL | 1);
    FormulaSymbol* local = MakeSymbol("x", DT_COMPLEX, localId);
    f->locals.Append(local);
    compiler.functions.Append(f);

    compiler.currentFunction = f;
    EXPECT_EQ(local, compiler.findVariable(localId));
    EXPECT_EQ(global, compiler.findVariable(1));
    EXPECT_EQ(local, compiler.findVariableByName("x"));

    // Outside the function a local id does not stand for the global whose
    // slot its low bits name.
    compiler.currentFunction = nullptr;
    EXPECT_EQ(nullptr, compiler.findVariable(localId));
    EXPECT_EQ(global, compiler.findVariableByName("x"));
    EXPECT_EQ(nullptr, compiler.findVariableByName("y"));
}

TEST(SymbolLookups, FuncParametersById)
{
    NodeList list;
    FormulaFuncParameter* a = new FormulaFuncParameter();
    a->id = 1;
    FormulaFuncParameter* b = new FormulaFuncParameter();
    b->id = 2;
    list.Append(a);
    list.Append(b);
    EXPECT_EQ(b, findFuncParameterById(list.GetHead(), 2));
    EXPECT_EQ(nullptr, findFuncParameterById(list.GetHead(), 3));
    DeleteAllNodes(&list);
}

// Constants the expression pipeline makes for literals ("INFO:some constant
// value") carry plain ids and are referred to by cached expressions, so a new
// cycle must keep them; only values with bit-30 ids and separators go.
TEST(RemoveCompilerSymbols, DropsBit30IdsAndSeparatorsOnly)
{
    OwnedList symbols;
    symbols.list.SetIndexes(NL_INDEX_NAME | NL_INDEX_ID, FormulaSymbolId);
    FormulaSymbol* declared = MakeSymbol("a", DT_COMPLEX, 22);
    FormulaSymbol* literal = MakeSymbol("INFO:some constant value 1", DT_REAL, 23);
    FormulaSymbol* folded = MakeSymbol("INFO:created constant value 1", DT_REAL,
                                       (int32_t)(SYMBOL_ID_COMPILER | 1));
    FormulaSymbol* separator = MakeSymbol("Heading", DT_SEPARATOR, 24);
    FormulaSymbol* directive = MakeSymbol("DIRECTIVE:SPIRALIX", DT_REAL, (int32_t)(SYMBOL_ID_COMPILER | 2));
    int marker;
    declared->data = &marker;
    symbols.list.Append(declared);
    symbols.list.Append(literal);
    symbols.list.Append(folded);
    symbols.list.Append(separator);
    symbols.list.Append(directive);

    removeCompilerSymbols(&symbols.list);
    ASSERT_EQ(2, symbols.list.Count());
    EXPECT_EQ(declared, symbols.list.GetHead());
    EXPECT_EQ(literal, symbols.list.GetTail());
    EXPECT_EQ(nullptr, declared->data);
    EXPECT_EQ(nullptr, findSymbolById(&symbols.list, (int32_t)(SYMBOL_ID_COMPILER | 1)));
}

TEST(SymbolCopies, ModeZeroDropsConstantsAndSettlesFacts)
{
    OwnedList from;
    FormulaSymbol* assigned = MakeSymbol("assigned", DT_REAL, 22);
    assigned->assigned = FACT_YES;
    assigned->constant = FACT_NO;
    assigned->constantSure = FACT_YES;
    assigned->runtimeRead = FACT_NO;
    FormulaSymbol* open = MakeSymbol("open", DT_REAL, 23);
    open->assigned = FACT_NO;
    open->constant = FACT_YES;
    open->constantSure = FACT_NO;
    FormulaSymbol* fixed = MakeSymbol("fixed", DT_REAL, 24);
    fixed->assigned = FACT_NO;
    fixed->constant = FACT_YES;
    fixed->constantSure = FACT_YES;
    fixed->runtimeRead = FACT_NO;
    FormulaSymbol* constant = MakeSymbol("INFO:some constant value 1", DT_REAL, 25);
    constant->symbolClass = SYM_CONSTANT;
    constant->defaultValue[0] = 8;
    FormulaSymbol* array = MakeSymbol("arr", DT_PREDEFINED_ARRAY, 26);
    array->arrayAssigned = FACT_NO;
    array->arrayConstant = FACT_YES;
    array->arrayConstantSure = FACT_YES;
    ASSERT_TRUE(array->makeElements(2));
    array->elements[1].assigned = FACT_YES;
    array->elements[1].constant = FACT_YES;
    for (FormulaSymbol* s : {assigned, open, fixed, constant, array})
        from.list.Append(s);

    OwnedList to;
    to.list.Append(MakeSymbol("stale", DT_REAL, 99));
    FormulaCompiler::copySymbols(&from.list, &to.list, 0);
    ASSERT_EQ(4, to.list.Count());
    auto* a = static_cast<FormulaSymbol*>(to.list.Find("assigned"));
    EXPECT_EQ(FACT_YES, a->assigned);
    EXPECT_EQ(FACT_NO, a->constant);
    EXPECT_EQ(FACT_UNKNOWN, a->runtimeRead);
    EXPECT_EQ(FACT_UNKNOWN, a->constantSure);
    auto* o = static_cast<FormulaSymbol*>(to.list.Find("open"));
    EXPECT_EQ(FACT_UNKNOWN, o->assigned);
    EXPECT_EQ(FACT_UNKNOWN, o->constant);
    auto* f = static_cast<FormulaSymbol*>(to.list.Find("fixed"));
    EXPECT_EQ(FACT_NO, f->assigned);
    EXPECT_EQ(FACT_YES, f->constant);
    EXPECT_EQ(FACT_UNKNOWN, f->runtimeRead);
    auto* arr = static_cast<FormulaSymbol*>(to.list.Find("arr"));
    EXPECT_EQ(FACT_NO, arr->arrayAssigned);
    EXPECT_EQ(FACT_YES, arr->arrayConstant);
    EXPECT_EQ(FACT_YES, arr->elements[1].assigned);
    EXPECT_EQ(FACT_NO, arr->elements[1].constant);

    // Mode 1 keeps constants and their values (the target is emptied first).
    OwnedList values;
    values.list.Append(MakeSymbol("open", DT_REAL, 23));
    FormulaCompiler::copySymbols(&from.list, &values.list, 1);
    EXPECT_EQ(5, values.list.Count());
    auto* c = static_cast<FormulaSymbol*>(findNodeByName(values.list.GetHead(), "INFO:some constant value 1"));
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(8.0, c->defaultValue[0]);
}

TEST(DataLayout, SlotSizesAndAlignment)
{
    struct Case {
        int type, precision, size, align;
    } cases[] = {
        {DT_QUATERNION, PREC_EXTENDED, 64, 16}, {DT_VECTOR, PREC_FLOAT, 12, 4},
        {DT_COMPLEX, PREC_DOUBLE, 16, 8},       {DT_REAL, PREC_EXTENDED, 16, 16},
        {DT_COLOR, PREC_DOUBLE, 16, 4},         {DT_INT, -1, 4, 4},
        {DT_BOOL, -1, 4, 4},                    {DT_ARRAY, DT_REAL, 4, 4},
        {DT_PREDEFINED_ARRAY, DT_COMPLEX, 4, 4}, {DT_VOID, -1, 64, 4},
        {DT_REAL, 7, 64, 4},
    };
    for (const Case& c : cases) {
        int align = 0;
        EXPECT_EQ(c.size, slotSizeAndAlign(c.type, c.precision, &align)) << c.type << "/" << c.precision;
        EXPECT_EQ(c.align, align) << c.type << "/" << c.precision;
    }
    struct AlignCase {
        int offset, alignment, result;
    } aligns[] = {{17, 16, 32}, {-17, 16, -32}, {0, 16, 0}, {-5, 4, -8}, {17, 12, 17}, {8, 8, 8}};
    for (const AlignCase& c : aligns) {
        int offset = c.offset;
        EXPECT_EQ(c.result, alignSlot(&offset, c.alignment));
        EXPECT_EQ(c.result, offset);
    }
}

TEST(DataLayout, StoreSymbolValueConvertsToTheSlot)
{
    FormulaCompiler compiler;
    compiler.dataBlock = new AlignedBuffer(256, 256);
    uint8_t* base = compiler.dataBlock->GetBase();
    struct Case {
        int type;
        double value;
        int32_t written;
    } ints[] = {{DT_INT, -2.5, -3}, {DT_INT, 2.5, 3}, {DT_INT, 2.4, 2}, {DT_BOOL, 0.4, 0}, {DT_BOOL, 0.6, 1}};
    for (const Case& c : ints) {
        FormulaSymbol s;
        s.dataType = c.type;
        s.dataOffset = 16;
        s.value[0] = c.value;
        compiler.storeSymbolValue(&s);
        int32_t v;
        memcpy(&v, base + 16, 4);
        EXPECT_EQ(c.written, v) << c.value;
    }

    FormulaSymbol z;
    z.dataType = DT_COMPLEX;
    z.precision = PREC_EXTENDED;
    z.dataOffset = 32;
    z.value[0] = 1.25;
    z.value[1] = -3.5;
    compiler.storeSymbolValue(&z);
    long double re = 0, im = 0;
    memcpy(&re, base + 32, 10);
    memcpy(&im, base + 48, 10);
    EXPECT_EQ(1.25L, re);
    EXPECT_EQ(-3.5L, im);

    FormulaSymbol below;
    below.dataType = DT_REAL;
    below.precision = PREC_FLOAT;
    below.dataOffset = -8;
    below.value[0] = 0.1;
    compiler.storeSymbolValue(&below);
    float f;
    memcpy(&f, base - 8, 4);
    EXPECT_EQ(0.1f, f);

    // A slot outside the block is not written.
    FormulaSymbol outside;
    outside.dataType = DT_QUATERNION;
    outside.precision = PREC_DOUBLE;
    outside.dataOffset = 250;
    compiler.storeSymbolValue(&outside);
}

TEST(DataLayout, FixedParametersTakeTheHandedInValue)
{
    FormulaCompiler compiler;
    compiler.dataBlock = new AlignedBuffer(64, 64);
    NodeList given;
    FormulaSymbol* p = MakeSymbol("p", DT_REAL, 22);
    p->value[0] = 6.5;
    given.Append(p);
    compiler.inputSymbols = &given;

    FormulaSymbol fixed;
    fixed.SetName("p");
    fixed.symbolClass = SYM_PARAMETER;
    fixed.dataType = DT_REAL;
    fixed.precision = PREC_DOUBLE;
    fixed.dataOffset = 0;
    fixed.variability = 0;
    fixed.assigned = FACT_NO;
    fixed.constant = FACT_YES;
    compiler.storeSymbolValue(&fixed);
    EXPECT_EQ(6.5, fixed.value[0]);
    double d;
    memcpy(&d, compiler.dataBlock->GetBase(), 8);
    EXPECT_EQ(6.5, d);

    FormulaSymbol changing;
    changing.SetName("p");
    changing.symbolClass = SYM_PARAMETER;
    changing.dataType = DT_REAL;
    changing.precision = PREC_DOUBLE;
    changing.dataOffset = 8;
    changing.variability = 1;
    changing.assigned = FACT_YES;
    changing.constant = FACT_NO;
    changing.value[0] = 1;
    compiler.storeSymbolValue(&changing);
    EXPECT_EQ(1.0, changing.value[0]);

    compiler.inputSymbols = nullptr;
    DeleteAllNodes(&given);
}

}  // namespace
