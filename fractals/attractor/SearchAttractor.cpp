// The compile side of the attractor parameter search: the considered
// transformations (neither hidden nor post) are compiled into one variable
// block with the search's own compiler, their parameters become the walk's
// values, and every trial writes them into the block and estimates the
// exponent under the exception guard. The trials themselves (walk, picks,
// acceptance, restoring) are RunAttractorTrials.
#include "fractals/attractor/SearchAttractor.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "calc/FormulaInstance.h"
#include "calc/FractalTask.h"
#include "calc/task/FractalThread.h"
#include "calc/task/Reports.h"
#include "calc/task/TaskHooks.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "compiler/ParameterTransfer.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/Buffers.h"
#include "foundation/Guard.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Messages.h"
#include "fractals/AttractorFormula.h"
#include "fractals/attractor/AttractorBinding.h"
#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorProgram.h"

void (*g_ShowAttractorSearchText)(Fractal* fractal, const char* text) = nullptr;
int g_AttractorSearchTrials = 100000;

namespace {

enum { SUB_KIND_ATTRACTOR = 11, TRANSFORMATION_KIND = 1, SYMBOL_KIND = 2, SPARE = 3000 };

AttractorParameters* BlockOf(Fractal* fractal)
{
    return static_cast<AttractorParameters*>(fractal->typeParameters);
}

bool NotFound(const char* foundName)
{
    return strncmp(foundName, "Not Found:", 10) == 0;
}

// The transformations a search of formula (null: every formula that is
// not hidden) works on: neither hidden nor post transformations.
std::vector<AttractorTransformation*> Considered(AttractorParameters* block, AttractorFormula* only)
{
    std::vector<AttractorTransformation*> list;
    for (ListNode* n = block->formulas.GetHead(); n; n = n->next) {
        AttractorFormula* formula = static_cast<AttractorFormula*>(n);
        if (only ? formula != only : (formula->flags & ATTRACTOR_FORMULA_HIDDEN) != 0)
            continue;
        for (ListNode* m = formula->transformations.GetHead(); m; m = m->next) {
            AttractorTransformation* t = static_cast<AttractorTransformation*>(m);
            if (!t->hidden && !t->final)
                list.push_back(t);
        }
    }
    return list;
}

// The walk's view of a transformation's parameters: only the value types
// the search changes; a randomise bound beyond +-1e20 means none, and the
// value range's bound serves.
void AddSearchParameters(NodeList* parameters, std::vector<AttractorSearchParameter>* out)
{
    for (ListNode* n = parameters->GetHead(); n; n = n->next) {
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        int type = s->dataType;
        if (!(type >= DT_COMPLEX && type <= DT_QUATERNION) && type != DT_COLOR && type != DT_VECTOR)
            continue;
        AttractorSearchParameter p;
        p.value = s->value;
        p.defaults = s->defaultValue;
        p.components = SymbolComponentCount(type);
        p.lo = s->randomizeMin < -1e20 ? s->minimum : s->randomizeMin;
        p.hi = s->randomizeMax > 1e20 ? s->maximum : s->randomizeMax;
        p.randomizationType = s->randomizationType;
        p.randomizable = s->randomizable && s->enabled && s->visible;
        p.integer = type == DT_INT || type == DT_BOOL;
        out->push_back(p);
    }
}

struct SearchRun {
    Fractal* fractal;
    FractalTask* task;
    AttractorParameters* block;
    uint8_t* base;
    std::vector<NodeList*> symbols;   // the compiled symbols of each considered transformation
    std::vector<AttractorTransformation*> considered;
    const void* init;
    const void* loop;
    int mode;
    bool memoryFailure;
};

double EstimateGuarded(SearchRun* run, int settle, int measure, double epsilon)
{
    double e = 0.1;
    DWORD code = Guarded([&] {
        e = EstimateAttractorExponent(run->base, run->init, run->loop, settle, measure, epsilon, run->mode, &rand);
    });
    if (code != 0) {
        e = 0.1;
        if (code != EXCEPTION_STOP_THREAD) {
            char text[64];
            snprintf(text, sizeof text, "exception 0x%08lX", (unsigned long)code);
            PostThreadMessageText(run->fractal, "Exception during search:", text, MSG_ERROR);
        }
    }
    return e;
}

// One trial's estimate: the block bound afresh, the walk's values written
// into it, then the short or the precise measure.
double Estimate(void* context, bool precise)
{
    SearchRun* run = static_cast<SearchRun*>(context);
    if (run->memoryFailure)
        return 0;
    for (NodeList* symbols : run->symbols)
        storeSymbolValues(run->base, symbols, nullptr, nullptr, false, SYMBOL_KIND);
    AttractorBinding b;
    b.block = run->block;
    b.imageWidth = run->fractal->header->Width;
    b.imageHeight = run->fractal->header->Height;
    b.tick = GetTickCount();
    if (run->task) {
        b.colourTable = run->task->dib.colors;
        b.weights = run->task->attractorWeights;
        b.colours = run->task->attractorColours;
    }
    BindAttractorVariables(b, run->base);
    for (AttractorTransformation* t : run->considered)
        if (storeParameterValuesDirect(run->base, &t->parameters, run->fractal, TRANSFORMATION_KIND, 0, true))
            run->memoryFailure = true;
    if (run->memoryFailure)
        return 0;
    return precise ? EstimateGuarded(run, 10000, 10000, 1e-12) : EstimateGuarded(run, 1000, 100, 0.00001);
}

bool Pending(void* context)
{
    SearchRun* run = static_cast<SearchRun*>(context);
    return run->memoryFailure || (run->task && CommandPending(run->task));
}

void Show(void* context, const char* text)
{
    SearchRun* run = static_cast<SearchRun*>(context);
    if (g_ShowAttractorSearchText)
        g_ShowAttractorSearchText(run->fractal, text);
}

}  // namespace

