// Shading of quaternion pixels. The per-pixel work runs in single precision
// (float normal, float camera point, float accumulated light) on a light
// table prepared once per run; the normal's jitter is derived from the
// pixel's own normal and camera point, so one depth plane always gives one
// image.
#include "fractals/quaternion/QuaternionShading.h"
#include <math.h>
#include <string.h>
#include "calc/FractalTask.h"
#include "calc/colour/ColorModels.h"
#include "compiler/CompileHost.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/Vector.h"

namespace {

double Dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

uint32_t FloatBits(float f)
{
    uint32_t bits;
    memcpy(&bits, &f, sizeof bits);
    return bits;
}

// A double in [1, 2) from a low and a high word.
double FromWords(uint32_t low, uint32_t high)
{
    uint64_t bits = ((uint64_t)high << 32) | low;
    double d;
    memcpy(&d, &bits, sizeof d);
    return d;
}

// Adds to each normal component a value in [-roughness/2, roughness/2) from
// two linear congruential generators seeded by the pixel's geometry.
void JitterNormal(float nf[3], const double n[3], const double Q[3], double roughness)
{
    uint32_t a = FloatBits((float)(n[1] + Q[0]));
    uint32_t b = FloatBits((float)(n[0] + Q[1]));
    float rough = (float)roughness;
    for (int i = 0; i < 3; ++i) {
        a = a * 0x08077405u + 1u;
        b = b * 0x08088405u + 1u;
        double u = FromWords(a, (b >> 12) | 0x3FF00000u);
        nf[i] += (float)(rough * (u - 1.5));
    }
}

// The shadowed share of the footprint around the point's cell of the map.
float ShadowFraction(const AttractorProjection& projection, const Array2D* map, const double P[3], float half,
                     float bias)
{
    if (!map || !map->IsAllocated() || map->width <= 0 || map->height <= 0)
        return 0;
    float p[3] = {(float)P[0], (float)P[1], (float)P[2]}, lightSpace[3];
    TransformPointF(p, lightSpace, reinterpret_cast<const float*>(&projection));
    if (!(lightSpace[0] >= -1 && lightSpace[0] < 1 && lightSpace[1] >= -1 && lightSpace[1] < 1))
        return 0;
    float u = (lightSpace[0] + 1) * map->width * 0.5f;
    float v = (lightSpace[1] + 1) * map->height * 0.5f;
    const float* cells = static_cast<const float*>(map->data);
    int counted = 0, shadowed = 0;
    for (float dy = -half; dy <= half; dy += 1) {
        for (float dx = -half; dx <= half; dx += 1) {
            int column = (int)(dx + u + 0.5f), row = (int)(dy + v + 0.5f);
            if (column < 0 || column >= map->width || row < 0 || row >= map->height)
                continue;
            ++counted;
            if (bias + cells[row * map->width + column] < lightSpace[2])
                ++shadowed;
        }
    }
    // A footprint wholly outside the map (its right or top border) is lit.
    return counted ? (float)shadowed / (float)counted : 0.0f;
}

void CombineColour(const QuaternionParameters* q, const float accumulated[3], int32_t colour[3])
{
    if (q->LightModel != 0) {
        double rgb[3] = {colour[0] / 255.0, colour[1] / 255.0, colour[2] / 255.0}, hsl[3];
        RgbToHslUnit(rgb, hsl);
        hsl[2] *= accumulated[1];
        if (hsl[2] > 1)
            hsl[2] = 1;
        hsl[1] -= hsl[1] * accumulated[0];
        hsl[1] = hsl[1] < 0 ? 0 : (hsl[1] > 1 ? 1 : hsl[1]);
        HslToRgbUnit(rgb, hsl);
        for (int i = 0; i < 3; ++i)
            colour[i] = (int32_t)(rgb[i] * 255 + 0.5);
    } else {
        for (int i = 0; i < 3; ++i)
            colour[i] = (int32_t)lrintf((float)colour[i] * accumulated[i]);
    }
    for (int i = 0; i < 3; ++i)
        if ((uint32_t)colour[i] > 255)
            colour[i] = 255;
}

}  // namespace

void PreparePixelFrame(QuaternionPixelFrame* frame, const QuaternionParameters* block, int width, int height)
{
    ComputeViewPlane(block, width, height, frame->corner, frame->stepX, frame->stepY);
    ComputePixelSteps(block, width, height, frame->cornerCam, frame->stepXCam, frame->stepYCam);
    frame->observer[0] = block->Obs_x;
    frame->observer[1] = block->Obs_y;
    frame->observer[2] = block->Obs_z;
}

