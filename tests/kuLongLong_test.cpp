#include <kuvanaTools/kuLongLong.h>
#include <kuvanaTools/kuMemory.h>

#include <gtest/gtest.h>

#include <limits.h>
#include <stdint.h>
#include <string>

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

int64_t get(const kuint64 &v)
{
    return (int64_t)((uint64_t)(uint32_t)v.high << 32 | v.low);
}

uint64_t get(const kuuint64 &v)
{
    return (uint64_t)v.high << 32 | v.low;
}

std::string text(char *s)
{
    std::string r = s;
    kuFree(s);
    return r;
}

// Operands that hit the interesting corners more often than uniform ones.
struct Operands {
    uint64_t state = 0x9E3779B97F4A7C15u;

    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }

    uint64_t pick()
    {
        uint64_t r = next();
        switch (r % 8) {
        case 0: return r >> (8 + (r >> 58) % 56); // small magnitudes
        case 1: return (uint64_t)0 - (r >> (8 + (r >> 58) % 56)); // small negatives
        case 2: return (uint64_t)1 << (r >> 58); // powers of two
        case 3: return ((uint64_t)1 << (r >> 58)) - 1;
        case 4: return (uint64_t)INT64_MIN + (r % 3) - 1; // around +-2^63
        case 5: return r % 5; // 0 ... 4
        default: return next();
        }
    }
};

#ifdef __SIZEOF_INT128__
bool fitsSigned(__int128 x)
{
    return x >= INT64_MIN && x <= INT64_MAX;
}
#endif

} // namespace

TEST(kuLongLong, ConstantsAndSetters)
{
    EXPECT_EQ(INT64_MAX, get(_kuLongLong_Max_impl));
    EXPECT_EQ(INT64_MIN, get(_kuLongLong_Min_impl));
    EXPECT_EQ(UINT64_MAX, get(_kuULongLong_Max_impl));
    EXPECT_EQ(0, get(_kuLongLong_0_impl));
    EXPECT_EQ(0u, get(_kuULongLong_0_impl));
    EXPECT_EQ(0x80000000u, (uint32_t)_kuLongLong_Min_impl.high);
    EXPECT_EQ(0u, _kuLongLong_Min_impl.low);

    kuint64 a, b;
    kuLongLong_Set(&a, 0xFFFFFFFF, 0xFFFFFFFF);
    kuLongLong_SetInt32(&b, -1);
    EXPECT_EQ(-1, get(a));
    EXPECT_EQ(1, kuLongLong_Equal(&a, &b));
    kuLongLong_SetInt32(&b, INT32_MIN);
    EXPECT_EQ(INT32_MIN, get(b));
    EXPECT_EQ(-1, b.high);

    kuuint64 u;
    kuULongLong_SetFileOffset(&u, -1);
    EXPECT_EQ(UINT64_MAX, get(u));
}

TEST(kuLongLong, AddSubOverflowFlags)
{
    kuint64 v = _kuLongLong_Max_impl;
    kuint64 one = s64(1);
    EXPECT_EQ(1, kuLongLong_Add(&v, &one));
    EXPECT_EQ(INT64_MIN, get(v));
    EXPECT_EQ(1, kuLongLong_Sub(&v, &one));
    EXPECT_EQ(INT64_MAX, get(v));

    // 5*2^32 - (2^31-4)*2^32 stays in range
    v = s64(5LL << 32);
    kuint64 w = s64((int64_t)(0x7FFFFFFCLL) << 32);
    EXPECT_EQ(0, kuLongLong_Sub(&v, &w));
    EXPECT_EQ((5LL - 0x7FFFFFFCLL) * 4294967296LL, get(v));

    v = s64(INT64_MAX - 5);
    EXPECT_EQ(0, kuLongLong_AddUInt32(&v, 5));
    EXPECT_EQ(1, kuLongLong_AddUInt32(&v, 1));
    v = s64(INT64_MIN + 4);
    EXPECT_EQ(0, kuLongLong_SubUInt32(&v, 4));
    EXPECT_EQ(1, kuLongLong_SubUInt32(&v, 0xFFFFFFFF));
    v = s64(INT64_MIN);
    EXPECT_EQ(0, kuLongLong_SubInt32(&v, -1));
    EXPECT_EQ(INT64_MIN + 1, get(v));
    EXPECT_EQ(1, kuLongLong_AddInt32(&v, -2));
    EXPECT_EQ(INT64_MAX, get(v));
    // carry and borrow across the word boundary
    v = s64(0xFFFFFFFFLL);
    EXPECT_EQ(0, kuLongLong_AddInt32(&v, 1));
    EXPECT_EQ(0x100000000LL, get(v));
    EXPECT_EQ(0, kuLongLong_SubInt32(&v, 1));
    EXPECT_EQ(0xFFFFFFFFLL, get(v));

    kuuint64 u = _kuULongLong_Max_impl;
    EXPECT_EQ(1, kuULongLong_AddUInt32(&u, 1));
    EXPECT_EQ(0u, get(u));
    kuULongLong_SubUInt32(&u, 1);
    EXPECT_EQ(UINT64_MAX, get(u));
    kuuint64 two = u64(2);
    EXPECT_EQ(1, kuULongLong_Add(&u, &two));
    EXPECT_EQ(1u, get(u));
}

