// Mouse and keys of fractal windows: the modifier rule, the handle under the
// mouse, corner drags that keep the box's aspect and edge drags that move
// one side, the box ordered after the release, the 5-pixel threshold
// before a press becomes a move (and its undo step), the arrow steps, and
// the observer drags of 3D views.
#include <gtest/gtest.h>

#include <windows.h>

#include <math.h>

#include "app/ControlKeys.h"
#include "app/FractalMouse.h"
#include "calc/FractalTask.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Undo.h"
#include "files/settings/Settings.h"
#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"
#include "view3d/CameraWidget.h"
#include "view3d/Parameters3D.h"

TEST(FractalMouse, ModifierSettingMatchesTheKeysHeld)
{
    struct Case {
        int setting;
        ModifierKeys keys;
        bool matches;
    } const cases[] = {
        {0, {false, false, false}, true},  {0, {true, false, false}, false},
        {0, {false, false, true}, false},  {1, {true, false, false}, true},
        {1, {false, true, false}, false},  {2, {false, true, false}, true},
        {2, {true, true, false}, true},    // Control held is enough, Shift too does not hurt
        {4, {false, false, true}, true},   {4, {false, false, false}, false},
        {3, {true, true, false}, false},   // no combined values
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.matches, ModifierMatches(c.setting, c.keys))
            << "setting " << c.setting << " shift " << c.keys.shift << " control " << c.keys.control
            << " alt " << c.keys.alt;
}

