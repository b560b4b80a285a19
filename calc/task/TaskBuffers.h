// The per-pixel buffers of a fractal task follow the image size, the bits
// per pixel and the 3D settings: sizing (values, flags, work planes, image
// with its 8-bit shadow and dithering rows, 3D images and heights), the
// change of size and of colour depth of an open fractal, snapshots and
// markers. Sizes come from parameter files, so every size is computed in
// 64 bits and one that is negative, overflows or is too large fails whole.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <windows.h>

class Fractal;
struct TaskBitmapInfo;

// The size new fractals and fractals without a size get; Fractal::SetSize
// without keepDefault makes the given size the new default.
extern int g_DefaultImageWidth;
extern int g_DefaultImageHeight;

// What buffer sizing needs of the layers and the shell; each entry is
// skipped while null.
struct TaskBufferHooks {
    // Tells the layered fractals using this one (as a layer) that it stops
    // (recalculate 0) or has new buffers (1).
    void (*updateLayeredParents)(Fractal* fractal, int recalculate);
    // Makes the fractal the current one again, with force redrawing the
    // windows that show it.
    void (*selectFractal)(Fractal* fractal, int force);
};
extern TaskBufferHooks g_TaskBufferHooks;

// Bytes of count1 x count2 x cellSize, computed in 64 bits; false (and 0)
// when a factor is not positive or the product exceeds the largest block
// the program ever asks for.
bool BufferBytes(int64_t count1, int64_t count2, int64_t cellSize, size_t* bytes);

// Makes the task's buffers for width x height: 0, or 1 when an allocation
// failed or a size is unusable (then every buffer is freed).
int SetTaskImageSize(Fractal* fractal, int width, int height);
// The image (8-bit images black, index 252), the 8-bit shadow of a 24-bit
// image on an 8-bit screen and the nine dithering rows; 1 when any failed
// (the caller frees).
int AllocateImage(Fractal* fractal, int width, int height);
void FreeImage(Fractal* fractal);
// The software 3D images and the heights while the 3D view is on; 0 or 1.
int Allocate3DBuffers(Fractal* fractal, int width, int height);
void Free3DBuffers(Fractal* fractal);
// Frees every buffer of the task (the records of the work planes stay).
void FreeTaskBuffers(Fractal* fractal, int keepParents);

// A bitmap header of width x height with planes and bits per pixel (70
// pixels per metre, 256 colours used, 50 important); the colours stay.
void InitTaskBitmapHeader(TaskBitmapInfo* info, int width, int height, int planes, int bits);
// The same header for a new width and height.
void ResizeTaskBitmapHeader(TaskBitmapInfo* info, int width, int height);
