// The colour conversions: the six palette colour models with their
// conversions to and from RGB and the dispatchers palettes and the palette
// editor call, plus integer and unit-range variants of the hue models.
// All functions are pure: they read their input triple and write the output.
#pragma once

#include <stdint.h>

enum ColorModel {
    CM_RGB = 0,     // red, green, blue 0..255
    CM_CMY = 1,     // cyan, magenta, yellow 0..255
    CM_HSV = 2,     // hue in degrees 0..360, saturation and value 0..255
    CM_HSL = 3,     // hue in degrees 0..360, saturation and lightness 0..255
    CM_YIQ = 4,     // Y 0..255, I and Q offset and scaled into 0..255
    CM_YUV = 5,     // Y 0..255, U and V 0..255 (128 = none)
};
enum { COLOR_MODEL_COUNT = 6 };

// The model's name as the palette text writes it ("CM_RGB" ...), null for
// an unknown value; and back (-1 for an unknown name).
const char* ColorModelName(int model);
int ColorModelFromName(const char* name);

// Double triples on the 0..255 scale (hue in degrees). An unknown model
// leaves the output untouched.
void RgbToModel(int model, const double rgb[3], double out[3]);
void ModelToRgb(int model, const double in[3], double rgb[3]);
// Equal models copy the triple unchanged; otherwise through RGB.
void ConvertColorModel(int from, int to, const double in[3], double out[3]);

void InvertRgb(const double in[3], double out[3]);
void RgbToYiq(const double rgb[3], double yiq[3]);
void YiqToRgb(const double yiq[3], double rgb[3]);
void RgbToYuv(const double rgb[3], double yuv[3]);
void YuvToRgb(const double yuv[3], double rgb[3]);
void RgbToHsv(const double rgb[3], double hsv[3]);
void HsvToRgb(const double hsv[3], double rgb[3]);
void RgbToHsl(const double rgb[3], double hsl[3]);
void HslToRgb(const double hsl[3], double rgb[3]);
double HueToChannel(double m1, double m2, double hue);

// Integer variants: hue 0..359 degrees, saturation, value, lightness 0..255.
void RgbToHsvInt(const int32_t rgb[3], int32_t hsv[3]);
void HsvToRgbInt(int32_t rgb[3], const int32_t hsv[3]);
void RgbToHslInt(const int32_t rgb[3], int32_t hsl[3]);
void HslToRgbInt(int32_t rgb[3], const int32_t hsl[3]);
// Unit variants: hue in sixths of the circle (0 <= h < 6), the rest 0..1.
void RgbToHslUnit(const double rgb[3], double hsl[3]);
void HslToRgbUnit(double rgb[3], const double hsl[3]);
