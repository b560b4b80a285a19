// The preview step of the attractor calculation: worker 0 runs the program
// in 3D mode until the preview has its points, the cloud is measured for
// the bounding sphere the shadow cameras frame (also without a window), and
// for a fractal window it is drawn through the task's OpenGL context into
// the image and shown before the accumulation starts.
#pragma once

class Fractal;
class OpenGLRenderer;

// The task's renderer, null when the task has none.
OpenGLRenderer* AttractorRendererOf(Fractal* fractal);

// Gathers the points when the renderer asks for it (its rebuild flag, or no
// points yet), measures them and, with a window, draws them offscreen and
// puts the frame into the image (the window is told to repaint). Leaves
// worker 0's block projecting again. 0 done, 3 a command came first.
int ShowAttractorPreview(Fractal* fractal, bool ownColours);
