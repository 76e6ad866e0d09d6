#include <kuvanaTools/kuSHA1.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

using kutest::fromHex;
using kutest::toHex;

namespace {

std::string sha1(const std::string &text)
{
    kuSHA1 c;
    uint8_t out[20];
    kuSHA1_Init(&c);
    kuSHA1_Update(&c, text.data(), text.size());
    kuSHA1_Final(&c, out);
    return toHex(out, 20);
}

std::string hmac(const std::vector<uint8_t> &key, const std::string &message)
{
    uint8_t out[20];
    kuSHA1_HMAC(key.data(), key.size(), message.data(), message.size(), out);
    return toHex(out, 20);
}

} // namespace

TEST(kuSHA1, PublishedDigests)
{
    EXPECT_EQ("da39a3ee5e6b4b0d3255bfef95601890afd80709", sha1(""));
    EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", sha1("abc"));
    EXPECT_EQ("84983e441c3bd26ebaae4aa1f95129e5e54670f1",
              sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));

    // A million 'a' in uneven pieces.
    std::string chunk(997, 'a');
    kuSHA1 c;
    uint8_t out[20];
    kuSHA1_Init(&c);
    size_t left = 1000000;
    while (left != 0) {
        size_t n = left < chunk.size() ? left : chunk.size();
        kuSHA1_Update(&c, chunk.data(), n);
        left -= n;
    }
    kuSHA1_Final(&c, out);
    EXPECT_EQ("34aa973cd4c4daa4f61eeb2bdbad27316534016f", toHex(out, 20));
}

TEST(kuSHA1, ByteByByteAndWipe)
{
    std::string text;
    for (int i = 0; i < 150; i++)
        text += (char)(i * 91 + 3);
    for (size_t n : {55, 56, 63, 64, 65, 150}) {
        kuSHA1 c;
        uint8_t out[20];
        kuSHA1_Init(&c);
        for (size_t i = 0; i < n; i++)
            kuSHA1_Update(&c, &text[i], 1);
        EXPECT_EQ(n * 8, c.count[0]);
        kuSHA1_Final(&c, out);
        EXPECT_EQ(sha1(text.substr(0, n)), toHex(out, 20)) << n;
        // Final leaves nothing of the message behind.
        const uint8_t *raw = (const uint8_t *)&c;
        for (size_t i = 0; i < sizeof c; i++)
            ASSERT_EQ(0, raw[i]) << i;
    }
}

TEST(kuSHA1, BitCountCarriesIntoHighWord)
{
    kuSHA1 c;
    kuSHA1_Init(&c);
    c.count[0] = 0xFFFFFE00u;
    kuSHA1_Update(&c, std::string(64, 'x').data(), 64);
    EXPECT_EQ(0u, c.count[0]);
    EXPECT_EQ(1u, c.count[1]);
}

TEST(kuSHA1, HMACPublishedCases)
{
    EXPECT_EQ("b617318655057264e28bc0b6fb378c8ef146be00",
              hmac(std::vector<uint8_t>(20, 0x0b), "Hi There"));
    EXPECT_EQ("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79",
              hmac({'J', 'e', 'f', 'e'}, "what do ya want for nothing?"));
    EXPECT_EQ("125d7342b9ac11cd91a39af48aa17b4f63f175d3",
              hmac(std::vector<uint8_t>(20, 0xaa), std::string(50, '\xdd')));
    EXPECT_EQ("4c9007f4026250c6bc8414f9bf50c86c2d7235da",
              hmac(fromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"),
                   std::string(50, '\xcd')));
    EXPECT_EQ("4c1a03424b55e07fe7f27be1d58bb9324a9a5a04",
              hmac(std::vector<uint8_t>(20, 0x0c), "Test With Truncation"));
    std::vector<uint8_t> longKey(80, 0xaa);
    EXPECT_EQ("aa4ae5e15272d00e95705637ce8a3b55ed402112",
              hmac(longKey, "Test Using Larger Than Block-Size Key - Hash Key First"));
    EXPECT_EQ("e8e99d0f45237d786d6bbaa7965c7808bbff1a91",
              hmac(longKey, "Test Using Larger Than Block-Size Key and Larger Than One "
                            "Block-Size Data"));
    // a key over 64 bytes acts as its digest
    EXPECT_EQ(hmac(fromHex(sha1(std::string(80, '\xaa'))), "m"), hmac(longKey, "m"));
    // an empty key is all pad bytes
    EXPECT_EQ("fbdb1d1b18aa6c08324b7d64b71fb76370690e1d", hmac({}, ""));
}
