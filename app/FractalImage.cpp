// Drawing of fractal windows. DrawFractalImage copies a rectangle of the
// task's picture 1:1 into a device context under the fractal's image lock
// and puts the overlays that the mouse handling leaves on it (selection
// box, markers) on top; the calculation threads' rows reach the window as
// invalidated rectangles that PaintFractalWindow draws with it. The camera
// widget of a quaternion window is blended over the image from its overlay.
#include "app/FractalImage.h"

#include <initializer_list>
#include <stdlib.h>

#include "app/StatusTimer.h"
#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "foundation/List.h"
#include "foundation/Util.h"
#include "ui/FractalWindowHelpers.h"
#include "ui/FrameWindow.h"
#include "ui/WindowClasses.h"
#include "view3d/CameraWidget.h"
#include "view3d/Parameters3D.h"

namespace {

const int kNotSet = -10000;

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

bool Shows3D(const Fractal* f, const FractalTask* t)
{
    return f->header->Type == FT_QUATERNION || (f->header->Dims && t->calculationState >= CS_IMAGE_DONE);
}

int Mode3D(const Fractal* f)
{
    return f->params3D != nullptr ? f->params3D->Mode3D : 0;
}

void FillChecker(HDC dc, int left, int top, int right, int bottom)
{
    if (checkerBrush == NULL || right <= left || bottom <= top)
        return;
    RECT r = {left, top, right, bottom};
    FillRect(dc, &r, checkerBrush);
}

// The pen of marker 2, made on first use and kept.
HPEN MarkerPen()
{
    static HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 0));
    return pen;
}

void Circle(HDC dc, int x, int y, int r)
{
    Ellipse(dc, x - r, y - r, x + r, y + r);
}

}  // namespace

void DrawFractalImage(Fractal* fractal, HDC dc, int left, int top, int right, int bottom, int selectPalette)
{
    if (fractal == NULL || fractal->task == NULL || fractal->task->window == NULL)
        return;
    fractal->Lock();
    // The task may have been deleted while this thread waited for the lock.
    FractalTask* task = fractal->task;
    if (task == NULL) {
        fractal->Unlock();
        return;
    }
    PFrameWindow* window = task->window;
    // Nothing lies left of or above the image.
    left = left < 0 ? 0 : left;
    top = top < 0 ? 0 : top;
    int wl = left, wt = top, wr = right, wb = bottom;
    if (fractal->header->Scrollbar) {
        int x0 = window->hScrollPos, y0 = window->vScrollPos;
        int w = window->hScrollPage > 0 ? window->hScrollPage : fractal->header->Width;
        int h = window->vScrollPage > 0 ? window->vScrollPage : fractal->header->Height;
        left = Clamp(left, x0, x0 + w - 1);
        right = Clamp(right, x0, x0 + w - 1);
        top = Clamp(top, y0, y0 + h - 1);
        bottom = Clamp(bottom, y0, y0 + h - 1);
        wl = left, wt = top, wr = right, wb = bottom;
        ImageToWindow(window, wl, wt);
        ImageToWindow(window, wr, wb);
    }
    int width = wr - wl + 1, height = wb - wt + 1;

    if (selectPalette && DisplayPalette != NULL)
        SelectPalette(dc, DisplayPalette, FALSE);

    const TaskBitmapInfo* info;
    const void* bits;
    const bool threeD = Shows3D(fractal, task);
    if (threeD) {
        info = &task->dib3D;
        if (ScreenDepth == 8)
            bits = task->image3D8;
        else if (Mode3D(fractal) != 0 && task->renderer != nullptr)
            bits = task->renderer->data;
        else
            bits = task->image3D;
    } else if (fractal->dither) {
        info = &task->dib8;
        bits = task->shadowBits;
    } else {
        info = &task->dib;
        bits = task->imageBits;
    }

    // Beyond the image the window shows the checkerboard.
    const int imageHeight = info->header.biHeight;
    if (bottom >= imageHeight) {
        FillChecker(dc, wl, wt + (top < imageHeight ? imageHeight - top : 0), wl + width, wt + height);
        height = imageHeight - top;
    }
    int imageWidth = info->header.biWidth;
    if (fractal->header->Dims && Mode3D(fractal) == 1 && task->renderer != nullptr)
        imageWidth = task->renderer->imageWidth;
    if (right >= imageWidth) {
        FillChecker(dc, wl + (left < imageWidth ? imageWidth - left : 0), wt, wl + width, wt + height);
        width = imageWidth - left;
    }
    if (bits != NULL && width > 0 && height > 0) {
        // The image is a bottom-up bitmap: its source rows count from the
        // bottom, so the copy lands 1:1 on the window rows.
        StretchDIBits(dc, wl, wt, width, height, left, imageHeight - top - height, width, height, bits,
                      reinterpret_cast<const BITMAPINFO*>(info), DIB_RGB_COLORS, SRCCOPY);
    }
    DrawSelectionBox(fractal, dc);
    DrawPositionMarkers(fractal, dc);
    RECT requested = {wl, wt, wr + 1, wb + 1};
    DrawCameraWidget(fractal, dc, requested);
    fractal->Unlock();
}

