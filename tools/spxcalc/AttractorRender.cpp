// spxcalc render --workers N --seed N for attractor entries: the options go
// into the process-wide settings the attractor calculator reads, so a
// windowless render through the task's thread is repeatable.
#include "tools/spxcalc/AttractorRender.h"

#include <stdio.h>

#include "fractals/attractor/CalculateAttractor.h"

int ApplyAttractorRenderOptions(int workers, unsigned seed)
{
    if (workers < 0 || workers > 32) {
        fprintf(stderr, "spxcalc render: --workers takes 1 to 32 (not %d)\n", workers);
        return 2;
    }
    g_AttractorWorkers = workers;
    g_AttractorSeed = seed;
    return 0;
}
