// Reads image-filter files. The file walk is the parameter files' one
// (joined continuation lines, entries found outside comments and quotes,
// "comment" entries and names holding ':' skipped); each body goes through
// the long-token reader. Kernels the calculation could not apply (a side
// beyond the 10 x 10 the record holds, or too few values) are refused here
// with a message, so a broken file never yields a filter that reads
// values it does not have.
#include "files/ImageFilterFile.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#include "files/entry/ContinuedLines.h"
#include "files/entry/EntryHead.h"
#include "files/entry/EntryTokens.h"
#include "files/entry/ParameterFile.h"
#include "foundation/FileUtil.h"
#include "foundation/ImageFilter.h"
#include "foundation/List.h"
#include "foundation/Messages.h"
#include "foundation/Services.h"
#include "foundation/LogFile.h"

namespace {

void Refuse(const char* fileName, const char* name, const char* reason)
{
    std::string first = std::string("Image filter \"") + name + "\" in file " + (fileName ? fileName : "") +
                        " was not loaded.";
    const char* lines[] = {first.c_str(), reason, nullptr};
    AddMessage(lines, MSG_ERROR, 0, 0, 0, 0, 0, 0, false);
}

bool StartsWithNoCase(const char* text, const char* prefix)
{
    return _strnicmp(text, prefix, strlen(prefix)) == 0;
}

}  // namespace

ImageFilter* ReadImageFilters(const char* name, const char* text, int length, const char* fileName)
{
    std::string body(text, length);
    char token[LONG_TOKEN_CAPACITY];
    ImageFilter* filter = nullptr;
    bool values = false;
    int valueCount = 0;
    int side = 1;
    for (int at = NextLongToken(body.c_str(), token, 0); at >= 0; at = NextLongToken(body.c_str(), token, at)) {
        if (strcmp(token, "{") == 0 && !filter) {
            filter = new ImageFilter();
            filter->SetEntryName(name);
            filter->SetName(name);
            continue;
        }
        if (!filter)
            continue;
        if (strcmp(token, "}") == 0)
            break;
        if (values) {
            if (valueCount < ImageFilter::MAX_VALUES)
                filter->SetValue(valueCount, atof(token));
            valueCount++;
            continue;
        }
        if (StartsWithNoCase(token, "VALUES:")) {
            values = true;
            continue;
        }
        char* equals = strchr(token, '=');
        if (!equals)
            continue;
        *equals = 0;
        char* value = equals + 1;
        size_t valueLength = strlen(value);
        if (valueLength >= 2 && value[0] == '"' && value[valueLength - 1] == '"') {
            value[valueLength - 1] = 0;
            value++;
        }
        if (_stricmp(token, "NAME") == 0)
            filter->SetName(value);
        else if (_stricmp(token, "SIZE") == 0)
            side = atoi(value);
        else if (_stricmp(token, "DIVISOR") == 0)
            filter->SetDivisor(atof(value));
        else if (_stricmp(token, "BIAS") == 0)
            filter->SetBias(atof(value));
    }
    if (!filter)
        return nullptr;
    // An entry without values keeps the identity kernel whatever its size says.
    if (valueCount > 0 || side != 1) {
        if (side < 1 || side > ImageFilter::MAX_SIDE) {
            Refuse(fileName, name, "SIZE must be 1 to 10.");
            delete filter;
            return nullptr;
        }
        if (valueCount < side * side) {
            Refuse(fileName, name, "VALUES: holds fewer values than SIZE x SIZE.");
            delete filter;
            return nullptr;
        }
        filter->SetSide(side);
    }
    g_ImageFilters.Append(filter);
    return filter;
}

int LoadImageFilterFile(const char* directory, const char* fileName)
{
    std::string path;
    if (directory && *directory)
        path = directory;
    if (fileName && *fileName)
        path = path.empty() ? std::string(fileName) : path + "\\" + fileName;
    if (Services().log) {
        LogFile* log = Services().log();
        if (log)
            log->WriteJoined("Loading image filters from file ", path.c_str());
    }
    std::string text;
    if (!ReadWholeFile(path.c_str(), text) || text.empty())
        return 0;
    std::vector<char> joined(text.begin(), text.end());
    joined.push_back(0);
    JoinContinuedLines(joined.data());
    const char* all = joined.data();
    int loaded = 0;
    EntryRange range;
    for (int from = 0; NextEntryRange(all, from, &range); from = range.close + 1) {
        if (WorkerCancelState > 0)
            break;
        std::string name = EntryNameBeforeBrace(all, range.open, nullptr);
        if (_stricmp(name.c_str(), "comment") == 0 || name.find(':') != std::string::npos)
            continue;
        if (ReadImageFilters(name.c_str(), all + range.open, range.close - range.open + 1, path.c_str()))
            loaded++;
    }
    return loaded;
}
