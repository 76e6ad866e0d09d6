/*
 * Doubly linked list of untyped pointers.
 *
 * The list owns its nodes and releases items only through its free function.
 * Nodes are public: callers read a node's data and links directly and walk
 * from head to tail (or back) themselves.
 */
#ifndef KUVANATOOLS_KUPTRLIST_H
#define KUVANATOOLS_KUPTRLIST_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

typedef struct kuPtrList kuPtrList;
typedef struct kuPtrListNode kuPtrListNode;

/* Releases one item's data. */
typedef void (*kuPtrListFreeFunc)(void *data);

/* Visits one node with the caller's context; nonzero stops the walk. The
 * function must not delete the node it is given. */
typedef int (*kuPtrListForEachFunc)(kuPtrListNode *node, void *context);

struct kuPtrListNode {
    void *data;          /* the item, null included */
    kuPtrListNode *next; /* null at the tail */
    kuPtrListNode *prev; /* null at the head */
    kuPtrList *list;     /* the holding list; null once detached */
};

struct kuPtrList {
    uint32_t count;
    kuPtrListNode *head;        /* null when empty */
    kuPtrListNode *tail;        /* null when empty */
    kuPtrListFreeFunc freeFunc; /* null: items are not released */
};

/* A new empty list. */
KU_API kuPtrList *kuPtrList_New(void);

/* A new list of n items whose data is null. */
KU_API kuPtrList *kuPtrList_NewCount(uint32_t n);

/* Clears the list and releases it; null does nothing. */
KU_API void kuPtrList_Delete(kuPtrList *list);

/* Releases every node from the head, calling the free function (if set) with
 * each node's data first. The free function stays. Null does nothing. */
KU_API void kuPtrList_Clear(kuPtrList *list);

/* Replaces the free function (null: items are not released). */
KU_API void kuPtrList_SetFreeFunc(kuPtrList *list, kuPtrListFreeFunc freeFunc);

/* The number of nodes; 0 for null. */
KU_API uint32_t kuPtrList_GetCount(const kuPtrList *list);

/* The node (not its data) at the 0-based index from the head, or null when
 * the index is not below the count. Walks from the nearer end, so each call
 * costs up to count / 2 steps: to visit every node, follow next instead of
 * calling this with each index. */
KU_API kuPtrListNode *kuPtrList_GetAt(const kuPtrList *list, uint32_t index);

/* The first node from the head whose data is this very pointer, or null. */
KU_API kuPtrListNode *kuPtrList_Find(const kuPtrList *list, const void *data);

/* The 0-based index of the first node holding this very pointer, or -1. */
KU_API int32_t kuPtrList_IndexOf(const kuPtrList *list, const void *data);

/* Appends a node holding data at the tail and returns it (null for a null
 * list). */
KU_API kuPtrListNode *kuPtrList_Append(kuPtrList *list, void *data);

/* Inserts a node holding data just before node, or at the head when node is
 * null, and returns it. A node of another list (or a detached one) is not a
 * valid position: nothing is inserted and the result is null. */
KU_API kuPtrListNode *kuPtrList_Insert(kuPtrList *list, kuPtrListNode *node, void *data);

/* Unlinks the node, sets its list to null and returns it; neither the node
 * nor its data is released, and its own next/prev keep their old values.
 * A node that this list does not hold (already detached, or of another list)
 * is left alone and the result is null. */
KU_API kuPtrListNode *kuPtrList_DetachNode(kuPtrList *list, kuPtrListNode *node);

/* Detaches the node, calls the free function with its data and releases the
 * node; 1, or 0 (nothing done) for a node this list does not hold. */
KU_API int kuPtrList_DeleteNode(kuPtrList *list, kuPtrListNode *node);

/* Deletes the first node holding this very pointer as kuPtrList_DeleteNode
 * does: 1 when found, else 0. */
KU_API int kuPtrList_DeleteItem(kuPtrList *list, const void *data);

/* Removes the head node (the data is not released) and returns its data;
 * null for an empty list. */
KU_API void *kuPtrList_PopData(kuPtrList *list);

/* Calls visit with each node from head to tail; returns the first node for
 * which it returned nonzero, or null. */
KU_API kuPtrListNode *kuPtrList_ForEach(kuPtrList *list, kuPtrListForEachFunc visit, void *context);

/* kuPtrList_ForEach from tail to head. */
KU_API kuPtrListNode *kuPtrList_ForEachReverse(kuPtrList *list, kuPtrListForEachFunc visit,
                                               void *context);

/* A new node with the four fields set, linked after prev and before next
 * (each when not null). The list's head, tail and count are not touched. */
KU_API kuPtrListNode *kuPtrListNode_New(kuPtrList *list, kuPtrListNode *prev, kuPtrListNode *next,
                                        void *data);

/* Detaches the node from its list (when it has one) and releases it; the free
 * function is not called. Null does nothing. */
KU_API void kuPtrListNode_Delete(kuPtrListNode *node);

/* The stock free function: kuFree(data) unless data is null. */
KU_API void kuPtrList_DefaultFreeFunc(void *data);

KU_END_DECLS

#endif /* KUVANATOOLS_KUPTRLIST_H */
