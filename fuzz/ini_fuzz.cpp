// INI files: any bytes load; every key found by enumeration reads back
// through each typed reader as the reader's own rule says; a saved file,
// loaded and saved again, is the same file; values written through the
// interface come back after a save and a load.
#include "FuzzUtil.h"

#include <kuvanaTools/kuINIFile.h>

#include <ctype.h>
#include <algorithm>
#include <fstream>
#include <math.h>
#include <unistd.h>

using namespace kufuzz;

namespace {

// A private directory for the saved files, made once per process.
std::string gDirectory;

void removeDirectory()
{
    for (const char *name : {"/a.ini", "/b.ini"})
        unlink((gDirectory + name).c_str());
    rmdir(gDirectory.c_str());
}

std::string pathOf(const char *name)
{
    if (gDirectory.empty()) {
        // Memory-backed when there is such a place: saving syncs the file.
        char shm[] = "/dev/shm/ku-ini-fuzz-XXXXXX", tmp[] = "/tmp/ku-ini-fuzz-XXXXXX";
        const char *made = mkdtemp(shm) ?: mkdtemp(tmp);
        KU_FUZZ_CHECK(made != nullptr);
        gDirectory = made;
        atexit(removeDirectory);
    }
    return gDirectory + "/" + name;
}

std::string readWhole(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

using Key = std::pair<std::string, std::string>; // section, name

std::vector<Key> keysOf(kuDictionary *ini)
{
    std::vector<Key> keys;
    uint32_t sections = kuINIFile_GetNumberOfSections(ini);
    for (uint32_t s = 0; s < sections; s++) {
        Text section(kuINIFile_GetSectionName(ini, s));
        uint32_t count = kuINIFile_GetNumberOfKeys(ini, section.c_str());
        for (uint32_t k = 0; k < count; k++)
            keys.push_back({section.c_str(), kuINIFile_GetKeyName(ini, section.c_str(), k)});
    }
    return keys;
}

// Every key enumerated reads back by name through each reader. A key under
// a section whose name holds a '/' may be longer than the 127 bytes a name
// given to the readers keeps; it cannot be read by name.
void readKey(kuDictionary *ini, const Key &key)
{
    if (key.second.size() > 127)
        return;
    Text section(key.first), name(key.second);
    int found = 7;
    const char *stored = kuINIFile_ReadKeyAsString(ini, section.c_str(), name.c_str(), "-", &found);
    KU_FUZZ_CHECK(found == 1 && stored != nullptr);
    kuINIFile_ReadKeyAsUInt32(ini, section.c_str(), name.c_str(), 17, &found);
    kuINIFile_ReadKeyAsInt32(ini, section.c_str(), name.c_str(), -17, &found);
    kuINIFile_ReadKeyAsDouble(ini, section.c_str(), name.c_str(), 1.5, &found);
    kuINIFile_ReadKeyAsBool(ini, section.c_str(), name.c_str(), 5, &found);
    KU_FUZZ_CHECK(found == 1);
}

// A section named with a '/' ("[a/ b]") makes an entry that reads as a key
// of another section (" b" of "a"), whose name a key line may not carry:
// one that is empty or longer than 127 bytes, starts with white space, ';',
// '#' or '[' (a ']' in the name or the value makes the line a header), or
// holds '='. Such a key does not come back from a save.
bool keysFitLines(kuDictionary *ini)
{
    for (const Key &key : keysOf(ini)) {
        const std::string &k = key.second;
        if (k.empty() || k.size() > 127 || isspace((unsigned char)k[0]) ||
            isspace((unsigned char)k.back()) || strchr(";#[", k[0]) || k.find('=') != k.npos)
            return false;
    }
    return true;
}

bool hasCutLine(const std::string &file)
{
    size_t start = 0;
    for (size_t end; (end = file.find('\n', start)) != std::string::npos; start = end + 1)
        if (end - start >= 1023)
            return true;
    return file.size() - start >= 1023;
}

// Saving, loading into a new dictionary and saving again gives the same
// file.
void saveLoadSave(kuDictionary *ini)
{
    if (!keysFitLines(ini))
        return;
    std::string a = pathOf("a.ini"), b = pathOf("b.ini");
    KU_FUZZ_CHECK(kuINIFile_SaveINIFile(a.c_str(), ini) == 1);
    kuDictionary *again = kuDictionary_New(0);
    KU_FUZZ_CHECK(kuINIFile_LoadINIFile(a.c_str(), again) == 1);
    KU_FUZZ_CHECK(kuINIFile_SaveINIFile(b.c_str(), again) == 1);
    std::string first = readWhole(a), second = readWhole(b);
    // A line longer than 1023 bytes is cut, and the cut may fall inside an
    // escape, so what is read back is not what was written.
    KU_FUZZ_CHECK(hasCutLine(first) || first == second);
    kuDictionary_Delete(again);
}

// A name that loads back as written (never starting with 't', so the typed
// values below have sections of their own).
std::string plainName(FuzzedDataProvider &fdp)
{
    static const char kSet[] = "abcxyz019_.-";
    std::string out(1, kSet[fdp.ConsumeIntegralInRange<size_t>(0, 5)]);
    for (size_t n = fdp.ConsumeIntegralInRange<size_t>(0, 12); n > 0; n--)
        out += kSet[fdp.ConsumeIntegralInRange<size_t>(0, sizeof kSet - 2)];
    return out;
}

// Values written through the interface come back after a save and a load
// (line breaks, which a line cannot hold, as spaces), also among whatever
// the file held before.
void writeAndReload(kuDictionary *ini, FuzzedDataProvider &fdp)
{
    Text section(plainName(fdp)), key(plainName(fdp)), number(plainName(fdp));
    std::string value = kufuzz::upToZero(fdp.ConsumeRandomLengthString(200));
    int32_t i = fdp.ConsumeIntegral<int32_t>();
    uint32_t u = fdp.ConsumeIntegral<uint32_t>();
    double d = fdp.ConsumeFloatingPoint<double>();
    KU_FUZZ_CHECK(kuINIFile_WriteKeyAsString(ini, section.c_str(), key.c_str(), Text(value).c_str()) +
                      kuINIFile_WriteKeyAsInt32(ini, section.c_str(), number.c_str(), i) +
                      kuINIFile_WriteKeyAsUInt32(ini, "t.u", number.c_str(), u) +
                      kuINIFile_WriteKeyAsDouble(ini, "t.d", number.c_str(), d) ==
                  4);
    // Checked after the writes: a section they make can adopt stored keys
    // ("t.u/[x" once "t.u" exists), and a key line that reads as a header
    // moves the keys after it.
    if (!keysFitLines(ini))
        return;

    std::string path = pathOf("a.ini");
    KU_FUZZ_CHECK(kuINIFile_SaveINIFile(path.c_str(), ini) == 1);
    kuDictionary *again = kuDictionary_New(0);
    KU_FUZZ_CHECK(kuINIFile_LoadINIFile(path.c_str(), again) == 1);
    std::replace_if(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    int found = 0;
    const char *back = kuINIFile_ReadKeyAsString(again, section.c_str(), key.c_str(), nullptr, &found);
    // The key may have been the number's: that one was written last.
    KU_FUZZ_CHECK(strcmp(key.c_str(), number.c_str()) == 0 || (found == 1 && back && value == back));
    KU_FUZZ_CHECK(kuINIFile_ReadKeyAsInt32(again, section.c_str(), number.c_str(), 0, &found) == i);
    KU_FUZZ_CHECK(kuINIFile_ReadKeyAsUInt32(again, "t.u", number.c_str(), 0, &found) == u);
    double dBack = kuINIFile_ReadKeyAsDouble(again, "t.d", number.c_str(), 0.0, &found);
    KU_FUZZ_CHECK(isnan(d) ? isnan(dBack) : fabs(dBack - d) <= fabs(d) * 1e-5 || dBack == d);
    kuDictionary_Delete(again);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    std::string text = fdp.ConsumeRandomLengthString(4096);
    Bytes exact(text.data(), text.size());
    kuDictionary *ini = kuDictionary_New(0);
    KU_FUZZ_CHECK(kuINIFile_LoadINIFileFromBuffer(exact.data(), exact.size(), ini) == 1);
    std::vector<Key> keys = keysOf(ini);
    for (size_t k = 0; k < keys.size() && k < 64; k++)
        readKey(ini, keys[k]);
    saveLoadSave(ini);
    writeAndReload(ini, fdp);
    saveLoadSave(ini);
    kuDictionary_Delete(ini);
    return 0;
}
