// Attractor entries: the rendering settings, one iteration: section per map
// with its pixel transformations, the colouring, the camera and the lights.
// Every item is written; numbers that the short formats would cut keep all
// their digits.
#include "files/entry/AttractorSections.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "document/FormulaDefaults.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "files/entry/BaseKeys.h"
#include "files/entry/EntryFormat.h"
#include "files/entry/FormulaItems.h"
#include "files/entry/LightItems.h"
#include "files/entry/TextWriter.h"
#include "formulas/FormulaKind.h"
#include "formulas/FormulaLookup.h"
#include "fractals/AttractorFormula.h"

namespace {

enum {
    SEC_FORMULA = 2,
    SEC_INSIDE = 3,
    SEC_LIGHTING = 8,
    SEC_DIMENSIONAL = 9,
    SEC_ITERATION = 10,
    SEC_PIXELTRANSFORMATION = 11,
};

const char* const kRenderModes[] = {"Gas", "Flame", "Plasma", "Solid", nullptr};
const char* const kOversampling[] = {"1", "2", "3", "4", "5", nullptr};

const char* NameOf(const char* const* names, int index)
{
    for (int i = 0; names[i]; ++i)
        if (i == index)
            return names[i];
    return names[0];
}

int IndexOf(const char* const* names, const char* value)
{
    for (int i = 0; names[i]; ++i)
        if (_stricmp(names[i], value) == 0)
            return i;
    return -1;
}

// "key=" and the value in format, or with more digits when format would
// cut it.
void Number(TextWriter& writer, const char* key, const char* format, double value)
{
    writer.WriteItem(std::string(key) + "=" + ExactNumber(format, value));
}

void ReadFormulaKey(AttractorParameters* a, const char* key, const char* value)
{
    int n;
    double d;
    if (strcmp(key, "followobject") == 0) {
        a->followObject = _stricmp(value, "yes") == 0 ? 1 : 0;
    } else if (strcmp(key, "previewpixels") == 0) {
        if (ReadIntValue(value, &n))
            a->PreviewPixels = n;
    } else if (strcmp(key, "weightradius") == 0) {
        if (ReadIntValue(value, &n))
            a->weightRadius = n;
    } else if (strcmp(key, "rendermode") == 0) {
        n = IndexOf(kRenderModes, value);
        if (n >= 0)
            a->RenderMode = n;
    } else if (strcmp(key, "oversample") == 0) {
        n = IndexOf(kOversampling, value);
        if (n >= 0)
            a->Oversample = n;
    } else if (ReadRealValue(value, &d)) {
        static const char* const kKeys[] = {"gamma",           "contrast",  "brightness", "whitelevel",
                                            "filterradius",    "weightthreshold", "roughness", "opacity",
                                            "randomness",      "maxiter"};
        double* fields[] = {&a->Gamma,        &a->Contrast,        &a->Brightness, &a->WhiteLevel,
                            &a->FilterRadius, &a->weightThreshold, &a->Roughness,  &a->opacity,
                            &a->Randomness,   &a->Maxiter};
        for (int k = 0; k < 10; ++k)
            if (strcmp(key, kKeys[k]) == 0)
                *fields[k] = d;
    }
}

void ReadInsideKey(Fractal* fractal, AttractorParameters* a, const char* key, const char* value)
{
    int n;
    double d;
    if (strcmp(key, "filename") == 0) {
        lstrcpynA(a->colouring.fileName, value, sizeof a->colouring.fileName);
        MapImportedExtension(a->colouring.fileName);
    } else if (strcmp(key, "entry") == 0) {
        lstrcpynA(a->colouring.entryName, value, sizeof a->colouring.entryName);
        LookupAndCompile(a->colouring, fractal, FT_ATTRACTOR, FK_COLORING, SK_ATTRACTOR);
        ApplyFormulaParameters(fractal, &a->colouring.parameters, &a->colouring.functions, a->colouring.holder, 1);
    } else if (strcmp(key, "transfer") == 0) {
        n = IndexOf(g_TransferNames, value);
        if (n >= 0)
            a->Transfer = n;
    } else if (strcmp(key, "repeat") == 0) {
        a->WrapAround = strcmp(value, "yes") == 0;
    } else if (strcmp(key, "solid") == 0) {
        if (ReadIntValue(value, &n))
            SetPackedColour(a->SolidColor, n);
    } else if (strcmp(key, "background") == 0) {
        if (ReadIntValue(value, &n))
            SetPackedColour(a->BackgroundColor, n);
    } else if (strcmp(key, "density") == 0 || strcmp(key, "accel") == 0 || strcmp(key, "smooth") == 0 ||
               strcmp(key, "offset") == 0) {
        if (!ReadRealValue(value, &d))
            return;
        double* field = key[0] == 'd' ? &a->Density : key[0] == 'a' ? &a->Accel : key[0] == 's' ? &a->Smooth
                                                                                               : &a->Offset;
        *field = d;
    } else {
        ReadParmValue(&a->colouring.parameters, &a->colouring.functions, key, value, false);
    }
}

void ReadDimensionalKey(AttractorParameters* a, const char* key, const char* value)
{
    if (ReadLightKey(a->lights, nullptr, key, value))
        return;
    double v[3];
    if (strcmp(key, "viewpoint") == 0 || strcmp(key, "observer") == 0 || strcmp(key, "topview") == 0) {
        if (!ReadVector(value, v, 3))
            return;
        double* target = key[0] == 'v' ? &a->Viewpoint_x : key[0] == 'o' ? &a->Obs_x : &a->top_x;
        memcpy(target, v, sizeof v);
    } else if (strcmp(key, "fieldofview") == 0) {
        if (ReadRealValue(value, &v[0]))
            a->FieldOfView = v[0];
    }
}

void ReadIterationKey(AttractorFormula* map, const char* key, const char* value)
{
    double d;
    if (strcmp(key, "weight") == 0) {
        if (ReadRealValue(value, &d))
            map->weight = d;
    } else if (strcmp(key, "color") == 0) {
        if (ReadRealValue(value, &d))
            map->colour = d;
    } else if (strcmp(key, "hide") == 0) {
        map->flags = ParseBool(value) ? 1 : 0;
    }
}

void ReadTransformationKey(Fractal* fractal, AttractorTransformation* t, const char* key, const char* value)
{
    if (strcmp(key, "filename") == 0) {
        lstrcpynA(t->fileName, value, sizeof t->fileName);
        MapImportedExtension(t->fileName);
    } else if (strcmp(key, "entry") == 0) {
        lstrcpynA(t->entryName, value, sizeof t->entryName);
        if (!t->owner)
            t->owner = fractal;
        if (!t->holder)
            t->holder = new FormulaHolder(FK_ITERATION);
        LookupFormula(fractal, FT_ATTRACTOR, t->fileName, sizeof t->fileName, t->entryName, t->foundName, t->holder);
        if (t->holder->text && t->holder->word == 0) {
            t->holder->compiler->setKind(FK_ITERATION);
            t->holder->word = CompileHolder(t->holder, fractal, t->foundName, SK_ATTRACTOR);
        }
        ApplyFormulaParameters(fractal, &t->parameters, &t->functions, t->holder, 1);
    } else if (strcmp(key, "postTransform") == 0) {
        t->final = ParseBool(value) ? 1 : 0;
    } else if (strcmp(key, "hide") == 0) {
        t->hidden = ParseBool(value) ? 1 : 0;
    } else {
        ReadParmValue(&t->parameters, &t->functions, key, value, false);
    }
}

}  // namespace

