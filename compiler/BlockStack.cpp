// The stack of open blocks and its index of the innermost block of each id:
// a push links the new block to the previous innermost one of its id, a pop
// puts that one back.
#include "compiler/BlockStack.h"

namespace {

bool Indexed(int32_t id, int limit)
{
    return id >= 0 && id < limit;
}

}  // namespace

BlockStack::BlockStack()
{
    clear();
}

void BlockStack::push(int32_t id)
{
    int32_t position = (int32_t)ids.size();
    ids.push_back(id);
    if (Indexed(id, INDEXED_IDS)) {
        outer.push_back(innermostOf[id]);
        innermostOf[id] = position;
    } else {
        outer.push_back(-1);
    }
}

int32_t BlockStack::pop()
{
    if (ids.empty())
        return -1;
    int32_t id = ids.back();
    if (Indexed(id, INDEXED_IDS))
        innermostOf[id] = outer.back();
    ids.pop_back();
    outer.pop_back();
    return id;
}

void BlockStack::clear()
{
    ids.clear();
    outer.clear();
    for (int32_t& position : innermostOf)
        position = -1;
}

int32_t BlockStack::peek(int n) const
{
    int count = (int)ids.size();
    if (n < 0 || n >= count)
        return -1;
    return ids[(size_t)(count - 1 - n)];
}

int BlockStack::innermost(int32_t id) const
{
    if (Indexed(id, INDEXED_IDS))
        return innermostOf[id];
    for (int position = (int)ids.size() - 1; position >= 0; position--) {
        if (ids[(size_t)position] == id)
            return position;
    }
    return -1;
}
