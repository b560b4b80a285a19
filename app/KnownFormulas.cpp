// The application's table of known formulas: where a formula looked up
// without a file name was found, so that the library is searched only
// once per name.
#include "app/Application.h"

#include <stdlib.h>
#include <string.h>

void PApplication::AddKnownFormula(const char* name, const char* file, int count)
{
    char* nameCopy = _strdup(name != NULL ? name : "");
    char* fileCopy = _strdup(file != NULL ? file : "");
    intptr_t* grown =
        static_cast<intptr_t*>(realloc(knownFormulas, sizeof(intptr_t) * (size_t)(knownFormulaSlots + 3)));
    if (nameCopy == NULL || fileCopy == NULL || grown == NULL) {
        free(nameCopy);
        free(fileCopy);
        if (grown != NULL)
            knownFormulas = grown;
        return;
    }
    knownFormulas = grown;
    knownFormulas[knownFormulaSlots] = (intptr_t)nameCopy;
    knownFormulas[knownFormulaSlots + 1] = (intptr_t)fileCopy;
    knownFormulas[knownFormulaSlots + 2] = count;
    knownFormulaSlots += 3;
}

int PApplication::FindKnownFormula(const char* name) const
{
    if (name == NULL)
        return -1;
    for (int i = 0; i + 2 < knownFormulaSlots; i += 3) {
        if (strcmp(reinterpret_cast<const char*>(knownFormulas[i]), name) == 0)
            return i;
    }
    return -1;
}

const char* PApplication::KnownFormulaFile(int index) const
{
    if (index < 0 || index % 3 != 0 || index + 2 >= knownFormulaSlots)
        return NULL;
    return reinterpret_cast<const char*>(knownFormulas[index + 1]);
}

int PApplication::KnownFormulaCount(int index) const
{
    if (index < 0 || index % 3 != 0 || index + 2 >= knownFormulaSlots)
        return 0;
    return (int)knownFormulas[index + 2];
}

void PApplication::FreeKnownFormulas()
{
    for (int i = 0; i + 2 < knownFormulaSlots; i += 3) {
        free(reinterpret_cast<char*>(knownFormulas[i]));
        free(reinterpret_cast<char*>(knownFormulas[i + 1]));
    }
    free(knownFormulas);
    knownFormulas = NULL;
    knownFormulaSlots = 0;
}
