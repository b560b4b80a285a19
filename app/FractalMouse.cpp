// Mouse input of fractal windows. A left press on a fractal that can be
// moved starts a drag: past 5 pixels it moves the view, or edits the
// selection box when one is shown or the box modifier is held. Double
// clicks zoom at the point or into the box. OpenGL views and attractors
// turn or distance their observer; quaternion windows move, pick camera-
// widget handles and move the viewpoint. The window procedures call the
// guarded entry points, so a failure here is reported and input goes on.
#include "app/FractalMouse.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "calc/FractalTask.h"
#include "calc/task/TaskLifecycle.h"
#include "document/DocumentSettings.h"
#include "document/QuaternionParameters.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/FractalType.h"
#include "document/Layers.h"
#include "document/ParameterTables.h"
#include "document/Selection.h"
#include "document/Undo.h"
#include "files/settings/Settings.h"
#include "foundation/Guard.h"
#include "foundation/Services.h"
#include "foundation/Util.h"
#include "foundation/Vector.h"
#include "fractals/quaternion/QuaternionCamera.h"
#include "ui/FrameWindow.h"
#include "ui/Keyboard.h"
#include "toolwindows/ToolWindows.h"
#include "ui/Toolkit.h"
#include "view3d/CameraWidget.h"
#include "view3d/Parameters3D.h"

ParameterPickTarget g_ParameterPick = {nullptr, nullptr, nullptr, nullptr};
FormulaSplitter g_FormulaSplitter = {nullptr, 0, false, 0, 0};

bool InSplitterStrip(const RECT& list, int x, int y)
{
    return x >= list.left && x <= list.left + 7 && y >= list.top && y <= list.bottom;
}

int SplitterColumnWidth(int pressWidth, int pressX, int x)
{
    const int width = pressWidth + (x - pressX);
    return width > 0 ? width : 0;
}

ModifierKeys ModifierKeys::Current()
{
    return {PKeyboard::IsShiftDown(), PKeyboard::IsControlDown(), PKeyboard::IsAltDown()};
}

bool ModifierMatches(int setting, const ModifierKeys& keys)
{
    return (keys.shift && setting == 1) || (keys.control && setting == 2) || (keys.alt && setting == 4) ||
           (setting == 0 && !keys.shift && !keys.control && !keys.alt);
}

namespace {

bool Near(int x, int y, int hx, int hy, int reach)
{
    return abs(x - hx) <= reach && abs(y - hy) <= reach;
}

}  // namespace

int BoxModeAt(const SelectionBox& b, int x, int y)
{
    const int midX = (b.x1 + b.x2) / 2, midY = (b.y1 + b.y2) / 2;
    struct Handle {
        int x, y, mode;
    } const handles[] = {
        {b.x1, b.y1, BOX_CORNER_X1Y1}, {b.x1, b.y2, BOX_CORNER_X1Y2}, {b.x2, b.y1, BOX_CORNER_X2Y1},
        {b.x2, b.y2, BOX_CORNER_X2Y2}, {midX, b.y1, BOX_EDGE_Y1},     {midX, b.y2, BOX_EDGE_Y2},
        {b.x2, midY, BOX_EDGE_X2},     {b.x1, midY, BOX_EDGE_X1},
    };
    for (const Handle& h : handles)
        if (Near(x, y, h.x, h.y, 4))
            return h.mode;
    if (b.x1 < x && x < b.x2 && b.y2 < y && y < b.y1)
        return BOX_MOVING;
    return BOX_IDLE;
}

