// Coordinates of fractal windows: window pixels and image pixels.
#pragma once

class PFrameWindow;

// Convert between window pixels and image pixels of a fractal window, in
// place: the window's scroll positions are the image coordinates shown at
// its origin. ImageToWindow subtracts them, WindowToImage adds them. A null
// window leaves the coordinates alone.
void ImageToWindow(PFrameWindow* window, int& x, int& y);
void WindowToImage(PFrameWindow* window, int& x, int& y);
