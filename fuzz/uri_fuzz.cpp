// URIs: any text parses; a composition parses back to itself; no stored path
// ever leads out of its directory once unescaped; escaping keeps only the
// component's characters and unescapes back; query parts are found where
// they were put; components built by the setters come back through a
// composition; file paths survive a "file" URI.
#include "FuzzUtil.h"

#include <kuvanaTools/kuURI.h>

#include <algorithm>

using kufuzz::Owned;
using kufuzz::Text;

namespace {

using kufuzz::orEmpty;

// "%hh" in either case is that byte; any other '%' stays.
std::string unescape(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        bool escape = text[i] == '%' && i + 2 < text.size() &&
                      isxdigit((unsigned char)text[i + 1]) && isxdigit((unsigned char)text[i + 2]);
        out += escape ? (char)std::stoi(text.substr(i + 1, 2), nullptr, 16) : text[i];
        i += escape ? 2 : 0;
    }
    return out;
}

bool leadsOut(const std::string &path)
{
    for (const char *pair : {"./", "/.", ".\\", "\\."})
        if (path.find(pair) != std::string::npos)
            return true;
    return false;
}

// Whether the path guard may refuse a path: it looks for dots, also behind
// escapes and overlong UTF-8 forms. A path without any of these is kept.
bool mayRefuse(const std::string &path)
{
    for (unsigned char c : path)
        if (c == '.' || c == '%' || c >= 0x80)
            return true;
    return false;
}

bool empty(const char *text)
{
    return text == nullptr || text[0] == '\0';
}

// The bytes a component keeps as they are: printable ASCII but for the ones
// the format reserves or that are unsafe in text, '/' and '@' not in user
// info, '?' only in a query or fragment (1 user info, 2 path, 4 query, 8
// fragment).
bool kept(unsigned char c, int component)
{
    if (c <= ' ' || c >= 127 || strchr("\"#%<>[]^`{|}", c) != nullptr)
        return false;
    if (c == '/' || c == '@')
        return component != 1;
    return c != '?' || component >= 4;
}

std::string escaped(const char *text, int component)
{
    std::string out;
    for (const char *p = text; p != nullptr && *p != '\0'; p++)
        out += kept((unsigned char)*p, component) ? std::string(1, *p)
                                                  : kufuzz::format("%%%02x", (unsigned char)*p);
    return out;
}

// What holds for every object, however it was made.
void checkObject(const kuURI *uri)
{
    KU_FUZZ_CHECK(!leadsOut(unescape(orEmpty(uri->path))));
    // the extension is the end of the stored path, after its last dot
    const char *extension = kuURI_GetExtension(uri);
    KU_FUZZ_CHECK(extension[0] == '\0' ||
                  (extension > uri->path && extension[-1] == '.' &&
                   extension <= uri->path + strlen(uri->path) && !strpbrk(extension, "./\\")));
    kuURI_GetHostIP(uri);
    kuURI_IsEmpty(uri);
    kuURI *copy = kuURI_Clone(uri);
    KU_FUZZ_CHECK(kufuzz::take(kuURI_GetStr(uri)) == kufuzz::take(kuURI_GetStr(copy)));
    kuURI_Delete(copy);
}

// Escaping in place escapes each component as its class says.
void checkEscape(const kuURI *uri)
{
    kuURI *copy = kuURI_Clone(uri);
    kuURI_Escape(copy);
    checkObject(copy);
    KU_FUZZ_CHECK(orEmpty(copy->userInfo) == escaped(uri->userInfo, 1));
    KU_FUZZ_CHECK(orEmpty(copy->query) == escaped(uri->query, 4));
    KU_FUZZ_CHECK(orEmpty(copy->fragment) == escaped(uri->fragment, 8));
    if (!empty(copy->path))
        KU_FUZZ_CHECK(copy->path == escaped(uri->path, 2));
    kuURI_Delete(copy);
}

