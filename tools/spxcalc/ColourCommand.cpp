// spxcalc colour: converts colours between models and builds palettes and
// alpha channels from knots; the mapping subcommands live in
// ColourMapCommands.cpp. Also the SPEC knot parser both files share.
//
//   colour model FROM TO A B C        RGB CMY HSV HSL YIQ YUV, or RGB to and
//                                     from HSVINT / HSLINT; prints the triple
//   colour palette [--default|--cube|--knots SPEC] [--model M] [--smooth]
//                  [--offset X] [--knotmode all|each] [--simplify T]
//                                     252 lines "j R G B", then "knots C x:y ..."
//   colour alpha [--points LIST] [--smooth] [--offset X] [--simplify T]
//                                     400 bytes (20 lines), then "points x:y ..."
//   colour map|othermap|merge ...     see ColourMapCommands.cpp
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "calc/colour/AlphaChannel.h"
#include "calc/colour/ColorModels.h"
#include "calc/colour/Palette.h"
#include "tools/spxcalc/Commands.h"

// One "x:y" token of [begin, end); false when either number is missing or
// followed by anything else.
static bool ParseKnotToken(const char* begin, const char* end, SpecKnot* knot) {
    char token[128];
    size_t length = (size_t)(end - begin);
    if (length == 0 || length >= sizeof token) return false;
    memcpy(token, begin, length);
    token[length] = 0;
    char* colon = strchr(token, ':');
    if (!colon || colon == token || colon[1] == 0) return false;
    *colon = 0;
    char* stop = nullptr;
    knot->x = strtod(token, &stop);
    if (*stop) return false;
    knot->y = strtod(colon + 1, &stop);
    return *stop == 0;
}

bool ParseKnotSpec(const char* spec, std::vector<SpecKnot> channels[], int maxChannels,
                   int* channelCount) {
    for (int c = 0; c < maxChannels; ++c) channels[c].clear();
    *channelCount = 0;
    int channel = 0;
    const char* p = spec;
    for (;;) {
        if (channel >= maxChannels) {
            fprintf(stderr, "spxcalc: at most %d channels in \"%s\"\n", maxChannels, spec);
            return false;
        }
        const char* bar = strchr(p, '|');
        const char* channelEnd = bar ? bar : p + strlen(p);
        while (p < channelEnd) {
            while (p < channelEnd && (*p == ' ' || *p == '\t')) ++p;
            if (p == channelEnd) break;
            const char* tokenEnd = p;
            while (tokenEnd < channelEnd && *tokenEnd != ' ' && *tokenEnd != '\t') ++tokenEnd;
            SpecKnot knot;
            if (!ParseKnotToken(p, tokenEnd, &knot)) {
                fprintf(stderr, "spxcalc: bad knot \"%.*s\" (expected x:y)\n",
                        (int)(tokenEnd - p), p);
                return false;
            }
            channels[channel].push_back(knot);
            p = tokenEnd;
        }
        if (channels[channel].empty()) {
            fprintf(stderr, "spxcalc: channel %d of \"%s\" has no knots\n", channel + 1, spec);
            return false;
        }
        ++channel;
        if (!bar) break;
        p = bar + 1;
    }
    *channelCount = channel;
    return true;
}

