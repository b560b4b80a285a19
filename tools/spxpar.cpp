// spxpar: fractals of the document model on the command line.
//
//   spxpar new --type TYPE [--type TYPE ...] [--path DIRS] [--copy] [OUT]
//   spxpar view --type TYPE [--path DIRS] [operations ...]
//   spxpar view FILE --entry NAME [--path DIRS] [operations ...]
//   spxpar dump FILE [--entry NAME] [--path DIRS]
//   spxpar rewrite IN OUT [--path DIRS]
//   spxpar bench
//
// new makes a fractal of TYPE (a type name of the parameter entries, any
// case: Plasma, Dynamic_System, LSystem, IFS, Escapetime, Layered_Fractal,
// Quaternion, Image, Attractor) and dumps it; with --copy it dumps a copy
// made from it after the original was deleted; with OUT it writes the
// fractal's parameter entry into the file OUT instead. Several --type
// options make one fractal of each type in turn. --path loads the
// formula folders of a ";"-separated search path first; without it the
// built-in default formulas are used.
//
// dump reads every entry of a parameter file (or only the one named) into
// one folder and dumps each; the reader's messages go to standard error.
// An entry the reader refuses is named on standard error and the exit code
// is 1; a missing file or entry gives 2. rewrite reads every entry of IN and
// saves them all into OUT as the folder save does.
//
// view makes the fractal and applies the operations in the order given:
//   --size WxH            image size
//   --corners TLR,TLI,BRR,BRI[,TRR,TRI]   decimal texts; six set Stretch 1
//   --angle DEG  --rotate X,Y  --center-mag CX,CY,MAG,XMAG,ROT,SKEW
//   --aspect              match the view's height to the image
//   --pixel X,Y           prints point=RE,IM (y counted up from the bottom)
//   --zoom X,Y,F          Fractal::ZoomAt (column from the left, row from the top)
//   --click X,Y,F         Fractal::Zoom without animation
//   --box X1,Y1,X2,Y2     Fractal::ZoomToBox into that shown box
//   --box-out X1,Y1,X2,Y2 Fractal::ZoomToBox out of it
//   --move DX,DY          Fractal::Move (DX, DY, 1); prints passlimit=N
//   --calculated          every value of the task's value buffer becomes 1.0
//   --undo  --redo        DoUndo
//   --undosteps N         the Undosteps setting, set before anything is recorded
// The fractal gets a task without window or thread (zeroed buffers of its
// size, made again after --size) and first records "###Starting point", as
// selecting it does. At the end view prints the view rows as the dump does
// and V0=, V1=, V2= (the displayed top-left, top-right and bottom-right
// corners); for a quaternion the observer, the viewpoint and the clipping
// planes; then undo=NAME|NAME|... (the steps, oldest first) and cursor=K
// (1-based, 0 for none).
//
// bench chains 200 zooms by 3 at an off-centre pixel and prints the time
// per zoom of the first and of the last ten.
//
// The dump: entry=NAME, the header under its entry keys, Creator, credits,
// commentTemplate and comment (line ends as \n), every parameter-table row
// that holds a value under its key (a repeated key gets #2, #3), the 3D
// settings as dims.KEY and dims.knots, the formula slots, gradient and
// alpha channel, and the layers with their fractals' lines prefixed
// layerN. Numbers print with %.10g, arbitrary-precision numbers in full.
// Bad arguments: a message on standard error, exit code 2.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "app/ServiceBindings.h"
#include "calc/FormulaInstance.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Grammar.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/ParameterTables.h"
#include "document/QuaternionParameters.h"
#include "document/ViewGeometry.h"
#include "document/Layer.h"
#include "foundation/Buffers.h"
#include "foundation/CrtFormat.h"
#include "foundation/bignum/Apm.h"
#include "formulas/FormulaLoader.h"
#include "fractals/AttractorFormula.h"
#include "compiler/EnumValues.h"
#include "foundation/MessageBox.h"
#include "view3d/Parameters3D.h"
#include "document/FractalFolder.h"
#include "files/entry/EntryHead.h"
#include "files/entry/EntryReader.h"
#include "files/entry/EntryWriter.h"
#include "files/entry/ParameterFile.h"
#include "foundation/Messages.h"
#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "document/Undo.h"

