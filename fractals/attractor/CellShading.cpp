// The shade pass of the attractor composition: one plane cell into a
// colour with opacity by the render mode. Gas, Flame and Plasma read the
// densities and colour sums; Solid rebuilds a surface normal from the
// neighbouring depths and lights it, with shadow maps. Degenerate inputs
// (no points in a cell, densities at or below 1) give finite colours.
#include <math.h>
#include <string.h>

#include "calc/colour/OtherColouring.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "fractals/attractor/Composition.h"

namespace {

const double kHalfPi = 1.5707963267948966;

struct Cell {
    int32_t rgb[3];
    int alpha;
};

float CellFloat(const Array2D* a, int pos) { return ((const float*)a->data)[pos]; }

// base to the power e with base kept in 0..1, so that a fractional power
// of a negative base or 0 to an infinite power gives no NaN.
double BoundedPow(double base, double e) {
    if (!(base > 0))
        return 0;
    if (base >= 1)
        return 1;
    if (!isfinite(e))
        return e > 0 ? 0 : 1;
    return pow(base, e);
}

// ln(dens) / ln(maxDensity), kept in 0..1.
double LogShare(float dens, const AttractorRenderRecord* r) {
    double v = (double)(float)(logf(dens) * r->invLogMaxDensity);
    return v > 0 ? (v < 1 ? v : 1) : 0;
}

int Clamp255(int v) { return v > 255 ? 255 : (v < 0 ? 0 : v); }

void Store(const AttractorRenderRecord* r, int pos, const int32_t rgb[3], int alpha) {
    uint8_t* out = (uint8_t*)r->shaded->data + (size_t)pos * 4;
    out[0] = (uint8_t)rgb[2];
    out[1] = (uint8_t)rgb[1];
    out[2] = (uint8_t)rgb[0];
    out[3] = (uint8_t)alpha;
}

void StoreBackground(const AttractorRenderRecord* r, int pos) {
    const uint8_t* bg = static_cast<AttractorParameters*>(r->fractal->typeParameters)->BackgroundColor;
    int32_t rgb[3] = {bg[0], bg[1], bg[2]};
    Store(r, pos, rgb, 0);
}

void BaseColour(const AttractorRenderRecord* r, int pos, int32_t rgb[3]) {
    if (r->ownColours) {
        uint32_t v = ((const uint32_t*)r->colour->data)[pos];
        rgb[0] = (v >> 16) & 0xFF;
        rgb[1] = (v >> 8) & 0xFF;
        rgb[2] = v & 0xFF;
    } else {
        int c[3];
        MapAttractorColor(r->fractal, CellFloat(r->colour, pos), 0, c);
        rgb[0] = c[0], rgb[1] = c[1], rgb[2] = c[2];
    }
}

int OpacityByte(double a) { return a > 1 ? 255 : (a > 0 ? (int)(255 * a) : 0); }

void ShadeGas(const AttractorRenderRecord* r, const AttractorParameters* b, int pos, float dens) {
    double v = LogShare(dens, r);
    int c[3];
    MapAttractorColor(r->fractal, (float)v, 0, c);
    int32_t rgb[3] = {c[0], c[1], c[2]};
    ScaleColour(rgb, r->fractal->task->gammaTable, b->Contrast);
    Store(r, pos, rgb, (int)(255 * v));
}

void ShadePlasma(const AttractorRenderRecord* r, const AttractorParameters* b, int pos, float dens) {
    double N = CellFloat(r->sums[3], pos);
    double c[3] = {0, 0, 0};
    if (r->ownColours) {
        if (N > 0) {
            double k = log(N + 1) / N;
            for (int i = 0; i < 3; ++i)
                c[i] = CellFloat(r->sums[i], pos) * k;
            double m = (c[0] > c[1]) ? (c[0] > c[2] ? c[0] : c[2]) : (c[1] > c[2] ? c[1] : c[2]);
            if (m > 0)
                for (int i = 0; i < 3; ++i)
                    c[i] = c[i] * 255 / m;
        }
    } else {
        // A cell reached only by neighbouring splats has no points of its
        // own (N = 0): it takes the colour of index 0.
        float index = N > 0 ? (float)(log(N + 1) * CellFloat(r->sums[0], pos) / N) : 0.0f;
        int m[3];
        MapAttractorColor(r->fractal, index, 0, m);
        c[0] = m[0], c[1] = m[1], c[2] = m[2];
    }
    double p = BoundedPow(LogShare(dens, r), r->opacityExponent);
    double a = atan(5 * p) / kHalfPi;
    const uint8_t* bg = b->BackgroundColor;
    int32_t rgb[3];
    for (int i = 0; i < 3; ++i) {
        double v;
        if (p > 0.5)
            v = c[i] + (255 - c[i]) * ((p - 0.5) * 2);
        else if (r->ownColours)
            v = bg[i] + (c[i] - bg[i]) * (2 * p);
        else
            v = c[i] * (2 * p);
        rgb[i] = Clamp255((int)v);
    }
    ScaleColour(rgb, r->fractal->task->gammaTable, b->Contrast);
    Store(r, pos, rgb, (int)(255 * a + 0.5));
}

void ShadeFlame(const AttractorRenderRecord* r, const AttractorParameters* b, int pos) {
    double x[4];
    for (int i = 0; i < 4; ++i)
        x[i] = CellFloat(r->sums[i], pos) * b->WhiteLevel;
    double N = x[3];
    double f = 0, a = 0;
    if (N > 0) {
        double k = log(N * r->whiteScale + 1) * r->brightness / N;
        for (int i = 0; i < 4; ++i)
            x[i] *= k;
        N = x[3];
        if (N > 0 && isfinite(N)) {
            f = pow(N * r->toneScale, r->invGamma - 1) * r->toneScale;
            a = (float)pow(N * r->toneScale, r->invGamma);
            a = a < 0 ? 0 : (a > 1 ? 1 : a);
            if (!isfinite(f))
                f = 0;
        }
    }
    const uint8_t* bg = b->BackgroundColor;
    int32_t rgb[3];
    for (int i = 0; i < 3; ++i) {
        double v = bg[i] * (1 - a) + 255 * x[i] * f + 0.5;
        rgb[i] = isfinite(v) && v < 255 ? (v > 0 ? (int)v : 0) : 255;
    }
    Store(r, pos, rgb, (int)(255 * a + 0.5));
}

// The camera point of plane cell (x, y) at depth d, single precision.
void CameraPoint(const AttractorRenderRecord* r, int x, int y, float d, float p[3]) {
    p[0] = (float)((float)(x - ATTRACTOR_MARGIN - r->viewRect.centreX) + 0.5f) * r->projection.pixelScaleX * d;
    p[1] = (float)((float)(y - ATTRACTOR_MARGIN - r->viewRect.centreY) + 0.5f) * r->projection.pixelScaleY * d;
    p[2] = d;
}

void FlatColour(const AttractorRenderRecord* r, const AttractorParameters* b, int pos, float dens) {
    int32_t rgb[3];
    BaseColour(r, pos, rgb);
    for (int i = 0; i < 3; ++i)
        rgb[i] = (int)(255 - (255 - rgb[i]) * 0.8f);
    ScaleColour(rgb, r->fractal->task->gammaTable, b->Contrast);
    double share = r->maxDensity > 0 ? dens / r->maxDensity : 0;
    double a = (1 - r->opacityFloor) * BoundedPow(share, r->opacityExponent) + r->opacityFloor;
    Store(r, pos, rgb, OpacityByte(a));
}

// Jitters the normal by a hash of the point, so that equal inputs give
// equal surfaces in every run and with any number of workers.
void JitterNormal(const float p0[3], float roughness, float n[3]) {
    float fa = p0[1] + p0[0], fb = p0[2] + p0[1];
    uint32_t sA, sB;
    memcpy(&sA, &fa, 4);
    memcpy(&sB, &fb, 4);
    double u[3];
    for (int i = 0; i < 3; ++i) {
        sA = sA * 0x08077405u + 1;
        sB = sB * 0x08088405u + 1;
        uint64_t bits = ((uint64_t)((sB >> 12) | 0x3FF00000u) << 32) | sA;
        memcpy(&u[i], &bits, 8);
    }
    n[0] = (float)(n[0] + (u[0] - 1 - 0.5) * roughness);
    n[1] = (float)(n[1] + (u[1] - 1.5) * roughness);
    n[2] = (float)(n[2] + (u[2] - 1.5) * roughness);
}

// The shadowed share of light i at camera point p0: 4 x 4 samples of the
// light's map around the point's light-space position.
float ShadowShare(const AttractorRenderRecord* r, int i, const float p0[3]) {
    const Array2D* map = r->shadowMaps[i];
    if (!map || !map->data)
        return 0;
    const AttractorProjection& v = r->projection;
    float w[3], q[3];
    for (int k = 0; k < 3; ++k)
        w[k] = v.observer[k] + p0[0] * v.right[k] + p0[1] * v.up[k] + p0[2] * v.direction[k];
    TransformPointF(w, q, (const float*)&r->lightCameras[i]);
    if (!(q[0] >= -1 && q[0] < 1 && q[1] >= -1 && q[1] < 1))
        return 0;
    int mw = map->width, mh = map->height;
    float u = (q[0] + 1) * mw * 0.5f, vv = (q[1] + 1) * mh * 0.5f;
    const float* cells = (const float*)map->data;
    int counted = 0, shadowed = 0;
    for (float dy = -1.5f; dy <= 1.5f; dy += 1.0f)
        for (float dx = -1.5f; dx <= 1.5f; dx += 1.0f) {
            int row = (int)(dy + vv + 0.5f), column = (int)(dx + u + 0.5f);
            if (row < 0 || row >= mh || column < 0 || column >= mw)
                continue;
            ++counted;
            if (cells[row * mw + column] + r->shadowBias < q[2])
                ++shadowed;
        }
    return counted ? (float)shadowed / counted : 0.0f;
}

void ShadeSolid(const AttractorRenderRecord* r, const AttractorParameters* b, int x, int y, int pos,
                float dens) {
    int W = r->depth->width, H = r->depth->height;
    if (x <= 1 || y <= 1 || x >= W - 1 || y >= H - 1) {
        FlatColour(r, b, pos, dens);
        return;
    }
    if (dens <= b->weightThreshold) {
        StoreBackground(r, pos);
        return;
    }
    float p0[3], p1[3] = {0, 0, 0}, u[3] = {0, 0, 0}, n[3] = {0, 0, 0};
    CameraPoint(r, x, y, CellFloat(r->depth, pos), p0);
    bool haveFirst = false, haveNormal = false;
    for (int k = 1; k <= 8 && !haveNormal; ++k) {
        int nx = x + g_NeighbourColumns[k], ny = y + g_NeighbourRows[k];
        float d = CellFloat(r->depth, ny * W + nx);
        if (d == 0)
            continue;
        float p[3];
        CameraPoint(r, nx, ny, d, p);
        if (!haveFirst) {
            memcpy(p1, p, sizeof p1);
            for (int i = 0; i < 3; ++i)
                u[i] = p1[i] - p0[i];
            haveFirst = true;
            continue;
        }
        float e[3] = {p[0] - p1[0], p[1] - p1[1], p[2] - p1[2]};
        CrossProductF(u, e, n);
        haveNormal = n[0] != 0 || n[1] != 0 || n[2] != 0;
    }
    if (!haveNormal) {
        FlatColour(r, b, pos, dens);
        return;
    }
    NormalizeVectorF(n);
    if (b->Roughness != 0)
        JitterNormal(p0, (float)b->Roughness, n);
    if (n[0] * p0[0] + n[1] * p0[1] + n[2] * p0[2] > 0)
        for (int i = 0; i < 3; ++i)
            n[i] = -n[i];

    float acc[3] = {0, 0, 0};
    for (int i = 0; i < 8; ++i) {
        const LightEntry& light = r->lights[i];
        if (!light.enabled)
            continue;
        float s = light.shadow ? ShadowShare(r, i, p0) : 0.0f;
        float point[3] = {p0[0], p0[1], p0[2]};
        ComputeLighting(light, n, point, nullptr, acc, s);
    }
    int32_t rgb[3];
    BaseColour(r, pos, rgb);
    double p = BoundedPow(dens * r->invMaxDensity, r->opacityExponent);
    double a = (1 - r->opacityFloor) * p + r->opacityFloor;
    for (int i = 0; i < 3; ++i) {
        int c1 = (int)(rgb[i] * p);
        float c2 = 2.0f * c1 * acc[i];
        rgb[i] = c2 > 255 ? 255 : (c2 > 0 ? (int)c2 : 0);
    }
    ScaleColour(rgb, r->fractal->task->gammaTable, b->Contrast);
    Store(r, pos, rgb, OpacityByte(a));
}

}  // namespace

void ShadeAttractorPixel(int x, int y, const AttractorRenderRecord* r) {
    const AttractorParameters* b = static_cast<const AttractorParameters*>(r->fractal->typeParameters);
    int pos = y * r->depth->width + x;
    float dens = CellFloat(r->density, pos);
    if (r->renderMode == ARM_SOLID) {
        ShadeSolid(r, b, x, y, pos, dens);
        return;
    }
    // Also a density that is not a number: such a cell shows nothing.
    if (!(dens > b->weightThreshold)) {
        StoreBackground(r, pos);
        return;
    }
    switch (r->renderMode) {
    case ARM_FLAME: ShadeFlame(r, b, pos); break;
    case ARM_PLASMA: ShadePlasma(r, b, pos, dens); break;
    default: ShadeGas(r, b, pos, dens); break;
    }
}
