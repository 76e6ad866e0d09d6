// Number parsers under one status contract, and hexadecimal buffers.
#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/private/kuBytes.h>
#include <kuvanaTools/private/kuCharClass.h>
#include <kuvanaTools/private/kuTextReader.h>

#include <float.h>
#include <limits.h>
#include <math.h>
#include <string.h>

using ku::TextReader;

namespace {

constexpr int32_t kOverflow = -1;
constexpr int32_t kUnderflow = -2;
constexpr int32_t kNoNumber = -3;

using ku::kDigitValues;

struct Parsed32 {
    uint32_t value;
    int32_t status; // 0, kOverflow or kNoNumber
    const char *stop;
};

// The unsigned 32-bit core. A missing digit reports stop = p (the start).
template <bool Bounded>
Parsed32 parseUnsigned(const TextReader<Bounded> &t, const char *p, int base)
{
    const char *start = p;
    if (p == nullptr || (base != 0 && (base < 2 || base > 36)))
        return {0, kNoNumber, start};
    while (ku::isSpace(t.at(p)))
        p++;
    if (t.at(p) == '+')
        p++;
    if (base == 0 || base == 16) {
        if (t.at(p) == '0') {
            int x = t.at(p + 1);
            if ((x == 'x' || x == 'X') && ku::isXDigit(t.at(p + 2))) {
                p += 2;
                base = 16;
            } else if (base == 0) {
                base = 8;
            }
        } else if (base == 0) {
            base = 10;
        }
    }

    const char *digits = p;
    uint32_t value = 0;
    bool overflow = false;
    if (base == 10) {
        // nine digits cannot overflow; only longer runs need the check
        uint32_t d;
        int n = 0;
        for (; n < 9 && (d = (uint32_t)t.at(p) - '0') <= 9; n++, p++)
            value = value * 10 + d;
        if (n == 9) {
            for (; (d = (uint32_t)t.at(p) - '0') <= 9; p++) {
                overflow |= value > 429496729u || (value == 429496729u && d > 5);
                value = value * 10 + d;
            }
        }
    } else {
        for (;;) {
            uint32_t d = kDigitValues.v[t.at(p)];
            if (d >= (uint32_t)base)
                break;
            uint32_t next;
            overflow |= __builtin_mul_overflow(value, (uint32_t)base, &next);
            overflow |= __builtin_add_overflow(next, d, &value);
            p++;
        }
    }
    if (p == digits)
        return {0, kNoNumber, start};
    if (overflow)
        return {0xFFFFFFFFu, kOverflow, p};
    return {value, 0, p};
}

// 0 when the text ended at stop, else the stop's offset from origin.
template <bool Bounded>
int32_t stopStatus(const TextReader<Bounded> &t, const char *origin, const char *stop)
{
    if (t.at(stop) == 0)
        return 0;
    ptrdiff_t offset = stop - origin;
    return offset > INT32_MAX ? INT32_MAX : (int32_t)offset;
}

template <bool Bounded>
int32_t toUInt32(const TextReader<Bounded> &t, uint32_t *out, int base)
{
    Parsed32 r = parseUnsigned(t, t.begin, base);
    *out = r.value;
    return r.status != 0 ? r.status : stopStatus(t, t.begin, r.stop);
}

template <bool Bounded>
int32_t toUInt16(const TextReader<Bounded> &t, uint16_t *out)
{
    uint32_t value;
    int32_t status = toUInt32(t, &value, 10);
    if (value > 0xFFFF) {
        *out = 0xFFFF;
        return kOverflow;
    }
    *out = (uint16_t)value;
    return status;
}

template <bool Bounded>
int32_t toInt32(const TextReader<Bounded> &t, int32_t *out, int base)
{
    const char *p = t.begin;
    if (p == nullptr) {
        *out = 0;
        return kNoNumber;
    }
    while (ku::isSpace(t.at(p)))
        p++;
    bool negative = false;
    // "- 5" is no number: the '-' is a sign only right before the digits
    if (t.at(p) == '-' && ku::isAlnum(t.at(p + 1))) {
        negative = true;
        p++;
    }
    Parsed32 r = parseUnsigned(t, p, base);
    if (r.status == kNoNumber) {
        *out = 0;
        return kNoNumber;
    }
    if (r.status == kOverflow || r.value > 0x80000000u ||
        (r.value == 0x80000000u && !negative)) {
        *out = negative ? INT32_MIN : INT32_MAX;
        return negative ? kUnderflow : kOverflow;
    }
    *out = negative ? (int32_t)(0u - r.value) : (int32_t)r.value;
    return stopStatus(t, t.begin, r.stop);
}

template <bool Bounded>
int32_t toInt16(const TextReader<Bounded> &t, int16_t *out)
{
    int32_t value;
    int32_t status = toInt32(t, &value, 10);
    if (value > INT16_MAX) {
        *out = INT16_MAX;
        return kOverflow;
    }
    if (value < INT16_MIN) {
        *out = INT16_MIN;
        return kUnderflow;
    }
    *out = (int16_t)value;
    return status;
}

} // namespace

