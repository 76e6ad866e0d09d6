#include <kuvanaTools/kuArray.h>
#include <kuvanaTools/kuMemory.h>

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

void *ptr(uintptr_t n)
{
    return (void *)n;
}

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

int sameItem(const void *item, const void *key)
{
    return item == key;
}

std::vector<void *> released;
void recordFree(void *item)
{
    released.push_back(item);
}

// Flattens an array of strings and reads it back, with the size or with 0 (it
// is not consulted); a null string comes back empty. Returns the flat form.
std::string expectRoundTrip(kuArray *array, bool giveSize)
{
    uint32_t size = 0;
    void *flat = kuArray_Flatten(array, &size, kuStringArray_FlattenerFunc);
    kuArray *back = kuArray_UnFlatten(flat, giveSize ? size : 0, kuStringArray_UnFlattenerFunc);
    kuArray_SetFreeFunc(back, kuStringArray_FreeFunc);
    EXPECT_EQ(kuArray_GetCount(array), kuArray_GetCount(back));
    for (uint32_t i = 0; i < kuArray_GetCount(array) && i < kuArray_GetCount(back); i++) {
        const char *sent = (const char *)kuArray_At(array, i);
        EXPECT_STREQ(sent ? sent : "", (const char *)kuArray_At(back, i)) << i;
    }
    kuArray_Delete(back);
    std::string form((const char *)flat, size);
    kuFree(flat);
    return form;
}

} // namespace

TEST(kuArray, GrowthSteps)
{
    kuArray *array = kuArray_New();
    EXPECT_EQ(512u, array->capacity);
    std::vector<uint32_t> capacities;
    for (uint32_t i = 0; i < 10241; i++) {
        uint32_t before = array->capacity;
        kuArray_Append(array, ptr(i));
        if (array->capacity != before)
            capacities.push_back(array->capacity);
    }
    // +50 % until the step reaches 2048 slots, then 2048 at a time.
    EXPECT_EQ((std::vector<uint32_t>{768, 1152, 1728, 2592, 3888, 5832, 7880, 9928, 11976}),
              capacities);
    for (uint32_t i = 0; i < 10241; i++)
        ASSERT_EQ(ptr(i), kuArray_At(array, i));
    // A full array grows even for nothing; a large request is met in one step.
    kuArray_InsertAt(array, 0, array->capacity - array->count);
    kuArray_Grow(array, 0);
    EXPECT_EQ(11976u + 2048, array->capacity);
    kuArray_Grow(array, 100000);
    EXPECT_EQ(11976u + 2048 + 100000, array->capacity);
    kuArray_Delete(array);
}

TEST(kuArray, InsertModes)
{
    kuArray *array = kuArray_New();
    kuArray_Append(array, ptr(5));
    EXPECT_EQ(1u, kuArray_Insert(array, ptr(1))); // no comparison: at the end
    kuArray_SetSortFunc(array, compareSlots, 0);  // sorts once, then appends
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(5)}), itemsOf(array));
    EXPECT_EQ(2u, kuArray_Insert(array, ptr(3)));

    kuArray_Clear(array);
    kuArray_SetSortFunc(array, compareValues, 1);
    for (uintptr_t v : {7, 1, 3})
        kuArray_Insert(array, ptr(v));
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(3), ptr(7)}), itemsOf(array));
    EXPECT_EQ(2u, kuArray_IndexForInsert(array, ptr(5)));
    EXPECT_EQ(1u, kuArray_IndexForInsert(array, ptr(3)));
    // The release function sees the opened slot's null before the item lands.
    released.clear();
    kuArray_SetFreeFunc(array, recordFree);
    EXPECT_EQ(2u, kuArray_Insert(array, ptr(5)));
    EXPECT_EQ((std::vector<void *>{nullptr}), released);

    // Switching kept-sorted mode on over unordered items sorts them by value.
    kuArray_SetFreeFunc(array, nullptr);
    kuArray_Clear(array);
    kuArray_SetSortFunc(array, nullptr, 0);
    std::mt19937 rng(7);
    std::vector<void *> model;
    for (int i = 0; i < 1000; i++)
        model.push_back(*kuArray_Append(array, ptr(rng() % 300)));
    kuArray_SetSortFunc(array, compareValues, 1);
    std::sort(model.begin(), model.end());
    EXPECT_EQ(model, itemsOf(array));
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
    kuArray_Clear(array);
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
            uint32_t size = (uint32_t)model.size();
            uint32_t at = rng() % (size + 1);
            auto first = std::find(model.begin(), model.end(), value);
            switch (rng() % (keepSorted ? 4 : 5)) {
            case 0: {
                uint32_t index = kuArray_Insert(array, value);
                if (keepSorted) { // among equal items the search may meet any
                    ASSERT_GE(index,
                              std::lower_bound(model.begin(), model.end(), value) - model.begin());
                    ASSERT_LE(index,
                              std::upper_bound(model.begin(), model.end(), value) - model.begin());
                } else {
                    ASSERT_EQ(size, index);
                }
                model.insert(model.begin() + index, value);
                break;
            }
            case 1: {
                uint32_t n = rng() % 4;
                ASSERT_EQ(size - std::min(n, size - std::min(at, size)),
                          kuArray_RemoveAt(array, at, n));
                if (at < size)
                    model.erase(model.begin() + at, model.begin() + std::min(at + n, size));
                break;
            }
            case 2:
                ASSERT_EQ(first == model.end() ? -1 : (int32_t)size - 1,
                          kuArray_Remove(array, value));
                if (first != model.end())
                    model.erase(first);
                break;
            case 3: {
                int32_t index = first == model.end() ? -1 : (int32_t)(first - model.begin());
                ASSERT_EQ(index, kuArray_Index(array, value));
                ASSERT_EQ(index, kuArray_Search(array, value, sameItem));
                ASSERT_EQ(at < size ? model[at] : nullptr, kuArray_At(array, at));
                break;
            }
            default: {
                uint32_t n = rng() % 40;
                kuArray_InsertAt(array, at, n);
                model.insert(model.begin() + at, n, nullptr);
                break;
            }
            }
            ASSERT_EQ(model, itemsOf(array));
            ASSERT_GE(array->capacity, array->count);
        }
        kuArray_Delete(array);
    }
}
