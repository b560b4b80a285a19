// Walks of the parameter tables shared by every reader of a block.
#include "document/ParameterDescriptor.h"

int DescriptorRowCount(const ParameterDescriptor* table)
{
    int n = 0;
    while (table && table[n].valueType != PT_END)
        ++n;
    return n;
}

int DescriptorBlockSize(const ParameterDescriptor* table)
{
    int size = 0;
    for (int i = 0; table && table[i].valueType != PT_END; ++i)
        size += DescriptorFieldWidth(table[i]);
    return size;
}
