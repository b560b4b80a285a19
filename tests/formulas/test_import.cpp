// Import statements: a formula imports the functions of a library class
// through the library's index file, and the errors 813, 814 and 815.
#include <gtest/gtest.h>

#include <string.h>

#include <complex>

#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaRun.h"
#include "formulas/FormulaLoader.h"
#include "formulas/FormulaNode.h"
#include "foundation/Buffers.h"
#include "tests/formulas/FormulaTestSupport.h"

using namespace formulatest;

namespace {

std::string Formula(const std::string& import)
{
    return "importer {\n" + import +
           "\n\tvoid init(void)\n\t{\n\t\tz=0;\n\t}\n\tvoid loop(void)\n\t{\n\t\tz=z*z+pixel;\n\t}\n"
           "\tbool bailout(void)\n\t{\n\t\treturn(|z|<16);\n\t}\n}\n";
}

class ImportTest : public testing::Test {
protected:
    void SetUp() override
    {
        root = folder.MakeFolder("libs");
        folder.CopyFixture("mathlib.lib", "libs\\mathlib.lib");
        WriteBytes(folder / "libs\\broken.lib", Crlf("bad {\n\tno function here\n}\n"));
        ScanFormulaFolder(root.c_str(), root.c_str());
        DeleteAllMessages();
    }
    void TearDown() override
    {
        holder.compiler->freeResults();
        ClearFormulaTrees();
        DeleteAllMessages();
    }

    bool Compile(const std::string& text)
    {
        return holder.compiler->compile(text.c_str(), 0, -128, nullptr, nullptr, nullptr, "importer", SK_PLANE,
                                        nullptr, false, false);
    }

    FormulaFunction* Function(const char* name)
    {
        return static_cast<FormulaFunction*>(holder.compiler->functions.Find(name));
    }

    static std::string Source(const FormulaFunction* f)
    {
        return f && f->sourceText && f->sourceText->GetData() ? static_cast<const char*>(f->sourceText->GetData())
                                                              : "";
    }

    static std::vector<std::string> Messages()
    {
        std::vector<std::string> texts;
        for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
            texts.push_back(static_cast<MessageNode*>(n)->text);
        return texts;
    }

    static bool HasMessage(const std::string& text)
    {
        for (const std::string& m : Messages()) {
            if (m == text)
                return true;
        }
        return false;
    }

