// The render-job runner with its thread (the runner starts RenderJobThread
// through new Thread(...)): the thread waits for the calculation to
// complete, writes the output image into destination\project and reports
// the job finished; a job stopped while it waits ends its thread, which is
// waited for, and writes nothing. The calculation is played by the test:
// the job's fractal gets a windowless task and the test marks it complete.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "document/DocumentHooks.h"
#include "document/Fractal.h"
#include "files/image/ImageRead.h"
#include "files/renderjob/RenderJob.h"
#include "foundation/Messages.h"
#include "foundation/Thread.h"

namespace {

int OpenBare(Fractal* f, int, int, int, int, int, int) { return AttachBareTask(f) ? 0 : 2; }
int CloseBare(Fractal* f, int, int, int)
{
    FreeBareTask(f);
    return 0;
}

std::string Folder(const char* name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + name;
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

class RunnerTest : public testing::Test {
protected:
    void SetUp() override
    {
        savedOpen = g_OpenTask;
        savedClose = g_CloseTask;
        g_OpenTask = OpenBare;
        g_CloseTask = CloseBare;
        snprintf(g_RenderJobFolder, sizeof(g_RenderJobFolder), "%s", Folder("spx_runner_jobs").c_str());
        g_RenderJobTempFolder[0] = 0;
        job = new RenderJob();
        job->fractal = new Fractal(FT_PLASMA, 0);
        job->fractal->SetName("Runner fractal");
        job->fractal->header->Width = 4;
        job->fractal->header->Height = 3;
        job->width = 4, job->height = 3;
        job->fractal->header->DisplayDepth = 24;
        strcpy(job->project, "Thread.par");
        snprintf(job->destination, sizeof(job->destination), "%s", Folder("spx_runner_out").c_str());
    }
    void TearDown() override
    {
        if (job) {
            job->DeleteFiles();
            delete job;
        }
        g_OpenTask = savedOpen;
        g_CloseTask = savedClose;
        g_Messages.DeleteAllNodes();
    }
    bool WaitFinished(DWORD ms)
    {
        for (DWORD waited = 0; waited < ms; waited += 50) {
            if (job->runState == RJ_FINISHED)
                return true;
            Sleep(50);
        }
        return false;
    }

    RenderJob* job = nullptr;
    int (*savedOpen)(Fractal*, int, int, int, int, int, int) = nullptr;
    int (*savedClose)(Fractal*, int, int, int) = nullptr;
};

}  // namespace

TEST_F(RunnerTest, CompletedCalculationWritesTheOutputImage)
{
    // The raw rows as the calculation leaves them: bottom row first.
    char bitsPath[260];
    job->RawFilePath("bits", bitsPath);
    std::vector<unsigned char> raw(3 * 4 * 3);
    for (size_t i = 0; i < raw.size(); i++)
        raw[i] = (unsigned char)(i * 7);
    FILE* file = fopen(bitsPath, "wb");
    ASSERT_NE(nullptr, file);
    fwrite(raw.data(), 1, raw.size(), file);
    fclose(file);

    ASSERT_EQ(0, job->Start());
    ASSERT_NE(nullptr, job->runner);
    ASSERT_NE(nullptr, job->runner->thread);
    EXPECT_EQ(8, job->fractal->header->Width);   // plasma: twice the output
    Sleep(200);
    EXPECT_EQ(RJ_RUNNING, job->runState);
    job->fractal->task->calculationState = CS_COMPLETE;
    ASSERT_TRUE(WaitFinished(30000));

    char path[700];
    job->OutputPath(path, sizeof(path));
    int width = 0, height = 0;
    unsigned char* rgb = ReadPngFile(path, &width, &height);
    ASSERT_NE(nullptr, rgb) << path;
    ASSERT_EQ(4, width);
    ASSERT_EQ(3, height);
    // The file's top row is the last raw row; red first in the reader.
    EXPECT_EQ(raw[3 * 4 * 2 + 2], rgb[0]);
    EXPECT_EQ(raw[3 * 4 * 2], rgb[2]);
    EXPECT_EQ(raw[2], rgb[3 * 4 * 2]);
    delete[] rgb;
    delete job;   // the runner's thread is told to end and waited for
    job = nullptr;
    DeleteFileA(path);
}

TEST_F(RunnerTest, StoppedJobEndsItsThreadAndWritesNothing)
{
    ASSERT_EQ(0, job->Start());
    char path[700];
    job->OutputPath(path, sizeof(path));
    DeleteFileA(path);
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), job->runner->thread->handle, GetCurrentProcess(), &thread, 0,
                                FALSE, DUPLICATE_SAME_ACCESS));
    Sleep(200);
    job->runner->Stop();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0));   // ended, not abandoned
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(0u, code);
    CloseHandle(thread);
    EXPECT_EQ(nullptr, job->fractal->task);
    EXPECT_NE(RJ_FINISHED, job->runState);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path));
}
