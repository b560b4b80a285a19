// The formula:, inside:, transform:, dimensional: and lighting: sections of
// a quaternion entry. Most items are written only when they differ from a
// new fractal of the same type, so a reader filling a new fractal restores
// the rest from its defaults.
#pragma once
class TextWriter;
class Fractal;

// sectionMask bits: 0x40 transform:, 0x80 formula:, 0x400 rendering items,
// 0x100 inside:, 0x800 dimensional: and lighting:.
void WriteQuaternionSections(TextWriter& writer, Fractal* fractal, Fractal* defaultFractal, int sectionMask);
// One item of a quaternion entry's formula: (2), inside: (3),
// dimensional: (7) or lighting: (8) section; 0 when the fractal is null or
// not a quaternion, else 1.
int ReadQuaternionKeys(Fractal* fractal, int section, const char* key, char* value);
