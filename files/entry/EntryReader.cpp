// The reader first settles the type from a scan of the body, rebuilds the
// fractal for it (older types become escape-time fractals with the shipped
// "Spiralix" and "FractInt" formulas), then hands every item to the reader
// of its section. The fractal's name, list links and unparsed entry text
// survive, since the type change resets them.
#include "files/entry/EntryReader.h"

#include <windows.h>
#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "calc/FormulaInstance.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/ParameterTransfer.h"
#include "document/EscapetimeParameters.h"
#include "document/FormulaDefaults.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/FractalType.h"
#include "document/Layer.h"
#include "document/ParameterTables.h"
#include "document/QuaternionParameters.h"
#include "files/entry/AttractorSections.h"
#include "files/entry/BaseKeys.h"
#include "files/entry/ColourSections.h"
#include "files/entry/CommentLines.h"
#include "files/entry/CompressedBlock.h"
#include "files/entry/ContinuedLines.h"
#include "files/entry/EntryHead.h"
#include "files/entry/EntryTokens.h"
#include "files/entry/EntryTypeNames.h"
#include "files/entry/EscapeTimeSections.h"
#include "files/entry/NamedValues.h"
#include "files/entry/QuaternionSections.h"
#include "formulas/FormulaKind.h"
#include "foundation/Buffers.h"
#include "foundation/Messages.h"
#include "fractals/AttractorFormula.h"
#include "view3d/Parameters3D.h"

