// ASCII character classes shared by the parsers (no locale).
#ifndef KUVANATOOLS_PRIVATE_KUCHARCLASS_H
#define KUVANATOOLS_PRIVATE_KUCHARCLASS_H

namespace ku {

// Tab, line feed, vertical tab, form feed, carriage return and space.
constexpr bool isSpace(int c)
{
    return (c >= 9 && c <= 13) || c == 32;
}

constexpr bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

constexpr bool isAlnum(int c)
{
    return isDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr bool isXDigit(int c)
{
    return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

constexpr int toLowerAscii(int c)
{
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

constexpr int toUpperAscii(int c)
{
    return c >= 'a' && c <= 'z' ? c - 32 : c;
}

} // namespace ku

#endif