namespace {

int Fail(const char* format, const char* what) {
    fprintf(stderr, "spxcalc colour: ");
    fprintf(stderr, format, what);
    fputc('\n', stderr);
    return 1;
}

bool ParseNumber(const char* text, double* value) {
    char* stop = nullptr;
    *value = strtod(text, &stop);
    return stop != text && *stop == 0;
}

// The options of one subcommand, read in order; a value option without
// its value or a number that does not parse is an error.
class Options {
public:
    Options(int argc, char** argv) : argc_(argc), argv_(argv) {}
    bool Done() const { return next_ >= argc_; }
    const char* Word() { return argv_[next_++]; }
    bool Value(const char* option, const char** value) {
        if (next_ >= argc_) {
            Fail("%s needs a value", option);
            return false;
        }
        *value = argv_[next_++];
        return true;
    }
    bool Number(const char* option, double* number) {
        const char* text;
        if (!Value(option, &text))
            return false;
        if (!ParseNumber(text, number)) {
            fprintf(stderr, "spxcalc colour: %s takes a number, not \"%s\"\n", option, text);
            return false;
        }
        return true;
    }

private:
    int argc_;
    char** argv_;
    int next_ = 0;
};

// ----- model

enum { MODEL_HSVINT = 100, MODEL_HSLINT = 101 };

int ModelFromName(const char* name) {
    if (_stricmp(name, "HSVINT") == 0)
        return MODEL_HSVINT;
    if (_stricmp(name, "HSLINT") == 0)
        return MODEL_HSLINT;
    int model = ColorModelFromName(name);
    if (model >= 0)
        return model;
    char prefixed[16];
    snprintf(prefixed, sizeof prefixed, "CM_%s", name);
    return strlen(name) < 8 ? ColorModelFromName(prefixed) : -1;
}

int RunModel(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: spxcalc colour model FROM TO A B C\n");
        return 2;
    }
    int from = ModelFromName(argv[0]), to = ModelFromName(argv[1]);
    if (from < 0)
        return Fail("unknown colour model \"%s\" (RGB CMY HSV HSL YIQ YUV HSVINT HSLINT)", argv[0]);
    if (to < 0)
        return Fail("unknown colour model \"%s\" (RGB CMY HSV HSL YIQ YUV HSVINT HSLINT)", argv[1]);
    double in[3];
    for (int i = 0; i < 3; i++)
        if (!ParseNumber(argv[2 + i], &in[i]))
            return Fail("\"%s\" is not a number", argv[2 + i]);
    bool fromInt = from >= MODEL_HSVINT, toInt = to >= MODEL_HSVINT;
    if (!fromInt && !toInt) {
        double out[3];
        ConvertColorModel(from, to, in, out);
        printf("%.10g %.10g %.10g\n", out[0], out[1], out[2]);
        return 0;
    }
    if ((fromInt && to != CM_RGB) || (toInt && from != CM_RGB))
        return Fail("%s", "the integer models convert only to and from RGB");
    int32_t a[3], b[3];
    for (int i = 0; i < 3; i++) {
        a[i] = (int32_t)in[i];
        if (a[i] != in[i])
            return Fail("\"%s\" is not an integer (the integer models take whole numbers)",
                        argv[2 + i]);
    }
    if (to == MODEL_HSVINT)
        RgbToHsvInt(a, b);
    else if (to == MODEL_HSLINT)
        RgbToHslInt(a, b);
    else if (from == MODEL_HSVINT)
        HsvToRgbInt(b, a);
    else
        HslToRgbInt(b, a);
    printf("%d %d %d\n", (int)b[0], (int)b[1], (int)b[2]);
    return 0;
}

// ----- palette and alpha

void PrintKnots(const char* label, const NodeList& list) {
    printf("%s", label);
    for (const ListNode* n = list.GetHead(); n; n = n->next)
        printf(" %.10g:%.10g", AsKnot(n)->x, AsKnot(n)->y);
    printf("\n");
}

