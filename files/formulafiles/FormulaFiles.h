// The commands over IFS and L-system formula files: saving one formula into
// a chosen file (with the questions about odd files and entries of the same
// name), saving all formulas of a kind, the menu loaders with their worker
// thread, and loading a formula file by its extension for the tools.
#pragma once
#include <string>
#include <vector>

class ListNode;
class Thread;

enum FormulaFileKind { FORMULA_KIND_IFS = 1, FORMULA_KIND_LSYSTEM = 2 };

// The file requesters the commands use; the application binds them. Null:
// nothing is chosen and the command ends.
struct FormulaFileRequesters {
    // The save requester for a kind with a title; false when nothing was
    // chosen. confirmOverwrite asks before an existing file is chosen.
    bool (*chooseSave)(int kind, const char* title, bool confirmOverwrite, std::string* path);
    // The open requester (several files) for a kind; false when nothing was
    // chosen.
    bool (*chooseOpen)(int kind, std::vector<std::string>* paths);
    // Refresh the formula lists of the user interface after a load.
    void (*refreshIfsLists)();
    void (*refreshLSystemLists)();
};
extern FormulaFileRequesters g_FormulaFileRequesters;

// Saves one formula (kind 1 IFS, 2 L-system) into a file the user chooses.
void SaveFormulaEntry(ListNode* formula, int kind);
// Saves the formula into path as SaveFormulaEntry does after the choice:
// the questions go through the message-box seam ("Saving formula entry").
void SaveFormulaEntryToFile(ListNode* formula, int kind, const char* path);
// Writes every formula of the kind into a file the user chooses.
void SaveAllFormulas(int kind);
// The same into path; false when it cannot be opened.
bool SaveAllFormulasToFile(int kind, const char* path);

// The menu commands: the user picks files, a worker loads them while the
// progress dialog runs, then the lists are refreshed.
void LoadIfsFormulas();
void LoadLSystemFormulas();
// The same for files already chosen (the general load command's).
void LoadFormulaFiles(int kind, const std::vector<std::string>& paths);
unsigned long LoadIfsFormulasThread(Thread* thread);
unsigned long LoadLSystemFormulasThread(Thread* thread);

// Loads an ".ifs" or ".l" file (by its extension, ignoring case) into its
// list; false for another extension or a file that yields no formula.
bool LoadFormulaFileByExtension(const char* path);
// Loads the program's own Spiralix.ifs and Spiralix.l from folder; the
// number of formulas loaded.
int LoadOwnFormulaFiles(const char* folder);
