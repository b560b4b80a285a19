#include "compiler/IntStack.h"

#include <stdlib.h>
#include <string.h>

#include "foundation/MessageBox.h"

IntStack::IntStack(int capacity) : top(0), items(nullptr), capacity(capacity < 0 ? 0 : capacity)
{
    items = static_cast<int32_t*>(malloc((size_t)(this->capacity + 2) * sizeof(int32_t)));
    if (!items)
        g_InfoBox.Show("Error", "Stack creation");
}

IntStack::~IntStack()
{
    free(items);
}

// A push of k entries grows the block by 100 entries when fewer than k + 1
// free places are left, so the two spare entries beyond capacity stay free.
bool IntStack::grow(int k)
{
    if (top >= capacity - (k + 1)) {
        int32_t* bigger = static_cast<int32_t*>(malloc((size_t)(capacity + 102) * sizeof(int32_t)));
        if (!bigger)
            return false;
        if (items)
            memcpy(bigger, items, (size_t)capacity * sizeof(int32_t));
        free(items);
        items = bigger;
        capacity += 100;
    }
    return items != nullptr;
}

void IntStack::push(int32_t a)
{
    if (!grow(1))
        return;
    items[top++] = a;
}

void IntStack::push2(int32_t a, int32_t b)
{
    if (!grow(2))
        return;
    items[top++] = a;
    items[top++] = b;
}

void IntStack::push3(int32_t a, int32_t b, int32_t c)
{
    if (!grow(3))
        return;
    items[top++] = a;
    items[top++] = b;
    items[top++] = c;
}

void IntStack::push4(int32_t a, int32_t b, int32_t c, int32_t d)
{
    if (!grow(4))
        return;
    items[top++] = a;
    items[top++] = b;
    items[top++] = c;
    items[top++] = d;
}

int32_t IntStack::pop()
{
    if (top <= 0)
        return -1;
    return items[--top];
}

void IntStack::pop2(int32_t* out1, int32_t* out2)
{
    if (top < 2) {
        *out1 = *out2 = -1;
        return;
    }
    *out1 = items[--top];
    *out2 = items[--top];
}

void IntStack::pop3(int32_t* out1, int32_t* out2, int32_t* out3)
{
    if (top < 3) {
        *out1 = *out2 = *out3 = -1;
        return;
    }
    *out1 = items[--top];
    *out2 = items[--top];
    *out3 = items[--top];
}

void IntStack::pop4(int32_t* out1, int32_t* out2, int32_t* out3, int32_t* out4)
{
    if (top < 4) {
        *out1 = *out2 = *out3 = *out4 = -1;
        return;
    }
    *out1 = items[--top];
    *out2 = items[--top];
    *out3 = items[--top];
    *out4 = items[--top];
}

void IntStack::setTop(int32_t value)
{
    if (top > 0)
        items[top - 1] = value;
}

void IntStack::drop(int n)
{
    if (n <= 0)
        return;
    top = n >= top ? 0 : top - n;
}

void IntStack::removeAt(int n)
{
    if (n < 0 || n >= top) {
        g_InfoBox.Show("Fatal error",
                       "if-ID on stack not valid, please inform the author that this bug has occurred");
        return;
    }
    // Shift the n entries above the removed one down by one place.
    for (int k = n; k > 0; k--)
        items[top - k - 1] = items[top - k];
    top--;
}

int32_t IntStack::peek(int n) const
{
    if (n < 0 || n >= top)
        return -1;
    return items[top - 1 - n];
}

int32_t* IntStack::getItems(int* count) const
{
    if (count)
        *count = top;
    return items;
}
