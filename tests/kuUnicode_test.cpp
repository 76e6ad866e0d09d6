#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuUnicode.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

TEST(kuUnicode, CharacterCodersAndSequenceLengthBounds)
{
    // {bytes, available, result, value}: overlong forms, cut and bad
    // sequences fail; surrogates, values above U+10FFFF and 7-byte forms read.
    const struct { std::string bytes; size_t available; int result; uint32_t value; } reads[] = {
        {"\xC3\xA9", 2, 2, 0xE9}, {"A", 0, 0, 99}, {std::string("\0", 1), 1, 1, 0},
        {"\xC0\x81", 2, -1, 99}, {"\xE0\x80\xBF", 3, -1, 99}, {"\xE2\x82", 2, -2, 99},
        {"\xC3", 1, -2, 99}, {"\x80", 1, -1, 99}, {"\xE2\x41\x41", 3, -1, 99}, {"\xE2\x41", 2, -1, 99},
        {"\xED\xA0\x80", 3, 3, 0xD800}, {"\xF4\x90\x80\x80", 4, 4, 0x110000},
        {"\xFD\xBF\xBF\xBF\xBF\xBF", 6, 6, 0x7FFFFFFF}, {"\xFC\x80\x80\x80\x80\x80", 6, -1, 99},
        {"\xFE\x82\x80\x80\x80\x80\x80", 7, 7, 0x80000000}, {"\xFF\xBF\xBF\xBF\xBF\xBF\xBF\xBF", 8, -1, 99},
    };
    for (const auto &r : reads) {
        uint32_t c = 99;
        EXPECT_EQ(r.result, kuUnicode_ReadUTF8Char(r.bytes.data(), r.available, &c)) << r.bytes;
        EXPECT_EQ(r.value, c) << r.bytes;
    }
    EXPECT_EQ(2, kuUnicode_ReadUTF8Char("\xC3\xA9", 2, nullptr));

    // A write needs room for one more byte; the top bit is ignored.
    const struct { uint32_t c; size_t size; int length; std::string written; } writes[] = {
        {0xE9, 2, 2, ""}, {0xE9, 3, 2, "\xC3\xA9"}, {'Q', 1, 1, "Q"}, {0x7F, 2, 1, "\x7F"},
        {0x80, 3, 2, "\xC2\x80"}, {0x7FFFFFFF, 7, 6, "\xFD\xBF\xBF\xBF\xBF\xBF"}, {0x80000041, 7, 1, "A"},
        {'A', 0, 1, ""},
    };
    for (const auto &w : writes) {
        char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
        EXPECT_EQ(w.length, kuUnicode_WriteUTF8Char(buffer, w.size, w.c)) << w.c;
        EXPECT_EQ(w.written.empty() ? "x" : w.written, std::string(buffer, w.written.empty() ? 1 : w.length)) << w.c;
    }
    EXPECT_EQ(3, kuUnicode_WriteUTF8Char(nullptr, 100, 0x20AC));
    EXPECT_EQ(1, kuUnicode_WriteUTF8Char(nullptr, 1, 'A'));
    EXPECT_EQ(7, kuUnicode_UTF8CharLength(0x80000000));

    wchar_t w[2] = {L'a', L'b'};
    uint32_t c = 0;
    EXPECT_EQ(0, kuUnicode_ReadWideChar(w, 0, &c));
    EXPECT_EQ(1, kuUnicode_ReadWideChar(w, 1, &c));
    EXPECT_EQ((uint32_t)L'a', c);
    EXPECT_EQ(1, kuUnicode_WriteWideChar(w, 0, 'z')); // size 0: nothing stored
    EXPECT_EQ(L"ab", std::wstring(w, 2));
    EXPECT_EQ(1, kuUnicode_WriteWideChar(w, 1, 'z'));
    EXPECT_EQ(1, kuUnicode_WriteWideChar(nullptr, 1, 'z'));
    EXPECT_EQ(L"zb", std::wstring(w, 2));
    EXPECT_EQ(1, kuUnicode_WideCharLength(0x1F600));

    wchar_t out[2];
    // The first and last code point of each sequence length, both ways.
    for (uint32_t cp : {0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x1FFFFFu, 0x200000u,
                        0x3FFFFFFu, 0x4000000u, 0x7FFFFFFFu}) {
        const wchar_t wide[2] = {(wchar_t)cp, 0};
        char expected[8], utf8[8];
        int length = kuUnicode_WriteUTF8Char(expected, sizeof expected, cp);
        EXPECT_EQ(length, kuUnicode_UTF8CharLength(cp)) << cp;
        EXPECT_EQ((size_t)length, kuUnicode_WideToUTF8(nullptr, wide, 0)) << cp;
        ASSERT_EQ((size_t)length, kuUnicode_WideToUTF8(utf8, wide, sizeof utf8)) << cp;
        EXPECT_EQ(std::string(expected, length), std::string(utf8, length)) << cp;
        EXPECT_EQ(1, kuUnicode_UTF8ToWide(out, utf8, 2)) << cp;
        EXPECT_EQ(wide[0], out[0]) << cp;
    }
}

