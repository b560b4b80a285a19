// The machine code of an escape-time calculation: the runtime block that
// compiled formulas address through EDI, the per-pixel routine that joins
// the compiled pieces of formula and colourings into one loop, the
// transformation chain, and the small helpers used around compiled code.
// Both routines live in executable memory of the task's code buffers.
#pragma once

#include <stdint.h>

class Fractal;
class FractalTask;
class NodeList;
class FormulaCompiler;
class FormulaFunction;
class FormulaInstance;
struct EscapetimeParameters;

// ---------------------------------------------------------------------------
// Runtime block: byte offsets above the data-block base (EDI). 80-bit values
// occupy 16-byte slots; a complex value keeps its imaginary part 16 bytes
// after its real part. The offsets are baked into the glue code below and
// into the compiler's predefined-variable tables, so they never move.
enum RuntimeOffset {
    RT_Z = 0x000,                 // complex 80-bit: the iterated value
    RT_PIXEL = 0x020,             // complex 80-bit: the pixel's point
    RT_CENTER = 0x040,            // complex 80-bit
    RT_ANGLE = 0x060,             // float, radians, sign reversed
    RT_ROTATION_CENTER = 0x070,   // complex 80-bit
    RT_E = 0x090,                 // 80-bit
    RT_PI = 0x0A0,                // 80-bit
    RT_SCREENMAX = 0x0B0,         // two floats
    RT_MAXITER = 0x0D0,           // int
    RT_CORNER_LEFTTOP = 0x0E0,    // complex 80-bit
    RT_CORNER_RIGHTBOTTOM = 0x100,// complex 80-bit
    RT_MAGN = 0x120,              // 80-bit
    RT_WIDTH = 0x130,             // int
    RT_HEIGHT = 0x140,            // int
    RT_INDEX = 0x150,             // 80-bit: colour value of a final section
    RT_NUMITER = 0x160,           // int: iterations done
    RT_RANDOM = 0x170,            // complex 80-bit
    RT_SCREENPIXEL = 0x190,       // two floats, per pixel
    RT_SOLID = 0x1B0,             // int (bool)
    RT_WHITESQ = 0x1C0,           // int (bool), per pixel
    RT_X = 0x1D0,                 // float, per pixel
    RT_Y = 0x1E0,                 // float, per pixel
    RT_PERIOD_START = 0x1F0,      // check only while the budget is at most this (unsigned)
    RT_PERIOD_MASK = 0x1F4,       // z is saved when budget AND mask is 0
    RT_PERIOD_COUNT = 0x1F8,      // saves left before the mask grows
    RT_PERIOD_RELOAD = 0x1FC,     // value the count is reloaded with
    RT_SAVED_Z = 0x200,           // complex 80-bit (imaginary part at 0x210)
    RT_PERIOD_EPSILON = 0x220,    // float tolerance
    RT_ORBIT_BUFFER = 0x228,      // pointer to 32-byte entries (complex 80-bit z)
    RT_ORBIT_COUNT = 0x22C,       // index of the last entry written
    RT_VIRTUALALLOC = 0x230,      // address of VirtualAlloc, for array code
    RT_VIRTUALFREE = 0x234,       // address of VirtualFree
    RT_ONCE_FORMULA = 0x23C,      // once flags (bytes; nonzero = init_once not run yet)
    RT_ONCE_INSIDE = 0x240,
    RT_ONCE_OUTSIDE = 0x244,
    RT_ONCE_LAST = 0x254,         // the last of the seven preset once-flag words
    RT_LASTSQR = 0x258,           // 80-bit: |z|^2 before the current step
    RT_ALPHA = 0x280,             // 80-bit opacity
    RT_RANDOMRANGE = 0x290,       // 80-bit
    RT_PIXELCOLOR = 0x2A0,        // four floats: red, green, blue, alpha
    RT_SHARED_VAR = 0x2B0,        // 80-bit
    RT_UF_SKEW = 0x2C0,           // float
    RT_UF_STRETCH = 0x2D0,        // float
    RT_OUTSIDE_SETTINGS = 0x3F0,  // ColouringBlock of the outside colouring
    RT_INSIDE_SETTINGS = 0x410,   // ColouringBlock of the inside colouring
    RT_COLORTABLE = 0x430,        // pointer: the task's 252-entry colour table
    RT_PERLIN_P = 0x434,          // pointers to the compiler's noise tables
    RT_PERLIN_G3 = 0x438,
    RT_NOISE_TABLE3 = 0x43C,
    RT_NOISE_TABLE4 = 0x440,
    RT_SEED = 0x44C,              // complex 80-bit seed of the random functions
    RT_OVERFLOW = 0x5EC,          // int: set by compiled code on overflow
};

// The colouring settings as they lie at RT_OUTSIDE_SETTINGS and
// RT_INSIDE_SETTINGS (__O_Speed ... __O_SolidOpacity).
struct ColouringBlock {
    float speed, accel, smooth, offset;
    int32_t repeat, mapping, solidColor, solidOpacity;
};
static_assert(sizeof(ColouringBlock) == 0x20, "the two colouring blocks are adjacent");
static_assert(RT_INSIDE_SETTINGS - RT_OUTSIDE_SETTINGS == sizeof(ColouringBlock),
              "inside settings follow the outside settings");

