// The sections of attractor entries: the rendering items of a new fractal,
// maps with their pixel transformations in writing order and read back,
// values that the short formats would cut (an iteration count of 0.05
// among them), the name tables and the boolean words.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "files/entry/AttractorSections.h"
#include "fractals/AttractorFormula.h"
#include "tests/document/DocumentTestSupport.h"
#include "tests/files/SectionItems.h"
#include "tests/files/WrittenText.h"

namespace {

class AttractorSections : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareDocumentModel();
        LoadDocumentFormulas();
    }
};

AttractorParameters* Block(Fractal& f)
{
    return static_cast<AttractorParameters*>(f.typeParameters);
}

void DropMaps(Fractal& f)
{
    Block(f)->currentFormula = nullptr;
    Block(f)->formulas.DeleteAllNodes();
}

std::string Written(Fractal& f, int mask)
{
    WrittenText out;
    WriteAttractorSections(out.writer, &f, mask);
    return out.Text();
}

int Read(Fractal& f, int section, const char* key, const char* value, AttractorFormula* map = nullptr,
         AttractorTransformation* t = nullptr)
{
    char buffer[256];
    snprintf(buffer, sizeof buffer, "%s", value);
    return ReadAttractorKeys(&f, map, t, section, key, buffer);
}

// Reads written text into f the way the entry reader frame does: a new map
// at each iteration: header, a new transformation of the current map at
// each pixeltransformation: header.
void ReadBack(Fractal& f, const std::string& text)
{
    AttractorFormula* map = nullptr;
    AttractorTransformation* transformation = nullptr;
    ReadSectionItems(
        text,
        {{"formula:", 2}, {"inside:", 3}, {"lighting:", 8}, {"dimensional:", 9}, {"iteration:", 10},
         {"pixeltransformation:", 11}},
        [&](int section, const char* key, char* value) {
            ReadAttractorKeys(&f, map, transformation, section, key, value);
        },
        [&](int section) {
            if (section == 10) {
                map = new AttractorFormula();
                Block(f)->formulas.Append(map);
                transformation = nullptr;
            } else if (section == 11 && map) {
                transformation = new AttractorTransformation(map);
                transformation->owner = &f;
                map->transformations.Append(transformation);
            }
        });
}

std::vector<std::string> Headers(const std::string& text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == ':')
            out.push_back(line);
        start = end + 1;
    }
    return out;
}

TEST_F(AttractorSections, RenderingItemsOfANewFractal)
{
    Fractal f(FT_ATTRACTOR, 0);
    DropMaps(f);
    EXPECT_EQ(Written(f, 0x80 | 0x400),
              "\nformula:\n  maxiter=50 randomness=100.00 previewpixels=20000 followobject=no\n"
              "  gamma=1.00 contrast=1.00 weightthreshold=0.00 weightradius=0\n"
              "  roughness=0.05000000 rendermode=Solid opacity=20.00 brightness=1.00\n"
              "  whitelevel=255.00 filterradius=0.00 oversample=1");
}

TEST_F(AttractorSections, ValuesKeepTheirDigits)
{
    Fractal f(FT_ATTRACTOR, 0);
    DropMaps(f);
    AttractorParameters* a = Block(f);
    a->Maxiter = 0.05;  // "%.0lf" alone: 0
    a->Gamma = 1.234;   // "%.2lf" alone: 1.23
    a->Roughness = 0.0123456789;
    a->lights.ambient[6] = 0.123;  // "%.2lg" alone: 0.12
    AttractorFormula* map = new AttractorFormula();
    map->weight = 0.125;
    map->colour = 0.5;
    a->formulas.Append(map);
    std::string text = Written(f, -1);
    for (const char* item : {" maxiter=0.05 ", " gamma=1.234 ", " roughness=0.0123456789", " weight=0.125 ",
                             " color=0.50 ", " light6Ambient=0.123"})
        EXPECT_NE(text.find(item), std::string::npos) << item << "\n" << text;

    Fractal g(FT_ATTRACTOR, 0);
    DropMaps(g);
    ReadBack(g, text);
    AttractorParameters* r = Block(g);
    EXPECT_EQ(r->Maxiter, 0.05);
    EXPECT_EQ(r->Gamma, 1.234);
    EXPECT_EQ(r->Roughness, 0.0123456789);
    EXPECT_EQ(r->lights.ambient[6], 0.123);
    ASSERT_EQ(r->formulas.Count(), 1);
    EXPECT_EQ(static_cast<AttractorFormula*>(r->formulas.GetHead())->weight, 0.125);
    EXPECT_EQ(static_cast<AttractorFormula*>(r->formulas.GetHead())->colour, 0.5);
    EXPECT_EQ(Written(g, -1), text);
}

