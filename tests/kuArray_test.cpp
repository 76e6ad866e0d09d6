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
    std::vector<void *> items;
    for (uint32_t i = 0; i < kuArray_GetCount(array); i++)
        items.push_back(kuArray_At(array, i));
    return items;
}

// Values compared as values (kept-sorted mode).
int compareValues(const void *a, const void *b)
{
    uintptr_t x = (uintptr_t)a, y = (uintptr_t)b;
    return x < y ? -1 : x > y;
}

// Values compared through their slots (qsort).
int compareSlots(const void *a, const void *b)
{
    return compareValues(*(void *const *)a, *(void *const *)b);
}

std::vector<void *> released;
void recordFree(void *item)
{
    released.push_back(item);
}

} // namespace

TEST(kuArray, GrowthSteps)
{
    kuArray *array = kuArray_New();
    EXPECT_EQ(512u, array->capacity);
    std::vector<uint32_t> capacities;
    std::vector<void *> expected;
    for (uintptr_t i = 1; i <= 10241; i++) {
        uint32_t before = array->capacity;
        kuArray_Append(array, ptr(i));
        if (array->capacity != before)
            capacities.push_back(array->capacity);
        expected.push_back(ptr(i));
    }
    // +50 % until the step reaches 2048 slots, then 2048 at a time.
    EXPECT_EQ((std::vector<uint32_t>{768, 1152, 1728, 2592, 3888, 5832, 7880, 9928, 11976}),
              capacities);
    EXPECT_EQ(expected, itemsOf(array));

    // A full array grows even when asked for nothing.
    uint32_t full = array->capacity;
    while (array->count < full)
        kuArray_Append(array, nullptr);
    kuArray_Grow(array, 0);
    EXPECT_EQ(full + 2048, array->capacity);
    // A request larger than the step is met in one go.
    kuArray_Grow(array, 100000);
    EXPECT_EQ(full + 2048 + 100000, array->capacity);
    kuArray_Delete(array);

    // Full arrays of round capacities: the next append adds half, at most 2048.
    for (uint32_t start : {512u, 4096u, 8192u}) {
        kuArray *a = kuArray_New();
        kuArray_Grow(a, start - 512); // a step raised to the request
        ASSERT_EQ(start, a->capacity);
        kuArray_InsertAt(a, 0, start);
        EXPECT_EQ(start, a->capacity);
        kuArray_Append(a, nullptr);
        EXPECT_EQ(start + std::min(start / 2, 2048u), a->capacity);
        kuArray_Delete(a);
    }
}

TEST(kuArray, InsertModes)
{
    kuArray *array = kuArray_New();
    kuArray_Append(array, ptr(5));
    // No comparison: appended.
    EXPECT_EQ(1u, kuArray_Insert(array, ptr(1)));
    // A comparison without kept-sorted mode still appends (after sorting
    // once when it is set).
    kuArray_SetSortFunc(array, compareSlots, 0);
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(5)}), itemsOf(array));
    EXPECT_EQ(2u, kuArray_Insert(array, ptr(3)));
    kuArray_Delete(array);

    kuArray *sorted = kuArray_New();
    kuArray_SetSortFunc(sorted, compareValues, 1);
    kuArray_Insert(sorted, ptr(7));
    kuArray_Insert(sorted, ptr(1));
    kuArray_Insert(sorted, ptr(3));
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(3), ptr(7)}), itemsOf(sorted));
    EXPECT_EQ(2u, kuArray_IndexForInsert(sorted, ptr(5)));
    EXPECT_EQ(1u, kuArray_IndexForInsert(sorted, ptr(3)));
    EXPECT_EQ(0u, kuArray_IndexForInsert(sorted, ptr(0)));
    EXPECT_EQ(3u, kuArray_IndexForInsert(sorted, ptr(9)));

    // The release function sees the opened slot's null before the item lands.
    released.clear();
    kuArray_SetFreeFunc(sorted, recordFree);
    EXPECT_EQ(2u, kuArray_Insert(sorted, ptr(5)));
    EXPECT_EQ((std::vector<void *>{nullptr}), released);
    kuArray_SetFreeFunc(sorted, nullptr);
    kuArray_Delete(sorted);
}

TEST(kuArray, SortOnDemandAndKeptSortedResort)
{
    kuArray *array = kuArray_New();
    for (uintptr_t v : {4, 2, 9, 1})
        kuArray_Append(array, ptr(v));
    kuArray_Sort(array); // no comparison: unchanged
    EXPECT_EQ((std::vector<void *>{ptr(4), ptr(2), ptr(9), ptr(1)}), itemsOf(array));
    kuArray_SetSortFunc(array, compareSlots, 0);
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(2), ptr(4), ptr(9)}), itemsOf(array));
    kuArray_Delete(array);

    // Turning kept-sorted mode on over existing items sorts them by value.
    std::mt19937 rng(7);
    kuArray *kept = kuArray_New();
    std::vector<void *> model;
    for (int i = 0; i < 1000; i++) {
        void *v = ptr(rng() % 300);
        kuArray_Append(kept, v);
        model.push_back(v);
    }
    kuArray_SetSortFunc(kept, compareValues, 1);
    std::sort(model.begin(), model.end());
    EXPECT_EQ(model, itemsOf(kept));
    kuArray_Delete(kept);
}

