// The POSIX platform layer's own behaviour.
#include <platform/kuOS.h>

#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <string>
#include <vector>

// Records which paths were flushed to disk, then flushes for real.
static std::vector<std::string> gSynced;
extern "C" int fsync(int fd)
{
    char link[64], target[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof target - 1);
    if (n > 0)
        gSynced.push_back(std::string(target, (size_t)n));
    static auto real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    return real(fd);
}

namespace {
std::string normalize(const char *path, uint32_t flags, const char *base)
{
    char *n = kuPath_Normalize(path, flags, 0, base);
    std::string s = n != nullptr ? n : "(null)";
    free(n);
    return s;
}
bool synced(const std::string &path)
{
    char real[PATH_MAX];
    std::string want = realpath(path.c_str(), real) != nullptr ? real : path;
    for (const std::string &s : gSynced)
        if (s == want)
            return true;
    return false;
}
} // namespace

TEST(kuOSLog, LineFormatLevelsNewlinesAndLongTexts)
{
    kutest::LogCapture log;
    _kuLog_Level.level = 2;
    EXPECT_NE(0, kuLog_WillLog(1, 23));
    EXPECT_EQ(0, kuLog_WillLog(2, 23));
    EXPECT_EQ(nullptr, kuLog_Begin(2, 23));

    kuLogRecord *r = kuLog_Begin(1, 23);
    ASSERT_NE(nullptr, r);
    r->source = "kuvanaTools/kuINIFile";
    r->line = 77;
    kuLog_Append_F("value %d", 5);
    kuLog_Append_F(" and %s\n", "more");
    kuLog_End(r);

    r = kuLog_Begin(1, 99);
    r->source = "src";
    r->line = 1;
    kuLog_Append_F("no newline");
    kuLog_End(r);
    kuLog_Append_F("ignored: no open record");
    kuLog_End(nullptr);

    EXPECT_EQ("KU 1 23 kuvanaTools/kuINIFile:77: value 5 and more\n"
              "KU 1 99 src:1: no newline\n",
              log.text());

    // A long text is cut, not overrun.
    r = kuLog_Begin(1, 0);
    r->source = "s";
    std::string big(10000, 'x');
    kuLog_Append_F("%s", big.c_str());
    kuLog_Append_F("%s", big.c_str());
    kuLog_End(r);
    std::string text = log.text();
    EXPECT_LT(text.size(), 4200u);
    EXPECT_EQ('\n', text.back());
}

TEST(kuOSFile, FlagsModesAndDurability)
{
    kutest::TempDir dir;
    std::string path = dir.file("data.bin");
    kuFile *f = reinterpret_cast<kuFile *>(1);
    EXPECT_EQ(-1, kuFile_Open(path.c_str(), 1, 1, &f)); // reading needs an existing file
    EXPECT_EQ(nullptr, f);
    EXPECT_EQ(0, kuFile_Exists(path.c_str()));

    mode_t old = umask(022);
    gSynced.clear();
    ASSERT_EQ(0, kuFile_Open(path.c_str(), 50, 3, &f));
    EXPECT_EQ(5, kuFile_Write(f, "hello", 5));
    EXPECT_EQ(0, kuFile_Close(f));
    umask(old);
    EXPECT_TRUE(synced(path)) << "a written file is flushed on close";
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777);

    // Truncating open replaces the content.
    ASSERT_EQ(0, kuFile_Open(path.c_str(), 50, 3, &f));
    EXPECT_EQ(2, kuFile_Write(f, "ok", 2));
    EXPECT_EQ(0, kuFile_Close(f));

    ASSERT_EQ(0, kuFile_Open(path.c_str(), 1, 1, &f));
    char buffer[16];
    EXPECT_EQ(2, kuFile_Read(f, buffer, sizeof buffer));
    EXPECT_EQ(0, kuFile_Read(f, buffer, sizeof buffer));
    EXPECT_EQ(-1, kuFile_Write(f, "x", 1)); // opened for reading only
    gSynced.clear();
    EXPECT_EQ(0, kuFile_Close(f));
    EXPECT_FALSE(synced(path)) << "reading does not flush";

    gSynced.clear();
    std::string moved = dir.file("moved.bin");
    EXPECT_EQ(0, kuFile_Rename(path.c_str(), moved.c_str()));
    EXPECT_TRUE(synced(dir.path())) << "rename flushes the directory entry";
    EXPECT_EQ(0, kuFile_Exists(path.c_str()));
    gSynced.clear();
    EXPECT_EQ(0, kuFile_Remove(moved.c_str()));
    EXPECT_TRUE(synced(dir.path()));
    EXPECT_EQ(-1, kuFile_Remove(moved.c_str()));
    EXPECT_EQ(-1, kuFile_Rename(moved.c_str(), path.c_str()));

    EXPECT_EQ(-1, kuFile_Open(nullptr, 1, 1, &f));
    EXPECT_EQ(-1, kuFile_Open(path.c_str(), 0, 0, &f));
    EXPECT_EQ(-1, kuFile_Close(nullptr));
}

