// Loading a parameter file as a fractal folder. The file is read into one
// buffer with continuation lines joined; each "name { ... }" becomes a
// fractal that holds only its name and the entry text, parsed later when the
// fractal is first used, so loading a large library stays quick. Entries are
// found as the entry reader finds them: a brace inside a quoted value or a
// ';' comment neither opens nor closes one.
#include "files/ParameterLoad.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "files/entry/EntryHead.h"
#include "files/entry/ParameterFile.h"
#include "foundation/FileUtil.h"
#include "foundation/LogFile.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Services.h"

const char* const kImageEntryBackupFile = "~tmp0091.bac";
FractalFolder* LastLoadedFolder = NULL;
ParameterLoadProgress g_ParameterLoadProgress;

namespace {

enum { LINE_SIZE = 512 };

// Files read by a worker, waiting for the main thread.
struct ReadQueue {
    ReadQueue() { InitializeCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    std::vector<ParameterFileEntries*> files;
};
ReadQueue& Queue()
{
    static ReadQueue queue;
    return queue;
}

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

long FileLength(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    if (data.nFileSizeHigh != 0)
        return 0x7FFFFFFF;
    return (long)data.nFileSizeLow;
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

bool ReadParameterFile(const char* directory, const char* fileName, ParameterFileEntries* file)
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
        return false;
    LogFile* log = Services().log ? Services().log() : NULL;
    if (!fromImage && log != NULL)
        log->WriteJoined("Loading parameters from file ", path.c_str());

    // The folder: beside the file and named after it, or, for the entries
    // of an image, beside the image and named after it without extension.
    const char* namedAfter = fromImage ? (fileName ? fileName : "") : path.c_str();
    std::vector<char> part(strlen(namedAfter) + 1);
    FolderOfPath(namedAfter, part.data());
    file->directory = part.data();
    FileNameOfPath(namedAfter, part.data());
    if (fromImage) {
        char* dot = strrchr(part.data(), '.');
        if (dot)
            *dot = 0;
    } else {
        CapitaliseWords(part.data());
    }
    file->name = part.data();
    file->entries.clear();

    if (FileLength(path.c_str()) < 1)
        return false;
    FILE* stream = fopen(path.c_str(), "r");
    if (stream == NULL)
        return false;
    if (g_ParameterLoadProgress.setAction) {
        std::string action = "Loading file " + file->name;
        g_ParameterLoadProgress.setAction(action.c_str());
    }
    std::string buffer;
    char line[LINE_SIZE];
    while (fgets(line, sizeof line, stream) != NULL)
        AppendLine(buffer, line);
    fclose(stream);

    // Each entry runs from the end of the one before, so the name of the
    // first one may start at the very beginning of the text.
    const char* text = buffer.c_str();
    EntryRange range;
    for (int from = 0; NextEntryRange(text, from, &range); from = range.close + 1) {
        std::string name = EntryNameBeforeBrace(text + range.begin, range.open - range.begin, NULL);
        if (_stricmp(name.c_str(), "comment") != 0 && name.find(':') == std::string::npos) {
            ParameterFileEntries::Entry entry;
            entry.name = name;
            entry.text.assign(text + range.open, (size_t)(range.close - range.open) + 1);
            file->entries.push_back(entry);
            if (g_ParameterLoadProgress.setFraction)
                g_ParameterLoadProgress.setFraction((double)(range.close + 1) / (double)buffer.size());
        }
        if (WorkerCancelState > 0)
            break;
    }
    return true;
}

FractalFolder* MakeParameterFolder(const ParameterFileEntries& file)
{
    FractalFolder* folder = NULL;
    for (const ParameterFileEntries::Entry& entry : file.entries) {
        Fractal* fractal = new Fractal();
        fractal->SetName(entry.name.c_str());
        fractal->pendingEntryText = static_cast<char*>(calloc(entry.text.size() + 10, 1));
        memcpy(fractal->pendingEntryText, entry.text.data(), entry.text.size());
        if (folder == NULL)
            folder = new FractalFolder(file.directory.c_str(), file.name.c_str(), FOLDER_PARAMETERS, true, true);
        folder->AddFractal(fractal, false);
    }
    if (folder != NULL) {
        folder->int2 = 0;
        folder->UpdateListings();
        folder->MakeCurrent(false);
    }
    LastLoadedFolder = folder;
    return folder;
}

void QueueReadParameterFile(ParameterFileEntries* file)
{
    ReadQueue& queue = Queue();
    EnterCriticalSection(&queue.lock);
    queue.files.push_back(file);
    LeaveCriticalSection(&queue.lock);
    PostToMainFrame(UM_PARAMETER_FILES_READ, 0, 0);
}

int MakeQueuedParameterFolders()
{
    ReadQueue& queue = Queue();
    EnterCriticalSection(&queue.lock);
    std::vector<ParameterFileEntries*> files;
    files.swap(queue.files);
    LeaveCriticalSection(&queue.lock);
    int made = 0;
    for (ParameterFileEntries* file : files) {
        if (MakeParameterFolder(*file) != NULL)
            made++;
        delete file;
    }
    return made;
}

void LoadParameterFile(const char* directory, const char* fileName)
{
    ParameterFileEntries file;
    if (ReadParameterFile(directory, fileName, &file))
        MakeParameterFolder(file);
}
