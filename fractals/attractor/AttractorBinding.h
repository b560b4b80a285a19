// Fills an attractor worker's variable block before its program runs: the
// constants, seeds, image and view sizes, camera, colouring settings, the
// formula weights and colours, and the slots only the runtime uses. What
// comes from the fractal's task is handed in, so tools and tests bind
// blocks without one.
#pragma once

#include <stdint.h>

struct AttractorParameters;
struct AttractorProjection;

struct AttractorBinding {
    const AttractorParameters* block = nullptr;
    int imageWidth = 0, imageHeight = 0;   // already times the image filter's step
    // The projected view: the task's plane less its margins, or 320 × 256.
    int viewWidth = 320, viewHeight = 256;
    int viewCentreX = 160, viewCentreY = 128;
    int worker = 0;
    uint32_t tick = 0;                     // the seed (GetTickCount unless injected)
    int32_t* history = nullptr;            // the worker's 65,536-entry ring
    uint8_t* pointBuffer = nullptr;        // room for 1,024 records
    const void* colourTable = nullptr;     // the task image's colour table
    // Header of sixteen ints and one float per active formula each, or null.
    void* weights = nullptr;
    void* colours = nullptr;
};

// Bytes the weight and colour arrays need for count active formulas.
inline int AttractorFormulaArrayBytes(int count) { return 64 + 4 * count; }

// Binds the block at base. Answers the projection's verdict: 1 usable,
// 0 a degenerate camera (the view camera is then left zero: nothing
// projects).
int BindAttractorVariables(const AttractorBinding& binding, uint8_t* base);

// Writes a camera into a bound block. index -1: the view camera (position,
// rows right, up, direction; near 0.1, far 1,000; the two view scales),
// which the projection template reads. index 0..7: the shadow camera of
// that light (origin and rows) with its shadow map's width, height and
// cells; without cells the program writes no shadow for the light.
void CopyAttractorLights(const AttractorProjection& camera, uint8_t* base, int index, int mapWidth = 0,
                         int mapHeight = 0, float* cells = nullptr);
