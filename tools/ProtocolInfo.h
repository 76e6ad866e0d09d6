// protocolInfo objects as the tool shows them: decoded from what the library
// composes, with the reasons a resource does not match a sink entry.
#pragma once

#include "Cli.h"

#include <kuvanaTools/kuDLNAProfileList.h>
#include <kuvanaTools/kuDLNAProtocolInfo.h>
#include <kuvanaTools/kuDLNAProtocolInfoList.h>

namespace kuvana {

using InfoPtr = Owned<kuDLNAProtocolInfo, kuDLNAProtocolInfo_Delete>;
using ListPtr = Owned<kuDLNAProtocolInfoList, kuDLNAProtocolInfoList_Delete>;

// The named bits of the first DLNA.ORG_FLAGS word, highest first, as the
// library names them.
std::vector<std::pair<uint32_t, const char *>> flagNames();

// An object's fields as the library composes them; empty for an object that
// composes as "".
struct Decoded {
    std::string normalised;     // the whole protocolInfo text (context 1)
    std::string protocol;       // "http-get", "*", ...
    std::string network;        // "*" when none
    std::string contentFormat;
    std::string fourthField;    // as composed
    std::string profileName;    // empty when none
    std::vector<std::pair<std::string, std::string>> parameters; // fourth field, in order
    std::string parameter(const std::string &name) const;       // "" when absent
};
Decoded decode(kuDLNAProtocolInfo *info);

// The profile name of an object ("" when none).
std::string profileName(const kuDLNAProtocolInfo *info);

// Why a does not play through b: "" when kuDLNAProtocolInfo_Match(a, b)
// holds, else the library's name of the failing step ("protocol",
// "profile", "content format") and both sides' values in why.
std::string mismatch(kuDLNAProtocolInfo *a, kuDLNAProtocolInfo *b, std::string *why);

// The index of the first entry a plays through strictly, or -1.
int firstMatch(kuDLNAProtocolInfoList *list, const kuDLNAProtocolInfo *a);

// A list argument: "-" or "@FILE" read with comment lines dropped.
std::string readList(Io &io, const std::string &argument);

// The examples directory of the demo (option, environment, build tree, or
// the installed share directory).
std::string examplesDir(const std::string &option);

// One item of a server's profile table: a file name, then the content
// format and fourth field (or a whole protocolInfo), and "dtcp-ip" for a
// link-protected copy as well.
struct ServerItem {
    std::string name;
    std::string profileInfo;
    bool protectedCopy = false; // the DTCP-IP variant of an item
    std::string offered;        // the server's protocolInfo
};
std::vector<ServerItem> readProfiles(const std::string &path, Io &io);

// What a server sends for the item: its profile information made into an
// object, adjusted for delivery over HTTP (or DTCP-IP), composed.
std::string offer(const ServerItem &item);

// The matching rules a renderer may follow, in bit order, and what one of
// them (or several, joined by "and") lets the renderer do with the item and
// the sink entry: "treats audio/flac as audio/x-flac".
extern const uint32_t kMatchRules[7];
std::string ruleReason(uint32_t rules, kuDLNAProtocolInfo *item, kuDLNAProtocolInfo *entry);

// What a renderer following rules does with an item (from ruleVerdicts).
struct RuleVerdict {
    uint32_t rules;     // one rule, or several needed together
    int index;          // the sink entry that plays the item, from 0; -1 for none
    std::string entry;  // its text
    std::string reason; // "plays if the renderer ...: entry N"; "" when it does not
};
// After a strict "no": one verdict for each rule that widens matching, in bit
// order, and when none plays it alone, one for the rules needed together.
// After a strict match: a verdict for adts-apart when that rule takes it away.
std::vector<RuleVerdict> ruleVerdicts(kuDLNAProtocolInfoList *sink, kuDLNAProtocolInfo *item);

// The names of the rule bits, joined by separator.
std::string ruleNames(uint32_t rules, const char *separator);

int matchBatch(Io &io, const Args &args, kuDLNAProtocolInfoList *sink);

} // namespace kuvana
