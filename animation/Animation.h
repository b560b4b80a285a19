// An animation: key frames (each a private copy of a fractal) with a number
// of in-between frames from one key to the next, and the settings of its
// output. Every animation folder embeds one; the folder's fractal list is
// the key list.
#pragma once

#include <stdint.h>

#include "foundation/List.h"
#include "foundation/bignum/Apm.h"

class Fractal;
class Spline;

// The arrays one interpolation step works in, for n keys: each array has
// n + 10 zero-filled elements. It exists only while a step runs.
struct InterpolationWorkSet {
    explicit InterpolationWorkSet(int keyCount);
    // Frees every number handle still held, then the arrays.
    ~InterpolationWorkSet();

    InterpolationWorkSet(const InterpolationWorkSet&) = delete;
    InterpolationWorkSet& operator=(const InterpolationWorkSet&) = delete;

    enum { DOUBLE_ARRAYS = 9, HANDLE_ARRAYS = 4, POINTER_ARRAYS = 2 };

    int32_t count;
    // times, values, second derivatives, solver work, frame gaps, and the
    // palette and alpha-channel interpolation arrays
    double* doubles[DOUBLE_ARRAYS];
    M_APM* handles[HANDLE_ARRAYS];      // values and spline coefficients
    void** pointers[POINTER_ARRAYS];    // formula parameter and function lists of the keys
};

class Animation {
public:
    // Empty key list, then Reset.
    Animation();
    // Deletes the spline and the work set; the key fractals belong to the
    // folder and are left alone.
    virtual ~Animation();

    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;

    // Every field back to its default; forgets the keys without deleting
    // them and releases the spline and the work set.
    void Reset();
    // Destroys the work set, leaving the pointer null.
    void FreeWorkSet();

    enum { NAME_SIZE = 64, PATH_SIZE = 500 };

    NodeList keys;              // the key fractals in time order, layer keys behind their key
    char AnimName[NAME_SIZE];
    char outputPath[PATH_SIZE];
    int32_t Width;
    int32_t Height;
    int32_t Planes;
    int32_t Interpolation;      // 0 linear, 1 spline, 2 and more: Hermite-like view interpolation
    int32_t frameCounter;       // frame being produced while the animation runs
    int32_t Dimension;          // 1: every frame is a 3D frame
    int32_t Startframe;
    int32_t Endframe;           // -1: the last frame of the animation
    Fractal* currentKey;        // the key selected in the Animation window
    int32_t Savemode;           // 1 AVI file, 0 numbered PNG pictures
    int32_t FPS;
    char Author[40];
    char Address[80];
    char Date[40];
    char Comment[200];
    char Copyright[40];
    char Suggestion[200];
    Spline* spline;             // owned; made by the first interpolation step
    InterpolationWorkSet* workSet;  // owned; only while a step runs
};
