// The texture cache and the copy of a texture into a formula's array:
// sharing by file name without case, release and purge, the black stand-in
// for missing or unnamed images, every element type and precision, the
// overlap of texture and array, the size limits, and transformations
// releasing their textures. Image fixtures are PNG files written here.
#include <gtest/gtest.h>

#include <png.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "calc/FormulaInstance.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "foundation/List.h"

namespace {

std::string TempPath(const char* name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

// An RGB PNG of width x height pixels, rows top first.
void WriteRgbPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; y++) png_write_row(png, const_cast<uint8_t*>(rgb.data()) + y * width * 3);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    fclose(file);
}

// A texture built in memory: pixel (x, y) = (x + 10y, 100 + x, 200 + y),
// so the first byte differs from the brightest one.
struct MemoryTexture {
    MemoryTexture(int w, int h) : texture(nullptr)
    {
        delete[] texture.pixels;
        texture.pixels = new uint8_t[(size_t)w * h * 3];
        texture.width = w;
        texture.height = h;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = texture.pixels + (y * w + x) * 3;
                p[0] = (uint8_t)(x + 10 * y), p[1] = (uint8_t)(100 + x), p[2] = (uint8_t)(200 + y);
            }
    }
    Texture texture;
};

// A declared array of the given element type, precision and sizes in the
// slot at offset 8 of a small data block.
struct ArrayFixture {
    ArrayFixture(int elementType, int precision, std::initializer_list<int> sizes, int type = DT_PREDEFINED_ARRAY)
    {
        memset(data, 0, sizeof data);
        symbol.dataType = type;
        symbol.precision = elementType;
        symbol.elementPrecision = precision;
        symbol.dataOffset = 8;
        symbol.value[0] = (double)sizes.size();
        int k = 0;
        for (int s : sizes) symbol.dimensions[k++] = s;
    }
    ~ArrayFixture()
    {
        if (uint8_t* b = Block()) VirtualFree(b, 0, MEM_RELEASE);
    }
    uint8_t* Block() const
    {
        uint8_t* b;
        memcpy(&b, data + 8, sizeof b);
        return b;
    }
    const int32_t* Header() const { return reinterpret_cast<const int32_t*>(Block()); }
    uint8_t* Element(int x, int y, int width) const { return Block() + 64 + (x + y * width) * Header()[1]; }
    double Real(int x, int y, int width) const
    {
        double d;
        memcpy(&d, Element(x, y, width), 8);
        return d;
    }

    FormulaSymbol symbol;
    uint8_t data[32];
};

TEST(TextureCache, SharesByNameWithoutCaseAndPurgesWhenUnused)
{
    std::string path = TempPath("SpxShared.png");
    WriteRgbPng(path, 2, 1, {10, 20, 30, 40, 50, 60});
    std::string lower = path;
    for (char& c : lower) c = (char)tolower((unsigned char)c);
    int keyA, keyB;
    int before = g_Textures.Count();
    Texture* a = AcquireTexture(path.c_str(), nullptr, 1, &keyA);
    Texture* b = AcquireTexture(lower.c_str(), nullptr, 2, &keyB);
    EXPECT_EQ(a, b);
    EXPECT_EQ(g_Textures.Count(), before + 1);
    ASSERT_EQ(a->width, 2);
    EXPECT_EQ(a->pixels[3], 40);   // red, green, blue in that order
    EXPECT_EQ(a->pixels[5], 60);
    ReleaseTextureUser(nullptr, 1, &keyA);
    PurgeUnusedTextures();
    EXPECT_EQ(g_Textures.Count(), before + 1);
    ReleaseTextureUser(nullptr, 2, &keyB);
    PurgeUnusedTextures();
    EXPECT_EQ(g_Textures.Count(), before);
    DeleteFileA(path.c_str());
}

