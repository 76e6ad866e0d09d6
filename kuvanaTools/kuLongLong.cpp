// 64-bit integers on two-word structures, computed with the compiler's own
// 64-bit arithmetic; every flag is the exact "did not fit" of the true result.
#include <kuvanaTools/kuLongLong.h>
#include <kuvanaTools/kuMemory.h>

#include <limits.h>
#include <stdint.h>

static_assert(sizeof(kuint64) == 8 && sizeof(kuuint64) == 8, "two 32-bit words");
static_assert(offsetof(kuint64, low) == 0 && offsetof(kuint64, high) == 4, "low word first");
static_assert(offsetof(kuuint64, low) == 0 && offsetof(kuuint64, high) == 4, "low word first");
static_assert(sizeof(kuFileOffset) == 8, "64-bit file offsets");

const kuint64 _kuLongLong_Max_impl = {0xFFFFFFFFu, 0x7FFFFFFF};
const kuint64 _kuLongLong_Min_impl = {0u, INT32_MIN};
const kuuint64 _kuULongLong_Max_impl = {0xFFFFFFFFu, 0xFFFFFFFFu};
const kuint64 _kuLongLong_0_impl = {0u, 0};
const kuuint64 _kuULongLong_0_impl = {0u, 0u};

namespace {

inline uint64_t bits(const kuint64 *v)
{
    return (uint64_t)(uint32_t)v->high << 32 | v->low;
}

inline uint64_t bits(const kuuint64 *v)
{
    return (uint64_t)v->high << 32 | v->low;
}

inline int64_t sval(const kuint64 *v)
{
    return (int64_t)bits(v);
}

inline void store(kuint64 *v, uint64_t x)
{
    v->low = (uint32_t)x;
    v->high = (int32_t)(uint32_t)(x >> 32);
}

inline void store(kuuint64 *v, uint64_t x)
{
    v->low = (uint32_t)x;
    v->high = (uint32_t)(x >> 32);
}

inline int32_t storeFlag(kuint64 *v, int64_t x, bool overflow)
{
    store(v, (uint64_t)x);
    return overflow ? 1 : 0;
}

// Shifting every bit out (count >= 64) is the defined answer to a count
// out of range.
int32_t shiftLeft(uint64_t &x, uint32_t count)
{
    if (count == 0)
        return 0;
    if (count >= 64) {
        int32_t lost = x != 0;
        x = 0;
        return lost;
    }
    int32_t lost = (x >> (64 - count)) != 0;
    x <<= count;
    return lost;
}

// Digits of a magnitude, from the end of buffer backwards; returns the first.
char *formatDigits(uint64_t magnitude, char *end)
{
    *--end = '\0';
    do {
        *--end = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    return end;
}

} // namespace

// ------------------------------------------------------------------ signed

void kuLongLong_Set(kuint64 *value, uint32_t high, uint32_t low)
{
    store(value, (uint64_t)high << 32 | low);
}

void kuLongLong_SetInt32(kuint64 *value, int32_t n)
{
    store(value, (uint64_t)(int64_t)n);
}

void kuLongLong_SetDouble(kuint64 *value, double d)
{
    int64_t x;
    if (d != d)
        x = 0;
    else if (d >= 9223372036854775808.0)
        x = INT64_MAX;
    else if (d <= -9223372036854775808.0)
        x = INT64_MIN;
    else
        x = (int64_t)d;
    store(value, (uint64_t)x);
}

double kuLongLong_GetDouble(const kuint64 *value)
{
    return (double)sval(value);
}

int32_t kuLongLong_Add(kuint64 *value, const kuint64 *operand)
{
    int64_t r;
    bool o = __builtin_add_overflow(sval(value), sval(operand), &r);
    return storeFlag(value, r, o);
}

int32_t kuLongLong_Sub(kuint64 *value, const kuint64 *operand)
{
    int64_t r;
    bool o = __builtin_sub_overflow(sval(value), sval(operand), &r);
    return storeFlag(value, r, o);
}

int32_t kuLongLong_Mult(kuint64 *value, const kuint64 *operand)
{
    int64_t r;
    bool o = __builtin_mul_overflow(sval(value), sval(operand), &r);
    return storeFlag(value, r, o);
}

int32_t kuLongLong_AddInt32(kuint64 *value, int32_t n)
{
    int64_t r;
    bool o = __builtin_add_overflow(sval(value), (int64_t)n, &r);
    return storeFlag(value, r, o);
}

int32_t kuLongLong_SubInt32(kuint64 *value, int32_t n)
{
    int64_t r;
    bool o = __builtin_sub_overflow(sval(value), (int64_t)n, &r);
    return storeFlag(value, r, o);
}

int32_t kuLongLong_AddUInt32(kuint64 *value, uint32_t n)
{
    int64_t r;
    bool o = __builtin_add_overflow(sval(value), (int64_t)n, &r);
    return storeFlag(value, r, o);
}

int32_t kuLongLong_SubUInt32(kuint64 *value, uint32_t n)
{
    int64_t r;
    bool o = __builtin_sub_overflow(sval(value), (int64_t)n, &r);
    return storeFlag(value, r, o);
}

int32_t kuLongLong_Div(kuint64 *value, const kuint64 *divisor)
{
    int64_t a = sval(value);
    int64_t b = sval(divisor);
    if (b == 0) {
        // the magnitude division answers 1 for 0/0 and all bits set
        // otherwise; the dividend's sign is then applied
        store(value, (uint64_t)(a == 0 ? 1 : a > 0 ? -1 : 1));
        return 0;
    }
    if (b == -1) {
        if (a == INT64_MIN)
            return 1; // 2^63 does not fit: -2^63 stays
        store(value, (uint64_t)-a);
        return 0;
    }
    store(value, (uint64_t)(a / b));
    return 0;
}

void kuLongLong_Mod(kuint64 *value, const kuint64 *divisor)
{
    int64_t a = sval(value);
    int64_t b = sval(divisor);
    // -1 would trap on -2^63 % -1; every remainder by +-1 or 0 is 0
    store(value, b == 0 || b == -1 ? 0 : (uint64_t)(a % b));
}

void kuLongLong_ModUInt32(kuint64 *value, uint32_t n)
{
    store(value, n == 0 ? 0 : (uint64_t)(sval(value) % (int64_t)n));
}

int32_t kuLongLong_Negate(kuint64 *value)
{
    int64_t a = sval(value);
    if (a == INT64_MIN)
        return 1;
    store(value, (uint64_t)-a);
    return 0;
}

int32_t kuLongLong_Abs(kuint64 *value)
{
    return value->high < 0 ? kuLongLong_Negate(value) : 0;
}

int32_t kuLongLong_ShiftLeft(kuint64 *value, uint32_t count)
{
    uint64_t x = bits(value);
    int32_t lost = shiftLeft(x, count);
    store(value, x);
    return lost;
}

void kuLongLong_ShiftRight(kuint64 *value, uint32_t count)
{
    int64_t a = sval(value);
    if (count >= 64)
        a = a < 0 ? -1 : 0;
    else
        a >>= count; // arithmetic with every compiler we support
    store(value, (uint64_t)a);
}

int32_t kuLongLong_Less(const kuint64 *a, const kuint64 *b)
{
    return sval(a) < sval(b);
}

int32_t kuLongLong_Equal(const kuint64 *a, const kuint64 *b)
{
    return a->low == b->low && a->high == b->high;
}

char *kuLongLong_ToString(const kuint64 *value)
{
    char buffer[21]; // sign, 19 digits, terminator
    int64_t a = sval(value);
    uint64_t magnitude = a < 0 ? 0 - (uint64_t)a : (uint64_t)a;
    char *text = formatDigits(magnitude, buffer + sizeof buffer);
    if (a < 0)
        *--text = '-';
    return kuStrdup(text);
}

// ---------------------------------------------------------------- unsigned

void kuULongLong_Set(kuuint64 *value, uint32_t high, uint32_t low)
{
    value->low = low;
    value->high = high;
}

void kuULongLong_SetFileOffset(kuuint64 *value, kuFileOffset offset)
{
    store(value, (uint64_t)offset);
}

int32_t kuULongLong_Add(kuuint64 *value, const kuuint64 *operand)
{
    uint64_t r;
    bool o = __builtin_add_overflow(bits(value), bits(operand), &r);
    store(value, r);
    return o;
}

int32_t kuULongLong_Mult(kuuint64 *value, const kuuint64 *operand)
{
    uint64_t r;
    bool o = __builtin_mul_overflow(bits(value), bits(operand), &r);
    store(value, r);
    return o;
}

int32_t kuULongLong_AddUInt32(kuuint64 *value, uint32_t n)
{
    uint64_t r;
    bool o = __builtin_add_overflow(bits(value), (uint64_t)n, &r);
    store(value, r);
    return o;
}

void kuULongLong_Sub(kuuint64 *value, const kuuint64 *operand)
{
    store(value, bits(value) - bits(operand));
}

void kuULongLong_SubUInt32(kuuint64 *value, uint32_t n)
{
    store(value, bits(value) - n);
}

void kuULongLong_Div(kuuint64 *value, const kuuint64 *divisor)
{
    uint64_t a = bits(value);
    uint64_t b = bits(divisor);
    if (b == 0)
        store(value, a == 0 ? 1 : UINT64_MAX);
    else
        store(value, a / b);
}

void kuULongLong_Mod(kuuint64 *value, const kuuint64 *divisor)
{
    uint64_t b = bits(divisor);
    store(value, b == 0 ? 0 : bits(value) % b);
}

void kuULongLong_ModUInt32(kuuint64 *value, uint32_t n)
{
    store(value, n == 0 ? 0 : bits(value) % n);
}

int32_t kuULongLong_ShiftLeft(kuuint64 *value, uint32_t count)
{
    uint64_t x = bits(value);
    int32_t lost = shiftLeft(x, count);
    store(value, x);
    return lost;
}

void kuULongLong_ShiftRight(kuuint64 *value, uint32_t count)
{
    store(value, count >= 64 ? 0 : bits(value) >> count);
}

int32_t kuULongLong_Less(const kuuint64 *a, const kuuint64 *b)
{
    return bits(a) < bits(b);
}

int32_t kuULongLong_LessOrEqual(const kuuint64 *a, const kuuint64 *b)
{
    return bits(a) <= bits(b);
}

int32_t kuULongLong_Equal(const kuuint64 *a, const kuuint64 *b)
{
    return a->low == b->low && a->high == b->high;
}

char *kuULongLong_ToString(const kuuint64 *value)
{
    char buffer[21]; // 20 digits, terminator
    return kuStrdup(formatDigits(bits(value), buffer + sizeof buffer));
}

// ------------------------------------------------------------ file offsets

namespace {

// Clamps offset into [lo, hi]; 1 when it was already inside.
template <typename T>
int32_t clampOffset(kuFileOffset offset, T *out, kuFileOffset lo, uint64_t hi)
{
    if (offset < lo) {
        *out = (T)lo;
        return 0;
    }
    if (offset >= 0 && (uint64_t)offset > hi) {
        *out = (T)hi;
        return 0;
    }
    *out = (T)offset;
    return 1;
}

} // namespace

int32_t kuFileOffset_to_uint32(kuFileOffset offset, uint32_t *out)
{
    return clampOffset(offset, out, 0, UINT32_MAX);
}

int32_t kuFileOffset_to_int32(kuFileOffset offset, int32_t *out)
{
    return clampOffset(offset, out, INT32_MIN, INT32_MAX);
}

int32_t kuFileOffset_to_size_t(kuFileOffset offset, size_t *out)
{
    return clampOffset(offset, out, 0, SIZE_MAX);
}

int32_t kuFileOffset_to_ssize_t(kuFileOffset offset, ssize_t *out)
{
    static_assert(sizeof(ssize_t) == sizeof(size_t), "ssize_t is the signed size_t");
    constexpr uint64_t max = SIZE_MAX / 2;
    return clampOffset(offset, out, -(kuFileOffset)max - 1, max);
}

int32_t kuFileOffset_to_kuuint64(kuFileOffset offset, kuuint64 *out)
{
    if (offset < 0) {
        store(out, 0);
        return 0;
    }
    store(out, (uint64_t)offset);
    return 1;
}

int32_t kuFileOffset_to_kuint64(kuFileOffset offset, kuint64 *out)
{
    store(out, (uint64_t)offset);
    return 1;
}

int32_t uint32_to_kuFileOffset(uint32_t value, kuFileOffset *out)
{
    *out = value;
    return 1;
}

namespace {

int32_t unsignedToOffset(uint64_t value, kuFileOffset *out)
{
    if (value > (uint64_t)INT64_MAX) {
        *out = -1;
        return 0;
    }
    *out = (kuFileOffset)value;
    return 1;
}

} // namespace

int32_t size_t_to_kuFileOffset(size_t value, kuFileOffset *out)
{
    return unsignedToOffset(value, out);
}

int32_t kuuint64_to_kuFileOffset(kuuint64 value, kuFileOffset *out)
{
    return unsignedToOffset(bits(&value), out);
}