TEST(kuLongLong, MultiplicationFlags)
{
    kuint64 v = s64(1LL << 62);
    kuint64 four = s64(4);
    EXPECT_EQ(1, kuLongLong_Mult(&v, &four));
    EXPECT_EQ(0, get(v));
    v = s64(-1);
    kuint64 three = s64(3);
    EXPECT_EQ(0, kuLongLong_Mult(&v, &three));
    EXPECT_EQ(-3, get(v));
    // -2^63 is reachable as a product, +2^63 is not
    v = s64(-(1LL << 62));
    kuint64 two = s64(2);
    EXPECT_EQ(0, kuLongLong_Mult(&v, &two));
    EXPECT_EQ(INT64_MIN, get(v));
    kuint64 minusOne = s64(-1);
    EXPECT_EQ(1, kuLongLong_Mult(&v, &minusOne));
    EXPECT_EQ(INT64_MIN, get(v));

    kuuint64 u = u64(1ULL << 62);
    kuuint64 ufour = u64(4);
    EXPECT_EQ(1, kuULongLong_Mult(&u, &ufour));
    EXPECT_EQ(0u, get(u));
    // 2^32-1 squared fits; times 2^32+1 gives 2^64-1 exactly
    u = u64(0xFFFFFFFFu);
    kuuint64 m = u64(0x100000001u);
    EXPECT_EQ(0, kuULongLong_Mult(&u, &m));
    EXPECT_EQ(UINT64_MAX, get(u));
    // a set bit lost while the multiplier is not yet exhausted
    u = u64(1ULL << 63);
    kuuint64 three64 = u64(3);
    EXPECT_EQ(1, kuULongLong_Mult(&u, &three64));
    u = u64(0);
    EXPECT_EQ(0, kuULongLong_Mult(&u, &_kuULongLong_Max_impl));
}

TEST(kuLongLong, DivisionTruncatesTowardZero)
{
    struct { int64_t a, b, q, r; } cases[] = {
        {-7, 2, -3, -1},
        {7, -2, -3, 1},
        {-7, -2, 3, -1},
        {7, 2, 3, 1},
        {INT64_MIN, 2, -(1LL << 62), 0},
        {INT64_MIN, 3, INT64_MIN / 3, INT64_MIN % 3},
        {INT64_MIN, INT64_MIN, 1, 0},
        {INT64_MIN, INT64_MAX, -1, -1},
        {INT64_MIN, 1, INT64_MIN, 0},
        {INT64_MAX, INT64_MIN, 0, INT64_MAX},
        {5, 5, 1, 0},
        {3, 5, 0, 3},
    };
    for (const auto &c : cases) {
        kuint64 q = s64(c.a), r = s64(c.a), d = s64(c.b);
        EXPECT_EQ(0, kuLongLong_Div(&q, &d)) << c.a << "/" << c.b;
        kuLongLong_Mod(&r, &d);
        EXPECT_EQ(c.q, get(q)) << c.a << "/" << c.b;
        EXPECT_EQ(c.r, get(r)) << c.a << "%" << c.b;
    }
    kuint64 v = _kuLongLong_Min_impl;
    kuint64 minusOne = s64(-1);
    EXPECT_EQ(1, kuLongLong_Div(&v, &minusOne));
    EXPECT_EQ(INT64_MIN, get(v));
    kuLongLong_Mod(&v, &minusOne);
    EXPECT_EQ(0, get(v));

    v = s64(-7);
    kuLongLong_ModUInt32(&v, 2);
    EXPECT_EQ(-1, get(v));
    v = s64(INT64_MIN);
    kuLongLong_ModUInt32(&v, 0xFFFFFFFF);
    EXPECT_EQ(INT64_MIN % 0xFFFFFFFFLL, get(v));

    kuuint64 u = _kuULongLong_Max_impl, ur = _kuULongLong_Max_impl;
    kuuint64 ten = u64(10);
    kuULongLong_Div(&u, &ten);
    kuULongLong_Mod(&ur, &ten);
    EXPECT_EQ(UINT64_MAX / 10, get(u));
    EXPECT_EQ(5u, get(ur));
    ur = _kuULongLong_Max_impl;
    kuULongLong_ModUInt32(&ur, 0xFFFFFFFF);
    EXPECT_EQ(0u, get(ur));
}

