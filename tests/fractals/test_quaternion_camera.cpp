// The quaternion camera: view-plane extents from the camera equations,
// world/camera round trips with a top vector that is neither unit nor
// perpendicular, the surface point under a pixel, the rotations of the 3D
// fields, the projection scale, and the two ambient-occlusion set-ups.
#include <gtest/gtest.h>

#include <math.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "fractals/quaternion/QuaternionCamera.h"

namespace {

const double kPi10 = 3.1415926535;

double Length(const double* v) { return sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }
double Dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

struct Block {
    Fractal fractal{FT_QUATERNION, 0};
    QuaternionParameters* q = static_cast<QuaternionParameters*>(fractal.typeParameters);
    void Camera(double ox, double oy, double oz, double vx, double vy, double vz, double tx, double ty, double tz)
    {
        q->Obs_x = ox, q->Obs_y = oy, q->Obs_z = oz;
        q->Viewpoint_x = vx, q->Viewpoint_y = vy, q->Viewpoint_z = vz;
        q->top_x = tx, q->top_y = ty, q->top_z = tz;
    }
};

}  // namespace

// The half extents of the view plane are D tan(fov) on the limiting side
// (m = min(0.75 w, h)); a wrong m, a missing 5/6 or a missing aspect ratio
// changes them.
TEST(QuaternionViewPlane, ExtentsFollowTheLimitingSide)
{
    struct Case {
        int width, height;
        double aspect;
        int relative;
        double halfHeightFactor, halfWidthFactor;   // in units of D tan(fov)
        const char* what;
    } cases[] = {
        {640, 480, 1.0, 0, 1.0, 4.0 / 3, "4:3 fills both ways (m = 480)"},
        {800, 480, 1.0, 0, 1.0, 800.0 / 480, "wider: the height limits"},
        {400, 480, 1.0, 0, 480.0 / 300, 400.0 / 300, "taller: 0.75 width limits (m = 300)"},
        {640, 480, 2.0, 0, 0.5, 4.0 / 3, "aspect ratio divides the vertical step"},
        {640, 480, 1.0, 1, 1.0, 4.0 / 3, "relative: D grows by the observer distance"},
    };
    for (const Case& c : cases) {
        Block b;
        b.Camera(1, 2, -3, 1, 2, 1, 0, 2, 0);   // looking along +z from 4 units away
        b.q->Viewangle = 30;
        b.q->backClippingPlane = 5;
        b.q->aspectRatio = c.aspect;
        b.q->relativeToViewpoint = c.relative;
        double corner[3], sx[3], sy[3];
        ComputeViewPlane(b.q, c.width, c.height, corner, sx, sy);
        double D = 5 + (c.relative ? 4 : 0);
        double unit = D * tan(30.0 * 5 / 6 * kPi10 / 180);
        EXPECT_NEAR(Length(sy) * c.height / 2, c.halfHeightFactor * unit, 1e-12) << c.what;
        EXPECT_NEAR(Length(sx) * c.width / 2, c.halfWidthFactor * unit, 1e-12) << c.what;
        // The centre of the plane lies D along the view direction.
        double centre[3];
        for (int i = 0; i < 3; ++i)
            centre[i] = corner[i] + c.width * 0.5 * sx[i] + c.height * 0.5 * sy[i];
        EXPECT_NEAR(centre[0], 1, 1e-12) << c.what;
        EXPECT_NEAR(centre[1], 2, 1e-12) << c.what;
        EXPECT_NEAR(centre[2], -3 + D, 1e-12) << c.what;
        // Columns run along right = top x dir, rows along the top vector.
        EXPECT_GT(sx[0], 0) << c.what;
        EXPECT_GT(sy[1], 0) << c.what;
    }
}

TEST(QuaternionViewPlane, FlipMirrorsRowsAboutTheSameCentre)
{
    Block b;
    b.Camera(0, 0, -3, 0, 0, 0, 0, 1, 0);
    double corner[3], sx[3], sy[3], fcorner[3], fsx[3], fsy[3];
    ComputeViewPlane(b.q, 64, 48, corner, sx, sy);
    b.q->flipObject = 1;
    ComputeViewPlane(b.q, 64, 48, fcorner, fsx, fsy);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fsy[i], -sy[i]);
        EXPECT_EQ(fsx[i], sx[i]);
        // Bottom row of the flipped picture = top edge of the plain one.
        EXPECT_NEAR(fcorner[i], corner[i] + 48 * sy[i], 1e-12);
    }
}

