// One layer of a layered fractal: the fractal that forms it and how it is
// merged, shifted, how opaque and whether it is shown or serves as a mask.
// Deleting the record never deletes its fractal.
#pragma once

#include "foundation/List.h"

class Fractal;

class Layer : public ListNode {
public:
    // Name empty, merge mode Normal, no offsets, opacity 100 %, visible,
    // auto-update, window shown, auto-zoom, uses alpha, no mask, no fractal.
    Layer();
    // The other's name and settings; the fractal stays null, since the copy
    // of a layered fractal attaches its own copy of each layer fractal.
    explicit Layer(const Layer& other);
    // Copies every setting of other; name, links and fractal stay.
    void CopyFieldsFrom(const Layer& other);

    int32_t mergeMode;      // index into the merge mode names; 0 Normal
    double leftOffset;      // horizontal shift of the layer's image, pixels
    double bottomOffset;    // vertical shift, pixels from the bottom
    double opacity;         // percent
    int32_t opacityLevel;   // opacity as 0..255, worked out before every merge
    int32_t visible;        // takes part in the merge
    int32_t autoUpdate;
    int32_t windowShown;    // the layer fractal's own window is shown
    int32_t autoZoom;       // follows zooms of the layered fractal
    int32_t usesAlpha;      // the layer's alpha channel is applied when merging
    int32_t mask;           // the layer serves as a mask
    Fractal* fractal;       // the layer fractal, not owned by the record
};

// The merge modes' names in parameter entries, by mergeMode, null-ended:
// "Normal", "Multiply", ... "SoftLight", "HardLight", ... "hsladd", "Red",
// "Green", "Blue".
extern const char* const g_MergeModeFileNames[];