TEST(FractalMouse, PressOnABoxPicksTheHandleWithinFourPixels)
{
    const SelectionBox box = {20, 60, 50, 10};   // x1, x2, y1, y2 (y1 below)
    struct Case {
        int x, y, mode;
    } const cases[] = {
        {20, 50, BOX_CORNER_X1Y1}, {24, 46, BOX_CORNER_X1Y1}, {16, 10, BOX_CORNER_X1Y2},
        {60, 54, BOX_CORNER_X2Y1}, {63, 7, BOX_CORNER_X2Y2},  {40, 50, BOX_EDGE_Y1},
        {40, 10, BOX_EDGE_Y2},     {60, 30, BOX_EDGE_X2},     {20, 30, BOX_EDGE_X1},
        {30, 20, BOX_MOVING},      {25, 30, BOX_MOVING},      // 5 pixels from the edge: inside
        {15, 30, BOX_IDLE},        {70, 70, BOX_IDLE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.mode, BoxModeAt(box, c.x, c.y)) << "at " << c.x << ", " << c.y;
}

TEST(FractalMouse, CornerDragsKeepTheAspectAndEdgeDragsMoveOneSide)
{
    // A 40 x 20 box (aspect 2) with corners (10, 30) and (50, 10).
    const SelectionBox box = {10, 50, 30, 10};
    struct Case {
        int mode, x, y;
        SelectionBox want;
        const char* what;
    } const cases[] = {
        // (x2, y2) fixed; wide mouse offset: the width rules.
        {BOX_CORNER_X1Y1, -30, 20, {-30, 50, 50, 10}, "x1y1 wide"},
        // Tall offset: the height rules, the width follows.
        {BOX_CORNER_X1Y1, 45, 40, {-10, 50, 40, 10}, "x1y1 tall: 30 high gives 60 wide"},
        {BOX_CORNER_X2Y2, 71, 0, {10, 71, 30, 0}, "x2y2: 61 wide gives 30.5 high, truncated"},
        {BOX_CORNER_X2Y1, 90, 35, {10, 90, 50, 10}, "x2y1 from (10, 10): 80 wide, 40 high"},
        {BOX_CORNER_X1Y2, 20, 30, {10, 50, 30, 10}, "level with the fixed corner's y: unchanged"},
        {BOX_EDGE_X1, 3, 99, {3, 50, 30, 10}, "left edge"},
        {BOX_EDGE_Y1, 99, 44, {10, 50, 44, 10}, "lower edge"},
        {BOX_EDGE_X2, 77, -5, {10, 77, 30, 10}, "right edge"},
        {BOX_EDGE_Y2, -5, 2, {10, 50, 30, 2}, "upper edge"},
        {BOX_IDLE, 0, 0, {10, 50, 30, 10}, "idle box stays"},
    };
    for (const Case& c : cases) {
        SelectionBox got = DragSelectionBox(box, box, c.mode, 2.0, 0, 0, c.x, c.y);
        EXPECT_EQ(c.want.x1, got.x1) << c.what;
        EXPECT_EQ(c.want.x2, got.x2) << c.what;
        EXPECT_EQ(c.want.y1, got.y1) << c.what;
        EXPECT_EQ(c.want.y2, got.y2) << c.what;
        if (c.mode >= BOX_CORNER_X1Y1 && c.mode <= BOX_CORNER_X1Y2 && got.y1 != got.y2)
            EXPECT_NEAR(2.0, fabs((double)(got.x2 - got.x1) / (got.y1 - got.y2)), 0.1) << c.what;
    }
    // Moving shifts the box saved at the press by the mouse's way.
    const SelectionBox saved = {0, 10, 10, 0};
    SelectionBox moved = DragSelectionBox(box, saved, BOX_MOVING, 2.0, 5, 5, 8, 1);
    EXPECT_EQ(3, moved.x1);
    EXPECT_EQ(13, moved.x2);
    EXPECT_EQ(6, moved.y1);
    EXPECT_EQ(-4, moved.y2);
}

TEST(FractalMouse, ArrowKeysStepOnePixelOrTenWithShift)
{
    struct Case {
        int key;
        bool shift;
        int dx, dy;
    } const cases[] = {
        {VK_LEFT, false, 1, 0}, {VK_UP, false, 0, 1},   {VK_RIGHT, false, -1, 0},
        {VK_DOWN, false, 0, -1}, {VK_LEFT, true, 10, 0}, {VK_DOWN, true, 0, -10},
    };
    for (const Case& c : cases) {
        int dx = 99, dy = 99;
        ASSERT_TRUE(ArrowKeyMove(c.key, c.shift, &dx, &dy));
        EXPECT_EQ(c.dx, dx) << c.key << " shift " << c.shift;
        EXPECT_EQ(c.dy, dy) << c.key << " shift " << c.shift;
    }
    int dx, dy;
    EXPECT_FALSE(ArrowKeyMove(VK_RETURN, false, &dx, &dy));
}

namespace {

// A current escape-time fractal in a listed folder, with a task whose
// window object (no window) is what the mouse handlers are given.
class MouseOnFractal : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedFolder = CurrentFolder;
        savedZoomRect = keyboardZoomRect;
        folder = new FractalFolder("C:\\Test", "Mouse.par", FOLDER_PARAMETERS, true, false);
        fractal = new Fractal(FT_ESCAPETIME, 0);
        fractal->header->Width = 120;
        fractal->header->Height = 80;
        folder->AddFractal(fractal, false);
        folder->currentFractal = fractal;
        CurrentFolder = folder;
        window.windowId = WID_FRACTAL;
        task.window = &window;
        task.fractal = fractal;
        fractal->task = &task;
    }
    void TearDown() override
    {
        fractal->task = nullptr;
        task.window = nullptr;
        DeleteFolder(folder, false, false);
        CurrentFolder = savedFolder;
        keyboardZoomRect = savedZoomRect;
    }

    FractalFolder* folder = nullptr;
    FractalFolder* savedFolder = nullptr;
    int savedZoomRect = 0;
    Fractal* fractal = nullptr;
    FractalTask task;
    PFrameWindow window;
};

}  // namespace

