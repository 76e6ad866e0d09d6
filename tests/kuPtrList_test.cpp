#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPtrList.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

// Checks every link of the list against the expected items, both ways.
void expectItems(const kuPtrList *list, const std::vector<void *> &items)
{
    ASSERT_EQ(items.size(), kuPtrList_GetCount(list));
    kuPtrListNode *node = list->head;
    kuPtrListNode *prev = nullptr;
    for (void *item : items) {
        ASSERT_NE(nullptr, node);
        EXPECT_EQ(item, node->data);
        EXPECT_EQ(prev, node->prev);
        EXPECT_EQ(list, node->list);
        prev = node;
        node = node->next;
    }
    EXPECT_EQ(nullptr, node);
    EXPECT_EQ(prev, list->tail);
}

void *ptr(uintptr_t n)
{
    return (void *)n;
}

int freedCount;
void countingFree(void *)
{
    freedCount++;
}

} // namespace

TEST(kuPtrList, IndexingAndLookup)
{
    kuPtrList *list = kuPtrList_New();
    EXPECT_EQ(nullptr, kuPtrList_GetAt(list, 0));
    EXPECT_EQ(nullptr, list->head);
    EXPECT_EQ(nullptr, list->tail);

    kuPtrList_Append(list, ptr(1));
    kuPtrListNode *second = kuPtrList_Append(list, ptr(2));
    kuPtrList_Append(list, ptr(2));
    EXPECT_EQ(second, kuPtrList_GetAt(list, 1));
    EXPECT_EQ(nullptr, kuPtrList_GetAt(list, 3));
    EXPECT_EQ(nullptr, kuPtrList_GetAt(list, 0xFFFFFFFF));
    // The first of two nodes holding the same pointer.
    EXPECT_EQ(second, kuPtrList_Find(list, ptr(2)));
    EXPECT_EQ(1, kuPtrList_IndexOf(list, ptr(2)));
    EXPECT_EQ(-1, kuPtrList_IndexOf(list, ptr(9)));
    EXPECT_EQ(nullptr, kuPtrList_Find(list, ptr(9)));
    // Null data is an item like any other.
    kuPtrList_Append(list, nullptr);
    EXPECT_EQ(3, kuPtrList_IndexOf(list, nullptr));
    kuPtrList_Delete(list);

    // Null handles give the absent results.
    EXPECT_EQ(0u, kuPtrList_GetCount(nullptr));
    EXPECT_EQ(nullptr, kuPtrList_GetAt(nullptr, 0));
    EXPECT_EQ(-1, kuPtrList_IndexOf(nullptr, nullptr));
    EXPECT_EQ(nullptr, kuPtrList_PopData(nullptr));
    kuPtrList_Delete(nullptr);
}

TEST(kuPtrList, InsertPositions)
{
    kuPtrList *list = kuPtrList_New();
    // Insert into an empty list sets both ends.
    kuPtrListNode *b = kuPtrList_Insert(list, nullptr, ptr('b'));
    expectItems(list, {ptr('b')});
    kuPtrListNode *a = kuPtrList_Insert(list, nullptr, ptr('a'));
    expectItems(list, {ptr('a'), ptr('b')});
    EXPECT_EQ(a, list->head);
    kuPtrList_Insert(list, b, ptr('x'));
    expectItems(list, {ptr('a'), ptr('x'), ptr('b')});
    kuPtrList_Insert(list, a, ptr('y'));
    expectItems(list, {ptr('y'), ptr('a'), ptr('x'), ptr('b')});

    // A node of another list is no position in this one.
    kuPtrList *other = kuPtrList_New();
    kuPtrListNode *foreign = kuPtrList_Append(other, ptr(1));
    EXPECT_EQ(nullptr, kuPtrList_Insert(list, foreign, ptr('z')));
    EXPECT_EQ(nullptr, kuPtrList_DetachNode(list, foreign));
    EXPECT_EQ(0, kuPtrList_DeleteNode(list, foreign));
    expectItems(other, {ptr(1)});
    expectItems(list, {ptr('y'), ptr('a'), ptr('x'), ptr('b')});
    kuPtrList_Delete(other);
    kuPtrList_Delete(list);
}

TEST(kuPtrList, DetachPopAndNodeDelete)
{
    kuPtrList *list = kuPtrList_New();
    kuPtrList_SetFreeFunc(list, countingFree);
    freedCount = 0;
    kuPtrListNode *a = kuPtrList_Append(list, ptr(1));
    kuPtrListNode *b = kuPtrList_Append(list, ptr(2));
    kuPtrListNode *c = kuPtrList_Append(list, ptr(3));

    EXPECT_EQ(b, kuPtrList_DetachNode(list, b));
    expectItems(list, {ptr(1), ptr(3)});
    // The detached node keeps its data and its old links.
    EXPECT_EQ(ptr(2), b->data);
    EXPECT_EQ(c, b->next);
    EXPECT_EQ(a, b->prev);
    EXPECT_EQ(nullptr, b->list);
    // Detaching it again must not disturb the list.
    EXPECT_EQ(nullptr, kuPtrList_DetachNode(list, b));
    expectItems(list, {ptr(1), ptr(3)});
    kuPtrListNode_Delete(b);
    EXPECT_EQ(0, freedCount);

    // Deleting a node still in its list detaches it first, without freeing.
    kuPtrListNode_Delete(c);
    expectItems(list, {ptr(1)});
    EXPECT_EQ(0, freedCount);

    // Popping the only item empties the list and hands the data back.
    EXPECT_EQ(ptr(1), kuPtrList_PopData(list));
    expectItems(list, {});
    EXPECT_EQ(nullptr, kuPtrList_PopData(list));
    EXPECT_EQ(0, freedCount);

    kuPtrList_Append(list, ptr(7));
    kuPtrList_Append(list, ptr(8));
    EXPECT_EQ(0, kuPtrList_DeleteItem(list, ptr(9)));
    EXPECT_EQ(1, kuPtrList_DeleteItem(list, ptr(7)));
    EXPECT_EQ(1, freedCount);
    kuPtrList_Clear(list);
    EXPECT_EQ(2, freedCount);
    expectItems(list, {});
    // The free function survives a clear.
    EXPECT_EQ((kuPtrListFreeFunc)countingFree, list->freeFunc);
    kuPtrList_Delete(list);
}

