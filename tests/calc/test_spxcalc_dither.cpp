// spxcalc dither as a user runs it: the lookup printed in its documented
// layout, a small picture file dithered to the indices worked out by hand,
// and the errors of short files, bad sizes and missing arguments.
#include <gtest/gtest.h>

#include <stdio.h>

#include <sstream>
#include <string>
#include <vector>

#include "calc/DisplayPalette.h"
#include "tests/support/ToolRunner.h"

namespace {

std::string TempFile(const char* name, const std::vector<unsigned char>& bytes)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + name;
    FILE* file = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    return path;
}

TEST(SpxcalcDither, LookupLinesHoldTheSixteenBlues)
{
    ToolRun run = RunSibling("spxcalc.exe", "dither --lookup");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    std::istringstream lines(run.output);
    std::string line;
    const uint8_t* lookup = DitherLookup();
    int count = 0;
    while (std::getline(lines, line)) {
        std::istringstream values(line);
        std::vector<int> row;
        int v;
        while (values >> v)
            row.push_back(v);
        ASSERT_EQ(16u, row.size()) << "line " << count;
        for (int b = 0; b < 16; b++)
            ASSERT_EQ(lookup[count * 16 + b], row[b]) << "R4 " << count / 16 << " G4 " << count % 16 << " B4 " << b;
        count++;
    }
    EXPECT_EQ(256, count);
    EXPECT_NE(std::string::npos, run.output.find("\n221 221 231 1 232")) << "line 1: R4 0, G4 1";
}

TEST(SpxcalcDither, PictureFileGivesTheHandComputedIndices)
{
    // Bottom row first, blue, green, red: white, black / grey 6, grey 10
    // (the errors are worked out in test_dither.cpp's small image).
    std::string path = TempFile("spx_dither.bin", { 255, 255, 255, 0, 0, 0, 6, 6, 6, 10, 10, 10 });
    ToolRun run = RunSibling("spxcalc.exe", "dither --size 2x2 \"" + path + "\"");
    EXPECT_EQ(0u, run.exitCode) << run.errors;
    EXPECT_EQ("220 0\n216 0\n", run.output);
    DeleteFileA(path.c_str());
}

TEST(SpxcalcDither, UnusableArgumentsAreClearErrors)
{
    std::string path = TempFile("spx_dither_short.bin", std::vector<unsigned char>(11, 0));
    struct Case {
        std::string arguments;
        const char* message;
    } cases[] = {
        { "dither --size 2x2 \"" + path + "\"", "holds 11 bytes, the size needs 12" },
        { "dither --size 2by2 \"" + path + "\"", "bad size 2by2" },
        { "dither --size 0x2 \"" + path + "\"", "bad size 0x2" },
        { "dither --size 2x2 \"" + path + ".missing\"", "cannot open" },
        { "dither", "usage: spxcalc dither" },
        { "dither --lookup extra", "usage: spxcalc dither" },
    };
    for (const Case& c : cases) {
        ToolRun run = RunSibling("spxcalc.exe", c.arguments);
        EXPECT_NE(0u, run.exitCode) << c.arguments;
        EXPECT_NE(std::string::npos, run.errors.find(c.message)) << c.arguments << ": " << run.errors;
        EXPECT_TRUE(run.output.empty()) << c.arguments;
    }
    DeleteFileA(path.c_str());
}

}  // namespace
