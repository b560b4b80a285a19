// Quaternion and attractor blocks: defaults, construction with their
// formulas, copies for a new owner and release.
#include "document/QuaternionParameters.h"
#include <string.h>
#include "compiler/FormulaCompiler.h"
#include "calc/FormulaInstance.h"
#include "document/FormulaDefaults.h"
#include "document/Fractal.h"
#include "fractals/AttractorFormula.h"
#include "formulas/FormulaLookup.h"

void (*g_DeleteAttractorDisplay)(unsigned int displayList, void* quadric) = nullptr;

namespace {

const double kQuaternionLights[8][3] = {
    {1000, 1000, -1000}, {-1000, 1000, -1000}, {-1000, 1000, 1000}, {1000, 1000, 1000},
    {1000, -1000, -1000}, {-1000, -1000, -1000}, {-1000, -1000, 1000}, {1000, -1000, 1000},
};
const double kAttractorLights[8][3] = {
    {1000, 1000, 1000}, {-1000, 1000, 1000}, {-1000, 1000, -1000}, {1000, 1000, -1000},
    {1000, -1000, 1000}, {-1000, -1000, 1000}, {-1000, -1000, -1000}, {1000, -1000, -1000},
};

// The rows of a block from its first field after ViewParameters up to the
// end of its descriptor rows are plain values apart from the lists and
// slots, which the copies handle themselves.
template <class Block>
void CopyPlainRange(Block* to, const Block& from, const void* first, const void* end)
{
    size_t offset = (const char*)first - (const char*)&from;
    size_t size = (const char*)end - (const char*)first;
    memcpy((char*)to + offset, first, size);
}

// The colouring settings both 3D blocks share.
template <class Block>
void SetColouringDefaults(Block* b)
{
    b->Density = 1.0;
    b->Accel = 1.0;
    b->Smooth = 0.0;
    b->Offset = 0.0;
    b->Transfer = 1;
    b->WrapAround = 1;
    memset(b->SolidColor, 0, sizeof b->SolidColor);
    memset(b->BackgroundColor, 0, sizeof b->BackgroundColor);
}

}  // namespace

void LightBlock::SetDefaults(const double positions[8][3])
{
    for (int i = 0; i < 8; ++i) {
        for (int k = 0; k < 3; ++k)
            position[i][k] = positions[i][k];
        enabled[i] = shadow[i] = relative[i] = 0;
        intensity[i] = 1.0;
        memset(colour[i], 255, 3);
        memset(specular[i], 255, 3);
        ambient[i] = 0.25;
        diffuse[i] = 0.55;
        shiny[i] = 0.2;
        specularStrength[i] = 0.8;
        reflection[i] = 0.0;
    }
    enabled[0] = 1;
}

// ---------------------------------------------------------------------------
// Quaternion

