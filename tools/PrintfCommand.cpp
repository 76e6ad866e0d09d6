// printf: the library's formatted output from command-line arguments.
#include "Cli.h"

#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuWString.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kuvana {

namespace {

//
// The engine reads its arguments from a va_list, whose types are fixed at
// compile time. So the format is cut into pieces of literal text and one
// directive each; every piece is formatted on its own with its star values
// and its value converted to the type its conversion letter and length
// modifier ask for. Positions ("%2$s") are resolved here and removed from the
// piece, so the engine sees plain sequential directives.

struct Directive {
    std::string piece;          // literal text before it and the directive, positions removed
    std::vector<size_t> stars;  // argument positions of '*' values, in the order written
    long value = -1;            // argument position of the value, -1 for none ("%%", text only)
    char conversion = 0;
    std::string length;         // "", "h", "hh", "l", "ll", "L", "j", "z", "t"
};

std::string unescapeFormat(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c == '\\' ? '\\' : c;
        if (strchr("ntr\\", c) == nullptr)
            out.insert(out.size() - 1, 1, '\\');
    }
    return out;
}

// The engine takes arguments 1 to 64 (kuPrintf.h); the tool holds formats to
// the same rule before it sizes anything by a position.
const long kMaxPositions = 64;

// Reads "N$" at text[at]; returns N - 1 and moves past it, or -1.
long readPosition(const std::string &text, size_t &at)
{
    size_t end = at;
    long n = 0;
    for (; end < text.size() && isdigit((unsigned char)text[end]); end++)
        n = std::min(n * 10 + (text[end] - '0'), kMaxPositions + 1);
    if (end == at || end == text.size() || text[end] != '$')
        return -1;
    if (n < 1)
        return -1;
    if (n > kMaxPositions)
        inputError("position '%s' is above the engine's limit of %ld arguments",
                   text.substr(at, end + 1 - at).c_str(), kMaxPositions);
    at = end + 1;
    return n - 1;
}

std::vector<Directive> splitFormat(const std::string &format)
{
    std::vector<Directive> pieces;
    Directive current;
    size_t running = 0;
    for (size_t at = 0; at < format.size();) {
        if (format[at] != '%') {
            current.piece += format[at++];
            continue;
        }
        if (at + 1 < format.size() && format[at + 1] == '%') {
            current.piece += "%%";
            at += 2;
            continue;
        }
        size_t start = at;
        current.piece += format[at++];
        long explicitValue = readPosition(format, at);
        std::vector<long> stars;
        while (at < format.size()) {
            char c = format[at];
            if (c == '*') {
                current.piece += format[at++];
                long position = readPosition(format, at);
                if (position < 0) {
                    if (explicitValue >= 0)
                        running++;
                    position = long(running);
                    if (explicitValue < 0)
                        running++;
                }
                current.stars.push_back(size_t(position));
            } else if (strchr("-+ #0123456789.hlLjzt", c) != nullptr) {
                if (strchr("hlLjzt", c) != nullptr)
                    current.length += c;
                current.piece += format[at++];
            } else {
                break;
            }
        }
        if (at < format.size())
            current.conversion = format[at];
        current.piece += current.conversion ? std::string(1, format[at++]) : "";
        if (current.conversion == 'n')
            usageError("'%%n' stores into memory and has no place here");
        // Arguments are converted by their letter, so the letter must be known.
        if (current.conversion == 0 || strchr("diuoxXcspfFeEgGaA", current.conversion) == nullptr)
            inputError("'%s': '%s' ends in no known conversion (d i u o x X c s p f F e E g G "
                       "a A)", format.c_str(), format.substr(start, at - start).c_str());
        if (current.conversion != 0)
            current.value = explicitValue >= 0 ? explicitValue : long(running++);
        pieces.push_back(current);
        current = Directive();
    }
    if (!current.piece.empty())
        pieces.push_back(current);
    return pieces;
}

long long toInteger(const std::string &text, size_t position)
{
    char *end = nullptr;
    errno = 0;
    long long value = strtoll(text.c_str(), &end, 0);
    if (errno == ERANGE && text[0] != '-') {
        errno = 0;
        value = (long long)strtoull(text.c_str(), &end, 0);
    }
    if (text.empty() || *end != '\0' || errno != 0)
        inputError("argument %zu '%s' is not an integer", position + 1, text.c_str());
    return value;
}

// A character argument: one UTF-8 character stands for itself, otherwise a
// number or "U+XXXX" gives the code point.
int toCodePoint(const std::string &text, size_t position)
{
    wchar_t *wide = kuWString_S_FromUTF8(text.c_str());
    bool single = wide != nullptr && wide[0] != 0 && wide[1] == 0;
    int code = single ? int(wide[0]) : 0;
    kuFree(wide);
    if (single)
        return code;
    if (text.size() > 2 && (text[0] == 'U' || text[0] == 'u') && text[1] == '+')
        return int(toInteger("0x" + text.substr(2), position));
    return int(toInteger(text, position));
}

