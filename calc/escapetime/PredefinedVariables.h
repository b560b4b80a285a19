// The values of an escape-time fractal's predefined variables (view,
// iteration limit, image size, colouring settings, system addresses),
// written at their fixed offsets into a data block of compiled code and,
// for the compiler, into its symbols of the same names.
#pragma once

#include <stdint.h>

class Fractal;
class NodeList;
class CompileHost;
struct EscapetimeParameters;

// Writes the predefined values of the fractal and its escape-time block into
// the data block at base (the main block and the transformation chain's
// block alike). With symbols, each symbol of a predefined name in the list
// gets the value too (before the 80-bit conversion; a complex value in its
// first two value doubles). Draws two numbers from rand for random.
void BindPredefinedVariables(Fractal* fractal, EscapetimeParameters* block, uint8_t* base, NodeList* symbols);

// The binder the compiler calls while it prepares a data block for a
// fractal: BindPredefinedVariables for an escape-time Fractal, nothing for
// any other host. InstallPredefinedVariableBinder makes it the compiler's
// escape-time binder (the calculation does so before it compiles).
void BindPredefinedVariablesForCompiler(CompileHost* host, uint8_t* base, NodeList* symbols);
void InstallPredefinedVariableBinder();

// Scale of width, height and screenmax while a render job with
// anti-aliasing calculates the fractal: (threeByThree + 2) to the power
// depth (2^depth, or 3^depth with the 3x3 flag).
double AntiAliasingScale(int threeByThree, int depth);

// What the render-job road tells of a fractal it calculates: whether
// anti-aliasing is on, the 3x3 flag and the effective depth. Null (the
// default) or a false answer: no anti-aliasing, scale 1.
extern bool (*g_RenderJobAntiAliasing)(const Fractal* fractal, int* threeByThree, int* depth);
