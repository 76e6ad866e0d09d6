// POSIX files with durable close, rename and remove; lexical path normalising.
#include <platform/kuOSFile.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

struct kuFile {
    int fd;
    int writable;
};

namespace {

// fsync the directory holding path, so that a new, renamed or removed entry
// survives a power loss.
int syncParentDirectory(const char *path)
{
    const char *slash = strrchr(path, '/');
    char *dir;
    if (slash == nullptr)
        dir = strdup(".");
    else if (slash == path)
        dir = strdup("/");
    else
        dir = strndup(path, (size_t)(slash - path));
    if (dir == nullptr)
        return -1;
    int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    free(dir);
    if (fd < 0)
        return -1;
    int rc = fsync(fd);
    // Some file systems refuse fsync on directories; the entry is then as
    // durable as they make it.
    if (rc != 0 && (errno == EINVAL || errno == EROFS))
        rc = 0;
    close(fd);
    return rc;
}

// The permission bits asked for by a kuFile_Open mode, before the umask.
mode_t permissionsOf(uint32_t mode)
{
    mode_t permissions = 0;
    if (mode & KUFILE_MODE_READ)
        permissions |= 0444;
    if (mode & KUFILE_MODE_WRITE)
        permissions |= 0222;
    if (mode & KUFILE_MODE_OWNER_ONLY)
        permissions &= 0700;
    return permissions;
}

} // namespace

int kuFile_Open(const char *path, uint32_t flags, uint32_t mode, kuFile **handle)
{
    if (handle == nullptr)
        return -1;
    *handle = nullptr;
    if (path == nullptr)
        return -1;

    int oflags = O_CLOEXEC;
    bool reading = (flags & KUFILE_READ) != 0;
    bool writing = (flags & (KUFILE_WRITE | KUFILE_APPEND)) != 0;
    if (reading && writing)
        oflags |= O_RDWR;
    else if (writing)
        oflags |= O_WRONLY;
    else if (reading)
        oflags |= O_RDONLY;
    else
        return -1;
    if (flags & KUFILE_APPEND)
        oflags |= O_APPEND;
    if (flags & KUFILE_CREATE)
        oflags |= O_CREAT;
    if ((flags & KUFILE_EXCLUSIVE) && (flags & KUFILE_CREATE))
        oflags |= O_EXCL;
    if ((flags & KUFILE_TRUNCATE) && writing)
        oflags |= O_TRUNC;
    if (flags & KUFILE_NOFOLLOW)
        oflags |= O_NOFOLLOW;

    mode_t permissions = permissionsOf(mode);
    int fd;
    do
        fd = open(path, oflags, permissions);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;

    kuFile *file = (kuFile *)malloc(sizeof *file);
    if (file == nullptr) {
        close(fd);
        return -1;
    }
    file->fd = fd;
    file->writable = writing;
    *handle = file;
    return 0;
}

ptrdiff_t kuFile_Read(kuFile *file, void *buffer, size_t count)
{
    if (file == nullptr || (buffer == nullptr && count > 0))
        return -1;
    size_t done = 0;
    while (done < count) {
        ssize_t n = read(file->fd, (char *)buffer + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? (ptrdiff_t)done : -1;
        }
        if (n == 0)
            break;
        done += (size_t)n;
    }
    return (ptrdiff_t)done;
}