TEST_F(AttractorSections, MapsAndTransformationsWrittenInOrderAndRebuilt)
{
    Fractal f(FT_ATTRACTOR, 0);
    DropMaps(f);
    AttractorParameters* a = Block(f);
    a->RenderMode = 1;
    a->Oversample = 2;
    a->followObject = 1;
    a->SolidColor[0] = 1;
    a->BackgroundColor[2] = 2;
    a->Transfer = 3;
    a->Obs_x = 2.5;
    a->FieldOfView = 45;
    a->lights.enabled[4] = 1;
    a->lights.specular[4][1] = 7;
    AttractorFormula* first = new AttractorFormula();
    first->weight = 2;
    AttractorFormula* second = new AttractorFormula();
    second->flags = 1;
    AttractorTransformation* t = new AttractorTransformation(second);
    t->owner = &f;
    strcpy(t->fileName, "Spiralix.sfm");
    strcpy(t->entryName, "Mandelbrot");
    t->final = 1;
    t->hidden = 1;
    second->transformations.Append(t);
    a->formulas.Append(first);
    a->formulas.Append(second);

    std::string text = Written(f, -1);
    EXPECT_EQ(Headers(text), (std::vector<std::string>{"formula:", "iteration:", "iteration:", "pixeltransformation:",
                                                        "inside:", "dimensional:"}));
    EXPECT_NE(text.find("\npixeltransformation:\n  filename=\"Spiralix.sfm\" entry=\"Mandelbrot\" "
                        "postTransform=\"true\"\n  hide=\"yes\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\niteration:\n  weight=1.00 color=0.00 hide=yes\n"), std::string::npos) << text;

    Fractal g(FT_ATTRACTOR, 0);
    DropMaps(g);
    ReadBack(g, text);
    AttractorParameters* r = Block(g);
    ASSERT_EQ(r->formulas.Count(), 2);
    AttractorFormula* one = static_cast<AttractorFormula*>(r->formulas.GetHead());
    AttractorFormula* two = static_cast<AttractorFormula*>(one->next);
    EXPECT_EQ(one->weight, 2);
    EXPECT_EQ(one->flags, 0);
    EXPECT_EQ(one->transformations.Count(), 0);
    EXPECT_EQ(two->flags, 1);
    ASSERT_EQ(two->transformations.Count(), 1);
    AttractorTransformation* u = static_cast<AttractorTransformation*>(two->transformations.GetHead());
    EXPECT_STREQ(u->fileName, "Spiralix.sfm");
    EXPECT_STREQ(u->entryName, "Mandelbrot");
    EXPECT_NE(u->holder, nullptr);
    EXPECT_EQ(u->final, 1);
    EXPECT_EQ(u->hidden, 1);
    // Every plain value from the randomness to the opacity comes back.
    const size_t from = (const char*)&a->Density - (const char*)a;
    const size_t to = (const char*)(&a->opacity + 1) - (const char*)a;
    EXPECT_EQ(memcmp((const char*)a + from, (const char*)r + from, to - from), 0);
    EXPECT_EQ(r->Randomness, a->Randomness);
    EXPECT_EQ(Written(g, -1), text);
}

TEST_F(AttractorSections, KeysReadAsTheirRulesSay)
{
    Fractal f(FT_ATTRACTOR, 0);
    AttractorParameters* a = Block(f);
    EXPECT_EQ(Read(f, 2, "rendermode", "flame"), 1);
    EXPECT_EQ(a->RenderMode, 1);
    Read(f, 2, "oversample", "6");
    EXPECT_EQ(a->Oversample, 0);
    Read(f, 2, "oversample", "5");
    EXPECT_EQ(a->Oversample, 4);
    Read(f, 2, "followobject", "YES");
    EXPECT_EQ(a->followObject, 1);
    Read(f, 2, "Gamma", "3");  // keys keep their case
    EXPECT_EQ(a->Gamma, 1);
    Read(f, 3, "transfer", "SQRT");
    EXPECT_EQ(a->Transfer, 3);
    Read(f, 3, "solid", "65536");
    EXPECT_EQ(a->SolidColor[0], 1);
    // A light item after a lighting: line counts as one of dimensional:.
    Read(f, 8, "light2Pos", "4/5");
    EXPECT_EQ(a->lights.position[2][0], 4);
    EXPECT_EQ(a->lights.position[2][1], 5);
    EXPECT_EQ(a->lights.position[2][2], 0);
    Read(f, 9, "light1specularcolor", "1/2/999");
    EXPECT_EQ(a->lights.specular[1][2], 255);
    Read(f, 9, "fieldofview", "12");
    EXPECT_EQ(a->FieldOfView, 12);
    // Map and transformation items without a map are ignored.
    EXPECT_EQ(Read(f, 10, "weight", "3"), 1);
    EXPECT_EQ(Read(f, 11, "hide", "yes"), 1);
    AttractorFormula map;
    Read(f, 10, "hide", "y", &map);
    EXPECT_EQ(map.flags, 1);
    Read(f, 10, "color", "2.75", &map);
    EXPECT_EQ(map.colour, 2.75);

    Fractal quaternion(FT_QUATERNION, 0);
    EXPECT_EQ(Read(quaternion, 2, "rendermode", "flame"), 0);
}

TEST_F(AttractorSections, BooleanWordsAndNameTables)
{
    for (const char* yes : {"y", "Yes", "1", "TRUE", "true"})
        EXPECT_TRUE(ParseBool(yes)) << yes;
    for (const char* no : {"on", "2", "", "no", "yess"})
        EXPECT_FALSE(ParseBool(no)) << no;
    EXPECT_EQ(FindInNameTable("COS", nullptr), 4);
    EXPECT_EQ(FindInNameTable("neg", nullptr), 32);
    EXPECT_EQ(FindInNameTable("mergeblue", "merge"), 18);
    EXPECT_EQ(FindInNameTable("cosine", nullptr), 0);
    EXPECT_EQ(FindInNameTable("cos", "merge"), 0);
}

}  // namespace
