#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/List.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

const char kUniqueText[] =
    "Unique list not unique: Contact the author and inform him that bug #1627 has occurred";
const char kIdText[] =
    "Variable list not valid. Serious bug, please contact the author and tell him, bug #3134 has occured...";

// A list element with an id, as the records of id-indexed lists carry one.
struct TestNode : ListNode {
    TestNode(const char* n, double k = 0.0, uint32_t i = 0) : id(i)
    {
        SetName(n);
        key = k;
    }
    ~TestNode() override
    {
        if (destroyed)
            ++*destroyed;
    }
    static uint32_t ReadId(const ListNode* node) { return static_cast<const TestNode*>(node)->id; }

    uint32_t id;
    int* destroyed = nullptr;
};

const uint32_t kAllIndexes = NL_INDEX_NAME | NL_INDEX_ID | NL_INDEX_KEY;

// Checks the links against the expected order.
void ExpectOrder(const NodeList& list, const std::vector<ListNode*>& order)
{
    ASSERT_EQ(list.Count(), (int)order.size());
    ASSERT_EQ(list.IsEmpty(), order.empty());
    ASSERT_EQ(list.GetHead(), order.empty() ? nullptr : order.front());
    ASSERT_EQ(list.GetTail(), order.empty() ? nullptr : order.back());
    ListNode* previous = nullptr;
    ListNode* n = list.GetHead();
    for (size_t i = 0; i < order.size(); i++) {
        ASSERT_EQ(n, order[i]) << "position " << i;
        ASSERT_EQ(n->prev, previous) << "position " << i;
        previous = n;
        n = n->next;
    }
    ASSERT_EQ(n, nullptr);
}

std::vector<std::string> Names(const NodeList& list)
{
    std::vector<std::string> names;
    for (ListNode* n = list.GetHead(); n; n = n->next)
        names.push_back(n->name);
    return names;
}

