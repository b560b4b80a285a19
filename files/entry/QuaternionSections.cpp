// Quaternion entries: the transformations and the two formulas with their
// parameters, then the rendering, camera and light settings, each of the
// latter written only when it differs from a new fractal's.
#include "files/entry/QuaternionSections.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "calc/FormulaInstance.h"
#include "compiler/FormulaCompiler.h"
#include "document/FormulaDefaults.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "files/entry/BaseKeys.h"
#include "files/entry/EntryFormat.h"
#include "files/entry/FormulaItems.h"
#include "files/entry/LightItems.h"
#include "files/entry/TextWriter.h"
#include "formulas/FormulaKind.h"

namespace {

enum { SEC_FORMULA = 2, SEC_INSIDE = 3, SEC_DIMENSIONAL = 7, SEC_LIGHTING = 8 };

// Writes "key=%.14lg" when there is no default or the value differs.
void Real(TextWriter& writer, const char* key, double value, const double* old)
{
    if (!old || *old != value)
        writer.WriteItem(EntryFormat("%s=%.14lg", key, value));
}

void Integer(TextWriter& writer, const char* key, int value, const int* old)
{
    if (!old || *old != value)
        writer.WriteItem(EntryFormat("%s=%d", key, value));
}

void Vector(TextWriter& writer, const char* key, const double* v, const double* old, int count)
{
    if (old && memcmp(v, old, count * sizeof(double)) == 0)
        return;
    std::string text = key;
    text += "=";
    for (int k = 0; k < count; ++k)
        text += EntryFormat(k ? "/%.14lg" : "%.14lg", v[k]);
    writer.WriteItem(text);
}

const char* TransferName(int transfer)
{
    int count = 0;
    while (g_TransferNames[count])
        ++count;
    return transfer >= 0 && transfer < count ? g_TransferNames[transfer] : g_TransferNames[0];
}

void CopyFileName(char* target, const char* value)
{
    lstrcpynA(target, value, 64);
    MapImportedExtension(target);
}

int TransferIndex(const char* value)
{
    for (int i = 0; g_TransferNames[i]; ++i)
        if (_stricmp(g_TransferNames[i], value) == 0)
            return i;
    return -1;
}

void ReadFormulaKey(Fractal* fractal, QuaternionParameters* q, const char* key, const char* value)
{
    double d;
    int n;
    double v[4];
    if (strcmp(key, "filename") == 0) {
        CopyFileName(q->iteration.fileName, value);
    } else if (strcmp(key, "entry") == 0) {
        lstrcpynA(q->iteration.entryName, value, sizeof q->iteration.entryName);
        LookupAndCompile(q->iteration, fractal, FT_QUATERNION, FK_ITERATION, SK_QUATERNION);
        ApplyQuaternionFormulaDefaults(q, fractal, 0, 0);
    } else if (strcmp(key, "maxiter") == 0) {
        if (ReadIntValue(value, &n))
            q->MaxIter = n;
    } else if (strcmp(key, "precision") == 0) {
        if (ReadIntValue(value, &n))
            q->precision = n;
    } else if (strcmp(key, "highresmult") == 0) {
        if (ReadRealValue(value, &d))
            q->HighresMult = d;
    } else if (strcmp(key, "backtrace") == 0) {
        if (ReadRealValue(value, &d))
            q->Backtrace = d;
    } else if (strcmp(key, "maxjump") == 0) {
        if (ReadRealValue(value, &d))
            q->Maxjump = d;
    } else if (strcmp(key, "percheck") == 0) {
        if (ReadIntValue(value, &n))
            q->BackgroundDetect = n;
    } else if (strcmp(key, "normal") == 0) {
        if (ReadVector(value, v, 4)) {
            q->Normal_r = v[0];
            q->Normal_i = v[1];
            q->Normal_j = v[2];
            q->Normal_k = v[3];
        }
    } else if (strcmp(key, "basepoint") == 0) {
        if (ReadVector(value, v, 4)) {
            q->Base_r = v[0];
            q->Base_i = v[1];
            q->Base_j = v[2];
            q->Base_k = v[3];
        }
    } else if (strcmp(key, "passmult") == 0) {
        // The pass multiplier of old entries becomes a precision of at
        // least 8 (its binary logarithm plus one).
        if (ReadRealValue(value, &d) && d > 0) {
            int p = (int)floor(log(d) / log(2.0)) + 1;
            q->precision = p < 8 ? 8 : p;
        }
    } else {
        ReadParmValue(&q->iteration.parameters, &q->iteration.functions, key, value, false);
    }
}

void ReadInsideKey(Fractal* fractal, QuaternionParameters* q, const char* key, const char* value)
{
    double d;
    int n;
    if (strcmp(key, "filename") == 0) {
        CopyFileName(q->colouring.fileName, value);
    } else if (strcmp(key, "entry") == 0) {
        lstrcpynA(q->colouring.entryName, value, sizeof q->colouring.entryName);
        LookupAndCompile(q->colouring, fractal, FT_QUATERNION, FK_COLORING, SK_QUATERNION);
        ApplyFormulaParameters(fractal, &q->colouring.parameters, &q->colouring.functions, q->colouring.holder, 1);
    } else if (strcmp(key, "density") == 0) {
        if (ReadRealValue(value, &d))
            q->Density = d;
    } else if (strcmp(key, "accel") == 0) {
        if (ReadRealValue(value, &d))
            q->Accel = d;
    } else if (strcmp(key, "smooth") == 0) {
        if (ReadRealValue(value, &d))
            q->Smooth = d;
    } else if (strcmp(key, "offset") == 0) {
        if (ReadRealValue(value, &d))
            q->Offset = d;
    } else if (strcmp(key, "transfer") == 0) {
        n = TransferIndex(value);
        if (n >= 0)
            q->Transfer = n;
    } else if (strcmp(key, "repeat") == 0) {
        q->WrapAround = strcmp(value, "yes") == 0;
    } else if (strcmp(key, "solid") == 0) {
        if (ReadIntValue(value, &n))
            SetPackedColour(q->SolidColor, n);
    } else if (strcmp(key, "background") == 0) {
        if (ReadIntValue(value, &n))
            SetPackedColour(q->BackgroundColor, n);
    } else {
        ReadParmValue(&q->colouring.parameters, &q->colouring.functions, key, value, false);
    }
}

void ReadDimensionalKey(QuaternionParameters* q, const char* key, const char* value)
{
    double d;
    double v[3];
    if (strcmp(key, "viewpoint") == 0 || strcmp(key, "observer") == 0 || strcmp(key, "topview") == 0) {
        if (!ReadVector(value, v, 3))
            return;
        double* target = key[0] == 'v' ? &q->Viewpoint_x : key[0] == 'o' ? &q->Obs_x : &q->top_x;
        memcpy(target, v, sizeof v);
    } else if (strcmp(key, "relativeToViewpoint") == 0) {
        q->relativeToViewpoint = strcmp(value, "yes") == 0 || strcmp(value, "1") == 0;
    } else if (ReadRealValue(value, &d)) {
        if (strcmp(key, "backClippingPlane") == 0 || strcmp(key, "cdistance") == 0)
            q->backClippingPlane = d;
        else if (strcmp(key, "frontClippingPlane") == 0)
            q->frontClippingPlane = d;
        else if (strcmp(key, "aspectratio") == 0)
            q->aspectRatio = d;
        else if (strcmp(key, "viewangle") == 0)
            q->Viewangle = d;
    }
}

void ReadLightingKey(QuaternionParameters* q, const char* key, const char* value)
{
    LightColourValues colourValues = {{q->saturation, q->luminance, q->saturation2, q->luminance2}};
    if (ReadLightKey(q->lights, &colourValues, key, value))
        return;
    double d;
    int n;
    if (_stricmp(key, "lightModel") == 0) {
        if (ReadIntValue(value, &n))
            q->LightModel = n;
        return;
    }
    if (!ReadRealValue(value, &d))
        return;
    if (strcmp(key, "hlightangle") == 0)
        q->lightAngleH = d;
    else if (strcmp(key, "vlightangle") == 0)
        q->lightAngleV = d;
    else if (strcmp(key, "ambient") == 0)
        q->lights.ambient[0] = d;
    else if (strcmp(key, "diffuse") == 0)
        q->lights.diffuse[0] = d;
    else if (strcmp(key, "intensity") == 0)
        q->lights.intensity[0] = d;
    else if (strcmp(key, "reflection") == 0 && d > -1.0)
        q->lights.shiny[0] = 1.0 / sqrt(d + 1.0);
}

}  // namespace

