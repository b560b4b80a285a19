// Assembly of the quaternion routines and the binding of their data block.
// The glue between the compiled parts is written here byte for byte; every
// jump is a full rel32 patched once its target is known, so no loop body or
// part is limited in size. The same formula parts are placed in two
// routines (colouring and iteration), each linked before the next is built.
#include "fractals/quaternion/QuaternionCode.h"

#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <initializer_list>

#include "calc/FormulaInstance.h"
#include "calc/FractalTask.h"
#include "calc/escapetime/PixelRoutine.h"
#include "calc/escapetime/PixelRoutineCode.h"
#include "calc/task/Reports.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "compiler/NoiseTables.h"
#include "compiler/Predefined.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/Buffers.h"
#include "foundation/Util.h"
#include "fractals/quaternion/QuaternionRun.h"

namespace {

// Glue pieces, each stored with one terminating byte that is not code
// (CodeWriter::Template).
const uint8_t kPrologue[] = {0xC8, 0xB0, 0x00, 0x00, 0};   // ENTER 176, 0
const uint8_t kEpilogue[] = {0xC9, 0xC3, 0};               // LEAVE; RET

// The four doubles of z as 80-bit values into orbit entry 0 (64-byte
// entries, component k at 16 k); orbit counter = 0.
const uint8_t kOrbitStart[] = {
    0x8B, 0x87, 0x28, 0x02, 0x00, 0x00,   // MOV EAX,[EDI+552]
    0xDD, 0x47, 0x18,                     // FLD QWORD [EDI+24]
    0xDD, 0x47, 0x10,                     // FLD QWORD [EDI+16]
    0xDB, 0x78, 0x20,                     // FSTP TBYTE [EAX+32]
    0xDB, 0x78, 0x30,                     // FSTP TBYTE [EAX+48]
    0xDD, 0x47, 0x08,                     // FLD QWORD [EDI+8]
    0xDD, 0x07,                           // FLD QWORD [EDI]
    0xDB, 0x38,                           // FSTP TBYTE [EAX]
    0xDB, 0x78, 0x10,                     // FSTP TBYTE [EAX+16]
    0xC7, 0x87, 0x2C, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,   // MOV DWORD [EDI+556],0
    0};

// counter += 1; z into entry counter.
const uint8_t kOrbitStore[] = {
    0xFF, 0x87, 0x2C, 0x02, 0x00, 0x00,   // INC DWORD [EDI+556]
    0x8B, 0x9F, 0x2C, 0x02, 0x00, 0x00,   // MOV EBX,[EDI+556]
    0x8B, 0x87, 0x28, 0x02, 0x00, 0x00,   // MOV EAX,[EDI+552]
    0xDD, 0x47, 0x08,                     // FLD QWORD [EDI+8]
    0xDD, 0x07,                           // FLD QWORD [EDI]
    0xC1, 0xE3, 0x03,                     // SHL EBX,3
    0xDB, 0x3C, 0xD8,                     // FSTP TBYTE [EAX+EBX*8]
    0xDB, 0x7C, 0xD8, 0x10,               // FSTP TBYTE [EAX+EBX*8+16]
    0xDD, 0x47, 0x18,                     // FLD QWORD [EDI+24]
    0xDD, 0x47, 0x10,                     // FLD QWORD [EDI+16]
    0xDB, 0x7C, 0xD8, 0x20,               // FSTP TBYTE [EAX+EBX*8+32]
    0xDB, 0x7C, 0xD8, 0x30,               // FSTP TBYTE [EAX+EBX*8+48]
    0};

// lastsqr = the sum of the squares of the four doubles of z.
const uint8_t kLastSqr[] = {
    0xDD, 0x07,                           // FLD QWORD [EDI]
    0xD8, 0xC8,                           // FMUL ST,ST
    0xDD, 0x47, 0x08,                     // FLD QWORD [EDI+8]
    0xD8, 0xC8,                           // FMUL ST,ST
    0xDE, 0xC1,                           // FADDP
    0xDD, 0x47, 0x10,                     // FLD QWORD [EDI+16]
    0xD8, 0xC8,                           // FMUL ST,ST
    0xDE, 0xC1,                           // FADDP
    0xDD, 0x47, 0x18,                     // FLD QWORD [EDI+24]
    0xD8, 0xC8,                           // FMUL ST,ST
    0xDE, 0xC1,                           // FADDP
    0xDB, 0xBF, 0x58, 0x02, 0x00, 0x00,   // FSTP TBYTE [EDI+600]
    0};

const uint8_t kNumiterCount[] = {0xFF, 0x87, 0x70, 0x01, 0x00, 0x00, 0};   // INC DWORD [EDI+368]
const uint8_t kLoopClose[] = {0x49, 0x0F, 0x85, 0};                        // DEC ECX; JNZ rel32 (follows)

// numiter = maxiter - ECX.
const uint8_t kFinalWithColouring[] = {
    0xDB, 0x87, 0x40, 0x01, 0x00, 0x00,   // FILD DWORD [EDI+320]
    0x89, 0x8F, 0x70, 0x01, 0x00, 0x00,   // MOV [EDI+368],ECX
    0xDB, 0x87, 0x70, 0x01, 0x00, 0x00,   // FILD DWORD [EDI+368]
    0xDE, 0xE9,                           // FSUBP ST(1),ST
    0xDB, 0x9F, 0x70, 0x01, 0x00, 0x00,   // FISTP DWORD [EDI+368]
    0};

// index = (maxiter - ECX) / 252 as an 80-bit value (the index slot serves
// as the scratch word).
const uint8_t kFinalWithoutColouring[] = {
    0xC7, 0x87, 0xB0, 0x03, 0x00, 0x00, 0xFC, 0x00, 0x00, 0x00,   // MOV DWORD [EDI+944],252
    0xDB, 0x87, 0xB0, 0x03, 0x00, 0x00,   // FILD DWORD [EDI+944]
    0x8B, 0x87, 0x40, 0x01, 0x00, 0x00,   // MOV EAX,[EDI+320]
    0x2B, 0xC1,                           // SUB EAX,ECX
    0x89, 0x87, 0xB0, 0x03, 0x00, 0x00,   // MOV [EDI+944],EAX
    0xDB, 0x87, 0xB0, 0x03, 0x00, 0x00,   // FILD DWORD [EDI+944]
    0xDE, 0xF1,                           // FDIVRP ST(1),ST
    0xDB, 0xBF, 0xB0, 0x03, 0x00, 0x00,   // FSTP TBYTE [EDI+944]
    0};

enum { ASSEMBLY_SLACK = 500, TRANSFORM_SLACK = 3000, CALL_BYTES = 5, PROLOGUE_BYTES = 4, EPILOGUE_BYTES = 2 };

struct Parts {
    FormulaFunction* once = nullptr;
    FormulaFunction* init = nullptr;
    FormulaFunction* loop = nullptr;
    FormulaFunction* last = nullptr;   // "Bbailout@@" of a formula, "Vfinal@@" of a colouring
};

FormulaFunction* Find(NodeList* list, const char* name)
{
    if (!list)
        return nullptr;
    FormulaFunction* f = findFunction(list, name);
    return PieceHasCode(f) ? f : nullptr;
}

Parts FindParts(NodeList* list, const char* last)
{
    Parts p;
    p.once = Find(list, "Vinit_once@@");
    p.init = Find(list, "Vinit@@");
    p.loop = Find(list, "Vloop@@");
    p.last = Find(list, last);
    return p;
}

int Size(const FormulaFunction* f)
{
    return f ? (int)f->codeLength : 0;
}

void Unplace(NodeList* list)
{
    for (ListNode* n = list ? list->GetHead() : nullptr; n; n = n->next) {
        static_cast<FormulaFunction*>(n)->placement = -1;
        static_cast<FormulaFunction*>(n)->placement2 = -1;
    }
}

// Loop body, bailout and close of either routine; C (the colouring's
// parts) only in the colouring routine, which also records the orbit.
void EmitLoop(CodeWriter& w, const Parts& F, const Parts* C, const QuaternionProgramInput& in)
{
    const int loopStart = w.position;
    if (in.usesLastsqr)
        w.Template(kLastSqr);
    w.Piece(F.loop, false);
    if (C && in.orbit)
        w.Template(kOrbitStore);
    int bailoutEnd = -1;
    if (F.last && w.Piece(F.last, false) >= 0)
        bailoutEnd = w.position;
    if (C)
        w.Piece(C->loop, false);
    if (in.numiterInLoop)
        w.Template(kNumiterCount);
    w.Template(kLoopClose);
    w.Dword(0);
    if (w.failed)
        return;
    w.PatchRel32(w.position - 4, loopStart);
    // The bailout ends in a conditional jump whose rel32 leaves the loop.
    if (bailoutEnd >= 0)
        w.PatchRel32(bailoutEnd - 4, w.position);
}

void FlushCode(CodeWriter& w)
{
    if (w.Data())
        FlushInstructionCache(GetCurrentProcess(), w.Data(), (SIZE_T)w.position);
}

}  // namespace

