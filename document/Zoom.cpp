// Zooming and moving the view of a fractal from its window: at a pixel by a
// factor, with an animated preview, into and out of a selection box, and by
// a pixel offset. New corners are worked out on the displayed view and
// turned back by minus Angle before they are stored; quaternions move their
// camera instead. Window effects go through g_ZoomDisplay.
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include "calc/FractalTask.h"
#include "calc/ImageSnapshot.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/FractalThreads.h"
#include "document/Layer.h"
#include "document/Layers.h"
#include "document/ParameterTables.h"
#include "document/QuaternionParameters.h"
#include "document/Undo.h"
#include "document/ViewGeometry.h"
#include "foundation/Thread.h"
#include "foundation/Util.h"
#include "view3d/ViewPlane.h"

namespace {

bool HasTypeFlag(const Fractal* f, int column)
{
    int type = f->header->Type;
    return type >= 0 && type < TYPE_FLAG_CODES && TypeFlag(column, type) != 0;
}

// Layers that follow zooms and moves of their layered fractal.
bool FollowsView(const Layer* layer)
{
    return layer->fractal && layer->fractal->task && layer->autoZoom;
}

// Turns new displayed corners back about (cx, cy) by minus Angle and stores
// them as the view.
void StoreDisplayedCorners(Fractal* f, BigNumber x[3], BigNumber y[3], const BigNumber& cx, const BigNumber& cy)
{
    ViewParameters* v = f->typeParameters;
    if (v->Angle != 0.0)
        RotateCorners(x, y, cx, cy, -v->Angle, VIEW_PI_SHORT);
    v->TopLeftR = x[0];
    v->TopLeftI = y[0];
    v->BottomRightR = x[2];
    v->BottomRightI = y[2];
    if (v->Stretch) {
        v->TopRightR = x[1];
        v->TopRightI = y[1];
    }
    if (g_ZoomDisplay.refreshAreaTab)
        g_ZoomDisplay.refreshAreaTab(f);
}

// The rotation centre matters only for a rotated view.
void StoreWithOwnCentre(Fractal* f, BigNumber x[3], BigNumber y[3])
{
    BigNumber cx, cy;
    if (f->typeParameters->Angle != 0.0)
        f->GetRotationCentre(x, y, cx, cy);
    StoreDisplayedCorners(f, x, y, cx, cy);
}

void ClearValuesAndFlags(Fractal* f)
{
    FractalTask* t = f->task;
    size_t cells = (size_t)f->GetBufferWidth() * f->header->Height;
    if (t->values)
        memset(t->values, 0, cells * sizeof(float));
    if (t->flags)
        memset(t->flags, 0, cells);
}

// Every per-pixel buffer after a move too far to keep anything.
void ClearAllBuffers(Fractal* f)
{
    FractalTask* t = f->task;
    ClearValuesAndFlags(f);
    for (Array2D& plane : t->arrays)
        if (plane.IsAllocated())
            memset(plane.data, 0, (size_t)plane.width * plane.height * plane.cellSize);
    size_t pixels = (size_t)f->GetImageStride() * f->header->Height;
    if (!t->imageBits)
        return;
    if (f->header->DisplayDepth == 8) {
        memset(t->imageBits, 252, pixels);
    } else {
        memset(t->imageBits, 0, pixels * 3);
        if (ScreenDepth == 8 && t->shadowBits)
            memset(t->shadowBits, 0, pixels);
    }
}

void RemoveSelectionBox(Fractal* f)
{
    f->task->selectionBoxShown = 0;
    f->SetSelectionBox(-10000, 0, 0, 0);
}

// ---------------------------------------------------------------------------
// The zoom animation

// One frame: up to four black margins and the stretch of the image, in
// window pixels (inclusive rectangles).
struct ZoomFrame {
    int marginCount;
    RECT margins[4];
    int destX, destY, destWidth, destHeight;
    int sourceX, sourceY, sourceWidth, sourceHeight;   // source rows bottom-up
};

int Trunc(double v)
{
    return (int)v;
}

// scale = ratio^u, the scale after u of 10000 steps; (sx, sy) the scroll
// positions in scroll-bar mode.
ZoomFrame MakeZoomFrame(int W, int H, int col, int row, double factor, double scale, int u, int sx, int sy)
{
    ZoomFrame fr = {};
    int left, top, right, bottom;
    if (factor < 1) {
        left = Trunc((W - W * scale) / 2 + 0.5);
        top = Trunc((H - H * scale) / 2 + 0.5);
        right = Trunc(left + W * scale + 0.5);
        bottom = Trunc(top + H * scale + 0.5);
        fr.sourceX = fr.sourceY = 0;
        fr.sourceWidth = W;
        fr.sourceHeight = H;
        fr.destWidth = Trunc(W * scale + 0.5);
        fr.destHeight = Trunc(H * scale + 0.5);
    } else {
        double G = scale - 1;
        double a = u * (W / 2.0 - col) / 10000, b = u * (H / 2.0 - row) / 10000;
        int x0 = Trunc((G * col - a) / scale + 1), y0 = Trunc((G * row - b) / scale + 1);
        int x1 = Trunc(((W - col - 2) - a + scale * col) / scale - 1);
        int y1 = Trunc(((H - row - 1) - b + scale * row) / scale - 1);
        left = 0, top = 0, right = W - 1, bottom = H - 1;
        if (x0 < 0) {
            left = Trunc(0.5 - x0 * scale);
            x0 = 0;
        }
        if (y0 < 0) {
            top = Trunc(0.5 - y0 * scale);
            y0 = 0;
        }
        if (x1 >= W) {
            right = Trunc((W - x1 - 1) * scale + (W - 1) + 0.5);
            x1 = W - 1;
        }
        if (y1 >= H) {
            bottom = Trunc((H - y1 - 1) * scale + (H - 1) + 0.5);
            y1 = H - 1;
        }
        fr.sourceX = x0;
        fr.sourceY = H - y1 - 1;
        fr.sourceWidth = x1 - x0 + 1;
        fr.sourceHeight = y1 - y0 + 1;
        fr.destWidth = right - left + 1;
        fr.destHeight = bottom - top + 1;
    }
    left -= sx;
    right -= sx;
    top -= sy;
    bottom -= sy;
    fr.destX = left;
    fr.destY = top;
    // Zooming out always paints the margins (empty ones paint nothing);
    // zooming in only those the source leaves uncovered.
    bool out = factor < 1;
    if (out || left > 0)
        fr.margins[fr.marginCount++] = {0, 0, left - 1, H - 1};
    if (out || right < W - 1)
        fr.margins[fr.marginCount++] = {right + 1, 0, W - 1, H - 1};
    if (out || top > 0)
        fr.margins[fr.marginCount++] = {0, 0, W - 1, top - 1};
    if (out || bottom < H - 1)
        fr.margins[fr.marginCount++] = {0, bottom + 1, W - 1, H - 1};
    return fr;
}

void AnimateZoom(Fractal* f, int col, int row, double factor)
{
    const ZoomDisplay& d = g_ZoomDisplay;
    if (!d.beginFrames || !d.beginFrames(f))
        return;
    int W = f->header->Width, H = f->header->Height;
    int sx = 0, sy = 0;
    if (f->header->Scrollbar && d.scrollPosition)
        d.scrollPosition(f, &sx, &sy);
    double ratio = exp(log(factor) * 0.0001);
    DWORD start = g_TickCount();
    for (int u = 1;;) {
        ZoomFrame fr = MakeZoomFrame(W, H, col, row, factor, pow(ratio, u), u, sx, sy);
        for (int i = 0; i < fr.marginCount && d.paintBlack; ++i) {
            const RECT& m = fr.margins[i];
            if (m.left <= m.right && m.top <= m.bottom)
                d.paintBlack(f, m.left, m.top, m.right, m.bottom);
        }
        if (d.stretchImage)
            d.stretchImage(f, fr.destX, fr.destY, fr.destWidth, fr.destHeight, fr.sourceX, fr.sourceY,
                           fr.sourceWidth, fr.sourceHeight);
        if (u > 9999)
            break;
        DWORD elapsed = g_TickCount() - start;
        if (elapsed > g_ZoomSpeed) {
            u = 10000;
        } else {
            double p = sin(elapsed / g_ZoomSpeed * 1.57079632675);
            p = p < 0 ? 0 : p > 1 ? 1 : p;
            u = (int)(p * 10000);
        }
    }
    if (d.endFrames)
        d.endFrames(f);
}

// ---------------------------------------------------------------------------
// Zoom of the quaternion camera

// The surface point under the pixel, from the depth buffer (rows stored
// bottom-up); false when the pixel shows background or is not calculated.
bool SurfaceUnderPixel(Fractal* f, const QuaternionParameters* q, int col, int row, double out[3])
{
    FractalTask* t = f->task;
    int W = f->header->Width, H = f->header->Height;
    int r = H - 1 - row;
    if (!t->plane0 || !t->plane0->IsAllocated() || col < 0 || col > W || r < 0 || r >= H)
        return false;
    float d = static_cast<const float*>(t->plane0->data)[(size_t)r * f->GetBufferWidth() + col];
    if (!(d > 0))
        return false;
    double corner[3], stepX[3], stepY[3];
    ComputeViewPlane(q, W, H, corner, stepX, stepY);
    const double observer[3] = {q->Obs_x, q->Obs_y, q->Obs_z};
    for (int i = 0; i < 3; ++i) {
        double onPlane = corner[i] + col * stepX[i] + r * stepY[i];
        out[i] = (onPlane - observer[i]) * d + observer[i];
    }
    return true;
}

void ZoomCamera(Fractal* f, int col, int row, double factor)
{
    QuaternionParameters* q = static_cast<QuaternionParameters*>(f->typeParameters);
    // o = ln f + 1 at or below 0 would divide by zero or carry the camera
    // past its target.
    double o = log(factor) + 1;
    if (!(o > 0))
        return;
    double target[3];
    DWORD now = g_TickCount();
    if (SurfaceUnderPixel(f, q, col, row, target)) {
        memcpy(q->zoomTarget, target, sizeof target);
        q->zoomTargetTime = (int)now;
    } else if (now - (DWORD)q->zoomTargetTime <= 2000) {
        memcpy(target, q->zoomTarget, sizeof target);
        q->zoomTargetTime = (int)now;
    } else {
        target[0] = q->Viewpoint_x;
        target[1] = q->Viewpoint_y;
        target[2] = q->Viewpoint_z;
    }
    double observer[3] = {q->Obs_x, q->Obs_y, q->Obs_z};
    double viewpoint[3] = {q->Viewpoint_x, q->Viewpoint_y, q->Viewpoint_z};
    double top[3] = {q->top_x, q->top_y, q->top_z};
    double dist = 0;
    for (int i = 0; i < 3; ++i)
        dist += (target[i] - observer[i]) * (target[i] - observer[i]);
    dist = sqrt(dist);
    double step = dist - dist / o;
    if (!q->relativeToViewpoint) {
        if (q->frontClippingPlane > 0) {
            q->frontClippingPlane -= step;
            if (q->frontClippingPlane < 0)
                q->frontClippingPlane = 0;
        }
        q->backClippingPlane -= step;
        if (q->backClippingPlane < 0)
            q->backClippingPlane = 0;
    }
    // Both points move the fraction 1 - 1/o of their way to the target
    // (written so that o = 1 leaves them exactly where they are).
    double share = 1 - 1 / o;
    for (int i = 0; i < 3; ++i) {
        observer[i] += (target[i] - observer[i]) * share;
        viewpoint[i] += (target[i] - viewpoint[i]) * share;
    }
    MakeTopVectorPerpendicular(observer, viewpoint, top, 1);
    q->Obs_x = observer[0], q->Obs_y = observer[1], q->Obs_z = observer[2];
    q->Viewpoint_x = viewpoint[0], q->Viewpoint_y = viewpoint[1], q->Viewpoint_z = viewpoint[2];
    q->top_x = top[0], q->top_y = top[1], q->top_z = top[2];
    if (g_ZoomDisplay.refreshQuaternionViewTab)
        g_ZoomDisplay.refreshQuaternionViewTab(f);
}

// The camera looks at the point that comes to the image centre when the
// content moves by (dx, dy).
void MoveCamera(Fractal* f, int dx, int dy)
{
    QuaternionParameters* q = static_cast<QuaternionParameters*>(f->typeParameters);
    int W = f->header->Width, H = f->header->Height;
    double corner[3], stepX[3], stepY[3];
    ComputeViewPlane(q, W, H, corner, stepX, stepY);
    double viewpoint[3], top[3] = {q->top_x, q->top_y, q->top_z};
    const double observer[3] = {q->Obs_x, q->Obs_y, q->Obs_z};
    for (int i = 0; i < 3; ++i)
        viewpoint[i] = corner[i] + (W / 2 - dx) * stepX[i] + (H / 2 + dy) * stepY[i];
    MakeTopVectorPerpendicular(observer, viewpoint, top, 1);
    q->Viewpoint_x = viewpoint[0], q->Viewpoint_y = viewpoint[1], q->Viewpoint_z = viewpoint[2];
    q->top_x = top[0], q->top_y = top[1], q->top_z = top[2];
}

// ---------------------------------------------------------------------------
// Shared bodies; the layers of a layered fractal run them without recording,
// and the layered fractal records one step for all of them.

// Zoom steps 2 to 8: the view of f and of its following layers, each layer
// recalculated.
void ZoomView(Fractal* f, int col, int row, int animate, double factor)
{
    if (!HasTypeFlag(f, TF_ZOOM_BOX) || !f->typeParameters)
        return;
    bool all = true;
    ForEachLayerRecord(f, [&](Layer* layer) { all = all && layer->autoZoom; });
    if (f->task) {
        if (f->header->Scrollbar && g_ZoomDisplay.windowToImage)
            g_ZoomDisplay.windowToImage(f, &col, &row);
        f->StopCalculation();
        ClearValuesAndFlags(f);
        if (animate && all && g_AnimatedZoom)
            AnimateZoom(f, col, row, factor);
    }
    f->ZoomAt(col, row, factor);
    ForEachLayerRecord(f, [&](Layer* layer) {
        if (!FollowsView(layer))
            return;
        Fractal* lf = layer->fractal;
        if (!lf->task->snapshot)
            ZoomView(lf, col - (int)layer->leftOffset, (int)layer->bottomOffset + row, 1, factor);
        lf->Recalculate();
    });
}

void BoxZoom(Fractal* f, int zoomIn, bool record)
{
    if (!HasTypeFlag(f, TF_ZOOM_BOX) || !f->typeParameters)
        return;
    FractalTask* t = f->task;
    const char* description = zoomIn ? "Zooming in" : "Zooming out";
    if (f->header->Type == FT_LAYERED) {
        if (!t)
            return;
        ForEachLayerRecord(f, [&](Layer* layer) {
            if (!FollowsView(layer))
                return;
            FractalTask* lt = layer->fractal->task;
            int left = (int)layer->leftOffset, bottom = (int)layer->bottomOffset;
            lt->selectionBox[0] = t->selectionBox[0] - left;
            lt->selectionBox[1] = t->selectionBox[1] - left;
            lt->selectionBox[2] = t->selectionBox[2] + bottom;
            lt->selectionBox[3] = t->selectionBox[3] + bottom;
            lt->selectionBoxShown = t->selectionBoxShown;
            BoxZoom(layer->fractal, zoomIn, false);
            lt->selectionBoxShown = 0;
        });
        RemoveSelectionBox(f);
        if (record)
            AddUndoStep(f, description);
        f->Recalculate();
        return;
    }
    int x1 = t ? t->selectionBox[0] : 0, x2 = t ? t->selectionBox[1] : 0;
    int y1 = t ? t->selectionBox[2] : 0, y2 = t ? t->selectionBox[3] : 0;
    if (!HasTypeFlag(f, TF_VIEW_AREA) || !t || x1 == x2 || y1 == y2 || x1 == -10000 || !t->selectionBoxShown)
        return;
    OrderCorners(x1, y1, x2, y2);
    if (g_ZoomDisplay.windowToImage) {
        g_ZoomDisplay.windowToImage(f, &x1, &y1);
        g_ZoomDisplay.windowToImage(f, &x2, &y2);
    }
    f->StopCalculation();
    double W = f->header->Width, H = f->header->Height;
    double ya = (H - 1) - y1, yb = (H - 1) - y2;
    if (ya < yb) {
        double swap = ya;
        ya = yb;
        yb = swap;
    }
    BigNumber x[3], y[3], cx, cy;
    const ViewParameters* v = f->typeParameters;
    if (zoomIn) {
        f->PixelToPoint(x1, ya, x[0], y[0]);
        f->PixelToPoint(x2, ya, x[1], y[1]);
        f->PixelToPoint(x2, yb, x[2], y[2]);
        if (v->Angle != 0.0)
            f->PixelToPoint(x1 + (x2 - x1) * v->RotateX / 100, yb + (ya - yb) * v->RotateY / 100, cx, cy);
        StoreDisplayedCorners(f, x, y, cx, cy);
    } else {
        // The old view becomes the box that zooming in would have used: the
        // box is x2 - x1 columns and ya - yb rows, with x1, W - x2,
        // H - 1 - ya and yb + 1 pixels around it.
        double bw = x2 - x1, bh = ya - yb;
        BigNumber vx[3], vy[3];
        f->GetViewCorners(vx, vy);
        BigNumber ax = vx[1] - vx[0], ay = vy[1] - vy[0];   // along the top edge
        BigNumber dx = vx[2] - vx[1], dy = vy[2] - vy[1];   // down the right edge
        BigNumber left(x1 / bw), right((W - x2) / bw), above((H - 1 - ya) / bh), below((yb + 1) / bh);
        x[0] = vx[0] - ax * left - dx * above;
        y[0] = vy[0] - ay * left - dy * above;
        x[1] = vx[1] - dx * above + ax * right;
        y[1] = vy[1] - dy * above + ay * right;
        x[2] = vx[2] + ax * right + dx * below;
        y[2] = vy[2] + ay * right + dy * below;
        StoreWithOwnCentre(f, x, y);
    }
    RemoveSelectionBox(f);
    if (record)
        AddUndoStep(f, description);
    f->Recalculate();
}

void MoveView(Fractal* f, int dx, int dy, bool record)
{
    FractalTask* t = f->task;
    int type = f->header->Type;
    if (!(HasTypeFlag(f, TF_MOVE) || type == FT_QUATERNION) || !t || !f->typeParameters)
        return;
    if (type == FT_LAYERED) {
        ForEachLayerRecord(f, [&](Layer* layer) {
            if (FollowsView(layer))
                MoveView(layer->fractal, dx, dy, false);
        });
        if (record)
            AddUndoStep(f, "Moving fractal");
        if (t->snapshot) {
            delete t->snapshot;
            t->snapshot = nullptr;
            f->RecalculateWithLayers();
        } else {
            f->Recalculate();
        }
        return;
    }
    t->command = FTC_STOP;
    if (t->rowLock)
        t->rowLock->Lock();
    int W = f->header->Width, H = f->header->Height;
    if (abs(dx) < W - 10 && abs(dy) < H - 10)
        f->ShiftBuffers(dx, -dy);
    else
        ClearAllBuffers(f);
    if (g_ZoomDisplay.scrollWindow)
        g_ZoomDisplay.scrollWindow(f, dx, dy, f->header->Scrollbar != 0);
    if (type == FT_QUATERNION) {
        MoveCamera(f, dx, dy);
    } else {
        BigNumber x[3], y[3];
        f->GetViewCorners(x, y);
        BigNumber bdx(dx), bdy(dy), w(W), h(H);
        BigNumber shiftX = -((x[1] - x[0]) / w) * bdx - ((x[2] - x[1]) / h) * bdy;
        BigNumber shiftY = -((y[1] - y[0]) / w) * bdx - ((y[2] - y[1]) / h) * bdy;
        for (int i = 0; i < 3; ++i) {
            x[i] += shiftX;
            y[i] += shiftY;
        }
        StoreWithOwnCentre(f, x, y);
        long long cells = (long long)f->GetBufferWidth() * H, kept = 0;
        if (t->values)
            for (long long i = 0; i < cells; ++i)
                kept += t->values[i] != 0.0f;
        t->passLimit = kept < cells / 13 ? 4 : kept < cells / 7 ? 3 : kept < cells / 3 ? 2 : 1;
    }
    if (record)
        AddUndoStep(f, "Moving fractal");
    if (type == FT_LSYSTEM || type == FT_DYNAMICSYSTEM || type == FT_IFS || type == FT_QUATERNION) {
        f->Recalculate();
    } else if (t->snapshot) {
        delete t->snapshot;
        t->snapshot = nullptr;
        f->RecalculateWithLayers();
    } else {
        t->command = FTC_CONTINUE;
    }
    t->rowsMoved = 1;
    if (t->rowLock)
        t->rowLock->Unlock();
}

}  // namespace

