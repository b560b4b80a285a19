// Plotting primitives of the drawing fractal types. Image coordinates count
// rows from the bottom of the stored image; the window shows row y at
// height - 1 - y, shifted by the scroll positions in fixed-size mode. A
// point outside the image is never written, so callers may draw lines that
// leave the image.
#include "calc/task/Plot.h"

#include <stdlib.h>
#include <string.h>

#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "foundation/Util.h"

PlotWindowHooks g_PlotWindow = { nullptr, nullptr };

namespace {

// The shadow index of a drawn palette colour on a dithered display: the
// grey that stands for "something drawn here".
const int kDrawnShadowIndex = 218;
const int kAbsent = -10000;

struct Canvas {
    FractalTask* task;
    int width, height, stride, bufferWidth;
    bool rgb;      // 24 bits per pixel
    bool dither;   // a shadow image follows the image

    explicit Canvas(Fractal* fractal)
        : task(fractal->task), width(fractal->header->Width), height(fractal->header->Height),
          stride(fractal->GetImageStride()), bufferWidth(fractal->GetBufferWidth()),
          rgb(fractal->header->DisplayDepth == 24),
          dither(fractal->dither && fractal->task && fractal->task->shadowBits)
    {
    }
    bool Inside(int x, int y) const
    {
        return task && task->imageBits && x >= 0 && y >= 0 && x < width && y < height;
    }
    void PutRgb(int x, int y, const int rgbColour[3]) const
    {
        unsigned char* p = task->imageBits + ((size_t)y * stride + x) * 3;
        p[0] = (unsigned char)rgbColour[2];
        p[1] = (unsigned char)rgbColour[1];
        p[2] = (unsigned char)rgbColour[0];
    }
    void PutIndex(int x, int y, int index) const
    {
        task->imageBits[(size_t)y * stride + x] = (unsigned char)index;
    }
    void PutShadow(int x, int y, int index) const
    {
        if (dither)
            task->shadowBits[(size_t)y * stride + x] = (unsigned char)index;
    }
    float* Cell(int x, int y) const
    {
        return task->values ? task->values + (size_t)y * bufferWidth + x : nullptr;
    }
};

void EntryColour(const FractalTask* task, int index, int rgb[3])
{
    if (index < 0)
        index = 0;
    if (index > 255)
        index = 255;
    const RGBQUAD& e = task->dib.colors[index];
    rgb[0] = e.rgbRed;
    rgb[1] = e.rgbGreen;
    rgb[2] = e.rgbBlue;
}

POINT WindowPoint(Fractal* fractal, int x, int y)
{
    POINT p = { x, fractal->header->Height - 1 - y };
    if (fractal->header->Scrollbar && g_PlotWindow.scrollPosition) {
        int sx = 0, sy = 0;
        g_PlotWindow.scrollPosition(fractal, &sx, &sy);
        p.x -= sx;
        p.y -= sy;
    }
    return p;
}

void SetWindowPixel(Fractal* fractal, HDC hdc, int x, int y, const int rgb[3])
{
    if (!hdc)
        return;
    POINT p = WindowPoint(fractal, x, y);
    SetPixelV(hdc, p.x, p.y, RGB(rgb[0], rgb[1], rgb[2]));
}

int PaletteIndexOf(double colour)
{
    int i = (int)colour;
    return i < 0 ? 0 : (i > 255 ? 255 : i);
}

bool IsWholeOrFixed(double colour)
{
    return colour >= 252.0 || colour == (double)(int)colour;
}

// The four edges of a box as strips reaching reach pixels to both sides.
void InvalidateBoxEdges(Fractal* fractal, int x0, int y0, int x1, int y1, int reach)
{
    InvalidateImageRect(fractal, x0 - reach, y1 - reach, x1 + reach, y1 + reach, 0);
    InvalidateImageRect(fractal, x0 - reach, y0 - reach, x1 + reach, y0 + reach, 0);
    InvalidateImageRect(fractal, x0 - reach, y1 - reach, x0 + reach, y0 + reach, 0);
    InvalidateImageRect(fractal, x1 - reach, y1 - reach, x1 + reach, y0 + reach, 0);
}

}  // namespace

