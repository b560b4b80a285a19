// The attractor program: one block of machine code that iterates a point
// 1,024 times through randomly chosen formulas, each a chain of compiled
// transformations, and writes one point record per visible iteration. The
// compiled pieces are copied into one buffer and joined by fixed glue;
// the two small programs of the parameter search are assembled here too.
#pragma once

#include <stdint.h>
#include <vector>

class GrowBuffer;
class NodeList;
class FormulaFunction;

// AttractorFormula::flags: bit 0 hides the formula; bit 1 makes every
// iteration of it start from a fresh random point of the unit cube, so
// that the image of the cube under the formula is drawn.
enum { ATTRACTOR_FORMULA_HIDDEN = 1, ATTRACTOR_SHOW_CONSTRUCTOR = 2 };

// The compiled parts of one used transformation (null: no such part).
struct AttractorPieces {
    FormulaFunction* once = nullptr;    // "Vinit_once@@"
    FormulaFunction* init = nullptr;    // "Vinit@@"
    FormulaFunction* loop = nullptr;    // "Vloop@@"
    FormulaFunction* scale = nullptr;   // "Rscale@@"
    uint8_t post = 0;                   // changes only the plotted point
};

// One active formula: its weight and its used transformations in order.
struct AttractorMapCode {
    float weight = 1.0f;
    uint8_t showConstructor = 0;
    std::vector<AttractorPieces> transformations;
};

struct AttractorProgramInput {
    std::vector<AttractorMapCode> maps;  // active formulas, in order
    AttractorPieces colouring;           // once, init and loop of the colouring
    FormulaFunction* unitCubeLoop = nullptr;
    uint8_t shadowLights = 0;            // bit k: light k casts shadows
    // The function lists the pieces come from: every function in them is
    // unplaced before the assembly, so user functions placed by an earlier
    // assembly (the run-wide unit cube's) are placed again.
    std::vector<const NodeList*> lists;
};

// The four parts of a compiled function list.
AttractorPieces FindAttractorPieces(const NodeList* functions);

// Builds the program input from the block's formula list: every formula
// that is not hidden, with its transformations that are not hidden and
// whose compiled function list (the node's data pointer) is set.
AttractorProgramInput CollectAttractorPieces(const NodeList* formulas, const NodeList* colouringFunctions,
                                             const NodeList* unitCubeFunctions, uint8_t shadowLights);

// The signed compare value of active formula k: truncate(2^32 × (S + w) / W
// - 2^31) with S the weights before it, w its weight and W the float total.
int32_t AttractorSelectionThreshold(double weightsBefore, double weight, float total);

// Assembles the program at the start of code (an executable buffer). All
// room is reserved before the first byte is written, every jump is a full
// rel32, and the absolute float operands of the selection are written
// last, so they point into the buffer where the program finally lies.
// The user functions the pieces call are appended behind the program. The
// program runs only where it was assembled. False when the buffer cannot
// be had.
bool AssembleAttractorProgram(GrowBuffer* code, const AttractorProgramInput& input);

// The init and loop programs of the parameter search from the considered
// transformations (neither hidden nor post). Answers 2 when every one has a
// scale part (the init program multiplies their results into
// rscaleProduct; the loop program is a bare RET), else 1 (the loop program
// applies the transformations once); 0 when a buffer cannot be had.
int EmitAttractorInitGlue(const std::vector<AttractorPieces>& considered, GrowBuffer* initProgram,
                          GrowBuffer* loopProgram);

// Calls a program with EDI = base, ECX = EDX = 0 inside a saved and fresh
// x87 state; answers EDX (records written). *status (when given) gets the
// x87 status word after the call.
int RunAttractorProgram(const void* code, uint8_t* base, uint16_t* status = nullptr);
