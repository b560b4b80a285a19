// The index file ".slb" beside each function library: one "I:" line per
// entry (class) of the library, one "F:" line per function compiled from
// it (decorated name, start and end offset in the library text, head), and
// "E:" at the end. The index is current while its last-write time equals
// the library's.
#include "formulas/FormulaIndex.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "compiler/FormulaCompiler.h"
#include "formulas/FormulaNode.h"

namespace {

// Libraries whose index is being rebuilt on this thread, innermost last.
thread_local std::vector<const FormulaNode*> g_IndexingLibraries;

bool ReadFileTimes(const char* path, FILETIME* creation, FILETIME* lastWrite)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = GetFileTime(h, creation, NULL, lastWrite) != 0;
    CloseHandle(h);
    return ok;
}

bool SameTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// The end of a function's body: the offset recorded by the compiler when it
// has one, else the brace that closes the first "{" after the head.
int FunctionEnd(const char* entryText, const FormulaFunction* f)
{
    if (f->textPositions[2] > f->textPositions[1])
        return f->textPositions[2];
    const char* open = strchr(entryText + f->textPositions[1], '{');
    return open != NULL ? FindClosingBrace(entryText, (int)(open - entryText)) : -1;
}

// Writes the index lines of one compiled entry. False when a function's
// text positions do not lie inside the entry.
bool WriteEntryLines(FILE* index, const FormulaNode* entry, const FormulaCompiler* compiler)
{
    fprintf(index, "I:%s\n", entry->nameText != NULL ? entry->nameText : "");
    const char* text = entry->entryText;
    int length = (int)strlen(text);
    for (ListNode* n = compiler->functions.GetHead(); n != NULL; n = n->next) {
        const FormulaFunction* f = static_cast<const FormulaFunction*>(n);
        // Only bodies written in this entry can be imported from it.
        if (f->stateWord != FUNCTION_DEFINED || f->imported)
            continue;
        int start = f->textPositions[0];
        int headEnd = f->textPositions[1];
        if (start < 0 || headEnd < start || headEnd >= length)
            return false;
        int end = FunctionEnd(text, f);
        if (end < headEnd)
            return false;
        fprintf(index, "F:%s##%d##%d##%.*s;\n", f->decoratedName, start + entry->startOffset,
                end + entry->startOffset, headEnd - start + 1, text + start);
    }
    return true;
}

}  // namespace

void IndexFilePath(const char* libraryPath, char* out, size_t outSize)
{
    std::string path = libraryPath != NULL ? libraryPath : "";
    size_t slash = path.find_last_of("\\/");
    size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        path.erase(dot);
    path += ".slb";
    CopyCut(out, outSize, path.c_str());
}

int FormulaNode::WriteIndexFile()
{
    if (formulaKind != FK_LIBRARY || kind != FNK_FILE)
        return 0;
    char libraryPath[FORMULA_PATH_SIZE];
    char indexPath[FORMULA_PATH_SIZE];
    GetPath(libraryPath, sizeof(libraryPath));
    IndexFilePath(libraryPath, indexPath, sizeof(indexPath));

    FILETIME libCreation, libWrite;
    if (!ReadFileTimes(libraryPath, &libCreation, &libWrite)) {
        DeleteFileA(indexPath);
        return 1;
    }
    FILETIME indexCreation, indexWrite;
    if (ReadFileTimes(indexPath, &indexCreation, &indexWrite) && SameTime(indexWrite, libWrite))
        return 0;

    // A library that imports itself would index itself for ever: the
    // inner request fails, and with it the compile of the entry.
    for (const FormulaNode* busy : g_IndexingLibraries) {
        if (busy == this)
            return 3;
    }
    FILE* index = fopen(indexPath, "w");
    if (index == NULL)
        return 1;
    g_IndexingLibraries.push_back(this);
    bool loadedHere = false;
    if (!loaded) {
        LoadEntries(NULL);
        loadedHere = loaded != 0;
    }

    FormulaHolder* holder = new FormulaHolder(FK_LIBRARY);
    FormulaCompiler* compiler = holder->compiler;
    // An index without the classes the load could not read would look
    // complete to every import (the load has said why).
    bool failed = cutShort != 0;
    for (ListNode* n = children.GetHead(); n != NULL && !failed; n = n->next) {
        FormulaNode* entry = static_cast<FormulaNode*>(n);
        if (entry->kind != FNK_LIBRARY || entry->entryText == NULL)
            continue;
        if (!compiler->compile(entry->entryText, 0, -128, NULL, NULL, NULL, entry->name, SK_PLANE,
                               entry, false, false) ||
            !WriteEntryLines(index, entry, compiler))
            failed = true;
    }
    if (!failed)
        fprintf(index, "E:\n");
    compiler->freeResults();
    delete holder;
    g_IndexingLibraries.pop_back();
    bool written = !failed && ferror(index) == 0;
    if (fclose(index) != 0)
        written = false;
    if (!written) {
        DeleteFileA(indexPath);
        if (loadedHere)
            UnloadEntries(NULL, 0);
        return failed ? 3 : 1;
    }

    // The index takes the library's times: an edit of the library changes
    // its last-write time and so makes the index stale.
    int result = 0;
    HANDLE h = CreateFileA(indexPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        result = 1;
    } else {
        if (!SetFileTime(h, &libCreation, NULL, &libWrite))
            result = 1;
        CloseHandle(h);
    }
    if (loadedHere)
        UnloadEntries(NULL, 0);
    return result;
}

