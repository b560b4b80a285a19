// The expression language of IFS coefficients: an operator-precedence
// parser driven by three static tables (keywords, actions, operator stack
// effects) that turns one expression text into an opcode stream for the
// stack machine of IfsMachine.h, plus the report of a failed parse and the
// check that runs before an IFS or L-system formula is deleted.
#pragma once
#include <stdint.h>

class NodeList;
class ListNode;

// Opcodes the parser produces beyond the function and operator numbers.
enum IfsOpcode {
    OPC_SUBTRACT = 9,
    OPC_NEGATE = 13,
    OPC_ASSIGN = 43,
    OPC_FN1 = 44,
    OPC_MODULUS_SQUARED = 80,
    OPC_LPAREN = 265,
    OPC_RPAREN = 266,
    OPC_STORE_Z = 267,
    OPC_VARIABLE = 268,
    OPC_LBAR = 269,
    OPC_RBAR = 270,
    OPC_NUMBER = 282,
};

// Limits of one parse's working storage. Input beyond them is refused with
// a result code; nothing is ever written outside a buffer.
enum {
    FORMULA_TEXT_MAX = 499,      // characters of one expression
    FORMULA_NAME_MAX = 299,      // characters of one name or number
    FORMULA_TOKEN_WORDS = 500,   // token buffer, end word included
    FORMULA_STACK_WORDS = 300,   // operator stack, end marker included
    FORMULA_BAR_DEPTHS = 100,    // parenthesis depths that may hold bars
    IFS_SCRATCH_BYTES = 10000,   // the scratch stream the IFS callers parse into
};

// One row of the keyword table.
struct FormulaKeyword {
    int32_t kind;       // 7 in every row
    const char* name;
    int32_t opcode;     // 0 ends the table
    int32_t flags;      // bit 0: a '-' after this keyword is a unary minus
    int32_t reserved;
};
// The 83 keywords by descending name length, then the end row.
extern const FormulaKeyword FormulaKeywordTable[84];

enum { FORMULA_CLASS_COUNT = 91 };
// The action for the class of the operator-stack top (row) and the class
// of the input token (column).
uint8_t FormulaAction(int stackClass, int inputClass);

// Parses text into stream (capacityBytes bytes). Above 0: the size in bytes
// the caller copies out; below 0: minus the ParseErrorCode. Variables are
// looked up in, or appended to, symbols as FormulaSymbol records.
int ParseFormula(const char* text, uint32_t* stream, NodeList* symbols, int capacityBytes = IFS_SCRATCH_BYTES);
// 0, or 1 at the first illegal character; lower-cases letters in place.
int ValidateFormulaCharacters(char* text);
// Tokens of text into tokens (capacity words, the end word included): 0,
// 1 for an unknown character sequence, 4 when the buffer or a name's
// length limit is exceeded.
int TokenizeFormula(const char* text, uint32_t* tokens, NodeList* symbols, int capacity = FORMULA_TOKEN_WORDS);
// Minus 4 x (output words + 1) on success, else the code 1, 2, 3, 4 or 8.
int FormulaToPostfix(const char* text, uint32_t* stream, NodeList* symbols, int capacityWords);
int FormulaInputClass(uint32_t word);
// Copies one token and a 0 word behind it; the number of words copied.
int CopyFormulaToken(const uint32_t* from, uint32_t* to);
// Words of the token at from (1, 2 or 3; 0 for the end word).
int FormulaTokenWords(const uint32_t* from);
// 0 when the postfix stream leaves exactly one value, else 1.
int CheckOperandBalance(const uint32_t* stream);
// 0, 4, 7 or 8; sets extra to 8 (no assignment) or 200. The stream needs
// room for capacityWords words.
int MoveAssignments(uint32_t* stream, int* extra, int capacityWords = IFS_SCRATCH_BYTES / 4);

// Shows the failure of one expression in an error box ("Parsing formula").
void ReportParseError(const char* title, const char* text, int result);

enum { FORMULA_TYPE_LSYSTEM = 9, FORMULA_TYPE_IFS = 10 };
// Before an IFS (type 10) or L-system (type 9) formula is deleted: refuses
// (0, with an information box naming them) while fractals use it, asks when
// deletions are to be confirmed, then removes and deletes the formula and
// answers its neighbour (the successor, else the predecessor) or -1 cast to
// a pointer when the list is now empty. Other types: 0.
ListNode* CheckFormulaInUse(NodeList* list, ListNode* formula, int type);
#define FORMULA_LIST_NOW_EMPTY (reinterpret_cast<ListNode*>(-1))
