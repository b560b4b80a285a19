// The OpenGL context of a task: an offscreen render of a known triangle
// read back into 24-bit rows with red and blue in their places (Wine draws
// a 24-bit DIB section with them swapped), the read-back header's padded
// width, no read-back buffer for attractors, and a window context whose
// pixel format is set once. Needs a display (tools/test.sh starts Xvfb).
#include <gtest/gtest.h>
#include <vector>

#include "document/Fractal.h"
#include "view3d/OpenGLRenderer.h"

namespace {

// Clears to blue and draws a red triangle over the lower-left half.
void DrawTriangle(int width, int height) {
    g_GL.glViewport(0, 0, width, height);
    g_GL.glMatrixMode(GL_PROJECTION);
    g_GL.glLoadIdentity();
    g_GL.glMatrixMode(GL_MODELVIEW);
    g_GL.glLoadIdentity();
    g_GL.glDisable(GL_LIGHTING);
    g_GL.glDisable(GL_DEPTH_TEST);
    g_GL.glClearColor(0, 0, 1, 1);
    g_GL.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    g_GL.glColor3f(1, 0, 0);
    g_GL.glBegin(GL_TRIANGLES);
    g_GL.glVertex3f(-1, -1, 0);
    g_GL.glVertex3f(1, -1, 0);
    g_GL.glVertex3f(-1, 1, 0);
    g_GL.glEnd();
    g_GL.glFinish();
}

}  // namespace

TEST(OpenGLRenderer, OffscreenTriangleKeepsRedAndBlue) {
    Fractal fractal(FT_IMAGE, 0);
    OpenGLRenderer renderer(&fractal);
    const int width = 21, height = 10;
    ASSERT_TRUE(renderer.Create(width, height, nullptr));
    ASSERT_NE(renderer.bitmapContext, nullptr);
    ASSERT_TRUE(renderer.MakeCurrent());
    DrawTriangle(width, height);
    int rowBytes = (width * 3 + 3) & ~3;
    std::vector<uint8_t> image((size_t)rowBytes * height, 0x77);
    ASSERT_TRUE(renderer.ReadBack(image.data(), width, height));
    renderer.DoneCurrent();
    // Rows are bottom-up: row 1 is near the bottom, where the triangle is.
    const uint8_t* lowerLeft = &image[1 * rowBytes + 1 * 3];
    const uint8_t* upperRight = &image[(height - 2) * rowBytes + (width - 2) * 3];
    EXPECT_EQ(lowerLeft[0], 0);      // blue
    EXPECT_EQ(lowerLeft[1], 0);      // green
    EXPECT_EQ(lowerLeft[2], 255);    // red
    EXPECT_EQ(upperRight[0], 255);
    EXPECT_EQ(upperRight[1], 0);
    EXPECT_EQ(upperRight[2], 0);
    // The padding bytes of a row are left alone.
    EXPECT_EQ(image[rowBytes - 1], 0x77);
    renderer.Release();
    EXPECT_EQ(renderer.bitmapContext, nullptr);
    EXPECT_EQ(renderer.memoryDC, nullptr);
    EXPECT_EQ(renderer.rebuild[0], 1);
}

TEST(OpenGLRenderer, ReadBackHeaderAndBuffer) {
    Fractal image(FT_IMAGE, 0);
    OpenGLRenderer renderer(&image);
    ASSERT_TRUE(renderer.Create(101, 7, nullptr));
    EXPECT_EQ(renderer.readBackHeader.biWidth, 104);
    EXPECT_EQ(renderer.readBackHeader.biHeight, 7);
    EXPECT_EQ(renderer.readBackHeader.biBitCount, 24);
    EXPECT_NE(renderer.readBack, nullptr);

    Fractal attractor(FT_ATTRACTOR, 0);
    OpenGLRenderer points(&attractor);
    ASSERT_TRUE(points.Create(101, 7, nullptr));
    EXPECT_EQ(points.readBack, nullptr);
}

TEST(OpenGLRenderer, WindowPixelFormatIsSetOnce) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SpiralixGLTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "SpiralixGLTest", "gl", WS_POPUP, 0, 0, 32, 16, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    Fractal fractal(FT_IMAGE, 0);
    OpenGLRenderer renderer(&fractal);
    ASSERT_TRUE(renderer.Create(32, 16, window));
    EXPECT_EQ(renderer.formatWindow, window);
    HDC dc = GetDC(window);
    int format = GetPixelFormat(dc);
    ReleaseDC(window, dc);
    EXPECT_GT(format, 0);
    // The second Create keeps the window's format (it cannot change anyway)
    // and still gets a context.
    ASSERT_TRUE(renderer.Create(32, 16, window));
    EXPECT_NE(renderer.windowContext, nullptr);
    EXPECT_EQ(renderer.formatWindow, window);
    renderer.Release();
    DestroyWindow(window);
}

TEST(ChooseGLPixelFormat, KindsAndLimits) {
    HDC memory = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(LoadOpenGL());
    EXPECT_EQ(ChooseGLPixelFormat(memory, 2, 2001), 0);
    int first = ChooseGLPixelFormat(memory, 2, 1);
    ASSERT_GT(first, 0);
    PIXELFORMATDESCRIPTOR pfd;
    ASSERT_TRUE(DescribePixelFormat(memory, first, sizeof pfd, &pfd));
    EXPECT_TRUE(pfd.dwFlags & PFD_DRAW_TO_BITMAP);
    EXPECT_GE(pfd.cDepthBits, 16);
    // Starting past it finds a later one or none.
    int next = ChooseGLPixelFormat(memory, 2, first + 1);
    EXPECT_TRUE(next == 0 || next > first);
    DeleteDC(memory);
}