// Media files pass 4 GiB; on 32-bit hosts that needs 64-bit file offsets.
TEST(kuOSFile, SparseFilePastFourGiB)
{
    kutest::TempDir dir;
    std::string path = dir.file("large.bin");
    kuFile *f = nullptr;
    ASSERT_EQ(0, kuFile_Open(path.c_str(), 50, 3, &f));
    EXPECT_EQ(4, kuFile_Write(f, "head", 4));
    EXPECT_EQ(0, kuFile_Close(f));
    const off_t size = (off_t)1 << 32 | 8;
    static_assert(sizeof(off_t) == 8, "the tests build with 64-bit file offsets");
    if (truncate(path.c_str(), size) != 0)
        GTEST_SKIP() << "no sparse files here: " << strerror(errno);

    EXPECT_NE(0, kuFile_Exists(path.c_str()));
    ASSERT_EQ(0, kuFile_Open(path.c_str(), KUFILE_WRITE | KUFILE_APPEND, 0, &f));
    EXPECT_EQ(4, kuFile_Write(f, "tail", 4));
    EXPECT_EQ(0, kuFile_Close(f));
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(size + 4, st.st_size);

    ASSERT_EQ(0, kuFile_Open(path.c_str(), KUFILE_READ, 0, &f));
    char buffer[8] = {};
    EXPECT_EQ(8, kuFile_Read(f, buffer, sizeof buffer));
    EXPECT_EQ(0, memcmp(buffer, "head\0\0\0\0", 8));
    EXPECT_EQ(0, kuFile_Close(f));
}

TEST(kuOSPath, NormalizeIsLexical)
{
    EXPECT_EQ("/a/c", normalize("/a/./b/../c/", 0, nullptr));
    EXPECT_EQ("/", normalize("//..//.", 0, nullptr));
    EXPECT_EQ("/x", normalize("/../x", 0, nullptr));
    EXPECT_EQ("a/b", normalize("a//b/", KUPATH_KEEP_RELATIVE, nullptr));
    EXPECT_EQ("../x", normalize("a/../../x", KUPATH_KEEP_RELATIVE, ""));
    EXPECT_EQ("../..", normalize("../..", KUPATH_KEEP_RELATIVE, nullptr));
    EXPECT_EQ(".", normalize("a/..", KUPATH_KEEP_RELATIVE, nullptr));
    EXPECT_EQ("/base/dir/f.ini", normalize("dir/./f.ini", 0, "/base"));
    char cwd[PATH_MAX];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    EXPECT_EQ(std::string(cwd) + "/f.ini", normalize("f.ini", 0, nullptr));
    EXPECT_EQ("(null)", normalize("", 0, nullptr));
    EXPECT_EQ("(null)", normalize(nullptr, 0, nullptr));
    EXPECT_NE(0, kuPath_IsAbsolute("/x"));
    EXPECT_EQ(0, kuPath_IsAbsolute("x"));
    EXPECT_EQ(0, kuPath_IsAbsolute(nullptr));
}