TEST(kuLongLong, ZeroDivisorNeverTraps)
{
    kuint64 zero = s64(0);
    struct { int64_t a, q; } cases[] = {{0, 1}, {5, -1}, {-5, 1}, {INT64_MAX, -1}, {INT64_MIN, 1}};
    for (const auto &c : cases) {
        kuint64 q = s64(c.a), r = s64(c.a), r32 = s64(c.a);
        EXPECT_EQ(0, kuLongLong_Div(&q, &zero));
        EXPECT_EQ(c.q, get(q)) << c.a;
        kuLongLong_Mod(&r, &zero);
        EXPECT_EQ(0, get(r));
        kuLongLong_ModUInt32(&r32, 0);
        EXPECT_EQ(0, get(r32));
    }
    kuuint64 uzero = u64(0);
    kuuint64 u = u64(0);
    kuULongLong_Div(&u, &uzero);
    EXPECT_EQ(1u, get(u));
    u = u64(12);
    kuULongLong_Div(&u, &uzero);
    EXPECT_EQ(UINT64_MAX, get(u));
    u = u64(12);
    kuULongLong_Mod(&u, &uzero);
    EXPECT_EQ(0u, get(u));
    u = u64(12);
    kuULongLong_ModUInt32(&u, 0);
    EXPECT_EQ(0u, get(u));
}

TEST(kuLongLong, NegateAbsAndShifts)
{
    kuint64 v = _kuLongLong_Min_impl;
    EXPECT_EQ(1, kuLongLong_Negate(&v));
    EXPECT_EQ(INT64_MIN, get(v));
    EXPECT_EQ(1, kuLongLong_Abs(&v));
    EXPECT_EQ(INT64_MIN, get(v));
    v = s64(5);
    EXPECT_EQ(0, kuLongLong_Abs(&v));
    EXPECT_EQ(5, get(v));
    v = s64(-(1LL << 32));
    EXPECT_EQ(0, kuLongLong_Abs(&v));
    EXPECT_EQ(1LL << 32, get(v));
    EXPECT_EQ(0, kuLongLong_Negate(&v));
    EXPECT_EQ(-(1LL << 32), get(v));

    kuuint64 u = u64(1);
    EXPECT_EQ(0, kuULongLong_ShiftLeft(&u, 63));
    EXPECT_EQ(1ULL << 63, get(u));
    EXPECT_EQ(1, kuULongLong_ShiftLeft(&u, 1));
    EXPECT_EQ(0u, get(u));
    u = u64(0x80000001u);
    EXPECT_EQ(0, kuULongLong_ShiftLeft(&u, 1));
    EXPECT_EQ(0x100000002u, get(u));
    EXPECT_EQ(0, kuULongLong_ShiftLeft(&u, 0));
    EXPECT_EQ(0, kuULongLong_ShiftLeft(&u, 30));
    EXPECT_EQ(0x4000000080000000u, get(u));
    u = u64(0x00000000FFFFFFFFu);
    EXPECT_EQ(0, kuULongLong_ShiftLeft(&u, 32));
    EXPECT_EQ(0xFFFFFFFF00000000u, get(u));
    kuULongLong_ShiftRight(&u, 36);
    EXPECT_EQ(0x0FFFFFFFu, get(u));
    kuULongLong_ShiftRight(&u, 0);
    EXPECT_EQ(0x0FFFFFFFu, get(u));

    v = s64(-1);
    kuLongLong_ShiftRight(&v, 40);
    EXPECT_EQ(-1, get(v));
    v = s64(INT64_MIN);
    kuLongLong_ShiftRight(&v, 63);
    EXPECT_EQ(-1, get(v));
    v = s64(INT64_MIN);
    kuLongLong_ShiftRight(&v, 31);
    EXPECT_EQ(INT64_MIN >> 31, get(v));
    v = s64(INT64_MAX);
    kuLongLong_ShiftRight(&v, 32);
    EXPECT_EQ(0x7FFFFFFF, get(v));
    // the signed shift reports lost bits, not a change of sign
    v = s64(1LL << 62);
    EXPECT_EQ(0, kuLongLong_ShiftLeft(&v, 1));
    EXPECT_EQ(INT64_MIN, get(v));
    v = s64(-1);
    EXPECT_EQ(1, kuLongLong_ShiftLeft(&v, 1));
    EXPECT_EQ(-2, get(v));
}

