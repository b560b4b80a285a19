// bracescan <file>: lists the entries of a parameter file, one line per
// entry with its name and the length of its braced text.
#include <stdio.h>

#include "app/ServiceBindings.h"
#include "foundation/BraceScanner.h"

static void PrintEntry(const char* name, const char* text, int length)
{
    printf("%s %d\n", name, length);
}

int main(int argc, char** argv)
{
    BindApplicationServices();
    if (argc != 2) {
        fprintf(stderr, "usage: bracescan <file>\n");
        return 2;
    }
    FILE* f = fopen(argv[1], "rb");
    if (f == NULL) {
        fprintf(stderr, "bracescan: can't open %s\n", argv[1]);
        return 1;
    }
    fclose(f);
    ScanBraceFile(argv[1], PrintEntry);
    return 0;
}
