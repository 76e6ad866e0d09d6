// DLNA protocolInfo handling against gupnp-av: parsing and composing the
// test corpus, and matching it against a television's sink list.
#include <kuvanaTools/kuDLNAProtocolInfo.h>
#include <kuvanaTools/kuDLNAProtocolInfoList.h>
#include <kuvanaTools/kuMemory.h>

#include <benchmark/benchmark.h>
#include <libgupnp-av/gupnp-av.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string dataPath(const char *name)
{
    return std::string(KU_TEST_DATA_DIR "/") + name;
}

std::vector<std::string> dataLines(const char *name)
{
    std::ifstream in(dataPath(name));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    return lines;
}

// The corpus strings that both libraries accept, so that both do the same
// work.
const std::vector<std::string> &corpus()
{
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> accepted;
        for (const std::string &line : dataLines("dlna-protocolinfo.txt")) {
            GUPnPProtocolInfo *info = gupnp_protocol_info_new_from_string(line.c_str(), nullptr);
            if (info == nullptr)
                continue;
            g_object_unref(info);
            accepted.push_back(line);
        }
        return accepted;
    }();
    return lines;
}

// The entries of a sink list, cut at unescaped commas.
std::vector<std::string> sinkEntries()
{
    std::string text = dataLines("sink-tv.txt").at(0);
    std::vector<std::string> entries;
    std::string entry;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == ',' && (i == 0 || text[i - 1] != '\\')) {
            entries.push_back(entry);
            entry.clear();
        } else {
            entry += text[i];
        }
    }
    entries.push_back(entry);
    return entries;
}

void ParseCompose_ku(benchmark::State &state)
{
    const auto &lines = corpus();
    for (auto _ : state) {
        for (const std::string &line : lines) {
            kuDLNAProtocolInfo *info = kuDLNAProtocolInfo_New(line.data(), line.size());
            char *text = kuDLNAProtocolInfo_GetStr(info);
            benchmark::DoNotOptimize(text);
            kuFree(text);
            kuDLNAProtocolInfo_Delete(info);
        }
    }
    state.SetItemsProcessed((int64_t)(state.iterations() * lines.size()));
}

void ParseCompose_gupnp(benchmark::State &state)
{
    const auto &lines = corpus();
    for (auto _ : state) {
        for (const std::string &line : lines) {
            GUPnPProtocolInfo *info = gupnp_protocol_info_new_from_string(line.c_str(), nullptr);
            char *text = gupnp_protocol_info_to_string(info);
            benchmark::DoNotOptimize(text);
            g_free(text);
            g_object_unref(info);
        }
    }
    state.SetItemsProcessed((int64_t)(state.iterations() * lines.size()));
}

void Match_ku(benchmark::State &state)
{
    std::string sink;
    for (const std::string &entry : sinkEntries())
        sink += (sink.empty() ? "" : ",") + entry;
    kuDLNAProtocolInfoList *list = kuDLNAProtocolInfoList_New(sink.c_str());
    std::vector<kuDLNAProtocolInfo *> probes;
    for (const std::string &line : corpus())
        probes.push_back(kuDLNAProtocolInfo_New(line.data(), line.size()));
    int matched = 0;
    for (auto _ : state)
        for (kuDLNAProtocolInfo *probe : probes)
            matched += kuDLNAProtocolInfoList_Match(list, probe);
    state.SetItemsProcessed((int64_t)(state.iterations() * probes.size()));
    state.counters["matched"] = (double)matched / (double)state.iterations();
    for (kuDLNAProtocolInfo *probe : probes)
        kuDLNAProtocolInfo_Delete(probe);
    kuDLNAProtocolInfoList_Delete(list);
}

void Match_gupnp(benchmark::State &state)
{
    std::vector<GUPnPProtocolInfo *> sink;
    for (const std::string &entry : sinkEntries()) {
        GUPnPProtocolInfo *info = gupnp_protocol_info_new_from_string(entry.c_str(), nullptr);
        if (info != nullptr)
            sink.push_back(info);
    }
    std::vector<GUPnPProtocolInfo *> probes;
    for (const std::string &line : corpus())
        probes.push_back(gupnp_protocol_info_new_from_string(line.c_str(), nullptr));
    int matched = 0;
    for (auto _ : state) {
        for (GUPnPProtocolInfo *probe : probes) {
            for (GUPnPProtocolInfo *entry : sink) {
                if (gupnp_protocol_info_is_compatible(probe, entry)) {
                    matched++;
                    break;
                }
            }
        }
    }
    state.SetItemsProcessed((int64_t)(state.iterations() * probes.size()));
    state.counters["matched"] = (double)matched / (double)state.iterations();
    for (GUPnPProtocolInfo *info : probes)
        g_object_unref(info);
    for (GUPnPProtocolInfo *info : sink)
        g_object_unref(info);
}

} // namespace

BENCHMARK(ParseCompose_ku);
BENCHMARK(ParseCompose_gupnp);
BENCHMARK(Match_ku);
BENCHMARK(Match_gupnp);

BENCHMARK_MAIN();
