// The tile loop with real worker threads (new Thread(QuaternionWorker)):
// one and two workers give the same depth plane, which follows the ball's
// geometry; a stop reaches a worker deep inside compiled code (MaxIter
// 2,000,000,000) and is answered within 0.5 s, for a lone worker as for the
// whole loop.
#include <gtest/gtest.h>

#include <windows.h>
#include <math.h>
#include <string.h>
#include <memory>
#include <vector>

#include "calc/FractalTask.h"
#include "compiler/CompileHost.h"
#include "foundation/Messages.h"
#include "foundation/Thread.h"
#include "fractals/quaternion/QuaternionMarch.h"
#include "fractals/quaternion/QuaternionTiles.h"
#include "QuaternionFormulaFixture.h"

namespace {

const char kBall[] =
    "Ball(QUATERNION) {\n void init(void) { z = pixel; }\n void loop(void) { z = z; }\n"
    " bool bailout(void) { return(|z| < 1); }\n}\n";

// The workers of a run over the fixture's compiled formula: each with its
// own copy of the data blocks, its slot and its thread.
struct Workers {
    QuaternionFormulaFixture& f;
    QuaternionRun run;
    std::vector<std::unique_ptr<AlignedBuffer>> blocks;

    Workers(QuaternionFormulaFixture& fixture, int count) : f(fixture)
    {
        memset(&run, 0, sizeof run);
        run.fractal = f.fractal;
        run.task = f.task;
        run.block = f.q;
        run.workerCount = count;
        run.width = f.fractal->header->Width;
        run.height = f.fractal->header->Height;
        run.right = run.width;
        run.bottom = run.height - 1;
        run.lastWriteback = GetTickCount();
        FractalTask* task = f.task;
        task->rowWorkBuffer = new GrowBuffer(1000);
        // A stop is raised only inside the task's code buffers.
        task->codeBuffer = &f.colourCode;
        task->codeBuffer2 = &f.iterateCode;
        task->codeBuffer3 = &f.transformCode;
        task->workerDoneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        for (int k = 0; k < count; ++k) {
            QuaternionRay& ray = run.workers[k].ray;
            ray = f.ray;
            blocks.emplace_back(new AlignedBuffer(*f.formulaData));
            blocks.emplace_back(new AlignedBuffer(f.transformData));
            ray.formulaData = blocks[2 * k]->GetBase();
            ray.transformData = blocks[2 * k + 1]->GetBase();
            WorkerSlot& slot = task->workers[k];
            memset(&slot, 0, sizeof slot);
            slot.fractal = f.fractal;
            slot.doneEvent = task->workerDoneEvent;
            slot.wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
            slot.workerIndex = k;
            AttachQuaternionRun(&slot, &run);
        }
    }
    ~Workers()
    {
        Stop();
        FreeTileSchedule(&run);
        for (int k = 0; k < run.workerCount; ++k)
            CloseHandle(f.task->workers[k].wakeEvent);
        CloseHandle(f.task->workerDoneEvent);
        f.task->workerDoneEvent = nullptr;
        delete f.task->rowWorkBuffer;
        f.task->rowWorkBuffer = nullptr;
        f.task->codeBuffer = f.task->codeBuffer2 = f.task->codeBuffer3 = nullptr;
    }
    void Start()
    {
        for (int k = 0; k < run.workerCount; ++k) {
            WorkerSlot& slot = f.task->workers[k];
            slot.workerState = 1;
            slot.workerDone = 0;
            slot.thread = new Thread(&QuaternionWorker, &slot, true, 0);
        }
    }
    // Quits every worker and joins its thread.
    void Stop()
    {
        for (int k = 0; k < run.workerCount; ++k) {
            WorkerSlot& slot = f.task->workers[k];
            if (!slot.thread)
                continue;
            slot.workerState = WORKER_QUIT;
            SetEvent(slot.wakeEvent);
            while (WaitForSingleObject(slot.thread->handle, 1) == WAIT_TIMEOUT)
                InterruptQuaternionWorkers(&run);
            delete slot.thread;
            slot.thread = nullptr;
        }
    }
    // The whole loop: schedule, first tiles, threads, loop, stop.
    bool Loop()
    {
        EXPECT_TRUE(BuildTileSchedule(&run));
        for (int k = 0; k < run.workerCount && k < run.schedule.tileCount; ++k)
            EXPECT_EQ(0, CopyTileToWorker(&run, k, k));
        Start();
        bool finished = RunTileLoop(&run, QuaternionLoopHooks());
        Stop();
        return finished;
    }
};

std::vector<float> DepthPlane(const QuaternionFormulaFixture& f)
{
    const Array2D* p = f.task->plane0;
    const float* d = static_cast<const float*>(p->data);
    return std::vector<float>(d, d + p->width * p->height);
}

}  // namespace

