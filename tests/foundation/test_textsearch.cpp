#include <gtest/gtest.h>

#include "foundation/TextSearch.h"

TEST(FindUncommented, SkipsCharactersAfterASemicolonOnTheirLine)
{
    struct Case {
        const char* text;
        char ch;
        int offset;  // -1: none
    };
    const Case cases[] = {
        {"; a {b\n{c", '{', 7},
        {"; a {b\r\nx {c", '{', 10},
        {"; a {b\rx {c", '{', 9},
        {"{", '{', 0},
        {"x = 1 {", '{', 6},
        {"abc", '{', -1},
        {"a ; {\nb ; {", '{', -1},
        {"f=\"a;b\" {", '{', -1},  // quotes are not considered
        {"a {\n;}\n}", '}', 7},
        {"", '{', -1},
    };
    for (const Case& c : cases) {
        const char* found = FindUncommented(c.text, c.ch);
        int offset = found ? (int)(found - c.text) : -1;
        EXPECT_EQ(c.offset, offset) << c.text;
    }
    char writable[] = "; {\n{";
    char* found = FindUncommented(writable, '{');
    EXPECT_EQ(writable + 4, found);
}
