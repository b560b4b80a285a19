// Ambient occlusion and shadow maps of a quaternion image. Occlusion
// samples a kernel of random vectors around each surface point in camera
// space and asks the per-pixel camera distances whether the surface seen
// there lies in front; shadows draw each visible surface point, with a
// streak behind it, into parallel-projection depth maps of the lights.
#include "fractals/quaternion/QuaternionOcclusion.h"
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <new>
#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Vector.h"
#include "fractals/quaternion/QuaternionCamera.h"
#include "fractals/quaternion/QuaternionRun.h"
#include "fractals/quaternion/QuaternionShading.h"

namespace {

const double kDegree = 0.017453292519444445;   // 3.1415926535 / 180
const float kNothingSeen = 1e20f;

double Dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Row progress of both passes: posted when it moved on by more than 1%.
struct PassProgress {
    Fractal* fractal;
    double lastPosted;
    void BeforeRow(int y, int height)
    {
        FractalTask* task = fractal->task;
        task->progress = height > 1 ? (double)y / (height - 1) : 0.0;
        if (task->progress > lastPosted + 0.01) {
            lastPosted = task->progress;
            PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
        }
    }
};

const QuaternionParameters* BlockOf(Fractal* fractal)
{
    return static_cast<const QuaternionParameters*>(fractal->typeParameters);
}

// Occlusion of one surface pixel: the share of samples whose projected
// surface closes the cone above the normal, scaled by the strength.
float OcclusionAt(const float* distances, int planeWidth, int height, int width, const float* kernel, int samples,
                  const double P[3], const double n[3], double radius, double cone, double pX, double pY,
                  double strength)
{
    const double distP = sqrt(Dot(P, P));
    double occlusion = 0;
    int count = 0;
    for (int k = samples - 1; k >= 0; --k) {
        double S[3] = {P[0] + kernel[3 * k], P[1] + kernel[3 * k + 1], P[2] + kernel[3 * k + 2]};
        double cx = S[0] / S[2] * pX * 0.5 * width + width / 2 + 0.5;
        double cy = S[1] / S[2] * pY * 0.5 * height + height / 2 + 0.5;
        if (!(cx > -1e9 && cx < 1e9 && cy > -1e9 && cy < 1e9))
            continue;
        // The half added above makes this the nearest pixel; rounding it
        // once more would shift every sample half a pixel to the right and
        // up, and a flat surface would occlude itself.
        long column = (long)floor(cx), row = (long)floor(cy);
        if (column < 0 || column >= planeWidth || row < 0 || row >= height)
            continue;
        const double sd = distances[row * planeWidth + column];
        if (sd < 0)
            continue;
        ++count;
        const double s2 = Dot(S, S);
        if (sd - distP >= radius || s2 < sd * sd)
            continue;
        const double scale = sd / sqrt(s2);
        double v[3];
        for (int i = 0; i < 3; ++i)
            v[i] = S[i] * scale - P[i];
        const double c = Dot(v, n) / sqrt(Dot(v, v));
        if (c > cone)
            occlusion += (c - cone) / (1 - cone);
    }
    if (count == 0)
        return 1.0f;
    double value = occlusion / count * 2 * strength;
    return (float)(value < 0 ? 0 : (value > 1 ? 1 : value));
}

// Lowers the cells under one walk position (a square of shadowMapMultiplier
// cells around it) to z.
void DrawShadowCell(Array2D& map, float u, float v, float z, double half)
{
    int x0 = (int)(u - half + 0.5), x1 = (int)(u + half + 0.5);
    int y0 = (int)(v - half + 0.5), y1 = (int)(v + half + 0.5);
    if (x0 < 0)
        x0 = 0;
    if (y0 < 0)
        y0 = 0;
    if (x1 > map.width)
        x1 = map.width;
    if (y1 > map.height)
        y1 = map.height;
    float* cells = static_cast<float*>(map.data);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (z < cells[y * map.width + x])
                cells[y * map.width + x] = z;
}

// The streak from a to b (light space) into the map of one light.
void DrawShadowStreak(Array2D& map, const float a[3], const float b[3], double half)
{
    float ua = (a[0] + 1) * map.width * 0.5f, va = (a[1] + 1) * map.height * 0.5f;
    float ub = (b[0] + 1) * map.width * 0.5f, vb = (b[1] + 1) * map.height * 0.5f;
    float du = ub - ua, dv = vb - va, dz = b[2] - a[2];
    float major = fabsf(du) > fabsf(dv) ? fabsf(du) : fabsf(dv);
    if (!(major < 1e7f))
        return;   // a streak of no finite length
    int steps = (int)(major + 0.5f);
    if (major > 0) {
        du /= major;
        dv /= major;
        dz /= major;
    }
    float u = ua, v = va, z = a[2];
    for (int i = 0; i <= steps; ++i) {
        DrawShadowCell(map, u, v, z, half);
        u += du;
        v += dv;
        z += dz;
    }
}

}  // namespace

