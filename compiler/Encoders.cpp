// The instruction encoders of the code generator, the routine frame, and
// the call into compiled code.
#include "compiler/CodeEmit.h"

#include <windows.h>
#include <string.h>

#include <initializer_list>

namespace {

// The r/m field of a base register code: EDI 111, EBP 101, EBX 011.
uint8_t BaseRm(int base)
{
    switch (base) {
    case BASE_EBP: return 5;
    case BASE_EBX: return 3;
    default: return 7;
    }
}

void Put8(uint8_t* buffer, int* position, uint8_t b)
{
    buffer[(*position)++] = b;
}

void Put32(uint8_t* buffer, int* position, int32_t v)
{
    memcpy(buffer + *position, &v, 4);
    *position += 4;
}

// Opcode and /digit of a float-component load or store by precision.
struct FloatForm {
    uint8_t opcode;
    uint8_t digit;
};
FloatForm LoadForm(int precision)
{
    switch (precision) {
    case PREC_EXTENDED: return {0xDB, 5};
    case PREC_FLOAT: return {0xD9, 0};
    default: return {0xDD, 0};
    }
}
FloatForm StoreForm(int precision)
{
    switch (precision) {
    case PREC_EXTENDED: return {0xDB, 7};
    case PREC_FLOAT: return {0xD9, 3};
    default: return {0xDD, 3};
    }
}

int ComponentSize(int precision)
{
    int size = PrecisionBytes(precision);
    return size ? size : 8;
}

// opcode, ModRM mod 10 with the base, disp32.
void MemoryForm(uint8_t* buffer, int* position, FloatForm form, int32_t disp, int base)
{
    Put8(buffer, position, form.opcode);
    Put8(buffer, position, (uint8_t)(0x80 | (form.digit << 3) | BaseRm(base)));
    Put32(buffer, position, disp);
}

}  // namespace

int emitFld(uint8_t* buffer, int* position, int32_t disp, int base, int precision)
{
    MemoryForm(buffer, position, LoadForm(precision), disp, base);
    return ComponentSize(precision);
}

int emitFstp(uint8_t* buffer, int* position, int32_t disp, int base, int precision)
{
    MemoryForm(buffer, position, StoreForm(precision), disp, base);
    return ComponentSize(precision);
}

void emitFild(uint8_t* buffer, int* position, int32_t disp, int base)
{
    MemoryForm(buffer, position, {0xDB, 0}, disp, base);
}

void emitFistp(uint8_t* buffer, int* position, int32_t disp, int base)
{
    MemoryForm(buffer, position, {0xDB, 3}, disp, base);
}

int emitFldStack(uint8_t* buffer, int* position, int32_t disp, int precision)
{
    FloatForm form = LoadForm(precision);
    Put8(buffer, position, form.opcode);
    if (disp >= -128 && disp <= 127) {
        Put8(buffer, position, (uint8_t)(0x44 | (form.digit << 3)));
        Put8(buffer, position, 0x24);
        Put8(buffer, position, (uint8_t)(int8_t)disp);
    } else {
        Put8(buffer, position, (uint8_t)(0x84 | (form.digit << 3)));
        Put8(buffer, position, 0x24);
        Put32(buffer, position, disp);
    }
    return ComponentSize(precision);
}

int emitFstpStack(uint8_t* buffer, int* position, int32_t disp, int precision)
{
    FloatForm form = StoreForm(precision);
    Put8(buffer, position, form.opcode);
    if (disp == 0) {
        Put8(buffer, position, (uint8_t)(0x04 | (form.digit << 3)));
        Put8(buffer, position, 0x24);
    } else {
        Put8(buffer, position, (uint8_t)(0x44 | (form.digit << 3)));
        Put8(buffer, position, 0x24);
        Put8(buffer, position, (uint8_t)(int8_t)disp);
    }
    return ComponentSize(precision);
}

void emitFildStack(uint8_t* buffer, int* position, int32_t disp)
{
    Put8(buffer, position, 0xDB);
    if (disp >= -128 && disp <= 127) {
        Put8(buffer, position, 0x44);
        Put8(buffer, position, 0x24);
        Put8(buffer, position, (uint8_t)(int8_t)disp);
    } else {
        Put8(buffer, position, 0x84);
        Put8(buffer, position, 0x24);
        Put32(buffer, position, disp);
    }
}

void emitStoreValue(uint8_t* buffer, int* position, int32_t disp, int base, int type, int precision)
{
    int components = 0;
    switch (type) {
    case DT_COMPLEX: components = 2; break;
    case DT_REAL: components = 1; break;
    case DT_QUATERNION: components = 4; break;
    case DT_VECTOR: components = 3; break;
    case DT_INT:
    case DT_BOOL:
        emitFistp(buffer, position, disp, base);
        return;
    case DT_COLOR:
        for (int k = 0; k < 4; k++)
            emitFstp(buffer, position, disp + 4 * k, base, PREC_FLOAT);
        return;
    default:
        return;
    }
    int size = ComponentSize(precision);
    for (int k = 0; k < components; k++)
        emitFstp(buffer, position, disp + k * size, base, precision);
}

int emitFldQword(uint8_t* buffer, int* position, int32_t disp)
{
    Put8(buffer, position, 0xDD);
    if (disp == 0) {
        Put8(buffer, position, 0x07);
    } else if (disp >= 1 && disp <= 126) {
        Put8(buffer, position, 0x47);
        Put8(buffer, position, (uint8_t)disp);
    } else {
        Put8(buffer, position, 0x87);
        Put32(buffer, position, disp);
    }
    return *position;
}