TEST(kuLongLong, Doubles)
{
    kuint64 v;
    kuLongLong_SetDouble(&v, -1.9);
    EXPECT_EQ(-1, get(v));
    kuLongLong_SetDouble(&v, 1.9);
    EXPECT_EQ(1, get(v));
    kuLongLong_SetDouble(&v, 4294967295.0);
    EXPECT_EQ(0xFFFFFFFFLL, get(v));
    kuLongLong_SetDouble(&v, 4294967296.5);
    EXPECT_EQ(0x100000000LL, get(v));
    kuLongLong_SetDouble(&v, 2147483648.0);
    EXPECT_EQ(0x80000000LL, get(v));
    kuLongLong_SetDouble(&v, -4294967296.0);
    EXPECT_EQ(-4294967296LL, get(v));
    kuLongLong_SetDouble(&v, 9223372036854774784.0); // largest double below 2^63
    EXPECT_EQ(9223372036854774784LL, get(v));
    kuLongLong_SetDouble(&v, -9223372036854775808.0);
    EXPECT_EQ(INT64_MIN, get(v));
    kuLongLong_SetDouble(&v, 1e300);
    EXPECT_EQ(INT64_MAX, get(v));

    v = s64(INT64_MIN);
    EXPECT_EQ(-9223372036854775808.0, kuLongLong_GetDouble(&v));
    EXPECT_EQ(INT64_MIN, get(v)); // left unchanged
    v = s64((1LL << 53) + 1);
    EXPECT_EQ(9007199254740992.0, kuLongLong_GetDouble(&v));
    v = s64(-((1LL << 53) + 3));
    EXPECT_EQ(-9007199254740996.0, kuLongLong_GetDouble(&v));
    v = s64(-5);
    EXPECT_EQ(-5.0, kuLongLong_GetDouble(&v));
    v = s64(0xFFFFFFFFLL);
    EXPECT_EQ(4294967295.0, kuLongLong_GetDouble(&v));
}

TEST(kuLongLong, ToStringAndComparisons)
{
    kuint64 v = s64(0);
    EXPECT_EQ("0", text(kuLongLong_ToString(&v)));
    EXPECT_EQ("-9223372036854775808", text(kuLongLong_ToString(&_kuLongLong_Min_impl)));
    EXPECT_EQ("9223372036854775807", text(kuLongLong_ToString(&_kuLongLong_Max_impl)));
    v = s64(-10);
    EXPECT_EQ("-10", text(kuLongLong_ToString(&v)));
    EXPECT_EQ("18446744073709551615", text(kuULongLong_ToString(&_kuULongLong_Max_impl)));
    kuuint64 u = u64(100);
    EXPECT_EQ("100", text(kuULongLong_ToString(&u)));

    kuint64 a = s64(-1), b = s64(1);
    EXPECT_EQ(1, kuLongLong_Less(&a, &b));
    EXPECT_EQ(0, kuLongLong_Less(&b, &a));
    EXPECT_EQ(0, kuLongLong_Less(&a, &a));
    EXPECT_EQ(1, kuLongLong_Less(&_kuLongLong_Min_impl, &_kuLongLong_Max_impl));
    a = s64(0x100000000LL);
    b = s64(0xFFFFFFFFLL);
    EXPECT_EQ(1, kuLongLong_Less(&b, &a));
    EXPECT_EQ(0, kuLongLong_Equal(&a, &b));

    kuuint64 x = u64(0xFFFFFFFFu), y = u64(0x100000000u);
    EXPECT_EQ(1, kuULongLong_Less(&x, &y));
    EXPECT_EQ(1, kuULongLong_LessOrEqual(&x, &y));
    EXPECT_EQ(0, kuULongLong_Less(&y, &x));
    EXPECT_EQ(0, kuULongLong_LessOrEqual(&y, &x));
    EXPECT_EQ(1, kuULongLong_LessOrEqual(&x, &x));
    EXPECT_EQ(1, kuULongLong_Equal(&x, &x));
    EXPECT_EQ(0, kuULongLong_Equal(&x, &y));
}

