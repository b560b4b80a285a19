// Reports of the calculation thread (invalid results, lack of memory), the
// release of the arrays compiled formulas allocate, and the opacity cells
// a layered parent composes its layers from.
#include "calc/task/Reports.h"
#include <stdio.h>
#include <stdint.h>
#include "foundation/Messages.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "calc/FractalTask.h"
#include "document/Fractal.h"

namespace {

bool IsLayer(const Fractal* f)
{
    return f->baseFractal != nullptr && f->baseFractal != f;
}

// The first line of a report: "Layer "A" of Fractal "B" <what>" for a layer.
void FirstLine(char* out, size_t size, const Fractal* f, const char* what)
{
    if (IsLayer(f))
        snprintf(out, size, "Layer \"%s\" of Fractal \"%s\" %s", f->name, f->baseFractal->name, what);
    else
        snprintf(out, size, "Fractal \"%s\" %s", f->name, what);
}

}  // namespace

void CheckInvalidOp(Fractal* fractal, int count)
{
    if (count == 0)
        return;
    double cells = (double)fractal->GetBufferWidth() * fractal->header->Height;
    double percent = cells > 0 ? count * 100.0 / cells : 100.0;
    if (percent > 100.0)
        percent = 100.0;
    char first[200], second[200];
    FirstLine(first, sizeof first, fractal, "may be the result of arithmetic exceptions");
    snprintf(second, sizeof second, "The calculation function produced invalid results for at least %d pixels (%.1f %%).",
             count, percent);
    const char* lines[] = {first, second, nullptr};
    AddMessage(lines, MSG_WARNING, 0, 0, 0, 0, 0, 0, false);
    PostToMainFrame(UM_NEW_MESSAGE, 0, 0);
}

void ReportNotEnoughMemory(Fractal* fractal)
{
    char first[200];
    FirstLine(first, sizeof first, fractal, "cannot be calculated:");
    PostThreadMessageText(fractal, first, "Not enough memory available in order to initialize the arrays.", MSG_ERROR);
}

void FreeArrays_Normal(const void* arrayTable, void* firstBlock, void* secondBlock)
{
    if (!arrayTable)
        return;
    const int32_t* entry = static_cast<const int32_t*>(arrayTable);
    for (; entry[0] > 0; entry += 2) {
        char* block = entry[0] == 1 ? static_cast<char*>(firstBlock)
                    : entry[0] == 2 ? static_cast<char*>(secondBlock) : nullptr;
        if (!block)
            continue;
        void** slot = reinterpret_cast<void**>(block + entry[1]);
        void* memory = *slot;
        *slot = nullptr;
        if (memory)
            VirtualFree(memory, 0, MEM_RELEASE);
    }
}

bool SetupOldzBuffer(Fractal* fractal, FractalTask* task, int on)
{
    Array2D* cells = task->oldz;
    if (!on) {
        if (cells->IsAllocated())
            cells->Free();
        task->oldzRows = task->oldzRows2 = 0;
        return true;
    }
    Fractal* parent = IsLayer(fractal) ? fractal->baseFractal : nullptr;
    int width = fractal->GetBufferWidth();
    int height = fractal->header->Height;
    if (cells->IsAllocated() && (task->oldzRows != cells->width || task->oldzRows2 != cells->height)) {
        if (parent) {
            parent->suppressDrawing = 1;
            if (!fractal->StopLayerCalculation(parent))
                return false;
        }
        cells->Free();
    }
    if (!cells->IsAllocated()) {
        if (cells->Allocate(width, height, 4)) {
            task->oldzRows = cells->width;
            task->oldzRows2 = cells->height;
        } else {
            task->oldzRows = task->oldzRows2 = 0;
        }
        if (parent) {
            parent->suppressDrawing = 0;
            if (!parent->task || !fractal->task)
                return false;
            fractal->RecalculateLayer(parent);
        }
    }
    return true;
}
