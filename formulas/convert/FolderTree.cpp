// Folder routines of the formula download: making a path level by level,
// copying and deleting folder trees, and giving unpacked files the dates
// their archive recorded.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "formulas/convert/FormulaDownload.h"

int MakeDirectories(const char* pathIn)
{
    std::string path = pathIn != NULL ? pathIn : "";
    if (!path.empty() && path.back() == '/')
        path.pop_back();
    if (path.empty())
        return 0;
    auto make = [](const std::string& p) {
        return CreateDirectoryA(p.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
    };
    if (make(path))
        return 1;
    for (size_t i = 1; i <= path.size(); i++) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/')
            continue;
        std::string level = path.substr(0, i);
        if (level.size() == 2 && level[1] == ':')
            continue;
        if (!make(level) && GetLastError() == ERROR_PATH_NOT_FOUND)
            return 0;
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

void SetFileDosTime(const char* path, uint32_t dosDateTime)
{
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return;
    FILETIME local, utc;
    if (DosDateTimeToFileTime(HIWORD(dosDateTime), LOWORD(dosDateTime), &local) &&
        LocalFileTimeToFileTime(&local, &utc))
        SetFileTime(h, &utc, NULL, &utc);
    CloseHandle(h);
}

void CopyFolderTree(const char* source, const char* destination, const char* const* exclusions)
{
    WIN32_FIND_DATAA found;
    std::string pattern = std::string(source) + "\\*";
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
                continue;
            std::string from = std::string(source) + "\\" + found.cFileName;
            std::string to = std::string(destination) + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                CreateDirectoryA(to.c_str(), NULL);
                CopyFolderTree(from.c_str(), to.c_str(), exclusions);
                continue;
            }
            const char* dot = strrchr(found.cFileName, '.');
            bool excluded = false;
            for (const char* const* e = exclusions; e != NULL && *e != NULL && dot != NULL; e++)
                excluded = excluded || strcmp(dot, *e) == 0;
            if (!excluded)
                CopyFileA(from.c_str(), to.c_str(), FALSE);
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(source);
}

void DeleteFolderTree(const char* folder)
{
    WIN32_FIND_DATAA found;
    std::string pattern = std::string(folder) + "\\*";
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
                continue;
            std::string path = std::string(folder) + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteFolderTree(path.c_str());
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(folder);
}

void ReplaceWithNumber(char* text, size_t size, const char* placeholder, int number)
{
    if (text == NULL || placeholder == NULL || placeholder[0] == 0 || size == 0)
        return;
    char digits[16];
    snprintf(digits, sizeof digits, "%d", number);
    std::string s = text;
    for (size_t at = s.find(placeholder); at != std::string::npos; at = s.find(placeholder, at + strlen(digits)))
        s.replace(at, strlen(placeholder), digits);
    size_t n = s.size() < size - 1 ? s.size() : size - 1;
    memcpy(text, s.c_str(), n);
    text[n] = 0;
}
