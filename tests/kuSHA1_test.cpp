#include <kuvanaTools/kuSHA1.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

using kutest::toHex;

// Lengths, pieces and the HMAC are compared with a reference in kuCryptoDifferential.
TEST(kuSHA1, PublishedDigestsCountCarryAndWipe)
{
    const std::pair<std::string, const char *> plain[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {std::string(56, 'a'), "c2db330f6083854c99d4b5bfb6e8f29f201be699"}, // needs a new block
    };
    kuSHA1 c;
    uint8_t out[20];
    for (const auto &[message, digest] : plain) {
        kuSHA1_Init(&c);
        kuSHA1_Update(&c, message.data(), message.size());
        kuSHA1_Final(&c, out);
        EXPECT_EQ(digest, toHex(out, 20)) << message.size();
    }
    EXPECT_EQ(std::string(2 * sizeof c, '0'), toHex(&c, sizeof c)); // nothing of the message left
    kuSHA1_Init(&c);
    kuSHA1_Update(&c, nullptr, 5); // no data: nothing counted
    EXPECT_EQ(0u, c.count[0]);
    kuSHA1_HMAC(std::string(20, '\x0b').data(), 20, "Hi There", 8, out);
    EXPECT_EQ("b617318655057264e28bc0b6fb378c8ef146be00", toHex(out, 20));

    kuSHA1_Init(&c);
    c.count[0] = 0xFFFFFE00u; // the bit count carries into the high word
    kuSHA1_Update(&c, std::string(64, 'x').data(), 64);
    EXPECT_EQ(0u, c.count[0]);
    EXPECT_EQ(1u, c.count[1]);
}