namespace {

const char* const kTypeNames[] = {
    "Julia24", "Mandel24", "Julia", "Mandel", "Formula", "Lyapunov", "Plasma", "Bifurcation", "Dynamic_System",
    "LSystem", "IFS", "Tiera_Julia", "Tiera_Mandel", "Compound", "Escapetime", "Layered_Fractal", "Quaternion",
    "Image", "Attractor", "Unknown_19", "Unknown_20",
};
const int kTypeCount = sizeof kTypeNames / sizeof kTypeNames[0];

int Fail(const char* format, const char* detail = "")
{
    fprintf(stderr, "spxpar: ");
    fprintf(stderr, format, detail);
    fprintf(stderr, "\n");
    return 2;
}

int Usage()
{
    fprintf(stderr,
            "usage: spxpar new --type TYPE [--type TYPE ...] [--path DIRS] [--copy] [OUT]\n"
            "       spxpar dump FILE [--entry NAME] [--path DIRS]\n"
            "       spxpar rewrite IN OUT [--path DIRS]\n"
            "       spxpar view --type TYPE [--path DIRS] [--size WxH] [--corners TLR,TLI,BRR,BRI[,TRR,TRI]]\n"
            "                   [--angle DEG] [--rotate X,Y] [--center-mag CX,CY,MAG,XMAG,ROT,SKEW] [--aspect]\n"
            "                   [--pixel X,Y] [--zoom X,Y,F] [--click X,Y,F] [--box X1,Y1,X2,Y2]\n"
            "                   [--box-out X1,Y1,X2,Y2] [--move DX,DY] [--calculated] [--undo] [--redo]\n"
            "                   [--undosteps N] ...\n"
            "       spxpar bench\n");
    return 2;
}

int PrintBox(UINT, const char* title, const char* text)
{
    printf("[box] %s: %s\n", title ? title : "", text ? text : "");
    return IDOK;
}

std::string Number(double v)
{
    char text[64];
    CrtFormat(text, sizeof text, "%.10g", v);
    return text;
}

std::string FullDecimal(const BigNumber& v)
{
    int digits = v.SignificantDigits();
    std::vector<char> text(FormatBigNumberSize(v, digits) + 2);
    FormatBigNumber(v, text.data(), digits);
    return text.data();
}

std::string Escaped(const char* text)
{
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == '\n')
            out += "\\n";
        else if (*p != '\r')
            out += *p;
    }
    return out;
}

std::string BufferText(const GrowBuffer* b)
{
    return b && b->GetData() ? (const char*)b->GetData() : "";
}

// Lines of one fractal, each "key=value"; prefixes are added by the caller.
class Dump {
public:
    void Line(const std::string& key, const std::string& value) { lines.push_back(key + "=" + value); }
    void Int(const std::string& key, int v) { Line(key, std::to_string(v)); }
    void Double(const std::string& key, double v) { Line(key, Number(v)); }
    void Add(const Dump& other, const std::string& prefix)
    {
        for (const std::string& l : other.lines)
            lines.push_back(prefix + l);
    }
    std::vector<std::string> lines;
};

// One field of a block in the dump's format; false for rows without value.
bool FieldText(const ParameterDescriptor& row, const uint8_t* field, std::string& out)
{
    switch (row.valueType) {
    case PT_DOUBLE: { double v; memcpy(&v, field, 8); out = Number(v); return true; }
    case PT_INT:
    case PT_CHOICE: { int32_t v; memcpy(&v, field, 4); out = std::to_string(v); return true; }
    case PT_BYTE: out = std::to_string(field[0]); return true;
    case PT_BIGNUMBER: out = FullDecimal(*reinterpret_cast<const BigNumber*>(field)); return true;
    case PT_RGBA:
        out = std::to_string(field[0]) + "/" + std::to_string(field[1]) + "/" + std::to_string(field[2]) + "/" +
              std::to_string(field[3]);
        return true;
    case PT_RGB:
        out = std::to_string(field[0]) + "/" + std::to_string(field[1]) + "/" + std::to_string(field[2]);
        return true;
    case PT_TEXT:
        if (row.subKind == -1)
            return false;   // the formula holder's pointer
        out = std::string((const char*)field, strnlen((const char*)field, row.size));
        return true;
    default: return false;
    }
}

void DumpTable(Dump& d, const ParameterDescriptor* table, const void* block, const std::string& prefix,
               int rowLimit = -1)
{
    std::map<std::string, int> seen;
    const uint8_t* field = (const uint8_t*)block;
    for (int i = 0; table[i].valueType != PT_END && (rowLimit < 0 || i < rowLimit); ++i) {
        const ParameterDescriptor& row = table[i];
        std::string value;
        if (row.key && row.key[0] && FieldText(row, field, value)) {
            int n = ++seen[row.key];
            std::string key = prefix + row.key + (n > 1 ? "#" + std::to_string(n) : "");
            d.Line(key, value);
        }
        field += DescriptorFieldWidth(row);
    }
}

std::string Format16(const char* format, const double* v)
{
    char text[200];
    CrtFormat(text, sizeof text, format, v[0], v[1], v[2], v[3]);
    return text;
}

