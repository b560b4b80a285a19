// L-system files (".l"): entries "Name { ... }" with ANGLE, AXIOM and
// "X=text" rule lines, read into g_LSystemFormulas and written back in the
// same format. The formula windows' save commands and the menu loaders use
// these for the L-system kind.
#pragma once
#include <stdio.h>

class LSystemFormula;

// Loads every entry of directory\fileName into g_LSystemFormulas (logs the
// path, sets the progress action and fraction, stops when WorkerCancelState
// is set). Returns the number of formulas inserted; unreadable or empty
// files give 0.
int LoadLSystemFile(const char* directory, const char* fileName);

// Reads the first entry of text and inserts it into g_LSystemFormulas in
// name order with a unique name. Null when there is no entry, when it is
// named COMMENT (any case) or when it has no closing brace.
LSystemFormula* ReadLSystemEntry(const char* text);

// Reads the text between an entry's braces into formula (axiom, divisor,
// rules appended in order; the caller merges them).
void ReadLSystemFormula(LSystemFormula* formula, const char* body);

// Writes one entry: into file when one is given (it stays open), else into
// directory\fileName opened with OpenWritableFile (mode "w") and closed.
// Nothing is written without a formula or when nothing can be opened.
void WriteLSystemFormula(const LSystemFormula* formula, const char* directory,
                         const char* fileName, FILE* file);
