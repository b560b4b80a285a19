// Where the pixels of a quaternion image lie in the world, and the repair of
// a camera's top vector after the observer or the viewpoint moved. Plain
// functions on double 3-vectors; the view operations and the 3D views share
// them.
#pragma once

struct QuaternionParameters;

// The world point of pixel (0, 0) and the world steps of one column and one
// row. Pixel (x, r) is corner + x stepX + r stepY, r counted from the bottom
// image row.
void ComputeViewPlane(const QuaternionParameters* block, int width, int height, double corner[3],
                      double stepX[3], double stepY[3]);

// Makes the top vector perpendicular to the direction from -> to, on the
// side it pointed to. absolute non-zero: top is a direction and becomes a
// unit vector; 0: top is a point, made from + (unit direction) / 2.5. A
// result that is not a number becomes (0, 1, 0).
void MakeTopVectorPerpendicular(const double from[3], const double to[3], double top[3], int absolute);
