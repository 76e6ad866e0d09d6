// Helpers shared by the fuzz targets.
#pragma once

#include <kuvanaTools/kuMemory.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

// A property that must hold for every input: abort, so that libFuzzer keeps
// the input as a crash.
#define KU_FUZZ_CHECK(cond)                                                                     \
    do {                                                                                        \
        if (!(cond)) {                                                                          \
            fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);          \
            abort();                                                                            \
        }                                                                                       \
    } while (0)

namespace kufuzz {

// Exactly the given bytes on the heap and nothing after them, so that a read
// one past the end is an ASan report (a std::string would hide it behind its
// terminator and spare capacity).
class Bytes {
public:
    Bytes(const void *data, size_t size) : size_(size), data_((char *)malloc(size))
    {
        if (size)
            memcpy(data_, data, size);
    }
    explicit Bytes(const std::string &text) : Bytes(text.data(), text.size()) {}
    // Room for size bytes, filled with a pattern that is not text.
    explicit Bytes(size_t size) : size_(size), data_((char *)malloc(size))
    {
        memset(data_, 0xA5, size);
    }
    Bytes(const Bytes &) = delete;
    Bytes &operator=(const Bytes &) = delete;
    ~Bytes() { free(data_); }

    char *data() const { return data_; }
    const unsigned char *udata() const { return (const unsigned char *)data_; }
    size_t size() const { return size_; }

private:
    size_t size_;
    char *data_;
};

// The text followed by its terminator, with nothing after that.
class Text : public Bytes {
public:
    explicit Text(const std::string &text) : Bytes(text.c_str(), text.size() + 1) {}
    const char *c_str() const { return data(); }
    size_t length() const { return size() - 1; }
};

// A string the library returned, released with kuFree.
template <typename T> class Owned {
public:
    explicit Owned(T *p = nullptr) : p_(p) {}
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    ~Owned() { kuFree(p_); }
    T *get() const { return p_; }
    T **out()
    {
        kuFree(p_);
        p_ = nullptr;
        return &p_;
    }

private:
    T *p_;
};

// The input up to its first zero byte.
inline std::string upToZero(const std::string &text)
{
    return std::string(text.c_str());
}

// printf into a string (short texts).
inline std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
inline std::string format(const char *fmt, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

inline std::string orEmpty(const char *text)
{
    return text != nullptr ? text : "";
}

// A string the library returned (never null), as text; released with kuFree.
inline std::string take(char *text)
{
    KU_FUZZ_CHECK(text != nullptr);
    std::string out = text;
    kuFree(text);
    return out;
}

// White space as the library's parsers read it.
inline bool isBlank(unsigned char c)
{
    return c == ' ' || (c >= 9 && c <= 13);
}

// The parts of a text between separators (one part for a text without any).
inline std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> out(1);
    for (char c : text) {
        if (c == separator)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

} // namespace kufuzz
