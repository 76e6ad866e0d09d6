/*
 * Packed data: one contiguous block holding a table of entries, each a list
 * of tagged byte strings, that can be handed out unchanged and taken back.
 *
 * Block (integers little-endian):
 *   0       4    block size: the used size once handed out; while an object
 *                builds it, 0 until the first growth, then the allocated size
 *   4       4    N, the number of entry slots
 *   8       4N   per slot, the entry's offset from the block start, or
 *                0xFFFFFFFF for a slot not yet started
 *   8+4N         the entries, in the order they were started
 * Entry: tag count (16 bits), then the tags. Tag: data length L (16 bits),
 * identifier (16 bits), L data bytes, and one pad byte when L is odd. Several
 * tags of an entry may share an identifier; readers find the first. The empty
 * block is the 8 bytes 08 00 00 00 00 00 00 00.
 *
 * A block handed in is trusted to be at least the 8-byte header and as large
 * as its word 0 says. Its contents are not trusted: reads never go past that
 * size, whatever the offsets and lengths inside say, and writers refuse (0)
 * to work on a block whose slot table does not fit in it.
 */
#ifndef KUVANATOOLS_KUPACKEDDATA_H
#define KUVANATOOLS_KUPACKEDDATA_H

#include <kuvanaTools/kuArray.h>
#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* The fields are for reading; change them only through the functions. */
typedef struct kuPackedData {
    uint32_t currentEntry;  /* number (from 1) of the entry receiving tags; 0: none */
    uint32_t slotCount;     /* N */
    uint32_t allocatedSize; /* bytes allocated for the block */
    uint8_t *block;         /* the packed block; null once taken */
    uint32_t *header;       /* the same block seen as words */
    uint32_t usedSize;      /* bytes of the block in use */
} kuPackedData;

/* A new object with room for n entries: a block of (n + 1) x 128 bytes with
 * n unstarted slots. Uses the standard allocator directly: null when memory
 * runs out (or the size is not representable). */
KU_API kuPackedData *kuPackedData_New(uint32_t slotCount);

/* Releases the block (if held) and the object; null does nothing. */
KU_API void kuPackedData_Free(kuPackedData *data);

/* A new object that takes over block (see kuPackedData_S_Init); null for a
 * null block. */
KU_API kuPackedData *kuPackedData_NewData(void *block);

/* A new object holding a copy of block (its word 0 bytes); null for null. */
KU_API kuPackedData *kuPackedData_NewDataDuplicate(const void *block);

/* Releases the object's block and takes over the given one (null leaves the
 * object empty, as after kuPackedData_TakeData). */
KU_API void kuPackedData_PutData(kuPackedData *data, void *block);

/* Releases the object's block and takes a copy of the given one. */
KU_API void kuPackedData_PutDataDuplicate(kuPackedData *data, const void *block);

/* A new object holding a copy of the block; null for null. A word 0 still 0
 * is first set to the used size. The copy holds the used bytes and records
 * that size in its word 0, so it can go on being built (copying the whole
 * allocation would leave unused bytes inside the copy's used area). */
KU_API kuPackedData *kuPackedData_Duplicate(kuPackedData *data);

/* Sets word 0 to the used size, stores that size through size (when not
 * null) and returns the block, which the object keeps. */
KU_API void *kuPackedData_PeekData(kuPackedData *data, uint32_t *size);

/* Sets word 0 to the used size, shrinks the block to it and hands it over
 * (release with kuFree). The object is left empty: only kuPackedData_Free
 * and kuPackedData_PutData... make sense on it. */
KU_API void *kuPackedData_TakeData(kuPackedData *data);

/* A new 8-byte empty block (release with kuFree), or null when memory runs
 * out. */
KU_API void *kuPackedData_S_TakeEmptyData(void);

/* Attaches block without releasing the one held: used and allocated size =
 * word 0 (8, the header, when word 0 is smaller), N = word 1, current entry
 * = the highest started slot number (0 when none). A null block leaves the
 * object empty. */
KU_API void kuPackedData_S_Init(kuPackedData *data, void *block);

/* The allocated size of the block. */
KU_API uint32_t kuPackedData_GetMemoryUsage(const kuPackedData *data);

/* N, the number of entry slots. */
KU_API uint32_t kuPackedData_GetEntryCount(const kuPackedData *data);

