// Operations on a fractal and its window that several commands share: a
// new image size with the window following it, undo and redo that reopen
// the window when the snapshot changes the fractal's kind, duplicating a
// fractal together with its calculated image, and counting the layered
// fractals that use a fractal as a layer.
#pragma once

class Fractal;
class FractalFolder;

// The folder the last new fractal went into (null: none yet).
extern FractalFolder* g_NewFractalFolder;
// The folder new fractals go into: g_NewFractalFolder while it is listed,
// else the current folder, else a new folder "Unnamed" that becomes current.
FractalFolder* FolderForNewFractals();

// Lays the fractal windows out again after a size change of the current
// fractal (bound by the application; skipped while null).
extern void (*g_LayoutFractalWindows)();

// Resizes the fractal's image (and with layersToo its layers) and its
// window: unless the window uses scroll bars the size is clamped to the
// virtual screen; with an open calculation it is at least 112 x 50. The
// window takes the new client size (scroll range in scroll-bar mode) and is
// repainted; the layer-properties window follows. 0, or -1 on failure (and
// for images, whose size is their picture's).
int ResizeFractalWindow(Fractal* fractal, int width, int height, int layersToo, int noRecalculation);

// Undo (redo non-zero) with the window parts: when the snapshot gives the
// base fractal another type, its window is closed first (the position
// kept), and opened again afterwards at that position, the layered
// fractals that use it stopped before and recalculated after.
void RestoreUndoSnapshotWithWindow(Fractal* fractal, int redo);

// Adds a copy of the base fractal (its layers copied along) to the folder
// for new fractals and makes it current. When the source has an open
// calculation the copy's window opens; equal buffer sizes copy the
// calculated data and recolour instead of calculating again. The copy.
Fractal* DuplicateFractal(Fractal* fractal);

// The number of layered fractals in all folders that hold the fractal as a
// layer, each counted once; with onlyOpen only those whose window is open.
int CountLayerReferences(Fractal* fractal, bool onlyOpen);
