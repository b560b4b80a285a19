#pragma once
#include <cstdarg>
#include <cstddef>

// Formats text with the Windows C runtime's own formatter (msvcrt), the one
// the program's files and edit fields are written in: "%g" and "%e" print
// three-digit exponents there ("1.5e+025"). The C++ runtime of this
// compiler routes printf and snprintf to a replacement that prints two
// digits, so every text that carries numbers for a file or a control is
// formatted here. The result is always terminated and cut to size; returns
// the length written, or -1 when the text had to be cut.
int CrtFormat(char* out, size_t size, const char* format, ...) __attribute__((format(ms_printf, 3, 4)));
int CrtFormatV(char* out, size_t size, const char* format, va_list args);
