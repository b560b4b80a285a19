// Closing the main frame: the exit question comes only for unsaved work
// outside the render-job folder, only with the confirmation option on, and
// No keeps the program running (no quit message is posted).
#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/Shutdown.h"
#include "document/ParameterTables.h"
#include "tests/document/FolderTestSupport.h"
#include "tests/support/ScriptedBoxes.h"
#include "ui/FrameWindow.h"

namespace {

bool TakeQuitMessage()
{
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        quit = quit || msg.message == WM_QUIT;
    return quit;
}

class ExitQuestion : public FolderFixture {
protected:
    void SetUp() override
    {
        FolderFixture::SetUp();
        saved_ = g_App;
        g_App = &app_;
        frame_.windowId = WID_MAIN;
        savedOption_ = FractalTypeFlags[CNF_End];
        TakeQuitMessage();
    }
    void TearDown() override
    {
        FractalTypeFlags[CNF_End] = savedOption_;
        g_App = saved_;
        FolderFixture::TearDown();
    }
    // A folder of the given name, marked modified or not, with or without
    // a fractal.
    void AddFolder(const char* name, bool modified, bool withFractal)
    {
        FractalFolder* folder = NewFolder(name);
        if (withFractal)
            folder->AddFractal(Named("f"), false);
        folder->int2 = modified ? 1 : 0;
    }

    PApplication app_{GetModuleHandleA(NULL)};
    PApplication* saved_ = nullptr;
    PFrameWindow frame_;
    int savedOption_ = 0;
};

TEST_F(ExitQuestion, AskedOnlyForUnsavedFractalsOutsideRenderJobs)
{
    struct Case {
        const char* what;
        const char* folder;
        bool modified, withFractal;
        int option;
        bool unsaved, asks;
    };
    const Case cases[] = {
        {"nothing modified", "a.par", false, true, 1, false, false},
        {"only the render-job folder", "RenderJobs.par", true, true, 1, false, false},
        {"modified but empty", "a.par", true, false, 1, false, false},
        {"option off", "a.par", true, true, 0, true, false},
        {"unsaved fractal", "a.par", true, true, 1, true, true},
    };
    for (const Case& c : cases) {
        AddFolder(c.folder, c.modified, c.withFractal);
        FractalTypeFlags[CNF_End] = c.option;
        EXPECT_EQ(c.unsaved, HasUnsavedChanges()) << c.what;
        ScriptedBoxes boxes(IDYES);
        ConfirmWindowClose(&frame_);
        EXPECT_EQ(c.asks ? 1u : 0u, boxes.Count()) << c.what;
        EXPECT_TRUE(TakeQuitMessage()) << c.what;
        while (ListNode* head = FolderList.GetHead())
            DeleteFolder(static_cast<FractalFolder*>(head), false, false);
    }
}

TEST_F(ExitQuestion, NoKeepsTheProgramRunningYesEndsIt)
{
    AddFolder("RenderJobs.par", true, true);
    AddFolder("work.par", true, true);
    FractalTypeFlags[CNF_End] = 1;
    ScriptedBoxes boxes;
    boxes.Answer(IDNO);
    boxes.Answer(IDYES);
    ConfirmWindowClose(&frame_);
    EXPECT_FALSE(TakeQuitMessage());
    ConfirmWindowClose(&frame_);
    EXPECT_TRUE(TakeQuitMessage());
    ASSERT_EQ(2u, boxes.Count());
    ShownBox box = boxes.Shown()[0];
    EXPECT_EQ(0x2024u, box.style);
    EXPECT_EQ("Unsaved changes", box.title);
    EXPECT_EQ("There are unsaved changes. If you exit now, all unsaved changes will be lost!\n"
              "Are you sure you want to exit Spiralix?",
              box.text);
}

}  // namespace
