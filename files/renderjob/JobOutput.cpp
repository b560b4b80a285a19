// The output side of render jobs: the raw files of types that calculate
// into the task's image at the supersampled size (averaged down here), and
// the final PNG or JPEG written from the raw files, top row first, with the
// entry embedded. Reads are bounded by the source image, so an image
// smaller than the job asks for gives black, never foreign memory.
#include "files/renderjob/RenderJob.h"

#include <stdlib.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "files/image/ImageWrite.h"
#include "view3d/Parameters3D.h"

double SolidPixelAlpha(const Fractal* fractal, uint8_t flags)
{
    if (!(flags & PF_SOLID))
        return -1.0;
    int alpha = 255;
    if (fractal->header->Type == FT_ESCAPETIME && fractal->typeParameters) {
        const EscapetimeParameters* e = static_cast<const EscapetimeParameters*>(fractal->typeParameters);
        alpha = (flags & PF_MAPSOLID) ? e->SolidOpacityTransformation
                : (flags & PF_INSIDE) ? e->insideColouring.SolidOpacity
                                      : e->outsideColouring.SolidOpacity;
    }
    return alpha / 255.0;
}

namespace {

// The calculated picture of a job fractal: rows bottom-up.
struct JobSource {
    const uint8_t* bits = nullptr;
    int width = 0, height = 0;
    size_t rowBytes = 0;
    const uint8_t* flags = nullptr;     // rows of flagStride, or null
    int flagStride = 0;
    const Array2D* alpha = nullptr;     // opacity cells, or null

    const uint8_t* Pixel(int row, int column) const
    {
        static const uint8_t kBlack[3] = {0, 0, 0};
        if (row < 0 || row >= height || column < 0 || column >= width)
            return kBlack;
        return bits + row * rowBytes + 3 * (size_t)column;
    }
    uint8_t Flag(int row, int column) const
    {
        if (!flags || row < 0 || row >= height || column < 0 || column >= flagStride)
            return 0;
        return flags[(size_t)row * flagStride + column];
    }
    float Alpha(const Fractal* fractal, int row, int column) const
    {
        double solid = SolidPixelAlpha(fractal, Flag(row, column));
        if (solid >= 0.0)
            return (float)solid;
        // A type without opacity cells is opaque (a plasma job's PNG must
        // not come out transparent); outside the source nothing shows.
        if (!alpha)
            return row >= 0 && row < height && column >= 0 && column < width ? 1.0f : 0.0f;
        if (row < 0 || row >= alpha->height || column < 0 || column >= alpha->width)
            return 0.0f;
        uint32_t v = static_cast<const uint32_t*>(alpha->data)[(size_t)row * alpha->width + column];
        return (float)((v >> 16) / 65535.0 * ((v & 0xFFFF) / 65535.0));
    }
};

bool TakeJobSource(Fractal* fractal, JobSource& source)
{
    FractalTask* task = fractal->task;
    FractalHeader* h = fractal->header;
    if (!task)
        return false;
    if (h->Dims) {
        bool openGl = fractal->params3D && fractal->params3D->Mode3D == 1 && h->Type != FT_QUATERNION;
        if (openGl && task->renderer && task->renderer->data) {
            source.bits = static_cast<const uint8_t*>(task->renderer->data);
            source.width = task->renderer->imageWidth;
            source.height = task->renderer->imageHeight;
            source.rowBytes = ((size_t)source.width * 3 + 3) & ~(size_t)3;
            return true;
        }
        source.bits = task->image3D;
    } else {
        if (h->Type == FT_ESCAPETIME)
            return false;   // calculated through the image store
        source.bits = h->DisplayDepth == 24 ? task->imageBits : nullptr;
    }
    source.width = h->Width;
    source.height = h->Height;
    source.rowBytes = (size_t)fractal->GetImageStride() * 3;
    source.flags = task->flags;
    source.flagStride = fractal->GetBufferWidth();
    int type = h->Type;
    if ((type == FT_ESCAPETIME || type == FT_QUATERNION || type == FT_ATTRACTOR) && task->oldz &&
        task->oldz->IsAllocated())
        source.alpha = task->oldz;
    return source.bits != nullptr;
}

}  // namespace

