// The camera widget of a quaternion window: a translucent sphere around a
// surface point on which the user places the observer (camera handle) and
// turns the top vector (top handle). Every task owns one, hidden until the
// mouse handling shows it; this record holds its state and its overlay
// bitmap (32 bits with per-pixel alpha, drawn over the image by the window).
#pragma once
#include <windows.h>

class Fractal;

class CameraWidget {
public:
    explicit CameraWidget(Fractal* owner);   // hidden, radius 66, opacity 0.75
    ~CameraWidget();
    CameraWidget(const CameraWidget&) = delete;
    CameraWidget& operator=(const CameraWidget&) = delete;

    // Removes the handles' tooltips, frees the overlay and hides the widget;
    // nothing when it is not shown.
    void Release();
    // Release when shown.
    void Hide();
    // Makes the overlay for a sphere of radius r: a transparent 32-bit
    // top-down bitmap of overlayWidth x overlayHeight selected into
    // memoryDC, and marks the widget shown. A shown widget's former overlay
    // is released first; false (and hidden) when GDI refuses.
    bool AllocateOverlay(int r);

    Fractal* owner;
    BYTE shown;
    HBITMAP overlayBitmap;
    HDC memoryDC;
    void* bits;                       // the overlay's 32-bit pixels
    int overlayWidth, overlayHeight;  // (2r + 4) & ~3 and 2r + 2
    int radius;                       // sphere radius in pixels
    int radiusAtDragStart;
    int handleAtDragStart[2];         // camera handle (x, y) when the drag began
    int centrePixel[2];               // x and row (from the image bottom)
    double worldRadius;               // sphere radius in camera units
    double centre[3];                 // sphere centre, camera space
    double opacity;                   // 0..1, constant alpha of the overlay
    int dragMode;                     // 0 none, 1 camera handle, 2 top handle, 3 radius
    double cameraPoint[3];            // the camera on the sphere, camera space
    double camera[3];                 // the same in world space: the new observer
    double topVector[3];              // world space, unit length
    double topVectorCamera[3];
    int cameraHandle[2];              // pixel (x, y)
    BYTE front;                       // the camera lies on the near half of the sphere
    int topHandle[2];
    double savedCamera[3], savedTopVector[3];
    BYTE tooltipsRegistered;
    BITMAPINFOHEADER header;          // of the overlay
};

// Removes the two handle tooltips of the fractal's window. The window layer
// binds it; unbound, a release only forgets that they were registered.
extern void (*g_RemoveCameraTooltips)(CameraWidget* widget);
