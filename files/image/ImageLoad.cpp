// Reading an image with embedded parameters into an image fractal. The
// picture is decoded by libpng or libjpeg and stored bottom-up as the task
// keeps its 24-bit image; the embedded entry ("Parameter" text chunk, or
// the first JPEG comment starting "SPIRALIX:") is parsed in memory, so no
// temporary file is shared between loads. JPEG comments are kept up to the
// 65,533 bytes a marker can hold, the most the writer puts there.
#include "files/image/ImageLoad.h"

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include <png.h>
#include <jpeglib.h>

#include "calc/FractalTask.h"
#include "calc/task/TaskBuffers.h"
#include "calc/task/TaskHooks.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "files/ParameterLoad.h"
#include "files/entry/EntryHead.h"
#include "files/entry/EntryReader.h"
#include "files/entry/ParameterFile.h"
#include "files/image/ImageWrite.h"
#include "foundation/FileUtil.h"

namespace {

const char kEmbeddedPrefix[] = "SPIRALIX:";
const unsigned kLongestComment = 65533;

// Chooses the fractal by the image size against the primary screen and
// clears the other member of the pair.
Fractal* ChooseTarget(ImageFractalPair* pair, unsigned width, unsigned height)
{
    unsigned screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (width < screenWidth - 40 && height < screenHeight - 50) {
        pair->fixedSize = nullptr;
        return pair->normal;
    }
    pair->normal = nullptr;
    return pair->fixedSize;
}

// Gives the target its image size: through the open task, or a windowless
// task made here. False when the buffers cannot be had (code 4).
bool SizeTarget(Fractal* target, int width, int height)
{
    target->header->DisplayDepth = 24;
    bool ok;
    if (target->task) {
        ok = target->SetSize(width, height, 1, 1) == 0;
    } else {
        FractalTask* task = new FractalTask();
        task->fractal = target;
        target->task = task;
        target->header->Width = target->header->Height = 0;
        ok = SetTaskImageSize(target, width, height) == 0;
        target->header->Width = width;
        target->header->Height = height;
    }
    if (!ok) {
        WorkerErrorCode = 4;
        return false;
    }
    FractalTask* task = target->task;
    task->command = 0;
    task->calculationState = CS_IMAGE_DONE;
    if (g_TaskHooks.sizeWindow) {
        unsigned screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
        bool fits = (unsigned)width <= screenWidth - 50 && (unsigned)height <= screenHeight - 75;
        g_TaskHooks.sizeWindow(task, fits ? width : screenWidth - 100, fits ? height : screenHeight - 100);
    }
    if (g_TaskHooks.showWindow)
        g_TaskHooks.showWindow(task);
    return true;
}

unsigned char* ImageRow(Fractal* target, int rowFromTop)
{
    int stored = target->header->Height - 1 - rowFromTop;
    return target->task->imageBits + (size_t)stored * target->GetImageStride() * 3;
}

// Draws the rows decoded since the last drawing, at most once per 10 ms.
struct RowDrawing {
    Fractal* target;
    DWORD last = GetTickCount();
    int firstPending = 0;

    void After(int rowFromTop, bool force)
    {
        if (!g_TaskHooks.drawImageRows || (!force && GetTickCount() - last < 10))
            return;
        int height = target->header->Height;
        g_TaskHooks.drawImageRows(target, height - 1 - rowFromTop, height - 1 - firstPending);
        firstPending = rowFromTop + 1;
        last = GetTickCount();
    }
};

void SetGreyOrPaletteColours(Fractal* target, const png_color* palette, int count, bool grey)
{
    RGBQUAD* table = target->task->dib.colors;
    for (int i = 0; i < 256; i++) {
        RGBQUAD c = {0, 0, 0, 0};
        if (grey)
            c.rgbRed = c.rgbGreen = c.rgbBlue = (BYTE)i;
        else if (i < count)
            c.rgbRed = palette[i].red, c.rgbGreen = palette[i].green, c.rgbBlue = palette[i].blue;
        table[i] = c;
    }
}

}  // namespace

