// The alpha channel record: its defaults, copy, the resampling of the
// 400-entry alpha table from the control points, closed over the table like
// the palette's curves, and the thinning out of the points (Reorganize).
#include "calc/colour/AlphaChannel.h"

#include <string.h>

#include <map>

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

CurveKnot* AlphaChannel::InsertPoint(double x, double y)
{
    ListNode* before = points.GetHead();
    while (before && !(AsKnot(before)->x > x))
        before = before->next;
    CurveKnot* p = new CurveKnot(x, y);
    points.InsertBefore(p, before);
    return p;
}

// Deviations are measured once per pass and kept while the pass removes
// points, so a point is judged against its neighbours' first measure.
int AlphaChannel::Simplify(double tolerance)
{
    int total = 0;
    for (;;) {
        if (points.Count() <= 2)
            break;
        std::map<const ListNode*, double> deviation;
        for (const ListNode* p = points.GetHead(); p; p = p->next)
            deviation[p] = WrapDeviation(points, p, ALPHA_TABLE_SIZE);
        auto before = [this](const ListNode* p) { return p->prev ? p->prev : points.GetTail(); };
        auto after = [this](const ListNode* p) { return p->next ? p->next : points.GetHead(); };
        int removed = 0;
        ListNode* p = points.GetHead();
        while (p && points.Count() > 1) {
            ListNode* next = p->next;
            double d = deviation[p];
            bool remove = d < tolerance;
            const ListNode* q = p;
            const ListNode* r = p;
            for (int step = 0; step < 2 && remove; step++) {
                q = before(q);
                r = after(r);
                if (deviation[q] < d || deviation[r] < d)
                    remove = false;
            }
            if (remove) {
                if (selectedPoint == p) {
                    ListNode* successor = p->next ? p->next : points.GetHead();
                    selectedPoint = successor == p ? nullptr : AsKnot(successor);
                    if (selectedPoint)
                        selectedPoint->selected = 1;
                }
                points.Remove(p);
                delete p;
                removed++;
            }
            p = next;
        }
        total += removed;
        if (removed == 0)
            break;
    }
    return total;
}
