#include <kuvanaTools/kuHashTable.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

kuHashTableEntry *add(kuHashTable *t, const std::string &key, void *value)
{
    return kuHashTable_AddEntry(t, key.data(), (uint32_t)key.size(), value);
}

void *get(kuHashTable *t, const std::string &key)
{
    return kuHashTable_GetEntry(t, key.data(), (uint32_t)key.size());
}

// Keys in enumerator order.
std::vector<std::string> enumerate(kuHashTable *t)
{
    std::vector<std::string> keys;
    kuHashTableEnumerator *e = kuHashTableEnumerator_New(t);
    while (kuHashTableEnumerator_MoveNext(e) == 0) {
        const char *key;
        uint32_t length;
        kuHashTableEnumerator_GetValue(e, &key, &length, nullptr);
        keys.emplace_back(key, length);
    }
    kuHashTableEnumerator_Delete(e);
    return keys;
}

int a, b, c;

} // namespace

TEST(kuHashTable, DigestsAndTextCopies)
{
    kuHashTable *t = kuHashTable_New();
    EXPECT_EQ(0x00006261u, add(t, "ab", &a)->digest);
    EXPECT_EQ(0x0300090du, add(t, "hello", &a)->digest);
    EXPECT_EQ(0x323d3033u, add(t, "0123456789", &a)->digest);
    // bytes above 0x7f are taken unsigned
    kuHashTableEntry *high = add(t, "\xff\xfe\xfd\xfc\xfb", &a);
    EXPECT_EQ(0x07010301u, high->digest);
    // the stored key is a copy ending in a zero byte
    std::string key = "text";
    kuHashTableEntry *e = add(t, key, &b);
    key[0] = 'X';
    EXPECT_STREQ("text", e->key);
    EXPECT_EQ(4u, e->keyLength);
    EXPECT_EQ(&b, get(t, "text"));
    kuHashTable_Delete(t);
}

TEST(kuHashTable, KeysWithEqualDigestsStayApart)
{
    kuHashTable *t = kuHashTable_New();
    // same bytes, one with a zero byte added: different lengths
    add(t, std::string("abc"), &a);
    add(t, std::string("abc\0", 4), &b);
    EXPECT_EQ(&a, get(t, "abc"));
    EXPECT_EQ(&b, get(t, std::string("abc\0", 4)));
    // equal digest (0x6261) and different length
    add(t, std::string("ab\0", 3), &c);
    EXPECT_EQ(nullptr, get(t, "ab"));
    EXPECT_EQ(&c, get(t, std::string("ab\0", 3)));
    // equal digest (0) and equal length: told apart by the bytes
    EXPECT_EQ(add(t, "abcdabcd", &a)->digest, add(t, "efghefgh", &b)->digest);
    EXPECT_EQ(&a, get(t, "abcdabcd"));
    EXPECT_EQ(&b, get(t, "efghefgh"));
    EXPECT_EQ(nullptr, get(t, "ijklijkl"));
    kuHashTable_Delete(t);
}

TEST(kuHashTable, ReAddKeepsFirstPosition)
{
    kuHashTable *t = kuHashTable_New();
    kuHashTableEntry *first = add(t, "one", &a);
    add(t, "two", &b);
    add(t, "three", &c);
    EXPECT_EQ(first, add(t, "one", &c));
    EXPECT_EQ(&c, get(t, "one"));
    EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), enumerate(t));
    // a deleted and re-added key goes to the end
    kuHashTable_DeleteEntry(t, "one", 3);
    add(t, "one", &a);
    EXPECT_EQ((std::vector<std::string>{"two", "three", "one"}), enumerate(t));
    kuHashTable_Delete(t);
}

