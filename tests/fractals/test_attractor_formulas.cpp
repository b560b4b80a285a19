// The shipped attractor map "unitcube" compiled by the formula compiler and
// run through the assembled attractor program: every point lies on the
// surface of the cube [-1, 1]³, spread over all six faces.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/CodeTemplate.h"
#include "compiler/CompileHost.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "foundation/Buffers.h"
#include "foundation/List.h"
#include "formulas/FormulaKind.h"
#include "formulas/FormulaNode.h"
#include "calc/escapetime/PixelRoutine.h"
#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorProgram.h"
#include "tests/fractals/ShippedEntry.h"
#include "fractals/attractor/UnitCube.h"

namespace {

template <typename T>
T& At(uint8_t* p, int offset) { return *reinterpret_cast<T*>(p + offset); }

// Compiles text as an attractor map, runs one batch of it through the
// assembled program and checks every point lies on the cube's surface.
void CheckCubeSurface(const std::string& text)
{
    FormulaHolder holder(FK_ITERATION);
    AttractorCompileHost host;
    NodeList parameters, functionSlots;
    ASSERT_TRUE(holder.compiler->compile(text.c_str(), 4096, -128, &parameters, &functionSlots, &host, "Unit Cube",
                                         SK_ATTRACTOR, nullptr, false, false));
    NodeList functions;
    holder.compiler->takeFunctions(&functions);
    AttractorPieces pieces = FindAttractorPieces(&functions);
    ASSERT_TRUE(pieces.loop != nullptr);

    AttractorProgramInput in;
    AttractorMapCode map;
    map.transformations.push_back(pieces);
    in.maps.push_back(map);
    GrowBuffer code(0, true);
    ASSERT_TRUE(AssembleAttractorProgram(&code, in));

    std::vector<uint8_t> memory(16000, 0);
    std::vector<uint8_t> records(ATTRACTOR_BATCH * ATTRACTOR_RECORD_SIZE);
    std::vector<int32_t> history(ATTRACTOR_HISTORY_SIZE);
    uint8_t* base = memory.data() + 8000;
    At<int32_t>(base, AV_BATCH_SIZE) = ATTRACTOR_BATCH;
    At<uint8_t*>(base, AV_POINT_BUFFER) = records.data();
    At<int32_t*>(base, AV_HISTORY) = history.data();
    At<uint32_t>(base, AV_ONCE_TRAFO) = 0xFFFFFFFFu;
    WriteSmallIntConstants(base);   // the compiled constants 2, 6 ... live below the base
    At<uint32_t>(base, AV_SEED) = 12345;
    At<uint32_t>(base, AV_SEED + 4) = 678;
    At<long double>(base, AV_RANDOMRANGE) = 2147483648.0L;
    ASSERT_EQ(RunAttractorProgram(code.GetData(), base), 1024);
    int faces[6] = {};
    for (int n = 0; n < 1024; n++) {
        AttractorSpaceRecord r;
        memcpy(&r, records.data() + n * ATTRACTOR_RECORD_SIZE, sizeof r);
        int onFace = -1;
        for (int k = 0; k < 3; k++) {
            ASSERT_TRUE(r.point[k] >= -1 && r.point[k] <= 1) << n;
            if (fabsf(r.point[k]) == 1)
                onFace = 2 * k + (r.point[k] > 0);
        }
        ASSERT_GE(onFace, 0) << "record " << n << ": " << r.point[0] << " " << r.point[1] << " " << r.point[2];
        faces[onFace]++;
    }
    for (int f = 0; f < 6; f++)
        EXPECT_GT(faces[f], 100) << "face " << f;
    functions.DeleteAllNodes();
}

}  // namespace

TEST(AttractorShippedFormulas, UnitCubeDrawsTheCubeSurface)
{
    InitProcessorFeatures();
    fixupTemplates();
    // the shipped entry and the built-in source used without it
    for (std::string text : {ShippedEntry("AttractorConstructor.sfm", "unitcube"), std::string(kBuiltInUnitCube)}) {
        SCOPED_TRACE(text.substr(0, 40));
        ASSERT_FALSE(text.empty());
        CheckCubeSurface(text);
    }
}

TEST(AttractorShippedFormulas, RunWideUnitCubeFallsBackToTheBuiltIn)
{
    // no formula folder is scanned here: the lookup finds nothing
    InitProcessorFeatures();
    fixupTemplates();
    NodeList* functions = AttractorUnitCubeFunctions();
    ASSERT_TRUE(functions != nullptr);
    EXPECT_TRUE(FindAttractorPieces(functions).loop != nullptr);
    EXPECT_EQ(AttractorUnitCubeFunctions(), functions) << "made once";
}