TEST(kuOSSystem, EnvironmentLocaleRandomMutex)
{
    setenv("KU_OS_TEST_VALUE", "abc", 1);
    char *v = kuPlatform_getenv("KU_OS_TEST_VALUE");
    EXPECT_STREQ("abc", v);
    free(v);
    EXPECT_EQ(nullptr, kuPlatform_getenv("KU_OS_TEST_UNSET_NAME"));

    char tag[16];
    setenv("LC_ALL", "de_DE.UTF-8@euro", 1);
    EXPECT_STREQ("de-DE", kuLocale_Get(tag, sizeof tag));
    EXPECT_EQ(nullptr, kuLocale_Get(tag, 5));
    setenv("LC_ALL", "C", 1);
    EXPECT_STREQ("en-US", kuLocale_Get(tag, sizeof tag));
    unsetenv("LC_ALL");

    kuOSRand_SetSeed(1234);
    uint32_t a = kuOSRand_Rand(), b = kuOSRand_Rand();
    kuOSRand_SetSeed(1234);
    EXPECT_EQ(a, kuOSRand_Rand());
    EXPECT_EQ(b, kuOSRand_Rand());
    kuOSRand_SetSeed(0);
    EXPECT_NE(kuOSRand_Rand(), kuOSRand_Rand()); // zero is not a stuck state

    kuMutex *m = kuMutex_New();
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(0, kuMutex_Lock(m));
    EXPECT_EQ(0, kuMutex_Lock(m)); // recursive
    EXPECT_EQ(0, kuMutex_Unlock(m));
    EXPECT_EQ(0, kuMutex_Unlock(m));
    kuMutex_Delete(m);
    EXPECT_EQ(-1, kuMutex_Lock(nullptr));

    uint8_t mac[6];
    EXPECT_EQ(-1, kuMACAddress_Get(-1, mac));
}

TEST(kuOSSocket, AddressesLoopbackAndCloseWakesAccept)
{
    EXPECT_EQ(0x0A000002u, kuSocketGetAddressFromDotForm("10.0.0.2"));
    EXPECT_EQ(0u, kuSocketGetAddressFromDotForm("10.0.0"));
    EXPECT_EQ(0u, kuSocketGetAddressFromDotForm(nullptr));
    EXPECT_EQ(0x7F000001u, kuSocketGetAddressByName("127.0.0.1"));
    EXPECT_EQ(0x7F000001u, kuSocketMapLocalIPAddressToLoopBack(nullptr, 0x7F000001u));
    EXPECT_EQ(0x08080808u, kuSocketMapLocalIPAddressToLoopBack(nullptr, 0x08080808u));

    uint32_t *list = nullptr;
    int n = kuSocketGetIPAddressList(nullptr, &list, KUOS_IPLIST_WITH_LOOPBACK);
    bool loopback = false;
    for (int i = 0; i < n; i++)
        loopback = loopback || list[i] == 0x7F000001u;
    EXPECT_TRUE(loopback);
    free(list);
    n = kuSocketGetLocalHostIPAddressList(nullptr, &list, 0);
    ASSERT_EQ(1, n);
    EXPECT_EQ(0x7F000001u, list[0]);
    free(list);

    // the layer's socket types, whatever the system numbers them (MIPS swaps them)
    int32_t udp = kuSocketOpen_Debug(KUOS_AF_INET, KUOS_SOCK_DGRAM, KUOS_IPPROTO_UDP, "test");
    ASSERT_GE(udp, 0);
    int type = 0;
    socklen_t size = sizeof type;
    EXPECT_EQ(0, getsockopt(udp, SOL_SOCKET, SO_TYPE, &type, &size));
    EXPECT_EQ(SOCK_DGRAM, type);
    EXPECT_EQ(0, kuSocketClose_Debug(udp, "test"));
    int32_t server = kuSocketOpen_Debug(KUOS_AF_INET, KUOS_SOCK_STREAM, KUOS_IPPROTO_TCP, "test");
    ASSERT_GE(server, 0);
    EXPECT_EQ(0, kuSocketSetReuseAddress_Debug(server, 1, "test"));
    kuSocketAddressIPv4 address = {};
    address.family = KUOS_AF_INET;
    address.address = htonl(0x7F000001u);
    ASSERT_EQ(0, kuSocketBind_Debug(server, &address, sizeof address, "test"));
    ASSERT_EQ(0, kuSocketListen_Debug(server, 1, "test"));

    int32_t accepted = 0;
    std::thread waiter([&] { accepted = kuSocketAccept_Debug(server, nullptr, nullptr, "test"); });
    usleep(50 * 1000);
    EXPECT_EQ(0, kuSocketClose_Debug(server, "test"));
    waiter.join();
    EXPECT_EQ(-1, accepted);

    kuSocketQOS_Delete(kuSocketQOS_New(nullptr));
}

