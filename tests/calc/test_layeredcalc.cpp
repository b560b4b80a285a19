// The calculation of layered fractals: every row of two windowless layers
// composed as the hand merge says, the checkerboard without layers and
// black after a recolour, the dirty rows a layer with a bottom offset
// marks (clipped to the parent), the single pending notification, a
// recolour that merges only the dirty rows, and a layered render job that
// composes its ".bits" file from its layers' raw files (rows a file lacks
// leave that layer out, alpha read from the files).
#include <gtest/gtest.h>

#include <memory>
#include <stdio.h>
#include <string>
#include <stdint.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/layers/Compositing.h"
#include "calc/layers/LayeredCalculation.h"
#include "document/EscapetimeParameters.h"
#include "document/Layer.h"
#include "files/renderjob/RenderJob.h"
#include "tests/calc/TaskTestSupport.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

// The parent "has a window": only its presence counts, it is never used.
PFrameWindow* const kSomeWindow = reinterpret_cast<PFrameWindow*>(static_cast<uintptr_t>(16));

class LayeredCalculationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        PrepareDocumentModel();
        BuildMultiplyTable();
    }
    void SetUp() override
    {
        layered.reset(new TestTask(kWidth, kHeight, 24, 24, FT_LAYERED));
        ASSERT_EQ(layered->sized, 0);
        params = static_cast<LayeredParameters*>(layered->fractal->typeParameters);
    }
    void TearDown() override
    {
        for (auto& t : layers) {
            t->fractal->baseFractal = nullptr;
            t->fractal->layer = nullptr;
        }
        while (ListNode* n = params->layers.GetHead()) {
            params->layers.Remove(n);
            delete n;
        }
        layers.clear();
        layered->task->window = nullptr;
    }
    // A layer below the ones added before it: row y of its image is grey
    // greyOfRow(y).
    template <class G>
    Layer* AddLayerBelow(G greyOfRow, int height = kHeight)
    {
        layers.emplace_back(new TestTask(kWidth, height, 24, 24, FT_IMAGE));
        TestTask* t = layers.back().get();
        for (int y = 0; y < height; ++y)
            memset(t->task->imageBits + (size_t)y * t->Stride() * 3, greyOfRow(y), (size_t)t->Stride() * 3);
        Layer* layer = new Layer();
        layer->fractal = t->fractal;
        layer->usesAlpha = 0;
        t->fractal->baseFractal = layered->fractal;
        t->fractal->layer = layer;
        params->layers.Append(layer);
        return layer;
    }
    int Red(int x, int y) const { return layered->Rgb(x, y)[2]; }
    void FillImage(int value)
    {
        memset(layered->task->imageBits, value, (size_t)layered->Stride() * 3 * kHeight);
    }

    static const int kWidth = 16, kHeight = 45;
    std::unique_ptr<TestTask> layered;
    std::vector<std::unique_ptr<TestTask>> layers;
    LayeredParameters* params = nullptr;
};

TEST_F(LayeredCalculationTest, EveryRowIsTheMergeOfTheLayersOwnRows)
{
    Layer* top = AddLayerBelow([](int) { return 40; });
    AddLayerBelow([](int y) { return 4 * y; });
    top->opacity = 50;
    top->leftOffset = 4;
    FillImage(7);
    EXPECT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth - 1, kHeight - 1), 0);
    for (int y = 0; y < kHeight; ++y)
        for (int x : {0, 3, 4, 15}) {
            int want = x < 4 ? 4 * y : (int)(40 * 0.5 + 4 * y * 0.5);
            EXPECT_EQ(Red(x, y), want) << x << "," << y;
            EXPECT_EQ(layered->Rgb(x, y)[0], want);
        }
}

TEST_F(LayeredCalculationTest, WithoutLayersCheckerboardAfterCalculationBlackAfterRecolour)
{
    Layer* hidden = AddLayerBelow([](int) { return 90; });
    hidden->visible = 0;
    EXPECT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth - 1, kHeight - 1), 0);
    for (int y : {0, 7, 8, 44})
        for (int x : {0, 7, 8, 15})
            EXPECT_EQ(Red(x, y), ((x / 8) ^ (y / 8)) & 1 ? 255 : 160) << x << "," << y;
    CompositeLayeredFractal(layered->fractal);
    for (int y : {0, 8, 44})
        EXPECT_EQ(Red(5, y), 0);
}

TEST_F(LayeredCalculationTest, StopCommandEndsTheCompositionWithThree)
{
    AddLayerBelow([](int) { return 90; });
    layered->task->command = FTC_STOP;
    FillImage(7);
    EXPECT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth - 1, kHeight - 1), 3);
    EXPECT_EQ(Red(0, kHeight / 2), 7);
    layered->task->command = FTC_REDRAW3D;   // absorbed
    EXPECT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth - 1, kHeight - 1), 0);
    EXPECT_EQ(layered->task->command, 0);
    EXPECT_EQ(Red(0, kHeight / 2), 90);
}