bool AssembleQuaternionProgram(GrowBuffer* colourCode, GrowBuffer* iterateCode, const QuaternionProgramInput& in,
                               NodeList* formulaParts, NodeList* colouringParts)
{
    if (!colourCode || !iterateCode)
        return false;
    const Parts F = FindParts(formulaParts, "Bbailout@@");
    const Parts C = FindParts(colouringParts, "Vfinal@@");
    const int formulaSize = Size(F.once) + Size(F.init) + Size(F.loop) + Size(F.last);
    const int colourSize = Size(C.once) + Size(C.init) + Size(C.loop) + Size(C.last);

    // The colouring routine: the whole iteration with the colouring along it.
    Unplace(formulaParts);
    Unplace(colouringParts);
    CodeWriter c(colourCode);
    if (!c.Room(formulaSize + colourSize + ASSEMBLY_SLACK))
        return false;
    c.Template(kPrologue);
    c.OnceGuardedPiece(F.once, QD_ONCE_FORMULA);
    c.Piece(F.init, false);
    c.OnceGuardedPiece(C.once, QD_ONCE_COLOURING);
    c.Piece(C.init, false);
    if (in.orbit)
        c.Template(kOrbitStart);
    EmitLoop(c, F, &C, in);
    if (in.colouringCompiled) {
        c.Template(kFinalWithColouring);
        c.Piece(C.last, false);
    } else {
        c.Template(kFinalWithoutColouring);
    }
    c.Template(kEpilogue);
    for (FormulaFunction* piece : {F.once, F.init, F.loop, F.last, C.once, C.init, C.loop, C.last})
        c.LinkCalls(piece);
    if (c.failed)
        return false;
    FlushCode(c);

    // The iteration routine: initialisation, loop and bailout only.
    Unplace(formulaParts);
    CodeWriter it(iterateCode);
    if (!it.Room(formulaSize + ASSEMBLY_SLACK))
        return false;
    it.Template(kPrologue);
    it.OnceGuardedPiece(F.once, QD_ONCE_FORMULA);
    it.Piece(F.init, false);
    EmitLoop(it, F, nullptr, in);
    it.Template(kEpilogue);
    for (FormulaFunction* piece : {F.once, F.init, F.loop, F.last})
        it.LinkCalls(piece);
    if (it.failed)
        return false;
    FlushCode(it);
    return true;
}

