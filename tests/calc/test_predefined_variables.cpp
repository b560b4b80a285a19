// The predefined variables of escape-time code: every slot of the default
// view at its offset and in its width, the untouched slots, the size scale
// of render jobs and image filters, magn of wide and tall images, the
// compiler's symbols getting the values before the 80-bit widening, and the
// binder the compiler calls while it prepares a block.
#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>

#include "calc/FractalTask.h"
#include "calc/escapetime/PixelRoutine.h"
#include "calc/escapetime/PredefinedVariables.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "compiler/NoiseTables.h"
#include "compiler/Predefined.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"
#include "foundation/ImageFilter.h"

namespace {

const uint8_t kUntouched = 0xAB;

class Predefined : public ::testing::Test {
protected:
    Predefined() : fractal(FT_ESCAPETIME, 0), data(8192, 256)
    {
        fractal.header->Width = 640;
        fractal.header->Height = 480;
        fractal.header->DisplayDepth = 24;
        block = static_cast<EscapetimeParameters*>(fractal.typeParameters);
        block->SetCorners(-2.5, 1.5, 1.5, -1.5);
        memset(static_cast<uint8_t*>(data.GetRaw()), kUntouched, (size_t)data.TotalSize());
    }
    ~Predefined() override
    {
        g_RenderJobAntiAliasing = nullptr;
        fractal.header->ImageFilter = nullptr;
        fractal.task = nullptr;
    }
    void Bind(NodeList* symbols = nullptr) { BindPredefinedVariables(&fractal, block, Base(), symbols); }
    uint8_t* Base() const { return data.GetBase(); }
    long double Ext(int offset) const { return GetRuntimeExtended(Base(), offset); }

