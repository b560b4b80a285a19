// The palette's knot operations behind the editor and its menus: thinning
// the knots out (Reorganize), setting a knot from the present colour or one
// component of it in another model, and aligning the three channels when
// the palette switches to one knot per position for all channels.
// They change the knots only; the editor, when there is one, repaints.
#include "calc/colour/Palette.h"

#include <math.h>

#include "calc/colour/ClosedCurve.h"
#include "calc/colour/ColorModels.h"

namespace {

// Table entry of a knot position: the offset's shift plus the position,
// taken modulo 252 (offsets from files may be negative, huge or NaN).
int EntryOf(double offset, double x)
{
    double entry = (double)TableShift(offset, PALETTE_SIZE) + (isfinite(x) ? trunc(x) : 0);
    entry = fmod(entry, (double)PALETTE_SIZE);
    return entry < 0 ? (int)entry + PALETTE_SIZE : (int)entry;
}

// A knot of a new channel list made from one at the same position; its
// value is set from the present colour by the caller.
CurveKnot* MadeKnot(const CurveKnot* from)
{
    CurveKnot* k = new CurveKnot(*from);
    k->selected = 0;
    return k;
}

}  // namespace

void SetKnotFromColor(CurveKnot* knot, int component, const Palette& palette)
{
    if (!knot || component < 0 || component > 2)
        return;
    const RGBQUAD& e = palette.colorTable[EntryOf(palette.offset, knot->x)];
    double rgb[3] = { (double)e.rgbRed, (double)e.rgbGreen, (double)e.rgbBlue };
    double model[3] = { rgb[0], rgb[1], rgb[2] };
    RgbToModel(palette.colormodel, rgb, model);
    knot->y = model[component];
}

void Palette::RemoveKnot(int channel, ListNode* knot)
{
    if (selectedKnot[channel] == knot) {
        ListNode* successor = knot->next ? knot->next : knots[channel].GetHead();
        selectedKnot[channel] = successor == knot ? nullptr : AsKnot(successor);
        if (selectedKnot[channel])
            selectedKnot[channel]->selected = 1;
    }
    knots[channel].Remove(knot);
    delete knot;
}

// Knot mode all: one deviation per position (the largest of its three
// knots), the smallest removed from all lists while below the tolerance.
int Palette::SimplifyInStep(double tolerance)
{
    int removed = 0;
    for (;;) {
        int n = knots[0].Count();
        for (int c = 1; c < 3; c++)
            if (knots[c].Count() < n)
                n = knots[c].Count();
        if (n < 3)
            break;
        ListNode* at[3] = { knots[0].GetHead(), knots[1].GetHead(), knots[2].GetHead() };
        int best = -1;
        double bestDeviation = INFINITY;
        for (int i = 0; i < n; i++) {
            double deviation = 0;
            for (int c = 0; c < 3; c++)
                deviation = fmax(deviation, WrapDeviation(knots[c], at[c], PALETTE_SIZE));
            if (deviation < bestDeviation) {
                bestDeviation = deviation;
                best = i;
            }
            for (ListNode*& node : at)
                node = node->next;
        }
        if (best < 0 || !(bestDeviation < tolerance))
            break;
        for (int c = 0; c < 3; c++)
            RemoveKnot(c, knots[c].GetAt(best));
        removed++;
    }
    return removed;
}

int Palette::SimplifyChannel(int channel, double tolerance)
{
    int removed = 0;
    NodeList& list = knots[channel];
    while (list.Count() >= 3) {
        ListNode* best = nullptr;
        double bestDeviation = INFINITY;
        for (ListNode* k = list.GetHead(); k; k = k->next) {
            double deviation = WrapDeviation(list, k, PALETTE_SIZE);
            if (deviation < bestDeviation) {
                bestDeviation = deviation;
                best = k;
            }
        }
        if (!best || !(bestDeviation < tolerance))
            break;
        RemoveKnot(channel, best);
        removed++;
    }
    return removed;
}

int Palette::Simplify(double tolerance)
{
    if (knotmode == KNOTMODE_ALL)
        return SimplifyInStep(tolerance);
    int removed = 0;
    for (int c = 0; c < 3; c++)
        removed += SimplifyChannel(c, tolerance);
    return removed;
}

