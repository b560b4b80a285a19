// spxcalc render FILE --entry NAME [options]: reads the entry through the
// program's reader, applies the settings given and calculates it on a
// windowless task through the calculation thread's protocol.
//
//   --path DIR          formula folders (";"-separated) searched before
//                       the program's own formula folder
//   --size WxH          image size
//   --passes N          Passes 0..3    --eliminate N   Eliminate 0..2
//   --periodicity N     Periodicity 0..5               --maxiter N
//   --workers N         attractors: point workers (1-32; default processors + 1)
//   --seed N            attractors: the seed of every worker's random numbers
//   --png OUT           the image as a PNG with the entry embedded
//   --jpeg OUT          the image as a JPEG with the entry embedded
//   --bmp OUT           the image as a BMP
//   --filters FILE      an image-filter file (".flt") loaded before the
//                       entry is read, so that its ImageFilter= finds it
//   --dump-iter OUT     a line per image row, top first: the iteration
//                       count of every pixel (MaxIter for inside pixels; a
//                       guessed or eliminated pixel shows its source's)
//   --dump-bgr OUT      24-bit rows bottom-up, blue, green, red, unpadded
//   --dump-index OUT    8-bit images: the palette index of every pixel,
//                       a line per row, top first
//   --dump-values OUT   the task's float of every pixel ("%.9g"), a line
//                       per row, top first
//   --stats             "pixels=N calculated=N eliminated=N invalid=N ms=N"
//   --stop-after MS     FTC_STOP after MS milliseconds
//   --formulas F        (repeatable) IFS (.ifs) or L-system (.l) files
//                       loaded instead of the program's own Spiralix.ifs/.l
//   --dump-depth OUT    quaternions: the depth plane, a line per image row,
//                       top first: the ray fraction of every pixel
//                       ("%.10g"), -1 where the ray hit nothing (--dump-bgr
//                       and --png give the shaded image, --stats
//                       "rays=N guessed=N ms=N", --workers the workers)
//   --dump-draw OUT     a line per drawing step in call order ("%.10g"):
//                       L-system "x0 y0 x1 y1 c" per segment, dynamic
//                       system "u v depth c" per integration step
// A layered entry calculates its layers first, each on a windowless task
// of its own, and then composes them; --size scales the layers and their
// offsets with the layered fractal.
// Last line "result=N". Exit 0 for the results 0 and 3 (0 only, for the
// drawing types IFS, L-system, plasma and dynamic system), 1 for a failed
// calculation (the text it showed on stderr), 2 for bad arguments, an
// unreadable file or a missing entry.
#include <windows.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/escapetime/EscapeTime.h"
#include "calc/escapetime/FilterRoad.h"
#include "calc/task/DrawTrace.h"
#include "calc/task/TaskLifecycle.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/Layers.h"
#include "files/ImageFilterFile.h"
#include "files/formulafiles/FormulaFiles.h"
#include "files/image/ImageWrite.h"
#include "tools/spxcalc/AttractorRender.h"
#include "tools/spxcalc/Commands.h"
#include "tools/spxcalc/QuaternionRender.h"
#include "tools/spxcalc/RenderSupport.h"

