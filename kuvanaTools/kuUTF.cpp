// Modified UTF-8, ISO-8859-1 and UTF-16 converters.
#include <kuvanaTools/kuUTF.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuBytes.h>

#include <string.h>

namespace {

// Bytes of a UTF-8 sequence by its first byte: 1 to 4, or 0 for a
// continuation byte or a first byte of a 5- or 6-byte form.
inline int sequenceLength(uint8_t b)
{
    if (b < 0x80)
        return 1;
    if (b < 0xC0)
        return 0;
    if (b < 0xE0)
        return 2;
    if (b < 0xF0)
        return 3;
    if (b < 0xF8)
        return 4;
    return 0;
}

// Appends bytes to a bounded destination; remembers whether anything failed
// to fit so that the converters can answer 0.
struct BoundedWriter {
    char *out;
    size_t size;
    size_t used = 0;

    bool put(const uint8_t *bytes, size_t n)
    {
        // one byte always stays free for the terminator
        if (used + n + 1 > size)
            return false;
        memcpy(out + used, bytes, n);
        used += n;
        return true;
    }
    int finish(bool complete)
    {
        if (used < size)
            out[used] = '\0';
        return complete ? 1 : 0;
    }
};

inline int writeUTF8(uint8_t *out, uint32_t c)
{
    if (c < 0x80) {
        out[0] = (uint8_t)c;
        return 1;
    }
    if (c < 0x800) {
        out[0] = (uint8_t)(0xC0 | (c >> 6));
        out[1] = (uint8_t)(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = (uint8_t)(0xE0 | (c >> 12));
        out[1] = (uint8_t)(0x80 | ((c >> 6) & 0x3F));
        out[2] = (uint8_t)(0x80 | (c & 0x3F));
        return 3;
    }
    if (c >= 0x110000)
        c = 0xFFFD;
    if (c < 0x10000)
        return writeUTF8(out, c);
    out[0] = (uint8_t)(0xF0 | (c >> 18));
    out[1] = (uint8_t)(0x80 | ((c >> 12) & 0x3F));
    out[2] = (uint8_t)(0x80 | ((c >> 6) & 0x3F));
    out[3] = (uint8_t)(0x80 | (c & 0x3F));
    return 4;
}

// Runs convert twice: once to count, once into a block of exactly that size.
template <typename Convert> char *measureThenConvert(Convert convert)
{
    size_t length = convert(nullptr);
    char *result = (char *)kuMalloc(length + 1);
    convert((uint8_t *)result);
    result[length] = '\0';
    return result;
}

char *utf16ToUTF8(const uint8_t *data, size_t length, bool bigEndian)
{
    size_t units = length / 2;
    auto unitAt = [&](size_t i) -> uint32_t {
        const uint8_t *p = data + 2 * i;
        return bigEndian ? ku::loadBE16(p) : ku::loadLE16(p);
    };
    return measureThenConvert([&](uint8_t *out) {
        size_t bytes = 0;
        uint8_t scratch[4];
        for (size_t i = 0; i < units; i++) {
            uint32_t c = unitAt(i);
            if (c >= 0xD800 && c <= 0xDBFF) {
                if (i + 1 == units)
                    break;
                uint32_t low = unitAt(i + 1);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    i++;
                }
            }
            bytes += (size_t)writeUTF8(out != nullptr ? out + bytes : scratch, c);
        }
        return bytes;
    });
}

} // namespace

int kuUTF_ModifiedUTF8LengthOfUTF8(const char *utf8, int length)
{
    const uint8_t *p = (const uint8_t *)utf8;
    int size = 1;
    int i = 0;
    while (i < length) {
        uint8_t b = p[i];
        int n = sequenceLength(b);
        if (n == 0)
            return -1;
        if (n == 1) {
            size += b == 0 ? 2 : 1;
            i++;
            continue;
        }
        if (n > length - i)
            return -1;
        for (int k = 1; k < n; k++)
            if ((p[i + k] & 0xC0) != 0x80)
                return -1;
        size += n == 4 ? 6 : n;
        i += n;
    }
    return size;
}

int kuUTF_UTF8ToModifiedUTF8(const char *utf8, int length, char *destination, size_t size)
{
    const uint8_t *p = (const uint8_t *)utf8;
    BoundedWriter w{destination, size};
    int i = 0;
    while (i < length) {
        uint8_t b = p[i];
        int n = sequenceLength(b);
        if (n == 0) {
            i++;
            continue;
        }
        if (n > length - i)
            break;
        bool fits;
        if (b == 0) {
            static const uint8_t kZero[2] = {0xC0, 0x80};
            fits = w.put(kZero, 2);
        } else if (n < 4) {
            fits = w.put(p + i, (size_t)n);
        } else {
            uint32_t c = ((uint32_t)(b & 0x07) << 18) | ((uint32_t)(p[i + 1] & 0x3F) << 12) |
                         ((uint32_t)(p[i + 2] & 0x3F) << 6) | (uint32_t)(p[i + 3] & 0x3F);
            const uint8_t pair[6] = {0xED,
                                     (uint8_t)(0xA0 + (((c >> 16) - 1) & 0x0F)),
                                     (uint8_t)(0x80 + ((c >> 10) & 0x3F)),
                                     0xED,
                                     (uint8_t)(0xB0 + ((c >> 6) & 0x0F)),
                                     p[i + 3]};
            fits = w.put(pair, 6);
        }
        if (!fits)
            return w.finish(false);
        i += n;
    }
    return w.finish(w.used < size);
}

