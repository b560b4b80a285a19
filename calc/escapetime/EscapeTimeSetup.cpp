// The set-up of an escape-time calculation, everything before the first
// pixel: refactor modes, start pass, the view mapped from the arbitrary-
// precision corners, the transformations, the outside colouring, the inside
// colouring and the iteration formula compiled in this order into one
// shared runtime block, the decisions their usage imposes, the routine
// assembled and the values bound. A failure shows its text in the image.
#include "calc/escapetime/EscapeTimeRun.h"

#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "calc/FormulaInstance.h"
#include "calc/FractalTask.h"
#include "calc/escapetime/PixelRoutine.h"
#include "calc/escapetime/PredefinedVariables.h"
#include "calc/task/Plot.h"
#include "calc/task/Reports.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/ParameterTransfer.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"

namespace {

enum { BLOCK_SLACK = 3000, NOT_FOUND_LENGTH = 10 };

bool IsNotFound(const char* foundName)
{
    return strncmp(foundName, "Not Found:", NOT_FOUND_LENGTH) == 0;
}

// The text stands in for the fractal. The stamp writes 24-bit pixels: an
// 8-bit image gets a third of its row length, so it never writes past it.
void ShowText(Fractal* f, const char* format, const char* name)
{
    FractalTask* task = f->task;
    char* text = g_EscapeTimeStatistics.shownText;
    snprintf(text, sizeof g_EscapeTimeStatistics.shownText, format, name);
    if (!task->imageBits)
        return;
    int stride = f->GetImageStride();
    int width = f->header->DisplayDepth == 24 ? stride : stride / 3;
    StampTextIntoImage(f, task->imageBits, text, width, f->header->Height);
}

// Any command, a 3D redraw included, ends the set-up.
bool AnyCommandWaiting(FractalTask* task)
{
    return task->command != 0;
}

// What the compiles of one calculation make and the set-up releases.
struct SetupLists {
    NodeList shared;           // variables of the colourings compiled so far
    NodeList formulaPieces, outsidePieces, insidePieces;
    ~SetupLists()
    {
        DeleteAllNodes(&shared);
        DeleteAllNodes(&formulaPieces);
        DeleteAllNodes(&outsidePieces);
        DeleteAllNodes(&insidePieces);
    }
};

// Appends copies of the symbols that are no constants and not yet in the
// list (the shared list keeps what the outside colouring put there).
void AppendSharedSymbols(const NodeList* from, NodeList* to)
{
    for (ListNode* n = from->GetHead(); n; n = n->next) {
        const FormulaSymbol* s = static_cast<const FormulaSymbol*>(n);
        if (s->symbolClass == SYM_CONSTANT || findNodeByName(to->GetHead(), s->name))
            continue;
        FormulaSymbol* copy = new FormulaSymbol();
        s->copyTo(copy);
        to->Append(copy);
    }
}

bool ReadsSymbol(const FormulaCompiler* compiler, const char* name)
{
    const FormulaSymbol* s = static_cast<const FormulaSymbol*>(findNodeByName(compiler->symbols.GetHead(), name));
    return s && s->readCount > 0;
}

}  // namespace

bool NamesOldz(const char* text)
{
    if (!text)
        return false;
    for (const char* p = strstr(text, "oldz"); p; p = strstr(p + 1, "oldz")) {
        bool before = p > text && (isalnum((unsigned char)p[-1]) || p[-1] == '_');
        bool after = isalnum((unsigned char)p[4]) || p[4] == '_';
        if (!before && !after)
            return true;
    }
    return false;
}

namespace {

// The running state of the set-up.
struct Setup {
    EscapeTimeRun* run;
    Fractal* f;
    FractalTask* task;
    EscapetimeParameters* block;
    FormulaCompiler* compiler;
    SetupLists lists;
    int symmetry = -1;
    int alphaUsed = 0, oldzUsed = 0, numiterUsed = 0, lastsqrUsed = 0;
    int insideDirect = 0, outsideDirect = 0;
    int memoryFailure = 0;
    int periodicity = 0;

    int Fail(int result)
    {
        if (compiler)
            DeleteAllNodes(&compiler->symbols);
        if (task->smallBuffer && task->varBlock && task->varBlock2)
            FreeArrays_Normal(task->smallBuffer->GetData(), task->varBlock2->GetBase(), task->varBlock->GetBase());
        free(run->orbit);
        run->orbit = nullptr;
        return result;
    }

    int NotEnoughMemory()
    {
        ReportNotEnoughMemory(f);
        ShowText(f, "%s", "Not enough memory");
        return Fail(2);
    }

