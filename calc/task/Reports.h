// What the calculators that run compiled formulas report and release: the
// warning about invalid results, the lack-of-memory error, the arrays the
// formulas allocated, and the task's per-pixel opacity cells.
#pragma once

class Fractal;
class FractalTask;

// Warns (message list, not shown; then UM_NEW_MESSAGE) that count pixels
// had invalid results. Nothing for count 0.
void CheckInvalidOp(Fractal* fractal, int count);
// Reports from the calculation thread that the fractal cannot be
// calculated for lack of memory.
void ReportNotEnoughMemory(Fractal* fractal);
// Frees every array recorded in the array table ({kind, offset} pairs
// ended by a kind <= 0; kind 1 = a slot in firstBlock, 2 = in secondBlock)
// and zeroes its slot, so a second call frees nothing twice.
void FreeArrays_Normal(const void* arrayTable, void* firstBlock, void* secondBlock);
// Makes (on != 0) or frees (on == 0) the task's opacity cells. False only
// when the layered parent of a layer could not be stopped or restarted.
bool SetupOldzBuffer(Fractal* fractal, FractalTask* task, int on);