QuaternionParameters::QuaternionParameters(Fractal* ownerIn)
    : Delimiter(0), owner(ownerIn)
{
    SetColouringDefaults(this);
    BackgroundDetect = 1;
    aspectRatio = 1.0;
    Normal_r = Normal_i = Normal_j = 0.0;
    Normal_k = 1.0;
    Base_r = Base_i = Base_j = Base_k = 0.0;
    Viewpoint_x = Viewpoint_y = Viewpoint_z = 0.0;
    HighresMult = 2.0;
    Backtrace = 5.0;
    Maxjump = 2.0;
    MaxIter = 15;
    precision = 10;
    calculationMode = 1;
    insideOut = 0;
    frontClippingPlane = 0.0;
    backClippingPlane = 3.4;
    relativeToViewpoint = 0;
    Viewangle = 30.0;
    lights.SetDefaults(kQuaternionLights);
    for (int i = 0; i < 8; ++i) {
        saturation[i] = 0.5;
        luminance[i] = 1.0;
        saturation2[i] = 1.0;
        luminance2[i] = 1.0;
    }
    LightModel = 1;
    gamma = 1.0;
    contrast = 1.0;
    roughness = 0.01;
    POR = 0;
    Obs_x = Obs_y = 0.0;
    Obs_z = -3.0;
    top_x = top_z = 0.0;
    top_y = 1.0;
    shadowMapMultiplier = 3.0;
    shadowDepth = 1.0;
    fudge = 1.0;
    softShadow = 4;
    flipObject = 0;
    FogRed = FogGreen = FogBlue = Dummy = 0;
    memset(savedCamera, 0, sizeof savedCamera);
    memset(zoomTarget, 0, sizeof zoomTarget);
    zoomTargetTime = 0;
    memset(rendererGroups, 0, sizeof rendererGroups);
    rendererSingle = 0;
    memset(trailing, 0, sizeof trailing);
    runFlag = 0;
    runInt = 0;
    memset(runValues, 0, sizeof runValues);
    lightAngleH = lightAngleV = 0.0;

    colouring.SetNames("Quaternions.scl", "SX_None", "None");
    colouring.holder = new FormulaHolder(FK_COLORING);
    iteration.SetNames("Spiralix.sfm", "Hybrid", "Hybrid");
    iteration.holder = new FormulaHolder(FK_ITERATION);
    // The colouring is found first but compiled with the calculation: only
    // the iteration formula gives defaults here.
    LookupFormula(owner, FT_QUATERNION, colouring.fileName, sizeof colouring.fileName, colouring.entryName,
                  colouring.foundName, colouring.holder);
    LookupAndCompile(iteration, owner, FT_QUATERNION, FK_ITERATION, SK_QUATERNION);
    ApplyQuaternionFormulaDefaults(this, owner, 1, 1);

    AOEnabled = 1;
    AOOnly = 0;
    AORadius = 1.0;
    AOStrength = 2.0;
    AOIntensity = 0.3;
    AOSamples = 50;
    AOConeRadius = 150.0;
    DOFEnabled = 0;
    DOFAutoAdjust = 1;
    DOFAperture = 5.0;
    DOFFocalLength = 0.4;
    DOFPlaneDistance = 0.75;
    FogEnabled = 0;
    FogAutoAdjust = 1;
    FogFront = 0.5;
    FogBack = 2.5;
    FogDensity = 0.5;
    FogLinear = 0.2;
    FogSquare = 0.2;
    FogExp = 0.8;
}

QuaternionParameters::QuaternionParameters(Fractal* ownerIn, const QuaternionParameters& source)
    : Delimiter(source.Delimiter), owner(ownerIn)
{
    CopyViewFrom(source);
    CopyPlainRange(this, source, &source.Density, &source.savedCamera);
    memcpy(savedCamera, source.savedCamera, sizeof savedCamera);
    memcpy(zoomTarget, source.zoomTarget, sizeof zoomTarget);
    zoomTargetTime = source.zoomTargetTime;
    memcpy(rendererGroups, source.rendererGroups, sizeof rendererGroups);
    rendererSingle = 0;
    memset(trailing, 0, sizeof trailing);
    runFlag = 0;
    runInt = 0;
    memset(runValues, 0, sizeof runValues);
    lightAngleH = source.lightAngleH;
    lightAngleV = source.lightAngleV;
    CopyFormulaInstanceList(owner, &source.transformations, &transformations);
    iteration.CopyFrom(source.iteration, FK_ITERATION, SK_QUATERNION);
    colouring.CopyFrom(source.colouring, FK_COLORING, SK_QUATERNION);
}

QuaternionParameters::~QuaternionParameters()
{
    ReleaseTextures(owner, 1, iteration.holder);
    ReleaseTextures(owner, 2, colouring.holder);
    iteration.Release();
    colouring.Release();
    transformations.DeleteAllNodes();
}

void QuaternionParameters::FreeFormulas()
{
    transformations.DeleteAllNodes();
    iteration.Clear();
    colouring.Clear();
}

// ---------------------------------------------------------------------------
// Attractor

