// Base64: any text decodes into a destination of exactly the documented
// size, and encoded bytes decode back to themselves.
#include "FuzzUtil.h"

#include <kuvanaTools/kuBase64.h>

#include <algorithm>

using namespace kufuzz;

namespace {

// The characters of the text that count run to the end of its first run of
// '=' (the padding).
void decodeAnyText(const std::string &input)
{
    Text text(kufuzz::upToZero(input));
    std::string t = text.c_str();
    size_t first = std::min(t.find('='), t.size());
    size_t length = std::min(t.find_first_not_of('=', first), t.size());
    size_t padding = length - first, groups = length / 4;
    Bytes decoded(3 * groups + 1);
    long result = kuBase64_Decode(text.c_str(), (unsigned char *)decoded.data());
    KU_FUZZ_CHECK(kuBase64_Decode(text.c_str(), nullptr) == result);
    if (length % 4 != 0) {
        KU_FUZZ_CHECK(result == -1);
        return;
    }
    KU_FUZZ_CHECK(result == (long)(3 * groups) - (long)padding);
    size_t written = groups == 0 ? 0 : 3 * groups - std::min<size_t>(padding, 3);
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
    Text string(kufuzz::upToZero(std::string((const char *)data, size)));
    Owned<char> viaString, counted;
    KU_FUZZ_CHECK(kuBase64_Encode(string.udata(), 0, viaString.out()) ==
                      kuBase64_Encode(string.udata(), string.length(), counted.out()) &&
                  strcmp(viaString.get(), counted.get()) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    decodeAnyText(std::string((const char *)data, size));
    roundTrip(data, size);
    return 0;
}