namespace {

struct RenderOptions {
    const char* file = nullptr;
    const char* entry = nullptr;
    const char* path = nullptr;
    int width = 0, height = 0;
    int passes = -1, eliminate = -1, periodicity = -1;
    bool setMaxIter = false;
    int maxIter = 0;
    const char* png = nullptr;
    const char* jpeg = nullptr;
    const char* bmp = nullptr;
    const char* filters = nullptr;
    const char* dumpIter = nullptr;
    const char* dumpBgr = nullptr;
    const char* dumpIndex = nullptr;
    const char* dumpValues = nullptr;
    const char* dumpDraw = nullptr;
    const char* dumpDepth = nullptr;
    std::vector<const char*> formulaFiles;
    int workers = 0, seed = 0;
    bool stats = false;
    int stopAfter = -1;
};

int Fail(const char* format, const char* detail)
{
    fprintf(stderr, "spxcalc render: ");
    fprintf(stderr, format, detail);
    fprintf(stderr, "\n");
    return 2;
}

bool ParseInt(const char* text, int low, int high, int* out)
{
    char* end;
    long v = strtol(text, &end, 10);
    if (end == text || *end || v < low || v > high)
        return false;
    *out = (int)v;
    return true;
}

bool ParseSize(const char* text, int* width, int* height)
{
    char* end;
    long w = strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X'))
        return false;
    const char* rest = end + 1;
    long h = strtol(rest, &end, 10);
    if (end == rest || *end || w <= 0 || h <= 0 || w > 16384 || h > 16384)
        return false;
    *width = (int)w;
    *height = (int)h;
    return true;
}

// 0 when the arguments are good, else the exit code (the reason printed).
int ParseOptions(int argc, char** argv, RenderOptions* o)
{
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        bool hasValue = i + 1 < argc;
        const char* v = hasValue ? argv[i + 1] : "";
        if (a[0] != '-') {
            if (o->file)
                return Fail("more than one file: %s", a);
            o->file = a;
            continue;
        }
        if (strcmp(a, "--stats") == 0) {
            o->stats = true;
            continue;
        }
        if (!hasValue)
            return Fail("%s wants a value", a);
        ++i;
        bool ok = true;
        if (strcmp(a, "--entry") == 0)
            o->entry = v;
        else if (strcmp(a, "--path") == 0)
            o->path = v;
        else if (strcmp(a, "--size") == 0)
            ok = ParseSize(v, &o->width, &o->height);
        else if (strcmp(a, "--passes") == 0)
            ok = ParseInt(v, 0, 3, &o->passes);
        else if (strcmp(a, "--eliminate") == 0)
            ok = ParseInt(v, 0, 2, &o->eliminate);
        else if (strcmp(a, "--periodicity") == 0)
            ok = ParseInt(v, 0, 5, &o->periodicity);
        else if (strcmp(a, "--maxiter") == 0)
            ok = o->setMaxIter = ParseInt(v, -2147483647 - 1, 2147483647, &o->maxIter);
        else if (strcmp(a, "--workers") == 0)
            ok = ParseInt(v, 1, 32, &o->workers);
        else if (strcmp(a, "--seed") == 0)
            ok = ParseInt(v, 0, 2147483647, &o->seed);
        else if (strcmp(a, "--png") == 0)
            o->png = v;
        else if (strcmp(a, "--jpeg") == 0)
            o->jpeg = v;
        else if (strcmp(a, "--bmp") == 0)
            o->bmp = v;
        else if (strcmp(a, "--filters") == 0)
            o->filters = v;
        else if (strcmp(a, "--dump-iter") == 0)
            o->dumpIter = v;
        else if (strcmp(a, "--dump-bgr") == 0)
            o->dumpBgr = v;
        else if (strcmp(a, "--dump-index") == 0)
            o->dumpIndex = v;
        else if (strcmp(a, "--dump-values") == 0)
            o->dumpValues = v;
        else if (strcmp(a, "--dump-draw") == 0)
            o->dumpDraw = v;
        else if (strcmp(a, "--dump-depth") == 0)
            o->dumpDepth = v;
        else if (strcmp(a, "--formulas") == 0)
            o->formulaFiles.push_back(v);
        else if (strcmp(a, "--stop-after") == 0)
            ok = ParseInt(v, 0, 2147483647, &o->stopAfter);
        else
            return Fail("unknown argument %s", a);
        if (!ok)
            return Fail("bad value %s", v);
    }
    if (!o->file || !o->entry) {
        fprintf(stderr, "usage: spxcalc render FILE --entry NAME [--path DIR] [--size WxH] [--passes N] "
                        "[--eliminate N] [--periodicity N] [--maxiter N] [--png OUT] [--jpeg OUT] [--bmp OUT] "
                        "[--filters FILE] [--dump-iter OUT] "
                        "[--dump-bgr OUT] [--dump-index OUT] [--dump-values OUT] [--dump-draw OUT] [--dump-depth OUT] [--formulas F.ifs|F.l ...] "
                        "[--stats] [--stop-after MS]\n");
        return 2;
    }
    return 0;
}

// 0 applied; 2 when a setting does not fit the fractal's type.
int ApplySettings(Fractal* f, const RenderOptions& o)
{
    if (o.width > 0) {
        double rx = f->header->Width > 0 ? (double)o.width / f->header->Width : 1.0;
        double ry = f->header->Height > 0 ? (double)o.height / f->header->Height : 1.0;
        ForEachLayerRecord(f, [&](Layer* layer) {
            if (Fractal* lf = layer->fractal) {
                lf->header->Width = (int)floor(lf->header->Width * rx + 0.5);
                lf->header->Height = (int)floor(lf->header->Height * ry + 0.5);
            }
            layer->leftOffset *= rx;
            layer->bottomOffset *= ry;
        });
        f->header->Width = o.width;
        f->header->Height = o.height;
    }
    bool escape = f->header->Type == FT_ESCAPETIME && f->typeParameters;
    bool any = o.passes >= 0 || o.eliminate >= 0 || o.periodicity >= 0 || o.setMaxIter;
    if (!escape)
        return any ? Fail("%s", "--passes, --eliminate, --periodicity and --maxiter need an escape-time entry") : 0;
    EscapetimeParameters* b = static_cast<EscapetimeParameters*>(f->typeParameters);
    if (o.passes >= 0)
        b->Passes = o.passes;
    if (o.eliminate >= 0)
        b->Eliminate = o.eliminate;
    if (o.periodicity >= 0)
        b->Periodicity = o.periodicity;
    if (o.setMaxIter)
        b->MaxIter = o.maxIter;
    return 0;
}

