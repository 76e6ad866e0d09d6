#include <kuvanaTools/kuConfigFile.h>
#include <kuvanaTools/kuMemory.h>

#include "support/OwnedText.h"
#include "support/PlatformFake.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <signal.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>

// A kill loses nothing the page cache holds: flushing to the disk guards
// against power loss only (the platform layer's suite checks that it is
// done), and costs these tests their time.
extern "C" int fsync(int)
{
    return 0;
}

namespace {

namespace real = kutest::real;
using kutest::orNull;
using kutest::readFile;
using kutest::writeFile;

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

mode_t modeOf(const std::string &path, bool follow = true)
{
    struct stat st;
    int rc = follow ? stat(path.c_str(), &st) : lstat(path.c_str(), &st);
    return rc == 0 ? st.st_mode & (S_IFMT | 07777) : 0;
}

// Whether the records are, in order, this module's records ending in texts.
void expectRecords(const std::vector<std::string> &lines, const std::vector<std::string> &texts)
{
    ASSERT_EQ(texts.size(), lines.size());
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string &l = lines[i], &t = texts[i];
        EXPECT_TRUE(l.rfind("KU 1 26 kuvanaTools/kuConfigFile:", 0) == 0 && l.size() >= t.size() &&
                    l.compare(l.size() - t.size(), t.size(), t) == 0)
            << l;
    }
}

// A writable file P and its companions in a fresh directory.
struct Files {
    kutest::TempDir dir;
    std::string p = dir.file("user.ini"), tmp = p + ".tmp", ok = p + ".ok";
    std::string factory = dir.file("factory.ini");

    // The files as a save left them; null for none.
    void leave(const char *pText, const char *okText, const char *tmpText)
    {
        for (auto [path, text] : {std::make_pair(&p, pText), {&ok, okText}, {&tmp, tmpText}}) {
            if (text != nullptr)
                writeFile(*path, text);
            else
                unlink(path->c_str());
        }
    }
};

struct Config {
    kuConfigFile *c;
    Config(const std::string &ro, const std::string &w)
        : c(kuConfigFile_New(ro.empty() ? nullptr : ro.c_str(), w.empty() ? nullptr : w.c_str()))
    {
    }
    ~Config() { kuConfigFile_Delete(c); }
    Config(const Config &) = delete;
    operator kuConfigFile *() const { return c; }
};

// Saves value as "v" in a configuration of path: Save's result.
int saveValue(const std::string &path, const char *value)
{
    Config c("", path);
    kuConfigFile_SetString(c, nullptr, "v", value);
    return kuConfigFile_Save(c);
}

std::string loadValue(const std::string &path)
{
    return orNull(kuConfigFile_GetString(Config("", path), nullptr, "v", "-"));
}

