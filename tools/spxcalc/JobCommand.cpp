// spxcalc job FILE --entry NAME --size WxH --temp DIR --dest DIR [--path DIR]
// [--id ID] [--aa] [--base 2|3] [--depth D] [--threshold X] [--jpeg]
// [--stop-after-rows N]: makes a render job of one entry as the render-job
// window does (project = the file's name, DIR the temporary folder), runs
// it through RenderJob::Start, its runner and RenderJobThread, and prints
// "id=ID result=N output=PATH". With --stop-after-rows the job is stopped
// as the program's exit does once its ".bits" file holds N rows (result 3);
// the same command again continues from the checkpoint. A layered entry's
// layers calculate as jobs of their own, their rows in the temporary folder.
// Exit 0 the job ended (whatever its result), 2 bad arguments or no entry.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

#include "calc/FractalTask.h"
#include "calc/escapetime/RenderJobRoad.h"
#include "calc/task/FractalThread.h"
#include "calc/task/TaskHooks.h"
#include "calc/task/TaskLifecycle.h"
#include "document/DocumentHooks.h"
#include "document/Fractal.h"
#include "document/Layers.h"
#include "files/renderjob/RenderJob.h"
#include "foundation/MessageBox.h"
#include "foundation/Services.h"
#include "tools/spxcalc/Commands.h"
#include "tools/spxcalc/RenderSupport.h"

namespace {

// The job's calculation runs on a windowless task with its own thread. A
// layered fractal's layers get theirs too and start at once, after the
// layered fractal itself, as the program's opening of a layered window
// starts them.
int OpenWindowlessTask(Fractal* f, int, int start, int, int, int, int)
{
    int result = PictureToTask(f, 1, 0, 0, 0, 0, 0);
    if (result != 0)
        return result;
    if (start)
        f->SendThreadCommand(FTC_START, 0);
    ForEachLayerFractal(f, [&](Fractal* layer) {
        if (result == 0)
            result = PictureToTask(layer, 1, 0, 0, 0, 0, 0);
    });
    if (result != 0)
        return result;
    ForEachLayerFractal(f, [](Fractal* layer) {
        layer->SendThreadCommand(FTC_START, 0);
        layer->Recalculate();
    });
    return 0;
}

// Types that calculate into their task's image store their rows when done.
void StoreJobResult(Fractal* f)
{
    if (f->renderJob)
        RenderJob::StoreResult(f, f->renderJob);
}

int CloseWindowlessTask(Fractal* f, int, int, int)
{
    return DeleteFractalTask(f, 1, 0, 0);
}

bool IgnorePost(UINT, WPARAM, LPARAM)
{
    return true;
}

// Nothing may wait for a person: a box is printed and answered OK.
int PrintBox(UINT, const char* title, const char* text)
{
    fprintf(stderr, "box: %s: %s\n", title ? title : "", text ? text : "");
    return IDOK;
}

long RowsWritten(const RenderJob* job)
{
    char path[260];
    job->RawFilePath("bits", path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) || job->width <= 0)
        return 0;
    return (long)(data.nFileSizeLow / (3L * job->width));
}

// --stop-after-rows: the job waits before its row N until the stop
// arrives, so that its checkpoint lies at exactly that row. The gate is
// passed once per block row, from the checkpoint's row on.
long g_nextRow = 0;
long g_stopRow = -1;
volatile LONG g_holding = 0;

void HoldAtStopRow(Fractal* f)
{
    if (g_nextRow++ < g_stopRow)
        return;
    InterlockedExchange(&g_holding, 1);
    while (f->task && !CommandPending(f->task))
        Sleep(1);
}

bool HasCheckpoint(const RenderJob* job)
{
    char path[260];
    job->RawFilePath("hist", path);
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

const char* BaseName(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    return name;
}

}  // namespace

