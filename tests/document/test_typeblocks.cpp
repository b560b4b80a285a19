// The parameter blocks: defaults per type, the factory, copies that share
// arbitrary-precision numbers until written, formula-driven blocks that
// find, compile and apply their formulas (with the test formula folder
// loaded), copies that compile their own formulas and survive their
// source, and layered copies.
#include <gtest/gtest.h>
#include <string.h>

#include "DocumentTestSupport.h"
#include "compiler/FormulaCompiler.h"
#include "document/EscapetimeParameters.h"
#include "document/FormulaDefaults.h"
#include "document/Fractal.h"
#include "document/Layer.h"
#include "document/PlainBlocks.h"
#include "document/QuaternionParameters.h"
#include "fractals/AttractorFormula.h"

namespace {

class TypeBlocksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareDocumentModel();
        LoadDocumentFormulas();
    }
};

bool Is(const BigNumber& b, const char* text)
{
    return b == BigNumber(text);
}

const FormulaSymbol* Stored(const NodeList& list, const char* name)
{
    return static_cast<const FormulaSymbol*>(list.Find(name));
}

TEST_F(TypeBlocksTest, FactoryMakesNoBlockForOldTypes)
{
    Fractal f(FT_PLASMA, 0);
    for (int type : {7, 11, 12, 13, 20, -1})
        EXPECT_EQ(f.CreateTypeParameters(type, 0), nullptr) << type;
}

TEST_F(TypeBlocksTest, PlainBlockDefaults)
{
    const struct {
        int type;
        const char *left, *top, *right, *bottom;
    } cases[] = {
        {FT_PLASMA, "-0.8", "0.6", "0.8", "-0.6"}, {FT_DYNAMICSYSTEM, "-25", "54", "25", "3"},
        {FT_LSYSTEM, "-5", "5", "5", "-5"},        {FT_IFS, "-5", "11", "5", "-1"},
        {FT_LAYERED, "0", "0", "0", "0"},          {FT_IMAGE, "0", "0", "0", "0"},
    };
    for (const auto& c : cases) {
        Fractal f(c.type, 0);
        const ViewParameters* v = f.typeParameters;
        ASSERT_NE(v, nullptr);
        EXPECT_TRUE(Is(v->TopLeftR, c.left) && Is(v->TopLeftI, c.top)) << c.type;
        EXPECT_TRUE(Is(v->BottomRightR, c.right) && Is(v->BottomRightI, c.bottom)) << c.type;
        EXPECT_EQ(v->Stretch, 0);
        EXPECT_EQ(v->InvRadius, 1.0);
        EXPECT_EQ(v->ColormodeSpeed, 1.0);
    }
    Fractal l(FT_LSYSTEM, 0);
    EXPECT_EQ(static_cast<LSystemParameters*>(l.typeParameters)->MaxIter, 3);
    EXPECT_STREQ(static_cast<LSystemParameters*>(l.typeParameters)->Formula, "Koch1");
    Fractal i(FT_IFS, 0);
    EXPECT_EQ(static_cast<IFSParameters*>(i.typeParameters)->MaxIter, 10000);
    EXPECT_STREQ(static_cast<IFSParameters*>(i.typeParameters)->Formula, "Fern");
    Fractal p(FT_PLASMA, 0);
    EXPECT_EQ(static_cast<PlasmaParameters*>(p.typeParameters)->Seed, 1000);
    EXPECT_EQ(static_cast<PlasmaParameters*>(p.typeParameters)->Passes, 2);
}

// Copies share their corner numbers until one of them writes.
TEST_F(TypeBlocksTest, PlasmaCopiesShareNumbersUntilWritten)
{
    Fractal a(FT_PLASMA, 0);
    Fractal b(a);
    EXPECT_EQ(a.typeParameters->TopLeftR.Handle(), b.typeParameters->TopLeftR.Handle());
    b.typeParameters->TopLeftR *= BigNumber("0.5");
    EXPECT_TRUE(Is(a.typeParameters->TopLeftR, "-0.8"));
    EXPECT_TRUE(Is(b.typeParameters->TopLeftR, "-0.4"));
}

// The test folder's Mandelbrot centres its view at -0.5 and sets maxiter;
// its parameters get their defaults.
TEST_F(TypeBlocksTest, EscapetimeAppliesFormulaDefaults)
{
    Fractal f(FT_ESCAPETIME, 0);
    const EscapetimeParameters* b = static_cast<const EscapetimeParameters*>(f.typeParameters);
    EXPECT_STREQ(b->iteration.fileName, "Spiralix.sfm");
    EXPECT_STREQ(b->iteration.entryName, "Mandelbrot");
    EXPECT_NE(b->iteration.holder->word, 0);
    EXPECT_TRUE(Is(b->TopLeftR, "-2.5") && Is(b->BottomRightR, "1.5"));
    EXPECT_TRUE(Is(b->TopLeftI, "1.5") && Is(b->BottomRightI, "-1.5"));
    EXPECT_EQ(b->MaxIter, 250);
    EXPECT_EQ(b->Periodicity, 3);
    EXPECT_EQ(b->Passes, 2);
    EXPECT_EQ(b->Eliminate, 2);
    EXPECT_STREQ(g_PassNames[b->Passes], "3 Passes");
    EXPECT_STREQ(g_EliminateNames[b->Eliminate], "Each Pass");
    EXPECT_EQ(b->inside.fileName[0], 0);
    EXPECT_EQ(b->insideColouring.Mapping, 0);
    EXPECT_EQ(b->outsideColouring.Mapping, 1);
    EXPECT_EQ(b->outsideColouring.SolidOpacity, 255);
    const FormulaSymbol* bailout = Stored(b->iteration.parameters, "Bailout");
    const FormulaSymbol* seed = Stored(b->iteration.parameters, "Seed");
    ASSERT_NE(bailout, nullptr);
    ASSERT_NE(seed, nullptr);
    EXPECT_EQ(bailout->value[0], 4.0);
    EXPECT_EQ(seed->value[0], 0.25);
    EXPECT_EQ(seed->value[1], -0.5);
}

