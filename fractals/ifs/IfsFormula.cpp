// The IFS formula records, the compilation of their coefficients and the
// operations of the IFS formula window: show, take an edited coefficient,
// rename, refill the lists, recalculate the fractals using a formula.
#include "fractals/ifs/IfsFormula.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <vector>

#include "compiler/FormulaSymbol.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/PlainBlocks.h"
#include "fractals/ifs/IfsParser.h"

IfsWindowLink g_IfsWindow;
IfsFormula* g_CurrentIfsFormula = nullptr;
int g_CurrentIfsTransformation = 0;

const char* const IfsElementDescription[IFS_COEFFICIENTS] = {
    "Parsing Matrix element row 1, column 1", "Parsing Matrix element row 1, column 2",
    "Parsing Matrix element row 1, column 3", "Parsing Matrix element row 2, column 1",
    "Parsing Matrix element row 2, column 2", "Parsing Matrix element row 2, column 3",
    "Parsing Matrix element row 3, column 1", "Parsing Matrix element row 3, column 2",
    "Parsing Matrix element row 3, column 3", "Parsing Vector element 1",
    "Parsing Vector element 2",               "Parsing Vector element 3",
    "Parsing Probability",
};

namespace {

CRITICAL_SECTION& FormulasLock()
{
    static CRITICAL_SECTION lock;
    static bool ready = (InitializeCriticalSection(&lock), true);
    (void)ready;
    return lock;
}

struct HeldLock {
    HeldLock() { LockIfsFormulas(); }
    ~HeldLock() { UnlockIfsFormulas(); }
};

// Deletes the symbol records a parse added.
struct ScratchSymbols {
    NodeList list;
    ~ScratchSymbols() { list.DeleteAllNodes(); }
};

uint32_t* CopyStream(const uint32_t* scratch, int size)
{
    auto* stream = static_cast<uint32_t*>(malloc(size + 10));
    if (stream)
        memcpy(stream, scratch, size + 10);
    return stream;
}

// Parses text into scratch; the result of ParseFormula, with variables
// refused as code 9.
int ParseCoefficient(const char* text, uint32_t* scratch)
{
    ScratchSymbols symbols;
    int size = ParseFormula(text, scratch, &symbols.list, IFS_SCRATCH_BYTES - 12);
    if (size > 0 && !symbols.list.IsEmpty())
        return -9;
    return size;
}

}  // namespace

void LockIfsFormulas() { EnterCriticalSection(&FormulasLock()); }
void UnlockIfsFormulas() { LeaveCriticalSection(&FormulasLock()); }

IfsTransformation::IfsTransformation()
    : matrixTexts(), matrixTextSizes(), vectorTexts(), vectorTextSizes(), probabilityText(nullptr),
      probabilityTextSize(0), matrixStreams(), matrixStreamSizes(), vectorStreams(), vectorStreamSizes(),
      probabilityStream(nullptr), probabilityStreamSize(0)
{
}

IfsTransformation::~IfsTransformation()
{
    for (int i = 0; i < IFS_COEFFICIENTS; i++) {
        free(Text(i));
        free(Stream(i));
    }
}

char*& IfsTransformation::Text(int i)
{
    return i < IFS_MATRIX ? matrixTexts[i] : i < IFS_T1 + IFS_VECTOR ? vectorTexts[i - IFS_T1] : probabilityText;
}

const char* IfsTransformation::Text(int i) const
{
    return const_cast<IfsTransformation*>(this)->Text(i);
}

int32_t& IfsTransformation::TextSize(int i)
{
    return i < IFS_MATRIX ? matrixTextSizes[i]
                          : i < IFS_T1 + IFS_VECTOR ? vectorTextSizes[i - IFS_T1] : probabilityTextSize;
}

uint32_t*& IfsTransformation::Stream(int i)
{
    return i < IFS_MATRIX ? matrixStreams[i] : i < IFS_T1 + IFS_VECTOR ? vectorStreams[i - IFS_T1] : probabilityStream;
}

