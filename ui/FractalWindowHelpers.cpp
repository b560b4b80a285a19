#include "ui/FractalWindowHelpers.h"
#include <stddef.h>
#include "ui/FrameWindow.h"

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
