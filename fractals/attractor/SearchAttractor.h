// The attractor parameter search on the fractal's calculation thread: it
// compiles the searched formula's transformations with a compiler of its
// own, assembles the search's init and loop programs and walks the
// parameters at random until the exponent estimate accepts them. Only a
// found set stays and is handed to the main window (1034); otherwise the
// values are put back and the failure is reported.
#pragma once
#include <windows.h>
#include "fractals/attractor/AttractorSearch.h"

class Fractal;
class AttractorFormula;

// The progress text of a search ("Searching...1000", "Exponent:  0.123"),
// drawn into the fractal's window by the application; null (tools, tests,
// windowless fractals): not shown.
extern void (*g_ShowAttractorSearchText)(Fractal* fractal, const char* text);
// Trials of one search before it gives up (100,000; tests lower it).
extern int g_AttractorSearchTrials;

// Draws text in the search's box centred on an image of imageWidth x
// imageHeight pixels in window: grey-beige box, etched border, dark text.
void DrawAttractorSearchBox(HWND window, int imageWidth, int imageHeight, const char* text);

// The command FTC_SEARCH: the current formula (currentOnly) or every
// formula that is not hidden, each searched by itself; count parameters of
// randomization type 1 move per trial (0 all, 1 or more that many, below 0
// none: they go back to their defaults). UM_NEW_RANDOM_PARAMETERS goes to
// the main window when a set was found, or after a measure.
void SearchAttractor(Fractal* fractal, int currentOnly, int count, int measureOnly);

// One search of formula (null: every formula that is not hidden). A
// transformation that does not compile, a memory failure or a formula
// without visible transformations gives SEARCH_EXHAUSTED with the values
// untouched; *estimate (when given) receives the last estimate. maxTrials
// 0 means g_AttractorSearchTrials.
AttractorSearchOutcome SearchAttractorFormula(Fractal* fractal, AttractorFormula* formula, int count,
                                              bool measureOnly, double* estimate = nullptr, int maxTrials = 0);