TEST(kuOSFile, ExclusiveCreateInfoAndPermissions)
{
    kutest::TempDir dir;
    std::string path = dir.file("f"), link = dir.file("link"), victim = dir.file("victim");
    ASSERT_EQ(0, symlink("victim", link.c_str()));
    kuFile *f = nullptr;
    const uint32_t exclusive = KUFILE_WRITE | KUFILE_CREATE | KUFILE_EXCLUSIVE | KUFILE_TRUNCATE;
    // An exclusive create never follows a link, even one to nothing.
    EXPECT_EQ(-1, kuFile_Open(link.c_str(), exclusive, 7, &f));
    EXPECT_EQ(0, kuFile_Exists(victim.c_str()));
    EXPECT_EQ(-1, kuFile_Open(link.c_str(), KUFILE_READ | KUFILE_CREATE | KUFILE_NOFOLLOW, 3, &f));
    EXPECT_EQ(ELOOP, errno);
    EXPECT_EQ(0, kuFile_Exists(victim.c_str()));

    mode_t old = umask(027);
    EXPECT_EQ(0640u, kuFile_GetCreationPermissions(3));
    EXPECT_EQ(0600u, kuFile_GetCreationPermissions(7));
    umask(022);
    EXPECT_EQ(0644u, kuFile_GetCreationPermissions(3));
    ASSERT_EQ(0, kuFile_Open(path.c_str(), exclusive, 7, &f));
    umask(old);
    kuFileInfo info{};
    ASSERT_EQ(0, kuFile_GetInfo(path.c_str(), 0, &info));
    EXPECT_EQ((uint32_t)KUFILE_TYPE_REGULAR, info.type);
    EXPECT_EQ(0600u, info.permissions);
    EXPECT_EQ((uint32_t)geteuid(), info.owner);
    EXPECT_EQ((uint32_t)getegid(), info.group);
    kuFileInfo wanted = {KUFILE_TYPE_REGULAR, 0640, 0xFFFFFFFFu, 0xFFFFFFFFu};
    EXPECT_EQ(0, kuFile_SetInfo(f, &wanted));
    EXPECT_EQ(0, kuFile_Close(f));
    ASSERT_EQ(0, kuFile_GetInfo(path.c_str(), 0, &info));
    EXPECT_EQ(0640u, info.permissions);
    EXPECT_EQ((uint32_t)geteuid(), info.owner);
    EXPECT_EQ(-1, kuFile_Open(path.c_str(), exclusive, 7, &f)); // exists

    // Types; a link described itself or followed; missing is ENOENT.
    EXPECT_EQ(0, kuFile_GetInfo(dir.path().c_str(), 0, &info));
    EXPECT_EQ((uint32_t)KUFILE_TYPE_DIRECTORY, info.type);
    EXPECT_EQ(0, kuFile_GetInfo(link.c_str(), KUFILE_INFO_NOFOLLOW, &info));
    EXPECT_EQ((uint32_t)KUFILE_TYPE_LINK, info.type);
    EXPECT_EQ(-1, kuFile_GetInfo(link.c_str(), 0, &info));
    EXPECT_EQ(ENOENT, errno);
    EXPECT_EQ(-1, kuFile_GetInfo(nullptr, 0, &info));
    EXPECT_EQ(-1, kuFile_SetInfo(nullptr, &wanted));
}

