// Enumerator lists are packed records (an int32 value >= 0, then the name)
// ended by a negative value; parameters of the text types keep their text
// in the same buffer.
#include "files/entry/FormulaItems.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "compiler/EnumValues.h"
#include "compiler/FormulaSymbol.h"
#include "files/entry/TextWriter.h"
#include "foundation/Buffers.h"
#include "files/entry/EntryFormat.h"
#include "foundation/List.h"

namespace {

enum { TEXT_TYPE_A = 6, TEXT_TYPE_B = 7 };

bool HoldsText(int dataType)
{
    return dataType == TEXT_TYPE_A || dataType == TEXT_TYPE_B;
}

const uint8_t* EnumRecords(const FormulaSymbol* symbol)
{
    if (symbol->enumList == NULL || HoldsText(symbol->dataType))
        return NULL;
    const uint8_t* list = (const uint8_t*)symbol->enumList->GetData();
    int32_t first;
    memcpy(&first, list, 4);
    return first >= 0 ? list : NULL;
}

// The name stored with value, or null.
const char* EnumName(const uint8_t* list, int value)
{
    for (const uint8_t* p = list; p != NULL;) {
        int32_t v;
        memcpy(&v, p, 4);
        if (v < 0)
            break;
        const char* name = (const char*)p + 4;
        if (v == value)
            return name;
        p = (const uint8_t*)name + strlen(name) + 1;
    }
    return NULL;
}

std::string ParameterItem(const FormulaSymbol* s)
{
    const char* name = s->name;
    const double* v = s->value;
    switch (s->dataType) {
    case DT_COMPLEX:
        return EntryFormat("p_%s=%.16lg/%.16lg", name, v[0], v[1]);
    case DT_REAL:
        return EntryFormat("p_%s=%.16lg", name, v[0]);
    case DT_INT:
        if (const uint8_t* list = EnumRecords(s)) {
            const char* text = EnumName(list, (int)v[0]);
            return text != NULL ? std::string("p_") + name + "=\"" + text + "\"" : "";
        }
        return EntryFormat("p_%s=%d", name, (int)v[0]);
    case DT_BOOL:
        return EntryFormat("p_%s=%d", name, (int)v[0]);
    case DT_QUATERNION:
        return EntryFormat("p_%s=%.16lg/%.16lg/%.16lg/%.16lg", name, v[0], v[1], v[2], v[3]);
    case TEXT_TYPE_A:
    case TEXT_TYPE_B:
        if (s->enumList == NULL)
            return "";
        return std::string("p_") + name + "=\"" + (const char*)s->enumList->GetData() + "\"";
    case DT_COLOR:
        return EntryFormat("p_%s=%.4lg/%.4lg/%.4lg/%.4lg", name, v[0], v[1], v[2], v[3]);
    case DT_VECTOR:
        return EntryFormat("p_%s=%.16lg/%.16lg/%.16lg", name, v[0], v[1], v[2]);
    default:
        return "";
    }
}

FormulaSymbol* FindParameter(NodeList* parameters, const char* name, bool imported)
{
    ListNode* node = parameters->Find(name);
    if (node == NULL && imported)
        node = parameters->FindNoCase(name);
    if (node == NULL) {
        std::string prefixed = std::string("Parm_") + name;
        node = parameters->FindNoCase(prefixed.c_str());
    }
    return (FormulaSymbol*)node;
}

FormulaFuncParameter* FindFunction(NodeList* functions, const char* name, bool imported)
{
    ListNode* node = functions->Find(name);
    if (node == NULL && imported)
        node = functions->FindNoCase(name);
    return (FormulaFuncParameter*)node;
}

int FunctionIndex(const FunctionTableEntry* table, int count, const char* value, bool merge)
{
    for (int i = 0; i < count; i++) {
        const char* name = table[i].name;
        if (strcmp(value, name) == 0)
            return i;
        // Merge functions may be named without their "merge" prefix.
        if (merge && strncmp(name, "merge", 5) == 0 && strcmp(value, name + 5) == 0)
            return i;
    }
    return 0;
}

void SetText(FormulaSymbol* s, const char* value)
{
    int needed = (int)strlen(value) + 20;
    if (s->enumList == NULL)
        s->enumList = new GrowBuffer(needed);
    else
        s->enumList->Reserve(needed);
    strcpy((char*)s->enumList->GetData(), value);
}

}  // namespace

