#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <vector>
#include "app/FractalImage.h"
#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "ui/FrameWindow.h"

namespace {

const COLORREF kBackground = RGB(1, 2, 3);

// A 32-bit memory device context of w x h pixels filled with kBackground.
class MemoryCanvas {
public:
    MemoryCanvas(int w, int h) : width(w), height(h)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        dc = CreateCompatibleDC(NULL);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        old = SelectObject(dc, bitmap);
        RECT all = {0, 0, w, h};
        HBRUSH brush = CreateSolidBrush(kBackground);
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    ~MemoryCanvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF At(int x, int y)
    {
        GdiFlush();
        return GetPixel(dc, x, y);
    }

    HDC dc;
    int width, height;

private:
    HBITMAP bitmap;
    HGDIOBJ old;
};

void SetHeader(TaskBitmapInfo& info, int width, int height, int bits)
{
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = (WORD)bits;
    info.header.biCompression = BI_RGB;
}

// A fractal with a task and a window object (no window): a 6 x 4 image
// (stride 8) whose window pixel (x, y) has a colour made from x and y.
struct DrawnFractal {
    Fractal fractal;
    FractalTask task;
    PFrameWindow window;
    std::vector<unsigned char> image, image3D;
    int stride, height;

    DrawnFractal(int depth, int type = FT_ESCAPETIME)
    {
        fractal.header->Type = type;
        fractal.header->Width = 6;
        fractal.header->Height = height = 4;
        fractal.header->DisplayDepth = depth;
        fractal.task = &task;
        task.fractal = &fractal;
        task.window = &window;
        stride = fractal.GetImageStride();
        image.assign(stride * height * 3, 0);
        image3D.assign(stride * height * 3, 0);
        task.imageBits = image.data();
        task.image3D = image3D.data();
        SetHeader(task.dib, stride, height, depth);
        SetHeader(task.dib3D, stride, height, 24);

        for (int y = 0; y < height; y++)
            for (int x = 0; x < stride; x++) {
                int row = height - 1 - y;   // images are stored bottom-up
                if (depth == 8) {
                    image[row * stride + x] = (unsigned char)(y * stride + x);
                } else {
                    unsigned char* p = &image[(row * stride + x) * 3];
                    p[0] = Blue(x, y), p[1] = Green(x, y), p[2] = Red(x, y);
                }
                unsigned char* q = &image3D[(row * stride + x) * 3];
                q[0] = Red(x, y), q[1] = Blue(x, y), q[2] = Green(x, y);
            }
        // The 8-bit image's colour table gives index i the colour of pixel i.
        for (int i = 0; i < 256; i++) {
            int x = i % stride, y = i / stride;
            task.dib.colors[i].rgbBlue = Blue(x, y);
            task.dib.colors[i].rgbGreen = Green(x, y);
            task.dib.colors[i].rgbRed = Red(x, y);
        }
    }
    ~DrawnFractal() { fractal.task = nullptr; }

    static unsigned char Red(int x, int y) { return (unsigned char)(40 + 20 * x); }
    static unsigned char Green(int x, int y) { return (unsigned char)(200 - 30 * y); }
    static unsigned char Blue(int x, int y) { return (unsigned char)(7 * x + 11 * y + 5); }
    static COLORREF Colour(int x, int y) { return RGB(Red(x, y), Green(x, y), Blue(x, y)); }
    static COLORREF Colour3D(int x, int y) { return RGB(Green(x, y), Blue(x, y), Red(x, y)); }
};

}  // namespace

TEST(DrawFractalImage, CopiesTheImageOneToOne)
{
    for (int depth : {8, 24}) {
        SCOPED_TRACE(depth);
        DrawnFractal f(depth);
        MemoryCanvas canvas(12, 8);
        DrawFractalImage(&f.fractal, canvas.dc, 0, 0, f.stride - 1, f.height - 1, 0);
        for (int y = 0; y < canvas.height; y++)
            for (int x = 0; x < canvas.width; x++) {
                COLORREF want = x < f.stride && y < f.height ? DrawnFractal::Colour(x, y) : kBackground;
                ASSERT_EQ(want, canvas.At(x, y)) << "at " << x << ", " << y;
            }
    }
}

TEST(DrawFractalImage, DrawsOnlyTheRectangleWithinTheImage)
{
    DrawnFractal f(24);
    MemoryCanvas canvas(12, 8);
    // Columns 2..9 and rows 1..6 requested; the image ends at column 7, row 3.
    DrawFractalImage(&f.fractal, canvas.dc, 2, 1, 9, 6, 0);
    for (int y = 0; y < canvas.height; y++)
        for (int x = 0; x < canvas.width; x++) {
            bool inside = x >= 2 && x < f.stride && y >= 1 && y < f.height;
            COLORREF want = inside ? DrawnFractal::Colour(x, y) : kBackground;
            ASSERT_EQ(want, canvas.At(x, y)) << "at " << x << ", " << y;
        }
}

TEST(DrawFractalImage, AQuaternionShowsItsThreeDimensionalPicture)
{
    DrawnFractal f(24, FT_QUATERNION);
    MemoryCanvas canvas(8, 4);
    DrawFractalImage(&f.fractal, canvas.dc, 0, 0, 7, 3, 0);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 8; x++)
            ASSERT_EQ(DrawnFractal::Colour3D(x, y), canvas.At(x, y)) << "at " << x << ", " << y;
}

TEST(DrawFractalImage, NothingWithoutAWindowObject)
{
    DrawnFractal f(24);
    f.task.window = nullptr;
    MemoryCanvas canvas(8, 4);
    DrawFractalImage(&f.fractal, canvas.dc, 0, 0, 7, 3, 0);
    EXPECT_EQ(kBackground, canvas.At(0, 0));
    EXPECT_EQ(kBackground, canvas.At(7, 3));
    // The image lock is left free.
    EXPECT_EQ(0, f.fractal.imageLockCount);
}
