// kuvana console: the library's telnet server running kuvana commands, one
// connection at a time, until SIGINT or SIGTERM.
#include "Cli.h"

#include <kuvanaTools/kuTelnet.h>

#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace kuvana {

namespace {

// Writes to a connection, with the line ends a terminal expects.
class TelnetOutput : public Output {
public:
    explicit TelnetOutput(kuTelnetConnection *connection) : connection_(connection) {}
    void write(const char *data, size_t length) override
    {
        std::string text;
        for (size_t i = 0; i < length; i++) {
            if (data[i] == '\n' && (i == 0 || data[i - 1] != '\r'))
                text += '\r';
            text += data[i];
        }
        for (size_t sent = 0; sent < text.size();) {
            int n = kuTelnet_Send(connection_, text.data() + sent, text.size() - sent);
            if (n <= 0)
                return;
            sent += size_t(n);
        }
    }

private:
    kuTelnetConnection *connection_;
};

// Splits a typed line into words: blanks separate, single and double quotes
// group, a backslash outside single quotes takes the next character as it is.
bool splitWords(const std::string &line, std::vector<std::string> &words, std::string &error)
{
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < line.size(); i++) {
        char c = line[i];
        if (quote != 0 && c == quote) {
            quote = 0;
        } else if (c == '\\' && quote != '\'' && i + 1 < line.size()) {
            word += line[++i];
            inWord = true;
        } else if (quote != 0) {
            word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote != 0) {
        error = format("unterminated %c quote", quote);
        return false;
    }
    if (inWord)
        words.push_back(word);
    return true;
}

void serve(kuTelnetConnection *connection)
{
    TelnetOutput out(connection);
    out.print("kuvana console (libkuvanaTools %s): type a command without 'kuvana',\n"
              "'help' for the list, 'quit' to leave.\n",
              KU_VERSION_STRING);
    for (;;) {
        out.put("kuvana> ");
        char line[8192];
        if (kuTelnet_RecvLine(connection, line, sizeof line) < 0)
            return;
        std::vector<std::string> words;
        std::string error;
        if (!splitWords(line, words, error)) {
            out.print("kuvana: %s\n", error.c_str());
            continue;
        }
        if (words.empty())
            continue;
        if (words[0] == "quit" || words[0] == "exit")
            return;
        Io io{out, out, {}};
        int status = runCommand(io, words, true);
        if (status != kOk)
            out.print("(exit status %d)\n", status);
    }
}

// The signal handler only writes to this pipe; the watcher thread does the
// closing, which is not safe in a handler.
int gStopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    int saved = errno;
    char byte = 1;
    ssize_t ignored = ::write(gStopPipe[1], &byte, 1);
    (void)ignored;
    errno = saved;
}

int console(Io &io, const Args &args)
{
    args.expect(0, 0);
    std::string address = args.value("--listen", "127.0.0.1");
    unsigned long port = parseNumber(args.value("--port", "2323"), 65535, "port");
    bool anyAddress = address.empty() || address == "any" || address == "0.0.0.0";
    kuTelnet *server = kuTelnet_New();
    if (kuTelnet_Listen(server, anyAddress ? nullptr : address.c_str(), int(port)) != 0) {
        kuTelnet_Delete(server);
        inputError("cannot listen on '%s' port %lu", address.c_str(), port);
    }
    if (pipe(gStopPipe) != 0) {
        kuTelnet_Delete(server);
        inputError("cannot create a pipe: %s", strerror(errno));
    }
    std::mutex lock;
    bool stopping = false;
    kuTelnetConnection *current = nullptr;
    std::thread watcher([&] {
        char byte;
        while (::read(gStopPipe[0], &byte, 1) < 0 && errno == EINTR) {
        }
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
        kuTelnet_Close(server);
        if (current != nullptr)
            kuTelnet_ConnectionClose(current);
    });
    struct sigaction action = {}, oldInt, oldTerm;
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);

    io.out.print("kuvana console listening on %s port %lu (telnet %s %lu); "
                 "Ctrl-C or SIGTERM stops it\n",
                 anyAddress ? "every address" : address.c_str(), port,
                 anyAddress ? "localhost" : address.c_str(), port);
    int status = kOk;
    for (;;) {
        kuTelnetConnection *connection = kuTelnet_AcceptConnection(server);
        {
            std::lock_guard<std::mutex> hold(lock);
            if (connection == nullptr || stopping) {
                if (!stopping) {
                    io.err.print("kuvana console: accepting a connection failed\n");
                    status = kFailed;
                }
                kuTelnet_ConnectionDelete(connection);
                break;
            }
            current = connection;
        }
        serve(connection);
        {
            std::lock_guard<std::mutex> hold(lock);
            current = nullptr;
        }
        kuTelnet_ConnectionDelete(connection);
    }
    onStopSignal(0); // releases the watcher when the loop ended on its own
    watcher.join();
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    close(gStopPipe[0]);
    close(gStopPipe[1]);
    gStopPipe[0] = gStopPipe[1] = -1;
    kuTelnet_Delete(server);
    io.out.print("kuvana console stopped\n");
    return status;
}

} // namespace

void addConsoleCommand(std::vector<Command> &commands)
{
    commands.push_back({"console", "", "[--listen ADDRESS] [--port N]",
                        "serve kuvana's commands over telnet until interrupted",
                        "Listens on ADDRESS (default 127.0.0.1; 'any' for every address) and\n"
                        "port N (default 2323), one connection at a time. Each typed line is\n"
                        "run as a kuvana command and its output goes to the connection; 'quit'\n"
                        "ends the connection. SIGINT or SIGTERM stops the server. Arguments\n"
                        "'@FILE' read files of the console's host; '-' is not available.\n",
                        {{"--listen", true}, {"--port", true}}, console});
}

} // namespace kuvana