// The p_ and f_ items of a slot's stored values as the entry writer makes them.
void DumpParameters(Dump& d, const std::string& slot, const NodeList& parameters, const NodeList& functions)
{
    for (ListNode* n = parameters.GetHead(); n; n = n->next) {
        const FormulaSymbol* s = static_cast<const FormulaSymbol*>(n);
        if (s->symbolClass != SYM_PARAMETER || s->dataType == DT_SEPARATOR)
            continue;
        std::string key = slot + ".p_" + s->name;
        const double* v = s->value;
        switch (s->dataType) {
        case DT_COMPLEX: d.Line(key, Format16("%.16lg/%.16lg", v)); break;
        case DT_REAL: d.Line(key, Format16("%.16lg", v)); break;
        case DT_INT:
        case DT_BOOL: {
            char name[200];
            if (s->dataType == DT_INT && s->enumList &&
                EnumListLength(s->enumList->GetData(), s->enumList->GetCapacity()) > 4) {
                if (GetEnumText(s->enumList->GetData(), (int)v[0], name, sizeof name))
                    d.Line(key, std::string("\"") + name + "\"");
            } else {
                d.Int(key, (int)v[0]);
            }
            break;
        }
        case DT_QUATERNION: d.Line(key, Format16("%.16lg/%.16lg/%.16lg/%.16lg", v)); break;
        case DT_ARRAY:
        case DT_PREDEFINED_ARRAY:
            if (s->enumList && s->enumList->GetData() && *(const char*)s->enumList->GetData())
                d.Line(key, std::string("\"") + (const char*)s->enumList->GetData() + "\"");
            break;
        case DT_COLOR: d.Line(key, Format16("%.4lg/%.4lg/%.4lg/%.4lg", v)); break;
        case DT_VECTOR: d.Line(key, Format16("%.16lg/%.16lg/%.16lg", v)); break;
        default: break;
        }
    }
    for (ListNode* n = functions.GetHead(); n; n = n->next) {
        const FormulaFuncParameter* f = static_cast<const FormulaFuncParameter*>(n);
        bool merge = f->functionTable == 1;
        int count = merge ? MERGE_FUNCTION_COUNT : MATH_FUNCTION_COUNT;
        const FunctionTableEntry* table = merge ? g_MergeFunctions : g_MathFunctions;
        if (f->selected >= 0 && f->selected < count)
            d.Line(slot + ".f_" + f->name, table[f->selected].name);
    }
}

void DumpFormula(Dump& d, const std::string& slot, const char* file, const char* entry, const char* found,
                 const FormulaHolder* holder, const NodeList& parameters, const NodeList& functions)
{
    d.Line(slot, std::string(file) + ":" + entry);
    d.Line(slot + ".found", found);
    d.Int(slot + ".compiled", holder && holder->word ? 1 : 0);
    DumpParameters(d, slot, parameters, functions);
}

void DumpSlot(Dump& d, const std::string& slot, const FormulaSlot& s)
{
    DumpFormula(d, slot, s.fileName, s.entryName, s.foundName, s.holder, s.parameters, s.functions);
}

void DumpTransformations(Dump& d, const NodeList& list)
{
    int index = 0;
    for (ListNode* n = list.GetHead(); n; n = n->next, ++index) {
        const FormulaInstance* t = static_cast<const FormulaInstance*>(n);
        std::string slot = "transform" + std::to_string(index);
        DumpFormula(d, slot, t->fileName, t->entryName, t->name, t->holder, t->parameters, t->functions);
        d.Int(slot + ".enabled", t->active);
    }
}

void DumpAttractorFormulas(Dump& d, const NodeList& formulas)
{
    int index = 0;
    for (ListNode* n = formulas.GetHead(); n; n = n->next, ++index) {
        const AttractorFormula* f = static_cast<const AttractorFormula*>(n);
        std::string map = "map" + std::to_string(index);
        d.Double(map + ".weight", f->weight);
        d.Int(map + ".color", f->colour);
        d.Int(map + ".hide", f->flags);
        int k = 0;
        for (ListNode* tn = f->transformations.GetHead(); tn; tn = tn->next, ++k) {
            const AttractorTransformation* t = static_cast<const AttractorTransformation*>(tn);
            std::string slot = map + ".transform" + std::to_string(k);
            DumpFormula(d, slot, t->fileName, t->entryName, t->foundName, t->holder, t->parameters, t->functions);
            d.Int(slot + ".post", t->final);
            d.Int(slot + ".hide", t->hidden);
        }
    }
}

std::string Knots(const NodeList& knots)
{
    std::string out;
    for (ListNode* n = knots.GetHead(); n; n = n->next) {
        const CurveKnot* k = static_cast<const CurveKnot*>(n);
        out += (out.empty() ? "" : " ") + Number(k->x) + ":" + Number(k->y);
    }
    return out;
}

