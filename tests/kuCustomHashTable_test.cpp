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
    dups++;
    return kuStrdup((const char *)v);
}

void countingFree(void *v)
{
    frees++;
    kuFree(v);
}

void *failingDup(const void *)
{
    return nullptr;
}

struct Counted : ::testing::Test {
    void SetUp() override { dups = frees = 0; }
};

} // namespace

TEST(kuCustomHashTable, BucketsAndEnumerationOrder)
{
    kuCustomHashTable *t = kuCustomHashTable_New_String_String();
    // "b" hashes to 99 and "m" to 110: both bucket 0; "c" 100 is bucket 1;
    // "ab" is 31 * 98 + 99 = 3137, bucket 2; "" hashes to 0
    for (const char *k : {"ab", "b", "c", "m", ""})
        ASSERT_EQ(1, kuCustomHashTable_Add(t, k, k));
    EXPECT_EQ(99u, gCustomHashTable_StringKey.hash("b"));
    EXPECT_EQ(3137u, gCustomHashTable_StringKey.hash("ab"));
    EXPECT_EQ(0u, gCustomHashTable_StringKey.hash(""));
    // bytes are taken unsigned: 0xff + 1
    EXPECT_EQ(256u, gCustomHashTable_StringKey.hash("\xff"));
    EXPECT_EQ((std::vector<std::string>{"", "m", "b", "c", "ab"}), keysInOrder(t));
    EXPECT_EQ(5u, kuCustomHashTable_GetTupleCount(t));
    EXPECT_EQ(nullptr, kuCustomHashTable_GetKeyAtIndex(t, 5));
    EXPECT_EQ(nullptr, kuCustomHashTable_GetKeyAtIndex(t, UINT32_MAX));

    std::vector<std::string> visited;
    kuCustomHashTable_ForEach(
        t,
        [](void *key, void *value, void *context) {
            EXPECT_STREQ((const char *)key, (const char *)value);
            ((std::vector<std::string> *)context)->emplace_back((const char *)key);
            return 1; // ignored: the walk goes on
        },
        &visited);
    EXPECT_EQ(keysInOrder(t), visited);

    // the stored key is a copy
    char key[] = "m";
    EXPECT_EQ(1, kuCustomHashTable_Add(t, key, "v"));
    EXPECT_NE((void *)key, kuCustomHashTable_GetKeyAtIndex(t, 1));
    kuCustomHashTable_Delete(t);
}

TEST_F(Counted, ReplacingReleasesTheOldValue)
{
    kuCustomHashTable *t = kuCustomHashTable_New_String_Other(countingDup, countingFree);
    EXPECT_EQ(1, kuCustomHashTable_Add(t, "a", "first"));
    EXPECT_EQ(1, kuCustomHashTable_Add(t, "a", "second"));
    EXPECT_EQ(1u, kuCustomHashTable_GetTupleCount(t));
    EXPECT_STREQ("second", text(t, "a"));
    EXPECT_EQ(2, dups);
    EXPECT_EQ(1, frees);

    void *value = (void *)"stale";
    EXPECT_EQ(1, kuCustomHashTable_Lookup(t, "a", &value));
    EXPECT_STREQ("second", (const char *)value);
    EXPECT_EQ(0, kuCustomHashTable_Lookup(t, "b", &value));
    EXPECT_EQ(nullptr, value);
    EXPECT_EQ(0, kuCustomHashTable_Lookup(t, nullptr, nullptr));
    EXPECT_EQ(1, kuCustomHashTable_HasKey(t, "a"));
    EXPECT_EQ(0, kuCustomHashTable_HasKey(t, "A"));

    kuCustomHashTable_Remove(t, "absent");
    kuCustomHashTable_Remove(t, "a");
    EXPECT_EQ(2, frees);
    EXPECT_EQ(0u, kuCustomHashTable_GetTupleCount(t));
    kuCustomHashTable_Delete(t);
}

