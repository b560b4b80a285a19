// The image passes that follow the shading of a quaternion picture: fog by
// distance and depth of field around a focal plane, and the two companions
// that measure the depth plane to set the fog range and the focal plane.
// All read the task's depth plane and change only the shaded image or the
// block's parameters.
#pragma once
#include <stdint.h>

class Fractal;
struct QuaternionParameters;

// Fog range from the nearest and farthest surface: FogFront, FogBack and
// FogDensity (0.6 of the exponential part at FogBack). Nothing changes
// without two different depths. post: tell the main frame
// (UM_QUATERNION_FOG_RANGE).
void AutoAdjustFog(QuaternionParameters* block, Fractal* fractal, uint8_t post);
// Focal plane at the mean distance of the central fifth of the image,
// focal length half of it. Nothing changes when that part shows no
// surface. post: UM_QUATERNION_AUTO_VALUES.
void AutoFocus(QuaternionParameters* block, Fractal* fractal, uint8_t post);

// Blends every pixel of image3D towards the fog colour by its distance;
// pixels without a surface become the fog colour. Nothing when FogEnabled is 0.
void ApplyFog(Fractal* fractal);
// Blurs every pixel of image3D by its distance from the focal plane (radius
// capped at 15 pixels); a stopped pass leaves the image as it was. Nothing
// when DOFEnabled is 0.
void ApplyDepthOfField(Fractal* fractal);

// The 101 x 101 blur kernel, built on first use: exp(-r / 128) / (128 pi)
// inside the disc of radius 50, 0 outside; row 50 + dy, column 50 + dx.
const float* DepthOfFieldKernel();

// The radius a source pixel is blurred with: trunc(coc + 0.5) capped at 15,
// and the disc limit (the uncapped radius squared).
void DepthOfFieldRadius(double coc, int* radius, int* limit);
