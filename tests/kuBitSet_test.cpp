#include <kuvanaTools/kuBitSet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;

std::vector<uint32_t> setPositions(const kuBitSet *set)
{
    std::vector<uint32_t> positions;
    for (uint32_t p = kuBitSet_GetNextSet(set, kNone); p != kNone; p = kuBitSet_GetNextSet(set, p))
        positions.push_back(p);
    return positions;
}

kuBitSet *withBits(uint32_t bitCount, std::vector<uint32_t> positions)
{
    kuBitSet *set = kuBitSet_New(bitCount);
    for (uint32_t p : positions)
        kuBitSet_Set(set, p);
    return set;
}

// The whole state against a model, including the unused low bits of the
// last byte.
void expectModel(const kuBitSet *set, const std::vector<bool> &model)
{
    ASSERT_EQ(model.size(), set->bitCount);
    ASSERT_EQ(kuBitSet_S_GetBytes(set->bitCount), set->byteCount);
    uint32_t ones = 0;
    for (uint32_t i = 0; i < set->byteCount * 8; i++) {
        bool bit = (set->bits[i / 8] >> (7 - i % 8)) & 1;
        ASSERT_EQ(i < model.size() ? (bool)model[i] : false, bit) << "position " << i;
        ones += bit;
    }
    ASSERT_EQ(ones, set->setCount);
}

} // namespace

TEST(kuBitSet, BitOrderAndCounts)
{
    EXPECT_EQ(0u, kuBitSet_S_GetBytes(0));
    EXPECT_EQ(1u, kuBitSet_S_GetBytes(1));
    EXPECT_EQ(1u, kuBitSet_S_GetBytes(8));
    EXPECT_EQ(2u, kuBitSet_S_GetBytes(9));
    EXPECT_EQ(0x20000000u, kuBitSet_S_GetBytes(0xFFFFFFFF));

    kuBitSet *set = kuBitSet_New(10);
    EXPECT_EQ(2u, set->byteCount);
    kuBitSet_Set(set, 0);
    EXPECT_EQ(0x80, set->bits[0]);
    kuBitSet_Set(set, 9);
    EXPECT_EQ(0x40, set->bits[1]);
    kuBitSet_Set(set, 9);
    EXPECT_EQ(2u, kuBitSet_GetSetCount(set));
    kuBitSet_UnSet(set, 5); // already clear
    EXPECT_EQ(2u, kuBitSet_GetSetCount(set));
    // Out of range: ignored, and reads as clear.
    kuBitSet_Set(set, 10);
    kuBitSet_Set(set, kNone);
    kuBitSet_UnSet(set, 10);
    EXPECT_EQ(0, kuBitSet_IsSet(set, 10));
    EXPECT_EQ(2u, kuBitSet_GetSetCount(set));
    EXPECT_EQ(0x40, set->bits[1]);
    EXPECT_EQ(1, kuBitSet_IsSet(set, 9));
    kuBitSet_Clear(set);
    EXPECT_EQ(0u, kuBitSet_GetSetCount(set));
    EXPECT_EQ(10u, kuBitSet_GetBitCount(set));
    EXPECT_EQ(0, set->bits[0] | set->bits[1]);
    kuBitSet_Delete(set);
    kuBitSet_Delete(nullptr);
    EXPECT_EQ(nullptr, kuBitSet_Clone(nullptr));
}

