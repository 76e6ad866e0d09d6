/*
 * Checked allocation and string duplication.
 *
 * No function here returns null for a request it had to satisfy: when the
 * system allocator fails, the process ends through kuFatalError with the
 * reason "memory:malloc", "memory:realloc" or "memory:strdup" and the size
 * requested. Every block returned belongs to the caller and is released with
 * kuFree, which is the standard free: blocks of this module and of malloc are
 * interchangeable.
 */
#ifndef KUVANATOOLS_KUMEMORY_H
#define KUVANATOOLS_KUMEMORY_H

#include <kuvanaTools/kuDefs.h>
#include <wchar.h>

KU_BEGIN_DECLS

/* malloc(size); never null (size 0 gives what malloc gives, or a fatal error
 * when that is null). */
KU_API void *kuMalloc(size_t size);

/* kuMalloc(size) with every byte zero. */
KU_API void *kuMallocZeroed(size_t size);

/* realloc(block, size). A null block with size 0 gives null without calling
 * the allocator; size 0 with a block returns what realloc returns (the block is
 * then released). A failed non-zero request is fatal. */
KU_API void *kuRealloc(void *block, size_t size);

/* free(block); null does nothing. */
KU_API void kuFree(void *block);

/* A copy of text, or null for null. */
KU_API char *kuStrdup(const char *text);

/* A copy of exactly n bytes of text plus a terminator (zero bytes inside are
 * copied too: n must not exceed what is readable), or null for null text. */
KU_API char *kuStrndup(const char *text, size_t n);

/* kuStrdup, then each byte upper-cased with toupper in the current locale. */
KU_API char *kuStrdupToUpper(const char *text);

/* A copy of a wide text, or null for null. */
KU_API wchar_t *kuWcsdup(const wchar_t *text);

/* A copy of exactly n wide characters plus a terminator, or null for null. */
KU_API wchar_t *kuWcsndup(const wchar_t *text, size_t n);

/* Releases the string in *slot, stores a copy of text (null for null) and
 * returns the new value of the slot. */
KU_API char *kuStrReplace(char **slot, const char *text);

/* Releases the string in *slot and stores a copy of the first n bytes of
 * text, or null for a null text. */
KU_API void kuStrnReplace(char **slot, const char *text, size_t n);

/* Appends text to the string in *slot (an empty slot receives a copy of text;
 * a null text appends nothing but still moves the string to a new block). */
KU_API void kuStrcatReplace(char **slot, const char *text);

KU_END_DECLS

#endif /* KUVANATOOLS_KUMEMORY_H */
