// spxcalc job and the image outputs of spxcalc render, run as a user runs
// them: a render job's raw rows against the plain calculation of the same
// entry (also across a stop and resume, and over stale files of an earlier
// run), its anti-aliased pixels against a calculation at twice the size,
// a layered entry (rendered and as a job) against a hand merge of its
// layers rendered alone, image filters loaded with --filters, and the PNG,
// JPEG and BMP outputs of render read back.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "files/image/ImageRead.h"
#include "tests/support/ToolRunner.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const char kData[] = SPIRALIX_TEST_DATA;

std::string EntryFile()
{
    return std::string(kData) + "/files/renderjob.par";
}

std::string TempPath(const std::string& name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

Bytes ReadAll(const std::string& path)
{
    Bytes bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    unsigned char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(file);
    return bytes;
}

void WriteAll(const std::string& path, const std::string& text)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

// The program's shipped formulas (the default Mandelbrot formula).
std::string FormulaPath()
{
    std::string data = kData;
    return data.substr(0, data.size() - strlen("/tests/data")) + "/Formulas";
}

// Runs spxcalc COMMAND ARGUMENTS with the shipped formulas.
ToolRun Spxcalc(const std::string& command, const std::string& arguments)
{
    return RunSibling("spxcalc.exe", command + " --path \"" + FormulaPath() + "\" " + arguments);
}

// The plain calculation: one pass, no elimination, no periodicity check;
// 24-bit rows bottom-up.
Bytes BruteForceRows(const char* size, const std::string& entryFile = EntryFile(), const char* entry = "Plain")
{
    std::string out = TempPath("spx_job_reference.bgr");
    DeleteFileA(out.c_str());
    ToolRun run = Spxcalc("render", "\"" + entryFile + "\" --entry " + entry + " --size " + size +
                          " --passes 0 --eliminate 0 --periodicity 0 --dump-bgr \"" + out + "\"");
    EXPECT_EQ(0u, run.exitCode) << run.errors;
    return ReadAll(out);
}

class JobTest : public testing::Test {
protected:
    void SetUp() override
    {
        temp = TempPath("spx_job_temp");
        dest = TempPath("spx_job_dest");
        for (const char* ext : {"bits", "alpha", "flags", "hist"})
            DeleteFileA((temp + "\\JOBT." + ext).c_str());
        CreateDirectoryA(temp.c_str(), nullptr);
    }
    ToolRun Job(const std::string& options)
    {
        return Spxcalc("job", "\"" + EntryFile() + "\" --entry Plain --temp \"" + temp + "\" --dest \"" + dest +
                       "\" --id JOBT " + options);
    }
    std::string Raw(const char* ext) const { return temp + "\\JOBT." + ext; }

    std::string temp, dest;
};

TEST_F(JobTest, PlainJobWritesTheBruteForceRowsAndAPngWithTheEntry)
{
    // Rows of an earlier run without a checkpoint must not survive.
    WriteAll(Raw("bits"), std::string(300, 'x'));
    ToolRun run = Job("--size 16x12");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    std::string output = dest + "\\renderjob\\Plain.png";
    EXPECT_NE(std::string::npos, run.output.find("id=JOBT result=0 output=" + output)) << run.output;

    Bytes reference = BruteForceRows("16x12");
    ASSERT_EQ(16u * 12 * 3, reference.size());
    // A view of several colours, so that equal rows mean something.
    int changes = 0;
    for (size_t i = 3; i < reference.size(); i += 3)
        changes += memcmp(&reference[i], &reference[i - 3], 3) != 0;
    EXPECT_GT(changes, 10);
    Bytes bits = ReadAll(Raw("bits"));
    EXPECT_TRUE(bits == reference);
    // Every pixel is solid-coloured: each takes its colour's full opacity
    // (the inside must not become transparent).
    Bytes alpha = ReadAll(Raw("alpha"));
    ASSERT_EQ(16u * 12 * 4, alpha.size());
    int transparent = 0;
    for (size_t i = 0; i < alpha.size(); i += 4) {
        float a;
        memcpy(&a, &alpha[i], 4);
        transparent += a != 1.0f;
    }
    EXPECT_EQ(0, transparent);

    // The PNG: red, green, blue top row first; the raw rows are blue,
    // green, red bottom row first.
    int w = 0, h = 0;
    unsigned char* rgb = ReadPngFile(output.c_str(), &w, &h);
    ASSERT_TRUE(rgb);
    ASSERT_EQ(16, w);
    ASSERT_EQ(12, h);
    int wrong = 0;
    for (int line = 0; line < h; line++)
        for (int x = 0; x < w; x++)
            for (int c = 0; c < 3; c++)
                wrong += rgb[(line * w + x) * 3 + c] != bits[((h - 1 - line) * w + x) * 3 + 2 - c];
    delete[] rgb;
    EXPECT_EQ(0, wrong);

    ToolRun load = Spxcalc("load", "\"" + output + "\"");
    EXPECT_EQ(0u, load.exitCode) << load.errors;
    EXPECT_NE(std::string::npos, load.output.find("image=16x12 linked=Plain")) << load.output;
}

TEST_F(JobTest, StoppedJobResumesFromItsCheckpointWithoutDuplicatedRows)
{
    ToolRun first = Job("--size 24x18 --stop-after-rows 5");
    ASSERT_EQ(0u, first.exitCode) << first.errors;
    EXPECT_NE(std::string::npos, first.output.find("result=3")) << first.output;
    EXPECT_EQ(5u * 24 * 3, ReadAll(Raw("bits")).size());
    EXPECT_EQ(5u * 24, ReadAll(Raw("flags")).size());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Raw("hist").c_str()));

    ToolRun second = Job("--size 24x18");
    ASSERT_EQ(0u, second.exitCode) << second.errors;
    EXPECT_NE(std::string::npos, second.output.find("result=0")) << second.output;
    EXPECT_TRUE(ReadAll(Raw("bits")) == BruteForceRows("24x18"));
    EXPECT_EQ(24u * 18, ReadAll(Raw("flags")).size());
}

