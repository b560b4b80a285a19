// spxfc: the formula compiler on the command line.
//
//   spxfc check --kind iteration|coloring|transformation|library
//               [--subkind plane|quaternion|attractor] [--symbols] [--postfix] [--fold]
//               [--entry NAME] [--path DIR] FILE
//   spxfc index LIBFILE
//   spxfc run --kind iteration [--subkind plane|quaternion] [--entry NAME] [--path DIR] FILE
//             --pixel RE,IM[,J,K] --maxiter N [--param NAME=VALUE ...] [--const-params]
//   spxfc run --kind coloring [--entry NAME] [--path DIR] FILE --z RE,IM --numiter N --loops K
//             [--param NAME=VALUE ...]
//   spxfc bench FILE [--size WxH] [--maxiter N] [--param NAME=VALUE ...]
//   spxfc bench-compile FILE
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
// numbers (operand words included, the end word left out). --fold compiles
// the entry as for a fractal instead (no parameter values handed in), so
// that constants are folded and the optimizer rewrites the streams; with
// --postfix the streams of the last compile cycle print, as the code is
// made from them (an assignment that folding removed prints as an empty
// line).
// Exit code: 0 when the formula compiled, 1 when not, 2 on a usage or file
// error.
//
// run compiles the entry (--entry and --path as for check) as for a
// fractal and runs it in a minimal
// escape-time context (pixel, maxiter and the predefined variables bound in
// its data block). An iteration formula runs init once, then loop followed
// by bailout until bailout answers false or loop has run N times, and
// prints "iterations=K z=(RE,IM)" (four components for quaternions), K
// being how often loop ran. A colouring formula gets z and numiter, runs
// init, K times loop and final, and prints "index=..." and, when the formula
// sets it, "pixelcolor=(r,g,b,a)". Numbers are printed with %.10g. With
// --code the machine code of each compiled function comes first, in hex. A
// parameter value is a number, "(a,b)" or "(a,b,c,d)", the name of a
// function for a selectable function, or an enumerator's name; parameters
// not given take their defaults. With --const-params the parameters are
// compiled as fixed values (as a calculation whose parameters don't change
// compiles them); the results are the same. With --no-opt the compile
// folds no constants and rewrites no expression (bench takes it too, for
// the figures without the optimizer).
//
// bench runs an iteration formula over the grid of the default view
// (-2.5..1.5 by -1.5..1.5; 640x480, maxiter 1000 unless given) and prints
// its iterations per second beside those of a C++ long double loop of the
// Mandelbrot set z = z*z + pixel, |z| < 4 over the same points, and their
// ratio (each loop timed three times, the fastest run counting).
// bench-compile prints the milliseconds of one full compile (as for a
// fractal, every pass; the fastest of five).
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

#include "app/ServiceBindings.h"
#include "foundation/Messages.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaRun.h"
#include "compiler/Grammar.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"
#include "foundation/List.h"
#include "formulas/FormulaIndex.h"
#include "formulas/FormulaLoader.h"
#include "formulas/FormulaNode.h"
#include "foundation/MessageBox.h"

