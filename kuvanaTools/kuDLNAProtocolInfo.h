/*
 * One DLNA protocolInfo string ("http-get:*:audio/mpeg:DLNA.ORG_PN=MP3;...")
 * as an object: the four ':'-separated fields (protocol, network, content
 * format, additional information) with the DLNA parameters of the fourth
 * field decoded (DLNA.ORG_PN, _OP, _PS, _CI, _FLAGS, _MAXSP) and further
 * parameters kept by name.
 *
 * Parsing never fails and reads no byte past the length it is given; a zero
 * byte before that length ends the text.
 * Fourth-field rules worth knowing:
 * - parameters are cut at ';' and handled in order up to the first empty
 *   one; each is cut at '=', its name being the first piece and its value
 *   the last, so a parameter without '=' has its name as its value;
 * - PN, OP, PS and CI count only with exactly one '='; FLAGS and MAXSP take
 *   the last piece whatever the count;
 * - a further parameter is kept only when its name holds a '_' and its value
 *   only letters, digits, '_', ',', '+' and '-'; a name seen again replaces
 *   the value and keeps its place;
 * - DLNA.ORG_FLAGS digits are padded with '0' on the right ("017" is
 *   0x01700000); more than 8 digits fill the following words, at most four;
 * - play speeds that do not read as numbers or fractions are skipped; the
 *   rest are kept sorted by value, equal values in the order they came (so
 *   a composition parses back to the same order).
 *
 * Composition first makes the transfer-mode and stalling flags consistent
 * with the protocol and packs them into the flag words, so it changes the
 * object: an object shared between threads needs the caller's lock around
 * composition as around any change. Parameters are written in the order PN,
 * OP, PS, CI, FLAGS, MAXSP, further parameters (when there are any: an
 * empty set adds no separator); a fourth field with nothing to write is "*".
 * MAXSP numbers are written unsigned, so a large value parses back
 * unchanged. What a composition does not carry back: flags of a DLNA 1.0
 * object (no FLAGS is written), OP of an unknown protocol (written, but read
 * only for http-get and rtsp-rtp-udp), an empty protocol (kept as the text
 * "*", read back as the "*" protocol), and a DLNA name kept as a further
 * parameter because it had several '=' (read back as that DLNA parameter).
 *
 * Context bits of the compositions: 1 writes the whole fourth field, 4 the
 * whole fourth field with play speeds joined by backslash-comma (so that the
 * text can stand in a comma-separated list), 2 limits the fourth field to
 * the profile name. Everything is written when (context & 5) != 0 and
 * (context & 2) == 0; otherwise only DLNA.ORG_PN.
 *
 * Null objects are accepted everywhere: queries answer 0 or null and
 * changes do nothing.
 */
#ifndef KUVANATOOLS_KUDLNAPROTOCOLINFO_H
#define KUVANATOOLS_KUDLNAPROTOCOLINFO_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

typedef struct kuDLNAProtocolInfo kuDLNAProtocolInfo;

/* Parses text[0, length). Fewer than two fields give an object that is not
 * valid and composes as "". Never null. */
KU_API kuDLNAProtocolInfo *kuDLNAProtocolInfo_New(const char *text, size_t length);

/* Parses "http-get:*:" followed by text[0, length) (content format and
 * fourth field); a null text or a length of 0 stands for "*". */
KU_API kuDLNAProtocolInfo *kuDLNAProtocolInfo_NewFromProfileInfo(const char *text, size_t length);

/* An object holding only the protocol read from the URI's scheme (any case):
 * "http" gives http-get, "rtp", "rtsp" and "udp" rtsp-rtp-udp, "file" file,
 * another scheme the scheme itself, no scheme (or an empty one, ":x") "*".
 * It is not valid: it has no content format and composes as "". */
KU_API kuDLNAProtocolInfo *kuDLNAProtocolInfo_NewFromURI(const char *uri);