    Fractal fractal;
    EscapetimeParameters* block;
    AlignedBuffer data;
};

TEST_F(Predefined, DefaultViewSlots)
{
    block->Angle = 90;
    block->RotateX = 50;
    block->RotateY = 25;
    block->MaxIter = 150;
    block->outsideColouring.Density = 2.5;
    block->outsideColouring.Mapping = 3;
    block->outsideColouring.WrapAround = 1;
    const uint8_t red[4] = {0x12, 0x34, 0x56, 0x78};
    memcpy(block->outsideColouring.SolidColor, red, 4);
    block->outsideColouring.SolidOpacity = 200;
    block->insideColouring.Offset = 0.25;
    FractalTask task;
    fractal.task = &task;
    Bind();

    EXPECT_EQ(-0.5L, Ext(RT_CENTER));
    EXPECT_EQ(0.0L, Ext(RT_CENTER + 16));
    EXPECT_EQ((float)(90 * -3.1415926535 / 180), GetRuntimeFloat(Base(), RT_ANGLE));
    EXPECT_NEAR(-1.5707963, GetRuntimeFloat(Base(), RT_ANGLE), 1e-7);
    EXPECT_EQ(0.5L, Ext(RT_ROTATION_CENTER));
    EXPECT_EQ(0.25L, Ext(RT_ROTATION_CENTER + 16));
    EXPECT_EQ((long double)2.718281828, Ext(RT_E));    // the ten-digit constants
    EXPECT_EQ((long double)3.1415926535, Ext(RT_PI));
    EXPECT_EQ(640.0f, GetRuntimeFloat(Base(), RT_SCREENMAX));
    EXPECT_EQ(480.0f, GetRuntimeFloat(Base(), RT_SCREENMAX + 4));
    EXPECT_EQ(150, GetRuntimeInt(Base(), RT_MAXITER));
    EXPECT_EQ(-2.5L, Ext(RT_CORNER_LEFTTOP));
    EXPECT_EQ(1.5L, Ext(RT_CORNER_LEFTTOP + 16));
    EXPECT_EQ(1.5L, Ext(RT_CORNER_RIGHTBOTTOM));
    EXPECT_EQ(-1.5L, Ext(RT_CORNER_RIGHTBOTTOM + 16));
    EXPECT_EQ(1.0L, Ext(RT_MAGN));
    EXPECT_EQ(640, GetRuntimeInt(Base(), RT_WIDTH));
    EXPECT_EQ(480, GetRuntimeInt(Base(), RT_HEIGHT));
    EXPECT_EQ(0.0L, Ext(RT_INDEX));
    EXPECT_EQ(0, GetRuntimeInt(Base(), RT_NUMITER));
    for (int part : {0, 16}) {
        long double r = Ext(RT_RANDOM + part);
        EXPECT_TRUE(r >= 0 && r <= 1) << (double)r;
    }
    EXPECT_EQ(2147483648.0L, Ext(RT_RANDOMRANGE));
    for (int offset : {(int)RT_SCREENPIXEL, RT_SCREENPIXEL + 4, (int)RT_SOLID, (int)RT_WHITESQ, (int)RT_X, (int)RT_Y})
        EXPECT_EQ(0, GetRuntimeInt(Base(), offset)) << offset;
    for (int offset = RT_ONCE_FORMULA; offset <= RT_ONCE_LAST; offset += 4)
        EXPECT_EQ(-1, GetRuntimeInt(Base(), offset)) << offset;
    EXPECT_EQ(1.0f, GetRuntimeFloat(Base(), RT_UF_STRETCH));   // square pixels
    EXPECT_EQ(0.0f, GetRuntimeFloat(Base(), RT_UF_SKEW));

    // Small integers 0, 1, -1, ... -10 under the base.
    const int16_t* words = reinterpret_cast<const int16_t*>(Base());
    const int16_t expected[] = {0, 1, -1, 2, -2};
    for (int k = 1; k <= 5; k++)
        EXPECT_EQ(expected[k - 1], words[-k]) << k;
    EXPECT_EQ(-10, words[-21]);

    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel, "VirtualAlloc")),
              *reinterpret_cast<void**>(Base() + RT_VIRTUALALLOC));
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel, "VirtualFree")),
              *reinterpret_cast<void**>(Base() + RT_VIRTUALFREE));
    EXPECT_EQ(static_cast<void*>(task.dib.colors), *reinterpret_cast<void**>(Base() + RT_COLORTABLE));
    EXPECT_EQ(static_cast<const void*>(PerlinPermutationTable()), *reinterpret_cast<void**>(Base() + RT_PERLIN_P));
    EXPECT_EQ(static_cast<const void*>(PerlinGradientTable()), *reinterpret_cast<void**>(Base() + RT_PERLIN_G3));

    ColouringBlock outside, inside;
    memcpy(&outside, Base() + RT_OUTSIDE_SETTINGS, sizeof outside);
    memcpy(&inside, Base() + RT_INSIDE_SETTINGS, sizeof inside);
    EXPECT_EQ(2.5f, outside.speed);
    EXPECT_EQ(3, outside.mapping);
    EXPECT_EQ(1, outside.repeat);
    EXPECT_EQ(0x123456, outside.solidColor);
    EXPECT_EQ(200, outside.solidOpacity);
    EXPECT_EQ(0.25f, inside.offset);

    // What the calculation and the compiled code write is left alone.
    for (int offset : {(int)RT_Z, (int)RT_PIXEL, (int)RT_ALPHA, (int)RT_LASTSQR, (int)RT_PIXELCOLOR,
                       (int)RT_SHARED_VAR, (int)RT_SEED, (int)RT_PERIOD_START, (int)RT_ORBIT_BUFFER})
        EXPECT_EQ(kUntouched, Base()[offset]) << std::hex << offset;
}

bool AntiAliasing3x3Depth2(const Fractal*, int* threeByThree, int* depth)
{
    *threeByThree = 1;
    *depth = 2;
    return true;
}
bool AntiAliasingDepth3(const Fractal*, int* threeByThree, int* depth)
{
    *threeByThree = 0;
    *depth = 3;
    return true;
}

// width, height and screenmax follow the render job's anti-aliasing, or
// the image filter's step for a 24-bit image, whatever the render job asks.
TEST_F(Predefined, CalculationSizeScale)
{
    ImageFilter filter;
    struct Case {
        bool (*job)(const Fractal*, int*, int*);
        int filterStep;   // 0: no filter
        int factor;
    } cases[] = {
        {nullptr, 0, 1},
        {AntiAliasing3x3Depth2, 0, 9},
        {AntiAliasingDepth3, 0, 8},
        {AntiAliasing3x3Depth2, 3, 3},
    };
    for (const Case& c : cases) {
        g_RenderJobAntiAliasing = c.job;
        fractal.header->ImageFilter = c.filterStep ? &filter : nullptr;
        fractal.header->FilterStep = c.filterStep;
        Bind();
        EXPECT_EQ(640 * c.factor, GetRuntimeInt(Base(), RT_WIDTH)) << c.factor;
        EXPECT_EQ(480 * c.factor, GetRuntimeInt(Base(), RT_HEIGHT)) << c.factor;
        EXPECT_EQ(640.0f * c.factor, GetRuntimeFloat(Base(), RT_SCREENMAX)) << c.factor;
        EXPECT_EQ(480.0f * c.factor, GetRuntimeFloat(Base(), RT_SCREENMAX + 4)) << c.factor;
    }
    EXPECT_EQ(9.0, AntiAliasingScale(1, 2));
    EXPECT_EQ(1.0, AntiAliasingScale(0, 0));
}

