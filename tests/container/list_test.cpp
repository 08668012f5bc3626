// list_test.cpp - the linked list and tree list: link invariants, attach and detach, walk orders.
#include "container/list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Node : HireList {
    std::string name;
    explicit Node(std::string n) : HireList{}, name(std::move(n)) {}
};

const std::string& NameOf(const List* node) { return static_cast<const Node*>(node)->name; }

std::string Forward(List* head) {
    std::string out;
    for (List* n = head; n; n = n->next) out += (out.empty() ? "" : " ") + NameOf(n);
    return out;
}

std::string Backward(List* head) {
    std::string out;
    for (List* n = GetListLast(head); n; n = n->prev)
        out = NameOf(n) + (out.empty() ? "" : " ") + out;
    return out;
}

// A list is sound when its head has no predecessor and both directions name the same nodes.
void ExpectSoundList(List* head) {
    if (head) {
        EXPECT_EQ(head->prev, nullptr);
    }
    EXPECT_EQ(Forward(head), Backward(head));
}

// The tree invariants, checked over the whole subtree.
void ExpectSoundTree(HireList* node) {
    ExpectSoundList(node->child);
    EXPECT_EQ(node->child == nullptr, node->childTail == nullptr) << static_cast<Node*>(node)->name;
    EXPECT_EQ(node->childTail, GetListLast(node->child));
    for (List* c = node->child; c; c = c->next) {
        EXPECT_EQ(static_cast<HireList*>(c)->parent, node);
        ExpectSoundTree(static_cast<HireList*>(c));
    }
}

std::string Children(HireList* node) { return Forward(node->child); }

void Record(HireList* node, void* context) {
    auto* out = static_cast<std::string*>(context);
    *out += (out->empty() ? "" : " ") + static_cast<Node*>(node)->name;
}

std::string TopDown(HireList* node) {
    std::string out;
    HireListForEachChildTD(node, &out, Record);
    return out;
}

std::string BottomUp(HireList* node) {
    std::string out;
    HireListForEachChildBU(node, &out, Record);
    return out;
}

TEST(List, AttachAtBothEndsAndInTheMiddleKeepsBothDirectionsInStep) {
    Node a("a"), b("b"), c("c"), d("d"), e("e");
    List* head = AttachListToTail(nullptr, &b);
    head = AttachListToTail(head, &d);
    head = AttachListToHead(head, &a);
    head = AttachListToNext(head, &c, &b);
    head = AttachListToPrev(head, &e, &d);
    EXPECT_EQ(Forward(head), "a b c e d");
    ExpectSoundList(head);
    EXPECT_EQ(head, &a);
    EXPECT_EQ(GetListRoot(&e), &a);
    EXPECT_EQ(GetListLast(&c), &d);
}

TEST(List, InsertingBeforeTheHeadOrIntoAnEmptyListGivesTheNewHead) {
    Node a("a"), b("b"), c("c");
    List* head = AttachListToNext(nullptr, &a, nullptr);
    EXPECT_EQ(head, &a);
    EXPECT_EQ(Forward(head), "a");
    head = AttachListToPrev(head, &b, &a);
    EXPECT_EQ(head, &b);
    head = AttachListToNext(head, &c, &a);
    EXPECT_EQ(Forward(head), "b a c");
    ExpectSoundList(head);
}

TEST(List, DetachUnlinksHeadMiddleAndTail) {
    Node a("a"), b("b"), c("c"), d("d");
    List* head = nullptr;
    for (Node* n : {&a, &b, &c, &d}) head = AttachListToTail(head, n);

    head = DetachList(head, &b);
    EXPECT_EQ(Forward(head), "a c d");
    head = DetachList(head, &a);
    EXPECT_EQ(head, &c);
    head = DetachList(head, &d);
    EXPECT_EQ(Forward(head), "c");
    ExpectSoundList(head);
    for (Node* n : {&a, &b, &d}) {
        EXPECT_EQ(n->next, nullptr);
        EXPECT_EQ(n->prev, nullptr);
        EXPECT_FALSE(CheckPtrInList(head, n));
    }
    EXPECT_EQ(DetachList(head, &c), nullptr);
}

