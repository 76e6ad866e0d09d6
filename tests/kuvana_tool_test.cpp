// The kuvana tool end to end: the built binary is run with arguments and
// standard input, and its output and exit status are checked.
#include "support/Loopback.h"
#include "support/TestUtil.h"

#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuSHA1.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// The tool's path comes from the test's environment (KUVANA_TOOL), with the
// emulator that runs target binaries when cross-compiled (KUVANA_EMULATOR).
std::vector<std::string> toolCommand()
{
    std::vector<std::string> command;
    std::istringstream emulator(getenv("KUVANA_EMULATOR") ? getenv("KUVANA_EMULATOR") : "");
    for (std::string word; emulator >> word;)
        command.push_back(word);
    const char *tool = getenv("KUVANA_TOOL");
    command.push_back(tool ? tool : "kuvana");
    return command;
}

// Starts the tool with its standard streams on files (err may be out).
pid_t start(const std::vector<std::string> &args, const std::string &in, const std::string &out,
            const std::string &err)
{
    std::vector<std::string> words = toolCommand();
    words.insert(words.end(), args.begin(), args.end());
    pid_t child = fork();
    if (child == 0) {
        int outFile = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int errFile = err == out ? outFile : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(open(in.c_str(), O_RDONLY), 0);
        dup2(outFile, 1);
        dup2(errFile, 2);
        std::vector<char *> argv;
        for (std::string &w : words)
            argv.push_back(&w[0]);
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

// The exit status of a child, or -1 when it is still running after seconds.
int waitFor(pid_t child, int seconds)
{
    int status = 0;
    useconds_t pause = 100;
    for (long waited = 0; waited < seconds * 1000000L && waitpid(child, &status, WNOHANG) == 0;
         waited += pause, pause = std::min<useconds_t>(pause * 2, 20000))
        usleep(pause);
    if (waitpid(child, &status, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Result kuvana(const std::vector<std::string> &args, const std::string &input = "")
{
    kutest::TempDir dir;
    kutest::writeFile(dir.file("in"), input);
    pid_t child = start(args, dir.file("in"), dir.file("out"), dir.file("err"));
    Result r;
    r.status = waitFor(child, 10);
    r.out = kutest::readFile(dir.file("out"));
    r.err = kutest::readFile(dir.file("err"));
    return r;
}

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

#define EXPECT_RUN(result, expectedStatus, expectedOut)                                      \
    do {                                                                                     \
        Result r_ = (result);                                                                \
        EXPECT_EQ(expectedStatus, r_.status) << r_.err;                                      \
        EXPECT_EQ(expectedOut, r_.out) << r_.err;                                            \
    } while (0)

// Bad input: status 1 (or 2 for bad usage), nothing on standard output, and
// the offending text quoted on standard error.
#define EXPECT_REJECTS(result, expectedStatus, quoted)                                       \
    do {                                                                                     \
        Result r_ = (result);                                                                \
        EXPECT_EQ(expectedStatus, r_.status) << r_.out;                                      \
        EXPECT_EQ("", r_.out);                                                               \
        EXPECT_TRUE(contains(r_.err, "'" + std::string(quoted) + "'")) << r_.err;            \
    } while (0)

} // namespace

TEST(kuvanaTool, HelpUsageAndExitStatus)
{
    Result help = kuvana({"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_TRUE(contains(help.out, "  protocolinfo parse")) << help.out;
    EXPECT_EQ("", help.err);

    // Every command listed answers --help on standard output with status 0.
    std::regex line("^  ([a-z0-9-]+)( [a-z0-9-]+)? +");
    std::istringstream lines(help.out);
    int commands = 0;
    for (std::string l; std::getline(lines, l);) {
        std::smatch m;
        if (!std::regex_search(l, m, line))
            continue;
        std::vector<std::string> args{m[1]};
        if (m[2].matched)
            args.push_back(m[2].str().substr(1));
        args.push_back("--help");
        Result r = kuvana(args);
        EXPECT_EQ(0, r.status) << l;
        EXPECT_TRUE(contains(r.out, "usage: kuvana " + m[1].str())) << l << r.out;
        commands++;
    }
    EXPECT_GE(commands, 25);

    Result none = kuvana({});
    EXPECT_EQ(2, none.status);
    EXPECT_TRUE(contains(none.err, "usage: kuvana")) << none.err;
    EXPECT_REJECTS(kuvana({"frobnicate"}), 2, "frobnicate");
    EXPECT_REJECTS(kuvana({"time", "fortnight"}), 2, "fortnight");
    EXPECT_REJECTS(kuvana({"time", "duration", "--loud", "0:00:01"}), 2, "--loud");
    EXPECT_REJECTS(kuvana({"uuid", "--count"}), 2, "--count");
    EXPECT_REJECTS(kuvana({"uuid", "extra"}), 2, "extra");
    Result group = kuvana({"time"});
    EXPECT_EQ(2, group.status);
    EXPECT_TRUE(contains(group.err, "kuvana time duration")) << group.err;
    EXPECT_EQ(0, kuvana({"help", "time", "date"}).status);
    EXPECT_TRUE(contains(kuvana({"--version"}).out, "kuvana "));
}

TEST(kuvanaTool, TimeNotations)
{
    EXPECT_RUN(kuvana({"time", "duration", "1:02:03.500"}), 0,
               "3723.500 s (1 h 02 min 03.500 s)\n");
    EXPECT_RUN(kuvana({"time", "duration", "--json", "0:00:01.1/4"}), 0,
               "{\"seconds\":1,\"milliseconds\":250,\"warnings\":[]}\n");
    EXPECT_RUN(kuvana({"time", "clock", "1:23.5"}), 0, "83 s, fraction 5 (0:01:23)\n");
    EXPECT_RUN(kuvana({"time", "date", "2011-12-05T10:20:30.123-05:30"}), 0,
               "2011-12-05 10:20:30.123 -05:30\n");
    EXPECT_RUN(kuvana({"time", "fraction", "-1 1/2"}), 0, "-1.5 = -1 1/2\n");
    EXPECT_RUN(kuvana({"time", "fraction", "--json", "0.75"}), 0,
               "{\"value\":0.75,\"fraction\":\"3/4\",\"warnings\":[]}\n");

    EXPECT_REJECTS(kuvana({"time", "duration", "1:2:3"}), 2, "1:2:3");
    EXPECT_REJECTS(kuvana({"time", "clock", "1:60"}), 2, "1:60");
    EXPECT_REJECTS(kuvana({"time", "date", "2011-13-01"}), 2, "2011-13-01");
    EXPECT_REJECTS(kuvana({"time", "fraction", "1/0"}), 2, "1/0");
    EXPECT_REJECTS(kuvana({"time", "fraction", "--max-denominator", "x", "1"}), 2, "x");
    EXPECT_EQ(2, kuvana({"time", "date"}).status);
}

TEST(kuvanaTool, DigestsAndBase64)
{
    EXPECT_RUN(kuvana({"digest", "md5", "abc"}), 0, "900150983cd24fb0d6963f7d28e17f72\n");
    EXPECT_RUN(kuvana({"digest", "sha1"}, "abc"), 0,
               "a9993e364706816aba3e25717850c26c9cd0d89d\n");
    EXPECT_RUN(kuvana({"digest", "hmac-md5", "Jefe", "what do ya want for nothing?"}), 0,
               "750c783e6ab0b503eaa86e310a5db738\n");
    EXPECT_RUN(kuvana({"digest", "hmac-sha1", "Jefe", "-"}, "what do ya want for nothing?"), 0,
               "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79\n");
    kutest::TempDir dir;
    kutest::writeFile(dir.file("data"), std::string("\0\1\2", 3));
    EXPECT_RUN(kuvana({"digest", "md5", "--json", "@" + dir.file("data")}), 0,
               "{\"algorithm\":\"md5\",\"digest\":\"b95f67f61ebb03619622d798f45fc2d3\","
               "\"bytes\":3,\"warnings\":[]}\n");
    EXPECT_REJECTS(kuvana({"digest", "md5", "@" + dir.file("missing")}), 2,
                   dir.file("missing"));
    EXPECT_EQ(2, kuvana({"digest", "hmac-sha1"}).status);

    // Every byte value survives a round trip through standard input.
    std::string bytes;
    for (int i = 0; i < 256; i++)
        bytes += char(i);
    Result encoded = kuvana({"base64", "encode"}, bytes);
    ASSERT_EQ(0, encoded.status);
    EXPECT_RUN(kuvana({"base64", "decode"}, encoded.out), 0, bytes);
    EXPECT_RUN(kuvana({"base64", "encode", "kuvana"}), 0, "a3V2YW5h\n");
    EXPECT_RUN(kuvana({"base64", "encode", ""}), 0, "\n");
    EXPECT_RUN(kuvana({"base64", "decode", "--json", "AAE="}), 0,
               "{\"bytes\":2,\"hex\":\"0001\",\"warnings\":[]}\n");
    EXPECT_REJECTS(kuvana({"base64", "decode", "a$bc"}), 2, "a$bc");
    EXPECT_REJECTS(kuvana({"base64", "decode", "abc"}), 2, "abc");
    EXPECT_REJECTS(kuvana({"base64", "decode", "ab=c"}), 2, "ab=c");
}

namespace {

std::string hexOf(const uint8_t *bytes, size_t length)
{
    char *text = nullptr;
    kuConvert_buffertohexstr(bytes, length, 1, 0, &text);
    std::string hex = text ? text : "";
    kuFree(text);
    return hex;
}

} // namespace

TEST(kuvanaTool, InputsStreamFromRegularFilesOnly)
{
    // Files across the reader's piece size digest as the library's one-call
    // functions do, keys of a block and longer included.
    kutest::TempDir dir;
    for (size_t size : {size_t(65536), size_t(200001)}) {
        std::string message(size, '\0'), key(65, 'k');
        for (size_t i = 0; i < size; i++)
            message[i] = char(i * 7 + i / 251);
        kutest::writeFile(dir.file("message"), message);
        kutest::writeFile(dir.file("key"), key);
        uint8_t md5[KU_MD5_DIGEST_SIZE], hmac[KU_SHA1_DIGEST_SIZE];
        kuMD5 context;
        kuMD5_Init(&context);
        kuMD5_Add(&context, message.data(), size);
        kuMD5_Get(&context, md5);
        EXPECT_RUN(kuvana({"digest", "md5", "@" + dir.file("message")}), 0,
                   hexOf(md5, sizeof md5) + "\n");
        kuSHA1_HMAC(key.data(), key.size(), message.data(), size, hmac);
        EXPECT_RUN(kuvana({"digest", "hmac-sha1", "@" + dir.file("key"), "-"}, message), 0,
                   hexOf(hmac, sizeof hmac) + "\n");
        kuMD5_HMAC(message.data(), size, key.data(), 64, md5);
        EXPECT_RUN(kuvana({"digest", "hmac-md5", key.substr(0, 64), "@" + dir.file("message")}),
                   0, hexOf(md5, sizeof md5) + "\n");
    }

    // What is not a regular file is refused at once, never waited on or
    // read without end.
    ASSERT_EQ(0, mkfifo(dir.file("fifo").c_str(), 0600));
    for (const std::string &path : {dir.file("fifo"), std::string("/dev/zero"), dir.path()}) {
        Result r = kuvana({"digest", "md5", "@" + path});
        EXPECT_EQ(2, r.status) << path;
        EXPECT_TRUE(contains(r.err, "cannot read '" + path + "'")) << r.err;
        // The INI commands read their file too.
        EXPECT_REJECTS(kuvana({"ini", "get", path, "a", "k"}), 2, path);
        EXPECT_REJECTS(kuvana({"ini", "set", path, "a", "k", "v"}), 2, path);
    }

    // An error quotes at most 80 bytes of its input.
    Result big = kuvana({"protocolinfo", "parse", "-"}, std::string(1000000, 'x'));
    EXPECT_EQ(2, big.status);
    EXPECT_TRUE(contains(big.err, "'" + std::string(80, 'x') + "...(1000000 bytes)'")) << big.err;
    EXPECT_LT(big.err.size(), 300u);
}

TEST(kuvanaTool, UuidsAreTimeBasedAndDistinct)
{
    Result r = kuvana({"uuid", "--count", "5"});
    ASSERT_EQ(0, r.status) << r.err;
    std::regex form("[0-9a-f]{8}-[0-9a-f]{4}-1[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    std::istringstream lines(r.out);
    std::set<std::string> seen;
    for (std::string l; std::getline(lines, l);) {
        EXPECT_TRUE(std::regex_match(l, form)) << l;
        seen.insert(l);
    }
    EXPECT_EQ(5u, seen.size());
    Result json = kuvana({"uuid", "--json"});
    EXPECT_TRUE(std::regex_match(json.out, std::regex("\\[\"[0-9a-f-]{36}\"\\]\n"))) << json.out;
    EXPECT_REJECTS(kuvana({"uuid", "--count", "-1"}), 2, "-1");
}

TEST(kuvanaTool, PrintfConvertsByConversionLetter)
{
    EXPECT_RUN(kuvana({"printf", "%s-%05d|%x|%.2f|%*d|%c\\n", "ab", "42", "255", "3.14159", "4",
                       "7", "A"}),
               0, "ab-00042|ff|3.14|   7|A\n");
    EXPECT_RUN(kuvana({"printf", "%2$s %1$s", "world", "hello"}), 0, "hello world");
    EXPECT_RUN(kuvana({"printf", "%lld %llu %%", "-9223372036854775808", "18446744073709551615"}),
               0, "-9223372036854775808 18446744073709551615 %");
    EXPECT_RUN(kuvana({"printf", "--json", "%d\\t", "-5"}), 0, "{\"text\":\"-5\\t\",\"warnings\":[]}\n");
    // What only the library's engine does: any base, UTF-8 characters, and
    // h/hh that do not narrow.
    EXPECT_RUN(kuvana({"printf", "%#..2u|%.2.36u|%lc|%ls|%hhd|%p", "5", "71", "\xC3\xA9",
                       "w\xC3\xAF", "300", "0x10"}),
               0, "0b101|1z|\xC3\xA9|w\xC3\xAF|300|0x" + std::string(2 * sizeof(void *) - 2, '0') +
                      "10");
    EXPECT_REJECTS(kuvana({"printf", "%s", "\xFF"}), 2, "\xFF");
    EXPECT_REJECTS(kuvana({"printf", "%hhhd", "1"}), 2, "%hhhd");

    EXPECT_REJECTS(kuvana({"printf", "%d %d", "1"}), 2, "%d %d");
    EXPECT_EQ(2, kuvana({"printf", "%d", "1", "2"}).status);
    EXPECT_REJECTS(kuvana({"printf", "%d", "twelve"}), 2, "twelve");
    EXPECT_REJECTS(kuvana({"printf", "%f", "1.5x"}), 2, "1.5x");
    EXPECT_REJECTS(kuvana({"printf", "%q", "1"}), 2, "%q");
    EXPECT_REJECTS(kuvana({"printf", "100%"}), 2, "100%");
    EXPECT_EQ(2, kuvana({"printf", "%1$d %1$d", "1"}).status);
    EXPECT_EQ(2, kuvana({"printf", "%n", "1"}).status);
    // Positions beyond the engine's limit are refused before anything is sized by them.
    EXPECT_REJECTS(kuvana({"printf", "%99999999999$d", "1"}), 2, "99999999999$");
    EXPECT_REJECTS(kuvana({"printf", "%2147483647$d", "1"}), 2, "2147483647$");
    EXPECT_EQ(2, kuvana({"printf"}).status);
}

TEST(kuvanaTool, MimeTypes)
{
    Result same = kuvana({"mime", "compare", "audio/L16;rate=44100;channels=2",
                          "audio/l16;channels=2;rate=44100;extra=1"});
    EXPECT_EQ(0, same.status) << same.out;
    EXPECT_TRUE(contains(same.out, "B satisfies A (same type, every parameter of A in B): yes"));
    EXPECT_TRUE(contains(same.out, "A satisfies B: no (extra=1 missing or different)"))
        << same.out;

    Result differ = kuvana({"mime", "compare", "--json", "audio/mpeg", "audio/mp4"});
    EXPECT_EQ(1, differ.status);
    EXPECT_TRUE(contains(differ.out, "\"aInB\":false,\"bInA\":false")) << differ.out;

    EXPECT_RUN(kuvana({"mime", "parse", "--json", "text/plain; charset=\"utf-8\""}), 0,
               "{\"text\":\"text/plain; charset=\\\"utf-8\\\"\",\"type\":\"text/plain\","
               "\"normalised\":\"text/plain; charset=utf-8\",\"parameters\":{\" charset\":"
               "\"utf-8\"},\"warnings\":[\"in 'text/plain; charset=\\\"utf-8\\\"' the parameter "
               "name is ' charset': the library keeps blanks around a name as part of it, so it "
               "is not the parameter 'charset'\"]}\n");
    EXPECT_EQ(2, kuvana({"mime", "compare", "a/b"}).status);
}

TEST(kuvanaTool, Uris)
{
    EXPECT_RUN(kuvana({"uri", "parse", "--json", "http://user@[::1]:8080/a/b.mp3?x=1&y#f"}), 0,
               "{\"scheme\":\"http\",\"userInfo\":\"user\",\"host\":\"::1\",\"port\":8080,"
               "\"path\":\"/a/b.mp3\",\"pathRefused\":false,\"extension\":\"mp3\","
               "\"query\":\"x=1&y\",\"queryParts\":[{\"name\":\"x\",\"value\":\"1\"},"
               "{\"name\":\"y\",\"value\":null}],\"fragment\":\"f\","
               "\"composed\":\"http://user@[::1]:8080/a/b.mp3?x=1&y#f\",\"warnings\":[]}\n");
    Result text = kuvana({"uri", "parse", "http://h/media/../secret"});
    EXPECT_EQ(0, text.status);
    EXPECT_TRUE(contains(text.out, "path       emptied")) << text.out;
    EXPECT_TRUE(contains(text.out, "composed   http://h/\n")) << text.out;
    EXPECT_RUN(kuvana({"uri", "parse", "--escaped", "/a%20b"}), 0,
               "path       /a%20b\ncomposed   /a%20b\n");

    EXPECT_RUN(kuvana({"uri", "combine", "http://h/dir/page.html?x=1", "/top.png?y=2"}), 0,
               "http://h/top.png?y=2\n");
    EXPECT_RUN(kuvana({"uri", "escape", "--component", "path", "a b%"}), 0, "a%20b%25\n");
    EXPECT_RUN(kuvana({"uri", "escape", "--component=query", "q=a b&c=?"}), 0,
               "q=a%20b&c=?\n");
    EXPECT_RUN(kuvana({"uri", "escape", "http://h/a b"}), 0, "http://h/a%20b\n");
    EXPECT_RUN(kuvana({"uri", "unescape", "--query", "a%20b+c%2"}), 0, "a b c%2\n");
    EXPECT_RUN(kuvana({"uri", "unescape", "-"}, "%41%42"), 0, "AB\n");

    EXPECT_REJECTS(kuvana({"uri", "escape", "--component", "path", "../etc"}), 2, "../etc");
    EXPECT_REJECTS(kuvana({"uri", "escape", "--component", "host", "x"}), 2, "host");
    EXPECT_EQ(2, kuvana({"uri", "combine", "http://h/"}).status);
}

// Where the library's rules differ from the standards a user has in mind,
// the tool refuses the input (status 2, the reason on standard error) or
// answers as the library does with a warning naming the difference.
TEST(kuvanaTool, NoSilentWrongAnswers)
{
    std::string wrapped = kuvana({"base64", "encode", std::string(70, 'k')}).out;
    wrapped.insert(76, "\n");
    const struct {
        std::vector<std::string> args;
        std::string in;
        int status;
        std::string out; // "*": not checked
        std::string err; // a warning, or the reason of a refusal; "" for neither
    } cases[] = {
        {{"uri", "combine", "http://a/b/c/d;p?q", "../x.jpg"}, "", 0, "http://a/b/c/d;p\n",
         "warning: RFC 3986 resolves this to 'http://a/b/x.jpg'"},
        {{"uri", "combine", "http://a/b/c/d;p?q", "//other/x"}, "", 0, "http://a/x\n",
         "warning: RFC 3986 resolves this to 'http://other/x'"},
        {{"uri", "combine", "http://a/b/c/d;p?q", "#frag"}, "", 0, "http://a/b/c/d;p\n",
         "warning: RFC 3986 resolves this to 'http://a/b/c/d;p?q#frag'"},
        {{"uri", "combine", "http://h/dir/page.html?x=1", "/top.png?y=2"}, "", 0,
         "http://h/top.png?y=2\n", ""},
        {{"uri", "resolve", "http://a/b/c/d;p?q", "../x.jpg"}, "", 0, "http://a/b/x.jpg\n", ""},
        {{"uri", "resolve", "/a/b", "c"}, "", 2, "", "'/a/b' is not an absolute URI"},
        {{"uri", "parse", "http://host:99999/"}, "", 2, "", "port 99999 is out of range"},
        {{"uri", "parse", "http://host:8o/"}, "", 2, "", "the port '8o' is not a number"},
        {{"uri", "parse", "urn:schemas-upnp-org:device:MediaRenderer:1"}, "", 0, "*",
         "warning: the library composes a URI with a scheme as 'urn://...'"},
        {{"base64", "decode", "a3V2YW5h===="}, "", 2, "", "ends in 4 '='"},
        {{"base64", "decode"}, wrapped, 0, std::string(70, 'k'), ""},
        {{"base64", "decode", "a3V2 YW5h"}, "", 2, "", "character 5 is not Base64"},
        {{"base64", "decode", "--ignore-garbage", " a3V2 \tYW5h"}, "", 0, "kuvana", ""},
        {{"base64", "decode", "--ignore-garbage", "a3V2*YW5h"}, "", 0, "kuvana",
         "warning: 1 character outside the Base64 alphabet skipped"},
        {{"base64", "decode", "a3V2YR=="}, "", 0, "kuva", "warning: the bits that the padding"},
        {{"protocolinfo", "parse", ":::"}, "", 2, "", "':::' has no field with a value"},
        {{"protocolinfo", "parse", "http-get:*:audio/mpeg:DLNA.ORG_FLAGS=zz"}, "", 0, "*",
         "warning: 'DLNA.ORG_FLAGS=zz' is dropped"},
        {{"protocolinfo", "parse", "http-get:*:audio/mpeg:DLNA.ORG_OP=3"}, "", 0, "*",
         "warning: 'DLNA.ORG_OP=3' is read as 'DLNA.ORG_OP=10'"},
        {{"protocolinfo", "parse", "http-get::audio/mpeg:DLNA.ORG_FLAGS=017"}, "", 0, "*",
         "warning: the network field is empty; the library reads it as '*'\n"},
        {{"protocolinfo", "parse", "-"}, "\x7f" "ELF\x01\x02:\x03", 2, "", "control byte 0x7f"},
        {{"protocolinfo", "match", "http-get:*:a/b:*,http-get:*:c/d:*", "http-get:*:c/d:*"}, "",
         2, "", "is a list of 2 entries"},
        {{"protocolinfo", "match", "http-get:*:c/d:DLNA.ORG_PS=2,-2", "http-get:*:c/d:*"}, "", 0,
         "*", ""},
        {{"mime", "compare", "text/html;charset=UTF-8", "text/html; charset=UTF-8"}, "", 1, "*",
         "warning: in 'text/html; charset=UTF-8' the parameter name is ' charset'"},
        {{"time", "duration", "0:00:01.5"}, "", 0, "1.005 s (0 h 00 min 01.005 s)\n",
         "warning: '.5' is read as 5 ms"},
        {{"time", "duration", "0:00:01.500"}, "", 0, "1.500 s (0 h 00 min 01.500 s)\n", ""},
        {{"time", "duration", "1:02:03.5.6"}, "", 2, "", "the fraction '.5.6'"},
    };
    for (const auto &c : cases) {
        Result r = kuvana(c.args, c.in);
        std::string what = c.args[0] + " " + c.args[1] + " " + c.args.back();
        EXPECT_EQ(c.status, r.status) << what << "\n" << r.err;
        if (c.out != "*")
            EXPECT_EQ(c.out, r.out) << what;
        if (c.err.empty())
            EXPECT_EQ("", r.err) << what;
        else
            EXPECT_TRUE(contains(r.err, c.err)) << what << "\n" << r.err;
    }
}

namespace {

// The key paths of a JSON text ("a", "a.b", "items[].name"), gathered by a
// small parser; ok is false when the text is no single JSON value.
struct JsonKeys {
    explicit JsonKeys(const std::string &text) : t(text)
    {
        ok = value("");
        blank();
        ok = ok && at == t.size();
    }
    char peek() const { return at < t.size() ? t[at] : '\0'; }
    void blank()
    {
        while (isspace((unsigned char)peek()))
            at++;
    }
    bool string(std::string *out)
    {
        if (peek() != '"')
            return false;
        std::string s;
        for (at++; at < t.size() && t[at] != '"'; at++)
            s += t[at] == '\\' ? t[++at] : t[at];
        at++;
        if (out)
            *out = s;
        return at <= t.size();
    }
    bool value(const std::string &path)
    {
        blank();
        char open = peek();
        if (open == '"')
            return string(nullptr);
        if (open != '{' && open != '[') {
            size_t start = at;
            while (peek() != '\0' && strchr("-+.0123456789eEtruefalsn", peek()))
                at++;
            return at > start;
        }
        char close = open == '{' ? '}' : ']';
        at++;
        blank();
        if (peek() == close)
            return ++at;
        for (;;) {
            std::string inner = path + "[]";
            if (open == '{') {
                std::string key;
                blank();
                if (!string(&key))
                    return false;
                blank();
                if (peek() != ':')
                    return false;
                at++;
                inner = path.empty() ? key : path + "." + key;
                keys.insert(inner);
            }
            if (!value(inner))
                return false;
            blank();
            if (peek() == close)
                return ++at;
            if (peek() != ',')
                return false;
            at++;
        }
    }
    const std::string &t;
    size_t at = 0;
    bool ok = false;
    std::set<std::string> keys;
};

// The words of a documented command line, as the shell splits them.
std::vector<std::string> shellWords(const std::string &line)
{
    std::string command = "set -f; printf '%s\\0' " + line;
    FILE *shell = popen(command.c_str(), "r");
    std::string split;
    for (int c; shell != nullptr && (c = fgetc(shell)) != EOF;)
        split += char(c);
    if (shell != nullptr)
        pclose(shell);
    std::vector<std::string> words;
    for (size_t at = 0, end; (end = split.find('\0', at)) != std::string::npos; at = end + 1)
        words.push_back(split.substr(at, end - at));
    return words;
}

} // namespace

// docs/json.md shows each command's JSON; the tool writes exactly its keys,
// and every command that takes --json has its section there.
TEST(kuvanaTool, JsonAsDocumented)
{
    const char *docs = getenv("KUVANA_DOCS");
    std::string doc = kutest::readFile(std::string(docs ? docs : "docs") + "/json.md");
    ASSERT_FALSE(doc.empty());
    kutest::TempDir dir;
    kutest::writeFile(dir.file("box.ini"), "a=1\n[net]\nhost=box\n");
    int sections = 0;
    for (size_t at = doc.find("\n## "); at != std::string::npos; at = doc.find("\n## ", at + 1)) {
        size_t end = doc.find("\n## ", at + 1);
        std::string section = doc.substr(at, end == std::string::npos ? end : end - at);
        size_t command = section.find("$ kuvana ");
        size_t json = section.find("```json\n");
        ASSERT_NE(std::string::npos, command) << section;
        ASSERT_NE(std::string::npos, json) << section;
        std::vector<std::string> args = shellWords(
            section.substr(command + 9, section.find('\n', command) - command - 9));
        for (std::string &a : args)
            a = a == "box.ini" ? dir.file("box.ini") : a;
        std::string shown = section.substr(json + 8, section.find("\n```", json) - json - 8);
        Result r = kuvana(args);
        JsonKeys expected(shown), actual(r.out);
        std::string what = section.substr(0, section.find('\n', 1));
        EXPECT_TRUE(expected.ok) << what;
        EXPECT_TRUE(actual.ok && std::count(r.out.begin(), r.out.end(), '\n') == 1)
            << what << r.out;
        EXPECT_EQ(expected.keys, actual.keys) << what << "\n" << r.out;
        sections++;
    }
    EXPECT_GE(sections, 25);

    Result help = kuvana({"--help"});
    std::regex line("^  ([a-z0-9-]+)( [a-z0-9-]+)? +");
    std::istringstream lines(help.out);
    for (std::string l; std::getline(lines, l);) {
        std::smatch m;
        if (!std::regex_search(l, m, line))
            continue;
        std::string title = m[1].str() + m[2].str();
        std::vector<std::string> args{m[1]};
        if (m[2].matched)
            args.push_back(m[2].str().substr(1));
        args.push_back("--help");
        if (contains(kuvana(args).out, "--json"))
            EXPECT_TRUE(std::regex_search(doc, std::regex("\n## [^\n]*`" + title + "`")))
                << title << " has no section in docs/json.md";
    }
}

namespace {

// A port that was free a moment ago.
int freePort()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &length);
    close(s);
    return ntohs(a.sin_port);
}

// A console started on a free port, killed if a test leaves it running.
struct Console {
    explicit Console(std::vector<std::string> options)
    {
        options.insert(options.begin(), {"console", "--port", std::to_string(port)});
        pid = start(options, "/dev/null", dir.file("out"), dir.file("out"));
        for (int i = 0; i < 400 && !contains(log(), "listening"); i++)
            usleep(25000);
    }
    ~Console()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    std::string log() const { return kutest::readFile(dir.file("out")); }
    bool up() const { return contains(log(), "listening on"); }
    // Sends SIGTERM unless told not to: the exit status, or -1 when the
    // console did not stop within 3 s.
    int stop(bool signal = true)
    {
        if (signal)
            kill(pid, SIGTERM);
        int status = waitFor(pid, 3);
        pid = -1;
        return status;
    }

    kutest::TempDir dir;
    int port = freePort();
    pid_t pid = -1;
};

// What a connection receives until its text holds token, the peer ends it
// (*ended), or nothing comes for 3 s.
std::string readUntil(int socket, const std::string &token, bool *ended = nullptr)
{
    std::string text;
    char buffer[4096];
    if (ended)
        *ended = false;
    while (token.empty() || !contains(text, token)) {
        pollfd p{socket, POLLIN, 0};
        if (poll(&p, 1, 3000) <= 0)
            break;
        ssize_t got = recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0) {
            if (ended)
                *ended = true;
            break;
        }
        text.append(buffer, size_t(got));
    }
    return text;
}

// Types commands into the system's telnet client: two sessions at once, the
// second closed after its idle time-out, a third open when the server is
// told to stop.
const char kConsoleScript[] = R"exp(
set timeout 20
set port [lindex $argv 0]
set pid [lindex $argv 1]
spawn telnet 127.0.0.1 $port
set first $spawn_id
expect "kuvana> " {} timeout { exit 1 }
spawn telnet 127.0.0.1 $port
set second $spawn_id
expect "kuvana> " {} timeout { exit 2 }
set spawn_id $first
send "time duration 0:01:00.250\r"
expect "60.250 s" {} timeout { exit 3 }
send "uri parse 'http://h/a%20b' --json\r"
expect "\"path\":\"/a b\"" {} timeout { exit 4 }
send "frobnicate\r"
expect "unknown command 'frobnicate' (try 'help')" {} timeout { exit 5 }
expect "(exit status 2)" {} timeout { exit 6 }
send "console\r"
expect "already in the console" {} timeout { exit 7 }
send "printf \"%s\\n|\" 'a\\b'\r"
expect -re {a\\b\r+\n\|} {} timeout { exit 8 }
send "help\r"
expect "'quit' ends the session" {} timeout { exit 9 }
send "quit\r"
expect "Connection closed by foreign host." {} timeout { exit 10 }
expect -i $second "Connection closed by foreign host." {} timeout { exit 11 }
spawn telnet 127.0.0.1 $port
expect "kuvana> " {} timeout { exit 12 }
exec kill -TERM $pid
expect "Connection closed by foreign host." {} timeout { exit 13 }
)exp";

} // namespace

TEST(kuvanaTool, ConsoleWithRealTelnetClient)
{
    if (std::system("command -v telnet >/dev/null && expect -v >/dev/null") != 0)
        GTEST_SKIP() << "needs a telnet client and expect (inetutils-telnet, expect)";
    Console console({"--idle-timeout", "1"});
    ASSERT_TRUE(contains(console.log(), "listening on 127.0.0.1 port")) << console.log();
    kutest::writeFile(console.dir.file("client.exp"), kConsoleScript);
    std::string command = "expect " + console.dir.file("client.exp") + " " +
                          std::to_string(console.port) + " " + std::to_string(console.pid) +
                          " >" + console.dir.file("client.log") + " 2>&1";
    int status = std::system(command.c_str());
    EXPECT_EQ(0, status) << kutest::readFile(console.dir.file("client.log"));
    EXPECT_EQ(0, console.stop(status != 0)); // the script sent SIGTERM
    EXPECT_TRUE(contains(console.log(), "kuvana console stopped"));
}

TEST(kuvanaTool, ConsoleServesHostilePeersSafely)
{
    Console console({"--idle-timeout", "1", "--max-clients", "3"});
    ASSERT_TRUE(console.up()) << console.log();
    // A peer that stops in the middle of a line holds one place, no more.
    int idle = kutest::connectToLoopback(uint16_t(console.port));
    EXPECT_TRUE(contains(readUntil(idle, "kuvana> "), "kuvana> "));
    kutest::sendAll(idle, "dig");
    int c = kutest::connectToLoopback(uint16_t(console.port));
    ASSERT_TRUE(contains(readUntil(c, "kuvana> "), "kuvana> "));
    int third = kutest::connectToLoopback(uint16_t(console.port));
    EXPECT_TRUE(contains(readUntil(third, "kuvana> "), "kuvana> "));
    int extra = kutest::connectToLoopback(uint16_t(console.port));
    bool ended = false;
    EXPECT_TRUE(contains(readUntil(extra, "", &ended), "busy"));
    EXPECT_TRUE(ended);
    close(extra);
    close(third);

    kutest::TempDir dir;
    ASSERT_EQ(0, mkfifo(dir.file("fifo").c_str(), 0600));
    const struct {
        std::string line, reply, absent;
    } cases[] = {
        // The rest of an over-long line is not a command of its own.
        {std::string(8191, 'x') + "digest md5 abc", "line longer than 8191 bytes, not run",
         "900150983cd24fb0d6963f7d28e17f72"},
        {"printf '%99999999999$d' 1", "limit of 64 arguments", ""},
        {"digest md5 @" + dir.file("fifo"), "not a regular file", ""},
        {"frobnicate" + std::string(5000, 'y'), "yy...(5010 bytes)' (try 'help')\r\n", "yyy'"},
        {"printf \"%s\\n|%s\" 'a\\b' \"\\\"\\\\\"", "a\\b\r\n|\"\\kuvana> ", ""},
        {"help", "'quit' ends the session", "'-' reads standard input"},
    };
    for (const auto &t : cases) {
        kutest::sendAll(c, t.line + "\r\n");
        std::string reply = readUntil(c, "kuvana> ");
        EXPECT_TRUE(contains(reply, t.reply)) << t.line.substr(0, 40) << "\n" << reply.substr(0, 300);
        EXPECT_TRUE(t.absent.empty() || !contains(reply, t.absent)) << reply.substr(0, 300);
    }

    // The silent peer is closed after its idle time-out; the console stops on
    // SIGTERM with a client still connected.
    readUntil(idle, "", &ended);
    EXPECT_TRUE(ended);
    close(idle);
    EXPECT_EQ(0, console.stop());
    readUntil(c, "", &ended);
    EXPECT_TRUE(ended);
    close(c);
}

TEST(kuvanaTool, ConsoleBeyondLoopbackAndListenFailures)
{
    int port = freePort();
    EXPECT_REJECTS(kuvana({"console", "--listen", "any", "--port", std::to_string(port)}), 2,
                   "any");
    uint16_t taken = 0;
    int holder = kutest::listenOnLoopback(&taken);
    Result busy = kuvana({"console", "--port", std::to_string(taken)});
    close(holder);
    EXPECT_EQ(2, busy.status);
    EXPECT_TRUE(contains(busy.err, "port " + std::to_string(taken) + ": Address already in use"))
        << busy.err;

    // Sessions of a console that serves other hosts touch files only when
    // --allow-files says so.
    for (bool files : {false, true}) {
        Console remote({"--listen", "any", "--allow-remote", files ? "--allow-files" : "--"});
        ASSERT_TRUE(remote.up()) << remote.log();
        EXPECT_TRUE(contains(remote.log(), "warning: every host")) << remote.log();
        kutest::writeFile(remote.dir.file("box.ini"), "[s]\nk=v\n");
        int c = kutest::connectToLoopback(uint16_t(remote.port));
        readUntil(c, "kuvana> ");
        for (const std::string &line : {"digest md5 @" + remote.dir.file("box.ini"),
                                        "ini get " + remote.dir.file("box.ini") + " s k"}) {
            kutest::sendAll(c, line + "\r\n");
            std::string reply = readUntil(c, "kuvana> ");
            EXPECT_EQ(!files, contains(reply, "does not read")) << reply;
            EXPECT_EQ(!files, contains(reply, "exit status")) << reply;
        }
        close(c);
        EXPECT_EQ(0, remote.stop());
    }
}

namespace {

const char kMp3[] = "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3;DLNA.ORG_OP=01;"
                    "DLNA.ORG_FLAGS=01700000000000000000000000000000";

std::string examples(const std::string &file)
{
    const char *dir = getenv("KUVANA_EXAMPLES");
    return std::string(dir ? dir : "examples") + "/" + file;
}

} // namespace

TEST(kuvanaTool, DemoMatchesTheServersItemsAgainstTheRenderer)
{
    Result r = kuvana({"demo"});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(r.out, "428 sink entries (http-get;rtsp-rtp-udp)")) << r.out;
    EXPECT_TRUE(contains(r.out, "song.mp3             plays via sink entry 2: "
                                "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3\n"
                                "                     offered " + std::string(kMp3) + "\n"))
        << r.out;
    // audio/3gpp plays through audio/mp4 for the AAC profiles.
    EXPECT_TRUE(contains(r.out, "radio.3gp            plays via sink entry 20: "
                                "http-get:*:audio/mp4:DLNA.ORG_PN=AAC_ISO\n"));
    EXPECT_TRUE(contains(r.out, "film.mpg (DTCP-IP)   does not play: no sink entry takes "
                                "application/x-dtcp1\n"));
    EXPECT_TRUE(contains(r.out, "CONTENTFORMAT=video/mpeg:DLNA.ORG_PN=DTCP_MPEG_PS_PAL;"));
    EXPECT_TRUE(contains(r.out, "recording.aiff       does not play: no sink entry takes "
                                "audio/x-aiff\n"));
    EXPECT_TRUE(contains(r.out, "\n16 of 21 offers play on this renderer.\n"));

    Result json = kuvana({"demo", "--json"});
    EXPECT_TRUE(contains(json.out, "\"playable\":16,")) << json.out;

    // A table and a sink list of one's own.
    kutest::TempDir dir;
    kutest::writeFile(dir.file("server-profiles.txt"),
                      "# comment\nclip.mp4 video/mp4:DLNA.ORG_PN=AVC_MP4_BL_CIF15_AAC_520\n"
                      "tune.mp3 audio/mpeg:DLNA.ORG_PN=MP3X\n");
    kutest::writeFile(dir.file("renderer-sink.txt"),
                      "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3,\n"
                      "http-get:*:video/mp4:*\n");
    Result own = kuvana({"demo", "--examples", dir.path()});
    EXPECT_TRUE(contains(own.out, "clip.mp4             plays via sink entry 2: "
                                  "http-get:*:video/mp4:*\n")) << own.out;
    EXPECT_TRUE(contains(own.out, "tune.mp3             does not play: no sink entry for the "
                                  "profile MP3X\n")) << own.out;
    EXPECT_REJECTS(kuvana({"demo", "--examples", dir.file("none")}), 2,
                   dir.file("none/server-profiles.txt"));
}

TEST(kuvanaTool, MatchingRulesBatchAndCompat)
{
    // A strict "no" keeps status 1 and names what each rule would play.
    const std::string sink = "http-get:*:video/mpeg:*,http-get:*:audio/x-flac:*";
    const struct { const char *resource; int status; const char *shown; } cases[] = {
        {"http-get:*:audio/flac:*", 1, "  mime-aliases: plays if the renderer treats audio/flac as audio/x-flac: entry 2\n"
                                       "  does not play under subtype-wildcard, protocol-case,"},
        {"HTTP-GET:*:audio/flac:*", 1, "  mime-aliases+protocol-case: plays if the renderer treats audio/flac as "
                                       "audio/x-flac and reads the protocol HTTP-GET as http-get: entry 2\n"},
        {"http-get:*:audio/x-flac:*", 0, "match: entry 2 of 2"},
    };
    for (const auto &c : cases) {
        Result r = kuvana({"protocolinfo", "match", c.resource, sink});
        EXPECT_EQ(c.status, r.status) << c.resource;
        EXPECT_TRUE(contains(r.out, c.shown)) << r.out;
    }
    EXPECT_TRUE(contains(kuvana({"protocolinfo", "match", "--json", "http-get:*:audio/flac:*", sink}).out,
                         "\"rules\":[{\"rule\":\"mime-aliases\",\"plays\":true,\"index\":2,"));
    // A strict match that only the AAC group makes, which adts-apart takes away.
    Result adts = kuvana({"protocolinfo", "match", "http-get:*:audio/vnd.dlna.adts:DLNA.ORG_PN=AAC_MPS",
                          "http-get:*:audio/mp4:*"});
    EXPECT_EQ(0, adts.status);
    EXPECT_TRUE(contains(adts.out, "  adts-apart: does not play if the renderer keeps ADTS apart from MP4\n"));

    // Batch: one line per resource; status 2 for a line that is no protocolInfo.
    kutest::TempDir dir;
    kutest::writeFile(dir.file("items"), "# items\nhttp-get:*:audio/x-flac:*\n\nhttp-get:*:audio/flac:*\n"
                                         "http-get:*:text/plain:*\n");
    EXPECT_RUN(kuvana({"protocolinfo", "match", "--batch", dir.file("items"), sink}), 1,
               "yes         2  http-get:*:audio/x-flac:*\n"
               "rules       2  http-get:*:audio/flac:*  (plays if the renderer treats audio/flac as audio/x-flac)\n"
               "no          -  http-get:*:text/plain:*\n");
    Result lines = kuvana({"protocolinfo", "match", "--json", "--batch", dir.file("items"), sink});
    EXPECT_TRUE(contains(lines.out, "{\"line\":4,\"resource\":\"http-get:*:audio/flac:*\",\"match\":\"rules\","
                                    "\"index\":2,\"rules\":[\"mime-aliases\"],")) << lines.out;
    EXPECT_EQ(3, std::count(lines.out.begin(), lines.out.end(), '\n'));
    kutest::writeFile(dir.file("bad"), "junk\n");
    EXPECT_EQ(2, kuvana({"protocolinfo", "match", "--batch", dir.file("bad"), sink}).status);

    // The shipped server table against the shipped renderers.
    Result matrix = kuvana({"compat"});
    ASSERT_EQ(0, matrix.status) << matrix.err;
    for (const char *row : {"album.flac           +A       yes     \n", "live.mp3             +C       +C      \n",
                            "surround.aac         yes/D    yes     \n", "film.mpg (DTCP-IP)   no       no      \n",
                            "cells changed by each rule (of 42):\n  mime-aliases         3\n"})
        EXPECT_TRUE(contains(matrix.out, row)) << row << matrix.out;
    EXPECT_TRUE(contains(kuvana({"compat", "--json", "--renderer", examples("renderer-sink.txt")}).out,
                         "\"changes\":{\"mime-aliases\":3,\"subtype-wildcard\":0,\"protocol-case\":1,"));
    EXPECT_REJECTS(kuvana({"compat", "--renderer", dir.file("none")}), 2, dir.file("none"));
}

// Run by its own ctest entry (compat_page_in_browser), skipped without Chromium.
TEST(kuvanaTool, DISABLED_CompatPageInBrowser)
{
    if (system("command -v chromium >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "chromium is not installed";
    kutest::TempDir dir;
    std::string page = dir.file("compat.html");
    Result r = kuvana({"compat", "--html", page});
    ASSERT_EQ(0, r.status) << r.err;
    std::string command = "timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run "
                          "--disable-background-networking --disable-component-update --disable-sync "
                          "--user-data-dir='" + dir.file("profile") + "' --dump-dom 'file://" + page +
                          "' 2>/dev/null";
    std::string dom;
    FILE *browser = popen(command.c_str(), "r");
    ASSERT_NE(nullptr, browser);
    char piece[4096];
    for (size_t n; (n = fread(piece, 1, sizeof piece, browser)) > 0;)
        dom.append(piece, n);
    ASSERT_EQ(0, pclose(browser)) << dom;

    // The page's script built every cell from the embedded data.
    EXPECT_TRUE(contains(dom, "data-cells=\"42\"")) << dom;
    size_t cells = 0;
    for (size_t at = 0; (at = dom.find("<td class=\"cell ", at)) != std::string::npos; at++)
        cells++;
    EXPECT_EQ(42u, cells);
    for (const char *cell : {
             "<td class=\"cell yes\" data-item=\"song.mp3\" data-renderer=\"macast\" "
             "title=\"plays: entry 173: http-get:*:audio/mpeg:*\">yes</td>",
             "<td class=\"cell rules\" data-item=\"album.flac\" data-renderer=\"dlnampvrenderer\" "
             "title=\"plays if the renderer treats audio/flac as audio/x-flac: entry 380\">mime-aliases</td>",
             "<td class=\"cell no\" data-item=\"film.mpg (DTCP-IP)\" data-renderer=\"macast\" ",
             "<td class=\"cell yes\" data-item=\"surround.aac\" data-renderer=\"dlnampvrenderer\" "})
        EXPECT_TRUE(contains(dom, cell)) << cell;
}

TEST(kuvanaTool, ProtocolInfoParseAndCompose)
{
    Result mp3 = kuvana({"protocolinfo", "parse", kMp3});
    ASSERT_EQ(0, mp3.status) << mp3.err;
    EXPECT_TRUE(contains(mp3.out, "profile (PN)      MP3\n"));
    EXPECT_TRUE(contains(mp3.out, "seek (OP)         01: time seek no, range seek yes\n"));
    EXPECT_TRUE(contains(mp3.out, "  set             tmStreaming tmBackground httpStalling "
                                  "dlnaV15\n")) << mp3.out;
    EXPECT_TRUE(contains(mp3.out, "transfer mode     Streaming\n"));
    EXPECT_TRUE(contains(mp3.out, "normalised        " + std::string(kMp3) + "\n"));

    Result odd = kuvana({"protocolinfo", "parse",
                         "http-get:*:video/mpeg:DLNA.ORG_OP=1;DLNA.ORG_PS=2,-2,1/2,-1/2;"
                         "VENDOR_X=abc;X=1;VENDOR_Y=a.b"});
    EXPECT_TRUE(contains(odd.out, "play speeds (PS)  -2,-1/2,1/2,2\n")) << odd.out;
    EXPECT_TRUE(contains(odd.out, "vendor            VENDOR_X=abc\n"));
    EXPECT_TRUE(contains(odd.out, "dropped           X=1\n"));
    EXPECT_TRUE(contains(odd.out, "dropped           VENDOR_Y=a.b\n"));
    EXPECT_TRUE(contains(odd.out, "normalised        http-get:*:video/mpeg:DLNA.ORG_OP=10;"
                                  "DLNA.ORG_PS=-2,-1/2,1/2,2;VENDOR_X=abc\n"));
    Result json = kuvana({"protocolinfo", "parse", "--json", "-"}, kMp3);
    EXPECT_TRUE(contains(json.out, "\"profileName\":\"MP3\",\"timeSeek\":false,"
                                   "\"rangeSeek\":true")) << json.out;
    EXPECT_TRUE(contains(json.out, "\"httpStalling\":true,\"dlnaV15\":true,"
                                   "\"linkProtected\":false"));
    EXPECT_REJECTS(kuvana({"protocolinfo", "parse", "junk"}), 2, "junk");

    EXPECT_RUN(kuvana({"protocolinfo", "compose", "--format", "audio/mpeg", "--pn", "MP3",
                       "--adjust"}),
               0, std::string(kMp3) + "\n");
    EXPECT_RUN(kuvana({"protocolinfo", "compose", "video/mpeg:*", "--dtcp", "192.168.0.2:8000"}),
               0, "http-get:*:application/x-dtcp1;DTCP1HOST=192.168.0.2;DTCP1PORT=8000;"
                  "CONTENTFORMAT=video/mpeg:DLNA.ORG_OP=01;"
                  "DLNA.ORG_FLAGS=01718000000000000000000000000000\n");
    EXPECT_RUN(kuvana({"protocolinfo", "compose", "--protocol", "rtsp-rtp-udp", "--format",
                       "video/mpeg", "--ps", "-1/2,2", "--flag", "senderPaced", "--maxsp", "4.5",
                       "--param", "VENDOR_X=1", "--context", "5"}),
               0, "rtsp-rtp-udp:*:video/mpeg:DLNA.ORG_PS=-1/2\\,2;"
                  "DLNA.ORG_FLAGS=80100000000000000000000000000000;DLNA.ORG_MAXSP=4.5;"
                  "VENDOR_X=1\n");
    EXPECT_RUN(kuvana({"protocolinfo", "compose", "audio/mpeg:DLNA.ORG_PN=MP3", "--context",
                       "2"}),
               0, "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3\n");
    EXPECT_REJECTS(kuvana({"protocolinfo", "compose", "--format", "a/b", "--flag", "fast"}), 2,
                   "fast");
    EXPECT_REJECTS(kuvana({"protocolinfo", "compose", "a/b:*", "--dtcp", "host"}), 2, "host");
    EXPECT_EQ(2, kuvana({"protocolinfo", "compose"}).status);
}

TEST(kuvanaTool, ProtocolInfoMatchMergeAndSchemes)
{
    std::string sink = "@" + examples("renderer-sink.txt");
    EXPECT_RUN(kuvana({"protocolinfo", "match", kMp3, sink}), 0,
               "match: entry 2 of 428: http-get:*:audio/mpeg:DLNA.ORG_PN=MP3\n");
    std::string sinkText = kutest::readFile(examples("renderer-sink.txt"));
    EXPECT_RUN(kuvana({"protocolinfo", "match", "--sink", "-",
                       "http-get:*:audio/3gpp:DLNA.ORG_PN=AAC_ISO"}, sinkText),
               0, "match: entry 20 of 428: http-get:*:audio/mp4:DLNA.ORG_PN=AAC_ISO\n");

    // No match: the reasons, nearest first.
    std::string list = "http-get:*:video/mpeg:*,rtsp-rtp-udp:*:video/mpeg:*,"
                       "rtsp-rtp-udp:*:*:DLNA.ORG_PN=X";
    Result miss = kuvana({"protocolinfo", "match", "--all", "rtsp-rtp-udp:*:video/x-aiff:*", list});
    EXPECT_EQ(1, miss.status);
    EXPECT_EQ("no match among 3 entries: 1 differ in content format, 1 differ in profile, "
              "1 differ in protocol\n"
              "  #1    protocol       entry http-get, resource rtsp-rtp-udp\n"
              "         http-get:*:video/mpeg:*\n"
              "  #2    content format entry video/mpeg, resource video/x-aiff\n"
              "         rtsp-rtp-udp:*:video/mpeg:*\n"
              "  #3    profile        entry X, resource none\n"
              "         rtsp-rtp-udp:*:*:DLNA.ORG_PN=X\n"
              "under matching rules (renderers that accept more than the strict match):\n"
              "  does not play under mime-aliases, subtype-wildcard, protocol-case, "
              "any-format-profile, l16-bare, parameter-blanks\n",
              miss.out);
    Result missJson = kuvana({"protocolinfo", "match", "--json", "http-get:*:a/b:*", list});
    EXPECT_EQ(1, missJson.status);
    EXPECT_TRUE(contains(missJson.out, "\"matched\":false,\"index\":null,\"entry\":null,"
                                       "\"mismatches\":[{\"index\":1,"
                                       "\"step\":\"content format\"")) << missJson.out;
    EXPECT_REJECTS(kuvana({"protocolinfo", "match", "junk", list}), 2, "junk");
    EXPECT_EQ(2, kuvana({"protocolinfo", "match", kMp3, "junk,more junk"}).status);
    EXPECT_EQ(2, kuvana({"protocolinfo", "match", kMp3}).status);
    EXPECT_EQ(2, kuvana({"protocolinfo", "match", kMp3, list, "--sink", "x"}).status);

    // A source entry of a known profile merges; a new profile lands first.
    EXPECT_RUN(kuvana({"protocolinfo", "merge",
                       "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3;DLNA.ORG_PS=2",
                       "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3;DLNA.ORG_PS=-2,"
                       "http-get:*:audio/L16;rate=44100;channels=2:DLNA.ORG_PN=LPCM"}),
               0, "  1  http-get:*:audio/L16;rate=44100;channels=2:DLNA.ORG_PN=LPCM\n"
                  "  2  http-get:*:audio/mpeg:DLNA.ORG_PN=MP3;DLNA.ORG_PS=-2,2\n");
    EXPECT_RUN(kuvana({"protocolinfo", "merge", "--list", "http-get:*:a/b:DLNA.ORG_PS=2",
                       "http-get:*:a/b:DLNA.ORG_PS=-2"}),
               0, "http-get:*:a/b:DLNA.ORG_PS=-2\\,2\n");

    std::string two = "http-get:*:video/mpeg:*,rtsp-rtp-udp:*:video/mpeg:*";
    EXPECT_RUN(kuvana({"protocolinfo", "best-scheme", "--protocols", "http-get;rtsp-rtp-udp", two,
                       "rtsp;http"}),
               0, "entry 2: rtsp-rtp-udp:*:video/mpeg:*\n");
    EXPECT_RUN(kuvana({"protocolinfo", "best-scheme", "--protocols", "http-get;rtsp-rtp-udp", two,
                       "ftp"}),
               0, "entry 1: http-get:*:video/mpeg:*\n");
    EXPECT_REJECTS(kuvana({"protocolinfo", "best-scheme", "--protocols", "file", two, "file"}), 1,
                   "file");

    EXPECT_RUN(kuvana({"profiles", "intersect", " MP3 , mp3,LPCM,,AAC_ISO ", "lpcm,WMABASE"}), 0,
               "lpcm\n");
    EXPECT_RUN(kuvana({"profiles", "intersect", "--json", sink,
                       "audio/mpeg:DLNA.ORG_PN=MP3,audio/x-aiff:*,video/mpeg:DLNA.ORG_PN=MPEG1"}),
               0, "[\"MP3\",\"MPEG1\"]\n");
    Result none = kuvana({"profiles", "intersect", "MP3", "LPCM"});
    EXPECT_EQ(1, none.status);
    EXPECT_EQ("", none.out);
}

TEST(kuvanaTool, IniFilesSavedCrashSafely)
{
    kutest::TempDir dir;
    std::string file = dir.file("box.ini");
    kutest::writeFile(file, "; by hand\na=1\n[Net]\nHost = box ; comment\nName=\"x \\\"y\\\"\"\n");
    EXPECT_RUN(kuvana({"ini", "get", file, "NET", "host"}), 0, "box\n");
    EXPECT_RUN(kuvana({"ini", "get", file, "", "a"}), 0, "1\n");
    EXPECT_RUN(kuvana({"ini", "get", "--json", file, "net", "name"}), 0,
               "{\"section\":\"net\",\"key\":\"name\",\"value\":\"x \\\"y\\\"\",\"warnings\":[]}\n");
    EXPECT_RUN(kuvana({"ini", "dump", file}), 0, "a=1\n\n[net]\nhost=box\nname=x \"y\"\n");
    EXPECT_REJECTS(kuvana({"ini", "get", file, "net", "port"}), 1, "net/port");

    // What the save drops or rewrites is said; names and values a line cannot
    // carry are refused with the file untouched.
    Result saved = kuvana({"ini", "set", file, "net", "port", "8080"});
    EXPECT_RUN(saved, 0, "");
    EXPECT_TRUE(contains(saved.err, "warning: the save drops the file's 1 comment line"))
        << saved.err;
    EXPECT_TRUE(contains(saved.err, "warning: the save rewrites 2 lines in the library's form"
                                    " (no blanks around '=', names in lower case, no trailing "
                                    "comments), such as 'Host = box ; comment'\n"));
    std::string before = kutest::readFile(file);
    EXPECT_REJECTS(kuvana({"ini", "set", file, "a/b", "k", "v"}), 2, "a/b");
    EXPECT_REJECTS(kuvana({"ini", "set", file, "net", "k", std::string(1100, 'v')}), 2, "k");
    EXPECT_REJECTS(kuvana({"ini", "set", file, "net", "k", "two\nlines"}), 2, "k");
    EXPECT_EQ(before, kutest::readFile(file));
    kutest::writeFile(dir.file("long.ini"), "k=" + std::string(1100, 'v') + "\n");
    EXPECT_TRUE(contains(kuvana({"ini", "dump", dir.file("long.ini")}).err,
                         "line 1 is 1102 bytes long; the library reads at most 1023"));
    EXPECT_RUN(kuvana({"ini", "set", file, "default", "b", "two words"}), 0, "");
    EXPECT_EQ("a=1\nb=\"two words\"\n\n[net]\nhost=box\nname=\"x \\\"y\\\"\"\nport=8080\n",
              kutest::readFile(file));
    EXPECT_RUN(kuvana({"ini", "delete", file, "net", "name"}), 0, "");
    EXPECT_REJECTS(kuvana({"ini", "delete", file, "net", "name"}), 1, "net/name");
    EXPECT_REJECTS(kuvana({"ini", "delete", file, "other"}), 1, "other");
    EXPECT_RUN(kuvana({"ini", "dump", "--json", file}), 0,
               "{\"sections\":{\"default\":{\"a\":\"1\",\"b\":\"two words\"},\"net\":"
               "{\"host\":\"box\",\"port\":\"8080\"}},\"warnings\":[]}\n");
    EXPECT_RUN(kuvana({"ini", "delete", file, "net"}), 0, "");
    EXPECT_EQ("a=1\nb=\"two words\"\n", kutest::readFile(file));

    // The read-only layer answers for what the file lacks.
    kutest::writeFile(dir.file("factory.ini"), "[net]\nport=80\n");
    EXPECT_RUN(kuvana({"ini", "get", "--defaults", dir.file("factory.ini"), file, "net", "port"}),
               0, "80\n");

    // A save interrupted after its ".ok" file was complete is committed by
    // the next run; a half-written ".tmp" file is thrown away.
    kutest::writeFile(file + ".ok", "a=new\n");
    kutest::writeFile(file + ".tmp", "a=half");
    EXPECT_RUN(kuvana({"ini", "get", file, "", "a"}), 0, "new\n");
    EXPECT_FALSE(access((file + ".ok").c_str(), F_OK) == 0);
    EXPECT_FALSE(access((file + ".tmp").c_str(), F_OK) == 0);

    EXPECT_REJECTS(kuvana({"ini", "dump", dir.file("missing.ini")}), 2, dir.file("missing.ini"));
    EXPECT_REJECTS(kuvana({"ini", "set", dir.file("no/such/dir.ini"), "s", "k", "v"}), 2,
                   dir.file("no/such/dir.ini"));
    EXPECT_EQ(2, kuvana({"ini", "set", file, "s", "k"}).status);
}
