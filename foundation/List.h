// The intrusive doubly linked list used for nearly every collection of the
// program, with optional indexes by name, by id and by key.
#pragma once

#include <stdint.h>

class GrowBuffer;

// Node kind of a fractal that is a layer of a layered fractal.
enum { NODE_KIND_LAYER = 8 };

// Base of every list element. The list links nodes; it never allocates,
// copies or frees them. Owners create nodes with new and delete them through
// the virtual destructor after taking them out of their list.
class ListNode {
public:
    // Links null, name empty, key 0, kind 0, the two integers 0, flag 1,
    // data null.
    ListNode();
    virtual ~ListNode();

    // A node has one pair of links and is in at most one list, so nodes are
    // not copied implicitly; derived records copy their fields explicitly.
    ListNode(const ListNode&) = delete;
    ListNode& operator=(const ListNode&) = delete;

    // Sets the name, cut to NODE_NAME_MAX characters (null gives an empty
    // name). Not for a node inside a name-indexed list.
    void SetName(const char* text);

    // The next node after node toward the tail / the head whose kind is not
    // NODE_KIND_LAYER, or null; null for a null node.
    static ListNode* NextNonLayer(const ListNode* node);
    static ListNode* PrevNonLayer(const ListNode* node);

    enum { NODE_NAME_SIZE = 64, NODE_NAME_MAX = 63 };

    uint32_t reserved;      // left to the derived record
    ListNode* next;         // toward the tail, null at the tail
    ListNode* prev;         // toward the head, null at the head
    char name[NODE_NAME_SIZE];  // NUL-terminated, at most 63 characters
    double key;             // sort key of the key index
    int32_t kind;           // node kind; NODE_KIND_LAYER or the derived record's own kinds
    int32_t int1;           // general integers for the derived record
    int32_t int2;
    uint8_t flag;           // general flag byte, 1 at construction
    void* data;             // general data pointer
};

// Enabled indexes of a NodeList.
enum {
    NL_INDEX_NAME = 1,  // sorted by name (strcmp order); names beginning "INFO:" are left out
    NL_INDEX_ID = 2,    // by the node's id: bit 30 chooses one of two tables, bits 0..29 the slot
    NL_INDEX_KEY = 4,   // sorted by key
};

// Reads the id of a node of an id-indexed list. The base node has no id:
// the record type that lives in such a list (the formula symbol) provides
// this reader and hands it to the list with SetIdReader or SetIndexes.
typedef uint32_t (*NodeIdReader)(const ListNode* node);

// Bit 30 of an id chooses the id table, bits 0..29 are the slot; bit 31
// plays no part in the index.
enum : uint32_t {
    NODE_ID_TABLE_BIT = 0x40000000u,
    NODE_ID_SLOT_MASK = 0x3FFFFFFFu,
};

// An intrusive doubly linked list of ListNode objects. It owns its index
// buffers and nothing else. Not thread-safe: lists shared between threads
// are guarded by their owners.
//
// The name index holds every node whose name does not begin with "INFO:"
// (ignoring case), the key index every node; names (and keys) in an indexed
// list are meant to be unique. An equal name or key is reported as a fatal
// error and the node is indexed beside its twin, so that both stay
// reachable and removing either takes out exactly its own entry. An id slot
// that already holds another node is reported and then taken by the new
// node. Renaming a node, or changing its key or id, while it is in a list
// that indexes that field is not allowed.
//
// When an index buffer can't be grown (memory exhausted, or an id slot
// beyond any table that can be allocated) that index is switched off and
// its lookups fall back to walking the list, so they stay correct.
class NodeList {
public:
    // Empty, no indexes, both next ids 1.
    NodeList();
    // Destroys the index buffers; the nodes are not touched.
    ~NodeList();

    NodeList(const NodeList&) = delete;
    NodeList& operator=(const NodeList&) = delete;

    // Replaces the set of enabled indexes (NL_INDEX_* bits) and enters every
    // node into each enabled index. The id index needs an id reader; without
    // one the NL_INDEX_ID bit is dropped.
    void SetIndexes(uint32_t flags);
    void SetIndexes(uint32_t flags, NodeIdReader idReader);
    uint32_t GetIndexes() const { return flags; }
    // Sets the id reader; an enabled id index is filled again with the ids
    // it reads, and switched off by a null reader.
    void SetIdReader(NodeIdReader reader);
    NodeIdReader GetIdReader() const { return idReader; }

    // Forgets all nodes without touching them; both next ids become 1.
    // keepIndexes true: the indexes stay enabled and are emptied. false:
    // the indexes are switched off and their buffers destroyed.
    void Clear(bool keepIndexes);
    // Removes every node from the head on and deletes it.
    void DeleteAllNodes();

