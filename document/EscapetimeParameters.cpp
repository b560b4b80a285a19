// Escape-time and layered blocks: construction with the default formulas,
// copying for a new owner (every holder compiles its own copy, layers are
// copied whole) and release.
#include "document/EscapetimeParameters.h"
#include <string.h>
#include "compiler/FormulaCompiler.h"
#include "calc/FormulaInstance.h"
#include "document/Fractal.h"
#include "document/FormulaDefaults.h"
#include "document/Layer.h"

const char* const g_PassNames[] = {"1 Pass", "2 Passes", "3 Passes", "4 Passes", nullptr};
const char* const g_PeriodicityNames[] = {"Off", "Rigid", "Quite Rigid", "Normal", "Soft", "Very Soft", nullptr};
const char* const g_EliminateNames[] = {"Off", "Final Pass", "Each Pass", nullptr};

EscapetimeParameters::EscapetimeParameters(Fractal* ownerIn)
    : Delimiter(0), selectedTransformation(nullptr), owner(ownerIn)
{
    SetCorners(-2.5, 1.5, 1.5, -1.5);
    MaxIter = 150;
    Passes = 2;
    Periodicity = 3;
    Eliminate = 2;
    inside.SetNames(nullptr, nullptr, nullptr);
    outside.SetNames(nullptr, nullptr, nullptr);
    inside.holder = new FormulaHolder(FK_COLORING);
    outside.holder = new FormulaHolder(FK_COLORING);
    insideColouring.SetDefaults(0);
    outsideColouring.SetDefaults(1);
    memset(SolidColorTransformation, 0, sizeof SolidColorTransformation);
    SolidOpacityTransformation = 255;
    memset(panelState, 0, sizeof panelState);

    iteration.SetNames("Spiralix.sfm", "Mandelbrot", "Mandelbrot");
    iteration.holder = new FormulaHolder(FK_ITERATION);
    LookupAndCompile(iteration, owner, FT_ESCAPETIME, FK_ITERATION, SK_PLANE);

    ResetViewState();
    ApplyFormulaDefaults(this, owner, 1, 1);
}

EscapetimeParameters::EscapetimeParameters(Fractal* ownerIn, const EscapetimeParameters& source)
    : Delimiter(source.Delimiter), selectedTransformation(nullptr), owner(ownerIn)
{
    CopyViewFrom(source);
    MaxIter = source.MaxIter;
    Eliminate = source.Eliminate;
    Periodicity = source.Periodicity;
    Passes = source.Passes;
    CopyFormulaInstanceList(owner, &source.transformations, &transformations);
    inside.CopyFrom(source.inside, FK_COLORING, SK_PLANE);
    outside.CopyFrom(source.outside, FK_COLORING, SK_PLANE);
    memcpy(panelState, source.panelState, sizeof panelState);
    insideColouring = source.insideColouring;
    outsideColouring = source.outsideColouring;
    memcpy(SolidColorTransformation, source.SolidColorTransformation, sizeof SolidColorTransformation);
    SolidOpacityTransformation = source.SolidOpacityTransformation;
    iteration.CopyFrom(source.iteration, FK_ITERATION, SK_PLANE);
    FormulaCompiler::copySymbols(&source.extraParameters, &extraParameters, 1);
    ResetViewState();
}

EscapetimeParameters::~EscapetimeParameters()
{
    ReleaseTextures(owner, 1, iteration.holder);
    ReleaseTextures(owner, 2, outside.holder);
    ReleaseTextures(owner, 3, inside.holder);
    iteration.Release();
    inside.Release();
    outside.Release();
    extraParameters.DeleteAllNodes();
    transformations.DeleteAllNodes();
}

void EscapetimeParameters::FreeFormulas()
{
    transformations.DeleteAllNodes();
    extraParameters.DeleteAllNodes();
    iteration.Clear();
    inside.Clear();
    outside.Clear();
}

void EscapetimeParameters::ResetViewState()
{
    static const int initial[6] = {0, -1, 0, 0, 0, 2};
    memcpy(viewState[0], initial, sizeof initial);
    memcpy(viewState[1], initial, sizeof initial);
    memset(viewTexts, 0, sizeof viewTexts);
}

// ---------------------------------------------------------------------------
// Layered block

LayeredParameters::LayeredParameters() : currentLayer(-1)
{
}

LayeredParameters::LayeredParameters(const LayeredParameters& source, Fractal* owner) : currentLayer(-1)
{
    // The corners and the rotation are the layers' business: a layered
    // view keeps its constructed ones.
    TopRightR = source.TopRightR;
    TopRightI = source.TopRightI;
    Stretch = source.Stretch;
    InvRadius = source.InvRadius;
    InvCenterX = source.InvCenterX;
    InvCenterY = source.InvCenterY;
    Inversion = source.Inversion;
    ColormodeType = source.ColormodeType;
    ColormodeSpeed = source.ColormodeSpeed;
    ColormodeAccel = source.ColormodeAccel;
    ColorSmoothing = source.ColorSmoothing;
    for (ListNode* n = source.layers.GetHead(); n; n = n->next) {
        const Layer* from = static_cast<const Layer*>(n);
        Layer* copy = new Layer();
        copy->CopyFieldsFrom(*from);
        copy->fractal = nullptr;
        if (from->fractal) {
            copy->fractal = new Fractal(*from->fractal);
            copy->fractal->kind = NODE_KIND_LAYER;
            copy->fractal->baseFractal = owner;
            copy->fractal->layer = copy;
        }
        copy->SetName(from->name);
        layers.Append(copy);
    }
}

LayeredParameters::~LayeredParameters()
{
    RemoveAllLayers();
}

void LayeredParameters::RemoveAllLayers()
{
    while (ListNode* first = layers.GetHead())
        RemoveLayer(this, static_cast<Layer*>(first), 1);
}
