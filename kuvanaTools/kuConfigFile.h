/*
 * Two-layer configuration: a read-only INI file (factory settings) under a
 * writable one (the user's settings). Reads look in the writable layer first,
 * then in the read-only one; writes and deletions change the writable layer
 * only, in memory, until kuConfigFile_Save writes it to disk. Section names
 * follow kuINIFile.h (null or empty is "default"); reading a key registers
 * its section in the writable layer, so a later save writes that header.
 * A null configuration holds nothing: getters give their default, the other
 * operations 0 or the empty text.
 *
 * On disk, beside the writable file P, P.tmp is a save being written and
 * P.ok a complete save not yet committed to P. kuConfigFile_New finishes or
 * discards an interrupted save; kuConfigFile_Save writes P.tmp, renames it to
 * P.ok, then P.ok to P.
 *
 * Guarantee: whenever a save is interrupted (the process killed, the power
 * lost, or any file operation failing), the next kuConfigFile_New loads
 * either the complete contents P had before the save or the complete new
 * contents, never a partial or empty file; a save that returned 1 is never
 * undone. A failed save returns 0 and leaves files that the next save or
 * creation recovers.
 *
 * This holds on these assumptions of the platform layer and file system:
 * kuFile_Rename replaces its target atomically (a reader sees the old or the
 * new file, never neither); a file is on stable storage once kuFile_Close
 * returned 0, and a rename or removal once kuFile_Rename or kuFile_Remove
 * returned 0 (fsync honoured, directory entries flushed: ext4, xfs, btrfs
 * and the like, not FAT); P, P.tmp and P.ok are in one directory of one file
 * system.
 *
 * To keep it, a save differs from the plain three-file sequence in three
 * places:
 * - a failed write or close of P.tmp fails the save ("Cannot save file")
 *   instead of committing a file that may be short;
 * - while P is missing, P.ok is the only complete copy, so a save does not
 *   remove it before renaming P.tmp over it (the rename replaces it);
 * - when creation cannot rename P.ok to P, it loads P.ok, so that the
 *   writable layer is the complete save rather than empty.
 *
 * Files of several processes, links and permissions. The plain sequence
 * lets a creation in one process repair (remove, rename) a save under way in
 * another, lets a link planted at P.tmp redirect the save into any file,
 * widens a private file to 0644 and overwrites a file it could not read. So:
 * - Lock: a save, and a creation while it repairs and loads, hold an
 *   advisory lock (kuFile_Lock) on the companion file P.lock, created when
 *   missing (0666 less the umask) and left in place. A save or creation
 *   waits while another process (or another configuration of the same file)
 *   holds it; a save fails when P.lock cannot be opened or locked, a
 *   creation that cannot lock loads without repairing (logged when there is
 *   something to repair). Any number of processes may then save and create
 *   configurations of one file: each load sees a complete save, the last
 *   save committed wins.
 * - P.tmp: whatever is at that name (a stale file, a link) is removed, and
 *   the file created anew and exclusively, readable and writable by its
 *   owner only while it is written.
 * - Permissions: the saved file gets the permission bits of the file it
 *   replaces (of P.ok while P is missing), and its owner and group as far
 *   as the process may (root: always); a new file gets 0666 less the umask.
 * - A symbolic link at P is followed (through any chain of links, also to
 *   a file not yet there): the link stays, and its target is saved and
 *   repaired with the companions beside the target (T.tmp, T.ok, T.lock),
 *   so that the commit stays in one directory. Links that loop fail.
 * - A writable file that exists but cannot be read (no read permission, a
 *   directory, anything but a regular file: a FIFO or a device is not even
 *   opened) is logged by kuConfigFile_New ("Cannot load config file
 *   '...': reason"), and every save of that configuration then fails
 *   ("Cannot save file '...': it exists but could not be read") rather than
 *   replace contents it never loaded. A missing file is no failure. A save
 *   also fails when the target is no regular file.
 * - Every failure record ends with the system's reason (": " and the text
 *   of errno, e.g. "Cannot save file '/x/user.ini.tmp': No space left on
 *   device").
 *
 * Long values are cut: each line of the saved file is cut to 1023 bytes,
 * line feed included (see kuINIFile.h), and the save still returns 1. A key
 * whose line ("key=value", the value quoted and escaped where needed) is
 * longer than 1022 bytes loads back with its value cut short (and the rest
 * of the line lost). Callers storing long texts must keep them shorter or
 * split them over several keys.
 */
#ifndef KUVANATOOLS_KUCONFIGFILE_H
#define KUVANATOOLS_KUCONFIGFILE_H

#include <kuvanaTools/kuDefs.h>
#include <kuvanaTools/kuStringSubstitution.h>

KU_BEGIN_DECLS

typedef struct kuConfigFile kuConfigFile;