double DepthBrightness(double depth)
{
    double dark = (35.0 - depth) / 90.0;
    if (dark < 0.0)
        dark = 0.0;
    if (dark > 1.0)
        dark = 1.0;
    return 1.0 - dark;
}

void FractionalColour(Fractal* fractal, double colour, int rgb[3])
{
    FractalTask* task = fractal->task;
    int i = PaletteIndexOf(colour);
    EntryColour(task, i, rgb);
    if (fractal->header->DisplayDepth != 24 || IsWholeOrFixed(colour) || colour < 0.0)
        return;
    int next[3];
    EntryColour(task, i == 251 ? 0 : i + 1, next);
    double fraction = colour - i;
    for (int c = 0; c < 3; c++)
        rgb[c] = (int)(rgb[c] + (next[c] - rgb[c]) * fraction);
}

void MoveTo(Fractal* fractal, HDC hdc, int x, int y)
{
    FractalTask* task = fractal->task;
    if (!task)
        return;
    task->penX = x;
    task->penY = y;
    if (hdc) {
        POINT p = WindowPoint(fractal, x, y);
        MoveToEx(hdc, p.x, p.y, NULL);
    }
}

void SelectPaletteColor(Fractal* fractal, HDC hdc, int index)
{
    FractalTask* task = fractal->task;
    if (!task)
        return;
    int rgb[3];
    EntryColour(task, index, rgb);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(rgb[0], rgb[1], rgb[2]));
    if (hdc)
        SelectObject(hdc, pen);
    if (task->pen)
        DeleteObject(task->pen);
    task->pen = pen;
    for (int c = 0; c < 3; c++)
        task->penColour[c] = rgb[c];
}

void DrawLine(Fractal* fractal, HDC hdc, int x, int y, int index)
{
    FractalTask* task = fractal->task;
    if (!task)
        return;
    Canvas canvas(fractal);
    int x0 = task->penX, y0 = task->penY;
    int dx = x - x0, dy = y - y0;
    int n = abs(dx) > abs(dy) ? abs(dx) : abs(dy);
    int rgb[3];
    EntryColour(task, index, rgb);
    for (int k = 0; k < n; k++) {
        int px = (int)(x0 + (double)k * dx / n);
        int py = (int)(y0 + (double)k * dy / n);
        if (!canvas.Inside(px, py))
            continue;
        if (canvas.rgb)
            canvas.PutRgb(px, py, rgb);
        else
            canvas.PutIndex(px, py, index);
        canvas.PutShadow(px, py, kDrawnShadowIndex);
        if (float* cell = canvas.Cell(px, py))
            *cell = (float)index;
    }
    if (hdc) {
        POINT from = WindowPoint(fractal, x0, y0), to = WindowPoint(fractal, x, y);
        MoveToEx(hdc, from.x, from.y, NULL);
        LineTo(hdc, to.x, to.y);
    }
    task->penX = x;
    task->penY = y;
}

void DrawLine3D(Fractal* fractal, HDC hdc, int x, int y, double colour, double depth)
{
    FractalTask* task = fractal->task;
    if (!task || (x == task->penX && y == task->penY))
        return;
    Canvas canvas(fractal);
    int unshaded[3], shaded[3];
    FractionalColour(fractal, colour, unshaded);
    double brightness = DepthBrightness(depth);
    for (int c = 0; c < 3; c++)
        shaded[c] = (int)(unshaded[c] * brightness);
    const int* windowColour = canvas.rgb ? shaded : unshaded;
    int shadowIndex = DitherIndexOf(windowColour[0], windowColour[1], windowColour[2]);
    int x0 = task->penX, y0 = task->penY;
    int dx = x - x0, dy = y - y0;
    int n = abs(dx) > abs(dy) ? abs(dx) : abs(dy);
    for (int k = 0; k <= n; k++) {
        int px = (int)(x0 + (double)k * dx / n);
        int py = (int)(y0 + (double)k * dy / n);
        double pointDepth = task->penDepth + (depth - task->penDepth) * k / n;
        if (!canvas.Inside(px, py))
            continue;
        float* cell = canvas.Cell(px, py);
        if (cell && !(*cell == 0.0f || *cell < pointDepth))
            continue;
        if (canvas.rgb)
            canvas.PutRgb(px, py, shaded);
        else
            canvas.PutIndex(px, py, PaletteIndexOf(colour));
        canvas.PutShadow(px, py, shadowIndex);
        if (cell)
            *cell = (float)pointDepth;
        SetWindowPixel(fractal, hdc, px, py, windowColour);
    }
}

