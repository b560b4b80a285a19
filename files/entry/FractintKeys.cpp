// The keys of older escape-time entries and of Fractint's parameter files
// that map onto the escape-time block and the named parameters of its three
// formula slots (iteration, inside and outside colouring), Fractint's
// packed colour string, and the transformations that stand in for an
// inversion or a skewed view of such entries.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "calc/FormulaInstance.h"
#include "calc/colour/Palette.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "compiler/ParameterTransfer.h"
#include "document/EscapetimeParameters.h"
#include "document/FormulaDefaults.h"
#include "document/Fractal.h"
#include "files/entry/AttractorSections.h"
#include "files/entry/BaseKeys.h"
#include "files/entry/EntryTokens.h"
#include "files/entry/OldKeyValues.h"
#include "formulas/FormulaLookup.h"

namespace {

// The keys of this file, in the order of the reader's chain; the tail
// keys (colouring choices per entry kind) come last.
#define FORMULA_KEYS(X)                                                                                    \
    X(RESET, "RESET") X(ANGLE, "ANGLE") X(POTENTIAL, "POTENTIAL") X(BAILOUTEST, "BAILOUTEST")             \
    X(FINATTRACT, "FINATTRACT") X(PERIODICITY, "PERIODICITY") X(DECOMP, "DECOMP") X(LOGMAP, "LOGMAP")     \
    X(BIOMORPH, "BIOMORPH") X(COLORMODETYPE, "ColormodeType") X(COLORMODESPEED, "ColormodeSpeed")         \
    X(COLORMODEACCEL, "ColormodeAccel") X(START, "Start") X(CHAOS, "Chaos") X(CHAOSCOLOR, "ChaosColor")   \
    X(SEQUENCE, "Sequence") X(SETTLE, "Settle") X(A, "A") X(COLORSMOOTHING, "ColorSmoothing")             \
    X(MAXITER, "MaxIter") X(ROTATEX, "RotateX") X(ROTATEY, "RotateY") X(BAILOUT, "bailout")                \
    X(BAILIN, "bailin") X(TESTINF, "TestForInfinity") X(TESTFIN, "TestForFinite")                          \
    X(TESTCYC, "TestForCyclus") X(PASSES, "passes") X(ANALYSIS, "Analysis") X(OPERATION, "Operation")     \
    X(COLORMODE, "Colormode") X(COLORSEPARATION, "Colorseparation") X(FACTOR1, "factor1")                 \
    X(FACTOR2, "factor2") X(FACTOR3, "factor3") X(PARAMS, "PARAMS") X(FUNCTION, "FUNCTION")

enum FormulaKey {
#define KEY_ENUM(id, text) FK_KEY_##id,
    FORMULA_KEYS(KEY_ENUM)
#undef KEY_ENUM
    FK_KEY_COUNT
};

const char* const kFormulaKeys[FK_KEY_COUNT] = {
#define KEY_TEXT(id, text) text,
    FORMULA_KEYS(KEY_TEXT)
#undef KEY_TEXT
};

// The colouring parameter names that Analysis .. factor3 set.
const char* const kColouringFactorNames[] = {"filter", "operation", "colormethod", "channel",
                                             "factor1", "factor2", "factor3"};

const char* const kBailoutTests[] = {"mod", "real", "imag", "or", "and", "manh", "manr", "lauw", "P-Ring", NULL};
const char* const kFractintOutside[] = {"dummyparam", "iter", "real", "imag", "mult",
                                        "summ", "atan", "potential", "tdis", NULL};
const char* const kFractintInside[] = {"dummyparam", "maxiter", "zmag", "bof60", "bof61", "epsiloncross",
                                       "period", NULL};
const char* const kOldOutside[] = {"iter", "real", "imag", "mult",  "summ", "atan", "arg", "potential",
                                   "Real2", "Imag2", "Mult2", "Div2", "Summ2", "P-Dist", NULL};
const char* const kOldInside[] = {"maxiter", "zmag", "Supremum", "bof60", "SupIndex", "bof61", NULL};

struct Context {
    Fractal* fractal;
    EscapetimeParameters* block;   // null unless the fractal is escape-time
    int oldType;
    bool fractint;
    bool old;
};

NodeList* Formula(const Context& c) { return &c.block->iteration.parameters; }
NodeList* Inside(const Context& c) { return &c.block->inside.parameters; }
NodeList* Outside(const Context& c) { return &c.block->outside.parameters; }

bool Is(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

bool InsideIsJulMand(const Context& c)
{
    return Is(c.block->inside.entryName, "Refactor_JulMand24_I") ||
           Is(c.block->inside.entryName, "Refactor_JulMand8_I");
}

bool OutsideIsJulMand(const Context& c)
{
    return Is(c.block->outside.entryName, "Refactor_JulMand24_O") ||
           Is(c.block->outside.entryName, "Refactor_JulMand8_O");
}

// The colouring settings that the old colour-mode keys address: the
// converted JulMand colourings, else the Bifurcation outside or the
// Lyapunov inside colouring.
void ForColourModeTargets(const Context& c, void (*apply)(ColouringSettings&, double), double v)
{
    if (InsideIsJulMand(c))
        apply(c.block->insideColouring, v);
    if (OutsideIsJulMand(c))
        apply(c.block->outsideColouring, v);
    if (c.oldType == 7)
        apply(c.block->outsideColouring, v);
    else if (c.oldType == 5)
        apply(c.block->insideColouring, v);
}

void SetInsideAndOutside(const Context& c, const char* name, double v)
{
    setSymbolReal(Inside(c), name, v);
    setSymbolReal(Outside(c), name, v);
}

void SetAllThree(const Context& c, const char* name, double v)
{
    setSymbolReal(Formula(c), name, v);
    SetInsideAndOutside(c, name, v);
}

// Yes/no style words with their numbers, else an integer.
bool ReadWordOrInt(const char* value, const char* const* words, const int* numbers, int* out)
{
    for (int i = 0; words[i]; i++)
        if (Is(value, words[i])) {
            *out = numbers[i];
            return true;
        }
    return ReadIntValue(value, out);
}

int TruncatedInt(double v)
{
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return (int)v;
}

// An inside colouring whose smooth switch is on shows maxiter points in
// solid black without a transfer.
void ApplySmoothMaxiterInside(const Context& c)
{
    double smooth;
    if (getSymbolReal(Inside(c), "smooth", &smooth) && smooth > 0.5) {
        c.block->insideColouring.Mapping = 0;
        memset(c.block->insideColouring.SolidColor, 0, sizeof c.block->insideColouring.SolidColor);
    }
}

int ReadFractintTail(const Context& c, const char* key, const char* value)
{
    bool outside = Is(key, "OUTSIDE");
    if (!outside && !Is(key, "INSIDE"))
        return 0;
    int v = 0, kind = 0;
    LookupKeywordOrNumber(value, outside ? kFractintOutside : kFractintInside, &v, &kind);
    NodeList* slot = outside ? Outside(c) : Inside(c);
    const char* choice = outside ? "iOutside" : "iInside";
    if (kind == 1) {
        setSymbolReal(slot, choice, v);
    } else if (kind == 2) {
        setSymbolReal(slot, choice, 0);
        setSymbolReal(slot, "iColorIndex", v);
    }
    return 1;
}

// Keys shared by the tails of both old forms; -1 when the key is not one.
int ReadOldDecompositionKey(const Context& c, const char* key, const char* value)
{
    double v;
    int i;
    if (Is(key, "DECOMPOSITION")) {
        if (ReadIntValue(value, &i))
            setSymbolReal(Outside(c), "bDecomp", i);
    } else if (Is(key, "CODING")) {
        if (ReadIntValue(value, &i))
            setSymbolReal(Outside(c), "coding", i);
    } else if (Is(key, "DECFACTOR")) {
        if (ReadRealValue(value, &v))
            setSymbolReal(Outside(c), "decompFactor", v);
    } else if (Is(key, "Insidemult")) {
        if (ReadRealValue(value, &v))
            setSymbolReal(Inside(c), "insideMult", v);
    } else {
        return -1;
    }
    return 1;
}

int ReadJulMand24Tail(const Context& c, const char* key, const char* value)
{
    int shared = ReadOldDecompositionKey(c, key, value);
    if (shared >= 0)
        return shared;
    if (Is(key, "OUTSIDE")) {
        static const char* const names[] = {"CPM", "DEM", "PHASE"};
        for (int i = 0; i < 3; i++)
            if (Is(value, names[i]))
                setSymbolReal(Outside(c), "outside", i);
        return 1;
    }
    if (Is(key, "INSIDE")) {
        static const char* const names[] = {"maxiter", "zmag", "Supremum", "bof60", "SupIndex", "bof61"};
        for (int i = 0; i < 6; i++)
            if (Is(value, names[i])) {
                setSymbolReal(Inside(c), "inside", i);
                if (i == 0)
                    ApplySmoothMaxiterInside(c);
            }
        return 1;
    }
    return 0;
}

int ReadJulMandTail(const Context& c, const char* key, const char* value)
{
    int shared = ReadOldDecompositionKey(c, key, value);
    if (shared >= 0)
        return shared;
    if (Is(key, "OUTSIDE")) {
        setSymbolReal(Outside(c), "outside", LookupKeyword(value, kOldOutside));
        return 1;
    }
    if (Is(key, "INSIDE")) {
        int inside = LookupKeyword(value, kOldInside);
        setSymbolReal(Inside(c), "inside", inside);
        if (inside == 0)
            ApplySmoothMaxiterInside(c);
        return 1;
    }
    struct RealKey {
        const char* key;
        int slot;   // 0 formula, 1 inside, 2 outside
        const char* name;
    };
    static const RealKey reals[] = {
        {"Outsidemult", 2, "outsideMult"}, {"PotSlope", 2, "slope"},         {"BailoutVar", 0, "bailoutVar"},
        {"BiomorphVar", 2, "bioVariable"}, {"BiomorphColor", 2, "bioReturn"}, {"Biomorphy", 2, "bBiomorphy"},
    };
    for (const RealKey& r : reals)
        if (Is(key, r.key)) {
            double v;
            if (ReadRealValue(value, &v))
                setSymbolReal(r.slot == 0 ? Formula(c) : r.slot == 1 ? Inside(c) : Outside(c), r.name, v);
            return 1;
        }
    return 0;
}

int ReadTail(const Context& c, const char* key, const char* value)
{
    if (!c.block)
        return 0;
    if (c.fractint)
        return ReadFractintTail(c, key, value);
    if (c.oldType == 0 || c.oldType == 1)
        return ReadJulMand24Tail(c, key, value);
    if (c.oldType == 2 || c.oldType == 3)
        return ReadJulMandTail(c, key, value);
    return 0;
}

void ReadPotential(const Context& c, const char* value)
{
    double a = 0, b = 0, bailout = 0;
    if (sscanf(value, "%lf/%lf/%lf", &a, &b, &bailout) < 1)
        return;
    if (c.fractint) {
        setSymbolReal(Outside(c), "iOutside", 7);
        if (a >= 253)
            a -= 2;
    } else if (c.oldType == 2 || c.oldType == 3) {
        setSymbolReal(Outside(c), "outside", 7);
    } else {
        return;
    }
    setSymbolReal(Formula(c), "bailout", bailout);
    setSymbolReal(Outside(c), "slope", b);
    setSymbolReal(Outside(c), "outsideMult", a);
}

// Fractint's p1, p2 ... take the numbers in order: two for a complex
// parameter, four for a quaternion, one otherwise.
void ReadFractintParams(const Context& c, const double* numbers, int count)
{
    int used = 0;
    for (int i = 1; used < count; i++) {
        char name[16];
        snprintf(name, sizeof name, "p%d", i);
        FormulaSymbol* s = static_cast<FormulaSymbol*>(Formula(c)->Find(name));
        if (!s)
            return;
        int width = s->dataType == DT_COMPLEX ? 2 : s->dataType == DT_QUATERNION ? 4 : 1;
        double v[4] = {0, 0, 0, 0};
        for (int k = 0; k < width && used < count; k++)
            v[k] = numbers[used++];
        for (int k = 0; k < width; k++)
            s->value[k] = v[k];
    }
}

void ReadParams(const Context& c, const char* value)
{
    double n[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    int count = sscanf(value, "%lf/%lf/%lf/%lf/%lf/%lf/%lf/%lf", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5], &n[6],
                       &n[7]);
    if (count < 0)
        count = 0;
    if (c.fractint) {
        ReadFractintParams(c, n, count);
        return;
    }
    const char* formula = c.block->iteration.entryName;
    if (Is(formula, "SXTiera_Mandelbrot")) {
        setSymbolComplex(Formula(c), "criticalpoint", n[0], n[1]);
        setSymbolComplex(Formula(c), "d", n[2], n[3]);
    } else if (Is(formula, "SX_JulMand24") || Is(formula, "SX_JulMand8")) {
        if (Formula(c)->Find("fractaltype")) {
            setSymbolComplex(Formula(c), "julparm", n[0], n[1]);
            setSymbolComplex(Formula(c), "perturb", n[0], n[1]);
        }
        if (Is(formula, "SX_JulMand8")) {
            setSymbolComplex(Formula(c), "iterparm2", n[2], n[3]);
            setSymbolReal(Formula(c), "shift", n[2]);
            setSymbolReal(Formula(c), "iShift", n[2]);
        }
    }
}

void ReadFunctions(const Context& c, char* value)
{
    char* name = value;
    for (int i = 1; i <= 4 && name; i++) {
        char* slash = strchr(name, '/');
        if (slash)
            *slash = 0;
        char fn[8];
        snprintf(fn, sizeof fn, "fn%d", i);
        FormulaFuncParameter* f = static_cast<FormulaFuncParameter*>(c.block->iteration.functions.Find(fn));
        if (f)
            f->selected = FindInNameTable(name, f->functionTable == 1 ? g_MergeFunctions : NULL);
        name = slash ? slash + 1 : NULL;
    }
}

void SetDensity(ColouringSettings& s, double v) { s.Density = v; }
void SetAccel(ColouringSettings& s, double v) { s.Accel = v; }
void SetMapping(ColouringSettings& s, double v) { s.Mapping = (int32_t)v; }

// The old colour-mode keys and the Lyapunov and Bifurcation keys; -1 when
// the key's condition does not hold (it goes on down the chain).
int ReadOldKey(const Context& c, int which, char* value)
{
    double v;
    switch (which) {
    case FK_KEY_ANGLE:
        if (ReadRealValue(value, &v))
            c.block->Angle = v;
        return 1;
    case FK_KEY_COLORMODETYPE: {
        int type;
        if (!ReadIntValue(value, &type))
            return 1;
        // Further numbers keep their own value as the transfer.
        static const int mapping[4] = {1, 7, 9, 8};
        ForColourModeTargets(c, SetMapping, type >= 0 && type < 4 ? mapping[type] : type);
        SetInsideAndOutside(c, "CMType", type);
        return 1;
    }
    case FK_KEY_COLORMODESPEED:
    case FK_KEY_COLORMODEACCEL:
        if (ReadRealValue(value, &v)) {
            bool speed = which == FK_KEY_COLORMODESPEED;
            ForColourModeTargets(c, speed ? SetDensity : SetAccel, v);
            SetInsideAndOutside(c, speed ? "CMSpeed" : "CMAccel", v);
        }
        return 1;
    case FK_KEY_START:
    case FK_KEY_SETTLE:
    case FK_KEY_A:
        if (c.oldType != 5 && c.oldType != 7)
            return -1;
        if (ReadRealValue(value, &v))
            setSymbolReal(Formula(c), which == FK_KEY_START ? "start" : which == FK_KEY_SETTLE ? "settle" : "A", v);
        return 1;
    case FK_KEY_CHAOS:
    case FK_KEY_CHAOSCOLOR:
    case FK_KEY_SEQUENCE:
        if (c.oldType != 5)
            return -1;
        if (which == FK_KEY_SEQUENCE) {
            double sequence = 0;
            for (const char* p = value; *p; p++)
                if ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'))
                    sequence = sequence * 10 + (*p == 'A' ? 1 : 2);
            setSymbolReal(Formula(c), "sequence", sequence);
        } else if (ReadRealValue(value, &v)) {
            if (which == FK_KEY_CHAOS)
                setSymbolReal(Inside(c), "bColorChaos", v > 0.5 ? 1 : 0);
            else
                setSymbolReal(Inside(c), "chaosFactor", v);
        }
        return 1;
    case FK_KEY_COLORSMOOTHING:
        if (ReadRealValue(value, &v))
            c.block->insideColouring.Smooth = c.block->outsideColouring.Smooth = v;
        return 1;
    case FK_KEY_MAXITER:
        if (ReadRealValue(value, &v)) {
            double less = c.fractint ? 1 : (c.oldType == 0 || c.oldType == 1) ? 2 : 0;
            c.block->MaxIter = TruncatedInt(v - less);
        }
        return 1;
    case FK_KEY_ROTATEX:
    case FK_KEY_ROTATEY:
        if (ReadRealValue(value, &v))
            (which == FK_KEY_ROTATEX ? c.block->RotateX : c.block->RotateY) = TruncatedInt(v);
        return 1;
    case FK_KEY_BAILIN:
        if (ReadRealValue(value, &v))
            SetAllThree(c, "bailin", v);
        return 1;
    case FK_KEY_TESTINF:
    case FK_KEY_TESTFIN:
    case FK_KEY_TESTCYC:
        if (ReadRealValue(value, &v))
            setSymbolReal(Formula(c),
                          which == FK_KEY_TESTINF ? "testInf" : which == FK_KEY_TESTFIN ? "testFin" : "testCyc", v);
        return 1;
    case FK_KEY_PASSES:
        if (ReadRealValue(value, &v))
            c.block->Passes = TruncatedInt(v);
        return 1;
    case FK_KEY_ANALYSIS:
    case FK_KEY_OPERATION:
    case FK_KEY_COLORMODE:
    case FK_KEY_COLORSEPARATION:
    case FK_KEY_FACTOR1:
    case FK_KEY_FACTOR2:
    case FK_KEY_FACTOR3:
        if (ReadRealValue(value, &v))
            SetInsideAndOutside(c, kColouringFactorNames[which - FK_KEY_ANALYSIS], v);
        return 1;
    case FK_KEY_FUNCTION:
        ReadFunctions(c, value);
        return 1;
    }
    return -1;
}

// The keys that hold for every escape-time entry (some only for Fractint's);
// -1 when the key's condition does not hold.
int ReadEscapeTimeKey(const Context& c, int which, char* value)
{
    static const char* const yesNo[] = {"yes", "no", NULL};
    static const int yesNoValues[] = {1, 0};
    double v;
    int i;
    switch (which) {
    case FK_KEY_POTENTIAL:
        ReadPotential(c, value);
        return 1;
    case FK_KEY_BAILOUTEST:
        setSymbolReal(Formula(c), "bailouttest", LookupKeyword(value, kBailoutTests));
        return 1;
    case FK_KEY_FINATTRACT:
        if (Is(value, "y") || (ReadIntValue(value, &i) && i != 0)) {
            setSymbolReal(Formula(c), "testCyc", 1);
            setSymbolReal(Formula(c), "testFin", 1);
            return 1;
        }
        return 0;
    case FK_KEY_DECOMP:
        if (!ReadWordOrInt(value, yesNo, yesNoValues, &i))
            return 1;
        if (c.fractint) {
            setSymbolReal(Outside(c), "bDecomp", i != 0);
            setSymbolReal(Outside(c), "iDecomp", i);
        } else if (c.old) {
            setSymbolReal(Outside(c), "bDecomp", i);
        }
        return 1;
    case FK_KEY_PARAMS:
        ReadParams(c, value);
        return 1;
    case FK_KEY_BAILOUT:
        if (!c.old)
            return -1;
        if (ReadRealValue(value, &v))
            SetAllThree(c, "bailout", v);
        return 1;
    }
    if (c.fractint) {
        switch (which) {
        case FK_KEY_RESET:
            if (ReadRealValue(value, &v))
                SetAllThree(c, "version", v);
            return 1;
        case FK_KEY_PERIODICITY:
            if (ReadIntValue(value, &i))
                c.block->Periodicity = i != 0 ? 2 : 0;
            return 1;
        case FK_KEY_LOGMAP: {
            static const char* const words[] = {"yes", "no", "old", "auto", NULL};
            static const int numbers[] = {1, 0, -1, 2};
            if (ReadWordOrInt(value, words, numbers, &i))
                setSymbolReal(Outside(c), "iLogmapSetting", i);
            return 1;
        }
        case FK_KEY_BIOMORPH:
            if (Is(value, "yes"))
                v = 1;
            else if (Is(value, "no"))
                v = 0;
            else if (!ReadRealValue(value, &v))
                return 1;
            setSymbolReal(Outside(c), "rBiomorphSetting", v);
            return 1;
        }
    }
    return c.old ? ReadOldKey(c, which, value) : -1;
}

// Keys of the chain that are consumed without effect when their condition
// fails (the rest go on to the descriptor readers).
bool ConsumedWhenNotTaken(int which)
{
    switch (which) {
    case FK_KEY_RESET:
    case FK_KEY_PERIODICITY:
    case FK_KEY_LOGMAP:
    case FK_KEY_BIOMORPH:
    case FK_KEY_POTENTIAL:
    case FK_KEY_BAILOUTEST:
    case FK_KEY_DECOMP:
    case FK_KEY_PARAMS:
        return true;
    }
    return false;
}

int FindFormulaKey(const char* key)
{
    for (int i = 0; i < FK_KEY_COUNT; i++)
        if (strcasecmp(key, kFormulaKeys[i]) == 0)
            return i;
    return -1;
}

// A transformation of the program's own formula file, compiled when its
// holder has not compiled yet, made current and appended to the block.
FormulaInstance* AddTransformation(Fractal* fractal, const char* entryName, const char* title)
{
    EscapetimeParameters* block = static_cast<EscapetimeParameters*>(fractal->typeParameters);
    FormulaInstance* instance = new FormulaInstance(fractal, entryName, "Spiralix");
    char found[64] = "";
    LookupFormula(fractal, FT_ESCAPETIME, instance->fileName, sizeof instance->fileName, instance->entryName, found,
                  instance->holder);
    FormulaHolder* holder = instance->holder;
    if (holder->word == 0 && holder->text) {
        holder->compiler->setKind(FK_TRANSFORMATION);
        bool ok = holder->compiler->compile(holder->text, 0, -128, nullptr, nullptr, fractal, title, SK_PLANE,
                                            nullptr, false, false);
        holder->compiler->freeResults();
        holder->word = ok ? 1 : 0;
    }
    instance->SetName(entryName);
    block->selectedTransformation = instance;
    ApplyFormulaParameters(fractal, &instance->parameters, &instance->functions, holder, 0);
    block->transformations.Append(instance);
    return instance;
}

}  // namespace

int ReadFormulaKeys(Fractal* fractal, const char* key, char* value, int oldType, bool fractint)
{
    Context c;
    c.fractal = fractal;
    c.block = fractal->header->Type == FT_ESCAPETIME && fractal->typeParameters
                  ? static_cast<EscapetimeParameters*>(fractal->typeParameters)
                  : NULL;
    c.oldType = oldType;
    c.fractint = fractint;
    c.old = c.block && (oldType <= 4 || oldType == 5 || oldType == 7 || oldType == 11 || oldType == 12);
    int which = FindFormulaKey(key);
    if (which >= 0) {
        int result = c.block ? ReadEscapeTimeKey(c, which, value) : -1;
        if (result >= 0)
            return result;
        return ConsumedWhenNotTaken(which) ? 1 : 0;
    }
    return ReadTail(c, key, value);
}

void ApplyOldDisplayDepth(Fractal* fractal, int depth, int oldType)
{
    EscapetimeParameters* block = static_cast<EscapetimeParameters*>(fractal->typeParameters);
    if (!block)
        return;
    Context c = {fractal, block, oldType, false, true};
    double smooth = depth != 8;
    if (InsideIsJulMand(c))
        setSymbolReal(Inside(c), "smooth", smooth);
    if (OutsideIsJulMand(c))
        setSymbolReal(Outside(c), "smooth", smooth);
    if (oldType == 7)
        setSymbolReal(Outside(c), "bSolid", smooth);
    else if (oldType == 5)
        setSymbolReal(Inside(c), "bSolid", smooth);
}

void AddInversionTransformation(Fractal* fractal, double radius, double x, double y)
{
    FormulaInstance* instance = AddTransformation(fractal, "Circle_Inversion", "Circle Inversion");
    setSymbolComplex(&instance->parameters, "cCenter", x, y);
    setSymbolComplex(&instance->parameters, "rRadius", radius, 0);
    setSymbolComplex(&instance->parameters, "bAuto", 0, 0);
}

void AddSkewTransformation(Fractal* fractal, double xmag, double ymag)
{
    FormulaInstance* instance = AddTransformation(fractal, "SkewStretchComp", "SkewStretch");
    setSymbolReal(&instance->parameters, "xmag", xmag);
    setSymbolReal(&instance->parameters, "ymag", ymag);
}

// ---------------------------------------------------------------- COLORS

namespace {

int SixBitDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'A' && ch <= 'Z')
        return ch - 'A' + 10;
    if (ch == '_')
        return 36;
    if (ch == '`')
        return 37;
    if (ch >= 'a' && ch <= 'z')
        return ch - 'a' + 38;
    return -1;
}

}  // namespace

