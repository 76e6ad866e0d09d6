// Hexadecimal escaping of bytes outside a character table.
#include <kuvanaTools/kuStringEscaper.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuCharClass.h>

#include <stdint.h>
#include <string.h>

// clang-format off
const char kkuDefaultConvTable[128] = {
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   '.', 0,
    '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 0,   0,   0,   0,   0,   0,
    '@', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O',
    'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', 0,   0,   0,   0,   '_',
    '`', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o',
    'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z', 0,   0,   0,   0,   0,
};
// clang-format on

char *kuStringEscaper_EscapeBuffer(const void *data, size_t length, int nulTerminate,
                                   const char *table, char escapeChar, int escapeHigh,
                                   size_t *outLength)
{
    if (data == nullptr || length > (SIZE_MAX - 1) / 3)
        return nullptr;
    if (table == nullptr)
        table = kkuDefaultConvTable;
    const char *digits = ku::kDigitsUpper;
    const unsigned char *in = (const unsigned char *)data;
    char *out = (char *)kuMalloc(3 * length + (nulTerminate ? 1 : 0));
    size_t n = 0;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = in[i];
        bool escape = c < 128 ? table[c] == 0 : escapeHigh != 0;
        if (escape) {
            out[n++] = escapeChar;
            out[n++] = digits[c >> 4];
            out[n++] = digits[c & 15];
        } else {
            out[n++] = (char)c;
        }
    }
    if (nulTerminate)
        out[n++] = '\0';
    if (outLength != nullptr)
        *outLength = n;
    return out;
}

char *kuStringEscaper_EscapeAdvanced(const char *text, const char *table, char escapeChar,
                                     int escapeHigh)
{
    if (text == nullptr)
        return nullptr;
    return kuStringEscaper_EscapeBuffer(text, strlen(text), 1, table, escapeChar, escapeHigh,
                                        nullptr);
}

char *kuStringEscaper_Escape(const char *text)
{
    return kuStringEscaper_EscapeAdvanced(text, kkuDefaultConvTable, '%', 1);
}

char *kuStringEscaper_EscapeMinimal(const char *text)
{
    return kuStringEscaper_EscapeAdvanced(text, kkuDefaultConvTable, '%', 0);
}

char *kuStringEscaper_UnescapeBuffer(const void *data, size_t length, int nulTerminate,
                                     char escapeChar, size_t *outLength)
{
    if (data == nullptr || length == SIZE_MAX)
        return nullptr;
    const unsigned char *in = (const unsigned char *)data;
    char *out = (char *)kuMalloc(length + (nulTerminate ? 1 : 0));
    size_t n = 0;
    for (size_t i = 0; i < length; i++) {
        if (in[i] != (unsigned char)escapeChar) {
            out[n++] = (char)in[i];
            continue;
        }
        if (length - i - 1 < 2)
            break;
        int high = ku::hexValue(in[i + 1]);
        int low = ku::hexValue(in[i + 2]);
        if (high >= 0 && low >= 0)
            out[n++] = (char)(high << 4 | low);
        i += 2;
    }
    if (nulTerminate)
        out[n++] = '\0';
    if (outLength != nullptr)
        *outLength = n;
    return out;
}

char *kuStringEscaper_UnescapeAdvanced(const char *text, char escapeChar)
{
    if (text == nullptr)
        return nullptr;
    return kuStringEscaper_UnescapeBuffer(text, strlen(text), 1, escapeChar, nullptr);
}

char *kuStringEscaper_Unescape(const char *text)
{
    return kuStringEscaper_UnescapeAdvanced(text, '%');
}
