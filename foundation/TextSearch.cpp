#include "foundation/TextSearch.h"

#include <string.h>

const char* FindUncommented(const char* text, char ch)
{
    if (text == NULL || ch == 0)
        return NULL;
    const char* p = strchr(text, ch);
    while (p != NULL) {
        const char* q = p;
        while (q > text && q[-1] != ';' && q[-1] != '\r' && q[-1] != '\n')
            q--;
        if (q == text || q[-1] != ';')
            return p;
        p = strchr(p + 1, ch);
    }
    return NULL;
}

char* FindUncommented(char* text, char ch)
{
    return const_cast<char*>(FindUncommented(static_cast<const char*>(text), ch));
}
