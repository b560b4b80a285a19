// A windowless quaternion fractal with one compiled iteration formula and
// the ray record a worker would march with: the routines assembled as the
// calculation assembles them, the data blocks bound, the view plane of the
// block's camera. Shared by the tests of the compiled code and the march.
#pragma once
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <memory>

#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/Buffers.h"
#include "foundation/List.h"
#include "fractals/quaternion/QuaternionCode.h"
#include "fractals/quaternion/QuaternionRun.h"
#include "view3d/ViewPlane.h"

// A basis of 4D space whose rows 1..3 span the slice: the identity, or a
// turn of the r and k axes by angle (radians) that tilts the slice.
inline void TiltedBasis(double angle, double basis[4][4])
{
    const double c = cos(angle), s = sin(angle);
    const double rows[4][4] = {{-s, 0, 0, c}, {c, 0, 0, s}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    memcpy(basis, rows, sizeof rows);
}

struct QuaternionFormulaFixture {
    explicit QuaternionFormulaFixture(int width = 40, int height = 30)
    {
        InitProcessorFeatures();
        fixupTemplates();
        InstallQuaternionBinder();
        fractal = new Fractal(FT_QUATERNION, 0);
        fractal->header->Width = width;
        fractal->header->Height = height;
        task = AttachBareTask(fractal);
        q = static_cast<QuaternionParameters*>(fractal->typeParameters);
        memset(&ray, 0, sizeof ray);
        double basis[4][4];
        TiltedBasis(0.0, basis);
        const double origin[4] = {0, 0, 0, 0};
        SetSlice(basis, origin);
    }
    ~QuaternionFormulaFixture()
    {
        parts.DeleteAllNodes();
        compiler.freeResults();
        FreeBareTask(fractal);
        delete fractal;
    }

    void SetSlice(const double basis[4][4], const double basePoint[4])
    {
        memcpy(ray.basis, basis, sizeof ray.basis);
        memcpy(ray.basePoint, basePoint, sizeof ray.basePoint);
    }

    // Compiles an iteration formula entry, assembles the routines (no
    // colouring: index = iterations / 252) and binds the data blocks.
    bool Compile(const char* text)
    {
        compiler.setKind(FK_ITERATION);
        task->dataBlockExtra = (int)(intptr_t)&ray;
        bool ok = compiler.compile(text, 0, -128, nullptr, nullptr, fractal, "Test", SK_QUATERNION, nullptr, false,
                                   false);
        task->dataBlockExtra = 0;
        if (!ok)
            return false;
        formulaData.reset(new AlignedBuffer(*compiler.dataBlock));
        QuaternionProgramInput in;
        in.usesLastsqr = compiler.usageFlags[0];
        in.numiterInLoop = compiler.usageFlags[1];
        parts.DeleteAllNodes();
        compiler.takeFunctions(&parts);
        compiler.freeResults();
        int alpha = 0;
        if (!AssembleQuaternionProgram(&colourCode, &iterateCode, in, &parts, nullptr) ||
            AssembleQuaternionTransforms(q, fractal, &compiler, &transformData, &transformCode, &alpha) != 0)
            return false;
        Bind();
        return true;
    }

    // The ray of a worker: view plane, camera and slice of the block.
    void Bind()
    {
        const int width = fractal->header->Width, height = fractal->header->Height;
        ray.width = width;
        ray.height = height;
        ray.iterateCode = static_cast<const uint8_t*>(iterateCode.GetData());
        ray.colourCode = static_cast<const uint8_t*>(colourCode.GetData());
        ray.transformCode = static_cast<const uint8_t*>(transformCode.GetData());
        ray.formulaData = formulaData->GetBase();
        ray.transformData = transformData.GetBase();
        ComputeViewPlane(q, width, height, ray.corner, ray.stepX, ray.stepY);
        const double observer[3] = {q->Obs_x, q->Obs_y, q->Obs_z};
        const double view[3] = {q->Viewpoint_x - q->Obs_x, q->Viewpoint_y - q->Obs_y, q->Viewpoint_z - q->Obs_z};
        memcpy(ray.observer, observer, sizeof observer);
        ray.viewDistance = sqrt(view[0] * view[0] + view[1] * view[1] + view[2] * view[2]);
        for (int c = 0; c < 3; ++c)
            ray.viewDir[c] = view[c] / ray.viewDistance;
        BindQuaternionVariables(fractal, q, ray.formulaData, &ray, nullptr);
        BindQuaternionVariables(fractal, q, ray.transformData, &ray, nullptr);
    }

    Fractal* fractal = nullptr;
    FractalTask* task = nullptr;
    QuaternionParameters* q = nullptr;
    FormulaCompiler compiler;
    NodeList parts;
    GrowBuffer colourCode{0, true}, iterateCode{0, true}, transformCode{0, true};
    std::unique_ptr<AlignedBuffer> formulaData;
    AlignedBuffer transformData{3000, 3000};
    QuaternionRay ray;
};
