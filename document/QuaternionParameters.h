// The parameter blocks of the 3D types: the quaternion (a lit object ray
// marched from an iteration and a colouring formula) and the attractor
// (points of a list of attractor formulas, coloured by a colouring
// formula). Both share the light block of eight lights. Field order is the
// row order of their parameter tables; the fields after the rows are the
// renderers' state.
#pragma once
#include "document/ViewParameters.h"
#include "document/FormulaSlot.h"

class Fractal;
class AttractorFormula;

#pragma pack(push, 4)
struct LightBlock {
    double position[8][3];        // "Light1_x" .. "Light8_z"
    uint8_t colour[8][3];         // "Light1_color" ..; RGB
    uint8_t specular[8][3];       // "LightSpec1_color" ..
    uint8_t enabled[8];           // "Light1Enabled" ..
    uint8_t shadow[8];
    uint8_t relative[8];
    double intensity[8];
    double ambient[8];
    double diffuse[8];
    double shiny[8];
    double specularStrength[8];   // "Light1Specular" ..
    double reflection[8];

    // White lights at positions[8][3], only the first enabled.
    void SetDefaults(const double positions[8][3]);
};

struct QuaternionParameters : ViewParameters {
    explicit QuaternionParameters(Fractal* owner);
    QuaternionParameters(Fractal* owner, const QuaternionParameters& source);
    ~QuaternionParameters();
    QuaternionParameters(const QuaternionParameters&) = delete;
    QuaternionParameters& operator=(const QuaternionParameters&) = delete;

    void FreeFormulas();

    int Delimiter;
    NodeList transformations;        // FormulaInstance nodes
    FormulaSlot iteration;
    FormulaSlot colouring;
    double Density, Accel, Smooth, Offset;
    int Transfer, WrapAround;
    uint8_t SolidColor[4], BackgroundColor[4];
    int BackgroundDetect;
    double aspectRatio;
    double Normal_r, Normal_i, Normal_j, Normal_k;
    double Base_r, Base_i, Base_j, Base_k;
    double Viewpoint_x, Viewpoint_y, Viewpoint_z;
    double HighresMult, Backtrace, Maxjump;
    int MaxIter, precision, calculationMode, insideOut;
    double frontClippingPlane, backClippingPlane;
    int relativeToViewpoint;
    double Viewangle;
    LightBlock lights;
    int LightModel;
    double saturation[8], luminance[8];
    double saturation2[8], luminance2[8];
    double gamma, contrast, roughness;
    int POR;
    double Obs_x, Obs_y, Obs_z;
    double top_x, top_y, top_z;
    double shadowMapMultiplier, shadowDepth, fudge;
    int softShadow, flipObject;
    int AOEnabled, AOOnly;
    double AORadius, AOStrength, AOIntensity;
    int AOSamples;
    double AOConeRadius;
    int DOFEnabled, DOFAutoAdjust;
    double DOFAperture, DOFFocalLength, DOFPlaneDistance;
    int FogEnabled, FogAutoAdjust;
    uint8_t FogRed, FogGreen, FogBlue, Dummy;
    double FogFront, FogBack, FogDensity, FogLinear, FogSquare, FogExp;
    // ---- renderer state: no table rows from here on
    double savedCamera[14];
    double zoomTarget[3];
    int zoomTargetTime;
    int rendererGroups[3][4];        // copied
    int rendererSingle;              // reset by a copy
    Fractal* owner;
    int trailing[8];                 // reset by a copy
    uint8_t runFlag;
    int runInt;
    double runValues[4];
    // The light angles (degrees) of entries from before lights had
    // positions ("hlightangle", "vlightangle"); the reader turns them into
    // light 1's position. Copied; never written.
    double lightAngleH, lightAngleV;
};

struct AttractorParameters : ViewParameters {
    explicit AttractorParameters(Fractal* owner);
    AttractorParameters(Fractal* owner, const AttractorParameters& source);
    ~AttractorParameters();
    AttractorParameters(const AttractorParameters&) = delete;
    AttractorParameters& operator=(const AttractorParameters&) = delete;

    void FreeFormulas();

    int Delimiter;
    NodeList formulas;               // AttractorFormula nodes
    double Randomness;
    FormulaSlot colouring;
    double Density, Accel, Smooth, Offset;
    int Transfer, WrapAround;
    uint8_t SolidColor[4], BackgroundColor[4];
    double Maxiter;
    LightBlock lights;
    int POR;
    int PreviewPixels;
    uint8_t followObject;
    uint8_t dummy[3];
    double Gamma, Contrast, Brightness, WhiteLevel;
    int Oversample;
    double FilterRadius, weightThreshold;
    int weightRadius, RenderMode;
    double Roughness;
    double Obs_x, Obs_y, Obs_z;
    double top_x, top_y, top_z;
    double Viewpoint_x, Viewpoint_y, Viewpoint_z;
    double FieldOfView;
    double opacity;
    // ---- renderer state: no table rows from here on
    int rendererGroups[3][4];        // copied
    int rendererSingle;              // reset by a copy
    AttractorFormula* currentFormula;   // the formula the parameter window shows
    Fractal* owner;
    uint8_t rebuildPoints;           // 1: the point display must be rebuilt
    unsigned int displayList;        // OpenGL list of the point display; 0 = none
    void* quadric;                   // GLU quadric of the point display; null = none
    double pointScale[2];
    int trailing[8];
};
#pragma pack(pop)

// Deletes the point display's OpenGL objects. Set by the 3D view, which
// makes its context current first; without it the objects are forgotten
// (no context of ours can own them).
extern void (*g_DeleteAttractorDisplay)(unsigned int displayList, void* quadric);

// Deep copies of an attractor formula list.
void CopyAttractorFormulas(const NodeList* source, NodeList* destination);
