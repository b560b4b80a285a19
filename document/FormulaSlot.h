// What the formula-driven blocks (escape-time, quaternion, attractor) hold
// per formula: a slot naming the file and entry with the stored values of
// the formula's parameters and the compiled formula, and the colouring
// settings that go with a colouring formula. Both are runs of fields inside
// packed blocks, so they keep the parameter tables' field widths.
#pragma once
#include <stdint.h>
#include "foundation/List.h"

class Fractal;
class FormulaHolder;

#pragma pack(push, 4)
struct FormulaSlot {
    char fileName[64] = "";  // "Formula Filename"
    char entryName[64] = ""; // "Formula Name": the entry asked for
    char foundName[64] = ""; // the entry the lookup found
    NodeList parameters;     // FormulaSymbol: stored parameter values
    NodeList functions;      // FormulaFuncParameter: chosen functions
    FormulaHolder* holder = nullptr;   // owned; its word is non-zero after a good compile

    // Sets the three names (null leaves a name empty).
    void SetNames(const char* file, const char* entry, const char* found);
    // Names and value lists copied; a new holder of kind whose source is a
    // copy of the other's, compiled for subKind.
    void CopyFrom(const FormulaSlot& other, int kind, int subKind);
    // Deletes the stored values and the holder.
    void Release();
    // Empties the stored values and the holder's source (the holder stays).
    void Clear();
};

struct ColouringSettings {
    double Density, Accel, Smooth, Offset;
    int32_t Mapping;         // Transfer: 0 None, 1 Linear, ...
    int32_t WrapAround;
    uint8_t SolidColor[4];   // RGBA
    int32_t SolidOpacity;

    void SetDefaults(int mapping);
};
#pragma pack(pop)

// Names of the transfer functions (Mapping) as entries write them,
// null-ended: "None", "Linear", "Sqr", ... "ArcTan".
extern const char* const g_TransferNames[];

// Finds the slot's formula (lookup by file and entry, built-in default as
// fallback) for a fractal of fractalType and compiles it as kind under the
// found name when the holder has not compiled yet.
void LookupAndCompile(FormulaSlot& slot, Fractal* owner, int fractalType, int kind, int subKind);

// Compiles the holder's source (for the kind its compiler is set to) under
// name and keeps only whether it succeeded: 1 good, 0 not.
int CompileHolder(FormulaHolder* holder, Fractal* fractal, const char* name, int subKind);

// Gives holder a private copy of source's text and compiles it for
// subKind (a quaternion or attractor formula does not compile as a plane
// formula).
void CopyFormulaSource(FormulaHolder* holder, const FormulaHolder* source, int subKind);
// The sub kind formulas of a fractal type compile for.
int FormulaSubKind(int fractalType);
// Copies a list of transformations (FormulaInstance) for a new owner.
void CopyFormulaInstanceList(Fractal* owner, const NodeList* source, NodeList* destination);
// Releases the texture users of a holder (slot 1 iteration, 2 outside, 3
// inside) and purges textures nobody uses; a no-op until the calculation
// installs its texture cache.
extern void (*g_ReleaseTextureUser)(Fractal* owner, int slot, const void* holder);
void ReleaseTextures(Fractal* owner, int slot, const void* holder);