TEST(ConfigFile, WritableLayerOverridesReadOnly)
{
    Files f;
    writeFile(f.factory, "[net]\nport=80\nname=factory\nflag=yes\n[only]\nx=1\n");
    writeFile(f.p, "a=256\nb=-1\nc=255\nd=65535\ne=65536\nmaybe=maybe\n[Net]\nPort=8080\n");
    Config c(f.factory, f.p);
    EXPECT_EQ(8080u, kuConfigFile_GetUInt32(c, "net", "port", 1));
    EXPECT_EQ("factory", orNull(kuConfigFile_GetString(c, "NET", "name", "d")));
    EXPECT_EQ(1, kuConfigFile_DeleteKey(c, "net", "port"));
    EXPECT_EQ(80, kuConfigFile_GetInt32(c, "net", "port", 1));
    EXPECT_EQ(1, kuConfigFile_SetString(c, "net", "flag", "no"));
    EXPECT_EQ(0, kuConfigFile_OptionIsSet(c, "net", "flag", 1));
    EXPECT_EQ(1, kuConfigFile_DeleteSection(c, "NET"));
    EXPECT_EQ(1, kuConfigFile_OptionIsSet(c, "net", "flag", 0));
    EXPECT_EQ(5, kuConfigFile_OptionIsSet(c, nullptr, "missing", 5));
    EXPECT_EQ(0, kuConfigFile_OptionIsSet(c, nullptr, "maybe", 5)); // no boolean

    // Narrow numbers: the stored number when it fits, else the default.
    EXPECT_EQ(0x34, kuConfigFile_GetUInt8(c, nullptr, "a", 0x34));
    EXPECT_EQ(7, kuConfigFile_GetUInt8(c, nullptr, "b", 7));
    EXPECT_EQ(255, kuConfigFile_GetUInt8(c, nullptr, "c", 7));
    EXPECT_EQ(65535, kuConfigFile_GetUInt16(c, nullptr, "d", 7));
    EXPECT_EQ(7, kuConfigFile_GetUInt16(c, nullptr, "e", 7));

    auto substituted = [&](const char *key, const char *dflt) {
        return kutest::take(kuConfigFile_GetStringWithSubstitution(
            c, "s", key, dflt, [](const char *name, void *) -> char * {
                return strcmp(name, "n") == 0 ? kuStrdup("N") : nullptr;
            }));
    };
    kuConfigFile_SetString(c, "s", "w", "<%n%>");
    EXPECT_EQ("<N>", substituted("w", "%n%"));
    EXPECT_EQ("[N]", substituted("y", "[%n%]"));
    EXPECT_EQ("<null>", substituted("y", nullptr));

    // Reset empties the writable layer; a save writes the sections read since.
    kuConfigFile_Reset(c);
    EXPECT_EQ("d", orNull(kuConfigFile_GetString(c, "net", "host", "d")));
    kuConfigFile_SetString(c, "Net", "Host", "my box");
    EXPECT_EQ(7u, kuConfigFile_GetUInt32(c, "Seen", "absent", 7));
    ASSERT_EQ(1, kuConfigFile_Save(c));
    EXPECT_EQ("[net]\nhost=\"my box\"\n\n[seen]\n", readFile(f.p));
    EXPECT_FALSE(exists(f.tmp) || exists(f.ok));
}

TEST(ConfigFile, WithoutAWritableFileAndNull)
{
    Files f;
    writeFile(f.factory, "[a]\nk=v\n");
    kutest::LogCapture log;
    Config c(f.factory, "");
    EXPECT_EQ(0, kuConfigFile_SetString(c, "a", "k", "w") + kuConfigFile_SetUInt32(c, "a", "k", 1) +
                     kuConfigFile_DeleteKey(c, "a", "k") + kuConfigFile_DeleteSection(c, "a"));
    EXPECT_EQ("v", orNull(kuConfigFile_GetString(c, "a", "k", nullptr)));
    EXPECT_EQ(0u, kuConfigFile_GetSectionCount(c, 0));
    EXPECT_EQ(1u, kuConfigFile_GetKeyCount(c, "a", 1));
    EXPECT_EQ("k", orNull(kuConfigFile_GetKeyName(c, "a", 0, 1)));
    EXPECT_EQ("", orNull(kuConfigFile_GetKeyName(c, "a", 0, 0)));
    kuConfigFile_Reset(c);
    EXPECT_EQ(0, kuConfigFile_Save(c));
    // A null configuration reads as empty.
    EXPECT_EQ("d", orNull(kuConfigFile_GetString(nullptr, "a", "k", "d")));
    EXPECT_EQ(0, kuConfigFile_Save(nullptr));
    kuConfigFile_Delete(nullptr);

    // Creation logs only paths it cannot use.
    kuConfigFile_Delete(kuConfigFile_New(nullptr, nullptr));
    kuConfigFile_Delete(kuConfigFile_New("", nullptr));
    kuConfigFile_Delete(kuConfigFile_New(f.dir.file("nope.ini").c_str(), nullptr));
    expectRecords(log.lines(),
                  {"Cannot resolve read-only config file path for ''",
                   "Cannot load read-only config file '" + f.dir.file("nope.ini") + "'"});
}

