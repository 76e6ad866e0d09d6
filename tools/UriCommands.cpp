// URI commands: parse, combine, escape, unescape.
#include "Cli.h"

#include <kuvanaTools/kuURI.h>

namespace kuvana {

namespace {

const OptionDef kJson{"--json", false};

struct UriGuard {
    explicit UriGuard(kuURI *uri) : uri(uri) {}
    ~UriGuard() { kuURI_Delete(uri); }
    kuURI *uri;
};

const char *kGuardNote = "emptied: a '.' next to a '/' or '\\' is refused";

int uriParse(Io &io, const Args &args)
{
    args.expect(1, 1);
    std::string text = readInput(io, args[0]);
    UriGuard g(args.has("--escaped") ? kuURI_NewFromEscapedStr(text.c_str())
                                     : kuURI_NewFromStr(text.c_str()));
    const kuURI *u = g.uri;
    KuString composed(kuURI_GetStr(u));
    bool guarded = u->path != nullptr && u->path[0] == '\0';
    std::vector<std::pair<std::string, std::string>> parts;
    for (uint32_t i = 0; i < kuURI_GetQueryPartCount(u); i++) {
        char *name = nullptr, *value = nullptr;
        kuURI_GetQueryPartAt(u, i, &name, &value);
        KuString n(name), v(value);
        parts.emplace_back(n.str(), v.null() ? std::string("\x01") : v.str());
    }
    if (args.has("--json")) {
        Json j;
        j.beginObject().field("scheme", u->scheme).field("userInfo", u->userInfo)
            .field("host", u->host).field("port", unsigned(u->port)).field("path", u->path)
            .field("pathRefused", guarded).field("extension", kuURI_GetExtension(u))
            .field("query", u->query).key("queryParts").beginArray();
        for (auto &p : parts) {
            j.beginObject().field("name", p.first);
            j.key("value");
            p.second == "\x01" ? j.null() : j.value(p.second);
            j.endObject();
        }
        j.endArray().field("fragment", u->fragment).field("composed", composed.text).endObject();
        io.out.put(j.text());
        return kOk;
    }
    auto line = [&](const char *label, const char *value) {
        if (value != nullptr)
            io.out.print("%-10s %s\n", label, value);
    };
    line("scheme", u->scheme);
    line("user info", u->userInfo);
    line("host", u->host);
    if (u->port != 0)
        io.out.print("%-10s %u\n", "port", unsigned(u->port));
    line("path", guarded ? kGuardNote : u->path);
    if (*kuURI_GetExtension(u) != '\0')
        line("extension", kuURI_GetExtension(u));
    line("query", u->query);
    for (auto &p : parts)
        io.out.print("  %s%s%s\n", p.first.c_str(), p.second == "\x01" ? "" : " = ",
                     p.second == "\x01" ? "" : p.second.c_str());
    line("fragment", u->fragment);
    line("composed", composed.text);
    return kOk;
}

int uriCombine(Io &io, const Args &args)
{
    args.expect(2, 2);
    std::string base = readInput(io, args[0]), reference = readInput(io, args[1]);
    KuString result(kuURI_S_Combine(base.c_str(), reference.c_str()));
    if (args.has("--json"))
        io.out.put(Json().beginObject().field("base", base).field("reference", reference)
                       .field("uri", result.text).endObject().text());
    else
        io.out.print("%s\n", result.text);
    return kOk;
}

int uriEscape(Io &io, const Args &args)
{
    args.expect(1, 1);
    std::string text = readInput(io, args[0]);
    std::string component = args.value("--component", "uri");
    std::string escaped;
    if (component == "uri") {
        KuString e(kuURI_S_Encode(text.c_str()));
        escaped = e.str();
    } else {
        UriGuard g(kuURI_New());
        char *const *field = nullptr;
        if (component == "path") {
            kuURI_SetPath(g.uri, text.c_str());
            field = &g.uri->path;
        } else if (component == "query") {
            kuURI_SetQuery(g.uri, text.c_str());
            field = &g.uri->query;
        } else if (component == "fragment") {
            kuURI_SetFragment(g.uri, text.c_str());
            field = &g.uri->fragment;
        } else if (component == "userinfo") {
            kuURI_SetUserInfo(g.uri, text.c_str());
            field = &g.uri->userInfo;
        } else {
            usageError("unknown component '%s' (uri, path, query, fragment, userinfo)",
                       component.c_str());
        }
        if (component == "path" && !text.empty() && (*field == nullptr || **field == '\0'))
            inputError("path '%s' %s", text.c_str(), kGuardNote);
        escaped = *field ? *field : "";
    }
    if (args.has("--json"))
        io.out.put(Json().beginObject().field("component", component).field("escaped", escaped)
                       .endObject().text());
    else
        io.out.print("%s\n", escaped.c_str());
    return kOk;
}

int uriUnescape(Io &io, const Args &args)
{
    args.expect(1, 1);
    std::string text = readInput(io, args[0]);
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    if (args.has("--query"))
        kuURI_S_Unescape_Query(buffer.data());
    else
        kuURI_S_Unescape(buffer.data());
    // An escaped zero byte ends the text early; keep what came before it.
    std::string plain(buffer.data());
    if (args.has("--json"))
        io.out.put(Json().beginObject().field("text", plain).endObject().text());
    else
        io.out.print("%s\n", plain.c_str());
    return kOk;
}

} // namespace

void addUriCommands(std::vector<Command> &commands)
{
    commands.push_back({"uri", "parse", "[--json] [--escaped] URI",
                        "the components of a URI and its composition",
                        "Components are unescaped unless --escaped keeps them as written.\n",
                        {kJson, {"--escaped", false}}, uriParse});
    commands.push_back({"uri", "combine", "[--json] BASE REFERENCE",
                        "a reference resolved against a base URI", "", {kJson}, uriCombine});
    commands.push_back({"uri", "escape", "[--json] [--component C] TEXT",
                        "percent-escaping of a URI or one component",
                        "C is uri (the default: every component of a whole URI), path, query,\n"
                        "fragment or userinfo.\n",
                        {kJson, {"--component", true}}, uriEscape});
    commands.push_back({"uri", "unescape", "[--json] [--query] TEXT",
                        "percent-escapes decoded (--query: '+' is a space too)", "",
                        {kJson, {"--query", false}}, uriUnescape});
}

} // namespace kuvana