// A small deterministic generator for the scripted sequences.
struct Lcg {
    uint32_t state;
    uint32_t Next(uint32_t bound)
    {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// The three indexes against a model, over a scripted run of insertions,
// removals and moves. The same script runs on a list without indexes, whose
// lookups walk the links.

class NodeListModel : public ::testing::TestWithParam<uint32_t> {};

TEST_P(NodeListModel, LookupsAgreeWithTheModelThroughoutAScript)
{
    const uint32_t indexes = GetParam();
    NodeList list;
    list.SetIndexes(indexes, &TestNode::ReadId);
    EXPECT_EQ(list.GetIndexes(), indexes);

    std::vector<std::unique_ptr<TestNode>> pool;
    std::vector<ListNode*> order;     // the model: the expected order
    std::vector<TestNode*> outside;   // created, not in the list
    Lcg rng{12345};
    int serial = 0;

    auto verify = [&](int step) {
        SCOPED_TRACE("step " + std::to_string(step));
        ExpectOrder(list, order);
        int named = 0;
        for (size_t i = 0; i < order.size(); i++) {
            TestNode* t = static_cast<TestNode*>(order[i]);
            bool info = IsInfoName(t->name);
            named += info ? 0 : 1;
            if (info && (indexes & NL_INDEX_NAME))
                EXPECT_EQ(list.Find(t->name), nullptr) << t->name;
            else
                EXPECT_EQ(list.Find(t->name), t) << t->name;
            EXPECT_EQ(list.FindKey(t->key), t) << t->key;
            EXPECT_EQ(list.FindById(t->id), t) << t->id;
            EXPECT_EQ(list.IndexOf(t), (int)i);
            EXPECT_EQ(list.GetAt((int)i), t);
        }
        for (TestNode* t : outside) {
            EXPECT_EQ(list.Find(t->name), nullptr) << t->name;
            EXPECT_EQ(list.FindKey(t->key), nullptr) << t->key;
            EXPECT_EQ(list.FindById(t->id), nullptr) << t->id;
            EXPECT_EQ(list.IndexOf(t), -1);
        }
        EXPECT_EQ(list.NameIndexCount(), (indexes & NL_INDEX_NAME) ? named : 0);
    };

    for (int step = 0; step < 400; step++) {
        uint32_t op = rng.Next(10);
        if (order.empty() || op < 5) {
            // A fresh node, or a removed one again, linked in somewhere.
            TestNode* node;
            if (!outside.empty() && rng.Next(3) == 0) {
                size_t k = rng.Next((uint32_t)outside.size());
                node = outside[k];
                outside.erase(outside.begin() + k);
            } else {
                char name[32];
                int s = serial++;
                // Mixed case, some "INFO:" names, keys out of order, ids in
                // both tables.
                if (s % 7 == 3)
                    snprintf(name, sizeof(name), "%snode %d", s % 2 ? "INFO:" : "info:", s);
                else
                    snprintf(name, sizeof(name), "%c%d", "aBcDe"[s % 5], (s * 37) % 101);
                uint32_t id = (s % 3 == 0 ? NODE_ID_TABLE_BIT : 0) + 1 + (uint32_t)s;
                pool.emplace_back(new TestNode(name, (s * 7919) % 1009 - 500.5, id));
                node = pool.back().get();
            }
            size_t where = order.empty() ? 0 : rng.Next((uint32_t)order.size() + 1);
            switch (rng.Next(4)) {
            case 0:
                list.Append(node);
                order.push_back(node);
                break;
            case 1:
                list.Prepend(node);
                order.insert(order.begin(), node);
                break;
            case 2: {  // after the node at where-1; null after = prepend
                ListNode* after = where == 0 ? nullptr : order[where - 1];
                list.InsertAfter(node, after);
                order.insert(order.begin() + where, node);
                break;
            }
            default: {  // before the node at where; null before = append
                ListNode* before = where == order.size() ? nullptr : order[where];
                list.InsertBefore(node, before);
                order.insert(order.begin() + where, node);
                break;
            }
            }
        } else if (op < 8) {
            size_t k = rng.Next((uint32_t)order.size());
            TestNode* node = static_cast<TestNode*>(order[k]);
            list.Remove(node);
            order.erase(order.begin() + k);
            outside.push_back(node);
        } else {
            size_t k = rng.Next((uint32_t)order.size());
            ListNode* node = order[k];
            bool up = op == 8;
            list.MoveNode(node, up);
            if (up && k > 0)
                std::swap(order[k], order[k - 1]);
            else if (!up && k + 1 < order.size())
                std::swap(order[k], order[k + 1]);
        }
        verify(step);
        if (HasFailure())
            return;
    }
    ASSERT_GT(order.size(), 20u);   // the script kept a list of some length
    list.Clear(true);
}

INSTANTIATE_TEST_SUITE_P(Indexes, NodeListModel,
                         ::testing::Values(0u, (uint32_t)NL_INDEX_NAME, kAllIndexes));

TEST(NodeList, IndexesEnabledOnAFilledListCoverEveryNode)
{
    std::vector<std::unique_ptr<TestNode>> nodes;
    NodeList list;
    const char* names[] = {"zeta", "Alpha", "mu", "INFO:x", "beta", "Omega"};
    for (int i = 0; i < 6; i++) {
        nodes.emplace_back(new TestNode(names[i], 10.0 - i, (i % 2 ? NODE_ID_TABLE_BIT : 0) + 1000 + i));
        list.Append(nodes.back().get());
    }
    list.SetIndexes(kAllIndexes, &TestNode::ReadId);
    EXPECT_EQ(list.NameIndexCount(), 5);
    for (auto& n : nodes) {
        EXPECT_EQ(list.Find(n->name), IsInfoName(n->name) ? nullptr : n.get());
        EXPECT_EQ(list.FindKey(n->key), n.get());
        EXPECT_EQ(list.FindById(n->id), n.get());
    }

    // Switching the indexes off again: lookups walk and still answer.
    list.SetIndexes(0);
    EXPECT_EQ(list.NameIndexCount(), 0);
    EXPECT_EQ(list.Find("INFO:x"), nodes[3].get());
    EXPECT_EQ(list.FindKey(8.0), nodes[2].get());
    EXPECT_EQ(list.FindById(NODE_ID_TABLE_BIT + 1003), nodes[3].get());
    list.Clear(false);
}

// ---------------------------------------------------------------------------
// Edge cases

TEST(NodeList, EmptyListAnswersNothing)
{
    NodeList list;
    list.SetIdReader(&TestNode::ReadId);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.GetAt(0), nullptr);
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.Find("a"), nullptr);
    EXPECT_EQ(list.FindNoCase("a"), nullptr);
    EXPECT_EQ(list.FindKey(0.0), nullptr);
    EXPECT_EQ(list.FindById(0), nullptr);
    TestNode stranger("a");
    EXPECT_EQ(list.IndexOf(&stranger), -1);
    EXPECT_EQ(list.nextIds[0], 1);
    EXPECT_EQ(list.nextIds[1], 1);
}