void RenderAmbientOcclusion(Fractal* fractal, float* distances)
{
    const QuaternionParameters* q = BlockOf(fractal);
    FractalTask* task = fractal->task;
    QuaternionSurfaceCache* cache = QuaternionCacheOf(q);
    if (!q->AOEnabled || !task || !cache || !task->plane0->IsAllocated())
        return;
    Array2D& depthPlane = *task->plane0;
    Array2D& aoPlane = *task->plane2;
    const bool sameSize = aoPlane.IsAllocated() && aoPlane.width == depthPlane.width &&
                          aoPlane.height == depthPlane.height && aoPlane.cellSize == 4;
    if (cache->aoCacheRadius == q->AORadius && cache->aoCacheStrength == q->AOStrength &&
        cache->aoCacheSamples == q->AOSamples && cache->aoCacheConeRadius == q->AOConeRadius && sameSize)
        return;
    if (sameSize)
        aoPlane.Fill(0);
    else if (!aoPlane.Allocate(depthPlane.width, depthPlane.height, 4))
        return;

    const int width = fractal->header->Width;
    const int height = fractal->header->Height < depthPlane.height ? fractal->header->Height : depthPlane.height;
    const int samples = q->AOSamples < 0 ? 0 : (q->AOSamples > AO_MAX_SAMPLES ? AO_MAX_SAMPLES : q->AOSamples);
    const double cone = cos(q->AOConeRadius / 2 * kDegree);
    float* kernel = new (std::nothrow) float[3 * (samples + 1)];
    if (!kernel)
        return;
    BuildAoKernel(10, samples, 100, kernel);
    double c0[3], cx[3], cy[3], pX, pY;
    ComputePixelSteps(q, width, height, c0, cx, cy);
    ComputeProjectionScale(width / 2, height / 2, width, height, c0, &pX, &pY);
    const double radius = DepthToPositions(fractal, distances, c0, cx, cy);
    if (task->command) {
        delete[] kernel;
        return;
    }
    for (int k = 0; k < samples; ++k) {
        float length = (float)rand() / 32767 * (float)radius;
        for (int i = 0; i < 3; ++i)
            kernel[3 * k + i] *= length;
    }

    const int pw = depthPlane.width;
    const float* depth = static_cast<const float*>(depthPlane.data);
    float* out = static_cast<float*>(aoPlane.data);
    PassProgress progress = {fractal, -1};
    for (int y = 0; y + 1 < height; ++y) {
        progress.BeforeRow(y, height);
        if (task->command) {
            delete[] kernel;
            return;
        }
        // The image's last column and the spare column stay open: their
        // right-hand neighbour would lie past the image.
        for (int x = 0; x + 1 < width; ++x) {
            out[y * pw + x] = 0;
            const float d = depth[y * pw + x], dRight = depth[y * pw + x + 1], dUp = depth[(y + 1) * pw + x];
            if (!(d > 0 && dRight > 0 && dUp > 0))
                continue;
            double P[3], a[3], b[3], n[3];
            for (int i = 0; i < 3; ++i) {
                double ray = c0[i] + x * cx[i] + y * cy[i];
                double qRight = dRight * (ray + cx[i]), qUp = dUp * (ray + cy[i]);
                P[i] = d * ray;
                a[i] = qRight - P[i];
                b[i] = qRight - qUp;
            }
            CrossProduct(a, b, n);
            NormalizeVector(n);
            out[y * pw + x] = OcclusionAt(distances, pw, height, width, kernel, samples, P, n, radius, cone, pX, pY,
                                          q->AOStrength);
        }
    }
    delete[] kernel;
    task->progress = 1.0;
    PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
    cache->aoCacheConeRadius = q->AOConeRadius;
    cache->aoCacheRadius = q->AORadius;
    cache->aoCacheStrength = q->AOStrength;
    cache->aoCacheIntensity = q->AOIntensity;
    cache->aoCacheSamples = q->AOSamples;
}

