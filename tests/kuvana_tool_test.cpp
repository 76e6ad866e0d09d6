// The kuvana tool end to end: the built binary is run with arguments and
// standard input, and its output and exit status are checked.
#include "support/Loopback.h"
#include "support/TestUtil.h"

#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuSHA1.h>

#include <gtest/gtest.h>

#include <cstdlib>
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
               "{\"seconds\":1,\"milliseconds\":250}\n");
    EXPECT_RUN(kuvana({"time", "clock", "1:23.5"}), 0, "83 s, fraction 5 (0:01:23)\n");
    EXPECT_RUN(kuvana({"time", "date", "2011-12-05T10:20:30.123-05:30"}), 0,
               "2011-12-05 10:20:30.123 -05:30\n");
    EXPECT_RUN(kuvana({"time", "fraction", "-1 1/2"}), 0, "-1.5 = -1 1/2\n");
    EXPECT_RUN(kuvana({"time", "fraction", "--json", "0.75"}), 0,
               "{\"value\":0.75,\"fraction\":\"3/4\"}\n");

    EXPECT_REJECTS(kuvana({"time", "duration", "1:2:3"}), 1, "1:2:3");
    EXPECT_REJECTS(kuvana({"time", "clock", "1:60"}), 1, "1:60");
    EXPECT_REJECTS(kuvana({"time", "date", "2011-13-01"}), 1, "2011-13-01");
    EXPECT_REJECTS(kuvana({"time", "fraction", "1/0"}), 1, "1/0");
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
               "\"bytes\":3}\n");
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
               "{\"bytes\":2,\"hex\":\"0001\"}\n");
    EXPECT_REJECTS(kuvana({"base64", "decode", "a$bc"}), 1, "a$bc");
    EXPECT_REJECTS(kuvana({"base64", "decode", "abc"}), 1, "abc");
    EXPECT_REJECTS(kuvana({"base64", "decode", "ab=c"}), 1, "ab=c");
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
    }

    // An error quotes at most 80 bytes of its input.
    Result big = kuvana({"protocolinfo", "parse", "-"}, std::string(1000000, 'x'));
    EXPECT_EQ(1, big.status);
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
    EXPECT_RUN(kuvana({"printf", "--json", "%d\\t", "-5"}), 0, "{\"text\":\"-5\\t\"}\n");
    // What only the library's engine does: any base, UTF-8 characters, and
    // h/hh that do not narrow.
    EXPECT_RUN(kuvana({"printf", "%#..2u|%.2.36u|%lc|%ls|%hhd|%p", "5", "71", "\xC3\xA9",
                       "w\xC3\xAF", "300", "0x10"}),
               0, "0b101|1z|\xC3\xA9|w\xC3\xAF|300|0x" + std::string(2 * sizeof(void *) - 2, '0') +
                      "10");
    EXPECT_REJECTS(kuvana({"printf", "%s", "\xFF"}), 1, "\xFF");
    EXPECT_REJECTS(kuvana({"printf", "%hhhd", "1"}), 1, "%hhhd");

    EXPECT_REJECTS(kuvana({"printf", "%d %d", "1"}), 2, "%d %d");
    EXPECT_EQ(2, kuvana({"printf", "%d", "1", "2"}).status);
    EXPECT_REJECTS(kuvana({"printf", "%d", "twelve"}), 1, "twelve");
    EXPECT_REJECTS(kuvana({"printf", "%f", "1.5x"}), 1, "1.5x");
    EXPECT_REJECTS(kuvana({"printf", "%q", "1"}), 1, "%q");
    EXPECT_REJECTS(kuvana({"printf", "100%"}), 1, "100%");
    EXPECT_EQ(2, kuvana({"printf", "%1$d %1$d", "1"}).status);
    EXPECT_EQ(2, kuvana({"printf", "%n", "1"}).status);
    // Positions beyond the engine's limit are refused before anything is sized by them.
    EXPECT_REJECTS(kuvana({"printf", "%99999999999$d", "1"}), 1, "99999999999$");
    EXPECT_REJECTS(kuvana({"printf", "%2147483647$d", "1"}), 1, "2147483647$");
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
               "\"utf-8\"}}\n");
    EXPECT_EQ(2, kuvana({"mime", "compare", "a/b"}).status);
}