TEST(kuArray, RemovalAndLookup)
{
    kuArray *array = kuArray_New();
    for (uintptr_t v : {1, 2, 3, 2, 4})
        kuArray_Append(array, ptr(v));
    released.clear();
    kuArray_SetFreeFunc(array, recordFree);

    EXPECT_EQ(5u, kuArray_RemoveAt(array, 1, 0));
    EXPECT_TRUE(released.empty());
    // Only the first of two equal pointers goes.
    EXPECT_EQ(4, kuArray_Remove(array, ptr(2)));
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(3), ptr(2), ptr(4)}), itemsOf(array));
    EXPECT_EQ(-1, kuArray_Remove(array, ptr(8)));
    EXPECT_EQ(2, kuArray_Index(array, ptr(2)));
    EXPECT_EQ(-1, kuArray_Index(array, ptr(8)));

    auto atLeastKey = [](const void *item, const void *key) -> int {
        return (uintptr_t)item >= (uintptr_t)key;
    };
    EXPECT_EQ(1, kuArray_Search(array, ptr(3), atLeastKey));
    EXPECT_EQ(-1, kuArray_Search(array, ptr(5), atLeastKey));

    // Out-of-range positions are answered, not obeyed.
    EXPECT_EQ(nullptr, kuArray_At(array, 4));
    kuArray_SetAt(array, 4, ptr(9));
    EXPECT_EQ(4u, kuArray_RemoveAt(array, 4, 1));
    EXPECT_EQ(3u, kuArray_RemoveAt(array, 3, 100));
    released.clear();

    kuArray_SetAt(array, 0, ptr(6));
    EXPECT_EQ((std::vector<void *>{ptr(1)}), released);
    kuArray_Clear(array);
    EXPECT_EQ((std::vector<void *>{ptr(1), ptr(6), ptr(3), ptr(2)}), released);
    EXPECT_EQ(0u, kuArray_GetCount(array));
    kuArray_Delete(array);

    EXPECT_EQ(0u, kuArray_GetCount(nullptr));
    EXPECT_EQ(-1, kuArray_Index(nullptr, nullptr));
    kuArray_Delete(nullptr);
}

TEST(kuArray, InsertAtOpensNullSlots)
{
    kuArray *array = kuArray_New();
    kuArray_Append(array, ptr(1));
    kuArray_Append(array, ptr(2));
    kuArray_InsertAt(array, 1, 0);
    kuArray_InsertAt(array, 1, 2);
    EXPECT_EQ((std::vector<void *>{ptr(1), nullptr, nullptr, ptr(2)}), itemsOf(array));
    kuArray_InsertAt(array, 99, 1); // past the end: at the end
    EXPECT_EQ(5u, kuArray_GetCount(array));
    EXPECT_EQ(nullptr, kuArray_At(array, 4));
    // A block larger than one growth step.
    kuArray_InsertAt(array, 0, 5000);
    EXPECT_EQ(5005u, kuArray_GetCount(array));
    EXPECT_EQ(ptr(1), kuArray_At(array, 5000));
    EXPECT_EQ(ptr(2), kuArray_At(array, 5003));
    kuArray_Delete(array);
}

TEST(kuArray, FlatFormOfStrings)
{
    kuArray *array = kuArray_New();
    kuArray_SetFreeFunc(array, kuStringArray_FreeFunc);
    kuArray_Append(array, kuStrdup("ab"));
    kuArray_Append(array, nullptr);
    uint32_t size = 99;
    unsigned char *flat = (unsigned char *)kuArray_Flatten(array, &size, kuStringArray_FlattenerFunc);
    const unsigned char expected[] = {2, 0, 0, 0, 'a', 'b', 0, 0};
    ASSERT_EQ(sizeof expected, size);
    EXPECT_EQ(0, memcmp(expected, flat, size));

    // A null string comes back empty; the size is not consulted.
    kuArray *back = kuArray_UnFlatten(flat, 0, kuStringArray_UnFlattenerFunc);
    kuArray_SetFreeFunc(back, kuStringArray_FreeFunc);
    ASSERT_EQ(2u, kuArray_GetCount(back));
    EXPECT_STREQ("ab", (const char *)kuArray_At(back, 0));
    EXPECT_STREQ("", (const char *)kuArray_At(back, 1));
    kuArray_Delete(back);
    kuFree(flat);
    kuArray_Delete(array);

    kuArray *empty = kuArray_New();
    flat = (unsigned char *)kuArray_Flatten(empty, &size, kuStringArray_FlattenerFunc);
    ASSERT_EQ(4u, size);
    EXPECT_EQ(0, memcmp("\0\0\0\0", flat, 4));
    kuArray *none = kuArray_UnFlatten(flat, 4, kuStringArray_UnFlattenerFunc);
    EXPECT_EQ(0u, kuArray_GetCount(none));
    kuArray_Delete(none);
    kuFree(flat);
    EXPECT_EQ(nullptr, kuArray_Flatten(empty, &size, nullptr));
    EXPECT_EQ(0u, size);
    kuArray_Delete(empty);
}

