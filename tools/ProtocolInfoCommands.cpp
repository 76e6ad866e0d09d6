// protocolinfo parse|compose|match|merge|best-scheme.
#include "ProtocolInfo.h"

#include <kuvanaTools/kuMimeTypeInfo.h>
#include <kuvanaTools/kuWString.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <strings.h>

namespace kuvana {

namespace {

bool isDlnaParameter(const std::string &name)
{
    for (const char *known : {"DLNA.ORG_PN", "DLNA.ORG_OP", "DLNA.ORG_PS", "DLNA.ORG_CI",
                              "DLNA.ORG_FLAGS", "DLNA.ORG_MAXSP"})
        if (strcasecmp(name.c_str(), known) == 0)
            return true;
    return false;
}

std::vector<std::string> splitOn(const std::string &text, char separator)
{
    std::vector<std::string> pieces;
    for (size_t at = 0, end; at <= text.size(); at = end + 1) {
        end = text.find(separator, at);
        if (end == std::string::npos)
            end = text.size();
        pieces.push_back(text.substr(at, end - at));
    }
    return pieces;
}

// A DLNA parameter's value as the library reads it, to tell a rewrite in
// form (flags padded, OP digits, speeds sorted) from one in meaning.
std::string readingOf(const std::string &name, const std::string &value)
{
    std::string v = value;
    if (strcasecmp(name.c_str(), "DLNA.ORG_FLAGS") == 0) {
        v.resize(std::max<size_t>(v.size(), 32), '0');
    } else if (strcasecmp(name.c_str(), "DLNA.ORG_OP") == 0) {
        v.resize(2, '0');
    } else if (strcasecmp(name.c_str(), "DLNA.ORG_PS") == 0) {
        std::vector<std::string> speeds = splitOn(v, ',');
        std::sort(speeds.begin(), speeds.end());
        v.clear();
        for (const std::string &speed : speeds)
            v += speed + ",";
    }
    for (char &c : v)
        c = char(toupper((unsigned char)c));
    return v;
}

// What the object made of text: the parameters it left out (as written) and
// a note for every field or parameter it dropped or read otherwise.
struct Changes {
    std::vector<std::string> dropped;
    std::vector<std::string> notes;
};

Changes changesOf(const std::string &text, kuDLNAProtocolInfo *info)
{
    Changes c;
    Decoded d = decode(info);
    std::vector<std::string> fields = splitOn(text, ':');
    const char *names[] = {"protocol", "network", "content format"};
    const std::string decoded[] = {d.protocol, d.network, d.contentFormat};
    for (size_t i = 0; i < 3 && i < fields.size(); i++) {
        if (fields[i] == decoded[i])
            continue;
        c.notes.push_back(std::string("the ") + names[i] + " field " +
                          (fields[i].empty() ? "is empty" : "'" + quoteable(fields[i]) + "'") +
                          "; the library reads it as '" + quoteable(decoded[i]) + "'");
    }
    if (fields.size() > 4) {
        std::string rest = fields[3];
        for (size_t i = 4; i < fields.size(); i++)
            rest += ":" + fields[i];
        c.dropped.push_back(rest);
        c.notes.push_back("'" + quoteable(rest) + "' is not read: with a ':' in it there are more than "
                          "four fields, and the library then reads no fourth field");
        return c;
    }
    if (fields.size() < 4 || fields[3] == "*")
        return c;
    std::vector<std::string> parts = splitOn(fields[3], ';');
    for (size_t i = 0; i < parts.size(); i++) {
        const std::string &part = parts[i];
        if (part.empty()) {
            for (size_t j = i + 1; j < parts.size(); j++)
                if (!parts[j].empty()) {
                    c.dropped.push_back(parts[j]);
                    c.notes.push_back("'" + quoteable(parts[j]) + "' is not read: the library stops at "
                                      "the empty parameter before it");
                }
            break;
        }
        size_t equals = part.find('=');
        std::string name = part.substr(0, equals);
        std::string value = equals == std::string::npos ? "" : part.substr(equals + 1);
        bool dlna = isDlnaParameter(name) && std::count(part.begin(), part.end(), '=') == 1;
        bool kept = false;
        std::string stored;
        if (dlna) {
            for (const auto &p : d.parameters)
                if (strcasecmp(p.first.c_str(), name.c_str()) == 0) {
                    kept = true;
                    stored = p.second;
                }
        } else if (const char *v = kuDLNAProtocolInfo_Get4thFieldValue(info, name.c_str())) {
            kept = true;
            stored = v;
        }
        if (!kept) {
            c.dropped.push_back(part);
            c.notes.push_back("'" + quoteable(part) + "' is dropped: " +
                              (dlna ? std::string("the library does not keep that value")
                                    : "a further parameter needs a '_' in its name and a "
                                      "plain value"));
        } else if (dlna ? readingOf(name, value) != readingOf(name, stored) : value != stored) {
            c.notes.push_back("'" + quoteable(part) + "' is read as '" + quoteable(name + "=" + stored) + "'");
        }
    }
    return c;
}

// Text that no protocolInfo holds: control bytes or broken UTF-8 (binary
// data given by mistake), or nothing but separators.
void refuseUnreadable(const std::string &text)
{
    for (size_t i = 0; i < text.size(); i++)
        if ((unsigned char)text[i] < 0x20 || text[i] == 0x7f)
            inputError("the protocolInfo text holds the control byte 0x%02x at %zu: it is not "
                       "text", (unsigned char)text[i], i + 1);
    wchar_t *wide = kuWString_S_FromUTF8(text.c_str());
    bool utf8 = wide != nullptr;
    kuFree(wide);
    if (!utf8)
        inputError("the protocolInfo text is not UTF-8");
    if (text.find_first_not_of(':') == std::string::npos)
        inputError("'%s' has no field with a value", text.c_str());
}

void parseJson(Io &io, const std::string &text, kuDLNAProtocolInfo *info, const Decoded &d)
{
    KuString speeds(kuDLNAProtocolInfo_GetPlaySpeedStr(info, 0));
    std::string op = d.parameter("DLNA.ORG_OP");
    uint32_t word = kuDLNAProtocolInfo_GetFlagWord(info, 0);
    Json j;
    j.beginObject().field("text", text).field("protocol", d.protocol).field("network", d.network)
        .field("contentFormat", d.contentFormat).key("profileName");
    d.profileName.empty() ? j.null() : j.value(d.profileName);
    j.field("timeSeek", op.size() > 0 && op[0] == '1')
        .field("rangeSeek", op.size() > 1 && op[1] == '1').field("playSpeeds", speeds.get())
        .field("conversionIndicator", d.parameter("DLNA.ORG_CI") == "1")
        .key("flags");
    std::string flags = d.parameter("DLNA.ORG_FLAGS"), maxsp = d.parameter("DLNA.ORG_MAXSP");
    flags.empty() ? j.null() : j.value(flags);
    j.key("flagBits").beginObject();
    for (const auto &bit : flagNames())
        j.field(bit.second, (word & bit.first) != 0);
    j.endObject().key("maxSpeed");
    maxsp.empty() ? j.null() : j.value(maxsp);
    KuString vendor(kuDLNAProtocolInfo_GetStrFor4thField(info));
    j.field("vendorParameters", str(vendor).empty() ? nullptr : vendor.get())
        .key("dropped").beginArray();
    for (const std::string &p : changesOf(text, info).dropped)
        j.value(p);
    j.endArray().field("transferMode", kuDLNAProtocolInfo_GetTransferMode(info))
        .field("dtcpProtected", kuDLNAProtocolInfo_IsDTCPProtected(info) != 0)
        .field("wmdrmProtected", kuDLNAProtocolInfo_IsWMDRMNDProtected(info) != 0)
        .field("normalised", d.normalised);
    io.out.put(addWarnings(j, io).endObject().text());
}

int parse(Io &io, const Args &args)
{
    args.expect(1, 1);
    std::string text = trim(readInput(io, args[0]));
    refuseUnreadable(text);
    InfoPtr g(kuDLNAProtocolInfo_New(text.data(), text.size()));
    Decoded d = decode(g.get());
    if (d.normalised.empty())
        inputError("'%s' is not a protocolInfo string (it needs at least two ':'-separated "
                   "fields)", text.c_str());
    Changes changes = changesOf(text, g.get());
    for (const std::string &note : changes.notes)
        warn(io, note);
    if (args.has("--json")) {
        parseJson(io, text, g.get(), d);
        return kOk;
    }
    Output &o = io.out;
    auto line = [&](const char *label, const std::string &value) {
        o.print("%-17s %s\n", label, value.c_str());
    };
    line("protocol", d.protocol);
    line("network", d.network);
    line("content format", d.contentFormat);
    kuMimeTypeInfo *mime = kuMimeTypeInfo_New(d.contentFormat.c_str());
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(mime); i++) {
        const char *value = kuMimeTypeInfo_GetPartValue(mime, i);
        o.print("  %-15s %s\n", kuMimeTypeInfo_GetPart(mime, i), value ? value : "");
    }
    kuMimeTypeInfo_Delete(mime);
    line("profile (PN)", d.profileName.empty() ? "none" : d.profileName);
    std::string op = d.parameter("DLNA.ORG_OP");
    bool rangeSeek = op.size() > 1 && op[1] == '1';
    line("seek (OP)", op.empty() ? "none"
                                 : op + ": time seek " + (op[0] == '1' ? "yes" : "no") +
                                       ", range seek " + (rangeSeek ? "yes" : "no"));
    KuString speeds(kuDLNAProtocolInfo_GetPlaySpeedStr(g.get(), 0));
    line("play speeds (PS)", !speeds ? "none" : str(speeds));
    line("converted (CI)", d.parameter("DLNA.ORG_CI") == "1" ? "yes" : "no");
    std::string flags = d.parameter("DLNA.ORG_FLAGS");
    line("flags", flags.empty() ? "none (not DLNA 1.5)" : flags);
    if (!flags.empty()) {
        uint32_t word = kuDLNAProtocolInfo_GetFlagWord(g.get(), 0);
        std::string set, clear;
        for (const auto &bit : flagNames())
            ((word & bit.first) ? set : clear) += std::string(" ") + bit.second;
        // Names wrapped to keep lines short.
        auto names = [&](const char *label, const std::string &list) {
            std::string text = list.empty() ? " -" : list, row;
            for (size_t at = 1, end; at < text.size(); at = end + 1) {
                end = std::min(text.find(' ', at), text.size());
                if (!row.empty() && row.size() + end - at > 60) {
                    line(label, row);
                    label = "";
                    row.clear();
                }
                row += (row.empty() ? "" : " ") + text.substr(at, end - at);
            }
            line(label, row);
        };
        names("  set", set);
        names("  clear", clear);
    }
    std::string maxsp = d.parameter("DLNA.ORG_MAXSP");
    if (!maxsp.empty())
        line("max speed (MAXSP)", maxsp);
    KuString vendor(kuDLNAProtocolInfo_GetStrFor4thField(g.get()));
    if (!str(vendor).empty())
        line("vendor", str(vendor));
    for (const std::string &p : changes.dropped)
        line("dropped", p);
    line("transfer mode", kuDLNAProtocolInfo_GetTransferMode(g.get()));
    if (kuDLNAProtocolInfo_IsDTCPProtected(g.get()))
        line("protection", "DTCP-IP");
    else if (kuDLNAProtocolInfo_IsWMDRMNDProtected(g.get()))
        line("protection", "WMDRM-ND");
    line("normalised", d.normalised);
    return kOk;
}

// ----------------------------------------------------------------- compose

uint32_t flagValue(const std::string &name)
{
    std::string names;
    for (const auto &bit : flagNames()) {
        if (strcasecmp(bit.second, name.c_str()) == 0)
            return bit.first;
        names += std::string(" ") + bit.second;
    }
    usageError("unknown flag '%s' (one of:%s)", name.c_str(), names.c_str());
}

int compose(Io &io, const Args &args)
{
    args.expect(0, 1);
    std::string text;
    if (args.count() == 1) {
        text = args[0]; // content format and fourth field, as a profile table has them
    } else {
        std::string contentType = args.value("--format");
        if (contentType.empty())
            usageError("give --format MIME (or PROFILE-INFO as an argument)");
        std::string fourth;
        auto add = [&](const std::string &name, const std::string &value) {
            if (!value.empty())
                fourth += (fourth.empty() ? "" : ";") + name + "=" + value;
        };
        add("DLNA.ORG_PN", args.value("--pn"));
        add("DLNA.ORG_OP", args.value("--op"));
        add("DLNA.ORG_PS", args.value("--ps"));
        add("DLNA.ORG_CI", args.value("--ci"));
        std::string flags = args.value("--flags");
        if (args.has("--flag")) {
            uint32_t word = 0x00100000u; // DLNA 1.5
            for (const std::string &name : args.values("--flag"))
                word |= flagValue(name);
            flags = format("%08X%024d", word, 0);
        }
        add("DLNA.ORG_FLAGS", flags);
        add("DLNA.ORG_MAXSP", args.value("--maxsp"));
        for (const std::string &param : args.values("--param")) {
            if (param.find('=') == std::string::npos)
                usageError("--param '%s' is not NAME=VALUE", param.c_str());
            fourth += (fourth.empty() ? "" : ";") + param;
        }
        text = contentType + ":" + (fourth.empty() ? "*" : fourth);
    }
    std::string protocol = args.value("--protocol", "http-get");
    std::string network = args.value("--network", "*");
    std::string whole = protocol + ":" + network + ":" + text;
    refuseUnreadable(whole);
    InfoPtr g(kuDLNAProtocolInfo_New(whole.data(), whole.size()));
    for (const std::string &note : changesOf(whole, g.get()).notes)
        warn(io, note);
    if (args.has("--dtcp")) {
        std::string target = args.value("--dtcp");
        size_t colon = target.rfind(':');
        if (colon == std::string::npos || colon == 0)
            usageError("--dtcp '%s' is not HOST:PORT", target.c_str());
        unsigned long port = parseNumber(target.substr(colon + 1), 65535, "port");
        kuDLNAProtocolInfo_AdjustForDTCPIP(g.get(), target.substr(0, colon).c_str(), uint32_t(port));
        kuDLNAProtocolInfo_ConvertProfileNameToDTCP(g.get());
    } else if (args.has("--adjust")) {
        kuDLNAProtocolInfo_Adjust(g.get());
    }
    int context = int(parseNumber(args.value("--context", "1"), 7, "context"));
    KuString composed(kuDLNAProtocolInfo_GetStrForContext(g.get(), context));
    if (str(composed).empty())
        inputError("'%s' does not make a protocolInfo string", whole.c_str());
    if (args.has("--json"))
        io.out.put(addWarnings(Json().beginObject().field("protocolInfo", composed.get()), io)
                       .endObject().text());
    else
        io.out.print("%s\n", composed.get());
    return kOk;
}

} // namespace

