#include <kuvanaTools/kuDictionary.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries entries(kuDictionary *d)
{
    Entries out;
    for (uint32_t i = 0; i < kuDictionary_GetEntryCount(d); i++)
        out.emplace_back(kuDictionary_GetKeyAtIndex(d, i), kuDictionary_GetValueAtIndex(d, i));
    return out;
}

std::string key(int i)
{
    char text[16];
    snprintf(text, sizeof text, "key%d", i);
    return text;
}

} // namespace

TEST(kuDictionary, WritesKeepInsertionOrder)
{
    kuDictionary *d = kuDictionary_New(0);
    kuDictionary_WriteKey(d, "k", "1");
    kuDictionary_WriteKey(d, "other", "x");
    kuDictionary_WriteKey(d, "k", "22");
    EXPECT_EQ((Entries{{"k", "22"}, {"other", "x"}}), entries(d));
    // keys are case-sensitive
    kuDictionary_WriteKey(d, "K", "upper");
    EXPECT_STREQ("22", kuDictionary_ReadKey(d, "k", nullptr));
    EXPECT_STREQ("upper", kuDictionary_ReadKey(d, "K", nullptr));
    // a null value is stored as the empty text, which is not the default
    kuDictionary_WriteKey(d, "other", nullptr);
    const char *def = "default";
    EXPECT_STREQ("", kuDictionary_ReadKey(d, "other", def));
    EXPECT_EQ(def, kuDictionary_ReadKey(d, "absent", def));
    EXPECT_EQ(nullptr, kuDictionary_ReadKey(d, "absent", nullptr));
    EXPECT_EQ(3u, kuDictionary_GetEntryCount(d));
    kuDictionary_Delete(d);
}

TEST(kuDictionary, GrowsPastEachBlockOfSlots)
{
    for (uint32_t initial : {5u, 300u}) {
        kuDictionary *d = kuDictionary_New(initial);
        for (int i = 0; i < 700; i++)
            kuDictionary_WriteKey(d, key(i).c_str(), key(i * 2).c_str());
        ASSERT_EQ(700u, kuDictionary_GetEntryCount(d));
        for (int i = 0; i < 700; i++) {
            ASSERT_STREQ(key(i).c_str(), kuDictionary_GetKeyAtIndex(d, (uint32_t)i));
            ASSERT_STREQ(key(i * 2).c_str(), kuDictionary_ReadKey(d, key(i).c_str(), nullptr));
        }
        kuDictionary_Delete(d);
    }
}

TEST(kuDictionary, DeleteClosesTheGap)
{
    kuDictionary *d = kuDictionary_New(0);
    kuDictionary_WriteKey(d, "a", "1");
    kuDictionary_WriteKey(d, "b", "2");
    kuDictionary_WriteKey(d, "c", "3");
    kuDictionary_DeleteKey(d, "a");
    EXPECT_EQ((Entries{{"b", "2"}, {"c", "3"}}), entries(d));
    // the slot after the last entry reads as a free slot
    EXPECT_STREQ("", kuDictionary_GetKeyAtIndex(d, 2));
    EXPECT_STREQ("", kuDictionary_GetValueAtIndex(d, 2));
    EXPECT_STREQ("", kuDictionary_GetKeyAtIndex(d, UINT32_MAX));
    kuDictionary_DeleteKey(d, "absent");
    kuDictionary_DeleteKey(d, "c");
    kuDictionary_DeleteKey(d, "c");
    EXPECT_EQ((Entries{{"b", "2"}}), entries(d));
    // a deleted key comes back at the end
    kuDictionary_WriteKey(d, "a", "again");
    EXPECT_EQ((Entries{{"b", "2"}, {"a", "again"}}), entries(d));
    // deleting by the dictionary's own key text
    kuDictionary_DeleteKey(d, kuDictionary_GetKeyAtIndex(d, 0));
    EXPECT_EQ((Entries{{"a", "again"}}), entries(d));
    kuDictionary_DeleteKey(d, "a");
    EXPECT_EQ(0u, kuDictionary_GetEntryCount(d));
    EXPECT_EQ(nullptr, kuDictionary_ReadKey(d, "a", nullptr));
    kuDictionary_Delete(d);
}

