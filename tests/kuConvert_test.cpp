#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuMemory.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <ctype.h>
#include <float.h>
#include <math.h>

namespace {

// Parsers run on a fresh out-variable, so that one that leaves it alone shows.
template <typename T> T fresh() { return (T)77; }
template <> kuint64 fresh() { return {2, 1}; }
template <> kuuint64 fresh() { return {2, 1}; }
const int64_t kUntouched = 0x100000002;
// An unterminated "0xf".
const char exact[3] = {'0', 'x', 'f'};

template <typename T> int64_t widen(T v) { return (int64_t)v; }
double widen(double v) { return v; }
int64_t widen(kuint64 v) { return (int64_t)((uint64_t)(uint32_t)v.high << 32 | v.low); }
int64_t widen(kuuint64 v) { return (int64_t)((uint64_t)v.high << 32 | v.low); }

// arg is the base, or the length for the n-variants
#define PARSER(name, T, call)                                                  \
    auto name(const char *text, int arg)                                       \
    {                                                                          \
        T value = fresh<T>(), *out = &value;                                   \
        int32_t status = call;                                                 \
        return std::make_pair(status, widen(value));                           \
    }
PARSER(u32, uint32_t, kuConvert_strtouint32_base(text, out, arg))
PARSER(i32, int32_t, kuConvert_strtoint32_base(text, out, arg))
PARSER(u16, uint16_t, kuConvert_strtouint16(text, out))
PARSER(i16, int16_t, kuConvert_strtoint16(text, out))
PARSER(hex, uint32_t, kuConvert_hexstrtouint32(text, out))
PARSER(ptr, uint32_t, kuConvert_strtoptr(text, out))
PARSER(nu32, uint32_t, kuConvert_strntouint32(text, (size_t)arg, out))
PARSER(ni32, int32_t, kuConvert_strntoint32(text, (size_t)arg, out))
PARSER(nu16, uint16_t, kuConvert_strntouint16(text, (size_t)arg, out))
PARSER(nhex, uint32_t, kuConvert_hexstrntouint32(text, (size_t)arg, out))
PARSER(s64, kuint64, kuConvert_strtoLongLong(text, out))
PARSER(u64, kuuint64, kuConvert_strtoULongLong(text, out))
PARSER(dbl, double, kuConvert_strtod(text, out))
PARSER(mixed, double, kuConvert_strtodouble(text, out))
// these return 1 for a number that fits, else 0
PARSER(setS64, kuint64, kuLongLong_SetFromString(out, text))
PARSER(setU64, kuuint64, kuULongLong_SetFromString(out, text))
PARSER(setNU64, kuuint64, kuULongLong_SetFromNString(out, text, (size_t)arg))
// these return 1 on failure
PARSER(frac, double, kuConvert_strfractiontodouble(text, out))
PARSER(nfrac, double, kuConvert_strnfractiontodouble(text, (size_t)arg, out))
#undef PARSER

template <typename V> struct Case {
    std::pair<int32_t, V> (*parse)(const char *text, int arg);
    const char *text; int arg; int32_t status; V value;
};

// Doubles need only be close: the parsers are not always exact.
template <typename V, size_t N> void expectOutcomes(const Case<V> (&cases)[N])
{
    for (const auto &c : cases) {
        const auto r = c.parse(c.text, c.arg);
        EXPECT_EQ(c.status, r.first) << c.text << " / " << c.arg;
        if constexpr (std::is_same_v<V, double>) {
            EXPECT_NEAR(c.value, r.second, fabs(c.value) * 2.3e-16 + 1e-320) << c.text;
        } else {
            EXPECT_EQ(c.value, r.second) << c.text << " / " << c.arg;
        }
    }
}

} // namespace

