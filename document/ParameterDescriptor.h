// The row type of the parameter tables: one row per field of a parameter
// block, in field order. The file reader and writer, the parameter windows
// and the animation walk a block with its table, advancing by the width of
// each row's value type, so the blocks are packed records without gaps.
#pragma once

#include <stdint.h>

// Value types of a row. A table ends with a row of type PT_END.
enum ParameterValueType {
    PT_END = -1,
    PT_DOUBLE = 1,
    PT_INT = 2,
    PT_BLOB = 3,        // size bytes, never written to files
    PT_BLOB2 = 4,       // the same
    PT_TEXT = 5,        // char[size]
    PT_CHOICE = 6,      // int index into the value names
    PT_BYTE = 7,
    PT_BIGNUMBER = 8,   // one BigNumber handle
    PT_RGBA = 9,        // four bytes
    PT_RGB = 10,        // three bytes
};

// Groups: which page of the parameter window shows the row.
enum { PG_HIDDEN = 0, PG_GENERAL = 1, PG_COLOUR = 2, PG_3D = 4 };

struct ParameterDescriptor {
    int32_t group;                  // PG_*
    const char* displayName;
    const char* key;                // entry key, compared without case
    int16_t subKind;                // animation rule / row variant
    int16_t valueType;              // ParameterValueType
    int16_t size;                   // byte width of text and blob rows
    int16_t easing;                 // animation easing mode
    double step;
    double minimum;
    double maximum;
    int32_t written;                // 1: the generic writer writes the row
    int32_t animatable;             // 1: the animation interpolates the row
    const char* const* valueNames;  // null-ended names of the values 0, 1, ...; or null
};

// Bytes the field of a row occupies in its block.
inline int DescriptorFieldWidth(const ParameterDescriptor& row)
{
    switch (row.valueType) {
    case PT_DOUBLE: return 8;
    case PT_BYTE: return 1;
    case PT_RGB: return 3;
    case PT_INT: case PT_CHOICE: case PT_BIGNUMBER: case PT_RGBA: return 4;
    case PT_END: return 0;
    default: return row.size;
    }
}

// Number of rows of a table before its end row.
int DescriptorRowCount(const ParameterDescriptor* table);
// Bytes the rows of a table cover in its block.
int DescriptorBlockSize(const ParameterDescriptor* table);
