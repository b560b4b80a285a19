#include "calc/FractalTask.h"
#include <string.h>

FractalTask::FractalTask()
    : fractal(NULL), window(NULL), thread(NULL), command(0), values(NULL),
      flags(NULL), imageBits(NULL), snapshot(NULL), image3D(NULL), passLimit(1000), inCompiledCode(0),
      calculationState(CS_NONE), progress(0.0), image3D8(NULL), renderer(NULL), cameraWidgetShown(0),
      attractorDataInvalid(0), stateByte(0), outsideColouringMark(0), insideColouringMark(0)
{
    memset(colourTable, 0, sizeof colourTable);
    memset(&dib, 0, sizeof(dib));
    memset(&dib3D, 0, sizeof(dib3D));
}
