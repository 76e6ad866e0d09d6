#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuCharClass.h>

#include <gtest/gtest.h>

#include <ctype.h>
#include <limits.h>
#include <math.h>
#include <string.h>
#include <string>

namespace {

struct U32 {
    uint32_t value;
    int32_t status;
};

U32 u32(const char *text, int base = 10)
{
    U32 r = {12345, 0};
    r.status = kuConvert_strtouint32_base(text, &r.value, base);
    return r;
}

struct I32 {
    int32_t value;
    int32_t status;
};

I32 i32(const char *text, int base = 10)
{
    I32 r = {12345, 0};
    r.status = kuConvert_strtoint32_base(text, &r.value, base);
    return r;
}

// Runs a parser with a fresh out-variable: PARSE(double, kuConvert_strtod(t, out)).
template <typename T>
struct Result {
    T value;
    int32_t status;
};

template <typename T, typename F>
Result<T> parse(F f)
{
    Result<T> r = {(T)77, 0};
    r.status = f(&r.value);
    return r;
}

#define PARSE(T, call) parse<T>([&](T *out) { return call; })

#define EXPECT_PARSE(expectedValue, expectedStatus, result)                    \
    do {                                                                       \
        auto r_ = (result);                                                    \
        EXPECT_EQ(expectedValue, r_.value);                                    \
        EXPECT_EQ(expectedStatus, r_.status);                                  \
    } while (0)

int64_t get(const kuint64 &v)
{
    return (int64_t)((uint64_t)(uint32_t)v.high << 32 | v.low);
}

uint64_t get(const kuuint64 &v)
{
    return (uint64_t)v.high << 32 | v.low;
}

} // namespace

TEST(kuConvert, CharacterClassesAreAsciiOnly)
{
    for (int c = -1; c < 300; c++) {
        bool ascii = c >= 0 && c < 128;
        EXPECT_EQ(ascii && isspace(c) != 0, kuConvert_isspace(c) != 0) << c;
        EXPECT_EQ(ascii && isdigit(c) != 0, kuConvert_isnum(c) != 0) << c;
        EXPECT_EQ(ascii && isalnum(c) != 0, kuConvert_isalnum(c) != 0) << c;
        EXPECT_EQ(ascii && isxdigit(c) != 0, kuConvert_isxdigit(c) != 0) << c;
        EXPECT_EQ(ku::isSpace(c), kuConvert_isspace(c) != 0);
    }
}

TEST(kuConvert, UnsignedBoundariesAndStatus)
{
    EXPECT_PARSE(42u, 0, u32(" +42"));
    EXPECT_PARSE(42u, 0, u32("\t\n\v\f\r 42"));
    EXPECT_PARSE(42u, 2, u32("42abc"));
    EXPECT_PARSE(42u, 4, u32("  42 "));
    EXPECT_PARSE(0u, -3, u32(""));
    EXPECT_PARSE(0u, -3, u32("   "));
    EXPECT_PARSE(0u, -3, u32("+"));
    EXPECT_PARSE(0u, -3, u32("-1"));
    EXPECT_PARSE(0u, -3, u32("++1"));
    EXPECT_PARSE(0u, -3, u32(nullptr));
    EXPECT_PARSE(0xFFFFFFFFu, 0, u32("4294967295"));
    EXPECT_PARSE(0xFFFFFFFFu, -1, u32("4294967296"));
    EXPECT_PARSE(0xFFFFFFFFu, -1, u32("99999999999999999999x"));

    EXPECT_PARSE(26u, 0, u32("0x1A", 0));
    EXPECT_PARSE(15u, 0, u32("017", 0));
    EXPECT_PARSE(0u, 1, u32("0x", 0));
    EXPECT_PARSE(0u, 1, u32("0xg", 16));
    EXPECT_PARSE(0u, 1, u32("08", 0));
    EXPECT_PARSE(0u, -3, u32("1", 37));
    EXPECT_PARSE(35u, 0, u32("z", 36));
    EXPECT_PARSE(5u, 0, u32("101", 2));
    EXPECT_PARSE(0xFFFFFFFFu, 0, u32("1z141z3", 36));
    EXPECT_PARSE(0xFFFFFFFFu, -1, u32("1z141z4", 36));

    EXPECT_PARSE(255u, 0, PARSE(uint32_t, kuConvert_hexstrtouint32("0xff", out)));
    EXPECT_PARSE(255u, 0, PARSE(uint32_t, kuConvert_hexstrtouint32("FF", out)));
    EXPECT_PARSE(0xFFFFFFFFu, -1, PARSE(uint32_t, kuConvert_hexstrtouint32("100000000", out)));

    EXPECT_PARSE(65535, -1, PARSE(uint16_t, kuConvert_strtouint16("70000", out)));
    EXPECT_PARSE(65535, -1, PARSE(uint16_t, kuConvert_strtouint16("65536z", out)));
    EXPECT_PARSE(0, -3, PARSE(uint16_t, kuConvert_strtouint16("z", out)));
}