Dump DumpFractal(const Fractal* f);

void DumpLayers(Dump& d, const LayeredParameters* block)
{
    int index = 0;
    for (ListNode* n = block->layers.GetHead(); n; n = n->next, ++index) {
        const Layer* layer = static_cast<const Layer*>(n);
        std::string p = "layer" + std::to_string(index);
        d.Line(p + ".caption", layer->name);
        d.Int(p + ".mergemode", layer->mergeMode);
        d.Double(p + ".opacity", layer->opacity);
        d.Int(p + ".visible", layer->visible);
        d.Int(p + ".mask", layer->mask);
        d.Int(p + ".usesAlpha", layer->usesAlpha);
        d.Double(p + ".leftoffset", layer->leftOffset);
        d.Double(p + ".bottomoffset", layer->bottomOffset);
        if (layer->fractal)
            d.Add(DumpFractal(layer->fractal), p + ".");
    }
}

std::string TypeName(int type)
{
    return type >= 0 && type < kTypeCount ? kTypeNames[type] : std::to_string(type);
}

Dump DumpFractal(const Fractal* f)
{
    Dump d;
    const FractalHeader& h = *f->header;
    d.Line("entry", f->name);
    d.Line("Type", TypeName(h.Type));
    d.Int("Subtype", h.Subtype);
    d.Int("Width", h.Width);
    d.Int("Height", h.Height);
    d.Int("Dims", h.Dims);
    d.Int("ColCyc", h.ColCyc);
    d.Int("ColCycUp", h.ColCycUp);
    d.Double("ColCycSpeed", h.ColCycSpeed);
    d.Double("ColCycStep", h.ColCycStep);
    d.Double("NumFrames", f->key);
    d.Double("PalOffset", f->palette.offset);
    d.Int("WinWidth", h.WinWidth);
    d.Int("WinHeight", h.WinHeight);
    d.Int("Scrollbar", h.Scrollbar);
    d.Int("DisplayDepth", h.DisplayDepth);
    d.Line("Creator", BufferText(h.Author));
    std::string credits;
    for (ListNode* n = f->credits.GetHead(); n; n = n->next) {
        const CreditEntry* c = static_cast<const CreditEntry*>(n);
        char text[300];
        snprintf(text, sizeof text, "%s;%d/%d/%d/%d/%d;", c->author, c->month, c->day, c->year, c->hour,
                 c->minute);
        credits += text;
    }
    if (!credits.empty())
        d.Line("credits", "\"" + credits.substr(0, credits.size() - 1) + "\"");
    d.Line("commentTemplate", Escaped(BufferText(f->commentTemplate).c_str()));
    d.Line("comment", Escaped(BufferText(f->commentText).c_str()));

    if (f->typeParameters)
        DumpTable(d, GetParameterTable(h.Type), f->typeParameters, "");
    if (f->params3D) {
        DumpTable(d, GetDimsTable(), f->params3D, "dims.");
        d.Line("dims.knots", f->params3D->ControlPointList ? Knots(*f->params3D->ControlPointList) : "");
    }

    switch (f->typeParameters ? h.Type : -1) {
    case FT_ESCAPETIME: {
        const EscapetimeParameters* b = static_cast<const EscapetimeParameters*>(f->typeParameters);
        DumpSlot(d, "iteration", b->iteration);
        DumpSlot(d, "inside", b->inside);
        DumpSlot(d, "outside", b->outside);
        DumpTransformations(d, b->transformations);
        break;
    }
    case FT_QUATERNION: {
        const QuaternionParameters* b = static_cast<const QuaternionParameters*>(f->typeParameters);
        DumpSlot(d, "iteration", b->iteration);
        DumpSlot(d, "coloring", b->colouring);
        DumpTransformations(d, b->transformations);
        break;
    }
    case FT_ATTRACTOR: {
        const AttractorParameters* b = static_cast<const AttractorParameters*>(f->typeParameters);
        DumpSlot(d, "coloring", b->colouring);
        DumpAttractorFormulas(d, b->formulas);
        break;
    }
    default: break;
    }

    const Palette& p = f->palette;
    d.Int("gradient.smooth", p.smooth);
    d.Int("gradient.colormodel", p.colormodel);
    d.Int("gradient.knotmode", p.knotmode);
    d.Int("gradient.dragknotmode", p.dragknotmode);
    d.Double("gradient.offset", p.offset);
    for (int c = 0; c < 3; ++c)
        d.Line("gradient.knots" + std::to_string(c), Knots(p.knots[c]));
    const AlphaChannel& a = f->alphaChannel;
    d.Int("alpha.smooth", a.smooth);
    d.Int("alpha.dragknotmode", a.dragknotmode);
    d.Double("alpha.offset", a.offset);
    d.Line("alpha.points", Knots(a.points));

    if (h.Type == FT_LAYERED && f->typeParameters)
        DumpLayers(d, static_cast<const LayeredParameters*>(f->typeParameters));
    return d;
}

