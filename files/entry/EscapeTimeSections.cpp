// Escape-time sections: every item is written whatever its value, filename
// and entry before the p_/f_ items, so that a reader fetches and compiles
// the formula (and so knows its parameters) before their values arrive.
// The reader matches keys exactly and value names without case.
#include "files/entry/EscapeTimeSections.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "calc/FormulaInstance.h"
#include "compiler/FormulaCompiler.h"
#include "document/EscapetimeParameters.h"
#include "document/FormulaDefaults.h"
#include "document/Fractal.h"
#include "document/FractalType.h"
#include "document/QuaternionParameters.h"
#include "files/entry/BaseKeys.h"
#include "files/entry/ColourSections.h"
#include "files/entry/EntryFormat.h"
#include "files/entry/FormulaItems.h"
#include "files/entry/NamedValues.h"
#include "files/entry/TextWriter.h"
#include "formulas/FormulaKind.h"
#include "formulas/FormulaLoader.h"
#include "formulas/FormulaLookup.h"
#include "formulas/FormulaNode.h"
#include "formulas/convert/ForeignImport.h"
#include "foundation/Services.h"
#include "foundation/Util.h"
#include "view3d/Parameters3D.h"

namespace {

bool HasSource(const FormulaHolder* holder)
{
    return holder && holder->text && holder->text[0];
}

void WriteNames(TextWriter& writer, const char* fileName, const char* entryName)
{
    writer.WriteItem(EntryFormat("filename=\"%s\"", fileName));
    writer.WriteItem(EntryFormat("entry=\"%s\"", entryName));
}

void WriteColouring(TextWriter& writer, const char* header, const FormulaSlot& slot, const ColouringSettings& c)
{
    writer.WriteSection(header);
    if (HasSource(slot.holder)) {
        WriteNames(writer, slot.fileName, slot.entryName);
        WriteFormulaParameters(writer, &slot.parameters);
        WriteFormulaFunctions(writer, &slot.functions);
    }
    writer.WriteItem(EntryFormat("density=%.14lg", c.Density));
    writer.WriteItem(EntryFormat("accel=%.14lg", c.Accel));
    writer.WriteItem(EntryFormat("smooth=%.14lg", c.Smooth));
    int mapping = c.Mapping >= 0 && c.Mapping < 10 ? c.Mapping : 0;
    writer.WriteItem(EntryFormat("transfer=%s", g_TransferNames[mapping]));
    writer.WriteItem(EntryFormat("repeat=%s", YesNo(c.WrapAround)));
    writer.WriteItem(EntryFormat("offset=%.14lg", c.Offset));
    writer.WriteItem(EntryFormat("solid=%d", (int)RgbFromBytes(c.SolidColor)));
    writer.WriteItem(EntryFormat("alpha=%d", c.SolidOpacity));
}

// The index of value in a null-ended name list (without case), or -1.
int NameIndex(const char* const* names, const char* value)
{
    for (int i = 0; names[i]; i++)
        if (_stricmp(names[i], value) == 0)
            return i;
    return -1;
}

void SetIndex(int* field, const char* const* names, const char* value)
{
    int index = NameIndex(names, value);
    if (index >= 0)
        *field = index;
}

// A decimal integer; the field keeps its value when the text is none.
void ReadInt(int* field, const char* value)
{
    ReadIntValue(value, field);
}

void ReadDouble(double* field, const char* value)
{
    ReadRealValue(value, field);
}

void SetColour(uint8_t* rgb, unsigned int value)
{
    rgb[0] = (uint8_t)(value >> 16);
    rgb[1] = (uint8_t)(value >> 8);
    rgb[2] = (uint8_t)value;
}

bool ReadUnsigned(unsigned int* out, const char* value)
{
    // Colours of the other programs' files come as large signed or unsigned numbers.
    char* end = nullptr;
    long long v = strtoll(value, &end, 10);
    if (end == value)
        return false;
    *out = (unsigned int)v;
    return true;
}

// Looks the formula up by its names and compiles it once, so that its
// parameters and functions are known before their values are read.
void FetchFormula(Fractal* fractal, char* fileName, size_t fileNameSize, const char* entryName, char* foundName,
                  FormulaHolder* holder, int kind, bool always)
{
    LookupFormula(fractal, FT_ESCAPETIME, fileName, fileNameSize, entryName, foundName, holder);
    if (holder->word == 0 && (always || HasSource(holder))) {
        holder->compiler->setKind(kind);
        holder->word = CompileHolder(holder, fractal, foundName, FormulaSubKind(fractal->header->Type));
    }
}

void ReadTransformKey(Fractal* fractal, FormulaInstance* t, const char* key, char* value, bool imported)
{
    if (strcmp(key, "filename") == 0) {
        lstrcpynA(t->fileName, value, sizeof t->fileName);
        MapImportedExtension(t->fileName);
    } else if (strcmp(key, "entry") == 0) {
        lstrcpynA(t->entryName, value, sizeof t->entryName);
        char found[64] = "";
        FetchFormula(fractal, t->fileName, sizeof t->fileName, t->entryName, found, t->holder, FK_TRANSFORMATION,
                     false);
        t->SetName(found);
        ApplyFormulaParameters(fractal, &t->parameters, &t->functions, t->holder, 0);
    } else if (strcmp(key, "enabled") == 0) {
        t->active = _stricmp(value, "yes") == 0;
    } else if (strcmp(key, "solid") == 0 && imported) {
        unsigned int v;
        if (ReadUnsigned(&v, value) && fractal->header->Type == FT_ESCAPETIME) {
            EscapetimeParameters* b = static_cast<EscapetimeParameters*>(fractal->typeParameters);
            SetColour(b->SolidColorTransformation, v);
            b->SolidOpacityTransformation = (int)(v >> 24);
        }
    } else {
        ReadParmValue(&t->parameters, &t->functions, key, value, imported);
    }
}

void ReadFormulaKey(Fractal* fractal, EscapetimeParameters* b, const char* key, char* value, bool imported)
{
    static const char* const kOldPeriodicity[] = {"off", "conservative", "", "normal", "rough", nullptr};
    FormulaSlot& slot = b->iteration;
    if (strcmp(key, "filename") == 0) {
        lstrcpynA(slot.fileName, value, sizeof slot.fileName);
        MapImportedExtension(slot.fileName);
    } else if (strcmp(key, "entry") == 0) {
        lstrcpynA(slot.entryName, value, sizeof slot.entryName);
        FetchFormula(fractal, slot.fileName, sizeof slot.fileName, slot.entryName, slot.foundName, slot.holder,
                     FK_ITERATION, true);
        ApplyFormulaDefaults(b, fractal, 0, 0);
    } else if (strcmp(key, "maxiter") == 0) {
        ReadInt(&b->MaxIter, value);
    } else if (strcmp(key, "percheck") == 0) {
        int index = NameIndex(g_PeriodicityNames, value);
        if (index < 0)
            index = NameIndex(kOldPeriodicity, value);
        if (index >= 0 && value[0])
            b->Periodicity = index;
    } else if (strcmp(key, "passes") == 0) {
        SetIndex(&b->Passes, g_PassNames, value);
    } else if (strcmp(key, "elimination") == 0) {
        SetIndex(&b->Eliminate, g_EliminateNames, value);
    } else if (strcmp(key, "method") == 0) {
        if (_stricmp(value, "multipass") == 0) {
            b->Passes = 2;
            b->Eliminate = 0;
        } else if (_stricmp(value, "linear") == 0) {
            b->Passes = 0;
            b->Eliminate = 0;
        }
    } else if (strcmp(key, "mapsolid") == 0) {
        unsigned int v;
        if (ReadUnsigned(&v, value))
            SetColour(b->SolidColorTransformation, v);
    } else if (strcmp(key, "mapalpha") == 0) {
        ReadInt(&b->SolidOpacityTransformation, value);
    } else {
        ReadParmValue(&slot.parameters, &slot.functions, key, value, imported);
    }
}

void ReadColouringKey(Fractal* fractal, FormulaSlot& slot, ColouringSettings& c, const char* key, char* value,
                      bool imported)
{
    if (strcmp(key, "filename") == 0) {
        lstrcpynA(slot.fileName, value, sizeof slot.fileName);
        MapImportedExtension(slot.fileName);
    } else if (strcmp(key, "entry") == 0) {
        lstrcpynA(slot.entryName, value, sizeof slot.entryName);
        FetchFormula(fractal, slot.fileName, sizeof slot.fileName, slot.entryName, slot.foundName, slot.holder,
                     FK_COLORING, false);
        ApplyFormulaParameters(fractal, &slot.parameters, &slot.functions, slot.holder, 1);
    } else if (strcmp(key, "density") == 0) {
        ReadDouble(&c.Density, value);
    } else if (strcmp(key, "accel") == 0) {
        ReadDouble(&c.Accel, value);
    } else if (strcmp(key, "smooth") == 0) {
        ReadDouble(&c.Smooth, value);
    } else if (strcmp(key, "offset") == 0) {
        ReadDouble(&c.Offset, value);
        // The other programs' gradients have 400 positions, a Palette 252.
        if (imported)
            c.Offset = c.Offset * 252.0 / 400.0;
    } else if (strcmp(key, "transfer") == 0) {
        SetIndex(&c.Mapping, g_TransferNames, value);
    } else if (strcmp(key, "repeat") == 0) {
        c.WrapAround = _stricmp(value, "yes") == 0;
    } else if (strcmp(key, "solid") == 0) {
        unsigned int v;
        if (ReadUnsigned(&v, value)) {
            SetColour(c.SolidColor, v);
            if (imported)
                c.SolidOpacity = (int)(v >> 24);
        }
    } else if (strcmp(key, "alpha") == 0) {
        ReadInt(&c.SolidOpacity, value);
    } else {
        ReadParmValue(&slot.parameters, &slot.functions, key, value, imported);
    }
}

}  // namespace