void MakeImageFractalPair(const char* name, ImageFractalPair* pair)
{
    for (Fractal** f : {&pair->fixedSize, &pair->normal}) {
        *f = new Fractal(FT_IMAGE, 0);
        (*f)->SetName(name);
        (*f)->header->DisplayDepth = 24;
    }
    pair->fixedSize->header->Scrollbar = 1;
}

FractalFolder* LinkEmbeddedEntries(Fractal* image, const char* imagePath, const char* text, int length)
{
    std::string all(text, length);
    EntryRange range;
    if (!NextEntryRange(all.c_str(), 0, &range))
        return nullptr;
    char directory[MAX_PATH] = "", fileName[MAX_PATH] = "";
    FolderOfPath(imagePath, directory);
    FileNameOfPath(imagePath, fileName);
    FolderNameFromFile(fileName);
    FractalFolder* folder = new FractalFolder(directory, fileName, FOLDER_PARAMETERS, true, true);
    Fractal* first = nullptr;
    Fractal* layered = nullptr;
    Fractal* previous = nullptr;
    for (int from = 0; NextEntryRange(all.c_str(), from, &range); from = range.close + 1) {
        std::string piece = all.substr(range.begin, range.close + 1 - range.begin);
        std::string name = EntryNameBeforeBrace(piece.c_str(), range.open - range.begin, nullptr);
        if (_stricmp(name.c_str(), "comment") == 0 || name.find(':') != std::string::npos)
            continue;
        Fractal* f = new Fractal();
        f->SetName(name.c_str());
        f->pendingEntryText = strdup(piece.c_str());
        folder->InsertFractalAfter(f, previous);
        previous = f;
        if (layered)
            continue;   // parsed when first used
        char* pending = f->pendingEntryText;
        f->pendingEntryText = nullptr;
        Fractal* parsed = ReadParameterEntry(f, pending, nullptr, false, -1, 0.0);
        free(pending);
        if (!parsed)
            continue;
        if (!first)
            first = f;
        if (f->header->Type == FT_LAYERED)
            layered = f;
    }
    Fractal* linked = layered ? layered : first;
    if (linked) {
        image->linkedFractal = linked;
        linked->linkedFractal = image;
    }
    return folder;
}

// ----- PNG

