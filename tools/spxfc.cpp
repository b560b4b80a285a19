// spxfc: the formula compiler on the command line.
//
//   spxfc check --kind iteration|coloring|transformation|library
//               [--subkind plane|quaternion|attractor] [--symbols] [--postfix]
//               [--entry NAME] [--path DIR] FILE
//   spxfc index LIBFILE
//
// FILE holds one formula entry (its name, options and body), or with
// --entry a formula file of several entries of which the entry NAME is
// taken. --path sets the formula search path (folders separated by ";"),
// whose folders are loaded into the formula trees first, so that import
// statements find their libraries. The entry is
// compiled as the program compiles it without a fractal; every message the
// compiler reports is printed as the message window shows it, one line per
// entry, and then "result=true" or "result=false". With --symbols the
// declared global symbols and parameters, the selectable function
// parameters and the user functions follow before the result line. With
// --postfix every expression the compiler checks prints, as it is checked,
// one line: its element stream after the pipeline, the words as decimal
// numbers (operand words included, the end word left out).
// Exit code: 0 when the formula compiled, 1 when not, 2 on a usage or file
// error.
//
// index writes (or keeps, when current) the index file ".slb" of the
// function library LIBFILE and prints its path; the messages of compiling
// the library come before it. Exit code 0 when the index is current, 1 when
// it could not be made, 2 on a usage error.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "app/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Grammar.h"
#include "foundation/Buffers.h"
#include "foundation/List.h"
#include "formulas/FormulaIndex.h"
#include "formulas/FormulaLoader.h"
#include "formulas/FormulaNode.h"
#include "ui/MessageBox.h"

