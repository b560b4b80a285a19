// The rows of a 2D escape-time render job: each pixel row is sampled level
// by level through the image store, refined where colours differ, averaged
// and appended to the three raw files; an interruption leaves a checkpoint
// (".hist") that the next start continues from. The raw files always hold
// exactly the rows finished: a fresh start empties them, a resumed one cuts
// them to the checkpoint's row before appending.
#include "files/renderjob/RenderJob.h"

#include <io.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <vector>
#include <windows.h>

#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "files/renderjob/ImageStore.h"
#include "foundation/Messages.h"

JobSampleSource g_JobSampleSource = nullptr;

namespace {

struct RawFiles {
    FILE* bits = nullptr;
    FILE* alpha = nullptr;
    FILE* flags = nullptr;

    ~RawFiles() { Close(); }
    void Close()
    {
        if (bits) fclose(bits);
        if (alpha) fclose(alpha);
        if (flags) fclose(flags);
        bits = alpha = flags = nullptr;
    }
};

// Opens one raw file holding exactly rows rows of rowBytes bytes,
// positioned at its end.
FILE* OpenRawFile(const char* path, int rows, long rowBytes)
{
    if (rows == 0)
        return fopen(path, "wb");
    FILE* file = fopen(path, "r+b");
    if (!file)
        file = fopen(path, "w+b");
    if (!file)
        return nullptr;
    long wanted = (long)rows * rowBytes;
    if (_chsize(_fileno(file), wanted) != 0) {
        fclose(file);
        return nullptr;
    }
    fseek(file, 0, SEEK_END);
    return file;
}

// The opacity of the sample from its first value and opacity cell: the
// alpha table interpolated at first value x 399, times third / 65535.
float SampleAlpha(const Fractal* fractal, float first, uint32_t third)
{
    double a = 1.0;
    if (first != -1.0f) {
        double t = first * 399.0;
        int i = (int)t;
        double fraction = t - i;
        auto entry = [&](int index) -> double {
            if (index == 400) index = 0;
            if (index == 401) index = 1;
            if (index < 0 || index >= 400) index = ((index % 400) + 400) % 400;
            return fractal->alphaChannel.alphaTable[index];
        };
        a = (entry(i) + (entry(i + 1) - entry(i)) * fraction) / 255.0;
    }
    return (float)(a * third / 65535.0);
}

}  // namespace

int RenderJob::CalculateRows(Fractal* f, JobSampleSource source, void* context, bool (*interrupted)(void*),
                             void* interruptContext)
{
    int b = base3 ? 3 : 2;
    int e = antiAliasing ? GetEffectiveDepth(f) : 0;
    int width = f->header->Width, height = f->header->Height;
    ImageStore store(this, f);
    if (!store.Allocate(width, e, b))
        return JR_FILE_FAILED;
    int ss = store.ss;
    int row = 0;
    RestoreHistory(&store, &row);
    if (row < 0 || row > height)
        row = 0;
    RawFiles files;
    files.bits = OpenRawFile(store.bitsPath, row, 3L * width);
    files.alpha = OpenRawFile(store.alphaPath, row, 4L * width);
    files.flags = OpenRawFile(store.flagsPath, row, width);
    if (!files.bits || !files.alpha || !files.flags) {
        const char* lines[] = {"Renderjob cannot write its rows", store.bitsPath, nullptr};
        AddMessage(lines, MSG_ERROR, 0, 0, 0, 0, 0, 0, false);
        return JR_FILE_FAILED;
    }
    int ox = store.origin, oy = store.OutputSubRow();
    std::vector<uint8_t> scratch((size_t)width * 4);
    for (int r = row; r < height; r++) {
        if (f->task)
            f->task->progress = (double)r / height;
        if (interrupted && interrupted(interruptContext)) {
            SaveHistory(&store, r);
            return JR_INTERRUPTED;
        }
        int firstLine = b == 2 ? r * ss : (r - 1) * ss;
        for (int level = 0; level <= e; level++) {
            int s = (int)floor(ss / pow((double)b, level) + 0.5);
            int firstColumn = b == 2 ? 0 : (s - 1) / 2;
            SampleRequest request;
            request.store = &store;
            request.firstSubRow = b == 2 ? 0 : ss + firstColumn;
            request.endSubRow = level == 0 ? b * ss : (b - 1) * ss;
            request.firstColumn = firstColumn;
            request.step = s;
            request.firstLine = firstLine;
            if (source && !source(context, request)) {
                SaveHistory(&store, r);
                return JR_INTERRUPTED;
            }
            store.RefineBlocks(b, width * ss, s, threshold, ss, r);
        }
        for (int x = 0; x < width; x++) {
            int column = ox + x * ss;
            double solid = SolidPixelAlpha(f, store.flags[oy][column]);
            float alpha = solid >= 0.0 ? (float)solid
                                       : SampleAlpha(f, store.firstValues[oy][column], store.thirdValues[oy][column]);
            memcpy(&store.rowBuffer[x], &alpha, 4);
        }
        store.RefineRows(b, width * ss, ss);
        bool ok = fwrite(store.rowBuffer, 4, width, files.alpha) == (size_t)width;
        for (int x = 0; x < width; x++)
            memcpy(&scratch[3 * x], &store.colours[oy][3 * (ox + x * ss)], 3);
        ok = ok && fwrite(scratch.data(), 3, width, files.bits) == (size_t)width;
        for (int x = 0; x < width; x++)
            scratch[x] = store.flags[oy][ox + x * ss] & 0x77;
        ok = ok && fwrite(scratch.data(), 1, width, files.flags) == (size_t)width;
        if (!ok)
            return JR_FILE_FAILED;
        store.ScrollUp();
    }
    return JR_DONE;
}

void RenderJob::SaveHistory(ImageStore* store, int row)
{
    char path[260];
    RawFilePath("hist", path);
    FILE* file = fopen(path, "wb");
    if (!file)
        return;
    int32_t head[2] = {version, row};
    fwrite(head, 4, 2, file);
    size_t n = (size_t)store->ss * store->width;
    for (int i = 0; i < store->ss; i++) {
        fwrite(store->flags[i], 1, n, file);
        fwrite(store->colours[i], 3, n, file);
        fwrite(store->firstValues[i], 4, n, file);
        fwrite(store->secondValues[i], 4, n, file);
        fwrite(store->thirdValues[i], 4, n, file);
    }
    fclose(file);
}

bool RenderJob::RestoreHistory(ImageStore* store, int* row)
{
    char path[260];
    RawFilePath("hist", path);
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    int32_t head[2] = {0, 0};
    bool ok = fread(head, 4, 2, file) == 2 && head[0] == version;
    size_t n = (size_t)store->ss * store->width;
    for (int i = 0; ok && i < store->ss; i++) {
        ok = fread(store->flags[i], 1, n, file) == n && fread(store->colours[i], 3, n, file) == n &&
             fread(store->firstValues[i], 4, n, file) == n && fread(store->secondValues[i], 4, n, file) == n &&
             fread(store->thirdValues[i], 4, n, file) == n;
    }
    fclose(file);
    DeleteFileA(path);
    if (!ok) {
        // A checkpoint of another version or a cut one: start again from row 0.
        store->Allocate(store->width, store->depth, store->base);
        return false;
    }
    *row = head[1];
    return true;
}
