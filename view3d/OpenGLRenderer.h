// The OpenGL context a fractal task owns: on the fractal window or offscreen
// on a memory device context with a 32-bit DIB section (Wine draws a 24-bit
// DIB with red and blue swapped), the read-back into the 24-bit image, and
// the attractor's preview point cloud with its bounding box and sphere.
// opengl32.dll is loaded at run time; its entry points live in g_GL.
#pragma once
#include <windows.h>
#include <GL/gl.h>
#include <stdint.h>
#include "calc/FractalTask.h"

class Fractal;

// The OpenGL 1.1 entry points the views use, loaded from opengl32.dll.
#define SPIRALIX_GL_FUNCTIONS(X) \
    X(void, glClearColor, (GLclampf, GLclampf, GLclampf, GLclampf)) \
    X(void, glClear, (GLbitfield)) \
    X(void, glHint, (GLenum, GLenum)) \
    X(void, glViewport, (GLint, GLint, GLsizei, GLsizei)) \
    X(void, glEnable, (GLenum)) \
    X(void, glDisable, (GLenum)) \
    X(GLboolean, glIsEnabled, (GLenum)) \
    X(void, glFogi, (GLenum, GLint)) \
    X(void, glFogf, (GLenum, GLfloat)) \
    X(void, glFogfv, (GLenum, const GLfloat*)) \
    X(void, glLightfv, (GLenum, GLenum, const GLfloat*)) \
    X(void, glLightModelfv, (GLenum, const GLfloat*)) \
    X(void, glLightModeli, (GLenum, GLint)) \
    X(void, glColorMaterial, (GLenum, GLenum)) \
    X(GLuint, glGenLists, (GLsizei)) \
    X(void, glNewList, (GLuint, GLenum)) \
    X(void, glEndList, (void)) \
    X(void, glCallList, (GLuint)) \
    X(void, glDeleteLists, (GLuint, GLsizei)) \
    X(void, glDepthFunc, (GLenum)) \
    X(void, glPointSize, (GLfloat)) \
    X(void, glPolygonMode, (GLenum, GLenum)) \
    X(void, glShadeModel, (GLenum)) \
    X(void, glEnableClientState, (GLenum)) \
    X(void, glDisableClientState, (GLenum)) \
    X(void, glVertexPointer, (GLint, GLenum, GLsizei, const GLvoid*)) \
    X(void, glColorPointer, (GLint, GLenum, GLsizei, const GLvoid*)) \
    X(void, glNormalPointer, (GLenum, GLsizei, const GLvoid*)) \
    X(void, glDrawArrays, (GLenum, GLint, GLsizei)) \
    X(void, glFlush, (void)) \
    X(void, glFinish, (void)) \
    X(void, glMatrixMode, (GLenum)) \
    X(void, glLoadIdentity, (void)) \
    X(void, glLoadMatrixd, (const GLdouble*)) \
    X(void, glFrustum, (GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble)) \
    X(void, glBegin, (GLenum)) \
    X(void, glEnd, (void)) \
    X(void, glVertex3f, (GLfloat, GLfloat, GLfloat)) \
    X(void, glColor3f, (GLfloat, GLfloat, GLfloat)) \
    X(void, glPixelStorei, (GLenum, GLint)) \
    X(void, glReadBuffer, (GLenum)) \
    X(void, glReadPixels, (GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, GLvoid*)) \
    X(GLenum, glGetError, (void)) \
    X(HGLRC, wglCreateContext, (HDC)) \
    X(BOOL, wglDeleteContext, (HGLRC)) \
    X(BOOL, wglMakeCurrent, (HDC, HGLRC))

struct GLFunctions {
#define SPIRALIX_GL_POINTER(result, name, arguments) result(WINAPI* name) arguments;
    SPIRALIX_GL_FUNCTIONS(SPIRALIX_GL_POINTER)
#undef SPIRALIX_GL_POINTER
};
extern GLFunctions g_GL;
// Loads opengl32.dll once (it stays loaded) and fills g_GL; false when the
// library or one of the entry points is missing.
bool LoadOpenGL();