TEST(NodeList, NullNeighboursPrependOrAppend)
{
    NodeList list;
    list.SetIndexes(NL_INDEX_NAME);
    TestNode a("a"), b("b"), c("c"), d("d");
    EXPECT_EQ(list.InsertAfter(&b, nullptr), 1);   // empty list
    EXPECT_EQ(list.InsertAfter(&a, nullptr), 2);   // prepends
    EXPECT_EQ(list.InsertBefore(&d, nullptr), 3);  // appends
    list.InsertBefore(&c, &d);
    ExpectOrder(list, {&a, &b, &c, &d});

    // After the tail: appended and indexed once (no fatal report).
    TestNode e("e");
    list.InsertAfter(&e, &d);
    ExpectOrder(list, {&a, &b, &c, &d, &e});
    EXPECT_EQ(list.NameIndexCount(), 5);
    EXPECT_EQ(list.Find("e"), &e);
    list.Clear(true);
}

TEST(NodeList, MoveNodeAtTheEnds)
{
    NodeList list;
    TestNode a("a"), b("b"), c("c");
    list.Append(&a);
    list.Append(&b);
    list.Append(&c);

    list.MoveNode(&a, true);    // head up: unchanged
    list.MoveNode(&c, false);   // tail down: unchanged
    ExpectOrder(list, {&a, &b, &c});
    list.MoveNode(&b, true);    // second up: the new head
    ExpectOrder(list, {&b, &a, &c});
    list.MoveNode(&a, false);   // middle down
    ExpectOrder(list, {&b, &c, &a});

    TestNode stranger("x");     // not in the list: left alone
    stranger.next = &a;
    list.MoveNode(&stranger, false);
    list.MoveNode(&stranger, true);
    ExpectOrder(list, {&b, &c, &a});
    list.Clear(false);
}

TEST(NodeList, InfoNamesAreLinkedButNeverNameIndexed)
{
    ScriptedBoxes boxes;   // none expected
    NodeList list;
    list.SetIndexes(NL_INDEX_NAME);
    TestNode julia("Julia"), info("info:version"), info2("INFO:version");
    list.Append(&julia);
    list.Append(&info);
    list.Append(&info2);   // same name ignoring case: not a duplicate of the index
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.NameIndexCount(), 1);
    EXPECT_EQ(list.Find("info:version"), nullptr);
    EXPECT_EQ(list.FindNoCase("INFO:VERSION"), &info);

    list.Remove(&info);
    EXPECT_EQ(list.NameIndexCount(), 1);
    EXPECT_EQ(list.Find("Julia"), &julia);
    EXPECT_EQ(boxes.Count(), 0u);
    list.Clear(true);
}

TEST(NodeList, FindIsCaseSensitiveFindNoCaseIsNot)
{
    for (uint32_t indexes : {0u, (uint32_t)NL_INDEX_NAME}) {
        NodeList list;
        list.SetIndexes(indexes);
        TestNode upper("Julia"), lower("julia"), other("Mandel");
        list.Append(&other);
        list.Append(&upper);
        list.Append(&lower);   // distinct names for the index (strcmp)
        EXPECT_EQ(list.Find("Julia"), &upper) << indexes;
        EXPECT_EQ(list.Find("julia"), &lower) << indexes;
        EXPECT_EQ(list.Find("JULIA"), nullptr) << indexes;
        EXPECT_EQ(list.FindNoCase("JULIA"), &upper) << indexes;   // the first from the head
        EXPECT_EQ(list.FindNoCase("mandel"), &other) << indexes;
        list.Clear(true);
    }
}

