/*
 * A list of DLNA protocol info objects: the parsed form of a comma-separated
 * list of protocolInfo strings (a connection manager's source or sink list)
 * or of a profile table's entries (content format and fourth field only).
 *
 * List text: entries are cut at ',' except where the comma follows a
 * backslash; the backslash stays in the entry, where it belongs to the
 * backslash-comma that joins DLNA.ORG_PS speeds. Empty entries and entries
 * with fewer than two ':'-separated fields are dropped.
 *
 * Threads: each list has its own mutex, which every operation holds while
 * it runs, except kuDLNAProtocolInfoList_GetBestIndexForScheme. A caller
 * that walks the entries itself (or calls that function on a shared list)
 * brackets the walk with kuDLNAProtocolInfoList_Lock and
 * kuDLNAProtocolInfoList_Unlock. The mutex is recursive: while holding the
 * lock, the same thread may call any other operation on the list. Entries
 * returned by the list stay owned by it and are valid only while no other
 * thread changes it. kuDLNAProtocolInfoList_Merge locks the target, then
 * the source: never merge two lists into each other from two threads at
 * once.
 *
 * Null lists are accepted everywhere: queries answer 0, -1, null or "" and
 * changes do nothing.
 */
#ifndef KUVANATOOLS_KUDLNAPROTOCOLINFOLIST_H
#define KUVANATOOLS_KUDLNAPROTOCOLINFOLIST_H

#include <kuvanaTools/kuDLNAProtocolInfo.h>
#include <kuvanaTools/kuDefs.h>
#include <kuvanaTools/kuPtrList.h>

KU_BEGIN_DECLS

typedef struct kuDLNAProtocolInfoList kuDLNAProtocolInfoList;

/* A new list of the entries of text (null or "" for none). */
KU_API kuDLNAProtocolInfoList *kuDLNAProtocolInfoList_New(const char *text);

/* A new list of a profile table's entries, each a content format and a
 * fourth field, read as with kuDLNAProtocolInfo_NewFromProfileInfo. */
KU_API kuDLNAProtocolInfoList *kuDLNAProtocolInfoList_NewFromProfileInfo(const char *text);

/* Replaces every entry by those of text (null: the list is emptied). */
KU_API void kuDLNAProtocolInfoList_Update(kuDLNAProtocolInfoList *list, const char *text);

/* Releases the entries, the mutex and the list; null does nothing. */
KU_API void kuDLNAProtocolInfoList_Delete(kuDLNAProtocolInfoList *list);

/* Takes ownership of info and inserts it before the entry at index, or
 * appends it when index is negative or not below the count. A null info
 * adds nothing. */
KU_API void kuDLNAProtocolInfoList_Add(kuDLNAProtocolInfoList *list, kuDLNAProtocolInfo *info,
                                       int32_t index);

/* Deletes the entry at index; nothing when out of range. */
KU_API void kuDLNAProtocolInfoList_Remove(kuDLNAProtocolInfoList *list, int32_t index);

/* The number of entries. */
KU_API uint32_t kuDLNAProtocolInfoList_GetCount(kuDLNAProtocolInfoList *list);

/* The entry at index (borrowed), null when out of range. The list
 * remembers the node it last reached, so walking the list by index in any
 * direction costs a step per call. While the caller holds
 * kuDLNAProtocolInfoList_Lock (and so may change the nodes directly) that
 * memory is not used: each call then walks from the nearer end, and a walk
 * under the lock should follow the nodes' links instead. */
KU_API kuDLNAProtocolInfo *kuDLNAProtocolInfoList_GetProtocolInfoAt(kuDLNAProtocolInfoList *list,
                                                                    int32_t index);

/* Locks the list and returns its pointer list of entries (each node's data
 * is a kuDLNAProtocolInfo) for the caller's walk. */
KU_API kuPtrList *kuDLNAProtocolInfoList_Lock(kuDLNAProtocolInfoList *list);

/* Ends a kuDLNAProtocolInfoList_Lock. */
KU_API void kuDLNAProtocolInfoList_Unlock(kuDLNAProtocolInfoList *list);

/* 1 when kuDLNAProtocolInfo_Match(info, entry) holds for some entry. */
KU_API int kuDLNAProtocolInfoList_Match(kuDLNAProtocolInfoList *list,
                                        const kuDLNAProtocolInfo *info);

