// The undo history of a fractal: each user change is recorded as a snapshot
// of the whole base fractal as parameter-entry text, walked back and forth
// by undo and redo.
#pragma once
#include "foundation/List.h"

class Fractal;

// One recorded state: name = the description shown in the undo menu,
// key = GetTickCount at recording, data = the snapshot text (heap, owned).
class UndoStep : public ListNode {
public:
    UndoStep();
    virtual ~UndoStep();
    char* Snapshot() const { return static_cast<char*>(data); }
};

// Records the state of the fractal's base fractal under the description.
// 0 when the fractal is null or no snapshot could be made, else 1 (also
// when recording is off or nothing changed). Callers recalculate only on 1.
int AddUndoStep(Fractal* fractal, const char* description);
// One step back (redo 0) or forward (redo non-zero), guarded.
void DoUndo(Fractal* fractal, int redo);

// The core of undo and redo on the base fractal: reads the snapshot of the
// step before (after, with redo) the cursor into the fractal and moves the
// cursor to it; at either end of the history nothing is read. The fractal
// is selected again when it was current; the undo menu follows.
void RestoreUndoSnapshot(Fractal* fractal, int redo);

// Changes the image size (layers scaled along with layersToo; no
// recalculation with noRecalculation): 0, or -1 when the buffers could not
// be made. Sizes are at least 112 x 50 while the fractal has a task.
int ResizeFractal(Fractal* fractal, int width, int height, int layersToo, int noRecalculation);

// The test of the tool windows: the value changed and its check box is ticked.
bool IsCheckedAndChanged(double a, bool checked, double b);