int AssembleQuaternionTransforms(QuaternionParameters* block, Fractal* fractal, FormulaCompiler* compiler,
                                 AlignedBuffer* data, GrowBuffer* code, int* alphaUsed)
{
    if (!block || !compiler || !data || !code)
        return 2;
    FractalTask* task = fractal ? fractal->task : nullptr;
    compiler->setKind(FK_TRANSFORMATION);
    if (data->GetRaw())
        memset(data->GetRaw(), 0, (size_t)data->TotalSize());

    int count = 0;
    for (ListNode* n = block->transformations.GetHead(); n; n = n->next) {
        FormulaInstance* t = static_cast<FormulaInstance*>(n);
        if (t->active && t->holder)
            ++count;
    }
    CodeWriter head(code);
    head.Template(kPrologue);
    // The head's CALLs come first; the bodies follow behind its end.
    CodeWriter body(code, PROLOGUE_BYTES + CALL_BYTES * count + EPILOGUE_BYTES);
    if (!body.Room(0)) {
        ReportNotEnoughMemory(fractal);
        return 1;
    }

    int top = 0, bottom = -128;
    int onceFlag = QD_ONCE_FORMULA;
    for (ListNode* n = block->transformations.GetHead(); n; n = n->next) {
        FormulaInstance* t = static_cast<FormulaInstance*>(n);
        if (!t->active || !t->holder)
            continue;
        ReleaseTextureUser(fractal, 0, t->holder);
        if (t->holder->word == -1)
            return 2;
        const char* name = t->foundName[0] ? t->foundName : t->entryName;
        bool compiled = t->holder->GetSource() &&
                        compiler->compile(t->holder->GetSource(), top, bottom, &t->parameters, &t->functions,
                                          fractal, name, SK_QUATERNION, nullptr, false, false);
        if (task && task->command != 0) {
            compiler->freeResults();
            return -1;
        }
        t->holder->word = compiled ? 1 : -1;
        if (!compiled) {
            compiler->freeResults();
            return 2;
        }
        if (alphaUsed && compiler->usageFlags[2])
            *alphaUsed = 1;
        top = compiler->dataTop;
        bottom = compiler->dataBottom;
        data->Reserve(top, -bottom, TRANSFORM_SLACK, TRANSFORM_SLACK);
        uint8_t* base = data->GetBase();
        if (!base) {
            compiler->freeResults();
            ReportNotEnoughMemory(fractal);
            return 1;
        }

        EmitTransformationCall(head, body, &compiler->functions, &onceFlag);
        StoreTransformationValues(compiler, data, &t->parameters);
        WriteSmallIntConstants(base);
        if (head.failed || body.failed) {
            ReportNotEnoughMemory(fractal);
            return 1;
        }
    }
    PurgeUnusedTextures();
    head.Template(kEpilogue);
    if (head.failed) {
        ReportNotEnoughMemory(fractal);
        return 1;
    }
    FlushInstructionCache(GetCurrentProcess(), head.Data(), (SIZE_T)(body.position > head.position ? body.position
                                                                                                   : head.position));
    return 0;
}

