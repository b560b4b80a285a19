// One pass with a read and a write position; the text only shrinks.
#include "files/entry/ContinuedLines.h"

void JoinContinuedLines(char* text)
{
    if (text == nullptr)
        return;
    char* read = text;
    char* write = text;
    while (*read != 0) {
        if (read[0] == '\\' && (read[1] == '\n' || read[1] == '\r')) {
            read++;
            while (*read == ' ' || *read == '\t' || *read == '\r' || *read == '\n')
                read++;
            continue;
        }
        *write++ = *read++;
    }
    *write = 0;
}