// A save keeps the permission bits of the file it replaces; a new file gets
// 0666 less the umask; the temporary file is a fresh one, the owner's alone
// while written: a link planted at P.tmp, to a file or to nothing, is never
// written through.
TEST(ConfigFileSafety, SaveKeepsPermissionsAndIgnoresLinksAtTheTemporaryFile)
{
    const struct {
        mode_t existing, umask, expected; // existing 0: no file yet
        const char *victim; // what a link at P.tmp leads to: null none, "" nothing
    } cases[] = {{0600, 022, 0600, nullptr}, {0664, 077, 0664, "secret\n"}, {0, 022, 0644, ""},
                 {0, 027, 0640, "secret\n"}};
    for (auto &k : cases) {
        SCOPED_TRACE(std::to_string(k.existing) + " " + std::to_string(k.umask));
        Files f;
        std::string victim = f.dir.file("victim");
        if (k.existing != 0)
            writeFile(f.p, "v=old\n");
        EXPECT_TRUE(k.existing == 0 || chmod(f.p.c_str(), k.existing) == 0);
        if (k.victim != nullptr && *k.victim != '\0')
            writeFile(victim, k.victim);
        EXPECT_TRUE(k.victim == nullptr || symlink(victim.c_str(), f.tmp.c_str()) == 0);
        kutest::ScopedPlatformHooks hooks;
        std::vector<mode_t> whileWritten;
        hooks->fileWrite = [&](kuFile *file, const void *buffer, size_t n) {
            whileWritten.push_back(modeOf(f.tmp, false));
            return real::fileWrite(file, buffer, n);
        };
        mode_t old = umask(k.umask);
        EXPECT_EQ(1, saveValue(f.p, "new"));
        umask(old);
        EXPECT_EQ(S_IFREG | k.expected, modeOf(f.p, false));
        EXPECT_EQ(std::vector<mode_t>{S_IFREG | 0600}, whileWritten);
        EXPECT_EQ(k.victim != nullptr ? k.victim : "", readFile(victim));
        EXPECT_FALSE(exists(f.tmp));
    }
}

// Run as root, a save gives the new file the old one's owner and group.
TEST(ConfigFileSafety, SaveKeepsTheOwner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    Files f;
    writeFile(f.p, "v=old\n");
    ASSERT_EQ(0, chown(f.p.c_str(), 65534, 65534));
    EXPECT_EQ(1, saveValue(f.p, "new"));
    struct stat st;
    ASSERT_EQ(0, stat(f.p.c_str(), &st));
    EXPECT_EQ(65534u * 2, st.st_uid + st.st_gid);
}

// A link at P is followed: it stays, and its target is saved and repaired
// through companions beside the target.
TEST(ConfigFileSafety, LinkAtThePathIsFollowed)
{
    Files f;
    std::string real = f.dir.file("sub/real.ini"), fresh = f.dir.file("sub/new.ini");
    ASSERT_EQ(0, mkdir(f.dir.file("sub").c_str(), 0700));
    writeFile(real, "v=old\n");
    // Links: to the file, to a file not yet there (the save creates it),
    // and to themselves (nothing is saved, and the log says why).
    for (auto [target, saved] : {std::make_pair("sub/real.ini", real), {fresh.c_str(), fresh},
                                 {"user.ini", std::string()}}) {
        SCOPED_TRACE(target);
        unlink(f.p.c_str());
        ASSERT_EQ(0, symlink(target, f.p.c_str()));
        kutest::LogCapture log;
        EXPECT_EQ(!saved.empty(), saveValue(f.p, "new"));
        EXPECT_EQ(saved.empty() ? "" : "v=new\n", readFile(saved));
        EXPECT_TRUE(S_ISLNK(modeOf(f.p, false)));
        bool looped = log.text().find("Too many levels of symbolic links") != std::string::npos;
        EXPECT_EQ(saved.empty(), looped);
    }
    // An interrupted save of the target is repaired through the link.
    ASSERT_EQ(0, unlink(f.p.c_str()));
    ASSERT_EQ(0, symlink("sub/real.ini", f.p.c_str()));
    writeFile(real + ".ok", "v=ok\n");
    writeFile(real + ".tmp", "v=partial");
    EXPECT_EQ("ok", loadValue(f.p));
    EXPECT_EQ("v=ok\n", readFile(real));
    EXPECT_FALSE(exists(real + ".ok") || exists(real + ".tmp") || exists(f.tmp) || exists(f.ok));
}

