#include <kuvanaTools/kuConfigFile.h>
#include <kuvanaTools/kuMemory.h>

#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::string str(const char *text)
{
    return text != nullptr ? text : "<null>";
}

bool exists(const std::string &path)
{
    return access(path.c_str(), F_OK) == 0;
}

// A writable file P and its companions in a fresh directory.
struct Files {
    kutest::TempDir dir;
    std::string p = dir.file("user.ini");
    std::string tmp = p + ".tmp";
    std::string ok = p + ".ok";
    std::string factory = dir.file("factory.ini");
};

struct Config {
    kuConfigFile *c;
    Config(const std::string &readOnly, const std::string &writable)
        : c(kuConfigFile_New(readOnly.empty() ? nullptr : readOnly.c_str(),
                             writable.empty() ? nullptr : writable.c_str()))
    {
    }
    ~Config() { kuConfigFile_Delete(c); }
    Config(const Config &) = delete;
    Config &operator=(const Config &) = delete;
    operator kuConfigFile *() const { return c; }
};

TEST(ConfigFile, WritableLayerOverridesReadOnly)
{
    Files f;
    kutest::writeFile(f.factory, "[net]\nport=80\nname=factory\nflag=yes\n[only]\nx=1\n");
    kutest::writeFile(f.p, "[Net]\nPort=8080\n");
    Config c(f.factory, f.p);
    EXPECT_EQ(8080u, kuConfigFile_GetUInt32(c, "net", "port", 1));
    EXPECT_EQ("factory", str(kuConfigFile_GetString(c, "NET", "name", "d")));
    EXPECT_EQ("d", str(kuConfigFile_GetString(c, "net", "none", "d")));
    EXPECT_EQ(1, kuConfigFile_DeleteKey(c, "net", "port"));
    EXPECT_EQ(80, kuConfigFile_GetInt32(c, "net", "port", 1));
    EXPECT_EQ(1, kuConfigFile_SetInt32(c, "net", "port", -3));
    EXPECT_EQ(-3, kuConfigFile_GetInt32(c, "net", "port", 1));
    EXPECT_EQ(1, kuConfigFile_SetUInt32(c, "net", "big", 4000000000u));
    EXPECT_EQ(4000000000u, kuConfigFile_GetUInt32(c, "net", "big", 1));
    EXPECT_EQ(1, kuConfigFile_OptionIsSet(c, "net", "flag", 0));
    EXPECT_EQ(1, kuConfigFile_SetString(c, "net", "flag", "no"));
    EXPECT_EQ(0, kuConfigFile_OptionIsSet(c, "net", "flag", 1));
    EXPECT_EQ(1, kuConfigFile_DeleteSection(c, "NET"));
    EXPECT_EQ(1, kuConfigFile_OptionIsSet(c, "net", "flag", 0));

    auto resolver = [](const char *name, void *) -> char * {
        return strcmp(name, "n") == 0 ? kuStrdup("N") : nullptr;
    };
    kuConfigFile_SetString(c, "s", "w", "<%n%>");
    char *text = kuConfigFile_GetStringWithSubstitution(c, "s", "w", "%n%", resolver);
    EXPECT_EQ("<N>", str(text));
    kuFree(text);
    text = kuConfigFile_GetStringWithSubstitution(c, "only", "x", "%n%", resolver);
    EXPECT_EQ("1", str(text));
    kuFree(text);
    text = kuConfigFile_GetStringWithSubstitution(c, "only", "y", "[%n%]", resolver);
    EXPECT_EQ("[N]", str(text));
    kuFree(text);
    EXPECT_EQ(nullptr, kuConfigFile_GetStringWithSubstitution(c, "only", "y", nullptr, resolver));
}

