#include <kuvanaTools/kuBitSet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;

kuBitSet *withBits(uint32_t bitCount, std::vector<uint32_t> positions)
{
    kuBitSet *set = kuBitSet_New(bitCount);
    for (uint32_t p : positions)
        kuBitSet_Set(set, p);
    return set;
}

// The whole state against a model, spare low bits of the last byte included.
void expectModel(const kuBitSet *set, const std::vector<bool> &model)
{
    ASSERT_EQ(model.size(), set->bitCount);
    ASSERT_EQ((model.size() + 7) / 8, set->byteCount);
    uint32_t ones = 0;
    for (uint32_t i = 0; i < set->byteCount * 8; i++) {
        bool bit = (set->bits[i / 8] >> (7 - i % 8)) & 1;
        ASSERT_EQ(i < model.size() && model[i], bit) << "position " << i;
        ones += bit;
    }
    ASSERT_EQ(ones, set->setCount);
}

} // namespace

TEST(kuBitSet, BitOrderCountsAndSearches)
{
    kuBitSet *set = kuBitSet_New(10);
    EXPECT_EQ(2u, set->byteCount);
    kuBitSet_Set(set, 0);
    kuBitSet_Set(set, 9);
    kuBitSet_Set(set, 9);
    kuBitSet_UnSet(set, 5); // already clear
    kuBitSet_Set(set, 10);  // out of range: ignored
    EXPECT_EQ(0x80, set->bits[0]);
    EXPECT_EQ(0x40, set->bits[1]);
    EXPECT_EQ(2u, kuBitSet_GetSetCount(set));
    EXPECT_EQ(0, kuBitSet_IsSet(set, 10));
    kuBitSet_Delete(set);

    set = withBits(12, {3, 7});
    EXPECT_EQ(3u, kuBitSet_GetNextSet(set, kNone));
    EXPECT_EQ(7u, kuBitSet_GetNextSet(set, 3));
    EXPECT_EQ(kNone, kuBitSet_GetNextSet(set, 7));
    for (uint32_t p = 0; p < 12; p++)
        kuBitSet_Set(set, p);
    for (uint32_t origin : {kNone, 0u, 11u, 100u})
        EXPECT_EQ(kNone, kuBitSet_GetNextUnSet(set, origin));
    kuBitSet_UnSet(set, 11);
    EXPECT_EQ(11u, kuBitSet_GetNextUnSet(set, kNone));
    EXPECT_EQ(kNone, kuBitSet_GetNextUnSet(set, 11)); // spare bits are no positions
    kuBitSet_Clear(set);
    EXPECT_EQ(0u, kuBitSet_GetSetCount(set));
    EXPECT_EQ(12u, kuBitSet_GetBitCount(set));
    kuBitSet_Delete(set);
    kuBitSet_Delete(nullptr);
}

TEST(kuBitSet, InsertRemoveAndEquality)
{
    kuBitSet *inserted = withBits(8, {1, 3, 5});
    kuBitSet_Insert(inserted, 3, 2);
    kuBitSet *removed = withBits(8, {1, 3, 4, 6});
    kuBitSet_Remove(removed, 3, 2);
    kuBitSet *sets[] = {inserted,
                        withBits(10, {1, 5, 7}),
                        removed,
                        withBits(6, {1, 4}),
                        withBits(7, {1, 4}),
                        kuBitSet_Clone(removed)};
    EXPECT_EQ(1, kuBitSet_Equal(sets[0], sets[1]));
    EXPECT_EQ(1, kuBitSet_Equal(sets[2], sets[3]));
    EXPECT_EQ(2u, removed->setCount);
    EXPECT_EQ(0, kuBitSet_Equal(sets[3], sets[4])); // same bits, other length
    kuBitSet_Set(sets[5], 0);                       // a clone is independent
    EXPECT_EQ(0, kuBitSet_IsSet(removed, 0));
    EXPECT_EQ(nullptr, kuBitSet_Clone(nullptr));
    for (kuBitSet *set : sets)
        kuBitSet_Delete(set);
}

// Random sets, inserts and removes against a vector<bool> model, with both
// searches checked from a random origin after each step.
TEST(kuBitSet, RandomOperationsMatchModel)
{
    std::mt19937 rng(2024);
    for (int round = 0; round < 60; round++) {
        uint32_t length = rng() % 70;
        kuBitSet *set = kuBitSet_New(length);
        std::vector<bool> model(length);
        for (int step = 0; step < 150; step++) {
            uint32_t size = (uint32_t)model.size();
            uint32_t at = rng() % (size + 3);
            uint32_t n = rng() % 12;
            switch (rng() % 5) {
            case 0:
            case 1:
                kuBitSet_Set(set, at);
                if (at < size)
                    model[at] = true;
                break;
            case 2:
                kuBitSet_UnSet(set, at);
                if (at < size)
                    model[at] = false;
                break;
            case 3: // a position past the end inserts at the end
                kuBitSet_Insert(set, at, n);
                model.insert(model.begin() + std::min(at, size), n, false);
                break;
            default: // a range past the end is cut there
                kuBitSet_Remove(set, at, n);
                if (at < size)
                    model.erase(model.begin() + at, model.begin() + std::min(at + n, size));
                break;
            }
            expectModel(set, model);
            uint32_t origin = rng() % (size + 2);
            origin = origin == size + 1 ? kNone : origin;
            uint32_t nextSet = kNone, nextClear = kNone;
            for (uint32_t i = origin == kNone ? 0 : origin + 1; i < model.size(); i++) {
                if (model[i] && nextSet == kNone)
                    nextSet = i;
                if (!model[i] && nextClear == kNone)
                    nextClear = i;
            }
            ASSERT_EQ(nextSet, kuBitSet_GetNextSet(set, origin));
            ASSERT_EQ(nextClear, kuBitSet_GetNextUnSet(set, origin));
        }
        kuBitSet_Delete(set);
    }
}