// Re-applying without reset keeps a stored value of a parameter that
// keeps its name; a value of a name the formula lost is dropped.
TEST_F(TypeBlocksTest, ApplyFormulaParametersKeepsValuesByName)
{
    Fractal f(FT_ESCAPETIME, 0);
    EscapetimeParameters* b = static_cast<EscapetimeParameters*>(f.typeParameters);
    FormulaSymbol* bailout = static_cast<FormulaSymbol*>(b->iteration.parameters.Find("Bailout"));
    ASSERT_NE(bailout, nullptr);
    bailout->value[0] = 9;
    FormulaSymbol* stale = new FormulaSymbol();
    stale->SetName("Gone");
    b->iteration.parameters.Append(stale);
    ApplyFormulaParameters(&f, &b->iteration.parameters, &b->iteration.functions, b->iteration.holder, 0);
    EXPECT_EQ(Stored(b->iteration.parameters, "Bailout")->value[0], 9.0);
    EXPECT_EQ(b->iteration.parameters.Find("Gone"), nullptr);
    // The stored order follows the formula.
    EXPECT_STREQ(b->iteration.parameters.GetHead()->name, "Bailout");
    ApplyFormulaDefaults(b, &f, 1, 1);
    EXPECT_EQ(Stored(b->iteration.parameters, "Bailout")->value[0], 4.0);
}

TEST_F(TypeBlocksTest, QuaternionDefaults)
{
    Fractal f(FT_QUATERNION, 0);
    const QuaternionParameters* q = static_cast<const QuaternionParameters*>(f.typeParameters);
    EXPECT_STREQ(q->iteration.entryName, "Hybrid");
    EXPECT_NE(q->iteration.holder->word, 0);
    EXPECT_EQ(q->MaxIter, 15);
    EXPECT_STREQ(q->colouring.fileName, "Quaternions.scl");
    EXPECT_STREQ(q->colouring.entryName, "SX_None");
    EXPECT_EQ(q->Obs_z, -3.0);
    EXPECT_EQ(q->top_y, 1.0);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(q->lights.enabled[i], i == 0 ? 1 : 0);
    EXPECT_EQ(q->lights.position[0][0], 1000);
    EXPECT_EQ(q->lights.position[0][2], -1000);
    EXPECT_EQ(q->lights.colour[3][1], 255);
    EXPECT_EQ(q->saturation[0], 0.5);
    EXPECT_EQ(q->saturation2[0], 1.0);
    EXPECT_EQ(q->AOSamples, 50);
    EXPECT_EQ(q->FogExp, 0.8);
    EXPECT_TRUE(Is(q->TopLeftR, "0") && Is(q->BottomRightI, "0"));
    EXPECT_EQ(Stored(q->iteration.parameters, "Bailout")->value[0], 16.0);
}

TEST_F(TypeBlocksTest, AttractorDefaults)
{
    Fractal f(FT_ATTRACTOR, 0);
    const AttractorParameters* a = static_cast<const AttractorParameters*>(f.typeParameters);
    ASSERT_EQ(a->formulas.Count(), 1);
    const AttractorFormula* formula = static_cast<const AttractorFormula*>(a->formulas.GetHead());
    EXPECT_EQ(a->currentFormula, formula);
    const AttractorTransformation* t = static_cast<const AttractorTransformation*>(formula->transformations.GetHead());
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->fileName, "AttractorConstructor.sfm");
    EXPECT_STREQ(t->entryName, "geometry");
    EXPECT_STREQ(a->colouring.entryName, "Attractor_Default");
    EXPECT_EQ(a->RenderMode, 3);
    EXPECT_EQ(a->PreviewPixels, 20000);
    EXPECT_EQ(a->lights.position[0][2], 1000);
    EXPECT_EQ(a->WhiteLevel, 255.0);
    EXPECT_EQ(a->rebuildPoints, 1);
    EXPECT_EQ(a->displayList, 0u);
}

