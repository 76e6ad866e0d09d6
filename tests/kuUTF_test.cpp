#include <kuvanaTools/kuUTF.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>

using kutest::take;
using namespace std::string_literals;

namespace {
// The result, a space, and the bytes stored up to the first untouched one.
std::string convert(bool toModified, const char *text, int length, size_t size)
{
    char out[16];
    memset(out, '#', sizeof out);
    int r = toModified ? kuUTF_UTF8ToModifiedUTF8(text, length, out, size)
                       : kuUTF_ModifiedUTF8ToUTF8(text, length, out, size);
    return std::to_string(r) + " " + std::string(out, std::find(out, out + 16, '#'));
}
char *toLatin1(const void *data, size_t n) { return kuUTF_UTF8ToISO88591((const char *)data, n); }
char *fromLatin1(const void *data, size_t n) { return kuUTF_ISO88591ToUTF8((const char *)data, n); }
} // namespace

// With a length, C0 80 is a zero byte; with -1 it ends the text. A lone high
// half is copied as it is; a cut sequence is dropped. A destination too small
// for the whole text fails, and so does one with no room for the terminator.
TEST(kuUTF, ModifiedUTF8Latin1AndUTF16BothWays)
{
    const char *pair = "\xED\xA0\xBD\xED\xB8\x80", *emoji = "\xF0\x9F\x98\x80";
    const struct { bool toModified; const char *text; int length; size_t size; std::string out; }
        cases[] = {
        {true, "a\0b", 3, 16, "1 a\xC0\x80" "b\0"s}, {true, emoji, 4, 16, "1 "s + pair + '\0'},
        {true, "\xC3\xA9\xE2\x82\xAC", 5, 16, "1 \xC3\xA9\xE2\x82\xAC\0"s},
        {true, "abc", 3, 3, "0 ab\0"s}, {true, "abc", 3, 4, "1 abc\0"s},
        {true, emoji, 4, 6, "0 \0"s}, {true, "", 0, 0, "0 "},
        {true, "a\x80\xF8z", 4, 16, "1 az\0"s}, // stray bytes are dropped
        {false, pair, 6, 16, "1 "s + emoji + '\0'}, {false, pair, -1, 16, "1 "s + emoji + '\0'},
        {false, "a\xC0\x80" "b", 4, 16, "1 a\0b\0"s}, {false, "a\xC0\x80" "b", -1, 16, "1 a\0"s},
        {false, "\xED\xA0\xBDz", 4, 16, "1 \xED\xA0\xBDz\0"s},
        {false, "z\xE2\x82", 3, 16, "1 z\0"s}, {false, "z\xE2\x82", -1, 16, "1 z\0"s},
        {false, pair, 6, 4, "0 \0"s}, {false, pair, 6, 5, "1 "s + emoji + '\0'},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.out, convert(c.toModified, c.text, c.length, c.size)) << c.text << c.size;

    // Overlong forms are accepted; stray, 5-byte, cut and broken sequences not.
    const struct { const char *text; int length, size; } sizes[] = {
        {"abc", 0, 1}, {"abc", -5, 1}, {"abc", 3, 4}, {"\0", 1, 3}, {"\xF0\x9F\x98\x80", 4, 7},
        {"\xC0\x81", 2, 3}, {"\x80", 1, -1}, {"\xF8\x80\x80\x80\x80", 5, -1},
        {"\xE2\x82\xAC", 2, -1}, {"\xE2\x41\xAC", 3, -1},
    };
    for (const auto &c : sizes)
        EXPECT_EQ(c.size, kuUTF_ModifiedUTF8LengthOfUTF8(c.text, c.length)) << c.text << c.length;

    // A stray byte is copied; a cut sequence is not read past. UTF-16 (well-formed
    // pairs and marks are compared with iconv by the fuzz target): the byte order
    // mark is skipped even when it is none; an odd byte, a high unit at the end,
    // lone halves.
    auto *const be = kuUTF_UTF16BEToUTF8, *const le = kuUTF_UTF16LEToUTF8;
    auto *const bom = kuUTF_UTF16BOMToUTF8;
    const struct { char *(*to)(const void *, size_t); const char *in; size_t n; const char *out; }
        others[] = {
        {toLatin1, "\xC3\xA9\xE2\x82\xAC" "a", 6, "\xE9?a"}, {toLatin1, "\xC4\x80", 2, "?"},
        {toLatin1, "\x80x", 2, "\x80x"}, {toLatin1, "\xF0\x9F\x98\x80", 4, "?"},
        {toLatin1, "\xF0\x9F", 2, "?"}, {toLatin1, "abc", 0, ""}, {bom, "\xFF", 1, ""},
        {fromLatin1, "a\x80\xBF\xC0\xFF", 5, "a\xC2\x80\xC2\xBF\xC3\x80\xC3\xBF"},
        {be, "\xDB\xFF\xDF\xFF", 4, "\xF4\x8F\xBF\xBF"},
        {bom, "\xFF\xFE\x41\x00", 4, "A"}, {bom, "\x00\x00\x41\x00", 4, "A"},
        {le, "\x00\xDC\x41\x00", 4, "\xED\xB0\x80" "A"},
        {be, "\xD7\xFF\xDC\x00", 4, "\xED\x9F\xBF\xED\xB0\x80"},
        {be, "\xDC\x00\xDC\x00", 4, "\xED\xB0\x80\xED\xB0\x80"},
        {be, "\xD8\x00\xDB\xFF", 4, "\xED\xA0\x80"},
        {be, "\xD8\x00\xE0\x00", 4, "\xED\xA0\x80\xEE\x80\x80"}, {be, "\x00\x41\xD8", 3, "A"},
        {be, "\x00\x41\xD8\x3D", 4, "A"}, {be, "\xDE\x00\x00\x41", 4, "\xED\xB8\x80" "A"},
        {be, "\xD8\x3D\x00\x41", 4, "\xED\xA0\xBD" "A"},
    };
    for (const auto &c : others)
        EXPECT_EQ(c.out, take(c.to(c.in, c.n))) << c.in << " " << c.n;
}