TEST(ConfigFile, NarrowNumbersAndOptions)
{
    Files f;
    kutest::writeFile(f.p, "a=300\nb=-1\nc=255\nd=65535\ne=65536\nmaybe=maybe\n");
    Config c("", f.p);
    EXPECT_EQ(0x34, kuConfigFile_GetUInt8(c, nullptr, "a", 0x34));
    EXPECT_EQ(7, kuConfigFile_GetUInt8(c, nullptr, "b", 7));
    EXPECT_EQ(7, kuConfigFile_GetUInt8(c, nullptr, "missing", 7));
    EXPECT_EQ(255, kuConfigFile_GetUInt8(c, nullptr, "c", 7));
    EXPECT_EQ(65535, kuConfigFile_GetUInt16(c, nullptr, "d", 7));
    EXPECT_EQ(7, kuConfigFile_GetUInt16(c, nullptr, "e", 7));
    EXPECT_EQ(300, kuConfigFile_GetUInt16(c, "", "a", 7));

    EXPECT_EQ(5, kuConfigFile_OptionIsSet(c, nullptr, "missing", 5));
    kutest::LogCapture log;
    EXPECT_EQ(0, kuConfigFile_OptionIsSet(c, nullptr, "maybe", 5));
    ASSERT_EQ(1u, log.lines().size());
    EXPECT_NE(std::string::npos, log.text().find("'maybe' for a boolean for entry "
                                                 "'(null)/maybe' (returning 0)"));
}

TEST(ConfigFile, WithoutAWritableFile)
{
    Files f;
    kutest::writeFile(f.factory, "[a]\nk=v\n");
    Config c(f.factory, "");
    EXPECT_EQ(0, kuConfigFile_SetString(c, "a", "k", "w"));
    EXPECT_EQ(0, kuConfigFile_SetUInt32(c, "a", "k", 1));
    EXPECT_EQ(0, kuConfigFile_DeleteKey(c, "a", "k"));
    EXPECT_EQ(0, kuConfigFile_DeleteSection(c, "a"));
    EXPECT_EQ("v", str(kuConfigFile_GetString(c, "a", "k", nullptr)));
    EXPECT_EQ(0u, kuConfigFile_GetSectionCount(c, 0));
    EXPECT_EQ(2u, kuConfigFile_GetSectionCount(c, 1));
    EXPECT_EQ("a", str(kuConfigFile_GetSectionName(c, 1, 1)));
    EXPECT_EQ("", str(kuConfigFile_GetSectionName(c, 1, 0)));
    EXPECT_EQ(1u, kuConfigFile_GetKeyCount(c, "a", 1));
    EXPECT_EQ(0u, kuConfigFile_GetKeyCount(c, "a", 0));
    EXPECT_EQ("k", str(kuConfigFile_GetKeyName(c, "a", 0, 1)));
    EXPECT_EQ("", str(kuConfigFile_GetKeyName(c, "a", 0, 0)));
    kuConfigFile_Reset(c);

    // Saving touches no file at all.
    kutest::ScopedPlatformHooks hooks;
    int calls = 0;
    hooks->fileOpen = [&](const char *, uint32_t, uint32_t, kuFile **h) {
        calls++;
        *h = nullptr;
        return -1;
    };
    hooks->fileExists = [&](const char *) { return ++calls, 0; };
    EXPECT_EQ(0, kuConfigFile_Save(c));
    EXPECT_EQ(0, calls);

    // A null configuration reads as empty.
    EXPECT_EQ("d", str(kuConfigFile_GetString(nullptr, "a", "k", "d")));
    EXPECT_EQ(9u, kuConfigFile_GetUInt32(nullptr, "a", "k", 9));
    EXPECT_EQ(0, kuConfigFile_Save(nullptr));
    kuConfigFile_Delete(nullptr);
}

TEST(ConfigFile, SavingWritesReadSectionsAndResetEmpties)
{
    Files f;
    Config c("", f.p);
    kuConfigFile_SetString(c, "Net", "Host", "my box");
    EXPECT_EQ(7u, kuConfigFile_GetUInt32(c, "Seen", "absent", 7));
    ASSERT_EQ(1, kuConfigFile_Save(c));
    EXPECT_EQ("[net]\nhost=\"my box\"\n\n[seen]\n", kutest::readFile(f.p));
    EXPECT_FALSE(exists(f.tmp));
    EXPECT_FALSE(exists(f.ok));
    {
        Config again("", f.p);
        EXPECT_EQ("my box", str(kuConfigFile_GetString(again, "net", "host", nullptr)));
    }
    kuConfigFile_Reset(c);
    EXPECT_EQ("d", str(kuConfigFile_GetString(c, "net", "host", "d")));
    ASSERT_EQ(1, kuConfigFile_Save(c));
    // The read above registered its section in the new layer.
    EXPECT_EQ("[net]\n", kutest::readFile(f.p));
}

