// Builds the gradient-noise tables once, the same in every run.
#include "compiler/NoiseTables.h"

namespace {

struct NoiseTables {
    int32_t permutation[NOISE_PERMUTATION_ENTRIES];
    double gradients[NOISE_GRADIENTS * 4];

    NoiseTables()
    {
        // The sixteen directions of improved gradient noise: the twelve
        // cube edges and four of them again, so that a hash modulo 16
        // picks them evenly.
        static const double directions[16][3] = {
            {1, 1, 0}, {-1, 1, 0}, {1, -1, 0}, {-1, -1, 0},
            {1, 0, 1}, {-1, 0, 1}, {1, 0, -1}, {-1, 0, -1},
            {0, 1, 1}, {0, -1, 1}, {0, 1, -1}, {0, -1, -1},
            {1, 1, 0}, {0, -1, 1}, {-1, 1, 0}, {0, -1, -1},
        };
        for (int i = 0; i < NOISE_GRADIENTS; i++) {
            for (int k = 0; k < 3; k++)
                gradients[4 * i + k] = directions[i & 15][k];
            gradients[4 * i + 3] = 0;
        }
        // A fixed shuffle (Fisher-Yates driven by a linear congruential
        // generator with a fixed seed): the noise is the same in every run.
        uint32_t state = 0x2545F491u;
        int32_t p[256];
        for (int i = 0; i < 256; i++)
            p[i] = i;
        for (int i = 255; i > 0; i--) {
            state = state * 1664525u + 1013904223u;
            int j = (int)((state >> 8) % (uint32_t)(i + 1));
            int32_t t = p[i];
            p[i] = p[j];
            p[j] = t;
        }
        for (int i = 0; i < NOISE_PERMUTATION_ENTRIES; i++)
            permutation[i] = p[i & 255];
    }
};

const NoiseTables& Tables()
{
    static const NoiseTables tables;
    return tables;
}

}  // namespace

const int32_t* PerlinPermutationTable()
{
    return Tables().permutation;
}

const double* PerlinGradientTable()
{
    return Tables().gradients;
}
