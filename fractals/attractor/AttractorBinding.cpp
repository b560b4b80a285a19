// The binding of an attractor worker's variable block. The values are
// written as doubles first and the 80-bit slots converted in place at the
// end, as the formulas read e, pi, index and randomrange as extended.
#include "fractals/attractor/AttractorBinding.h"

#include <windows.h>
#include <string.h>

#include "calc/escapetime/PixelRoutine.h"
#include "compiler/NoiseTables.h"
#include "document/QuaternionParameters.h"
#include "fractals/AttractorFormula.h"
#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorProgram.h"
#include "fractals/attractor/AttractorWorkers.h"
#include "fractals/attractor/Camera.h"

namespace {

template <typename T>
void Put(uint8_t* base, int offset, T value)
{
    memcpy(base + offset, &value, sizeof value);
}

void PutVector(uint8_t* base, int offset, double x, double y, double z)
{
    Put(base, offset, x);
    Put(base, offset + 8, y);
    Put(base, offset + 16, z);
}

// __O_ / __I_ settings: density, accel, smooth, offset, repeat, transfer,
// solid colour 0xRRGGBB and 255.
void PutColouring(uint8_t* base, int offset, const AttractorParameters* b)
{
    Put(base, offset, (float)b->Density);
    Put(base, offset + 4, (float)b->Accel);
    Put(base, offset + 8, (float)b->Smooth);
    Put(base, offset + 12, (float)b->Offset);
    Put(base, offset + 16, (int32_t)b->WrapAround);
    Put(base, offset + 20, (int32_t)b->Transfer);
    Put(base, offset + 24, (int32_t)(b->SolidColor[0] << 16 | b->SolidColor[1] << 8 | b->SolidColor[2]));
    Put(base, offset + 28, (int32_t)255);
}

void FillFormulaArray(void* array, const AttractorParameters* b, bool weights)
{
    if (!array)
        return;
    int32_t* header = static_cast<int32_t*>(array);
    header[0] = 1;
    header[1] = 4;
    header[2] = 1;
    header[3] = 500;
    float* values = reinterpret_cast<float*>(header + 16);
    int i = 0;
    for (ListNode* n = b->formulas.GetHead(); n; n = n->next) {
        const AttractorFormula* f = static_cast<const AttractorFormula*>(n);
        if (!(f->flags & ATTRACTOR_FORMULA_HIDDEN))
            values[i++] = (float)(weights ? f->weight : f->colour);
    }
}

}  // namespace

