#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPtrList.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

void *ptr(uintptr_t n) { return (void *)n; }

// Checks every link of the list against the expected items, both ways.
void expectItems(const kuPtrList *list, const std::vector<void *> &items)
{
    ASSERT_EQ(items.size(), kuPtrList_GetCount(list));
    kuPtrListNode *node = list->head, *prev = nullptr;
    for (void *item : items) {
        ASSERT_TRUE(node && node->data == item && node->prev == prev && node->list == list);
        prev = node;
        node = node->next;
    }
    ASSERT_TRUE(node == nullptr && prev == list->tail);
}

int freedCount;
void countingFree(void *) { freedCount++; }

int stopAtTwo(kuPtrListNode *node, void *seen)
{
    ((std::vector<void *> *)seen)->push_back(node->data);
    return node->data == ptr(2);
}

} // namespace

TEST(kuPtrList, ForeignAndDetachedNodesWalksReleaseAndRandomOperations)
{
    kuPtrList *list = kuPtrList_NewCount(1); // one null item
    kuPtrList_SetFreeFunc(list, countingFree);
    freedCount = 0;
    kuPtrListNode *a = kuPtrList_Append(list, ptr(1));
    kuPtrListNode *b = kuPtrList_Append(list, ptr(2));
    kuPtrListNode *c = kuPtrList_Append(list, ptr(3));
    // A node of another list is no position here, and is not detached.
    kuPtrList *other = kuPtrList_New();
    kuPtrListNode *foreign = kuPtrList_Append(other, ptr(1));
    EXPECT_EQ(nullptr, kuPtrList_Insert(list, foreign, ptr('z')));
    EXPECT_EQ(nullptr, kuPtrList_DetachNode(list, foreign));
    EXPECT_EQ(0, kuPtrList_DeleteNode(list, foreign));
    expectItems(other, {ptr(1)});
    kuPtrList_Delete(other);

    // A detached node keeps its data and links, and is no position either.
    EXPECT_EQ(b, kuPtrList_DetachNode(list, b));
    EXPECT_TRUE(b->data == ptr(2) && b->next == c && b->prev == a && b->list == nullptr);
    EXPECT_EQ(nullptr, kuPtrList_DetachNode(list, b)); // must not touch the list again
    kuPtrListNode_Delete(b);
    kuPtrListNode_Delete(c); // detaches itself first
    expectItems(list, {nullptr, ptr(1)});
    EXPECT_EQ(nullptr, kuPtrList_PopData(list));
    EXPECT_EQ(ptr(1), kuPtrList_PopData(list));
    EXPECT_EQ(0, freedCount); // none of these release data
    EXPECT_EQ(nullptr, kuPtrList_PopData(list)); // empty

    // walks stop at the first nonzero answer
    std::vector<void *> seen;
    EXPECT_EQ(nullptr, kuPtrList_ForEach(list, stopAtTwo, &seen));
    for (uintptr_t v : {1, 2, 3})
        kuPtrList_Append(list, ptr(v));
    EXPECT_EQ(list->head->next, kuPtrList_ForEach(list, stopAtTwo, &seen));
    EXPECT_EQ(list->head->next, kuPtrList_ForEachReverse(list, stopAtTwo, &seen));
    kuPtrList_DeleteItem(list, ptr(2));
    EXPECT_EQ(nullptr, kuPtrList_ForEachReverse(list, stopAtTwo, &seen));
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(2), ptr(3), ptr(2), ptr(3), ptr(1)}), seen);
    kuPtrList_Clear(list);
    EXPECT_EQ(3, freedCount);
    kuPtrList_SetFreeFunc(list, kuPtrList_DefaultFreeFunc);
    kuPtrList_Append(list, kuStrdup("owned"));
    kuPtrList_Append(list, nullptr);
    kuPtrList_Delete(list); // the sanitizer build checks the string went
    kuPtrList_Delete(nullptr);

    // Random operations against a vector model; values repeat, so lookups must
    // find the first of equal pointers.
    std::mt19937 rng(1234);
    for (int round = 0; round < 50; round++) {
        list = kuPtrList_New();
        std::vector<void *> model;
        for (int step = 0; step < 200; step++) {
            void *value = ptr(rng() % 16);
            size_t size = model.size(), at = rng() % (size + 1);
            auto first = std::find(model.begin(), model.end(), value);
            unsigned op = rng() % 4;
            if (op == 0) {
                kuPtrList_Append(list, value);
                model.push_back(value);
            } else if (op == 1) { // before the node at `at`, or at the head when there is none
                kuPtrList_Insert(list, kuPtrList_GetAt(list, (uint32_t)at), value);
                model.insert(at < size ? model.begin() + at : model.begin(), value);
            } else if (op == 2 && at < size) {
                ASSERT_EQ(1, kuPtrList_DeleteNode(list, kuPtrList_GetAt(list, (uint32_t)at)));
                model.erase(model.begin() + at);
            } else if (op == 3) {
                ASSERT_EQ(first != model.end(), kuPtrList_DeleteItem(list, value));
                if (first != model.end())
                    model.erase(first);
            }
            expectItems(list, model);
            first = std::find(model.begin(), model.end(), value);
            int32_t index = first != model.end() ? (int32_t)(first - model.begin()) : -1;
            ASSERT_EQ(index, kuPtrList_IndexOf(list, value));
            ASSERT_EQ(index >= 0 ? kuPtrList_GetAt(list, (uint32_t)index) : nullptr,
                      kuPtrList_Find(list, value));
        }
        kuPtrList_Delete(list);
    }
}
