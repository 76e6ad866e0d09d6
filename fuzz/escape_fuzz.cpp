// Escaping and %name% substitution: escaping is undone exactly by
// unescaping, any text unescapes without reading past it, and substitution
// ends with a bounded result whatever the resolver's values refer to.
#include "FuzzUtil.h"

#include <kuvanaTools/kuStringEscaper.h>
#include <kuvanaTools/kuStringSubstitution.h>

using namespace kufuzz;

namespace {

// The escaped form of the data comes back byte for byte, as long as the
// escape character is itself escaped.
void escaping(FuzzedDataProvider &fdp)
{
    bool terminate = fdp.ConsumeBool();
    bool escapeHigh = fdp.ConsumeBool();
    char escape = fdp.ConsumeIntegral<char>();
    char tableBytes[128];
    bool ownTable = fdp.ConsumeBool();
    if (ownTable)
        for (char &entry : tableBytes)
            entry = fdp.ConsumeBool() ? 'y' : 0;
    const char *table = ownTable ? tableBytes : kkuDefaultConvTable;
    Bytes data(fdp.ConsumeRandomLengthString(1024));

    size_t escapedLength = 0;
    Owned<char> escaped(kuStringEscaper_EscapeBuffer(data.data(), data.size(), terminate,
                                                     ownTable ? tableBytes : nullptr, escape,
                                                     escapeHigh, &escapedLength));
    KU_FUZZ_CHECK(escaped.get() != nullptr && escapedLength >= data.size() + terminate);

    unsigned char e = (unsigned char)escape;
    bool escapeIsEscaped = e < 128 ? table[e] == 0 : escapeHigh;
    Bytes coded(escaped.get(), escapedLength - terminate);
    size_t backLength = 0;
    Owned<char> back(kuStringEscaper_UnescapeBuffer(coded.data(), coded.size(), terminate, escape,
                                                    &backLength));
    KU_FUZZ_CHECK(back.get() != nullptr && backLength <= coded.size() + terminate);
    if (escapeIsEscaped)
        KU_FUZZ_CHECK(backLength == data.size() + terminate &&
                      memcmp(back.get(), data.data(), data.size()) == 0);

    // any bytes unescape; the terminated forms agree with the counted one
    size_t anyLength = 0;
    Owned<char> any(kuStringEscaper_UnescapeBuffer(data.data(), data.size(), 1, escape, &anyLength));
    KU_FUZZ_CHECK(any.get() != nullptr && anyLength >= 1 && anyLength <= data.size() + 1);
    Text text(kufuzz::upToZero(std::string(data.data(), data.size())));
    kufuzz::take(kuStringEscaper_UnescapeAdvanced(text.c_str(), escape));
    Owned<char> full(kuStringEscaper_Escape(text.c_str()));
    KU_FUZZ_CHECK(kufuzz::take(kuStringEscaper_Unescape(full.get())) == text.c_str());
}

// Fixed values, some of which refer to themselves or to each other.
char *loopingResolver(const char *name, void *)
{
    static const char *const kValues[][2] = {
        {"a", "<%a%>"}, {"b", "%b%%b%"}, {"c", "%a%"}, {"d", ""},   {"p", "%"},
        {"x", "%x"},    {"o", "{{o}}"},  {"e", "%env.KU_FUZZ_LOOP%"}, {"", "%%%"},
    };
    for (const auto &entry : kValues)
        if (strcmp(name, entry[0]) == 0)
            return kuStrdup(entry[1]);
    return nullptr;
}

void substitution(FuzzedDataProvider &fdp)
{
    char delimiter = fdp.ConsumeBool() ? '%' : fdp.ConsumeIntegral<char>();
    int reexpand = fdp.ConsumeBool();
    std::string open = fdp.ConsumeRandomLengthString(3);
    std::string close = fdp.ConsumeRandomLengthString(3);
    Text text(kufuzz::upToZero(fdp.ConsumeRemainingBytesAsString()));

    // A reference takes at least 2 bytes and its value at most 18; the values
    // expanded again add at most that many more references.
    size_t bound = 9 * (text.length() + 18 * (KU_SUBSTITUTION_MAX_REEXPANSIONS + 2)) + 1;
    Owned<char> looped(kuStringSubstitution_Substitute(text.c_str(), delimiter, reexpand,
                                                       loopingResolver, nullptr));
    KU_FUZZ_CHECK(looped.get() != nullptr && strlen(looped.get()) <= bound);
    Owned<char> loopedEx(kuStringSubstitution_SubstituteEx(
        text.c_str(), Text(kufuzz::upToZero(open)).c_str(), Text(kufuzz::upToZero(close)).c_str(),
        reexpand, loopingResolver, nullptr));
    KU_FUZZ_CHECK(loopedEx.get() != nullptr && strlen(loopedEx.get()) <= bound);
    kufuzz::take(kuStringSubstitution_Substitute(text.c_str(), delimiter, reexpand, nullptr, nullptr));

    // a text without the delimiter comes back as it is
    if (delimiter == 0 || strchr(text.c_str(), delimiter) == nullptr)
        KU_FUZZ_CHECK(strcmp(looped.get(), text.c_str()) == 0);
}

} // namespace

// An environment variable that refers to itself through the resolver.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("KU_FUZZ_LOOP", "%e%", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    (fdp.ConsumeBool() ? escaping : substitution)(fdp);
    return 0;
}
