// Formula files: finding the entries of a file, their names, titles and
// flags, and loading and unloading them as entry nodes.
//
// A formula file is a sequence of entries "name (group) { ... }" with
// arbitrary text (comment) between them. Files are always read whole in
// text mode, so every offset counts characters of the text with LF line
// ends.
#include "formulas/FormulaNode.h"

#include <stdlib.h>
#include <string.h>

#include "foundation/FileUtil.h"
#include "foundation/Services.h"

namespace {

bool IsWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// A name character: anything from "!" up, bytes from 0x80 included.
bool IsNameChar(char c)
{
    return (unsigned char)c >= '!';
}

// The first "{" at depth 0 outside quoted text and ";" comments
// (UltraFractal files), or -1.
int FindTopLevelBrace(const char* text)
{
    int depth = 0;
    for (int p = 0; text[p] != 0; p++) {
        char c = text[p];
        if (c == ';') {
            while (text[p + 1] != 0 && text[p + 1] != '\n')
                p++;
        } else if (c == '"') {
            while (text[p + 1] != 0 && text[p + 1] != '"' && text[p + 1] != '\n')
                p++;
            if (text[p + 1] == '"')
                p++;
        } else if (c == '{') {
            if (depth == 0)
                return p;
            depth++;
        } else if (c == '}') {
            if (depth > 0)
                depth--;
        }
    }
    return -1;
}

// Does the text that ends at last (inclusive) end with word (without case)?
bool EndsWithWord(const char* text, int last, const char* word)
{
    int n = (int)strlen(word);
    return last + 1 >= n && _strnicmp(text + last + 1 - n, word, (size_t)n) == 0;
}

int SkipWhiteBack(const char* text, int p)
{
    while (p >= 0 && IsWhite(text[p]))
        p--;
    return p;
}

// The entry name before the brace: offset of its first character, its last
// character into *nameEnd; -1 when there is none.
int FindEntryNameRange(const char* text, int brace, int* nameEnd)
{
    static const char* const groupWords[] = {
        "XAXIS_NOPARM", "YAXIS_NOPARM", "XYAXIS_NOPARM", "ORIGIN_NOPARM", "QUATERNION",
        "ATTRACTOR",    "OUTSIDE",      "XYAXIS",        "ORIGIN",        "INSIDE",
        "XAXIS",        "YAXIS",        "BOTH",          "3D",
    };
    int p = SkipWhiteBack(text, brace - 1);
    if (p < 0)
        return -1;
    int end = p;
    if (text[p] == ')') {
        int q = SkipWhiteBack(text, p - 1);
        int open = -1;
        for (const char* word : groupWords) {
            if (q >= 0 && EndsWithWord(text, q, word)) {
                int r = SkipWhiteBack(text, q - (int)strlen(word));
                if (r >= 0 && text[r] == '(')
                    open = r;
                break;
            }
        }
        if (open < 0) {
            // The nearest "(" to the left; without one the token that ends
            // in ")" is the name.
            for (int r = p - 1; r >= 0; r--) {
                if (text[r] == '(') {
                    open = r;
                    break;
                }
            }
        }
        if (open >= 0)
            end = SkipWhiteBack(text, open - 1);
    }
    if (end < 0 || !IsNameChar(text[end]))
        return -1;
    int start = end;
    while (start > 0 && IsNameChar(text[start - 1]))
        start--;
    *nameEnd = end;
    return start;
}

bool IsCommentName(const char* name)
{
    return _stricmp(name, "COMMENT") == 0;
}

char* CopyRange(const char* text, int from, int to)
{
    int n = to - from + 1;
    if (n < 0)
        n = 0;
    char* copy = static_cast<char*>(malloc((size_t)n + 1));
    if (copy == NULL)
        return NULL;
    memcpy(copy, text + from, (size_t)n);
    copy[n] = 0;
    return copy;
}

// A name text buffer of an entry: 100 bytes holding the name.
char* NewNameText(const char* name)
{
    char* buffer = static_cast<char*>(calloc(100, 1));
    if (buffer != NULL)
        CopyCut(buffer, 100, name);
    return buffer;
}

bool IsOwnFileCode(int code)
{
    return code < FFC_UF_FORMULA || code == FFC_LIBRARY;
}

}  // namespace

