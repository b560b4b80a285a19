// The start-up pieces of the program that can be checked without running
// it: row strides, the noise tables (against an independent model of the
// runtime library's rand), the file-type registration on a fresh key and
// beside a foreign owner, the run-state record, the data folders, the
// conversion question, the compiler search path, the formula editor's
// letter I and the idle power-off decision.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <gtest/gtest.h>
#include <math.h>

#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainInit.h"
#include "app/SplashDialog.h"
#include "app/StartupLoader.h"
#include "foundation/FileUtil.h"
#include "ui/Object.h"

namespace {

// ------------------------------------------------------------ row stride

TEST(RowStride, AddsFourAndClearsTheTopBits)
{
    struct Case {
        uint32_t bytes, stride;
    };
    // 8 -> 12 is the point: a row already aligned still gets four bytes.
    const Case cases[] = {{0, 4}, {1, 4}, {3, 4}, {4, 8}, {5, 8}, {8, 12}, {1023, 1024},
                          {0xFFFFFFF0u, 0x0FFFFFF4u}};
    for (const Case& c : cases)
        EXPECT_EQ(c.stride, GetRowStride(c.bytes)) << c.bytes;
}

// ------------------------------------------------------------ noise tables

// The runtime library's generator, written out: state * 214013 + 2531011,
// answering bits 16..30.
struct CrtRand {
    uint32_t state;
    int Next()
    {
        state = state * 214013u + 2531011u;
        return (int)((state >> 16) & 0x7FFF);
    }
};

TEST(NoiseTables, FollowTheSeededGeneratorAndRepeatInEveryRun)
{
    InitNoiseTables();
    CrtRand reference{18237};
    for (int i = 0; i < 256; ++i) {
        int expected = reference.Next() % 255;
        ASSERT_EQ(expected, NoiseHash[i]) << i;
        ASSERT_EQ(expected, NoiseHash[i + 256]) << i;
        float ramp = (float)expected / 255.0f * 2.0f - 1.0f;
        EXPECT_FLOAT_EQ(ramp * 0.70710677f, NoiseGradient1[i]);
        EXPECT_EQ(NoiseGradient1[i], NoiseGradient1[i + 256]);
    }
    // Three draws per gradient, then the shuffle's draws.
    for (int i = 0; i < 256; ++i) {
        float v[3];
        for (float& c : v)
            c = (float)(reference.Next() % 512 - 256) / 256.0f;
        float length = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(length > 0 ? v[k] / length : 0.0f, NoiseGradient3[i][k], 1e-6f) << i;
    }
    std::vector<int> permutation(256);
    for (int i = 0; i < 256; ++i)
        permutation[i] = i;
    for (int i = 255; i > 0; --i)
        std::swap(permutation[i], permutation[reference.Next() % 256]);
    for (int i = 0; i < 514; ++i)
        ASSERT_EQ(permutation[i % 256], NoisePermutation[i]) << i;

    // Unit gradients (or zero ones), fourth component 0, copies behind.
    for (int i = 0; i < 514; ++i) {
        const float* g = NoiseGradient3[i];
        float length = sqrtf(g[0] * g[0] + g[1] * g[1] + g[2] * g[2]);
        EXPECT_TRUE(fabsf(length - 1.0f) < 1e-5f || length == 0.0f) << i;
        EXPECT_EQ(0.0f, g[3]);
        EXPECT_EQ(0, memcmp(NoiseGradient3[i % 256], g, sizeof(float) * 4)) << i;
    }

    // A second build (after the generator moved on) gives the same tables.
    std::vector<int> hash(NoiseHash, NoiseHash + 512);
    std::vector<float> gradients(&NoiseGradient3[0][0], &NoiseGradient3[0][0] + 514 * 4);
    srand(GetTickCount());
    rand();
    InitNoiseTables();
    EXPECT_EQ(hash, std::vector<int>(NoiseHash, NoiseHash + 512));
    EXPECT_EQ(gradients, std::vector<float>(&NoiseGradient3[0][0], &NoiseGradient3[0][0] + 514 * 4));
}

// ------------------------------------------------------------ file types

std::string DefaultValue(const std::string& key)
{
    char text[1000] = "";
    LONG size = sizeof(text);
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), text, &size) != ERROR_SUCCESS)
        return "<missing>";
    return text;
}

