// The scan of a formula folder tree into formula-library nodes.
#pragma once

class FormulaNode;

// Called by the tree scan for a subfolder or a matching file with the folder
// that holds it, its name and the node of that folder; answers the node it
// made or found, or null.
typedef FormulaNode* (*ScanNodeCallback)(const char* folder, const char* name, FormulaNode* parentNode);

// Scans a formula folder tree. Every subfolder (except "." and "..") goes
// to folderCallback and is then scanned recursively with the answered node
// as parent; every file whose name ends in extension (ignoring case) goes to
// fileCallback; other files are skipped. A node answered with key 1.0 (made
// by this scan) gets a tree item in the tree view of its formula kind when
// the formula library window is open and g_ScanAddsTreeItems is set; the
// key of every answered node is 0 afterwards. A trailing backslash of
// folder is ignored. Stops at every level after the current entry when
// WorkerCancelState is set; listing errors go to the message window.
void ScanFolderTree(const char* folder, const char* extension, ScanNodeCallback fileCallback,
                    ScanNodeCallback folderCallback, const char* progressText,
                    FormulaNode* parentNode);

