// The hand-written Fractint and UltraFractal fixtures converted as the
// importer converts them, then compiled and run by spxfc: the iteration
// counts and the colour index are computed here the plain way.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <complex>
#include <string>

#include "formulas/convert/ForeignImport.h"
#include "tests/formulas/FormulaTestSupport.h"
#include "tests/support/ToolRunner.h"

using namespace formulatest;

namespace {

typedef std::complex<long double> Complex;

// The converted file of a fixture (copied under its own extension).
std::string ConvertFixture(const TempFolder& folder, const std::string& fixture)
{
    SetImportDataFolder(folder.Path().c_str());
    std::string source = folder.CopyFixture(fixture);
    char* converted = ConvertForeignFile(source.c_str());
    if (converted == nullptr)
        return "";
    std::string text = ReadBytes(converted);
    DeleteFileA(converted);
    free(converted);
    std::string plain;
    for (char c : text)
        if (c != '\r')
            plain += c;
    return plain;
}

// Writes the converted file as an own formula file and runs spxfc on its
// entry.
ToolRun Spxfc(const TempFolder& folder, const std::string& converted, const std::string& extension,
              const std::string& arguments)
{
    std::string file = folder / ("converted" + extension);
    WriteBytes(file, Crlf(converted));
    return RunSibling("spxfc.exe", arguments + " \"" + file + "\"");
}

std::string Iterations(int k)
{
    return "iterations=" + std::to_string(k);
}

TEST(ForeignFixtures, FractintEntriesConvertCompileAndRun)
{
    TempFolder folder;
    std::string text = ConvertFixture(folder, "fractint.frm");
    // A group the compiler does not know leaves its entry out.
    EXPECT_NE(std::string::npos, text.find("Noparm  {"));
    EXPECT_EQ(std::string::npos, text.find("Unknown"));

    // z = c, then z*z + c while |z| (the squared modulus) stays at most 4.
    Complex c(0.3L, 0.5L), z = c;
    int k = 0;
    while (k < 100) {
        z = z * z + c;
        k++;
        if (!(std::norm(z) <= 4))
            break;
    }
    ToolRun run = Spxfc(folder, text, ".sfm", "run --kind iteration --entry Mandel --pixel 0.3,0.5 --maxiter 100");
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_EQ(0u, run.output.find(Iterations(k))) << run.output;

    // Branchy: the sign of the real part picks + or - pixel; |z| < iffy^2.
    c = Complex(-0.6L, 0.4L);
    z = 0;
    k = 0;
    while (k < 200) {
        z = z.real() > 0 ? z * z + c : z * z - c;
        k++;
        if (!(std::norm(z) < 4))
            break;
    }
    run = Spxfc(folder, text, ".sfm", "run --kind iteration --entry Branchy --pixel -0.6,0.4 --maxiter 200");
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_EQ(0u, run.output.find(Iterations(k))) << run.output;
}

TEST(ForeignFixtures, UltraFractalFormulaRuns)
{
    TempFolder folder;
    std::string text = ConvertFixture(folder, "julia.ufm");
    EXPECT_EQ(std::string::npos, text.find("Native"));
    // z = pixel; z^power + seed with the defaults 2 and (-0.75, 0.1) while
    // |z| <= limit (4) and fewer than 1000 counts.
    Complex seed(-0.75L, 0.1L), z(0.2L, 0.3L);
    int k = 0, count = 0;
    while (k < 500) {
        z = z * z + seed;
        count++;
        k++;
        if (!(std::norm(z) <= 4 && count < 1000))
            break;
    }
    ToolRun run = Spxfc(folder, text, ".sfm", "run --kind iteration --entry JuliaUF --pixel 0.2,0.3 --maxiter 500");
    EXPECT_EQ(0u, run.exitCode) << run.output << text;
    EXPECT_EQ(0u, run.output.find(Iterations(k))) << run.output;
}

TEST(ForeignFixtures, UltraFractalColoringAndTransformationCompile)
{
    TempFolder folder;
    std::string colouring = ConvertFixture(folder, "banded.ucl");
    // total sums cabs(z) over the loops: 2 * 5; index = total / (numiter + 1) + offset.
    double index = 2 * std::abs(std::complex<double>(3, 4)) / (7 + 1) + 0.25;
    char expected[40];
    snprintf(expected, sizeof expected, "index=%.10g\n", index);
    ToolRun run = Spxfc(folder, colouring, ".scl", "run --kind coloring --entry Banded --z 3,4 --numiter 7 --loops 2");
    EXPECT_EQ(0u, run.exitCode) << run.output << colouring;
    EXPECT_EQ(expected, run.output);

    std::string transformation = ConvertFixture(folder, "shift.uxf");
    run = Spxfc(folder, transformation, ".str", "check --kind transformation --entry Shift");
    EXPECT_EQ(0u, run.exitCode) << run.output << transformation;
}

}  // namespace
