// The formatted output engine: one template shared by the narrow (UTF-8) and
// wide (32-bit wchar_t) families. Pass 1 parses the whole format and fetches
// every argument into fixed records, so positional arguments can be read in
// any order from one va_list and malformed formats are rejected before
// anything is written; pass 2 writes through a sink.
#include <kuvanaTools/kuFloat.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuUnicode.h>
#include <kuvanaTools/private/kuCharClass.h>
#include <kuvanaTools/private/kuPrintfInternal.h>

#include <limits.h>
#include <stdlib.h>
#include <string.h>

namespace {

using namespace ku;

constexpr int kMaxRecords = 64;
constexpr int kMaxPositions = 64;

enum Kind : uint8_t { kInteger, kFloating, kCharacter, kString, kPointer, kCount, kStar };

enum : int { kSyntaxError = 2, kPositionError = 3, kDuplicateError = 4, kMissingError = 5 };

// Result for output that does not fit the int result.
constexpr int kOverflow = -1;
// Result for an invalid UTF-8 string argument.
constexpr int kInvalidString = -2;

union Value {
    int64_t i;
    double d;
    const void *p;
};

// One argument position: a conversion, or an int that supplies a width, a
// precision or a base. width, precision (-1: none) and base (2 to 36) are the
// values to use, or argument positions when the matching ...Arg flag is set.
struct Record {
    Value value;
    ptrdiff_t start; // offset of the '%'
    ptrdiff_t end;   // offset just past the conversion character
    uint32_t flags;
    int32_t width;
    int32_t precision;
    int32_t base;
    uint8_t kind;
};

struct Directives {
    Record records[kMaxRecords];
    uint16_t references[kMaxPositions]; // directives referencing each position
    uint8_t holder[kMaxPositions];      // record holding each position
    int recordCount;
    int positionCount; // highest referenced position + 1
    ptrdiff_t formatEnd;
    bool percentLiteral; // "%%" occurs in the format
};

inline int errorCode(ptrdiff_t offset, int kind)
{
    // Offsets too large for the code are capped (formats of megabytes).
    const ptrdiff_t maxOffset = (INT_MAX - 8) / 256;
    if (offset > maxOffset)
        offset = maxOffset;
    return -(int)(256 * offset + kind);
}

template <class C> inline bool isDigitChar(C c)
{
    return c >= (C)'0' && c <= (C)'9';
}

// Reads a decimal number, saturating at INT_MAX.
template <class C> int readDecimal(const C *&p)
{
    int64_t v = 0;
    while (isDigitChar(*p)) {
        if (v < INT_MAX)
            v = v * 10 + (*p - (C)'0');
        p++;
    }
    return v > INT_MAX ? INT_MAX : (int)v;
}

// Reads a decimal number with an optional '-' (precision and base).
template <class C> int readSignedDecimal(const C *&p)
{
    bool negative = *p == (C)'-';
    if (negative)
        p++;
    int v = readDecimal(p);
    return negative ? -v : v;
}

template <class C> inline bool startsSignedDecimal(const C *p)
{
    return isDigitChar(p[0]) || (p[0] == (C)'-' && isDigitChar(p[1]));
}

// A plain loop: literal runs are mostly short, and over a format used again
// and again it runs ahead on branch prediction (a word-at-a-time scan waits
// for each load instead).
template <class C> inline const C *findPercent(const C *p)
{
    while (*p != 0 && *p != (C)'%')
        p++;
    return p;
}

constexpr uint64_t kHighBits = 0x8080808080808080ull;

// Reads "N$" at p (N >= 1): returns N - 1 and moves p past the '$', or -1
// leaving p alone.
template <class C> __attribute__((always_inline)) inline int readPosition(const C *&p)
{
    if (!isDigitChar(*p))
        return -1;
    const C *q = p;
    int n = readDecimal(q);
    if (*q != (C)'$' || n < 1)
        return -1;
    p = q + 1;
    return n - 1;
}

} // namespace