TEST(NodeList, InsertSortedIgnoresCase)
{
    NodeList list;
    TestNode n1("mandel"), n2("Burning ship"), n3("julia"), n4("Zeta"), n5("apple"), n6("_x");
    for (TestNode* n : {&n1, &n2, &n3, &n4, &n5, &n6})
        list.InsertSorted(n, false);
    // Ordered as stricmp orders: lower-cased, so "_" (0x5F) before letters.
    EXPECT_EQ(Names(list),
              (std::vector<std::string>{"_x", "apple", "Burning ship", "julia", "mandel", "Zeta"}));

    // An equal name (ignoring case) goes right after its twin.
    TestNode twin("JULIA");
    list.InsertSorted(&twin, false);
    EXPECT_EQ(list.IndexOf(&twin), list.IndexOf(&n3) + 1);
    list.Clear(false);
}

TEST(NodeList, InsertSortedMakesNamesUnique)
{
    NodeList list;
    TestNode a("Julia"), b("julia"), c("Julia.1"), d("Mandel");
    list.InsertSorted(&a, true);
    list.InsertSorted(&d, true);
    list.InsertSorted(&b, true);
    list.InsertSorted(&c, true);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Julia", "julia.1", "Julia.2", "Mandel"}));
    list.Clear(false);
}

TEST(NodeList, MakeUniqueNameCases)
{
    struct Case {
        std::vector<const char*> present;
        const char* name;
        bool allowSelf;
        const char* expected;
    };
    const Case cases[] = {
        {{"Mandel"}, "Julia", false, "Julia"},
        {{"Julia"}, "Julia", false, "Julia.1"},
        {{"Julia", "Julia.1"}, "JULIA", false, "JULIA.2"},
        {{"Julia.3"}, "Julia.3", false, "Julia"},           // stripped text is free
        {{"Julia.3", "Julia"}, "Julia.3", false, "Julia.1"},
        {{"12"}, "12", false, ""},                            // stripped to nothing
        {{"12", ""}, "12", false, ".1"},
        {{"Julia"}, "Julia", true, "Julia"},                  // itself
        {{"Julia", "julia"}, "JULIA", true, "JULIA.1"},       // two carry it
        {{}, "", false, ""},
    };
    for (const Case& c : cases) {
        NodeList list;
        std::vector<std::unique_ptr<TestNode>> nodes;
        for (const char* p : c.present) {
            nodes.emplace_back(new TestNode(p));
            list.Append(nodes.back().get());
        }
        char out[64];
        memset(out, 'x', sizeof(out));
        list.MakeUniqueName(c.name, out, c.allowSelf);
        EXPECT_STREQ(out, c.expected) << "name " << c.name;
        list.Clear(false);
    }
}

TEST(NodeList, MakeUniqueNameStaysWithinANodeName)
{
    NodeList list;
    std::string longest(63, 'x');
    TestNode a(longest.c_str());
    list.Append(&a);

    // In place, as InsertSorted uses it.
    char name[64];
    strcpy(name, longest.c_str());
    list.MakeUniqueName(name, name, false);
    EXPECT_EQ(std::string(name), std::string(61, 'x') + ".1");

    // A name longer than a node can carry is cut to 63 first.
    std::string tooLong(100, 'y');
    char out[64];
    list.MakeUniqueName(tooLong.c_str(), out, false);
    EXPECT_EQ(std::string(out), std::string(63, 'y'));
    TestNode b(out);
    list.Append(&b);
    list.MakeUniqueName(tooLong.c_str(), out, false);
    EXPECT_EQ(std::string(out), std::string(61, 'y') + ".1");

    // Many twins: the suffix grows, the stem gives way.
    std::vector<std::unique_ptr<TestNode>> more;
    for (int k = 1; k <= 10; k++) {
        list.MakeUniqueName(longest.c_str(), out, false);
        more.emplace_back(new TestNode(out));
        list.Append(more.back().get());
    }
    EXPECT_STREQ(out, (std::string(60, 'x') + ".10").c_str());
    list.Clear(false);
}

