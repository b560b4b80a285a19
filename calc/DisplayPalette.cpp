// The display palette of 8-bit screens and Floyd-Steinberg dithering into
// the colour cube. All three dithering forms share one pixel step and one
// line walk; they differ only in how they find their pixels and in which
// of the task's nine float rows carry the errors (see DisplayPalette.h).
#include "calc/DisplayPalette.h"

#include <string.h>

#include "calc/FractalTask.h"
#include "calc/colour/Palette.h"
#include "compiler/CompileHost.h"
#include "document/Fractal.h"
#include "foundation/Services.h"

HPALETTE DisplayPalette = NULL;
RGBQUAD DisplayColorTable[256];
int DisplayShowsFractalColors = 0;
RGBQUAD FixedDisplayColors[256];
void (*g_DrawFractalWindowImage)(Fractal* fractal, int all, HPALETTE palette) = nullptr;

namespace {

struct CubeLookup {
    uint8_t index[DITHER_LOOKUP_SIZE];
    CubeLookup()
    {
        const RGBQUAD* cube = ColorCubePalette->colorTable;
        for (int key = 0; key < DITHER_LOOKUP_SIZE; key++) {
            int r = (key >> 8) * 16, g = ((key >> 4) & 15) * 16, b = (key & 15) * 16;
            int best = 0, bestDistance = 0x7FFFFFFF;
            for (int i = 0; i < DITHER_COLOURS; i++) {
                int dr = r - cube[i].rgbRed, dg = g - cube[i].rgbGreen, db = b - cube[i].rgbBlue;
                int distance = dr * dr + dg * dg + db * db;
                if (distance < bestDistance) {   // strict: the lowest index keeps a tie
                    bestDistance = distance;
                    best = i;
                }
            }
            index[key] = (uint8_t)best;
        }
    }
};

// The error rows of one walk: current[c] carries errors into this line,
// next[c] into the following one (c = red, green, blue).
struct ErrorRows {
    float* current[3];
    float* next[3];
};

inline float Clamp255(float v)
{
    return v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v);
}

// Diffuses count pixels: pixel k's blue, green, red bytes are at
// source + k * sourceStep, its index goes to target[k * targetStep].
void DitherLine(const unsigned char* source, int sourceStep, unsigned char* target, int targetStep,
                int count, const ErrorRows& rows)
{
    const uint8_t* lookup = DitherLookup();
    const RGBQUAD* cube = ColorCubePalette->colorTable;
    float *eR = rows.current[0], *eG = rows.current[1], *eB = rows.current[2];
    float *nR = rows.next[0], *nG = rows.next[1], *nB = rows.next[2];
    for (int k = 0; k < count; k++) {
        const unsigned char* p = source + (size_t)k * sourceStep;
        float r = Clamp255(p[2] + eR[k]);
        float g = Clamp255(p[1] + eG[k]);
        float b = Clamp255(p[0] + eB[k]);
        int key = (((int)(r + 0.5f) & 0xF0) << 4) + ((int)(g + 0.5f) & 0xF0) + ((int)(b + 0.5f) >> 4);
        int index = lookup[key];
        target[(size_t)k * targetStep] = (unsigned char)index;
        float errors[3] = { (r - cube[index].rgbRed) / 16.0f, (g - cube[index].rgbGreen) / 16.0f,
                            (b - cube[index].rgbBlue) / 16.0f };
        float* current[3] = { eR, eG, eB };
        float* next[3] = { nR, nG, nB };
        for (int c = 0; c < 3; c++) {
            if (k + 1 < count) {
                current[c][k + 1] += 7.0f * errors[c];
                next[c][k + 1] += errors[c];
            }
            if (k > 0)
                next[c][k - 1] += 3.0f * errors[c];
            next[c][k] += 5.0f * errors[c];
        }
    }
}

bool HasDitherRows(const FractalTask* task)
{
    for (int i = 0; i < 9; i++)
        if (task->ditherRows[i] == nullptr)
            return false;
    return true;
}

void ZeroFirstSet(FractalTask* task, int count)
{
    for (int c = 0; c < 3; c++)
        memset(task->ditherRows[c], 0, sizeof(float) * (size_t)count);
}

// The walk of one row or column on a stream: the stream's set holds the
// errors into this line, the first set (zeroed) collects those into the
// stream's next line, and then the two trade places in the task.
void DitherOnStream(FractalTask* task, int stream, const unsigned char* source, int sourceStep,
                    unsigned char* target, int targetStep, int count)
{
    int streamSet = stream == 0 ? 3 : 6;
    ZeroFirstSet(task, count);
    ErrorRows rows;
    for (int c = 0; c < 3; c++) {
        rows.current[c] = task->ditherRows[streamSet + c];
        rows.next[c] = task->ditherRows[c];
    }
    DitherLine(source, sourceStep, target, targetStep, count, rows);
    for (int c = 0; c < 3; c++) {
        float* consumed = task->ditherRows[streamSet + c];
        task->ditherRows[streamSet + c] = task->ditherRows[c];
        task->ditherRows[c] = consumed;
    }
}

}  // namespace

