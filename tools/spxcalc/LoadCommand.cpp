// spxcalc load IMAGE [--path DIR] [--entry-out OUT]: loads a PNG or JPEG
// as the program's load command does (kind by extension, PNG signature
// sniffed for other names) into the image-fractal pair, prints
// "image=WxH linked=NAME" and writes the linked fractal's entry to OUT
// through the entry writer.
//
//   --path DIR       formula folders (";"-separated) searched before the
//                    program's own formula folder
//   --entry-out OUT  the linked fractal's entry (nothing when none is linked)
// Exit 0 loaded, 1 the image could not be loaded ("error=CODE" and the
// library's text on stderr), 2 bad arguments or not a PNG named .png.
#include <windows.h>
#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <string>

#include <png.h>

#include "document/Fractal.h"
#include "files/entry/EntryWriter.h"
#include "files/image/ImageLoad.h"
#include "files/image/ImageWrite.h"
#include "tools/spxcalc/Commands.h"
#include "tools/spxcalc/RenderSupport.h"

namespace {

enum ImageKind { KIND_UNKNOWN, KIND_PNG, KIND_JPEG };

ImageKind KindOfName(const char* path)
{
    const char* dot = strrchr(path, '.');
    if (!dot || strlen(dot) > 5)
        return KIND_UNKNOWN;
    std::string extension;
    for (const char* p = dot + 1; *p; p++)
        extension += (char)toupper((unsigned char)*p);
    if (extension == "PNG")
        return KIND_PNG;
    if (extension == "JPG" || extension == "JPE" || extension == "JIF" || extension == "JPEG")
        return KIND_JPEG;
    return KIND_UNKNOWN;
}

bool HasPngSignature(const char* path)
{
    unsigned char signature[8];
    FILE* file = fopen(path, "rb");
    bool png = file && fread(signature, 1, 8, file) == 8 && png_sig_cmp(signature, 0, 8) == 0;
    if (file)
        fclose(file);
    return png;
}

}  // namespace

int RunLoadCommand(int argc, char** argv)
{
    const char* image = nullptr;
    const char* formulaPath = nullptr;
    const char* entryOut = nullptr;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--path") == 0 && i + 1 < argc)
            formulaPath = argv[++i];
        else if (strcmp(argv[i], "--entry-out") == 0 && i + 1 < argc)
            entryOut = argv[++i];
        else if (!image && argv[i][0] != '-')
            image = argv[i];
        else {
            fprintf(stderr, "usage: spxcalc load IMAGE [--path DIR] [--entry-out OUT]\n");
            return 2;
        }
    }
    if (!image) {
        fprintf(stderr, "usage: spxcalc load IMAGE [--path DIR] [--entry-out OUT]\n");
        return 2;
    }
    LoadRenderFormulaFolders(formulaPath);
    ImageKind kind = KindOfName(image);
    if (kind != KIND_JPEG) {
        bool png = HasPngSignature(image);
        if (!png && kind == KIND_PNG) {
            fprintf(stderr, "The file %s is not a valid PNG file.\nPNG signature not correct...\n", image);
            return 2;
        }
        kind = png ? KIND_PNG : KIND_JPEG;
    }
    ImageFractalPair pair;
    MakeImageFractalPair("Image", &pair);
    Fractal* both[2] = {pair.normal, pair.fixedSize};
    WorkerErrorCode = 0;
    bool loaded = kind == KIND_PNG ? LoadPngWithParameters(image, &pair) : LoadJpegWithParameters(image, &pair);
    Fractal* kept = pair.normal ? pair.normal : pair.fixedSize;
    if (!loaded || !kept) {
        fprintf(stderr, "error=%d %s\n", (int)WorkerErrorCode, WorkerErrorCode == 5 ? WorkerText : "");
        FlushRenderMessages();
        return 1;
    }
    for (Fractal* f : both)
        if (f != kept)
            delete f;
    Fractal* linked = kept->linkedFractal;
    printf("image=%dx%d linked=%s\n", kept->header->Width, kept->header->Height, linked ? linked->name : "");
    if (entryOut && linked)
        WriteParameterEntry(nullptr, linked, nullptr, entryOut, false, false, -1, 0, true);
    FlushRenderMessages();
    return 0;
}