/* Releases the object and all it owns; null does nothing. */
KU_API void kuDLNAProtocolInfo_Delete(kuDLNAProtocolInfo *info);

/* The protocolInfo text for the context bits (see above); "" for an object
 * that is not valid. Release with kuFree. */
KU_API char *kuDLNAProtocolInfo_GetStrForContext(kuDLNAProtocolInfo *info, int context);

/* kuDLNAProtocolInfo_GetStrForContext with context 1. */
KU_API char *kuDLNAProtocolInfo_GetStr(kuDLNAProtocolInfo *info);

/* The fourth field alone for the context bits; "" for an object that is not
 * valid. Release with kuFree. */
KU_API char *kuDLNAProtocolInfo_GetDLNAInfoStr(kuDLNAProtocolInfo *info, int context);

/* The protocol text (borrowed): the text read for an unknown protocol, "*",
 * "rtsp-rtp-udp", "http-get" (each with "playsingle-" when it was written so)
 * or "file". */
KU_API const char *kuDLNAProtocolInfo_S_GetProtocolStr(const kuDLNAProtocolInfo *info);

/* A copy of kuDLNAProtocolInfo_S_GetProtocolStr (null stays null). */
KU_API char *kuDLNAProtocolInfo_GetProtocolStr(const kuDLNAProtocolInfo *info);

/* The further parameters as "name=value" joined by ';', in insertion order;
 * "" when there are none. Release with kuFree. */
KU_API char *kuDLNAProtocolInfo_GetStrFor4thField(const kuDLNAProtocolInfo *info);

/* The play speeds' texts in order joined by "," or, when escapeCommas is
 * nonzero, by backslash-comma; null without play speeds. Release with
 * kuFree. */
KU_API char *kuDLNAProtocolInfo_GetPlaySpeedStr(const kuDLNAProtocolInfo *info, int escapeCommas);

/* The value (borrowed) of the further parameter of exactly this name, or
 * null. */
KU_API const char *kuDLNAProtocolInfo_Get4thFieldValue(const kuDLNAProtocolInfo *info,
                                                      const char *name);

/* Stores a copy of value (null as "") under name, removing an entry of that
 * name first, so the parameter moves to the end. A null or empty name does
 * nothing. The value is not checked. */
KU_API void kuDLNAProtocolInfo_Set4thFieldValue(kuDLNAProtocolInfo *info, const char *name,
                                                const char *value);

/* Removes the further parameter of exactly this name. */
KU_API void kuDLNAProtocolInfo_Remove4thFieldByName(kuDLNAProtocolInfo *info, const char *name);

/* Removes every further parameter; the decoded DLNA parameters stay. */
KU_API void kuDLNAProtocolInfo_Remove4thField(kuDLNAProtocolInfo *info);

/* A copy of the value of the first parameter of a fourth-field text whose
 * name equals name in any case and that would be kept as a further parameter
 * (name with a '_', value of letters, digits, '_', ',', '+', '-'); null
 * otherwise. Parameters are read up to the first empty one. */
KU_API char *kuDLNAProtocolInfo_S_Get4thFieldValueFromStr(const char *fourthField,
                                                          const char *name);

/*
 * 1 when a (typically a server's resource) can be played by b (typically a
 * renderer's sink entry):
 * - the protocols are equal or one is "*";
 * - when both have profile names, they are equal in any case; otherwise,
 *   for an unknown protocol of b both protocol texts are equal exactly, and
 *   when just one side has a profile name only a content-format match
 *   counts ("*" does not);
 * - a content format "*" on either side is a wildcard; otherwise every
 *   parameter of b's content format must be in a's, with the same type;
 * - failing that, audio/mp4, audio/3gpp (and audio/vnd.dlna.adts for the
 *   second group) stand for each other when the shared profile name, if
 *   any, is one of the AAC, HE-AAC and AMR profiles of the group.
 */
KU_API int kuDLNAProtocolInfo_Match(const kuDLNAProtocolInfo *a, const kuDLNAProtocolInfo *b);