int kuConvert_isspace(int c)
{
    return ku::isSpace(c);
}

int kuConvert_isnum(int c)
{
    return ku::isDigit(c);
}

int kuConvert_isalnum(int c)
{
    return ku::isAlnum(c);
}

int kuConvert_isxdigit(int c)
{
    return ku::isXDigit(c);
}

// ------------------------------------------------------------ 32 and 16 bits

int32_t kuConvert_strtouint32_base(const char *text, uint32_t *out, int base)
{
    return toUInt32(TextReader<false>(text), out, base);
}

int32_t kuConvert_strtouint32(const char *text, uint32_t *out)
{
    return toUInt32(TextReader<false>(text), out, 10);
}

int32_t kuConvert_hexstrtouint32(const char *text, uint32_t *out)
{
    return toUInt32(TextReader<false>(text), out, 16);
}

int32_t kuConvert_strtouint16(const char *text, uint16_t *out)
{
    return toUInt16(TextReader<false>(text), out);
}

int32_t kuConvert_strtoint32_base(const char *text, int32_t *out, int base)
{
    return toInt32(TextReader<false>(text), out, base);
}

int32_t kuConvert_strtoint32(const char *text, int32_t *out)
{
    return toInt32(TextReader<false>(text), out, 10);
}

int32_t kuConvert_strtoint16(const char *text, int16_t *out)
{
    return toInt16(TextReader<false>(text), out);
}

int32_t kuConvert_strtoptr(const char *text, uint32_t *out)
{
    if (text == nullptr) {
        *out = 0;
        return kNoNumber;
    }
    TextReader<false> t(text);
    const char *p = text;
    while (ku::isSpace(t.at(p)))
        p++;
    if (t.at(p) == '+')
        p++;
    int base = 10;
    if (t.at(p) == '0' && (t.at(p + 1) == 'x' || t.at(p + 1) == 'X') &&
        ku::isXDigit(t.at(p + 2))) {
        p += 2;
        base = 16;
    }
    Parsed32 r = parseUnsigned(t, p, base);
    *out = r.value;
    return r.status != 0 ? r.status : stopStatus(t, p, r.stop);
}

int32_t kuConvert_strntouint32(const char *text, size_t length, uint32_t *out)
{
    return toUInt32(TextReader<true>(text, length), out, 10);
}

int32_t kuConvert_strntoint32(const char *text, size_t length, int32_t *out)
{
    return toInt32(TextReader<true>(text, length), out, 10);
}

int32_t kuConvert_strntouint16(const char *text, size_t length, uint16_t *out)
{
    return toUInt16(TextReader<true>(text, length), out);
}

int32_t kuConvert_hexstrntouint32(const char *text, size_t length, uint32_t *out)
{
    return toUInt32(TextReader<true>(text, length), out, 16);
}

// ------------------------------------------------------------------ 64 bits

