/*
 * Files and paths of the platform layer (POSIX).
 *
 * Durability: a file opened for writing is flushed to stable storage
 * (fsync) when it is closed, and kuFile_Rename and kuFile_Remove flush the
 * directories whose entries they changed. A caller that writes a new file,
 * closes it and renames it over an old one therefore finds either file intact
 * after a power loss, on file systems that honour fsync (ext4, xfs, btrfs;
 * not on FAT without a journal).
 */
#ifndef KUOS_FILE_H
#define KUOS_FILE_H

#include <platform/kuOSDefs.h>

KUOS_BEGIN_DECLS

typedef struct kuFile kuFile;

/* Open flags (bits). 1 opens an existing file for reading; 50 (write,
 * create, truncate) creates or truncates a file for writing. */
enum {
    KUFILE_READ = 0x01,
    KUFILE_WRITE = 0x02,
    KUFILE_APPEND = 0x04,
    KUFILE_EXCLUSIVE = 0x08, /* with KUFILE_CREATE: fail when the file exists */
    KUFILE_CREATE = 0x10,
    KUFILE_TRUNCATE = 0x20,
    KUFILE_NOFOLLOW = 0x40 /* fail (errno ELOOP) when path is a symbolic link */
};

/* Modes of a created file (bits): readable, writable. The permission bits are
 * 0444 and 0222 for them, less the process's umask; mode 3 gives 0666 & ~umask.
 * KUFILE_MODE_OWNER_ONLY keeps the owner's bits only: mode 7 gives 0600, for a
 * file that nobody else may open while it is written. */
enum {
    KUFILE_MODE_READ = 0x01,
    KUFILE_MODE_WRITE = 0x02,
    KUFILE_MODE_OWNER_ONLY = 0x04
};

/* Opens path. Returns 0 and stores the handle, or -1 (handle set to null) when
 * the path is null, the flags ask for neither reading nor writing, or the
 * system refuses (errno tells why). Descriptors are close-on-exec. With
 * KUFILE_CREATE and KUFILE_EXCLUSIVE a symbolic link at path is never
 * followed: the open fails as for any existing file. */
KUOS_API int kuFile_Open(const char *path, uint32_t flags, uint32_t mode, kuFile **handle);

/* Reads up to count bytes: the number read, fewer only at the end of the file,
 * 0 at the end, negative on error. Interrupted reads are resumed. */
KUOS_API ptrdiff_t kuFile_Read(kuFile *file, void *buffer, size_t count);

/* Writes all count bytes: count, or negative on error (some bytes may have
 * been written). */
KUOS_API ptrdiff_t kuFile_Write(kuFile *file, const void *buffer, size_t count);

/* Closes and frees the handle; a file opened for writing is fsync'ed first.
 * 0 on success, -1 when the flush or the close failed (the data may not be on
 * disk). Null gives -1. */
KUOS_API int kuFile_Close(kuFile *file);

/* Non-zero when path names an existing file system object. */
KUOS_API int kuFile_Exists(const char *path);

/* Removes a file and flushes its directory. 0 on success, -1 otherwise
 * (errno tells why). */
KUOS_API int kuFile_Remove(const char *path);

/* Renames from to to, replacing to atomically, and flushes both directories.
 * 0 on success, -1 otherwise (errno tells why). */
KUOS_API int kuFile_Rename(const char *from, const char *to);

/* Path flags of kuPath_Normalize. */
enum {
    /* Lexical only: a relative path stays relative (no current directory). */
    KUPATH_KEEP_RELATIVE = 0x01
};

/*
 * Returns a new normalised copy of path (release it with kuFree/free), or null
 * for a null or empty path or when the current directory cannot be read.
 * Normalising is lexical and never looks at the file system: runs of '/'
 * become one, "." segments are dropped, ".." removes the segment before it
 * (".." at the root stays at the root; in a relative path with nothing left to
 * remove it is kept), a trailing '/' is dropped except for the root. A
 * relative path is first joined to base, or to the current directory when
 * base is null or empty, unless flags has KUPATH_KEEP_RELATIVE. reserved must
 * be 0.
 */