// Deleting the source leaves the copy's formulas whole: each holder has
// its own source text and compile.
TEST_F(TypeBlocksTest, FormulaCopiesSurviveTheirSource)
{
    for (int type : {FT_ESCAPETIME, FT_QUATERNION, FT_ATTRACTOR}) {
        SCOPED_TRACE(type);
        Fractal* source = new Fractal(type, 0);
        Fractal* copy = new Fractal(*source);
        const FormulaHolder* sourceHolder = nullptr;
        const FormulaHolder* copyHolder = nullptr;
        if (type == FT_ESCAPETIME) {
            sourceHolder = static_cast<EscapetimeParameters*>(source->typeParameters)->iteration.holder;
            copyHolder = static_cast<EscapetimeParameters*>(copy->typeParameters)->iteration.holder;
            EXPECT_EQ(static_cast<EscapetimeParameters*>(copy->typeParameters)->owner, copy);
        } else if (type == FT_QUATERNION) {
            sourceHolder = static_cast<QuaternionParameters*>(source->typeParameters)->iteration.holder;
            copyHolder = static_cast<QuaternionParameters*>(copy->typeParameters)->iteration.holder;
        } else {
            AttractorParameters* a = static_cast<AttractorParameters*>(copy->typeParameters);
            EXPECT_EQ(a->currentFormula, a->formulas.GetHead());
            EXPECT_EQ(a->displayList, 0u);
            const AttractorTransformation* t = static_cast<const AttractorTransformation*>(
                static_cast<AttractorFormula*>(a->formulas.GetHead())->transformations.GetHead());
            EXPECT_EQ(t->owner, copy);
            copyHolder = t->holder;
            sourceHolder = static_cast<const AttractorTransformation*>(
                               static_cast<AttractorFormula*>(
                                   static_cast<AttractorParameters*>(source->typeParameters)->formulas.GetHead())
                                   ->transformations.GetHead())
                               ->holder;
        }
        ASSERT_NE(copyHolder, nullptr);
        EXPECT_NE(copyHolder, sourceHolder);
        EXPECT_NE(copyHolder->text, sourceHolder->text);
        ASSERT_NE(copyHolder->text, nullptr);
        std::string text = copyHolder->text;
        EXPECT_EQ(text, sourceHolder->text);
        if (type == FT_ESCAPETIME) {
            EXPECT_EQ(copyHolder->word, sourceHolder->word);
        }
        delete source;
        EXPECT_EQ(std::string(copyHolder->text), text);
        delete copy;
    }
}

TEST_F(TypeBlocksTest, EscapetimeCopyKeepsValuesAndParameters)
{
    Fractal source(FT_ESCAPETIME, 0);
    EscapetimeParameters* s = static_cast<EscapetimeParameters*>(source.typeParameters);
    s->MaxIter = 1234;
    s->outsideColouring.Density = 2.5;
    s->TopLeftR = BigNumber("-1.00000000000000000000000001");
    static_cast<FormulaSymbol*>(s->iteration.parameters.Find("Bailout"))->value[0] = 7;
    Fractal copy(source);
    const EscapetimeParameters* c = static_cast<const EscapetimeParameters*>(copy.typeParameters);
    EXPECT_EQ(c->MaxIter, 1234);
    EXPECT_EQ(c->outsideColouring.Density, 2.5);
    EXPECT_EQ(c->TopLeftR.Handle(), s->TopLeftR.Handle());
    EXPECT_EQ(Stored(c->iteration.parameters, "Bailout")->value[0], 7.0);
    EXPECT_EQ(c->selectedTransformation, nullptr);
    EXPECT_EQ(c->viewState[0][1], -1);
    EXPECT_EQ(c->viewState[1][5], 2);
}

TEST_F(TypeBlocksTest, LayeredCopyCopiesItsLayers)
{
    Fractal* source = new Fractal(FT_LAYERED, 0);
    LayeredParameters* block = static_cast<LayeredParameters*>(source->typeParameters);
    for (int i = 0; i < 2; ++i) {
        Layer* layer = new Layer();
        layer->SetName(i ? "second" : "first");
        layer->opacity = 40 + i;
        layer->fractal = new Fractal(FT_PLASMA, 0);
        layer->fractal->kind = NODE_KIND_LAYER;
        layer->fractal->baseFractal = source;
        layer->fractal->layer = layer;
        block->layers.Append(layer);
    }
    Fractal* copy = new Fractal(*source);
    delete source;
    const LayeredParameters* c = static_cast<const LayeredParameters*>(copy->typeParameters);
    ASSERT_EQ(c->layers.Count(), 2);
    EXPECT_EQ(c->currentLayer, -1);
    int i = 0;
    for (ListNode* n = c->layers.GetHead(); n; n = n->next, ++i) {
        const Layer* layer = static_cast<const Layer*>(n);
        EXPECT_STREQ(layer->name, i ? "second" : "first");
        EXPECT_EQ(layer->opacity, 40 + i);
        ASSERT_NE(layer->fractal, nullptr);
        EXPECT_EQ(layer->fractal->baseFractal, copy);
        EXPECT_EQ(layer->fractal->layer, layer);
        EXPECT_EQ(layer->fractal->kind, NODE_KIND_LAYER);
        EXPECT_TRUE(IsLiveFractal(layer->fractal));
    }
    delete copy;
}

}  // namespace
