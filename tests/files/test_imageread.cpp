// The plain PNG and JPEG readers: every PNG colour type and depth comes
// back as red, green, blue, top row first, as JPEG does; transparent pixels
// turn white, grey (also with alpha) fills all three channels; names are
// resolved against the texture folder and choose the reader by extension;
// damaged and missing files give nothing. The fixtures are written at test
// time through libpng and libjpeg.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include <png.h>
#include <jpeglib.h>

#include "files/image/ImageRead.h"

namespace {

std::string TempPath(const char* name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

struct PngSpec {
    int width, height, colourType, bitDepth;
    std::vector<unsigned char> rows;          // packed rows as the file stores them, top row first
    std::vector<png_color> palette;
    std::vector<unsigned char> transparency;  // tRNS entries of a palette image
};

void WritePng(const std::string& path, const PngSpec& spec)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty())
        png_set_PLTE(png, info, spec.palette.data(), (int)spec.palette.size());
    if (!spec.transparency.empty())
        png_set_tRNS(png, info, spec.transparency.data(), (int)spec.transparency.size(), nullptr);
    png_write_info(png, info);
    size_t rowBytes = spec.rows.size() / spec.height;
    for (int y = 0; y < spec.height; y++)
        png_write_row(png, spec.rows.data() + y * rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    fclose(file);
}

// A JPEG of solid colour blocks, rows of red, green, blue bytes.
void WriteJpeg(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    jpeg_compress_struct jpeg;
    jpeg_error_mgr errors;
    jpeg.err = jpeg_std_error(&errors);
    jpeg_create_compress(&jpeg);
    jpeg_stdio_dest(&jpeg, file);
    jpeg.image_width = width;
    jpeg.image_height = height;
    jpeg.input_components = 3;
    jpeg.in_color_space = JCS_RGB;
    jpeg_set_defaults(&jpeg);
    jpeg_set_quality(&jpeg, 100, TRUE);
    jpeg_start_compress(&jpeg, TRUE);
    while (jpeg.next_scanline < jpeg.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(rgb.data()) + jpeg.next_scanline * width * 3;
        jpeg_write_scanlines(&jpeg, &row, 1);
    }
    jpeg_finish_compress(&jpeg);
    jpeg_destroy_compress(&jpeg);
    fclose(file);
}

struct Pixel {
    int r, g, b;
};

void ExpectPixels(const unsigned char* image, const std::vector<Pixel>& expected, const char* what)
{
    ASSERT_NE(nullptr, image) << what;
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_EQ(expected[i].r, image[3 * i]) << what << ", pixel " << i << " red";
        EXPECT_EQ(expected[i].g, image[3 * i + 1]) << what << ", pixel " << i << " green";
        EXPECT_EQ(expected[i].b, image[3 * i + 2]) << what << ", pixel " << i << " blue";
    }
}

// Each colour type is a 2 x 2 image; the expected pixels are read row by
// row from the top.
TEST(ReadPngFile, EveryColourTypeGivesRedGreenBlueTopRowFirst)
{
    struct Case {
        const char* what;
        PngSpec spec;
        std::vector<Pixel> expected;
    } cases[] = {
        { "RGB", { 2, 2, PNG_COLOR_TYPE_RGB, 8, { 255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30 }, {}, {} },
          { { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 }, { 10, 20, 30 } } },
        { "RGB 16-bit keeps the high bytes",
          { 2, 2, PNG_COLOR_TYPE_RGB, 16,
            { 0x12, 0xFF, 0x34, 0x00, 0x56, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAB, 0, 0xCD, 0, 0xEF, 0 },
            {}, {} },
          { { 0x12, 0x34, 0x56 }, { 0, 0, 0 }, { 0, 0, 0 }, { 0xAB, 0xCD, 0xEF } } },
        { "RGBA: alpha 0 turns white, other alphas keep the colour",
          { 2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8,
            { 1, 2, 3, 0, 4, 5, 6, 1, 7, 8, 9, 255, 10, 11, 12, 0 }, {}, {} },
          { { 255, 255, 255 }, { 4, 5, 6 }, { 7, 8, 9 }, { 255, 255, 255 } } },
        { "grey", { 2, 2, PNG_COLOR_TYPE_GRAY, 8, { 0, 100, 200, 255 }, {}, {} },
          { { 0, 0, 0 }, { 100, 100, 100 }, { 200, 200, 200 }, { 255, 255, 255 } } },
        { "1-bit grey is expanded", { 2, 2, PNG_COLOR_TYPE_GRAY, 1, { 0x40, 0x80 }, {}, {} },
          { { 0, 0, 0 }, { 255, 255, 255 }, { 255, 255, 255 }, { 0, 0, 0 } } },
        { "grey with alpha", { 2, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 8, { 50, 255, 60, 0, 70, 1, 80, 128 }, {}, {} },
          { { 50, 50, 50 }, { 255, 255, 255 }, { 70, 70, 70 }, { 80, 80, 80 } } },
        { "palette with a transparent entry",
          { 2, 2, PNG_COLOR_TYPE_PALETTE, 8, { 0, 1, 2, 1 }, { { 9, 8, 7 }, { 1, 2, 3 }, { 200, 100, 50 } }, { 255, 0 } },
          { { 9, 8, 7 }, { 255, 255, 255 }, { 200, 100, 50 }, { 255, 255, 255 } } },
        { "2-bit palette", { 2, 2, PNG_COLOR_TYPE_PALETTE, 2, { 0x10, 0x80 }, { { 9, 8, 7 }, { 1, 2, 3 }, { 200, 100, 50 } }, {} },
          { { 9, 8, 7 }, { 1, 2, 3 }, { 200, 100, 50 }, { 9, 8, 7 } } },
    };
    std::string path = TempPath("spx_imageread.png");
    for (const Case& c : cases) {
        WritePng(path, c.spec);
        int w = -1, h = -1;
        unsigned char* image = ReadPngFile(path.c_str(), &w, &h);
        EXPECT_EQ(2, w) << c.what;
        EXPECT_EQ(2, h) << c.what;
        ExpectPixels(image, c.expected, c.what);
        delete[] image;
    }
    DeleteFileA(path.c_str());
}