int emitFstpQword(uint8_t* buffer, int* position, int32_t disp)
{
    Put8(buffer, position, 0xDD);
    if (disp == 0) {
        Put8(buffer, position, 0x1F);
    } else if (disp >= 1 && disp <= 126) {
        Put8(buffer, position, 0x5F);
        Put8(buffer, position, (uint8_t)disp);
    } else {
        Put8(buffer, position, 0x9F);
        Put32(buffer, position, disp);
    }
    return *position;
}

void wrapEnterLeave(uint8_t* buffer, int* position)
{
    memmove(buffer + 4, buffer, (size_t)*position);
    static const uint8_t enter[4] = {0xC8, 0xB0, 0x00, 0x00};
    memcpy(buffer, enter, 4);
    buffer[*position + 4] = 0xC9;
    *position += 5;
}

bool isBlank(int c)
{
    return c == 9 || c == 10 || c == 13 || c == 32;
}

// ---------------------------------------------------------------------------
// Calling compiled code

namespace {

// Writes a small call thunk into its own executable page; the control word
// of compiled code sits in the same page, behind the code.
class ThunkWriter {
public:
    ThunkWriter()
    {
        memory = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
        if (memory) {
            uint16_t cw = COMPILED_CODE_CONTROL_WORD;
            memcpy(memory + 2048, &cw, 2);
        }
    }
    bool Ok() const { return memory != nullptr; }
    uint32_t ControlWordAddress() const { return (uint32_t)(uintptr_t)(memory + 2048); }
    void put(std::initializer_list<uint8_t> bytes)
    {
        for (uint8_t b : bytes)
            memory[p++] = b;
    }
    void put32(uint32_t v)
    {
        memcpy(memory + p, &v, 4);
        p += 4;
    }
    uint8_t* Finish()
    {
        FlushInstructionCache(GetCurrentProcess(), memory, (SIZE_T)p);
        return memory;
    }

private:
    uint8_t* memory;
    int p = 0;
};

// int32_t thunk(const void* code, void* dataBase, int32_t counter), cdecl:
// saves the caller's registers and x87 state, sets EDI, ECX and the control
// word of compiled code, calls the code and restores everything.
uint8_t* MakeThunk()
{
    ThunkWriter w;
    if (!w.Ok())
        return nullptr;
    w.put({0x55, 0x53, 0x56, 0x57});               // push ebp, ebx, esi, edi
    w.put({0x81, 0xEC}); w.put32(112);             // sub esp, 112
    w.put({0xDD, 0x34, 0x24});                     // fnsave [esp]
    w.put({0x8B, 0x84, 0x24}); w.put32(132);       // mov eax, [esp+132]  code
    w.put({0x8B, 0xBC, 0x24}); w.put32(136);       // mov edi, [esp+136]  data base
    w.put({0x8B, 0x8C, 0x24}); w.put32(140);       // mov ecx, [esp+140]  counter
    w.put({0xD9, 0x2D}); w.put32(w.ControlWordAddress());   // fldcw [cw]
    w.put({0xFF, 0xD0});                           // call eax
    w.put({0xDD, 0x24, 0x24});                     // frstor [esp]
    w.put({0x81, 0xC4}); w.put32(112);             // add esp, 112
    w.put({0x5F, 0x5E, 0x5B, 0x5D, 0xC3});         // pop edi, esi, ebx, ebp; ret
    return w.Finish();
}

// The light form for routines run again and again (a pixel's iterations):
// only the control word is saved and set, and the x87 registers are freed
// afterwards instead of the whole state being saved and restored.
uint8_t* MakeLightThunk()
{
    ThunkWriter w;
    if (!w.Ok())
        return nullptr;
    w.put({0x55, 0x53, 0x56, 0x57});               // push ebp, ebx, esi, edi
    w.put({0x83, 0xEC, 0x04});                     // sub esp, 4
    w.put({0xD9, 0x3C, 0x24});                     // fnstcw [esp]
    w.put({0x8B, 0x44, 0x24, 0x18});               // mov eax, [esp+24]  code
    w.put({0x8B, 0x7C, 0x24, 0x1C});               // mov edi, [esp+28]  data base
    w.put({0x8B, 0x4C, 0x24, 0x20});               // mov ecx, [esp+32]  counter
    w.put({0xD9, 0x2D}); w.put32(w.ControlWordAddress());   // fldcw [cw]
    w.put({0xFF, 0xD0});                           // call eax
    for (uint8_t r = 0; r < 8; r++)
        w.put({0xDD, (uint8_t)(0xC0 + r)});        // ffree st(r)
    w.put({0xD9, 0x2C, 0x24});                     // fldcw [esp]
    w.put({0x83, 0xC4, 0x04});                     // add esp, 4
    w.put({0x5F, 0x5E, 0x5B, 0x5D, 0xC3});         // pop edi, esi, ebx, ebp; ret
    return w.Finish();
}

}  // namespace

int32_t CallCompiledRoutine(const void* code, void* dataBase, int32_t counter)
{
    typedef int32_t(__cdecl * Thunk)(const void*, void*, int32_t);
    static uint8_t* thunk = MakeLightThunk();
    if (!thunk || !code)
        return 0;
    return reinterpret_cast<Thunk>(thunk)(code, dataBase, counter);
}

int32_t CallCompiledCode(const void* code, void* dataBase, int32_t counter)
{
    typedef int32_t(__cdecl * Thunk)(const void*, void*, int32_t);
    static uint8_t* thunk = MakeThunk();
    if (!thunk || !code)
        return 0;
    return reinterpret_cast<Thunk>(thunk)(code, dataBase, counter);
}
