// The IFS chaos game on the fractal's calculation thread: the coefficients
// are evaluated once into a table of 13 doubles per map (under the formula
// lock, so an edit on the main thread never changes them midway), then a
// point is sent through maps chosen by weight from a generator seeded with
// 100, projected onto the view and plotted in one of five colourings.
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <vector>
#include <windows.h>

#include "calc/FractalTask.h"
#include "calc/task/FractalThread.h"
#include "calc/task/Plot.h"
#include "calc/task/TaskHooks.h"
#include "document/DocumentHooks.h"
#include "document/Fractal.h"
#include "document/PlainBlocks.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Messages.h"
#include "fractals/ifs/IfsFormula.h"
#include "fractals/ifs/IfsMachine.h"
#include "fractals/ifs/IfsParser.h"

namespace {

enum { IFS_STACK_VALUES = 250, DISPLAY_MS = 300, IFS_IMAGE_BLACK = 252 };
const double kBound = 1000.0;
const double kPi = 3.141592653589793;

// The calculation's own generator: r = (s / 65536) mod 32768 after
// s = s * 214013 + 2531011.
struct ChaosRandom {
    uint32_t state = 100;
    int Next()
    {
        state = state * 214013u + 2531011u;
        return (int)((state >> 16) & 0x7FFF);
    }
};

DWORD Now()
{
    return g_TickCount ? g_TickCount() : GetTickCount();
}

}  // namespace

EvalContext BuildIfsContext(const Fractal* f)
{
    auto* p = static_cast<const IFSParameters*>(f->typeParameters);
    EvalContext c;
    memset(&c, 0, sizeof c);
    c.p1 = {p->Parm1, 0};
    c.p2 = {p->Parm2, 0};
    c.p3 = {p->Parm3, 0};
    c.p4 = {p->Parm4, 0};
    c.bailout = 4.0;
    c.bailin = 0.001;
    c.maxiter = p->MaxIter;
    c.width = f->header->Width;
    c.height = f->header->Height;
    double left = p->TopLeftR.ToDouble(), top = p->TopLeftI.ToDouble();
    double right = p->BottomRightR.ToDouble(), bottom = p->BottomRightI.ToDouble();
    double topRight = p->TopRightR.ToDouble();
    c.left = left;
    c.right = right;
    c.top = top;
    c.bottom = bottom;
    c.corner1 = {left, bottom};
    c.corner2 = {left, top};
    c.corner3 = {topRight, top};
    c.corner4 = {topRight, bottom};
    c.randState = IFS_RAND_SEED;
    return c;
}

namespace {

// One row of 13 doubles per map, in list order.
std::vector<double> EvaluateMaps(const IfsFormula* formula, EvalContext* context)
{
    std::vector<double> table;
    double stack[2 * IFS_STACK_VALUES];
    context->stackEnd = stack + 2 * IFS_STACK_VALUES;
    for (ListNode* n = formula->transformations.GetHead(); n; n = n->next) {
        auto* t = static_cast<IfsTransformation*>(n);
        for (int i = 0; i < IFS_COEFFICIENTS; i++) {
            Complex acc = {0, 0};
            if (const uint32_t* stream = t->Stream(i)) {
                context->stackTop = stack;
                context->ip = stream;
                RunFormula(context, &acc);
            }
            table.push_back(acc.re);
        }
    }
    context->stackTop = context->stackEnd = nullptr;
    return table;
}

// The map a draw v picks: the first whose running sum of probabilities
// reaches v, but never past the last map (negative or NaN weights).
int ChooseMap(const double* table, int maps, double v)
{
    int k = 0;
    double s = table[IFS_PROBABILITY];
    while (s < v && k < maps - 1) {
        k++;
        s += table[k * IFS_COEFFICIENTS + IFS_PROBABILITY];
    }
    return k;
}

// The colour index wrapped into 0..251 (or held at 251 without wrapping;
// negative colours always wrap, so the index stays on the palette).
int WrapColour(long long c, int wrapAround)
{
    if (wrapAround || c < 0) {
        c %= 252;
        if (c < 0)
            c += 252;
        return (int)c;
    }
    return c >= 252 ? 251 : (int)c;
}

// A pixel coordinate truncated toward zero (so -0.5 is column 0); -1 for
// values no int holds, NaN included.
int PixelOf(double v)
{
    return fabs(v) < 2e9 ? (int)v : -1;
}

long long TruncateColour(double c)
{
    if (c != c)
        return 0;
    if (c > 9e18)
        return (long long)9e18;
    if (c < -9e18)
        return (long long)-9e18;
    return (long long)c;
}

void PrepareImage(Fractal* f)
{
    FractalTask* task = f->task;
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(127, 127, 127));
    if (task->pen)
        DeleteObject(task->pen);
    task->pen = pen;
    int stride = f->GetImageStride(), height = f->header->Height;
    if (f->dither && task->shadowBits)
        memset(task->shadowBits, 0, (size_t)stride * height);
    if (task->imageBits) {
        if (f->header->DisplayDepth == 8)
            memset(task->imageBits, IFS_IMAGE_BLACK, (size_t)stride * height);
        else
            memset(task->imageBits, 0, (size_t)3 * stride * height);
    }
    // The chaos game has no pen position: no pixel is skipped as the pen's.
    task->penX = task->penY = -1;
}

