// The one-dimensional interpolating curve of the program: knots (x, y) with
// x ascending give a value for any x, as straight lines, a cubic spline, an
// Akima spline or a piecewise cubic Hermite curve. Palettes, the alpha
// channel, the 3D height curve and animations all use it; the free functions
// run the natural cubic spline on plain arrays for the animation.
#pragma once

#include <stdint.h>

class GrowBuffer;

enum SplineKind {
    SPLINE_LINEAR = 0,
    SPLINE_CUBIC = 1,
    SPLINE_AKIMA = 2,
    SPLINE_HERMITE = 3,
};

enum SplineEnd {
    SPLINE_END_CLAMPED = 0,     // first derivative 0 at both ends
    SPLINE_END_NATURAL = 1,     // second derivative 0 at both ends
};

class Spline {
public:
    Spline(void* owner, int kind);
    virtual ~Spline();

    Spline(const Spline&) = delete;
    Spline& operator=(const Spline&) = delete;

    // Stores the kind; nothing is recomputed.
    void SetKind(int kind) { this->kind = kind; }
    // n knots: every buffer gets room for n + 10 doubles. The caller then
    // writes the knots into X() and Y(), x ascending.
    void SetCount(int n);
    // Stores value in tag and makes room for count + 10 doubles (count
    // unchanged); the Akima set-up uses it for its extrapolated knots.
    void SetCountAndTag(int value);
    // Coefficients for the current knots (end: SplineEnd). An end value
    // other than 0 or 1 computes nothing and keeps the old coefficients.
    void Compute(int end);
    // The curve's value at x; a zero result is +0.0.
    double Evaluate(double x) const;

    double* X() const;
    double* Y() const;
    double* Coef(int i) const;   // coefficient buffer 1..4
    int GetCount() const { return count; }
    int GetKind() const { return kind; }
    int GetTag() const { return tag; }
    void* GetOwner() const { return owner; }

    // What the coefficient buffers hold, by kind:
    //   cubic:   coef1 second derivative at knot i, coef2 the solver's eliminated diagonal
    //   Akima:   coef1 quadratic and coef2 cubic coefficient of segment i (powers of x - x[i]),
    //            coef3 the slope at knot i
    //   Hermite: coef1..coef4 the x^3, x^2, x and constant terms of segment i in local
    //            coordinates (powers of x - x[i])
    GrowBuffer* knotX;
    GrowBuffer* knotY;
    int32_t count;
    int32_t tag;
    int32_t kind;
    int32_t flag;
    void* owner;
    GrowBuffer* coef1;
    GrowBuffer* coef2;
    GrowBuffer* coef3;
    GrowBuffer* coef4;

private:
    void ReserveAll(int doubles);
    void ComputeCubic(int end);
    void ComputeAkima();
    void ComputeHermite();
    double EvaluatePiecewise(double x) const;
    double EvaluateAkima(double x) const;
    double EvaluateHermite(double x) const;
};

// The three splines shared by the palette rebuild (one per colour channel)
// and the alpha-channel resampling (the first). Made before the program
// starts, cubic, without owner; never deleted.
extern Spline* g_ChannelSplines[3];
// g_ChannelSplines, made first when a static initialiser elsewhere asks for
// them before their own initialiser has run.
Spline** ChannelSplines();

// Natural cubic spline on plain arrays of n + 1 knots (indices 0..n): sets
// M[0..n] (second derivatives) with work[] as the solver's diagonal. With
// enabled 0 nothing is touched.
void ComputeSplineSecondDerivatives(const double x[], const double y[], double M[], double work[],
                                    int n, int enabled);
// Value at t of the knots 0..n: the cubic through M when spline is non-zero,
// else the polyline. In extended precision.
long double EvaluateSplineArrays(const double x[], const double y[], const double M[], double t,
                                 int n, int spline);
// The same rounded to double, a zero result as +0.0.
double EvaluateSplineArraysRounded(const double x[], const double y[], const double M[], double t,
                                   int n, int spline);