template <typename T> char *formatPiece(const Directive &d, const std::vector<int> &s, T value)
{
    const char *f = d.piece.c_str();
    switch (s.size()) {
    case 0: return ku_mnprintf(f, value);
    case 1: return ku_mnprintf(f, s[0], value);
    case 2: return ku_mnprintf(f, s[0], s[1], value);
    default: return ku_mnprintf(f, s[0], s[1], s[2], value);
    }
}

char *formatDirective(const Directive &d, const std::vector<std::string> &args)
{
    std::vector<int> stars;
    for (size_t position : d.stars)
        stars.push_back(int(toInteger(args[position], position)));
    if (stars.size() > 3)
        inputError("'%s' has more than three '*'", d.piece.c_str());
    if (d.value < 0 || d.conversion == 0)
        return ku_mnprintf(d.piece.c_str(), 0);
    const std::string &arg = args[size_t(d.value)];
    size_t position = size_t(d.value);
    const std::string &l = d.length;
    bool wide = l == "l";
    switch (d.conversion) {
    case 'd': case 'i':
        if (l == "ll" || l == "j") return formatPiece(d, stars, toInteger(arg, position));
        if (l == "l") return formatPiece(d, stars, long(toInteger(arg, position)));
        if (l == "z") return formatPiece(d, stars, ssize_t(toInteger(arg, position)));
        if (l == "t") return formatPiece(d, stars, ptrdiff_t(toInteger(arg, position)));
        return formatPiece(d, stars, int(toInteger(arg, position)));
    case 'u': case 'o': case 'x': case 'X':
        if (l == "ll" || l == "j")
            return formatPiece(d, stars, (unsigned long long)toInteger(arg, position));
        if (l == "l") return formatPiece(d, stars, (unsigned long)toInteger(arg, position));
        if (l == "z" || l == "t") return formatPiece(d, stars, size_t(toInteger(arg, position)));
        return formatPiece(d, stars, unsigned(toInteger(arg, position)));
    case 'c':
        return formatPiece(d, stars, toCodePoint(arg, position));
    case 's':
        if (wide) {
            wchar_t *text = kuWString_S_FromUTF8(arg.c_str());
            if (text == nullptr)
                inputError("argument %zu '%s' is not UTF-8", position + 1, arg.c_str());
            char *out = formatPiece(d, stars, static_cast<const wchar_t *>(text));
            kuFree(text);
            return out;
        }
        return formatPiece(d, stars, arg.c_str());
    case 'p':
        return formatPiece(d, stars, reinterpret_cast<void *>(uintptr_t(toInteger(arg, position))));
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': {
        char *end = nullptr;
        double value = strtod(arg.c_str(), &end);
        if (arg.empty() || *end != '\0')
            inputError("argument %zu '%s' is not a number", position + 1, arg.c_str());
        return formatPiece(d, stars, value);
    }
    default:
        return nullptr;
    }
}

int printfCommand(Io &io, const Args &args)
{
    args.expect(1, 1000);
    std::vector<Directive> pieces = splitFormat(unescapeFormat(args[0]));
    std::vector<std::string> values(args.positional().begin() + 1, args.positional().end());
    std::vector<int> uses;
    for (const Directive &d : pieces) {
        std::vector<size_t> positions = d.stars;
        if (d.value >= 0)
            positions.push_back(size_t(d.value));
        for (size_t p : positions) {
            if (p >= size_t(kMaxPositions))
                inputError("the format '%s' takes more than the engine's %ld arguments",
                           args[0].c_str(), kMaxPositions);
            if (p >= uses.size())
                uses.resize(p + 1);
            uses[p]++;
        }
    }
    for (size_t p = 0; p < uses.size(); p++)
        if (uses[p] != 1)
            usageError("the format '%s' uses argument %zu %s", args[0].c_str(), p + 1,
                       uses[p] ? "twice" : "never");
    if (values.size() != uses.size())
        usageError("the format '%s' takes %zu argument%s, %zu given", args[0].c_str(), uses.size(),
                   uses.size() == 1 ? "" : "s", values.size());
    std::string output;
    for (const Directive &d : pieces) {
        KuString text(formatDirective(d, values));
        if (!text && d.value >= 0)
            inputError("the engine rejects '%s' with argument %ld '%s'", d.piece.c_str(),
                       d.value + 1, values[size_t(d.value)].c_str());
        if (!text)
            inputError("the engine rejects '%s'", d.piece.c_str());
        output += text.get();
    }
    if (args.has("--json"))
        io.out.put(addWarnings(Json().beginObject().field("text", output), io).endObject().text());
    else
        io.out.put(output);
    return kOk;
}

} // namespace

void addPrintfCommand(std::vector<Command> &commands)
{
    commands.push_back({"printf", "", "[--json] FORMAT [ARGUMENTS...]",
                        "the library's formatted output",
                        "Each argument is converted as its directive's conversion letter asks:\n"
                        "d i u o x X integers (decimal, 0x hex or 0 octal), c a character or a\n"
                        "code point (65, U+263A), s text (ls: as wide characters), p an address,\n"
                        "a e f g floating point. Positions (%2$s), '*' widths and bases (%.2.16u)\n"
                        "work as in the engine. \\n, \\t, \\r and \\\\ in FORMAT are\n"
                        "control characters; no line feed is added.\n",
                        {kJson}, printfCommand, true});
}

} // namespace kuvana
