// Replaceable platform functions for tests.
//
// The test executables define the platform layer's functions below; the
// library binds to them instead of libkuOS. Each one calls its hook when set
// and passes through to the real platform function otherwise. Set hooks
// through a ScopedPlatformHooks so that they are cleared when the test ends.
#pragma once

#include <platform/kuOS.h>

#include <functional>
#include <mutex>
#include <stdlib.h>
#include <string.h>
#include <vector>

namespace kutest {

struct PlatformHooks {
    std::function<int(kuTimeVal *)> timeOfDay;
    std::function<int(int, uint8_t *)> macAddress;
    std::function<uint32_t()> rand;
    std::function<void(uint32_t)> setSeed;
    std::function<kuMutex *()> mutexNew;
    std::function<int(const char *, uint32_t, uint32_t, kuFile **)> fileOpen;
    std::function<ptrdiff_t(kuFile *, void *, size_t)> fileRead;
    std::function<ptrdiff_t(kuFile *, const void *, size_t)> fileWrite;
    std::function<int(kuFile *)> fileClose;
    std::function<int(const char *)> fileExists;
    std::function<int(const char *)> fileRemove;
    std::function<int(const char *, const char *)> fileRename;
    std::function<int(const char *, uint32_t, kuFileInfo *)> fileGetInfo;
    std::function<int(kuFile *, const kuFileInfo *)> fileSetInfo;
    std::function<int(kuFile *, uint32_t)> fileLock;
    std::function<char *(const char *)> resolveLink;
    std::function<char *(const char *)> getenv;
    std::function<int(int32_t, uint32_t *, uint16_t *, const char *)> peerName;
    std::function<int(void *, uint32_t **, int)> ipAddressList;
    std::function<int(void *, uint32_t **, int)> localHostIPAddressList;
    std::function<kuSocketQOS *(void *)> qosNew;
};

// The hooks in force (empty: everything passes through).
PlatformHooks &hooks();

// Restores the hooks it found when it goes out of scope.
class ScopedPlatformHooks {
public:
    ScopedPlatformHooks() : saved_(hooks()) {}
    ~ScopedPlatformHooks() { hooks() = saved_; }
    PlatformHooks *operator->() { return &hooks(); }

private:
    PlatformHooks saved_;
};

// The real platform functions, for hooks that fail some calls and pass the
// others through.
namespace real {
int timeOfDay(kuTimeVal *value);
int macAddress(int index, uint8_t *bytes);
uint32_t rand();
void setSeed(uint32_t seed);
kuMutex *mutexNew();
int fileOpen(const char *path, uint32_t flags, uint32_t mode, kuFile **handle);
ptrdiff_t fileRead(kuFile *file, void *buffer, size_t count);
ptrdiff_t fileWrite(kuFile *file, const void *buffer, size_t count);
int fileClose(kuFile *file);
int fileExists(const char *path);
int fileRemove(const char *path);
int fileRename(const char *from, const char *to);
int fileGetInfo(const char *path, uint32_t flags, kuFileInfo *info);
int fileSetInfo(kuFile *file, const kuFileInfo *info);
int fileLock(kuFile *file, uint32_t flags);
char *resolveLink(const char *path);
char *getenv(const char *name);
int peerName(int32_t socket, uint32_t *address, uint16_t *port, const char *label);
int ipAddressList(void *policy, uint32_t **list, int flags);
int localHostIPAddressList(void *policy, uint32_t **list, int flags);
kuSocketQOS *qosNew(void *policy);
} // namespace real

// A fixed clock: every call returns the stored value.
struct FakeClock {
    kuTimeVal now{0, 0};
    void install(ScopedPlatformHooks &scope)
    {
        scope->timeOfDay = [this](kuTimeVal *v) {
            *v = now;
            return 0;
        };
    }
};

// A settable host address list for kuSocketGetIPAddressList or
// kuSocketGetLocalHostIPAddressList (failing: -1), safe to change while other
// threads read it; it records the last call's arguments.
struct FakeAddressList {
    std::mutex mutex;
    std::vector<uint32_t> addresses;
    bool failing = false;
    int flags = -1;
    void *policy = nullptr;

    void set(std::vector<uint32_t> list, bool fail = false)
    {
        std::lock_guard<std::mutex> lock(mutex);
        addresses = list;
        failing = fail;
    }
    std::function<int(void *, uint32_t **, int)> hook()
    {
        return [this](void *p, uint32_t **list, int f) {
            std::lock_guard<std::mutex> lock(mutex);
            flags = f, policy = p;
            *list = nullptr;
            if (failing || addresses.empty())
                return failing ? -1 : 0;
            *list = (uint32_t *)malloc(addresses.size() * sizeof(uint32_t));
            memcpy(*list, addresses.data(), addresses.size() * sizeof(uint32_t));
            return (int)addresses.size();
        };
    }
};

} // namespace kutest
