#include <kuvanaTools/kuLongLong.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <math.h>
#include <stdint.h>

namespace {

kuint64 s64(int64_t x)
{
    kuint64 v;
    kuLongLong_Set(&v, (uint32_t)((uint64_t)x >> 32), (uint32_t)x);
    return v;
}

kuuint64 u64(uint64_t x)
{
    kuuint64 v;
    kuULongLong_Set(&v, (uint32_t)(x >> 32), (uint32_t)x);
    return v;
}

int64_t get(const kuint64 &v) { return (int64_t)((uint64_t)(uint32_t)v.high << 32 | v.low); }
uint64_t get(const kuuint64 &v) { return (uint64_t)v.high << 32 | v.low; }
template <typename T> T get(T v) { return v; }

// Runs op on a copy of v: the value it leaves and its flag (0 for void ops).
template <typename V, typename Op, typename... A>
auto apply(V v, Op op, A... operand)
{
    int32_t flag = 0;
    if constexpr (std::is_void_v<decltype(op(&v, operand...))>)
        op(&v, operand...);
    else
        flag = op(&v, operand...);
    return std::make_pair(get(v), flag);
}

// The native result and its overflow flag; kind is '+', '-' or '*'.
template <typename T> std::pair<T, int32_t> native(char kind, T a, T b)
{
    T r;
    bool overflow = kind == '+'   ? __builtin_add_overflow(a, b, &r)
                    : kind == '-' ? __builtin_sub_overflow(a, b, &r)
                                  : __builtin_mul_overflow(a, b, &r);
    return {r, overflow};
}

// a << count and whether a set bit went past bit 63.
template <typename T> std::pair<T, int32_t> shifted(T a, uint32_t count)
{
    return {(T)((uint64_t)a << count), count != 0 && ((uint64_t)a >> (64 - count)) != 0};
}

// The value an offset conversion writes, widened, and whether it fitted.
template <typename T, int32_t (*F)(kuFileOffset, T *)> std::pair<int64_t, int32_t> from(int64_t o)
{
    T out;
    int32_t fitted = F(o, &out);
    return {(int64_t)get(out), fitted};
}


} // namespace