TEST(kuConvert, SignedBoundariesAndStatus)
{
    EXPECT_PARSE(INT32_MIN, 0, i32("-2147483648"));
    EXPECT_PARSE(-2147483647, 0, i32("-2147483647"));
    EXPECT_PARSE(INT32_MAX, 0, i32("2147483647"));
    EXPECT_PARSE(INT32_MAX, -1, i32("2147483648"));
    EXPECT_PARSE(INT32_MIN, -2, i32("-3000000000"));
    EXPECT_PARSE(INT32_MIN, 12, i32(" -2147483648x"));
    EXPECT_PARSE(0, -3, i32("- 5"));
    EXPECT_PARSE(0, -3, i32("-+5"));
    EXPECT_PARSE(0, -3, i32("-x"));
    EXPECT_PARSE(0, -3, i32(nullptr));
    EXPECT_PARSE(5, 0, i32(" +5"));
    EXPECT_PARSE(0, -3, i32(" + 5"));
    EXPECT_PARSE(-16, 0, i32("-0x10", 16));
    EXPECT_PARSE(-8, 0, i32("-010", 0));
    EXPECT_PARSE(0, -3, i32("5", 99));

    EXPECT_PARSE(32767, -1, PARSE(int16_t, kuConvert_strtoint16("40000", out)));
    EXPECT_PARSE(-32768, -2, PARSE(int16_t, kuConvert_strtoint16("-40000", out)));
    EXPECT_PARSE(-32768, 0, PARSE(int16_t, kuConvert_strtoint16("-32768", out)));
}

TEST(kuConvert, PointerText)
{
    uint32_t v = 7;
    EXPECT_PARSE(16u, 0, PARSE(uint32_t, kuConvert_strtoptr("0x10", out)));
    EXPECT_PARSE(0u, 1, PARSE(uint32_t, kuConvert_strtoptr("0xg", out)));
    EXPECT_PARSE(0xDEADBEEFu, 0, PARSE(uint32_t, kuConvert_strtoptr(" +0XdeadBEEF", out)));
    // offsets count from where the digits begin
    EXPECT_PARSE(12u, 2, PARSE(uint32_t, kuConvert_strtoptr(" +12z", out)));
    EXPECT_PARSE(16u, 2, PARSE(uint32_t, kuConvert_strtoptr("0x10z", out)));
    EXPECT_PARSE(0xFFFFFFFFu, -1, PARSE(uint32_t, kuConvert_strtoptr("0x100000000", out)));
    EXPECT_EQ(-3, kuConvert_strtoptr("-1", &v));
    EXPECT_EQ(-3, kuConvert_strtoptr(nullptr, &v));
}

