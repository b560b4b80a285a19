// Colour mapping of escape-time pixels: a stored value and its flag byte
// become an image colour through the inside, outside or transformation
// colouring settings, a transfer function, the 252-entry gradient of the
// task and the alpha channel. Recolouring reads only the stored values, so
// a changed gradient shows without recalculating.
#pragma once

#include <windows.h>
#include <stdint.h>

class Fractal;

// The transfer functions of a colouring, as parameter files name them
// (g_TransferNames).
enum Transfer {
    TRANSFER_NONE = 0,
    TRANSFER_LINEAR = 1,
    TRANSFER_SQR = 2,
    TRANSFER_SQRT = 3,
    TRANSFER_CUBE = 4,
    TRANSFER_CUBEROOT = 5,
    TRANSFER_EXP = 6,
    TRANSFER_LOG = 7,
    TRANSFER_SIN = 8,
    TRANSFER_ARCTAN = 9,
};

// One colouring's settings, converted once per call.
struct ColouringSet {
    double density, accel, smooth, offset;
    int transfer;           // Transfer
    int repeat;             // non-zero: positions wrap around the gradient
    uint32_t solidColour;   // 0xRRGGBB
    int refactor;           // the colouring's refactor mode (0 for the transformation set)
};

enum { SET_OUTSIDE = 0, SET_INSIDE = 1, SET_TRANSFORMATION = 2 };

// The three sets of an escape-time fractal (outside, inside, transformation).
// A fractal of another type gets three default outside sets.
void GetColouringSets(const Fractal* fractal, ColouringSet sets[3]);
// The set a flag byte selects: inside only with PF_INSIDE alone, the
// transformation only with PF_MAPSOLID alone, else outside.
int ColouringSetOf(uint8_t flags);

// T(p) of the transfer table in single precision (accel a).
float TransferSingle(int transfer, float p, float a);
// The same in double precision, as the filtered samples, the quaternion
// and the attractor colouring use it.
double TransferDouble(int transfer, double p, double a);
// The refactoring colourings' table: p already scaled by 252, d density,
// a accel.
float RefactorTransfer(int transfer, float p, float d, float a);

// A gradient position: NaN counts as 0; with repeat the position wraps into
// 0..252 after being capped at +-cap, without it clamps to 0..251; a result
// of 252 or more becomes 251. Never outside [0, 252).
double WrapGradientPosition(double p, int repeat, double cap);

// The gradient colour at position p (0 <= p < 252): entry trunc(p) blended
// into the next one (251 into 0), each channel rounded; red, green, blue.
void BlendTableColour(const RGBQUAD* table, double p, int rgb[3]);

// The row colouring of an escape-time fractal: count columns from first in
// buffer row row into the task's image (24 or 8 bits), filling blocks of
// blockSize pixels; positions (0..1, -1 for a direct colour) into
// positionOut when given. Nothing without a task image.
void ColorizeEscapeTimeLine(Fractal* fractal, int firstColumn, int row, int count, int is24,
                            int blockSize, float* positionOut);

// The mapping of one row. Columns firstColumn .. firstColumn + n (bounded
// by the buffer width) are read from valueRow, flagRow and opacityRow
// (indexed by column; opacityRow may be null) and written to imageRow
// (indexed by column, 3 bytes per pixel with is24, else a gradient index
// per pixel); positionOut (indexed from firstColumn, n + 1 entries) may be
// null. With fill and blockSize > 1 whole blocks are written, cut at the
// image's edges, and the rows are dithered for an 8-bit display. shadowRow
// is not written: the display's dithering makes the shadow.
void MapEscapeTimeValues(Fractal* fractal, int firstColumn, const float* valueRow, uint8_t* flagRow,
                         uint8_t* imageRow, uint8_t* shadowRow, int n, int is24, int blockSize,
                         float* positionOut, uint32_t* opacityRow, int fill, int row);

// The sub-samples of one image column under an image filter: g x g samples
// (g the filter's side) of pixel column column, sample k = column * step + j
// of sample row i. Every row argument is an array of g row pointers;
// opacityRows may be null. Colours go to colourRows as red, green, blue at
// 3k; done bytes mark samples already mapped.
void MapFilteredSamples(Fractal* fractal, int column, float** valueRows, uint32_t** opacityRows,
                        uint8_t** flagRows, uint8_t** colourRows, uint8_t** doneRows);

// Dithering of a finished 24-bit row into the 8-bit shadow on stream 0 or 1
// (the display's row dithering); every row colouring calls it through here.
void DitherColouredRow(Fractal* fractal, int stream, int row);
