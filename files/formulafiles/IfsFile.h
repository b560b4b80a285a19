// IFS files (".ifs"): entries "Name { ... }" with one affine map per line,
// 7 items for a 2D map (a b c d e f p) or 13 for a 3D map (the matrix row
// by row, the vector, the probability), each item an expression without
// blanks. Read into g_IfsFormulas and written back in the same format.
#pragma once
#include <stdio.h>

class IfsFormula;

// Loads every entry of directory\fileName into g_IfsFormulas (logs the
// path, sets the progress action and fraction, stops when WorkerCancelState
// is set). Returns the number of formulas inserted; unreadable or empty
// files give 0.
int LoadIfsFile(const char* directory, const char* fileName);

// Reads the first entry of text and inserts it into g_IfsFormulas in name
// order with a unique name. Null when there is no entry, when it is named
// COMMENT (any case) or when it has no closing brace.
IfsFormula* ReadIfsEntry(const char* text);

// Reads the text between an entry's braces into formula: one map per line
// of 7 or 13 items (other lines are skipped), each compiled at once with
// error boxes suppressed.
void ReadIfsFormula(IfsFormula* formula, const char* body);

// NextToken into buffer (TOKEN_CAPACITY bytes), then a heap copy of the
// token (length + 10 bytes) into *text and that size into *capacity.
// Returns NextToken's result.
int NextTokenCopy(const char* line, char* buffer, int position, char** text, int* capacity);

// Writes one entry: into file when one is given (it stays open), else into
// directory\fileName opened with OpenWritableFile (mode "w") and closed.
// Nothing is written without a formula or when nothing can be opened.
void WriteIfsFormula(const IfsFormula* formula, const char* directory, const char* fileName, FILE* file);
