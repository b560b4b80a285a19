// The state of one escape-time calculation between its set-up
// (EscapeTimeSetup.cpp) and its roads (EscapeTimeRoad.cpp): the row
// context, the start pass, the progress total and what the set-up made
// that the finish releases.
#pragma once
#include "calc/escapetime/EscapeTime.h"

class FractalTask;

struct EscapeTimeRun {
    Fractal* fractal = nullptr;
    FractalTask* task = nullptr;
    EscapetimeParameters* block = nullptr;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    LineContext context = {};
    int startPass = 1;
    double progressTotal = 1;
    void* orbit = nullptr;       // (MaxIter + 10) x 32 bytes while a formula reads oldz
    int arrayPairs = 0;          // pairs in the task's array table
};

// The set-up: compiles, assembles, binds and fills the context. 0 when the
// pixels can be calculated, else the calculation's result (1, 2 or 3).
int SetUpEscapeTime(EscapeTimeRun* run);
// The orbit buffer's size for a MaxIter; 0 when it cannot be had in one
// block (a negative or overflowing size).
size_t OrbitBufferBytes(int maxIter);
// Whether a formula text reads the orbit history: it names oldz as a word
// (the compiler keeps no usage word for it).
bool NamesOldz(const char* text);

// The task's row lock for the calculation thread: false when a command
// arrived while waiting for it. Releasing clears rowsMoved.
bool TakeRowLock(Fractal* f);
void ReleaseRowLock(Fractal* f);