// Compositions that read back differently by the rules of the format: a
// scheme followed by a path that does not begin with '/', without user info
// or host, is composed with "//" ("mailto:a" as "mailto://a"), so the path
// reads back as an authority; without a scheme no "//" is written, so an
// authority reads back as scheme or path (and a path beginning with "//" as
// an authority, one with a ':' before any '/' as a scheme); the '/' written
// between an authority and a path may make the path one the guard refuses
// ("/."); and a host is written unchanged,
// so one holding white space or a character that ends a host (possible
// inside brackets) splits differently.
bool composesBack(const kuURI *uri)
{
    if (uri->scheme != nullptr && uri->userInfo == nullptr && uri->host == nullptr &&
        uri->path != nullptr && uri->path[0] != '/')
        return false;
    if (uri->scheme == nullptr && (uri->userInfo != nullptr || uri->host != nullptr ||
                                   (uri->path != nullptr && strncmp(uri->path, "//", 2) == 0)))
        return false;
    if (uri->scheme == nullptr && uri->path != nullptr && uri->path[strcspn(uri->path, ":/?#")] == ':')
        return false;
    if ((uri->userInfo != nullptr || uri->host != nullptr) && !empty(uri->path) &&
        uri->path[0] != '/' && mayRefuse(std::string("/") + uri->path))
        return false;
    if (uri->host != nullptr)
        for (const char *p = uri->host; *p != '\0'; p++)
            if ((unsigned char)*p <= ' ' || strchr("/?#[]", *p) != nullptr)
                return false;
    return true;
}

// A composition parsed as written composes the same again.
void checkComposition(const Text &text)
{
    kuURI *uri = kuURI_NewFromEscapedStr(text.c_str());
    checkObject(uri);
    checkEscape(uri);
    std::string once = kufuzz::take(kuURI_GetStr(uri));
    // Parsing trims the text, so white space a component brings to either
    // end of the composition ("//:\vx" has the path "\vx") is lost.
    if (composesBack(uri) &&
        (once.empty() || (!kufuzz::isBlank(once[0]) && !kufuzz::isBlank(once.back())))) {
        kuURI *again = kuURI_NewFromEscapedStr(Text(once).c_str());
        checkObject(again);
        KU_FUZZ_CHECK(kufuzz::take(kuURI_GetStr(again)) == once);
        kuURI_Delete(again);
    }
    kuURI_Delete(uri);
}

} // namespace

// ------------------------------------------------------------ query parts
namespace {

std::string nameOf(const kuURI *uri, uint32_t index)
{
    char *name = nullptr, *value = nullptr;
    KU_FUZZ_CHECK(kuURI_GetQueryPartAt(uri, index, &name, &value) == 1);
    kuFree(value);
    return kufuzz::take(name);
}

// Every part is found by its name; none lies past the count.
void checkQueryParts(const kuURI *uri)
{
    uint32_t count = kuURI_GetQueryPartCount(uri);
    KU_FUZZ_CHECK((count == 0) == empty(uri->query));
    for (uint32_t i = 0; i < count; i++)
        kufuzz::take(kuURI_GetQueryPart(uri, Text(nameOf(uri, i)).c_str()));
    char *name = (char *)"x", *value = (char *)"y";
    KU_FUZZ_CHECK(kuURI_GetQueryPartAt(uri, count, &name, &value) == 0 && !name && !value);
}

// A part added under a new name is found with its value and removed again.
void addAndRemove(kuURI *uri, FuzzedDataProvider &fdp)
{
    std::string name = kufuzz::upToZero(fdp.ConsumeRandomLengthString(12));
    std::string value = kufuzz::upToZero(fdp.ConsumeRandomLengthString(12));
    name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return c == '&' || c == '='; }),
               name.end());
    value.erase(std::remove(value.begin(), value.end(), '&'), value.end());
    bool withValue = fdp.ConsumeBool();
    Text n(name), v(value);
    Owned<char> before(kuURI_GetQueryPart(uri, n.c_str()));
    uint32_t count = kuURI_GetQueryPartCount(uri);
    if (name.empty() || before.get() != nullptr)
        return;
    kuURI_AddQueryPart(uri, n.c_str(), withValue ? v.c_str() : nullptr);
    checkQueryParts(uri);
    KU_FUZZ_CHECK(kufuzz::take(kuURI_GetQueryPart(uri, n.c_str())) == (withValue ? value : ""));
    KU_FUZZ_CHECK(kuURI_GetQueryPartCount(uri) == count + 1);
    KU_FUZZ_CHECK(kuURI_RemoveQueryPart(uri, n.c_str()) == 1);
    KU_FUZZ_CHECK(kuURI_GetQueryPartCount(uri) == count);
    Owned<char> gone(kuURI_GetQueryPart(uri, n.c_str()));
    KU_FUZZ_CHECK(gone.get() == nullptr);
}

