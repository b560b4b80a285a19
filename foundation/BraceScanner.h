#pragma once

#include <string>

// Reads files of entries written as "name { ... }" (parameter files and
// their relatives) and hands each entry to a callback.

// name: the entry's name (at most BRACE_NAME_MAX characters); text: the
// entry's "{" inside the prepared file text; length: the number of characters
// from the "{" up to and including its "}". The text is freed when the scan
// ends, so a callback copies what it keeps.
typedef void (*BraceEntryCallback)(const char* name, const char* text, int length);

const int BRACE_NAME_MAX = 511;

// Scans the file at path and calls callback for every entry in file order,
// except entries named "comment" (any case) or whose name holds a ":".
// Before the scan the text is prepared line by line: leading blanks are
// dropped, blank lines vanish, and a line that ends in "\" (and holds no ";"
// outside double quotes) is joined with the next one. A "{" or "}" after a
// ";" on its line does not count; inside an entry nested braces are paired
// and braces in double quotes are text. A missing or empty file gives no
// callback. Returns the number of callbacks made. When problem is given it
// receives why the scan stopped short (a NUL byte, an entry without its
// closing brace), or is left empty.
int ScanBraceFile(const char* path, BraceEntryCallback callback, std::string* problem = nullptr);
