// Running one compiled formula outside a calculation (see FormulaRun.h).
//
// Each section (init, loop, bailout, final) becomes a routine of its own:
// ENTER 176, 0; the section's code; LEAVE; RET, with the user functions it
// calls joined behind it. The bailout routine answers in EAX: its code ends
// with the conditional jump of its return( ) statement, which is pointed at
// a "false" exit. The iteration driver calls init once, then loop and
// bailout with ECX counting the iterations left, as the calculation's
// per-pixel routine does.
#include "compiler/FormulaRun.h"

#include <windows.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "foundation/Messages.h"
#include "compiler/CodeEmit.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Grammar.h"
#include "compiler/NoiseTables.h"
#include "compiler/Predefined.h"
#include "foundation/Buffers.h"
#include "formulas/FormulaKind.h"

namespace {

NodeList* Symbols(void* list)
{
    return static_cast<NodeList*>(list);
}

void DeleteList(void*& list)
{
    if (!list)
        return;
    DeleteAllNodes(Symbols(list));
    delete Symbols(list);
    list = nullptr;
}

// "1.5", "(1,2)", "(1,2,3,4)" into values; the number of components read,
// 0 when the text is not of that form.
int ParseValues(const std::string& text, double values[4])
{
    const char* p = text.c_str();
    while (*p == ' ')
        p++;
    bool paren = *p == '(';
    if (paren)
        p++;
    int n = 0;
    for (;;) {
        char* end;
        double v = strtod(p, &end);
        if (end == p || n == 4)
            return 0;
        values[n++] = v;
        p = end;
        while (*p == ' ')
            p++;
        if (*p == ',' && paren) {
            p++;
            continue;
        }
        break;
    }
    if (paren) {
        if (*p != ')')
            return 0;
        p++;
    }
    while (*p == ' ')
        p++;
    return *p ? 0 : n;
}

// The value of an enumerator name of a packed enumerator list; -1 when none.
int EnumValue(const GrowBuffer* list, const char* name)
{
    if (!list || !list->GetData())
        return -1;
    const char* p = static_cast<const char*>(list->GetData());
    const char* end = p + list->GetCapacity();
    while (p + 4 <= end) {
        int32_t value;
        memcpy(&value, p, 4);
        if (value < 0)
            return -1;
        p += 4;
        const char* entry = p;
        while (p < end && *p)
            p++;
        if (p >= end)
            return -1;
        if (strcmp(entry, name) == 0)
            return value;
        p++;
    }
    return -1;
}

int FunctionIndex(const FunctionTableEntry* table, int count, const char* name)
{
    for (int i = 0; i < count; i++) {
        if (strcmp(table[i].name, name) == 0)
            return i;
    }
    return -1;
}

struct Code {
    GrowBuffer* buffer;
    int position;
    uint8_t* Room(int bytes)
    {
        buffer->ReserveSlack(position + bytes, 4096);
        return static_cast<uint8_t*>(buffer->GetData());
    }
    void Bytes(std::initializer_list<uint8_t> bytes)
    {
        uint8_t* code = Room((int)bytes.size());
        for (uint8_t b : bytes)
            code[position++] = b;
    }
    void Word(int32_t v)
    {
        uint8_t* code = Room(4);
        memcpy(code + position, &v, 4);
        position += 4;
    }
    void PatchRel32(int at, int target)
    {
        int32_t displacement = target - (at + 4);
        memcpy(static_cast<uint8_t*>(buffer->GetData()) + at, &displacement, 4);
    }
};

// Whether a section's code can be placed inline in the iteration loop: it
// holds no return of its own (which leaves its frame), and a bailout ends
// with the conditional jump of its return( ).
bool Inlinable(const FormulaFunction* f, bool bailout)
{
    if (!f || f->codeLength == FUNCTION_NOT_COMPILED || !f->code || !f->code->GetData())
        return false;
    const uint8_t* code = static_cast<const uint8_t*>(f->code->GetData());
    int length = (int)f->codeLength;
    static const uint8_t leave[4] = {0x8B, 0xE5, 0x5D, 0xC3};
    for (int i = 0; i + 4 <= length; i++) {
        if (memcmp(code + i, leave, 4) == 0)
            return false;
    }
    if (bailout)
        return length >= 6 && code[length - 6] == 0x0F && (code[length - 5] & 0xF0) == 0x80;
    return true;
}

// Copies a function's code to the end of out; returns where it starts.
int Place(Code& out, const FormulaFunction* f)
{
    int base = out.position;
    int length = (int)f->codeLength;
    uint8_t* code = out.Room(length + 16);
    memcpy(code + out.position, f->code->GetData(), (size_t)length);
    out.position += length;
    return base;
}

}  // namespace