void Print(const Dump& d)
{
    for (const std::string& l : d.lines)
        printf("%s\n", l.c_str());
}

int ParseType(const char* name)
{
    for (int i = 0; i < kTypeCount; ++i)
        if (_stricmp(name, kTypeNames[i]) == 0)
            return i;
    return -1;
}

void LoadSearchPath(const char* list)
{
    std::string folders, rest = list;
    while (!rest.empty()) {
        size_t semicolon = rest.find(';');
        std::string folder = rest.substr(0, semicolon);
        rest = semicolon == std::string::npos ? std::string() : rest.substr(semicolon + 1);
        if (folder.empty())
            continue;
        char full[MAX_PATH];
        DWORD n = GetFullPathNameA(folder.c_str(), sizeof full, full, nullptr);
        if (n > 0 && n < sizeof full)
            folder = full;
        ScanFormulaFolder(folder.c_str(), folder.c_str());
        folders += folders.empty() ? folder : ";" + folder;
    }
    SetCompilerFormulaPath(folders.c_str());
}

// Splits "a,b,c" into exactly count pieces (or count2 when given).
bool SplitList(const char* text, std::vector<std::string>& parts, size_t count, size_t count2 = 0)
{
    parts.clear();
    std::string rest = text;
    for (;;) {
        size_t comma = rest.find(',');
        parts.push_back(rest.substr(0, comma));
        if (comma == std::string::npos)
            break;
        rest = rest.substr(comma + 1);
    }
    for (const std::string& p : parts)
        if (p.empty())
            return false;
    return parts.size() == count || (count2 && parts.size() == count2);
}

bool ParseDouble(const std::string& text, double& value)
{
    char* end = nullptr;
    value = strtod(text.c_str(), &end);
    return end && *end == 0 && end != text.c_str();
}

// A decimal text as the parameter reader takes it; refuses what is no number.
bool ParseBig(const std::string& text, BigNumber& value)
{
    double check;
    if (!ParseDouble(text, check))
        return false;
    value = BigNumber(text.c_str());
    return true;
}

void PrintViewRows(const Fractal* f)
{
    Dump d;
    DumpTable(d, GetParameterTable(f->header->Type), f->typeParameters, "", 18);
    BigNumber x[3], y[3];
    f->GetViewCorners(x, y);
    for (int i = 0; i < 3; ++i)
        d.Line("V" + std::to_string(i), FullDecimal(x[i]) + "," + FullDecimal(y[i]));
    if (f->header->Type == FT_QUATERNION) {
        const QuaternionParameters* q = static_cast<const QuaternionParameters*>(f->typeParameters);
        const struct {
            const char* key;
            double value;
        } camera[] = {
            {"Obs_x", q->Obs_x}, {"Obs_y", q->Obs_y}, {"Obs_z", q->Obs_z},
            {"Viewpoint_x", q->Viewpoint_x}, {"Viewpoint_y", q->Viewpoint_y}, {"Viewpoint_z", q->Viewpoint_z},
            {"frontClippingPlane", q->frontClippingPlane}, {"backClippingPlane", q->backClippingPlane},
        };
        for (const auto& c : camera) {
            char text[64];
            CrtFormat(text, sizeof text, "%.17g", c.value);
            d.Line(c.key, text);
        }
    }
    std::string names;
    int cursor = 0, index = 0;
    for (ListNode* n = f->undoSteps.GetHead(); n; n = n->next) {
        names += (index ? "|" : "") + std::string(n->name);
        ++index;
        if (n == f->undoCursor)
            cursor = index;
    }
    d.Line("undo", names);
    d.Int("cursor", cursor);
    Print(d);
}

// Four or three integers (or numbers) of an operation's value.
bool ParseInts(const char* text, int* out, size_t count)
{
    std::vector<std::string> parts;
    if (!SplitList(text, parts, count))
        return false;
    for (size_t k = 0; k < count; ++k) {
        char* end = nullptr;
        long v = strtol(parts[k].c_str(), &end, 10);
        if (!end || *end)
            return false;
        out[k] = (int)v;
    }
    return true;
}

// --zoom and --click: column, row and factor.
bool ParseZoom(const char* text, int& col, int& row, double& factor)
{
    std::vector<std::string> parts;
    int pixel[2];
    if (!SplitList(text, parts, 3) || !ParseInts((parts[0] + "," + parts[1]).c_str(), pixel, 2) ||
        !ParseDouble(parts[2], factor) || !(factor > 0))
        return false;
    col = pixel[0];
    row = pixel[1];
    return true;
}

