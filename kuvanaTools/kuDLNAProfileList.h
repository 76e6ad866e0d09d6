/*
 * A set of DLNA profile names (DLNA.ORG_PN values), kept sorted and free of
 * names that differ only in case (strcasecmp), for intersecting the
 * capabilities of two devices. Of names equal but for case, the one that
 * sorts first is kept; which of two such spellings that is depends on the
 * sort and is not promised.
 *
 * Profile lists have no lock. Null lists are accepted everywhere: queries
 * answer 0 or "" and changes do nothing.
 */
#ifndef KUVANATOOLS_KUDLNAPROFILELIST_H
#define KUVANATOOLS_KUDLNAPROFILELIST_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

typedef struct kuDLNAProfileList kuDLNAProfileList;

/* A new empty list. */
KU_API kuDLNAProfileList *kuDLNAProfileList_New(void);

/* Releases the names and the list; null does nothing. */
KU_API void kuDLNAProfileList_Delete(kuDLNAProfileList *list);

/* 1 when the list holds name in any case; 0 for a null name. */
KU_API int kuDLNAProfileList_HasProfile(const kuDLNAProfileList *list, const char *name);

/* Removes the name equal to name in any case, if any. */
KU_API void kuDLNAProfileList_Remove(kuDLNAProfileList *list, const char *name);

/* The names in order joined by ',' ("" when empty). Release with kuFree. */
KU_API char *kuDLNAProfileList_GetStr(const kuDLNAProfileList *list);

/* Adds the names of a comma-separated text, each without the tabs and
 * blanks around it (empty names skipped). */
KU_API void kuDLNAProfileList_MergeProfileList(kuDLNAProfileList *list, const char *text);

/* Adds the profile names of a profile table's entries (content format and
 * fourth field, comma-separated as for
 * kuDLNAProtocolInfoList_NewFromProfileInfo). */
KU_API void kuDLNAProfileList_MergeDLNAProtocolInfoList(kuDLNAProfileList *list, const char *text);

/* The names of the comma-separated text that the list also holds, as the
 * text spells them, sorted and without repeats, joined by ','. Release with
 * kuFree. */
KU_API char *kuDLNAProfileList_GetMatchingProfileListStr(const kuDLNAProfileList *list,
                                                         const char *text);

KU_END_DECLS

#endif /* KUVANATOOLS_KUDLNAPROFILELIST_H */
