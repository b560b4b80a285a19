// The settings file: values read case-free and clamped, quoted and bare
// font faces, path lists with their first folder, the comment block, keys
// the file does not know, over-long lines; the written file (key order,
// CR LF, the main-window line, the colours, the registry values, the
// result of a save) and that a saved file reads back to the same file.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

#include "calc/task/FractalThread.h"
#include "document/DocumentSettings.h"
#include "document/ParameterTables.h"
#include "files/settings/Settings.h"
#include "foundation/Buffers.h"
#include "files/entry/ParameterFile.h"
#include "foundation/FileUtil.h"
#include "foundation/Messages.h"
#include "formulas/FormulaLoader.h"
#include "tests/formulas/FormulaTestSupport.h"

using formulatest::TempFolder;

namespace {

std::map<std::string, DWORD> g_Registry;
std::vector<std::string> g_Writes;

int GetDword(const char* key, const char* name, DWORD* value)
{
    auto it = g_Registry.find(std::string(key) + "/" + name);
    if (it == g_Registry.end())
        return 1;
    *value = it->second;
    return 0;
}

int SetDword(const char* key, const char* name, DWORD value)
{
    g_Registry[std::string(key) + "/" + name] = value;
    g_Writes.push_back(name);
    return 0;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSettings();
        SetDefaultComment("");
        g_Registry.clear();
        g_Writes.clear();
        g_SettingsRegistry = {&GetDword, &SetDword};
        g_ReadMainWindowSetting = nullptr;
        snprintf(g_SettingsFolder, sizeof g_SettingsFolder, "%s", folder.Path().c_str());
    }
    void TearDown() override
    {
        g_SettingsRegistry = {nullptr, nullptr};
        g_SettingsFolder[0] = 0;
        ResetSettings();
    }

    // Writes the file in text mode (LF becomes CR LF) and loads it.
    void Load(const std::string& text)
    {
        FILE* f = fopen((folder / "Spiralix.cfg").c_str(), "w");
        fputs(text.c_str(), f);
        fclose(f);
        LoadSettings("Spiralix.cfg");
    }

    std::string Saved()
    {
        EXPECT_NE(0, SaveSettings("Spiralix.cfg"));
        std::string bytes;
        ReadWholeFile((folder / "Spiralix.cfg").c_str(), bytes);
        return bytes;
    }

    TempFolder folder;
};

std::string CommentText()
{
    return g_DefaultComment ? static_cast<const char*>(g_DefaultComment->GetData()) : "";
}

// Clamps and switch values: each line read alone from the defaults.
TEST_F(SettingsTest, IntegerValuesAreClampedAsTheirKeySays)
{
    struct Case {
        const char* line;
        int (*value)();
        int expected;
    } cases[] = {
        {"drawingspeed 1", [] { return DrawingSpeed; }, 2},  // lower-case key, clamped up
        {"DrawingSpeed 20000", [] { return DrawingSpeed; }, 10000},
        {"DisplayDepth 16", [] { return g_DisplayDepthSetting; }, 24},
        {"DisplayDepth 10", [] { return g_DisplayDepthSetting; }, 8},
        {"ZoomSpeed 0", [] { return (int)g_ZoomSpeed; }, 0},
        {"ZoomSpeed 200000", [] { return (int)g_ZoomSpeed; }, 100000},
        {"REDRAWONRESIZE 0", [] { return RedrawOnResize; }, 0},
        {"SoundOnFinish 7", [] { return (int)SoundOnFinish; }, 1},  // switches read as 0/1
        {"keyboardZoomRect 4 9 9", [] { return keyboardZoomRect; }, 4},  // the first integer
        {"CNF_End 0", [] { return FractalTypeFlags[CNF_End]; }, 0},
        {"Undosteps 0", [] { return g_UndoSteps; }, 0},
    };
    for (const Case& c : cases) {
        ResetSettings();
        Load(std::string(c.line) + "\n");
        EXPECT_EQ(c.expected, c.value()) << c.line;
    }
}

