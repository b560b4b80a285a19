// Messages of the formula compiler: syntax errors from the perr table and
// every other error, warning, tip and note, placed by line and column and
// sent to the message list. Nothing is reported from a calculation thread.
#include "compiler/FormulaCompiler.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "foundation/Messages.h"
#include "foundation/Services.h"

void (*g_FormulaEditorSelectRange)(int kind, int start, int end, bool focus) = nullptr;

namespace {
const int NB = CONTEXT_NO_BLOCK;
const int ANY = CONTEXT_ANY;
}  // namespace

const SyntaxErrorRow g_SyntaxErrors[SYNTAX_ERROR_ROWS] = {
    {NB, 0, "Syntax Error perr-0400: Formula name expected"},
    {NB, 1, "Syntax Error perr-0401: Expected either a formula option or the beginning of the formula definition, i.e. <COLOR=204060>{"},
    {NB, 2, "Syntax Error perr-0402: Formula symmetry or formula option expected"},
    {NB, 3, "Syntax Error perr-0403: Closing bracket after symmetry or formula option expected"},
    {NB, 10, "Syntax Error perr-0410: Variable type declaration, function return type definition or import statement expected"},
    {NB, 13, "Syntax Error perr-0412: Variable type declaration or function return type definition expected"},
    {NB, 14, "Syntax Error perr-0413: Variable identifier or function name expected"},
    {NB, 15, "Syntax Error perr-0414: Opening bracket expected: Either '(' or '['."},
    {NB, 16, "Syntax Error perr-0415: Expected either a comma to specify further variables or a semicolon to end the variable declarations."},
    {NB, 20, "Syntax Error perr-0420: Expected a valid identifier for an array."},
    {NB, 21, "Syntax Error perr-0421: Expected \"[\" to specify array dimension"},
    {NB, 22, "Syntax Error perr-0422: Expected an integer number (1 to 5) in order to specify the number of dimensions"},
    {NB, 23, "Syntax Error perr-0423: Expected \"]\" to finish specifying the array dimension"},
    {NB, 24, "Syntax Error perr-0424: Expected keyword \"of\" after array definition in order to specify the type of variables the array should contain"},
    {NB, 25, "Syntax Error perr-0425: Expected a valid variable type for the array elements"},
    {NB, 26, "Syntax Error perr-0426: Expected \";\" to end this array declaration."},
    {ANY, 110, "Syntax Error perr-0510: Expecting either an expression or a return statement or some control structures like \"for\", \"if\", \"do\", \"while\"."},
    {1, 110, "Syntax Error perr-0510: Expecting a \"}\" in order to close the opened if block, or an expression or some control structures like \"for\", \"if\", \"do\", \"while\" inside this if block."},
    {2, 110, "Syntax Error perr-0510: Expecting a \"}\" in order to close the opened else-if block, or an expression or some control structures like \"for\", \"if\", \"do\", \"while\" inside this else-if block."},
    {3, 110, "Syntax Error perr-0510: Expecting a \"}\" in order to close the opened for loop, or an expression or some control structures like \"for\", \"if\", \"do\", \"while\", \"break\" inside this for loop."},
    {4, 110, "Syntax Error perr-0510: Expecting a \"}\" in order to close the opened do loop, or an expression or some control structures like \"for\", \"if\", \"do\", \"while\", \"break\" inside this do loop."},
    {5, 110, "Syntax Error perr-0510: Expecting a \"}\" in order to close the opened while loop, or an expression or some control structures like \"for\", \"if\", \"do\", \"while\", \"break\" inside this while loop."},
    {10, 110, "Syntax Error perr-0510: Expecting a \"}\" in order to close the current function, or an expression or some control structures like \"for\", \"if\", \"do\", \"while\" inside the current function."},
    {ANY, 111, "Syntax Error perr-0511: Semicolon expected."},
    {ANY, 112, "Syntax Error perr-0512: Opening bracket after if keyword expected."},
    {ANY, 113, "Syntax Error perr-0513: A boolean expression terminated by a closing bracket expected."},
    {ANY, 115, "Syntax Error perr-0515: Expecting \"{\" to specify an expression block"},
    {3, 116, "Syntax Error perr-0516: Semicolon after break keyword expected."},
    {4, 116, "Syntax Error perr-0516: Semicolon after break keyword expected."},
    {5, 116, "Syntax Error perr-0516: Semicolon after break keyword expected."},
    {ANY, 120, "Syntax Error perr-0520: else keyword expected (or nothing...)"},
    {ANY, 121, "Syntax Error perr-0521: Expected either a further if statement following else or \"{\""},
    {ANY, 130, "Syntax Error perr-0530: Keyword \"for\" must be followed by \"(\" ."},
    {ANY, 131, "Syntax Error perr-0531: Expecting intialization expression belonging to this for-loop."},
    {ANY, 132, "Syntax Error perr-0532: Expecting either a \",\" to specify further initiazitaion expressions or a semicolon to advance to the conditional part."},
    {ANY, 133, "Syntax Error perr-0533: Expecting a (conditional) expression."},
    {ANY, 134, "Syntax Error perr-0534: Expecting a semicolon to terminate the (conditional) expression."},
    {ANY, 135, "Syntax Error perr-0535: Expecting an expression evaluated after each loop."},
    {ANY, 136, "Syntax Error perr-0536: Expecting either a \",\" to separate another iteration expression from the current one or a closing bracket to specify the end of the for construct."},
    {ANY, 137, "Syntax Error perr-0537: Expecting \"{\" to start the loop block."},
    {ANY, 150, "Syntax Error perr-0550: Expecting \"{\" to start the loop block of this do-while-loop."},
    {ANY, 151, "Syntax Error perr-0551: Expecting while keyword for this do-loop."},
    {ANY, 152, "Syntax Error perr-0552: Expecting an opening bracket."},
    {ANY, 153, "Syntax Error perr-0553: Expecting an expression inside while()."},
    {ANY, 155, "Syntax Error perr-0555: Semicolon expected."},
    {ANY, 160, "Syntax Error perr-0560: Opening bracket after while expected."},
    {ANY, 161, "Syntax Error perr-0561: Expecting an expression inside while()."},
    {ANY, 162, "Syntax Error perr-0562: Expecting either a comma to separate different expressions or a closing bracket."},
    {ANY, 163, "Syntax Error perr-0563: Expecting \"{\" to start the loop expressions."},
    {ANY, 170, "Syntax Error perr-0570: Expecting \"void\" as parameter to bailout/stop function."},
    {ANY, 171, "Syntax Error perr-0571: Expecting \")\" after void."},
    {ANY, 172, "Syntax Error perr-0572: Expecting \"{\" to start the function body."},
    {ANY, 173, "Syntax Error perr-0573: Expecting \"return\" keyword: this function body must consist of a single return(boolean expression) statement."},
    {ANY, 174, "Syntax Error perr-0574: Expecting a boolean expression: bailout/stop function body must consist of a single return(boolean expression) statement."},
    {ANY, 175, "Syntax Error perr-0575: Expecting \";\"  to specify the end of the return expression."},
    {ANY, 176, "Syntax Error perr-0576: Expecting \"}\"  to specify the end of the bailout/stop function."},
    {NB, 200, "Syntax Error perr-0600: void expected"},
    {NB, 201, "Syntax Error perr-0601: closing bracket expected"},
    {NB, 202, "Syntax Error perr-0602: Expecting \"{\" to start the description function body."},
    {11, 203, "Syntax Error perr-0603: Expecting either \"}\" to finish the description function body or a variable description expression."},
    {ANY, 203, "Syntax Error perr-0603: Expecting an identifier."},
    {ANY, 204, "Syntax Error perr-0604: Expecting a '.' to separate the property from the identifier."},
    {ANY, 205, "Syntax Error perr-0605: Expecting a property name like title or caption."},
    {ANY, 206, "Syntax Error perr-0606: Expecting a '=' to assign a value to this property."},
    {ANY, 207, "Syntax Error perr-0607: Expecting a boolean, double, complex or string constant."},
    {ANY, 208, "Syntax Error perr-0608: Expecting a semicolon to terminate this property assignment."},
    {ANY, 209, "Syntax Error perr-0609: Expecting a '=' to assign a value to this property."},
    {ANY, 210, "Syntax Error perr-0610: Expecting an expression for this property."},
    {ANY, 211, "Syntax Error perr-0611: Expecting a fullstop '.'"},
    {ANY, 212, "Syntax Error perr-0612: Expecting an identifier (a label) for this separator."},
    {ANY, 213, "Syntax Error perr-0613: Expecting a fullstop after the separator identifier."},
    {ANY, 220, "Syntax Error perr-0620: Parameter type expected in this function declaration."},
    {ANY, 222, "Syntax Error perr-0622: Parameter identifier expected."},
    {ANY, 223, "Syntax Error perr-0623: Valid array identifier expected."},
    {ANY, 224, "Syntax Error perr-0624: Expected \"[\" to specify array dimension"},
    {ANY, 225, "Syntax Error perr-0625: Expected an integer number specifying the array dimension"},
    {ANY, 226, "Syntax Error perr-0626: Expected \"]\" to finish specifying the array dimension"},
    {ANY, 227, "Syntax Error perr-0627: Expected keyword \"of\" after array definition in order to specify the type of variables the array should contain"},
    {ANY, 228, "Syntax Error perr-0628: Expected a valid variable type for the array elements"},
    {ANY, 230, "Syntax Error perr-0630: Expected either a comma or a closing bracket after that parameter definition."},
    {ANY, 231, "Syntax Error perr-0631: Expected a closing bracket after void"},
    {ANY, 232, "Syntax Error perr-0632: Expected either a semicolon or the start of a function definition."},
    {ANY, 237, "Syntax Error perr-0637: Expected definitions for local variables."},
    {ANY, 238, "Syntax Error perr-0638: Identifier for a local variable expected"},
    {ANY, 239, "Syntax Error perr-0639: Either comma or semicolon expected"},
    {ANY, 240, "Syntax Error perr-0640: Expecting a \"(\" in order to specify the return value."},
    {ANY, 241, "Syntax Error perr-0641: Expecting a return value"},
    {ANY, 242, "Syntax Error perr-0642: Expecting a semicolon to end this return statement."},
    {ANY, 250, "Syntax Error perr-0650: Expected an identifier for a library file."},
    {ANY, 251, "Syntax Error perr-0651: Expected a \".\""},
    {ANY, 252, "Syntax Error perr-0652: Expected an identifier for a class inside a library file."},
    {ANY, 253, "Syntax Error perr-0653: Expected keyword \"as\" to specify an alias name for that imported class."},
    {ANY, 254, "Syntax Error perr-0654: Expected an alias name for that imported class."},
    {ANY, 255, "Syntax Error perr-0655: Semicolon expected"},
    {NB, 260, "Syntax Error perr-0660: Expecting a constant expression specifying the array dimension."},
    {NB, 261, "Syntax Error perr-0661: Expecting either a comma to specify further array dimensions or a closing bracket ']'."},
    {TABLE_END, TABLE_END, "Internal Error perr-0001: Unknown error, bug in Spiralix, please report the formula to the author."},
};