int kuUTF_ModifiedUTF8ToUTF8(const char *modified, int length, char *destination, size_t size)
{
    const uint8_t *p = (const uint8_t *)modified;
    const bool unlimited = length == -1;
    // With -1 the end is found by the zero byte (or C0 80) in the loop.
    auto available = [&](size_t i) -> size_t {
        if (!unlimited)
            return i < (size_t)length ? (size_t)length - i : 0;
        size_t n = 0;
        while (n < 6 && p[i + n] != 0)
            n++;
        return n;
    };
    BoundedWriter w{destination, size};
    size_t i = 0;
    for (;;) {
        size_t left = available(i);
        if (left == 0)
            break;
        uint8_t b = p[i];
        int n = sequenceLength(b);
        if (n == 0) {
            i++;
            continue;
        }
        if ((size_t)n > left)
            break;
        bool fits;
        if (n == 2 && b == 0xC0 && p[i + 1] == 0x80) {
            if (unlimited)
                break;
            static const uint8_t kZero = 0;
            fits = w.put(&kZero, 1);
        } else if (n == 3 && b == 0xED && (p[i + 1] & 0xF0) == 0xA0 && left >= 6 &&
                   p[i + 3] == 0xED && (p[i + 4] & 0xF0) == 0xB0) {
            uint32_t high = ((uint32_t)(p[i + 1] & 0x0F) << 6) | (p[i + 2] & 0x3F);
            uint32_t low = ((uint32_t)(p[i + 4] & 0x0F) << 6) | (p[i + 5] & 0x3F);
            uint8_t out[4];
            int k = writeUTF8(out, 0x10000 + (high << 10) + low);
            fits = w.put(out, (size_t)k);
            n = 6;
        } else {
            fits = w.put(p + i, (size_t)n);
        }
        if (!fits)
            return w.finish(false);
        i += (size_t)n;
    }
    return w.finish(w.used < size);
}

char *kuUTF_UTF8ToISO88591(const char *utf8, size_t length)
{
    const uint8_t *p = (const uint8_t *)utf8;
    return measureThenConvert([&](uint8_t *out) {
        size_t bytes = 0;
        size_t i = 0;
        while (i < length) {
            uint8_t b = p[i];
            uint8_t c;
            if (b < 0xC0) {
                c = b;
                i++;
            } else if (b < 0xE0) {
                uint32_t v = (uint32_t)(b & 0x1F) << 6;
                if (i + 1 < length)
                    v |= p[i + 1] & 0x3F;
                c = v <= 0xFF ? (uint8_t)v : (uint8_t)'?';
                i += 2;
            } else {
                c = '?';
                i += b < 0xF0 ? 3 : 4;
            }
            if (out != nullptr)
                out[bytes] = c;
            bytes++;
        }
        return bytes;
    });
}

char *kuUTF_ISO88591ToUTF8(const char *latin1, size_t length)
{
    const uint8_t *p = (const uint8_t *)latin1;
    return measureThenConvert([&](uint8_t *out) {
        size_t bytes = 0;
        for (size_t i = 0; i < length; i++) {
            uint8_t b = p[i];
            if (b < 0x80) {
                if (out != nullptr)
                    out[bytes] = b;
                bytes++;
            } else {
                if (out != nullptr) {
                    out[bytes] = b < 0xC0 ? 0xC2 : 0xC3;
                    out[bytes + 1] = b < 0xC0 ? b : (uint8_t)(b - 0x40);
                }
                bytes += 2;
            }
        }
        return bytes;
    });
}

char *kuUTF_UTF16LEToUTF8(const void *data, size_t length)
{
    return utf16ToUTF8((const uint8_t *)data, length, false);
}

char *kuUTF_UTF16BEToUTF8(const void *data, size_t length)
{
    return utf16ToUTF8((const uint8_t *)data, length, true);
}

char *kuUTF_UTF16BOMToUTF8(const void *data, size_t length)
{
    if (length < 2)
        return kuStrdup("");
    const uint8_t *p = (const uint8_t *)data;
    return utf16ToUTF8(p + 2, length - 2, p[0] == 0xFE);
}
