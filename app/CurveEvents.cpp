// The curve editors' glue. A drag takes the selected knots out of the list,
// moves each in pixels, wraps (cyclic editors) and clamps it between its
// limits, and puts it back in x order, nudged off any knot at the same x
// so two knots never share a position. Only the band of the plot the curve
// changed in is repainted: the spans around the moved knots before and
// after the move.
#include "app/CurveEvents.h"

#include <math.h>
#include <stdio.h>

#include <vector>

#include "calc/colour/AlphaChannelWindow.h"
#include "calc/colour/ColorModels.h"
#include "calc/colour/Palette.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "foundation/CurveKnot.h"

CurveEditorWindows g_CurveEditorWindows;

namespace {

Fractal* CurrentFractal()
{
    return CurrentFolder != NULL ? CurrentFolder->currentFractal : NULL;
}

int PaletteChannel(const CurveEditor* editor)
{
    int channel = editor->controlId - PALETTE_CHANNEL_EDITOR;
    return channel >= 0 && channel < 3 ? channel : -1;
}

double Offset(const CurveEditor& editor)
{
    return editor.xOffset != NULL ? *editor.xOffset : 0.0;
}

double Span(double a, double b)
{
    return b != a ? b - a : 1.0;
}

int Slot(const CurveEditor& editor, double x)
{
    int slot = (int)floor((x - editor.minimum) * 255.0 / Span(editor.minimum, editor.maximum) + 0.5);
    return slot < 0 ? 0 : slot > 255 ? 255 : slot;
}

void MarkSpan(CurveBand* band, const CurveEditor& editor, double from, double to)
{
    for (int s = Slot(editor, from); s <= Slot(editor, to); s++)
        band->marked[s] = true;
}

// The span from the knot's left neighbour to its right one; in cyclic
// editors the neighbours of the ends are the other ends across the seam.
void MarkAround(CurveBand* band, const CurveEditor& editor, const CurveKnot* knot)
{
    const CurveKnot* prev = AsKnot(knot->prev);
    const CurveKnot* next = AsKnot(knot->next);
    double from = prev != NULL ? prev->x : editor.minimum;
    double to = next != NULL ? next->x : editor.maximum;
    if (editor.cyclic && prev == NULL)
        MarkSpan(band, editor, AsKnot(editor.knots->GetTail())->x, editor.maximum);
    if (editor.cyclic && next == NULL)
        MarkSpan(band, editor, editor.minimum, AsKnot(editor.knots->GetHead())->x);
    MarkSpan(band, editor, from, to);
}

bool EqualsAnother(const CurveEditor& editor, const CurveKnot* knot)
{
    for (ListNode* n = editor.knots->GetHead(); n != NULL; n = n->next)
        if (n != knot && AsKnot(n)->x == knot->x)
            return true;
    return false;
}

double Wrap(double x, double period)
{
    if (x >= -0.5 && x < 0)
        return 0;
    x = fmod(floor(x + 0.5), period);
    return x < 0 ? x + period : x;
}

void InsertInOrder(NodeList* knots, CurveKnot* knot)
{
    for (ListNode* n = knots->GetHead(); n != NULL; n = n->next)
        if (AsKnot(n)->x > knot->x) {
            knots->InsertBefore(knot, n);
            return;
        }
    knots->Append(knot);
}

std::string Format(const char* format, double value)
{
    char text[32];
    snprintf(text, sizeof text, format, value);
    return text;
}

std::string FormatInt(int value)
{
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    return text;
}

CurveKnot* SelectedKnot(const CurveEditor* editor)
{
    for (ListNode* n = editor->knots->GetHead(); n != NULL; n = n->next)
        if (AsKnot(n)->selected)
            return AsKnot(n);
    return NULL;
}

int Round(double v)
{
    return (int)floor(v + 0.5);
}

}  // namespace

double CurveXToPixel(const CurveEditor& e, double x)
{
    return (x - e.minimum) * (e.width - 1) / Span(e.minimum, e.maximum);
}

double CurveYToPixel(const CurveEditor& e, double y)
{
    return (e.yMaximum - y) * (e.height - 1) / Span(e.yMinimum, e.yMaximum);
}

double CurvePixelToX(const CurveEditor& e, double px)
{
    return e.minimum + px * Span(e.minimum, e.maximum) / (e.width > 1 ? e.width - 1 : 1);
}

double CurvePixelToY(const CurveEditor& e, double py)
{
    return e.yMaximum - py * Span(e.yMinimum, e.yMaximum) / (e.height > 1 ? e.height - 1 : 1);
}

