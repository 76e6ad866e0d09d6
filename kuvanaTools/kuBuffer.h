/*
 * Growable byte buffer.
 *
 * Bytes accumulate in one heap block that is reallocated to twice the new
 * size whenever an append brings the size to or past the capacity, so a
 * buffer that has just received data always has a spare byte. No terminating
 * zero is ever added: text builders append one ("", 1) before taking the
 * block.
 */
#ifndef KUVANATOOLS_KUBUFFER_H
#define KUVANATOOLS_KUBUFFER_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

typedef struct kuBuffer {
    void *bytes;       /* the data block, owned until taken */
    uint32_t capacity; /* size of the block */
    uint32_t size;     /* bytes in use */
} kuBuffer;

/* A new buffer with a block of capacity bytes (0 allowed) and size 0. */
KU_API kuBuffer *kuBuffer_New(uint32_t capacity);

/* Releases the block (if still held) and the buffer; null does nothing. */
KU_API void kuBuffer_Delete(kuBuffer *buffer);

/* Reallocates the block to exactly capacity bytes and returns it. The size
 * is kept, except that a capacity below it cuts the size to the capacity. */
KU_API void *kuBuffer_Realloc(kuBuffer *buffer, uint32_t capacity);

/* Appends n bytes and returns the new size. A null bytes pointer appends
 * nothing. A size that would pass 4 GiB ends the process as an allocation
 * failure. */
KU_API uint32_t kuBuffer_Append(kuBuffer *buffer, const void *bytes, size_t n);

/* Appends text without its terminating zero (null appends nothing); returns
 * the new size. */
KU_API uint32_t kuBuffer_AppendStr(kuBuffer *buffer, const char *text);

/* Appends value in decimal without leading zeros; returns the new size. */
KU_API uint32_t kuBuffer_AppendUInt32(kuBuffer *buffer, uint32_t value);

/* Appends value as exactly eight upper-case hexadecimal digits; returns the
 * new size. */
KU_API uint32_t kuBuffer_AppendUInt32Hex(kuBuffer *buffer, uint32_t value);

/* Hands the block to the caller (release with kuFree). With shrink nonzero
 * the block is first reallocated to exactly the size (an empty buffer then
 * gives null). The size is stored through size when it is not null. The
 * buffer is left empty with no block and can be used or deleted. */
KU_API void *kuBuffer_TakeOwnership(kuBuffer *buffer, int shrink, uint32_t *size);

KU_END_DECLS

#endif /* KUVANATOOLS_KUBUFFER_H */