TEST(List, DetachOfANodeOutsideTheListKeepsTheListAndClearsTheNode) {
    Node a("a"), b("b"), x("x"), y("y");
    List* head = AttachListToTail(AttachListToTail(nullptr, &a), &b);
    List* other = AttachListToTail(AttachListToTail(nullptr, &x), &y);

    EXPECT_EQ(DetachList(head, &x), head);
    EXPECT_EQ(Forward(head), "a b");
    EXPECT_EQ(x.next, nullptr);
    EXPECT_EQ(x.prev, nullptr);
    EXPECT_TRUE(CheckPtrInList(head, &b));
    EXPECT_FALSE(CheckPtrInList(other, &a));
}

TEST(List, NullNodesAreTolerated) {
    Node a("a");
    EXPECT_EQ(AttachListToHead(&a, nullptr), &a);
    EXPECT_EQ(AttachListToTail(&a, nullptr), &a);
    EXPECT_EQ(DetachList(&a, nullptr), &a);
    EXPECT_EQ(GetListRoot(nullptr), nullptr);
    EXPECT_EQ(GetListLast(nullptr), nullptr);
    EXPECT_EQ(GetListNext(nullptr), nullptr);
    EXPECT_EQ(GetListPrev(nullptr), nullptr);
    EXPECT_FALSE(CheckPtrInList(&a, nullptr));
    EXPECT_EQ(DetachHireList(nullptr), nullptr);
    EXPECT_EQ(AttachHireListToNext(nullptr, &a), nullptr);
    EXPECT_EQ(AttachHireListToPrev(&a, nullptr), nullptr);
    AttachHireListToChildTail(nullptr, &a);
    AttachHireListToChildHead(&a, nullptr);
    EXPECT_EQ(a.parent, nullptr);
    EXPECT_EQ(a.child, nullptr);
    EXPECT_EQ(GetHireListRoot(nullptr), nullptr);
    EXPECT_EQ(GetHireListLinkFirst(nullptr), nullptr);
}

TEST(TreeList, ChildAttachesMoveOnlyTheEndTheyName) {
    Node p("p"), a("a"), b("b"), c("c");
    AttachHireListToChildTail(&a, &p);
    EXPECT_EQ(p.child, &a);
    EXPECT_EQ(p.childTail, &a);
    AttachHireListToChildTail(&b, &p);
    EXPECT_EQ(p.child, &a);
    EXPECT_EQ(p.childTail, &b);
    AttachHireListToChildHead(&c, &p);
    EXPECT_EQ(p.child, &c);
    EXPECT_EQ(p.childTail, &b);
    EXPECT_EQ(Children(&p), "c a b");
    ExpectSoundTree(&p);

    Node q("q"), d("d");
    AttachHireListToChildHead(&d, &q);
    EXPECT_EQ(q.child, &d);
    EXPECT_EQ(q.childTail, &d);
}

TEST(TreeList, SiblingAttachesAdoptTheParentAndReturnTheTopLevelHead) {
    Node top("top"), other("other"), p("p"), a("a"), b("b"), first("first"), last("last");
    HireList* head = AttachHireListToNext(&other, &top);
    EXPECT_EQ(head, &top);
    AttachHireListToChildTail(&p, &other);
    AttachHireListToChildTail(&a, &p);
    AttachHireListToChildTail(&b, &p);

    EXPECT_EQ(AttachHireListToPrev(&first, &a), &top);
    EXPECT_EQ(p.child, &first);
    EXPECT_EQ(AttachHireListToNext(&last, &b), &top);
    EXPECT_EQ(p.childTail, &last);
    EXPECT_EQ(first.parent, &p);
    EXPECT_EQ(Children(&p), "first a b last");
    ExpectSoundTree(&p);

    Node before("before");
    EXPECT_EQ(AttachHireListToPrev(&before, &top), &before);
    EXPECT_EQ(before.parent, nullptr);
    EXPECT_EQ(Forward(&before), "before top other");
}

