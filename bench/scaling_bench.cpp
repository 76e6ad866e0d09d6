// How the cost per item of every path that takes outside input grows with
// the input's size. Each benchmark runs one operation over an input of n
// items, generated afresh for each n (shuffled, mixed scripts), at n, 4n, 16n
// and 64n; bench/run.py --scaling divides by n and classifies the growth.
#include <kuvanaTools/kuCStringParser.h>
#include <kuvanaTools/kuCustomHashTable.h>
#include <kuvanaTools/kuDLNAProfileList.h>
#include <kuvanaTools/kuDLNAProtocolInfo.h>
#include <kuvanaTools/kuDLNAProtocolInfoList.h>
#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuHashTable.h>
#include <kuvanaTools/kuINIFile.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuMimeTypeInfo.h>
#include <kuvanaTools/kuPackedData.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuStringHashTable.h>
#include <kuvanaTools/kuStringSubstitution.h>
#include <kuvanaTools/kuURI.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// Words in a dozen scripts, so that no input is one sample repeated.
const char *const kWords[] = {
    "song",    "Ärzte",   "café",      "naïve",  "λόγος",  "музыка", "موسيقى", "שיר",
    "音楽",    "노래",    "うた",      "เพลง",   "संगीत",  "🎵🎶",   "Track",  "mix",
    "live",    "remaster", "données",  "Øresund", "Straße", "kuva",  "película", "取り",
};

class Text {
public:
    explicit Text(uint32_t seed) : random_(seed) {}

    uint32_t below(uint32_t n) { return (uint32_t)(random_() % n); }

    // One to three words joined by sep, and a number: unique enough.
    std::string words(char sep = '_')
    {
        std::string out;
        for (uint32_t i = 0, n = 1 + below(3); i < n; i++) {
            out += kWords[below(sizeof kWords / sizeof *kWords)];
            out += sep;
        }
        return out + std::to_string(random_() % 1000000);
    }

    // ASCII only, for the places (names, keys) where a grammar asks for it.
    std::string ascii(size_t length)
    {
        static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::string out;
        for (size_t i = 0; i < length; i++)
            out += alphabet[below(sizeof alphabet - 1)];
        return out;
    }

    template <typename T> void shuffle(std::vector<T> &items)
    {
        std::shuffle(items.begin(), items.end(), random_);
    }

private:
    std::mt19937 random_;
};

const char *const kFormats[] = {"audio/mpeg", "audio/mp4", "video/mp4", "video/mpeg", "image/jpeg",
                                "audio/L16;rate=44100;channels=2", "video/x-matroska", "image/png",
                                "video/vnd.dlna.mpeg-tts", "audio/x-ms-wma"};
const char *const kProtocols[] = {"http-get", "rtsp-rtp-udp", "http-get", "internal"};

// n sink entries, each with its own profile name.
std::vector<std::string> protocolInfos(Text &t, size_t n)
{
    std::vector<std::string> entries;
    for (size_t i = 0; i < n; i++) {
        std::string e = std::string(kProtocols[t.below(4)]) + ":*:" + kFormats[t.below(10)] + ":";
        if (t.below(5) == 0)
            e += "*";
        else
            e += "DLNA.ORG_PN=P" + t.ascii(6) + ";DLNA.ORG_OP=01;DLNA.ORG_FLAGS=01700000000000000000000000000000";
        entries.push_back(e);
    }
    t.shuffle(entries);
    return entries;
}

std::string joined(const std::vector<std::string> &items, const char *sep)
{
    std::string out;
    for (size_t i = 0; i < items.size(); i++)
        out += (i > 0 ? sep : "") + items[i];
    return out;
}

