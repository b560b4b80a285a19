// The sections of quaternion entries: a new fractal writes only its
// formulas and section headers, changed values are written (light factors
// and colour values with all their digits), and a written entry read into
// a new fractal gives the same block; older keys and odd values read as
// their rules say.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <string>

#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "files/entry/QuaternionSections.h"
#include "tests/document/DocumentTestSupport.h"
#include "tests/files/SectionItems.h"
#include "tests/files/WrittenText.h"

namespace {

class QuaternionSections : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareDocumentModel();
        LoadDocumentFormulas();
    }
};

QuaternionParameters* Block(Fractal& f)
{
    return static_cast<QuaternionParameters*>(f.typeParameters);
}

std::string Written(Fractal& f, int mask)
{
    Fractal standard(FT_QUATERNION, 0);
    WrittenText out;
    WriteQuaternionSections(out.writer, &f, &standard, mask);
    return out.Text();
}

int Read(Fractal& f, int section, const char* key, const char* value)
{
    char buffer[256];
    snprintf(buffer, sizeof buffer, "%s", value);
    return ReadQuaternionKeys(&f, section, key, buffer);
}

void ReadBack(Fractal& f, const std::string& text)
{
    ReadSectionItems(text, {{"formula:", 2}, {"inside:", 3}, {"dimensional:", 7}, {"lighting:", 8}},
                     [&](int section, const char* key, char* value) { ReadQuaternionKeys(&f, section, key, value); });
}

TEST_F(QuaternionSections, NewFractalWritesItsFormulasAndHeadersOnly)
{
    Fractal f(FT_QUATERNION, 0);
    std::string text = Written(f, -1);
    EXPECT_EQ(text.rfind("\nformula:\n  filename=\"Spiralix.sfm\" entry=\"Hybrid\" p_Bailout=", 0), 0u) << text;
    size_t inside = text.find("\ninside:");
    ASSERT_NE(inside, std::string::npos);
    EXPECT_EQ(text.substr(inside),
              "\ninside:\n  filename=\"Quaternions.scl\" entry=\"SX_None\"\ndimensional:\n\nlighting:\n");
    std::string formula = text.substr(0, inside);
    EXPECT_EQ(formula.substr(formula.size() - 10), "maxiter=15");
    EXPECT_EQ(Written(f, 0x40 | 0x400), "");
}

TEST_F(QuaternionSections, ChangedCameraAndLightsAreWrittenWithAllTheirDigits)
{
    Fractal f(FT_QUATERNION, 0);
    QuaternionParameters* q = Block(f);
    q->Obs_z = -4;
    q->relativeToViewpoint = 1;
    q->Viewangle = 45;
    q->LightModel = 2;
    q->lights.intensity[0] = 0.123;  // "%.2lg" alone: 0.12
    q->saturation[0] = 0.12345;      // "%.4lg" alone: 0.1235
    q->lights.colour[1][1] = q->lights.colour[1][2] = 0;
    q->lights.enabled[2] = 1;
    q->lights.position[3][0] = 1;
    q->lights.position[3][1] = 2;
    q->lights.position[3][2] = 3;
    q->luminance2[7] = 0.5;
    EXPECT_EQ(Written(f, 0x800),
              "\ndimensional:\n  observer=0/0/-4 relativeToViewpoint=yes viewangle=45\n"
              "lighting:\n  lightModel=2 light0Intensity=0.123 light0IntensSat=0.12345\n"
              "  light1Color=255/0/0 light2Enabled=yes light3Pos=1/2/3\n  light7SpecularLum=0.5");
}

TEST_F(QuaternionSections, RenderingAndInsideItemsOnlyWhenChanged)
{
    Fractal f(FT_QUATERNION, 0);
    QuaternionParameters* q = Block(f);
    q->precision = 12;
    q->Normal_j = 0.5;
    q->BackgroundColor[0] = 1;
    q->BackgroundColor[2] = 3;
    q->Transfer = 0;
    EXPECT_EQ(Written(f, 0x400), "  precision=12 normal=0/0/0.5/1");
    std::string inside = Written(f, 0x100);
    EXPECT_EQ(inside.substr(inside.find("\"SX_None\"")), "\"SX_None\" transfer=None\n  background=65539");
}

