// The calculator of escape-time fractals: the set-up that compiles the
// formulas and maps the view (EscapeTimeSetup.cpp), the row calculation
// that runs the assembled routines pixel by pixel (RowCalculation.cpp), the
// interactive road of passes with guessing and block elimination
// (EscapeTimeRoad.cpp) and the re-apply of an edited formula (Reapply.cpp).
#pragma once
#include <windows.h>
#include <stdint.h>

class Fractal;
class FormulaNode;
class NodeList;
struct EscapetimeParameters;

// ---------------------------------------------------------------------------
// The calculator (EscapeTimeRoad.cpp)

// The Calculator of FT_ESCAPETIME: (fractal, x0, y0, x1, y1) over buffer
// columns and rows (rows bottom-up, both ends included). 0 every pixel is
// done; 1 a formula did not compile or was not found (the image shows
// why), the iteration slot is empty or the transformations ran out of
// memory; 2 not enough memory; 3 a command stopped it.
int CalculateEscapeTime(Fractal* fractal, int x0, int y0, int x1, int y1);

// Preview fill after a row of a pass: every step-th pixel of the row from
// x0 on (while below x0 + count) gives its value, opacity cell and flag
// (PF_CALCULATED cleared) to the pixels of its step x step block that are
// inside the image and not calculated yet.
void FillBlock(Fractal* fractal, int x0, int row, int count, int step);
// Fills the blocks of step pixels aligned at (x0, y0) whose four corners
// hold the same bits (value, opacity cell and flag); a value of 0.0 (an
// uncalculated pixel holds it too) never qualifies. Nothing for step <= 1.
void EliminateBlocks(Fractal* fractal, int x0, int y0, int x1, int y1, int step);

// The rows of one pass from the middle outwards (m = height / 2): each
// round takes the next row below, m - t, m - 2t, ..., while it is at least
// y0, then the next row above, m, m + t, ..., while it is at most y1; so
// m - t, m, m - 2t, m + t, ...
struct PassWalk {
    PassWalk(int height, int y0, int y1, int step);
    bool More() const;
    // The next row of that side; false when that side is done.
    bool TakeLower(int* row);
    bool TakeUpper(int* row);
    int lower, upper;   // the next row of each side
    int y0, y1, step;
};

// The start pass of a calculation: passLimit after FTC_CONTINUE, else
// Passes + 1; kept within 1..Passes + 1. The first pass steps 2^(p0 - 1).
int StartPass(int lastCalculateCommand, int passLimit, int passes);
// The pixels the interactive road visits from the start pass on (its
// progress total).
double ProgressTotal(int startPass, int height, int x0, int y0, int x1, int y1);

// The road the pixels are calculated along once the set-up is done.
enum EscapeTimeRoadKind { ROAD_INTERACTIVE = 0, ROAD_IMAGE_FILTER = 1, ROAD_RENDER_JOB = 2 };
// The image-filter road for 24-bit images with an image filter, the
// render-job road for fractals of a render job without 3D, else the
// interactive road.
int ChooseEscapeTimeRoad(const Fractal* fractal);
struct LineContext;
// The supersampling roads arrive with the image filters and render jobs;
// while a hook is null its fractals take the interactive road. A road
// answers 0 done or 3 stopped.
typedef int (*EscapeTimeRoad)(Fractal* fractal, LineContext* context, int x0, int y0, int x1, int y1);
extern EscapeTimeRoad g_ImageFilterRoad;
extern EscapeTimeRoad g_RenderJobRoad;
// The layered fractal of a layer is told which rows are new: the upper
// band and the lower band (buffer rows). Bound by the layered calculation.
extern void (*g_NotifyLayeredParent)(Fractal* fractal, int upperFrom, int upperTo, int lowerFrom, int lowerTo);

// What the last calculation of this process did, for the test tools:
// pixels whose per-pixel routine ran, pixels with invalid results, the
// seconds the set-up took and the text it showed instead of the fractal
// ("" when none).
struct EscapeTimeStatistics {
    long long evaluations;
    long long invalid;
    double setupSeconds;
    char shownText[200];
};
extern EscapeTimeStatistics g_EscapeTimeStatistics;

// The iteration counts of the pixels, for the test tools: while counts is
// set, every calculated pixel writes maxiter - remaining budget (maxiter
// for an inside pixel) at row * stride + column, and guessing and
// elimination copy the counts along with the values.
struct IterationRecord {
    int32_t* counts;
    int stride;
};
extern IterationRecord g_IterationRecord;