// Runs body once per iteration and reports n items per iteration.
template <typename Body> void timed(benchmark::State &state, Body body)
{
    for (auto _ : state)
        body();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

// protocolInfo lists: parse a sink list, match resources against it, walk it
// by index, merge another into it.
static void ProtocolInfoListParse(benchmark::State &state)
{
    Text t(1);
    std::string text = joined(protocolInfos(t, (size_t)state.range(0)), ",");
    timed(state, [&] { kuDLNAProtocolInfoList_Delete(kuDLNAProtocolInfoList_New(text.c_str())); });
}

static void ProtocolInfoListMatch(benchmark::State &state)
{
    Text t(2);
    kuDLNAProtocolInfoList *list =
        kuDLNAProtocolInfoList_New(joined(protocolInfos(t, (size_t)state.range(0)), ",").c_str());
    std::vector<kuDLNAProtocolInfo *> probes;
    // Formats no entry has: every probe reads the whole list.
    for (int i = 0; i < 16; i++) {
        std::string p = "http-get:*:video/x-" + t.ascii(5) + ":DLNA.ORG_PN=P" + t.ascii(6);
        probes.push_back(kuDLNAProtocolInfo_New(p.c_str(), p.size()));
    }
    timed(state, [&] {
        for (kuDLNAProtocolInfo *probe : probes)
            benchmark::DoNotOptimize(kuDLNAProtocolInfoList_Match(list, probe));
    });
    for (kuDLNAProtocolInfo *probe : probes)
        kuDLNAProtocolInfo_Delete(probe);
    kuDLNAProtocolInfoList_Delete(list);
}

static void ProtocolInfoListWalkByIndex(benchmark::State &state)
{
    Text t(3);
    kuDLNAProtocolInfoList *list =
        kuDLNAProtocolInfoList_New(joined(protocolInfos(t, (size_t)state.range(0)), ",").c_str());
    const int32_t n = (int32_t)kuDLNAProtocolInfoList_GetCount(list);
    timed(state, [&] {
        for (int32_t i = 0; i < n; i++)
            benchmark::DoNotOptimize(kuDLNAProtocolInfoList_GetProtocolInfoAt(list, i));
    });
    kuDLNAProtocolInfoList_Delete(list);
}

static void ProtocolInfoListMerge(benchmark::State &state)
{
    Text t(4);
    size_t n = (size_t)state.range(0);
    std::string a = joined(protocolInfos(t, n / 2), ","), b = joined(protocolInfos(t, n / 2), ",");
    timed(state, [&] {
        kuDLNAProtocolInfoList *target = kuDLNAProtocolInfoList_New(a.c_str());
        kuDLNAProtocolInfoList_MergeStr(target, b.c_str());
        kuDLNAProtocolInfoList_Delete(target);
    });
}

// One protocolInfo whose fourth field carries n vendor parameters: parse,
// compose.
static void ProtocolInfoFourthField(benchmark::State &state)
{
    Text t(20);
    std::string text = "http-get:*:video/mp4:DLNA.ORG_PN=AVC_MP4_MP_SD;DLNA.ORG_OP=01";
    for (int64_t i = 0; i < state.range(0); i++)
        text += ";V_" + t.ascii(3 + t.below(6)) + std::to_string(i) + "=" + t.ascii(1 + t.below(12));
    timed(state, [&] {
        kuDLNAProtocolInfo *info = kuDLNAProtocolInfo_New(text.c_str(), text.size());
        kuFree(kuDLNAProtocolInfo_GetStr(info));
        kuDLNAProtocolInfo_Delete(info);
    });
}

// URIs: parse and compose one URI of n path segments and n query parts; walk
// the parts by index; sort them; copy them into another URI.
static std::string longURI(Text &t, size_t n)
{
    std::string uri = "http://user@media.example:8200";
    for (size_t i = 0; i < n; i++)
        uri += "/" + t.words('%');
    uri += "?";
    for (size_t i = 0; i < n; i++)
        uri += (i > 0 ? "&" : "") + t.ascii(1 + t.below(8)) + "=" + t.words('+');
    return uri + "#" + t.words();
}

static void URIParseCompose(benchmark::State &state)
{
    Text t(5);
    std::string text = longURI(t, (size_t)state.range(0));
    timed(state, [&] {
        kuURI *uri = kuURI_NewFromEscapedStr(text.c_str());
        kuFree(kuURI_GetStr(uri));
        kuURI_Delete(uri);
        kuURI_Delete(kuURI_NewFromStr(text.c_str()));
    });
}

static void URIQueryWalkByIndex(benchmark::State &state)
{
    Text t(6);
    std::string text = longURI(t, (size_t)state.range(0));
    timed(state, [&] {
        kuURI *uri = kuURI_NewFromEscapedStr(text.c_str());
        uint32_t n = kuURI_GetQueryPartCount(uri);
        for (uint32_t i = 0; i < n; i++) {
            char *name, *value;
            kuURI_GetQueryPartAt(uri, i, &name, &value);
            kuFree(name);
            kuFree(value);
        }
        kuURI_Delete(uri);
    });
}

static void URIQuerySortCopy(benchmark::State &state)
{
    Text t(7);
    std::string a = longURI(t, (size_t)state.range(0)), b = longURI(t, (size_t)state.range(0));
    timed(state, [&] {
        kuURI *target = kuURI_NewFromEscapedStr(a.c_str());
        kuURI *source = kuURI_NewFromEscapedStr(b.c_str());
        kuURI_S_CopyQueryPart(target, source);
        kuURI_S_SortQueryPart(target);
        kuURI_Delete(source);
        kuURI_Delete(target);
    });
}

// MIME types with n parameters: parse, compare with a reordered copy, compose.
static void MimeTypeParameters(benchmark::State &state)
{
    Text t(8);
    std::vector<std::string> params;
    for (int64_t i = 0; i < state.range(0); i++)
        params.push_back(t.ascii(3 + t.below(6)) + std::to_string(i) + "=" + t.words());
    std::string a = "audio/mp4;" + joined(params, ";");
    t.shuffle(params);
    std::string b = "audio/mp4;" + joined(params, ";");
    timed(state, [&] {
        kuMimeTypeInfo *info = kuMimeTypeInfo_New(a.c_str());
        benchmark::DoNotOptimize(kuMimeTypeInfo_SameAs(info, b.c_str()));
        kuFree(kuMimeTypeInfo_Get(info));
        kuMimeTypeInfo_Delete(info);
    });
}

// INI text of n keys in sections of ten, with comments, blank lines, quotes
// and CRLF; loaded from memory, then every key looked up (in random order).
static void INILoad(benchmark::State &state)
{
    Text t(9);
    std::string text;
    for (int64_t i = 0; i < state.range(0); i++) {
        if (i % 10 == 0)
            text += "\r\n; " + t.words(' ') + "\r\n[" + t.ascii(6) + std::to_string(i) + "]\r\n";
        text += t.ascii(4) + std::to_string(i) + " = " + (i % 3 ? t.words(' ') : "\"" + t.words(' ') + "\"") + "\r\n";
    }
    timed(state, [&] {
        kuDictionary *ini = kuDictionary_New(0);
        kuINIFile_LoadINIFileFromBuffer(text.data(), text.size(), ini);
        kuDictionary_Delete(ini);
    });
}

static void INILookups(benchmark::State &state)
{
    Text t(10);
    std::string text;
    std::vector<std::pair<std::string, std::string>> keys;
    std::string section;
    for (int64_t i = 0; i < state.range(0); i++) {
        if (i % 10 == 0) {
            section = t.ascii(6) + std::to_string(i);
            text += "\n# " + t.words(' ') + "\n[" + section + "]\n";
        }
        keys.push_back({section, t.ascii(4) + std::to_string(i)});
        text += keys.back().second + "=" + t.words(' ') + "\n";
    }
    t.shuffle(keys);
    kuDictionary *ini = kuDictionary_New(0);
    kuINIFile_LoadINIFileFromBuffer(text.data(), text.size(), ini);
    timed(state, [&] {
        for (const auto &k : keys)
            benchmark::DoNotOptimize(
                kuINIFile_ReadKeyAsString(ini, k.first.c_str(), k.second.c_str(), "", nullptr));
    });
    kuDictionary_Delete(ini);
}

// n keys in one section: loaded, then each looked up.
static void INIOneSection(benchmark::State &state)
{
    Text t(11);
    std::string text = "[all]\n";
    std::vector<std::string> keys;
    for (int64_t i = 0; i < state.range(0); i++) {
        keys.push_back(t.ascii(4) + std::to_string(i));
        text += keys.back() + " = " + t.words(' ') + "\n";
    }
    t.shuffle(keys);
    timed(state, [&] {
        kuDictionary *ini = kuDictionary_New(0);
        kuINIFile_LoadINIFileFromBuffer(text.data(), text.size(), ini);
        for (const std::string &k : keys)
            benchmark::DoNotOptimize(kuINIFile_ReadKeyAsString(ini, "all", k.c_str(), "", nullptr));
        kuDictionary_Delete(ini);
    });
}

// Wildcard patterns against a text of n words (cost per text byte grows
// with the pattern only).
static void WildcardMatch(benchmark::State &state)
{
    Text t(11);
    std::string text;
    for (int64_t i = 0; i < state.range(0); i++)
        text += t.words(' ') + " ";
    const char *patterns[] = {"*song*live*x", "*?a*[0-9]*Z", "*ärzte*", "*"};
    timed(state, [&] {
        for (const char *p : patterns)
            benchmark::DoNotOptimize(kuCStringParser_Match(p, text.c_str()));
    });
}

char *resolveName(const char *name, void *)
{
    return name[0] == 'x' ? nullptr : ku_mnprintf("<%s>", name);
}

// Substitution over a text of n references, a fifth of them unknown.
static void StringSubstitution(benchmark::State &state)
{
    Text t(12);
    std::string text;
    for (int64_t i = 0; i < state.range(0); i++)
        text += t.words(' ') + (t.below(5) == 0 ? " %x" : " %n") + t.ascii(5) + "% ";
    timed(state, [&] {
        kuFree(kuStringSubstitution_Substitute(text.c_str(), '%', 0, resolveName, nullptr));
        kuFree(kuStringSubstitution_SubstituteEx(text.c_str(), "%n", "%", 1, resolveName, nullptr));
    });
}

// A format of n literal runs with '%%' and width/precision directives, and
// a string argument of n words.
static void PrintfFormat(benchmark::State &state)
{
    Text t(13);
    std::string format, argument;
    for (int64_t i = 0; i < state.range(0); i++) {
        format += t.words(' ') + (i % 3 == 0 ? " %% " : " ");
        argument += t.words(' ');
    }
    format += "%s|%-40.12s|%*.*f|%#..16llx|%ls";
    timed(state, [&] {
        size_t length;
        char *out = ku_lmnprintf(&length, format.c_str(), argument.c_str(), argument.c_str(), 30,
                                 (int)(state.range(0) % 50), 3.14159, 0xdeadbeefULL, L"wide ✓");
        kuFree(out);
    });
}

// Profile lists: n names merged from a text, then intersected with another
// text of n names (half shared, other case).
static void ProfileLists(benchmark::State &state)
{
    Text t(14);
    std::vector<std::string> names, other;
    for (int64_t i = 0; i < state.range(0); i++) {
        names.push_back("PN_" + t.ascii(8));
        std::string o = i % 2 ? names.back() : "PN_" + t.ascii(8);
        std::transform(o.begin(), o.end(), o.begin(), ::tolower);
        other.push_back(o);
    }
    t.shuffle(other);
    std::string a = joined(names, " , "), b = joined(other, ",");
    timed(state, [&] {
        kuDLNAProfileList *list = kuDLNAProfileList_New();
        kuDLNAProfileList_MergeProfileList(list, a.c_str());
        kuFree(kuDLNAProfileList_GetMatchingProfileListStr(list, b.c_str()));
        kuDLNAProfileList_Delete(list);
    });
}

// Packed data: n entries of three tags written into a block sized for them,
// then read back from a copy of the block, tags looked up in random order.
static void PackedData(benchmark::State &state)
{
    Text t(15);
    const uint32_t n = (uint32_t)state.range(0);
    std::vector<std::string> values;
    for (uint32_t i = 0; i < n; i++)
        values.push_back(t.words());
    std::vector<uint32_t> order(n);
    for (uint32_t i = 0; i < n; i++)
        order[i] = i;
    t.shuffle(order);
    timed(state, [&] {
        kuPackedData *data = kuPackedData_New(n);
        for (uint32_t i = 0; i < n; i++) {
            kuPackedData_AddNewEntry(data);
            kuPackedData_AddData(data, 1, values[i].c_str(), (uint32_t)values[i].size() + 1);
            kuPackedData_AddData(data, 2, &i, sizeof i);
            kuPackedData_AddData(data, (uint16_t)(3 + i % 7), "xyz", 3);
        }
        kuPackedData *copy = kuPackedData_NewDataDuplicate(kuPackedData_PeekData(data, nullptr));
        for (uint32_t i : order) {
            uint32_t length;
            benchmark::DoNotOptimize(kuPackedData_GetDataStr(copy, i, 1, &length));
            benchmark::DoNotOptimize(kuPackedData_GetDataAsUInt32(copy, i, 2));
        }
        kuPackedData_Free(copy);
        kuPackedData_Free(data);
    });
}

// n random keys written, then read in another order.
static std::vector<std::string> keys(Text &t, int64_t n)
{
    std::vector<std::string> out;
    for (int64_t i = 0; i < n; i++)
        out.push_back(t.words() + t.ascii(4));
    return out;
}

// Writes the keys into a new table, reads them back in another order.
template <typename Table, typename Write, typename Read>
void writeThenRead(benchmark::State &state, uint32_t seed, Table *(*make)(), void (*release)(Table *),
                   Write write, Read read)
{
    Text t(seed);
    std::vector<std::string> k = keys(t, state.range(0)), shuffled = k;
    t.shuffle(shuffled);
    timed(state, [&] {
        Table *table = make();
        for (const std::string &key : k)
            write(table, key);
        for (const std::string &key : shuffled)
            benchmark::DoNotOptimize(read(table, key));
        release(table);
    });
}

static kuDictionary *newDictionary()
{
    return kuDictionary_New(0);
}

static void Dictionary(benchmark::State &state)
{
    writeThenRead(
        state, 16, newDictionary, kuDictionary_Delete,
        [](kuDictionary *d, const std::string &key) { kuDictionary_WriteKey(d, key.c_str(), key.c_str()); },
        [](kuDictionary *d, const std::string &key) { return kuDictionary_ReadKey(d, key.c_str(), nullptr); });
}

static void HashTable(benchmark::State &state)
{
    writeThenRead(
        state, 17, kuHashTable_New, kuHashTable_Delete,
        [](kuHashTable *h, const std::string &key) {
            kuHashTable_AddEntry(h, key.data(), (uint32_t)key.size(), nullptr);
        },
        [](kuHashTable *h, const std::string &key) {
            return kuHashTable_HasEntry(h, key.data(), (uint32_t)key.size());
        });
}

static void StringHashTable(benchmark::State &state)
{
    writeThenRead(
        state, 18, kuStringHashTable_New, kuStringHashTable_Delete,
        [](kuStringHashTable *h, const std::string &key) { kuStringHashTable_Add(h, key.c_str(), key.c_str()); },
        [](kuStringHashTable *h, const std::string &key) {
            const char *value;
            return kuStringHashTable_Lookup(h, key.c_str(), &value);
        });
}

static void CustomHashTable(benchmark::State &state)
{
    writeThenRead(
        state, 19, kuCustomHashTable_New_String_String, kuCustomHashTable_Delete,
        [](kuCustomHashTable *h, const std::string &key) { kuCustomHashTable_Add(h, key.c_str(), key.c_str()); },
        [](kuCustomHashTable *h, const std::string &key) { return kuCustomHashTable_Get(h, key.c_str()); });
}

// Reference, not a library path: one visit per item to n blocks of 1 KiB in
// random order, i.e. what the memory hierarchy alone adds per item as the
// working set outgrows the caches.
static void MemoryBaseline(benchmark::State &state)
{
    Text t(21);
    const size_t n = (size_t)state.range(0);
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; i++)
        order[i] = i;
    t.shuffle(order);
    std::vector<size_t> blocks(n * 128);
    for (size_t i = 0; i < n; i++) // a single cycle through every block
        blocks[order[i] * 128] = order[(i + 1) % n];
    timed(state, [&] {
        size_t at = order[0];
        for (size_t i = 0; i < n; i++)
            at = blocks[at * 128];
        benchmark::DoNotOptimize(at);
    });
}

