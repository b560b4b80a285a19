// The sample window of a supersampled render job: b pixel rows of ss x ss
// samples each (ss = b^depth, base b 2 or 3), refined adaptively (blocks
// whose corner or neighbour colours agree are not sampled further),
// averaged down to one colour per pixel and scrolled one pixel row at a
// time, so that memory never grows with the image height.
#pragma once

#include <stdint.h>

class Fractal;
class RenderJob;

// Flag bits the store adds to the calculation's PixelFlag bits.
enum {
    SF_IN_BLOCK = 0x04,     // the sample lies in a block that is not refined further
    SF_BLOCK_HEAD = 0x80,   // the sample whose colour stands for its block
};

class ImageStore {
public:
    // Builds the three raw-file paths (temporary folder and the job's id);
    // no arrays yet.
    ImageStore(RenderJob* job, Fractal* fractal);
    virtual ~ImageStore();

    ImageStore(const ImageStore&) = delete;
    ImageStore& operator=(const ImageStore&) = delete;

    // ss = round(base^depth); base x ss sub-rows of width x ss + 1 samples,
    // all zero, and the output row buffer of width entries. False when
    // memory is short (then nothing is held).
    bool Allocate(int width, int depth, int base);
    void Free();

    // Marks the blocks of the current pixel row whose colours agree within
    // threshold at level step; returns the number still to refine.
    int RefineBlocks(int base, int rowLength, int step, double threshold, int ss, int row);
    // Averages every pixel of the current row into its output sample.
    void RefineRows(int base, int rowLength, int ss);
    void RefineBlock(int x, int y, int base, int n);
    // Marks the size x size samples from (top, left) as one unrefined block
    // headed by (headRow, headColumn): flags and colour of the head.
    void MarkBlock(int top, int left, int headRow, int headColumn, int size, uint8_t headFlags);
    // Moves the window down the image by one pixel row; the rows that come
    // in are cleared. Swaps row arrays, copies no samples.
    void ScrollUp();

    // Where the output colour of pixel x of the current row lives.
    int OutputColumn(int x) const { return origin + x * ss; }
    int OutputSubRow() const { return base == 2 ? 0 : ss + origin; }

    int SubRowCount() const { return base * ss; }
    int SamplesPerSubRow() const { return width * ss + 1; }

    RenderJob* job;
    Fractal* fractal;
    char bitsPath[260];
    char alphaPath[260];
    char flagsPath[260];
    int width = 0, depth = 0, base = 2, ss = 1;
    int origin = 0;   // (ss - 1) / 2 for base 3, else 0
    // Per sub-row: flag bytes, colours (blue, green, red), first values
    // (-1.0: no value), second and third values.
    uint8_t** flags = nullptr;
    uint8_t** colours = nullptr;
    float** firstValues = nullptr;
    int32_t** secondValues = nullptr;
    uint32_t** thirdValues = nullptr;
    uint32_t* rowBuffer = nullptr;

private:
    int subRows = 0;
};