TEST(kuPtrList, NewCountAndDefaultFree)
{
    kuPtrList *list = kuPtrList_NewCount(3);
    expectItems(list, {nullptr, nullptr, nullptr});
    kuPtrList_SetFreeFunc(list, kuPtrList_DefaultFreeFunc);
    kuPtrList_Append(list, kuStrdup("owned"));
    kuPtrList_Delete(list); // the sanitizer build checks nothing leaks

    kuPtrList *empty = kuPtrList_NewCount(0);
    expectItems(empty, {});
    kuPtrList_Delete(empty);
}

namespace {

struct Visit {
    std::vector<void *> seen;
    void *stopAt;
};

int recordVisit(kuPtrListNode *node, void *context)
{
    Visit *v = (Visit *)context;
    v->seen.push_back(node->data);
    return node->data == v->stopAt;
}

} // namespace

TEST(kuPtrList, WalksStopAtFirstNonzero)
{
    kuPtrList *list = kuPtrList_New();
    Visit v{{}, ptr(99)};
    EXPECT_EQ(nullptr, kuPtrList_ForEach(list, recordVisit, &v));
    EXPECT_TRUE(v.seen.empty());
    kuPtrList_Append(list, ptr(1));
    kuPtrListNode *two = kuPtrList_Append(list, ptr(2));
    kuPtrList_Append(list, ptr(3));

    EXPECT_EQ(nullptr, kuPtrList_ForEach(list, recordVisit, &v));
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(2), ptr(3)}), v.seen);
    v.seen.clear();
    EXPECT_EQ(nullptr, kuPtrList_ForEachReverse(list, recordVisit, &v));
    EXPECT_EQ((std::vector<void *>{ptr(3), ptr(2), ptr(1)}), v.seen);

    v = Visit{{}, ptr(2)};
    EXPECT_EQ(two, kuPtrList_ForEach(list, recordVisit, &v));
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(2)}), v.seen);
    v.seen.clear();
    EXPECT_EQ(two, kuPtrList_ForEachReverse(list, recordVisit, &v));
    EXPECT_EQ((std::vector<void *>{ptr(3), ptr(2)}), v.seen);
    kuPtrList_Delete(list);
}

TEST(kuPtrList, NodeNewLinksNeighboursOnly)
{
    kuPtrList *list = kuPtrList_New();
    kuPtrListNode *a = kuPtrList_Append(list, ptr(1));
    kuPtrListNode *c = kuPtrList_Append(list, ptr(3));
    kuPtrListNode *b = kuPtrListNode_New(list, a, c, ptr(2));
    EXPECT_EQ(b, a->next);
    EXPECT_EQ(b, c->prev);
    EXPECT_EQ(2u, list->count); // the caller accounts for it
    list->count++;
    expectItems(list, {ptr(1), ptr(2), ptr(3)});
    kuPtrList_Delete(list);
}

// Random operations against a vector model.
TEST(kuPtrList, RandomOperationsMatchModel)
{
    std::mt19937 rng(1234);
    for (int round = 0; round < 50; round++) {
        kuPtrList *list = kuPtrList_New();
        std::vector<void *> model;
        for (int step = 0; step < 200; step++) {
            void *value = ptr(rng() % 16);
            size_t size = model.size();
            switch (rng() % 7) {
            case 0:
                kuPtrList_Append(list, value);
                model.push_back(value);
                break;
            case 1: {
                size_t at = size > 0 ? rng() % (size + 1) : 0;
                kuPtrListNode *node = at < size ? kuPtrList_GetAt(list, (uint32_t)at) : nullptr;
                kuPtrList_Insert(list, node, value);
                model.insert(node != nullptr ? model.begin() + at : model.begin(), value);
                break;
            }
            case 2:
                if (size > 0) {
                    size_t at = rng() % size;
                    EXPECT_EQ(1, kuPtrList_DeleteNode(list, kuPtrList_GetAt(list, (uint32_t)at)));
                    model.erase(model.begin() + at);
                }
                break;
            case 3: {
                auto it = std::find(model.begin(), model.end(), value);
                EXPECT_EQ(it != model.end() ? 1 : 0, kuPtrList_DeleteItem(list, value));
                if (it != model.end())
                    model.erase(it);
                break;
            }
            case 4:
                EXPECT_EQ(size > 0 ? model.front() : nullptr, kuPtrList_PopData(list));
                if (size > 0)
                    model.erase(model.begin());
                break;
            case 5: {
                auto it = std::find(model.begin(), model.end(), value);
                EXPECT_EQ(it != model.end() ? (int32_t)(it - model.begin()) : -1,
                          kuPtrList_IndexOf(list, value));
                break;
            }
            default:
                if (size > 0) {
                    size_t at = rng() % size;
                    kuPtrListNode_Delete(kuPtrList_GetAt(list, (uint32_t)at));
                    model.erase(model.begin() + at);
                }
                break;
            }
            expectItems(list, model);
        }
        kuPtrList_Delete(list);
    }
}
