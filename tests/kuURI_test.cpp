#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuURI.h>

#include "support/OwnedText.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace {

using kutest::orNull;
using kutest::take;

using URI = std::unique_ptr<kuURI, void (*)(kuURI *)>;

URI parse(const char *text, bool unescape = false)
{
    return URI(unescape ? kuURI_NewFromStr(text) : kuURI_NewFromEscapedStr(text), kuURI_Delete);
}

// "scheme|userInfo|host|port|path|query|fragment".
std::string describe(const kuURI *uri)
{
    return orNull(uri->scheme) + "|" + orNull(uri->userInfo) + "|" + orNull(uri->host) + "|" +
           std::to_string(uri->port) + "|" + orNull(uri->path) + "|" + orNull(uri->query) + "|" +
           orNull(uri->fragment);
}

std::string parsed(const char *text, bool unescape = false)
{
    return describe(parse(text, unescape).get());
}

std::string storedPath(const char *text, bool unescape)
{
    return orNull(parse(text, unescape)->path);
}

// Applies one setter to a fresh object and returns the stored field.
std::string stored(void (*set)(kuURI *, const char *), char *kuURI::*field, const char *value)
{
    URI uri(kuURI_New(), kuURI_Delete);
    set(uri.get(), value);
    return orNull(uri.get()->*field);
}

// The query left by edit on an object holding only query.
template <typename Edit> std::string withQuery(const char *query, Edit edit)
{
    URI uri(kuURI_New(), kuURI_Delete);
    uri->query = query != nullptr ? kuStrdup(query) : nullptr;
    edit(uri.get());
    return orNull(uri->query);
}

} // namespace

