// The formula compiler: translates one formula of the program's formula
// language into x87 code and a data block. FormulaHolder owns one compiler
// for one formula slot of a fractal.
//
// The members are grouped by topic; each group's bodies live in their own
// source file (named at the group).
#pragma once

#include <stdint.h>
#include <initializer_list>

#include "foundation/List.h"
#include "formulas/FormulaKind.h"
#include "compiler/FormulaSymbol.h"
#include "compiler/BlockStack.h"
#include "compiler/IntStack.h"

class GrowBuffer;
class AlignedBuffer;
class CompileHost;
class FormulaNode;

// Sub kinds of a formula and the builtin mask bit that goes with each.
enum FormulaSubKind {
    SK_PLANE = 0,
    SK_QUATERNION = 4,
    SK_ATTRACTOR = 11,
};
enum { SUBKIND_MASK_PLANE = 2, SUBKIND_MASK_QUATERNION = 4, SUBKIND_MASK_ATTRACTOR = 8 };

// Block ids on the block stack.
enum {
    BLOCK_IF = 1,
    BLOCK_ELSE = 2,
    BLOCK_FOR = 3,
    BLOCK_DO = 4,
    BLOCK_WHILE = 5,
    BLOCK_FUNCTION = 10,
    BLOCK_DESCRIPTION = 11,
};

// Property markers: a formula property still holding this was not given.
enum { PROPERTY_NOT_GIVEN = -123456 };
#define PROPERTY_NOT_GIVEN_DOUBLE (-123456.0)

// Results of a rule action.
enum { ACTION_FAILED = 0, ACTION_NEXT_STATE = 1, ACTION_KEEP_STATE = 2 };

// Results of the preprocessor.
enum { PREPROCESS_ERROR = 0, PREPROCESS_NONE = 1, PREPROCESS_HANDLED = 2 };

// ---------------------------------------------------------------------------
// Statement grammar tables (compiler/Grammar.cpp)

// Match kinds of a parse-table row.
enum {
    MATCH_IDENTIFIER = 0,
    MATCH_DOTTED_IDENTIFIER = 1,
    MATCH_FORMULA_NAME = 2,
    MATCH_EXPRESSION_SEMICOLON = 3,
    MATCH_EXPRESSION_PAREN = 4,
    MATCH_ALTERNATIVES = 5,
    MATCH_LITERAL = 7,
    MATCH_KEYWORD = 8,
    MATCH_CONSTANT = 10,
};
// Block operations of a row.
enum { BLOCK_PUSH = 0, BLOCK_POP = 1, BLOCK_NONE = 2 };
// Context column: -1 only with no block open, -2 in any block.
enum { CONTEXT_NO_BLOCK = -1, CONTEXT_ANY = -2, TABLE_END = -999 };
// Kind column: 4 = every kind.
enum { RULE_ANY_KIND = 4 };

struct ParseRule {
    int32_t action;      // action number handed to executeRuleAction
    int32_t kind;        // FormulaKind, or RULE_ANY_KIND
    int32_t context;     // CONTEXT_NO_BLOCK, CONTEXT_ANY or a block id
    int32_t state;       // grammar state the row belongs to
    int32_t match;       // MATCH_*
    const char* text;    // literal, keyword or "a|b|c" alternatives; null when none
    int32_t blockOp;     // BLOCK_PUSH / BLOCK_POP / BLOCK_NONE
    int32_t blockId;     // id pushed by BLOCK_PUSH
    int32_t next;        // next state; -1 ends the formula
    int32_t priority;    // tie-break
};

// The parse table: PARSE_TABLE_ROWS rows, then an end row (context and
// state TABLE_END).
enum { PARSE_TABLE_ROWS = 161 };
extern const ParseRule g_ParseTable[];

// One record per table row, filled by matchStatementRule.
struct MatchRecord {
    int32_t depth;      // how well the context fits; -1 = not applicable
    int32_t priority;
    int32_t start;      // first character of the match
    int32_t end;        // last character (inclusive)
    int32_t next;       // offset after the match; -1 = no match
};
enum { MATCH_SCRATCH_RECORDS = 350 };

// Builds the state index of the parse table (start-up, once; also called
// on demand by the matcher when it has not been built).
void buildParseStateIndex();

// ---------------------------------------------------------------------------
// Diagnostics tables (compiler/Diagnostics.cpp)

struct SyntaxErrorRow {
    int32_t context;     // CONTEXT_NO_BLOCK, CONTEXT_ANY, a block id; TABLE_END for the default row
    int32_t state;
    const char* message;
};
enum { SYNTAX_ERROR_ROWS = 97 };   // the default row included
extern const SyntaxErrorRow g_SyntaxErrors[SYNTAX_ERROR_ROWS];

// Line (from 1) and column (from 0) of a character offset of text.
void TextLineAndColumn(const char* text, int position, int* line, int* column);

// The formula window's editor selection. The formula window sets this hook
// while it exists (null while closed): select [start, end) in the editor of
// the given FormulaKind, giving it the focus when focus is set.
extern void (*g_FormulaEditorSelectRange)(int kind, int start, int end, bool focus);

// ---------------------------------------------------------------------------
// Predefined symbols and builtin names (compiler/Predefined.cpp)

struct BuiltinName {
    int32_t nameClass;   // 7 most, 1 predicates/sincos/trafoHistory, 3 oldz
    const char* name;
    int32_t element;     // operation code of the element stream
    int32_t flags;       // bit 2: only when "(" follows; bits 0,1: lexer state after it
    int32_t kindMask;    // contains the compiler's subKindMask when known
};
enum { BUILTIN_NAME_ROWS = 126 };
extern const BuiltinName g_BuiltinNames[];     // BUILTIN_NAME_ROWS rows, then an all-zero row
// First-letter index: per first byte a null-ended list of rows, longest
// names first. Built by buildBuiltinIndex.
extern const BuiltinName** g_BuiltinIndex[256];
void buildBuiltinIndex();

