// Hexadecimal text for byte vectors in the digest and cipher suites.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace kutest {

inline std::vector<uint8_t> fromHex(const std::string &hex)
{
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back((uint8_t)(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
    return bytes;
}

inline std::string toHex(const void *data, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < n; i++) {
        uint8_t b = ((const uint8_t *)data)[i];
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

inline std::string toHex(const std::vector<uint8_t> &bytes)
{
    return toHex(bytes.data(), bytes.size());
}

} // namespace kutest