void WriteQuaternionSections(TextWriter& writer, Fractal* fractal, Fractal* defaultFractal, int sectionMask)
{
    QuaternionParameters* q = static_cast<QuaternionParameters*>(fractal->typeParameters);
    if (!q || fractal->header->Type != FT_QUATERNION)
        return;
    const QuaternionParameters* d = nullptr;
    if (defaultFractal && defaultFractal->header->Type == FT_QUATERNION)
        d = static_cast<const QuaternionParameters*>(defaultFractal->typeParameters);

    if (sectionMask & 0x40) {
        for (ListNode* n = q->transformations.GetHead(); n; n = n->next) {
            FormulaInstance* t = static_cast<FormulaInstance*>(n);
            writer.WriteSection("transform:");
            writer.WriteItem(EntryFormat("filename=\"%s\"", t->fileName));
            writer.WriteItem(EntryFormat("entry=\"%s\"", t->entryName));
            WriteFormulaParameters(writer, &t->parameters);
            WriteFormulaFunctions(writer, &t->functions);
        }
    }
    if (sectionMask & 0x80) {
        writer.WriteSection("formula:");
        writer.WriteItem(EntryFormat("filename=\"%s\"", q->iteration.fileName));
        writer.WriteItem(EntryFormat("entry=\"%s\"", q->iteration.entryName));
        WriteFormulaParameters(writer, &q->iteration.parameters);
        WriteFormulaFunctions(writer, &q->iteration.functions);
        writer.WriteItem(EntryFormat("maxiter=%d", q->MaxIter));
    }
    if (sectionMask & 0x400) {
        Integer(writer, "precision", q->precision, d ? &d->precision : nullptr);
        Real(writer, "highresmult", q->HighresMult, d ? &d->HighresMult : nullptr);
        Real(writer, "backtrace", q->Backtrace, d ? &d->Backtrace : nullptr);
        Real(writer, "maxjump", q->Maxjump, d ? &d->Maxjump : nullptr);
        Integer(writer, "percheck", q->BackgroundDetect, d ? &d->BackgroundDetect : nullptr);
        Vector(writer, "normal", &q->Normal_r, d ? &d->Normal_r : nullptr, 4);
        Vector(writer, "basepoint", &q->Base_r, d ? &d->Base_r : nullptr, 4);
    }
    if (sectionMask & 0x100) {
        writer.WriteSection("inside:");
        if (q->colouring.holder && q->colouring.holder->text) {
            writer.WriteItem(EntryFormat("filename=\"%s\"", q->colouring.fileName));
            writer.WriteItem(EntryFormat("entry=\"%s\"", q->colouring.entryName));
            WriteFormulaParameters(writer, &q->colouring.parameters);
            WriteFormulaFunctions(writer, &q->colouring.functions);
        }
        Real(writer, "density", q->Density, d ? &d->Density : nullptr);
        Real(writer, "accel", q->Accel, d ? &d->Accel : nullptr);
        Real(writer, "smooth", q->Smooth, d ? &d->Smooth : nullptr);
        if (!d || d->Transfer != q->Transfer)
            writer.WriteItem(EntryFormat("transfer=%s", TransferName(q->Transfer)));
        if (!d || d->WrapAround != q->WrapAround)
            writer.WriteItem(EntryFormat("repeat=%s", YesNo(q->WrapAround)));
        Real(writer, "offset", q->Offset, d ? &d->Offset : nullptr);
        int solid = PackedColour(q->SolidColor), background = PackedColour(q->BackgroundColor);
        int oldSolid = d ? PackedColour(d->SolidColor) : 0, oldBackground = d ? PackedColour(d->BackgroundColor) : 0;
        Integer(writer, "solid", solid, d ? &oldSolid : nullptr);
        Integer(writer, "background", background, d ? &oldBackground : nullptr);
    }
    if (sectionMask & 0x800) {
        writer.WriteSection("dimensional:");
        Vector(writer, "observer", &q->Obs_x, d ? &d->Obs_x : nullptr, 3);
        Vector(writer, "topview", &q->top_x, d ? &d->top_x : nullptr, 3);
        Vector(writer, "viewpoint", &q->Viewpoint_x, d ? &d->Viewpoint_x : nullptr, 3);
        Real(writer, "backClippingPlane", q->backClippingPlane, d ? &d->backClippingPlane : nullptr);
        Real(writer, "frontClippingPlane", q->frontClippingPlane, d ? &d->frontClippingPlane : nullptr);
        if (!d || d->relativeToViewpoint != q->relativeToViewpoint)
            writer.WriteItem(EntryFormat("relativeToViewpoint=%s", YesNo(q->relativeToViewpoint)));
        Real(writer, "aspectratio", q->aspectRatio, d ? &d->aspectRatio : nullptr);
        Real(writer, "viewangle", q->Viewangle, d ? &d->Viewangle : nullptr);
        writer.WriteSection("lighting:");
        Integer(writer, "lightModel", q->LightModel, d ? &d->LightModel : nullptr);
        static const char* const kColourKeys[4] = {"IntensSat", "IntensLum", "SpecularSat", "SpecularLum"};
        const double* values[4] = {q->saturation, q->luminance, q->saturation2, q->luminance2};
        const double* defaults[4] = {};
        if (d) {
            defaults[0] = d->saturation;
            defaults[1] = d->luminance;
            defaults[2] = d->saturation2;
            defaults[3] = d->luminance2;
        }
        for (int i = 0; i < 8; ++i) {
            WriteLightItems(writer, q->lights, d ? &d->lights : nullptr, i);
            for (int k = 0; k < 4; ++k)
                if (!d || defaults[k][i] != values[k][i])
                    writer.WriteItem(EntryFormat("light%d%s=", i, kColourKeys[k]) + ExactNumber("%.4lg", values[k][i]));
        }
    }
}

int ReadQuaternionKeys(Fractal* fractal, int section, const char* key, char* value)
{
    if (!fractal || fractal->header->Type != FT_QUATERNION || !fractal->typeParameters || !key || !value)
        return 0;
    QuaternionParameters* q = static_cast<QuaternionParameters*>(fractal->typeParameters);
    switch (section) {
    case SEC_FORMULA:
        ReadFormulaKey(fractal, q, key, value);
        break;
    case SEC_INSIDE:
        ReadInsideKey(fractal, q, key, value);
        break;
    case SEC_DIMENSIONAL:
        ReadDimensionalKey(q, key, value);
        break;
    case SEC_LIGHTING:
        ReadLightingKey(q, key, value);
        break;
    default:
        break;
    }
    return 1;
}
