// Finding a formula's source by file name and formula name in the formula
// trees, with built-in default formulas when nothing is found.
#pragma once

#include <stddef.h>

class CompileHost;
class FormulaHolder;
class FormulaNode;
class NodeList;

// Fills the holder's source with the formula's text. fractal (may be null)
// names the fractal in messages; fractalType and the kind of the holder's
// compiler choose the tree and the default formula. fileName (fileNameSize
// bytes) may be empty: the formula is then searched in the files of the
// "orgform" folders and the file found is written into it. foundName (64
// bytes) receives the entry's title, or the formula name, or "Not Found:
// ..." when the default formula had to be used. formulaName counts up to
// its first "(".
void LookupFormula(CompileHost* fractal, int fractalType, char* fileName, size_t fileNameSize,
                   const char* formulaName, char* foundName, FormulaHolder* holder);

// The first file (in tree order) inside a folder named "orgform" that holds
// an entry formulaName; *count (start it at 0) receives the number of such
// files. folderName is the name of the folder that holds the list (null at
// the root level).
FormulaNode* FindFormulaInFiles(NodeList* list, const char* formulaName, const char* folderName,
                                int* count);
// The n-th (from 0) file node, depth first, whose display name equals
// fileName without case, a three-letter extension being ignored on both
// sides; an empty file name matches every file. *counter (start it at 0)
// counts the matches across the recursion.
FormulaNode* FindFormulaInFile(NodeList* list, const char* fileName, int n, int* counter);

// The built-in default formula of a fractal type and formula kind, or null.
const char* DefaultFormulaText(int fractalType, int formulaKind);
