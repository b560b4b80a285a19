// The perspective camera of an attractor (observer, viewpoint, top vector,
// vertical field of view) as a projection record every consumer shares,
// the conversions between world and camera coordinates, and the orthographic
// shadow camera of each light, which frames the attractor's bounding sphere.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "foundation/Vector.h"

class Fractal;
struct AttractorParameters;

// The projection record, all floats. Its first three floats and the rows
// from float PROJECTION_MATRIX_OFFSET on are what TransformPointF reads, so
// a shadow camera fills only observer (its origin), right, up and direction.
struct AttractorProjection {
    float observer[3];
    float viewpoint[3];
    float top[3];               // unchanged
    float horizontalFov;        // degrees
    float verticalFov;          // degrees (FieldOfView)
    float nearPlane;            // 0.1
    float farPlane;             // 1e10
    float zero;
    float right[3];             // unit(top x direction)
    float up[3];                // direction x right
    float direction[3];         // unit(viewpoint - observer)
    float tanHalfH, tanHalfV;
    float invTanHalfH, invTanHalfV;   // the view scales
    float pixelScaleX, pixelScaleY;   // 2 / view width x tanHalfH, 2 / view height x tanHalfV
};
static_assert(offsetof(AttractorProjection, right) == sizeof(float) * PROJECTION_MATRIX_OFFSET,
              "TransformPointF finds the rows after 14 floats");

// Centre x, centre y, width, height of the view in cells.
struct ViewRect {
    int32_t centreX, centreY, width, height;
};

// The view rectangle of a fractal: (160, 128, 320, 256) without a task; for
// an attractor the task's plane0 less its 20-cell margins, ((PW - 40) / 2,
// (PH - 40) / 2, PW - 40, PH - 40); for other types the image (W / 2, H / 2,
// W, H).
ViewRect AttractorViewRect(Fractal* fractal);

// Fills projection for an image of imageWidth x imageHeight pixels seen
// through view. 1 when the camera is usable; 0 for a degenerate one
// (observer = viewpoint, zero top, top parallel to the direction, a
// vanishing field of view), the record then only partly filled.
int SetupProjection(int imageWidth, int imageHeight, const ViewRect& view, const double observer[3],
                    const double viewpoint[3], const double top[3], double fieldOfView,
                    AttractorProjection* projection);

// The same for a fractal: the image size from its header, the view from
// AttractorViewRect (also stored in viewRect when it is not null).
int SetupAttractorProjection(Fractal* fractal, const double observer[3], const double viewpoint[3],
                             const double top[3], double fieldOfView, AttractorProjection* projection,
                             ViewRect* viewRect);

// World point -> camera coordinates with the block's camera: the solution
// of w - observer = x R + y top + z d (d = unit direction, R = unit(top x
// d), top as stored, by Cramer's rule). A degenerate camera gives 0.
void AttractorWorldToCamera(const AttractorParameters* block, const double world[3], double camera[3]);
// observer + c.x R + c.y top + c.z d.
void AttractorCameraToWorld(const AttractorParameters* block, const double camera[3], double world[3]);

// v scaled to length 1 in single precision; a zero vector stays zero.
void NormalizeVectorF(float v[3]);

// The world position of light n (0..7): AttractorCameraToWorld of its
// stored position when it is relative, else the stored position.
void AttractorLightWorldPosition(const AttractorParameters* block, int light, double world[3]);

// The shadow camera of light n (0..7) framing the sphere (centre, radius):
// origin = centre, rows right, up, d with d = unit(centre - light), the
// auxiliary vector (1, 0, 0) when d.x = d.z = 0 else (0, 1, 0), right =
// unit(d x h), up = unit(d x right), both divided by 1.2 radius. Only the
// origin and the rows are filled (the rest zero). A light at the centre or
// a radius of 0 gives rows of 0.
void BuildShadowCamera(const AttractorParameters* block, int light, const double centre[3], double radius,
                       AttractorProjection* camera);

// The depth tolerance of the shadow test: 4 D sqrt(sx^2 + sy^2), D the
// distance from the observer to the sphere centre, sx, sy the view's pixel
// scales (about two pixels at the centre's distance).
float ShadowBias(const AttractorProjection& view, const double centre[3]);

// The horizontal field of view (degrees) for a vertical one on an image of
// width x height: 2 atan(width / height x tan(fov / 2)).
double HorizontalFieldOfView(double verticalFov, int width, int height);
