// The fractal task's record with its start values, the 2D work arrays and
// the loop of the calculators' worker threads. Building a whole task (its
// thread, window and buffers) is calc/task/TaskLifecycle.cpp.
#include "calc/FractalTask.h"
#include <stdlib.h>
#include <string.h>
#include <float.h>

FractalTask::FractalTask()
{
    // Everything without a start value of its own is 0 or null.
    memset(workers, 0, sizeof workers);
    memset(rowWorkers, 0, sizeof rowWorkers);
    fractal = nullptr;
    window = nullptr;
    windowHidden = 1;
    thread = nullptr;
    renderer = nullptr;
    cameraWidget = nullptr;
    heightSpline = nullptr;
    attractorDataInvalid = 0;
    attractorKernel = attractorKernelMask = nullptr;
    attractorPointCount = 0.0;
    stateByte = attractorResume = attractorProgramSaved = 0;
    formulaCompiler = nullptr;
    codeBuffer = codeBuffer2 = codeBuffer3 = codeBuffer4 = nullptr;
    outsideColouringMark = insideColouringMark = 0;
    workerDoneEvent = rowWorkerDoneEvent = nullptr;
    inCompiledCode = 0;
    progress = -1.0;
    progressShown = -1.0;
    calculationState = CS_NONE;
    recolourOnLeaving3D = 0;
    lastCalculateCommand = 0;
    passLimit = 1000;
    dragX = dragY = -10000;
    dragValue = 0;
    lastDisplayTick = 0;
    layerUpdateCount = 10;
    plasmaRandomState = 0;
    rowWorkBuffer = filterRows = filterRows2 = smallBuffer = nullptr;
    varBlock = varBlock2 = varBlock3 = varBlock4 = nullptr;
    memset(workerBlocks, 0, sizeof workerBlocks);
    attractorWeights = attractorColours = nullptr;
    penX = penY = 0;
    penDepth = 0.0;
    oldzRows = oldzRows2 = 0;
    heightSplineKnots = 0;
    dataBlockExtra = 0;
    backgroundBrush = nullptr;
    pen = nullptr;
    penColour[0] = penColour[1] = penColour[2] = 0;
    command = 0;
    commandArgument = 0;
    values = heights = nullptr;
    plane0 = &arrays[0];
    plane1 = &arrays[1];
    plane2 = &arrays[2];
    oldz = &arrays[3];
    for (int i = 0; i < 4; ++i)
        planes[i] = &arrays[4 + i];
    plane7 = &arrays[8];
    plane8 = &arrays[9];
    flags = nullptr;
    memset(gammaTable, 0, sizeof gammaTable);
    rowLock = rowLock2 = nullptr;
    rowsMoved = 0;
    heightsValid = 0;
    imageBits = shadowBits = image3D = image3D8 = nullptr;
    snapshot = nullptr;
    size3DWidth = size3DHeight = 0;
    memset(work3D, 0, sizeof work3D);
    selectionBox[0] = selectionBox[1] = -10000;
    selectionBox[2] = selectionBox[3] = 0;
    memset(dragRect, 0, sizeof dragRect);
    mouseMode = 0;
    dragScale = 0.0;
    for (int i = 0; i < 4; ++i) {
        markerX[i] = -10000;
        markerY[i] = 0;
    }
    markerCount = 0;
    memset(&dib, 0, sizeof dib);
    memset(&dib8, 0, sizeof dib8);
    memset(&dib3D, 0, sizeof dib3D);
    memset(ditherRows, 0, sizeof ditherRows);
}

void Array2D::Clear()
{
    data = nullptr;
    width = height = cellSize = 0;
    owns = 0;
}

void* Array2D::Allocate(int w, int h, int size)
{
    Free();
    // Sizes come from parameter files: a product that does not fit is no
    // allocation at all, never a short one.
    if (w <= 0 || h <= 0 || size <= 0)
        return nullptr;
    unsigned long long bytes = (unsigned long long)w * (unsigned long long)h * (unsigned long long)size;
    if (bytes > 0x7FFFFFFFull)
        return nullptr;
    void* block = calloc((size_t)bytes, 1);
    if (!block)
        return nullptr;
    data = block;
    width = w;
    height = h;
    cellSize = size;
    owns = 1;
    return block;
}

void Array2D::Fill(uint32_t value)
{
    if (!data || width <= 0 || height <= 0)
        return;
    uint32_t* first = static_cast<uint32_t*>(data);
    for (int x = 0; x < width; ++x)
        first[x] = value;
    for (int y = 1; y < height; ++y)
        memcpy(first + (size_t)y * width, first, (size_t)width * 4);
}

void Array2D::Free()
{
    if (owns && data)
        free(data);
    Clear();
}

void RunWorkerLoop(WorkerSlot* slot, WorkerRoutine work)
{
    // Exceptions masked, 64-bit precision: compiled code expects it.
    unsigned short cw = 0x037F;
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
    while (slot->workerState != WORKER_QUIT) {
        if (slot->workerDone == 0 && slot->workerState != 0) {
            work(slot);
            slot->workerDone = 1;
            SetEvent(slot->doneEvent);
        } else {
            WaitForSingleObject(slot->wakeEvent, 1);
        }
    }
    slot->workerDone = 1;
    SetEvent(slot->doneEvent);
}