// ---------------------------------------------------------------------------
// Set-up (EscapeTimeSetup.cpp)

// Refactor mode of a colouring slot: 0 for an ordinary colouring; 1 for
// the refactoring colourings ("Refactor_JulMand24_O"/"_I",
// "Refactor_JulMand8_O"/"_I" by side, "compBif", "compLyap"; names exact),
// 2 when their "smooth" parameter is at least 0.5 or not a number.
int RefactorMode(const char* formulaName, const NodeList* parameters, bool inside);

// ---------------------------------------------------------------------------
// Row calculation (RowCalculation.cpp)

// Everything a row call needs, filled once per calculation.
struct LineContext {
    Fractal* fractal;
    int32_t x0, x1;             // first and last column (inclusive)
    int32_t row;                // buffer row (bottom-up)
    int32_t height;             // image rows
    int32_t step;               // the columns x0, x0 + step, ... are visited
    int32_t pixelCounter;       // visited columns, calculated or skipped
    int32_t invalidCounter;     // pixels with the x87 invalid-operation flag
    uint8_t* chainBlock;        // base of the transformation chain's block
    uint8_t* mainBlock;         // base of the per-pixel routine's block
    uint8_t* flags;             // the row's PixelFlag bytes, by column
    uint32_t* cells;            // the row's opacity cells, by column (null: none)
    float* values;              // the row's values, by column
    int32_t periodicityLevel;   // 0: no check and no adaptation
    int32_t startThreshold;     // adapted per pixel, carried from row to row
    int32_t escapeSum, escapeCount;
    float tolerance;
    int32_t saveCount, mask;
    int32_t symmetry;           // 0 none, 1 XAXIS, 2 YAXIS, 3 ORIGIN, 4 XYAXIS
    double columnStep[2];       // (dxc, dyc)
    double rowStep[2];          // (dxr, dyr)
    long double origin[2];      // the bottom-left corner
    int32_t maxiter;
    int32_t insideDirect, outsideDirect;   // the colouring writes pixelcolor
    const void* routine;        // the per-pixel routine
    const void* chain;          // the transformation chain (null: none)
    // The solid colours packed 0xAARRGGBB and the two mappings.
    uint32_t solidOutside, solidInside, solidTransformation;
    int32_t mappingOutside, mappingInside;
    int64_t evaluations;        // per-pixel routine runs
};

// Fills the solid colours and mappings of the context from the block.
void TakeColouringSettings(LineContext* context, const EscapetimeParameters* block);
// Calculates every step-th column of the context's row whose flag lacks
// PF_CALCULATED. 0 done, 1 a command stopped it. The adaptation state goes
// back into the context either way.
int CalculateLine(LineContext* context);
// CalculateLine with the task's inCompiledCode set, under the guard: any
// exception ends the row with 1; all but the stop request are reported as
// "Exception while calculating fractal line" with the exception's text.
int CalculateLineGuarded(LineContext* context);
// Save count (trunc(log10(maxiter)), at least 4) and tolerance (the smaller
// of the larger components of the two steps, scaled by the level) of the
// periodicity check.
void ComputePeriodicityParameters(int maxiter, double dxc, double dyc, double dxr, double dyr, int level,
                                  int* saveCount, double* tolerance);
// The start threshold of the first pixel: MaxIter - 250, at least 1; 0
// when the check is off.
int FirstStartThreshold(int maxiter, int level);

// The text of an exception code for the message list; the application
// binds its own table (PApplication::GetExceptionText). Null: the code in hex.
extern char* (*g_ExceptionText)(char* out, DWORD code);

// ---------------------------------------------------------------------------
// Re-applying an edited formula (Reapply.cpp)

// Gives the edited entry's text to every slot of every fractal (outside the
// folder "RenderJobs.par") that names it, compiles it once to bring the
// stored parameters in step and recalculates the fractals it reached.
void ReapplyEditedFormula(FormulaNode* node);
// The base name test of escape-time slots: a name cut before a three-letter
// extension, compared without case. Never reads before a short name.
bool SameBaseName(const char* a, const char* b);
// The parameter page of the current fractal after its formulas changed;
// the tool windows bind it (null: nothing to refresh).
extern void (*g_RefreshParameterPage)(Fractal* fractal);