SelectionBox DragSelectionBox(const SelectionBox& box, const SelectionBox& saved, int mode,
                              double aspect, int startX, int startY, int x, int y)
{
    SelectionBox b = box;
    switch (mode) {
    case BOX_MOVING:
        b = {saved.x1 + x - startX, saved.x2 + x - startX, saved.y1 + y - startY, saved.y2 + y - startY};
        break;
    case BOX_EDGE_X1: b.x1 = x; break;
    case BOX_EDGE_Y1: b.y1 = y; break;
    case BOX_EDGE_X2: b.x2 = x; break;
    case BOX_EDGE_Y2: b.y2 = y; break;
    case BOX_CORNER_X1Y1:
    case BOX_CORNER_X2Y1:
    case BOX_CORNER_X2Y2:
    case BOX_CORNER_X1Y2: {
        // The dragged corner's fields; the opposite corner stays.
        int* cx = mode == BOX_CORNER_X1Y1 || mode == BOX_CORNER_X1Y2 ? &b.x1 : &b.x2;
        int* cy = mode == BOX_CORNER_X1Y1 || mode == BOX_CORNER_X2Y1 ? &b.y1 : &b.y2;
        const int fixedX = cx == &b.x1 ? b.x2 : b.x1;
        const int fixedY = cy == &b.y1 ? b.y2 : b.y1;
        if (x == fixedX || y == fixedY || aspect <= 0)
            break;
        // The larger of the two boxes of this aspect that reach the mouse.
        const double w = abs(x - fixedX), h = abs(y - fixedY);
        double across, down;
        if (w / aspect >= h) {
            across = w;
            down = w / aspect;
        } else {
            across = h * aspect;
            down = h;
        }
        *cx = fixedX + (x > fixedX ? (int)across : -(int)across);
        *cy = fixedY + (y > fixedY ? (int)down : -(int)down);
        break;
    }
    default:
        break;
    }
    return b;
}

namespace {

bool SplitterStripAt(int x, int y)
{
    if (g_FormulaSplitter.list == nullptr)
        return false;
    RECT list;
    GetWindowPlacementRect(g_FormulaSplitter.list->hwnd, &list);
    return InSplitterStrip(list, x, y);
}

void SplitterClicked(PFrameWindow* window, int x, int y, int event)
{
    FormulaSplitter& s = g_FormulaSplitter;
    if (event == ME_LEFT_DOWN && SplitterStripAt(x, y)) {
        s.dragging = true;
        s.pressX = x;
        s.pressWidth = s.columnWidth;
        SetCapture(window->hwnd);
    } else if (event == ME_LEFT_UP && s.dragging) {
        ReleaseCapture();
        s.dragging = false;
    }
}

void SplitterMoved(PFrameWindow* window, int x, int y)
{
    FormulaSplitter& s = g_FormulaSplitter;
    if (SplitterStripAt(x, y))
        SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_SIZEWE));
    if (!s.dragging || GetKeyState(VK_LBUTTON) >= 0)
        return;
    s.columnWidth = SplitterColumnWidth(s.pressWidth, s.pressX, x);
    RECT client;
    GetClientRect(window->hwnd, &client);
    LayoutToolWindow(window, client.right, client.bottom);
}

}  // namespace

bool IsPastDragThreshold(int startX, int startY, int x, int y)
{
    return abs(x - startX) + abs(y - startY) > 5;
}

double DragAngle(int start, int now, double scale, int size)
{
    return size > 0 ? (double)(start - now) * scale / size : 0;
}

ViewCamera OrbitObserver(const ViewCamera& saved, double aroundTop, double tilt)
{
    ViewCamera c = saved;
    const double down[3] = {-saved.top[0], -saved.top[1], -saved.top[2]};
    RotatePointAboutAxis(c.viewpoint, down, c.observer, aroundTop);
    // RotateCamera writes only what a non-zero angle turns, so the outputs
    // start as the inputs.
    const ViewCamera turned = c;
    RotateCamera(c.viewpoint, c.top, turned.top, c.observer, turned.observer, 0, tilt, 0);
    return c;
}

ViewCamera TurnViewpoint(const ViewCamera& saved, double pan, double tilt)
{
    ViewCamera c = saved;
    RotatePointAboutAxis(c.observer, c.top, c.viewpoint, pan);
    double sight[3] = {c.viewpoint[0] - c.observer[0], c.viewpoint[1] - c.observer[1],
                       c.viewpoint[2] - c.observer[2]};
    NormalizeVector(sight);
    double side[3];
    CrossProduct(sight, c.top, side);
    RotatePointAboutAxis(c.observer, side, c.viewpoint, -tilt);
    return c;
}

