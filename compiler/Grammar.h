// Helpers of the statement grammar beside the parse table and the matcher
// declared in FormulaCompiler.h.
#pragma once

#include "compiler/FormulaCompiler.h"

// The row numbers of a grammar state in table order, ended by -1; null for
// a state without rows. Builds the state index on first use.
const int* parseStateRows(int state);

// The formula's entry name in the text: the last token before the first
// "{", or before a parenthesised option group directly in front of it.
// Returns the offset of the name's first character and writes the offset
// after it to *nameEnd; -1 when the text holds no brace or no name.
int findFormulaName(const char* text, int* nameEnd);
