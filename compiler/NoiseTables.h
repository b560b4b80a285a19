// The program's gradient-noise tables, read by the perlinNoise templates of
// compiled formulas through the data block (the binders of the calculation
// store their addresses in the words __G_perlinP and __G_perlinG3).
#pragma once

#include <stdint.h>

enum { NOISE_PERMUTATION_ENTRIES = 512, NOISE_GRADIENTS = 256 };

// A permutation of 0..255, twice in a row (512 int32), so that the lattice
// hashes P[P[P[x] + y] + z] need no wrap-around.
const int32_t* PerlinPermutationTable();

// 256 gradient vectors of four doubles each (x, y, z, 0): the twelve edge
// directions of the unit cube and four of them again, repeated.
const double* PerlinGradientTable();
