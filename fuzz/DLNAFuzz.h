// Helpers shared by the DLNA protocol info and list fuzz targets.
#pragma once

#include "FuzzUtil.h"

#include <kuvanaTools/kuDLNAProtocolInfo.h>
#include <kuvanaTools/private/kuDLNAProtocolInfoInternal.h>

namespace kufuzz {

inline std::string orNull(const char *s)
{
    return s != nullptr ? s : "<null>";
}

// Everything a composition carries, as one text. The thumbnail flag is not
// among it: it follows the profile name when parsed, but a media mapper
// merge copies it from elsewhere.
inline std::string fields(const kuDLNAProtocolInfo *i)
{
    std::string out = format(" valid=%u protocol=%u single=%u ci=%d version=%d.%d", i->valid,
                             i->protocol, i->playSingle, i->conversionIndicator != 0,
                             i->versionMajor, i->versionMinor);
    out += " protocol=" + orNull(i->protocolString) + " network=" + orNull(i->network) +
           " format=" + orNull(i->contentFormat) + " pn=" + orNull(i->profileName) + " speeds=";
    for (uint32_t k = 0; k < i->playSpeeds.count; k++)
        out += i->playSpeeds.items[k].text + format("(%.17g) ", i->playSpeeds.items[k].value);
    if (i->versionMinor >= 5)
        out += format(" flags=%x,%x,%x,%x", i->flagWords[0], i->flagWords[1], i->flagWords[2],
                      i->flagWords[3]);
    if (i->protocol == ku::kProtocolRtsp)
        out += format(" maxsp=%d.%d", i->maxSpeedInteger, i->maxSpeedFraction);
    return out + " other=" + take(kuDLNAProtocolInfo_GetStrFor4thField(i));
}

// The readings that do not survive a composition, listed in the header: an
// empty protocol (kept as the text "*", read back as the "*" protocol); a
// DLNA name kept as a further parameter (read back as that DLNA parameter);
// OP of an unknown protocol (set by an adjustment or a merge: written, but
// not read); and the flags of a DLNA 1.0 object (not written, yet those that
// hold OP back do so).
inline bool composesBack(const kuDLNAProtocolInfo *info)
{
    if (info->valid == 0)
        return false;
    if (info->protocol == ku::kProtocolOther && strcmp(info->protocolString, "*") == 0)
        return false;
    if (info->protocol == ku::kProtocolOther && (info->timeSeek != 0 || info->rangeSeek != 0))
        return false;
    if (!(info->versionMajor == 1 && info->versionMinor >= 5) &&
        (info->lopNpt != 0 || info->lopBytes != 0 ||
         (info->linkProtected != 0 && info->lopClearTextBytes != 0)))
        return false;
    std::string further = take(kuDLNAProtocolInfo_GetStrFor4thField(info));
    for (char &c : further)
        c = (char)tolower((unsigned char)c);
    return further.find("dlna.org_") == std::string::npos;
}

} // namespace kufuzz