    void ReserveMainBlock()
    {
        int top = compiler->dataTop > PREDEFINED_AREA_SIZE ? compiler->dataTop : PREDEFINED_AREA_SIZE;
        task->varBlock->Reserve(top, -compiler->dataBottom, BLOCK_SLACK, BLOCK_SLACK);
        if (!task->varBlock->GetBase())
            memoryFailure = 1;
    }

    void StoreValues(FormulaSlot& slot, int textureSlot)
    {
        ReserveMainBlock();
        uint8_t* base = task->varBlock->GetBase();
        if (!base)
            return;
        if (storeSymbolValues(base, &compiler->symbols, task->smallBuffer, &run->arrayPairs, true, 2) != 0)
            memoryFailure = 1;
        if (storeParameterValues(base, &slot.parameters, &compiler->symbols, f, textureSlot, 0, true, true) != 0)
            memoryFailure = 1;
    }

    // Marks the slot's text compiled (1) or failed (-1, never compiled
    // again until it changes); a failure or a formula that was not found
    // shows its text and ends the set-up with 1. 0 to go on.
    int CompileOutcome(FormulaSlot& slot, bool ok)
    {
        slot.holder->word = ok ? 1 : -1;
        if (!ok) {
            ShowText(f, "Cannot compile %s", slot.foundName);
            return Fail(1);
        }
        if (IsNotFound(slot.foundName)) {
            ShowText(f, "%s", slot.foundName);
            return Fail(1);
        }
        return 0;
    }

    // Compiles one colouring slot (steps of the outside and the inside
    // colouring). 0 to go on, else the result.
    int CompileColouring(FormulaSlot& slot, int textureSlot, bool inside)
    {
        compiler->setKind2(FK_COLORING, inside ? 1 : 0);
        ReleaseTextureUser(f, textureSlot, slot.holder);
        if (!inside) {
            compiler->dataTop = 0;
            compiler->dataBottom = -128;
            DeleteAllNodes(&lists.shared);
        }
        if (!slot.holder || !slot.holder->text) {
            PurgeUnusedTextures();
            return 0;
        }
        compiler->setSharedVariables(inside ? &lists.shared : nullptr);
        bool ok = compiler->compile(slot.holder->text, compiler->dataTop, compiler->dataBottom, &slot.parameters,
                                    &slot.functions, f, slot.foundName, SK_PLANE, nullptr, false, false);
        compiler->setSharedVariables(nullptr);
        if (AnyCommandWaiting(task))
            return Fail(3);
        if (inside)
            AppendSharedSymbols(&compiler->symbols, &lists.shared);
        else
            FormulaCompiler::copySymbols(&compiler->symbols, &lists.shared, 2);
        if (int failed = CompileOutcome(slot, ok))
            return failed;
        if (ReadsSymbol(compiler, "z"))
            symmetry = 0;
        oldzUsed |= NamesOldz(slot.holder->text);
        numiterUsed |= compiler->usageFlags[1] != 0;
        alphaUsed |= compiler->usageFlags[2] != 0;
        bool direct = compiler->usageFlags[3] != 0;
        if (direct)
            alphaUsed = 1;
        if (inside) {
            insideDirect = direct;
            task->insideColouringMark = direct;
        } else {
            outsideDirect = direct;
            task->outsideColouringMark = direct;
        }
        compiler->takeFunctions(inside ? &lists.insidePieces : &lists.outsidePieces);
        compiler->freeResults();
        StoreValues(slot, textureSlot);
        PurgeUnusedTextures();
        return 0;
    }

    // The transformations: a chain out of memory, or the first enabled
    // instance that failed or was not found, ends the set-up.
    int Transformations()
    {
        int scratch = 0;
        int result = AssembleTransformChain(block, task, &alphaUsed, &scratch);
        if (result == 1) {
            ShowText(f, "%s", "Not enough memory");
            return Fail(1);
        }
        for (ListNode* n = block->transformations.GetHead(); n; n = n->next) {
            FormulaInstance* t = static_cast<FormulaInstance*>(n);
            if (!t->active)
                continue;
            if (t->holder && t->holder->word == -1) {
                ShowText(f, "Cannot compile %s", t->foundName);
                return Fail(1);
            }
            if (IsNotFound(t->foundName)) {
                ShowText(f, "%s", t->foundName);
                return Fail(1);
            }
        }
        return 0;
    }

