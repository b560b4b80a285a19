// The fractal types stored in FractalHeader::Type. Other codes up to 25 are
// names of old types that the parameter-file reader maps onto these.
#pragma once

enum FractalType {
    FT_PLASMA = 6,
    FT_DYNAMICSYSTEM = 8,
    FT_LSYSTEM = 9,
    FT_IFS = 10,
    FT_ESCAPETIME = 14,
    FT_LAYERED = 15,
    FT_QUATERNION = 16,
    FT_IMAGE = 17,
    FT_ATTRACTOR = 18,
};
