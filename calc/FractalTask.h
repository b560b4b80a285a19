#pragma once
#include <windows.h>
#include <stdint.h>
#include "foundation/List.h"
#include "compiler/CompileHost.h"

class Fractal;
class PFrameWindow;
class Thread;
class ImageSnapshot;

// What the calculation has done so far.
enum CalculationState { CS_NONE = 0, CS_IMAGE_DONE = 1, CS_3D_DONE = 2, CS_COMPLETE = 3 };

// A 2D work array of the calculation (cells of cellSize bytes).
struct Array2D {
    bool IsAllocated() const { return data != nullptr; }
    int owns = 0;
    void* data = nullptr;
    int width = 0, height = 0, cellSize = 0;
};

// What the document model touches of the task's OpenGL renderer.
struct RendererLink {
    uint8_t rebuild[3] = {0, 0, 0};   // what the renderer must rebuild
    char loadedTexture[260] = "";     // name of its loaded texture
    void* data = nullptr;             // non-null once its mesh exists
    int imageWidth = 0, imageHeight = 0;
};

// A device-independent bitmap header followed by its 256 colours.
struct TaskBitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

// The calculation context of an open fractal window: the window, the
// calculation thread with its command word and the per-pixel buffers.
// Buffers hold rows of Fractal::GetBufferWidth cells (values, flags) or of
// Fractal::GetImageStride pixels (images); image rows are stored bottom-up.
// The task frees none of its members itself: whoever tears it down does.
class FractalTask : public ListNode {
public:
    FractalTask();

    Fractal* fractal;         // owner
    PFrameWindow* window;     // the fractal window, null for a task without one
    Thread* thread;           // the calculation thread, null while there is none
    volatile int command;     // FractalThreadCommand (compiler/CompileHost.h); 0 = nothing pending
    float* values;            // one float per cell; 0.0 = not calculated
    unsigned char* flags;     // one flag byte per cell
    unsigned char* imageBits; // the image, 8 or 24 bits per pixel
    ImageSnapshot* snapshot;  // preview shown while a moved or zoomed view is recalculated
    unsigned char* image3D;   // 24-bit image of the 3D view (a quaternion's shaded picture)
    TaskBitmapInfo dib;       // header and colours of imageBits
    TaskBitmapInfo dib3D;     // header of the 3D images

    volatile int passLimit;   // passes an FTC_CONTINUE runs at most; 1000 = all
    volatile uint8_t inCompiledCode;   // 1 while the thread runs compiled formula code
    int calculationState;     // CalculationState
    double progress;          // 0..1
    unsigned char* image3D8;  // 8-bit shadow of the 3D image
    Array2D arrays[7];        // the calculation's 2D work arrays
    RendererLink* renderer;   // the OpenGL renderer, null = none
    uint8_t cameraWidgetShown;
    uint8_t attractorDataInvalid;
    uint8_t stateByte;        // cleared when a calculation is started anew
    RGBQUAD colourTable[256]; // the window's display colours
    int outsideColouringMark; // set when a palette change needs a recalculation
    int insideColouringMark;
};
