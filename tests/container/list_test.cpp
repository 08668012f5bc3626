// SPDX-License-Identifier: GPL-3.0-or-later
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

void Append(std::string& out, const List* node) {
    out += (out.empty() ? "" : " ") + static_cast<const Node*>(node)->name;
}

// The names along `next`, after checking that the head has no predecessor and that walking
// back along `prev` from the tail meets the same nodes.
std::string Names(List* head) {
    std::vector<List*> forward, backward;
    for (List* n = head; n; n = n->next) forward.push_back(n);
    for (List* n = GetListLast(head); n; n = n->prev) backward.insert(backward.begin(), n);
    EXPECT_EQ(forward, backward);
    EXPECT_TRUE(!head || !head->prev);
    std::string names;
    for (List* n : forward) Append(names, n);
    return names;
}

// The tree invariants over a whole subtree.
void ExpectSoundTree(HireList* node) {
    EXPECT_EQ(node->childTail, GetListLast(node->child));
    for (List* c = node->child; c; c = c->next) {
        EXPECT_EQ(static_cast<HireList*>(c)->parent, node);
        ExpectSoundTree(static_cast<HireList*>(c));
    }
}

std::string Walk(void (*walk)(HireList*, void*, HireListVisitor), HireList* node) {
    std::string out;
    walk(node, &out, [](HireList* n, void* c) { Append(*static_cast<std::string*>(c), n); });
    return out;
}

TEST(List, AttachesAnywhereKeepBothDirectionsInStep) {
    Node a("a"), b("b"), c("c"), d("d"), e("e"), f("f");
    List* head = AttachListToNext(nullptr, &b, nullptr);
    head = AttachListToTail(head, &d);
    head = AttachListToHead(head, &a);
    head = AttachListToNext(head, &c, &b);
    head = AttachListToPrev(head, &e, &d);
    EXPECT_EQ(Names(head), "a b c e d");
    head = AttachListToPrev(head, &f, &a);
    EXPECT_EQ(head, &f);
    EXPECT_EQ(Names(head), "f a b c e d");
    EXPECT_EQ(GetListRoot(&e), &f);
}

TEST(List, DetachUnlinksAnyPositionAndClearsEvenAStrangerNode) {
    Node a("a"), b("b"), c("c"), d("d"), stranger("x");
    List* head = nullptr;
    for (Node* n : {&a, &b, &c, &d}) head = AttachListToTail(head, n);
    head = DetachList(head, &b);
    head = DetachList(head, &a);
    head = DetachList(head, &d);
    EXPECT_EQ(head, &c);
    // Stale links of a node outside the list must not be followed.
    stranger.prev = &a;
    stranger.next = &b;
    EXPECT_EQ(DetachList(head, &stranger), &c);
    EXPECT_EQ(Names(head), "c");
    for (Node* n : {&a, &b, &d, &stranger}) {
        EXPECT_EQ(n->next, nullptr);
        EXPECT_EQ(n->prev, nullptr);
        EXPECT_FALSE(CheckPtrInList(head, n));
    }
    EXPECT_EQ(DetachList(head, &c), nullptr);
}

TEST(TreeList, AttachesMoveOnlyTheEndTheyTouchAndReturnTheTopLevelHead) {
    Node top("top"), other("other"), p("p"), a("a"), b("b"), c("c"), first("first"), last("last");
    AttachHireListToChildHead(&a, &p);
    EXPECT_EQ(p.child, &a);
    EXPECT_EQ(p.childTail, &a);
    AttachHireListToChildTail(&b, &p);
    EXPECT_EQ(p.child, &a);
    AttachHireListToChildHead(&c, &p);
    EXPECT_EQ(p.child, &c);
    EXPECT_EQ(p.childTail, &b);

    EXPECT_EQ(AttachHireListToNext(&other, &top), &top);
    AttachHireListToChildTail(&p, &other);
    EXPECT_EQ(AttachHireListToPrev(&first, &c), &top);
    EXPECT_EQ(AttachHireListToNext(&last, &b), &top);
    EXPECT_EQ(Names(p.child), "first c a b last");
    EXPECT_EQ(p.childTail, &last);
    ExpectSoundTree(&other);
    EXPECT_EQ(GetHireListLinkFirst(&b), &first);
    EXPECT_EQ(GetHireListRoot(&b), &other);
}

TEST(TreeList, DetachKeepsTheParentsEndsAndMovesTheWholeSubtree) {
    Node top("top"), p("p"), a("a"), b("b"), c("c"), a1("a1"), q("q"), only("only");
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
    ExpectSoundTree(&top);
    ExpectSoundTree(&a);

    EXPECT_EQ(DetachHireList(&only), &top);
    EXPECT_EQ(q.child, nullptr);
    EXPECT_EQ(q.childTail, nullptr);
    EXPECT_EQ(DetachHireList(&top), &q);
    EXPECT_EQ(DetachHireList(&q), nullptr);
}

TEST(TreeList, WalksVisitInTheirOrderAndStayInsideTheSubtreeTheyStartAt) {
    Node root("root"), a("A"), b("B"), a1("A1"), a2("A2"), beside("beside");
    AttachHireListToChildTail(&a, &root);
    AttachHireListToChildTail(&b, &root);
    AttachHireListToChildTail(&a1, &a);
    AttachHireListToChildTail(&a2, &a);
    AttachHireListToNext(&beside, &root);

    EXPECT_EQ(Walk(HireListForEachChildTD, &root), "root A A1 A2 B");
    EXPECT_EQ(Walk(HireListForEachChildBU, &root), "B A2 A1 A root");
    EXPECT_EQ(Walk(HireListForEachChildTD, &a), "A A1 A2");
    EXPECT_EQ(Walk(HireListForEachChildBU, &a), "A2 A1 A");
    EXPECT_EQ(Walk(HireListForEachChildTD, &b), "B");
    EXPECT_EQ(Walk(HireListForEachChildBU, &b), "B");
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