double OpenGLDistancePercent(int dy)
{
    const double sign = dy > 0 ? 1 : dy < 0 ? -1 : 0;
    return 100 + 10 * sign * sqrt((double)abs(dy));
}

double AttractorDistancePercent(int dy)
{
    return 100 + 2.0 * dy;
}

namespace {

bool HasFlag(const Fractal* f, int column)
{
    const int type = f->header->Type;
    return type >= 0 && type < TYPE_FLAG_CODES && TypeFlag(column, type) != 0;
}

SelectionBox BoxOf(const FractalTask* t)
{
    return {t->selectionBox[0], t->selectionBox[1], t->selectionBox[2], t->selectionBox[3]};
}

bool HasBox(const FractalTask* t)
{
    return t->mouseMode != BOX_NONE && t->selectionBox[0] != NOT_SET;
}

void SetBox(Fractal* f, const SelectionBox& b)
{
    f->SetSelectionBox(b.x1, b.y1, b.x2, b.y2);
}

Fractal* CurrentFractal()
{
    return CurrentFolder != nullptr ? CurrentFolder->currentFractal : nullptr;
}

double ZoomFactorFor(const ModifierKeys& keys)
{
    return keys.shift ? ZoomFactor2 : ZoomFactor1;
}

// An image fractal shows a loaded picture; its zoom needs the real fractal.
void OfferRealFractal(Fractal* f)
{
    if (f->linkedFractal == nullptr || !Services().messageBox)
        return;
    int answer = Services().messageBox(0x2023, "Information",
                                       "This fractal is simply an image you have loaded. The real fractal has "
                                       "to be calculated. Do you want to calculate it?");
    if (answer == IDYES)
        PictureToTask(f->linkedFractal, 0, 1, 1, 0, 1, 1);
}

void ZoomByDoubleClick(Fractal* f, FractalTask* t, int x, int y, const ModifierKeys& keys, bool in)
{
    // A box of less than 3 pixels both ways is what a click with the box
    // modifier leaves behind: it goes before the zoom at the point.
    if (HasBox(t) && abs(t->selectionBox[1] - t->selectionBox[0]) < 3 &&
        abs(t->selectionBox[3] - t->selectionBox[2]) < 3) {
        t->mouseMode = BOX_NONE;
        t->selectionBoxShown = 0;
        f->SetSelectionBox(NOT_SET, 0, 0, 0);
    }
    if (!HasFlag(f, TF_ZOOM_BOX))
        return;
    if (HasBox(t)) {
        f->ZoomToBox(in ? 1 : 0);
        return;
    }
    const double factor = ZoomFactorFor(keys);
    f->Zoom(x, y, 5, in ? factor : 1.0 / factor);
}

// A left press on a type that moves by dragging: the drag starts, and a
// shown box is edited from the handle under the mouse.
void StartDrag(Fractal* f, FractalTask* t, PFrameWindow* window, int x, int y, const ModifierKeys& keys)
{
    t->dragX = x;
    t->dragY = y;
    t->dragValue = 1;
    SetCapture(window->hwnd);
    const int width = f->header->Width, height = f->header->Height;
    if (HasBox(t)) {
        const SelectionBox b = BoxOf(t);
        t->dragScale = b.y1 != b.y2 ? (double)(b.x2 - b.x1) / (b.y1 - b.y2) : (double)width / height;
        t->mouseMode = BoxModeAt(b, x, y);
        if (t->mouseMode == BOX_MOVING)
            for (int i = 0; i < 4; i++)
                t->dragRect[i] = t->selectionBox[i];
    }
    if (ModifierMatches(keyboardZoomRect, keys) && !HasBox(t)) {
        t->mouseMode = BOX_CORNER_X1Y1;
        t->selectionBoxShown = 1;
        f->SetSelectionBox(x, y, x, y);
        t->dragScale = (double)width / height;
    }
}

void EndDrag(Fractal* f, FractalTask* t)
{
    if (t->mouseMode != BOX_NONE && t->selectionBox[0] != NOT_SET && t->selectionBox[1] != NOT_SET) {
        SelectionBox b = BoxOf(t);
        OrderCorners(b.x1, b.y1, b.x2, b.y2);
        t->mouseMode = BOX_IDLE;
        SetBox(f, b);
        return;
    }
    const bool moved = t->dragX != NOT_SET && t->dragValue == 0;
    t->dragX = t->dragY = NOT_SET;
    if (moved)
        AddUndoStep(f, "Moving fractal");
}

Layer* SelectedLayer(Fractal* f)
{
    LayeredParameters* block = LayersOf(f);
    if (block == nullptr || block->currentLayer < 0)
        return nullptr;
    int index = 0;
    for (ListNode* n = block->layers.GetHead(); n; n = n->next, index++)
        if (index == block->currentLayer)
            return static_cast<Layer*>(n);
    return nullptr;
}

// The complex point under the mouse goes to the armed parameter pick.
void PickParameter(Fractal* f, int x, int y)
{
    if (!HasFlag(f, TF_VIEW_AREA) || !ParameterPickActive)
        return;
    Fractal* target = g_ParameterPick.fractal;
    const int type = target != nullptr && IsLiveFractal(target) ? target->header->Type : -1;
    if (type != FT_ESCAPETIME && type != FT_QUATERNION && type != FT_ATTRACTOR) {
        ParameterPickActive = 0;
        ParameterPickFractal = nullptr;
        return;
    }
    BigNumber cx[3], cy[3];
    f->GetViewCorners(cx, cy);
    const double u = (double)x / f->header->Width, v = (double)y / f->header->Height;
    const double re = cx[0].ToDouble() + u * (cx[1].ToDouble() - cx[0].ToDouble()) +
                      v * (cx[2].ToDouble() - cx[1].ToDouble());
    const double im = cy[0].ToDouble() + u * (cy[1].ToDouble() - cy[0].ToDouble()) +
                      v * (cy[2].ToDouble() - cy[1].ToDouble());
    if (g_ParameterPick.re)
        *g_ParameterPick.re = re;
    if (g_ParameterPick.im)
        *g_ParameterPick.im = im;
    if (g_ParameterPick.showValues)
        g_ParameterPick.showValues(re, im);
    if (g_Toolkit.mouse.left)
        target->Recalculate();
}

int Mode3DOf(const Fractal* f)
{
    return f->params3D != nullptr ? f->params3D->Mode3D : 0;
}

bool IsOpenGLView(const Fractal* f)
{
    return f->header->Dims && f->params3D != nullptr && Mode3DOf(f) == 1;
}

void ScrollOffsets(const Fractal* f, const PFrameWindow* window, int* ox, int* oy)
{
    const bool scrolled = f->header->Scrollbar && window != nullptr;
    *ox = scrolled ? window->hScrollPos : 0;
    *oy = scrolled ? window->vScrollPos : 0;
}

void Set3(double* to, double x, double y, double z)
{
    to[0] = x, to[1] = y, to[2] = z;
}

// The OpenGL view's camera; the two spare observer vectors keep the
// observer and top vector of the press while a drag runs.
ViewCamera OpenGLCamera(const Parameters3D* p)
{
    ViewCamera c;
    Set3(c.observer, p->GLObsX, p->GLObsY, p->GLObsZ);
    Set3(c.top, p->GLObsTopX, p->GLObsTopY, p->GLObsTopZ);
    Set3(c.viewpoint, p->ViewpointX, p->ViewpointY, p->ViewpointZ);
    return c;
}

ViewCamera SavedOpenGLCamera(const Parameters3D* p)
{
    ViewCamera c = OpenGLCamera(p);
    Set3(c.observer, p->SpareObserver1, p->SpareObserver2, p->SpareObserver3);
    Set3(c.top, p->SpareObserver4, p->SpareObserver5, p->SpareObserver6);
    return c;
}

void SaveOpenGLCamera(Parameters3D* p)
{
    p->SpareObserver1 = p->GLObsX, p->SpareObserver2 = p->GLObsY, p->SpareObserver3 = p->GLObsZ;
    p->SpareObserver4 = p->GLObsTopX, p->SpareObserver5 = p->GLObsTopY, p->SpareObserver6 = p->GLObsTopZ;
}

void SetOpenGLCamera(Parameters3D* p, const ViewCamera& c)
{
    p->GLObsX = c.observer[0], p->GLObsY = c.observer[1], p->GLObsZ = c.observer[2];
    p->GLObsTopX = c.top[0], p->GLObsTopY = c.top[1], p->GLObsTopZ = c.top[2];
}

AttractorParameters* AttractorBlock(Fractal* f)
{
    return static_cast<AttractorParameters*>(f->typeParameters);
}

// The attractor's camera at the press of its drag (one drag at a time).
ViewCamera g_AttractorCameraAtPress;

ViewCamera AttractorCamera(const AttractorParameters* b)
{
    ViewCamera c;
    Set3(c.observer, b->Obs_x, b->Obs_y, b->Obs_z);
    Set3(c.top, b->top_x, b->top_y, b->top_z);
    Set3(c.viewpoint, b->Viewpoint_x, b->Viewpoint_y, b->Viewpoint_z);
    return c;
}

void SetAttractorCamera(AttractorParameters* b, const ViewCamera& c)
{
    b->Obs_x = c.observer[0], b->Obs_y = c.observer[1], b->Obs_z = c.observer[2];
    b->top_x = c.top[0], b->top_y = c.top[1], b->top_z = c.top[2];
    b->Viewpoint_x = c.viewpoint[0], b->Viewpoint_y = c.viewpoint[1], b->Viewpoint_z = c.viewpoint[2];
}

// A press in an OpenGL view or on an attractor starts turning (left) or
// distancing (right) the observer from the camera of the press.
bool StartObserverDrag(Fractal* f, FractalTask* t, PFrameWindow* window, int x, int y)
{
    if (IsOpenGLView(f)) {
        t->dragX = x;
        t->dragY = y;
        SaveOpenGLCamera(f->params3D);
    } else if (f->header->Type == FT_ATTRACTOR && f->typeParameters != nullptr) {
        int ox, oy;
        ScrollOffsets(f, window, &ox, &oy);
        t->dragX = x + ox;
        t->dragY = y + oy;
        g_AttractorCameraAtPress = AttractorCamera(AttractorBlock(f));
    } else {
        return false;
    }
    SetCapture(window->hwnd);
    return true;
}

// The observer drags of the OpenGL view and of attractors; false when the
// move is not one of them.
bool DragObserver(Fractal* f, FractalTask* t, int x, int y)
{
    const bool openGL = IsOpenGLView(f);
    const bool attractor = f->header->Type == FT_ATTRACTOR && f->typeParameters != nullptr;
    const PMouse& mouse = g_Toolkit.mouse;
    if (t->dragX == NOT_SET || !(openGL || attractor) || !(mouse.left || mouse.right))
        return false;
    const int width = f->header->Width, height = f->header->Height;
    ViewCamera c;
    const char* label = "Observer Position";
    if (mouse.left) {
        const bool shift = openGL ? false : PKeyboard::IsShiftDown();
        const double scale = shift ? 60 : 180;
        const double ax = DragAngle(t->dragX, x, scale, width), ay = DragAngle(t->dragY, y, scale, height);
        if (ax == 0 && ay == 0)
            return true;
        if (openGL) {
            c = OrbitObserver(SavedOpenGLCamera(f->params3D), -ax, ay);
        } else if (shift) {
            c = TurnViewpoint(g_AttractorCameraAtPress, ax, ay);
            label = "Viewpoint";
        } else {
            c = OrbitObserver(g_AttractorCameraAtPress, ax, ay);
        }
    } else {
        const int dy = y - t->dragY;
        c = openGL ? SavedOpenGLCamera(f->params3D) : g_AttractorCameraAtPress;
        const ViewCamera saved = c;
        InterpolatePoint(c.viewpoint, c.observer, saved.observer,
                         openGL ? OpenGLDistancePercent(dy) : AttractorDistancePercent(dy));
    }
    if (openGL) {
        SetOpenGLCamera(f->params3D, c);
        f->Commit3DChange(0, label);
    } else {
        f->StopCalculation();
        SetAttractorCamera(AttractorBlock(f), c);
        f->CommitAndCalculate(0, label);
    }
    return true;
}

void InvalidateSquare(PFrameWindow* window, int x, int y, int reach)
{
    if (window == nullptr || window->hwnd == nullptr)
        return;
    RECT r = {x - reach, y - reach, x + reach + 1, y + reach + 1};
    InvalidateRect(window->hwnd, &r, FALSE);
}

bool InsideImage(const Fractal* f, int x, int y)
{
    return x >= 0 && y >= 0 && x < f->header->Width && y < f->header->Height;
}

// A left press on a shown camera widget picks what the drag moves: the
// camera handle (1), the top handle (2) or, inside the sphere, its
// radius (3).
void PickWidgetHandle(CameraWidget* w, const FractalTask* t, int x, int y)
{
    if (Near(x, y, w->cameraHandle[0], w->cameraHandle[1], 2)) {
        w->dragMode = 1;
        for (int i = 0; i < 3; i++) {
            w->savedCamera[i] = w->camera[i];
            w->savedTopVector[i] = w->topVector[i];
        }
    } else if (Near(x, y, w->topHandle[0], w->topHandle[1], 2)) {
        w->dragMode = 2;
    } else if (hypot(x - t->markerX[0], y - t->markerY[0]) < w->radius) {
        w->dragMode = 3;
    }
}

// A double click on a shown widget makes its camera the quaternion's
// observer and, without Control, its sphere centre the viewpoint and its
// top vector the top; the widget goes.
const char* ApplyWidgetCamera(Fractal* f, CameraWidget* w, PFrameWindow* window, const ModifierKeys& keys)
{
    QuaternionParameters* block = static_cast<QuaternionParameters*>(f->typeParameters);
    double observer[3], viewpoint[3];
    QuaternionCameraToWorld(block, w->cameraPoint, observer);
    QuaternionCameraToWorld(block, w->centre, viewpoint);
    Set3(&block->Obs_x, observer[0], observer[1], observer[2]);
    if (!keys.control) {
        Set3(&block->Viewpoint_x, viewpoint[0], viewpoint[1], viewpoint[2]);
        Set3(&block->top_x, w->topVector[0], w->topVector[1], w->topVector[2]);
    }
    w->Release();
    if (window != nullptr && window->hwnd != nullptr)
        InvalidateRect(window->hwnd, nullptr, FALSE);
    return "Modify View";
}

// A double click without the widget moves the observer 1.2 times closer
// to the surface under the mouse, or, with marker 0 set, makes the surface
// point there the viewpoint.
const char* MoveViewpoint(Fractal* f, FractalTask* t, int x, int y, const ModifierKeys& keys)
{
    if (keys.control)
        t->ClearMarkers();
    if (keys.alt || keys.control)
        return nullptr;
    const int mx = t->markerX[0], my = t->markerY[0];
    t->ClearMarkers();
    if (mx == NOT_SET) {
        f->ZoomAt(x, y, 1.2);
        return "Modify Viewpoint";
    }
    QuaternionParameters* block = static_cast<QuaternionParameters*>(f->typeParameters);
    double point[3];
    if (!GetSurfacePoint(block, t, mx, my, point))
        return nullptr;
    Set3(&block->Viewpoint_x, point[0], point[1], point[2]);
    return "Modify Viewpoint";
}

// Presses and double clicks in quaternion windows (image pixels: the
// scroll position is added). A plain press starts a drag that moves the
// view or a handle of the camera widget.
void QuaternionClick(Fractal* f, FractalTask* t, PFrameWindow* window, int x, int y, int event,
                     const ModifierKeys& keys)
{
    int ox, oy;
    ScrollOffsets(f, window, &ox, &oy);
    x += ox;
    y += oy;
    CameraWidget* widget = t->cameraWidget;
    const bool shown = widget != nullptr && widget->shown;
    if (event == ME_LEFT_DOWN && !keys.alt && !keys.control && !keys.shift) {
        t->dragX = x;
        t->dragY = y;
        t->dragValue = 1;
        if (widget != nullptr) {
            widget->radiusAtDragStart = widget->radius;
            widget->handleAtDragStart[0] = widget->cameraHandle[0];
            widget->handleAtDragStart[1] = widget->cameraHandle[1];
        }
        SetCapture(window->hwnd);
    }
    if (!InsideImage(f, x, y) || f->typeParameters == nullptr)
        return;
    if (event == ME_LEFT_DOWN) {
        if (shown && !keys.control)
            PickWidgetHandle(widget, t, x, y);
        return;
    }
    if (event != ME_LEFT_DOUBLE)
        return;
    const char* label = shown ? ApplyWidgetCamera(f, widget, window, keys) : MoveViewpoint(f, t, x, y, keys);
    if (label != nullptr)
        f->CommitAndRecalculate(0, label);
}

// Mouse moves in quaternion windows: a drag without the widget moves the
// view; without a drag, Control places the probe cross-hair (marker 3).
// Ends a drag of the view; one that moved it is recorded.
void EndViewMove(Fractal* f, FractalTask* t)
{
    const bool moved = t->dragValue == 0;
    t->dragX = t->dragY = NOT_SET;
    if (moved)
        AddUndoStep(f, "Moving fractal");
}

void QuaternionMove(Fractal* f, FractalTask* t, PFrameWindow* window, int x, int y)
{
    int ox, oy;
    ScrollOffsets(f, window, &ox, &oy);
    CameraWidget* widget = t->cameraWidget;
    if (t->dragX != NOT_SET) {
        if (widget != nullptr && widget->shown)
            return;
        if (!g_Toolkit.mouse.left) {
            // The button went up outside the window.
            EndViewMove(f, t);
            return;
        }
        const int dx = x + ox - t->dragX, dy = y + oy - t->dragY;
        if (dx != 0 || dy != 0) {
            f->Move(dx, dy, 0);
            t->dragValue = 0;
            t->dragX += dx;
            t->dragY += dy;
        }
        return;
    }
    if (t->markerX[3] != NOT_SET) {
        InvalidateSquare(window, t->markerX[3], t->markerY[3], 5);
        t->markerX[3] = t->markerY[3] = NOT_SET;
    }
    if (PKeyboard::IsControlDown()) {
        t->markerX[3] = x;
        t->markerY[3] = y;
        InvalidateSquare(window, x, y, 5);
    }
}

}  // namespace

