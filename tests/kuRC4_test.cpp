#include <kuvanaTools/kuRC4.h>

#include "support/Hex.h"

#include <gtest/gtest.h>

using kutest::toHex;

// Published streams; the key schedule at the key lengths that matter.
TEST(kuRC4, PublishedKeyStreamsAndKeyLengths)
{
    std::string text = "Plaintext";
    kuRC4 a, b;
    kuRC4_PrepareKey("Key", 3, &a);
    kuRC4_Process(&text[0], 5, &a); // pieces continue the stream
    kuRC4_Process(&text[5], 0, &a);
    kuRC4_Process(&text[5], 4, &a);
    EXPECT_EQ("bbf316e8d940af0ad3", toHex(text.data(), 9));
    std::string zeros(32, '\0'); // key stream bytes 0 to 31
    kuRC4_PrepareKey("\1\2\3\4\5", 5, &b);
    kuRC4_Process(&zeros[0], zeros.size(), &b);
    EXPECT_EQ("b2396305f03dc027ccc3524a0a1118a86982944f18fc82d589c403a47a0d0919",
              toHex(zeros.data(), zeros.size()));

    // The key is used cyclically: "ab" and 256 bytes of "abab..." agree; an
    // empty key is outside the contract but defined: one zero byte.
    std::string repeated(256, 'a');
    for (size_t i = 1; i < repeated.size(); i += 2)
        repeated[i] = 'b';
    const std::pair<std::string, std::string> sameSchedules[] = {{"ab", repeated},
                                                                 {"", std::string(1, '\0')}};
    for (const auto &[key, same] : sameSchedules) {
        kuRC4_PrepareKey(key.data(), key.size(), &a);
        kuRC4_PrepareKey(same.data(), same.size(), &b);
        EXPECT_EQ(0, memcmp(&a, &b, sizeof a)) << key;
    }
}
