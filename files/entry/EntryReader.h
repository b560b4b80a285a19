// Reading a parameter entry back into a Fractal: the own form with its
// sections and nested layer fractals, the entries of older versions (old
// type numbers, turned into escape-time fractals with the shipped
// formulas), Fractint entries and the layered form of other programs'
// parameter files, also compressed.
#pragma once

class Fractal;

// Parses text (from anywhere before the name to the closing brace; joined
// in place where lines were continued) into fractal. folderName (64 bytes
// or null) receives FOLDER of a name "[FOLDER].NAME" when the fractal has
// no name yet; keepType keeps the fractal's type and renews only its
// block; mask goes to the base-key reader; versionOverride, when above 0,
// is the version assumed before a version= item. Returns fractal, or null
// when the text has no braces, names a type no table holds (a warning,
// the fractal left as it was) or its compressed body does not decode.
Fractal* ReadParameterEntry(Fractal* fractal, char* text, char* folderName, bool keepType, int mask,
                            double versionOverride);
