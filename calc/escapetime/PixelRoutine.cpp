// Joins the compiled pieces of an escape-time fractal's iteration formula
// and its two colourings into one per-pixel routine: initialisation, the
// iteration loop with bailout, periodicity check and optional orbit and
// lastsqr bookkeeping, the periodic loop, and the two final sections. The
// glue between the pieces is fixed machine code written here byte for byte.
#include "calc/escapetime/PixelRoutine.h"

#include <windows.h>
#include <string.h>

#include "calc/FractalTask.h"
#include "calc/escapetime/PixelRoutineCode.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "document/EscapetimeParameters.h"
#include "foundation/Buffers.h"

// ---------------------------------------------------------------------------
// Code writer

bool PieceHasCode(const FormulaFunction* piece)
{
    return piece && piece->codeLength != FUNCTION_NOT_COMPILED && piece->code && piece->code->GetData();
}

bool CodeWriter::Room(int bytes)
{
    if (failed || !buffer)
        return false;
    buffer->ReserveSlack(position + bytes, 4096);
    if (!buffer->GetData() || buffer->GetCapacity() < position + bytes) {
        failed = true;
        return false;
    }
    return true;
}

void CodeWriter::Bytes(const uint8_t* bytes, int count)
{
    if (count <= 0 || !Room(count))
        return;
    memcpy(Data() + position, bytes, (size_t)count);
    position += count;
}

void CodeWriter::TemplateBytes(const uint8_t* code, int size)
{
    if (size <= 1 || !Room(size))
        return;
    position += AppendCode(Data(), position, code, size);
}

void CodeWriter::PatchRel32(int at, int target)
{
    if (failed)
        return;
    int32_t displacement = target - (at + 4);
    memcpy(Data() + at, &displacement, 4);
}

int CodeWriter::Piece(FormulaFunction* piece, bool secondCopy)
{
    if (!PieceHasCode(piece))
        return -1;
    int length = (int)piece->codeLength;
    if (!Room(length))
        return -1;
    if (secondCopy)
        piece->placement2 = position;
    else
        piece->placement = position;
    memcpy(Data() + position, piece->code->GetData(), (size_t)length);
    position += length;
    return length;
}

void CodeWriter::OnceGuardedPiece(FormulaFunction* piece, int flagOffset)
{
    if (!PieceHasCode(piece))
        return;
    const uint8_t test[2] = {0xF6, 0x87};
    Bytes(test, 2);
    Dword(flagOffset);
    Byte(0xFF);
    const uint8_t jz[2] = {0x0F, 0x84};
    Bytes(jz, 2);
    Dword((int32_t)piece->codeLength + 7);
    const uint8_t clear[2] = {0xC6, 0x87};
    Bytes(clear, 2);
    Dword(flagOffset);
    Byte(0x00);
    Piece(piece, false);
}

void CodeWriter::LinkCalls(FormulaFunction* piece)
{
    if (!PieceHasCode(piece) || failed)
        return;
    // linkSubFunctions uses none of its compiler's state.
    if (piece->placement >= 0)
        g_FormulaCompiler.linkSubFunctions(buffer, &position, piece, piece->placement);
    if (piece->placement2 >= 0)
        g_FormulaCompiler.linkSubFunctions(buffer, &position, piece, piece->placement2);
    if (!buffer->GetData() || buffer->GetCapacity() < position)
        failed = true;
}

// ---------------------------------------------------------------------------
// Glue templates (EDI = data-block base, ECX = remaining budget). Each is
// stored with one terminating byte that is not code (AppendCode).

