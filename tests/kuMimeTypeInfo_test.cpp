#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuMimeTypeInfo.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kutest::take;

std::string orNull(const char *s)
{
    return s != nullptr ? s : "<null>";
}

// "type|name=value|name|..." with <null> for a missing value.
std::string describe(const kuMimeTypeInfo *info)
{
    std::string d = kuMimeTypeInfo_GetMimeType(info);
    for (uint32_t i = 0; i < kuMimeTypeInfo_GetPartCount(info); i++)
        d += "|" + orNull(kuMimeTypeInfo_GetPart(info, i)) + "=" +
             orNull(kuMimeTypeInfo_GetPartValue(info, i));
    return d;
}

std::string parsed(const char *text)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New(text);
    std::string d = describe(info);
    kuMimeTypeInfo_Delete(info);
    return d;
}

std::string roundTrip(const char *text)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New(text);
    std::string composed = take(kuMimeTypeInfo_Get(info));
    kuMimeTypeInfo_Delete(info);
    return composed;
}

} // namespace

TEST(kuMimeTypeInfo, ParsingAndComposition)
{
    EXPECT_EQ("text/html", parsed("text/html"));
    EXPECT_EQ("", parsed(nullptr));
    EXPECT_EQ(" Video/MPEG ", parsed(" Video/MPEG ;"));
    EXPECT_EQ("video/mpeg", parsed("video/mpeg;;x;=v;n=;n=\"\";"));
    EXPECT_EQ("a/b| n=v|N=\"x", parsed("a/b; n=v;N=\"x"));
    // Quotes protect ';' only once the '=' has been seen; unclosed, they run
    // to the end.
    EXPECT_EQ("a/b|x=1;2|y=3", parsed("a/b;x=\"1;2\";y=3"));
    EXPECT_EQ("a/b|y=2", parsed("a/b;x\"1;y=2"));
    EXPECT_EQ("a/b|x=p\"q;r\"s", parsed("a/b;x=p\"q;r\"s"));
    EXPECT_EQ("a/b|x=\"open;y=1", parsed("a/b;x=\"open;y=1"));
    // Everything after the first '=' is the value; duplicates are kept.
    EXPECT_EQ("a/b|a=b=c|a=2", parsed("a/b;a=b=c;a=2"));

    EXPECT_EQ("a/b;x=1;2;y=3", roundTrip("a/b;x=\"1;2\";y=3"));
    EXPECT_EQ("video/mpeg", roundTrip("video/mpeg;;x"));
    kuMimeTypeInfo *info = kuMimeTypeInfo_New("application/x-dtcp1;A=1");
    kuMimeTypeInfo_AddPart(info, "flag", nullptr);
    kuMimeTypeInfo_AddPart(info, "empty", "");
    kuMimeTypeInfo_AddPart(info, "", "ignored");
    kuMimeTypeInfo_AddPart(info, nullptr, "ignored");
    kuMimeTypeInfo_AddPart(info, "A", "again");
    EXPECT_EQ("application/x-dtcp1;A=1;flag;empty;A=again", take(kuMimeTypeInfo_Get(info)));
    kuMimeTypeInfo_Delete(info);
    kuMimeTypeInfo_Delete(nullptr);
}

TEST(kuMimeTypeInfo, L16ChannelsRule)
{
    EXPECT_EQ("audio/L16", parsed("audio/L16"));
    EXPECT_EQ("audio/L16;rate=44100;channels=1", roundTrip("audio/L16;rate=44100"));
    EXPECT_EQ("audio/l16|rate=48000|channels=2", parsed("audio/l16;rate=48000;channels=2"));
    EXPECT_EQ("audio/L16|Channels=2", parsed("audio/L16;Channels=2"));
    EXPECT_EQ("audio/L16|channels=1", parsed("audio/L16;"));
    EXPECT_EQ("audio/L16 |rate=1", parsed("audio/L16 ;rate=1"));
}

