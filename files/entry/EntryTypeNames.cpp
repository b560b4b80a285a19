// Both tables come from the lists in the header, so the names stand once.
#include "files/entry/EntryTypeNames.h"

#include <ctype.h>
#include <strings.h>

#define TYPE_NAME(number, name) name,
const char* const g_EntryTypeNames[ENTRY_TYPE_COUNT + 1] = {ENTRY_TYPE_NAMES(TYPE_NAME) nullptr};
#undef TYPE_NAME

#define FRACTINT_NAME(name) name,
const char* const g_FractintTypeNames[FRACTINT_TYPE_COUNT + 1] = {FRACTINT_TYPE_NAMES(FRACTINT_NAME) nullptr};
#undef FRACTINT_NAME

int FindEntryType(const char* name)
{
    for (int i = 0; i < ENTRY_TYPE_COUNT; i++)
        if (strcasecmp(name, g_EntryTypeNames[i]) == 0)
            return i;
    return -1;
}

bool IsFractintType(const char* name)
{
    for (int i = 0; i < FRACTINT_TYPE_COUNT; i++)
        if (strcasecmp(name, g_FractintTypeNames[i]) == 0)
            return true;
    return false;
}

void FormulaNameOfType(const char* typeName, char* out, int size)
{
    int n = 0;
    for (const char* p = typeName; *p != 0 && n < size - 1; p++) {
        if (*p == ')')
            continue;
        out[n++] = *p == '(' ? '_' : (char)toupper((unsigned char)*p);
    }
    if (size > 0)
        out[n] = 0;
}
