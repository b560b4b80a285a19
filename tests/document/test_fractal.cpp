// The fractal object: what a new fractal of each type looks like, the
// comment template, copies, type changes, renaming, the live registry and
// the small accessors. No formula folder is loaded: escape-time, quaternion
// and attractor fractals get the built-in default formulas.
#include <gtest/gtest.h>
#include <string.h>
#include <string>

#include "DocumentTestSupport.h"
#include "calc/FractalTask.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Layer.h"
#include "foundation/Buffers.h"
#include "view3d/Parameters3D.h"

namespace {

class FractalTest : public ::testing::Test {
protected:
    void SetUp() override { PrepareDocumentModel(); }
};

std::string Text(const GrowBuffer* b)
{
    return b && b->GetData() ? (const char*)b->GetData() : "";
}

void SetTemplate(Fractal& f, const char* text)
{
    f.commentTemplate->Reserve((int)strlen(text) + 1);
    strcpy((char*)f.commentTemplate->GetData(), text);
}

// Header defaults and names of a new fractal per type: catches a type
// missing from the reset table or a wrong image depth.
TEST_F(FractalTest, NewFractalOfEachTypeHasItsDefaults)
{
    const struct {
        int type;
        const char* name;
        int dims, depth;
    } cases[] = {
        {FT_PLASMA, "Plasma", 0, 8},
        {FT_DYNAMICSYSTEM, "DynamicSystem", 0, 8},
        {FT_LSYSTEM, "LSystem", 0, 8},
        {FT_IFS, "IFS", 0, 8},
        {FT_ESCAPETIME, "Escapetime", 0, 24},
        {FT_LAYERED, "Layered Fractal", 0, 24},
        {FT_QUATERNION, "Quaternion", 1, 24},
        {FT_ATTRACTOR, "Attractor", 0, 24},
        {FT_IMAGE, "", 0, 8},   // the image type keeps the (empty) name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fractal f(c.type, 0);
        EXPECT_STREQ(f.name, c.name);
        EXPECT_EQ(f.header->Type, c.type);
        EXPECT_EQ(f.header->Dims, c.dims);
        EXPECT_EQ(f.header->DisplayDepth, c.depth);
        EXPECT_EQ(f.header->Width, 640);
        EXPECT_EQ(f.header->Height, 480);
        EXPECT_EQ(f.header->WinWidth, 640);
        EXPECT_EQ(f.header->ColCycUp, 1);
        EXPECT_EQ(f.header->ColCycSpeed, 4.0);
        EXPECT_EQ(f.header->ColCycStep, 1.0);
        EXPECT_STREQ(f.header->BaseName, "Unnamed");
        EXPECT_EQ(f.key, 10.0);
        EXPECT_EQ(f.credits.Count(), 1);
        EXPECT_EQ(FractalModified(&f), 1);
        EXPECT_EQ(f.header->CalcStart, -1);
        EXPECT_NE(f.params3D, nullptr);
        EXPECT_EQ(f.typeParameters != nullptr, true);
    }
}

TEST_F(FractalTest, NewQuaternionCommentSaysUnknownForEverySaveTimeWord)
{
    Fractal f(FT_QUATERNION, 0);
    std::string comment = Text(f.commentText);
    EXPECT_EQ(comment.find("Saved on Unknown, Unknown Unknown at Unknown:Unknown:Unknown\n"), 0u) << comment;
    EXPECT_NE(comment.find("Date: Unknown\nTime: Unknown\n"), std::string::npos);
    EXPECT_NE(comment.find("Resolution: 640 x 480\n"), std::string::npos);
    EXPECT_NE(comment.find("Calculation time: Unknown\n"), std::string::npos);
    EXPECT_NE(comment.find("Version: 4.0\n"), std::string::npos);
}

// The words in both brackets, any case; unknown words stay as they are.
TEST_F(FractalTest, CommentTemplateExpandsWords)
{
    Fractal f(FT_PLASMA, 0);
    f.header->SaveTime.wYear = 2010;
    f.header->SaveTime.wMonth = 3;
    f.header->SaveTime.wDay = 14;
    f.header->SaveTime.wHour = 9;
    f.header->SaveTime.wMinute = 5;
    f.header->SaveTime.wSecond = 7;
    f.header->CalcTime = 3723456;   // 1 h 2 min 3.456 s
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"[XDOTS]x[ydots]", "640x480"},
        {"$modified_by$", "Nobody"},
        {"$nosuchword$ and [$year]", "$nosuchword$ and [$year]"},
        {"$DATE$ $time$", "Mar 14, 2010 09:05:07"},
        {"$year$-$month$-$day$ $hour$:$min$:$sec$", "2010-Mar-14 09:05:07"},
        {"$calctime$", "01:02:03.456"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SetTemplate(f, c.text);
        f.ExpandCommentTemplate();
        EXPECT_EQ(Text(f.commentText), c.expected) << c.text;
    }
    // A long author is substituted whole.
    std::string author(300, 'a');
    delete f.header->Author;
    f.header->Author = new GrowBuffer((int)author.size() + 1);
    strcpy((char*)f.header->Author->GetData(), author.c_str());
    SetTemplate(f, "by $author$.");
    f.ExpandCommentTemplate();
    EXPECT_EQ(Text(f.commentText), "by " + author + ".");
}

