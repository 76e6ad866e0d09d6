// Replaceable platform functions for tests.
//
// The test executables define the platform layer's functions below; the
// library binds to them instead of libkuOS. Each one calls its hook when set
// and passes through to the real platform function otherwise. Set hooks
// through a ScopedPlatformHooks so that they are cleared when the test ends.
#pragma once

#include <platform/kuOS.h>

#include <functional>

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
    std::function<char *(const char *)> getenv;
    std::function<int(int32_t, uint32_t *, uint16_t *, const char *)> peerName;
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
char *getenv(const char *name);
int peerName(int32_t socket, uint32_t *address, uint16_t *port, const char *label);
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

} // namespace kutest
