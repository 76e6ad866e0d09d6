// The output sink and directive flags shared by the formatting engine
// (kuPrintf.cpp) and the floating conversions (kuFloat.cpp).
#ifndef KUVANATOOLS_PRIVATE_KUPRINTFINTERNAL_H
#define KUVANATOOLS_PRIVATE_KUPRINTFINTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <wchar.h>

namespace ku {

// Flags of one directive.
enum : uint32_t {
    kFlagLeft = 1u << 0,
    kFlagPlus = 1u << 1,
    kFlagSpace = 1u << 2,
    kFlagAlt = 1u << 3,
    kFlagZero = 1u << 4,
    kFlagUpper = 1u << 5,
    kFlagUnsigned = 1u << 6,
    kFlagWidthGiven = 1u << 7,
    kFlagWidthArg = 1u << 8,
    kFlagPrecGiven = 1u << 9,
    kFlagPrecArg = 1u << 10,
    kFlagBaseGiven = 1u << 11,
    kFlagBaseArg = 1u << 12,
    kFlagWide = 1u << 13,
    kFlagExpStyle = 1u << 14,
    kFlagGeneral = 1u << 15,
    kFlagLenH = 1u << 16,
    kFlagLenHH = 1u << 17,
    kFlagLenL = 1u << 18,
    kFlagLenLL = 1u << 19,
    kFlagLenBigL = 1u << 20,
    kFlagLenJ = 1u << 21,
    kFlagLenZ = 1u << 22,
    kFlagLenT = 1u << 23,
};

// Copies short runs without a call (fixed-size memcpy is inlined); the
// compiler would turn a plain loop back into a memcpy call.
inline void copyBytes(void *to, const void *from, size_t n)
{
    unsigned char *d = (unsigned char *)to;
    const unsigned char *s = (const unsigned char *)from;
    if (n > 16) {
        memcpy(d, s, n);
    } else if (n >= 8) {
        uint64_t a, b;
        memcpy(&a, s, 8);
        memcpy(&b, s + n - 8, 8);
        memcpy(d, &a, 8);
        memcpy(d + n - 8, &b, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        memcpy(&a, s, 4);
        memcpy(&b, s + n - 4, 4);
        memcpy(d, &a, 4);
        memcpy(d + n - 4, &b, 4);
    } else if (n > 0) {
        d[0] = s[0];
        d[n / 2] = s[n / 2];
        d[n - 1] = s[n - 1];
    }
}

inline void fillBytes(char *to, char c, size_t n)
{
    if (n > 16) {
        memset(to, c, n);
    } else if (n >= 8) {
        uint64_t pattern = 0x0101010101010101ull * (unsigned char)c;
        memcpy(to, &pattern, 8);
        memcpy(to + n - 8, &pattern, 8);
    } else if (n >= 4) {
        uint32_t pattern = 0x01010101u * (unsigned char)c;
        memcpy(to, &pattern, 4);
        memcpy(to + n - 4, &pattern, 4);
    } else if (n > 0) {
        to[0] = c;
        to[n / 2] = c;
        to[n - 1] = c;
    }
}

// Where the characters go. A buffer sink stores while there is room and
// counts everything offered; a counting sink (no room at all) only counts.
// produced may exceed INT_MAX; the entry points turn that into an error.
template <class C> struct PrintSink {
    C *cursor;
    C *limit;
    C *begin;
    int64_t produced;
    bool counting;

    static PrintSink buffer(C *destination, size_t capacity)
    {
        return PrintSink{destination, destination + capacity, destination, 0, false};
    }
    static PrintSink counter() { return PrintSink{nullptr, nullptr, nullptr, 0, true}; }

    // Characters stored so far (for a counting sink: counted so far).
    int64_t stored() const { return counting ? produced : cursor - begin; }

    void put(C c)
    {
        if (cursor != limit)
            *cursor++ = c;
        produced++;
    }

    void write(const C *text, size_t n)
    {
        produced += (int64_t)n;
        size_t room = (size_t)(limit - cursor);
        if (n > room)
            n = room;
        copyBytes(cursor, text, n * sizeof(C));
        cursor += n;
    }

    // ASCII text (digits, signs, words) into either family.
    void writeAscii(const char *text, size_t n)
    {
        if constexpr (sizeof(C) == 1) {
            write(text, n);
        } else {
            produced += (int64_t)n;
            size_t room = (size_t)(limit - cursor);
            if (n > room)
                n = room;
            for (size_t i = 0; i < n; i++)
                cursor[i] = (C)(unsigned char)text[i];
            cursor += n;
        }
    }

    void fill(C c, int64_t n)
    {
        if (n <= 0)
            return;
        produced += n;
        size_t room = (size_t)(limit - cursor);
        size_t count = (uint64_t)n < room ? (size_t)n : room;
        if constexpr (sizeof(C) == 1)
            fillBytes(cursor, c, count);
        else if (count != 0)
            wmemset(cursor, c, count);
        cursor += count;
    }
};

// Writes a floating conversion of v: flags as above, width (0 for none),
// precision (negative for none) and base (2 to 36).
template <class C>
void formatFloat(PrintSink<C> &sink, double v, uint32_t flags, int width, int precision, int base);

} // namespace ku

#endif
