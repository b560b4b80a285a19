// The transparency curve of an escape-time fractal: control points
// (position 0..400, alpha 0..255) interpolated into a table of 400 alpha
// values that the colour mapping reads like the palette's colour table.
#pragma once

#include "foundation/CurveKnot.h"
#include "foundation/List.h"

enum { ALPHA_TABLE_SIZE = 400 };

class AlphaChannel : public ListNode {
public:
    // No points, smooth 0, offset 0, then CopyFrom(null): one point
    // (0, 255), table all 255.
    AlphaChannel();
    virtual ~AlphaChannel();

    AlphaChannel(const AlphaChannel&) = delete;
    AlphaChannel& operator=(const AlphaChannel&) = delete;

    // With other: name, dragknotmode, smooth, the byte table and copies of
    // its points appended (the copy of its selected point selected). Offset
    // and float values are not copied; callers Clear first. With null:
    // "empty alpha channel", table all 255, one point (0, 255) appended and
    // selected.
    void CopyFrom(const AlphaChannel* other);
    // Deletes all points and clears the selection.
    void Clear();
    // Recomputes the table and the float values from the points.
    void Resample();
    // A point at (x, y) before the first point with a larger x (after
    // equal ones). No resampling.
    CurveKnot* InsertPoint(double x, double y);
    // Removes, in passes, points closer than tolerance to the line through
    // their neighbours (the ends measured against their wrap neighbours
    // shifted by 400) that have no closer neighbour within two places;
    // two points stay. Returns the number removed. No resampling.
    int Simplify(double tolerance);

    int32_t smooth;         // 0 straight lines, any other value cubic ("smooth=yes" reads as 3)
    int32_t dragknotmode;   // 1 local, 0 global
    double offset;          // shift along the table, taken modulo 400
    CurveKnot* selectedPoint;
    NodeList points;        // CurveKnot, ascending x (0..400), y = alpha 0..255
    uint8_t alphaTable[ALPHA_TABLE_SIZE];   // 0 transparent .. 255 opaque
    float alphaValues[ALPHA_TABLE_SIZE];    // the table before truncation
    // The position an entry's reader keeps between an index item and the
    // alpha item that follows it; never copied.
    double pendingIndex;
};