KUOS_API char *kuPath_Normalize(const char *path, uint32_t flags, uint32_t reserved,
                                const char *base);

/* Non-zero when path begins with '/'. */
KUOS_API int kuPath_IsAbsolute(const char *path);

/* Extensions */

/* Kinds of file system object (kuFileInfo.type). */
enum {
    KUFILE_TYPE_REGULAR = 1,
    KUFILE_TYPE_DIRECTORY = 2,
    KUFILE_TYPE_LINK = 3, /* only with KUFILE_INFO_NOFOLLOW */
    KUFILE_TYPE_OTHER = 4
};

/* What kuFile_GetInfo tells of a file and kuFile_SetInfo gives one. */
typedef struct kuFileInfo {
    uint32_t type;        /* KUFILE_TYPE_... */
    uint32_t permissions; /* permission bits of the mode (07777) */
    uint32_t owner;       /* user id; 0xFFFFFFFF to kuFile_SetInfo: unchanged */
    uint32_t group;       /* group id; 0xFFFFFFFF to kuFile_SetInfo: unchanged */
} kuFileInfo;

/* Flags of kuFile_GetInfo. */
enum {
    KUFILE_INFO_NOFOLLOW = 0x01 /* describe a symbolic link itself */
};

/* Describes the object at path, following symbolic links unless flags has
 * KUFILE_INFO_NOFOLLOW. 0, or -1 with errno: ENOENT (or ENOTDIR) when
 * nothing is there, another value when it cannot be told (EACCES: a
 * directory on the way may not be searched). Tells "missing" from "there but
 * unreadable": a file without read permission is described all the same. */
KUOS_API int kuFile_GetInfo(const char *path, uint32_t flags, kuFileInfo *info);

/* Gives the open file info's owner and group as far as the process may (a
 * refused owner change is skipped and the group tried alone), then info's
 * permission bits. 0, or -1 when the permission bits could not be set
 * (errno tells why). Call it after writing a file created with
 * KUFILE_MODE_OWNER_ONLY, before closing it. */
KUOS_API int kuFile_SetInfo(kuFile *file, const kuFileInfo *info);

/* The permission bits kuFile_Open gives a file it creates with mode (for
 * mode 3: 0666 less the process's umask). The umask is read without changing
 * it; where the system does not tell it, 077 is assumed. */
KUOS_API uint32_t kuFile_GetCreationPermissions(uint32_t mode);

/* Flags of kuFile_Lock. */
enum {
    KUFILE_LOCK_SHARED = 0x01, /* shared with other shared locks; else exclusive */
    KUFILE_LOCK_TRY = 0x02     /* fail (errno EWOULDBLOCK) rather than wait */
};

/* Takes an advisory lock on the open file (any open mode), waiting until it
 * is free unless flags has KUFILE_LOCK_TRY. The lock is released when the
 * handle is closed or the process ends, however it ends. Locks through
 * different handles exclude each other, in one process as across processes;
 * only callers that lock are held back. 0, or -1 (errno tells why). */
KUOS_API int kuFile_Lock(kuFile *file, uint32_t flags);

/* Follows symbolic links at the last component of path until it names no
 * link, and returns that path as a new string (release it with kuFree/free).
 * A relative link is joined to the link's directory; paths are normalised
 * lexically (kuPath_Normalize with KUPATH_KEEP_RELATIVE), so a relative path
 * stays relative. A path that is no link, or a link to nothing, is itself
 * the result: a file saved there lands where the link points. Null for a
 * null or empty path, or when a link cannot be read or the links loop (errno
 * tells why: ELOOP after 40 links). */
KUOS_API char *kuPath_ResolveLink(const char *path);

KUOS_END_DECLS

#endif /* KUOS_FILE_H */