TEST_F(FractalTest, BufferGeometry)
{
    Fractal f(FT_PLASMA, 0);
    EXPECT_EQ(f.GetImageStride(), 644);
    EXPECT_EQ(f.GetBufferWidth(), 641);
    f.header->Width = 3;
    EXPECT_EQ(f.GetImageStride(), 4);
    f.header->Width = 4;
    EXPECT_EQ(f.GetImageStride(), 8);
}

// A copy takes nothing of the source's place in the program and keeps
// everything of its content.
TEST_F(FractalTest, CopyIsIndependentOfItsSource)
{
    FractalFolder folder;
    Fractal* source = new Fractal(FT_PLASMA, 0);
    source->Rename("Original", false);
    source->folder = &folder;
    Fractal linked(FT_IMAGE, 0);
    source->linkedFractal = &linked;
    source->commentTemplate->Reserve(500);
    source->palette.offset = 17.5;
    source->header->Width = 320;
    FractalTask task;
    source->task = &task;
    Fractal* copy = new Fractal(*source);
    source->task = nullptr;

    EXPECT_STREQ(copy->name, "Original");
    EXPECT_EQ(copy->task, nullptr);
    EXPECT_EQ(copy->folder, nullptr);
    EXPECT_EQ(copy->linkedFractal, nullptr);
    EXPECT_EQ(copy->undoSteps.Count(), 0);
    EXPECT_EQ(copy->header->Width, 320);
    EXPECT_EQ(copy->palette.offset, 17.5);
    EXPECT_EQ(copy->commentTemplate->GetCapacity(), source->commentTemplate->GetCapacity());
    EXPECT_EQ(copy->commentText->GetCapacity(), source->commentText->GetCapacity());
    EXPECT_EQ(Text(copy->commentText), Text(source->commentText));
    EXPECT_EQ(copy->credits.Count(), 1);
    EXPECT_NE(copy->header->Author, source->header->Author);

    delete source;
    // The copy's credits and author survive the source.
    const CreditEntry* credit = static_cast<const CreditEntry*>(copy->credits.GetHead());
    ASSERT_NE(credit, nullptr);
    EXPECT_STREQ(credit->author, g_AuthorName);
    delete copy;
}

TEST_F(FractalTest, CopyOfImageFractalHasNoBlock)
{
    Fractal image(FT_IMAGE, 0);
    ASSERT_NE(image.typeParameters, nullptr);
    Fractal copy(image);
    EXPECT_EQ(copy.typeParameters, nullptr);
}

