// The general load command's dispatch by the first file's extension (case
// ignored, the length rules of ".l" and the four-letter extensions), its
// boxes, the image hand-over, and the stop state it leaves for the next
// load. The parameter-file road with its worker is in
// test_loadcommands_worker.cpp.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/LoadCommands.h"
#include "fractals/ifs/IfsFormula.h"
#include "foundation/FileUtil.h"
#include "tests/formulas/FormulaTestSupport.h"
#include "tests/support/ScriptedBoxes.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"

using formulatest::TempFolder;

namespace {

const char kUnknown[] =
    "You chose a file, whose extension is unknown to Spiralix.\nThis load requester can load files having the "
    "following extensions:\n  *.par\n  *.frm\n  *.png\n  *.map\n  *.ugr\n\nIf you want to load your files, "
    "choose the appropriate command from the menu...";

// What the scripted requester answers: a folder and its chosen names, as
// the common dialog leaves a several-file choice; empty = cancelled.
std::string g_choice;
std::vector<std::string> g_images;

BOOL Choose(OPENFILENAMEA* request, bool)
{
    if (g_choice.empty())
        return FALSE;
    memcpy(request->lpstrFile, g_choice.data(), g_choice.size());
    return TRUE;
}

std::string Choice(const std::string& folder, std::vector<std::string> names)
{
    std::string result = folder + '\0';
    for (const std::string& n : names)
        result += n + '\0';
    return result + '\0';
}

class GeneralLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = SetFileRequesterRunner(&Choose);
        g_images.clear();
        g_GeneralLoadHooks.loadFractalImage = [](const char* path, const char* name) {
            g_images.push_back(std::string(path) + "|" + name + "|" + std::to_string(WorkerCancelState));
            return 1;
        };
    }
    void TearDown() override
    {
        SetFileRequesterRunner(previous);
        g_GeneralLoadHooks = GeneralLoadHooks{};
        g_choice.clear();
    }
    FileRequesterRunner previous;
    TempFolder temp;
};

// Only the first name decides; the rules on name length keep ".l" and
// ".map" alone from counting as extensions.
TEST_F(GeneralLoad, UnknownExtensionsShowTheListAndResetTheStopState)
{
    const char* names[] = {"x.frm", ".l", ".map", "picture.gif", "noextension"};
    for (const char* name : names) {
        ScriptedBoxes boxes;
        g_choice = Choice(temp.Path(), {name, "b.par"});
        EXPECT_EQ(1, LoadFileByExtension()) << name;
        ASSERT_EQ(1u, boxes.Count()) << name;
        EXPECT_EQ("Load...", boxes.Shown()[0].title);
        EXPECT_EQ(kUnknown, boxes.Shown()[0].text);
        EXPECT_EQ(MB_STYLE_INFO, boxes.Shown()[0].style);
        // Left at 2, the next parameter load would read this requester's files.
        EXPECT_EQ(0, WorkerCancelState) << name;
    }
}

TEST_F(GeneralLoad, CancelAndEmptyChoice)
{
    ScriptedBoxes boxes;
    g_choice.clear();
    EXPECT_EQ(0, LoadFileByExtension());
    EXPECT_EQ(0u, boxes.Count());
    g_choice = std::string("\0\0", 2);  // confirmed without a name
    EXPECT_EQ(1, LoadFileByExtension());
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("Nothing selected", boxes.Shown()[0].text);
}

// An image is handed over with its path and file name (only the first
// one), after the stop state was cleared for the image's own worker.
TEST_F(GeneralLoad, ImagesGoToTheImageLoader)
{
    g_choice = Choice("C:\\Pics", {"Spiral.PNG", "other.png"});
    EXPECT_EQ(1, LoadFileByExtension());
    EXPECT_EQ(std::vector<std::string>{"C:\\Pics\\Spiral.PNG|Spiral.PNG|0"}, g_images);
    EXPECT_STREQ("C:\\Pics", g_FileRequesters[FR_GENERAL_LOAD].initialDir) << "the folder is remembered";
}

// IFS files are recognised without regard to case; every chosen file is
// loaded, whatever its own extension.
TEST_F(GeneralLoad, IfsFilesLoadEveryChosenFile)
{
    FILE* f = fopen((temp / "Fern.IFS").c_str(), "w");
    fputs("GeneralFern {\n 0 0 0 0.16 0 0 0.01\n 0.85 0.04 -0.04 0.85 0 1.6 0.85\n}\n", f);
    fclose(f);
    f = fopen((temp / "more.txt").c_str(), "w");
    fputs("GeneralMore {\n 0.5 0 0 0.5 0 0 1\n}\n", f);
    fclose(f);
    g_choice = Choice(temp.Path(), {"Fern.IFS", "more.txt"});
    ScriptedBoxes boxes;
    EXPECT_EQ(1, LoadFileByExtension());
    EXPECT_EQ(0u, boxes.Count());
    EXPECT_TRUE(FindIfsFormula("GeneralFern") != nullptr);
    EXPECT_TRUE(FindIfsFormula("GeneralMore") != nullptr);
    EXPECT_EQ(0, WorkerCancelState);
}

}  // namespace
