// Read-only and writable INI layers, and the commit of the writable file
// through a ".tmp" and a ".ok" companion.
#include <kuvanaTools/kuConfigFile.h>

#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuINIFile.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuINIFileInternal.h>
#include <kuvanaTools/private/kuLogInternal.h>

#include <platform/kuOSFile.h>

#include <string.h>

struct kuConfigFile {
    char *readOnlyPath;
    char *writablePath;
    kuDictionary *readOnlyIni;
    kuDictionary *writableIni;
};

namespace {

constexpr char kSource[] = "kuvanaTools/kuConfigFile";

#define CONFIG_LOG(...) ku::logf(ku::kLogConfigFile, kSource, __LINE__, __VA_ARGS__)

// The writable path with a suffix, released with the object.
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

// Finishes or discards a save that was interrupted, then loads the writable
// layer.
void recoverAndLoad(kuConfigFile *config)
{
    const char *path = config->writablePath;
    Companion tmp(path, ".tmp");
    Companion ok(path, ".ok");
    const bool hasPath = kuFile_Exists(path) != 0;
    const bool hasTmp = kuFile_Exists(tmp.c_str()) != 0;
    const bool hasOk = kuFile_Exists(ok.c_str()) != 0;

    if (hasTmp && kuFile_Remove(tmp.c_str()) != 0)
        CONFIG_LOG("Cannot remove temporary file '%s'\n", tmp.c_str());
    if (hasOk) {
        if (hasPath && kuFile_Remove(path) != 0)
            CONFIG_LOG("Cannot remove previous valid file '%s', aborting commit\n", path);
        else if (kuFile_Rename(ok.c_str(), path) != 0)
            CONFIG_LOG("Cannot commit file '%s'\n", ok.c_str());
    }
    // Without the main file (its commit failed, or it was removed for one
    // that did not happen), the complete save waiting in ".ok" is the
    // configuration: loading nothing would let the next save write an empty
    // file over it.
    if (!kuINIFile_LoadINIFile(path, config->writableIni))
        kuINIFile_LoadINIFile(ok.c_str(), config->writableIni);
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
        CONFIG_LOG("Cannot resolve read-only config file path for '%s'\n", readOnlyPath);
    if (config->readOnlyPath != nullptr &&
        !kuINIFile_LoadINIFile(config->readOnlyPath, config->readOnlyIni))
        CONFIG_LOG("Cannot load read-only config file '%s'\n", config->readOnlyPath);
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

int kuConfigFile_Save(kuConfigFile *config)
{
    if (config == nullptr || config->writablePath == nullptr || config->writableIni == nullptr)
        return 0;
    const char *path = config->writablePath;
    Companion tmp(path, ".tmp");
    Companion ok(path, ".ok");
    const bool okExisted = kuFile_Exists(ok.c_str()) != 0;

    // A short or unflushed ".tmp" must never become ".ok".
    if (!ku::saveINIFileChecked(tmp.c_str(), config->writableIni)) {
        CONFIG_LOG("Cannot save file '%s'\n", tmp.c_str());
        kuFile_Remove(tmp.c_str());
        return 0;
    }
    // While the main file is missing, ".ok" is the only complete copy: keep
    // it until the rename below replaces it.
    bool okRemoveFailed = false;
    if (okExisted && kuFile_Exists(path))
        okRemoveFailed = kuFile_Remove(ok.c_str()) != 0;
    if (kuFile_Rename(tmp.c_str(), ok.c_str()) != 0) {
        CONFIG_LOG("Cannot save file: cannot rename temporary file '%s'\n", tmp.c_str());
        if (okRemoveFailed)
            CONFIG_LOG("Cannot save file: Was not able to remove previous valid file '%s'\n",
                       ok.c_str());
        return 0;
    }
    kuFile_Remove(path);
    if (kuFile_Rename(ok.c_str(), path) == 0)
        return 1;
    CONFIG_LOG("Cannot save file: cannot commit file '%s'\n", ok.c_str());
    if (okRemoveFailed)
        CONFIG_LOG("Cannot save file: Was not able to remove previous valid file '%s'\n", path);
    return 0;
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
