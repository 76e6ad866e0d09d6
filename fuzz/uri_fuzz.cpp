// URIs: any text parses; a composition parses back to itself; no stored path
// ever leads out of its directory once unescaped; escaping keeps only the
// component's characters and unescapes back; query parts are found where
// they were put; file paths survive a "file" URI.
#include "FuzzUtil.h"

#include <kuvanaTools/kuURI.h>

#include <algorithm>

using namespace kufuzz;

namespace {

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
    kuURI_GetExtension(uri);
    kuURI_GetHostIP(uri);
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


// Every part is found by its name; none lies past the count.
void checkQueryParts(const kuURI *uri)
{
    uint32_t count = kuURI_GetQueryPartCount(uri);
    KU_FUZZ_CHECK((count == 0) == empty(uri->query));
    for (uint32_t i = 0; i < count; i++) {
        Owned<char> name, value;
        KU_FUZZ_CHECK(kuURI_GetQueryPartAt(uri, i, name.out(), value.out()) == 1);
        kufuzz::take(kuURI_GetQueryPart(uri, name.get()));
    }
    char *name = (char *)"x", *value = (char *)"y";
    KU_FUZZ_CHECK(kuURI_GetQueryPartAt(uri, count, &name, &value) == 0 && !name && !value);
}

// A part added under a new name is found with its value and removed again.
void addAndRemove(kuURI *uri, FuzzedDataProvider &fdp)
{
    // names the query text escapes, and values holding '=' and spaces
    Text name(fdp.PickValueInArray({"a", "b c", "%41", "x+y", "k;"}));
    Text value(fdp.PickValueInArray({"", "1", "a=b", "%", "v w+"}));
    bool withValue = fdp.ConsumeBool();
    uint32_t count = kuURI_GetQueryPartCount(uri);
    if (Owned<char>(kuURI_GetQueryPart(uri, name.c_str())).get() != nullptr)
        return;
    kuURI_AddQueryPart(uri, name.c_str(), withValue ? value.c_str() : nullptr);
    KU_FUZZ_CHECK(kufuzz::take(kuURI_GetQueryPart(uri, name.c_str())) ==
                  (withValue ? value.c_str() : ""));
    KU_FUZZ_CHECK(kuURI_RemoveQueryPart(uri, name.c_str()) == 1);
    KU_FUZZ_CHECK(kuURI_GetQueryPartCount(uri) == count);
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

// RFC 3986 resolution: exactly a base with a scheme gives a URI.
void resolve(const Text &base, const Text &reference)
{
    Owned<char> result(kuURI_ResolveRFC3986(base.c_str(), reference.c_str()));
    const char *b = base.c_str();
    size_t scheme = strspn(b, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.");
    KU_FUZZ_CHECK((result.get() != nullptr) == (isalpha((unsigned char)b[0]) && b[scheme] == ':'));
}

// The in-place unescapers against the rule.
void staticForms(const Text &text)
{
    std::string copy = text.c_str(), plus = copy;
    std::replace(plus.begin(), plus.end(), '+', ' ');
    Text buffer(copy), query(copy);
    KU_FUZZ_CHECK(kuURI_S_Unescape(buffer.data()) == buffer.data());
    KU_FUZZ_CHECK(kufuzz::upToZero(unescape(copy)) == buffer.c_str());
    kuURI_S_Unescape_Query(query.data());
    KU_FUZZ_CHECK(kufuzz::upToZero(unescape(plus)) == query.c_str());
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
    addAndRemove(uri, fdp);
    kuURI_AppendToPath(uri, second.c_str());
    checkObject(uri);
    kuURI_SetPath(uri, second.c_str());
    checkObject(uri);
    KU_FUZZ_CHECK(empty(uri->path) || uri->path == escaped(second.c_str(), 2));
    kuURI_Delete(uri);

    kufuzz::take(kuURI_S_Combine(first.c_str(), second.c_str()));
    resolve(first, second);
    filePaths(first);
    staticForms(first);
    return 0;
}
