#include "compiler/FormulaSymbol.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

const char* DataTypeName(int type)
{
    static const char* const names[DATA_TYPE_COUNT] = {
        "complex", "real", "int", "bool", "quaternion", "void",
        "array", "array", "color", "separator", "enum", "vector",
    };
    if (type < 0 || type >= DATA_TYPE_COUNT)
        return "?";
    return names[type];
}

const FunctionTableEntry g_MathFunctions[MATH_FUNCTION_COUNT] = {
    {"sin", 1},     {"sinh", 17},   {"asin", 4},    {"asinh", 27},  {"cos", 2},
    {"cosh", 20},   {"acos", 5},    {"acosh", 28},  {"tan", 3},     {"atan", 6},
    {"tanh", 19},   {"acot", 26},   {"acoth", 30},  {"atanh", 29},  {"cotan", 21},
    {"cotanh", 22}, {"sqr", 48},    {"sqrt", 18},   {"log", 14},    {"log10", 16},
    {"exp", 15},    {"abs", 7},     {"cabs", 52},   {"conj", 23},   {"flip", 49},
    {"ident", 57},  {"zero", 58},   {"recip", 59},  {"ceil", 53},   {"floor", 54},
    {"trunc", 56},  {"round", 55},  {"neg", 13},
};

const FunctionTableEntry g_MergeFunctions[MERGE_FUNCTION_COUNT] = {
    {"mergenormal", 118},     {"mergemultiply", 119},    {"mergescreen", 120},
    {"mergeoverlay", 121},    {"mergesoftlight", 123},   {"mergehardlight", 122},
    {"mergedarken", 124},     {"mergelighten", 125},     {"mergedifference", 126},
    {"mergehue", 127},        {"mergesaturation", 128},  {"mergecolor", 129},
    {"mergeluminance", 130},  {"mergeaddition", 131},    {"mergesubtraction", 132},
    {"mergehsladdition", 133}, {"mergered", 134},        {"mergegreen", 135},
    {"mergeblue", 136},
};

// ---------------------------------------------------------------------------
// Buffer helpers

void SetSymbolText(GrowBuffer** buffer, const char* text)
{
    if (!text)
        return;
    int length = (int)strlen(text);
    if (!*buffer)
        *buffer = new GrowBuffer(length + 30);
    (*buffer)->Reserve(length + 3);
    char* data = static_cast<char*>((*buffer)->GetData());
    if (!data || (*buffer)->GetCapacity() < length + 1)
        return;
    memcpy(data, text, (size_t)length + 1);
}

void CopySymbolBuffer(GrowBuffer** target, const GrowBuffer* source)
{
    if (!source) {
        delete *target;
        *target = nullptr;
        return;
    }
    int size = source->GetCapacity();
    if (!*target)
        *target = new GrowBuffer(size);
    (*target)->Reset(size);
    if ((*target)->GetCapacity() >= size && size > 0 && source->GetData())
        memcpy((*target)->GetData(), source->GetData(), (size_t)size);
}

static void DeleteBuffer(GrowBuffer** buffer)
{
    delete *buffer;
    *buffer = nullptr;
}

static const char* BufferText(const GrowBuffer* buffer)
{
    if (!buffer || !buffer->GetData())
        return "";
    return static_cast<const char*>(buffer->GetData());
}

// Number of int32 elements of a stream before its terminating 0, never
// reading beyond the buffer.
static int StreamLength(const GrowBuffer* buffer)
{
    if (!buffer || !buffer->GetData())
        return 0;
    const int32_t* stream = static_cast<const int32_t*>(buffer->GetData());
    int limit = buffer->GetCapacity() / (int)sizeof(int32_t);
    int n = 0;
    while (n < limit && stream[n] != 0)
        n++;
    return n;
}

// ---------------------------------------------------------------------------
// FormulaSymbol

FormulaSymbol::FormulaSymbol()
    : dataType(-1), precision(-1), elementPrecision(-1), symbolClass(0), byReference(0),
      currentType(DT_REAL), nextType(-1), readType(-1), id(-1), dataOffset(-1), sourcePosition(0),
      readCount(0), writeCount(0), previousReads(0), previousWrites(0), serial(0), writeBack(0),
      assigned(FACT_UNKNOWN), constant(FACT_UNKNOWN), constantSure(FACT_UNKNOWN),
      runtimeRead(FACT_UNKNOWN), arrayAssigned(FACT_UNKNOWN), arrayConstant(FACT_UNKNOWN),
      arrayConstantSure(FACT_UNKNOWN), variability(0), shared(0), visible(1), enabled(1),
      randomizable(0), randomizeMin(-1e30), randomizeMax(1e30), randomizationType(0),
      minimum(-1e30), maximum(1e30), enumList(nullptr), caption(nullptr), hint(nullptr),
      defaultExpr(nullptr), visibleExpr(nullptr), enabledExpr(nullptr), randomizableExpr(nullptr),
      randomizationTypeExpr(nullptr), randomizeMinExpr(nullptr), randomizeMaxExpr(nullptr),
      elementCount(0), elements(nullptr), readsCount(0)
{
    memset(defaultValue, 0, sizeof defaultValue);
    memset(value, 0, sizeof value);
    memset(dimensions, 0, sizeof dimensions);
    memset(reads, 0, sizeof reads);
}

