// Conversions between RGB and the palette colour models (CMY, HSV, HSL,
// YIQ, YUV) on the 0..255 scale, and the integer and unit-range hue-model
// variants of the 3D view, the layer merge modes and quaternion shading.
// The YIQ pair is deliberately not a round trip: stored YIQ palettes were
// made with exactly these factors.
#include "calc/colour/ColorModels.h"

#include <math.h>
#include <string.h>

#define COLOR_MODEL_LIST(X) X(CM_RGB) X(CM_CMY) X(CM_HSV) X(CM_HSL) X(CM_YIQ) X(CM_YUV)

namespace {

#define COLOR_MODEL_NAME(name) #name,
const char* const kModelNames[COLOR_MODEL_COUNT] = { COLOR_MODEL_LIST(COLOR_MODEL_NAME) };
#undef COLOR_MODEL_NAME

inline double Clamp255(double v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

void ClampTriple(double t[3])
{
    for (int i = 0; i < 3; i++)
        t[i] = Clamp255(t[i]);
}

void MaxMin(const double c[3], double& mx, double& mn)
{
    mx = fmax(c[0], fmax(c[1], c[2]));
    mn = fmin(c[0], fmin(c[1], c[2]));
}

}  // namespace

const char* ColorModelName(int model)
{
    return model >= 0 && model < COLOR_MODEL_COUNT ? kModelNames[model] : nullptr;
}

int ColorModelFromName(const char* name)
{
    for (int i = 0; i < COLOR_MODEL_COUNT; i++)
        if (name && _stricmp(name, kModelNames[i]) == 0)
            return i;
    return -1;
}

void InvertRgb(const double in[3], double out[3])
{
    for (int i = 0; i < 3; i++)
        out[i] = 255 - in[i];
}

void RgbToYiq(const double c[3], double yiq[3])
{
    double y = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
    double i = 0.596 * c[0] - 0.274 * c[1] - 0.322 * c[2];
    double q = 0.212 * c[0] - 0.523 * c[1] + 0.311 * c[2];
    yiq[0] = y;
    yiq[1] = i * 0.8389261744966443 + 127.5;
    yiq[2] = q * 0.9560229445506692 + 127.5;
    ClampTriple(yiq);
}

void YiqToRgb(const double yiq[3], double c[3])
{
    double y = yiq[0], i = yiq[1] - 151.98, q = yiq[2] - 133.365;
    c[0] = y + 0.956 * i + 0.621 * q;
    c[1] = y - 0.272 * i - 0.647 * q;
    c[2] = y - 1.105 * i + 1.702 * q;
    ClampTriple(c);
}

void RgbToYuv(const double c[3], double yuv[3])
{
    yuv[0] = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
    yuv[1] = 0.5 * c[2] - 0.332 * c[1] - 0.169 * c[0] + 128;
    yuv[2] = 0.5 * c[0] - (0.0813 * c[2] + 0.419 * c[1]) + 128;
    ClampTriple(yuv);
}

void YuvToRgb(const double yuv[3], double c[3])
{
    double y = yuv[0], u = yuv[1] - 128, v = yuv[2] - 128;
    c[0] = y + 1.4075 * v;
    c[1] = y - 0.3455 * u - 0.7169 * v;
    c[2] = y + 1.779 * u;
    ClampTriple(c);
}

void RgbToHsv(const double c[3], double hsv[3])
{
    double mx, mn;
    MaxMin(c, mx, mn);
    double delta = mx - mn;
    double s = mx == 0 ? 0 : delta / mx;
    double h = 0;
    if (s != 0) {
        double rc = (mx - c[0]) / delta, gc = (mx - c[1]) / delta, bc = (mx - c[2]) / delta;
        if (c[0] == mx)
            h = bc - gc;
        else if (c[1] == mx)
            h = 2 + rc - bc;
        else
            h = 4 + gc - rc;
        h *= 60;
        if (h < 0)
            h += 360;
    }
    hsv[0] = h;
    hsv[1] = s * 255;
    hsv[2] = mx;
}

void HsvToRgb(const double hsv[3], double c[3])
{
    double h = hsv[0], s = hsv[1], v = hsv[2];
    if (s == 0) {
        c[0] = c[1] = c[2] = v;
        return;
    }
    if (h == 360)
        h = 0;
    h /= 60;
    int i = (int)h;
    double f = h - i;
    double p = (255 - s) * v / 255;
    double q = v * (255 - s * f) / 255;
    double t = v * (255 - s * (1 - f)) / 255;
    switch (i) {
    case 0: c[0] = v; c[1] = t; c[2] = p; break;
    case 1: c[0] = q; c[1] = v; c[2] = p; break;
    case 2: c[0] = p; c[1] = v; c[2] = t; break;
    case 3: c[0] = p; c[1] = q; c[2] = v; break;
    case 4: c[0] = t; c[1] = p; c[2] = v; break;
    case 5: c[0] = v; c[1] = p; c[2] = q; break;
    default: break;     // a hue outside 0..360 leaves the output alone
    }
}

void RgbToHsl(const double c[3], double hsl[3])
{
    double mx, mn;
    MaxMin(c, mx, mn);
    double l = (mx + mn) / 2;
    if (mx == mn) {
        hsl[0] = 0;
        hsl[1] = 0;
        hsl[2] = mx;
        return;
    }
    double delta = mx - mn;
    double s = l < 128 ? delta * 255 / (mx + mn) : delta * 255 / (510 - mx - mn);
    double h;
    if (c[0] == mx)
        h = (c[1] - c[2]) * 60 / delta;
    else if (c[1] != mx)
        h = (c[0] - c[1]) * 60 / delta + 240;
    else
        h = (c[2] - c[0]) * 60 / delta + 120;
    if (h < 0)
        h += 360;
    hsl[0] = h;
    hsl[1] = s;
    hsl[2] = l;
}

double HueToChannel(double m1, double m2, double h)
{
    if (h < 0)
        h += 360;
    else if (h > 360)
        h -= 360;
    if (h < 60)
        return m1 + (m2 - m1) * h / 60;
    if (h < 180)
        return m2;
    if (h < 240)
        return m1 + (m2 - m1) * (240 - h) / 60;
    return m1;
}

void HslToRgb(const double hsl[3], double c[3])
{
    double h = hsl[0], s = hsl[1] / 255, l = hsl[2] / 255;
    if (s == 0) {
        c[0] = c[1] = c[2] = l * 255;
        return;
    }
    double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    double m1 = 2 * l - m2;
    if (m1 < 0)
        m1 = 0;
    c[0] = HueToChannel(m1, m2, h + 120) * 255;
    c[1] = HueToChannel(m1, m2, h) * 255;
    c[2] = HueToChannel(m1, m2, h - 120) * 255;
}

void RgbToModel(int model, const double rgb[3], double out[3])
{
    switch (model) {
    case CM_RGB: memcpy(out, rgb, 3 * sizeof(double)); break;
    case CM_CMY: InvertRgb(rgb, out); break;
    case CM_HSV: RgbToHsv(rgb, out); break;
    case CM_HSL: RgbToHsl(rgb, out); break;
    case CM_YIQ: RgbToYiq(rgb, out); break;
    case CM_YUV: RgbToYuv(rgb, out); break;
    default: break;
    }
}

void ModelToRgb(int model, const double in[3], double rgb[3])
{
    switch (model) {
    case CM_RGB: memcpy(rgb, in, 3 * sizeof(double)); break;
    case CM_CMY: InvertRgb(in, rgb); break;
    case CM_HSV: HsvToRgb(in, rgb); break;
    case CM_HSL: HslToRgb(in, rgb); break;
    case CM_YIQ: YiqToRgb(in, rgb); break;
    case CM_YUV: YuvToRgb(in, rgb); break;
    default: break;
    }
}

void ConvertColorModel(int from, int to, const double in[3], double out[3])
{
    if (from == to) {
        memcpy(out, in, 3 * sizeof(double));
        return;
    }
    double rgb[3] = { 0, 0, 0 };
    ModelToRgb(from, in, rgb);
    RgbToModel(to, rgb, out);
}
