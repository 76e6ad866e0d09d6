#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuWString.h>

#include <gtest/gtest.h>

#include <string>

namespace {
std::string own(char *text)
{
    std::string s = text != nullptr ? text : "(null)";
    kuFree(text);
    return s;
}
uint32_t capacityOf(kuWString s)
{
    return ((const uint32_t *)s)[-2];
}
} // namespace

// The header (capacity, length) sits before the characters; appending grows
// exactly, truncating keeps the capacity.
TEST(kuWString, HeaderAppendAndTruncate)
{
    kuWString s = kuWString_New(L"abc");
    EXPECT_EQ(3u, ((const uint32_t *)s)[-1]);
    EXPECT_STREQ(L"abc", s); // usable as a plain wide string
    s = kuWString_Append(s, L"de");
    EXPECT_EQ(5u, capacityOf(s));
    EXPECT_STREQ(L"abcde", s);
    s = kuWString_Append(s, L"");
    s = kuWString_Append(s, nullptr);
    EXPECT_EQ(5u, kuWString_Length(s));
    EXPECT_EQ(s, kuWString_Truncate(s, 0));
    EXPECT_EQ(0, kuWString_IsEmpty(s));
    EXPECT_EQ(0u, kuWString_Length(s));
    s = kuWString_Append(s, L"xy"); // fits: no growth
    EXPECT_EQ(5u, capacityOf(s));
    EXPECT_STREQ(L"xy", s);
    EXPECT_EQ(s + 5, kuWString_Truncate(s, 99)); // cut to the capacity
    kuWString_Free(s);

    kuWString empty = kuWString_New(nullptr);
    EXPECT_EQ(0u, kuWString_Length(empty));
    EXPECT_NE(0, kuWString_IsEmpty(empty));
    kuWString_Free(empty);
    kuWString_Free(nullptr);
}

TEST(kuWString, AllocPrependAndConversions)
{
    kuWString s = kuWString_Alloc(nullptr, 4);
    EXPECT_EQ(4u, capacityOf(s));
    EXPECT_EQ(0u, kuWString_Length(s));
    s = kuWString_Append(s, L"tail");
    s = kuWString_Prepend(s, L"\x1F600-");
    EXPECT_STREQ(L"\x1F600-tail", s);
    EXPECT_EQ(6u, capacityOf(s));
    EXPECT_EQ("\xF0\x9F\x98\x80-tail", own(kuWString_GetUTF8(s)));
    EXPECT_EQ(".-tail", own(kuWString_GetASCII(s)));
    s = kuWString_Alloc(s, 2); // shrinking cuts the text to the capacity
    EXPECT_EQ(2u, kuWString_Length(s));
    EXPECT_STREQ(L"\x1F600-", s);
    kuWString_Free(s);

    kuWString u = kuWString_NewFromUTF8("\xC3\xA9t\xC3\xA9");
    ASSERT_NE(nullptr, u);
    EXPECT_EQ(3u, kuWString_Length(u));
    EXPECT_EQ("\xE9t\xE9", own(kuWString_GetASCII(u)));
    kuWString_Free(u);
    EXPECT_EQ(nullptr, kuWString_NewFromUTF8("bad\xC0\x80"));
    EXPECT_EQ(nullptr, kuWString_NewFromUTF8(nullptr));

    wchar_t *plain = kuWString_S_FromUTF8("h\xC3\xA9");
    EXPECT_STREQ(L"h\xE9", plain);
    EXPECT_EQ("h\xC3\xA9", own(kuWString_S_ToUTF8(plain)));
    kuFree(plain);
    EXPECT_EQ(nullptr, kuWString_S_FromUTF8("\xFF"));
}

TEST(kuWString, CompareAndBeforeFirstIs)
{
    EXPECT_EQ(0, kuWString_Compare(L"ab", L"ab"));
    EXPECT_GT(0, kuWString_Compare(L"ab", L"ac"));
    EXPECT_EQ(0, kuWString_CompareN(L"abX", L"abY", 2));

    // A later match counts too; the empty text precedes anything; only the
    // low 8 bits of a character are compared with ch.
    const struct { const wchar_t *s; char ch; const wchar_t *start; int expected; } cases[] = {
        {L"key=value;x=1", '=', L"key", 1}, {L"key=value;x=1", '=', L"x", 1}, {L"key=value;x=1", '=', L"value", 0},
        {L"key=value;x=1", '#', L"", 0},    {L"key=value;x=1", 'k', L"", 1},
        {L"key=value;x=1", '=', L"longer than the start key", 0}, {L"a\x13D" L"b", '=', L"a", 1}, {L"", 'a', L"", 0},
    };
    for (const auto &c : cases) {
        kuWString s = kuWString_New(c.s);
        EXPECT_EQ(c.expected, kuWString_BeforeFirstIs(s, c.ch, c.start)) << c.ch;
        kuWString_Free(s);
    }
}