// ---------------------------------------------------------------- pass 1
namespace {

// What each conversion character makes.
struct Conversion {
    uint8_t kind;      // kInvalid for anything that is no conversion
    uint8_t fixedBase; // 0: the directive's base (default 10)
    uint32_t flags;
};

constexpr uint8_t kInvalid = 0xFF;

constexpr Conversion conversionOf(int c)
{
    switch (c) {
    case 'd': return {kInteger, 10, 0};
    case 'i': return {kInteger, 0, 0};
    case 'u': return {kInteger, 0, kFlagUnsigned};
    case 'o': return {kInteger, 8, kFlagUnsigned};
    case 'x': return {kInteger, 16, kFlagUnsigned};
    case 'X': return {kInteger, 16, kFlagUnsigned | kFlagUpper};
    case 'c': return {kCharacter, 10, 0};
    case 's': return {kString, 10, 0};
    case 'p': return {kPointer, 16, 0};
    case 'n': return {kCount, 10, 0};
    case 'f': return {kFloating, 0, 0};
    case 'F': return {kFloating, 0, kFlagUpper};
    case 'e': return {kFloating, 0, kFlagExpStyle};
    case 'E': return {kFloating, 0, kFlagExpStyle | kFlagUpper};
    case 'g': return {kFloating, 0, kFlagGeneral};
    case 'G': return {kFloating, 0, kFlagGeneral | kFlagUpper};
    case 'a': return {kFloating, 16, kFlagExpStyle};
    case 'A': return {kFloating, 16, kFlagExpStyle | kFlagUpper};
    default: return {kInvalid, 0, 0};
    }
}

struct ConversionTable {
    Conversion entries[128];
    constexpr ConversionTable() : entries()
    {
        for (int c = 0; c < 128; c++)
            entries[c] = conversionOf(c);
    }
};

constexpr ConversionTable kConversions;

template <class C> inline const Conversion &lookupConversion(C c)
{
    static constexpr Conversion invalid = {kInvalid, 0, 0};
    return (c >= 0 && c < 128) ? kConversions.entries[(int)c] : invalid;
}

// Reads one argument with the type its record needs.
__attribute__((always_inline)) inline void fetch(Record &r, va_list *args)
{
    switch (r.kind) {
    case kInteger: {
        const uint32_t f = r.flags;
        if (!(f & (kFlagLenJ | kFlagLenLL | kFlagLenZ | kFlagLenT | kFlagLenL)))
            r.value.i = (int64_t)va_arg(*args, int);
        else if (f & kFlagLenJ)
            r.value.i = (int64_t)va_arg(*args, intmax_t);
        else if (f & kFlagLenLL)
            r.value.i = (int64_t)va_arg(*args, long long);
        else if (f & kFlagLenZ)
            r.value.i = (int64_t)(uint64_t)va_arg(*args, size_t);
        else if (f & kFlagLenT)
            r.value.i = (int64_t)va_arg(*args, ptrdiff_t);
        else
            r.value.i = (int64_t)va_arg(*args, long);
        break;
    }
    case kFloating:
        r.value.d = va_arg(*args, double);
        break;
    case kCharacter:
    case kStar:
        r.value.i = va_arg(*args, int);
        break;
    default:
        r.value.p = va_arg(*args, const void *);
        break;
    }
}

// Parses the format into records, checks the positions, then reads the
// arguments in position order.
template <class C> class Parser {
public:
    Parser(const C *format, Directives &d, va_list *args) : format_(format), d_(d), args_(args) {}

    // 0 or a negative error code.
    int run()
    {
        Directives &d = d_;
        d.recordCount = 0;
        d.positionCount = 0;
        d.percentLiteral = false;
        const C *p = format_;
        for (;;) {
            p = findPercent(p);
            if (*p == 0)
                break;
            if (p[1] == (C)'%') {
                d.percentLiteral = true;
                p += 2;
                continue;
            }
            // Most directives are a conversion with at most a '-' or '0'
            // and a width ("%d", "%s", "%08x", "%-12s"): read them here.
            const C *q = p + 1;
            uint32_t flags = 0;
            int32_t width = 0;
            if (*q == (C)'-') {
                flags = kFlagLeft;
                q++;
            } else if (*q == (C)'0') {
                flags = kFlagZero;
            }
            if (isDigitChar(*q)) {
                width = readDecimal(q); // digits before a '$' fail the lookup
                flags |= kFlagWidthGiven;
            }
            const Conversion &simple = lookupConversion(*q);
            if (simple.kind != kInvalid && running_ < kMaxPositions) {
                int index = addRecord(running_++, offset(p + 1), simple.kind);
                if (index < 0)
                    return index;
                Record &r = d.records[index];
                r.start = offset(p);
                p = q + 1;
                r.end = offset(p);
                r.flags = flags | simple.flags;
                r.width = width;
                r.precision = -1;
                r.base = simple.fixedBase != 0 ? simple.fixedBase : 10;
                continue;
            }
            int rc = directive(p);
            if (rc < 0)
                return rc;
        }
        d.formatEnd = p - format_;
        if (explicit_) {
            // Every position up to the highest one is referenced exactly once.
            for (int pos = 0; pos < d.positionCount; pos++) {
                if (d.references[pos] == 0)
                    return errorCode(pos, kMissingError);
                if (d.references[pos] > 1)
                    return errorCode(pos, kDuplicateError);
            }
        }
        // Arguments in position order, from the one va_list.
        for (int pos = 0; pos < d.positionCount; pos++)
            fetch(d.records[d.holder[pos]], args_);
        return 0;
    }

private:
    ptrdiff_t offset(const C *p) const { return p - format_; }

    // Makes a record for position pos; errorOffset is reported when the
    // position or the record count is out of range.
    int addRecord(int pos, ptrdiff_t errorOffset, uint8_t kind)
    {
        Directives &d = d_;
        if (pos < 0 || pos >= kMaxPositions || d.recordCount >= kMaxRecords)
            return errorCode(errorOffset, kPositionError);
        int index = d.recordCount++;
        d.records[index].kind = kind;
        // Counts are cleared as the highest position grows.
        if (pos >= d.positionCount) {
            for (int i = d.positionCount; i < pos; i++)
                d.references[i] = 0;
            d.references[pos] = 1;
            d.positionCount = pos + 1;
        } else if (d.references[pos] < UINT16_MAX) {
            d.references[pos]++;
        }
        d.holder[pos] = (uint8_t)index;
        return index;
    }

    // A '*' (p just past it): its position as in "*N$", or the running one.
    // Returns the position or an error code.
    int star(const C *&p, bool explicitDirective, int &valuePos, ptrdiff_t &valueOffset)
    {
        int pos = readPosition(p);
        ptrdiff_t at = offset(p);
        explicit_ |= pos >= 0;
        if (pos < 0) {
            if (explicitDirective) {
                pos = running_++;
            } else {
                // The star takes the value's place; the value moves on.
                pos = valuePos++;
                valueOffset = at;
            }
        }
        int index = addRecord(pos, at, kStar);
        return index < 0 ? index : pos;
    }

    int directive(const C *&p);
    int finishDirective(const C *start, const C *&p, int valuePos, ptrdiff_t valueOffset,
                        bool explicitDirective, uint32_t flags, int32_t width, int32_t precision,
                        int32_t base);

    const C *format_;
    Directives &d_;
    va_list *args_;
    int running_ = 0;
    bool explicit_ = false; // some "N$" was seen
};

template <class C> int Parser<C>::directive(const C *&p)
{
    const C *start = p;
    p++;
    int valuePos = readPosition(p);
    const bool explicitDirective = valuePos >= 0;
    explicit_ |= explicitDirective;
    ptrdiff_t valueOffset = offset(p);
    if (!explicitDirective)
        valuePos = running_;
    if (valuePos >= kMaxPositions)
        return errorCode(valueOffset, kPositionError);

    uint32_t flags = 0;
    int32_t width = 0, precision = 0, base = 0;
    int dots = 0;
    for (bool items = lookupConversion(*p).kind == kInvalid; items;) {
        switch (*p) {
        case '-':
            flags = (flags | kFlagLeft) & ~kFlagZero;
            p++;
            break;
        case '+':
            flags |= kFlagPlus;
            p++;
            break;
        case ' ':
            flags |= kFlagSpace;
            p++;
            break;
        case '#':
            flags |= kFlagAlt;
            p++;
            break;
        case '0':
            if (!(flags & kFlagLeft))
                flags |= kFlagZero;
            [[fallthrough]];
        case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9':
            width = readDecimal(p);
            flags = (flags | kFlagWidthGiven) & ~kFlagWidthArg;
            break;
        case '*': {
            p++;
            int pos = star(p, explicitDirective, valuePos, valueOffset);
            if (pos < 0)
                return pos;
            width = pos;
            flags |= kFlagWidthGiven | kFlagWidthArg;
            break;
        }
        case '.': {
            p++;
            const ptrdiff_t dotOffset = offset(p);
            if (++dots == 3)
                return errorCode(dotOffset, kSyntaxError);
            if (dots == 1 && *p == (C)'.')
                break; // ".." : no precision, a base follows
            int32_t value = 0;
            bool fromArg = false, given = true;
            if (*p == (C)'*') {
                p++;
                value = star(p, explicitDirective, valuePos, valueOffset);
                if (value < 0)
                    return value;
                fromArg = true;
            } else if (startsSignedDecimal(p)) {
                value = readSignedDecimal(p);
                if (dots == 2 && value > 36)
                    return errorCode(dotOffset, kSyntaxError);
            } else if (dots == 2) {
                given = false;
            }
            if (dots == 1) {
                precision = value;
                flags = (flags | kFlagPrecGiven) & ~kFlagPrecArg;
                if (fromArg)
                    flags |= kFlagPrecArg;
            } else if (given) {
                base = value;
                flags = (flags | kFlagBaseGiven) & ~kFlagBaseArg;
                if (fromArg)
                    flags |= kFlagBaseArg;
            }
            break;
        }
        case 'h':
            p++;
            if (flags & kFlagLenHH)
                return errorCode(offset(p), kSyntaxError);
            flags = (flags & kFlagLenH) ? ((flags & ~kFlagLenH) | kFlagLenHH) : (flags | kFlagLenH);
            break;
        case 'l':
            p++;
            if (flags & kFlagLenLL)
                return errorCode(offset(p), kSyntaxError);
            flags = (flags & kFlagLenL) ? ((flags & ~kFlagLenL) | kFlagLenLL) : (flags | kFlagLenL);
            break;
        case 'L':
            flags |= kFlagLenBigL;
            p++;
            break;
        case 'j':
            flags |= kFlagLenJ;
            p++;
            break;
        case 'z':
            flags |= kFlagLenZ;
            p++;
            break;
        case 't':
            flags |= kFlagLenT;
            p++;
            break;
        default:
            items = false;
            break;
        }
    }
    return finishDirective(start, p, valuePos, valueOffset, explicitDirective, flags, width,
                           precision, base);
}

// Reads the conversion character at p and makes the directive's record.
template <class C>
int Parser<C>::finishDirective(const C *start, const C *&p, int valuePos, ptrdiff_t valueOffset,
                               bool explicitDirective, uint32_t flags, int32_t width,
                               int32_t precision, int32_t base)
{
    const Conversion &conversion = lookupConversion(*p++);
    if (conversion.kind == kInvalid) {
        // Also the terminator after a final '%': p is then past it, but the
        // error return means nothing reads there.
        return errorCode(offset(p), kSyntaxError);
    }
    flags |= conversion.flags;
    if (conversion.kind == kString && (flags & (kFlagLenL | kFlagLenLL)))
        flags |= kFlagWide;
    int index = addRecord(valuePos, valueOffset, conversion.kind);
    if (index < 0)
        return index;

    // Literal values are resolved here; stars in pass 2.
    if (!(flags & kFlagWidthGiven))
        width = 0;
    if (!(flags & kFlagPrecGiven) || (!(flags & kFlagPrecArg) && precision < 0))
        precision = -1;
    if (conversion.fixedBase != 0) {
        base = conversion.fixedBase;
        flags &= ~kFlagBaseArg;
    } else if (!(flags & kFlagBaseArg) && (!(flags & kFlagBaseGiven) || base < 2 || base > 36)) {
        base = 10;
    }
    Record &r = d_.records[index];
    r.start = offset(start);
    r.end = offset(p);
    r.flags = flags;
    r.width = width;
    r.precision = precision;
    r.base = base;
    if (!explicitDirective)
        running_ = valuePos + 1;
    return 0;
}

} // namespace