// Raw files that cannot be opened fail the calculation: a message, result
// 2 and no image.
TEST_F(JobTest, UnwritableRawFilesFailWithoutAnImage)
{
    std::string blocker = TempPath("spx_job_blocker");
    WriteAll(blocker, "a file where the temporary folder should be");
    DeleteFileA((dest + "\\renderjob\\Plain.png").c_str());
    temp = blocker + "\\sub";
    ToolRun run = Job("--size 8x6");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    EXPECT_NE(std::string::npos, run.output.find("result=2")) << run.output;
    EXPECT_NE(std::string::npos, run.errors.find("Renderjob cannot write its rows")) << run.errors;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dest + "\\renderjob\\Plain.png").c_str()));
    DeleteFileA(blocker.c_str());
}

// An output image that cannot be written is reported; the job still ends.
TEST_F(JobTest, UnwritableOutputImageIsReported)
{
    std::string blocker = TempPath("spx_job_dest_blocker");
    WriteAll(blocker, "a file where the destination folder should be");
    dest = blocker + "\\sub";
    ToolRun run = Job("--size 8x6");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    EXPECT_NE(std::string::npos, run.output.find("result=0")) << run.output;
    EXPECT_NE(std::string::npos, run.errors.find("Renderjob \"Plain\" could not write its image")) << run.errors;
    DeleteFileA(blocker.c_str());
}

// Base 2, depth 1, threshold 0: the samples of pixel (x, y) are the points
// (2x + i, 2y + j) of the image at twice the size; a pixel whose four block
// corners (i, j in {0, 2}) agree takes that colour, any other the mean of
// its 2 x 2 samples. The last column and row are left out: their right and
// upper corners lie outside the doubled image.
TEST_F(JobTest, AntiAliasedPixelIsItsCornerColourOrTheMeanOfItsSamples)
{
    const int w = 12, h = 9;
    ToolRun run = Job("--size 12x9 --aa --base 2 --depth 1 --threshold 0");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    EXPECT_NE(std::string::npos, run.output.find("result=0")) << run.output;
    Bytes bits = ReadAll(Raw("bits"));
    ASSERT_EQ((size_t)w * h * 3, bits.size());
    Bytes fine = BruteForceRows("24x18");
    ASSERT_EQ((size_t)4 * w * h * 3, fine.size());
    auto sample = [&](int sx, int sy, int c) { return (int)fine[((size_t)sy * 2 * w + sx) * 3 + c]; };

    int uniform = 0, mixed = 0, wrong = 0;
    for (int y = 0; y < h - 1; y++)
        for (int x = 0; x < w - 1; x++) {
            bool agree = true;
            for (int c = 0; c < 3; c++) {
                int corner = sample(2 * x, 2 * y, c);
                agree = agree && sample(2 * x + 2, 2 * y, c) == corner && sample(2 * x, 2 * y + 2, c) == corner &&
                        sample(2 * x + 2, 2 * y + 2, c) == corner;
            }
            (agree ? uniform : mixed)++;
            for (int c = 0; c < 3; c++) {
                int expected = agree ? sample(2 * x, 2 * y, c)
                                     : (sample(2 * x, 2 * y, c) + sample(2 * x + 1, 2 * y, c) +
                                        sample(2 * x, 2 * y + 1, c) + sample(2 * x + 1, 2 * y + 1, c)) / 4;
                if (bits[((size_t)y * w + x) * 3 + c] != expected) {
                    wrong++;
                    ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": "
                                  << (int)bits[((size_t)y * w + x) * 3 + c] << " != " << expected;
                }
            }
        }
    // The view holds both kinds of block, so both rules were exercised.
    EXPECT_GT(uniform, 0);
    EXPECT_GT(mixed, 0);
    EXPECT_EQ(0, wrong);
}

