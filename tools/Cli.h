// The frame shared by kuvana's commands: where output goes, how arguments are
// read, how errors end a command, and a small JSON writer.
#pragma once

#include <kuvanaTools/kuMemory.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kuvana {

class Json;

// Exit statuses of every command.
enum Status { kOk = 0, kFailed = 1, kUsage = 2 };

// Where a command writes: standard output/error, or a telnet connection.
class Output {
public:
    virtual ~Output() = default;
    virtual void write(const char *data, size_t length) = 0;
    void put(const std::string &text) { write(text.data(), text.size()); }
    void print(const char *format, ...) __attribute__((format(printf, 2, 3)));
};

class FileOutput : public Output {
public:
    explicit FileOutput(FILE *file) : file_(file) {}
    void write(const char *data, size_t length) override;

private:
    FILE *file_;
};

// Collects everything written (the console's error stream, tests of the frame).
class StringOutput : public Output {
public:
    void write(const char *data, size_t length) override { text.append(data, length); }
    std::string text;
};

// What a command runs with. readStdin is empty where there is no standard
// input to read (the console); otherwise it reads up to size bytes into
// buffer and gives the count, 0 at the end, -1 on an error.
struct Io {
    Output &out;
    Output &err;
    std::function<long(char *buffer, size_t size)> readStdin;
    // Set when the command is to stop (the console is stopping or the
    // connection went); long reads check it.
    const std::atomic<bool> *cancelled = nullptr;
    // Off on a console that serves other hosts: no '@FILE', no INI files.
    bool filesAllowed = true;
    // Set by the frame for each command: its title and what it warned of.
    std::string command = {};
    std::vector<std::string> warnings = {};
};

// Where the library's defined behaviour departs from what the relevant
// standard would make a user assume: a "warning:" line on the error stream,
// kept for the "warnings" array of --json output.
void warn(Io &io, const std::string &text);
// Adds "warnings": [...] to an object being built.
Json &addWarnings(Json &j, const Io &io);

// Thrown by a command to end with status 2 (bad usage, or input that cannot
// be read or does not parse) or 1 (a clean "no": the thing asked for is not
// there).
struct UsageError {
    std::string message;
};
struct InputError {
    std::string message;
};
struct NoAnswer {
    std::string message;
};