TEST(kuConvert, CharacterClassesNumberBoundariesAndStatus)
{
    for (int c = -1; c < 300; c++) {
        bool ascii = c >= 0 && c < 128;
        EXPECT_EQ(ascii && isspace(c) != 0, kuConvert_isspace(c) != 0) << c;
        EXPECT_EQ(ascii && isdigit(c) != 0, kuConvert_isnum(c) != 0) << c;
        EXPECT_EQ(ascii && isalnum(c) != 0, kuConvert_isalnum(c) != 0) << c;
        EXPECT_EQ(ascii && isxdigit(c) != 0, kuConvert_isxdigit(c) != 0) << c;
    }

    const struct { const char *a, *b; int sign; } compares[] = {
        {nullptr, nullptr, 0}, {nullptr, "", 0}, {nullptr, "a", -1}, {"a", nullptr, 1},
        {"a", "b", -1}, {"\xff", "a", 1},
    };
    for (const auto &c : compares) {
        const int r = kuUtil_StrCompare(c.a, c.b);
        EXPECT_EQ(c.sign, (r > 0) - (r < 0)) << kutest::orNull(c.a) << kutest::orNull(c.b);
    }

    const int64_t max = UINT32_MAX;
    static const char minus9[2] = {'-', '9'};
    static const std::vector<char> nines(20, '9'); // unterminated
    const Case<int64_t> cases[] = {
        {u32, "\t\n\v\f\r 42", 10, 0, 42}, {u32, "42abc", 10, 2, 42}, {u32, "  42 ", 10, 4, 42},
        {u32, "", 10, -3, 0}, {u32, "+", 10, -3, 0}, {u32, "-1", 10, -3, 0},
        {u32, nullptr, 10, -3, 0}, {u32, "+004294967295", 10, 0, max},
        {u32, "4294967296", 10, -1, max}, {u32, "99999999999999999999x", 10, -1, max},
        {u32, "0x1A", 0, 0, 26}, {u32, "017", 0, 0, 15}, {u32, "0x", 0, 1, 0},
        {u32, "0xg", 16, 1, 0}, {u32, "08", 0, 1, 0}, {u32, "1", 37, -3, 0},
        {u32, "1z141z3", 36, 0, max}, {u32, "1z141z4", 36, -1, max}, {hex, "0xff", 0, 0, 255},
        {hex, "100000000", 0, -1, max}, {u16, "70000", 0, -1, 65535}, {u16, "65536z", 0, -1, 65535},
        {u16, "z", 0, -3, 0}, {i32, "-002147483648", 10, 0, INT32_MIN},
        {i32, "2147483647", 10, 0, INT32_MAX}, {i32, "2147483648", 10, -1, INT32_MAX},
        {i32, "-3000000000", 10, -2, INT32_MIN}, {i32, " -2147483648x", 10, 12, INT32_MIN},
        {i32, "-+5", 10, -3, 0}, {i32, "-x", 10, -3, 0}, {i32, nullptr, 10, -3, 0},
        {i32, " +5", 10, 0, 5}, {i32, " + 5", 10, -3, 0}, {i32, "-0x10", 16, 0, -16},
        {i32, "-010", 0, 0, -8}, {i32, "5", 99, -3, 0}, {i16, "40000", 0, -1, 32767},
        {i16, "-40000", 0, -2, -32768}, {i16, "-32768", 0, 0, -32768},
        // pointers: offsets count from where the digits begin
        {ptr, "0xg", 0, 1, 0}, {ptr, " +0XdeadBEEF", 0, 0, 0xDEADBEEF}, {ptr, " +12z", 0, 2, 12},
        {ptr, "0x10z", 0, 2, 16}, {ptr, "0x100000000", 0, -1, max}, {ptr, "-1", 0, -3, 0},
        {ptr, nullptr, 0, -3, 0},
        // length variants: unterminated blocks; a zero byte inside the length ends
        // the text like the copy's terminator
        {nu32, "12345", 2, 0, 12}, {nu32, "12345", 0, -3, 0}, {nu32, nullptr, 3, -3, 0},
        {nu32, "12x45", 4, 2, 12}, {nu32, "12\0" "45", 5, 0, 12},
        {nu32, "42949672951", 10, 0, UINT32_MAX}, {nu32, "42949672951", 11, -1, UINT32_MAX},
        {nhex, exact, 3, 0, 15}, {nu32, nines.data(), 3, 0, 999}, {nu16, exact, 2, 1, 0},
        {nhex, exact, 2, 1, 0}, {nhex, "ff", 0, -3, 0}, {ni32, minus9, 2, 0, -9},
        {nu16, "70000", 5, -1, 65535},
        // 64 bits; the setters return 1 for a number that fits, else 0
        {s64, "-009223372036854775808", 0, 0, INT64_MIN},
        {s64, "9223372036854775808", 0, -1, INT64_MAX},
        {s64, "-9223372036854775809", 0, -2, INT64_MIN},
        {s64, "+18446744073709551616", 0, -1, INT64_MAX}, {s64, " -1x", 0, 3, -1},
        {s64, " - 1", 0, -3, 0}, {s64, nullptr, 0, -3, 0},
        {u64, "18446744073709551615", 0, 0, (int64_t)UINT64_MAX},
        {u64, "18446744073709551616", 0, -1, (int64_t)UINT64_MAX}, {u64, "-1", 0, -3, 0},
        {setS64, " -12", 0, 1, -12}, {setS64, "12x", 0, 0, 0},
        {setS64, "9223372036854775808", 0, 0, 0},
        {setU64, "18446744073709551615", 0, 1, (int64_t)UINT64_MAX},
        {setNU64, nullptr, 3, 0, kUntouched}, {setNU64, "12", 0, 0, kUntouched},
        {setNU64, "123456", 3, 1, 123}, {setNU64, "12x", 3, 0, 0},
        {setNU64, nines.data(), 19, 1, (int64_t)9999999999999999999u},
        {setNU64, nines.data(), 20, 0, 0},
    };
    expectOutcomes(cases);

    static const char block[5] = {'-', '2', '/', '4', '7'};
    const std::string longText(5000, '1'), longFraction = "0." + std::string(5000, '0') + "1e5000";
    // A bare exponent marker is consumed. The exponent limits count fraction
    // digits, whatever the value; 1e1024 has an allowed exponent but no finite
    // double. Huge exponents and long digit runs neither overflow nor loop long.
    // Fractions and mixed numbers: any failure writes 0.0, and the offset
    // counts from the part that failed.
    const Case<double> floating[] = {
        {dbl, "1.5e3", 0, 0, 1500}, {dbl, ".5", 0, 0, 0.5}, {dbl, "1e2000", 0, -1, 0},
        {dbl, "1e-2000", 0, -2, 0}, {dbl, "", 0, -3, 0}, {dbl, nullptr, 0, -3, 0},
        {dbl, "-.", 0, -3, 0}, {dbl, ".e5", 0, -3, 0}, {dbl, "2e", 0, 0, 2},
        {dbl, "2.5x", 0, 3, 2.5}, {dbl, "1.7976931348623157e308", 0, 0, DBL_MAX},
        {dbl, "1.8e308", 0, -1, 0}, {dbl, "1e1024", 0, -1, 0}, {dbl, "0e1025", 0, -1, 0},
        {dbl, "0e1024", 0, 0, 0}, {dbl, "1e-1021", 0, 0, 0}, {dbl, "0.1e-1021", 0, -2, 0},
        {dbl, "123456789e-320", 0, 0, 1.23456789e-312},
        {dbl, "1e99999999999999999999999", 0, -1, 0}, {dbl, "1e-99999999999999999999999", 0, -2, 0},
        {dbl, longText.c_str(), 0, -1, 0}, {dbl, longFraction.c_str(), 0, 0, 0.1},
        {dbl, "0.1", 0, 0, 0.1}, {dbl, "-0.3", 0, 0, -0.3},
        {dbl, "9007199254740993", 0, 0, 9007199254740993.0}, {dbl, "1e22", 0, 0, 1e22},
        {mixed, "1 1/2", 0, 0, 1.5}, {mixed, "-1 1/2", 0, 0, -1.5}, {mixed, "3/4", 0, 0, 0.75},
        {mixed, "  3/-4", 0, 0, -0.75}, {mixed, "2.5x", 0, 3, 0}, {mixed, "  ", 0, -3, 0},
        {mixed, nullptr, 0, -3, 0}, {mixed, "1 /2", 0, -3, 0}, {mixed, "3/0", 0, -3, 0},
        {mixed, "3/4x", 0, 1, 0}, {mixed, "1.5/2", 0, 1, 0},
        {mixed, "99999999999999999999/2", 0, -1, 0},
        // a failure of the fraction scan leaves the first number read, if any
        {frac, "3/4", 0, 0, 0.75}, {frac, "1 1/2 ", 0, 0, 1.5}, {frac, "-1 1/2", 0, 0, -1.5},
        {frac, "-0 1/2", 0, 0, -0.5}, {frac, "1-1/2", 0, 0, 1.5}, {frac, " 29.97", 0, 0, 29.97},
        {frac, "3/11 ", 0, 0, 3.0 / 11}, {frac, "1.5/2", 0, 1, 1.5}, {frac, "1.5 1/2", 0, 1, 1.5},
        {frac, "1 3/2", 0, 1, 1}, {frac, "3/0", 0, 1, 3}, {frac, "2 ", 0, 1, 2},
        {frac, "1 1/2x", 0, 1, 1}, {frac, "1 -1/2", 0, 1, 1}, {frac, nullptr, 0, 1, 77},
        {frac, "1 0/2", 0, 0, 1}, {frac, "1 2/2", 0, 1, 1}, {frac, "1e1/25", 0, 0, 0.4},
        {frac, "+1/ 25", 0, 0, 0.04}, {frac, "1 / 2", 0, 1, 1}, {frac, "-.5e1", 0, 0, -5},
        {nfrac, "3/4,1/2", 3, 0, 0.75}, {nfrac, "1/2", 1, 0, 1}, {nfrac, "1/2", 2, 1, 1},
        {nfrac, "1\0" "5", 3, 1, 1}, {nfrac, "1", 0, 1, 77}, {nfrac, block, 5, 0, -2.0 / 47},
        {nfrac, block, 4, 0, -0.5}, {nfrac, block, 3, 1, -2}, {nfrac, block, 2, 0, -2},
    };
    expectOutcomes(floating);
}

