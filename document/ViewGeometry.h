// Free functions of the view geometry: the centre-and-magnification form
// of a view, rotation of a point, the square root of a BigNumber and light
// directions as angles. The Fractal members are declared in Fractal.h.
#pragma once
#include "foundation/bignum/BigNumber.h"


class Fractal;

// Angle factors: the displayed view turns with the full constant, turning
// back and the centre-and-magnification form use ten decimals.
const double VIEW_PI = 3.141592653589793;
const double VIEW_PI_SHORT = 3.1415926535;

// Turns (x, y) clockwise in place: x' = x c + y s, y' = y c - x s.
void RotatePoint(BigNumber& x, BigNumber& y, double sine, double cosine);
// Turns the three corners x[i], y[i] about (cx, cy) by the angle in
// degrees with the given value of pi (RotatePoint's sense).
void RotateCorners(BigNumber x[3], BigNumber y[3], const BigNumber& cx, const BigNumber& cy, double degrees,
                   double pi);
// Corners from a centre, a magnification (half height 1/mag), an
// x-magnification (0 counts as 1), rotation and skew in degrees.
void SetCornersFromCenterMag(Fractal* fractal, BigNumber cx, BigNumber cy, BigNumber mag, BigNumber xmag,
                             double rotation, double skew);
BigNumber Sqrt(const BigNumber& x);
// Azimuth in (-180, 180] (0 = towards -z, 90 = towards +x) and elevation.
void DirectionToAngles(const double direction[3], double& azimuth, double& elevation);
