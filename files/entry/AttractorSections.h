// The formula:, iteration:, pixeltransformation:, inside: and dimensional:
// sections of an attractor entry. Every item is written whatever its value.
#pragma once
class TextWriter;
class Fractal;
class AttractorFormula;
class AttractorTransformation;

// sectionMask bits: 0x80 formula: with the maps, 0x400 rendering items,
// 0x100 inside:, 0x800 dimensional:.
void WriteAttractorSections(TextWriter& writer, Fractal* fractal, int sectionMask);
// One item of an attractor entry: formula: (2), inside: (3),
// dimensional: (9, also after a lighting: line, 8), iteration: (10, into
// map) and pixeltransformation: (11, into transformation). 0 when the
// fractal is null or not an attractor, else 1.
int ReadAttractorKeys(Fractal* fractal, AttractorFormula* map, AttractorTransformation* transformation, int section,
                      const char* key, char* value);

// True for "TRUE", "YES", "1" and "Y" in any case.
bool ParseBool(const char* text);
// The index of name (without case) among the formula function names
// ("sin", "sinh", ...) or, with mergeNames non-null, the merge function
// names ("mergenormal", ...); 0 when absent.
int FindInNameTable(const char* name, const void* mergeNames);
