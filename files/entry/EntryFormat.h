// Item text of parameter entries, printed by the Windows C runtime's
// formatter (CrtFormat) so that numbers read as the program's files always
// did ("%g" exponents with three digits).
#pragma once

#include <string>

std::string EntryFormat(const char* format, ...) __attribute__((format(ms_printf, 1, 2)));

// The value in format when that text reads back as the same value ("%.0lf"
// of 12 gives "12"), else with 15 significant digits ("%.15lg"), so that
// formats with few digits lose nothing.
std::string ExactNumber(const char* format, double value);

// Values read into bytes and colour components, clamped into 0..255 (256
// becomes 255, not 0).
inline int ClampByte(int value)
{
    return value < 0 ? 0 : value > 255 ? 255 : value;
}
inline double ClampComponent(double value)
{
    return value < 0.0 ? 0.0 : value > 255.0 ? 255.0 : value;
}

// The text with blanks and tabs around it removed.
std::string TrimmedNumber(const char* text);

// A decimal integer (leading blanks and a sign allowed, the rest of the text
// ignored), clamped to the 32-bit range. False when no digit starts it.
bool ReadIntValue(const char* text, int* out);
// A real number as "%lf" reads it; false when none starts the text.
bool ReadRealValue(const char* text, double* out);

// "yes" or "no", as entries write switches.
inline const char* YesNo(int flag)
{
    return flag ? "yes" : "no";
}