TEST(ReadJpegFile, GivesTheSameChannelOrderAsPng)
{
    // 32 x 16: the left half red, the right half blue, each half whole
    // blocks of the encoder's (subsampled) colour planes.
    const int w = 32, h = 16;
    std::vector<unsigned char> rgb(w * h * 3);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char* p = &rgb[(y * w + x) * 3];
            p[0] = x < 16 ? 250 : 0;
            p[2] = x < 16 ? 0 : 250;
        }
    std::string path = TempPath("spx_imageread.jpg");
    WriteJpeg(path, w, h, rgb);
    int rw = 0, rh = 0;
    unsigned char* image = ReadJpegFile(path.c_str(), &rw, &rh);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(w, rw);
    EXPECT_EQ(h, rh);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const unsigned char* p = image + (y * w + x) * 3;
            // The decoder blends colours a few pixels across the edge.
            if (x >= 12 && x < 20)
                continue;
            int red = x < 16 ? 250 : 0, blue = x < 16 ? 0 : 250;
            // Lossy, but never near the other colour.
            EXPECT_NEAR(red, p[0], 12) << x << "," << y;
            EXPECT_NEAR(0, p[1], 12) << x << "," << y;
            EXPECT_NEAR(blue, p[2], 12) << x << "," << y;
        }
    delete[] image;
    DeleteFileA(path.c_str());
}

TEST(ReadImageFile, NamesChooseFolderAndReader)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    size_t length = strlen(folder);
    if (length && folder[length - 1] == '\\')
        folder[length - 1] = '\0';
    char savedTexturePath[sizeof g_TexturePath];
    strcpy(savedTexturePath, g_TexturePath);
    strcpy(g_TexturePath, folder);

    PngSpec grey = { 2, 2, PNG_COLOR_TYPE_GRAY, 8, { 1, 2, 3, 4 }, {}, {} };
    WritePng(TempPath("spx_stone.PNG"), grey);
    std::vector<unsigned char> rgb(8 * 8 * 3, 128);
    WriteJpeg(TempPath("spx_stone.jpeg"), 8, 8, rgb);
    // A JPEG under a .png name and a PNG under a .jpg name: the name alone
    // picks the reader, so both fail.
    CopyFileA(TempPath("spx_stone.jpeg").c_str(), TempPath("spx_wrong.png").c_str(), FALSE);
    CopyFileA(TempPath("spx_stone.PNG").c_str(), TempPath("spx_wrong.jpg").c_str(), FALSE);

    struct Case {
        std::string name;
        int width, height;   // 0 x 0: nothing read
    } cases[] = {
        { "spx_stone.PNG", 2, 2 },                       // in the texture folder, any case of ".png"
        { "spx_stone.jpeg", 8, 8 },                      // every other extension is JPEG
        { TempPath("spx_stone.PNG"), 2, 2 },             // a drive: the path as it is
        { "spx_wrong.png", 0, 0 },
        { "spx_wrong.jpg", 0, 0 },
        { "spx_missing.png", 0, 0 },
        { "", 0, 0 },
    };
    for (const Case& c : cases) {
        int w = 99, h = 99;
        unsigned char* image = ReadImageFile(c.name.c_str(), &w, &h);
        EXPECT_EQ(c.width != 0, image != nullptr) << c.name;
        EXPECT_EQ(c.width, w) << c.name;
        EXPECT_EQ(c.height, h) << c.name;
        delete[] image;
    }
    for (const char* name : { "spx_stone.PNG", "spx_stone.jpeg", "spx_wrong.png", "spx_wrong.jpg" })
        DeleteFileA(TempPath(name).c_str());
    strcpy(g_TexturePath, savedTexturePath);
}

TEST(ReadPngFile, DamagedFilesGiveNothing)
{
    PngSpec spec = { 4, 4, PNG_COLOR_TYPE_RGB, 8, std::vector<unsigned char>(4 * 4 * 3, 77), {}, {} };
    std::string path = TempPath("spx_damaged.png");
    WritePng(path, spec);
    FILE* file = fopen(path.c_str(), "rb");
    std::vector<unsigned char> bytes(4096);
    bytes.resize(fread(bytes.data(), 1, bytes.size(), file));
    fclose(file);

    struct Case {
        const char* what;
        size_t keep;   // bytes kept of the good file
    } cases[] = { { "signature only", 8 }, { "header cut", 20 }, { "image data cut", bytes.size() - 20 } };
    for (const Case& c : cases) {
        file = fopen(path.c_str(), "wb");
        fwrite(bytes.data(), 1, c.keep, file);
        fclose(file);
        int w = 0, h = 0;
        unsigned char* image = ReadPngFile(path.c_str(), &w, &h);
        EXPECT_EQ(nullptr, image) << c.what;
        delete[] image;
    }
    DeleteFileA(path.c_str());
}

}  // namespace