    int Formula()
    {
        FormulaSlot& slot = block->iteration;
        ReleaseTextureUser(f, 1, slot.holder);
        compiler->setKind(FK_ITERATION);
        compiler->setSharedVariables(&lists.shared);
        bool ok = compiler->compile(slot.holder->text, compiler->dataTop, compiler->dataBottom, &slot.parameters,
                                    &slot.functions, f, slot.foundName, SK_PLANE, nullptr, false, false);
        compiler->setSharedVariables(nullptr);
        if (AnyCommandWaiting(task))
            return Fail(3);
        DeleteAllNodes(&lists.shared);
        if (int failed = CompileOutcome(slot, ok))
            return failed;
        oldzUsed |= NamesOldz(slot.holder->text);
        numiterUsed |= compiler->usageFlags[1] != 0;
        lastsqrUsed = compiler->usageFlags[0] != 0;
        if (!ReadsSymbol(compiler, "z"))
            periodicity = 0;
        if (symmetry == -1)
            symmetry = compiler->symmetry > 0 ? compiler->symmetry : 0;
        if (block->Angle != 0.0)
            symmetry = 0;
        alphaUsed |= compiler->usageFlags[2] != 0;
        return 0;
    }
};

bool AnyAlphaBelowOpaque(const Fractal* f)
{
    for (int i = 0; i < ALPHA_TABLE_SIZE; ++i)
        if (f->alphaChannel.alphaTable[i] < 255)
            return true;
    return false;
}

// Supersampling factor of a render job with anti-aliasing, else 1.
double SupersamplingFactor(const Fractal* f)
{
    int threeByThree = 0, depth = 0;
    if (f->renderJob && g_RenderJobAntiAliasing && g_RenderJobAntiAliasing(f, &threeByThree, &depth))
        return AntiAliasingScale(threeByThree, depth);
    return 1.0;
}

void MapView(EscapeTimeRun* run, double s)
{
    Fractal* f = run->fractal;
    BigNumber x[3], y[3];
    f->GetViewCorners(x, y);
    BigNumber originRe = x[0] + x[2] - x[1];
    BigNumber originIm = y[0] + y[2] - y[1];
    LineContext& c = run->context;
    c.origin[0] = originRe.ToExtended();
    c.origin[1] = originIm.ToExtended();
    double across = f->header->Width * s, up = f->header->Height * s;
    c.columnStep[0] = (x[1] - x[0]).ToDouble() / across;
    c.columnStep[1] = (y[1] - y[0]).ToDouble() / across;
    c.rowStep[0] = (x[1] - x[2]).ToDouble() / up;
    c.rowStep[1] = (y[1] - y[2]).ToDouble() / up;
}

}  // namespace

size_t OrbitBufferBytes(int maxIter)
{
    // A MaxIter below 1 runs with a budget of one iteration.
    long long entries = (long long)(maxIter < 1 ? 1 : maxIter) + 10;
    long long bytes = entries * 32;
    if (bytes > 0x7FFFFFFFLL)
        return 0;
    return (size_t)bytes;
}

int RefactorMode(const char* name, const NodeList* parameters, bool inside)
{
    static const char* const kOutside[] = {"Refactor_JulMand24_O", "Refactor_JulMand8_O", "compBif", "compLyap"};
    static const char* const kInside[] = {"Refactor_JulMand24_I", "Refactor_JulMand8_I", "compBif", "compLyap"};
    const char* const* names = inside ? kInside : kOutside;
    bool refactoring = false;
    for (int i = 0; i < 4 && name; ++i)
        refactoring |= strcmp(name, names[i]) == 0;
    if (!refactoring)
        return 0;
    const FormulaSymbol* smooth =
        parameters ? static_cast<const FormulaSymbol*>(findNodeByName(parameters->GetHead(), "smooth")) : nullptr;
    if (!smooth)
        return 1;
    double v = smooth->value[0];
    return (v >= 0.5 || v != v) ? 2 : 1;
}

