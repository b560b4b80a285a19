// The random walk, the parameter choice and the exponent estimate of the
// attractor parameter search. The estimate runs the search's own small
// programs (EmitAttractorInitGlue) on a variable block, one step at a time.
#include "fractals/attractor/AttractorSearch.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>

#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorProgram.h"

double PerturbAttractorValue(double v, double lo, double hi, double randomness, int random)
{
    double r = (hi - lo) * randomness / 100.0;
    double a = v - r > lo ? v - r : lo;
    double b = v + r < hi ? v + r : hi;
    return a + (b - a) * random / 32767.0;
}

std::vector<int> PickAttractorParameters(int count, int total, AttractorRandom random)
{
    std::vector<int> picks;
    if (count < 1)
        return picks;
    if (count >= total) {
        for (int k = 0; k < total; k++)
            picks.push_back(k);
        return picks;
    }
    // Draw j among the numbers not picked yet and shift it past every
    // earlier pick at or below it. The earlier picks are walked in
    // ascending order: walked in the order drawn, a later small pick can
    // shift j onto an earlier large one and the same number comes twice.
    std::vector<int> sorted;
    for (int r = total; r > 0 && (int)picks.size() < count; r--) {
        int j = random() % r;
        for (int p : sorted)
            if (p <= j)
                j++;
        picks.push_back(j);
        sorted.insert(std::upper_bound(sorted.begin(), sorted.end(), j), j);
    }
    return picks;
}

namespace {

void SetZ(uint8_t* base, const double p[3])
{
    memcpy(base + AV_Z, p, 24);
}

bool Finite(const double p[3])
{
    return isfinite(p[0]) && isfinite(p[1]) && isfinite(p[2]);
}

void RandomUnit(AttractorRandom random, double u[3])
{
    double length = 0;
    do {
        length = 0;
        for (int k = 0; k < 3; k++) {
            u[k] = 2 * (random() / 32767.0 - 0.5);
            length += u[k] * u[k];
        }
    } while (length == 0);
    length = sqrt(length);
    for (int k = 0; k < 3; k++)
        u[k] /= length;
}

// F(p): z = p, one run of the loop program, the new z.
void Step(uint8_t* base, const void* loop, const double p[3], double out[3])
{
    SetZ(base, p);
    RunAttractorProgram(loop, base);
    memcpy(out, base + AV_Z, 24);
}

}  // namespace

double EstimateAttractorExponent(uint8_t* base, const void* initProgram, const void* loopProgram, int settle,
                                 int measure, double epsilon, int mode, AttractorRandom random)
{
    double r1 = random() / 32767.0, r2 = random() / 32767.0;
    memcpy(base + AV_RANDOM, &r1, 8);
    memcpy(base + AV_RANDOM + 16, &r2, 8);
    memset(base + AV_INDEX, 0, 10);
    RunAttractorProgram(initProgram, base);
    if (mode == 2) {
        double product;
        memcpy(&product, base + AV_RSCALE_PRODUCT, 8);
        return product;
    }
    double p[3] = {0.05, 0.05, 0.05};
    SetZ(base, p);
    for (int i = 0; i < settle; i++) {
        RunAttractorProgram(loopProgram, base);
        memcpy(p, base + AV_Z, 24);
        if (!Finite(p))
            return 1000;
    }
    double u[3], q[3];
    RandomUnit(random, u);
    for (int k = 0; k < 3; k++)
        q[k] = p[k] + epsilon * u[k];
    double sum = 0;
    int n = 0;
    for (int i = 0; i < measure; i++) {
        double p1[3], q1[3];
        Step(base, loopProgram, p, p1);
        if (!Finite(p1))
            return 1000;
        Step(base, loopProgram, q, q1);
        double delta[3] = {q1[0] - p1[0], q1[1] - p1[1], q1[2] - p1[2]};
        double d = sqrt(delta[0] * delta[0] + delta[1] * delta[1] + delta[2] * delta[2]);
        double rho = d / epsilon;
        if (rho > 0 && isfinite(rho)) {
            sum += log(rho);
            n++;
            for (int k = 0; k < 3; k++)
                q[k] = p1[k] + epsilon * delta[k] / d;
        } else {
            RandomUnit(random, u);
            for (int k = 0; k < 3; k++)
                q[k] = p1[k] + epsilon * u[k];
        }
        memcpy(p, p1, 24);
    }
    return n ? sum / n : 0.0;
}

