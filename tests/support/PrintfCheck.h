// Formatted output through every form of a family, checked for agreement.
#pragma once

#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPrintf.h>

#include <gtest/gtest.h>

#include <stdarg.h>
#include <wchar.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kutest {
namespace detail {

inline int vformat(char *b, size_t n, const char *f, va_list a) { return ku_vsnprintf(b, n, f, a); }
inline int vformat(wchar_t *b, size_t n, const wchar_t *f, va_list a)
{
    return ku_vswprintf(b, n, f, a);
}
inline char *vformat(size_t *n, const char *f, va_list a) { return ku_lvmnprintf(n, f, a); }
inline wchar_t *vformat(size_t *n, const wchar_t *f, va_list a) { return ku_lvmwprintf(n, f, a); }
inline char *vformat(const char *f, va_list a) { return ku_vmnprintf(f, a); }
inline wchar_t *vformat(const wchar_t *f, va_list a) { return ku_vmwprintf(f, a); }

// The fixed-buffer, counting and both allocating forms must agree; returns the
// text, or "<code>" for a negative result.
template <typename C>
std::basic_string<C> check(const C *fmt, va_list args)
{
    SCOPED_TRACE(testing::Message() << fmt);
    va_list forAlloc, forPlain, forCount;
    va_copy(forAlloc, args);
    va_copy(forPlain, args);
    va_copy(forCount, args);
    std::vector<C> buffer(4096, (C)'Z');
    const int n = vformat(buffer.data(), buffer.size(), fmt, args);
    size_t length = 99;
    C *allocated[2] = {vformat(&length, fmt, forAlloc), vformat(fmt, forPlain)};
    EXPECT_EQ(n, vformat((C *)nullptr, 0, fmt, forCount));
    va_end(forCount);
    va_end(forPlain);
    va_end(forAlloc);
    const size_t kept = n < 0 ? 0 : std::min((size_t)n, buffer.size() - 1);
    EXPECT_EQ(0, buffer[kept]);
    std::basic_string<C> text(buffer.data(), kept);
    if (n < 0) {
        EXPECT_EQ(0u, length);
        const std::string code = "<" + std::to_string(n) + ">";
        text.assign(code.begin(), code.end());
    } else {
        EXPECT_LT((size_t)n, buffer.size());
        EXPECT_EQ((size_t)n, length);
    }
    for (C *a : allocated) {
        EXPECT_EQ(n < 0, a == nullptr);
        EXPECT_TRUE(a == nullptr || std::equal(buffer.begin(), buffer.begin() + kept + 1, a));
        kuFree(a);
    }
    return text;
}

} // namespace detail

inline std::string format(const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string text = detail::check(fmt, args);
    va_end(args);
    return text;
}

inline std::wstring wformat(const wchar_t *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::wstring text = detail::check(fmt, args);
    va_end(args);
    return text;
}

} // namespace kutest
