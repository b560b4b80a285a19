#include "foundation/List.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "foundation/Buffers.h"
#include "foundation/MessageBox.h"

static const char* const kUniqueListBroken =
    "Unique list not unique: Contact the author and inform him that bug #1627 has occurred";
static const char* const kIdSlotTaken =
    "Variable list not valid. Serious bug, please contact the author and tell him, bug #3134 has occured...";

static void ReportFatal(const char* text)
{
    g_InfoBox.Show("Fatal error", text);
}

// Case folding of the C locale, so that results do not depend on the
// locale in force.
static inline unsigned char FoldLower(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c + ('a' - 'A')) : c;
}

// Ordering ignoring case, as stricmp: both texts lower-cased, then compared
// as unsigned bytes.
static int CompareNoCase(const char* a, const char* b)
{
    const unsigned char* p = (const unsigned char*)a;
    const unsigned char* q = (const unsigned char*)b;
    for (;;) {
        unsigned char x = FoldLower(*p++);
        unsigned char y = FoldLower(*q++);
        if (x != y)
            return x < y ? -1 : 1;
        if (!x)
            return 0;
    }
}

static bool EqualNoCase(const char* a, const char* b)
{
    return CompareNoCase(a, b) == 0;
}

bool IsInfoName(const char* name)
{
    static const char prefix[] = "info:";
    for (int i = 0; i < 5; i++) {
        if (FoldLower((unsigned char)name[i]) != (unsigned char)prefix[i])
            return false;
    }
    return true;
}

static inline ListNode** Entries(GrowBuffer* buffer)
{
    return static_cast<ListNode**>(buffer->GetData());
}

// ---------------------------------------------------------------------------
// ListNode

ListNode::ListNode()
    : reserved(0), next(nullptr), prev(nullptr), key(0.0), kind(0), int1(0), int2(0),
      flag(1), data(nullptr)
{
    memset(name, 0, sizeof(name));
}

ListNode::~ListNode() {}

void ListNode::SetName(const char* text)
{
    memset(name, 0, sizeof(name));
    if (text)
        strncpy(name, text, NODE_NAME_MAX);
}

ListNode* ListNode::NextNonLayer(const ListNode* node)
{
    if (!node)
        return nullptr;
    ListNode* n = node->next;
    while (n && n->kind == NODE_KIND_LAYER)
        n = n->next;
    return n;
}

ListNode* ListNode::PrevNonLayer(const ListNode* node)
{
    if (!node)
        return nullptr;
    ListNode* n = node->prev;
    while (n && n->kind == NODE_KIND_LAYER)
        n = n->prev;
    return n;
}

// ---------------------------------------------------------------------------
// NodeList: construction, indexes

NodeList::NodeList()
    : head(nullptr), tail(nullptr), flags(0), nameIndex(nullptr), keyIndex(nullptr),
      nameCount(0), count(0), keyCount(0), idReader(nullptr)
{
    idTables[0] = idTables[1] = nullptr;
    nextIds[0] = nextIds[1] = 1;
}

NodeList::~NodeList()
{
    delete nameIndex;
    delete keyIndex;
    delete idTables[0];
    delete idTables[1];
}

void NodeList::DropIndex(uint32_t flag)
{
    if (flag & NL_INDEX_NAME) {
        delete nameIndex;
        nameIndex = nullptr;
        nameCount = 0;
    }
    if (flag & NL_INDEX_KEY) {
        delete keyIndex;
        keyIndex = nullptr;
        keyCount = 0;
    }
    if (flag & NL_INDEX_ID) {
        delete idTables[0];
        delete idTables[1];
        idTables[0] = idTables[1] = nullptr;
    }
    flags &= ~flag;
}

// Makes sure an index buffer of the given flag exists with at least size
// bytes: a missing buffer is created with exactly size bytes, a smaller one
// grows to size + slack. Returns false (and switches the index off) when
// memory runs out.
static bool PrepareBuffer(GrowBuffer*& buffer, int size, int slack)
{
    if (!buffer)
        buffer = new GrowBuffer(size);
    else if (buffer->GetCapacity() < size)
        buffer->ReserveSlack(size, slack);
    return buffer->GetCapacity() >= size;
}