namespace {

const uint8_t kEnter[] = {0xC8, 0xB0, 0x00, 0x00, 0};   // ENTER 176, 0
const uint8_t kLeaveRet[] = {0xC9, 0xC3, 0};            // LEAVE; RET

// EAX = orbit buffer; entry 0 = z; orbit count = 0.
const uint8_t kOrbitStart[] = {
    0x8B, 0x87, 0x28, 0x02, 0x00, 0x00,   // MOV EAX,[EDI+228h]
    0xDB, 0x6F, 0x10,                     // FLD TBYTE [EDI+10h]
    0xDB, 0x2F,                           // FLD TBYTE [EDI]
    0xDB, 0x38,                           // FSTP TBYTE [EAX]
    0xDB, 0x78, 0x10,                     // FSTP TBYTE [EAX+10h]
    0xC7, 0x87, 0x2C, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,   // MOV DWORD [EDI+22Ch],0
    0};

// lastsqr = z.re^2 + z.im^2
const uint8_t kLastSqr[] = {
    0xDB, 0x2F,                           // FLD TBYTE [EDI]
    0xDC, 0xC8,                           // FMUL ST,ST
    0xDB, 0x6F, 0x10,                     // FLD TBYTE [EDI+10h]
    0xDC, 0xC8,                           // FMUL ST,ST
    0xDE, 0xC1,                           // FADDP
    0xDB, 0xBF, 0x58, 0x02, 0x00, 0x00,   // FSTP TBYTE [EDI+258h]
    0};

// orbit count + 1; entry[count] (32 bytes each) = z
const uint8_t kOrbitStore[] = {
    0xFF, 0x87, 0x2C, 0x02, 0x00, 0x00,   // INC DWORD [EDI+22Ch]
    0x8B, 0x9F, 0x2C, 0x02, 0x00, 0x00,   // MOV EBX,[EDI+22Ch]
    0x8B, 0x87, 0x28, 0x02, 0x00, 0x00,   // MOV EAX,[EDI+228h]
    0xDB, 0x6F, 0x10,                     // FLD TBYTE [EDI+10h]
    0xDB, 0x2F,                           // FLD TBYTE [EDI]
    0xC1, 0xE3, 0x02,                     // SHL EBX,2
    0xDB, 0x3C, 0xD8,                     // FSTP TBYTE [EAX+EBX*8]
    0xDB, 0x7C, 0xD8, 0x10,               // FSTP TBYTE [EAX+EBX*8+10h]
    0};

// numiter = maxiter - ECX
const uint8_t kFinalPrologue[] = {
    0xDB, 0x87, 0xD0, 0x00, 0x00, 0x00,   // FILD DWORD [EDI+0D0h]
    0x89, 0x8F, 0x60, 0x01, 0x00, 0x00,   // MOV [EDI+160h],ECX
    0xDB, 0x87, 0x60, 0x01, 0x00, 0x00,   // FILD DWORD [EDI+160h]
    0xDE, 0xE9,                           // FSUBP ST(1),ST
    0xDB, 0x9F, 0x60, 0x01, 0x00, 0x00,   // FISTP DWORD [EDI+160h]
    0};

// index = (maxiter - ECX) / 252 as an 80-bit value
const uint8_t kDefaultColouring[] = {
    0xC7, 0x87, 0x50, 0x01, 0x00, 0x00, 0xFC, 0x00, 0x00, 0x00,   // MOV DWORD [EDI+150h],252
    0xDB, 0x87, 0x50, 0x01, 0x00, 0x00,   // FILD DWORD [EDI+150h]
    0x8B, 0x87, 0xD0, 0x00, 0x00, 0x00,   // MOV EAX,[EDI+0D0h]
    0x2B, 0xC1,                           // SUB EAX,ECX
    0x89, 0x87, 0x50, 0x01, 0x00, 0x00,   // MOV [EDI+150h],EAX
    0xDB, 0x87, 0x50, 0x01, 0x00, 0x00,   // FILD DWORD [EDI+150h]
    0xDE, 0xF1,                           // FDIVRP ST(1),ST
    0xDB, 0xBF, 0x50, 0x01, 0x00, 0x00,   // FSTP TBYTE [EDI+150h]
    0};

const uint8_t kNumiterCount[] = {0xFF, 0x87, 0x60, 0x01, 0x00, 0x00, 0};   // INC DWORD [EDI+160h]

// The loop tail in its 128-byte form: periodicity check, then the count
// down of the budget. Offsets of the parts the assembly patches or grows.
const uint8_t kLoopTail[] = {
    0x3B, 0x8F, 0xF0, 0x01, 0x00, 0x00,   //   0 CMP ECX,[EDI+1F0h]
    0x77, 0x6C,                           //   6 JA 116: budget above the start, no check yet
    0x85, 0x8F, 0xF4, 0x01, 0x00, 0x00,   //   8 TEST [EDI+1F4h],ECX
    0x75, 0x33,                           //  14 JNZ 67: not a save step, compare
    0xDB, 0x6F, 0x10,                     //  16 FLD TBYTE [EDI+10h]
    0xDB, 0x2F,                           //     FLD TBYTE [EDI]
    0xDB, 0xBF, 0x00, 0x02, 0x00, 0x00,   //     FSTP TBYTE [EDI+200h]   saved z = z
    0xDB, 0xBF, 0x10, 0x02, 0x00, 0x00,   //     FSTP TBYTE [EDI+210h]
    0xFF, 0x8F, 0xF8, 0x01, 0x00, 0x00,   //  33 DEC DWORD [EDI+1F8h]
    0x75, 0x4B,                           //  39 JNZ 116
    0x8B, 0x87, 0xFC, 0x01, 0x00, 0x00,   //  41 MOV EAX,[EDI+1FCh]
    0xD1, 0xA7, 0xF4, 0x01, 0x00, 0x00,   //     SHL DWORD [EDI+1F4h],1
    0xFF, 0x87, 0xF4, 0x01, 0x00, 0x00,   //     INC DWORD [EDI+1F4h]   mask = mask * 2 + 1
    0x89, 0x87, 0xF8, 0x01, 0x00, 0x00,   //     MOV [EDI+1F8h],EAX     count = reload
    0xEB, 0x31,                           //  65 JMP 116
    0xDB, 0x2F,                           //  67 FLD TBYTE [EDI]
    0xDB, 0xAF, 0x00, 0x02, 0x00, 0x00,   //     FLD TBYTE [EDI+200h]
    0xDE, 0xE9,                           //     FSUBP ST(1),ST
    0x8B, 0x87, 0x20, 0x02, 0x00, 0x00,   //     MOV EAX,[EDI+220h]     epsilon
    0xD9, 0xE1,                           //     FABS
    0xD9, 0x5D, 0xFC,                     //     FSTP DWORD [EBP-4]
    0x39, 0x45, 0xFC,                     //     CMP [EBP-4],EAX
    0x77, 0x17,                           //  91 JA 116: real parts differ
    0xDB, 0x6F, 0x10,                     //  93 FLD TBYTE [EDI+10h]
    0xDB, 0xAF, 0x10, 0x02, 0x00, 0x00,   //     FLD TBYTE [EDI+210h]
    0xDE, 0xE9,                           //     FSUBP ST(1),ST
    0xD9, 0xE1,                           //     FABS
    0xD9, 0x5D, 0xFC,                     //     FSTP DWORD [EBP-4]
    0x39, 0x45, 0xFC,                     //     CMP [EBP-4],EAX
    0x77, 0x02,                           // 112 JA 116
    0xEB, 0x0C,                           // 114 JMP 128: periodic, into the periodic loop
    0x49,                                 // 116 DEC ECX
    0x0F, 0x85, 0x00, 0x00, 0x00, 0x00,   // 117 JNZ loop start
    0xE9, 0x00, 0x00, 0x00, 0x00,         // 123 JMP inside final: budget exhausted
    0};
static_assert(sizeof kLoopTail == 128 + 1, "the loop tail is 128 bytes");

enum {
    TAIL_PERIODIC_EXIT = 114,   // the JMP to the tail's end
    TAIL_COUNT = 116,           // DEC ECX: where the numiter count goes in
    TAIL_LOOP_JUMP = 117,       // JNZ rel32 to the loop start
    TAIL_FINAL_JUMP = 123,      // JMP rel32 to the inside final
};

const char kFormulaPieces[4][16] = {"Vinit_once@@", "Vinit@@", "Vloop@@", "Bbailout@@"};
const char kColouringPieces[4][16] = {"Vinit_once@@", "Vinit@@", "Vloop@@", "Vfinal@@"};

// The four pieces of one formula; last = bailout (formula) or final
// (colouring).
struct Pieces {
    FormulaFunction* initOnce = nullptr;
    FormulaFunction* init = nullptr;
    FormulaFunction* loop = nullptr;
    FormulaFunction* last = nullptr;
};

Pieces FindPieces(NodeList* list, const char (*names)[16])
{
    Pieces p;
    if (!list)
        return p;
    p.initOnce = findFunction(list, names[0]);
    p.init = findFunction(list, names[1]);
    p.loop = findFunction(list, names[2]);
    p.last = findFunction(list, names[3]);
    return p;
}

int PieceLength(const FormulaFunction* piece)
{
    return PieceHasCode(piece) ? (int)piece->codeLength : 0;
}

// Every function of the list unplaced, so the user functions are linked
// anew behind this routine.
void Unplace(NodeList* list)
{
    if (!list)
        return;
    for (ListNode* n = list->GetHead(); n; n = n->next) {
        FormulaFunction* f = static_cast<FormulaFunction*>(n);
        f->placement = -1;
        f->placement2 = -1;
    }
}

void EmitInitSections(CodeWriter& w, const Pieces& p, int flagOffset)
{
    w.OnceGuardedPiece(p.initOnce, flagOffset);
    w.Piece(p.init, false);
}

bool HolderCompiled(const FormulaHolder* holder)
{
    return holder && holder->GetSource() && holder->word == 1;
}

// A final section: the colouring's own (after numiter is set) when its
// slot compiled, else the default colouring.
void EmitFinal(CodeWriter& w, const FormulaHolder* holder, FormulaFunction* final)
{
    if (HolderCompiled(holder)) {
        w.Template(kFinalPrologue);
        w.Piece(final, false);
    } else {
        w.Template(kDefaultColouring);
    }
}

const char* FormulaName(const EscapetimeParameters* block)
{
    if (block->iteration.entryName[0])
        return block->iteration.entryName;
    return block->iteration.foundName;
}

}  // namespace

