// The knot of an editable curve: palette channels, alpha-channel points,
// the 3D height curve and animation curves all keep their knots as these
// list nodes, ordered by ascending x. It lives beside the list container
// because the colouring, the 3D view and the curve editor all share it.
#pragma once

#include "foundation/List.h"

class CurveKnot : public ListNode {
public:
    CurveKnot();                        // (0, 0), not selected
    CurveKnot(double x, double y);      // not selected
    // A fresh node with the other's x, y and selected flag; the drag state
    // (saved values and bounds) starts cleared.
    CurveKnot(const CurveKnot& other);

    // Displayed position of the knot. Without wrap x + offset; with wrap
    // x + offset rounded to the nearest integer, less one period when the
    // sum reaches the period.
    double ShiftedX(double offset, bool wrap, double period) const;

    double x;
    double y;
    double savedX, savedY;      // x and y when a drag or key move started
    double minX, maxX;          // bounds a move may place the knot within
    uint8_t selected;
};

// The knot of list node n (null stays null). Lists of knots hold only
// CurveKnot nodes.
inline CurveKnot* AsKnot(ListNode* n) { return static_cast<CurveKnot*>(n); }
inline const CurveKnot* AsKnot(const ListNode* n) { return static_cast<const CurveKnot*>(n); }

// Appends deep copies of the knots of source to target, in order. Returns
// the copy of sourceSelected (null when it is not among source's knots).
CurveKnot* CopyKnotList(NodeList& target, const NodeList& source, const CurveKnot* sourceSelected);
