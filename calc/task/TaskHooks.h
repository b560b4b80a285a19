// What the calculation thread and the task's lifecycle need of windows, of
// the 3D views, of the animation and of calculators that arrive later: one
// table of hooks the application binds at start-up. Tools and tests leave
// them null (nothing to show) or bind recorders; every caller copes with null.
#pragma once
#include <windows.h>

class Fractal;
class FractalTask;

struct TaskHooks {
    // ----- Windows of a task (a task without window never calls these)
    // Makes the fractal window of a task (window id 2100) at x, y (-1 =
    // default) and stores it in task->window; visible when show is set.
    void (*createWindow)(FractalTask* task, int x, int y, int show);
    // Sets the client size of the task's window and, in fixed-size mode,
    // its scroll ranges.
    void (*sizeWindow)(FractalTask* task, int width, int height);
    void (*showWindow)(FractalTask* task);
    // Shows the window normally and answers its outer size.
    void (*restoreWindow)(FractalTask* task, int* width, int* height);
    void (*deleteWindow)(FractalTask* task);
    // Context help of the window and its client.
    void (*setWindowHelp)(FractalTask* task, const char* topic);
    void (*bringMainFrameToFront)();
    // Draws image rows firstRow..lastRow (counted from the bottom) into the
    // fractal's window with the display palette selected.
    void (*drawImageRows)(Fractal* fractal, int firstRow, int lastRow);

    // ----- 3D views
    void (*draw3D)(Fractal* fractal);
    // Refreshes the 3D position view when it shows the fractal.
    void (*refreshPositionView)(Fractal* fractal);
    void (*createRendererAndCamera)(FractalTask* task);
    void (*deleteRendererAndCamera)(FractalTask* task);

    // ----- Application glue
    // The running animation's fractal, null while no animation runs.
    Fractal* (*runningAnimationFractal)();
    // The sound after a long calculation (null: the program's WAVE 28300).
    void (*playFinishSound)();
    void (*storeRenderJobResult)(Fractal* fractal);
    void (*updateUndoMenu)(Fractal* fractal);
    void (*showLayerCalcStatus)(Fractal* fractal);
    // Opens the tasks of a layered fractal's layers (not started).
    void (*openLayerWindows)(Fractal* fractal, int withWindow);
    // Stop (action 0) or recalculate (1) the layered fractals that use the fractal.
    void (*updateLayeredParents)(Fractal* fractal, int action);
    // The number of layers of all layered fractals that refer to the fractal.
    int (*countLayerReferences)(Fractal* fractal, int withWindowOnly);
    // Removes a fractal whose parameter text failed to parse.
    void (*deleteFractal)(Fractal* fractal);
    // Releases the texture uses of an escape-time fractal's formulas.
    void (*releaseTextures)(Fractal* fractal);

    // ----- Calculators' colouring and type-specific steps
    // Colours one row of the stored data into the image.
    void (*colourRow)(Fractal* fractal, int row, int trueColour);
    void (*rethinkQuaternion)(Fractal* fractal);
    void (*redrawAttractor)(Fractal* fractal);
    void (*rethinkLayered)(Fractal* fractal);
    void (*searchAttractor)(Fractal* fractal, int bit1, int count, int bit0);
};

// The one table; all entries null until bound.
extern TaskHooks g_TaskHooks;