FILE* OpenOut(const char* path, const char* mode)
{
    FILE* file = fopen(path, mode);
    if (!file)
        fprintf(stderr, "spxcalc render: cannot write %s\n", path);
    return file;
}

// The 24-bit colour of an image pixel (column x, stored row y).
void PixelColour(const Fractal* f, int x, int y, unsigned char bgr[3])
{
    const FractalTask* t = f->task;
    size_t stride = (size_t)f->GetImageStride();
    if (f->header->DisplayDepth == 24) {
        memcpy(bgr, t->imageBits + (y * stride + x) * 3, 3);
        return;
    }
    const RGBQUAD& q = t->dib.colors[t->imageBits[y * stride + x]];
    bgr[0] = q.rgbBlue;
    bgr[1] = q.rgbGreen;
    bgr[2] = q.rgbRed;
}

bool WriteBgr(const Fractal* f, const char* path)
{
    FILE* file = OpenOut(path, "wb");
    if (!file)
        return false;
    for (int y = 0; y < f->header->Height; ++y)
        for (int x = 0; x < f->header->Width; ++x) {
            unsigned char bgr[3];
            PixelColour(f, x, y, bgr);
            fwrite(bgr, 1, 3, file);
        }
    fclose(file);
    return true;
}

// A text dump: one line per image row, top first, of what cell(x, y)
// prints for stored row y.
template <class Cell>
bool WriteRows(const Fractal* f, const char* path, Cell cell)
{
    FILE* file = OpenOut(path, "w");
    if (!file)
        return false;
    for (int y = f->header->Height - 1; y >= 0; --y) {
        for (int x = 0; x < f->header->Width; ++x) {
            if (x)
                fputc(' ', file);
            cell(file, x, y);
        }
        fputc('\n', file);
    }
    fclose(file);
    return true;
}

// The open --dump-draw file; the trace hook writes one line per step.
FILE* g_drawFile = nullptr;

void WriteDrawStep(const double* values, int count)
{
    for (int i = 0; i < count; ++i)
        fprintf(g_drawFile, i ? " %.10g" : "%.10g", values[i]);
    fputc('\n', g_drawFile);
}

// The IFS and L-system formulas: the files given, else the program's own.
bool LoadDrawingFormulas(const RenderOptions& o)
{
    if (o.formulaFiles.empty()) {
        std::string own = OwnFormulaFolder();
        if (!own.empty())
            LoadOwnFormulaFiles(own.c_str());
        return true;
    }
    for (const char* file : o.formulaFiles)
        if (!LoadFormulaFileByExtension(file)) {
            Fail("cannot load formulas from %s", file);
            return false;
        }
    return true;
}

bool IsDrawingType(int type)
{
    return type == FT_IFS || type == FT_LSYSTEM || type == FT_PLASMA || type == FT_DYNAMICSYSTEM;
}

}  // namespace