/* 1 when the object has a profile name equal to profileName in any case. */
KU_API int kuDLNAProtocolInfo_MatchPN(const kuDLNAProtocolInfo *info, const char *profileName);

/* "Streaming", "Interactive" or "Background" (static texts), by the
 * transfer-mode flags in that order of precedence. */
KU_API const char *kuDLNAProtocolInfo_GetTransferMode(const kuDLNAProtocolInfo *info);

/* 4 for streaming, 0 for interactive, 2 for background. */
KU_API int kuDLNAProtocolInfo_GetQOSMode(const kuDLNAProtocolInfo *info);

/* Mode 0 background (result 1), 1 streaming (background flag kept), 2
 * interactive; any other mode changes nothing. The result is 2 but for
 * mode 0. */
KU_API int kuDLNAProtocolInfo_SetTransmitMode(kuDLNAProtocolInfo *info, int mode);

/* Sets the full clear-text byte seek flag to value and clears the limited
 * one; value 1 also clears the limited byte and time seek flags. Result 1. */
KU_API int kuDLNAProtocolInfo_SupportClearTextByteSeek(kuDLNAProtocolInfo *info, int value);

/* The number of play speeds. */
KU_API uint32_t kuDLNAProtocolInfo_GetPlaySpeedCount(const kuDLNAProtocolInfo *info);

/* Forgets every play speed. */
KU_API void kuDLNAProtocolInfo_RemovePlaySpeedSupport(kuDLNAProtocolInfo *info);

/* 1 when link protection is set and the content format is an
 * "application/x-dtcp1" type carrying DTCP1HOST, DTCP1PORT and CONTENTFORMAT
 * (exact case). */
KU_API int kuDLNAProtocolInfo_IsDTCPProtected(const kuDLNAProtocolInfo *info);

/* 1 when the profile name begins with "WMDRM_" (exact case). */
KU_API int kuDLNAProtocolInfo_IsWMDRMNDProtected(const kuDLNAProtocolInfo *info);

/* The number in text[0, length) read in base (2 to 36); for base 16 at most
 * 8 digits, padded on the right with '0' to 8. 0 when nothing can be read. */
KU_API uint32_t kuDLNAProtocolInfo_S_StrToUInt32(int base, const char *text, size_t length);

/* Declares DLNA 1.5 and sets the transfer mode from the content format (the
 * DTCP-wrapped one for application/x-dtcp1): image/ and text/ interactive,
 * audio/ and video/ streaming, anything else background. */
KU_API void kuDLNAProtocolInfo_MakeConsistent(kuDLNAProtocolInfo *info);

/* Prepares a server's resource: kuDLNAProtocolInfo_MakeConsistent, HTTP
 * stalling as the web server allows unless sender-paced, no time seek, and
 * byte seek for http-get, file and unknown protocols unless s0 increases. */
KU_API void kuDLNAProtocolInfo_Adjust(kuDLNAProtocolInfo *info);

/* Wraps the content format (when there is one) as "application/x-dtcp1;
 * DTCP1HOST=host;DTCP1PORT=port;CONTENTFORMAT=old" (port's low 16 bits),
 * marks the link protected with full clear-text byte seek, then
 * kuDLNAProtocolInfo_Adjust. */
KU_API void kuDLNAProtocolInfo_AdjustForDTCPIP(kuDLNAProtocolInfo *info, const char *host,
                                               uint32_t port);

/* For a "WMDRM_" profile: time seek on, byte seek off. */
KU_API void kuDLNAProtocolInfo_AdjustForWMDRMND(kuDLNAProtocolInfo *info);

/* Prefixes "DTCP_" to a profile name that is not empty, not "*" and not
 * already so prefixed. */
KU_API void kuDLNAProtocolInfo_ConvertProfileNameToDTCP(kuDLNAProtocolInfo *info);

/* Adds the source's capabilities to the target: conversion indicator, flag
 * bits, seek flags, the larger MAXSP and the play speeds the target lacks.
 * Both objects are made consistent first (so the source changes too). */
