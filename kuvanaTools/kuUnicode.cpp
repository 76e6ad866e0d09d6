// UTF-8 and wide character coders.
#include <kuvanaTools/kuUnicode.h>
#include <kuvanaTools/private/kuBytes.h>

#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Largest value of a sequence with n continuation bytes; a sequence with n
// continuation bytes must exceed entry n - 1.
constexpr uint32_t kLimits[7] = {0x7F,      0x7FF,      0xFFFF,    0x1FFFFF,
                                 0x3FFFFFF, 0x7FFFFFFF, 0xFFFFFFFF};
constexpr uint8_t kFirstByteMark[7] = {0x00, 0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};

inline int leadingOnes(uint8_t byte)
{
    int n = 0;
    while (n < 8 && (byte & (0x80u >> n)))
        n++;
    return n;
}

// Decodes a multi-byte sequence whose first byte is at text[0] (>= 0x80).
// Same results as kuUnicode_ReadUTF8Char.
inline int readMultiByte(const uint8_t *text, size_t available, uint32_t *value)
{
    int n = leadingOnes(text[0]) - 1;
    if (n == 0)
        return -1;
    uint32_t v = text[0] & (0xFFu >> (n + 2));
    for (int i = 1; i <= n; i++) {
        if ((size_t)i >= available)
            return -2;
        uint8_t b = text[i];
        if ((b & 0xC0) != 0x80)
            return -1;
        v = (v << 6) | (b & 0x3F);
    }
    if (v <= kLimits[n - 1])
        return -1;
    *value = v;
    return n + 1;
}

inline int utf8Length31(uint32_t c)
{
    c &= 0x7FFFFFFF;
    int length = 1;
    while (c > kLimits[length - 1])
        length++;
    return length;
}

// Writes the sequence of c (low 31 bits, length L known) to out.
inline void encode(char *out, uint32_t c, int length)
{
    c &= 0x7FFFFFFF;
    if (length == 1) {
        out[0] = (char)c;
        return;
    }
    for (int i = length - 1; i > 0; i--) {
        out[i] = (char)(0x80 | (c & 0x3F));
        c >>= 6;
    }
    out[0] = (char)(kFirstByteMark[length] | c);
}

} // namespace

int kuUnicode_ReadUTF8Char(const char *text, size_t available, uint32_t *codePoint)
{
    if (available == 0)
        return 0;
    const uint8_t *p = (const uint8_t *)text;
    uint32_t value;
    int used;
    if (p[0] < 0x80) {
        value = p[0];
        used = 1;
    } else {
        used = readMultiByte(p, available, &value);
        if (used < 0)
            return used;
    }
    if (codePoint != nullptr)
        *codePoint = value;
    return used;
}

int kuUnicode_WriteUTF8Char(char *buffer, size_t size, uint32_t codePoint)
{
    codePoint &= 0x7FFFFFFF;
    if (codePoint < 0x80) {
        if (buffer != nullptr && size >= 1)
            buffer[0] = (char)codePoint;
        return 1;
    }
    int length = utf8Length31(codePoint);
    if (buffer != nullptr && size > (size_t)length)
        encode(buffer, codePoint, length);
    return length;
}

int kuUnicode_UTF8CharLength(uint32_t codePoint)
{
    int length = 1;
    while (length < 7 && codePoint > kLimits[length - 1])
        length++;
    return length;
}

int kuUnicode_ReadWideChar(const wchar_t *text, size_t available, uint32_t *codePoint)
{
    if (available == 0)
        return 0;
    if (codePoint != nullptr)
        *codePoint = (uint32_t)text[0];
    return 1;
}

int kuUnicode_WriteWideChar(wchar_t *buffer, size_t size, uint32_t codePoint)
{
    if (buffer != nullptr && size != 0)
        buffer[0] = (wchar_t)codePoint;
    return 1;
}

int kuUnicode_WideCharLength(uint32_t codePoint)
{
    (void)codePoint;
    return 1;
}