namespace {

// Decimal 64-bit number into bits (the two's complement pattern when signed).
template <bool Bounded>
int32_t parse64(const TextReader<Bounded> &t, bool isSigned, uint64_t *bits)
{
    const char *p = t.begin;
    while (ku::isSpace(t.at(p)))
        p++;
    bool negative = false;
    if (t.at(p) == '+') {
        p++;
    } else if (isSigned && t.at(p) == '-') {
        negative = true;
        p++;
    }
    // -2^63 is the one magnitude that fits only with a '-'
    const uint64_t limit = !isSigned ? UINT64_MAX : negative ? (uint64_t)1 << 63 : INT64_MAX;
    const uint64_t limit10 = limit / 10;
    const uint32_t limitDigit = (uint32_t)(limit % 10);
    const char *digits = p;
    uint64_t m = 0;
    for (;;) {
        uint32_t d = (uint32_t)t.at(p) - '0';
        if (d > 9)
            break;
        if (m > limit10 || (m == limit10 && d > limitDigit)) {
            *bits = negative ? (uint64_t)1 << 63 : limit;
            return negative ? kUnderflow : kOverflow;
        }
        m = m * 10 + d;
        p++;
    }
    if (p == digits) {
        *bits = 0;
        return kNoNumber;
    }
    *bits = negative ? 0 - m : m;
    return stopStatus(t, t.begin, p);
}

template <typename T>
void storeBits(T *out, uint64_t bits)
{
    out->low = (uint32_t)bits;
    out->high = (decltype(out->high))(uint32_t)(bits >> 32);
}

template <bool Bounded, typename T>
int32_t parse64Into(const TextReader<Bounded> &t, bool isSigned, T *out)
{
    uint64_t bits;
    int32_t status = parse64(t, isSigned, &bits);
    storeBits(out, bits);
    return status;
}

} // namespace

int32_t kuConvert_strtoLongLong(const char *text, kuint64 *out)
{
    if (text == nullptr) {
        storeBits(out, 0);
        return kNoNumber;
    }
    return parse64Into(TextReader<false>(text), true, out);
}

int32_t kuConvert_strtoULongLong(const char *text, kuuint64 *out)
{
    if (text == nullptr) {
        storeBits(out, 0);
        return kNoNumber;
    }
    return parse64Into(TextReader<false>(text), false, out);
}

int32_t kuLongLong_SetFromString(kuint64 *value, const char *text)
{
    if (kuConvert_strtoLongLong(text, value) == 0)
        return 1;
    storeBits(value, 0);
    return 0;
}

int32_t kuULongLong_SetFromString(kuuint64 *value, const char *text)
{
    if (kuConvert_strtoULongLong(text, value) == 0)
        return 1;
    storeBits(value, 0);
    return 0;
}

int32_t kuULongLong_SetFromNString(kuuint64 *value, const char *text, size_t length)
{
    if (text == nullptr || length == 0)
        return 0;
    if (parse64Into(TextReader<true>(text, length), false, value) == 0)
        return 1;
    storeBits(value, 0);
    return 0;
}

// ------------------------------------------------------------ floating point