namespace {

// ------------------------------------------------------------------- match

// The sink list: the second argument, or --sink FILE ("-": standard input).
std::string sinkList(Io &io, const Args &args, size_t index)
{
    if (args.has("--sink")) {
        if (args.count() > index)
            usageError("give the sink list either as an argument or with --sink");
        return stripComments(readFileOrStdin(io, args.value("--sink")));
    }
    if (args.count() <= index)
        usageError("missing sink list (an argument, '-', '@FILE' or --sink FILE)");
    return readList(io, args[index]);
}

void addRules(Json &j, const std::vector<RuleVerdict> &verdicts)
{
    j.key("rules").beginArray();
    for (const RuleVerdict &v : verdicts) {
        j.beginObject().field("rule", ruleNames(v.rules, "+")).field("plays", v.index >= 0).key("index");
        v.index < 0 ? j.null() : j.value(v.index + 1);
        j.field("entry", v.index < 0 ? nullptr : v.entry.c_str())
            .field("reason", v.reason.empty() ? nullptr : v.reason.c_str()).endObject();
    }
    j.endArray();
}

void printRules(Io &io, const std::vector<RuleVerdict> &verdicts)
{
    if (verdicts.empty())
        return;
    io.out.put("under matching rules (renderers that accept more than the strict match):\n");
    std::string without;
    for (const RuleVerdict &v : verdicts) {
        if (v.reason.empty())
            without += (without.empty() ? "" : ", ") + ruleNames(v.rules, "+");
        else
            io.out.print("  %s: %s\n", ruleNames(v.rules, "+").c_str(), v.reason.c_str());
    }
    if (!without.empty())
        io.out.print("  does not play under %s\n", without.c_str());
}

int match(Io &io, const Args &args)
{
    if (args.has("--batch")) {
        args.expect(0, 1);
        ListPtr sink(kuDLNAProtocolInfoList_New(sinkList(io, args, 0).c_str()));
        if (kuDLNAProtocolInfoList_GetCount(sink.get()) == 0)
            inputError("the sink list has no valid entry");
        return matchBatch(io, args, sink.get());
    }
    args.expect(1, 2);
    std::string resource = trim(readInput(io, args[0]));
    refuseUnreadable(resource);
    ListPtr asList(kuDLNAProtocolInfoList_New(resource.c_str()));
    if (kuDLNAProtocolInfoList_GetCount(asList.get()) > 1)
        inputError("the resource '%s' is a list of %u entries: give one protocolInfo",
                   resource.c_str(), kuDLNAProtocolInfoList_GetCount(asList.get()));
    InfoPtr a(kuDLNAProtocolInfo_New(resource.data(), resource.size()));
    if (decode(a.get()).normalised.empty())
        inputError("'%s' is not a protocolInfo string", resource.c_str());
    for (const std::string &note : changesOf(resource, a.get()).notes)
        warn(io, note);
    ListPtr sink(kuDLNAProtocolInfoList_New(sinkList(io, args, 1).c_str()));
    uint32_t count = kuDLNAProtocolInfoList_GetCount(sink.get());
    if (count == 0)
        inputError("the sink list has no valid entry");
    int found = firstMatch(sink.get(), a.get());
    bool all = args.has("--all");
    std::vector<RuleVerdict> verdicts = ruleVerdicts(sink.get(), a.get());

    struct Miss {
        uint32_t index;
        std::string step, why, entry;
    };
    std::vector<Miss> misses;
    std::map<std::string, int> byStep;
    for (uint32_t i = 0; found < 0 && i < count; i++) {
        kuDLNAProtocolInfo *entry = kuDLNAProtocolInfoList_GetProtocolInfoAt(sink.get(), i);
        Miss m{i + 1, "", "", decode(entry).normalised};
        m.step = mismatch(a.get(), entry, &m.why);
        byStep[m.step]++;
        misses.push_back(m);
    }
    if (args.has("--json")) {
        Json j;
        j.beginObject().field("resource", resource).field("entries", count)
            .field("matched", found >= 0);
        KuString text(found < 0 ? nullptr
                                : kuDLNAProtocolInfo_GetStr(kuDLNAProtocolInfoList_GetProtocolInfoAt(
                                      sink.get(), uint32_t(found))));
        j.key("index");
        found < 0 ? j.null() : j.value(found + 1);
        j.field("entry", text.get()).key("mismatches").beginArray();
        for (const Miss &m : misses)
            j.beginObject().field("index", m.index).field("step", m.step).field("why", m.why)
                .field("entry", m.entry).endObject();
        j.endArray();
        addRules(j, verdicts);
        io.out.put(addWarnings(j, io).endObject().text());
        return found >= 0 ? kOk : kFailed;
    }
    if (found >= 0) {
        KuString text(kuDLNAProtocolInfo_GetStr(
            kuDLNAProtocolInfoList_GetProtocolInfoAt(sink.get(), uint32_t(found))));
        io.out.print("match: entry %d of %u: %s\n", found + 1, count, text.get());
        printRules(io, verdicts);
        return kOk;
    }
    io.out.print("no match among %u entries:", count);
    const char *separator = " ";
    for (const auto &step : byStep) {
        io.out.print("%s%d differ in %s", separator, step.second, step.first.c_str());
        separator = ", ";
    }
    io.out.put("\n");
    // The near misses say the most: a matching profile or the same media type.
    kuMimeTypeInfo *mime = kuMimeTypeInfo_New(decode(a.get()).contentFormat.c_str());
    std::string type = kuMimeTypeInfo_GetMimeType(mime);
    kuMimeTypeInfo_Delete(mime);
    size_t shown = 0;
    for (const Miss &m : misses) {
        std::string field = ":" + type + ":";
        bool near = m.step == "content format" ||
                    (m.step == "profile" && strcasestr(m.entry.c_str(), field.c_str()));
        if (!all && (!near || shown == 12))
            continue;
        io.out.print("  #%-4u %-14s %s\n         %s\n", m.index, m.step.c_str(), m.why.c_str(),
                     m.entry.c_str());
        shown++;
    }
    if (!all && shown < misses.size())
        io.out.print("  (%zu more; --all lists every entry)\n", misses.size() - shown);
    printRules(io, verdicts);
    return kFailed;
}

// ------------------------------------------------------- merge, best-scheme

void printList(Io &io, const Args &args, kuDLNAProtocolInfoList *list)
{
    if (args.has("--list")) {
        KuString text(kuDLNAProtocolInfoList_GetStrForContext(list, 5));
        io.out.print("%s\n", text.get());
        return;
    }
    Json j;
    j.beginArray();
    for (uint32_t i = 0; i < kuDLNAProtocolInfoList_GetCount(list); i++) {
        KuString text(kuDLNAProtocolInfo_GetStr(kuDLNAProtocolInfoList_GetProtocolInfoAt(list, i)));
        if (args.has("--json"))
            j.value(text.get());
        else
            io.out.print("%3u  %s\n", i + 1, text.get());
    }
    if (args.has("--json"))
        io.out.put(j.endArray().text());
}

int merge(Io &io, const Args &args)
{
    args.expect(2, 2);
    ListPtr target(kuDLNAProtocolInfoList_New(readList(io, args[0]).c_str()));
    kuDLNAProtocolInfoList_MergeStr(target.get(), readList(io, args[1]).c_str());
    printList(io, args, target.get());
    return kOk;
}

int bestScheme(Io &io, const Args &args)
{
    args.expect(2, 2);
    ListPtr list(kuDLNAProtocolInfoList_New(readList(io, args[0]).c_str()));
    std::string protocols = args.value("--protocols", "http-get");
    int32_t index = kuDLNAProtocolInfoList_GetBestIndexForScheme(list.get(), args[1].c_str(),
                                                                 protocols.c_str());
    std::string entry;
    if (index >= 0) {
        KuString text(kuDLNAProtocolInfo_GetStr(
            kuDLNAProtocolInfoList_GetProtocolInfoAt(list.get(), uint32_t(index))));
        entry = str(text);
    }
    if (args.has("--json")) {
        Json j;
        j.beginObject().key("index");
        index < 0 ? j.null() : j.value(index + 1);
        j.key("entry");
        index < 0 ? j.null() : j.value(entry);
        io.out.put(addWarnings(j, io).endObject().text());
    } else if (index >= 0) {
        io.out.print("entry %d: %s\n", index + 1, entry.c_str());
    } else {
        io.err.print("kuvana protocolinfo best-scheme: no entry has an acceptable protocol "
                     "('%s')\n", quoteable(protocols).c_str());
    }
    return index >= 0 ? kOk : kFailed;
}

} // namespace