namespace {

// A command-line run has nobody to click a box: boxes are printed and
// answered with OK.
int PrintBox(UINT /*style*/, const char* title, const char* text)
{
    printf("[box] %s: %s\n", title ? title : "", text ? text : "");
    return IDOK;
}

// The formula kind and sub kind named on the command line; -1 when unknown.
int ParseKind(const char* name)
{
    static const struct { const char* name; int kind; } kinds[] = {
        {"iteration", FK_ITERATION}, {"coloring", FK_COLORING},
        {"transformation", FK_TRANSFORMATION}, {"library", FK_LIBRARY}};
    for (const auto& k : kinds)
        if (strcmp(name, k.name) == 0)
            return k.kind;
    return -1;
}

int ParseSubKind(const char* name)
{
    static const struct { const char* name; int subKind; } subKinds[] = {
        {"plane", SK_PLANE}, {"quaternion", SK_QUATERNION}, {"attractor", SK_ATTRACTOR}};
    for (const auto& k : subKinds)
        if (strcmp(name, k.name) == 0)
            return k.subKind;
    return -1;
}

int Usage()
{
    fprintf(stderr,
            "usage: spxfc check --kind iteration|coloring|transformation|library\n"
            "                   [--subkind plane|quaternion|attractor] [--symbols] [--postfix] [--fold]\n"
            "                   [--entry NAME] [--path DIR] FILE\n"
            "       spxfc index LIBFILE\n"
            "       spxfc run --kind iteration [--subkind plane|quaternion] [--entry NAME] [--path DIR] FILE\n"
            "                 --pixel RE,IM[,J,K] --maxiter N [--param NAME=VALUE ...] [--const-params] [--no-opt]\n"
            "       spxfc run --kind coloring [--entry NAME] [--path DIR] FILE --z RE,IM --numiter N --loops K\n"
            "                 [--param NAME=VALUE ...]\n"
            "       spxfc bench FILE [--size WxH] [--maxiter N] [--param NAME=VALUE ...] [--no-opt]\n"
            "       spxfc bench-compile FILE\n");
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

// --fold: the streams of the last compile cycle only (the earlier cycles
// see the facts of their predecessors, not the final ones).
struct LastCycleStreams {
    FormulaCompiler* compiler;
    int passIndex;
    int cycle;
    std::string lines;
};

void CollectStream(void* context, int /*action*/, int /*start*/, int /*end*/, const int32_t* stream, int words)
{
    LastCycleStreams* c = static_cast<LastCycleStreams*>(context);
    if (c->compiler->passIndex != c->passIndex || c->compiler->cycle != c->cycle) {
        c->passIndex = c->compiler->passIndex;
        c->cycle = c->compiler->cycle;
        c->lines.clear();
    }
    char word[16];
    for (int i = 0; i < words; i++) {
        snprintf(word, sizeof word, i ? " %d" : "%d", (int)stream[i]);
        c->lines += word;
    }
    c->lines += "\n";
}

int Check(int argc, char** argv)
{
    int kind = -1;
    int subKind = SK_PLANE;
    bool symbols = false;
    bool postfix = false;
    bool fold = false;
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
            kind = ParseKind(argv[++i]);
            if (kind < 0)
                return Usage();
        } else if (strcmp(a, "--subkind") == 0 && i + 1 < argc) {
            subKind = ParseSubKind(argv[++i]);
            if (subKind < 0)
                return Usage();
        } else if (strcmp(a, "--symbols") == 0) {
            symbols = true;
        } else if (strcmp(a, "--postfix") == 0) {
            postfix = true;
        } else if (strcmp(a, "--fold") == 0) {
            fold = true;
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
    bool ok;
    if (fold) {
        // As for a fractal: the optimizing passes run, constants are folded
        // and the rewrites applied; the streams of the last cycle print.
        InitProcessorFeatures();
        fixupTemplates();
        Fractal fractal;
        fractal.header->Type = subKind == SK_QUATERNION ? FT_QUATERNION
                               : subKind == SK_ATTRACTOR ? FT_ATTRACTOR
                                                         : FT_ESCAPETIME;
        NodeList parameters;
        LastCycleStreams last = {holder.compiler, -1, -1, std::string()};
        if (postfix) {
            holder.compiler->streamObserver = &CollectStream;
            holder.compiler->streamObserverContext = &last;
        }
        ok = holder.compiler->compile(text, 0, -128, &parameters, nullptr, &fractal, name, subKind, nullptr,
                                      false, false);
        holder.compiler->streamObserver = nullptr;
        fputs(last.lines.c_str(), stdout);
    } else {
        ok = holder.compiler->compile(text, 0, -128, nullptr, nullptr, nullptr, name, subKind, nullptr, false,
                                      false);
    }
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


// "1.5,2" into up to four numbers; the count read (0 on a malformed text).
int ParseNumbers(const char* text, double values[4])
{
    int n = 0;
    const char* p = text;
    while (n < 4) {
        char* end;
        double v = strtod(p, &end);
        if (end == p)
            return 0;
        values[n++] = v;
        p = end;
        if (*p != ',')
            break;
        p++;
    }
    return *p ? 0 : n;
}

bool ParseInt(const char* text, int* value)
{
    char* end;
    long v = strtol(text, &end, 10);
    if (end == text || *end)
        return false;
    *value = (int)v;
    return true;
}

// The entry's text (a file of one entry).
char* ReadEntry(const char* path)
{
    char* text = ReadTextFile(path);
    if (!text)
        fprintf(stderr, "spxfc: cannot read %s\n", path);
    return text;
}

int Run(int argc, char** argv)
{
    int kind = -1;
    int subKind = SK_PLANE;
    const char* path = nullptr;
    double pixel[4] = {0, 0, 0, 0}, z[4] = {0, 0, 0, 0};
    int pixelCount = 0, zCount = 0;
    int maxIter = -1, numIter = 0, loops = 0;
    bool showCode = false;
    bool constParams = false;
    bool noOpt = false;
    const char* entry = nullptr;
    const char* searchPath = nullptr;
    FormulaRun::Settings settings;
    for (int i = 0; i < argc; i++) {
        const char* a = argv[i];
        bool more = i + 1 < argc;
        if (strcmp(a, "--entry") == 0 && more) {
            entry = argv[++i];
        } else if (strcmp(a, "--path") == 0 && more) {
            searchPath = argv[++i];
        } else if (strcmp(a, "--kind") == 0 && more) {
            kind = ParseKind(argv[++i]);
            if (kind != FK_ITERATION && kind != FK_COLORING)
                return Usage();
        } else if (strcmp(a, "--subkind") == 0 && more) {
            subKind = ParseSubKind(argv[++i]);
            if (subKind != SK_PLANE && subKind != SK_QUATERNION)
                return Usage();
        } else if (strcmp(a, "--pixel") == 0 && more) {
            pixelCount = ParseNumbers(argv[++i], pixel);
            if (pixelCount == 0)
                return Usage();
        } else if (strcmp(a, "--z") == 0 && more) {
            zCount = ParseNumbers(argv[++i], z);
            if (zCount == 0)
                return Usage();
        } else if (strcmp(a, "--maxiter") == 0 && more) {
            if (!ParseInt(argv[++i], &maxIter))
                return Usage();
        } else if (strcmp(a, "--numiter") == 0 && more) {
            if (!ParseInt(argv[++i], &numIter))
                return Usage();
        } else if (strcmp(a, "--loops") == 0 && more) {
            if (!ParseInt(argv[++i], &loops))
                return Usage();
        } else if (strcmp(a, "--param") == 0 && more) {
            const char* setting = argv[++i];
            const char* equals = strchr(setting, '=');
            if (!equals || equals == setting)
                return Usage();
            settings.push_back({std::string(setting, equals), std::string(equals + 1)});
        } else if (strcmp(a, "--code") == 0) {
            showCode = true;
        } else if (strcmp(a, "--const-params") == 0) {
            constParams = true;
        } else if (strcmp(a, "--no-opt") == 0) {
            noOpt = true;
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
    if (kind == FK_ITERATION && (pixelCount < 2 || maxIter < 0))
        return Usage();
    if (searchPath)
        LoadSearchPath(searchPath);
    char* text = entry ? EntryOfFile(path, entry) : ReadEntry(path);
    if (!text) {
        if (entry)
            fprintf(stderr, "spxfc: %s has no entry %s\n", path, entry);
        return 2;
    }
    FormulaRun run;
    if (constParams)
        run.SetParametersConstant(true);
    run.SetOptimization(!noOpt);
    bool ok = run.Compile(text, kind, subKind, settings);
    free(text);
    PrintMessages();
    if (!ok) {
        printf("error: %s\n", run.error().c_str());
        fflush(stdout);
        return 1;
    }
    if (showCode) {
        // The machine code of each section, in hex.
        for (ListNode* n = run.Holder()->compiler->functions.GetHead(); n; n = n->next) {
            const FormulaFunction* f = static_cast<const FormulaFunction*>(n);
            if (f->codeLength == FUNCTION_NOT_COMPILED || !f->code || !f->code->GetData())
                continue;
            printf("code %s:", f->decoratedName);
            const uint8_t* bytes = static_cast<const uint8_t*>(f->code->GetData());
            for (uint32_t k = 0; k < f->codeLength; k++)
                printf(" %02X", bytes[k]);
            printf("\n");
        }
    }
    if (kind == FK_ITERATION) {
        run.SetPixel(pixel);
        int iterations = run.Iterate(maxIter);
        double result[4];
        int n = run.GetZ(result);
        printf("iterations=%d z=(", iterations);
        for (int k = 0; k < n; k++)
            printf(k ? ",%.10g" : "%.10g", result[k]);
        printf(")\n");
    } else {
        run.Colour(z, numIter, loops);
        printf("index=%.10g\n", run.GetIndex());
        double colour[4];
        if (run.GetPixelColor(colour))
            printf("pixelcolor=(%.10g,%.10g,%.10g,%.10g)\n", colour[0], colour[1], colour[2], colour[3]);
    }
    fflush(stdout);
    return 0;
}

double Seconds()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

// The Mandelbrot set in C++: how often z = z*z + c ran before |z|^2 >= 4,
// at most maxIter times (the iteration formula's counting).
int __attribute__((noinline)) MandelbrotIterations(long double cr, long double ci, int maxIter)
{
    long double zr = 0, zi = 0;
    int k = 0;
    while (k < maxIter) {
        long double t = zr * zr - zi * zi + cr;
        zi = 2 * zr * zi + ci;
        zr = t;
        k++;
        if (zr * zr + zi * zi >= 4)
            break;
    }
    return k;
}

int Bench(int argc, char** argv)
{
    const char* path = nullptr;
    int width = 640, height = 480, maxIter = 1000;
    bool noOpt = false;
    FormulaRun::Settings settings;
    for (int i = 0; i < argc; i++) {
        const char* a = argv[i];
        bool more = i + 1 < argc;
        if (strcmp(a, "--size") == 0 && more) {
            if (sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 2 || height < 2)
                return Usage();
        } else if (strcmp(a, "--maxiter") == 0 && more) {
            if (!ParseInt(argv[++i], &maxIter) || maxIter < 1)
                return Usage();
        } else if (strcmp(a, "--param") == 0 && more) {
            const char* setting = argv[++i];
            const char* equals = strchr(setting, '=');
            if (!equals || equals == setting)
                return Usage();
            settings.push_back({std::string(setting, equals), std::string(equals + 1)});
        } else if (strcmp(a, "--no-opt") == 0) {
            noOpt = true;
        } else if (a[0] == '-' && a[1] == '-') {
            return Usage();
        } else if (!path) {
            path = a;
        } else {
            return Usage();
        }
    }
    if (!path)
        return Usage();
    char* text = ReadEntry(path);
    if (!text)
        return 2;
    FormulaRun run;
    run.SetOptimization(!noOpt);
    run.SetVariablesReadBack(false);
    bool ok = run.Compile(text, FK_ITERATION, SK_PLANE, settings);
    free(text);
    PrintMessages();
    if (!ok) {
        printf("error: %s\n", run.error().c_str());
        return 1;
    }
    // The grid of the default view, row by row from the top left. The
    // coordinates are rounded to doubles through memory, so that both loops
    // start from the same points (x87 code may otherwise carry a value with
    // more precision than a double into the C++ loop).
    auto point = [&](int x, int y, double* re, double* im) {
        volatile double r = -2.5 + 4.0 * x / (width - 1);
        volatile double i = 1.5 - 3.0 * y / (height - 1);
        *re = r;
        *im = i;
    };
    // Each loop runs three times, alternating, and its fastest run counts:
    // other work on the machine only ever slows a run down.
    long long formulaIterations = 0, referenceIterations = 0;
    double formulaSeconds = 1e30, referenceSeconds = 1e30;
    for (int round = 0; round < 3; round++) {
        double start = Seconds();
        formulaIterations = 0;
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                double p[4] = {0, 0, 0, 0};
                point(x, y, &p[0], &p[1]);
                run.SetPixel(p);
                formulaIterations += run.Iterate(maxIter);
            }
        }
        double seconds = Seconds() - start;
        if (seconds < formulaSeconds)
            formulaSeconds = seconds;
        start = Seconds();
        referenceIterations = 0;
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                double re, im;
                point(x, y, &re, &im);
                referenceIterations += MandelbrotIterations(re, im, maxIter);
            }
        }
        seconds = Seconds() - start;
        if (seconds < referenceSeconds)
            referenceSeconds = seconds;
    }
    double formulaRate = formulaIterations / (formulaSeconds > 0 ? formulaSeconds : 1e-9);
    double referenceRate = referenceIterations / (referenceSeconds > 0 ? referenceSeconds : 1e-9);
    printf("grid=%dx%d maxiter=%d\n", width, height, maxIter);
    printf("formula: iterations=%lld seconds=%.3f iterations_per_second=%.4g\n", formulaIterations,
           formulaSeconds, formulaRate);
    printf("c++ long double mandelbrot: iterations=%lld seconds=%.3f iterations_per_second=%.4g\n",
           referenceIterations, referenceSeconds, referenceRate);
    printf("ratio=%.3f\n", formulaRate / referenceRate);
    fflush(stdout);
    return 0;
}

int BenchCompile(int argc, char** argv)
{
    if (argc != 1 || argv[0][0] == '-')
        return Usage();
    char* text = ReadEntry(argv[0]);
    if (!text)
        return 2;
    InitProcessorFeatures();
    fixupTemplates();
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
    FormulaHolder holder(FK_ITERATION);
    Fractal fractal;
    fractal.header->Type = FT_ESCAPETIME;
    // One compile to warm the caches, then the fastest of five.
    holder.compiler->compile(text, 0, -128, nullptr, nullptr, &fractal, name, SK_PLANE, nullptr, false, false);
    holder.compiler->freeResults();
    bool ok = true;
    double milliseconds = 1e30;
    for (int round = 0; round < 5; round++) {
        double start = Seconds();
        ok = holder.compiler->compile(text, 0, -128, nullptr, nullptr, &fractal, name, SK_PLANE, nullptr, false,
                                      false) && ok;
        double elapsed = (Seconds() - start) * 1000.0;
        if (elapsed < milliseconds)
            milliseconds = elapsed;
        holder.compiler->freeResults();
    }
    free(text);
    PrintMessages();
    printf("compile_ms=%.3f result=%s\n", milliseconds, ok ? "true" : "false");
    fflush(stdout);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    BindApplicationServices();
    SetMessageBoxAnswerer(&PrintBox);
    g_NumberOfOutputMessages = 100000;
    buildParseStateIndex();
    buildBuiltinIndex();
    if (argc >= 2 && strcmp(argv[1], "check") == 0)
        return Check(argc - 2, argv + 2);
    if (argc >= 2 && strcmp(argv[1], "index") == 0)
        return Index(argc - 2, argv + 2);
    if (argc >= 2 && strcmp(argv[1], "run") == 0)
        return Run(argc - 2, argv + 2);
    if (argc >= 2 && strcmp(argv[1], "bench") == 0)
        return Bench(argc - 2, argv + 2);
    if (argc >= 2 && strcmp(argv[1], "bench-compile") == 0)
        return BenchCompile(argc - 2, argv + 2);
    return Usage();
}
