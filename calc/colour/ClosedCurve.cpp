// Loading a knot list into a spline as a curve that closes on itself over
// a period (the palette's 252 entries, the alpha channel's 400), the table
// shift of an offset and the deviation of a knot on such a curve. Shared by
// the palette rebuild and simplification and their alpha-channel twins.
#include "calc/colour/ClosedCurve.h"

#include <math.h>

#include "animation/Spline.h"
#include "foundation/CurveKnot.h"

void LoadClosedCurve(Spline* s, const NodeList& list, int smooth, double period)
{
    int n = list.Count();
    int pad = n == 1 ? 0 : 2;
    s->SetKind(smooth ? SPLINE_CUBIC : SPLINE_LINEAR);
    if (n == 0) {
        s->SetCount(1);
        s->X()[0] = 0;
        s->Y()[0] = 0;
        return;
    }
    s->SetCount(n + 2 * pad);
    double* x = s->X();
    double* y = s->Y();
    int i = pad;
    for (const ListNode* k = list.GetHead(); k; k = k->next, i++) {
        x[i] = AsKnot(k)->x;
        y[i] = AsKnot(k)->y;
    }
    if (pad) {
        const CurveKnot* last = AsKnot(list.GetTail());
        const CurveKnot* beforeLast = n > 1 ? AsKnot(last->prev) : last;
        const CurveKnot* first = AsKnot(list.GetHead());
        const CurveKnot* second = n > 1 ? AsKnot(first->next) : first;
        x[0] = beforeLast->x - period; y[0] = beforeLast->y;
        x[1] = last->x - period;       y[1] = last->y;
        x[n + 2] = first->x + period;  y[n + 2] = first->y;
        x[n + 3] = second->x + period; y[n + 3] = second->y;
    }
}

int TableShift(double offset, int period)
{
    if (!isfinite(offset))
        return 0;
    double shift = fmod(trunc(offset + 0.5), (double)period);
    return shift < 0 ? (int)shift + period : (int)shift;
}

double WrapDeviation(const NodeList& list, const ListNode* node, double period)
{
    const CurveKnot* k = AsKnot(node);
    const CurveKnot* p = AsKnot(node->prev ? node->prev : list.GetTail());
    const CurveKnot* s = AsKnot(node->next ? node->next : list.GetHead());
    double px = node->prev ? p->x : p->x - period;
    double sx = node->next ? s->x : s->x + period;
    if (sx == px)
        return fabs(k->y - p->y);
    return fabs(k->y - (p->y + (k->x - px) / (sx - px) * (s->y - p->y)));
}