void Fractal::ZoomAt(int col, int row, double factor)
{
    if (!typeParameters)
        return;
    if (header->Type == FT_QUATERNION) {
        if (task)
            ZoomCamera(this, col, row, factor);
        return;
    }
    if (!HasTypeFlag(this, TF_ZOOM_BOX))
        return;
    int W = header->Width, H = header->Height;
    if (factor < 1) {
        col = W / 2;
        row = H / 2;
    }
    BigNumber x[3], y[3];
    GetViewCorners(x, y);
    BigNumber ax = x[1] - x[0], ay = y[1] - y[0], dx = x[2] - x[1], dy = y[2] - y[1];
    BigNumber c(col), r(row), w(W), h(H);
    BigNumber px = x[0] + (ax * c) / w + (dx * r) / h;
    BigNumber py = y[0] + (ay * c) / w + (dy * r) / h;
    BigNumber g = BigNumber("0.5") / BigNumber(factor);
    BigNumber hx = ax * g, hy = ay * g, vx = dx * g, vy = dy * g;
    x[0] = px - hx - vx;
    y[0] = py - hy - vy;
    x[1] = px - vx + hx;
    y[1] = py - vy + hy;
    x[2] = px + hx + vx;
    y[2] = py + hy + vy;
    StoreWithOwnCentre(this, x, y);
}

void Fractal::Zoom(int col, int row, int animate, double factor)
{
    Fractal* base = GetBaseFractal(this);
    if (base && base->task && base->task->snapshot) {
        base->RecalculateWithLayers();
        return;
    }
    if (task && task->snapshot) {
        Recalculate();
        return;
    }
    if (!HasTypeFlag(this, TF_ZOOM_BOX) || !typeParameters)
        return;
    ZoomView(this, col, row, animate, factor);
    AddUndoStep(this, factor >= 1 ? "Zoomed in" : "Zoomed out");
    // The buffers were cleared: the new view is calculated whether or not
    // a step was recorded. A layered fractal's layers recalculated already.
    if (header->Type != FT_LAYERED)
        Recalculate();
}

void Fractal::ZoomToBox(int zoomIn)
{
    BoxZoom(this, zoomIn, true);
}

void Fractal::Move(int dx, int dy, int record)
{
    MoveView(this, dx, dy, record != 0);
}
