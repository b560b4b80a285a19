// A windowless fractal with a task and no thread, sized by the real buffer
// sizing, for the tests of dithering, plotting and buffer sizing. The
// screen depth is set for the fixture's life (8 makes the shadow image).
#pragma once
#include <string.h>
#include "calc/FractalTask.h"
#include "calc/task/TaskBuffers.h"
#include "compiler/FormulaCompiler.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"
#include "foundation/Thread.h"

class TestTask {
public:
    TestTask(int width, int height, int bits, int screenDepth = 24, int type = FT_IMAGE)
        : savedScreenDepth(ScreenDepth)
    {
        ScreenDepth = screenDepth;
        fractal = new Fractal(type, 0);
        fractal->header->DisplayDepth = bits;
        fractal->header->Dims = 0;
        fractal->header->Width = 0;
        fractal->header->Height = 0;
        fractal->dither = bits == 24 && screenDepth == 8;
        task = new FractalTask();
        task->fractal = fractal;
        fractal->task = task;
        sized = SetTaskImageSize(fractal, width, height);
    }
    ~TestTask()
    {
        FreeTaskBuffers(fractal, 1);
        fractal->task = nullptr;
        delete task;
        delete fractal;
        ScreenDepth = savedScreenDepth;
    }
    TestTask(const TestTask&) = delete;
    TestTask& operator=(const TestTask&) = delete;

    int Stride() const { return fractal->GetImageStride(); }
    // The 24-bit pixel (blue, green, red) at image column x, stored row y.
    unsigned char* Rgb(int x, int y) const { return task->imageBits + ((size_t)y * Stride() + x) * 3; }
    void SetRgb(int x, int y, int r, int g, int b) const
    {
        unsigned char* p = Rgb(x, y);
        p[0] = (unsigned char)b;
        p[1] = (unsigned char)g;
        p[2] = (unsigned char)r;
    }

    // Zeroes the nine dithering rows (max(height, stride) + 4 floats each).
    void ZeroDitherRows() const
    {
        int h = fractal->header->Height, length = (Stride() > h ? Stride() : h) + 4;
        for (int i = 0; i < 9; i++)
            memset(task->ditherRows[i], 0, sizeof(float) * length);
    }

    Fractal* fractal;
    FractalTask* task;
    int sized;   // result of SetTaskImageSize

private:
    int savedScreenDepth;
};

// The task members an escape-time calculation uses (compiler, code and data
// buffers, row lock), made for a windowless test task and freed with it.
struct EscapeTimeMembers {
    explicit EscapeTimeMembers(FractalTask* t) : task(t)
    {
        t->formulaCompiler = new FormulaCompiler();
        t->codeBuffer = new GrowBuffer(4096, true);
        t->codeBuffer3 = new GrowBuffer(4096, true);
        t->varBlock = new AlignedBuffer(3000, 3000);
        t->varBlock2 = new AlignedBuffer(3000, 3000);
        t->smallBuffer = new GrowBuffer(100);
        t->rowWorkBuffer = new GrowBuffer(1000);
        t->rowLock = new BusyLock();
    }
    ~EscapeTimeMembers()
    {
        FractalTask* t = task;
        delete t->formulaCompiler;
        delete t->codeBuffer;
        delete t->codeBuffer3;
        delete t->varBlock;
        delete t->varBlock2;
        delete t->smallBuffer;
        delete t->rowWorkBuffer;
        delete t->rowLock;
        t->formulaCompiler = nullptr;
        t->codeBuffer = t->codeBuffer3 = t->smallBuffer = t->rowWorkBuffer = nullptr;
        t->varBlock = t->varBlock2 = nullptr;
        t->rowLock = nullptr;
    }
    FractalTask* task;
};