TEST_F(LayeredCalculationTest, BottomOffsetShiftsTheDirtyRowsAndRecolourMergesOnlyThem)
{
    Layer* layer = AddLayerBelow([](int) { return 90; }, 20);
    layer->bottomOffset = 30;
    layered->task->window = kSomeWindow;
    layered->fractal->pendingLayerNotices = 0;
    Fractal* child = layer->fractal;

    NotifyLayeredParent(child, 0, 9, 0, -1);
    EXPECT_EQ(layered->fractal->pendingLayerNotices, 1);
    NotifyLayeredParent(child, 12, 19, 0, -1);   // parent rows 42..49, clipped at 44
    EXPECT_EQ(layered->fractal->pendingLayerNotices, 1);   // one message pending at a time
    for (int y = 0; y < kHeight; ++y)
        EXPECT_EQ(LayeredRowDirty(layered->fractal, y, false), (y >= 30 && y <= 39) || y >= 42) << y;

    FillImage(7);
    CompositeLayeredFractal(layered->fractal);
    for (int y = 0; y < kHeight; ++y) {
        bool merged = (y >= 30 && y <= 39) || y >= 42;
        EXPECT_EQ(Red(0, y) != 7, merged) << y;
        EXPECT_FALSE(LayeredRowDirty(layered->fractal, y, false)) << y;
    }
    EXPECT_EQ(Red(0, 35), 90);   // layer row 5
    EXPECT_EQ(Red(0, 44), 90);   // layer row 14

    // No parent window, no marks; a fractal that is no layer is ignored.
    layered->task->window = nullptr;
    NotifyLayeredParent(child, 0, 9, 0, -1);
    EXPECT_FALSE(LayeredRowDirty(layered->fractal, 30, false));
    layered->fractal->pendingLayerNotices = 0;
    layered->task->window = kSomeWindow;
    child->layer = nullptr;
    NotifyLayeredParent(child, 0, 9, 0, -1);
    EXPECT_FALSE(LayeredRowDirty(layered->fractal, 30, false));
    EXPECT_EQ(layered->fractal->pendingLayerNotices, 0);
    child->layer = layer;
}

// The raw files of a layered render job and its layers, in the temporary
// folder: the parent "LAYP" and its layer jobs "1_LAYP" (top), "2_LAYP".
class LayeredJobTest : public LayeredCalculationTest {
protected:
    void SetUp() override
    {
        LayeredCalculationTest::SetUp();
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        savedTemp = g_RenderJobTempFolder;
        snprintf(g_RenderJobTempFolder, sizeof g_RenderJobTempFolder, "%sspx_layered_job", folder);
        CreateDirectoryA(g_RenderJobTempFolder, nullptr);
        snprintf(parentJob.id, sizeof parentJob.id, "LAYP");
        snprintf(topJob.id, sizeof topJob.id, "1_LAYP");
        snprintf(bottomJob.id, sizeof bottomJob.id, "2_LAYP");
        // The layers' images are at their output size: no supersampling.
        topJob.SetDepth(0);
        bottomJob.SetDepth(0);
        for (RenderJob* job : {&parentJob, &topJob, &bottomJob})
            for (const char* ext : {"bits", "alpha", "flags"})
                DeleteFileA(Path(*job, ext).c_str());
        layered->fractal->renderJob = &parentJob;
    }
    void TearDown() override
    {
        layered->fractal->renderJob = nullptr;
        for (auto& t : layers)
            t->fractal->renderJob = nullptr;
        snprintf(g_RenderJobTempFolder, sizeof g_RenderJobTempFolder, "%s", savedTemp.c_str());
        LayeredCalculationTest::TearDown();
    }
    static std::string Path(const RenderJob& job, const char* ext)
    {
        char path[260];
        job.RawFilePath(ext, path);
        return path;
    }
    // A layer of the job whose task image is 250 everywhere (never read in
    // a job) and whose raw colour rows are fileGrey(y) for rows 0..rows-1.
    template <class G>
    Layer* AddJobLayerBelow(RenderJob* job, G fileGrey, int rows)
    {
        Layer* layer = AddLayerBelow([](int) { return 250; });
        Fractal* f = layers.back()->fractal;
        f->renderJob = job;
        f->task->calculationState = CS_COMPLETE;
        std::vector<uint8_t> bits((size_t)rows * kWidth * 3);
        for (int y = 0; y < rows; ++y)
            memset(&bits[(size_t)y * kWidth * 3], fileGrey(y), (size_t)kWidth * 3);
        WriteFile(Path(*job, "bits"), bits.data(), bits.size());
        return layer;
    }
    static void WriteFile(const std::string& path, const void* data, size_t size)
    {
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_TRUE(file);
        fwrite(data, 1, size, file);
        fclose(file);
    }
    // The job's own ".bits" file: red of pixel x of row y (bottom-up rows).
    std::vector<uint8_t> Output() const
    {
        std::vector<uint8_t> bytes;
        FILE* file = fopen(Path(parentJob, "bits").c_str(), "rb");
        if (!file)
            return bytes;
        int c;
        while ((c = fgetc(file)) != EOF)
            bytes.push_back((uint8_t)c);
        fclose(file);
        return bytes;
    }
    static int RedAt(const std::vector<uint8_t>& bytes, int x, int y) { return bytes[((size_t)y * kWidth + x) * 3 + 2]; }
    static int Checker(int x, int y) { return ((x / 8) ^ (y / 8)) & 1 ? 255 : 160; }

