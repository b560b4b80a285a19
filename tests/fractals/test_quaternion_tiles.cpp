// The tile schedule of a quaternion calculation: the layout of tiles and
// segments, the order of rows from the middle out, which tile may be
// marched next, the hand-over of a tile, and the clearing of opacity cells
// at surface edges.
#include <gtest/gtest.h>

#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"
#include "fractals/quaternion/QuaternionMarch.h"
#include "fractals/quaternion/QuaternionRun.h"
#include "fractals/quaternion/QuaternionTiles.h"

namespace {

// A windowless quaternion of the given size and a run over all of it.
struct TileRun {
    Fractal* fractal;
    FractalTask* task;
    QuaternionRun run;
    TileRun(int width, int height, int workers)
    {
        fractal = new Fractal(FT_QUATERNION, 0);
        fractal->header->Width = width;
        fractal->header->Height = height;
        task = AttachBareTask(fractal);
        task->rowWorkBuffer = new GrowBuffer(1000);
        memset(&run, 0, sizeof run);
        run.fractal = fractal;
        run.task = task;
        run.workerCount = workers;
        run.width = width;
        run.height = height;
        run.left = 0;
        run.right = width;   // the buffer is one column wider than the image
        run.top = 0;
        run.bottom = height - 1;
    }
    ~TileRun()
    {
        FreeTileSchedule(&run);
        delete task->rowWorkBuffer;
        task->rowWorkBuffer = nullptr;
        FreeBareTask(fractal);
        delete fractal;
    }
    float* Depth() { return static_cast<float*>(task->plane0->data); }
};

}  // namespace

// P = (workers + 1) / 2 tiles per row and T = (W + P) / P columns per segment.
TEST(QuaternionTiles, LayoutOfTilesAndSegments)
{
    struct { int workers, columns, P, T; } cases[] = {
        {8, 641, 4, 161},
        {1, 641, 1, 642},
        {2, 641, 1, 642},
        {3, 100, 2, 51},
        {32, 641, 16, 41},
    };
    for (const auto& c : cases) {
        int P = 0, T = 0;
        TileLayout(c.workers, c.columns, &P, &T);
        EXPECT_EQ(c.P, P) << c.workers << " " << c.columns;
        EXPECT_EQ(c.T, T) << c.workers << " " << c.columns;
    }
}

// 640 x 9 with 8 workers: the start row 4 in 16 tiles of 40 or 41 columns,
// then rows 5, 3, 6, 2, 7, 1, 8, 0 in 4 tiles of 160 or 161 columns each,
// every row covering columns 0..640 without gap; then the terminator.
TEST(QuaternionTiles, ScheduleGrowsFromTheMiddleRow)
{
    TileRun r(640, 9, 8);
    ASSERT_TRUE(BuildTileSchedule(&r.run));
    const TileSchedule& s = r.run.schedule;
    EXPECT_EQ(4, s.startRow);
    EXPECT_EQ(161, s.segmentLength);
    ASSERT_EQ(16 + 8 * 4, s.tileCount);
    const int order[] = {4, 5, 3, 6, 2, 7, 1, 8, 0};
    int t = 0;
    for (int row : order) {
        SCOPED_TRACE(row);
        const int count = row == 4 ? 16 : 4;
        EXPECT_EQ(&s.tiles[t], s.rowFirstTile[row]);
        int next = 0;
        for (int i = 0; i < count; ++i, ++t) {
            const QuaternionTile& tile = s.tiles[t];
            EXPECT_EQ(row, tile.row);
            EXPECT_EQ(row > 4 ? 1 : 0, tile.dir);
            EXPECT_EQ(0, tile.state);
            EXPECT_EQ(next, tile.x0);
            if (row == 4)
                EXPECT_TRUE(tile.length == 40 || tile.length == 41) << tile.length;
            else
                EXPECT_TRUE(tile.length == 160 || tile.length == 161) << tile.length;
            EXPECT_LE(tile.length, s.segmentLength);
            next = tile.x0 + tile.length;
        }
        EXPECT_EQ(641, next);
    }
    const QuaternionTile& end = s.tiles[s.tileCount];
    EXPECT_EQ(0, end.x0);
    EXPECT_EQ(-1, end.row);
    EXPECT_EQ(1, end.length);
    EXPECT_EQ(0, end.dir);
}