void RenderJob::StoreResult(Fractal* fractal, RenderJob* job)
{
    JobSource source;
    if (!fractal || !job || !TakeJobSource(fractal, source))
        return;
    char bitsPath[260], flagsPath[260], alphaPath[260];
    job->RawFilePath("bits", bitsPath);
    job->RawFilePath("flags", flagsPath);
    job->RawFilePath("alpha", alphaPath);
    FILE* bits = fopen(bitsPath, "wb");
    FILE* flags = fopen(flagsPath, "wb");
    FILE* alpha = source.alpha || source.flags ? fopen(alphaPath, "wb") : nullptr;
    // Without alpha rows of its own the job must not show an earlier run's.
    if (!alpha)
        DeleteFileA(alphaPath);
    int width = job->width;
    int depth = job->GetEffectiveDepth(fractal);
    int factor = depth == 0 ? 1 : job->base3 ? 3 : 2;
    std::vector<uint8_t> colourRow((size_t)width * 3), flagRow(width);
    std::vector<float> alphaRow(width);
    for (int k = 0; k < job->height; k++) {
        int top = k * factor;   // the first source row of output row k
        for (int j = 0; j < width; j++) {
            int left = j * factor;
            for (int channel = 0; channel < 3; channel++) {
                int value;
                if (factor == 1) {
                    value = source.Pixel(top, left)[channel];
                } else if (factor == 2) {
                    value = (source.Pixel(top, left)[channel] + source.Pixel(top, left + 1)[channel] +
                             source.Pixel(top + 1, left)[channel] + source.Pixel(top + 1, left + 1)[channel]) >> 2;
                } else {
                    static const int kWeights[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
                    int sum = 0;
                    for (int dy = 0; dy < 3; dy++)
                        for (int dx = 0; dx < 3; dx++)
                            sum += kWeights[dy][dx] * source.Pixel(top + dy, left + dx)[channel];
                    value = (sum + 3) / 16;
                }
                colourRow[3 * j + channel] = (uint8_t)value;
            }
            flagRow[j] = source.Flag(top, left);
            alphaRow[j] = source.Alpha(fractal, top, left);
        }
        if (bits) fwrite(colourRow.data(), 3, width, bits);
        if (flags) fwrite(flagRow.data(), 1, width, flags);
        if (alpha) fwrite(alphaRow.data(), 4, width, alpha);
    }
    if (bits) fclose(bits);
    if (flags) fclose(flags);
    if (alpha) fclose(alpha);
}

// ----- The output image

bool RenderJob::WriteImage(const char* path)
{
    char bitsPath[260], alphaPath[260];
    RawFilePath("bits", bitsPath);
    RawFilePath("alpha", alphaPath);
    FILE* colours = fopen(bitsPath, "rb");
    FILE* alpha = fopen(alphaPath, "rb");
    char* text = GetParameterText();
    bool ok = colours && text;
    if (ok)
        ok = jpeg ? WriteJpeg(text, colours, alpha, path) : WritePng(text, colours, alpha, path);
    free(text);
    if (colours) fclose(colours);
    if (alpha) fclose(alpha);
    return ok;
}

namespace {

// Reads raw row height-1-i (the raw files are bottom-up) for image row i.
struct RawRowReader {
    FILE* colours;
    FILE* alpha;       // null: no alpha channel
    int width, height;
    std::vector<uint8_t> pixels;
    std::vector<float> alphas;

    bool Read(int rowFromTop)
    {
        long raw = height - 1 - rowFromTop;
        std::fill(pixels.begin(), pixels.end(), 0);
        if (fseek(colours, raw * 3L * width, SEEK_SET) != 0)
            return false;
        size_t got = fread(pixels.data(), 3, width, colours);
        if (got != (size_t)width)
            return false;
        if (alpha) {
            std::fill(alphas.begin(), alphas.end(), 0.0f);
            if (fseek(alpha, raw * 4L * width, SEEK_SET) != 0 ||
                fread(alphas.data(), 4, width, alpha) != (size_t)width)
                return false;
        }
        return true;
    }
};

struct PngRows {
    RawRowReader reader;
    std::vector<uint8_t> out;
};

bool NextPngRow(void* context, int rowFromTop, unsigned char** row)
{
    PngRows& rows = *static_cast<PngRows*>(context);
    WorkerProgress = (double)rowFromTop / rows.reader.height;
    if (!rows.reader.Read(rowFromTop))
        return false;
    if (!rows.reader.alpha) {
        *row = rows.reader.pixels.data();
        return true;
    }
    for (int x = 0; x < rows.reader.width; x++) {
        memcpy(&rows.out[4 * x], &rows.reader.pixels[3 * x], 3);
        double a = rows.reader.alphas[x];
        rows.out[4 * x + 3] = a <= 0.0 ? 0 : a >= 1.0 ? 255 : (uint8_t)(a * 255.0);
    }
    *row = rows.out.data();
    return true;
}

bool NextJpegRow(void* context, int rowFromTop, unsigned char* rgb)
{
    RawRowReader& reader = *static_cast<RawRowReader*>(context);
    WorkerProgress = (double)rowFromTop / reader.height;
    if (!reader.Read(rowFromTop))
        return false;
    for (int x = 0; x < reader.width; x++) {
        rgb[3 * x] = reader.pixels[3 * x + 2];
        rgb[3 * x + 1] = reader.pixels[3 * x + 1];
        rgb[3 * x + 2] = reader.pixels[3 * x];
    }
    return true;
}

}  // namespace

bool RenderJob::WritePng(const char* text, FILE* colours, FILE* alpha, const char* path)
{
    bool withAlpha = alpha && (options.pngTransparency & 0xFF);
    PngRows rows{{colours, withAlpha ? alpha : nullptr, width, height, {}, {}}, {}};
    rows.reader.pixels.resize((size_t)width * 3);
    rows.reader.alphas.resize(width);
    rows.out.resize((size_t)width * 4);
    // An attractor's background colour is its transparent colour.
    const unsigned char* background = nullptr;
    if (fractal && fractal->header->Type == FT_ATTRACTOR && (options.pngTransparency & 0xFF) &&
        fractal->typeParameters)
        background = static_cast<const AttractorParameters*>(fractal->typeParameters)->BackgroundColor;
    return WritePngRows(path, width, height, 3, nullptr, text, withAlpha, NextPngRow, &rows, background);
}

bool RenderJob::WriteJpeg(const char* text, FILE* colours, FILE*, const char* path)
{
    RawRowReader reader{colours, nullptr, width, height, {}, {}};
    reader.pixels.resize((size_t)width * 3);
    return WriteJpegFile(path, width, height, text, &options, NextJpegRow, &reader);
}