// magn follows the vertical extent of images wider than 4:3, else the
// horizontal one; UF_stretch is the pixel's height over its width.
TEST_F(Predefined, MagnificationAndStretch)
{
    block->SetCorners(-2.0, 1.0, 2.0, -0.5);   // 4 wide, 1.5 high
    struct Case {
        int width, height;
        long double magn;
        float stretch;
    } cases[] = {
        {800, 400, 2.0L, 0.75f},   // r = 0.5: 3 / 1.5
        {400, 400, 1.0L, 0.375f},  // r = 1: 4 / 4
        {400, 300, 1.0L, 0.5f},    // r = 0.75 exactly: horizontal
    };
    for (const Case& c : cases) {
        fractal.header->Width = c.width;
        fractal.header->Height = c.height;
        Bind();
        EXPECT_EQ(c.magn, Ext(RT_MAGN)) << c.width << "x" << c.height;
        EXPECT_FLOAT_EQ(c.stretch, GetRuntimeFloat(Base(), RT_UF_STRETCH)) << c.width << "x" << c.height;
    }
}

// The compiler's symbols get the values as written before the widening.
TEST_F(Predefined, SymbolsGetTheBlockValues)
{
    block->Angle = 30;
    block->MaxIter = 77;
    NodeList symbols;
    const char* names[] = {"center", "angle", "scrnmax", "maxit", "corner_rightbottom", "magn", "height",
                           "randomrange"};
    for (const char* name : names) {
        FormulaSymbol* s = new FormulaSymbol();
        s->SetName(name);
        symbols.Append(s);
    }
    Bind(&symbols);
    auto value = [&](const char* name, int k) {
        return static_cast<FormulaSymbol*>(symbols.Find(name))->value[k];
    };
    EXPECT_EQ(-0.5, value("center", 0));
    EXPECT_EQ(0.0, value("center", 1));
    EXPECT_EQ((double)GetRuntimeFloat(Base(), RT_ANGLE), value("angle", 0));
    EXPECT_EQ(640.0, value("scrnmax", 0));
    EXPECT_EQ(480.0, value("scrnmax", 1));
    EXPECT_EQ(77.0, value("maxit", 0));
    EXPECT_EQ(1.5, value("corner_rightbottom", 0));
    EXPECT_EQ(-1.5, value("corner_rightbottom", 1));
    EXPECT_EQ(1.0, value("magn", 0));
    EXPECT_EQ(480.0, value("height", 0));
    EXPECT_EQ(2147483648.0, value("randomrange", 0));
    EXPECT_EQ(ExtendedToDouble(Base() + RT_CENTER), value("center", 0));
    DeleteAllNodes(&symbols);
}

// Installed, the binder fills the data block of a compile for an
// escape-time fractal, so the compiled code reads this fractal's magn.
TEST_F(Predefined, CompilerBinder)
{
    DataBlockBinder saved = g_BindPredefinedVariables;
    InstallPredefinedVariableBinder();
    block->SetCorners(-1.0, 0.75, 1.0, -0.75);   // magn 2
    FormulaCompiler compiler;
    compiler.setKind(FK_ITERATION);
    const char* text =
        "M {\n  void init(void) {\n    z = magn;\n  }\n  void loop(void) {\n    z = z * z + pixel;\n  }\n"
        "  bool bailout(void) {\n    return(|z| < 4);\n  }\n}\n";
    ASSERT_TRUE(compiler.compile(text, 0, -128, nullptr, nullptr, &fractal, "M", SK_PLANE, nullptr, false, false));
    EXPECT_EQ(2.0L, GetRuntimeExtended(compiler.dataBlock->GetBase(), RT_MAGN));
    EXPECT_EQ(640, GetRuntimeInt(compiler.dataBlock->GetBase(), RT_WIDTH));
    compiler.freeResults();
    g_BindPredefinedVariables = saved;
}

}  // namespace