TEST(kuHashTable, EmptyKeysAndNullHandles)
{
    kuHashTable *t = kuHashTable_New();
    EXPECT_EQ(nullptr, kuHashTable_AddEntry(t, "x", 0, &a));
    EXPECT_EQ(nullptr, kuHashTable_GetEntry(t, "x", 0));
    EXPECT_EQ(0, kuHashTable_HasEntry(t, "x", 0));
    EXPECT_EQ(nullptr, kuHashTable_AddEntry(t, nullptr, 3, &a));
    kuHashTable_DeleteEntry(t, "x", 0);
    kuHashTable_DeleteEntry(t, "absent", 6);
    EXPECT_EQ(1, kuHashTable_IsEmpty(t));

    add(t, "only", &a);
    EXPECT_EQ(0, kuHashTable_IsEmpty(t));
    EXPECT_EQ(1, kuHashTable_HasEntry(t, "only", 4));
    kuHashTable_DeleteEntry(t, "only", 4);
    EXPECT_EQ(1, kuHashTable_IsEmpty(t));
    kuHashTableEnumerator *e = kuHashTableEnumerator_New(t);
    EXPECT_NE(0, kuHashTableEnumerator_MoveNext(e));
    EXPECT_NE(0, kuHashTableEnumerator_MoveNext(e));
    kuHashTableEnumerator_Delete(e);

    add(t, "a", &a);
    add(t, "b", &b);
    kuHashTable_Clear(t);
    EXPECT_EQ(1, kuHashTable_IsEmpty(t));
    EXPECT_EQ(nullptr, get(t, "a"));
    add(t, "c", &c);
    EXPECT_EQ((std::vector<std::string>{"c"}), enumerate(t));
    kuHashTable_Delete(t);

    kuHashTable_Delete(nullptr);
    EXPECT_EQ(nullptr, kuHashTable_AddEntry(nullptr, "k", 1, &a));
    kuHashTableEnumerator *none = kuHashTableEnumerator_New(nullptr);
    EXPECT_NE(0, kuHashTableEnumerator_MoveNext(none));
    kuHashTableEnumerator_Delete(none);
}

namespace {

enum Action { kNothing, kDeleteVisited, kDeleteY, kClear, kDeleteTable };

struct Visit {
    kuHashTable *table;
    std::vector<std::pair<std::string, void *>> seen;
    Action action;
};

void record(const char *key, uint32_t length, void *value, void *context)
{
    Visit *v = (Visit *)context;
    v->seen.emplace_back(key != nullptr ? std::string(key, length) : std::string("<head>"), value);
    if (key == nullptr)
        return;
    switch (v->action) {
    case kDeleteVisited: kuHashTable_DeleteEntry(v->table, key, length); break;
    case kDeleteY: kuHashTable_DeleteEntry(v->table, "y", 1); break;
    case kClear: kuHashTable_Clear(v->table); break;
    case kDeleteTable: kuHashTable_Delete(v->table); break;
    case kNothing: break;
    }
}

} // namespace

TEST(kuHashTable, ForEachStartsAtHeadAndSurvivesChanges)
{
    kuHashTable *t = kuHashTable_New();
    add(t, "x", &a);
    add(t, "y", &b);
    add(t, "z", &c);
    Visit v{t, {}, kNothing};
    kuHashTable_ForEach(t, record, &v);
    ASSERT_EQ(4u, v.seen.size());
    EXPECT_EQ("<head>", v.seen[0].first);
    EXPECT_EQ(nullptr, v.seen[0].second);
    EXPECT_EQ("x", v.seen[1].first);
    EXPECT_EQ(&c, v.seen[3].second);

    // deleting the entry that comes next skips it
    Visit skip{t, {}, kDeleteY};
    kuHashTable_ForEach(t, record, &skip);
    ASSERT_EQ(3u, skip.seen.size());
    EXPECT_EQ("z", skip.seen[2].first);

    Visit del{t, {}, kDeleteVisited};
    kuHashTable_ForEach(t, record, &del);
    EXPECT_EQ(3u, del.seen.size());
    EXPECT_EQ(1, kuHashTable_IsEmpty(t));

    add(t, "x", &a);
    add(t, "y", &b);
    Visit clear{t, {}, kClear};
    kuHashTable_ForEach(t, record, &clear);
    EXPECT_EQ(2u, clear.seen.size());
    add(t, "x", &a);
    add(t, "y", &b);
    Visit gone{t, {}, kDeleteTable};
    kuHashTable_ForEach(t, record, &gone);
    EXPECT_EQ(2u, gone.seen.size());
}

