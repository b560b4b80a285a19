// The records of the names a formula uses: FormulaSymbol (variables,
// parameters, constants, predefined values), FormulaFuncParameter
// (selectable functions) and FormulaFunction (user functions with their
// code), and the lookups over their lists.
#pragma once

#include <stdint.h>

#include "foundation/List.h"

class GrowBuffer;
class FormulaHolder;

enum FormulaDataType {
    DT_NONE = -1,
    DT_COMPLEX = 0,
    DT_REAL = 1,
    DT_INT = 2,
    DT_BOOL = 3,
    DT_QUATERNION = 4,
    DT_VOID = 5,
    DT_ARRAY = 6,              // an array declared with "array "
    DT_PREDEFINED_ARRAY = 7,   // an array of the calculation, or one declared with its sizes in brackets
    DT_COLOR = 8,
    DT_SEPARATOR = 9,          // a heading of the parameter window, no value
    DT_ENUM = 10,              // also the value type of a text
    DT_VECTOR = 11,
};

enum { DATA_TYPE_COUNT = 12 };

// Name of a data type for messages ("complex", "real", ...); "?" outside 0..11.
const char* DataTypeName(int type);

enum SymbolPrecision {
    PREC_EXTENDED = 1,   // 80-bit value in a 16-byte slot
    PREC_DOUBLE = 2,
    PREC_FLOAT = 3,
};

enum SymbolClass {
    SYM_VARIABLE = 1,    // declared in the formula, or a local
    SYM_PARAMETER = 2,   // a user parameter
    SYM_CONSTANT = 3,    // a literal or a value made by the compiler
    SYM_PREDEFINED = 4,  // predefined variable, or one of the 21 small integers
};

// Tri-state facts of the optimizer.
enum { FACT_NO = 0, FACT_YES = 1, FACT_UNKNOWN = 2 };

// Id bits: compiler-made values carry bit 30 (their own counter in the low
// 30 bits), locals and formal parameters of user functions bit 31.
enum : uint32_t {
    SYMBOL_ID_COMPILER = 0x40000000u,
    SYMBOL_ID_LOCAL = 0x80000000u,
};
// Ids 1..21 are the small integers; predefined and declared globals follow.
enum { SYMBOL_FIRST_GLOBAL_ID = 22 };

// Facts of one array element (64 bytes, zero-filled when made).
struct ArrayElementRecord {
    int32_t reserved[4];     // left alone by the compiler (the declaration copies saved words into 2, 3)
    int32_t assigned;
    int32_t constant;
    int32_t constantSure;
    int32_t runtimeRead;
    double value[4];
};

enum { SYMBOL_MAX_READS = 20, SYMBOL_MAX_DIMENSIONS = 5, ARRAY_MAX_ELEMENT_RECORDS = 5000 };

// One variable, parameter, constant or predefined value. The node's name is
// the symbol's name; its data pointer links a static local to the global
// constant made from it.
class FormulaSymbol : public ListNode {
public:
    FormulaSymbol();
    virtual ~FormulaSymbol();

    // Back to the constructed state, keeping name, id, dataOffset and serial.
    void clear();
    // Copies everything a later cycle or a caller needs into target (see the
    // implementation for the exact field set). The copy's readType becomes
    // -1; its byReference, sourcePosition, previous counts and reads stay.
    void copyTo(FormulaSymbol* target) const;
    // A description property. valueType is a FormulaDataType, or -1 when the
    // value is an expression kept elsewhere. Returns 1 accepted, -1 value
    // rejected, 0 property not recognised.
    int setProperty(const char* property, const char* text, const double values[4], int valueType);
    // Evaluate the stored property expressions with the holder's compiler.
    void evaluateVisibility(FormulaHolder* holder);
    void evaluateDefault(FormulaHolder* holder);
    void evaluateRandomization(FormulaHolder* holder);

    int32_t dataType;          // FormulaDataType, -1 when constructed
    int32_t precision;         // SymbolPrecision; for arrays the element data type
    int32_t elementPrecision;  // arrays: precision of the elements
    int32_t symbolClass;       // SymbolClass, 0 when constructed
    int32_t byReference;       // formal parameter passed by reference
    int32_t currentType;       // type the optimizer currently computes it in
    int32_t nextType;          // type chosen for the next cycle, -1 = none
    int32_t readType;          // narrowest currentType a read of this cycle saw, -1 = none
    int32_t id;
    int32_t dataOffset;        // slot in the data block, -1 = none
    int32_t sourcePosition;    // offset of the declaration in the text
    int32_t readCount;
    int32_t writeCount;
    int32_t previousReads;
    int32_t previousWrites;
    int32_t serial;            // sequence number when registered in the data block
    uint8_t writeBack;         // a parameter its compiled formula assigns
    int32_t assigned;          // tri-states
    int32_t constant;
    int32_t constantSure;
    int32_t runtimeRead;
    int32_t arrayAssigned;
    int32_t arrayConstant;
    int32_t arrayConstantSure;
    int32_t variability;       // 0 fixed, 1 may change, 2 undecided
    uint8_t shared;
    uint8_t visible;
    uint8_t enabled;
    uint8_t randomizable;
    double randomizeMin;
    double randomizeMax;
    int32_t randomizationType;
    double minimum;
    double maximum;
    double defaultValue[4];
    double value[4];           // arrays: value[0] = number of dimensions
    int32_t dimensions[SYMBOL_MAX_DIMENSIONS];
    // Owned buffers, null when absent. enumList: records of int32 value
    // (>= 0) and a zero-terminated name, ended by a negative int32. The
    // *Expr buffers hold element streams ended by 0.
    GrowBuffer* enumList;
    GrowBuffer* caption;
    GrowBuffer* hint;
    GrowBuffer* defaultExpr;
    GrowBuffer* visibleExpr;
    GrowBuffer* enabledExpr;
    GrowBuffer* randomizableExpr;
    GrowBuffer* randomizationTypeExpr;
    GrowBuffer* randomizeMinExpr;
    GrowBuffer* randomizeMaxExpr;
    int32_t elementCount;
    ArrayElementRecord* elements;   // elementCount records (malloc), freed with the symbol
    FormulaSymbol* reads[SYMBOL_MAX_READS];
    int32_t readsCount;