// A threshold no colour spread reaches settles every block at its first
// level: a pixel is then its block's first sample (base 2: the lower left
// corner, base 3: the centre), except the blocks at the row's ends, which
// the store always refines (base 2 the last, base 3 the first and the
// last): they are the mean of their b x b samples.
TEST_F(JobTest, SettledBlocksTakeTheirFirstSampleForBothBases)
{
    const int w = 8, h = 6;
    struct Case {
        int base;
        const char* fineSize;
    };
    for (const Case& c : {Case{2, "16x12"}, Case{3, "24x18"}}) {
        SCOPED_TRACE(c.base);
        DeleteFileA(Raw("hist").c_str());
        ToolRun run = Job("--size 8x6 --aa --depth 1 --threshold 1e9 --base " + std::to_string(c.base));
        ASSERT_EQ(0u, run.exitCode) << run.errors;
        Bytes bits = ReadAll(Raw("bits"));
        ASSERT_EQ((size_t)w * h * 3, bits.size());
        Bytes fine = BruteForceRows(c.fineSize);
        const int b = c.base, fw = b * w, first = b == 2 ? 0 : 1;
        ASSERT_EQ((size_t)fw * b * h * 3, fine.size());
        int wrong = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                bool edge = x == w - 1 || (b == 3 && x == 0);
                for (int ch = 0; ch < 3; ch++) {
                    int expected = fine[((size_t)(b * y + first) * fw + b * x + first) * 3 + ch];
                    if (edge) {
                        int sum = 0;
                        for (int j = 0; j < b; j++)
                            for (int i = 0; i < b; i++)
                                sum += fine[((size_t)(b * y + j) * fw + b * x + i) * 3 + ch];
                        expected = sum / (b * b);
                    }
                    wrong += bits[((size_t)y * w + x) * 3 + ch] != expected;
                }
            }
        EXPECT_EQ(0, wrong);
    }
}

// The layered entry: an opaque bottom layer and a top layer at half
// opacity shifted right by 4 and up by 3 pixels (a quarter of the image).
// Its image is the merge of the two views rendered alone as entries of
// their own, whether spxcalc render composes it from the layers' images or
// a layered render job from the raw rows its layer jobs write into the
// temporary folder.
TEST_F(JobTest, LayeredEntryRendersToTheMergeOfItsLayersOwnImages)
{
    const std::string file = std::string(kData) + "/files/layered.par";
    const int w = 16, h = 12, dx = 4, dy = 3;
    Bytes top = BruteForceRows("16x12", file, "Top"), bottom = BruteForceRows("16x12", file, "Bottom");
    ASSERT_EQ((size_t)w * h * 3, top.size());
    ASSERT_EQ((size_t)w * h * 3, bottom.size());
    Bytes merged = bottom;
    for (int y = dy; y < h; y++)
        for (int x = dx; x < w; x++)
            for (int c = 0; c < 3; c++) {
                unsigned char& d = merged[((size_t)y * w + x) * 3 + c];
                d = (unsigned char)(int)(top[((size_t)(y - dy) * w + x - dx) * 3 + c] * 0.5 + d * 0.5);
            }
    EXPECT_FALSE(merged == bottom);   // the top layer shows

    std::string out = TempPath("spx_layered.bgr");
    DeleteFileA(out.c_str());
    ToolRun render = Spxcalc("render", "\"" + file + "\" --entry Layered --size 16x12 --dump-bgr \"" + out + "\"");
    ASSERT_EQ(0u, render.exitCode) << render.errors;
    EXPECT_TRUE(ReadAll(out) == merged);

    for (const char* id : {"LAYT", "1_LAYT", "2_LAYT"})
        for (const char* ext : {"bits", "alpha", "flags"})
            DeleteFileA((temp + "\\" + id + "." + ext).c_str());
    ToolRun job = Spxcalc("job", "\"" + file + "\" --entry Layered --size 16x12 --temp \"" + temp + "\" --dest \"" +
                          dest + "\" --id LAYT");
    ASSERT_EQ(0u, job.exitCode) << job.errors;
    std::string output = dest + "\\layered\\Layered.png";
    EXPECT_NE(std::string::npos, job.output.find("id=LAYT result=0 output=" + output)) << job.output;
    // The layer jobs' rows, where the layered job read them.
    EXPECT_TRUE(ReadAll(temp + "\\2_LAYT.bits") == bottom);
    EXPECT_TRUE(ReadAll(temp + "\\1_LAYT.bits") == top);
    EXPECT_TRUE(ReadAll(temp + "\\LAYT.bits") == merged);
    int pw = 0, ph = 0;
    unsigned char* rgb = ReadPngFile(output.c_str(), &pw, &ph);
    ASSERT_TRUE(rgb);
    ASSERT_EQ(w, pw);
    ASSERT_EQ(h, ph);
    int wrong = 0;
    for (int line = 0; line < h; line++)
        for (int x = 0; x < w; x++)
            for (int c = 0; c < 3; c++)
                wrong += rgb[(line * w + x) * 3 + c] != merged[((h - 1 - line) * w + x) * 3 + 2 - c];
    delete[] rgb;
    EXPECT_EQ(0, wrong);
}

