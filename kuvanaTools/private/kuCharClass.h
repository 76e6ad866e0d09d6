// ASCII character classes shared by the parsers (no locale).
#ifndef KUVANATOOLS_PRIVATE_KUCHARCLASS_H
#define KUVANATOOLS_PRIVATE_KUCHARCLASS_H

#include <stdint.h>

namespace ku {

// Tab, line feed, vertical tab, form feed, carriage return and space.
constexpr bool isSpace(int c)
{
    return (c >= 9 && c <= 13) || c == 32;
}

// Space and tab.
constexpr bool isBlank(int c)
{
    return c == ' ' || c == '\t';
}

constexpr bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

constexpr bool isAlpha(int c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr bool isAlnum(int c)
{
    return isDigit(c) || isAlpha(c);
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

// Digits of the bases up to 36; the first sixteen are the hex digits.
inline constexpr char kDigitsLower[] = "0123456789abcdefghijklmnopqrstuvwxyz";
inline constexpr char kDigitsUpper[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Digit values of '0'-'9', 'A'-'Z' and 'a'-'z'; 255 for everything else.
struct DigitTable {
    uint8_t v[256];
    constexpr DigitTable() : v()
    {
        for (int c = 0; c < 256; c++)
            v[c] = 255;
        for (int c = '0'; c <= '9'; c++)
            v[c] = (uint8_t)(c - '0');
        for (int c = 'A'; c <= 'Z'; c++)
            v[c] = (uint8_t)(c - 'A' + 10);
        for (int c = 'a'; c <= 'z'; c++)
            v[c] = (uint8_t)(c - 'a' + 10);
    }
};
inline constexpr DigitTable kDigitValues;

// The value of a hex digit in either case, -1 for any other byte.
constexpr int hexValue(unsigned char c)
{
    return kDigitValues.v[c] < 16 ? kDigitValues.v[c] : -1;
}

} // namespace ku

#endif