int RunRenderCommand(int argc, char** argv)
{
    RenderOptions o;
    int rc = ParseOptions(argc, argv, &o);
    if (rc)
        return rc;
    LoadRenderFormulaFolders(o.path);
    InstallImageFilterRoad();
    if ((rc = ApplyAttractorRenderOptions(o.workers, (unsigned)o.seed)) != 0)
        return rc;
    if (!LoadDrawingFormulas(o))
        return 2;
    if (o.filters && LoadImageFilterFile(nullptr, o.filters) == 0) {
        FlushRenderMessages();
        return Fail("no image filter read from %s", o.filters);
    }
    Fractal* f = nullptr;
    std::string error;
    if (ReadRenderEntry(o.file, o.entry, &f, error) != 0) {
        FlushRenderMessages();
        return Fail("%s", error.c_str());
    }
    if ((rc = ApplySettings(f, o)) != 0)
        return rc;
    if (f->header->Type == FT_QUATERNION) {
        QuaternionRenderRequest q;
        q.workers = o.workers;
        q.stopAfter = o.stopAfter;
        q.png = o.png;
        q.dumpBgr = o.dumpBgr;
        q.dumpDepth = o.dumpDepth;
        q.stats = o.stats;
        return RenderQuaternion(f, q);
    }

    int bufferWidth = f->GetBufferWidth();
    std::vector<int32_t> counts;
    if (o.dumpIter) {
        counts.assign((size_t)bufferWidth * f->header->Height, 0);
        g_IterationRecord.counts = counts.data();
        g_IterationRecord.stride = bufferWidth;
    }
    if (o.dumpDraw) {
        if (!(g_drawFile = OpenOut(o.dumpDraw, "w")))
            return 2;
        g_DrawTrace = WriteDrawStep;
    }
    ThreadRun run;
    bool ran = (f->header->Type != FT_LAYERED || RunLayerCalculations(f)) && RunThreadCalculation(f, o.stopAfter, &run);
    g_DrawTrace = nullptr;
    if (g_drawFile) {
        fclose(g_drawFile);
        g_drawFile = nullptr;
    }
    if (!ran) {
        FlushRenderMessages();
        fprintf(stderr, "spxcalc render: no task for the fractal\n");
        return 1;
    }
    g_IterationRecord.counts = nullptr;
    FractalTask* t = f->task;
    int w = f->header->Width, h = f->header->Height;
    bool written = true;
    if (o.dumpIter)
        written &= WriteRows(f, o.dumpIter, [&](FILE* file, int x, int y) {
            fprintf(file, "%d", (int)counts[(size_t)y * bufferWidth + x]);
        });
    if (o.dumpValues)
        written &= WriteRows(f, o.dumpValues, [&](FILE* file, int x, int y) {
            fprintf(file, "%.9g", (double)t->values[(size_t)y * bufferWidth + x]);
        });
    if (o.dumpIndex) {
        if (f->header->DisplayDepth != 8) {
            fprintf(stderr, "spxcalc render: --dump-index needs an 8-bit image\n");
            written = false;
        } else {
            size_t stride = (size_t)f->GetImageStride();
            written &= WriteRows(f, o.dumpIndex, [&](FILE* file, int x, int y) {
                fprintf(file, "%d", t->imageBits[y * stride + x]);
            });
        }
    }
    if (o.dumpBgr)
        written &= WriteBgr(f, o.dumpBgr);
    // The image writers embed the entry (PNG, JPEG); a failure names the
    // writer's error code.
    struct Output {
        const char* path;
        bool (*save)(Fractal*, const char*);
    };
    const Output outputs[] = {
        {o.png, [](Fractal* fr, const char* p) { return SaveFractalPng(fr, p, false, nullptr); }},
        {o.jpeg, [](Fractal* fr, const char* p) { return SaveFractalJpeg(fr, p, false, nullptr); }},
        {o.bmp, [](Fractal* fr, const char* p) { return SaveFractalBmp(fr, p, false); }},
    };
    for (const Output& out : outputs)
        if (out.path && !out.save(f, out.path)) {
            fprintf(stderr, "spxcalc render: cannot write %s (error %d)\n", out.path, (int)WorkerErrorCode);
            written = false;
        }
    if (f->header->Type == FT_ATTRACTOR) {
        // Attractors count accumulated points; the stop is sent as soon as
        // --stop-after has passed, so the rest of the run is the answer time.
        if (o.stats)
            printf("points=%.0f ms=%lu\n", t->attractorPointCount, run.ms);
        if (o.stopAfter >= 0 && run.result == 3)
            printf("stop_ms=%ld\n", (long)run.ms - o.stopAfter);
    } else if (o.stats) {
        long long calculated = 0, eliminated = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned char flag = t->flags[(size_t)y * bufferWidth + x];
                if (flag & PF_ELIMINATED)
                    ++eliminated;
                else if (flag & PF_CALCULATED)
                    ++calculated;
            }
        printf("pixels=%lld calculated=%lld eliminated=%lld invalid=%lld ms=%lu\n", (long long)w * h, calculated,
               eliminated, g_EscapeTimeStatistics.invalid, run.ms);
    }
    FlushRenderMessages();
    if (run.criticalBoxes)
        fprintf(stderr, "spxcalc render: %d Critical Error boxes\n", run.criticalBoxes);
    bool drawing = IsDrawingType(f->header->Type);
    DeleteFractalTask(f, 1, 0, 0);
    printf("result=%d\n", run.result);
    fflush(stdout);
    if (run.result == 0 || (run.result == 3 && !drawing))
        return written ? 0 : 2;
    if (g_EscapeTimeStatistics.shownText[0])
        fprintf(stderr, "%s\n", g_EscapeTimeStatistics.shownText);
    return 1;
}