void WriteEscapeTimeSections(TextWriter& writer, Fractal* fractal, int sectionMask)
{
    if (!fractal || fractal->header->Type != FT_ESCAPETIME || !fractal->typeParameters)
        return;
    const EscapetimeParameters* b = static_cast<const EscapetimeParameters*>(fractal->typeParameters);
    if (sectionMask & 0x40) {
        for (ListNode* n = b->transformations.GetHead(); n; n = n->next) {
            const FormulaInstance* t = static_cast<const FormulaInstance*>(n);
            writer.WriteSection("transform:");
            WriteNames(writer, t->fileName, t->entryName);
            writer.WriteItem(EntryFormat("enabled=%s", YesNo(t->active)));
            WriteFormulaParameters(writer, &t->parameters);
            WriteFormulaFunctions(writer, &t->functions);
        }
    }
    if (sectionMask & 0x80) {
        writer.WriteSection("formula:");
        WriteNames(writer, b->iteration.fileName, b->iteration.entryName);
        writer.WriteItem(EntryFormat("mapsolid=%d", (int)RgbFromBytes(b->SolidColorTransformation)));
        writer.WriteItem(EntryFormat("mapalpha=%d", b->SolidOpacityTransformation));
        WriteFormulaParameters(writer, &b->iteration.parameters);
        WriteFormulaFunctions(writer, &b->iteration.functions);
        writer.WriteItem(EntryFormat("maxiter=%d", b->MaxIter));
        writer.WriteItem(EntryFormat("passes=\"%s\"", g_PassNames[b->Passes >= 0 && b->Passes < 4 ? b->Passes : 2]));
        int periodicity = b->Periodicity >= 0 && b->Periodicity < 6 ? b->Periodicity : 3;
        writer.WriteItem(EntryFormat("percheck=\"%s\"", g_PeriodicityNames[periodicity]));
        int eliminate = b->Eliminate >= 0 && b->Eliminate < 3 ? b->Eliminate : 2;
        writer.WriteItem(EntryFormat("elimination=\"%s\"", g_EliminateNames[eliminate]));
    }
    if (sectionMask & 0x100)
        WriteColouring(writer, "inside:", b->inside, b->insideColouring);
    if (sectionMask & 0x200)
        WriteColouring(writer, "outside:", b->outside, b->outsideColouring);
}