TEST(kuOSFile, LocksExcludeOtherHandles)
{
    kutest::TempDir dir;
    std::string path = dir.file("lock");
    kuFile *a = nullptr, *b = nullptr;
    ASSERT_EQ(0, kuFile_Open(path.c_str(), KUFILE_READ | KUFILE_CREATE, 3, &a));
    ASSERT_EQ(0, kuFile_Open(path.c_str(), KUFILE_READ, 1, &b));
    EXPECT_EQ(0, kuFile_Lock(a, 0));
    EXPECT_EQ(-1, kuFile_Lock(b, KUFILE_LOCK_TRY | KUFILE_LOCK_SHARED));
    EXPECT_EQ(EWOULDBLOCK, errno);
    EXPECT_EQ(0, kuFile_Close(a)); // closing releases it
    EXPECT_EQ(0, kuFile_Lock(b, KUFILE_LOCK_TRY | KUFILE_LOCK_SHARED));
    ASSERT_EQ(0, kuFile_Open(path.c_str(), KUFILE_READ, 1, &a));
    EXPECT_EQ(0, kuFile_Lock(a, KUFILE_LOCK_TRY | KUFILE_LOCK_SHARED));
    EXPECT_EQ(-1, kuFile_Lock(a, KUFILE_LOCK_TRY));
    EXPECT_EQ(0, kuFile_Close(b));
    EXPECT_EQ(0, kuFile_Lock(a, KUFILE_LOCK_TRY)); // shared becomes exclusive
    EXPECT_EQ(0, kuFile_Close(a));
    EXPECT_EQ(-1, kuFile_Lock(nullptr, 0));
}

TEST(kuOSPath, ResolveLinkFollowsTheLastComponent)
{
    kutest::TempDir dir;
    const std::string d = dir.path();
    ASSERT_EQ(0, mkdir((d + "/sub").c_str(), 0700));
    kutest::writeFile(d + "/sub/real", "x");
    const std::pair<const char *, const char *> links[] = {
        {"rel", "sub/real"},         {"chain", "rel"},   {"up", "sub/../sub/./real"},
        {"sub/back", "../chain"},     {"dangling", "sub/new"},
        {"loop1", "loop2"},           {"loop2", "loop1"},
    };
    for (auto &l : links)
        ASSERT_EQ(0, symlink(l.second, (d + "/" + l.first).c_str())) << l.first;
    ASSERT_EQ(0, symlink((d + "/sub/real").c_str(), (d + "/abs").c_str()));
    const std::pair<std::string, std::string> cases[] = {
        {d + "/sub/real", d + "/sub/real"}, {d + "/rel", d + "/sub/real"},
        {d + "/chain", d + "/sub/real"},    {d + "//up", d + "/sub/real"},
        {d + "/sub/back", d + "/sub/real"}, {d + "/abs", d + "/sub/real"},
        {d + "/dangling", d + "/sub/new"},  {d + "/missing", d + "/missing"},
        {d + "/loop1", "(null)"},           {"", "(null)"},
    };
    for (auto &c : cases) {
        char *resolved = kuPath_ResolveLink(c.first.c_str());
        EXPECT_EQ(c.second, resolved != nullptr ? resolved : "(null)") << c.first;
        free(resolved);
    }
    errno = 0;
    EXPECT_EQ(nullptr, kuPath_ResolveLink((d + "/loop2").c_str()));
    EXPECT_EQ(ELOOP, errno);
}
