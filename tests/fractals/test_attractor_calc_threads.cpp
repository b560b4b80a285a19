// The attractor calculator on a windowless task: maps that send every point
// to one fixed point light exactly the pixels the camera projects them to,
// with one and with four workers; hidden maps draw nothing; a fixed seed
// repeats an image; a run reaches its point target; a stop through the
// task's thread (new Thread( of the task) is answered within half a second;
// bad maps give their result codes and messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <math.h>
#include <string.h>
#include <fstream>
#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/escapetime/PixelRoutine.h"
#include "calc/task/TaskLifecycle.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"
#include "document/Fractal.h"
#include "formulas/FormulaKind.h"
#include "document/QuaternionParameters.h"
#include "fractals/AttractorFormula.h"
#include "fractals/attractor/AttractorProgram.h"
#include "tests/fractals/ShippedEntry.h"
#include "fractals/attractor/CalculateAttractor.h"
#include "fractals/attractor/CalculationPreview.h"
#include "view3d/OpenGLRenderer.h"

namespace {

// A map that sends every point to (x, y, z).
std::string FixedPointMap(double x, double y, double z)
{
    char text[200];
    snprintf(text, sizeof text, "fixed(ATTRACTOR)\n{\n\tvoid loop(void)\n\t{\n\t\tz = vector(%g, %g, %g);\n\t}\n}\n", x,
             y, z);
    return text;
}

const int kWidth = 48, kHeight = 36;
// Observer 5 in front of the origin, vertical field of view 60 degrees:
// one unit at the origin's distance spans kHeight / 2 / (5 tan 30°) pixels.
const double kPixelsPerUnit = kHeight / 2.0 / (5 * tan(3.14159265358979 / 6));

class Rig {
public:
    // A started task thread takes commands; the others never look at the
    // command word, so the tests call the calculator themselves.
    explicit Rig(int workers, double maxiter = 0.02, bool started = false)
    {
        InitProcessorFeatures();
        fixupTemplates();
        g_AttractorWorkers = workers;
        g_AttractorSeed = 4711;
        fractal = new Fractal(FT_ATTRACTOR, 0);
        fractal->header->Width = kWidth;
        fractal->header->Height = kHeight;
        block = static_cast<AttractorParameters*>(fractal->typeParameters);
        block->formulas.DeleteAllNodes();
        block->colouring.parameters.DeleteAllNodes();
        block->colouring.functions.DeleteAllNodes();
        // white points of their own colour: the test palette has no colours
        block->colouring.holder->SetSource(
            "White(ATTRACTOR)\n{\n\tvoid loop(void)\n\t{\n\t\tpixelcolor = rgb(1, 1, 1);\n\t}\n}\n");
        block->colouring.SetNames("", "White", "White");
        block->Maxiter = maxiter;
        block->RenderMode = 2;   // Plasma shows the points' own colour
        block->weightRadius = 0;
        block->Oversample = 0;
        block->FilterRadius = 0.1;   // a 1 x 1 filter: one cell, one pixel
        block->Obs_x = block->Obs_y = 0, block->Obs_z = 5;
        block->Viewpoint_x = block->Viewpoint_y = block->Viewpoint_z = 0;
        block->top_x = block->top_z = 0, block->top_y = 1;
        block->FieldOfView = 60;
        block->followObject = 0;
        memset(block->BackgroundColor, 0, sizeof block->BackgroundColor);
        created = CreateFractalTask(fractal, 1, started ? 1 : 0, 0, 0, 0, 0);
        task = fractal->task;
    }
    ~Rig()
    {
        if (fractal->task)
            DeleteFractalTask(fractal, 0, 0, 0);
        delete fractal;
        g_AttractorWorkers = 0;
        g_AttractorSeed = 0;
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    AttractorTransformation* AddMap(const std::string& text, const char* name, int flags = 0)
    {
        AttractorFormula* formula = new AttractorFormula();
        formula->flags = flags;
        AttractorTransformation* t = new AttractorTransformation(formula);
        t->holder = new FormulaHolder(FK_ITERATION);
        if (!text.empty())
            t->holder->SetSource(text.c_str());
        strcpy(t->entryName, name);
        strcpy(t->foundName, name);
        formula->transformations.Append(t);
        block->formulas.Append(formula);
        return t;
    }

    // Pixels (x, row from the top) that differ from the black background.
    std::set<std::pair<int, int>> Lit() const
    {
        std::set<std::pair<int, int>> lit;
        int stride = fractal->GetImageStride();
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const unsigned char* p = task->imageBits + ((size_t)y * stride + x) * 3;
                if (p[0] || p[1] || p[2])
                    lit.insert({x, kHeight - 1 - y});
            }
        return lit;
    }
    std::vector<unsigned char> Image() const
    {
        return std::vector<unsigned char>(task->imageBits,
                                          task->imageBits + (size_t)fractal->GetImageStride() * kHeight * 3);
    }

