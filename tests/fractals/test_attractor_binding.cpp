// Binding an attractor block and projecting: a map that sends every point
// to one fixed point lights exactly the pixel an independent projection
// (camera basis, field of view, view rectangle) computes; a degenerate
// camera projects nothing; the block's slots are filled as the formulas
// read them.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <vector>

#include "calc/escapetime/PixelRoutine.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaSymbol.h"
#include "document/QuaternionParameters.h"
#include "foundation/Buffers.h"
#include "fractals/AttractorFormula.h"
#include "fractals/attractor/AttractorBinding.h"
#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorProgram.h"

namespace {

template <typename T>
T At(const uint8_t* p, int offset)
{
    T v;
    memcpy(&v, p + offset, sizeof v);
    return v;
}

// z = (x, y, z) from three doubles at absolute addresses.
std::vector<uint8_t> LoadPoint(const double* p)
{
    std::vector<uint8_t> b;
    const uint8_t stores[3][3] = {{0xDD, 0x1F, 0}, {0xDD, 0x5F, 0x08}, {0xDD, 0x5F, 0x10}};
    for (int k = 0; k < 3; k++) {
        uint32_t address = (uint32_t)(uintptr_t)(p + k);
        b.insert(b.end(), {0xDD, 0x05});
        b.insert(b.end(), reinterpret_cast<uint8_t*>(&address), reinterpret_cast<uint8_t*>(&address) + 4);
        b.insert(b.end(), stores[k], stores[k] + (k ? 3 : 2));
    }
    return b;
}

void Cross(const double a[3], const double b[3], double out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}
void Unit(double v[3])
{
    double l = sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int k = 0; k < 3; k++)
        v[k] /= l;
}
double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

struct Scene {
    AttractorParameters block{nullptr};
    std::vector<uint8_t> memory = std::vector<uint8_t>(8000, 0);
    std::vector<uint8_t> records = std::vector<uint8_t>(ATTRACTOR_BATCH * ATTRACTOR_RECORD_SIZE, 0);
    std::vector<int32_t> history = std::vector<int32_t>(ATTRACTOR_HISTORY_SIZE, 0);
    std::vector<uint8_t> weights = std::vector<uint8_t>(AttractorFormulaArrayBytes(3), 0);
    uint8_t* base = memory.data() + 4000;
    AttractorBinding binding;

    Scene()
    {
        block.FreeFormulas();   // a new block starts with a formula of its own
        block.Obs_x = 1;
        block.Obs_y = 2;
        block.Obs_z = -10;
        block.Viewpoint_x = block.Viewpoint_y = block.Viewpoint_z = 0;
        block.top_x = 0;
        block.top_y = 1;
        block.top_z = 0;
        block.FieldOfView = 60;
        binding.block = &block;
        binding.imageWidth = 200;
        binding.imageHeight = 100;
        binding.viewWidth = 200;
        binding.viewHeight = 100;
        binding.viewCentreX = 100;
        binding.viewCentreY = 50;
        binding.history = history.data();
        binding.pointBuffer = records.data();
        binding.weights = weights.data();
    }
    ~Scene() { block.FreeFormulas(); }
    void AddFormula(double weight, int flags)
    {
        AttractorFormula* f = new AttractorFormula;
        f->weight = weight;
        f->flags = flags;
        block.formulas.Append(f);
    }
    // Where the independent projection puts p: false when it is not visible.
    bool Expected(const double p[3], int* x, int* y) const
    {
        double o[3] = {block.Obs_x, block.Obs_y, block.Obs_z};
        double d[3] = {block.Viewpoint_x - o[0], block.Viewpoint_y - o[1], block.Viewpoint_z - o[2]};
        double top[3] = {block.top_x, block.top_y, block.top_z};
        Unit(d);
        double right[3], up[3];
        Cross(top, d, right);
        Unit(right);
        Cross(d, right, up);
        double rel[3] = {p[0] - o[0], p[1] - o[1], p[2] - o[2]};
        double c[3] = {Dot(rel, right), Dot(rel, up), Dot(rel, d)};
        double tanV = tan(block.FieldOfView * M_PI / 360);
        double tanH = tanV * binding.imageWidth / binding.imageHeight;
        double px = c[0] / c[2] / tanH, py = c[1] / c[2] / tanV;
        if (c[2] < 0.1 || fabs(px) > 1 || fabs(py) > 1)
            return false;
        *x = (int)lrint(binding.viewCentreX + px * binding.viewWidth * 0.5);
        *y = (int)lrint(binding.viewCentreY - py * binding.viewHeight * 0.5);
        return true;
    }
};

class AttractorBindingTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InitProcessorFeatures();
        fixupTemplates();
    }
};

}  // namespace