struct PredefinedVariable {
    const char* name;    // null in the end row
    int32_t dataType;
    int32_t precision;   // -1 where none
    int32_t offset;      // bytes above the data-block base; 8192 in the end row
    int32_t input;       // 1: supplied by the calculation, fixed while the code runs
};
// The table of a kind and sub kind, or null (library, attractor transformation).
const PredefinedVariable* PredefinedTable(int kind, int subKind);
enum { PREDEFINED_AREA_SIZE = 8192 };

// Result letters of decorated names, by FormulaDataType 0..11: "CRIBQVAAF**T".
char DataTypeLetter(int type);
// Whether a predefined input value is written by the calculation when it
// runs rather than bound while compiling (maxiter, the colouring settings,
// the seed): such a value may change without a new compile, so it is never
// folded and never decides a condition at compile time.
bool IsRunTimePredefined(const char* name);

// ---------------------------------------------------------------------------
// Data-block layout (compiler/DataLayout.cpp; the part of the code
// generator's layout this issue needs)

// Slot size in bytes of a value of this type and precision.
int slotSize(int dataType, int precision);
// The same, and the slot's alignment (16, 8 or 4) into *alignment.
int slotSizeAndAlign(int dataType, int precision, int* alignment);
// Rounds *offset to the alignment (positive up, zero or negative away from
// zero; only 4, 8 and 16 round) and returns it.
int alignSlot(int* offset, int alignment);
// Data-block offsets fixed by the runtime.
enum {
    DATA_VIRTUALALLOC = 560,
    DATA_VIRTUALFREE = 564,
    DATA_ARRAY_RESULT = 568,
};

// ---------------------------------------------------------------------------

// Seams for the later compiler issues: a member that is not compiled yet
// answers this.
enum { NOT_COMPILED_YET = -1 };

// Results of the expression lexer.
enum { LEX_OK = 0, LEX_ILLEGAL_CHARACTER = 1, LEX_NAME_NOT_FOUND = 2, LEX_NOT_RESOLVED = 3 };
// Errors of the precedence parser (processExpression answers them negated).
enum {
    PARSE_SYNTAX = 1,               // "Brackets are set wrongly"
    PARSE_ILLEGAL_CHARACTER = 2,    // refused by checkCharacters
    PARSE_UNKNOWN_OPERAND = 3,      // refused by the lexer
    PARSE_OPERAND_COUNT = 5,        // operands not separated by single commas
    PARSE_ASSIGNMENT = 8,           // "=" after an expression that cannot be assigned
    PARSE_NAME_NOT_FOUND = 9,
    PARSE_NOT_RESOLVED = 12,
};
// Further results of processExpression.
enum {
    PIPELINE_OPERAND_COUNT = -5,
    PIPELINE_TYPE_ERROR = -10,
    PIPELINE_ASSIGNMENT = -13,
    PIPELINE_FOLDING = -14,
};
// Modes of the lexer and the pipeline: statements and expressions, the
// "default" of a parameter, its "visible" and "enabled".
enum { EXPRESSION_STATEMENT = 0, EXPRESSION_DEFAULT = 1, EXPRESSION_VISIBILITY = 2 };
// Modes of code generation: a statement (a value left over is discarded or
// reported), a condition (the flags decide a jump), a value left on the
// x87 stack for the caller (the value of a return statement).
enum { CODE_STATEMENT = 0, CODE_CONDITION = 1, CODE_VALUE = 2 };

class FormulaCompiler {
public:
    // ===== Compiler object and compile driver (compiler/FormulaCompiler.cpp)

    FormulaCompiler();
    ~FormulaCompiler();
    FormulaCompiler(const FormulaCompiler&) = delete;
    FormulaCompiler& operator=(const FormulaCompiler&) = delete;

    void setKind(int kind);
    void setKind2(int kind, int insideColoring);
    // Forgets the fractal and the input lists; makes or empties the code
    // buffers, makes the data block, generatedText and the work stacks when
    // missing; empties the block, work and jump stacks.
    void reset();
    void freeWorkBuffers();
    // Deletes the functions still held, the library texts, messageText and
    // the expression buffer. Callers call it once they have the results.
    void freeResults();
    // Moves every function into target (emptied first, keeping its indexes).
    void takeFunctions(NodeList* target);
    // Caller-managed symbols of a formula compiled earlier for the same
    // calculation (not owned).
    void setSharedVariables(NodeList* list) { sharedVariables = list; }

    // The symbol of that name among the current function's locals, then the
    // globals; null when none.
    FormulaSymbol* findVariableByName(const char* name) const;
    // For an id with bit 31 and a function being compiled: its locals first;
    // then the global symbols.
    FormulaSymbol* findVariable(int32_t id) const;
    // 0 when the function is present (and its callees are defined), 1 when
    // not; reports 708 / the missing-function error.
    int checkFunctionPresent(const char* decoratedName, int number, const char* signature);

    // The whole compile under the exception guard (see the .cpp).
    bool compile(const char* text, int initialDataTop, int initialDataBottom,
                 NodeList* inputSymbols, NodeList* inputFuncParameters, CompileHost* fractal,
                 const char* name, int subKind, FormulaNode* formulaNode,
                 bool clearMessages, bool parametersConstant);
    bool doCompile(const char* text, int initialDataTop, int initialDataBottom,
                   NodeList* inputSymbols, NodeList* inputFuncParameters, CompileHost* fractal,
                   const char* name, int subKind, FormulaNode* formulaNode,
                   bool clearMessages, bool parametersConstant);