// The box drawn from the press point: whatever way it is dragged, after
// the release x1 <= x2 and y1 >= y2 and the box is idle.
TEST_F(MouseOnFractal, ADrawnBoxIsOrderedAfterTheRelease)
{
    keyboardZoomRect = 0;   // no modifier: a plain drag draws the box
    MouseClicked(&window, 80, 20, ME_LEFT_DOWN);
    ASSERT_EQ(BOX_CORNER_X1Y1, task.mouseMode);
    MouseMoved(&window, 20, 60);   // up-left of the press, past the threshold
    MouseClicked(&window, 20, 60, ME_LEFT_UP);
    EXPECT_EQ(BOX_IDLE, task.mouseMode);
    const int* b = task.selectionBox;   // x1, x2, y1, y2
    EXPECT_LE(b[0], b[1]);
    EXPECT_GE(b[2], b[3]);
    EXPECT_EQ(80, b[1]) << "the press point stays a corner";
    EXPECT_EQ(20, b[3]);
    EXPECT_NEAR(120.0 / 80.0, (double)(b[1] - b[0]) / (b[2] - b[3]), 0.05) << "the image's aspect";

    // A press inside the box then moves it; the box stays ordered.
    MouseClicked(&window, 60, 40, ME_LEFT_DOWN);
    EXPECT_EQ(BOX_MOVING, task.mouseMode);
    MouseMoved(&window, 50, 45);
    MouseClicked(&window, 50, 45, ME_LEFT_UP);
    EXPECT_EQ(80 - 10, b[1]);
    EXPECT_EQ(20 + 5, b[3]);
}

// A press that moves 5 pixels or less (|dx| + |dy|) is a click: the drag
// ends at the next move with the button up and records nothing; past 5
// pixels the move is recorded as "Moving fractal".
TEST_F(MouseOnFractal, OnlyADragPastFivePixelsRecordsAMove)
{
    keyboardZoomRect = 4;   // Alt, not held: no box
    ASSERT_EQ(0, fractal->undoSteps.Count());
    // The button is up in the test, so the first move ends each press.
    MouseClicked(&window, 50, 50, ME_LEFT_DOWN);
    EXPECT_EQ(BOX_NONE, task.mouseMode);
    MouseMoved(&window, 53, 48);
    EXPECT_EQ(1, task.dragValue) << "not yet a drag";
    EXPECT_EQ(NOT_SET, task.dragX);
    EXPECT_EQ(0, fractal->undoSteps.Count());

    MouseClicked(&window, 50, 50, ME_LEFT_DOWN);
    MouseMoved(&window, 54, 48);
    EXPECT_EQ(0, task.dragValue);
    EXPECT_EQ(NOT_SET, task.dragX);
    ASSERT_EQ(1, fractal->undoSteps.Count());
    EXPECT_STREQ("Moving fractal", fractal->undoSteps.GetHead()->name);
}

TEST_F(MouseOnFractal, EscapeRemovesTheBox)
{
    keyboardZoomRect = 0;
    MouseClicked(&window, 10, 10, ME_LEFT_DOWN);
    MouseMoved(&window, 40, 40);
    MouseClicked(&window, 40, 40, ME_LEFT_UP);
    ASSERT_NE(NOT_SET, task.selectionBox[0]);
    EXPECT_TRUE(HandleControlKey(&window, VK_ESCAPE));
    EXPECT_EQ(BOX_NONE, task.mouseMode);
    EXPECT_EQ(NOT_SET, task.selectionBox[0]);
}

// The press of a double click with the box modifier leaves a box of one
// pixel; the double click removes it and zooms 2x at the point instead of
// zooming into the box.
TEST_F(MouseOnFractal, DoubleClickDropsADegenerateBoxAndZoomsAtThePoint)
{
    keyboardZoomRect = 0;
    keyboardZoomIn = 0;
    BigNumber x0[3], y0[3];
    fractal->GetViewCorners(x0, y0);
    const double width0 = (x0[1] - x0[0]).ToDouble();
    MouseClicked(&window, 90, 20, ME_LEFT_DOWN);
    MouseClicked(&window, 90, 20, ME_LEFT_UP);
    ASSERT_EQ(BOX_IDLE, task.mouseMode) << "the press left a box";
    MouseClicked(&window, 90, 20, ME_LEFT_DOUBLE);
    EXPECT_EQ(BOX_NONE, task.mouseMode);
    EXPECT_EQ(NOT_SET, task.selectionBox[0]);
    BigNumber x1[3], y1[3];
    fractal->GetViewCorners(x1, y1);
    EXPECT_NEAR(width0 / ZoomFactor1, (x1[1] - x1[0]).ToDouble(), 1e-9 * width0);
    // Pixel (90, 20) of the old view is the new view's centre.
    const double oldX = x0[0].ToDouble() + (x0[1] - x0[0]).ToDouble() * 90 / 120;
    EXPECT_NEAR(oldX, ((x1[0] + x1[2]) / BigNumber(2.0)).ToDouble(), 1e-9 * width0);
}

