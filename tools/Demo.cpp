// kuvana demo: the library's typical request end to end. A media server
// turns its profile table into protocolInfo strings; a renderer parses its
// sink list and decides, item by item, what it can play.
#include "ProtocolInfo.h"

#include <kuvanaTools/kuMimeTypeInfo.h>

#include <sstream>
#include <unistd.h>

namespace kuvana {

namespace {

// Where a link-protected copy says it is served from.
const char *kDtcpHost = "192.168.1.10";
const uint32_t kDtcpPort = 8000;

} // namespace

std::vector<ServerItem> readProfiles(const std::string &path, Io &io)
{
    std::vector<ServerItem> items;
    std::istringstream lines(readFileOrStdin(io, path));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        ServerItem item;
        std::string flag;
        if (!(words >> item.name) || item.name[0] == '#')
            continue;
        if (!(words >> item.profileInfo))
            inputError("'%s': an item needs a name and a content format", line.c_str());
        bool dtcp = bool(words >> flag) && flag == "dtcp-ip";
        items.push_back(item);
        if (dtcp) {
            item.protectedCopy = true;
            items.push_back(item);
        }
    }
    return items;
}

std::string offer(const ServerItem &item)
{
    // A whole protocolInfo starts with a protocol, which holds no '/'.
    const std::string &text = item.profileInfo;
    size_t colon = text.find(':');
    bool whole = colon != std::string::npos && text.find('/') > colon;
    InfoPtr info(whole ? kuDLNAProtocolInfo_New(text.data(), text.size())
                         : kuDLNAProtocolInfo_NewFromProfileInfo(text.data(), text.size()));
    if (item.protectedCopy) {
        kuDLNAProtocolInfo_AdjustForDTCPIP(info.get(), kDtcpHost, kDtcpPort);
        kuDLNAProtocolInfo_ConvertProfileNameToDTCP(info.get());
    } else {
        kuDLNAProtocolInfo_Adjust(info.get());
    }
    KuString composed(kuDLNAProtocolInfo_GetStr(info.get()));
    return str(composed);
}

