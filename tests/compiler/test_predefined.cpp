// The names every formula knows without declaring them: builtin names, the
// small-integer constants, the predefined variables of each kind, and the
// data block prepared when the formula's body opens.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Predefined.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"

namespace {

class Predefined : public ::testing::Test {
protected:
    void SetUp() override { DeleteAllMessages(); }
    void TearDown() override
    {
        compiler.freeResults();
        DeleteAllMessages();
    }

    // Compiles a formula whose body holds only body (the check of the
    // required functions may fail; the symbols are made all the same).
    void Compile(int kind, int subKind, const char* body = "", int dataTop = 0, Fractal* fractal = nullptr)
    {
        std::string text = std::string("Pre {\n") + body + "}\n";
        compiler.setKind(kind);
        compiler.compile(text.c_str(), dataTop, -128, nullptr, nullptr, fractal, "Pre", subKind, nullptr, false,
                         false);
    }

    FormulaSymbol* Global(const char* name)
    {
        return static_cast<FormulaSymbol*>(findNodeByName(compiler.symbols.GetHead(), name));
    }

    // The symbols that are not made anew in every cycle, in list order.
    std::vector<FormulaSymbol*> Kept()
    {
        std::vector<FormulaSymbol*> out;
        for (ListNode* n = compiler.symbols.GetHead(); n; n = n->next) {
            FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
            if (!((uint32_t)s->id & SYMBOL_ID_COMPILER))
                out.push_back(s);
        }
        return out;
    }

    int16_t SmallIntegerWord(int code)
    {
        int16_t v;
        memcpy(&v, compiler.dataBlock->GetBase() - 2 * code, 2);
        return v;
    }

