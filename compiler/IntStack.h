// A growable stack of 32-bit integers, pushed and popped one to four entries
// at a time. The formula compiler keeps its open blocks, pending jumps and the
// operand and type stacks of the expression pipeline on it; the formula
// converters use it for their own bookkeeping.
#pragma once

#include <stdint.h>

class IntStack {
public:
    // Room for capacity entries (the block always holds capacity + 2). When
    // the block can't be allocated the "Error" box says "Stack creation" and
    // the stack has no block.
    explicit IntStack(int capacity);
    ~IntStack();

    IntStack(const IntStack&) = delete;
    IntStack& operator=(const IntStack&) = delete;

    // Append entries; the last argument ends on top.
    void push(int32_t a);
    void push2(int32_t a, int32_t b);
    void push3(int32_t a, int32_t b, int32_t c);
    void push4(int32_t a, int32_t b, int32_t c, int32_t d);

    // Removes and returns the top entry; -1 (nothing removed) when empty.
    int32_t pop();
    // With enough entries: the outputs get the entries from the top down
    // (out1 = top) and they are removed. Otherwise every output is -1 and
    // nothing is removed.
    void pop2(int32_t* out1, int32_t* out2);
    void pop3(int32_t* out1, int32_t* out2, int32_t* out3);
    void pop4(int32_t* out1, int32_t* out2, int32_t* out3, int32_t* out4);

    // Replaces the top entry; does nothing on an empty stack.
    void setTop(int32_t value);
    // Removes n entries, never going below empty.
    void drop(int n);
    // Removes the entry at depth n (0 = top), moving the entries above it
    // down. A depth outside the stack shows the "Fatal error" box and
    // changes nothing.
    void removeAt(int n);
    // The entry at depth n (0 = top); -1 when n lies beyond the bottom.
    int32_t peek(int n) const;

    bool isEmpty() const { return top <= 0; }
    void clear() { top = 0; }
    int count() const { return top; }
    int getCapacity() const { return capacity; }
    // The item block (bottom first); count receives the number of entries.
    int32_t* getItems(int* count) const;

private:
    bool grow(int k);   // makes room for k more entries; false without a block

    int32_t top;        // number of entries
    int32_t* items;     // capacity + 2 entries, null when allocation failed
    int32_t capacity;
};
