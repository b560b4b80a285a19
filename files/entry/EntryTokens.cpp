// Tokens are runs of non-blanks, where double quotes protect blanks; the
// searches track quotes and ';' comments in one forward pass each.
#include "files/entry/EntryTokens.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

namespace {

// Signed compare on purpose: bytes 0x80..0xFF are blanks in entry text.
bool IsBlank(char c)
{
    return (signed char)c <= ' ';
}

// The one tokenizer behind the three entry points. longForm turns line
// breaks inside quotes into a single blank; limit is the number of
// characters kept (the rest of the token is consumed and dropped).
int ScanToken(const char* text, int position, bool longForm, size_t limit, std::string& out)
{
    out.clear();
    if (text == NULL || position < 0)
        return -1;
    const char* p = text + position;
    while (*p != 0 && IsBlank(*p))
        p++;
    if (*p == 0)
        return -1;
    bool quoted = false;
    while (*p != 0) {
        char c = *p;
        if (c == '"')
            quoted = !quoted;
        if (!quoted && IsBlank(c))
            break;
        if (longForm && quoted && (c == '\r' || c == '\n')) {
            // CR LF and LF CR are one break.
            if ((p[1] == '\r' || p[1] == '\n') && p[1] != c)
                p++;
            c = ' ';
        }
        if (out.size() < limit)
            out += c;
        p++;
    }
    return (int)(p - text);
}

int CopyToken(const char* text, char* out, int position, bool longForm, size_t limit)
{
    std::string token;
    int next = ScanToken(text, position, longForm, limit, token);
    memcpy(out, token.c_str(), token.size() + 1);
    return next;
}

}  // namespace

int NextToken(const char* text, char* out, int position)
{
    return CopyToken(text, out, position, false, TOKEN_CAPACITY - 1);
}

int NextLongToken(const char* text, char* out, int position)
{
    return CopyToken(text, out, position, true, LONG_TOKEN_CAPACITY - 1);
}

int NextWholeToken(const char* text, char** out, int position)
{
    std::string token;
    int next = ScanToken(text, position, true, (size_t)-1, token);
    *out = (char*)malloc(token.size() + 1);
    if (*out != NULL)
        memcpy(*out, token.c_str(), token.size() + 1);
    return next;
}

const char* FindUnquoted(const char* text, char ch)
{
    if (text == NULL)
        return NULL;
    bool quoted = false;
    for (const char* p = text; *p != 0; p++) {
        if (*p == ch && !quoted)
            return p;
        if (*p == '"')
            quoted = !quoted;
    }
    return NULL;
}

namespace {

// Walks text outside quotes and ';' comments, calling visit for every
// character there; stops at the first character visit accepts.
template <class Visit>
const char* WalkCode(const char* text, Visit visit)
{
    if (text == NULL)
        return NULL;
    bool quoted = false;
    bool comment = false;
    for (const char* p = text; *p != 0; p++) {
        char c = *p;
        if (comment) {
            if (c == '\r' || c == '\n')
                comment = false;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == ';') {
            comment = true;
            continue;
        }
        if (visit(c))
            return p;
    }
    return NULL;
}

}  // namespace

const char* FindUncommentedUnquoted(const char* text, char ch)
{
    return WalkCode(text, [ch](char c) { return c == ch; });
}

const char* FindClosingBrace(const char* text)
{
    int depth = 0;
    return WalkCode(text, [&depth](char c) {
        if (c == '{') {
            depth++;
        } else if (c == '}' && depth > 0) {
            if (--depth == 0)
                return true;
        }
        return false;
    });
}

const char* FindCharAtTopLevel(const char* text, char ch)
{
    int depth = 0;
    return WalkCode(text, [&depth, ch](char c) {
        if (c == ch && depth == 0)
            return true;
        if (c == '{')
            depth++;
        else if (c == '}' && depth > 0)
            depth--;
        return false;
    });
}

void ReplaceAll(char* text, const char* pattern, const char* replacement)
{
    size_t patternLength = strlen(pattern);
    size_t replacementLength = strlen(replacement);
    if (patternLength == 0)
        return;
    for (char* hit = strstr(text, pattern); hit != NULL; hit = strstr(text, pattern)) {
        memmove(hit + replacementLength, hit + patternLength, strlen(hit + patternLength) + 1);
        memcpy(hit, replacement, replacementLength);
    }
}

void LookupKeywordOrNumber(const char* word, const char* const* table, int* value, int* kind)
{
    for (int i = 0; table != NULL && table[i] != NULL; i++) {
        if (strcasecmp(word, table[i]) == 0) {
            *value = i;
            *kind = 1;
            return;
        }
    }
    int number;
    if (sscanf(word, "%d", &number) == 1) {
        *value = number;
        *kind = 2;
        return;
    }
    *kind = 0;
}

int LookupKeyword(const char* word, const char* const* table)
{
    int value = 0;
    int kind = 0;
    LookupKeywordOrNumber(word, table, &value, &kind);
    return kind == 0 ? 0 : value;
}
