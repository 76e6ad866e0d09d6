#include <kuvanaTools/kuBlowfish.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

#include <numeric>

using kutest::fromHex;

using Block = std::pair<uint32_t, uint32_t>;

// The key schedule runs every entry of the initial tables through the
// cipher, so a wrong table word changes every vector below.
TEST(kuBlowfish, PublishedVectorsAndCBC)
{
    const struct { const char *key; Block plain, cipher; } cases[] = {
        {"0000000000000000", {0, 0}, {0x4EF99745, 0x6198DD78}},
        // key lengths 1 and 26 (the key is used cyclically): "a" to "z" on "BLOWFISH"
        {"F0", {0xFEDCBA98, 0x76543210}, {0xF9AD597C, 0x49DB005E}},
        {"6162636465666768696a6b6c6d6e6f707172737475767778797a", {0x424C4F57, 0x46495348},
         {0x324ED0FE, 0xF413A203}},
    };
    kuBlowfish bf;
    for (const auto &c : cases) {
        std::vector<uint8_t> key = fromHex(c.key);
        kuBlowfish_Init(&bf, key.data(), key.size());
        Block b = c.plain;
        kuBlowfish_Encrypt(&bf, &b.first, &b.second);
        EXPECT_EQ(c.cipher, b) << c.key;
        kuBlowfish_Decrypt(&bf, &b.first, &b.second);
        EXPECT_EQ(c.plain, b) << c.key;
    }
    // Only 72 key bytes can reach the P-array.
    std::vector<uint8_t> key(80);
    std::iota(key.begin(), key.end(), 1);
    kuBlowfish longer;
    kuBlowfish_Init(&bf, key.data(), 72);
    kuBlowfish_Init(&longer, key.data(), 80);
    EXPECT_EQ(0, memcmp(&bf, &longer, sizeof bf));

    // The 8-byte-block CBC example: "7654321 Now is the time for " and zeros.
    key = fromHex("0123456789ABCDEFF0E1D2C3B4A59687");
    uint32_t plain[8] = {0x37363534, 0x33323120, 0x4E6F7720, 0x69732074,
                         0x68652074, 0x696D6520, 0x666F7220, 0};
    const uint32_t expected[8] = {0x6B77B4D6, 0x3006DEE6, 0x05B156E2, 0x74039793,
                                  0x58DEB9E7, 0x154616D9, 0x59F1652B, 0xD5FF92CC};
    kuBlowfish_Init(&bf, key.data(), key.size());
    EXPECT_EQ(0u, bf.ivLeft | bf.ivRight);
    kuBlowfish_SetInitVector(&bf, 0xFEDCBA98, 0x76543210);
    for (size_t count : {8, 7}) { // the lone last word is chained with a zero right half
        std::vector<uint32_t> words(plain, plain + 8);
        kuBlowfish_EncryptArrayCBC(&bf, words.data(), count);
        words.resize(count);
        EXPECT_EQ(std::vector<uint32_t>(expected, expected + count), words) << count;
    }
    kuBlowfish_EncryptArrayCBC(&bf, nullptr, 0);
    // The single-block helpers: IV in, IV out, IV unchanged.
    Block b(plain[0], plain[1]);
    kuBlowfish_EncryptCBC(&bf, &b.first, &b.second);
    EXPECT_EQ(Block(expected[0], expected[1]), b);
    kuBlowfish_DecryptCBC(&bf, &b.first, &b.second);
    EXPECT_EQ(Block(plain[0], plain[1]), b);
    EXPECT_EQ(Block(0xFEDCBA98, 0x76543210), Block(bf.ivLeft, bf.ivRight));
    // A missing half leaves the other alone.
    kuBlowfish_Encrypt(&bf, nullptr, &b.second);
    kuBlowfish_Decrypt(&bf, &b.first, nullptr);
    EXPECT_EQ(Block(plain[0], plain[1]), b);
}
