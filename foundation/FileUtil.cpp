#include "foundation/FileUtil.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

#include "foundation/Messages.h"
#include "foundation/Services.h"

volatile int WorkerCancelState = 0;

void ShowScanProgress(const char* progressText, const char* name)
{
    if (progressText == NULL || Services().setSplashText == NULL)
        return;
    std::string text = progressText;
    text += ' ';
    text += name;
    Services().setSplashText(text.c_str());
}

// Advances a listing; false ends it. Ends quietly at the last entry and
// reports any other failure.
bool NextFolderEntry(HANDLE find, WIN32_FIND_DATAA* data)
{
    if (FindNextFileA(find, data))
        return true;
    if (GetLastError() != ERROR_NO_MORE_FILES)
        AddErrorMessage("Error while scanning directory, FindNextFile");
    return false;
}

void CloseFolderListing(HANDLE find)
{
    if (!FindClose(find))
        AddErrorMessage("Error while scanning directory, FindClose");
}

void ScanFolder(const char* folder, const char* pattern, ScanFileCallback callback,
                const char* progressText)
{
    std::string search = std::string(folder) + "\\" + pattern;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(search.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        ShowScanProgress(progressText, data.cFileName);
        callback(folder, data.cFileName);
        if (WorkerCancelState)
            break;
    } while (NextFolderEntry(find, &data));
    CloseFolderListing(find);
}

bool EndsWithNoCase(const char* name, const char* extension)
{
    size_t n = strlen(name), e = strlen(extension);
    return n >= e && _stricmp(name + n - e, extension) == 0;
}

static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

static char* CopyRange(const char* start, size_t length)
{
    char* s = (char*)malloc(length + 1);
    memcpy(s, start, length);
    s[length] = 0;
    return s;
}

char** SplitPath(const char* path)
{
    if (path == NULL)
        path = "";
    size_t length = strlen(path);

    // Drive: a letter and a colon at the start.
    size_t driveLength = (length >= 2 && path[1] == ':') ? 2 : 0;

    // Directory: from after the drive up to and including the last separator.
    size_t dirEnd = driveLength;
    for (size_t i = driveLength; i < length; i++)
        if (IsSeparator(path[i]))
            dirEnd = i + 1;

    size_t separators = 0;
    for (size_t i = driveLength; i < dirEnd; i++)
        if (IsSeparator(path[i]))
            separators++;

    // Drive, one folder per separator at most, the file, the end mark.
    char** parts = (char**)malloc((separators + 3) * sizeof(char*));
    int n = 0;
    parts[n++] = CopyRange(path, driveLength);

    // Every separator ends a folder name, except one that opens the
    // directory (an absolute path).
    size_t start = driveLength;
    if (start < dirEnd && IsSeparator(path[start]))
        start++;
    for (size_t i = start; i < dirEnd; i++) {
        if (IsSeparator(path[i])) {
            parts[n++] = CopyRange(path + start, i - start);
            start = i + 1;
        }
    }
    parts[n++] = CopyRange(path + dirEnd, length - dirEnd);
    parts[n] = NULL;
    return parts;
}

void FreeSplitPath(char** parts)
{
    if (parts == NULL)
        return;
    for (char** p = parts; *p != NULL; p++)
        free(*p);
    free(parts);
}

// Copies text into a new result, cut to fit.
static char* NewResult(const char* text)
{
    char* result = (char*)calloc(RELATIVE_PATH_SIZE, 1);
    strncpy(result, text, RELATIVE_PATH_SIZE - 1);
    return result;
}

char* MakeRelativePath(const char* base, const char* target)
{
    if (target == NULL)
        target = "";
    char** b = SplitPath(base);
    char** t = SplitPath(target);

    int baseCount = 0;
    while (b[baseCount] != NULL)
        baseCount++;
    // A base given with a trailing backslash ends in an empty file name,
    // which names no folder of its own.
    if (baseCount > 1 && b[baseCount - 1][0] == 0)
        baseCount--;

    int i = 0;
    while (i < baseCount && t[i] != NULL && _stricmp(b[i], t[i]) == 0)
        i++;

    char* result;
    if (i == 0) {
        result = NewResult(target);
    } else {
        std::string relative;
        for (int k = i; k < baseCount; k++)
            relative += "..\\";
        for (int k = i; t[k] != NULL; k++) {
            if (k > i)
                relative += '\\';
            relative += t[k];
        }
        result = NewResult(relative.size() < (size_t)RELATIVE_PATH_SIZE ? relative.c_str() : target);
    }
    FreeSplitPath(b);
    FreeSplitPath(t);
    return result;
}

FILE* OpenScratchFile()
{
    char folder[MAX_PATH];
    char path[MAX_PATH];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder || !GetTempFileNameA(folder, "spx", 0, path))
        return nullptr;
    HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DeleteFileA(path);
        return nullptr;
    }
    int fd = _open_osfhandle((intptr_t)handle, _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(fd, "w+b");
    if (!file)
        _close(fd);
    return file;
}
