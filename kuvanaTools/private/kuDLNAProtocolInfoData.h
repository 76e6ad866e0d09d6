// The fields of a DLNA protocol info object, shared by the object's module and
// the list module (which merges entries by their fields).
#ifndef KUVANATOOLS_PRIVATE_KUDLNAPROTOCOLINFODATA_H
#define KUVANATOOLS_PRIVATE_KUDLNAPROTOCOLINFODATA_H

#include <kuvanaTools/kuDLNAProtocolInfo.h>
#include <kuvanaTools/kuMimeTypeInfo.h>
#include <kuvanaTools/private/kuDLNAText.h>

#include <stdint.h>
#include <string.h>

namespace ku {

// One DLNA.ORG_PS speed: its text as written and its value.
struct PlaySpeed {
    char *text;
    double value;
};

// The speeds, sorted by value (equal values in the order they came). A plain
// array rather than a kuArray: that one reserves 512 slots, and a sink list
// holds hundreds of entries that mostly have no speed at all.
struct PlaySpeeds {
    PlaySpeed *items; // null until the first speed
    uint32_t count;
    uint32_t capacity;
};

// The further fourth-field parameters, in insertion order (defined in the
// object's module).
struct DLNAParams;

// Protocol codes.
enum : uint32_t {
    kProtocolOther = 0,
    kProtocolAny = 1,
    kProtocolRtsp = 2,
    kProtocolHttp = 3,
    kProtocolFile = 4
};

// The length of a content format's media type (the text before the first
// ';'); a null format is read as "", as the MIME type parser does.
inline size_t mediaTypeLength(const char *format)
{
    if (format == nullptr)
        return 0;
    const char *semicolon = strchr(format, ';');
    return semicolon != nullptr ? (size_t)(semicolon - format) : strlen(format);
}

// kuMimeTypeInfo_S_Same(wanted, offered) without building objects when the
// media types already decide it, as they do for nearly every pair: with
// different media types it is 0, and with equal ones and no parameter to
// look for it is 1. One pass over both media types.
inline bool sameContentFormat(const char *wanted, const char *offered)
{
    const char *w = wanted != nullptr ? wanted : "";
    const char *o = offered != nullptr ? offered : "";
    for (;; w++, o++) {
        bool wantedEnds = *w == '\0' || *w == ';';
        bool offeredEnds = *o == '\0' || *o == ';';
        if (wantedEnds || offeredEnds) {
            if (!wantedEnds || !offeredEnds)
                return false;
            break;
        }
        if (!foldedSame((unsigned char)*w, (unsigned char)*o))
            return false;
    }
    return *w == '\0' || kuMimeTypeInfo_S_Same(wanted, offered) != 0;
}

} // namespace ku

struct kuDLNAProtocolInfo {
    uint32_t valid;
    uint32_t timeSeek;
    uint32_t rangeSeek;
    char *profileName;
    char *contentFormat;
    char *network;
    ku::PlaySpeeds playSpeeds;
    uint32_t isThumbnail;
    uint32_t conversionIndicator;
    uint32_t protocol;
    char *protocolString;
    uint32_t playSingle;
    uint32_t senderPaced;
    uint32_t lopNpt;
    uint32_t lopBytes;
    uint32_t playContainer;
    uint32_t s0Increasing;
    uint32_t sNIncreasing;
    uint32_t rtspPause;
    uint32_t httpStalling;
    uint32_t tmStreaming;
    uint32_t tmInteractive;
    uint32_t tmBackground;
    int32_t maxSpeedInteger;
    int32_t maxSpeedFraction;
    int32_t versionMajor;
    int32_t versionMinor;
    ku::DLNAParams *otherParams; // null until a parameter is stored
    uint32_t flagWords[4];
    void *userData;
    uint32_t lopClearTextBytes;
    uint32_t clearTextByteSeekFull;
    uint32_t linkProtected;
    uint32_t webServerSupportsStalling;
};

#endif // KUVANATOOLS_PRIVATE_KUDLNAPROTOCOLINFODATA_H
