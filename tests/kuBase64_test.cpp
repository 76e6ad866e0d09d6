#include <kuvanaTools/kuBase64.h>
#include <kuvanaTools/kuMemory.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

std::string encode(const std::string &data, size_t length)
{
    char *text = (char *)1;
    size_t n = kuBase64_Encode((const unsigned char *)data.data(), length, &text);
    EXPECT_NE(nullptr, text);
    if (text == nullptr)
        return "<null>";
    EXPECT_EQ(strlen(text), n);
    std::string r = text;
    kuFree(text);
    return r;
}

std::string encode(const std::string &data)
{
    return encode(data, data.size());
}

struct Decoded {
    long result;
    std::string bytes; // up to the terminator written after them
};

// Decodes into a block of exactly the documented size, so that the
// sanitizer build sees any write past it.
Decoded decode(const char *text)
{
    long measured = kuBase64_Decode(text, nullptr);
    const char *pad = strchr(text, '=');
    size_t significant = pad ? (size_t)(pad - text) + strspn(pad, "=") : strlen(text);
    size_t size = significant / 4 * 3 + 1;
    unsigned char *block = (unsigned char *)malloc(size);
    memset(block, 0xEE, size);
    Decoded d;
    d.result = kuBase64_Decode(text, block);
    EXPECT_EQ(measured, d.result) << text;
    if (d.result == -1 && memchr(block, 0, size) == nullptr) {
        d.bytes = "<untouched>";
    } else if (pad != nullptr && strspn(pad, "=") > 2) {
        // the last group gives no bytes; the others are all written
        size_t n = significant / 4 * 3 - 3;
        EXPECT_EQ(0, block[n]) << text;
        d.bytes.assign((const char *)block, n);
    } else {
        size_t n = d.result > 0 ? (size_t)d.result : 0;
        EXPECT_EQ(0, block[n]) << text;
        d.bytes.assign((const char *)block, n);
    }
    free(block);
    return d;
}

} // namespace

TEST(kuBase64, EncodesWithPadding)
{
    EXPECT_EQ("TWFu", encode("Man"));
    EXPECT_EQ("TWE=", encode("Ma"));
    EXPECT_EQ("TQ==", encode("M"));
    EXPECT_EQ("", encode("", 0));
    EXPECT_EQ("TWFu", encode("Man", 0)); // length 0: the string's own length
    EXPECT_EQ("TQ==", encode("Man", 1));
    EXPECT_EQ("AAD/", encode(std::string("\0\0\xff", 3)));
    EXPECT_EQ("+/+/", encode("\xfb\xff\xbf"));
    EXPECT_EQ("AA==", encode(std::string("\0", 1)));

    char *text = (char *)1;
    EXPECT_EQ(0u, kuBase64_Encode(nullptr, 5, &text));
    EXPECT_STREQ("", text);
    kuFree(text);
}

TEST(kuBase64, DecodesTheSignificantPart)
{
    Decoded d = decode("TWFu");
    EXPECT_EQ(3, d.result);
    EXPECT_EQ("Man", d.bytes);
    d = decode("TWE=");
    EXPECT_EQ(2, d.result);
    EXPECT_EQ("Ma", d.bytes);
    d = decode("TQ==");
    EXPECT_EQ(1, d.result);
    EXPECT_EQ("M", d.bytes);
    d = decode("TQ==xyz");
    EXPECT_EQ(1, d.result);
    EXPECT_EQ("M", d.bytes);
    d = decode("TWFuTWFu");
    EXPECT_EQ(6, d.result);
    EXPECT_EQ("ManMan", d.bytes);

    d = decode("TWF");
    EXPECT_EQ(-1, d.result);
    EXPECT_EQ("<untouched>", d.bytes);
    EXPECT_EQ(-1, decode("TW=u").result);
    EXPECT_EQ(-1, decode("TWFu=").result);

    d = decode("====");
    EXPECT_EQ(-1, d.result);
    EXPECT_EQ("", d.bytes);
    d = decode("TQ==");
    EXPECT_EQ(1, d.result);
    d = decode("TWFu====");
    EXPECT_EQ(2, d.result); // six bytes less a padding of four
    EXPECT_EQ("Man", d.bytes);
    d = decode("");
    EXPECT_EQ(0, d.result);
    EXPECT_EQ("", d.bytes);
    unsigned char out[1] = {9};
    EXPECT_EQ(0, kuBase64_Decode(nullptr, out));
    EXPECT_EQ(0, out[0]);
}

TEST(kuBase64, ForeignCharactersHoldPlacesButAddNoBits)
{
    // "TW u": the blank takes a place; T, W and u make 18 bits
    Decoded d = decode("TW u");
    EXPECT_EQ(3, d.result);
    unsigned bits = 19u << 12 | 22u << 6 | 46u;
    EXPECT_EQ(std::string({(char)(bits >> 16), (char)(bits >> 8), (char)bits}), d.bytes);
    d = decode("TWFu\nTWFu");
    EXPECT_EQ(-1, d.result); // nine characters
    d = decode("\x80\xff\x01 ");
    EXPECT_EQ(3, d.result);
    EXPECT_EQ(std::string(3, '\0'), d.bytes);
}

TEST(kuBase64, RoundTripsEveryLengthAndByte)
{
    std::string data;
    for (int i = 0; i < 600; i++)
        data.push_back((char)(i * 167 + (i >> 3)));
    for (size_t n = 1; n < data.size(); n += (n < 20 ? 1 : 37)) {
        std::string chunk = data.substr(0, n);
        std::string text = encode(chunk);
        EXPECT_EQ((n + 2) / 3 * 4, text.size());
        Decoded d = decode(text.c_str());
        EXPECT_EQ((long)n, d.result);
        EXPECT_EQ(chunk, d.bytes);
    }
}
