// SPDX-License-Identifier: GPL-3.0-or-later
// list.h - intrusive doubly linked list, and the tree whose nodes keep their children in one.
//
// Records that start with these links (the atom tree's nodes do) can be kept in lists and trees
// by these plain functions, which never allocate or free anything themselves. Functions that
// change a list take its current head and return the new one; an empty list is a null head.
#pragma once

struct List {
    List* next;  // following sibling, null at the tail
    List* prev;  // preceding sibling, null at the head
};

struct HireList : List {
    HireList* parent;     // null for a top-level node
    HireList* child;      // first child, null without children
    HireList* childTail;  // last child, null without children
};

// A visitor of the tree walks; it must not unlink or free the node it is given or any node below
// it, since the walks read links after it returns.
using HireListVisitor = void (*)(HireList* node, void* context);

[[nodiscard]] List* AttachListToHead(List* head, List* node);
[[nodiscard]] List* AttachListToTail(List* head, List* node);
[[nodiscard]] List* AttachListToNext(List* head, List* node, List* sibling);
[[nodiscard]] List* AttachListToPrev(List* head, List* node, List* sibling);
[[nodiscard]] List* DetachList(List* head, List* node);
List* GetListRoot(List* node);
List* GetListLast(List* node);
List* GetListNext(List* node);
List* GetListPrev(List* node);
int CheckPtrInList(List* head, List* node);

void AttachHireListToChildHead(HireList* node, HireList* parent);
void AttachHireListToChildTail(HireList* node, HireList* parent);
// The attach-to-sibling and detach operations return the head of the top-level list of the tree
// the node is (or was) in.
HireList* AttachHireListToPrev(HireList* node, HireList* sibling);
HireList* AttachHireListToNext(HireList* node, HireList* sibling);
HireList* DetachHireList(HireList* node);
HireList* GetHireListParent(HireList* node);
HireList* GetHireListChild(HireList* node);
HireList* GetHireListLinkFirst(HireList* node);
HireList* GetHireListRoot(HireList* node);

// Pre-order walk: the node, then each child's subtree in order.
void HireListForEachChildTD(HireList* node, void* context, HireListVisitor visitor);
// Post-order walk with the children in reverse: the last child's subtree first, the node last.
void HireListForEachChildBU(HireList* node, void* context, HireListVisitor visitor);
