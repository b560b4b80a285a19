#include "foundation/ImageFilter.h"

#include <string.h>

ImageFilter::ImageFilter() : side(1), divisor(1.0), bias(0.0)
{
    memset(entryName, 0, sizeof(entryName));
    memset(values, 0, sizeof(values));
    values[0] = 1.0;
}

ImageFilter::~ImageFilter() {}

bool ImageFilter::SetSide(int newSide)
{
    if (newSide < 1 || newSide > MAX_SIDE)
        return false;
    side = newSide;
    return true;
}

bool ImageFilter::SetEntryName(const char* text)
{
    memset(entryName, 0, sizeof(entryName));
    if (!text)
        return true;
    size_t length = strlen(text);
    strncpy(entryName, text, ENTRY_NAME_MAX);
    return length <= (size_t)ENTRY_NAME_MAX;
}

double ImageFilter::GetValue(int index) const
{
    if (index < 0 || index >= MAX_VALUES)
        return 0.0;
    return values[index];
}

bool ImageFilter::SetValue(int index, double value)
{
    if (index < 0 || index >= MAX_VALUES)
        return false;
    values[index] = value;
    return true;
}

double ImageFilter::Apply(const double* samples) const
{
    double sum = 0.0;
    int n = side * side;
    for (int i = 0; i < n; i++)
        sum += values[i] * samples[i];
    return sum / EffectiveDivisor() + bias;
}

double ImageFilter::ApplyToChannel(const uint8_t* channel, int pixelStep, int rowStep) const
{
    double sum = 0.0;
    for (int r = 0; r < side; r++) {
        const uint8_t* row = channel + (intptr_t)r * rowStep;
        for (int c = 0; c < side; c++)
            sum += values[r * side + c] * row[(intptr_t)c * pixelStep];
    }
    return sum / EffectiveDivisor() + bias;
}
