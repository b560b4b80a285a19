// Editing formula files: writable files, deleting entries and files. The
// write-back and the new entries are members of FormulaNode
// (FormulaNode::WriteFile, FormulaNode::AddNewEntry).
#pragma once

#include <stdio.h>

class FormulaNode;

// Opens path for writing with mode. An existing read-only file is opened
// only after its write protection is removed: with ask 1 when the user
// agrees ("File Access Error", Yes/No/Cancel), with ask 2 without asking;
// otherwise (and when the open fails) the result is null.
FILE* OpenWritableFile(const char* path, const char* mode, int ask);
// The read-only part of OpenWritableFile without opening: true when path
// does not exist or may be written (after removing its write protection as
// ask allows).
bool MakeFileWritable(const char* path, int ask);

// Deletes an entry (after the confirmation question when
// g_ConfirmDeleteFormula is set) or a whole file (always asked) from its
// tree, its file or the disk. True when handled (deleted, or a node kind
// that needs nothing), false when the user declined.
bool DeleteFormula(FormulaNode* node);

// The confirmation option for deleting formulas (on by default).
extern int g_ConfirmDeleteFormula;

// The template of a new entry of a formula kind: the first "%s" takes the
// name, the second the title (the library template has no title).
const char* NewEntryTemplate(int formulaKind);

// The clock of the names of new entries (milliseconds of the local time
// of day); tests put in a fixed one. Returns the clock in place before.
typedef unsigned (*EntryNameClock)();
EntryNameClock SetEntryNameClock(EntryNameClock clock);
