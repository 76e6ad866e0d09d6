// mime parse|compare: MIME types and their parameters.
#include "Cli.h"

#include <kuvanaTools/kuMimeTypeInfo.h>

#include <strings.h>

namespace kuvana {

namespace {

void describeMime(Json &j, const std::string &text, const Io *io = nullptr)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New(text.c_str());
    KuString normal(kuMimeTypeInfo_Get(info));
    j.beginObject().field("text", text).field("type", kuMimeTypeInfo_GetMimeType(info))
        .field("normalised", normal.get()).key("parameters").beginObject();
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(info); i++)
        j.field(kuMimeTypeInfo_GetPart(info, i), kuMimeTypeInfo_GetPartValue(info, i));
    j.endObject();
    if (io != nullptr)
        addWarnings(j, *io);
    j.endObject();
    kuMimeTypeInfo_Delete(info);
}

void printMime(Output &out, const char *label, const std::string &text)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New(text.c_str());
    KuString normal(kuMimeTypeInfo_Get(info));
    out.print("%-6s %s\n", label, normal.get());
    out.print("       type %s", kuMimeTypeInfo_GetMimeType(info));
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(info); i++) {
        const char *value = kuMimeTypeInfo_GetPartValue(info, i);
        out.print(", %s%s%s", kuMimeTypeInfo_GetPart(info, i), value ? " = " : "",
                  value ? value : "");
    }
    out.put("\n");
    kuMimeTypeInfo_Delete(info);
}

// The first parameter of a that b lacks or holds with another value.
std::string firstMissing(const std::string &a, const std::string &b)
{
    kuMimeTypeInfo *ia = kuMimeTypeInfo_New(a.c_str());
    kuMimeTypeInfo *ib = kuMimeTypeInfo_New(b.c_str());
    std::string missing;
    if (strcasecmp(kuMimeTypeInfo_GetMimeType(ia), kuMimeTypeInfo_GetMimeType(ib)) != 0)
        missing = "media types differ";
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(ia) && missing.empty(); i++) {
        const char *name = kuMimeTypeInfo_GetPart(ia, i);
        const char *value = kuMimeTypeInfo_GetPartValue(ia, i);
        KuString other(kuMimeTypeInfo_GetPartValueByName(ib, name));
        if (!kuMimeTypeInfo_HasPart(ib, name) ||
            strcasecmp(str(other).c_str(), value ? value : "") != 0)
            missing = (value ? std::string(name) + "=" + value : name) + " missing or different";
    }
    kuMimeTypeInfo_Delete(ia);
    kuMimeTypeInfo_Delete(ib);
    return missing;
}

// Parameter names are kept as written: a blank after ';' is part of the
// name, where MIME itself allows blanks around parameters.
void warnBlankNames(Io &io, const std::string &text)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New(text.c_str());
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(info); i++) {
        std::string name = kuMimeTypeInfo_GetPart(info, i);
        if (!name.empty() && name != trim(name))
            warn(io, "in '" + quoteable(text) + "' the parameter name is '" + quoteable(name) +
                         "': the library keeps blanks around a name as part of it, so it is "
                         "not the parameter '" + quoteable(trim(name)) + "'");
    }
    kuMimeTypeInfo_Delete(info);
}

int mimeParse(Io &io, const Args &args)
{
    args.expect(1, 1);
    std::string text = readInput(io, args[0]);
    warnBlankNames(io, text);
    if (args.has("--json")) {
        Json j;
        describeMime(j, text, &io);
        io.out.put(j.text());
    } else {
        printMime(io.out, "mime", text);
    }
    return kOk;
}

int mimeCompare(Io &io, const Args &args)
{
    args.expect(2, 2);
    std::string a = readInput(io, args[0]), b = readInput(io, args[1]);
    warnBlankNames(io, a);
    warnBlankNames(io, b);
    bool forward = kuMimeTypeInfo_S_Same(a.c_str(), b.c_str()) != 0;
    bool backward = kuMimeTypeInfo_S_Same(b.c_str(), a.c_str()) != 0;
    if (args.has("--json")) {
        Json j;
        j.beginObject().key("a");
        describeMime(j, a);
        j.key("b");
        describeMime(j, b);
        j.field("aInB", forward).field("bInA", backward);
        addWarnings(j, io).endObject();
        io.out.put(j.text());
        return forward ? kOk : kFailed;
    }
    printMime(io.out, "A", a);
    printMime(io.out, "B", b);
    auto verdict = [&](const char *what, bool same, const std::string &x, const std::string &y) {
        std::string why;
        if (!same) {
            why = " (" + firstMissing(x, y) + ")";
        }
        io.out.print("%s: %s%s\n", what, same ? "yes" : "no", why.c_str());
    };
    verdict("B satisfies A (same type, every parameter of A in B)", forward, a, b);
    verdict("A satisfies B", backward, b, a);
    return forward ? kOk : kFailed;
}

} // namespace

void addMimeCommands(std::vector<Command> &commands)
{
    const std::vector<OptionDef> json{kJson};
    commands.push_back({"mime", "parse", "[--json] TYPE", "a MIME type and its parameters", "",
                        json, mimeParse});
    commands.push_back({"mime", "compare", "[--json] A B",
                        "whether B satisfies A: same media type, every parameter of A in B",
                        "Exit status 0 when B satisfies A, 1 when not. The test is one-sided:\n"
                        "B may carry parameters that A lacks.\n",
                        json, mimeCompare});
}

} // namespace kuvana