// The operations of view, applied in order; 0 when done, else the exit code.
int ApplyViewOperations(Fractal* f, int argc, char** argv, int first)
{
    ViewParameters* v = f->typeParameters;
    for (int i = first; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--undosteps") == 0)
            g_UndoSteps = atoi(argv[i + 1]);
    AddUndoStep(f, "###Starting point");
    for (int i = first; i < argc; ++i) {
        const char* a = argv[i];
        bool hasValue = i + 1 < argc;
        std::vector<std::string> parts;
        if (strcmp(a, "--aspect") == 0) {
            f->AdjustAspectRatio();
        } else if (strcmp(a, "--calculated") == 0) {
            FractalTask* t = AttachBareTask(f);
            if (!t)
                return Fail("no buffers for %s", a);
            size_t cells = (size_t)f->GetBufferWidth() * f->header->Height;
            for (size_t k = 0; k < cells; ++k)
                t->values[k] = 1.0f;
        } else if (strcmp(a, "--undo") == 0 || strcmp(a, "--redo") == 0) {
            DoUndo(f, strcmp(a, "--redo") == 0);
        } else if (strcmp(a, "--undosteps") == 0 && hasValue) {
            ++i;   // set before the starting point was recorded
        } else if (strcmp(a, "--path") == 0 && hasValue) {
            ++i;   // loaded before the fractal was made
        } else if (!hasValue) {
            return Fail("missing value or unknown option %s", a);
        } else if (strcmp(a, "--size") == 0) {
            int w = 0, h = 0;
            char tail = 0;
            if (sscanf(argv[++i], "%dx%d%c", &w, &h, &tail) != 2 || w <= 0 || h <= 0)
                return Fail("bad size %s", argv[i]);
            FreeBareTask(f);   // made again for the new size
            f->header->Width = w;
            f->header->Height = h;
        } else if (strcmp(a, "--corners") == 0) {
            if (!SplitList(argv[++i], parts, 4, 6))
                return Fail("--corners takes four or six numbers: %s", argv[i]);
            BigNumber c[6];
            for (size_t k = 0; k < parts.size(); ++k)
                if (!ParseBig(parts[k], c[k]))
                    return Fail("bad number %s", parts[k].c_str());
            v->TopLeftR = c[0];
            v->TopLeftI = c[1];
            v->BottomRightR = c[2];
            v->BottomRightI = c[3];
            if (parts.size() == 6) {
                v->TopRightR = c[4];
                v->TopRightI = c[5];
                v->Stretch = 1;
            }
        } else if (strcmp(a, "--angle") == 0) {
            if (!ParseDouble(argv[++i], v->Angle))
                return Fail("bad angle %s", argv[i]);
        } else if (strcmp(a, "--rotate") == 0) {
            if (!SplitList(argv[++i], parts, 2) || !ParseDouble(parts[0], v->RotateX) ||
                !ParseDouble(parts[1], v->RotateY))
                return Fail("--rotate takes X,Y: %s", argv[i]);
        } else if (strcmp(a, "--center-mag") == 0) {
            BigNumber c[4];
            double rot = 0, skew = 0;
            if (!SplitList(argv[++i], parts, 6))
                return Fail("--center-mag takes CX,CY,MAG,XMAG,ROT,SKEW: %s", argv[i]);
            for (int k = 0; k < 4; ++k)
                if (!ParseBig(parts[k], c[k]))
                    return Fail("bad number %s", parts[k].c_str());
            if (!ParseDouble(parts[4], rot) || !ParseDouble(parts[5], skew))
                return Fail("bad angle in %s", argv[i]);
            SetCornersFromCenterMag(f, c[0], c[1], c[2], c[3], rot, skew);
        } else if (strcmp(a, "--pixel") == 0) {
            double px, py;
            if (!SplitList(argv[++i], parts, 2) || !ParseDouble(parts[0], px) || !ParseDouble(parts[1], py))
                return Fail("--pixel takes X,Y: %s", argv[i]);
            BigNumber re, im;
            f->PixelToPoint(px, py, re, im);
            printf("point=%s,%s\n", FullDecimal(re).c_str(), FullDecimal(im).c_str());
        } else if (strcmp(a, "--zoom") == 0 || strcmp(a, "--click") == 0) {
            int col, row;
            double factor;
            if (!ParseZoom(argv[++i], col, row, factor))
                return Fail("--zoom and --click take X,Y,F: %s", argv[i]);
            if (!AttachBareTask(f))
                return Fail("no buffers for %s", a);
            if (strcmp(a, "--zoom") == 0)
                f->ZoomAt(col, row, factor);
            else
                f->Zoom(col, row, 0, factor);
        } else if (strcmp(a, "--box") == 0 || strcmp(a, "--box-out") == 0) {
            int box[4];
            if (!ParseInts(argv[++i], box, 4))
                return Fail("--box and --box-out take X1,Y1,X2,Y2: %s", argv[i]);
            FractalTask* t = AttachBareTask(f);
            if (!t)
                return Fail("no buffers for %s", a);
            t->selectionBox[0] = box[0];
            t->selectionBox[1] = box[2];
            t->selectionBox[2] = box[1];
            t->selectionBox[3] = box[3];
            t->selectionBoxShown = 1;
            f->ZoomToBox(strcmp(a, "--box") == 0);
        } else if (strcmp(a, "--move") == 0) {
            int offset[2];
            if (!ParseInts(argv[++i], offset, 2))
                return Fail("--move takes DX,DY: %s", argv[i]);
            FractalTask* t = AttachBareTask(f);
            if (!t)
                return Fail("no buffers for %s", a);
            f->Move(offset[0], offset[1], 1);
            printf("passlimit=%d\n", t->passLimit);
        } else {
            return Fail("unknown option %s", a);
        }
    }
    return 0;
}

// The reader's messages, moved from the message list to standard error.
void FlushMessages()
{
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
        fprintf(stderr, "%s\n", static_cast<MessageNode*>(n)->text);
    UnlockMessageList();
    DeleteAllMessages();
}

// Reads the entries of the file at path (all, or the one named entry) into
// folder. 0 when all were read, 1 when the reader refused one, 2 when the
// file or the named entry is missing.
int ReadParameterFile(const char* path, const char* entry, FractalFolder* folder)
{
    std::string text;
    if (!ReadWholeFile(path, text))
        return Fail("cannot read %s", path);
    int rc = 0;
    bool found = false;
    EntryRange range;
    for (int from = 0; NextEntryRange(text.c_str(), from, &range); from = range.close + 1) {
        std::string piece = text.substr(range.begin, range.close + 1 - range.begin);
        std::string name = EntryNameBeforeBrace(piece.c_str(), range.open - range.begin, nullptr);
        if (entry && _stricmp(name.c_str(), entry) != 0)
            continue;
        found = true;
        std::vector<char> buffer(piece.begin(), piece.end());
        buffer.push_back(0);
        Fractal* f = new Fractal();
        f->folder = folder;
        folder->fractals.Append(f);
        Fractal* read = ReadParameterEntry(f, buffer.data(), nullptr, false, -1, 0);
        FlushMessages();
        if (!read) {
            fprintf(stderr, "spxpar: entry %s not read\n", name.c_str());
            folder->fractals.Remove(f);
            rc = 1;
        }
    }
    if (entry && !found)
        return Fail("no entry %s", entry);
    return rc;
}

int ReadCommand(int argc, char** argv)
{
    bool rewrite = strcmp(argv[1], "rewrite") == 0;
    std::vector<const char*> files;
    const char* entry = nullptr;
    const char* path = nullptr;
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "--path") == 0 && i + 1 < argc)
            path = argv[++i];
        else if (!rewrite && strcmp(argv[i], "--entry") == 0 && i + 1 < argc)
            entry = argv[++i];
        else if (argv[i][0] == '-')
            return Fail("unknown argument %s", argv[i]);
        else
            files.push_back(argv[i]);
    }
    if (files.size() != (rewrite ? 2u : 1u))
        return Usage();
    if (path)
        LoadSearchPath(path);
    // The fractals stay until the program ends: layer fractals stand in
    // the folder as well as in their layers.
    FractalFolder* folder = new FractalFolder();
    int rc = ReadParameterFile(files[0], entry, folder);
    if (rc == 2)
        return rc;
    if (rewrite) {
        if (!SaveFolderAsParameterFile(folder, files[1]))
            return Fail("cannot write %s", files[1]);
        return rc;
    }
    for (ListNode* n = folder->fractals.GetHead(); n; n = n->next) {
        Fractal* f = static_cast<Fractal*>(n);
        if (!f->baseFractal)
            Print(DumpFractal(f));
    }
    return rc;
}

