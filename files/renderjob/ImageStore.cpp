// The sample window of a supersampled render job: allocation, adaptive
// block refinement, averaging and scrolling. Sub-row 0 is the top of the
// window. Base 2 holds the current pixel row and the next one (the next
// row's top corners close the current row's blocks); base 3 the previous,
// current and next rows (block centres need their eight neighbours).
#include "files/renderjob/ImageStore.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "files/renderjob/RenderJob.h"

ImageStore::ImageStore(RenderJob* job, Fractal* fractal) : job(job), fractal(fractal)
{
    job->RawFilePath("bits", bitsPath);
    job->RawFilePath("alpha", alphaPath);
    job->RawFilePath("flags", flagsPath);
}

ImageStore::~ImageStore() { Free(); }

bool ImageStore::Allocate(int newWidth, int newDepth, int newBase)
{
    Free();
    width = newWidth;
    depth = newDepth;
    base = newBase;
    ss = (int)floor(pow((double)base, depth) + 0.5);
    origin = base == 3 ? (ss - 1) / 2 : 0;
    subRows = base * ss;
    size_t samples = (size_t)SamplesPerSubRow();
    flags = static_cast<uint8_t**>(calloc(subRows, sizeof(void*)));
    colours = static_cast<uint8_t**>(calloc(subRows, sizeof(void*)));
    firstValues = static_cast<float**>(calloc(subRows, sizeof(void*)));
    secondValues = static_cast<int32_t**>(calloc(subRows, sizeof(void*)));
    thirdValues = static_cast<uint32_t**>(calloc(subRows, sizeof(void*)));
    rowBuffer = static_cast<uint32_t*>(calloc(width > 0 ? width : 1, sizeof(uint32_t)));
    bool ok = flags && colours && firstValues && secondValues && thirdValues && rowBuffer;
    for (int i = 0; ok && i < subRows; i++) {
        flags[i] = static_cast<uint8_t*>(calloc(samples, 1));
        colours[i] = static_cast<uint8_t*>(calloc(samples, 3));
        firstValues[i] = static_cast<float*>(calloc(samples, sizeof(float)));
        secondValues[i] = static_cast<int32_t*>(calloc(samples, sizeof(int32_t)));
        thirdValues[i] = static_cast<uint32_t*>(calloc(samples, sizeof(uint32_t)));
        ok = flags[i] && colours[i] && firstValues[i] && secondValues[i] && thirdValues[i];
    }
    if (!ok)
        Free();
    return ok;
}

void ImageStore::Free()
{
    for (int i = 0; i < subRows; i++) {
        if (flags) free(flags[i]);
        if (colours) free(colours[i]);
        if (firstValues) free(firstValues[i]);
        if (secondValues) free(secondValues[i]);
        if (thirdValues) free(thirdValues[i]);
    }
    free(flags);
    free(colours);
    free(firstValues);
    free(secondValues);
    free(thirdValues);
    free(rowBuffer);
    flags = colours = nullptr;
    firstValues = nullptr;
    secondValues = nullptr;
    thirdValues = nullptr;
    rowBuffer = nullptr;
    subRows = 0;
}

namespace {

// Sum over the given samples and the three channels of the squared
// difference from the channel's mean.
double ColourSpread(uint8_t* const* colours, const int (*points)[2], int count)
{
    double spread = 0.0;
    for (int channel = 0; channel < 3; channel++) {
        double mean = 0.0;
        for (int i = 0; i < count; i++)
            mean += colours[points[i][0]][3 * points[i][1] + channel];
        mean /= count;
        for (int i = 0; i < count; i++) {
            double d = colours[points[i][0]][3 * points[i][1] + channel] - mean;
            spread += d * d;
        }
    }
    return spread;
}

}  // namespace