TEST(kuConvert, LengthVariantsReadOnlyTheirBytes)
{
    uint32_t v = 7;
    EXPECT_PARSE(12u, 0, PARSE(uint32_t, kuConvert_strntouint32("12345", 2, out)));
    EXPECT_PARSE(0u, -3, PARSE(uint32_t, kuConvert_strntouint32("12345", 0, out)));
    EXPECT_EQ(-3, kuConvert_strntouint32(nullptr, 3, &v));
    EXPECT_PARSE(12u, 2, PARSE(uint32_t, kuConvert_strntouint32("12x45", 4, out)));
    // a zero byte inside the length ends the text like the copy's terminator
    EXPECT_PARSE(12u, 0, PARSE(uint32_t, kuConvert_strntouint32("12\0" "45", 5, out)));
    EXPECT_PARSE(0xFFFFFFFFu, 0, PARSE(uint32_t, kuConvert_strntouint32("42949672951", 10, out)));
    EXPECT_PARSE(0xFFFFFFFFu, -1, PARSE(uint32_t, kuConvert_strntouint32("42949672951", 11, out)));

    // unterminated buffers: the parser must not look past length
    char exact[3] = {'0', 'x', 'f'};
    EXPECT_PARSE(15u, 0, PARSE(uint32_t, kuConvert_hexstrntouint32(exact, 3, out)));
    EXPECT_PARSE(0u, 1, PARSE(uint32_t, kuConvert_hexstrntouint32(exact, 2, out))); // "0x" alone
    char minus9[2] = {'-', '9'};
    EXPECT_PARSE(-9, 0, PARSE(int32_t, kuConvert_strntoint32(minus9, 2, out)));
    EXPECT_PARSE(65535, -1, PARSE(uint16_t, kuConvert_strntouint16("70000", 5, out)));
    EXPECT_EQ(-3, kuConvert_hexstrntouint32("ff", 0, &v));
}

// Every prefix of awkward texts in a block of exactly that size: the sanitizer
// build catches a read past the length.
TEST(kuConvert, LengthVariantsStayInsideUnterminatedBlocks)
{
    const char *texts[] = {" +0x1f", "-", "0x", "0X7", " -2147483648", "+", "\t\n",
                           "99999999999999999999", "0x0102ab", "12\0" "3"};
    for (const char *t : texts) {
        size_t full = strlen(t) + 1;
        for (size_t n = 1; n <= full; n++) {
            char *block = (char *)kuMalloc(n);
            memcpy(block, t, n);
            uint32_t u;
            int32_t i;
            uint16_t h;
            kuuint64 q;
            unsigned char *bytes;
            size_t count;
            kuConvert_strntouint32(block, n, &u);
            kuConvert_strntoint32(block, n, &i);
            kuConvert_strntouint16(block, n, &h);
            kuConvert_hexstrntouint32(block, n, &u);
            kuULongLong_SetFromNString(&q, block, n);
            if (kuConvert_hexstrntobuffer(block, n, 1, 1, &bytes, &count) == 0)
                kuFree(bytes);
            kuFree(block);
        }
    }
}

