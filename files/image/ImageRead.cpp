// The plain PNG and JPEG readers. libpng and libjpeg report errors by
// jumping out of the decoder, so each reader keeps everything it must free
// in plain variables above its setjmp point and frees them on either path.
// The image size is checked in 64 bits before the buffer is made: the
// header of a damaged file may claim any size.
#include "files/image/ImageRead.h"

#include <ctype.h>
#include <setjmp.h>
#include <stdio.h>
#include <string.h>
#include <new>

#include <png.h>
#include <jpeglib.h>
#include <jerror.h>

char g_TexturePath[260] = "";

namespace {

// The largest picture read: anything above is a damaged header.
const unsigned long long kMaxImageBytes = 0x40000000ull;

unsigned char* NewImage(unsigned long long width, unsigned long long height)
{
    if (width == 0 || height == 0 || width * height * 3 > kMaxImageBytes)
        return nullptr;
    return new (std::nothrow) unsigned char[(size_t)(width * height * 3)];
}

struct JpegFailure {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

void JpegErrorExit(j_common_ptr info)
{
    longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1);
}

// Warnings of damaged data are not shown: the reader has no one to tell.
void JpegOutputMessage(j_common_ptr) {}

bool IsPngName(const char* name)
{
    size_t length = strlen(name);
    if (length < 4)
        return false;
    const char* dot = name + length - 4;
    return dot[0] == '.' && tolower((unsigned char)dot[1]) == 'p' && tolower((unsigned char)dot[2]) == 'n' &&
           tolower((unsigned char)dot[3]) == 'g';
}

}  // namespace

unsigned char* ReadPngFile(const char* path, int* width, int* height)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return nullptr;
    unsigned char signature[8];
    if (fread(signature, 1, 8, file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        fclose(file);
        return nullptr;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    // Volatile: these are changed after setjmp and read after a jump back.
    unsigned char* volatile image = nullptr;
    unsigned char* volatile rows = nullptr;
    png_bytep* volatile pointers = nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        delete[] image;
        delete[] rows;
        delete[] pointers;
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        fclose(file);
        return nullptr;
    }
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    int colourType = png_get_color_type(png, info);
    png_set_expand(png);          // palettes to RGB, low-bit grey to 8 bits, transparency to alpha
    png_set_strip_16(png);
    png_set_packing(png);
    if (!(colourType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);  // grey (with or without alpha) as RGB
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    int channels = png_get_channels(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    if ((channels != 3 && channels != 4) || rowBytes < (size_t)w * channels)
        png_error(png, "unexpected pixel layout");
    // The decoded rows in one block (interlaced images need them all).
    if ((unsigned long long)rowBytes * h > kMaxImageBytes)
        png_error(png, "image too large");
    image = NewImage(w, h);
    rows = new (std::nothrow) unsigned char[rowBytes * h];
    pointers = new (std::nothrow) png_bytep[h];
    if (!image || !rows || !pointers)
        png_error(png, "no memory");
    for (png_uint_32 y = 0; y < h; y++)
        pointers[y] = rows + (size_t)y * rowBytes;
    png_read_image(png, pointers);
    for (png_uint_32 y = 0; y < h; y++) {
        unsigned char* out = image + (size_t)y * w * 3;
        for (png_uint_32 x = 0; x < w; x++) {
            const unsigned char* p = pointers[y] + (size_t)x * channels;
            bool clear = channels == 4 && p[3] == 0;
            out[3 * x] = clear ? 255 : p[0];
            out[3 * x + 1] = clear ? 255 : p[1];
            out[3 * x + 2] = clear ? 255 : p[2];
        }
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    delete[] rows;
    delete[] pointers;
    *width = (int)w;
    *height = (int)h;
    return image;
}

unsigned char* ReadJpegFile(const char* path, int* width, int* height)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return nullptr;
    jpeg_decompress_struct jpeg;
    JpegFailure failure;
    jpeg.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = JpegErrorExit;
    failure.manager.output_message = JpegOutputMessage;
    unsigned char* volatile image = nullptr;
    if (setjmp(failure.jump)) {
        delete[] image;
        jpeg_destroy_decompress(&jpeg);
        fclose(file);
        return nullptr;
    }
    jpeg_create_decompress(&jpeg);
    jpeg_stdio_src(&jpeg, file);
    jpeg_read_header(&jpeg, TRUE);
    jpeg.out_color_space = JCS_RGB;
    jpeg_start_decompress(&jpeg);
    if (jpeg.output_components != 3)
        ERREXIT(&jpeg, JERR_BAD_J_COLORSPACE);
    unsigned w = jpeg.output_width, h = jpeg.output_height;
    image = NewImage(w, h);
    if (!image)
        ERREXIT1(&jpeg, JERR_OUT_OF_MEMORY, 0);
    unsigned lines = 0;
    while (jpeg.output_scanline < h) {
        JSAMPROW target = image + (size_t)jpeg.output_scanline * w * 3;
        if (jpeg_read_scanlines(&jpeg, &target, 1) != 1)
            break;
        lines++;
    }
    jpeg_finish_decompress(&jpeg);
    jpeg_destroy_decompress(&jpeg);
    fclose(file);
    *width = (int)w;
    *height = (int)lines;
    return image;
}

unsigned char* ReadImageFile(const char* name, int* width, int* height)
{
    *width = 0;
    *height = 0;
    if (!name || !name[0])
        return nullptr;
    char path[520];
    bool hasDrive = strlen(name) > 2 && isalpha((unsigned char)name[0]) && name[1] == ':';
    if (hasDrive || !g_TexturePath[0])
        snprintf(path, sizeof path, "%s", name);
    else
        snprintf(path, sizeof path, "%s\\%s", g_TexturePath, name);
    return IsPngName(name) ? ReadPngFile(path, width, height) : ReadJpegFile(path, width, height);
}
