#include <kuvanaTools/kuArray.h>
#include <kuvanaTools/kuMemory.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

void *ptr(uintptr_t n) { return (void *)n; }

std::vector<void *> itemsOf(const kuArray *array)
{
    return std::vector<void *>(array->items, array->items + array->count);
}

int compareValues(const void *a, const void *b)
{
    return (uintptr_t)a < (uintptr_t)b ? -1 : (uintptr_t)a > (uintptr_t)b;
}

int compareSlots(const void *a, const void *b)
{
    return compareValues(*(void *const *)a, *(void *const *)b);
}

int sameItem(const void *item, const void *key) { return item == key; }

std::vector<void *> released;
void recordFree(void *item) { released.push_back(item); }

// Flattens an array of strings, reads it back (with the size or with 0: it is
// not consulted) and checks the copy flattens alike, so a null string comes
// back empty. Returns the flat form.
std::string expectRoundTrip(kuArray *array, bool giveSize)
{
    uint32_t size = 0, again = 0;
    void *flat = kuArray_Flatten(array, &size, kuStringArray_FlattenerFunc);
    kuArray *back = kuArray_UnFlatten(flat, giveSize ? size : 0, kuStringArray_UnFlattenerFunc);
    kuArray_SetFreeFunc(back, kuStringArray_FreeFunc);
    void *copy = kuArray_Flatten(back, &again, kuStringArray_FlattenerFunc);
    std::string form((const char *)flat, size);
    EXPECT_EQ(form, std::string((const char *)copy, again));
    kuArray_Delete(back);
    kuFree(flat);
    kuFree(copy);
    return form;
}

} // namespace

TEST(kuArray, GrowthStepsAndInsertModes)
{
    kuArray *array = kuArray_New();
    std::vector<uint32_t> capacities; // from 512
    for (uint32_t i = 0; i < 10241; i++) {
        uint32_t before = array->capacity;
        kuArray_Append(array, ptr(i));
        if (array->capacity != before)
            capacities.push_back(array->capacity);
    }
    // +50 % until the step reaches 2048 slots, then 2048 at a time.
    EXPECT_EQ((std::vector<uint32_t>{768, 1152, 1728, 2592, 3888, 5832, 7880, 9928, 11976}),
              capacities);
    // A full array grows even for nothing; a large request is met in one step.
    kuArray_InsertAt(array, 0, array->capacity - array->count);
    kuArray_Grow(array, 0);
    EXPECT_EQ(11976u + 2048, array->capacity);
    kuArray_Grow(array, 100000);
    kuArray_Grow(array, array->capacity - array->count); // exactly the free slots: nothing
    EXPECT_EQ(11976u + 2048 + 100000, array->capacity);
    kuArray_Delete(array);

    array = kuArray_New();
    kuArray_Append(array, ptr(5));
    EXPECT_EQ(1u, kuArray_Insert(array, ptr(1))); // no comparison: at the end
    kuArray_SetSortFunc(array, compareSlots, 0);  // sorts once, then appends
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(5)}), itemsOf(array));
    EXPECT_EQ(2u, kuArray_Insert(array, ptr(3)));

    // Switching kept-sorted mode on over unordered items sorts them by value.
    kuArray_Clear(array);
    kuArray_SetSortFunc(array, nullptr, 0);
    for (uintptr_t v : {7, 1, 9, 3, 1})
        kuArray_Append(array, ptr(v));
    kuArray_SetSortFunc(array, compareValues, 1);
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(1), ptr(3), ptr(7), ptr(9)}), itemsOf(array));
    for (auto [value, index] : {std::pair<uintptr_t, uint32_t>{0, 0}, {5, 3}, {10, 5}})
        EXPECT_EQ(index, kuArray_IndexForInsert(array, ptr(value))) << value;
    // The release function sees the opened slot's null before the item lands.
    released.clear();
    kuArray_SetFreeFunc(array, recordFree);
    EXPECT_EQ(3u, kuArray_Insert(array, ptr(5)));
    EXPECT_EQ((std::vector<void *>{nullptr}), released);
    // SetAt releases the item it replaces and does nothing past the end.
    kuArray_SetAt(array, 0, ptr(2));
    kuArray_SetAt(array, kuArray_GetCount(array), ptr(8));
    EXPECT_EQ((std::vector<void *>{nullptr, ptr(1)}), released);
    // Sorting without a comparison leaves the order alone.
    kuArray_SetSortFunc(array, nullptr, 0);
    kuArray_Sort(array);
    EXPECT_EQ(0u, kuArray_IndexForInsert(nullptr, ptr(1)));
    EXPECT_EQ((std::vector<void *>{ptr(2), ptr(1), ptr(3), ptr(5), ptr(7), ptr(9)}),
              itemsOf(array));
    kuArray_Delete(array);
}

TEST(kuArray, FlatFormOfStrings)
{
    kuArray *array = kuArray_New();
    kuArray_SetFreeFunc(array, kuStringArray_FreeFunc);
    EXPECT_EQ(std::string(4, '\0'), expectRoundTrip(array, true));
    kuArray_Append(array, kuStrdup("ab"));
    kuArray_Append(array, nullptr);
    EXPECT_EQ(std::string("\2\0\0\0ab\0\0", 8), expectRoundTrip(array, false));
    for (int i = 0; i < 700; i++) // more strings than one growth step holds
        kuArray_Append(array, kuStrdup(std::string(i % 23, (char)('a' + i % 26)).c_str()));
    expectRoundTrip(array, true);
    kuArray_Delete(array);
}

// Random operations against a vector model, with and without kept order.
TEST(kuArray, RandomOperationsMatchModel)
{
    std::mt19937 rng(4321);
    for (int round = 0; round < 40; round++) {
        bool keepSorted = round % 2 == 1;
        kuArray *array = kuArray_New();
        kuArray_SetSortFunc(array, keepSorted ? compareValues : nullptr, keepSorted);
        std::vector<void *> model;
        for (int step = 0; step < 400; step++) {
            void *value = ptr(rng() % 32);
            uint32_t size = (uint32_t)model.size(), at = rng() % (size + 1), n = rng() % 4;
            auto first = std::find(model.begin(), model.end(), value);
            unsigned op = rng() % (keepSorted ? 3 : 4);
            if (op == 0) {
                // among equal items the search may meet any
                uint32_t index = kuArray_Insert(array, value);
                model.insert(model.begin() + index, value);
                ASSERT_TRUE(keepSorted ? std::is_sorted(model.begin(), model.end())
                                       : index == size);
            } else if (op == 1) {
                ASSERT_EQ(size - std::min(n, size - at), kuArray_RemoveAt(array, at, n));
                model.erase(model.begin() + at, model.begin() + std::min(at + n, size));
            } else if (op == 2) {
                ASSERT_EQ(first == model.end() ? -1 : (int32_t)size - 1,
                          kuArray_Remove(array, value));
                if (first != model.end())
                    model.erase(first);
            } else {
                kuArray_InsertAt(array, at, n * 10);
                model.insert(model.begin() + at, n * 10, nullptr);
            }
            first = std::find(model.begin(), model.end(), value);
            int32_t index = first == model.end() ? -1 : (int32_t)(first - model.begin());
            ASSERT_EQ(index, kuArray_Index(array, value));
            ASSERT_EQ(index, kuArray_Search(array, value, sameItem));
            ASSERT_EQ(at < model.size() ? model[at] : nullptr, kuArray_At(array, at));
            ASSERT_EQ(model, itemsOf(array));
        }
        kuArray_Delete(array);
    }
}
