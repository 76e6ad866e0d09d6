/*
 * URIs: tolerant parsing, composition, per-component percent-escaping,
 * query parts, resolution against a base, and "file" URIs.
 *
 * Parsing never fails: whatever does not fit the grammar falls into the path
 * and invalid escapes stay literal. The object does not record whether its
 * user info, path, query and fragment are escaped: the setters and
 * kuURI_New1/kuURI_New2 store them escaped, kuURI_NewFromEscapedStr as
 * written, kuURI_NewFromStr unescaped; kuURI_GetStr writes them as stored.
 * Scheme and host are never escaped or unescaped.
 *
 * Escaping: a byte stays when it belongs to the component's class, otherwise
 * it becomes '%' and two lower-case hexadecimal digits. Every class holds the
 * letters, the digits and - . _ ~ ! $ & ' ( ) * + , ; = : and backslash (79
 * characters, the user-info class); the path class adds '/' and '@', the
 * query and fragment classes '/', '@' and '?'. '%' is always escaped, so
 * escaping twice escapes twice.
 *
 * Path guard (against directory traversal): a path is stored as the empty
 * string when it contains "./", "/.", ".\" or "\.", or when its first
 * segment is ".." (ended by '/', '\\', ';', a NUL or the end). The path is
 * read as a lenient consumer would read it: every level of escaping decoded
 * ("%2e", "%252e", "%%32%65" are all '.') and an overlong UTF-8 form of an
 * ASCII character (2 to 6 bytes: "%c0%ae" is '.', "%c0%af" '/', "%c1%9c"
 * '\') taken as that character. The escapes count because a stored path is
 * unescaped later, by this module or by the caller: '/media/%2e%2e/secret'
 * is refused like '/media/../secret'. The guard runs on every path a setter,
 * a constructor or the parser stores, and kuURI_NewFromStr runs it again on
 * the unescaped path.
 * Departure: the guard is stricter than a test of the stored text alone, so
 * that no reading of a stored path climbs out of its directory: a setter's
 * path holding an escape of a dot beside a separator ('/a/%2e%2e/b', stored
 * as '/a/%252e%252e/b'), a path that is "..", and a path with an overlong
 * form of '.', '/' or '\' next to a separator are stored empty.
 *
 * Readings chosen where the rules leave room:
 * - A component is present when it is not null: an empty user info, query or
 *   fragment read by the parser ("http://@h/", "x?", "x#") is written back,
 *   and so is a path emptied by the guard ("http://h/../x" gives
 *   "http://h/"). An empty scheme (":x") is a scheme.
 * - A drive letter ("D:/a", "D:\a") makes the parse start over without a
 *   scheme, so '?' and '#' still end the path.
 * - The user info ends at the first '@' before the next '/' (it may hold a
 *   '?' or '#': "http://h?a@b" has the user info "h?a" and the host "b").
 * - Query part names that hold '&' match no part. Among parts with the same
 *   name, kuURI_S_SortQueryPart keeps the last one.
 * - kuURI_S_Combine treats a reference whose path is empty (for instance
 *   emptied by the guard) as one without a path; a "file" base with such a
 *   reference is returned unchanged.
 */
#ifndef KUVANATOOLS_KUURI_H
#define KUVANATOOLS_KUURI_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

struct kuURIQueryIndex;

/* The fields are for reading; each string is owned and null when absent.
 * Change them through the functions below: queryIndex describes the query
 * text and follows only the changes this module makes. */
typedef struct kuURI {
    char *scheme;
    char *host;     /* an IPv6 literal without its brackets */
    uint16_t port;  /* 0: no port */
    char *path;
    char *query;    /* without the leading '?' */
    char *fragment; /* without the leading '#' */
    char *userInfo; /* without the trailing '@' */
    /* The module's own: where each query part begins, built by the first
     * kuURI_GetQueryPartAt beyond part 0 and dropped by every change of the
     * query; null until then. Zero it with the other fields. */
    struct kuURIQueryIndex *queryIndex;
} kuURI;

/* A new URI with every field empty. */
KU_API kuURI *kuURI_New(void);

/* A new URI: scheme and host copied, path escaped and guarded. Null
 * arguments leave their fields empty. */
KU_API kuURI *kuURI_New1(const char *scheme, const char *host, uint16_t port, const char *path);