namespace {

// Bits of the integer argument a length modifier reads.
inline int argumentBits(uint32_t flags)
{
    if (flags & (kFlagLenJ | kFlagLenLL))
        return 64;
    if (flags & kFlagLenZ)
        return (int)(8 * sizeof(size_t));
    if (flags & kFlagLenT)
        return (int)(8 * sizeof(ptrdiff_t));
    if (flags & kFlagLenL)
        return (int)(8 * sizeof(long));
    return (int)(8 * sizeof(int));
}

using ku::kDigitsLower;
using ku::kDigitsUpper;

constexpr char kDigitPairs[] = "00010203040506070809"
                               "10111213141516171819"
                               "20212223242526272829"
                               "30313233343536373839"
                               "40414243444546474849"
                               "50515253545556575859"
                               "60616263646566676869"
                               "70717273747576777879"
                               "80818283848586878889"
                               "90919293949596979899";

template <class U> __attribute__((always_inline)) inline char *decimalDigits(char *end, U v)
{
    while (v >= 100) {
        U q = v / 100;
        unsigned r = (unsigned)(v - q * 100);
        end -= 2;
        memcpy(end, kDigitPairs + 2 * r, 2);
        v = q;
    }
    if (v >= 10) {
        end -= 2;
        memcpy(end, kDigitPairs + 2 * (unsigned)v, 2);
    } else {
        *--end = (char)('0' + (unsigned)v);
    }
    return end;
}

struct HexPairs {
    char text[512];
    constexpr HexPairs(const char *digits) : text()
    {
        for (int i = 0; i < 256; i++) {
            text[2 * i] = digits[i >> 4];
            text[2 * i + 1] = digits[i & 15];
        }
    }
};

constexpr HexPairs kHexPairsLower(kDigitsLower);
constexpr HexPairs kHexPairsUpper(kDigitsUpper);

// Writes the digits of v (at least one) before end; returns the first.
__attribute__((always_inline)) inline char *integerDigits(char *end, uint64_t v, int base,
                                                          const char *table)
{
    if (base == 10) {
        if (v <= UINT32_MAX)
            return decimalDigits(end, (uint32_t)v);
        return decimalDigits(end, v);
    }
    if (base == 16) {
        // Two digits per step.
        const char *pairs = table == kDigitsUpper ? kHexPairsUpper.text : kHexPairsLower.text;
        while (v >= 0x100) {
            end -= 2;
            memcpy(end, pairs + 2 * (v & 0xFF), 2);
            v >>= 8;
        }
        if (v >= 0x10) {
            end -= 2;
            memcpy(end, pairs + 2 * v, 2);
        } else {
            *--end = table[v];
        }
        return end;
    }
    if ((base & (base - 1)) == 0) {
        int shift = __builtin_ctz((unsigned)base);
        unsigned mask = (unsigned)base - 1;
        do {
            *--end = table[(unsigned)v & mask];
            v >>= shift;
        } while (v != 0);
        return end;
    }
    if (v <= UINT32_MAX) {
        uint32_t w = (uint32_t)v;
        do {
            *--end = table[w % (unsigned)base];
            w /= (unsigned)base;
        } while (w != 0);
        return end;
    }
    do {
        *--end = table[v % (unsigned)base];
        v /= (unsigned)base;
    } while (v != 0);
    return end;
}

// Number of digits of v (1 for 0).
inline int digitCount(uint64_t v, int base)
{
    const int bits = 64 - __builtin_clzll(v | 1);
    if (base == 10) {
        static constexpr uint64_t kPowers[20] = {
            1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull,
            100000000ull, 1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull,
            10000000000000ull, 100000000000000ull, 1000000000000000ull, 10000000000000000ull,
            100000000000000000ull, 1000000000000000000ull, 10000000000000000000ull};
        const int t = (bits * 1233) >> 12; // about bits * log10(2)
        return t - ((v | 1) < kPowers[t]) + 1;
    }
    if ((base & (base - 1)) == 0) {
        const int shift = __builtin_ctz((unsigned)base);
        return (bits + shift - 1) / shift;
    }
    int n = 1;
    while (v >= (uint64_t)base) {
        v /= (unsigned)base;
        n++;
    }
    return n;
}

template <class C>
void formatIntegerField(PrintSink<C> &sink, uint64_t magnitude, bool negative, uint32_t flags,
                        int width, int precision, int base)
{
    const bool left = (flags & kFlagLeft) != 0;
    const char *table = (flags & kFlagUpper) ? kDigitsUpper : kDigitsLower;
    // Digits, zeros, prefix and sign are built backwards from the end; only
    // space padding and long runs of zeros go straight to the sink.
    char buffer[136];
    char *const end = buffer + sizeof buffer;
    char *p = end;
    if (magnitude != 0 || precision != 0)
        p = integerDigits(end, magnitude, base, table);
    else if ((flags & kFlagAlt) && base == 8)
        *--p = '0'; // "%#.0o" of 0
    const int digits = (int)(end - p);

    int prefixLength = 0;
    if ((flags & kFlagAlt) && magnitude != 0) {
        if (base == 8)
            prefixLength = 1;
        else if (base == 16 || base == 2)
            prefixLength = 2;
    }
    const char sign = negative ? '-' : (flags & kFlagPlus) ? '+' : (flags & kFlagSpace) ? ' ' : 0;
    int64_t zeros = precision > digits ? precision - digits : 0;
    // The octal "0" is already the first of the precision zeros.
    if (base == 8 && prefixLength == 1 && !left && zeros > 0)
        prefixLength = 0;
    int64_t remaining = (int64_t)width - digits - (sign ? 1 : 0) - prefixLength - zeros;
    if (remaining < 0)
        remaining = 0;
    if ((flags & kFlagZero) && !left && precision < 0) {
        zeros += remaining;
        remaining = 0;
    }
    const bool inBuffer = zeros <= 64;
    if (inBuffer) {
        p -= zeros;
        fillBytes(p, '0', (size_t)zeros);
    }
    if (prefixLength == 2)
        *--p = base == 16 ? table[33] : table[11]; // 'x' or 'b' in the table's case
    if (prefixLength != 0)
        *--p = '0';
    if (sign)
        *--p = sign;
    if (!left)
        sink.fill((C)' ', remaining);
    if (inBuffer) {
        sink.writeAscii(p, (size_t)(end - p));
    } else {
        sink.writeAscii(p, (size_t)(end - p - digits));
        sink.fill((C)'0', zeros);
        sink.writeAscii(end - digits, (size_t)digits);
    }
    if (left)
        sink.fill((C)' ', remaining);
}

// The common forms ("%d", "%5u", "%08x") go straight into a narrow
// destination when they fit: digits stored bytewise in a local buffer and
// copied on as words would stall the copy.
template <class C>
__attribute__((always_inline)) inline void formatInteger(PrintSink<C> &sink, uint64_t magnitude,
                                                         bool negative, uint32_t flags, int width,
                                                         int precision, int base)
{
    if constexpr (sizeof(C) == 1) {
        if ((flags & (kFlagLeft | kFlagPlus | kFlagSpace | kFlagAlt)) == 0 && precision < 0 &&
            width <= 64) {
            const int digits = digitCount(magnitude, base);
            int64_t padding = (int64_t)width - digits - (negative ? 1 : 0);
            if (padding < 0)
                padding = 0;
            const int64_t total = padding + (negative ? 1 : 0) + digits;
            if (total <= sink.limit - sink.cursor) {
                char *out = sink.cursor;
                if (flags & kFlagZero) {
                    if (negative)
                        *out++ = '-';
                    fillBytes(out, '0', (size_t)padding);
                    out += padding;
                } else {
                    fillBytes(out, ' ', (size_t)padding);
                    out += padding;
                    if (negative)
                        *out++ = '-';
                }
                integerDigits(out + digits, magnitude, base,
                              (flags & kFlagUpper) ? kDigitsUpper : kDigitsLower);
                sink.cursor = out + digits;
                sink.produced += total;
                return;
            }
        }
    }
    formatIntegerField(sink, magnitude, negative, flags, width, precision, base);
}

} // namespace

