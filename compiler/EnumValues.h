// Packed enumerator lists of parameters: the names an int parameter may take,
// shown as a combo box in the parameter window and usable as values in a
// formula.
//
// A list is a run of records, each an int32 value (0 or more) followed by
// the zero-terminated name; a negative int32 ends it.
#pragma once

#include <stdint.h>

class GrowBuffer;
class FormulaSymbol;

// Bytes a list occupies in a block of capacity bytes, its end mark
// included; -1 when the block holds no complete list.
int EnumListLength(const void* list, int capacity);

// Replaces the list in *buffer by one record per name of names (ended by a
// null entry), numbered from 0, then the end mark; an empty list stores the
// end mark alone. The buffer is made with 100 bytes when *buffer is null
// and grown to the total length when needed.
void SetEnumValues(GrowBuffer** buffer, const char* const* names);
// The same for a symbol's enumeration buffer.
void SetEnumValues(FormulaSymbol* symbol, const char* const* names);

// Appends to the list in buffer, replacing its end mark, one record per
// piece of the first length characters of text, the pieces separated by
// the two characters backslash and "n"; the new records are numbered from 0
// and the list is ended again. A buffer whose contents are no complete list
// (a fresh zero-filled one) is taken as empty. The buffer is grown when the
// new records do not fit.
void ParseEnumValues(GrowBuffer* buffer, const char* text, int length);

// The value stored with name (compared ignoring case), or -1 when the list
// (which may be null) does not hold it.
int FindEnumValue(const void* list, const char* name);
