// Starting, running and ending render jobs: the start parses the job's
// fractal, fits the output and adjusts what jobs cannot do (each change a
// message), the runner sizes the fractal for supersampling, opens its
// calculation and starts RenderJobThread, which waits for the calculation,
// writes the output image and reports the job done. Stopping tells that
// thread to end and waits for it: it is never killed while it writes.
#include "files/renderjob/RenderJob.h"

#include <float.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "calc/FractalTask.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Layer.h"
#include "document/Layers.h"
#include "files/entry/EntryReader.h"
#include "foundation/LogFile.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Messages.h"
#include "foundation/Services.h"
#include "foundation/Thread.h"
#include "view3d/Parameters3D.h"

namespace {

void PostToMainFrame(UINT message, WPARAM wParam)
{
    if (Services().postToMainFrame)
        Services().postToMainFrame(message, wParam, 0);
}

// Two lines in the message list, shown by the main window.
void ReportJob(const char* format, const char* name, const char* reason, int type)
{
    char first[200];
    snprintf(first, sizeof(first), format, name);
    const char* lines[] = {first, reason, nullptr};
    AddMessage(lines, type, 0, 0, 0, 0, 0, 0, false);
    PostToMainFrame(UM_NEW_MESSAGE, 0);
}

FractalFolder* RenderJobsFolder()
{
    for (ListNode* n = FolderList.GetHead(); n; n = n->next)
        if (strcmp(n->name, "RenderJobs.par") == 0)
            return static_cast<FractalFolder*>(n);
    return nullptr;
}

bool HasOwnSupersampling(const Fractal* f)
{
    int type = f->header->Type;
    return type == FT_PLASMA || type == FT_DYNAMICSYSTEM || type == FT_LSYSTEM || type == FT_IFS ||
           type == FT_QUATERNION || type == FT_ATTRACTOR || (type == FT_ESCAPETIME && f->header->Dims);
}

// Every folder of path (each prefix ending at a '\'); errors ignored.
void CreatePathFolders(const char* path)
{
    std::string text = path;
    for (size_t i = 1; i < text.size(); i++)
        if (text[i] == '\\' || text[i] == '/')
            CreateDirectoryA(text.substr(0, i).c_str(), nullptr);
}

void SetThreadState(Fractal* f, bool suspend)
{
    if (f && f->task && f->task->thread) {
        if (suspend)
            f->task->thread->Suspend();
        else
            f->task->thread->Resume();
    }
}

}  // namespace

// ----- Start

int RenderJob::Start()
{
    if (!fractal)
        return 1;
    if (!fractal->folder) {
        if (FractalFolder* folder = RenderJobsFolder())
            folder->AddFractal(fractal, false);
    }
    if (fractal->pendingEntryText) {
        char* text = fractal->pendingEntryText;
        fractal->pendingEntryText = nullptr;
        Fractal* parsed = ReadParameterEntry(fractal, text, nullptr, false, -1, 0.0);
        free(text);
        if (!parsed) {
            runState = RJ_FINISHED;
            PostToMainFrame(UM_RENDERJOB_DONE, (WPARAM)this);
            return 1;
        }
    }
    FitSize();
    const char* adjusted = "Renderjob \"%s\" adjusted";
    FractalHeader* h = fractal->header;
    if (h->ImageFilter) {
        h->ImageFilter = nullptr;
        ReportJob(adjusted, fractal->name, "Renderjobs don't support image filters. Image filter will be ignored.",
                  MSG_INFO);
    }
    if (h->Type == FT_LAYERED) {
        layerJobs.DeleteAllNodes();
        bool layerFilter = false;
        int number = 1;
        Fractal* previous = fractal;
        ForEachLayerFractal(fractal, [&](Fractal* layerFractal) {
            RenderJob* layerJob = CreateLayerJob(number++);
            layerJob->fractal = layerFractal;
            layerJobs.Append(layerJob);
            layerFractal->header->DisplayDepth = 24;
            if (layerFractal->header->ImageFilter) {
                layerFractal->header->ImageFilter = nullptr;
                layerFilter = true;
            }
            if (!layerFractal->folder && fractal->folder)
                fractal->folder->InsertLayerFractal(layerFractal, previous, fractal);
            layerFractal->renderJob = layerJob;
            previous = layerFractal;
        });
        if (layerFilter)
            ReportJob(adjusted, fractal->name,
                      "Renderjobs don't support image filters. Image filter of layers will be ignored.", MSG_INFO);
    }
    if (h->DisplayDepth != 24) {
        if (fractal->task)
            fractal->SetColorDepth(24);
        else
            h->DisplayDepth = 24;
        ReportJob(adjusted, fractal->name, "Palette mode was \"256 Colors\", changed to \"Interpolated\", i.e. 24 bit",
                  MSG_WARNING);
    }
    if (HasOwnSupersampling(fractal) && depth >= 2) {
        depth = 1;
        ReportJob(adjusted, fractal->name, "Depth>1 not supported for this fractal, Depth set to 1", MSG_WARNING);
    }
    runState = RJ_RUNNING;
    runner = new RenderJobRunner(this);
    return fractal && fractal->task ? 0 : 1;
}