    // Driver helpers.
    // Reads the fractal's command word: drops FTC_REDRAW3D, true on any
    // other pending command (the compile stops).
    bool pollCommand();
    // One cycle of a pass; true when another cycle of the pass is to run.
    bool runCycle(int pass);
    // One cycle's statement loop over text (which switches to generatedText
    // and back). Returns false when it stopped with an error or an abort
    // (compileFailed / compileAborted tell which).
    bool runStatementLoop(char*& text);
    // At the formula's closing brace: the definitions of the imported
    // functions that are called, into generatedText.
    void appendImportedBodies();
    void reportOptimizerNotes();
    bool checkRequiredFunctions();
    // Copies the function signatures (name, decorated name, result, state,
    // and locals) into savedSignatures.
    void copyFunctionSignatures();

    // Symbol-list copies (the list part of the parameter value transfer):
    // mode 0 copies every symbol as it is (settling the tri-state facts for
    // the next cycle), mode 1 copies the values of a caller's list.
    static void copySymbols(const NodeList* source, NodeList* target, int mode);
    static void copyFuncParameters(const NodeList* source, NodeList* target);

    int32_t passList[4];
    int32_t passIndex;
    int32_t cycle;
    int32_t precisionLevel;
    FormulaNode* formulaNode;
    NodeList* sharedVariables;
    char* librarySource;
    char* libraryIndex;
    MatchRecord* matchScratch;       // MATCH_SCRATCH_RECORDS records
    int32_t dataTop;
    int32_t dataBottom;
    int32_t initialDataTop;
    int32_t initialDataBottom;
    int32_t textPosition;
    int32_t parseState;              // -1 after the formula's closing brace
    NodeList* inputSymbols;
    NodeList* inputFuncParameters;
    NodeList symbols;
    NodeList savedSymbols;
    NodeList funcParameters;
    NodeList savedSignatures;
    NodeList parseCache;
    int32_t kind;
    int32_t insideColoring;
    int32_t insideMode;              // 1 INSIDE, 2 OUTSIDE, 3 BOTH, 0 not given
    int32_t subKind;
    int32_t subKindMask;
    int32_t actionHistory[5];        // newest first
    int32_t positionHistory[5];
    int32_t symmetry;                // 1 XAXIS, 2 YAXIS, 3 ORIGIN, 4 XYAXIS
    int32_t errorCount;
    char name[100];
    NodeList functions;
    FormulaFunction* pendingFunction;
    FormulaFunction* currentFunction;
    FormulaFunction* savedFunction;
    BlockStack* blockStack;
    IntStack* jumpStack;             // capacity 200
    IntStack* workStacks[8];         // 4 x 200, 4 x 100; made by reset
    GrowBuffer* functionCode;        // 5000
    GrowBuffer* outputCode;          // 5000, executable
    GrowBuffer* messageText;         // 1000, made on first use
    GrowBuffer* generatedText;       // 300
    AlignedBuffer* dataBlock;        // 3000 above, 3000 below
    CompileHost* fractal;
    uint8_t parametersConstant;
    int32_t codePosition;
    int32_t outputPosition;          // next free byte in outputCode
    uint8_t declParameter;
    uint8_t declFunction;
    uint8_t declConst;
    uint8_t declShared;
    int32_t declType;
    int32_t declPrecision;
    int32_t declByReference;
    char identifier[80];
    int32_t serialCounter;
    char nameBuffer[128];
    char propertyName[128];
    char aliasName[128];
    int32_t constantType;            // last constant matched; 10 string; -1 none
    double constantValue[4];
    char title[64];
    char* helpFiles[10];
    char* helpTopics[10];
    int32_t helpFileCount;
    char errorText[200];
    int32_t maxIter;
    int32_t periodicity;
    double angle;
    double center[2];
    double magnification;
    int32_t functionOrder;
    uint8_t generatedTextPending;
    int32_t generatedTextMode;       // 0 formula text, 1 import declarations, 2 imported bodies

    // Driver working state of one compile.
    char* workingText;               // comments stripped, branches blanked; restored per cycle
    char* pristineText;              // the stripped text as handed in
    char* savedText;                 // text to return to after generatedText
    int32_t savedPosition;
    uint8_t importsDone;
    uint8_t compileFailed;           // an error stopped the statement loop
    uint8_t compileAborted;          // a thread command stopped the compile
    uint8_t clearMessagesEachCycle;

    // ===== Diagnostics (compiler/Diagnostics.cpp)

    // Syntax error of a grammar state at a character offset of text.
    void reportError(const char* text, int state, int position);
    // Any other message for the range [start, end] of text (text may be
    // null). message may hold several lines separated by "\n"; it is copied,
    // not changed. type: MSG_ERROR, MSG_WARNING, MSG_TIP, MSG_NOTE.
    void report(const char* text, int start, int end, const char* message, bool toFront, int type);
    // printf-style helper over report.
    void reportf(const char* text, int start, int end, bool toFront, int type, const char* format, ...);
    // True when reports are suppressed (empty name, calculation thread).
    bool reportsSilenced() const;

    // ===== Source preparation and preprocessor (compiler/Preprocessor.cpp)

    static char* stripComments(char* text);
    void defineDirectiveSymbol(const char* name);
    // PREPROCESS_ERROR / PREPROCESS_NONE / PREPROCESS_HANDLED.
    int preprocess(char* text, int* position);
    static int findMatchingDirective(const char* text, int start, int* elsePosition, int* endifPosition);

    // ===== Scanners (compiler/Scanners.cpp; the free scanners are in that
    // file's header)

    static int matchLiteralPrefix(const char* text, const char* literal);

    // ===== Statement grammar (compiler/Grammar.cpp)