void SetImagePixel(Fractal* fractal, HDC hdc, int x, int y, int index)
{
    FractalTask* task = fractal->task;
    Canvas canvas(fractal);
    if (!canvas.Inside(x, y) || (x == task->penX && y == task->penY))
        return;
    int rgb[3];
    EntryColour(task, index, rgb);
    if (canvas.rgb)
        canvas.PutRgb(x, y, rgb);
    else
        canvas.PutIndex(x, y, index);
    canvas.PutShadow(x, y, kDrawnShadowIndex);
    SetWindowPixel(fractal, hdc, x, y, rgb);
}

void SetPixel3D(Fractal* fractal, HDC hdc, int x, int y, double colour, double depth)
{
    FractalTask* task = fractal->task;
    Canvas canvas(fractal);
    if (!canvas.Inside(x, y) || (x == task->penX && y == task->penY))
        return;
    int image[3], window[3];
    FractionalColour(fractal, colour, image);
    memcpy(window, image, sizeof window);
    if (canvas.rgb) {
        if (IsWholeOrFixed(colour)) {
            double brightness = DepthBrightness(depth);
            for (int c = 0; c < 3; c++)
                window[c] = (int)(image[c] * brightness + 0.5);
        }
        canvas.PutRgb(x, y, image);
    } else {
        canvas.PutIndex(x, y, PaletteIndexOf(colour));
    }
    canvas.PutShadow(x, y, DitherIndexOf(window[0], window[1], window[2]));
    SetWindowPixel(fractal, hdc, x, y, window);
}

void PaintRectInColor(Fractal* fractal, HDC hdc, int x0, int y0, int x1, int y1)
{
    FractalTask* task = fractal->task;
    if (!task || !hdc)
        return;
    // One black source pixel (a 4 x 2 bitmap of black) stretched over the
    // rectangle.
    bool useCube = fractal->dither != 0;
    TaskBitmapInfo* info = useCube ? &task->dib3D : &task->dib;
    unsigned char source[4 * 2 * 4];
    memset(source, 0, sizeof source);
    if (!useCube && fractal->header->DisplayDepth == 8)
        memset(source, 252, sizeof source);
    LONG width = info->header.biWidth, height = info->header.biHeight;
    DWORD sizeImage = info->header.biSizeImage;
    info->header.biWidth = 4;
    info->header.biHeight = 2;
    info->header.biSizeImage = 0;
    StretchDIBits(hdc, x0, y0, x1 - x0 + 1, y1 - y0 + 1, 0, 0, 1, 1, source,
                  reinterpret_cast<BITMAPINFO*>(info), DIB_RGB_COLORS, SRCCOPY);
    info->header.biWidth = width;
    info->header.biHeight = height;
    info->header.biSizeImage = sizeImage;
}

void InvalidateImageRect(Fractal* fractal, int x0, int y0, int x1, int y1, int clip)
{
    if (y0 > y1) {
        int t = y0;
        y0 = y1;
        y1 = t;
    }
    if (clip) {
        if (x1 > fractal->header->Width - 1)
            x1 = fractal->header->Width - 1;
        if (y1 > fractal->header->Height - 1)
            y1 = fractal->header->Height - 1;
    }
    if (x0 < 0)
        x0 = 0;
    if (y0 < 0)
        y0 = 0;
    RECT rect = { x0, y0, x1, y1 };
    if (g_PlotWindow.invalidate)
        g_PlotWindow.invalidate(fractal, &rect);
}