// Count of small-integer constants below the base (signed 16-bit words at
// base - 2k for k = 1..21: 0, 1, -1, 2, -2, ..., 10, -10).
enum { SMALL_INT_CONSTANTS = 21 };
// Writes the small-integer constants below base.
void WriteSmallIntConstants(uint8_t* base);

// Frame size of ENTER at the start of both routines; the periodicity test
// uses the dword at EBP-4.
enum { ROUTINE_FRAME = 176 };

// ---------------------------------------------------------------------------
// Assembly

// Iteration-budget of a pixel for a MaxIter: at least 1, so a MaxIter of 0
// or below never wraps the routine's down-count to 2^32 - 1.
uint32_t PixelBudget(int maxIter);

// The two usage words of AssemblePixelRoutine.
enum { USAGE_LASTSQR = 0, USAGE_NUMITER = 1 };

// Emits the per-pixel routine into task->codeBuffer (made executable when
// missing) from the compiled pieces of the iteration formula, the outside
// and the inside colouring (NodeLists of FormulaFunction; null or empty
// lists emit nothing). oldz: a formula reads the orbit history; usage:
// [USAGE_LASTSQR] a formula reads lastsqr, [USAGE_NUMITER] one reads
// numiter. The block supplies the formula's name (bailout-first for
// "SXTiera_" names or a nonzero "functionorder"; colourings inside the loop
// before the formula step for "SX_JulMand24") and the colouring slots'
// holders (a slot without a compiled source gets the default colouring).
// All jumps are full rel32. The routine starts at codeBuffer's data.
// False when the code buffer cannot be had (nothing to run).
bool AssemblePixelRoutine(FractalTask* task, EscapetimeParameters* block, int oldz, const int32_t usage[2],
                          NodeList* formulaPieces, NodeList* outsidePieces, NodeList* insidePieces);

// Compiles every active transformation of the block with task->formulaCompiler
// and emits the chain into task->codeBuffer3, its data into task->varBlock2
// (both made when missing). *alphaUsed becomes 1 when a transformation uses
// alpha; scratch is handed to the value stores. Results: 0 done (also when
// it stopped at a transformation already marked failed: the caller checks
// the holders' states), 1 out of memory (reported), 2 a transformation
// failed to compile twice, -1 a command arrived during a compile. A
// transformation whose second attempt succeeds counts as compiled.
int AssembleTransformChain(EscapetimeParameters* block, FractalTask* task, int* alphaUsed, int* scratch);
// One compile attempt of a transformation with the running data offsets
// (the compiler's compile of the instance's source, values and name).
// Replaceable so that tests can script the attempts.
extern bool (*g_CompileTransformation)(FormulaCompiler* compiler, FormulaInstance* transformation, Fractal* fractal,
                                       int dataTop, int dataBottom);

// ---------------------------------------------------------------------------
// Running the routines

// Calls the per-pixel routine at code with EDI = base and ECX = budget;
// returns the remaining budget (0: iterations ran out, inside final ran;
// above 0: bailout, outside final ran). The x87 exception flags are cleared
// before the call and the status word after it goes to *status (bit 0:
// invalid operation). The caller keeps the x87 state around the call.
uint32_t CallPixelRoutine(const void* code, uint8_t* base, uint32_t budget, uint16_t* status);
// Calls the transformation chain at code with EDI = base; the status word
// as above.
void CallTransformChain(const void* code, uint8_t* base, uint16_t* status);

// The periodicity slots the caller writes before each pixel.
struct PeriodicitySlots {
    uint32_t start;     // check only while the remaining budget is at most this
    uint32_t mask;      // save z when budget AND mask is 0
    uint32_t count;     // saves before the mask grows
    uint32_t reload;    // count after growing
    float epsilon;      // tolerance of the comparison
};
void WritePeriodicitySlots(uint8_t* base, const PeriodicitySlots& slots);

// ---------------------------------------------------------------------------
// Helpers around compiled code

// 0xAARRGGBB from four channels: red, green and blue clamped to 0..1, each
// channel times 255 truncated and its low 8 bits taken (NaN gives 0); alpha
// is not clamped, so 1.5 wraps to 126.
uint32_t PackColorRgba(float red, float green, float blue, float alpha);

// Replaces the double at address by the same value as an 80-bit extended
// number (10 bytes); ExtendedToDouble reads one back. Both keep the x87
// state, so they may run while compiled code's registers are live.
void DoubleToExtended(void* address);
double ExtendedToDouble(const void* address);

// Copies size - 1 bytes of a template (stored with one terminating byte
// that is not code) to buffer + offset and returns size - 1.
int AppendCode(uint8_t* buffer, int offset, const uint8_t* code, int size);

// One value at a byte offset of a data block (base = the block's base).
float GetRuntimeFloat(const uint8_t* base, int offset);
double GetRuntimeDouble(const uint8_t* base, int offset);
int GetRuntimeInt(const uint8_t* base, int offset);
void SetRuntimeDouble(uint8_t* base, int offset, double value);
void SetRuntimeInt(uint8_t* base, int offset, int value);
// 80-bit slots (z, pixel, index ...) as long double.
long double GetRuntimeExtended(const uint8_t* base, int offset);
void SetRuntimeExtended(uint8_t* base, int offset, long double value);
