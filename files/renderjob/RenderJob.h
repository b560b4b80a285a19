// A render job: one fractal calculated in the background at a chosen
// output size, supersampled, written as a PNG or JPEG with its entry
// embedded. Jobs are stored as job files (".dat") in the render-job folder
// and survive a restart; escape-time jobs continue from a checkpoint. The
// members are split by topic: the record and its file (RenderJob.cpp), the
// raw rows and checkpoint (JobRows.cpp), the output (JobOutput.cpp), and
// starting, running and stopping (JobRunner.cpp).
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <windows.h>

#include "files/image/ImageWrite.h"
#include "foundation/List.h"

class Fractal;
class ImageStore;
class RenderJob;
class Thread;

enum { RENDER_JOB_VERSION = 35 };
const uint32_t RENDER_JOB_MAGIC = 0x1A2B3C4Du;
// Byte offsets of the job file.
enum {
    JOB_FILE_NAME_OFFSET = 515,   // the fractal's name (64 bytes)
    JOB_FILE_ENTRY_OFFSET = 579,  // the parameter entry to the end
};

// What RenderJob::runState holds.
enum RenderJobState { RJ_IDLE = 0, RJ_RUNNING = 1, RJ_FINISHED = 2 };

// The thread that starts a job's calculation, waits for it and writes the
// output image.
class RenderJobRunner {
public:
    // Sizes the job's fractal for the output, opens its calculation and
    // starts RenderJobThread (nothing more when the fractal cannot be opened).
    explicit RenderJobRunner(RenderJob* job);
    // Tells the thread to end and waits for it (never kills it while it
    // writes the image), then closes the fractal's calculation.
    void Stop();

    Thread* thread = nullptr;
    RenderJob* job;
};

DWORD RenderJobThread(Thread* thread);

// How the rows of a 2D escape-time job are calculated into the image store:
// the source computes and colours every sample of the request that lacks
// PF_CALCULATED (sub-rows firstSubRow..endSubRow-1 and columns from
// firstColumn, both in steps of step; sub-row i is supersampled image line
// firstLine + i, counted from the bottom). False when it was interrupted.
struct SampleRequest {
    ImageStore* store;
    int firstSubRow, endSubRow, firstColumn, step;
    int firstLine;
};
typedef bool (*JobSampleSource)(void* context, const SampleRequest& request);
// The calculation of 2D escape-time jobs binds this (the render-job road);
// null until then, and such jobs then write no rows.
extern JobSampleSource g_JobSampleSource;

// The result of RenderJob::CalculateRows.
enum { JR_DONE = 0, JR_INTERRUPTED = 1, JR_FILE_FAILED = 2 };

class RenderJob : public ListNode {
public:
    // Version 35, idle, no runner, sizes 0, depth 1, empty project, a new
    // random id, threshold 0, flags 0, the saved image options.
    RenderJob();
    // Stops a runner; a top-level job deletes its fractal (with the layers'
    // jobs); layer jobs never do (the layered fractal owns it).
    ~RenderJob() override;

    // ----- The record and its file (RenderJob.cpp)
    bool Save();
    // Reads a job file's bytes; the fractal is made with its name and the
    // entry kept unparsed. False on a wrong magic, version or size.
    bool Load(const unsigned char* file, size_t size);
    // The job file's bytes (what Save writes).
    bool MakeFileBytes(unsigned char** bytes, size_t* size);
    // Removes the job file and the four files of the temporary folder; a
    // layered fractal's layer jobs' files too.
    void DeleteFiles();
    RenderJob* CreateLayerJob(int layerNumber);
    int GetEffectiveDepth(Fractal* fractal) const;
    int GetSupersampling(Fractal* fractal) const;
    void SetDepth(int newDepth) { depth = newDepth; }
    // Fits width x height to the fractal's aspect once (keep aspect).
    void FitSize();
    // The temporary folder's "id.extension" into path (260 bytes).
    void RawFilePath(const char* extension, char* path) const;
    // The output path: destination\project (cut at its first '.')\name.png
    // or .jpg, the name cleaned of path characters.
    void OutputPath(char* path, size_t size) const;
    // The entry as images carry it (heap, free()); null when none was made.
    char* GetParameterText();

    // ----- Raw rows and checkpoint (JobRows.cpp)
    // Calculates the rows of a 2D escape-time job through source into the
    // raw files, from the checkpoint when there is one. interrupted is
    // polled before every row; it ends the calculation with a checkpoint.
    int CalculateRows(Fractal* fractal, JobSampleSource source, void* context, bool (*interrupted)(void*),
                      void* interruptContext);
    void SaveHistory(ImageStore* store, int row);
    bool RestoreHistory(ImageStore* store, int* row);

    // ----- Output (JobOutput.cpp)
    // Averages a calculated non-escape-time image down into the raw files.
    static void StoreResult(Fractal* fractal, RenderJob* job);
    bool WriteImage(const char* path);
    bool WritePng(const char* text, FILE* colours, FILE* alpha, const char* path);
    bool WriteJpeg(const char* text, FILE* colours, FILE* alpha, const char* path);

    // ----- Running (JobRunner.cpp)
    int Start();
    void Pause();
    void Resume();

    int version = RENDER_JOB_VERSION;
    RenderJobRunner* runner = nullptr;
    volatile int runState = RJ_IDLE;
    int width = 0, height = 0;
    int fittedWidth = 0, fittedHeight = 0;
    uint8_t keepAspect = 0;
    Fractal* fractal = nullptr;
    char id[64];
    char project[64];
    char destination[310];
    double threshold = 0.0;
    int32_t antiAliasing = 0;
    int32_t base3 = 0;
    int32_t jpeg = 0;
    ImageSaveOptions options;
    int32_t depth = 1;
    // The layer jobs of a layered fractal, made at each start.
    NodeList layerJobs;
};

// The opacity of a solid-coloured pixel (its flags have PF_SOLID): the
// escape-time colouring's solid opacity chosen by the flags, as the layer
// compositing takes it; -1 for other pixels.
double SolidPixelAlpha(const Fractal* fractal, uint8_t flags);

// The render-job folder (job files) and the temporary folder ("jobTempDir";
// checkpoint and raw rows), set by the application at start. An empty
// temporary folder means the render-job folder.
extern char g_RenderJobFolder[260];
extern char g_RenderJobTempFolder[260];
// Seeds the id generator (the tick count at program start).
void SeedRenderJobIds(unsigned seed);

// Folder-scan callback for "*.dat" at start: loads and lists the job, or
// deletes a file that does not load. Names not starting with a letter
// (layer jobs) are skipped.
void LoadRenderJobFile(const char* folder, const char* fileName);
// Starts the next idle job after job (from the first when null), once
// round; jobs that cannot start are removed with their files.
RenderJob* StartNextRenderJob(RenderJob* job);
bool IsAnyRenderJobActive();
