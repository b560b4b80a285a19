// Value parsing shared by the base-key reader and the Fractint-key reader:
// numbers that clamp to their field's range and leave the field alone when
// the text is not a number, and the escape-time side of the old and
// Fractint keys (BaseKeys.cpp dispatches, FractintKeys.cpp maps).
#pragma once

class Fractal;

// A decimal integer (leading blanks and a sign allowed, the rest of the text
// ignored), clamped to the 32-bit range. False when no digit starts it.
bool ReadIntValue(const char* text, int* out);
// A real number as "%lf" reads it; false when none starts the text.
bool ReadRealValue(const char* text, double* out);

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
