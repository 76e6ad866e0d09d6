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

// Each replaceable function: its result, name, hook, parameters and arguments.
#define KU_PLATFORM_FAKES(X)                                                                       \
    X(int, kuTime_GetTimeOfDay, timeOfDay, (kuTimeVal * v), (v))                                   \
    X(int, kuMACAddress_Get, macAddress, (int i, uint8_t *b), (i, b))                              \
    X(uint32_t, kuOSRand_Rand, rand, (), ())                                                       \
    X(void, kuOSRand_SetSeed, setSeed, (uint32_t s), (s))                                          \
    X(kuMutex *, kuMutex_New, mutexNew, (), ())                                                    \
    X(int, kuFile_Open, fileOpen, (const char *p, uint32_t f, uint32_t m, kuFile **h),             \
      (p, f, m, h))                                                                                \
    X(ptrdiff_t, kuFile_Read, fileRead, (kuFile * f, void *b, size_t c), (f, b, c))                \
    X(ptrdiff_t, kuFile_Write, fileWrite, (kuFile * f, const void *b, size_t c), (f, b, c))        \
    X(int, kuFile_Close, fileClose, (kuFile * f), (f))                                             \
    X(int, kuFile_Exists, fileExists, (const char *p), (p))                                        \
    X(int, kuFile_Remove, fileRemove, (const char *p), (p))                                        \
    X(int, kuFile_Rename, fileRename, (const char *a, const char *b), (a, b))                      \
    X(int, kuFile_GetInfo, fileGetInfo, (const char *p, uint32_t f, kuFileInfo *i), (p, f, i))     \
    X(int, kuFile_SetInfo, fileSetInfo, (kuFile * f, const kuFileInfo *i), (f, i))                 \
    X(int, kuFile_Lock, fileLock, (kuFile * f, uint32_t l), (f, l))                                \
    X(char *, kuPath_ResolveLink, resolveLink, (const char *p), (p))                               \
    X(char *, kuPlatform_getenv, getenv, (const char *n), (n))                                     \
    X(int, kuSocketGetPeerName_Debug, peerName,                                                    \
      (int32_t s, uint32_t *a, uint16_t *p, const char *l), (s, a, p, l))                          \
    X(int, kuSocketGetIPAddressList, ipAddressList, (void *p, uint32_t **l, int f), (p, l, f))     \
    X(int, kuSocketGetLocalHostIPAddressList, localHostIPAddressList,                              \
      (void *p, uint32_t **l, int f), (p, l, f))                                                   \
    X(kuSocketQOS *, kuSocketQOS_New, qosNew, (void *p), (p))

// One std::function per replaceable function, named as its hook.
struct PlatformHooks {
#define KU_HOOK_MEMBER(Ret, name, hook, Params, Args) std::function<Ret Params> hook;
    KU_PLATFORM_FAKES(KU_HOOK_MEMBER)
#undef KU_HOOK_MEMBER
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
#define KU_REAL_DECLARATION(Ret, name, hook, Params, Args) Ret hook Params;
KU_PLATFORM_FAKES(KU_REAL_DECLARATION)
#undef KU_REAL_DECLARATION
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
