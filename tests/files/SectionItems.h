// Reads written section text back the way the entry reader frame does:
// a token ending in ':' names the current section, every other token is a
// key=value item whose value loses one pair of surrounding quotes.
#pragma once

#include <string.h>

#include <functional>
#include <map>
#include <string>

#include "files/entry/EntryTokens.h"

// sections maps a header ("gradient:") to its section code; onHeader (may
// be empty) sees each header first; onItem gets the current code.
inline void ReadSectionItems(const std::string& text, const std::map<std::string, int>& sections,
                             const std::function<void(int, const char*, char*)>& onItem,
                             const std::function<void(int)>& onHeader = nullptr)
{
    char token[LONG_TOKEN_CAPACITY];
    int section = 0;
    for (int pos = 0; (pos = NextLongToken(text.c_str(), token, pos)) >= 0;) {
        size_t n = strlen(token);
        char* eq = strchr(token, '=');
        if (!eq && n && token[n - 1] == ':') {
            auto it = sections.find(token);
            section = it == sections.end() ? -1 : it->second;
            if (onHeader)
                onHeader(section);
            continue;
        }
        if (!eq)
            continue;
        *eq = 0;
        char* value = eq + 1;
        size_t len = strlen(value);
        if (len >= 2 && value[0] == '"' && value[len - 1] == '"') {
            value[len - 1] = 0;
            ++value;
        }
        onItem(section, token, value);
    }
}
