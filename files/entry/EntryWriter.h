// Turning a Fractal into the text of a parameter entry, and the two save
// commands that put entries into parameter files. Every producer of entry
// text (files, undo, clipboard, images, render jobs, presets, layers) goes
// through WriteParameterEntry.
#pragma once

#include <stdio.h>

class Fractal;
class FractalFolder;
class TextWriter;

// Writes fractal's entry into stream; without a stream it opens path and
// fileName joined by '\' (or whichever of the two is given) with mode "a"
// (append) or "w", and the entry then always has its braces, and three
// line breaks follow an appended one. withInfo asks for the info items,
// mask selects the parts (-1 everything), presetType is a nonzero preset
// kind for presets, withBraces asks for the name line, version= and "}".
// Sets the header's save time; a file that cannot be opened writes nothing.
void WriteParameterEntry(FILE* stream, Fractal* fractal, const char* path, const char* fileName, bool append,
                         bool withInfo, int mask, int presetType, bool withBraces);

// Every layer of a layered fractal, in list order, with its fractal.
void WriteLayers(TextWriter& writer, Fractal* layered);

// The fractal's comment lines, tags replaced by the values of now.
void WriteCommentLines(Fractal* fractal, TextWriter& writer);

// The entry text as WriteParameterEntry makes it (no file involved).
char* MakeParameterText(Fractal* fractal, bool withInfo, int mask, bool withBraces);

// Adds fractal to the parameter file at path (already chosen), asking
// about odd files and an existing entry of the same name. True when the
// entry was written; the fractal is then marked saved.
bool SaveFractalToParameterFile(Fractal* fractal, const char* path);

// Writes every fractal of folder (layer fractals inside their layered
// fractal) into a new parameter file at path. True when written.
bool SaveFolderAsParameterFile(FractalFolder* folder, const char* path);
