#include <kuvanaTools/kuRC4.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

using kutest::toHex;

namespace {

std::string rc4(const std::string &key, std::string text)
{
    kuRC4 state;
    kuRC4_PrepareKey(key.data(), key.size(), &state);
    kuRC4_Process(&text[0], text.size(), &state);
    return toHex(text.data(), text.size());
}

} // namespace

TEST(kuRC4, PublishedKeyStreamsAndKeyLengths)
{
    EXPECT_EQ("bbf316e8d940af0ad3", rc4("Key", "Plaintext"));
    EXPECT_EQ("b2396305f03dc027ccc3524a0a1118a86982944f18fc82d589c403a47a0d0919",
              rc4("\1\2\3\4\5", std::string(32, '\0'))); // key stream bytes 0 to 31

    // The key is used cyclically: "ab" and 256 bytes of "abab..." agree.
    std::string repeated;
    for (int i = 0; i < 128; i++)
        repeated += "ab";
    kuRC4 a, b;
    kuRC4_PrepareKey("ab", 2, &a);
    kuRC4_PrepareKey(repeated.data(), repeated.size(), &b);
    EXPECT_EQ(0, memcmp(&a, &b, sizeof a));
    // An empty key is outside the contract but defined: one zero byte.
    kuRC4_PrepareKey("", 0, &a);
    kuRC4_PrepareKey("\0", 1, &b);
    EXPECT_EQ(0, memcmp(&a, &b, sizeof a));
    // Pieces continue the stream (compared at every length in kuCryptoDifferential).
    std::string text = "Plain", piece = "text";
    kuRC4_PrepareKey("Key", 3, &a);
    kuRC4_Process(&text[0], text.size(), &a);
    kuRC4_Process(&piece[0], 0, &a);
    kuRC4_Process(&piece[0], piece.size(), &a);
    EXPECT_EQ("bbf316e8d940af0ad3", toHex((text + piece).data(), 9));
    EXPECT_EQ(9, a.i);
}
