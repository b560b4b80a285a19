// The calculation thread of a fractal task: its command loop, the guarded
// calculation and recolouring, and the dispatch by fractal type. The thread
// polls the task's command word every 10 ms; other threads write the word
// with Fractal::SendThreadCommand and wait for the answer.
#pragma once
#include <windows.h>

class Fractal;
class Thread;
class FractalTask;

// Milliseconds between display updates and progress messages (default 10).
extern int DrawingSpeed;
// Play the finish sound after a calculation of more than 10 s (default 1).
extern BYTE SoundOnFinish;

// The start routine of the task's Thread; the thread's user data is the Fractal.
DWORD FractalThreadProc(Thread* thread);

// DispatchFractalCalculation under the calculation guard: the stop request
// is swallowed, any other taken exception is reported as
// "DrawFractal Type=%d Name=%s".
void DrawFractal(Fractal* fractal, Thread* thread, int x0, int y0, int x1, int y1);
// Calls the calculator of the fractal's type, stores its result, sets the
// state and posts UM_CALCULATION_DONE after a run that reached its end.
void DispatchFractalCalculation(Fractal* fractal, Thread* thread, int x0, int y0, int x1, int y1);
// RecolourFractal under the guard ("RethinkFractal Type=%d Name=%s").
void RethinkFractal(Fractal* fractal, Thread* thread);
// Recolours the stored data from the middle row outwards, drawing the
// coloured bands at most once every DrawingSpeed ms.
void RecolourFractal(Fractal* fractal, Thread* thread);
// Recolours every row, bottom to top, with progress; draws nothing.
void RecolourAllLines(Fractal* fractal, int dither);

// A calculator: (fractal, x0, y0, x1, y1) -> 0 finished, 3 stopped, else a failure.
typedef int (*Calculator)(Fractal* fractal, int x0, int y0, int x1, int y1);
// The calculator of a type, null for the types that calculate nothing.
Calculator CalculatorOfType(int type);
// Stands a calculator in for a type (tests and tools); answers the one it
// replaced. The calculators themselves are listed in FractalThread.cpp.
Calculator ReplaceCalculator(int type, Calculator calculator);

// Writes value into the task's command word only while it still holds
// expected: a command another thread wrote meanwhile stays. True when written.
bool TakeCommand(FractalTask* task, int expected, int value);

// True when the command word holds a command that ends a calculation step;
// a waiting FTC_REDRAW3D is cleared and does not count. Calculators poll it
// within their rows and steps.
bool CommandPending(FractalTask* task);

// Clears the error rows of the dithering (rows 3..8) before a new pass.
void ZeroDitherErrors(Fractal* fractal);
// Shows image rows first..last (clipped to the image) in the fractal's
// window, when it has a visible one.
void DrawVisibleRows(Fractal* fractal, int first, int last);
