// Loading a 200-section x 10-key INI text from memory and reading every key
// once: the INI module against GLib's GKeyFile; inih's parse alone for
// reference when it is installed.
#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuINIFile.h>

#include <benchmark/benchmark.h>
#include <glib.h>

#ifdef KU_HAVE_INIH
#include <ini.h>
#endif

#include <string>
#include <vector>

namespace {

constexpr int kSections = 200;
constexpr int kKeys = 10;

struct Data {
    std::string text;
    std::vector<std::string> sections, keys;
    Data()
    {
        text = "# device settings\n";
        for (int k = 0; k < kKeys; k++)
            keys.push_back("Key" + std::to_string(k));
        for (int s = 0; s < kSections; s++) {
            sections.push_back("Section" + std::to_string(s));
            text += "\n[" + sections.back() + "]\n";
            for (int k = 0; k < kKeys; k++)
                text += keys[k] + " = value " + std::to_string(s * kKeys + k) + " of the device\n";
        }
    }
};

const Data &data()
{
    static Data d;
    return d;
}

void INIFileLoadAndRead(benchmark::State &state)
{
    const Data &d = data();
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
    state.SetBytesProcessed(state.iterations() * (int64_t)d.text.size());
}
BENCHMARK(INIFileLoadAndRead);

void GKeyFileLoadAndRead(benchmark::State &state)
{
    const Data &d = data();
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
    state.SetBytesProcessed(state.iterations() * (int64_t)d.text.size());
}
BENCHMARK(GKeyFileLoadAndRead);

void INIFileLoadOnly(benchmark::State &state)
{
    const Data &d = data();
    for (auto _ : state) {
        kuDictionary *ini = kuDictionary_New(0);
        kuINIFile_LoadINIFileFromBuffer(d.text.data(), d.text.size(), ini);
        kuDictionary_Delete(ini);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)d.text.size());
}
BENCHMARK(INIFileLoadOnly);

void GKeyFileLoadOnly(benchmark::State &state)
{
    const Data &d = data();
    for (auto _ : state) {
        GKeyFile *file = g_key_file_new();
        g_key_file_load_from_data(file, d.text.data(), d.text.size(), G_KEY_FILE_NONE, nullptr);
        g_key_file_free(file);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)d.text.size());
}
BENCHMARK(GKeyFileLoadOnly);

// Walking every section and key by index, as a settings dump does.
void INIFileEnumerate(benchmark::State &state)
{
    const Data &d = data();
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
BENCHMARK(INIFileEnumerate);

#ifdef KU_HAVE_INIH
int countEntry(void *user, const char *, const char *, const char *)
{
    ++*(int *)user;
    return 1;
}

// Parsing only: inih keeps nothing, so there is nothing to read back.
void InihParseOnly(benchmark::State &state)
{
    const Data &d = data();
    for (auto _ : state) {
        int entries = 0;
        ini_parse_string(d.text.c_str(), countEntry, &entries);
        benchmark::DoNotOptimize(entries);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)d.text.size());
}
BENCHMARK(InihParseOnly);
#endif

} // namespace

BENCHMARK_MAIN();
