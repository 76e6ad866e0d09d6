// Matching beyond the strict rule: what each matching rule would let a
// renderer play, for protocolinfo match (and its --batch) and compat.
#include "ProtocolInfo.h"

#include <sstream>

namespace kuvana {

const uint32_t kMatchRules[7] = {
    KU_DLNA_MATCH_MIME_ALIASES,       KU_DLNA_MATCH_SUBTYPE_WILDCARD, KU_DLNA_MATCH_PROTOCOL_CASE,
    KU_DLNA_MATCH_ANY_FORMAT_PROFILE, KU_DLNA_MATCH_L16_BARE,         KU_DLNA_MATCH_PARAMETER_BLANKS,
    KU_DLNA_MATCH_ADTS_APART};

namespace {

const uint32_t kWidening = KU_DLNA_MATCH_ALL_RULES & ~KU_DLNA_MATCH_ADTS_APART;

std::string mediaType(const Decoded &d)
{
    return d.contentFormat.substr(0, d.contentFormat.find(';'));
}

std::string oneReason(uint32_t rule, const Decoded &a, const Decoded &b)
{
    switch (rule) {
    case KU_DLNA_MATCH_MIME_ALIASES:
        return "treats " + mediaType(a) + " as " + mediaType(b);
    case KU_DLNA_MATCH_SUBTYPE_WILDCARD:
        return mediaType(b).find('*') != std::string::npos
                   ? "reads " + mediaType(b) + " as a wildcard for " + mediaType(a)
                   : "reads the item's " + mediaType(a) + " as a wildcard for " + mediaType(b);
    case KU_DLNA_MATCH_PROTOCOL_CASE:
        return "reads the protocol " + a.protocol + " as " + b.protocol;
    case KU_DLNA_MATCH_ANY_FORMAT_PROFILE:
        return "lets the content format * take the profile " +
               (a.profileName.empty() ? b.profileName : a.profileName);
    case KU_DLNA_MATCH_L16_BARE:
        return "takes a bare audio/L16 as " + b.contentFormat;
    case KU_DLNA_MATCH_PARAMETER_BLANKS:
        return "ignores blanks after ';' and ','";
    case KU_DLNA_MATCH_ADTS_APART:
        return "keeps ADTS apart from MP4";
    }
    return "";
}

} // namespace

std::string ruleReason(uint32_t rules, kuDLNAProtocolInfo *item, kuDLNAProtocolInfo *entry)
{
    Decoded a = decode(item), b = decode(entry);
    std::string text;
    for (uint32_t rule : kMatchRules)
        if ((rules & rule) != 0)
            text += (text.empty() ? "" : " and ") + oneReason(rule, a, b);
    return text;
}

std::string ruleNames(uint32_t rules, const char *separator)
{
    std::string text;
    for (uint32_t rule : kMatchRules)
        if ((rules & rule) != 0)
            text += (text.empty() ? "" : separator) + std::string(kuDLNAProtocolInfo_GetMatchRuleName(rule));
    return text;
}

std::vector<RuleVerdict> ruleVerdicts(kuDLNAProtocolInfoList *sink, kuDLNAProtocolInfo *item)
{
    std::vector<RuleVerdict> verdicts;
    int32_t index = -1;
    uint32_t used = 0;
    auto verdict = [&](uint32_t rules, bool plays) {
        RuleVerdict v{rules, plays ? int(index) : -1, "", ""};
        if (plays) {
            kuDLNAProtocolInfo *entry = kuDLNAProtocolInfoList_GetProtocolInfoAt(sink, index);
            KuString text(kuDLNAProtocolInfo_GetStr(entry));
            v.entry = str(text);
            v.reason = "plays if the renderer " + ruleReason(rules, item, entry) +
                       format(": entry %d", index + 1);
        }
        verdicts.push_back(v);
    };
    if (kuDLNAProtocolInfoList_MatchWithRules(sink, item, 0, &index, nullptr)) {
        kuDLNAProtocolInfoList_MatchWithRules(sink, item, KU_DLNA_MATCH_ADTS_APART, nullptr, &used);
        if (used != 0)
            verdicts.push_back({used, -1, "", "does not play if the renderer keeps ADTS apart from MP4"});
        return verdicts;
    }
    bool alone = false;
    for (uint32_t rule : kMatchRules) {
        if ((rule & kWidening) == 0)
            continue;
        bool plays = kuDLNAProtocolInfoList_MatchWithRules(sink, item, rule, &index, &used) != 0;
        verdict(rule, plays);
        alone |= plays;
    }
    if (!alone && kuDLNAProtocolInfoList_MatchWithRules(sink, item, kWidening, &index, &used))
        verdict(used, true);
    return verdicts;
}

int matchBatch(Io &io, const Args &args, kuDLNAProtocolInfoList *sink)
{
    std::istringstream lines(readFileOrStdin(io, args.value("--batch")));
    bool json = args.has("--json");
    int status = kOk;
    size_t number = 0;
    for (std::string line; std::getline(lines, line);) {
        number++;
        line = trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        InfoPtr item(kuDLNAProtocolInfo_New(line.data(), line.size()));
        const char *state = "no";
        int32_t index = -1;
        uint32_t used = 0;
        std::string reason;
        if (decode(item.get()).normalised.empty()) {
            state = "invalid";
            reason = "not a protocolInfo string";
            status = kUsage;
        } else if (kuDLNAProtocolInfoList_MatchWithRules(sink, item.get(), 0, &index, nullptr)) {
            state = "yes";
            for (const RuleVerdict &v : ruleVerdicts(sink, item.get()))
                reason = v.reason;
        } else {
            if (status == kOk)
                status = kFailed;
            if (kuDLNAProtocolInfoList_MatchWithRules(sink, item.get(), kWidening, &index, &used)) {
                state = "rules";
                reason = "plays if the renderer " +
                         ruleReason(used, item.get(),
                                    kuDLNAProtocolInfoList_GetProtocolInfoAt(sink, index));
            }
        }
        if (json) {
            Json j;
            j.beginObject().field("line", (unsigned long)number).field("resource", line)
                .field("match", state).key("index");
            index < 0 ? j.null() : j.value(index + 1);
            j.key("rules").beginArray();
            for (uint32_t rule : kMatchRules)
                if ((used & rule) != 0)
                    j.value(kuDLNAProtocolInfo_GetMatchRuleName(rule));
            j.endArray().field("reason", reason.empty() ? nullptr : reason.c_str());
            io.out.put(j.endObject().text());
            continue;
        }
        std::string entry = index < 0 ? "-" : format("%d", index + 1);
        io.out.print("%-7s %5s  %s%s\n", state, entry.c_str(), line.c_str(),
                     reason.empty() ? "" : ("  (" + reason + ")").c_str());
    }
    return status;
}

} // namespace kuvana