// Unnamed, missing and over-long names each get a black pixel of their own.
TEST(TextureCache, MissingUnnamedAndOverlongNamesGiveABlackPixel)
{
    int key;
    std::string tooLong(600, 'a');
    struct Case {
        const char* what;
        const char* name;
        bool shared;   // a missing file keeps its name, so it is found again
    } cases[] = {{"no name", nullptr, false},
                 {"missing file", "Z:\\no\\such\\texture.png", true},
                 {"too long", tooLong.c_str(), false}};
    for (const Case& c : cases) {
        Texture* first = AcquireTexture(c.name, nullptr, 0, &key);
        Texture* second = AcquireTexture(c.name, nullptr, 0, &key);
        EXPECT_EQ(first->width, 1) << c.what;
        EXPECT_EQ(first->height, 1) << c.what;
        EXPECT_EQ(first->pixels[0] | first->pixels[1] | first->pixels[2], 0) << c.what;
        EXPECT_EQ(first == second, c.shared) << c.what;
        EXPECT_LT(strlen(first->fileName), (size_t)TEXTURE_NAME_SIZE);
    }
    ReleaseTextureUser(nullptr, 0, &key);
    PurgeUnusedTextures();
}

TEST(TextureCache, DeletingATransformationReleasesItsTextures)
{
    int before = g_Textures.Count();
    FormulaInstance* instance = new FormulaInstance(nullptr, std::string(100, 'e').c_str(), "file.str");
    EXPECT_EQ(strlen(instance->entryName), 63u);   // cut to the field
    AcquireTexture(nullptr, nullptr, 0, instance->holder);
    EXPECT_EQ(g_Textures.Count(), before + 1);
    delete instance;
    EXPECT_EQ(g_Textures.Count(), before);
}

// A 3 x 2 texture in a declared 4 x 4 real array: the corner holds the
// brightest channel / 255, the rest is zeroed even over old contents.
TEST(TextureFill, SmallTextureFillsTheCornerAndZeroesTheRest)
{
    MemoryTexture t(3, 2);
    ArrayFixture a(DT_REAL, PREC_DOUBLE, {4, 4});
    ASSERT_EQ(AllocateParameterArray(a.data, &a.symbol), 0);
    memset(a.Block() + 64, 0xCD, 16 * 8);
    ASSERT_EQ(FillTextureParameter(&a.symbol, a.data, &t.texture), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            double expected = x < 3 && y < 2 ? (float)((200 + y) / 255.0) : 0.0;
            EXPECT_EQ(a.Real(x, y, 4), expected) << x << "," << y;
        }
}

// An 8 x 2 texture in a 4 x 4 array: four pixels of each image row, the
// last rows zero, and nothing written past the 16 elements.
TEST(TextureFill, WideTextureIsCutAndNothingPastTheArrayIsWritten)
{
    MemoryTexture t(8, 2);
    ArrayFixture a(DT_REAL, PREC_FLOAT, {4, 4});
    ASSERT_EQ(AllocateParameterArray(a.data, &a.symbol), 0);
    uint8_t* end = a.Block() + 64 + 16 * 4;
    memset(end, 0x5A, 64);
    ASSERT_EQ(FillTextureParameter(&a.symbol, a.data, &t.texture), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            float f;
            memcpy(&f, a.Element(x, y, 4), 4);
            EXPECT_EQ(f, y < 2 ? (float)((200 + y) / 255.0) : 0.0f) << x << "," << y;
        }
    for (int k = 0; k < 64; ++k) EXPECT_EQ(end[k], 0x5A) << k;
}