// ---------------------------------------------------------------- pass 2
namespace {

template <class C> void pad(PrintSink<C> &sink, int64_t n)
{
    sink.fill((C)' ', n);
}

template <class C> void formatCharacter(PrintSink<C> &sink, uint32_t code, uint32_t flags, int width)
{
    const bool left = (flags & kFlagLeft) != 0;
    if (!left)
        pad(sink, (int64_t)width - 1);
    if constexpr (sizeof(C) == 1) {
        if (code < 0x80) {
            sink.put((char)code);
        } else {
            char bytes[8];
            int n = kuUnicode_WriteUTF8Char(bytes, sizeof bytes, code);
            for (int i = 0; i < n; i++)
                sink.put(bytes[i]);
        }
    } else {
        sink.put((C)code);
    }
    if (left)
        pad(sink, (int64_t)width - 1);
}

// How much of a UTF-8 argument a conversion writes: whole characters within
// the precision (counted in bytes, or in characters for the wide family).
struct Extent {
    size_t bytes;
    size_t characters;
};

// Length of the ASCII run at the start of n bytes.
inline size_t asciiPrefix(const unsigned char *u, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t v;
        memcpy(&v, u + i, 8);
        if (v & kHighBits)
            break;
    }
    while (i < n && u[i] < 0x80)
        i++;
    return i;
}

