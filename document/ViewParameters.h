// The first part of every type's parameter block: the shown area of the
// complex plane (corners in arbitrary precision), its rotation, an
// inversion and the colour mode. Blocks are packed records that the
// parameter tables walk field by field (a BigNumber is one 4-byte handle),
// so nothing here may add padding or a virtual table.
#pragma once
#include "foundation/bignum/BigNumber.h"

#pragma pack(push, 4)
struct ViewParameters {
    BigNumber TopLeftR, TopLeftI;
    BigNumber BottomRightR, BottomRightI;
    BigNumber TopRightR, TopRightI;   // used only when Stretch is 1
    int Stretch;                      // 1: parallelogram of the three corners
    double RotateX, RotateY;          // rotation centre in percent
    double Angle;                     // degrees
    double InvRadius;
    BigNumber InvCenterX, InvCenterY;
    int Inversion;
    int ColormodeType;
    double ColormodeSpeed, ColormodeAccel;
    double ColorSmoothing;

    // The defaults every block shares: corners 0, no stretch, rotation
    // centre 50/50 and angle 0, inversion radius 1 and no inversion, colour
    // mode 0 at speed and acceleration 1.
    ViewParameters();
    // Sets the four corners from doubles (15 digits), the rotation centre
    // 50/50 and angle 0.
    void SetCorners(double left, double top, double right, double bottom);
    // Copies every field; the BigNumbers share the other's numbers.
    void CopyViewFrom(const ViewParameters& other);
};
#pragma pack(pop)

static_assert(sizeof(BigNumber) == 4, "a BigNumber is one handle in a parameter block");
static_assert(sizeof(ViewParameters) == 100, "ViewParameters is a packed record of 100 bytes");