int DecodeFractintColors(const char* text, Palette* palette)
{
    int colours[PALETTE_TABLE_SIZE][3];
    for (int i = 0; i < PALETTE_TABLE_SIZE; i++)
        colours[i][0] = colours[i][1] = colours[i][2] = 40;
    int count = 0;       // colours decoded or left out so far
    int pending = 0;     // colours left out by the last gap mark
    bool afterGap = false;
    const char* p = text;
    while (*p && count < PALETTE_TABLE_SIZE) {
        if (*p == '<') {
            if (count == 0 || afterGap)
                break;
            int n = atoi(p + 1);
            const char* close = strchr(p, '>');
            if (n < 2 || !close)
                break;
            pending = n;
            count += n;
            afterGap = true;
            p = close + 1;
            continue;
        }
        int rgb[3];
        int k = 0;
        for (; k < 3; k++) {
            rgb[k] = SixBitDigit(p[k]);
            if (rgb[k] < 0)
                break;
        }
        if (k < 3)
            break;
        p += 3;
        if (pending > 0) {
            int first = count - pending;
            int c = pending + 1;
            for (int g = 1; g <= pending; g++) {
                int index = first + g - 1;
                if (index >= PALETTE_TABLE_SIZE)
                    break;
                for (int ch = 0; ch < 3; ch++)
                    colours[index][ch] = (c / 2 + (c - g) * colours[first - 1][ch] + g * rgb[ch]) / c;
            }
            pending = 0;
        }
        afterGap = false;
        if (count < PALETTE_TABLE_SIZE)
            for (int ch = 0; ch < 3; ch++)
                colours[count][ch] = rgb[ch];
        count++;
    }
    for (int i = 0; i < PALETTE_TABLE_SIZE; i++) {
        palette->colorTable[i].rgbRed = (BYTE)(colours[i][0] * 4);
        palette->colorTable[i].rgbGreen = (BYTE)(colours[i][1] * 4);
        palette->colorTable[i].rgbBlue = (BYTE)(colours[i][2] * 4);
    }
    for (int ch = 0; ch < 3; ch++)
        for (int i = 0; i < PALETTE_TABLE_SIZE; i++)
            palette->InsertKnot(ch, i, colours[i][ch] * 4);
    return 0;
}
