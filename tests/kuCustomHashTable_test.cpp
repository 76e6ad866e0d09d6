#include <kuvanaTools/kuCustomHashTable.h>
#include <kuvanaTools/kuMemory.h>

#include <gtest/gtest.h>

#include <string.h>
#include <wchar.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> keysInOrder(kuCustomHashTable *t)
{
    std::vector<std::string> keys;
    for (uint32_t i = 0; i < kuCustomHashTable_GetTupleCount(t); i++)
        keys.emplace_back((const char *)kuCustomHashTable_GetKeyAtIndex(t, i));
    return keys;
}

const char *text(kuCustomHashTable *t, const char *key)
{
    return (const char *)kuCustomHashTable_Get(t, key);
}

// Value functions that count what the table copies and releases.
int dups, frees;

void *countingDup(const void *v)
{
    if (v == nullptr)
        return nullptr;
    dups++;
    return kuStrdup((const char *)v);
}

void countingFree(void *v)
{
    frees++;
    kuFree(v);
}

struct Counted : ::testing::Test {
    kuCustomHashTable *t = nullptr;
    void SetUp() override
    {
        dups = frees = 0;
        t = kuCustomHashTable_New_String_Other(countingDup, countingFree);
    }
    void TearDown() override
    {
        kuCustomHashTable_Delete(t);
        EXPECT_EQ(dups, frees);
    }
};

} // namespace

TEST(kuCustomHashTable, BucketsAndEnumerationOrder)
{
    kuCustomHashTable *t = kuCustomHashTable_New_String_String();
    // "b" hashes to 99 and "m" to 110: both bucket 0; "c" 100 is bucket 1;
    // "ab" is 31 * 98 + 99 = 3137, bucket 2; "" hashes to 0
    for (const char *k : {"ab", "b", "c", "m", ""})
        ASSERT_EQ(1, kuCustomHashTable_Add(t, k, k));
    EXPECT_EQ(3137u, gCustomHashTable_StringKey.hash("ab"));
    // bytes are taken unsigned: 0xff + 1
    EXPECT_EQ(256u, gCustomHashTable_StringKey.hash("\xff"));
    EXPECT_EQ((std::vector<std::string>{"", "m", "b", "c", "ab"}), keysInOrder(t));
    EXPECT_EQ(nullptr, kuCustomHashTable_GetKeyAtIndex(t, 5));
    EXPECT_EQ(nullptr, kuCustomHashTable_GetKeyAtIndex(t, UINT32_MAX));

    // the stored key is a copy
    char key[] = "m";
    EXPECT_EQ(1, kuCustomHashTable_Add(t, key, "v"));
    EXPECT_NE((void *)key, kuCustomHashTable_GetKeyAtIndex(t, 1));
    kuCustomHashTable_Delete(t);
}

TEST_F(Counted, ReplacingReleasesTheOldValue)
{
    EXPECT_EQ(1, kuCustomHashTable_Add(t, "a", "first"));
    EXPECT_EQ(1, kuCustomHashTable_Add(t, "a", "second"));
    EXPECT_EQ(1u, kuCustomHashTable_GetTupleCount(t));
    EXPECT_STREQ("second", text(t, "a"));
    EXPECT_EQ(1, frees);

    void *value = (void *)"stale";
    EXPECT_EQ(1, kuCustomHashTable_Lookup(t, "a", &value));
    EXPECT_STREQ("second", (const char *)value);
    EXPECT_EQ(0, kuCustomHashTable_Lookup(t, "b", &value));
    EXPECT_EQ(nullptr, value);
    EXPECT_EQ(0, kuCustomHashTable_Lookup(t, nullptr, nullptr));
    EXPECT_EQ(0, kuCustomHashTable_HasKey(t, "A"));

    kuCustomHashTable_Remove(t, "absent");
    kuCustomHashTable_Remove(t, "a");
    EXPECT_EQ(2, frees);
    EXPECT_EQ(0u, kuCustomHashTable_GetTupleCount(t));
}