namespace {

bool StartsWithNoCase(const char* text, const char* prefix)
{
    return _strnicmp(text, prefix, strlen(prefix)) == 0;
}

void SetBufferText(GrowBuffer* buffer, const char* text)
{
    if (!buffer)
        return;
    int size = (int)strlen(text) + 1;
    buffer->Reserve(size < 50 ? 50 : size);
    memcpy(buffer->GetData(), text, size);
}

// Each palette channel without a current knot takes its first one.
void SelectFirstKnots(Palette& palette)
{
    for (int c = 0; c < 3; c++) {
        if (!palette.selectedKnot[c] && palette.knots[c].GetHead()) {
            palette.selectedKnot[c] = AsKnot(palette.knots[c].GetHead());
            palette.selectedKnot[c]->selected = 1;
        }
    }
}

void RebuildPalette(Fractal* fractal)
{
    fractal->palette.Rebuild();
    SelectFirstKnots(fractal->palette);
}

// --- Older types -------------------------------------------------------

struct OldTypeFormulas {
    const char *file, *name, *insideFile, *insideName, *outsideFile, *outsideName;
};

// The formulas an old type number reads into; null for types that are not
// converted.
const OldTypeFormulas* FormulasOfOldType(int type)
{
    static const OldTypeFormulas k24 = {"Spiralix", "SX_JulMand24", "Spiralix", "Refactor_JulMand24_I",
                                        "Spiralix", "Refactor_JulMand24_O"};
    static const OldTypeFormulas k8 = {"Spiralix", "SX_JulMand8", "Spiralix", "Refactor_JulMand8_I",
                                       "Spiralix", "Refactor_JulMand8_O"};
    static const OldTypeFormulas kLyapunov = {"Spiralix", "compLyap", "", "compLyap", "Spiralix", ""};
    static const OldTypeFormulas kBifurcation = {"Spiralix", "compBif", "", "", "Spiralix", "compBif"};
    static const OldTypeFormulas kTiera = {"Spiralix", "SXTiera_Mandelbrot", "Spiralix", "Refactor_Tierazon",
                                           "Spiralix", "Refactor_Tierazon"};
    static const OldTypeFormulas kFractint = {"FractInt", "", "FractInt", "FractInt_Inside",
                                              "FractInt", "FractInt_Outside"};
    switch (type) {
    case -1: return &kFractint;
    case 0:
    case 1: return &k24;
    case 2:
    case 3:
    case 4: return &k8;
    case 5: return &kLyapunov;
    case 7: return &kBifurcation;
    case 11:
    case 12: return &kTiera;
    default: return nullptr;
    }
}

void PrepareColouring(Fractal* fractal, FormulaSlot& slot)
{
    LookupAndCompile(slot, fractal, FT_ESCAPETIME, FK_COLORING, FormulaSubKind(FT_ESCAPETIME));
    ApplyFormulaParameters(fractal, &slot.parameters, &slot.functions, slot.holder, 0);
}

// Turns the fractal into the escape-time fractal that stands for an old
// type (or a Fractint entry, type -1). Returns the type the key readers
// are to see: 4 counts as 3.
int ConvertOldType(Fractal* fractal, const EntryTypeScan& scan)
{
    int type = scan.type;
    const OldTypeFormulas* formulas = FormulasOfOldType(type);
    fractal->SetDefaults(FT_ESCAPETIME, 0);
    fractal->ChangeType(FT_ESCAPETIME, 0);
    EscapetimeParameters* b = static_cast<EscapetimeParameters*>(fractal->typeParameters);
    b->insideColouring.Density = 1.0;
    b->insideColouring.Accel = 1.0;
    b->outsideColouring.Accel = 1.0;
    b->insideColouring.Mapping = 1;
    b->outsideColouring.Mapping = 1;

    char file[64], name[64];
    lstrcpynA(file, formulas->file, sizeof file);
    lstrcpynA(name, formulas->name, sizeof name);
    bool fractintFormula = false;
    if (type == 4) {
        lstrcpynA(file, scan.formulaFile.c_str(), sizeof file);
        lstrcpynA(name, scan.formulaName.c_str(), sizeof name);
    } else if (type == -1) {
        if (scan.typeName == "FORMULA") {
            fractintFormula = true;
            lstrcpynA(file, scan.formulaFile.c_str(), sizeof file);
            lstrcpynA(name, scan.formulaName.c_str(), sizeof name);
            LocateFormulaEntry(file, name);
            std::string upper = file;
            for (char& c : upper)
                c = (char)toupper((unsigned char)c);
            if (upper.find(".FRM") != std::string::npos)
                file[0] = 0;
        } else {
            FormulaNameOfType(scan.typeName.c_str(), name, sizeof name);
        }
    }
    b->iteration.SetNames(file, name, nullptr);
    b->inside.SetNames(formulas->insideFile, formulas->insideName, nullptr);
    b->outside.SetNames(formulas->outsideFile, formulas->outsideName, nullptr);
    if (type == 5 || type == 7) {
        b->Passes = 0;
        b->Eliminate = 0;
    }
    FormulaSlot* slots[] = {&b->iteration, &b->inside, &b->outside};
    for (FormulaSlot* slot : slots) {
        slot->parameters.DeleteAllNodes();
        slot->functions.DeleteAllNodes();
    }
    LookupAndCompile(b->iteration, fractal, FT_ESCAPETIME, FK_ITERATION, FormulaSubKind(FT_ESCAPETIME));
    ApplyFormulaDefaults(b, fractal, 1, 1);
    if (type != 7)
        PrepareColouring(fractal, b->inside);
    if (type != 5)
        PrepareColouring(fractal, b->outside);

    NodeList* parameters = &b->iteration.parameters;
    if (type >= 0 && type <= 4)
        setSymbolReal(parameters, "fractaltype", type == 1 || type == 3 || type == 4 ? 1.0 : 0.0);
    if (type == 11 || type == 12)
        setSymbolReal(parameters, "fractaltype", type == 12 ? 1.0 : 0.0);
    if (type >= 0)
        setSymbolReal(parameters, "subtype", scan.subtype);
    if (fractintFormula)
        setSymbolReal(parameters, "bFractIntFix", 1.0);
    return type == 4 ? 3 : type;
}

// --- The frame of the items --------------------------------------------

// key=value split at the first '='; a value in double quotes loses them.
bool SplitItem(char* token, char** key, char** value)
{
    char* equals = strchr(token, '=');
    *key = token;
    if (!equals) {
        *value = token + strlen(token);
        return false;
    }
    *equals = 0;
    char* v = equals + 1;
    size_t n = strlen(v);
    if (n >= 2 && v[0] == '"' && v[n - 1] == '"') {
        v[n - 1] = 0;
        v++;
    }
    *value = v;
    return true;
}

struct OwnFormState {
    Fractal* fractal;
    int section = SEC_NONE;
    FormulaInstance* transformation = nullptr;
    AttractorFormula* map = nullptr;
    AttractorTransformation* pixelTransformation = nullptr;
    Layer* layer = nullptr;
    Fractal* previousLayerFractal = nullptr;
    int oldType;
    bool fractint;
    int mask;
    double version;
};

NodeList* TransformationList(Fractal* fractal)
{
    if (!fractal->typeParameters)
        return nullptr;
    if (fractal->header->Type == FT_ESCAPETIME)
        return &static_cast<EscapetimeParameters*>(fractal->typeParameters)->transformations;
    if (fractal->header->Type == FT_QUATERNION)
        return &static_cast<QuaternionParameters*>(fractal->typeParameters)->transformations;
    return nullptr;
}

// A section header of the own form: true when token is one for this type.
bool OwnSection(OwnFormState& s, const char* token)
{
    Fractal* f = s.fractal;
    int type = f->header->Type;
    bool escape = type == FT_ESCAPETIME, quaternion = type == FT_QUATERNION, attractor = type == FT_ATTRACTOR;
    if (_stricmp(token, "gradient:") == 0) {
        f->palette.ClearKnots(-1);
        s.section = SEC_GRADIENT;
    } else if (_stricmp(token, "alpha:") == 0) {
        f->alphaChannel.Clear();
        s.section = SEC_ALPHA;
    } else if (_stricmp(token, "transform:") == 0 && (escape || quaternion) && TransformationList(f)) {
        s.transformation = new FormulaInstance(f, "", "");
        TransformationList(f)->Append(s.transformation);
        s.section = SEC_TRANSFORM;
    } else if (_stricmp(token, "iteration:") == 0 && attractor && f->typeParameters) {
        s.map = new AttractorFormula();
        static_cast<AttractorParameters*>(f->typeParameters)->formulas.Append(s.map);
        s.pixelTransformation = nullptr;
        s.section = SEC_ITERATION;
    } else if (_stricmp(token, "pixeltransformation:") == 0 && attractor && s.map) {
        s.pixelTransformation = new AttractorTransformation(s.map);
        s.pixelTransformation->owner = f;
        s.map->transformations.Append(s.pixelTransformation);
        s.section = SEC_PIXELTRANSFORMATION;
    } else if (_stricmp(token, "layer:") == 0 && type == FT_LAYERED && f->typeParameters) {
        s.layer = new Layer();
        s.layer->opacity = 50.0;
        static_cast<LayeredParameters*>(f->typeParameters)->layers.Append(s.layer);
        s.section = SEC_LAYER;
    } else if (_stricmp(token, "formula:") == 0 && (escape || quaternion || attractor)) {
        s.section = SEC_FORMULA;
    } else if (_stricmp(token, "inside:") == 0 && (escape || quaternion || attractor)) {
        s.section = SEC_INSIDE;
    } else if (_stricmp(token, "outside:") == 0 && escape) {
        s.section = SEC_OUTSIDE;
    } else if (_stricmp(token, "dims:") == 0 && (escape || quaternion)) {
        s.section = SEC_DIMS;
    } else if (_stricmp(token, "dimensional:") == 0 && (quaternion || attractor)) {
        s.section = quaternion ? SEC_DIMENSIONAL : SEC_ATTRACTOR_DIMENSIONAL;
    } else if (_stricmp(token, "lighting:") == 0 && quaternion) {
        s.section = SEC_LIGHTING;
    } else {
        return false;
    }
    return true;
}

void InsertLayerFractal(Fractal* parent, Fractal* layerFractal, Fractal* previous)
{
    layerFractal->kind = NODE_KIND_LAYER;
    if (parent->folder)
        parent->folder->InsertLayerFractal(layerFractal, previous, parent);
}

// The text after "layerfractal:" (at position) up to the next "layer:"
// token or the closing brace is the layer fractal's entry without frame.
int ReadLayerFractal(OwnFormState& s, const char* body, int position)
{
    char token[LONG_TOKEN_CAPACITY];
    int end = position;
    for (;;) {
        int next = NextLongToken(body, token, end);
        if (next < 0 || token[0] == '}' || StartsWithNoCase(token, "LAYER:"))
            break;
        end = next;
    }
    if (!s.layer)
        return end;
    std::string text = "{\n" + std::string(body + position, end - position) + "\n}";
    Fractal* parent = s.fractal;
    Fractal* child = new Fractal();
    FractalModified(child) = FractalModified(parent);
    child->SetName(s.layer->name);
    child->baseFractal = parent;
    child->layer = s.layer;
    s.layer->fractal = child;
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back(0);
    ReadParameterEntry(child, buffer.data(), nullptr, false, -1, s.version);
    RebuildPalette(child);
    InsertLayerFractal(parent, child, s.previousLayerFractal);
    s.previousLayerFractal = child;
    return end;
}

void ReadOwnItem(OwnFormState& s, char* token)
{
    Fractal* f = s.fractal;
    char* key;
    char* value;
    SplitItem(token, &key, &value);
    if (strcmp(key, "version") == 0) {
        sscanf(value, "%lf", &s.version);
        return;
    }
    int type = f->header->Type;
    if ((s.section >= SEC_TRANSFORM && s.section <= SEC_PIXELTRANSFORMATION) || s.section == SEC_ALPHA) {
        ReadSectionKeys(f, s.section, s.transformation, key, value, s.layer, false, s.version);
        if (type == FT_QUATERNION)
            ReadQuaternionKeys(f, s.section, key, value);
        else if (type == FT_ATTRACTOR)
            ReadAttractorKeys(f, s.map, s.pixelTransformation, s.section, key, value);
        return;
    }
    if (s.section != SEC_NONE && s.section != SEC_DIMS)
        return;
    if (value[0] == '"')
        value++;
    size_t n = strlen(value);
    if (n > 0 && value[n - 1] == '"')
        value[n - 1] = 0;
    const ParameterDescriptor* table = GetParameterTable(type);
    if (ReadOldKeys(f, table, key, value, s.oldType, s.fractint, s.mask))
        return;
    if (f->typeParameters && ReadNamedValue(f->typeParameters, table, key, value))
        return;
    if (f->params3D && ReadNamedValue(f->params3D, GetDimsTable(), key, value))
        return;
    ReadKnotKey(f, s.section, key, value);
}

void ParseOwnForm(OwnFormState& s, const char* body)
{
    char token[LONG_TOKEN_CAPACITY];
    int position = 0;
    for (;;) {
        int next = NextLongToken(body, token, position);
        if (next < 0 || token[0] == '}')
            break;
        position = next;
        if (token[0] == '{')
            continue;
        if (_stricmp(token, "layerfractal:") == 0 && s.fractal->header->Type == FT_LAYERED) {
            position = ReadLayerFractal(s, body, position);
            continue;
        }
        if (OwnSection(s, token))
            continue;
        ReadOwnItem(s, token);
    }
}

// --- The layered form ----------------------------------------------------

struct LayeredFormState {
    Fractal* parent;
    int section = -1;
    Fractal* layerFractal = nullptr;
    Fractal* previousLayerFractal = nullptr;
    Layer* layer = nullptr;
    FormulaInstance* transformation = nullptr;
    double version;
};

void FinishLayer(LayeredFormState& s)
{
    Fractal* f = s.layerFractal;
    if (!f)
        return;
    RebuildPalette(f);
    f->alphaChannel.Resample();
    EscapetimeParameters* b = static_cast<EscapetimeParameters*>(f->typeParameters);
    if (b && !b->outside.fileName[0] && !b->outside.entryName[0]) {
        b->outside.SetNames("Spiralix.scl", "UF_None", nullptr);
        LookupAndCompile(b->outside, f, FT_ESCAPETIME, FK_COLORING, FormulaSubKind(FT_ESCAPETIME));
    }
    InsertLayerFractal(s.parent, f, s.previousLayerFractal);
    s.previousLayerFractal = f;
    s.layerFractal = nullptr;
}

void StartLayer(LayeredFormState& s)
{
    FinishLayer(s);
    Fractal* parent = s.parent;
    Fractal* f = new Fractal(FT_ESCAPETIME, 0);
    f->kind = NODE_KIND_LAYER;
    f->header->DisplayDepth = 24;
    f->header->Width = parent->header->Width;
    f->header->Height = parent->header->Height;
    FractalModified(f) = FractalModified(parent);
    static_cast<EscapetimeParameters*>(f->typeParameters)->Eliminate = 2;
    Layer* layer = new Layer();
    layer->opacity = 100.0;
    layer->SetName(f->name);
    layer->fractal = f;
    f->layer = layer;
    f->baseFractal = parent;
    if (parent->typeParameters)
        static_cast<LayeredParameters*>(parent->typeParameters)->layers.Append(layer);
    s.layerFractal = f;
    s.layer = layer;
    s.transformation = nullptr;
}

// A section name of the layered form at the start of token, or -1.
bool LayeredSection(LayeredFormState& s, const char* token)
{
    static const struct {
        const char* name;
        int code;
        bool needsLayer;
    } kSections[] = {
        {"fractal:", SEC_FRACTAL, false},       {"layer:", SEC_IMPORTED_LAYER, false},
        {"mapping:", SEC_MAPPING, false},       {"gradient:", SEC_IMPORTED_GRADIENT, true},
        {"alpha:", SEC_ALPHA, true},            {"opacity:", SEC_ALPHA, true},
        {"transform:", SEC_TRANSFORM, true},    {"formula:", SEC_FORMULA, true},
        {"inside:", SEC_INSIDE, true},          {"outside:", SEC_OUTSIDE, true},
        {"dimensional:", SEC_DIMENSIONAL, true}, {"lighting:", SEC_LIGHTING, true},
    };
    for (const auto& row : kSections) {
        if (!StartsWithNoCase(token, row.name))
            continue;
        if (row.needsLayer && !s.layerFractal)
            return true;  // skipped: its items count to the section before
        s.section = row.code;
        if (row.code == SEC_IMPORTED_LAYER) {
            StartLayer(s);
        } else if (row.code == SEC_TRANSFORM) {
            NodeList* list = TransformationList(s.layerFractal);
            s.transformation = new FormulaInstance(s.layerFractal, "<empty>", "");
            if (list)
                list->Append(s.transformation);
        } else if (row.code == SEC_IMPORTED_GRADIENT) {
            s.layerFractal->palette.ClearKnots(-1);
            s.layerFractal->palette.knotmode = KNOTMODE_ALL;
        } else if (row.code == SEC_ALPHA) {
            s.layerFractal->alphaChannel.Clear();
        }
        return true;
    }
    return false;
}

void ParseLayeredForm(LayeredFormState& s, const char* body)
{
    char token[LONG_TOKEN_CAPACITY];
    int position = 0;
    for (;;) {
        int next = NextLongToken(body, token, position);
        if (next < 0 || token[0] == '}')
            break;
        position = next;
        if (token[0] == '{' || LayeredSection(s, token))
            continue;
        char* key;
        char* value;
        if (!SplitItem(token, &key, &value) || s.section < 0)
            continue;
        if (s.section == SEC_FRACTAL)
            ReadOldKeys(s.parent, nullptr, key, value, FT_ESCAPETIME, false, -1);
        else if (s.section == SEC_MAPPING && !s.layerFractal)
            continue;
        else
            ReadSectionKeys(s.layerFractal ? s.layerFractal : s.parent, s.section, s.transformation, key, value,
                            s.layer, true, s.version);
    }
    FinishLayer(s);
}

// --- Steps after the items ----------------------------------------------

void CommentIntoTemplate(Fractal* f)
{
    const char* templateText = f->commentTemplate ? (const char*)f->commentTemplate->GetData() : nullptr;
    if (!f->commentLines || !f->commentLines[0] || (templateText && templateText[0]))
        return;
    SetBufferText(f->commentTemplate, f->commentLines);
    f->ExpandCommentTemplate();
    free(f->commentLines);
    f->commentLines = nullptr;
}

void AddUnknownArtist(Fractal* f)
{
    if (!f->credits.GetHead() && !f->baseFractal)
        f->credits.Append(new CreditEntry("Unknown Artist", 0, 0, 0, 0, 0));
}

// Quaternion entries of older versions knew neither light positions nor
// some of today's rendering settings.
void UpgradeOldQuaternion(Fractal* f, double version)
{
    QuaternionParameters* q = static_cast<QuaternionParameters*>(f->typeParameters);
    if (!q)
        return;
    if (version <= 3.1 + 1e-9)
        q->aspectRatio = 0.8;
    if (version > 3.99 + 1e-9)
        return;
    const double degree = 3.14159265358979323846 / 180.0;
    double h = q->lightAngleH * degree, v = q->lightAngleV * degree;
    q->roughness = 0;
    q->flipObject = 1;
    q->LightModel = 1;
    q->saturation[0] = 0;
    q->lights.position[0][0] = sin(h) * cos(v) * 1000.0;
    q->lights.position[0][1] = sin(v) * 1000.0;
    q->lights.position[0][2] = -cos(h) * cos(v) * 1000.0;
    double sum = q->lights.ambient[0] + q->lights.diffuse[0];
    if (sum != 0) {
        q->lights.ambient[0] /= sum;
        q->lights.diffuse[0] /= sum;
    }
}

void FinishOwnForm(Fractal* f, int oldType, bool converted, double version)
{
    if (converted && oldType <= 4 && f->typeParameters) {
        EscapetimeParameters* b = static_cast<EscapetimeParameters*>(f->typeParameters);
        double smooth = 0;
        if (getSymbolReal(&b->inside.parameters, "smooth", &smooth) && smooth > 0.5) {
            b->insideColouring.Mapping = 0;
            uint8_t* solid = b->insideColouring.SolidColor;
            solid[0] = solid[1] = solid[2] = 0;
        }
    }
    CommentIntoTemplate(f);
    AddUnknownArtist(f);
    f->alphaChannel.Resample();
    if (f->params3D && f->params3D->ControlPointList) {
        CurveKnot* first = AsKnot(f->params3D->ControlPointList->GetHead());
        f->params3D->firstSelected = first;
        if (first)
            first->selected = 1;
    }
    if (f->header->Type == FT_QUATERNION)
        UpgradeOldQuaternion(f, version);
    if (f->header->Type == FT_LAYERED && f->typeParameters) {
        LayeredParameters* block = static_cast<LayeredParameters*>(f->typeParameters);
        for (ListNode* n = block->layers.GetHead(); n;) {
            Layer* layer = static_cast<Layer*>(n);
            n = n->next;
            if (!layer->fractal)
                RemoveLayer(block, layer, 1);
        }
    }
    RebuildPalette(f);
}

// The fractal's name, or the one its entry gives when it has none yet.
std::string NameForMessages(Fractal* fractal, const char* text, const char* open)
{
    return fractal->name[0] ? std::string(fractal->name) : EntryNameBeforeBrace(text, (int)(open - text), nullptr);
}

}  // namespace

