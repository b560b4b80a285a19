// Drawing of fractal windows: the image rectangle with the checkerboard
// beyond the image, the selection box with its handles, the position
// markers and the camera widget; the WM_PAINT work, the realisation of the
// display palette for every fractal window and a window-placement helper.
#pragma once
#include <windows.h>

class Fractal;
class PFrameWindow;

// Copies the inclusive rectangle left..right, top..bottom (image pixels) of
// the fractal's current picture into the device context 1:1: the 3D
// picture when the 3D view is on and calculated (always for quaternions),
// else the image or its dithered copy. In scroll-bar mode the rectangle is
// clamped to the visible part and drawn at window pixels. Parts of the
// rectangle beyond the image get the checkerboard. Then the selection box
// and the markers. Nothing happens when the task has no window object.
// Takes the fractal's image lock, so calculation threads and the main
// thread may call it at once.
void DrawFractalImage(Fractal* fractal, HDC dc, int left, int top, int right, int bottom,
                      int selectPalette);

// The sunken box edge and eight raised handles of the task's selection box.
void DrawSelectionBox(Fractal* fractal, HDC dc);
void DrawBoxHandle(HDC dc, int x, int y);
// The four position markers (marker 3 pulses with the tick count).
void DrawPositionMarkers(Fractal* fractal, HDC dc);
// The shown camera widget centred on marker 0: its overlay blended with the
// widget's opacity within the requested rectangle (window pixels, right
// and bottom exclusive), the camera handle's plus sign and the dotted line
// to the top handle.
void DrawCameraWidget(Fractal* fractal, HDC dc, const RECT& requested);

// Draws the fractal's whole image into its window (all), or only its
// bottom-left pixel, with palette selected when not null; nothing without
// a window. The palette and dithering code reaches it through
// g_DrawFractalWindowImage.
void DrawFractalWindowImage(Fractal* fractal, int all, HPALETTE palette);

// WM_PAINT of a fractal window; update is in window pixels. Nothing while
// the window is not ready or its resize is pending.
void PaintFractalWindow(HDC dc, Fractal* fractal, PFrameWindow* window, const RECT* update);

// WM_QUERYNEWPALETTE and WM_PALETTECHANGED of the main window: realise the
// display palette and repaint every fractal window when it changed.
LRESULT OnQueryNewPalette(PFrameWindow* window);
LRESULT OnPaletteChanged(PFrameWindow* window, PFrameWindow* changer);

// Moves and sizes a window; KEEP_BOUND in x and y (or width and height)
// keeps the window's normal position (size).
const int KEEP_BOUND = (int)0x80000000;
void SetWindowBounds(HWND hwnd, int x, int y, int width, int height);
