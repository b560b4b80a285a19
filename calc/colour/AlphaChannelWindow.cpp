// The alpha channel's window glue: the analyzer's grey ramp, the preview
// strip (greys on deep displays, colour-cube indices on 8-bit ones), the
// menu check, the refresh after an edit and the click that adds a point.
// Only escape-time fractals use their alpha channel, so only they are
// resampled and recalculated.
#include "calc/colour/AlphaChannelWindow.h"
#include "document/Undo.h"

#include <math.h>
#include <string.h>

#include "calc/DisplayPalette.h"
#include "calc/colour/Palette.h"
#include "compiler/CompileHost.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"

AlphaDisplayRamp g_AlphaDisplayRamp;

namespace {

bool IsEscapeTime(const Fractal* fractal)
{
    return fractal && fractal->header && fractal->header->Type == FT_ESCAPETIME;
}

// The colour-cube index of grey a (its top four bits in all three channels).
uint8_t GreyIndex(int a)
{
    return DitherLookup()[(a >> 4) * 273];
}

}  // namespace

void SetupAlphaDisplayPalette()
{
    AlphaDisplayRamp& ramp = g_AlphaDisplayRamp;
    memset(&ramp, 0, sizeof ramp);
    ramp.bits = ScreenDepth <= 8 ? 8 : 24;
    for (int i = 0; i < 256; i++) {
        if (ramp.bits == 8) {
            ramp.indices[i] = GreyIndex(i);
        } else {
            ramp.greys[i][0] = ramp.greys[i][1] = ramp.greys[i][2] = (uint8_t)i;
        }
    }
    if (ramp.bits == 8 && ColorCubePalette) {
        memcpy(ramp.colours, ColorCubePalette->colorTable, sizeof ramp.colours);
        for (RGBQUAD& c : ramp.colours)
            c.rgbReserved = 0;
    }
}

void UpdateAlphaMenuCheck(AlphaChannelViews* views)
{
    Fractal* fractal = views ? views->ShownFractal() : nullptr;
    if (!IsEscapeTime(fractal))
        return;
    views->CheckMenuItem(ALPHA_MENU_MOVE_POINTS, fractal->alphaChannel.dragknotmode == 1);
}

void BuildAlphaStrip(AlphaChannelViews* views, Fractal* fractal)
{
    if (!views || !fractal || !views->IsOpen())
        return;
    int widest = views->MaxPlotWidth();
    if (views->strip.empty() && widest > 0)
        views->strip.assign((size_t)widest * 3, 0);
    int w = views->PlotWidth();
    if (w > widest)
        w = widest;
    if (w < 0)
        w = 0;
    views->stripWidth = w;
    const uint8_t* table = fractal->alphaChannel.alphaTable;
    bool eightBit = ScreenDepth <= 8;
    for (int c = 0; c < w; c++) {
        int entry = (int)((double)c / w * ALPHA_TABLE_SIZE + 0.5);
        if (entry > ALPHA_TABLE_SIZE - 1)
            entry = ALPHA_TABLE_SIZE - 1;
        uint8_t a = table[entry];
        if (eightBit) {
            views->strip[c] = GreyIndex(a);
        } else {
            uint8_t* pixel = &views->strip[3 * c];
            pixel[0] = pixel[1] = pixel[2] = a;
        }
    }
}

void RefreshAlphaChannel(AlphaChannelViews* views, Fractal* fractal, bool redraw, bool recalculate)
{
    if (!IsEscapeTime(fractal))
        return;
    fractal->alphaChannel.Resample();
    BuildAlphaStrip(views, fractal);
    if (redraw && views) {
        views->RedrawPlot();
        views->InvalidateStrips();
    }
    if (recalculate)
        fractal->Recalculate();
}

CurveKnot* AddAlphaPoint(AlphaChannelViews* views, double x, double y)
{
    Fractal* fractal = views ? views->ShownFractal() : nullptr;
    if (!fractal)
        return nullptr;
    AlphaChannel& channel = fractal->alphaChannel;
    CurveKnot* point = channel.InsertPoint(trunc(x + 0.5), trunc(y + 0.5));
    if (channel.selectedPoint)
        channel.selectedPoint->selected = 0;
    point->selected = 1;
    channel.selectedPoint = point;
    if (IsEscapeTime(fractal))
        RefreshAlphaChannel(views, fractal, true, true);
    views->ShowSelection();
    views->RedrawPlot();
    AddUndoStep(fractal, "Alpha Channel changed");
    return point;
}