bool measureUTF8(const char *text, int precision, bool precisionInCharacters, Extent &extent)
{
    const unsigned char *u = (const unsigned char *)text;
    const size_t limit = precision < 0 ? SIZE_MAX : (size_t)precision;
    // ASCII text (the usual case) is measured by the C library. strnlen reads
    // no further than the precision: the text need not be terminated.
    const size_t length = precision < 0 ? strlen(text) : strnlen(text, limit);
    size_t bytes = asciiPrefix(u, length), characters = bytes;
    if (bytes == length) {
        extent.bytes = extent.characters = bytes;
        return true;
    }
    for (;;) {
        if ((precisionInCharacters ? characters : bytes) >= limit)
            break;
        unsigned c = u[bytes];
        if (c == 0)
            break;
        if (c < 0x80) {
            bytes++;
            characters++;
            continue;
        }
        // Never read past the precision: the text need not be terminated.
        size_t available = (precision < 0 || precisionInCharacters) ? SIZE_MAX : limit - bytes;
        int n = kuUnicode_ReadUTF8Char(text + bytes, available, nullptr);
        if (n == -2 && available != SIZE_MAX)
            break; // the character would pass the precision
        if (n < 0)
            return false;
        bytes += (size_t)n;
        characters++;
    }
    extent.bytes = bytes;
    extent.characters = characters;
    return true;
}