void MouseClicked(PFrameWindow* window, int x, int y, int event)
{
    const ModifierKeys keys = ModifierKeys::Current();
    if (window != nullptr && window->windowId == WID_COMPILER)
        SplitterClicked(window, x, y, event);
    if (window == nullptr || window->windowId != WID_FRACTAL)
        return;
    if (event == ME_LEFT_DOWN)
        SetFocus(window->hwnd);
    Fractal* f = FindFractalByWindow(window);
    if (f == nullptr)
        return;
    if (event == ME_LEFT_UP || event == ME_RIGHT_UP)
        ReleaseCapture();
    if (event == ME_LEFT_DOWN) {
        Fractal* current = CurrentFractal();
        const bool layerOfCurrent =
            f->baseFractal != nullptr && f->baseFractal == current && current->header->Type == FT_LAYERED;
        if (f != current && !layerOfCurrent)
            SelectFractal(f, false);
    }
    FractalTask* t = f->task;
    if (t == nullptr || ParameterPickActive)
        return;
    const int type = f->header->Type;
    if ((event == ME_LEFT_DOWN || event == ME_RIGHT_DOWN) && StartObserverDrag(f, t, window, x, y))
        return;
    if (event == ME_LEFT_UP && t->cameraWidget != nullptr)
        t->cameraWidget->dragMode = 0;
    if (event == ME_RIGHT_UP && (IsOpenGLView(f) || type == FT_ATTRACTOR))
        t->dragX = t->dragY = NOT_SET;
    if (type == FT_QUATERNION) {
        if (event == ME_LEFT_UP) {
            const bool moved = t->dragX != NOT_SET && t->dragValue == 0;
            t->dragX = t->dragY = NOT_SET;
            if (moved)
                AddUndoStep(f, "Moving fractal");
        } else if (event == ME_LEFT_DOWN || event == ME_LEFT_DOUBLE) {
            QuaternionClick(f, t, window, x, y, event, keys);
        }
        return;
    }
    switch (event) {
    case ME_LEFT_UP:
        if (HasFlag(f, TF_MOVE)) {
            EndDrag(f, t);
        } else {
            t->dragX = t->dragY = NOT_SET;
        }
        return;
    case ME_LEFT_DOUBLE:
        if (type == FT_QUATERNION || !ModifierMatches(keyboardZoomIn, keys))
            return;
        if (type == FT_IMAGE) {
            OfferRealFractal(f);
            return;
        }
        if (f->header->Dims)
            return;
        ZoomByDoubleClick(f, t, x, y, keys, true);
        return;
    case ME_RIGHT_DOUBLE:
        if (!ModifierMatches(keyboardZoomOut, keys) || f->header->Dims)
            return;
        ZoomByDoubleClick(f, t, x, y, keys, false);
        return;
    case ME_LEFT_DOWN:
        if (HasFlag(f, TF_MOVE) && type != FT_QUATERNION)
            StartDrag(f, t, window, x, y, keys);
        return;
    default:
        return;
    }
}

