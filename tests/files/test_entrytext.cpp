// The text machinery under the entry readers and writers: tokens, the
// comment- and quote-aware searches, keyword lookups, line layout, line
// joining, comment splitting and tags, and compressed bodies.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "files/entry/CommentLines.h"
#include "files/entry/CompressedBlock.h"
#include "files/entry/ContinuedLines.h"
#include "files/entry/EntryTokens.h"
#include "files/entry/TextWriter.h"
#include "tests/files/WrittenText.h"

namespace {

std::vector<std::string> Tokens(const char* text, int (*next)(const char*, char*, int))
{
    std::vector<std::string> tokens;
    char out[LONG_TOKEN_CAPACITY];
    for (int p = next(text, out, 0); p >= 0; p = next(text, out, p))
        tokens.push_back(out);
    return tokens;
}

int Offset(const char* text, const char* found)
{
    return found ? (int)(found - text) : -1;
}

}  // namespace

// Quotes keep blanks inside one token; blanks include the bytes from 0x80
// up outside quotes; the long form turns quoted line breaks into one blank.
TEST(EntryTokens, SplitAtBlanksOutsideQuotes)
{
    using V = std::vector<std::string>;
    EXPECT_EQ((V{"a=\"x y\"", "b"}), Tokens("  a=\"x y\" b", NextToken));
    EXPECT_EQ(V{}, Tokens("   \r\n\t ", NextToken));
    EXPECT_EQ((V{"a", "b"}), Tokens("a\xE4" "b", NextToken));
    EXPECT_EQ((V{"t=\"a\xE4" "b\""}), Tokens("t=\"a\xE4" "b\"", NextToken));
    EXPECT_EQ((V{"t=\"a\r\nb\""}), Tokens("t=\"a\r\nb\"", NextToken));
    EXPECT_EQ((V{"t=\"a b c d\"", "x"}), Tokens("t=\"a\r\nb\n\rc\nd\" x", NextLongToken));
    char out[TOKEN_CAPACITY];
    EXPECT_EQ(-1, NextToken("", out, 0));
}

// Over-long tokens are cut to the buffer but consumed whole; the whole-token
// form keeps everything (long comment templates).
TEST(EntryTokens, LongTokensAreConsumedWhole)
{
    std::string text(600, 'x');
    text += " y";
    char out[LONG_TOKEN_CAPACITY];
    EXPECT_EQ(600, NextToken(text.c_str(), out, 0));
    EXPECT_EQ(std::string(510, 'x'), out);
    std::string longText = "t=\"" + std::string(1500, 'z') + "\" y";
    EXPECT_EQ((int)longText.size() - 2, NextLongToken(longText.c_str(), out, 0));
    EXPECT_EQ(1024u, strlen(out));
    char* whole = nullptr;
    EXPECT_EQ((int)longText.size() - 2, NextWholeToken(longText.c_str(), &whole, 0));
    EXPECT_EQ(longText.substr(0, longText.size() - 2), whole);
    free(whole);
}

TEST(EntryTokens, SearchesSkipCommentsAndQuotes)
{
    struct Case {
        const char* what;
        const char* text;
        const char* (*search)(const char*, char);
        char ch;
        int offset;
    };
    const Case cases[] = {
        {"quote hides the brace", "a=\"{\" {", FindUnquoted, '{', 6},
        {"no match", "abc", FindUnquoted, '{', -1},
        {"comment hides the brace", "; {\n{", FindUncommentedUnquoted, '{', 4},
        {"';' inside quotes is no comment", "t=\"a;b\" {", FindUncommentedUnquoted, '{', 8},
        {"brace in a quoted value", "t=\"}\" }", FindUncommentedUnquoted, '}', 6},
        {"quote inside a comment is ignored", "; it\"s\n}", FindUncommentedUnquoted, '}', 7},
        {"top level after a nested block", "{ = } a=1", FindCharAtTopLevel, '=', 7},
        {"'}' never goes below depth 0", "} = ", FindCharAtTopLevel, '=', 2},
        {"top level skips comments", "; =\n\"=\" =", FindCharAtTopLevel, '=', 8},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.offset, Offset(c.text, c.search(c.text, c.ch))) << c.what;
}

