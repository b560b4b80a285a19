// Keeps the segments of the drawing calculators within reach of the image:
// a trajectory or turtle far outside the view must not make the line
// routines walk (or an int conversion wrap) billions of pixels.
#pragma once

// Pixel coordinates farther than this from the origin are cut off.
const double kPixelReach = 1.0e6;

// Cuts the segment to the square of kPixelReach around the origin
// (Liang-Barsky); false when no part of it is inside. NaN ends are outside.
bool ClipToPixelReach(double* x0, double* y0, double* x1, double* y1);
