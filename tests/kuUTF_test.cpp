#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuUTF.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {
// Takes ownership of a library string.
std::string own(char *text)
{
    std::string s = text != nullptr ? text : "(null)";
    kuFree(text);
    return s;
}

std::string toModified(const std::string &utf8)
{
    int size = kuUTF_ModifiedUTF8LengthOfUTF8(utf8.data(), (int)utf8.size());
    if (size < 0)
        return "(invalid)";
    std::string out((size_t)size, '#');
    EXPECT_EQ(1, kuUTF_UTF8ToModifiedUTF8(utf8.data(), (int)utf8.size(), &out[0], out.size()));
    EXPECT_EQ('\0', out.back());
    out.pop_back();
    return out;
}
} // namespace

TEST(kuUTF, ModifiedUTF8Length)
{
    // Overlong forms are accepted; stray, 5-byte, cut and broken sequences not.
    const struct { const char *text; int length, size; } cases[] = {
        {"abc", 0, 1}, {"abc", -5, 1}, {"abc", 3, 4}, {"\0", 1, 3}, {"\xF0\x9F\x98\x80", 4, 7},
        {"\xC0\x81", 2, 3}, {"\x80", 1, -1}, {"\xF8\x80\x80\x80\x80", 5, -1}, {"\xE2\x82\xAC", 2, -1},
        {"\xE2\x41\xAC", 3, -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.size, kuUTF_ModifiedUTF8LengthOfUTF8(c.text, c.length)) << c.text << " " << c.length;
}

TEST(kuUTF, ModifiedUTF8BothWays)
{
    EXPECT_EQ(std::string("a\xC0\x80" "b", 4), toModified(std::string("a\0b", 3)));
    EXPECT_EQ("\xED\xA0\xBD\xED\xB8\x80", toModified("\xF0\x9F\x98\x80"));
    EXPECT_EQ("\xC3\xA9\xE2\x82\xAC", toModified("\xC3\xA9\xE2\x82\xAC"));

    char out[16];
    const char *pair = "\xED\xA0\xBD\xED\xB8\x80";
    ASSERT_EQ(1, kuUTF_ModifiedUTF8ToUTF8(pair, 6, out, sizeof out));
    EXPECT_STREQ("\xF0\x9F\x98\x80", out);
    ASSERT_EQ(1, kuUTF_ModifiedUTF8ToUTF8(pair, -1, out, sizeof out));
    EXPECT_STREQ("\xF0\x9F\x98\x80", out);

    // With a length, C0 80 is a zero byte; with -1 it ends the text.
    ASSERT_EQ(1, kuUTF_ModifiedUTF8ToUTF8("a\xC0\x80" "b", 4, out, sizeof out));
    EXPECT_EQ(0, memcmp(out, "a\0b\0", 4));
    ASSERT_EQ(1, kuUTF_ModifiedUTF8ToUTF8("a\xC0\x80" "b", -1, out, sizeof out));
    EXPECT_STREQ("a", out);

    // A lone high half is copied as it is; a cut sequence is dropped.
    ASSERT_EQ(1, kuUTF_ModifiedUTF8ToUTF8("\xED\xA0\xBDz", 4, out, sizeof out));
    EXPECT_STREQ("\xED\xA0\xBDz", out);
    ASSERT_EQ(1, kuUTF_ModifiedUTF8ToUTF8("z\xE2\x82", 3, out, sizeof out));
    EXPECT_STREQ("z", out);
    ASSERT_EQ(1, kuUTF_ModifiedUTF8ToUTF8("z\xE2\x82", -1, out, sizeof out));
    EXPECT_STREQ("z", out);
}

TEST(kuUTF, ModifiedUTF8DestinationTooSmall)
{
    char out[8];
    memset(out, '#', sizeof out);
    EXPECT_EQ(0, kuUTF_UTF8ToModifiedUTF8("abc", 3, out, 3)); // no room for the terminator
    EXPECT_STREQ("ab", out);
    EXPECT_EQ(1, kuUTF_UTF8ToModifiedUTF8("abc", 3, out, 4));
    memset(out, '#', sizeof out);
    EXPECT_EQ(0, kuUTF_UTF8ToModifiedUTF8("\xF0\x9F\x98\x80", 4, out, 6));
    EXPECT_EQ('\0', out[0]);
    EXPECT_EQ(0, kuUTF_UTF8ToModifiedUTF8("", 0, out, 0));
    EXPECT_EQ('\0', out[0]);
    EXPECT_EQ(0, kuUTF_ModifiedUTF8ToUTF8("\xED\xA0\xBD\xED\xB8\x80", 6, out, 4));
    EXPECT_EQ(1, kuUTF_ModifiedUTF8ToUTF8("\xED\xA0\xBD\xED\xB8\x80", 6, out, 5));
}

TEST(kuUTF, ISO88591)
{
    EXPECT_EQ("\xE9?a", own(kuUTF_UTF8ToISO88591("\xC3\xA9\xE2\x82\xAC" "a", 6)));
    EXPECT_EQ("?", own(kuUTF_UTF8ToISO88591("\xC4\x80", 2)));
    EXPECT_EQ("\x80x", own(kuUTF_UTF8ToISO88591("\x80x", 2))); // stray byte copied
    EXPECT_EQ("?", own(kuUTF_UTF8ToISO88591("\xF0\x9F\x98\x80", 4)));
    EXPECT_EQ("?", own(kuUTF_UTF8ToISO88591("\xF0\x9F", 2))); // cut short: no over-read
    EXPECT_EQ("", own(kuUTF_UTF8ToISO88591("abc", 0)));

    EXPECT_EQ("a\xC2\x80\xC2\xBF\xC3\x80\xC3\xBF",
              own(kuUTF_ISO88591ToUTF8("a\x80\xBF\xC0\xFF", 5)));
    // Every Latin-1 byte survives the trip through UTF-8.
    std::string all;
    for (int b = 1; b < 256; b++)
        all.push_back((char)b);
    std::string utf8 = own(kuUTF_ISO88591ToUTF8(all.data(), all.size()));
    EXPECT_EQ(all, own(kuUTF_UTF8ToISO88591(utf8.data(), utf8.size())));
}

TEST(kuUTF, UTF16)
{
    EXPECT_EQ("A", own(kuUTF_UTF16BOMToUTF8("\xFE\xFF\x00\x41", 4)));
    EXPECT_EQ("A", own(kuUTF_UTF16BOMToUTF8("\xFF\xFE\x41\x00", 4)));
    EXPECT_EQ("", own(kuUTF_UTF16BOMToUTF8("\xFF", 1)));
    EXPECT_EQ("A", own(kuUTF_UTF16BOMToUTF8("\x00\x00\x41\x00", 4))); // no mark: skipped anyway
    EXPECT_EQ("\xF0\x9F\x98\x80" "A", own(kuUTF_UTF16LEToUTF8("\x3D\xD8\x00\xDE\x41\x00", 6)));
    EXPECT_EQ("\xC3\xA9\xE2\x82\xAC", own(kuUTF_UTF16LEToUTF8("\xE9\x00\xAC\x20", 4)));
    // Big-endian units: pairs at the surrogate bounds; an odd byte, a high
    // unit at the end, lone halves.
    const struct { const char *in; size_t n; const char *out; } be[] = {
        {"\xD8\x3D\xDE\x00\x00\x41", 6, "\xF0\x9F\x98\x80" "A"}, {"\xD8\x00\xDC\x00", 4, "\xF0\x90\x80\x80"},
        {"\xDB\xFF\xDF\xFF", 4, "\xF4\x8F\xBF\xBF"}, {"\xD7\xFF\xDC\x00", 4, "\xED\x9F\xBF\xED\xB0\x80"},
        {"\xDC\x00\xDC\x00", 4, "\xED\xB0\x80\xED\xB0\x80"}, {"\xD8\x00\xDB\xFF", 4, "\xED\xA0\x80"},
        {"\xD8\x00\xE0\x00", 4, "\xED\xA0\x80\xEE\x80\x80"}, {"\x00\x41\xD8", 3, "A"}, {"\x00\x41\xD8\x3D", 4, "A"},
        {"\xDE\x00\x00\x41", 4, "\xED\xB8\x80" "A"}, {"\xD8\x3D\x00\x41", 4, "\xED\xA0\xBD" "A"},
    };
    for (const auto &c : be)
        EXPECT_EQ(c.out, own(kuUTF_UTF16BEToUTF8(c.in, c.n))) << c.n;
}

// Random bytes never make a converter read or write out of bounds (the
// sanitizer build checks the accesses).
TEST(kuUTF, SurvivesRandomBytes)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; round++) {
        std::string bytes(rng() % 24, '\0');
        for (char &b : bytes)
            b = (char)(rng() % 4 == 0 ? 0x80 | (rng() & 0x7F) : rng());
        int n = (int)bytes.size();
        kuUTF_ModifiedUTF8LengthOfUTF8(bytes.data(), n);
        char out[64];
        size_t size = rng() % sizeof out;
        kuUTF_UTF8ToModifiedUTF8(bytes.data(), n, out, size);
        kuUTF_ModifiedUTF8ToUTF8(bytes.data(), n, out, size);
        std::string terminated = bytes + std::string(8, '\0');
        kuUTF_ModifiedUTF8ToUTF8(terminated.data(), -1, out, size);
        own(kuUTF_UTF8ToISO88591(bytes.data(), bytes.size()));
        own(kuUTF_UTF16LEToUTF8(bytes.data(), bytes.size()));
        own(kuUTF_UTF16BOMToUTF8(bytes.data(), bytes.size()));
    }
}
