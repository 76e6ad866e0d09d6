#include <kuvanaTools/kuBitSet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

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
    ASSERT_EQ(model.size(), kuBitSet_GetBitCount(set));
    ASSERT_EQ((model.size() + 7) / 8, set->byteCount);
    uint32_t ones = 0;
    for (uint32_t i = 0; i < set->byteCount * 8; i++) {
        bool bit = (set->bits[i / 8] >> (7 - i % 8)) & 1;
        ASSERT_EQ(i < model.size() && model[i], bit) << "position " << i;
        ASSERT_EQ((int)bit, kuBitSet_IsSet(set, i)) << "position " << i;
        ones += bit;
    }
    ASSERT_EQ(ones, kuBitSet_GetSetCount(set));
}

} // namespace

TEST(kuBitSet, FullSetsEqualityClonesAndRandomOperationsMatchModel)
{
    kuBitSet *set = withBits(12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    for (uint32_t origin : {kNone, 0u, 11u, 100u})
        EXPECT_EQ(kNone, kuBitSet_GetNextUnSet(set, origin));
    kuBitSet_UnSet(set, 11);
    EXPECT_EQ(kNone, kuBitSet_GetNextUnSet(set, 11)); // spare bits are no positions
    kuBitSet_Delete(set);

    kuBitSet *a = withBits(6, {1, 4}), *longer = withBits(7, {1, 4}), *clone = kuBitSet_Clone(a);
    EXPECT_EQ(0, kuBitSet_Equal(a, longer)); // same bits, other length
    EXPECT_EQ(1, kuBitSet_Equal(a, clone));
    kuBitSet_Set(clone, 0); // a clone is independent
    EXPECT_EQ(0, kuBitSet_Equal(a, clone));
    EXPECT_EQ(nullptr, kuBitSet_Clone(nullptr));
    EXPECT_EQ(kNone, kuBitSet_GetNextUnSet(nullptr, 0));
    for (kuBitSet *s : {a, longer, clone, (kuBitSet *)nullptr})
        kuBitSet_Delete(s);

    // Random sets, clears, inserts and removes against a vector<bool> model, with
    // both searches checked from a random origin after each step.
    std::mt19937 rng(2024);
    for (int round = 0; round < 60; round++) {
        uint32_t length = rng() % 70;
        set = kuBitSet_New(length);
        std::vector<bool> model(length);
        for (int step = 0; step < 150; step++) {
            uint32_t size = (uint32_t)model.size(), at = rng() % (size + 3), n = rng() % 12;
            unsigned op = rng() % 5;
            if (op < 3) { // a position past the end is ignored
                (op < 2 ? kuBitSet_Set : kuBitSet_UnSet)(set, at);
                if (at < size)
                    model[at] = op < 2;
            } else if (op == 3) { // a position past the end inserts at the end
                kuBitSet_Insert(set, at, n);
                model.insert(model.begin() + std::min(at, size), n, false);
            } else { // a range past the end is cut there
                kuBitSet_Remove(set, at, n);
                if (at < size)
                    model.erase(model.begin() + at, model.begin() + std::min(at + n, size));
            }
            if (step % 50 == 49) {
                kuBitSet_Clear(set);
                model.assign(model.size(), false);
            }
            expectModel(set, model);
            uint32_t origin = rng() % (size + 4) == 0 ? kNone : rng() % (size + 3);
            size_t from = origin == kNone ? 0 : std::min<size_t>(origin + 1, model.size());
            auto nextSet = std::find(model.begin() + from, model.end(), true);
            auto nextClear = std::find(model.begin() + from, model.end(), false);
            ASSERT_EQ(nextSet == model.end() ? kNone : nextSet - model.begin(),
                      kuBitSet_GetNextSet(set, origin));
            ASSERT_EQ(nextClear == model.end() ? kNone : nextClear - model.begin(),
                      kuBitSet_GetNextUnSet(set, origin));
        }
        kuBitSet_Delete(set);
    }
}
