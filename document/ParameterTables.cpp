// The parameter tables of the fractal types. Rows follow the blocks' fields
// without gaps; the runs that repeat per light are generated, everything
// else is listed row by row. Tables are built once, on first use.
#include "document/ParameterTables.h"
#include <deque>
#include <string>
#include <vector>
#include "foundation/List.h"
#include "document/FractalType.h"

namespace {

const double BIG = 1e300;

// Row options: group, written, animatable.
struct Use {
    int group, written, animatable;
};
const Use HIDDEN = {PG_HIDDEN, 0, 0};

class TableBuilder {
public:
    TableBuilder& Row(const Use& use, const char* key, int type, int size, double mn, double mx,
                      const char* display = nullptr, double step = 0.0, int subKind = 0)
    {
        ParameterDescriptor d = {};
        d.group = use.group;
        d.displayName = display ? display : key;
        d.key = key;
        d.subKind = (int16_t)subKind;
        d.valueType = (int16_t)type;
        d.size = (int16_t)size;
        d.step = step;
        d.minimum = mn;
        d.maximum = mx;
        d.written = use.written;
        d.animatable = use.animatable;
        rows.push_back(d);
        return *this;
    }
    TableBuilder& Double(const Use& u, const char* key, double mn, double mx, const char* display = nullptr)
    {
        return Row(u, key, PT_DOUBLE, 0, mn, mx, display);
    }
    TableBuilder& Int(const Use& u, const char* key, double mn, double mx, const char* display = nullptr)
    {
        return Row(u, key, PT_INT, 0, mn, mx, display);
    }
    TableBuilder& Text(const Use& u, const char* key, int size, double mn = 0, double mx = 0, int sub = 0)
    {
        return Row(u, key, PT_TEXT, size, mn, mx, nullptr, 0.0, sub);
    }
    // A NodeList held inside the block.
    TableBuilder& List(const char* key = "")
    {
        return Row(HIDDEN, key, PT_BLOB, (int)sizeof(NodeList), 0, 0);
    }
    // A run of eight rows "<prefix>N<suffix>" for N = 1..8.
    TableBuilder& Eight(const Use& u, const char* prefix, const char* suffix, int type, double mn, double mx)
    {
        for (int n = 1; n <= 8; ++n)
            Row(u, Keep(prefix + std::to_string(n) + suffix), type, 0, mn, mx);
        return *this;
    }
    const ParameterDescriptor* Finish()
    {
        ParameterDescriptor end = {};
        end.valueType = PT_END;
        rows.push_back(end);
        return rows.data();
    }
    static const char* Keep(const std::string& text)
    {
        static std::deque<std::string> pool;
        pool.push_back(text);
        return pool.back().c_str();
    }