/* kuURI_New1 with user info, query and fragment, each escaped with its
 * class. */
KU_API kuURI *kuURI_New2(const char *scheme, const char *userInfo, const char *host,
                         uint16_t port, const char *path, const char *query,
                         const char *fragment);

/* Parses text (null is taken as "") and unescapes user info, path, query
 * ('+' is a space there) and fragment. */
KU_API kuURI *kuURI_NewFromStr(const char *text);

/* Parses text (null is taken as "") and stores the components as written. */
KU_API kuURI *kuURI_NewFromEscapedStr(const char *text);

/* A deep copy; null for null. */
KU_API kuURI *kuURI_Clone(const kuURI *uri);

/* Frees every string and zeroes every field; null is accepted. */
KU_API void kuURI_Clear(kuURI *uri);

/* Clears and frees the object; null is accepted. */
KU_API void kuURI_Delete(kuURI *uri);

/* 1 for null or when scheme, user info, host, path, query and fragment are
 * all null or empty (the port does not count), else 0. */
KU_API int kuURI_IsEmpty(const kuURI *uri);

/* The setters free the old value; a null or empty value leaves the field
 * null. The scheme and the host are copied unchanged. */
KU_API void kuURI_SetScheme(kuURI *uri, const char *scheme);
/* Sets the host, copied unchanged (an IPv6 literal without brackets). */
KU_API void kuURI_SetHostName(kuURI *uri, const char *host);

/* Stores user info escaped with the user-info class. */
KU_API void kuURI_SetUserInfo(kuURI *uri, const char *userInfo);

/* Stores the path escaped with the path class, then guarded. */
KU_API void kuURI_SetPath(kuURI *uri, const char *path);

/* The same as kuURI_SetPath. */
KU_API void kuURI_SetFilePath(kuURI *uri, const char *path);

/* Stores the whole query escaped with the query class ('&' and '=' stay). */
KU_API void kuURI_SetQuery(kuURI *uri, const char *query);

/* Stores the fragment escaped with the fragment class. */
KU_API void kuURI_SetFragment(kuURI *uri, const char *fragment);

/* Sets the port; 0 removes it. */
KU_API void kuURI_SetPort(kuURI *uri, uint16_t port);

/* Stores address (host byte order, most significant byte first) as a dotted
 * host "a.b.c.d". */
KU_API void kuURI_SetHostIP(kuURI *uri, uint32_t address);

/* The host as an IPv4 address in network byte order: inet_addr of the host,
 * 127.0.0.1 for exactly "localhost", all ones without a host or for a host
 * that is no dotted address. Note the byte order differs from the setter. */
KU_API uint32_t kuURI_GetHostIP(const kuURI *uri);

/* The composed text (release with kuFree); null for null. Ports 80 with
 * "http" and 443 with "https" (exact case) are left out; a host holding ':'
 * is bracketed; "//" follows the scheme when user info, host or path is
 * present. */
KU_API char *kuURI_GetStr(const kuURI *uri);

/* Borrowed pointer into the path just after its last '.', or a static ""
 * without path, without '.', or with a '/' or backslash after the last '.'. */
KU_API const char *kuURI_GetExtension(const kuURI *uri);

/* Escapes the stored user info, path, query and fragment in place, each with
 * its class. */
KU_API void kuURI_Escape(kuURI *uri);

/* Replaces the last segment of the path with segment, escaped with the path
 * class ("/a/b" and "c" give "/a/c"; a path without '/' gives "/c"); without
 * a path, kuURI_SetPath. The result is guarded. A null segment changes
 * nothing. */
KU_API void kuURI_AppendToPath(kuURI *uri, const char *segment);

/* The query is read as parts separated by '&', each "name" or "name=value",
 * compared and returned as stored.
 * Departure: kuURI_GetQueryPartAt keeps an index of the parts in the URI
 * (queryIndex), so that walking every part by index is linear in the query's
 * length rather than quadratic. It is built once, published atomically and
 * never changed afterwards, so several threads may read one URI at once; a
 * URI whose query text was changed other than through this module (which the
 * fields' contract rules out) is read by scanning, as long as the query
 * field holds another string than the one indexed. */

/* 0 for a null or empty query, else 1 + the number of '&'. */
KU_API uint32_t kuURI_GetQueryPartCount(const kuURI *uri);

