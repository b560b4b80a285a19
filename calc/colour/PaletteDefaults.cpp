// The two palettes built at start from the program's own data: the default
// gradient every new fractal copies (knots per channel at the positions of
// the table below) and the colour cube shown for 24-bit images on 8-bit
// displays.
#include "calc/colour/Palette.h"

#include <string.h>

namespace {

// DEFAULT_KNOT(position, red, green, blue); -1: that channel has no knot
// there.
#define DEFAULT_PALETTE_KNOTS(X) \
    X(0, 150, 150, 150)          \
    X(3, 180, 180, 180)          \
    X(9, 252, 252, 252)          \
    X(16, 0, 0, 252)             \
    X(32, 252, 252, 0)           \
    X(48, 252, 0, 0)             \
    X(64, 0, 0, 252)             \
    X(80, 0, 252, 0)             \
    X(96, 252, 0, 252)           \
    X(112, 80, 0, 80)            \
    X(128, 0, 120, 200)          \
    X(144, -1, 200, -1)          \
    X(145, -1, -1, 200)          \
    X(160, 0, 160, 252)          \
    X(176, 252, 252, -1)         \
    X(177, -1, -1, 248)          \
    X(208, -1, 160, 0)           \
    X(224, -1, 252, -1)          \
    X(240, 252, 0, 0)            \
    X(251, 172, 100, 100)

// Entries 252..255 keep these colours: the rebuild never writes them.
const uint8_t kDefaultTail[4][3] = { { 164, 112, 112 }, { 156, 120, 120 },
                                     { 148, 128, 128 }, { 140, 140, 140 } };

Palette* MakeDefaultPalette()
{
    uint8_t rgb[PALETTE_TABLE_SIZE][3];
    uint8_t flags[PALETTE_TABLE_SIZE];
    memset(rgb, 0, sizeof rgb);
    memset(flags, 0, sizeof flags);
    struct Knot { int pos, value[3]; };
#define DEFAULT_KNOT(pos, r, g, b) { pos, { r, g, b } },
    static const Knot kKnots[] = { DEFAULT_PALETTE_KNOTS(DEFAULT_KNOT) };
#undef DEFAULT_KNOT
    static const uint8_t kChannelBit[3] = { 4, 2, 1 };
    for (const Knot& k : kKnots)
        for (int c = 0; c < 3; c++)
            if (k.value[c] >= 0) {
                rgb[k.pos][c] = (uint8_t)k.value[c];
                flags[k.pos] |= kChannelBit[c];
            }
    memcpy(rgb[PALETTE_SIZE], kDefaultTail, sizeof kDefaultTail);
    return new Palette(rgb, flags);
}

// Entry 36r + 6g + b of the 6x6x6 cube is (51r, 51g, 51b); then five steps
// each of grey, green, red and blue; the rest black.
Palette* MakeColorCubePalette()
{
    uint8_t rgb[PALETTE_TABLE_SIZE][3];
    memset(rgb, 0, sizeof rgb);
    for (int r = 0; r < 6; r++)
        for (int g = 0; g < 6; g++)
            for (int b = 0; b < 6; b++) {
                uint8_t* e = rgb[36 * r + 6 * g + b];
                e[0] = (uint8_t)(51 * r);
                e[1] = (uint8_t)(51 * g);
                e[2] = (uint8_t)(51 * b);
            }
    static const uint8_t kSteps[5] = { 25, 76, 127, 178, 229 };
    for (int i = 0; i < 5; i++) {
        uint8_t k = kSteps[i];
        uint8_t* grey = rgb[216 + i];
        grey[0] = grey[1] = grey[2] = k;
        rgb[221 + i][1] = k;
        rgb[226 + i][0] = k;
        rgb[231 + i][2] = k;
    }
    return new Palette(rgb);
}

}  // namespace

Palette* DefaultPalette = MakeDefaultPalette();
Palette* ColorCubePalette = MakeColorCubePalette();