    // Helpers over the buffers.
    const char* captionText() const;   // "" when absent
    const char* hintText() const;
    // Replaces the records with count zero-filled ones (count 0 frees them).
    // Returns false (and leaves none) when the memory can't be had.
    bool makeElements(int count);
};

// Id reader of symbol lists (for NodeList::SetIndexes with NL_INDEX_ID).
uint32_t FormulaSymbolId(const ListNode* node);

// Copies text into a symbol text buffer (made when missing: length + 30,
// reserved to length + 3). A null text leaves the buffer alone.
void SetSymbolText(GrowBuffer** buffer, const char* text);
// Copies an element stream (ended by 0) into *target (made or grown), or
// deletes *target when source is null.
void CopySymbolBuffer(GrowBuffer** target, const GrowBuffer* source);

// A selectable function of a formula.
class FormulaFuncParameter : public ListNode {
public:
    FormulaFuncParameter();
    virtual ~FormulaFuncParameter();

    void copyTo(FormulaFuncParameter* target) const;
    // text may be cut in place ("default" trims trailing blanks).
    int setProperty(const char* property, char* text, int valueType);
    void evaluateVisibility(FormulaHolder* holder);

    int32_t order;            // sequence counter when made
    int32_t id;               // 1-based position; a call is element 0x10000 + id
    int32_t functionTable;    // 0 math functions, 1 merge functions
    int32_t selected;         // index of the selected function in its table
    int32_t defaultFunction;  // index of the default; 1 constructed, -1 after a rejected "default"
    uint8_t visible;
    uint8_t enabled;
    GrowBuffer* caption;
    GrowBuffer* hint;
    GrowBuffer* visibleExpr;
    GrowBuffer* enabledExpr;
};

// The two tables a function parameter chooses from: name and operation.
struct FunctionTableEntry {
    const char* name;
    int operation;
};
enum { MATH_FUNCTION_COUNT = 33, MERGE_FUNCTION_COUNT = 19 };
extern const FunctionTableEntry g_MathFunctions[MATH_FUNCTION_COUNT];
extern const FunctionTableEntry g_MergeFunctions[MERGE_FUNCTION_COUNT];

// Values of FormulaFunction::stateWord.
enum { FUNCTION_NEW = 0, FUNCTION_DECLARED = 1, FUNCTION_DEFINED = 2 };

enum { FUNCTION_DECORATED_NAME_SIZE = 300 };
const uint32_t FUNCTION_NOT_COMPILED = 0xDEADBEEFu;

// A user function with its code and its locals.
class FormulaFunction : public ListNode {
public:
    FormulaFunction();
    virtual ~FormulaFunction();

    // Clean state for the compile of a new cycle; the lists are kept.
    void reset();

    // Appends a call site (callee, code offset -1) to callSites.
    void addCallSite(FormulaFunction* callee);
    // Number of call sites (pairs) recorded.
    int callSitePairs() const { return callSiteCount / 2; }
    FormulaFunction* callSiteCallee(int i) const;

    int32_t stateWord;          // FUNCTION_NEW / DECLARED / DEFINED
    int32_t resultType;         // FormulaDataType of the result
    int32_t resultPrecision;    // precision of the result
    char decoratedName[FUNCTION_DECORATED_NAME_SIZE];  // "%c%s@@" + parameter letters
    GrowBuffer* code;           // machine code (300 bytes when made)
    GrowBuffer* sourceText;     // text kept by the rule actions, or null
    GrowBuffer* callSites;      // int32 pairs (callee, code offset)
    uint32_t codeLength;        // FUNCTION_NOT_COMPILED until compiled
    int32_t index;              // 1-based position in the compiler's list; call element 0x20000 + index
    int32_t callSiteCount;      // words used in callSites
    int32_t placement;          // offset of its copy in the linked code, -1 = not placed
    int32_t placement2;         // -1
    NodeList locals;            // formal parameters and locals (ids with bit 31)
    NodeList parameters;        // second symbol list, not filled by the compiler
    int32_t frameTop;           // 8 when made
    int32_t frameBottom;        // -32 when made
    int32_t textPositions[3];   // offsets recorded by the rule actions
    int32_t callCount;          // calls of this function found in the formula
    int32_t imported;           // source came from an imported library
    int32_t nextLocalId;        // counter of the ids of locals (bit 31 added), from 1
};

// Lookups (linear unless the list is indexed).
// The first function whose decoratedName equals name from the second
// character on (the result letter is ignored).
FormulaFunction* findFunction(const NodeList* functions, const char* decoratedName);
FormulaFunction* findSameFunction(const FormulaFunction* function, const NodeList* functions);
// By id: through the list's id index when enabled (null for a slot beyond
// the table), else a walk.
FormulaSymbol* findSymbolById(const NodeList* symbols, int32_t id);
FormulaFuncParameter* findFuncParameterById(ListNode* first, int32_t id);
ListNode* findNodeByName(ListNode* first, const char* name);
// Removes every node from the head and deletes it.
void DeleteAllNodes(NodeList* list);
// Clears every symbol's data pointer, removes and deletes compiler-made
// symbols (id bit 30) and separators.
void removeCompilerSymbols(NodeList* symbols);
