// Accumulation of attractor points into the per-cell planes: the splat
// kernel, the reconstruction filter of the oversampled image, and the step
// that turns one batch of point records into density, depth and colour.
// Everything here is plain arithmetic on caller-owned arrays, so the
// calculation thread and the tests use the same code.
#pragma once

#include <stdint.h>

// The kernel table holds radii up to this (32 × 32 cells).
enum { ATTRACTOR_KERNEL_SIDE = 32, ATTRACTOR_MAX_RADIUS = 31, ATTRACTOR_MAX_FILTER = 40 };

// The radius the kernel uses: weightRadius limited to 0 … 31 (the parameter
// reaches 100, the table does not).
int AttractorKernelRadius(int weightRadius);
// Quadrant x, y >= 0 of the splat: weight 1 at radius 0, else
// exp(-4 d / R²) for d = x² + y² <= R², 0 (mask 0) beyond.
void FillAttractorKernel(int weightRadius, float kernel[32 * 32], uint8_t mask[32 * 32]);

// Side n of the n × n reconstruction filter for oversampling factor
// s (1 … 5) and FilterRadius: s + n is even and 1 <= n <= 40.
int AttractorFilterSize(int oversampling, double filterRadius);
// Gaussian cells of an n × n filter; cells below 0.001 are 0 and the rest
// sum to 1.
void FillAttractorFilter(int n, float* cells);

// The planes of one accumulation: PW × PH cells, the view 20 cells in.
struct AttractorPlanes {
    int width = 0, height = 0;        // PW, PH
    float* density = nullptr;         // plane1
    float* depth = nullptr;           // values
    uint32_t* colour = nullptr;       // plane0
    uint8_t* flags = nullptr;
    float* sums[4] = {};              // planes 0 … 3 (render modes 1 and 2)
};

// Adds the kernel (radius R, mirrored to all quadrants) around a cell,
// only to cells inside the plane.
void SplatAttractorPoint(const AttractorPlanes& planes, float* plane, int column, int row, const float* kernel,
                         int radius);

// How a record's colour index turns into red, green and blue (0 … 255)
// in render mode 1; the palette mapping of the fractal.
typedef void (*AttractorColourMap)(void* context, float index, int rgb[3]);

struct AttractorAccumulation {
    int mode = 0;                 // RenderMode: 0 Gas, 1 Flame, 2 Plasma, 3 Solid
    int radius = 0;               // kernel radius (already limited)
    const float* kernel = nullptr;
    bool directColour = false;    // the records carry their own colour
    AttractorColourMap mapColour = nullptr;
    void* mapContext = nullptr;
};

// Accumulates count point records (128 bytes apart, screen records) into
// the planes; answers the number of records that fell inside.
int AccumulateAttractorRecords(const AttractorPlanes& planes, const AttractorAccumulation& how,
                               const uint8_t* records, int count);