TEST(kuConvert, SixtyFourBitBoundaries)
{
    kuint64 s;
    kuuint64 u;
    EXPECT_EQ(0, kuConvert_strtoLongLong("-9223372036854775808", &s));
    EXPECT_EQ(INT64_MIN, get(s));
    EXPECT_EQ(-1, kuConvert_strtoLongLong("9223372036854775808", &s));
    EXPECT_EQ(INT64_MAX, get(s));
    EXPECT_EQ(-2, kuConvert_strtoLongLong("-9223372036854775809", &s));
    EXPECT_EQ(INT64_MIN, get(s));
    EXPECT_EQ(-1, kuConvert_strtoLongLong("+18446744073709551616", &s));
    EXPECT_EQ(3, kuConvert_strtoLongLong(" -1x", &s));
    EXPECT_EQ(-1, get(s));
    EXPECT_EQ(-3, kuConvert_strtoLongLong(" - 1", &s));
    EXPECT_EQ(0, get(s));
    EXPECT_EQ(-3, kuConvert_strtoLongLong(nullptr, &s));

    EXPECT_EQ(0, kuConvert_strtoULongLong("18446744073709551615", &u));
    EXPECT_EQ(UINT64_MAX, get(u));
    EXPECT_EQ(-1, kuConvert_strtoULongLong("18446744073709551616", &u));
    EXPECT_EQ(UINT64_MAX, get(u));
    EXPECT_EQ(-3, kuConvert_strtoULongLong("-1", &u));
    EXPECT_EQ(0u, get(u));

    EXPECT_EQ(1, kuLongLong_SetFromString(&s, " -12"));
    EXPECT_EQ(-12, get(s));
    EXPECT_EQ(0, kuLongLong_SetFromString(&s, "12x"));
    EXPECT_EQ(0, get(s));
    kuLongLong_SetInt32(&s, 5);
    EXPECT_EQ(0, kuLongLong_SetFromString(&s, "9223372036854775808"));
    EXPECT_EQ(0, get(s));
    EXPECT_EQ(1, kuULongLong_SetFromString(&u, "18446744073709551615"));
    EXPECT_EQ(UINT64_MAX, get(u));

    kuULongLong_Set(&u, 1, 2);
    EXPECT_EQ(0, kuULongLong_SetFromNString(&u, nullptr, 3));
    EXPECT_EQ(0, kuULongLong_SetFromNString(&u, "12", 0));
    EXPECT_EQ(0x100000002u, get(u)); // untouched
    EXPECT_EQ(1, kuULongLong_SetFromNString(&u, "123456", 3));
    EXPECT_EQ(123u, get(u));
    EXPECT_EQ(0, kuULongLong_SetFromNString(&u, "12x", 3));
    EXPECT_EQ(0u, get(u));
    char digits[20];
    memset(digits, '9', sizeof digits); // unterminated, and too large as a whole
    EXPECT_EQ(1, kuULongLong_SetFromNString(&u, digits, 19));
    EXPECT_EQ(9999999999999999999u, get(u));
    EXPECT_EQ(0, kuULongLong_SetFromNString(&u, digits, 20));
}

// Random decimal texts against the C library's own conversions.
TEST(kuConvert, RandomDecimalTextsMatchCLibrary)
{
    uint64_t state = 88172645463325252u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    const char prefixes[][3] = {"", " ", "+", "-", " -", "\t+"};
    for (int i = 0; i < 100000; i++) {
        char text[40];
        size_t n = strlen(strcpy(text, prefixes[next() % 6]));
        int digits = (int)(next() % 22);
        if (next() % 2) // leading zeros do not count towards overflow
            text[n++] = '0';
        for (int d = 0; d < digits; d++)
            text[n++] = (char)('0' + next() % 10);
        if (next() % 4 == 0)
            text[n++] = "x. 9"[next() % 4];
        text[n] = '\0';
        SCOPED_TRACE(text);

        bool hasDigit = strpbrk(text, "0123456789") != nullptr;
        bool negative = strchr(text, '-') != nullptr;
        char *end;
        errno = 0;
        long long ref = strtoll(text, &end, 10);
        bool refOverflow = errno == ERANGE;
        int32_t expectedStatus = !hasDigit ? -3 : refOverflow ? (negative ? -2 : -1)
                                 : *end ? (int32_t)(end - text) : 0;
        kuint64 s;
        EXPECT_EQ(expectedStatus, kuConvert_strtoLongLong(text, &s));
        EXPECT_EQ(hasDigit ? ref : 0, get(s));

        I32 r = i32(text);
        bool fits32 = ref >= INT32_MIN && ref <= INT32_MAX && !refOverflow;
        int32_t expected32 = !hasDigit ? -3 : !fits32 ? (negative ? -2 : -1)
                             : *end ? (int32_t)(end - text) : 0;
        EXPECT_EQ(expected32, r.status);
        EXPECT_EQ(!hasDigit ? 0 : fits32 ? ref : negative ? INT32_MIN : INT32_MAX, r.value);

        if (!negative) {
            errno = 0;
            unsigned long long uref = strtoull(text, &end, 10);
            bool over = errno == ERANGE || uref > 0xFFFFFFFFu;
            U32 ru = u32(text);
            EXPECT_EQ(!hasDigit ? -3 : over ? -1 : *end ? (int32_t)(end - text) : 0, ru.status);
            EXPECT_EQ(!hasDigit ? 0 : over ? 0xFFFFFFFFu : (uint32_t)uref, ru.value);
        }
        if (HasFailure())
            break;
    }
}

