// ini get|set|delete|dump over the library's layered configuration files.
// Changes are saved through kuConfigFile_Save, whose temporary and ".ok"
// files keep a complete copy on disk at every moment.
#include "Cli.h"

#include <kuvanaTools/kuConfigFile.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>

namespace kuvana {

namespace {

const OptionDef kDefaults{"--defaults", true};

// Compared by address: tells a missing key from any stored text.
const char kMissing[] = "";

using ConfigPtr = Owned<kuConfigFile, kuConfigFile_Delete>;

// The read-only and writable files ("" for none) as one configuration.
ConfigPtr openConfig(const std::string &readOnly, const std::string &writable)
{
    return ConfigPtr(kuConfigFile_New(readOnly.empty() ? nullptr : readOnly.c_str(),
                                      writable.empty() ? nullptr : writable.c_str()));
}

bool exists(const std::string &path)
{
    struct stat s;
    return stat(path.c_str(), &s) == 0;
}

// The section as the library takes it: "" is the default section.
const char *section(const std::string &name)
{
    return name.empty() ? nullptr : name.c_str();
}

std::string entryName(const std::string &sectionName, const std::string &key)
{
    return (sectionName.empty() ? "default" : sectionName) + "/" + key;
}

// A file's text, "" when it cannot be read (the library decides what that
// means). Anything but a regular file is refused: a FIFO would block the
// reader, a device never end it.
std::string contents(const std::string &path)
{
    struct stat s;
    if (stat(path.c_str(), &s) == 0 && !S_ISREG(s.st_mode))
        inputError("'%s' is not a regular file", path.c_str());
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

const char kWhite[] = " \t\v\f\r\n";
const size_t kLineMax = 1023; // bytes of a line read, or written with its line feed
const size_t kNameMax = 127;

// Names the format cannot carry are refused before anything is written: the
// library would save them in a form that loads back as something else.
void checkNames(const std::string &sectionName, const std::string &key)
{
    const std::string &s = sectionName;
    if (!s.empty() && s != "default" &&
        (s.find_first_of("/]\r\n") != std::string::npos || s.size() > kNameMax ||
         strchr(kWhite, s.front()) != nullptr || strchr(kWhite, s.back()) != nullptr))
        inputError("section '%s' cannot be written to an INI file (no '/', ']' or line break, "
                   "no blank at either end, at most %zu bytes)", s.c_str(), kNameMax);
    if (key.empty() || key.find_first_of("=\r\n") != std::string::npos ||
        strchr(";#[", key[0]) != nullptr || strchr(kWhite, key.front()) != nullptr ||
        strchr(kWhite, key.back()) != nullptr || key.size() > kNameMax ||
        s.size() + 1 + key.size() > 255)
        inputError("key '%s' cannot be written to an INI file (not empty, no '=' or line break, "
                   "not starting with ';', '#' or '[', no blank at either end, at most %zu bytes)",
                   key.c_str(), kNameMax);
}

// The value as a key line holds it: quoted when it holds a blank, a quote,
// '#', ';' or a backslash, or begins or ends with white space.
std::string written(const std::string &value)
{
    bool quote = value.find_first_of(" \"'#;\\") != std::string::npos ||
                 (!value.empty() && (strchr(kWhite, value.front()) || strchr(kWhite, value.back())));
    if (!quote)
        return value;
    std::string text = "\"";
    for (char c : value)
        text += (c == '"' || c == '\'' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return text + "\"";
}

// Lines of a file as loading cuts them (without their line ends).
std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find_first_of("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

std::string lower(std::string text)
{
    for (char &c : text)
        c = char(tolower((unsigned char)c));
    return text;
}

// Lines longer than loading reads in one piece: their values come back cut.
void warnLongLines(Io &io, const std::string &path)
{
    std::vector<std::string> lines = linesOf(contents(path));
    for (size_t i = 0; i < lines.size(); i++)
        if (lines[i].size() > kLineMax)
            warn(io, format("'%s' line %zu is %zu bytes long; the library reads at most %zu "
                            "bytes of a line, so it is cut and the rest read as another line",
                            path.c_str(), i + 1, lines[i].size(), kLineMax));
}

// Names the lines of before that a save left out of after: comments, and
// lines in another form than the library writes. The entry changed on
// purpose (section, and key unless the whole section went) is not counted.
void warnRewrites(Io &io, const std::string &before, const std::string &after,
                  const std::string &changedSection, const std::string &changedKey)
{
    std::vector<std::string> kept = linesOf(after);
    size_t comments = 0, rewritten = 0;
    std::string example, sectionName, target = lower(changedSection == "default" ? "" : changedSection);
    for (const std::string &raw : linesOf(before)) {
        std::string line = trim(raw);
        bool header = !line.empty() && line[0] == '[' && line.find(']') != std::string::npos;
        if (header)
            sectionName = lower(trim(line.substr(1, line.find(']') - 1)));
        if (line.empty() || std::find(kept.begin(), kept.end(), line) != kept.end())
            continue;
        if (line[0] == ';' || line[0] == '#') {
            comments++;
            continue;
        }
        if (header) {
            if (sectionName == target && changedKey.empty())
                continue;
            if (std::find(kept.begin(), kept.end(), "[" + sectionName + "]") != kept.end())
                continue;
        } else if (sectionName == target &&
                   (changedKey.empty() || lower(trim(line.substr(0, line.find('=')))) ==
                                              lower(changedKey))) {
            continue;
        }
        if (rewritten++ == 0)
            example = line.size() > 60 ? line.substr(0, 60) + "..." : line;
    }
    if (comments != 0)
        warn(io, format("the save drops the file's %zu comment line%s: the library keeps no "
                        "comments", comments, comments == 1 ? "" : "s"));
    if (rewritten != 0)
        warn(io, format("the save rewrites %zu line%s in the library's form (no blanks around "
                        "'=', names in lower case, no trailing comments), such as '%s'",
                        rewritten, rewritten == 1 ? "" : "s", example.c_str()));
}

int get(Io &io, const Args &args)
{
    args.expect(3, 3);
    std::string defaults = args.value("--defaults");
    if (!defaults.empty() && !exists(defaults))
        inputError("cannot read '%s'", defaults.c_str());
    warnLongLines(io, args[0]);
    if (!defaults.empty())
        warnLongLines(io, defaults);
    ConfigPtr c = openConfig(defaults, args[0]);
    const char *s = section(args[1]);
    const char *value = kuConfigFile_GetString(c.get(), s, args[2].c_str(), kMissing);
    if (value == kMissing)
        noAnswer("no key '%s' in '%s'%s", entryName(args[1], args[2]).c_str(), args[0].c_str(),
                   defaults.empty() ? "" : format(" or '%s'", defaults.c_str()).c_str());
    std::string text = value;
    if (args.has("--substitute")) {
        KuString substituted(
            kuConfigFile_GetStringWithSubstitution(c.get(), s, args[2].c_str(), "", nullptr));
        text = str(substituted);
    }
    if (args.has("--json"))
        io.out.put(addWarnings(Json().beginObject().field("section", args[1])
                                   .field("key", args[2]).field("value", text), io)
                       .endObject().text());
    else
        io.out.print("%s\n", text.c_str());
    return kOk;
}

void save(kuConfigFile *config, const std::string &path)
{
    if (!kuConfigFile_Save(config))
        inputError("cannot save '%s' (KUOS_LOG_LEVEL=2 shows why)", path.c_str());
}

// What set and delete print with --json: the entry changed and the warnings.
void changed(Io &io, const Args &args, const char *value)
{
    if (!args.has("--json"))
        return;
    Json j;
    j.beginObject().field("file", args[0]).field("section", args[1])
        .field("key", args.count() > 2 ? args[2].c_str() : nullptr).field("value", value);
    io.out.put(addWarnings(j, io).endObject().text());
}

int set(Io &io, const Args &args)
{
    args.expect(4, 4);
    const std::string &key = args[2], &value = args[3];
    checkNames(args[1], key);
    if (value.find_first_of("\r\n") != std::string::npos)
        inputError("the value for key '%s' holds a line break, which an INI line cannot "
                   "carry (the library would save it as a space)", key.c_str());
    size_t length = key.size() + 1 + written(value).size() + 1;
    if (length > kLineMax)
        inputError("the line for key '%s' would be %zu bytes; the library writes lines of at "
                   "most %zu bytes and would cut the value", key.c_str(), length, kLineMax);
    std::string before = contents(args[0]);
    ConfigPtr c = openConfig("", args[0]);
    kuConfigFile_SetString(c.get(), section(args[1]), key.c_str(), value.c_str());
    save(c.get(), args[0]);
    warnRewrites(io, before, contents(args[0]), args[1], key);
    changed(io, args, value.c_str());
    return kOk;
}

int remove(Io &io, const Args &args)
{
    args.expect(2, 3);
    std::string before = contents(args[0]);
    ConfigPtr c = openConfig("", args[0]);
    if (args.count() == 3) {
        const char *key = args[2].c_str();
        if (kuConfigFile_GetString(c.get(), section(args[1]), key, kMissing) == kMissing)
            noAnswer("no key '%s' in '%s'", entryName(args[1], key).c_str(), args[0].c_str());
        kuConfigFile_DeleteKey(c.get(), section(args[1]), args[2].c_str());
    } else {
        bool found = false;
        std::string wanted = args[1] == "default" ? "" : args[1];
        for (uint32_t i = 0; i < kuConfigFile_GetSectionCount(c.get(), 0) && !found; i++)
            found = strcasecmp(kuConfigFile_GetSectionName(c.get(), i, 0), wanted.c_str()) == 0;
        if (!found)
            noAnswer("no section '%s' in '%s'", args[1].c_str(), args[0].c_str());
        kuConfigFile_DeleteSection(c.get(), section(args[1]));
    }
    save(c.get(), args[0]);
    warnRewrites(io, before, contents(args[0]), args[1], args.count() == 3 ? args[2] : "");
    changed(io, args, nullptr);
    return kOk;
}

int dump(Io &io, const Args &args)
{
    args.expect(1, 1);
    if (!exists(args[0]))
        inputError("cannot read '%s'", args[0].c_str());
    warnLongLines(io, args[0]);
    // Loaded as the read-only layer: dumping never repairs or changes files.
    ConfigPtr c = openConfig(args[0], "");
    bool json = args.has("--json");
    Json j;
    j.beginObject().key("sections").beginObject();
    uint32_t sections = kuConfigFile_GetSectionCount(c.get(), 1);
    bool first = true;
    for (uint32_t i = 0; i < sections; i++) {
        std::string name = kuConfigFile_GetSectionName(c.get(), i, 1);
        const char *s = name.empty() ? nullptr : name.c_str();
        uint32_t keys = kuConfigFile_GetKeyCount(c.get(), s, 1);
        if (json)
            j.key(name.empty() ? "default" : name).beginObject();
        else if (!name.empty())
            io.out.print("%s[%s]\n", first ? "" : "\n", name.c_str());
        first = first && name.empty() && keys == 0;
        for (uint32_t k = 0; k < keys; k++) {
            std::string key = kuConfigFile_GetKeyName(c.get(), s, k, 1);
            const char *value = kuConfigFile_GetString(c.get(), s, key.c_str(), "");
            if (json)
                j.field(key, value);
            else
                io.out.print("%s=%s\n", key.c_str(), value);
            first = false;
        }
        if (json)
            j.endObject();
    }
    if (json)
        io.out.put(addWarnings(j.endObject(), io).endObject().text());
    return kOk;
}

} // namespace

void addIniCommands(std::vector<Command> &commands)
{
    commands.push_back({"ini", "get", "[--json] [--defaults FILE] [--substitute] FILE SECTION KEY",
                        "a value of an INI file",
                        "SECTION '' or 'default' is the part before any [section]. --defaults\n"
                        "names a read-only file that answers for keys FILE lacks; --substitute\n"
                        "replaces %env.NAME% by environment variables. Exit status 1 when the key\n"
                        "is missing.\n",
                        {kJson, kDefaults, {"--substitute", false}}, get});
    commands.push_back({"ini", "set", "[--json] FILE SECTION KEY VALUE",
                        "sets a value and saves the file crash-safely",
                        "The file is written as FILE.tmp, renamed to FILE.ok, then committed to\n"
                        "FILE; an interrupted save is finished or discarded the next time.\n"
                        "The library keeps no comments and writes every line in its own form;\n"
                        "a warning says what the save dropped or rewrote. Names and values a\n"
                        "line cannot carry (a section with '/', a line break, a line over 1023\n"
                        "bytes) are refused with exit status 2.\n",
                        {kJson}, set});
    commands.push_back({"ini", "delete", "[--json] FILE SECTION [KEY]",
                        "deletes a key (or a whole section) and saves the file crash-safely",
                        "Exit status 1 when there is no such key or section.\n", {kJson},
                        remove});
    commands.push_back({"ini", "dump", "[--json] FILE", "every section and key of an INI file",
                        "Values are shown as read (quotes and escapes removed).\n", {kJson},
                        dump});
}

} // namespace kuvana
