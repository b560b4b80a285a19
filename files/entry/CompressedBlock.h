// Compressed parameter entries: the body after "::" is base64 text whose
// six-bit groups are packed little-endian, holding four bytes and then a
// zlib stream of the entry's body. The program reads such entries and
// never writes them.
#pragma once

// The decoded body followed by CR LF "}" as a new heap text (free()), or
// null when the text is not well-formed or the stream does not inflate.
// text is what follows the entry's opening brace.
char* DecodeCompressedBlock(const char* text);
// Decodes the sextet text into out (room for length * 3 / 4 + 1 bytes),
// NUL-terminated; returns the byte count, or -1 for a length that is not a
// multiple of 4 or a character outside the alphabet.
int DecodeBase64(const char* text, unsigned char* out);
// Inflates a zlib stream into a new heap text ending in CR LF "}" (free()),
// or null on a zlib error.
char* InflateText(const unsigned char* data, int length);
