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

TEST(kuWString, HeaderSitsBeforeTheCharacters)
{
    kuWString s = kuWString_New(L"abc");
    EXPECT_EQ(3u, capacityOf(s));
    EXPECT_EQ(3u, ((const uint32_t *)s)[-1]);
    EXPECT_STREQ(L"abc", s); // usable as a plain wide string
    EXPECT_EQ(3u, kuWString_Length(s));
    kuWString_Free(s);

    kuWString empty = kuWString_New(nullptr);
    EXPECT_EQ(0u, kuWString_Length(empty));
    EXPECT_NE(0, kuWString_IsEmpty(empty));
    kuWString_Free(empty);
    kuWString_Free(nullptr);
}

TEST(kuWString, AppendGrowsExactlyAndTruncateKeepsCapacity)
{
    kuWString s = kuWString_New(L"abc");
    s = kuWString_Append(s, L"de");
    EXPECT_EQ(5u, capacityOf(s));
    EXPECT_STREQ(L"abcde", s);
    s = kuWString_Append(s, L"");
    s = kuWString_Append(s, nullptr);
    EXPECT_EQ(5u, kuWString_Length(s));

    wchar_t *end = kuWString_Truncate(s, 0);
    EXPECT_EQ(s, end);
    EXPECT_EQ(0, kuWString_IsEmpty(s));
    EXPECT_EQ(0u, kuWString_Length(s));
    s = kuWString_Append(s, L"xy"); // fits: no growth
    EXPECT_EQ(5u, capacityOf(s));
    EXPECT_STREQ(L"xy", s);
    EXPECT_EQ(s + 5, kuWString_Truncate(s, 99)); // cut to the capacity
    kuWString_Free(s);
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

    kuWString s = kuWString_New(L"key=value;x=1");
    EXPECT_EQ(1, kuWString_BeforeFirstIs(s, '=', L"key"));
    EXPECT_EQ(1, kuWString_BeforeFirstIs(s, '=', L"x")); // a later match counts too
    EXPECT_EQ(0, kuWString_BeforeFirstIs(s, '=', L"value"));
    EXPECT_EQ(0, kuWString_BeforeFirstIs(s, '#', L""));
    EXPECT_EQ(1, kuWString_BeforeFirstIs(s, 'k', L"")); // empty text precedes anything
    EXPECT_EQ(0, kuWString_BeforeFirstIs(s, '=', L"longer than the start key"));
    kuWString_Free(s);

    // Only the low 8 bits of a character are compared with ch.
    kuWString wide = kuWString_New(L"a\x13D" L"b");
    EXPECT_EQ(1, kuWString_BeforeFirstIs(wide, '=', L"a"));
    kuWString_Free(wide);
    kuWString none = kuWString_New(L"");
    EXPECT_EQ(0, kuWString_BeforeFirstIs(none, 'a', L""));
    kuWString_Free(none);
}
