// Lists of protocolInfo strings and profile lists: any list text parses into
// valid entries whose composition parses back to the same list; matching,
// lookups, the protocol list and the choice of an entry for a scheme agree
// with plain walks over the entries; merging keeps every profile name;
// profile lists stay sorted and free of repeats.
#include "DLNAFuzz.h"

#include <kuvanaTools/kuDLNAProfileList.h>
#include <kuvanaTools/kuDLNAProtocolInfoList.h>
#include <kuvanaTools/kuMimeTypeInfo.h>

#include <limits.h>

#include <set>

using namespace kufuzz;

namespace {

std::vector<kuDLNAProtocolInfo *> entries(kuDLNAProtocolInfoList *list)
{
    std::vector<kuDLNAProtocolInfo *> out;
    kuPtrList *walk = kuDLNAProtocolInfoList_Lock(list);
    for (const kuPtrListNode *n = walk->head; n != nullptr; n = n->next)
        out.push_back((kuDLNAProtocolInfo *)n->data);
    kuDLNAProtocolInfoList_Unlock(list);
    KU_FUZZ_CHECK(kuDLNAProtocolInfoList_GetCount(list) == out.size());
    return out;
}

// The list's composition (context 5) parses back to a list that composes the
// same, unless an entry is one of the single-entry exceptions, or an entry
// before the last ends in a backslash (which would escape the separating
// comma).
void checkRoundTrip(kuDLNAProtocolInfoList *list)
{
    std::vector<kuDLNAProtocolInfo *> all = entries(list);
    std::string once = take(kuDLNAProtocolInfoList_GetStrForContext(list, 5));
    KU_FUZZ_CHECK(all.empty() == once.empty());
    for (size_t i = 0; i < all.size(); i++) {
        KU_FUZZ_CHECK(all[i]->valid == 1);
        if (!composesBack(all[i]))
            return;
        std::string entry = take(kuDLNAProtocolInfo_GetStrForContext(all[i], 5));
        if (i + 1 < all.size() && entry.back() == '\\')
            return;
    }
    kuDLNAProtocolInfoList *again = kuDLNAProtocolInfoList_New(Text(once).c_str());
    KU_FUZZ_CHECK(kuDLNAProtocolInfoList_GetCount(again) == all.size());
    KU_FUZZ_CHECK(take(kuDLNAProtocolInfoList_GetStrForContext(again, 5)) == once);
    kuDLNAProtocolInfoList_Delete(again);
}

// Lookups against plain walks.
void checkLookups(kuDLNAProtocolInfoList *list, kuDLNAProtocolInfo *info, const Text &name)
{
    std::vector<kuDLNAProtocolInfo *> all = entries(list);
    int matches = 0, pn = 0;
    kuDLNAProtocolInfo *byMime = nullptr, *byProfile = nullptr;
    std::string protocols;
    std::set<std::string> seen;
    for (kuDLNAProtocolInfo *e : all) {
        const char *p = kuDLNAProtocolInfo_S_GetProtocolStr(e);
        bool named = e->profileName != nullptr, given = name.length() > 0;
        matches |= kuDLNAProtocolInfo_Match(info, e);
        pn |= named && strcasecmp(e->profileName, name.c_str()) == 0;
        if (!byMime && given && !named && kuMimeTypeInfo_S_Same(e->contentFormat, name.c_str()) == 1)
            byMime = e;
        if (!byProfile && given && named && strcmp(e->profileName, name.c_str()) == 0)
            byProfile = e;
        // each protocol once, in the order of the entries (a protocol text
        // may hold ';' itself)
        if (p != nullptr && strcmp(p, "*") != 0 && seen.insert(p).second)
            protocols += (protocols.empty() ? "" : ";") + std::string(p);
    }
    KU_FUZZ_CHECK(kuDLNAProtocolInfoList_Match(list, info) == matches &&
                  kuDLNAProtocolInfoList_MatchPN(list, name.c_str()) == pn);
    KU_FUZZ_CHECK(kuDLNAProtocolInfoList_GetByMimeTypeWithoutPN(list, name.c_str()) == byMime &&
                  kuDLNAProtocolInfoList_GetByProfileInfo(list, name.c_str()) == byProfile);
    KU_FUZZ_CHECK(take(kuDLNAProtocolInfoList_GetSupportedProtocolList(list)) == protocols);
}

// The entry for a scheme, worked out the other way round: each acceptable
// entry's rank is the position of the first scheme that suits it; the
// earliest entry of the lowest rank wins, else the first acceptable entry.
int32_t bestIndex(kuDLNAProtocolInfoList *list, const std::string &schemes,
                  const std::string &protocols)
{
    std::vector<std::string> wanted = split(protocols.empty() ? "http-get" : protocols, ';');
    std::vector<std::string> order = split(schemes, ';');
    std::vector<kuDLNAProtocolInfo *> all = entries(list);
    int32_t firstAcceptable = -1, best = -1;
    size_t bestRank = SIZE_MAX;
    for (size_t i = 0; i < all.size(); i++) {
        std::string p = kuDLNAProtocolInfo_S_GetProtocolStr(all[i]);
        if (std::find(wanted.begin(), wanted.end(), p) == wanted.end())
            continue;
        firstAcceptable = firstAcceptable < 0 ? (int32_t)i : firstAcceptable;
        for (size_t rank = 0; rank < order.size() && rank < bestRank; rank++) {
            const std::string &s = order[rank];
            if (s == p || (all[i]->protocol == ku::kProtocolHttp && s == "http") ||
                (all[i]->protocol == ku::kProtocolRtsp && (s == "rtsp" || s == "rtp" || s == "udp"))) {
                bestRank = rank;
                best = (int32_t)i;
            }
        }
    }
    return best >= 0 ? best : firstAcceptable;
}

// Every profile name of the source ends up in the target; the source is
// emptied.
void merge(const Text &a, const Text &b)
{
    kuDLNAProtocolInfoList *target = kuDLNAProtocolInfoList_New(a.c_str());
    kuDLNAProtocolInfoList *source = kuDLNAProtocolInfoList_New(b.c_str());
    std::vector<std::string> names;
    for (kuDLNAProtocolInfo *e : entries(source))
        if (e->profileName != nullptr)
            names.push_back(e->profileName);
    kuDLNAProtocolInfoList_Merge(target, source);
    KU_FUZZ_CHECK(kuDLNAProtocolInfoList_GetCount(source) == 0);
    for (const std::string &name : names)
        KU_FUZZ_CHECK(kuDLNAProtocolInfoList_MatchPN(target, Text(name).c_str()) == 1);
    checkRoundTrip(target);
    kuDLNAProtocolInfoList_Delete(source);
    kuDLNAProtocolInfoList_Delete(target);
}

// An entry added and removed again, then the list replaced by a text: the
// list composes as one made from that text.
void edit(kuDLNAProtocolInfoList *list, const Text &text, FuzzedDataProvider &fdp)
{
    uint32_t count = kuDLNAProtocolInfoList_GetCount(list);
    int32_t index = fdp.ConsumeIntegralInRange<int32_t>(-2, (int32_t)count + 1);
    kuDLNAProtocolInfoList_Add(list, kuDLNAProtocolInfo_New(text.c_str(), text.length()), index);
    kuDLNAProtocolInfoList_Remove(list, index >= 0 && (uint32_t)index < count ? index : (int32_t)count);
    KU_FUZZ_CHECK(kuDLNAProtocolInfoList_GetCount(list) == count);
    kuDLNAProtocolInfoList_Update(list, text.c_str());
    kuDLNAProtocolInfoList *fresh = kuDLNAProtocolInfoList_New(text.c_str());
    KU_FUZZ_CHECK(take(kuDLNAProtocolInfoList_GetStr(list)) ==
                  take(kuDLNAProtocolInfoList_GetStr(fresh)));
    kuDLNAProtocolInfoList_Delete(fresh);
}

// The names of a text without repeats in any case, sorted (strcasecmp).
void checkSorted(const std::string &joined)
{
    if (joined.empty())
        return;
    std::vector<std::string> names = split(joined, ',');
    for (size_t i = 0; i < names.size(); i++)
        KU_FUZZ_CHECK(!names[i].empty() && !strchr(" \t", names[i].front()) &&
                      !strchr(" \t", names[i].back()) &&
                      (i == 0 || strcasecmp(names[i - 1].c_str(), names[i].c_str()) < 0));
}

void profiles(const Text &names, const Text &profileInfo, const Text &wanted)
{
    kuDLNAProfileList *list = kuDLNAProfileList_New();
    kuDLNAProfileList_MergeProfileList(list, names.c_str());
    std::string joined = take(kuDLNAProfileList_GetStr(list));
    checkSorted(joined);
    for (const std::string &name : split(names.c_str(), ',')) {
        size_t first = name.find_first_not_of(" \t"), last = name.find_last_not_of(" \t");
        if (first != std::string::npos)
            KU_FUZZ_CHECK(kuDLNAProfileList_HasProfile(
                              list, Text(name.substr(first, last - first + 1)).c_str()) == 1);
    }
    checkSorted(take(kuDLNAProfileList_GetMatchingProfileListStr(list, wanted.c_str())));
    kuDLNAProfileList_MergeDLNAProtocolInfoList(list, profileInfo.c_str());
    Text first(split(joined, ',')[0]);
    kuDLNAProfileList_Remove(list, first.c_str());
    KU_FUZZ_CHECK(first.length() == 0 || kuDLNAProfileList_HasProfile(list, first.c_str()) == 0);
    kuDLNAProfileList_Delete(list);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    Text first(kufuzz::upToZero(fdp.ConsumeRandomLengthString(2048)));
    Text second(kufuzz::upToZero(fdp.ConsumeRandomLengthString(512)));
    std::string schemes = kufuzz::upToZero(fdp.ConsumeRandomLengthString(32));
    std::string protocols = kufuzz::upToZero(fdp.ConsumeRandomLengthString(32));

    kuDLNAProtocolInfoList *list = kuDLNAProtocolInfoList_New(first.c_str());
    checkRoundTrip(list);
    kuDLNAProtocolInfo *info = kuDLNAProtocolInfo_New(second.c_str(), second.length());
    checkLookups(list, info, second);
    for (kuDLNAProtocolInfo *entry : entries(list))
        KU_FUZZ_CHECK(kuDLNAProtocolInfoList_Match(list, entry) == 1);
    kuDLNAProtocolInfo_Delete(info);
    KU_FUZZ_CHECK(kuDLNAProtocolInfoList_GetBestIndexForScheme(list, Text(schemes).c_str(),
                                                               Text(protocols).c_str()) ==
                  bestIndex(list, schemes, protocols));
    edit(list, second, fdp);
    kuDLNAProtocolInfoList_Delete(list);

    merge(first, second);
    merge(second, first);
    profiles(first, second, Text(schemes));
    profiles(second, first, Text(protocols));
    return 0;
}