FormulaRun::FormulaRun()
    : holder(nullptr), fractal(nullptr), kind(FK_ITERATION), subKind(SK_PLANE), inputSymbols(nullptr),
      inputFuncParameters(nullptr), routines(nullptr), initRoutine(-1), loopRoutine(-1), bailoutRoutine(-1),
      finalRoutine(-1), iterateRoutine(-1), maxIterOffset(208), numIterOffset(352),
      parametersConstant(false), pixelSymbol(nullptr), maxIterSymbol(nullptr), optimize(true)
{
    char variant[64];
    DWORD n = GetEnvironmentVariableA("SPIRALIX_FORMULA_VARIANT", variant, sizeof variant);
    if (n > 0 && n < sizeof variant) {
        optimize = strstr(variant, "noopt") == nullptr;
        parametersConstant = strstr(variant, "constparams") != nullptr;
    }
}

FormulaRun::~FormulaRun()
{
    Release();
}

void FormulaRun::Release()
{
    if (holder && holder->compiler && holder->compiler->dataBlock && holder->compiler->dataBlock->GetBase())
        FreeFormulaArrays(&holder->compiler->symbols, holder->compiler->dataBlock->GetBase(),
                          holder->compiler->dataBlock->GetAbove());
    if (holder && holder->compiler)
        holder->compiler->freeResults();
    delete holder;
    holder = nullptr;
    delete fractal;
    fractal = nullptr;
    DeleteList(inputSymbols);
    DeleteList(inputFuncParameters);
    delete routines;
    routines = nullptr;
    initRoutine = loopRoutine = bailoutRoutine = finalRoutine = iterateRoutine = -1;
    pixelSymbol = maxIterSymbol = nullptr;
}

namespace {
thread_local FormulaRun* t_compilingRun = nullptr;
}

void FormulaRun::BindWhileCompiling(CompileHost* /*fractal*/, uint8_t* /*base*/, NodeList* /*symbols*/)
{
    if (t_compilingRun)
        t_compilingRun->BindContext();
}

bool FormulaRun::CompileOnce(const char* text, bool withFractal)
{
    FormulaCompiler* compiler = holder->compiler;
    LockMessageList();
    int messagesBefore = g_Messages.Count();
    UnlockMessageList();
    compiler->optimizationOff = optimize ? 0 : 1;
    compiler->keepUnreadStores = readBack ? 1 : 0;
    // The compile binds the calculation's values into the data block (as
    // a calculation does): constant parts that read e, pi, magn ... are
    // folded with their values.
    DataBlockBinder* binder =
        fractal->type == FT_QUATERNION ? &g_BindQuaternionVariables : &g_BindPredefinedVariables;
    bool installed = withFractal && *binder == nullptr;
    if (installed) {
        t_compilingRun = this;
        *binder = &FormulaRun::BindWhileCompiling;
    }
    bool ok = compiler->compile(text, 0, -128, withFractal ? Symbols(inputSymbols) : nullptr,
                                withFractal ? Symbols(inputFuncParameters) : nullptr,
                                withFractal ? fractal : nullptr, formulaName.c_str(), subKind, nullptr, false,
                                withFractal && parametersConstant);
    if (installed) {
        *binder = nullptr;
        t_compilingRun = nullptr;
    }
    if (!ok) {
        // The compiler's own messages tell why.
        errorMessage = "the formula does not compile";
        LockMessageList();
        for (int i = messagesBefore; i < g_Messages.Count(); i++) {
            const MessageNode* m = static_cast<const MessageNode*>(g_Messages.GetAt(i));
            if (m && m->text)
                errorMessage += std::string("\n") + m->text;
        }
        UnlockMessageList();
    }
    return ok;
}