bool ParseBool(const char* text)
{
    return text && (_stricmp(text, "TRUE") == 0 || _stricmp(text, "YES") == 0 || _stricmp(text, "1") == 0 ||
                    _stricmp(text, "Y") == 0);
}

int FindInNameTable(const char* name, const void* mergeNames)
{
    const FunctionTableEntry* table = mergeNames ? g_MergeFunctions : g_MathFunctions;
    int count = mergeNames ? MERGE_FUNCTION_COUNT : MATH_FUNCTION_COUNT;
    for (int i = 0; name && i < count; ++i)
        if (_stricmp(table[i].name, name) == 0)
            return i;
    return 0;
}

void WriteAttractorSections(TextWriter& writer, Fractal* fractal, int sectionMask)
{
    AttractorParameters* a = static_cast<AttractorParameters*>(fractal->typeParameters);
    if (!a || fractal->header->Type != FT_ATTRACTOR)
        return;
    if (sectionMask & 0x80) {
        writer.WriteSection("formula:");
        Number(writer, "maxiter", "%.0lf", a->Maxiter);
        Number(writer, "randomness", "%.2lf", a->Randomness);
    }
    if (sectionMask & 0x400) {
        writer.WriteItem(EntryFormat("previewpixels=%d", a->PreviewPixels));
        writer.WriteItem(EntryFormat("followobject=%s", YesNo(a->followObject)));
        Number(writer, "gamma", "%.2lf", a->Gamma);
        Number(writer, "contrast", "%.2lf", a->Contrast);
        Number(writer, "weightthreshold", "%.2lf", a->weightThreshold);
        writer.WriteItem(EntryFormat("weightradius=%d", a->weightRadius));
        Number(writer, "roughness", "%.8lf", a->Roughness);
        writer.WriteItem(EntryFormat("rendermode=%s", NameOf(kRenderModes, a->RenderMode)));
        Number(writer, "opacity", "%.2lf", a->opacity);
        Number(writer, "brightness", "%.2lf", a->Brightness);
        Number(writer, "whitelevel", "%.2lf", a->WhiteLevel);
        Number(writer, "filterradius", "%.2lf", a->FilterRadius);
        writer.WriteItem(EntryFormat("oversample=%s", NameOf(kOversampling, a->Oversample)));
    }
    if (sectionMask & 0x80) {
        for (ListNode* n = a->formulas.GetHead(); n; n = n->next) {
            AttractorFormula* map = static_cast<AttractorFormula*>(n);
            writer.WriteSection("iteration:");
            Number(writer, "weight", "%.2lf", map->weight);
            Number(writer, "color", "%.2lf", map->colour);
            writer.WriteItem(EntryFormat("hide=%s", YesNo(map->flags)));
            for (ListNode* m = map->transformations.GetHead(); m; m = m->next) {
                AttractorTransformation* t = static_cast<AttractorTransformation*>(m);
                writer.WriteSection("pixeltransformation:");
                writer.WriteItem(EntryFormat("filename=\"%s\"", t->fileName));
                writer.WriteItem(EntryFormat("entry=\"%s\"", t->entryName));
                if (t->final)
                    writer.WriteItem("postTransform=\"true\"");
                if (t->hidden)
                    writer.WriteItem("hide=\"yes\"");
                WriteFormulaParameters(writer, &t->parameters);
                WriteFormulaFunctions(writer, &t->functions);
            }
        }
    }
    if (sectionMask & 0x100) {
        writer.WriteSection("inside:");
        if (a->colouring.holder && a->colouring.holder->text) {
            writer.WriteItem(EntryFormat("filename=\"%s\"", a->colouring.fileName));
            writer.WriteItem(EntryFormat("entry=\"%s\"", a->colouring.entryName));
            WriteFormulaParameters(writer, &a->colouring.parameters);
            WriteFormulaFunctions(writer, &a->colouring.functions);
        }
        writer.WriteItem(EntryFormat("density=%.14lg", a->Density));
        writer.WriteItem(EntryFormat("accel=%.14lg", a->Accel));
        writer.WriteItem(EntryFormat("smooth=%.14lg", a->Smooth));
        writer.WriteItem(EntryFormat("transfer=%s", NameOf(g_TransferNames, a->Transfer)));
        writer.WriteItem(EntryFormat("repeat=%s", YesNo(a->WrapAround)));
        writer.WriteItem(EntryFormat("offset=%.14lg", a->Offset));
        writer.WriteItem(EntryFormat("solid=%d", PackedColour(a->SolidColor)));
        writer.WriteItem(EntryFormat("background=%d", PackedColour(a->BackgroundColor)));
    }
    if (sectionMask & 0x800) {
        writer.WriteSection("dimensional:");
        writer.WriteItem(EntryFormat("observer=%.14lg/%.14lg/%.14lg", a->Obs_x, a->Obs_y, a->Obs_z));
        writer.WriteItem(EntryFormat("topview=%.14lg/%.14lg/%.14lg", a->top_x, a->top_y, a->top_z));
        writer.WriteItem(EntryFormat("viewpoint=%.14lg/%.14lg/%.14lg", a->Viewpoint_x, a->Viewpoint_y, a->Viewpoint_z));
        writer.WriteItem(EntryFormat("fieldofview=%.14lg", a->FieldOfView));
        for (int i = 0; i < 8; ++i)
            WriteLightItems(writer, a->lights, nullptr, i);
    }
}

int ReadAttractorKeys(Fractal* fractal, AttractorFormula* map, AttractorTransformation* transformation, int section,
                      const char* key, char* value)
{
    if (!fractal || fractal->header->Type != FT_ATTRACTOR || !fractal->typeParameters || !key || !value)
        return 0;
    AttractorParameters* a = static_cast<AttractorParameters*>(fractal->typeParameters);
    switch (section) {
    case SEC_FORMULA:
        ReadFormulaKey(a, key, value);
        break;
    case SEC_INSIDE:
        ReadInsideKey(fractal, a, key, value);
        break;
    case SEC_DIMENSIONAL:
    case SEC_LIGHTING:
        ReadDimensionalKey(a, key, value);
        break;
    case SEC_ITERATION:
        if (map)
            ReadIterationKey(map, key, value);
        break;
    case SEC_PIXELTRANSFORMATION:
        if (map && transformation)
            ReadTransformationKey(fractal, transformation, key, value);
        break;
    default:
        break;
    }
    return 1;
}
