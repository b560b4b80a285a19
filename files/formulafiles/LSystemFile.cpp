// Reading and writing L-system files. An entry's body is prepared (comments
// out, upper case) and read line by line: ANGLE and AXIOM statements in
// either the "WORD value" or the "WORD=value" form, and "X=text" rules,
// merged by symbol after reading.
#include "files/formulafiles/LSystemFile.h"

#include <stdlib.h>
#include <string.h>
#include <string>

#include "files/entry/EntryTokens.h"
#include "files/formulafiles/FormulaBody.h"
#include "formulas/FormulaEdit.h"
#include "formulas/FormulaNode.h"
#include "formulas/ScanProgress.h"
#include "foundation/FileUtil.h"
#include "foundation/LogFile.h"
#include "foundation/Services.h"
#include "foundation/Thread.h"
#include "fractals/lsystem/LSystemFormula.h"

namespace {

// The value of an ANGLE or AXIOM statement: the rest of the first token
// after "WORD=", or else the line's next token. False when there is none.
bool StatementValue(const char* line, const char* first, int afterFirst, std::string* value)
{
    if (first[5] == '=') {
        *value = first + 6;
        return true;
    }
    char* next = nullptr;
    int end = NextWholeToken(line, &next, afterFirst);
    bool found = end >= 0 && next;
    if (found)
        *value = next;
    free(next);
    return found;
}

void ReadStatement(LSystemFormula* formula, const char* line)
{
    char* first = nullptr;
    int afterFirst = NextWholeToken(line, &first, 0);
    if (afterFirst < 0 || !first) {
        free(first);
        return;
    }
    std::string value;
    if (strncmp(first, "ANGLE", 5) == 0) {
        double divisor;
        if (StatementValue(line, first, afterFirst, &value) && sscanf(value.c_str(), "%lf", &divisor) == 1)
            formula->angleDivisor = divisor;
    } else if (strncmp(first, "AXIOM", 5) == 0) {
        if (StatementValue(line, first, afterFirst, &value))
            formula->SetAxiom(value.c_str());
    } else if (first[0] && first[1] == '=') {
        formula->AddRule(first[0], first + 2);
    }
    free(first);
}

}  // namespace

void ReadLSystemFormula(LSystemFormula* formula, const char* body)
{
    if (!formula || !body)
        return;
    ForEachFormulaLine(body, [formula](const char* line) { ReadStatement(formula, line); });
}

LSystemFormula* ReadLSystemEntry(const char* text)
{
    char name[ListNode::NODE_NAME_SIZE];
    std::string body;
    if (!SplitFormulaEntry(text, name, &body))
        return nullptr;
    LSystemFormula* formula = new LSystemFormula(name);
    ReadLSystemFormula(formula, body.c_str());
    formula->MergeRules();
    // A calculation may be looking a formula up meanwhile.
    g_LSystemFormulasLock.Lock();
    g_LSystemFormulas.InsertSorted(formula, true);
    g_LSystemFormulasLock.Unlock();
    return formula;
}

int LoadLSystemFile(const char* directory, const char* fileName)
{
    return LoadFormulaFile(directory, fileName, "Loading LSystem formula from file ",
                           [](const char* text) { return ReadLSystemEntry(text) != nullptr; });
}

void WriteLSystemFormula(const LSystemFormula* formula, const char* directory, const char* fileName, FILE* file)
{
    if (!formula)
        return;
    FILE* out = OpenFormulaOutput(directory, fileName, file);
    if (!out)
        return;
    fprintf(out, "%s  {\n", formula->name);
    fprintf(out, "Angle %.3lf\n", formula->angleDivisor);
    fprintf(out, "Axiom %s\n", formula->axiom && *formula->axiom ? formula->axiom : "x");
    for (const ListNode* n = formula->rules.GetHead(); n; n = n->next) {
        const LSystemRule* r = static_cast<const LSystemRule*>(n);
        fprintf(out, " %c=%s\n", r->symbol, r->replacement && *r->replacement ? r->replacement : "y");
    }
    fputs("}", out);
    if (!file)
        fclose(out);
}
