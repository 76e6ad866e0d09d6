// One million time-based UUIDs in a row: kuUUID_Generate against libuuid's
// uuid_generate_time.
#include <kuvanaTools/kuUUID.h>

#include <benchmark/benchmark.h>
#include <uuid/uuid.h>

#include <vector>

namespace {

constexpr size_t kCount = 1000000;

void KuUUIDGenerate(benchmark::State &state)
{
    std::vector<uint8_t> out(kCount * 16);
    for (auto _ : state) {
        for (size_t i = 0; i < kCount; ++i)
            kuUUID_Generate(&out[i * 16]);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed((int64_t)state.iterations() * (int64_t)kCount);
}

void LibuuidGenerateTime(benchmark::State &state)
{
    std::vector<uuid_t> out(kCount);
    for (auto _ : state) {
        for (size_t i = 0; i < kCount; ++i)
            uuid_generate_time(out[i]);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed((int64_t)state.iterations() * (int64_t)kCount);
}

} // namespace

BENCHMARK(KuUUIDGenerate)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LibuuidGenerateTime)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
