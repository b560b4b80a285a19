// The palette record: construction, copying, knot insertion and the
// rebuild of the 252-entry colour table from the three channel curves.
// The rebuild closes each curve on itself (two knots copied past each end,
// shifted by 252) so that the gradient wraps without a seam, and takes hue
// channels the short way round the colour circle.
#include "calc/colour/Palette.h"

#include <math.h>
#include <string.h>

#include "animation/Spline.h"
#include "calc/colour/ClosedCurve.h"
#include "calc/colour/ColorModels.h"

namespace {

bool IsHueModel(int model) { return model == CM_HSV || model == CM_HSL; }

// Truncated toward zero; NaN gives 0.
inline uint8_t ToByte(double v)
{
    return !(v > 0) ? 0 : v >= 255 ? 255 : (uint8_t)v;
}

inline double Clamp255(double v)
{
    return !(v > 0) ? 0 : v > 255 ? 255 : v;
}

// Neighbouring hue knots never differ by more than 180 degrees, so the
// curve takes the shorter way about the colour circle.
void UnwrapHues(Spline* s)
{
    double* y = s->Y();
    for (int k = 1; k < s->GetCount(); k++) {
        if (!isfinite(y[k]) || !isfinite(y[k - 1]))
            continue;
        while (y[k] - y[k - 1] > 180)
            y[k] -= 360;
        while (y[k] - y[k - 1] < -180)
            y[k] += 360;
    }
}

void SelectKnot(CurveKnot*& slot, CurveKnot* knot)
{
    slot = knot;
    if (knot)
        knot->selected = 1;
}

}  // namespace

// Into 0 <= h < 360; a hue that is not finite becomes 0.
static double WrapHue(double h)
{
    if (!isfinite(h))
        return 0;
    h = fmod(h, 360.0);
    return h < 0 ? h + 360 : h;
}

void Palette::InitEmpty(const char* paletteName)
{
    SetName(paletteName);
    smooth = 0;
    colormodel = CM_RGB;
    knotmode = KNOTMODE_EACH;
    dragknotmode = 0;
    offset = 0;
    pendingIndex = 0;
    for (int c = 0; c < 3; c++)
        selectedKnot[c] = nullptr;
    memset(colorTable, 0, sizeof colorTable);
    for (RGBQUAD& e : colorTable)
        e.rgbReserved = 1;
    memset(modelValues, 0, sizeof modelValues);
}

void Palette::SetTable(const uint8_t rgb[][3])
{
    for (int i = 0; i < PALETTE_TABLE_SIZE; i++) {
        colorTable[i].rgbRed = rgb[i][0];
        colorTable[i].rgbGreen = rgb[i][1];
        colorTable[i].rgbBlue = rgb[i][2];
        colorTable[i].rgbReserved = 1;
    }
}

Palette::Palette()
{
    InitEmpty("Palette");
    for (int c = 0; c < 3; c++) {
        CurveKnot* k = new CurveKnot(0, 0);
        knots[c].Append(k);
        SelectKnot(selectedKnot[c], k);
    }
    Rebuild();
}

Palette::Palette(const Palette* other)
{
    InitEmpty(other ? other->name : "empty palette");
    if (!other) {
        for (int c = 0; c < 3; c++) {
            CurveKnot* k = new CurveKnot(0, 0);
            knots[c].Append(k);
            SelectKnot(selectedKnot[c], k);
        }
    } else {
        colormodel = other->colormodel;
        knotmode = other->knotmode;
        dragknotmode = other->dragknotmode;
        smooth = other->smooth;
        memcpy(colorTable, other->colorTable, sizeof colorTable);
        for (RGBQUAD& e : colorTable)
            e.rgbReserved = 1;
        CopyKnotsFrom(*other, false);
    }
    Rebuild();
}

Palette::Palette(const uint8_t rgb[][3], const uint8_t knotFlags[])
{
    InitEmpty("");
    SetTable(rgb);
    static const uint8_t kChannelBit[3] = { 4, 2, 1 };
    for (int i = 0; i < PALETTE_SIZE; i++)
        for (int c = 0; c < 3; c++)
            if (knotFlags[i] & kChannelBit[c])
                knots[c].Append(new CurveKnot(i, rgb[i][c]));
    for (int c = 0; c < 3; c++)
        SelectKnot(selectedKnot[c], AsKnot(knots[c].GetHead()));
    Rebuild();
}