FormulaSymbol::~FormulaSymbol()
{
    GrowBuffer** buffers[] = {&enumList, &caption, &hint, &defaultExpr, &visibleExpr, &enabledExpr,
                              &randomizableExpr, &randomizationTypeExpr, &randomizeMinExpr,
                              &randomizeMaxExpr};
    for (GrowBuffer** b : buffers)
        DeleteBuffer(b);
    free(elements);
}

void FormulaSymbol::clear()
{
    dataType = precision = elementPrecision = readType = -1;
    symbolClass = byReference = 0;
    currentType = DT_REAL;
    nextType = -1;
    sourcePosition = readCount = writeCount = previousReads = previousWrites = 0;
    assigned = constant = constantSure = runtimeRead = FACT_UNKNOWN;
    arrayAssigned = arrayConstant = arrayConstantSure = FACT_UNKNOWN;
    variability = 0;
    writeBack = 0;
    shared = 0;
    visible = enabled = 1;
    randomizable = 0;
    randomizationType = 0;
    memset(value, 0, sizeof value);
    memset(defaultValue, 0, sizeof defaultValue);
    memset(dimensions, 0, sizeof dimensions);
    randomizeMin = minimum = -1e30;
    randomizeMax = maximum = 1e30;
    GrowBuffer** buffers[] = {&enumList, &caption, &hint, &defaultExpr, &visibleExpr, &enabledExpr,
                              &randomizableExpr, &randomizationTypeExpr, &randomizeMinExpr,
                              &randomizeMaxExpr};
    for (GrowBuffer** b : buffers)
        DeleteBuffer(b);
    free(elements);
    elements = nullptr;
    elementCount = 0;
    memset(reads, 0, sizeof reads);
    readsCount = 0;
}

bool FormulaSymbol::makeElements(int count)
{
    free(elements);
    elements = nullptr;
    elementCount = 0;
    if (count <= 0)
        return true;
    elements = static_cast<ArrayElementRecord*>(calloc((size_t)count, sizeof(ArrayElementRecord)));
    if (!elements)
        return false;
    elementCount = count;
    return true;
}

void FormulaSymbol::copyTo(FormulaSymbol* target) const
{
    if (target == this)
        return;
    // The target may sit in a name-indexed list only when the name does not
    // change; callers copy into fresh records or records of the same name.
    if (strcmp(target->name, name) != 0)
        target->SetName(name);
    target->dataType = dataType;
    target->precision = precision;
    target->elementPrecision = elementPrecision;
    target->currentType = currentType;
    target->nextType = nextType;
    target->id = id;
    target->dataOffset = dataOffset;
    target->symbolClass = symbolClass;
    target->readCount = readCount;
    target->writeCount = writeCount;
    target->serial = serial;
    target->assigned = assigned;
    target->constant = constant;
    target->constantSure = constantSure;
    target->runtimeRead = runtimeRead;
    target->arrayAssigned = arrayAssigned;
    target->arrayConstant = arrayConstant;
    target->arrayConstantSure = arrayConstantSure;
    target->variability = variability;
    target->shared = shared;
    target->visible = visible;
    target->enabled = enabled;
    target->randomizable = randomizable;
    target->randomizationType = randomizationType;
    target->randomizeMin = randomizeMin;
    target->randomizeMax = randomizeMax;
    target->minimum = minimum;
    target->maximum = maximum;
    target->data = data;
    target->kind = kind;
    memcpy(target->defaultValue, defaultValue, sizeof defaultValue);
    memcpy(target->value, value, sizeof value);
    memcpy(target->dimensions, dimensions, sizeof dimensions);
    if (target->makeElements(elementCount) && elementCount > 0)
        memcpy(target->elements, elements, (size_t)elementCount * sizeof(ArrayElementRecord));
    CopySymbolBuffer(&target->enumList, enumList);
    CopySymbolBuffer(&target->caption, caption);
    CopySymbolBuffer(&target->hint, hint);
    CopySymbolBuffer(&target->defaultExpr, defaultExpr);
    CopySymbolBuffer(&target->visibleExpr, visibleExpr);
    CopySymbolBuffer(&target->enabledExpr, enabledExpr);
    CopySymbolBuffer(&target->randomizableExpr, randomizableExpr);
    CopySymbolBuffer(&target->randomizationTypeExpr, randomizationTypeExpr);
    CopySymbolBuffer(&target->randomizeMinExpr, randomizeMinExpr);
    CopySymbolBuffer(&target->randomizeMaxExpr, randomizeMaxExpr);
    target->readType = -1;
}