/* A copy of the value of the first part named name ("" for a part without
 * '='), or null when there is none. */
KU_API char *kuURI_GetQueryPart(const kuURI *uri, const char *name);

/* Stores copies of the name and value (null without '=') of the part at
 * index; both null when index is out of range. Either output may be null.
 * Returns 1 when the part exists, else 0. */
KU_API int kuURI_GetQueryPartAt(const kuURI *uri, uint32_t index, char **outName,
                                char **outValue);

/* Removes the first part named name and one adjoining '&'; removing the only
 * part leaves "". Returns 1 when a part was removed, else 0. */
KU_API int kuURI_RemoveQueryPart(kuURI *uri, const char *name);

/* Removes a part named name, then appends "name=value" ("name" for a null
 * value), after a '&' unless the query is empty. Nothing is escaped. A null
 * name does nothing. */
KU_API void kuURI_AddQueryPart(kuURI *uri, const char *name, const char *value);

/* Sorts the parts by name (strcmp order) and rebuilds the query with
 * kuURI_AddQueryPart, so parts of the same name collapse into one. */
KU_API void kuURI_S_SortQueryPart(kuURI *uri);

/* Adds each part of source to target with kuURI_AddQueryPart, in order. */
KU_API void kuURI_S_CopyQueryPart(kuURI *target, const kuURI *source);

/* Unescapes text in place ("%hh" in either case becomes that byte, any other
 * '%' stays) and returns it; null for null. */
KU_API char *kuURI_S_Unescape(char *text);

/* Turns each '+' into a space, then kuURI_S_Unescape. */
KU_API char *kuURI_S_Unescape_Query(char *text);

/* kuURI_GetStr of kuURI_NewFromStr(text): the unescaped form. Null for
 * null. */
KU_API char *kuURI_S_Decode(const char *text);

/* kuURI_NewFromEscapedStr, kuURI_Escape, kuURI_GetStr. Null for null. */
KU_API char *kuURI_S_Encode(const char *text);

/* text parsed with kuURI_NewFromStr and composed without query and fragment
 * (a null text gives ""). */
KU_API char *kuURI_S_RemoveQueryAndFragment(const char *text);

/*
 * Resolves reference against base. A reference with a scheme is composed
 * alone. Otherwise, by the base's scheme (parsed with kuURI_NewFromStr):
 * - none: the base without its path;
 * - "http", "https" (any case): a reference path beginning with '/'
 *   replaces the base path, another replaces its last segment; the
 *   reference's query replaces the base's (none clears it);
 * - "file" (any case), when the reference has a path: an absolute reference
 *   path replaces the base path; another replaces the last segment of the
 *   normalised base path. The base's query and fragment stay;
 * - any other: the base unchanged.
 * Reference and base are never combined into a path the guard would refuse.
 * Returns a new string; null arguments are taken as "".
 */
KU_API char *kuURI_S_Combine(const char *base, const char *reference);

/* "file" URI text for a local path (backslashes become '/', the path is
 * escaped and guarded): "/tmp/a b" gives "file:///tmp/a%20b". Null for
 * null. */
KU_API char *kuURI_S_GetFileURIFromFullPath(const char *path);

/* The unescaped path of a "file" URI (exact scheme) whose path begins with
 * '/', or null. */
KU_API char *kuURI_S_GetFullPathFromFileURI(const char *text);

/* Extensions */

/*
 * Resolves reference against base exactly as RFC 3986 section 5.2 does
 * (strict: a reference with a scheme keeps its own): both are split into
 * scheme, authority, path, query and fragment, a relative path is merged
 * with the base path and dot segments are removed; the base's fragment is
 * never used. Unlike kuURI_S_Combine this works on the text alone: nothing
 * is escaped, unescaped, normalised or refused by the path guard, whatever
 * the scheme (parse the result with kuURI_NewFromEscapedStr for the guard).
 * "http://a/b/c/d;p?q" and "../g" give "http://a/b/g".
 * Returns a new string (release with kuFree), or null when an argument is
 * null, the base has no scheme (it is not an absolute URI) or memory runs
 * out.
 */
KU_API char *kuURI_ResolveRFC3986(const char *base, const char *reference);

KU_END_DECLS

#endif /* KUVANATOOLS_KUURI_H */