Palette::Palette(const uint8_t rgb[][3])
{
    InitEmpty("Palette");
    if (rgb) {
        SetTable(rgb);
        for (int c = 0; c < 3; c++)
            for (int i = 0; i < PALETTE_SIZE; i++)
                knots[c].Append(new CurveKnot(i, rgb[i][c]));
    } else {
        for (int c = 0; c < 3; c++)
            knots[c].Append(new CurveKnot(0, 0));
    }
    for (int c = 0; c < 3; c++)
        SelectKnot(selectedKnot[c], AsKnot(knots[c].GetHead()));
    Rebuild();
}

Palette::~Palette()
{
    ClearKnots(-1);
}

void Palette::ClearKnots(int channel)
{
    for (int c = 0; c < 3; c++) {
        if (channel != -1 && channel != c)
            continue;
        knots[c].DeleteAllNodes();
        selectedKnot[c] = nullptr;
    }
}

void Palette::CopyKnotsFrom(const Palette& other, bool selectFirstWhenNone)
{
    for (int c = 0; c < 3; c++) {
        CurveKnot* sel = CopyKnotList(knots[c], other.knots[c], other.selectedKnot[c]);
        if (!sel && selectFirstWhenNone)
            sel = AsKnot(knots[c].GetHead());
        for (ListNode* k = knots[c].GetHead(); k; k = k->next)
            AsKnot(k)->selected = 0;
        SelectKnot(selectedKnot[c], sel);
    }
}

void Palette::CopyFrom(const Palette& other)
{
    if (&other == this)
        return;
    ClearKnots(-1);
    memcpy(colorTable, other.colorTable, sizeof colorTable);
    for (RGBQUAD& e : colorTable)
        e.rgbReserved = 1;
    CopyKnotsFrom(other, true);
    offset = other.offset;
    smooth = other.smooth;
    colormodel = other.colormodel;
    knotmode = other.knotmode;
    Rebuild();
}

CurveKnot* Palette::InsertKnot(int channel, double x, double y)
{
    if (channel < 0 || channel > 2)
        return nullptr;
    long long r = (long long)(x + 0.5);
    if (r < 0 || r >= PALETTE_SIZE)
        return nullptr;
    ListNode* before = nullptr;
    for (ListNode* k = knots[channel].GetHead(); k; k = k->next) {
        if (AsKnot(k)->x == (double)r)
            return nullptr;
        if (AsKnot(k)->x > (double)r) {
            before = k;
            break;
        }
    }
    CurveKnot* knot = new CurveKnot(x, y);
    knots[channel].InsertBefore(knot, before);
    return knot;
}

void Palette::Rebuild()
{
    Spline** splines = ChannelSplines();
    for (int c = 0; c < 3; c++) {
        if (!splines[c])
            return;
        LoadClosedCurve(splines[c], knots[c], smooth, PALETTE_SIZE);
    }
    bool hue = IsHueModel(colormodel);
    if (hue && splines[0]->GetCount() > 1)
        UnwrapHues(splines[0]);
    int shift = TableShift(offset, PALETTE_SIZE);
    for (int c = 0; c < 3; c++)
        splines[c]->Compute(SPLINE_END_NATURAL);

    for (int i = 0; i < PALETTE_SIZE; i++) {
        double v[3];
        for (int c = 0; c < 3; c++)
            v[c] = splines[c]->Evaluate(i);
        v[0] = hue ? WrapHue(v[0]) : Clamp255(v[0]);
        v[1] = Clamp255(v[1]);
        v[2] = Clamp255(v[2]);
        int j = (i + shift) % PALETTE_SIZE;
        for (int c = 0; c < 3; c++)
            modelValues[c][j] = v[c];
        double rgb[3] = { 0, 0, 0 };
        ModelToRgb(colormodel, v, rgb);
        colorTable[j].rgbRed = ToByte(rgb[0]);
        colorTable[j].rgbGreen = ToByte(rgb[1]);
        colorTable[j].rgbBlue = ToByte(rgb[2]);
        colorTable[j].rgbReserved = 1;
    }
}
