// The image writers: PNG colour types and chunk order (the three text
// chunks before the image data, only "Parameter" compressed), the JPEG
// comment with the embedded entry before the image data and its size
// limit, the BMP layout (row padding, size field, colour table), rows
// written top first, and the error codes of files that cannot be opened.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "files/image/ImageRead.h"
#include "files/image/ImageWrite.h"
#include "tests/calc/TaskTestSupport.h"

namespace {

std::string TempPath(const char* name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

std::vector<unsigned char> FileBytes(const std::string& path)
{
    std::vector<unsigned char> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    int c;
    while ((c = fgetc(file)) != EOF)
        bytes.push_back((unsigned char)c);
    fclose(file);
    return bytes;
}

uint32_t Big32(const unsigned char* p) { return (uint32_t)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
uint32_t Little32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

struct Chunk {
    std::string type;
    std::string data;
};

std::vector<Chunk> PngChunks(const std::vector<unsigned char>& bytes)
{
    std::vector<Chunk> chunks;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        uint32_t length = Big32(&bytes[at]);
        Chunk chunk;
        chunk.type.assign(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        chunk.data.assign(reinterpret_cast<const char*>(&bytes[at + 8]), length);
        chunks.push_back(chunk);
        at += 12 + length;
    }
    return chunks;
}

// A plasma fractal (no formulas needed for its entry) with a small image.
struct Picture {
    Picture(int width, int height, int bits, int type = FT_PLASMA) : task(width, height, bits, 24, type)
    {
        task.fractal->SetName("Writer test");
    }
    Fractal* fractal() { return task.fractal; }
    unsigned char* Pixel(int x, int storedRow, int bytesPerPixel)
    {
        return task.task->imageBits + (size_t)storedRow * task.Stride() * bytesPerPixel + x * bytesPerPixel;
    }
    TestTask task;
};

void ResetWorker()
{
    WorkerErrorCode = 0;
    WorkerCancelState = 0;
}

}  // namespace

TEST(ImageWrite, PngColourTypeFollowsDepthAndTransparency)
{
    // An escape-time-like plane fractal keeps RGB even with transparency
    // on; only the 3D types with their alpha plane get RGBA.
    struct Case {
        int bits, type;
        bool transparency;
        int colourType;
    } cases[] = {
        {8, FT_PLASMA, true, 3},
        {24, FT_PLASMA, true, 2},
        {24, FT_QUATERNION, false, 2},
        {24, FT_QUATERNION, true, 6},
    };
    for (const Case& c : cases) {
        ResetWorker();
        Picture picture(5, 4, c.bits, c.type);
        picture.task.task->oldz->Allocate(6, 4, 4);
        ImageSaveOptions options = kDefaultImageSaveOptions;
        options.pngTransparency = c.transparency;
        std::string path = TempPath("spx_write_type.png");
        ASSERT_TRUE(SaveFractalPng(picture.fractal(), path.c_str(), false, &options)) << c.bits << " " << c.type;
        std::vector<Chunk> chunks = PngChunks(FileBytes(path));
        ASSERT_FALSE(chunks.empty());
        ASSERT_EQ("IHDR", chunks[0].type);
        EXPECT_EQ(c.colourType, (unsigned char)chunks[0].data[9]) << c.bits << " " << c.type << " " << c.transparency;
        if (c.colourType == 3) {
            ASSERT_EQ("PLTE", chunks[1].type);
            EXPECT_EQ(256u * 3, chunks[1].data.size());
        }
        DeleteFileA(path.c_str());
    }
}

TEST(ImageWrite, PngTextChunksPrecedeImageDataInOrder)
{
    ResetWorker();
    Picture picture(4, 3, 24);
    std::string path = TempPath("spx_write_chunks.png");
    ASSERT_TRUE(SaveFractalPng(picture.fractal(), path.c_str(), false, nullptr));
    std::vector<Chunk> chunks = PngChunks(FileBytes(path));
    std::vector<std::string> order;
    for (const Chunk& c : chunks)
        if (c.type != "IDAT" || order.empty() || order.back() != "IDAT")
            order.push_back(c.type);
    std::vector<std::string> expected = {"IHDR", "tEXt", "tEXt", "zTXt", "IDAT", "IEND"};
    EXPECT_EQ(expected, order);
    EXPECT_EQ(std::string("Title\0Fractal Image", 19), chunks[1].data);
    EXPECT_EQ(std::string("Author\0Spiralix", 15), chunks[2].data);
    EXPECT_EQ(0, chunks[3].data.compare(0, 10, std::string("Parameter\0", 10)));
    DeleteFileA(path.c_str());
}

TEST(ImageWrite, PngRowsStartWithTheTopRowAndKeepColourOrder)
{
    // Stored row 0 is the bottom of the picture; the file starts at the top.
    ResetWorker();
    Picture picture(3, 2, 24);
    unsigned char* bottomLeft = picture.Pixel(0, 0, 3);
    bottomLeft[0] = 10, bottomLeft[1] = 20, bottomLeft[2] = 30;   // blue, green, red
    std::string path = TempPath("spx_write_rows.png");
    ASSERT_TRUE(SaveFractalPng(picture.fractal(), path.c_str(), false, nullptr));
    int width = 0, height = 0;
    unsigned char* rgb = ReadPngFile(path.c_str(), &width, &height);
    ASSERT_NE(nullptr, rgb);
    ASSERT_EQ(3, width);
    ASSERT_EQ(2, height);
    const unsigned char* pixel = rgb + (size_t)1 * width * 3;   // second row from the top, first column
    EXPECT_EQ(30, pixel[0]);
    EXPECT_EQ(20, pixel[1]);
    EXPECT_EQ(10, pixel[2]);
    EXPECT_EQ(0, rgb[0]);
    delete[] rgb;
    DeleteFileA(path.c_str());
}

TEST(ImageWrite, JpegCarriesTheEntryInACommentBeforeTheImage)
{
    ResetWorker();
    Picture picture(8, 8, 8);
    std::string path = TempPath("spx_write_comment.jpg");
    ASSERT_TRUE(SaveFractalJpeg(picture.fractal(), path.c_str(), false, &kDefaultImageSaveOptions));
    std::vector<unsigned char> bytes = FileBytes(path);
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(0xFF, bytes[0]);
    EXPECT_EQ(0xD8, bytes[1]);
    size_t comment = 0, scan = 0;
    for (size_t at = 2; at + 4 <= bytes.size() && !scan;) {
        ASSERT_EQ(0xFF, bytes[at]) << at;
        int marker = bytes[at + 1];
        size_t length = bytes[at + 2] << 8 | bytes[at + 3];
        if (marker == 0xFE && !comment)
            comment = at;
        if (marker == 0xDA)
            scan = at;
        at += 2 + length;
    }
    ASSERT_NE(0u, comment);
    ASSERT_NE(0u, scan);
    EXPECT_LT(comment, scan);
    size_t length = (bytes[comment + 2] << 8 | bytes[comment + 3]) - 2;
    std::string text(reinterpret_cast<const char*>(&bytes[comment + 4]), length);
    EXPECT_EQ(0u, text.find("SPIRALIX:Writer test"));
    EXPECT_EQ('}', text[text.find_last_not_of("\n")]);
    EXPECT_EQ(std::string::npos, text.find('\r'));
    DeleteFileA(path.c_str());
}

namespace {

bool GreyRow(void*, int, unsigned char* rgb)
{
    memset(rgb, 128, 3 * 4);
    return true;
}

}  // namespace

TEST(ImageWrite, JpegCommentLimitIsTheMarkerSize)
{
    // 9 bytes of prefix + 65,524 characters fill a marker exactly; one more
    // is the library's error (code 4, its message kept).
    std::string path = TempPath("spx_write_limit.jpg");
    ResetWorker();
    std::string fits(65524, 'x');
    EXPECT_TRUE(WriteJpegFile(path.c_str(), 4, 4, fits.c_str(), nullptr, GreyRow, nullptr));
    EXPECT_EQ(0, WorkerErrorCode);
    std::string tooLong(65525, 'x');
    EXPECT_FALSE(WriteJpegFile(path.c_str(), 4, 4, tooLong.c_str(), nullptr, GreyRow, nullptr));
    EXPECT_EQ(4, WorkerErrorCode);
    EXPECT_NE('\0', WorkerText[0]);
    ResetWorker();
    DeleteFileA(path.c_str());
}

TEST(ImageWrite, BmpOfWidthThreePadsRowsAndStatesItsLength)
{
    struct Case {
        int bits;
        uint32_t offset, rowLength;
    } cases[] = {{24, 54, 12}, {8, 1078, 4}};
    for (const Case& c : cases) {
        ResetWorker();
        Picture picture(3, 2, c.bits);
        int bpp = c.bits / 8;
        memset(picture.Pixel(0, 1, bpp), 7, bpp);   // first pixel of the top row
        std::string path = TempPath("spx_write_width3.bmp");
        ASSERT_TRUE(SaveFractalBmp(picture.fractal(), path.c_str(), false));
        std::vector<unsigned char> bytes = FileBytes(path);
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ('B', bytes[0]);
        EXPECT_EQ('M', bytes[1]);
        EXPECT_EQ(bytes.size(), Little32(&bytes[2])) << c.bits;
        EXPECT_EQ(c.offset, Little32(&bytes[10]));
        EXPECT_EQ(c.offset + 2 * c.rowLength, bytes.size());
        EXPECT_EQ(3u, Little32(&bytes[18]));
        EXPECT_EQ(2u, Little32(&bytes[22]));   // positive: bottom-up
        EXPECT_EQ((uint32_t)c.bits, (uint32_t)(bytes[28] | bytes[29] << 8));
        EXPECT_EQ(11811u, Little32(&bytes[38]));
        EXPECT_EQ(c.bits == 8 ? 256u : 0u, Little32(&bytes[46]));
        // The bottom row comes first; the top row's first pixel is second.
        EXPECT_EQ(7, bytes[c.offset + c.rowLength]);
        for (uint32_t pad = 3 * bpp; pad < c.rowLength; pad++)
            EXPECT_EQ(0, bytes[c.offset + pad]) << "padding byte " << pad;
        DeleteFileA(path.c_str());
    }
}

TEST(ImageWrite, FilesThatCannotBeOpenedSetCodeOne)
{
    Picture picture(3, 2, 24);
    const char* path = "Z:\\no\\such\\folder\\x.img";
    bool (*writers[])(Fractal*, const char*) = {
        [](Fractal* f, const char* p) { return SaveFractalPng(f, p, false, nullptr); },
        [](Fractal* f, const char* p) { return SaveFractalJpeg(f, p, false, nullptr); },
        [](Fractal* f, const char* p) { return SaveFractalBmp(f, p, false); },
    };
    for (auto writer : writers) {
        ResetWorker();
        EXPECT_FALSE(writer(picture.fractal(), path));
        EXPECT_EQ(1, WorkerErrorCode);
    }
    ResetWorker();
}

TEST(ImageWrite, CancelledSaveStopsWithoutCode)
{
    ResetWorker();
    Picture picture(3, 2, 24);
    WorkerCancelState = 1;
    std::string path = TempPath("spx_write_cancel.png");
    DeleteFileA(path.c_str());
    EXPECT_FALSE(SaveFractalPng(picture.fractal(), path.c_str(), false, nullptr));
    EXPECT_EQ(0, WorkerErrorCode);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
    ResetWorker();
}
