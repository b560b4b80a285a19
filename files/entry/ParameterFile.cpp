// The structure check walks the bytes as a small state machine: between
// entries, in a name, after a name, in a body. Quotes and ';' comments are
// honoured in bodies so a quoted '}' does not end one early, and only the
// first entry of the wanted name is reported, so a replacement never
// swallows the entries between two of the same name.
#include "files/entry/ParameterFile.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "files/entry/EntryTokens.h"
#include "formulas/FormulaEdit.h"

bool ReadWholeFile(const char* path, std::string& text)
{
    FILE* f = fopen(path, "rb");
    if (f == NULL)
        return false;
    text.clear();
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

namespace {

bool IsTextByte(unsigned char c)
{
    return c == '\t' || c == '\n' || c == '\r' || c >= 0x20;
}

bool HasOddBytes(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && IsTextByte((unsigned char)text[i]))
        i++;
    if (i == text.size())
        return false;
    if (text[i] != 0)
        return true;
    // Trailing NUL padding is tolerated; anything after it is not.
    for (; i < text.size(); i++)
        if (text[i] != 0)
            return true;
    return false;
}

std::string TrimmedName(const std::string& text, size_t from, size_t to)
{
    std::string name = text.substr(from, to - from);
    while (!name.empty() && ((unsigned char)name.back() == ' ' || (unsigned char)name.back() > 0x7F))
        name.pop_back();
    return name;
}

}  // namespace

int CheckParameterText(const std::string& text, const char* entryName, int* start, int* end)
{
    enum State { BETWEEN, NAME, AFTER_NAME, BODY } state = BETWEEN;
    int flags = HasOddBytes(text) ? PF_NOT_TEXT : 0;
    bool broken = false;
    bool found = false;     // the wanted entry's name was seen
    bool finished = false;  // ... and its closing brace
    bool matching = false;  // the current entry has the wanted name
    bool quoted = false;
    bool comment = false;
    size_t nameStart = 0;
    int lineBreaks = 0;
    // The text ends at its first NUL (padding after it was judged above).
    size_t length = strnlen(text.c_str(), text.size());
    for (size_t i = 0; i <= length && !broken; i++) {
        unsigned char c = i < length ? (unsigned char)text[i] : 0;
        switch (state) {
        case BETWEEN:
            if (c == ';') {
                while (i + 1 < length && text[i + 1] != '\n')
                    i++;
            } else if (c == '\t' || c == '\n' || c == '\r' || c == ' ') {
            } else if (c == '{') {
                matching = false;
                state = BODY;
            } else if (c > 0x20) {
                nameStart = i;
                state = NAME;
            } else if (c != 0 || i < length) {
                broken = true;
            }
            break;
        case NAME:
            if (c >= 0x20 && c != '(' && c != '{')
                break;
            if (c == '(' || c == '{' || c == '\t' || c == '\n' || c == '\r') {
                matching = !found && strcasecmp(TrimmedName(text, nameStart, i).c_str(), entryName) == 0;
                if (matching) {
                    found = true;
                    if (start)
                        *start = (int)nameStart;
                }
                state = AFTER_NAME;
                lineBreaks = 0;
                i--;  // look at it again
            } else {
                broken = true;
            }
            break;
        case AFTER_NAME:
            // One line break may stand between a name and its brace; a
            // second one (an empty line) breaks the format.
            if (c == '\t' || c == ' ') {
            } else if (c == '(') {
                while (i < length && text[i] != ')')
                    i++;
            } else if (c == '{') {
                quoted = false;
                comment = false;
                state = BODY;
            } else if ((c == '\n' || c == '\r') && ++lineBreaks <= 1) {
            } else {
                broken = true;
            }
            break;
        case BODY:
            if (comment) {
                if (c == '\n' || c == '\r')
                    comment = false;
            } else if (c == '"') {
                quoted = !quoted;
            } else if (quoted) {
            } else if (c == ';') {
                comment = true;
            } else if (c == '}') {
                if (matching && !finished) {
                    finished = true;
                    if (end)
                        *end = (int)i;
                }
                matching = false;
                state = BETWEEN;
            }
            break;
        }
    }
    if (broken || state != BETWEEN)
        flags |= PF_BROKEN;
    if (finished)
        flags |= PF_NAME_EXISTS;
    return flags;
}

int CheckParameterFile(const char* path, const char* entryName, int* start, int* end)
{
    std::string text;
    if (!ReadWholeFile(path, text))
        return PF_MISSING;
    // Text mode: the file's CR LF pairs are one line feed to the offsets.
    std::string crlfFree;
    crlfFree.reserve(text.size());
    for (size_t i = 0; i < text.size(); i++)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            crlfFree += text[i];
    return CheckParameterText(crlfFree, entryName, start, end);
}

bool PlaceEntryInFile(const char* path, const std::string& entryText, EntryPlacement placement, int start, int end,
                      int ask)
{
    std::string old;
    if (placement != EP_CREATE) {
        if (!ReadWholeFile(path, old))
            return false;
        // Offsets are those of the text as read in text mode.
        std::string plain;
        for (size_t i = 0; i < old.size(); i++)
            if (!(old[i] == '\r' && i + 1 < old.size() && old[i + 1] == '\n'))
                plain += old[i];
        old.swap(plain);
    }
    std::string text;
    if (placement == EP_REPLACE) {
        if (start < 0 || end < start || (size_t)end >= old.size())
            return false;
        text = old.substr(0, start) + entryText + old.substr(end + 1);
    } else {
        text = old + "\n" + entryText;
    }
    if (!MakeFileWritable(path, ask))
        return false;
    std::string temporary = std::string(path) + ".~new";
    FILE* f = fopen(temporary.c_str(), "w");  // text mode: CR LF on disk
    if (f == NULL)
        return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = fclose(f) == 0 && ok;
    if (!ok || !MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

bool NextEntryRange(const char* text, int from, EntryRange* range)
{
    const char* open = FindUncommentedUnquoted(text + from, '{');
    if (open == NULL)
        return false;
    const char* close = FindUncommentedUnquoted(open + 1, '}');
    if (close == NULL)
        return false;
    range->begin = from;
    range->open = (int)(open - text);
    range->close = (int)(close - text);
    return true;
}
