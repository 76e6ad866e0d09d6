// protocolInfo objects as the tool shows them: decoded from what the library
// composes, with the reasons a resource does not match a sink entry.
#pragma once

#include "Cli.h"

#include <kuvanaTools/kuDLNAProfileList.h>
#include <kuvanaTools/kuDLNAProtocolInfo.h>
#include <kuvanaTools/kuDLNAProtocolInfoList.h>

namespace kuvana {

struct InfoGuard {
    explicit InfoGuard(kuDLNAProtocolInfo *info) : info(info) {}
    ~InfoGuard() { kuDLNAProtocolInfo_Delete(info); }
    InfoGuard(const InfoGuard &) = delete;
    InfoGuard &operator=(const InfoGuard &) = delete;
    kuDLNAProtocolInfo *info;
};

struct ListGuard {
    explicit ListGuard(kuDLNAProtocolInfoList *list) : list(list) {}
    ~ListGuard() { kuDLNAProtocolInfoList_Delete(list); }
    ListGuard(const ListGuard &) = delete;
    ListGuard &operator=(const ListGuard &) = delete;
    kuDLNAProtocolInfoList *list;
};

// The named bits of the first DLNA.ORG_FLAGS word.
struct FlagBit {
    uint32_t value;
    const char *name;
};
extern const FlagBit kFlagBits[15];

// An object's fields, read back from its normalised text.
struct Decoded {
    std::string normalised;     // the whole protocolInfo text (context 1)
    std::string protocol;       // "http-get", "*", ...
    std::string network;
    std::string contentFormat;
    std::string fourthField;    // as composed
    std::string profileName;    // empty when none
    std::vector<std::pair<std::string, std::string>> parameters; // fourth field, in order
    std::string parameter(const std::string &name) const;       // "" when absent
};
Decoded decode(kuDLNAProtocolInfo *info);

// The profile name of an object ("" when none).
std::string profileName(kuDLNAProtocolInfo *info);

// Why a does not play through b: "" when kuDLNAProtocolInfo_Match(a, b)
// holds, else the failing step ("protocol", "profile", "content format")
// and its detail in why.
std::string mismatch(kuDLNAProtocolInfo *a, kuDLNAProtocolInfo *b, std::string *why);

// The index of the first entry a plays through, or -1.
int firstMatch(kuDLNAProtocolInfoList *list, kuDLNAProtocolInfo *a);

// A list argument: "-" or "@FILE" read with comment lines dropped.
std::string readList(Io &io, const std::string &argument);

// The examples directory of the demo (option, environment, build tree, or
// the installed share directory).
std::string examplesDir(const std::string &option);

int demo(Io &io, const Args &args);

} // namespace kuvana
