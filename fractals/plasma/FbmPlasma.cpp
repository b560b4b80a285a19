// Fractional Brownian motion plasma: the built-in "zor-fBm" colouring
// formula run once per pixel, in passes of step 2^(P-1) down to 1 from the
// middle row outwards, so a coarse image shows at once and later passes
// only fill the pixels still 0.0. Rows are copied out of and back into the
// shared values under rowLock; a row is not written back when the main
// thread moved the buffers meanwhile.
#include "fractals/plasma/Plasma.h"

#include <float.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/colour/OtherColouring.h"
#include "calc/DisplayPalette.h"
#include "calc/task/FractalThread.h"
#include "calc/task/TaskHooks.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaRun.h"
#include "document/Fractal.h"
#include "document/FractalThreads.h"
#include "document/PlainBlocks.h"
#include "formulas/FormulaKind.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Thread.h"

namespace {

std::string Number(double v)
{
    char text[40];
    snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// The point of pixel (column, buffer row) in extended precision.
struct PixelGrid {
    long double blR, blI;          // bottom-left corner
    double colR, colI, rowR, rowI; // steps per column and per row
    void Point(int c, int r, double z[2]) const
    {
        z[0] = (double)(blR + (long double)c * colR + (long double)r * rowR);
        z[1] = (double)(blI + (long double)c * colI + (long double)r * rowI);
    }
};

PixelGrid GridOf(Fractal* fractal)
{
    BigNumber x[3], y[3];
    fractal->GetViewCorners(x, y);
    BigNumber blX = x[0] + x[2] - x[1], blY = y[0] + y[2] - y[1];
    const int w = fractal->header->Width, h = fractal->header->Height;
    PixelGrid g;
    g.blR = blX.ToExtended();
    g.blI = blY.ToExtended();
    g.colR = (x[1] - x[0]).ToDouble() / w;
    g.colI = (y[1] - y[0]).ToDouble() / w;
    g.rowR = (x[1] - x[2]).ToDouble() / h;
    g.rowI = (y[1] - y[2]).ToDouble() / h;
    return g;
}

// 3 when a command other than a 3D redraw is waiting (a redraw is cleared).
int PollCommand(FractalTask* task)
{
    return CommandPending(task) ? 3 : 0;
}

class FbmPasses {
public:
    FbmPasses(Fractal* f, FormulaRun* run, int firstStep)
        : fractal(f), task(f->task), formula(run), grid(GridOf(f)), width(f->header->Width),
          height(f->header->Height), bufferWidth(f->GetBufferWidth()), row(bufferWidth)
    {
        for (int s = firstStep; s >= 1; s /= 2)
            estimate += (double)(height / s + 1) * (width / s + 1);
    }

    // 0 done, 3 stopped.
    int Pass(int s)
    {
        if (fractal->dither)
            for (int i = 3; i <= 8; i++)
                if (task->ditherRows[i])
                    memset(task->ditherRows[i], 0, sizeof(float) * width);
        int down = height / 2 - s, up = height / 2;
        int shownLow = up, shownHigh = up - 1;
        task->lastDisplayTick = GetTickCount();
        while (up <= height - 1 || down >= 0) {
            if (down >= 0) {
                if (Row(down, s))
                    return 3;
                shownLow = down;
                down -= s;
            }
            if (up <= height - 1) {
                if (Row(up, s))
                    return 3;
                shownHigh = up;
                up += s;
            }
            DWORD now = GetTickCount();
            if (now - task->lastDisplayTick >= (DWORD)DrawingSpeed) {
                Show(shownLow, shownHigh);
                task->lastDisplayTick = now;
            }
        }
        Show(0, height - 1);
        if (fractal->dither && fractal->header->DisplayDepth > 8) {
            DitherFractalImage(fractal);
            Show(0, height - 1);
        }
        return 0;
    }

private:
    int Row(int r, int s)
    {
        double p = visited / estimate;
        task->progress = p < 1.0 ? p : 1.0;
        float* values = task->values + (size_t)r * bufferWidth;
        if (!TakeRowLock())
            return 3;
        memcpy(row.data(), values, sizeof(float) * bufferWidth);
        task->rowsMoved = 0;
        ReleaseRowLock();
        for (int c = 0; c <= width; c += s) {
            visited += 1;
            if (PollCommand(task))
                return 3;
            if (row[c] != 0.0f)
                continue;
            double z[2];
            grid.Point(c, r, z);
            unsigned int control = _control87(0, 0);
            task->inCompiledCode = 1;
            formula->Colour(z, 0, 0);
            task->inCompiledCode = 0;
            _clearfp();
            _control87(control, 0xFFFFFFFF);
            row[c] = (float)formula->GetIndex();
        }
        if (!TakeRowLock())
            return 3;
        if (!task->rowsMoved)
            memcpy(values, row.data(), sizeof(float) * bufferWidth);
        task->rowsMoved = 0;
        ReleaseRowLock();
        ColorizeLine(fractal, 0, r, width, fractal->header->DisplayDepth > 8, s);
        return 0;
    }

    bool TakeRowLock()
    {
        return !task->rowLock || WaitForLockOrCommand(fractal, task->rowLock, false) == 1;
    }
    void ReleaseRowLock()
    {
        if (task->rowLock)
            task->rowLock->Unlock();
    }

    void Show(int firstRow, int lastRow)
    {
        PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
        if (firstRow <= lastRow && g_TaskHooks.drawImageRows && task->window && !task->windowHidden)
            g_TaskHooks.drawImageRows(fractal, firstRow, lastRow);
    }

    Fractal* fractal;
    FractalTask* task;
    FormulaRun* formula;
    PixelGrid grid;
    int width, height, bufferWidth;
    std::vector<float> row;
    double visited = 0.0, estimate = 0.0;
};

}  // namespace

int CalculateFbmPlasma(Fractal* fractal)
{
    const PlasmaParameters* block = static_cast<const PlasmaParameters*>(fractal->typeParameters);
    FractalTask* task = fractal->task;
    int passes = task->lastCalculateCommand == FTC_CONTINUE ? task->passLimit : block->Passes + 1;
    if (passes > block->Passes + 1)
        passes = block->Passes + 1;
    if (passes < 1)
        passes = 1;
    // A step beyond the image gains nothing and 2^(P-1) must stay an int.
    if (passes > 24)
        passes = 24;

    FormulaRun formula;
    FormulaRun::Settings settings = {
        { "anglestep", Number(block->Anglestep) },
        { "step", Number(block->Step) },
        { "octaves", Number(block->Octaves) },
        { "power", Number(block->Power) },
    };
    if (!formula.Compile(g_FbmFormulaSource, FK_COLORING, SK_PLANE, settings))
        return 2;

    const int firstStep = 1 << (passes - 1);
    FbmPasses run(fractal, &formula, firstStep);
    PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
    for (int s = firstStep; s >= 1; s /= 2)
        if (run.Pass(s) == 3)
            return 3;
    task->progress = 1.0;
    PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
    return 0;
}