    TempFolder folder;
    std::string root;
    FormulaHolder holder{FK_ITERATION};
};

TEST_F(ImportTest, DeclaresTheFunctionsOfTheClassUnderTheAlias)
{
    ASSERT_TRUE(Compile(Formula("import mathlib.complexmath as cm;")));
    // The import made the library's index.
    EXPECT_EQ(ReadBytes(FixturePath("mathlib.slb.expected")), ReadBytes(root + "\\mathlib.slb"));

    FormulaFunction* twice = Function("cm.twice");
    ASSERT_NE(nullptr, twice);
    EXPECT_STREQ("Ccm.twice@@C", twice->decoratedName);
    EXPECT_EQ(FUNCTION_DECLARED, twice->stateWord);
    EXPECT_EQ(1, twice->imported);
    EXPECT_EQ("complex twice(complex a)\n\t{\n\t\treturn(a*2);\n\t}", Source(twice));

    // A head over two lines in the library.
    FormulaFunction* mix = Function("cm.mix");
    ASSERT_NE(nullptr, mix);
    EXPECT_STREQ("Rcm.mix@@RR", mix->decoratedName);
    EXPECT_EQ(1, mix->imported);
    EXPECT_EQ(0u, Source(mix).find("real mix(real x,\n\t         real y)\n\t{\n\t\treal t;"));

    // Only the named class is imported; the formula's own functions are not.
    EXPECT_EQ(nullptr, Function("cm.half"));
    EXPECT_EQ(0, Function("init")->imported);
    EXPECT_EQ(nullptr, Function("init")->sourceText);
}

TEST_F(ImportTest, TwoImportsUseTheirOwnAliases)
{
    ASSERT_TRUE(Compile(Formula("import mathlib.realmath as r;\nimport MATHLIB.complexmath as c;")));
    ASSERT_NE(nullptr, Function("r.half"));
    EXPECT_EQ("real half(real v)\n\t{\n\t\treturn(v/2);\n\t}", Source(Function("r.half")));
    ASSERT_NE(nullptr, Function("c.twice"));
    EXPECT_EQ(1, Function("c.twice")->imported);
}

TEST_F(ImportTest, ReportsMissingLibrariesClassesAndBrokenLibraries)
{
    struct Case {
        const char* import;
        const char* message;
    } cases[] = {
        {"import nolib.any as a;", "Compiler error 813: Import library nolib cannot be found."},
        {"import mathlib.nothing as a;", "Compiler error 815: Import library mathlib does not contain class nothing."},
        {"import broken.bad as b;", "Compiler error 814: Import library broken contains errors."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.import);
        DeleteAllMessages();
        EXPECT_FALSE(Compile(Formula(c.import)));
        EXPECT_TRUE(HasMessage(c.message));
        holder.compiler->freeResults();
    }
    EXPECT_FALSE(FileExists(root + "\\broken.slb"));
}

// z = 2 z^2 + 1.5 c until |z|^2 >= 16, counted as the iteration formula
// counts: the reference for the formula that computes it through the
// library's functions twice(a) = a*2 and mix(x, y) = x*y.
int ImportedIterations(std::complex<long double> c, int maxIter, std::complex<long double>* z)
{
    *z = 0;
    int k = 0;
    while (k < maxIter) {
        *z = (*z * *z) * 2.0L + c * 1.5L;
        k++;
        if (std::norm(*z) >= 16)
            break;
    }
    return k;
}

const char kImportingFormula[] =
    "importing {\n"
    "import mathlib.complexmath as cm;\n"
    "import mathlib.realmath as rm;\n"
    "\tvoid init(void)\n\t{\n\t\tz=0;\n\t}\n"
    "\tvoid loop(void)\n\t{\n\t\tz=cm.twice(z*z)+pixel*cm.mix(0.5,3);\n\t}\n"
    "\tbool bailout(void)\n\t{\n\t\treturn(|z|<16);\n\t}\n}\n";

TEST_F(ImportTest, CalledLibraryFunctionsAreCompiledAndRun)
{
    FormulaRun run;
    ASSERT_TRUE(run.Compile(kImportingFormula, FK_ITERATION, SK_PLANE)) << run.error();

    // The called functions got code; the uncalled import did not.
    FormulaCompiler* compiler = run.Holder()->compiler;
    for (const char* name : {"cm.twice", "cm.mix"}) {
        SCOPED_TRACE(name);
        FormulaFunction* f = static_cast<FormulaFunction*>(compiler->functions.Find(name));
        ASSERT_NE(nullptr, f);
        EXPECT_EQ(FUNCTION_DEFINED, f->stateWord);
        EXPECT_NE(FUNCTION_NOT_COMPILED, f->codeLength);
    }
    FormulaFunction* half = static_cast<FormulaFunction*>(compiler->functions.Find("rm.half"));
    ASSERT_NE(nullptr, half);
    EXPECT_EQ(FUNCTION_DECLARED, half->stateWord);
    EXPECT_EQ(FUNCTION_NOT_COMPILED, half->codeLength);

    struct Case {
        double re, im;
    } cases[] = {{0.1, 0.2}, {0.2, 0.3}, {0.25, 0.1}, {-0.2, 0.4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.re << "," << c.im);
        std::complex<long double> expected;
        int iterations = ImportedIterations({c.re, c.im}, 100, &expected);
        double pixel[4] = {c.re, c.im, 0, 0};
        run.SetPixel(pixel);
        EXPECT_EQ(iterations, run.Iterate(100));
        double z[4];
        run.GetZ(z);
        EXPECT_NEAR((double)expected.real(), z[0], 1e-9 * (1 + std::abs((double)expected.real())));
        EXPECT_NEAR((double)expected.imag(), z[1], 1e-9 * (1 + std::abs((double)expected.imag())));
    }
}

// The library's quad(a) calls its sibling twice(a) by the plain name; the
// formula calls only ch.quad: z = 4 z^2 + c.
const char kChainFormula[] =
    "chained {\n"
    "import chainlib.chain as ch;\n"
    "\tvoid init(void)\n\t{\n\t\tz=0;\n\t}\n"
    "\tvoid loop(void)\n\t{\n\t\tz=ch.quad(z*z)+pixel;\n\t}\n"
    "\tbool bailout(void)\n\t{\n\t\treturn(|z|<16);\n\t}\n}\n";

TEST_F(ImportTest, LibraryFunctionsCallingTheirSiblingsAreCompiledAndRun)
{
    folder.CopyFixture("chainlib.lib", "libs\\chainlib.lib");
    ClearFormulaTrees();
    ScanFormulaFolder(root.c_str(), root.c_str());

    FormulaRun run;
    ASSERT_TRUE(run.Compile(kChainFormula, FK_ITERATION, SK_PLANE)) << run.error();
    FormulaCompiler* compiler = run.Holder()->compiler;
    auto find = [compiler](const char* name) {
        return static_cast<FormulaFunction*>(compiler->functions.Find(name));
    };

    // The calls in the body take the alias; the head stays as in the library.
    ASSERT_NE(nullptr, find("ch.quad"));
    EXPECT_EQ("complex quad(complex a)\n\t{\n\t\treturn(ch.twice(ch.twice(a)));\n\t}", Source(find("ch.quad")));

    // twice is called only from quad and is compiled all the same.
    for (const char* name : {"ch.quad", "ch.twice"}) {
        SCOPED_TRACE(name);
        ASSERT_NE(nullptr, find(name));
        EXPECT_EQ(FUNCTION_DEFINED, find(name)->stateWord);
        EXPECT_NE(FUNCTION_NOT_COMPILED, find(name)->codeLength);
    }
    ASSERT_NE(nullptr, find("ch.unused"));
    EXPECT_EQ(FUNCTION_NOT_COMPILED, find("ch.unused")->codeLength);

    struct Case {
        double re, im;
    } cases[] = {{0.1, 0.2}, {-0.15, 0.1}, {0.3, -0.25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.re << "," << c.im);
        std::complex<long double> z = 0, pixel(c.re, c.im);
        int expected = 0;
        while (expected < 50) {
            z = z * z * 4.0L + pixel;
            expected++;
            if (std::norm(z) >= 16)
                break;
        }
        double point[4] = {c.re, c.im, 0, 0};
        run.SetPixel(point);
        EXPECT_EQ(expected, run.Iterate(50));
        double result[4];
        run.GetZ(result);
        EXPECT_NEAR((double)z.real(), result[0], 1e-9 * (1 + std::abs((double)z.real())));
        EXPECT_NEAR((double)z.imag(), result[1], 1e-9 * (1 + std::abs((double)z.imag())));
    }
}

}  // namespace
