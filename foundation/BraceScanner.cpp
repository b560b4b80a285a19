#include "foundation/BraceScanner.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "foundation/TextSearch.h"

static bool IsBlank(char c)
{
    return (unsigned char)c <= ' ';
}

static bool IsControl(char c)
{
    return (unsigned char)c < ' ';
}

// True when the line holds a ';' outside double quotes.
static bool HasComment(const char* line, size_t len)
{
    bool quoted = false;
    for (size_t i = 0; i < len; i++) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ';' && !quoted)
            return true;
    }
    return false;
}

// Reads the whole file; CR LF pairs become LF as in a text-mode read.
// Answers null for a file that can't be opened or is empty.
static char* ReadRaw(const char* path, long* size)
{
    FILE* f = fopen(path, "rb");
    if (f == NULL)
        return NULL;
    long length = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        length = ftell(f);
    if (length < 1 || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return NULL;
    }
    char* raw = (char*)calloc((size_t)length + 1, 1);
    if (raw == NULL) {
        fclose(f);
        return NULL;
    }
    size_t got = fread(raw, 1, (size_t)length, f);
    fclose(f);
    size_t out = 0;
    for (size_t i = 0; i < got; i++) {
        if (raw[i] == '\r' && i + 1 < got && raw[i + 1] == '\n')
            continue;
        raw[out++] = raw[i];
    }
    raw[out] = 0;
    *size = length;
    return raw;
}

// Prepares the text line by line into buf (room for size + 10 bytes).
static void Prepare(const char* raw, char* buf, size_t room)
{
    size_t used = 0;
    const char* line = raw;
    while (*line) {
        const char* lf = strchr(line, '\n');
        size_t len = lf ? (size_t)(lf - line) : strlen(line);
        const char* next = lf ? lf + 1 : line + len;

        size_t start = 0;
        while (start < len && IsBlank(line[start]))
            start++;
        if (start < len) {
            size_t end = len;
            bool lineBreak = lf != NULL;
            if (!HasComment(line, len)) {
                size_t last = len;
                while (last > 0 && IsControl(line[last - 1]))
                    last--;
                if (last > 0 && line[last - 1] == '\\') {
                    end = last - 1;
                    lineBreak = false;
                }
            }
            size_t n = end - start;
            if (n > room - 1 - used)
                n = room - 1 - used;
            memcpy(buf + used, line + start, n);
            used += n;
            if (lineBreak && used < room - 1)
                buf[used++] = '\n';
        }
        line = next;
    }
    buf[used] = 0;
}

// The name of the entry whose "{" is at brace: the text of the line that
// holds the last non-blank character before the brace, from the line's start
// up to that character.
static void EntryName(const char* buf, const char* brace, char* name)
{
    const char* end = brace;
    while (end > buf && IsBlank(end[-1]))
        end--;
    if (end == buf) {
        strcpy(name, "No name");
        return;
    }
    const char* start = end;
    while (start > buf && !IsControl(start[-1]))
        start--;
    size_t n = (size_t)(end - start);
    if (n > (size_t)BRACE_NAME_MAX)
        n = BRACE_NAME_MAX;
    memcpy(name, start, n);
    name[n] = 0;
}

int ScanBraceFile(const char* path, BraceEntryCallback callback)
{
    if (path == NULL || callback == NULL)
        return 0;
    long size = 0;
    char* raw = ReadRaw(path, &size);
    if (raw == NULL)
        return 0;
    size_t room = (size_t)size + 10;
    char* buf = (char*)calloc(room, 1);
    if (buf == NULL) {
        free(raw);
        return 0;
    }
    Prepare(raw, buf, room);
    free(raw);

    int count = 0;
    char name[BRACE_NAME_MAX + 1];
    char* from = buf;
    for (;;) {
        char* open = FindUncommented(from, '{');
        if (open == NULL)
            break;
        EntryName(buf, open, name);
        char* close = FindUncommented(open + 1, '}');
        if (close == NULL)
            break;
        if (_stricmp(name, "comment") != 0 && strchr(name, ':') == NULL) {
            callback(name, open, (int)(close - open + 1));
            count++;
        }
        from = close + 1;
    }
    free(buf);
    return count;
}
