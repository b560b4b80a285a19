// Computes the predefined variables of an escape-time calculation from the
// fractal's arbitrary-precision view, its header and its escape-time block
// and writes them into a data block at the runtime-block offsets. Doubles
// are taken from the corners through their 80-digit text; the slots of
// 80-bit values get the same doubles widened.
#include "calc/escapetime/PredefinedVariables.h"

#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "calc/FractalTask.h"
#include "calc/escapetime/PixelRoutine.h"
#include "compiler/FormulaSymbol.h"
#include "compiler/NoiseTables.h"
#include "compiler/Predefined.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "foundation/Util.h"
#include "foundation/bignum/BigNumber.h"

bool (*g_RenderJobAntiAliasing)(const Fractal* fractal, int* threeByThree, int* depth) = nullptr;

double AntiAliasingScale(int threeByThree, int depth)
{
    double factor = threeByThree ? 3.0 : 2.0;
    double scale = 1.0;
    for (int i = 0; i < depth; ++i)
        scale *= factor;
    return scale;
}

namespace {

const double kE = 2.718281828;
const double kPi = 3.1415926535;

// Gives the symbol of that name (when the list has one) a value.
void SetSymbol(NodeList* symbols, const char* name, double re, double im = 0.0)
{
    if (!symbols)
        return;
    FormulaSymbol* s = static_cast<FormulaSymbol*>(symbols->Find(name));
    if (!s)
        return;
    s->value[0] = re;
    s->value[1] = im;
}

void SetFloat(uint8_t* base, int offset, float value)
{
    memcpy(base + offset, &value, 4);
}

void SetExtended(uint8_t* base, int offset, double value)
{
    SetRuntimeExtended(base, offset, (long double)value);
}

void SetComplexExtended(uint8_t* base, int offset, double re, double im)
{
    SetExtended(base, offset, re);
    SetExtended(base, offset + 16, im);
}

void WriteColouring(uint8_t* base, int offset, const ColouringSettings& s)
{
    ColouringBlock b;
    b.speed = (float)s.Density;
    b.accel = (float)s.Accel;
    b.smooth = (float)s.Smooth;
    b.offset = (float)s.Offset;
    b.repeat = s.WrapAround;
    b.mapping = s.Mapping;
    b.solidColor = (int32_t)RgbFromBytes(s.SolidColor);
    b.solidOpacity = s.SolidOpacity;
    memcpy(base + offset, &b, sizeof b);
}

void* Kernel32Export(const char* name)
{
    HMODULE kernel = LoadLibraryA("kernel32.dll");
    return kernel ? reinterpret_cast<void*>(GetProcAddress(kernel, name)) : nullptr;
}

}  // namespace