// Conversions with a skew, unnormalised top: camera y is measured in units
// of the stored top vector, so a conversion that normalises it or uses a
// right-angled frame fails the round trip or the explicit expectation.
TEST(QuaternionCameraConversions, RoundTripsAndBasisAgree)
{
    Block b;
    b.Camera(0.5, -1, -4, 0.25, 0.5, 0.75, 0.3, 2.0, 0.4);
    QuaternionCameraBasis basis;
    PrepareCameraBasis(&basis, b.q);
    const double points[][3] = {{0, 0, 0}, {1, 2, 3}, {-5, 0.25, 7}, {0.5, -1, -4}};
    for (const auto& p : points) {
        double cam[3], back[3];
        QuaternionWorldToCamera(b.q, p, cam);
        QuaternionCameraToWorld(b.q, cam, back);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(back[i], p[i], 1e-12);
        // The stored frame converts the same way.
        double v[3] = {p[0], p[1], p[2]};
        ToCameraBasis(&basis, v);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(v[i] + basis.originInCamera[i], cam[i], 1e-12);
    }
    // One unit of camera y is one stored top vector.
    const double unitY[3] = {0, 1, 0};
    double w[3];
    QuaternionCameraToWorld(b.q, unitY, w);
    EXPECT_NEAR(w[0] - 0.5, 0.3, 1e-12);
    EXPECT_NEAR(w[1] + 1, 2.0, 1e-12);
    EXPECT_NEAR(w[2] + 4, 0.4, 1e-12);
}

// The pixel steps are the camera images of the world steps: any pixel
// converts as corner + x stepX + r stepY in camera space.
TEST(QuaternionCameraConversions, PixelStepsMatchTheWorldPlane)
{
    Block b;
    b.Camera(0.5, -1, -4, 0.25, 0.5, 0.75, 0.3, 2.0, 0.4);
    double corner[3], sx[3], sy[3], c0[3], cx[3], cy[3];
    ComputeViewPlane(b.q, 40, 30, corner, sx, sy);
    ComputePixelSteps(b.q, 40, 30, c0, cx, cy);
    for (int x : {0, 17, 39})
        for (int r : {0, 29}) {
            double p[3], cam[3];
            for (int i = 0; i < 3; ++i)
                p[i] = corner[i] + x * sx[i] + r * sy[i];
            QuaternionWorldToCamera(b.q, p, cam);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(cam[i], c0[i] + x * cx[i] + r * cy[i], 1e-12);
        }
    // The projection scale sends the corner to pixel (0, 0).
    double px, py;
    ComputeProjectionScale(20, 15, 40, 30, c0, &px, &py);
    EXPECT_NEAR(c0[0] / c0[2] * px * 20 + 20, 0, 1e-9);
    EXPECT_NEAR(c0[1] / c0[2] * py * 15 + 15, 0, 1e-9);
}

// Window rows count from the top; -1 and NaN depths are no surface.
TEST(QuaternionSurfacePoint, FollowsTheDepthAndTheRowFlip)
{
    Block b;
    b.fractal.header->Width = 8;
    b.fractal.header->Height = 6;
    FractalTask* task = AttachBareTask(&b.fractal);
    ASSERT_NE(task, nullptr);
    b.Camera(0, 0, -3, 0, 0, 0, 0, 1, 0);
    b.q->Viewpoint_x = 0.125;
    float* depth = static_cast<float*>(task->plane0->data);
    const int pw = task->plane0->width;
    depth[1 * pw + 2] = 0.5f;   // window row 4
    depth[5 * pw + 3] = -1.0f;  // window row 0
    depth[4 * pw + 4] = NAN;    // window row 1
    double out[3];
    ASSERT_TRUE(GetSurfacePoint(b.q, task, 2, 4, out));
    double corner[3], sx[3], sy[3];
    ComputeViewPlane(b.q, 8, 6, corner, sx, sy);
    const double observer[3] = {0, 0, -3};
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(out[i], observer[i] + 0.5 * (corner[i] + 2 * sx[i] + 1 * sy[i] - observer[i]), 1e-12);
    for (int y : {0, 1}) {
        EXPECT_FALSE(GetSurfacePoint(b.q, task, 3 + (y == 1), y, out));
        EXPECT_EQ(out[0], 0.125);
        EXPECT_EQ(out[2], 0.0);
    }
    EXPECT_FALSE(GetSurfacePoint(b.q, task, 8, 0, out));   // past the image
    FreeBareTask(&b.fractal);
}

TEST(QuaternionRotateCamera, EachAngleTurnsWhatItShould)
{
    const double centre[3] = {1, 1, 1};
    const double savedPoint[3] = {1, 1, -3};   // 4 in front of the centre
    const double savedTop[3] = {0, 1, 0};
    auto run = [&](double a1, double a2, double a3, double point[3], double top[3]) {
        point[0] = point[1] = point[2] = 99;
        top[0] = top[1] = top[2] = 77;
        RotateCamera(centre, top, savedTop, point, savedPoint, a1, a2, a3);
    };
    double p[3], t[3];
    run(0, 0, 0, p, t);
    EXPECT_EQ(p[0], 99);
    EXPECT_EQ(t[0], 77);

    // A quarter turn about the top: same distance, at right angles, top untouched.
    run(90, 0, 0, p, t);
    const double v0[3] = {0, 0, -4};
    double v[3] = {p[0] - 1, p[1] - 1, p[2] - 1};
    EXPECT_NEAR(Length(v), 4, 1e-9);
    EXPECT_NEAR(Dot(v, v0), 0, 1e-8);
    EXPECT_NEAR(v[1], 0, 1e-9);
    EXPECT_EQ(t[0], 77);

    // Tilt: the point leaves the horizontal, the top stays perpendicular to it.
    run(0, 30, 0, p, t);
    double w[3] = {p[0] - 1, p[1] - 1, p[2] - 1};
    EXPECT_NEAR(Length(w), 4, 1e-9);
    EXPECT_NEAR(w[1], -4 * sin(30 * kPi10 / 180), 1e-8);
    EXPECT_NEAR(Dot(w, t), 0, 1e-8);
    EXPECT_NEAR(Length(t), 1, 1e-12);

    // Roll: the point stays, the top turns about the view direction.
    run(0, 0, 90, p, t);
    EXPECT_EQ(p[0], 99);
    EXPECT_NEAR(t[1], 0, 1e-9);
    EXPECT_NEAR(fabs(t[0]), 1, 1e-9);
    EXPECT_NEAR(t[2], 0, 1e-9);
}

