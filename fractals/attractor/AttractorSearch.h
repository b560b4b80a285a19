// The numeric core of the attractor parameter search: the random walk of
// one parameter value, the choice of which parameters a trial moves, the
// estimate of the largest Lyapunov exponent of a formula's map from its
// init and loop programs, and the rule that accepts an estimate.
#pragma once

#include <stdint.h>
#include <vector>

// A source of random numbers 0 … 32767 (rand by default).
typedef int (*AttractorRandom)();

// One perturbation of a component v with range [lo, hi] and Randomness in
// percent: a uniform value in [max(v - r, lo), min(v + r, hi)], r being
// Randomness % of the range; random is 0 … 32767.
double PerturbAttractorValue(double v, double lo, double hi, double randomness, int random);

// Which of total parameters (numbered 0 … total - 1) a trial moves when
// count of them may move: count distinct numbers, drawn without repeats.
// Empty for count < 1; every number when count >= total.
std::vector<int> PickAttractorParameters(int count, int total, AttractorRandom random);

// The estimate of the exponent of the map the loop program applies to z
// (mode 1): settle steps from (0.05, 0.05, 0.05), then measure steps of a
// pair of orbits epsilon apart, pulled back after each step. Mode 2
// answers the init program's rscaleProduct. An orbit that becomes
// infinite gives 1,000; pairs that never separate give 0.
double EstimateAttractorExponent(uint8_t* base, const void* initProgram, const void* loopProgram, int settle,
                                 int measure, double epsilon, int mode, AttractorRandom random);

// Whether a search accepts an estimate: mode 1 0.03 < e < 1,000 (chaotic
// and bounded), mode 2 0 < e < 1.
bool AttractorExponentAccepted(int mode, double estimate);

// One searched parameter of a considered transformation.
struct AttractorSearchParameter {
    double* value = nullptr;          // current components (moved in place)
    const double* defaults = nullptr; // default components
    int components = 1;
    double lo = 0, hi = 1;            // the randomise range, else the value range
    int randomizationType = 0;        // 1: counted and picked; others as flagged
    bool randomizable = false;        // randomizable, enabled and visible
    bool integer = false;             // int-like data types: rounded and clamped
};

enum AttractorSearchOutcome {
    SEARCH_FOUND,      // accepted parameters are in place
    SEARCH_MEASURED,   // measure only: the values were not touched
    SEARCH_STOPPED,    // a command came first: the values are restored
    SEARCH_EXHAUSTED,  // no trial was accepted: the values are restored
    SEARCH_FAILED,     // nothing to search, a formula that does not compile, or no memory
};

struct AttractorSearchHooks {
    void* context = nullptr;
    // The estimate of the current values; precise asks for the long measure.
    double (*estimate)(void* context, bool precise) = nullptr;
    bool (*commandPending)(void* context) = nullptr;
    // The progress box's text ("Searching...1000", "Exponent:  0.123").
    void (*show)(void* context, const char* text) = nullptr;
    AttractorRandom random = nullptr;
};

// The trials of one search: perturbs the parameters (unless measureOnly),
// estimates, and stops at the first accepted estimate, at a command or
// after maxTrials. Only a found set stays: otherwise every value is put
// back as it was before the search. *estimate receives the last estimate.
AttractorSearchOutcome RunAttractorTrials(std::vector<AttractorSearchParameter>& parameters, int count,
                                          double randomness, int mode, bool measureOnly,
                                          const AttractorSearchHooks& hooks, double* estimate,
                                          int maxTrials = 100000);
