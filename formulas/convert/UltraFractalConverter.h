// Turns one UltraFractal entry (".ufm" iteration formula, ".ucl" colouring,
// ".uxf" transformation) into one entry of the program's own language: the
// labelled sections become functions, the "default:" section the
// description, and every parameter and variable gets a declaration. A
// first pass joins continued lines; a scored rule machine walks the rest.
#pragma once

#include <string>
#include <vector>

#include "formulas/convert/ConvertText.h"

class UltraFractalConverter {
public:
    UltraFractalConverter();
    ~UltraFractalConverter();

    // 0 transformation, 1 iteration formula, 2 colouring formula.
    int mode = 1;

    // Converts one entry; true on success, the text is then Output(). Any
    // exception yields false.
    bool Convert(const char* entryText);
    const std::string& Output() const { return output.text; }

    // The winning rule at position in state, or -1.
    int MatchRules(const char* text, int position, int state);
    // Writes the output of a rule; may move the text position on. False
    // ends the conversion.
    bool ApplyAction(const char* text, int start, int end, int row, int* position);
    // One statement, condition or value into the own language.
    std::string TranslateExpression(const std::string& text);
    // The functions the mode requires and the entry lacks.
    void AddEmptySections();

    // A parameter or variable the entry uses.
    struct Symbol {
        std::string name;
        int dataType;        // 0 complex, 1 real, 2 int, 3 bool, 8 color
        int symbolClass;     // SYM_VARIABLE or SYM_PARAMETER
        std::string dimension;  // arrays: the dimension text ending in ";"
    };

private:
    bool ConvertEntry(const char* entryText);
    void FirstPass(const char* entryText);
    void WriteCommentOrDirective(const char* text, int* position, bool directive, int state);
    void WriteDeclarations();
    Symbol* FindSymbol(const std::string& name);
    void Statement(const std::string& matched);
    void EndOfCode(bool description);
    void CutBailoutStatement(const char* close);
    void PropertyLine(const std::string& property);
    void CopyValue(const char* text, int* position);
    void CopyLine(const char* text, int* position);
    void CopyMethodValue(const char* text, int* position);
    void TypeFromDefault(const char* text, int position);

    struct Match {
        int score, priority, start, end, next;
    };
    std::vector<Match> matches;
    int indentation = 0;
    int declarationPosition = -1;
    std::vector<Symbol> symbols;
    std::string input;
    convert::ConvertOutput output;
    std::string currentName;
    int statementStart = 0;
    int statementEnd = 0;
    int pendingType = -1;
    int bailoutState = -1;
    int headingCounter = 1;
    bool hasInit = false, hasLoop = false, hasBailout = false, hasFinal = false, hasTransform = false;
};
