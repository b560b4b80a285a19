// The gradient-noise tables of the main initialisation. They come from the
// runtime library's rand() with a fixed seed, so that the same formula
// gives the same noise in every run and on every machine.
#include "app/MainInit.h"

#include <math.h>
#include <stdlib.h>

int NoiseHash[NOISE_TABLE_SIZE];
float NoiseGradient1[NOISE_TABLE_SIZE];
int NoisePermutation[NOISE_TABLE_SIZE_PADDED];
float NoiseGradient3[NOISE_TABLE_SIZE_PADDED][4];

void InitNoiseTables()
{
    srand(18237);
    for (int i = 0; i < 256; ++i)
        NoiseHash[i] = NoiseHash[i + 256] = rand() % 255;
    float ramp[256];
    for (int k = 0; k < 256; ++k)
        ramp[k] = (float)k / 255.0f * 2.0f - 1.0f;
    for (int i = 0; i < 256; ++i)
        NoiseGradient1[i] = ramp[NoiseHash[i]] * 0.70710677f;
    for (int j = 0; j < 256; ++j)
        NoiseGradient1[256 + j] = NoiseGradient1[j];
    for (int i = 0; i < 256; ++i) {
        NoisePermutation[i] = i;
        float* g = NoiseGradient3[i];
        for (int k = 0; k < 3; ++k)
            g[k] = (float)(rand() % 512 - 256) / 256.0f;
        g[3] = 0.0f;
        float length = sqrtf(g[0] * g[0] + g[1] * g[1] + g[2] * g[2]);
        // All three components can come out 0: that gradient stays zero.
        if (length > 0.0f)
            for (int k = 0; k < 3; ++k)
                g[k] /= length;
    }
    for (int i = 255; i > 0; --i) {
        int j = rand() % 256;
        int t = NoisePermutation[i];
        NoisePermutation[i] = NoisePermutation[j];
        NoisePermutation[j] = t;
    }
    // Entries 256..513 repeat 0..257, so lookups of i + 1 and i + 2 need
    // no wrap-around.
    for (int i = 0; i < 258; ++i) {
        NoisePermutation[i + 256] = NoisePermutation[i];
        for (int k = 0; k < 4; ++k)
            NoiseGradient3[i + 256][k] = NoiseGradient3[i][k];
    }
}
