// The compiler's stack of open blocks (if, else, loops, function bodies,
// the description). Beside the ids it keeps, for each id, where its
// innermost open block stands, so that the grammar asks "is a for loop open,
// and how far out?" in constant time: a walk down the stack would make every
// statement cost as much as its nesting depth.
#pragma once

#include <stdint.h>
#include <vector>

class BlockStack {
public:
    BlockStack();

    void push(int32_t id);
    // Removes and returns the innermost block's id; -1 when none is open.
    int32_t pop();
    void clear();

    int count() const { return (int)ids.size(); }
    bool isEmpty() const { return ids.empty(); }
    // The id at depth n (0 = innermost); -1 when n lies beyond the outermost.
    int32_t peek(int n) const;
    // Position of the innermost open block with this id, counted from the
    // outermost (0); -1 when no such block is open.
    int innermost(int32_t id) const;

private:
    // Ids below this limit are indexed; others (none in the grammar) are
    // looked up by walking the stack.
    enum { INDEXED_IDS = 16 };

    std::vector<int32_t> ids;
    // For each position, where the next block further out with the same id
    // stands (-1 for none): popping restores the index from it.
    std::vector<int32_t> outer;
    int32_t innermostOf[INDEXED_IDS];
};
