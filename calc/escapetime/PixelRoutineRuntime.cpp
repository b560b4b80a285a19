// The small helpers around compiled escape-time code: calling the two
// routines under the EDI/ECX convention, the periodicity slots and the
// small-integer constants of a data block, colour packing, 80-bit
// conversions that keep the x87 state, and typed reads and writes of a
// data block's slots.
#include "calc/escapetime/PixelRoutine.h"

#include <string.h>

#include "compiler/FormulaCompiler.h"

// ---------------------------------------------------------------------------
// Calling compiled code

uint32_t CallPixelRoutine(const void* code, uint8_t* base, uint32_t budget, uint16_t* status)
{
    // A budget of 0 would wrap the count down to 2^32 - 1.
    uint32_t remaining = budget ? budget : 1;
    uint32_t word;
    __asm__ volatile(
        "fnclex\n\t"
        "call *%[code]\n\t"
        "fnstsw %%ax"
        : "+c"(remaining), "=&a"(word)
        : [code] "m"(code), "D"(base)
        : "ebx", "edx", "esi", "memory", "cc");
    if (status)
        *status = (uint16_t)word;
    return remaining;
}

void CallTransformChain(const void* code, uint8_t* base, uint16_t* status)
{
    uint32_t word;
    __asm__ volatile(
        "fnclex\n\t"
        "call *%[code]\n\t"
        "fnstsw %%ax"
        : "=&a"(word)
        : [code] "m"(code), "D"(base)
        : "ebx", "ecx", "edx", "esi", "memory", "cc");
    if (status)
        *status = (uint16_t)word;
}

void WritePeriodicitySlots(uint8_t* base, const PeriodicitySlots& slots)
{
    SetRuntimeInt(base, RT_PERIOD_START, (int)slots.start);
    SetRuntimeInt(base, RT_PERIOD_MASK, (int)slots.mask);
    SetRuntimeInt(base, RT_PERIOD_COUNT, (int)slots.count);
    SetRuntimeInt(base, RT_PERIOD_RELOAD, (int)slots.reload);
    memcpy(base + RT_PERIOD_EPSILON, &slots.epsilon, 4);
}

void WriteSmallIntConstants(uint8_t* base)
{
    if (!base)
        return;
    // Code k holds 0, 1, -1, 2, -2, ... : k / 2 for even k, -(k - 1) / 2 for odd k.
    for (int k = 1; k <= SMALL_INT_CONSTANTS; ++k) {
        int16_t v = (int16_t)((k % 2 == 0) ? k / 2 : -(k - 1) / 2);
        memcpy(base - 2 * k, &v, 2);
    }
}

// ---------------------------------------------------------------------------
// Colour packing

namespace {

// Low 8 bits of a channel times 255 truncated toward zero. A value the
// 32-bit conversion cannot hold (NaN included) converts to 80000000h, whose
// low bits are 0.
uint32_t ChannelByte(double channel)
{
    double scaled = channel * 255.0;
    if (!(scaled > -2147483649.0 && scaled < 2147483648.0))
        return 0;
    return (uint32_t)(int32_t)scaled & 0xFF;
}

double Clamp01(float v)
{
    if (v > 1.0f)
        return 1.0;
    if (v < 0.0f)
        return 0.0;
    return v;
}

}  // namespace

uint32_t PackColorRgba(float red, float green, float blue, float alpha)
{
    return ChannelByte(alpha) << 24 | ChannelByte(Clamp01(red)) << 16 | ChannelByte(Clamp01(green)) << 8 |
           ChannelByte(Clamp01(blue));
}

// ---------------------------------------------------------------------------
// 80-bit conversions and slot access

void DoubleToExtended(void* address)
{
    uint8_t state[108];
    __asm__ volatile(
        "fnsave (%1)\n\t"
        "fldl (%0)\n\t"
        "fstpt (%0)\n\t"
        "frstor (%1)"
        :
        : "r"(address), "r"(state)
        : "memory");
}

double ExtendedToDouble(const void* address)
{
    uint8_t state[108];
    double value;
    __asm__ volatile(
        "fnsave (%1)\n\t"
        "fldt (%0)\n\t"
        "fstpl (%2)\n\t"
        "frstor (%1)"
        :
        : "r"(address), "r"(state), "r"(&value)
        : "memory");
    return value;
}

int AppendCode(uint8_t* buffer, int offset, const uint8_t* code, int size)
{
    if (size <= 1)
        return 0;
    memcpy(buffer + offset, code, (size_t)(size - 1));
    return size - 1;
}

float GetRuntimeFloat(const uint8_t* base, int offset)
{
    float v;
    memcpy(&v, base + offset, 4);
    return v;
}

double GetRuntimeDouble(const uint8_t* base, int offset)
{
    double v;
    memcpy(&v, base + offset, 8);
    return v;
}

int GetRuntimeInt(const uint8_t* base, int offset)
{
    int v;
    memcpy(&v, base + offset, 4);
    return v;
}

void SetRuntimeDouble(uint8_t* base, int offset, double value)
{
    memcpy(base + offset, &value, 8);
}

void SetRuntimeInt(uint8_t* base, int offset, int value)
{
    memcpy(base + offset, &value, 4);
}

long double GetRuntimeExtended(const uint8_t* base, int offset)
{
    long double v = 0;
    memcpy(&v, base + offset, 10);
    return v;
}

void SetRuntimeExtended(uint8_t* base, int offset, long double value)
{
    memcpy(base + offset, &value, 10);
}

// The glue code and the compiler's tables agree on these slots.
static_assert((int)RT_VIRTUALALLOC == (int)DATA_VIRTUALALLOC && (int)RT_VIRTUALFREE == (int)DATA_VIRTUALFREE,
              "the array code finds VirtualAlloc and VirtualFree where the binder puts them");
static_assert((int)PREDEFINED_AREA_SIZE > (int)RT_OVERFLOW, "the predefined area holds the whole runtime block");