TEST(EntryTokens, ClosingBraceSkipsCommentsAndQuotes)
{
    struct Case {
        const char* what;
        const char* text;
        int offset;
    };
    const Case cases[] = {
        {"an empty comment does not hide the next line", "x {;\n{ } }", 9},
        {"comment braces", "{ ; }\n}", 6},
        {"quoted braces", "{ t=\"}\" }", 8},
        {"'}' before any '{' does not count", "} { }", 4},
        {"unclosed", "{ { }", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.offset, Offset(c.text, FindClosingBrace(c.text))) << c.what;
}

TEST(EntryTokens, ReplaceAllAndKeywords)
{
    char text[64] = "a\\nb\\nc";
    ReplaceAll(text, "\\n", "\n");
    EXPECT_STREQ("a\nb\nc", text);
    ReplaceAll(text, "\n", "<br>");
    EXPECT_STREQ("a<br>b<br>c", text);

    const char* const table[] = {"Julia", "Mandel", nullptr};
    EXPECT_EQ(1, LookupKeyword("MANDEL", table));
    EXPECT_EQ(7, LookupKeyword("7", table));
    EXPECT_EQ(0, LookupKeyword("x", table));
    int value = 42, kind = -1;
    LookupKeywordOrNumber("x", table, &value, &kind);
    EXPECT_EQ(0, kind);
    EXPECT_EQ(42, value);
    LookupKeywordOrNumber("julia", table, &value, &kind);
    EXPECT_EQ(1, kind);
    EXPECT_EQ(0, value);
    LookupKeywordOrNumber("-12", table, &value, &kind);
    EXPECT_EQ(2, kind);
    EXPECT_EQ(-12, value);
}

// Two items share a line, a third breaks it, an over-long item is cut into
// pieces ending in '\' and ends its line; joining the lines gives the item
// back, losing only the blanks at the starts of pieces.
TEST(TextWriter, WrapsItemsAtTheWidth)
{
    WrittenText out;
    std::string a(30, 'a'), b(30, 'b'), c(10, 'c'), d(150, 'd');
    out.writer.WriteItem(a.c_str());
    out.writer.WriteItem(b.c_str());
    EXPECT_EQ(63, out.writer.column);
    out.writer.WriteItem(c.c_str());
    out.writer.WriteItem(d.c_str());
    EXPECT_EQ(0, out.writer.column);
    out.writer.WriteItem("e=1");
    out.writer.WriteSection("gradient:");
    out.writer.WriteItem("f=2");
    // The long item starts on the line of the short one with the room left.
    std::string expected = "  " + a + " " + b + "\n  " + c + "  " + std::string(55, 'd') + "\\\n  " +
                           std::string(67, 'd') + "\\\n  " + std::string(28, 'd') + "\n  e=1\ngradient:\n  f=2";
    std::string text = out.Text();
    EXPECT_EQ(expected, text);

    std::vector<char> joined(text.begin(), text.end());
    joined.push_back(0);
    JoinContinuedLines(joined.data());
    EXPECT_NE(nullptr, strstr(joined.data(), ("  " + d + "\n").c_str()));
}

// An over-long item written after other items starts on the same line
// with what room is left.
TEST(TextWriter, LongItemAfterOtherItemsUsesTheRestOfTheLine)
{
    WrittenText out;
    out.writer.WriteItem("x=1");
    std::string d(100, 'd');
    out.writer.WriteItem(d.c_str());
    EXPECT_EQ("  x=1  " + std::string(62, 'd') + "\\\n  " + std::string(38, 'd') + "\n", out.Text());
}

// The reader drops the blanks that start a continued line: wherever the
// cut falls in an item with blanks, the joined text is the item again.
TEST(TextWriter, CutsNeverStartAPieceWithABlank)
{
    const std::string words = "commentTemplate=\"Saved on $month$, $day$ $year$ at $hour$:$min$  two  blanks\"";
    for (int lead = 0; lead < 40; ++lead) {
        std::string item = std::string(lead, 'x') + words + std::string(80, 'y') + " z";
        WrittenText out;
        out.writer.WriteItem(item.c_str());
        std::string text = out.Text();
        std::vector<char> joined(text.begin(), text.end());
        joined.push_back(0);
        JoinContinuedLines(joined.data());
        EXPECT_EQ("  " + item + "\n", std::string(joined.data())) << lead;
    }
}

TEST(JoinContinuedLines, RemovesBackslashLineBreaksAndIndentation)
{
    struct Case {
        const char* text;
        const char* joined;
    };
    const Case cases[] = {
        {"a=1\\\n   2", "a=12"},
        {"a=1\\\r\n\t 2\\\n3\\\r4", "a=1234"},
        {"a\\ b\\x", "a\\ b\\x"},
        {"a\\", "a\\"},
        {"", ""},
    };
    for (const Case& c : cases) {
        std::vector<char> text(c.text, c.text + strlen(c.text) + 1);
        JoinContinuedLines(text.data());
        EXPECT_STREQ(c.joined, text.data()) << c.text;
    }
}

TEST(CommentLines, SplitAtTheFirstSemicolonOutsideQuotes)
{
    const char* text = "{ a=1 ;  first\r\n\r\n  t=\"x;y\" ; second ; more\n b=2\n}";
    std::string code, comment;
    int length = SplitComments(text, (int)strlen(text) - 1, code, comment);
    EXPECT_EQ("{ a=1 \n  t=\"x;y\" \n b=2\n}\n", code);
    EXPECT_EQ("first\nsecond ; more", comment);
    EXPECT_EQ((int)comment.size(), length);
    // Only text[0..last] is split.
    SplitComments("a;b\nc;d", 2, code, comment);
    EXPECT_EQ("a\n", code);
    EXPECT_EQ("b", comment);
}

TEST(CommentLines, TagsTakeTheValuesOfTheMomentOfWriting)
{
    CommentTagValues v = {2026, 3, 14, 9, 5, 7, 640, 480, 3723456.0};
    struct Case {
        const char* line;
        const char* expanded;
    };
    const Case cases[] = {
        {"made $year$-$month$-$day$ $hour$:$min$:$sec$", "made 2026-Mar-14 09:05:07"},
        {"$date$ at $time$", "Mar 14, 2026 at 09:05:07"},
        {"$xdots$x$ydots$ in $calctime$ by $version$", "640x480 in 01:02:03.456 by 4.0"},
        {"$unknown$ $$ $year", "$unknown$ $$ $year"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expanded, ExpandCommentTags(c.line, v)) << c.line;
    // A line that grows past the limit is cut, not overrun.
    std::string many;
    for (int i = 0; i < 100; i++)
        many += "$date$";
    EXPECT_EQ((size_t)COMMENT_LINE_MAX, ExpandCommentTags(many, v).size());

    WrittenText out;
    WriteCommentText(out.writer, "in $year$\n\nsecond", v);
    EXPECT_EQ("                  ; in 2026\n                  ; second\n", out.Text());
}

TEST(CompressedBlock, DecodesLittleEndianSextets)
{
    unsigned char out[16];
    EXPECT_EQ(3, DecodeBase64("AAAA", out));
    EXPECT_EQ(0, out[0] | out[1] | out[2]);
    EXPECT_EQ(-1, DecodeBase64("AAAAA", out));
    EXPECT_EQ(-1, DecodeBase64("AA*A", out));
    // The first letter is the lowest six bits: "BAAA" is 1, "AB==" is 64.
    EXPECT_EQ(3, DecodeBase64("BAAA", out));
    EXPECT_EQ(1, out[0]);
    EXPECT_EQ(1, DecodeBase64("AB==", out));
    EXPECT_EQ(64, out[0]);
    EXPECT_EQ(2, DecodeBase64("/wA=", out));  // 63 + 48 * 64
    EXPECT_EQ(0x3F, out[0]);
    EXPECT_EQ(0x0C, out[1]);
}

// The fixtures were made with tools/entry_compress.py (Python's zlib).
TEST(CompressedBlock, InflatesThePythonMadeBody)
{
    char* body = DecodeCompressedBlock("::DAAAAgHnLRbNEAQARDA0\n}");
    ASSERT_NE(nullptr, body);
    EXPECT_STREQ("a=1\r\n}", body);
    free(body);

    body = DecodeCompressedBlock(
        "::QBAAAgHnLtiSM5SSMHr4SBFKJzSyJVbVyJgikqC1qQm5pQiQETJuyJxKTtIQqJ5E\n"
        "  LokMzPPgqKxkzO9iyv08SRJFyvgETOzSq0WDNwAuAATeaQE=\r\n}");
    ASSERT_NE(nullptr, body);
    EXPECT_STREQ("fractal:\n  title=\"Brace } in a title\"\nlayer:\n  caption=\"Background\" opacity=100\n\r\n}", body);
    free(body);

    // Not a multiple of four, a letter outside the alphabet, a stream that
    // is cut short or is no zlib stream: no body at all.
    EXPECT_EQ(nullptr, DecodeCompressedBlock("::DAAAAgHnLRbNEAQARDA}"));
    EXPECT_EQ(nullptr, DecodeCompressedBlock("::DAAAAgHnLRbNEAQARD*0}"));
    EXPECT_EQ(nullptr, DecodeCompressedBlock("::DAAAAgHnLRbN}"));
    EXPECT_EQ(nullptr, DecodeCompressedBlock("::AAAAAAAAAAAA}"));
}
