// UTF-8 and wide character coders.
#include <kuvanaTools/kuUnicode.h>

#include <string.h>
#include <wchar.h>

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

// The general reader for what the fast paths leave: a zero-terminated text,
// where a zero byte fails the continuation test, so each byte is read only
// after the one before it proved not to be the terminator.
inline int decodeSlow(const uint8_t *p, uint32_t *value)
{
    return readMultiByte(p, (size_t)-1, value);
}

constexpr uint64_t kHighs = 0x8080808080808080ull;

inline uint32_t loadBE32(const uint8_t *p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// Per sequence length 1 to 4 (index 0 unused): the lead byte's payload
// bits, the smallest value not overlong, the continuation bytes' top two
// bits in a big-endian word of the sequence.
constexpr uint32_t kLeadBits[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
constexpr uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
constexpr uint32_t kContinuation[5] = {0, 0, 0x00C00000, 0x00C0C000, 0x00C0C0C0};

// Decodes the 1- to 4-byte sequence starting the four bytes at p (all before
// the terminator) without a branch per form; returns 0 where the general
// reader must decide (5- and 6-byte forms, invalid or overlong sequences).
inline int decodeFast(const uint8_t *p, uint32_t *value)
{
    uint32_t w = loadBE32(p);
    uint32_t ones = (uint32_t)__builtin_clz(~w | 1); // | 1: four 0xFF bytes count as 31
    uint32_t length = ones + (ones == 0);
    bool usable = ones != 1 && ones <= 4;
    length = usable ? length : 1;
    uint32_t v = ((w >> 24) & kLeadBits[length]) << 18 | ((w >> 16) & 0x3F) << 12 |
                 ((w >> 8) & 0x3F) << 6 | (w & 0x3F);
    v >>= 6 * (4 - length);
    bool ok = usable & (((w ^ 0x00808080) & kContinuation[length]) == 0) & (v >= kSmallest[length]);
    *value = v;
    return ok ? (int)length : 0;
}

// One character at p (before end, which is the terminator): its length, or
// -1 when invalid.
inline int decodeAt(const uint8_t *p, const uint8_t *end, uint32_t *value)
{
    if (end - p >= 4) {
        int used = decodeFast(p, value);
        if (used > 0)
            return used;
    } else if (p[0] < 0x80) {
        *value = p[0];
        return 1;
    }
    return decodeSlow(p, value);
}

// The eight bytes at p with p[0] in the low bits, on either byte order.
inline uint64_t loadLE64(const uint8_t *p)
{
    uint64_t w;
    __builtin_memcpy(&w, p, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    w = __builtin_bswap64(w);
#endif
    return w;
}

// Eight bytes that begin a run of characters of one length are decoded at
// once: four 2-byte, two 3-byte (six bytes) or two 4-byte characters, as a
// script's words are. Returns the characters decoded (stored when out is
// not null) in *characters and the bytes used, or 0 when the bytes are no
// such run.
inline int sameLengthRun(uint64_t w, wchar_t *out, int *characters)
{
    constexpr uint64_t kLanes16 = 0x7FFF7FFF7FFF7FFFull, kTops16 = 0x8000800080008000ull;
    if ((w & 0xC0E0C0E0C0E0C0E0ull) == 0x80C080C080C080C0ull &&
        (((w & 0x001E001E001E001Eull) + kLanes16) & kTops16) == kTops16) { // no C0, C1 leads
        if (out != nullptr)
            for (int k = 0; k < 4; k++)
                out[k] = (wchar_t)(((w >> (16 * k)) & 0x1F) << 6 | ((w >> (16 * k + 8)) & 0x3F));
        *characters = 4;
        return 8;
    }
    if ((w & 0x0000C0C0F0C0C0F0ull) == 0x00008080E08080E0ull) {
        uint32_t a = (uint32_t)(w & 0x0F) << 12 | (uint32_t)((w >> 8) & 0x3F) << 6 | (uint32_t)((w >> 16) & 0x3F);
        uint32_t b = (uint32_t)((w >> 24) & 0x0F) << 12 | (uint32_t)((w >> 32) & 0x3F) << 6 |
                     (uint32_t)((w >> 40) & 0x3F);
        if ((a < 0x800) | (b < 0x800))
            return 0;
        if (out != nullptr) {
            out[0] = (wchar_t)a;
            out[1] = (wchar_t)b;
        }
        *characters = 2;
        return 6;
    }
    if ((w & 0xC0C0C0F8C0C0C0F8ull) == 0x808080F0808080F0ull) {
        uint32_t a = (uint32_t)(w & 0x07) << 18 | (uint32_t)((w >> 8) & 0x3F) << 12 |
                     (uint32_t)((w >> 16) & 0x3F) << 6 | (uint32_t)((w >> 24) & 0x3F);
        uint32_t b = (uint32_t)((w >> 32) & 0x07) << 18 | (uint32_t)((w >> 40) & 0x3F) << 12 |
                     (uint32_t)((w >> 48) & 0x3F) << 6 | (uint32_t)((w >> 56) & 0x3F);
        if ((a < 0x10000) | (b < 0x10000))
            return 0;
        if (out != nullptr) {
            out[0] = (wchar_t)a;
            out[1] = (wchar_t)b;
        }
        *characters = 2;
        return 8;
    }
    return 0;
}

// Converts (or with kStore false only counts) from p, a character boundary.
// Blocks of eight bytes are taken whole when ASCII; otherwise each byte that
// is not a continuation byte starts a character, and those are decoded from
// a mask of their positions, independently of each other, so the work on one
// does not wait for the length of the one before. Anything unusual goes to
// the general reader, one character at a time.
template <bool kStore>
ptrdiff_t toWide(wchar_t *destination, const uint8_t *p, const uint8_t *end, size_t size)
{
    size_t count = 0;
    uint32_t value;
    for (;;) {
        while (end - p >= 12 && (!kStore || size - count >= 8)) {
            uint64_t w = loadLE64(p);
            if ((w & kHighs) == 0) {
                if (kStore)
                    for (int i = 0; i < 8; i++)
                        destination[count + i] = (wchar_t)p[i];
                p += 8;
                count += 8;
                continue;
            }
            int characters;
            if (int n = sameLengthRun(w, kStore ? destination + count : nullptr, &characters)) {
                p += n;
                count += (size_t)characters;
                continue;
            }
            // top bit of each byte that is not of the form 10xxxxxx
            uint64_t leads = ~(w & ~(w << 1)) & kHighs;
            const uint8_t *next = p; // where the next character must start
            bool unusual = false;
            do {
                const uint8_t *q = p + (__builtin_ctzll(leads) >> 3);
                leads &= leads - 1;
                int used = decodeFast(q, &value);
                if (used == 0 || q != next) {
                    unusual = true;
                    break;
                }
                if (kStore)
                    destination[count] = (wchar_t)value;
                count++;
                next = q + used;
            } while (leads != 0);
            p = next;
            if (unusual)
                break;
        }
        if (p == end || (kStore && count == size))
            break;
        int used = decodeAt(p, end, &value);
        if (used < 0)
            return -1;
        if (kStore)
            destination[count] = (wchar_t)value;
        count++;
        p += used;
    }
    if (kStore && count < size)
        destination[count] = L'\0';
    return (ptrdiff_t)count;
}

} // namespace

ptrdiff_t kuUnicode_UTF8ToWide(wchar_t *destination, const char *utf8, size_t size)
{
    const uint8_t *p = (const uint8_t *)utf8;
    // Knowing where the text ends (strlen is fast) lets the blocks be read
    // without reading past the terminator.
    const uint8_t *end = p + strlen(utf8);
    if (destination == nullptr)
        return toWide<false>(nullptr, p, end, 0);
    return toWide<true>(destination, p, end, size);
}

namespace {

// Per sequence length 1 to 4: the marks of a big-endian word of the sequence.
constexpr uint32_t kMarks[5] = {0, 0, 0xC0800000, 0xE0808000, 0xF0808080};

inline uint32_t lengthOf4(uint32_t c)
{
    return 1 + (c >= 0x80) + (c >= 0x800) + (c >= 0x10000);
}

// The sequence of c (below 0x200000, length L) as a big-endian word, its
// first byte in the top bits and zero bytes after it.
inline uint32_t sequenceWord(uint32_t c, uint32_t length)
{
    uint32_t spread = (c >> 18) << 24 | ((c >> 12) & 0x3F) << 16 | ((c >> 6) & 0x3F) << 8 | (c & 0x3F);
    uint32_t multi = (spread << (8 * (4 - length))) | kMarks[length];
    return length == 1 ? c << 24 : multi;
}

// Stores all four bytes of the word in sequence order.
inline void store4(uint8_t *out, uint32_t word)
{
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    word = __builtin_bswap32(word);
#endif
    __builtin_memcpy(out, &word, 4);
}

} // namespace

size_t kuUnicode_WideToUTF8(char *destination, const wchar_t *wide, size_t size)
{
    size_t bytes = 0;
    if (destination == nullptr) {
        for (; *wide != L'\0'; wide++) {
            uint32_t c = (uint32_t)*wide & 0x7FFFFFFF;
            bytes += c < 0x200000 ? lengthOf4(c) : (size_t)utf8Length31(c);
        }
        return bytes;
    }
    uint8_t *out = (uint8_t *)destination;
    // Knowing the end lets the loop look ahead without passing the terminator.
    const wchar_t *end = wide + wcslen(wide);
    while (wide < end) {
        size_t room = size - bytes;
        if (end - wide >= 4 && room >= 4) {
            // four ASCII characters at once
            if (((uint32_t)wide[0] | (uint32_t)wide[1] | (uint32_t)wide[2] | (uint32_t)wide[3]) < 0x80) {
                for (int k = 0; k < 4; k++)
                    out[bytes + k] = (uint8_t)wide[k];
                bytes += 4;
                wide += 4;
                continue;
            }
        }
        uint32_t c = (uint32_t)*wide & 0x7FFFFFFF;
        // Four bytes are stored whatever the length; the spare ones are
        // overwritten by the next character, which surely follows and fits
        // (six bytes at most), so nothing past the result is touched.
        if (c < 0x200000 && end - wide >= 2 && room >= 10) {
            uint32_t length = lengthOf4(c);
            store4(out + bytes, sequenceWord(c, length));
            bytes += length;
            wide++;
            continue;
        }
        int length = utf8Length31(c);
        if (room < (size_t)length)
            break;
        encode(destination + bytes, c, length);
        bytes += (size_t)length;
        wide++;
    }
    if (bytes < size)
        destination[bytes] = '\0';
    return bytes;
}