TEST_F(Counted, DuplicateKeys)
{
    kuCustomHashTable *t = kuCustomHashTable_New_String_Other(countingDup, countingFree);
    EXPECT_EQ(1, kuCustomHashTable_AllowDuplicates(t));
    kuCustomHashTable_Add(t, "a", "1");
    // "l" hashes to 109 and "a" to 98: both bucket 10, interleaved
    kuCustomHashTable_Add(t, "l", "other");
    kuCustomHashTable_Add(t, "a", "2");
    EXPECT_EQ(3u, kuCustomHashTable_GetTupleCount(t));
    EXPECT_EQ(0, frees);
    EXPECT_STREQ("2", text(t, "a"));
    EXPECT_EQ((std::vector<std::string>{"a", "l", "a"}), keysInOrder(t));

    // removing by the table's own key pointer removes every copy safely
    kuCustomHashTable_Remove(t, kuCustomHashTable_GetKeyAtIndex(t, 0));
    EXPECT_EQ(1u, kuCustomHashTable_GetTupleCount(t));
    EXPECT_EQ(2, frees);
    EXPECT_EQ(nullptr, text(t, "a"));
    EXPECT_STREQ("other", text(t, "l"));

    // the duplicate setting is copied
    kuCustomHashTable *copy = kuCustomHashTable_Duplicate(t);
    kuCustomHashTable_Add(copy, "l", "again");
    EXPECT_EQ(2u, kuCustomHashTable_GetTupleCount(copy));
    kuCustomHashTable_Delete(copy);
    kuCustomHashTable_Delete(t);
    EXPECT_EQ(dups, frees);
}

TEST_F(Counted, DuplicateCopiesAndReversesBuckets)
{
    kuCustomHashTable *t = kuCustomHashTable_New_String_Other(countingDup, countingFree);
    kuCustomHashTable_Add(t, "b", "x-value");
    kuCustomHashTable_Add(t, "m", "y-value");
    EXPECT_EQ((std::vector<std::string>{"m", "b"}), keysInOrder(t));
    kuCustomHashTable *copy = kuCustomHashTable_Duplicate(t);
    EXPECT_EQ((std::vector<std::string>{"b", "m"}), keysInOrder(copy));
    EXPECT_NE(kuCustomHashTable_Get(t, "b"), kuCustomHashTable_Get(copy, "b"));
    EXPECT_STREQ("x-value", text(copy, "b"));
    EXPECT_EQ(4, dups);
    // without duplicates the copy still replaces
    kuCustomHashTable_Add(copy, "b", "z");
    EXPECT_EQ(2u, kuCustomHashTable_GetTupleCount(copy));
    kuCustomHashTable_Delete(copy);
    kuCustomHashTable_Delete(t);
    EXPECT_EQ(dups, frees);
    EXPECT_EQ(nullptr, kuCustomHashTable_Duplicate(nullptr));
}

TEST_F(Counted, RefusedAdditionsLeaveTheTableUnchanged)
{
    kuCustomHashTable *t = kuCustomHashTable_New_String_Other(countingDup, countingFree);
    EXPECT_EQ(0, kuCustomHashTable_Add(t, nullptr, "v"));
    EXPECT_EQ(0, frees);
    // a handed-over value is released when the key is refused
    EXPECT_EQ(0, kuCustomHashTable_AddAllocated(t, nullptr, kuStrdup("owned")));
    EXPECT_EQ(0, kuCustomHashTable_AddValueAllocated(t, nullptr, kuStrdup("owned")));
    EXPECT_EQ(2, frees);
    // a null value is stored when null was given
    EXPECT_EQ(1, kuCustomHashTable_Add(t, "k", nullptr));
    void *value = (void *)"stale";
    EXPECT_EQ(1, kuCustomHashTable_Lookup(t, "k", &value));
    EXPECT_EQ(nullptr, value);
    EXPECT_EQ(1u, kuCustomHashTable_GetTupleCount(t));
    kuCustomHashTable_Delete(t);

    // a value copy that fails refuses the addition and releases the key copy
    kuCustomHashTable *failing = kuCustomHashTable_New(
        countingDup, countingFree, gCustomHashTable_StringKey.compare,
        gCustomHashTable_StringKey.hash, failingDup, countingFree);
    frees = dups = 0;
    EXPECT_EQ(1, kuCustomHashTable_Add(failing, "k", nullptr));
    EXPECT_EQ(0, kuCustomHashTable_Add(failing, "k", "v"));
    EXPECT_EQ(2, dups);
    EXPECT_EQ(1, frees);
    EXPECT_EQ(1, kuCustomHashTable_HasKey(failing, "k"));
    EXPECT_EQ(1u, kuCustomHashTable_GetTupleCount(failing));
    kuCustomHashTable_Delete(failing);
}