int32_t& IfsTransformation::StreamSize(int i)
{
    return i < IFS_MATRIX ? matrixStreamSizes[i]
                          : i < IFS_T1 + IFS_VECTOR ? vectorStreamSizes[i - IFS_T1] : probabilityStreamSize;
}

void IfsTransformation::SetText(int i, const char* text)
{
    free(Text(i));
    Text(i) = nullptr;
    TextSize(i) = 0;
    if (!text || !*text)
        return;
    size_t size = strlen(text) + 10;
    Text(i) = static_cast<char*>(calloc(size, 1));
    if (!Text(i))
        return;
    strcpy(Text(i), text);
    TextSize(i) = (int32_t)size;
}

IfsFormula::IfsFormula(const char* name) : text(nullptr)
{
    SetName(name);
}

IfsFormula::~IfsFormula()
{
    free(text);
    transformations.DeleteAllNodes();
}

int CompileIfsExpression(const char* formulaName, const char* elementDescription, const char* text,
                         uint32_t** stream, int32_t* size, int quiet)
{
    *stream = nullptr;
    *size = 0;
    if (!text || !*text)
        return 0;
    std::vector<uint32_t> scratch(IFS_SCRATCH_BYTES / 4);
    int n = ParseCoefficient(text, scratch.data());
    if (n <= 0) {
        if (!quiet) {
            char title[300];
            snprintf(title, sizeof title, "Formula %s: %s", formulaName, elementDescription);
            ReportParseError(title, text, n);
        }
        return 1;
    }
    *stream = CopyStream(scratch.data(), n);
    *size = *stream ? n + 10 : 0;
    return 0;
}

void CompileIfsTransformation(IfsTransformation* t, const char* formulaName, int quiet)
{
    HeldLock held;
    for (int i = 0; i < IFS_COEFFICIENTS; i++) {
        free(t->Stream(i));
        CompileIfsExpression(formulaName, IfsElementDescription[i], t->Text(i), &t->Stream(i), &t->StreamSize(i),
                             quiet);
    }
}

void UpdateIfsExpressionFromControl(IfsTransformation* t, int controlId)
{
    if (!t || controlId < IFS_CONTROL_FIRST || controlId > IFS_CONTROL_LAST)
        return;
    int i = controlId - IFS_CONTROL_FIRST;
    char text[FORMULA_TEXT_MAX + 2] = "";
    if (!g_IfsWindow.readControl || !g_IfsWindow.readControl(controlId, text, sizeof text))
        return;
    std::vector<uint32_t> scratch(IFS_SCRATCH_BYTES / 4);
    int n = ParseCoefficient(text, scratch.data());
    HeldLock held;
    t->SetText(i, text);
    if (n <= 0) {
        ReportParseError("Parsing", text, n);
        return;
    }
    if (n > 2000)
        n = 2000;
    uint32_t* stream = CopyStream(scratch.data(), n);
    if (!stream)
        return;
    free(t->Stream(i));
    t->Stream(i) = stream;
    t->StreamSize(i) = n + 10;
}

IfsFormula* FindIfsFormula(const char* name)
{
    return static_cast<IfsFormula*>(g_IfsFormulas.FindNoCase(name));
}

void ShowIfsFormula(IfsFormula* formula, int index)
{
    // Null means the first formula; one that is not (or no longer) listed
    // means the first with its first map.
    int position = formula ? g_IfsFormulas.IndexOf(formula) : 0;
    if (position < 0)
        index = 0;
    if (position <= 0) {
        formula = static_cast<IfsFormula*>(g_IfsFormulas.GetHead());
        position = 0;
    }
    g_CurrentIfsFormula = formula;
    if (!formula)
        return;
    if (g_IfsWindow.listSelect)
        g_IfsWindow.listSelect(position);
    if (g_IfsWindow.setNameField)
        g_IfsWindow.setNameField(formula->name);
    int count = formula->transformations.Count();
    if (index != count) {
        index = index < 0 ? 0 : index > count - 1 ? count - 1 : index;
        if (index < 0)
            index = 0;
    }
    auto* t = index < count ? static_cast<IfsTransformation*>(formula->transformations.GetAt(index)) : nullptr;
    if (g_IfsWindow.setCoefficientField)
        for (int i = 0; i < IFS_COEFFICIENTS; i++)
            g_IfsWindow.setCoefficientField(i, t && t->Text(i) ? t->Text(i) : "");
    g_CurrentIfsTransformation = index;
    if (g_IfsWindow.setCounter)
        g_IfsWindow.setCounter(count + 1, index + 1);
}