// ---------------------------------------------------------------------------
// Binding

namespace {

const double kE = 2.718281828;
const double kPi = 3.1415926535;

void SetSymbol(NodeList* symbols, const char* name, const double* values, int count)
{
    if (!symbols)
        return;
    FormulaSymbol* s = static_cast<FormulaSymbol*>(symbols->Find(name));
    if (!s)
        return;
    for (int i = 0; i < count && i < 4; ++i)
        s->value[i] = values[i];
}

void SetSymbol(NodeList* symbols, const char* name, double re, double im = 0.0)
{
    const double v[2] = {re, im};
    SetSymbol(symbols, name, v, 2);
}

void SetFloat(uint8_t* base, int offset, float value)
{
    memcpy(base + offset, &value, 4);
}

void SetFloats(uint8_t* base, int offset, const double* values, int count)
{
    for (int i = 0; i < count; ++i)
        SetFloat(base, offset + 4 * i, (float)values[i]);
}

void* Kernel32Export(const char* name)
{
    HMODULE kernel = LoadLibraryA("kernel32.dll");
    return kernel ? reinterpret_cast<void*>(GetProcAddress(kernel, name)) : nullptr;
}

// The eight colouring settings (speed, accel, smooth, offset floats;
// repeat, mapping, colour, opacity ints) of the block.
void WriteColouring(uint8_t* base, int offset, const QuaternionParameters* block)
{
    SetFloat(base, offset, (float)block->Density);
    SetFloat(base, offset + 4, (float)block->Accel);
    SetFloat(base, offset + 8, (float)block->Smooth);
    SetFloat(base, offset + 12, (float)block->Offset);
    SetRuntimeInt(base, offset + 16, block->WrapAround);
    SetRuntimeInt(base, offset + 20, block->Transfer);
    SetRuntimeInt(base, offset + 24, (int)RgbFromBytes(block->SolidColor));
    SetRuntimeInt(base, offset + 28, 255);
}

}  // namespace