TEST(ConfigFile, CreationLogs)
{
    Files f;
    kutest::LogCapture log;
    Config a("", "");
    EXPECT_TRUE(log.lines().empty());
    kuConfigFile_Delete(kuConfigFile_New("", nullptr));
    kuConfigFile_Delete(kuConfigFile_New(f.dir.file("nope.ini").c_str(), nullptr));
    std::vector<std::string> lines = log.lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("KU 1 26 kuvanaTools/kuConfigFile:"));
    EXPECT_NE(std::string::npos,
              lines[0].find(": Cannot resolve read-only config file path for ''"));
    EXPECT_NE(std::string::npos, lines[1].find(": Cannot load read-only config file '" +
                                               f.dir.file("nope.ini") + "'"));
}

TEST(ConfigFileRecovery, InterruptedSavesAreFinishedOrDiscarded)
{
    {
        Files f;
        kutest::writeFile(f.p, "v=old\n");
        kutest::writeFile(f.ok, "v=new\n");
        kutest::writeFile(f.tmp, "v=partial");
        Config c("", f.p);
        EXPECT_EQ("new", str(kuConfigFile_GetString(c, nullptr, "v", nullptr)));
        EXPECT_EQ("v=new\n", kutest::readFile(f.p));
        EXPECT_FALSE(exists(f.ok));
        EXPECT_FALSE(exists(f.tmp));
    }
    {
        Files f;
        kutest::writeFile(f.p, "v=old\n");
        kutest::writeFile(f.tmp, "v=partial");
        Config c("", f.p);
        EXPECT_EQ("old", str(kuConfigFile_GetString(c, nullptr, "v", nullptr)));
        EXPECT_EQ("v=old\n", kutest::readFile(f.p));
        EXPECT_FALSE(exists(f.tmp));
    }
    {
        // Killed between removing the main file and committing ".ok".
        Files f;
        kutest::writeFile(f.ok, "v=new\n");
        Config c("", f.p);
        EXPECT_EQ("new", str(kuConfigFile_GetString(c, nullptr, "v", nullptr)));
        EXPECT_EQ("v=new\n", kutest::readFile(f.p));
    }
}

TEST(ConfigFileRecovery, FailedRepairsAreLoggedAndLoseNothing)
{
    Files f;
    auto prepare = [&] {
        kutest::writeFile(f.p, "v=old\n");
        kutest::writeFile(f.ok, "v=new\n");
        kutest::writeFile(f.tmp, "v=partial");
    };
    auto loaded = [](kuConfigFile *c) { return str(kuConfigFile_GetString(c, "", "v", "-")); };
    kutest::LogCapture log;
    kutest::ScopedPlatformHooks hooks;
    std::string refuse; // the path whose removal fails
    hooks->fileRemove = [&](const char *path) {
        return path == refuse ? -1 : kutest::real::fileRemove(path);
    };
    bool renameFails = false;
    hooks->fileRename = [&](const char *from, const char *to) {
        return renameFails ? -1 : kutest::real::fileRename(from, to);
    };

    prepare();
    refuse = f.tmp;
    {
        Config c("", f.p);
        EXPECT_EQ("new", loaded(c));
    }
    prepare();
    refuse = f.p;
    {
        Config c("", f.p);
        EXPECT_EQ("old", loaded(c)); // the commit was abandoned; both files stay
        EXPECT_EQ("v=new\n", kutest::readFile(f.ok));
    }
    prepare();
    refuse.clear();
    renameFails = true;
    {
        // The main file is gone and ".ok" could not take its place: the
        // complete save in ".ok" is loaded rather than nothing.
        Config c("", f.p);
        EXPECT_FALSE(exists(f.p));
        EXPECT_EQ("new", loaded(c));
    }
    std::vector<std::string> lines = log.lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("KU 1 26 kuvanaTools/kuConfigFile:"));
    EXPECT_NE(std::string::npos, lines[0].find(": Cannot remove temporary file '" + f.tmp + "'"));
    EXPECT_NE(std::string::npos, lines[1].find(": Cannot remove previous valid file '" + f.p +
                                               "', aborting commit"));
    EXPECT_NE(std::string::npos, lines[2].find(": Cannot commit file '" + f.ok + "'"));
}