void RefreshIfsFormulaLists()
{
    if (g_IfsWindow.parameterPageShown && g_IfsWindow.parameterPageShown()) {
        if (g_IfsWindow.comboReset)
            g_IfsWindow.comboReset();
        for (ListNode* n = g_IfsFormulas.GetHead(); n; n = n->next)
            if (g_IfsWindow.comboAdd)
                g_IfsWindow.comboAdd(n->name);
        Fractal* f = g_IfsWindow.currentFractal ? g_IfsWindow.currentFractal() : nullptr;
        if (f && f->header->Type == FT_IFS && g_IfsWindow.comboSelect) {
            const char* name = static_cast<IFSParameters*>(f->typeParameters)->Formula;
            ListNode* found = g_IfsFormulas.FindNoCase(name);
            g_IfsWindow.comboSelect(found ? g_IfsFormulas.IndexOf(found) : -1);
        }
    }
    if (g_IfsWindow.formulaWindowOpen && g_IfsWindow.formulaWindowOpen()) {
        if (g_IfsWindow.listReset)
            g_IfsWindow.listReset();
        for (ListNode* n = g_IfsFormulas.GetHead(); n; n = n->next)
            if (g_IfsWindow.listAdd)
                g_IfsWindow.listAdd(n->name);
    }
}

namespace {

// Calls visit for every IFS fractal of every folder whose formula is name.
template <typename Visit>
void ForEachIfsFractalUsing(const char* name, Visit visit)
{
    for (ListNode* n = FolderList.GetHead(); n; n = n->next)
        for (ListNode* m = static_cast<FractalFolder*>(n)->fractals.GetHead(); m; m = m->next) {
            auto* f = static_cast<Fractal*>(m);
            if (f->header && f->header->Type == FT_IFS && f->typeParameters &&
                _stricmp(static_cast<IFSParameters*>(f->typeParameters)->Formula, name) == 0)
                visit(f);
        }
}

}  // namespace

void RecalculateIfsFractals(IfsFormula* formula)
{
    ForEachIfsFractalUsing(formula->name, [](Fractal* f) {
        if (f->task)
            f->Recalculate();
    });
}

void RenameIfsFormula(IfsFormula* formula, const char* newName)
{
    char oldName[ListNode::NODE_NAME_SIZE];
    strcpy(oldName, formula->name);
    char wanted[ListNode::NODE_NAME_SIZE];
    snprintf(wanted, sizeof wanted, "%s", newName);
    ForEachIfsFractalUsing(oldName, [&](Fractal* f) {
        char* field = static_cast<IFSParameters*>(f->typeParameters)->Formula;
        snprintf(field, 64, "%s", wanted);
    });
    HeldLock held;
    // The list keeps name order: take the formula out, rename it, put it back.
    bool listed = g_IfsFormulas.IndexOf(formula) >= 0;
    if (listed)
        g_IfsFormulas.Remove(formula);
    char unique[ListNode::NODE_NAME_SIZE];
    g_IfsFormulas.MakeUniqueName(wanted, unique, false);
    formula->SetName(unique);
    if (listed)
        g_IfsFormulas.InsertSorted(formula, false);
    RefreshIfsFormulaLists();
    if (g_CurrentIfsFormula == formula)
        ShowIfsFormula(formula, g_CurrentIfsTransformation);
}