// A repair, a load and a save touch the files only while they hold the lock
// on "P.lock" (another handle cannot take it): a program starting up never
// meets a save half done for an interrupted one, nor loads one mid-way.
TEST(ConfigFileSafety, FilesChangeOnlyUnderTheLock)
{
    Files f;
    f.leave("v=old\n", "v=new\n", "v=partial");
    std::vector<bool> locked; // at each read and rename
    auto probe = [&] {
        kuFile *other = nullptr;
        bool taken = real::fileOpen((f.p + ".lock").c_str(), KUFILE_READ, 0, &other) == 0 &&
                     real::fileLock(other, KUFILE_LOCK_TRY) != 0;
        if (other != nullptr)
            real::fileClose(other);
        locked.push_back(taken);
    };
    kutest::ScopedPlatformHooks hooks;
    hooks->fileRead = [&](auto... arguments) {
        probe();
        return real::fileRead(arguments...);
    };
    hooks->fileRename = [&](auto... arguments) {
        probe();
        return real::fileRename(arguments...);
    };
    EXPECT_EQ("new", loadValue(f.p));
    EXPECT_EQ(1, saveValue(f.p, "x"));
    EXPECT_GE(locked.size(), 5u);
    EXPECT_EQ(std::vector<bool>(locked.size(), true), locked);
}

