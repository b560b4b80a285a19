#include "foundation/Buffers.h"

#include <windows.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "foundation/MessageBox.h"

// ---------------------------------------------------------------------------
// GrowBuffer

GrowBuffer::GrowBuffer(int size) : data(nullptr), capacity(0), executable(0)
{
    if (size > 0) {
        data = Obtain(size);
        if (data)
            capacity = size;
    }
}

GrowBuffer::GrowBuffer(int size, bool executable)
    : data(nullptr), capacity(0), executable(executable ? 1 : 0)
{
    if (size > 0) {
        data = Obtain(size);
        if (data)
            capacity = size;
    }
}

GrowBuffer::~GrowBuffer()
{
    Release(data, capacity);
    data = nullptr;
    capacity = 0;
}

void* GrowBuffer::Obtain(int size) const
{
    if (size < 1)
        return nullptr;
    if (executable) {
        // VirtualAlloc hands out zero-filled pages.
        return VirtualAlloc(nullptr, (SIZE_T)size, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    }
    return calloc((size_t)size, 1);
}

void GrowBuffer::Release(void* block, int size) const
{
    if (!block)
        return;
    if (executable)
        FreeExecutableMemory(block, size);
    else
        free(block);
}

void GrowBuffer::GrowTo(int newSize)
{
    void* grown = Obtain(newSize);
    if (grown && data)
        memcpy(grown, data, (size_t)capacity);
    Release(data, capacity);
    data = grown;
    capacity = grown ? newSize : 0;
}

void GrowBuffer::Reserve(int size)
{
    if (capacity >= size)
        return;
    GrowTo(size);
}

void GrowBuffer::ReserveSlack(int size, int slack)
{
    if (capacity >= size)
        return;
    int64_t wanted = (int64_t)size + (slack > 0 ? slack : 0);
    if (wanted > INT_MAX) {
        // No block of that size can be described by the capacity.
        Release(data, capacity);
        data = nullptr;
        capacity = 0;
        return;
    }
    GrowTo((int)wanted);
}

void GrowBuffer::Reset(int size)
{
    if (size < 1)
        size = 1;
    if (capacity < size) {
        Release(data, capacity);
        data = Obtain(size);
        capacity = data ? size : 0;
    } else {
        memset(data, 0, (size_t)capacity);
    }
}

void FreeExecutableMemory(void* address, int size)
{
    if (!VirtualFree(address, (SIZE_T)size, MEM_DECOMMIT))
        g_InfoBox.Show("Error", "Unable to decommit pages");
    if (!VirtualFree(address, 0, MEM_RELEASE))
        g_InfoBox.Show("Error", "Unable to release pages");
}

// ---------------------------------------------------------------------------
// AlignedBuffer

static uint8_t* AlignUp16(uint8_t* p)
{
    return (uint8_t*)(((uintptr_t)p + 15) & ~(uintptr_t)15);
}

// Obtains a block of aboveBytes + belowBytes + slackBytes + 32 zero bytes
// with the base at the first 16-byte boundary at or after belowBytes. On
// failure the buffer is left without a block. The old block is not touched.
bool AlignedBuffer::Allocate(int64_t aboveBytes, int64_t belowBytes, int64_t slackBytes)
{
    int64_t total = aboveBytes + belowBytes + slackBytes + 32;
    void* block = total <= INT_MAX ? calloc((size_t)total, 1) : nullptr;
    if (!block) {
        raw = nullptr;
        base = nullptr;
        above = 0;
        below = 0;
        return false;
    }
    raw = block;
    base = AlignUp16((uint8_t*)block + belowBytes);
    below = (int)(base - (uint8_t*)block);
    above = (int)aboveBytes;
    return true;
}

AlignedBuffer::AlignedBuffer(int above, int below)
    : raw(nullptr), base(nullptr), above(0), below(0)
{
    Allocate(above > 0 ? above : 0, below > 0 ? below : 0, 0);
}

AlignedBuffer::AlignedBuffer(const AlignedBuffer& other)
    : raw(nullptr), base(nullptr), above(0), below(0)
{
    if (!other.raw)
        return;
    if (!Allocate(other.above, other.below, 0))
        return;
    memcpy(base, other.base, (size_t)other.above);
    int common = below < other.below ? below : other.below;
    memcpy(base - common, other.base - common, (size_t)common);
}

AlignedBuffer::~AlignedBuffer()
{
    free(raw);
    raw = nullptr;
    base = nullptr;
    above = 0;
    below = 0;
}

void AlignedBuffer::Reserve(int wantAbove, int wantBelow, int extraAbove, int extraBelow)
{
    if (wantAbove < 0) wantAbove = 0;
    if (wantBelow < 0) wantBelow = 0;
    if (extraAbove < 0) extraAbove = 0;
    if (extraBelow < 0) extraBelow = 0;
    if (raw && above >= wantAbove && below >= wantBelow)
        return;
    if (!raw && wantAbove == 0 && wantBelow == 0)
        return;

    void* oldRaw = raw;
    uint8_t* oldBase = base;
    int oldAbove = above;
    int oldBelow = below;

    // The below room takes its slack into the base offset; the slack above
    // is counted into the new above.
    if (!Allocate((int64_t)wantAbove + extraAbove, (int64_t)wantBelow + extraBelow, 0)) {
        free(oldRaw);
        return;
    }
    if (oldRaw) {
        int up = oldAbove < above ? oldAbove : above;
        int down = oldBelow < below ? oldBelow : below;
        memcpy(base, oldBase, (size_t)up);
        memcpy(base - down, oldBase - down, (size_t)down);
        free(oldRaw);
    }
}
