// A task without window and thread for tools and tests: the per-pixel
// buffers of the fractal's size, zeroed, so that the view operations (zoom,
// move, undo) run on a fractal as they do on an open one.
#pragma once

class Fractal;
class FractalTask;

// Gives the fractal a task (or returns the one it has) with zeroed value
// and flag buffers of (Width + 1) x Height cells, its image (8-bit images
// black, index 252), a rows lock and, for quaternions, a depth buffer and a
// 3D image. Null when a buffer cannot be had.
FractalTask* AttachBareTask(Fractal* fractal);
// Frees what AttachBareTask made and leaves the fractal without task.
void FreeBareTask(Fractal* fractal);
