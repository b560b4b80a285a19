// The window side of the shared fractal operations: a resize clamps to the
// virtual screen (unless scroll bars), keeps at least 112 x 50 while the
// fractal has a calculation and gives the window the new client size;
// layer references are counted once per layered fractal, and only the open
// ones on request; a duplicate becomes the current fractal of the folder.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/FractalWindowOps.h"
#include "calc/FractalTask.h"
#include "calc/task/TaskBuffers.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Layers.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"

namespace {

// A windowed fractal with a task and no thread.
struct WindowedFractal {
    explicit WindowedFractal(int width, int height, bool withTask = true, bool withWindow = true)
    {
        fractal = new Fractal(FT_PLASMA, 0);
        fractal->header->Width = width;
        fractal->header->Height = height;
        if (withTask) {
            task = new FractalTask();
            task->fractal = fractal;
            fractal->task = task;
            SetTaskImageSize(fractal, width, height);
        }
        if (withWindow && task) {
            window = new PFrameWindow("fractal", 680, WT_TOOL, true, false, 0, 0, width + 20, height + 40, true, false);
            task->window = window;
        }
    }
    ~WindowedFractal()
    {
        if (task) {
            FreeTaskBuffers(fractal, 1);
            fractal->task = nullptr;
            task->window = nullptr;
            delete task;
        }
        delete window;
        delete fractal;
    }
    Fractal* fractal = nullptr;
    FractalTask* task = nullptr;
    PFrameWindow* window = nullptr;
};

class FractalWindowOpsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        StartToolkitOnce();
        PrepareDocumentEngine();
        g_Toolkit.mainFrame = new PFrameWindow("main", WID_MAIN, WT_MAIN, true, false, 0, 0, 640, 480, true, false);
    }
    static void TearDownTestSuite()
    {
        delete g_Toolkit.mainFrame;
        g_Toolkit.mainFrame = nullptr;
    }
    void SetUp() override
    {
        savedWidth = g_Toolkit.virtualScreenWidth;
        savedHeight = g_Toolkit.virtualScreenHeight;
        g_Toolkit.virtualScreenWidth = 300;
        g_Toolkit.virtualScreenHeight = 200;
    }
    void TearDown() override
    {
        g_Toolkit.virtualScreenWidth = savedWidth;
        g_Toolkit.virtualScreenHeight = savedHeight;
    }
    HandlerRecorder recorder;
    int savedWidth = 0, savedHeight = 0;
};

TEST_F(FractalWindowOpsTest, ResizeClampsAndTheWindowFollows)
{
    struct Case {
        const char* what;
        bool task, window, scrollbars;
        int width, height;      // asked for
        int expectW, expectH;   // image size after
    } cases[] = {
        {"open window, too small", true, true, false, 50, 20, 112, 50},
        {"task without window, too small", true, false, false, 50, 20, 112, 50},
        {"no calculation: any size", false, false, false, 50, 20, 50, 20},
        {"beyond the virtual screen", true, true, false, 400, 300, 300, 200},
        {"scroll bars: not clamped", true, true, true, 400, 300, 400, 300},
    };
    for (const Case& c : cases) {
        WindowedFractal w(160, 120, c.task, c.window);
        w.fractal->header->Scrollbar = c.scrollbars;
        EXPECT_EQ(0, ResizeFractalWindow(w.fractal, c.width, c.height, 0, 1)) << c.what;
        EXPECT_EQ(c.expectW, w.fractal->header->Width) << c.what;
        EXPECT_EQ(c.expectH, w.fractal->header->Height) << c.what;
        if (w.window && !c.scrollbars) {
            int cw = 0, ch = 0;
            w.window->GetSize(&cw, &ch, true);
            EXPECT_EQ(c.expectW, cw) << c.what;
            EXPECT_EQ(c.expectH, ch) << c.what;
        }
    }
    Fractal image(FT_IMAGE, 0);
    EXPECT_EQ(-1, ResizeFractalWindow(&image, 100, 100, 0, 1));
    EXPECT_EQ(-1, ResizeFractalWindow(nullptr, 100, 100, 0, 1));
}

TEST_F(FractalWindowOpsTest, LayerReferencesCountEachLayeredFractalOnce)
{
    FractalFolder* folder = new FractalFolder("C:\\Test", "Refs.par", FOLDER_PARAMETERS, true, false);
    Fractal* layered = new Fractal(FT_LAYERED, 0);
    Fractal* other = new Fractal(FT_LAYERED, 0);
    Fractal* layer = new Fractal(FT_PLASMA, 0);
    folder->AddFractal(layered, false);
    folder->AddFractal(other, false);
    ASSERT_TRUE(AddLayer(layered, layer, true, false) != nullptr);
    EXPECT_EQ(1, CountLayerReferences(layer, false));
    EXPECT_EQ(0, CountLayerReferences(layer, true)) << "no window is open";
    EXPECT_EQ(0, CountLayerReferences(other, false));

    FractalTask task;
    PFrameWindow window("layered", 680, WT_TOOL, true, false, 0, 0, 100, 100, false, false);
    task.window = &window;
    layered->task = &task;
    EXPECT_EQ(1, CountLayerReferences(layer, true));
    layered->task = nullptr;
    task.window = nullptr;
    DeleteFolder(folder, false, false);
}

TEST_F(FractalWindowOpsTest, DuplicateBecomesCurrentInTheFolderForNewFractals)
{
    FractalFolder* folder = new FractalFolder("C:\\Test", "Dup.par", FOLDER_PARAMETERS, true, false);
    Fractal* source = new Fractal(FT_PLASMA, 0);
    source->SetName("Clouds");
    source->header->Width = 321;
    folder->AddFractal(source, false);
    FractalFolder* savedCurrent = CurrentFolder;
    CurrentFolder = folder;
    Fractal* copy = DuplicateFractal(source);
    ASSERT_TRUE(copy != nullptr);
    EXPECT_NE(source, copy);
    EXPECT_EQ(folder, copy->folder);
    EXPECT_EQ(copy, folder->currentFractal);
    EXPECT_EQ(321, copy->header->Width);
    EXPECT_STRNE("Clouds", copy->name) << "the name is made unique";
    EXPECT_EQ(2, folder->fractals.Count());
    DeleteFolder(folder, false, false);
    CurrentFolder = savedCurrent;
}

}  // namespace
