// The light%d... items of the eight lights that quaternion and attractor
// entries share: written per light (all of them, or those that differ from
// a default block) and read back by light number and name.
#pragma once
#include <stdint.h>

#include <string>

class TextWriter;
struct LightBlock;

// A colour packed as 0xRRGGBB, as both section writers store it.
int PackedColour(const uint8_t* rgb);
void SetPackedColour(uint8_t* rgb, int colour);

// The light's enabled, shadow, relative, position, colour and factor
// items; with defaults only the items whose value differs from it.
void WriteLightItems(TextWriter& writer, const LightBlock& lights, const LightBlock* defaults, int light);

// The per-light colour values only a quaternion has ("IntensSat",
// "IntensLum", "SpecularSat", "SpecularLum", in that order); null entries
// for an attractor.
struct LightColourValues {
    double* values[4];
};

// Reads key when it is "light" followed by one digit 0..7 and a known
// name (the name without case). True when the key had that form, also
// when its name or number was not one the lights know.
bool ReadLightKey(LightBlock& lights, const LightColourValues* colourValues, const char* key, const char* value);

// "%lf/%lf/%lf"-style vectors: count components into out; components the
// text lacks become 0. False (out untouched) when not even one parses.
bool ReadVector(const char* value, double* out, int count);
