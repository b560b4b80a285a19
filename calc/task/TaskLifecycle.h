// Building and tearing down the calculation task of a fractal: the task
// with its thread (and window, unless it is a windowless task of a tool or
// render job), its buffers and bitmap headers, and the stored picture that
// stands in for a calculation.
#pragma once

class Fractal;
class FractalTask;

// CreateFractalTask under the exception guard. 0 = the task exists (also
// when it existed already), 1 = an exception (reported as "PictureToTask
// Type=%d Name=%s"; what was built is removed), 2 = not enough memory,
// 3 = the pending parameter text failed to parse and the fractal was
// deleted, 4 = an IFS fractal without usable formula.
int PictureToTask(Fractal* fractal, int stayIdle, int start, int show, int openParent, int withWindow,
                  int showMessages);
// The body of PictureToTask (results 0, 2, 3, 4).
int CreateFractalTask(Fractal* fractal, int stayIdle, int start, int show, int openParent, int withWindow,
                      int showMessages);
// Ends the thread, frees everything and deletes the task; with confirm (and
// the CNF_DelTask option) asks first and returns the declining answer
// (2 Cancel, 7 No) without deleting anything. Nothing without a task.
int DeleteFractalTask(Fractal* fractal, int deleteWindow, int confirm, int keepParents);