int ReadSectionKeys(Fractal* fractal, int section, FormulaInstance* transformation, const char* key, char* value,
                    Layer* layer, bool imported, double version)
{
    (void)version;
    if (!fractal)
        return 0;
    int type = fractal->header->Type;
    if (type != FT_ESCAPETIME && type != FT_LAYERED && type != FT_QUATERNION &&
        !(section == SEC_GRADIENT && !imported))
        return 0;
    switch (section) {
    case SEC_LAYER:
    case SEC_GRADIENT:
    case SEC_IMPORTED_LAYER:
    case SEC_MAPPING:
    case SEC_IMPORTED_GRADIENT:
    case SEC_ALPHA:
        ReadColourSectionKey(fractal, section, key, value, layer, imported);
        return 1;
    case SEC_TRANSFORM:
        if (transformation && (type == FT_ESCAPETIME || type == FT_QUATERNION))
            ReadTransformKey(fractal, transformation, key, value, imported);
        return 1;
    case SEC_DIMS:
        if (fractal->params3D && !ReadNamedValue(fractal->params3D, GetDimsTable(), key, value))
            ReadKnotKey(fractal, section, key, value);
        return 1;
    default: break;
    }
    if (type != FT_ESCAPETIME || !fractal->typeParameters)
        return 1;
    EscapetimeParameters* b = static_cast<EscapetimeParameters*>(fractal->typeParameters);
    if (section == SEC_FORMULA)
        ReadFormulaKey(fractal, b, key, value, imported);
    else if (section == SEC_INSIDE)
        ReadColouringKey(fractal, b->inside, b->insideColouring, key, value, imported);
    else if (section == SEC_OUTSIDE)
        ReadColouringKey(fractal, b->outside, b->outsideColouring, key, value, imported);
    return 1;
}