int FindEntryName(const char* text, char* name, int* braceOffset, int topLevel)
{
    if (name != NULL)
        name[0] = 0;
    if (braceOffset != NULL)
        *braceOffset = -1;
    if (text == NULL)
        return -1;
    int brace;
    if (topLevel) {
        brace = FindTopLevelBrace(text);
    } else {
        const char* b = strchr(text, '{');
        brace = b != NULL ? (int)(b - text) : -1;
    }
    if (brace < 0)
        return -1;
    if (braceOffset != NULL)
        *braceOffset = brace;
    int end = -1;
    int start = FindEntryNameRange(text, brace, &end);
    if (start < 0)
        return -1;
    if (name != NULL) {
        int n = end - start + 1;
        if (n > ListNode::NODE_NAME_MAX)
            n = ListNode::NODE_NAME_MAX;
        memcpy(name, text + start, (size_t)n);
        name[n] = 0;
    }
    return start;
}

int FindClosingBrace(const char* text, int open)
{
    if (text == NULL || open < 0 || text[open] != '{')
        return -1;
    int depth = 0;
    for (int p = open; text[p] != 0; p++) {
        char c = text[p];
        if (c == '/' && text[p + 1] == '/') {
            while (text[p + 1] != 0 && text[p + 1] != '\n')
                p++;
        } else if (c == '/' && text[p + 1] == '*') {
            p += 2;
            while (text[p] != 0 && !(text[p] == '*' && text[p + 1] == '/'))
                p++;
            if (text[p] == 0)
                return -1;
            p++;
        } else if (c == '"') {
            // Quoted text ends at its closing quote or, like the compiler's
            // strings, at the end of its line.
            while (text[p + 1] != 0 && text[p + 1] != '"' && text[p + 1] != '\n')
                p++;
            if (text[p + 1] == '"')
                p++;
        } else if (c == '{') {
            depth++;
        } else if (c == '}') {
            if (--depth == 0)
                return p;
        }
    }
    return -1;
}

int ReadEntryTitle(const char* text, char* title, size_t titleSize)
{
    if (title != NULL && titleSize > 0)
        title[0] = 0;
    if (text == NULL)
        return -1;
    static const char kTitle[] = "this.title";
    for (const char* p = strstr(text, kTitle); p != NULL; p = strstr(p + 1, kTitle)) {
        const char* q = p + sizeof(kTitle) - 1;
        while (*q == ' ' || *q == '\t')
            q++;
        if (*q != '=')
            continue;
        q++;
        while (*q == ' ' || *q == '\t')
            q++;
        if (*q != '"')
            continue;
        q++;
        const char* close = strchr(q, '"');
        if (close == NULL)
            return -1;
        if (title != NULL && titleSize > 0) {
            size_t n = (size_t)(close - q);
            if (n >= titleSize)
                n = titleSize - 1;
            memcpy(title, q, n);
            title[n] = 0;
        }
        return (int)(q - text);
    }
    return -1;
}

FormulaNode* ParseFormulaEntry(FormulaNode* file, const char* text, int closeBrace, int fileCode,
                               char** entryTextOut, int* nameOffsetOut)
{
    if (entryTextOut != NULL)
        *entryTextOut = NULL;
    char name[ListNode::NODE_NAME_SIZE];
    int brace = -1;
    int topLevel = fileCode >= FFC_UF_FORMULA && fileCode <= FFC_UF_TRANSFORM;
    int nameOffset = FindEntryName(text, name, &brace, topLevel);
    if (nameOffsetOut != NULL)
        *nameOffsetOut = nameOffset;
    if (nameOffset < 0 || closeBrace < nameOffset)
        return NULL;

    // The group after the name tells quaternion and attractor formulas.
    int nameEnd = nameOffset;
    FindEntryNameRange(text, brace, &nameEnd);
    int p = nameEnd + 1;
    while (IsWhite(text[p]))
        p++;
    int flag = ENTRY_PLANE;
    if (text[p] == '(') {
        p++;
        while (IsWhite(text[p]))
            p++;
        if (_strnicmp(text + p, "QUATERNION", 10) == 0)
            flag = ENTRY_QUATERNION;
        else if (_strnicmp(text + p, "ATTRACTOR", 9) == 0)
            flag = ENTRY_ATTRACTOR;
    }

    FormulaNode* node = new FormulaNode(file->formulaKind, FNK_TRANSFORMATION + file->formulaKind);
    node->nameText = NewNameText(name);
    char* entry = CopyRange(text, nameOffset, closeBrace);
    if (entry == NULL) {
        delete node;
        return NULL;
    }

    char title[ListNode::NODE_NAME_SIZE] = "";
    if (!IsCommentName(name)) {
        if (!IsOwnFileCode(fileCode)) {
            char* converted = g_ForeignEntryConverter != NULL ? g_ForeignEntryConverter(fileCode, entry)
                                                              : NULL;
            free(entry);
            if (converted == NULL) {
                delete node;
                return NULL;
            }
            entry = converted;
        }
        ReadEntryTitle(entry, title, sizeof(title));
    }
    node->SetName(title[0] != 0 ? title : name);
    node->int1 = flag;
    if (entryTextOut != NULL)
        *entryTextOut = entry;
    else
        free(entry);
    return node;
}