/* 1 when some entry's profile name equals profileName in any case. */
KU_API int kuDLNAProtocolInfoList_MatchPN(kuDLNAProtocolInfoList *list, const char *profileName);

/* The first entry without profile name whose content format is a type that
 * mimeType satisfies (kuMimeTypeInfo_S_Same(entry's, mimeType)); null for
 * a null or empty mimeType or when there is none. */
KU_API kuDLNAProtocolInfo *kuDLNAProtocolInfoList_GetByMimeTypeWithoutPN(
    kuDLNAProtocolInfoList *list, const char *mimeType);

/* The first entry whose profile name equals profileName exactly; null for a
 * null or empty profileName or when there is none. */
KU_API kuDLNAProtocolInfo *kuDLNAProtocolInfoList_GetByProfileInfo(kuDLNAProtocolInfoList *list,
                                                                   const char *profileName);

/*
 * The index of the entry to use for a URI: schemes lists URI schemes in order
 * of preference, protocols the acceptable protocol texts (null or "":
 * "http-get"), both ';'-separated and compared exactly. Among the entries
 * with an acceptable protocol, the first one whose protocol suits the
 * earliest scheme wins (a scheme equal to the protocol text, "http" for
 * http-get, "rtsp", "rtp" or "udp" for rtsp-rtp-udp); without any such
 * scheme the first acceptable entry; -1 when no entry is acceptable.
 * Does not lock: see above.
 */
KU_API int32_t kuDLNAProtocolInfoList_GetBestIndexForScheme(kuDLNAProtocolInfoList *list,
                                                            const char *schemes,
                                                            const char *protocols);

/* The distinct protocol texts of the entries but "*", in order of first
 * appearance, joined by ';'. Release with kuFree. */
KU_API char *kuDLNAProtocolInfoList_GetSupportedProtocolList(kuDLNAProtocolInfoList *list);

/* The entries composed with kuDLNAProtocolInfo_GetStrForContext joined by
 * ',' (entries that compose as "" left out). Use context 5 for a text that
 * parses back with its play speeds. Release with kuFree. */
KU_API char *kuDLNAProtocolInfoList_GetStrForContext(kuDLNAProtocolInfoList *list, int context);

/* kuDLNAProtocolInfoList_GetStrForContext with context 1 (play speeds
 * joined by plain commas). */
KU_API char *kuDLNAProtocolInfoList_GetStr(kuDLNAProtocolInfoList *list);

/*
 * Moves the source's entries into the target, emptying the source. A source
 * entry merges (kuDLNAProtocolInfo_Merge) into the first target entry with
 * the same profile name (exact, or both without), protocol (and protocol
 * text for unknown protocols), play-single form and a content format that
 * the source's satisfies; otherwise it is inserted at the head when it has a
 * profile name (so such entries end up in reverse order) and appended when
 * it has none. Merging a list into itself does nothing.
 */
KU_API void kuDLNAProtocolInfoList_Merge(kuDLNAProtocolInfoList *target,
                                         kuDLNAProtocolInfoList *source);

/* Merges the entries of text into the target. */
KU_API void kuDLNAProtocolInfoList_MergeStr(kuDLNAProtocolInfoList *target, const char *text);

/* Extensions */

/*
 * kuDLNAProtocolInfoList_Match with matching rules (kuDLNAMatchRule bits of
 * kuDLNAProtocolInfo.h): 1 when info plays through some entry under the
 * rules. Strict matches are looked for first over the whole list, then
 * matches under each rule alone, then under the whole set, so index names
 * the first entry of the first pass that found one and used the rules it
 * needed (as kuDLNAProtocolInfo_MatchWithRules reports them; 0 for a strict
 * match). Without a match index is -1 and used is KU_DLNA_MATCH_ADTS_APART
 * when that rule removed a strict match, else 0. With rules 0 the result is
 * exactly kuDLNAProtocolInfoList_Match. index and used may be null.
 */
KU_API int kuDLNAProtocolInfoList_MatchWithRules(kuDLNAProtocolInfoList *list,
                                                 const kuDLNAProtocolInfo *info, uint32_t rules,
                                                 int32_t *index, uint32_t *used);

KU_END_DECLS

#endif /* KUVANATOOLS_KUDLNAPROTOCOLINFOLIST_H */