// Each path at n, 4n, 16n and 64n; n is chosen so that 64n stays well under
// a second per run.
#define KU_SCALING(name, n) \
    BENCHMARK(name)->Arg(n)->Arg(4 * (n))->Arg(16 * (n))->Arg(64 * (n))->Unit(benchmark::kMicrosecond)

KU_SCALING(ProtocolInfoListParse, 250);
KU_SCALING(ProtocolInfoListMatch, 250);
KU_SCALING(ProtocolInfoListWalkByIndex, 250);
KU_SCALING(ProtocolInfoListMerge, 250);
KU_SCALING(ProtocolInfoFourthField, 250);
KU_SCALING(URIParseCompose, 250);
KU_SCALING(URIQueryWalkByIndex, 250);
KU_SCALING(URIQuerySortCopy, 250);
KU_SCALING(MimeTypeParameters, 250);
KU_SCALING(INILoad, 250);
KU_SCALING(INILookups, 250);
KU_SCALING(INIOneSection, 250);
KU_SCALING(WildcardMatch, 250);
KU_SCALING(StringSubstitution, 250);
KU_SCALING(PrintfFormat, 250);
KU_SCALING(ProfileLists, 250);
KU_SCALING(PackedData, 250);
KU_SCALING(Dictionary, 250);
KU_SCALING(HashTable, 250);
KU_SCALING(StringHashTable, 250);
KU_SCALING(CustomHashTable, 250);
KU_SCALING(MemoryBaseline, 250);

BENCHMARK_MAIN();
