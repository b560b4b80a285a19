// Item text of parameter entries, printed by the Windows C runtime's
// formatter (CrtFormat) so that numbers read as the program's files always
// did ("%g" exponents with three digits).
#pragma once

#include <string>

std::string EntryFormat(const char* format, ...) __attribute__((format(ms_printf, 1, 2)));