// A writable file that is there but cannot be read loads as empty and is
// never saved over: Save fails and logs why. A directory at P fails so for
// root too; a FIFO nobody writes would block the load for ever; a file
// without read permission is tried as user nobody when the test runs as root.
// Checked in a child (alarm against the FIFO, user nobody for root).
TEST(ConfigFileSafety, UnreadableFileIsNeverSavedOver)
{
    Files f;
    std::string dir = f.dir.file("dir"), fifo = f.dir.file("fifo"), unreadable = f.p;
    ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    writeFile(unreadable, "v=old\n");
    ASSERT_EQ(0, chmod(unreadable.c_str(), 0));
    ASSERT_EQ(0, chmod(f.dir.path().c_str(), 0777)); // nobody could replace the file
    for (auto [p, why, asNobody] : {std::make_tuple(dir, "Is a directory", false),
                                    {fifo, "not a regular file", false},
                                    {unreadable, "Permission denied", geteuid() == 0}}) {
        SCOPED_TRACE(p);
        kutest::ChildResult child = kutest::runInChild([&, p = p, why = why, nobody = asNobody] {
            alarm(20);
            if (nobody && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(77);
            kutest::LogCapture log;
            EXPECT_EQ("-", loadValue(p));
            EXPECT_EQ(0, saveValue(p, "new"));
            if (!nobody) // nobody may not write the log
                expectRecords(log.lines(),
                              {"Cannot load config file '" + p + "': " + why,
                               "Cannot load config file '" + p + "': " + why,
                               "Cannot save file '" + p + "': it exists but could not be read"});
            _exit(::testing::Test::HasFailure() ? 1 : 0);
        });
        if (child.exitStatus == 77)
            GTEST_SKIP() << "cannot become user nobody";
        EXPECT_EQ(0, child.exitStatus) << child.out;
    }
    EXPECT_TRUE(S_ISDIR(modeOf(dir)) && S_ISFIFO(modeOf(fifo)));
    chmod(unreadable.c_str(), 0600);
    EXPECT_EQ("v=old\n", readFile(unreadable));
}

TEST(ConfigFileRecovery, InterruptedSavesAndFailures)
{
    Files f;
    kutest::ScopedPlatformHooks hooks;
    std::string refuseRemove, refuseRename; // the paths whose removal or renaming fails
    bool refuseWrites = false;
    // Refused as the system refuses, with errno telling why.
    auto refuse = [](int error) {
        errno = error;
        return -1;
    };
    hooks->fileRemove = [&](const char *p) {
        return p == refuseRemove ? refuse(EACCES) : real::fileRemove(p);
    };
    hooks->fileRename = [&](const char *from, const char *to) {
        return from == refuseRename ? refuse(EXDEV) : real::fileRename(from, to);
    };
    hooks->fileWrite = [&](kuFile *file, const void *buffer, size_t n) {
        return refuseWrites ? refuse(ENOSPC) : real::fileWrite(file, buffer, n);
    };
    // Each record ends with the system's reason.
    const std::string denied = "': Permission denied", cross = "': Invalid cross-device link";
    const std::string notRemoved = "Cannot save file: Was not able to remove previous valid file '";
    // A creation repairs P and ".ok" beside a ".tmp"; a save writes "new"
    // over P with the given ".ok" beside it.
    struct {
        bool save, failWrites;
        const char *p, *ok;
        std::string remove, rename;
        const char *loaded; // by the repair and by the next creation
        std::vector<std::string> records;
    } cases[] = {
        {false, false, "v=old\n", "v=new\n", "", "", "new new", {}},
        {false, false, "v=old\n", nullptr, "", "", "old old", {}},
        {false, false, nullptr, "v=new\n", "", "", "new new", {}}, // killed after removing P
        {false, false, "v=old\n", "v=new\n", f.tmp, "", "new new",
         {"Cannot remove temporary file '" + f.tmp + denied}},
        {false, false, "v=old\n", "v=new\n", f.p, "", "old new",
         {"Cannot remove previous valid file '" + f.p + "', aborting commit: Permission denied"}},
        // P is gone and ".ok" could not take its place: the complete save in
        // ".ok" is loaded rather than nothing.
        {false, false, "v=old\n", "v=new\n", "", f.ok, "new new",
         {"Cannot commit file '" + f.ok + cross}},
        // While P is missing, the complete save in ".ok" gives the new one
        // its attributes.
        {true, false, nullptr, "v=ok\n", "", "", "new", {}},
        // A short ".tmp" is not committed.
        {true, true, "v=old\n", nullptr, "", "", "old",
         {"Cannot save file '" + f.tmp + "': No space left on device"}},
        {true, false, "v=old\n", nullptr, "", f.tmp, "old",
         {"Cannot save file: cannot rename temporary file '" + f.tmp + cross}},
        // A stale ".ok" that cannot be removed, then each rename fails.
        {true, false, "v=old\n", "v=stale\n", f.ok, f.tmp, "stale",
         {"Cannot save file: cannot rename temporary file '" + f.tmp + cross,
          notRemoved + f.ok + denied}},
        {true, false, "v=old\n", "v=stale\n", f.ok, f.ok, "new",
         {"Cannot save file: cannot commit file '" + f.ok + cross, notRemoved + f.p + denied}},
    };
    for (auto &k : cases) {
        SCOPED_TRACE("case " + std::to_string(&k - cases));
        f.leave(k.p, nullptr, nullptr);
        Config saving("", k.save ? f.p : "");
        kuConfigFile_SetString(saving, nullptr, "v", "new");
        f.leave(k.p, k.ok, k.save ? nullptr : "v=partial");
        refuseRemove = k.remove;
        refuseRename = k.rename;
        refuseWrites = k.failWrites;
        kutest::LogCapture log;
        EXPECT_EQ(k.save && k.records.empty(), kuConfigFile_Save(saving));
        std::string first = k.save ? "" : loadValue(f.p) + " ";
        std::vector<std::string> lines = log.lines();
        EXPECT_FALSE(k.failWrites && exists(f.tmp)); // a short ".tmp" is removed
        refuseRemove = refuseRename = "";
        refuseWrites = false;
        std::string last = loadValue(f.p);
        EXPECT_EQ(k.loaded, first + last);
        EXPECT_EQ("v=" + last + "\n", readFile(f.p));
        EXPECT_FALSE(exists(f.ok) || exists(f.tmp));
        expectRecords(lines, k.records);
    }
}

// Generations of a configuration: every value names its generation, so a
// file mixed from two saves, cut short or empty is told from a whole one.
std::string valueOf(int generation, int s, int k)
{
    return "g" + std::to_string(generation) + " \"" + std::to_string(s) + "\" #;\\ " +
           std::string((size_t)(generation * 7 + s * 3 + k) % 40, 'x');
}

// Sets generation set, or (set -1) returns the generation c holds
// completely, or -1.
int generation(kuConfigFile *c, int set = -1)
{
    if (set >= 0)
        kuConfigFile_SetInt32(c, "meta", "gen", set);
    int g = kuConfigFile_GetInt32(c, "meta", "gen", -1);
    for (int s = 0; s < 4; s++)
        for (int k = 0; k < 6; k++) {
            std::string sn = "s" + std::to_string(s);
            std::string kn = "k" + std::to_string(k);
            if (set >= 0)
                kuConfigFile_SetString(c, sn.c_str(), kn.c_str(), valueOf(g, s, k).c_str());
            else if (kuConfigFile_GetString(c, sn.c_str(), kn.c_str(), "") != valueOf(g, s, k))
                return -1;
        }
    return g;
}

int loadGeneration(const std::string &path) { return generation(Config("", path)); }

// What the saver, the reader and the test share across their processes.
struct Shared {
    std::atomic<int> ready, stop, lastSaved, loads, lost;
};

// A child saves generation after generation and is killed at a random moment,
// round after round, while another process keeps creating configurations of
// the same file, as a program starting up while another saves. After each
// kill a creation loads the last generation saved or the one being saved,
// whole; the reader never loads less than the last generation saved before
// it began (nor a partial or empty file).
TEST(ConfigFileCrash, KilledSaverAndConcurrentReader)
{
#if defined(__arm__)
    const int rounds = 20; // under an emulator: fewer rounds
#else
    const int rounds = 60;
#endif
    Files f;
    // Kill within the time of about two saves, so that kills land in every
    // step of a save and between saves.
    auto start = std::chrono::steady_clock::now();
    Config c("", f.p);
    for (int g = 1; g <= 3; g++) {
        generation(c, g);
        ASSERT_EQ(1, kuConfigFile_Save(c));
    }
    std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    unsigned maxDelayMicroseconds = 1000 + (unsigned)(took.count() * 2 / 3);
    auto *shared = (Shared *)mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                                  MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, (void *)shared);
    new (shared) Shared{{0}, {0}, {3}, {0}, {0}};
    std::mt19937 rng(20240601);
    int saves = 0;
    pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL); // should an assertion end the test
        for (; !shared->stop; shared->loads++) {
            int floor = shared->lastSaved;
            shared->lost += loadGeneration(f.p) < floor;
        }
        _exit(0);
    }
    for (int round = 0; round < rounds; round++) {
        shared->ready = 0;
        int before = shared->lastSaved;
        pid_t saver = fork();
        ASSERT_GE(saver, 0);
        if (saver == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            kuConfigFile *mine = kuConfigFile_New(nullptr, f.p.c_str());
            shared->ready = 1; // the kill is timed from here, not from the fork
            for (int g = generation(mine) + 1;; g++) {
                generation(mine, g);
                if (kuConfigFile_Save(mine) == 1)
                    shared->lastSaved = g;
            }
        }
        while (!shared->ready)
            std::this_thread::yield();
        usleep(rng() % maxDelayMicroseconds);
        kill(saver, SIGKILL);
        int status = 0;
        waitpid(saver, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        int last = shared->lastSaved;
        saves += last - before;
        // A loaded machine saves slower than the measured saves: let the
        // saver run longer until it gets saves done.
        if (saves == 0 && maxDelayMicroseconds < 4000000)
            maxDelayMicroseconds *= 2;
        int loaded = loadGeneration(f.p);
        ASSERT_TRUE(loaded == last || loaded == last + 1)
            << "round " << round << ": loaded " << loaded << ", last saved " << last;
        shared->lastSaved = loaded;
    }
    shared->stop = 1;
    waitpid(reader, nullptr, 0);
    EXPECT_EQ(0, shared->lost.load()) << "of " << shared->loads.load() << " loads";
    EXPECT_GT(shared->loads.load(), 0);
    EXPECT_GT(saves, 0) << "the saver never got to save";
    munmap(shared, sizeof(Shared));
}

} // namespace