void BindPredefinedVariables(Fractal* fractal, EscapetimeParameters* block, uint8_t* base, NodeList* symbols)
{
    if (!fractal || !block || !base || !fractal->header)
        return;
    const FractalHeader& header = *fractal->header;

    double scale = 1.0;
    int threeByThree = 0, depth = 0;
    if (g_RenderJobAntiAliasing && g_RenderJobAntiAliasing(fractal, &threeByThree, &depth))
        scale = AntiAliasingScale(threeByThree, depth);
    // A 24-bit image through an image filter is calculated at the filter's
    // step, whatever a render job asks.
    const bool filtered = header.DisplayDepth == 24 && header.ImageFilter;
    const double calcWidth = filtered ? (double)header.FilterStep * header.Width : header.Width * scale;
    const double calcHeight = filtered ? (double)header.FilterStep * header.Height : header.Height * scale;

    WriteSmallIntConstants(base);
    void* virtualAlloc = Kernel32Export("VirtualAlloc");
    void* virtualFree = Kernel32Export("VirtualFree");
    memcpy(base + RT_VIRTUALALLOC, &virtualAlloc, 4);
    memcpy(base + RT_VIRTUALFREE, &virtualFree, 4);

    const BigNumber half("0.5");
    const double centerRe = ((block->TopLeftR + block->BottomRightR) * half).ToDouble();
    const double centerIm = ((block->TopLeftI + block->BottomRightI) * half).ToDouble();
    SetComplexExtended(base, RT_CENTER, centerRe, centerIm);
    const float angle = (float)(block->Angle * (-kPi) / 180.0);
    SetFloat(base, RT_ANGLE, angle);
    const double rotRe = block->RotateX / 100.0, rotIm = block->RotateY / 100.0;
    SetComplexExtended(base, RT_ROTATION_CENTER, rotRe, rotIm);
    SetExtended(base, RT_E, kE);
    SetExtended(base, RT_PI, kPi);
    SetFloat(base, RT_SCREENMAX, (float)calcWidth);
    SetFloat(base, RT_SCREENMAX + 4, (float)calcHeight);
    SetRuntimeInt(base, RT_MAXITER, block->MaxIter);
    const double left = block->TopLeftR.ToDouble(), top = block->TopLeftI.ToDouble();
    const double right = block->BottomRightR.ToDouble(), bottom = block->BottomRightI.ToDouble();
    SetComplexExtended(base, RT_CORNER_LEFTTOP, left, top);
    SetComplexExtended(base, RT_CORNER_RIGHTBOTTOM, right, bottom);

    SetSymbol(symbols, "center", centerRe, centerIm);
    SetSymbol(symbols, "angle", angle);
    SetSymbol(symbols, "rotation_center", rotRe, rotIm);
    SetSymbol(symbols, "e", kE);
    SetSymbol(symbols, "pi", kPi);
    SetSymbol(symbols, "screenmax", (float)calcWidth, (float)calcHeight);
    SetSymbol(symbols, "scrnmax", (float)calcWidth, (float)calcHeight);
    SetSymbol(symbols, "maxiter", block->MaxIter);
    SetSymbol(symbols, "maxit", block->MaxIter);
    SetSymbol(symbols, "corner_lefttop", left, top);
    SetSymbol(symbols, "corner_rightbottom", right, bottom);

    // magn 1 for the default view: 4 across, or 3 high when the image is
    // wider than 4:3.
    const BigNumber spanRe = block->BottomRightR - block->TopLeftR;
    const BigNumber spanIm = block->BottomRightI - block->TopLeftI;
    const double ratio = header.Width ? (double)header.Height / (double)header.Width : 0.0;
    const double magn = ratio < 0.75 ? 3.0 / spanIm.Abs().ToDouble() : 4.0 / spanRe.Abs().ToDouble();
    SetExtended(base, RT_MAGN, magn);
    const int width = (int)(calcWidth + 0.5), height = (int)(calcHeight + 0.5);
    SetRuntimeInt(base, RT_WIDTH, width);
    SetRuntimeInt(base, RT_HEIGHT, height);
    SetExtended(base, RT_INDEX, 0.0);
    SetRuntimeInt(base, RT_NUMITER, 0);
    const double randomRe = rand() / 32767.0;
    const double randomIm = rand() / 32767.0;
    SetComplexExtended(base, RT_RANDOM, randomRe, randomIm);
    SetFloat(base, RT_SCREENPIXEL, 0.0f);
    SetFloat(base, RT_SCREENPIXEL + 4, 0.0f);
    SetRuntimeInt(base, RT_SOLID, 0);
    SetRuntimeInt(base, RT_WHITESQ, 0);
    SetFloat(base, RT_X, 0.0f);
    SetFloat(base, RT_Y, 0.0f);
    SetExtended(base, RT_RANDOMRANGE, 2147483648.0);
    // Every once flag set: each init_once runs for the first pixel.
    for (int offset = RT_ONCE_FORMULA; offset <= RT_ONCE_LAST; offset += 4)
        SetRuntimeInt(base, offset, -1);

    SetSymbol(symbols, "magn", magn);
    SetSymbol(symbols, "width", width);
    SetSymbol(symbols, "height", height);
    SetSymbol(symbols, "randomrange", 2147483648.0);

    WriteColouring(base, RT_OUTSIDE_SETTINGS, block->outsideColouring);
    WriteColouring(base, RT_INSIDE_SETTINGS, block->insideColouring);

    const void* colourTable = fractal->task ? fractal->task->dib.colors : nullptr;
    const void* permutation = PerlinPermutationTable();
    const void* gradients = PerlinGradientTable();
    const void* none = nullptr;   // the compiler has only the two noise tables
    memcpy(base + RT_COLORTABLE, &colourTable, 4);
    memcpy(base + RT_PERLIN_P, &permutation, 4);
    memcpy(base + RT_PERLIN_G3, &gradients, 4);
    memcpy(base + RT_NOISE_TABLE3, &none, 4);
    memcpy(base + RT_NOISE_TABLE4, &none, 4);

    SetFloat(base, RT_UF_SKEW, 0.0f);
    // The vertical over the horizontal size of a pixel.
    float stretch = 0.0f;
    if (spanRe.Sign() != 0 && header.Width > 0 && header.Height > 0) {
        const BigNumber perRow = spanIm.Divide(BigNumber(header.Height), 40);
        const BigNumber perColumn = spanRe.Divide(BigNumber(header.Width), 40);
        stretch = (float)perRow.Divide(perColumn, 40).Abs().ToDouble();
    }
    SetFloat(base, RT_UF_STRETCH, stretch);
}

void BindPredefinedVariablesForCompiler(CompileHost* host, uint8_t* base, NodeList* symbols)
{
    Fractal* fractal = dynamic_cast<Fractal*>(host);
    if (!fractal || !fractal->header || fractal->header->Type != FT_ESCAPETIME)
        return;
    BindPredefinedVariables(fractal, static_cast<EscapetimeParameters*>(fractal->typeParameters), base, symbols);
}

void InstallPredefinedVariableBinder()
{
    g_BindPredefinedVariables = &BindPredefinedVariablesForCompiler;
}
