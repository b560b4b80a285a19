#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <vector>
#include "app/FractalImage.h"
#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "ui/FrameWindow.h"
#include "ui/WindowClasses.h"
#include "view3d/CameraWidget.h"

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

namespace {

// Installs a solid brush as the checkerboard for one test.
struct SolidChecker {
    explicit SolidChecker(COLORREF colour) : saved(checkerBrush) { checkerBrush = CreateSolidBrush(colour); }
    ~SolidChecker()
    {
        DeleteObject(checkerBrush);
        checkerBrush = saved;
    }
    HBRUSH saved;
};

const COLORREF kChecker = RGB(9, 99, 199);

}  // namespace

// Beyond the image's right column and bottom row the rectangle gets the
// checkerboard; the image part is copied as before, nothing outside the
// requested rectangle is touched.
TEST(DrawFractalImage, FillsTheRectangleBeyondTheImageWithTheCheckerboard)
{
    SolidChecker checker(kChecker);
    DrawnFractal f(24);
    MemoryCanvas canvas(14, 10);
    DrawFractalImage(&f.fractal, canvas.dc, 2, 1, 11, 6, 0);
    for (int y = 0; y < canvas.height; y++)
        for (int x = 0; x < canvas.width; x++) {
            COLORREF want = kBackground;
            if (x >= 2 && x <= 11 && y >= 1 && y <= 6)
                want = x < f.stride && y < f.height ? DrawnFractal::Colour(x, y) : kChecker;
            ASSERT_EQ(want, canvas.At(x, y)) << "at " << x << ", " << y;
        }
}

// In scroll-bar mode the rectangle is clamped to the visible part of the
// image and drawn at window pixels (image minus scroll position); nothing
// is filled.
TEST(DrawFractalImage, ScrollBarModeClampsToTheVisiblePart)
{
    SolidChecker checker(kChecker);
    DrawnFractal f(24);
    f.fractal.header->Scrollbar = 1;
    f.window.hScrollPos = 2;
    f.window.vScrollPos = 1;
    f.window.hScrollPage = 3;   // columns 2..4 and rows 1..2 are visible
    f.window.vScrollPage = 2;
    MemoryCanvas canvas(12, 8);
    DrawFractalImage(&f.fractal, canvas.dc, 0, 0, 11, 7, 0);
    for (int y = 0; y < canvas.height; y++)
        for (int x = 0; x < canvas.width; x++) {
            COLORREF want = x < 3 && y < 2 ? DrawnFractal::Colour(x + 2, y + 1) : kBackground;
            ASSERT_EQ(want, canvas.At(x, y)) << "at " << x << ", " << y;
        }
}

// The box is drawn at its stored corners in either order, with a handle
// at each corner and edge middle; an idle task (mode 0) draws none.
TEST(DrawFractalImage, SelectionBoxWithItsHandles)
{
    DrawnFractal f(24);
    MemoryCanvas canvas(60, 40);
    f.task.selectionBox[0] = 40;   // x1, x2, y1, y2: given right to left
    f.task.selectionBox[1] = 10;
    f.task.selectionBox[2] = 30;
    f.task.selectionBox[3] = 10;
    f.task.mouseMode = 0;
    DrawSelectionBox(&f.fractal, canvas.dc);
    EXPECT_EQ(kBackground, canvas.At(10, 10)) << "mode 0 shows no box";
    f.task.mouseMode = 1;
    DrawSelectionBox(&f.fractal, canvas.dc);
    const POINT handles[] = {{10, 10}, {40, 10}, {40, 30}, {10, 30}, {25, 10}, {25, 30}, {40, 20}, {10, 20}};
    for (const POINT& p : handles)
        EXPECT_NE(kBackground, canvas.At(p.x, p.y)) << "handle at " << p.x << ", " << p.y;
    EXPECT_NE(kBackground, canvas.At(17, 9)) << "the edge above the box";
    EXPECT_EQ(kBackground, canvas.At(17, 20)) << "inside the box";
    EXPECT_EQ(kBackground, canvas.At(50, 20)) << "outside";
}