TEST_F(SettingsTest, FontFacesQuotedKeepBlanksBareAreOneWord)
{
    Load("GUIFont \"MS Sans Serif\" 10 1\nSmallFont Arial 7 0\n");
    EXPECT_STREQ("MS Sans Serif", GUIFont.face);
    EXPECT_EQ(10, GUIFont.points);
    EXPECT_EQ(1, GUIFont.bold);
    EXPECT_STREQ("Arial", SmallFont.face);
    EXPECT_EQ(7, SmallFont.points);

    // A single double quote reads nothing.
    Load("GUIFont \"Broken 12 1\n");
    EXPECT_STREQ("MS Sans Serif", GUIFont.face);
    EXPECT_EQ(10, GUIFont.points);
}

TEST_F(SettingsTest, PathListsKeepTheWholeListAndTheirFirstFolder)
{
    Load("FormulaPath C:\\One Folder;D:\\Two\nCompilerFormulaPath C:\\Comp;C:\\UF\n"
         "PicturePath    C:\\Pictures  x\n");
    EXPECT_STREQ("C:\\One Folder;D:\\Two", FormulaPath);
    EXPECT_STREQ("C:\\One Folder", FormulaFolder);
    ASSERT_TRUE(CompilerFormulaPath != nullptr);
    EXPECT_STREQ("C:\\Comp;C:\\UF", CompilerFormulaPath);
    EXPECT_STREQ("C:\\Comp", CompilerFormulaFolder);
    // Single folders skip the leading blanks and keep inner ones.
    EXPECT_STREQ("C:\\Pictures  x", PicturePath);
}

TEST_F(SettingsTest, CommentBlockReadsBackWithoutItsFinalLineBreak)
{
    Load("DefaultComment\nFirst line\nSecond line\n$$$EndComment$$$\nTipnum 5\n");
    EXPECT_EQ("First line\nSecond line", CommentText());
    EXPECT_EQ(5, Tipnum) << "the line after the block is read again";
}

TEST_F(SettingsTest, OverlongCommentBlockEndsEarly)
{
    std::string block = "DefaultComment\n";
    for (int i = 0; i < 30; i++)
        block += std::string(99, 'a' + i % 26) + "\n";  // 30 lines of 100 characters
    block += "$$$EndComment$$$\n";
    Load(block);
    size_t length = CommentText().size();
    EXPECT_LE(length, (size_t)SETTINGS_COMMENT_SIZE);
    EXPECT_GE(length, (size_t)1800);
}

TEST_F(SettingsTest, UnknownKeysAndOverlongLinesChangeNothingElse)
{
    std::string longKey(5000, 'k');
    Load("NoSuchKey 99\n" + longKey + " 3\nZoomFactor1 7\n\n   \nZoomFactor2 9\n");
    EXPECT_EQ(7, ZoomFactor1);
    EXPECT_EQ(9, ZoomFactor2);
    EXPECT_EQ(10, DrawingSpeed);
}

TEST_F(SettingsTest, MissingFileKeepsSettingsButRegistryIsRead)
{
    g_Registry["Properties/NumberOfOutputMessages"] = 7;
    g_Registry["Properties/SizeApplyToAll"] = 0;
    ZoomFactor1 = 33;
    LoadSettings("NoSuch.cfg");
    EXPECT_EQ(33, ZoomFactor1);
    EXPECT_EQ(7, g_NumberOfOutputMessages);
    EXPECT_EQ(0, SizeApplyToAll) << "a stored 0 is kept";
    EXPECT_EQ(1, g_ProduceCompilerWarnings);
    EXPECT_EQ(1, UseIconsIfThemed);

    g_Registry.clear();
    LoadSettings("NoSuch.cfg");
    EXPECT_EQ(100, g_NumberOfOutputMessages) << "missing value";
    EXPECT_EQ(1, SizeApplyToAll);
}

