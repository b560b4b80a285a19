// Parameter blocks written and read generically, one key=value item per row
// of their ParameterDescriptor table; only values that differ from a
// default block are written. Rows of file mode 2 travel in one params= item.
#pragma once

struct ParameterDescriptor;
class TextWriter;

// One item per row of file mode 1 whose value differs from defaultBlock's.
void WriteNamedValues(TextWriter& writer, const ParameterDescriptor* table, const void* defaultBlock,
                      const void* block);
// The params= item of the rows of file mode 2; nothing when there are none.
void WriteParamsKey(TextWriter& writer, const ParameterDescriptor* table, const void* defaultBlock,
                    const void* block);
// Stores valueText into the field of the row named key (without case) and
// returns 1; 0 when no readable row has that key. A value that does not
// parse leaves the field as it was.
int ReadNamedValue(void* block, const ParameterDescriptor* table, const char* key, const char* valueText);
