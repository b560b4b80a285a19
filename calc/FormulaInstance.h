// One formula of a fractal beside its fixed slots: a transformation of an
// escape-time or quaternion fractal. It names its entry and file, keeps the
// stored values of the formula's parameters and owns the compiled formula.
// Also the texture cache: image files of image parameters, loaded once and
// shared by every fractal under g_TexturesLock, and their copy into arrays.
#pragma once
#include <stdint.h>
#include "foundation/List.h"

class Fractal;
class FormulaHolder;
class FormulaSymbol;

class FormulaInstance : public ListNode {
public:
    // Empty lists, a fresh holder of the transformation kind, active. Names
    // longer than 63 characters are cut.
    FormulaInstance(Fractal* owner, const char* entryName, const char* fileName);
    // Releases the instance's texture users (slot 0) and purges the unused
    // textures before the holder goes.
    virtual ~FormulaInstance();

    // Fills the holder's source from the formula files by fileName and
    // entryName (or a built-in default), writing foundName ("Not Found:
    // ..." when the lookup failed).
    void Lookup();

    Fractal* owner;             // not owned
    char entryName[64];
    char fileName[64];
    char foundName[64];         // the entry the lookup found
    NodeList parameters;        // FormulaSymbol nodes: the stored values
    NodeList functions;         // FormulaFuncParameter nodes
    FormulaHolder* holder;      // owned
    int32_t active;             // only active instances are compiled and run
};

// ---------------------------------------------------------------------------
// Texture cache

enum { TEXTURE_NAME_SIZE = 512 };

// A user of a texture: which fractal, formula slot (0 transformation, 1
// iteration, 2 outside, 3 inside colouring) and formula holder.
class TextureUser : public ListNode {
public:
    TextureUser() : owner(nullptr), slot(-1), key(nullptr) {}
    Fractal* owner;
    int slot;
    const void* key;
};

// A loaded image: width x height pixels of red, green, blue bytes, top row
// first, as the plain image readers give them whatever the file's format.
class Texture : public ListNode {
public:
    // Loads the file (a name without a drive is taken in the texture
    // folder); a missing, unreadable or over-long name gives one black pixel.
    explicit Texture(const char* fileName);
    virtual ~Texture();

    char fileName[TEXTURE_NAME_SIZE];
    uint8_t* pixels;
    int width, height;
    NodeList users;     // TextureUser
};

// The texture of that file name (case ignored), loaded when new, with a
// user {owner, slot, key} added. Without a name (or with one longer than a
// texture keeps) a fresh unnamed black texture each time.
Texture* AcquireTexture(const char* fileName, Fractal* owner, int slot, const void* key);
// Removes every user of every texture matching owner, slot and key.
void ReleaseTextureUser(Fractal* owner, int slot, const void* key);
// Deletes every texture without users.
void PurgeUnusedTextures();

// Allocates the value block of an array symbol (header and zeroed
// elements) and stores its address at the symbol's slot of dataBlock.
// 0 done; 1 when it would reach 2^31 bytes, has no or more than the
// header's dimensions, or the memory cannot be had.
int AllocateParameterArray(uint8_t* dataBlock, const FormulaSymbol* array);
// Fills an array symbol's elements from a texture (an image-sized array is
// first sized to the texture and allocated). 0 done, also for element types
// without an image form; 1 when the array cannot be allocated.
int FillTextureParameter(FormulaSymbol* array, uint8_t* dataBlock, const Texture* texture);
