// One buffer row of an escape-time fractal: per pixel the predefined
// variables, the point of the view, the transformation chain and the
// per-pixel routine, and the result turned into a value, an opacity cell
// and a flag byte. The x87 unit is saved around every pixel, because the
// compiled code may leave its stack and control word in any state; between
// the save and the restore only memory copies touch the routines' results.
#include "calc/escapetime/EscapeTime.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "calc/FractalTask.h"
#include "calc/escapetime/PixelRoutine.h"
#include "calc/task/FractalThread.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "foundation/Guard.h"
#include "foundation/Messages.h"

char* (*g_ExceptionText)(char* out, DWORD code) = nullptr;
IterationRecord g_IterationRecord = {nullptr, 0};

namespace {

// The FNSAVE image of the x87 unit.
struct X87State {
    uint8_t bytes[108];
};

// FNSAVE leaves the unit initialised: all exceptions masked, 64-bit
// mantissa, rounding to nearest. The clobbers keep the compiler from
// holding values in x87 registers across the save and the restore.
inline void SaveX87(X87State* state)
{
    __asm__ __volatile__("fnsave %0"
                         : "=m"(*state)
                         :
                         : "memory", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)");
}

inline void RestoreX87(const X87State* state)
{
    __asm__ __volatile__("frstor %0"
                         :
                         : "m"(*state)
                         : "memory", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)");
}

// The calculation thread's x87 setting: all exceptions masked, 64-bit
// mantissa, rounding to nearest.
void ResetX87()
{
    unsigned short cw = 0x037F;
    __asm__ __volatile__("fninit\n\tfldcw %0" : : "m"(cw));
}

inline void PutExtended(uint8_t* base, int offset, long double value)
{
    memcpy(base + offset, &value, 10);
}

inline void PutFloat(uint8_t* base, int offset, float value)
{
    memcpy(base + offset, &value, 4);
}

inline void PutInt(uint8_t* base, int offset, int32_t value)
{
    memcpy(base + offset, &value, 4);
}

inline int32_t TakeInt(const uint8_t* base, int offset)
{
    int32_t v;
    memcpy(&v, base + offset, 4);
    return v;
}

// The per-pixel values both routines read.
void WritePixelVariables(uint8_t* base, long double randomRe, long double randomIm, int x, int y, int r,
                         long double re, long double im)
{
    PutExtended(base, RT_RANDOM, randomRe);
    PutExtended(base, RT_RANDOM + 16, randomIm);
    PutInt(base, RT_WHITESQ, (r + x) & 1);
    PutFloat(base, RT_SCREENPIXEL, (float)x);
    PutFloat(base, RT_SCREENPIXEL + 4, (float)y);
    PutFloat(base, RT_X, (float)x);
    PutFloat(base, RT_Y, (float)y);
    PutInt(base, RT_NUMITER, 0);
    PutExtended(base, RT_PIXEL, re);
    PutExtended(base, RT_PIXEL + 16, im);
}

void Fold(int symmetry, long double* re, long double* im)
{
    switch (symmetry) {
    case 1:
        *im = fabsl(*im);
        break;
    case 2:
        *re = -fabsl(*re);
        break;
    case 3:
        if (*im < 0) {
            *re = -*re;
            *im = -*im;
        }
        break;
    case 4:
        *re = -fabsl(*re);
        *im = fabsl(*im);
        break;
    default:
        break;
    }
}

// Above 1 becomes 1, below 0 becomes 0; NaN stays.
float Clamp01(float v)
{
    if (v > 1.0f)
        return 1.0f;
    if (v < 0.0f)
        return 0.0f;
    return v;
}

// trunc(o * 65535) for the cell's low 16 bits; NaN gives 0 (the x87's
// integer indefinite has zero low bits).
uint32_t OpacityBits(float o)
{
    if (o != o)
        return 0;
    return (uint32_t)(int32_t)(o * 65535.0f) & 0xFFFFu;
}

uint32_t PackSolid(const uint8_t rgb[4], int opacity)
{
    return ((uint32_t)(opacity & 0xFF) << 24) | ((uint32_t)rgb[0] << 16) | ((uint32_t)rgb[1] << 8) | rgb[2];
}

float FloatOfBits(uint32_t bits)
{
    float f;
    memcpy(&f, &bits, 4);
    return f;
}

// What the routines left for one pixel, copied out before the x87 unit is
// restored.
struct PixelResult {
    int32_t remaining;      // -2: the transformation chain set solid
    int32_t solid;
    uint8_t index[10];
    uint8_t alpha[10];
    float pixelColor[4];
};

void Classify(const LineContext* c, const PixelResult& p, float* value, uint8_t* flag, uint32_t* cell)
{
    long double indexValue = 0, alphaValue = 0;
    memcpy(&indexValue, p.index, 10);
    memcpy(&alphaValue, p.alpha, 10);
    float a = Clamp01((float)alphaValue);
    float pc = Clamp01(p.pixelColor[3]);
    float o = 0.0f;
    if (p.remaining == -2) {
        *value = FloatOfBits(c->solidTransformation);
        *flag = PF_CALCULATED | PF_MAPSOLID | PF_SOLID;
    } else if (p.remaining > 0) {
        if (p.solid != 0 || c->mappingOutside == 0) {
            *value = FloatOfBits(c->solidOutside);
            *flag = PF_CALCULATED | PF_SOLID;
        } else if (!c->outsideDirect) {
            *value = (float)indexValue;
            *flag = PF_CALCULATED;
            o = a;
        } else {
            *value = FloatOfBits(PackColorRgba(p.pixelColor[0], p.pixelColor[1], p.pixelColor[2], pc));
            *flag = PF_CALCULATED | PF_DIRECT;
            o = pc * a;
        }
    } else {
        if (p.solid != 0 || c->mappingInside == 0) {
            *value = FloatOfBits(c->solidInside);
            *flag = PF_CALCULATED | PF_INSIDE | PF_SOLID;
        } else if (!c->insideDirect) {
            *value = (float)indexValue;
            *flag = PF_CALCULATED | PF_INSIDE;
            o = a;
        } else {
            *value = FloatOfBits(PackColorRgba(p.pixelColor[0], p.pixelColor[1], p.pixelColor[2], pc));
            *flag = PF_CALCULATED | PF_INSIDE | PF_DIRECT;
            o = pc * a;
        }
    }
    if (cell)
        *cell = (*cell & 0xFFFF0000u) | OpacityBits(o);
}

// The start threshold of the next pixel from this one's remaining budget.
void Adapt(LineContext* c, int32_t remaining)
{
    int32_t r = remaining == -2 ? 1 : remaining;
    if (r <= 0) {
        c->startThreshold = -1;
        return;
    }
    int32_t t = r - 10;
    if (t < 0)
        t = -1;
    c->escapeSum += c->maxiter - r;
    c->escapeCount += 1;
    int32_t average = c->escapeSum / c->escapeCount;
    if (t < c->maxiter - average)
        t = c->maxiter - average;
    c->startThreshold = t;
}

}  // namespace