void Fractal::SetSelectionBox(int x0, int y0, int x1, int y1)
{
    if (!task)
        return;
    int* box = task->selectionBox;   // x0, x1, y0, y1
    int ox0 = box[0], ox1 = box[1], oy0 = box[2], oy1 = box[3];
    bool oldPresent = ox0 != kAbsent && ox1 != kAbsent;
    bool newPresent = x0 != kAbsent && x1 != kAbsent;
    OrderCorners(ox0, oy0, ox1, oy1);
    if (task->mouseMode == 0 && !newPresent && oldPresent)
        InvalidateBoxEdges(this, ox0, oy0, ox1, oy1, 4);
    box[0] = x0;
    box[1] = x1;
    box[2] = y0;
    box[3] = y1;
    if (oldPresent)
        InvalidateBoxEdges(this, ox0, oy0, ox1, oy1, 4);
    if (newPresent) {
        OrderCorners(x0, y0, x1, y1);
        InvalidateBoxEdges(this, x0, y0, x1, y1, 3);
    }
}

void CopyImageBlock(unsigned char* image, int x, int y, int imageWidth, int imageHeight,
                    const unsigned char* block, int blockWidth, int blockRows)
{
    if (!image || !block || blockWidth <= 0 || blockRows <= 0)
        return;
    long long first = x < 0 ? -(long long)x : 0;   // block columns left of the image
    long long end = (long long)x + blockWidth;     // one past the last image column
    if (end > imageWidth)
        end = imageWidth;
    long long count = end - ((long long)x + first);
    if (count <= 0)
        return;
    for (int r = 0; r < blockRows; r++) {
        long long row = (long long)y + r;
        if (row < 0 || row >= imageHeight)
            continue;
        memcpy(image + (size_t)(row * imageWidth + x + first) * 3,
               block + ((size_t)r * blockWidth + (size_t)first) * 3, (size_t)count * 3);
    }
}

void StampTextIntoImage(Fractal* fractal, unsigned char* image, const char* text, int imageWidth,
                        int imageHeight)
{
    if (!image || imageWidth <= 0 || imageHeight <= 0)
        return;
    memset(image, 0, (size_t)imageWidth * imageHeight * 3);
    HDC dc = CreateCompatibleDC(NULL);
    if (!dc)
        return;
    RECT measure = { 0, 0, 1000, 1000 };
    DrawTextExA(dc, const_cast<char*>(text), -1, &measure, DT_CALCRECT, NULL);
    int w = ((measure.right - measure.left) + 3) & ~3;
    int h = measure.bottom - measure.top;
    if (w > 0 && h > 0) {
        BITMAPINFO info;
        memset(&info, 0, sizeof info);
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        if (section && bits) {
            HGDIOBJ former = SelectObject(dc, section);
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, RGB(0, 0, 0));
            SetTextColor(dc, RGB(192, 200, 208));
            RECT area = { 0, 0, w, h };
            DrawTextExA(dc, const_cast<char*>(text), -1, &area, 0, NULL);
            GdiFlush();
            const unsigned char* block = static_cast<const unsigned char*>(bits);
            const int places[5][2] = { { 10, 10 },
                                       { 10, imageHeight - h - 10 },
                                       { imageWidth - w - 10, 10 },
                                       { imageWidth - w - 10, imageHeight - h - 10 },
                                       { imageWidth / 2 - w / 2, imageHeight / 2 - h / 2 } };
            for (const auto& place : places)
                CopyImageBlock(image, place[0], place[1], imageWidth, imageHeight, block, w, h);
            SelectObject(dc, former);
        }
        if (section)
            DeleteObject(section);
    }
    DeleteDC(dc);
    if (fractal && g_PlotWindow.invalidate)
        g_PlotWindow.invalidate(fractal, nullptr);
}