bool FormulaRun::Compile(const char* text, int formulaKind, int formulaSubKind, const Settings& settings)
{
    Release();
    errorMessage.clear();
    kind = formulaKind;
    subKind = formulaSubKind;
    InitProcessorFeatures();
    fixupTemplates();
    holder = new FormulaHolder(kind);
    fractal = new Host(subKind == SK_QUATERNION ? FT_QUATERNION : FT_ESCAPETIME);

    // The entry's name names it in messages.
    formulaName.clear();
    int nameEnd = 0;
    int nameStart = findFormulaName(text, &nameEnd);
    if (nameStart >= 0 && nameEnd > nameStart)
        formulaName.assign(text + nameStart, (size_t)(nameEnd - nameStart));
    if (formulaName.empty())
        formulaName = "<Unnamed>";

    // A first compile makes the parameters known with their defaults.
    if (!CompileOnce(text, false))
        return false;
    if (!ApplySettings(settings))
        return false;
    holder->compiler->freeResults();
    if (!CompileOnce(text, true))
        return false;
    return Assemble();
}

bool FormulaRun::ApplySettings(const Settings& settings)
{
    FormulaCompiler* compiler = holder->compiler;
    NodeList* values = new NodeList();
    inputSymbols = values;
    NodeList* functions = new NodeList();
    inputFuncParameters = functions;
    for (ListNode* n = compiler->symbols.GetHead(); n; n = n->next) {
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        if (s->symbolClass != SYM_PARAMETER)
            continue;
        FormulaSymbol* copy = new FormulaSymbol();
        s->copyTo(copy);
        memcpy(copy->value, s->defaultValue, sizeof copy->value);
        values->Append(copy);
    }
    for (ListNode* n = compiler->funcParameters.GetHead(); n; n = n->next) {
        FormulaFuncParameter* p = static_cast<FormulaFuncParameter*>(n);
        FormulaFuncParameter* copy = new FormulaFuncParameter();
        p->copyTo(copy);
        if (copy->defaultFunction >= 0)
            copy->selected = copy->defaultFunction;
        functions->Append(copy);
    }
    for (const auto& setting : settings) {
        const char* name = setting.first.c_str();
        FormulaSymbol* s = static_cast<FormulaSymbol*>(findNodeByName(values->GetHead(), name));
        FormulaFuncParameter* f =
            static_cast<FormulaFuncParameter*>(findNodeByName(functions->GetHead(), name));
        if (f) {
            bool merge = f->functionTable == 1;
            int index = merge ? FunctionIndex(g_MergeFunctions, MERGE_FUNCTION_COUNT, setting.second.c_str())
                              : FunctionIndex(g_MathFunctions, MATH_FUNCTION_COUNT, setting.second.c_str());
            if (index < 0) {
                errorMessage = "\"" + setting.second + "\" is no function for " + setting.first;
                return false;
            }
            f->selected = index;
            continue;
        }
        if (!s) {
            errorMessage = "the formula has no parameter " + setting.first;
            return false;
        }
        double v[4] = {0, 0, 0, 0};
        int n = ParseValues(setting.second, v);
        if (n == 0 && s->dataType == DT_BOOL && (setting.second == "true" || setting.second == "false")) {
            v[0] = setting.second == "true" ? 1 : 0;
            n = 1;
        }
        if (n == 0 && s->dataType == DT_INT && s->precision == DT_ENUM) {
            int e = EnumValue(s->enumList, setting.second.c_str());
            if (e >= 0) {
                v[0] = e;
                n = 1;
            }
        }
        if (n == 0) {
            errorMessage = "\"" + setting.second + "\" is no value for " + setting.first;
            return false;
        }
        memcpy(s->value, v, sizeof v);
    }
    return true;
}

FormulaSymbol* FormulaRun::Symbol(const char* name) const
{
    if (!holder)
        return nullptr;
    return static_cast<FormulaSymbol*>(findNodeByName(holder->compiler->symbols.GetHead(), name));
}

uint8_t* FormulaRun::DataBase() const
{
    if (!holder || !holder->compiler->dataBlock)
        return nullptr;
    return holder->compiler->dataBlock->GetBase();
}

void FormulaRun::WriteSymbol(const char* name, const double* values, int count)
{
    WriteSymbol(Symbol(name), values, count);
}

void FormulaRun::WriteSymbol(FormulaSymbol* s, const double* values, int count)
{
    if (!s || s->dataOffset < 0)
        return;
    double saved[4];
    memcpy(saved, s->value, sizeof saved);
    for (int k = 0; k < 4; k++)
        s->value[k] = k < count ? values[k] : 0.0;
    holder->compiler->storeSymbolValue(s);
    memcpy(s->value, saved, sizeof saved);
}

