/*
 * Text to numbers and byte buffers to hexadecimal text, without locale or
 * errno.
 *
 * Every parser that returns a status follows one contract:
 *    0   the whole text was a number; the number is written
 *    n>0 a number was read and parsing stopped at the character at offset n
 *        from the start of the text given to the function; the number read
 *        so far is written
 *   -1   positive overflow; the type's maximum is written
 *   -2   negative overflow; the type's minimum is written
 *   -3   no number (null or empty text, only white space or a sign, no
 *        digit, an invalid base); 0 is written
 * White space is tab, line feed, vertical tab, form feed, carriage return
 * and space; digits are ASCII only. Out-pointers must not be null.
 *
 * The n-variants read at most length bytes and also stop at a zero byte, as
 * if the first length bytes had been copied and terminated.
 */
#ifndef KUVANATOOLS_KUCONVERT_H
#define KUVANATOOLS_KUCONVERT_H

#include <kuvanaTools/kuDefs.h>
#include <kuvanaTools/kuLongLong.h>

KU_BEGIN_DECLS

/* ASCII classes: 1 for a member, 0 otherwise (codes above 127 never are). */
KU_API int kuConvert_isspace(int c);
/* 1 for an ASCII digit. */
KU_API int kuConvert_isnum(int c);
/* 1 for an ASCII letter or digit. */
KU_API int kuConvert_isalnum(int c);
/* 1 for an ASCII hexadecimal digit. */
KU_API int kuConvert_isxdigit(int c);

/*
 * Unsigned 32-bit number in base 2 ... 36, or base 0 (a leading 0 selects
 * octal, else decimal). White space and one '+' are skipped; a '-' is no
 * number. In base 16 and base 0 a "0x"/"0X" followed by a hexadecimal digit
 * is a prefix (base 16); otherwise the '0' is read as a digit. Letters are
 * digits 10 ... 35.
 */
KU_API int32_t kuConvert_strtouint32_base(const char *text, uint32_t *out, int base);

/* kuConvert_strtouint32_base in base 10. */
KU_API int32_t kuConvert_strtouint32(const char *text, uint32_t *out);

/* kuConvert_strtouint32_base in base 16 (an optional "0x" is skipped). */
KU_API int32_t kuConvert_hexstrtouint32(const char *text, uint32_t *out);

/* kuConvert_strtouint32, then a value above 65535 gives 65535 and -1. */
KU_API int32_t kuConvert_strtouint16(const char *text, uint16_t *out);

/*
 * Signed 32-bit number: white space, then a '-' that counts as a sign only
 * when a letter or digit follows it, then the magnitude as in
 * kuConvert_strtouint32_base (which also skips white space and a '+').
 * -2147483648 is accepted.
 */
KU_API int32_t kuConvert_strtoint32_base(const char *text, int32_t *out, int base);

/* kuConvert_strtoint32_base in base 10. */
KU_API int32_t kuConvert_strtoint32(const char *text, int32_t *out);

/* kuConvert_strtoint32, then clamped to -32768 (-2) ... 32767 (-1). */
KU_API int32_t kuConvert_strtoint16(const char *text, int16_t *out);

/*
 * An unsigned 32-bit number that may be written as a pointer: after white
 * space and an optional '+', "0x"/"0X" followed by a hexadecimal digit reads
 * the rest in base 16, anything else in base 10. A positive result counts
 * from the first character after the prefix (or after the white space and
 * sign), so " +12z" gives 12 and 2.
 */
KU_API int32_t kuConvert_strtoptr(const char *text, uint32_t *out);

/* The n-variants of the 32- and 16-bit parsers; a null text or a length of
 * 0 gives 0 and -3. */
KU_API int32_t kuConvert_strntouint32(const char *text, size_t length, uint32_t *out);
/* kuConvert_strtoint32 over at most length bytes. */
KU_API int32_t kuConvert_strntoint32(const char *text, size_t length, int32_t *out);
/* kuConvert_strtouint16 over at most length bytes. */
KU_API int32_t kuConvert_strntouint16(const char *text, size_t length, uint16_t *out);
/* kuConvert_hexstrtouint32 over at most length bytes. */
KU_API int32_t kuConvert_hexstrntouint32(const char *text, size_t length, uint32_t *out);

/* Signed 64-bit decimal number: white space, an optional '+' or '-',
 * digits. */
