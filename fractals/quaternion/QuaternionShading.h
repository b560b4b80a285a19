// Shading of a quaternion image from its depth plane: the surface point and
// normal of a pixel from its depth and two neighbours, the light table of a
// shading run, the colour of one lit surface point (eight lights with
// shadow maps, ambient occlusion, hue/saturation/lightness or RGB light
// model), and one image row shaded from the palette colours into image3D.
#pragma once
#include <stdint.h>
#include "fractals/attractor/Camera.h"
#include "fractals/attractor/Lighting.h"
#include "fractals/quaternion/QuaternionCamera.h"

class Fractal;
class FractalTask;
struct Array2D;
struct QuaternionParameters;

// The shading record of one calculation, recolouring or widget drawing.
// Everything starts empty: a preview state that never calls
// SetupShadowProjection has no shadow maps and no occlusion plane.
struct QuaternionRenderState {
    LightEntry lights[8] = {};             // PrepareLights
    float shadowBias = 0;                  // 2 fudge / image width (SetupShadowProjection)
    // Per light: the origin and rows of its shadow camera, the fields that
    // TransformPointF reads, and its shadow map (null = none), both from
    // SetupShadowProjection.
    AttractorProjection shadowProjections[8] = {};
    Array2D* shadowMaps[8] = {};
    Fractal* fractal = nullptr;            // owner; its task holds gammaTable
    const float* aoData = nullptr;         // ambient-occlusion plane, null = none
    int aoWidth = 0;                       // row length of aoData
    // The plane holds a finished pass (the cache's aoCacheRadius is not -1);
    // only then does it darken the light. SetupShadowProjection sets aoData,
    // aoWidth and aoValid from the task's plane2 and the block's cache.
    bool aoValid = false;
    QuaternionCameraBasis camera = {};     // PrepareCameraBasis
};

// What a pixel's surface is built from: the view plane in world and camera
// coordinates and the observer.
struct QuaternionPixelFrame {
    double corner[3], stepX[3], stepY[3];
    double cornerCam[3], stepXCam[3], stepYCam[3];
    double observer[3];
};
void PreparePixelFrame(QuaternionPixelFrame* frame, const QuaternionParameters* block, int width, int height);

// The surface of the pixel pair (x, rA), (x, rA + 1) of a depth plane of
// planeWidth x planeHeight floats: false when d(x, rA), d(x + 1, rA) or
// d(x, rA + 1) is negative, not a number or outside the plane. Else the
// world point P and camera point Q of (x, rA) and the unit normal n =
// unit(a x b), a = Q(x+1, rA) - Q(x, rA), b = Q(x+1, rA) - Q(x, rA+1);
// floatReciprocal rounds 1/|a x b| to a float (the preview's form).
bool PixelSurface(const QuaternionPixelFrame& frame, const float* depth, int planeWidth, int planeHeight, int x,
                  int rA, bool floatReciprocal, double P[3], double Q[3], double n[3]);

// Fills the eight light entries (positions in camera coordinates, light
// model 1 reading the light's and the specular saturation/luminance sets)
// and the task's gammaTable when the fractal has a task.
void PrepareLights(LightEntry lights[8], Fractal* fractal, const QuaternionParameters* block);

// The shaded colour of one surface point. colour holds the palette colour
// (red, green, blue) and receives the result, each 0..255. P is read only
// with shadows; column and row address the ambient-occlusion plane; depth is
// the pixel's ray fraction. Without a task the gamma step is skipped.
void ShadeSurfacePoint(const QuaternionRenderState* state, const QuaternionParameters* block, const double P[3],
                       const double Q[3], const double n[3], int32_t colour[3], uint8_t shadows,
                       uint8_t ambientOcclusion, int column, int row, double depth);

// Shades columns first .. end - 1 of one image3D row from the palette
// colours in imageBits. direction 0 pairs rA = row, rB = row + 1; direction
// 1 pairs rA = row - 1, rB = row; the colour of (x, rA) goes to (x, rB), and
// when rA is 0 also to the bottom row 0, which no pair receives otherwise.
// Pixels without a surface get the Background Color. watchCommand: before
// each pixel a pending FTC_REDRAW3D is cleared and any other command ends
// the row (result false). floatReciprocal as in PixelSurface.
bool ShadeQuaternionRow(const QuaternionRenderState* state, const QuaternionParameters* block,
                        const QuaternionPixelFrame& frame, int row, int direction, int first, int end,
                        bool shadows, bool ambientOcclusion, bool floatReciprocal, bool watchCommand);