TEST(kuHashTable, EnumeratorSurvivesChangesToItsTable)
{
    kuHashTable *t = kuHashTable_New();
    add(t, "p", &a);
    add(t, "q", &b);
    add(t, "r", &c);
    kuHashTableEnumerator *e = kuHashTableEnumerator_New(t);
    const char *key = "unset";
    uint32_t length = 9;
    void *value = &a;
    // before the first move nothing is current
    kuHashTableEnumerator_GetValue(e, &key, &length, &value);
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(0u, length);
    EXPECT_EQ(nullptr, value);

    ASSERT_EQ(0, kuHashTableEnumerator_MoveNext(e));
    kuHashTableEnumerator_GetValue(e, &key, &length, &value);
    EXPECT_STREQ("p", key);
    EXPECT_EQ(&a, value);
    // deleting the current entry: the next move gives the one that followed
    kuHashTable_DeleteEntry(t, "p", 1);
    ASSERT_EQ(0, kuHashTableEnumerator_MoveNext(e));
    kuHashTableEnumerator_GetValue(e, &key, nullptr, nullptr);
    EXPECT_STREQ("q", key);
    // a second enumerator on the same entry is moved too
    kuHashTableEnumerator *other = kuHashTableEnumerator_New(t);
    ASSERT_EQ(0, kuHashTableEnumerator_MoveNext(other));
    kuHashTable_DeleteEntry(t, "q", 1);
    kuHashTable_DeleteEntry(t, "r", 1);
    EXPECT_NE(0, kuHashTableEnumerator_MoveNext(e));
    EXPECT_NE(0, kuHashTableEnumerator_MoveNext(other));
    kuHashTableEnumerator_Delete(other);

    // Clear sends enumerators back to the start of the new chain
    add(t, "s", &a);
    kuHashTableEnumerator *third = kuHashTableEnumerator_New(t);
    ASSERT_EQ(0, kuHashTableEnumerator_MoveNext(third));
    kuHashTable_Clear(t);
    add(t, "u", &b);
    ASSERT_EQ(0, kuHashTableEnumerator_MoveNext(third));
    kuHashTableEnumerator_GetValue(third, &key, nullptr, &value);
    EXPECT_STREQ("u", key);

    // an enumerator outliving its table has no further entry
    kuHashTable_Delete(t);
    EXPECT_NE(0, kuHashTableEnumerator_MoveNext(third));
    kuHashTableEnumerator_GetValue(third, &key, nullptr, &value);
    EXPECT_EQ(nullptr, key);
    kuHashTableEnumerator_Delete(third);
    kuHashTableEnumerator_Delete(e);
}

TEST(kuHashTable, RandomOperationsMatchAnOrderedModel)
{
    std::mt19937 rng(7);
    std::vector<std::pair<std::string, void *>> model;
    static int values[16];
    kuHashTable *t = kuHashTable_New();
    for (int step = 0; step < 4000; step++) {
        // short keys with zero bytes and shared prefixes collide often
        std::string key(1 + rng() % 12, 'k');
        for (char &ch : key)
            ch = "ab\0"[rng() % 3];
        void *value = &values[rng() % 16];
        auto it = model.begin();
        while (it != model.end() && it->first != key)
            ++it;
        void *expected = value;
        if (rng() % 3 == 0) {
            kuHashTable_DeleteEntry(t, key.data(), (uint32_t)key.size());
            if (it != model.end())
                model.erase(it);
            expected = nullptr;
        } else {
            add(t, key, value);
            if (it != model.end())
                it->second = value;
            else
                model.emplace_back(key, value);
        }
        ASSERT_EQ(expected, get(t, key)) << step;
    }
    std::vector<std::string> keys;
    for (auto &entry : model) {
        keys.push_back(entry.first);
        EXPECT_EQ(entry.second, get(t, entry.first));
    }
    EXPECT_EQ(keys, enumerate(t));
    kuHashTable_Delete(t);
}