TEST_F(AttractorBindingTest, FilledAsTheFormulasReadThem)
{
    Scene s;
    s.AddFormula(2, 0);
    s.AddFormula(5, ATTRACTOR_FORMULA_HIDDEN);
    s.AddFormula(0.5, 0);
    s.binding.worker = 3;
    s.binding.tick = 0x12345678;
    EXPECT_EQ(BindAttractorVariables(s.binding, s.base), 1);
    EXPECT_EQ(At<int32_t>(s.base, AV_NUM_TRAFOS), 2) << "the hidden formula is not counted";
    EXPECT_EQ(At<uint32_t>(s.base, AV_SEED), 0x12345678u << 3);
    EXPECT_EQ(At<uint32_t>(s.base, AV_SEED + 4), 0x12345678u >> 3);
    EXPECT_EQ(At<int32_t>(s.base, AV_SELECTION_STATE), 17363126);
    EXPECT_EQ(At<double>(s.base, AV_RSCALE_PRODUCT), 1.0);
    EXPECT_EQ(GetRuntimeExtended(s.base, AV_PI), (long double)3.1415926535);
    EXPECT_EQ(GetRuntimeExtended(s.base, AV_RANDOMRANGE), 2147483648.0L);
    EXPECT_EQ(At<int16_t>(s.base, -4), 1) << "small-integer constants below the base";
    EXPECT_EQ(At<int16_t>(s.base, -6), -1);
    // Observer holds the viewpoint and Viewpoint the observer
    EXPECT_EQ(At<double>(s.base, AV_OBSERVER), 0.0);
    EXPECT_EQ(At<double>(s.base, AV_VIEWPOINT + 16), -10.0);
    EXPECT_EQ(At<uint32_t>(s.base, AV_ONCE_TRAFO), 0xFFFFFFFFu);
    const uint8_t* w = s.weights.data();
    EXPECT_EQ(At<int32_t>(w, 12), 500);
    EXPECT_EQ(At<float>(w, 64), 2.0f);
    EXPECT_EQ(At<float>(w, 68), 0.5f);
    EXPECT_EQ(At<void*>(s.base, AV_TRAFO_WEIGHT), (void*)w);
}

TEST_F(AttractorBindingTest, FixedPointsLightTheProjectedPixel)
{
    static const double points[][3] = {{0, 0, 0}, {1.5, -0.75, 2}, {-3, 2, 0.5}, {40, 0, 0}, {1, 2, -11}};
    GrowBuffer code(0, true);
    int visible = 0;
    for (const auto& p : points) {
        SCOPED_TRACE(testing::Message() << p[0] << " " << p[1] << " " << p[2]);
        Scene s;
        s.AddFormula(1, 0);
        FormulaFunction* loop = new FormulaFunction;
        std::vector<uint8_t> bytes = LoadPoint(p);
        memcpy(loop->code->GetData(), bytes.data(), bytes.size());
        loop->codeLength = (uint32_t)bytes.size();
        AttractorProgramInput in;
        in.maps.resize(1);
        in.maps[0].transformations.resize(1);
        in.maps[0].transformations[0].loop = loop;
        ASSERT_TRUE(AssembleAttractorProgram(&code, in));
        ASSERT_EQ(BindAttractorVariables(s.binding, s.base), 1);
        s.base[AV_PROJECT_FLAG] = 1;
        int n = RunAttractorProgram(code.GetData(), s.base);
        int x, y;
        if (!s.Expected(p, &x, &y)) {
            EXPECT_EQ(n, 0);
        } else {
            visible++;
            ASSERT_EQ(n, 1024);
            for (int k = 0; k < 1024; k += 341) {
                AttractorScreenRecord r;
                memcpy(&r, s.records.data() + k * ATTRACTOR_RECORD_SIZE, sizeof r);
                EXPECT_EQ(r.x, x);
                EXPECT_EQ(r.y, y);
            }
        }
        delete loop;
    }
    EXPECT_EQ(visible, 3);
}

TEST_F(AttractorBindingTest, DegenerateCameraProjectsNothing)
{
    Scene s;
    s.AddFormula(1, 0);
    s.block.Obs_x = s.block.Obs_y = s.block.Obs_z = 0;   // observer at the viewpoint
    EXPECT_EQ(BindAttractorVariables(s.binding, s.base), 0);
    FormulaFunction* loop = new FormulaFunction;
    const uint8_t zero[] = {0xD9, 0xEE, 0xDD, 0x1F};
    memcpy(loop->code->GetData(), zero, sizeof zero);
    loop->codeLength = sizeof zero;
    AttractorProgramInput in;
    in.maps.resize(1);
    in.maps[0].transformations.resize(1);
    in.maps[0].transformations[0].loop = loop;
    GrowBuffer code(0, true);
    ASSERT_TRUE(AssembleAttractorProgram(&code, in));
    s.base[AV_PROJECT_FLAG] = 1;
    EXPECT_EQ(RunAttractorProgram(code.GetData(), s.base), 0);
    delete loop;
}