// ----- The runner

RenderJobRunner::RenderJobRunner(RenderJob* owner) : job(owner)
{
    Fractal* f = job->fractal;
    FractalHeader* h = f->header;
    h->Scrollbar = 1;
    f->renderJob = job;
    int s = job->GetSupersampling(f);
    double rx = h->Width > 0 ? (double)job->width / h->Width : 1.0;
    double ry = h->Height > 0 ? (double)job->height / h->Height : 1.0;
    h->Width = h->WinWidth = s * job->width;
    h->Height = h->WinHeight = s * job->height;
    ForEachLayerRecord(f, [&](Layer* layer) {
        Fractal* lf = layer->fractal;
        if (!lf)
            return;
        int own = job->GetSupersampling(lf);
        int width = (int)floor(lf->header->Width * rx + 0.5), height = (int)floor(lf->header->Height * ry + 0.5);
        lf->header->Width = lf->header->WinWidth = width * own;
        lf->header->Height = lf->header->WinHeight = height * own;
        // The layer's raw rows have the layer's own output size, which the
        // layered job reads them back with.
        if (lf->renderJob && lf->renderJob != job) {
            lf->renderJob->width = width;
            lf->renderJob->height = height;
        }
        lf->header->Scrollbar = 1;
        layer->leftOffset *= rx;
        layer->bottomOffset *= ry;
    });
    // A failed parse deletes the fractal: its name is kept for the report.
    std::string name = f->name;
    // A layered fractal's thread is started with its task, before its
    // layers start: a layer that finishes asks its parent to re-merge, and
    // a parent not yet started drops that request together with a start
    // sent at the same moment, and would then never calculate.
    int start = h->Type == FT_LAYERED ? 1 : 0;
    int result = g_OpenTask ? g_OpenTask(f, 0, start, 0, 0, 1, 0) : 1;
    if (result != 0) {
        const char* reason = result == 2 ? "Not enough memory available"
                                         : "Fractal cannot be calculated due to missing or invalid data.";
        if (result == 3)
            job->fractal = nullptr;
        ReportJob("Renderjob \"%s\" cannot be rendered", name.c_str(), reason, MSG_ERROR);
        return;
    }
    f->SendThreadCommand(FTC_START, 0);
    thread = new Thread(RenderJobThread, job, false, 0);
    thread->SetPriority(g_TaskPriority);
    thread->Resume();
}

void RenderJobRunner::Stop()
{
    if (job && job->runState == RJ_IDLE)
        job->Resume();
    if (thread) {
        // Told to end and waited for: the thread may be writing the image.
        thread->state = THREAD_STATE_STOP;
        WaitForSingleObject(thread->handle, INFINITE);
        delete thread;
        thread = nullptr;
    }
    if (job && job->fractal && job->fractal->task && g_CloseTask)
        g_CloseTask(job->fractal, 1, 0, 0);
    job = nullptr;
}