TEST(ConfigFileSave, FailuresAreLogged)
{
    Files f;
    kutest::writeFile(f.p, "v=old\n");
    Config c("", f.p);
    kuConfigFile_SetString(c, nullptr, "v", "new");
    kutest::LogCapture log;
    kutest::ScopedPlatformHooks hooks;
    auto lastLines = [&](size_t n) {
        std::vector<std::string> all = log.lines();
        all.insert(all.begin(), n, ""); // too few records then fail the checks below
        return std::vector<std::string>(all.end() - n, all.end());
    };
    auto logged = [](const std::string &line, const std::string &text) {
        // each record is one line, its final line feed taken off
        return line.find("KU 1 26 kuvanaTools/kuConfigFile:") == 0 &&
               line.size() >= text.size() &&
               line.compare(line.size() - text.size(), text.size(), text) == 0;
    };

    // ".tmp" cannot be written: nothing else happens.
    hooks->fileWrite = [](kuFile *, const void *, size_t) -> ptrdiff_t { return -1; };
    EXPECT_EQ(0, kuConfigFile_Save(c));
    EXPECT_TRUE(logged(lastLines(1)[0], "Cannot save file '" + f.tmp + "'"));
    EXPECT_EQ("v=old\n", kutest::readFile(f.p));
    EXPECT_FALSE(exists(f.tmp));
    hooks->fileWrite = nullptr;

    // A stale ".ok" that cannot be removed, then the renames fail in turn.
    kutest::writeFile(f.ok, "v=stale\n");
    hooks->fileRemove = [&](const char *path) {
        return path == f.ok ? -1 : kutest::real::fileRemove(path);
    };
    std::string failFrom = f.tmp;
    hooks->fileRename = [&](const char *from, const char *to) {
        return from == failFrom ? -1 : kutest::real::fileRename(from, to);
    };
    EXPECT_EQ(0, kuConfigFile_Save(c));
    std::vector<std::string> two = lastLines(2);
    EXPECT_TRUE(logged(two[0], "Cannot save file: cannot rename temporary file '" + f.tmp + "'"));
    EXPECT_TRUE(logged(two[1], "Cannot save file: Was not able to remove previous valid file '" +
                                   f.ok + "'"));

    failFrom = f.ok;
    EXPECT_EQ(0, kuConfigFile_Save(c));
    two = lastLines(2);
    EXPECT_TRUE(logged(two[0], "Cannot save file: cannot commit file '" + f.ok + "'"));
    EXPECT_TRUE(logged(two[1], "Cannot save file: Was not able to remove previous valid file '" +
                                   f.p + "'"));
    EXPECT_EQ("v=new\n", kutest::readFile(f.ok));

    // The next creation commits what the failed save left in ".ok".
    hooks->fileRename = nullptr;
    hooks->fileRemove = nullptr;
    Config next("", f.p);
    EXPECT_EQ("new", str(kuConfigFile_GetString(next, nullptr, "v", nullptr)));
    EXPECT_EQ(5u, log.lines().size());
}

// Generations of a configuration: every value names its generation, so a
// file mixed from two saves, cut short or empty is told from a whole one.
constexpr int kSections = 6;
constexpr int kKeys = 10;

std::string valueOf(int generation, int s, int k)
{
    return "g" + std::to_string(generation) + " \"" + std::to_string(s) + "\" #;\\ " +
           std::string((size_t)(generation * 7 + s * 3 + k) % 40, 'x');
}

void setGeneration(kuConfigFile *c, int generation)
{
    kuConfigFile_SetInt32(c, "meta", "gen", generation);
    for (int s = 0; s < kSections; s++)
        for (int k = 0; k < kKeys; k++)
            kuConfigFile_SetString(c, ("s" + std::to_string(s)).c_str(),
                                   ("k" + std::to_string(k)).c_str(),
                                   valueOf(generation, s, k).c_str());
}

// The generation a configuration holds completely, or -1.
int generationOf(kuConfigFile *c)
{
    // default (from loading), meta and the sections
    if (kuConfigFile_GetSectionCount(c, 0) != kSections + 2)
        return -1;
    int generation = kuConfigFile_GetInt32(c, "meta", "gen", -1);
    for (int s = 0; s < kSections; s++) {
        std::string section = "s" + std::to_string(s);
        if (kuConfigFile_GetKeyCount(c, section.c_str(), 0) != kKeys)
            return -1;
        for (int k = 0; k < kKeys; k++) {
            const char *v = kuConfigFile_GetString(c, section.c_str(),
                                                   ("k" + std::to_string(k)).c_str(), "");
            if (v != valueOf(generation, s, k))
                return -1;
        }
    }
    return generation;
}

int loadGeneration(const std::string &path)
{
    Config c("", path);
    return generationOf(c);
}

