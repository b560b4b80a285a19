// The p_ and f_ items of the formula sections: the user parameters and the
// selected functions of a compiled formula slot, written with enough digits
// to come back equal, and read by name, enumerator name, yes/no or numbers.
#pragma once

class NodeList;
class TextWriter;

// One p_ item per user parameter (separators and values that have no item
// form are left out).
void WriteFormulaParameters(TextWriter& writer, const NodeList* parameters);
// One f_ item per function parameter, with the selected function's name.
void WriteFormulaFunctions(TextWriter& writer, const NodeList* functions);
// Stores a p_, Parm_ or f_ item into the parameter it names; imported (the
// layered form of other programs) also matches names without case and reads
// colours as one 0xAARRGGBB integer. Unknown names are ignored.
void ReadParmValue(NodeList* parameters, NodeList* functions, const char* key, const char* value, bool imported);