void TextLineAndColumn(const char* text, int position, int* line, int* column)
{
    int lines = 1;
    int lastFeed = -1;
    for (int i = 0; i < position && text[i]; i++) {
        if (text[i] == '\n') {
            lines++;
            lastFeed = i;
        }
    }
    // The column counts from the first character after the line break
    // (its line feed and carriage return characters skipped), but never
    // past the position itself, so an empty line gives column 0.
    int k = lastFeed < 0 ? 0 : lastFeed;
    while (k < position && (text[k] == '\n' || text[k] == '\r'))
        k++;
    *line = lines;
    *column = position - k;
}

bool FormulaCompiler::reportsSilenced() const
{
    return name[0] == 0 || IsCalculationThread();
}

void FormulaCompiler::reportError(const char* text, int state, int position)
{
    if (reportsSilenced())
        return;
    errorCount++;

    int context = blockStack && !blockStack->isEmpty() ? blockStack->peek(0) : CONTEXT_NO_BLOCK;
    const SyntaxErrorRow* row = nullptr;
    for (int i = 0; i < SYNTAX_ERROR_ROWS - 1 && !row; i++) {
        if (g_SyntaxErrors[i].state == state && g_SyntaxErrors[i].context == context)
            row = &g_SyntaxErrors[i];
    }
    for (int i = 0; i < SYNTAX_ERROR_ROWS - 1 && !row; i++) {
        if (g_SyntaxErrors[i].state == state && g_SyntaxErrors[i].context == CONTEXT_ANY)
            row = &g_SyntaxErrors[i];
    }
    if (!row)
        row = &g_SyntaxErrors[SYNTAX_ERROR_ROWS - 1];

    int line = 1, column = 0;
    if (text)
        TextLineAndColumn(text, position, &line, &column);
    char first[300];
    snprintf(first, sizeof first, "Error in formula %s, line %d at char %d:", name, line, column);
    int end = position;
    if (text) {
        while (text[end] && text[end] != '\n' && text[end] != '\r')
            end++;
    }
    const char* lines[3] = {first, row->message, nullptr};
    AddMessage(lines, MSG_ERROR, WID_COMPILER, 0, line, position, end, (intptr_t)formulaNode, true);
    if (g_FormulaEditorSelectRange && formulaNode)
        g_FormulaEditorSelectRange(kind, position, end, true);
    RaiseMessageWindow();
}