TEST(kuConvert, DecimalFloatingPoint)
{
    double d = 9;
    EXPECT_PARSE(1500.0, 0, PARSE(double, kuConvert_strtod("1.5e3", out)));
    EXPECT_PARSE(0.5, 0, PARSE(double, kuConvert_strtod(".5", out)));
    EXPECT_PARSE(0.0, -1, PARSE(double, kuConvert_strtod("1e2000", out)));
    EXPECT_PARSE(0.0, -2, PARSE(double, kuConvert_strtod("1e-2000", out)));
    EXPECT_EQ(-3, kuConvert_strtod("abc", &d));
    EXPECT_EQ(-3, kuConvert_strtod("", &d));
    EXPECT_EQ(-3, kuConvert_strtod(nullptr, &d));
    EXPECT_EQ(-3, kuConvert_strtod("-.", &d));
    EXPECT_EQ(-3, kuConvert_strtod(".e5", &d));
    EXPECT_PARSE(2.0, 0, PARSE(double, kuConvert_strtod("2e", out))); // a bare marker is consumed
    EXPECT_PARSE(2.5, 3, PARSE(double, kuConvert_strtod("2.5x", out)));
    EXPECT_EQ(0, kuConvert_strtod("1.7976931348623157e308", &d));
    EXPECT_NEAR(DBL_MAX, d, DBL_MAX * 2.3e-16);
    EXPECT_PARSE(0.0, -1, PARSE(double, kuConvert_strtod("1.8e308", out)));
    // the exponent limits count fraction digits, whatever the value
    EXPECT_EQ(-1, kuConvert_strtod("1e1024", &d)); // allowed exponent, no finite double
    EXPECT_EQ(-1, kuConvert_strtod("0e1025", &d));
    EXPECT_PARSE(0.0, 0, PARSE(double, kuConvert_strtod("0e1024", out)));
    EXPECT_EQ(0, kuConvert_strtod("1e-1021", &d));
    EXPECT_EQ(-2, kuConvert_strtod("0.1e-1021", &d));
    EXPECT_EQ(0, kuConvert_strtod("123456789e-320", &d));
    EXPECT_NEAR(1.23456789e-312, d, 1e-320);
    // huge exponents and long digit runs neither overflow nor loop long
    EXPECT_EQ(-1, kuConvert_strtod("1e99999999999999999999999", &d));
    EXPECT_EQ(-2, kuConvert_strtod("1e-99999999999999999999999", &d));
    std::string longText(5000, '1');
    EXPECT_EQ(-1, kuConvert_strtod(longText.c_str(), &d));
    std::string longFraction = "0." + std::string(5000, '0') + "1e5000";
    EXPECT_EQ(0, kuConvert_strtod(longFraction.c_str(), &d));
    EXPECT_NEAR(0.1, d, 1e-15);

    // ordinary numbers come out as the nearest double
    const char *samples[] = {"0.1", "3.14159", "2.5e-3", "123456.789", "9007199254740993",
                             "1e22", "4.9e-300", "-0.3"};
    for (const char *s : samples) {
        EXPECT_EQ(0, kuConvert_strtod(s, &d));
        EXPECT_NEAR(strtod(s, nullptr), d, fabs(strtod(s, nullptr)) * 2.3e-16) << s;
    }
}

