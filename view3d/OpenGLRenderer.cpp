// The task's OpenGL context: pixel-format choice, creation on the fractal
// window or offscreen, resizing, release and the read-back of a frame. The
// offscreen target is a 32-bit DIB section, since Wine draws into a 24-bit
// one with red and blue swapped; the frame is copied into 24-bit rows.
#include "view3d/OpenGLRenderer.h"

#include <stdlib.h>
#include <string.h>

#include "document/Fractal.h"
#include "document/QuaternionParameters.h"

GLFunctions g_GL;

namespace {

// Pixel-format kinds of ChooseGLPixelFormat.
enum { FORMAT_WINDOW = 1, FORMAT_BITMAP = 2, FORMAT_TRIES = 999 };

int PaddedWidth(int width) { return (width + 4) & ~3; }

}  // namespace

bool LoadOpenGL() {
    static int loaded = 0;   // 0 not tried, 1 good, -1 failed
    if (loaded)
        return loaded > 0;
    HMODULE library = LoadLibraryA("opengl32.dll");
    loaded = -1;
    if (!library)
        return false;
#define SPIRALIX_GL_LOAD(result, name, arguments)                                             \
    g_GL.name = reinterpret_cast<result(WINAPI*) arguments>(GetProcAddress(library, #name)); \
    if (!g_GL.name)                                                                           \
        return false;
    SPIRALIX_GL_FUNCTIONS(SPIRALIX_GL_LOAD)
#undef SPIRALIX_GL_LOAD
    loaded = 1;
    return true;
}

bool PreviewCloud::Allocate(int n) {
    if (n == count && vertices)
        return true;
    Free();
    if (n <= 0 || (size_t)n > ((size_t)-1) / 12)
        return false;
    vertices = (float*)calloc(n, 12);
    colours = (float*)calloc(n, 12);
    normals = (float*)calloc(n, 12);
    if (!vertices || !colours || !normals) {
        Free();
        return false;
    }
    count = n;
    return true;
}

void PreviewCloud::Free() {
    free(vertices);
    free(colours);
    free(normals);
    vertices = colours = normals = nullptr;
    count = 0;
}

int ChooseGLPixelFormat(HDC dc, int kind, int start) {
    if (start > 2000)
        return 0;
    PIXELFORMATDESCRIPTOR pfd;
    int last = DescribePixelFormat(dc, 1, sizeof pfd, &pfd);
    for (int i = start < 1 ? 1 : start; i <= last; ++i) {
        if (!DescribePixelFormat(dc, i, sizeof pfd, &pfd))
            continue;
        if (pfd.iPixelType != PFD_TYPE_RGBA || pfd.iLayerType != PFD_MAIN_PLANE || pfd.cDepthBits < 16)
            continue;
        DWORD need = kind == FORMAT_WINDOW ? (PFD_SUPPORT_OPENGL | PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER)
                                           : (PFD_SUPPORT_OPENGL | PFD_SUPPORT_GDI | PFD_DRAW_TO_BITMAP);
        int colourBits = kind == FORMAT_WINDOW ? 16 : 24;
        if (pfd.cColorBits >= colourBits && (pfd.dwFlags & need) == need)
            return i;
    }
    return 0;
}

OpenGLRenderer::OpenGLRenderer(Fractal* ownerIn) : owner(ownerIn) {
    memset(&readBackHeader, 0, sizeof readBackHeader);
    rebuild[0] = rebuild[1] = rebuild[2] = 1;
}

OpenGLRenderer::~OpenGLRenderer() {
    Release();
    cloud.Free();
    for (Array2D& map : shadowMaps)
        map.Free();
}

bool OpenGLRenderer::Create(int w, int h, HWND window) {
    if (!LoadOpenGL())
        return false;
    Release();
    if (!window) {
        memoryDC = CreateCompatibleDC(nullptr);
        if (!memoryDC || !Resize(w, h, true)) {
            Release();
            return false;
        }
        int format = 0;
        for (int tries = 0; tries < FORMAT_TRIES && !bitmapContext; ++tries) {
            format = ChooseGLPixelFormat(memoryDC, FORMAT_BITMAP, format + 1);
            if (!format)
                break;
            PIXELFORMATDESCRIPTOR pfd;
            DescribePixelFormat(memoryDC, format, sizeof pfd, &pfd);
            if (SetPixelFormat(memoryDC, format, &pfd))
                bitmapContext = g_GL.wglCreateContext(memoryDC);
        }
        if (!bitmapContext) {
            Release();
            return false;
        }
        return true;
    }
    windowDC = GetDC(window);
    if (!windowDC) {
        Release();
        return false;
    }
    if (formatWindow != window) {
        int best = 0, bestAccum = -1, format = 0;
        for (int tries = 0; tries < FORMAT_TRIES; ++tries) {
            format = ChooseGLPixelFormat(windowDC, FORMAT_WINDOW, format + 1);
            if (!format)
                break;
            PIXELFORMATDESCRIPTOR pfd;
            DescribePixelFormat(windowDC, format, sizeof pfd, &pfd);
            if (pfd.cAccumBits > bestAccum) {
                best = format;
                bestAccum = pfd.cAccumBits;
            }
        }
        PIXELFORMATDESCRIPTOR pfd;
        if (!best || !DescribePixelFormat(windowDC, best, sizeof pfd, &pfd) || !SetPixelFormat(windowDC, best, &pfd)) {
            Release();
            return false;
        }
        formatWindow = window;
    }
    windowContext = g_GL.wglCreateContext(windowDC);
    if (!windowContext || !Resize(w, h, false)) {
        Release();
        return false;
    }
    return true;
}

bool OpenGLRenderer::Resize(int w, int h, bool createBitmap) {
    width = w;
    height = h;
    imageWidth = w;
    imageHeight = h;
    free(readBack);
    readBack = nullptr;
    if (createBitmap) {
        if (!CreateBitmap(w, h))
            return false;
    } else {
        DeleteBitmap();
    }
    memset(&readBackHeader, 0, sizeof readBackHeader);
    readBackHeader.biSize = sizeof readBackHeader;
    readBackHeader.biWidth = PaddedWidth(w);
    readBackHeader.biHeight = h;
    readBackHeader.biPlanes = 1;
    readBackHeader.biBitCount = 24;
    bool attractor = owner && owner->header && owner->header->Type == FT_ATTRACTOR;
    if (!attractor) {
        readBack = (uint8_t*)calloc((size_t)PaddedWidth(w) * (h > 0 ? h : 0) * 3 + 1, 1);
        if (!readBack) {
            DeleteBitmap();
            return false;
        }
    }
    data = readBack;
    return true;
}

bool OpenGLRenderer::CreateBitmap(int w, int h) {
    if (!memoryDC || w <= 0 || h <= 0)
        return false;
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;   // bottom-up, as the task's images
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memoryDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return false;
    HBITMAP previous = (HBITMAP)SelectObject(memoryDC, bitmap);
    if (dibSection)
        DeleteObject(dibSection);
    else
        oldBitmap = previous;
    dibSection = bitmap;
    dibBits = bits;
    return true;
}

bool OpenGLRenderer::DeleteBitmap() {
    if (!dibSection)
        return false;
    if (memoryDC && oldBitmap)
        SelectObject(memoryDC, oldBitmap);
    DeleteObject(dibSection);
    dibSection = nullptr;
    oldBitmap = nullptr;
    dibBits = nullptr;
    return true;
}

bool OpenGLRenderer::MakeCurrent() {
    if (windowContext)
        return g_GL.wglMakeCurrent(windowDC, windowContext) != FALSE;
    if (bitmapContext)
        return g_GL.wglMakeCurrent(memoryDC, bitmapContext) != FALSE;
    return false;
}

void OpenGLRenderer::DoneCurrent() {
    if (windowContext || bitmapContext)
        g_GL.wglMakeCurrent(nullptr, nullptr);
}

bool OpenGLRenderer::ReadBack(uint8_t* image, int w, int h) {
    if (!image || w <= 0 || h <= 0)
        return false;
    int rowBytes = (w * 3 + 3) & ~3;
    if (bitmapContext && dibBits) {
        g_GL.glFinish();
        GdiFlush();
        if (w > width || h > height)
            return false;
        for (int y = 0; y < h; ++y) {
            const uint8_t* source = (const uint8_t*)dibBits + (size_t)y * width * 4;
            uint8_t* target = image + (size_t)y * rowBytes;
            for (int x = 0; x < w; ++x, source += 4, target += 3) {
                target[0] = source[0];
                target[1] = source[1];
                target[2] = source[2];
            }
        }
        return true;
    }
    if (windowContext) {
        g_GL.glPixelStorei(GL_PACK_ALIGNMENT, 4);
        g_GL.glReadBuffer(GL_BACK);
        g_GL.glReadPixels(0, 0, w, h, GL_BGR_EXT, GL_UNSIGNED_BYTE, image);
        return g_GL.glGetError() == GL_NO_ERROR;
    }
    return false;
}

void OpenGLRenderer::Release() {
    if (windowContext || bitmapContext) {
        if (MakeCurrent() && owner && owner->header && owner->header->Type == FT_ATTRACTOR &&
            owner->typeParameters) {
            // The point display lives in this context: it goes with it.
            AttractorParameters* b = static_cast<AttractorParameters*>(owner->typeParameters);
            if (b->displayList)
                g_GL.glDeleteLists(b->displayList, 1);
            b->displayList = 0;
        }
        g_GL.wglMakeCurrent(nullptr, nullptr);
    }
    rebuild[0] = rebuild[1] = rebuild[2] = 1;
    rebuildPoints = 1;
    cloud.Free();
    free(readBack);
    readBack = nullptr;
    data = nullptr;
    if (windowContext)
        g_GL.wglDeleteContext(windowContext);
    if (bitmapContext)
        g_GL.wglDeleteContext(bitmapContext);
    windowContext = bitmapContext = nullptr;
    DeleteBitmap();
    if (memoryDC)
        DeleteDC(memoryDC);
    memoryDC = nullptr;
    if (windowDC && formatWindow)
        ReleaseDC(formatWindow, windowDC);
    windowDC = nullptr;
}