namespace {

// Decodes the common 2- and 3-byte forms inline and falls back to the
// general reader for the rest. The text is zero-terminated and a zero byte
// fails the continuation test, so each byte is read only after the one
// before it proved not to be the terminator.
inline int decode(const uint8_t *p, uint32_t *value)
{
    uint8_t b = p[0];
    if (b >= 0xC2 && b <= 0xDF) {
        if ((p[1] & 0xC0) != 0x80)
            return -1;
        *value = ((uint32_t)(b & 0x1F) << 6) | (p[1] & 0x3F);
        return 2;
    }
    if (b >= 0xE0 && b <= 0xEF) {
        if ((p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80)
            return -1;
        uint32_t v = ((uint32_t)(b & 0x0F) << 12) | ((uint32_t)(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        if (v <= 0x7FF)
            return -1;
        *value = v;
        return 3;
    }
    return readMultiByte(p, (size_t)-1, value);
}

constexpr uint64_t kHighs = 0x8080808080808080ull;

// The eight bytes at p with p[0] in the low bits.
inline uint64_t loadWord(const uint8_t *p)
{
    return ku::loadLE64(p);
}

inline bool isContinuation(uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// Characters in the 64 bytes at p: the bytes that are not 10xxxxxx.
inline size_t countCharacters64(const uint8_t *p)
{
#if defined(__SSE2__)
    // each lane counts down once per continuation byte (signed < -64)
    const __m128i limit = _mm_set1_epi8(-64);
    __m128i c = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 16)
        c = _mm_add_epi8(c, _mm_cmplt_epi8(_mm_loadu_si128((const __m128i *)(p + i)), limit));
    __m128i sums = _mm_sad_epu8(_mm_sub_epi8(_mm_setzero_si128(), c), _mm_setzero_si128());
    size_t continuations = (size_t)_mm_cvtsi128_si32(sums) + (size_t)_mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
#else
    size_t continuations = 0;
    for (int i = 0; i < 64; i += 8) {
        uint64_t w = loadWord(p + i);
        uint64_t tops = (w & ~(w << 1) & kHighs) >> 7;
        continuations += (size_t)((tops * 0x0101010101010101ull) >> 56);
    }
#endif
    return 64 - continuations;
}

// Stores the 64 ASCII bytes at p as wide characters.
inline void widen64(wchar_t *out, const uint8_t *p)
{
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 16) {
        __m128i v = _mm_loadu_si128((const __m128i *)(p + i));
        __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
        _mm_storeu_si128((__m128i *)(out + i), _mm_unpacklo_epi16(lo, zero));
        _mm_storeu_si128((__m128i *)(out + i + 4), _mm_unpackhi_epi16(lo, zero));
        _mm_storeu_si128((__m128i *)(out + i + 8), _mm_unpacklo_epi16(hi, zero));
        _mm_storeu_si128((__m128i *)(out + i + 12), _mm_unpackhi_epi16(hi, zero));
    }
#else
    for (int i = 0; i < 64; i++)
        out[i] = (wchar_t)p[i];
#endif
}

// Per first byte of a sequence of one to four bytes: its length, the mask
// that keeps the payload bits of the sequence read as a big-endian word
// ending at its last byte, and the least value of that length. Bytes that
// cannot start such a sequence (10xxxxxx, 11111xxx) get a least value no
// character reaches, so a character read from them always fails.
struct FastForms {
    uint32_t mask[256];
    uint32_t minimum[256];
    uint8_t length[256];
    constexpr FastForms() : mask(), minimum(), length()
    {
        for (int b = 0; b < 256; b++) {
            int n = b < 0x80 ? 1 : b < 0xC0 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : 0;
            constexpr uint32_t kMasks[5] = {0, 0x7F, 0x1F3F, 0x0F3F3F, 0x073F3F3F};
            constexpr uint32_t kLeast[5] = {0x80000000, 0, 0x80, 0x800, 0x10000};
            mask[b] = kMasks[n];
            minimum[b] = kLeast[n];
            length[b] = (uint8_t)(n == 0 ? 1 : n);
        }
    }
};
constexpr FastForms kFast;

// Reads the character at p without looking at its continuation bytes and
// moves p past it. A wrong sequence either gives a value below the least one
// (noted in low's top bit) or takes more or fewer first bytes than it should,
// which the caller sees from where the reading ends.
inline uint32_t readFast(const uint8_t *&p, uint32_t &low)
{
    uint32_t b = p[0];
    uint32_t n = kFast.length[b];
    uint32_t y = ku::loadBE32(p + n - 4) & kFast.mask[b];
    // squeeze the 6-bit groups together: pairs first, then the two halves
    y = ((y & 0x3F003F00u) >> 2) | (y & 0x007F007Fu);
    y = ((y & 0x0FFF0000u) >> 4) | (y & 0x00000FFFu);
    low |= y - kFast.minimum[b];
    p += n;
    return y;
}

// Segments of text go as four runs of equal character counts read side by
// side: a character's length is known only after its first byte is read, so
// one run alone waits on memory at every character.
constexpr size_t kSegmentMax = 16384;
constexpr size_t kSegmentMin = 256;
constexpr size_t kLookAhead = 2 * kSegmentMax + 8 + 64;

// Decodes [p, p + span) extended to the next character start; returns the
// characters stored (to out when kStore), or -1 when the segment holds
// anything the fast reading does not take (a bad sequence, or a 5- or 6-byte
// form), leaving the exact path to decide. *segmentEnd is set either way.
// The text holds at least 2 * span + 8 more bytes before its terminator, as
// far as a run may read even when the bytes are wrong, and three before p.
template <bool kStore>
ptrdiff_t readSegment(wchar_t *out, const uint8_t *p, size_t span, const uint8_t **segmentEnd)
{
    const uint8_t *end = p + span;
    for (int k = 0; k < 3 && isContinuation(*end); k++)
        end++;
    *segmentEnd = end;
    if (isContinuation(*p) || isContinuation(*end))
        return -1;
    uint16_t counts[kSegmentMax / 64];
    size_t blocks = span / 64, n = 0;
    for (size_t i = 0; i < blocks; i++) {
        counts[i] = (uint16_t)countCharacters64(p + 64 * i);
        n += counts[i];
    }
    for (const uint8_t *b = p + 64 * blocks; b < end; b++)
        n += !isContinuation(*b);
    // runs start at characters 0, each, 2 * each and 3 * each
    size_t each = n / 4;
    const uint8_t *starts[5] = {p, nullptr, nullptr, nullptr, end};
    size_t block = 0, before = 0;
    for (int r = 1; r < 4; r++) {
        size_t wanted = each * (size_t)r;
        while (block < blocks && before + counts[block] <= wanted)
            before += counts[block++];
        const uint8_t *b = p + 64 * block;
        for (size_t seen = before;; b++) {
            if (isContinuation(*b))
                continue;
            if (seen == wanted)
                break;
            seen++;
        }
        starts[r] = b;
    }
    const uint8_t *r0 = starts[0], *r1 = starts[1], *r2 = starts[2], *r3 = starts[3];
    uint32_t low = 0;
    wchar_t *o0 = out, *o1 = kStore ? out + each : out, *o2 = kStore ? o1 + each : out, *o3 = kStore ? o2 + each : out;
    for (size_t j = 0; j < each; j++) {
        uint32_t v0 = readFast(r0, low);
        uint32_t v1 = readFast(r1, low);
        uint32_t v2 = readFast(r2, low);
        uint32_t v3 = readFast(r3, low);
        if (kStore) {
            *o0++ = (wchar_t)v0;
            *o1++ = (wchar_t)v1;
            *o2++ = (wchar_t)v2;
            *o3++ = (wchar_t)v3;
        }
    }
    for (size_t j = 4 * each; j < n; j++) {
        uint32_t v = readFast(r3, low);
        if (kStore)
            out[j] = (wchar_t)v;
    }
    // each run took exactly one first byte per character only if it ends
    // where the next begins
    bool exact = r0 == starts[1] && r1 == starts[2] && r2 == starts[3] && r3 == starts[4];
    return exact && !(low >> 31) ? (ptrdiff_t)n : -1;
}

template <bool kStore>
ptrdiff_t toWide(wchar_t *destination, const uint8_t *p, size_t size)
{
    size_t count = 0;
    // The fast paths read ahead, so the text is measured ahead of them (a
    // piece at a time, which it then decodes from the cache).
    const uint8_t *begin = p, *known = p;
    bool ended = false;
    for (;;) {
        while (!ended && (size_t)(known - p) < kLookAhead) {
            size_t n = strnlen((const char *)known, kLookAhead);
            known += n;
            ended = n < kLookAhead;
        }
        size_t left = (size_t)(known - p);
        size_t room = kStore ? size - count : (size_t)-1;
        // without a fast path: to the terminator, or as far as measured
        const uint8_t *stop = ended ? nullptr : known;
        if (left >= 72 && room >= 64) {
            uint64_t any = 0;
            for (int i = 0; i < 64; i += 8)
                any |= loadWord(p + i);
            if (!(any & kHighs)) {
                if (kStore)
                    widen64(destination + count, p);
                p += 64;
                count += 64;
                continue;
            }
        }
        size_t span = left >= 2 * kSegmentMax + 8 ? kSegmentMax : left < 8 ? 0 : ((left - 8) / 2) & ~(size_t)63;
        if (span >= kSegmentMin && room >= span + 3 && p - begin < 3) {
            // a character is read from up to three bytes before it
            stop = begin + 3;
        } else if (span >= kSegmentMin && room >= span + 3) {
            const uint8_t *segmentEnd;
            ptrdiff_t n = readSegment<kStore>(kStore ? destination + count : nullptr, p, span, &segmentEnd);
            if (n >= 0) {
                p = segmentEnd;
                count += (size_t)n;
                continue;
            }
            stop = segmentEnd;
        }
        // One character at a time up to stop, or to the terminator.
        while (stop == nullptr || p < stop) {
            if (kStore && count == size)
                return (ptrdiff_t)count;
            uint8_t b = *p;
            if (b == 0) {
                if (kStore)
                    destination[count] = L'\0';
                return (ptrdiff_t)count;
            }
            if (b < 0x80) {
                if (known - p >= 8 && (!kStore || size - count >= 8) && !(loadWord(p) & kHighs)) {
                    if (kStore) {
                        for (int i = 0; i < 8; i++)
                            destination[count + i] = (wchar_t)p[i];
                    }
                    count += 8;
                    p += 8;
                    continue;
                }
                if (kStore)
                    destination[count] = (wchar_t)b;
                count++;
                p++;
                continue;
            }
            uint32_t value;
            int used = decode(p, &value);
            if (used < 0)
                return -1;
            if (kStore)
                destination[count] = (wchar_t)value;
            count++;
            p += used;
        }
    }
}

} // namespace

ptrdiff_t kuUnicode_UTF8ToWide(wchar_t *destination, const char *utf8, size_t size)
{
    const uint8_t *p = (const uint8_t *)utf8;
    return destination == nullptr ? toWide<false>(nullptr, p, 0) : toWide<true>(destination, p, size);
}

namespace {

// The sequence of c (1 to 0x1FFFFF) as a word whose low byte is its first,
// and its length in *length.
inline uint32_t sequenceWord(uint32_t c, size_t *length)
{
    // by the index of the highest bit set
    constexpr uint8_t kLength[21] = {1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4};
    constexpr uint32_t kMarks[5] = {0, 0, 0x80C0, 0x8080E0, 0x808080F0};
    size_t n = kLength[31 - __builtin_clz(c)];
    *length = n;
    if (n == 1)
        return c;
    // the 4-byte form's bytes, first byte lowest; shorter forms drop the first ones
    uint32_t s = (c >> 18) | ((c >> 4) & 0x3F00) | ((c << 10) & 0x3F0000) | ((c << 24) & 0x3F000000);
    return (s >> (8 * (4 - n))) | kMarks[n];
}

#if defined(__SSE2__)
// Four characters from a 16-byte aligned address. Such a group never
// crosses a page, so the characters past a terminator inside it can be read
// (and are never used); the sanitizers are told so.
__attribute__((no_sanitize("address", "thread"))) inline __m128i loadGroup(const wchar_t *wide)
{
    return _mm_load_si128((const __m128i *)wide);
}

// Stores the sequences of four characters (each 1 to 0x1FFFFF) one after
// another at out, which has room for 16 bytes; returns the bytes used.
inline size_t encodeGroup(uint8_t *out, __m128i c)
{
    __m128i two = _mm_cmpgt_epi32(c, _mm_set1_epi32(0x7F));
    __m128i three = _mm_cmpgt_epi32(c, _mm_set1_epi32(0x7FF));
    __m128i four = _mm_cmpgt_epi32(c, _mm_set1_epi32(0xFFFF));
    // the 4-byte forms, first byte lowest
    __m128i high = _mm_or_si128(_mm_srli_epi32(c, 18), _mm_and_si128(_mm_srli_epi32(c, 4), _mm_set1_epi32(0x3F00)));
    __m128i low = _mm_or_si128(_mm_and_si128(_mm_slli_epi32(c, 10), _mm_set1_epi32(0x3F0000)),
                               _mm_and_si128(_mm_slli_epi32(c, 24), _mm_set1_epi32(0x3F000000)));
    __m128i s4 = _mm_or_si128(_mm_or_si128(high, low), _mm_set1_epi32((int)0x808080F0));
    // shorter forms drop the first bytes; their first byte gets its own mark
    __m128i s3 = _mm_xor_si128(_mm_srli_epi32(s4, 8), _mm_set1_epi32(0xE0 ^ 0x80));
    __m128i s2 = _mm_xor_si128(_mm_srli_epi32(s4, 16), _mm_set1_epi32(0xC0 ^ 0x80));
    __m128i w = _mm_or_si128(_mm_andnot_si128(two, c), _mm_and_si128(_mm_andnot_si128(three, two), s2));
    w = _mm_or_si128(w, _mm_or_si128(_mm_and_si128(_mm_andnot_si128(four, three), s3), _mm_and_si128(four, s4)));
    // the lengths as four bytes; times 0x01010101 gives their running sums
    __m128i n = _mm_sub_epi32(_mm_sub_epi32(_mm_sub_epi32(_mm_set1_epi32(1), two), three), four);
    n = _mm_packs_epi32(n, n);
    uint32_t sums = (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(n, n)) * 0x01010101u;
    ku::storeLE32(out, (uint32_t)_mm_cvtsi128_si32(w));
    ku::storeLE32(out + (sums & 0xFF), (uint32_t)_mm_cvtsi128_si32(_mm_shuffle_epi32(w, 1)));
    ku::storeLE32(out + ((sums >> 8) & 0xFF), (uint32_t)_mm_cvtsi128_si32(_mm_shuffle_epi32(w, 2)));
    ku::storeLE32(out + ((sums >> 16) & 0xFF), (uint32_t)_mm_cvtsi128_si32(_mm_shuffle_epi32(w, 3)));
    return sums >> 24;
}
#endif

} // namespace

size_t kuUnicode_WideToUTF8(char *destination, const wchar_t *wide, size_t size)
{
    size_t bytes = 0;
    if (destination == nullptr) {
        for (; *wide != L'\0'; wide++) {
            uint32_t c = (uint32_t)*wide & 0x7FFFFFFF;
            bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : (size_t)utf8Length31(c);
        }
        return bytes;
    }
    uint8_t *out = (uint8_t *)destination;
    for (;;) {
#if defined(__SSE2__)
        // Aligned groups of four: ASCII packed, the rest side by side.
        if (((uintptr_t)wide & 15) == 0) {
            __m128i c = loadGroup(wide);
            while (size - bytes >= 32) {
                // c - 1 + 2^31, compared signed: below 2^31 + 0x7F only for 1..0x7F
                __m128i shifted = _mm_add_epi32(c, _mm_set1_epi32(0x7FFFFFFF));
                bool ascii = _mm_movemask_epi8(_mm_cmplt_epi32(shifted, _mm_set1_epi32((int)0x8000007F))) == 0xFFFF;
                if (!ascii && _mm_movemask_epi8(_mm_cmplt_epi32(shifted, _mm_set1_epi32((int)0x801FFFFF))) != 0xFFFF)
                    break; // a terminator, or a value of five bytes or more
                // The stores leave zeros after a group's last sequence; the
                // next two characters and a third or the terminator cover them.
                __m128i next = loadGroup(wide + 4);
                if (_mm_movemask_epi8(_mm_cmpeq_epi32(next, _mm_setzero_si128())) & 0xFF)
                    break;
                if (ascii) {
                    __m128i b = _mm_packs_epi32(c, c);
                    ku::storeLE32(out + bytes, (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(b, b)));
                    bytes += 4;
                } else {
                    bytes += encodeGroup(out + bytes, c);
                }
                wide += 4;
                c = next;
            }
        }
#endif
        uint32_t c = (uint32_t)*wide;
        if (c == 0)
            break;
        c &= 0x7FFFFFFF;
        size_t room = size - bytes;
        // The word's zeros after the sequence are covered the same way.
        if (c < 0x200000 && room >= 32 && wide[1] != 0 && wide[2] != 0) {
            size_t n;
            ku::storeLE32(out + bytes, sequenceWord(c, &n));
            bytes += n;
        } else {
            int length = utf8Length31(c);
            if (room < (size_t)length)
                break;
            encode(destination + bytes, c, length);
            bytes += (size_t)length;
        }
        wide++;
    }
    if (bytes < size)
        destination[bytes] = '\0';
    return bytes;
}
