// A knot list as a spline curve that closes on itself over a period, and
// the shift an offset gives a table of that period: the palette and the
// alpha channel both sample their curves this way.
#pragma once

class NodeList;
class Spline;

// Fills s with the knots of list (CurveKnot, ascending x) and the given
// kind. With more than one knot the last two come first, shifted down by one
// period, and the first two last, shifted up, so the curve has no seam. A
// list without knots gives a flat zero curve.
void LoadClosedCurve(Spline* s, const NodeList& list, int kind, double period);

// trunc(offset + 0.5) taken modulo period, into 0..period-1.
int TableShift(double offset, int period);