TEST(kuConvert, FractionsAndMixedNumbers)
{
    double d = 9;
    EXPECT_PARSE(1.5, 0, PARSE(double, kuConvert_strtodouble("1 1/2", out)));
    EXPECT_PARSE(-1.5, 0, PARSE(double, kuConvert_strtodouble("-1 1/2", out)));
    EXPECT_PARSE(0.75, 0, PARSE(double, kuConvert_strtodouble("3/4", out)));
    EXPECT_PARSE(-0.75, 0, PARSE(double, kuConvert_strtodouble("  3/-4", out)));
    EXPECT_PARSE(0.0, 3, PARSE(double, kuConvert_strtodouble("2.5x", out)));
    EXPECT_EQ(-3, kuConvert_strtodouble("  ", &d));
    EXPECT_EQ(-3, kuConvert_strtodouble(nullptr, &d));
    // the offset counts from the denominator
    EXPECT_PARSE(0.0, 1, PARSE(double, kuConvert_strtodouble("3/4x", out)));
    EXPECT_EQ(-3, kuConvert_strtodouble("1 /2", &d));
    EXPECT_EQ(1, kuConvert_strtodouble("1.5/2", &d));
    EXPECT_PARSE(0.0, -3, PARSE(double, kuConvert_strtodouble("3/0", out)));
    EXPECT_EQ(-1, kuConvert_strtodouble("99999999999999999999/2", &d));
}

TEST(kuConvert, HexadecimalBuffers)
{
    unsigned char *buffer = (unsigned char *)1;
    size_t count = 9;
    EXPECT_EQ(0, kuConvert_hexstrntobuffer("0x0102", 6, 2, 0, &buffer, &count));
    ASSERT_EQ(2u, count);
    EXPECT_EQ(0, memcmp(buffer, "\x01\x02", 2));
    kuFree(buffer);
    EXPECT_EQ(0, kuConvert_hexstrntobuffer("0x0102", 6, 2, 1, &buffer, &count));
    ASSERT_EQ(2u, count);
    EXPECT_EQ(0, memcmp(buffer, "\x02\x01", 2));
    kuFree(buffer);
    EXPECT_EQ(0, kuConvert_hexstrntobuffer("A1b2C3d4e5F60718", 16, 4, 1, &buffer, &count));
    ASSERT_EQ(8u, count);
    EXPECT_EQ(0, memcmp(buffer, "\xd4\xc3\xb2\xa1\x18\x07\xf6\xe5", 8));
    kuFree(buffer);

    EXPECT_EQ(-3, kuConvert_hexstrntobuffer("0x123", 5, 1, 0, &buffer, &count));
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ(0u, count);
    EXPECT_EQ(-3, kuConvert_hexstrntobuffer("01g3", 4, 1, 0, &buffer, &count));
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ(-3, kuConvert_hexstrntobuffer("0102", 4, 0, 0, &buffer, &count));
    EXPECT_EQ(0, kuConvert_hexstrntobuffer(nullptr, 4, 1, 0, &buffer, &count));
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ(0, kuConvert_hexstrntobuffer("0X", 2, 4, 0, &buffer, &count));
    EXPECT_NE(nullptr, buffer);
    EXPECT_EQ(0u, count);
    kuFree(buffer);

    const unsigned char bytes[] = {1, 2, 3, 4, 0xab, 0xcd, 0xef, 0x10};
    char *text = (char *)1;
    EXPECT_EQ(0, kuConvert_buffertohexstr(bytes, 4, 4, 0, &text));
    EXPECT_STREQ("01020304", text);
    kuFree(text);
    EXPECT_EQ(0, kuConvert_buffertohexstr(bytes, 8, 4, 1, &text));
    EXPECT_STREQ("0403020110efcdab", text);
    kuFree(text);
    EXPECT_EQ(0, kuConvert_buffertohexstr(bytes, 8, 1, 1, &text));
    EXPECT_STREQ("01020304abcdef10", text);
    kuFree(text);
    EXPECT_EQ(0, kuConvert_buffertohexstr(bytes, 0, 4, 0, &text));
    EXPECT_STREQ("", text);
    kuFree(text);
    EXPECT_EQ(-3, kuConvert_buffertohexstr(bytes, 6, 4, 0, &text));
    EXPECT_EQ(nullptr, text);

    // the two directions agree
    EXPECT_EQ(0, kuConvert_buffertohexstr(bytes, 8, 2, 0, &text));
    EXPECT_EQ(0, kuConvert_hexstrntobuffer(text, strlen(text), 2, 0, &buffer, &count));
    EXPECT_EQ(0, memcmp(bytes, buffer, 8));
    kuFree(text);
    kuFree(buffer);
}