    // Link a node in and enter it into every enabled index; return the new
    // count. InsertAfter with a null after prepends; InsertBefore with a
    // null before appends.
    int Append(ListNode* node);
    int Prepend(ListNode* node);
    int InsertAfter(ListNode* node, ListNode* after);
    int InsertBefore(ListNode* node, ListNode* before);
    // Inserts into a list kept in name order ignoring case. With makeUnique
    // the node is first renamed with MakeUniqueName.
    void InsertSorted(ListNode* node, bool makeUnique);
    // Moves the node one place toward the head (up) or the tail. A node
    // that is not in the list is left alone.
    void MoveNode(ListNode* node, bool up);
    // Unlinks the node and takes it out of every index. The node is not
    // deleted and keeps its own links.
    void Remove(ListNode* node);

    // The node at a 0-based position, null beyond the end or for a
    // negative index.
    ListNode* GetAt(int index) const;
    // 0-based position, -1 when the node is not in the list.
    int IndexOf(const ListNode* node) const;
    int Count() const { return count; }
    bool IsEmpty() const { return head == nullptr; }
    // Nodes whose kind is not NODE_KIND_LAYER.
    int CountNonLayers() const;
    ListNode* GetHead() const { return head; }
    ListNode* GetTail() const { return tail; }

    // The node with exactly this name (case-sensitive). Through the name
    // index when enabled (names beginning "INFO:" are never found that
    // way), else the first match from the head.
    ListNode* Find(const char* name) const;
    // The first node from the head whose name equals the text ignoring case.
    ListNode* FindNoCase(const char* name) const;
    // The node whose key equals key exactly.
    ListNode* FindKey(double key) const;
    // The node with this id (bit 31 ignored): direct slot access through
    // the id index when enabled, else a walk using the id reader; null when
    // there is none or the list has no id reader.
    ListNode* FindById(uint32_t id) const;

    // Writes into out (at least ListNode::NODE_NAME_SIZE bytes; may be the
    // same storage as name) a name that no node of the list carries,
    // comparing without case. A name carried by no node, or by exactly one
    // node when allowSelf is true, is kept. Otherwise trailing digits and
    // points are stripped and ".1", ".2", ... appended as needed; the result
    // is cut so that it never exceeds 63 characters.
    void MakeUniqueName(const char* name, char* out, bool allowSelf) const;

    // Number of entries in the name index.
    int NameIndexCount() const { return nameCount; }

private:
    void LinkAfter(ListNode* node, ListNode* after);
    void EnterIndexes(ListNode* node);
    void EnterName(ListNode* node);
    void EnterId(ListNode* node);
    void EnterKey(ListNode* node);
    void LeaveName(ListNode* node);
    void LeaveKey(ListNode* node);
    void LeaveId(ListNode* node);
    void DropIndex(uint32_t flag);

    ListNode* head;
    ListNode* tail;
    uint32_t flags;
    GrowBuffer* nameIndex;      // node pointers sorted by name, nameCount entries
    GrowBuffer* keyIndex;       // node pointers sorted by key, keyCount entries
    GrowBuffer* idTables[2];    // node pointers by slot; table 1 for ids with bit 30
    int32_t nameCount;

public:
    // Id counters for the owner (element 0 for ids without bit 30, element 1
    // for ids with bit 30): 1 at construction and after Clear; the owner
    // takes ids from them and advances them itself.
    int32_t nextIds[2];

private:
    int32_t count;
    int32_t keyCount;           // entries in the key index (count while it is enabled)
    NodeIdReader idReader;
};

// True when the name begins with "INFO:" (ignoring case): such nodes are
// never entered into a name index.
bool IsInfoName(const char* name);

// The global lists, built empty at program start. Their owners delete the
// nodes; the lists themselves free only their index buffers.
extern NodeList FolderList;            // every fractal folder, head first
extern NodeList g_Palettes;            // the loaded palettes
extern NodeList g_IfsFormulas;         // IFS definitions
extern NodeList g_LSystemFormulas;     // L-system definitions
extern NodeList g_Messages;            // the entries of the message window
extern NodeList g_IterationFormulas;   // root of the iteration-formula tree
extern NodeList g_ColoringFormulas;    // root of the colouring-formula tree
extern NodeList g_Transformations;     // root of the transformation tree
extern NodeList g_FunctionLibraries;   // root of the function-library tree
extern NodeList g_ImageFilters;        // image-filter definitions
extern NodeList g_Textures;            // cached textures, guarded by g_TexturesLock
extern NodeList g_RenderJobs;          // render jobs, guarded by g_RenderJobsLock