// --filters loads the filters before the entry is read, so that the
// entry's ImageFilter= finds its filter: the identity (one weight of 1)
// leaves the plain image as it is, a weight of 1 over DIVISOR=2 halves it.
TEST(RenderFilters, IdentityChangesNothingAndAHalvingFilterHalves)
{
    const std::string filters = std::string(kData) + "/files/filters.flt";
    Bytes plain = BruteForceRows("16x12");
    ASSERT_EQ(16u * 12 * 3, plain.size());
    std::map<std::string, Bytes> images;
    for (const char* entry : {"IdentityFiltered", "HalveFiltered"}) {
        std::string out = TempPath("spx_filtered.bgr");
        DeleteFileA(out.c_str());
        ToolRun run = Spxcalc("render", "\"" + EntryFile() + "\" --entry " + entry + " --size 16x12 --filters \"" +
                              filters + "\" --dump-bgr \"" + out + "\"");
        ASSERT_EQ(0u, run.exitCode) << run.errors;
        images[entry] = ReadAll(out);
    }
    EXPECT_TRUE(images["IdentityFiltered"] == plain);
    const Bytes& halved = images["HalveFiltered"];
    ASSERT_EQ(plain.size(), halved.size());
    int wrong = 0;
    for (size_t i = 0; i < plain.size(); i++)
        wrong += halved[i] != plain[i] / 2;
    EXPECT_EQ(0, wrong);
}

// spxcalc render's image outputs: the PNG's and the JPEG's embedded entry
// reads back as the same fractal, the BMP is padded to whole words.
TEST(RenderImageOutput, PngEntryReadsBackAsTheSameFractal)
{
    std::string png = TempPath("spx_render_out.png"), entry = TempPath("spx_render_out.par");
    DeleteFileA(png.c_str());
    DeleteFileA(entry.c_str());
    ToolRun run = Spxcalc("render", "\"" + EntryFile() + "\" --entry Plain --size 10x8 --png \"" + png + "\"");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    ToolRun load = Spxcalc("load", "\"" + png + "\" --entry-out \"" + entry + "\"");
    ASSERT_EQ(0u, load.exitCode) << load.errors;
    EXPECT_NE(std::string::npos, load.output.find("image=10x8 linked=Plain")) << load.output;
    // The written entry calculates the same image as the original.
    EXPECT_TRUE(BruteForceRows("10x8", entry, "Plain") == BruteForceRows("10x8"));
}

TEST(RenderImageOutput, JpegCarriesTheEntryAndBmpIsPadded)
{
    std::string jpeg = TempPath("spx_render_out.jpg"), bmp = TempPath("spx_render_out.bmp");
    DeleteFileA(jpeg.c_str());
    DeleteFileA(bmp.c_str());
    ToolRun run = Spxcalc("render", "\"" + EntryFile() + "\" --entry Plain --size 3x2 --jpeg \"" + jpeg + "\" --bmp \"" +
                          bmp + "\"");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    ToolRun load = Spxcalc("load", "\"" + jpeg + "\"");
    EXPECT_EQ(0u, load.exitCode) << load.errors;
    EXPECT_NE(std::string::npos, load.output.find("image=3x2 linked=Plain")) << load.output;
    // 54 header bytes and two rows of 3 x 3 bytes padded to 12.
    Bytes file = ReadAll(bmp);
    ASSERT_EQ(54u + 2 * 12, file.size());
    EXPECT_EQ(file.size(), (size_t)(file[2] | file[3] << 8 | file[4] << 16 | file[5] << 24));
}

TEST(RenderImageOutput, UnreadableFilterFileIsRefused)
{
    ToolRun run = Spxcalc("render", "\"" + EntryFile() + "\" --entry Plain --size 3x2 --filters \"" +
                          TempPath("spx_no_such_filters.flt") + "\"");
    EXPECT_EQ(2u, run.exitCode);
}

}  // namespace