/* The tag count of entry (from 0); 0 for an entry beyond N or not started. */
KU_API uint32_t kuPackedData_GetTagCount(const kuPackedData *data, uint32_t entry);

/* The address (inside the block) of the data of the first tag with that
 * identifier in entry, with its length stored through length (when not
 * null); null and length 0 when the entry or the tag is missing. */
KU_API const void *kuPackedData_GetData(const kuPackedData *data, uint32_t entry, uint16_t tag,
                                        uint32_t *length);

/* As kuPackedData_GetData for a text stored with its terminating zero, but
 * the empty text instead of null. Data without a zero byte is no text: it
 * also gives the empty text (length 0), so that reading it stays inside the
 * tag. */
KU_API const char *kuPackedData_GetDataStr(const kuPackedData *data, uint32_t entry, uint16_t tag,
                                           uint32_t *length);

/* The first 2 data bytes as a little-endian value; 0 when absent. A shorter
 * tag gives the bytes it holds, the missing high bytes read as 0. */
KU_API uint16_t kuPackedData_GetDataAsUInt16(const kuPackedData *data, uint32_t entry,
                                             uint16_t tag);

/* The first 4 data bytes as a little-endian value; 0 when absent. A shorter
 * tag gives the bytes it holds, the missing high bytes read as 0. */
KU_API uint32_t kuPackedData_GetDataAsUInt32(const kuPackedData *data, uint32_t entry,
                                             uint16_t tag);

/* A new array rebuilt from the tag's data (kuArray_UnFlatten); an empty array
 * when the tag is absent or empty. Items are read only from the tag's bytes:
 * a count larger than they hold ends at their end. */
KU_API kuArray *kuPackedData_GetDataArray(const kuPackedData *data, uint32_t entry, uint16_t tag,
                                          kuArrayUnFlattenerFunc unflattener);

/* Starts the next entry, first growing the slot table by one slot when all
 * are taken (later entries and their offsets move by 4). Returns the new used
 * size, or 0 when nothing could be started. */
KU_API uint32_t kuPackedData_AddNewEntry(kuPackedData *data);

/* Appends a tag to the current entry; returns the new used size, or 0 (and
 * writes nothing) when no entry was started, length exceeds 65535, data is
 * null with a nonzero length, or the entry already holds 65535 tags. */
KU_API uint32_t kuPackedData_AddData(kuPackedData *data, uint16_t tag, const void *bytes,
                                     uint32_t length);

/* Appends a tag holding the flat form of array (kuArray_Flatten); an empty
 * or null array gives a tag of length 0. Returns as kuPackedData_AddData. */
KU_API uint32_t kuPackedData_AddArray(kuPackedData *data, uint16_t tag, kuArray *array,
                                      kuArrayFlattenerFunc flattener);

/* Appends a tag at the end of entry: for the current entry as
 * kuPackedData_AddData; for an earlier one just before the next started entry
 * (after the entry's last tag when the next slot is not started), moving what
 * follows and the offsets at or above the insertion point. 1, or 0 for an
 * entry beyond N or not started (or a tag kuPackedData_AddData refuses). */
KU_API int kuPackedData_AddDataToEntry(kuPackedData *data, uint32_t entry, uint16_t tag,
                                       const void *bytes, uint32_t length);

/* Replaces the data of the first tag with that identifier in entry, moving
 * the rest of the block by the difference of the padded lengths. A missing
 * tag is added with kuPackedData_AddDataToEntry when add is nonzero, else the
 * result is 0. 1 on success; 0 for an entry beyond N or not started. */
KU_API int kuPackedData_SetData(kuPackedData *data, uint32_t entry, uint16_t tag, const void *bytes,
                                uint32_t length, int add);

/* Moves the bytes from offset to the used end by delta (negative moves
 * down), adds delta to the used size and to every started entry offset at or
 * above offset. The block grows when the caller did not make room for a
 * positive delta. A move starting past the used end or reaching into the
 * slot table does nothing. */
KU_API void kuPackedData_MoveData(kuPackedData *data, uint32_t offset, int32_t delta);

/* Checks the structure: the slot table, and each started entry's tag count
 * and tags (header and data), must lie inside the allocated block. On the
 * first failure logs "kuPackedData corrupted !" (module 99) and stops.
 * Silent for a sound block or null. */
KU_API void kuPackedData_Dump(const kuPackedData *data);

KU_END_DECLS

#endif /* KUVANATOOLS_KUPACKEDDATA_H */
