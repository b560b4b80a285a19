// The attractor composition with pixel workers gives the same image and
// opacity cells as on the calling thread alone, in every render mode. The
// workers are threads (new Thread( in StartAttractorPixelWorkers), so the
// file runs with the threaded tests.
#include <gtest/gtest.h>
#include <string.h>

#include "AttractorComposeFixture.h"

namespace {

// Planes with a little of everything: densities from 0 to 60, colour sums,
// depths on a tilted plane, so that every branch of every mode is taken.
void FillPlanes(ComposeFixture& f) {
    f.record.ownColours = 0;
    // A palette ramp, so that index colours differ from cell to cell.
    f.block->Transfer = 1;
    for (int i = 0; i < 256; ++i)
        f.task->dib.colors[i] = RGBQUAD{(BYTE)i, (BYTE)(255 - i), (BYTE)(i * 7), 0};
    const double observer[3] = {0, 0, 0}, viewpoint[3] = {0, 0, 1}, top[3] = {0, 1, 0};
    f.record.viewRect = ViewRect{8, 20, 16, 40};
    SetupProjection(16, 40, f.record.viewRect, observer, viewpoint, top, 30, &f.record.projection);
    f.block->lights.enabled[0] = 1;
    f.block->Roughness = 0.05;
    f.record.pointCount = 1000;
    unsigned seed = 12345;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 16; ++x) {
            seed = seed * 1103515245u + 12345u;
            int v = (seed >> 16) % 61;
            f.Density(x, y) = (float)v;
            f.Depth(x, y) = v ? 4.0f + 0.01f * x + 0.02f * y : 0.0f;
            f.Sum(0, x, y) = (float)(v * 3 % 7);
            f.Sum(1, x, y) = (float)(v % 5);
            f.Sum(2, x, y) = (float)(v % 3);
            f.Sum(3, x, y) = (float)(v / 4);
            ((float*)f.task->plane0->data)[f.Cell(x, y)] = v / 60.0f;
        }
}

}  // namespace

TEST(AttractorCompositionWorkers, SameBytesWithAndWithoutWorkers) {
    for (int mode = ARM_GAS; mode <= ARM_SOLID; ++mode) {
        ComposeFixture alone(16, 40, mode), shared(16, 40, mode);
        FillPlanes(alone);
        FillPlanes(shared);
        alone.Compose();
        shared.record.workerCount = 3;
        ASSERT_TRUE(StartAttractorPixelWorkers(shared.fractal, 3, &shared.record));
        shared.Compose(shared.task->rowWorkers);
        StopAttractorPixelWorkers(shared.fractal, 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(shared.task->rowWorkers[i].thread, nullptr);
        size_t imageBytes = (size_t)alone.stride * 40 * 3;
        EXPECT_EQ(memcmp(alone.task->imageBits, shared.task->imageBits, imageBytes), 0) << "mode " << mode;
        EXPECT_EQ(memcmp(alone.task->oldz->data, shared.task->oldz->data, 16 * 40 * 4), 0) << "mode " << mode;
        // Not all background: the planes did reach the image.
        int coloured = 0;
        for (int x = 0; x < 16; ++x)
            coloured += alone.Opacity(x, 10) != 0;
        EXPECT_GT(coloured, 0) << "mode " << mode;
    }
}
