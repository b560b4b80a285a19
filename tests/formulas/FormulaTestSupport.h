// Shared helpers of the formula-library tests: a temporary folder tree,
// byte-exact file reads and writes, the hand-written fixture files, and
// emptying the four formula trees.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "formulas/FormulaLoader.h"
#include "formulas/FormulaNode.h"

namespace formulatest {

inline std::string FixturePath(const std::string& name)
{
    return std::string(SPIRALIX_TEST_DATA) + "\\formulas\\" + name;
}

// The bytes of a file as they are on disk ("" when it cannot be read).
inline std::string ReadBytes(const std::string& path)
{
    std::string data;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return data;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        data.append(buffer, n);
    fclose(f);
    return data;
}

inline bool WriteBytes(const std::string& path, const std::string& data)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    fwrite(data.data(), 1, data.size(), f);
    return fclose(f) == 0;
}

// LF line ends turned into CR LF, as the program's text files are on disk.
inline std::string Crlf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

inline bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline FILETIME LastWriteTime(const std::string& path)
{
    FILETIME t = {0, 0};
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        GetFileTime(h, nullptr, nullptr, &t);
        CloseHandle(h);
    }
    return t;
}

// Moves a file's last-write time by seconds (as an edit would change it).
inline void ShiftLastWriteTime(const std::string& path, int seconds)
{
    FILETIME t = LastWriteTime(path);
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    v.QuadPart += (ULONGLONG)((LONGLONG)seconds * 10000000LL);
    t.dwLowDateTime = v.LowPart;
    t.dwHighDateTime = v.HighPart;
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        SetFileTime(h, nullptr, nullptr, &t);
        CloseHandle(h);
    }
}

inline bool SameTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// A fresh folder under the temporary folder, deleted with everything in it
// when the object goes.
class TempFolder {
public:
    TempFolder()
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        for (unsigned i = GetTickCount() % 100000;; i++) {
            char name[MAX_PATH + 40];
            snprintf(name, sizeof name, "%sspxformulas%u", temp, i);
            if (CreateDirectoryA(name, nullptr)) {
                path_ = name;
                break;
            }
        }
    }
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

    // Makes a subfolder (and the folders above it) below the folder.
    std::string MakeFolder(const std::string& relative) const
    {
        std::string path = path_;
        size_t start = 0;
        while (start <= relative.size()) {
            size_t slash = relative.find('\\', start);
            std::string part = relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            path += "\\" + part;
            CreateDirectoryA(path.c_str(), nullptr);
            if (slash == std::string::npos)
                break;
            start = slash + 1;
        }
        return path;
    }

    // Copies a fixture file into the folder (under its own or a new name).
    std::string CopyFixture(const std::string& fixture, const std::string& target = "") const
    {
        std::string to = path_ + "\\" + (target.empty() ? fixture : target);
        CopyFileA(FixturePath(fixture).c_str(), to.c_str(), FALSE);
        SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
        return to;
    }

private:
    static void RemoveTree(const std::string& path)
    {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::string name = data.cFileName;
                if (name == "." || name == "..")
                    continue;
                std::string child = path + "\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(child);
                } else {
                    SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileA(child.c_str());
                }
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(path.c_str());
    }

    std::string path_;
};

// Empties the four formula trees (their nodes are deleted).
inline void ClearFormulaTrees()
{
    for (int kind = 0; kind < FORMULA_KIND_COUNT; kind++)
        DeleteFormulaNodes(FormulaRoot(kind));
}

// A file node for a file on disk, standing alone (no folder node above it):
// its name text is the whole path.
class LooseFile {
public:
    LooseFile(int formulaKind, const std::string& path) : node(new FormulaNode(formulaKind, FNK_FILE))
    {
        node->nameText = _strdup(path.c_str());
        size_t slash = path.find_last_of('\\');
        node->SetName(path.substr(slash == std::string::npos ? 0 : slash + 1).c_str());
    }
    ~LooseFile()
    {
        node->UnloadEntries(nullptr, 0);
        delete node;
    }
    LooseFile(const LooseFile&) = delete;
    LooseFile& operator=(const LooseFile&) = delete;

    FormulaNode* operator->() const { return node; }
    FormulaNode* get() const { return node; }

private:
    FormulaNode* node;
};

// A function library in the tree of function libraries while the object
// lives (in a temporary folder of its own), for compiles that import it.
class ScopedLibrary {
public:
    ScopedLibrary(const std::string& fileName, const std::string& text)
    {
        WriteBytes(folder_ / fileName, Crlf(text));
        ScanFormulaFolder(folder_.Path().c_str(), folder_.Path().c_str());
    }
    ~ScopedLibrary() { ClearFormulaTrees(); }
    ScopedLibrary(const ScopedLibrary&) = delete;
    ScopedLibrary& operator=(const ScopedLibrary&) = delete;

private:
    TempFolder folder_;
};

inline FormulaNode* Child(const FormulaNode* node, int index)
{
    return static_cast<FormulaNode*>(node->children.GetAt(index));
}

}  // namespace formulatest