TEST(NodeList, ClearKeepingIndexesStartsAfresh)
{
    ScriptedBoxes boxes;   // none expected: the old entries are gone
    NodeList list;
    list.SetIndexes(kAllIndexes, &TestNode::ReadId);
    TestNode a("a", 1.0, 5), b("b", 2.0, NODE_ID_TABLE_BIT | 5);
    list.Append(&a);
    list.Append(&b);
    list.nextIds[0] = 9;
    list.nextIds[1] = 4;

    list.Clear(true);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetIndexes(), kAllIndexes);
    EXPECT_EQ(list.nextIds[0], 1);
    EXPECT_EQ(list.nextIds[1], 1);
    EXPECT_EQ(list.Find("a"), nullptr);
    EXPECT_EQ(list.FindKey(1.0), nullptr);
    EXPECT_EQ(list.FindById(5), nullptr);

    // Same names, keys and ids again: indexed without complaint.
    TestNode a2("a", 1.0, 5), b2("b", 2.0, NODE_ID_TABLE_BIT | 5);
    list.Append(&b2);
    list.Append(&a2);
    EXPECT_EQ(list.Find("a"), &a2);
    EXPECT_EQ(list.FindKey(2.0), &b2);
    EXPECT_EQ(list.FindById(5), &a2);
    EXPECT_EQ(list.FindById(NODE_ID_TABLE_BIT | 5), &b2);
    EXPECT_EQ(boxes.Count(), 0u);

    // Without keeping: the indexes are switched off, lookups walk.
    list.Clear(false);
    EXPECT_EQ(list.GetIndexes(), 0u);
    list.Append(&a);
    list.Append(&a2);   // equal name, no index: no report
    EXPECT_EQ(list.Find("a"), &a);
    EXPECT_EQ(boxes.Count(), 0u);
    list.Clear(false);
}

TEST(NodeList, RemovingTheLargestKeyKeepsTheOthersInOrder)
{
    NodeList list;
    list.SetIndexes(NL_INDEX_KEY);
    TestNode n1("1", 3.0), n2("2", -1.0), n3("3", 10.0), n4("4", 0.5);
    for (TestNode* n : {&n1, &n2, &n3, &n4})
        list.Append(n);
    list.Remove(&n3);
    EXPECT_EQ(list.FindKey(10.0), nullptr);
    EXPECT_EQ(list.FindKey(3.0), &n1);
    EXPECT_EQ(list.FindKey(-1.0), &n2);
    EXPECT_EQ(list.FindKey(0.5), &n4);
    list.Clear(true);
}

// ---------------------------------------------------------------------------
// Broken invariants

TEST(NodeList, EqualNamesAndKeysAreReportedAndBothStayReachable)
{
    struct Case {
        uint32_t index;
        TestNode first, second, third;
    };
    // The name index with equal names, the key index with equal keys.
    Case cases[2] = {
        {NL_INDEX_NAME, TestNode("Julia", 1.0), TestNode("Julia", 2.0), TestNode("Mandel", 3.0)},
        {NL_INDEX_KEY, TestNode("a", 7.0), TestNode("b", 7.0), TestNode("c", 8.0)},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.index);
        ScriptedBoxes boxes;
        NodeList list;
        list.SetIndexes(c.index);
        auto lookup = [&](const TestNode& like) {
            return c.index == NL_INDEX_NAME ? list.Find(like.name) : list.FindKey(like.key);
        };
        list.Append(&c.first);
        list.Append(&c.third);
        EXPECT_EQ(boxes.Count(), 0u);
        list.Append(&c.second);
        auto shown = boxes.Shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].style, 0x2040u);
        EXPECT_EQ(shown[0].title, "Fatal error");
        EXPECT_EQ(shown[0].text, kUniqueText);

        ListNode* found = lookup(c.first);
        EXPECT_TRUE(found == &c.first || found == &c.second);
        EXPECT_EQ(lookup(c.third), &c.third);

        // Removing either twin takes out its own entry: the other stays.
        list.Remove(&c.second);
        EXPECT_EQ(lookup(c.first), &c.first);
        list.Append(&c.second);   // reported again
        list.Remove(&c.first);
        EXPECT_EQ(lookup(c.second), &c.second);
        EXPECT_EQ(lookup(c.third), &c.third);
        list.Remove(&c.second);
        EXPECT_EQ(lookup(c.second), nullptr);
        EXPECT_EQ(lookup(c.third), &c.third);
        if (c.index == NL_INDEX_NAME) {
            EXPECT_EQ(list.NameIndexCount(), 1);
        }
        EXPECT_EQ(boxes.Count(), 2u);
        list.Clear(true);
    }
}