TEST(kuLongLong, ConstantsSettersAndCornerOperandsMatchNativeArithmetic)
{
    EXPECT_EQ(INT64_MAX, get(kuLongLong_Max));
    EXPECT_EQ(INT64_MIN, get(kuLongLong_Min));
    EXPECT_EQ(UINT64_MAX, get(kuULongLong_Max));
    EXPECT_EQ(0u, get(kuLongLong_0) + get(kuULongLong_0));
    EXPECT_EQ(INT32_MIN, apply(kuLongLong_0, kuLongLong_SetInt32, INT32_MIN).first);
    EXPECT_EQ(UINT64_MAX, apply(kuULongLong_0, kuULongLong_SetFileOffset, -1).first);
    const struct { double d; int64_t v; } cases[] = {
        {-1.9, -1}, {1.9, 1}, {4294967295.0, 0xFFFFFFFFLL}, {4294967296.5, 0x100000000LL},
        {9223372036854774784.0, 9223372036854774784LL}, // largest double below 2^63
        {-9223372036854775808.0, INT64_MIN}, {1e300, INT64_MAX}, {NAN, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.v, apply(s64(77), kuLongLong_SetDouble, c.d).first) << c.d;

    // Both families against native arithmetic on pairs of corner values, where
    // carries and borrows cross the 32-bit halves and shift counts cross them;
    // division truncates toward zero.
    const uint64_t corners[] = {0, 1, 2, 3, 4, 7, 31, 32, 33, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                0x100000000, 1ULL << 62, (uint64_t)INT64_MAX, (uint64_t)INT64_MIN,
                                (uint64_t)INT64_MIN + 1, 0x123456789ABCDEF0, 0xFEDCBA9876543210,
                                (uint64_t)-1, (uint64_t)-2, (uint64_t)-7, (uint64_t)-0x100000000};
    const size_t size = sizeof corners / sizeof corners[0];
    for (size_t i = 0; i < size * size && !HasFailure(); i++) {
        const uint64_t ua = corners[i / size], ub = corners[i % size];
        const int64_t a = (int64_t)ua, b = (int64_t)ub;
        const int32_t n = (int32_t)b;
        const uint32_t un = (uint32_t)b, count = (uint32_t)(b & 63);
        const kuint64 va = s64(a), vb = s64(b);
        const kuuint64 wa = u64(ua), wb = u64(ub);
        SCOPED_TRACE(testing::Message() << a << " " << b);
        EXPECT_EQ(native('+', a, b), apply(va, kuLongLong_Add, &vb));
        EXPECT_EQ(native('-', a, b), apply(va, kuLongLong_Sub, &vb));
        EXPECT_EQ(native('*', a, b), apply(va, kuLongLong_Mult, &vb));
        EXPECT_EQ(native('+', a, (int64_t)n), apply(va, kuLongLong_AddInt32, n));
        EXPECT_EQ(native('-', a, (int64_t)n), apply(va, kuLongLong_SubInt32, n));
        EXPECT_EQ(native('+', a, (int64_t)un), apply(va, kuLongLong_AddUInt32, un));
        EXPECT_EQ(native('-', a, (int64_t)un), apply(va, kuLongLong_SubUInt32, un));
        // one quotient does not fit; a zero divisor never traps
        const bool zero = b == 0, wraps = a == INT64_MIN && b == -1;
        const int64_t q = zero ? (a > 0 ? -1 : 1) : wraps ? a : a / b;
        EXPECT_EQ(std::make_pair(q, (int32_t)wraps), apply(va, kuLongLong_Div, &vb));
        EXPECT_EQ(zero || wraps ? 0 : a % b, apply(va, kuLongLong_Mod, &vb).first);
        EXPECT_EQ(ub ? ua / ub : ua ? UINT64_MAX : 1, apply(wa, kuULongLong_Div, &wb).first);
        EXPECT_EQ(ub ? ua % ub : 0, apply(wa, kuULongLong_Mod, &wb).first);
        EXPECT_EQ(un ? a % (int64_t)un : 0, apply(va, kuLongLong_ModUInt32, un).first);
        const bool min = a == INT64_MIN;
        EXPECT_EQ(std::make_pair(min ? a : -a, (int32_t)min), apply(va, kuLongLong_Negate));
        EXPECT_EQ(std::make_pair(min || a > 0 ? a : -a, (int32_t)min), apply(va, kuLongLong_Abs));
        EXPECT_EQ(shifted(a, count), apply(va, kuLongLong_ShiftLeft, count));
        EXPECT_EQ(a >> count, apply(va, kuLongLong_ShiftRight, count).first);
        EXPECT_EQ(a < b, kuLongLong_Less(&va, &vb));
        EXPECT_EQ(a == b, kuLongLong_Equal(&va, &vb));
        EXPECT_EQ((double)a, kuLongLong_GetDouble(&va));
        EXPECT_EQ(native('+', ua, ub), apply(wa, kuULongLong_Add, &wb));
        EXPECT_EQ(native('+', ua, (uint64_t)un), apply(wa, kuULongLong_AddUInt32, un));
        EXPECT_EQ(ua - ub, apply(wa, kuULongLong_Sub, &wb).first);
        EXPECT_EQ(ua - un, apply(wa, kuULongLong_SubUInt32, un).first);
        EXPECT_EQ(native('*', ua, ub), apply(wa, kuULongLong_Mult, &wb));
        EXPECT_EQ(un ? ua % un : 0, apply(wa, kuULongLong_ModUInt32, un).first);
        EXPECT_EQ(shifted(ua, count), apply(wa, kuULongLong_ShiftLeft, count));
        EXPECT_EQ(ua >> count, apply(wa, kuULongLong_ShiftRight, count).first);
        EXPECT_EQ((ua < ub) + 2 * (ua <= ub) + 4 * (ua == ub),
                  kuULongLong_Less(&wa, &wb) + 2 * kuULongLong_LessOrEqual(&wa, &wb) +
                      4 * kuULongLong_Equal(&wa, &wb));
        EXPECT_EQ(std::to_string(a), kutest::take(kuLongLong_ToString(&va)));
        EXPECT_EQ(std::to_string(ua), kutest::take(kuULongLong_ToString(&wa)));
    }
    // Counts of 64 and more shift every bit out (the hardware would mask them).
    for (uint32_t count : {64u, 65u, 1000u}) {
        EXPECT_EQ(std::make_pair(int64_t{0}, 1), apply(s64(-5), kuLongLong_ShiftLeft, count));
        EXPECT_EQ(-1, apply(s64(-5), kuLongLong_ShiftRight, count).first);
        EXPECT_EQ(0, apply(s64(5), kuLongLong_ShiftRight, count).first);
        EXPECT_EQ(std::make_pair(uint64_t{0}, 1), apply(u64(1), kuULongLong_ShiftLeft, count));
        EXPECT_EQ(0u, apply(u64(UINT64_MAX), kuULongLong_ShiftRight, count).first);
    }
}

TEST(kuFileOffset, SaturatingConversions)
{
    const bool narrow = sizeof(size_t) == 4;
    const int64_t p31 = 1LL << 31, p32 = 1LL << 32;
    using Conversion = std::pair<int64_t, int32_t> (*)(int64_t);
    const Conversion u32 = from<uint32_t, kuFileOffset_to_uint32>;
    const Conversion i32 = from<int32_t, kuFileOffset_to_int32>;
    const Conversion sz = from<size_t, kuFileOffset_to_size_t>;
    const Conversion ssz = from<ssize_t, kuFileOffset_to_ssize_t>;
    const Conversion uu = from<kuuint64, kuFileOffset_to_kuuint64>;
    const Conversion ss = from<kuint64, kuFileOffset_to_kuint64>;
    const struct { Conversion convert; int64_t in, out; int32_t fitted; } cases[] = {
        {u32, p32 - 1, p32 - 1, 1}, {u32, p32, p32 - 1, 0}, {u32, -1, 0, 0}, {i32, p31, p31 - 1, 0},
        {i32, -p31, -p31, 1}, {i32, -p31 - 1, -p31, 0}, {i32, INT64_MIN, -p31, 0}, {sz, -5, 0, 0},
        {sz, p32 - 1, p32 - 1, 1}, {sz, p32, narrow ? p32 - 1 : p32, !narrow}, {ssz, -p31, -p31, 1},
        {ssz, -p31 - 1, narrow ? -p31 : -p31 - 1, !narrow},
        {ssz, INT64_MAX, narrow ? p31 - 1 : INT64_MAX, !narrow}, {uu, -1, 0, 0},
        {uu, INT64_MAX, INT64_MAX, 1}, {ss, INT64_MIN, INT64_MIN, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::make_pair(c.out, c.fitted), c.convert(c.in)) << c.in;
    kuFileOffset o = 0;
    EXPECT_EQ(1, uint32_to_kuFileOffset(0xFFFFFFFFu, &o));
    EXPECT_EQ(p32 - 1, o);
    EXPECT_EQ(1, size_t_to_kuFileOffset(SIZE_MAX / 2, &o));
    EXPECT_EQ((int64_t)(SIZE_MAX / 2), o);
    EXPECT_EQ(1, kuuint64_to_kuFileOffset(u64((uint64_t)INT64_MAX), &o));
    EXPECT_EQ(INT64_MAX, o);
    EXPECT_EQ(0, kuuint64_to_kuFileOffset(u64((uint64_t)1 << 63), &o));
    EXPECT_EQ(-1, o);
}
