// UTF-8 and wide character coders.
#include <kuvanaTools/kuUnicode.h>

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

ptrdiff_t kuUnicode_UTF8ToWide(wchar_t *destination, const char *utf8, size_t size)
{
    const uint8_t *p = (const uint8_t *)utf8;
    size_t count = 0;
    if (destination == nullptr) {
        for (;;) {
            uint8_t b = *p;
            if (b == 0)
                return (ptrdiff_t)count;
            if (b < 0x80) {
                p++;
            } else {
                uint32_t value;
                int used = readMultiByte(p, (size_t)-1, &value);
                if (used < 0)
                    return -1;
                p += used;
            }
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
            destination[count++] = (wchar_t)b;
            p++;
            continue;
        }
        uint32_t value;
        int used = readMultiByte(p, (size_t)-1, &value);
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
            bytes += c < 0x80 ? 1 : (size_t)utf8Length31(c);
        }
        return bytes;
    }
    for (; *wide != L'\0'; wide++) {
        uint32_t c = (uint32_t)*wide & 0x7FFFFFFF;
        if (c < 0x80) {
            if (bytes + 1 > size)
                break;
            destination[bytes++] = (char)c;
            continue;
        }
        int length = utf8Length31(c);
        if (bytes + (size_t)length > size)
            break;
        encode(destination + bytes, c, length);
        bytes += (size_t)length;
    }
    if (bytes < size)
        destination[bytes] = '\0';
    return bytes;
}
