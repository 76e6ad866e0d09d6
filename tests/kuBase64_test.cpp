#include <kuvanaTools/kuBase64.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::string encode(const char *data, size_t length)
{
    char *text = (char *)1;
    size_t n = kuBase64_Encode((const unsigned char *)data, length, &text);
    const std::string r = kutest::take(text);
    EXPECT_EQ(r.size(), n);
    return r;
}

const std::string kUntouched = "<untouched>";

// Decodes into a block of exactly the documented size, so that the sanitizer
// build sees any write past it; the bytes written must end with a zero.
void expectDecoded(const char *source, long result, const std::string &bytes)
{
    const std::string text = source ? source : "";
    SCOPED_TRACE(text);
    size_t significant = std::min(text.find_first_not_of('=', text.find('=')), text.size());
    size_t size = significant % 4 == 0 ? significant / 4 * 3 + 1 : 1;
    EXPECT_EQ(size, kuBase64_GetDecodeBufferSize(source));
    std::string block(size, '\xEE');
    EXPECT_EQ(result, kuBase64_Decode(source, nullptr));
    EXPECT_EQ(result, kuBase64_Decode(source, (unsigned char *)&block[0]));
    std::string expected = bytes == kUntouched ? std::string(size, '\xEE') : bytes + '\0';
    EXPECT_EQ(expected, block.substr(0, expected.size()));
}

} // namespace

TEST(kuBase64, EncodesAndDecodesTheSignificantPart)
{
    // length 0: the string's own length
    const struct { const char *data; size_t length; const char *text; } cases[] = {
        {"Man", 3, "TWFu"}, {"Man", 2, "TWE="}, {"Man", 1, "TQ=="}, {"Man", 0, "TWFu"}, {"", 0, ""},
        {"\0\0\xff", 3, "AAD/"}, {"\xfb\xff\xbf", 3, "+/+/"}, {"\0", 1, "AA=="}, {nullptr, 5, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.text, encode(c.data, c.length)) << c.text;

    // Text after the padding run is ignored; a last group of padding gives no
    // bytes (but may be written); foreign characters hold a place but add no
    // bits: T, W, u give 18.
    const struct { const char *text; long result; std::string bytes; } decodes[] = {
        {"TWFu", 3, "Man"}, {"TWE=", 2, "Ma"}, {"TQ==", 1, "M"}, {"TWFuTWFu", 6, "ManMan"},
        {"TQ==xyz", 1, "M"}, {"", 0, ""}, {nullptr, 0, ""}, {"TWF", -1, kUntouched},
        {"TW=u", -1, kUntouched}, {"TWFu=", -1, kUntouched}, {"TWFu\nTWFu", -1, kUntouched},
        {"====", -1, ""}, {"TWFu====", 2, "Man"}, {"QUJD====", 2, "ABC"},
        {"QUJD========", 1, std::string("ABC\0\0\0", 6)}, {"TW u", 3, "\x01\x35\xae"},
        {"\x80\xff\x01 ", 3, std::string(3, '\0')},
    };
    for (const auto &c : decodes)
        expectDecoded(c.text, c.result, c.bytes);
}

