#include <kuvanaTools/kuWString.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>


using kutest::take;

namespace {
// "capacity/length:text", the header read from the words before the text.
std::wstring state(kuWString s)
{
    const uint32_t *header = (const uint32_t *)s - 2;
    EXPECT_EQ(header[1], kuWString_Length(s));
    return std::to_wstring(header[0]) + L"/" + std::to_wstring(header[1]) + L":" + s;
}
} // namespace

// Appending grows exactly, truncating keeps the capacity; a truncated string
// is not empty. The plain-string converters are checked once here and by
// the unicode fuzz target.
TEST(kuWString, AllocAppendTruncateConvertAndCompare)
{
    kuWString s = kuWString_New(L"abc");
    EXPECT_EQ(L"3/3:abc", state(s));
    s = kuWString_Append(kuWString_Append(kuWString_Append(s, L"de"), L""), nullptr);
    EXPECT_EQ(L"5/5:abcde", state(s));
    EXPECT_EQ(s, kuWString_Truncate(s, 0));
    EXPECT_EQ(0, kuWString_IsEmpty(s));
    s = kuWString_Append(s, L"xy");
    EXPECT_EQ(L"5/2:xy", state(s));
    EXPECT_EQ(s + 5, kuWString_Truncate(s, 99)); // cut to the capacity
    kuWString_Free(s);
    s = kuWString_New(nullptr);
    EXPECT_NE(0, kuWString_IsEmpty(s));
    EXPECT_EQ(L"0/0:", state(s));
    kuWString_Free(s);
    kuWString_Free(nullptr);

    s = kuWString_Append(kuWString_Alloc(nullptr, 4), L"tail");
    s = kuWString_Prepend(s, L"\x1F600-");
    EXPECT_EQ(L"6/6:\x1F600-tail", state(s));
    EXPECT_EQ("\xF0\x9F\x98\x80-tail", take(kuWString_GetUTF8(s)));
    EXPECT_EQ(".-tail", take(kuWString_GetASCII(s)));
    s = kuWString_Alloc(s, 2); // shrinking cuts the text to the capacity
    EXPECT_EQ(L"2/2:\x1F600-", state(s));
    kuWString_Free(s);

    kuWString u = kuWString_NewFromUTF8("\xC3\xA9t\xC3\xA9");
    EXPECT_EQ("\xE9t\xE9", take(kuWString_GetASCII(u)));
    kuWString_Free(u);
    EXPECT_EQ(nullptr, kuWString_NewFromUTF8("bad\xC0\x80"));
    EXPECT_EQ(nullptr, kuWString_NewFromUTF8(nullptr));
    wchar_t *plain = kuWString_S_FromUTF8("h\xC3\xA9");
    EXPECT_STREQ(L"h\xE9", plain);
    EXPECT_EQ("h\xC3\xA9", take(kuWString_S_ToUTF8(plain)));
    kuFree(plain);
    plain = kuWString_S_FromUTF8("");
    EXPECT_STREQ(L"", plain);
    kuFree(plain);

    EXPECT_GT(0, kuWString_Compare(L"ab", L"ac"));
    EXPECT_EQ(0, kuWString_CompareN(L"abX", L"abY", 2));

    // A later match counts too; the empty text precedes anything; only the
    // low 8 bits of a character are compared with ch.
    const wchar_t *kv = L"key=value;x=1";
    const struct { const wchar_t *s; char ch; const wchar_t *start; int expected; } cases[] = {
        {kv, '=', L"key", 1}, {kv, '=', L"x", 1}, {kv, '=', L"value", 0}, {kv, '#', L"", 0},
        {kv, 'k', L"", 1}, {kv, '=', L"longer than the start key", 0}, {L"", 'a', L"", 0},
        {L"a\x13D" L"b", '=', L"a", 1},
    };
    for (const auto &c : cases) {
        kuWString w = kuWString_New(c.s);
        EXPECT_EQ(c.expected, kuWString_BeforeFirstIs(w, c.ch, c.start)) << c.ch;
        kuWString_Free(w);
    }
}

