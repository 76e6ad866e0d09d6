#include <kuvanaTools/kuCustomHashTable.h>
#include <kuvanaTools/kuMemory.h>

#include <gtest/gtest.h>

#include <string.h>
#include <wchar.h>

namespace {

std::vector<std::string> keysInOrder(kuCustomHashTable *t)
{
    std::vector<std::string> keys;
    for (uint32_t i = 0; i < kuCustomHashTable_GetTupleCount(t); i++)
        keys.emplace_back((const char *)kuCustomHashTable_GetKeyAtIndex(t, i));
    return keys;
}

// Value functions that count what the table copies and releases.
int dups, frees;

// What a walk saw: each key and its value.
std::string walked;

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

TEST_F(Counted, BucketsOrderAndReplacement)
{
    // "b" hashes to 99 and "m" to 110: both bucket 0; "c" 100 is bucket 1;
    // "ab" is 31 * 98 + 99 = 3137, bucket 2; "" hashes to 0
    for (const char *k : {"ab", "b", "c", "m", ""})
        ASSERT_EQ(1, kuCustomHashTable_Add(t, k, k));
    EXPECT_EQ(3137u, gCustomHashTable_StringKey.hash("ab"));
    // bytes are taken unsigned: 0xff + 1
    EXPECT_EQ(256u, gCustomHashTable_StringKey.hash("\xff"));
    EXPECT_EQ((std::vector<std::string>{"", "m", "b", "c", "ab"}), keysInOrder(t));
    EXPECT_EQ(nullptr, kuCustomHashTable_GetKeyAtIndex(t, 5));

    // replacing keeps the stored key, a copy, and releases the old value
    char key[] = "m";
    EXPECT_EQ(1, kuCustomHashTable_Add(t, key, "second"));
    EXPECT_NE((void *)key, kuCustomHashTable_GetKeyAtIndex(t, 1));
    EXPECT_STREQ("second", (const char *)kuCustomHashTable_Get(t, "m"));
    EXPECT_EQ(1, frees);
    void *value = (void *)"stale";
    EXPECT_EQ(0, kuCustomHashTable_Lookup(t, "x", &value));
    EXPECT_EQ(nullptr, value);
    kuCustomHashTable_Remove(t, "absent");
    kuCustomHashTable_Remove(t, "m");
    EXPECT_EQ(2, frees);
    EXPECT_EQ(4u, kuCustomHashTable_GetTupleCount(t));
}

TEST_F(Counted, DuplicateKeysAndCopies)
{
    kuCustomHashTable_Add(t, "b", "x-value");
    kuCustomHashTable_Add(t, "m", "y-value");
    // the copy adds in enumeration order ("m" "b"), so each bucket comes out
    // reversed
    kuCustomHashTable *copy = kuCustomHashTable_Duplicate(t);
    EXPECT_EQ((std::vector<std::string>{"b", "m"}), keysInOrder(copy));
    EXPECT_NE(kuCustomHashTable_Get(t, "b"), kuCustomHashTable_Get(copy, "b"));
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
    EXPECT_STREQ("2", (const char *)kuCustomHashTable_Get(t, "a"));
    int freesBefore = frees;
    // removing by the table's own key pointer removes every copy safely
    kuCustomHashTable_Remove(t, kuCustomHashTable_GetKeyAtIndex(t, 2));
    EXPECT_EQ(2, frees - freesBefore);
    EXPECT_STREQ("other", (const char *)kuCustomHashTable_Get(t, "l"));
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
    EXPECT_EQ(nullptr, at(sizeof(void *), (void *)nullptr));
    EXPECT_EQ(2u, at(counts, uint32_t()));
    EXPECT_EQ(1u, at(counts + 2 * 4, uint32_t()));
    EXPECT_EQ(3u, at(counts + 11 * 4, uint32_t()));
    const kuCustomHashTableKeyDescriptor &key = gCustomHashTable_StringKey;
    const void *inOrder[] = {(void *)key.dup,  (void *)key.free,     (void *)key.compare,
                             (void *)key.hash, (void *)&countingDup, (void *)&countingFree};
    for (size_t i = 0; i < 6; i++)
        EXPECT_EQ(inOrder[i], at(functions + i * sizeof(void *), (void *)nullptr)) << i;
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
    EXPECT_EQ(1, kuCustomHashTable_HasKey(t, "k"));

    // a value copy that fails refuses the addition and releases the key copy
    kuCustomHashTable *failing = kuCustomHashTable_New(
        countingDup, countingFree, gCustomHashTable_StringKey.compare,
        gCustomHashTable_StringKey.hash, [](const void *) -> void * { return nullptr; },
        countingFree);
    EXPECT_EQ(1, kuCustomHashTable_Add(failing, "k", nullptr));
    EXPECT_EQ(0, kuCustomHashTable_Add(failing, "k", "v")); // the fixture checks the key went
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
    EXPECT_EQ(4, frees);
    // an equal key of another pointer replaces both
    EXPECT_EQ(1, kuCustomHashTable_AddAllocated(own, countingDup("key"), countingDup("new")));
    EXPECT_EQ(6, frees);
    EXPECT_EQ(1, kuCustomHashTable_AddValueAllocated(own, kuCustomHashTable_GetKeyAtIndex(own, 0),
                                                     countingDup("newer")));
    EXPECT_STREQ("newer", (const char *)kuCustomHashTable_Get(own, "key"));
    kuCustomHashTable_Clear(own); // the fixture checks everything went
    kuCustomHashTable_Delete(own);
}

TEST(kuCustomHashTable, TypedTablesWalksThatChangeTheTableAndNullHandles)
{
    // pointer keys: equal texts at different addresses are different keys
    kuCustomHashTable *ptrs = kuCustomHashTable_New_VoidPtr_VoidPtr();
    char one[] = "same", two[] = "same";
    kuCustomHashTable_Add(ptrs, one, two);
    kuCustomHashTable_Add(ptrs, two, nullptr);
    EXPECT_EQ(two, kuCustomHashTable_Get(ptrs, one));
    EXPECT_EQ(0, kuCustomHashTable_HasKey(ptrs, "same"));
    kuCustomHashTable_Delete(ptrs);

    // the wide hash equals the narrow one on ASCII: "m" then "b" in bucket 0
    kuCustomHashTable *wide = kuCustomHashTable_New_WString_WString();
    for (const wchar_t *k : {L"b", L"\x1F600", L"m"})
        EXPECT_EQ(1, kuCustomHashTable_Add(wide, k, k));
    EXPECT_EQ(0, wcscmp(L"m", (const wchar_t *)kuCustomHashTable_GetKeyAtIndex(wide, 0)));
    EXPECT_EQ(0, wcscmp(L"\x1F600", (const wchar_t *)kuCustomHashTable_Get(wide, L"\x1F600")));
    kuCustomHashTable_Delete(wide);

    kuCustomHashTable *t = kuCustomHashTable_New_String_String();
    kuCustomHashTable_AllowDuplicates(t);
    for (const char *k : {"a", "l", "a", "b", "m"})
        kuCustomHashTable_Add(t, k, "=");
    // order: m b (bucket 0), a l a (bucket 10); removing "l" while on "m"
    // takes out an entry the walk has not reached, removing "a" its duplicate
    auto removing = [](void *key, void *value, void *table) {
        walked += std::string((const char *)key) + (const char *)value;
        kuCustomHashTable_Remove((kuCustomHashTable *)table, "l");
        kuCustomHashTable_Remove((kuCustomHashTable *)table, key);
        return 0;
    };
    kuCustomHashTable_ForEach(t, removing, t);
    EXPECT_EQ("m=b=a=", walked);
    EXPECT_EQ(0u, kuCustomHashTable_GetTupleCount(t));
    for (const char *k : {"a", "b", "c"})
        kuCustomHashTable_Add(t, k, "=");
    auto clearing = [](void *key, void *, void *table) {
        walked = (const char *)key;
        kuCustomHashTable_Clear((kuCustomHashTable *)table);
        return 0;
    };
    kuCustomHashTable_ForEach(t, clearing, t);
    EXPECT_EQ(1u, walked.size());
    kuCustomHashTable_Remove(t, nullptr);
    EXPECT_EQ(0, kuCustomHashTable_HasKey(t, nullptr));
    EXPECT_EQ(0, kuCustomHashTable_Lookup(t, nullptr, nullptr));
    kuCustomHashTable_ForEach(t, nullptr, nullptr);
    for (const char *k : {"a", "b"})
        kuCustomHashTable_Add(t, k, "v");
    // deleting the table from inside the walk ends the walk
    auto deleting = [](void *, void *, void *table) {
        kuCustomHashTable_Delete((kuCustomHashTable *)table);
        return 0;
    };
    kuCustomHashTable_ForEach(t, deleting, t);

    EXPECT_EQ(nullptr, kuCustomHashTable_New(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, kuCustomHashTable_Add(nullptr, "k", "v"));
    EXPECT_EQ(0, kuCustomHashTable_AddAllocated(nullptr, (void *)"k", nullptr));
    EXPECT_EQ(0, kuCustomHashTable_Lookup(nullptr, "k", nullptr));
    kuCustomHashTable_Delete(nullptr);
    EXPECT_EQ(nullptr, kuCustomHashTable_GetKeyAtIndex(nullptr, 0));
}
