// Loading a parameter file into the library: the file becomes a fractal
// folder whose fractals hold only their names and entry texts (parsed when
// first used). Reading and splitting make no document object, so a worker
// thread may read while the main thread alone makes and lists the folder.
// Also the small path functions the loaders share.
#pragma once

#include <string>
#include <vector>

class FractalFolder;

// The backup file an image reader writes its embedded entries to; as the
// directory argument it makes fileName the image's path.
extern const char* const kImageEntryBackupFile;

// The folder the last LoadParameterFile or MakeParameterFolder made (null
// when the file held no entry); set by every load that got past the length
// test.
extern FractalFolder* LastLoadedFolder;

// What a load shows on the progress dialog of the load commands; each is
// skipped while null (the start-up loader and the tools have no dialog).
struct ParameterLoadProgress {
    void (*setAction)(const char* text);   // "Loading file <name>"
    void (*setFraction)(double fraction);  // after each entry: its end / text length
};
extern ParameterLoadProgress g_ParameterLoadProgress;

// One file as read: the folder it becomes and its entries in file order.
struct ParameterFileEntries {
    struct Entry {
        std::string name;  // at most 63 characters
        std::string text;  // from the '{' to its '}' inclusive
    };
    std::string directory;  // the folder part of the path (image: the image's)
    std::string name;       // the folder's name
    std::vector<Entry> entries;
};

// Reads directory + "\" + fileName (or the one that is given) and cuts it
// into entries: leading blanks dropped, a line ending in '\' (without a ';'
// comment) joined to the next; braces inside ';' comments and double
// quotes do not count; entries named "comment" and entries whose name
// holds ':' are skipped; an entry without its closing brace ends the walk,
// and so does WorkerCancelState after an entry. False when there is no
// path or the file is missing or empty (nothing is read then).
bool ReadParameterFile(const char* directory, const char* fileName, ParameterFileEntries* file);

// Makes the folder of a file read (main thread): null when it holds no
// entry; else the folder is added to the folder list and listed with its
// fractals (unparsed), left unmodified and made current (not forced).
// Sets LastLoadedFolder.
FractalFolder* MakeParameterFolder(const ParameterFileEntries& file);

// The hand-over from a loading worker to the main thread: the worker queues
// each file it has read and posts UM_PARAMETER_FILES_READ to the main frame;
// the main thread makes the folders of everything queued, in order (also
// when the post could not be made, once the worker has ended). The number
// of folders made.
void QueueReadParameterFile(ParameterFileEntries* file);  // takes ownership
int MakeQueuedParameterFolders();

// Both in one go, for callers that own the library while they load (the
// start-up loader, the image readers).
void LoadParameterFile(const char* directory, const char* fileName);

// The part of path after its last '\' or ':' (all of it when it has none).
void FileNameOfPath(const char* path, char* destination);
// path cut before its last '\', or just after its last ':' when that comes
// later; "" when it has neither.
void FolderOfPath(const char* path, char* destination);
// In place: each word's first letter upper case, the others lower case
// (words end at a blank or '_'), then cut at the first '.'.
void FolderNameFromFile(char* text);