void SetupShadowProjection(QuaternionRenderState* state, const QuaternionParameters* q)
{
    Fractal* fractal = state->fractal;
    FractalTask* task = fractal ? fractal->task : nullptr;
    const int W = fractal ? fractal->header->Width : 0, H = fractal ? fractal->header->Height : 0;
    double nearDepth = 1e20, farDepth = -1e20;
    if (task && task->plane0->IsAllocated()) {
        const Array2D& plane = *task->plane0;
        const float* depth = static_cast<const float*>(plane.data);
        for (int y = 0; y < H && y < plane.height; ++y)
            for (int x = 0; x < W && x < plane.width; ++x) {
                float d = depth[y * plane.width + x];
                if (d > 0) {
                    nearDepth = d < nearDepth ? d : nearDepth;
                    farDepth = d > farDepth ? d : farDepth;
                }
            }
    }
    if (nearDepth > farDepth)
        nearDepth = farDepth = 1;   // no surface: any frame will do, nothing is shaded with it

    double corner[3], stepX[3], stepY[3];
    ComputeViewPlane(q, W, H, corner, stepX, stepY);
    const double observer[3] = {q->Obs_x, q->Obs_y, q->Obs_z};
    auto at = [&](int x, int y, double t, double out[3]) {
        for (int i = 0; i < 3; ++i)
            out[i] = observer[i] + t * (corner[i] + x * stepX[i] + y * stepY[i] - observer[i]);
    };
    double n1[3], n2[3], f1[3], f2[3], f00[3], n11[3], centre[3], d1[3], d2[3];
    at(W - 1, 0, nearDepth, n1);
    at(0, H - 1, nearDepth, n2);
    at(W - 1, 0, farDepth, f1);
    at(0, H - 1, farDepth, f2);
    at(0, 0, farDepth, f00);
    at(W - 1, H - 1, nearDepth, n11);
    for (int i = 0; i < 3; ++i) {
        centre[i] = ((n1[i] + n2[i]) / 2 + (f1[i] + f2[i]) / 2) / 2;
        d1[i] = f1[i] - f2[i];
        d2[i] = f00[i] - n11[i];
    }
    const double l1 = sqrt(Dot(d1, d1)), l2 = sqrt(Dot(d2, d2));
    const double R = 0.5 * (l1 > l2 ? l1 : l2);

    for (int i = 0; i < 8; ++i) {
        double L[3];
        if (q->lights.relative[i]) {
            QuaternionCameraToWorld(q, q->lights.position[i], L);
        } else {
            for (int k = 0; k < 3; ++k)
                L[k] = (float)q->lights.position[i][k];
        }
        double f[3] = {centre[0] - L[0], centre[1] - L[1], centre[2] - L[2]};
        double up[3] = {q->top_x, q->top_y, q->top_z};
        if (f[0] == 0 && f[2] == 0) {
            up[0] = 1;
            up[1] = up[2] = 0;
        }
        double right[3], u[3];
        NormalizeVector(f);
        CrossProduct(f, up, right);
        NormalizeVector(right);
        CrossProduct(f, right, u);
        NormalizeVector(u);
        AttractorProjection& p = state->shadowProjections[i];
        for (int k = 0; k < 3; ++k) {
            p.observer[k] = (float)centre[k];
            p.right[k] = (float)(-right[k] / R);
            p.up[k] = (float)(u[k] / R);
            p.direction[k] = (float)(f[k] / R);
        }
    }
    state->shadowBias = (float)(2 * q->fudge / W);

    QuaternionSurfaceCache* cache = QuaternionCacheOf(q);
    for (int i = 0; i < 8; ++i)
        state->shadowMaps[i] = cache ? cache->shadowMaps[i] : nullptr;
    // A plane left from another image size would be read past its end.
    const bool planeReady = task && task->plane2->IsAllocated() && task->plane2->cellSize == 4 &&
                            task->plane2->width == task->plane0->width && task->plane2->height >= H;
    state->aoData = planeReady ? static_cast<const float*>(task->plane2->data) : nullptr;
    state->aoWidth = planeReady ? task->plane2->width : 0;
    state->aoValid = planeReady && cache && cache->aoCacheRadius != -1.0;
}

