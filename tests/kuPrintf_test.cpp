#include <kuvanaTools/kuPrintf.h>

#include "support/PrintfCheck.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <stdint.h>
#include <string.h>

using kutest::format;
using kutest::wformat;

namespace {

// The text format() gives for the error -(256 * p + k).
std::string code(int p, int k) { return "<" + std::to_string(-(256 * p + k)) + ">"; }

} // namespace

// Standard directives are compared with the C library, and fixed buffers of
// every size with the full output, by the fuzz target; these are the
// extensions and the departures.
TEST(kuPrintf, IntegerCharacterStringAndPointerDirectivesAndCounts)
{
    // bases; a %d reads its base but does not use it
    EXPECT_EQ("101 0b101 z 255", format("%..2i %#..2u %..36u %..16d", 5, 5, 35, 255));
    EXPECT_EQ("ff 0xff 0XFF", format("%..*u %#..16i %#X", 16, 255, 255, 255));
    EXPECT_EQ("377 0377 12", format("%o %#o %..8i", 255, 255, 10));
    // bases that make no sense print in base 10; "." alone gives no base
    EXPECT_EQ("12 12 12 12", format("%..*u %..*u %..*u %..1u", 0, 12, 1, 12, 99, 12, 12));
    EXPECT_EQ(" 01.x", format("%3.2.d.x", 1));
    // zero with and without a precision
    EXPECT_EQ("0||0|0|[   ]", format("%#o|%.0d|%#.0o|%#x|[%3.0d]", 0, 0, 0, 0, 0));
    // flags together as in C, but unsigned conversions keep the space flag
    EXPECT_EQ("     007|7    | 5|5", format("%08.3d|%-05d|% u|%+u", 7, 7, 5, 5));
    // the octal "0" is the first precision zero when right-justified only
    EXPECT_EQ("00010|000010|1   |5", format("%#.5o|%-#.5o|%*d|%.*d", 8, 8, -4, 1, -1, 5));
    // sizes
    EXPECT_EQ("4294967295 -2147483648 300 300", format("%u %d %hhd %hd", -1, INT_MIN, 300, 300));
    EXPECT_EQ(std::string(64, '1'), format("%..2llu", ULLONG_MAX));

    EXPECT_EQ("    \xC3\xA9|A  |\xE2\x82\xAC|\xFD\xBF\xBF\xBF\xBF\xBF",
              format("%5c|%-3c|%lc|%c", 0xE9, 'A', 0x20AC, 0x7FFFFFFF));
    EXPECT_EQ(std::string("a\0b", 3), format("a%cb", 0));
    // a precision never splits a character; the width counts bytes
    const char *ea = "\xC3\xA9" "a";
    EXPECT_EQ("|\xC3\xA9|\xC3\xA9" "a|", format("%.1s|%.2s|%.3s|", ea, ea, ea));
    EXPECT_EQ("   \xC3\xA9|\xC3\xA9   |hello|he",
              format("%5s|%-5s|%s|%.*s", "\xC3\xA9", "\xC3\xA9", "hello", 2, "hello"));
    // a precision bounds the read: the text need not be terminated
    const char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_EQ("abc|ab", format("%.3s|%.3s", unterminated, "ab\xC3\xA9"));
    // null strings print "(nil)" without padding; the precision still applies
    EXPECT_EQ("(nil)|(n|(nil)", format("%10s|%.2s|%-8ls", (char *)nullptr, (char *)nullptr,
                                       (wchar_t *)nullptr));
    EXPECT_EQ("x\xC3\xA9\xE2\x82\xAC|x\xC3\xA9|  x||",
              format("%ls|%.4ls|%3ls|%.0ls|", L"x\u00E9\u20AC", L"x\u00E9\u20AC", L"x", L"x"));

    // an invalid argument: what was written before stays, terminated
    char buffer[32];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(-2, ku_snprintf(buffer, sizeof buffer, "ok %d %s tail", 5, "a\xC3"));
    EXPECT_STREQ("ok 5 ", buffer);
    // a sequence cut short, with and without a precision
    for (const char *fmt : {"%s", "%.5s"})
        EXPECT_EQ("<-2>", format(fmt, "ab\xE2\x82")) << fmt;
    // bytes of the format itself are copied as they are
    EXPECT_EQ("\xFF\xC3%", format("\xFF\xC3%%"));

    const std::string digits(2 * sizeof(void *) - 4, '0');
    EXPECT_EQ("0x" + digits + "1234|0x1234" + std::string(digits.size(), ' ') + "|",
              format("%p|%-p|", (void *)0x1234, (void *)0x1234));
    // the directive's own width and precision are not used; null ignores them all
    EXPECT_EQ("0x" + digits + "abcd|(nil)", format("%40.2p|%-20p", (void *)0xabcd, (void *)nullptr));

    // every size stores the count; the bytes around the target stay
    unsigned char bytes[3] = {0xEE, 0xEE, 0xEE};
    struct {
        short s = -1; int i = -1; long l = -1; long long ll = -1; size_t z = 99; intmax_t j = -1;
        ptrdiff_t t = -1;
    } n;
    EXPECT_EQ("abcdefgh", format("a%hhnb%hncd%nef%ln%lln%zng%jnh%tn", (signed char *)(bytes + 1),
                                 &n.s, &n.i, &n.l, &n.ll, &n.z, &n.j, &n.t));
    EXPECT_EQ((std::vector<long long>{0xEE, 1, 0xEE, 2, 4, 6, 6, 6, 7, 8}),
              (std::vector<long long>{bytes[0], bytes[1], bytes[2], n.s, n.i, n.l, n.ll,
                                      (long long)n.z, n.j, n.t}));
    EXPECT_EQ("x", format("x%n", (int *)nullptr));
    // in a fixed buffer the count stops at what was stored; a null buffer
    // only counts, whatever the size, and %n gets the full count
    char small[4];
    int stored = -1;
    EXPECT_EQ(8, ku_snprintf(small, sizeof small, "abcdef%ngh", &stored));
    EXPECT_EQ(3, stored);
    EXPECT_EQ(6, ku_snprintf(nullptr, 10, "abc%ndef", &stored));
    EXPECT_EQ(3, stored);
}