bool AttractorExponentAccepted(int mode, double e)
{
    if (mode == 2)
        return e > 0 && e < 1;
    return e > 0.03 && e < 1000;
}

namespace {

void PerturbParameter(AttractorSearchParameter& p, double randomness, bool toInteger, AttractorRandom random)
{
    for (int c = 0; c < p.components; c++) {
        double v = PerturbAttractorValue(p.value[c], p.lo, p.hi, randomness, random());
        if (toInteger) {
            v = trunc(v + 0.5);
            v = v < p.lo ? p.lo : v > p.hi ? p.hi : v;
        }
        p.value[c] = v;
    }
}

void Show(const AttractorSearchHooks& hooks, const char* format, const char* title, double value, int trial)
{
    if (!hooks.show)
        return;
    char text[128];
    if (strchr(format, 'l'))
        snprintf(text, sizeof text, format, title, value);
    else
        snprintf(text, sizeof text, format, title, trial);
    hooks.show(hooks.context, text);
}

}  // namespace

AttractorSearchOutcome RunAttractorTrials(std::vector<AttractorSearchParameter>& parameters, int count,
                                          double randomness, int mode, bool measureOnly,
                                          const AttractorSearchHooks& hooks, double* estimate, int maxTrials)
{
    const char* title = measureOnly ? "Exponent: " : "Searching...";
    AttractorRandom random = hooks.random ? hooks.random : &rand;
    std::vector<std::vector<double>> saved;
    for (const AttractorSearchParameter& p : parameters)
        saved.emplace_back(p.value, p.value + p.components);
    double e = 0;
    AttractorSearchOutcome outcome = SEARCH_EXHAUSTED;
    for (int t = 0; t < maxTrials; t++) {
        if (hooks.commandPending && hooks.commandPending(hooks.context)) {
            if (measureOnly)
                Show(hooks, "%s %.3lf", title, e, t);
            outcome = SEARCH_STOPPED;
            break;
        }
        if (!measureOnly) {
            int typeOne = 0;
            for (const AttractorSearchParameter& p : parameters)
                typeOne += p.randomizationType == 1;
            if (count >= typeOne && count >= 1)
                count = -1;
            std::vector<int> picks;
            if (count > 0 && count < typeOne)
                picks = PickAttractorParameters(count, typeOne, random);
            int number = 0;
            for (AttractorSearchParameter& p : parameters) {
                if (p.randomizationType == 1 && count != -1) {
                    bool picked = std::find(picks.begin(), picks.end(), number) != picks.end();
                    number++;
                    if (count != 0 && !picked)
                        memcpy(p.value, p.defaults, sizeof(double) * p.components);
                    else
                        PerturbParameter(p, randomness, false, random);
                } else if (p.randomizable) {
                    PerturbParameter(p, randomness, p.integer, random);
                }
            }
        }
        e = hooks.estimate ? hooks.estimate(hooks.context, false) : 0;
        if (measureOnly) {
            Show(hooks, "%s %.3lf", title, e, t);
            outcome = SEARCH_MEASURED;
            break;
        }
        if (mode == 1 && e > 0 && e < 1000 && hooks.estimate)
            e = hooks.estimate(hooks.context, true);
        if (t % 1000 == 0)
            Show(hooks, "%s%d", title, e, t);
        if (AttractorExponentAccepted(mode, e)) {
            Show(hooks, "%s%d", title, e, t);
            outcome = SEARCH_FOUND;
            break;
        }
    }
    if (outcome == SEARCH_STOPPED || outcome == SEARCH_EXHAUSTED)
        for (size_t k = 0; k < parameters.size(); k++)
            memcpy(parameters[k].value, saved[k].data(), sizeof(double) * parameters[k].components);
    if (estimate)
        *estimate = e;
    return outcome;
}