int RunPalette(int argc, char** argv) {
    Options options(argc, argv);
    const Palette* source = DefaultPalette;
    const char* spec = nullptr;
    int model = -1, knotmode = -1, smooth = -1;
    double offset = 0, tolerance = -1;
    bool offsetGiven = false;
    while (!options.Done()) {
        const char* word = options.Word();
        const char* value;
        if (strcmp(word, "--default") == 0) {
            source = DefaultPalette;
            spec = nullptr;
        } else if (strcmp(word, "--cube") == 0) {
            source = ColorCubePalette;
            spec = nullptr;
        } else if (strcmp(word, "--knots") == 0) {
            if (!options.Value(word, &spec))
                return 2;
        } else if (strcmp(word, "--model") == 0) {
            if (!options.Value(word, &value))
                return 2;
            model = ModelFromName(value);
            if (model < 0 || model >= COLOR_MODEL_COUNT)
                return Fail("unknown palette colour model \"%s\" (RGB CMY HSV HSL YIQ YUV)", value);
        } else if (strcmp(word, "--smooth") == 0) {
            smooth = 1;
        } else if (strcmp(word, "--offset") == 0) {
            if (!options.Number(word, &offset))
                return 2;
            offsetGiven = true;
        } else if (strcmp(word, "--knotmode") == 0) {
            if (!options.Value(word, &value))
                return 2;
            if (strcmp(value, "all") == 0)
                knotmode = KNOTMODE_ALL;
            else if (strcmp(value, "each") == 0)
                knotmode = KNOTMODE_EACH;
            else
                return Fail("--knotmode takes all or each, not \"%s\"", value);
        } else if (strcmp(word, "--simplify") == 0) {
            if (!options.Number(word, &tolerance))
                return 2;
        } else {
            return Fail("unknown palette option \"%s\"", word);
        }
    }

    std::unique_ptr<Palette> palette(new Palette());
    palette->CopyFrom(*source);
    if (spec) {
        std::vector<SpecKnot> channels[3];
        int count = 0;
        if (!ParseKnotSpec(spec, channels, 3, &count))
            return 2;
        if (count == 2)
            return Fail("\"%s\" gives two channels: give one (for all three) or three", spec);
        palette->ClearKnots(-1);
        for (int c = 0; c < 3; c++) {
            for (const SpecKnot& k : channels[count == 1 ? 0 : c]) {
                if (!palette->InsertKnot(c, k.x, k.y)) {
                    fprintf(stderr,
                            "spxcalc colour: knot %.10g:%.10g refused in channel %d (position "
                            "outside 0..251 once rounded, or taken)\n",
                            k.x, k.y, c);
                    return 1;
                }
            }
            palette->selectedKnot[c] = AsKnot(palette->knots[c].GetHead());
            palette->selectedKnot[c]->selected = 1;
        }
    }
    if (model >= 0)
        palette->colormodel = model;
    if (smooth >= 0)
        palette->smooth = smooth;
    if (offsetGiven)
        palette->offset = offset;
    palette->Rebuild();
    if (knotmode >= 0 && knotmode != palette->knotmode) {
        palette->knotmode = knotmode;
        palette->AlignKnots(nullptr);
        palette->Rebuild();
    }
    if (tolerance >= 0) {
        palette->Simplify(tolerance);
        palette->Rebuild();
    }
    for (int j = 0; j < PALETTE_SIZE; j++) {
        const RGBQUAD& e = palette->colorTable[j];
        printf("%d %d %d %d\n", j, e.rgbRed, e.rgbGreen, e.rgbBlue);
    }
    for (int c = 0; c < 3; c++) {
        char label[16];
        snprintf(label, sizeof label, "knots %d", c);
        PrintKnots(label, palette->knots[c]);
    }
    return 0;
}

int RunAlpha(int argc, char** argv) {
    Options options(argc, argv);
    const char* list = nullptr;
    double offset = 0, tolerance = -1;
    int smooth = 0;
    while (!options.Done()) {
        const char* word = options.Word();
        if (strcmp(word, "--points") == 0) {
            if (!options.Value(word, &list))
                return 2;
        } else if (strcmp(word, "--smooth") == 0) {
            smooth = 1;
        } else if (strcmp(word, "--offset") == 0) {
            if (!options.Number(word, &offset))
                return 2;
        } else if (strcmp(word, "--simplify") == 0) {
            if (!options.Number(word, &tolerance))
                return 2;
        } else {
            return Fail("unknown alpha option \"%s\"", word);
        }
    }
    AlphaChannel channel;
    if (list) {
        std::vector<SpecKnot> points[1];
        int count = 0;
        if (!ParseKnotSpec(list, points, 1, &count))
            return 2;
        channel.Clear();
        for (const SpecKnot& p : points[0])
            channel.InsertPoint(p.x, p.y);
    }
    channel.smooth = smooth;
    channel.offset = offset;
    if (tolerance >= 0)
        channel.Simplify(tolerance);
    channel.Resample();
    for (int row = 0; row < ALPHA_TABLE_SIZE / 20; row++)
        for (int i = 0; i < 20; i++)
            printf(i < 19 ? "%d " : "%d\n", channel.alphaTable[row * 20 + i]);
    PrintKnots("points", channel.points);
    return 0;
}

}  // namespace

int RunColourCommand(int argc, char** argv) {
    if (argc < 1) {
        fprintf(stderr, "usage: spxcalc colour model|palette|alpha|map|othermap|merge ...\n");
        return 2;
    }
    const char* sub = argv[0];
    if (strcmp(sub, "model") == 0)
        return RunModel(argc - 1, argv + 1);
    if (strcmp(sub, "palette") == 0)
        return RunPalette(argc - 1, argv + 1);
    if (strcmp(sub, "alpha") == 0)
        return RunAlpha(argc - 1, argv + 1);
    if (strcmp(sub, "map") == 0)
        return RunColourMapCommand(argc - 1, argv + 1);
    if (strcmp(sub, "othermap") == 0)
        return RunColourOtherMapCommand(argc - 1, argv + 1);
    if (strcmp(sub, "merge") == 0)
        return RunColourMergeCommand(argc - 1, argv + 1);
    fprintf(stderr, "spxcalc colour: unknown subcommand \"%s\" (model palette alpha map othermap merge)\n",
            sub);
    return 2;
}
