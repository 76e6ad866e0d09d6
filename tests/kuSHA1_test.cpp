#include <kuvanaTools/kuSHA1.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

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

std::string hmac(const std::string &key, const std::string &message)
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
    EXPECT_EQ("b617318655057264e28bc0b6fb378c8ef146be00",
              hmac(std::string(20, '\x0b'), "Hi There"));
    EXPECT_EQ("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79",
              hmac("Jefe", "what do ya want for nothing?"));
    EXPECT_EQ("aa4ae5e15272d00e95705637ce8a3b55ed402112", // a key over one block is hashed first
              hmac(std::string(80, '\xaa'),
                   "Test Using Larger Than Block-Size Key - Hash Key First"));
    EXPECT_EQ("fbdb1d1b18aa6c08324b7d64b71fb76370690e1d", hmac("", "")); // all pad bytes
}

// Lengths and pieces are compared with a reference in kuCryptoDifferential.
TEST(kuSHA1, CountCarriesAndFinalWipes)
{
    kuSHA1 c;
    uint8_t out[20];
    kuSHA1_Init(&c);
    c.count[0] = 0xFFFFFE00u; // the bit count carries into the high word
    kuSHA1_Update(&c, std::string(64, 'x').data(), 64);
    EXPECT_EQ(0u, c.count[0]);
    EXPECT_EQ(1u, c.count[1]);
    kuSHA1_Final(&c, out);
    EXPECT_EQ(std::string(2 * sizeof c, '0'), toHex(&c, sizeof c)); // nothing of the message left
}
