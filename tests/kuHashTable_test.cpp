#include <kuvanaTools/kuHashTable.h>

#include <gtest/gtest.h>

namespace {

kuHashTableEntry *add(kuHashTable *t, const std::string &key, void *value)
{
    return kuHashTable_AddEntry(t, key.data(), (uint32_t)key.size(), value);
}

void *get(kuHashTable *t, const std::string &key)
{
    return kuHashTable_GetEntry(t, key.data(), (uint32_t)key.size());
}

using Entries = std::vector<std::pair<std::string, void *>>;

// Entries in enumerator order.
Entries enumerate(kuHashTable *t)
{
    Entries keys;
    kuHashTableEnumerator *e = kuHashTableEnumerator_New(t);
    while (kuHashTableEnumerator_MoveNext(e) == 0) {
        const char *key;
        uint32_t length;
        void *value;
        kuHashTableEnumerator_GetValue(e, &key, &length, &value);
        keys.emplace_back(std::string(key, length), value);
    }
    kuHashTableEnumerator_Delete(e);
    return keys;
}

int a, b, c;

using Change = void (*)(kuHashTable *, const char *key, uint32_t length);

// What ForEach visited ("^" for the head), with `change` applied to the table
// after each entry.
std::string walked;
Change change;

void record(const char *key, uint32_t length, void *value, void *table)
{
    kuHashTable *t = (kuHashTable *)table;
    EXPECT_EQ(key != nullptr ? kuHashTable_GetEntry(t, key, length) : nullptr, value);
    walked += key != nullptr ? std::string(key, length) : "^";
    if (key != nullptr && change != nullptr)
        change(t, key, length);
}

std::string walk(kuHashTable *t, Change onEach)
{
    walked.clear();
    change = onEach;
    kuHashTable_ForEach(t, record, t);
    return walked;
}

// Moves the enumerator on; its new entry as "key:value", "-" for none (and
// the move's result must agree).
std::string next(kuHashTableEnumerator *e)
{
    int moved = kuHashTableEnumerator_MoveNext(e);
    const char *key = "unset";
    uint32_t length = 9;
    void *value = &a;
    kuHashTableEnumerator_GetValue(e, &key, &length, &value);
    kuHashTableEnumerator_GetValue(e, nullptr, nullptr, nullptr);
    if (key == nullptr)
        return moved != 0 && length == 0 && value == nullptr ? "-" : "?";
    std::string entry = std::string(key, length) + (value == &a ? ":a" : value == &b ? ":b" : ":c");
    return moved == 0 ? entry : "?";
}

} // namespace