void NodeList::SetIdReader(NodeIdReader reader)
{
    idReader = reader;
    if (!(flags & NL_INDEX_ID))
        return;
    if (!reader) {
        DropIndex(NL_INDEX_ID);
        return;
    }
    // The ids are read anew: the tables are filled again from the nodes.
    for (GrowBuffer* table : idTables) {
        if (table && table->GetCapacity() > 0)
            memset(table->GetData(), 0, (size_t)table->GetCapacity());
    }
    for (ListNode* n = head; n && (flags & NL_INDEX_ID); n = n->next)
        EnterId(n);
}

void NodeList::SetIndexes(uint32_t newFlags, NodeIdReader reader)
{
    idReader = reader;
    SetIndexes(newFlags);
}

void NodeList::SetIndexes(uint32_t newFlags)
{
    newFlags &= NL_INDEX_NAME | NL_INDEX_ID | NL_INDEX_KEY;
    if (!idReader)
        newFlags &= ~(uint32_t)NL_INDEX_ID;

    int s1 = count * 4 + 80;
    int s2 = count * 4 + 2080;

    if (newFlags & NL_INDEX_NAME) {
        if (!PrepareBuffer(nameIndex, s1, 1000))
            newFlags &= ~(uint32_t)NL_INDEX_NAME;
        nameCount = 0;
    } else {
        delete nameIndex;
        nameIndex = nullptr;
        nameCount = 0;
    }

    if (newFlags & NL_INDEX_KEY) {
        if (!PrepareBuffer(keyIndex, s1, 1000))
            newFlags &= ~(uint32_t)NL_INDEX_KEY;
        keyCount = 0;
    } else {
        delete keyIndex;
        keyIndex = nullptr;
        keyCount = 0;
    }

    if (newFlags & NL_INDEX_ID) {
        // Existing tables keep their entries.
        bool ok = PrepareBuffer(idTables[0], s2, 1000);
        ok = PrepareBuffer(idTables[1], s2, 1000) && ok;
        if (!ok)
            newFlags &= ~(uint32_t)NL_INDEX_ID;
    }

    // Buffers of indexes that ended up disabled are released.
    DropIndex(~newFlags & (NL_INDEX_NAME | NL_INDEX_ID | NL_INDEX_KEY));
    flags = newFlags;

    for (ListNode* n = head; n; n = n->next)
        EnterIndexes(n);
}

void NodeList::EnterIndexes(ListNode* node)
{
    if (flags & NL_INDEX_NAME)
        EnterName(node);
    if (flags & NL_INDEX_ID)
        EnterId(node);
    if (flags & NL_INDEX_KEY)
        EnterKey(node);
}

void NodeList::EnterName(ListNode* node)
{
    int need = count * 4 + 20;
    if (need < (nameCount + 1) * 4)
        need = (nameCount + 1) * 4;
    if (!PrepareBuffer(nameIndex, need, 1000)) {
        DropIndex(NL_INDEX_NAME);
        return;
    }
    if (IsInfoName(node->name))
        return;

    ListNode** entries = Entries(nameIndex);
    int lo = -1, hi = nameCount;
    bool reported = false;
    while (hi - lo > 1) {
        int mid = (hi + lo) / 2;
        int c = strcmp(node->name, entries[mid]->name);
        if (c < 0) {
            hi = mid;
        } else {
            if (c == 0 && !reported) {
                ReportFatal(kUniqueListBroken);
                reported = true;
            }
            // An equal name goes after its twin.
            lo = mid;
        }
    }
    memmove(entries + lo + 2, entries + lo + 1, (size_t)(nameCount - lo - 1) * sizeof(ListNode*));
    entries[lo + 1] = node;
    nameCount++;
}