namespace {

// One whole line without its line end, read in pieces of up to 500
// characters; false at the end of the file.
bool ReadWholeLine(FILE* file, std::string* line)
{
    line->clear();
    char piece[501];
    bool any = false;
    while (fgets(piece, sizeof(piece), file) != NULL) {
        any = true;
        size_t n = strlen(piece);
        if (n > 0 && piece[n - 1] == '\n') {
            line->append(piece, n - 1);
            return true;
        }
        line->append(piece, n);
    }
    return any;
}

bool StartsRecord(const std::string& line)
{
    return line.compare(0, 2, "I:") == 0 || line.compare(0, 2, "F:") == 0 ||
           line.compare(0, 2, "E:") == 0;
}

}  // namespace

int ReadIndexClass(const char* indexPath, const char* className, std::vector<std::string>* functions)
{
    functions->clear();
    FILE* file = fopen(indexPath, "r");
    if (file == NULL)
        return -1;
    size_t classLength = strlen(className);
    std::string line;
    bool found = false;
    while (ReadWholeLine(file, &line)) {
        if (!found) {
            // The whole name: "I:Complexmath" is not the class "Complex".
            if (line.compare(0, 2, "I:") == 0 && line.size() - 2 == classLength &&
                _strnicmp(line.c_str() + 2, className, classLength) == 0)
                found = true;
            continue;
        }
        if (line.compare(0, 2, "F:") == 0) {
            functions->push_back(line);
        } else if (!StartsRecord(line) && !functions->empty()) {
            // The rest of a head that spans lines.
            functions->back() += '\n';
            functions->back() += line;
        } else {
            break;
        }
    }
    fclose(file);
    return found ? 1 : 0;
}

bool ParseIndexFunctionLine(const std::string& line, std::string* decoratedName, int* start, int* end,
                            std::string* declaration)
{
    if (line.compare(0, 2, "F:") != 0)
        return false;
    size_t a = line.find("##", 2);
    if (a == std::string::npos)
        return false;
    size_t b = line.find("##", a + 2);
    if (b == std::string::npos)
        return false;
    size_t c = line.find("##", b + 2);
    if (c == std::string::npos)
        return false;
    char* stop = NULL;
    std::string startText = line.substr(a + 2, b - a - 2);
    std::string endText = line.substr(b + 2, c - b - 2);
    long s = strtol(startText.c_str(), &stop, 10);
    if (startText.empty() || *stop != 0)
        return false;
    long e = strtol(endText.c_str(), &stop, 10);
    if (endText.empty() || *stop != 0)
        return false;
    if (decoratedName != NULL)
        *decoratedName = line.substr(2, a - 2);
    if (start != NULL)
        *start = (int)s;
    if (end != NULL)
        *end = (int)e;
    if (declaration != NULL)
        *declaration = line.substr(c + 2);
    return true;
}
