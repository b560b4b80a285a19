// The state of one quaternion calculation, shared by the calculation
// driver (which fills it), the worker threads (which march tiles of it) and
// the preview shading: the tiles and their schedule, the per-worker ray
// records and row segments, and the surface caches (ambient occlusion,
// shadow maps) that outlive a run and are reused by recolourings.
#pragma once
#include <windows.h>
#include <stdint.h>

class Fractal;
class FractalTask;
struct Array2D;
struct WorkerSlot;
struct QuaternionParameters;
struct QuaternionRenderState;

enum { QUATERNION_MAX_WORKERS = 32 };

// A segment of one buffer row marched by one worker.
struct QuaternionTile {
    int32_t x0;               // first column
    int32_t row;              // buffer row (counted from the bottom image row)
    int32_t length;           // columns
    int32_t dir;              // 0: the start row and rows below it (neighbour row + 1); 1: rows above (row - 1)
    volatile int32_t state;   // 0 free, 1 taken, 2 copied back, 3 its row was coloured
};

// The driver's cut of the image into tiles, middle row first.
struct TileSchedule {
    int32_t firstRow, lastRow;                        // rows being calculated
    uint32_t* colourRows[QUATERNION_MAX_WORKERS];     // per worker: T colour words
    float* depthRows[QUATERNION_MAX_WORKERS];         // per worker: T depths
    uint32_t* extraRows[QUATERNION_MAX_WORKERS];      // per worker: T opacity cells
    uint8_t* flagRows[QUATERNION_MAX_WORKERS];        // per worker: T flag bytes
    float* prevRowUp;       // depths of the last finished row of direction 0 (width + 10)
    float* prevRowDown;     // the same for direction 1
    float* currentRows;     // direction 0 from float 0, direction 1 from float width + 10
    int32_t startRow;       // height / 2
    QuaternionTile** rowFirstTile;   // per image row: its first tile
    QuaternionTile* tiles;           // tileCount tiles, then the terminator {0, -1, 1, 0}
    int32_t tileCount;
    int32_t segmentLength;  // T: the longest tile, the length of every per-worker buffer
    int32_t imageWidth;     // columns of the image (offset of direction 1 in currentRows is imageWidth + 10)
};

// What MarchRay needs of one ray and gives back; one per worker.
struct QuaternionRay {
    int32_t startStep;        // in: first step (MarchTileRows); raised to the near plane
    int32_t stepCount;        // trunc(width * HighresMult)
    int32_t width, height;    // image size
    int32_t invalidCount;     // rays that left the x87 invalid-operation flag set
    float formulaSolid;       // out: the formula block's solid
    float transformSolid;     // out: the transformation block's solid (0 without transformations)
    const uint8_t* transformCode;   // joined transformation routine
    const uint8_t* colourCode;      // iteration with colouring
    const uint8_t* iterateCode;     // iteration alone
    uint8_t* formulaData;           // base of the formula data block
    uint8_t* transformData;         // base of the transformation data block
    double basis[4][4];       // row 0 the unit Normal, rows 1-3 span the slice
    double stepX[3], stepY[3], corner[3];   // the view plane (world)
    double observer[3];
    double basePoint[4];      // Base_r .. Base_k: the 4D point at the slice's world origin
    double viewDir[3];        // unit(viewpoint - observer)
    double viewDistance;      // |viewpoint - observer|
    float pixelColour[4];     // out: pixelcolor (red, green, blue, alpha in 0..1)
    float colourIndex;        // out: index
    int32_t workerIndex;
    void* oldzBuffer;         // orbit history buffer, when the formula reads one
    float* outputRow;         // this tile's depths for the next row (in currentRows at x0)
    float* neighbourRow;      // the finished neighbour row's depths (at x0)
    int32_t directColour;     // the colouring formula writes pixelcolor
};

// One worker's share of the run: what the slot of the task does not hold.
struct QuaternionWorkerState {
    uint8_t* flagRow;         // copy of the tile's segment of flags
    float* depthRow;          // of plane0
    uint32_t* colourRow;      // of values
    uint32_t* extraRow;       // of oldz (null when that plane is not allocated)
    QuaternionRay ray;
    int32_t tileIndex;        // index of the tile being worked on
    QuaternionTile* tile;     // that tile; null: idle (a surplus worker never marches)
    uint8_t guessAllowed;     // 1 unless the tile lies in the start row
    // 1 while the worker runs compiled code: a stop may then redirect it
    // out of the code (the tile is abandoned, stopped is set).
    volatile int32_t inCompiledCode;
    volatile int32_t stopped;
    int32_t raysMarched;      // statistics: rays marched and pixels guessed
    int32_t pixelsGuessed;
    void* orbitBuffer;        // (MaxIter + 10) x 64 bytes when the formula keeps its orbit
};

// Everything one calculation shares between the driver and its workers.
// A worker slot finds its run through QuaternionRunOf.
struct QuaternionRun {
    Fractal* fractal;
    FractalTask* task;
    QuaternionParameters* block;
    int32_t workerCount;
    int32_t width, height;            // image size
    int32_t left, top, right, bottom; // the rows and columns calculated
    TileSchedule schedule;
    QuaternionWorkerState workers[QUATERNION_MAX_WORKERS];
    int32_t hasTransforms;            // the block's transformation list has nodes
    int32_t orbitFlag;                // the formulas read the orbit history
    int32_t numiterInLoop;            // numiter is read inside the loop
    int32_t directColour;             // the colouring writes pixelcolor
    double basis[4][4];               // orthonormal 4D basis (row 0 = unit Normal)
    double corner[3], stepX[3], stepY[3];            // view plane (world)
    double cornerCam[3], stepXCam[3], stepYCam[3];   // the same in camera coordinates
    QuaternionRenderState* preview;   // camera and lights of the preview shading
    int32_t bandMin[2], bandMax[2];   // rows coloured since the last display, per direction
    int32_t tilesDone;                // tiles copied back
    int32_t nextFree;                 // no tile before it is free
    DWORD lastWriteback;              // tick of the last parameter write-back
    volatile int32_t aborted;         // a command ended the run
};

// Stores the run in a worker slot (its second calculator area) and finds it again.
void AttachQuaternionRun(WorkerSlot* slot, QuaternionRun* run);
QuaternionRun* QuaternionRunOf(const WorkerSlot* slot);

// The results of the ambient-occlusion and shadow passes, kept with a
// quaternion parameter block between calculations and recolourings. A new
// cache has aoCacheRadius -1 (the plane is invalid) and shadowsPending 1.
struct QuaternionSurfaceCache {
    double aoCacheRadius;     // -1.0: the ambient-occlusion plane is invalid
    double aoCacheStrength;
    double aoCacheIntensity;
    int32_t aoCacheSamples;
    double aoCacheConeRadius;
    uint8_t shadowsPending;   // 1: the shadow maps must be rendered again
    Array2D* shadowMaps[8];   // per light; null when the light casts no shadow
};

// The cache of a block, made on first use (null only when memory is out).
QuaternionSurfaceCache* QuaternionCacheOf(const QuaternionParameters* block);
// Frees the cache of a block and its shadow maps (nothing when it has none).
// Shadow maps are Array2D records made with new; each is freed and deleted.
void ForgetQuaternionCache(const QuaternionParameters* block);
