// Tokenizer, searches and keyword lookups of parameter entries and the other
// brace-structured text files. Characters are compared as signed bytes, so
// every byte from 0x80 up counts as a blank outside double quotes; nothing
// here keeps state between calls.
#pragma once

enum { TOKEN_CAPACITY = 511, LONG_TOKEN_CAPACITY = 1025 };

// Copies the next token at or after position into out (TOKEN_CAPACITY
// bytes, at most 510 characters kept); returns the position just past the
// token, or -1 when only blanks remain. Blanks inside double quotes stay in
// the token, quotes included.
int NextToken(const char* text, char* out, int position);
// The same for tokens of up to 1024 characters (out needs
// LONG_TOKEN_CAPACITY bytes); inside quotes a line break (CR LF, LF CR, CR
// or LF) becomes one blank, so a quoted value may span lines.
int NextLongToken(const char* text, char* out, int position);
// Like NextLongToken, but keeps the whole token however long it is.
int NextWholeToken(const char* text, char** out, int position);

// The first ch outside double quotes, or null.
const char* FindUnquoted(const char* text, char ch);
// The first ch outside double quotes and outside ';' comments (a ';'
// outside quotes starts a comment that runs to the end of its line), or
// null. The entry searches use it so that braces in quoted values never
// open or close an entry.
const char* FindUncommentedUnquoted(const char* text, char ch);
// The '}' that closes the first '{' of a text with ';' comments, quoted
// text skipped; null when the text ends first.
const char* FindClosingBrace(const char* text);
// The first ch at brace depth 0, outside quotes and ';' comments; a '}'
// never lowers the depth below 0.
const char* FindCharAtTopLevel(const char* text, char ch);

// Replaces every occurrence of pattern in text, in place. The caller leaves
// room for the longer text; replacement must not contain pattern.
void ReplaceAll(char* text, const char* pattern, const char* replacement);

// The index of word in the null-terminated table (without case); else the
// decimal number the word spells, or 0.
int LookupKeyword(const char* word, const char* const* table);
// kind 1: value = the index in table; kind 2: value = the number the word
// spells; kind 0: neither, value untouched.
void LookupKeywordOrNumber(const char* word, const char* const* table, int* value, int* kind);
