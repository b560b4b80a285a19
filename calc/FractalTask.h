#pragma once
#include <windows.h>
#include "foundation/List.h"

class Fractal;
class PFrameWindow;
class Thread;
class ImageSnapshot;

// Values of FractalTask::command. The main thread writes a request, the
// calculation thread clears it when it takes it or writes its answer.
enum FractalThreadCommand {
    FTC_QUIT = 1,
    FTC_STOP = 2,
    FTC_STOPPED = 3,
    FTC_RECALCULATE = 4,
    FTC_QUIT_DONE = 5,
    FTC_REDRAW3D = 6,
    FTC_RECOLOUR = 7,
    FTC_START = 8,
    FTC_CONTINUE = 9,
    FTC_SEARCH = 12,
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
    volatile int command;     // FractalThreadCommand; 0 = nothing pending
    float* values;            // one float per cell; 0.0 = not calculated
    unsigned char* flags;     // one flag byte per cell
    unsigned char* imageBits; // the image, 8 or 24 bits per pixel
    ImageSnapshot* snapshot;  // preview shown while a moved or zoomed view is recalculated
    unsigned char* image3D;   // 24-bit image of the 3D view (a quaternion's shaded picture)
    TaskBitmapInfo dib;       // header and colours of imageBits
    TaskBitmapInfo dib3D;     // header of the 3D images
};
