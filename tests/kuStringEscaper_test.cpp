#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuStringEscaper.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <string>

using kutest::take;

// The bytes of a buffer result (the count it reports included), released.
static std::string bytes(char *data, size_t length)
{
    std::string copy(data, length);
    kuFree(data);
    return copy;
}

TEST(kuStringEscaper, EscapeAndUnescapeInStringsAndBuffers)
{
    EXPECT_EQ("a%20b%2Dc", take(kuStringEscaper_Escape("a b-c")));
    EXPECT_EQ("\xc3\xa9%2F", take(kuStringEscaper_EscapeMinimal("\xc3\xa9/")));
    EXPECT_EQ("<null>", take(kuStringEscaper_Escape(nullptr)));
    char onlyDash[129] = {}; // a byte of 128 must not read past the 128 entries
    onlyDash['-'] = 1;
    EXPECT_EQ("-!61!2E\x80", take(kuStringEscaper_EscapeAdvanced("-a.\x80", onlyDash, '!', 0)));

    EXPECT_EQ("aAb", take(kuStringEscaper_Unescape("a%41%zzb%4")));
    EXPECT_EQ("\xc3\xa9", take(kuStringEscaper_Unescape("%c3%A9")));
    EXPECT_EQ("yz", take(kuStringEscaper_Unescape("y%g1z%"))); // one digit is not enough
    EXPECT_EQ("q", take(kuStringEscaper_UnescapeAdvanced("!71!", '!')));

    size_t n = 99;
    char *out = kuStringEscaper_EscapeBuffer("a\0b", 3, 0, kkuDefaultConvTable, '%', 1, &n);
    EXPECT_EQ("a%00b", bytes(out, n));
    // The block size 3 x length + 1 must not wrap around.
    EXPECT_EQ(nullptr, kuStringEscaper_EscapeBuffer("x", SIZE_MAX / 3, 1, nullptr, '%', 1, &n));
    // One that fits is asked for, and its failure ends in the fatal path.
    EXPECT_EXIT(kuStringEscaper_EscapeBuffer("x", (SIZE_MAX - 1) / 3, 1, nullptr, '%', 1, &n),
                testing::ExitedWithCode(255), "");
    out = kuStringEscaper_UnescapeBuffer("%41%00z", 7, 1, '%', &n);
    EXPECT_EQ(std::string("A\0z\0", 4), bytes(out, n));
    // An escape cut by the given length ends the result.
    out = kuStringEscaper_UnescapeBuffer("ab%41", 4, 0, '%', &n);
    EXPECT_EQ("ab", bytes(out, n));

    // Every byte: the default table (null) passes exactly its alphabet, each
    // byte as itself, and escapes the other 190; the way back restores all.
    std::string all, passing;
    for (int i = 0; i < 256; i++)
        all += (char)i;
    out = kuStringEscaper_EscapeBuffer(all.data(), 256, 0, nullptr, '%', 1, &n);
    std::string escaped = bytes(out, n);
    for (size_t i = 0; i < escaped.size(); i += escaped[i] == '%' ? 3 : 1)
        passing += escaped[i] == '%' ? "" : escaped.substr(i, 1);
    EXPECT_EQ(".0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_`abcdefghijklmnopqrstuvwxyz", passing);
    EXPECT_EQ(66u + 3u * 190u, escaped.size());
}
