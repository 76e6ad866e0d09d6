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

// Equal over n bytes, ASCII letters in any case.
inline bool foldedEqualN(const char *a, const char *b, size_t n)
{
    for (size_t i = 0; i < n; i++)
        if (toLowerAscii((unsigned char)a[i]) != toLowerAscii((unsigned char)b[i]))
            return false;
    return true;
}

// Both texts equal, ASCII letters in any case; null equals nothing.
inline bool foldedEqual(const char *a, const char *b)
{
    if (a == nullptr || b == nullptr)
        return false;
    for (;; a++, b++) {
        int x = toLowerAscii((unsigned char)*a);
        if (x != toLowerAscii((unsigned char)*b))
            return false;
        if (x == 0)
            return true;
    }
}

// The range [text, text + length) equals the literal, in any case.
template <size_t N>
inline bool isName(const char *text, size_t length, const char (&literal)[N])
{
    return length == N - 1 && foldedEqualN(text, literal, N - 1);
}

// FNV-1a over the bytes.
inline uint32_t hashBytes(const char *bytes, size_t length, uint32_t h = 2166136261u)
{
    for (size_t i = 0; i < length; i++)
        h = (h ^ (unsigned char)bytes[i]) * 16777619u;
    return h;
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
    void addUInt32(uint32_t value) { kuBuffer_AppendUInt32(&buffer_, value); }
    void addHex8(uint32_t value) { kuBuffer_AppendUInt32Hex(&buffer_, value); }

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