TEST_F(Counted, AllocatedAdditionsTakeOwnership)
{
    kuCustomHashTable *t = kuCustomHashTable_New(
        nullptr, countingFree, gCustomHashTable_StringKey.compare, gCustomHashTable_StringKey.hash,
        nullptr, countingFree);
    char *key = kuStrdup("key");
    char *value = kuStrdup("value");
    EXPECT_EQ(1, kuCustomHashTable_AddAllocated(t, key, value));
    EXPECT_EQ(key, kuCustomHashTable_GetKeyAtIndex(t, 0));
    EXPECT_EQ(value, kuCustomHashTable_Get(t, "key"));
    // storing the same pointers again must not release them
    EXPECT_EQ(1, kuCustomHashTable_AddAllocated(t, key, value));
    EXPECT_EQ(0, frees);
    EXPECT_STREQ("value", text(t, "key"));
    // an equal key of another pointer replaces both
    EXPECT_EQ(1, kuCustomHashTable_AddAllocated(t, kuStrdup("key"), kuStrdup("new")));
    EXPECT_EQ(2, frees);
    EXPECT_EQ(1, kuCustomHashTable_AddValueAllocated(t, kuCustomHashTable_GetKeyAtIndex(t, 0),
                                                     kuStrdup("newer")));
    EXPECT_STREQ("newer", text(t, "key"));
    kuCustomHashTable_Clear(t);
    EXPECT_EQ(0u, kuCustomHashTable_GetTupleCount(t));
    EXPECT_EQ(nullptr, kuCustomHashTable_GetKeyAtIndex(t, 0));
    kuCustomHashTable_Delete(t);
}

TEST(kuCustomHashTable, TypedTables)
{
    kuCustomHashTable *ints = kuCustomHashTable_New_String_UInt32();
    EXPECT_EQ(1, kuCustomHashTable_Add(ints, "zero", (void *)(uintptr_t)0));
    EXPECT_EQ(1, kuCustomHashTable_Add(ints, "seven", (void *)(uintptr_t)7));
    EXPECT_EQ(1, kuCustomHashTable_HasKey(ints, "zero"));
    EXPECT_EQ(0u, (uint32_t)(uintptr_t)kuCustomHashTable_Get(ints, "zero"));
    EXPECT_EQ(7u, (uint32_t)(uintptr_t)kuCustomHashTable_Get(ints, "seven"));
    EXPECT_EQ(1, kuCustomHashTable_Add(ints, "seven", (void *)(uintptr_t)0xFFFFFFFFu));
    EXPECT_EQ(0xFFFFFFFFu, (uint32_t)(uintptr_t)kuCustomHashTable_Get(ints, "seven"));
    kuCustomHashTable_Delete(ints);

    // pointer keys: equal texts at different addresses are different keys
    kuCustomHashTable *ptrs = kuCustomHashTable_New_VoidPtr_VoidPtr();
    char one[] = "same", two[] = "same";
    int target;
    kuCustomHashTable_Add(ptrs, one, &target);
    kuCustomHashTable_Add(ptrs, two, nullptr);
    EXPECT_EQ(2u, kuCustomHashTable_GetTupleCount(ptrs));
    EXPECT_EQ(&target, kuCustomHashTable_Get(ptrs, one));
    EXPECT_EQ(1, kuCustomHashTable_HasKey(ptrs, two));
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

    kuCustomHashTable *mixed = kuCustomHashTable_New_String_WString();
    EXPECT_EQ(1, kuCustomHashTable_Add(mixed, "k", L"w"));
    EXPECT_EQ(0, wcscmp(L"w", (const wchar_t *)kuCustomHashTable_Get(mixed, "k")));
    EXPECT_EQ(1, kuCustomHashTable_Add(mixed, "k2", nullptr));
    kuCustomHashTable_Delete(mixed);

    kuCustomHashTable *others = kuCustomHashTable_New_VoidPtr_Other(
        gCustomHashTable_StringValue.dup, gCustomHashTable_StringValue.free);
    kuCustomHashTable_Add(others, &target, "copied");
    EXPECT_STREQ("copied", (const char *)kuCustomHashTable_Get(others, &target));
    kuCustomHashTable_Delete(others);
}

namespace {

struct Walk {
    kuCustomHashTable *table;
    std::vector<std::string> seen;
    const char *alsoRemove;
    bool clear;
};

int removeWhileWalking(void *key, void *, void *context)
{
    Walk *w = (Walk *)context;
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

    kuCustomHashTable_Add(t, "a", "v");
    kuCustomHashTable_Add(t, "b", "v");
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