// A tile may be marched when it lies in the start row or every tile of its
// neighbour row that it overlaps is finished; a neighbour row nothing of
// which has started stops the search at once.
TEST(QuaternionTiles, FindFreeTileWaitsForTheNeighbourRow)
{
    // Start row 2 in tiles A [0, 5) and B [5, 10); row 3 (direction 1) and
    // row 1 (direction 0) in one tile each, C [0, 4) and D [6, 10).
    struct Case {
        const char* what;
        int states[4];   // A, B, C, D
        int start;
        int expected;
    } cases[] = {
        {"start row first", {0, 0, 0, 0}, 0, 0},
        {"second start tile", {1, 0, 0, 0}, 0, 1},
        {"neighbours busy", {1, 1, 0, 0}, 0, -1},
        {"overlapped neighbour done", {2, 1, 0, 0}, 0, 2},
        {"D blocked by B, C by nothing", {2, 1, 1, 0}, 0, -1},
        {"both neighbour tiles done", {3, 2, 1, 0}, 0, 3},
        {"untouched neighbour row ends the search", {0, 2, 0, 0}, 2, -1},
        {"search starts at start", {0, 0, 0, 0}, 1, 1},
        {"nothing free", {1, 1, 1, 1}, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QuaternionTile tiles[5] = {{0, 2, 5, 0, 0}, {5, 2, 5, 0, 0}, {0, 3, 4, 1, 0}, {6, 1, 4, 0, 0}, {0, -1, 1, 0, 0}};
        for (int i = 0; i < 4; ++i)
            tiles[i].state = c.states[i];
        QuaternionTile* first[4] = {nullptr, &tiles[3], &tiles[0], &tiles[2]};
        TileSchedule s;
        memset(&s, 0, sizeof s);
        s.tiles = tiles;
        s.tileCount = 4;
        s.startRow = 2;
        s.rowFirstTile = first;
        EXPECT_EQ(c.expected, FindFreeTile(&s, c.start));
    }
}

// The hand-over copies the tile's segments of the four buffers, marks the
// tile taken and points the ray at the row buffers of its direction; a tile
// outside the calculated rows (the terminator) is not handed over.
TEST(QuaternionTiles, CopyTileToWorkerHandsOverSegments)
{
    TileRun r(20, 6, 2);
    ASSERT_TRUE(BuildTileSchedule(&r.run));
    TileSchedule& s = r.run.schedule;
    const int bufferWidth = r.fractal->GetBufferWidth();
    for (int i = 0; i < bufferWidth * 6; ++i) {
        r.task->values[i] = (float)i;
        r.Depth()[i] = 0.5f + i;
        r.task->flags[i] = (unsigned char)i;
    }
    // Row 4 (direction 1) has one tile over all 21 columns.
    QuaternionTile* tile = s.rowFirstTile[4];
    const int t = (int)(tile - s.tiles);
    ASSERT_EQ(0, CopyTileToWorker(&r.run, t, 1));
    QuaternionWorkerState& w = r.run.workers[1];
    EXPECT_EQ(1, tile->state);
    EXPECT_EQ(t, w.tileIndex);
    EXPECT_EQ(tile, w.tile);
    EXPECT_EQ(1, w.guessAllowed);
    for (int i = 0; i < tile->length; ++i) {
        const int cell = 4 * bufferWidth + tile->x0 + i;
        float value;
        memcpy(&value, &w.colourRow[i], 4);
        EXPECT_EQ((float)cell, value);
        EXPECT_EQ(0.5f + cell, w.depthRow[i]);
        EXPECT_EQ((unsigned char)cell, w.flagRow[i]);
    }
    EXPECT_EQ(s.currentRows + 20 + tile->x0 + 10, w.ray.outputRow);
    EXPECT_EQ(s.prevRowDown + tile->x0, w.ray.neighbourRow);

    // A start-row tile never guesses and reads the direction-0 buffers.
    ASSERT_EQ(0, CopyTileToWorker(&r.run, 0, 0));
    EXPECT_EQ(0, r.run.workers[0].guessAllowed);
    EXPECT_EQ(s.currentRows + s.tiles[0].x0, r.run.workers[0].ray.outputRow);
    EXPECT_EQ(s.prevRowUp + s.tiles[0].x0, r.run.workers[0].ray.neighbourRow);

    EXPECT_EQ(1, CopyTileToWorker(&r.run, s.tileCount, 0));
    EXPECT_EQ(0, s.tiles[s.tileCount].state);
    EXPECT_EQ(&s.tiles[0], r.run.workers[0].tile);
}

// After the run the oldz cell of every pixel at a surface edge is cleared:
// the pixel, its left neighbour in the row below or the pixel below it has
// no surface. The bottom row has no pair below it and keeps its cells.
TEST(QuaternionTiles, OpacityCellsClearedAtSurfaceEdges)
{
    TileRun r(8, 7, 2);
    ASSERT_TRUE(BuildTileSchedule(&r.run));
    Array2D* oldz = r.task->oldz;
    if (!oldz->IsAllocated())
        ASSERT_NE(nullptr, oldz->Allocate(r.task->plane0->width, r.task->plane0->height, 4));
    const int w = r.task->plane0->width;
    // A surface disc: depth 0.5 inside, -1 outside.
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < w; ++x)
            r.Depth()[y * w + x] = (x >= 2 && x <= 5 && y >= 1 && y <= 5) ? 0.5f : -1.0f;
    uint32_t* cells = static_cast<uint32_t*>(oldz->data);
    for (int i = 0; i < w * 7; ++i)
        cells[i] = 0xFFFFFFFFu;
    ClearOpacityEdges(&r.run);

    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 8; ++x) {
            bool edge = false;
            if (y >= 1) {
                const float* below = r.Depth() + (y - 1) * w;
                edge = (x >= 1 && below[x - 1] < 0) || below[x] < 0 || r.Depth()[y * w + x] < 0;
            }
            EXPECT_EQ(edge ? 0u : 0xFFFFFFFFu, cells[y * w + x]) << x << "," << y;
        }
}