void NodeList::EnterKey(ListNode* node)
{
    int need = count * 4 + 20;
    if (need < (keyCount + 1) * 4)
        need = (keyCount + 1) * 4;
    if (!PrepareBuffer(keyIndex, need, 1000)) {
        DropIndex(NL_INDEX_KEY);
        return;
    }

    ListNode** entries = Entries(keyIndex);
    int lo = -1, hi = keyCount;
    bool reported = false;
    while (hi - lo > 1) {
        int mid = (hi + lo) / 2;
        if (node->key < entries[mid]->key) {
            hi = mid;
        } else {
            if (node->key == entries[mid]->key && !reported) {
                ReportFatal(kUniqueListBroken);
                reported = true;
            }
            lo = mid;
        }
    }
    memmove(entries + lo + 2, entries + lo + 1, (size_t)(keyCount - lo - 1) * sizeof(ListNode*));
    entries[lo + 1] = node;
    keyCount++;
}

void NodeList::EnterId(ListNode* node)
{
    uint32_t id = idReader(node);
    int table = (id & NODE_ID_TABLE_BIT) ? 1 : 0;
    uint32_t slot = id & NODE_ID_SLOT_MASK;
    int64_t need = (int64_t)slot * 4 + 4;
    if (need + 1000 > INT_MAX || !PrepareBuffer(idTables[table], (int)need, 1000)) {
        DropIndex(NL_INDEX_ID);
        return;
    }
    ListNode** entries = Entries(idTables[table]);
    if (entries[slot] && entries[slot] != node)
        ReportFatal(kIdSlotTaken);
    entries[slot] = node;
}

// Removes the entry of exactly this node from a sorted index: the entries
// equal to it are found by bisection (less tells whether an entry sorts
// before the node); a node that is not among them is searched in the whole
// index, so that no entry can outlive its node.
template <class Less>
static bool RemoveEntry(ListNode** entries, int32_t& length, ListNode* node, Less less)
{
    int lo = 0, hi = length;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (less(entries[mid], node))
            lo = mid + 1;
        else
            hi = mid;
    }
    int at = -1;
    for (int i = lo; i < length && !less(node, entries[i]); i++) {
        if (entries[i] == node) {
            at = i;
            break;
        }
    }
    if (at < 0) {
        for (int i = 0; i < length; i++) {
            if (entries[i] == node) {
                at = i;
                break;
            }
        }
    }
    if (at < 0)
        return false;
    memmove(entries + at, entries + at + 1, (size_t)(length - at - 1) * sizeof(ListNode*));
    length--;
    entries[length] = nullptr;
    return true;
}

void NodeList::LeaveName(ListNode* node)
{
    if (IsInfoName(node->name) || !nameIndex)
        return;
    RemoveEntry(Entries(nameIndex), nameCount, node,
                [](const ListNode* a, const ListNode* b) { return strcmp(a->name, b->name) < 0; });
}

void NodeList::LeaveKey(ListNode* node)
{
    if (!keyIndex)
        return;
    RemoveEntry(Entries(keyIndex), keyCount, node,
                [](const ListNode* a, const ListNode* b) { return a->key < b->key; });
}

void NodeList::LeaveId(ListNode* node)
{
    uint32_t id = idReader(node);
    int table = (id & NODE_ID_TABLE_BIT) ? 1 : 0;
    uint32_t slot = id & NODE_ID_SLOT_MASK;
    GrowBuffer* buffer = idTables[table];
    if (buffer && (int64_t)slot * 4 + 4 <= buffer->GetCapacity()) {
        ListNode** entries = Entries(buffer);
        if (entries[slot] == node) {
            entries[slot] = nullptr;
            return;
        }
        if (entries[slot])
            return;  // the slot was taken over by another node with the same id
    }
    // Not where its id says: make sure no slot still points at it.
    for (int t = 0; t < 2; t++) {
        if (!idTables[t])
            continue;
        ListNode** entries = Entries(idTables[t]);
        int n = idTables[t]->GetCapacity() / (int)sizeof(ListNode*);
        for (int i = 0; i < n; i++) {
            if (entries[i] == node)
                entries[i] = nullptr;
        }
    }
}