namespace {

// Fixed-width items: the index is passed along and each item is 4 bytes.
int flattenWord(kuBuffer *buffer, void *item, uint32_t index)
{
    uint32_t word = (uint32_t)(uintptr_t)item ^ index;
    unsigned char le[4] = {(unsigned char)word, (unsigned char)(word >> 8),
                           (unsigned char)(word >> 16), (unsigned char)(word >> 24)};
    kuBuffer_Append(buffer, le, 4);
    return 0;
}

uint32_t unflattenWord(kuArray *array, const void *bytes, uint32_t index)
{
    const unsigned char *p = (const unsigned char *)bytes;
    uint32_t word = p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
    kuArray_Append(array, ptr(word ^ index));
    return 4;
}

} // namespace

TEST(kuArray, FlattenRoundTrips)
{
    std::mt19937 rng(99);
    for (uint32_t n : {0u, 1u, 511u, 512u, 513u, 3000u}) {
        kuArray *array = kuArray_New();
        std::vector<std::string> strings;
        kuArray *words = kuArray_New();
        for (uint32_t i = 0; i < n; i++) {
            std::string s(rng() % 20, 'a');
            for (char &c : s)
                c = (char)('a' + rng() % 26);
            strings.push_back(s);
            kuArray_Append(array, kuStrdup(s.c_str()));
            kuArray_Append(words, ptr(rng()));
        }
        kuArray_SetFreeFunc(array, kuStringArray_FreeFunc);
        uint32_t size = 0;
        void *flat = kuArray_Flatten(array, &size, kuStringArray_FlattenerFunc);
        kuArray *back = kuArray_UnFlatten(flat, size, kuStringArray_UnFlattenerFunc);
        kuArray_SetFreeFunc(back, kuStringArray_FreeFunc);
        ASSERT_EQ(n, kuArray_GetCount(back));
        for (uint32_t i = 0; i < n; i++)
            ASSERT_EQ(strings[i], (const char *)kuArray_At(back, i));
        kuFree(flat);
        kuArray_Delete(back);
        kuArray_Delete(array);

        flat = kuArray_Flatten(words, &size, flattenWord);
        ASSERT_EQ(4 + 4 * n, size);
        back = kuArray_UnFlatten(flat, size, unflattenWord);
        EXPECT_EQ(itemsOf(words), itemsOf(back));
        kuFree(flat);
        kuArray_Delete(back);
        kuArray_Delete(words);
    }
}

// Random operations against a vector model, with and without kept order.
TEST(kuArray, RandomOperationsMatchModel)
{
    std::mt19937 rng(4321);
    for (int round = 0; round < 40; round++) {
        bool keepSorted = round % 2 == 1;
        kuArray *array = kuArray_New();
        if (keepSorted)
            kuArray_SetSortFunc(array, compareValues, 1);
        std::vector<void *> model;
        for (int step = 0; step < 400; step++) {
            void *value = ptr(rng() % 32);
            uint32_t size = (uint32_t)model.size();
            switch (rng() % (keepSorted ? 4 : 6)) {
            case 0: {
                uint32_t at = kuArray_Insert(array, value);
                auto it = keepSorted ? std::lower_bound(model.begin(), model.end(), value)
                                     : model.end();
                if (keepSorted) {
                    // Among equal items the search may land on any of them.
                    ASSERT_GE(at, (uint32_t)(it - model.begin()));
                    ASSERT_LE(at, (uint32_t)(std::upper_bound(model.begin(), model.end(), value) -
                                             model.begin()));
                    it = model.begin() + at;
                }
                model.insert(it, value);
                break;
            }
            case 1: {
                uint32_t at = size > 0 ? rng() % size : 0;
                uint32_t n = rng() % 4;
                uint32_t left = kuArray_RemoveAt(array, at, n);
                model.erase(model.begin() + at, model.begin() + std::min(at + n, size));
                ASSERT_EQ(model.size(), left);
                break;
            }
            case 2: {
                auto it = std::find(model.begin(), model.end(), value);
                int32_t left = kuArray_Remove(array, value);
                if (it == model.end()) {
                    ASSERT_EQ(-1, left);
                } else {
                    model.erase(it);
                    ASSERT_EQ((int32_t)model.size(), left);
                }
                break;
            }
            case 3: {
                auto it = std::find(model.begin(), model.end(), value);
                ASSERT_EQ(it == model.end() ? -1 : (int32_t)(it - model.begin()),
                          kuArray_Index(array, value));
                break;
            }
            case 4: {
                uint32_t at = size > 0 ? rng() % (size + 1) : 0;
                uint32_t n = rng() % 40;
                kuArray_InsertAt(array, at, n);
                model.insert(model.begin() + at, n, nullptr);
                break;
            }
            default:
                kuArray_Append(array, value);
                model.push_back(value);
                break;
            }
            ASSERT_EQ(model, itemsOf(array));
            ASSERT_GE(array->capacity, array->count);
        }
        kuArray_Delete(array);
    }
}
