#include "foundation/FractalWindowHelpers.h"
#include <stddef.h>
#include "ui/FrameWindow.h"
#include "document/Fractal.h"

void ImageToWindow(PFrameWindow* window, int& x, int& y)
{
    if (window == NULL)
        return;
    x -= window->hScrollPos;
    y -= window->vScrollPos;
}

void WindowToImage(PFrameWindow* window, int& x, int& y)
{
    if (window == NULL)
        return;
    x += window->hScrollPos;
    y += window->vScrollPos;
}

Fractal* GetBaseFractal(Fractal* fractal)
{
    if (fractal == NULL)
        return NULL;
    return fractal->baseFractal != NULL ? fractal->baseFractal : fractal;
}
