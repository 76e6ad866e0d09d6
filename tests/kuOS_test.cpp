// The POSIX platform layer's own behaviour: what the library's suites do not
// reach (flags, modes, error codes, flushing).
#include <platform/kuOS.h>

#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

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
std::string taken(char *text)
{
    std::string s = text != nullptr ? text : "(null)";
    free(text);
    return s;
}

// Whether path was flushed since the last call.
bool synced(const std::string &path)
{
    char real[PATH_MAX];
    std::string want = realpath(path.c_str(), real) != nullptr ? real : path;
    bool found = std::find(gSynced.begin(), gSynced.end(), want) != gSynced.end();
    gSynced.clear();
    return found;
}
} // namespace

// (Modes of created files, owners and links at a file being created: the
// configuration file's safety suite, through this layer.)
TEST(kuOSFile, FlagsDurabilityInfoLocksAndLargeFiles)
{
    kutest::TempDir dir;
    struct stat st;
    std::string path = dir.file("data.bin"), moved = dir.file("moved.bin"), link = dir.file("l");
    kuFile *f = reinterpret_cast<kuFile *>(1);
    EXPECT_EQ(-1, kuFile_Open(path.c_str(), 1, 1, &f)); // reading needs an existing file
    EXPECT_EQ(nullptr, f);
    ASSERT_EQ(0, kuFile_Open(path.c_str(), 50, 3, &f));
    EXPECT_EQ(5, kuFile_Write(f, "hello", 5));
    EXPECT_EQ(0, kuFile_Close(f));
    EXPECT_TRUE(synced(path)) << "a written file is flushed on close";

    ASSERT_EQ(0, kuFile_Open(path.c_str(), 1, 1, &f));
    char buffer[16];
    EXPECT_EQ(5, kuFile_Read(f, buffer, sizeof buffer));
    EXPECT_EQ(-1, kuFile_Write(f, "x", 1)); // opened for reading only
    EXPECT_EQ(0, kuFile_Close(f));
    EXPECT_FALSE(synced(path)) << "reading does not flush";
    EXPECT_EQ(0, kuFile_Rename(path.c_str(), moved.c_str()));
    EXPECT_TRUE(synced(dir.path())) << "rename flushes the directory entry";
    EXPECT_EQ(0, kuFile_Remove(moved.c_str()));
    EXPECT_TRUE(synced(dir.path()));
    EXPECT_EQ(-1, kuFile_Remove(moved.c_str()));
    EXPECT_EQ(-1, kuFile_Rename(moved.c_str(), path.c_str()));
    EXPECT_EQ(-1, kuFile_Open(nullptr, 1, 1, &f));
    EXPECT_EQ(-1, kuFile_Open(path.c_str(), 0, 0, &f));
    EXPECT_EQ(-1, kuFile_Close(nullptr));

    // A link described itself or followed; missing is ENOENT.
    ASSERT_EQ(0, symlink("victim", link.c_str()));
    EXPECT_EQ(-1, kuFile_Open(link.c_str(), KUFILE_READ | KUFILE_CREATE | KUFILE_NOFOLLOW, 3, &f));
    EXPECT_EQ(ELOOP, errno);
    kuFileInfo info{};
    EXPECT_EQ(0, kuFile_GetInfo(link.c_str(), KUFILE_INFO_NOFOLLOW, &info));
    EXPECT_EQ((uint32_t)KUFILE_TYPE_LINK, info.type);
    EXPECT_EQ(-1, kuFile_GetInfo(link.c_str(), 0, &info));
    EXPECT_EQ(ENOENT, errno);
    EXPECT_EQ(-1, kuFile_GetInfo(nullptr, 0, &info));
    EXPECT_EQ(-1, kuFile_SetInfo(nullptr, &info));

    // Locks exclude other handles.
    kuFile *a = nullptr, *b = nullptr;
    const uint32_t tryShared = KUFILE_LOCK_TRY | KUFILE_LOCK_SHARED;
    ASSERT_EQ(0, kuFile_Open(path.c_str(), KUFILE_READ | KUFILE_CREATE, 3, &a));
    ASSERT_EQ(0, kuFile_Open(path.c_str(), KUFILE_READ, 1, &b));
    EXPECT_EQ(0, kuFile_Lock(a, 0));
    EXPECT_EQ(-1, kuFile_Lock(b, tryShared));
    EXPECT_EQ(EWOULDBLOCK, errno);
    EXPECT_EQ(0, kuFile_Close(a)); // closing releases it
    EXPECT_EQ(0, kuFile_Lock(b, tryShared));
    EXPECT_EQ(0, kuFile_Close(b));
    EXPECT_EQ(-1, kuFile_Lock(nullptr, 0));

    // Media files pass 4 GiB; on 32-bit hosts that needs 64-bit file offsets.
    kutest::writeFile(path, "head");
    const off_t size = (off_t)1 << 32 | 8;
    static_assert(sizeof(off_t) == 8, "the tests build with 64-bit file offsets");
    if (truncate(path.c_str(), size) != 0)
        GTEST_SKIP() << "no sparse files here: " << strerror(errno);
    EXPECT_NE(0, kuFile_Exists(path.c_str()));
    ASSERT_EQ(0, kuFile_Open(path.c_str(), KUFILE_WRITE | KUFILE_APPEND, 0, &f));
    EXPECT_EQ(4, kuFile_Write(f, "tail", 4));
    EXPECT_EQ(0, kuFile_Close(f));
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(size + 4, st.st_size);
}

