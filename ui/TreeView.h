#pragma once
#include <windows.h>
#include <commctrl.h>

#include "foundation/Services.h"
#include "ui/Object.h"

class ListNode;

// A tree-view control whose items stand for list nodes: each item carries
// its node as lParam, and the node keeps the item handle in its data
// pointer.
class PTreeView : public PObject, public TreeItemView {
public:
    explicit PTreeView(HWND hwnd = NULL) : hwnd(hwnd) {}

    // Inserts an item for node under parent's item (null parent: the top
    // level), after the item of the node after (or of the nearest node
    // before it that has an item; none: first). level: 1 folder, 2 fractal
    // or formula file, 3 layer fractal; kind: the folder kind or the
    // formula-library node's kind; image: the image index, or -1 for none.
    // The label is the node's name, followed by "*" when its modified mark
    // (int2) is set. Stores the item in node->data and returns it; answers
    // null (and inserts nothing) without a window, or when parent has no
    // item.
    HTREEITEM InsertItem(ListNode* node, ListNode* parent, ListNode* after, int level, int kind,
                         int image) override;
    // Deletes the node's item (when it has one) and forgets the handle.
    void DeleteItem(ListNode* node) override;
    // Rewrites the item's label: the node's name, "*" after it when its
    // modified mark (int2) is set.
    void UpdateItem(ListNode* node) override;
    HWND TreeWindow() const override { return hwnd; }

    HWND hwnd;  // the control, null while there is none
};