// Makes the n-th file operation from now fail. A failing operation either
// has no effect (mode 0; a write stores half its bytes) or takes effect and
// still reports failure (mode 1). kuFile_Exists fails by not finding an
// existing file (its stat failed).
struct FaultPlan {
    int failAt;
    int mode;
    int count = 0;
    const char *fired = nullptr; // the operation that failed

    bool hit(const char *operation)
    {
        if (++count != failAt)
            return false;
        fired = operation;
        return true;
    }

    void install(kutest::ScopedPlatformHooks &hooks)
    {
        namespace real = kutest::real;
        hooks->fileOpen = [this](const char *path, uint32_t flags, uint32_t mode, kuFile **h) {
            if (!hit("open"))
                return real::fileOpen(path, flags, mode, h);
            if (this->mode == 1 && real::fileOpen(path, flags, mode, h) == 0)
                real::fileClose(*h);
            *h = nullptr;
            return -1;
        };
        hooks->fileRead = [this](kuFile *file, void *buffer, size_t n) -> ptrdiff_t {
            if (!hit("read"))
                return real::fileRead(file, buffer, n);
            if (this->mode == 1)
                real::fileRead(file, buffer, n);
            return -1;
        };
        hooks->fileWrite = [this](kuFile *file, const void *buffer, size_t n) -> ptrdiff_t {
            if (!hit("write"))
                return real::fileWrite(file, buffer, n);
            real::fileWrite(file, buffer, this->mode == 1 ? n : n / 2);
            return -1;
        };
        hooks->fileClose = [this](kuFile *file) {
            int rc = real::fileClose(file);
            return hit("close") ? -1 : rc;
        };
        hooks->fileExists = [this](const char *path) {
            int there = real::fileExists(path);
            return hit("exists") ? 0 : there;
        };
        hooks->fileRemove = [this](const char *path) {
            if (!hit("remove"))
                return real::fileRemove(path);
            if (this->mode == 1)
                real::fileRemove(path);
            return -1;
        };
        hooks->fileRename = [this](const char *from, const char *to) {
            if (!hit("rename"))
                return real::fileRename(from, to);
            if (this->mode == 1)
                real::fileRename(from, to);
            return -1;
        };
    }
};

// Saves generation g with the failAt-th file operation failing; keeps the
// set of generations that a creation may load: the last one saved
// successfully and every one attempted since.
struct Saver {
    std::set<int> acceptable;

    // Returns false once the save ran out of operations before failAt.
    bool save(kuConfigFile *c, int generation, int failAt, int mode)
    {
        setGeneration(c, generation);
        FaultPlan plan{failAt, mode};
        int saved;
        {
            kutest::ScopedPlatformHooks hooks;
            plan.install(hooks);
            saved = kuConfigFile_Save(c);
        }
        if (saved)
            acceptable = {generation};
        else
            acceptable.insert(generation);
        if (plan.fired == nullptr) {
            EXPECT_EQ(1, saved);
        }
        return plan.fired != nullptr;
    }
};

// Runs body(mode, failAt) for both modes and operations 1, 2, ... until
// body reports that the run had no operation left to fail.
void forEachFault(const std::function<bool(int, int)> &body)
{
    for (int mode = 0; mode < 2; mode++) {
        for (int failAt = 1;; failAt++) {
            SCOPED_TRACE("mode " + std::to_string(mode) + ", operation " +
                         std::to_string(failAt));
            if (!body(mode, failAt))
                break;
        }
    }
}

TEST(ConfigFileFaults, EachOperationOfASaveFailsInTurn)
{
    forEachFault([](int mode, int failAt) {
        Files f;
        Config c("", f.p);
        Saver saver;
        saver.save(c, 1, 0, mode);
        EXPECT_EQ(1, loadGeneration(f.p));
        bool failed = saver.save(c, 2, failAt, mode);
        int loaded = loadGeneration(f.p);
        EXPECT_EQ(1u, saver.acceptable.count(loaded)) << "loaded " << loaded;
        // Whatever was left behind, the next save goes through.
        EXPECT_EQ(1, kuConfigFile_Save(c));
        EXPECT_EQ(2, loadGeneration(f.p));
        EXPECT_FALSE(exists(f.tmp) || exists(f.ok));
        return failed;
    });
}

