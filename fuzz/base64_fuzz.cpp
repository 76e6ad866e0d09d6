// Base64: any text decodes into a destination of exactly the documented
// size, and encoded bytes decode back to themselves.
#include "FuzzUtil.h"

#include <kuvanaTools/kuBase64.h>

using kufuzz::Bytes;
using kufuzz::Owned;
using kufuzz::Text;

namespace {

// Characters of text that count: up to the end of its first run of '='.
size_t significantLength(const std::string &text, size_t *padding)
{
    size_t first = text.find('=');
    *padding = 0;
    if (first == std::string::npos)
        return text.size();
    size_t end = text.find_first_not_of('=', first);
    if (end == std::string::npos)
        end = text.size();
    *padding = end - first;
    return end;
}

void decodeAnyText(const std::string &input)
{
    Text text(kufuzz::upToZero(input));
    size_t padding = 0;
    size_t length = significantLength(text.c_str(), &padding);
    size_t groups = length / 4;
    Bytes decoded(3 * groups + 1);
    long result = kuBase64_Decode(text.c_str(), (unsigned char *)decoded.data());
    KU_FUZZ_CHECK(kuBase64_Decode(text.c_str(), nullptr) == result);
    if (length % 4 != 0) {
        KU_FUZZ_CHECK(result == -1);
        return;
    }
    KU_FUZZ_CHECK(result == (long)(3 * groups) - (long)padding);
    size_t written = padding >= 3 ? 3 * groups - 3 : 3 * groups - padding;
    if (groups == 0)
        written = 0;
    KU_FUZZ_CHECK(decoded.data()[written] == '\0');
}

void roundTrip(const uint8_t *data, size_t size)
{
    Owned<char> encoded;
    size_t length = kuBase64_Encode(size ? data : nullptr, size, encoded.out());
    KU_FUZZ_CHECK(encoded.get() != nullptr);
    if (size == 0) {
        KU_FUZZ_CHECK(length == 0 && encoded.get()[0] == '\0');
        return;
    }
    KU_FUZZ_CHECK(length == (size + 2) / 3 * 4 && strlen(encoded.get()) == length);
    Bytes decoded(size / 3 * 3 + 3 + 1);
    Text text(encoded.get());
    KU_FUZZ_CHECK(kuBase64_Decode(text.c_str(), (unsigned char *)decoded.data()) == (long)size);
    KU_FUZZ_CHECK(memcmp(decoded.data(), data, size) == 0 && decoded.data()[size] == '\0');

    // length 0 takes the data as a terminated string
    Text string(kufuzz::upToZero(kufuzz::asString(data, size)));
    Owned<char> viaString;
    Owned<char> counted;
    size_t a = kuBase64_Encode(string.udata(), 0, viaString.out());
    size_t b = kuBase64_Encode(string.udata(), string.length(), counted.out());
    KU_FUZZ_CHECK(a == b && strcmp(viaString.get(), counted.get()) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    decodeAnyText(kufuzz::asString(data, size));
    roundTrip(data, size);
    return 0;
}
