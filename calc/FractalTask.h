// The calculation context of one open fractal window: its thread and command
// word, the per-pixel buffers, images and bitmap headers, the compiled-code
// buffers and the worker slots of the multi-threaded calculators. The task
// is built and torn down by calc/task/TaskLifecycle.cpp, its buffers are
// sized by calc/task/TaskBuffers.cpp and its thread runs calc/task/FractalThread.cpp.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "foundation/List.h"
#include "compiler/CompileHost.h"

class Fractal;
class PFrameWindow;
class Thread;
class ImageSnapshot;
class GrowBuffer;
class AlignedBuffer;
class BusyLock;
class Spline;
class FormulaCompiler;
class CameraWidget;

// What the calculation has done so far.
enum CalculationState { CS_NONE = 0, CS_IMAGE_DONE = 1, CS_3D_DONE = 2, CS_COMPLETE = 3 };

// One byte per pixel in the task's flags buffer.
enum PixelFlag {
    PF_INSIDE = 0x01,      // did not escape: inside colouring
    PF_SOLID = 0x02,       // the value cell holds a packed solid colour
    PF_ELIMINATED = 0x04,  // filled from its block's corners
    PF_COLORED = 0x08,     // the colour mapping has coloured the cell
    PF_CALCULATED = 0x10,  // the cell has its result
    PF_MAPSOLID = 0x20,    // the transformation chain's solid colour
    PF_DIRECT = 0x40       // a packed colour computed by the colouring formula
};

// A 2D work array of the calculation: width x height cells of cellSize
// bytes, row-major. The block is freed by the array only when it owns it.
struct Array2D {
    bool IsAllocated() const { return data != nullptr; }
    // Forgets the block without freeing it.
    void Clear();
    // Frees an owned block, then allocates width x height zeroed cells;
    // the data, or null (and a cleared array) when the size is not positive,
    // overflows or cannot be had.
    void* Allocate(int width, int height, int cellSize);
    // Writes value into every 4-byte cell.
    void Fill(uint32_t value);
    // Frees an owned block and clears.
    void Free();

    int owns = 0;
    void* data = nullptr;
    int width = 0, height = 0, cellSize = 0;
};

// What the calculation and the document model touch of the task's OpenGL
// renderer (view3d/OpenGLRenderer, which the task owns).
struct RendererLink {
    virtual ~RendererLink() = default;   // the task deletes its OpenGLRenderer through this
    uint8_t rebuild[3] = {0, 0, 0};   // what the renderer must rebuild
    char loadedTexture[260] = "";     // name of its loaded texture
    void* data = nullptr;             // non-null once it holds an image
    int imageWidth = 0, imageHeight = 0;
};

// A device-independent bitmap header followed by its 256 colours.
struct TaskBitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

// One worker thread of the attractor or quaternion calculator.
struct WorkerSlot {
    Fractal* fractal;
    int calculatorArea[16];           // owned by the calculator using the slot
    AlignedBuffer* dataBlock;         // the worker's copy of the variable block
    AlignedBuffer* dataBlockCopy;
    AlignedBuffer* transformBlock;
    GrowBuffer* workBuffer;
    int calculatorArea2[16];
    GrowBuffer* arrayTable;           // array table of the worker's compiled formulas
    int arrayCount;
    HANDLE doneEvent;                 // the task's workerDoneEvent
    HANDLE wakeEvent;                 // own auto-reset event
    Thread* thread;
    int workerIndex;
    volatile int workerState;         // 1 work, 2 quit, 3 and 4 acknowledge
    volatile int workerDone;
};

// One pixel worker of the attractor.
struct RowWorkerSlot {
    Fractal* fractal;
    int firstRow;
    int lastRow;
    void* renderRecord;
    HANDLE doneEvent;                 // the task's rowWorkerDoneEvent
    HANDLE wakeEvent;
    Thread* thread;
    volatile int workerState;         // 1 acknowledge, 2 quit, 3 shade, 4 compose
    volatile int workerDone;
};

enum { WORKER_SLOTS = 32, WORKER_QUIT = 2 };

// The work a worker slot's thread does when its state asks for work.
typedef void (*WorkerRoutine)(WorkerSlot* slot);
// The loop of a worker thread: masks the x87 exceptions, sets 64-bit
// precision, then works whenever workerDone is 0 and the state is not 2
// (setting workerDone and signalling doneEvent after each piece), waiting
// on wakeEvent for at most 1 ms between checks. State 2 ends it, again
// with workerDone set and doneEvent signalled.
void RunWorkerLoop(WorkerSlot* slot, WorkerRoutine work);

// The calculation context of an open fractal window. Buffers hold rows of
// Fractal::GetBufferWidth cells (values, flags, planes) or of
// Fractal::GetImageStride pixels (images); all rows are stored bottom-up.
// The task frees none of its members itself: DeleteFractalTask does.
class FractalTask : public ListNode {
public:
    // A bare record with every start value (no thread, no window, no
    // buffers): what CreateFractalTask fills, and what tests build.
    FractalTask();

