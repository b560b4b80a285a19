// What spxcalc render and spxcalc bench share: the formula folders, the
// reading of one entry, and a calculation on a windowless task through the
// calculation thread's own protocol (start, recalculate, optional stop).
#pragma once

#include <string>

class Fractal;

// The program's own formula folder: SPIRALIX_FORMULAS, else the first
// "Formulas" folder holding Spiralix.sfm beside the program or above it;
// empty when none is found.
std::string OwnFormulaFolder();

// Scans the folders of a ";"-separated list (may be null) and then the
// program's own formula folder (SPIRALIX_FORMULAS, else the first
// "Formulas" folder holding Spiralix.sfm beside the program or above it)
// into the formula trees, in that order, and makes them the search path.
void LoadRenderFormulaFolders(const char* pathList);

// Reads the entry named entry (without case) of the parameter file at path
// into a new fractal. 0 read; 2 the file cannot be read or has no such
// entry, or the reader refused it (the reason in error).
int ReadRenderEntry(const char* path, const char* entry, Fractal** fractal, std::string& error);

// What a threaded calculation answered.
struct ThreadRun {
    int result = -1;           // the calculator's result
    unsigned long ms = 0;      // from the recalculate command to its end
    int criticalBoxes = 0;     // "Critical Error" boxes shown meanwhile
};

// Gives the fractal a windowless task, starts its thread and sends
// FTC_RECALCULATE; with stopAfterMs >= 0 FTC_STOP follows after that many
// milliseconds unless the calculation ended before. The task stays (the
// caller reads its buffers and ends it with DeleteFractalTask). False when
// no task could be made.
bool RunThreadCalculation(Fractal* fractal, int stopAfterMs, ThreadRun* run);

// Calculates every layer of a layered fractal on a windowless task of its
// own, one after the other, each to its end; the tasks stay. False when a
// layer got no task.
bool RunLayerCalculations(Fractal* layered);

// Moves the message list's lines to standard error.
void FlushRenderMessages();