    FormulaCompiler compiler;
};

int RowCount(const PredefinedVariable* table)
{
    int n = 0;
    while (table[n].name)
        ++n;
    return n;
}

TEST_F(Predefined, EachKindAndSubKindHasItsTable)
{
    struct Case {
        int kind, subKind, rows;
        const char* first;
    } cases[] = {
        {FK_TRANSFORMATION, SK_PLANE, 51, "__SXz"},   {FK_TRANSFORMATION, SK_QUATERNION, 48, "__SXz"},
        {FK_ITERATION, SK_PLANE, 54, "z"},            {FK_ITERATION, SK_ATTRACTOR, 51, "z"},
        {FK_ITERATION, SK_QUATERNION, 50, "z"},       {FK_COLORING, SK_PLANE, 53, "z"},
        {FK_COLORING, SK_ATTRACTOR, 51, "z"},         {FK_COLORING, SK_QUATERNION, 52, "z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind * 100 + c.subKind);
        const PredefinedVariable* table = PredefinedTable(c.kind, c.subKind);
        ASSERT_NE(nullptr, table);
        EXPECT_EQ(c.rows, RowCount(table));
        EXPECT_STREQ(c.first, table[0].name);
        EXPECT_EQ(PREDEFINED_AREA_SIZE, table[c.rows].offset);
        std::set<std::string> names;
        for (int i = 0; i < c.rows; ++i) {
            EXPECT_TRUE(names.insert(table[i].name).second) << table[i].name;
            EXPECT_LT(table[i].offset, PREDEFINED_AREA_SIZE);
            // Every slot lies clear of the end of the predefined area.
            if (table[i].dataType != DT_PREDEFINED_ARRAY) {
                EXPECT_LE(table[i].offset + slotSize(table[i].dataType, table[i].precision), PREDEFINED_AREA_SIZE);
            }
        }
    }
    EXPECT_EQ(nullptr, PredefinedTable(FK_TRANSFORMATION, SK_ATTRACTOR));
    EXPECT_EQ(nullptr, PredefinedTable(FK_LIBRARY, SK_PLANE));
}

TEST_F(Predefined, SameNameDiffersBetweenKinds)
{
    struct Case {
        int kind, subKind;
        const char* name;
        int dataType, precision, offset, input;
    } cases[] = {
        {FK_COLORING, SK_QUATERNION, "Base2", DT_QUATERNION, PREC_FLOAT, 656, 1},
        {FK_ITERATION, SK_QUATERNION, "Base2", DT_QUATERNION, PREC_FLOAT, 656, 1},
        {FK_ITERATION, SK_PLANE, "z", DT_COMPLEX, PREC_EXTENDED, 0, 0},
        {FK_ITERATION, SK_ATTRACTOR, "z", DT_VECTOR, PREC_DOUBLE, 0, 0},
        {FK_COLORING, SK_QUATERNION, "z", DT_QUATERNION, PREC_DOUBLE, 0, 0},
        {FK_ITERATION, SK_PLANE, "maxiter", DT_INT, -1, 208, 1},
        {FK_ITERATION, SK_ATTRACTOR, "maxiter", DT_REAL, PREC_DOUBLE, 208, 1},
        {FK_ITERATION, SK_QUATERNION, "currentRayIndex", DT_INT, -1, 1148, 0},
        {FK_COLORING, SK_QUATERNION, "currentRayIndex", DT_BOOL, -1, 1148, 0},
        {FK_COLORING, SK_PLANE, "pixelcolor", DT_COLOR, -1, 672, 0},
        {FK_COLORING, SK_ATTRACTOR, "trafoColor", DT_PREDEFINED_ARRAY, PREC_FLOAT, 1096, 1},
        {FK_TRANSFORMATION, SK_PLANE, "overflowOccurred", DT_INT, -1, 1516, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PredefinedVariable* row = PredefinedTable(c.kind, c.subKind);
        while (row->name && strcmp(row->name, c.name) != 0)
            ++row;
        ASSERT_NE(nullptr, row->name);
        EXPECT_EQ(c.dataType, row->dataType);
        EXPECT_EQ(c.precision, row->precision);
        EXPECT_EQ(c.offset, row->offset);
        EXPECT_EQ(c.input, row->input);
    }
}

TEST_F(Predefined, BodyOpeningMakesConstantsThenTheKindsVariables)
{
    Compile(FK_ITERATION, SK_PLANE);
    std::vector<FormulaSymbol*> kept = Kept();
    const PredefinedVariable* table = PredefinedTable(FK_ITERATION, SK_PLANE);
    ASSERT_EQ(21u + 54u, kept.size());
    for (int id = 1; id <= 21; ++id) {
        FormulaSymbol* s = kept[id - 1];
        char name[40];
        snprintf(name, sizeof name, "default constant %d", id);
        EXPECT_STREQ(name, s->name);
        EXPECT_EQ(id, s->id);
        EXPECT_EQ(id % 2 ? -(id - 1) / 2 : id / 2, (int)s->value[0]);
        EXPECT_EQ(s->value[0], s->defaultValue[0]);
        EXPECT_EQ(DT_REAL, s->dataType);
        EXPECT_EQ(PREC_FLOAT, s->precision);
        EXPECT_EQ(-1, s->dataOffset);
        EXPECT_EQ(SYM_PREDEFINED, s->symbolClass);
        EXPECT_EQ(0, s->variability);
    }
    for (int i = 0; i < 54; ++i) {
        FormulaSymbol* s = kept[21 + i];
        SCOPED_TRACE(table[i].name);
        EXPECT_STREQ(table[i].name, s->name);
        EXPECT_EQ(SYMBOL_FIRST_GLOBAL_ID + i, s->id);
        EXPECT_EQ(table[i].offset, s->dataOffset);
        EXPECT_EQ(table[i].dataType, s->dataType);
        EXPECT_EQ(table[i].dataType, s->currentType);
        EXPECT_EQ(SYM_PREDEFINED, s->symbolClass);
        // Input values are fixed while the code runs; the others may change.
        EXPECT_EQ(table[i].input ? FACT_NO : FACT_YES, s->assigned);
        EXPECT_EQ(table[i].input ? FACT_YES : FACT_NO, s->constant);
        EXPECT_EQ(table[i].input ? 0 : 1, s->variability);
    }
    EXPECT_EQ(PREDEFINED_AREA_SIZE, compiler.dataTop);
}

TEST_F(Predefined, ChainedFormulaKeepsTheDataTopItWasGiven)
{
    Compile(FK_COLORING, SK_PLANE, "", 4096);
    EXPECT_EQ(4096, compiler.dataTop);
    EXPECT_NE(nullptr, Global("pixelcolor"));
}

TEST_F(Predefined, SmallIntegersStandBelowTheBase)
{
    Compile(FK_ITERATION, SK_PLANE, "  double a;\n");
    ASSERT_NE(nullptr, compiler.dataBlock);
    ASSERT_NE(nullptr, compiler.dataBlock->GetBase());
    EXPECT_EQ(0, SmallIntegerWord(1));
    EXPECT_EQ(1, SmallIntegerWord(2));
    EXPECT_EQ(-1, SmallIntegerWord(3));
    EXPECT_EQ(5, SmallIntegerWord(10));
    EXPECT_EQ(-5, SmallIntegerWord(11));
    EXPECT_EQ(10, SmallIntegerWord(20));
    EXPECT_EQ(-10, SmallIntegerWord(21));
}

TEST_F(Predefined, DirectiveSlotsStayTheirsWhenTheBodyOpens)
{
    // The six directive symbols are made below the base before the body
    // opens; what the compile allocates later must lie beneath them.
    Compile(FK_ITERATION, SK_PLANE);
    int lowest = 0;
    int directives = 0;
    for (ListNode* n = compiler.symbols.GetHead(); n; n = n->next) {
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        if (strncmp(s->name, "DIRECTIVE:", 10) == 0) {
            ++directives;
            lowest = std::min(lowest, s->dataOffset);
        }
    }
    EXPECT_EQ(6, directives);
    EXPECT_LE(compiler.dataBottom, lowest);
    EXPECT_LT(lowest, -128);
}

TEST_F(Predefined, AttractorArraysHaveTheirElementFacts)
{
    Compile(FK_ITERATION, SK_ATTRACTOR);
    for (const char* name : {"trafoWeight", "trafoColor"}) {
        FormulaSymbol* s = Global(name);
        ASSERT_NE(nullptr, s) << name;
        EXPECT_EQ(DT_PREDEFINED_ARRAY, s->dataType);
        EXPECT_EQ(1.0, s->value[0]);
        EXPECT_EQ(500, s->dimensions[0]);
        EXPECT_EQ(DT_REAL, s->precision);
        EXPECT_EQ(PREC_FLOAT, s->elementPrecision);
        EXPECT_EQ(FACT_YES, s->assigned);
        EXPECT_EQ(FACT_NO, s->arrayAssigned);
        EXPECT_EQ(FACT_YES, s->arrayConstant);
        ASSERT_EQ(500, s->elementCount);
        EXPECT_EQ(FACT_NO, s->elements[499].assigned);
        EXPECT_EQ(FACT_YES, s->elements[499].constant);
        EXPECT_EQ(FACT_YES, s->elements[0].constantSure);
        EXPECT_EQ(FACT_NO, s->elements[0].runtimeRead);
    }
}

TEST_F(Predefined, AttractorTransformationHasOnlyTheConstants)
{
    Compile(FK_TRANSFORMATION, SK_ATTRACTOR);
    std::vector<FormulaSymbol*> kept = Kept();
    ASSERT_EQ(21u, kept.size());
    EXPECT_STREQ("default constant 21", kept[20]->name);
    Compile(FK_LIBRARY, SK_PLANE);
    EXPECT_EQ(21u, Kept().size());
}

TEST_F(Predefined, LaterPassesRefillTheSameRecords)
{
    Compile(FK_COLORING, SK_QUATERNION, "  double a;\n");
    std::vector<std::string> names;
    std::vector<int> ids;
    for (FormulaSymbol* s : Kept()) {
        names.push_back(s->name);
        ids.push_back(s->id);
    }
    int top = compiler.dataTop;

    Fractal fractal;  // a compile for a fractal runs three passes
    Compile(FK_COLORING, SK_QUATERNION, "  double a;\n", 0, &fractal);
    std::vector<FormulaSymbol*> kept = Kept();
    ASSERT_EQ(names.size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(names[i], kept[i]->name);
        EXPECT_EQ(ids[i], kept[i]->id);
    }
    EXPECT_EQ(top, compiler.dataTop);
    FormulaSymbol* base2 = Global("Base2");
    ASSERT_NE(nullptr, base2);
    EXPECT_EQ(656, base2->dataOffset);
    EXPECT_EQ(FACT_YES, base2->constant);
}

struct BinderCall {
    CompileHost* fractal;
    uint8_t* base;
    NodeList* symbols;
    const char* which;
};
std::vector<BinderCall> g_BinderCalls;

void RecordEscapeTime(CompileHost* f, uint8_t* base, NodeList* symbols)
{
    g_BinderCalls.push_back({f, base, symbols, "escape-time"});
}
void RecordQuaternion(CompileHost* f, uint8_t* base, NodeList* symbols)
{
    g_BinderCalls.push_back({f, base, symbols, "quaternion"});
}
void RecordAttractor(CompileHost* f, uint8_t* base, NodeList* symbols)
{
    g_BinderCalls.push_back({f, base, symbols, "attractor"});
}

TEST_F(Predefined, DataBlockIsBoundByTheFractalsType)
{
    g_BindPredefinedVariables = RecordEscapeTime;
    g_BindQuaternionVariables = RecordQuaternion;
    g_BindAttractorVariables = RecordAttractor;
    struct Case {
        int type;
        const char* which;
    } cases[] = {
        {FT_ESCAPETIME, "escape-time"},
        {FT_QUATERNION, "quaternion"},
        {FT_ATTRACTOR, "attractor"},
        {FT_IFS, nullptr},
    };
    for (const Case& c : cases) {
        g_BinderCalls.clear();
        Fractal fractal;
        fractal.header->Type = c.type;
        Compile(FK_ITERATION, SK_PLANE, "", 0, &fractal);
        if (!c.which) {
            EXPECT_TRUE(g_BinderCalls.empty());
            continue;
        }
        // Once per pass, each time with the data block and the symbols.
        ASSERT_EQ(3u, g_BinderCalls.size()) << c.which;
        for (const BinderCall& call : g_BinderCalls) {
            EXPECT_STREQ(c.which, call.which);
            EXPECT_EQ(static_cast<CompileHost*>(&fractal), call.fractal);
            EXPECT_EQ(&compiler.symbols, call.symbols);
        }
        EXPECT_EQ(compiler.dataBlock->GetBase(), g_BinderCalls.back().base);
    }
    g_BinderCalls.clear();
    Compile(FK_ITERATION, SK_PLANE);  // without a fractal nothing is bound
    EXPECT_TRUE(g_BinderCalls.empty());
    g_BindPredefinedVariables = nullptr;
    g_BindQuaternionVariables = nullptr;
    g_BindAttractorVariables = nullptr;
}

TEST(BuiltinNames, IndexTriesLongerNamesFirst)
{
    buildBuiltinIndex();
    int rows = 0;
    while (g_BuiltinNames[rows].name)
        ++rows;
    EXPECT_EQ(BUILTIN_NAME_ROWS, rows);

    // Every row is in the list of its first character exactly once, the
    // lists run from long names to short and end with a null entry.
    std::set<const BuiltinName*> seen;
    for (int c = 0; c < 256; ++c) {
        const BuiltinName** list = g_BuiltinIndex[c];
        ASSERT_NE(nullptr, list) << c;
        size_t previous = 1000;
        const BuiltinName* last = nullptr;
        for (; *list; ++list) {
            EXPECT_EQ(c, (unsigned char)(*list)->name[0]);
            size_t length = strlen((*list)->name);
            EXPECT_LE(length, previous) << (*list)->name;
            if (length == previous) {
                EXPECT_LT(last, *list) << "table order among equal lengths: " << (*list)->name;
            }
            previous = length;
            last = *list;
            EXPECT_TRUE(seen.insert(*list).second);
        }
    }
    EXPECT_EQ((size_t)BUILTIN_NAME_ROWS, seen.size());

    auto position = [](const char* name) {
        const BuiltinName** list = g_BuiltinIndex[(unsigned char)name[0]];
        for (int i = 0; list[i]; ++i)
            if (strcmp(list[i]->name, name) == 0)
                return i;
        return -1;
    };
    EXPECT_LT(position("log10"), position("log"));
    EXPECT_LT(position("<="), position("<"));
    EXPECT_LT(position("isFinite"), position("isnan"));
}

TEST(BuiltinNames, ClassesFlagsAndKindMasks)
{
    struct Case {
        const char* name;
        int nameClass, element, flags, kindMask;
    } cases[] = {
        {"trafoHistory", 1, 152, 7, 8}, {"oldz", 3, 62, 1, 7},    {"isNaN", 1, 139, 1, 15},
        {"array", 7, 87, 3, 15},        {"gradient", 7, 115, 5, 15}, {"sin", 7, 1, 7, 15},
        {")", 7, 266, 0, 15},           {"$", 7, 270, 0, 15},      {"<=", 7, 36, 1, 15},
        {"ln", 7, 14, 7, 15},
    };
    for (const Case& c : cases) {
        const BuiltinName* row = g_BuiltinNames;
        while (row->name && strcmp(row->name, c.name) != 0)
            ++row;
        ASSERT_NE(nullptr, row->name) << c.name;
        EXPECT_EQ(c.nameClass, row->nameClass) << c.name;
        EXPECT_EQ(c.element, row->element) << c.name;
        EXPECT_EQ(c.flags, row->flags) << c.name;
        EXPECT_EQ(c.kindMask, row->kindMask) << c.name;
    }
    // "-" is the lexer's own.
    for (const BuiltinName* row = g_BuiltinNames; row->name; ++row)
        EXPECT_STRNE("-", row->name);
}

TEST(BuiltinNames, ResultLettersOfDecoratedNames)
{
    std::string letters;
    for (int type = 0; type < DATA_TYPE_COUNT; ++type)
        letters += DataTypeLetter(type);
    EXPECT_EQ("CRIBQVAAF**T", letters);
}

}  // namespace