void SetDefault(const std::string& key, const char* text)
{
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, text, strlen(text)));
}

std::string ModuleIcon(const char* index)
{
    char module[MAX_PATH];
    GetModuleFileNameA(NULL, module, sizeof(module));
    return std::string(module) + "," + index;
}

// Keys of the test's own extension; removed before and after.
class FileTypes : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        SHDeleteKeyA(HKEY_CLASSES_ROOT, ".spxh1");
        SHDeleteKeyA(HKEY_CLASSES_ROOT, "SX_H1_FILE");
    }
};

TEST_F(FileTypes, FreshExtensionGetsTypeDescriptionAndModuleIcon)
{
    RegisterFileType(".spxh1", "SX_H1_FILE", "Spiralix Test Files", "-162");
    EXPECT_EQ("SX_H1_FILE", DefaultValue(".spxh1"));
    EXPECT_EQ("Spiralix Test Files", DefaultValue("SX_H1_FILE"));
    EXPECT_EQ(ModuleIcon("-162"), DefaultValue("SX_H1_FILE\\DefaultIcon"));
    // No open command is written.
    EXPECT_EQ("<missing>", DefaultValue("SX_H1_FILE\\shell\\open\\command"));
    // Registering again (the program's own association) changes nothing.
    RegisterFileType(".spxh1", "SX_H1_FILE", "Spiralix Test Files", "-162");
    EXPECT_EQ("SX_H1_FILE", DefaultValue(".spxh1"));
}

TEST_F(FileTypes, ForeignOwnerKeepsTheExtension)
{
    SetDefault(".spxh1", "Other.Program");
    RegisterFileType(".spxh1", "SX_H1_FILE", "Spiralix Test Files", "-162");
    EXPECT_EQ("Other.Program", DefaultValue(".spxh1"));
    EXPECT_EQ("<missing>", DefaultValue("SX_H1_FILE"));
}

// The program's seven types, with ".par" owned by another program: that
// one stays, the others are the program's.
TEST(FileTypesOfTheProgram, ForeignParStaysOthersAreRegistered)
{
    std::string savedPar = DefaultValue(".par");
    SetDefault(".par", "Foreign.Parameters");
    RegisterFileTypes();
    EXPECT_EQ("Foreign.Parameters", DefaultValue(".par"));
    struct Case {
        const char *extension, *progId, *icon;
    };
    const Case cases[] = {{".scl", "SX_SCL_FILE", "-160"}, {".sfm", "SX_SFM_FILE", "-161"},
                          {".str", "SX_STR_FILE", "-159"}, {".map", "SX_MAP_FILE", "-163"},
                          {".ifs", "SX_IFS_FILE", "-164"}, {".l", "SX_LSYST_FILE", "-165"}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.progId, DefaultValue(c.extension));
        EXPECT_EQ(ModuleIcon(c.icon), DefaultValue(std::string(c.progId) + "\\DefaultIcon"));
    }
    if (savedPar == "<missing>")
        SHDeleteKeyA(HKEY_CLASSES_ROOT, ".par");
    else
        SetDefault(".par", savedPar.c_str());
}

// ------------------------------------------------------------ run state

