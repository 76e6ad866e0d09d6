// kuvana: the library's command-line tool. Every command writes through an
// Output, so the same code serves a terminal and the telnet console.
#include "Cli.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <unistd.h>

namespace kuvana {

namespace {

const std::vector<Command> &commands()
{
    static const std::vector<Command> all = [] {
        std::vector<Command> list;
        for (auto add : {addDemoCommand, addProtocolInfoCommands, addCompatCommand,
                         addProfilesCommands, addUriCommands, addTimeCommands, addMimeCommands,
                         addDigestCommands, addBase64Commands, addUuidCommand, addPrintfCommand,
                         addIniCommands, addConsoleCommand})
            add(list);
        return list;
    }();
    return all;
}

std::string title(const Command &c)
{
    return c.name.empty() ? c.group : c.group + " " + c.name;
}

std::string synopsis(const Command &c)
{
    return "kuvana " + title(c) + (c.usage.empty() ? "" : " " + c.usage);
}

void printOverview(Output &out, bool insideConsole)
{
    if (insideConsole)
        out.print("Type a command without 'kuvana' (libkuvanaTools %s):\n", KU_VERSION_STRING);
    else
        out.print("usage: kuvana COMMAND [ARGUMENTS...]\n"
                  "libkuvanaTools %s: DLNA descriptors, URIs, times, INI files, digests and "
                  "more.\n\ncommands:\n",
                  KU_VERSION_STRING);
    std::string group;
    for (const Command &c : commands()) {
        std::string head = title(c);
        out.print("  %-26s %s\n", head.c_str(), c.summary.c_str());
    }
    if (insideConsole) {
        out.put("\n'help COMMAND' or 'COMMAND --help' gives details; most commands take\n"
                "--json. Words are split as a shell would: quotes group, a backslash\n"
                "escapes. '@FILE' reads a file of the console's host where the console\n"
                "allows it; there is no standard input. 'quit' ends the session.\n");
        return;
    }
    out.put("\nEvery command takes --help; most take --json for scripts. An argument\n"
            "'-' reads standard input, '@FILE' reads a file.\n"
            "Exit status: 0 success or a match, 1 a clean \"no\" (no match, key missing),\n"
            "2 bad usage or bad input. Warnings on standard error name where the\n"
            "library's rules differ from the standards; --json lists them too.\n"
            "Start with: kuvana demo\n");
}

void printGroup(Output &out, const std::string &group, bool insideConsole)
{
    out.print("usage:\n");
    for (const Command &c : commands())
        if (c.group == group)
            out.print("  %s\n      %s\n", synopsis(c).c_str(), c.summary.c_str());
    out.print("Run '%s%s COMMAND --help' for details.\n", insideConsole ? "" : "kuvana ",
              group.c_str());
}

void printCommand(Output &out, const Command &c)
{
    out.print("usage: %s\n%s\n", synopsis(c).c_str(), c.summary.c_str());
    if (!c.details.empty())
        out.print("\n%s", c.details.c_str());
}

// With --json among the options, an error is a JSON object on standard
// output as well, so a script reads one document whatever happened.
int jsonError(Io &io, const Command &c, const std::vector<std::string> &words,
              const std::string &message, int status)
{
    bool json = false;
    for (const std::string &w : words) {
        if (w == "--" || (c.stopAtPositional && !w.empty() && w[0] != '-'))
            break;
        json = json || w == "--json";
    }
    if (json) {
        Json j;
        j.beginObject().field("error", message).field("status", status);
        io.out.put(addWarnings(j, io).endObject().text());
    }
    return status;
}

int run(Io &io, const Command &c, const std::vector<std::string> &words)
{
    io.command = title(c);
    io.warnings.clear();
    std::vector<OptionDef> known = c.options;
    known.push_back({"--help", false});
    known.push_back({"-h", false});
    try {
        // --help wins even over arguments that would be wrong.
        for (const std::string &w : words) {
            if (w == "--help" || w == "-h") {
                printCommand(io.out, c);
                return kOk;
            }
            if (w == "--" || (c.stopAtPositional && !w.empty() && w[0] != '-'))
                break;
        }
        Args args(words, known, c.stopAtPositional);
        return c.run(io, args);
    } catch (const UsageError &e) {
        io.err.print("kuvana %s: %s\nusage: %s\n", title(c).c_str(), e.message.c_str(),
                     synopsis(c).c_str());
        return jsonError(io, c, words, e.message, kUsage);
    } catch (const InputError &e) {
        io.err.print("kuvana %s: %s\n", title(c).c_str(), e.message.c_str());
        return jsonError(io, c, words, e.message, kUsage);
    } catch (const NoAnswer &e) {
        io.err.print("kuvana %s: %s\n", title(c).c_str(), e.message.c_str());
        return jsonError(io, c, words, e.message, kFailed);
    } catch (const std::bad_alloc &) {
        io.err.print("kuvana %s: out of memory\n", title(c).c_str());
        return jsonError(io, c, words, "out of memory", kUsage);
    }
}

} // namespace

int runCommand(Io &io, const std::vector<std::string> &words, bool insideConsole)
{
    if (words.empty()) {
        printOverview(io.err, insideConsole);
        return kUsage;
    }
    const std::string &first = words[0];
    if (first == "--help" || first == "-h" || first == "help") {
        if (words.size() > 1 && first == "help") {
            std::vector<std::string> rest(words.begin() + 1, words.end());
            rest.push_back("--help");
            return runCommand(io, rest, insideConsole);
        }
        printOverview(io.out, insideConsole);
        return kOk;
    }
    if (first == "--version") {
        io.out.print("kuvana %s\n", KU_VERSION_STRING);
        return kOk;
    }
    bool known = false;
    for (const Command &c : commands()) {
        if (c.group != first)
            continue;
        known = true;
        if (!io.filesAllowed && c.group == "ini") {
            io.err.print("kuvana ini: this console does not read or write files "
                         "(see --allow-files)\n");
            return kUsage;
        }
        if (c.name.empty()) {
            if (insideConsole && c.group == "console") {
                io.err.print("kuvana console: already in the console\n");
                return kUsage;
            }
            return run(io, c, std::vector<std::string>(words.begin() + 1, words.end()));
        }
        if (words.size() > 1 && words[1] == c.name)
            return run(io, c, std::vector<std::string>(words.begin() + 2, words.end()));
    }
    if (!known) {
        io.err.print("kuvana: unknown command '%s' (try '%s')\n", quoteable(first).c_str(),
                     insideConsole ? "help" : "kuvana --help");
        return kUsage;
    }
    if (words.size() > 1 && (words[1] == "--help" || words[1] == "-h")) {
        printGroup(io.out, first, insideConsole);
        return kOk;
    }
    if (words.size() > 1)
        io.err.print("kuvana %s: unknown command '%s'\n", first.c_str(),
                     quoteable(words[1]).c_str());
    printGroup(io.err, first, insideConsole);
    return kUsage;
}

} // namespace kuvana

int main(int argc, char **argv)
{
    kuvana::FileOutput out(stdout), err(stderr);
    kuvana::Io io{out, err, [](char *buffer, size_t size) -> long {
                      for (;;) {
                          ssize_t n = read(0, buffer, size);
                          if (n >= 0 || errno != EINTR)
                              return long(n);
                      }
                  }};
    return kuvana::runCommand(io, std::vector<std::string>(argv + 1, argv + argc), false);
}
