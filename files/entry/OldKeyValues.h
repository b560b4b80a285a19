// The escape-time side of the old and Fractint keys, shared by the
// base-key reader (BaseKeys.cpp dispatches) and FractintKeys.cpp (maps).
#pragma once

#include "files/entry/EntryFormat.h"

class Fractal;

// The keys that map onto the escape-time block and its formula slots:
// consumed (1) or handed back (0), with the same contract as ReadOldKeys.
// Called for every key that the header keys did not take.
int ReadFormulaKeys(Fractal* fractal, const char* key, char* value, int oldType, bool fractint);

// DisplayDepth= of an old escape-time entry: the smooth and solid switches
// of the converted colourings follow the depth.
void ApplyOldDisplayDepth(Fractal* fractal, int depth, int oldType);

// The escape-time forms of INVERT= and of a skewed CORNERS=: a new current
// transformation appended to the block's list.
void AddInversionTransformation(Fractal* fractal, double radius, double x, double y);
void AddSkewTransformation(Fractal* fractal, double xmag, double ymag);
