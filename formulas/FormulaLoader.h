// Filling the four formula trees from the folders of the formula search
// path: a folder (with its subfolders) or a single file is scanned on a
// worker thread while the main thread shows the modal progress dialog.
#pragma once

#include <stdint.h>

class FormulaNode;
class Thread;

// The formula search path: folders separated by ";" (heap text, null when
// empty). Read and written by the settings.
extern char* CompilerFormulaPath;
// Replaces the search path by a copy of path (null or empty: none).
void SetCompilerFormulaPath(const char* path);
// True when folder is an element of the ";"-separated list (without case).
bool IsFormulaPathElement(const char* list, const char* folder);
// Joins folder to the search path ("%s;%s") unless it is an element of it
// already; true when it was added.
bool AddToCompilerFormulaPath(const char* folder);

// Scan state shared with the start-up reader and the importer.
extern volatile int ScanFileCode;          // file code of the kind being scanned
extern volatile int FractintFileCount;     // Fractint files without a current converted twin
extern volatile int UltraFractalFileCount; // UltraFractal files without a current converted twin
extern volatile uint8_t YesToAllFlag;      // the importer's "yes to all"; cleared by every folder load

// Loads a folder (singleFile 0) or one formula file (singleFile 1) into the
// trees on the loader thread, with the progress dialog; adds the folder to
// the search path.
void LoadFormulaFolder(const char* path, int singleFile);
// The loader thread: waits for the dialog, scans, then ends the dialog (or,
// after an abort, clears WorkerCancelState).
unsigned long FormulaLoaderThread(Thread* thread);
// Scans a folder into all four trees, below the root folder node of
// rootPath (found or made).
void ScanFormulaFolder(const char* folder, const char* rootPath);
// Adds one file (".str", ".sfm", ".scl" or ".lib") below the root folder
// node of rootPath; returns its node (null for another extension).
FormulaNode* ScanFormulaFile(const char* filePath, const char* rootPath);
// The root folder node of rootPath in the tree of a kind, made (and given
// a tree item when the library window is open) when missing.
FormulaNode* FindOrMakeRootFolder(int formulaKind, const char* rootPath);
// File callback of the folder scan: the file node (new or existing) of an
// own formula file; foreign files are counted and get no node (null).
FormulaNode* AddFormulaFile(const char* folder, const char* fileName, FormulaNode* folderNode);
// Folder callback of the folder scan: the node of parentPath\folderName
// below parentNode (new or existing); the folder is made when missing.
FormulaNode* AddLoaderFolder(const char* parentPath, const char* folderName, FormulaNode* parentNode);
// A folder node whose full path equals path (without case): from the head
// of node's root list (fromRoot) or from node's first child, depth first.
// With importFlag no match is reported.
FormulaNode* FindFolderNodeByPath(FormulaNode* node, const char* path, int fromRoot, int importFlag);
// The shell's folder browser over the main window; a newly allocated path
// (malloc, room for 100 more characters) or null.
char* BrowseForFolder(const char* initialPath, const char* title);