TEST(kuConvert, HexadecimalBuffersBothWaysAndFractionText)
{
    const struct { const char *text; size_t length; int unit, number; std::string bytes; } in[] = {
        {"0x0102", 6, 2, 0, "\x01\x02"}, {exact, 3, 1, 0, "<-3>"}, {"0x0102", 6, 2, 1, "\x02\x01"},
        {"0X", 2, 4, 0, ""}, {"A1b2C3d4e5F60718", 16, 4, 1, "\xd4\xc3\xb2\xa1\x18\x07\xf6\xe5"},
        {nullptr, 4, 1, 0, "<0>"}, {"0x123", 5, 1, 0, "<-3>"}, {"01g3", 4, 1, 0, "<-3>"},
        {"0102", 4, 0, 0, "<-3>"},
        {"01020304abcdef10", 16, 2, 0, "\x01\x02\x03\x04\xab\xcd\xef\x10"},
    };
    // "<status>" for a failure, which leaves a null buffer and count 0
    for (const auto &c : in) {
        unsigned char *buffer = (unsigned char *)1;
        size_t count = 9;
        int32_t status = kuConvert_hexstrntobuffer(c.text, c.length, c.unit, c.number, &buffer,
                                                   &count);
        const std::string bytes = buffer ? std::string((const char *)buffer, count)
                                         : "<" + std::to_string(status + (int)count) + ">";
        EXPECT_EQ(c.bytes, bytes) << c.text;
        EXPECT_TRUE(buffer == nullptr || status == 0) << c.text;
        kuFree(buffer);
    }
    static const unsigned char bytes[] = {1, 2, 3, 4, 0xab, 0xcd, 0xef, 0x10};
    const struct { size_t length; int unit, order; const char *text; } out[] = {
        {4, 4, 0, "01020304"}, {8, 4, 1, "0403020110efcdab"}, {8, 1, 1, "01020304abcdef10"},
        {8, 2, 0, "01020304abcdef10"}, {0, 4, 0, ""}, {6, 4, 0, "<-3<null>>"},
    };
    for (const auto &c : out) {
        char *text = (char *)1;
        int32_t status = kuConvert_buffertohexstr(bytes, c.length, c.unit, c.order, &text);
        const std::string r = kutest::take(text);
        EXPECT_EQ(c.text, status != 0 ? "<" + std::to_string(status) + r + ">" : r) << c.length;
    }

    // 0 is nearer than 1/100 at 0.001, and 1/100 than 0 at 0.008; at 0.9996 the
    // limited convergent is whole; for 0.5 and 1, 1/1 is as near as 0: taken,
    // then whole; a negative tolerance counts as 0.
    const struct { double value; int32_t largest; double tolerance; const char *text; } cases[] = {
        {3.14159, 10, 0.001, "0 3 1/7"}, {3.14159, 1000, 0.000001, "0 3 16/113"},
        {-2.25, 100, 0.001, "0 -2 1/4"}, {0.9999, 100, 0.001, "0 1"}, {0.0, 100, 0.001, "0 0"},
        {-0.0001, 100, 0.001, "0 0"}, {0.001, 100, 0.0001, "0 0"}, {0.008, 100, 0.0001, "0 1/100"},
        {0.9996, 100, 0.0001, "0 1"}, {29.97002997, 1001, 0.0000001, "0 29 971/1001"},
        {0.5, 1, 0.001, "0 1"}, {0.3, 0, 0.001, "0 0"}, {0.3, -5, 0.001, "0 0"},
        {0.1, 100, -1, "0 1/10"}, {1e300, 100, 0.001, "0 9223372036854775807"},
        {0.1, 100, NAN, "0 1/10"}, {NAN, 100, 0.001, "-3 <null>"},
        {-INFINITY, 100, 0.001, "-3 <null>"},
    };
    char *text = (char *)1;
    for (const auto &c : cases) {
        const int32_t status = kuConvert_doubletofraction(c.value, c.largest, c.tolerance, &text);
        EXPECT_EQ(c.text, std::to_string(status) + " " + kutest::take(text))
            << c.value << " " << c.largest << " " << c.tolerance;
    }
    EXPECT_EQ(-3, kuConvert_doubletofraction(1, 100, 0.001, nullptr));
}
