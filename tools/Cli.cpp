#include "Cli.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace kuvana {

namespace {

std::string vformat(const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return "";
    std::string text(size_t(length) + 1, '\0');
    vsnprintf(&text[0], text.size(), format, args);
    text.resize(size_t(length));
    return text;
}

bool looksNumeric(const std::string &word)
{
    return word.size() > 1 && word[0] == '-' &&
           (isdigit((unsigned char)word[1]) || word[1] == '.');
}

} // namespace

void Output::print(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    put(vformat(format, args));
    va_end(args);
}

void FileOutput::write(const char *data, size_t length)
{
    fwrite(data, 1, length, file_);
    fflush(file_);
}

std::string format(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    return text;
}

void usageError(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    UsageError error{vformat(format, args)};
    va_end(args);
    throw error;
}

void inputError(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    InputError error{vformat(format, args)};
    va_end(args);
    throw error;
}

void noAnswer(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    NoAnswer answer{vformat(format, args)};
    va_end(args);
    throw answer;
}

void warn(Io &io, const std::string &text)
{
    io.err.print("kuvana %s: warning: %s\n", io.command.c_str(), text.c_str());
    io.warnings.push_back(text);
}

std::string excerpt(const std::string &text)
{
    return text.size() <= 80 ? text : text.substr(0, 77) + "...";
}

Json &addWarnings(Json &j, const Io &io)
{
    j.key("warnings").beginArray();
    for (const std::string &w : io.warnings)
        j.value(w);
    return j.endArray();
}

Args::Args(const std::vector<std::string> &words, const std::vector<OptionDef> &known,
           bool stopAtPositional)
{
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); i++) {
        const std::string &word = words[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-' || looksNumeric(word)) {
            positional_.push_back(word);
            optionsEnded = optionsEnded || stopAtPositional;
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = word, value;
        size_t equals = word.find('=');
        bool inlineValue = word.compare(0, 2, "--") == 0 && equals != std::string::npos;
        if (inlineValue) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
        }
        const OptionDef *def = nullptr;
        for (const OptionDef &s : known)
            if (name == s.name)
                def = &s;
        if (def == nullptr)
            usageError("unknown option '%s'", word.c_str());
        if (def->takesValue && !inlineValue) {
            if (i + 1 == words.size())
                usageError("option '%s' needs a value", name.c_str());
            value = words[++i];
        } else if (!def->takesValue && inlineValue) {
            usageError("option '%s' takes no value", name.c_str());
        }
        options_.emplace(name, value);
    }
}

std::string Args::value(const std::string &option, const std::string &fallback) const
{
    auto range = options_.equal_range(option);
    if (range.first == range.second)
        return fallback;
    return std::prev(range.second)->second;
}

std::vector<std::string> Args::values(const std::string &option) const
{
    std::vector<std::string> all;
    auto range = options_.equal_range(option);
    for (auto it = range.first; it != range.second; ++it)
        all.push_back(it->second);
    return all;
}

void Args::expect(size_t min, size_t max) const
{
    if (positional_.size() < min)
        usageError("missing argument");
    if (positional_.size() > max)
        usageError("unexpected argument '%s'", positional_[max].c_str());
}

std::string readFileOrStdin(Io &io, const std::string &path)
{
    std::string text;
    if (path == "-") {
        if (!io.readStdin)
            usageError("no standard input here: give the text itself");
        if (!io.readStdin(text))
            inputError("cannot read standard input");
        return text;
    }
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        inputError("cannot read '%s': it is a directory", path.c_str());
    std::ifstream file(path, std::ios::binary);
    if (!file)
        inputError("cannot open '%s': %s", path.c_str(), strerror(errno));
    std::ostringstream buffer;
    buffer << file.rdbuf();
    return buffer.str();
}

std::string readInput(Io &io, const std::string &argument)
{
    if (argument == "-")
        return readFileOrStdin(io, argument);
    if (argument.size() > 1 && argument[0] == '@')
        return readFileOrStdin(io, argument.substr(1));
    return argument;
}

std::string stripComments(const std::string &text)
{
    std::string joined;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::string trimmed = trim(line);
        if (!trimmed.empty() && trimmed[0] != '#')
            joined += trimmed;
    }
    return joined;
}

std::string trim(const std::string &text)
{
    const char *blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

unsigned long parseNumber(const std::string &text, unsigned long max, const char *what)
{
    char *end = nullptr;
    errno = 0;
    unsigned long value = strtoul(text.c_str(), &end, 10);
    if (text.empty() || !isdigit((unsigned char)text[0]) || *end != '\0' || errno != 0 ||
        value > max)
        usageError("%s '%s' is not a number from 0 to %lu", what, text.c_str(), max);
    return value;
}

std::string jsonEscape(const std::string &text)
{
    std::string escaped = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': escaped += "\\\""; break;
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\r': escaped += "\\r"; break;
        case '\t': escaped += "\\t"; break;
        default:
            if (c < 0x20)
                escaped += format("\\u%04x", c);
            else
                escaped += char(c);
        }
    }
    return escaped + "\"";
}

void Json::separate()
{
    if (needComma_)
        text_ += ',';
    needComma_ = true;
}

Json &Json::beginObject()
{
    separate();
    text_ += '{';
    needComma_ = false;
    return *this;
}

Json &Json::endObject()
{
    text_ += '}';
    needComma_ = true;
    return *this;
}

Json &Json::beginArray()
{
    separate();
    text_ += '[';
    needComma_ = false;
    return *this;
}

Json &Json::endArray()
{
    text_ += ']';
    needComma_ = true;
    return *this;
}

Json &Json::key(const std::string &name)
{
    separate();
    text_ += jsonEscape(name) + ":";
    needComma_ = false;
    return *this;
}

Json &Json::value(const std::string &text)
{
    separate();
    text_ += jsonEscape(text);
    return *this;
}

Json &Json::value(const char *text)
{
    return text == nullptr ? null() : value(std::string(text));
}

Json &Json::value(long long number)
{
    separate();
    text_ += std::to_string(number);
    return *this;
}

Json &Json::valueUnsigned(unsigned long long number)
{
    separate();
    text_ += std::to_string(number);
    return *this;
}

Json &Json::value(double number)
{
    if (!std::isfinite(number))
        return null();
    separate();
    text_ += format("%.17g", number);
    return *this;
}

Json &Json::value(bool flag)
{
    separate();
    text_ += flag ? "true" : "false";
    return *this;
}

Json &Json::null()
{
    separate();
    text_ += "null";
    return *this;
}

} // namespace kuvana