TEST(kuMimeTypeInfo, Lookups)
{
    kuMimeTypeInfo *info = kuMimeTypeInfo_New("a/b;Rate=44100; blank=1;Rate=2");
    EXPECT_EQ(1, kuMimeTypeInfo_HasPart(info, "rate"));
    EXPECT_EQ(0, kuMimeTypeInfo_HasPart(info, "blank"));
    EXPECT_EQ(1, kuMimeTypeInfo_HasPart(info, " BLANK"));
    EXPECT_EQ("44100", take(kuMimeTypeInfo_GetPartValueByName(info, "RATE")));
    EXPECT_EQ("<null>", take(kuMimeTypeInfo_GetPartValueByName(info, "missing")));
    EXPECT_EQ("<null>", take(kuMimeTypeInfo_GetPartValueByName(info, "")));
    EXPECT_EQ(nullptr, kuMimeTypeInfo_GetPart(info, 3));
    EXPECT_EQ(nullptr, kuMimeTypeInfo_GetPartValue(info, 3));
    // The first parameter of the name decides, even without value.
    kuMimeTypeInfo_AddPart(info, "flag", nullptr);
    kuMimeTypeInfo_AddPart(info, "flag", "later");
    EXPECT_EQ(1, kuMimeTypeInfo_HasPart(info, "FLAG"));
    EXPECT_EQ("<null>", take(kuMimeTypeInfo_GetPartValueByName(info, "flag")));
    kuMimeTypeInfo_Delete(info);
    EXPECT_EQ(nullptr, kuMimeTypeInfo_GetMimeType(nullptr));
    EXPECT_EQ(0u, kuMimeTypeInfo_GetPartCount(nullptr));
}

TEST(kuMimeTypeInfo, ComparisonIsOneSidedAndCaseInsensitive)
{
    EXPECT_EQ(1, kuMimeTypeInfo_S_Same("VIDEO/MPEG;Profile=A", "video/mpeg;profile=a;level=2"));
    EXPECT_EQ(0, kuMimeTypeInfo_S_Same("video/mpeg;profile=a;level=2", "VIDEO/MPEG;Profile=A"));
    EXPECT_EQ(1, kuMimeTypeInfo_S_Same("audio/mpeg", "audio/mpeg;x=1"));
    EXPECT_EQ(0, kuMimeTypeInfo_S_Same("audio/mpeg;x=1", "audio/mpeg;x=2"));
    EXPECT_EQ(0, kuMimeTypeInfo_S_Same("audio/mpeg", "audio/mp4"));
    EXPECT_EQ(1, kuMimeTypeInfo_S_Same("a/b;x=1;x=2", "a/b;x=2;y=0;x=1"));
    EXPECT_EQ(1, kuMimeTypeInfo_S_Same("a/b;x=\"A;B\"", "a/b;X=\"a;b\""));
    EXPECT_EQ(0, kuMimeTypeInfo_S_Same("a/b;x=\"A;B\"", "a/b;x=a;b"));
    EXPECT_EQ(0, kuMimeTypeInfo_S_Same("a/b", nullptr));
    // The L16 channel count takes part on both sides.
    EXPECT_EQ(0, kuMimeTypeInfo_S_Same("audio/L16;rate=44100", "audio/L16;rate=44100;channels=2"));
    EXPECT_EQ(1, kuMimeTypeInfo_S_Same("audio/L16", "audio/L16;rate=44100;channels=2"));

    // A parameter without value matches only one without value, which no
    // parsed text has.
    kuMimeTypeInfo *info = kuMimeTypeInfo_New("a/b");
    kuMimeTypeInfo_AddPart(info, "flag", nullptr);
    EXPECT_EQ(0, kuMimeTypeInfo_SameAs(info, "a/b;flag=1"));
    EXPECT_EQ(0, kuMimeTypeInfo_SameAs(info, "a/b;flag"));
    kuMimeTypeInfo_Delete(info);
    EXPECT_EQ(0, kuMimeTypeInfo_SameAs(nullptr, "a/b"));
}

TEST(kuMimeTypeInfo, ManyParametersFromTheNetwork)
{
    // Both sides carry the same parameters in opposite orders.
    const int n = 20000;
    std::string forward = "video/mpeg", backward = "video/mpeg";
    for (int i = 0; i < n; i++) {
        forward += ";p" + std::to_string(i) + "=v" + std::to_string(i);
        backward += ";P" + std::to_string(n - 1 - i) + "=V" + std::to_string(n - 1 - i);
    }
    EXPECT_EQ(1, kuMimeTypeInfo_S_Same(forward.c_str(), backward.c_str()));
    std::string extra = backward + ";extra=1";
    EXPECT_EQ(0, kuMimeTypeInfo_S_Same(extra.c_str(), forward.c_str()));
    EXPECT_EQ(forward, roundTrip(forward.c_str()));
    EXPECT_EQ("x/y", parsed(("x/y" + std::string(100000, ';')).c_str()));
}