TEST(kuURI, ParsesAndComposes)
{
    const char *cases[][2] = {
        {"http://user@[::1]:8080/a/b?x=1#f", "http|user|::1|8080|/a/b|x=1|f"},
        {"D:/media/a.mp3", "<null>|<null>|<null>|0|D:/media/a.mp3|<null>|<null>"},
        {"D:media", "D|<null>|<null>|0|media|<null>|<null>"}, {":x", "|<null>|<null>|0|x|<null>|<null>"},
        {" \t http://h/p?#\r\n ", "http|<null>|h|0|/p||"},
        // The user info ends at the first '@' before the next '/', whatever
        // lies between.
        {"http://h?x@b", "http|h?x|b|0|<null>|<null>|<null>"}, {"http://@h/", "http||h|0|/|<null>|<null>"},
        // Brackets: missing ']' takes the rest; "[]" ends the parse.
        {"http://[::1/x?y", "http|<null>|::1/x?y|0|<null>|<null>|<null>"},
        {"http://u@[]:80/p?q#f", "http|u|<null>|0|<null>|<null>|<null>"},
        // Ports wrap modulo 65536; junk after the digits falls into the path.
        {"http://h:65616/", "http|<null>|h|80|/|<null>|<null>"},
        {"http://h:12ab/c", "http|<null>|h|12|ab/c|<null>|<null>"},
        {"http://h:99999999999999999999999999/", "http|<null>|h|65535|/|<null>|<null>"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c[1], parsed(c[0])) << c[0];
    EXPECT_EQ("<null>|<null>|<null>|0|<null>|<null>|<null>", parsed(nullptr));

    // A null second column: the text comes back as it was (any text that
    // does is the fuzz target's part).
    const char *composed[][2] = {
        {"http://[fe80::1%25eth0]:49152/desc.xml", nullptr}, {"http://@h/?#", nullptr},
        {"HTTP://host:80/x", nullptr}, {"http://host:443/", nullptr},
        {"http://host:80/x", "http://host/x"}, {"https://host:443/", "https://host/"},
        {"mailto:a", "mailto://a"}, {"//h/p", "h/p"}, {":x", "://x"},
    };
    for (const auto &c : composed)
        EXPECT_EQ(c[1] != nullptr ? c[1] : c[0], take(kuURI_GetStr(parse(c[0]).get()))) << c[0];

    // Built from parts: a path without '/' gains one after a host; without
    // a host there is no port.
    URI uri(kuURI_New1("http", "h", 81, "x"), kuURI_Delete);
    EXPECT_EQ("http://h:81/x", take(kuURI_GetStr(uri.get())));
    kuURI_SetHostName(uri.get(), nullptr);
    EXPECT_EQ("http://x", take(kuURI_GetStr(uri.get())));
}

TEST(kuURI, UnescapesAndEscapes)
{
    EXPECT_EQ("<null>|<null>|<null>|0|/a b|q=x y|<null>", parsed("/a%20b?q=x+y", true));
    EXPECT_EQ("<null>|<null>|<null>|0|/a%20b|q=x+y|<null>", parsed("/a%20b?q=x+y"));
    // Scheme and host stay as written; '+' is a space only in the query;
    // a '%' without two hex digits stays.
    EXPECT_EQ("s%41|u s|h%41|0|/a+b|1+1=2 %|f g%", parsed("s%41://u%20s@h%41/a+b?1%2B1=2+%#f%20g%", true));

    char text[] = "%41%zz%4";
    EXPECT_STREQ("A%zz%4", kuURI_S_Unescape(text));
    EXPECT_EQ("http://h/a b?x=1 2#f g", take(kuURI_S_Decode("http://h/a%20b?x=1+2#f%20g")));
    EXPECT_EQ("http://h/a%20b?x=y%20z#f%20g%25", take(kuURI_S_Encode("http://h/a b?x=y z#f g%")));
    EXPECT_EQ("http://h/a%2520b", take(kuURI_S_Encode("http://h/a%20b")));
    EXPECT_EQ("http://u@h:81/a b", take(kuURI_S_RemoveQueryAndFragment("http://u@h:81/a%20b?x#y")));

    // Two classes' own characters; every byte in every class is the fuzz
    // target's part.
    EXPECT_EQ("a%2fb%40%3f", stored(kuURI_SetUserInfo, &kuURI::userInfo, "a/b@?"));
    EXPECT_EQ("a/?%23%80%25", stored(kuURI_SetQuery, &kuURI::query, "a/?#\x80%"));
    EXPECT_EQ("<null>", stored(kuURI_SetPath, &kuURI::path, ""));
    EXPECT_EQ("a b", stored(kuURI_SetHostName, &kuURI::host, "a b"));
}

TEST(kuURI, PathGuardRefusesTraversal)
{
    const char *refused[] = {
        "/media/../secret", "/media/.hidden", "/a/./b", "./a", "a/.", "..\\x", "a\\.b", "%2e/x",
        "/media/%2E%2e/secret", "/media/.%2e/secret", "/media/%2e./secret", "/media/..%2Fsecret",
        "/media/..%5csecret", "/x%2f.y", "C:\\media\\..\\x",
        // Whole-path ".." and dots-only first segments, also behind ';' or NUL.
        "..", "%2E%2e", "%2e.", "..;/etc/passwd", "%2e%2e;x", "..%00/x", "..%2500", "%252e%252e",
        // A NUL hides nothing from a reader that decodes once.
        "/a%00/../b", "/a%2500/%2e%2e",
        // Every level of escaping, case mixed.
        "/media/%252E%252e%252Fsecret", "/a/%25252e%25252e/b", "/a/%%32%65%%32%65/b",
        "/a/%2%65./b", "/media/..%255csecret",
        // Overlong 2-, 3-, 4-byte forms of '.', '/' and '\'.
        "/media/%C0%AE%C0%AE/x", "/media/..%c0%afx", "/media/..%c1%9cx", "/media/..%e0%80%afx",
        "/media/%e0%80%ae%e0%80%ae/x", "/media/%f0%80%80%ae./x", "/media/%c0%25%61%65./x",
        "%c0%ae%c0%ae", "/media/\xc0\xae\xc0\xae/x",
    };
    for (const char *path : refused) {
        EXPECT_EQ("", storedPath(path, false)) << path;
        EXPECT_EQ("", storedPath(path, true)) << path;
    }
    // What a setter stores must not hide a dot either, plain or escaped twice.
    EXPECT_EQ("", stored(kuURI_SetPath, &kuURI::path, "/a/../b"));
    EXPECT_EQ("", stored(kuURI_SetPath, &kuURI::path, "/a/%2e%2e/b"));
    EXPECT_EQ("", storedPath("/a%%2e/", false));
    for (const char *path : {"/media/a.mp3", "/a..b/c", ".", "...", "/a%2eb", "/a%2e", "/a%2",
                             "/a%%2e", "..a", "/a;..", "/x%c0%af", "/a%c0%ae", "/%e0%80x.", "/%c2%ae.b"})
        EXPECT_EQ(path, storedPath(path, false)) << path;

    // The guarded path is written back as present but empty.
    EXPECT_EQ("http://h/?q#f", take(kuURI_GetStr(parse("http://h/../x?q#f").get())));
    URI uri(kuURI_New1("http", "h", 0, "/a/b"), kuURI_Delete);
    kuURI_AppendToPath(uri.get(), "../x");
    EXPECT_STREQ("", uri->path);
}

// The part at index, as "name=value" ("name" without a value), or "<none>"
// (where the outputs must be cleared).
std::string partAt(const kuURI *uri, uint32_t index)
{
    char *name = (char *)"?", *value = (char *)"?";
    if (!kuURI_GetQueryPartAt(uri, index, &name, &value))
        return name == nullptr && value == nullptr ? "<none>" : "<outputs kept>";
    std::string out = take(name);
    return value != nullptr ? out + "=" + take(value) : out;
}

TEST(kuURI, QueryParts)
{
    URI uri = parse("?ab=1&b=2&b=3&c&d=x=y&=e&");
    const char *values[][2] = {{"b", "2"}, {"ab", "1"}, {"a", "<null>"}, {"c", ""},
                               {"d", "x=y"}, {"", "e"}, {"b&c", "<null>"}, {"c=", "<null>"}};
    for (const auto &v : values)
        EXPECT_EQ(v[1], take(kuURI_GetQueryPart(uri.get(), v[0]))) << v[0];
    EXPECT_EQ("<null>", take(kuURI_GetQueryPart(uri.get(), nullptr)));
    EXPECT_EQ(7u, kuURI_GetQueryPartCount(uri.get()));
    EXPECT_EQ(1, kuURI_GetQueryPartAt(uri.get(), 0, nullptr, nullptr));

    const char *removals[][3] = {{"a=1&b=2", "a", "b=2"}, {"a=1&b=2", "b", "a=1"},
                                 {"a&b=2&c", "b", "a&c"}, {"a=1", "a", ""},
                                 {"ab=1&a=2&a", "a", "ab=1&a"}, {"&a", "", "a"}};
    for (const auto &r : removals)
        EXPECT_EQ(r[2], withQuery(r[0], [&r](kuURI *u) { kuURI_RemoveQueryPart(u, r[1]); }))
            << r[0] << " " << r[1];
    const char *additions[][4] = {
        {nullptr, "a", "1", "a=1"}, {"", "a", nullptr, "a"}, {"a=1&b=2", "a", "9", "b=2&a=9"},
        {"a=1&b=2", "c", " x&", "a=1&b=2&c= x&"}, {"a=1&a=2", "a", "", "a=2&a="},
        {nullptr, "", nullptr, ""}, {"q", nullptr, "v", "q"}};
    for (const auto &a : additions)
        EXPECT_EQ(a[3], withQuery(a[0], [&a](kuURI *u) { kuURI_AddQueryPart(u, a[1], a[2]); }))
            << orNull(a[0]);
    // Sorting and copying are compared with adding part by part below.
    EXPECT_EQ("<null>", withQuery(nullptr, kuURI_S_SortQueryPart));
    URI target = parse("?x=1&a=0");
    kuURI_S_CopyQueryPart(target.get(), target.get()); // same names: nothing changes
    EXPECT_STREQ("x=1&a=0", target->query);

    // Sorting adds the parts one by one in a stable order by name, copying adds
    // the source's parts to the target's one by one: a part replaces the first
    // of its name.
    const char *sorts[][2] = {{"b=2&a=1&b=1&a", "a&b=1"}, {"", ""}, {"&&", ""}, {"x", "x"},
                              {"b&a=&", "a=&b"}, {"ab&a&b=&=x&a=2", "=x&a=2&ab&b="}};
    for (const auto &s : sorts)
        EXPECT_EQ(s[1], withQuery(s[0], kuURI_S_SortQueryPart)) << s[0];
    const char *copies[][3] = {{"a=1&b=2", "b=3&c", "a=1&b=3&c"}, {"", "a=1&a=2", "a=2"},
                               {"a=1&a=2", "a=3", "a=2&a=3"}, {"x", "", "x"}, {"&", "=1&", ""},
                               {"a&b", "b&a=&a", "b&a"}, {nullptr, "x=1", "x=1"}};
    for (const auto &c : copies) {
        URI source = parse((std::string("?") + c[1]).c_str());
        EXPECT_EQ(c[2], withQuery(c[0], [&](kuURI *u) { kuURI_S_CopyQueryPart(u, source.get()); }))
            << orNull(c[0]) << " + " << c[1];
    }

    // The index of the parts follows every change of the query.
    URI small = parse("?a=1&b=2&c");
    using Edit = std::function<void(kuURI *)>;
    const std::pair<Edit, const char *> edits[] = {
        {[](kuURI *u) { kuURI_RemoveQueryPart(u, "a"); }, "c <none> <none>"},
        {[](kuURI *u) { kuURI_AddQueryPart(u, "a", "9"); }, "c a=9 <none>"},
        {[](kuURI *u) { kuURI_S_SortQueryPart(u); }, "b=2 c <none>"},
        {[](kuURI *u) { kuURI_SetQuery(u, "x&y z"); }, "y%20z <none> <none>"},
        {[](kuURI *u) { kuURI_Escape(u); }, "y%2520z <none> <none>"},
        {[](kuURI *u) { kuURI_S_CopyQueryPart(u, parse("?p=1&q").get()); }, "y%2520z p=1 q"},
        {[](kuURI *u) { kuURI_Clear(u); }, "<none> <none> <none>"},
    };
    for (const auto &edit : edits) {
        partAt(small.get(), 2); // builds the index the edit must drop
        edit.first(small.get());
        std::string seen = partAt(small.get(), 1) + " " + partAt(small.get(), 2);
        EXPECT_EQ(edit.second, seen + " " + partAt(small.get(), 3)) << edit.second;
    }
}

TEST(kuURI, Combines)
{
    const char *base = "http://h/dir/page.html?x=1", *media = "file:///media/";
    const char *cases[][3] = {
        {base, "/top.png?y=2", "http://h/top.png?y=2"}, {base, "rtsp://o/p", "rtsp://o/p"},
        {base, "sub/a%20b.png#frag", "http://h/dir/sub/a%20b.png"}, {base, "?y", "http://h/dir/page.html?y"},
        {"HTTPS://u@h:8443/v/a.mp4?old#keep", "b.mp4?t=a+b", "HTTPS://u@h:8443/v/b.mp4?t=a%20b#keep"},
        // Traversal in the reference, plain or escaped, never reaches the result.
        {base, "%2e%2e/secret", "http://h/dir/page.html"}, {base, "..", "http://h/dir/page.html"},
        {media, "../etc/passwd", media}, {media, "?x", media},
        // Other bases: no scheme drops the path; unknown schemes stay.
        {"//h/p?q", "x", "h?q"}, {"relative/x", "y", ""}, {"ftp://h/p", "x", "ftp://h/p"}, {nullptr, nullptr, ""},
        // File bases: the reference is escaped and joined to the directory;
        // without a full local path it stands alone.
        {"file:///media/music/", "a b.mp3", "file:///media/music/a%20b.mp3"},
        {"file:///media/music/x.mp3", "y.mp3", "file:///media/music/y.mp3"},
        {"file:///media/My%20Music/", "01%20%C3%9Cber.mp3", "file:///media/My%20Music/01%20%c3%9cber.mp3"},
        {"file:///media//music//", "a.mp3", "file:///media/music/a.mp3"},
        {"file:///media/x.mp3?q#f", "/other/z.mp3?r#s", "file:///other/z.mp3?q#f"},
        {"FILE:///media/", "/sub/a.mp3", "FILE:///sub/a.mp3"}, {"FILE:///media/", "a.mp3", "FILE://a.mp3"},
        // The root directory keeps its single '/'.
        {"file:///", "a.mp3", "file:///a.mp3"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c[2], take(kuURI_S_Combine(c[0], c[1]))) << orNull(c[0]) << " + " << orNull(c[1]);

    EXPECT_EQ("file://C:/dir/x%20y.mp3", take(kuURI_S_GetFileURIFromFullPath("C:\\dir\\x y.mp3")));
    EXPECT_EQ("file://", take(kuURI_S_GetFileURIFromFullPath("/tmp\\..\\etc")));
    EXPECT_EQ("<null>", take(kuURI_S_GetFileURIFromFullPath(nullptr)));
    EXPECT_EQ("file:///1%25/%c3%9c%20%23%3f", take(kuURI_S_GetFileURIFromFullPath("/1%/Ü #?")));
    EXPECT_EQ("<null>", take(kuURI_S_GetFullPathFromFileURI("FILE:///x")));
    EXPECT_EQ("<null>", take(kuURI_S_GetFullPathFromFileURI("file:x")));
}

TEST(kuURI, HostAddressesPathsExtensionsAndLifetime)
{
    URI uri(kuURI_New(), kuURI_Delete);
    EXPECT_EQ(0xFFFFFFFFu, kuURI_GetHostIP(uri.get()));
    kuURI_SetHostIP(uri.get(), 0xC0A80A01u);
    EXPECT_STREQ("192.168.10.1", uri->host);
    EXPECT_EQ(htonl(0xC0A80A01u), kuURI_GetHostIP(uri.get()));
    kuURI_SetHostName(uri.get(), "localhost");
    EXPECT_EQ(htonl(0x7F000001u), kuURI_GetHostIP(uri.get()));
    for (const char *host : {"LocalHost", "media.local", "1.2.3.4.5", "1.2.3.256"}) {
        kuURI_SetHostName(uri.get(), host);
        EXPECT_EQ(0xFFFFFFFFu, kuURI_GetHostIP(uri.get())) << host;
    }

    // The extension of the last segment only; the appended segment replaces
    // the last one and is escaped.
    const char *paths[][4] = {
        {"/a.b/c", "", "x y", "/a.b/x%20y"}, {"/a\\b.c\\d", "", nullptr, "/a\\b.c\\d"},
        {"/a/b.", "", "c", "/a/c"}, {"/a/c.tar.gz", "gz", nullptr, "/a/c.tar.gz"},
        {"/a/b/", "", "c", "/a/b/c"}, {"b", "", "c/d", "/c/d"}, {nullptr, "", "x?y", "x%3fy"},
    };
    for (const auto &p : paths) {
        kuURI_SetPath(uri.get(), p[0]);
        EXPECT_STREQ(p[1], kuURI_GetExtension(uri.get())) << orNull(p[0]);
        kuURI_AppendToPath(uri.get(), p[2]);
        EXPECT_EQ(p[3], orNull(uri->path)) << orNull(p[0]) << " + " << orNull(p[2]);
    }

    // Emptiness ignores the port and empty strings.
    URI empty(kuURI_New2("", "", "", 8080, "", "", ""), kuURI_Delete);
    empty->query = kuStrdup("");
    EXPECT_EQ(1, kuURI_IsEmpty(empty.get()));
    kuURI_SetFragment(empty.get(), "f");
    EXPECT_EQ(0, kuURI_IsEmpty(empty.get()));

    // A field set from itself (clones are compared by the fuzz target).
    URI copy(kuURI_New2("http", "u", "h", 8080, "/p", "q=1", "f"), kuURI_Delete);
    kuURI_SetPath(copy.get(), copy->path);
    EXPECT_EQ("http|u|h|8080|/p|q=1|f", describe(copy.get()));
}

TEST(kuURI, ResolvesAsRFC3986)
{
    // Examples of RFC 3986 section 5.4, one of each kind.
    const char *cases[][2] = {
        {"g:h", "g:h"}, {"./g", "http://a/b/c/g"}, {"/g", "http://a/g"}, {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"}, {"#s", "http://a/b/c/d;p?q#s"}, {"http:g", "http:g"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"}, {"", "http://a/b/c/d;p?q"}, {".", "http://a/b/c/"},
        {"../", "http://a/b/"}, {"../..", "http://a/"}, {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"}, {"/../g", "http://a/g"}, {"g.", "http://a/b/c/g."},
        {"..g", "http://a/b/c/..g"}, {"./g/.", "http://a/b/c/g/"}, {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/../x", "http://a/b/c/g?y/../x"}, {"g#s/../x", "http://a/b/c/g#s/../x"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c[1], take(kuURI_ResolveRFC3986("http://a/b/c/d;p?q", c[0]))) << c[0];
    // An authority with an empty path merges under "/"; the base's fragment
    // never carries over; a base that is no absolute URI gives null.
    const char *bases[][3] = {{"http://a", "g", "http://a/g"}, {"urn:x", "g", "urn:g"},
                              {"x1+.-:x", "g", "x1+.-:g"},     {"urn:x:y#f", "", "urn:x:y"},
                              {"/relative", "g", "<null>"},    {nullptr, "g", "<null>"}};
    for (const auto &b : bases)
        EXPECT_EQ(b[2], take(kuURI_ResolveRFC3986(b[0], b[1]))) << orNull(b[0]);
}

// Query parts read by index from two threads at once: the index built on
// first use is built once (run under ThreadSanitizer too; long queries are
// the fuzz target's part).
TEST(kuURI, QueryIndexSharedBetweenThreads)
{
    URI uri = parse("?k0=%20&k1=%20&k2=%20", true);
    std::thread reader([&uri] { EXPECT_EQ("k2= ", partAt(uri.get(), 2)); });
    EXPECT_EQ("k1= ", partAt(uri.get(), 1));
    reader.join();
}
