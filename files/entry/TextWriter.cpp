// The column count decides every break; an over-long item always ends its
// line so that the next item starts a fresh one.
#include "files/entry/TextWriter.h"

#include <string.h>

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

void TextWriter::WriteItem(const char* item, int indent)
{
    int n = (int)strlen(item);
    if (column + n + 1 >= width) {
        if (n + 2 >= width) {
            const char* rest = item;
            int remaining = n;
            while (remaining > 0) {
                int piece = width - column - 3;
                bool freshLine = column == 0;
                column = 0;
                if (piece <= 0) {
                    // No room left on this line; a width that leaves no
                    // room on a fresh line either cannot hold the item.
                    fputs("\n", file);
                    if (freshLine)
                        break;
                    continue;
                }
                if (piece > remaining)
                    piece = remaining;
                // The reader drops the blanks that start a continued line:
                // a piece never ends where blanks follow, so the blanks
                // stay in front of its '\' or inside the next piece.
                if (piece < remaining && IsBlank(rest[piece])) {
                    int cut = piece;
                    while (cut > 0 && IsBlank(rest[cut]))
                        --cut;
                    if (cut == 0) {
                        cut = piece;
                        while (cut < remaining && IsBlank(rest[cut]))
                            ++cut;
                    }
                    piece = cut;
                }
                fprintf(file, "  %.*s%s\n", piece, rest, piece < remaining ? "\\" : "");
                rest += piece;
                remaining -= piece;
            }
            column = 0;
            return;
        }
        fputs("\n", file);
        column = 0;
    }
    if (column > 0) {
        fprintf(file, " %s", item);
        column += n + 1;
    } else {
        fprintf(file, "  %s", item);
        column += n + 2;
    }
}

void TextWriter::WriteSection(const char* name)
{
    fprintf(file, "\n%s\n", name);
    column = 0;
}

void TextWriter::WriteRaw(const char* text)
{
    fputs(text, file);
}
