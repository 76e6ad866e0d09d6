/*
 * Character coders: one character at a time in UTF-8 or in the wide form
 * (32-bit wchar_t, one code point per element), and whole strings between
 * the two.
 *
 * UTF-8 here is the original 31-bit form: sequences of 1 to 6 bytes, overlong
 * forms rejected, surrogates and values above U+10FFFF accepted. A size or
 * length of (size_t)-1 means unlimited.
 */
#ifndef KUVANATOOLS_KUUNICODE_H
#define KUVANATOOLS_KUUNICODE_H

#include <kuvanaTools/kuDefs.h>
#include <wchar.h>

KU_BEGIN_DECLS

/*
 * Reads one UTF-8 character of at most available bytes. Returns the bytes used
 * (1 to 7) and stores the value through codePoint (may be null); 0 when
 * available is 0; -1 for an invalid or overlong sequence; -2 when available
 * ends inside the sequence. The value is formed in 32 bits, so a 7-byte
 * sequence (first byte 0xFE) is valid only when its low 32 bits exceed
 * 0x7FFFFFFF; first byte 0xFF is always invalid. Continuation bytes are
 * checked as they are read: a bad one gives -1 even when the sequence would
 * also have been cut short.
 */
KU_API int kuUnicode_ReadUTF8Char(const char *text, size_t available, uint32_t *codePoint);

/*
 * Encodes the low 31 bits of codePoint. Returns the sequence's length (1 to 6)
 * whether or not it was stored: one byte is stored when buffer is not null and
 * size is at least 1; a longer sequence of length L only when size is greater
 * than L (room for a terminator, which is not written).
 */
KU_API int kuUnicode_WriteUTF8Char(char *buffer, size_t size, uint32_t codePoint);

/* The UTF-8 length of codePoint by the 32-bit limits (1 to 7; 7 only for
 * values above 0x7FFFFFFF, which the writer never produces). */
KU_API int kuUnicode_UTF8CharLength(uint32_t codePoint);

/* Reads one wide character: 1 (value stored when codePoint is not null), or 0
 * when available is 0. */
KU_API int kuUnicode_ReadWideChar(const wchar_t *text, size_t available, uint32_t *codePoint);

/* Stores codePoint when buffer is not null and size is not 0. Returns 1. */
KU_API int kuUnicode_WriteWideChar(wchar_t *buffer, size_t size, uint32_t codePoint);

/* Always 1. */
KU_API int kuUnicode_WideCharLength(uint32_t codePoint);

/*
 * Converts the zero-terminated UTF-8 text to wide characters. With a null
 * destination only counts. With a destination, stops without a terminator once
 * size characters are stored, else stores a terminator. Returns the number of
 * characters converted (the terminator not counted), or -1 for an invalid
 * sequence (the destination may then hold a partial result).
 */
KU_API ptrdiff_t kuUnicode_UTF8ToWide(wchar_t *destination, const char *utf8, size_t size);

/*
 * Converts the zero-terminated wide text to UTF-8 (low 31 bits of each
 * element). With a null destination only counts. With a destination, stops
 * before the first character whose bytes would not fit in size, and stores a
 * terminator when the converted bytes are fewer than size. Returns the number
 * of bytes converted.
 */
KU_API size_t kuUnicode_WideToUTF8(char *destination, const wchar_t *wide, size_t size);

KU_END_DECLS

#endif /* KUVANATOOLS_KUUNICODE_H */
