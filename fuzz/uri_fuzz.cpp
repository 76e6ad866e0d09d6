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

int hexValue(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%hh" in either case is that byte; any other '%' stays.
std::string unescape(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue((unsigned char)text[i + 1]) >= 0 &&
            hexValue((unsigned char)text[i + 2]) >= 0) {
            out += (char)(hexValue((unsigned char)text[i + 1]) * 16 + hexValue((unsigned char)text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool isWhite(char c)
{
    return c == ' ' || (c >= 9 && c <= 13);
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

std::string orEmpty(const char *text)
{
    return text != nullptr ? text : "";
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
    for (const char *p = text; p != nullptr && *p != '\0'; p++) {
        char hex[4];
        snprintf(hex, sizeof hex, "%%%02x", (unsigned char)*p);
        out += kept((unsigned char)*p, component) ? std::string(1, *p) : hex;
    }
    return out;
}

// What holds for every object, however it was made.
void checkObject(const kuURI *uri)
{
    if (uri->path != nullptr)
        KU_FUZZ_CHECK(!leadsOut(unescape(uri->path)));
    bool allEmpty = empty(uri->scheme) && empty(uri->userInfo) && empty(uri->host) &&
                    empty(uri->path) && empty(uri->query) && empty(uri->fragment);
    KU_FUZZ_CHECK(kuURI_IsEmpty(uri) == (allEmpty ? 1 : 0));
    const char *extension = kuURI_GetExtension(uri);
    KU_FUZZ_CHECK(extension != nullptr);
    if (extension[0] != '\0') {
        KU_FUZZ_CHECK(uri->path != nullptr && extension > uri->path && extension[-1] == '.');
        KU_FUZZ_CHECK(extension <= uri->path + strlen(uri->path));
        KU_FUZZ_CHECK(strpbrk(extension, "./\\") == nullptr);
    }
    kuURI_GetHostIP(uri);
    kuURI *copy = kuURI_Clone(uri);
    Owned<char> a(kuURI_GetStr(uri)), b(kuURI_GetStr(copy));
    KU_FUZZ_CHECK(a.get() != nullptr && strcmp(a.get(), b.get()) == 0);
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
    if (!composesBack(uri)) {
        kuURI_Delete(uri);
        return;
    }
    Owned<char> once(kuURI_GetStr(uri));
    // Parsing trims the text, so white space a component brings to either
    // end of the composition ("//:\vx" has the path "\vx") is lost.
    size_t length = strlen(once.get());
    if (length > 0 && (isWhite(once.get()[0]) || isWhite(once.get()[length - 1]))) {
        kuURI_Delete(uri);
        return;
    }
    kuURI *again = kuURI_NewFromEscapedStr(once.get());
    checkObject(again);
    Owned<char> twice(kuURI_GetStr(again));
    if (strcmp(once.get(), twice.get()) != 0) {
        fprintf(stderr, "'%s' composes as '%s', then as '%s'\n", text.c_str(), once.get(),
                twice.get());
        KU_FUZZ_CHECK(!"a composition parses back to itself");
    }
    kuURI_Delete(again);
    kuURI_Delete(uri);
}

} // namespace

// ------------------------------------------------------------ query parts
namespace {

std::string nameOf(const kuURI *uri, uint32_t index)
{
    char *name = nullptr, *value = nullptr;
    KU_FUZZ_CHECK(kuURI_GetQueryPartAt(uri, index, &name, &value) == 1);
    KU_FUZZ_CHECK(name != nullptr);
    std::string out = name;
    kuFree(name);
    kuFree(value);
    return out;
}

void checkQueryParts(const kuURI *uri)
{
    uint32_t count = kuURI_GetQueryPartCount(uri);
    KU_FUZZ_CHECK((count == 0) == empty(uri->query));
    for (uint32_t i = 0; i < count; i++) {
        std::string name = nameOf(uri, i);
        KU_FUZZ_CHECK(name.find('&') == std::string::npos);
        Owned<char> value(kuURI_GetQueryPart(uri, Text(name).c_str()));
        KU_FUZZ_CHECK(value.get() != nullptr);
    }
    char *name = (char *)"x", *value = (char *)"y";
    KU_FUZZ_CHECK(kuURI_GetQueryPartAt(uri, count, &name, &value) == 0);
    KU_FUZZ_CHECK(name == nullptr && value == nullptr);
}

// A part added under a new name is found with its value and removed again.
void addAndRemove(kuURI *uri, FuzzedDataProvider &fdp)
{
    std::string name, value;
    for (char c : kufuzz::upToZero(fdp.ConsumeRandomLengthString(12)))
        if (c != '&' && c != '=')
            name += c;
    for (char c : kufuzz::upToZero(fdp.ConsumeRandomLengthString(12)))
        if (c != '&')
            value += c;
    bool withValue = fdp.ConsumeBool();
    if (name.empty())
        return;
    Text n(name), v(value);
    Owned<char> before(kuURI_GetQueryPart(uri, n.c_str()));
    uint32_t count = kuURI_GetQueryPartCount(uri);
    kuURI_AddQueryPart(uri, n.c_str(), withValue ? v.c_str() : nullptr);
    checkQueryParts(uri);
    if (before.get() == nullptr) {
        Owned<char> after(kuURI_GetQueryPart(uri, n.c_str()));
        KU_FUZZ_CHECK(after.get() != nullptr && (withValue ? value : "") == after.get());
        KU_FUZZ_CHECK(kuURI_GetQueryPartCount(uri) == count + 1);
        KU_FUZZ_CHECK(kuURI_RemoveQueryPart(uri, n.c_str()) == 1);
        KU_FUZZ_CHECK(kuURI_GetQueryPartCount(uri) == count);
        Owned<char> gone(kuURI_GetQueryPart(uri, n.c_str()));
        KU_FUZZ_CHECK(gone.get() == nullptr);
    }
    checkQueryParts(uri);
}

// Sorted parts come in strictly ascending name order.
void sortParts(const kuURI *uri)
{
    kuURI *copy = kuURI_Clone(uri);
    kuURI_S_SortQueryPart(copy);
    checkQueryParts(copy);
    uint32_t count = kuURI_GetQueryPartCount(copy);
    for (uint32_t i = 1; i < count; i++)
        KU_FUZZ_CHECK(strcmp(nameOf(copy, i - 1).c_str(), nameOf(copy, i).c_str()) < 0);
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
    std::string scheme = fromSet(fdp, "abcdefghijklmnopqrstuvwxyz+-.", 6);
    if (scheme.size() < 2)
        scheme = "http";
    scheme[0] = 'h';
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
    if (path.empty() || mayRefuse(path)) {
        query.erase(std::remove(query.begin(), query.end(), '@'), query.end());
        fragment.erase(std::remove(fragment.begin(), fragment.end(), '@'), fragment.end());
    }
    kuURI *built = kuURI_New2(Text(scheme).c_str(), Text(user).c_str(), Text(host).c_str(), port,
                              Text(path).c_str(), Text(query).c_str(), Text(fragment).c_str());
    checkObject(built);
    Owned<char> text(kuURI_GetStr(built));
    kuURI *parsed = kuURI_NewFromStr(text.get());
    checkObject(parsed);
    KU_FUZZ_CHECK(orEmpty(parsed->scheme) == scheme);
    KU_FUZZ_CHECK(orEmpty(parsed->host) == host);
    bool defaultPort = (scheme == "http" && port == 80) || (scheme == "https" && port == 443);
    KU_FUZZ_CHECK(parsed->port == (host.empty() || defaultPort ? 0 : port));
    KU_FUZZ_CHECK(orEmpty(parsed->userInfo) == user);
    std::string plusAsSpace = query;
    for (char &c : plusAsSpace)
        c = c == '+' ? ' ' : c;
    KU_FUZZ_CHECK(orEmpty(parsed->query) == plusAsSpace);
    KU_FUZZ_CHECK(orEmpty(parsed->fragment) == fragment);
    if (!empty(built->path)) {
        // The '/' written before a path after a host may make it one the
        // guard refuses ("/."); kuURI_NewFromStr also guards the unescaped
        // path.
        std::string expected = (path[0] == '/' ? "" : "/") + path;
        if (!mayRefuse(expected))
            KU_FUZZ_CHECK(orEmpty(parsed->path) == expected);
    }
    kuURI_Delete(parsed);
    kuURI_Delete(built);
}

// A local path comes back from its "file" URI unless the guard refuses it.
void filePaths(const Text &text)
{
    Owned<char> uri(kuURI_S_GetFileURIFromFullPath(text.c_str()));
    KU_FUZZ_CHECK(uri.get() != nullptr);
    Owned<char> back(kuURI_S_GetFullPathFromFileURI(uri.get()));
    std::string path = text.c_str();
    for (char &c : path)
        c = c == '\\' ? '/' : c;
    // The guard reads the escaped path with its escapes decoded (the path
    // itself), then kuURI_NewFromStr's unescaped one likewise.
    if (!path.empty() && path[0] == '/' && !mayRefuse(path)) {
        KU_FUZZ_CHECK(back.get() != nullptr && path == back.get());
    }
    if (back.get() != nullptr) {
        KU_FUZZ_CHECK(back.get()[0] == '/');
        KU_FUZZ_CHECK(!leadsOut(unescape(back.get())));
    }
}

// Resolution never gives a path the guard would refuse.
void combine(const Text &base, const Text &reference)
{
    Owned<char> result(kuURI_S_Combine(base.c_str(), reference.c_str()));
    KU_FUZZ_CHECK(result.get() != nullptr);
    kuURI *parsed = kuURI_NewFromEscapedStr(result.get());
    checkObject(parsed);
    kuURI_Delete(parsed);
    kuURI *ref = kuURI_NewFromStr(reference.c_str());
    if (ref->scheme != nullptr) {
        Owned<char> alone(kuURI_GetStr(ref));
        KU_FUZZ_CHECK(strcmp(alone.get(), result.get()) == 0);
    }
    kuURI_Delete(ref);
}

// RFC 3986 resolution: any base with a scheme gives a URI, which resolves
// an empty reference to itself less its fragment.
void resolve(const Text &base, const Text &reference)
{
    Owned<char> result(kuURI_ResolveRFC3986(base.c_str(), reference.c_str()));
    const char *b = base.c_str();
    size_t scheme = strspn(b, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.");
    bool absolute = isalpha((unsigned char)b[0]) && b[scheme] == ':';
    KU_FUZZ_CHECK((result.get() != nullptr) == absolute);
    if (result.get() == nullptr)
        return;
    Owned<char> again(kuURI_ResolveRFC3986(result.get(), ""));
    KU_FUZZ_CHECK(again.get() != nullptr);
    std::string withoutFragment = result.get();
    KU_FUZZ_CHECK(withoutFragment.substr(0, withoutFragment.find('#')) == again.get());
}

void staticForms(const Text &text)
{
    std::string copy = text.c_str();
    Text buffer(copy);
    KU_FUZZ_CHECK(kuURI_S_Unescape(buffer.data()) == buffer.data());
    KU_FUZZ_CHECK(kufuzz::upToZero(unescape(copy)) == buffer.c_str());
    std::string plus = copy;
    for (char &c : plus)
        c = c == '+' ? ' ' : c;
    Text query(copy);
    kuURI_S_Unescape_Query(query.data());
    KU_FUZZ_CHECK(kufuzz::upToZero(unescape(plus)) == query.c_str());
    for (char *s : {kuURI_S_Decode(text.c_str()), kuURI_S_Encode(text.c_str()),
                    kuURI_S_RemoveQueryAndFragment(text.c_str())}) {
        KU_FUZZ_CHECK(s != nullptr);
        kuURI *parsed = kuURI_NewFromEscapedStr(s);
        checkObject(parsed);
        kuURI_Delete(parsed);
        kuFree(s);
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
    if (!empty(uri->path))
        KU_FUZZ_CHECK(unescape(uri->path) == second.c_str());
    kuURI_Delete(uri);

    combine(first, second);
    combine(second, first);
    resolve(first, second);
    filePaths(first);
    staticForms(first);
    buildAndParse(fdp);
    return 0;
}