inline int utf8Length(uint32_t code)
{
    return kuUnicode_UTF8CharLength(code & 0x7FFFFFFF);
}

template <class C> void writeUTF8Char(PrintSink<C> &sink, uint32_t code)
{
    code &= 0x7FFFFFFF;
    if (code < 0x80) {
        sink.put((C)code);
        return;
    }
    char bytes[8];
    int n = kuUnicode_WriteUTF8Char(bytes, sizeof bytes, code);
    for (int i = 0; i < n; i++)
        sink.put((C)bytes[i]);
}

// A UTF-8 string argument; false for an invalid sequence (nothing written).
template <class C>
bool formatUTF8String(PrintSink<C> &sink, const char *text, uint32_t flags, int width, int precision)
{
    Extent e;
    if (!measureUTF8(text, precision, sizeof(C) != 1, e))
        return false;
    const bool left = (flags & kFlagLeft) != 0;
    if constexpr (sizeof(C) == 1) {
        const int64_t padding = (int64_t)width - (int64_t)e.bytes;
        if (!left)
            pad(sink, padding);
        sink.write(text, e.bytes);
        if (left)
            pad(sink, padding);
    } else {
        const int64_t padding = (int64_t)width - (int64_t)e.characters;
        if (!left)
            pad(sink, padding);
        size_t at = 0;
        for (size_t i = 0; i < e.characters; i++) {
            uint32_t code = (unsigned char)text[at];
            if (code < 0x80)
                at++;
            else
                at += (size_t)kuUnicode_ReadUTF8Char(text + at, SIZE_MAX, &code);
            sink.put((C)code);
        }
        if (left)
            pad(sink, padding);
    }
    return true;
}

// A wide string argument.
template <class C>
void formatWideString(PrintSink<C> &sink, const wchar_t *text, uint32_t flags, int width, int precision)
{
    const bool left = (flags & kFlagLeft) != 0;
    const size_t limit = precision < 0 ? SIZE_MAX : (size_t)precision;
    size_t count = 0;
    if constexpr (sizeof(C) == 1) {
        size_t bytes = 0;
        while (text[count] != 0) {
            size_t n = (size_t)utf8Length((uint32_t)text[count]);
            if (n > limit - bytes)
                break;
            bytes += n;
            count++;
        }
        const int64_t padding = (int64_t)width - (int64_t)bytes;
        if (!left)
            pad(sink, padding);
        for (size_t i = 0; i < count; i++)
            writeUTF8Char(sink, (uint32_t)text[i]);
        if (left)
            pad(sink, padding);
    } else {
        while (count < limit && text[count] != 0)
            count++;
        const int64_t padding = (int64_t)width - (int64_t)count;
        if (!left)
            pad(sink, padding);
        sink.write(text, count);
        if (left)
            pad(sink, padding);
    }
}