    Fractal* fractal;         // owner
    PFrameWindow* window;     // the fractal window, null for a task without one
    int windowHidden;         // 1 until the window is shown
    Thread* thread;           // the calculation thread, null while there is none
    RendererLink* renderer;   // the OpenGL view of the 3D image, null = none
    CameraWidget* cameraWidget;
    Spline* heightSpline;     // evaluator of the height-field curve
    uint8_t attractorDataInvalid;   // attractor points must be rebuilt
    void* attractorKernel;          // 32 x 32 float splat kernel
    void* attractorKernelMask;      // 32 x 32 byte mask
    double attractorPointCount;
    uint8_t stateByte;              // attractor started accumulating; cleared by Recalculate and Calculate
    uint8_t attractorResume;
    uint8_t attractorProgramSaved;
    FormulaCompiler* formulaCompiler;
    GrowBuffer* codeBuffer;
    GrowBuffer* codeBuffer2;
    int outsideColouringMark; // the outside colouring computes its own colour: a palette change recalculates
    int insideColouringMark;  // the same for the inside colouring
    WorkerSlot workers[WORKER_SLOTS];
    RowWorkerSlot rowWorkers[WORKER_SLOTS];
    HANDLE workerDoneEvent;
    HANDLE rowWorkerDoneEvent;
    volatile uint8_t inCompiledCode;   // 1 while the thread runs compiled formula code
    volatile double progress;          // 0..1 while calculating; -1 in a new task
    double progressShown;
    volatile int calculationState;     // CalculationState
    int recolourOnLeaving3D;
    int lastCalculateCommand;
    volatile int passLimit;            // passes an FTC_CONTINUE runs at most; 1000 = all
    int dragX, dragY, dragValue;
    DWORD lastDisplayTick;
    int layerUpdateCount;
    int plasmaRandomState;
    GrowBuffer* rowWorkBuffer;
    GrowBuffer* filterRows;
    GrowBuffer* filterRows2;
    AlignedBuffer* varBlock;
    AlignedBuffer* varBlock2;
    AlignedBuffer* varBlock3;
    AlignedBuffer* varBlock4;
    GrowBuffer* codeBuffer3;
    GrowBuffer* codeBuffer4;
    GrowBuffer* smallBuffer;          // array table of the compiled formulas
    void* workerBlocks[WORKER_SLOTS];
    void* attractorWeights;
    void* attractorColours;
    int penX, penY;
    double penDepth;
    int oldzRows, oldzRows2;          // size the oldz cells were made for
    int heightSplineKnots;
    int dataBlockExtra;
    HBRUSH backgroundBrush;
    HPEN pen;
    int penColour[3];
    volatile int command;             // FractalThreadCommand; 0 = nothing pending
    int commandArgument;              // argument of FTC_SEARCH
    float* values;                    // one float per cell; 0.0 = not calculated
    float* heights;                   // 3D heights while the 3D flag is on
    // The ten 2D work planes. Each points at its record in arrays[], which
    // the task keeps for its whole life (empty records cost nothing).
    Array2D* plane0;
    Array2D* plane1;
    Array2D* plane2;
    Array2D* oldz;                    // per-pixel opacity cells
    Array2D* planes[4];
    Array2D* plane7;
    Array2D* plane8;
    Array2D arrays[10];
    unsigned char* flags;             // one PixelFlag byte per cell
    float gammaTable[256];
    BusyLock* rowLock;
    BusyLock* rowLock2;
    volatile int rowsMoved;
    int heightsValid;
    unsigned char* imageBits;         // the image, 8 or 24 bits per pixel
    unsigned char* shadowBits;        // 8-bit shadow of a 24-bit image on an 8-bit display
    ImageSnapshot* snapshot;          // preview shown while a moved or zoomed view is recalculated
    unsigned char* image3D;           // 24-bit image of the 3D view (a quaternion's shaded picture)
    unsigned char* image3D8;          // 8-bit image of the 3D view on 8-bit displays
    int size3DWidth, size3DHeight;
    void* work3D[6];
    int selectionBox[4];              // x0, x1, y0, y1; -10000 = none
    int dragRect[4];
    int mouseMode;
    double dragScale;
    int markerX[4], markerY[4];       // -10000 = none
    int markerCount;
    TaskBitmapInfo dib;               // header and colours of imageBits
    TaskBitmapInfo dib8;              // header of shadowBits
    TaskBitmapInfo dib3D;             // header of the 3D images
    float* ditherRows[9];             // three sets of three error rows

    // ----- Buffers (TaskBuffers.cpp)
    // Invalidates the 10 x 10 area of each set marker in the window and
    // clears the four markers.
    void ClearMarkers();

    // ----- Zoom and move (document/Zoom.cpp)
    int selectionBoxShown = 0;        // the selection box is drawn in the window
};
