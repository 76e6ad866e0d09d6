// URI commands: parse, combine, resolve, escape, unescape.
#include "Cli.h"

#include <kuvanaTools/kuURI.h>

namespace kuvana {

namespace {

using UriPtr = Owned<kuURI, kuURI_Delete>;

const char *kGuardNote = "emptied: a '.' next to a '/' or '\\' is refused";

// The port as written in text ("" when none): the digits after the host of
// an authority. The library keeps 16 bits of it, so larger ones are refused.
std::string writtenPort(const std::string &text)
{
    size_t start = text.find("//");
    if (start == std::string::npos || text.find_first_of("/?#") < start)
        return "";
    std::string authority = text.substr(start + 2);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    authority = authority.substr(authority.find('@') + 1);
    size_t colon = authority.find(':', authority[0] == '[' ? authority.find(']') : 0);
    return colon == std::string::npos ? "" : authority.substr(colon + 1);
}

int uriParse(Io &io, const Args &args)
{
    args.expect(1, 1);
    std::string text = readInput(io, args[0]);
    std::string port = writtenPort(text);
    if (port.find_first_not_of("0123456789") != std::string::npos)
        inputError("'%s': the port '%s' is not a number", text.c_str(), port.c_str());
    if (!port.empty() && (port.size() > 5 || std::stoul(port) > 65535))
        inputError("'%s': port %s is out of range (0 to 65535)", text.c_str(), port.c_str());
    UriPtr g(args.has("--escaped") ? kuURI_NewFromEscapedStr(text.c_str())
                                     : kuURI_NewFromStr(text.c_str()));
    const kuURI *u = g.get();
    KuString composed(kuURI_GetStr(u));
    bool guarded = u->path != nullptr && u->path[0] == '\0';
    std::string scheme = u->scheme ? u->scheme : "";
    if (u->scheme != nullptr && text.compare(scheme.size() + 1, 2, "//") != 0 &&
        str(composed).compare(0, scheme.size() + 3, scheme + "://") == 0)
        warn(io, "the library composes a URI with a scheme as '" + quoteable(scheme) +
                     "://...', which makes the path of '" + quoteable(text) + "' an authority: '" +
                     quoteable(str(composed)) + "' is another URI");
    std::vector<std::pair<std::string, std::string>> parts;
    for (uint32_t i = 0; i < kuURI_GetQueryPartCount(u); i++) {
        char *name = nullptr, *value = nullptr;
        kuURI_GetQueryPartAt(u, i, &name, &value);
        KuString n(name), v(value);
        parts.emplace_back(str(n), !v ? std::string("\x01") : str(v));
    }
    if (args.has("--json")) {
        Json j;
        j.beginObject().field("scheme", u->scheme).field("userInfo", u->userInfo)
            .field("host", u->host).key("port");
        u->port == 0 ? j.null() : j.value(unsigned(u->port));
        const char *extension = kuURI_GetExtension(u);
        j.field("path", u->path).field("pathRefused", guarded)
            .field("extension", *extension == '\0' ? nullptr : extension)
            .field("query", u->query).key("queryParts").beginArray();
        for (auto &p : parts) {
            j.beginObject().field("name", p.first);
            j.key("value");
            p.second == "\x01" ? j.null() : j.value(p.second);
            j.endObject();
        }
        j.endArray().field("fragment", u->fragment).field("composed", composed.get());
        addWarnings(j, io).endObject();
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
    line("composed", composed.get());
    return kOk;
}

// The resolved URI, or with --json the inputs too and, for the library's
// rule, what RFC 3986 gives.
int printResolved(Io &io, const Args &args, const std::string &base,
                  const std::string &reference, const KuString &uri, const KuString *rfc)
{
    if (!args.has("--json")) {
        io.out.print("%s\n", uri.get());
        return kOk;
    }
    Json j;
    j.beginObject().field("base", base).field("reference", reference).field("uri", uri.get());
    if (rfc != nullptr)
        j.field("rfc3986", rfc->get());
    io.out.put(addWarnings(j, io).endObject().text());
    return kOk;
}

int uriCombine(Io &io, const Args &args)
{
    args.expect(2, 2);
    std::string base = readInput(io, args[0]), reference = readInput(io, args[1]);
    KuString result(kuURI_S_Combine(base.c_str(), reference.c_str()));
    KuString rfc(kuURI_ResolveRFC3986(base.c_str(), reference.c_str()));
    if (!!rfc && str(rfc) != str(result))
        warn(io, "RFC 3986 resolves this to '" + quoteable(str(rfc)) +
                     "'; the library's own rule (by the base's scheme, path guarded, "
                     "escaped) gives '" + quoteable(str(result)) +
                     "' ('uri resolve' gives the RFC result)");
    return printResolved(io, args, base, reference, result, &rfc);
}

int uriResolve(Io &io, const Args &args)
{
    args.expect(2, 2);
    std::string base = readInput(io, args[0]), reference = readInput(io, args[1]);
    KuString result(kuURI_ResolveRFC3986(base.c_str(), reference.c_str()));
    if (!result)
        inputError("base '%s' is not an absolute URI (it needs a scheme)", base.c_str());
    return printResolved(io, args, base, reference, result, nullptr);
}

int uriEscape(Io &io, const Args &args)
{
    args.expect(1, 1);
    std::string text = readInput(io, args[0]);
    std::string component = args.value("--component", "uri");
    std::string escaped;
    if (component == "uri") {
        KuString e(kuURI_S_Encode(text.c_str()));
        escaped = str(e);
    } else {
        UriPtr g(kuURI_New());
        char *const *field = nullptr;
        if (component == "path") {
            kuURI_SetPath(g.get(), text.c_str());
            field = &g.get()->path;
        } else if (component == "query") {
            kuURI_SetQuery(g.get(), text.c_str());
            field = &g.get()->query;
        } else if (component == "fragment") {
            kuURI_SetFragment(g.get(), text.c_str());
            field = &g.get()->fragment;
        } else if (component == "userinfo") {
            kuURI_SetUserInfo(g.get(), text.c_str());
            field = &g.get()->userInfo;
        } else {
            usageError("unknown component '%s' (uri, path, query, fragment, userinfo)",
                       component.c_str());
        }
        if (component == "path" && !text.empty() && (*field == nullptr || **field == '\0'))
            inputError("path '%s' %s", text.c_str(), kGuardNote);
        escaped = *field ? *field : "";
    }
    if (args.has("--json"))
        io.out.put(addWarnings(Json().beginObject().field("component", component)
                                   .field("escaped", escaped), io)
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
    if (text.find("%00") != std::string::npos)
        warn(io, "an escaped zero byte (%00) ends the text: what follows it is left out");
    if (args.has("--json"))
        io.out.put(addWarnings(Json().beginObject().field("text", plain), io).endObject().text());
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
                        "a reference resolved against a base URI by the library's rule",
                        "The rule depends on the base's scheme (http, https, file) and never\n"
                        "makes a path with '.' segments; it is not RFC 3986's. Where that gives\n"
                        "another URI a warning says so; 'uri resolve' gives RFC 3986's result.\n",
                        {kJson}, uriCombine});
    commands.push_back({"uri", "resolve", "[--json] BASE REFERENCE",
                        "a reference resolved against a base URI exactly as RFC 3986 does",
                        "Text only: nothing is escaped, unescaped or guarded. Exit status 2 when\n"
                        "BASE has no scheme.\n",
                        {kJson}, uriResolve});
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
