// The attractor camera: the projection record, world/camera conversions
// with the block's (not necessarily perpendicular) top vector, and the
// orthographic shadow cameras that frame the bounding sphere for each light.
#include "fractals/attractor/Camera.h"

#include <math.h>
#include <string.h>

#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"

namespace {

const double kDegree = 0.01745329252;

double Triple(const double* a, const double* b, const double* c) {
    return a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
           a[2] * (b[0] * c[1] - b[1] * c[0]);
}

bool NearlyZero(const double* v) {
    return fabs(v[0]) <= 1e-9 && fabs(v[1]) <= 1e-9 && fabs(v[2]) <= 1e-9;
}

// The block's frame: unit direction d, R = unit(top x d), top as stored.
// False when the camera is degenerate (the frame has no volume).
bool BlockFrame(const AttractorParameters* b, double R[3], double top[3], double d[3]) {
    d[0] = b->Viewpoint_x - b->Obs_x;
    d[1] = b->Viewpoint_y - b->Obs_y;
    d[2] = b->Viewpoint_z - b->Obs_z;
    top[0] = b->top_x;
    top[1] = b->top_y;
    top[2] = b->top_z;
    NormalizeVector(d);
    CrossProduct(top, d, R);
    NormalizeVector(R);
    double det = Triple(R, top, d);
    return det != 0 && isfinite(det);
}

}  // namespace

