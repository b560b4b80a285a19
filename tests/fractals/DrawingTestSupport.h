// A windowless fractal of a drawing type on a bare task (8-bit image by
// default) and a recorder of the drawing-step trace, for the tests of the
// L-system, dynamic-system and plasma calculators.
#pragma once
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "calc/task/DrawTrace.h"
#include "document/Fractal.h"

struct DrawingFractal {
    DrawingFractal(int type, int subtype, int width, int height, int bits = 8)
    {
        fractal = new Fractal(type, subtype);
        fractal->header->Width = width;
        fractal->header->Height = height;
        fractal->header->DisplayDepth = bits;
        fractal->header->Subtype = subtype;
        task = AttachBareTask(fractal);
    }
    ~DrawingFractal()
    {
        FreeBareTask(fractal);
        delete fractal;
    }
    DrawingFractal(const DrawingFractal&) = delete;
    DrawingFractal& operator=(const DrawingFractal&) = delete;

    template <class Block> Block* Params() { return static_cast<Block*>(fractal->typeParameters); }
    int Width() const { return fractal->header->Width; }
    int Height() const { return fractal->header->Height; }
    // The image bytes (8-bit: one index per pixel).
    std::vector<unsigned char> Image() const
    {
        size_t n = (size_t)fractal->GetImageStride() * Height() * (fractal->header->DisplayDepth == 8 ? 1 : 3);
        return std::vector<unsigned char>(task->imageBits, task->imageBits + n);
    }
    std::vector<float> Values() const
    {
        return std::vector<float>(task->values, task->values + (size_t)fractal->GetBufferWidth() * Height());
    }
    float Value(int column, int row) const { return task->values[(size_t)row * fractal->GetBufferWidth() + column]; }
    int Index(int column, int row) const { return task->imageBits[(size_t)row * fractal->GetImageStride() + column]; }

    Fractal* fractal;
    FractalTask* task;
};

// Records every drawing step while it lives.
struct TraceRecorder {
    TraceRecorder() : saved(g_DrawTrace)
    {
        steps().clear();
        g_DrawTrace = Record;
    }
    ~TraceRecorder() { g_DrawTrace = saved; }
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    static std::vector<std::vector<double>>& steps()
    {
        static std::vector<std::vector<double>> s;
        return s;
    }
    static void Record(const double* values, int count) { steps().emplace_back(values, values + count); }

    void (*saved)(const double*, int);
};