KU_API int32_t kuConvert_strtoLongLong(const char *text, kuint64 *out);

/* Unsigned 64-bit decimal number: white space, an optional '+', digits. */
KU_API int32_t kuConvert_strtoULongLong(const char *text, kuuint64 *out);

/*
 * Decimal floating point: white space, an optional sign, digits with an
 * optional '.', then an optional exponent ('e' or 'E', an optional sign,
 * digits; a marker and sign without digits are consumed and add nothing).
 * A decimal exponent (after the fraction digits are counted) below -1021
 * gives -2 and above 1024 gives -1, with 0.0 written; so does a result that
 * is not a finite double (-1). The value is close to, but not always, the
 * nearest double.
 */
KU_API int32_t kuConvert_strtod(const char *text, double *out);

/*
 * A floating-point number, a fraction "N/D" or a mixed number "I N/D" (I - N/D
 * for a negative I); the integers are signed 64-bit decimals and must each be
 * complete. Any result other than 0 writes 0.0; a positive stop offset counts
 * from the start of text for a plain number and from the start of the part
 * that failed otherwise. A zero denominator gives 0.0 and -3.
 */
KU_API int32_t kuConvert_strtodouble(const char *text, double *out);

/*
 * Fraction text: a plain number ("2", "-1.5"), a fraction "N/D" whose N is
 * integral and D at least 1, or a mixed number "I N/D" or "I-N/D" with I
 * integral and 0 <= N < D, giving I + N/D (I - N/D when the text starts with
 * '-'). White space may precede each part except right after the first
 * number ("2 " is no number). The text is read as by sscanf with
 * " %lf%c %ld %c %ld %c" on a copy followed by the character 7, except that
 * numbers are decimal only (no "inf", "nan" or hexadecimal floats) and the
 * decimal point is always '.'. Returns 0 with the value, or 1 on failure (out
 * then holds the first number read, if any). The n-form reads at most length
 * bytes; a zero byte ends the text early and makes it fail.
 */
KU_API int32_t kuConvert_strnfractiontodouble(const char *text, size_t length, double *out);
/* kuConvert_strnfractiontodouble over the whole terminated text. */
KU_API int32_t kuConvert_strfractiontodouble(const char *text, double *out);

/*
 * Text of value as an integer and a fraction ("1 1/2", "-3/4", "2", "0")
 * found by continued fractions: the fraction's denominator stays within
 * largestDenominator and the development stops once it is within tolerance
 * of the value. Returns 0 and a new text (release with kuFree), or -3 with a
 * null text for a value that is not finite. A negative value that rounds to
 * 0 gives "0".
 */
KU_API int32_t kuConvert_doubletofraction(double value, int32_t largestDenominator,
                                          double tolerance, char **text);

/*
 * Reads length bytes of hexadecimal text (after an optional "0x"/"0X") into
 * a new buffer (release with kuFree) of units of unitSize bytes (1, 2 or 4),
 * each unit's first byte most significant. With unitAsNumber 0 each unit's
 * bytes are stored in text order, otherwise as a little-endian integer of
 * that value (its bytes reversed) on every host, big-endian ones included,
 * so the buffer's bytes do not depend on the host. Returns 0; or -3 with a
 * null buffer and count 0 for an odd digit count, a byte count that is not a
 * whole number of units, a non-hexadecimal character or another unit size. A
 * null text gives a null buffer, count 0 and 0.
 */
KU_API int32_t kuConvert_hexstrntobuffer(const char *text, size_t length, int unitSize,
                                         int unitAsNumber, unsigned char **buffer,
                                         size_t *count);

/*
 * Lower-case hexadecimal text of length bytes (release with kuFree). Units
 * of unitSize bytes (1, 2 or 4) are printed first byte first, or last byte
 * first when byteOrder is 1 or 2. Returns 0, or -3 with a null text when
 * length is not a whole number of units, the unit size is another one, or
 * the buffer is null while length is not 0.
 */
KU_API int32_t kuConvert_buffertohexstr(const void *buffer, size_t length, int unitSize,
                                        int byteOrder, char **text);

/* strcmp(a, b) with a null pointer taken as the empty text. */
KU_API int kuUtil_StrCompare(const char *a, const char *b);

KU_END_DECLS

#endif /* KUVANATOOLS_KUCONVERT_H */