namespace {

void ExpectPoint(const double* want, const double* got, const char* what)
{
    for (int i = 0; i < 3; i++)
        EXPECT_NEAR(want[i], got[i], 1e-6) << what << " [" << i << "]";
}

// An observer 10 in front of the origin, looking at it, y up.
const ViewCamera kFront = {{0, 0, 10}, {0, 1, 0}, {0, 0, 0}};

}  // namespace

// The orbit turns the observer about the viewpoint (first around -top,
// then toward the top vector, which follows the tilt); the viewpoint turn
// keeps the observer and swings the viewpoint about it.
TEST(FractalMouse, ObserverDragsTurnTheCameraOfThePress)
{
    struct Case {
        bool orbit;
        double pan, tilt;
        ViewCamera want;
        const char* what;
    } const cases[] = {
        {true, 90, 0, {{-10, 0, 0}, {0, 1, 0}, {0, 0, 0}}, "orbit around -top"},
        {true, 0, 90, {{0, -10, 0}, {0, 0, 1}, {0, 0, 0}}, "orbit tilt: the top follows"},
        {false, 90, 0, {{0, 0, 10}, {0, 1, 0}, {-10, 0, 10}}, "viewpoint pans about the observer"},
        {false, 0, 90, {{0, 0, 10}, {0, 1, 0}, {0, -10, 10}}, "viewpoint tilts"},
    };
    for (const Case& c : cases) {
        const ViewCamera got = c.orbit ? OrbitObserver(kFront, c.pan, c.tilt) : TurnViewpoint(kFront, c.pan, c.tilt);
        ExpectPoint(c.want.observer, got.observer, c.what);
        ExpectPoint(c.want.top, got.top, c.what);
        ExpectPoint(c.want.viewpoint, got.viewpoint, c.what);
    }
    // Both angles at once: the distance stays and the top stays upright to
    // the line of sight.
    const ViewCamera both = OrbitObserver(kFront, 30, -20);
    const double d[3] = {both.observer[0], both.observer[1], both.observer[2]};
    EXPECT_NEAR(10.0, sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]), 1e-9);
    EXPECT_NEAR(0.0, d[0] * both.top[0] + d[1] * both.top[1] + d[2] * both.top[2], 1e-9);

    struct Distance {
        bool openGL;
        int dy;
        double percent;
    } const distances[] = {
        {true, 0, 100}, {true, 4, 120}, {true, -9, 70}, {true, 1, 110},
        {false, 5, 110}, {false, -10, 80}, {false, 0, 100},
    };
    for (const Distance& c : distances)
        EXPECT_DOUBLE_EQ(c.percent, c.openGL ? OpenGLDistancePercent(c.dy) : AttractorDistancePercent(c.dy))
            << (c.openGL ? "OpenGL " : "attractor ") << c.dy;
}

