// Loading a parameter file into the library: the file becomes a fractal
// folder whose fractals hold only their names and entry texts (parsed when
// first used). Also the small path functions the loaders share.
#pragma once

class FractalFolder;

// The backup file an image reader writes its embedded entries to; as the
// directory argument it makes fileName the image's path.
extern const char* const kImageEntryBackupFile;

// The folder the last LoadParameterFile made (null when the file held no
// entry); set by every call that got past the length test.
extern FractalFolder* LastLoadedFolder;

// Loads one file: directory + "\" + fileName, or the one that is given.
// Entries named "comment" and entries whose name holds ':' are skipped; an
// entry without its closing brace ends the walk. The folder is listed, made
// current (not forced) and left unmodified. Stops between entries when
// WorkerCancelState is set.
void LoadParameterFile(const char* directory, const char* fileName);

// The part of path after its last '\' or ':' (all of it when it has none).
void FileNameOfPath(const char* path, char* destination);
// path cut before its last '\', or just after its last ':' when that comes
// later; "" when it has neither.
void FolderOfPath(const char* path, char* destination);
// In place: each word's first letter upper case, the others lower case
// (words end at a blank or '_'), then cut at the first '.'.
void FolderNameFromFile(char* text);
