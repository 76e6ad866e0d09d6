#include <kuvanaTools/kuAES128.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

using kutest::fromHex;
using kutest::toHex;

namespace {

// The key of FIPS 197 appendices A.1 and B, also used by the SP 800-38A
// examples.
const char *const kKey = "2b7e151628aed2a6abf7158809cf4f3c";

// SP 800-38A F.2.1: four CBC blocks under kKey.
const char *const kCbcIV = "000102030405060708090a0b0c0d0e0f";
const char *const kCbcPlain = "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                              "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
const char *const kCbcCipher = "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
                               "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7";

uint8_t gmul(uint8_t a, uint8_t b)
{
    uint8_t r = 0;
    for (; b; b >>= 1, a = (uint8_t)(a << 1 ^ (a & 0x80 ? 0x1b : 0)))
        r ^= (b & 1) ? a : 0;
    return r;
}

uint32_t invMixColumn(uint32_t w)
{
    static const uint8_t m[4] = {14, 11, 13, 9};
    uint32_t out = 0;
    for (int row = 0; row < 4; row++) {
        uint8_t v = 0;
        for (int k = 0; k < 4; k++)
            v ^= gmul((uint8_t)(w >> (24 - 8 * k)), m[(k - row + 4) % 4]);
        out = out << 8 | v;
    }
    return out;
}

} // namespace

TEST(kuAES128, ExampleVectorsECB)
{
    struct {
        const char *key, *plain, *cipher;
    } cases[] = {
        {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
         "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {kKey, "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32"},
    };
    for (const auto &c : cases) {
        kuAES128 *aes = kuAES128_NewECB(fromHex(c.key).data());
        std::vector<uint8_t> data = fromHex(c.plain);
        // two blocks in one call, each transformed alone
        data.insert(data.end(), data.begin(), data.end());
        EXPECT_EQ(0, kuAES128_Encrypt(aes, data.data(), data.size()));
        EXPECT_EQ(std::string(c.cipher) + c.cipher, toHex(data));
        EXPECT_EQ(0, kuAES128_Decrypt(aes, data.data(), data.size()));
        EXPECT_EQ(std::string(c.plain) + c.plain, toHex(data));
        kuAES128_Delete(aes);
    }
}

TEST(kuAES128, KeySchedules)
{
    uint32_t w[44], dw[44];
    kuAES128_SetupKeyEncrypt(w, fromHex(kKey).data());
    EXPECT_EQ(0x2b7e1516u, w[0]);
    EXPECT_EQ(0xa0fafe17u, w[4]);
    EXPECT_EQ(0xd014f9a8u, w[40]);
    EXPECT_EQ(0xb6630ca6u, w[43]);
    kuAES128_SetupKeyDecrypt(dw, fromHex(kKey).data());
    // first and last round keys unchanged, the others through InvMixColumns
    for (int i : {0, 1, 2, 3, 40, 41, 42, 43})
        EXPECT_EQ(w[i], dw[i]) << i;
    for (int i = 4; i < 40; i++)
        EXPECT_EQ(invMixColumn(w[i]), dw[i]) << i;
    EXPECT_EQ(0xdb135345u, invMixColumn(0x8e4da1bcu));
}

TEST(kuAES128, CBCChainsAcrossCalls)
{
    std::vector<uint8_t> key = fromHex(kKey), iv = fromHex(kCbcIV);
    kuAES128 *aes = kuAES128_NewCBC(key.data(), iv.data());
    std::vector<uint8_t> data = fromHex(kCbcPlain);
    EXPECT_EQ(0, kuAES128_Encrypt(aes, data.data(), 32));
    EXPECT_EQ(0, kuAES128_Encrypt(aes, data.data() + 32, 16));
    EXPECT_EQ(0, kuAES128_Encrypt(aes, data.data() + 48, 16));
    EXPECT_EQ(kCbcCipher, toHex(data));

    // SetIV restarts the stream: decrypt in one call
    kuAES128_SetIV(aes, iv.data());
    EXPECT_EQ(0, kuAES128_Decrypt(aes, data.data(), data.size()));
    EXPECT_EQ(kCbcPlain, toHex(data));
    kuAES128_Delete(aes);

    // Without an IV the object waits for SetIV; decrypting in pieces chains too.
    aes = kuAES128_NewCBC(key.data(), nullptr);
    kuAES128_SetIV(aes, iv.data());
    data = fromHex(kCbcCipher);
    for (size_t at = 0; at < data.size(); at += 16)
        EXPECT_EQ(0, kuAES128_Decrypt(aes, data.data() + at, 16));
    EXPECT_EQ(kCbcPlain, toHex(data));
    kuAES128_Delete(aes);
}

TEST(kuAES128, LengthRule)
{
    std::vector<uint8_t> key = fromHex(kKey), iv = fromHex(kCbcIV);
    kuAES128 *aes = kuAES128_NewCBC(key.data(), iv.data());
    std::vector<uint8_t> data = fromHex(kCbcPlain);
    for (size_t bad : {1, 15, 17, 20, 63}) {
        EXPECT_EQ(-1, kuAES128_Encrypt(aes, data.data(), bad));
        EXPECT_EQ(-1, kuAES128_Decrypt(aes, data.data(), bad));
    }
    EXPECT_EQ(kCbcPlain, toHex(data));
    // refused calls and empty calls leave the chaining value alone
    EXPECT_EQ(0, kuAES128_Encrypt(aes, data.data(), 0));
    EXPECT_EQ(0, kuAES128_Encrypt(aes, nullptr, 0));
    EXPECT_EQ(0, kuAES128_Encrypt(aes, data.data(), data.size()));
    EXPECT_EQ(kCbcCipher, toHex(data));
    EXPECT_EQ(-1, kuAES128_Encrypt(nullptr, data.data(), 16));
    kuAES128_Delete(aes);
    kuAES128_Delete(nullptr);
}
