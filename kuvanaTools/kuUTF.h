/*
 * Byte-encoding converters: modified UTF-8, ISO-8859-1 and UTF-16 to and from
 * UTF-8. Invalid input gives a best-effort result, never an error; no
 * converter reads past the given length or writes past the given size. The
 * functions returning char * give a new string (release with kuFree).
 */
#ifndef KUVANATOOLS_KUUTF_H
#define KUVANATOOLS_KUUTF_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/*
 * Size in bytes, terminator included, of the modified UTF-8 form of length
 * bytes of UTF-8 (a zero byte becomes 2 bytes, a 4-byte sequence 6), or -1
 * for a first byte 10xxxxxx or 11111xxx, a missing continuation byte or a
 * sequence cut short by length. A length below 1 gives 1. Overlong forms are
 * accepted.
 */
KU_API int kuUTF_ModifiedUTF8LengthOfUTF8(const char *utf8, int length);

/*
 * Converts length bytes of well-formed UTF-8 (check it with the function
 * above) to modified UTF-8 in destination: a zero byte becomes C0 80, a 4-byte
 * sequence a surrogate pair of two 3-byte sequences; other first bytes than
 * those of 1- to 4-byte sequences are dropped, as is a sequence cut short by
 * length. Returns 1, or 0 when a character or the terminator does not fit in
 * size (conversion stops there; the output is terminated when a byte is left).
 */
KU_API int kuUTF_UTF8ToModifiedUTF8(const char *utf8, int length, char *destination, size_t size);

/*
 * Converts modified UTF-8 back to UTF-8: C0 80 becomes a zero byte, a
 * surrogate pair of 3-byte sequences one 4-byte sequence. With length -1 the
 * source ends at its first zero byte or first C0 80. Unknown first bytes and
 * sequences cut short are dropped. Returns 1, or 0 as above.
 */
KU_API int kuUTF_ModifiedUTF8ToUTF8(const char *modified, int length, char *destination,
                                    size_t size);

/* ISO-8859-1 form of length bytes of UTF-8: characters above U+00FF become
 * '?', stray continuation bytes are copied. */
KU_API char *kuUTF_UTF8ToISO88591(const char *utf8, size_t length);

/* UTF-8 form of length bytes of ISO-8859-1. */
KU_API char *kuUTF_ISO88591ToUTF8(const char *latin1, size_t length);

/*
 * UTF-8 form of length bytes of UTF-16 (little-endian, big-endian, or after a
 * byte-order mark: FE FF big-endian, anything else little-endian; the first
 * two bytes are always skipped, and fewer than two bytes give ""). Surrogate
 * pairs are joined; unpaired surrogates are encoded as they are; a high
 * surrogate in the last unit ends the text; an odd last byte is ignored. A zero
 * unit is converted too (the result then holds a zero byte before its end).
 */
KU_API char *kuUTF_UTF16LEToUTF8(const void *data, size_t length);
/* kuUTF_UTF16LEToUTF8 for big-endian units. */
KU_API char *kuUTF_UTF16BEToUTF8(const void *data, size_t length);
KU_API char *kuUTF_UTF16BOMToUTF8(const void *data, size_t length);

KU_END_DECLS

#endif /* KUVANATOOLS_KUUTF_H */