void DrawAttractorSearchBox(HWND window, int imageWidth, int imageHeight, const char* text)
{
    HDC dc = window ? GetDC(window) : nullptr;
    if (!dc)
        return;
    const COLORREF background = 0xD8D0C8, ink = 0x000030;
    SetBkColor(dc, background);
    SetTextColor(dc, ink);
    RECT measure = {0, 0, 0, 0};
    char widest[] = "Searching...99999.99";
    DrawTextExA(dc, widest, -1, &measure, DT_SINGLELINE | DT_CALCRECT, nullptr);
    int tw = measure.right - measure.left, th = measure.bottom - measure.top;
    RECT box = {imageWidth / 2 - tw / 2, imageHeight / 2 - th / 2 - 3, imageWidth / 2 + tw / 2 + 2,
                imageHeight / 2 + th / 2 + 5};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &box, brush);
    DeleteObject(brush);
    box.right -= 1;
    box.bottom -= 1;
    DrawEdge(dc, &box, EDGE_ETCHED, BF_RECT);
    char copy[128];
    snprintf(copy, sizeof copy, "%s", text);
    DrawTextExA(dc, copy, -1, &box, DT_SINGLELINE | DT_CENTER | DT_VCENTER, nullptr);
    ReleaseDC(window, dc);
}

