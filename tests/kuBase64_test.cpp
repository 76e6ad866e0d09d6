#include <kuvanaTools/kuBase64.h>
#include <kuvanaTools/kuMemory.h>

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string encode(const std::string &data, size_t length)
{
    char *text = (char *)1;
    size_t n = kuBase64_Encode((const unsigned char *)data.data(), length, &text);
    std::string r = text ? text : "<null>";
    EXPECT_EQ(r.size(), n);
    kuFree(text);
    return r;
}

const std::string kUntouched = "<untouched>";

// Decodes into a block of exactly the documented size, so that the sanitizer
// build sees any write past it; the bytes written must end with a zero.
void expectDecoded(const std::string &text, long result, const std::string &bytes)
{
    SCOPED_TRACE(text);
    size_t pad = std::min(text.find('='), text.size());
    size_t significant = std::min(text.find_first_not_of('=', pad), text.size());
    size_t size = significant % 4 == 0 ? significant / 4 * 3 + 1 : 1;
    EXPECT_EQ(size, kuBase64_GetDecodeBufferSize(text.c_str()));
    std::vector<unsigned char> block(size, 0xEE);
    EXPECT_EQ(result, kuBase64_Decode(text.c_str(), nullptr));
    EXPECT_EQ(result, kuBase64_Decode(text.c_str(), block.data()));
    if (bytes == kUntouched) {
        EXPECT_EQ(std::vector<unsigned char>(block.size(), 0xEE), block);
    } else {
        ASSERT_LT(bytes.size(), block.size());
        EXPECT_EQ(bytes, std::string((const char *)block.data(), bytes.size()));
        EXPECT_EQ(0, block[bytes.size()]);
    }
}

} // namespace

TEST(kuBase64, Encodes)
{
    const struct { std::string data; size_t length; const char *text; } cases[] = {
        {"Man", 3, "TWFu"}, {"Man", 2, "TWE="}, {"Man", 1, "TQ=="},
        {"Man", 0, "TWFu"}, // length 0: the string's own length
        {"", 0, ""},        {std::string("\0\0\xff", 3), 3, "AAD/"},
        {"\xfb\xff\xbf", 3, "+/+/"}, {std::string("\0", 1), 1, "AA=="},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.text, encode(c.data, c.length)) << c.text;

    char *text = (char *)1;
    EXPECT_EQ(0u, kuBase64_Encode(nullptr, 5, &text));
    EXPECT_STREQ("", text);
    kuFree(text);
}

TEST(kuBase64, DecodesTheSignificantPart)
{
    const struct { const char *text; long result; std::string bytes; } cases[] = {
        {"TWFu", 3, "Man"}, {"TWE=", 2, "Ma"}, {"TQ==", 1, "M"}, {"TWFuTWFu", 6, "ManMan"},
        {"TQ==xyz", 1, "M"}, // text after the padding run is ignored
        {"", 0, ""}, {"TWF", -1, kUntouched}, {"TW=u", -1, kUntouched}, {"TWFu=", -1, kUntouched},
        {"====", -1, ""},        // three bytes less a padding of four
        {"TWFu====", 2, "Man"},  // the last group gives no bytes
        {"QUJD====", 2, "ABC"}, {"QUJD========", 1, std::string("ABC\0\0\0", 6)}, // more written than reported
        // foreign characters hold a place but add no bits: T, W, u give 18
        {"TW u", 3, "\x01\x35\xae"}, {"\x80\xff\x01 ", 3, std::string(3, '\0')}, {"TWFu\nTWFu", -1, kUntouched},
    };
    for (const auto &c : cases)
        expectDecoded(c.text, c.result, c.bytes);

    unsigned char out[1] = {9};
    EXPECT_EQ(1u, kuBase64_GetDecodeBufferSize(nullptr));
    EXPECT_EQ(0, kuBase64_Decode(nullptr, out));
    EXPECT_EQ(0, out[0]);
}

TEST(kuBase64, RoundTripsEveryLengthAndByte)
{
    std::string data;
    for (int i = 0; i < 600; i++)
        data.push_back((char)(i * 167 + (i >> 3)));
    for (size_t n = 1; n < data.size(); n += (n < 20 ? 1 : 37)) {
        std::string text = encode(data, n);
        EXPECT_EQ((n + 2) / 3 * 4, text.size());
        expectDecoded(text, (long)n, data.substr(0, n));
    }
}
