// DLNA protocolInfo strings: any bytes parse without reading past their
// length; a composition parses back to an object with the same fields that
// composes the same; matching, merging and adjusting keep the object's
// contract (sorted speeds, a composition that parses back).
#include "DLNAFuzz.h"

using namespace kufuzz;

namespace {

kuDLNAProtocolInfo *parse(const std::string &text)
{
    Bytes exact(text.data(), text.size());
    kuDLNAProtocolInfo *info = kuDLNAProtocolInfo_New(exact.data(), exact.size());
    KU_FUZZ_CHECK(info != nullptr);
    return info;
}

// What the object promises whatever it went through.
void checkObject(kuDLNAProtocolInfo *info)
{
    for (uint32_t k = 1; k < info->playSpeeds.count; k++)
        KU_FUZZ_CHECK(info->playSpeeds.items[k - 1].value <= info->playSpeeds.items[k].value);
    for (int context : {0, 1, 2, 4})
        KU_FUZZ_CHECK(take(kuDLNAProtocolInfo_GetStrForContext(info, context)).empty() == !info->valid);
    if (info->valid != 0 && info->contentFormat != nullptr)
        KU_FUZZ_CHECK(kuDLNAProtocolInfo_Match(info, info) == 1);
}

// The composition parses back to the same fields and composes the same.
void checkRoundTrip(kuDLNAProtocolInfo *info)
{
    checkObject(info);
    std::string once = take(kuDLNAProtocolInfo_GetStrForContext(info, 5));
    if (!composesBack(info))
        return;
    kuDLNAProtocolInfo *again = parse(once);
    checkObject(again);
    KU_FUZZ_CHECK(fields(info) == fields(again));
    KU_FUZZ_CHECK(take(kuDLNAProtocolInfo_GetStrForContext(again, 5)) == once);
    KU_FUZZ_CHECK(kuDLNAProtocolInfo_Match(info, again) == 1);
    kuDLNAProtocolInfo_Delete(again);
}

// The target gains the source's capabilities and keeps its contract.
void merge(const std::string &a, const std::string &b)
{
    kuDLNAProtocolInfo *target = parse(a), *source = parse(b);
    uint32_t hadCI = target->conversionIndicator;
    kuDLNAProtocolInfo_Merge(target, source);
    KU_FUZZ_CHECK(target->conversionIndicator == (source->conversionIndicator != 0 ? 1 : hadCI));
    KU_FUZZ_CHECK(target->timeSeek >= source->timeSeek && target->rangeSeek >= source->rangeSeek);
    for (int w = 0; w < 4; w++)
        KU_FUZZ_CHECK((target->flagWords[w] & source->flagWords[w]) == source->flagWords[w]);
    checkRoundTrip(target);
    checkRoundTrip(source);

    kuDLNAProtocolInfo *mapped = parse(a);
    kuDLNAProtocolInfo_MergeWithMediaMapper(mapped, source);
    checkRoundTrip(mapped);
    kuDLNAProtocolInfo_Delete(mapped);
    kuDLNAProtocolInfo_Delete(source);
    kuDLNAProtocolInfo_Delete(target);
}

void adjust(const std::string &text, FuzzedDataProvider &fdp)
{
    kuDLNAProtocolInfo *info = parse(text);
    kuDLNAProtocolInfo_SetWebServerSupportHTTPConnectionStalling(info, fdp.ConsumeIntegral<int8_t>());
    kuDLNAProtocolInfo_Adjust(info);
    checkRoundTrip(info);
    kuDLNAProtocolInfo_AdjustForWMDRMND(info);
    kuDLNAProtocolInfo_ConvertProfileNameToDTCP(info);
    checkRoundTrip(info);
    kuDLNAProtocolInfo_Delete(info);

    std::string host = kufuzz::upToZero(fdp.ConsumeRandomLengthString(24));
    uint32_t port = fdp.ConsumeIntegral<uint32_t>();
    info = parse(text);
    kuDLNAProtocolInfo_AdjustForDTCPIP(info, Text(host).c_str(), port);
    KU_FUZZ_CHECK(kuDLNAProtocolInfo_IsDTCPProtected(info) == (info->contentFormat != nullptr));
    // Only a plain host stays inside the content-format field.
    bool plain = host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
                 std::string::npos;
    (plain ? checkRoundTrip : checkObject)(info);
    kuDLNAProtocolInfo_Delete(info);
}

// Transfer modes, clear-text seek and further parameters set by hand.
void setters(const std::string &text, FuzzedDataProvider &fdp)
{
    kuDLNAProtocolInfo *info = parse(text);
    int mode = fdp.ConsumeIntegralInRange<int>(-1, 3);
    kuDLNAProtocolInfo_SetTransmitMode(info, mode);
    kuDLNAProtocolInfo_SupportClearTextByteSeek(info, fdp.ConsumeIntegralInRange<int>(0, 2));

    std::string name = kufuzz::upToZero(fdp.ConsumeRandomLengthString(16));
    std::string value = kufuzz::upToZero(fdp.ConsumeRandomLengthString(16));
    Text n(name), v(value);
    kuDLNAProtocolInfo_Set4thFieldValue(info, n.c_str(), v.c_str());
    const char *stored = kuDLNAProtocolInfo_Get4thFieldValue(info, n.c_str());
    KU_FUZZ_CHECK(name.empty() || (stored != nullptr && value == stored));
    kuDLNAProtocolInfo_Remove4thFieldByName(info, n.c_str());
    KU_FUZZ_CHECK(kuDLNAProtocolInfo_Get4thFieldValue(info, n.c_str()) == nullptr);
    Owned<char> fromText(kuDLNAProtocolInfo_S_Get4thFieldValueFromStr(Text(text).c_str(), n.c_str()));
    kuDLNAProtocolInfo_Remove4thField(info);
    kuDLNAProtocolInfo_RemovePlaySpeedSupport(info);
    checkRoundTrip(info);
    kuDLNAProtocolInfo_Delete(info);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    std::string first = fdp.ConsumeRandomLengthString(1024);
    std::string second = fdp.ConsumeRandomLengthString(512);

    kuDLNAProtocolInfo *info = parse(first);
    checkRoundTrip(info);
    kuDLNAProtocolInfo *other = parse(second);
    checkObject(other);
    kuDLNAProtocolInfo_Match(info, other);
    kuDLNAProtocolInfo_Match(other, info);
    if (other->profileName != nullptr)
        KU_FUZZ_CHECK(kuDLNAProtocolInfo_MatchPN(info, other->profileName) ==
                      (info->profileName != nullptr &&
                       strcasecmp(info->profileName, other->profileName) == 0));
    kuDLNAProtocolInfo_Delete(other);
    kuDLNAProtocolInfo_Delete(info);

    // The profile-info form always makes a valid http-get entry.
    Bytes profile(second.data(), second.size());
    info = kuDLNAProtocolInfo_NewFromProfileInfo(profile.data(), profile.size());
    KU_FUZZ_CHECK(info->valid == 1 && info->protocol == ku::kProtocolHttp);
    checkRoundTrip(info);
    kuDLNAProtocolInfo_Delete(info);

    int base = fdp.ConsumeIntegralInRange<int>(-1, 40);
    kuDLNAProtocolInfo_S_StrToUInt32(base, profile.data(), profile.size());

    merge(first, second);
    adjust(first, fdp);
    setters(first, fdp);
    return 0;
}
