// Loading a PNG or JPEG with its embedded parameter entry: the picture
// goes into one of two prepared image fractals (one for a normal window,
// one for a fixed-size window with scroll bars, chosen by the image size
// against the screen), and the entry becomes an ordinary fractal linked to
// the image fractal. Runs on the file worker; reports through
// WorkerErrorCode, WorkerText and WorkerProgress (files/image/ImageWrite.h).
#pragma once

class Fractal;
class FractalFolder;

// The image-fractal pair of one load. The reader clears the member it does
// not use; the caller keeps the other one and deletes the cleared one.
struct ImageFractalPair {
    Fractal* normal = nullptr;
    Fractal* fixedSize = nullptr;
};

// Two FT_IMAGE fractals of 24 bits per pixel named name (cut to 63
// characters); the fixed-size one has the scroll-bar mode. No tasks yet.
void MakeImageFractalPair(const char* name, ImageFractalPair* pair);

// Reads path into the chosen fractal of pair (its task is sized to the
// image; a fractal without task gets a windowless one) and links the
// embedded entry. Codes: 1 cannot open, 2 PNG read error, 3 PNG structures,
// 4 no memory for the image, 5 JPEG error. False on failure or cancel.
bool LoadPngWithParameters(const char* path, ImageFractalPair* pair);
bool LoadJpegWithParameters(const char* path, ImageFractalPair* pair);

// Reads the entries of an embedded text into a new folder named after the
// image, parses them in order up to and including the first layered one
// (the rest stay unparsed), and links the image fractal with that layered
// fractal or else with the first one. Null when the text holds no entry.
FractalFolder* LinkEmbeddedEntries(Fractal* image, const char* imagePath, const char* text, int length);