void MouseMoved(PFrameWindow* window, int x, int y)
{
    if (window != nullptr && window->windowId == WID_COMPILER)
        SplitterMoved(window, x, y);
    if (window == nullptr || window->windowId != WID_FRACTAL)
        return;
    Fractal* f = FindFractalByWindow(window);
    if (f == nullptr || f->task == nullptr)
        return;
    FractalTask* t = f->task;
    if (DragObserver(f, t, x, y))
        return;
    if (f->header->Type == FT_QUATERNION) {
        const bool dragging = t->dragX != NOT_SET;
        QuaternionMove(f, t, window, x, y);
        if (dragging)
            return;
    }
    if (f->header->Dims || t->dragX == NOT_SET || !HasFlag(f, TF_MOVE) || ParameterPickActive) {
        PickParameter(f, x, y);
        return;
    }
    if (IsPastDragThreshold(t->dragX, t->dragY, x, y))
        t->dragValue = 0;
    if (t->mouseMode >= BOX_MOVING && t->mouseMode <= BOX_EDGE_Y2) {
        const SelectionBox saved = {t->dragRect[0], t->dragRect[1], t->dragRect[2], t->dragRect[3]};
        SetBox(f, DragSelectionBox(BoxOf(t), saved, t->mouseMode, t->dragScale, t->dragX, t->dragY, x, y));
        return;
    }
    if (t->mouseMode != BOX_NONE)
        return;
    // The button went up outside the window: the move ends here.
    if (!g_Toolkit.mouse.left) {
        EndViewMove(f, t);
        return;
    }
    if (t->dragValue)
        return;
    const int dx = x - t->dragX, dy = y - t->dragY;
    const ModifierKeys keys = ModifierKeys::Current();
    Layer* layer = keys.control && f->header->Type == FT_LAYERED ? SelectedLayer(f) : nullptr;
    if (layer != nullptr) {
        layer->leftOffset += dx;
        layer->bottomOffset -= dy;
        f->CommitAndRecalculate(1, "Drag Layer");
        t->dragX = x;
        t->dragY = y;
    } else if (ModifierMatches(keyboardMouseMove, keys) && (dx != 0 || dy != 0)) {
        f->Move(dx, dy, 0);
        t->dragX = x;
        t->dragY = y;
    }
}

void MouseClickedGuarded(PFrameWindow* window, int x, int y, int event)
{
    char location[64];
    snprintf(location, sizeof location, "Mouse Clicked for window ID %d", window ? window->windowId : 0);
    GuardedReport(location, false, [&] { MouseClicked(window, x, y, event); });
}

void MouseMovedGuarded(PFrameWindow* window, int x, int y)
{
    GuardedReport("Mouse Moved", false, [&] { MouseMoved(window, x, y); });
}
