// Writing then reading 2,000 keys: the dictionary against GLib's GHashTable
// and GKeyFile (the work of loading and querying an INI file).
#include <kuvanaTools/kuDictionary.h>

#include <benchmark/benchmark.h>
#include <glib.h>

#include <stdio.h>
#include <string>
#include <vector>

namespace {

constexpr int kKeys = 2000;

struct Data {
    std::vector<std::string> keys, names, values;
    Data()
    {
        char text[64];
        for (int i = 0; i < kKeys; i++) {
            snprintf(text, sizeof text, "key%d", i);
            names.push_back(text);
            keys.push_back(std::string("section") + std::to_string(i / 50) + "/" + text);
            snprintf(text, sizeof text, "value number %d", i * 7);
            values.push_back(text);
        }
    }
};

const Data &data()
{
    static Data d;
    return d;
}

void Dictionary(benchmark::State &state)
{
    const Data &d = data();
    for (auto _ : state) {
        kuDictionary *dict = kuDictionary_New(0);
        for (int i = 0; i < kKeys; i++)
            kuDictionary_WriteKey(dict, d.keys[i].c_str(), d.values[i].c_str());
        for (int i = 0; i < kKeys; i++)
            benchmark::DoNotOptimize(kuDictionary_ReadKey(dict, d.keys[i].c_str(), nullptr));
        kuDictionary_Delete(dict);
    }
    state.SetItemsProcessed(state.iterations() * kKeys * 2);
}
BENCHMARK(Dictionary);

// Creating and deleting an empty dictionary: the cost of its free slots.
void DictionaryNew(benchmark::State &state)
{
    for (auto _ : state)
        kuDictionary_Delete(kuDictionary_New(0));
}
BENCHMARK(DictionaryNew);

void GLibHashTable(benchmark::State &state)
{
    const Data &d = data();
    for (auto _ : state) {
        GHashTable *table = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free);
        for (int i = 0; i < kKeys; i++)
            g_hash_table_insert(table, g_strdup(d.keys[i].c_str()), g_strdup(d.values[i].c_str()));
        for (int i = 0; i < kKeys; i++)
            benchmark::DoNotOptimize(g_hash_table_lookup(table, d.keys[i].c_str()));
        g_hash_table_destroy(table);
    }
    state.SetItemsProcessed(state.iterations() * kKeys * 2);
}
BENCHMARK(GLibHashTable);

void GLibKeyFile(benchmark::State &state)
{
    const Data &d = data();
    std::vector<std::string> groups;
    for (int i = 0; i < kKeys; i++)
        groups.push_back("section" + std::to_string(i / 50));
    for (auto _ : state) {
        GKeyFile *file = g_key_file_new();
        for (int i = 0; i < kKeys; i++)
            g_key_file_set_string(file, groups[i].c_str(), d.names[i].c_str(), d.values[i].c_str());
        for (int i = 0; i < kKeys; i++)
            g_free(g_key_file_get_string(file, groups[i].c_str(), d.names[i].c_str(), nullptr));
        g_key_file_free(file);
    }
    state.SetItemsProcessed(state.iterations() * kKeys * 2);
}
BENCHMARK(GLibKeyFile);

// Deleting every key from the front: each delete moves the later slots.
void DictionaryDeleteFromFront(benchmark::State &state)
{
    const Data &d = data();
    for (auto _ : state) {
        state.PauseTiming();
        kuDictionary *dict = kuDictionary_New(0);
        for (int i = 0; i < kKeys; i++)
            kuDictionary_WriteKey(dict, d.keys[i].c_str(), d.values[i].c_str());
        state.ResumeTiming();
        for (int i = 0; i < kKeys; i++)
            kuDictionary_DeleteKey(dict, d.keys[i].c_str());
        state.PauseTiming();
        kuDictionary_Delete(dict);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(DictionaryDeleteFromFront);

} // namespace

BENCHMARK_MAIN();