int LocateFormulaEntry(char* fileName, const char* entryName)
{
    NodeList* library = FormulaRoot(FK_ITERATION);
    if (fileName[0] && library) {
        for (int n = 0;; n++) {
            int counter = 0;
            FormulaNode* node = FindFormulaInFile(library, fileName, n, &counter);
            if (!node)
                break;
            char* text = node->FindEntryText(entryName, nullptr);
            if (text) {
                free(text);
                lstrcpynA(fileName, node->nameText, 64);
                return 1;
            }
        }
    }
    std::string path = CompilerFormulaPath ? CompilerFormulaPath : "";
    while (!path.empty()) {
        size_t semicolon = path.find(';');
        std::string folder = path.substr(0, semicolon);
        path = semicolon == std::string::npos ? std::string() : path.substr(semicolon + 1);
        if (folder.empty())
            continue;
        std::string full = folder + "\\" + fileName;
        FILE* file = fopen(full.c_str(), "r");
        if (!file)
            continue;
        fclose(file);
        FormulaNode* root = library ? static_cast<FormulaNode*>(library->GetHead()) : nullptr;
        FormulaNode* node = ImportFormulaFile(folder.c_str(), fileName, root);
        if (!node)
            return 0;
        lstrcpynA(fileName, node->nameText, 64);
        if (g_FormulaTrees[FK_ITERATION] && node->parent)
            g_FormulaTrees[FK_ITERATION]->InsertItem(node, node->parent, nullptr, 0, 0, 0);
        return 1;
    }
    return 0;
}
