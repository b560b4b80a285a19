// The full recolouring of a quaternion picture: the ambient-occlusion and
// shadow passes (each reusing its result while it is valid), then the rows
// from the middle outwards, each coloured from its colour words and shaded
// from the depth plane with every light, then fog and depth of field. It
// reads only stored data, so it can run any number of times.
#include "fractals/quaternion/QuaternionRecolour.h"

#include <stdlib.h>

#include "calc/FractalTask.h"
#include "calc/colour/OtherColouring.h"
#include "calc/escapetime/EscapeTime.h"
#include "calc/task/FractalThread.h"
#include "calc/task/TaskHooks.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "fractals/quaternion/QuaternionOcclusion.h"
#include "fractals/quaternion/QuaternionPost.h"
#include "fractals/quaternion/QuaternionShading.h"

namespace {

void DrawRows(Fractal* fractal, int first, int last)
{
    FractalTask* task = fractal->task;
    if (first > last || !task->window || task->windowHidden || !g_TaskHooks.drawImageRows)
        return;
    g_TaskHooks.drawImageRows(fractal, first, last);
}

// Occlusion plane and shadow maps as the shading of this recolouring reads them.
void PrepareSurfacePasses(Fractal* fractal, QuaternionParameters* block)
{
    FractalTask* task = fractal->task;
    if (!block->AOEnabled && task->plane2->IsAllocated())
        task->plane2->Free();
    const Array2D* depth = task->plane0;
    size_t cells = (size_t)depth->width * depth->height;
    if (float* distances = static_cast<float*>(malloc(cells * sizeof(float)))) {
        RenderAmbientOcclusion(fractal, distances);
        free(distances);
    }
    RenderShadows(fractal);
}

}  // namespace

void RecolourQuaternion(Fractal* fractal)
{
    FractalTask* task = fractal ? fractal->task : nullptr;
    if (!task || !fractal->typeParameters || !task->plane0 || !task->plane0->IsAllocated() || !task->image3D ||
        !task->imageBits)
        return;
    QuaternionParameters* block = static_cast<QuaternionParameters*>(fractal->typeParameters);
    int width = fractal->header->Width, height = fractal->header->Height;

    PrepareSurfacePasses(fractal, block);
    if (CommandPending(task))
        return;
    QuaternionRenderState state;
    state.fractal = fractal;
    if (task->plane2->IsAllocated()) {
        state.aoData = static_cast<const float*>(task->plane2->data);
        state.aoWidth = task->plane2->width;
    }
    QuaternionPixelFrame frame;
    PreparePixelFrame(&frame, block, width, height);
    PrepareCameraBasis(&state.camera, block);
    SetupShadowProjection(&state, block);
    PrepareLights(state.lights, fractal, block);
    task->lastDisplayTick = GetTickCount();

    bool ao = block->AOEnabled != 0;
    int centre = height / 2;
    int up = centre - 1, down = centre;
    int lastUp = up, lastDown = down;
    while (up >= 0 || down < height) {
        if (up >= 0) {
            if (CommandPending(task))
                return;
            ColorizeQuaternionLine(fractal, 0, up, width);
            // the up cursor's first pair (c - 1, c) is the down cursor's first
            if (up != centre - 1 &&
                !ShadeQuaternionRow(&state, block, frame, up, 0, 0, width, true, ao, false, true))
                return;
            --up;
        }
        if (down < height) {
            if (CommandPending(task))
                return;
            ColorizeQuaternionLine(fractal, 0, down, width);
            if (down > 0 && !ShadeQuaternionRow(&state, block, frame, down, 1, 0, width, true, ao, false, true))
                return;
            ++down;
        }
        if (GetTickCount() - task->lastDisplayTick >= (DWORD)DrawingSpeed) {
            if (g_NotifyLayeredParent)
                g_NotifyLayeredParent(fractal, up + 1, lastUp + 1, lastDown - 1, down);
            // the up cursor shaded rows up + 2 .. lastUp + 1, the down
            // cursor rows lastDown .. down - 1 (and row 0 with the pair (0, 1))
            DrawRows(fractal, up + 1 < 0 ? 0 : up + 1, lastUp + 1);
            DrawRows(fractal, lastDown, down - 1);
            lastUp = up;
            lastDown = down;
            task->lastDisplayTick = GetTickCount();
        }
    }
    DrawRows(fractal, 0, height - 1);
    ApplyFog(fractal);
    ApplyDepthOfField(fractal);
}