namespace {

struct Item : ServerItem {
    int entry = -1;             // the sink entry that plays it, from 0
    std::string matchedEntry;
    std::string reason;         // why nothing plays it
};

// What the renderer makes of the offer: the first entry that plays it, or
// a short reason why none does.
void decide(kuDLNAProtocolInfoList *sink, Item &item)
{
    InfoPtr received(kuDLNAProtocolInfo_New(item.offered.data(), item.offered.size()));
    if (!kuDLNAProtocolInfoList_Match(sink, received.get())) {
        std::string type = decode(received.get()).contentFormat;
        kuMimeTypeInfo *mime = kuMimeTypeInfo_New(type.c_str());
        type = kuMimeTypeInfo_GetMimeType(mime);
        kuMimeTypeInfo_Delete(mime);
        std::string pn = profileName(received.get());
        bool typeKnown = false;
        for (uint32_t i = 0; i < kuDLNAProtocolInfoList_GetCount(sink) && !typeKnown; i++) {
            kuDLNAProtocolInfo *entry = kuDLNAProtocolInfoList_GetProtocolInfoAt(sink, i);
            typeKnown = kuDLNAProtocolInfo_GetMismatch(received.get(), entry) ==
                            KU_DLNA_MISMATCH_PROFILE &&
                        decode(entry).contentFormat.compare(0, type.size(), type) == 0;
        }
        item.reason = typeKnown && !pn.empty() ? "no sink entry for the profile " + pn
                                               : "no sink entry takes " + type;
        return;
    }
    item.entry = firstMatch(sink, received.get());
    KuString text(kuDLNAProtocolInfo_GetStr(
        kuDLNAProtocolInfoList_GetProtocolInfoAt(sink, uint32_t(item.entry))));
    item.matchedEntry = str(text);
}

// A path as the user would type it: relative when it lies below the current
// directory.
std::string shown(const std::string &path)
{
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr)
        return path;
    std::string prefix = std::string(cwd) + "/";
    return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

std::string sourceLine(const std::string &text)
{
    size_t at = text.find("# source:");
    if (at == std::string::npos)
        return "";
    return trim(text.substr(at + 9, text.find('\n', at) - at - 9));
}

int demo(Io &io, const Args &args)
{
    args.expect(0, 0);
    std::string dir = examplesDir(args.value("--examples"));
    std::string profilesPath = dir + "/server-profiles.txt";
    std::string sinkPath = dir + "/renderer-sink.txt";
    std::vector<Item> items;
    for (const ServerItem &read : readProfiles(profilesPath, io))
        items.push_back(Item{read, -1, "", ""});
    std::string sinkText = readFileOrStdin(io, sinkPath);
    ListPtr sink(kuDLNAProtocolInfoList_New(stripComments(sinkText).c_str()));
    uint32_t entries = kuDLNAProtocolInfoList_GetCount(sink.get());
    if (items.empty() || entries == 0)
        inputError("'%s' has no items or '%s' no sink entries", profilesPath.c_str(),
                   sinkPath.c_str());
    int playable = 0;
    for (Item &item : items) {
        item.offered = offer(item);
        decide(sink.get(), item);
        playable += item.entry >= 0;
    }
    KuString protocols(kuDLNAProtocolInfoList_GetSupportedProtocolList(sink.get()));

    if (args.has("--json")) {
        Json j;
        j.beginObject().field("renderer", sinkPath).field("sinkEntries", entries)
            .field("protocols", protocols.get()).key("items").beginArray();
        for (const Item &item : items) {
            j.beginObject().field("name", item.name).field("dtcp", item.protectedCopy)
                .field("profileInfo", item.profileInfo).field("offered", item.offered)
                .field("plays", item.entry >= 0);
            bool plays = item.entry >= 0;
            j.key("sinkEntry");
            plays ? j.value(item.entry + 1) : j.null();
            j.field("entry", plays ? item.matchedEntry.c_str() : nullptr)
                .field("reason", plays ? nullptr : item.reason.c_str());
            j.endObject();
        }
        j.endArray().field("playable", playable);
        io.out.put(addWarnings(j, io).endObject().text());
        return kOk;
    }
    Output &o = io.out;
    o.print("A media server offers %zu items; a renderer decides which it can play.\n\n",
            items.size());
    o.print("server    %s: the profile table made into protocolInfo strings\n"
            "          (kuDLNAProtocolInfo_NewFromProfileInfo, _Adjust; DTCP-IP copies:\n"
            "          _AdjustForDTCPIP %s:%u, _ConvertProfileNameToDTCP)\n",
            shown(profilesPath).c_str(), kDtcpHost, kDtcpPort);
    o.print("renderer  %s: %u sink entries (%s),\n"
            "          each offer checked with kuDLNAProtocolInfoList_Match\n",
            shown(sinkPath).c_str(), entries, protocols.get());
    std::string source = sourceLine(sinkText);
    if (!source.empty())
        o.print("          sink list from %s\n", source.c_str());
    o.put("\n");
    for (const Item &item : items) {
        std::string name = item.name + (item.protectedCopy ? " (DTCP-IP)" : "");
        if (item.entry >= 0)
            o.print("%-20s plays via sink entry %d: %s\n", name.c_str(), item.entry + 1,
                    item.matchedEntry.c_str());
        else
            o.print("%-20s does not play: %s\n", name.c_str(), item.reason.c_str());
        o.print("%-20s offered %s\n", "", item.offered.c_str());
    }
    o.print("\n%d of %zu offers play on this renderer.\n", playable, items.size());
    return kOk;
}

} // namespace

void addDemoCommand(std::vector<Command> &commands)
{
    commands.push_back({"demo", "", "[--json] [--examples DIR]",
                        "a server's items matched against a renderer's sink list",
                        "Reads server-profiles.txt and renderer-sink.txt from the examples\n"
                        "directory, turns every item into the protocolInfo a server offers\n"
                        "and shows which sink entry of the renderer plays it.\n",
                        {kJson, {"--examples", true}}, demo});
}

} // namespace kuvana
