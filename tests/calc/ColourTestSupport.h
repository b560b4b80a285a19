// Shared fixtures of the colour tests: a gradient whose neighbouring
// entries differ in every channel, and the plain way of blending it.
#pragma once
#include <windows.h>
#include <math.h>

// Neighbouring entries differ in every channel, and unevenly in blue, so a
// blend never equals the nearest entry.
inline void FillTestGradient(RGBQUAD* table)
{
    for (int k = 0; k < 256; ++k) {
        table[k].rgbRed = (BYTE)k;
        table[k].rgbGreen = (BYTE)(255 - k);
        table[k].rgbBlue = (BYTE)((k * 7) & 255);
    }
}

// The colour at gradient position p the plain way: entry i blended into
// the next (251 into 0) by the fraction, rounded.
inline void ReferenceColour(const RGBQUAD* t, double p, int rgb[3])
{
    int i = (int)p, j = (i + 1) % 252;
    double f = p - i;
    rgb[0] = (int)floor(t[i].rgbRed + f * (t[j].rgbRed - t[i].rgbRed) + 0.5);
    rgb[1] = (int)floor(t[i].rgbGreen + f * (t[j].rgbGreen - t[i].rgbGreen) + 0.5);
    rgb[2] = (int)floor(t[i].rgbBlue + f * (t[j].rgbBlue - t[i].rgbBlue) + 0.5);
}
