// The layer record: its defaults and the copy a layered fractal's copy
// makes of each of its layers.
#include "document/Layer.h"

#include <string.h>

const char* const g_MergeModeFileNames[] = {
    "Normal", "Multiply", "Screen",     "Overlay", "SoftLight", "HardLight", "Darken",      "Lighten", "Difference", "Hue",
    "Saturation", "Color", "Luminance", "Addition", "Subtraction", "hsladd", "Red", "Green", "Blue", nullptr};

Layer::Layer()
    : mergeMode(0), leftOffset(0), bottomOffset(0), opacity(100.0), opacityLevel(255),
      visible(1), autoUpdate(1), windowShown(1), autoZoom(1), usesAlpha(1), mask(0),
      fractal(nullptr)
{
}

Layer::Layer(const Layer& other) : Layer()
{
    CopyFieldsFrom(other);
    memcpy(name, other.name, sizeof name);
}

void Layer::CopyFieldsFrom(const Layer& other)
{
    mergeMode = other.mergeMode;
    leftOffset = other.leftOffset;
    bottomOffset = other.bottomOffset;
    opacity = other.opacity;
    opacityLevel = other.opacityLevel;
    visible = other.visible;
    autoUpdate = other.autoUpdate;
    windowShown = other.windowShown;
    autoZoom = other.autoZoom;
    usesAlpha = other.usesAlpha;
    mask = other.mask;
}
