// Turns the attractor's accumulated planes into the image in two passes:
// every plane cell is shaded into a colour with opacity by the render mode
// (Gas, Flame, Plasma, or Solid: a surface lit from the depths with shadow
// maps), then every image pixel is formed from the shaded cells by the
// reconstruction filter, which also removes the oversampling. Both passes
// go to the pixel workers in bands of rows, or run on the calling thread.
#pragma once
#include <stdint.h>
#include "calc/FractalTask.h"
#include "fractals/attractor/Camera.h"
#include "fractals/attractor/Lighting.h"

class Fractal;

enum AttractorRenderMode { ARM_GAS = 0, ARM_FLAME = 1, ARM_PLASMA = 2, ARM_SOLID = 3 };

// The margin of cells around the image in the planes (the splat kernel's reach).
const int ATTRACTOR_MARGIN = 20;

// Everything one composition reads; start it zeroed ({}). "render" fields are set by the caller
// (RenderAttractor) before ComposeAttractorImage, "compose" fields by it.
// The pixel workers only read the record.
struct AttractorRenderRecord {
    int32_t radius;              // render: weightRadius
    int32_t stride;              // render: image row length in pixels
    int32_t filterSize;          // render: n, the filter is n x n weights in plane7
    uint8_t* image;              // render: the task's imageBits, 24 bits
    float* kernel;               // render: the task's attractorKernel
    uint8_t* kernelMask;         // render: the task's attractorKernelMask
    int32_t renderMode;          // render: AttractorRenderMode
    double pointCount;           // render: points accumulated so far
    float maxDensity;            // compose: largest density of plane1
    float invMaxDensity;
    float invLogMaxDensity;
    double opacityExponent;      // compose: 1 / (opacity / 100) in Plasma, else 1 / opacity
    Fractal* fractal;            // compose
    Array2D* density;            // compose: plane1
    Array2D* depth;              // compose: the task's values seen with plane0's size (not owning)
    Array2D* colour;             // compose: plane0
    Array2D* sums[4];            // compose: planes[0..3] (red, green, blue, count)
    Array2D* shaded;             // compose: plane8, (blue, green, red, alpha) per cell
    LightEntry* lights;          // compose: 8 entries
    ViewRect viewRect;           // render: from SetupAttractorProjection
    AttractorProjection projection;   // render
    double toneScale;            // compose: 1 / 1024
    double brightness;           // compose: Brightness x Contrast x 1024 x 268 / 256
    double invGamma;             // compose: 1 / Gamma
    double whiteScale;           // compose: w3^2 s^2 / (WhiteLevel x pointCount x Contrast)
    double opacityFloor;         // compose: atan(2 o) / (pi / 2)
    float shadowBias;            // render: ShadowBias
    AttractorProjection lightCameras[8];   // render: BuildShadowCamera per light
    // render: the shadow map of each light (float cells), null when none.
    Array2D* shadowMaps[8];
    // render: the points carry their own colour (the colouring writes
    // pixelcolor): colour cells hold 0xRRGGBB and the sums hold channels.
    int32_t ownColours;
    // render: pixel workers to use (1..32); 0 or 1 with workers = none.
    int32_t workerCount;
    LightEntry lightTable[8];    // compose: the storage lights points at
    Array2D depthCells;          // compose: the view depth points at
};

// The neighbour spiral: entry 0 is (0, 0), then rings 1..14 (row -r with
// columns -r..r; column r with rows -r+1..r; row r with columns r-1..-r;
// column -r with rows r-1..-r+1). Rebuilt by every composition.
const int NEIGHBOUR_SPIRAL_SIZE = 841;
extern int32_t g_NeighbourRows[NEIGHBOUR_SPIRAL_SIZE];
extern int32_t g_NeighbourColumns[NEIGHBOUR_SPIRAL_SIZE];
void BuildNeighbourSpiral();

// Fills the compose fields and composes the whole image: background fill,
// the shade pass into plane8 and the filter pass into the image and the
// task's oldz opacity cells. With workers (record->workerCount slots
// started by StartAttractorPixelWorkers) the rows go to them, otherwise
// the calling thread does it all; both give the same bytes. A pending
// command ends it between rows. No NaN reaches a byte: densities at or
// below 1, a maxDensity of 1 or less, cells without points and opacity 0
// give finite values.
void ComposeAttractorImage(Fractal* fractal, AttractorRenderRecord* record, RowWorkerSlot* workers);

// Shades plane cell (x, y) into plane8.
void ShadeAttractorPixel(int x, int y, const AttractorRenderRecord* record);
// Forms image pixel (x, y) and its oldz opacity cell.
void ComposeAttractorPixel(int x, int y, const AttractorRenderRecord* record);

// Hands rows 0..rows-1 in chunks of (rows / workers) / 2, kept in 10..100,
// to the workers with state (3 shade, 4 compose) and returns when all are
// done or a command is pending.
void DistributeAttractorRows(Fractal* fractal, AttractorRenderRecord* record, RowWorkerSlot* workers,
                             int rows, int state);

// The loop of a pixel worker (its slot is the thread's user data): shades
// or composes its rows on states 3 and 4, acknowledges 1, ends on 2.
void AttractorPixelWorker(RowWorkerSlot* slot);

// Starts count pixel workers in the task's rowWorkers (their events made
// when the task has none);
// false when one could not be started (the started ones are stopped).
bool StartAttractorPixelWorkers(Fractal* fractal, int count, AttractorRenderRecord* record);
// Asks count workers to quit, waits for them and frees their threads.
void StopAttractorPixelWorkers(Fractal* fractal, int count);
