// Task buffer sizing: what each type and depth gets (attractor margin and
// scale, the planes of each attractor mode, the shadow image of 24-bit
// images on 8-bit screens, the black 8-bit image), sizes from parameter
// files that are negative, overflow or are too large (result 1, no buffer
// left, never a short one), the size and depth changes of an open
// fractal, the 3D buffers, snapshots and markers.
#include <gtest/gtest.h>

#include <limits.h>

#include <vector>

#include "calc/ImageSnapshot.h"
#include "calc/task/Plot.h"
#include "document/QuaternionParameters.h"
#include "tests/calc/TaskTestSupport.h"

namespace {

bool AllBuffersFreed(const FractalTask* task)
{
    if (task->values || task->flags || task->imageBits || task->shadowBits || task->image3D ||
        task->image3D8 || task->heights)
        return false;
    for (int i = 0; i < 9; i++)
        if (task->ditherRows[i])
            return false;
    for (int i = 0; i < 6; i++)
        if (task->work3D[i])
            return false;
    for (const Array2D& plane : task->arrays)
        if (plane.IsAllocated())
            return false;
    return true;
}

TEST(SetTaskImageSize, EachTypeAndDepthGetsItsBuffers)
{
    struct Case {
        const char* what;
        int type, bits, screen;
        bool shadow, plane0, plane1, plane8, fourPlanes, oldz;
    } cases[] = {
        { "8-bit image", FT_IMAGE, 8, 24, false, false, false, false, false, false },
        { "24-bit on a 24-bit screen", FT_ESCAPETIME, 24, 24, false, false, false, false, false, false },
        { "24-bit on an 8-bit screen", FT_ESCAPETIME, 24, 8, true, false, false, false, false, false },
        { "8-bit on an 8-bit screen", FT_IMAGE, 8, 8, false, false, false, false, false, false },
        { "quaternion", FT_QUATERNION, 24, 24, false, true, false, false, false, true },
        { "attractor", FT_ATTRACTOR, 24, 24, false, true, true, true, false, true },
    };
    const int w = 10, h = 6;
    for (const Case& c : cases) {
        TestTask t(w, h, c.bits, c.screen, c.type);
        ASSERT_EQ(0, t.sized) << c.what;
        FractalTask* task = t.task;
        EXPECT_EQ(w, t.fractal->header->Width);
        EXPECT_EQ(h, t.fractal->header->Height);
        EXPECT_NE(nullptr, task->values) << c.what;
        EXPECT_NE(nullptr, task->flags) << c.what;
        ASSERT_NE(nullptr, task->imageBits) << c.what;
        EXPECT_EQ(c.shadow, task->shadowBits != nullptr) << c.what;
        EXPECT_EQ(c.plane0, task->plane0->IsAllocated()) << c.what;
        EXPECT_EQ(c.plane1, task->plane1->IsAllocated()) << c.what;
        EXPECT_EQ(c.plane8, task->plane8->IsAllocated()) << c.what;
        EXPECT_EQ(c.fourPlanes, task->planes[3]->IsAllocated()) << c.what;
        EXPECT_EQ(c.oldz, task->oldz->IsAllocated()) << c.what;
        for (int i = 0; i < 9; i++)
            EXPECT_NE(nullptr, task->ditherRows[i]) << c.what;
        for (int i = 0; i < 6; i++)
            EXPECT_NE(nullptr, task->work3D[i]) << c.what;
        if (c.bits == 8)
            for (int i = 0; i < t.Stride() * h; i++)
                ASSERT_EQ(252, task->imageBits[i]) << c.what << ": a new 8-bit image is black";
        if (c.oldz) {
            EXPECT_EQ(w + 1, task->oldz->width);
            EXPECT_EQ(h, task->oldz->height);
        }
    }
}

TEST(SetTaskImageSize, AttractorsGetMarginAndScaleAndTheirModesPlanes)
{
    struct Case {
        int oversample, renderMode;
        bool fourPlanes;
    } cases[] = { { 0, 0, false }, { 1, 1, true }, { 2, 2, true }, { 0, 3, false } };
    const int w = 10, h = 6;
    for (const Case& c : cases) {
        ScreenDepth = 24;
        TestTask t(1, 1, 24, 24, FT_ATTRACTOR);
        auto* block = static_cast<AttractorParameters*>(t.fractal->typeParameters);
        ASSERT_NE(nullptr, block);
        block->Oversample = c.oversample;
        block->RenderMode = c.renderMode;
        ASSERT_EQ(0, SetTaskImageSize(t.fractal, w, h));
        int k = c.oversample + 1;
        EXPECT_EQ(k * (w + 1) + 40, t.task->plane0->width) << "oversample " << c.oversample;
        EXPECT_EQ(k * h + 40, t.task->plane0->height) << "oversample " << c.oversample;
        EXPECT_EQ(t.task->plane0->width, t.task->plane8->width);
        EXPECT_EQ(c.fourPlanes, t.task->planes[0]->IsAllocated()) << "mode " << c.renderMode;
        EXPECT_EQ(c.fourPlanes, t.task->planes[3]->IsAllocated()) << "mode " << c.renderMode;
        // The last value cell of the scaled grid is writable.
        t.task->values[(size_t)(k * (w + 1) + 40) * (k * h + 40) - 1] = 1.0f;
    }
}

// Sizes from a parameter file: each must fail whole, leaving no buffer.
TEST(SetTaskImageSize, UnusableSizesFailWithoutAnyBuffer)
{
    struct Case {
        const char* what;
        int type, width, height, bits, oversample;
    } cases[] = {
        { "negative width", FT_ESCAPETIME, -5, 10, 24, 0 },
        { "negative height", FT_ESCAPETIME, 10, -1, 8, 0 },
        { "zero height", FT_ESCAPETIME, 10, 0, 8, 0 },
        { "cells wrap to 2^18 in 32 bits", FT_ESCAPETIME, 65535, 65536, 8, 0 },
        { "24-bit image past 2 GB", FT_IMAGE, 30000, 30000, 24, 0 },
        { "largest width", FT_IMAGE, INT_MAX, 1, 8, 0 },
        { "attractor scale overflows", FT_ATTRACTOR, 100, 100, 24, 1000000 },
    };
    for (const Case& c : cases) {
        TestTask t(4, 4, c.bits, 24, c.type);
        ASSERT_EQ(0, t.sized);
        if (c.type == FT_ATTRACTOR)
            static_cast<AttractorParameters*>(t.fractal->typeParameters)->Oversample = c.oversample;
        EXPECT_EQ(1, SetTaskImageSize(t.fractal, c.width, c.height)) << c.what;
        EXPECT_TRUE(AllBuffersFreed(t.task)) << c.what;
    }
}

TEST(SetSize, ReplacesBuffersKeepsThemForTheSameSizeAndFreesThemForZero)
{
    TestTask t(8, 5, 8);
    ASSERT_EQ(0, t.sized);
    int savedWidth = g_DefaultImageWidth, savedHeight = g_DefaultImageHeight;

    unsigned char* image = t.task->imageBits;
    EXPECT_EQ(0, t.fractal->SetSize(8, 5, 1, 1));
    EXPECT_EQ(image, t.task->imageBits) << "the same size keeps its buffers";

    EXPECT_EQ(0, t.fractal->SetSize(13, 7, 1, 0));
    EXPECT_EQ(13, t.fractal->header->Width);
    EXPECT_EQ(7, t.fractal->header->Height);
    ASSERT_NE(nullptr, t.task->imageBits);
    EXPECT_EQ(252, t.task->imageBits[16 * 7 - 1]) << "the new image is whole and black";
    EXPECT_EQ(savedWidth, g_DefaultImageWidth) << "keepDefault leaves the default";

    EXPECT_EQ(0, t.fractal->SetSize(21, 3, 0, 0));
    EXPECT_EQ(21, g_DefaultImageWidth);
    EXPECT_EQ(3, g_DefaultImageHeight);
    EXPECT_EQ(0, t.fractal->SetSize(0, 3, 1, 0));
    EXPECT_TRUE(AllBuffersFreed(t.task));
    // Back to the size it had: buffers again (the zero size was kept).
    EXPECT_EQ(0, t.fractal->SetSize(21, 3, 1, 0));
    EXPECT_NE(nullptr, t.task->imageBits);
    EXPECT_EQ(1, t.fractal->SetSize(70000, 70000, 1, 0));
    EXPECT_TRUE(AllBuffersFreed(t.task));
    g_DefaultImageWidth = savedWidth;
    g_DefaultImageHeight = savedHeight;
}

TEST(SetSize, ResizesTheThreeBitmapHeaders)
{
    TestTask t(8, 5, 24);
    InitTaskBitmapHeader(&t.task->dib, 12, 5, 1, 24);
    InitTaskBitmapHeader(&t.task->dib8, 12, 5, 1, 8);
    InitTaskBitmapHeader(&t.task->dib3D, 12, 5, 1, 8);
    ASSERT_EQ(0, t.fractal->SetSize(30, 9, 1, 0));
    for (const TaskBitmapInfo* info : { &t.task->dib, &t.task->dib8, &t.task->dib3D }) {
        EXPECT_EQ(32, info->header.biWidth);
        EXPECT_EQ(9, info->header.biHeight);
        EXPECT_EQ((DWORD)(((32 * info->header.biBitCount + 31) / 32) * 4 * 9), info->header.biSizeImage);
    }
}

TEST(SetColorDepth, ReplacesOnlyTheImage)
{
    struct Case {
        int from, to, screen;
        bool dither, shadow;
    } cases[] = { { 8, 24, 8, true, true }, { 8, 24, 24, false, false }, { 24, 8, 8, false, false } };
    for (const Case& c : cases) {
        TestTask t(6, 4, c.from, c.screen);
        ASSERT_EQ(0, t.sized);
        float* values = t.task->values;
        t.fractal->SetColorDepth(c.to);
        EXPECT_EQ(c.to, t.fractal->header->DisplayDepth);
        EXPECT_EQ(c.dither, t.fractal->dither != 0);
        EXPECT_EQ(c.shadow, t.task->shadowBits != nullptr);
        EXPECT_EQ(c.to, t.task->dib.header.biBitCount);
        EXPECT_EQ(values, t.task->values) << "the values stay";
        ASSERT_NE(nullptr, t.task->imageBits);
        // The new image has room for its depth.
        t.task->imageBits[(size_t)t.Stride() * 4 * (c.to / 8) - 1] = 1;
    }
}

TEST(Allocate3DBuffers, MakesTheSoftware3DImagesOnlyWithThe3DFlag)
{
    for (int screen : { 8, 24 }) {
        TestTask t(6, 4, 24, screen, FT_ESCAPETIME);
        ASSERT_EQ(0, t.sized);
        EXPECT_EQ(nullptr, t.task->image3D) << "no 3D flag";
        t.fractal->header->Dims = 1;
        t.task->heightsValid = 1;
        ASSERT_EQ(0, Allocate3DBuffers(t.fractal, 6, 4));
        EXPECT_EQ(0, t.task->heightsValid);
        EXPECT_NE(nullptr, t.task->image3D);
        EXPECT_NE(nullptr, t.task->heights);
        EXPECT_EQ(screen == 8, t.task->image3D8 != nullptr);
        EXPECT_EQ(6, t.task->size3DWidth);
        EXPECT_EQ(4, t.task->size3DHeight);
    }
}

std::vector<RECT> g_invalidated;

TEST(Markers, ClearingInvalidatesEachSetMarkerAndForgetsAll)
{
    g_PlotWindow.invalidate = [](Fractal*, const RECT* r) { g_invalidated.push_back(*r); };
    g_invalidated.clear();
    TestTask t(40, 30, 8);
    t.task->markerX[0] = 10;
    t.task->markerY[0] = 12;
    t.task->markerX[2] = 3;   // reaches past the left and top edges
    t.task->markerY[2] = 2;
    t.task->markerCount = 2;
    t.task->ClearMarkers();
    ASSERT_EQ(2u, g_invalidated.size());
    EXPECT_EQ(5, g_invalidated[0].left);
    EXPECT_EQ(7, g_invalidated[0].top);
    EXPECT_EQ(15, g_invalidated[0].right);
    EXPECT_EQ(17, g_invalidated[0].bottom);
    EXPECT_EQ(0, g_invalidated[1].left);
    EXPECT_EQ(0, g_invalidated[1].top);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(-10000, t.task->markerX[i]);
    EXPECT_EQ(0, t.task->markerCount);
    g_PlotWindow.invalidate = nullptr;
}

TEST(Snapshot, CopiesTheImageAndClearsTheValues)
{
    TestTask t(5, 3, 24);
    t.SetRgb(4, 2, 1, 2, 3);
    t.task->values[0] = 7.0f;
    t.fractal->TakeImageSnapshot();
    ASSERT_NE(nullptr, t.task->snapshot);
    ASSERT_NE(nullptr, t.task->snapshot->data);
    EXPECT_EQ(0, memcmp(t.task->snapshot->data, t.task->imageBits, (size_t)t.Stride() * 3 * 3));
    EXPECT_EQ(0.0f, t.task->values[0]);
    delete t.task->snapshot;
    t.task->snapshot = nullptr;
}

}  // namespace
