#include "foundation/HelpContext.h"

#include <stdlib.h>
#include <string.h>

HelpContextTable g_HelpContexts;

HelpContextTable::HelpContextTable() {}

HelpContextTable::~HelpContextTable()
{
    while (ListNode* node = entries.GetHead()) {
        entries.Remove(node);
        free(node->data);
        node->data = nullptr;
        delete node;
    }
}

int HelpContextTable::GetId(const char* text)
{
    if (!text)
        return 0;
    int largest = 0;
    for (ListNode* n = entries.GetHead(); n; n = n->next) {
        if (strcmp(static_cast<const char*>(n->data), text) == 0)
            return n->int1;
        if (n->int1 > largest)
            largest = n->int1;
    }
    size_t length = strlen(text);
    char* copy = static_cast<char*>(malloc(length + 50));
    if (!copy)
        return 0;
    memcpy(copy, text, length + 1);
    ListNode* node = new ListNode;
    node->int1 = largest + 1;
    node->data = copy;
    entries.Append(node);
    return node->int1;
}

const char* HelpContextTable::GetText(int id) const
{
    for (ListNode* n = entries.GetHead(); n; n = n->next) {
        if (n->int1 == id)
            return static_cast<const char*>(n->data);
    }
    return nullptr;
}

void HelpContextTable::SetWindowHelp(HWND window, const char* text)
{
    if (!window || !text || strlen(text) <= 1)
        return;
    int id = GetId(text);
    if (id > 0)
        SetWindowContextHelpId(window, (DWORD)id);
}
