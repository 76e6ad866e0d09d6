#include <kuvanaTools/kuMD5.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

using kutest::toHex;

// Lengths and pieces are compared with a reference in kuCryptoDifferential.
TEST(kuMD5, PublishedDigestsAndCountCarry)
{
    const std::pair<std::string, const char *> plain[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"}, // length needs a new block
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    };
    kuMD5 c;
    uint8_t out[16];
    auto hmac = [](const std::string &key, const std::string &message) {
        uint8_t out[16];
        kuMD5_HMAC(message.data(), message.size(), key.data(), key.size(), out);
        return toHex(out, 16);
    };
    for (const auto &[message, digest] : plain) {
        kuMD5_Init(&c);
        kuMD5_Add(&c, message.data(), message.size());
        kuMD5_Get(&c, out);
        EXPECT_EQ(digest, toHex(out, 16)) << message.size();
    }
    EXPECT_EQ(0x98500190u, c.state[0]); // not wiped: the chaining words hold the digest

    EXPECT_EQ("9294727a3638bb1c13f48ef8158bfc9d", hmac(std::string(16, '\x0b'), "Hi There"));
    EXPECT_EQ("6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd", // a key over one block is hashed first
              hmac(std::string(80, '\xaa'),
                   "Test Using Larger Than Block-Size Key - Hash Key First"));
    EXPECT_EQ("74e6f7298a9c2d168935f58c001bad88", hmac("", "")); // all pad bytes

    kuMD5_Init(&c);
    kuMD5_Add(&c, nullptr, 0);
    c.countLow = 0xFFFFFFC0u;
    kuMD5_Add(&c, std::string(64, 'x').data(), 64);
    EXPECT_EQ(0u, c.countLow);
    EXPECT_EQ(1u, c.countHigh);
}