// Each element type and precision: the components stored, their slot
// width, and the header the block carries.
TEST(TextureFill, ElementTypesAndPrecisions)
{
    MemoryTexture t(2, 2);
    const uint8_t* p = t.texture.pixels + 3;   // pixel (1, 0): 1, 101, 200
    {
        ArrayFixture a(DT_COMPLEX, PREC_EXTENDED, {2, 2});
        ASSERT_EQ(FillTextureParameter(&a.symbol, a.data, &t.texture), 0);
        EXPECT_EQ(a.Header()[1], 32);
        long double re = 0, im = 0;
        memcpy(&re, a.Element(1, 0, 2), 10);
        memcpy(&im, a.Element(1, 0, 2) + 16, 10);
        EXPECT_EQ(re, (long double)(float)(p[0] / 255.0));
        EXPECT_EQ(im, (long double)(float)(p[1] / 255.0));
    }
    {
        ArrayFixture a(DT_QUATERNION, PREC_DOUBLE, {2, 2});
        ASSERT_EQ(FillTextureParameter(&a.symbol, a.data, &t.texture), 0);
        double q[4];
        memcpy(q, a.Element(1, 0, 2), sizeof q);
        EXPECT_EQ(q[0], (float)(p[0] / 255.0));
        EXPECT_EQ(q[2], (float)(p[2] / 255.0));
        EXPECT_EQ(q[3], 1.0);
    }
    {
        ArrayFixture a(DT_COLOR, PREC_EXTENDED, {2, 2});   // colours stay floats
        ASSERT_EQ(FillTextureParameter(&a.symbol, a.data, &t.texture), 0);
        float c[4];
        memcpy(c, a.Element(1, 0, 2), sizeof c);
        EXPECT_EQ(c[1], (float)(p[1] / 255.0));
        EXPECT_EQ(c[3], 1.0f);
    }
    {
        ArrayFixture a(DT_INT, PREC_DOUBLE, {2, 2});
        ASSERT_EQ(FillTextureParameter(&a.symbol, a.data, &t.texture), 0);
        int32_t bits[4];
        memcpy(bits, a.Block() + 64, sizeof bits);
        EXPECT_EQ(bits[0], 1);   // brightest 200 >> 7
    }
    {
        MemoryTexture dark(1, 1);
        dark.texture.pixels[0] = dark.texture.pixels[1] = dark.texture.pixels[2] = 127;
        ArrayFixture a(DT_BOOL, PREC_DOUBLE, {1, 1});
        ASSERT_EQ(FillTextureParameter(&a.symbol, a.data, &dark.texture), 0);
        int32_t bit;
        memcpy(&bit, a.Block() + 64, 4);
        EXPECT_EQ(bit, 0);
    }
}

// An image-sized array takes the texture's size; too large a block is
// refused with nothing allocated, as are arrays without dimensions or with
// more than a block header holds.
TEST(TextureFill, SizesAndLimits)
{
    MemoryTexture t(3, 2);
    {
        ArrayFixture a(DT_REAL, PREC_DOUBLE, {}, DT_ARRAY);
        ASSERT_EQ(FillTextureParameter(&a.symbol, a.data, &t.texture), 0);
        EXPECT_EQ(a.Header()[2], 2);
        EXPECT_EQ(a.Header()[3], 2);   // sizes reversed: height first
        EXPECT_EQ(a.Header()[4], 3);
        EXPECT_EQ(a.Real(2, 1, 3), (float)(201 / 255.0));
    }
    {
        MemoryTexture huge(1, 1);
        huge.texture.width = 8192;
        huge.texture.height = 4096;   // 8192 * 4096 * 64 + 64 bytes
        ArrayFixture a(DT_QUATERNION, PREC_EXTENDED, {}, DT_ARRAY);
        EXPECT_EQ(FillTextureParameter(&a.symbol, a.data, &huge.texture), 1);
        EXPECT_EQ(a.Block(), nullptr);
        huge.texture.width = huge.texture.height = 1;
    }
    ArrayFixture none(DT_REAL, PREC_DOUBLE, {});
    EXPECT_EQ(AllocateParameterArray(none.data, &none.symbol), 1);
    ArrayFixture many(DT_REAL, PREC_DOUBLE, {1, 1, 1, 1, 1});
    many.symbol.value[0] = 14;
    EXPECT_EQ(AllocateParameterArray(many.data, &many.symbol), 1);
    EXPECT_EQ(many.Block(), nullptr);
}

}  // namespace