AttractorParameters::AttractorParameters(Fractal* ownerIn)
    : Delimiter(0), currentFormula(nullptr), owner(ownerIn), rebuildPoints(1), displayList(0), quadric(nullptr)
{
    Randomness = 100.0;
    Maxiter = 50.0;
    FieldOfView = 30.0;
    Viewpoint_x = Viewpoint_y = Viewpoint_z = 0.0;
    pointScale[0] = pointScale[1] = 1.0;
    lights.SetDefaults(kAttractorLights);
    opacity = 20.0;
    Gamma = Contrast = Brightness = 1.0;
    WhiteLevel = 255.0;
    Roughness = 0.05;
    POR = 0;
    Oversample = 0;
    FilterRadius = 0.0;
    memset(dummy, 0, sizeof dummy);
    memset(rendererGroups, 0, sizeof rendererGroups);
    rendererSingle = 0;
    memset(trailing, 0, sizeof trailing);

    colouring.SetNames("Attractors.scl", "Attractor_Default", "Attractor Def Coloring");
    colouring.holder = new FormulaHolder(FK_COLORING);
    SetColouringDefaults(this);
    Obs_x = 0.1415029;
    Obs_y = 3.46543681;
    Obs_z = -3.60148922;
    top_x = -0.02721048;
    top_y = 0.7208536;
    top_z = 0.69255302;

    LookupAndCompile(colouring, owner, FT_ATTRACTOR, FK_COLORING, SK_ATTRACTOR);
    ApplyFormulaParameters(owner, &colouring.parameters, &colouring.functions, colouring.holder, 1);

    AttractorFormula* formula = new AttractorFormula(owner, "AttractorConstructor.sfm", "geometry");
    formulas.Append(formula);
    currentFormula = formula;
    for (ListNode* n = formula->transformations.GetHead(); n; n = n->next) {
        AttractorTransformation* t = static_cast<AttractorTransformation*>(n);
        if (t->holder->word == 0 && t->holder->text) {
            t->holder->compiler->setKind(FK_ITERATION);
            t->holder->word = t->holder->compiler->compile(t->holder->text, 0, -128, nullptr, nullptr, owner,
                                                           t->foundName, SK_ATTRACTOR, nullptr, false, false);
            t->holder->compiler->freeResults();
        }
        ApplyFormulaParameters(owner, &t->parameters, &t->functions, t->holder, 1);
    }

    weightThreshold = 0.0;
    PreviewPixels = 20000;
    followObject = 0;
    weightRadius = 0;
    RenderMode = 3;
}

AttractorParameters::AttractorParameters(Fractal* ownerIn, const AttractorParameters& source)
    : Delimiter(source.Delimiter), currentFormula(nullptr), owner(ownerIn), rebuildPoints(1), displayList(0),
      quadric(nullptr)
{
    CopyViewFrom(source);
    Randomness = source.Randomness;
    CopyPlainRange(this, source, &source.Density, &source.rendererGroups);
    memcpy(rendererGroups, source.rendererGroups, sizeof rendererGroups);
    rendererSingle = 0;
    memcpy(pointScale, source.pointScale, sizeof pointScale);
    memset(trailing, 0, sizeof trailing);
    colouring.CopyFrom(source.colouring, FK_COLORING, SK_ATTRACTOR);
    CopyAttractorFormulas(&source.formulas, &formulas);
    // The copied transformations belong to this fractal: the source may be
    // deleted long before them.
    for (ListNode* f = formulas.GetHead(); f; f = f->next)
        for (ListNode* t = static_cast<AttractorFormula*>(f)->transformations.GetHead(); t; t = t->next)
            static_cast<AttractorTransformation*>(t)->owner = owner;
    currentFormula = static_cast<AttractorFormula*>(formulas.GetHead());
}

AttractorParameters::~AttractorParameters()
{
    ReleaseTextures(owner, 2, colouring.holder);
    colouring.Release();
    formulas.DeleteAllNodes();
    if (displayList || quadric) {
        if (g_DeleteAttractorDisplay)
            g_DeleteAttractorDisplay(displayList, quadric);
        displayList = 0;
        quadric = nullptr;
    }
}

void AttractorParameters::FreeFormulas()
{
    formulas.DeleteAllNodes();
    currentFormula = nullptr;
    colouring.Clear();
}

void CopyAttractorFormulas(const NodeList* source, NodeList* destination)
{
    destination->DeleteAllNodes();
    for (ListNode* n = source->GetHead(); n; n = n->next) {
        const AttractorFormula* from = static_cast<const AttractorFormula*>(n);
        AttractorFormula* copy = new AttractorFormula();
        copy->weight = from->weight;
        copy->colour = from->colour;
        copy->flags = from->flags;
        CopyAttractorTransformations(&from->transformations, copy, &copy->transformations);
        copy->SetName(from->name);
        destination->Append(copy);
    }
}