ptrdiff_t kuFile_Write(kuFile *file, const void *buffer, size_t count)
{
    if (file == nullptr || (buffer == nullptr && count > 0))
        return -1;
    size_t done = 0;
    while (done < count) {
        ssize_t n = write(file->fd, (const char *)buffer + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        done += (size_t)n;
    }
    return (ptrdiff_t)done;
}

int kuFile_Close(kuFile *file)
{
    if (file == nullptr)
        return -1;
    int rc = 0;
    if (file->writable && fsync(file->fd) != 0 && errno != EINVAL)
        rc = -1;
    if (close(file->fd) != 0 && errno != EINTR)
        rc = -1;
    free(file);
    return rc;
}

int kuFile_Exists(const char *path)
{
    struct stat st;
    return path != nullptr && stat(path, &st) == 0;
}

int kuFile_Remove(const char *path)
{
    if (path == nullptr || unlink(path) != 0)
        return -1;
    syncParentDirectory(path);
    return 0;
}

int kuFile_Rename(const char *from, const char *to)
{
    if (from == nullptr || to == nullptr || rename(from, to) != 0)
        return -1;
    if (syncParentDirectory(to) != 0)
        return -1;
    // A rename across directories changed two entries.
    const char *a = strrchr(from, '/'), *b = strrchr(to, '/');
    size_t la = a ? (size_t)(a - from) : 0, lb = b ? (size_t)(b - to) : 0;
    if (la != lb || strncmp(from, to, la) != 0)
        syncParentDirectory(from);
    return 0;
}

int kuFile_GetInfo(const char *path, uint32_t flags, kuFileInfo *info)
{
    struct stat st;
    if (path == nullptr || info == nullptr) {
        errno = EINVAL;
        return -1;
    }
    if (((flags & KUFILE_INFO_NOFOLLOW) ? lstat(path, &st) : stat(path, &st)) != 0)
        return -1;
    info->type = S_ISREG(st.st_mode)   ? KUFILE_TYPE_REGULAR
                 : S_ISDIR(st.st_mode) ? KUFILE_TYPE_DIRECTORY
                 : S_ISLNK(st.st_mode) ? KUFILE_TYPE_LINK
                                       : KUFILE_TYPE_OTHER;
    info->permissions = (uint32_t)(st.st_mode & 07777);
    info->owner = (uint32_t)st.st_uid;
    info->group = (uint32_t)st.st_gid;
    return 0;
}

int kuFile_SetInfo(kuFile *file, const kuFileInfo *info)
{
    if (file == nullptr || info == nullptr) {
        errno = EINVAL;
        return -1;
    }
    struct stat st;
    if (fstat(file->fd, &st) != 0)
        return -1;
    uid_t owner = (uid_t)info->owner;
    gid_t group = (gid_t)info->group;
    // Only root may give a file away; others may still set a group they are in.
    if ((owner != (uid_t)-1 && owner != st.st_uid) || (group != (gid_t)-1 && group != st.st_gid)) {
        if (fchown(file->fd, owner, group) != 0 && group != (gid_t)-1 && group != st.st_gid)
            (void)fchown(file->fd, (uid_t)-1, group);
    }
    // After the owner: changing it may clear set-id bits.
    return fchmod(file->fd, (mode_t)(info->permissions & 07777)) == 0 ? 0 : -1;
}

uint32_t kuFile_GetCreationPermissions(uint32_t mode)
{
    // umask() would have to change the mask to read it, racing with other
    // threads creating files; the kernel shows it in /proc (Linux 4.7 on).
    unsigned mask = 077;
    if (FILE *status = fopen("/proc/self/status", "re")) {
        char line[128];
        while (fgets(line, sizeof line, status) != nullptr)
            if (sscanf(line, "Umask: %o", &mask) == 1)
                break;
        fclose(status);
    }
    return (uint32_t)permissionsOf(mode) & ~(uint32_t)mask & 0777;
}

int kuFile_Lock(kuFile *file, uint32_t flags)
{
    if (file == nullptr) {
        errno = EINVAL;
        return -1;
    }
    // flock, not fcntl: its locks belong to the open file, so two handles of
    // one process exclude each other too, and closing another descriptor of
    // the same file does not drop them.
    int operation = (flags & KUFILE_LOCK_SHARED) ? LOCK_SH : LOCK_EX;
    if (flags & KUFILE_LOCK_TRY)
        operation |= LOCK_NB;
    int rc;
    do
        rc = flock(file->fd, operation);
    while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : -1;
}

char *kuPath_ResolveLink(const char *path)
{
    char *current = kuPath_Normalize(path, KUPATH_KEEP_RELATIVE, 0, nullptr);
    for (int hops = 0; current != nullptr; hops++) {
        struct stat st;
        if (lstat(current, &st) != 0)
            return errno == ENOENT || errno == ENOTDIR ? current : (free(current), nullptr);
        if (!S_ISLNK(st.st_mode))
            return current;
        if (hops == 40) {
            free(current);
            errno = ELOOP;
            return nullptr;
        }
        char target[4096];
        ssize_t n = readlink(current, target, sizeof target - 1);
        if (n <= 0) {
            free(current);
            if (n == 0)
                errno = ENOENT;
            return nullptr;
        }
        target[n] = '\0';
        // A relative target is relative to the link's directory.
        char *slash = strrchr(current, '/');
        const char *dir = ".";
        if (slash == current)
            dir = "/";
        else if (slash != nullptr) {
            *slash = '\0';
            dir = current;
        }
        char *next = kuPath_Normalize(target, KUPATH_KEEP_RELATIVE, 0, nullptr);
        if (next != nullptr && target[0] != '/' && strcmp(dir, ".") != 0)
            next = (free(next), kuPath_Normalize(target, 0, 0, dir));
        free(current);
        current = next;
    }
    return nullptr;
}

int kuPath_IsAbsolute(const char *path)
{
    return path != nullptr && path[0] == '/';
}

char *kuPath_Normalize(const char *path, uint32_t flags, uint32_t reserved, const char *base)
{
    (void)reserved;
    if (path == nullptr || *path == '\0')
        return nullptr;

    // Join a relative path to its base first, then normalise the whole text.
    char *joined = nullptr;
    if (path[0] != '/' && !(flags & KUPATH_KEEP_RELATIVE)) {
        char *cwd = nullptr;
        const char *prefix = base;
        if (prefix == nullptr || *prefix == '\0') {
            cwd = getcwd(nullptr, 0);
            if (cwd == nullptr)
                return nullptr;
            prefix = cwd;
        }
        size_t lp = strlen(prefix), ln = strlen(path);
        joined = (char *)malloc(lp + ln + 2);
        if (joined == nullptr) {
            free(cwd);
            return nullptr;
        }
        memcpy(joined, prefix, lp);
        joined[lp] = '/';
        memcpy(joined + lp + 1, path, ln + 1);
        free(cwd);
        path = joined;
    }

    size_t length = strlen(path);
    char *out = (char *)malloc(length + 2);
    if (out == nullptr) {
        free(joined);
        return nullptr;
    }
    bool absolute = path[0] == '/';
    size_t o = 0;
    if (absolute)
        out[o++] = '/';
    size_t keep = o; // ".." never removes what lies before this index

    const char *p = path;
    while (*p != '\0') {
        while (*p == '/')
            p++;
        if (*p == '\0')
            break;
        const char *start = p;
        while (*p != '\0' && *p != '/')
            p++;
        size_t n = (size_t)(p - start);
        if (n == 1 && start[0] == '.')
            continue;
        if (n == 2 && start[0] == '.' && start[1] == '.') {
            if (o > keep) {
                // drop the last segment
                size_t end = o;
                while (end > keep && out[end - 1] != '/')
                    end--;
                o = end > keep ? end - 1 : keep;
                continue;
            }
            if (absolute)
                continue; // "/.." is "/"
            keep = o + 2 + (o > 0); // a kept ".." cannot be removed later
        }
        if (o > 0 && out[o - 1] != '/')
            out[o++] = '/';
        memcpy(out + o, start, n);
        o += n;
    }
    if (o == 0)
        out[o++] = '.';
    out[o] = '\0';
    free(joined);
    return out;
}
