// Source preparation: comments are blanked before a compile, and the
// directives #define, #undef, #ifdef, #else and #endif are carried out at
// the start of each statement by blanking the branches that do not apply.
// Blanking keeps every line feed and carriage return, so the line numbers
// of later messages stay those of the original text.

#include <stdio.h>
#include <string.h>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Scanners.h"
#include "foundation/Buffers.h"

namespace {

const char kDirectivePrefix[] = "DIRECTIVE:";

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

// Overwrites text[from, to) with blanks, keeping line ends.
void blankRange(char* text, int from, int to)
{
    for (int p = from; p < to && text[p] != 0; ++p)
        if (!isLineEnd(text[p]))
            text[p] = ' ';
}

// The symbol name of a directive: the prefix and the name, cut to what a
// list-node name holds. Lookups and new symbols use the same cut, so a
// long name can be defined twice without making a second node of the same
// name.
void directiveSymbolName(const char* name, int length, char out[ListNode::NODE_NAME_SIZE])
{
    snprintf(out, ListNode::NODE_NAME_SIZE, "%s%.*s", kDirectivePrefix, length, name);
}

// Reads a directive name (letters, digits, "_") after white space from
// *position; returns its start and moves *position after it.
int readDirectiveName(const char* text, int* position, int* length)
{
    skipBlanks(text, position);
    int start = *position;
    while (isNameChar(text[*position]))
        ++*position;
    *length = *position - start;
    return start;
}

}  // namespace

char* FormulaCompiler::stripComments(char* text)
{
    bool inString = false;
    int p = 0;
    while (text[p] != 0) {
        char c = text[p];
        if (c == '"') {
            inString = !inString;
            ++p;
        } else if (c == '\n' || c == '\f') {
            inString = false;
            ++p;
        } else if (!inString && c == '/' && text[p + 1] == '/') {
            // Up to the line feed; carriage returns stay.
            for (; text[p] != 0 && text[p] != '\n'; ++p)
                if (text[p] != '\r')
                    text[p] = ' ';
        } else if (!inString && c == '/' && text[p + 1] == '*') {
            text[p] = text[p + 1] = ' ';
            p += 2;
            for (; text[p] != 0; ++p) {
                if (text[p] == '*' && text[p + 1] == '/') {
                    text[p] = text[p + 1] = ' ';
                    p += 2;
                    break;
                }
                if (!isLineEnd(text[p]))
                    text[p] = ' ';
            }
        } else {
            ++p;
        }
    }
    return text;
}

void FormulaCompiler::defineDirectiveSymbol(const char* directiveName)
{
    char symbolName[ListNode::NODE_NAME_SIZE];
    directiveSymbolName(directiveName, (int)strlen(directiveName), symbolName);
    FormulaSymbol* symbol = new FormulaSymbol();
    symbol->SetName(symbolName);
    symbol->id = (int32_t)(SYMBOL_ID_COMPILER | (uint32_t)symbols.nextIds[1]++);
    symbol->dataType = DT_REAL;
    symbol->precision = PREC_FLOAT;
    dataBottom -= 8;
    symbol->dataOffset = alignSlot(&dataBottom, 8);
    symbol->value[0] = 1.0;
    symbol->variability = 1;
    // Counted as read and written often, so the optimizer never drops it.
    symbol->readCount = 10;
    symbol->writeCount = 10;
    symbol->constant = FACT_NO;
    // Reserves the block, gives the serial, appends and stores the value.
    registerVariable(symbol, true);
}

int FormulaCompiler::findMatchingDirective(const char* text, int start, int* elsePosition, int* endifPosition)
{
    *elsePosition = -1;
    *endifPosition = -1;
    bool inString = false;
    int depth = 0;
    for (int p = start; text[p] != 0; ++p) {
        if (text[p] == '"') {
            inString = !inString;
            continue;
        }
        if (inString || text[p] != '#')
            continue;
        if (_strnicmp(text + p, "#ifdef", 6) == 0) {
            ++depth;
        } else if (_strnicmp(text + p, "#else", 5) == 0) {
            if (depth == 0)
                *elsePosition = p;
        } else if (_strnicmp(text + p, "#endif", 6) == 0) {
            if (depth == 0) {
                *endifPosition = p;
                return 1;
            }
            --depth;
        }
    }
    return 0;
}

int FormulaCompiler::preprocess(char* text, int* position)
{
    const int p = *position;
    if (text[p] != '#')
        return PREPROCESS_NONE;
    const char* word = text + p + 1;
    char symbolName[ListNode::NODE_NAME_SIZE];

    if (_strnicmp(word, "DEFINE", 6) == 0) {
        int q = p + 7, length;
        int nameStart = readDirectiveName(text, &q, &length);
        directiveSymbolName(text + nameStart, length, symbolName);
        FormulaSymbol* symbol = (FormulaSymbol*)symbols.FindNoCase(symbolName);
        if (symbol) {
            symbol->value[0] = 1.0;
            storeSymbolValue(symbol);
        } else {
            defineDirectiveSymbol(symbolName + sizeof(kDirectivePrefix) - 1);
        }
        *position = q;
        return PREPROCESS_HANDLED;
    }
    if (_strnicmp(word, "UNDEF", 5) == 0) {
        int q = p + 6, length;
        int nameStart = readDirectiveName(text, &q, &length);
        directiveSymbolName(text + nameStart, length, symbolName);
        FormulaSymbol* symbol = (FormulaSymbol*)symbols.FindNoCase(symbolName);
        if (symbol) {
            symbol->value[0] = 0.0;
            storeSymbolValue(symbol);
        }
        *position = q;
        return PREPROCESS_HANDLED;
    }
    if (_strnicmp(word, "IFDEF", 5) == 0) {
        int q = p + 6, length;
        int nameStart = readDirectiveName(text, &q, &length);
        const int nameEnd = q;
        directiveSymbolName(text + nameStart, length, symbolName);
        FormulaSymbol* symbol = (FormulaSymbol*)symbols.FindNoCase(symbolName);
        int elsePosition, endifPosition;
        if (!findMatchingDirective(text, nameEnd, &elsePosition, &endifPosition)) {
            report(text, p, nameEnd - 1,
                   "Compiler error P-003: Did not find #endif directive for this #ifdef-directive.", false,
                   MSG_ERROR);
            return PREPROCESS_ERROR;
        }
        const bool defined = symbol && symbol->value[0] == 1.0;
        const int endifEnd = endifPosition + 6;
        if (defined) {
            blankRange(text, p, nameEnd);
            blankRange(text, elsePosition >= 0 ? elsePosition : endifPosition, endifEnd);
        } else if (elsePosition >= 0) {
            blankRange(text, p, elsePosition + 5);
            blankRange(text, endifPosition, endifEnd);
        } else {
            blankRange(text, p, endifEnd);
        }
        *position = nameEnd;
        return PREPROCESS_HANDLED;
    }
    if (_strnicmp(word, "ELSE", 4) == 0) {
        // A #else of a handled #ifdef has been blanked with its branch.
        report(text, p, p + 4, "Compiler error P-001: Found #else directive without #ifdef-directive.", false,
               MSG_ERROR);
        return PREPROCESS_ERROR;
    }
    if (_strnicmp(word, "ENDIF", 5) == 0) {
        report(text, p, p + 5, "Compiler error P-002: Found #endif directive without #ifdef-directive.",
               false, MSG_ERROR);
        return PREPROCESS_ERROR;
    }
    // Any other word: "#" is also the absolute-value bar of expressions, so
    // the statement matcher sees the rest.
    *position = p + 1;
    return PREPROCESS_NONE;
}
