#include <kuvanaTools/kuStringHashTable.h>

#include <gtest/gtest.h>

namespace {

std::string lookup(kuStringHashTable *t, const char *key)
{
    const char *value = "stale";
    int found = kuStringHashTable_Lookup(t, key, &value);
    EXPECT_EQ(found != 0, value != nullptr); // a miss clears the value
    return found ? value : "<absent>";
}

std::vector<std::string> keysInOrder(kuStringHashTable *t)
{
    std::vector<std::string> keys;
    for (uint32_t i = 0; const char *k = kuStringHashTable_GetKeyAtIndex(t, i); i++)
        keys.emplace_back(k);
    return keys;
}

} // namespace

TEST(kuStringHashTable, DuplicatesOrderOwnKeysAndNullHandles)
{
    kuStringHashTable *t = kuStringHashTable_New();
    // "b" 99 and "m" 110 share bucket 0, "c" is bucket 1, "ab" (3137) bucket 2;
    // a duplicate comes first and is removed first
    for (const char *k : {"ab", "b", "c", "m"})
        EXPECT_EQ(1, kuStringHashTable_Add(t, k, k));
    EXPECT_EQ(1, kuStringHashTable_Add(t, "b", "second"));
    EXPECT_EQ((std::vector<std::string>{"b", "m", "b", "c", "ab"}), keysInOrder(t));
    EXPECT_EQ("second", lookup(t, "b"));
    EXPECT_EQ(nullptr, kuStringHashTable_GetKeyAtIndex(t, UINT32_MAX));
    // removing by the table's own key releases that entry only
    kuStringHashTable_Remove(t, kuStringHashTable_GetKeyAtIndex(t, 0));
    EXPECT_EQ((std::vector<std::string>{"m", "b", "c", "ab"}), keysInOrder(t));
    EXPECT_EQ("b", lookup(t, "b"));
    kuStringHashTable_Remove(t, "b");
    EXPECT_EQ("<absent>", lookup(t, "b"));
    kuStringHashTable_Remove(t, "b");

    EXPECT_EQ(0, kuStringHashTable_Add(t, "k", nullptr));
    EXPECT_EQ(0, kuStringHashTable_Add(t, nullptr, "v"));
    EXPECT_EQ("<absent>", lookup(t, "k"));
    EXPECT_EQ("<absent>", lookup(t, nullptr));
    EXPECT_EQ(1, kuStringHashTable_Add(t, "", ""));
    EXPECT_EQ(1, kuStringHashTable_Lookup(t, "", nullptr));
    // the table keeps copies
    char key[] = "copy", value[] = "mine";
    kuStringHashTable_Add(t, key, value);
    key[0] = value[0] = 'X';
    EXPECT_EQ("mine", lookup(t, "copy"));
    kuStringHashTable_Delete(t);

    kuStringHashTable_Delete(nullptr);
    EXPECT_EQ(0, kuStringHashTable_Add(nullptr, "k", "v"));
    EXPECT_EQ("<absent>", lookup(nullptr, "k"));
    kuStringHashTable_Remove(nullptr, "k");
}