// The whole signed family against wide arithmetic on many operand pairs.
TEST(kuLongLong, RandomOperandsMatchWideArithmetic)
{
    Operands ops;
    for (int i = 0; i < 200000; i++) {
        int64_t a = (int64_t)ops.pick(), b = (int64_t)ops.pick();
        kuint64 va = s64(a), vb = s64(b);
        SCOPED_TRACE(testing::Message() << a << " " << b);

        kuint64 r = va;
        int32_t flag = kuLongLong_Add(&r, &vb);
        EXPECT_EQ((int64_t)((uint64_t)a + (uint64_t)b), get(r));
        r = va;
        int32_t subFlag = kuLongLong_Sub(&r, &vb);
        EXPECT_EQ((int64_t)((uint64_t)a - (uint64_t)b), get(r));
        r = va;
        int32_t mulFlag = kuLongLong_Mult(&r, &vb);
        EXPECT_EQ((int64_t)((uint64_t)a * (uint64_t)b), get(r));
#ifdef __SIZEOF_INT128__
        EXPECT_EQ(!fitsSigned((__int128)a + b), flag);
        EXPECT_EQ(!fitsSigned((__int128)a - b), subFlag);
        EXPECT_EQ(!fitsSigned((__int128)a * b), mulFlag);
#else
        EXPECT_EQ((b > 0 && a > INT64_MAX - b) || (b < 0 && a < INT64_MIN - b), flag != 0);
        EXPECT_EQ((b < 0 && a > INT64_MAX + b) || (b > 0 && a < INT64_MIN + b), subFlag != 0);
        bool mulFits = a == 0 || b == 0 || (a == -1 ? b != INT64_MIN : b == -1 ? a != INT64_MIN
                       : ((int64_t)((uint64_t)a * (uint64_t)b)) / b == a);
        EXPECT_EQ(!mulFits, mulFlag != 0);
#endif
        if (b != 0 && !(a == INT64_MIN && b == -1)) {
            kuint64 q = va, m = va;
            EXPECT_EQ(0, kuLongLong_Div(&q, &vb));
            kuLongLong_Mod(&m, &vb);
            EXPECT_EQ(a / b, get(q));
            EXPECT_EQ(a % b, get(m));
        }
        r = va;
        EXPECT_EQ(a < b, kuLongLong_Less(&va, &vb));

        uint32_t count = (uint32_t)(b & 63);
        r = va;
        int32_t lost = kuLongLong_ShiftLeft(&r, count);
        EXPECT_EQ((int64_t)((uint64_t)a << count), get(r));
        EXPECT_EQ(count != 0 && ((uint64_t)a >> (64 - count)) != 0, lost != 0);
        r = va;
        kuLongLong_ShiftRight(&r, count);
        EXPECT_EQ(a >> count, get(r));
        if (HasFailure())
            break;
    }
}

// The unsigned family likewise.
TEST(kuULongLong, RandomOperandsMatchWideArithmetic)
{
    Operands ops;
    ops.state = 12345;
    for (int i = 0; i < 200000; i++) {
        uint64_t a = ops.pick(), b = ops.pick();
        kuuint64 va = u64(a), vb = u64(b);
        SCOPED_TRACE(testing::Message() << a << " " << b);

        kuuint64 r = va;
        EXPECT_EQ(a + b < a, kuULongLong_Add(&r, &vb) != 0);
        EXPECT_EQ(a + b, get(r));
        r = va;
        EXPECT_EQ(a + (uint32_t)b < a, kuULongLong_AddUInt32(&r, (uint32_t)b) != 0);
        EXPECT_EQ(a + (uint32_t)b, get(r));
        r = va;
        kuULongLong_Sub(&r, &vb);
        EXPECT_EQ(a - b, get(r));
        r = va;
        int32_t mulFlag = kuULongLong_Mult(&r, &vb);
        EXPECT_EQ(a * b, get(r));
#ifdef __SIZEOF_INT128__
        EXPECT_EQ(((unsigned __int128)a * b) >> 64 != 0, mulFlag != 0);
#else
        EXPECT_EQ(a != 0 && (a * b) / a != b, mulFlag != 0);
#endif
        if (b != 0) {
            kuuint64 q = va, m = va, m32 = va;
            kuULongLong_Div(&q, &vb);
            kuULongLong_Mod(&m, &vb);
            EXPECT_EQ(a / b, get(q));
            EXPECT_EQ(a % b, get(m));
            if ((uint32_t)b != 0) {
                kuULongLong_ModUInt32(&m32, (uint32_t)b);
                EXPECT_EQ(a % (uint32_t)b, get(m32));
            }
        }
        EXPECT_EQ(a < b, kuULongLong_Less(&va, &vb));
        EXPECT_EQ(a <= b, kuULongLong_LessOrEqual(&va, &vb));

        uint32_t count = (uint32_t)(b & 63);
        r = va;
        int32_t lost = kuULongLong_ShiftLeft(&r, count);
        EXPECT_EQ(a << count, get(r));
        EXPECT_EQ(count != 0 && (a >> (64 - count)) != 0, lost != 0);
        r = va;
        kuULongLong_ShiftRight(&r, count);
        EXPECT_EQ(a >> count, get(r));
        if (HasFailure())
            break;
    }
}

