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
#define KU_FAKE(Ret, name, hook, Params, Args)                                                     \
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

KU_PLATFORM_FAKES(KU_FAKE)
