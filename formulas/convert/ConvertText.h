// The output text of the foreign-formula converters and the few layout
// steps both of them use: new lines at an indentation, insertion at a
// remembered offset, and the small character classes of formula texts.
#pragma once

#include <string>

namespace convert {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
inline bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsWordChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }
inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }
std::string LowerText(const std::string& text);
// Case-insensitive comparison of the first n characters.
bool StartsNoCase(const char* text, const char* prefix);
bool EqualNoCase(const std::string& a, const char* b);
// Length of a number at text (digits, point, fraction, exponent), 0 when
// none starts there. Names that follow digits ("1e5") stay part of it.
int NumberLength(const char* text);

// The converted text being written.
class ConvertOutput {
public:
    std::string text;

    void Clear() { text.clear(); }
    void Write(const std::string& s) { text += s; }
    void Write(char c) { text += c; }
    bool EndsWith(char c) const { return !text.empty() && text.back() == c; }
    // Drops blanks and tabs at the end, then writes n tabs.
    void IndentAt(int n);
    // Drops blanks and tabs at the end; writes a line end unless the text
    // then ends in one (or a carriage return).
    void LineEnd();
    // Steps back over white space at the end: when a line end was among it
    // the text continues right after the first of them, else a line end is
    // written; then n tabs.
    void NewLineAt(int n);
};

}  // namespace convert