void NormalizeVectorF(float v[3]) {
    float length = (float)sqrt((double)(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
    if (length == 0)
        return;
    for (int i = 0; i < 3; ++i)
        v[i] /= length;
}

double HorizontalFieldOfView(double verticalFov, int width, int height) {
    if (height == 0)
        return 0;
    return 2.0 * atan((double)width / height * tan(verticalFov * kDegree / 2.0)) / kDegree;
}

ViewRect AttractorViewRect(Fractal* fractal) {
    FractalTask* task = fractal ? fractal->task : nullptr;
    if (!task)
        return ViewRect{160, 128, 320, 256};
    if (fractal->header->Type == FT_ATTRACTOR) {
        int pw = task->plane0 ? task->plane0->width : 0, ph = task->plane0 ? task->plane0->height : 0;
        return ViewRect{(pw - 40) / 2, (ph - 40) / 2, pw - 40, ph - 40};
    }
    int w = fractal->header->Width, h = fractal->header->Height;
    return ViewRect{w / 2, h / 2, w, h};
}

int SetupProjection(int imageWidth, int imageHeight, const ViewRect& view, const double observer[3],
                    const double viewpoint[3], const double top[3], double fieldOfView,
                    AttractorProjection* p) {
    memset(p, 0, sizeof(*p));
    for (int i = 0; i < 3; ++i) {
        p->observer[i] = (float)observer[i];
        p->viewpoint[i] = (float)viewpoint[i];
        p->top[i] = (float)top[i];
    }
    p->nearPlane = 0.1f;
    p->farPlane = 1e10f;
    p->verticalFov = (float)fieldOfView;
    p->horizontalFov = (float)HorizontalFieldOfView(fieldOfView, imageWidth, imageHeight);

    const float zeroVector[3] = {0, 0, 0};
    if (VectorsEqualF(p->viewpoint, p->observer) || VectorsEqualF(p->top, zeroVector))
        return 0;
    for (int i = 0; i < 3; ++i)
        p->direction[i] = p->viewpoint[i] - p->observer[i];
    NormalizeVectorF(p->direction);
    CrossProductF(p->top, p->direction, p->right);
    NormalizeVectorF(p->right);
    if (VectorsEqualF(p->right, zeroVector))
        return 0;
    CrossProductF(p->direction, p->right, p->up);
    // A field of view that is not a number fails here too.
    if (!(p->horizontalFov >= 1e-9f) || !(p->verticalFov >= 1e-9f))
        return 0;
    p->tanHalfH = (float)tan(p->horizontalFov * kDegree / 2.0);
    p->tanHalfV = (float)tan(p->verticalFov * kDegree / 2.0);
    p->invTanHalfH = 1.0f / p->tanHalfH;
    p->invTanHalfV = 1.0f / p->tanHalfV;
    p->pixelScaleX = view.width ? 2.0f / view.width * p->tanHalfH : 0;
    p->pixelScaleY = view.height ? 2.0f / view.height * p->tanHalfV : 0;
    if (p->nearPlane < 0 || p->nearPlane >= p->farPlane)
        return 0;
    return 1;
}

int SetupAttractorProjection(Fractal* fractal, const double observer[3], const double viewpoint[3],
                             const double top[3], double fieldOfView, AttractorProjection* projection,
                             ViewRect* viewRect) {
    ViewRect view = AttractorViewRect(fractal);
    if (viewRect)
        *viewRect = view;
    return SetupProjection(fractal->header->Width, fractal->header->Height, view, observer, viewpoint, top,
                           fieldOfView, projection);
}

void AttractorWorldToCamera(const AttractorParameters* b, const double w[3], double out[3]) {
    double R[3], top[3], d[3];
    out[0] = out[1] = out[2] = 0;
    if (!BlockFrame(b, R, top, d))
        return;
    double a[3] = {w[0] - b->Obs_x, w[1] - b->Obs_y, w[2] - b->Obs_z};
    double det = Triple(R, top, d);
    out[0] = Triple(a, top, d) / det;
    out[1] = Triple(R, a, d) / det;
    out[2] = Triple(R, top, a) / det;
}

void AttractorCameraToWorld(const AttractorParameters* b, const double c[3], double out[3]) {
    double R[3], top[3], d[3];
    BlockFrame(b, R, top, d);
    const double observer[3] = {b->Obs_x, b->Obs_y, b->Obs_z};
    for (int i = 0; i < 3; ++i)
        out[i] = observer[i] + c[0] * R[i] + c[1] * top[i] + c[2] * d[i];
}

void AttractorLightWorldPosition(const AttractorParameters* block, int light, double world[3]) {
    const double* stored = block->lights.position[light];
    if (block->lights.relative[light]) {
        AttractorCameraToWorld(block, stored, world);
    } else {
        for (int i = 0; i < 3; ++i)
            world[i] = (float)stored[i];
    }
}

void BuildShadowCamera(const AttractorParameters* block, int light, const double centre[3], double radius,
                       AttractorProjection* camera) {
    memset(camera, 0, sizeof(*camera));
    double P[3];
    AttractorLightWorldPosition(block, light, P);
    float d[3] = {(float)(centre[0] - P[0]), (float)(centre[1] - P[1]), (float)(centre[2] - P[2])};
    NormalizeVectorF(d);
    float h[3] = {0, 1, 0};
    if (d[0] == 0 && d[2] == 0) {
        h[0] = 1;
        h[1] = 0;
    }
    float right[3], up[3];
    CrossProductF(d, h, right);
    NormalizeVectorF(right);
    CrossProductF(d, right, up);
    NormalizeVectorF(up);
    // A sphere of radius 0 (nothing measured) frames nothing: rows of 0
    // rather than infinities, so every point lands at the map's centre.
    float scale = radius > 0 ? (float)(1.0 / (1.2 * radius)) : 0.0f;
    for (int i = 0; i < 3; ++i) {
        camera->observer[i] = (float)centre[i];
        camera->right[i] = right[i] * scale;
        camera->up[i] = up[i] * scale;
        camera->direction[i] = d[i];
    }
}

float ShadowBias(const AttractorProjection& view, const double centre[3]) {
    double dx = view.observer[0] - centre[0], dy = view.observer[1] - centre[1], dz = view.observer[2] - centre[2];
    double D = sqrt(dx * dx + dy * dy + dz * dz);
    double sx = view.pixelScaleX, sy = view.pixelScaleY;
    return (float)(4.0 * D * sqrt(sx * sx + sy * sy));
}