TEST(kuOSPath, NormalizeIsLexicalResolveLinkFollowsLinks)
{
    char cwd[PATH_MAX];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    const uint32_t rel = KUPATH_KEEP_RELATIVE;
    const struct { const char *in; uint32_t flags; const char *base; std::string want; } cases[] = {
        {"/a/./b/../c/", 0, nullptr, "/a/c"}, {"//..//.", 0, nullptr, "/"},
        {"a//..", rel, nullptr, "."},         {"a/../../x", rel, "", "../x"},
        {"dir/./f.ini", 0, "/base", "/base/dir/f.ini"}, {"", 0, nullptr, "(null)"},
        {"f.ini", 0, nullptr, std::string(cwd) + "/f.ini"}, {nullptr, 0, nullptr, "(null)"},
    };
    for (auto &c : cases)
        EXPECT_EQ(c.want, taken(kuPath_Normalize(c.in, c.flags, 0, c.base))) << c.in;
    EXPECT_NE(0, kuPath_IsAbsolute("/x"));
    EXPECT_EQ(0, kuPath_IsAbsolute("x") + kuPath_IsAbsolute(nullptr));

    // Links to links, relative and absolute (dangling links, loops and paths
    // without links: the configuration file's suite).
    kutest::TempDir dir;
    const std::string d = dir.path(), real = d + "/sub/real";
    ASSERT_EQ(0, mkdir((d + "/sub").c_str(), 0700));
    const std::pair<std::string, std::string> links[] = {
        {"rel", "sub/real"}, {"chain", "rel"}, {"abs", real}, {"sub/back", "./../chain"},
    };
    for (auto &l : links)
        ASSERT_EQ(0, symlink(l.second.c_str(), (d + "/" + l.first).c_str())) << l.first;
    const std::pair<std::string, std::string> resolved[] = {
        {d + "/chain", real}, {d + "//sub/back", real}, {d + "/abs", real}, {"", "(null)"},
    };
    for (auto &c : resolved)
        EXPECT_EQ(c.second, taken(kuPath_ResolveLink(c.first.c_str()))) << c.first;
}

// The log, environment, locale, random numbers, mutexes and sockets: the
// format of records is every suite's; here their levels, line feeds and length.
TEST(kuOSSystem, LogEnvironmentLocaleRandomMutexAndSockets)
{
    kutest::LogCapture log;
    _kuLog_Level.level = 2;
    EXPECT_EQ(nullptr, kuLog_Begin(2, 23));
    // A text's own line feed is not doubled; a long text is cut, not overrun.
    for (const std::string &part : {std::string("value\n"), std::string(10000, 'x')}) {
        kuLogRecord *r = kuLog_Begin(1, 23);
        ASSERT_NE(nullptr, r);
        kuLog_Append_F("%s", part.c_str());
        kuLog_End(r);
    }
    kuLog_Append_F("ignored: no open record");
    kuLog_End(nullptr);
    std::string text = log.text();
    EXPECT_EQ(0u, text.find("KU 1 23 ?:0: value\nKU 1 23 ?:0: xxx")); // no source given
    EXPECT_LT(text.size(), 4200u);
    EXPECT_EQ('\n', text.back());

    setenv("KU_OS_TEST_VALUE", "abc", 1);
    EXPECT_EQ("abc", taken(kuPlatform_getenv("KU_OS_TEST_VALUE")));
    EXPECT_EQ(nullptr, kuPlatform_getenv("KU_OS_TEST_UNSET_NAME"));
    char tag[16];
    setenv("LC_ALL", "de_DE.UTF-8@euro", 1);
    EXPECT_STREQ("de-DE", kuLocale_Get(tag, sizeof tag));
    EXPECT_EQ(nullptr, kuLocale_Get(tag, 5));
    setenv("LC_ALL", "C", 1);
    EXPECT_STREQ("en-US", kuLocale_Get(tag, sizeof tag));
    unsetenv("LC_ALL");

    kuOSRand_SetSeed(0);
    uint32_t a = kuOSRand_Rand();
    EXPECT_NE(a, kuOSRand_Rand()); // zero is not a stuck state
    kuOSRand_SetSeed(0);
    EXPECT_EQ(a, kuOSRand_Rand());

    kuMutex *m = kuMutex_New();
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(0, kuMutex_Lock(m) + kuMutex_Lock(m)); // recursive
    EXPECT_EQ(0, kuMutex_Unlock(m) + kuMutex_Unlock(m));
    kuMutex_Delete(m);
    EXPECT_EQ(-1, kuMutex_Lock(nullptr));
    uint8_t mac[6];
    EXPECT_EQ(-1, kuMACAddress_Get(-1, mac));

    // (Dotted addresses parsed: the console's suite; a loopback address mapped
    // to 127.0.0.1: the socket policy's suite.)
    EXPECT_EQ(0u, kuSocketGetAddressFromDotForm("10.0.0") + kuSocketGetAddressFromDotForm(nullptr));
    EXPECT_EQ(0x08080808u, kuSocketMapLocalIPAddressToLoopBack(nullptr, 0x08080808u));
    uint32_t *list = nullptr;
    int n = kuSocketGetIPAddressList(nullptr, &list, KUOS_IPLIST_WITH_LOOPBACK);
    EXPECT_NE(list + n, std::find(list, list + n, 0x7F000001u));
    free(list);
    ASSERT_EQ(1, kuSocketGetLocalHostIPAddressList(nullptr, &list, 0));
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
    // (Binding, accepting and a close waking a blocked accept: the console's
    // suite; QoS objects: the socket policy's.)
}
