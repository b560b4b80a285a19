// The three routines a quaternion ray march calls, joined from the compiled
// parts of the iteration, colouring and transformation formulas with fixed
// glue (once guards, orbit records, lastsqr, loop close, finals; every jump
// a full rel32), and the binding of the quaternion data block's predefined
// variables. EDI holds the data block's base, ECX the iteration budget.
#pragma once
#include <stdint.h>

class Fractal;
class FormulaCompiler;
class GrowBuffer;
class AlignedBuffer;
class NodeList;
class CompileHost;
struct QuaternionParameters;
struct QuaternionRay;

// Offsets in the quaternion data block that the glue and the marcher use.
enum QuaternionDataOffset {
    QD_Z = 0,                   // four doubles
    QD_PIXEL = 64,              // four doubles
    QD_BASEPOINT = 128,         // four floats
    QD_NORMAL = 192,            // four floats
    QD_E = 256,                 // 80-bit
    QD_PI = 272,                // 80-bit
    QD_SCREENMAX = 288,         // two floats
    QD_MAXITER = 320,           // int32
    QD_WIDTH = 336,
    QD_HEIGHT = 352,
    QD_NUMITER = 368,
    QD_RANDOM = 384,            // two 80-bit values, 16 bytes apart
    QD_SCREENPIXEL = 416,       // two floats
    QD_SOLID = 448,             // int32
    QD_ORBIT_BUFFER = 552,      // address of the orbit buffer
    QD_ORBIT_COUNT = 556,
    QD_VIRTUALALLOC = 560,
    QD_VIRTUALFREE = 564,
    QD_ONCE_FORMULA = 572,      // once flag of the iteration formula (transformation k: 572 + k)
    QD_ONCE_COLOURING = 576,
    QD_ONCE_END = 600,          // the flags are the seven words before it
    QD_LASTSQR = 600,           // 80-bit
    QD_BASE1 = 640,             // Base1..Base4: four rows of four floats, 16 bytes apart
    QD_INDEX = 944,             // 80-bit
    QD_ALPHA = 960,             // 80-bit
    QD_RANDOMRANGE = 976,       // 80-bit
    QD_PIXELCOLOR = 992,        // four floats
    QD_OUTSIDE_SETTINGS = 1008, // speed, accel, smooth, offset floats; repeat, mapping, colour, opacity ints
    QD_INSIDE_SETTINGS = 1040,
    QD_COLORTABLE = 1072,
    QD_PERLIN_P = 1076,
    QD_PERLIN_G3 = 1080,
    QD_NOISE_TABLE3 = 1084,
    QD_NOISE_TABLE4 = 1088,
    QD_ESTIMATED_DISTANCE = 1132,   // 80-bit
    QD_CURRENT_RAY_INDEX = 1148,    // int32
    QD_HAS_BEEN_HIT = 1152,         // int32
};

// Where the joined routines start: the colouring routine at the start of
// codeBuffer, the iteration routine at the start of codeBuffer2, the
// transformation routine at the start of codeBuffer3.
struct QuaternionProgramInput {
    int orbit = 0;              // record the orbit into the buffer at QD_ORBIT_BUFFER
    int usesLastsqr = 0;        // the formula reads lastsqr
    int numiterInLoop = 0;      // numiter counts every pass of the loop
    int colouringCompiled = 0;  // the colouring holder has text and compiled: its final part runs
};

// Builds the colouring routine into colourCode and the iteration routine
// into iterateCode (both executable) from the compiled parts of the
// iteration formula (formulaParts) and the colouring formula (colouringParts,
// may be null or empty). A missing part is left out. False when a buffer
// cannot be had.
bool AssembleQuaternionProgram(GrowBuffer* colourCode, GrowBuffer* iterateCode, const QuaternionProgramInput& input,
                               NodeList* formulaParts, NodeList* colouringParts);

// Compiles every active transformation of the block in list order into one
// data block (data, a worker's transformation block) and joins them into
// the transformation routine in code: a head of CALLs, then each body (its
// once part under flag 572 + k, its transform part, RET). 0 done; 1 the
// values could not be stored (reported as not enough memory); 2 a
// transformation did not compile (its holder's word becomes -1; a holder
// already at -1 is not compiled again); -1 a command arrived during a
// compile. *alphaUsed is set when a transformation reads alpha. Without
// transformations the routine is the prologue and LEAVE RET.
int AssembleQuaternionTransforms(QuaternionParameters* block, Fractal* fractal, FormulaCompiler* compiler,
                                 AlignedBuffer* data, GrowBuffer* code, int* alphaUsed);

// Writes the predefined input variables of the block into the data block at
// base: constants, view and image sizes, once flags, the 4D basis rows (the
// ray's basis, or the identity without a ray), colouring settings and the
// table addresses. With symbols, the predefined symbols of those names get
// the same values.
void BindQuaternionVariables(Fractal* fractal, const QuaternionParameters* block, uint8_t* base,
                             const QuaternionRay* ray, NodeList* symbols);

// The compiler's quaternion binder: binds for a quaternion Fractal, taking
// the ray from its task's dataBlockExtra (set by the driver while it
// compiles). InstallQuaternionBinder makes it the compiler's binder.
void BindQuaternionVariablesForCompiler(CompileHost* host, uint8_t* base, NodeList* symbols);
void InstallQuaternionBinder();

// The x87 state of one ray: Enter saves the caller's state and starts the
// state compiled code runs in (every exception masked, 64-bit precision,
// flags clear); Leave answers the status word the calls left and restores
// the caller's state.
struct QuaternionX87Scope {
    alignas(16) uint8_t saved[108];
};
void EnterQuaternionX87(QuaternionX87Scope* scope);
uint16_t LeaveQuaternionX87(QuaternionX87Scope* scope);
// Clears the x87 exception flags.
void ClearQuaternionX87Flags();

// Calls a joined routine with EDI = base and ECX = counter inside such a
// scope and answers what is left of ECX.
int32_t CallQuaternionCode(const void* code, uint8_t* base, int32_t counter);