const uint8_t* DitherLookup()
{
    static const CubeLookup lookup;
    return lookup.index;
}

int DitherIndexOf(int red, int green, int blue)
{
    return DitherLookup()[((red & 0xF0) << 4) + (green & 0xF0) + ((blue & 0xFF) >> 4)];
}

void DitherImage(Fractal* fractal, const unsigned char* rgbImage, unsigned char* indexImage)
{
    FractalTask* task = fractal ? fractal->task : nullptr;
    if (task == nullptr || rgbImage == nullptr || indexImage == nullptr || !HasDitherRows(task))
        return;
    int width = fractal->header->Width, height = fractal->header->Height;
    size_t stride = (size_t)fractal->GetImageStride();
    ErrorRows rows;
    for (int c = 0; c < 3; c++) {
        rows.current[c] = task->ditherRows[6 + c];
        rows.next[c] = task->ditherRows[c];
    }
    for (int y = 0; y < height; y++) {
        for (int c = 0; c < 3; c++)
            memset(rows.next[c], 0, sizeof(float) * (size_t)width);
        DitherLine(rgbImage + y * 3 * stride, 3, indexImage + y * stride, 1, width, rows);
        for (int c = 0; c < 3; c++) {
            float* consumed = rows.current[c];
            rows.current[c] = rows.next[c];
            rows.next[c] = consumed;
        }
        int command = task->command;
        if (command != 0 && command != FTC_REDRAW3D)
            break;
    }
}

void DitherFractalImage(Fractal* fractal)
{
    if (fractal && fractal->task)
        DitherImage(fractal, fractal->task->imageBits, fractal->task->shadowBits);
}

void DitherImageRow(Fractal* fractal, int stream, int row, const unsigned char* rgbRow,
                    unsigned char* indexRow)
{
    FractalTask* task = fractal ? fractal->task : nullptr;
    if (task == nullptr || !HasDitherRows(task) || row < 0 || row >= fractal->header->Height)
        return;
    size_t stride = (size_t)fractal->GetImageStride();
    if (rgbRow == nullptr)
        rgbRow = task->imageBits ? task->imageBits + row * 3 * stride : nullptr;
    if (indexRow == nullptr)
        indexRow = task->shadowBits ? task->shadowBits + row * stride : nullptr;
    if (rgbRow == nullptr || indexRow == nullptr)
        return;
    DitherOnStream(task, stream, rgbRow, 3, indexRow, 1, fractal->header->Width);
}

void DitherImageColumn(Fractal* fractal, int stream, int column)
{
    FractalTask* task = fractal ? fractal->task : nullptr;
    if (task == nullptr || !HasDitherRows(task) || task->image3D == nullptr || task->image3D8 == nullptr ||
        column < 0 || column >= fractal->header->Width)
        return;
    int stride = fractal->GetImageStride();
    DitherOnStream(task, stream, task->image3D + 3 * column, 3 * stride, task->image3D8 + column, stride,
                   fractal->header->Height);
}

void FillDisplayPaletteEntries(LOGPALETTE* palette, const RGBQUAD* colours, int count)
{
    palette->palVersion = 0x300;
    palette->palNumEntries = (WORD)count;
    for (int i = 0; i < count; i++) {
        PALETTEENTRY& e = palette->palPalEntry[i];
        e.peRed = colours[i].rgbRed;
        e.peGreen = colours[i].rgbGreen;
        e.peBlue = colours[i].rgbBlue;
        e.peFlags = (i < 233 && count != 256) ? PC_RESERVED : 0;
    }
}

void SelectDisplayPalette(const RGBQUAD* colours, int count)
{
    if (colours == nullptr || count <= 0 || count > 256)
        return;
    struct {
        LOGPALETTE head;
        PALETTEENTRY more[255];
    } block;
    FillDisplayPaletteEntries(&block.head, colours, count);
    HPALETTE made = CreatePalette(&block.head);
    if (made == NULL)
        return;
    HWND main = Services().mainWindow ? Services().mainWindow() : NULL;
    if (main != NULL) {
        HDC dc = GetDC(main);
        SelectPalette(dc, made, FALSE);
        RealizePalette(dc);
        ReleaseDC(main, dc);
    }
    HPALETTE former = DisplayPalette;
    DisplayPalette = made;
    if (former != NULL)
        DeleteObject(former);
}

void DrawFractalWindow(Fractal* fractal, int, int all)
{
    if (fractal == nullptr || fractal->task == nullptr || fractal->task->window == nullptr)
        return;
    if (g_DrawFractalWindowImage)
        g_DrawFractalWindowImage(fractal, all ? 1 : 0, DisplayPalette);
}
