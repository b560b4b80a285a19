#pragma once
#include <stddef.h>

// Small routines shared by many parts of the program: number text for edit
// fields, a prefix test, a sign, colour packing and rectangle corners.

// Room FormatNumber needs in its output when no size is given. The number of
// decimals is limited to 30, so fixed-point text of any value up to 1E+20 in
// magnitude (at most 21 digits, sign, point and decimals) and the exponent
// form both fit.
const size_t FORMAT_NUMBER_SIZE = 64;
const int FORMAT_NUMBER_MAX_DECIMALS = 30;

// Writes a double as editable text: "%.<decimals>lf" for values within
// +-1E+20 with trailing zeros (and a trailing point) removed, "%.<decimals>lg"
// beyond, as the Windows C runtime prints it (three-digit exponents such as
// "1.5e+025"). "-0" becomes "0". Decimals are limited to 0..30. The first
// form needs FORMAT_NUMBER_SIZE bytes in out; the second writes at most
// outSize bytes including the terminating NUL (text that does not fit is cut).
void FormatNumber(double value, char* out, int decimals);
void FormatNumber(double value, char* out, int decimals, size_t outSize);

// True when text begins with prefix.
bool StartsWith(const char* text, const char* prefix);

// -1.0, 0.0 or 1.0 by the sign of x; 0.0 for NaN.
double SignOf(double x);

// Packs three bytes b0, b1, b2 as b0 * 65536 + b1 * 256 + b2, i.e. 0xRRGGBB
// for red, green, blue.
unsigned int RgbFromBytes(const unsigned char* bytes);

// Orders the corners of a box so that x1 <= x2 and y1 >= y2: the first
// corner gets the smaller x and the larger y.
void OrderCorners(int& x1, int& y1, int& x2, int& y2);
