// Knots of editable curves and the deep copy of a knot list that every
// owner of a curve (palette, alpha channel, height curve) needs.
#include "foundation/CurveKnot.h"

CurveKnot::CurveKnot()
    : x(0), y(0), savedX(0), savedY(0), minX(0), maxX(0), selected(0)
{
}

CurveKnot::CurveKnot(double x, double y)
    : x(x), y(y), savedX(0), savedY(0), minX(0), maxX(0), selected(0)
{
}

CurveKnot::CurveKnot(const CurveKnot& other)
    : ListNode(), x(other.x), y(other.y), savedX(0), savedY(0), minX(0), maxX(0),
      selected(other.selected)
{
}

double CurveKnot::ShiftedX(double offset, bool wrap, double period) const
{
    if (!wrap)
        return x + offset;
    double shifted = (double)(long long)(offset + 0.5) + x;
    if (shifted >= period)
        shifted -= period;
    return shifted;
}

CurveKnot* CopyKnotList(NodeList& target, const NodeList& source, const CurveKnot* sourceSelected)
{
    CurveKnot* selectedCopy = nullptr;
    for (const ListNode* n = source.GetHead(); n; n = n->next) {
        CurveKnot* copy = new CurveKnot(*AsKnot(n));
        copy->key = n->key;
        target.Append(copy);
        if (n == sourceSelected)
            selectedCopy = copy;
    }
    return selectedCopy;
}