DWORD RenderJobThread(Thread* thread)
{
    _controlfp(_MCW_EM, _MCW_EM);
    _controlfp(_PC_64, _MCW_PC);
    RenderJob* job = static_cast<RenderJob*>(thread->userData);
    Fractal* f = job->fractal;
    thread->SetPriority(4);
    f->Recalculate();
    thread->SetPriority(g_TaskPriority);
    while (!f->task || f->task->calculationState != CS_COMPLETE) {
        if (thread->state == THREAD_STATE_STOP)
            return 0;
        Sleep(100);
    }
    if (f->GetCalculationResult() == 0) {
        char path[MAX_PATH + 400];
        job->OutputPath(path, sizeof(path));
        CreatePathFolders(path);
        if (!job->WriteImage(path))
            ReportJob("Renderjob \"%s\" could not write its image", f->name, path, MSG_ERROR);
    }
    job->runState = RJ_FINISHED;
    PostToMainFrame(UM_RENDERJOB_DONE, (WPARAM)job);
    while (thread->state != THREAD_STATE_STOP)
        Sleep(10);
    return 0;
}

// ----- Pause and resume

void RenderJob::Pause()
{
    runState = RJ_IDLE;
    if (!runner)
        return;
    SetThreadState(fractal, true);
    ForEachLayerFractal(fractal, [](Fractal* layer) { SetThreadState(layer, true); });
}

void RenderJob::Resume()
{
    if (!runner)
        return;
    ForEachLayerFractal(fractal, [](Fractal* layer) { SetThreadState(layer, false); });
    SetThreadState(fractal, false);
    runState = RJ_RUNNING;
}

// ----- The job list

void LoadRenderJobFile(const char* folder, const char* fileName)
{
    if ((signed char)fileName[0] < 'A')
        return;
    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%s\\%s", folder, fileName);
    if (Services().log) {
        if (LogFile* log = Services().log())
            log->WriteJoined("Loading render job from file ", path);
    }
    FILE* file = fopen(path, "rb");
    if (!file)
        return;
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    rewind(file);
    std::string bytes(size > 0 ? size : 0, '\0');
    bool read = size > 0 && fread(&bytes[0], 1, size, file) == (size_t)size;
    fclose(file);
    if (size <= 0)
        return;
    RenderJob* job = new RenderJob();
    if (read && job->Load(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size())) {
        g_RenderJobsLock.Lock();
        g_RenderJobs.Append(job);
        g_RenderJobsLock.Unlock();
        return;
    }
    DeleteFileA(path);
    delete job;
}

RenderJob* StartNextRenderJob(RenderJob* after)
{
    g_RenderJobsLock.Lock();
    RenderJob* started = nullptr;
    int count = g_RenderJobs.Count();
    ListNode* n = after && after->next ? after->next : g_RenderJobs.GetHead();
    for (int visited = 0; n && visited < count && !started; visited++) {
        RenderJob* job = static_cast<RenderJob*>(n);
        ListNode* next = n->next ? n->next : g_RenderJobs.GetHead();
        if (job == after || job->runner || job->runState != RJ_IDLE) {
            n = next;
            continue;
        }
        if (job->Start() == 0) {
            started = job;
            break;
        }
        job->runState = RJ_FINISHED;
        if (next == job)
            next = nullptr;
        g_RenderJobs.Remove(job);
        job->DeleteFiles();
        delete job;
        PostToMainFrame(UM_RENDERJOBS_CHANGED, 0);
        n = next;
    }
    g_RenderJobsLock.Unlock();
    return started;
}

bool IsAnyRenderJobActive()
{
    g_RenderJobsLock.Lock();
    bool active = false;
    for (ListNode* n = g_RenderJobs.GetHead(); n && !active; n = n->next) {
        RenderJob* job = static_cast<RenderJob*>(n);
        active = job->runState != RJ_IDLE || job->runner;
    }
    g_RenderJobsLock.Unlock();
    return active;
}
