// The sections of an escape-time entry (transform:, formula:, inside:,
// outside:) in both directions, and ReadSectionKeys, the one key reader of
// every section of escape-time, layered and quaternion entries: it takes
// the formula sections itself and hands layer, gradient and alpha items on
// to the colour sections.
#pragma once

class Fractal;
class FormulaInstance;
class Layer;
class TextWriter;

// Section codes of the own form and of the layered form of other programs.
enum EntrySection {
    SEC_NONE = 0, SEC_TRANSFORM = 1, SEC_FORMULA = 2, SEC_INSIDE = 3, SEC_OUTSIDE = 4, SEC_LAYER = 5,
    SEC_GRADIENT = 6, SEC_DIMENSIONAL = 7, SEC_LIGHTING = 8, SEC_ATTRACTOR_DIMENSIONAL = 9, SEC_ITERATION = 10,
    SEC_PIXELTRANSFORMATION = 11, SEC_FRACTAL = 100, SEC_IMPORTED_LAYER = 101, SEC_MAPPING = 102,
    SEC_IMPORTED_GRADIENT = 103, SEC_ALPHA = 104, SEC_DIMS = 1024,
};

// sectionMask: 0x40 transform:, 0x80 formula:, 0x100 inside:, 0x200 outside:.
void WriteEscapeTimeSections(TextWriter& writer, Fractal* fractal, int sectionMask);

// Applies one key=value item of section to fractal; transformation is the
// instance of the current transform: header, layer the Layer being read,
// imported is set for the layered form of other programs (and gradient
// files). 0 when the fractal is null or its type has no such sections
// (an own-form gradient: item is taken by every type), else 1.
int ReadSectionKeys(Fractal* fractal, int section, FormulaInstance* transformation, const char* key, char* value,
                    Layer* layer, bool imported, double version);

// Finds the formula file (fileName, 64 bytes, in and out) that holds the
// iteration formula entryName: in the library, else in the folders of the
// formula search path, importing the file found there. Non-zero when found;
// fileName is then the library file's name, else untouched.
int LocateFormulaEntry(char* fileName, const char* entryName);
