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
    KUFILE_TRUNCATE = 0x20
};

/* Modes of a created file (bits): readable, writable. The permission bits are
 * 0444 and 0222 for them, less the process's umask; mode 3 gives 0666 & ~umask. */
enum {
    KUFILE_MODE_READ = 0x01,
    KUFILE_MODE_WRITE = 0x02
};

/* Opens path. Returns 0 and stores the handle, or -1 (handle set to null) when
 * the path is null, the flags ask for neither reading nor writing, or the
 * system refuses (errno tells why). Descriptors are close-on-exec. */
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

/* Removes a file and flushes its directory. 0 on success, -1 otherwise. */
KUOS_API int kuFile_Remove(const char *path);

/* Renames from to to, replacing to atomically, and flushes both directories.
 * 0 on success, -1 otherwise. */
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

KUOS_END_DECLS

#endif /* KUOS_FILE_H */
