#include <kuvanaTools/kuRC4.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

using kutest::fromHex;
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

TEST(kuRC4, PublishedKeyStreams)
{
    EXPECT_EQ("bbf316e8d940af0ad3", rc4("Key", "Plaintext"));
    EXPECT_EQ("1021bf0420", rc4("Wiki", "pedia"));
    EXPECT_EQ("45a01f645fc35b383552544b9bf5", rc4("Secret", "Attack at dawn"));
    // 40-bit key 0102030405: key stream bytes 0 to 31
    std::vector<uint8_t> key = fromHex("0102030405");
    EXPECT_EQ("b2396305f03dc027ccc3524a0a1118a86982944f18fc82d589c403a47a0d0919",
              rc4(std::string(key.begin(), key.end()), std::string(32, '\0')));
}

TEST(kuRC4, PiecesContinueTheStream)
{
    std::string text(300, '\0');
    for (size_t i = 0; i < text.size(); i++)
        text[i] = (char)(i * 29);
    std::string whole = rc4("a longer key of some bytes", text);
    kuRC4 state;
    kuRC4_PrepareKey("a longer key of some bytes", 26, &state);
    std::string pieces = text;
    size_t at = 0;
    for (size_t n : {0, 1, 7, 255, 0, 37}) {
        kuRC4_Process(&pieces[at], n, &state);
        at += n;
    }
    EXPECT_EQ(whole, toHex(pieces.data(), pieces.size()));
    EXPECT_EQ((uint8_t)at, state.i);

    // Processing again from the same key restores the text.
    kuRC4_PrepareKey("a longer key of some bytes", 26, &state);
    kuRC4_Process(&pieces[0], pieces.size(), &state);
    EXPECT_EQ(text, pieces);
}

TEST(kuRC4, KeyLengthsAndState)
{
    kuRC4 a, b;
    // the key is used cyclically: "ab" and "abab...ab" (256 bytes) agree
    std::string repeated;
    for (int i = 0; i < 128; i++)
        repeated += "ab";
    kuRC4_PrepareKey("ab", 2, &a);
    kuRC4_PrepareKey(repeated.data(), repeated.size(), &b);
    EXPECT_EQ(0, memcmp(&a, &b, sizeof a));
    EXPECT_EQ(0, a.i);
    EXPECT_EQ(0, a.j);
    // the permutation stays a permutation
    int seen[256] = {0};
    for (int v : a.state)
        seen[v]++;
    for (int n : seen)
        ASSERT_EQ(1, n);
    // an empty key is outside the contract but defined: one zero byte
    kuRC4_PrepareKey("", 0, &a);
    kuRC4_PrepareKey("\0", 1, &b);
    EXPECT_EQ(0, memcmp(&a, &b, sizeof a));
}
