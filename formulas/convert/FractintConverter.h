// Turns one Fractint formula entry ("name (symmetry) { init : loop,
// bailout }") into an iteration formula of the program's own language:
// init, loop and bailout functions, a description with the title and the
// properties of fn1..fn4, p1..p3 and ismand, and declarations for every
// variable the entry uses. A table-driven state machine walks the entry.
#pragma once

#include <string>
#include <vector>

#include "formulas/convert/ConvertText.h"

class FormulaCompiler;

class FractintConverter {
public:
    FractintConverter();
    ~FractintConverter();

    // Converts one entry (its name through its closing brace); true on
    // success, the text is then Output(). Any exception yields false.
    bool Convert(const char* entryText);
    const std::string& Output() const { return output.text; }

    // The winning rule for the text at position in state, or -1.
    int MatchRules(const char* text, int position, int state);
    // Writes the output of a rule's action for the matched text.
    void ApplyAction(const char* text, int start, int end, int row);
    // One statement or condition into the own language; collects the
    // variables it uses.
    std::string TranslateExpression(const std::string& expression);

    // A collected variable: its name and declared type name.
    struct Variable {
        std::string name;
        const char* typeName;
    };

private:
    bool ConvertEntry(const char* entryText);
    void JoinContinuedLines(const char* entryText);
    void Finish();
    void AddDescriptionAndDeclarations();
    bool IsKnownName(const std::string& lowerName) const;

    struct Match {
        int score, start, end, next;
    };
    std::vector<Match> matches;
    int indentation = 0;
    int declarationPosition = -1;
    bool functionUsed[4] = {};
    std::string input;
    convert::ConvertOutput output;
    std::string title;
    int statementStart = 0;
    int statementEnd = 0;
    int statementCount = 0;
    bool dropGroup = false;
    std::vector<Variable> variables;   // recorded by the conversion, in order
};

// Compiles the converted text once and rewrites the declaration "complex"
// of every variable that needs only a real value as "real   " (same
// length, so no offset moves). Returns false when the text did not compile.
class CompileHost;
bool NarrowComplexDeclarations(FormulaCompiler* compiler, std::string& convertedText, CompileHost* fractal = nullptr);
