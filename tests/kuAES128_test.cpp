#include <kuvanaTools/kuAES128.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

using kutest::fromHex;
using kutest::toHex;

// The key of FIPS 197 appendices A.1 and B, and the SP 800-38A F.2.1 CBC
// example under it.
TEST(kuAES128, ExampleVectorsKeySchedulesAndCBCChaining)
{
    const std::vector<uint8_t> key = fromHex("2b7e151628aed2a6abf7158809cf4f3c");
    const std::string plain = "3243f6a8885a308d313198a2e0370734";
    const std::string cipher = "3925841d02dc09fbdc118597196a0b32";
    kuAES128 *aes = kuAES128_NewECB(key.data());
    std::vector<uint8_t> data = fromHex(plain + plain);
    EXPECT_EQ(0, kuAES128_Encrypt(aes, data.data(), data.size())); // each block alone
    EXPECT_EQ(cipher + cipher, toHex(data));
    EXPECT_EQ(0, kuAES128_Decrypt(aes, data.data(), data.size()));
    EXPECT_EQ(plain + plain, toHex(data));
    kuAES128_Delete(aes);

    // The decryption schedule: the first and last round keys as they are, the
    // others through InvMixColumns.
    uint32_t w[44], dw[44];
    kuAES128_SetupKeyEncrypt(w, key.data());
    kuAES128_SetupKeyDecrypt(dw, key.data());
    EXPECT_EQ((std::vector<uint32_t>{0xa0fafe17, 0xb6630ca6, 0x09cf4f3c, 0x2b3708a7, 0x664cfbb4,
                                     0xd014f9a8}),
              (std::vector<uint32_t>{w[4], w[43], dw[3], dw[4], dw[39], dw[40]}));

    const char *const cbcPlain = "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                                 "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
    const std::vector<uint8_t> iv = fromHex("000102030405060708090a0b0c0d0e0f");
    // Without an IV the object waits for SetIV; partial blocks are refused.
    aes = kuAES128_NewCBC(key.data(), nullptr);
    kuAES128_SetIV(aes, iv.data());
    data = fromHex(cbcPlain);
    for (size_t bad : {1, 15, 17, 63}) { // refused without touching data or chaining value
        EXPECT_EQ(-1, kuAES128_Encrypt(aes, data.data(), bad));
        EXPECT_EQ(-1, kuAES128_Decrypt(aes, data.data(), bad));
    }
    EXPECT_EQ(0, kuAES128_Encrypt(aes, nullptr, 0));
    EXPECT_EQ(0, kuAES128_Encrypt(aes, data.data(), 32));
    EXPECT_EQ(0, kuAES128_Encrypt(aes, data.data() + 32, 32));
    EXPECT_EQ("7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
              "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7",
              toHex(data));
    kuAES128_SetIV(aes, iv.data()); // restarts the stream
    for (size_t at = 0; at < data.size(); at += 16)
        EXPECT_EQ(0, kuAES128_Decrypt(aes, data.data() + at, 16));
    EXPECT_EQ(cbcPlain, toHex(data));
    kuAES128_Delete(aes);
    EXPECT_EQ(-1, kuAES128_Encrypt(nullptr, data.data(), 16));
    kuAES128_Delete(nullptr);
}