bool PixelSurface(const QuaternionPixelFrame& f, const float* depth, int planeWidth, int planeHeight, int x, int rA,
                  bool floatReciprocal, double P[3], double Q[3], double n[3])
{
    if (x < 0 || x + 1 >= planeWidth || rA < 0 || rA + 1 >= planeHeight)
        return false;
    const float here = depth[rA * planeWidth + x];
    const float right = depth[rA * planeWidth + x + 1];
    const float above = depth[(rA + 1) * planeWidth + x];
    if (!(here >= 0 && right >= 0 && above >= 0))
        return false;
    double qRight[3], qAbove[3], a[3], b[3];
    for (int i = 0; i < 3; ++i) {
        double ray = f.cornerCam[i] + x * f.stepXCam[i] + rA * f.stepYCam[i];
        Q[i] = here * ray;
        qRight[i] = right * (ray + f.stepXCam[i]);
        qAbove[i] = above * (ray + f.stepYCam[i]);
        P[i] = f.observer[i] + here * (f.corner[i] + x * f.stepX[i] + rA * f.stepY[i] - f.observer[i]);
        a[i] = qRight[i] - Q[i];
        b[i] = qRight[i] - qAbove[i];
    }
    CrossProduct(a, b, n);
    double length = sqrt(Dot(n, n));
    double inverse = length > 0 ? 1.0 / length : 0.0;
    if (floatReciprocal)
        inverse = (float)inverse;
    for (int i = 0; i < 3; ++i)
        n[i] *= inverse;
    return true;
}

void PrepareLights(LightEntry lights[8], Fractal* fractal, const QuaternionParameters* q)
{
    const LightBlock& l = q->lights;
    double ambientSum = 0, ambientMax = 0;
    for (int i = 0; i < 8; ++i) {
        if (!l.enabled[i])
            continue;
        ambientSum += l.ambient[i];
        if (l.ambient[i] > ambientMax)
            ambientMax = l.ambient[i];
    }
    double view[3] = {q->Viewpoint_x - q->Obs_x, q->Viewpoint_y - q->Obs_y, q->Viewpoint_z - q->Obs_z};
    double viewLength = sqrt(Dot(view, view));
    const bool hsl = q->LightModel == 1;
    for (int i = 0; i < 8; ++i) {
        LightEntry& e = lights[i];
        double position[3];
        if (l.relative[i])
            memcpy(position, l.position[i], sizeof position);
        else
            QuaternionWorldToCamera(q, l.position[i], position);
        for (int k = 0; k < 3; ++k)
            e.position[k] = (float)position[k];
        e.diffuse = (float)l.diffuse[i];
        // All ambient values 0 (or cancelling): no ambient light at all.
        e.ambient = ambientSum != 0 ? (float)(ambientMax * l.ambient[i] / ambientSum) : 0.0f;
        e.reflection = (float)(exp(l.reflection[i]) - 1);
        e.shininess = (float)l.shiny[i];
        e.specular = hsl ? 1.0f : (float)l.specularStrength[i];
        e.intensity = hsl ? 1.0 : l.intensity[i];
        for (int k = 0; k < 3; ++k) {
            e.specularColour[k] = l.specular[i][k] / 255.0;
            e.colour[k] = l.colour[i][k] / 255.0;
        }
        if (hsl) {
            e.colour[0] = q->saturation[i];
            e.colour[1] = q->luminance[i];
            e.colour[2] = 0;
            e.specularColour[0] = q->saturation2[i];
            e.specularColour[1] = q->luminance2[i];
            e.specularColour[2] = 0;
        }
        e.enabled = l.enabled[i];
        e.shadow = l.shadow[i];
        float length = sqrtf(e.position[0] * e.position[0] + e.position[1] * e.position[1] +
                             e.position[2] * e.position[2]);
        for (int k = 0; k < 3; ++k) {
            e.unitPosition[k] = e.position[k] / length;
            e.viewDirection[k] = -view[k] / viewLength;
        }
        e.diffuseAmbientReflection[0] = e.diffuse;
        e.diffuseAmbientReflection[1] = e.ambient;
        e.diffuseAmbientReflection[2] = e.reflection;
    }
    FractalTask* task = fractal ? fractal->task : nullptr;
    if (task)
        for (int k = 0; k < 256; ++k)
            task->gammaTable[k] = (float)pow(k / 255.0, q->gamma);
}