namespace {

// 10^0 ... 10^308, each the nearest double (exact up to 10^22).
constexpr double kPow10[] = {
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9,
    1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19,
    1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29,
    1e30, 1e31, 1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38, 1e39,
    1e40, 1e41, 1e42, 1e43, 1e44, 1e45, 1e46, 1e47, 1e48, 1e49,
    1e50, 1e51, 1e52, 1e53, 1e54, 1e55, 1e56, 1e57, 1e58, 1e59,
    1e60, 1e61, 1e62, 1e63, 1e64, 1e65, 1e66, 1e67, 1e68, 1e69,
    1e70, 1e71, 1e72, 1e73, 1e74, 1e75, 1e76, 1e77, 1e78, 1e79,
    1e80, 1e81, 1e82, 1e83, 1e84, 1e85, 1e86, 1e87, 1e88, 1e89,
    1e90, 1e91, 1e92, 1e93, 1e94, 1e95, 1e96, 1e97, 1e98, 1e99,
    1e100, 1e101, 1e102, 1e103, 1e104, 1e105, 1e106, 1e107, 1e108, 1e109,
    1e110, 1e111, 1e112, 1e113, 1e114, 1e115, 1e116, 1e117, 1e118, 1e119,
    1e120, 1e121, 1e122, 1e123, 1e124, 1e125, 1e126, 1e127, 1e128, 1e129,
    1e130, 1e131, 1e132, 1e133, 1e134, 1e135, 1e136, 1e137, 1e138, 1e139,
    1e140, 1e141, 1e142, 1e143, 1e144, 1e145, 1e146, 1e147, 1e148, 1e149,
    1e150, 1e151, 1e152, 1e153, 1e154, 1e155, 1e156, 1e157, 1e158, 1e159,
    1e160, 1e161, 1e162, 1e163, 1e164, 1e165, 1e166, 1e167, 1e168, 1e169,
    1e170, 1e171, 1e172, 1e173, 1e174, 1e175, 1e176, 1e177, 1e178, 1e179,
    1e180, 1e181, 1e182, 1e183, 1e184, 1e185, 1e186, 1e187, 1e188, 1e189,
    1e190, 1e191, 1e192, 1e193, 1e194, 1e195, 1e196, 1e197, 1e198, 1e199,
    1e200, 1e201, 1e202, 1e203, 1e204, 1e205, 1e206, 1e207, 1e208, 1e209,
    1e210, 1e211, 1e212, 1e213, 1e214, 1e215, 1e216, 1e217, 1e218, 1e219,
    1e220, 1e221, 1e222, 1e223, 1e224, 1e225, 1e226, 1e227, 1e228, 1e229,
    1e230, 1e231, 1e232, 1e233, 1e234, 1e235, 1e236, 1e237, 1e238, 1e239,
    1e240, 1e241, 1e242, 1e243, 1e244, 1e245, 1e246, 1e247, 1e248, 1e249,
    1e250, 1e251, 1e252, 1e253, 1e254, 1e255, 1e256, 1e257, 1e258, 1e259,
    1e260, 1e261, 1e262, 1e263, 1e264, 1e265, 1e266, 1e267, 1e268, 1e269,
    1e270, 1e271, 1e272, 1e273, 1e274, 1e275, 1e276, 1e277, 1e278, 1e279,
    1e280, 1e281, 1e282, 1e283, 1e284, 1e285, 1e286, 1e287, 1e288, 1e289,
    1e290, 1e291, 1e292, 1e293, 1e294, 1e295, 1e296, 1e297, 1e298, 1e299,
    1e300, 1e301, 1e302, 1e303, 1e304, 1e305, 1e306, 1e307, 1e308,
};
constexpr int kMaxPow = 308;

// v * 10^scale: one multiplication or division by a tabled power for every
// exponent a double can reach, so the result is within about an ulp.
double scaleByPow10(double v, int64_t scale)
{
    if (v == 0)
        return v;
    // a few digits more than the exact powers reach: move them into v while
    // it stays exact, then round once
    if (scale > 22 && scale <= 22 + 15 && v * kPow10[scale - 22] < 9007199254740992.0)
        return v * kPow10[scale - 22] * 1e22;
    for (; scale > kMaxPow && v <= DBL_MAX; scale -= kMaxPow)
        v *= kPow10[kMaxPow];
    for (; scale < -kMaxPow && v != 0; scale += kMaxPow)
        v /= kPow10[kMaxPow];
    if (scale > 0 && scale <= kMaxPow)
        v *= kPow10[scale];
    else if (scale < 0 && scale >= -kMaxPow)
        v /= kPow10[-scale];
    return v;
}

struct Decimal {
    double value;            // signed; infinite when too large
    int64_t decimalExponent; // the exponent less the count of fraction digits
    const char *stop;        // null when there was no digit
};

// Sign, digits, an optional point and digits, an optional exponent (a marker
// and sign without digits are consumed). The significant digits go into a
// 64-bit integer (19 digits at most; later ones only move the decimal point),
// so ordinary numbers are rounded once. Works on any reader with at().
template <typename Reader>
Decimal scanDecimal(const Reader &t, const char *p)
{
    constexpr uint64_t kRoom = 1000000000000000000u; // m * 10 + 9 still fits
    constexpr int64_t kExponentCap = 1000000000;
    bool negative = false;
    if (t.at(p) == '+' || t.at(p) == '-')
        negative = t.at(p++) == '-';

    uint64_t m = 0;
    int64_t scale = 0;
    int64_t fractionDigits = 0;
    bool anyDigit = false;
    for (uint32_t d; (d = (uint32_t)t.at(p) - '0') <= 9; p++) {
        anyDigit = true;
        if (m < kRoom)
            m = m * 10 + d;
        else
            scale++;
    }
    if (t.at(p) == '.') {
        p++;
        for (uint32_t d; (d = (uint32_t)t.at(p) - '0') <= 9; p++) {
            anyDigit = true;
            fractionDigits++;
            if (m < kRoom) {
                m = m * 10 + d;
                scale--;
            }
        }
    }
    if (!anyDigit)
        return {0.0, 0, nullptr};

    int64_t exponent = 0;
    if (t.at(p) == 'e' || t.at(p) == 'E') {
        p++;
        bool negativeExponent = false;
        if (t.at(p) == '+' || t.at(p) == '-')
            negativeExponent = t.at(p++) == '-';
        for (uint32_t d; (d = (uint32_t)t.at(p) - '0') <= 9; p++) {
            if (exponent < kExponentCap)
                exponent = exponent * 10 + d;
        }
        if (negativeExponent)
            exponent = -exponent;
    }
    double v = scaleByPow10((double)m, scale + exponent);
    return {negative ? -v : v, exponent - fractionDigits, p};
}

template <bool Bounded>
int32_t parseDouble(const TextReader<Bounded> &t, double *out)
{
    *out = 0.0;
    const char *p = t.begin;
    while (ku::isSpace(t.at(p)))
        p++;
    Decimal d = scanDecimal(t, p);
    if (d.stop == nullptr)
        return kNoNumber;
    if (d.decimalExponent < -1021)
        return kUnderflow;
    if (d.decimalExponent > 1024)
        return kOverflow;
    if (!(d.value <= DBL_MAX && d.value >= -DBL_MAX))
        return kOverflow;
    *out = d.value;
    return stopStatus(t, t.begin, d.stop);
}

} // namespace