    // The winning row for the state at position (its MatchRecord in
    // matchScratch holds start, end, next), or -1.
    int matchStatementRule(const char* text, int position, int state);
    void matchKeywordAlternatives(const char* text, int* position, const char* alternatives,
                                  int* start, int* end, bool* found);
    void matchBalancedExpression(const char* text, int* position, int* depth,
                                 int* start, int* end, bool* found, int row);

    // ===== Rule actions: head, declarations, function heads
    // (compiler/RuleActions.cpp)

    // ACTION_FAILED / ACTION_NEXT_STATE / ACTION_KEEP_STATE. row indexes
    // g_ParseTable; start and end (inclusive) delimit the match.
    int executeRuleAction(char* text, int start, int end, int row);
    int parseFunctionDatatype(const char* text, int start, int end, int row);
    int declareVariable(const char* text, int start, int end, int row);
    int declareArray(const char* text, int start, int end, int row);
    int declareParameterArray(const char* text, int start, int end, int row);
    int declareParameter(const char* text, int start, int end, int row);
    static int initialCurrentType(int type);
    void resetDeclarationState();
    // The first cycle of the compile: records are made, not refilled.
    bool isFirstCycle() const { return passIndex == 0 && cycle == 0; }

    int32_t typePosition;            // offset of the last type keyword
    FormulaSymbol* arraySymbol;      // bracketed array being declared
    int32_t identifierPosition;      // offset of the last declared name (for messages)
    // Action 192, a dimension of a bracketed array: counts it and takes its
    // size when it is a literal number (sizes given as expressions are left
    // 0 for the statement compiler of the later issue to evaluate).
    int declareArrayDimension(char* text, int start, int end, int row);

    // ===== Data-block layout (compiler/DataLayout.cpp)

    // Reserves the data block (dataTop, -dataBottom, 3000 slack); with
    // append gives the symbol the next serial and appends it to symbols;
    // writes its value into its slot.
    void registerVariable(FormulaSymbol* symbol, bool append);
    // Writes the symbol's value into the data block at its dataOffset.
    void storeSymbolValue(FormulaSymbol* symbol);
    // Every symbol's value (storeSymbolValues), and the handed-in parameter
    // values into the same-named symbols (storeParameterValues).
    void storeSymbolValues();
    void storeParameterValues(int storeFlag);

    // ===== Predefined symbols and data block (compiler/Predefined.cpp)

    void createPredefinedSymbols(bool setDataTop);
    void prepareDataBlock(int storeFlag);

    // ===== Description block (compiler/Description.cpp) and import (compiler/Import.cpp)

    void parseDescriptionBlock(const char* text);
    int checkIdentifier(const char* text, int start, int end, int row);
    int assignProperty(const char* text, int start, int end, int row);
    int assignThisProperty(const char* text, int start, int end, int row);
    // 1 accepted, -1 wrong value type, 0 no such property.
    int setFormulaProperty(const char* property, const char* text, double re, double im,
                           int intPart, int valueType);
    FormulaNode* libraryNode;        // node of the imported library (import issue)
    // Action 120: the value of "visible", "default", "enabled",
    // "randomizable" or "randomizationType" (a constant or an expression).
    int assignPropertyExpression(char* text, int start, int end, int row);
    // Action 123: the label of a separator.
    int declareSeparator(const char* text, int start, int end, int row);
    // Import statements "import L.C as a;" (actions 160, 162, 164, 165;
    // compiler/Import.cpp): finds the library L in the tree of function
    // libraries, brings its index up to date, and generates declarations
    // "type a.name(...);" for the functions of its class C, which the driver
    // parses next.
    int importStatement(char* text, int start, int end, int row);
    // A prototype parsed from import declarations (generatedTextMode 1)
    // takes its source text from the library through the index and is
    // marked imported.
    void takeImportedFunctionSource(FormulaFunction* function);

    // ===== Expression lexer and element stream (compiler/ExpressionLexer.cpp)

    // Copies text into expressionText and turns the bars of absolute values
    // into "#" (opening) and "$" (closing); "||" stays a logical or.
    void prepareExpression(const char* text);
    // 1 when text holds, outside double quotes, a character the language
    // does not allow; else 0.
    static int checkCharacters(const char* text);
    // Cuts text into an element stream (ended by 0) in elements. Returns
    // LEX_OK, LEX_ILLEGAL_CHARACTER, LEX_NAME_NOT_FOUND (the name in
    // message) or LEX_NOT_RESOLVED (the text of the failure in message).
    // New constants take their slots from *dataTopCounter and their numbers
    // from *constants; usage[4] is set for "lastsqr", "numiter", "alpha" and
    // "pixelcolor". mode: EXPRESSION_STATEMENT, EXPRESSION_DEFAULT or
    // EXPRESSION_VISIBILITY.
    int tokenizeExpression(const char* text, GrowBuffer* elements, GrowBuffer* message,
                           int32_t* dataTopCounter, int32_t usage[4], int32_t* constants, int mode);

    GrowBuffer* expressionText = nullptr;    // prepared text of the expression being processed
    GrowBuffer* lexerElements = nullptr;     // the lexer's stream (infix)
    int32_t usageFlags[4] = {0, 0, 0, 0};    // "lastsqr", "numiter", "alpha", "pixelcolor" read
    int32_t constantCounter = 0;             // numbers the "INFO:" constants the compiler makes

    // ===== Precedence parser and expression pipeline
    // (compiler/PrecedenceParser.cpp)

    // Parses the prepared text into postfix in output. Returns minus the
    // byte length of the stream (its end word included) on success, else a
    // PARSE_* error; for PARSE_NAME_NOT_FOUND and PARSE_NOT_RESOLVED the
    // lexer's text is in message.
    int parseExpression(const char* text, GrowBuffer* output, GrowBuffer* message, int mode);
    // Whether the symbol id may be the target of "=" (not a literal).
    bool isAssignable(int32_t id) const;