TEST_F(Counted, DuplicateKeysAndCopies)
{
    kuCustomHashTable_Add(t, "b", "x-value");
    kuCustomHashTable_Add(t, "m", "y-value");
    // the copy adds in enumeration order, so each bucket comes out reversed
    kuCustomHashTable *copy = kuCustomHashTable_Duplicate(t);
    EXPECT_EQ((std::vector<std::string>{"m", "b"}), keysInOrder(t));
    EXPECT_EQ((std::vector<std::string>{"b", "m"}), keysInOrder(copy));
    EXPECT_NE(kuCustomHashTable_Get(t, "b"), kuCustomHashTable_Get(copy, "b"));
    EXPECT_STREQ("x-value", text(copy, "b"));
    kuCustomHashTable_Add(copy, "b", "z"); // without duplicates it replaces
    EXPECT_EQ(2u, kuCustomHashTable_GetTupleCount(copy));
    kuCustomHashTable_Delete(copy);
    EXPECT_EQ(nullptr, kuCustomHashTable_Duplicate(nullptr));

    EXPECT_EQ(1, kuCustomHashTable_AllowDuplicates(t));
    // "l" hashes to 109 and "a" to 98: both bucket 10, interleaved
    kuCustomHashTable_Add(t, "a", "1");
    kuCustomHashTable_Add(t, "l", "other");
    kuCustomHashTable_Add(t, "a", "2");
    EXPECT_EQ((std::vector<std::string>{"m", "b", "a", "l", "a"}), keysInOrder(t));
    EXPECT_STREQ("2", text(t, "a"));
    int freesBefore = frees;
    // removing by the table's own key pointer removes every copy safely
    kuCustomHashTable_Remove(t, kuCustomHashTable_GetKeyAtIndex(t, 2));
    EXPECT_EQ(2, frees - freesBefore);
    EXPECT_EQ(nullptr, text(t, "a"));
    EXPECT_STREQ("other", text(t, "l"));
    // the duplicate setting is copied
    copy = kuCustomHashTable_Duplicate(t);
    kuCustomHashTable_Add(copy, "l", "again");
    EXPECT_EQ(4u, kuCustomHashTable_GetTupleCount(copy));
    kuCustomHashTable_Delete(copy);
}

// Clients read a table's fields in place: chain heads, counts, the total, the
// six functions and the duplicates flag, in that order with no padding.
TEST_F(Counted, FieldsAtTheirOffsets)
{
    for (const char *k : {"b", "m", "ab"}) // buckets 0, 0 and 2
        kuCustomHashTable_Add(t, k, "v");
    kuCustomHashTable_AllowDuplicates(t);
    auto at = [this](size_t offset, auto field) {
        memcpy(&field, (const char *)t + offset, sizeof field);
        return field;
    };
    const size_t counts = 11 * sizeof(void *), functions = counts + 12 * 4;
    EXPECT_NE(nullptr, at(0, (void *)nullptr));
    EXPECT_EQ(nullptr, at(sizeof(void *), (void *)nullptr));
    EXPECT_EQ(2u, at(counts, uint32_t()));
    EXPECT_EQ(1u, at(counts + 2 * 4, uint32_t()));
    EXPECT_EQ(3u, at(counts + 11 * 4, uint32_t()));
    const kuCustomHashTableKeyDescriptor &key = gCustomHashTable_StringKey;
    EXPECT_EQ(key.dup, at(functions, key.dup));
    EXPECT_EQ(key.free, at(functions + sizeof(void *), key.free));
    EXPECT_EQ(key.compare, at(functions + 2 * sizeof(void *), key.compare));
    EXPECT_EQ(key.hash, at(functions + 3 * sizeof(void *), key.hash));
    EXPECT_EQ(&countingDup, at(functions + 4 * sizeof(void *), key.dup));
    EXPECT_EQ(&countingFree, at(functions + 5 * sizeof(void *), key.free));
    EXPECT_NE(0u, at(functions + 6 * sizeof(void *), uint32_t()));
}