TEST(TreeList, DetachKeepsTheParentsEndsAndMovesTheWholeSubtree) {
    Node top("top"), p("p"), a("a"), b("b"), c("c"), a1("a1"), only("only"), q("q");
    AttachHireListToNext(&q, &top);
    AttachHireListToChildTail(&p, &top);
    for (Node* n : {&a, &b, &c}) AttachHireListToChildTail(n, &p);
    AttachHireListToChildTail(&a1, &a);
    AttachHireListToChildTail(&only, &q);

    EXPECT_EQ(DetachHireList(&c), &top);
    EXPECT_EQ(p.childTail, &b);
    EXPECT_EQ(DetachHireList(&a), &top);
    EXPECT_EQ(p.child, &b);
    EXPECT_EQ(a.parent, nullptr);
    EXPECT_EQ(a.child, &a1);
    EXPECT_EQ(a1.parent, &a);
    ExpectSoundTree(&p);

    EXPECT_EQ(DetachHireList(&only), &top);
    EXPECT_EQ(q.child, nullptr);
    EXPECT_EQ(q.childTail, nullptr);

    // A top-level node: the result is the head of what remains of the top-level list.
    EXPECT_EQ(DetachHireList(&top), &q);
    EXPECT_EQ(DetachHireList(&q), nullptr);
}

TEST(TreeList, LinkFirstAndRootFindTheEndsFromAnyNode) {
    Node top("top"), next("next"), p("p"), a("a"), b("b");
    AttachHireListToNext(&next, &top);
    AttachHireListToChildTail(&p, &next);
    AttachHireListToChildTail(&a, &p);
    AttachHireListToChildTail(&b, &p);
    EXPECT_EQ(GetHireListLinkFirst(&b), &a);
    EXPECT_EQ(GetHireListLinkFirst(&next), &top);
    EXPECT_EQ(GetHireListRoot(&b), &next);
    EXPECT_EQ(GetHireListParent(&b), &p);
    EXPECT_EQ(GetHireListChild(&p), &a);
}

class TreeWalk : public testing::Test {
protected:
    void SetUp() override {
        AttachHireListToChildTail(&a, &root);
        AttachHireListToChildTail(&b, &root);
        AttachHireListToChildTail(&a1, &a);
        AttachHireListToChildTail(&a2, &a);
        AttachHireListToNext(&beside, &root);
    }
    Node root{"root"}, a{"A"}, b{"B"}, a1{"A1"}, a2{"A2"}, beside{"beside"};
};

TEST_F(TreeWalk, TopDownIsPreOrderInChildOrder) {
    EXPECT_EQ(TopDown(&root), "root A A1 A2 B");
}

TEST_F(TreeWalk, BottomUpVisitsLastChildFirstAndEveryNodeAfterItsChildren) {
    EXPECT_EQ(BottomUp(&root), "B A2 A1 A root");
}

TEST_F(TreeWalk, WalksStayInsideTheSubtreeTheyStartAt) {
    EXPECT_EQ(TopDown(&a), "A A1 A2");
    EXPECT_EQ(BottomUp(&a), "A2 A1 A");
    EXPECT_EQ(TopDown(&b), "B");
    EXPECT_EQ(BottomUp(&a2), "A2");
}

// A file can nest containers about as deep as its length allows; the walks must not recurse.
TEST(TreeList, WalksOfAVeryDeepTreeDoNotExhaustTheStack) {
    constexpr int kDepth = 500000;
    std::vector<HireList> chain(kDepth, HireList{});
    for (int i = 1; i < kDepth; ++i) AttachHireListToChildTail(&chain[i], &chain[i - 1]);
    long count = 0;
    auto counter = [](HireList*, void* c) { ++*static_cast<long*>(c); };
    HireListForEachChildTD(&chain[0], &count, counter);
    HireListForEachChildBU(&chain[0], &count, counter);
    EXPECT_EQ(count, 2L * kDepth);
}

}  // namespace