namespace {

// A command-line run has nobody to click a box: boxes are printed and
// answered with OK.
int PrintBox(UINT /*style*/, const char* title, const char* text)
{
    printf("[box] %s: %s\n", title ? title : "", text ? text : "");
    return IDOK;
}

int Usage()
{
    fprintf(stderr,
            "usage: spxfc check --kind iteration|coloring|transformation|library\n"
            "                   [--subkind plane|quaternion|attractor] [--symbols] [--postfix]\n"
            "                   [--entry NAME] [--path DIR] FILE\n"
            "       spxfc index LIBFILE\n");
    return 2;
}

// The whole file in text mode (line ends become LF, as the program reads
// formula files).
char* ReadTextFile(const char* path)
{
    FILE* file = fopen(path, "r");
    if (!file)
        return nullptr;
    size_t capacity = 4096, used = 0;
    char* text = static_cast<char*>(malloc(capacity));
    for (;;) {
        if (!text)
            break;
        if (used + 1024 >= capacity) {
            capacity *= 2;
            char* bigger = static_cast<char*>(realloc(text, capacity));
            if (!bigger) {
                free(text);
                text = nullptr;
                break;
            }
            text = bigger;
        }
        size_t n = fread(text + used, 1, capacity - used - 1, file);
        used += n;
        if (n == 0)
            break;
    }
    fclose(file);
    if (text)
        text[used] = 0;
    return text;
}

const char* PrecisionName(int precision)
{
    switch (precision) {
    case PREC_EXTENDED: return "extended";
    case PREC_DOUBLE: return "double";
    case PREC_FLOAT: return "float";
    default: return "-";
    }
}

const char* ClassName(int symbolClass)
{
    switch (symbolClass) {
    case SYM_VARIABLE: return "variable";
    case SYM_PARAMETER: return "parameter";
    case SYM_CONSTANT: return "constant";
    case SYM_PREDEFINED: return "predefined";
    default: return "-";
    }
}

const char* BufferText(const GrowBuffer* buffer)
{
    return buffer && buffer->GetData() ? static_cast<const char*>(buffer->GetData()) : nullptr;
}

void PrintText(const char* label, const GrowBuffer* buffer)
{
    const char* text = BufferText(buffer);
    if (text)
        printf(" %s=\"%s\"", label, text);
}

void PrintValues(const char* label, const double v[4], int count)
{
    printf(" %s=(", label);
    for (int i = 0; i < count; i++)
        printf(i ? ", %.15g" : "%.15g", v[i]);
    printf(")");
}

int Components(int type)
{
    switch (type) {
    case DT_COMPLEX: return 2;
    case DT_QUATERNION: case DT_COLOR: return 4;
    case DT_VECTOR: return 3;
    default: return 1;
    }
}

// Enumerators of a packed enumerator list: int32 value and name, ended by a
// negative value.
void PrintEnumerators(const GrowBuffer* list)
{
    if (!list || !list->GetData())
        return;
    const char* p = static_cast<const char*>(list->GetData());
    const char* end = p + list->GetCapacity();
    printf(" enum=[");
    bool first = true;
    while (p + 4 <= end) {
        int32_t value;
        memcpy(&value, p, 4);
        if (value < 0)
            break;
        p += 4;
        const char* name = p;
        while (p < end && *p)
            p++;
        if (p >= end)
            break;
        printf(first ? "%d:%s" : ", %d:%s", value, name);
        first = false;
        p++;
    }
    printf("]");
}

void PrintSymbol(const FormulaSymbol* s)
{
    printf("symbol %s: %s", s->name, DataTypeName(s->dataType));
    if (s->dataType == DT_ARRAY || s->dataType == DT_PREDEFINED_ARRAY) {
        printf(" of %s %s dims=%g", DataTypeName(s->precision), PrecisionName(s->elementPrecision),
               s->value[0]);
    } else if (s->dataType == DT_INT && s->precision == DT_ENUM) {
        printf(" enum");
    } else {
        printf(" %s", PrecisionName(s->precision));
    }
    printf(" %s", ClassName(s->symbolClass));
    if (s->shared)
        printf(" shared");
    if (s->symbolClass == SYM_PARAMETER || s->symbolClass == SYM_VARIABLE) {
        PrintText("caption", s->caption);
        PrintText("hint", s->hint);
    }
    if (s->symbolClass == SYM_PARAMETER) {
        PrintValues("default", s->defaultValue, Components(s->dataType));
        if (s->minimum != -1e30)
            printf(" min=%.15g", s->minimum);
        if (s->maximum != 1e30)
            printf(" max=%.15g", s->maximum);
        printf(" visible=%d enabled=%d", s->visible, s->enabled);
        if (s->randomizable)
            printf(" randomizable=1 randomizationType=%d randomize=(%.15g, %.15g)", s->randomizationType,
                   s->randomizeMin, s->randomizeMax);
        if (s->visibleExpr)
            printf(" visible-expr");
        if (s->enabledExpr)
            printf(" enabled-expr");
        if (s->defaultExpr)
            printf(" default-expr");
    }
    if (s->dataType == DT_INT && s->precision == DT_ENUM)
        PrintEnumerators(s->enumList);
    printf("\n");
}

void PrintSymbols(const FormulaCompiler& compiler)
{
    for (ListNode* n = compiler.symbols.GetHead(); n; n = n->next) {
        const FormulaSymbol* s = static_cast<const FormulaSymbol*>(n);
        if (s->symbolClass == SYM_VARIABLE || s->symbolClass == SYM_PARAMETER)
            PrintSymbol(s);
    }
    for (ListNode* n = compiler.funcParameters.GetHead(); n; n = n->next) {
        const FormulaFuncParameter* p = static_cast<const FormulaFuncParameter*>(n);
        printf("funcparameter %s: table=%s default=%d visible=%d enabled=%d", p->name,
               p->functionTable ? "merge" : "math", p->defaultFunction, p->visible, p->enabled);
        PrintText("caption", p->caption);
        PrintText("hint", p->hint);
        printf("\n");
    }
    for (ListNode* n = compiler.functions.GetHead(); n; n = n->next) {
        const FormulaFunction* f = static_cast<const FormulaFunction*>(n);
        printf("function %s: %s %s locals=%d%s\n", f->name, f->decoratedName,
               f->stateWord == FUNCTION_DEFINED ? "defined"
               : f->stateWord == FUNCTION_DECLARED ? "declared" : "new",
               f->locals.Count(), f->imported ? " imported" : "");
    }
    if (compiler.title[0] && strcmp(compiler.title, "New Formula") != 0)
        printf("title \"%s\"\n", compiler.title);
}

void PrintMessages()
{
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next) {
        const MessageNode* m = static_cast<const MessageNode*>(n);
        printf("%s\n", m->text ? m->text : "");
    }
    UnlockMessageList();
}

// The full path of a file or folder named on the command line.
std::string FullPath(const char* path)
{
    char full[FORMULA_PATH_SIZE];
    DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full) : std::string(path);
}

// Loads every folder of a ";"-separated search path into the formula trees.
void LoadSearchPath(const char* list)
{
    std::string folders;
    std::string rest = list;
    while (!rest.empty()) {
        size_t semicolon = rest.find(';');
        std::string folder = rest.substr(0, semicolon);
        rest = semicolon == std::string::npos ? std::string() : rest.substr(semicolon + 1);
        if (folder.empty())
            continue;
        folder = FullPath(folder.c_str());
        ScanFormulaFolder(folder.c_str(), folder.c_str());
        folders += folders.empty() ? folder : ";" + folder;
    }
    SetCompilerFormulaPath(folders.c_str());
}

// The text of the entry NAME of the formula file at path (null when the
// file has no such entry).
char* EntryOfFile(const char* path, const char* name)
{
    FormulaNode file(FK_ITERATION, FNK_FILE);
    file.nameText = _strdup(FullPath(path).c_str());
    return file.FindEntryText(name, nullptr);
}

// One line per expression: its element stream.
void PrintStream(void* /*context*/, int /*action*/, int /*start*/, int /*end*/, const int32_t* stream,
                 int words)
{
    for (int i = 0; i < words; i++)
        printf(i ? " %d" : "%d", (int)stream[i]);
    printf("\n");
}