void addProtocolInfoCommands(std::vector<Command> &commands)
{
    commands.push_back({"protocolinfo", "parse", "[--json] PROTOCOLINFO",
                        "a protocolInfo string decoded field by field and normalised", "",
                        {kJson}, parse});
    commands.push_back(
        {"protocolinfo", "compose",
         "[--json] [--protocol P] [--network N] (--format MIME [--pn PN] [--op OP] [--ps LIST] "
         "[--ci 0|1] [--flag NAME]... [--flags HEX] [--maxsp N.F] [--param NAME=VALUE]... | "
         "PROFILE-INFO) [--adjust | --dtcp HOST:PORT] [--context N]",
         "a protocolInfo string built from its fields",
         "PROFILE-INFO is a content format and fourth field (audio/mpeg:DLNA.ORG_PN=MP3).\n"
         "--flag names a DLNA.ORG_FLAGS bit (senderPaced, tmStreaming, httpStalling, ...)\n"
         "and sets DLNA 1.5. --adjust sets the transfer mode, seek and stalling flags as a\n"
         "server would; --dtcp does that for link-protected delivery. --context 2 writes\n"
         "only the profile name, 5 joins play speeds by backslash-comma.\n",
         {kJson, {"--protocol", true}, {"--network", true}, {"--format", true}, {"--pn", true},
          {"--op", true}, {"--ps", true}, {"--ci", true}, {"--flag", true}, {"--flags", true},
          {"--maxsp", true}, {"--param", true}, {"--adjust", false}, {"--dtcp", true},
          {"--context", true}},
         compose});
    commands.push_back({"protocolinfo", "match",
                        "[--json] [--all] (RESOURCE | --batch FILE) (SINK-LIST | --sink FILE)",
                        "whether a renderer's sink list plays a resource, and through which entry",
                        "Exit status 0 on a match. Without one, the entries that came closest\n"
                        "are shown with the step that failed (protocol, profile, content format);\n"
                        "--all shows every entry. In a sink file, lines starting with '#' are\n"
                        "comments. After a strict \"no\", each matching rule a renderer may follow\n"
                        "(MIME aliases, subtype wildcards, ...) is tried and named with the entry\n"
                        "that would play the resource; the exit status stays that of the strict\n"
                        "match. --batch FILE matches one resource a line ('#' comments) and\n"
                        "prints one line (with --json one JSON object) each: yes, rules or no;\n"
                        "exit status 0 when every resource matches strictly.\n",
                        {kJson, {"--all", false}, {"--sink", true}, {"--batch", true}}, match});
    commands.push_back({"protocolinfo", "merge", "[--json | --list] LIST-A LIST-B",
                        "list B's entries merged into list A",
                        "--list prints the merged list as one text (play speeds kept).\n",
                        {kJson, {"--list", false}}, merge});
    commands.push_back({"protocolinfo", "best-scheme", "[--json] [--protocols P;Q] LIST SCHEMES",
                        "the entry to use for URI schemes in order of preference (rtsp;http)",
                        "--protocols lists the acceptable protocols (default http-get).\n",
                        {kJson, {"--protocols", true}}, bestScheme});
}

} // namespace kuvana
