// kuvana console: the library's telnet server running kuvana commands for
// several connections at once, each on its own thread, until SIGINT or
// SIGTERM.
#include "Cli.h"

#include <kuvanaTools/kuTelnet.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <list>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kuvana {

namespace {

const size_t kMaxLine = 8191;

// Milliseconds on a monotonic clock, never 0 (0 marks "no deadline").
uint32_t nowMs()
{
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return uint32_t(ms) | 1u;
}

// One connection and the thread serving it. The watcher closes a connection
// that owes a line or refuses output for longer than the idle time-out:
// waitingSince is set while the thread waits on the peer, 0 while it works.
struct Client {
    kuTelnetConnection *connection = nullptr;
    std::thread thread;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> done{false};
    std::atomic<uint32_t> waitingSince{0};
};

// Writes to a connection, with the line ends a terminal expects.
class TelnetOutput : public Output {
public:
    explicit TelnetOutput(Client &client) : client_(client) {}
    void write(const char *data, size_t length) override
    {
        std::string text;
        for (size_t i = 0; i < length; i++) {
            if (data[i] == '\n' && (i == 0 || data[i - 1] != '\r'))
                text += '\r';
            text += data[i];
        }
        client_.waitingSince = nowMs();
        for (size_t sent = 0; sent < text.size() && !client_.cancelled;) {
            int n = kuTelnet_Send(client_.connection, text.data() + sent, text.size() - sent);
            if (n <= 0)
                client_.cancelled = true; // the peer is gone: stop the command too
            else
                sent += size_t(n);
        }
        client_.waitingSince = 0;
    }

private:
    Client &client_;
};

// Splits a typed line into words as a shell does: blanks separate, single
// quotes keep everything, double quotes keep everything but a backslash
// before '"' or '\', and a backslash outside quotes takes the next character.
bool splitWords(const std::string &line, std::vector<std::string> &words, std::string &error)
{
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < line.size(); i++) {
        char c = line[i];
        if (quote != 0 && c == quote) {
            quote = 0;
        } else if (c == '\\' && quote == 0 && i + 1 < line.size()) {
            word += line[++i];
            inWord = true;
        } else if (c == '\\' && quote == '"' && i + 1 < line.size() &&
                   (line[i + 1] == '"' || line[i + 1] == '\\')) {
            word += line[++i];
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

// Reads a line of at most kMaxLine bytes. The rest of a longer line is read
// and thrown away (tooLong set), so it never runs as a command of its own.
bool readLine(Client &client, std::string &line, bool &tooLong)
{
    line.clear();
    tooLong = false;
    client.waitingSince = nowMs();
    for (;;) {
        unsigned char byte;
        if (kuTelnet_RecvChar(client.connection, &byte) <= 0)
            return false;
        if (byte == '\n' || byte == '\0')
            break;
        if (byte == '\r')
            continue;
        if (line.size() < kMaxLine)
            line += char(byte);
        else
            tooLong = true;
    }
    client.waitingSince = 0;
    return true;
}

// Commands that use the library's process-wide state (UUID clock, files) run
// one at a time; their output is collected first, so a peer that does not
// read cannot hold the others up.
std::mutex gSerialLock;

bool serialised(const std::vector<std::string> &words)
{
    return words[0] == "uuid" || words[0] == "ini";
}

void serve(Client &client, bool filesAllowed)
{
    TelnetOutput out(client);
    out.print("kuvana console (libkuvanaTools %s): type a command without 'kuvana',\n"
              "'help' for the list, 'quit' to leave.\n",
              KU_VERSION_STRING);
    for (;;) {
        out.put("kuvana> ");
        std::string line;
        bool tooLong = false;
        if (client.cancelled || !readLine(client, line, tooLong))
            return;
        if (tooLong) {
            out.print("kuvana: line longer than %zu bytes, not run\n", kMaxLine);
            continue;
        }
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
        int status;
        if (serialised(words)) {
            StringOutput buffered;
            Io io{buffered, buffered, {}, &client.cancelled, filesAllowed};
            {
                std::lock_guard<std::mutex> hold(gSerialLock);
                status = runCommand(io, words, true);
            }
            out.put(buffered.text);
        } else {
            Io io{out, out, {}, &client.cancelled, filesAllowed};
            status = runCommand(io, words, true);
        }
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

bool isLoopback(const std::string &address)
{
    in_addr a;
    return address == "localhost" ||
           (inet_pton(AF_INET, address.c_str(), &a) == 1 && (ntohl(a.s_addr) >> 24) == 127);
}

// Why listening failed: the library logs it, so the same steps are tried
// again here to learn the system's reason.
std::string listenFailure(const std::string &address, bool anyAddress, unsigned long port)
{
    sockaddr_in where = {};
    where.sin_family = AF_INET;
    where.sin_port = htons(uint16_t(port));
    if (!anyAddress && inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
        addrinfo hints = {}, *found = nullptr;
        hints.ai_family = AF_INET;
        int rc = getaddrinfo(address.c_str(), nullptr, &hints, &found);
        if (rc != 0)
            return format("cannot resolve the address: %s", gai_strerror(rc));
        where.sin_addr = reinterpret_cast<sockaddr_in *>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return strerror(errno);
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    std::string reason = "reason unknown";
    if (bind(s, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0 || listen(s, 1) != 0)
        reason = strerror(errno);
    close(s);
    return reason;
}

struct Settings {
    size_t maxClients;
    uint32_t idleMs; // 0: no time-out
    bool filesAllowed;
};

// Closes the connections that waited on their peer too long, and reaps the
// threads that ended. Called with the lock held.
void sweep(std::list<Client> &clients, const Settings &settings)
{
    uint32_t now = nowMs();
    for (auto it = clients.begin(); it != clients.end();) {
        if (it->done) {
            it->thread.join();
            kuTelnet_ConnectionDelete(it->connection);
            it = clients.erase(it);
            continue;
        }
        uint32_t since = it->waitingSince;
        if (settings.idleMs != 0 && since != 0 && now - since > settings.idleMs &&
            !it->cancelled.exchange(true))
            kuTelnet_ConnectionClose(it->connection);
        ++it;
    }
}

int console(Io &io, const Args &args)
{
    args.expect(0, 0);
    std::string address = args.value("--listen", "127.0.0.1");
    unsigned long port = parseNumber(args.value("--port", "2323"), 65535, "port");
    Settings settings;
    settings.maxClients = parseNumber(args.value("--max-clients", "8"), 1000, "client limit");
    settings.idleMs =
        uint32_t(parseNumber(args.value("--idle-timeout", "300"), 86400, "idle time-out") * 1000);
    if (settings.maxClients == 0)
        usageError("the client limit must be at least 1");
    bool anyAddress = address.empty() || address == "any" || address == "0.0.0.0";
    bool remote = !isLoopback(address);
    if (remote && !args.has("--allow-remote"))
        usageError("'%s' is reachable from other hosts: add --allow-remote to serve them",
                   address.c_str());
    settings.filesAllowed = !remote || args.has("--allow-files");
    kuTelnet *server = kuTelnet_New();
    if (kuTelnet_Listen(server, anyAddress ? nullptr : address.c_str(), int(port)) != 0) {
        kuTelnet_Delete(server);
        inputError("cannot listen on '%s' port %lu: %s", address.c_str(), port,
                  listenFailure(address, anyAddress, port).c_str());
    }
    if (pipe(gStopPipe) != 0) {
        kuTelnet_Delete(server);
        inputError("cannot create a pipe: %s", strerror(errno));
    }
    std::mutex lock;
    bool stopping = false;
    std::list<Client> clients;
    std::thread watcher([&] {
        for (;;) {
            pollfd stop = {gStopPipe[0], POLLIN, 0};
            if (poll(&stop, 1, 100) > 0)
                break;
            std::lock_guard<std::mutex> hold(lock);
            sweep(clients, settings);
        }
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
        kuTelnet_Close(server);
        for (Client &c : clients)
            if (!c.cancelled.exchange(true))
                kuTelnet_ConnectionClose(c.connection);
    });
    struct sigaction action = {}, oldInt, oldTerm;
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);

    if (remote)
        io.err.print("kuvana console: warning: every host that reaches %s port %lu can run "
                     "commands here%s\n",
                     anyAddress ? "this machine" : address.c_str(), port,
                     settings.filesAllowed ? ", and read and write this machine's files"
                                           : " (files stay closed to them)");
    io.out.print("kuvana console listening on %s port %lu (telnet %s %lu), up to %zu "
                 "clients; Ctrl-C or SIGTERM stops it\n",
                 anyAddress ? "every address" : address.c_str(), port,
                 anyAddress ? "localhost" : address.c_str(), port, settings.maxClients);
    int status = kOk;
    for (;;) {
        kuTelnetConnection *connection = kuTelnet_AcceptConnection(server);
        std::lock_guard<std::mutex> hold(lock);
        if (connection == nullptr || stopping) {
            if (!stopping) {
                io.err.print("kuvana console: accepting a connection failed\n");
                status = kFailed;
            }
            kuTelnet_ConnectionDelete(connection);
            break;
        }
        sweep(clients, settings);
        if (clients.size() >= settings.maxClients) {
            kuTelnet_Print(connection, "kuvana console: busy, every place is taken; "
                                       "try again later\r\n");
            kuTelnet_ConnectionDelete(connection);
            continue;
        }
        clients.emplace_back();
        Client &client = clients.back();
        client.connection = connection;
        bool files = settings.filesAllowed;
        client.thread = std::thread([&client, files] {
            try {
                serve(client, files);
            } catch (...) {
                // Commands report their own errors; nothing may end the server.
            }
            client.done = true;
        });
    }
    onStopSignal(0); // releases the watcher when the loop ended on its own
    watcher.join();
    // Commands see the cancel mark at their next read; one that does not
    // return soon is left behind rather than holding the stop up.
    bool finished = false;
    for (int i = 0; i < 40 && !finished; i++) {
        std::lock_guard<std::mutex> hold(lock);
        sweep(clients, settings);
        finished = clients.empty();
        if (!finished)
            usleep(50000);
    }
    if (!finished) {
        io.err.print("kuvana console: stopped with commands still running\n");
        _exit(kFailed);
    }
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
    commands.push_back(
        {"console", "",
         "[--listen ADDRESS] [--port N] [--max-clients N] [--idle-timeout SECONDS] "
         "[--allow-remote] [--allow-files]",
         "serve kuvana's commands over telnet until interrupted",
         "Listens on ADDRESS (default 127.0.0.1) and port N (default 2323). Each\n"
         "typed line is run as a kuvana command and its output goes to the\n"
         "connection; 'quit' ends the connection. SIGINT or SIGTERM stops the\n"
         "server. Lines longer than 8191 bytes are refused whole.\n"
         "\n"
         "--max-clients N         connections served at once (default 8); one more\n"
         "                        is told the console is busy and closed\n"
         "--idle-timeout SECONDS  close a connection that has not finished a line,\n"
         "                        or has not taken output, for this long (default\n"
         "                        300; 0 for never)\n"
         "--allow-remote          needed for an ADDRESS outside 127.0.0.0/8 ('any'\n"
         "                        for every address): every host that reaches the\n"
         "                        port can run commands; a warning says so\n"
         "--allow-files           let such a console's sessions read files ('@FILE')\n"
         "                        and use the ini commands; a loopback console\n"
         "                        always may. '-' (standard input) is not available.\n",
         {{"--listen", true},
          {"--port", true},
          {"--max-clients", true},
          {"--idle-timeout", true},
          {"--allow-remote", false},
          {"--allow-files", false}},
         console});
}

} // namespace kuvana