static bool IsNumericValueType(int valueType)
{
    return valueType == DT_COMPLEX || valueType == DT_REAL || valueType == DT_INT ||
           valueType == DT_VECTOR;
}

// The type check of a "default" value against the symbol's data type.
static bool DefaultAccepted(int dataType, int valueType, double first)
{
    switch (dataType) {
    case DT_COMPLEX:
        return valueType == DT_COMPLEX;
    case DT_REAL:
        return valueType == DT_REAL || valueType == DT_INT;
    case DT_INT:
        return valueType == DT_INT || (valueType == DT_REAL && first == trunc(first));
    case DT_BOOL:
        return valueType == DT_BOOL;
    case DT_QUATERNION:
        return valueType == DT_QUATERNION;
    default:
        return true;
    }
}

int FormulaSymbol::setProperty(const char* property, const char* text, const double values[4],
                               int valueType)
{
    if (strcmp(property, "min") == 0) {
        minimum = values[0];
        return IsNumericValueType(valueType) ? 1 : -1;
    }
    if (strcmp(property, "max") == 0) {
        maximum = values[0];
        return IsNumericValueType(valueType) ? 1 : -1;
    }
    if (strcmp(property, "caption") == 0 || strcmp(property, "hint") == 0) {
        if (!text)
            return 1;
        SetSymbolText(property[0] == 'c' ? &caption : &hint, text);
        return valueType == DT_ENUM ? 1 : -1;
    }
    if (strcmp(property, "default") == 0) {
        if (!DefaultAccepted(dataType, valueType, values[0]))
            return -1;
        memcpy(defaultValue, values, sizeof defaultValue);
        return 1;
    }
    if (strcmp(property, "visible") == 0) {
        if (valueType >= 0)
            visible = values[0] != 0;
        return 1;
    }
    if (strcmp(property, "randomizable") == 0) {
        if (valueType >= 0)
            randomizable = values[0] != 0;
        return 1;
    }
    if (strcmp(property, "randomizationType") == 0) {
        if (valueType != DT_REAL && valueType != DT_INT)
            return -1;
        randomizationType = (int)(values[0] + 0.5);
        return 1;
    }
    if (strcmp(property, "randomizeMin") == 0) {
        if (valueType >= 0)
            randomizeMin = values[0];
        return 1;
    }
    if (strcmp(property, "randomizeMax") == 0) {
        if (valueType >= 0)
            randomizeMax = values[0];
        return 1;
    }
    if (strcmp(property, "enabled") == 0) {
        if (valueType >= 0)
            enabled = values[0] != 0;
        return 1;
    }
    if (strcmp(property, "enum") == 0)
        return 1;
    return 0;
}

// Evaluates one stored property stream; false when it delivers no value.
static bool EvaluateStream(FormulaHolder* holder, const GrowBuffer* stream, int expectedType,
                           double values[4])
{
    values[0] = values[1] = values[2] = values[3] = 0.0;
    if (!holder || !holder->compiler || !stream)
        return false;
    int n = StreamLength(stream);
    return holder->compiler->evaluateConstantExpression(
        static_cast<const int32_t*>(stream->GetData()), n, expectedType, values);
}

void FormulaSymbol::evaluateVisibility(FormulaHolder* holder)
{
    double values[4];
    if (visibleExpr) {
        EvaluateStream(holder, visibleExpr, DT_QUATERNION, values);
        visible = values[0] != 0;
    }
    if (visible && enabledExpr) {
        EvaluateStream(holder, enabledExpr, DT_QUATERNION, values);
        enabled = values[0] != 0;
    }
}

void FormulaSymbol::evaluateDefault(FormulaHolder* holder)
{
    if (!defaultExpr)
        return;
    int expected = dataType == DT_COLOR ? DT_COLOR : dataType == DT_VECTOR ? DT_VECTOR : DT_QUATERNION;
    double values[4];
    if (EvaluateStream(holder, defaultExpr, expected, values))
        memcpy(defaultValue, values, sizeof defaultValue);
}

