#include "calc/FractalTask.h"
#include <string.h>

FractalTask::FractalTask()
    : fractal(NULL), window(NULL), thread(NULL), command(0), values(NULL),
      flags(NULL), imageBits(NULL), snapshot(NULL), image3D(NULL)
{
    memset(&dib, 0, sizeof(dib));
    memset(&dib3D, 0, sizeof(dib3D));
}
