// spxbig.exe, the command-line front end of the decimal library, run as a
// child process: results, malformed input, and the out-of-memory exits of
// the library (forced by the tool's hidden allocation switch).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/foundation/BignumTestSupport.h"
#include "tests/support/ToolRunner.h"

namespace {

ToolRun Spxbig(const std::vector<std::string>& args)
{
    std::string arguments;
    for (const std::string& a : args)
        arguments += (arguments.empty() ? "" : " ") + a;
    return RunSibling("spxbig.exe", arguments);
}

} // namespace

TEST(BignumTool, PrintsResultsInScientificForm)
{
    struct Case {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        { { "sqrt", "2", "60" }, "1.41421356237309504880168872420969807856967187537694807317668E+0\n" },
        { { "add", "1E+20", "-1e-5" }, "9." + std::string(24, '9') + "E+19\n" },
        { { "sub", "+.5", "0.25", "7" }, "2.5E-1\n" },
        { { "mul", "-12.5", "8" }, "-1E+2\n" },
        { { "div", "2", "3", "2" }, "6.66E-1\n" },
        { { "div", "2", "3", "250" }, "6." + std::string(249, '6') + "7E-1\n" },
        { { "round", "-1.235", "2" }, "-1.24E+0\n" },
        { { "mul", "0", "5" }, "0.0E+0\n" },
    };
    for (const Case& c : cases) {
        ToolRun run = Spxbig(c.args);
        EXPECT_EQ(0u, run.exitCode) << c.args[0];
        EXPECT_EQ(c.out, run.output) << c.args[0] << " " << c.args[1];
        EXPECT_EQ("", run.errors) << c.args[0];
    }
}

TEST(BignumTool, RejectsMalformedInput)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        { { "add", "1x", "2" }, "not a decimal number: '1x'" },
        { { "add", "1", "." }, "not a decimal number: '.'" },
        { { "mul", "1e", "2" }, "not a decimal number: '1e'" },
        { { "mul", "--1", "2" }, "not a decimal number: '--1'" },
        { { "sqrt", "2", "-1" }, "DIGITS must be a whole number" },
        { { "div", "1", "3" }, "wrong number of arguments for 'div'" },
        { { "round", "1", "2", "3" }, "wrong number of arguments for 'round'" },
        { { "pow", "1", "2" }, "unknown operation 'pow'" },
        // An exact sum of this would need half a gigabyte.
        { { "add", "1E+999999999", "1" }, "exponent beyond +-10000000: '1E+999999999'" },
        { {}, "usage: spxbig" },
    };
    for (const Case& c : cases) {
        ToolRun run = Spxbig(c.args);
        EXPECT_NE(0u, run.exitCode) << c.message;
        EXPECT_NE(std::string::npos, run.errors.find(c.message)) << run.errors;
        EXPECT_EQ("", run.output) << c.message;
    }
}

TEST(BignumTool, OutOfMemoryNamesTheRoutineAndEndsTheProcess)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
        DWORD exitCode;
    } cases[] = {
        // The schoolbook product's block (a short operand times a long one).
        { { "--fail-alloc-from", "3000", "mul", std::string(90, '7'), std::string(8000, '3') },
          "'m_apm_multiply', Out of memory\n", 16 },
        // The kept FFT arrays of 8200 doubles.
        { { "--fail-alloc-from", "50000", "mul", std::string(8000, '7'), std::string(8000, '3') },
          "'M_fast_mul_fft', Out of memory\n", 16 },
        // Aligning operands 30000 digits apart.
        { { "--fail-alloc-from", "10000", "add", "1E+30000", "1" }, "'M_apm_scale', Out of memory\n", 18 },
        // The quotient of a long division with many digits.
        { { "--fail-alloc-from", "10000", "div", "1E+30000", "3", "2" }, "'M_apm_sdivide', Out of memory\n", 16 },
    };
    for (const Case& c : cases) {
        ToolRun run = Spxbig(c.args);
        EXPECT_EQ(c.exitCode, run.exitCode) << c.message;
        EXPECT_EQ(c.message, run.errors);
        EXPECT_EQ("", run.output) << c.message;
    }
}