void FormulaSymbol::evaluateRandomization(FormulaHolder* holder)
{
    double values[4];
    if (randomizableExpr) {
        EvaluateStream(holder, randomizableExpr, DT_QUATERNION, values);
        randomizable = values[0] != 0;
    }
    if (randomizationTypeExpr) {
        EvaluateStream(holder, randomizationTypeExpr, DT_QUATERNION, values);
        randomizationType = (int)(values[0] + 0.5);
    }
    if (randomizeMinExpr) {
        EvaluateStream(holder, randomizeMinExpr, DT_QUATERNION, values);
        randomizeMin = values[0];
    }
    if (randomizeMaxExpr) {
        EvaluateStream(holder, randomizeMaxExpr, DT_QUATERNION, values);
        randomizeMax = values[0];
    }
}

const char* FormulaSymbol::captionText() const
{
    return BufferText(caption);
}

const char* FormulaSymbol::hintText() const
{
    return BufferText(hint);
}

uint32_t FormulaSymbolId(const ListNode* node)
{
    return (uint32_t) static_cast<const FormulaSymbol*>(node)->id;
}

// ---------------------------------------------------------------------------
// FormulaFuncParameter

FormulaFuncParameter::FormulaFuncParameter()
    : order(0), id(-1), functionTable(0), selected(0), defaultFunction(1), visible(1), enabled(1),
      caption(nullptr), hint(nullptr), visibleExpr(nullptr), enabledExpr(nullptr)
{
}

FormulaFuncParameter::~FormulaFuncParameter()
{
    DeleteBuffer(&caption);
    DeleteBuffer(&hint);
    DeleteBuffer(&visibleExpr);
    DeleteBuffer(&enabledExpr);
}

void FormulaFuncParameter::copyTo(FormulaFuncParameter* target) const
{
    if (target == this)
        return;
    if (strcmp(target->name, name) != 0)
        target->SetName(name);
    target->id = id;
    target->order = order;
    target->functionTable = functionTable;
    target->selected = selected;
    target->defaultFunction = defaultFunction;
    target->visible = visible;
    target->enabled = enabled;
    CopySymbolBuffer(&target->caption, caption);
    CopySymbolBuffer(&target->hint, hint);
    CopySymbolBuffer(&target->visibleExpr, visibleExpr);
    CopySymbolBuffer(&target->enabledExpr, enabledExpr);
}

int FormulaFuncParameter::setProperty(const char* property, char* text, int valueType)
{
    if (strcmp(property, "caption") == 0 || strcmp(property, "hint") == 0) {
        if (!text)
            return 1;
        SetSymbolText(property[0] == 'c' ? &caption : &hint, text);
        return valueType == DT_ENUM ? 1 : -1;
    }
    if (strcmp(property, "default") == 0) {
        defaultFunction = -1;
        if (valueType != DT_ENUM)
            return -1;
        if (text) {
            int length = (int)strlen(text);
            while (length > 0 && text[length - 1] == ' ')
                text[--length] = 0;
            const FunctionTableEntry* table = functionTable == 1 ? g_MergeFunctions : g_MathFunctions;
            int count = functionTable == 1 ? MERGE_FUNCTION_COUNT : MATH_FUNCTION_COUNT;
            for (int i = 0; i < count; i++) {
                if (strcmp(table[i].name, text) == 0) {
                    defaultFunction = i;
                    return 1;
                }
            }
        }
        defaultFunction = 1;
        return -1;
    }
    if (strcmp(property, "visible") == 0 || strcmp(property, "enabled") == 0)
        return 1;
    return 0;
}

void FormulaFuncParameter::evaluateVisibility(FormulaHolder* holder)
{
    double values[4];
    if (visibleExpr) {
        EvaluateStream(holder, visibleExpr, DT_QUATERNION, values);
        visible = values[0] != 0;
    }
    if (visible && enabledExpr) {
        EvaluateStream(holder, enabledExpr, DT_QUATERNION, values);
        enabled = values[0] != 0;
    }
}

// ---------------------------------------------------------------------------
// FormulaFunction

FormulaFunction::FormulaFunction()
    : stateWord(FUNCTION_NEW), resultType(DT_VOID), resultPrecision(-1), code(new GrowBuffer(300)),
      sourceText(nullptr), callSites(new GrowBuffer(300)), codeLength(FUNCTION_NOT_COMPILED),
      index(0), callSiteCount(0), placement(-1), placement2(-1), frameTop(8), frameBottom(-32),
      callCount(0), imported(0), nextLocalId(1)
{
    decoratedName[0] = 0;
    memset(textPositions, 0, sizeof textPositions);
    if (callSites->GetData())
        static_cast<int32_t*>(callSites->GetData())[0] = 0;
}

