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

#define KU_REAL(F) static auto fn = next<decltype(&::F)>(#F); return fn

namespace real {
int timeOfDay(kuTimeVal *v) { KU_REAL(kuTime_GetTimeOfDay) (v); }
int macAddress(int i, uint8_t *b) { KU_REAL(kuMACAddress_Get) (i, b); }
uint32_t rand() { KU_REAL(kuOSRand_Rand) (); }
void setSeed(uint32_t s) { KU_REAL(kuOSRand_SetSeed) (s); }
kuMutex *mutexNew() { KU_REAL(kuMutex_New) (); }
int fileOpen(const char *p, uint32_t f, uint32_t m, kuFile **h) { KU_REAL(kuFile_Open) (p, f, m, h); }
ptrdiff_t fileRead(kuFile *f, void *b, size_t c) { KU_REAL(kuFile_Read) (f, b, c); }
ptrdiff_t fileWrite(kuFile *f, const void *b, size_t c) { KU_REAL(kuFile_Write) (f, b, c); }
int fileClose(kuFile *f) { KU_REAL(kuFile_Close) (f); }
int fileExists(const char *p) { KU_REAL(kuFile_Exists) (p); }
int fileRemove(const char *p) { KU_REAL(kuFile_Remove) (p); }
int fileRename(const char *a, const char *b) { KU_REAL(kuFile_Rename) (a, b); }
int fileGetInfo(const char *p, uint32_t f, kuFileInfo *i) { KU_REAL(kuFile_GetInfo) (p, f, i); }
int fileSetInfo(kuFile *f, const kuFileInfo *i) { KU_REAL(kuFile_SetInfo) (f, i); }
int fileLock(kuFile *f, uint32_t l) { KU_REAL(kuFile_Lock) (f, l); }
char *resolveLink(const char *p) { KU_REAL(kuPath_ResolveLink) (p); }
char *getenv(const char *n) { KU_REAL(kuPlatform_getenv) (n); }
int peerName(int32_t s, uint32_t *a, uint16_t *p, const char *l) { KU_REAL(kuSocketGetPeerName_Debug) (s, a, p, l); }
int ipAddressList(void *p, uint32_t **l, int f) { KU_REAL(kuSocketGetIPAddressList) (p, l, f); }
int localHostIPAddressList(void *p, uint32_t **l, int f) { KU_REAL(kuSocketGetLocalHostIPAddressList) (p, l, f); }
kuSocketQOS *qosNew(void *p) { KU_REAL(kuSocketQOS_New) (p); }
} // namespace real

} // namespace kutest

using kutest::hooks;
namespace real = kutest::real;


extern "C" {

int kuTime_GetTimeOfDay(kuTimeVal *v)
{
    return hooks().timeOfDay ? hooks().timeOfDay(v) : real::timeOfDay(v);
}
int kuMACAddress_Get(int i, uint8_t b[6])
{
    return hooks().macAddress ? hooks().macAddress(i, b) : real::macAddress(i, b);
}
uint32_t kuOSRand_Rand(void)
{
    return hooks().rand ? hooks().rand() : real::rand();
}
void kuOSRand_SetSeed(uint32_t s)
{
    if (hooks().setSeed)
        hooks().setSeed(s);
    else
        real::setSeed(s);
}
kuMutex *kuMutex_New(void)
{
    return hooks().mutexNew ? hooks().mutexNew() : real::mutexNew();
}
int kuFile_Open(const char *p, uint32_t f, uint32_t m, kuFile **h)
{
    return hooks().fileOpen ? hooks().fileOpen(p, f, m, h) : real::fileOpen(p, f, m, h);
}
ptrdiff_t kuFile_Read(kuFile *f, void *b, size_t c)
{
    return hooks().fileRead ? hooks().fileRead(f, b, c) : real::fileRead(f, b, c);
}
ptrdiff_t kuFile_Write(kuFile *f, const void *b, size_t c)
{
    return hooks().fileWrite ? hooks().fileWrite(f, b, c) : real::fileWrite(f, b, c);
}
int kuFile_Close(kuFile *f)
{
    return hooks().fileClose ? hooks().fileClose(f) : real::fileClose(f);
}
int kuFile_Exists(const char *p)
{
    return hooks().fileExists ? hooks().fileExists(p) : real::fileExists(p);
}
int kuFile_Remove(const char *p)
{
    return hooks().fileRemove ? hooks().fileRemove(p) : real::fileRemove(p);
}
int kuFile_Rename(const char *a, const char *b)
{
    return hooks().fileRename ? hooks().fileRename(a, b) : real::fileRename(a, b);
}
int kuFile_GetInfo(const char *p, uint32_t f, kuFileInfo *i)
{
    return hooks().fileGetInfo ? hooks().fileGetInfo(p, f, i) : real::fileGetInfo(p, f, i);
}
int kuFile_SetInfo(kuFile *f, const kuFileInfo *i)
{
    return hooks().fileSetInfo ? hooks().fileSetInfo(f, i) : real::fileSetInfo(f, i);
}
int kuFile_Lock(kuFile *f, uint32_t l)
{
    return hooks().fileLock ? hooks().fileLock(f, l) : real::fileLock(f, l);
}
char *kuPath_ResolveLink(const char *p)
{
    return hooks().resolveLink ? hooks().resolveLink(p) : real::resolveLink(p);
}
char *kuPlatform_getenv(const char *n)
{
    return hooks().getenv ? hooks().getenv(n) : real::getenv(n);
}
int kuSocketGetPeerName_Debug(int32_t s, uint32_t *a, uint16_t *p, const char *l)
{
    return hooks().peerName ? hooks().peerName(s, a, p, l) : real::peerName(s, a, p, l);
}
int kuSocketGetIPAddressList(void *p, uint32_t **l, int f)
{
    return hooks().ipAddressList ? hooks().ipAddressList(p, l, f) : real::ipAddressList(p, l, f);
}
int kuSocketGetLocalHostIPAddressList(void *p, uint32_t **l, int f)
{
    return hooks().localHostIPAddressList ? hooks().localHostIPAddressList(p, l, f)
                                          : real::localHostIPAddressList(p, l, f);
}
kuSocketQOS *kuSocketQOS_New(void *p)
{
    return hooks().qosNew ? hooks().qosNew(p) : real::qosNew(p);
}

} // extern "C"
