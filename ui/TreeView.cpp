#include "ui/TreeView.h"

#include <stdio.h>
#include <string.h>

#include "foundation/List.h"

HTREEITEM PTreeView::InsertItem(ListNode* node, ListNode* parent, ListNode* after, int level,
                                int kind, int image)
{
    if (hwnd == NULL || node == NULL)
        return NULL;
    HTREEITEM parentItem = TVI_ROOT;
    if (parent != NULL) {
        if (parent->data == NULL)
            return NULL;
        parentItem = (HTREEITEM)parent->data;
    }
    while (after != NULL && after->data == NULL)
        after = after->prev;

    char label[ListNode::NODE_NAME_SIZE + 2];
    snprintf(label, sizeof(label), "%s%s", node->name, node->int2 ? "*" : "");

    TVINSERTSTRUCTA insert;
    memset(&insert, 0, sizeof(insert));
    insert.hParent = parentItem;
    insert.hInsertAfter = after != NULL ? (HTREEITEM)after->data : TVI_FIRST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = label;
    insert.item.lParam = (LPARAM)node;
    if (image >= 0) {
        insert.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.iImage = image;
        insert.item.iSelectedImage = image;
    }
    HTREEITEM item = (HTREEITEM)SendMessageA(hwnd, TVM_INSERTITEMA, 0, (LPARAM)&insert);
    node->data = item;
    return item;
}

void PTreeView::DeleteItem(ListNode* node)
{
    if (node == NULL || node->data == NULL)
        return;
    if (hwnd != NULL)
        SendMessageA(hwnd, TVM_DELETEITEM, 0, (LPARAM)node->data);
    node->data = NULL;
}

void PTreeView::UpdateItem(ListNode* node)
{
    if (hwnd == NULL || node == NULL || node->data == NULL)
        return;
    char label[ListNode::NODE_NAME_SIZE + 2];
    snprintf(label, sizeof(label), "%s%s", node->name, node->int2 ? "*" : "");
    TVITEMA item;
    memset(&item, 0, sizeof(item));
    item.mask = TVIF_TEXT;
    item.hItem = (HTREEITEM)node->data;
    item.pszText = label;
    SendMessageA(hwnd, TVM_SETITEMA, 0, (LPARAM)&item);
}
