// A knot list as a spline curve that closes on itself over a period, the
// shift an offset gives a table of that period, and the distance of a knot
// from the line through its neighbours on that closed curve: the palette
// and the alpha channel both sample and simplify their curves this way.
#pragma once

class ListNode;
class NodeList;
class Spline;

// Fills s with the knots of list (CurveKnot, ascending x). Any non-zero
// smooth gives a cubic curve, 0 straight lines (files store "smooth=yes"
// as 3). With more than one knot the last two come first, shifted down by
// one period, and the first two last, shifted up, so the curve has no
// seam. A list without knots gives a flat zero curve.
void LoadClosedCurve(Spline* s, const NodeList& list, int smooth, double period);

// trunc(offset + 0.5) taken modulo period, into 0..period-1; an offset
// that is NaN or infinite counts as 0.
int TableShift(double offset, int period);

// |y - L(x)| of the knot node of list, with L the straight line through
// its predecessor and its successor. The first knot's predecessor is the
// last knot shifted down by the period and the last knot's successor the
// first shifted up, so the ends of a ramp are measured against the wrap
// they really have. Neighbours at the same position give |y - their y|.
double WrapDeviation(const NodeList& list, const ListNode* node, double period);
