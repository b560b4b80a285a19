#pragma once

// Text machinery of the parameter-file readers and the other brace-structured
// text files (";" starts a comment that runs to the end of its line).

// The first occurrence of ch in text that does not stand after a ";" on its
// own line (the line starts after the last CR or LF before it, or at the start
// of the text); null when there is none. Double quotes are not considered.
char* FindUncommented(char* text, char ch);
const char* FindUncommented(const char* text, char ch);
