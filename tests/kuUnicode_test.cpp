#include <kuvanaTools/kuUnicode.h>

#include <gtest/gtest.h>

#include <algorithm>

TEST(kuUnicode, CodersAndConvertersAtEveryBoundary)
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

    wchar_t w[2] = {L'a', L'b'};
    uint32_t c = 0;
    EXPECT_EQ(0, kuUnicode_ReadWideChar(w, 0, &c));
    EXPECT_EQ(1, kuUnicode_ReadWideChar(w, 1, &c));
    EXPECT_EQ((uint32_t)L'a', c);
    EXPECT_EQ(1, kuUnicode_WriteWideChar(w + 1, 0, 'z')); // size 0: nothing stored
    EXPECT_EQ(1, kuUnicode_WriteWideChar(w, 1, 'z'));
    EXPECT_EQ(1, kuUnicode_WriteWideChar(nullptr, 1, 'z'));
    EXPECT_EQ(L"zb", std::wstring(w, 2));
    EXPECT_EQ(1, kuUnicode_WideCharLength(0x1F600));
    // the encoder stops before a character that does not fit whole, and
    // writes the terminator only where there is room
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC";
    for (size_t size = 0; size <= 7; size++) {
        const size_t fits = size < 1 ? 0 : size < 3 ? 1 : size < 6 ? 3 : 6;
        std::string out(8, '#');
        EXPECT_EQ(fits, kuUnicode_WideToUTF8(&out[0], L"a\xE9\x20AC", size)) << size;
        std::string kept = utf8.substr(0, fits) + std::string(fits < size, '\0');
        kept.resize(8, '#');
        EXPECT_EQ(kept, out) << size;
    }

    // The first and last code point of each sequence length.
    const std::pair<uint32_t, int> lengths[] = {{0x7F, 1}, {0x80, 2}, {0x7FF, 2}, {0x800, 3},
        {0xFFFF, 3}, {0x10000, 4}, {0x1FFFFF, 4}, {0x200000, 5}, {0x3FFFFFF, 5}, {0x4000000, 6},
        {0x7FFFFFFF, 6}, {0x80000000, 7}};
    for (auto [cp, length] : lengths)
        EXPECT_EQ(length, kuUnicode_UTF8CharLength(cp)) << cp;

    // The decoder takes shortcuts (ASCII blocks; long texts read as four runs
    // side by side, falling back to one character at a time): a stop at the
    // destination size or at a bad sequence must behave as the one-character
    // path, and nothing is written past the result. Between two copies of a
    // text: nothing, a character, a 5-byte form, or a bad (stray, overlong,
    // cut, unknown) sequence.
    const struct { const char *bytes; const wchar_t *wide; } pieces[] = {
        {"", L""}, {"\xC3\xA9", L"\xE9"}, {"\xF0\x9F\x98\x80", L"\x1F600"}, {"\x80", nullptr},
        {"\xC1\xBF", nullptr}, {"\xE2\x82", nullptr}, {"\xE2\x82\xAC", L"\x20AC"}, {"\xE0\x9F\xBF", nullptr},
        {"\xF0\x8F\xBF\xBF", nullptr}, {"\xF8\x88\x80\x80\x80", L"\x200000"}, {"\xFF", nullptr}};
    const char *const units[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", " "};
    const wchar_t *const wideUnits[] = {L"a", L"\xE9", L"\x20AC", L"\x1F600", L" "};
    for (size_t length : {0, 1, 2, 3, 5, 7, 8, 9, 16, 17, 100, 101, 102, 103, 700, 2100}) {
        for (int mixed = 0; mixed < 2; mixed++) {
            std::string run;
            std::wstring wideRun;
            for (size_t i = 0; i < length; i++) {
                run += mixed ? units[i * 7 % 5] : std::string(1, (char)('a' + i % 26));
                wideRun += mixed ? wideUnits[i * 7 % 5] : std::wstring(1, (wchar_t)('a' + i % 26));
            }
            for (const auto &piece : pieces) {
                SCOPED_TRACE(testing::Message() << length << " " << mixed << " " << piece.bytes);
                const std::string text = run + piece.bytes + run;
                const bool bad = piece.wide == nullptr;
                const std::wstring want = bad ? wideRun : wideRun + piece.wide + wideRun;
                EXPECT_EQ(bad ? -1 : (ptrdiff_t)want.size(), kuUnicode_UTF8ToWide(nullptr, text.c_str(), 0));
                for (size_t size = 0; size <= want.size() + 1; size += size < 20 || want.size() - size < 20 ? 1 : 37) {
                    std::wstring out(size + 2, L'#');
                    const ptrdiff_t n = kuUnicode_UTF8ToWide(&out[0], text.c_str(), size);
                    const size_t stored = std::min(size, want.size());
                    if (bad && size > length) {
                        EXPECT_EQ(-1, n) << size;
                        continue;
                    }
                    EXPECT_EQ((ptrdiff_t)stored, n) << size;
                    EXPECT_EQ(want.substr(0, stored) + (size > stored ? L'\0' : L'#') + L'#', out.substr(0, stored + 2))
                        << size;
                }
                // and back: whole sequences only, nothing touched after the terminator
                for (size_t size = 0; !bad && size <= text.size() + 40; size += size < 40 || size + 40 > text.size() ? 1 : 53) {
                    size_t fits = std::min(size, text.size());
                    while (fits > 0 && fits < text.size() && (text[fits] & 0xC0) == 0x80)
                        fits--;
                    std::string back(size + 4, '#');
                    EXPECT_EQ(fits, kuUnicode_WideToUTF8(&back[0], want.c_str(), size)) << size;
                    std::string kept = text.substr(0, fits) + std::string(fits < size, '\0');
                    EXPECT_EQ(kept + std::string(size + 4 - kept.size(), '#'), back) << size;
                }
            }
        }
    }
}