// The string converters take shortcuts (eight ASCII bytes at a time, the
// common forms inline): at every cut of texts of mixed sequence lengths, with
// invalid, overlong and 5- and 6-byte forms among them, and for destination
// sizes around the result, they must agree with the one-character coders and
// write nothing past their result.
TEST(kuUnicode, StringConvertersAgreeWithTheCharacterCoders)
{
    std::mt19937 rng(7);
    const uint32_t tops[] = {0x7F, 0x7FF, 0xFFFF, 0x1FFFFF, 0x3FFFFFF, 0x7FFFFFFF};
    // overlong forms inside runs of their length too
    const char *const odd[] = {"\x80", "\xD0\x9F\xC1\xBF\xD0\x9F\xD0\x9F", "\xE4\xB8\x80\xE0\x9F\xBF",
                               "\xF0\x9F\x98\x80\xF0\x8F\xBF\xBF", "\xFE", "\xFF", "\xC3", "\xE2\x82",
                               "\xF8\x88\x80\x80\x80"};
    for (int round = 0; round < 300 && !HasFailure(); round++) {
        std::string text;
        uint32_t top = tops[rng() % 6];
        while (text.size() < 40) {
            if (rng() % 4 == 0)
                top = tops[rng() % 6]; // runs of one length, then another
            char b[8];
            text.append(b, (size_t)kuUnicode_WriteUTF8Char(b, sizeof b, 1 + rng() % top));
        }
        if (round % 2 == 1) // at the start, where a block begins, or anywhere
            text.insert(round % 4 == 1 ? 0 : rng() % text.size(), odd[rng() % 9]);
        for (size_t cut = 0; cut <= text.size() && !HasFailure(); cut++) {
            SCOPED_TRACE(testing::Message() << "cut " << cut << " of round " << round);
            const std::string t = text.substr(0, cut);
            std::wstring expected; // the reference: one character at a time
            uint32_t c;
            size_t i = 0;
            for (int n; i < t.size() && (n = kuUnicode_ReadUTF8Char(&t[i], t.size() - i, &c)) > 0;
                 i += (size_t)n)
                expected += (wchar_t)c;
            const bool invalid = i < t.size();
            EXPECT_EQ(invalid ? -1 : (ptrdiff_t)expected.size(),
                      kuUnicode_UTF8ToWide(nullptr, t.c_str(), 0));
            for (size_t size : {expected.size(), expected.size() + 1, cut / 3}) {
                std::wstring out(size + 1, L'#');
                const ptrdiff_t n = kuUnicode_UTF8ToWide(&out[0], t.c_str(), size);
                const size_t stored = std::min(size, expected.size());
                const std::wstring kept = expected.substr(0, stored) + (size > stored ? L'\0' : L'#');
                if (invalid && size > expected.size()) // reaches the bad sequence
                    EXPECT_EQ(-1, n) << "size " << size;
                else
                    EXPECT_EQ(std::to_wstring(stored) + L" " + kept,
                              std::to_wstring(n) + L" " + out.substr(0, stored + 1))
                        << "size " << size;
            }
            if (invalid)
                continue;
            // and back: every destination size stops before a partial character
            EXPECT_EQ(t.size(), kuUnicode_WideToUTF8(nullptr, expected.c_str(), 0));
            for (size_t size = 0; size <= t.size() + 1; size += 1 + (size > 12) * 5) {
                std::string out(size + 8, '#');
                size_t fits = 0;
                for (wchar_t w : expected)
                    if (fits + (size_t)kuUnicode_UTF8CharLength((uint32_t)w) <= size)
                        fits += (size_t)kuUnicode_UTF8CharLength((uint32_t)w);
                    else
                        break;
                std::string want = t.substr(0, fits) + (fits < size ? std::string(1, '\0') : "");
                want.resize(out.size(), '#');
                EXPECT_EQ(fits, kuUnicode_WideToUTF8(&out[0], expected.c_str(), size)) << size;
                EXPECT_EQ(want, out) << "size " << size;
            }
        }
    }
}
