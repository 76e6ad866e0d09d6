// Loading an INI text from memory and reading every key once: the INI module
// against GLib's GKeyFile and against inih feeding a hash map. The texts have
// 10 keys per section, comments, blank lines, quoted values and CRLF line
// ends; the benchmark argument is the number of sections.
#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuINIFile.h>

#include <benchmark/benchmark.h>
#include <glib.h>

#ifdef KU_HAVE_INIH
#include <ini.h>
#endif

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kKeys = 10;

struct Data {
    std::string text;
    std::vector<std::string> sections, keys;
    explicit Data(int sectionCount)
    {
        text = "# device settings\r\n# written by the setup tool\r\n";
        for (int k = 0; k < kKeys; k++)
            keys.push_back("Key" + std::to_string(k));
        for (int s = 0; s < sectionCount; s++) {
            sections.push_back("Section" + std::to_string(s));
            text += "\r\n[" + sections.back() + "]\r\n# keys of this section\r\n";
            for (int k = 0; k < kKeys; k++) {
                std::string n = std::to_string(s * kKeys + k);
                if (k % 3 == 0)
                    text += keys[k] + " = \"quoted value " + n + " of the device\"\r\n";
                else
                    text += keys[k] + " = value " + n + " of the device\r\n";
                if (k == 4)
                    text += "\r\n";
            }
        }
    }
};

const Data &data(int sections)
{
    static std::map<int, Data> cache;
    auto it = cache.find(sections);
    if (it == cache.end())
        it = cache.emplace(sections, Data(sections)).first;
    return it->second;
}

void finish(benchmark::State &state, const Data &d)
{
    state.SetBytesProcessed(state.iterations() * (int64_t)d.text.size());
    state.SetItemsProcessed(state.iterations() * (int64_t)(d.sections.size() * d.keys.size()));
}

void INIFileLoadAndRead(benchmark::State &state)
{
    const Data &d = data((int)state.range(0));
    for (auto _ : state) {
        kuDictionary *ini = kuDictionary_New(0);
        kuINIFile_LoadINIFileFromBuffer(d.text.data(), d.text.size(), ini);
        for (const std::string &s : d.sections) {
            for (const std::string &k : d.keys) {
                int found;
                benchmark::DoNotOptimize(
                    kuINIFile_ReadKeyAsString(ini, s.c_str(), k.c_str(), nullptr, &found));
            }
        }
        kuDictionary_Delete(ini);
    }
    finish(state, d);
}

void GKeyFileLoadAndRead(benchmark::State &state)
{
    const Data &d = data((int)state.range(0));
    for (auto _ : state) {
        GKeyFile *file = g_key_file_new();
        if (!g_key_file_load_from_data(file, d.text.data(), d.text.size(), G_KEY_FILE_NONE,
                                       nullptr))
            state.SkipWithError("GKeyFile refused the text");
        for (const std::string &s : d.sections) {
            for (const std::string &k : d.keys) {
                gchar *v = g_key_file_get_string(file, s.c_str(), k.c_str(), nullptr);
                benchmark::DoNotOptimize(v);
                g_free(v);
            }
        }
        g_key_file_free(file);
    }
    finish(state, d);
}

void INIFileLoadOnly(benchmark::State &state)
{
    const Data &d = data((int)state.range(0));
    for (auto _ : state) {
        kuDictionary *ini = kuDictionary_New(0);
        kuINIFile_LoadINIFileFromBuffer(d.text.data(), d.text.size(), ini);
        kuDictionary_Delete(ini);
    }
    finish(state, d);
}

void GKeyFileLoadOnly(benchmark::State &state)
{
    const Data &d = data((int)state.range(0));
    for (auto _ : state) {
        GKeyFile *file = g_key_file_new();
        g_key_file_load_from_data(file, d.text.data(), d.text.size(), G_KEY_FILE_NONE, nullptr);
        g_key_file_free(file);
    }
    finish(state, d);
}

// Walking every section and key by index, as a settings dump does.
void INIFileEnumerate(benchmark::State &state)
{
    const Data &d = data((int)state.range(0));
    kuDictionary *ini = kuDictionary_New(0);
    kuINIFile_LoadINIFileFromBuffer(d.text.data(), d.text.size(), ini);
    for (auto _ : state) {
        for (uint32_t s = 0; s < kuINIFile_GetNumberOfSections(ini); s++) {
            const char *section = kuINIFile_GetSectionName(ini, s);
            for (uint32_t k = 0; k < kuINIFile_GetNumberOfKeys(ini, section); k++)
                benchmark::DoNotOptimize(kuINIFile_GetKeyName(ini, section, k));
        }
    }
    kuDictionary_Delete(ini);
}

#ifdef KU_HAVE_INIH
using Map = std::unordered_map<std::string, std::string>;

int storeEntry(void *user, const char *section, const char *name, const char *value)
{
    std::string key(section);
    key += '/';
    key += name;
    (*(Map *)user)[std::move(key)] = value;
    return 1;
}

// inih keeps nothing itself: its callback fills a hash map keyed
// "section/key", which the reads then query.
void InihMapLoadAndRead(benchmark::State &state)
{
    const Data &d = data((int)state.range(0));
    std::string key;
    for (auto _ : state) {
        Map map;
        ini_parse_string(d.text.c_str(), storeEntry, &map);
        for (const std::string &s : d.sections) {
            for (const std::string &k : d.keys) {
                key.assign(s).append(1, '/').append(k);
                auto it = map.find(key);
                benchmark::DoNotOptimize(it != map.end() ? it->second.c_str() : nullptr);
            }
        }
    }
    finish(state, d);
}
#endif

} // namespace

// 200 sections is the headline case; 10, 100 and 1,000 show the scaling.
#define KU_INI_SIZES ->Arg(10)->Arg(100)->Arg(200)->Arg(1000)
BENCHMARK(INIFileLoadAndRead) KU_INI_SIZES;
BENCHMARK(GKeyFileLoadAndRead) KU_INI_SIZES;
#ifdef KU_HAVE_INIH
BENCHMARK(InihMapLoadAndRead) KU_INI_SIZES;
#endif
BENCHMARK(INIFileLoadOnly) KU_INI_SIZES;
BENCHMARK(GKeyFileLoadOnly) KU_INI_SIZES;
BENCHMARK(INIFileEnumerate)->Arg(200);

BENCHMARK_MAIN();