TEST_F(SettingsTest, SavedFileHasKeysInOrderWithCrLfAndTheRegistryValues)
{
    g_NumberOfOutputMessages = 42;
    g_ProduceCompilerHints = 0;
    g_ReadMainWindowSetting = [](MainWindowSetting* s) { *s = {10, 20, 800, 600, 1}; };
    CustomColors[0] = 0xFF00FF;
    CustomColors[15] = 0x123;
    SetDefaultComment("Line A\nLine B");
    std::string bytes = Saved();

    EXPECT_EQ((std::vector<std::string>{"NumberOfOutputMessages", "ProduceCompilerWarnings", "ProduceCompilerHints"}),
              g_Writes);
    EXPECT_EQ(42u, g_Registry["Properties/NumberOfOutputMessages"]);
    EXPECT_EQ(0u, g_Registry["Properties/ProduceCompilerHints"]);

    EXPECT_EQ(0u, bytes.find("keyboardMouseMove 0\r\nkeyboardMouseWheel 0\r\nkeyboardZoomRect 1\r\n"));
    EXPECT_NE(std::string::npos, bytes.find("\r\nZoomSpeed 50\r\nGUIFont \"Tahoma\" 8 0\r\n"));
    EXPECT_NE(std::string::npos, bytes.find("\r\nSpiralix 10 20 800 600 1\r\nCNF_CvtFormula 1\r\n"));
    EXPECT_NE(std::string::npos, bytes.find("\r\nUndosteps 50\r\nDefaultComment\r\nLine A\r\nLine B\r\n"
                                            "$$$EndComment$$$\r\nCUSTOMCOLORS ff00ff 0 0 0 0 0 0 0 0 0 0 0 0 0 0 123\r\n"));
    EXPECT_EQ(bytes.size() - 2, bytes.find("\r\n", bytes.find("CUSTOMCOLORS"))) << "the colours end the file";
    size_t bareLf = 0;
    for (size_t i = 0; i < bytes.size(); i++)
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            bareLf++;
    EXPECT_EQ(0u, bareLf);
    // Key order of the whole table.
    const char* order[] = {"RedrawOnResize", "AnimatedZoom", "Tipnum",     "DrawingSpeed", "Taskpriority",
                           "SmallFont",      "CNF_End",      "ProjectPath", "Username",     "CompilerFormulaPath",
                           "ExportPath",     "AutoSave"};
    size_t last = 0;
    for (const char* key : order) {
        size_t at = bytes.find(std::string("\n") + key + " ");
        ASSERT_NE(std::string::npos, at) << key;
        EXPECT_GT(at, last) << key;
        last = at;
    }
}

TEST_F(SettingsTest, EmptyCommentWritesNoBlockAndFailedCreateWritesNothing)
{
    std::string bytes = Saved();
    EXPECT_EQ(std::string::npos, bytes.find("DefaultComment"));

    g_Writes.clear();
    snprintf(g_SettingsFolder, sizeof g_SettingsFolder, "%s\\missing\\folder", folder.Path().c_str());
    EXPECT_EQ(0, SaveSettings("Spiralix.cfg"));
    EXPECT_TRUE(g_Writes.empty()) << "no registry value without the file";
}

TEST_F(SettingsTest, SaveLoadSaveGivesTheSameFile)
{
    keyboardMouseWheel = 2;
    RedrawOnMouseWheel = 0;
    DrawingSpeed = 300;
    g_DisplayDepthSetting = 24;
    g_ZoomSpeed = 75;
    snprintf(GUIFont.face, sizeof GUIFont.face, "%s", "Courier New");
    g_MainWindowSetting = {5, 6, 700, 500, 3};
    FractalTypeFlags[CNF_DelPal] = 0;
    snprintf(ProjectPath, sizeof ProjectPath, "%s", "C:\\Fractals;C:\\More Fractals");
    snprintf(g_AuthorName, sizeof g_AuthorName, "%s", "Ann Author");
    SetCompilerFormulaPath("C:\\F\\Compiler;C:\\F\\UF");
    snprintf(AnimPath, sizeof AnimPath, "%s", "C:\\Anims");
    SetDefaultComment("Made by $author$\nOn $date$");
    CustomColors[3] = 0xABCDEF;
    std::string first = Saved();

    ResetSettings();
    SetDefaultComment("");
    ProjectPath[0] = g_AuthorName[0] = AnimPath[0] = 0;
    SetCompilerFormulaPath("");
    LoadSettings("Spiralix.cfg");
    EXPECT_STREQ("C:\\Fractals", ProjectFolder);
    EXPECT_EQ(first, Saved());
}

}  // namespace