KU_API void kuDLNAProtocolInfo_Merge(kuDLNAProtocolInfo *target, kuDLNAProtocolInfo *source);

/* Gives the target the source's delivery parameters: seek flags, thumbnail
 * flag, version, MAXSP, the source's flags packed into the target's first
 * flag word, and copies of the source's play speeds. */
KU_API void kuDLNAProtocolInfo_MergeWithMediaMapper(kuDLNAProtocolInfo *target,
                                                    const kuDLNAProtocolInfo *source);

/* The caller's opaque value (null at creation). */
KU_API void *kuDLNAProtocolInfo_GetUserData(const kuDLNAProtocolInfo *info);
/* Stores the caller's opaque value; the object never looks at it. */
KU_API void kuDLNAProtocolInfo_SetUserData(kuDLNAProtocolInfo *info, void *userData);

/* Whether the web server can stall HTTP connections (any value above 0: yes;
 * yes at creation); kuDLNAProtocolInfo_Adjust uses it. */
KU_API void kuDLNAProtocolInfo_SetWebServerSupportHTTPConnectionStalling(kuDLNAProtocolInfo *info,
                                                                         int value);

/* Extensions */

/*
 * Matching rules beyond kuDLNAProtocolInfo_Match, for renderers that accept
 * more (or less) than the strict rule says. Each is one bit; a rule set is
 * their OR. a is the item, b the sink entry, as in kuDLNAProtocolInfo_Match.
 * - MIME_ALIASES: media types that name the same format stand for each
 *   other (audio/flac and audio/x-flac, audio/wav, audio/x-wav and
 *   audio/wave, audio/mpeg and audio/mp3, video/x-matroska and video/mkv,
 *   audio/mp4 and audio/x-m4a, video/x-msvideo and video/avi, image/jpeg
 *   and image/jpg, audio/ogg and application/ogg, audio/aac and
 *   audio/x-aac, audio/x-aiff and audio/aiff);
 * - SUBTYPE_WILDCARD: a subtype "*" on either side accepts any subtype of
 *   the same type, and the type and subtype "*" any media type;
 * - PROTOCOL_CASE: protocol names compare in any case (HTTP-GET is
 *   http-get);
 * - ANY_FORMAT_PROFILE: when only one side has a profile name, a content
 *   format "*" on the other side accepts it (http-get:*:*:* plays
 *   ...:DLNA.ORG_PN=MP3);
 * - L16_BARE: an audio/L16 item without rate matches an audio/L16 entry
 *   whatever its rate and channels;
 * - PARAMETER_BLANKS: blanks before a content-format parameter name (after
 *   ';') and before the protocol (after ',' in a list text) are ignored;
 * - ADTS_APART: makes matching stricter: audio/vnd.dlna.adts no longer
 *   stands for audio/mp4 or audio/3gpp (an ADTS stream is not an MP4 file).
 */
typedef enum kuDLNAMatchRule {
    KU_DLNA_MATCH_MIME_ALIASES = 0x01,
    KU_DLNA_MATCH_SUBTYPE_WILDCARD = 0x02,
    KU_DLNA_MATCH_PROTOCOL_CASE = 0x04,
    KU_DLNA_MATCH_ANY_FORMAT_PROFILE = 0x08,
    KU_DLNA_MATCH_L16_BARE = 0x10,
    KU_DLNA_MATCH_PARAMETER_BLANKS = 0x20,
    KU_DLNA_MATCH_ADTS_APART = 0x40,
    KU_DLNA_MATCH_ALL_RULES = 0x7F
} kuDLNAMatchRule;

/*
 * kuDLNAProtocolInfo_Match with the rules of the set turned on (bits outside
 * KU_DLNA_MATCH_ALL_RULES are ignored). With 0 it is exactly
 * kuDLNAProtocolInfo_Match. When used is not null it receives the rules the
 * answer depended on: 0 for a strict match; for a match that needs rules,
 * the first single rule that suffices (in bit order), else an irreducible
 * subset of the set; for no match, KU_DLNA_MATCH_ADTS_APART when that rule
 * turned a strict match into none, else 0.
 */
