#pragma once

// Small 3D vector routines for the 3D views, the quaternion and attractor
// calculators and the mouse handling. Vectors are three doubles or three
// floats (x, y, z). Angle conversions use pi as 3.1415926535.

const double VECTOR_PI = 3.1415926535;

// v scaled to length 1 (in place). A zero vector stays zero.
void NormalizeVector(double* v);

// out = a x b. out may be a or b.
void CrossProduct(const double* a, const double* b, double* out);
void CrossProductF(const float* a, const float* b, float* out);

// True when every component difference a - b, stored as a float, is at most
// 1e-9 in magnitude.
bool VectorsEqualF(const float* a, const float* b);

// The camera projection record of the attractor views, seen as floats: the
// camera origin (observer) in its first three floats and the 3 x 3 rotation
// matrix, row by row (right, up, direction), from float PROJECTION_MATRIX_OFFSET
// on (after viewpoint, top vector, two fields of view, near, far and a
// spare float).
const int PROJECTION_MATRIX_OFFSET = 14;

// p becomes p - origin (in place); out = matrix * (p - origin).
void TransformPointF(float* p, float* out, const float* projection);

// Computed in double, returned as float.
float SqrtF(float x);
float LogF(float x);
float ExpF(float x);

// The angle in radians between a - o and b - o, negative when b - o points
// against (a - o) x n. Zero when either direction has no length.
double SignedAngle(const double* o, const double* a, const double* n, const double* b);

// The angle in degrees of b from the direction of a, measured in the plane
// spanned by a and c x a (positive toward c x a). Zero when a, b or c x a has
// no length.
double AxisAngleDegrees(const double* a, const double* b, const double* c);

// Rotates v (in place) about the axis through the origin by degrees, by the
// right-hand rule about the axis. A vector along the axis, or a zero axis or
// vector, stays unchanged.
void RotateVectorAboutAxis(const double* axis, double* v, double degrees);

// Rotates the point p (in place) about the axis through centre.
void RotatePointAboutAxis(const double* centre, const double* axis, double* p, double degrees);