template <class C> void storeCount(PrintSink<C> &sink, void *target, uint32_t flags)
{
    if (target == nullptr)
        return;
    int64_t n = sink.stored();
    if (flags & kFlagLenHH)
        *(signed char *)target = (signed char)n;
    else if (flags & kFlagLenH)
        *(short *)target = (short)n;
    else if (flags & (kFlagLenLL | kFlagLenJ))
        *(int64_t *)target = n;
    else if (flags & kFlagLenZ)
        *(size_t *)target = (size_t)n;
    else if (flags & kFlagLenT)
        *(ptrdiff_t *)target = (ptrdiff_t)n;
    else if (flags & kFlagLenL)
        *(long *)target = (long)n;
    else
        *(int *)target = (int)n;
}

} // namespace

namespace {

const char kNil[] = "(nil)";

inline int starValue(const Directives &d, int32_t pos)
{
    return (int)d.records[d.holder[pos]].value.i;
}

// Writes one conversion; false when a string argument is invalid UTF-8.
template <class C> bool convert(PrintSink<C> &sink, const Record &r, const Directives &d)
{
    uint32_t flags = r.flags;
    int width = r.width;
    int precision = r.precision;
    int base = r.base;
    if (flags & (kFlagWidthArg | kFlagPrecArg | kFlagBaseArg)) {
        if (flags & kFlagWidthArg) {
            width = starValue(d, r.width);
            if (width < 0) {
                flags = (flags | kFlagLeft) & ~kFlagZero;
                width = width == INT_MIN ? INT_MAX : -width;
            }
        }
        if (flags & kFlagPrecArg) {
            precision = starValue(d, r.precision);
            if (precision < 0)
                precision = -1;
        }
        if (flags & kFlagBaseArg) {
            base = starValue(d, r.base);
            if (base < 2 || base > 36)
                base = 10;
        }
    }

    switch (r.kind) {
    case kInteger: {
        const uint64_t mask = ~0ull >> (64 - argumentBits(flags));
        const int64_t v = r.value.i;
        if (flags & kFlagUnsigned)
            formatInteger(sink, (uint64_t)v & mask, false, flags & ~kFlagPlus, width, precision, base);
        else if (v < 0)
            formatInteger(sink, (0 - (uint64_t)v) & mask, true, flags, width, precision, base);
        else
            formatInteger(sink, (uint64_t)v & mask, false, flags, width, precision, base);
        return true;
    }
    case kFloating:
        formatFloat(sink, r.value.d, flags, width, precision, base);
        return true;
    case kCharacter:
        formatCharacter(sink, (uint32_t)r.value.i, flags, width);
        return true;
    case kString:
        if (r.value.p == nullptr)
            return formatUTF8String(sink, kNil, flags, 0, precision);
        if (flags & kFlagWide) {
            formatWideString(sink, (const wchar_t *)r.value.p, flags, width, precision);
            return true;
        }
        if constexpr (sizeof(C) == 1) {
            if (precision < 0 && width == 0) {
                // Plain "%s" of ASCII text (mostly short): a copy.
                const unsigned char *text = (const unsigned char *)r.value.p;
                size_t n = 0;
                while ((unsigned)(text[n] - 1) < 0x7F)
                    n++;
                if (text[n] == 0) {
                    sink.write((const char *)text, n);
                    return true;
                }
            }
        }
        return formatUTF8String(sink, (const char *)r.value.p, flags, width, precision);
    case kPointer:
        if (r.value.p == nullptr) {
            sink.writeAscii(kNil, sizeof kNil - 1);
            return true;
        }
        formatInteger(sink, (uint64_t)(uintptr_t)r.value.p, false,
                      (flags | kFlagAlt | kFlagZero | kFlagUnsigned) & ~kFlagPlus,
                      (int)(2 + 2 * sizeof(void *)), -1, 16);
        return true;
    case kCount:
        storeCount(sink, (void *)r.value.p, flags);
        return true;
    default:
        return true;
    }
}

// Literal text from..to, where every '%' is the first of a "%%".
template <class C> void writePercents(PrintSink<C> &sink, const C *from, const C *to);

template <class C>
__attribute__((always_inline)) inline void writeLiteral(PrintSink<C> &sink, const C *from, const C *to,
                                                        bool percents)
{
    if (!percents)
        sink.write(from, (size_t)(to - from));
    else
        writePercents(sink, from, to);
}

template <class C> void writePercents(PrintSink<C> &sink, const C *from, const C *to)
{
    while (from < to) {
        const C *q = from;
        while (q < to && *q != (C)'%')
            q++;
        if (q == to) {
            sink.write(from, (size_t)(to - from));
            return;
        }
        sink.write(from, (size_t)(q + 1 - from));
        from = q + 2;
    }
}

template <class C> int writeOutput(const C *format, const Directives &d, PrintSink<C> &sink)
{
    const C *p = format;
    for (int i = 0; i < d.recordCount; i++) {
        const Record &r = d.records[i];
        if (r.kind == kStar)
            continue;
        writeLiteral(sink, p, format + r.start, d.percentLiteral);
        if (!convert(sink, r, d))
            return kInvalidString;
        p = format + r.end;
    }
    writeLiteral(sink, p, format + d.formatEnd, d.percentLiteral);
    return 0;
}

template <class C> int prepare(const C *format, Directives &d, va_list *args)
{
    if (format == nullptr)
        return errorCode(0, kSyntaxError);
    return Parser<C>(format, d, args).run();
}

template <class C> int finish(const PrintSink<C> &sink, int rc)
{
    if (rc < 0)
        return rc;
    return sink.produced > INT_MAX ? kOverflow : (int)sink.produced;
}

// Room for size - 1 characters, kept inside the address space for callers
// that pass (size_t)-1 as "unlimited".
template <class C> size_t capacityOf(const C *buffer, size_t size)
{
    size_t capacity = size - 1;
    size_t room = (UINTPTR_MAX - (uintptr_t)buffer) / sizeof(C);
    if (room > PTRDIFF_MAX / sizeof(C))
        room = PTRDIFF_MAX / sizeof(C);
    return capacity < room ? capacity : room;
}

template <class C> int formatFixed(C *buffer, size_t size, const C *format, va_list *args)
{
    if (buffer == nullptr)
        size = 0;
    Directives d;
    int rc = prepare(format, d, args);
    if (rc < 0) {
        if (size != 0)
            buffer[0] = 0;
        return rc;
    }
    if (size == 0) {
        PrintSink<C> sink = PrintSink<C>::counter();
        return finish(sink, writeOutput(format, d, sink));
    }
    PrintSink<C> sink = PrintSink<C>::buffer(buffer, capacityOf(buffer, size));
    rc = writeOutput(format, d, sink);
    *sink.cursor = 0;
    return finish(sink, rc);
}

template <class C> C *formatAllocated(size_t *length, const C *format, va_list *args)
{
    if (length != nullptr)
        *length = 0;
    Directives d;
    if (prepare(format, d, args) < 0)
        return nullptr;
    PrintSink<C> counter = PrintSink<C>::counter();
    if (writeOutput(format, d, counter) < 0 || counter.produced > INT_MAX)
        return nullptr;
    const size_t count = (size_t)counter.produced;
    C *text = (C *)kuMalloc((count + 1) * sizeof(C));
    PrintSink<C> sink = PrintSink<C>::buffer(text, count);
    if (writeOutput(format, d, sink) < 0) {
        kuFree(text);
        return nullptr;
    }
    *sink.cursor = 0;
    if (length != nullptr)
        *length = (size_t)(sink.cursor - text);
    return text;
}

} // namespace

