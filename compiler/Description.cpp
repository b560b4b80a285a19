// The description block of a formula: statements "name.property = value;"
// that give parameters and selectable functions their captions, hints,
// limits, defaults, enumerations and visibility, set properties of the
// formula itself through the name "this", and insert separators into the
// parameter window. The order of the entries orders the parameters.
//
// Import statements are in compiler/Import.cpp.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Scanners.h"
#include "foundation/Buffers.h"
#include "compiler/EnumValues.h"

namespace {

enum { TEXT_CONSTANT = 10 };  // value type of a constant in double quotes

void CopyRange(char* out, int size, const char* text, int start, int end)
{
    int length = end - start + 1;
    if (length < 0)
        length = 0;
    if (length > size - 1)
        length = size - 1;
    memcpy(out, text + start, (size_t)length);
    out[length] = 0;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The integer part of a value, kept inside the int range.
int IntegerPart(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return (int)-2147483647 - 1;
    return (int)v;
}

bool IsNumber(int valueType) { return valueType == DT_REAL || valueType == DT_INT; }

char* CopyText(const char* text)
{
    if (!text)
        return nullptr;
    size_t length = strlen(text) + 1;
    char* copy = static_cast<char*>(malloc(length));
    if (copy)
        memcpy(copy, text, length);
    return copy;
}

// Whom the entry being described names.
enum DescribedKind { DESCRIBES_NOTHING, DESCRIBES_FORMULA, DESCRIBES_SYMBOL, DESCRIBES_FUNCTION };

struct Described {
    DescribedKind kind;
    FormulaSymbol* symbol;
    FormulaFuncParameter* function;
};

Described Lookup(FormulaCompiler& c)
{
    Described d = {DESCRIBES_NOTHING, nullptr, nullptr};
    if (strcmp(c.nameBuffer, "this") == 0) {
        d.kind = DESCRIBES_FORMULA;
    } else if ((d.symbol = static_cast<FormulaSymbol*>(c.symbols.Find(c.nameBuffer))) != nullptr) {
        d.kind = DESCRIBES_SYMBOL;
    } else if ((d.function = static_cast<FormulaFuncParameter*>(
                    findNodeByName(c.funcParameters.GetHead(), c.nameBuffer))) != nullptr) {
        d.kind = DESCRIBES_FUNCTION;
    }
    return d;
}

void Warn(FormulaCompiler& c, const char* text, int start, int end, const char* format, const char* a,
          const char* b = nullptr)
{
    char message[600];
    snprintf(message, sizeof message, format, a, b);
    c.report(text, start, end, message, false, MSG_WARNING);
}

// Replaces *target by a copy of the n elements and the terminating 0 of the
// expression buffer.
void KeepStream(GrowBuffer** target, const GrowBuffer* expression, int n)
{
    int bytes = n * 4 + 4;
    if (!expression || !expression->GetData() || expression->GetCapacity() < bytes)
        return;
    delete *target;
    *target = new GrowBuffer(bytes);
    if ((*target)->GetCapacity() < bytes)
        return;
    memcpy((*target)->GetData(), expression->GetData(), (size_t)n * 4);
    static_cast<int32_t*>((*target)->GetData())[n] = 0;
}

// The buffer of a symbol that keeps the stream of a property, or null for
// a property whose expression is not kept.
GrowBuffer** SymbolStream(FormulaSymbol* s, const char* property)
{
    if (strcmp(property, "default") == 0) return &s->defaultExpr;
    if (strcmp(property, "visible") == 0) return &s->visibleExpr;
    if (strcmp(property, "randomizable") == 0) return &s->randomizableExpr;
    if (strcmp(property, "randomizationType") == 0) return &s->randomizationTypeExpr;
    if (strcmp(property, "randomizeMin") == 0) return &s->randomizeMinExpr;
    if (strcmp(property, "randomizeMax") == 0) return &s->randomizeMaxExpr;
    if (strcmp(property, "enabled") == 0) return &s->enabledExpr;
    return nullptr;
}

// Steps over a preprocessor directive at p ("#" and its word, and the name
// of a #define, #undef or #ifdef) without carrying it out.
int SkipDirective(const char* text, int p)
{
    ++p;
    int word = p;
    while (isalnum((unsigned char)text[p]))
        ++p;
    int length = p - word;
    bool named = (length == 6 && _strnicmp(text + word, "define", 6) == 0) ||
                 (length == 5 && _strnicmp(text + word, "undef", 5) == 0) ||
                 (length == 5 && _strnicmp(text + word, "ifdef", 5) == 0);
    if (named) {
        while (text[p] == ' ' || text[p] == '\t')
            ++p;
        while (isalnum((unsigned char)text[p]) || text[p] == '_')
            ++p;
    }
    return p;
}

}  // namespace

void FormulaCompiler::parseDescriptionBlock(const char* text)
{
    if (!text)
        return;
    const char* found = strstr(text, "description(");
    if (!found)
        return;
    int p = (int)(found - text) + 12;
    while (IsBlank(text[p]))
        ++p;
    for (int i = 0; i < 4 && text[p]; ++i)  // "void", required there by the grammar
        ++p;
    while (IsBlank(text[p]) || text[p] == ')')
        ++p;
    if (text[p] != '{')
        return;
    ++p;

    for (;;) {
        while (IsBlank(text[p]))
            ++p;
        if (text[p] == '#') {
            p = SkipDirective(text, p);
            while (IsBlank(text[p]))
                ++p;
        }
        if (text[p] == '}' || text[p] == 0)
            return;
        int statement = p;
        bool inString = false;
        while (text[p] && (inString || text[p] != ';')) {
            if (text[p] == '"')
                inString = !inString;
            ++p;
        }
        if (!text[p])
            return;
        int semicolon = p++;

        const char* dot = static_cast<const char*>(memchr(text + statement, '.', (size_t)(semicolon - statement)));
        if (!dot || strncmp(dot + 1, "enum", 4) != 0)
            continue;
        int q = (int)(dot - text) + 5;
        while (IsBlank(text[q]))
            ++q;
        if (text[q] != '=')
            continue;
        ++q;
        while (IsBlank(text[q]))
            ++q;
        if (text[q] != '"' || q >= semicolon)
            continue;
        int open = q;
        int close = semicolon - 1;
        while (close > open && text[close] != '"')
            --close;
        if (close <= open)
            continue;
        int nameLength = (int)(dot - text) - statement;
        if (nameLength <= 0 || nameLength > ListNode::NODE_NAME_MAX)
            continue;  // longer than any symbol name
        char name[ListNode::NODE_NAME_SIZE];
        memcpy(name, text + statement, (size_t)nameLength);
        name[nameLength] = 0;
        FormulaSymbol* s = static_cast<FormulaSymbol*>(symbols.Find(name));
        if (!s)
            continue;
        // The scan runs before every function head; the list is made anew
        // each time rather than appended to, so the names appear once.
        int room = (semicolon - statement) * 4 + 120;
        if (!s->enumList)
            s->enumList = new GrowBuffer(room);
        else
            s->enumList->Reserve(room);
        if (s->enumList->GetData() && s->enumList->GetCapacity() >= 4) {
            int32_t endMark = -1;
            memcpy(s->enumList->GetData(), &endMark, 4);
        }
        ParseEnumValues(s->enumList, text + open + 1, close - open - 1);
        s->dataType = DT_INT;
        s->precision = DT_ENUM;
    }
}

int FormulaCompiler::checkIdentifier(const char* text, int start, int end, int row)
{
    CopyRange(nameBuffer, sizeof nameBuffer, text, start, end);
    Described d = Lookup(*this);
    switch (d.kind) {
    case DESCRIBES_FORMULA:
        break;
    case DESCRIBES_SYMBOL:
        if (d.symbol->symbolClass == SYM_PARAMETER) {
            // Parameters end up in the order of their first entries.
            symbols.Remove(d.symbol);
            d.symbol->serial = serialCounter++;
            symbols.Append(d.symbol);
        } else {
            Warn(*this, text, start, end,
                 "Compiler warning 602: Identifier %s specifies a known variable, but the variable has not "
                 "been declared as a parameter.\nOnly parameters can have properties.\nStatement will be ignored",
                 nameBuffer);
        }
        break;
    case DESCRIBES_FUNCTION:
        funcParameters.Remove(d.function);
        d.function->order = serialCounter++;
        funcParameters.Append(d.function);
        break;
    default:
        Warn(*this, text, start, end,
             "Compiler warning 601: Identifier %s specifies neither the formula nor a known parameter/user "
             "function.\nStatement will be ignored",
             nameBuffer);
        break;
    }
    return ACTION_NEXT_STATE;
}

int FormulaCompiler::assignProperty(const char* text, int start, int end, int row)
{
    CopyRange(propertyName, sizeof propertyName, text, start, end);
    static const double zeros[4] = {0, 0, 0, 0};
    Described d = Lookup(*this);
    switch (d.kind) {
    case DESCRIBES_FORMULA:
        // The property is set back to its neutral value; a value of the
        // wrong type then leaves it there.
        if (strcmp(propertyName, "title") == 0) {
            strcpy(title, " ");
        } else if (strcmp(propertyName, "maxiter") == 0) {
            maxIter = 0;
        } else if (strcmp(propertyName, "periodicity") == 0) {
            periodicity = 0;
        } else if (strcmp(propertyName, "angle") == 0) {
            angle = 0.0;
        } else if (strcmp(propertyName, "magn") == 0) {
            magnification = 0.0;
        } else if (strcmp(propertyName, "functionorder") == 0) {
            functionOrder = 0;
        } else if (strcmp(propertyName, "center") == 0) {
            center[0] = center[1] = 0.0;
        } else if (strcmp(propertyName, "helpfile") != 0 && strcmp(propertyName, "helptopic") != 0 &&
                   strcmp(propertyName, "method") != 0) {
            Warn(*this, text, start, end,
                 "Compiler warning 603: formula does not have any property called %s.\nStatement will be ignored",
                 propertyName);
        }
        break;
    case DESCRIBES_SYMBOL:
        if (d.symbol->setProperty(propertyName, nullptr, zeros, -1) == 0)
            Warn(*this, text, start, end,
                 "Compiler warning 605: Variables do not have a property called %s.\nStatement will be ignored.",
                 propertyName);
        break;
    case DESCRIBES_FUNCTION:
        if (d.function->setProperty(propertyName, nullptr, -1) == 0)
            Warn(*this, text, start, end,
                 "Compiler warning 605: Functions do not have a property called %s.\nStatement will be ignored",
                 propertyName);
        break;
    default:
        break;  // warning 601 has been given
    }
    return ACTION_NEXT_STATE;
}

int FormulaCompiler::assignThisProperty(const char* text, int start, int end, int row)
{
    char* valueText = nullptr;
    if (constantType == TEXT_CONSTANT) {
        int length = end - start + 1;
        if (length < 0)
            length = 0;
        if (!messageText)
            messageText = new GrowBuffer(1000);
        messageText->Reserve(length + 1);
        if (messageText->GetData() && messageText->GetCapacity() >= length + 1) {
            valueText = static_cast<char*>(messageText->GetData());
            memcpy(valueText, text + start, (size_t)length);
            valueText[length] = 0;
        }
    }
    Described d = Lookup(*this);
    switch (d.kind) {
    case DESCRIBES_FORMULA:
        if (setFormulaProperty(propertyName, valueText, constantValue[0], constantValue[1],
                               IntegerPart(constantValue[0]), constantType) == -1)
            Warn(*this, text, start, end,
                 "Compiler warning 606: The property this.%s expects another type than provided.\n"
                 "Statement will be ignored.",
                 propertyName);
        break;
    case DESCRIBES_SYMBOL:
        if (d.symbol->setProperty(propertyName, valueText, constantValue, constantType) == -1)
            Warn(*this, text, start, end,
                 "Compiler warning 606: The property %s.%s expects another type than provided.\n"
                 "Statement will be ignored.",
                 d.symbol->name, propertyName);
        break;
    case DESCRIBES_FUNCTION:
        if (d.function->setProperty(propertyName, valueText, constantType) != 1)
            Warn(*this, text, start, end,
                 "Compiler warning 606: The property %s.%s expects another type than provided.\n"
                 "Statement will be ignored.",
                 d.function->name, propertyName);
        break;
    default:
        break;
    }
    return ACTION_NEXT_STATE;
}

int FormulaCompiler::setFormulaProperty(const char* property, const char* text, double re, double im,
                                        int intPart, int valueType)
{
    if (strcmp(property, "title") == 0) {
        if (valueType != TEXT_CONSTANT || !text)
            return -1;
        snprintf(title, sizeof title, "%s", text);
        return 1;
    }
    if (strcmp(property, "helpfile") == 0 || strcmp(property, "helptopic") == 0) {
        if (valueType != TEXT_CONSTANT || !text)
            return -1;
        // Every pass parses the description again; the help texts are kept
        // from the first cycle of the compile only, so none is listed twice.
        if (!isFirstCycle())
            return 1;
        if (property[4] == 'f') {
            free(helpFiles[helpFileCount]);
            helpFiles[helpFileCount] = CopyText(text);
            if (helpFileCount < 9)
                ++helpFileCount;
        } else {
            int index = helpFileCount > 0 ? helpFileCount - 1 : 0;
            free(helpTopics[index]);
            helpTopics[index] = CopyText(text);
        }
        return 1;
    }
    if (strcmp(property, "maxiter") == 0) {
        maxIter = intPart;
        return IsNumber(valueType) ? 1 : -1;
    }
    if (strcmp(property, "periodicity") == 0) {
        periodicity = intPart;
        return IsNumber(valueType) ? 1 : -1;
    }
    if (strcmp(property, "method") == 0) {
        if (IsNumber(valueType))
            return 1;
        if (valueType == TEXT_CONSTANT && text &&
            (_stricmp(text, "multipass") == 0 || _stricmp(text, "guessing") == 0 ||
             _stricmp(text, "onepass") == 0))
            return 1;
        return -1;
    }
    if (strcmp(property, "angle") == 0) {
        angle = re;
        return IsNumber(valueType) ? 1 : -1;
    }
    if (strcmp(property, "functionorder") == 0) {
        functionOrder = IntegerPart(re + 0.5);
        return IsNumber(valueType) ? 1 : -1;
    }
    if (strcmp(property, "magn") == 0) {
        magnification = re;
        return IsNumber(valueType) ? 1 : -1;
    }
    if (strcmp(property, "center") == 0) {
        center[0] = re;
        center[1] = im;
        return valueType == DT_COMPLEX ? 1 : -1;
    }
    return 0;
}

int FormulaCompiler::assignPropertyExpression(char* text, int start, int end, int row)
{
    currentFunction = nullptr;
    int last = end;
    while (last >= start && IsBlank(text[last]))
        --last;

    // A constant value is taken as such.
    int cs, ce, next;
    double v[4];
    int type = scanConstant(text + start, &cs, &ce, &next, v, false);
    if (type >= 0 && start + next - 1 == last) {
        constantType = type;
        memcpy(constantValue, v, sizeof constantValue);
        return assignThisProperty(text, start + cs, start + ce, row);
    }

    Described d = Lookup(*this);
    if (d.kind == DESCRIBES_SYMBOL) {
        FormulaSymbol* s = d.symbol;
        if (s->symbolClass != SYM_PARAMETER)
            return ACTION_NEXT_STATE;
        if ((s->dataType == DT_ARRAY || s->dataType == DT_PREDEFINED_ARRAY) &&
            strcmp(propertyName, "default") == 0) {
            // The default of an array parameter is kept as the text inside
            // its enclosing brackets.
            int length = last - start - 1;
            if (length < 0)
                length = 0;
            if (!s->enumList)
                s->enumList = new GrowBuffer(length + 1);
            else
                s->enumList->Reserve(length + 1);
            if (s->enumList->GetData() && s->enumList->GetCapacity() >= length + 1) {
                char* data = static_cast<char*>(s->enumList->GetData());
                memcpy(data, text + start + 1, (size_t)length);
                data[length] = 0;
            }
            s->defaultValue[0] = 2;
            s->defaultValue[1] = s->defaultValue[2] = s->defaultValue[3] = 0;
            return ACTION_NEXT_STATE;
        }
        int n = compilePropertyExpression(text, start, last);
        if (n == NOT_COMPILED_YET)
            return ACTION_NEXT_STATE;
        if (n <= 0)
            return ACTION_FAILED;
        if (GrowBuffer** target = SymbolStream(s, propertyName))
            KeepStream(target, expressionBuffer, n);
        return ACTION_NEXT_STATE;
    }
    if (d.kind == DESCRIBES_FUNCTION) {
        FormulaFuncParameter* f = d.function;
        GrowBuffer** target = strcmp(propertyName, "visible") == 0   ? &f->visibleExpr
                              : strcmp(propertyName, "enabled") == 0 ? &f->enabledExpr
                                                                     : nullptr;
        if (!target)
            return ACTION_NEXT_STATE;
        int n = compilePropertyExpression(text, start, last);
        if (n == NOT_COMPILED_YET)
            return ACTION_NEXT_STATE;
        if (n <= 0)
            return ACTION_FAILED;
        KeepStream(target, expressionBuffer, n);
    }
    return ACTION_NEXT_STATE;
}

int FormulaCompiler::declareSeparator(const char* text, int start, int end, int row)
{
    // Cut to a symbol name, so that the properties that follow find it.
    CopyRange(nameBuffer, ListNode::NODE_NAME_SIZE, text, start, end);
    if (symbols.Find(nameBuffer))
        return ACTION_NEXT_STATE;
    FormulaSymbol* s = new FormulaSymbol();
    s->SetName(nameBuffer);
    s->dataType = DT_SEPARATOR;
    s->symbolClass = SYM_PARAMETER;
    s->dataOffset = 2147483647;  // no slot
    s->value[0] = 1.0;
    s->defaultValue[0] = 1.0;
    s->variability = 0;
    s->assigned = FACT_NO;
    s->constant = FACT_YES;
    s->id = symbols.nextIds[0]++;
    s->serial = serialCounter++;
    symbols.Append(s);
    return ACTION_NEXT_STATE;
}
