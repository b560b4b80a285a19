// The ';' comment lines of a parameter entry: splitting an entry's body
// into code and comment, and writing a comment back with its tags ($year$,
// $xdots$, $calctime$, ...) replaced by the values of the moment of writing.
#pragma once

#include <string>

class TextWriter;

// Splits text[0..last] line by line at the first ';' outside double
// quotes: the part before goes to code, the part after (without its
// leading blanks) to comment, each line ending in LF; runs of line breaks
// count as one. The comment loses its final LF; returns its length.
int SplitComments(const char* text, int last, std::string& code, std::string& comment);

// What the comment tags stand for when an entry is written.
struct CommentTagValues {
    int year, month, day, hour, minute, second;  // local time; month 1..12
    int xdots, ydots;                           // image size
    double calcMilliseconds;                    // estimated calculation time
};
// The local time now, the rest zero.
CommentTagValues CommentTagsNow();

enum { COMMENT_LINE_MAX = 499 };
// line with every tag replaced, cut to COMMENT_LINE_MAX characters.
std::string ExpandCommentTags(const std::string& line, const CommentTagValues& values);
// Writes each non-empty line of comment as 18 blanks, "; ", the expanded
// line and a line break, straight to the writer's file.
void WriteCommentText(TextWriter& writer, const char* comment, const CommentTagValues& values);
