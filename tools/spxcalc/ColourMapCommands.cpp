// spxcalc colour map | othermap | merge: one pixel through the colour
// mapping of an escape-time fractal, the colour mode of a plasma fractal,
// or the merge of two layers of a 1 x 1 layered fractal. Settings not given
// keep a new fractal's defaults; numbers print with %.10g.
//
//   map V [--inside] [--density D] [--accel A] [--smooth S] [--offset O]
//         [--transfer NAME] [--repeat yes|no] [--refactor N] [--knots SPEC]
//       -> position=P colour=R,G,B
//   othermap V --mode Linear|Log|Arctan|Sinus [--speed S] [--accel A]
//         [--smoothing X] [--bits 8|24]      -> scale=K colour=R,G,B | index=N
//   merge MODE TOP BOTTOM [--opacity P]      -> R,G,B
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "calc/FractalTask.h"
#include "calc/colour/ColourMapping.h"
#include "calc/colour/OtherColouring.h"
#include "calc/colour/Palette.h"
#include "calc/layers/Compositing.h"
#include "calc/task/BareTask.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/FormulaSlot.h"
#include "document/Layer.h"
#include "foundation/bignum/Apm.h"
#include "tools/spxcalc/Commands.h"

namespace {

int Fail(const char* command, const char* text, const char* detail = "")
{
    fprintf(stderr, "spxcalc colour %s: %s%s\n", command, text, detail);
    return 2;
}

bool ReadNumber(const char* text, double* out)
{
    char* end = nullptr;
    *out = strtod(text, &end);
    return *text && !*end;
}

// Index of name in a null-ended list, case ignored; -1 when absent.
int FindName(const char* const* names, const char* name)
{
    for (int k = 0; names[k]; ++k)
        if (_stricmp(names[k], name) == 0) return k;
    return -1;
}

bool ReadColour(const char* text, int rgb[3])
{
    char extra;
    return sscanf(text, "%d,%d,%d%c", &rgb[0], &rgb[1], &rgb[2], &extra) == 3 && rgb[0] >= 0 && rgb[0] <= 255 &&
           rgb[1] >= 0 && rgb[1] <= 255 && rgb[2] >= 0 && rgb[2] <= 255;
}

// A 1 x 1 fractal of the type with a bare task and image of the given depth.
Fractal* MakePixelFractal(int type, int bits)
{
    Fractal* f = new Fractal(type, 0);
    f->header->Width = 1;
    f->header->Height = 1;
    f->header->DisplayDepth = bits;
    f->header->Dims = 0;
    f->dither = 0;
    if (!AttachBareTask(f)) return nullptr;
    return f;
}

// The fractal's palette from a SPEC (one channel for all three, or three),
// or the default palette; its gradient goes into the task's colour table.
bool SetGradient(Fractal* f, const char* spec)
{
    if (spec) {
        std::vector<SpecKnot> channels[3];
        int count = 0;
        if (!ParseKnotSpec(spec, channels, 3, &count)) return false;
        if (count == 2) {
            fprintf(stderr, "spxcalc colour map: --knots needs one or three channels\n");
            return false;
        }
        f->palette.ClearKnots(-1);
        for (int c = 0; c < 3; ++c)
            for (const SpecKnot& k : channels[count == 1 ? 0 : c])
                if (!f->palette.InsertKnot(c, k.x, k.y)) {
                    fprintf(stderr, "spxcalc colour map: knot %g:%g refused\n", k.x, k.y);
                    return false;
                }
        f->palette.Rebuild();
    } else {
        f->palette.CopyFrom(*DefaultPalette);
    }
    memcpy(f->task->dib.colors, f->palette.colorTable, sizeof f->palette.colorTable);
    return true;
}

}  // namespace

int RunColourMapCommand(int argc, char** argv)
{
    double value;
    if (argc < 1 || !ReadNumber(argv[0], &value)) return Fail("map", "usage: map V [options]");
    bool inside = false;
    double density = 1, accel = 1, smooth = 0, offset = 0, refactor = 0;
    int transfer = TRANSFER_LINEAR, repeat = 1;
    const char* knots = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (strcmp(option, "--inside") == 0) {
            inside = true;
            continue;
        }
        if (i + 1 >= argc) return Fail("map", "missing value after ", option);
        const char* arg = argv[++i];
        double* number = strcmp(option, "--density") == 0    ? &density
                         : strcmp(option, "--accel") == 0    ? &accel
                         : strcmp(option, "--smooth") == 0   ? &smooth
                         : strcmp(option, "--offset") == 0   ? &offset
                         : strcmp(option, "--refactor") == 0 ? &refactor
                                                              : nullptr;
        if (number) {
            if (!ReadNumber(arg, number)) return Fail("map", "not a number: ", arg);
        } else if (strcmp(option, "--transfer") == 0) {
            transfer = FindName(g_TransferNames, arg);
            if (transfer < 0) return Fail("map", "unknown transfer ", arg);
        } else if (strcmp(option, "--repeat") == 0) {
            if (strcmp(arg, "yes") != 0 && strcmp(arg, "no") != 0) return Fail("map", "--repeat takes yes or no");
            repeat = strcmp(arg, "yes") == 0;
        } else if (strcmp(option, "--knots") == 0) {
            knots = arg;
        } else {
            return Fail("map", "unknown option ", option);
        }
    }
    PrepareDocumentEngine();
    Fractal* f = MakePixelFractal(FT_ESCAPETIME, 24);
    if (!f) return Fail("map", "no task for the fractal");
    if (!SetGradient(f, knots)) return 2;
    EscapetimeParameters* e = static_cast<EscapetimeParameters*>(f->typeParameters);
    ColouringSettings& set = inside ? e->insideColouring : e->outsideColouring;
    set.Density = density, set.Accel = accel, set.Smooth = smooth, set.Offset = offset;
    set.Mapping = transfer, set.WrapAround = repeat;
    (inside ? e->refactorInside : e->refactorOutside) = (int)refactor;
    FractalTask* task = f->task;
    task->values[0] = (float)value;
    task->flags[0] = inside ? PF_INSIDE : 0;
    float positions[2] = {0, 0};
    MapEscapeTimeValues(f, 0, task->values, task->flags, task->imageBits, nullptr, 0, 1, 1, positions, nullptr, 1, 0);
    const uint8_t* p = task->imageBits;
    printf("position=%.10g colour=%d,%d,%d\n", positions[0], p[2], p[1], p[0]);
    return 0;
}