void FormulaRun::ReadSymbol(const char* name, double out[4]) const
{
    out[0] = out[1] = out[2] = out[3] = 0.0;
    FormulaSymbol* s = Symbol(name);
    uint8_t* base = DataBase();
    if (!s || !base || s->dataOffset < 0)
        return;
    const uint8_t* slot = base + s->dataOffset;
    int components = TypeFootprint(s->dataType);
    switch (s->dataType) {
    case DT_INT:
    case DT_BOOL: {
        int32_t v;
        memcpy(&v, slot, 4);
        out[0] = v;
        return;
    }
    case DT_COLOR:
        for (int k = 0; k < 4; k++) {
            float f;
            memcpy(&f, slot + 4 * k, 4);
            out[k] = f;
        }
        return;
    default:
        break;
    }
    for (int k = 0; k < components && k < 4; k++) {
        switch (s->precision) {
        case PREC_EXTENDED: {
            long double v = 0;
            memcpy(&v, slot + 16 * k, 10);
            out[k] = (double)v;
            break;
        }
        case PREC_FLOAT: {
            float f;
            memcpy(&f, slot + 4 * k, 4);
            out[k] = f;
            break;
        }
        default:
            memcpy(&out[k], slot + 8 * k, 8);
            break;
        }
    }
}

// The values a calculation binds before the formula runs: the default view
// of the Mandelbrot set on a 640 x 480 image, the constants, the addresses
// of the memory routines and of the noise tables.
void FormulaRun::BindContext()
{
    uint8_t* base = DataBase();
    if (!base)
        return;
    const double center[2] = {-0.5, 0.0};
    const double e[1] = {2.718281828459045};
    const double pi[1] = {3.141592653589793};
    const double screen[2] = {640, 480};
    const double leftTop[2] = {-2.5, 1.5};
    const double rightBottom[2] = {1.5, -1.5};
    const double one[1] = {1.0};
    const double width[1] = {640}, height[1] = {480};
    WriteSymbol("center", center, 2);
    WriteSymbol("rotation_center", center, 2);
    WriteSymbol("e", e, 1);
    WriteSymbol("pi", pi, 1);
    WriteSymbol("screenmax", screen, 2);
    WriteSymbol("corner_lefttop", leftTop, 2);
    WriteSymbol("corner_rightbottom", rightBottom, 2);
    WriteSymbol("magn", one, 1);
    WriteSymbol("width", width, 1);
    WriteSymbol("height", height, 1);
    WriteSymbol("UF_stretch", one, 1);
    const double range[1] = {1.0};
    WriteSymbol("randomrange", range, 1);
    void* virtualAlloc = reinterpret_cast<void*>(&VirtualAlloc);
    void* virtualFree = reinterpret_cast<void*>(&VirtualFree);
    memcpy(base + DATA_VIRTUALALLOC, &virtualAlloc, 4);
    memcpy(base + DATA_VIRTUALFREE, &virtualFree, 4);
    const void* permutation = PerlinPermutationTable();
    const void* gradients = PerlinGradientTable();
    memcpy(base + 1076, &permutation, 4);
    memcpy(base + 1080, &gradients, 4);
    AllocateFormulaArrays(&holder->compiler->symbols, base, holder->compiler->dataBlock->GetAbove());

    // The parameter values, as the calculation writes them before it runs
    // the code (the compile leaves the slots of parameters it may assign
    // with the formula's own values).
    FormulaCompiler* compiler = holder->compiler;
    NodeList* saved = compiler->inputSymbols;
    compiler->inputSymbols = Symbols(inputSymbols);
    compiler->storeParameterValues(1);
    compiler->inputSymbols = saved;
}

