// MIME types: any text parses, its composition parses to the same
// composition, and the comparison accepts what the object describes.
#include "FuzzUtil.h"

#include <kuvanaTools/kuMimeTypeInfo.h>

using kufuzz::Owned;
using kufuzz::Text;

namespace {

// Values holding a double quote or (once unquoted) a ';' change on the way
// through the unquoted composition, so only the others must come back.
bool composesBack(const kuMimeTypeInfo *info)
{
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(info); i++) {
        const char *value = kuMimeTypeInfo_GetPartValue(info, i);
        if (value != nullptr && strpbrk(value, "\";") != nullptr)
            return false;
    }
    return true;
}

// Parsed names never hold a ';'; added ones may.
void checkObject(const kuMimeTypeInfo *info, bool parsed)
{
    uint32_t count = kuMimeTypeInfo_GetPartCount(info);
    for (uint32_t i = 0; i < count; i++) {
        const char *name = kuMimeTypeInfo_GetPart(info, i);
        KU_FUZZ_CHECK(name != nullptr && name[0] != '\0' && (!parsed || !strchr(name, ';')));
        KU_FUZZ_CHECK(kuMimeTypeInfo_HasPart(info, name) == 1);
        Owned<char> byName(kuMimeTypeInfo_GetPartValueByName(info, name));
    }
    KU_FUZZ_CHECK(kuMimeTypeInfo_GetPart(info, count) == nullptr);
}

void parseAndCompose(const Text &text)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New(text.c_str());
    KU_FUZZ_CHECK(info != nullptr);
    checkObject(info, true);
    Text composed(kufuzz::take(kuMimeTypeInfo_Get(info)));
    if (composesBack(info)) {
        kuMimeTypeInfo *reparsed = kuMimeTypeInfo_New(composed.c_str());
        KU_FUZZ_CHECK(kufuzz::take(kuMimeTypeInfo_Get(reparsed)) == composed.c_str());
        KU_FUZZ_CHECK(kuMimeTypeInfo_SameAs(info, composed.c_str()) == 1 &&
                      kuMimeTypeInfo_SameAs(reparsed, composed.c_str()) == 1);
        kuMimeTypeInfo_Delete(reparsed);
    }
    kuMimeTypeInfo_Delete(info);
}

// Parameters added by the caller compose and parse back the same way.
void addParts(const Text &text, FuzzedDataProvider &fdp)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New(text.c_str());
    while (fdp.remaining_bytes() > 0) {
        std::string name = kufuzz::upToZero(fdp.ConsumeRandomLengthString(16));
        std::string value = kufuzz::upToZero(fdp.ConsumeRandomLengthString(16));
        uint32_t before = kuMimeTypeInfo_GetPartCount(info);
        kuMimeTypeInfo_AddPart(info, Text(name).c_str(),
                               fdp.ConsumeBool() ? nullptr : Text(value).c_str());
        KU_FUZZ_CHECK(kuMimeTypeInfo_GetPartCount(info) == before + !name.empty());
    }
    checkObject(info, false);
    Owned<char> composed(kuMimeTypeInfo_Get(info));
    kuMimeTypeInfo *reparsed = kuMimeTypeInfo_New(composed.get());
    checkObject(reparsed, true);
    kuMimeTypeInfo_Delete(reparsed);
    kuMimeTypeInfo_Delete(info);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    std::string first = kufuzz::upToZero(fdp.ConsumeRandomLengthString(512));
    Text a(first);
    parseAndCompose(a);
    std::string second = kufuzz::upToZero(fdp.ConsumeRandomLengthString(512));
    Text b(second);
    int same = kuMimeTypeInfo_S_Same(a.c_str(), b.c_str());
    KU_FUZZ_CHECK(same == 0 || same == 1);
    addParts(a, fdp);
    return 0;
}
