#include <kuvanaTools/kuDictionary.h>

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <random>

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries entries(kuDictionary *d)
{
    Entries out;
    for (uint32_t i = 0; i < kuDictionary_GetEntryCount(d); i++)
        out.emplace_back(kuDictionary_GetKeyAtIndex(d, i), kuDictionary_GetValueAtIndex(d, i));
    return out;
}

} // namespace

TEST(kuDictionary, EmptyKeysNullHandlesOwnTextsFieldsAndFreeSlots)
{
    const char *def = "default";
    kuDictionary_Delete(nullptr);
    kuDictionary_WriteKey(nullptr, "k", "v");
    EXPECT_EQ(def, kuDictionary_ReadKey(nullptr, "k", def));
    EXPECT_EQ(nullptr, kuDictionary_GetKeyAtIndex(nullptr, 0));
    kuDictionary *d = kuDictionary_New(0);
    kuDictionary_WriteKey(d, "", "ignored");
    kuDictionary_WriteKey(d, nullptr, "ignored");
    EXPECT_EQ(0u, kuDictionary_GetEntryCount(d));
    EXPECT_EQ(def, kuDictionary_ReadKey(d, nullptr, def));
    kuDictionary_DeleteKey(d, "");
    kuDictionary_DeleteKey(d, nullptr);

    kuDictionary_WriteKey(d, "k", "a long value to be shortened");
    kuDictionary_WriteKey(d, "other", nullptr);
    // a null value is stored as the empty text, which is not the default
    EXPECT_STREQ("", kuDictionary_ReadKey(d, "other", def));
    EXPECT_EQ(def, kuDictionary_ReadKey(d, "absent", def));
    // the slot after the last entry reads as a free slot
    EXPECT_STREQ("", kuDictionary_GetKeyAtIndex(d, UINT32_MAX));

    // the new value lies inside the old one
    kuDictionary_WriteKey(d, "k", kuDictionary_ReadKey(d, "k", nullptr) + 2);
    EXPECT_STREQ("long value to be shortened", kuDictionary_ReadKey(d, "k", nullptr));
    kuDictionary_WriteKey(d, kuDictionary_GetKeyAtIndex(d, 1), kuDictionary_GetKeyAtIndex(d, 0));
    EXPECT_EQ((Entries{{"k", "long value to be shortened"}, {"other", "k"}}), entries(d));
    // rewriting the same value leaves the stored text in place
    const char *before = kuDictionary_ReadKey(d, "other", nullptr);
    kuDictionary_WriteKey(d, "other", "k");
    EXPECT_EQ(before, kuDictionary_ReadKey(d, "other", nullptr));
    // deleting by the dictionary's own key text
    kuDictionary_DeleteKey(d, kuDictionary_GetKeyAtIndex(d, 0));
    EXPECT_EQ((Entries{{"other", "k"}}), entries(d));
    kuDictionary_Delete(d);

    // Clients read the fields in place: capacity, slots, entry count; a slot is
    // key, digest, value. Every free slot, also one freed by a delete, holds two
    // empty texts of its own.
    d = kuDictionary_New(5);
    for (const char *k : {"a", "b", "c"})
        kuDictionary_WriteKey(d, k, k);
    kuDictionary_DeleteKey(d, "b");
    auto at = [](const void *base, size_t offset, auto field) {
        memcpy(&field, (const char *)base + offset, sizeof field);
        return field;
    };
    const size_t p = sizeof(void *), slot = 3 * p;
    EXPECT_EQ(128u, at(d, 0, uint32_t()));
    EXPECT_EQ(2u, at(d, 2 * p, uint32_t()));
    const char *slots = at(d, p, (const char *)nullptr);
    EXPECT_EQ(kuDictionary_GetKeyAtIndex(d, 1), at(slots, slot, (const char *)nullptr));
    EXPECT_EQ(0xca2e9442u, at(slots, p, uint32_t())); // digest of "a"
    EXPECT_EQ(kuDictionary_GetValueAtIndex(d, 1), at(slots, slot + 2 * p, (const char *)nullptr));

    std::set<const char *> texts;
    for (uint32_t i = 0; i < 128; i++) {
        EXPECT_EQ(i < 2 ? 1u : 0u, strlen(kuDictionary_GetKeyAtIndex(d, i)));
        texts.insert(kuDictionary_GetKeyAtIndex(d, i));
        texts.insert(kuDictionary_GetValueAtIndex(d, i));
    }
    EXPECT_EQ(256u, texts.size());
    kuDictionary_Delete(d);
}

// Writes, overwrites and deletes against an ordered model, from a small
// initial capacity: phases alternate between growing past several blocks of slots
// and index sizes and shrinking back to a few entries. Keys come with case
// variants and high bytes.
TEST(kuDictionary, RandomOperationsMatchAnOrderedModel)
{
    std::mt19937 rng(2024);
    Entries model;
    kuDictionary *d = kuDictionary_New(3);
    auto find = [&model](const std::string &key) {
        auto same = [&key](auto &e) { return e.first == key; };
        return std::find_if(model.begin(), model.end(), same);
    };
    for (int step = 0; step < 20000; step++) {
        const char *prefix = rng() % 8 != 0 ? "key" : rng() % 2 ? "KEY" : "\xe2\x82\xac";
        std::string k = prefix + std::to_string(rng() % 1200);
        auto it = find(k);
        if (rng() % 10 < ((step / 5000) % 2 == 0 ? 7u : 2u)) {
            std::string value = rng() % 8 == 0 ? "" : std::to_string(rng());
            bool null = value.empty() && rng() % 2 == 0; // stored as ""
            kuDictionary_WriteKey(d, k.c_str(), null ? nullptr : value.c_str());
            if (it != model.end())
                it->second = value;
            else
                model.emplace_back(k, value);
        } else {
            // mostly an existing entry, the last one half of the time
            if (!model.empty() && rng() % 4 != 0)
                it = model.end() - 1 - (ptrdiff_t)(rng() % 2 ? rng() % model.size() : 0);
            kuDictionary_DeleteKey(d, it != model.end() ? it->first.c_str() : k.c_str());
            if (it != model.end())
                model.erase(it);
        }
        it = find(k);
        ASSERT_STREQ(it != model.end() ? it->second.c_str() : nullptr,
                     kuDictionary_ReadKey(d, k.c_str(), nullptr))
            << step;
        ASSERT_TRUE(step % 250 != 0 || model == entries(d)) << step;
    }
    kuDictionary_Delete(d);
}
