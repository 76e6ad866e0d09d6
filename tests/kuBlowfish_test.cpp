#include <kuvanaTools/kuBlowfish.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <numeric>

using kutest::fromHex;

namespace {

std::string blockHex(uint32_t l, uint32_t r)
{
    char text[17];
    snprintf(text, sizeof text, "%08X%08X", l, r);
    return text;
}

} // namespace

// The key schedule runs every entry of the initial tables through the
// cipher, so a wrong table word changes every vector below.
TEST(kuBlowfish, PublishedVectorsAndCBC)
{
    struct {
        const char *key;
        uint32_t left, right;
        const char *cipher;
    } cases[] = {
        {"0000000000000000", 0, 0, "4EF997456198DD78"},
        // key lengths 1 and 26 (the key is used cyclically): "a" to "z" on "BLOWFISH"
        {"F0", 0xFEDCBA98, 0x76543210, "F9AD597C49DB005E"},
        {"6162636465666768696a6b6c6d6e6f707172737475767778797a", 0x424C4F57, 0x46495348,
         "324ED0FEF413A203"},
    };
    kuBlowfish bf;
    for (const auto &c : cases) {
        std::vector<uint8_t> key = fromHex(c.key);
        kuBlowfish_Init(&bf, key.data(), key.size());
        uint32_t l = c.left, r = c.right;
        kuBlowfish_Encrypt(&bf, &l, &r);
        EXPECT_EQ(c.cipher, blockHex(l, r)) << c.key;
        kuBlowfish_Decrypt(&bf, &l, &r);
        EXPECT_EQ(blockHex(c.left, c.right), blockHex(l, r)) << c.key;
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
        uint32_t words[8];
        memcpy(words, plain, sizeof words);
        kuBlowfish_EncryptArrayCBC(&bf, words, count);
        for (size_t i = 0; i < count; i++)
            EXPECT_EQ(expected[i], words[i]) << count << "/" << i;
    }
    kuBlowfish_EncryptArrayCBC(&bf, nullptr, 0);
    // The single-block helpers: IV in, IV out, IV unchanged.
    uint32_t left = plain[0], right = plain[1];
    kuBlowfish_EncryptCBC(&bf, &left, &right);
    EXPECT_EQ(blockHex(expected[0], expected[1]), blockHex(left, right));
    kuBlowfish_DecryptCBC(&bf, &left, &right);
    EXPECT_EQ(blockHex(plain[0], plain[1]), blockHex(left, right));
    EXPECT_EQ(blockHex(0xFEDCBA98, 0x76543210), blockHex(bf.ivLeft, bf.ivRight));
    // A missing half leaves the other alone.
    kuBlowfish_Encrypt(&bf, nullptr, &right);
    kuBlowfish_Decrypt(&bf, &left, nullptr);
    EXPECT_EQ(blockHex(plain[0], plain[1]), blockHex(left, right));
}