AttractorSearchOutcome SearchAttractorFormula(Fractal* fractal, AttractorFormula* formula, int count,
                                              bool measureOnly, double* estimate, int maxTrials)
{
    if (estimate)
        *estimate = 0;
    AttractorParameters* block = BlockOf(fractal);
    SearchRun run = {};
    run.fractal = fractal;
    run.task = fractal->task;
    run.block = block;
    run.considered = Considered(block, formula);
    if (run.considered.empty())
        return SEARCH_FAILED;
    Show(&run, measureOnly ? "Exponent: " : "Searching...");

    FormulaCompiler compiler;
    AlignedBuffer data(SPARE, SPARE);
    GrowBuffer arrayTable(2000);
    int arrayCount = 0;
    NodeList shared;
    std::vector<NodeList*> functionLists;
    PurgeUnusedTextures();
    int top = 0, bottom = -128;
    const char* failedName = nullptr;
    for (AttractorTransformation* t : run.considered) {
        ReleaseTextureUser(fractal, TRANSFORMATION_KIND, t->holder);
        compiler.setKind(TRANSFORMATION_KIND);
        compiler.setSharedVariables(&shared);
        const char* source = t->holder ? t->holder->GetSource() : nullptr;
        bool ok = source &&
                  compiler.compile(source, top, bottom, &t->parameters, &t->functions, fractal, nullptr,
                                   SUB_KIND_ATTRACTOR, nullptr, false, true) &&
                  compiler.subKind == SUB_KIND_ATTRACTOR && !NotFound(t->foundName);
        compiler.setSharedVariables(nullptr);
        FormulaCompiler::copySymbols(&compiler.symbols, &shared, 2);
        if (!ok) {
            failedName = t->foundName[0] ? t->foundName : t->entryName;
            compiler.freeResults();
            break;
        }
        t->holder->word = 1;
        NodeList* functions = new NodeList();
        compiler.takeFunctions(functions);
        functionLists.push_back(functions);
        top = compiler.dataTop;
        bottom = compiler.dataBottom;
        data.Reserve(top, -bottom, SPARE, SPARE);
        uint8_t* base = data.GetBase();
        if (!base || storeSymbolValues(base, &compiler.symbols, &arrayTable, &arrayCount, true, SYMBOL_KIND) ||
            storeParameterValues(base, &t->parameters, &compiler.symbols, fractal, TRANSFORMATION_KIND, 0, true,
                                 true))
            run.memoryFailure = true;
        run.symbols.push_back(new NodeList());
        FormulaCompiler::copySymbols(&compiler.symbols, run.symbols.back(), 2);
        compiler.symbols.DeleteAllNodes();
        PurgeUnusedTextures();
        if (run.memoryFailure)
            break;
    }

    AttractorSearchOutcome outcome = SEARCH_FAILED;
    GrowBuffer initProgram(2000, true), loopProgram(2000, true);
    if (!failedName && !run.memoryFailure) {
        std::vector<AttractorPieces> pieces;
        for (NodeList* list : functionLists)
            pieces.push_back(FindAttractorPieces(list));
        run.mode = EmitAttractorInitGlue(pieces, &initProgram, &loopProgram);
        run.base = data.GetBase();
        run.init = initProgram.GetData();
        run.loop = loopProgram.GetData();
        if (!run.mode)
            run.memoryFailure = true;
    }
    for (NodeList* list : functionLists) {
        list->DeleteAllNodes();
        delete list;
    }
    if (!failedName && !run.memoryFailure) {
        std::vector<AttractorSearchParameter> parameters;
        for (AttractorTransformation* t : run.considered)
            AddSearchParameters(&t->parameters, &parameters);
        srand(GetTickCount());
        AttractorSearchHooks hooks;
        hooks.context = &run;
        hooks.estimate = &Estimate;
        hooks.commandPending = &Pending;
        hooks.show = &Show;
        outcome = RunAttractorTrials(parameters, count, block->Randomness, run.mode, measureOnly, hooks, estimate,
                                     maxTrials > 0 ? maxTrials : g_AttractorSearchTrials);
        if (run.memoryFailure)
            outcome = SEARCH_FAILED;
    }

    if (failedName) {
        char text[96];
        snprintf(text, sizeof text, "Cannot compile %s", failedName);
        PostThreadMessageText(fractal, "Random parameters:", text, MSG_ERROR);
    } else if (run.memoryFailure) {
        ReportNotEnoughMemory(fractal);
    }
    compiler.freeResults();
    if (arrayCount)
        FreeArrays_Normal(arrayTable.GetData(), nullptr, data.GetBase());
    compiler.symbols.DeleteAllNodes();
    shared.DeleteAllNodes();
    for (NodeList* symbols : run.symbols) {
        symbols->DeleteAllNodes();
        delete symbols;
    }
    PurgeUnusedTextures();
    return outcome;
}

void SearchAttractor(Fractal* fractal, int currentOnly, int count, int measureOnly)
{
    if (!fractal || fractal->header->Type != FT_ATTRACTOR || !fractal->typeParameters)
        return;
    AttractorParameters* block = BlockOf(fractal);
    std::vector<AttractorFormula*> searched;
    if (currentOnly) {
        if (!block->currentFormula)
            return;
        if (!(block->currentFormula->flags & ATTRACTOR_FORMULA_HIDDEN))
            searched.push_back(block->currentFormula);
    } else {
        for (ListNode* n = block->formulas.GetHead(); n; n = n->next)
            if (!(static_cast<AttractorFormula*>(n)->flags & ATTRACTOR_FORMULA_HIDDEN))
                searched.push_back(static_cast<AttractorFormula*>(n));
    }
    bool found = false, exhausted = false;
    for (AttractorFormula* formula : searched) {
        AttractorSearchOutcome outcome = SearchAttractorFormula(fractal, formula, count, measureOnly != 0);
        found |= outcome == SEARCH_FOUND || outcome == SEARCH_MEASURED;
        exhausted |= outcome == SEARCH_EXHAUSTED;
        if (outcome == SEARCH_STOPPED)
            break;
    }
    if (exhausted)
        PostThreadMessageText(fractal, "Random parameters:",
                              "No chaotic parameters were found; the values are unchanged.", MSG_WARNING);
    // Only a found set is committed (undo step and recalculation) by the
    // main window; a measure only shows its exponent.
    if (found)
        PostToMainFrame(UM_NEW_RANDOM_PARAMETERS, (WPARAM)fractal, measureOnly ? 1 : 0);
}

// The calculation thread reaches the search through its hook; this file is
// linked with the calculator, which refers to the binding below.
extern const bool g_SearchBound;
const bool g_SearchBound = (g_TaskHooks.searchAttractor = &SearchAttractor, true);
