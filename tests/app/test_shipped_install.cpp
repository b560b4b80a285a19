// The first start's copy of the files shipped beside the executable into a
// fresh data folder: each file lands where the start-up loader looks for it,
// so the formula "Mandelbrot" of Spiralix.sfm, which every new escape-time
// fractal (the shipped "Startup" among them) names, is found after the
// loader's scan of the default compiler search path; the user's own files
// stay untouched.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "app/Application.h"
#include "app/MainInit.h"
#include "app/StartupLoader.h"
#include "compiler/FormulaCompiler.h"
#include "document/Fractal.h"
#include "files/settings/Settings.h"
#include "formulas/FormulaLoader.h"
#include "formulas/FormulaLookup.h"
#include "foundation/FileUtil.h"
#include "foundation/Messages.h"
#include "tests/formulas/FormulaTestSupport.h"

namespace {

// The checkout's root stands in for the program folder: it holds the
// shipped Formulas and Fractals folders as the build copies them.
std::string ProgramFolder()
{
    std::string data = SPIRALIX_TEST_DATA;
    std::string root = data.substr(0, data.size() - strlen("/tests/data"));
    for (char& c : root)
        if (c == '/')
            c = '\\';
    return root;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FirstLine(const std::string& path)
{
    char line[200] = "";
    FILE* f = fopen(path.c_str(), "r");
    if (f != NULL) {
        if (fgets(line, sizeof(line), f) == NULL)
            line[0] = '\0';
        fclose(f);
    }
    return line;
}

void RemoveTree(const std::string& root)
{
    SHFILEOPSTRUCTA op = {};
    std::string from = root + '\0';
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    SHFileOperationA(&op);
}

class ShippedInstall : public testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        data_ = std::string(temp) + "spx-k1-data";
        RemoveTree(data_);
        CreateDataFolders(data_.c_str());
        savedApp_ = g_App;
        g_App = &app_;
        snprintf(app_.dataFolder, sizeof(app_.dataFolder), "%s", data_.c_str());
        snprintf(app_.renderJobFolder, 512, "%s\\RenderJobs", data_.c_str());
        savedLoaders_ = g_StartupLoaders;
        // Only the compiler folders' scan is wanted here.
        g_StartupLoaders = StartupLoaders{};
        FormulaPath[0] = '\0';
        WorkerCancelState = 0;
        DeleteAllMessages();
    }
    void TearDown() override
    {
        formulatest::ClearFormulaTrees();
        DeleteAllMessages();
        SetCompilerFormulaPath(NULL);
        g_StartupLoaders = savedLoaders_;
        g_App = savedApp_;
        RemoveTree(data_);
    }

    std::string data_;
    PApplication app_{GetModuleHandleA(NULL)};
    PApplication* savedApp_ = nullptr;
    StartupLoaders savedLoaders_;
};

}  // namespace

TEST_F(ShippedInstall, EachFileLandsWhereTheLoaderLooksAndUserFilesStay)
{
    // A Spiralix.par of the user's own is kept.
    std::string userPar = data_ + "\\Fractals\\Spiralix.par";
    FILE* f = fopen(userPar.c_str(), "w");
    ASSERT_NE(nullptr, f);
    fputs("Mine {\n}\n", f);
    fclose(f);

    EXPECT_GT(InstallShippedFiles(ProgramFolder().c_str(), data_.c_str()), 0);
    struct Place {
        const char* file;
        bool present;
    };
    const Place places[] = {
        {"\\Formulas\\Compiler\\Spiralix.sfm", true}, {"\\Formulas\\Compiler\\Spiralix.scl", true},
        {"\\Formulas\\Compiler\\Spiralix.str", true}, {"\\Formulas\\Spiralix.ifs", true},
        {"\\Formulas\\Spiralix.l", true},             {"\\Formulas\\Spiralix.sfm", false},
        {"\\Formulas\\Compiler\\Spiralix.ifs", false},
    };
    for (const Place& p : places)
        EXPECT_EQ(p.present, Exists(data_ + p.file)) << p.file;
    EXPECT_EQ("Mine {\n", FirstLine(userPar));

    // A second start copies nothing: everything is there already.
    EXPECT_EQ(0, InstallShippedFiles(ProgramFolder().c_str(), data_.c_str()));
}

TEST_F(ShippedInstall, DefaultFormulaIsFoundAfterTheLoadersScan)
{
    InstallShippedFiles(ProgramFolder().c_str(), data_.c_str());
    std::string path = data_ + "\\Formulas\\Compiler;" + data_ + "\\Formulas\\Ultra Fractal";
    SetCompilerFormulaPath(path.c_str());
    LoadRenderJobsAndFormulas();

    FormulaHolder holder(FK_ITERATION);
    char fileName[100] = "Spiralix.sfm";
    char foundName[64] = "";
    LookupFormula(nullptr, FT_ESCAPETIME, fileName, sizeof(fileName), "Mandelbrot", foundName, &holder);
    EXPECT_STRNE("Not Found", std::string(foundName).substr(0, 9).c_str()) << foundName;
    ASSERT_NE(nullptr, holder.GetSource());
    EXPECT_EQ(nullptr, strstr(holder.GetSource(), "Formula Not Found")) << holder.GetSource();
    EXPECT_EQ(nullptr, g_Messages.GetHead());
}