TEST(NodeList, TakenIdSlotIsReportedAndTakenOver)
{
    ScriptedBoxes boxes;
    NodeList list;
    list.SetIndexes(NL_INDEX_ID, &TestNode::ReadId);
    TestNode first("first", 0, 42), second("second", 0, 42), other("other", 0, NODE_ID_TABLE_BIT | 42);
    list.Append(&first);
    list.Append(&other);   // the same slot in the other table: no conflict
    EXPECT_EQ(boxes.Count(), 0u);
    list.Append(&second);
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].style, 0x2040u);
    EXPECT_EQ(shown[0].title, "Fatal error");
    EXPECT_EQ(shown[0].text, kIdText);
    EXPECT_EQ(list.FindById(42), &second);
    EXPECT_EQ(list.FindById(NODE_ID_TABLE_BIT | 42), &other);

    // Removing the displaced node does not empty the slot of the new one.
    list.Remove(&first);
    EXPECT_EQ(list.FindById(42), &second);
    list.Remove(&second);
    EXPECT_EQ(list.FindById(42), nullptr);
    EXPECT_EQ(list.FindById(NODE_ID_TABLE_BIT | 42), &other);
    list.Clear(true);
}

TEST(NodeList, IdLookups)
{
    NodeList list;
    TestNode a("a", 0, 3), b("b", 0, NODE_ID_TABLE_BIT | 3), local("c", 0, 0x80000000u | 7);
    list.Append(&a);
    list.Append(&b);
    list.Append(&local);

    // Without a reader there are no ids, and no id index can be enabled.
    EXPECT_EQ(list.FindById(3), nullptr);
    list.SetIndexes(NL_INDEX_ID);
    EXPECT_EQ(list.GetIndexes(), 0u);

    for (uint32_t indexes : {0u, (uint32_t)NL_INDEX_ID}) {
        SCOPED_TRACE(indexes);
        list.SetIndexes(indexes, &TestNode::ReadId);
        EXPECT_EQ(list.FindById(3), &a);
        EXPECT_EQ(list.FindById(NODE_ID_TABLE_BIT | 3), &b);
        EXPECT_EQ(list.FindById(0x80000000u | 7), &local);
        EXPECT_EQ(list.FindById(7), &local);      // bit 31 plays no part
        EXPECT_EQ(list.FindById(4), nullptr);
        EXPECT_EQ(list.FindById(100000000), nullptr);   // far beyond the table
    }

    // A null reader switches the id index off.
    list.SetIdReader(nullptr);
    EXPECT_EQ(list.GetIndexes(), 0u);
    EXPECT_EQ(list.FindById(3), nullptr);
    list.Clear(true);
}