    struct ExpressionRequest {
        const char* text;      // the expression as written
        GrowBuffer* output;    // receives the element stream
        GrowBuffer* message;   // receives the lexer's or the assignment check's text
        int32_t key;           // start offset of the expression in the formula text
        int32_t end;           // its end offset
        uint8_t useCache;      // look the parse cache up in the first cycle as well
        int32_t mode;          // EXPRESSION_STATEMENT / _DEFAULT / _VISIBILITY
    };
    // The whole pipeline: the number of words of the final stream (without
    // its end word), or minus a PARSE_* error, or PIPELINE_TYPE_ERROR (text
    // in errorText), PIPELINE_OPERAND_COUNT, PIPELINE_ASSIGNMENT (text in
    // message) or PIPELINE_FOLDING (text in errorText).
    int processExpression(const ExpressionRequest& request);
    // Empties the stream when it is the statement x = x.
    static void removeSelfAssignment(int32_t* stream);
    // Parse cache: deletes every cached expression.
    void clearParseCache();

    GrowBuffer* workElements = nullptr;      // output of the type check

    // ===== Type checking (compiler/TypeCheck.cpp)

    // Checks the operand types of a postfix stream from inputPosition on and
    // writes it without its parenthesis markers into output (words in
    // *outputCount, end word not counted). 0 success, 1 error (errorText),
    // 2 when an operation lacks operands.
    int checkTypes(const int32_t* input, int inputPosition, GrowBuffer* output, int* outputCount);
    int32_t checkedType = DT_VOID;   // declared type of the value checkTypes passed last (DT_VOID: none)
    // The word count when the operands balance, -1 when they do not, -2 on a
    // misused array function (errorText).
    int checkArrayFunctionUse(const int32_t* input);
    // The current type of the expression's result (DT_VOID when nothing is
    // left), or -1 with the reason in message. Widens the current types of
    // assigned variables, records the types at which variables are read and
    // refuses colour and vector assignments that do not match.
    int checkReturntype(const int32_t* stream, GrowBuffer* message);
    // The user function whose call element is 0x20000 + index; null when none.
    FormulaFunction* functionByIndex(int index) const;
    // Work stack i (0..7), made when missing.
    IntStack* workStack(int i);

    // ===== Statement compiler (compiler/Statements.cpp)

    // Expressions and conditions of statements (rule actions 40, 43, 53,
    // 56, 58, 59, 73, 86, 104, 152, 192): records (action, start, end) in
    // expressionLog and compiles the statement (compileStatement).
    int compileStatementExpression(char* text, int start, int end, int row);
    // Property expression of the description block (action 120): leaves
    // the checked element stream in expressionBuffer and returns its word
    // count; 0 when the expression failed (reported).
    int compilePropertyExpression(char* text, int start, int end);
    // The expression of a statement, condition, return value, property
    // value or array dimension matched by row: runs the pipeline, reports
    // its errors, keeps the jump stack in step and hands the stream to code
    // generation. ACTION_FAILED (reported), ACTION_NEXT_STATE, or
    // ACTION_KEEP_STATE when a constant if rewrote the text; for action 120
    // the word count of the stream left in expressionBuffer (0 on failure).
    int compileStatement(char* text, int start, int end, int row);
    // Whether the value of the stream can serve as a condition.
    bool isConditionType(const int32_t* stream) const;
    // Read, write and call counting of one statement.
    void countReads(const int32_t* stream);
    // Whether the stream's value is fixed for the calculation (marks the
    // run-time reads it meets).
    bool isInvariantExpression(const int32_t* stream);
    void markRuntimeReads(const int32_t* stream);
    // Rewrites the text of an if chain whose condition is known: the branch
    // taken stays (its block unwrapped), the others become blanks. ifStart
    // is the offset of the "if" keyword, elseStart that of the "else" before
    // it or -1, open and close the braces of its block. False when a
    // following else part has no block.
    static bool rewriteConstantIf(char* text, int ifStart, int elseStart, int open, int close,
                                  bool value);
    // Back to the state before the if chain whose jump-stack entries are
    // topmost: code position, open blocks, parse state, text position.
    void restartIfChain();

    // Runs the code of an array dimension's (invariant) expression: its
    // value into *value; false (errorText) when it does not compile.
    bool evaluateDimension(const int32_t* stream, double* value);
    int32_t evaluatedDimension = -1;         // size computed by the last action 192, -1 none

    GrowBuffer* statementText = nullptr;     // the matched expression, for messages
    uint8_t optimizing = 0;                  // set by every compile

    // Watches the streams the pipeline hands on, one call per expression
    // compiled: the action of the statement, its text range and the stream.
    typedef void (*StreamObserver)(void* context, int action, int start, int end,
                                   const int32_t* stream, int words);
    StreamObserver streamObserver = nullptr;
    void* streamObserverContext = nullptr;

    // ===== Control statements and function bodies
    // (compiler/ControlStatements.cpp)

    // Rule actions 28, 29, 32-37, 39, 49, 70, 91, 106 and 141: jumps of if,
    // else, for, do, while and break, frames of user functions and the
    // hand-over of finished bodies.
    int compileControlAction(char* text, int start, int end, int row);
    // Bytes at codePosition (the buffer grown first); codePosition moves on.
    void emitCode(const uint8_t* bytes, int count);
    // 32-bit value in functionCode at offset.
    void writeCodeWord(int offset, int32_t value);
    int32_t readCodeWord(int offset) const;
    // Depth of the marker of the innermost jump-stack pair with this
    // marker (pairs are value, marker with the marker on top); -1 when none.
    int findJumpMarker(int32_t marker) const;
    // Whether the named decorated function is a section of this kind.
    bool isSectionFunction(const char* decoratedName) const;

    // ===== User-function calls and linking (compiler/UserFunctions.cpp)