int RunColourOtherMapCommand(int argc, char** argv)
{
    double value;
    if (argc < 1 || !ReadNumber(argv[0], &value)) return Fail("othermap", "usage: othermap V --mode M [options]");
    int mode = -1, bits = 24;
    double speed = 1, accel = 1, smoothing = 0;
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (i + 1 >= argc) return Fail("othermap", "missing value after ", option);
        const char* arg = argv[++i];
        double* number = strcmp(option, "--speed") == 0       ? &speed
                         : strcmp(option, "--accel") == 0     ? &accel
                         : strcmp(option, "--smoothing") == 0 ? &smoothing
                                                               : nullptr;
        if (number) {
            if (!ReadNumber(arg, number)) return Fail("othermap", "not a number: ", arg);
        } else if (strcmp(option, "--mode") == 0) {
            mode = FindName(g_ColourModeNames, arg);
            if (mode < 0) return Fail("othermap", "unknown mode ", arg);
        } else if (strcmp(option, "--bits") == 0) {
            bits = atoi(arg);
            if (bits != 8 && bits != 24) return Fail("othermap", "--bits takes 8 or 24");
        } else {
            return Fail("othermap", "unknown option ", option);
        }
    }
    if (mode < 0) return Fail("othermap", "--mode is required");
    PrepareDocumentEngine();
    Fractal* f = MakePixelFractal(FT_PLASMA, bits);
    if (!f || !f->typeParameters) return Fail("othermap", "no task for the fractal");
    SetGradient(f, nullptr);
    ViewParameters* v = f->typeParameters;
    v->ColormodeType = mode;
    v->ColormodeSpeed = speed;
    v->ColormodeAccel = accel;
    v->ColorSmoothing = smoothing;
    f->task->values[0] = (float)value;
    ColorizeLine(f, 0, 0, 1, bits == 24, 1);
    double s, scale;
    GetTransferScale(v, &s, &scale);
    const uint8_t* p = f->task->imageBits;
    if (bits == 24)
        printf("scale=%.10g colour=%d,%d,%d\n", scale, p[2], p[1], p[0]);
    else
        printf("scale=%.10g index=%d\n", scale, p[0]);
    return 0;
}

int RunColourMergeCommand(int argc, char** argv)
{
    if (argc < 3) return Fail("merge", "usage: merge MODE TOP BOTTOM [--opacity P]");
    int mode = FindName(g_MergeModeFileNames, argv[0]);
    if (mode < 0) return Fail("merge", "unknown merge mode ", argv[0]);
    int top[3], bottom[3];
    if (!ReadColour(argv[1], top)) return Fail("merge", "TOP is not R,G,B: ", argv[1]);
    if (!ReadColour(argv[2], bottom)) return Fail("merge", "BOTTOM is not R,G,B: ", argv[2]);
    double opacity = 100;
    for (int i = 3; i < argc; ++i) {
        if (strcmp(argv[i], "--opacity") == 0 && i + 1 < argc) {
            if (!ReadNumber(argv[++i], &opacity)) return Fail("merge", "not a number: ", argv[i]);
        } else {
            return Fail("merge", "unknown option ", argv[i]);
        }
    }
    PrepareDocumentEngine();
    BuildMultiplyTable();
    Fractal* layered = MakePixelFractal(FT_LAYERED, 24);
    if (!layered || !layered->typeParameters) return Fail("merge", "no task for the layered fractal");
    LayeredParameters* params = static_cast<LayeredParameters*>(layered->typeParameters);
    const int* colours[2] = {top, bottom};   // the list's head is the top of the stack
    for (int k = 0; k < 2; ++k) {
        Fractal* f = MakePixelFractal(FT_IMAGE, 24);
        if (!f) return Fail("merge", "no task for a layer");
        uint8_t* p = f->task->imageBits;
        p[0] = (uint8_t)colours[k][2], p[1] = (uint8_t)colours[k][1], p[2] = (uint8_t)colours[k][0];
        Layer* layer = new Layer();
        layer->fractal = f;
        layer->mergeMode = k == 0 ? mode : MERGE_NORMAL;
        layer->opacity = k == 0 ? opacity : 100;
        layer->opacityLevel = (int)(layer->opacity * 255 / 100);
        params->layers.Append(layer);
    }
    std::vector<LayerMergeRecord> records(4);
    MergeLayerLine(layered, params, 0, 0, records.data(), nullptr);
    const uint8_t* p = layered->task->imageBits;
    printf("%d,%d,%d\n", p[2], p[1], p[0]);
    return 0;
}