KU_API int kuDLNAProtocolInfo_MatchWithRules(const kuDLNAProtocolInfo *a,
                                             const kuDLNAProtocolInfo *b, uint32_t rules,
                                             uint32_t *used);

/* The name of one rule bit ("mime-aliases", "subtype-wildcard",
 * "protocol-case", "any-format-profile", "l16-bare", "parameter-blanks",
 * "adts-apart"), static text; null for anything that is not a single rule
 * bit. */
KU_API const char *kuDLNAProtocolInfo_GetMatchRuleName(uint32_t rule);

/*
 * Why kuDLNAProtocolInfo_Match(a, b) fails: the first of its steps that
 * fails, in its order. PROTOCOL: the protocols differ (neither is "*"), or
 * b's protocol is unknown and the protocol texts differ; PROFILE: both
 * profile names are there and differ, or just one side has one and a
 * content format "*" cannot stand in for it; CONTENT_FORMAT: the content
 * formats do not satisfy each other (nor stand for each other); OBJECT: a
 * or b is null.
 */
typedef enum kuDLNAMismatch {
    KU_DLNA_MISMATCH_NONE = 0,
    KU_DLNA_MISMATCH_PROTOCOL = 1,
    KU_DLNA_MISMATCH_PROFILE = 2,
    KU_DLNA_MISMATCH_CONTENT_FORMAT = 3,
    KU_DLNA_MISMATCH_OBJECT = 4
} kuDLNAMismatch;

/* The step at which kuDLNAProtocolInfo_Match(a, b) fails (kuDLNAMismatch);
 * KU_DLNA_MISMATCH_NONE exactly when it answers 1. */
KU_API uint32_t kuDLNAProtocolInfo_GetMismatch(const kuDLNAProtocolInfo *a,
                                               const kuDLNAProtocolInfo *b);

/* The name of a kuDLNAMismatch ("none", "protocol", "profile", "content
 * format", "object"), static text; null for any other value. */
KU_API const char *kuDLNAProtocolInfo_GetMismatchName(uint32_t mismatch);

/* The network field (borrowed) as composition writes it: "*" when there is
 * none; null for a null object. */
KU_API const char *kuDLNAProtocolInfo_GetNetwork(const kuDLNAProtocolInfo *info);

/* The content format (borrowed) as composition writes it: "*" when there is
 * none; null for a null object. */
KU_API const char *kuDLNAProtocolInfo_GetContentFormat(const kuDLNAProtocolInfo *info);

/* The DLNA.ORG_PN value (borrowed); null when there is none. */
KU_API const char *kuDLNAProtocolInfo_GetProfileName(const kuDLNAProtocolInfo *info);

/* Flag word index (0 to 3) of DLNA.ORG_FLAGS as composition writes it. Like
 * composition it first makes the flags consistent with the protocol, so it
 * changes the object. 0 when no DLNA.ORG_FLAGS is written (not DLNA 1.5),
 * for an index above 3 and for a null object. */
KU_API uint32_t kuDLNAProtocolInfo_GetFlagWord(kuDLNAProtocolInfo *info, uint32_t index);

/* The name of one named bit of the first flag word ("senderPaced",
 * "lopNpt", "lopBytes", "playContainer", "s0Increasing", "sNIncreasing",
 * "rtspPause", "tmStreaming", "tmInteractive", "tmBackground",
 * "httpStalling", "dlnaV15", "linkProtected", "clearTextByteSeekFull",
 * "lopClearTextBytes"), static text; null for anything else. */
KU_API const char *kuDLNAProtocolInfo_GetFlagName(uint32_t bit);

KU_END_DECLS

#endif /* KUVANATOOLS_KUDLNAPROTOCOLINFO_H */
