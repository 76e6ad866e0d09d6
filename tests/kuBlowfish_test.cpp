#include <kuvanaTools/kuBlowfish.h>
#include <kuvanaTools/private/kuBlowfishInternal.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

#include <stdio.h>

using kutest::fromHex;

namespace {

// The first `count` 32-bit words of pi's fractional part in hexadecimal, by
// Machin's formula pi = 16 atan(1/5) - 4 atan(1/239) on fixed-point numbers
// (word 0 the integer part) with three guard words.
using Fixed = std::vector<uint32_t>;

void divide(Fixed &x, uint32_t d, size_t from)
{
    uint64_t rem = 0;
    for (size_t i = from; i < x.size(); i++) {
        uint64_t cur = rem << 32 | x[i];
        x[i] = (uint32_t)(cur / d);
        rem = cur % d;
    }
}

void add(Fixed &sum, const Fixed &t, bool subtract)
{
    uint64_t carry = 0;
    for (size_t i = sum.size(); i-- > 0;) {
        uint64_t v = subtract ? (uint64_t)sum[i] - t[i] - carry : (uint64_t)sum[i] + t[i] + carry;
        sum[i] = (uint32_t)v;
        carry = subtract ? (v >> 32) & 1 : v >> 32;
    }
}

Fixed arctanInverse(uint32_t m, size_t words)
{
    Fixed sum(words), term(words);
    term[0] = 1;
    divide(term, m, 0);
    size_t first = 0;
    for (uint32_t k = 0;; k++) {
        while (first < words && term[first] == 0)
            first++;
        if (first == words)
            return sum;
        Fixed quotient = term;
        divide(quotient, 2 * k + 1, first);
        add(sum, quotient, k & 1);
        divide(term, m * m, first);
    }
}

std::vector<uint32_t> piWords(size_t count)
{
    size_t words = count + 4;
    Fixed a = arctanInverse(5, words), b = arctanInverse(239, words);
    Fixed quarter(words);
    for (int i = 0; i < 4; i++)
        add(quarter, a, false);
    add(quarter, b, true);
    Fixed pi(words);
    for (int i = 0; i < 4; i++)
        add(pi, quarter, false);
    EXPECT_EQ(3u, pi[0]);
    return std::vector<uint32_t>(pi.begin() + 1, pi.begin() + 1 + count);
}

const size_t kPiWords = sizeof ku::kBlowfishPi / sizeof ku::kBlowfishPi[0];

uint32_t be32(const std::vector<uint8_t> &b, size_t at)
{
    return (uint32_t)b[at] << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

std::string blockHex(uint32_t l, uint32_t r)
{
    char text[17];
    snprintf(text, sizeof text, "%08X%08X", l, r);
    return text;
}

} // namespace

TEST(kuBlowfish, InitialTablesArePiDigits)
{
    std::vector<uint32_t> pi = piWords(kPiWords);
    for (size_t i = 0; i < kPiWords; i++)
        ASSERT_EQ(pi[i], ku::kBlowfishPi[i]) << i;
}

TEST(kuBlowfish, PublishedVectors)
{
    struct {
        const char *key, *plain, *cipher;
    } cases[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
        // key lengths 1 and 24 (the key is used cyclically)
        {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
        {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210",
         "05044B62FA52D080"},
        // "abcdefghijklmnopqrstuvwxyz" on "BLOWFISH"
        {"6162636465666768696a6b6c6d6e6f707172737475767778797a", "424C4F5746495348",
         "324ED0FEF413A203"},
    };
    kuBlowfish bf;
    for (const auto &c : cases) {
        std::vector<uint8_t> key = fromHex(c.key), plain = fromHex(c.plain);
        kuBlowfish_Init(&bf, key.data(), key.size());
        uint32_t l = be32(plain, 0), r = be32(plain, 4);
        kuBlowfish_Encrypt(&bf, &l, &r);
        EXPECT_EQ(c.cipher, blockHex(l, r)) << c.key;
        kuBlowfish_Decrypt(&bf, &l, &r);
        EXPECT_EQ(c.plain, blockHex(l, r)) << c.key;
    }
    // Only 72 key bytes can reach the P-array.
    std::vector<uint8_t> key(80);
    for (size_t i = 0; i < key.size(); i++)
        key[i] = (uint8_t)(i * 13 + 1);
    kuBlowfish longer;
    kuBlowfish_Init(&bf, key.data(), 72);
    kuBlowfish_Init(&longer, key.data(), 80);
    EXPECT_EQ(0, memcmp(&bf, &longer, sizeof bf));
}

TEST(kuBlowfish, CBC)
{
    // The 8-byte-block CBC example: "7654321 Now is the time for " and zeros.
    std::vector<uint8_t> key = fromHex("0123456789ABCDEFF0E1D2C3B4A59687");
    uint32_t plain[8] = {0x37363534, 0x33323120, 0x4E6F7720, 0x69732074,
                         0x68652074, 0x696D6520, 0x666F7220, 0};
    const std::vector<uint8_t> expected =
        fromHex("6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF92CC");
    kuBlowfish bf;
    kuBlowfish_Init(&bf, key.data(), key.size());
    EXPECT_EQ(0u, bf.ivLeft | bf.ivRight);
    kuBlowfish_SetInitVector(&bf, 0xFEDCBA98, 0x76543210);
    uint32_t words[8];
    memcpy(words, plain, sizeof words);
    kuBlowfish_EncryptArrayCBC(&bf, words, 8);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(be32(expected, 4 * i), words[i]) << i;
    // The single-block helpers: IV in, IV out, IV unchanged.
    uint32_t l = plain[0], r = plain[1];
    kuBlowfish_EncryptCBC(&bf, &l, &r);
    EXPECT_EQ(blockHex(words[0], words[1]), blockHex(l, r));
    kuBlowfish_DecryptCBC(&bf, &l, &r);
    EXPECT_EQ(blockHex(plain[0], plain[1]), blockHex(l, r));
    EXPECT_EQ(blockHex(0xFEDCBA98, 0x76543210), blockHex(bf.ivLeft, bf.ivRight));

    // An odd count: the lone last word is chained like a left half whose
    // right half is zero.
    kuBlowfish_Init(&bf, "key", 3);
    kuBlowfish_SetInitVector(&bf, 0x01020304, 0x05060708);
    for (size_t count : {1, 3}) {
        const uint32_t in[3] = {0x11111111, 0x22222222, 0x33333333};
        uint32_t out[3];
        memcpy(out, in, sizeof in);
        kuBlowfish_EncryptArrayCBC(&bf, out, count);
        uint32_t cl = 0x01020304, cr = 0x05060708;
        for (size_t i = 0; i < count; i += 2) {
            cl ^= in[i];
            cr ^= i + 1 < count ? in[i + 1] : 0;
            kuBlowfish_Encrypt(&bf, &cl, &cr);
            EXPECT_EQ(blockHex(cl, i + 1 < count ? cr : 0),
                      blockHex(out[i], i + 1 < count ? out[i + 1] : 0)) << count;
        }
    }
    kuBlowfish_EncryptArrayCBC(&bf, nullptr, 0);
}
