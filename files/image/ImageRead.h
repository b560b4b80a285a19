// The plain image readers used by textures, interface images and the 3D
// views: a PNG or JPEG file becomes a buffer of width x height pixels of
// red, green, blue (top row first, no row padding), whatever the file's
// colour type. PNG and JPEG give the same byte order, so a caller never
// needs to know which file it read.
#pragma once

// The folder that texture names without a drive are taken from (the
// "TexturePath" setting); empty means the current folder.
extern char g_TexturePath[260];

// Reads name: a name of more than two characters beginning with a letter
// and a colon is used as it is, any other name is taken in g_TexturePath.
// ".png" in any case reads PNG, everything else JPEG. Width and height are
// set to 0 first. The buffer is the caller's (free with delete[]); null on
// any failure and for an empty name.
unsigned char* ReadImageFile(const char* name, int* width, int* height);
// PNG: palettes and low bit depths are expanded, 16-bit samples cut to 8
// bits, grey goes into all three channels; pixels with alpha 0 become white,
// the others keep their colour. Null on any failure.
unsigned char* ReadPngFile(const char* path, int* width, int* height);
// JPEG, decoded to RGB; the height is the number of scanlines read. Null
// on any failure.
unsigned char* ReadJpegFile(const char* path, int* width, int* height);
