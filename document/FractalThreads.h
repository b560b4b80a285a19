// The calculation threads of open fractals as seen from the main thread and
// from the loaders: which thread calculates, waiting for a lock unless the
// thread has a command, and the fractal a layer belongs to.
#pragma once

class Fractal;
class BusyLock;

// True when the calling thread is the calculation thread of a fractal of
// any folder in FolderList.
bool IsFractalThread();

// Spins (without sleeping) until lock can be taken, giving up as soon as the
// fractal's calculation thread has a command pending. Unless keepRedraw is
// true, a pending FTC_REDRAW3D is cleared first and does not end the wait.
// Returns 1 with the lock taken, 0 without it.
int WaitForLockOrCommand(Fractal* fractal, BusyLock* lock, bool keepRedraw);

// The layered fractal a layer belongs to, the fractal itself when it is not
// a layer, null for null.
Fractal* GetBaseFractal(Fractal* fractal);