TEST_F(Counted, RefusedAndAllocatedAdditions)
{
    EXPECT_EQ(0, kuCustomHashTable_Add(t, nullptr, "v"));
    // a handed-over value is released when the key is refused
    EXPECT_EQ(0, kuCustomHashTable_AddAllocated(t, nullptr, countingDup("owned")));
    EXPECT_EQ(0, kuCustomHashTable_AddValueAllocated(t, nullptr, countingDup("owned")));
    EXPECT_EQ(2, frees);
    // a null value is stored when null was given
    EXPECT_EQ(1, kuCustomHashTable_Add(t, "k", nullptr));
    void *value = (void *)"stale";
    EXPECT_EQ(1, kuCustomHashTable_Lookup(t, "k", &value));
    EXPECT_EQ(nullptr, value);

    // a value copy that fails refuses the addition and releases the key copy
    kuCustomHashTable *failing = kuCustomHashTable_New(
        countingDup, countingFree, gCustomHashTable_StringKey.compare,
        gCustomHashTable_StringKey.hash, [](const void *) -> void * { return nullptr; },
        countingFree);
    EXPECT_EQ(1, kuCustomHashTable_Add(failing, "k", nullptr));
    EXPECT_EQ(0, kuCustomHashTable_Add(failing, "k", "v"));
    EXPECT_EQ(4, dups);
    EXPECT_EQ(3, frees);
    EXPECT_EQ(1u, kuCustomHashTable_GetTupleCount(failing));
    kuCustomHashTable_Delete(failing);

    // without dup functions the table takes the pointers over; storing the
    // same pointers again must not release them
    kuCustomHashTable *own =
        kuCustomHashTable_New(nullptr, countingFree, gCustomHashTable_StringKey.compare,
                              gCustomHashTable_StringKey.hash, nullptr, countingFree);
    char *key = (char *)countingDup("key");
    char *owned = (char *)countingDup("value");
    EXPECT_EQ(1, kuCustomHashTable_AddAllocated(own, key, owned));
    EXPECT_EQ(1, kuCustomHashTable_AddAllocated(own, key, owned));
    EXPECT_EQ(key, kuCustomHashTable_GetKeyAtIndex(own, 0));
    EXPECT_EQ(owned, kuCustomHashTable_Get(own, "key"));
    EXPECT_EQ(4, frees);
    // an equal key of another pointer replaces both
    EXPECT_EQ(1, kuCustomHashTable_AddAllocated(own, countingDup("key"), countingDup("new")));
    EXPECT_EQ(6, frees);
    EXPECT_EQ(1, kuCustomHashTable_AddValueAllocated(own, kuCustomHashTable_GetKeyAtIndex(own, 0),
                                                     countingDup("newer")));
    EXPECT_STREQ("newer", text(own, "key"));
    kuCustomHashTable_Clear(own);
    EXPECT_EQ(nullptr, kuCustomHashTable_GetKeyAtIndex(own, 0));
    kuCustomHashTable_Delete(own);
}

TEST(kuCustomHashTable, TypedTables)
{
    kuCustomHashTable *ints = kuCustomHashTable_New_String_UInt32();
    EXPECT_EQ(1, kuCustomHashTable_Add(ints, "zero", (void *)(uintptr_t)0));
    EXPECT_EQ(1, kuCustomHashTable_Add(ints, "max", (void *)(uintptr_t)0xFFFFFFFFu));
    EXPECT_EQ(0xFFFFFFFFu, (uint32_t)(uintptr_t)kuCustomHashTable_Get(ints, "max"));
    kuCustomHashTable_Delete(ints);

    // pointer keys: equal texts at different addresses are different keys
    kuCustomHashTable *ptrs = kuCustomHashTable_New_VoidPtr_VoidPtr();
    char one[] = "same", two[] = "same";
    int target;
    kuCustomHashTable_Add(ptrs, one, &target);
    kuCustomHashTable_Add(ptrs, two, nullptr);
    EXPECT_EQ(2u, kuCustomHashTable_GetTupleCount(ptrs));
    EXPECT_EQ(&target, kuCustomHashTable_Get(ptrs, one));
    EXPECT_EQ(0, kuCustomHashTable_HasKey(ptrs, "same"));
    kuCustomHashTable_Delete(ptrs);

    kuCustomHashTable *wide = kuCustomHashTable_New_WString_WString();
    EXPECT_EQ(1, kuCustomHashTable_Add(wide, L"b", L"value"));
    EXPECT_EQ(1, kuCustomHashTable_Add(wide, L"\x1F600", L"emoji"));
    EXPECT_EQ(1, kuCustomHashTable_Add(wide, L"m", L"value 2"));
    // the wide hash equals the narrow one on ASCII: "m" then "b" in bucket 0
    EXPECT_EQ(0, wcscmp(L"m", (const wchar_t *)kuCustomHashTable_GetKeyAtIndex(wide, 0)));
    EXPECT_EQ(0, wcscmp(L"emoji", (const wchar_t *)kuCustomHashTable_Get(wide, L"\x1F600")));
    kuCustomHashTable_Remove(wide, L"b");
    EXPECT_EQ(2u, kuCustomHashTable_GetTupleCount(wide));
    kuCustomHashTable_Delete(wide);

    // Narrow keys with wide values, pointer keys with text values: copies.
    kuCustomHashTable *mixed = kuCustomHashTable_New_String_WString();
    kuCustomHashTable *others = kuCustomHashTable_New_VoidPtr_Other(gCustomHashTable_StringValue.dup,
                                                                    gCustomHashTable_StringValue.free);
    EXPECT_EQ(1, kuCustomHashTable_Add(mixed, "k", L"w"));
    EXPECT_EQ(1, kuCustomHashTable_Add(mixed, "k2", nullptr));
    kuCustomHashTable_Add(others, &target, "copied");
    EXPECT_EQ(0, wcscmp(L"w", (const wchar_t *)kuCustomHashTable_Get(mixed, "k")));
    EXPECT_STREQ("copied", (const char *)kuCustomHashTable_Get(others, &target));
    kuCustomHashTable_Delete(mixed);
    kuCustomHashTable_Delete(others);
}

