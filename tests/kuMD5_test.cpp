#include <kuvanaTools/kuMD5.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

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

std::string hmac(const std::string &key, const std::string &message)
{
    uint8_t out[16];
    kuMD5_HMAC(message.data(), message.size(), key.data(), key.size(), out);
    return toHex(out, 16);
}

} // namespace

TEST(kuMD5, PublishedDigests)
{
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", md5(""));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", md5("abc"));
    // 80 bytes: the length no longer fits the last block's padding
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a",
              md5("1234567890123456789012345678901234567890"
                  "1234567890123456789012345678901234567890"));

    EXPECT_EQ("9294727a3638bb1c13f48ef8158bfc9d", hmac(std::string(16, '\x0b'), "Hi There"));
    EXPECT_EQ("750c783e6ab0b503eaa86e310a5db738", hmac("Jefe", "what do ya want for nothing?"));
    EXPECT_EQ("6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd", // a key over one block is hashed first
              hmac(std::string(80, '\xaa'),
                   "Test Using Larger Than Block-Size Key - Hash Key First"));
    EXPECT_EQ("74e6f7298a9c2d168935f58c001bad88", hmac("", "")); // all pad bytes
}

// Lengths and pieces are compared with a reference in kuCryptoDifferential.
TEST(kuMD5, CountCarriesAndContextKeepsTheDigest)
{
    kuMD5 c;
    uint8_t out[16];
    kuMD5_Init(&c);
    kuMD5_Add(&c, nullptr, 0);
    kuMD5_Add(&c, "abc", 3);
    EXPECT_EQ(3u, c.countLow);
    kuMD5_Get(&c, out);
    EXPECT_EQ(0x98500190u, c.state[0]); // not wiped: the chaining words hold the digest
    kuMD5_Init(&c);
    c.countLow = 0xFFFFFFC0u;
    kuMD5_Add(&c, std::string(64, 'x').data(), 64);
    EXPECT_EQ(0u, c.countLow);
    EXPECT_EQ(1u, c.countHigh);
}
