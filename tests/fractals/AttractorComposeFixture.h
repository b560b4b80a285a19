// A windowless attractor with hand-filled accumulation planes, for the
// composition tests: an image of width x height pixels, planes with the
// 20-cell margins at oversampling 1, a 1 x 1 filter (each pixel is its one
// shaded cell), gamma and contrast 1 (the tone step changes nothing) and a
// background of (10, 20, 30).
#pragma once
#include <stdlib.h>
#include <string.h>
#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "fractals/attractor/Composition.h"

class ComposeFixture {
public:
    ComposeFixture(int width, int height, int mode) {
        fractal = new Fractal(FT_ATTRACTOR, 0);
        fractal->header->Width = width;
        fractal->header->Height = height;
        task = new FractalTask();
        task->fractal = fractal;
        fractal->task = task;
        block = static_cast<AttractorParameters*>(fractal->typeParameters);
        block->RenderMode = mode;
        block->Gamma = block->Contrast = 1;
        block->Oversample = 0;
        block->weightThreshold = 0;
        block->Roughness = 0;
        block->BackgroundColor[0] = 10, block->BackgroundColor[1] = 20, block->BackgroundColor[2] = 30;
        for (int i = 0; i < 8; ++i)
            block->lights.enabled[i] = 0;
        int pw = width + 40, ph = height + 40;
        task->plane0->Allocate(pw, ph, 4);
        task->plane1->Allocate(pw, ph, 4);
        for (int i = 0; i < 4; ++i)
            task->planes[i]->Allocate(pw, ph, 4);
        task->plane8->Allocate(pw, ph, 4);
        task->plane7->Allocate(1, 1, 4);
        Weights()[0] = 1;
        task->oldz->Allocate(width, height, 4);
        task->values = (float*)calloc((size_t)pw * ph, sizeof(float));
        stride = fractal->GetImageStride();
        task->imageBits = (unsigned char*)calloc((size_t)stride * height * 3, 1);
        record = AttractorRenderRecord();
        record.stride = stride;
        record.filterSize = 1;
        record.image = task->imageBits;
        record.renderMode = mode;
        record.pointCount = 1;
    }
    ~ComposeFixture() {
        free(task->values);
        free(task->imageBits);
        task->values = nullptr;
        task->imageBits = nullptr;
        for (int i = 0; i < 10; ++i)
            task->arrays[i].Free();
        fractal->task = nullptr;
        delete task;
        delete fractal;
    }
    ComposeFixture(const ComposeFixture&) = delete;
    ComposeFixture& operator=(const ComposeFixture&) = delete;

    float* Weights() { return (float*)task->plane7->data; }
    // Plane cell of image pixel (x, y) at oversampling 1.
    int Cell(int x, int y) const { return (y + 20) * task->plane0->width + x + 20; }
    float& Density(int x, int y) { return ((float*)task->plane1->data)[Cell(x, y)]; }
    float& Sum(int plane, int x, int y) { return ((float*)task->planes[plane]->data)[Cell(x, y)]; }
    float& Depth(int x, int y) { return task->values[Cell(x, y)]; }
    uint32_t& OwnColour(int x, int y) { return ((uint32_t*)task->plane0->data)[Cell(x, y)]; }
    // Blue, green, red of image pixel (x, y).
    const unsigned char* Pixel(int x, int y) const { return task->imageBits + ((size_t)y * stride + x) * 3; }
    // The opacity byte of the pixel's oldz cell (bits 8..15).
    int Opacity(int x, int y) const {
        int32_t v = ((int32_t*)task->oldz->data)[y * task->oldz->width + x];
        return (v >> 8) & 0xFF;
    }
    int32_t OldZ(int x, int y) const { return ((int32_t*)task->oldz->data)[y * task->oldz->width + x]; }

    void Compose(RowWorkerSlot* workers = nullptr) { ComposeAttractorImage(fractal, &record, workers); }

    Fractal* fractal;
    FractalTask* task;
    AttractorParameters* block;
    AttractorRenderRecord record;
    int stride;
};
