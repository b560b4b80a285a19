// Importing foreign formula files: Fractint ".frm" and UltraFractal ".ufm",
// ".ucl" and ".uxf" files are converted entry by entry into a twin in the
// own language (".sfm", ".scl", ".str") that carries the source's file
// times, so that a later scan can tell whether the twin is current.
#pragma once

#include <windows.h>
#include <stdint.h>

class FormulaNode;
class Thread;

// Set while the formula download runs: its import asks nothing and keeps
// YesToAllFlag.
extern volatile LONG DownloadRunning;
// Files an import moved into place since the counter was last cleared.
extern volatile LONG ImportedFileCount;

// The folder that receives the temporary file "~tmp0089" and, below
// "Formulas", the imported folders: the per-version data folder. Set by the
// application at start-up (and by tools and tests).
void SetImportDataFolder(const char* folder);
const char* ImportDataFolder();

// Installs the converters as the formula library's converter of foreign
// entries (g_ForeignEntryConverter).
void InstallForeignConverters();
// Frees the shared converters (made again on demand).
void DeleteForeignConverters();

// Only one import (a user's or the download's) converts at a time: they
// share the converters, "~tmp0089", YesToAllFlag and the cancel state.
bool TryLockForeignImport();
void LockForeignImport();
void UnlockForeignImport();

// Converts a whole foreign file into the temporary file: the text between
// entries as comment entries, each entry converted. Returns the temporary
// file's path (malloc), or null when the source cannot be read or is empty.
char* ConvertForeignFile(const char* sourcePath);

// The name of the converted twin of a foreign file name ("a.frm" gives
// "a.sfm"); the name itself for other extensions.
void TwinFileName(const char* fileName, char* out, size_t size);

// The overwrite question: answers 3 yes, 4 yes to all, 5 no, 2 abort.
struct OverwriteQuestion {
    const char* sourceName;
    const char* targetName;
    uint32_t newSize, oldSize;
    FILETIME newCreation, oldCreation, newWrite, oldWrite;
};
typedef int (*OverwriteAnswerer)(const OverwriteQuestion& question);
// Stand-in for the dialog (tests and tools); null shows the dialog.
extern OverwriteAnswerer g_OverwriteAnswerer;
// The dialog itself (resource 113), modal.
int RunOverwriteDialog(const OverwriteQuestion& question);
int AskOverwrite(const char* sourceName, const char* targetName, uint32_t newSize, uint32_t oldSize,
                 FILETIME newCreation, FILETIME oldCreation, FILETIME newWrite, FILETIME oldWrite);

// File callback of the importer's scan: converts one file into the folder
// of destination; the new file node, or null when the twin was current,
// the file was skipped, had a node already or the import was aborted.
FormulaNode* ImportFormulaFile(const char* sourceFolder, const char* fileName, FormulaNode* destination);
// Folder callback: the folder node below parentNode named folderName (found
// or made, its folder created on disk).
FormulaNode* AddImportFolder(const char* parentPath, const char* folderName, FormulaNode* parentNode);
// Imports every foreign file below folder into destination (a root path of
// the trees); 1 when cancelled, else 0.
int ImportForeignFolder(const char* folder, const char* destination);
// Imports one foreign file into destination.
FormulaNode* ImportForeignFile(const char* filePath, const char* destination);
// For each element of a ";"-separated list: its foreign files converted
// beside them.
void LoadForeignFormulaPaths(const char* list);

// The name an imported folder gets below "Formulas": the source folder's
// name, walking up over "formula", "formulas" and "Public"; "Imported
// Formulas" for a name shorter than two characters or a drive.
void ImportFolderName(const char* path, int singleFile, char* out, size_t size);
// Imports a folder (or one file) into a new folder below the data folder's
// "Formulas" on the import thread, with the progress dialog.
void ImportFormulaFolder(const char* path, int singleFile);
unsigned long FormulaImportThread(Thread* thread);