TEST_F(FractalTest, ChangeTypeKeepsNameAndReplacesBlock)
{
    Fractal f(FT_QUATERNION, 0);
    f.Rename("Mine", false);
    f.ChangeType(FT_IMAGE, 0);
    EXPECT_STREQ(f.name, "Mine");
    EXPECT_EQ(f.header->Type, FT_IMAGE);
    f.header->DisplayDepth = 8;
    f.ChangeType(FT_ESCAPETIME, 0);
    EXPECT_EQ(f.header->DisplayDepth, 24);
    // Through every type once: each block is released as what it is.
    Fractal g(FT_PLASMA, 0);
    for (int to : {FT_ESCAPETIME, FT_LAYERED, FT_QUATERNION, FT_ATTRACTOR, FT_IFS, FT_IMAGE, FT_PLASMA}) {
        g.ChangeType(to, 0);
        EXPECT_EQ(g.header->Type, to);
        EXPECT_NE(g.typeParameters, nullptr);
    }
}

TEST_F(FractalTest, RenameWithAndWithoutFolder)
{
    Fractal lone(FT_PLASMA, 0);
    lone.Rename("Lonely", true);   // no folder: nothing to be unique in
    EXPECT_STREQ(lone.name, "Lonely");

    FractalFolder folder;
    Fractal* a = new Fractal(FT_PLASMA, 0);
    Fractal* b = new Fractal(FT_PLASMA, 0);
    folder.fractals.Append(a);
    folder.fractals.Append(b);
    a->folder = b->folder = &folder;
    FractalModified(b) = 0;
    b->Rename(std::string(80, 'x').c_str(), false);
    EXPECT_EQ(strlen(b->name), 63u);
    EXPECT_EQ(FractalModified(b), 1);
    EXPECT_EQ(folder.int2, 1);
    b->Rename("Plasma", true);
    EXPECT_STRNE(b->name, "Plasma");
    folder.fractals.Remove(a);
    folder.fractals.Remove(b);
    delete a;
    delete b;
}

TEST_F(FractalTest, LiveRegistryForgetsDeletedFractals)
{
    Fractal* f = new Fractal(FT_PLASMA, 0);
    EXPECT_TRUE(IsLiveFractal(f));
    Fractal* copy = new Fractal(*f);
    delete f;
    EXPECT_FALSE(IsLiveFractal(f));
    EXPECT_TRUE(IsLiveFractal(copy));
    EXPECT_FALSE(IsLiveFractal(nullptr));
    int notAFractal = 0;
    EXPECT_FALSE(IsLiveFractal(&notAFractal));
    delete copy;
}

// The layered result is the last non-zero result of the layers in order.
TEST_F(FractalTest, CalculationResultOfLayers)
{
    const struct {
        int results[3];
        int expected;
    } cases[] = {{{0, 2, 0}, 2}, {{1, 3, 0}, 3}, {{0, 0, 0}, 0}, {{4, 0, 0}, 4}};
    for (const auto& c : cases) {
        Fractal layered(FT_LAYERED, 0);
        LayeredParameters* block = static_cast<LayeredParameters*>(layered.typeParameters);
        for (int r : c.results) {
            Layer* layer = new Layer();
            layer->fractal = new Fractal(FT_PLASMA, 0);
            layer->fractal->lastResult = r;
            block->layers.Append(layer);
        }
        EXPECT_EQ(layered.GetCalculationResult(), c.expected);
    }
}

TEST_F(FractalTest, ImageLockIsExclusive)
{
    Fractal f(FT_PLASMA, 0);
    f.Lock();
    EXPECT_EQ(f.imageLockCount, 1);
    EXPECT_NE(InterlockedCompareExchange(&f.imageLockCount, 1, 0), 0);
    f.Unlock();
    EXPECT_EQ(f.imageLockCount, 0);
}

}  // namespace
