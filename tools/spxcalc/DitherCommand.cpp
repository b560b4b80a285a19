// spxcalc dither: the dithering of 24-bit images for 8-bit displays.
//
//   spxcalc dither --lookup          the 4,096-entry nearest-colour lookup:
//                                    256 lines, line 16 R4 + G4 holding the
//                                    16 indices for B4 = 0..15
//   spxcalc dither --size WxH FILE   FILE holds W x H x 3 bytes (blue, green,
//                                    red; bottom row first; no padding); the
//                                    colour-cube indices of the dithered
//                                    image, one line per row in that order
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "calc/task/TaskBuffers.h"
#include "document/Fractal.h"
#include "tools/spxcalc/Commands.h"

namespace {

int PrintLookup()
{
    const uint8_t* lookup = DitherLookup();
    for (int line = 0; line < DITHER_LOOKUP_SIZE / 16; line++)
        for (int b = 0; b < 16; b++)
            printf("%d%c", lookup[line * 16 + b], b == 15 ? '\n' : ' ');
    return 0;
}

bool ParseSize(const char* text, int* width, int* height)
{
    char* end;
    long w = strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X'))
        return false;
    const char* rest = end + 1;
    long h = strtol(rest, &end, 10);
    if (end == rest || *end != '\0' || w <= 0 || h <= 0 || w > 65536 || h > 65536)
        return false;
    *width = (int)w;
    *height = (int)h;
    return true;
}

bool ReadPixels(const char* path, size_t count, std::vector<unsigned char>& pixels)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        fprintf(stderr, "spxcalc dither: cannot open %s\n", path);
        return false;
    }
    pixels.resize(count);
    size_t got = fread(pixels.data(), 1, count, file);
    fclose(file);
    if (got != count) {
        fprintf(stderr, "spxcalc dither: %s holds %u bytes, the size needs %u\n", path, (unsigned)got,
                (unsigned)count);
        return false;
    }
    return true;
}

int DitherFile(int width, int height, const char* path)
{
    std::vector<unsigned char> pixels;
    if (!ReadPixels(path, (size_t)width * height * 3, pixels))
        return 1;
    // A windowless 24-bit task of the picture's size; no thread runs.
    Fractal* fractal = new Fractal(FT_IMAGE, 0);
    fractal->header->DisplayDepth = 24;
    fractal->header->Dims = 0;
    FractalTask* task = new FractalTask();
    task->fractal = fractal;
    fractal->task = task;
    int result = 0;
    if (SetTaskImageSize(fractal, width, height) != 0) {
        fprintf(stderr, "spxcalc dither: not enough memory for %dx%d\n", width, height);
        result = 1;
    } else {
        size_t stride = (size_t)fractal->GetImageStride();
        for (int y = 0; y < height; y++)
            memcpy(task->imageBits + y * 3 * stride, &pixels[(size_t)y * width * 3], (size_t)width * 3);
        std::vector<unsigned char> indices(stride * height);
        DitherImage(fractal, task->imageBits, indices.data());
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                printf("%d%c", indices[y * stride + x], x + 1 == width ? '\n' : ' ');
    }
    FreeTaskBuffers(fractal, 1);
    fractal->task = nullptr;
    delete task;
    delete fractal;
    return result;
}

int Usage()
{
    fprintf(stderr, "usage: spxcalc dither --lookup | --size WxH FILE\n");
    return 2;
}

}  // namespace

int RunDitherCommand(int argc, char** argv)
{
    if (argc == 1 && strcmp(argv[0], "--lookup") == 0)
        return PrintLookup();
    if (argc == 3 && strcmp(argv[0], "--size") == 0) {
        int width, height;
        if (!ParseSize(argv[1], &width, &height)) {
            fprintf(stderr, "spxcalc dither: bad size %s (expected WxH, e.g. 4x3)\n", argv[1]);
            return 2;
        }
        return DitherFile(width, height, argv[2]);
    }
    return Usage();
}