    Fractal* fractal;
    FractalTask* task;
    AttractorParameters* block;
    int created;
};

}  // namespace

TEST(AttractorCalculation, FixedPointsLightTheirProjectedPixels)
{
    const double x = 1.7, y = 1.0;
    for (int workers : {1, 2, 4}) {
        SCOPED_TRACE(workers);
        Rig rig(workers);
        ASSERT_EQ(rig.created, 0);
        rig.AddMap(FixedPointMap(0, 0, 0), "origin");
        rig.AddMap(FixedPointMap(x, 0, 0), "right");
        rig.AddMap(FixedPointMap(0, y, 0), "up");
        ASSERT_EQ(CalculateAttractor(rig.fractal), 0);
        EXPECT_GE(rig.task->attractorPointCount, rig.block->Maxiter * 1e6);
        std::set<std::pair<int, int>> lit = rig.Lit();
        ASSERT_EQ(lit.size(), 3u);
        // the origin lies on the view's centre
        std::pair<int, int> origin(-1, -1);
        for (auto p : lit)
            if (abs(p.first - kWidth / 2) <= 1 && abs(p.second - kHeight / 2) <= 1)
                origin = p;
        ASSERT_NE(origin.first, -1) << "nothing at the centre";
        int rows = 0, columns = 0;
        for (auto p : lit) {
            if (p == origin)
                continue;
            if (p.second == origin.second) {
                // x = 1.7 goes sideways by its projected distance
                EXPECT_LT(fabs(abs(p.first - origin.first) - x * kPixelsPerUnit), 1.0) << p.first;
                ++rows;
            } else if (p.first == origin.first) {
                // y = 1 goes up (rows counted from the top get smaller)
                EXPECT_LT(fabs((origin.second - p.second) - y * kPixelsPerUnit), 1.0) << p.second;
                ++columns;
            }
        }
        EXPECT_EQ(rows, 1);
        EXPECT_EQ(columns, 1);
    }
}

TEST(AttractorCalculation, HiddenMapsAndTransformationsDrawNothing)
{
    Rig rig(2);
    ASSERT_EQ(rig.created, 0);
    rig.AddMap(FixedPointMap(0, 0, 0), "shown");
    rig.AddMap(FixedPointMap(1.5, 0, 0), "hidden map", ATTRACTOR_FORMULA_HIDDEN);
    AttractorTransformation* t = rig.AddMap(FixedPointMap(0, 1.5, 0), "hidden transformation");
    // a map whose only transformation is hidden leaves the point where it is
    t->hidden = 1;
    ASSERT_EQ(CalculateAttractor(rig.fractal), 0);
    EXPECT_EQ(rig.Lit().size(), 1u);
}

TEST(AttractorCalculation, FixedSeedRepeatsTheImage)
{
    std::vector<unsigned char> images[2];
    for (auto& image : images) {
        Rig rig(1);
        ASSERT_EQ(rig.created, 0);
        rig.AddMap(ShippedEntry("AttractorConstructor.sfm", "unitcube"), "unitcube");
        rig.block->Obs_x = 2, rig.block->Obs_y = 3;   // three faces in sight
        ASSERT_EQ(CalculateAttractor(rig.fractal), 0);
        image = rig.Image();
        EXPECT_GT(rig.Lit().size(), 100u) << "the cube fills a good part of the view";
    }
    EXPECT_TRUE(images[0] == images[1]);
}

