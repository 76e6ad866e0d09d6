// Environment, locale, MAC address, random source, back-traces.
#include <platform/kuOSSystem.h>

#include <execinfo.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

char *kuPlatform_getenv(const char *name)
{
    if (name == nullptr)
        return nullptr;
    const char *value = getenv(name);
    return value != nullptr ? strdup(value) : nullptr;
}

char *kuLocale_Get(char *buffer, size_t size)
{
    if (buffer == nullptr)
        return nullptr;
    const char *names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    const char *value = nullptr;
    for (const char *name : names) {
        value = getenv(name);
        if (value != nullptr && *value != '\0')
            break;
        value = nullptr;
    }
    char tag[64];
    size_t n = 0;
    if (value == nullptr || strcmp(value, "C") == 0 || strncmp(value, "C.", 2) == 0 ||
        strcmp(value, "POSIX") == 0) {
        strcpy(tag, "en-US");
        n = 5;
    } else {
        for (const char *p = value; *p != '\0' && *p != '.' && *p != '@' && n + 1 < sizeof tag;
             p++)
            tag[n++] = *p == '_' ? '-' : *p;
        tag[n] = '\0';
    }
    if (n + 1 > size)
        return nullptr;
    memcpy(buffer, tag, n + 1);
    return buffer;
}

int kuMACAddress_Get(int index, uint8_t bytes[6])
{
    if (bytes == nullptr || index < 0)
        return -1;
    struct ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return -1;
    int seen = 0, rc = -1;
    for (struct ifaddrs *a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_PACKET ||
            (a->ifa_flags & IFF_LOOPBACK))
            continue;
        const struct sockaddr_ll *ll = (const struct sockaddr_ll *)a->ifa_addr;
        if (ll->sll_halen != 6)
            continue;
        static const uint8_t zero[6] = {0};
        if (memcmp(ll->sll_addr, zero, 6) == 0)
            continue;
        if (seen++ == index) {
            memcpy(bytes, ll->sll_addr, 6);
            rc = 0;
            break;
        }
    }
    freeifaddrs(list);
    return rc;
}

namespace {
uint32_t gRandState = 1;
}

void kuOSRand_SetSeed(uint32_t seed)
{
    // xorshift has one fixed point, zero: move it.
    gRandState = seed != 0 ? seed : 0x9E3779B9u;
}

uint32_t kuOSRand_Rand(void)
{
    uint32_t x = gRandState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    gRandState = x;
    // xorshift32's low bits are its weakest; mix them with the high ones.
    return x * 0x2545F491u ^ (x >> 16);
}

int kuDebug_BackTraceCurrent(intptr_t reserved)
{
    (void)reserved;
    void *frames[64];
    int count = backtrace(frames, 64);
    if (count > 0)
        backtrace_symbols_fd(frames, count, STDERR_FILENO);
    return count;
}

namespace {
bool debuggerAttached()
{
    FILE *f = fopen("/proc/self/status", "re");
    if (f == nullptr)
        return false;
    char line[256];
    long tracer = 0;
    while (fgets(line, sizeof line, f) != nullptr) {
        if (strncmp(line, "TracerPid:", 10) == 0) {
            tracer = strtol(line + 10, nullptr, 10);
            break;
        }
    }
    fclose(f);
    return tracer != 0;
}
} // namespace

void kuDebug_Break(const char *text)
{
    dprintf(STDERR_FILENO, "kuDebug_Break: %s\n", text != nullptr ? text : "");
    if (debuggerAttached())
        raise(SIGTRAP);
}
