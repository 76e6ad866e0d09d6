// Random numbers built from the platform generator's low 8 bits.
#include <kuvanaTools/kuRand.h>

#include <platform/kuOSSystem.h>
#include <platform/kuOSTime.h>

namespace {
int gSeeded = 0;
} // namespace

int kuRand_Init(void)
{
    if (gSeeded)
        return 1;
    kuTimeVal now = {0, 0};
    kuTime_GetTimeOfDay(&now);
    // the stack address differs between processes started in the same
    // microsecond
    kuOSRand_SetSeed((uint32_t)now.tv_usec + (uint32_t)(uintptr_t)&now);
    gSeeded = 1;
    return 1;
}

int kuUtil_InitRandom(void)
{
    return kuRand_Init();
}

uint32_t kuRand_UInt32(void)
{
    uint32_t r = 0;
    for (int i = 0; i < 4; ++i)
        r = r << 8 | (kuOSRand_Rand() & 0xFFu);
    return r;
}

int32_t kuRand_Int32(void)
{
    return (int32_t)kuRand_UInt32();
}

uint32_t kuRand_MinMaxUInt32(uint32_t min, uint32_t max)
{
    uint32_t span = max - min;
    uint32_t r = kuRand_UInt32();
    return span == UINT32_MAX ? min + r : min + r % (span + 1);
}

int32_t kuRand_MinMaxInt32(int32_t min, int32_t max)
{
    uint32_t span = (uint32_t)max - (uint32_t)min;
    return (int32_t)((uint32_t)min + kuRand_MinMaxUInt32(0, span));
}

int16_t kuRand_MinMax(int16_t min, int16_t max)
{
    return (int16_t)kuRand_MinMaxInt32(min, max);
}

uint16_t kuRand_MinMaxUInt16(uint16_t min, uint16_t max)
{
    return (uint16_t)(kuRand_MinMaxUInt32(min, max) & 0xFFFFu);
}
