#include "ProtocolInfo.h"

#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuMimeTypeInfo.h>

#include <cstdlib>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kuvana {

const FlagBit kFlagBits[15] = {
    {0x80000000u, "senderPaced"},   {0x40000000u, "lopNpt"},
    {0x20000000u, "lopBytes"},      {0x10000000u, "playContainer"},
    {0x08000000u, "s0Increasing"},  {0x04000000u, "sNIncreasing"},
    {0x02000000u, "rtspPause"},     {0x01000000u, "tmStreaming"},
    {0x00800000u, "tmInteractive"}, {0x00400000u, "tmBackground"},
    {0x00200000u, "httpStalling"},  {0x00100000u, "dlnaV15"},
    {0x00010000u, "linkProtected"}, {0x00008000u, "clearTextByteSeekFull"},
    {0x00004000u, "lopClearTextBytes"},
};

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
    // protocol ":" network ":" content format ":" fourth field; the network
    // never holds ':', the content format may.
    size_t start = d.protocol.size() + 1;
    size_t networkEnd = d.normalised.find(':', start);
    size_t formatEnd = d.normalised.size() - d.fourthField.size() - 1;
    if (start <= d.normalised.size() && networkEnd != std::string::npos && networkEnd < formatEnd) {
        d.network = d.normalised.substr(start, networkEnd - start);
        d.contentFormat = d.normalised.substr(networkEnd + 1, formatEnd - networkEnd - 1);
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
    d.profileName = d.parameter("DLNA.ORG_PN");
    return d;
}

std::string profileName(kuDLNAProtocolInfo *info)
{
    KuString pn(kuDLNAProtocolInfo_GetDLNAInfoStr(info, 2));
    std::string text = str(pn);
    return text.compare(0, 12, "DLNA.ORG_PN=") == 0 ? text.substr(12) : "";
}

namespace {

// Protocol texts without "playsingle-", which does not change the protocol.
std::string baseProtocol(const kuDLNAProtocolInfo *info)
{
    const char *text = kuDLNAProtocolInfo_S_GetProtocolStr(info);
    std::string p = text ? text : "";
    return p.compare(0, 11, "playsingle-") == 0 ? p.substr(11) : p;
}

bool knownProtocol(const std::string &p)
{
    return p == "*" || p == "http-get" || p == "rtsp-rtp-udp" || p == "file";
}

std::string contentFormat(kuDLNAProtocolInfo *info)
{
    return decode(info).contentFormat;
}

} // namespace

std::string mismatch(kuDLNAProtocolInfo *a, kuDLNAProtocolInfo *b, std::string *why)
{
    if (kuDLNAProtocolInfo_Match(a, b))
        return "";
    std::string pa = baseProtocol(a), pb = baseProtocol(b);
    bool knownA = knownProtocol(pa), knownB = knownProtocol(pb);
    bool sameProtocol = knownA && knownB ? pa == pb : !knownA && !knownB;
    if (!sameProtocol && pa != "*" && pb != "*") {
        *why = "entry " + pb + ", resource " + pa;
        return "protocol";
    }
    std::string na = profileName(a), nb = profileName(b);
    if (!na.empty() && !nb.empty() && strcasecmp(na.c_str(), nb.c_str()) != 0) {
        *why = "entry " + nb + ", resource " + na;
        return "profile";
    }
    if ((na.empty() || nb.empty()) && !knownB &&
        kuUtil_StrCompare(kuDLNAProtocolInfo_S_GetProtocolStr(a),
                          kuDLNAProtocolInfo_S_GetProtocolStr(b)) != 0) {
        *why = "entry " + pb + ", resource " + pa;
        return "protocol";
    }
    std::string fa = contentFormat(a), fb = contentFormat(b);
    if ((fa == "*" || fb == "*") && na.empty() != nb.empty()) {
        *why = na.empty() ? "entry " + nb + ", resource none" : "entry none, resource " + na;
        return "profile";
    }
    *why = "entry " + fb + ", resource " + fa;
    return "content format";
}

int firstMatch(kuDLNAProtocolInfoList *list, kuDLNAProtocolInfo *a)
{
    uint32_t count = kuDLNAProtocolInfoList_GetCount(list);
    for (uint32_t i = 0; i < count; i++)
        if (kuDLNAProtocolInfo_Match(a, kuDLNAProtocolInfoList_GetProtocolInfoAt(list, i)))
            return int(i);
    return -1;
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
