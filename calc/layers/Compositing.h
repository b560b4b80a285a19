// Compositing of a layered fractal's image row: a grey checkerboard with
// the visible layers merged over it from the bottom of the stack to the
// top, each with its merge mode, opacity, alpha and offsets; mask layers
// limit the opacity of the layer above. Normal mode blends in floating
// point, the other eighteen modes in 8.8 fixed point through g_MultiplyTable.
#pragma once

#include <windows.h>
#include <stdint.h>

class Fractal;
class Layer;
class LayerFileReader;
struct LayeredParameters;

// Layer::mergeMode. The names are g_MergeModeFileNames (document/Layer.h)
// and g_MergeModeChoices (the display names).
enum MergeMode {
    MERGE_NORMAL = 0, MERGE_MULTIPLY, MERGE_SCREEN, MERGE_OVERLAY, MERGE_SOFTLIGHT, MERGE_HARDLIGHT,
    MERGE_DARKEN, MERGE_LIGHTEN, MERGE_DIFFERENCE, MERGE_HUE, MERGE_SATURATION, MERGE_COLOR,
    MERGE_LUMINANCE, MERGE_ADDITION, MERGE_SUBTRACTION, MERGE_HSLADDITION, MERGE_RED, MERGE_GREEN,
    MERGE_BLUE, MERGE_MODE_COUNT
};

// M[i][j] = floor(i * j / 256).
extern uint8_t g_MultiplyTable[256][256];
// Fills g_MultiplyTable (once, at program start).
void BuildMultiplyTable();

// What MergeLayerLine works from for one visible layer of a row.
struct LayerMergeRecord {
    Layer* layer;                // null in the terminator
    uint8_t* imageRow;           // 3 bytes (blue, green, red) or 1 colour index per pixel
    const uint32_t* alphaRow;    // alpha words (opacity halves) or null
    const RGBQUAD* colourTable;  // colours of an 8-bit layer's indices
    double opacityFraction;      // opacity / 100
    const uint8_t* flagRow;      // PixelFlag bytes or null
    int32_t is24;
    int32_t opacity256;          // opacity byte * 256
    int32_t transparency256;     // (255 - opacity byte) * 256
    int32_t rowInRange;
    int32_t leftOffset;
    int32_t layerWidth;
    int32_t mergeMode;
    int32_t usesAlpha;
    double solidAlpha[3];        // outside, inside, "no result": alpha / 255
    int32_t solidAlpha256[3];    // the same as bytes * 256
};
enum { SOLID_ALPHA_OUTSIDE = 0, SOLID_ALPHA_INSIDE = 1, SOLID_ALPHA_NO_RESULT = 2 };

// Composes columns 0 .. lastColumn of image row row of the layered
// fractal. records must have room for the number of layers plus two. The
// layers' rows come from their tasks and the row goes into the layered
// task's 24-bit image; in a render job with a reader they come from the
// layer jobs' raw files and the row goes into the reader's output row.
void MergeLayerLine(Fractal* layered, LayeredParameters* params, int lastColumn, int row,
                    LayerMergeRecord* records, LayerFileReader* reader);

// F(s, d) of one channel for the channel-wise modes (Multiply .. Difference,
// Addition, Subtraction); d for the others.
int MergeChannel(int mode, int s, int d);
// F for a whole pixel (red, green, blue), every mode but Normal.
void MergePixel(int mode, const int s[3], const int d[3], int out[3]);