int ImageStore::RefineBlocks(int base, int rowLength, int step, double threshold, int ss, int)
{
    if (step == 1)
        return 0;
    double scaled = 128.0 * threshold;
    double tolerance = 2.0 * base * base * scaled * scaled;
    int s = step;
    int pending = 0;
    if (base == 2) {
        for (int y = 0; y < ss; y += s) {
            for (int x = 0; x < rowLength; x += s) {
                uint8_t head = flags[y][x];
                if (head & SF_IN_BLOCK)
                    continue;
                // The last block of a row is always refined: its right
                // corners lie on the window's extra column.
                if (x == rowLength - s) {
                    pending++;
                    continue;
                }
                const int corners[4][2] = {{y, x}, {y, x + s}, {y + s, x}, {y + s, x + s}};
                if (ColourSpread(colours, corners, 4) > tolerance) {
                    pending++;
                    continue;
                }
                MarkBlock(y, x, y, x, s, head);
                flags[y][x] = head | SF_IN_BLOCK | SF_BLOCK_HEAD;
            }
        }
        return pending;
    }
    int c = (s - 1) / 2;
    for (int y = ss + c; y < 2 * ss; y += s) {
        for (int x = c; x < rowLength; x += s) {
            uint8_t centre = flags[y][x];
            if (centre & SF_IN_BLOCK)
                continue;
            if (x == c || x + s >= rowLength) {
                pending++;
                continue;
            }
            int points[9][2];
            int n = 0;
            for (int dy = -s; dy <= s; dy += s)
                for (int dx = -s; dx <= s; dx += s)
                    points[n][0] = y + dy, points[n][1] = x + dx, n++;
            if (!(ColourSpread(colours, points, 9) < tolerance)) {
                pending++;
                continue;
            }
            MarkBlock(y - c, x - c, y, x, s, centre);
            flags[y][x] = centre | SF_IN_BLOCK | SF_BLOCK_HEAD;
        }
    }
    return pending;
}

void ImageStore::MarkBlock(int top, int left, int headRow, int headColumn, int size, uint8_t headFlags)
{
    const uint8_t* colour = &colours[headRow][3 * headColumn];
    for (int by = top; by < top + size; by++)
        for (int bx = left; bx < left + size; bx++) {
            flags[by][bx] = headFlags | SF_IN_BLOCK;
            if (by != headRow || bx != headColumn)
                memcpy(&colours[by][3 * bx], colour, 3);
        }
}

// Every level averages its children. The samples of an unrefined block
// carry its head's colour (MarkBlock), so a block left unrefined at a fine
// level counts for its own part of the pixel only, not for the whole pixel.
void ImageStore::RefineBlock(int x, int y, int base, int n)
{
    if (base == 2) {
        if (n > 1) {
            RefineBlock(x, y, 2, n / 2);
            RefineBlock(x + n, y, 2, n / 2);
            RefineBlock(x, y + n, 2, n / 2);
            RefineBlock(x + n, y + n, 2, n / 2);
        }
        for (int channel = 0; channel < 3; channel++) {
            int sum = colours[y][3 * x + channel] + colours[y][3 * (x + n) + channel] +
                      colours[y + n][3 * x + channel] + colours[y + n][3 * (x + n) + channel];
            colours[y][3 * x + channel] = (uint8_t)(sum >> 2);
        }
        return;
    }
    if (n > 1)
        for (int dy = -n; dy <= n; dy += n)
            for (int dx = -n; dx <= n; dx += n)
                RefineBlock(x + dx, y + dy, 3, n / 3);
    for (int channel = 0; channel < 3; channel++) {
        int sum = 0;
        for (int dy = -n; dy <= n; dy += n)
            for (int dx = -n; dx <= n; dx += n)
                sum += colours[y + dy][3 * (x + dx) + channel];
        colours[y][3 * x + channel] = (uint8_t)(sum / 9);
    }
}

void ImageStore::RefineRows(int base, int, int ss)
{
    if (ss == 1)
        return;
    if (base == 2) {
        for (int x = 0; x < width; x++)
            RefineBlock(x * ss, 0, 2, ss / 2);
        return;
    }
    int c = (ss - 1) / 2;
    for (int x = 0; x < width; x++)
        RefineBlock(c + x * ss, ss + c, 3, ss / 3);
}

namespace {

template <typename T>
void RotateRows(T** rows, int count, int shift, size_t bytes)
{
    std::vector<T*> moved(rows, rows + shift);
    for (int i = 0; i + shift < count; i++)
        rows[i] = rows[i + shift];
    for (int i = 0; i < shift; i++) {
        rows[count - shift + i] = moved[i];
        memset(moved[i], 0, bytes);
    }
}

}  // namespace

void ImageStore::ScrollUp()
{
    if (!flags)
        return;
    size_t samples = (size_t)SamplesPerSubRow();
    // One pixel row is ss sub-rows.
    int shift = ss;
    RotateRows(flags, subRows, shift, samples);
    RotateRows(colours, subRows, shift, samples * 3);
    RotateRows(firstValues, subRows, shift, samples * sizeof(float));
    RotateRows(secondValues, subRows, shift, samples * sizeof(int32_t));
    RotateRows(thirdValues, subRows, shift, samples * sizeof(uint32_t));
}
