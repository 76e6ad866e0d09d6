/*
 * INI files held in a kuDictionary: the handle of every kuINIFile_* operation
 * is a dictionary the caller made with kuDictionary_New and releases with
 * kuDictionary_Delete.
 *
 * A section is the entry whose key is its lower-cased name (no '/') with the
 * empty text as value; a key of section s is the entry "s/key" (lower-cased)
 * with its value, case preserved. The unnamed section is "default"; a null or
 * empty section name means it. Section and key names are cut to 127 bytes,
 * from a file and through the functions alike; a name read from a file that
 * the cut leaves ending in white space loses that white space too (saved and
 * loaded again, it would). Order is insertion order.
 *
 * Parsing (both loads) writes the "default" section first and cuts the text
 * into lines at each line feed or carriage return (kept with its line, so
 * CR LF gives a line and an empty one), after 1023 bytes, and at the end. A
 * line's text ends at a zero byte inside it. The first line loses a leading
 * EF BB BF. Lines are trimmed; empty lines and lines starting with ';' or
 * '#' are skipped. "[name]" (anything after the first ']' ignored) starts a
 * section; a '[' line without ']' is a key line. "key=value" splits at the
 * first '=' (a line starting with '=' is skipped, a line without '=' is a key
 * with an empty value). A value starting with a double or single quote runs
 * to the same quote, a backslash making the next byte literal; an unquoted
 * value is cut at its first '#' or ';' and trimmed.
 *
 * Saving writes each section in order: "[name]" (none for "default"),
 * preceded by an empty line unless it is the file's first line, then
 * "key=value" per key, each line ended by one line feed and cut to 1023
 * bytes (loading cuts at the same length, so a cut line reads back as its own
 * line). A value holding a space, a quote, '#', ';' or a backslash, or
 * starting or ending with other white space, is written in double quotes
 * with a backslash before each quote and backslash, so it loads back
 * unchanged (the white-space rule keeps a leading tab from being trimmed
 * away). A line break cannot be written inside a line: carriage returns
 * and line feeds in names and values are saved as spaces (and count as
 * spaces for the quoting), so a value taken from outside cannot add
 * sections or keys to the file. Loading drops the bytes EF BB BF from the
 * start of the file, so a key that would open the file with them is
 * written after a copy of them. Key names are written as they stand: a name
 * that is empty, starts or ends with white space, starts with ';', '#' or
 * '[', or holds '=' does not load back as that key (a '[' one whose line
 * holds a ']', in the name or the value, even starts a section that takes
 * the keys after it). Such names
 * only arise from a section name holding '/' or from the writers; callers
 * that take key names from outside should keep them to plain text.
 *
 * Operations return 0 (or null) for a null dictionary. Texts returned are
 * the dictionary's own unless said otherwise.
 */
#ifndef KUVANATOOLS_KUINIFILE_H
#define KUVANATOOLS_KUINIFILE_H

#include <kuvanaTools/kuDefs.h>
#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuStringSubstitution.h>

KU_BEGIN_DECLS

/* Reads the file (kuFile_Open flags 1, mode 1; the path is used as given)
 * and parses it into the dictionary, adding or updating entries. 1, or 0
 * when the file cannot be opened or read (the dictionary is then unchanged). */
KU_API int kuINIFile_LoadINIFile(const char *path, kuDictionary *ini);

/* Parses length bytes of text into the dictionary; 1. A null text parses as
 * an empty one. */
KU_API int kuINIFile_LoadINIFileFromBuffer(const char *text, size_t length, kuDictionary *ini);

/* Writes the dictionary to the normalised path (created or truncated). 1, or
 * 0 when the path cannot be normalised or the file cannot be opened. A
 * failed write or close is not reported.
 *
 * Lines longer than 1023 bytes (line feed included) are cut, and the result
 * is still 1: a key whose "key=value" line (the value quoted and escaped
 * where needed) exceeds 1022 bytes loads back with its value cut short.
 * Callers must keep long texts shorter or split them.
 *
 * The file is written in place, not replaced: an existing file keeps its
 * permission bits and owner, a new one gets 0666 less the umask; a symbolic
 * link at path is followed and its target written (created when missing),
 * as any program writing a file by name does. Nothing else is created. A
 * crash while writing can leave the file short: kuConfigFile saves through
 * a temporary file instead. */
KU_API int kuINIFile_SaveINIFile(const char *path, kuDictionary *ini);

/* The value of section/key, or defaultValue; *found receives 1 or 0. A null
 * key reads the section entry itself. Reading a key first writes the section
 * entry, so a missing section comes into being (without keys); an existing
 * section's value becomes the empty text. */