void Palette::SetKnotComponent(PaletteEditorView* editor, int component, int model, CurveKnot* knot,
                               double value)
{
    if (!knot || component < 0 || component > 2)
        return;
    int index = -1;
    for (int c = 0; c < 3 && index < 0; c++)
        index = knots[c].IndexOf(knot);
    if (index < 0)
        return;
    // The knot's entry, rounded as the editor shows the knot.
    int pos = EntryOf(offset, knot->x + 0.5);
    double current[3] = { modelValues[0][pos], modelValues[1][pos], modelValues[2][pos] };
    double seen[3], changed[3];
    ConvertColorModel(colormodel, model, current, seen);
    seen[component] = value;
    ConvertColorModel(model, colormodel, seen, changed);

    if (knotmode == KNOTMODE_ALL) {
        for (int c = 0; c < 3; c++) {
            ListNode* k = knots[c].GetAt(index);
            if (k)
                AsKnot(k)->y = changed[c];
        }
    } else {
        double x = knot->x;
        for (int c = 0; c < 3; c++) {
            if (!(fabs(current[c] - changed[c]) > 0.3))
                continue;
            CurveKnot* found = nullptr;
            for (ListNode* k = knots[c].GetHead(); k; k = k->next) {
                if (fabs(AsKnot(k)->x - x) <= 0.1) {
                    found = AsKnot(k);
                    break;
                }
                if (AsKnot(k)->x > x)
                    break;
            }
            if (found) {
                found->y = changed[c];
                continue;
            }
            for (ListNode* k = knots[c].GetHead(); k; k = k->next)
                AsKnot(k)->selected = 0;
            CurveKnot* added = InsertKnot(c, x, changed[c]);
            if (added) {
                added->selected = 1;
                selectedKnot[c] = added;
            }
            if (editor)
                editor->RedrawChannel(c);
        }
    }
    if (editor)
        editor->ApplyPaletteChange();
    else
        Rebuild();
}

// A three-way merge of the sorted channel lists: wherever one channel has
// a knot the others lack, they get one valued from the present colour.
void Palette::AlignKnots(PaletteEditorView* editor)
{
    if (knotmode != KNOTMODE_ALL)
        return;
    ListNode* at[3] = { knots[0].GetHead(), knots[1].GetHead(), knots[2].GetHead() };
    auto make = [this](int channel, const ListNode* from) {
        CurveKnot* k = MadeKnot(AsKnot(from));
        SetKnotFromColor(k, channel, *this);
        return k;
    };
    while (at[0] || at[1] || at[2]) {
        const ListNode* source = at[0] ? at[0] : at[1] ? at[1] : at[2];
        for (int c = 0; c < 3; c++)
            if (!at[c]) {
                at[c] = make(c, source);
                knots[c].Append(at[c]);
            }
        // Each pair in turn: the larger cursor gets a knot at the smaller
        // position inserted before it, so all three end on the smallest.
        static const int kPairs[3][2] = { { 0, 1 }, { 0, 2 }, { 1, 2 } };
        for (const auto& pair : kPairs) {
            int lo = pair[0], hi = pair[1];
            double xlo = AsKnot(at[lo])->x, xhi = AsKnot(at[hi])->x;
            if (xlo < xhi) {
                CurveKnot* k = make(hi, at[lo]);
                knots[hi].InsertBefore(k, at[hi]);
                at[hi] = k;
            } else if (xlo > xhi) {
                CurveKnot* k = make(lo, at[hi]);
                knots[lo].InsertBefore(k, at[lo]);
                at[lo] = k;
            }
        }
        for (ListNode*& node : at)
            node = node->next;
    }
    for (int c = 0; c < 3; c++) {
        if (selectedKnot[c])
            selectedKnot[c]->selected = 0;
        selectedKnot[c] = AsKnot(knots[c].GetHead());
        if (selectedKnot[c])
            selectedKnot[c]->selected = 1;
        if (editor)
            editor->RedrawChannel(c);
    }
}