TEST(NodeList, AnIdBeyondAnyTableSwitchesTheIdIndexOff)
{
    ScriptedBoxes boxes;   // none expected
    NodeList list;
    list.SetIndexes(NL_INDEX_ID | NL_INDEX_NAME, &TestNode::ReadId);
    TestNode a("a", 0, 5), huge("huge", 0, NODE_ID_SLOT_MASK), b("b", 0, 6);
    list.Append(&a);
    list.Append(&huge);   // its slot would need a 4 GB table
    list.Append(&b);
    EXPECT_EQ(list.GetIndexes(), (uint32_t)NL_INDEX_NAME);
    EXPECT_EQ(list.FindById(5), &a);
    EXPECT_EQ(list.FindById(NODE_ID_SLOT_MASK), &huge);
    EXPECT_EQ(list.FindById(6), &b);
    list.Remove(&huge);
    EXPECT_EQ(list.FindById(NODE_ID_SLOT_MASK), nullptr);
    EXPECT_EQ(list.Find("b"), &b);
    EXPECT_EQ(boxes.Count(), 0u);
    list.Clear(true);
}

// ---------------------------------------------------------------------------
// Nodes and ownership

TEST(ListNode, ConstructedDefaults)
{
    ListNode n;
    EXPECT_EQ(n.next, nullptr);
    EXPECT_EQ(n.prev, nullptr);
    for (char c : n.name)
        ASSERT_EQ(c, 0);
    EXPECT_EQ(n.kind, 0);
    EXPECT_EQ(n.int1, 0);
    EXPECT_EQ(n.int2, 0);
    EXPECT_EQ(n.flag, 1);
    EXPECT_EQ(n.data, nullptr);

    std::string tooLong(80, 'n');
    n.SetName(tooLong.c_str());
    EXPECT_EQ(std::string(n.name), std::string(63, 'n'));
    n.SetName(nullptr);
    EXPECT_STREQ(n.name, "");
}

TEST(ListNode, NonLayerNeighboursSkipLayers)
{
    NodeList list;
    TestNode f1("f1"), l1("l1"), l2("l2"), f2("f2"), l3("l3");
    for (TestNode* n : {&f1, &l1, &l2, &f2, &l3})
        list.Append(n);
    for (TestNode* n : {&l1, &l2, &l3})
        n->kind = NODE_KIND_LAYER;

    EXPECT_EQ(ListNode::NextNonLayer(&f1), &f2);
    EXPECT_EQ(ListNode::NextNonLayer(&l1), &f2);
    EXPECT_EQ(ListNode::NextNonLayer(&f2), nullptr);
    EXPECT_EQ(ListNode::PrevNonLayer(&f2), &f1);
    EXPECT_EQ(ListNode::PrevNonLayer(&l3), &f2);
    EXPECT_EQ(ListNode::PrevNonLayer(&f1), nullptr);
    EXPECT_EQ(ListNode::NextNonLayer(nullptr), nullptr);
    EXPECT_EQ(ListNode::PrevNonLayer(nullptr), nullptr);
    EXPECT_EQ(list.CountNonLayers(), 2);
    list.Clear(false);
}

TEST(NodeList, DeleteAllNodesDeletesThroughTheBase)
{
    int destroyed = 0;
    NodeList list;
    list.SetIndexes(kAllIndexes, &TestNode::ReadId);
    for (int i = 0; i < 5; i++) {
        char name[8];
        snprintf(name, sizeof(name), "n%d", i);
        TestNode* n = new TestNode(name, i, i + 1);
        n->destroyed = &destroyed;
        list.Append(n);
    }
    list.DeleteAllNodes();
    EXPECT_EQ(destroyed, 5);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.NameIndexCount(), 0);
    EXPECT_EQ(list.Find("n1"), nullptr);
    EXPECT_EQ(list.FindById(2), nullptr);
}

TEST(NodeList, GlobalListsStartEmptyWithoutIndexes)
{
    NodeList* globals[] = {&FolderList, &g_Palettes, &g_IfsFormulas, &g_LSystemFormulas,
                           &g_Messages, &g_IterationFormulas, &g_ColoringFormulas,
                           &g_Transformations, &g_FunctionLibraries, &g_ImageFilters,
                           &g_Textures, &g_RenderJobs};
    for (NodeList* l : globals) {
        EXPECT_TRUE(l->IsEmpty());
        EXPECT_EQ(l->GetIndexes(), 0u);
        EXPECT_EQ(l->nextIds[0], 1);
    }
}