int SetUpEscapeTime(EscapeTimeRun* run)
{
    Fractal* f = run->fractal;
    FractalTask* task = f->task;
    EscapetimeParameters* block = run->block;
    PostToMainFrame(UM_PROGRESS, reinterpret_cast<WPARAM>(f), 0);

    block->refactorOutside = RefactorMode(block->outside.entryName, &block->outside.parameters, false);
    block->refactorInside = RefactorMode(block->inside.entryName, &block->inside.parameters, true);
    run->startPass = StartPass(task->lastCalculateCommand, task->passLimit, block->Passes);
    MapView(run, SupersamplingFactor(f));

    Setup s;
    s.run = run;
    s.f = f;
    s.task = task;
    s.block = block;
    s.compiler = task->formulaCompiler;
    s.alphaUsed = AnyAlphaBelowOpaque(f) ? 1 : 0;
    s.periodicity = block->Periodicity;
    if (!s.compiler || !task->varBlock || !task->smallBuffer)
        return 1;
    // The compiler binds the predefined values while it prepares its block.
    InstallPredefinedVariableBinder();
    task->smallBuffer->Reset(100);
    run->arrayPairs = 0;

    int result = s.Transformations();
    if (result)
        return result;
    if (AnyCommandWaiting(task))
        return s.Fail(3);
    FormulaHolder* holder = block->iteration.holder;
    if (!holder || !holder->text)
        return s.Fail(1);
    if (holder->word == -1) {
        ShowText(f, "Cannot compile %s", block->iteration.foundName);
        return s.Fail(1);
    }
    if ((result = s.CompileColouring(block->outside, 2, false)) != 0)
        return result;
    if ((result = s.CompileColouring(block->inside, 3, true)) != 0)
        return result;
    if ((result = s.Formula()) != 0)
        return result;

    if (!SetupOldzBuffer(f, task, s.alphaUsed) || s.memoryFailure)
        return s.NotEnoughMemory();

    s.ReserveMainBlock();
    if (s.oldzUsed) {
        size_t bytes = OrbitBufferBytes(block->MaxIter);
        run->orbit = bytes ? malloc(bytes) : nullptr;
        if (!run->orbit)
            return s.NotEnoughMemory();
    }
    s.compiler->takeFunctions(&s.lists.formulaPieces);
    s.compiler->usageFlags[1] = s.numiterUsed;
    const int32_t usage[2] = {s.lastsqrUsed, s.numiterUsed};
    bool assembled = AssemblePixelRoutine(task, block, s.oldzUsed, usage, &s.lists.formulaPieces,
                                          &s.lists.outsidePieces, &s.lists.insidePieces);
    DeleteAllNodes(&s.lists.formulaPieces);
    DeleteAllNodes(&s.lists.outsidePieces);
    DeleteAllNodes(&s.lists.insidePieces);
    s.compiler->freeResults();
    if (!assembled || !task->varBlock->GetBase())
        return s.NotEnoughMemory();

    LineContext& c = run->context;
    int saveCount = 4;
    double tolerance = 0;
    ComputePeriodicityParameters(block->MaxIter, c.columnStep[0], c.columnStep[1], c.rowStep[0], c.rowStep[1],
                                 s.periodicity, &saveCount, &tolerance);

    uint8_t* base = task->varBlock->GetBase();
    if (storeSymbolValues(base, &s.compiler->symbols, task->smallBuffer, &run->arrayPairs, true, 2) != 0)
        s.memoryFailure = 1;
    WriteSmallIntConstants(base);
    if (storeParameterValues(base, &block->iteration.parameters, &s.compiler->symbols, f, 1, 0, true, true) != 0)
        s.memoryFailure = 1;
    DeleteAllNodes(&s.compiler->symbols);
    PurgeUnusedTextures();
    if (s.memoryFailure)
        return s.NotEnoughMemory();

    BindPredefinedVariables(f, block, base, nullptr);
    if (task->varBlock2 && task->varBlock2->GetBase())
        BindPredefinedVariables(f, block, task->varBlock2->GetBase(), nullptr);

    run->progressTotal = ProgressTotal(run->startPass, f->header->Height, run->x0, run->y0, run->x1, run->y1);
    void* orbit = run->orbit;
    memcpy(base + RT_ORBIT_BUFFER, &orbit, 4);

    c.fractal = f;
    c.x0 = run->x0;
    c.x1 = run->x1;
    c.height = f->header->Height;
    c.step = 1;
    c.pixelCounter = 0;
    c.invalidCounter = 0;
    c.mainBlock = base;
    c.chainBlock = task->varBlock2 ? task->varBlock2->GetBase() : nullptr;
    c.periodicityLevel = s.periodicity;
    c.startThreshold = FirstStartThreshold(block->MaxIter, s.periodicity);
    c.escapeSum = 100;
    c.escapeCount = 1;
    c.tolerance = (float)tolerance;
    c.saveCount = saveCount;
    c.mask = 2 * saveCount + 1;
    c.symmetry = s.symmetry < 0 ? 0 : s.symmetry;
    c.maxiter = block->MaxIter;
    c.insideDirect = s.insideDirect;
    c.outsideDirect = s.outsideDirect;
    c.routine = task->codeBuffer->GetData();
    c.chain = task->codeBuffer3 ? task->codeBuffer3->GetData() : nullptr;
    c.evaluations = 0;
    TakeColouringSettings(&c, block);
    return 0;
}
