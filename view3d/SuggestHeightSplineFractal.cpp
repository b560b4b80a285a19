// The height-curve suggestion on a fractal's own calculated data: the
// task's value and flag buffers with the fractal's buffer width as stride.
#include "view3d/Parameters3D.h"

#include "calc/FractalTask.h"
#include "document/Fractal.h"

void SuggestHeightSpline(Fractal* fractal)
{
    if (!fractal || !fractal->task || !fractal->params3D || !fractal->header)
        return;
    HeightFieldSource s;
    s.values = fractal->task->values;
    s.flags = fractal->task->flags;
    s.smoothedHeights = nullptr;    // the task keeps no smoothed heights yet
    s.width = fractal->header->Width;
    s.height = fractal->header->Height;
    s.stride = fractal->GetBufferWidth();
    s.fractalType = fractal->header->Type;
    SuggestHeightSpline(*fractal->params3D, s);
}