void DrawCameraWidget(Fractal* fractal, HDC dc, const RECT& requested)
{
    FractalTask* t = fractal->task;
    CameraWidget* widget = t != NULL ? t->cameraWidget : NULL;
    // Marker 0 holds the widget's centre: without it there is nothing to place.
    if (widget == NULL || !widget->shown || t->markerX[0] == kNotSet)
        return;
    int ox = 0, oy = 0;
    if (fractal->header->Scrollbar && t->window != NULL) {
        ox = t->window->hScrollPos;
        oy = t->window->vScrollPos;
    }
    const int cx = t->markerX[0] - ox, cy = t->markerY[0] - oy, r = widget->radius;
    RECT square = {cx - r, cy - r, cx + r, cy + r}, part;
    if (widget->memoryDC != NULL && IntersectRect(&part, &square, &requested)) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, (BYTE)(int)(widget->opacity * 255), AC_SRC_ALPHA};
        AlphaBlend(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, widget->memoryDC,
                   part.left - square.left, part.top - square.top, part.right - part.left,
                   part.bottom - part.top, blend);
    }
    // The camera handle: a plus sign, and a dotted line to the top handle,
    // brighter when the camera is on the sphere's near half.
    const COLORREF colour = widget->front ? 0xFF0000 : 0xFF8844;
    const int hx = widget->cameraHandle[0], hy = widget->cameraHandle[1];
    for (int i = -2; i <= 2; i++) {
        SetPixel(dc, hx + i - ox, hy - oy, colour);
        SetPixel(dc, hx - ox, hy + i - oy, colour);
    }
    const int dx = widget->topHandle[0] - hx, dy = widget->topHandle[1] - hy;
    const int n = abs(dx) > abs(dy) ? abs(dx) : abs(dy);
    for (int i = 0; i < n; i++)
        SetPixel(dc, (int)(hx + (double)i * dx / n + 0.5 - ox), (int)(hy + (double)i * dy / n + 0.5 - oy),
                 colour);
}

void DrawBoxHandle(HDC dc, int x, int y)
{
    RECT r = {x - 4, y - 4, x + 4, y + 4};
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
}

void DrawSelectionBox(Fractal* fractal, HDC dc)
{
    FractalTask* t = fractal->task;
    if (t == NULL || t->selectionBox[0] == kNotSet || t->mouseMode == 0)
        return;
    int x1 = t->selectionBox[0], x2 = t->selectionBox[1], y1 = t->selectionBox[2], y2 = t->selectionBox[3];
    if (x2 < x1) {
        int s = x1;
        x1 = x2;
        x2 = s;
    }
    if (y2 < y1) {
        int s = y1;
        y1 = y2;
        y2 = s;
    }
    RECT edge = {x1 - 1, y1 - 1, x2 + 1, y2 + 1};
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    const int mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
    const POINT handles[] = {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {mx, y1}, {mx, y2}, {x2, my}, {x1, my}};
    for (const POINT& p : handles)
        DrawBoxHandle(dc, p.x, p.y);
}

