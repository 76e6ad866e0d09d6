#include <kuvanaTools/kuMimeTypeInfo.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using kutest::orNull;
using kutest::take;

using Mime = std::unique_ptr<kuMimeTypeInfo, void (*)(kuMimeTypeInfo *)>;

static Mime mime(const char *text)
{
    return Mime(kuMimeTypeInfo_New(text), kuMimeTypeInfo_Delete);
}

// "type|name=value|name=<null>|..."
static std::string parsed(const char *text)
{
    Mime info = mime(text);
    std::string d = kuMimeTypeInfo_GetMimeType(info.get());
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(info.get()); i++)
        d += "|" + orNull(kuMimeTypeInfo_GetPart(info.get(), i)) + "=" +
             orNull(kuMimeTypeInfo_GetPartValue(info.get(), i));
    return d;
}

TEST(kuMimeTypeInfo, ParsingCompositionAndLookups)
{
    const char *cases[][2] = {
        {" Video/MPEG ;", " Video/MPEG "}, {"video/mpeg;;x;=v;n=;n=\"\";", "video/mpeg"},
        // Quotes protect ';' only once the '=' has been seen; unclosed, they
        // run to the end.
        {"a/b;x=\"1;2\";y=3", "a/b|x=1;2|y=3"}, {"a/b;x\"1;y=2", "a/b|y=2"}, {"a/b;x=p\"q;r\"s", "a/b|x=p\"q;r\"s"},
        // Everything after the first '=' is the value; duplicates are kept.
        {"a/b;x=\"open;y=1", "a/b|x=\"open;y=1"}, {"a/b;a=b=c;a=2", "a/b|a=b=c|a=2"},
        // L16 has one channel unless it says otherwise.
        {"audio/l16;rate=48000;channels=2", "audio/l16|rate=48000|channels=2"},
        {"audio/L16;Channels=2", "audio/L16|Channels=2"}, {"audio/L16;", "audio/L16|channels=1"},
        {"audio/L16 ;rate=1", "audio/L16 |rate=1"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c[1], parsed(c[0])) << c[0];
    EXPECT_EQ("", parsed(nullptr));

    EXPECT_EQ("a/b;x=1;2;y=3", take(kuMimeTypeInfo_Get(mime("a/b;x=\"1;2\";y=3").get())));
    Mime info = mime("application/x-dtcp1;A=1");
    kuMimeTypeInfo_AddPart(info.get(), "flag", nullptr);
    kuMimeTypeInfo_AddPart(info.get(), "empty", "");
    kuMimeTypeInfo_AddPart(info.get(), "", "ignored");
    kuMimeTypeInfo_AddPart(info.get(), nullptr, "ignored");
    kuMimeTypeInfo_AddPart(info.get(), "A", "again");
    EXPECT_EQ("application/x-dtcp1;A=1;flag;empty;A=again", take(kuMimeTypeInfo_Get(info.get())));
    kuMimeTypeInfo_Delete(nullptr);

    info = mime("a/b;Rate=44100; blank=1;Rate=2");
    // Names are compared whole in any case; the first of a name counts.
    const char *names[][3] = {{"rate", "1", "44100"}, {"blank", "0", "<null>"},
                              {" BLANK", "1", "1"}, {"", "0", "<null>"}};
    for (const auto &n : names) {
        EXPECT_EQ(n[1][0] - '0', kuMimeTypeInfo_HasPart(info.get(), n[0])) << n[0];
        EXPECT_EQ(n[2], take(kuMimeTypeInfo_GetPartValueByName(info.get(), n[0]))) << n[0];
    }
    EXPECT_EQ("<null>", take(kuMimeTypeInfo_GetPartValueByName(mime("a/b").get(), "x")));
    EXPECT_EQ(nullptr, kuMimeTypeInfo_GetPartValue(info.get(), 3));
    // The first parameter of the name decides, even without value.
    kuMimeTypeInfo_AddPart(info.get(), "flag", nullptr);
    kuMimeTypeInfo_AddPart(info.get(), "flag", "later");
    EXPECT_EQ(1, kuMimeTypeInfo_HasPart(info.get(), "FLAG"));
    EXPECT_EQ("<null>", take(kuMimeTypeInfo_GetPartValueByName(info.get(), "flag")));
    EXPECT_EQ(nullptr, kuMimeTypeInfo_GetMimeType(nullptr));
    EXPECT_EQ(0u, kuMimeTypeInfo_GetPartCount(nullptr));
}

TEST(kuMimeTypeInfo, ComparisonIsOneSidedAndCaseInsensitive)
{
    const struct { int expected; const char *a, *b; } pairs[] = {
        {1, "VIDEO/MPEG;Profile=A", "video/mpeg;profile=a;level=2"},
        {0, "video/mpeg;profile=a;level=2", "VIDEO/MPEG;Profile=A"}, {1, "audio/mpeg", "audio/mpeg;x=1"},
        {0, "audio/mpeg;x=1", "audio/mpeg;x=2"}, {0, "audio/mpeg", "audio/mp4"},
        {1, "a/b;x=1;x=2", "a/b;x=2;y=0;x=1"}, {1, "a/b;x=\"A;B\"", "a/b;X=\"a;b\""},
        {0, "a/b;x=\"A;B\"", "a/b;x=a;b"}, {0, "a/b", nullptr},
        // Both sides carry the same parameters in opposite orders (long
        // lists are the fuzz target's part).
        {1, "v/m;p0=v0;p1=v1;p2=v2", "V/M;P2=V2;P1=V1;P0=V0"},
        {0, "v/m;P1=V1;P0=V0;e=1", "v/m;p0=v0;p1=v1"},
        // The L16 channel count takes part on both sides.
        {0, "audio/L16;rate=44100", "audio/L16;rate=44100;channels=2"},
        {1, "audio/L16", "audio/L16;rate=44100;channels=2"},
    };
    for (const auto &p : pairs)
        EXPECT_EQ(p.expected, kuMimeTypeInfo_S_Same(p.a, p.b)) << p.a << " " << orNull(p.b);

    // A parameter without value matches only one without value, which no
    // parsed text has.
    Mime info = mime("a/b");
    kuMimeTypeInfo_AddPart(info.get(), "flag", nullptr);
    EXPECT_EQ(0, kuMimeTypeInfo_SameAs(info.get(), "a/b;flag=1"));
    EXPECT_EQ(0, kuMimeTypeInfo_SameAs(info.get(), "a/b;flag"));
    EXPECT_EQ(0, kuMimeTypeInfo_SameAs(nullptr, "a/b"));
}
