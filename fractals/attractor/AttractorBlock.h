// The variable block of an attractor worker and the point records its
// program writes. Compiled attractor formulas, the attractor templates of
// the formula compiler and the glue of the attractor program all address
// the block through EDI at these fixed byte positions, so they never move.
#pragma once

#include <stdint.h>

enum AttractorVariable {
    AV_Z = 0,                       // 3 doubles: the working point
    AV_FORMULA_WEIGHT_START = 24,   // double
    AV_FORMULA_WEIGHT = 32,         // double
    AV_NUM_TRAFOS = 40,             // int: active formulas
    AV_CENTER = 64,                 // 80-bit pair (kept from the data preparation)
    AV_ANGLE = 96,                  // float
    AV_ROTATION_CENTER = 112,       // 80-bit pair
    AV_E = 144,                     // 80-bit
    AV_PI = 160,                    // 80-bit
    AV_SCREENMAX = 176,             // 2 floats
    AV_MAXITER = 208,               // double
    AV_CORNER_LEFTTOP = 224,        // 80-bit pair
    AV_CORNER_RIGHTBOTTOM = 256,    // 80-bit pair
    AV_WIDTH = 304,                 // int
    AV_HEIGHT = 320,                // int
    AV_INDEX = 336,                 // 80-bit: colour index of the point
    AV_NUMITER = 352,               // int
    AV_RANDOM = 368,                // two 80-bit values
    AV_Z_TEMP = 400,                // 3 doubles: the orbit point
    AV_HIDDEN_PIXEL = 432,          // int (bool)
    AV_VIEW_CAMERA = 496,           // 12 floats: position, rows right, up, view
    AV_VIEW_NEAR = 544,             // float
    AV_VIEW_FAR = 548,              // float
    AV_HISTORY = 552,               // pointer: ring of 65,536 formula numbers
    AV_VIRTUALALLOC = 560,          // pointer
    AV_VIRTUALFREE = 564,           // pointer
    AV_VIEW_WIDTH = 576,            // int
    AV_VIEW_HEIGHT = 580,           // int
    AV_ONCE_TRAFO = 584,            // byte: transformations' init_once pending
    AV_ONCE_TRAFO_INIT = 585,       // byte: transformations' init pending
    AV_ONCE_COLOUR = 586,           // byte: colouring's init_once pending
    AV_ONCE_COLOUR_INIT = 587,      // byte: colouring's init pending (and a new orbit)
    AV_PROJECT_FLAG = 588,          // byte: 1 project (records on screen), 0 3D points
    AV_BATCH_SIZE = 592,            // int: iterations per program call
    AV_POINT_BUFFER = 596,          // pointer: the worker's point records
    AV_VIEW_SCALE = 600,            // 2 floats
    AV_VIEW_CENTRE = 608,           // 2 ints
    AV_SELECTION_STATE = 616,       // int: state of the formula-selection generator
    AV_RSCALE_PRODUCT = 620,        // double
    AV_RANDOMRANGE = 656,           // 80-bit
    AV_PIXELCOLOR = 672,            // 4 floats
    AV_OBSERVER = 688,              // 3 doubles: holds the block's viewpoint
    AV_VIEWPOINT = 712,             // 3 doubles: holds the block's observer
    AV_TOP = 736,                   // 3 doubles
    AV_FIELD_OF_VIEW = 760,         // double, degrees
    AV_OUTSIDE_SETTINGS = 1008,     // 4 floats, 4 ints
    AV_INSIDE_SETTINGS = 1040,      // the same again
    AV_COLORTABLE = 1072,           // pointer
    AV_PERLIN = 1076,               // 4 pointers
    AV_TRAFO_WEIGHT = 1092,         // array pointer
    AV_TRAFO_COLOR = 1096,          // array pointer
    AV_SEED = 1100,                 // 2 ints
    AV_LIGHT_CAMERAS = 1132,        // 8 × 60 bytes: shadow cameras
    AV_OVERFLOW = 1516,             // int
};

// One shadow camera in the block (light k at AV_LIGHT_CAMERAS + 60 k).
enum { AV_LIGHT_CAMERA_SIZE = 60 };

enum {
    ATTRACTOR_BATCH = 1024,          // iterations per program call
    ATTRACTOR_RECORD_SIZE = 128,     // bytes per point record (32 written)
    ATTRACTOR_HISTORY_SIZE = 65536,  // entries of the formula history ring
};

// A record after the projection ("transform_pixel").
struct AttractorScreenRecord {
    int32_t x, y;
    float depth;
    float index;
    float colour[4];
};
// A record of a 3D point ("save_pixel").
struct AttractorSpaceRecord {
    float point[3];
    float index;
    float colour[4];
};
static_assert(sizeof(AttractorScreenRecord) == 32 && sizeof(AttractorSpaceRecord) == 32, "32 bytes written");