int RunJobCommand(int argc, char** argv)
{
    const char *file = nullptr, *entry = nullptr, *temp = nullptr, *dest = nullptr, *path = nullptr,
               *id = nullptr;
    int width = 0, height = 0, base = 2, depth = 1, aa = 0, jpeg = 0;
    long stopAfter = -1;
    double threshold = 0.0;
    for (int i = 0; i < argc; i++) {
        const char* a = argv[i];
        bool more = i + 1 < argc;
        if (strcmp(a, "--entry") == 0 && more) entry = argv[++i];
        else if (strcmp(a, "--size") == 0 && more) {
            if (sscanf(argv[++i], "%dx%d", &width, &height) != 2) width = 0;
        } else if (strcmp(a, "--temp") == 0 && more) temp = argv[++i];
        else if (strcmp(a, "--dest") == 0 && more) dest = argv[++i];
        else if (strcmp(a, "--path") == 0 && more) path = argv[++i];
        else if (strcmp(a, "--id") == 0 && more) id = argv[++i];
        else if (strcmp(a, "--aa") == 0) aa = 1;
        else if (strcmp(a, "--base") == 0 && more) base = atoi(argv[++i]);
        else if (strcmp(a, "--depth") == 0 && more) depth = atoi(argv[++i]);
        else if (strcmp(a, "--threshold") == 0 && more) threshold = atof(argv[++i]);
        else if (strcmp(a, "--jpeg") == 0) jpeg = 1;
        else if (strcmp(a, "--stop-after-rows") == 0 && more) stopAfter = atol(argv[++i]);
        else if (a[0] != '-' && !file) file = a;
        else {
            fprintf(stderr, "job: unknown argument %s\n", a);
            return 2;
        }
    }
    if (!file || !entry || !temp || !dest || width <= 0 || height <= 0 || (base != 2 && base != 3)) {
        fprintf(stderr, "usage: spxcalc job FILE --entry NAME --size WxH --temp DIR --dest DIR [--path DIR] "
                        "[--id ID] [--aa] [--base 2|3] [--depth D] [--threshold X] [--jpeg] "
                        "[--stop-after-rows N]\n");
        return 2;
    }
    LoadRenderFormulaFolders(path);
    Fractal* fractal = nullptr;
    std::string error;
    if (ReadRenderEntry(file, entry, &fractal, error) != 0) {
        fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    InstallRenderJobRoad();
    Services().postToMainFrame = &IgnorePost;
    SetMessageBoxAnswerer(&PrintBox);
    g_OpenTask = OpenWindowlessTask;
    g_TaskHooks.storeRenderJobResult = StoreJobResult;
    g_CloseTask = CloseWindowlessTask;
    snprintf(g_RenderJobTempFolder, sizeof(g_RenderJobTempFolder), "%s", temp);
    snprintf(g_RenderJobFolder, sizeof(g_RenderJobFolder), "%s", temp);
    CreateDirectoryA(temp, nullptr);

    RenderJob* job = new RenderJob();
    job->fractal = fractal;
    job->width = width;
    job->height = height;
    job->antiAliasing = aa;
    job->base3 = base == 3;
    job->SetDepth(depth);
    job->threshold = threshold;
    job->jpeg = jpeg;
    if (id)
        snprintf(job->id, sizeof(job->id), "%s", id);
    snprintf(job->project, sizeof(job->project), "%s", BaseName(file));
    snprintf(job->destination, sizeof(job->destination), "%s", dest);

    if (stopAfter >= 0) {
        // A resumed job continues at its checkpoint's row, which is the
        // number of rows its files hold.
        g_nextRow = HasCheckpoint(job) ? RowsWritten(job) : 0;
        g_stopRow = stopAfter;
        g_RenderJobRowGate = HoldAtStopRow;
    }
    int started = job->Start();
    int result = started == 0 ? -1 : 1;
    bool stopped = false;
    while (started == 0 && job->runState != RJ_FINISHED) {
        if (g_holding) {
            // As the program's exit does: the runner is told to end and
            // the calculation closed, which leaves the checkpoint.
            job->runner->Stop();
            stopped = true;
            break;
        }
        Sleep(5);
    }
    if (started == 0) {
        if (!stopped)
            result = fractal->GetCalculationResult();
        if (job->runner) {
            job->runner->Stop();
            delete job->runner;
            job->runner = nullptr;
        }
        if (stopped)
            result = fractal->lastResult;
    }
    char output[MAX_PATH + 400];
    job->OutputPath(output, sizeof(output));
    printf("id=%s result=%d output=%s\n", job->id, result, output);
    FlushRenderMessages();
    return 0;
}
