// Zooming and moving on fractals with a windowless task: the point under
// the pixel, rotated views, the animation's rectangles through the drawing
// seam, box zooms that do nothing, pass limits by the surviving values, a
// layered move, and the quaternion camera's zoom target.
#include <gtest/gtest.h>
#include <math.h>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "calc/FractalTask.h"
#include "calc/ImageSnapshot.h"
#include "calc/task/BareTask.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/Layer.h"
#include "document/QuaternionParameters.h"
#include "document/Undo.h"

namespace {

// A plane fractal of w x h showing -2.5 .. 1.5 by 1.5 .. -1.5, with a task.
Fractal* PlaneFractal(int w = 640, int h = 480)
{
    PrepareDocumentModel();
    Fractal* f = new Fractal(FT_PLASMA, 0);
    f->header->Width = w;
    f->header->Height = h;
    f->typeParameters->SetCorners(-2.5, 1.5, 1.5, -1.5);
    EXPECT_NE(AttachBareTask(f), nullptr);
    return f;
}

void Free(Fractal* f)
{
    FreeBareTask(f);
    delete f;
}

double D(const BigNumber& b)
{
    return b.ToDouble();
}

void ExpectView(Fractal* f, double l, double t, double r, double b, const char* what)
{
    const ViewParameters* v = f->typeParameters;
    EXPECT_DOUBLE_EQ(D(v->TopLeftR), l) << what;
    EXPECT_DOUBLE_EQ(D(v->TopLeftI), t) << what;
    EXPECT_DOUBLE_EQ(D(v->BottomRightR), r) << what;
    EXPECT_DOUBLE_EQ(D(v->BottomRightI), b) << what;
}

TEST(Zoom, ZoomAtWorkedExamples)
{
    const struct {
        int type, col, row;
        double factor;
        double l, t, r, b;
        const char* what;
    } cases[] = {
        {FT_PLASMA, 320, 240, 2, -1.5, 0.75, 0.5, -0.75, "centre by 2: P = (-0.5, 0)"},
        {FT_PLASMA, 0, 0, 2, -3.5, 2.25, -1.5, 0.75, "top-left pixel by 2"},
        {FT_PLASMA, 7, 411, 0.5, -4.5, 3.0, 3.5, -3.0, "zooming out keeps the centre"},
        {FT_ESCAPETIME, 640, 480, 4, 1.0, -1.125, 2.0, -1.875, "bottom-right corner by 4"},
        {FT_ATTRACTOR, 320, 240, 2, -2.5, 1.5, 1.5, -1.5, "no zoom-box flag: unchanged"},
    };
    PrepareDocumentModel();
    for (const auto& c : cases) {
        Fractal* f = new Fractal(c.type, 0);
        f->header->Width = 640;
        f->header->Height = 480;
        f->typeParameters->SetCorners(-2.5, 1.5, 1.5, -1.5);
        f->ZoomAt(c.col, c.row, c.factor);
        ExpectView(f, c.l, c.t, c.r, c.b, c.what);
        delete f;
    }
}

// Turning back uses pi with ten decimals: a rotated view zoomed by 1 turns
// by Angle x (pi - 3.1415926535) / 180, moving each corner by about 1.5e-11
// of its distance from the rotation centre (Angle 30).
TEST(Zoom, RotatedViewTurnsBackWithShortPi)
{
    Fractal* f = PlaneFractal();
    f->typeParameters->Angle = 30;
    BigNumber x0[3], y0[3], x1[3], y1[3], cx, cy;
    f->GetViewCorners(x0, y0);
    f->GetRotationCentre(x0, y0, cx, cy);
    f->ZoomAt(320, 240, 1);
    f->GetViewCorners(x1, y1);
    for (int i = 0; i < 3; ++i) {
        double moved = hypot(D(x1[i] - x0[i]), D(y1[i] - y0[i]));
        double distance = hypot(D(x0[i] - cx), D(y0[i] - cy));
        EXPECT_NEAR(moved / distance, 30 * (3.141592653589793 - 3.1415926535) / 180, 1e-13) << i;
    }
    Free(f);
}

// The drawing seam of the animation, recorded.
struct Stretch {
    int dx, dy, dw, dh, sx, sy, sw, sh;
};
std::vector<Stretch> g_stretches;
std::vector<RECT> g_black;
DWORD g_now;

DWORD StepClock()
{
    return g_now += 20;
}

struct AnimationRecorder {
    AnimationRecorder()
    {
        saved = g_ZoomDisplay;
        savedTick = g_TickCount;
        g_stretches.clear();
        g_black.clear();
        g_ZoomDisplay.beginFrames = [](Fractal*) { return true; };
        g_ZoomDisplay.paintBlack = [](Fractal*, int x0, int y0, int x1, int y1) {
            g_black.push_back(RECT{x0, y0, x1, y1});
        };
        g_ZoomDisplay.stretchImage = [](Fractal*, int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh) {
            g_stretches.push_back(Stretch{dx, dy, dw, dh, sx, sy, sw, sh});
        };
        g_TickCount = &StepClock;
    }
    ~AnimationRecorder()
    {
        g_ZoomDisplay = saved;
        g_TickCount = savedTick;
    }
    ZoomDisplay saved;
    DWORD (*savedTick)();
};

// A clock of 20 ms per call and ZoomSpeed 50 give frames at u = 1, after
// 20 and 40 ms, and the final frame u = 10000.
TEST(Zoom, AnimationRectangles)
{
    AnimationRecorder recorder;
    Fractal* f = PlaneFractal();
    f->Zoom(320, 240, 1, 0.5);
    ASSERT_EQ(g_stretches.size(), 4u);
    // Zooming out: the whole image shrinks to half about the centre, and
    // the last frame's four margins frame it.
    const Stretch& out = g_stretches.back();
    EXPECT_EQ(out.dx, 160);
    EXPECT_EQ(out.dy, 120);
    EXPECT_EQ(out.dw, 320);
    EXPECT_EQ(out.dh, 240);
    EXPECT_EQ(out.sw, 640);
    ASSERT_GE(g_black.size(), 4u);
    RECT left = g_black[g_black.size() - 4];
    EXPECT_EQ(left.right, 159);
    EXPECT_EQ(g_black.back().top, 361);

    // Zooming in by 2 at (160, 120): the first frame still shows about the
    // whole image, the last the quarter of the image about the pixel
    // (columns 0..319, rows 0..239 from the top), stretched over the whole
    // window.
    g_stretches.clear();
    f->Zoom(160, 120, 1, 2);
    ASSERT_EQ(g_stretches.size(), 4u);
    EXPECT_NEAR(g_stretches.front().sw, 640, 4);
    const Stretch& in = g_stretches.back();
    EXPECT_NEAR(in.sx, 0, 2);
    EXPECT_NEAR(in.sw, 320, 4);
    EXPECT_NEAR(in.sy, 240, 2);   // bottom-up rows
    EXPECT_NEAR(in.sh, 240, 4);
    EXPECT_EQ(in.dx, 0);
    EXPECT_EQ(in.dw, 640);

    // Without AnimatedZoom nothing is drawn.
    g_stretches.clear();
    g_AnimatedZoom = 0;
    f->Zoom(160, 120, 1, 2);
    g_AnimatedZoom = 1;
    EXPECT_TRUE(g_stretches.empty());
    Free(f);
}

// The click zoom clears the whole (Width + 1) x Height buffers, names its
// step by the factor (exactly 1 counts as in), and while a wheel snapshot
// is pending only recalculates.
TEST(Zoom, ClickZoomClearsRecordsAndHonoursSnapshot)
{
    Fractal* f = PlaneFractal(64, 48);
    const struct {
        double factor;
        const char* step;
    } cases[] = {{1.0, "Zoomed in"}, {0.9, "Zoomed out"}, {3.0, "Zoomed in"}};
    size_t cells = (size_t)f->GetBufferWidth() * 48;
    for (const auto& c : cases) {
        for (size_t i = 0; i < cells; ++i)
            f->task->values[i] = 1.0f;
        f->Zoom(10, 10, 0, c.factor);
        EXPECT_EQ(f->task->values[cells - 1], 0.0f) << c.factor;   // the spare column too
        ASSERT_NE(f->undoCursor, nullptr);
        EXPECT_STREQ(f->undoCursor->name, c.step);
    }
    int steps = f->undoSteps.Count();
    BigNumber left = f->typeParameters->TopLeftR;
    f->task->snapshot = new ImageSnapshot(f);
    f->Zoom(10, 10, 0, 2);
    EXPECT_TRUE(f->typeParameters->TopLeftR == left);
    EXPECT_EQ(f->undoSteps.Count(), steps);
    EXPECT_EQ(f->task->snapshot, nullptr);
    Free(f);
}

TEST(Zoom, BoxZoomsThatDoNothing)
{
    const struct {
        int box[4];   // x1, x2, y1, y2
        int shown;
        const char* what;
    } cases[] = {
        {{100, 100, 50, 200}, 1, "x1 = x2"},
        {{100, 300, 50, 50}, 1, "y1 = y2"},
        {{100, 300, 50, 200}, 0, "box not shown"},
        {{-10000, 300, 50, 200}, 1, "no box"},
    };
    for (const auto& c : cases) {
        Fractal* f = PlaneFractal();
        memcpy(f->task->selectionBox, c.box, sizeof c.box);
        f->task->selectionBoxShown = c.shown;
        f->ZoomToBox(1);
        ExpectView(f, -2.5, 1.5, 1.5, -1.5, c.what);
        EXPECT_EQ(f->task->selectionBox[1], c.box[1]) << c.what << ": the box stays";
        EXPECT_EQ(f->undoSteps.Count(), 0) << c.what;
        Free(f);
    }
    // A box zoom removes the box.
    Fractal* f = PlaneFractal();
    int box[4] = {100, 300, 50, 200};
    memcpy(f->task->selectionBox, box, sizeof box);
    f->task->selectionBoxShown = 1;
    f->ZoomToBox(0);
    EXPECT_EQ(f->task->selectionBox[0], -10000);
    EXPECT_EQ(f->task->selectionBoxShown, 0);
    EXPECT_STREQ(f->undoCursor->name, "Zooming out");
    Free(f);
}

// On a completely calculated 64 x 48 image (65 x 48 values) the pass limit
// follows the share of values that survive the shift; a shift of Width - 10
// or more clears everything.
TEST(Zoom, MovePassLimitBySurvivingValues)
{
    const struct {
        int dx, dy, passLimit;
    } cases[] = {
        {0, 0, 1}, {44, 0, 2}, {50, 30, 3}, {52, 35, 4}, {54, 0, 4}, {-20, -10, 1},
    };
    for (const auto& c : cases) {
        Fractal* f = PlaneFractal(64, 48);
        size_t cells = (size_t)f->GetBufferWidth() * 48;
        for (size_t i = 0; i < cells; ++i)
            f->task->values[i] = 1.0f;
        f->Move(c.dx, c.dy, 1);
        EXPECT_EQ(f->task->passLimit, c.passLimit) << c.dx << "," << c.dy;
        EXPECT_EQ(f->task->command, FTC_CONTINUE);
        EXPECT_EQ(f->task->rowsMoved, 1);
        // Moving the content right and down shows what lay left and above.
        double step = 4.0 / 64;
        ExpectView(f, -2.5 - c.dx * step, 1.5 + c.dy * step * 0.75 * 64 / 48, 1.5 - c.dx * step,
                   -1.5 + c.dy * step * 0.75 * 64 / 48, "moved view");
        Free(f);
    }
}

// A layered move moves each following layer, records one "Moving fractal"
// on the layered fractal and none per layer.
TEST(Zoom, LayeredMoveRecordsOneStep)
{
    PrepareDocumentModel();
    Fractal* base = new Fractal(FT_LAYERED, 0);
    base->header->Width = 64;
    base->header->Height = 48;
    ASSERT_NE(AttachBareTask(base), nullptr);
    LayeredParameters* block = static_cast<LayeredParameters*>(base->typeParameters);
    std::vector<Fractal*> layers;
    for (int i = 0; i < 2; ++i) {
        Fractal* lf = PlaneFractal(64, 48);
        Layer* layer = new Layer();
        layer->fractal = lf;
        lf->layer = layer;
        lf->baseFractal = base;
        block->layers.Append(layer);
        layers.push_back(lf);
    }
    base->Move(8, 0, 1);
    EXPECT_EQ(base->undoSteps.Count(), 1);
    EXPECT_STREQ(base->undoCursor->name, "Moving fractal");
    for (Fractal* lf : layers) {
        EXPECT_EQ(lf->undoSteps.Count(), 0);
        EXPECT_DOUBLE_EQ(D(lf->typeParameters->TopLeftR), -3.0);
    }
    while (ListNode* n = block->layers.GetHead()) {
        block->layers.Remove(n);
        Layer* layer = static_cast<Layer*>(n);
        layer->fractal->baseFractal = nullptr;
        layer->fractal->layer = nullptr;
        Free(layer->fractal);
        delete layer;
    }
    Free(base);
}

// The quaternion zoom aims at the surface under the pixel; a background
// pixel within 2 s of a hit aims at the same target, later at the viewpoint.
TEST(Zoom, QuaternionZoomTarget)
{
    PrepareDocumentModel();
    DWORD (*savedTick)() = g_TickCount;
    g_TickCount = [] { return g_now; };
    Fractal* f = new Fractal(FT_QUATERNION, 0);
    f->header->Width = 64;
    f->header->Height = 48;
    ASSERT_NE(AttachBareTask(f), nullptr);
    QuaternionParameters* q = static_cast<QuaternionParameters*>(f->typeParameters);
    // A hit half way along the ray of a pixel in the upper left part.
    float* depth = static_cast<float*>(f->task->plane0->data);
    int col = 10, row = 5;
    depth[(47 - row) * f->GetBufferWidth() + col] = 0.5f;
    g_now = 100000;
    f->ZoomAt(col, row, 2);
    EXPECT_EQ(q->zoomTargetTime, 100000);
    double target[3] = {q->zoomTarget[0], q->zoomTarget[1], q->zoomTarget[2]};
    // Upper left of the image: above and to the left of the viewpoint as
    // the camera looks (top vector +y, looking along +z).
    EXPECT_GT(target[1], q->Viewpoint_y - 1e-9);
    EXPECT_LT(target[0], 0.0);

    // Background 1.5 s later: the same target, the observer on its way there.
    double before[3] = {q->Obs_x, q->Obs_y, q->Obs_z};
    g_now += 1500;
    f->ZoomAt(40, 40, 2);
    EXPECT_EQ(q->zoomTargetTime, (int)g_now);
    double a[3] = {target[0] - before[0], target[1] - before[1], target[2] - before[2]};
    double b[3] = {q->Obs_x - before[0], q->Obs_y - before[1], q->Obs_z - before[2]};
    double cross[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    EXPECT_NEAR(hypot(hypot(cross[0], cross[1]), cross[2]), 0.0, 1e-9);
    EXPECT_GT(b[0] * a[0] + b[1] * a[1] + b[2] * a[2], 0.0);

    // 2.5 s later the target is the viewpoint: the observer moves towards it.
    g_now += 2500;
    int lastTime = q->zoomTargetTime;
    double v[3] = {q->Viewpoint_x, q->Viewpoint_y, q->Viewpoint_z};
    double o[3] = {q->Obs_x, q->Obs_y, q->Obs_z};
    f->ZoomAt(40, 40, 2);
    EXPECT_EQ(q->zoomTargetTime, lastTime);
    double share = 1 - 1 / (log(2.0) + 1);
    EXPECT_NEAR(q->Obs_z, o[2] + (v[2] - o[2]) * share, 1e-12);
    FreeBareTask(f);
    delete f;
    g_TickCount = savedTick;
}

}  // namespace