TEST(kuConvert, StrCompareTakesNullAsEmpty)
{
    EXPECT_EQ(0, kuUtil_StrCompare(nullptr, nullptr));
    EXPECT_EQ(0, kuUtil_StrCompare(nullptr, ""));
    EXPECT_LT(kuUtil_StrCompare(nullptr, "a"), 0);
    EXPECT_GT(kuUtil_StrCompare("a", nullptr), 0);
    EXPECT_LT(kuUtil_StrCompare("a", "b"), 0);
    EXPECT_GT(kuUtil_StrCompare("\xff", "a"), 0);
}

TEST(kuConvert, FractionText)
{
    double d = 9;
    EXPECT_PARSE(0.75, 0, PARSE(double, kuConvert_strfractiontodouble("3/4", out)));
    EXPECT_PARSE(1.5, 0, PARSE(double, kuConvert_strfractiontodouble("1 1/2", out)));
    EXPECT_PARSE(-1.5, 0, PARSE(double, kuConvert_strfractiontodouble("-1 1/2", out)));
    EXPECT_PARSE(-0.5, 0, PARSE(double, kuConvert_strfractiontodouble("-0 1/2", out)));
    EXPECT_PARSE(1.5, 0, PARSE(double, kuConvert_strfractiontodouble("1-1/2", out)));
    EXPECT_PARSE(29.97, 0, PARSE(double, kuConvert_strfractiontodouble(" 29.97", out)));
    EXPECT_PARSE(30000.0 / 1001, 0,
                 PARSE(double, kuConvert_strfractiontodouble("30000/1001 ", out)));
    // the first number stays
    EXPECT_PARSE(1.5, 1, PARSE(double, kuConvert_strfractiontodouble("1.5/2", out)));
    EXPECT_EQ(1, kuConvert_strfractiontodouble("1 3/2", &d));
    EXPECT_EQ(1, kuConvert_strfractiontodouble("3/0", &d));
    EXPECT_EQ(1, kuConvert_strfractiontodouble("2 ", &d));
    EXPECT_EQ(1, kuConvert_strfractiontodouble("1 1/2x", &d));
    EXPECT_EQ(1, kuConvert_strfractiontodouble(nullptr, &d));

    EXPECT_PARSE(0.75, 0, PARSE(double, kuConvert_strnfractiontodouble("3/4,1/2", 3, out)));
    EXPECT_PARSE(1.0, 0, PARSE(double, kuConvert_strnfractiontodouble("1/2", 1, out)));
    EXPECT_EQ(1, kuConvert_strnfractiontodouble("1/2", 2, &d));
    EXPECT_EQ(1, kuConvert_strnfractiontodouble("1\0" "5", 3, &d));
    EXPECT_EQ(1, kuConvert_strnfractiontodouble("1", 0, &d));
    char block[5] = {'-', '2', '/', '4', '7'}; // unterminated
    EXPECT_PARSE(-2.0 / 47, 0, PARSE(double, kuConvert_strnfractiontodouble(block, 5, out)));
    EXPECT_PARSE(-0.5, 0, PARSE(double, kuConvert_strnfractiontodouble(block, 4, out)));
    EXPECT_EQ(1, kuConvert_strnfractiontodouble(block, 3, &d));
    EXPECT_PARSE(-2.0, 0, PARSE(double, kuConvert_strnfractiontodouble(block, 2, out)));
}