Fractal* ReadParameterEntry(Fractal* fractal, char* text, char* folderName, bool keepType, int mask,
                            double versionOverride)
{
    if (!fractal || !text)
        return nullptr;
    double version = versionOverride > 0 ? versionOverride : 4.0;
    JoinContinuedLines(text);
    const char* open = FindUncommentedUnquoted(text, '{');
    const char* close = open ? FindUncommentedUnquoted(open + 1, '}') : nullptr;
    if (!close)
        return nullptr;
    std::string body, comment;
    SplitComments(open, (int)(close - open) + 1, body, comment);
    bool hasComment = false;
    for (char c : comment)
        hasComment = hasComment || (unsigned char)c > ' ';

    EntryTypeScan scan;
    if (keepType) {
        scan.type = fractal->header->Type;
        scan.subtype = fractal->header->Subtype;
    } else {
        scan = ScanEntryType(body.c_str());
        // The old compound type and the unnamed numbers have no block here.
        if (scan.unknownType || scan.type == 13 || scan.type == 19 || scan.type == 20) {
            char message[300];
            snprintf(message, sizeof message, "Unknown type in entry %s: %s  (Fractal not loaded)",
                     NameForMessages(fractal, text, open).c_str(), scan.typeName.c_str());
            AddWarningMessage(message);
            FractalModified(fractal) = 1;
            if (fractal->folder)
                fractal->folder->int2 = 1;
            return nullptr;
        }
    }
    std::string decoded;
    if (scan.compressed) {
        // The first token is "::..."; the block starts at it.
        const char* block = open + 1;
        while (*block && (unsigned char)*block <= ' ')
            block++;
        char* inflated = DecodeCompressedBlock(block);
        if (!inflated) {
            std::string name = NameForMessages(fractal, text, open);
            AddWarningMessage(("The compressed entry " + name + " cannot be decoded  (Fractal not loaded)").c_str());
            return nullptr;
        }
        decoded = std::string("{\r\n") + inflated;
        free(inflated);
    }

    // The layers of a layered fractal read again go first: they sit behind
    // it in its folder, and the links kept below must not name them.
    if (fractal->header->Type == FT_LAYERED)
        fractal->FreeFormulas();
    char keptName[ListNode::NODE_NAME_SIZE];
    lstrcpynA(keptName, fractal->name, sizeof keptName);
    ListNode* keptNext = fractal->next;
    ListNode* keptPrev = fractal->prev;
    char* keptPending = fractal->pendingEntryText;

    int oldType = scan.type;
    bool converted = false;
    if (!keepType && FormulasOfOldType(scan.type)) {
        oldType = ConvertOldType(fractal, scan);
        converted = true;
    } else if (!keepType) {
        fractal->SetDefaults(scan.type, scan.subtype);
        fractal->ChangeType(scan.type, scan.subtype);
    } else {
        fractal->ChangeType(fractal->header->Type, fractal->header->Subtype);
    }
    if (!keepType) {
        SetBufferText(fractal->commentTemplate, "");
        SetBufferText(fractal->commentText, "");
        fractal->ClearCredits();
        free(fractal->commentLines);
        fractal->commentLines = hasComment ? _strdup(comment.c_str()) : nullptr;
    }
    if (fractal->header->Type == FT_ATTRACTOR && fractal->typeParameters)
        static_cast<AttractorParameters*>(fractal->typeParameters)->formulas.DeleteAllNodes();

    fractal->SetName(keptName);
    fractal->next = keptNext;
    fractal->prev = keptPrev;
    fractal->pendingEntryText = keptPending;
    if (!fractal->name[0]) {
        std::string folder;
        std::string name = EntryNameBeforeBrace(text, (int)(open - text), folderName ? &folder : nullptr);
        fractal->SetName(name.c_str());
        if (folderName)
            lstrcpynA(folderName, folder.c_str(), 64);
    }

    if (scan.layered) {
        LayeredFormState s;
        s.parent = fractal;
        s.version = version;
        ParseLayeredForm(s, scan.compressed ? decoded.c_str() : body.c_str());
        RebuildPalette(fractal);
        CommentIntoTemplate(fractal);
        AddUnknownArtist(fractal);
        return fractal;
    }
    OwnFormState s;
    s.fractal = fractal;
    s.oldType = oldType;
    s.fractint = scan.fractint;
    s.mask = mask;
    s.version = version;
    ParseOwnForm(s, body.c_str());
    FinishOwnForm(fractal, oldType, converted, s.version);
    return fractal;
}
