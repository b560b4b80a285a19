// The byte writer behind the pixel routine and the transformation chain:
// appends code to an executable GrowBuffer by offset (the buffer may move
// while it grows), copies compiled pieces and patches rel32 jumps with all
// 32 bits, so no span between a jump and its target is limited.
#pragma once

#include <stdint.h>
#include <string.h>

#include "foundation/Buffers.h"

class FormulaFunction;
class FormulaCompiler;
class NodeList;

class CodeWriter {
public:
    explicit CodeWriter(GrowBuffer* target, int start = 0) : buffer(target), position(start) {}

    // Makes room for bytes more at the position; false (and failed set)
    // when the buffer cannot grow.
    bool Room(int bytes);
    void Bytes(const uint8_t* bytes, int count);
    void Byte(uint8_t b) { Bytes(&b, 1); }
    void Dword(int32_t value) { Bytes(reinterpret_cast<const uint8_t*>(&value), 4); }
    // A glue template stored with its terminating byte (AppendCode).
    template <int N>
    void Template(const uint8_t (&code)[N]) { TemplateBytes(code, N); }
    void TemplateBytes(const uint8_t* code, int size);
    // The rel32 whose four bytes start at 'at' lands on target.
    void PatchRel32(int at, int target);
    // Copies a compiled piece here; records the offset as its first or
    // second placement. Returns its length, or -1 for a missing piece
    // (nothing emitted).
    int Piece(FormulaFunction* piece, bool secondCopy);
    // The once guard and the piece: TEST BYTE [EDI+flag],0FFh; JZ past the
    // rest; MOV BYTE [EDI+flag],0; piece. Nothing for a missing piece.
    void OnceGuardedPiece(FormulaFunction* piece, int flagOffset);
    // Appends the user functions a piece calls (each once) and patches the
    // calls at each of the piece's placements.
    void LinkCalls(FormulaFunction* piece);

    uint8_t* Data() const { return static_cast<uint8_t*>(buffer->GetData()); }

    GrowBuffer* buffer;
    int position;
    bool failed = false;
};

// Whether a piece exists and has code.
bool PieceHasCode(const FormulaFunction* piece);

// The code of one compiled transformation (the compiler's functions): a
// CALL in calls to a body in body that runs the once part under guard
// *onceFlag (then counted up) and the transform, and returns. Nothing is
// written when the formula has no transform.
void EmitTransformationCall(CodeWriter& calls, CodeWriter& body, NodeList* functions, int* onceFlag);

// Frees the compiler's results and stores the values of the symbols and of
// the parameters into block, which the compiler then points at its own
// block again.
void StoreTransformationValues(FormulaCompiler* compiler, AlignedBuffer* block, NodeList* parameters);