void TakeColouringSettings(LineContext* context, const EscapetimeParameters* block)
{
    context->solidOutside = PackSolid(block->outsideColouring.SolidColor, block->outsideColouring.SolidOpacity);
    context->solidInside = PackSolid(block->insideColouring.SolidColor, block->insideColouring.SolidOpacity);
    context->solidTransformation = PackSolid(block->SolidColorTransformation, block->SolidOpacityTransformation);
    context->mappingOutside = block->outsideColouring.Mapping;
    context->mappingInside = block->insideColouring.Mapping;
}

int CalculateLine(LineContext* c)
{
    FractalTask* task = c->fractal->task;
    const int r = c->row;
    const int y = c->height - r - 1;
    const uint32_t budget = PixelBudget(c->maxiter);
    uint32_t toleranceBits;
    memcpy(&toleranceBits, &c->tolerance, 4);
    int result = 0;
    for (int x = c->x0; x <= c->x1; x += c->step) {
        c->pixelCounter++;
        if (CommandPending(task)) {
            result = 1;
            break;
        }
        if (c->flags[x] & PF_CALCULATED)
            continue;

        int randoms[4];
        for (int k = 0; k < 4; ++k)
            randoms[k] = rand();

        X87State saved;
        SaveX87(&saved);
        long double re = (long double)x * c->columnStep[0] + (long double)r * c->rowStep[0] + c->origin[0];
        long double im = (long double)x * c->columnStep[1] + (long double)r * c->rowStep[1] + c->origin[1];
        Fold(c->symmetry, &re, &im);
        uint8_t* main = c->mainBlock;
        uint8_t* chain = c->chainBlock;
        if (chain)
            WritePixelVariables(chain, randoms[0] / 32767.0L, randoms[1] / 32767.0L, x, y, r, re, im);
        WritePixelVariables(main, randoms[2] / 32767.0L, randoms[3] / 32767.0L, x, y, r, re, im);
        PutInt(main, RT_OVERFLOW, 0);
        PutExtended(main, RT_INDEX, 0.0L);
        PutExtended(main, RT_ALPHA, 1.0L);

        PixelResult p;
        uint16_t chainStatus = 0, routineStatus = 0;
        bool routineRan = false;
        bool chainSolid = false;
        if (chain && c->chain) {
            PutInt(chain, RT_SOLID, 0);
            PutExtended(chain, RT_ALPHA, 1.0L);
            CallTransformChain(c->chain, chain, &chainStatus);
            chainSolid = TakeInt(chain, RT_SOLID) != 0;
        }
        if (chainSolid) {
            p.remaining = -2;
            p.solid = TakeInt(chain, RT_SOLID);
            memcpy(p.alpha, chain + RT_ALPHA, 10);
            memset(p.index, 0, sizeof p.index);
            memset(p.pixelColor, 0, sizeof p.pixelColor);
        } else {
            if (chain && c->chain) {
                memcpy(main + RT_PIXEL, chain + RT_PIXEL, 32);
                memcpy(main + RT_ALPHA, chain + RT_ALPHA, 16);
            }
            PutInt(main, RT_PERIOD_START, c->startThreshold);
            PutInt(main, RT_PERIOD_MASK, c->mask);
            PutInt(main, RT_PERIOD_COUNT, c->saveCount);
            PutInt(main, RT_PERIOD_RELOAD, c->saveCount);
            memcpy(main + RT_PERIOD_EPSILON, &toleranceBits, 4);
            memcpy(main + RT_SAVED_Z, main + RT_Z, 32);
            PutInt(main, RT_SOLID, 0);
            p.remaining = (int32_t)CallPixelRoutine(c->routine, main, budget, &routineStatus);
            routineRan = true;
            p.solid = TakeInt(main, RT_SOLID);
            memcpy(p.pixelColor, main + RT_PIXELCOLOR, 16);
            memcpy(p.index, main + RT_INDEX, 10);
            memcpy(p.alpha, main + RT_ALPHA, 10);
        }
        RestoreX87(&saved);

        if (routineRan)
            c->evaluations++;
        if ((chainStatus & 1) || (routineRan && (routineStatus & 1)))
            c->invalidCounter++;
        if (c->periodicityLevel != 0)
            Adapt(c, p.remaining);
        Classify(c, p, &c->values[x], &c->flags[x], c->cells ? &c->cells[x] : nullptr);
        if (g_IterationRecord.counts)
            g_IterationRecord.counts[(size_t)r * g_IterationRecord.stride + x] =
                p.remaining > 0 ? c->maxiter - p.remaining : c->maxiter;
    }
    return result;
}