// The error functions cut every text argument (%s) to kQuoteLimit bytes, so
// an error never echoes a huge input.
[[noreturn]] void usageError(const char *format, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void inputError(const char *format, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void noAnswer(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *format, ...) __attribute__((format(printf, 1, 2)));
const size_t kQuoteLimit = 80;
// Text for an error message: at most kQuoteLimit bytes, cut on a character
// boundary and marked with "..." and the whole length.
std::string quoteable(const std::string &text);

// An option a command accepts: "--json" (a flag) or "--sink" with a value.
struct OptionDef {
    const char *name;
    bool takesValue;
};
inline const OptionDef kJson{"--json", false};

// The arguments of one command after its options were taken out.
class Args {
public:
    // Options may stand anywhere unless stopAtPositional, where the first
    // positional argument ends them (printf's arguments are data). "--" ends
    // the options; "-" and negative numbers are positional.
    Args(const std::vector<std::string> &words, const std::vector<OptionDef> &known,
         bool stopAtPositional = false);

    bool has(const std::string &option) const { return options_.count(option) != 0; }
    // The last value given for the option, or fallback.
    std::string value(const std::string &option, const std::string &fallback = "") const;
    std::vector<std::string> values(const std::string &option) const;
    const std::vector<std::string> &positional() const { return positional_; }
    size_t count() const { return positional_.size(); }
    const std::string &operator[](size_t index) const { return positional_.at(index); }
    // Exactly min ... max positional arguments, else a usage error.
    void expect(size_t min, size_t max) const;

private:
    std::multimap<std::string, std::string> options_;
    std::vector<std::string> positional_;
};

// An argument that names its input: "-" is standard input, "@FILE" a file,
// anything else the text itself.
std::string readInput(Io &io, const std::string &argument);
// A whole file ("-": standard input). Only regular files are read; a read
// that fails or ends short is an input error (status 2).
std::string readFileOrStdin(Io &io, const std::string &path);
// readInput in pieces of fixed size handed to take, for inputs of any size.
void streamInput(Io &io, const std::string &argument,
                 const std::function<void(const char *, size_t)> &take);
// A list text from a file: lines starting with '#' are comments, the other
// lines are joined without their line ends.
std::string stripComments(const std::string &text);
// Text with blanks and line ends removed from both ends.
std::string trim(const std::string &text);
// The text a command works on: its positional argument index (which may name
// standard input or a file), or standard input when there is none.
std::string subject(Io &io, const Args &args, size_t index = 0);
// The bytes in hex, two digits a byte.
std::string hex(const uint8_t *bytes, size_t length);

// Unsigned decimal number in the range, else a usage error naming what.
unsigned long parseNumber(const std::string &text, unsigned long max, const char *what);

// Frees through the library's release function F.
template <auto F> struct FreeWith {
    template <class T> void operator()(T *p) const { F(p); }
};
// The one owner of everything the library hands out, released with F.
template <class T, auto F> using Owned = std::unique_ptr<T, FreeWith<F>>;

// A string the library allocated.
using KuString = Owned<char, kuFree>;
// Its text; "" for null.
inline std::string str(const KuString &text)
{
    return text ? text.get() : "";
}

// Builds compact JSON text; the caller keeps the nesting balanced.
class Json {
public:
    Json &beginObject();
    Json &endObject();
    Json &beginArray();
    Json &endArray();
    Json &key(const std::string &name);
    Json &value(const std::string &text);
    Json &value(const char *text); // null text gives null
    Json &value(long long number);
    Json &value(long number) { return value((long long)number); }
    Json &value(int number) { return value((long long)number); }
    Json &value(unsigned number) { return valueUnsigned(number); }
    Json &value(unsigned long number) { return valueUnsigned(number); }
    Json &valueUnsigned(unsigned long long number);
    Json &value(double number);
    Json &value(bool flag);
    Json &null();
    template <typename T> Json &field(const std::string &name, T v) { return key(name).value(v); }
    std::string text() const { return text_ + "\n"; }

private:
    void separate();
    std::string text_;
    bool needComma_ = false;
};

std::string jsonEscape(const std::string &text);

// A command: "kuvana GROUP NAME ..." (NAME empty for one-word commands).
struct Command {
    std::string group;
    std::string name;
    std::string usage;   // arguments after the command words
    std::string summary; // one line
    std::string details; // further help text, may be empty
    std::vector<OptionDef> options;
    std::function<int(Io &, const Args &)> run;
    bool stopAtPositional = false;
};

// Registration, one function per command group, each in the group's file.
void addDemoCommand(std::vector<Command> &commands);
void addProtocolInfoCommands(std::vector<Command> &commands);
void addCompatCommand(std::vector<Command> &commands);
void addProfilesCommands(std::vector<Command> &commands);
void addUriCommands(std::vector<Command> &commands);
void addTimeCommands(std::vector<Command> &commands);
void addMimeCommands(std::vector<Command> &commands);
void addDigestCommands(std::vector<Command> &commands);
void addBase64Commands(std::vector<Command> &commands);
void addUuidCommand(std::vector<Command> &commands);
void addPrintfCommand(std::vector<Command> &commands);
void addIniCommands(std::vector<Command> &commands);
void addConsoleCommand(std::vector<Command> &commands);

// Runs "kuvana WORDS..." with the output in io; returns the exit status.
// insideConsole refuses the commands that make no sense on a connection.
int runCommand(Io &io, const std::vector<std::string> &words, bool insideConsole);

} // namespace kuvana
