// The fields of a DLNA protocol info object, shared by the object's module and
// the list module (which merges entries by their fields).
#ifndef KUVANATOOLS_PRIVATE_KUDLNAPROTOCOLINFOINTERNAL_H
#define KUVANATOOLS_PRIVATE_KUDLNAPROTOCOLINFOINTERNAL_H

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

// kuDLNAProtocolInfo_Match(a, b) under a set of kuDLNAMatchRule bits,
// without looking for the rules it needed.
bool matchUnderRules(const kuDLNAProtocolInfo *a, const kuDLNAProtocolInfo *b, uint32_t rules);

// The search shared by the single and the list match: probe(rules) gives the
// index of a match under those rules or -1. Strict first (with the rules
// that only make matching stricter), then each widening rule alone, then all
// of them, reduced to an irreducible subset. Reports the rules the answer
// depended on in *used.
template <typename Probe>
int32_t matchWithFewestRules(uint32_t rules, uint32_t *used, Probe probe)
{
    const uint32_t stricter = rules & KU_DLNA_MATCH_ADTS_APART;
    const uint32_t widening = rules & KU_DLNA_MATCH_ALL_RULES & ~stricter;
    *used = 0;
    int32_t found = probe(stricter);
    if (found >= 0 || widening == 0) {
        if (found < 0 && stricter != 0 && probe(0) >= 0)
            *used = stricter;
        return found;
    }
    for (uint32_t bit = 1; bit <= widening; bit <<= 1) {
        if ((widening & bit) == 0)
            continue;
        found = probe(stricter | bit);
        if (found >= 0) {
            *used = bit;
            return found;
        }
    }
    uint32_t needed = widening;
    if (probe(stricter | needed) < 0) {
        if (stricter != 0 && probe(0) >= 0)
            *used = stricter;
        return -1;
    }
    for (uint32_t bit = 1; bit <= widening; bit <<= 1)
        if ((needed & bit) != 0 && probe(stricter | (needed & ~bit)) >= 0)
            needed &= ~bit;
    *used = needed;
    return probe(stricter | needed);
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

#endif // KUVANATOOLS_PRIVATE_KUDLNAPROTOCOLINFOINTERNAL_H
