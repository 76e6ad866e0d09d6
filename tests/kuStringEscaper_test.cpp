#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuStringEscaper.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <string>
#include <string.h>

using kutest::take;

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
    ASSERT_EQ(5u, n);
    EXPECT_EQ(0, memcmp(out, "a%00b", 5));
    kuFree(out);
    // The block size 3 x length + 1 must not wrap around.
    EXPECT_EQ(nullptr, kuStringEscaper_EscapeBuffer("x", SIZE_MAX / 3, 1, nullptr, '%', 1, &n));

    out = kuStringEscaper_UnescapeBuffer("%41%00z", 7, 1, '%', &n);
    ASSERT_EQ(4u, n);
    EXPECT_EQ(0, memcmp(out, "A\0z\0", 4));
    kuFree(out);
    // An escape cut by the given length ends the result.
    out = kuStringEscaper_UnescapeBuffer("ab%41", 4, 0, '%', &n);
    EXPECT_EQ(2u, n);
    kuFree(out);
}

TEST(kuStringEscaper, RoundTripOfEveryByte)
{
    unsigned char all[256];
    for (int i = 0; i < 256; i++)
        all[i] = (unsigned char)i;
    size_t escapedLength = 0;
    char *escaped = kuStringEscaper_EscapeBuffer(all, 256, 0, nullptr, '%', 1, &escapedLength);
    EXPECT_EQ(66u + 3u * 190u, escapedLength);
    size_t backLength = 0;
    char *back = kuStringEscaper_UnescapeBuffer(escaped, escapedLength, 0, '%', &backLength);
    ASSERT_EQ(256u, backLength);
    EXPECT_EQ(0, memcmp(all, back, 256));
    kuFree(escaped);
    kuFree(back);
}