TEST_F(QuaternionSections, WrittenEntryReadsBackIntoTheSameBlock)
{
    Fractal f(FT_QUATERNION, 0);
    QuaternionParameters* q = Block(f);
    q->MaxIter = 33;
    q->precision = 9;
    q->HighresMult = 2.5;
    q->Backtrace = 4.25;
    q->Maxjump = 0.001;
    q->BackgroundDetect = 3;
    q->Normal_r = 0.1;
    q->Base_k = -0.75;
    q->Density = 1.5;
    q->Accel = 0.3;
    q->Smooth = 2;
    q->Offset = 17;
    q->Transfer = 9;
    q->WrapAround = 0;
    q->SolidColor[0] = 200;
    q->BackgroundColor[1] = 100;
    q->Obs_x = 1.25;
    q->top_z = 1;
    q->Viewpoint_y = -0.5;
    q->backClippingPlane = 2;
    q->frontClippingPlane = 0.5;
    q->relativeToViewpoint = 1;
    q->aspectRatio = 0.8;
    q->Viewangle = 60;
    q->LightModel = 0;
    const double intensities[8] = {0, 0.111, 0.222, 0.333, 0.444, 0.555, 0.666, 0.777};
    for (int i = 0; i < 8; ++i) {
        q->lights.enabled[i] = (uint8_t)(i % 2);
        q->lights.shadow[i] = 1;
        q->lights.relative[i] = (uint8_t)(i == 5);
        q->lights.position[i][i % 3] = 12.5 * i;
        q->lights.colour[i][0] = (uint8_t)(30 * i);
        q->lights.specular[i][2] = (uint8_t)(i);
        q->lights.intensity[i] = intensities[i];
        q->lights.ambient[i] = 0.3;
        q->lights.diffuse[i] = 0.65;
        q->lights.shiny[i] = 0.375;
        q->lights.specularStrength[i] = 0.9;
        q->lights.reflection[i] = 0.0625;
        q->saturation[i] = 0.12345;
        q->luminance[i] = 0.9;
        q->saturation2[i] = 0.5 + i;
        q->luminance2[i] = 0.123456;
    }
    std::string text = Written(f, -1);

    Fractal g(FT_QUATERNION, 0);
    ReadBack(g, text);
    QuaternionParameters* r = Block(g);
    EXPECT_EQ(r->MaxIter, 33);
    EXPECT_EQ(r->saturation2[7], 7.5);
    EXPECT_EQ(r->lights.intensity[3], 0.333);
    // Every value from the colouring settings to the fog: all equal.
    const size_t first = (const char*)&q->Density - (const char*)q;
    const size_t end = (const char*)q->savedCamera - (const char*)q;
    EXPECT_EQ(memcmp((const char*)q + first, (const char*)r + first, end - first), 0);
    EXPECT_STREQ(r->iteration.entryName, "Hybrid");
    EXPECT_EQ(Written(g, -1), text);
}

TEST_F(QuaternionSections, KeysReadAsTheirRulesSay)
{
    Fractal f(FT_QUATERNION, 0);
    QuaternionParameters* q = Block(f);
    EXPECT_EQ(Read(f, 2, "normal", "1/2"), 1);
    EXPECT_EQ(q->Normal_r, 1);
    EXPECT_EQ(q->Normal_i, 2);
    EXPECT_EQ(q->Normal_j, 0);
    EXPECT_EQ(q->Normal_k, 0);
    Read(f, 2, "basepoint", "none");  // no number: unchanged
    EXPECT_EQ(q->Base_r, 0);
    Read(f, 2, "passmult", "4");
    EXPECT_EQ(q->precision, 8);
    Read(f, 2, "passmult", "1000000");
    EXPECT_EQ(q->precision, 20);
    Read(f, 2, "Maxiter", "99");  // keys keep their case
    EXPECT_EQ(q->MaxIter, 15);
    Read(f, 2, "maxiter", "12abc");
    EXPECT_EQ(q->MaxIter, 12);

    Read(f, 3, "transfer", "cuberoot");
    EXPECT_EQ(q->Transfer, 5);
    Read(f, 3, "transfer", "Tangent");
    EXPECT_EQ(q->Transfer, 5);
    Read(f, 3, "solid", "16711935");
    EXPECT_EQ(q->SolidColor[0], 255);
    EXPECT_EQ(q->SolidColor[1], 0);
    EXPECT_EQ(q->SolidColor[2], 255);

    Read(f, 7, "relativeToViewpoint", "1");
    EXPECT_EQ(q->relativeToViewpoint, 1);
    Read(f, 7, "cdistance", "7.5");
    EXPECT_EQ(q->backClippingPlane, 7.5);
    Read(f, 7, "observer", "1");
    EXPECT_EQ(q->Obs_x, 1);
    EXPECT_EQ(q->Obs_z, 0);

    Read(f, 8, "light3Pos", "5/6/7");
    EXPECT_EQ(q->lights.position[3][2], 7);
    Read(f, 8, "light8Pos", "5/6/7");
    Read(f, 8, "light0enabled", "yes");
    EXPECT_EQ(q->lights.enabled[0], 1);
    Read(f, 8, "light2Color", "256/300/-1");  // clamped, not wrapped
    EXPECT_EQ(q->lights.colour[2][0], 255);
    EXPECT_EQ(q->lights.colour[2][1], 255);
    EXPECT_EQ(q->lights.colour[2][2], 0);
    Read(f, 8, "light4SPECULARSAT", "0.25");
    EXPECT_EQ(q->saturation2[4], 0.25);
    Read(f, 8, "Light4Shiny", "0.25");  // "light" itself keeps its case
    EXPECT_EQ(q->lights.shiny[4], 0.2);
    Read(f, 8, "LIGHTMODEL", "3");
    EXPECT_EQ(q->LightModel, 3);
    Read(f, 8, "reflection", "3");
    EXPECT_EQ(q->lights.shiny[0], 0.5);
    Read(f, 8, "hlightangle", "30");
    Read(f, 8, "vlightangle", "-15");
    EXPECT_EQ(q->lightAngleH, 30);
    EXPECT_EQ(q->lightAngleV, -15);
    // Items of other sections and other fractals change nothing.
    Read(f, 9, "light5Pos", "1/1/1");
    EXPECT_EQ(q->lights.position[5][0], -1000);

    Fractal attractor(FT_ATTRACTOR, 0);
    EXPECT_EQ(Read(attractor, 8, "lightModel", "2"), 0);
    EXPECT_EQ(ReadQuaternionKeys(nullptr, 8, "lightModel", (char*)"2"), 0);
}

}  // namespace