TEST(AttractorCalculation, BadMapsGiveTheirResult)
{
    struct Case {
        const char* name;
        std::string text;
        int result;
        bool stamped;   // the image carries the message
    } cases[] = {
        // every orbit escapes and restarts: the run would never reach its
        // target, so it ends with a message instead
        {"escapes", "nan(ATTRACTOR)\n{\n\treal big;\n\tvoid loop(void)\n\t{\n\t\tbig = 1e300;\n\t\tz = (z + vector(1, 1, 1)) * big * big;\n\t\tz = z - z * 0.5 - z * 0.5;\n\t}\n}\n", 1,
         true},
        {"missing", "", 1, true},
        {"broken", "broken(ATTRACTOR)\n{\n\tvoid loop(void)\n\t{\n\t\tz = ;\n\t}\n}\n", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(2);
        ASSERT_EQ(rig.created, 0);
        rig.AddMap(c.text, c.name);
        EXPECT_EQ(CalculateAttractor(rig.fractal), c.result);
        EXPECT_EQ(!rig.Lit().empty(), c.stamped);
    }
}

TEST(AttractorCalculation, StopThroughTheTaskThreadIsAnsweredQuickly)
{
    Rig rig(2, 1e6, true);   // far more points than the test waits for
    ASSERT_EQ(rig.created, 0);
    rig.AddMap(ShippedEntry("AttractorConstructor.sfm", "unitcube"), "unitcube");
    rig.fractal->Calculate();
    Sleep(1500);
    EXPECT_GT(rig.task->attractorPointCount + rig.task->progress, 0.0) << "the run has begun";
    DWORD start = GetTickCount();
    rig.fractal->StopCalculation();
    DWORD ms = GetTickCount() - start;
    EXPECT_LT(ms, 500u);
    EXPECT_EQ(rig.fractal->GetCalculationResult(), 3);
}

// Without a window the preview still measures the object: the sphere is
// centred on the box in world coordinates (z not negated) and the shadow
// map of the light that casts shadows is sized to the image and written
// through the light camera that frames that sphere (depths within its
// radius of the centre); a light without shadows gets no map.
TEST(AttractorCalculation, WindowlessRunMeasuresTheObjectForTheShadows)
{
    Rig rig(1);
    ASSERT_EQ(rig.created, 0);
    rig.AddMap("box(ATTRACTOR)\n{\n\tvoid loop(void)\n\t{\n\t\tz = vector(random.real() * 2 - 1, "
               "random.real() * 2 - 1, random.real() * 2 + 2);\n\t}\n}\n",
               "box");
    rig.block->RenderMode = 3;
    LightBlock& lights = rig.block->lights;
    lights.enabled[0] = 1, lights.shadow[0] = 1, lights.relative[0] = 0;
    lights.position[0][0] = 0, lights.position[0][1] = 0, lights.position[0][2] = 10;
    lights.shadow[1] = 0;
    ASSERT_EQ(CalculateAttractor(rig.fractal), 0);

    OpenGLRenderer* renderer = AttractorRendererOf(rig.fractal);
    ASSERT_NE(renderer, nullptr);
    const PreviewCloud& cloud = renderer->cloud;
    EXPECT_NEAR(cloud.sphereCentre[0], 0, 0.3);
    EXPECT_NEAR(cloud.sphereCentre[1], 0, 0.3);
    EXPECT_NEAR(cloud.sphereCentre[2], 3, 0.3) << "the centre is a world point";
    EXPECT_GT(cloud.sphereRadius, 1.6);   // half the box's diagonal is 1.73
    EXPECT_LT(cloud.sphereRadius, 2.0);

    const Array2D& map = renderer->shadowMaps[0];
    ASSERT_NE(map.data, nullptr);
    EXPECT_EQ(map.width, kWidth);
    EXPECT_EQ(map.height, kHeight);
    const float* cells = static_cast<const float*>(map.data);
    int written = 0;
    float nearest = 1e20f;
    for (int i = 0; i < map.width * map.height; ++i)
        if (cells[i] != 1e20f) {
            ++written;
            nearest = std::min(nearest, cells[i]);
            ASSERT_LE(fabs(cells[i]), cloud.sphereRadius + 0.01) << i;
        }
    EXPECT_GT(written, map.width * map.height / 4) << "the box covers much of the light's view";
    EXPECT_NEAR(nearest, -1, 0.1) << "the face nearest to the light";
    EXPECT_EQ(renderer->shadowMaps[1].data, nullptr);
}