// Sorted parts come in strictly ascending name order.
void sortParts(const kuURI *uri)
{
    kuURI *copy = kuURI_Clone(uri);
    kuURI_S_SortQueryPart(copy);
    checkQueryParts(copy);
    for (uint32_t i = 1; i < kuURI_GetQueryPartCount(copy); i++)
        KU_FUZZ_CHECK(nameOf(copy, i - 1) < nameOf(copy, i));
    kuURI *target = kuURI_New();
    kuURI_S_CopyQueryPart(target, uri);
    checkQueryParts(target);
    kuURI_Delete(target);
    kuURI_Delete(copy);
}

} // namespace

// --------------------------------------------------- built, then composed
namespace {

std::string fromSet(FuzzedDataProvider &fdp, const char *set, size_t max)
{
    std::string out;
    size_t n = strlen(set);
    for (size_t k = fdp.ConsumeIntegralInRange<size_t>(0, max); k > 0; k--)
        out += set[fdp.ConsumeIntegralInRange<size_t>(0, n - 1)];
    return out;
}

// Components given to the constructor come back through the composition
// and kuURI_NewFromStr: the setters escape what the grammar would split at.
void buildAndParse(FuzzedDataProvider &fdp)
{
    std::string scheme = "h" + fromSet(fdp, "abcdefghijklmnopqrstuvwxyz+-.", 5);
    scheme = scheme.size() < 2 ? "http" : scheme;
    std::string host = fdp.ConsumeBool() ? fromSet(fdp, "abcdefghz0123456789.-", 12)
                                         : fromSet(fdp, "0123456789abcdef:", 12);
    uint16_t port = fdp.ConsumeIntegral<uint16_t>();
    std::string user = kufuzz::upToZero(fdp.ConsumeRandomLengthString(16));
    std::string path = kufuzz::upToZero(fdp.ConsumeRandomLengthString(24));
    std::string query = kufuzz::upToZero(fdp.ConsumeRandomLengthString(16));
    std::string fragment = kufuzz::upToZero(fdp.ConsumeRandomLengthString(16));
    // Without a host, a path that does not begin with '/' would read as one.
    if (host.empty() && !path.empty() && path[0] != '/')
        path.insert(0, "/");
    // Without a path (or with one the guard empties), an '@' that the query
    // or fragment keeps would end the user info (it runs to the first '@'
    // before a '/').
    for (std::string *text : {&query, &fragment})
        if (path.empty() || mayRefuse(path))
            text->erase(std::remove(text->begin(), text->end(), '@'), text->end());
    kuURI *built = kuURI_New2(Text(scheme).c_str(), Text(user).c_str(), Text(host).c_str(), port,
                              Text(path).c_str(), Text(query).c_str(), Text(fragment).c_str());
    checkObject(built);
    kuURI *parsed = kuURI_NewFromStr(Text(kufuzz::take(kuURI_GetStr(built))).c_str());
    checkObject(parsed);
    bool defaultPort = (scheme == "http" && port == 80) || (scheme == "https" && port == 443);
    KU_FUZZ_CHECK(orEmpty(parsed->scheme) == scheme && orEmpty(parsed->host) == host &&
                  orEmpty(parsed->userInfo) == user && orEmpty(parsed->fragment) == fragment);
    KU_FUZZ_CHECK(parsed->port == (host.empty() || defaultPort ? 0 : port));
    std::replace(query.begin(), query.end(), '+', ' ');
    KU_FUZZ_CHECK(orEmpty(parsed->query) == query);
    // A path after a host is written with a '/' in front.
    if (!empty(built->path) && !mayRefuse(path))
        KU_FUZZ_CHECK(orEmpty(parsed->path) == (path[0] == '/' ? "" : "/") + path);
    kuURI_Delete(parsed);
    kuURI_Delete(built);
}

// A local path comes back from its "file" URI unless the guard refuses it.
void filePaths(const Text &text)
{
    std::string uri = kufuzz::take(kuURI_S_GetFileURIFromFullPath(text.c_str()));
    std::string back = orEmpty(Owned<char>(kuURI_S_GetFullPathFromFileURI(Text(uri).c_str())).get());
    std::string path = text.c_str();
    std::replace(path.begin(), path.end(), '\\', '/');
    if (!path.empty() && path[0] == '/' && !mayRefuse(path))
        KU_FUZZ_CHECK(path == back);
    KU_FUZZ_CHECK(back.empty() || (back[0] == '/' && !leadsOut(unescape(back))));
}

// A reference with a scheme resolves to itself; any result parses.
void combine(const Text &base, const Text &reference)
{
    std::string result = kufuzz::take(kuURI_S_Combine(base.c_str(), reference.c_str()));
    kuURI *parsed = kuURI_NewFromEscapedStr(Text(result).c_str());
    checkObject(parsed);
    kuURI_Delete(parsed);
    kuURI *ref = kuURI_NewFromStr(reference.c_str());
    KU_FUZZ_CHECK(ref->scheme == nullptr || kufuzz::take(kuURI_GetStr(ref)) == result);
    kuURI_Delete(ref);
}

// RFC 3986 resolution: any base with a scheme gives a URI, which resolves
// an empty reference to itself less its fragment.
void resolve(const Text &base, const Text &reference)
{
    Owned<char> result(kuURI_ResolveRFC3986(base.c_str(), reference.c_str()));
    const char *b = base.c_str();
    size_t scheme = strspn(b, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.");
    KU_FUZZ_CHECK((result.get() != nullptr) == (isalpha((unsigned char)b[0]) && b[scheme] == ':'));
    if (result.get() == nullptr)
        return;
    std::string whole = result.get();
    KU_FUZZ_CHECK(kufuzz::take(kuURI_ResolveRFC3986(result.get(), "")) ==
                  whole.substr(0, whole.find('#')));
}

// The in-place unescapers against the rule; the static forms give URIs.
void staticForms(const Text &text)
{
    std::string copy = text.c_str(), plus = copy;
    std::replace(plus.begin(), plus.end(), '+', ' ');
    Text buffer(copy), query(copy);
    KU_FUZZ_CHECK(kuURI_S_Unescape(buffer.data()) == buffer.data());
    KU_FUZZ_CHECK(kufuzz::upToZero(unescape(copy)) == buffer.c_str());
    kuURI_S_Unescape_Query(query.data());
    KU_FUZZ_CHECK(kufuzz::upToZero(unescape(plus)) == query.c_str());
    for (char *s : {kuURI_S_Decode(text.c_str()), kuURI_S_Encode(text.c_str()),
                    kuURI_S_RemoveQueryAndFragment(text.c_str())}) {
        kuURI *parsed = kuURI_NewFromEscapedStr(Text(kufuzz::take(s)).c_str());
        checkObject(parsed);
        kuURI_Delete(parsed);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    Text first(kufuzz::upToZero(fdp.ConsumeRandomLengthString(512)));
    Text second(kufuzz::upToZero(fdp.ConsumeRandomLengthString(256)));

    checkComposition(first);
    kuURI *uri = kuURI_NewFromStr(first.c_str());
    checkObject(uri);
    checkEscape(uri);
    checkQueryParts(uri);
    sortParts(uri);
    addAndRemove(uri, fdp);
    kuURI_AppendToPath(uri, second.c_str());
    checkObject(uri);
    kuURI_SetPath(uri, second.c_str());
    checkObject(uri);
    KU_FUZZ_CHECK(empty(uri->path) || uri->path == escaped(second.c_str(), 2));
    kuURI_Delete(uri);

    combine(first, second);
    combine(second, first);
    resolve(first, second);
    filePaths(first);
    staticForms(first);
    buildAndParse(fdp);
    return 0;
}