void FormulaNode::LoadEntries(TreeItemView* tree)
{
    if (kind != FNK_FILE || loaded)
        return;
    char path[FORMULA_PATH_SIZE];
    GetPath(path, sizeof(path));
    int length = 0;
    char* text = ReadFormulaTextFile(path, 10, &length);
    if (text == NULL)
        return;
    free(fileText);
    fileText = text;

    int code = FormulaFileCode(nameText != NULL ? nameText : name);
    int topLevel = code >= FFC_UF_FORMULA && code <= FFC_UF_TRANSFORM;
    int position = 0;
    while (position < length) {
        if (code == FFC_FRACTINT) {
            // Blank lines and ";" comment lines before an entry.
            for (;;) {
                while (position < length && IsWhite(text[position]))
                    position++;
                if (position >= length || text[position] != ';')
                    break;
                while (position < length && text[position] != '\n')
                    position++;
            }
            if (position >= length)
                break;
        }
        int open;
        if (topLevel) {
            open = FindTopLevelBrace(text + position);
            if (open >= 0)
                open += position;
        } else {
            const char* b = strchr(text + position, '{');
            open = b != NULL ? (int)(b - text) : -1;
        }
        if (open < 0)
            break;
        int close = FindClosingBrace(text, open);
        if (close < 0)
            break;

        char* entry = NULL;
        int nameOffset = -1;
        FormulaNode* node =
            ParseFormulaEntry(this, text + position, close - position, code, &entry, &nameOffset);
        if (node != NULL) {
            node->entryText = entry;
            node->startOffset = position + nameOffset;
            node->endOffset = close;
            node->parent = this;
            if (IsCommentName(node->name)) {
                if (entryText == NULL) {
                    entryText = node->entryText;
                    node->entryText = NULL;
                    startOffset = node->startOffset;
                    endOffset = node->endOffset;
                }
                delete node;
            } else {
                InsertChild(node);
                if (tree != NULL)
                    tree->InsertItem(node, this, node->prev, 2, node->kind, -1);
            }
        }
        if (WorkerCancelState)
            break;
        position = close + 1;
    }
    loaded = 1;
}

int FormulaNode::UnloadEntries(TreeItemView* tree, int save)
{
    if (kind != FNK_FILE || !loaded)
        return 0;
    if (save) {
        WriteFile();
        WriteIndexFile();
    }
    while (ListNode* n = children.GetHead()) {
        children.Remove(n);
        if (tree != NULL)
            tree->DeleteItem(n);
        delete static_cast<FormulaNode*>(n);
    }
    loaded = 0;
    free(fileText);
    fileText = NULL;
    free(entryText);
    entryText = NULL;
    startOffset = endOffset = -1;
    return 1;
}

char* FormulaNode::FindEntryText(const char* entryName, char* title) const
{
    if (title != NULL)
        title[0] = 0;
    if (kind != FNK_FILE || entryName == NULL)
        return NULL;
    char* result = NULL;
    if (loaded) {
        for (ListNode* n = children.GetHead(); n != NULL; n = n->next) {
            const FormulaNode* entry = static_cast<const FormulaNode*>(n);
            if (entry->nameText != NULL && entry->entryText != NULL &&
                _stricmp(entry->nameText, entryName) == 0) {
                result = _strdup(entry->entryText);
                break;
            }
        }
    } else {
        char path[FORMULA_PATH_SIZE];
        GetPath(path, sizeof(path));
        int length = 0;
        char* text = ReadFormulaTextFile(path, 10, &length);
        if (text == NULL)
            return NULL;
        int position = 0;
        while (result == NULL && position < length) {
            const char* b = strchr(text + position, '{');
            if (b == NULL)
                break;
            int close = FindClosingBrace(text, (int)(b - text));
            if (close < 0)
                break;
            char name[ListNode::NODE_NAME_SIZE];
            int nameOffset = FindEntryName(text + position, name, NULL, 0);
            if (nameOffset >= 0 && _stricmp(name, entryName) == 0)
                result = CopyRange(text, position + nameOffset, close);
            position = close + 1;
        }
        free(text);
    }
    if (result != NULL && title != NULL)
        ReadEntryTitle(result, title, ListNode::NODE_NAME_SIZE);
    return result;
}
