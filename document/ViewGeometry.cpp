// The view of a fractal: stored unrotated as BigNumber corners, displayed
// turned by Angle about the rotation centre. Sums, differences and products
// are exact; quotients keep at least the default precision; values worked
// out in doubles enter with 15 digits.
#include "document/ViewGeometry.h"
#include <math.h>
#include "document/Fractal.h"
#include "calc/FractalTask.h"
#include "document/DocumentHooks.h"
#include "view3d/Parameters3D.h"

void Fractal::GetRotationCentre(const BigNumber x[3], const BigNumber y[3], BigNumber& cx, BigNumber& cy) const
{
    const ViewParameters* v = typeParameters;
    BigNumber fx(v->RotateX / 100.0);
    BigNumber fy((100.0 - v->RotateY) / 100.0);
    cx = x[0] + (x[1] - x[0]) * fx + (x[2] - x[1]) * fy;
    cy = y[0] + (y[1] - y[0]) * fx + (y[2] - y[1]) * fy;
}

void RotatePoint(BigNumber& x, BigNumber& y, double sine, double cosine)
{
    BigNumber s(sine), c(cosine);
    BigNumber nx = x * c + y * s;
    BigNumber ny = y * c - x * s;
    x = nx;
    y = ny;
}

void RotateCorners(BigNumber x[3], BigNumber y[3], const BigNumber& cx, const BigNumber& cy, double degrees,
                   double pi)
{
    double theta = degrees * pi / 180;
    double s = sin(theta), c = cos(theta);
    for (int i = 0; i < 3; ++i) {
        BigNumber px = x[i] - cx, py = y[i] - cy;
        RotatePoint(px, py, s, c);
        x[i] = px + cx;
        y[i] = py + cy;
    }
}

void Fractal::GetViewCorners(BigNumber x[3], BigNumber y[3]) const
{
    const ViewParameters* v = typeParameters;
    x[0] = v->TopLeftR;
    y[0] = v->TopLeftI;
    x[1] = v->BottomRightR;
    y[1] = v->TopLeftI;
    x[2] = v->BottomRightR;
    y[2] = v->BottomRightI;
    if (v->Stretch) {
        x[1] = v->TopRightR;
        y[1] = v->TopRightI;
    }
    if (v->Angle != 0.0) {
        BigNumber cx, cy;
        GetRotationCentre(x, y, cx, cy);
        RotateCorners(x, y, cx, cy, v->Angle, VIEW_PI);
    }
}

void Fractal::PixelToPoint(double px, double py, BigNumber& re, BigNumber& im) const
{
    BigNumber x[3], y[3];
    GetViewCorners(x, y);
    BigNumber w(header->Width), h(header->Height);
    BigNumber across(px), down((header->Height - 1) - py);
    re = x[0] + ((x[1] - x[0]) / w) * across + ((x[2] - x[1]) / h) * down;
    im = y[0] + ((y[1] - y[0]) / w) * across + ((y[2] - y[1]) / h) * down;
}

void Fractal::GetViewSize(int& width, int& height) const
{
    if (task && !header->Scrollbar && task->window && g_WindowClientSize) {
        int w = 0, h = 0;
        g_WindowClientSize(task->window, &w, &h);
        if (w != 0 || h != 0) {
            width = w;
            height = h;
            return;
        }
    }
    if (task && header->Scrollbar && header->Dims && params3D && params3D->Mode3D == 1 && task->renderer) {
        width = task->renderer->imageWidth;
        height = task->renderer->imageHeight;
        return;
    }
    width = header->Width;
    height = header->Height;
}

void Fractal::AdjustAspectRatio()
{
    ViewParameters* v = typeParameters;
    if (!v)
        return;
    BigNumber w(header->Width), h(header->Height);
    if (!v->Stretch) {
        v->BottomRightI = v->TopLeftI - ((v->BottomRightR - v->TopLeftR) * h) / w;
        return;
    }
    BigNumber tx = v->TopRightR - v->TopLeftR, ty = v->TopRightI - v->TopLeftI;
    BigNumber top = Sqrt(tx * tx + ty * ty);
    BigNumber wanted = (top * h) / w;
    BigNumber dx = v->BottomRightR - v->TopRightR, dy = v->BottomRightI - v->TopRightI;
    BigNumber r = BigNumber(1) / Sqrt(dx * dx + dy * dy);
    v->BottomRightR = v->TopRightR + dx * wanted * r;
    v->BottomRightI = v->TopRightI + dy * wanted * r;
}

void SetCornersFromCenterMag(Fractal* fractal, BigNumber cx, BigNumber cy, BigNumber mag, BigNumber xmag,
                             double rotation, double skew)
{
    ViewParameters* v = fractal ? fractal->typeParameters : nullptr;
    if (!v)
        return;
    if (xmag == BigNumber(0))
        xmag = BigNumber("1.0");
    BigNumber h = BigNumber("1.0") / mag;
    BigNumber w = h / (BigNumber("0.75") * xmag);
    if (rotation == 0.0 && skew == 0.0) {
        v->Stretch = 0;
        v->TopLeftR = cx - w;
        v->TopLeftI = cy + h;
        v->BottomRightR = cx + w;
        v->BottomRightI = cy - h;
        return;
    }
    v->Stretch = 1;
    double angle = rotation * VIEW_PI_SHORT / 180;
    BigNumber c(cos(angle)), s(sin(angle));
    BigNumber k = h * BigNumber(tan(skew * VIEW_PI_SHORT / 180));
    auto place = [&](const BigNumber& u, const BigNumber& vv, BigNumber& re, BigNumber& im) {
        re = u * c + vv * s + cx;
        im = -u * s + vv * c + cy;
    };
    BigNumber tlR, tlI, brR, brI, blR, blI;
    place(-w + k, h, tlR, tlI);
    place(w - k, -h, brR, brI);
    place(-w - k, -h, blR, blI);
    v->TopLeftR = tlR;
    v->TopLeftI = tlI;
    v->BottomRightR = brR;
    v->BottomRightI = brI;
    v->TopRightR = brR - (blR - tlR);
    v->TopRightI = brI - (blI - tlI);
}

BigNumber Sqrt(const BigNumber& x)
{
    return x.Sqrt();
}

void DirectionToAngles(const double d[3], double& azimuth, double& elevation)
{
    const double pi = 3.141592653589793;
    double e = sqrt(d[0] * d[0] + d[2] * d[2]);
    if (e != 0.0) {
        elevation = 90 - (pi / 2 - atan(d[1] / e)) * 57.29577951308232;
        double a = acos(-d[2] / e);
        azimuth = (d[0] >= 0 ? a : 2 * pi - a) * 57.29577951308232;
    } else {
        azimuth = 0;
        elevation = d[1] < 0 ? -90 : 90;
    }
    if (azimuth > 180)
        azimuth -= 360;
}
