// profiles intersect: the DLNA profiles two lists have in common.
#include "ProtocolInfo.h"

#include <algorithm>

namespace kuvana {

namespace {

// Names ("MP3,LPCM"), a profile table ("audio/mpeg:DLNA.ORG_PN=MP3,...") or a
// full protocolInfo list, told apart by the ':' in their first entry.
using ProfileListPtr = Owned<kuDLNAProfileList, kuDLNAProfileList_Delete>;

std::string profileNames(const std::string &text)
{
    std::string first = text.substr(0, text.find(','));
    size_t colons = size_t(std::count(first.begin(), first.end(), ':'));
    if (colons == 0)
        return text;
    ProfileListPtr names(kuDLNAProfileList_New());
    if (colons == 1) {
        kuDLNAProfileList_MergeDLNAProtocolInfoList(names.get(), text.c_str());
    } else {
        ListPtr list(kuDLNAProtocolInfoList_New(text.c_str()));
        std::string joined;
        for (uint32_t i = 0; i < kuDLNAProtocolInfoList_GetCount(list.get()); i++)
            joined += profileName(kuDLNAProtocolInfoList_GetProtocolInfoAt(list.get(), i)) + ",";
        kuDLNAProfileList_MergeProfileList(names.get(), joined.c_str());
    }
    KuString all(kuDLNAProfileList_GetStr(names.get()));
    return str(all);
}

int intersect(Io &io, const Args &args)
{
    args.expect(2, 2);
    ProfileListPtr a(kuDLNAProfileList_New());
    kuDLNAProfileList_MergeProfileList(a.get(), profileNames(readList(io, args[0])).c_str());
    std::string b = profileNames(readList(io, args[1]));
    KuString common(kuDLNAProfileList_GetMatchingProfileListStr(a.get(), b.c_str()));
    std::vector<std::string> names;
    for (size_t at = 0, end; !str(common).empty() && at <= str(common).size(); at = end + 1) {
        end = str(common).find(',', at);
        if (end == std::string::npos)
            end = str(common).size();
        names.push_back(str(common).substr(at, end - at));
    }
    if (args.has("--json")) {
        Json j;
        j.beginArray();
        for (const std::string &n : names)
            j.value(n);
        io.out.put(j.endArray().text());
    } else {
        for (const std::string &n : names)
            io.out.print("%s\n", n.c_str());
        if (names.empty())
            io.err.print("kuvana profiles intersect: no profile in common\n");
    }
    return names.empty() ? kFailed : kOk;
}

} // namespace

void addProfilesCommands(std::vector<Command> &commands)
{
    commands.push_back({"profiles", "intersect", "[--json] A B",
                        "the DLNA profiles that A and B have in common",
                        "A and B are profile names (MP3,LPCM), profile tables\n"
                        "(audio/mpeg:DLNA.ORG_PN=MP3,...) or protocolInfo lists.\n",
                        {kJson}, intersect});
}

} // namespace kuvana
