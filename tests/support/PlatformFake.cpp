// Definitions that interpose on the platform layer (see PlatformFake.h).
#include "support/PlatformFake.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

namespace kutest {

PlatformHooks &hooks()
{
    static PlatformHooks h;
    return h;
}

namespace {
// The next definition after this executable's: libkuOS's.
template <typename F> F next(const char *name)
{
    void *f = dlsym(RTLD_NEXT, name);
    if (f == nullptr) {
        fprintf(stderr, "PlatformFake: no real %s\n", name);
        abort();
    }
    return (F)f;
}
} // namespace
} // namespace kutest

// Defines real::hook, the next definition of name (libkuOS's), and name
// itself for the library: the hook when set, the real function otherwise.
#define KU_FAKE(Ret, name, hook, Params, Args)                                                      \
    namespace kutest::real {                                                                       \
    Ret hook Params                                                                                \
    {                                                                                              \
        static auto fn = next<decltype(&::name)>(#name);                                           \
        return fn Args;                                                                            \
    }                                                                                              \
    }                                                                                              \
    extern "C" Ret name Params { return hooks().hook ? hooks().hook Args : real::hook Args; }

using kutest::hooks;
using kutest::next;
namespace real = kutest::real;

KU_FAKE(int, kuTime_GetTimeOfDay, timeOfDay, (kuTimeVal * v), (v))
KU_FAKE(int, kuMACAddress_Get, macAddress, (int i, uint8_t *b), (i, b))
KU_FAKE(uint32_t, kuOSRand_Rand, rand, (), ())
KU_FAKE(void, kuOSRand_SetSeed, setSeed, (uint32_t s), (s))
KU_FAKE(kuMutex *, kuMutex_New, mutexNew, (), ())
KU_FAKE(int, kuFile_Open, fileOpen, (const char *p, uint32_t f, uint32_t m, kuFile **h), (p, f, m, h))
KU_FAKE(ptrdiff_t, kuFile_Read, fileRead, (kuFile * f, void *b, size_t c), (f, b, c))
KU_FAKE(ptrdiff_t, kuFile_Write, fileWrite, (kuFile * f, const void *b, size_t c), (f, b, c))
KU_FAKE(int, kuFile_Close, fileClose, (kuFile * f), (f))
KU_FAKE(int, kuFile_Exists, fileExists, (const char *p), (p))
KU_FAKE(int, kuFile_Remove, fileRemove, (const char *p), (p))
KU_FAKE(int, kuFile_Rename, fileRename, (const char *a, const char *b), (a, b))
KU_FAKE(int, kuFile_GetInfo, fileGetInfo, (const char *p, uint32_t f, kuFileInfo *i), (p, f, i))
KU_FAKE(int, kuFile_SetInfo, fileSetInfo, (kuFile * f, const kuFileInfo *i), (f, i))
KU_FAKE(int, kuFile_Lock, fileLock, (kuFile * f, uint32_t l), (f, l))
KU_FAKE(char *, kuPath_ResolveLink, resolveLink, (const char *p), (p))
KU_FAKE(char *, kuPlatform_getenv, getenv, (const char *n), (n))
KU_FAKE(int, kuSocketGetPeerName_Debug, peerName, (int32_t s, uint32_t *a, uint16_t *p, const char *l),
        (s, a, p, l))
KU_FAKE(int, kuSocketGetIPAddressList, ipAddressList, (void *p, uint32_t **l, int f), (p, l, f))
KU_FAKE(int, kuSocketGetLocalHostIPAddressList, localHostIPAddressList,
        (void *p, uint32_t **l, int f), (p, l, f))
KU_FAKE(kuSocketQOS *, kuSocketQOS_New, qosNew, (void *p), (p))
