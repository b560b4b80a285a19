// Reading and writing IFS files. An entry's body is prepared (comments out,
// upper case) and read line by line; a line of 7 items is a 2D map (the
// third matrix row becomes "0 0 1" by giving m33 the text "1"), a line of
// 13 items a 3D map. Written maps always have 13 items.
#include "files/formulafiles/IfsFile.h"

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
#include "fractals/ifs/IfsFormula.h"

namespace {

// Where the 7 items of a 2D map go.
const int k2DSlots[7] = {IFS_M11, IFS_M12, IFS_M21, IFS_M22, IFS_T1, IFS_T2, IFS_PROBABILITY};

int CountTokens(const char* line)
{
    char token[TOKEN_CAPACITY];
    int count = 0;
    for (int position = 0; (position = NextToken(line, token, position)) >= 0;)
        count++;
    return count;
}

void ReadMap(IfsFormula* formula, const char* line)
{
    int items = CountTokens(line);
    if (items != 7 && items != IFS_COEFFICIENTS)
        return;
    auto* t = new IfsTransformation();
    char token[TOKEN_CAPACITY];
    int position = 0;
    for (int i = 0; i < items; i++) {
        int slot = items == 7 ? k2DSlots[i] : i;
        int size = 0;
        position = NextTokenCopy(line, token, position, &t->Text(slot), &size);
        t->TextSize(slot) = size;
    }
    if (items == 7) {
        t->Text(IFS_M33) = static_cast<char*>(calloc(4, 1));
        if (t->Text(IFS_M33)) {
            t->Text(IFS_M33)[0] = '1';
            t->TextSize(IFS_M33) = 4;
        }
    }
    formula->transformations.Append(t);
    CompileIfsTransformation(t, formula->name, 1);
}

}  // namespace

int NextTokenCopy(const char* line, char* buffer, int position, char** text, int* capacity)
{
    int next = NextToken(line, buffer, position);
    free(*text);
    *text = nullptr;
    *capacity = 0;
    if (next < 0)
        return next;
    size_t size = strlen(buffer) + 10;
    *text = static_cast<char*>(calloc(size, 1));
    if (*text) {
        strcpy(*text, buffer);
        *capacity = (int)size;
    }
    return next;
}

void ReadIfsFormula(IfsFormula* formula, const char* body)
{
    if (!formula || !body)
        return;
    ForEachFormulaLine(body, [formula](const char* line) { ReadMap(formula, line); });
}

IfsFormula* ReadIfsEntry(const char* text)
{
    char name[ListNode::NODE_NAME_SIZE];
    std::string body;
    if (!SplitFormulaEntry(text, name, &body))
        return nullptr;
    auto* formula = new IfsFormula(name);
    ReadIfsFormula(formula, body.c_str());
    LockIfsFormulas();
    g_IfsFormulas.InsertSorted(formula, true);
    UnlockIfsFormulas();
    return formula;
}

int LoadIfsFile(const char* directory, const char* fileName)
{
    return LoadFormulaFile(directory, fileName, "Loading IFS from file ",
                           [](const char* text) { return ReadIfsEntry(text) != nullptr; });
}

void WriteIfsFormula(const IfsFormula* formula, const char* directory, const char* fileName, FILE* file)
{
    if (!formula)
        return;
    FILE* out = OpenFormulaOutput(directory, fileName, file);
    if (!out)
        return;
    fprintf(out, "%s  {\n", formula->name);
    for (const ListNode* n = formula->transformations.GetHead(); n; n = n->next) {
        auto* t = static_cast<const IfsTransformation*>(n);
        for (int i = 0; i < IFS_COEFFICIENTS; i++) {
            const char* item = t->Text(i);
            fprintf(out, " %s", item && *item ? item : "0");
        }
        fputs("\n", out);
    }
    fputs("}", out);
    if (!file)
        fclose(out);
}