int ViewCommand(int type, int argc, char** argv, int i);
int BenchCommand();
int ViewEntryCommand(int argc, char** argv);
void NewFractal(int type, bool copy, FILE* file);

int Main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    if (strcmp(argv[1], "dump") == 0 || strcmp(argv[1], "rewrite") == 0)
        return ReadCommand(argc, argv);
    if (strcmp(argv[1], "bench") == 0)
        return BenchCommand();
    bool view = strcmp(argv[1], "view") == 0;
    if (!view && strcmp(argv[1], "new") != 0)
        return Usage();
    if (view && argc > 2 && argv[2][0] != '-')
        return ViewEntryCommand(argc, argv);
    int type = -1;
    std::vector<int> types;
    const char* path = nullptr;
    bool copy = false;
    const char* out = nullptr;
    int i = 2;
    for (; i < argc; ++i) {
        if (strcmp(argv[i], "--type") == 0 && i + 1 < argc) {
            type = ParseType(argv[++i]);
            if (type < 0)
                return Fail("unknown type %s", argv[i]);
            types.push_back(type);
        } else if (strcmp(argv[i], "--path") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else if (!view && strcmp(argv[i], "--copy") == 0) {
            copy = true;
        } else if (view) {
            break;   // the operations follow
        } else if (!out && argv[i][0] != '-') {
            out = argv[i];
        } else {
            return Fail("unknown argument %s", argv[i]);
        }
    }
    if (type < 0)
        return Fail("--type is required");
    if (view && types.size() > 1)
        return Fail("view takes one --type");
    if (path)
        LoadSearchPath(path);
    if (view)
        return ViewCommand(type, argc, argv, i);
    FILE* file = out ? fopen(out, "w") : nullptr;
    if (out && !file)
        return Fail("cannot write %s", out);
    for (int t : types)
        NewFractal(t, copy, file);
    if (file)
        fclose(file);
    return 0;
}