TEST(kuHashTable, DigestsKeysClearEqualDigestsAndWalksThatSurviveChanges)
{
    kuHashTable *t = kuHashTable_New();
    // bytes above 0x7f are taken unsigned
    for (auto [key, digest] : {std::pair<std::string, uint32_t>("0123456789", 0x323d3033u),
                               {"\xff\xfe", 0x0000feffu}, {"\xff\xfe\xfd\xfc\xfb", 0x07010301u}})
        EXPECT_EQ(digest, add(t, key, &a)->digest) << key;
    // the stored key is a copy ending in a zero byte
    std::string key = "text";
    kuHashTableEntry *entry = add(t, key, &b);
    key[0] = 'X';
    EXPECT_STREQ("text", entry->key);
    EXPECT_EQ(4u, entry->keyLength);
    EXPECT_EQ(&b, get(t, "text"));
    kuHashTable_Clear(t);

    EXPECT_EQ(nullptr, kuHashTable_AddEntry(t, "x", 0, &a));
    EXPECT_EQ(nullptr, kuHashTable_GetEntry(t, "x", 0));
    EXPECT_EQ(0, kuHashTable_HasEntry(t, "x", 0));
    EXPECT_EQ(nullptr, kuHashTable_AddEntry(t, nullptr, 3, &a));
    kuHashTable_DeleteEntry(t, "x", 0);
    kuHashTable_DeleteEntry(t, "absent", 6);
    EXPECT_EQ(1, kuHashTable_IsEmpty(t));

    add(t, "a", &a);
    EXPECT_EQ(0, kuHashTable_IsEmpty(t));
    EXPECT_EQ(1, kuHashTable_HasEntry(t, "a", 1));
    kuHashTable_Clear(t);
    add(t, "c", &c);

    // Keys of equal digests, of equal length ("bbbba", "aaaab") and of others
    // ("a", "a\0"), stay apart; a re-add keeps its place and deleting one of
    // them leaves the others.
    const std::string a0("a\0", 2);
    uint32_t digest = add(t, "bbbba", &a)->digest;
    EXPECT_EQ(digest, add(t, "aaaab", &b)->digest);
    digest = add(t, "a", &a)->digest;
    EXPECT_EQ(digest, add(t, a0, &b)->digest);
    add(t, "aaaab", &c);
    add(t, "a", &c);
    EXPECT_EQ((Entries{{"c", &c}, {"bbbba", &a}, {"aaaab", &c}, {"a", &c}, {a0, &b}}),
              enumerate(t));
    kuHashTable_DeleteEntry(t, "aaaab", 5);
    kuHashTable_DeleteEntry(t, a0.data(), 2);
    EXPECT_EQ((Entries{{"c", &c}, {"bbbba", &a}, {"a", &c}}), enumerate(t));
    kuHashTable_Delete(t);

    kuHashTable_Delete(nullptr);
    EXPECT_EQ(nullptr, kuHashTable_AddEntry(nullptr, "k", 1, &a));
    kuHashTableEnumerator *none = kuHashTableEnumerator_New(nullptr);
    EXPECT_NE(0, kuHashTableEnumerator_MoveNext(none));
    kuHashTableEnumerator_Delete(none);

    t = kuHashTable_New();
    auto fill = [&] {
        for (const char *k : {"x", "y", "z"})
            add(t, k, &a);
    };
    fill();
    EXPECT_EQ("^xyz", walk(t, nullptr));
    // deleting the entry that comes next skips it
    EXPECT_EQ("^xz", walk(t, [](kuHashTable *t, const char *, uint32_t) {
                  kuHashTable_DeleteEntry(t, "y", 1);
              }));
    EXPECT_EQ("^xz", walk(t, [](kuHashTable *t, const char *key, uint32_t length) {
                  kuHashTable_DeleteEntry(t, key, length);
              }));
    EXPECT_EQ(1, kuHashTable_IsEmpty(t));
    fill();
    EXPECT_EQ("^x", walk(t, [](kuHashTable *t, const char *, uint32_t) { kuHashTable_Clear(t); }));
    fill();
    EXPECT_EQ("^x", walk(t, [](kuHashTable *t, const char *, uint32_t) { kuHashTable_Delete(t); }));

    t = kuHashTable_New();
    for (auto [key, value] : {std::pair<const char *, int *>{"p", &a}, {"q", &b}, {"r", &c}})
        add(t, key, value);
    kuHashTableEnumerator *e = kuHashTableEnumerator_New(t);
    EXPECT_EQ("p:a", next(e));
    // deleting the current entry: the next move gives the one that followed
    kuHashTable_DeleteEntry(t, "p", 1);
    EXPECT_EQ("q:b", next(e));
    // a second enumerator on the same entry is moved too
    kuHashTableEnumerator *other = kuHashTableEnumerator_New(t);
    EXPECT_EQ("q:b", next(other));
    kuHashTable_DeleteEntry(t, "q", 1);
    kuHashTable_DeleteEntry(t, "r", 1);
    EXPECT_EQ("-", next(e));
    EXPECT_EQ("-", next(other));
    kuHashTableEnumerator_Delete(other);

    // Clear sends enumerators back to the start of the new chain
    add(t, "s", &a);
    kuHashTableEnumerator *third = kuHashTableEnumerator_New(t);
    EXPECT_EQ("s:a", next(third));
    kuHashTable_Clear(t);
    add(t, "u", &b);
    EXPECT_EQ("u:b", next(third));

    // an enumerator outliving its table has no further entry
    kuHashTable_Delete(t);
    EXPECT_EQ("-", next(third));
    kuHashTableEnumerator_Delete(third);
    kuHashTableEnumerator_Delete(e);
}
