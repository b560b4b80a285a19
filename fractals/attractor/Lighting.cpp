// Lighting of one surface point by one light, the gamma and contrast step
// and the integer power. The lighting runs in single precision, as the
// shading of whole images calls it once per light and cell.
#include "fractals/attractor/Lighting.h"

#include <math.h>

namespace {

float Dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Unit(float* v) {
    float length = (float)sqrt((double)Dot(v, v));
    float inverse = 1.0f / length;
    for (int i = 0; i < 3; ++i)
        v[i] *= inverse;
}

// The screen blend x + y - x y, kept at 1 at most.
float Screen(float x, float y) {
    float r = x + y - x * y;
    return r > 1.0f ? 1.0f : r;
}

}  // namespace

void ComputeLighting(const LightEntry& light, const float normal[3], float point[3], const float* viewer,
                     float accumulated[3], float shadow) {
    if (viewer)
        for (int i = 0; i < 3; ++i)
            point[i] -= viewer[i];
    float L[3] = {light.position[0] - point[0], light.position[1] - point[1], light.position[2] - point[2]};
    Unit(L);
    float NdotL = Dot(L, normal);
    float diffuse;
    if (NdotL >= 0) {
        diffuse = NdotL * light.diffuse;
    } else {
        diffuse = 0;
        NdotL = 0;
    }
    float V[3] = {-point[0], -point[1], -point[2]};
    Unit(V);
    float H[3] = {L[0] + V[0], L[1] + V[1], L[2] + V[2]};
    Unit(H);
    float VdotH = Dot(H, V), NdotH = Dot(H, normal), NdotV = Dot(normal, V);
    float invNdotV, invVdotH;
    if (NdotV == 0) {
        NdotV = 0.1f;
        invNdotV = 0;
    } else {
        invNdotV = 1.0f / NdotV;
    }
    invVdotH = VdotH == 0 ? 0 : 1.0f / VdotH;

    float a = light.shininess * light.shininess;
    float root = a / ((a - 1.0f) * NdotH * NdotH + 1.0f);
    float D = root * root;

    float g1 = 2.0f * invVdotH * NdotV * NdotH, g2 = 2.0f * invVdotH * NdotH * NdotL;
    float G = g1 < g2 ? g1 : g2;
    G = G < 0 ? 0 : (G > 1 ? 1 : G);

    float oneMinus = 1.0f - VdotH;
    float f = light.reflection * oneMinus * oneMinus * oneMinus * oneMinus * oneMinus;
    float S[3];
    for (int c = 0; c < 3; ++c) {
        long double s = light.specularColour[c];
        float F = (float)((1.0L - s) * f + s);
        F = F < 0 ? 0 : (F > 1 ? 1 : F);
        S[c] = F * G * D * invNdotV * light.specular;
    }
    for (int c = 0; c < 3; ++c)
        accumulated[c] = light.ambient + accumulated[c] - light.ambient * accumulated[c];
    if (shadow > 0)
        for (int c = 0; c < 3; ++c)
            S[c] *= 1.0f - shadow;
    for (int c = 0; c < 3; ++c)
        accumulated[c] = Screen(accumulated[c], S[c]);
    float d = (float)light.intensity * diffuse;
    if (shadow > 0)
        d *= 1.0f - shadow * 0.5f;
    for (int c = 0; c < 3; ++c)
        accumulated[c] = Screen(accumulated[c], (float)light.colour[c] * d);
}

void ScaleColour(int32_t colour[3], const float gammaTable[256], double contrast) {
    for (int c = 0; c < 3; ++c) {
        int32_t index = colour[c] < 0 ? 0 : (colour[c] > 255 ? 255 : colour[c]);
        colour[c] = (int32_t)(gammaTable[index] * contrast * 255.0 + 0.5);
    }
    for (int c = 0; c < 3; ++c)
        if (colour[c] < 0 || colour[c] > 255)
            colour[c] = 255;
}

double IntPower(double x, int32_t n) {
    double result = 1.0;
    uint32_t m = n < 0 ? 0u - (uint32_t)n : (uint32_t)n;
    for (;;) {
        if (m & 1)
            result = result * x;
        m >>= 1;
        if (m == 0)
            break;
        x = x * x;
    }
    return n < 0 ? 1.0 / result : result;
}
