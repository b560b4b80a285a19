// Loading a parameter file as a fractal folder. The file is read into one
// buffer with continuation lines joined; each "name { ... }" becomes a
// fractal that holds only its name and the entry text, parsed later when the
// fractal is first used, so loading a large library stays quick.
#include "files/ParameterLoad.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "foundation/FileUtil.h"
#include "foundation/LogFile.h"
#include "foundation/Services.h"
#include "foundation/TextSearch.h"

const char* const kImageEntryBackupFile = "~tmp0091.bac";
FractalFolder* LastLoadedFolder = NULL;

namespace {

enum { LINE_SIZE = 512, NAME_MAX = 63 };

bool IsLetter(char c)
{
    return isalpha((unsigned char)c) != 0;
}

// "my_fractals.par" -> "My_Fractals.Par": a letter after a non-letter is
// upper case, every other letter lower case.
void CapitaliseWords(char* text)
{
    bool afterLetter = false;
    for (char* p = text; *p; p++) {
        if (IsLetter(*p)) {
            *p = afterLetter ? (char)tolower((unsigned char)*p) : (char)toupper((unsigned char)*p);
            afterLetter = true;
        } else {
            afterLetter = false;
        }
    }
}

// Whether the line holds a ';' outside double quotes.
bool HasComment(const char* line)
{
    bool quoted = false;
    for (const char* p = line; *p; p++) {
        if (*p == '"')
            quoted = !quoted;
        else if (*p == ';' && !quoted)
            return true;
    }
    return false;
}

// Appends one line as read: leading blanks, control characters and bytes
// above 0x7F dropped; a trailing '\' (without a comment on the line) joins
// the next line.
void AppendLine(std::string& buffer, const char* line)
{
    while (*line && ((unsigned char)*line <= 0x20 || (unsigned char)*line >= 0x80))
        line++;
    if (*line == 0)
        return;
    if (HasComment(line)) {
        buffer += line;
        return;
    }
    size_t last = strlen(line);
    while (last > 0 && (unsigned char)line[last - 1] <= 0x1F)
        last--;
    if (last > 0 && line[last - 1] == '\\') {
        buffer.append(line, last - 1);
        return;
    }
    buffer += line;
}

// The entry name before the brace at text[brace]: from after the last
// control character to the last character above a blank; "No name" when
// there is none.
void EntryName(const char* text, size_t brace, char* name)
{
    size_t start = brace;
    while (start > 0 && (unsigned char)text[start - 1] >= 0x20)
        start--;
    size_t end = brace;
    while (end > start && (unsigned char)text[end - 1] <= 0x20)
        end--;
    size_t length = end - start;
    if (length == 0) {
        strcpy(name, "No name");
        return;
    }
    if (length > NAME_MAX)
        length = NAME_MAX;
    memcpy(name, text + start, length);
    name[length] = 0;
}

long FileLength(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    if (data.nFileSizeHigh != 0)
        return 0x7FFFFFFF;
    return (long)data.nFileSizeLow;
}

FractalFolder* MakeFolder(const char* path, bool fromImage, const char* imagePath)
{
    char folder[MAX_PATH * 2], name[MAX_PATH * 2];
    if (fromImage) {
        FolderOfPath(imagePath, folder);
        FileNameOfPath(imagePath, name);
        char* dot = strrchr(name, '.');
        if (dot)
            *dot = 0;
    } else {
        FolderOfPath(path, folder);
        FileNameOfPath(path, name);
        CapitaliseWords(name);
    }
    return new FractalFolder(folder, name, FOLDER_PARAMETERS, true, true);
}

}  // namespace

void FileNameOfPath(const char* path, char* destination)
{
    const char* start = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == ':')
            start = p + 1;
    memmove(destination, start, strlen(start) + 1);
}

void FolderOfPath(const char* path, char* destination)
{
    const char* slash = strrchr(path, '\\');
    const char* colon = strrchr(path, ':');
    size_t length = 0;
    if (colon != NULL && (slash == NULL || colon > slash))
        length = (size_t)(colon - path) + 1;
    else if (slash != NULL)
        length = (size_t)(slash - path);
    memmove(destination, path, length);
    destination[length] = 0;
}

void FolderNameFromFile(char* text)
{
    bool wordStart = true;
    for (char* p = text; *p; p++) {
        if (*p == ' ' || *p == '_') {
            wordStart = true;
            continue;
        }
        if (IsLetter(*p)) {
            *p = wordStart ? (char)toupper((unsigned char)*p) : (char)tolower((unsigned char)*p);
            wordStart = false;
        }
    }
    char* dot = strchr(text, '.');
    if (dot)
        *dot = 0;
}

void LoadParameterFile(const char* directory, const char* fileName)
{
    bool fromImage = directory != NULL && strcmp(directory, kImageEntryBackupFile) == 0;
    std::string path;
    if (fromImage)
        path = kImageEntryBackupFile;
    else if (directory != NULL && fileName != NULL)
        path = std::string(directory) + "\\" + fileName;
    else if (directory != NULL)
        path = directory;
    else if (fileName != NULL)
        path = fileName;
    else
        return;
    LogFile* log = Services().log ? Services().log() : NULL;
    if (!fromImage && log != NULL)
        log->WriteJoined("Loading parameters from file ", path.c_str());

    if (FileLength(path.c_str()) < 1)
        return;
    FILE* file = fopen(path.c_str(), "r");
    if (file == NULL)
        return;
    std::string buffer;
    char line[LINE_SIZE];
    while (fgets(line, sizeof line, file) != NULL)
        AppendLine(buffer, line);
    fclose(file);

    FractalFolder* folder = NULL;
    const char* text = buffer.c_str();
    const char* open = FindUncommented(text, '{');
    while (open != NULL) {
        const char* close = FindUncommented(open + 1, '}');
        if (close == NULL)
            break;
        char name[NAME_MAX + 1];
        EntryName(text, (size_t)(open - text), name);
        if (_stricmp(name, "comment") != 0 && strchr(name, ':') == NULL) {
            Fractal* fractal = new Fractal();
            fractal->SetName(name);
            size_t length = (size_t)(close - open) + 1;
            fractal->pendingEntryText = static_cast<char*>(calloc(length + 10, 1));
            memcpy(fractal->pendingEntryText, open, length);
            if (folder == NULL)
                folder = MakeFolder(path.c_str(), fromImage, fileName ? fileName : "");
            folder->AddFractal(fractal, false);
        }
        if (WorkerCancelState > 0)
            break;
        open = FindUncommented(close + 1, '{');
    }
    if (folder != NULL) {
        folder->int2 = 0;
        folder->UpdateListings();
        folder->MakeCurrent(false);
    }
    LastLoadedFolder = folder;
}