// Two failed saves in a row, with no creation between them to clean up: the
// second one meets what the first left behind.
TEST(ConfigFileFaults, TwoFailingSavesInARow)
{
    forEachFault([](int mode, int first) {
        bool firstFailed = true;
        forEachFault([&](int secondMode, int second) {
            if (secondMode != mode)
                return false;
            Files f;
            Config c("", f.p);
            Saver saver;
            saver.save(c, 1, 0, mode);
            firstFailed = saver.save(c, 2, first, mode);
            bool secondFailed = saver.save(c, 3, second, mode);
            int loaded = loadGeneration(f.p);
            EXPECT_EQ(1u, saver.acceptable.count(loaded)) << "loaded " << loaded;
            return secondFailed;
        });
        return firstFailed;
    });
}

// Creation repairs with any one of its file operations failing: it loads a
// whole generation (or nothing, when reading itself failed), and the files
// stay recoverable.
TEST(ConfigFileFaults, EachOperationOfARepairFailsInTurn)
{
    forEachFault([](int mode, int failAt) {
        Files f;
        std::string second;
        {
            // As a save killed after writing ".ok": P holds 1, ".ok" 2.
            Config c("", f.p);
            setGeneration(c, 2);
            EXPECT_EQ(1, kuConfigFile_Save(c));
            second = kutest::readFile(f.p);
            setGeneration(c, 1);
            EXPECT_EQ(1, kuConfigFile_Save(c));
        }
        kutest::writeFile(f.ok, second);
        kutest::writeFile(f.tmp, "[s0]\nk0=half");
        FaultPlan plan{failAt, mode};
        int loaded;
        {
            kutest::ScopedPlatformHooks hooks;
            plan.install(hooks);
            Config c("", f.p);
            loaded = generationOf(c);
        }
        bool readFailed = plan.fired != nullptr &&
                          (strcmp(plan.fired, "read") == 0 || strcmp(plan.fired, "open") == 0);
        if (!(readFailed && loaded == -1)) {
            EXPECT_TRUE(loaded == 1 || loaded == 2) << "loaded " << loaded;
        }
        loaded = loadGeneration(f.p);
        EXPECT_TRUE(loaded == 1 || loaded == 2) << "loaded " << loaded;
        return plan.fired != nullptr;
    });
}

// Saves run in a child that is killed at a random moment, again and again:
// after each kill a creation must load the last generation the child
// reported saved, or the one it was saving, whole.
TEST(ConfigFileCrash, KilledSavesLeaveAWholeGeneration)
{
#if defined(__arm__)
    const int kills = 40; // under an emulator: fewer rounds
#else
    const int kills = 150;
#endif
    Files f;
    // Kill within the time of about two saves (each syncs to the disk), so
    // that kills land in every step of a save and between saves.
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    {
        Config c("", f.p);
        for (int g = 1; g <= 3; g++) {
            setGeneration(c, g);
            ASSERT_EQ(1, kuConfigFile_Save(c));
        }
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    const unsigned maxDelayMicroseconds =
        1000 + (unsigned)((end.tv_sec - start.tv_sec) * 1000000 +
                          (end.tv_nsec - start.tv_nsec) / 1000) * 2 / 3;
    std::mt19937 rng(20240601);
    int committed = 3;
    int savesReported = 0;
    int leftovers = 0; // kills that left ".tmp" or ".ok" to repair
    for (int round = 0; round < kills; round++) {
        int fds[2];
        ASSERT_EQ(0, pipe(fds));
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            kuConfigFile *c = kuConfigFile_New(nullptr, f.p.c_str());
            for (int g = generationOf(c) + 1;; g++) {
                setGeneration(c, g);
                if (kuConfigFile_Save(c) == 1 && write(fds[1], &g, sizeof g) != sizeof g)
                    _exit(1);
            }
        }
        close(fds[1]);
        usleep(rng() % maxDelayMicroseconds);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        int last = committed;
        int g;
        while (read(fds[0], &g, sizeof g) == sizeof g) {
            last = g;
            savesReported++;
        }
        close(fds[0]);
        leftovers += exists(f.tmp) || exists(f.ok);

        int loaded = loadGeneration(f.p);
        ASSERT_TRUE(loaded == last || loaded == last + 1)
            << "round " << round << ": loaded " << loaded << ", last saved " << last;
        committed = loaded;
    }
    EXPECT_GT(savesReported, 0) << "the children never got to save";
    printf("%d kills, %d saves reported, %d left files to repair\n", kills, savesReported,
           leftovers);
}

} // namespace