    // Compiles the user-function calls of stream ahead of the expression
    // (arguments, call, result temporary, by-reference write-back) and
    // rewrites the stream in place so that it reads the results. 0 on
    // success; 2 with the message in errorText; or an argument's error.
    int handleSubFunctions(int32_t* stream);
    // Joins the code of the functions called from function (placed at base
    // in output) behind position, each callee once, and patches the calls.
    // Returns the function's call-site word count.
    int linkSubFunctions(GrowBuffer* output, int* position, FormulaFunction* function, int base);

    // One formal parameter at the call: its record, its offset from ESP at
    // the CALL (the callee's dataOffset - 8), its slot size and the room the
    // caller lowers ESP by for it (up to the next parameter).
    struct ArgumentSlot {
        FormulaSymbol* formal;
        int32_t offset;
        int32_t size;
        int32_t room;
    };
    // The layout of the first n formal parameters of f and the total bytes;
    // false when the parameters are not as the head declared them.
    bool argumentLayout(const FormulaFunction* f, int n, ArgumentSlot* slots, int* total);
    // A user function (not a section) is being compiled: its temporaries
    // live in its frame.
    bool compilingFrameFunction() const;
    // The temporary that receives a call's result (in the frame of a user
    // function, else below the data-block base).
    FormulaSymbol* makeCallTemporary(int type, int precision);
    // A 4-byte temporary for an element address kept across a call.
    FormulaSymbol* makeAddressTemporary();
    // Compiles one argument of a call at codePosition, leaving its value on
    // the x87 stack (an array: its block address pushed); valueType gets
    // its type. With keptAddress the array-element load stores the
    // element's address there. 0 or the error of compileExpression.
    int compileArgument(int32_t* stream, FormulaSymbol* keptAddress, int* valueType);

    // Converts the value a return statement left on the x87 stack to the
    // current function's result type (dropped for a void function); false
    // (errorText) when it can't be.
    bool convertReturnValue();

    // Small encoders appending at codePosition. base: -1 [ESP+disp], 0
    // [EDI+disp32], 1 [EBP+disp32], 2 [EBX+disp32].
    void emitBytes(std::initializer_list<uint8_t> bytes);
    void emitWord(int32_t value);
    void emitStackOperand(uint8_t opcode, int reg, int32_t disp);
    void emitBaseOperand(uint8_t opcode, int reg, int32_t disp, int base);
    void emitEspAdjust(int32_t n);
    // FSTP/FISTP (FLD/FILD) of one component of a slot of type/precision.
    void emitComponentStore(int type, int precision, int32_t disp, int base);
    void emitComponentLoad(int type, int precision, int32_t disp, int base);
    // Stores the value of valueType on the x87 stack into a slot of the
    // target's type and precision (missing components 0, surplus dropped).
    void emitConvertingStore(int valueType, int targetType, int targetPrecision, int32_t disp, int base);

    // ===== Array access code (compiler/ArrayCode.cpp)

    // One index of an element access: a constant, an int/bool slot or a
    // real slot (offset, base 0 EDI / 1 EBP, precision).
    enum { INDEX_CONSTANT = 0, INDEX_INTEGER = 1, INDEX_REAL = 2 };
    struct ArrayIndex {
        int32_t kind;
        int32_t value;
        int32_t offset;
        int32_t base;
        int32_t precision;
    };
    // Forward jumps of an element access to its failure path.
    struct ElementJumps {
        int32_t fail[4];
        int32_t failCount;
        int32_t failPop[SYMBOL_MAX_DIMENSIONS];   // taken with ECX pushed
        int32_t failPopCount;
    };
    // E9 (condition 0) or 0F condition with a 32-bit placeholder; returns
    // the displacement's offset. patchForwardJump lands it at codePosition.
    int emitForwardJump(uint8_t condition);
    void patchForwardJump(int at);
    // EBX = the address of the element of array at the n indices (first
    // index first) after checking the block, its shape and every index;
    // the failure jumps go to jumps. Returns the element size.
    int emitElementAddress(const FormulaSymbol* array, const ArrayIndex* indices, int n, ElementJumps* jumps);
    // Lands the failure jumps here (ECX popped for the index checks).
    void emitElementFailure(ElementJumps* jumps);
    // Loads the element (component 0 on top; zeros when it does not exist)
    // and leaves its address (or the sink) in EBX.
    void emitElementLoad(const FormulaSymbol* array, const ArrayIndex* indices, int n);
    // EBX = the element's address, or the sink when it does not exist.
    void emitElementTargetAddress(const FormulaSymbol* array, const ArrayIndex* indices, int n);
    // Copies the named template of operation 87; false (errorText) when
    // it is missing.
    bool emitArrayTemplate(const char* name);
    // True (errorText set) when target is an array parameter passed by
    // value, which can't be given a new block.
    bool refuseArrayParameterReplacement(const FormulaSymbol* target);
    // The array of the 271/272 element at elementIndex and its number of
    // dimensions; null (errorText) when it is not an array.
    FormulaSymbol* elementArray(int* dimensions);
    // The index that a (268, id) load stands for; false when it is none.
    bool indexOfSymbol(int32_t id, ArrayIndex* index);
    // MOV [kept address], EBX while a by-reference array element argument
    // is compiled.
    void keepArrayElementAddress();
    // A 4-byte data-block temporary for an element address.
    int arrayTargetTemporary();
    // The n index values on top of the value stack into the frame words
    // [EBP-24+4k] (FISTP), described in indices; 0 or 1 (errorText).
    int popIndicesToFrame(int n, ArrayIndex* indices);
    // Whether the n top values are single registers not spilled.
    bool indicesInRegisters(int n) const;