TEST(kuFileOffset, SaturatingConversions)
{
    uint32_t u32 = 7;
    EXPECT_EQ(1, kuFileOffset_to_uint32(0xFFFFFFFFLL, &u32));
    EXPECT_EQ(0xFFFFFFFFu, u32);
    EXPECT_EQ(0, kuFileOffset_to_uint32(0x100000000LL, &u32));
    EXPECT_EQ(0xFFFFFFFFu, u32);
    EXPECT_EQ(0, kuFileOffset_to_uint32(-1, &u32));
    EXPECT_EQ(0u, u32);

    int32_t i32 = 7;
    EXPECT_EQ(0, kuFileOffset_to_int32(1LL << 31, &i32));
    EXPECT_EQ(INT32_MAX, i32);
    EXPECT_EQ(1, kuFileOffset_to_int32(-(1LL << 31), &i32));
    EXPECT_EQ(INT32_MIN, i32);
    EXPECT_EQ(0, kuFileOffset_to_int32(-(1LL << 31) - 1, &i32));
    EXPECT_EQ(INT32_MIN, i32);
    EXPECT_EQ(0, kuFileOffset_to_int32(INT64_MIN, &i32));
    EXPECT_EQ(INT32_MIN, i32);

    size_t sz = 7;
    EXPECT_EQ(0, kuFileOffset_to_size_t(-5, &sz));
    EXPECT_EQ(0u, sz);
    EXPECT_EQ(1, kuFileOffset_to_size_t(0xFFFFFFFFLL, &sz));
    EXPECT_EQ(sizeof(size_t) == 4 ? 0 : 1, kuFileOffset_to_size_t(0x100000000LL, &sz));
    EXPECT_EQ(sizeof(size_t) == 4 ? (size_t)0xFFFFFFFF : (size_t)0x100000000LL, sz);
    ssize_t ss = 7;
    EXPECT_EQ(sizeof(ssize_t) == 4 ? 0 : 1, kuFileOffset_to_ssize_t(-(1LL << 31) - 1, &ss));
    EXPECT_EQ(1, kuFileOffset_to_ssize_t(-(1LL << 31), &ss));
    EXPECT_EQ(-(1LL << 31), (int64_t)ss);
    EXPECT_EQ(sizeof(ssize_t) == 4 ? 0 : 1, kuFileOffset_to_ssize_t(INT64_MAX, &ss));

    kuuint64 u;
    EXPECT_EQ(0, kuFileOffset_to_kuuint64(-1, &u));
    EXPECT_EQ(0u, get(u));
    EXPECT_EQ(1, kuFileOffset_to_kuuint64(INT64_MAX, &u));
    EXPECT_EQ((uint64_t)INT64_MAX, get(u));
    kuint64 s;
    EXPECT_EQ(1, kuFileOffset_to_kuint64(INT64_MIN, &s));
    EXPECT_EQ(INT64_MIN, get(s));

    kuFileOffset off = 7;
    EXPECT_EQ(1, uint32_to_kuFileOffset(0xFFFFFFFF, &off));
    EXPECT_EQ(0xFFFFFFFFLL, off);
    EXPECT_EQ(1, size_t_to_kuFileOffset((size_t)-1 / 2, &off));
    EXPECT_EQ((kuFileOffset)((size_t)-1 / 2), off);
    EXPECT_EQ(1, kuuint64_to_kuFileOffset(u64((uint64_t)INT64_MAX), &off));
    EXPECT_EQ(INT64_MAX, off);
    EXPECT_EQ(0, kuuint64_to_kuFileOffset(u64(1ULL << 63), &off));
    EXPECT_EQ(-1, off);
}