int BindAttractorVariables(const AttractorBinding& in, uint8_t* base)
{
    const AttractorParameters* b = in.block;
    WriteSmallIntConstants(base);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    Put(base, AV_VIRTUALALLOC, (void*)GetProcAddress(kernel, "VirtualAlloc"));
    Put(base, AV_VIRTUALFREE, (void*)GetProcAddress(kernel, "VirtualFree"));

    int active = 0;
    for (ListNode* n = b->formulas.GetHead(); n; n = n->next)
        active += !(static_cast<const AttractorFormula*>(n)->flags & ATTRACTOR_FORMULA_HIDDEN);
    Put(base, AV_NUM_TRAFOS, (int32_t)active);
    Put(base, AV_E, 2.718281828);
    Put(base, AV_PI, 3.1415926535);
    uint32_t seeds[2];
    AttractorWorkerSeeds(in.tick, in.worker, seeds);
    Put(base, AV_SEED, seeds[0]);
    Put(base, AV_SEED + 4, seeds[1]);

    Put(base, AV_SCREENMAX, (float)in.imageWidth);
    Put(base, AV_SCREENMAX + 4, (float)in.imageHeight);
    Put(base, AV_WIDTH, (int32_t)in.imageWidth);
    Put(base, AV_HEIGHT, (int32_t)in.imageHeight);
    Put(base, AV_MAXITER, b->Maxiter);
    Put(base, AV_INDEX, 0.0);
    Put(base, AV_NUMITER, (int32_t)0);
    Put(base, AV_HIDDEN_PIXEL, (int32_t)0);
    Put(base, AV_HISTORY, in.history);

    // Observer and Viewpoint are filled crosswise to their names.
    Put(base, AV_RANDOMRANGE, 2147483648.0);
    PutVector(base, AV_OBSERVER, b->Viewpoint_x, b->Viewpoint_y, b->Viewpoint_z);
    PutVector(base, AV_VIEWPOINT, b->Obs_x, b->Obs_y, b->Obs_z);
    PutVector(base, AV_TOP, b->top_x, b->top_y, b->top_z);
    Put(base, AV_FIELD_OF_VIEW, b->FieldOfView);
    Put(base, AV_ONCE_TRAFO, 0xFFFFFFFFu);

    FillFormulaArray(in.weights, b, true);
    FillFormulaArray(in.colours, b, false);
    Put(base, AV_TRAFO_WEIGHT, in.weights);
    Put(base, AV_TRAFO_COLOR, in.colours);
    Put(base, AV_SELECTION_STATE, (int32_t)(in.worker + 17363123));
    Put(base, AV_RSCALE_PRODUCT, 1.0);

    PutColouring(base, AV_OUTSIDE_SETTINGS, b);
    PutColouring(base, AV_INSIDE_SETTINGS, b);
    Put(base, AV_COLORTABLE, in.colourTable);
    Put(base, AV_PERLIN, (const void*)PerlinPermutationTable());
    Put(base, AV_PERLIN + 4, (const void*)PerlinGradientTable());
    Put(base, AV_PERLIN + 8, (const void*)nullptr);
    Put(base, AV_PERLIN + 12, (const void*)nullptr);

    const int extended[] = {AV_CENTER, AV_CENTER + 16, AV_ROTATION_CENTER, AV_ROTATION_CENTER + 16, AV_E, AV_PI,
                            AV_INDEX, AV_RANDOM, AV_RANDOM + 16, AV_RANDOMRANGE};
    for (int offset : extended)
        DoubleToExtended(base + offset);

    const double observer[3] = {b->Obs_x, b->Obs_y, b->Obs_z};
    const double viewpoint[3] = {b->Viewpoint_x, b->Viewpoint_y, b->Viewpoint_z};
    const double top[3] = {b->top_x, b->top_y, b->top_z};
    ViewRect view = {in.viewCentreX, in.viewCentreY, in.viewWidth, in.viewHeight};
    AttractorProjection projection;
    memset(&projection, 0, sizeof projection);
    int usable = SetupProjection(in.imageWidth, in.imageHeight, view, observer, viewpoint, top, b->FieldOfView,
                                 &projection);
    float camera[12] = {};
    if (usable) {
        memcpy(camera, projection.observer, 12);
        memcpy(camera + 3, projection.right, 12);
        memcpy(camera + 6, projection.up, 12);
        memcpy(camera + 9, projection.direction, 12);
        Put(base, AV_VIEW_SCALE, projection.invTanHalfH);
        Put(base, AV_VIEW_SCALE + 4, projection.invTanHalfV);
    } else {
        Put(base, AV_VIEW_SCALE, 0.0f);
        Put(base, AV_VIEW_SCALE + 4, 0.0f);
    }
    memcpy(base + AV_VIEW_CAMERA, camera, sizeof camera);
    Put(base, AV_VIEW_NEAR, 0.1f);
    Put(base, AV_VIEW_FAR, 1000.0f);
    Put(base, AV_VIEW_CENTRE, (int32_t)in.viewCentreX);
    Put(base, AV_VIEW_CENTRE + 4, (int32_t)in.viewCentreY);
    Put(base, AV_VIEW_WIDTH, (int32_t)in.viewWidth);
    Put(base, AV_VIEW_HEIGHT, (int32_t)in.viewHeight);
    Put(base, AV_BATCH_SIZE, (int32_t)ATTRACTOR_BATCH);
    Put(base, AV_POINT_BUFFER, in.pointBuffer);
    return usable;
}

void CopyAttractorLights(const AttractorProjection& camera, uint8_t* base, int index, int mapWidth, int mapHeight,
                         float* cells)
{
    float record[12];
    memcpy(record, camera.observer, 12);
    memcpy(record + 3, camera.right, 12);
    memcpy(record + 6, camera.up, 12);
    memcpy(record + 9, camera.direction, 12);
    if (index < 0) {
        memcpy(base + AV_VIEW_CAMERA, record, sizeof record);
        Put(base, AV_VIEW_NEAR, 0.1f);
        Put(base, AV_VIEW_FAR, 1000.0f);
        Put(base, AV_VIEW_SCALE, camera.invTanHalfH);
        Put(base, AV_VIEW_SCALE + 4, camera.invTanHalfV);
        return;
    }
    if (index > 7)
        return;
    uint8_t* slot = base + AV_LIGHT_CAMERAS + AV_LIGHT_CAMERA_SIZE * index;
    memcpy(slot, record, sizeof record);
    if (!cells)
        mapWidth = mapHeight = 0;
    Put(slot, 48, (int32_t)mapWidth);
    Put(slot, 52, (int32_t)mapHeight);
    Put(slot, 56, cells);
}