/* Loads the read-only file and the writable file (each path may be null;
 * both are normalised), after finishing or discarding an interrupted save
 * of the writable file (under the lock, following links at the writable
 * path; see above). Never fails: what cannot be read leaves its layer empty
 * and is logged; a writable file that exists but cannot be read is never
 * saved over by this configuration. */
KU_API kuConfigFile *kuConfigFile_New(const char *readOnlyPath, const char *writablePath);

/* Releases the configuration; null does nothing. Nothing is saved. */
KU_API void kuConfigFile_Delete(kuConfigFile *config);

/* Empties the writable layer in memory (a following save writes an empty
 * file). */
KU_API void kuConfigFile_Reset(kuConfigFile *config);

/* Writes the writable layer to its file (the target of a link there),
 * keeping that file's permissions and owner: 1, or 0 (logged with the
 * reason) when it could not be committed, when the file existed but could
 * not be read at creation, or when there is no writable file. Waits while
 * another save or creation of the same file holds its lock. Lines longer
 * than 1023 bytes are cut and still give 1. */
KU_API int kuConfigFile_Save(kuConfigFile *config);

/* The text of section/key from the writable layer, else from the read-only
 * layer, else defaultValue. The text belongs to the configuration. */
KU_API const char *kuConfigFile_GetString(kuConfigFile *config, const char *section,
                                          const char *key, const char *defaultValue);

/* As kuConfigFile_GetString with "%name%" references replaced (see
 * kuINIFile_ReadKeyAsStringWithSubstitution); a new string released with
 * kuFree, or null when the text is null. */
KU_API char *kuConfigFile_GetStringWithSubstitution(kuConfigFile *config, const char *section,
                                                    const char *key, const char *defaultValue,
                                                    kuStringSubstitution_Resolver resolver);

/* The value as a whole unsigned 32-bit number, writable layer first; else
 * defaultValue. */
KU_API uint32_t kuConfigFile_GetUInt32(kuConfigFile *config, const char *section, const char *key,
                                       uint32_t defaultValue);

/* The value as a whole signed 32-bit number, writable layer first; else
 * defaultValue. */
KU_API int32_t kuConfigFile_GetInt32(kuConfigFile *config, const char *section, const char *key,
                                     int32_t defaultValue);

/* A stored number from 0 to 255, else defaultValue. */
KU_API uint8_t kuConfigFile_GetUInt8(kuConfigFile *config, const char *section, const char *key,
                                     uint8_t defaultValue);

/* A stored number from 0 to 65535, else defaultValue. */
KU_API uint16_t kuConfigFile_GetUInt16(kuConfigFile *config, const char *section,
                                       const char *key, uint16_t defaultValue);

/* The key as a boolean (kuINIFile_ReadKeyAsBool), writable layer first;
 * defaultValue only when neither layer has the key. A text that is no
 * boolean gives 0 (and is logged). */
KU_API int kuConfigFile_OptionIsSet(kuConfigFile *config, const char *section, const char *key,
                                    int defaultValue);

/* Sets section/key in the writable layer: 1, or 0 without one. */
KU_API int kuConfigFile_SetString(kuConfigFile *config, const char *section, const char *key,
                                  const char *value);

/* Sets section/key to the number in the writable layer: 1, or 0 without
 * one. */
KU_API int kuConfigFile_SetUInt32(kuConfigFile *config, const char *section, const char *key,
                                  uint32_t value);

/* Sets section/key to the number in the writable layer: 1, or 0 without
 * one. */
KU_API int kuConfigFile_SetInt32(kuConfigFile *config, const char *section, const char *key,
                                 int32_t value);

/* Deletes section/key (a null key: the section entry only) from the
 * writable layer: 1, or 0 without one. */
KU_API int kuConfigFile_DeleteKey(kuConfigFile *config, const char *section, const char *key);

/* Deletes the section and its keys from the writable layer: 1, or 0 without
 * one. */
KU_API int kuConfigFile_DeleteSection(kuConfigFile *config, const char *section);

/* The number of sections of the read-only layer (readOnly nonzero) or of the
 * writable layer (0 without one). */
KU_API uint32_t kuConfigFile_GetSectionCount(kuConfigFile *config, int readOnly);

/* The index-th section name of the chosen layer (kuINIFile_GetSectionName);
 * the empty text without a writable layer. */
KU_API const char *kuConfigFile_GetSectionName(kuConfigFile *config, uint32_t index,
                                               int readOnly);

/* The number of keys of the section in the chosen layer (0 without a
 * writable layer). */
KU_API uint32_t kuConfigFile_GetKeyCount(kuConfigFile *config, const char *section,
                                         int readOnly);

/* The index-th key name of the section in the chosen layer; the empty text
 * without a writable layer. */
KU_API const char *kuConfigFile_GetKeyName(kuConfigFile *config, const char *section,
                                           uint32_t index, int readOnly);

KU_END_DECLS

#endif /* KUVANATOOLS_KUCONFIGFILE_H */