// ---------------------------------------------------------- entry points
// The engine reads arguments through a va_list pointer: the variadic forms
// pass their own va_list, the v forms a copy of the one they were given.

int ku_vsnprintf(char *buffer, size_t size, const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = formatFixed(buffer, size, format, &copy);
    va_end(copy);
    return n;
}

int ku_snprintf(char *buffer, size_t size, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = formatFixed(buffer, size, format, &args);
    va_end(args);
    return n;
}

char *ku_lvmnprintf(size_t *length, const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char *text = formatAllocated(length, format, &copy);
    va_end(copy);
    return text;
}

char *ku_vmnprintf(const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char *text = formatAllocated<char>(nullptr, format, &copy);
    va_end(copy);
    return text;
}

char *ku_mnprintf(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    char *text = formatAllocated<char>(nullptr, format, &args);
    va_end(args);
    return text;
}

char *ku_lmnprintf(size_t *length, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    char *text = formatAllocated(length, format, &args);
    va_end(args);
    return text;
}

int ku_vswprintf(wchar_t *buffer, size_t size, const wchar_t *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = formatFixed(buffer, size, format, &copy);
    va_end(copy);
    return n;
}

int ku_swprintf(wchar_t *buffer, size_t size, const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = formatFixed(buffer, size, format, &args);
    va_end(args);
    return n;
}

wchar_t *ku_lvmwprintf(size_t *length, const wchar_t *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    wchar_t *text = formatAllocated(length, format, &copy);
    va_end(copy);
    return text;
}

wchar_t *ku_vmwprintf(const wchar_t *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    wchar_t *text = formatAllocated<wchar_t>(nullptr, format, &copy);
    va_end(copy);
    return text;
}

wchar_t *ku_mwprintf(const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    wchar_t *text = formatAllocated<wchar_t>(nullptr, format, &args);
    va_end(args);
    return text;
}

wchar_t *ku_lmwprintf(size_t *length, const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    wchar_t *text = formatAllocated(length, format, &args);
    va_end(args);
    return text;
}

long _ku_to_long(const char *text, char **end, int base)
{
    return strtol(text, end, base);
}

long _ku_w_to_long(const wchar_t *text, wchar_t **end, int base)
{
    return wcstol(text, end, base);
}

char *_ku_error(int error)
{
    return strerror(error);
}

size_t _ku_length(const char *text)
{
    return strlen(text);
}
