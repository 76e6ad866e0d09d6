// Floating-point classification, special values and the floating conversions
// of the formatted output.
#include <kuvanaTools/kuFloat.h>
#include <kuvanaTools/private/kuCharClass.h>
#include <kuvanaTools/private/kuPrintfInternal.h>

#include <math.h>
#include <string.h>

namespace {

inline uint64_t bitsOf(double x)
{
    uint64_t bits;
    memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline double fromBits(uint64_t bits)
{
    double x;
    memcpy(&x, &bits, sizeof x);
    return x;
}

constexpr uint64_t kSignBit = 0x8000000000000000ull;
constexpr uint64_t kExponentBits = 0x7FF0000000000000ull;
constexpr uint64_t kMantissaBits = 0x000FFFFFFFFFFFFFull;

int classify(double x, int *sign)
{
    uint64_t bits = bitsOf(x);
    uint64_t exponent = bits & kExponentBits;
    uint64_t mantissa = bits & kMantissaBits;
    if (exponent == 0 && mantissa == 0) {
        *sign = (bits & kSignBit) ? 128 : 0;
        return KU_FP_ZERO;
    }
    if (exponent == kExponentBits && mantissa != 0) {
        *sign = 0;
        return KU_FP_NAN;
    }
    *sign = x < 0 ? 1 : 0;
    if (exponent == kExponentBits)
        return KU_FP_INFINITE;
    return fabs(x) < 2.2250738585072014e-308 ? KU_FP_SUBNORMAL : KU_FP_NORMAL;
}

} // namespace

double ku_nzero(void)
{
    return fromBits(kSignBit);
}

double ku_pinf(void)
{
    return fromBits(kExponentBits);
}

double ku_ninf(void)
{
    return fromBits(kExponentBits | kSignBit);
}

double ku_nan(void)
{
    return fromBits(0x7FF7FFFFFFFFFFFFull);
}

int ku_fpclassify_and_signbit(double x, int *sign)
{
    int ignored;
    return classify(x, sign != nullptr ? sign : &ignored);
}

int ku_fpclassify(double x)
{
    int sign;
    return classify(x, &sign);
}

int ku_signbit(double x)
{
    int sign;
    classify(x, &sign);
    return sign;
}

int ku_isfinite(double x)
{
    int sign;
    int c = classify(x, &sign);
    return c >= KU_FP_NORMAL ? 1 : 0;
}

int ku_isinf(double x)
{
    int sign;
    if (classify(x, &sign) != KU_FP_INFINITE)
        return 0;
    return sign ? -1 : 1;
}

int ku_isnan(double x)
{
    int sign;
    return classify(x, &sign) == KU_FP_NAN ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Floating conversions: digits come from double arithmetic in any base, with
// halves rounded up on the double value.

namespace {

using ku::PrintSink;

using ku::kDigitsLower;
using ku::kDigitsUpper;

// Exact in a double up to 10^22.
constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr uint64_t kPow10Int[20] = {1ull,
                                    10ull,
                                    100ull,
                                    1000ull,
                                    10000ull,
                                    100000ull,
                                    1000000ull,
                                    10000000ull,
                                    100000000ull,
                                    1000000000ull,
                                    10000000000ull,
                                    100000000000ull,
                                    1000000000000ull,
                                    10000000000000ull,
                                    100000000000000ull,
                                    1000000000000000ull,
                                    10000000000000000ull,
                                    100000000000000000ull,
                                    1000000000000000000ull,
                                    10000000000000000000ull};

constexpr double kTwoTo64 = 18446744073709551616.0;
constexpr double kGeneralLowerLimit = 0.0001;

// B to the power e (e >= 0); infinity when out of range.
double powerOf(int base, int e)
{
    if (base == 10 && e <= 22)
        return kPow10[e];
    return (double)powl((long double)base, (long double)e);
}

// x times B to the power e, with the intermediate in long double and split
// in two where the power alone would leave the range.
double scaleBy(double x, int base, int e)
{
    if (base == 10 && e >= -22 && e <= 0)
        return x / kPow10[-e];
    if (base == 10 && e > 0 && e <= 22)
        return x * kPow10[e];
    long double p = powl((long double)base, (long double)e);
    if (p != 0 && isfinite(p))
        return (double)((long double)x * p);
    int half = e / 2;
    long double y = (long double)x * powl((long double)base, (long double)half);
    return (double)(y * powl((long double)base, (long double)(e - half)));
}

// log to base B; minus infinity for 0.
long double logOf(double x, int base)
{
    if (x == 0)
        return (long double)ku_ninf();
    if (x < 0)
        return (long double)ku_nan();
    if (base == 10)
        return log10l((long double)x);
    return log10l((long double)x) / log10l((long double)base);
}

// Number of base-B digits of the integer value i (1 for 0).
int integerDigits(double i, int base)
{
    if (i < 1)
        return 1;
    if (i < kTwoTo64) {
        uint64_t v = (uint64_t)i;
        int n = 1;
        if (base == 10) {
            while (n < 20 && v >= kPow10Int[n])
                n++;
            return n;
        }
        while (v >= (uint64_t)base) {
            v /= (uint64_t)base;
            n++;
        }
        return n;
    }
    int n = (int)logOf(i, base) + 1;
    while (n > 1 && powl((long double)base, (long double)(n - 1)) > (long double)i)
        n--;
    while (powl((long double)base, (long double)n) <= (long double)i)
        n++;
    return n;
}

// floor(log_B(x)) for a finite x > 0, scaling x into [1, B).
int normalise(double &x, int base)
{
    int k;
    if (base == 16) {
        int e2;
        frexp(x, &e2); // x in [2^(e2-1), 2^e2)
        int l2 = e2 - 1;
        k = l2 >= 0 ? l2 / 4 : -((-l2 + 3) / 4);
        x = ldexp(x, -4 * k);
        return k;
    }
    if (base == 10) {
        int e2;
        frexp(x, &e2);
        k = (int)floor((e2 - 1) * 0.30102999566398119521);
    } else {
        k = (int)floorl(logOf(x, base));
    }
    x = scaleBy(x, base, -k);
    // The estimate may be one off; a value that rounds up to B becomes 1.
    if (x < 1) {
        x *= base;
        k--;
    }
    if (x >= base) {
        x /= base;
        k++;
    }
    return k;
}

// The fraction digits: each step takes the next digit of the fraction plus
// the rounding term; once the rounding has carried into a digit, the rest
// are zeros.
struct FractionDigits {
    double fraction;
    double term;
    int base;

    int next()
    {
        double t = base * fraction;
        term *= base;
        double s = t + term; // in [0, base + 1)
        double d = (double)(int64_t)s;
        if (t < d) {
            fraction = 0;
            term = 0;
        } else {
            fraction = t - d;
        }
        return d >= base ? (int)fmod(d, base) : (int)d;
    }
};

template <class C> void writeWord(PrintSink<C> &sink, const char *word, uint32_t flags, int width)
{
    size_t n = strlen(word);
    int64_t pad = (int64_t)width - (int64_t)n;
    if (!(flags & ku::kFlagLeft))
        sink.fill((C)' ', pad);
    sink.writeAscii(word, n);
    if (flags & ku::kFlagLeft)
        sink.fill((C)' ', pad);
}

// Writes the n digits of the integer value i, most significant first.
template <class C>
void writeIntegerDigits(PrintSink<C> &sink, double i, int n, int base, const char *table)
{
    if (i < kTwoTo64) {
        char digits[64];
        uint64_t v = (uint64_t)i;
        int at = 64;
        do {
            digits[--at] = table[v % (uint64_t)base];
            v /= (uint64_t)base;
        } while (v != 0 && at > 0);
        int count = 64 - at;
        if (count < n)
            sink.fill((C)'0', n - count);
        sink.writeAscii(digits + at, (size_t)count);
        return;
    }
    double plusHalf = i + 0.5;
    for (int k = n - 1; k >= 0; k--) {
        double q = floor(plusHalf / powerOf(base, k));
        sink.put((C)table[(int)fmod(q, base)]);
    }
}

// Writes e in the given base with at least minDigits digits.
int exponentDigits(char *out, int e, int base, int minDigits, const char *table)
{
    char reversed[40];
    unsigned v = e < 0 ? 0u - (unsigned)e : (unsigned)e;
    int n = 0;
    do {
        reversed[n++] = table[v % (unsigned)base];
        v /= (unsigned)base;
    } while (v != 0);
    while (n < minDigits)
        reversed[n++] = '0';
    for (int i = 0; i < n; i++)
        out[i] = reversed[n - 1 - i];
    return n;
}

} // namespace

namespace ku {

template <class C>
void formatFloat(PrintSink<C> &sink, double v, uint32_t flags, int width, int precision, int base)
{
    const bool upper = (flags & kFlagUpper) != 0;
    const bool left = (flags & kFlagLeft) != 0;
    int negative;
    int cls = classify(v, &negative);
    if (cls == KU_FP_NAN) {
        writeWord(sink, upper ? "NAN" : "nan", flags, width);
        return;
    }
    if (cls == KU_FP_INFINITE) {
        if (negative)
            writeWord(sink, upper ? "-INF" : "-inf", flags, width);
        else
            writeWord(sink, upper ? "INF" : "inf", flags, width);
        return;
    }

    const int B = base;
    const bool hex = B == 16;
    const char *table = upper ? kDigitsUpper : kDigitsLower;
    const double eps = (flags & kFlagLenH) ? 1.1920928955078125e-07 : 2.220446049250313e-16;
    const bool general = (flags & kFlagGeneral) != 0;
    const double x0 = fabs(v);
    char sign = negative ? '-' : (flags & kFlagPlus) ? '+' : (flags & kFlagSpace) ? ' ' : 0;

    int P = precision >= 0 ? precision : (hex ? 24 : 6);
    const bool keepZeros = !((general && !(flags & kFlagAlt)) || (flags & kFlagLenJ) ||
                             (hex && precision < 0));
    bool expStyle = (flags & kFlagExpStyle) || hex;
    int z = 0;
    if (general) {
        if (P == 0)
            P = 1;
        if (!expStyle) {
            if (x0 < kGeneralLowerLimit || x0 >= powerOf(B, P)) {
                expStyle = true;
            } else if (x0 < 1) {
                // Leading zeros after the point; a magnitude within eps of a
                // whole number counts as that number.
                long double m = fabsl(logOf(x0, B));
                z = (int)m;
                if (m - (long double)z < (long double)eps)
                    z--;
            }
        }
    }

    double x, I, fraction, half;
    int k, n, F;
    for (;;) {
        x = x0;
        k = 0;
        if (expStyle) {
            if (x == 0) {
                if (general && !hex)
                    expStyle = false;
            } else {
                k = normalise(x, B);
            }
        }
        I = x < kTwoTo64 ? (double)(uint64_t)x : floor(x);
        n = I <= eps ? 1 : integerDigits(I, B);
        F = P;
        if (general) {
            // In 64 bits: P may be INT_MAX. Past INT_MAX digits a double has
            // only zeros left, so the cap changes no digit.
            int64_t wide = (int64_t)P + z;
            if (!(eps < x && x < 1))
                wide -= n;
            F = wide < 0 ? 0 : wide > INT32_MAX ? INT32_MAX : (int)wide;
        }
        half = 0.5 / powerOf(B, F);
        double r = x + half;
        fraction = x - I;
        double rInt = r < kTwoTo64 ? (double)(uint64_t)r : floor(r);
        if (rInt == I)
            break;
        if (expStyle) {
            if (integerDigits(rInt, B) > n) {
                r /= B;
                k++;
            }
            I = r < kTwoTo64 ? (double)(uint64_t)r : floor(r);
            fraction = r - I;
            break;
        }
        if (general && (r < kGeneralLowerLimit || r >= powerOf(B, P))) {
            expStyle = true;
            z = 0;
            continue;
        }
        double up = x + 0.5;
        I = up < kTwoTo64 ? (double)(uint64_t)up : floor(up);
        n = integerDigits(I, B);
        fraction = 0;
        if (general)
            F = 0;
        break;
    }

    // Fraction digits actually written: without trailing zeros unless kept.
    FractionDigits digits{fraction, half, B};
    char shortDigits[64];
    int written = F;
    if (F <= (int)sizeof shortDigits) {
        FractionDigits gen = digits;
        int last = 0;
        for (int i = 0; i < F; i++) {
            int d = gen.next();
            shortDigits[i] = table[d];
            if (d != 0)
                last = i + 1;
        }
        if (!keepZeros)
            written = last;
    } else if (!keepZeros) {
        FractionDigits gen = digits;
        int last = 0;
        for (int i = 0; i < F && gen.fraction != 0; i++) {
            if (gen.next() != 0)
                last = i + 1;
        }
        written = last;
    }
    const bool point = (flags & kFlagAlt) || (P != 0 && (keepZeros || written > 0));

    char exponent[48];
    int exponentLength = 0;
    if (expStyle) {
        int e = hex ? 4 * k : k;
        exponent[0] = hex ? (upper ? 'P' : 'p') : (upper ? 'E' : 'e');
        exponent[1] = e < 0 ? '-' : '+';
        exponentLength = 2 + exponentDigits(exponent + 2, e, hex ? 10 : B,
                                            (!hex && B == 10) ? 2 : 1, table);
    }

    // Summed in 64 bits: written alone may be INT_MAX; the entry points turn
    // a total past INT_MAX into their overflow result.
    int64_t length = (int64_t)(sign ? 1 : 0) + n + (point ? 1 : 0) + written + exponentLength +
                     (hex ? 2 : 0);
    int64_t pad = (int64_t)width - length;
    if (sink.counting) {
        sink.produced += length + (pad > 0 ? pad : 0);
        return;
    }

    const char prefix[2] = {'0', upper ? 'X' : 'x'};
    if ((flags & kFlagZero) && !left) {
        if (sign)
            sink.put((C)sign);
        if (hex)
            sink.writeAscii(prefix, 2);
        sink.fill((C)'0', pad);
    } else {
        if (!left)
            sink.fill((C)' ', pad);
        if (sign)
            sink.put((C)sign);
        if (hex)
            sink.writeAscii(prefix, 2);
    }
    writeIntegerDigits(sink, I, n, B, table);
    if (point)
        sink.put((C)'.');
    if (F <= (int)sizeof shortDigits) {
        sink.writeAscii(shortDigits, (size_t)written);
    } else {
        int i = 0;
        for (; i < written && digits.fraction != 0; i++)
            sink.put((C)table[digits.next()]);
        sink.fill((C)'0', written - i);
    }
    sink.writeAscii(exponent, (size_t)exponentLength);
    if (left)
        sink.fill((C)' ', pad);
}

template void formatFloat<char>(PrintSink<char> &, double, uint32_t, int, int, int);
template void formatFloat<wchar_t>(PrintSink<wchar_t> &, double, uint32_t, int, int, int);

} // namespace ku
