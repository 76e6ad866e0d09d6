// Version 1 UUIDs from the platform clock, a clock sequence and the MAC address.
#include <kuvanaTools/kuUUID.h>

#include <kuvanaTools/kuRand.h>
#include <kuvanaTools/private/kuBytes.h>
#include <kuvanaTools/private/kuTimeInternal.h>
#include <platform/kuOSSystem.h>

namespace {

// 100 ns intervals from 1582-10-15 to 1970-01-01.
constexpr uint64_t kGregorianOffset = 0x01B21DD213814000u;
constexpr uint32_t kPerMicrosecond = 10;
constexpr uint32_t kSequenceMask = 0x1FFF;
constexpr uint32_t kStuckReads = 1u << 20;

// Constant-initialised: no constructor runs at load time.
struct Generator {
    uint8_t node[6];
    bool nodeReady;
    bool started;
    int64_t last;     // microseconds since 1970 of the last UUID
    uint32_t counter; // earlier UUIDs in that microsecond
    uint32_t sequence;
};
Generator gUUID;

int64_t microseconds(const kuTimeVal &v)
{
    return (int64_t)ku::unsignedSeconds(v) * 1000000 + v.tv_usec;
}

void initNode(Generator &g)
{
    if (kuMACAddress_Get(0, g.node) != 0) {
        kuUUID_GetRandomBytes(g.node, sizeof g.node);
        g.node[0] |= 0x01; // multicast: cannot clash with a real card
    }
    g.nodeReady = true;
}

// Picks the time of the next UUID; returns its 100 ns count since 1970.
int64_t nextTime(Generator &g)
{
    for (uint32_t reads = 1;; ++reads) {
        int64_t now = microseconds(ku::timeOfDay());
        if (!g.started) {
            uint8_t bytes[2];
            kuUUID_GetRandomBytes(bytes, sizeof bytes);
            g.sequence = ku::loadBE16(bytes) & kSequenceMask;
            g.last = now - 1000000;
            g.started = true;
        }
        bool back = now < g.last;
        if (back || reads >= kStuckReads) {
            g.sequence = (g.sequence + 1) & kSequenceMask;
            g.last = now;
            g.counter = 0;
        } else if (now != g.last) {
            g.last = now;
            g.counter = 0;
        } else if (g.counter + 1 < kPerMicrosecond) {
            ++g.counter;
        } else {
            continue; // ten already in this microsecond
        }
        return g.last * 10 + g.counter;
    }
}

inline void put16(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)(v >> 8);
    p[1] = (uint8_t)v;
}

} // namespace

void kuUUID_GetRandomBytes(void *buffer, size_t count)
{
    auto *p = (uint8_t *)buffer;
    for (size_t i = 0; p != nullptr && i < count; ++i)
        p[i] = (uint8_t)kuRand_MinMaxUInt32(0, 255);
}

void kuUUID_Generate(uint8_t out[16])
{
    if (out == nullptr)
        return;
    Generator &g = gUUID;
    if (!g.nodeReady) {
        kuRand_Init();
        initNode(g);
    }
    uint64_t ts = (uint64_t)nextTime(g) + kGregorianOffset;
    put16(out, (uint32_t)(ts >> 16));
    put16(out + 2, (uint32_t)ts);
    put16(out + 4, (uint32_t)(ts >> 32));
    put16(out + 6, (uint32_t)(ts >> 48 & 0x0FFF) | 0x1000);
    put16(out + 8, g.sequence | 0x8000);
    for (int i = 0; i < 6; ++i)
        out[10 + i] = g.node[i];
}