    int32_t callsCompiled = 0;                   // calls compiled by handleSubFunctions (a call has a purpose)
    int32_t callTemporaryCounter = 0;            // numbers the call temporaries
    int32_t frameSizePosition = -1;              // functionCode offset of the prologue's frame size
    FormulaSymbol* keptElementAddress = nullptr; // set while a by-reference array element is compiled

    // Releases the buffers of the expression pipeline (destructor).
    void freeExpressionBuffers();

    // ===== Seams for the later issues (compiler/Seams.cpp). Each one is the
    // place a later issue fills; until then it answers as documented.

    // Code generation of one checked element stream at codePosition of
    // functionCode (mode CODE_STATEMENT or CODE_CONDITION). The code
    // generator fills it; until then it writes no code and answers
    // NOT_COMPILED_YET, leaving conditionCodes 0 and storesNothing false.
    // On success it answers 0 and, in condition mode, conditionCodes[0] is
    // the byte of the jump taken when the condition holds and [1] the one
    // taken when it fails; otherwise 1 with the reason in errorText.
    int compileExpression(const int32_t* stream, int mode, uint8_t conditionCodes[2],
                          bool* storesNothing);
    // Runs a constant condition once: 1 true, 0 false; NOT_COMPILED_YET
    // until code can be generated and run (the condition is then compiled
    // like any other).
    int runConstantCondition(const int32_t* stream);
    // Constant folding of a stream (0 success, 1 internal error, 2 a
    // by-reference argument that is no variable; the message in errorText):
    // constant parts become one constant, a variable that only ever holds
    // one constant becomes a compile-time constant (its assignment goes),
    // and in pass 2 stores to variables nobody reads go.
    int createConstants(int32_t* stream);
    // Strength reduction (cheaper operations for powers, products and sums
    // with small constants) and the reordering of operands (the heavier
    // operand of a binary operation first, in pass 2): shuffle answers 0,
    // or 1 with the message in errorText.
    void reduceStrength(GrowBuffer* stream);
    int shuffle(int32_t* stream);
    // Constant evaluation of an element stream of n elements into values:
    // answers false (not compiled yet: no value delivered).
    bool evaluateConstantExpression(const int32_t* stream, int n, int expectedType, double values[4]);
    // Optimizer hooks of the driver: whether the facts learned about the
    // symbols ask for another cycle of the pass; releaseReads gives back the
    // reads of what nobody reads; clearReadLists empties the reads lists of
    // the globals and of every function's locals.
    bool needsAnotherRound(int pass, int cycle);
    void releaseReads();
    void clearReadLists();
    // Sets precisionLevel for the fractal compiled for: 0 without one, 1
    // for quaternions and attractors, else by the view's width
    // (BottomRightR - TopLeftR, precisionLevelForWidth).
    void setPrecisionLevel();
    // Whether the driver makes its optimizer notes (variables declared
    // wider than the values they hold).
    bool typesAnalysed() const;

    // ===== Constant folding and the optimizer (compiler/ConstantFolding.cpp,
    // compiler/Optimizer.cpp)

    // Runs the constant elements first..last (inclusive word positions) of
    // stream as "temporary = elements" and reads the value into values.
    // With keep clear the elements are replaced in place by one constant
    // (a small integer or a new "INFO:created constant value" symbol of the
    // expected type) and *removed gets the number of words that went. 0
    // success, 1 when the code does not compile (errorText).
    int foldRange(int32_t* stream, int first, int last, double values[4], int expectedType, bool keep,
                  int* removed);
    // A constant symbol below the data-block base (class SYM_CONSTANT, an
    // id with bit 30), registered with its value.
    FormulaSymbol* makeConstantSymbol(const char* format, int type, const double values[4]);
    // The value of a single-symbol operand as folding sees it (the handed-in
    // value of a fixed parameter); false when it has none.
    bool operandValue(FormulaSymbol* symbol, double values[4]) const;
    // Whether a symbol's value is fixed for the compile (variability 0, or
    // constant and never assigned; the latter clears its runtimeRead).
    bool isFoldableSymbol(FormulaSymbol* symbol);
    // A predefined value with a slot that the calculation writes at run
    // time (IsRunTimePredefined).
    static bool isRunTimeValue(const FormulaSymbol* symbol);
    // Inside a user function: reads of a local that is a constant never
    // assigned at run time go to a global constant made from it (its frame
    // slot never receives the value); the local's node data keeps the copy
    // for later reads of the cycle.
    void promoteStaticLocal(int32_t* stream);
    // Precision level of a view of the given width: 1 below 5 decimal
    // digits, 2 up to 11, 3 from 12.
    static int precisionLevelForWidth(double width);

    GrowBuffer* expressionLog;       // int32 triples (action, start, end) of matched expressions
    int32_t expressionLogCount;      // triples recorded this cycle
    GrowBuffer* expressionBuffer;    // element stream of the expression pipeline

    // ===== Expression code generation (compiler/ExpressionCode.cpp; the
    // encoders in compiler/Encoders.cpp and compiler/CodeEmit.h)
    //
    // Code is written into functionCode at codePosition. While one stream
    // is compiled the state below describes the x87 stack at the point the
    // code has reached: the value stack holds one triple per value
    // (type, location, code position) with the code position on top;
    // location is LOCATION_IN_REGISTERS or the data-block offset of the
    // 80-bit temporary the value was spilled to; x87Depth counts the
    // registers of the values in registers.

