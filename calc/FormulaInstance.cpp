// Transformations of a fractal (construction, lookup, release) and the
// texture cache with the copy of a texture into a formula's array. Every
// walk of g_Textures holds g_TexturesLock; filling reads a texture without
// it, since a texture with a user is never deleted.
#include "calc/FormulaInstance.h"

#include <string.h>
#include <windows.h>

#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "files/image/ImageRead.h"
#include "document/FormulaSlot.h"
#include "document/Fractal.h"
#include "formulas/FormulaKind.h"
#include "formulas/FormulaLookup.h"
#include "foundation/Thread.h"

namespace {

// The document's formula slots release their texture users through this.
void ReleaseAndPurge(Fractal* owner, int slot, const void* holder)
{
    ReleaseTextureUser(owner, slot, holder);
    PurgeUnusedTextures();
}

struct BindTextureRelease {
    BindTextureRelease() { g_ReleaseTextureUser = ReleaseAndPurge; }
} g_bindTextureRelease;

enum { ARRAY_HEADER_BYTES = 64, ARRAY_HEADER_MAX_DIMENSIONS = 13 };
static_assert((int)SYMBOL_MAX_DIMENSIONS <= (int)ARRAY_HEADER_MAX_DIMENSIONS, "array sizes fit the block header");

class TexturesLocked {
public:
    TexturesLocked() { g_TexturesLock.Lock(); }
    ~TexturesLocked() { g_TexturesLock.Unlock(); }
};

void* ArrayBlockAt(uint8_t* dataBlock, const FormulaSymbol* array)
{
    void* block;
    memcpy(&block, dataBlock + array->dataOffset, sizeof block);
    return block;
}

// Width in bytes of one component slot of an element type at a precision.
int ComponentWidth(int elementType, int precision)
{
    if (elementType == DT_COLOR || elementType == DT_INT || elementType == DT_BOOL) return 4;
    return precision == PREC_EXTENDED ? 16 : precision == PREC_DOUBLE ? 8 : 4;
}

// One component: written as a float, then widened in place, so 80-bit and
// double elements hold the float's value as the compiled code expects.
void StoreComponent(uint8_t* slot, float value, int elementType, int precision)
{
    if (elementType == DT_COLOR || precision == PREC_FLOAT) {
        memcpy(slot, &value, 4);
    } else if (precision == PREC_DOUBLE) {
        double d = value;
        memcpy(slot, &d, 8);
    } else {
        long double e = value;
        memcpy(slot, &e, 10);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// FormulaInstance

FormulaInstance::FormulaInstance(Fractal* ownerIn, const char* entry, const char* file)
    : owner(ownerIn), holder(new FormulaHolder(FK_TRANSFORMATION)), active(1)
{
    entryName[0] = fileName[0] = foundName[0] = 0;
    if (entry)
        lstrcpynA(entryName, entry, sizeof entryName);
    if (file)
        lstrcpynA(fileName, file, sizeof fileName);
}

FormulaInstance::~FormulaInstance()
{
    ReleaseTextureUser(owner, 0, holder);
    PurgeUnusedTextures();
    parameters.DeleteAllNodes();
    functions.DeleteAllNodes();
    delete holder;
}

void FormulaInstance::Lookup()
{
    int type = owner && owner->header && owner->header->Type >= 0 ? owner->header->Type : FT_ESCAPETIME;
    LookupFormula(owner, type, fileName, sizeof fileName, entryName, foundName, holder);
}

// ---------------------------------------------------------------------------
// Textures

Texture::Texture(const char* name) : pixels(nullptr), width(0), height(0)
{
    fileName[0] = 0;
    if (name && strlen(name) < sizeof fileName) strcpy(fileName, name);
    if (fileName[0]) {
        pixels = ReadImageFile(fileName, &width, &height);
        if (pixels && width > 0 && height > 0) return;
        delete[] pixels;
    }
    // One black pixel (with room to spare for readers of a few pixels).
    pixels = new uint8_t[100]();
    width = height = 1;
}

Texture::~Texture()
{
    delete[] pixels;
    users.DeleteAllNodes();
}

Texture* AcquireTexture(const char* name, Fractal* owner, int slot, const void* key)
{
    TexturesLocked locked;
    // A name too long for the texture's field is never matched: it gets a
    // texture of its own, as an unnamed one does.
    bool named = name && name[0] && strlen(name) < TEXTURE_NAME_SIZE;
    Texture* texture = nullptr;
    if (named) {
        for (ListNode* n = g_Textures.GetHead(); n && !texture; n = n->next)
            if (_stricmp(static_cast<Texture*>(n)->fileName, name) == 0) texture = static_cast<Texture*>(n);
    }
    if (!texture) {
        texture = new Texture(named ? name : nullptr);
        g_Textures.Append(texture);
    }
    TextureUser* user = new TextureUser;
    user->owner = owner;
    user->slot = slot;
    user->key = key;
    texture->users.Append(user);
    return texture;
}

void ReleaseTextureUser(Fractal* owner, int slot, const void* key)
{
    TexturesLocked locked;
    for (ListNode* n = g_Textures.GetHead(); n; n = n->next) {
        NodeList& users = static_cast<Texture*>(n)->users;
        for (ListNode* u = users.GetHead(); u;) {
            ListNode* next = u->next;
            TextureUser* user = static_cast<TextureUser*>(u);
            if (user->owner == owner && user->slot == slot && user->key == key) {
                users.Remove(user);
                delete user;
            }
            u = next;
        }
    }
}

void PurgeUnusedTextures()
{
    TexturesLocked locked;
    for (ListNode* n = g_Textures.GetHead(); n;) {
        ListNode* next = n->next;
        Texture* texture = static_cast<Texture*>(n);
        if (texture->users.IsEmpty()) {
            g_Textures.Remove(texture);
            delete texture;
        }
        n = next;
    }
}

// ---------------------------------------------------------------------------
// Arrays

int AllocateParameterArray(uint8_t* dataBlock, const FormulaSymbol* array)
{
    int d = (int)array->value[0];
    if (d < 1 || d > SYMBOL_MAX_DIMENSIONS || array->dataOffset < 0) return 1;
    double n = 1;
    for (int k = 0; k < d; ++k) n *= array->dimensions[k] > 0 ? array->dimensions[k] : 0;
    double bytes = ArrayElementSize(array) * n + ARRAY_HEADER_BYTES;
    if (bytes >= 2147483648.0) return 1;
    void* block = AllocateParameterArray(array);
    if (!block) return 1;
    // The compiler's allocation falls back to a block without elements.
    const int32_t* header = static_cast<const int32_t*>(block);
    if (n > 0 && header[3] == 0) {
        VirtualFree(block, 0, MEM_RELEASE);
        return 1;
    }
    memcpy(dataBlock + array->dataOffset, &block, sizeof block);
    return 0;
}

int FillTextureParameter(FormulaSymbol* array, uint8_t* dataBlock, const Texture* texture)
{
    if (array->dataType == DT_ARRAY) {
        array->value[0] = 2;
        array->dimensions[0] = texture->width;
        array->dimensions[1] = texture->height;
        if (AllocateParameterArray(dataBlock, array)) return 1;
    } else if (!ArrayBlockAt(dataBlock, array) && AllocateParameterArray(dataBlock, array)) {
        return 1;
    }
    uint8_t* block = static_cast<uint8_t*>(ArrayBlockAt(dataBlock, array));
    const int32_t* header = reinterpret_cast<const int32_t*>(block);
    int elementType = array->precision, precision = array->elementPrecision;
    int components;
    switch (elementType) {
    case DT_COMPLEX: components = 2; break;
    case DT_REAL: case DT_INT: case DT_BOOL: components = 1; break;
    case DT_QUATERNION: case DT_COLOR: components = 4; break;
    default: return 0;
    }
    int dims = header[2];
    int W = dims >= 1 ? header[3 + dims - 1] : 0;
    int H = dims >= 2 ? header[3 + dims - 2] : 1;
    int elementSize = header[1];
    int width = ComponentWidth(elementType, precision);
    int w = texture->width, h = texture->height;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            uint8_t* element = block + ARRAY_HEADER_BYTES + (size_t)(x + y * W) * elementSize;
            float c[4] = {0, 0, 0, 0};
            bool pixel = x < w && y < h;
            if (pixel) {
                const uint8_t* p = texture->pixels + ((size_t)y * w + x) * 3;
                uint8_t brightest = p[0] > p[1] ? p[0] : p[1];
                if (p[2] > brightest) brightest = p[2];
                switch (elementType) {
                case DT_REAL: c[0] = brightest / 255.0f; break;
                case DT_INT: case DT_BOOL: break;
                default:
                    c[0] = p[0] / 255.0f, c[1] = p[1] / 255.0f, c[2] = p[2] / 255.0f, c[3] = 1.0f;
                    break;
                }
                if (elementType == DT_INT || elementType == DT_BOOL) {
                    int32_t bit = brightest >> 7;
                    memcpy(element, &bit, 4);
                    continue;
                }
            }
            if (elementType == DT_INT || elementType == DT_BOOL) {
                memset(element, 0, 4);
                continue;
            }
            for (int k = 0; k < components; ++k) {
                memset(element + k * width, 0, width);
                StoreComponent(element + k * width, c[k], elementType, precision);
            }
        }
    }
    return 0;
}
