#pragma once
#include <windows.h>

class Fractal;

// Copies the inclusive rectangle left..right, top..bottom (image pixels) of
// the fractal's current image into the device context at the same place,
// 1:1. The image shown is the 3D view's picture for a quaternion, else the
// task's image with its own colour table. With selectPalette the display
// palette is selected into the context first. The part of the rectangle
// outside the image is not drawn. Nothing happens when the fractal has no
// task or the task has no window object. Takes the fractal's image lock, so
// calculation threads and the main thread may call it at once.
void DrawFractalImage(Fractal* fractal, HDC dc, int left, int top, int right, int bottom,
                      int selectPalette);
