#include <kuvanaTools/kuRand.h>
#include <kuvanaTools/kuUUID.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A platform generator that replays the given values, over and over; each
// 32-bit result of kuRand_UInt32 is taken as four bytes, first one highest.
struct ScriptedRand {
    kutest::ScopedPlatformHooks hooks;
    std::vector<uint32_t> words;
    size_t calls = 0;

    explicit ScriptedRand(std::vector<uint32_t> w) : words(std::move(w))
    {
        hooks->rand = [this] {
            uint32_t word = words[calls / 4 % words.size()];
            uint32_t byte = word >> (24 - calls % 4 * 8) & 0xFF;
            ++calls;
            return byte | 0xABCDE00u; // only the low 8 bits may count
        };
    }
};

TEST(kuRand, WordsRangesBytesAndSeedingOnce)
{
    ScriptedRand r({0xDEADBEEF, 0x80000001});
    EXPECT_EQ(0xDEADBEEFu, kuRand_UInt32());
    EXPECT_EQ((int32_t)0x80000001, kuRand_Int32());
    // each random byte is the last of its four: r mod 256; none for 0 or null
    std::vector<uint8_t> bytes(5);
    kuUUID_GetRandomBytes(bytes.data(), 4);
    kuUUID_GetRandomBytes(bytes.data(), 0);
    kuUUID_GetRandomBytes(nullptr, 3);
    EXPECT_EQ((std::vector<uint8_t>{0xEF, 0x01, 0xEF, 0x01, 0}), bytes);
    EXPECT_EQ(24u, r.calls);
    for (uint32_t w : {0u, 1u, 6u, 7u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x12345678u}) {
        r.words = {w}; // every draw below gets w
        EXPECT_EQ(5u, kuRand_MinMaxUInt32(5, 5));
        EXPECT_EQ(w, kuRand_MinMaxUInt32(0, UINT32_MAX));
        EXPECT_EQ(10 + w, kuRand_MinMaxUInt32(10, 9)); // wraps to the full range
        EXPECT_EQ(20 + w % 0xFFFFFFF7u, kuRand_MinMaxUInt32(20, 10));
        EXPECT_EQ(UINT32_MAX - 1 + w % 2, kuRand_MinMaxUInt32(UINT32_MAX - 1, UINT32_MAX));
        EXPECT_EQ((int32_t)(w % 7) - 3, kuRand_MinMaxInt32(-3, 3));
        EXPECT_EQ((int32_t)(0x80000000u + w), kuRand_MinMaxInt32(INT32_MIN, INT32_MAX));
        EXPECT_EQ((int16_t)(INT16_MIN + w % 65536), kuRand_MinMax(INT16_MIN, INT16_MAX));
        EXPECT_EQ((uint16_t)(w % 65536), kuRand_MinMaxUInt16(0, UINT16_MAX));
        // max < min: the span wraps in 32 bits, the result is cut to 16
        EXPECT_EQ((uint16_t)(9 + w % 0xFFFFFFFFu), kuRand_MinMaxUInt16(9, 7));
    }

    // the seeded flag is process-wide: look at it from a fresh child
    kutest::ChildResult child = kutest::runInChild([] {
        kutest::ScopedPlatformHooks hooks;
        kutest::FakeClock clock;
        clock.now = kuTimeVal{50, 123456};
        clock.install(hooks);
        std::vector<uint32_t> seeds;
        hooks->setSeed = [&](uint32_t s) { seeds.push_back(s); };
        int sum = kuRand_Init() + kuUtil_InitRandom() + kuRand_Init();
        // once; the microseconds plus a stack address, not the bare microseconds
        _exit(sum == 3 && seeds.size() == 1 && seeds[0] != 123456u ? 0 : 1);
    });
    EXPECT_EQ(0, child.exitStatus) << child.err;
}

} // namespace