TEST(QuaternionCameraFields, InterpolateAndSave)
{
    const double a[3] = {1, 2, 3}, b[3] = {3, 2, -1};
    double out[3];
    InterpolatePoint(a, out, b, 25);
    EXPECT_DOUBLE_EQ(out[0], 1.5);
    EXPECT_DOUBLE_EQ(out[2], 2.0);
    Block k;
    k.Camera(1, 2, 3, 7, 8, 9, 4, 5, 6);   // saved as observer, top, viewpoint
    k.q->frontClippingPlane = 10;
    k.q->backClippingPlane = 11;
    SaveQuaternionCamera(k.q);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(k.q->savedCamera[i], i + 1);
}

TEST(QuaternionAoKernel, UnitVectorsAfterSpreadingAndRepeatable)
{
    std::vector<float> raw(3 * 40), spread(3 * 40), again(3 * 40);
    BuildAoKernel(10, 40, 0, raw.data());
    BuildAoKernel(10, 40, 3, spread.data());
    BuildAoKernel(10, 40, 3, again.data());
    bool someInside = false;
    for (int i = 0; i < 40; ++i) {
        const float* r = &raw[3 * i];
        const float* s = &spread[3 * i];
        double lr = sqrt((double)r[0] * r[0] + (double)r[1] * r[1] + (double)r[2] * r[2]);
        double ls = sqrt((double)s[0] * s[0] + (double)s[1] * s[1] + (double)s[2] * s[2]);
        EXPECT_LE(lr, 1.0 + 1e-6);
        someInside = someInside || lr < 0.9;
        EXPECT_NEAR(ls, 1.0, 1e-6);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(s[k], again[3 * i + k]);
    }
    EXPECT_TRUE(someInside);
    // Spreading pushes the points apart: no two end up close together.
    double closest = 10;
    for (int i = 0; i < 40; ++i)
        for (int j = i + 1; j < 40; ++j) {
            double d[3] = {(double)spread[3 * i] - spread[3 * j], (double)spread[3 * i + 1] - spread[3 * j + 1],
                           (double)spread[3 * i + 2] - spread[3 * j + 2]};
            closest = fmin(closest, Length(d));
        }
    EXPECT_GT(closest, 0.2);
}

TEST(QuaternionDepthToPositions, DistancesMeanAndStop)
{
    Block b;
    b.fractal.header->Width = 6;
    b.fractal.header->Height = 4;
    FractalTask* task = AttachBareTask(&b.fractal);
    ASSERT_NE(task, nullptr);
    b.Camera(0, 0, -3, 0, 0, 0, 0, 1, 0);
    b.q->AORadius = 0.5;
    const int pw = task->plane0->width;
    float* depth = static_cast<float*>(task->plane0->data);
    for (int i = 0; i < pw * 4; ++i)
        depth[i] = -1;
    depth[0] = 0.5f;
    depth[2 * pw + 3] = 0.25f;
    double c0[3], cx[3], cy[3];
    ComputePixelSteps(b.q, 6, 4, c0, cx, cy);
    std::vector<float> distances(pw * 4, 7.0f);
    double r = DepthToPositions(&b.fractal, distances.data(), c0, cx, cy);
    double p0[3], p1[3];
    for (int i = 0; i < 3; ++i) {
        p0[i] = 0.5 * c0[i];
        p1[i] = 0.25 * (c0[i] + 3 * cx[i] + 2 * cy[i]);
    }
    EXPECT_NEAR(distances[0], Length(p0), 1e-6);
    EXPECT_NEAR(distances[2 * pw + 3], Length(p1), 1e-6);
    EXPECT_EQ(distances[1], -1.0f);
    EXPECT_EQ(distances[4 * pw - 1], -1.0f);
    EXPECT_NEAR(r, (Length(p0) + Length(p1)) / 2 * 0.5, 1e-6);

    // A pending command: 0 at once.
    task->command = 3;
    EXPECT_EQ(DepthToPositions(&b.fractal, distances.data(), c0, cx, cy), 0.0);
    task->command = 0;
    FreeBareTask(&b.fractal);
}