void NodeList::Clear(bool keepIndexes)
{
    nextIds[0] = nextIds[1] = 1;
    head = tail = nullptr;
    nameCount = 0;
    keyCount = 0;
    count = 0;
    if (keepIndexes) {
        GrowBuffer* buffers[4] = {nameIndex, keyIndex, idTables[0], idTables[1]};
        for (GrowBuffer* b : buffers) {
            if (b && b->GetCapacity() > 0)
                memset(b->GetData(), 0, (size_t)b->GetCapacity());
        }
    } else {
        DropIndex(NL_INDEX_NAME | NL_INDEX_ID | NL_INDEX_KEY);
        flags = 0;
    }
}

void NodeList::DeleteAllNodes()
{
    while (head) {
        ListNode* node = head;
        Remove(node);
        delete node;
    }
}

// ---------------------------------------------------------------------------
// NodeList: linking

void NodeList::LinkAfter(ListNode* node, ListNode* after)
{
    if (!after) {
        node->prev = nullptr;
        node->next = head;
        if (head)
            head->prev = node;
        else
            tail = node;
        head = node;
    } else {
        node->prev = after;
        node->next = after->next;
        if (after->next)
            after->next->prev = node;
        else
            tail = node;
        after->next = node;
    }
    count++;
}

int NodeList::Append(ListNode* node)
{
    LinkAfter(node, tail);
    EnterIndexes(node);
    return count;
}

int NodeList::Prepend(ListNode* node)
{
    LinkAfter(node, nullptr);
    EnterIndexes(node);
    return count;
}

int NodeList::InsertAfter(ListNode* node, ListNode* after)
{
    LinkAfter(node, after);
    EnterIndexes(node);
    return count;
}

int NodeList::InsertBefore(ListNode* node, ListNode* before)
{
    if (!before)
        return Append(node);
    return InsertAfter(node, before->prev);
}

void NodeList::InsertSorted(ListNode* node, bool makeUnique)
{
    if (makeUnique)
        MakeUniqueName(node->name, node->name, false);
    if (!head || CompareNoCase(head->name, node->name) >= 0) {
        Prepend(node);
        return;
    }
    int lo = 0, hi = count - 1;
    while (hi != lo) {
        int mid = (hi + lo) / 2;
        if (mid == lo)
            mid = lo + 1;
        ListNode* probe = GetAt(mid);
        int c = CompareNoCase(probe->name, node->name);
        if (c < 0) {
            lo = mid;
        } else if (c > 0) {
            hi = mid - 1;
        } else {
            InsertAfter(node, probe);
            return;
        }
    }
    InsertAfter(node, GetAt(lo));
}

void NodeList::MoveNode(ListNode* node, bool up)
{
    int p = IndexOf(node);
    if (p < 0)
        return;
    if (up) {
        Remove(node);
        if (p <= 1)
            Prepend(node);
        else
            InsertAfter(node, GetAt(p - 2));
    } else {
        ListNode* following = node->next;
        if (!following)
            return;
        Remove(node);
        InsertAfter(node, following);
    }
}

void NodeList::Remove(ListNode* node)
{
    if (node->prev)
        node->prev->next = node->next;
    else
        head = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else
        tail = node->prev;
    count--;

    if (flags & NL_INDEX_NAME)
        LeaveName(node);
    if (flags & NL_INDEX_KEY)
        LeaveKey(node);
    if (flags & NL_INDEX_ID)
        LeaveId(node);
}

// ---------------------------------------------------------------------------
// NodeList: queries

ListNode* NodeList::GetAt(int index) const
{
    if (index < 0)
        return nullptr;
    ListNode* n = head;
    while (n && index > 0) {
        n = n->next;
        index--;
    }
    return n;
}

int NodeList::IndexOf(const ListNode* node) const
{
    int i = 0;
    for (ListNode* n = head; n; n = n->next, i++) {
        if (n == node)
            return i;
    }
    return -1;
}

int NodeList::CountNonLayers() const
{
    int k = 0;
    for (ListNode* n = head; n; n = n->next) {
        if (n->kind != NODE_KIND_LAYER)
            k++;
    }
    return k;
}