void BindQuaternionVariables(Fractal* fractal, const QuaternionParameters* block, uint8_t* base,
                             const QuaternionRay* ray, NodeList* symbols)
{
    if (!block || !base)
        return;
    const int width = fractal && fractal->header ? fractal->header->Width : (ray ? ray->width : 0);
    const int height = fractal && fractal->header ? fractal->header->Height : (ray ? ray->height : 0);

    WriteSmallIntConstants(base);
    const double basePoint[4] = {block->Base_r, block->Base_i, block->Base_j, block->Base_k};
    const double normal[4] = {block->Normal_r, block->Normal_i, block->Normal_j, block->Normal_k};
    SetFloats(base, QD_BASEPOINT, basePoint, 4);
    SetFloats(base, QD_NORMAL, normal, 4);
    SetRuntimeExtended(base, QD_E, kE);
    SetRuntimeExtended(base, QD_PI, kPi);
    SetFloat(base, QD_SCREENMAX, (float)width);
    SetFloat(base, QD_SCREENMAX + 4, (float)height);
    SetRuntimeInt(base, QD_MAXITER, block->MaxIter);
    SetRuntimeInt(base, QD_WIDTH, width);
    SetRuntimeInt(base, QD_HEIGHT, height);
    SetRuntimeInt(base, QD_NUMITER, 0);
    const double randomRe = rand() / 32767.0;
    const double randomIm = rand() / 32767.0;
    SetRuntimeExtended(base, QD_RANDOM, randomRe);
    SetRuntimeExtended(base, QD_RANDOM + 16, randomIm);
    SetFloat(base, QD_SCREENPIXEL, 0.0f);
    SetFloat(base, QD_SCREENPIXEL + 4, 0.0f);
    SetRuntimeInt(base, QD_SOLID, 0);
    void* virtualAlloc = Kernel32Export("VirtualAlloc");
    void* virtualFree = Kernel32Export("VirtualFree");
    memcpy(base + QD_VIRTUALALLOC, &virtualAlloc, 4);
    memcpy(base + QD_VIRTUALFREE, &virtualFree, 4);
    // Every once flag set: each init_once part runs for the first ray.
    for (int offset = QD_ONCE_FORMULA; offset < QD_ONCE_END; offset += 4)
        SetRuntimeInt(base, offset, -1);
    for (int row = 0; row < 4; ++row) {
        double identity[4] = {0, 0, 0, 0};
        identity[row] = 1.0;
        SetFloats(base, QD_BASE1 + 16 * row, ray ? ray->basis[row] : identity, 4);
    }
    SetRuntimeExtended(base, QD_INDEX, 0.0);
    SetRuntimeExtended(base, QD_RANDOMRANGE, 2147483648.0);
    WriteColouring(base, QD_OUTSIDE_SETTINGS, block);
    WriteColouring(base, QD_INSIDE_SETTINGS, block);

    const void* colourTable = fractal && fractal->task ? fractal->task->dib.colors : nullptr;
    const void* permutation = PerlinPermutationTable();
    const void* gradients = PerlinGradientTable();
    const void* none = nullptr;   // the program has only the two noise tables
    memcpy(base + QD_COLORTABLE, &colourTable, 4);
    memcpy(base + QD_PERLIN_P, &permutation, 4);
    memcpy(base + QD_PERLIN_G3, &gradients, 4);
    memcpy(base + QD_NOISE_TABLE3, &none, 4);
    memcpy(base + QD_NOISE_TABLE4, &none, 4);

    if (!symbols)
        return;
    SetSymbol(symbols, "Basepoint", basePoint, 4);
    SetSymbol(symbols, "Normal", normal, 4);
    SetSymbol(symbols, "e", kE);
    SetSymbol(symbols, "pi", kPi);
    SetSymbol(symbols, "screenmax", width, height);
    SetSymbol(symbols, "scrnmax", width, height);
    SetSymbol(symbols, "maxiter", block->MaxIter);
    SetSymbol(symbols, "maxit", block->MaxIter);
    SetSymbol(symbols, "width", width);
    SetSymbol(symbols, "height", height);
    static const char* const kBaseNames[4] = {"Base1", "Base2", "Base3", "Base4"};
    for (int row = 0; row < 4; ++row) {
        // The symbols get the floats as written, so folded constants agree
        // with what the code reads.
        double rowValues[4];
        for (int i = 0; i < 4; ++i)
            rowValues[i] = GetRuntimeFloat(base, QD_BASE1 + 16 * row + 4 * i);
        SetSymbol(symbols, kBaseNames[row], rowValues, 4);
    }
    SetSymbol(symbols, "randomrange", 2147483648.0);
}