int32_t kuConvert_strtod(const char *text, double *out)
{
    if (text == nullptr) {
        *out = 0.0;
        return kNoNumber;
    }
    return parseDouble(TextReader<false>(text), out);
}

namespace {

// A signed 64-bit integer that must fill [begin, end) completely.
int32_t wholeInteger(const char *begin, const char *end, double *value)
{
    kuint64 n;
    int32_t status = parse64Into(TextReader<true>(begin, (size_t)(end - begin)), true, &n);
    *value = kuLongLong_GetDouble(&n);
    return status;
}

} // namespace

int32_t kuConvert_strtodouble(const char *text, double *out)
{
    *out = 0.0;
    if (text == nullptr)
        return kNoNumber;
    const char *p = text;
    while (ku::isSpace((unsigned char)*p))
        p++;
    const char *slash = strchr(p, '/');
    if (slash == nullptr) {
        if (*p == '\0')
            return kNoNumber;
        double v;
        int32_t status = kuConvert_strtod(text, &v);
        if (status == 0)
            *out = v;
        return status;
    }

    double denominator, numerator, whole = 0;
    int32_t status = wholeInteger(slash + 1, slash + 1 + strlen(slash + 1), &denominator);
    if (status != 0)
        return status;
    const char *space = (const char *)memchr(p, ' ', (size_t)(slash - p));
    if (space != nullptr) {
        if ((status = wholeInteger(space + 1, slash, &numerator)) != 0 ||
            (status = wholeInteger(p, space, &whole)) != 0)
            return status;
    } else if ((status = wholeInteger(p, slash, &numerator)) != 0) {
        return status;
    }
    if (denominator == 0)
        return kNoNumber;
    double fraction = numerator / denominator;
    *out = whole < 0 ? whole - fraction : whole + fraction;
    return 0;
}

// ------------------------------------------------------------ fraction text

namespace {

constexpr int kEndMark = 7;

// The text as a scan of its marked copy sees it: the bytes, the end marker,
// then the terminator. A zero byte inside ends the copy's string there.
struct MarkedReader {
    const char *end;

