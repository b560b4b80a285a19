// The index file ".slb" of a function library (written by
// FormulaNode::WriteIndexFile) and its reading for the compiler's import.
//
//   I:<entry name>                                  one per entry (class)
//   F:<decorated name>##<start>##<end>##<head>;     one per function of it
//   E:                                              last line
//
// Offsets count characters of the library read in text mode; start is the
// first character of the function's definition, end the closing brace of
// its body. The head is copied unchanged and may span lines.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// The index path of a library: the same drive, folder and base name with
// the extension ".slb". Cut to outSize - 1 characters.
void IndexFilePath(const char* libraryPath, char* out, size_t outSize);

// Reads the function lines of a class from an index file: skips to the
// first "I:" line whose text starts with className (without case, over the
// class name's length) and collects the "F:" lines after it up to the next
// line that starts a record of its own ("I:" or "E:"). A head that spans
// lines continues its "F:" line: the lines are joined with "\n", so each
// element is one whole function line without its final line end. Lines are
// read with up to 500 characters at a time. Returns -1 when the index
// cannot be opened, 0 when it does not list the class, 1 when it does.
int ReadIndexClass(const char* indexPath, const char* className, std::vector<std::string>* functions);

// Splits an index function line "F:name##start##end##declaration" into its
// parts; false when it is not of that form.
bool ParseIndexFunctionLine(const std::string& line, std::string* decoratedName, int* start, int* end,
                            std::string* declaration);