void BindQuaternionVariablesForCompiler(CompileHost* host, uint8_t* base, NodeList* symbols)
{
    Fractal* fractal = dynamic_cast<Fractal*>(host);
    if (!fractal || !fractal->header || fractal->header->Type != FT_QUATERNION || !fractal->typeParameters)
        return;
    const QuaternionRay* ray = nullptr;
    if (fractal->task && fractal->task->dataBlockExtra)
        ray = reinterpret_cast<const QuaternionRay*>((uintptr_t)(uint32_t)fractal->task->dataBlockExtra);
    BindQuaternionVariables(fractal, static_cast<QuaternionParameters*>(fractal->typeParameters), base, ray, symbols);
}

void InstallQuaternionBinder()
{
    g_BindQuaternionVariables = &BindQuaternionVariablesForCompiler;
}

// ---------------------------------------------------------------------------
// Calls

void EnterQuaternionX87(QuaternionX87Scope* scope)
{
    const uint16_t control = 0x037F;   // every exception masked, 64-bit precision
    __asm__ volatile(
        "fnsave %0\n\t"
        "fninit\n\t"
        "fldcw %1"
        : "=m"(scope->saved)
        : "m"(control)
        : "memory");
}

uint16_t LeaveQuaternionX87(QuaternionX87Scope* scope)
{
    uint16_t status;
    __asm__ volatile(
        "fnstsw %0\n\t"
        "frstor %1"
        : "=m"(status)
        : "m"(scope->saved)
        : "memory");
    return status;
}

void ClearQuaternionX87Flags()
{
    __asm__ volatile("fnclex" ::: "memory");
}

int32_t CallQuaternionCode(const void* code, uint8_t* base, int32_t counter)
{
    // The routines keep EBP (ENTER/LEAVE) but may use every other register.
    const void* target = code;
    uint8_t* block = base;
    __asm__ volatile("call *%[code]"
                     : [code] "+a"(target), "+D"(block), "+c"(counter)
                     :
                     : "ebx", "edx", "esi", "memory", "cc");
    return counter;
}
