// What the compiler needs around the predefined variables besides the
// tables in FormulaCompiler.h: the hooks through which the calculation
// engine fills a data block with the values of a fractal, and the names
// offered for selectable function parameters.
#pragma once

#include <stdint.h>

class CompileHost;
class NodeList;

// Writes the values of the input predefined variables of a fractal (and the
// small-integer constants and the addresses of VirtualAlloc and VirtualFree)
// into a data block, at the offsets of the predefined-variable tables. The
// binder takes the fractal's type parameter block (and, for quaternions, the
// value its task keeps for the renderer) from the fractal itself.
typedef void (*DataBlockBinder)(CompileHost* fractal, uint8_t* base, NodeList* symbols);

// Set by the calculation engine of each fractal type when it is built; null
// while there is none, and prepareDataBlock then binds nothing.
extern DataBlockBinder g_BindPredefinedVariables;   // escape-time fractals
extern DataBlockBinder g_BindQuaternionVariables;   // quaternion fractals
extern DataBlockBinder g_BindAttractorVariables;    // attractor fractals

// Null-ended lists of the names a selectable function parameter chooses
// from: the math functions (complex) and the merge modes (color), in the
// order of the function tables.
extern const char* const g_MathFunctionChoices[];
extern const char* const g_MergeModeChoices[];