namespace {

// A shown camera widget of radius 6 centred on marker 0 at (20, 15), its
// overlay opaque green, the camera handle at (20, 9), the top handle four
// pixels right of it.
struct ShownWidget {
    CameraWidget widget;
    explicit ShownWidget(DrawnFractal& f) : widget(&f.fractal)
    {
        EXPECT_TRUE(widget.AllocateOverlay(6));
        DWORD* px = static_cast<DWORD*>(widget.bits);
        for (int i = 0; i < widget.overlayWidth * widget.overlayHeight; i++)
            px[i] = 0xFF00FF00;   // premultiplied: alpha 255, green 255
        widget.opacity = 1.0;
        widget.cameraHandle[0] = 20, widget.cameraHandle[1] = 9;
        widget.topHandle[0] = 24, widget.topHandle[1] = 9;
        f.task.cameraWidget = &widget;
        f.task.markerX[0] = 20, f.task.markerY[0] = 15;
        for (int i = 1; i < 4; i++)
            f.task.markerX[i] = f.task.markerY[i] = -10000;
    }
};

const COLORREF kGreen = RGB(0, 255, 0);

}  // namespace

// The overlay covers centre +- radius, but only within the requested
// rectangle; the handle's plus sign and the line to the top handle (its
// end point excluded) are drawn over it in the front or back colour.
TEST(DrawFractalImage, CameraWidgetOverlayWithinTheRequestedRectangle)
{
    DrawnFractal f(24);
    ShownWidget shown(f);
    MemoryCanvas canvas(40, 30);
    // Requested: columns 0..19 only, so the right half of the square stays.
    DrawFractalImage(&f.fractal, canvas.dc, 0, 0, 19, 29, 0);
    EXPECT_EQ(kGreen, canvas.At(15, 20)) << "inside the square, requested";
    EXPECT_EQ(kGreen, canvas.At(14, 9)) << "top-left corner of the square";
    EXPECT_EQ(kBackground, canvas.At(13, 20)) << "left of the square";
    EXPECT_EQ(kBackground, canvas.At(15, 21)) << "below the square";
    EXPECT_EQ(kBackground, canvas.At(23, 20)) << "square, but not requested";
    const COLORREF back = 0xFF8844;
    EXPECT_EQ(back, canvas.At(18, 9)) << "plus sign";
    EXPECT_EQ(back, canvas.At(20, 11)) << "plus sign";
    EXPECT_EQ(back, canvas.At(23, 9)) << "line to the top handle";
    EXPECT_EQ(kBackground, canvas.At(24, 9)) << "the line's end point is not set";

    // Half opacity blends half of the green over the background; the front
    // colour marks a camera on the near half.
    shown.widget.opacity = 0.5;
    shown.widget.front = 1;
    MemoryCanvas again(40, 30);
    DrawFractalImage(&f.fractal, again.dc, 0, 0, 39, 29, 0);
    const COLORREF blended = again.At(23, 20);
    EXPECT_NEAR(127, GetGValue(blended), 2);
    EXPECT_NEAR(GetRValue(kBackground), GetRValue(blended), 2);
    EXPECT_EQ((COLORREF)0xFF0000, again.At(22, 9));

    // Marker 0 unset: the widget is not placed at all.
    f.task.markerX[0] = -10000;
    MemoryCanvas none(40, 30);
    DrawFractalImage(&f.fractal, none.dc, 0, 0, 39, 29, 0);
    EXPECT_EQ(kBackground, none.At(15, 20));
    EXPECT_EQ(kBackground, none.At(18, 9));
    f.task.cameraWidget = nullptr;
}

TEST(SetWindowBounds, KeepingEverythingChangesNothingAndKeepingOneSideMovesTheOther)
{
    HWND w = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPED, 30, 40, 200, 100, NULL, NULL,
                             GetModuleHandleA(NULL), NULL);
    ASSERT_NE(nullptr, w);
    RECT r;
    SetWindowBounds(w, KEEP_BOUND, KEEP_BOUND, KEEP_BOUND, KEEP_BOUND);
    GetWindowRect(w, &r);
    EXPECT_EQ(30, r.left);
    EXPECT_EQ(40, r.top);
    EXPECT_EQ(200, r.right - r.left);
    EXPECT_EQ(100, r.bottom - r.top);
    SetWindowBounds(w, 50, KEEP_BOUND, KEEP_BOUND, 70);
    GetWindowRect(w, &r);
    EXPECT_EQ(50, r.left);
    EXPECT_EQ(40, r.top) << "the kept y is the normal position's";
    EXPECT_EQ(200, r.right - r.left);
    EXPECT_EQ(70, r.bottom - r.top);
    DestroyWindow(w);
}
