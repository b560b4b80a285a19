// Formula slots of the formula-driven blocks: finding and compiling their
// formulas, and copying them for a new owner. A copy never shares a
// compiled formula: every holder compiles its own copy of the source.
#include "document/FormulaSlot.h"
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include "compiler/FormulaCompiler.h"
#include "calc/FormulaInstance.h"
#include "document/Fractal.h"
#include "formulas/FormulaLookup.h"

void (*g_ReleaseTextureUser)(Fractal* owner, int slot, const void* holder) = nullptr;

void ReleaseTextures(Fractal* owner, int slot, const void* holder)
{
    if (g_ReleaseTextureUser)
        g_ReleaseTextureUser(owner, slot, holder);
}

namespace {

void CopyName(char* target, const char* source)
{
    target[0] = 0;
    if (source)
        lstrcpynA(target, source, 64);
}

}  // namespace

int CompileHolder(FormulaHolder* holder, Fractal* fractal, const char* name, int subKind)
{
    bool ok = holder->compiler->compile(holder->text, 0, -128, nullptr, nullptr, fractal, name, subKind,
                                        nullptr, false, false);
    holder->compiler->freeResults();
    return ok ? 1 : 0;
}

void FormulaSlot::SetNames(const char* file, const char* entry, const char* found)
{
    CopyName(fileName, file);
    CopyName(entryName, entry);
    CopyName(foundName, found);
}

void FormulaSlot::CopyFrom(const FormulaSlot& other, int kind, int subKind)
{
    memcpy(fileName, other.fileName, sizeof fileName);
    memcpy(entryName, other.entryName, sizeof entryName);
    memcpy(foundName, other.foundName, sizeof foundName);
    FormulaCompiler::copySymbols(&other.parameters, &parameters, 1);
    FormulaCompiler::copyFuncParameters(&other.functions, &functions);
    holder = new FormulaHolder(kind);
    CopyFormulaSource(holder, other.holder, subKind);
}

void FormulaSlot::Release()
{
    delete holder;
    holder = nullptr;
    parameters.DeleteAllNodes();
    functions.DeleteAllNodes();
}

void FormulaSlot::Clear()
{
    parameters.DeleteAllNodes();
    functions.DeleteAllNodes();
    if (holder)
        holder->SetSource(nullptr);
}

const char* const g_TransferNames[] = {"None", "Linear", "Sqr", "Sqrt", "Cube", "CubeRoot",
                                       "Exp",  "Log",    "Sin", "ArcTan", nullptr};

void ColouringSettings::SetDefaults(int mapping)
{
    Density = 1.0;
    Accel = 1.0;
    Smooth = 0.0;
    Offset = 0.0;
    Mapping = mapping;
    WrapAround = 1;
    memset(SolidColor, 0, sizeof SolidColor);
    SolidOpacity = 255;
}

void LookupAndCompile(FormulaSlot& slot, Fractal* owner, int fractalType, int kind, int subKind)
{
    LookupFormula(owner, fractalType, slot.fileName, sizeof slot.fileName, slot.entryName, slot.foundName,
                  slot.holder);
    if (slot.holder->word == 0 && slot.holder->text) {
        slot.holder->compiler->setKind(kind);
        slot.holder->word = CompileHolder(slot.holder, owner, slot.foundName, subKind);
    }
}

int FormulaSubKind(int fractalType)
{
    return fractalType == FT_QUATERNION ? SK_QUATERNION : fractalType == FT_ATTRACTOR ? SK_ATTRACTOR : SK_PLANE;
}

void CopyFormulaSource(FormulaHolder* holder, const FormulaHolder* source, int subKind)
{
    holder->SetSource(nullptr);
    holder->word = 0;
    if (!source || !source->text)
        return;
    holder->SetSource(source->text);
    holder->word = CompileHolder(holder, nullptr, nullptr, subKind);
}

void CopyFormulaInstanceList(Fractal* owner, const NodeList* source, NodeList* destination)
{
    destination->DeleteAllNodes();
    for (ListNode* n = source->GetHead(); n; n = n->next) {
        const FormulaInstance* from = static_cast<const FormulaInstance*>(n);
        FormulaInstance* copy = new FormulaInstance(owner, from->entryName, from->fileName);
        delete copy->holder;
        copy->holder = new FormulaHolder(FK_TRANSFORMATION);
        CopyFormulaSource(copy->holder, from->holder, FormulaSubKind(owner ? owner->header->Type : -1));
        FormulaCompiler::copySymbols(&from->parameters, &copy->parameters, 1);
        FormulaCompiler::copyFuncParameters(&from->functions, &copy->functions);
        copy->SetName(from->name);
        destination->Append(copy);
    }
}
