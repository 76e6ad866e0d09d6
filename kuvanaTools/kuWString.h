/*
 * Growable wide strings.
 *
 * A kuWString is the address of the first character of a heap block that
 * starts with two 32-bit words, the capacity (characters the block holds,
 * terminator not counted) and the length, so it can be passed wherever a
 * const wchar_t * is read. The block is (capacity + 3) x 4 bytes. Functions
 * that may move the string return its new address.
 */
#ifndef KUVANATOOLS_KUWSTRING_H
#define KUVANATOOLS_KUWSTRING_H

#include <kuvanaTools/kuDefs.h>
#include <wchar.h>

KU_BEGIN_DECLS

typedef wchar_t *kuWString;

/* A new string holding a copy of text (null counts as empty); capacity and
 * length are the text's length. */
KU_API kuWString kuWString_New(const wchar_t *text);

/* A new string from UTF-8, or null for a null or invalid text. */
KU_API kuWString kuWString_NewFromUTF8(const char *utf8);

/* Resizes the block to exactly capacity characters and returns the (possibly
 * moved) string. A null string gets a new block with length 0. The length is
 * kept, except that a capacity below it cuts the string to the capacity. */
KU_API kuWString kuWString_Alloc(kuWString string, size_t capacity);

/* Appends text (nothing for a null or empty text), growing the block to
 * exactly the new length when needed. Returns the (possibly moved) string. */
KU_API kuWString kuWString_Append(kuWString string, const wchar_t *text);

/* Returns a new string of text followed by string, and releases string; a
 * null or empty text returns string unchanged. */
KU_API kuWString kuWString_Prepend(kuWString string, const wchar_t *text);

/* Sets the length (at most the capacity; a larger length is cut to it),
 * terminates there and returns the address of the terminator. */
KU_API wchar_t *kuWString_Truncate(kuWString string, size_t length);

/* The length; 0 for null. */
KU_API size_t kuWString_Length(kuWString string);

/* Non-zero when the capacity is 0 (a truncated string is not empty); non-zero
 * for null. */
KU_API int kuWString_IsEmpty(kuWString string);

/* As wcscmp and wcsncmp. */
KU_API int kuWString_Compare(const wchar_t *a, const wchar_t *b);
/* As wcsncmp: at most n characters compared. */
KU_API int kuWString_CompareN(const wchar_t *a, const wchar_t *b, size_t n);

/* 1 when some character of string whose low 8 bits, as a signed char, equal
 * ch is immediately preceded by text; else 0. */
KU_API int kuWString_BeforeFirstIs(kuWString string, char ch, const wchar_t *text);

/* A new narrow string of the same length: characters below 256 as their low
 * byte, others as '.'. */
KU_API char *kuWString_GetASCII(kuWString string);

/* A new UTF-8 string (as kuWString_S_ToUTF8). */
KU_API char *kuWString_GetUTF8(kuWString string);

/* A new UTF-8 string of a wide text, or null for null. */
KU_API char *kuWString_S_ToUTF8(const wchar_t *text);

/* A new plain wide string (no header: release with kuFree) of a UTF-8 text,
 * or null for a null or invalid text. */
KU_API wchar_t *kuWString_S_FromUTF8(const char *utf8);

/* Releases the string; null does nothing. */
KU_API void kuWString_Free(kuWString string);

KU_END_DECLS

#endif /* KUVANATOOLS_KUWSTRING_H */
