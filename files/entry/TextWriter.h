// Lays out the items of a parameter entry: two blanks before the first item
// of a line, one blank between items, a line break before an item that
// would reach the width, and an item too long for any line cut into pieces
// that end in '\' (the reader joins them again, JoinContinuedLines).
#pragma once

#include <string>

#include <stdio.h>

class TextWriter {
public:
    explicit TextWriter(FILE* file, int width = 70) : file(file), column(0), width(width) {}

    // indent is 1 for every item of an entry.
    void WriteItem(const char* item, int indent = 1);
    void WriteItem(const std::string& item) { WriteItem(item.c_str()); }
    // A header line of its own ("dims:", "gradient:", ...).
    void WriteSection(const char* name);
    // Text that goes straight to the output (comment lines, the frame);
    // the column is left as it is.
    void WriteRaw(const char* text);

    FILE* file;
    int column;
    int width;
};
