#include "app/FractalImage.h"
#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "document/Fractal.h"

void DrawFractalImage(Fractal* fractal, HDC dc, int left, int top, int right, int bottom,
                      int selectPalette)
{
    if (fractal == NULL || fractal->task == NULL || fractal->task->window == NULL)
        return;
    fractal->Lock();
    // The task may have been deleted while this thread waited for the lock.
    FractalTask* task = fractal->task;
    if (task == NULL) {
        fractal->Unlock();
        return;
    }

    if (selectPalette && DisplayPalette != NULL)
        SelectPalette(dc, DisplayPalette, FALSE);

    const TaskBitmapInfo* info;
    const unsigned char* bits;
    if (fractal->header->Type == FT_QUATERNION) {
        info = &task->dib3D;
        bits = task->image3D;
    } else {
        info = &task->dib;
        bits = task->imageBits;
    }

    // Only the part of the rectangle that lies inside the image is copied.
    int imageWidth = info->header.biWidth;
    int imageHeight = info->header.biHeight;
    if (right >= imageWidth)
        right = imageWidth - 1;
    if (bottom >= imageHeight)
        bottom = imageHeight - 1;
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    int width = right - left + 1;
    int height = bottom - top + 1;

    if (bits != NULL && width > 0 && height > 0) {
        // The image is a bottom-up bitmap: its source rows count from the
        // bottom, so the copy lands 1:1 on the window rows.
        StretchDIBits(dc, left, top, width, height, left, imageHeight - bottom - 1, width, height,
                      bits, reinterpret_cast<const BITMAPINFO*>(info), DIB_RGB_COLORS, SRCCOPY);
    }
    fractal->Unlock();
}
