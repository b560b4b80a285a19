// Surface lighting shared by the attractor's Solid shading and the
// quaternion shading: one light's diffuse, microfacet specular (with a
// Fresnel factor) and ambient terms screen-blended into an accumulated
// colour, the final gamma and contrast step, and an integer power.
#pragma once
#include <stdint.h>

// One light, prepared once per shading run by its caller.
struct LightEntry {
    float position[3];          // in the camera coordinates of the shaded points
    float diffuse;              // diffuse strength
    float ambient;              // ambient share of this light
    float reflection;           // Fresnel strength: exp(reflection parameter) - 1
    float shininess;            // microfacet roughness (its square is used)
    float specular;             // specular strength
    double specularColour[3];   // red, green, blue, 0..1
    double intensity;           // diffuse intensity
    double colour[3];           // red, green, blue of the light, 0..1
    uint8_t enabled;            // tested by the callers
    uint8_t shadow;             // tested by the callers
    // Filled only by the quaternion light preparation.
    double unitPosition[3];
    double viewDirection[3];
    double diffuseAmbientReflection[3];
};

// Adds one light's contribution at point to accumulated (each channel kept
// in 0..1 by screen blending x + y - x y). normal is a unit vector facing
// the viewer; shadow is the shadowed fraction 0..1 (all of the specular and
// half of the diffuse light go at 1). A null viewer sits at the origin;
// with a viewer, point becomes point - viewer in the caller's storage.
// A point on the light or the viewer gives no defined value.
void ComputeLighting(const LightEntry& light, const float normal[3], float point[3], const float* viewer,
                     float accumulated[3], float shadow);

// Each channel (0..255 on entry, the table index) becomes
// trunc(gammaTable[c] x contrast x 255 + 0.5); a result outside 0..255
// becomes 255.
void ScaleColour(int32_t colour[3], const float gammaTable[256], double contrast);

// x to the power n by repeated squaring; 1 / result for a negative n.
double IntPower(double x, int32_t n);
