#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuStringEscaper.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <string>
#include <string.h>

using kutest::take;

namespace {

// The bytes of a buffer result (the count it reports included), released.
std::string bytes(char *data, size_t length)
{
    std::string copy(data, length);
    kuFree(data);
    return copy;
}

} // namespace

TEST(kuStringEscaper, DefaultTablePassesExactlyItsAlphabet)
{
    std::string passing;
    for (int c = 0; c < 128; c++) {
        if (kkuDefaultConvTable[c] != 0) {
            EXPECT_EQ(c, kkuDefaultConvTable[c]);
            passing += (char)c;
        }
    }
    EXPECT_EQ(".0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_`abcdefghijklmnopqrstuvwxyz", passing);
}

TEST(kuStringEscaper, EscapeAndUnescape)
{
    EXPECT_EQ("a%20b%2Dc", take(kuStringEscaper_Escape("a b-c")));
    EXPECT_EQ("%C3%A9", take(kuStringEscaper_Escape("\xc3\xa9")));
    EXPECT_EQ("\xc3\xa9%2F", take(kuStringEscaper_EscapeMinimal("\xc3\xa9/")));
    EXPECT_EQ("<null>", take(kuStringEscaper_Escape(nullptr)));
    char onlyDash[128] = {};
    onlyDash['-'] = 1;
    EXPECT_EQ("-!61!2E", take(kuStringEscaper_EscapeAdvanced("-a.", onlyDash, '!', 0)));

    EXPECT_EQ("aAb", take(kuStringEscaper_Unescape("a%41%zzb%4")));
    EXPECT_EQ("\xc3\xa9", take(kuStringEscaper_Unescape("%c3%A9")));
    EXPECT_EQ("yz", take(kuStringEscaper_Unescape("y%g1z%"))); // one digit is not enough
    EXPECT_EQ("q", take(kuStringEscaper_UnescapeAdvanced("!71!", '!')));
}

TEST(kuStringEscaper, BufferFormsCountBytesAndStayInTheirLength)
{
    size_t n = 99;
    char *out = kuStringEscaper_EscapeBuffer("a\0b", 3, 0, kkuDefaultConvTable, '%', 1, &n);
    EXPECT_EQ("a%00b", bytes(out, n));
    // The block size 3 x length + 1 must not wrap around.
    EXPECT_EQ(nullptr, kuStringEscaper_EscapeBuffer("x", SIZE_MAX / 3, 1, nullptr, '%', 1, &n));
    out = kuStringEscaper_UnescapeBuffer("%41%00z", 7, 1, '%', &n);
    EXPECT_EQ(std::string("A\0z\0", 4), bytes(out, n));
    // An escape cut by the given length ends the result.
    out = kuStringEscaper_UnescapeBuffer("ab%41", 4, 0, '%', &n);
    EXPECT_EQ("ab", bytes(out, n));

    // Every byte: with the default table (null) 66 pass and 190 take three
    // bytes each; the way back restores them all.
    std::string all;
    for (int i = 0; i < 256; i++)
        all += (char)i;
    out = kuStringEscaper_EscapeBuffer(all.data(), 256, 0, nullptr, '%', 1, &n);
    std::string escaped = bytes(out, n);
    EXPECT_EQ(66u + 3u * 190u, escaped.size());
    out = kuStringEscaper_UnescapeBuffer(escaped.data(), escaped.size(), 0, '%', &n);
    EXPECT_EQ(all, bytes(out, n));
}