// The same tile layout (one tile per row for one and two workers) gives
// the same depths; every pixel is calculated and the depths off the
// silhouette meet the ball where the camera's rays do.
TEST(QuaternionTileLoop, OneAndTwoWorkersAgree)
{
    std::vector<float> planes[2];
    for (int n = 1; n <= 2; ++n) {
        QuaternionFormulaFixture f(24, 18);
        ASSERT_TRUE(f.Compile(kBall));
        Workers w(f, n);
        ASSERT_TRUE(w.Loop());
        EXPECT_EQ(w.run.schedule.tileCount, w.run.tilesDone);
        for (int k = 0; k < w.run.schedule.tileCount; ++k)
            EXPECT_EQ(3, w.run.schedule.tiles[k].state) << k;
        planes[n - 1] = DepthPlane(f);

        const int pw = f.task->plane0->width;
        int surface = 0;
        for (int row = 0; row < 18; ++row)
            for (int x = 0; x < 24; ++x) {
                const float d = planes[n - 1][row * pw + x];
                EXPECT_NE(0.0f, d) << x << "," << row;
                // The plain ray-sphere meeting (slice through the origin: a unit ball).
                double o[3], dir[3];
                for (int i = 0; i < 3; ++i) {
                    o[i] = f.ray.observer[i];
                    dir[i] = f.ray.corner[i] + x * f.ray.stepX[i] + row * f.ray.stepY[i] - o[i];
                }
                const double a = dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2];
                const double b = dir[0] * o[0] + dir[1] * o[1] + dir[2] * o[2];
                const double c = o[0] * o[0] + o[1] * o[1] + o[2] * o[2] - 1.0;
                const double disc = b * b - a * c;
                if (disc > 0.02 * a) {
                    EXPECT_NEAR((-b - sqrt(disc)) / a, d, 1e-4) << x << "," << row;
                    ++surface;
                } else if (disc < -0.02 * a) {
                    EXPECT_EQ(-1.0f, d) << x << "," << row;
                }
            }
        EXPECT_GT(surface, 20);
    }
    EXPECT_EQ(planes[0], planes[1]);
    DeleteAllMessages();
}

// A worker inside a ray of 2,000,000,000 iterations leaves the compiled code
// when interrupted and answers within 0.5 s; its tile is abandoned.
TEST(QuaternionTileLoop, StopReachesWorkerInsideCompiledCode)
{
    QuaternionFormulaFixture f(24, 18);
    f.q->MaxIter = 2000000000;
    ASSERT_TRUE(f.Compile(kBall));
    Workers w(f, 1);
    ASSERT_TRUE(BuildTileSchedule(&w.run));
    // The start row's middle tile: its rays meet the ball.
    ASSERT_EQ(0, CopyTileToWorker(&w.run, 8, 0));
    w.Start();
    WorkerSlot& slot = f.task->workers[0];
    const DWORD begin = GetTickCount();
    while (!w.run.workers[0].inCompiledCode && GetTickCount() - begin < 20000)
        Sleep(1);
    ASSERT_TRUE(w.run.workers[0].inCompiledCode);
    Sleep(50);   // deep in the iteration of the first ray that hit
    ASSERT_EQ(0, slot.workerDone);

    const DWORD asked = GetTickCount();
    while (!slot.workerDone && GetTickCount() - asked < 5000) {
        InterruptQuaternionWorkers(&w.run);
        WaitForSingleObject(f.task->workerDoneEvent, 1);
    }
    EXPECT_EQ(1, slot.workerDone);
    EXPECT_LT(GetTickCount() - asked, 500u);
    EXPECT_EQ(1, w.run.workers[0].stopped);
    EXPECT_EQ(0, w.run.workers[0].inCompiledCode);
    DeleteAllMessages();
}

// A command ends the loop at its next 1 ms wait: the loop answers false at
// once and the workers, stopped inside compiled code, end within 0.5 s.
TEST(QuaternionTileLoop, CommandAbortsTheLoop)
{
    QuaternionFormulaFixture f(24, 18);
    f.q->MaxIter = 2000000000;
    ASSERT_TRUE(f.Compile(kBall));
    Workers w(f, 2);
    ASSERT_TRUE(BuildTileSchedule(&w.run));
    ASSERT_EQ(0, CopyTileToWorker(&w.run, 7, 0));
    ASSERT_EQ(0, CopyTileToWorker(&w.run, 8, 1));
    w.Start();
    const DWORD begin = GetTickCount();
    while (!(w.run.workers[0].inCompiledCode && w.run.workers[1].inCompiledCode) && GetTickCount() - begin < 20000)
        Sleep(1);
    Sleep(50);
    f.task->command = FTC_STOP;
    const DWORD asked = GetTickCount();
    EXPECT_FALSE(RunTileLoop(&w.run, QuaternionLoopHooks()));
    EXPECT_EQ(1, w.run.aborted);
    w.Stop();
    EXPECT_LT(GetTickCount() - asked, 500u);
    f.task->command = 0;
    DeleteAllMessages();
}