TEST(kuDictionary, ValuesFromTheDictionaryItself)
{
    kuDictionary *d = kuDictionary_New(0);
    kuDictionary_WriteKey(d, "k", "a long value to be shortened");
    // the new value lies inside the old one
    kuDictionary_WriteKey(d, "k", kuDictionary_ReadKey(d, "k", nullptr) + 2);
    EXPECT_STREQ("long value to be shortened", kuDictionary_ReadKey(d, "k", nullptr));
    kuDictionary_WriteKey(d, "copy", kuDictionary_ReadKey(d, "k", nullptr));
    kuDictionary_WriteKey(d, kuDictionary_GetKeyAtIndex(d, 1), kuDictionary_GetKeyAtIndex(d, 0));
    EXPECT_EQ((Entries{{"k", "long value to be shortened"}, {"copy", "k"}}), entries(d));
    // rewriting the same value leaves the stored text in place
    const char *before = kuDictionary_ReadKey(d, "copy", nullptr);
    kuDictionary_WriteKey(d, "copy", "k");
    EXPECT_EQ(before, kuDictionary_ReadKey(d, "copy", nullptr));
    kuDictionary_Delete(d);
}

TEST(kuDictionary, EmptyKeysAndNullHandles)
{
    kuDictionary *d = kuDictionary_New(0);
    kuDictionary_WriteKey(d, "", "ignored");
    kuDictionary_WriteKey(d, nullptr, "ignored");
    EXPECT_EQ(0u, kuDictionary_GetEntryCount(d));
    const char *def = "default";
    EXPECT_EQ(def, kuDictionary_ReadKey(d, "", def));
    EXPECT_EQ(def, kuDictionary_ReadKey(d, nullptr, def));
    kuDictionary_DeleteKey(d, "");
    kuDictionary_DeleteKey(d, nullptr);
    // bytes above 0x7f are ordinary key bytes
    kuDictionary_WriteKey(d, "\xc3\xa9t\xc3\xa9", "summer");
    EXPECT_STREQ("summer", kuDictionary_ReadKey(d, "\xc3\xa9t\xc3\xa9", nullptr));
    EXPECT_EQ(def, kuDictionary_ReadKey(d, "\xc3\xa9t\xc3", def));
    kuDictionary_Delete(d);

    kuDictionary_Delete(nullptr);
    kuDictionary_WriteKey(nullptr, "k", "v");
    EXPECT_EQ(def, kuDictionary_ReadKey(nullptr, "k", def));
    EXPECT_EQ(nullptr, kuDictionary_GetKeyAtIndex(nullptr, 0));
}

TEST(kuDictionary, RandomOperationsMatchAnOrderedModel)
{
    std::mt19937 rng(2024);
    // a pool with case variants and high bytes; phases alternate between
    // growing past several index sizes and shrinking back to a few entries
    std::vector<std::string> pool;
    for (int i = 0; i < 1200; i++) {
        pool.push_back(key(i));
        if (i % 7 == 0)
            pool.push_back("KEY" + std::to_string(i));
        if (i % 11 == 0)
            pool.push_back("\xe2\x82\xac" + std::to_string(i));
    }
    Entries model;
    kuDictionary *d = kuDictionary_New(3);
    for (int step = 0; step < 40000; step++) {
        bool growing = (step / 5000) % 2 == 0;
        const std::string &k = pool[rng() % pool.size()];
        auto it = model.begin();
        while (it != model.end() && it->first != k)
            ++it;
        unsigned op = rng() % 10;
        if (op < (growing ? 7u : 2u)) {
            std::string value = rng() % 8 == 0 ? "" : std::to_string(rng());
            bool null = value.empty() && rng() % 2 == 0;
            kuDictionary_WriteKey(d, k.c_str(), null ? nullptr : value.c_str());
            if (it != model.end())
                it->second = value;
            else
                model.emplace_back(k, value);
        } else if (op < 9) {
            // delete an existing entry most of the time, near either end
            if (!model.empty() && rng() % 4 != 0) {
                size_t nearEnd = rng() % std::min<size_t>(model.size(), 8);
                size_t at = rng() % 2 ? rng() % model.size() : model.size() - 1 - nearEnd;
                it = model.begin() + (ptrdiff_t)at;
            }
            std::string victim = it != model.end() ? it->first : k;
            kuDictionary_DeleteKey(d, victim.c_str());
            if (it != model.end())
                model.erase(it);
            ASSERT_EQ(nullptr, kuDictionary_ReadKey(d, victim.c_str(), nullptr)) << step;
        }
        ASSERT_EQ(model.size(), kuDictionary_GetEntryCount(d)) << step;
        const char *read = kuDictionary_ReadKey(d, k.c_str(), nullptr);
        auto found = model.begin();
        while (found != model.end() && found->first != k)
            ++found;
        if (found == model.end())
            ASSERT_EQ(nullptr, read) << step;
        else
            ASSERT_STREQ(found->second.c_str(), read) << step;
        if (step % 250 == 0) {
            ASSERT_EQ(model, entries(d)) << step;
            for (auto &entry : model)
                ASSERT_STREQ(entry.second.c_str(),
                             kuDictionary_ReadKey(d, entry.first.c_str(), nullptr));
        }
    }
    kuDictionary_Delete(d);
}