// Each move of an OpenGL view's drag starts again from the camera saved at
// the press (the moves do not add up); a right drag moves the observer
// along its line to the viewpoint.
TEST_F(MouseOnFractal, OpenGLDragsTurnAndDistanceTheObserverFromThePress)
{
    Parameters3D* p = fractal->params3D;
    ASSERT_NE(nullptr, p);
    fractal->header->Dims = 1;
    p->Mode3D = 1;
    p->GLObsX = 0, p->GLObsY = 0, p->GLObsZ = 40;
    p->GLObsTopX = 0, p->GLObsTopY = 1, p->GLObsTopZ = 0;
    p->ViewpointX = p->ViewpointY = p->ViewpointZ = 0;
    const PMouse savedMouse = g_Toolkit.mouse;

    MouseClicked(&window, 60, 40, ME_LEFT_DOWN);
    g_Toolkit.mouse.left = true;
    MouseMoved(&window, 40, 40);   // 20 of 120 columns: 30 degrees
    MouseMoved(&window, 30, 40);   // 45 degrees from the press, not 75
    const double r = 40 * sqrt(0.5);
    EXPECT_NEAR(r, p->GLObsX, 1e-6);
    EXPECT_NEAR(0, p->GLObsY, 1e-6);
    EXPECT_NEAR(r, p->GLObsZ, 1e-6);
    EXPECT_NEAR(40, p->SpareObserver3, 1e-9) << "the press's observer is kept";
    g_Toolkit.mouse.left = false;
    MouseClicked(&window, 30, 40, ME_LEFT_UP);
    EXPECT_EQ(NOT_SET, task.dragX);

    MouseClicked(&window, 60, 40, ME_RIGHT_DOWN);
    g_Toolkit.mouse.right = true;
    MouseMoved(&window, 60, 44);   // 100 + 10 x sqrt(4) = 120%
    EXPECT_NEAR(1.2 * r, p->GLObsX, 1e-6);
    EXPECT_NEAR(1.2 * r, p->GLObsZ, 1e-6);
    g_Toolkit.mouse = savedMouse;
    MouseClicked(&window, 60, 44, ME_RIGHT_UP);
    EXPECT_EQ(NOT_SET, task.dragX);
}

// A plain press on a quaternion window's shown camera widget picks the
// camera handle (saving the camera for the drag), the top handle, or the
// sphere's radius, each within its reach; the release ends the handle drag
// and, the view not having moved, records nothing.
TEST_F(MouseOnFractal, APressOnTheCameraWidgetPicksWhatTheDragMoves)
{
    Fractal* quaternion = new Fractal(FT_QUATERNION, 0);
    quaternion->header->Width = 120;
    quaternion->header->Height = 80;
    folder->AddFractal(quaternion, false);
    fractal->task = nullptr;
    quaternion->task = &task;
    task.fractal = quaternion;
    CameraWidget widget(quaternion);
    ASSERT_TRUE(widget.AllocateOverlay(10));
    task.cameraWidget = &widget;
    task.markerX[0] = 60, task.markerY[0] = 40;   // the sphere's centre
    widget.cameraHandle[0] = 60, widget.cameraHandle[1] = 30;
    widget.topHandle[0] = 70, widget.topHandle[1] = 30;
    widget.camera[0] = 1, widget.camera[1] = 2, widget.camera[2] = 3;

    MouseClicked(&window, 0, 0, ME_LEFT_DOWN);   // selects the fractal first
    MouseClicked(&window, 0, 0, ME_LEFT_UP);
    const int steps = quaternion->undoSteps.Count();
    struct Case {
        int x, y, mode;
        const char* what;
    } const cases[] = {
        {62, 28, 1, "camera handle, 2 pixels off"},
        {68, 32, 2, "top handle, 2 pixels off"},
        {55, 45, 3, "inside the sphere"},
        {63, 33, 3, "3 pixels from the camera handle: the sphere"},
        {90, 70, 0, "outside the sphere"},
    };
    for (const Case& c : cases) {
        MouseClicked(&window, c.x, c.y, ME_LEFT_DOWN);
        EXPECT_EQ(c.mode, widget.dragMode) << c.what;
        EXPECT_EQ(c.x, task.dragX) << c.what;
        if (c.mode == 1)
            EXPECT_EQ(3, widget.savedCamera[2]) << c.what;
        MouseClicked(&window, c.x, c.y, ME_LEFT_UP);
        EXPECT_EQ(0, widget.dragMode) << c.what;
        EXPECT_EQ(NOT_SET, task.dragX) << c.what;
    }
    EXPECT_EQ(steps, quaternion->undoSteps.Count());
    task.cameraWidget = nullptr;
    quaternion->task = nullptr;
    fractal->task = &task;
    task.fractal = fractal;
}