void CurveBand::Mark(const CurveEditor& editor)
{
    if (editor.knots->Count() <= 1) {
        for (bool& m : marked)
            m = true;
        return;
    }
    const CurveKnot *leftmost = NULL, *rightmost = NULL;
    for (ListNode* n = editor.knots->GetHead(); n != NULL; n = n->next)
        if (AsKnot(n)->selected) {
            if (leftmost == NULL)
                leftmost = AsKnot(n);
            rightmost = AsKnot(n);
        }
    if (leftmost == NULL)
        return;
    MarkAround(this, editor, leftmost);
    MarkAround(this, editor, rightmost);
}

bool CurveBand::Extent(const CurveBand& other, int* low, int* high) const
{
    *low = 256;
    *high = -1;
    for (int s = 0; s < 256; s++)
        if (marked[s] || other.marked[s]) {
            if (*low > s)
                *low = s;
            *high = s;
        }
    return *high >= 0;
}

void MoveSelectedKnots(CurveEditor& editor, int dx, int dy, bool moveY, CurveBand* before, CurveBand* after)
{
    *before = CurveBand{};
    *after = CurveBand{};
    before->Mark(editor);
    // Limits from the unselected neighbours, taken before any knot leaves.
    std::vector<CurveKnot*> moving;
    for (ListNode* n = editor.knots->GetHead(); n != NULL; n = n->next) {
        CurveKnot* knot = AsKnot(n);
        if (!knot->selected)
            continue;
        knot->minX = editor.minimum - 1;
        knot->maxX = editor.maximum;
        if (editor.ordered) {
            for (ListNode* p = knot->prev; p != NULL; p = p->prev)
                if (!AsKnot(p)->selected) {
                    knot->minX = AsKnot(p)->x;
                    break;
                }
            for (ListNode* q = knot->next; q != NULL; q = q->next)
                if (!AsKnot(q)->selected) {
                    knot->maxX = AsKnot(q)->x;
                    break;
                }
        }
        moving.push_back(knot);
    }
    for (CurveKnot* knot : moving)
        editor.knots->Remove(knot);

    double offset = Offset(editor);
    for (CurveKnot* knot : moving) {
        double x = CurvePixelToX(editor, CurveXToPixel(editor, knot->x + offset) + dx) - offset;
        if (moveY) {
            double y = CurvePixelToY(editor, CurveYToPixel(editor, knot->y) + dy);
            knot->y = y < editor.yMinimum ? editor.yMinimum : y > editor.yMaximum ? editor.yMaximum : y;
        }
        if (editor.cyclic && editor.period > 0)
            x = Wrap(x, editor.period);
        knot->x = x < knot->minX ? knot->minX : x > knot->maxX ? knot->maxX : x;
        InsertInOrder(editor.knots, knot);
        double nudge = dx > 0 ? -1.0 : 1.0;
        while (EqualsAnother(editor, knot)) {
            editor.knots->Remove(knot);
            knot->x += nudge;
            if (editor.cyclic && editor.period > 0)
                knot->x = Wrap(knot->x, editor.period);
            InsertInOrder(editor.knots, knot);
        }
    }
    after->Mark(editor);
}

CurveKnot* CreateCurvePoint(CurveEditor* editor, double x, double y)
{
    Fractal* fractal = CurrentFractal();
    if (editor == NULL || fractal == NULL)
        return NULL;
    int channel = PaletteChannel(editor);
    if (channel >= 0) {
        Palette& palette = fractal->palette;
        CurveKnot* knot = palette.InsertKnot(channel, x, y);
        if (knot == NULL)
            return NULL;
        if (palette.selectedKnot[channel] != NULL)
            palette.selectedKnot[channel]->selected = 0;
        knot->selected = 1;
        palette.selectedKnot[channel] = knot;
        PaletteEditorView* view = g_CurveEditorWindows.paletteView != NULL ? g_CurveEditorWindows.paletteView() : NULL;
        if (view != NULL)
            view->ApplyPaletteChange();
        else
            palette.Rebuild();
        return knot;
    }
    if (editor->controlId == ALPHA_CURVE_EDITOR && g_CurveEditorWindows.alphaViews != NULL)
        return AddAlphaPoint(g_CurveEditorWindows.alphaViews(), x, y);
    return NULL;
}

void CurveMouseMoved(CurveEditor* editor, double x, double y)
{
    // Only the height-spline editors show the value under the mouse, and
    // their display is not part of the program yet.
    (void)editor;
    (void)x;
    (void)y;
}