TEST(RunState, ReadsTheWholeRecordAndMarksTheRun)
{
    PApplication app(GetModuleHandleA(NULL));
    PApplication* saved = g_App;
    g_App = &app;
    char previous[100];
    struct Case {
        const char* stored;
        bool unclean;
    };
    // "Successfully terminated" is 24 bytes: a 20-byte read would lose it
    // and take the clean end for an unclean one.
    const Case cases[] = {{"Running", true}, {"Successfully terminated", false}, {"", false}};
    for (const Case& c : cases) {
        app.SetRegistryString("Properties", "RunState", c.stored);
        EXPECT_EQ(c.unclean, MarkRunStarted(previous)) << c.stored;
        EXPECT_STREQ(c.stored, previous);
        char now[100];
        ASSERT_EQ(0, app.GetRegistryString("Properties", "RunState", now));
        EXPECT_STREQ("Running", now);
    }
    app.SetRegistryString("Properties", "RunState", "Successfully terminated");
    g_App = saved;
}

// ------------------------------------------------------------ folders

std::string TempFolder(const char* name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    return std::string(temp) + name;
}

bool IsFolder(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(DataFolders, FreshMachineGetsTheFolderAndItsSubFolders)
{
    std::string root = TempFolder("spx-h1-data");
    SHFILEOPSTRUCTA op = {};
    std::string from = root + '\0';
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    SHFileOperationA(&op);
    ASSERT_FALSE(IsFolder(root));
    CreateDataFolders(root.c_str());
    for (const char* sub : {"", "\\Fractals", "\\Palettes", "\\Formulas\\Compiler", "\\Presets",
                            "\\Anims", "\\Pictures", "\\Textures"})
        EXPECT_TRUE(IsFolder(root + sub)) << sub;

    // DeleteFolderFiles empties a folder of files and leaves sub-folders.
    std::string file = root + "\\Fractals\\job.dat";
    FILE* f = fopen(file.c_str(), "w");
    ASSERT_NE(nullptr, f);
    fclose(f);
    DeleteFolderFiles((root + "\\Fractals").c_str());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));
    DeleteFolderFiles(root.c_str());
    EXPECT_TRUE(IsFolder(root + "\\Fractals"));
    SHFileOperationA(&op);
}

// ------------------------------------------------------------ loader paths

TEST(CompilerSearchPath, DataFoldersOwnFormulaFolderIsDropped)
{
    struct Case {
        const char *path, *expected;
    };
    const Case cases[] = {
        {"C:\\a;C:\\Data\\Formulas;C:\\b", "C:\\a;C:\\b"},
        {"c:\\data\\FORMULAS;C:\\a;", "C:\\a"},           // case-free, trailing ';' goes
        {"C:\\Data\\Formulas\\Compiler", "C:\\Data\\Formulas\\Compiler"},  // sub-folders stay
        {"C:\\Data\\Formulas", ""},
    };
    for (const Case& c : cases) {
        char list[200];
        strcpy(list, c.path);
        DropOwnFormulaFolder(list, "C:\\Data");
        EXPECT_STREQ(c.expected, list) << c.path;
    }
}

std::vector<std::string> g_Visited;

TEST(CompilerSearchPath, FolderWalkSkipsEmptyPartsAndStopsWhenCancelled)
{
    g_Visited.clear();
    ForEachFolder("C:\\a;;C:\\b;C:\\c", [](const char* folder) {
        g_Visited.push_back(folder);
        if (g_Visited.size() == 2)
            WorkerCancelState = 1;
    });
    WorkerCancelState = 0;
    EXPECT_EQ((std::vector<std::string>{"C:\\a", "C:\\b"}), g_Visited);
}

