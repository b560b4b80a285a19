// The integer HSV and HSL variants (3D view colouring, layer merge modes)
// and the unit-range HSL pair of the quaternion shading. Integer divisions
// truncate toward zero as the callers' tables expect.
#include "calc/colour/ColorModels.h"

#include <math.h>

namespace {

// Channel indexes of the largest, smallest and middle component, with the
// tie order the integer hue depends on.
void RankChannels(const int32_t c[3], int& mx, int& mn, int& mid)
{
    int r = c[0], g = c[1], b = c[2];
    if (r >= g) {
        if (r >= b) {
            mx = 0;
            mn = g >= b ? 2 : 1;
        } else {
            mx = 2;
            mn = 1;
        }
    } else if (g < b) {
        mx = 2;
        mn = 0;
    } else {
        mx = 1;
        mn = b < r ? 2 : 0;
    }
    mid = 3 - mx - mn;
}

// HSL from unit RGB: hue in sixths, saturation and lightness 0..1.
void UnitHsl(double r, double g, double b, double hsl[3])
{
    double mx = fmax(r, fmax(g, b)), mn = fmin(r, fmin(g, b));
    double l = (mx + mn) / 2;
    if (mx == mn) {
        hsl[0] = 0;
        hsl[1] = 0;
        hsl[2] = mx;
        return;
    }
    double delta = mx - mn;
    double h;
    if (r == mx)
        h = (g - b) / delta;
    else if (g != mx)
        h = (r - g) / delta + 4;
    else
        h = (b - r) / delta + 2;
    if (h < 0)
        h += 6;
    double sum = mx + mn, s;
    if (sum < 1)
        s = sum < 0 ? 0 : delta / sum;
    else if (2 - sum >= 0)
        s = delta / (2 - sum);
    else
        s = 1;
    hsl[0] = h;
    hsl[1] = s;
    hsl[2] = l;
}

double UnitChannel(double m1, double m2, double x)
{
    if (x < 1)
        return m1 + (m2 - m1) * x;
    if (x < 3)
        return m2;
    if (x < 4)
        return m1 + (m2 - m1) * (4 - x);
    return m1;
}

void UnitRgb(double h, double s, double l, double rgb[3])
{
    h -= 6 * floor(h / 6);
    if (s == 0) {
        rgb[0] = rgb[1] = rgb[2] = l;
        return;
    }
    double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    if (m2 < 0) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    double m1 = 2 * l - m2;
    double xr = h + 2, xb = h - 2;
    if (xr > 6)
        xr -= 6;
    if (xb < 0)
        xb += 6;
    rgb[0] = UnitChannel(m1, m2, xr);
    rgb[1] = UnitChannel(m1, m2, h);
    rgb[2] = UnitChannel(m1, m2, xb);
}

}  // namespace

void RgbToHsvInt(const int32_t rgb[3], int32_t hsv[3])
{
    int mx, mn, mid;
    RankChannels(rgb, mx, mn, mid);
    int32_t top = rgb[mx], bottom = rgb[mn];
    int32_t h = top == bottom ? 0 : (rgb[mid] - bottom) * 60 / (top - bottom);
    int sign = mx - mn;
    if (sign == -2)
        sign = 1;
    else if (sign == 2)
        sign = -1;
    int32_t hue = h * sign + 120 * mx;
    if (hue < 0)
        hue += 360;
    hsv[0] = hue;
    hsv[1] = top == 0 ? 0 : (top - bottom) * 255 / top;
    hsv[2] = top;
}

void HsvToRgbInt(int32_t rgb[3], const int32_t hsv[3])
{
    // (maximum, minimum, middle) channel of each 60-degree sector
    static const int kSector[6][3] = { { 0, 2, 1 }, { 1, 2, 0 }, { 1, 0, 2 },
                                       { 2, 0, 1 }, { 2, 1, 0 }, { 0, 1, 2 } };
    int32_t h = hsv[0], s = hsv[1], v = hsv[2];
    int k = h / 60;
    if (k < 0)
        k = 0;
    if (k > 5)
        k = 5;
    int32_t minimum = ((256 - s) * v) >> 8;
    int32_t d;
    if (h <= 60)
        d = h;
    else if (k <= 2)
        d = h - 120;
    else if (k <= 4)
        d = h - 240;
    else
        d = h - 360;
    if (d < 0)
        d = -d;
    rgb[kSector[k][0]] = v;
    rgb[kSector[k][1]] = minimum;
    rgb[kSector[k][2]] = d * (v - minimum) / 60 + minimum;
}

void RgbToHslUnit(const double rgb[3], double hsl[3])
{
    UnitHsl(rgb[0], rgb[1], rgb[2], hsl);
}

void HslToRgbUnit(double rgb[3], const double hsl[3])
{
    UnitRgb(hsl[0], hsl[1], hsl[2], rgb);
}

void RgbToHslInt(const int32_t rgb[3], int32_t hsl[3])
{
    double u[3];
    UnitHsl(rgb[0] / 255.0, rgb[1] / 255.0, rgb[2] / 255.0, u);
    hsl[0] = (int32_t)(u[0] * 60 + 0.5);
    hsl[1] = (int32_t)(u[1] * 255 + 0.5);
    hsl[2] = (int32_t)(u[2] * 255 + 0.5);
}

void HslToRgbInt(int32_t rgb[3], const int32_t hsl[3])
{
    double u[3];
    UnitRgb(hsl[0] / 60.0, hsl[1] / 255.0, hsl[2] / 255.0, u);
    for (int i = 0; i < 3; i++)
        rgb[i] = (int32_t)(u[i] * 255 + 0.5);
}
