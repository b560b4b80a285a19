// Nearest-neighbour resampling of pixel blocks (image snapshots, previews).
#pragma once

// Copies a pixel block into one of another size by nearest-neighbour
// sampling: dstHeight rows of dstRowPixels pixels are filled from the
// srcWidth x srcHeight block (rows of srcRowPixels pixels). rgb: three bytes
// per pixel, else one. Destination pixels beyond dstWidth (row padding)
// repeat the last source column; the source is never read outside its
// srcWidth x srcHeight pixels. Nothing is written when a size is not
// positive.
void ResampleNearest(const unsigned char* src, unsigned char* dst, int srcWidth, int srcHeight,
                     int srcRowPixels, int dstWidth, int dstHeight, int dstRowPixels, bool rgb);
