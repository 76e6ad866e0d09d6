#include "ProtocolInfo.h"

#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuMimeTypeInfo.h>

#include <cstdlib>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kuvana {

std::string Decoded::parameter(const std::string &name) const
{
    for (const auto &p : parameters)
        if (strcasecmp(p.first.c_str(), name.c_str()) == 0)
            return p.second;
    return "";
}

Decoded decode(kuDLNAProtocolInfo *info)
{
    Decoded d;
    KuString whole(kuDLNAProtocolInfo_GetStr(info));
    KuString fourth(kuDLNAProtocolInfo_GetDLNAInfoStr(info, 1));
    const char *protocol = kuDLNAProtocolInfo_S_GetProtocolStr(info);
    d.normalised = str(whole);
    d.protocol = protocol ? protocol : "";
    d.fourthField = str(fourth);
    if (!d.normalised.empty()) { // an object that composes as "" has no fields to show
        d.network = kuDLNAProtocolInfo_GetNetwork(info);
        d.contentFormat = kuDLNAProtocolInfo_GetContentFormat(info);
    }
    size_t at = 0;
    while (d.fourthField != "*" && at < d.fourthField.size()) {
        size_t end = d.fourthField.find(';', at);
        if (end == std::string::npos)
            end = d.fourthField.size();
        std::string part = d.fourthField.substr(at, end - at);
        size_t equals = part.find('=');
        d.parameters.emplace_back(part.substr(0, equals),
                                  equals == std::string::npos ? "" : part.substr(equals + 1));
        at = end + 1;
    }
    d.profileName = profileName(info);
    return d;
}

std::string profileName(const kuDLNAProtocolInfo *info)
{
    const char *name = kuDLNAProtocolInfo_GetProfileName(info);
    return name != nullptr ? name : "";
}

std::vector<std::pair<uint32_t, const char *>> flagNames()
{
    std::vector<std::pair<uint32_t, const char *>> names;
    for (uint32_t bit = 0x80000000u; bit != 0; bit >>= 1)
        if (const char *name = kuDLNAProtocolInfo_GetFlagName(bit))
            names.emplace_back(bit, name);
    return names;
}

std::string mismatch(kuDLNAProtocolInfo *a, kuDLNAProtocolInfo *b, std::string *why)
{
    uint32_t step = kuDLNAProtocolInfo_GetMismatch(a, b);
    // "playsingle-" does not change the protocol, so it is left out of the why.
    auto protocol = [](const kuDLNAProtocolInfo *info) {
        const char *text = kuDLNAProtocolInfo_S_GetProtocolStr(info);
        std::string p = text ? text : "";
        return p.compare(0, 11, "playsingle-") == 0 ? p.substr(11) : p;
    };
    auto either = [](const std::string &entry, const std::string &resource) {
        return "entry " + (entry.empty() ? "none" : entry) + ", resource " +
               (resource.empty() ? "none" : resource);
    };
    switch (step) {
    case KU_DLNA_MISMATCH_NONE:
        return "";
    case KU_DLNA_MISMATCH_PROTOCOL:
        *why = either(protocol(b), protocol(a));
        break;
    case KU_DLNA_MISMATCH_PROFILE:
        *why = either(profileName(b), profileName(a));
        break;
    default:
        *why = either(decode(b).contentFormat, decode(a).contentFormat);
        break;
    }
    return kuDLNAProtocolInfo_GetMismatchName(step);
}

int firstMatch(kuDLNAProtocolInfoList *list, const kuDLNAProtocolInfo *a)
{
    int32_t index = -1;
    kuDLNAProtocolInfoList_MatchWithRules(list, a, 0, &index, nullptr);
    return int(index);
}

std::string readList(Io &io, const std::string &argument)
{
    std::string text = readInput(io, argument);
    return argument == "-" || argument[0] == '@' ? stripComments(text) : trim(text);
}

std::string examplesDir(const std::string &option)
{
    auto isDir = [](const std::string &path) {
        struct stat s;
        return !path.empty() && stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
    };
    if (!option.empty())
        return option;
    if (const char *env = getenv("KUVANA_EXAMPLES"))
        return env;
    // Installed: <prefix>/bin/kuvana and <prefix>/share/kuvanaTools/examples;
    // otherwise the source tree the tool was built from.
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string bin(self, size_t(n));
        std::string prefix = bin.substr(0, bin.rfind('/'));
        prefix = prefix.substr(0, prefix.rfind('/'));
        std::string installed = prefix + "/" KU_INSTALL_EXAMPLES_DIR;
        if (isDir(installed))
            return installed;
    }
    return KU_EXAMPLES_DIR;
}

} // namespace kuvana
