#include <kuvanaTools/kuMD5.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

#include <string.h>

using kutest::fromHex;
using kutest::toHex;

namespace {

std::string md5(const std::string &text)
{
    kuMD5 c;
    uint8_t out[16];
    kuMD5_Init(&c);
    kuMD5_Add(&c, text.data(), text.size());
    kuMD5_Get(&c, out);
    return toHex(out, 16);
}

std::string hmac(const std::vector<uint8_t> &key, const std::string &message)
{
    uint8_t out[16];
    kuMD5_HMAC(message.data(), message.size(), key.data(), key.size(), out);
    return toHex(out, 16);
}

} // namespace

TEST(kuMD5, PublishedDigests)
{
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", md5(""));
    EXPECT_EQ("0cc175b9c0f1b6a831c399e269772661", md5("a"));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", md5("abc"));
    EXPECT_EQ("f96b697d7cb7938d525a2f31aaf161d0", md5("message digest"));
    EXPECT_EQ("c3fcd3d76192e4007dfb496cca67e13b", md5("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ("d174ab98d277d9f5a5611c2c9f419d9f",
              md5("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"));
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a",
              md5("1234567890123456789012345678901234567890"
                  "1234567890123456789012345678901234567890"));
}

TEST(kuMD5, PiecesAndPaddingBoundaries)
{
    // Lengths around the 56-byte padding limit and the block size, fed whole
    // and one byte at a time.
    std::string text;
    for (int i = 0; i < 200; i++)
        text += (char)(i * 37 + 11);
    for (size_t n : {55, 56, 57, 63, 64, 65, 119, 120, 128, 200}) {
        std::string part = text.substr(0, n);
        kuMD5 c;
        uint8_t out[16];
        kuMD5_Init(&c);
        kuMD5_Add(&c, nullptr, 0);
        for (char ch : part) {
            kuMD5_Add(&c, &ch, 1);
            kuMD5_Add(&c, "", 0);
        }
        kuMD5_Get(&c, out);
        EXPECT_EQ(md5(part), toHex(out, 16)) << n;
        EXPECT_EQ(n, c.countLow);
    }
}

TEST(kuMD5, ContextIsNotWipedAndCountCarries)
{
    kuMD5 c;
    uint8_t out[16];
    kuMD5_Init(&c);
    kuMD5_Add(&c, "abc", 3);
    kuMD5_Get(&c, out);
    // the chaining words are left holding the digest
    EXPECT_EQ(0x98500190u, c.state[0]);

    // The low byte count wraps into the high word.
    kuMD5_Init(&c);
    c.countLow = 0xFFFFFFC0u;
    kuMD5_Add(&c, std::string(64, 'x').data(), 64);
    EXPECT_EQ(0u, c.countLow);
    EXPECT_EQ(1u, c.countHigh);
}

TEST(kuMD5, HMACPublishedCases)
{
    EXPECT_EQ("9294727a3638bb1c13f48ef8158bfc9d", hmac(std::vector<uint8_t>(16, 0x0b), "Hi There"));
    EXPECT_EQ("750c783e6ab0b503eaa86e310a5db738",
              hmac({'J', 'e', 'f', 'e'}, "what do ya want for nothing?"));
    EXPECT_EQ("56be34521d144c88dbb8c733f0e8b3f6",
              hmac(std::vector<uint8_t>(16, 0xaa), std::string(50, '\xdd')));
    EXPECT_EQ("697eaf0aca3a3aea3a75164746ffaa79",
              hmac(fromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"),
                   std::string(50, '\xcd')));
    EXPECT_EQ("56461ef2342edc00f9bab995690efd4c",
              hmac(std::vector<uint8_t>(16, 0x0c), "Test With Truncation"));
    std::vector<uint8_t> longKey(80, 0xaa);
    EXPECT_EQ("6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd",
              hmac(longKey, "Test Using Larger Than Block-Size Key - Hash Key First"));
    EXPECT_EQ("6f630fad67cda0ee1fb1f562db3aa53e",
              hmac(longKey, "Test Using Larger Than Block-Size Key and Larger Than One "
                            "Block-Size Data"));
    // a key over 64 bytes acts as its digest
    EXPECT_EQ(hmac(fromHex(md5(std::string(80, '\xaa'))), "m"), hmac(longKey, "m"));
    // an empty key is all pad bytes
    EXPECT_EQ("74e6f7298a9c2d168935f58c001bad88", hmac({}, ""));
}
