// ini get|set|delete|dump over the library's layered configuration files.
// Changes are saved through kuConfigFile_Save, whose temporary and ".ok"
// files keep a complete copy on disk at every moment.
#include "Cli.h"

#include <kuvanaTools/kuConfigFile.h>

#include <strings.h>
#include <sys/stat.h>

namespace kuvana {

namespace {

const OptionDef kJson{"--json", false};
const OptionDef kDefaults{"--defaults", true};

// Compared by address: tells a missing key from any stored text.
const char kMissing[] = "";

struct ConfigGuard {
    ConfigGuard(const std::string &readOnly, const std::string &writable)
        : config(kuConfigFile_New(readOnly.empty() ? nullptr : readOnly.c_str(),
                                  writable.empty() ? nullptr : writable.c_str()))
    {
    }
    ~ConfigGuard() { kuConfigFile_Delete(config); }
    kuConfigFile *config;
};

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

int get(Io &io, const Args &args)
{
    args.expect(3, 3);
    std::string defaults = args.value("--defaults");
    if (!defaults.empty() && !exists(defaults))
        inputError("cannot read '%s'", defaults.c_str());
    ConfigGuard c(defaults, args[0]);
    const char *s = section(args[1]);
    const char *value = kuConfigFile_GetString(c.config, s, args[2].c_str(), kMissing);
    if (value == kMissing)
        inputError("no key '%s' in '%s'%s", entryName(args[1], args[2]).c_str(), args[0].c_str(),
                   defaults.empty() ? "" : format(" or '%s'", defaults.c_str()).c_str());
    std::string text = value;
    if (args.has("--substitute")) {
        KuString substituted(
            kuConfigFile_GetStringWithSubstitution(c.config, s, args[2].c_str(), "", nullptr));
        text = substituted.str();
    }
    if (args.has("--json"))
        io.out.put(Json().beginObject().field("section", args[1]).field("key", args[2])
                       .field("value", text).endObject().text());
    else
        io.out.print("%s\n", text.c_str());
    return kOk;
}

void save(kuConfigFile *config, const std::string &path)
{
    if (!kuConfigFile_Save(config))
        inputError("cannot save '%s' (KUOS_LOG_LEVEL=2 shows why)", path.c_str());
}

int set(Io &io, const Args &args)
{
    args.expect(4, 4);
    ConfigGuard c("", args[0]);
    kuConfigFile_SetString(c.config, section(args[1]), args[2].c_str(), args[3].c_str());
    save(c.config, args[0]);
    return kOk;
}

int remove(Io &io, const Args &args)
{
    args.expect(2, 3);
    ConfigGuard c("", args[0]);
    if (args.count() == 3) {
        const char *key = args[2].c_str();
        if (kuConfigFile_GetString(c.config, section(args[1]), key, kMissing) == kMissing)
            inputError("no key '%s' in '%s'", entryName(args[1], key).c_str(), args[0].c_str());
        kuConfigFile_DeleteKey(c.config, section(args[1]), args[2].c_str());
    } else {
        bool found = false;
        std::string wanted = args[1] == "default" ? "" : args[1];
        for (uint32_t i = 0; i < kuConfigFile_GetSectionCount(c.config, 0) && !found; i++)
            found = strcasecmp(kuConfigFile_GetSectionName(c.config, i, 0), wanted.c_str()) == 0;
        if (!found)
            inputError("no section '%s' in '%s'", args[1].c_str(), args[0].c_str());
        kuConfigFile_DeleteSection(c.config, section(args[1]));
    }
    save(c.config, args[0]);
    return kOk;
}

int dump(Io &io, const Args &args)
{
    args.expect(1, 1);
    if (!exists(args[0]))
        inputError("cannot read '%s'", args[0].c_str());
    // Loaded as the read-only layer: dumping never repairs or changes files.
    ConfigGuard c(args[0], "");
    bool json = args.has("--json");
    Json j;
    j.beginObject();
    uint32_t sections = kuConfigFile_GetSectionCount(c.config, 1);
    bool first = true;
    for (uint32_t i = 0; i < sections; i++) {
        std::string name = kuConfigFile_GetSectionName(c.config, i, 1);
        const char *s = name.empty() ? nullptr : name.c_str();
        uint32_t keys = kuConfigFile_GetKeyCount(c.config, s, 1);
        if (json)
            j.key(name.empty() ? "default" : name).beginObject();
        else if (!name.empty())
            io.out.print("%s[%s]\n", first ? "" : "\n", name.c_str());
        first = first && name.empty() && keys == 0;
        for (uint32_t k = 0; k < keys; k++) {
            std::string key = kuConfigFile_GetKeyName(c.config, s, k, 1);
            const char *value = kuConfigFile_GetString(c.config, s, key.c_str(), "");
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
        io.out.put(j.endObject().text());
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
    commands.push_back({"ini", "set", "FILE SECTION KEY VALUE",
                        "sets a value and saves the file crash-safely",
                        "The file is written as FILE.tmp, renamed to FILE.ok, then committed to\n"
                        "FILE; an interrupted save is finished or discarded the next time.\n",
                        {}, set});
    commands.push_back({"ini", "delete", "FILE SECTION [KEY]",
                        "deletes a key (or a whole section) and saves the file crash-safely", "",
                        {}, remove});
    commands.push_back({"ini", "dump", "[--json] FILE", "every section and key of an INI file",
                        "Values are shown as read (quotes and escapes removed).\n", {kJson},
                        dump});
}

} // namespace kuvana