void ShadeSurfacePoint(const QuaternionRenderState* state, const QuaternionParameters* q, const double P[3],
                       const double Q[3], const double n[3], int32_t colour[3], uint8_t shadows,
                       uint8_t ambientOcclusion, int column, int row, double depth)
{
    float nf[3] = {(float)n[0], (float)n[1], (float)n[2]};
    const float qf[3] = {(float)Q[0], (float)Q[1], (float)Q[2]};
    if (qf[0] * nf[0] + qf[1] * nf[1] + qf[2] * nf[2] > 0)
        for (int i = 0; i < 3; ++i)
            nf[i] = -nf[i];
    if (q->roughness != 0)
        JitterNormal(nf, n, Q, q->roughness);

    const float half = q->softShadow < 1 ? 0.0f : (float)(q->softShadow - 1) / 2;
    const float bias = (float)(state->shadowBias / (depth + 1e-9));
    float accumulated[3] = {0, 0, 0};
    for (int i = 0; i < 8; ++i) {
        const LightEntry& light = state->lights[i];
        if (!light.enabled)
            continue;
        float fraction = 0;
        if (light.shadow && shadows)
            fraction = ShadowFraction(state->shadowProjections[i], state->shadowMaps[i], P, half, bias);
        float point[3] = {qf[0], qf[1], qf[2]};
        ComputeLighting(light, nf, point, nullptr, accumulated, fraction);
    }

    const bool aoPlane = state->aoData != nullptr;
    float ao = aoPlane ? state->aoData[row * state->aoWidth + column] : 0.0f;
    if (ambientOcclusion && aoPlane && state->aoValid) {
        float f = (float)((1 - q->AOIntensity) + q->AOIntensity * (1 - ao));
        for (int i = 0; i < 3; ++i)
            accumulated[i] *= f;
    }
    CombineColour(q, accumulated, colour);
    FractalTask* task = state->fractal ? state->fractal->task : nullptr;
    if (task)
        ScaleColour(colour, task->gammaTable, q->contrast);

    if (q->AOOnly) {
        float g;
        if (aoPlane)
            g = (1 - ao) / 2 + 0.5f;
        else if (ambientOcclusion)
            return;
        else
            g = 1 - (float)depth;
        int32_t grey = (int32_t)(g * 255.0f + 0.5f);
        colour[0] = colour[1] = colour[2] = grey;
    }
}

bool ShadeQuaternionRow(const QuaternionRenderState* state, const QuaternionParameters* q,
                        const QuaternionPixelFrame& frame, int row, int direction, int first, int end, bool shadows,
                        bool ambientOcclusion, bool floatReciprocal, bool watchCommand)
{
    Fractal* fractal = state->fractal;
    FractalTask* task = fractal->task;
    const int height = fractal->header->Height, width = fractal->header->Width;
    const int rA = direction == 0 ? row : row - 1, rB = rA + 1;
    if (!task || !task->image3D || !task->imageBits || !task->plane0 || !task->plane0->IsAllocated())
        return true;
    const Array2D& plane = *task->plane0;
    if (rA < 0 || rB >= height || rB >= plane.height)
        return true;
    if (end > width)
        end = width;
    const int rowBytes = fractal->GetImageStride() * 3;
    const uint8_t* base = task->imageBits + rA * rowBytes;
    uint8_t* target = task->image3D + rB * rowBytes;
    // The bottom row is nobody's rB: it shows its own surface point, the
    // one the pair (0, 1) shades.
    uint8_t* bottom = rA == 0 ? task->image3D : nullptr;
    const float* depth = static_cast<const float*>(plane.data);
    const uint8_t background[3] = {q->BackgroundColor[2], q->BackgroundColor[1], q->BackgroundColor[0]};
    for (int x = first < 0 ? 0 : first; x < end; ++x) {
        if (watchCommand && task->command) {
            if (task->command != FTC_REDRAW3D)
                return false;
            task->command = 0;
        }
        double P[3], Q[3], n[3];
        uint8_t bgr[3];
        if (PixelSurface(frame, depth, plane.width, plane.height, x, rA, floatReciprocal, P, Q, n)) {
            int32_t colour[3] = {base[3 * x + 2], base[3 * x + 1], base[3 * x]};
            ShadeSurfacePoint(state, q, P, Q, n, colour, shadows, ambientOcclusion, x, row,
                              depth[rA * plane.width + x]);
            bgr[0] = (uint8_t)colour[2];
            bgr[1] = (uint8_t)colour[1];
            bgr[2] = (uint8_t)colour[0];
        } else {
            memcpy(bgr, background, 3);
        }
        memcpy(target + 3 * x, bgr, 3);
        if (bottom)
            memcpy(bottom + 3 * x, bgr, 3);
    }
    return true;
}