KU_API const char *kuINIFile_ReadKeyAsString(kuDictionary *ini, const char *section,
                                             const char *key, const char *defaultValue,
                                             int *found);

/* As kuINIFile_ReadKeyAsString, then a new string (release it with kuFree)
 * with "%name%" references replaced: by resolver (called with a null
 * context) when it knows the name, else "env." names from the environment.
 * Null when the text read is null. */
KU_API char *kuINIFile_ReadKeyAsStringWithSubstitution(kuDictionary *ini, const char *section,
                                                       const char *key,
                                                       const char *defaultValue, int *found,
                                                       kuStringSubstitution_Resolver resolver);

/* The value as an unsigned 32-bit number when found and the whole text is
 * one (kuConvert_strtouint32 gives 0), else defaultValue. */
KU_API uint32_t kuINIFile_ReadKeyAsUInt32(kuDictionary *ini, const char *section,
                                          const char *key, uint32_t defaultValue, int *found);

/* As kuINIFile_ReadKeyAsUInt32 with kuConvert_strtoint32. */
KU_API int32_t kuINIFile_ReadKeyAsInt32(kuDictionary *ini, const char *section, const char *key,
                                        int32_t defaultValue, int *found);

/* strtod of the value when found (0.0 for unreadable text), else
 * defaultValue. */
KU_API double kuINIFile_ReadKeyAsDouble(kuDictionary *ini, const char *section, const char *key,
                                        double defaultValue, int *found);

/* When found: 1 for a nonzero whole 32-bit number ("-1" too), 0 for zero;
 * else 1 when the first byte is t, T, y or Y, 0 for f, F, n or N. Any other
 * text, or a missing key, gives defaultValue; the other text is also logged. */
KU_API int kuINIFile_ReadKeyAsBool(kuDictionary *ini, const char *section, const char *key,
                                   int defaultValue, int *found);

/* Writes section/key (a null value stores the empty text) after making sure
 * the section exists (its value becomes the empty text). A null key writes
 * the section entry itself with the value. 1. */
KU_API int kuINIFile_WriteKeyAsString(kuDictionary *ini, const char *section, const char *key,
                                      const char *value);

/* Writes the number in decimal. 1. */
KU_API int kuINIFile_WriteKeyAsUInt32(kuDictionary *ini, const char *section, const char *key,
                                      uint32_t value);

/* Writes the number in decimal. 1. */
KU_API int kuINIFile_WriteKeyAsInt32(kuDictionary *ini, const char *section, const char *key,
                                     int32_t value);

/* Writes the number as "%g". 1. */
KU_API int kuINIFile_WriteKeyAsDouble(kuDictionary *ini, const char *section, const char *key,
                                      double value);

/* Writes "1" for a nonzero value, else "0". 1. */
KU_API int kuINIFile_WriteKeyAsBool(kuDictionary *ini, const char *section, const char *key,
                                    int value);

/* Deletes section/key; with a null key, the section entry only (its keys
 * stay, and are no longer saved or enumerated under a section). 1. */
KU_API int kuINIFile_DeleteKey(kuDictionary *ini, const char *section, const char *key);

/* Deletes every key of the section, then the section. 1. */
KU_API int kuINIFile_DeleteSection(kuDictionary *ini, const char *section);

/* The number of sections, "default" included. */
KU_API uint32_t kuINIFile_GetNumberOfSections(kuDictionary *ini);

/* The name of the index-th section; the empty text for "default" and for an
 * index beyond the sections. */
KU_API const char *kuINIFile_GetSectionName(kuDictionary *ini, uint32_t index);

/* The number of keys of the section. */
KU_API uint32_t kuINIFile_GetNumberOfKeys(kuDictionary *ini, const char *section);

/* The name of the index-th key of the section (lower-cased, without the
 * section); the empty text for an index beyond its keys. */
KU_API const char *kuINIFile_GetKeyName(kuDictionary *ini, const char *section, uint32_t index);

/* Copies source into destination with each byte replaced by tolower of it
 * taken as a signed char (current locale), terminates it and returns the
 * address of the terminator. The two may be the same buffer. */
KU_API char *kuINIFile_S_ToLower(const char *source, char *destination);

/* The user's language tag from the platform (kuLocale_Get): buffer, or null
 * when buffer is null or too small. */
KU_API char *GetLocaleAsString(char *buffer, size_t size);

KU_END_DECLS

#endif /* KUVANATOOLS_KUINIFILE_H */