FormulaFunction::~FormulaFunction()
{
    delete code;
    delete sourceText;
    delete callSites;
    DeleteAllNodes(&locals);
    DeleteAllNodes(&parameters);
}

void FormulaFunction::reset()
{
    if (callSites->GetData())
        static_cast<int32_t*>(callSites->GetData())[0] = 0;
    callSiteCount = 0;
    frameTop = 8;
    frameBottom = -32;
    placement = placement2 = -1;
    callCount = 0;
    codeLength = FUNCTION_NOT_COMPILED;
}

void FormulaFunction::addCallSite(FormulaFunction* callee)
{
    int needed = (callSiteCount + 3) * (int)sizeof(int32_t);
    callSites->ReserveSlack(needed, 256);
    if (callSites->GetCapacity() < needed)
        return;
    int32_t* words = static_cast<int32_t*>(callSites->GetData());
    words[callSiteCount++] = (int32_t)(intptr_t)callee;
    words[callSiteCount++] = -1;
    words[callSiteCount] = 0;
}

FormulaFunction* FormulaFunction::callSiteCallee(int i) const
{
    if (i < 0 || 2 * i + 1 >= callSiteCount || !callSites->GetData())
        return nullptr;
    return reinterpret_cast<FormulaFunction*>(
        (intptr_t) static_cast<const int32_t*>(callSites->GetData())[2 * i]);
}

// ---------------------------------------------------------------------------
// Lookups

// Compares two decorated names from their second character on.
static bool SameSignature(const char* a, const char* b)
{
    if (!a[0] || !b[0])
        return !a[0] && !b[0];
    return strcmp(a + 1, b + 1) == 0;
}

FormulaFunction* findFunction(const NodeList* functions, const char* decoratedName)
{
    if (!functions || !decoratedName)
        return nullptr;
    for (ListNode* n = functions->GetHead(); n; n = n->next) {
        FormulaFunction* f = static_cast<FormulaFunction*>(n);
        if (SameSignature(f->decoratedName, decoratedName))
            return f;
    }
    return nullptr;
}

FormulaFunction* findSameFunction(const FormulaFunction* function, const NodeList* functions)
{
    if (!function)
        return nullptr;
    return findFunction(functions, function->decoratedName);
}

FormulaSymbol* findSymbolById(const NodeList* symbols, int32_t id)
{
    if (!symbols)
        return nullptr;
    if ((symbols->GetIndexes() & NL_INDEX_ID) && symbols->GetIdReader())
        return static_cast<FormulaSymbol*>(symbols->FindById((uint32_t)id));
    for (ListNode* n = symbols->GetHead(); n; n = n->next) {
        if (static_cast<FormulaSymbol*>(n)->id == id)
            return static_cast<FormulaSymbol*>(n);
    }
    return nullptr;
}

FormulaFuncParameter* findFuncParameterById(ListNode* first, int32_t id)
{
    for (ListNode* n = first; n; n = n->next) {
        if (static_cast<FormulaFuncParameter*>(n)->id == id)
            return static_cast<FormulaFuncParameter*>(n);
    }
    return nullptr;
}

ListNode* findNodeByName(ListNode* first, const char* name)
{
    if (!name)
        return nullptr;
    for (ListNode* n = first; n; n = n->next) {
        if (strcmp(n->name, name) == 0)
            return n;
    }
    return nullptr;
}

void DeleteAllNodes(NodeList* list)
{
    if (!list)
        return;
    // The indexes are emptied at once: taking the nodes out one by one
    // would move the rest of each index every time, and the symbol lists
    // are emptied every cycle.
    int32_t ids[2] = {list->nextIds[0], list->nextIds[1]};
    ListNode* n = list->GetHead();
    list->Clear(true);
    list->nextIds[0] = ids[0];
    list->nextIds[1] = ids[1];
    while (n) {
        ListNode* next = n->next;
        delete n;
        n = next;
    }
}

void removeCompilerSymbols(NodeList* symbols)
{
    if (!symbols)
        return;
    ListNode* n = symbols->GetHead();
    while (n) {
        ListNode* next = n->next;
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        s->data = nullptr;
        if (((uint32_t)s->id & SYMBOL_ID_COMPILER) || s->dataType == DT_SEPARATOR) {
            symbols->Remove(s);
            delete s;
        }
        n = next;
    }
}