bool FormulaRun::Assemble()
{
    FormulaCompiler* compiler = holder->compiler;
    routines = new GrowBuffer(8192, true);
    Code out{routines, 0};
    std::vector<std::pair<FormulaFunction*, int>> inlineLoops;
    // Each routine gets its own copies of the user functions it calls.
    auto unplace = [&]() {
        for (ListNode* n = compiler->functions.GetHead(); n; n = n->next)
            static_cast<FormulaFunction*>(n)->placement = -1;
    };

    // One routine per section.
    auto section = [&](const char* decoratedName, bool bailout) -> int {
        FormulaFunction* f = findFunction(&compiler->functions, decoratedName);
        if (!f || f->codeLength == FUNCTION_NOT_COMPILED || !f->code || !f->code->GetData())
            return -1;
        int start = out.position;
        unplace();
        // push ebp; mov ebp, esp; sub esp, 176: the frame of ENTER 176, 0.
        out.Bytes({0x55, 0x8B, 0xEC, 0x81, 0xEC, 0xB0, 0x00, 0x00, 0x00});
        int base = out.position;
        int length = (int)f->codeLength;
        uint8_t* code = out.Room(length + 32);
        memcpy(code + out.position, f->code->GetData(), (size_t)length);
        out.position += length;
        if (bailout) {
            // The jump of return( ): taken when the bailout answers false.
            bool hasJump = length >= 6 && code[base + length - 6] == 0x0F &&
                           (code[base + length - 5] & 0xF0) == 0x80;
            out.Bytes({0xB8, 0x01, 0x00, 0x00, 0x00, 0xC9, 0xC3});   // mov eax, 1; leave; ret
            if (hasJump)
                out.PatchRel32(base + length - 4, out.position);
            out.Bytes({0x31, 0xC0, 0xC9, 0xC3});                     // xor eax, eax; leave; ret
        } else {
            out.Bytes({0xC9, 0xC3});                                 // leave; ret
        }
        // The user functions it calls, behind it.
        compiler->linkSubFunctions(routines, &out.position, f, base);
        return start;
    };

    if (kind == FK_ITERATION) {
        initRoutine = section("Vinit@@", false);
        loopRoutine = section("Vloop@@", false);
        bailoutRoutine = section("Bbailout@@", true);
        if (initRoutine < 0 || loopRoutine < 0 || bailoutRoutine < 0) {
            errorMessage = "the formula lacks init, loop or bailout";
            return false;
        }
        FormulaSymbol* maxiter = Symbol("maxiter");
        FormulaSymbol* numiter = Symbol("numiter");
        if (!maxiter || !numiter) {
            errorMessage = "the formula kind has no maxiter or numiter";
            return false;
        }
        maxIterOffset = maxiter->dataOffset;
        maxIterSymbol = maxiter;
        numIterOffset = numiter->dataOffset;

        // The driver: init; ECX = maxiter; numiter = 0; then loop and
        // bailout until bailout answers false or ECX runs out. EAX = how
        // often loop ran.
        iterateRoutine = out.position;
        auto call = [&](int target) {
            out.Bytes({0xE8});
            out.Word(0);
            out.PatchRel32(out.position - 4, target);
        };
        call(initRoutine);
        out.Bytes({0x8B, 0x8F});                                    // mov ecx, [edi+maxiter]
        out.Word(maxIterOffset);
        out.Bytes({0xC7, 0x87});                                    // mov dword [edi+numiter], 0
        out.Word(numIterOffset);
        out.Word(0);
        out.Bytes({0x85, 0xC9, 0x0F, 0x8E});                        // test ecx, ecx; jle none
        int jumpNone = out.position;
        out.Word(0);
        int jumpBailed = -1, bailedFrame = 0;
        FormulaFunction* loop = findFunction(&compiler->functions, "Vloop@@");
        FormulaFunction* bail = findFunction(&compiler->functions, "Bbailout@@");
        if (Inlinable(loop, false) && Inlinable(bail, true)) {
            // loop and bailout inline under one frame, as the per-pixel
            // routine of a calculation places them.
            out.Bytes({0x55, 0x8B, 0xEC, 0x81, 0xEC, 0xB0, 0x00, 0x00, 0x00});
            while (out.position % 16)
                out.Bytes({0x90});                                  // the loop starts aligned
            int loopStart = out.position;
            unplace();
            int loopBase = Place(out, loop);
            int bailBase = Place(out, bail);
            jumpBailed = bailBase + (int)bail->codeLength - 4;
            out.Bytes({0xFF, 0x87});                                // inc dword [edi+numiter]
            out.Word(numIterOffset);
            out.Bytes({0x49, 0x0F, 0x85});                          // dec ecx; jnz loop
            out.Word(0);
            out.PatchRel32(out.position - 4, loopStart);
            out.Bytes({0x8B, 0xE5, 0x5D});                          // mov esp, ebp; pop ebp
            bailedFrame = 1;
            inlineLoops.push_back(std::make_pair(loop, loopBase));
            inlineLoops.push_back(std::make_pair(bail, bailBase));
        } else {
            int loopStart = out.position;
            call(loopRoutine);
            call(bailoutRoutine);
            out.Bytes({0x85, 0xC0, 0x0F, 0x84});                    // test eax, eax; jz bailed
            jumpBailed = out.position;
            out.Word(0);
            out.Bytes({0xFF, 0x87});                                // inc dword [edi+numiter]
            out.Word(numIterOffset);
            out.Bytes({0x49, 0x0F, 0x85});                          // dec ecx; jnz loop
            out.Word(0);
            out.PatchRel32(out.position - 4, loopStart);
        }
        out.Bytes({0x8B, 0x87});                                    // mov eax, [edi+maxiter]; ret
        out.Word(maxIterOffset);
        out.Bytes({0xC3});
        out.PatchRel32(jumpBailed, out.position);
        if (bailedFrame)
            out.Bytes({0x8B, 0xE5, 0x5D});                          // mov esp, ebp; pop ebp
        out.Bytes({0x8B, 0x87});                                    // mov eax, [edi+maxiter]
        out.Word(maxIterOffset);
        out.Bytes({0x2B, 0xC1, 0x40, 0xC3});                        // sub eax, ecx; inc eax; ret
        out.PatchRel32(jumpNone, out.position);
        out.Bytes({0x31, 0xC0, 0xC3});                              // xor eax, eax; ret
        for (const auto& placed : inlineLoops)
            compiler->linkSubFunctions(routines, &out.position, placed.first, placed.second);
    } else if (kind == FK_COLORING) {
        initRoutine = section("Vinit@@", false);
        loopRoutine = section("Vloop@@", false);
        finalRoutine = section("Vfinal@@", false);
        if (finalRoutine < 0) {
            errorMessage = "the formula lacks final";
            return false;
        }
    } else {
        errorMessage = "only iteration and colouring formulas run";
        return false;
    }
    FlushInstructionCache(GetCurrentProcess(), routines->GetData(), (SIZE_T)out.position);
    pixelSymbol = Symbol("pixel");
    BindContext();
    return true;
}