uint32_t PixelBudget(int maxIter)
{
    return maxIter < 1 ? 1u : (uint32_t)maxIter;
}

bool AssemblePixelRoutine(FractalTask* task, EscapetimeParameters* block, int oldz, const int32_t usage[2],
                          NodeList* formulaPieces, NodeList* outsidePieces, NodeList* insidePieces)
{
    if (!task || !block)
        return false;
    if (!task->codeBuffer)
        task->codeBuffer = new GrowBuffer(4096, true);
    const bool usesLastSqr = usage && usage[USAGE_LASTSQR] != 0;
    const bool usesNumIter = usage && usage[USAGE_NUMITER] != 0;

    Unplace(formulaPieces);
    Unplace(outsidePieces);
    Unplace(insidePieces);
    Pieces F = FindPieces(formulaPieces, kFormulaPieces);
    Pieces O = FindPieces(outsidePieces, kColouringPieces);
    Pieces I = FindPieces(insidePieces, kColouringPieces);

    const char* name = FormulaName(block);
    const FormulaHolder* formulaHolder = block->iteration.holder;
    int functionOrder = formulaHolder && formulaHolder->compiler ? formulaHolder->compiler->functionOrder : 0;
    if (functionOrder == PROPERTY_NOT_GIVEN)
        functionOrder = 0;
    const bool bailoutFirst = strncmp(name, "SXTiera_", 8) == 0 || functionOrder != 0;
    const bool colouringsFirst = strncmp(name, "SX_JulMand24", 12) == 0;

    // Room for every piece, the second copies and the glue.
    int total = 1000;
    const Pieces* all[3] = {&F, &I, &O};
    for (const Pieces* p : all)
        total += PieceLength(p->initOnce) + PieceLength(p->init) + PieceLength(p->loop) + PieceLength(p->last);
    total += PieceLength(F.loop) + PieceLength(F.last) + PieceLength(I.loop) + PieceLength(I.last);

    CodeWriter w(task->codeBuffer);
    if (!w.Room(total))
        return false;

    w.Template(kEnter);
    EmitInitSections(w, F, RT_ONCE_FORMULA);
    EmitInitSections(w, I, RT_ONCE_INSIDE);
    EmitInitSections(w, O, RT_ONCE_OUTSIDE);
    if (oldz)
        w.Template(kOrbitStart);

    const int loopStart = w.position;
    int bailoutEnd = -1;
    if (bailoutFirst && w.Piece(F.last, false) >= 0)
        bailoutEnd = w.position;
    if (usesLastSqr)
        w.Template(kLastSqr);
    if (colouringsFirst) {
        w.Piece(I.loop, false);
        w.Piece(O.loop, false);
    }
    w.Piece(F.loop, false);
    if (oldz)
        w.Template(kOrbitStore);
    if (!bailoutFirst && w.Piece(F.last, false) >= 0)
        bailoutEnd = w.position;
    if (!colouringsFirst) {
        w.Piece(I.loop, false);
        w.Piece(O.loop, false);
    }

    // The loop tail; the 134-byte form counts numiter before DEC ECX.
    const int tail = w.position;
    const int grow = usesNumIter ? 6 : 0;
    w.TemplateBytes(kLoopTail, TAIL_COUNT + 1);
    if (usesNumIter)
        w.Template(kNumiterCount);
    w.Bytes(kLoopTail + TAIL_COUNT, (int)sizeof kLoopTail - 1 - TAIL_COUNT);
    if (w.failed)
        return false;
    w.Data()[tail + TAIL_PERIODIC_EXIT + 1] = (uint8_t)(0x0C + grow);
    w.PatchRel32(tail + TAIL_LOOP_JUMP + grow + 2, loopStart);
    const int finalJump = tail + TAIL_FINAL_JUMP + grow + 1;

    // The periodic loop: no bailout and no outside colouring any more.
    const int periodicStart = w.position;
    if (usesLastSqr)
        w.Template(kLastSqr);
    w.Piece(F.loop, true);
    if (oldz)
        w.Template(kOrbitStore);
    w.Piece(I.loop, true);
    if (usesNumIter)
        w.Template(kNumiterCount);
    const uint8_t periodicTail[3] = {0x49, 0x0F, 0x85};   // DEC ECX; JNZ periodic start
    w.Bytes(periodicTail, 3);
    w.Dword(0);
    w.PatchRel32(w.position - 4, periodicStart);

    w.PatchRel32(finalJump, w.position);
    EmitFinal(w, block->inside.holder, I.last);
    w.Byte(0xE9);
    w.Dword(0);
    const int skipOutside = w.position - 4;

    if (bailoutEnd >= 0)
        w.PatchRel32(bailoutEnd - 4, w.position);
    EmitFinal(w, block->outside.holder, O.last);
    w.PatchRel32(skipOutside, w.position);
    w.Template(kLeaveRet);

    FormulaFunction* linkOrder[] = {F.initOnce, F.init, F.loop, F.last, I.initOnce, I.init, I.loop,
                                    I.last, O.initOnce, O.init, O.loop, O.last};
    for (FormulaFunction* piece : linkOrder)
        w.LinkCalls(piece);
    if (w.failed)
        return false;
    FlushInstructionCache(GetCurrentProcess(), w.Data(), (SIZE_T)w.position);
    return true;
}
