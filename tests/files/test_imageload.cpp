// Loading images with embedded parameters: a saved PNG and JPEG come back
// with the same pixels and their entry as the linked fractal, the target
// of the pair follows the image size, a "Parameter" chunk after the image
// data is found, a JPEG comment longer than 20,000 bytes arrives whole,
// transparent pixels turn white, failures give their codes, and spxcalc
// load prints the image and writes the linked entry.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include <png.h>

#include "calc/FractalTask.h"
#include "calc/task/TaskBuffers.h"
#include "document/Fractal.h"
#include "files/entry/EntryWriter.h"
#include "files/image/ImageLoad.h"
#include "files/image/ImageWrite.h"
#include "foundation/List.h"
#include "tests/calc/TaskTestSupport.h"
#include "tests/support/ToolRunner.h"

namespace {

std::string TempPath(const char* name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

std::string EntryOf(Fractal* f)
{
    char* text = MakeParameterText(f, false, -1, true);
    std::string entry = text ? text : "";
    free(text);
    return entry;
}

// A 24-bit plasma picture with a pattern, named "Round trip".
struct SavedPicture {
    TestTask task;
    SavedPicture(int width, int height) : task(width, height, 24, 24, FT_PLASMA)
    {
        task.fractal->SetName("Round trip");
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                unsigned char* p = task.task->imageBits + (size_t)y * task.Stride() * 3 + 3 * x;
                p[0] = (unsigned char)(x * 40), p[1] = (unsigned char)(y * 60), p[2] = (unsigned char)(x + y);
            }
    }
};

// Loads path into a fresh pair; the kept fractal, the other one deleted.
struct LoadedPicture {
    ImageFractalPair pair;
    Fractal* kept = nullptr;
    bool ok = false;
    LoadedPicture(const std::string& path, bool png)
    {
        MakeImageFractalPair("Loaded", &pair);
        Fractal* both[2] = {pair.normal, pair.fixedSize};
        WorkerErrorCode = 0;
        ok = png ? LoadPngWithParameters(path.c_str(), &pair) : LoadJpegWithParameters(path.c_str(), &pair);
        kept = pair.normal ? pair.normal : pair.fixedSize;
        for (Fractal* f : both)
            if (f != kept)
                delete f;
    }
    ~LoadedPicture()
    {
        if (kept && kept->task) {
            FreeTaskBuffers(kept, 1);
            delete kept->task;
            kept->task = nullptr;
        }
        delete kept;
    }
    const unsigned char* Pixel(int x, int storedRow) const
    {
        return kept->task->imageBits + (size_t)storedRow * kept->GetImageStride() * 3 + 3 * x;
    }
};

}  // namespace

TEST(ImageLoad, PngRoundTripKeepsPixelsAndLinksTheEntry)
{
    SavedPicture picture(4, 3);
    std::string path = TempPath("spx_load_round.png");
    WorkerErrorCode = 0;
    ASSERT_TRUE(SaveFractalPng(picture.task.fractal, path.c_str(), false, nullptr));
    LoadedPicture loaded(path, true);
    ASSERT_TRUE(loaded.ok) << WorkerErrorCode;
    EXPECT_EQ(loaded.pair.normal, loaded.kept);   // small images take the normal window
    EXPECT_EQ(nullptr, loaded.pair.fixedSize);
    EXPECT_EQ(FT_IMAGE, loaded.kept->header->Type);
    EXPECT_EQ(4, loaded.kept->header->Width);
    EXPECT_EQ(3, loaded.kept->header->Height);
    EXPECT_EQ(CS_IMAGE_DONE, loaded.kept->task->calculationState);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(0, memcmp(loaded.Pixel(x, y),
                                picture.task.task->imageBits + (size_t)y * picture.task.Stride() * 3 + 3 * x, 3))
                << x << "," << y;
    Fractal* linked = loaded.kept->linkedFractal;
    ASSERT_NE(nullptr, linked);
    EXPECT_EQ(loaded.kept, linked->linkedFractal);
    EXPECT_STREQ("Round trip", linked->name);
    EXPECT_EQ(EntryOf(picture.task.fractal), EntryOf(linked));
    DeleteFileA(path.c_str());
}

TEST(ImageLoad, JpegRoundTripLinksTheEntry)
{
    SavedPicture picture(16, 8);
    std::string path = TempPath("spx_load_round.jpg");
    WorkerErrorCode = 0;
    ASSERT_TRUE(SaveFractalJpeg(picture.task.fractal, path.c_str(), false, &kDefaultImageSaveOptions));
    LoadedPicture loaded(path, false);
    ASSERT_TRUE(loaded.ok) << WorkerErrorCode << " " << WorkerText;
    EXPECT_EQ(16, loaded.kept->header->Width);
    ASSERT_NE(nullptr, loaded.kept->linkedFractal);
    EXPECT_EQ(EntryOf(picture.task.fractal), EntryOf(loaded.kept->linkedFractal));
    DeleteFileA(path.c_str());
}

namespace {

bool GreyRow(void*, int, unsigned char* rgb)
{
    memset(rgb, 100, 3 * 8);
    return true;
}

}  // namespace

TEST(ImageLoad, LongJpegCommentArrivesWhole)
{
    // 30,000 bytes of comment lines before the entry: a reader that kept
    // only 20,000 bytes of the marker would lose the entry.
    SavedPicture picture(8, 8);
    std::string text;
    while (text.size() < 30000)
        text += "; padding line of the embedded text that makes the comment long\n";
    text += EntryOf(picture.task.fractal);
    std::string path = TempPath("spx_load_long.jpg");
    WorkerErrorCode = 0;
    ASSERT_TRUE(WriteJpegFile(path.c_str(), 8, 8, text.c_str(), nullptr, GreyRow, nullptr));
    LoadedPicture loaded(path, false);
    ASSERT_TRUE(loaded.ok);
    ASSERT_NE(nullptr, loaded.kept->linkedFractal);
    EXPECT_STREQ("Round trip", loaded.kept->linkedFractal->name);
    DeleteFileA(path.c_str());
}