bool LoadPngWithParameters(const char* path, ImageFractalPair* pair)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        WorkerErrorCode = 1;
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    png_infop endInfo = info ? png_create_info_struct(png) : nullptr;
    if (!endInfo) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        fclose(file);
        WorkerErrorCode = 3;
        return false;
    }
    unsigned char* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        free(rows);
        png_destroy_read_struct(&png, &info, &endInfo);
        fclose(file);
        if (!WorkerErrorCode)
            WorkerErrorCode = 2;
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    int colourType = png_get_color_type(png, info);
    png_colorp palette = nullptr;
    int paletteCount = 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_get_PLTE(png, info, &palette, &paletteCount);
    std::vector<png_color> paletteCopy(palette, palette + paletteCount);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_packing(png);
    if (!(colourType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    int channels = png_get_channels(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    if (channels != 3 && channels != 4)
        png_error(png, "unexpected pixel layout");
    Fractal* target = ChooseTarget(pair, width, height);
    if (!SizeTarget(target, width, height))
        png_error(png, "no memory");
    target->StopCalculation();
    if (colourType == PNG_COLOR_TYPE_PALETTE || !(colourType & PNG_COLOR_MASK_COLOR))
        SetGreyOrPaletteColours(target, paletteCopy.data(), paletteCount, colourType != PNG_COLOR_TYPE_PALETTE);
    // Whole image first: interlaced files deliver every row several times.
    rows = static_cast<unsigned char*>(malloc(rowBytes * height));
    if (!rows) {
        WorkerErrorCode = 4;
        png_error(png, "no memory");
    }
    std::vector<png_bytep> pointers(height);
    for (png_uint_32 y = 0; y < height; y++)
        pointers[y] = rows + y * rowBytes;
    png_read_image(png, pointers.data());
    RowDrawing drawing{target};
    bool cancelled = false;
    for (png_uint_32 y = 0; y < height && !cancelled; y++) {
        unsigned char* out = ImageRow(target, y);
        for (png_uint_32 x = 0; x < width; x++) {
            const unsigned char* p = pointers[y] + x * channels;
            bool clear = channels == 4 && p[3] == 0;
            out[3 * x] = clear ? 255 : p[0];
            out[3 * x + 1] = clear ? 255 : p[1];
            out[3 * x + 2] = clear ? 255 : p[2];
        }
        WorkerProgress = (double)y / height;
        drawing.After(y, false);
        cancelled = WorkerCancelState != 0;
    }
    free(rows);
    rows = nullptr;
    if (cancelled) {
        png_destroy_read_struct(&png, &info, &endInfo);
        fclose(file);
        return false;
    }
    drawing.After(height - 1, true);
    png_read_end(png, endInfo);
    // The "Parameter" chunk may come before or after the image data.
    for (png_infop chunks : {info, endInfo}) {
        png_textp texts = nullptr;
        int count = png_get_text(png, chunks, &texts, nullptr);
        for (int i = 0; i < count; i++)
            if (strcmp(texts[i].key, "Parameter") == 0)
                LinkEmbeddedEntries(target, path, texts[i].text, (int)texts[i].text_length);
    }
    png_destroy_read_struct(&png, &info, &endInfo);
    fclose(file);
    return true;
}

// ----- JPEG

bool LoadJpegWithParameters(const char* path, ImageFractalPair* pair)
{
    jpeg_decompress_struct decompressor;
    JpegErrorManager errors;
    decompressor.err = SetupJpegErrors(&errors);
    FILE* volatile file = nullptr;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&decompressor);
        if (file)
            fclose(file);
        WorkerErrorCode = 5;
        return false;
    }
    jpeg_create_decompress(&decompressor);
    jpeg_save_markers(&decompressor, JPEG_COM, kLongestComment);
    file = fopen(path, "rb");
    if (!file) {
        jpeg_destroy_decompress(&decompressor);
        WorkerErrorCode = 1;
        return false;
    }
    jpeg_stdio_src(&decompressor, file);
    jpeg_read_header(&decompressor, TRUE);
    decompressor.out_color_space = JCS_RGB;
    jpeg_start_decompress(&decompressor);
    int width = decompressor.output_width, height = decompressor.output_height;
    Fractal* target = ChooseTarget(pair, width, height);
    if (!SizeTarget(target, width, height)) {
        jpeg_destroy_decompress(&decompressor);
        fclose(file);
        return false;
    }
    target->StopCalculation();
    std::vector<unsigned char> line((size_t)width * decompressor.output_components);
    RowDrawing drawing{target};
    while (decompressor.output_scanline < decompressor.output_height) {
        int s = decompressor.output_scanline;
        JSAMPROW rows[1] = {line.data()};
        jpeg_read_scanlines(&decompressor, rows, 1);
        unsigned char* out = ImageRow(target, s);
        for (int x = 0; x < width; x++) {
            out[3 * x] = line[3 * x + 2];
            out[3 * x + 1] = line[3 * x + 1];
            out[3 * x + 2] = line[3 * x];
        }
        WorkerProgress = (double)s / height;
        drawing.After(s, false);
        if (WorkerCancelState) {
            jpeg_destroy_decompress(&decompressor);
            fclose(file);
            return false;
        }
    }
    drawing.After(height - 1, true);
    for (jpeg_saved_marker_ptr marker = decompressor.marker_list; marker; marker = marker->next) {
        if (marker->marker != JPEG_COM || marker->data_length < 9 ||
            memcmp(marker->data, kEmbeddedPrefix, 9) != 0)
            continue;
        LinkEmbeddedEntries(target, path, reinterpret_cast<const char*>(marker->data) + 9,
                            (int)marker->data_length - 9);
        break;
    }
    jpeg_finish_decompress(&decompressor);
    jpeg_destroy_decompress(&decompressor);
    fclose(file);
    return true;
}