// k is the kind of error, p an offset or a position.
TEST(kuPrintf, PositionalArgumentsFormatErrorsWideFamilyAndInterfaceEdges)
{
    // any order from one va_list, mixed sizes
    EXPECT_EQ("x 7|2.5 9000000000 c 1", format("%2$s %1$d|%6$.1f %4$lld %5$c %3$d", 7, "x", 1,
                                               9000000000LL, 'c', 2.5));
    // implicit positions run on regardless of explicit ones
    EXPECT_EQ("a c b", format("%s %3$s %s", "a", "b", "c"));
    // implicit stars take positions before the value; explicit ones name theirs
    EXPECT_EQ("[  042|7]", format("[%*.*d|%d]", 5, 3, 42, 7));
    EXPECT_EQ("[0042 ]", format("[%1$-*3$.*2$d]", 42, 4, 5));
    // in a directive with N$ a plain star takes the next implicit position
    EXPECT_EQ("[   42]", format("[%2$*d]", 5, 42));
    EXPECT_EQ("[101]", format("[%2$..*1$u]", 2, 5));
    // a star read as the base of a %d is still consumed
    EXPECT_EQ("255 x", format("%..*d %s", 16, 255, "x"));
    const struct { const char *fmt; int p, k; } cases[] = {
        // syntax: p is the offset just past where parsing stopped (the
        // terminator counts; a base: past its '.')
        {"%!d", 2, 2}, {"%'d", 2, 2}, {"%Id", 2, 2}, {"%Zd", 2, 2}, {"%qd", 2, 2}, {"%%%k", 4, 2},
        {"%y", 2, 2}, {"abc%", 5, 2}, {nullptr, 0, 2}, {"%hhhd", 4, 2}, {"%5llld", 5, 2},
        {"%...d", 4, 2}, {"%3.2.8.d", 7, 2}, {"%..37d", 3, 2}, {"%5.4.99d", 5, 2},
        {"%..99999999999d", 3, 2},
        // positions of 64 or more: past the '%' or the '$'; then positions
        // referenced twice or not at all
        {"%65$d", 4, 3}, {"%1$*65$d", 7, 3}, {"%99999999999$d", 13, 3}, {"%1$s %1$s", 0, 4},
        {"%d %1$d %2$d", 0, 4}, {"%d %d %2$d", 1, 4}, {"%2$d", 0, 5}, {"%1$d %3$d", 1, 5},
    };
    for (const auto &c : cases)
        EXPECT_EQ(code(c.p, c.k), format(c.fmt, 1, 2, 3)) << c.fmt;

    // 64 positions are the limit, as records, values or stars
    std::string many(128, '%');
    for (size_t k = 1; k < many.size(); k += 2)
        many[k] = 'c';
#define X8 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'
    EXPECT_EQ(std::string(64, 'x'), format(many.c_str(), X8, X8, X8, X8, X8, X8, X8, X8));
#undef X8
    EXPECT_EQ(code(129, 3), format((many + "%c").c_str()));
    // a star takes position 63 and moves the value to 64: past the '*'
    EXPECT_EQ(code(128, 3), format((many.substr(2) + "%*c").c_str()));
    std::string repeated;
    while (repeated.size() < 65 * 4)
        repeated += "%1$c";
    EXPECT_EQ(code(64 * 4 + 3, 3), format(repeated.c_str(), 'x'));

    // nothing is written before the error is found, not even by %n
    int count = -7;
    char buffer[16] = "unchanged";
    EXPECT_EQ(-(256 * 8 + 2), ku_snprintf(buffer, sizeof buffer, "abc%n %!", &count));
    EXPECT_EQ(-7, count);
    EXPECT_STREQ("", buffer);

    EXPECT_EQ(L"n=42 s=\u00E9t\u00E9 w=\u20AC",
              wformat(L"n=%d s=%s w=%ls", 42, "\xC3\xA9t\xC3\xA9", L"\u20AC"));
    // width and precision count characters in both string forms
    EXPECT_EQ(L"[  \u00E9\u00E9|\u00E9\u00E9  |\u00E9]",
              wformat(L"[%4s|%-4ls|%.1s]", "\xC3\xA9\xC3\xA9", L"\u00E9\u00E9", "\xC3\xA9\xC3\xA9"));
    EXPECT_EQ(L"  \U0001F600|(nil)", wformat(L"%3c|%10ls", 0x1F600, (wchar_t *)nullptr));
    EXPECT_EQ(L"0x1p+4 1.50 ff %x", wformat(L"%a %.2f %x %%%c", 16.0, 1.5, 255, L'x'));
    EXPECT_EQ(L"<-2>", wformat(L"%s", "\xC3"));

    // a size far beyond the buffer (some callers pass (size_t)-1)
    char big[8];
    EXPECT_EQ(3, ku_snprintf(big, (size_t)-1, "%d", 123));
    EXPECT_STREQ("123", big);

    // output beyond INT_MAX characters is an error, not a wrapped length
    EXPECT_EQ(INT_MAX, ku_snprintf(nullptr, 0, "%2147483647d", 1));
    EXPECT_EQ(-1, ku_snprintf(nullptr, 0, "%2147483647d%d", 1, 2));
    EXPECT_EQ(nullptr, ku_mnprintf("%2147483647d%2147483647d", 1, 2));
    char small[4];
    EXPECT_EQ(-1, ku_snprintf(small, sizeof small, "%*d%*d", INT_MAX, 1, INT_MIN, 2));
    EXPECT_STREQ("   ", small);
    // a floating conversion near INT_MAX characters: counted exactly, an
    // error past it, never a wrapped length
    EXPECT_EQ(INT_MAX, ku_snprintf(nullptr, 0, "%.2147483645f", 1.0));
    EXPECT_EQ(-1, ku_snprintf(small, sizeof small, "%.2147483646f", 1.0));
    EXPECT_STREQ("1.0", small);
    EXPECT_EQ(nullptr, ku_mnprintf("%.2147483646f", 1.0));
    EXPECT_EQ(-1, ku_snprintf(nullptr, 0, "%+.2147483647e", -1.5));
    EXPECT_EQ("0.001 1e-05", format("%.2147483647g %.*g", 0.001, INT_MAX, 1e-5));
    EXPECT_EQ(-1, ku_snprintf(nullptr, 0, "%#.2147483647g", 0.001));
    // numbers in the format saturate instead of wrapping
    EXPECT_EQ(INT_MAX, ku_snprintf(nullptr, 0, "%.99999999999d", 1));
    EXPECT_EQ(0, ku_snprintf(nullptr, 0, "", 1));
    // the pass-throughs
    EXPECT_EQ(-42 + 17, _ku_to_long("-42x", nullptr, 10) + _ku_w_to_long(L"17 ", nullptr, 10));
    EXPECT_EQ(5u, _ku_length("hello"));
    EXPECT_STREQ(strerror(2), _ku_error(2));
}