    int at(const char *p) const
    {
        if (p < end)
            return (unsigned char)*p;
        return p == end ? kEndMark : 0;
    }
};

// " %ld": white space, a sign, decimal digits; saturates like the C library.
const char *scanLong(const MarkedReader &t, const char *p, long *out)
{
    constexpr uint64_t kMagnitudeLimit = (uint64_t)LONG_MAX + 1;
    while (ku::isSpace(t.at(p)))
        p++;
    bool negative = false;
    if (t.at(p) == '+' || t.at(p) == '-')
        negative = t.at(p++) == '-';
    const char *digits = p;
    uint64_t m = 0;
    for (uint32_t d; (d = (uint32_t)t.at(p) - '0') <= 9; p++) {
        if (m <= kMagnitudeLimit / 10)
            m = m * 10 + d;
        else
            m = kMagnitudeLimit + 1;
    }
    if (p == digits)
        return nullptr;
    if (negative)
        *out = m >= kMagnitudeLimit ? LONG_MIN : -(long)m;
    else
        *out = m > (uint64_t)LONG_MAX ? LONG_MAX : (long)m;
    return p;
}

int32_t scanFraction(const char *text, size_t length, double *out)
{
    MarkedReader t{text + length};
    const char *p = text;
    while (ku::isSpace(t.at(p)))
        p++;
    bool leadingMinus = t.at(p) == '-';
    Decimal first = scanDecimal(t, p);
    if (first.stop == nullptr)
        return 1;
    *out = first.value;
    p = first.stop;
    int c1 = t.at(p++);
    if (c1 == kEndMark)
        return 0;
    bool integral = fmod(first.value, 1.0) == 0;
    long n, d;
    if (c1 == 0 || (p = scanLong(t, p, &n)) == nullptr)
        return 1;
    while (ku::isSpace(t.at(p)))
        p++;
    int c2 = t.at(p++);
    if (c2 == kEndMark) {
        if (c1 != '/' || !integral || n < 1)
            return 1;
        *out = first.value / (double)n;
        return 0;
    }
    if (c2 == 0 || (p = scanLong(t, p, &d)) == nullptr)
        return 1;
    while (ku::isSpace(t.at(p)))
        p++;
    if (t.at(p) != kEndMark || (c1 != ' ' && c1 != '-') || c2 != '/' || !integral || n < 0 ||
        n >= d)
        return 1;
    double fraction = (double)n / (double)d;
    *out = leadingMinus ? first.value - fraction : first.value + fraction;
    return 0;
}

} // namespace

int32_t kuConvert_strnfractiontodouble(const char *text, size_t length, double *out)
{
    return text == nullptr ? 1 : scanFraction(text, length, out);
}

int32_t kuConvert_strfractiontodouble(const char *text, double *out)
{
    return text == nullptr ? 1 : scanFraction(text, strlen(text), out);
}

namespace {

// Truncation toward zero that saturates instead of leaving the range.
int64_t truncate64(double d)
{
    kuint64 v;
    kuLongLong_SetDouble(&v, d);
    return (int64_t)((uint64_t)(uint32_t)v.high << 32 | v.low);
}

} // namespace

int32_t kuConvert_doubletofraction(double value, int32_t largestDenominator, double tolerance,
                                   char **text)
{
    // Developing further than this cannot shrink the error of a double.
    constexpr int kMaxSteps = 64;
    if (text == nullptr)
        return kNoNumber;
    *text = nullptr;
    if (!isfinite(value))
        return kNoNumber;
    double tol = tolerance >= 0 ? tolerance : 0; // also for NaN
    double v = fabs(value);
    int64_t whole = truncate64(v + tol);
    double x0 = fabs(v - (double)whole);

    // h: numerator of the current convergent, p1 and p2 the two before it;
    // the denominator is recovered from h and x0.
    int64_t h = 1, k = 0, p1 = 0, p2 = 0;
    if (x0 > tol) {
        double e = tol, r = x0;
        bool limited = false;
        for (int step = 0;; step++) {
            double y = 1 / r;
            double a = trunc(y + e);
            // an endless or huge term only comes from a remainder of 0
            if (step == kMaxSteps || !(a < 4611686018427387904.0)) {
                limited = true;
                break;
            }
            if (p1 != 0 && (__builtin_mul_overflow(h, (int64_t)a, &h) ||
                            __builtin_add_overflow(h, p2, &h))) {
                limited = true;
                break;
            }
            double kd = trunc((double)h / x0 + 0.5);
            if (kd > largestDenominator) {
                limited = true;
                break;
            }
            k = (int64_t)kd;
            double err = k != 0 ? fabs((double)h / (double)k - x0) : HUGE_VAL;
            double next = y - a;
            if (err <= tol || next < e)
                break;
            e = tol / err;
            p2 = p1;
            p1 = h;
            r = next;
        }
        if (limited) {
            if (p1 != 0) {
                h = p1;
                k = truncate64((double)h / x0 + 0.5);
            } else {
                k = largestDenominator;
                h = 1;
                if (k <= 0 || x0 < fabs(1.0 / (double)k - x0)) {
                    h = 0;
                    k = 1;
                }
            }
        }
    }
    if (h == k) {
        if (whole < INT64_MAX)
            whole++;
        h = k = 0;
    } else if (k == 0) {
        h = 0;
    }

    char buffer[80];
    const char *sign = value < 0 ? "-" : "";
    if (whole != 0 && h != 0)
        ku_snprintf(buffer, sizeof buffer, "%s%lld %lld/%lld", sign, (long long)whole,
                    (long long)h, (long long)k);
    else if (whole != 0)
        ku_snprintf(buffer, sizeof buffer, "%s%lld", sign, (long long)whole);
    else if (h != 0)
        ku_snprintf(buffer, sizeof buffer, "%s%lld/%lld", sign, (long long)h, (long long)k);
    else
        ku_snprintf(buffer, sizeof buffer, "0");
    *text = kuStrdup(buffer);
    return 0;
}