    RenderJob parentJob, topJob, bottomJob;
    std::string savedTemp;
};

TEST_F(LayeredJobTest, RowsComeFromTheLayerFilesAndARowAFileLacksLeavesThatLayerOut)
{
    // The top layer's file holds only rows 0..9: rows 10.. must not repeat
    // its last row read.
    Layer* top = AddJobLayerBelow(&topJob, [](int) { return 40; }, 10);
    AddJobLayerBelow(&bottomJob, [](int y) { return 4 * y; }, kHeight);
    top->opacity = 50;
    top->leftOffset = 4;
    ASSERT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth, kHeight - 1), 0);
    std::vector<uint8_t> out = Output();
    ASSERT_EQ((size_t)kWidth * kHeight * 3, out.size());
    for (int y = 0; y < kHeight; ++y)
        for (int x : {0, 3, 4, 15}) {
            int want = x < 4 || y >= 10 ? 4 * y : (int)(40 * 0.5 + 4 * y * 0.5);
            EXPECT_EQ(RedAt(out, x, y), want) << x << "," << y;
        }

    // Without its colour file the bottom layer is left out everywhere: the
    // checkerboard shows under the top layer.
    DeleteFileA(Path(bottomJob, "bits").c_str());
    ASSERT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth, kHeight - 1), 0);
    out = Output();
    ASSERT_EQ((size_t)kWidth * kHeight * 3, out.size());
    for (int y : {0, 9, 10, 44})
        for (int x : {0, 4, 12}) {
            int want = x < 4 || y >= 10 ? Checker(x, y) : (int)(40 * 0.5 + Checker(x, y) * 0.5);
            EXPECT_EQ(RedAt(out, x, y), want) << x << "," << y;
        }
}

TEST_F(LayeredJobTest, AlphaComesFromTheLayerFile)
{
    // Alpha 0 lets the layer below through, alpha 1 covers it, in
    // alternate columns; a layer without alpha file is opaque.
    Layer* top = AddJobLayerBelow(&topJob, [](int) { return 40; }, kHeight);
    AddJobLayerBelow(&bottomJob, [](int) { return 100; }, kHeight);
    top->usesAlpha = 1;
    std::vector<float> alpha((size_t)kWidth * kHeight);
    for (size_t i = 0; i < alpha.size(); ++i)
        alpha[i] = i % 2 ? 1.0f : 0.0f;
    WriteFile(Path(topJob, "alpha"), alpha.data(), alpha.size() * 4);
    ASSERT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth, kHeight - 1), 0);
    std::vector<uint8_t> out = Output();
    ASSERT_EQ((size_t)kWidth * kHeight * 3, out.size());
    for (int y : {0, 20})
        for (int x : {0, 1, 6, 7})
            EXPECT_EQ(RedAt(out, x, y), x % 2 ? 40 : 100) << x << "," << y;

    DeleteFileA(Path(topJob, "alpha").c_str());
    ASSERT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth, kHeight - 1), 0);
    out = Output();
    ASSERT_EQ((size_t)kWidth * kHeight * 3, out.size());
    EXPECT_EQ(RedAt(out, 0, 0), 40);
}

// A job composes only once every layer has stored its rows; a command
// that arrives first ends the wait with 3 and no file.
TEST_F(LayeredJobTest, JobWhoseLayersAreNotStoredWritesNothing)
{
    AddJobLayerBelow(&topJob, [](int) { return 40; }, kHeight);
    layers.back()->task->calculationState = CS_IMAGE_DONE;
    layered->task->command = FTC_STOP;
    EXPECT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth, kHeight - 1), 3);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Path(parentJob, "bits").c_str()));
    layered->task->command = 0;
}

}  // namespace
