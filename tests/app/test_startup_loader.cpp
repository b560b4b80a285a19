// The start-up loader's walk: which loader gets which files in which order,
// the compiler search path losing the data folder's own formula folder, and
// the stop state: once set, no later folder or loader runs and the state is
// left for the main thread (the splash dialog is not touched).
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Application.h"
#include "app/StartupLoader.h"
#include "files/settings/Settings.h"
#include "formulas/FormulaLoader.h"
#include "foundation/FileUtil.h"

namespace {

std::vector<std::string> g_Calls;

void Record(const char* kind, const char* name)
{
    g_Calls.push_back(std::string(kind) + ":" + name);
}

class LoaderWalk : public testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        root_ = std::string(temp) + "spx-h1-loader";
        for (const char* sub : {"", "\\formulas", "\\palettes", "\\params", "\\params2", "\\data",
                                "\\data\\Formulas", "\\data\\RenderJobs"})
            CreateDirectoryA((root_ + sub).c_str(), NULL);
        for (const char* file : {"formulas\\a.ifs", "formulas\\b.l", "formulas\\c.flt",
                                 "palettes\\d.map", "palettes\\e.ugr", "params\\f.par",
                                 "params\\g.upr", "params2\\h.par", "data\\RenderJobs\\i.dat"})
            Touch(root_ + "\\" + file);
        saved_ = g_StartupLoaders;
        g_StartupLoaders.renderJob = [](const char*, const char* n) { Record("job", n); };
        g_StartupLoaders.ifs = [](const char*, const char* n) { Record("ifs", n); };
        g_StartupLoaders.lsystem = [](const char*, const char* n) { Record("l", n); };
        g_StartupLoaders.palette = [](const char*, const char* n) { Record("map", n); };
        g_StartupLoaders.gradient = [](const char*, const char* n) { Record("ugr", n); };
        g_StartupLoaders.parameters = [](const char*, const char* n) {
            Record("par", n);
            if (stopAtParameters)
                WorkerCancelState = 1;
        };
        g_StartupLoaders.imageFilter = [](const char*, const char* n) { Record("flt", n); };
        snprintf(FormulaPath, sizeof(FormulaPath), "%s\\formulas", root_.c_str());
        snprintf(PalettePath, sizeof(PalettePath), "%s\\palettes", root_.c_str());
        snprintf(ProjectPath, sizeof(ProjectPath), "%s\\params;%s\\params2", root_.c_str(),
                 root_.c_str());
        // The compiler path names the data folder's own formula folder second.
        std::string compiler = root_ + "\\missing;" + root_ + "\\DATA\\formulas";
        SetCompilerFormulaPath(compiler.c_str());
        savedApp_ = g_App;
        g_App = &app_;
        snprintf(app_.dataFolder, sizeof(app_.dataFolder), "%s\\data", root_.c_str());
        snprintf(app_.renderJobFolder, 512, "%s\\data\\RenderJobs", root_.c_str());
        g_Calls.clear();
        WorkerCancelState = 0;
    }
    void TearDown() override
    {
        g_StartupLoaders = saved_;
        g_App = savedApp_;
        WorkerCancelState = 0;
        stopAtParameters = false;
        SetCompilerFormulaPath(NULL);
    }
    static void Touch(const std::string& path)
    {
        FILE* f = fopen(path.c_str(), "w");
        if (f)
            fclose(f);
    }

    static bool stopAtParameters;
    std::string root_;
    StartupLoaders saved_;
    PApplication app_{GetModuleHandleA(NULL)};
    PApplication* savedApp_ = nullptr;
};
bool LoaderWalk::stopAtParameters = false;

TEST_F(LoaderWalk, LoadersRunInOrderAndTheOwnFormulaFolderLeavesTheSearchPath)
{
    LoadRenderJobsAndFormulas();
    LoadPaletteFolders();
    LoadParameterFolders();
    LoadImageFilterFolders();
    EXPECT_EQ((std::vector<std::string>{"job:i.dat", "ifs:a.ifs", "l:b.l", "map:d.map", "ugr:e.ugr",
                                        "par:f.par", "par:g.upr", "par:h.par", "flt:c.flt"}),
              g_Calls);
    EXPECT_EQ(root_ + "\\missing", std::string(CompilerFormulaPath));
}

TEST_F(LoaderWalk, StopLeavesLaterFoldersAndLoadersAloneAndTheStateSet)
{
    stopAtParameters = true;
    EXPECT_EQ(0u, StartupLoaderThread(NULL));
    // The first parameter file stops the walk: neither its ".upr" sibling,
    // nor the second parameter folder, nor the image filters are read.
    ASSERT_FALSE(g_Calls.empty());
    EXPECT_EQ("par:f.par", g_Calls.back());
    EXPECT_EQ(1, WorkerCancelState);
}

}  // namespace
