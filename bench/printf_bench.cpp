// Throughput of ku_snprintf against the C library's snprintf and {fmt}'s
// format_to_n, on an integer/string format and on a mixed one with a %.3f.
#include <kuvanaTools/kuPrintf.h>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <stdio.h>

namespace {

const char *const kNames[] = {"alice", "bob", "carol-the-long-named", "d"};
const double kValues[] = {3.14159, 2718.2818, 0.5, 123456.789, 1.0e-3, 42.0, 99.9996, 7.25};

// Calls format(buffer, size, i) with a new i each iteration.
template <class Format> void run(benchmark::State &state, Format format)
{
    char buffer[160];
    int i = 0;
    for (auto _ : state) {
        auto n = format(buffer, sizeof buffer, i);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buffer);
        i++;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_IntStr_ku(benchmark::State &state)
{
    run(state, [](char *b, size_t n, int i) {
        return ku_snprintf(b, n, "id=%d name=%s hex=%08x", i * 7919, kNames[i & 3],
                           (unsigned)i * 2654435761u);
    });
}
BENCHMARK(BM_IntStr_ku);

void BM_IntStr_libc(benchmark::State &state)
{
    run(state, [](char *b, size_t n, int i) {
        return snprintf(b, n, "id=%d name=%s hex=%08x", i * 7919, kNames[i & 3],
                        (unsigned)i * 2654435761u);
    });
}
BENCHMARK(BM_IntStr_libc);

void BM_IntStr_fmt(benchmark::State &state)
{
    run(state, [](char *b, size_t n, int i) {
        auto r = fmt::format_to_n(b, n - 1, "id={} name={} hex={:08x}", i * 7919, kNames[i & 3],
                                  (unsigned)i * 2654435761u);
        *r.out = 0;
        return r.size;
    });
}
BENCHMARK(BM_IntStr_fmt);

void BM_Mixed_ku(benchmark::State &state)
{
    run(state, [](char *b, size_t n, int i) {
        return ku_snprintf(b, n, "item %d: %s at %.3f (%u/%u)", i, kNames[i & 3], kValues[i & 7],
                           (unsigned)i & 1023, 1024u);
    });
}
BENCHMARK(BM_Mixed_ku);

void BM_Mixed_libc(benchmark::State &state)
{
    run(state, [](char *b, size_t n, int i) {
        return snprintf(b, n, "item %d: %s at %.3f (%u/%u)", i, kNames[i & 3], kValues[i & 7],
                        (unsigned)i & 1023, 1024u);
    });
}
BENCHMARK(BM_Mixed_libc);

void BM_Mixed_fmt(benchmark::State &state)
{
    run(state, [](char *b, size_t n, int i) {
        auto r = fmt::format_to_n(b, n - 1, "item {}: {} at {:.3f} ({}/{})", i, kNames[i & 3],
                                  kValues[i & 7], (unsigned)i & 1023, 1024u);
        *r.out = 0;
        return r.size;
    });
}
BENCHMARK(BM_Mixed_fmt);

} // namespace

BENCHMARK_MAIN();