void RenderShadows(Fractal* fractal)
{
    const QuaternionParameters* q = BlockOf(fractal);
    FractalTask* task = fractal->task;
    QuaternionSurfaceCache* cache = QuaternionCacheOf(q);
    if (!cache || !cache->shadowsPending || !task || !task->plane0->IsAllocated())
        return;
    const int W = fractal->header->Width, H = fractal->header->Height;
    const int mapWidth = (int)(W * q->shadowMapMultiplier), mapHeight = (int)(H * q->shadowMapMultiplier);
    bool anyDrawn = false;
    for (int i = 0; i < 8; ++i) {
        Array2D*& map = cache->shadowMaps[i];
        if (q->lights.shadow[i]) {
            if (!map)
                map = new (std::nothrow) Array2D;
            bool ready = map && map->IsAllocated() && map->width == mapWidth && map->height == mapHeight &&
                         map->cellSize == 4;
            if (map && !ready)
                ready = map->Allocate(mapWidth, mapHeight, 4) != nullptr;
            if (ready) {
                float nothing = kNothingSeen;
                uint32_t bits;
                memcpy(&bits, &nothing, sizeof bits);
                map->Fill(bits);
                anyDrawn = anyDrawn || q->lights.enabled[i];
                continue;
            }
            // No memory (or an empty size): this light casts no shadow.
        }
        if (map) {
            map->Free();
            delete map;
            map = nullptr;
        }
    }

    QuaternionRenderState state;
    state.fractal = fractal;
    PrepareCameraBasis(&state.camera, q);
    SetupShadowProjection(&state, q);
    PrepareLights(state.lights, fractal, q);
    if (!anyDrawn)
        return;

    double corner[3], stepX[3], stepY[3];
    ComputeViewPlane(q, W, H, corner, stepX, stepY);
    const double observer[3] = {q->Obs_x, q->Obs_y, q->Obs_z};
    const double streak = 1 + q->shadowDepth / 10;
    const double half = q->shadowMapMultiplier / 2;
    const Array2D& plane = *task->plane0;
    const float* depth = static_cast<const float*>(plane.data);
    PassProgress progress = {fractal, -1};
    for (int y = 0; y < H && y < plane.height; ++y) {
        progress.BeforeRow(y, H);
        if (task->command)
            return;
        for (int x = 0; x < W && x < plane.width; ++x) {
            const float d = depth[y * plane.width + x];
            if (!(d > 0))
                continue;
            float A[3], B[3];
            for (int k = 0; k < 3; ++k) {
                double ray = corner[k] + x * stepX[k] + y * stepY[k] - observer[k];
                A[k] = (float)(observer[k] + d * ray);
                B[k] = (float)(observer[k] + streak * d * ray);
            }
            for (int i = 0; i < 8; ++i) {
                Array2D* map = cache->shadowMaps[i];
                if (!q->lights.enabled[i] || !q->lights.shadow[i] || !map)
                    continue;
                const float* projection = reinterpret_cast<const float*>(&state.shadowProjections[i]);
                float pa[3] = {A[0], A[1], A[2]}, pb[3] = {B[0], B[1], B[2]}, a[3], b[3];
                TransformPointF(pa, a, projection);
                TransformPointF(pb, b, projection);
                if (!(a[0] >= -1 && a[0] < 1 && a[1] >= -1 && a[1] < 1))
                    continue;
                DrawShadowStreak(*map, a, b, half);
            }
        }
    }
    cache->shadowsPending = 0;
    PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
}
