// The pinhole camera of a quaternion image and the small geometry around it:
// pixel steps in camera coordinates, world <-> camera conversions (Cramer's
// rule with the stored, not normalised top vector), the surface point under
// a pixel, camera rotation for the 3D fields, and the two set-ups of the
// ambient-occlusion pass (camera distances per pixel, the sample kernel).
#pragma once
#include "view3d/ViewPlane.h"

class Fractal;
class FractalTask;
struct QuaternionParameters;

// The camera frame of a render state: right = unit(top x dir), top as
// stored, dir = unit(viewpoint - observer).
struct QuaternionCameraBasis {
    double right[3];
    double top[3];
    double dir[3];
    double observer[3];
    double inverseDeterminant;   // 1 / det[right, top, dir]
    double originInCamera[3];    // camera coordinates of the world origin
};

// The view plane's corner and its column and row steps in camera
// coordinates (the camera images of ComputeViewPlane's three vectors).
void ComputePixelSteps(const QuaternionParameters* block, int width, int height, double cornerCam[3],
                       double stepXCam[3], double stepYCam[3]);

// P - observer = cx right + cy top + cz dir, solved for (cx, cy, cz); and
// back: observer + cx right + cy top + cz dir. A singular frame gives
// numbers that are not finite, never a fault.
void QuaternionWorldToCamera(const QuaternionParameters* block, const double point[3], double out[3]);
void QuaternionCameraToWorld(const QuaternionParameters* block, const double point[3], double out[3]);

void PrepareCameraBasis(QuaternionCameraBasis* basis, const QuaternionParameters* block);
// Converts a vector in place with the stored frame; the observer is not
// subtracted, so a point converts as ToCameraBasis(P) + originInCamera.
void ToCameraBasis(const QuaternionCameraBasis* basis, double v[3]);

// The world point of the surface under window pixel (x, y) (y from the
// top); false and the viewpoint when the pixel has no surface or lies
// outside the depth plane.
bool GetSurfacePoint(const QuaternionParameters* block, FractalTask* task, int x, int y, double out[3]);

// outX = (a * -2 / c) / (v.x / v.z), outY = (b * -2 / e) / (v.y / v.z).
void ComputeProjectionScale(double a, double b, double c, double e, const double v[3], double* outX,
                            double* outY);

// Copies observer, top, viewpoint, front and back clipping into the saved
// camera (savedCamera[0..10], in that order).
void SaveQuaternionCamera(QuaternionParameters* block);

// Turns the saved point about centre (angle1 about the top vector, angle2
// in the plane of view and top, angle3 rolls the top about the view); angles
// in degrees, each rotation starting from the saved point and top. Several
// non-zero angles: later rotations overwrite earlier outputs.
void RotateCamera(const double centre[3], double topOut[3], const double savedTop[3], double pointOut[3],
                  const double savedPoint[3], double angle1, double angle2, double angle3);

// out = a + (b - a) * percent / 100.
void InterpolatePoint(const double a[3], double out[3], const double b[3], double percent);

// Camera distance of every depth-plane cell into distances (plane0 width x
// height floats, -1 where there is no surface); returns the mean distance x
// AORadius, or 0 as soon as the task's command word is set (distances then
// partly written) and when no cell has a surface.
double DepthToPositions(Fractal* fractal, float* distances, const double cornerCam[3], const double stepXCam[3],
                        const double stepYCam[3]);

// count kernel points (3 floats each) from srand(seed)/rand(), spread over
// the unit sphere by passes rounds of mutual repulsion.
void BuildAoKernel(unsigned int seed, int count, int passes, float* points);
