// The attractor options of spxcalc render: how many point workers the
// calculation starts and the seed every worker's random numbers start from.
#pragma once

// workers 1..32 replaces processors + 1 (0 keeps it); a non-zero seed
// replaces every tick-count seed (worker i gets it shifted left and right
// by i mod 32). Answers 0, or 2 (with a message) for a count out of range.
int ApplyAttractorRenderOptions(int workers, unsigned seed);