void FormulaRun::SetPixel(const double pixel[4])
{
    WriteSymbol(pixelSymbol, pixel, subKind == SK_QUATERNION ? 4 : 2);
}

int FormulaRun::Iterate(int maxIterations)
{
    if (iterateRoutine < 0)
        return 0;
    double n[1] = {(double)maxIterations};
    WriteSymbol(maxIterSymbol, n, 1);
    uint8_t* code = static_cast<uint8_t*>(routines->GetData());
    return CallCompiledRoutine(code + iterateRoutine, DataBase());
}

int FormulaRun::GetZ(double z[4]) const
{
    ReadSymbol("z", z);
    return subKind == SK_QUATERNION ? 4 : 2;
}

void FormulaRun::Colour(const double z[2], int numIterations, int loops)
{
    if (finalRoutine < 0)
        return;
    uint8_t* code = static_cast<uint8_t*>(routines->GetData());
    uint8_t* base = DataBase();
    WriteSymbol("z", z, 2);
    double n[1] = {(double)numIterations};
    WriteSymbol("numiter", n, 1);
    // pixelcolor starts as NaNs: a formula that sets it leaves numbers.
    FormulaSymbol* colour = Symbol("pixelcolor");
    if (colour && colour->dataOffset >= 0)
        memset(base + colour->dataOffset, 0xFF, 16);
    if (initRoutine >= 0)
        CallCompiledRoutine(code + initRoutine, base);
    for (int k = 0; k < loops && loopRoutine >= 0; k++)
        CallCompiledRoutine(code + loopRoutine, base);
    CallCompiledRoutine(code + finalRoutine, base);
}

double FormulaRun::GetIndex() const
{
    double v[4];
    ReadSymbol("index", v);
    return v[0];
}

bool FormulaRun::GetPixelColor(double rgba[4]) const
{
    FormulaSymbol* colour = Symbol("pixelcolor");
    uint8_t* base = DataBase();
    if (!colour || !base || colour->dataOffset < 0)
        return false;
    uint32_t words[4];
    memcpy(words, base + colour->dataOffset, 16);
    if (words[0] == 0xFFFFFFFFu && words[1] == 0xFFFFFFFFu && words[2] == 0xFFFFFFFFu && words[3] == 0xFFFFFFFFu)
        return false;
    ReadSymbol("pixelcolor", rgba);
    return true;
}