int Check(int argc, char** argv)
{
    int kind = -1;
    int subKind = SK_PLANE;
    bool symbols = false;
    bool postfix = false;
    const char* path = nullptr;
    const char* entry = nullptr;
    const char* searchPath = nullptr;
    for (int i = 0; i < argc; i++) {
        const char* a = argv[i];
        if (strcmp(a, "--entry") == 0 && i + 1 < argc) {
            entry = argv[++i];
        } else if (strcmp(a, "--path") == 0 && i + 1 < argc) {
            searchPath = argv[++i];
        } else if (strcmp(a, "--kind") == 0 && i + 1 < argc) {
            const char* k = argv[++i];
            if (strcmp(k, "iteration") == 0)
                kind = FK_ITERATION;
            else if (strcmp(k, "coloring") == 0)
                kind = FK_COLORING;
            else if (strcmp(k, "transformation") == 0)
                kind = FK_TRANSFORMATION;
            else if (strcmp(k, "library") == 0)
                kind = FK_LIBRARY;
            else
                return Usage();
        } else if (strcmp(a, "--subkind") == 0 && i + 1 < argc) {
            const char* k = argv[++i];
            if (strcmp(k, "plane") == 0)
                subKind = SK_PLANE;
            else if (strcmp(k, "quaternion") == 0)
                subKind = SK_QUATERNION;
            else if (strcmp(k, "attractor") == 0)
                subKind = SK_ATTRACTOR;
            else
                return Usage();
        } else if (strcmp(a, "--symbols") == 0) {
            symbols = true;
        } else if (strcmp(a, "--postfix") == 0) {
            postfix = true;
        } else if (a[0] == '-' && a[1] == '-') {
            return Usage();
        } else if (!path) {
            path = a;
        } else {
            return Usage();
        }
    }
    if (kind < 0 || !path)
        return Usage();

    if (searchPath)
        LoadSearchPath(searchPath);
    char* text = entry ? EntryOfFile(path, entry) : ReadTextFile(path);
    if (!text) {
        if (entry)
            fprintf(stderr, "spxfc: %s has no entry %s\n", path, entry);
        else
            fprintf(stderr, "spxfc: cannot read %s\n", path);
        return 2;
    }
    // The entry's own name names it in the messages, as in the program.
    char name[ListNode::NODE_NAME_SIZE] = "";
    int nameEnd = 0;
    int nameStart = findFormulaName(text, &nameEnd);
    if (nameStart >= 0 && nameEnd > nameStart) {
        int length = nameEnd - nameStart;
        if (length > ListNode::NODE_NAME_MAX)
            length = ListNode::NODE_NAME_MAX;
        memcpy(name, text + nameStart, (size_t)length);
        name[length] = 0;
    }

    FormulaHolder holder(kind);
    if (postfix)
        holder.compiler->streamObserver = &PrintStream;
    bool ok = holder.compiler->compile(text, 0, -128, nullptr, nullptr, nullptr, name, subKind,
                                       nullptr, false, false);
    PrintMessages();
    if (symbols)
        PrintSymbols(*holder.compiler);
    printf("result=%s\n", ok ? "true" : "false");
    holder.compiler->freeResults();
    free(text);
    fflush(stdout);
    return ok ? 0 : 1;
}

int Index(int argc, char** argv)
{
    if (argc != 1 || argv[0][0] == '-')
        return Usage();
    std::string path = FullPath(argv[0]);
    if (FormulaFileCode(path.c_str()) != FFC_LIBRARY) {
        fprintf(stderr, "spxfc: %s is not a function library (.lib)\n", argv[0]);
        return 2;
    }
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        fprintf(stderr, "spxfc: cannot read %s\n", argv[0]);
        return 2;
    }
    std::string folder = path.substr(0, path.find_last_of('\\'));
    FormulaNode* node = ScanFormulaFile(path.c_str(), folder.c_str());
    int result = node ? node->WriteIndexFile() : 1;
    PrintMessages();
    char indexPath[FORMULA_PATH_SIZE];
    IndexFilePath(path.c_str(), indexPath, sizeof indexPath);
    if (result == 0)
        printf("%s\n", indexPath);
    else
        printf("index failed (%d): %s\n", result, indexPath);
    DeleteFormulaNodes(&g_FunctionLibraries);
    fflush(stdout);
    return result == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    SetMessageBoxAnswerer(&PrintBox);
    g_NumberOfOutputMessages = 100000;
    buildParseStateIndex();
    buildBuiltinIndex();
    if (argc >= 2 && strcmp(argv[1], "check") == 0)
        return Check(argc - 2, argv + 2);
    if (argc >= 2 && strcmp(argv[1], "index") == 0)
        return Index(argc - 2, argv + 2);
    return Usage();
}
