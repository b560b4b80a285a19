// The PNG, JPEG and BMP writers. libpng and libjpeg report errors by
// jumping back to the setjmp point of the writer, so each writer keeps what
// it must free in variables set before that point. Rows are stored bottom-up
// in the task; every file starts with the top row (BMP by its own
// convention starts with the bottom one).
#include "files/image/ImageWrite.h"

#include <stdlib.h>
#include <string.h>
#include <vector>

#include <png.h>

#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "files/entry/EntryWriter.h"
#include "foundation/FileUtil.h"
#include "view3d/Parameters3D.h"

volatile int WorkerErrorCode = 0;
char WorkerText[256] = "";
volatile double WorkerProgress = 0.0;

const ImageSaveOptions kDefaultImageSaveOptions = {60, 2, 0, 0, 0, 1};
ImageSaveOptions g_ImageSaveOptions = kDefaultImageSaveOptions;

static_assert(sizeof(ImageSaveOptions) == 24, "six 32-bit words, as render-job files hold them");

namespace {

const char kEmbeddedPrefix[] = "SPIRALIX:";

// The picture a save takes from the fractal: rows bottom-up, rowBytes
// apart, 1 (colour-table index) or 3 (blue, green, red) bytes per pixel.
struct SourceImage {
    const unsigned char* bits = nullptr;
    int width = 0, height = 0, rowBytes = 0, bytesPerPixel = 0;
    const RGBQUAD* colours = nullptr;

    const unsigned char* RowFromTop(int row) const { return bits + (size_t)(height - 1 - row) * rowBytes; }
};

bool TakeSource(Fractal* fractal, bool want3D, SourceImage& source)
{
    FractalTask* task = fractal ? fractal->task : nullptr;
    if (!task)
        return false;
    FractalHeader* h = fractal->header;
    source.colours = task->dib.colors;
    source.width = h->Width;
    source.height = h->Height;
    int stride = fractal->GetImageStride();
    if (want3D) {
        source.bytesPerPixel = 3;
        bool software = h->Type == FT_QUATERNION || !fractal->params3D || fractal->params3D->Mode3D == 0;
        if (software) {
            source.bits = task->image3D;
            source.rowBytes = stride * 3;
        } else if (task->renderer) {
            source.bits = static_cast<const unsigned char*>(task->renderer->data);
            source.width = task->renderer->imageWidth;
            source.height = task->renderer->imageHeight;
            // The OpenGL read-back packs rows to 4 bytes.
            source.rowBytes = (source.width * 3 + 3) & ~3;
        }
    } else {
        source.bits = task->imageBits;
        source.bytesPerPixel = h->DisplayDepth == 24 ? 3 : 1;
        source.rowBytes = stride * source.bytesPerPixel;
    }
    return source.bits && source.width > 0 && source.height > 0;
}

FILE* OpenForWriting(const char* path)
{
    FILE* file = fopen(path, "wb");
    if (!file)
        WorkerErrorCode = 1;
    return file;
}

}  // namespace

// ----- Embedded entry

bool MakeEmbeddedEntryText(Fractal* fractal, std::string& text)
{
    text.clear();
    char* written = MakeParameterText(fractal, true, -1, true);
    if (!written)
        return false;
    for (const char* p = written; *p; p++)
        if (*p != '\r')
            text += *p;
    free(written);
    return !text.empty();
}

// ----- JPEG error hooks

jpeg_error_mgr* SetupJpegErrors(JpegErrorManager* manager)
{
    jpeg_error_mgr* standard = jpeg_std_error(&manager->manager);
    standard->error_exit = JpegErrorExit;
    standard->output_message = JpegOutputMessage;
    return standard;
}

