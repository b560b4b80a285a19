// What the reader learns of an entry before it parses the items: the name
// in front of the brace (with an optional [FOLDER]. prefix) and the type,
// subtype and form that a first pass over the body's tokens settles.
#pragma once

#include <string>

// The name before the opening brace at text[brace]: from the last
// character above a blank back to the nearest control character (blanks
// belong to the name, a byte from 0x80 up ends it); "No name" when there is
// none. With folder, a name "[FOLDER].NAME" is split into the folder and
// NAME (at most 63 characters).
std::string EntryNameBeforeBrace(const char* text, int brace, std::string* folder);

struct EntryTypeScan {
    int type = -2;          // entry type number; -1 for a Fractint entry
    int subtype = 0;
    bool fractint = false;  // RESET or a Fractint type name
    bool layered = false;   // the layered form of other programs' files
    bool compressed = false;
    bool unknownType = false;
    std::string typeName;     // Type= value as read (upper case)
    std::string formulaFile;  // FORMULAFILE= (upper case), older entries
    std::string formulaName;  // FORMULANAME=
};

// Scans body (from the opening brace) up to the closing brace. An unknown
// Type= value sets unknownType and stops; otherwise a missing type is
// "Mandel" (3) and a missing subtype 0, and a Fractint entry has type and
// subtype -1.
EntryTypeScan ScanEntryType(const char* body);
