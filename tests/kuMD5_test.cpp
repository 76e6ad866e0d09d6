#include <kuvanaTools/kuMD5.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

using kutest::toHex;

// Lengths, pieces and the HMAC are compared with a reference in kuCryptoDifferential.
TEST(kuMD5, PublishedDigestsAndCountCarry)
{
    const std::pair<std::string, const char *> plain[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"}, // length needs a new block
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    };
    kuMD5 c;
    uint8_t out[16];
    for (const auto &[message, digest] : plain) {
        kuMD5_Init(&c);
        kuMD5_Add(&c, message.data(), message.size());
        kuMD5_Get(&c, out);
        EXPECT_EQ(digest, toHex(out, 16)) << message.size();
    }
    EXPECT_EQ(0x98500190u, c.state[0]); // not wiped: the chaining words hold the digest
    kuMD5_HMAC("Hi There", 8, std::string(16, '\x0b').data(), 16, out);
    EXPECT_EQ("9294727a3638bb1c13f48ef8158bfc9d", toHex(out, 16));
    kuMD5_Init(&c);
    kuMD5_Add(&c, nullptr, 0);
    c.countLow = 0xFFFFFFC0u;
    kuMD5_Add(&c, std::string(64, 'x').data(), 64);
    EXPECT_EQ(0u, c.countLow);
    EXPECT_EQ(1u, c.countHigh);
}