ListNode* NodeList::Find(const char* name) const
{
    if (!name)
        return nullptr;
    if (flags & NL_INDEX_NAME) {
        if (IsInfoName(name))
            return nullptr;
        ListNode** entries = Entries(nameIndex);
        int lo = 0, hi = nameCount;
        while (lo < hi) {
            int mid = lo + (hi - lo) / 2;
            if (strcmp(entries[mid]->name, name) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo < nameCount && strcmp(entries[lo]->name, name) == 0)
            return entries[lo];
        return nullptr;
    }
    for (ListNode* n = head; n; n = n->next) {
        if (strcmp(n->name, name) == 0)
            return n;
    }
    return nullptr;
}

ListNode* NodeList::FindNoCase(const char* name) const
{
    if (!name)
        return nullptr;
    for (ListNode* n = head; n; n = n->next) {
        if (EqualNoCase(n->name, name))
            return n;
    }
    return nullptr;
}

ListNode* NodeList::FindKey(double key) const
{
    if (flags & NL_INDEX_KEY) {
        ListNode** entries = Entries(keyIndex);
        int lo = 0, hi = keyCount;
        while (lo < hi) {
            int mid = lo + (hi - lo) / 2;
            if (entries[mid]->key < key)
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo < keyCount && entries[lo]->key == key)
            return entries[lo];
        return nullptr;
    }
    for (ListNode* n = head; n; n = n->next) {
        if (n->key == key)
            return n;
    }
    return nullptr;
}

ListNode* NodeList::FindById(uint32_t id) const
{
    if (!idReader)
        return nullptr;
    if (flags & NL_INDEX_ID) {
        GrowBuffer* table = idTables[(id & NODE_ID_TABLE_BIT) ? 1 : 0];
        uint32_t slot = id & NODE_ID_SLOT_MASK;
        if (!table || (int64_t)slot * 4 + 4 > table->GetCapacity())
            return nullptr;
        return Entries(table)[slot];
    }
    const uint32_t mask = NODE_ID_TABLE_BIT | NODE_ID_SLOT_MASK;
    for (ListNode* n = head; n; n = n->next) {
        if ((idReader(n) & mask) == (id & mask))
            return n;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// NodeList: unique names

void NodeList::MakeUniqueName(const char* name, char* out, bool allowSelf) const
{
    // Work on the name as a node could carry it: at most 63 characters.
    char wanted[ListNode::NODE_NAME_SIZE];
    memset(wanted, 0, sizeof(wanted));
    if (name)
        strncpy(wanted, name, ListNode::NODE_NAME_MAX);

    int matches = 0;
    for (ListNode* n = head; n; n = n->next) {
        if (EqualNoCase(n->name, wanted))
            matches++;
    }
    if (matches == 0 || (matches == 1 && allowSelf)) {
        memcpy(out, wanted, sizeof(wanted));
        return;
    }

    char stem[ListNode::NODE_NAME_SIZE];
    memcpy(stem, wanted, sizeof(stem));
    size_t len = strlen(stem);
    while (len > 0 && ((stem[len - 1] >= '0' && stem[len - 1] <= '9') || stem[len - 1] == '.'))
        stem[--len] = 0;

    char candidate[ListNode::NODE_NAME_SIZE + 16];
    for (int k = 0;; k++) {
        if (k == 0) {
            memcpy(candidate, stem, sizeof(stem));
        } else {
            char suffix[16];
            int suffixLen = snprintf(suffix, sizeof(suffix), ".%d", k);
            // The stem gives way so that stem and suffix fit in a node name.
            size_t room = ListNode::NODE_NAME_MAX - (size_t)suffixLen;
            size_t take = len < room ? len : room;
            memcpy(candidate, stem, take);
            memcpy(candidate + take, suffix, (size_t)suffixLen + 1);
        }
        bool taken = false;
        for (ListNode* n = head; n && !taken; n = n->next)
            taken = EqualNoCase(n->name, candidate);
        if (!taken) {
            memset(out, 0, ListNode::NODE_NAME_SIZE);
            strcpy(out, candidate);
            return;
        }
    }
}