TEST(kuvanaTool, Uris)
{
    EXPECT_RUN(kuvana({"uri", "parse", "--json", "http://user@[::1]:8080/a/b.mp3?x=1&y#f"}), 0,
               "{\"scheme\":\"http\",\"userInfo\":\"user\",\"host\":\"::1\",\"port\":8080,"
               "\"path\":\"/a/b.mp3\",\"pathRefused\":false,\"extension\":\"mp3\","
               "\"query\":\"x=1&y\",\"queryParts\":[{\"name\":\"x\",\"value\":\"1\"},"
               "{\"name\":\"y\",\"value\":null}],\"fragment\":\"f\","
               "\"composed\":\"http://user@[::1]:8080/a/b.mp3?x=1&y#f\"}\n");
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

    EXPECT_REJECTS(kuvana({"uri", "escape", "--component", "path", "../etc"}), 1, "../etc");
    EXPECT_REJECTS(kuvana({"uri", "escape", "--component", "host", "x"}), 2, "host");
    EXPECT_EQ(2, kuvana({"uri", "combine", "http://h/"}).status);
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
    EXPECT_TRUE(contains(r.out, "\n12 of 14 offers play on this renderer.\n"));

    Result json = kuvana({"demo", "--json"});
    EXPECT_TRUE(contains(json.out, "\"playable\":12}\n")) << json.out;

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
    EXPECT_TRUE(contains(odd.out, "dropped           X=1 "));
    EXPECT_TRUE(contains(odd.out, "dropped           VENDOR_Y=a.b "));
    EXPECT_TRUE(contains(odd.out, "normalised        http-get:*:video/mpeg:DLNA.ORG_OP=10;"
                                  "DLNA.ORG_PS=-2,-1/2,1/2,2;VENDOR_X=abc\n"));
    Result json = kuvana({"protocolinfo", "parse", "--json", "-"}, kMp3);
    EXPECT_TRUE(contains(json.out, "\"profileName\":\"MP3\",\"timeSeek\":false,"
                                   "\"rangeSeek\":true")) << json.out;
    EXPECT_TRUE(contains(json.out, "\"httpStalling\":true,\"dlnaV15\":true,"
                                   "\"linkProtected\":false"));
    EXPECT_REJECTS(kuvana({"protocolinfo", "parse", "junk"}), 1, "junk");

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
              "         rtsp-rtp-udp:*:*:DLNA.ORG_PN=X\n",
              miss.out);
    Result missJson = kuvana({"protocolinfo", "match", "--json", "http-get:*:a/b:*", list});
    EXPECT_EQ(1, missJson.status);
    EXPECT_TRUE(contains(missJson.out, "\"matched\":false,\"mismatches\":[{\"index\":1,"
                                       "\"step\":\"content format\"")) << missJson.out;
    EXPECT_REJECTS(kuvana({"protocolinfo", "match", "junk", list}), 1, "junk");
    EXPECT_EQ(1, kuvana({"protocolinfo", "match", kMp3, "junk,more junk"}).status);
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
    kutest::writeFile(file, "a=1\n[Net]\nHost = box ; comment\nName=\"x \\\"y\\\"\"\n");
    EXPECT_RUN(kuvana({"ini", "get", file, "NET", "host"}), 0, "box\n");
    EXPECT_RUN(kuvana({"ini", "get", file, "", "a"}), 0, "1\n");
    EXPECT_RUN(kuvana({"ini", "get", "--json", file, "net", "name"}), 0,
               "{\"section\":\"net\",\"key\":\"name\",\"value\":\"x \\\"y\\\"\"}\n");
    EXPECT_RUN(kuvana({"ini", "dump", file}), 0, "a=1\n\n[net]\nhost=box\nname=x \"y\"\n");
    EXPECT_REJECTS(kuvana({"ini", "get", file, "net", "port"}), 1, "net/port");

    EXPECT_RUN(kuvana({"ini", "set", file, "net", "port", "8080"}), 0, "");
    EXPECT_RUN(kuvana({"ini", "set", file, "default", "b", "two words"}), 0, "");
    EXPECT_EQ("a=1\nb=\"two words\"\n\n[net]\nhost=box\nname=\"x \\\"y\\\"\"\nport=8080\n",
              kutest::readFile(file));
    EXPECT_RUN(kuvana({"ini", "delete", file, "net", "name"}), 0, "");
    EXPECT_REJECTS(kuvana({"ini", "delete", file, "net", "name"}), 1, "net/name");
    EXPECT_REJECTS(kuvana({"ini", "delete", file, "other"}), 1, "other");
    EXPECT_RUN(kuvana({"ini", "dump", "--json", file}), 0,
               "{\"default\":{\"a\":\"1\",\"b\":\"two words\"},\"net\":{\"host\":\"box\","
               "\"port\":\"8080\"}}\n");
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

    EXPECT_REJECTS(kuvana({"ini", "dump", dir.file("missing.ini")}), 1, dir.file("missing.ini"));
    EXPECT_REJECTS(kuvana({"ini", "set", dir.file("no/such/dir.ini"), "s", "k", "v"}), 1,
                   dir.file("no/such/dir.ini"));
    EXPECT_EQ(2, kuvana({"ini", "set", file, "s", "k"}).status);
}
