/*
 * Base64 with the standard alphabet "A-Za-z0-9+/", '=' padding and no line
 * breaks.
 */
#ifndef KUVANATOOLS_KUBASE64_H
#define KUVANATOOLS_KUBASE64_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/*
 * Encodes length bytes of data (length 0: data is a terminated string and
 * its own length is used; a null data is the empty string). Sets *encoded to
 * a new terminated text allocated with malloc (release with kuFree) and
 * returns its length; returns 0 with *encoded null when the text cannot be
 * allocated.
 */
KU_API size_t kuBase64_Encode(const unsigned char *data, size_t length, char **encoded);

/*
 * Decodes text into decoded and terminates it with a zero byte. Only the
 * text up to the end of the first run of '=' counts (all of it when there is
 * no '='); that part must be a whole number of four-character groups, else
 * -1 is returned and nothing written. decoded needs 3 bytes per group plus
 * one. Characters outside the alphabet are not reported: they hold a place
 * in their group but add no bits, so the group's bytes come out shifted.
 * '=' counts as 0; of the last group 3 - p bytes are written, p being the
 * number of '=' in the run (none when p >= 3). Returns 3 per group less p,
 * which is -1 for "====". A null or empty text gives an empty string and 0.
 * With a null decoded nothing is written and the result is the same.
 *
 * Sizing the buffer: the result (also the one a null decoded gives) is not
 * a buffer size. With four or more '=' in the run fewer bytes are reported
 * than written: "QUJD====" writes "ABC" and a zero byte (4 bytes) but returns
 * 2, so a buffer of result + 1 bytes overflows. Allocate
 * kuBase64_GetDecodeBufferSize(text) bytes (3 per group plus one), or
 * 3 * (strlen(text) / 4) + 1, which is never less.
 */
KU_API long kuBase64_Decode(const char *text, unsigned char *decoded);

/* Extensions */

/*
 * The bytes kuBase64_Decode may write for text: 3 per four-character group
 * of the part that counts, plus one for the zero byte (1 for a null or empty
 * text, and for a text it rejects).
 */
KU_API size_t kuBase64_GetDecodeBufferSize(const char *text);

KU_END_DECLS

#endif /* KUVANATOOLS_KUBASE64_H */