    // Whether this compile generates code now: with a fractal in the pass
    // numbered 2 of the pass list.
    bool generatingCode() const;
    // Grows functionCode so that bytes more fit at codePosition (50000 bytes
    // of slack) and returns its data, or null when it can't grow.
    uint8_t* reserveCode(int bytes);
    // One typed element stream into code at codePosition. conditionMode: the
    // flags are left set and jumpBytes gets (jump if true, jump if false).
    // argumentMode: one argument of a user-function call (no call handling;
    // the value and its triple stay for the caller). keepElementAddress: an
    // array element's address is kept in the word after the array's slot.
    // force: generate code whatever the pass. Returns the completion flag:
    // 1 when nothing is left on the stack (a complete assignment, an empty
    // stream, or no code generated), 0 when a value (or the flags) is left.
    // *errorFlag is 0 on success, else non-zero with the reason in errorText.
    int generateExpression(int32_t* elements, bool conditionMode, uint8_t jumpBytes[2], int* errorFlag,
                           bool argumentMode, bool keepElementAddress, bool force);
    // Spills the deepest values held in registers to temporaries below the
    // data-block base until needed more registers fit in the eight.
    void emitRegisterSpill(int needed);
    // FLD ST(i); ADD ESP, n for n > 0, SUB ESP, -n otherwise.
    void emitFldSt(int i);
    void emitStackAdjust(int n);
    // Stores the top value (of valueType) into a slot of the target type and
    // precision at offset from base (BASE_EDI, BASE_EBP, BASE_EBX),
    // converting as it stores; with keep the value stays on the stack.
    // false (errorText set) for a pair of types that cannot be stored.
    bool emitVariableAccess(int targetType, int targetPrecision, int offset, int base, int valueType, bool keep);
    // Widens the value on top of the stack (its triple included) from one
    // type to another: real, int, bool to complex, quaternion or vector,
    // complex to quaternion; narrowing drops the upper components. false
    // when the types do not convert.
    bool emitConvertTop(int toType);
    // Loads a symbol's whole value (spill check first) and pushes its triple.
    bool emitLoadSymbol(FormulaSymbol* symbol);
    // Copies a template's code to codePosition; with cutForCondition the
    // code is cut where its flags are set.
    bool copyTemplate(const struct CodeTemplate* t, bool cutForCondition);
    // Value-stack access, k counting from the top (0).
    void pushValue(int type, int location, int position);
    void popValue();
    int valueType(int k) const;
    int valueLocation(int k) const;
    int valuePosition(int k) const;
    // errorText from a format; returns 1.
    int codeError(const char* format, ...);
    // Runs a compiled snippet that ends with LEAVE and RET on the data block
    // (see the .cpp for the shortcuts over parameter values). With out, the
    // symbol's slot is read back into four doubles. Returns EAX != 0.
    bool runSnippet(const uint8_t* code, int length, const int32_t* elements, double out[4],
                    FormulaSymbol* symbol);

    IntStack* valueStack = nullptr;
    IntStack* targetStack = nullptr;    // triples (kind, a, b): (273, id, -1), (272, temporary, array id), (274, array id, offset)
    IntStack* rangeStack = nullptr;     // pairs (first element index, last element index)
    int32_t x87Depth = 0;
    int32_t* currentElements = nullptr; // the stream being compiled
    int32_t elementIndex = 0;           // the element being compiled
    uint8_t conditionCode = 0;          // compiling in condition mode
    uint8_t keepAddress = 0;            // keepElementAddress of the stream being compiled
    uint8_t jumpBytesSet = 0;           // the last element gave the jump bytes
    uint8_t lastJumpBytes[2] = {0, 0};
    GrowBuffer* snippetCode = nullptr;  // executable copy of a snippet being run

    // ===== Array access code (compiler/ArrayCode.cpp): called by
    // generateExpression.

    // Elements 87 (array creation), 275 (index marker), 271 (element read)
    // and 272 (element as target) at currentElements[elementIndex]; 0 on
    // success, else 1 (errorText). They may move elementIndex to the last
    // element they consumed.
    int compileArrayCreation();
    int compileArrayIndexMark();
    int compileArrayRead();
    int compileArrayTarget();
    // The store of an array value (its block address pushed on the machine
    // stack by the load) into the array variable target.
    int emitArrayAssignment(FormulaSymbol* target, bool keep);

    // ===== Optimizer switch
    // Set by the caller before compile (spxfc run --no-opt): the formula is
    // compiled in one pass without folding or optimizer rewrites.
    uint8_t optimizationOff = 0;
    // Set by a caller that reads the formula's variables after the run
    // (test and tool harnesses): their stores stay although the formula
    // itself never reads them.
    uint8_t keepUnreadStores = 0;
};

// Owns one compiler for one formula slot of a fractal.
class FormulaHolder {
public:
    explicit FormulaHolder(int kind);
    virtual ~FormulaHolder();
    FormulaHolder(const FormulaHolder&) = delete;
    FormulaHolder& operator=(const FormulaHolder&) = delete;

    // Replaces the source text (copied; null clears it).
    void SetSource(const char* source);
    const char* GetSource() const { return text; }

    char* text;                  // owned formula source
    int32_t word;
    FormulaCompiler* compiler;   // owned
    char* texts[2][10];          // owned
};

// The compiler for tasks without a fractal (conversion of foreign formulas).
extern FormulaCompiler g_FormulaCompiler;

// Array blocks of a data block (compiler/ArrayCode.cpp): what the
// calculation engine does for a formula's arrays, also used by the formula
// test tool.
// Element size of an array symbol's elements.
int ArrayElementSize(const FormulaSymbol* array);
// A block for a DT_PREDEFINED_ARRAY symbol from its declared sizes
// (VirtualAlloc, released with VirtualFree); a header with sizes 0 when the
// elements can't be had; null when not even that can be.
void* AllocateParameterArray(const FormulaSymbol* array);
// Gives every DT_PREDEFINED_ARRAY symbol of the list whose slot (below
// above bytes of the data block at base) is 0 its block.
void AllocateFormulaArrays(const NodeList* symbols, uint8_t* base, int above);
// Releases the blocks of every array symbol of the list and zeroes their slots.
void FreeFormulaArrays(const NodeList* symbols, uint8_t* base, int above);
