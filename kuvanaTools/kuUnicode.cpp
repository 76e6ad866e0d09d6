// UTF-8 and wide character coders.
#include <kuvanaTools/kuUnicode.h>

#include <string.h>

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
    uint64_t w;
    __builtin_memcpy(&w, p, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    w = __builtin_bswap64(w);
#endif
    return w;
}

} // namespace

ptrdiff_t kuUnicode_UTF8ToWide(wchar_t *destination, const char *utf8, size_t size)
{
    const uint8_t *p = (const uint8_t *)utf8;
    size_t count = 0;
    // Knowing where the text ends (strlen is fast) lets ASCII runs go eight
    // bytes at a time without reading past the terminator.
    const uint8_t *end = p + strlen(utf8);
    if (destination == nullptr) {
        for (;;) {
            while (end - p >= 8 && !(loadWord(p) & kHighs)) {
                p += 8;
                count += 8;
            }
            uint8_t b = *p;
            if (b == 0)
                return (ptrdiff_t)count;
            uint32_t value;
            int used = b < 0x80 ? 1 : decode(p, &value);
            if (used < 0)
                return -1;
            p += used;
            count++;
        }
    }
    while (count < size) {
        uint8_t b = *p;
        if (b < 0x80) {
            if (b == 0) {
                destination[count] = L'\0';
                return (ptrdiff_t)count;
            }
            if (end - p >= 8 && size - count >= 8 && !(loadWord(p) & kHighs)) {
                for (int i = 0; i < 8; i++)
                    destination[count + i] = (wchar_t)p[i];
                count += 8;
                p += 8;
                continue;
            }
            destination[count++] = (wchar_t)b;
            p++;
            continue;
        }
        uint32_t value;
        int used = decode(p, &value);
        if (used < 0)
            return -1;
        destination[count++] = (wchar_t)value;
        p += used;
    }
    return (ptrdiff_t)count;
}

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
    for (; *wide != L'\0'; wide++) {
        uint32_t c = (uint32_t)*wide & 0x7FFFFFFF;
        size_t room = size - bytes;
        if (c < 0x80) {
            if (room < 1)
                break;
            out[bytes++] = (uint8_t)c;
        } else if (c < 0x800) {
            if (room < 2)
                break;
            out[bytes] = (uint8_t)(0xC0 | (c >> 6));
            out[bytes + 1] = (uint8_t)(0x80 | (c & 0x3F));
            bytes += 2;
        } else if (c < 0x10000) {
            if (room < 3)
                break;
            out[bytes] = (uint8_t)(0xE0 | (c >> 12));
            out[bytes + 1] = (uint8_t)(0x80 | ((c >> 6) & 0x3F));
            out[bytes + 2] = (uint8_t)(0x80 | (c & 0x3F));
            bytes += 3;
        } else {
            int length = utf8Length31(c);
            if (room < (size_t)length)
                break;
            encode(destination + bytes, c, length);
            bytes += (size_t)length;
        }
    }
    if (bytes < size)
        destination[bytes] = '\0';
    return bytes;
}