// The attractor's preview points (Part of the renderer so they survive
// between calculations): vertices (x, y, -z), colours and a third array of
// the same size, n x 3 floats each, with the measured bounds.
struct PreviewCloud {
    float* vertices = nullptr;
    float* colours = nullptr;
    float* normals = nullptr;
    int count = 0;
    double boxMin[3] = {0, 0, 0};
    double boxMax[3] = {0, 0, 0};
    double sphereCentre[3] = {0, 0, 0};   // a world point (the z negation undone)
    double sphereRadius = 0;
    // Frees and re-allocates the arrays for n points when n differs or
    // they are missing; false (nothing allocated, count 0) on failure.
    bool Allocate(int n);
    void Free();
};

// The index of the first pixel format from start on (start <= 2000) with
// RGBA, the main plane and at least 16 depth bits and, for kind 1 (window),
// 16 colour bits, OpenGL, window drawing and double buffering, or for kind 2
// (bitmap) 24 colour bits, OpenGL, GDI and bitmap drawing. 0 when none.
int ChooseGLPixelFormat(HDC deviceContext, int kind, int start);

class OpenGLRenderer : public RendererLink {
public:
    explicit OpenGLRenderer(Fractal* owner);
    virtual ~OpenGLRenderer();   // Release
    OpenGLRenderer(const OpenGLRenderer&) = delete;
    OpenGLRenderer& operator=(const OpenGLRenderer&) = delete;

    // Builds the context on window, or offscreen (memory context and DIB
    // section) when window is null. Releases any earlier context first;
    // false (everything released) on failure. A window's pixel format is
    // set once: a second Create on it keeps the one it has.
    bool Create(int width, int height, HWND window);
    // Stores the size and (re)creates the DIB section when createBitmap,
    // else deletes it; sets the read-back header to the padded width
    // ((width + 4) & ~3) and, except for attractors, allocates the zeroed
    // read-back buffer. False on failure.
    bool Resize(int width, int height, bool createBitmap);
    // Frees every GL and GDI resource; the rebuild flags are set again.
    void Release();
    // A 32-bit bottom-up DIB section of width x height selected into the
    // memory context, replacing an older one.
    bool CreateBitmap(int width, int height);
    bool DeleteBitmap();

    // Makes the context current on this thread (false without one) and
    // takes it back.
    bool MakeCurrent();
    void DoneCurrent();
    // After a frame: the offscreen pixels into a 24-bit bottom-up image of
    // rows padded to 4 bytes (width x height as created), blue, green, red.
    // The window context swaps its buffers instead and copies nothing.
    bool ReadBack(uint8_t* image24, int width, int height);

    Fractal* owner;
    HWND formatWindow = nullptr;     // the window whose pixel format is set
    HDC windowDC = nullptr;
    HDC memoryDC = nullptr;
    HGLRC windowContext = nullptr;
    HGLRC bitmapContext = nullptr;
    HBITMAP dibSection = nullptr;
    HBITMAP oldBitmap = nullptr;
    void* dibBits = nullptr;         // 32-bit pixels of the DIB section
    int width = 0, height = 0;
    uint8_t* readBack = nullptr;     // 24-bit rows of the padded width
    BITMAPINFOHEADER readBackHeader;
    uint8_t rebuildPoints = 1;       // the preview must gather its points again
    uint8_t drawingAllowed = 1;
    // The image holds the attractor's preview frame: the accumulation leaves
    // it standing until its first composition replaces it.
    uint8_t previewInImage = 0;
    PreviewCloud cloud;
    // The attractor's shadow maps, one float map per light that casts
    // shadows (unallocated otherwise), sized by shadowScaleX/Y times the
    // image; they live with the task like the preview's sphere they frame.
    Array2D shadowMaps[8];
    double shadowScaleX = 1.0, shadowScaleY = 1.0;
};