void JpegErrorExit(j_common_ptr info)
{
    (*info->err->output_message)(info);
    longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

void JpegOutputMessage(j_common_ptr info)
{
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    strncpy(WorkerText, message, 200);
    WorkerText[200] = 0;
}

// ----- PNG

namespace {

bool RowFromArray(void* context, int rowFromTop, unsigned char** row)
{
    *row = static_cast<unsigned char**>(context)[rowFromTop];
    return true;
}

}  // namespace

bool WritePngFile(unsigned char** rows, int width, int height, int bytesPerPixel, const char* path,
                  const int* palette, const char* text, bool alpha)
{
    return WritePngRows(path, width, height, bytesPerPixel, palette, text, alpha, RowFromArray, rows);
}

bool WritePngRows(const char* path, int width, int height, int bytesPerPixel, const int* palette, const char* text,
                  bool alpha, PngRowSource source, void* context, const unsigned char* backgroundRgb)
{
    FILE* file = OpenForWriting(path);
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        fclose(file);
        WorkerErrorCode = 3;
        return false;
    }
    png_color* volatile colours = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        free(colours);
        fclose(file);
        WorkerErrorCode = 2;
        return false;
    }
    if (WorkerCancelState) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    int colourType = bytesPerPixel == 1 ? PNG_COLOR_TYPE_PALETTE : alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, width, height, 8, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        colours = static_cast<png_color*>(calloc(256, sizeof(png_color)));
        for (int i = 0; colours && palette && i < 256; i++) {
            colours[i].red = (png_byte)palette[3 * i];
            colours[i].green = (png_byte)palette[3 * i + 1];
            colours[i].blue = (png_byte)palette[3 * i + 2];
        }
        if (colours)
            png_set_PLTE(png, info, colours, 256);
    }
    if (backgroundRgb) {
        png_color_16 colour = {};
        colour.red = backgroundRgb[0];
        colour.green = backgroundRgb[1];
        colour.blue = backgroundRgb[2];
        png_set_bKGD(png, info, &colour);
        if (!alpha && colourType == PNG_COLOR_TYPE_RGB)
            png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    png_set_bgr(png);
    if (text) {
        png_text chunks[3] = {};
        const char* keys[3] = {"Title", "Author", "Parameter"};
        const char* values[3] = {"Fractal Image", "Spiralix", text};
        for (int i = 0; i < 3; i++) {
            chunks[i].compression = i == 2 ? PNG_TEXT_COMPRESSION_zTXt : PNG_TEXT_COMPRESSION_NONE;
            chunks[i].key = const_cast<char*>(keys[i]);
            chunks[i].text = const_cast<char*>(values[i]);
            chunks[i].text_length = strlen(values[i]);
        }
        png_set_text(png, info, chunks, 3);
    }
    png_write_info(png, info);
    for (int row = 0; row < height; row++) {
        unsigned char* pixels = nullptr;
        if (!source(context, row, &pixels))
            png_error(png, "row source failed");
        png_write_row(png, pixels);
        WorkerProgress = (double)row / height;
        if (WorkerCancelState) {
            png_destroy_write_struct(&png, &info);
            free(colours);
            fclose(file);
            return false;
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    free(colours);
    fclose(file);
    return true;
}

bool SaveFractalPng(Fractal* fractal, const char* path, bool want3D, const ImageSaveOptions* options)
{
    SourceImage source;
    if (!TakeSource(fractal, want3D, source))
        return false;
    FractalTask* task = fractal->task;
    bool alpha = source.bytesPerPixel == 3 && fractal->Is3DType() && options && (options->pngTransparency & 0xFF) &&
                 task->oldz && task->oldz->IsAllocated();
    std::vector<unsigned char> withAlpha;
    std::vector<unsigned char*> rows(source.height);
    if (alpha) {
        // Quaternions and attractors keep the pixel's alpha byte in bits 8..15.
        const Array2D* plane = task->oldz;
        withAlpha.assign((size_t)source.width * source.height * 4, 0);
        for (int y = 0; y < source.height; y++) {
            const unsigned char* in = source.RowFromTop(y);
            int stored = source.height - 1 - y;
            const uint32_t* alphaRow =
                stored < plane->height ? static_cast<const uint32_t*>(plane->data) + (size_t)stored * plane->width : nullptr;
            unsigned char* out = &withAlpha[(size_t)y * source.width * 4];
            for (int x = 0; x < source.width; x++) {
                memcpy(out + 4 * x, in + 3 * x, 3);
                out[4 * x + 3] = alphaRow && x < plane->width ? (unsigned char)(alphaRow[x] >> 8) : 0;
            }
            rows[y] = out;
        }
    } else {
        for (int y = 0; y < source.height; y++)
            rows[y] = const_cast<unsigned char*>(source.RowFromTop(y));
    }
    int palette[256 * 3];
    for (int i = 0; i < 256; i++) {
        palette[3 * i] = source.colours[i].rgbRed;
        palette[3 * i + 1] = source.colours[i].rgbGreen;
        palette[3 * i + 2] = source.colours[i].rgbBlue;
    }
    if (WorkerCancelState)
        return false;
    std::string text;
    if (!MakeEmbeddedEntryText(fractal, text)) {
        WorkerErrorCode = 2;
        return false;
    }
    return WritePngFile(rows.data(), source.width, source.height, source.bytesPerPixel, path, palette, text.c_str(),
                        alpha);
}

// ----- JPEG

bool WriteJpegFile(const char* path, int width, int height, const char* text, const ImageSaveOptions* options,
                   JpegRowSource source, void* context)
{
    std::string comment = std::string(kEmbeddedPrefix) + (text ? text : "");
    jpeg_compress_struct compressor;
    JpegErrorManager errors;
    compressor.err = SetupJpegErrors(&errors);
    FILE* volatile file = nullptr;
    unsigned char* volatile row = nullptr;
    if (setjmp(errors.jump)) {
        free(row);
        jpeg_destroy_compress(&compressor);
        if (file)
            fclose(file);
        WorkerErrorCode = 4;
        return false;
    }
    jpeg_create_compress(&compressor);
    file = OpenForWriting(path);
    if (!file) {
        jpeg_destroy_compress(&compressor);
        return false;
    }
    row = static_cast<unsigned char*>(malloc((size_t)width * 3));
    if (!row) {
        jpeg_destroy_compress(&compressor);
        fclose(file);
        WorkerErrorCode = 4;
        return false;
    }
    jpeg_stdio_dest(&compressor, file);
    compressor.image_width = width;
    compressor.image_height = height;
    compressor.input_components = 3;
    compressor.in_color_space = JCS_RGB;
    jpeg_set_defaults(&compressor);
    if (options) {
        jpeg_set_quality(&compressor, options->jpegQuality, (options->jpegForceBaseline & 0xFF) != 0);
        if (options->jpegOptimize)
            compressor.optimize_coding = TRUE;
        if (options->jpegProgressive)
            jpeg_simple_progression(&compressor);
        static const J_DCT_METHOD methods[3] = {JDCT_ISLOW, JDCT_IFAST, JDCT_FLOAT};
        if (options->jpegDctMethod >= 0 && options->jpegDctMethod <= 2)
            compressor.dct_method = methods[options->jpegDctMethod];
    }
    jpeg_start_compress(&compressor, TRUE);
    jpeg_write_marker(&compressor, JPEG_COM, reinterpret_cast<const JOCTET*>(comment.data()),
                      (unsigned)comment.size());
    while (compressor.next_scanline < compressor.image_height) {
        int line = compressor.next_scanline;
        WorkerProgress = (double)line / height;
        if (WorkerCancelState || !source(context, line, row)) {
            free(row);
            jpeg_destroy_compress(&compressor);
            fclose(file);
            return false;
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&compressor, rows, 1);
    }
    jpeg_finish_compress(&compressor);
    jpeg_destroy_compress(&compressor);
    free(row);
    fclose(file);
    return true;
}

namespace {

bool SourceRowToRgb(void* context, int rowFromTop, unsigned char* rgb)
{
    const SourceImage& source = *static_cast<const SourceImage*>(context);
    const unsigned char* in = source.RowFromTop(rowFromTop);
    for (int x = 0; x < source.width; x++, rgb += 3) {
        if (source.bytesPerPixel == 1) {
            const RGBQUAD& c = source.colours[in[x]];
            rgb[0] = c.rgbRed, rgb[1] = c.rgbGreen, rgb[2] = c.rgbBlue;
        } else {
            rgb[0] = in[3 * x + 2], rgb[1] = in[3 * x + 1], rgb[2] = in[3 * x];
        }
    }
    return true;
}

}  // namespace

bool SaveFractalJpeg(Fractal* fractal, const char* path, bool want3D, const ImageSaveOptions* options)
{
    SourceImage source;
    if (!TakeSource(fractal, want3D, source) || WorkerCancelState)
        return false;
    std::string text;
    if (!MakeEmbeddedEntryText(fractal, text)) {
        WorkerErrorCode = 2;
        return false;
    }
    return WriteJpegFile(path, source.width, source.height, text.c_str(), options, SourceRowToRgb, &source);
}

// ----- BMP

namespace {

void Put16(unsigned char* p, uint32_t v) { p[0] = (unsigned char)v, p[1] = (unsigned char)(v >> 8); }
void Put32(unsigned char* p, uint32_t v) { Put16(p, v & 0xFFFF), Put16(p + 2, v >> 16); }

}  // namespace

bool SaveFractalBmp(Fractal* fractal, const char* path, bool want3D)
{
    SourceImage source;
    if (!TakeSource(fractal, want3D, source))
        return false;
    int rowLength = (source.width * source.bytesPerPixel + 3) & ~3;
    uint32_t offset = source.bytesPerPixel == 1 ? 1078 : 54;
    uint32_t fileSize = offset + (uint32_t)rowLength * source.height;
    unsigned char head[54] = {'B', 'M'};
    Put32(head + 2, fileSize);
    Put32(head + 10, offset);
    Put32(head + 14, 40);
    Put32(head + 18, source.width);
    Put32(head + 22, source.height);
    Put16(head + 26, 1);
    Put16(head + 28, source.bytesPerPixel * 8);
    Put32(head + 38, 11811);
    Put32(head + 42, 11811);
    Put32(head + 46, source.bytesPerPixel == 1 ? 256 : 0);
    FILE* file = OpenForWriting(path);
    if (!file)
        return false;
    bool ok = fwrite(head, 1, 54, file) == 54;
    if (source.bytesPerPixel == 1)
        ok = ok && fwrite(source.colours, sizeof(RGBQUAD), 256, file) == 256;
    std::vector<unsigned char> row(rowLength, 0);
    for (int y = 0; ok && y < source.height && !WorkerCancelState; y++) {
        memcpy(row.data(), source.bits + (size_t)y * source.rowBytes, (size_t)source.width * source.bytesPerPixel);
        ok = fwrite(row.data(), 1, rowLength, file) == (size_t)rowLength;
        WorkerProgress = (double)y / source.height;
    }
    fclose(file);
    if (!ok)
        WorkerErrorCode = 2;
    return ok && !WorkerCancelState;
}
