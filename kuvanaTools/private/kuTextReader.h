// Reads a text up to its terminator or, when bounded, also up to a length,
// so that one parser serves both the terminated and the length-given forms.
#ifndef KUVANATOOLS_PRIVATE_KUTEXTREADER_H
#define KUVANATOOLS_PRIVATE_KUTEXTREADER_H

#include <stddef.h>

namespace ku {

template <bool Bounded>
struct TextReader {
    const char *begin;
    const char *end; // one past the last byte when bounded

    explicit TextReader(const char *text) : begin(text), end(nullptr) {}
    TextReader(const char *text, size_t length)
        : begin(text), end(text != nullptr ? text + length : nullptr)
    {
    }

    // The byte at p as unsigned, or 0 at or past the end. Parsers only step
    // one byte past a non-zero byte, so p never goes further than end.
    int at(const char *p) const
    {
        if (Bounded && p >= end)
            return 0;
        return (unsigned char)*p;
    }
};

} // namespace ku

#endif