void DrawPositionMarkers(Fractal* fractal, HDC dc)
{
    FractalTask* t = fractal->task;
    if (t == NULL)
        return;
    int ox = 0, oy = 0;
    if (fractal->header->Scrollbar && t->window != NULL) {
        ox = t->window->hScrollPos;
        oy = t->window->vScrollPos;
    }
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(WHITE_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
    if (t->markerX[0] != kNotSet) {
        for (int r : {5, 3, 1})
            Circle(dc, t->markerX[0] - ox, t->markerY[0] - oy, r);
    }
    if (t->markerX[1] != kNotSet) {
        SelectObject(dc, GetStockObject(BLACK_PEN));
        SelectObject(dc, GetStockObject(WHITE_BRUSH));
        Circle(dc, t->markerX[1] - ox, t->markerY[1] - oy, 4);
    }
    if (t->markerX[2] != kNotSet) {
        SelectObject(dc, MarkerPen());
        if (checkerBrush != NULL)
            SelectObject(dc, checkerBrush);
        Circle(dc, t->markerX[2] - ox, t->markerY[2] - oy, 4);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    if (t->markerX[3] != kNotSet) {
        const int x = t->markerX[3], y = t->markerY[3];
        const int c = (GetTickCount() / 26) & 63;
        const int level = c < 32 ? c : 63 - c;
        const COLORREF colour = RGB(128 + 4 * level, 0, 0);
        for (int i = -2; i <= 2; i++) {
            SetPixel(dc, x + i, y, colour);
            SetPixel(dc, x, y + i, colour);
        }
        for (int i = -3; i <= 3; i++) {
            SetPixel(dc, x + i, y - 3, colour);
            SetPixel(dc, x + i, y + 3, colour);
            SetPixel(dc, x - 3, y + i, colour);
            SetPixel(dc, x + 3, y + i, colour);
        }
    }
}

void DrawFractalWindowImage(Fractal* fractal, int all, HPALETTE palette)
{
    FractalTask* t = fractal != NULL ? fractal->task : NULL;
    if (t == NULL || t->window == NULL || t->window->hwnd == NULL)
        return;
    HWND hwnd = t->window->hwnd;
    HDC dc = GetDC(hwnd);
    if (palette != NULL)
        SelectPalette(dc, palette, FALSE);
    const int width = fractal->header->Width, height = fractal->header->Height;
    // One pixel is enough to make the window take up a new palette.
    if (all)
        DrawFractalImage(fractal, dc, 0, 0, width - 1, height - 1, 0);
    else
        DrawFractalImage(fractal, dc, 0, height - 1, 0, height - 1, 0);
    ReleaseDC(hwnd, dc);
}

void PaintFractalWindow(HDC dc, Fractal* fractal, PFrameWindow* window, const RECT* update)
{
    if (window == NULL || window->windowId != WID_FRACTAL || fractal == NULL || !fractal->taskReady ||
        fractal == PendingResizeFractal)
        return;
    if (DisplayPalette != NULL)
        SelectPalette(dc, DisplayPalette, FALSE);
    int left = update->left, top = update->top, right = update->right - 1, bottom = update->bottom - 1;
    if (fractal->header->Scrollbar) {
        WindowToImage(window, left, top);
        WindowToImage(window, right, bottom);
    }
    DrawFractalImage(fractal, dc, left, top, right, bottom, 0);
}

namespace {

// Every fractal window (and nothing else) is repainted in the new colours.
void InvalidateFractalWindows()
{
    for (ListNode* n = FolderList.GetHead(); n != NULL; n = n->next) {
        FractalFolder* folder = static_cast<FractalFolder*>(n);
        for (ListNode* m = folder->fractals.GetHead(); m != NULL; m = m->next) {
            Fractal* f = static_cast<Fractal*>(m);
            if (f->task != NULL && f->task->window != NULL)
                InvalidateRect(f->task->window->hwnd, NULL, FALSE);
        }
    }
}

LRESULT RealiseDisplayPalette(PFrameWindow* window)
{
    HDC dc = GetDC(window->hwnd);
    SelectPalette(dc, DisplayPalette, FALSE);
    UINT changed = RealizePalette(dc);
    ReleaseDC(window->hwnd, dc);
    if (changed != 0)
        InvalidateFractalWindows();
    return 1;
}

}  // namespace

LRESULT OnQueryNewPalette(PFrameWindow* window)
{
    if (window == NULL || window->windowId != WID_MAIN || DisplayPalette == NULL)
        return 0;
    return RealiseDisplayPalette(window);
}

LRESULT OnPaletteChanged(PFrameWindow* window, PFrameWindow* changer)
{
    if (window == NULL || changer == window || window->windowId != WID_MAIN || DisplayPalette == NULL)
        return 1;
    RealiseDisplayPalette(window);
    return 1;
}

void SetWindowBounds(HWND hwnd, int x, int y, int width, int height)
{
    WINDOWPLACEMENT placement = {sizeof placement};
    GetWindowPlacement(hwnd, &placement);
    const RECT& normal = placement.rcNormalPosition;
    UINT flags = SWP_NOZORDER;
    if (width == KEEP_BOUND && height == KEEP_BOUND)
        flags |= SWP_NOSIZE;
    if (x == KEEP_BOUND && y == KEEP_BOUND)
        flags |= SWP_NOMOVE;
    if (x == KEEP_BOUND)
        x = normal.left;
    if (y == KEEP_BOUND)
        y = normal.top;
    if (width == KEEP_BOUND)
        width = normal.right - normal.left;
    if (height == KEEP_BOUND)
        height = normal.bottom - normal.top;
    SetWindowPos(hwnd, NULL, x, y, width, height, flags);
}