    std::vector<ParameterDescriptor> rows;
};

// Group, written and animatable of the six groups of view rows, and the
// limits that differ between the tables.
struct ViewUse {
    Use corners, topRight, stretch, rotation, inversion, colourMode;
    double inversionLimit, colourModeLimit;
};

void ViewRows(TableBuilder& t, const ViewUse& v)
{
    for (const char* key : {"TopLeftR", "TopLeftI", "BottomRightR", "BottomRightI"})
        t.Row(v.corners, key, PT_BIGNUMBER, 0, -BIG, BIG);
    t.Row(v.topRight, "TopRightR", PT_BIGNUMBER, 0, -BIG, BIG);
    t.Row(v.topRight, "TopRightI", PT_BIGNUMBER, 0, -BIG, BIG);
    t.Int(v.stretch, "Stretch", 0, 1);
    t.Double(v.rotation, "RotateX", -1000, 1000);
    t.Double(v.rotation, "RotateY", -1000, 1000);
    t.Double(v.rotation, "Angle", -720, 720);
    t.Double(v.inversion, "InvRadius", -720, 720);
    t.Row(v.inversion, "InvCenterX", PT_BIGNUMBER, 0, -v.inversionLimit, v.inversionLimit);
    t.Row(v.inversion, "InvCenterY", PT_BIGNUMBER, 0, -v.inversionLimit, v.inversionLimit);
    t.Int(v.inversion, "Inversion", 0, 1);
    t.Int(v.colourMode, "ColormodeType", 0, 5);
    t.Double(v.colourMode, "ColormodeSpeed", -v.colourModeLimit, v.colourModeLimit);
    t.Double(v.colourMode, "ColormodeAccel", -v.colourModeLimit, v.colourModeLimit);
    t.Double(v.colourMode, "ColorSmoothing", 0, 1);
}

const Use GENERAL = {PG_GENERAL, 1, 1};          // written and animated
const Use GENERAL_FIXED = {PG_GENERAL, 0, 0};
const Use GENERAL_ANIMATED = {PG_GENERAL, 0, 1};

ViewUse PlainView(double colourModeLimit)
{
    return {GENERAL_FIXED, GENERAL_FIXED, GENERAL, GENERAL, GENERAL_ANIMATED, {PG_COLOUR, 1, 1},
            BIG, colourModeLimit};
}

const ViewUse kEscapeView = {GENERAL_FIXED, HIDDEN, HIDDEN, GENERAL, HIDDEN, HIDDEN, BIG, BIG};
const ViewUse kQuaternionView = {HIDDEN, HIDDEN, HIDDEN, HIDDEN, HIDDEN, HIDDEN, 1e7, 1e7};
const ViewUse kAttractorView = {HIDDEN, HIDDEN, HIDDEN, HIDDEN, HIDDEN, HIDDEN, BIG, BIG};

const ParameterDescriptor* PlasmaTable()
{
    static TableBuilder t;
    ViewRows(t, PlainView(BIG));
    t.Double(GENERAL, "Sigma", -1e7, 1e7).Double(GENERAL, "H", -1e7, 1e7);
    t.Int(GENERAL, "Seed", -1e13, 1e13).Int(GENERAL, "Method", -1e13, 1e13);
    for (const char* key : {"Anglestep", "Octaves", "Power", "Step"})
        t.Double(GENERAL, key, -1e7, 1e7);
    t.Int(GENERAL, "Passes", -1e13, 1e13);
    return t.Finish();
}

const ParameterDescriptor* DynamicSystemTable()
{
    static TableBuilder t;
    ViewRows(t, PlainView(BIG));
    for (const char* key : {"A", "B", "C", "X", "Y", "Z", "Time", "Delta", "Alpha", "Beta"})
        t.Double(GENERAL, key, -BIG, BIG);
    t.Int(GENERAL, "Drawmode", 0, 1).Int(GENERAL, "Coloring", 0, 20);
    t.Double(GENERAL, "ColMult", -1e7, 1e7).Int(GENERAL, "WrapAround", 0, 1);
    return t.Finish();
}

const ParameterDescriptor* LSystemTable()
{
    static TableBuilder t;
    ViewRows(t, PlainView(BIG));
    t.Int(GENERAL, "MaxIter", 0, 1e12).Text(GENERAL, "Formula", 64, 0, 10);
    return t.Finish();
}

const ParameterDescriptor* IFSTable()
{
    static TableBuilder t;
    const Use hiddenWritten = {PG_HIDDEN, 1, 1};
    ViewRows(t, PlainView(1e7));
    for (const char* key : {"Alpha", "Beta", "Parm1", "Parm2", "Parm3", "Parm4"})
        t.Double(GENERAL, key, -1e7, 1e7);
    t.Int(GENERAL, "MaxIter", 0, 1e12);
    t.Int(hiddenWritten, "Colormode", 0, 5).Int(hiddenWritten, "WrapAround", 0, 5);
    t.Double(GENERAL, "ColorMult", -1e7, 1e7);
    t.Text(hiddenWritten, "Formula", 64, 0, 10);
    return t.Finish();
}

// A formula slot: file, entry and found name, the two lists, the holder.
void SlotRows(TableBuilder& t, const Use& names, const char* file, const char* entry, const char* holder)
{
    t.Text(names, file, 64).Text(names, entry, 64).Text(names, entry, 64);
    t.List().List();
    t.Text(GENERAL_FIXED, holder, 4, 0, 0, -1);
}

const ParameterDescriptor* EscapetimeTable()
{
    static TableBuilder t;
    const Use shown = GENERAL_ANIMATED;   // nothing here goes through the generic writer
    ViewRows(t, kEscapeView);
    t.Int(HIDDEN, "Delimiter", 1, 1e13).List();
    t.Int(shown, "MaxIter", 1, 1e13);
    for (const char* key : {"Passes", "Periodicity", "Eliminate"})
        t.Int(shown, key, 0, 3);
    SlotRows(t, shown, "Formula Filename", "Formula Name", "Formula");
    SlotRows(t, shown, "Formula Filename (Inside)", "Formula Name (Inside)", "Inside Coloring");
    for (const char* key : {"Density (inside)", "Accel (inside)", "Smooth (inside)", "Offset (inside)"})
        t.Double(shown, key, -BIG, BIG);
    t.Int(shown, "Mapping (inside)", -BIG, BIG).Int(shown, "Wrap around (inside)", -BIG, BIG);
    t.Row(shown, "Solid Color (inside)", PT_RGBA, 0, -1e12, 1e12).Int(shown, "Solid Opacity (inside)", -1e12, 1e12);
    SlotRows(t, shown, "Formula Filename (Outside)", "Formula Name (Outside)", "Outside Coloring");
    for (const char* key : {"Density (outside)", "Accel (outside)", "Smooth (outside)", "Offset (outside)"})
        t.Double(shown, key, -BIG, BIG);
    t.Int(shown, "Mapping (outside)", -1e7, 1e7).Int(shown, "Wrap around (outside)", -1e7, 1e7);
    t.Row(shown, "Solid Color (outside)", PT_RGBA, 0, -1e12, 1e12).Int(shown, "Solid Opacity (outside)", -1e7, 1e7);
    t.Row(shown, "Solid Color (Transformation)", PT_RGBA, 0, -1e12, 1e12);
    t.Int(shown, "Solid Opacity (Transformation)", -1e7, 1e7);
    return t.Finish();
}

// The eight lights: positions, colours, flags and strengths.
void LightRows(TableBuilder& t, double strengthLimit)
{
    const Use position = {PG_HIDDEN, 0, 1};
    const Use colour = {PG_COLOUR, 0, 1};
    for (int n = 1; n <= 8; ++n)
        for (const char* axis : {"x", "y", "z"}) {
            std::string key = "Light" + std::to_string(n) + "_" + axis;
            std::string display = "Light #" + std::to_string(n) + ": " + axis;
            t.Row(position, TableBuilder::Keep(key), PT_DOUBLE, 0, -1e7, 1e7, TableBuilder::Keep(display));
        }
    t.Eight(colour, "Light", "_color", PT_RGB, 0, 255);
    t.Eight(colour, "LightSpec", "_color", PT_RGB, 0, 255);
    for (const char* flag : {"Enabled", "Shadow", "Relative"})
        t.Eight(colour, "Light", flag, PT_BYTE, 0, 1);
    for (const char* strength : {"Intensity", "Ambient", "Diffuse", "Shiny", "Specular", "Reflection"})
        t.Eight(colour, "Light", strength, PT_DOUBLE, 0, strengthLimit);
}

const ParameterDescriptor* QuaternionTable()
{
    static TableBuilder t;
    const Use value = GENERAL_ANIMATED;
    const Use written = {PG_GENERAL, 1, 1};
    const Use colour = {PG_COLOUR, 0, 1};
    const Use colourWritten = {PG_COLOUR, 1, 1};
    const Use place = {PG_HIDDEN, 0, 1};
    const Use slot = GENERAL_FIXED;
    ViewRows(t, kQuaternionView);
    t.Int(HIDDEN, "Delimiter", 1, 1e13).List();
    SlotRows(t, slot, "Formula Filename", "Formula Name", "Formula");
    SlotRows(t, slot, "Formula Filename", "Formula Name", "Inside Coloring");
    for (const char* key : {"Density", "Accel", "Smooth", "Offset"})
        t.Double(value, key, -1e7, 1e7);
    t.Int(value, "Transfer", -1e7, 1e7, "Mapping").Int(value, "Wrap around", -1e7, 1e7);
    t.Row(value, "Solid Color", PT_RGBA, 0, -1e12, 1e12).Row(value, "Background Color", PT_RGBA, 0, -1e12, 1e12);
    t.Int(value, "Background Detect", 0, 1).Double(value, "aspectRatio", -1e7, 1e7);
    for (const char* key : {"Normal_r", "Normal_i", "Normal_j", "Normal_k", "Base_r", "Base_i", "Base_j", "Base_k",
                            "Viewpoint_x", "Viewpoint_y", "Viewpoint_z", "HighresMult", "Backtrace", "Maxjump"})
        t.Double(value, key, -1e7, 1e7);
    t.Int(value, "MaxIter", 1, 1e13).Int(value, "precision", -1e7, 1e7).Int(value, "calculationMode", -1e7, 1e7);
    t.Int(written, "insideOut", 0, 1);
    t.Row(value, "frontClippingPlane", PT_DOUBLE, 0, -1e7, 1e7, nullptr, 0.2);
    t.Row(value, "backClippingPlane", PT_DOUBLE, 0, -1e7, 1e7, nullptr, 0.2);
    t.Int(value, "relativeToViewpoint", 0, 1);
    t.Row(value, "Viewangle", PT_DOUBLE, 0, -1e7, 1e7, nullptr, 20);
    LightRows(t, BIG);
    t.Int(colour, "LightModel", 0, 100, "lightModel");
    for (int run = 0; run < 2; ++run) {
        t.Eight(colour, "Light", "Saturation", PT_DOUBLE, 0, BIG);
        t.Eight(colour, "Light", "Luminance", PT_DOUBLE, 0, BIG);
    }
    for (const char* key : {"gamma", "contrast", "roughness"})
        t.Double(written, key, -1e7, 1e7);
    t.Int(written, "POR", -1e7, 1e7);
    for (const char* key : {"Obs_x", "Obs_y", "Obs_z"})
        t.Double(value, key, -1e7, 1e7);
    for (const char* key : {"top_x", "top_y", "top_z"})
        t.Double(place, key, -1e7, 1e7);
    for (const char* key : {"shadowMapMultiplier", "shadowDepth", "fudge"})
        t.Double(written, key, -1e7, 1e7);
    t.Int(written, "softShadow", -1e7, 1e7).Int(written, "flipObject", 0, 1);
    t.Int(colourWritten, "AOEnabled", 0, 1).Int(colourWritten, "AOOnly", 0, 1);
    t.Double(colourWritten, "AORadius", -1e7, 1e7).Double(colourWritten, "AOStrength", 0, 1000);
    t.Double(colourWritten, "AOIntensity", 0, 1).Int(colourWritten, "AOSamples", 0, 1000);
    t.Double(colourWritten, "AOConeRadius", 0, 360);
    t.Int(colourWritten, "DOFEnabled", 0, 1).Int(colourWritten, "DOFAutoAdjust", 0, 1);
    for (const char* key : {"DOFAperture", "DOFFocalLength", "DOFPlaneDistance"})
        t.Double(colourWritten, key, -1e7, 1e7);
    t.Int(colourWritten, "FogEnabled", 0, 1).Int(colourWritten, "FogAutoAdjust", 0, 1);
    for (const char* key : {"FogRed", "FogGreen", "FogBlue"})
        t.Row(colourWritten, key, PT_BYTE, 0, 0, 255);
    t.Row(colour, "Dummy", PT_BYTE, 0, 0, 255);
    t.Double(colourWritten, "FogFront", -1e7, 1e7).Double(colourWritten, "FogBack", -1e7, 1e7);
    t.Double(colourWritten, "FogDensity", -1e7, 1e7, "Fig: Density");
    for (const char* key : {"FogLinear", "FogSquare", "FogExp"})
        t.Double(colourWritten, key, -1e7, 1e7);
    return t.Finish();
}

const ParameterDescriptor* AttractorTable()
{
    static TableBuilder t;
    const Use value = GENERAL_ANIMATED;
    const Use place = {PG_HIDDEN, 0, 1};
    const Use fixedPlace = HIDDEN;
    ViewRows(t, kAttractorView);
    t.Int(HIDDEN, "Delimiter", 1, 1e13).List();
    t.Double(place, "Randomness", 0, 100);
    SlotRows(t, GENERAL_FIXED, "Formula Filename", "Formula Name", "Inside Coloring");
    for (const char* key : {"Density", "Accel", "Smooth", "Offset"})
        t.Double(value, key, -1e7, 1e7);
    t.Int(value, "Transfer", -1e7, 1e7, "Mapping").Int(value, "Wrap around", -1e7, 1e7);
    t.Row(value, "Solid Color", PT_RGBA, 0, -1e12, 1e12).Row(value, "Background Color", PT_RGBA, 0, -1e12, 1e12);
    t.Double(value, "Maxiter", 0, BIG);
    LightRows(t, 100);
    t.Int({PG_HIDDEN, 1, 1}, "POR", 0, 100);
    t.Int(value, "PreviewPixels", 1, 1e13);
    t.Row(value, "followObject", PT_BYTE, 0, 0, 1, nullptr, 0.0, 1);
    for (int i = 0; i < 3; ++i)
        t.Row(HIDDEN, "__dummy", PT_BYTE, 0, 0, 255, nullptr, 0.0, 1);
    for (const char* key : {"Gamma", "Contrast", "Brightness"})
        t.Double(value, key, -1e7, 1e7);
    t.Double(value, "WhiteLevel", -1e7, 1e7, "White Level");
    t.Int(value, "Oversample", 0, 10);
    t.Double(value, "FilterRadius", 0, 5, "Filter Radius").Double(value, "weightThreshold", -1e7, 1e7);
    t.Int(value, "weightRadius", 0, 100).Int(value, "RenderMode", 0, 10, "Render Mode");
    t.Double(value, "Roughness", -1e7, 1e7);
    for (const char* key : {"Obs_x", "Obs_y", "Obs_z"})
        t.Double(fixedPlace, key, -1e7, 1e7);
    for (const char* key : {"top_x", "top_y", "top_z"})
        t.Double(place, key, -1e7, 1e7);
    for (const char* key : {"Viewpoint_x", "Viewpoint_y", "Viewpoint_z", "FieldOfView"})
        t.Double(value, key, -1e7, 1e7);
    t.Double(value, "opacity", -1e7, 1e7, "Opacity");
    return t.Finish();
}

const ParameterDescriptor* EmptyTable()
{
    static const ParameterDescriptor end[1] = {{0, nullptr, nullptr, 0, PT_END, 0, 0, 0, 0, 0, 0, 0, nullptr}};
    return end;
}

}  // namespace

const ParameterDescriptor* GetParameterTable(int type)
{
    switch (type) {
    case FT_PLASMA: { static const ParameterDescriptor* t = PlasmaTable(); return t; }
    case FT_DYNAMICSYSTEM: { static const ParameterDescriptor* t = DynamicSystemTable(); return t; }
    case FT_LSYSTEM: { static const ParameterDescriptor* t = LSystemTable(); return t; }
    case FT_IFS: { static const ParameterDescriptor* t = IFSTable(); return t; }
    case FT_ESCAPETIME: { static const ParameterDescriptor* t = EscapetimeTable(); return t; }
    case FT_QUATERNION: { static const ParameterDescriptor* t = QuaternionTable(); return t; }
    case FT_ATTRACTOR: { static const ParameterDescriptor* t = AttractorTable(); return t; }
    default: return EmptyTable();
    }
}