int CalculateLineGuarded(LineContext* context)
{
    FractalTask* task = context->fractal->task;
    int result = 1;
    task->inCompiledCode = 1;
    DWORD code = Guarded([&] { result = CalculateLine(context); });
    task->inCompiledCode = 0;
    if (code == 0)
        return result;
    ResetX87();
    if (code != EXCEPTION_STOP_THREAD) {
        char text[400];
        if (g_ExceptionText)
            g_ExceptionText(text, code);
        else
            snprintf(text, sizeof text, "Exception code %lx", (unsigned long)code);
        PostThreadMessageText(context->fractal, "Exception while calculating fractal line", text, MSG_ERROR);
    }
    return 1;
}

void ComputePeriodicityParameters(int maxiter, double dxc, double dyc, double dxr, double dyr, int level,
                                  int* saveCount, double* tolerance)
{
    int count = maxiter > 0 ? (int)log10((double)maxiter) : 0;
    // log10 of an exact power of ten may come out a hair below the integer.
    while (count < 9 && maxiter >= 10 && (long long)maxiter >= (long long)pow(10.0, count + 1))
        ++count;
    *saveCount = count < 4 ? 4 : count;
    double column = fabs(dxc) > fabs(dyc) ? fabs(dxc) : fabs(dyc);
    double row = fabs(dxr) > fabs(dyr) ? fabs(dxr) : fabs(dyr);
    double t = column < row ? column : row;
    switch (level) {
    case 1: t /= 1000; break;
    case 2: t /= 100; break;
    case 3: t /= 10; break;
    case 4: break;
    case 5: t *= 10; break;
    case 6: t *= 100; break;
    default: break;
    }
    *tolerance = t;
}

int FirstStartThreshold(int maxiter, int level)
{
    if (level == 0)
        return 0;
    int start = maxiter - 250;
    return start < 1 ? 1 : start;
}