void WriteFormulaParameters(TextWriter& writer, const NodeList* parameters)
{
    for (ListNode* node = parameters ? parameters->GetHead() : NULL; node != NULL; node = node->next) {
        const FormulaSymbol* s = (const FormulaSymbol*)node;
        if (s->symbolClass != SYM_PARAMETER || s->dataType == DT_SEPARATOR)
            continue;
        std::string item = ParameterItem(s);
        if (!item.empty())
            writer.WriteItem(item.c_str());
    }
}

void WriteFormulaFunctions(TextWriter& writer, const NodeList* functions)
{
    for (ListNode* node = functions ? functions->GetHead() : NULL; node != NULL; node = node->next) {
        const FormulaFuncParameter* f = (const FormulaFuncParameter*)node;
        const FunctionTableEntry* table = f->functionTable == 1 ? g_MergeFunctions : g_MathFunctions;
        int count = f->functionTable == 1 ? MERGE_FUNCTION_COUNT : MATH_FUNCTION_COUNT;
        if (f->selected < 0 || f->selected >= count)
            continue;
        std::string item = std::string("f_") + f->name + "=" + table[f->selected].name;
        writer.WriteItem(item.c_str());
    }
}

void ReadParmValue(NodeList* parameters, NodeList* functions, const char* key, const char* value, bool imported)
{
    if (strncmp(key, "f_", 2) == 0) {
        FormulaFuncParameter* f = functions ? FindFunction(functions, key + 2, imported) : NULL;
        if (f == NULL)
            return;
        bool merge = f->functionTable == 1;
        f->selected = merge ? FunctionIndex(g_MergeFunctions, MERGE_FUNCTION_COUNT, value, true)
                            : FunctionIndex(g_MathFunctions, MATH_FUNCTION_COUNT, value, false);
        return;
    }
    if (parameters == NULL)
        return;
    const char* name = strncmp(key, "p_", 2) == 0 ? key + 2 : key;
    FormulaSymbol* s = FindParameter(parameters, name, imported);
    if (s == NULL)
        return;

    double w[4] = {0, 0, 0, 0};
    int n = 0;
    int enumValue = -1;
    if (const uint8_t* list = EnumRecords(s)) {
        enumValue = FindEnumValue(list, value);
        if (enumValue < 0) {
            // Names written with their line-break escapes ("a\nb").
            std::string bare;
            for (const char* p = value; *p != 0 && bare.size() < 200; p++)
                if (*p != '\\')
                    bare += *p;
            enumValue = FindEnumValue(list, bare.c_str());
        }
    }
    if (enumValue >= 0) {
        w[0] = enumValue;
        n = 1;
    } else if (strcasecmp(value, "yes") == 0 || strcasecmp(value, "true") == 0) {
        w[0] = 1;
        n = 1;
    } else if (strcasecmp(value, "no") == 0 || strcasecmp(value, "false") == 0) {
        w[0] = 0;
        n = 1;
    } else if (HoldsText(s->dataType)) {
        SetText(s, value);
        return;
    } else {
        n = sscanf(value, "%lf/%lf/%lf/%lf", &w[0], &w[1], &w[2], &w[3]);
    }

    if (s->dataType == DT_COLOR && imported) {
        int c;
        if (sscanf(value, "%d", &c) != 1)
            return;
        s->value[0] = ((c >> 16) & 255) / 255.0;
        s->value[1] = ((c >> 8) & 255) / 255.0;
        s->value[2] = (c & 255) / 255.0;
        s->value[3] = ((unsigned)c >> 24) / 255.0;
        return;
    }
    if (HoldsText(s->dataType))
        return;
    // A value that holds no number leaves the parameter as it was.
    if (n < 1)
        return;
    s->value[0] = w[0];
    if (n != 1)
        s->value[1] = w[1];
    if (n >= 3)
        s->value[2] = w[2];
    if (n == 4)
        s->value[3] = w[3];
}