// The scan behaves as sscanf on the marked copy for texts built from the
// pieces that matter.
TEST(kuConvert, FractionTextMatchesTheScanItReplaces)
{
    // no "x": hexadecimal floats are not read
    const char *pieces[] = {"1", "25", "-", "+", " ", "/", ".", "5", "z", "0", "e", "3"};
    uint64_t state = 7;
    for (int i = 0; i < 50000; i++) {
        char text[24] = "";
        int n = (int)(state % 7) + 1;
        for (int j = 0; j < n; j++) {
            state = state * 6364136223846793005u + 1442695040888963407u;
            strcat(text, pieces[(state >> 33) % 12]);
        }
        char copy[32];
        snprintf(copy, sizeof copy, "%s\a", text);
        double v = 0, ref = 0;
        char c1 = 0, c2 = 0, c3 = 0;
        long a = 0, b = 0;
        int items = sscanf(copy, " %lf%c %ld %c %ld %c", &v, &c1, &a, &c2, &b, &c3);
        int32_t expected = 1;
        if (items == 2 && c1 == '\a') {
            expected = 0;
            ref = v;
        } else if (items == 4 && c1 == '/' && c2 == '\a' && fmod(v, 1.0) == 0 && a >= 1) {
            expected = 0;
            ref = v / a;
        } else if (items == 6 && (c1 == ' ' || c1 == '-') && c2 == '/' && c3 == '\a' &&
                   fmod(v, 1.0) == 0 && a >= 0 && a < b) {
            expected = 0;
            const char *p = text;
            while (*p == ' ')
                p++;
            ref = *p == '-' ? v - (double)a / b : v + (double)a / b;
        }
        double d = -99;
        EXPECT_EQ(expected, kuConvert_strfractiontodouble(text, &d)) << "'" << text << "'";
        if (expected == 0) {
            EXPECT_DOUBLE_EQ(ref, d) << "'" << text << "'";
        }
        if (HasFailure())
            break;
    }
}

TEST(kuConvert, DoubleToFraction)
{
    struct {
        double value;
        int32_t largest;
        double tolerance;
        const char *text;
    } cases[] = {
        {0.333333, 100, 0.001, "1/3"},
        {3.14159, 10, 0.001, "3 1/7"},
        {3.14159, 1000, 0.000001, "3 16/113"},
        {1.5, 100, 0.001, "1 1/2"},
        {-0.75, 100, 0.001, "-3/4"},
        {-2.25, 100, 0.001, "-2 1/4"},
        {2.0, 100, 0.001, "2"},
        {0.9999, 100, 0.001, "1"},
        {0.0, 100, 0.001, "0"},
        {-0.0001, 100, 0.001, "0"},
        {0.001, 100, 0.0001, "0"},        // 0 is nearer than 1/100
        {0.008, 100, 0.0001, "1/100"},    // 1/100 is nearer than 0
        {0.9996, 100, 0.0001, "1"},       // the limited convergent is whole
        {29.97002997, 1001, 0.0000001, "29 971/1001"},
        {0.5, 1, 0.001, "1"},            // 1/1 is as near as 0: taken, then whole
        {0.3, 0, 0.001, "0"},
        {0.3, -5, 0.001, "0"},
        {1e300, 100, 0.001, "9223372036854775807"},
        {0.1, 100, -1, "1/10"},          // a negative tolerance counts as 0
        {0.1, 100, NAN, "1/10"},
    };
    for (const auto &c : cases) {
        char *text = (char *)1;
        EXPECT_EQ(0, kuConvert_doubletofraction(c.value, c.largest, c.tolerance, &text))
            << c.value;
        ASSERT_NE(nullptr, text);
        EXPECT_STREQ(c.text, text) << c.value << " " << c.largest << " " << c.tolerance;
        kuFree(text);
    }
    char *text = (char *)1;
    EXPECT_EQ(-3, kuConvert_doubletofraction(NAN, 100, 0.001, &text));
    EXPECT_EQ(nullptr, text);
    EXPECT_EQ(-3, kuConvert_doubletofraction(-INFINITY, 100, 0.001, &text));
    EXPECT_EQ(-3, kuConvert_doubletofraction(1, 100, 0.001, nullptr));

    // every result is a fraction within reach of the value
    for (int i = 1; i < 2000; i++) {
        double value = i * 0.01234567;
        EXPECT_EQ(0, kuConvert_doubletofraction(value, 1000, 1e-9, &text));
        double back;
        ASSERT_EQ(0, kuConvert_strfractiontodouble(text, &back)) << text;
        EXPECT_NEAR(value, back, 1.0 / 1000 / 2) << text;
        kuFree(text);
    }
}
