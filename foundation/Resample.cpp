// Nearest-neighbour resampling of pixel blocks.
#include "foundation/Resample.h"

#include <stddef.h>
#include <string.h>

void ResampleNearest(const unsigned char* src, unsigned char* dst, int srcWidth, int srcHeight,
                     int srcRowPixels, int dstWidth, int dstHeight, int dstRowPixels, bool rgb)
{
    if (src == NULL || dst == NULL || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 ||
        dstHeight <= 0 || dstRowPixels <= 0)
        return;
    int bytes = rgb ? 3 : 1;
    double xStep = (double)srcWidth / dstWidth;
    double yStep = (double)srcHeight / dstHeight;

    // The accumulated positions can reach the source's edge through rounding
    // and the row padding beyond dstWidth runs past it; both are held to the
    // last source row and column.
    double y = 0.0;
    for (int r = 0; r < dstHeight; r++, y += yStep) {
        int sy = y < srcHeight ? (int)y : srcHeight - 1;
        const unsigned char* in = src + (size_t)sy * srcRowPixels * bytes;
        unsigned char* out = dst + (size_t)r * dstRowPixels * bytes;
        double x = 0.0;
        for (int c = 0; c < dstRowPixels; c++, x += xStep) {
            int sx = x < srcWidth ? (int)x : srcWidth - 1;
            memcpy(out + (size_t)c * bytes, in + (size_t)sx * bytes, bytes);
        }
    }
}
