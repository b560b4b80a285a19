#pragma once
#include <windows.h>
#include "foundation/List.h"
#include "compiler/CompileHost.h"

class Fractal;
class PFrameWindow;
class Thread;
class ImageSnapshot;

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
};
