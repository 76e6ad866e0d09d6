// Small text helpers of the DLNA descriptor modules: ASCII case folding and
// a string builder on kuBuffer.
#ifndef KUVANATOOLS_PRIVATE_KUDLNATEXT_H
#define KUVANATOOLS_PRIVATE_KUDLNATEXT_H

#include <kuvanaTools/kuBuffer.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuCharClass.h>

#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace ku {

// Two bytes equal, ASCII letters in any case (equal bytes first: the
// matching code compares many names that share long prefixes).
inline bool foldedSame(unsigned char x, unsigned char y)
{
    if (x == y)
        return true;
    unsigned char lower = (unsigned char)(x | 0x20);
    return (x ^ y) == 0x20 && lower >= 'a' && lower <= 'z';
}

// Equal over n bytes, ASCII letters in any case.
inline bool foldedEqualN(const char *a, const char *b, size_t n)
{
    for (size_t i = 0; i < n; i++)
        if (!foldedSame((unsigned char)a[i], (unsigned char)b[i]))
            return false;
    return true;
}

// Both texts equal, ASCII letters in any case; null equals nothing.
inline bool foldedEqual(const char *a, const char *b)
{
    if (a == nullptr || b == nullptr)
        return false;
    for (;; a++, b++) {
        if (!foldedSame((unsigned char)*a, (unsigned char)*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

// The range [text, text + length) equals the literal, in any case.
template <size_t N>
inline bool isName(const char *text, size_t length, const char (&literal)[N])
{
    return length == N - 1 && foldedEqualN(text, literal, N - 1);
}

// Both null or both equal exactly.
inline bool sameOrBothNull(const char *a, const char *b)
{
    if (a == nullptr || b == nullptr)
        return a == b;
    return strcmp(a, b) == 0;
}

inline bool startsWith(const char *text, const char *prefix)
{
    return text != nullptr && strncmp(text, prefix, strlen(prefix)) == 0;
}

// Calls piece(start, length) for each piece of [text, text + length) cut at
// delimiter, exactly as kuCStringParser_TokenizeEscaped cuts the range (an
// empty range is one empty piece; a delimiter right after escape, 0 for
// none, does not cut), but without building a token list. Stops when piece
// returns false.
template <typename Piece>
inline void forEachPiece(const char *text, size_t length, char delimiter, char escape, Piece piece)
{
    if (length == 0) {
        piece(text, (size_t)0);
        return;
    }
    const char *end = text + length;
    const char *start = text;
    for (const char *p = text;;) {
        const char *cut = (const char *)memchr(p, delimiter, (size_t)(end - p));
        if (cut == nullptr)
            break;
        p = cut + 1;
        if (escape != 0 && cut > text && cut[-1] == escape)
            continue;
        if (!piece(start, (size_t)(cut - start)))
            return;
        start = p;
    }
    piece(start, (size_t)(end - start));
}

// Builds a new zero-terminated text; the block goes to the caller with
// take(), or is released with the builder.
class TextBuilder {
public:
    explicit TextBuilder(uint32_t capacity = 128)
        : buffer_{kuMalloc(capacity), capacity, 0}
    {
    }
    ~TextBuilder() { kuFree(buffer_.bytes); }
    TextBuilder(const TextBuilder &) = delete;
    TextBuilder &operator=(const TextBuilder &) = delete;

    void add(const char *text, size_t length) { kuBuffer_Append(&buffer_, text, length); }
    void add(const char *text) { kuBuffer_AppendStr(&buffer_, text); }
    void add(char c) { kuBuffer_Append(&buffer_, &c, 1); }
    // "%lu" and "%08lX" of the value, without the formatting engine's cost.
    void addUInt32(uint32_t value)
    {
        char digits[10];
        int n = 0;
        do {
            digits[9 - n++] = (char)('0' + value % 10);
            value /= 10;
        } while (value != 0);
        add(digits + 10 - n, (size_t)n);
    }
    void addHex8(uint32_t value)
    {
        char digits[8];
        for (int i = 7; i >= 0; i--, value >>= 4)
            digits[i] = kDigitsUpper[value & 15];
        add(digits, 8);
    }

    uint32_t size() const { return buffer_.size; }
    char last() const { return buffer_.size > 0 ? ((const char *)buffer_.bytes)[buffer_.size - 1] : 0; }
    void truncate(uint32_t size)
    {
        if (size < buffer_.size)
            buffer_.size = size;
    }

    char *take()
    {
        add("", 1);
        return (char *)kuBuffer_TakeOwnership(&buffer_, 0, nullptr);
    }

private:
    kuBuffer buffer_;
};

} // namespace ku

#endif // KUVANATOOLS_PRIVATE_KUDLNATEXT_H
