// Doubly linked list of untyped pointers.
#include <kuvanaTools/kuPtrList.h>
#include <kuvanaTools/kuMemory.h>

#include <stddef.h>

// Callers read these fields directly.
static_assert(offsetof(kuPtrListNode, data) == 0 &&
                  offsetof(kuPtrListNode, list) == 3 * sizeof(void *),
              "node field order");
static_assert(offsetof(kuPtrList, count) == 0 && sizeof(((kuPtrList *)nullptr)->count) == 4,
              "32-bit count first");

namespace {

// The visit order of a walk: which link leads on, and where it starts.
template <bool Reverse>
kuPtrListNode *walk(kuPtrList *list, kuPtrListForEachFunc visit, void *context)
{
    if (list == nullptr || visit == nullptr)
        return nullptr;
    kuPtrListNode *node = Reverse ? list->tail : list->head;
    while (node != nullptr) {
        if (visit(node, context) != 0)
            return node;
        node = Reverse ? node->prev : node->next;
    }
    return nullptr;
}

void releaseNode(kuPtrList *list, kuPtrListNode *node)
{
    if (list->freeFunc != nullptr)
        list->freeFunc(node->data);
    kuFree(node);
}

} // namespace

kuPtrList *kuPtrList_New(void)
{
    return (kuPtrList *)kuMallocZeroed(sizeof(kuPtrList));
}

kuPtrList *kuPtrList_NewCount(uint32_t n)
{
    kuPtrList *list = kuPtrList_New();
    for (uint32_t i = 0; i < n; i++)
        kuPtrList_Append(list, nullptr);
    return list;
}

void kuPtrList_Delete(kuPtrList *list)
{
    if (list == nullptr)
        return;
    kuPtrList_Clear(list);
    kuFree(list);
}

void kuPtrList_Clear(kuPtrList *list)
{
    if (list == nullptr)
        return;
    kuPtrListNode *node = list->head;
    while (node != nullptr) {
        kuPtrListNode *next = node->next;
        releaseNode(list, node);
        node = next;
    }
    list->count = 0;
    list->head = nullptr;
    list->tail = nullptr;
}

void kuPtrList_SetFreeFunc(kuPtrList *list, kuPtrListFreeFunc freeFunc)
{
    if (list != nullptr)
        list->freeFunc = freeFunc;
}

uint32_t kuPtrList_GetCount(const kuPtrList *list)
{
    return list != nullptr ? list->count : 0;
}

kuPtrListNode *kuPtrList_GetAt(const kuPtrList *list, uint32_t index)
{
    if (list == nullptr || index >= list->count)
        return nullptr;
    // From the nearer end: half the steps for an index in the second half.
    uint32_t back = list->count - 1 - index;
    if (back < index) {
        kuPtrListNode *node = list->tail;
        while (back-- > 0 && node != nullptr)
            node = node->prev;
        return node;
    }
    kuPtrListNode *node = list->head;
    while (index-- > 0 && node != nullptr)
        node = node->next;
    return node;
}

kuPtrListNode *kuPtrList_Find(const kuPtrList *list, const void *data)
{
    if (list == nullptr)
        return nullptr;
    for (kuPtrListNode *node = list->head; node != nullptr; node = node->next)
        if (node->data == data)
            return node;
    return nullptr;
}

int32_t kuPtrList_IndexOf(const kuPtrList *list, const void *data)
{
    if (list == nullptr)
        return -1;
    int32_t index = 0;
    for (kuPtrListNode *node = list->head; node != nullptr; node = node->next, index++)
        if (node->data == data)
            return index;
    return -1;
}

kuPtrListNode *kuPtrList_Append(kuPtrList *list, void *data)
{
    if (list == nullptr)
        return nullptr;
    kuPtrListNode *node = kuPtrListNode_New(list, list->tail, nullptr, data);
    if (list->head == nullptr)
        list->head = node;
    list->tail = node;
    list->count++;
    return node;
}

kuPtrListNode *kuPtrList_Insert(kuPtrList *list, kuPtrListNode *before, void *data)
{
    if (list == nullptr || (before != nullptr && before->list != list))
        return nullptr;
    kuPtrListNode *node = before != nullptr ? kuPtrListNode_New(list, before->prev, before, data)
                                            : kuPtrListNode_New(list, nullptr, list->head, data);
    if (list->tail == nullptr)
        list->tail = node;
    if (node->prev == nullptr)
        list->head = node;
    list->count++;
    return node;
}

kuPtrListNode *kuPtrList_DetachNode(kuPtrList *list, kuPtrListNode *node)
{
    if (list == nullptr || node == nullptr || node->list != list)
        return nullptr;
    if (node->prev != nullptr)
        node->prev->next = node->next;
    else
        list->head = node->next;
    if (node->next != nullptr)
        node->next->prev = node->prev;
    else
        list->tail = node->prev;
    list->count--;
    node->list = nullptr;
    return node;
}

int kuPtrList_DeleteNode(kuPtrList *list, kuPtrListNode *node)
{
    if (kuPtrList_DetachNode(list, node) == nullptr)
        return 0;
    releaseNode(list, node);
    return 1;
}

int kuPtrList_DeleteItem(kuPtrList *list, const void *data)
{
    kuPtrListNode *node = kuPtrList_Find(list, data);
    return node != nullptr ? kuPtrList_DeleteNode(list, node) : 0;
}

void *kuPtrList_PopData(kuPtrList *list)
{
    if (list == nullptr || list->head == nullptr)
        return nullptr;
    kuPtrListNode *node = kuPtrList_DetachNode(list, list->head);
    void *data = node->data;
    kuFree(node);
    return data;
}

kuPtrListNode *kuPtrList_ForEach(kuPtrList *list, kuPtrListForEachFunc visit, void *context)
{
    return walk<false>(list, visit, context);
}

kuPtrListNode *kuPtrList_ForEachReverse(kuPtrList *list, kuPtrListForEachFunc visit, void *context)
{
    return walk<true>(list, visit, context);
}

kuPtrListNode *kuPtrListNode_New(kuPtrList *list, kuPtrListNode *prev, kuPtrListNode *next,
                                 void *data)
{
    kuPtrListNode *node = (kuPtrListNode *)kuMalloc(sizeof(kuPtrListNode));
    node->data = data;
    node->next = next;
    node->prev = prev;
    node->list = list;
    if (prev != nullptr)
        prev->next = node;
    if (next != nullptr)
        next->prev = node;
    return node;
}

void kuPtrListNode_Delete(kuPtrListNode *node)
{
    if (node == nullptr)
        return;
    if (node->list != nullptr)
        kuPtrList_DetachNode(node->list, node);
    kuFree(node);
}

void kuPtrList_DefaultFreeFunc(void *data)
{
    if (data != nullptr)
        kuFree(data);
}
