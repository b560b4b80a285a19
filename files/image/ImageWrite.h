// Writing a fractal's image as PNG, JPEG or BMP. PNG and JPEG carry the
// fractal's whole parameter entry (a "Parameter" zTXt chunk, a JPEG comment
// starting "SPIRALIX:") so that loading the image brings the fractal back.
// The writers run on the file worker: they report through WorkerErrorCode,
// WorkerText and WorkerProgress and stop when WorkerCancelState is set.
#pragma once

#include <setjmp.h>
#include <stdint.h>
#include <stdio.h>
#include <string>

#include <jpeglib.h>

#include "foundation/FileUtil.h"   // WorkerCancelState

class Fractal;

// What the file worker reports (shown and cleared by the commands):
// 0 none, 1 the file cannot be opened, 2 write or read error, 3 the PNG
// library's structures cannot be made, 4 JPEG error while writing (or no
// memory for the image while reading), 5 JPEG error while reading.
extern volatile int WorkerErrorCode;
// The JPEG library's last message (JpegOutputMessage), at most 200 characters.
extern char WorkerText[256];
// Fraction done of the running read or write, 0..1.
extern volatile double WorkerProgress;

// The options of the image-save dialogs: six 32-bit words, in this order
// also in render-job files.
struct ImageSaveOptions {
    int32_t jpegQuality;        // 0..100
    int32_t jpegDctMethod;      // 0 slow integer, 1 fast integer, 2 floating point
    int32_t jpegOptimize;       // optimised entropy coding
    int32_t jpegProgressive;
    int32_t jpegForceBaseline;  // only the low byte counts
    int32_t pngTransparency;    // only the low byte counts
};
// The saved copy: quality 60, floating point, no optimising, standard,
// no forced baseline, transparency on.
extern ImageSaveOptions g_ImageSaveOptions;
extern const ImageSaveOptions kDefaultImageSaveOptions;

// The JPEG library's standard error manager with the jump buffer the error
// hook returns to; every JPEG writer keeps one beside its compressor.
struct JpegErrorManager {
    jpeg_error_mgr manager;
    jmp_buf jump;
};
// Installs the two hooks below into manager and returns the library's
// error-manager pointer for the compressor or decompressor.
jpeg_error_mgr* SetupJpegErrors(JpegErrorManager* manager);
// Formats the library's message into WorkerText, then jumps back to the
// JpegErrorManager's buffer.
void JpegErrorExit(j_common_ptr info);
void JpegOutputMessage(j_common_ptr info);

// The fractal's entry as an image carries it: every part, the information
// items included, name line and braces, line ends single line feeds. Made
// in memory; false (text empty) when the writer produced nothing.
bool MakeEmbeddedEntryText(Fractal* fractal, std::string& text);

// The PNG encoder. rows: height row pointers, top row first. bytesPerPixel
// 1: palette indices (palette = 256 x red, green, blue ints, low byte
// used); else blue, green, red (and alpha when alpha is set). text null:
// no text chunks; else "Title", "Author" (tEXt) and "Parameter" (zTXt)
// before the image data. Sets WorkerErrorCode 1, 2 or 3 on failure; false
// then or when cancelled.
bool WritePngFile(unsigned char** rows, int width, int height, int bytesPerPixel, const char* path,
                  const int* palette, const char* text, bool alpha);

// The same encoder fed row by row: source points *row at the row from the
// top (valid until the next call); false from it is a write error (code 2).
// backgroundRgb (red, green, blue) adds a background chunk, and without
// alpha also names that colour transparent.
typedef bool (*PngRowSource)(void* context, int rowFromTop, unsigned char** row);
bool WritePngRows(const char* path, int width, int height, int bytesPerPixel, const int* palette, const char* text,
                  bool alpha, PngRowSource source, void* context, const unsigned char* backgroundRgb = nullptr);

// The writers of a fractal with an open task. want3D saves the 3D image;
// otherwise 24-bit images are saved at three bytes per pixel and 8-bit
// ones through the colour table. options null: no transparency (PNG), the
// library's defaults (JPEG). A fractal without task or image writes nothing
// and returns false. An entry that cannot be made is a failure (code 2),
// never an image without its entry.
bool SaveFractalPng(Fractal* fractal, const char* path, bool want3D, const ImageSaveOptions* options);
bool SaveFractalJpeg(Fractal* fractal, const char* path, bool want3D, const ImageSaveOptions* options);
// Rows bottom-up as BMP stores them, padded to 4 bytes; 1078-byte header
// with the colour table at 8 bits, 54 bytes at 24. A file that cannot be
// opened sets code 1.
bool SaveFractalBmp(Fractal* fractal, const char* path, bool want3D);

// The JPEG encoder behind SaveFractalJpeg and the render-job output. The
// row source fills one scanline (red, green, blue) for the row from the
// top; it returns false to stop (cancel). Comment = "SPIRALIX:" + text.
typedef bool (*JpegRowSource)(void* context, int rowFromTop, unsigned char* rgb);
bool WriteJpegFile(const char* path, int width, int height, const char* text, const ImageSaveOptions* options,
                   JpegRowSource source, void* context);
