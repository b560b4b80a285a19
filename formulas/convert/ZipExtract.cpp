// Unpacking the formula archives with minizip: every entry below the target
// folder with its folders, carrying the date the archive recorded. An
// entry whose name would leave the target folder (a "..", a root, a drive)
// fails the whole archive, and so does an entry that cannot be written.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "formulas/convert/FormulaDownload.h"
#include "minizip/unzip.h"

namespace {

const int kReadBlock = 8192;

void SetError(char* error, size_t size, const char* format, const char* name = "")
{
    if (error != NULL && size > 0)
        snprintf(error, size, format, name);
}

// Names that stay inside the target folder: relative, without a drive and
// without a ".." component.
bool IsSafeEntryName(const char* name)
{
    if (name[0] == 0 || name[0] == '/' || name[0] == '\\' || strchr(name, ':') != NULL)
        return false;
    const char* part = name;
    for (const char* p = name;; p++) {
        if (*p == '/' || *p == '\\' || *p == 0) {
            if (p - part == 2 && part[0] == '.' && part[1] == '.')
                return false;
            if (*p == 0)
                break;
            part = p + 1;
        }
    }
    return true;
}

}  // namespace

int ExtractCurrentEntry(unzFile zip, const char* folder, bool keepPaths, char* error, size_t errorSize)
{
    char name[257];
    unz_file_info info;
    int result = unzGetCurrentFileInfo(zip, &info, name, sizeof name, NULL, 0, NULL, 0);
    if (result != UNZ_OK) {
        SetError(error, errorSize, "Unable to query file information from zipped file");
        return result;
    }
    if (!IsSafeEntryName(name)) {
        SetError(error, errorSize, "Refusing the entry %s outside the target folder", name);
        return UNZ_BADZIPFILE;
    }
    std::string entry = name;
    for (char& c : entry)
        if (c == '/')
            c = '\\';
    size_t slash = entry.find_last_of('\\');
    std::string filePart = slash == std::string::npos ? entry : entry.substr(slash + 1);
    std::string folderPart = slash == std::string::npos ? std::string() : entry.substr(0, slash);
    if (filePart.empty()) {
        if (keepPaths)
            MakeDirectories((std::string(folder) + "\\" + folderPart).c_str());
        return UNZ_OK;
    }
    char* buffer = static_cast<char*>(malloc(kReadBlock));
    if (buffer == NULL) {
        SetError(error, errorSize, "Error allocating memory");
        return -104;
    }
    result = unzOpenCurrentFile(zip);
    if (result != UNZ_OK) {
        SetError(error, errorSize, "Unable to extract file from zipfile");
        free(buffer);
        return result;
    }
    std::string path = std::string(folder) + "\\" + (keepPaths ? entry : filePart);
    FILE* out = fopen(path.c_str(), "wb");
    if (out == NULL && keepPaths && !folderPart.empty()) {
        MakeDirectories((std::string(folder) + "\\" + folderPart).c_str());
        out = fopen(path.c_str(), "wb");
    }
    if (out == NULL) {
        // An entry that cannot be written fails the extraction.
        SetError(error, errorSize, "Error opening %s", name);
        unzCloseCurrentFile(zip);
        free(buffer);
        return UNZ_ERRNO;
    }
    for (;;) {
        if (DownloadCancel) {
            result = UNZ_ERRNO;
            SetError(error, errorSize, "Stopped while extracting %s", name);
            break;
        }
        int n = unzReadCurrentFile(zip, buffer, kReadBlock);
        if (n < 0) {
            SetError(error, errorSize, "Unable to extract file %s", name);
            result = n;
            break;
        }
        if (n == 0)
            break;
        if (fwrite(buffer, 1, (size_t)n, out) != (size_t)n) {
            SetError(error, errorSize, "Unable to write extracted file %s", name);
            result = -1;
            break;
        }
    }
    if (fclose(out) != 0 && result == UNZ_OK) {
        SetError(error, errorSize, "Unable to write extracted file %s", name);
        result = -1;
    }
    free(buffer);
    if (result != UNZ_OK) {
        unzCloseCurrentFile(zip);
        DeleteFileA(path.c_str());
        return result;
    }
    SetFileDosTime(path.c_str(), (uint32_t)info.dosDate);
    result = unzCloseCurrentFile(zip);
    if (result != UNZ_OK) {
        SetError(error, errorSize, "Unable to close current file %s", name);
        DeleteFileA(path.c_str());
    }
    return result;
}

int ExtractAllEntries(unzFile zip, const char* folder, bool keepPaths, char* error, size_t errorSize)
{
    unz_global_info global;
    int result = unzGetGlobalInfo(zip, &global);
    if (result != UNZ_OK) {
        SetError(error, errorSize, "Unable to extract file from zip file");
        return result;
    }
    for (uLong i = 0; i < global.number_entry; i++) {
        if (i > 0) {
            result = unzGoToNextFile(zip);
            if (result != UNZ_OK) {
                SetError(error, errorSize, "Unable to advance to next file in zip file");
                return result;
            }
        }
        result = ExtractCurrentEntry(zip, folder, keepPaths, error, errorSize);
        if (result != UNZ_OK)
            return result;
    }
    return UNZ_OK;
}

int ExtractZip(const char* zipFile, const char* folder)
{
    unzFile zip = unzOpen(zipFile);
    if (zip == NULL)
        return 1;
    char error[500] = "";
    int result = ExtractAllEntries(zip, folder, true, error, sizeof error);
    unzClose(zip);
    return result != UNZ_OK ? 1 : 0;
}