void ShowImage(Fractal* f)
{
    PostToMainFrame(UM_PROGRESS, 0, 0);
    if (f->task->window && g_TaskHooks.drawImageRows)
        g_TaskHooks.drawImageRows(f, 0, f->header->Height - 1);
}

void WarnLeftBounds(Fractal* f, int points)
{
    char first[200], second[200];
    snprintf(first, sizeof first, "Fractal \"%s\" ended its IFS calculation early.", f->name);
    snprintf(second, sizeof second,
             "After %d points the orbit left the cube of -1000 to 1000; the image may be incomplete.", points);
    PostThreadMessageText(f, first, second, MSG_WARNING);
}

}  // namespace

int CalculateIfs(Fractal* f, int, int, int, int)
{
    PostToMainFrame(UM_PROGRESS, 0, 0);
    ChaosRandom random;
    auto* p = static_cast<IFSParameters*>(f->typeParameters);
    FractalTask* task = f->task;

    std::vector<double> table;
    EvalContext context = BuildIfsContext(f);
    LockIfsFormulas();
    IfsFormula* formula = FindIfsFormula(p->Formula);
    if (formula)
        table = EvaluateMaps(formula, &context);
    UnlockIfsFormulas();
    if (!formula)
        return 1;

    PrepareImage(f);
    int width = f->header->Width, height = f->header->Height, bufferWidth = f->GetBufferWidth();
    double L = p->TopLeftR.ToDouble(), R = p->BottomRightR.ToDouble();
    double T = p->TopLeftI.ToDouble(), B = p->BottomRightI.ToDouble();
    double sinA = sin(p->Alpha * kPi / 180), cosA = cos(p->Alpha * kPi / 180);
    double sinB = sin(p->Beta * kPi / 180), cosB = cos(p->Beta * kPi / 180);

    int maps = (int)(table.size() / IFS_COEFFICIENTS);
    double total = 0;
    for (int k = 0; k < maps; k++)
        total += table[k * IFS_COEFFICIENTS + IFS_PROBABILITY];
    double x = 0, y = 0, z = 0;
    // The hit counts start at 0 for both counting modes (a second run of
    // the logarithmic one would otherwise count on from the first).
    if ((p->Colormode == 2 || p->Colormode == 4) && task->values)
        memset(task->values, 0, sizeof(float) * bufferWidth * height);
    task->lastDisplayTick = Now();
    double cm = p->ColorMult * 0.01;
    int maxIter = p->MaxIter;
    bool leftBounds = false;
    int i = 1;
    for (; maps > 0 && i < maxIter; i++) {
        task->progress = (double)i / maxIter;
        int r = random.Next();
        double v = r / 32767.0 * total;
        int k = ChooseMap(table.data(), maps, v);
        const double* m = &table[k * IFS_COEFFICIENTS];
        double nx = m[IFS_M11] * x + m[IFS_M12] * y + m[IFS_M13] * z + m[IFS_T1];
        double ny = m[IFS_M21] * x + m[IFS_M22] * y + m[IFS_M23] * z + m[IFS_T2];
        double nz = m[IFS_M31] * x + m[IFS_M32] * y + m[IFS_M33] * z + m[IFS_T3];
        x = nx, y = ny, z = nz;
        double X = x * cosA + z * sinA;
        double Y = (x * sinA - z * cosA) * sinB + y * cosB;
        int column = PixelOf((X - L) * width / (R - L)), row = PixelOf((Y - B) * height / (T - B));
        if (column >= 0 && column < width && row >= 0 && row < height) {
            long long c = 0;
            float* cell = task->values ? &task->values[column + bufferWidth * row] : nullptr;
            switch (p->Colormode) {
            case 0: c = k; break;
            case 1: c = total != 0 ? TruncateColour(v / total * 252) : 0; break;
            case 2:
                if (cell)
                    c = TruncateColour((*cell += 1.0f) * p->ColorMult);
                break;
            case 4:
                if (cell) {
                    *cell += 1.0f;
                    c = TruncateColour((1 - exp(-*cell * cm)) * 251);
                }
                break;
            default: c = 0; break;
            }
            SetImagePixel(f, nullptr, column, row, WrapColour(c, p->WrapAround));
        }
        if (x > kBound || x < -kBound || y > kBound || y < -kBound || z > kBound || z < -kBound) {
            leftBounds = true;
            break;
        }
        if (CommandPending(task))
            return 3;
        DWORD now = Now();
        if (now - task->lastDisplayTick >= DISPLAY_MS) {
            task->lastDisplayTick = now;
            ShowImage(f);
        }
    }
    if (leftBounds)
        WarnLeftBounds(f, i);
    if (task->window && g_TaskHooks.drawImageRows)
        g_TaskHooks.drawImageRows(f, 0, height - 1);
    task->progress = 1.0;
    PostToMainFrame(UM_PROGRESS, 0, 0);
    return 0;
}