int ViewCommand(int type, int argc, char** argv, int i)
{
    Fractal* f = new Fractal(type, 0);
    if (!f->typeParameters) {
        delete f;
        return Fail("type %s has no view", kTypeNames[type]);
    }
    int rc = ApplyViewOperations(f, argc, argv, i);
    if (rc == 0)
        PrintViewRows(f);
    FreeBareTask(f);
    delete f;
    return rc;
}

// view FILE --entry NAME: the fractal of one entry of a parameter file,
// then the operations as for a new fractal.
int ViewEntryCommand(int argc, char** argv)
{
    const char* entry = nullptr;
    for (int k = 3; k + 1 < argc; ++k) {
        if (strcmp(argv[k], "--path") == 0)
            LoadSearchPath(argv[k + 1]);
    }
    int i = 3;
    for (; i < argc; ++i) {
        if (strcmp(argv[i], "--entry") == 0 && i + 1 < argc)
            entry = argv[++i];
        else if (strcmp(argv[i], "--path") == 0 && i + 1 < argc)
            ++i;
        else
            break;   // the operations follow
    }
    if (!entry)
        return Fail("view FILE needs --entry NAME");
    // The fractals stay until the program ends, as for dump.
    FractalFolder* folder = new FractalFolder();
    int rc = ReadParameterFile(argv[2], entry, folder);
    Fractal* f = static_cast<Fractal*>(folder->fractals.GetHead());
    if (rc != 0 || !f)
        return rc != 0 ? rc : 1;
    rc = ApplyViewOperations(f, argc, argv, i);
    if (rc == 0)
        PrintViewRows(f);
    return rc;
}

// bench: 200 zooms by 3 at an off-centre pixel of a 640 x 480 view; the
// corners gain about 60 digits per zoom.
int BenchCommand()
{
    Fractal* f = new Fractal(FT_PLASMA, 0);
    const int zooms = 200, sample = 10;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double first = 0, last = 0;
    for (int k = 0; k < zooms; ++k) {
        QueryPerformanceCounter(&start);
        f->ZoomAt(213, 147, 3.0);
        QueryPerformanceCounter(&end);
        double ms = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
        if (k < sample)
            first += ms;
        if (k >= zooms - sample)
            last += ms;
    }
    printf("zooms=%d digits=%d\n", zooms, f->typeParameters->TopLeftR.SignificantDigits());
    printf("first=%.3f ms/zoom\nlast=%.3f ms/zoom\n", first / sample, last / sample);
    delete f;
    return 0;
}

// new: a fractal of type, dumped or (with file) written as a parameter
// entry followed by the three line breaks of an appended entry.
void NewFractal(int type, bool copy, FILE* file)
{
    Fractal* f = new Fractal(type, 0);
    if (copy) {
        Fractal* c = new Fractal(*f);
        delete f;
        f = c;
    }
    if (file) {
        WriteParameterEntry(file, f, nullptr, nullptr, false, true, -1, 0, true);
        fputs("\n\n\n", file);
    } else {
        Print(DumpFractal(f));
    }
    delete f;
}

}  // namespace

int main(int argc, char** argv)
{
    BindApplicationServices();
    SetMessageBoxAnswerer(&PrintBox);
    PrepareDocumentEngine();
    return Main(argc, argv);
}
