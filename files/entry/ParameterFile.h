// Putting an entry into a parameter file on disk: the check of an existing
// file before an entry is added (odd bytes, broken structure, an entry of
// the same name), and the writing itself, replacing exactly one entry or
// appending, through a temporary file so that a failed write never leaves
// the file cut short.
#pragma once

#include <string>

// Result bits of CheckParameterFile.
enum {
    PF_NOT_TEXT = 1,       // bytes outside text
    PF_BROKEN = 2,         // not in the entry format
    PF_NAME_EXISTS = 4,    // an entry of the wanted name: *start, *end
    PF_MISSING = 8,        // the file cannot be read (returned alone)
};

// Examines the file at path; *start and *end receive the offsets of the
// first entry named entryName (from its name to its closing brace) when
// bit PF_NAME_EXISTS is set. Braces and ';' inside quoted values belong to
// the value.
int CheckParameterFile(const char* path, const char* entryName, int* start, int* end);
// The same over text already read.
int CheckParameterText(const std::string& text, const char* entryName, int* start, int* end);

// How PlaceEntryInFile adds the entry.
enum EntryPlacement {
    EP_CREATE,   // a new file: a line break and the entry
    EP_APPEND,   // at the end: a line break and the entry
    EP_REPLACE,  // the text from start to end (inclusive) becomes the entry
};
// Writes the file anew with entryText placed as asked. The new text goes
// to a temporary file beside it, which then replaces the file; ask is the
// write-protection question of OpenWritableFile. False when the file could
// not be read or written; the file is then as it was.
bool PlaceEntryInFile(const char* path, const std::string& entryText, EntryPlacement placement, int start, int end,
                      int ask);

// One entry of a parameter text: from the end of the previous one (from)
// to its closing brace, found as the reader finds them (outside ';'
// comments and quoted values). False when no complete entry follows.
struct EntryRange {
    int begin;   // where the entry's text starts (the previous end)
    int open;    // its '{'
    int close;   // its '}'
};
bool NextEntryRange(const char* text, int from, EntryRange* range);

// The whole content of a file (binary), false when it cannot be read.
bool ReadWholeFile(const char* path, std::string& text);
