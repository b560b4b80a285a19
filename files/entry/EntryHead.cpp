// The type scan reads the same tokens as the parser later does, but only
// looks for the few keys that decide how the rest is read.
#include "files/entry/EntryHead.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "files/entry/EntryTokens.h"
#include "files/entry/EntryTypeNames.h"

std::string EntryNameBeforeBrace(const char* text, int brace, std::string* folder)
{
    int end = brace - 1;
    while (end >= 0 && (signed char)text[end] <= ' ')
        end--;
    int start = end;
    while (start > 0 && (signed char)text[start - 1] >= ' ')
        start--;
    std::string name = end >= 0 ? std::string(text + start, end - start + 1) : std::string();
    if (name.empty())
        return "No name";
    if (folder != nullptr && name[0] == '[') {
        size_t close = name.find("].");
        if (close != std::string::npos) {
            *folder = name.substr(1, close - 1);
            name = name.substr(close + 2);
        }
    }
    if (name.size() > 63)
        name.resize(63);
    return name;
}

namespace {

std::string Upper(const char* text, size_t limit = std::string::npos)
{
    std::string out;
    for (const char* p = text; *p != 0 && out.size() < limit; p++)
        out += (char)toupper((unsigned char)*p);
    return out;
}

}  // namespace

EntryTypeScan ScanEntryType(const char* body)
{
    EntryTypeScan scan;
    bool typeKnown = false;
    bool subtypeKnown = false;
    char token[TOKEN_CAPACITY];
    int count = 0;
    for (int pos = NextToken(body, token, 0); pos >= 0; pos = NextToken(body, token, pos)) {
        count++;
        if (token[0] == '}')
            break;
        if (count == 2 && strncmp(token, "::", 2) == 0) {
            scan.compressed = true;
            scan.layered = true;
            scan.type = 15;
            typeKnown = true;
            break;
        }
        std::string upper = Upper(token);
        if (upper == "FRACTAL:" && count < 3) {
            scan.layered = true;
            scan.type = 15;
            typeKnown = true;
            break;
        }
        if (upper.compare(0, 5, "RESET") == 0)
            scan.fractint = true;
        // A formula parameter named "subtype" (p_subtype=, which the old
        // types' formulas have) is no subtype of the fractal: the key
        // counts where no name character stands before it.
        size_t sub = upper.find("SUBTYPE=");
        bool partOfName = sub != std::string::npos && sub > 0 &&
                          (isalnum((unsigned char)upper[sub - 1]) || upper[sub - 1] == '_');
        if (sub != std::string::npos && !partOfName) {
            long value = 0;
            if (sscanf(upper.c_str() + sub + 8, "%ld", &value) == 1) {
                scan.subtype = (int)value;
                subtypeKnown = true;
            }
        }
        if (upper.find("FORMULAFILE=") != std::string::npos && upper.size() > 12)
            scan.formulaFile = upper.substr(12, 63);
        if (upper.find("FORMULANAME=") != std::string::npos && upper.size() > 12)
            scan.formulaName = upper.substr(12, 63);
        if (upper.compare(0, 5, "TYPE=") == 0) {
            if (typeKnown)
                break;
            scan.typeName = upper.substr(5);
            int type = FindEntryType(scan.typeName.c_str());
            if (type >= 0) {
                scan.type = type;
                typeKnown = true;
            } else if (IsFractintType(scan.typeName.c_str())) {
                scan.fractint = true;
                typeKnown = true;
            } else {
                scan.unknownType = true;
                return scan;
            }
        }
    }
    if (scan.fractint) {
        scan.type = -1;
        scan.subtype = -1;
    } else {
        if (!typeKnown)
            scan.type = 3;
        if (!subtypeKnown)
            scan.subtype = 0;
    }
    return scan;
}
