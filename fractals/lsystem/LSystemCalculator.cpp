// Expands an L-system on the calculation thread. The formula is copied
// under the formulas' lock first; the expansion keeps its levels on a heap
// stack instead of recursing, so MaxIter in the hundred thousands cannot
// overflow the thread's stack, and it polls the command word per character.
#include "fractals/lsystem/LSystemCalculator.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/task/FractalThread.h"
#include "calc/task/Plot.h"
#include "calc/task/TaskHooks.h"
#include "document/Fractal.h"
#include "document/PlainBlocks.h"
#include "foundation/Thread.h"
#include "fractals/lsystem/LSystemFormula.h"
#include "fractals/lsystem/LSystemTurtle.h"

namespace {

char* CopyOrEmpty(const char* text)
{
    size_t n = text ? strlen(text) : 0;
    char* copy = (char*)malloc(n + 1);
    if (copy) {
        if (n)
            memcpy(copy, text, n);
        copy[n] = 0;
    }
    return copy;
}

// Copies the formula named name (ignoring case) under the lock; false when
// there is none.
bool CopyFormula(const char* name, LSystemCopy* copy)
{
    memset(copy, 0, sizeof(*copy));
    g_LSystemFormulasLock.Lock();
    const LSystemFormula* f = static_cast<const LSystemFormula*>(g_LSystemFormulas.FindNoCase(name));
    if (f) {
        copy->axiom = CopyOrEmpty(f->axiom);
        copy->angleDivisor = f->angleDivisor;
        for (const ListNode* n = f->rules.GetHead(); n; n = n->next) {
            const LSystemRule* r = static_cast<const LSystemRule*>(n);
            unsigned char s = (unsigned char)r->symbol;
            if (!copy->rules[s])
                copy->rules[s] = CopyOrEmpty(r->replacement);
        }
    }
    g_LSystemFormulasLock.Unlock();
    return f != nullptr;
}

void FreeCopy(LSystemCopy* copy)
{
    free(copy->axiom);
    for (char* r : copy->rules)
        free(r);
}

// The image as the window shows it; the rows are redrawn through the
// application's hook (nothing without a window).
void ShowImage(Fractal* fractal)
{
    if (g_TaskHooks.drawImageRows && fractal->task->window)
        g_TaskHooks.drawImageRows(fractal, 0, fractal->header->Height - 1);
}

// 3 when a command other than a 3D redraw is waiting (a redraw is cleared).
int PollCommand(FractalTask* task)
{
    return CommandPending(task) ? 3 : 0;
}

struct Level {
    const char* text;
    int position;
};

}  // namespace

int ExpandLSystem(LSystemDrawContext* cx, const char* string, int depth)
{
    if (depth >= cx->maxDepth) {
        DrawLSystemString(cx, string, (int)strlen(string));
        return 0;
    }
    FractalTask* task = cx->fractal->task;
    std::vector<Level> levels;
    levels.push_back(Level{ string, 0 });
    while (!levels.empty()) {
        Level& level = levels.back();
        char c = level.text[level.position];
        if (!c) {
            levels.pop_back();
            continue;
        }
        DWORD now = GetTickCount();
        if (now - task->lastDisplayTick >= 300) {
            task->lastDisplayTick = now;
            ShowImage(cx->fractal);
        }
        if (PollCommand(task))
            return 3;
        const char* replacement = cx->formula->rules[(unsigned char)c];
        int levelDepth = depth + (int)levels.size() - 1;
        if (replacement) {
            level.position++;
            if (levelDepth + 1 >= cx->maxDepth)
                DrawLSystemString(cx, replacement, (int)strlen(replacement));
            else
                levels.push_back(Level{ replacement, 0 });
        } else {
            level.position += 1 + DrawLSystemString(cx, level.text + level.position, 1);
            // A number may have run to the end of the text: never step past it.
            int n = (int)strlen(level.text);
            if (level.position > n)
                level.position = n;
        }
    }
    return 0;
}

int CalculateLSystem(Fractal* fractal)
{
    const LSystemParameters* block = static_cast<const LSystemParameters*>(fractal->typeParameters);
    FractalTask* task = fractal->task;
    LSystemCopy formula;
    if (!CopyFormula(block->Formula, &formula)) {
        FreeCopy(&formula);
        return 1;
    }
    HDC dc = nullptr;
    SelectPaletteColor(fractal, dc, 0);
    const int stride = fractal->GetImageStride(), h = fractal->header->Height;
    if (fractal->dither && task->shadowBits)
        memset(task->shadowBits, 0, (size_t)fractal->GetImageStride() * h);
    if (task->imageBits) {
        if (fractal->header->DisplayDepth == 8)
            memset(task->imageBits, 252, (size_t)stride * h);
        else
            memset(task->imageBits, 0, (size_t)stride * h * 3);
    }
    if (task->values)
        memset(task->values, 0, sizeof(float) * fractal->GetBufferWidth() * h);

    LSystemDrawContext cx;
    memset(&cx, 0, sizeof(cx));
    cx.fractal = fractal;
    cx.maxDepth = block->MaxIter;
    cx.left = block->TopLeftR.ToDouble();
    cx.top = block->TopLeftI.ToDouble();
    cx.right = block->BottomRightR.ToDouble();
    cx.bottom = block->BottomRightI.ToDouble();
    cx.dc = dc;
    cx.formula = &formula;
    cx.turtle.length = 1.0 / pow(2.0, (double)block->MaxIter);
    cx.turtle.angleStep = 6.283185307179586 / formula.angleDivisor;
    std::vector<TurtleState> stack(TURTLE_STACK_ROOM);
    cx.stack = stack.data();
    task->lastDisplayTick = GetTickCount();

    int result = ExpandLSystem(&cx, formula.axiom ? formula.axiom : "", 0);
    ShowImage(fractal);
    FreeCopy(&formula);
    return result;
}

int CalculateLSystemArea(Fractal* fractal, int, int, int, int)
{
    return CalculateLSystem(fractal);
}
