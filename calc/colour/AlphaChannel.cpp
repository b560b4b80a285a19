// The alpha channel record: its defaults, copy and the resampling of the
// 400-entry alpha table from the control points, closed over the table like
// the palette's curves.
#include "calc/colour/AlphaChannel.h"

#include <string.h>

#include "animation/Spline.h"
#include "calc/colour/ClosedCurve.h"

AlphaChannel::AlphaChannel() : smooth(0), dragknotmode(0), offset(0), selectedPoint(nullptr), pendingIndex(0)
{
    memset(alphaTable, 255, sizeof alphaTable);
    for (float& v : alphaValues)
        v = 255.0f;
    CopyFrom(nullptr);
}

AlphaChannel::~AlphaChannel()
{
    Clear();
}

void AlphaChannel::Clear()
{
    points.DeleteAllNodes();
    selectedPoint = nullptr;
}

void AlphaChannel::CopyFrom(const AlphaChannel* other)
{
    if (other == this)
        return;
    if (!other) {
        SetName("empty alpha channel");
        memset(alphaTable, 255, sizeof alphaTable);
        CurveKnot* p = new CurveKnot(0, 255.0);
        points.Append(p);
        p->selected = 1;
        selectedPoint = p;
        return;
    }
    SetName(other->name);
    dragknotmode = other->dragknotmode;
    smooth = other->smooth;
    memcpy(alphaTable, other->alphaTable, sizeof alphaTable);
    CurveKnot* sel = CopyKnotList(points, other->points, other->selectedPoint);
    if (sel)
        selectedPoint = sel;
}

void AlphaChannel::Resample()
{
    Spline* s = ChannelSplines()[0];
    if (!s)
        return;
    if (points.IsEmpty()) {
        // Nothing to interpolate: fully opaque, as a new channel.
        memset(alphaTable, 255, sizeof alphaTable);
        for (float& v : alphaValues)
            v = 255.0f;
        return;
    }
    LoadClosedCurve(s, points, smooth, ALPHA_TABLE_SIZE);
    int shift = TableShift(offset, ALPHA_TABLE_SIZE);
    s->Compute(SPLINE_END_NATURAL);
    for (int k = 0; k < ALPHA_TABLE_SIZE; k++) {
        float b = (float)s->Evaluate(k);
        if (!(b > 0))
            b = 0;
        else if (b > 255)
            b = 255;
        int j = (shift + k) % ALPHA_TABLE_SIZE;
        alphaValues[j] = b;
        alphaTable[j] = (uint8_t)b;
    }
}