namespace {

struct Walk {
    kuCustomHashTable *table;
    std::vector<std::string> seen;
    const char *alsoRemove;
    bool clear;
};

int removeWhileWalking(void *key, void *value, void *context)
{
    Walk *w = (Walk *)context;
    EXPECT_STREQ("v", (const char *)value);
    w->seen.emplace_back((const char *)key);
    if (w->clear) {
        kuCustomHashTable_Clear(w->table);
        return 0;
    }
    if (w->alsoRemove != nullptr)
        kuCustomHashTable_Remove(w->table, w->alsoRemove);
    kuCustomHashTable_Remove(w->table, key);
    return 0;
}

} // namespace

TEST(kuCustomHashTable, ForEachToleratesRemovals)
{
    kuCustomHashTable *t = kuCustomHashTable_New_String_String();
    kuCustomHashTable_AllowDuplicates(t);
    for (const char *k : {"a", "l", "a", "b", "m"})
        kuCustomHashTable_Add(t, k, "v");
    // order: m b (bucket 0), a l a (bucket 10); removing "l" while on "m"
    // takes out an entry the walk has not reached, removing "a" its duplicate
    Walk w{t, {}, "l", false};
    kuCustomHashTable_ForEach(t, removeWhileWalking, &w);
    EXPECT_EQ((std::vector<std::string>{"m", "b", "a"}), w.seen);
    EXPECT_EQ(0u, kuCustomHashTable_GetTupleCount(t));

    for (const char *k : {"a", "b", "c"})
        kuCustomHashTable_Add(t, k, "v");
    Walk clearing{t, {}, nullptr, true};
    kuCustomHashTable_ForEach(t, removeWhileWalking, &clearing);
    EXPECT_EQ(1u, clearing.seen.size());
    EXPECT_EQ(0u, kuCustomHashTable_GetTupleCount(t));

    for (const char *k : {"a", "b"})
        kuCustomHashTable_Add(t, k, "v");
    // deleting the table from inside the walk ends the walk
    kuCustomHashTable_ForEach(
        t,
        [](void *, void *, void *table) {
            kuCustomHashTable_Delete((kuCustomHashTable *)table);
            return 0;
        },
        t);
}

TEST(kuCustomHashTable, NullHandlesAndMissingHash)
{
    EXPECT_EQ(nullptr, kuCustomHashTable_New(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, kuCustomHashTable_Add(nullptr, "k", "v"));
    void *value = (void *)"stale";
    EXPECT_EQ(0, kuCustomHashTable_Lookup(nullptr, "k", &value));
    EXPECT_EQ(nullptr, value);
    kuCustomHashTable_Delete(nullptr);
    EXPECT_EQ(nullptr, kuCustomHashTable_GetKeyAtIndex(nullptr, 0));

    kuCustomHashTable *t = kuCustomHashTable_New_String_String();
    kuCustomHashTable_Remove(t, nullptr);
    EXPECT_EQ(0, kuCustomHashTable_HasKey(t, nullptr));
    kuCustomHashTable_ForEach(t, nullptr, nullptr);
    kuCustomHashTable_Delete(t);
}