TEST(ConversionQuestion, NamesTheKindsFoundInAllThreePlaces)
{
    struct Case {
        int fractint, ultraFractal;
        const char* kinds;
    };
    const Case cases[] = {{2, 3, "UltraFractal and FractInt"}, {0, 1, "UltraFractal"}, {4, 0, "FractInt"}};
    for (const Case& c : cases) {
        char text[2000];
        FormatConversionQuestion(c.fractint, c.ultraFractal, text, sizeof(text));
        std::string s = text;
        std::string first = std::string("Spiralix has found ") + c.kinds + " formulas in the compiler";
        EXPECT_EQ(0u, s.find(first)) << s;
        EXPECT_NE(std::string::npos, s.find(std::string("for each ") + c.kinds + " file"));
        EXPECT_NE(std::string::npos, s.find(std::string("add further ") + c.kinds + " formulas"));
        EXPECT_NE(std::string::npos, s.find("choose \"Import formulas\" from the menu"));
    }
}

// ------------------------------------------------------------ message loop

TEST(MessageLoop, LetterIReachesFormulaEditorsOnly)
{
    HWND editor = CreateWindowA("STATIC", "", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ASSERT_NE((HWND)NULL, editor) << GetLastError();
    PTypedObject object;
    struct Case {
        int type;
        WPARAM key;
        UINT message;
        bool bypass;
    };
    const Case cases[] = {{1042, 'I', WM_KEYDOWN, true},  {1042, 'J', WM_KEYDOWN, false},
                          {1042, 'I', WM_KEYUP, false},   {1043, 'I', WM_KEYDOWN, false},
                          {0, 'I', WM_KEYDOWN, false}};
    for (const Case& c : cases) {
        object.typeId = c.type;
        SetWindowLongA(editor, GWL_USERDATA, c.type != 0 ? (LONG)(LONG_PTR)&object : 0);
        MSG msg = {editor, c.message, c.key, 0, 0, {0, 0}};
        EXPECT_EQ(c.bypass, IsFormulaEditorLetterI(msg)) << c.type << " " << (char)c.key;
    }
    DestroyWindow(editor);
}

// ------------------------------------------------------------ splash

TEST(Splash, TrueColourDisplaysGetDialog110OthersDialog111)
{
    const int cases[][2] = {{24, 110}, {16, 111}, {32, 111}, {8, 111}};
    for (const auto& c : cases)
        EXPECT_EQ(c[1], SplashDialog::ResourceForDepth(c[0])) << c[0];
}

// A dialog that has already ended (closed by the user while the loader
// finished) is not waited for.
TEST(Splash, FinishAfterTheDialogEndedReturnsAtOnce)
{
    SplashDialog splash;
    splash.window = NULL;
    splash.MarkEnded();
    DWORD start = GetTickCount();
    splash.Finish();
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ((HWND)NULL, splash.window);
}

// ------------------------------------------------------------ power-off

struct PowerOffRecord {
    DWORD idle = 0;
    bool privilege = true;
    int calls = 0;
    UINT flags = 0;
} g_Power;

TEST(PowerOff, OnlyAfterAMinuteWithoutInputAndWithThePrivilege)
{
    ComputerShutdown saved = g_ComputerShutdown;
    g_ComputerShutdown.millisecondsSinceInput = [] { return g_Power.idle; };
    g_ComputerShutdown.enableShutdownPrivilege = [] { return g_Power.privilege; };
    g_ComputerShutdown.exitWindows = [](UINT flags, DWORD) -> BOOL {
        g_Power.calls++;
        g_Power.flags = flags;
        return TRUE;
    };
    PApplication app(GetModuleHandleA(NULL));
    struct Case {
        DWORD idle;
        bool privilege, result;
    };
    const Case cases[] = {{59999, true, false}, {60000, false, false}, {60000, true, true}};
    for (const Case& c : cases) {
        g_Power.idle = c.idle;
        g_Power.privilege = c.privilege;
        int before = g_Power.calls;
        EXPECT_EQ(c.result, app.ShutdownComputerIfIdle()) << c.idle;
        EXPECT_EQ(c.result ? 1 : 0, g_Power.calls - before);
    }
    EXPECT_EQ((UINT)(EWX_POWEROFF | EWX_FORCEIFHUNG), g_Power.flags);
    g_ComputerShutdown = saved;
}

}  // namespace
