// SPDX-License-Identifier: GPL-3.0-or-later
// list.cpp - intrusive doubly linked list and tree list: links only, no allocation.
#include "container/list.h"

static HireList* AsHire(List* node) {
    return static_cast<HireList*>(node);
}

List* AttachListToHead(List* head, List* node) {
    if (!node) return head;
    node->next = head;
    node->prev = nullptr;
    if (head) head->prev = node;
    return node;
}

List* AttachListToTail(List* head, List* node) {
    if (!node) return head;
    node->next = nullptr;
    if (!head) {
        node->prev = nullptr;
        return node;
    }
    List* last = GetListLast(head);
    last->next = node;
    node->prev = last;
    return head;
}

List* AttachListToNext(List* head, List* node, List* sibling) {
    if (!node) return head;
    if (!head) {
        node->next = nullptr;
        node->prev = nullptr;
        return node;
    }
    if (!sibling) return head;
    node->next = sibling->next;
    node->prev = sibling;
    if (sibling->next) sibling->next->prev = node;
    sibling->next = node;
    return head;
}

List* AttachListToPrev(List* head, List* node, List* sibling) {
    if (!node) return head;
    if (sibling == head) return AttachListToHead(head, node);
    if (!sibling) return head;
    node->prev = sibling->prev;
    node->next = sibling;
    if (sibling->prev) sibling->prev->next = node;
    sibling->prev = node;
    return head;
}

List* DetachList(List* head, List* node) {
    if (!node) return head;
    if (CheckPtrInList(head, node)) {
        if (node->prev) node->prev->next = node->next;
        if (node->next) node->next->prev = node->prev;
        if (node == head) head = node->next;
    }
    node->next = nullptr;
    node->prev = nullptr;
    return head;
}

List* GetListRoot(List* node) {
    if (!node) return nullptr;
    while (node->prev) node = node->prev;
    return node;
}

List* GetListLast(List* node) {
    if (!node) return nullptr;
    while (node->next) node = node->next;
    return node;
}

List* GetListNext(List* node) {
    return node ? node->next : nullptr;
}

List* GetListPrev(List* node) {
    return node ? node->prev : nullptr;
}

int CheckPtrInList(List* head, List* node) {
    if (!node) return 0;
    for (List* cur = head; cur; cur = cur->next)
        if (cur == node) return 1;
    return 0;
}

void AttachHireListToChildHead(HireList* node, HireList* parent) {
    if (!node || !parent) return;
    node->parent = parent;
    parent->child = AsHire(AttachListToHead(parent->child, node));
    if (!parent->childTail) parent->childTail = node;
}

void AttachHireListToChildTail(HireList* node, HireList* parent) {
    if (!node || !parent) return;
    node->parent = parent;
    // Inserting after the known tail keeps building a level of n atoms linear, not quadratic.
    parent->child = AsHire(AttachListToNext(parent->child, node, parent->childTail));
    parent->childTail = node;
}

// What the sibling and detach operations return: the head of the top-level list of the tree that
// `parent` belongs to.
static HireList* TopLevelHead(HireList* parent) {
    return AsHire(GetListRoot(GetHireListRoot(parent)));
}

HireList* AttachHireListToPrev(HireList* node, HireList* sibling) {
    if (!node || !sibling) return nullptr;
    HireList* parent = sibling->parent;
    node->parent = parent;
    if (!parent) return AsHire(AttachListToPrev(GetListRoot(sibling), node, sibling));
    parent->child = AsHire(AttachListToPrev(parent->child, node, sibling));
    return TopLevelHead(parent);
}

HireList* AttachHireListToNext(HireList* node, HireList* sibling) {
    if (!node || !sibling) return nullptr;
    HireList* parent = sibling->parent;
    node->parent = parent;
    if (!parent) return AsHire(AttachListToNext(GetListRoot(sibling), node, sibling));
    parent->child = AsHire(AttachListToNext(parent->child, node, sibling));
    if (parent->childTail == sibling) parent->childTail = node;
    return TopLevelHead(parent);
}

HireList* DetachHireList(HireList* node) {
    if (!node) return nullptr;
    HireList* parent = node->parent;
    if (!parent) return AsHire(DetachList(GetListRoot(node), node));
    if (parent->childTail == node) parent->childTail = AsHire(node->prev);
    parent->child = AsHire(DetachList(parent->child, node));
    node->parent = nullptr;
    return TopLevelHead(parent);
}

HireList* GetHireListParent(HireList* node) {
    return node ? node->parent : nullptr;
}

HireList* GetHireListChild(HireList* node) {
    return node ? node->child : nullptr;
}

HireList* GetHireListLinkFirst(HireList* node) {
    if (!node) return nullptr;
    return node->parent ? node->parent->child : AsHire(GetListRoot(node));
}

HireList* GetHireListRoot(HireList* node) {
    if (!node) return nullptr;
    while (node->parent) node = node->parent;
    return node;
}

// Both walks follow the parent links back up instead of recursing: a file can nest containers
// as deep as its length allows, and the walks must not run out of stack on such a tree.

void HireListForEachChildTD(HireList* node, void* context, HireListVisitor visitor) {
    if (!node || !visitor) return;
    HireList* cur = node;
    for (;;) {
        visitor(cur, context);
        if (cur->child) {
            cur = cur->child;
            continue;
        }
        while (cur != node && !cur->next) cur = cur->parent;
        if (cur == node) return;
        cur = AsHire(cur->next);
    }
}

void HireListForEachChildBU(HireList* node, void* context, HireListVisitor visitor) {
    if (!node || !visitor) return;
    HireList* cur = node;
    for (;;) {
        while (cur->childTail) cur = cur->childTail;
        // cur has no unvisited children: visit it, then its preceding sibling's subtree, or its
        // parent once the first child is done.
        for (;;) {
            visitor(cur, context);
            if (cur == node) return;
            if (cur->prev) {
                cur = AsHire(cur->prev);
                break;
            }
            cur = cur->parent;
        }
    }
}