void RecomputeEditorCurve(CurveEditor* editor, int dx, int dy)
{
    Fractal* fractal = CurrentFractal();
    if (editor == NULL)
        return;
    int channel = PaletteChannel(editor);
    std::vector<CurveEditor*> editors;
    if (channel >= 0 && fractal != NULL && fractal->palette.knotmode == KNOTMODE_ALL &&
        g_CurveEditorWindows.paletteEditor != NULL) {
        for (int c = 0; c < 3; c++)
            if (CurveEditor* e = g_CurveEditorWindows.paletteEditor(c))
                editors.push_back(e);
    } else {
        editors.push_back(editor);
    }
    std::vector<CurveBand> before(editors.size()), after(editors.size());
    for (size_t i = 0; i < editors.size(); i++)
        MoveSelectedKnots(*editors[i], dx, dy, editors[i] == editor, &before[i], &after[i]);

    if (channel >= 0 && fractal != NULL) {
        if (PaletteEditorView* view = g_CurveEditorWindows.paletteView != NULL ? g_CurveEditorWindows.paletteView() : NULL)
            view->ApplyPaletteChange();
        else
            fractal->palette.Rebuild();
    } else if (editor->controlId == ALPHA_CURVE_EDITOR && g_CurveEditorWindows.alphaViews != NULL) {
        RefreshAlphaChannel(g_CurveEditorWindows.alphaViews(), fractal, false, true);
    } else if ((editor->controlId == HEIGHT_SPLINE_EDITOR || editor->controlId == HEIGHT_SPLINE_EDITOR_3D) &&
               g_CurveEditorWindows.redrawPlot != NULL) {
        g_CurveEditorWindows.redrawPlot(editor);
    }

    if (g_CurveEditorWindows.redrawStrip == NULL)
        return;
    for (size_t i = 0; i < editors.size(); i++) {
        int low, high;
        if (!before[i].Extent(after[i], &low, &high))
            continue;
        const CurveEditor& e = *editors[i];
        double range = e.maximum - e.minimum;
        int left = (int)floor(CurveXToPixel(e, e.minimum + low * range / 255.0));
        int right = (int)ceil(CurveXToPixel(e, e.minimum + high * range / 255.0));
        g_CurveEditorWindows.redrawStrip(editors[i], left, right);
    }
}

void ShowCurveSelection(CurveEditor* editor)
{
    Fractal* fractal = CurrentFractal();
    if (editor == NULL || !editor->current || fractal == NULL || g_CurveEditorWindows.showFields == NULL)
        return;
    CurveKnot* knot = SelectedKnot(editor);
    if (knot == NULL)
        return;
    CurveFields fields{};
    fields.position = FormatInt(Round(knot->x));
    int channel = PaletteChannel(editor);
    if (channel >= 0) {
        if (g_CurveEditorWindows.redrawPalettePreviews != NULL)
            g_CurveEditorWindows.redrawPalettePreviews();
        const Palette& palette = fractal->palette;
        int index = Round(palette.offset) + Round(knot->x);
        if (index > PALETTE_SIZE - 1)
            index -= PALETTE_SIZE;
        if (index < 0 || index >= PALETTE_SIZE)
            return;
        const RGBQUAD& colour = palette.colorTable[index];
        fields.swatch = RGB(colour.rgbRed, colour.rgbGreen, colour.rgbBlue);
        fields.red = FormatInt(colour.rgbRed);
        fields.green = FormatInt(colour.rgbGreen);
        fields.blue = FormatInt(colour.rgbBlue);
        double samples[3] = {palette.modelValues[0][index], palette.modelValues[1][index],
                             palette.modelValues[2][index]};
        if (palette.colormodel == CM_RGB) {
            double rgb[3] = {samples[0], samples[1], samples[2]};
            RgbToModel(CM_HSV, rgb, samples);
        }
        for (int c = 0; c < 3; c++)
            fields.samples[c] = Format("%.0lf", samples[c]);
    } else if (editor->controlId == ALPHA_CURVE_EDITOR) {
        const AlphaChannel& alpha = fractal->alphaChannel;
        int period = editor->period > 0 ? (int)editor->period : ALPHA_TABLE_SIZE;
        int index = (Round(alpha.offset) + Round(knot->x)) % period;
        if (index < 0)
            index += period;
        if (index >= ALPHA_TABLE_SIZE)
            return;
        fields.grey = alpha.alphaTable[index];
        fields.value = FormatInt(fields.grey);
    } else {
        return;
    }
    g_CurveEditorWindows.showFields(editor->controlId, fields);
}