void FormulaCompiler::report(const char* text, int start, int end, const char* message, bool toFront,
                             int type)
{
    if (reportsSilenced())
        return;
    errorCount++;

    const char* header;
    switch (type) {
    case MSG_ERROR: header = "Error - formula %s"; break;
    case MSG_WARNING: header = "Warning - formula %s"; break;
    case MSG_TIP: header = "Tip - formula %s"; break;
    default: header = "Note - formula %s"; break;
    }
    char head[200];
    snprintf(head, sizeof head, header, name);
    char first[300];
    int line = 1;
    if (end > start && start > 0 && text) {
        int column = 0;
        TextLineAndColumn(text, start, &line, &column);
        snprintf(first, sizeof first, "%s, line %d at char %d:", head, line, column);
    } else {
        snprintf(first, sizeof first, "%s:", head);
    }

    // The message is cut into its lines in a copy.
    char* copy = strdup(message ? message : "");
    if (!copy)
        return;
    int lineCount = 2;
    for (const char* c = copy; *c; c++)
        lineCount += *c == '\n';
    const char** lines = static_cast<const char**>(malloc(sizeof(char*) * (size_t)(lineCount + 1)));
    if (!lines) {
        free(copy);
        return;
    }
    int n = 0;
    lines[n++] = first;
    char* part = copy;
    for (;;) {
        lines[n++] = part;
        char* feed = strchr(part, '\n');
        if (!feed)
            break;
        *feed = 0;
        part = feed + 1;
    }
    lines[n] = nullptr;
    AddMessage(lines, type, WID_COMPILER, 0, line, start, end, (intptr_t)formulaNode, true);
    free(lines);
    free(copy);

    if (g_FormulaEditorSelectRange && end >= start && formulaNode)
        g_FormulaEditorSelectRange(kind, start, end + 1, toFront);
    if (toFront)
        RaiseMessageWindow();
}

void FormulaCompiler::reportf(const char* text, int start, int end, bool toFront, int type,
                              const char* format, ...)
{
    char buffer[2000];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    report(text, start, end, buffer, toFront, type);
}