TEST(ImageLoad, ParameterChunkAfterImageDataAndTransparentPixels)
{
    // Written by hand: RGBA with one transparent pixel, the text chunk
    // placed after the image data.
    SavedPicture picture(2, 1);
    std::string entry = EntryOf(picture.task.fractal);
    std::string path = TempPath("spx_load_late.png");
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, 2, 1, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    unsigned char row[8] = {10, 20, 30, 255, 40, 50, 60, 0};
    png_write_row(png, row);
    png_text chunk = {};
    chunk.compression = PNG_TEXT_COMPRESSION_zTXt;
    chunk.key = const_cast<char*>("Parameter");
    chunk.text = const_cast<char*>(entry.c_str());
    chunk.text_length = entry.size();
    png_set_text(png, info, &chunk, 1);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    fclose(file);

    LoadedPicture loaded(path, true);
    ASSERT_TRUE(loaded.ok);
    const unsigned char* opaque = loaded.Pixel(0, 0);
    EXPECT_EQ(30, opaque[0]);   // blue, green, red
    EXPECT_EQ(20, opaque[1]);
    EXPECT_EQ(10, opaque[2]);
    const unsigned char* clear = loaded.Pixel(1, 0);
    EXPECT_EQ(255, clear[0]);
    EXPECT_EQ(255, clear[1]);
    EXPECT_EQ(255, clear[2]);
    ASSERT_NE(nullptr, loaded.kept->linkedFractal);
    EXPECT_STREQ("Round trip", loaded.kept->linkedFractal->name);
    DeleteFileA(path.c_str());
}

TEST(ImageLoad, WideImageTakesTheFixedSizeFractal)
{
    int wide = GetSystemMetrics(SM_CXSCREEN);
    std::vector<unsigned char> pixels(3 * wide, 90);
    unsigned char* rows[1] = {pixels.data()};
    std::string path = TempPath("spx_load_wide.png");
    WorkerErrorCode = 0;
    ASSERT_TRUE(WritePngFile(rows, wide, 1, 3, path.c_str(), nullptr, nullptr, false));
    LoadedPicture loaded(path, true);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(nullptr, loaded.pair.normal);
    EXPECT_EQ(loaded.pair.fixedSize, loaded.kept);
    EXPECT_EQ(nullptr, loaded.kept->linkedFractal);   // no text: nothing linked
    DeleteFileA(path.c_str());
}

TEST(ImageLoad, FailuresGiveTheirCodes)
{
    std::string missing = TempPath("spx_load_missing.png");
    DeleteFileA(missing.c_str());
    std::string notImage = TempPath("spx_load_text.dat");
    FILE* file = fopen(notImage.c_str(), "wb");
    fputs("not an image at all", file);
    fclose(file);
    struct Case {
        std::string path;
        bool png;
        int code;
    } cases[] = {{missing, true, 1}, {missing, false, 1}, {notImage, true, 2}, {notImage, false, 5}};
    for (const Case& c : cases) {
        LoadedPicture loaded(c.path, c.png);
        EXPECT_FALSE(loaded.ok);
        EXPECT_EQ(c.code, WorkerErrorCode) << c.path << " " << c.png;
    }
    WorkerErrorCode = 0;
    DeleteFileA(notImage.c_str());
}

TEST(ImageLoad, SpxcalcLoadPrintsTheImageAndWritesTheLinkedEntry)
{
    SavedPicture picture(5, 2);
    std::string path = TempPath("spx_load_tool.png");
    std::string out = TempPath("spx_load_tool.par");
    DeleteFileA(out.c_str());
    WorkerErrorCode = 0;
    ASSERT_TRUE(SaveFractalPng(picture.task.fractal, path.c_str(), false, nullptr));
    ToolRun run = RunSibling("spxcalc.exe", "load \"" + path + "\" --entry-out \"" + out + "\"");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(0u, run.exitCode) << run.errors;
    EXPECT_NE(std::string::npos, run.output.find("image=5x2 linked=Round trip")) << run.output;
    FILE* written = fopen(out.c_str(), "rb");
    ASSERT_NE(nullptr, written);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), written)) > 0)
        text.append(buffer, n);
    fclose(written);
    EXPECT_NE(std::string::npos, text.find("Round trip  {")) << text;
    EXPECT_NE(std::string::npos, text.find("}"));

    // A JPEG named .png is refused by its signature.
    std::string fake = TempPath("spx_load_fake.png");
    ASSERT_TRUE(SaveFractalJpeg(picture.task.fractal, fake.c_str(), false, nullptr));
    run = RunSibling("spxcalc.exe", "load \"" + fake + "\"");
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_NE(std::string::npos, run.errors.find("not a valid PNG file")) << run.errors;

    // Other extensions are sniffed: the JPEG and the PNG both load as .dat.
    for (const std::string& source : {fake, path}) {
        std::string renamed = TempPath("spx_load_sniffed.dat");
        ASSERT_TRUE(CopyFileA(source.c_str(), renamed.c_str(), FALSE));
        run = RunSibling("spxcalc.exe", "load \"" + renamed + "\"");
        EXPECT_EQ(0u, run.exitCode) << source << run.errors;
        EXPECT_NE(std::string::npos, run.output.find("image=5x2 linked=Round trip")) << run.output;
        DeleteFileA(renamed.c_str());
    }
    DeleteFileA(path.c_str());
    DeleteFileA(out.c_str());
    DeleteFileA(fake.c_str());
}