// ------------------------------------------------------- hexadecimal buffers

namespace {

bool validUnit(int unitSize)
{
    return unitSize == 1 || unitSize == 2 || unitSize == 4;
}

} // namespace

int32_t kuConvert_hexstrntobuffer(const char *text, size_t length, int unitSize,
                                  int unitAsNumber, unsigned char **buffer, size_t *count)
{
    *buffer = nullptr;
    *count = 0;
    if (text == nullptr)
        return 0;
    if (!validUnit(unitSize))
        return kNoNumber;
    if (length >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text += 2;
        length -= 2;
    }
    size_t bytes = length / 2;
    if (length % 2 != 0 || bytes % (size_t)unitSize != 0)
        return kNoNumber;

    unsigned char *out = (unsigned char *)kuMalloc(bytes);
    for (size_t i = 0; i < bytes; i++) {
        uint32_t hi = kDigitValues.v[(unsigned char)text[2 * i]];
        uint32_t lo = kDigitValues.v[(unsigned char)text[2 * i + 1]];
        if (hi > 15 || lo > 15) {
            kuFree(out);
            return kNoNumber;
        }
        out[i] = (unsigned char)(hi << 4 | lo);
    }
    if (unitAsNumber != 0 && unitSize > 1) {
        for (size_t i = 0; i < bytes; i += (size_t)unitSize) {
            uint32_t value = 0;
            for (int j = 0; j < unitSize; j++)
                value = value << 8 | out[i + (size_t)j];
            // little-endian on every host, so the buffer means the same
            // to a big-endian device as to a little-endian host
            if (unitSize == 2)
                ku::storeLE16(out + i, (uint16_t)value);
            else
                ku::storeLE32(out + i, value);
        }
    }
    *buffer = out;
    *count = bytes;
    return 0;
}

int32_t kuConvert_buffertohexstr(const void *buffer, size_t length, int unitSize,
                                 int byteOrder, char **text)
{
    *text = nullptr;
    if (!validUnit(unitSize) || length % (size_t)unitSize != 0 ||
        (buffer == nullptr && length != 0))
        return kNoNumber;
    const unsigned char *bytes = (const unsigned char *)buffer;
    char *out = (char *)kuMalloc(2 * length + 1);
    size_t unit = (size_t)unitSize;
    bool reverse = unit > 1 && (byteOrder == 1 || byteOrder == 2);
    char *q = out;
    for (size_t i = 0; i < length; i += unit) {
        for (size_t j = 0; j < unit; j++) {
            unsigned char b = bytes[i + (reverse ? unit - 1 - j : j)];
            *q++ = ku::kDigitsLower[b >> 4];
            *q++ = ku::kDigitsLower[b & 15];
        }
    }
    *q = '\0';
    *text = out;
    return 0;
}

int kuUtil_StrCompare(const char *a, const char *b)
{
    return strcmp(a != nullptr ? a : "", b != nullptr ? b : "");
}
