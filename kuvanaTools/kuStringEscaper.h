/*
 * Hexadecimal escaping of bytes outside a restricted alphabet.
 *
 * A character table has 128 entries indexed by the byte value: a byte below
 * 128 passes unescaped when its entry is not 0. Other bytes are written as
 * the escape character followed by two upper-case hexadecimal digits
 * ("%2D"). Every result is a new block that the caller releases with kuFree;
 * a null text or buffer gives null.
 */
#ifndef KUVANATOOLS_KUSTRINGESCAPER_H
#define KUVANATOOLS_KUSTRINGESCAPER_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* The default table: '.', '0'-'9', '@', 'A'-'Z', '_', '`' and 'a'-'z' pass
 * (each entry holds its own character code); every other byte below 128 is
 * escaped. */
KU_API extern const char kkuDefaultConvTable[128];

/* Escapes length bytes of data. A byte below 128 is escaped when its table
 * entry is 0 (a null table means kkuDefaultConvTable); a byte of 128 or more
 * is escaped when escapeHigh is not 0 and copied otherwise. With nulTerminate
 * a zero byte is appended. *outLength (when outLength is not null) receives
 * the number of bytes written, the zero byte included. The block holds
 * 3 x length bytes (+1 with the zero byte). Null when data is null or the
 * block size would not fit in a size_t. */
KU_API char *kuStringEscaper_EscapeBuffer(const void *data, size_t length, int nulTerminate,
                                          const char *table, char escapeChar, int escapeHigh,
                                          size_t *outLength);

/* kuStringEscaper_EscapeBuffer over the whole text, zero-terminated. */
KU_API char *kuStringEscaper_EscapeAdvanced(const char *text, const char *table, char escapeChar,
                                            int escapeHigh);

/* Escapes with the default table and '%', bytes from 128 up included. */
KU_API char *kuStringEscaper_Escape(const char *text);

/* Escapes with the default table and '%', leaving bytes from 128 up as they
 * are (UTF-8 text stays readable). */
KU_API char *kuStringEscaper_EscapeMinimal(const char *text);

/* Reverses the escaping over length bytes of data. An escape character
 * followed by two hexadecimal digits (either case) becomes the byte they
 * form; followed by two other bytes, all three are dropped; followed by fewer
 * than two bytes, it ends the result (it and the rest are dropped). The block
 * holds length bytes (+1 with nulTerminate); *outLength as for
 * kuStringEscaper_EscapeBuffer. Null when data is null. */
KU_API char *kuStringEscaper_UnescapeBuffer(const void *data, size_t length, int nulTerminate,
                                            char escapeChar, size_t *outLength);

/* kuStringEscaper_UnescapeBuffer over the whole text, zero-terminated. */
KU_API char *kuStringEscaper_UnescapeAdvanced(const char *text, char escapeChar);

/* Unescapes with '%'. */
KU_API char *kuStringEscaper_Unescape(const char *text);

KU_END_DECLS

#endif /* KUVANATOOLS_KUSTRINGESCAPER_H */
