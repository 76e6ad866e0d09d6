#include <kuvanaTools/kuRC4.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

using kutest::toHex;

namespace {

const char kKey[] = "a longer key of some bytes";

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
}

TEST(kuRC4, PiecesContinueTheStream)
{
    std::string text(300, '\0');
    for (size_t i = 0; i < text.size(); i++)
        text[i] = (char)(i * 29);
    kuRC4 state;
    kuRC4_PrepareKey(kKey, sizeof kKey - 1, &state);
    std::string pieces = text;
    size_t at = 0;
    for (size_t n : {0, 1, 7, 255, 0, 37}) {
        kuRC4_Process(&pieces[at], n, &state);
        at += n;
    }
    EXPECT_EQ(rc4(kKey, text), toHex(pieces.data(), pieces.size()));
    EXPECT_EQ((uint8_t)at, state.i);
    // Processing again from the same key restores the text.
    kuRC4_PrepareKey(kKey, sizeof kKey - 1, &state);
    kuRC4_Process(&pieces[0], pieces.size(), &state);
    EXPECT_EQ(text, pieces);
}
