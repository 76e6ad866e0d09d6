// Read-only and writable INI layers, and the commit of the writable file
// through a ".tmp" and a ".ok" companion.
#include <kuvanaTools/kuConfigFile.h>

#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuINIFile.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuINIFileInternal.h>
#include <kuvanaTools/private/kuLogInternal.h>

#include <platform/kuOSFile.h>

#include <errno.h>
#include <string.h>

struct kuConfigFile {
    char *readOnlyPath;
    char *writablePath;
    kuDictionary *readOnlyIni;
    kuDictionary *writableIni;
    bool unreadable; // the writable file was there but could not be loaded
};

namespace {

constexpr ku::LogSource kLog = {ku::kLogConfigFile, "kuvanaTools/kuConfigFile"};

// A file's path with a suffix (".tmp", ".ok", ".lock"), released with the
// object.
class Companion {
public:
    Companion(const char *path, const char *suffix)
    {
        size_t a = strlen(path);
        size_t b = strlen(suffix);
        text_ = (char *)kuMalloc(a + b + 1);
        memcpy(text_, path, a);
        memcpy(text_ + a, suffix, b + 1);
    }
    ~Companion() { kuFree(text_); }
    Companion(const Companion &) = delete;
    Companion &operator=(const Companion &) = delete;
    const char *c_str() const { return text_; }

private:
    char *text_;
};

// The system's reason for a failure, for the log.
inline const char *reason(int error)
{
    return strerror(error);
}

// The advisory lock on T".lock" that a save holds while it writes and
// commits and a creation holds while it repairs and loads, in whatever
// process they run: a repair never takes a save half done for an interrupted
// one, and a load never meets the moment between removing T and renaming
// T".ok". The file stays: removing it would let two processes lock two
// different files.
class FileLock {
public:
    explicit FileLock(const char *target)
    {
        Companion path(target, ".lock");
        // No following a link planted there; mode 3 as any file the user makes.
        if (kuFile_Open(path.c_str(), KUFILE_READ | KUFILE_CREATE | KUFILE_NOFOLLOW, 3, &file_) !=
            0) {
            error_ = errno;
            return;
        }
        if (kuFile_Lock(file_, 0) != 0) {
            error_ = errno;
            kuFile_Close(file_);
            file_ = nullptr;
        }
    }
    ~FileLock()
    {
        if (file_ != nullptr)
            kuFile_Close(file_);
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool held() const { return file_ != nullptr; }
    int error() const { return error_; }

private:
    kuFile *file_ = nullptr;
    int error_ = 0;
};

// Finishes or discards a save that was interrupted, with the lock held.
void repair(const char *path, const Companion &tmp, const Companion &ok)
{
    const bool hasPath = kuFile_Exists(path) != 0;
    const bool hasTmp = kuFile_Exists(tmp.c_str()) != 0;
    const bool hasOk = kuFile_Exists(ok.c_str()) != 0;

    if (hasTmp && kuFile_Remove(tmp.c_str()) != 0)
        ku::log(kLog, __LINE__, "Cannot remove temporary file '%s': %s\n", tmp.c_str(),
                reason(errno));
    if (hasOk) {
        if (hasPath && kuFile_Remove(path) != 0)
            ku::log(kLog, __LINE__, "Cannot remove previous valid file '%s', aborting commit: %s\n",
                    path, reason(errno));
        else if (kuFile_Rename(ok.c_str(), path) != 0)
            ku::log(kLog, __LINE__, "Cannot commit file '%s': %s\n", ok.c_str(), reason(errno));
    }
}

// Why nothing should be loaded from path although something is there: not a
// regular file (a FIFO would block the load, a device never end it). Null
// for a regular file or none.
const char *special(const char *path)
{
    kuFileInfo info;
    if (kuFile_GetInfo(path, 0, &info) != 0 || info.type == KUFILE_TYPE_REGULAR)
        return nullptr;
    return info.type == KUFILE_TYPE_DIRECTORY ? reason(EISDIR) : "not a regular file";
}

// Loads file into the writable layer. A file that is there but cannot be
// read is remembered: saving over it would destroy what was never loaded.
bool load(kuConfigFile *config, const char *file)
{
    const char *why = special(file);
    if (why == nullptr && kuINIFile_LoadINIFile(file, config->writableIni))
        return true;
    if (why == nullptr)
        why = reason(errno);
    if (kuFile_Exists(file)) {
        config->unreadable = true;
        ku::log(kLog, __LINE__, "Cannot load config file '%s': %s\n", file, why);
    }
    return false;
}

// Repairs an interrupted save of the writable file (the target of the links
// at its path), then loads it.
void recoverAndLoad(kuConfigFile *config)
{
    char *path = kuPath_ResolveLink(config->writablePath);
    if (path == nullptr) {
        // Links that loop or cannot be read: what loads is kept from saves.
        config->unreadable = true;
        ku::log(kLog, __LINE__, "Cannot load config file '%s': %s\n", config->writablePath,
                reason(errno));
        path = kuStrdup(config->writablePath);
    }
    Companion tmp(path, ".tmp");
    Companion ok(path, ".ok");
    FileLock lock(path);
    if (lock.held())
        repair(path, tmp, ok);
    else if (kuFile_Exists(tmp.c_str()) || kuFile_Exists(ok.c_str()))
        // Without the lock the files may be a save under way: left alone.
        ku::log(kLog, __LINE__, "Cannot lock '%s.lock', interrupted save left as it is: %s\n", path,
                reason(lock.error()));
    // Without the main file (its commit failed, or it was removed for one
    // that did not happen), the complete save waiting in ".ok" is the
    // configuration: loading nothing would let the next save write an empty
    // file over it.
    if (!load(config, path) && !kuFile_Exists(path))
        load(config, ok.c_str());
    kuFree(path);
}

kuDictionary *layer(kuConfigFile *config, int readOnly)
{
    if (config == nullptr)
        return nullptr;
    return readOnly ? config->readOnlyIni : config->writableIni;
}

// A reader of kuINIFile.h asked of the writable layer, then of the
// read-only one; defaultValue when neither has the key.
template <typename T, T (*Read)(kuDictionary *, const char *, const char *, T, int *)>
T readLayers(kuConfigFile *config, const char *section, const char *key, T defaultValue)
{
    if (config == nullptr)
        return defaultValue;
    int found = 0;
    if (config->writableIni != nullptr) {
        T value = Read(config->writableIni, section, key, defaultValue, &found);
        if (found)
            return value;
    }
    return Read(config->readOnlyIni, section, key, defaultValue, &found);
}

} // namespace

kuConfigFile *kuConfigFile_New(const char *readOnlyPath, const char *writablePath)
{
    kuConfigFile *config = (kuConfigFile *)kuMallocZeroed(sizeof(kuConfigFile));
    if (readOnlyPath != nullptr)
        config->readOnlyPath = kuPath_Normalize(readOnlyPath, 0, 0, nullptr);
    if (writablePath != nullptr)
        config->writablePath = kuPath_Normalize(writablePath, 0, 0, nullptr);
    config->readOnlyIni = kuDictionary_New(0);
    if (writablePath != nullptr)
        config->writableIni = kuDictionary_New(0);

    if (readOnlyPath != nullptr && config->readOnlyPath == nullptr)
        ku::log(kLog, __LINE__, "Cannot resolve read-only config file path for '%s'\n",
                readOnlyPath);
    if (config->readOnlyPath != nullptr && (special(config->readOnlyPath) != nullptr ||
        !kuINIFile_LoadINIFile(config->readOnlyPath, config->readOnlyIni)))
        ku::log(kLog, __LINE__, "Cannot load read-only config file '%s'\n", config->readOnlyPath);
    if (config->writablePath != nullptr)
        recoverAndLoad(config);
    return config;
}

void kuConfigFile_Delete(kuConfigFile *config)
{
    if (config == nullptr)
        return;
    kuDictionary_Delete(config->readOnlyIni);
    kuDictionary_Delete(config->writableIni);
    kuFree(config->readOnlyPath);
    kuFree(config->writablePath);
    kuFree(config);
}

void kuConfigFile_Reset(kuConfigFile *config)
{
    if (config == nullptr || config->writableIni == nullptr)
        return;
    kuDictionary_Delete(config->writableIni);
    config->writableIni = kuDictionary_New(0);
}

namespace {

// The permission bits and owner the saved file gets: those of the file it
// replaces (or of the complete save waiting in ".ok" while that file is
// missing), for a new file those kuFile_Open gives. False (logged) when
// path is no regular file or cannot be looked at.
bool attributesFor(const char *path, const Companion &ok, kuFileInfo *info)
{
    if (kuFile_GetInfo(path, 0, info) == 0) {
        if (info->type == KUFILE_TYPE_REGULAR)
            return true;
        ku::log(kLog, __LINE__, "Cannot save file '%s': it is not a regular file\n", path);
        return false;
    }
    if (errno != ENOENT && errno != ENOTDIR) {
        ku::log(kLog, __LINE__, "Cannot save file '%s': %s\n", path, reason(errno));
        return false;
    }
    if (kuFile_GetInfo(ok.c_str(), 0, info) == 0 && info->type == KUFILE_TYPE_REGULAR)
        return true;
    info->type = KUFILE_TYPE_REGULAR;
    info->permissions = kuFile_GetCreationPermissions(KUFILE_MODE_READ | KUFILE_MODE_WRITE);
    info->owner = info->group = 0xFFFFFFFFu;
    return true;
}

// Writes the layer to a new ".tmp" that only the owner can open while it
// is written, then gives it its final attributes.
bool writeTemporary(kuConfigFile *config, const Companion &tmp, const kuFileInfo &info)
{
    // A stale ".tmp", or a link planted there, is removed, never written
    // through: the exclusive create fails on anything left at that name.
    kuFile_Remove(tmp.c_str());
    kuFile *file = nullptr;
    if (kuFile_Open(tmp.c_str(), KUFILE_WRITE | KUFILE_CREATE | KUFILE_EXCLUSIVE | KUFILE_TRUNCATE,
                    KUFILE_MODE_READ | KUFILE_MODE_WRITE | KUFILE_MODE_OWNER_ONLY, &file) != 0) {
        ku::log(kLog, __LINE__, "Cannot save file '%s': %s\n", tmp.c_str(), reason(errno));
        return false;
    }
    // A short or unflushed ".tmp" must never become ".ok".
    bool written = ku::writeINIFile(file, config->writableIni) && kuFile_SetInfo(file, &info) == 0;
    int error = errno;
    if (kuFile_Close(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        ku::log(kLog, __LINE__, "Cannot save file '%s': %s\n", tmp.c_str(), reason(error));
        kuFile_Remove(tmp.c_str());
    }
    return written;
}

// Saves to path (the writable file with its links followed) and its
// companions beside it.
int saveTo(kuConfigFile *config, const char *path)
{
    if (config->unreadable) {
        ku::log(kLog, __LINE__, "Cannot save file '%s': it exists but could not be read\n", path);
        return 0;
    }
    Companion tmp(path, ".tmp");
    Companion ok(path, ".ok");
    FileLock lock(path);
    if (!lock.held()) {
        ku::log(kLog, __LINE__, "Cannot save file '%s': cannot lock '%s.lock': %s\n", path, path,
                reason(lock.error()));
        return 0;
    }
    kuFileInfo info;
    if (!attributesFor(path, ok, &info))
        return 0;
    const bool okExisted = kuFile_Exists(ok.c_str()) != 0;
    if (!writeTemporary(config, tmp, info))
        return 0;
    // While the main file is missing, ".ok" is the only complete copy: keep
    // it until the rename below replaces it.
    bool okRemoveFailed = false;
    int okError = 0;
    if (okExisted && kuFile_Exists(path)) {
        okRemoveFailed = kuFile_Remove(ok.c_str()) != 0;
        okError = errno;
    }
    if (kuFile_Rename(tmp.c_str(), ok.c_str()) != 0) {
        ku::log(kLog, __LINE__, "Cannot save file: cannot rename temporary file '%s': %s\n",
                tmp.c_str(), reason(errno));
        if (okRemoveFailed)
            ku::log(kLog, __LINE__,
                    "Cannot save file: Was not able to remove previous valid file '%s': %s\n",
                    ok.c_str(), reason(okError));
        return 0;
    }
    kuFile_Remove(path);
    if (kuFile_Rename(ok.c_str(), path) == 0)
        return 1;
    ku::log(kLog, __LINE__, "Cannot save file: cannot commit file '%s': %s\n", ok.c_str(),
            reason(errno));
    if (okRemoveFailed)
        ku::log(kLog, __LINE__,
                "Cannot save file: Was not able to remove previous valid file '%s': %s\n", path,
                reason(okError));
    return 0;
}

} // namespace

int kuConfigFile_Save(kuConfigFile *config)
{
    if (config == nullptr || config->writablePath == nullptr || config->writableIni == nullptr)
        return 0;
    char *path = kuPath_ResolveLink(config->writablePath);
    if (path == nullptr) {
        ku::log(kLog, __LINE__, "Cannot save file '%s': %s\n", config->writablePath, reason(errno));
        return 0;
    }
    int saved = saveTo(config, path);
    kuFree(path);
    return saved;
}

const char *kuConfigFile_GetString(kuConfigFile *config, const char *section, const char *key,
                                   const char *defaultValue)
{
    return readLayers<const char *, kuINIFile_ReadKeyAsString>(config, section, key,
                                                                defaultValue);
}

char *kuConfigFile_GetStringWithSubstitution(kuConfigFile *config, const char *section,
                                             const char *key, const char *defaultValue,
                                             kuStringSubstitution_Resolver resolver)
{
    if (config == nullptr)
        return kuStringSubstitution_Substitute(defaultValue, '%', 0, resolver, nullptr);
    int found = 0;
    if (config->writableIni != nullptr) {
        char *text = kuINIFile_ReadKeyAsStringWithSubstitution(config->writableIni, section, key,
                                                               defaultValue, &found, resolver);
        if (found)
            return text;
        kuFree(text);
    }
    return kuINIFile_ReadKeyAsStringWithSubstitution(config->readOnlyIni, section, key,
                                                     defaultValue, &found, resolver);
}

uint32_t kuConfigFile_GetUInt32(kuConfigFile *config, const char *section, const char *key,
                                uint32_t defaultValue)
{
    return readLayers<uint32_t, kuINIFile_ReadKeyAsUInt32>(config, section, key, defaultValue);
}

int32_t kuConfigFile_GetInt32(kuConfigFile *config, const char *section, const char *key,
                              int32_t defaultValue)
{
    return readLayers<int32_t, kuINIFile_ReadKeyAsInt32>(config, section, key, defaultValue);
}

uint8_t kuConfigFile_GetUInt8(kuConfigFile *config, const char *section, const char *key,
                              uint8_t defaultValue)
{
    uint32_t v = (uint32_t)kuConfigFile_GetInt32(config, section, key, 2147483647);
    return v < 256 ? (uint8_t)v : defaultValue;
}

uint16_t kuConfigFile_GetUInt16(kuConfigFile *config, const char *section, const char *key,
                                uint16_t defaultValue)
{
    uint32_t v = (uint32_t)kuConfigFile_GetInt32(config, section, key, 2147483647);
    return v < 65536 ? (uint16_t)v : defaultValue;
}

int kuConfigFile_OptionIsSet(kuConfigFile *config, const char *section, const char *key,
                             int defaultValue)
{
    if (config == nullptr)
        return defaultValue;
    int found = 0;
    if (config->writableIni != nullptr) {
        int value = kuINIFile_ReadKeyAsBool(config->writableIni, section, key, 0, &found);
        if (found)
            return value;
    }
    int value = kuINIFile_ReadKeyAsBool(config->readOnlyIni, section, key, 0, &found);
    return found ? value : defaultValue;
}

int kuConfigFile_SetString(kuConfigFile *config, const char *section, const char *key,
                           const char *value)
{
    return kuINIFile_WriteKeyAsString(layer(config, 0), section, key, value);
}

int kuConfigFile_SetUInt32(kuConfigFile *config, const char *section, const char *key,
                           uint32_t value)
{
    return kuINIFile_WriteKeyAsUInt32(layer(config, 0), section, key, value);
}

int kuConfigFile_SetInt32(kuConfigFile *config, const char *section, const char *key,
                          int32_t value)
{
    return kuINIFile_WriteKeyAsInt32(layer(config, 0), section, key, value);
}

int kuConfigFile_DeleteKey(kuConfigFile *config, const char *section, const char *key)
{
    return kuINIFile_DeleteKey(layer(config, 0), section, key);
}

int kuConfigFile_DeleteSection(kuConfigFile *config, const char *section)
{
    return kuINIFile_DeleteSection(layer(config, 0), section);
}

uint32_t kuConfigFile_GetSectionCount(kuConfigFile *config, int readOnly)
{
    return kuINIFile_GetNumberOfSections(layer(config, readOnly));
}

const char *kuConfigFile_GetSectionName(kuConfigFile *config, uint32_t index, int readOnly)
{
    kuDictionary *ini = layer(config, readOnly);
    return ini != nullptr ? kuINIFile_GetSectionName(ini, index) : "";
}

uint32_t kuConfigFile_GetKeyCount(kuConfigFile *config, const char *section, int readOnly)
{
    return kuINIFile_GetNumberOfKeys(layer(config, readOnly), section);
}

const char *kuConfigFile_GetKeyName(kuConfigFile *config, const char *section, uint32_t index,
                                    int readOnly)
{
    kuDictionary *ini = layer(config, readOnly);
    return ini != nullptr ? kuINIFile_GetKeyName(ini, section, index) : "";
}