TEST(kuBitSet, Searches)
{
    kuBitSet *set = withBits(20, {3, 7});
    EXPECT_EQ(3u, kuBitSet_GetNextSet(set, kNone));
    EXPECT_EQ(7u, kuBitSet_GetNextSet(set, 3));
    EXPECT_EQ(kNone, kuBitSet_GetNextSet(set, 7));
    EXPECT_EQ(kNone, kuBitSet_GetNextSet(set, 19));
    EXPECT_EQ(kNone, kuBitSet_GetNextSet(set, 5000));
    EXPECT_EQ(0u, kuBitSet_GetNextUnSet(set, kNone));
    EXPECT_EQ(4u, kuBitSet_GetNextUnSet(set, 2));
    EXPECT_EQ(19u, kuBitSet_GetNextUnSet(set, 18));
    // The spare bits of the last byte are no positions.
    EXPECT_EQ(kNone, kuBitSet_GetNextUnSet(set, 19));
    kuBitSet_Delete(set);

    kuBitSet *full = kuBitSet_New(12);
    for (uint32_t i = 0; i < 12; i++)
        kuBitSet_Set(full, i);
    for (uint32_t origin : {kNone, 0u, 5u, 11u, 100u})
        EXPECT_EQ(kNone, kuBitSet_GetNextUnSet(full, origin));
    kuBitSet_UnSet(full, 11);
    EXPECT_EQ(11u, kuBitSet_GetNextUnSet(full, kNone));
    kuBitSet_Delete(full);

    kuBitSet *empty = kuBitSet_New(0);
    EXPECT_EQ(kNone, kuBitSet_GetNextSet(empty, kNone));
    EXPECT_EQ(kNone, kuBitSet_GetNextUnSet(empty, kNone));
    kuBitSet_Delete(empty);
}

TEST(kuBitSet, InsertAndRemoveShiftLaterBits)
{
    kuBitSet *set = withBits(8, {1, 3, 5});
    kuBitSet_Insert(set, 3, 2);
    EXPECT_EQ(10u, set->bitCount);
    EXPECT_EQ((std::vector<uint32_t>{1, 5, 7}), setPositions(set));
    EXPECT_EQ(3u, set->setCount);
    kuBitSet_Delete(set);

    set = withBits(8, {1, 3, 4, 6});
    kuBitSet_Remove(set, 3, 2);
    EXPECT_EQ(6u, set->bitCount);
    EXPECT_EQ(1u, set->byteCount);
    EXPECT_EQ((std::vector<uint32_t>{1, 4}), setPositions(set));
    EXPECT_EQ(2u, set->setCount);
    // A range past the end is cut; a start past it does nothing.
    kuBitSet_Remove(set, 4, 10);
    EXPECT_EQ(4u, set->bitCount);
    EXPECT_EQ((std::vector<uint32_t>{1}), setPositions(set));
    kuBitSet_Remove(set, 4, 1);
    EXPECT_EQ(4u, set->bitCount);
    kuBitSet_Insert(set, 100, 3); // appended at the end
    EXPECT_EQ(7u, set->bitCount);
    EXPECT_EQ((std::vector<uint32_t>{1}), setPositions(set));
    kuBitSet_Delete(set);
}

TEST(kuBitSet, EqualityAndClone)
{
    kuBitSet *a = withBits(10, {2, 9});
    kuBitSet *b = withBits(11, {2, 9});
    EXPECT_EQ(0, kuBitSet_Equal(a, b));
    kuBitSet *c = kuBitSet_Clone(a);
    EXPECT_EQ(1, kuBitSet_Equal(a, c));
    kuBitSet_Set(c, 3);
    EXPECT_EQ(0, kuBitSet_Equal(a, c));
    EXPECT_FALSE(kuBitSet_IsSet(a, 3));
    EXPECT_EQ(0, kuBitSet_Equal(a, nullptr));
    EXPECT_EQ(1, kuBitSet_Equal(nullptr, nullptr));
    kuBitSet_Delete(a);
    kuBitSet_Delete(b);
    kuBitSet_Delete(c);
}

// Random sets, inserts and removes against a vector<bool> model.
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
            case 3:
                kuBitSet_Insert(set, at, n);
                model.insert(model.begin() + std::min(at, size), n, false);
                break;
            default:
                kuBitSet_Remove(set, at, n);
                if (at < size)
                    model.erase(model.begin() + at, model.begin() + std::min(at + n, size));
                break;
            }
            expectModel(set, model);
            // Both searches agree with the model from every origin.
            uint32_t origin = rng() % (size + 2);
            if (origin == size + 1)
                origin = kNone;
            uint32_t from = origin == kNone ? 0 : origin + 1;
            uint32_t nextSet = kNone, nextClear = kNone;
            for (uint32_t i = from; i < model.size(); i++) {
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
