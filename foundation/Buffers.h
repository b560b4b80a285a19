// Owning byte blocks: a zero-filled block that only grows (optionally in
// executable memory, for compiled formula code) and a block with a 16-byte
// aligned base and room on both sides (the data block of compiled code).
#pragma once

#include <stdint.h>

// A zero-filled byte block that grows on demand and never shrinks. The heap
// form uses calloc; the executable form uses committed virtual memory with
// read, write and execute access, so machine code written into it can run.
//
// When memory can't be obtained the buffer is left empty: GetData() is null
// and GetCapacity() is 0, the previous contents are released. It is never
// left with a block smaller than the capacity it reports, and an executable
// buffer never holds memory that is not executable. Callers that must not
// crash compare GetCapacity() with what they asked for.
class GrowBuffer {
public:
    // Heap block of size zero bytes (none for a size below 1).
    explicit GrowBuffer(int size);
    // Block of size zero bytes; executable memory when executable is true.
    GrowBuffer(int size, bool executable);
    // Releases the block (FreeExecutableMemory for an executable block).
    virtual ~GrowBuffer();

    GrowBuffer(const GrowBuffer&) = delete;
    GrowBuffer& operator=(const GrowBuffer&) = delete;

    // Grows to exactly size bytes when the capacity is below size. Existing
    // bytes keep their offsets, the new bytes are zero; pointers into the
    // old block are invalid afterwards.
    void Reserve(int size);
    // As Reserve, but grows to size + slack bytes, so that a run of small
    // growths reallocates rarely.
    void ReserveSlack(int size, int slack);
    // Discards the contents: at least size bytes (at least 1), all zero.
    // A block that is large enough is zero-filled and kept.
    void Reset(int size);

    void* GetData() const { return data; }
    int GetCapacity() const { return capacity; }
    bool IsExecutable() const { return executable != 0; }

private:
    void* Obtain(int size) const;            // a new zero-filled block of this buffer's kind
    void Release(void* block, int size) const;
    void GrowTo(int newSize);

    void* data;        // null when empty
    int capacity;      // bytes in the block
    uint8_t executable;
};

// Releases an executable block in two steps: decommits its size bytes, then
// releases the reservation. Each failing step is reported in the
// information box titled "Error"; the release is attempted even when the
// decommit failed.
void FreeExecutableMemory(void* address, int size);

// A zero-filled heap block whose base is aligned to 16 bytes, with room
// below the base (negative offsets) and above it (positive offsets).
// When memory can't be obtained the buffer has no block: the raw and base
// pointers are null and both sizes are 0.
class AlignedBuffer {
public:
    // At least below bytes under the base (more when aligning adds some)
    // and exactly above bytes from the base upward. Negative sizes count
    // as 0.
    AlignedBuffer(int above, int below);
    // A new block of the other's sizes with the other's bytes at the same
    // offsets from the base.
    AlignedBuffer(const AlignedBuffer& other);
    virtual ~AlignedBuffer();

    AlignedBuffer& operator=(const AlignedBuffer&) = delete;

    // Makes sure of at least above bytes from the base and below bytes under
    // it. When the block is too small on either side, a new one is made with
    // extraAbove and extraBelow bytes of slack; every byte keeps its offset
    // from the base. Pointers into the old block are invalid afterwards.
    void Reserve(int above, int below, int extraAbove, int extraBelow);

    // above + below (the alignment bytes below the base included).
    int TotalSize() const { return above + below; }

    uint8_t* GetBase() const { return base; }
    void* GetRaw() const { return raw; }
    int GetAbove() const { return above; }   // bytes usable from the base upward
    int GetBelow() const { return below; }   // bytes usable under the base (base - raw)

private:
    bool Allocate(int64_t aboveBytes, int64_t belowBytes, int64_t slackBytes);

    void* raw;       // the heap block
    uint8_t* base;   // 16-byte aligned, inside the block
    int above;
    int below;
};
