#include <kuvanaTools/kuDLNAProtocolInfo.h>

#include "support/DLNATestUtil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kutest::Info;
using kutest::take;

std::string composed(const std::string &text, int context = 1)
{
    return Info(text).str(context);
}

// "DLNA.ORG_FLAGS=" with the hex digits padded to the four words written.
std::string flags(const std::string &hex)
{
    return "DLNA.ORG_FLAGS=" + hex + std::string(32 - hex.size(), '0');
}

std::string speeds(const std::string &fourth)
{
    return take(kuDLNAProtocolInfo_GetPlaySpeedStr(Info("http-get:*:a/b:DLNA.ORG_PS=" + fourth).get(), 0));
}

} // namespace

TEST(kuDLNAProtocolInfo, ReadsAndComposesInEachContext)
{
    const std::string mp3 = "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3;DLNA.ORG_OP=01;" + flags("017");
    EXPECT_EQ(mp3, composed(mp3));
    EXPECT_EQ("", take(kuDLNAProtocolInfo_GetDLNAInfoStr(Info("junk").get(), 1)));
    // Empty fields read as "*"; the fourth field counts only as the last of
    // exactly four; an empty parameter ends the parameters.
    const char *texts[][2] = {
        {"http-get:*:a/b", "http-get:*:a/b:*"}, {"http-get:*", "http-get:*:*:*"}, {"http-get", ""},
        {"", ""}, {"http-get:*:a/b:DLNA.ORG_PN=A:B", "http-get:*:a/b:*"},
        {"HTTP-GET::a/b:", "HTTP-GET:*:a/b:*"}, {":*:*:*", "*:*:*:*"},
        {"http-get:*:a/b:DLNA.ORG_PN=A;;DLNA.ORG_OP=01", "http-get:*:a/b:DLNA.ORG_PN=A"},
    };
    for (const auto &t : texts)
        EXPECT_EQ(t[1], composed(t[0])) << t[0];

    // Fourth fields on "<protocol>:*:a/b:", "*" for none written.
    const char *http = "http-get", *rtsp = "rtsp-rtp-udp";
    const struct { const char *protocol; std::string in, out; } params[] = {
        // Output order is fixed; names are read in any case. Vendor
        // parameters need a '_' in the name and a plain value.
        {http, "VENDOR_X=abc;dlna.org_ci=1;Dlna.Org_Op=01;DLNA.ORG_PN=X",
         "DLNA.ORG_PN=X;DLNA.ORG_OP=01;DLNA.ORG_CI=1;VENDOR_X=abc"},
        {http, "DLNA.ORG_PN=MP3;X=1;VENDOR_Y=a.b;VENDOR_X=abc;V_E=",
         "DLNA.ORG_PN=MP3;VENDOR_X=abc;V_E="},
        {http, "V_A=1;V_B=a_Z+0-9,x;V_A=2", "V_A=2;V_B=a_Z+0-9,x"},
        // Without '=' the name is its own value; with several, the last
        // piece. PN, OP, PS and CI need a single '=' (or fall to the vendor
        // rule); FLAGS and MAXSP take the last piece; version 1.0 flags are
        // not written.
        {http, "V_F;V_G=b=c", "V_F=V_F;V_G=c"},
        {http, "DLNA.ORG_PN;DLNA.ORG_CI=x=1", "DLNA.ORG_CI=1"},
        {http, "DLNA.ORG_FLAGS=x=001", flags("001")}, {http, "DLNA.ORG_FLAGS=ff200000", "*"},
        {http, "DLNA.ORG_OP=1", "DLNA.ORG_OP=10"}, {rtsp, "DLNA.ORG_OP=11", "DLNA.ORG_OP=10"},
        {"*", "DLNA.ORG_OP=11", "*"}, {http, "DLNA.ORG_OP=", "*"},
        {http, "DLNA.ORG_CI=10", "DLNA.ORG_CI=1"},
        // MAXSP: rtsp-rtp-udp only, unsigned, never 0.0.
        {rtsp, "DLNA.ORG_MAXSP=2.05", "DLNA.ORG_MAXSP=2.5"},
        {rtsp, "DLNA.ORG_MAXSP=3.4.5", "DLNA.ORG_MAXSP=3.0"}, {http, "DLNA.ORG_MAXSP=2.5", "*"},
        {rtsp, "DLNA.ORG_MAXSP=3000000000", "DLNA.ORG_MAXSP=3000000000.0"},
        {rtsp, "DLNA.ORG_MAXSP=0.0", "*"},
        // Flags made consistent: rtsp has neither background nor stalling,
        // "*" no rtsp pause; on http-get stalling implies background and
        // excludes sender pacing; pacing alone clears background; bits
        // without a field survive, in every word.
        {rtsp, flags("027"), flags("021")}, {"*", flags("037"), flags("011")},
        {http, flags("833"), flags("017")}, {http, flags("805"), flags("801")},
        {http, "DLNA.ORG_FLAGS=001F3fff0000000100000002ffffffff",
         flags("001F3FFF0000000100000002FFFFFFFF")},
        // Limited seek suppresses OP; so does limited clear-text seek on a
        // protected link, but not alone.
        {http, "DLNA.ORG_OP=11;DLNA.ORG_FLAGS=201", flags("201")},
        {http, "DLNA.ORG_OP=11;DLNA.ORG_FLAGS=00114", flags("00114")},
        {http, "DLNA.ORG_OP=11;DLNA.ORG_FLAGS=00104", "DLNA.ORG_OP=11;" + flags("00104")},
    };
    for (const auto &p : params) {
        std::string prefix = std::string(p.protocol) + ":*:a/b:";
        EXPECT_EQ(prefix + p.out, composed(prefix + p.in)) << p.in;
    }

    // Up to four words, each padded on the right; the rest is ignored.
    EXPECT_EQ(3u, Info("http-get:*:a/b:DLNA.ORG_FLAGS=0010000000000001000000020000000300000004")->flagWords[3]);
    // A thumbnail profile ends in "_TN" (exact case) after a name; the last PN counts.
    EXPECT_EQ(1u, Info("http-get:*:image/jpeg:DLNA.ORG_PN=JPEG_TN")->isThumbnail);
    for (const char *pn : {"_TN", "X_tn", "A_TN;DLNA.ORG_PN=B"})
        EXPECT_EQ(0u, Info(std::string("http-get:*:a/b:DLNA.ORG_PN=") + pn)->isThumbnail) << pn;

    Info ps("http-get:*:video/mpeg:DLNA.ORG_PS=2,-2,1/2,-1/2");
    EXPECT_EQ("http-get:*:video/mpeg:DLNA.ORG_PS=-2,-1/2,1/2,2", ps.str());
    EXPECT_EQ("http-get:*:video/mpeg:DLNA.ORG_PS=-2\\,-1/2\\,1/2\\,2", ps.str(4));
    // Quotes around the whole value go; with a backslash only "\," cuts;
    // pieces that are no numbers are skipped; equal values keep their order.
    EXPECT_EQ("-1/2,4", speeds("\"4,-1/2\""));
    EXPECT_EQ("1/2,2", speeds("2\\,1/2"));
    EXPECT_EQ("<null>", speeds("2\\1/2,3"));
    EXPECT_EQ("1/2,2,2.0,2/1", speeds("2,abc,,2.0,1/2,x/0,2/1"));
    kuDLNAProtocolInfo_RemovePlaySpeedSupport(ps.get());
    EXPECT_EQ("http-get:*:video/mpeg:*", ps.str());

    const std::string all = "DLNA.ORG_PN=MPEG_PS_PAL;DLNA.ORG_OP=10;DLNA.ORG_PS=-2,2;DLNA.ORG_CI=1;" +
                            flags("811") + ";DLNA.ORG_MAXSP=4.0;V_X=1";
    Info full("rtsp-rtp-udp:*:video/mpeg:" + all);
    EXPECT_EQ("rtsp-rtp-udp:*:video/mpeg:" + all, full.str());
    for (int context : {0, 2, 3, 6})
        EXPECT_EQ("DLNA.ORG_PN=MPEG_PS_PAL", take(kuDLNAProtocolInfo_GetDLNAInfoStr(full.get(), context)));
    EXPECT_EQ("*", take(kuDLNAProtocolInfo_GetDLNAInfoStr(Info("http-get:*:a/b:V_X=1").get(), 2)));
}

TEST(kuDLNAProtocolInfo, Matching)
{
    enum : uint32_t {
        None = KU_DLNA_MISMATCH_NONE, Protocol = KU_DLNA_MISMATCH_PROTOCOL,
        Profile = KU_DLNA_MISMATCH_PROFILE, Format = KU_DLNA_MISMATCH_CONTENT_FORMAT
    };
    // The reason for a "no" comes from Match's own path: each row checks both.
    const struct { uint32_t mismatch; const char *a, *b; } pairs[] = {
        // Profile groups: AAC_ISO holds for mp4 and 3gpp, HEAACv2_L2 also
        // for adts; nothing holds across other formats or with parameters;
        // without a shared profile name the groups hold on the formats alone.
        {None, "http-get:*:audio/mp4:DLNA.ORG_PN=AAC_ISO", "http-get:*:audio/3gpp:DLNA.ORG_PN=AAC_ISO"},
        {None, "http-get:*:audio/mp4:DLNA.ORG_PN=HEAACv2_L2", "http-get:*:audio/vnd.dlna.adts:DLNA.ORG_PN=heaacv2_l2"},
        {Format, "http-get:*:audio/mp4:DLNA.ORG_PN=AAC_ISO", "http-get:*:audio/vnd.dlna.adts:DLNA.ORG_PN=AAC_ISO"},
        {Format, "http-get:*:audio/mp4;x=1:DLNA.ORG_PN=AAC_ISO", "http-get:*:audio/3gpp:DLNA.ORG_PN=AAC_ISO"},
        {None, "http-get:*:audio/mp4:DLNA.ORG_PN=MP3", "http-get:*:audio/3gpp:*"},
        {Format, "http-get:*:audio/mp4:DLNA.ORG_PN=audio/mp4", "http-get:*:audio/3gpp:DLNA.ORG_PN=audio/mp4"},
        // Protocols: equal, or one of them "*"; unknown ones compare their
        // texts exactly; the network is not looked at.
        {None, "*:*:audio/mpeg:*", "http-get:x:audio/mpeg:*"},
        {Protocol, "rtsp-rtp-udp:*:audio/mpeg:*", "http-get:*:audio/mpeg:*"},
        {None, "playsingle-http-get:*:audio/mpeg:*", "http-get:*:audio/mpeg:*"},
        {Protocol, "Internal:*:audio/mpeg:*", "internal:*:audio/mpeg:*"},
        {Protocol, "*:*:audio/mpeg:*", "internal:*:audio/mpeg:*"},
        {None, "internal:*:audio/mpeg:*", "*:*:audio/mpeg:*"},
        // Profile names equal in any case; "*" formats are wildcards unless
        // just one side has a profile name.
        {None, "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3", "http-get:*:audio/mpeg:DLNA.ORG_PN=mp3"},
        {Profile, "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3", "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3X"},
        {None, "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3", "http-get:*:*:DLNA.ORG_PN=MP3"},
        {Profile, "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3", "http-get:*:*:*"},
        {None, "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3", "http-get:*:audio/mpeg:*"},
        // Every content format parameter of b's must be in a's (L16 has a
        // default channel count).
        {None, "http-get:*:AUDIO/L16;rate=44100;channels=2:*", "http-get:*:audio/l16;channels=2:*"},
        {Format, "http-get:*:audio/L16:*", "http-get:*:audio/L16;rate=44100;channels=2:*"},
    };
    for (const auto &p : pairs) {
        Info a(p.a), b(p.b);
        EXPECT_EQ(p.mismatch, kuDLNAProtocolInfo_GetMismatch(a.get(), b.get())) << p.a << " " << p.b;
        EXPECT_EQ(p.mismatch == None, kuDLNAProtocolInfo_Match(a.get(), b.get()) == 1) << p.a << " " << p.b;
    }

    // Objects without a content format match nothing.
    Info any(kuDLNAProtocolInfo_NewFromProfileInfo(nullptr, 0));
    EXPECT_EQ(0, kuDLNAProtocolInfo_Match(Info(kuDLNAProtocolInfo_NewFromURI("http://h/a.mp3")).get(), any.get()));
    EXPECT_EQ(0, kuDLNAProtocolInfo_Match(nullptr, any.get()));
}

TEST(kuDLNAProtocolInfo, TransferModesAndAdjusting)
{
    Info info("http-get:*:audio/mpeg:*");
    EXPECT_STREQ("Background", kuDLNAProtocolInfo_GetTransferMode(info.get()));
    EXPECT_EQ(2, kuDLNAProtocolInfo_GetQOSMode(info.get()));
    EXPECT_EQ(2, kuDLNAProtocolInfo_SetTransmitMode(info.get(), 2));
    EXPECT_EQ(0, kuDLNAProtocolInfo_GetQOSMode(info.get()));
    EXPECT_EQ(2, kuDLNAProtocolInfo_SetTransmitMode(info.get(), 7));
    EXPECT_STREQ("Interactive", kuDLNAProtocolInfo_GetTransferMode(info.get()));
    EXPECT_EQ(1, kuDLNAProtocolInfo_SetTransmitMode(info.get(), 0));
    // Streaming leaves background as it was.
    EXPECT_EQ(2, kuDLNAProtocolInfo_SetTransmitMode(info.get(), 1));
    EXPECT_STREQ("Streaming", kuDLNAProtocolInfo_GetTransferMode(info.get()));
    EXPECT_EQ(4, kuDLNAProtocolInfo_GetQOSMode(info.get()));
    EXPECT_EQ(1u, info->tmBackground);

    // Any positive value means the server can stall.
    auto adjusted = [](const std::string &text, int stalling = 5) {
        Info info(text);
        kuDLNAProtocolInfo_SetWebServerSupportHTTPConnectionStalling(info.get(), stalling);
        kuDLNAProtocolInfo_Adjust(info.get());
        return info.str();
    };
    EXPECT_EQ("http-get:*:audio/mpeg:DLNA.ORG_PN=MP3;DLNA.ORG_OP=01;" + flags("017"),
              adjusted("http-get:*:audio/mpeg:DLNA.ORG_PN=MP3"));
    EXPECT_EQ("http-get:*:image/jpeg:DLNA.ORG_PN=JPEG_LRG;DLNA.ORG_OP=01;" + flags("009"),
              adjusted("http-get:*:image/jpeg:DLNA.ORG_PN=JPEG_LRG", 0));
    // Sender-paced content does not stall; s0 increasing forbids byte seek.
    EXPECT_EQ("http-get:*:video/mpeg:" + flags("891"),
              adjusted("http-get:*:video/mpeg:DLNA.ORG_OP=11;DLNA.ORG_FLAGS=881"));
    // Range seek: on for http, file and unknown protocols, off for rtsp and "*".
    for (auto [protocol, range] : {std::pair("file", 1u), {"x", 1u}, {"rtsp-rtp-udp", 0u}, {"*", 0u}}) {
        Info info(std::string(protocol) + ":*:audio/mpeg:*");
        kuDLNAProtocolInfo_Adjust(info.get());
        EXPECT_EQ(range, info->rangeSeek) << protocol;
    }
    // Wrapped content is judged by its inner format.
    Info wrapped("http-get:*:application/x-dtcp1;CONTENTFORMAT=\"image/png\":*");
    kuDLNAProtocolInfo_MakeConsistent(wrapped.get());
    EXPECT_STREQ("Interactive", kuDLNAProtocolInfo_GetTransferMode(wrapped.get()));

    Info dtcp("http-get:*:video/mpeg:DLNA.ORG_PN=MPEG_PS_PAL;DLNA.ORG_FLAGS=611");
    kuDLNAProtocolInfo_ConvertProfileNameToDTCP(dtcp.get());
    kuDLNAProtocolInfo_ConvertProfileNameToDTCP(dtcp.get());
    kuDLNAProtocolInfo_AdjustForDTCPIP(dtcp.get(), "192.168.0.2", 0x10000 + 8000);
    const std::string format = "application/x-dtcp1;DTCP1HOST=192.168.0.2;DTCP1PORT=8000;CONTENTFORMAT=video/mpeg";
    EXPECT_EQ("http-get:*:" + format + ":DLNA.ORG_PN=DTCP_MPEG_PS_PAL;DLNA.ORG_OP=01;" + flags("01718"), dtcp.str());
    dtcp->linkProtected = 2;
    EXPECT_EQ(0, kuDLNAProtocolInfo_IsDTCPProtected(dtcp.get()));
    for (const char *name : {"", "*", "DTCP_X"}) {
        Info keep(std::string("http-get:*:a/b:DLNA.ORG_PN=") + name);
        kuDLNAProtocolInfo_ConvertProfileNameToDTCP(keep.get());
        EXPECT_STREQ(name, keep->profileName);
    }

    Info wmdrm("http-get:*:audio/x-ms-wma:DLNA.ORG_PN=WMDRM_WMABASE;DLNA.ORG_OP=01");
    EXPECT_EQ(1, kuDLNAProtocolInfo_IsWMDRMNDProtected(wmdrm.get()));
    kuDLNAProtocolInfo_AdjustForWMDRMND(wmdrm.get());
    EXPECT_EQ("http-get:*:audio/x-ms-wma:DLNA.ORG_PN=WMDRM_WMABASE;DLNA.ORG_OP=10", wmdrm.str());
    EXPECT_EQ(0, kuDLNAProtocolInfo_IsWMDRMNDProtected(Info("http-get:*:a/b:DLNA.ORG_PN=wmdrm_X").get()));

    Info seek("http-get:*:a/b:DLNA.ORG_FLAGS=60114");
    kuDLNAProtocolInfo_SupportClearTextByteSeek(seek.get(), 2);
    EXPECT_EQ(1u, seek->lopBytes);
    kuDLNAProtocolInfo_SupportClearTextByteSeek(seek.get(), 1);
    EXPECT_EQ(0u, seek->lopBytes | seek->lopNpt | seek->lopClearTextBytes);
}

TEST(kuDLNAProtocolInfo, OtherConstructorsAndFourthField)
{
    auto profile = [](kuDLNAProtocolInfo *p) { return Info(p).str(); };
    EXPECT_EQ("http-get:*:*:*", profile(kuDLNAProtocolInfo_NewFromProfileInfo(nullptr, 5)));
    EXPECT_EQ("http-get:*:*:*", profile(kuDLNAProtocolInfo_NewFromProfileInfo("audio/mpeg", 0)));
    Info withData("http-get:*:*:*");
    kuDLNAProtocolInfo_SetUserData(withData.get(), &withData);
    EXPECT_EQ(&withData, kuDLNAProtocolInfo_GetUserData(withData.get()));
    EXPECT_EQ(nullptr, kuDLNAProtocolInfo_GetUserData(nullptr));
    // Only the given bytes count.
    EXPECT_EQ("http-get:*:audio/L16;rate=44100:DLNA.ORG_PN=LPCM",
              profile(kuDLNAProtocolInfo_NewFromProfileInfo("audio/L16;rate=44100:DLNA.ORG_PN=LPCMxyz", 37)));
    // A profile text holding more ':' has no readable fourth field.
    EXPECT_EQ("http-get:*:a/b:*", profile(kutest::parseExact("a/b:c:DLNA.ORG_PN=X", true)));

    const struct { const char *uri; uint32_t protocol; const char *text; } uris[] = {
        {"http://192.168.0.2:8000/a.mp3", 3, "http-get"}, {"HTTP://h/", 3, "http-get"},
        {"rtsp://h/s", 2, "rtsp-rtp-udp"}, {"Rtp://h", 2, "rtsp-rtp-udp"}, {"udp://h", 2, "rtsp-rtp-udp"},
        {"file:///tmp/a.mp3", 4, "file"}, {"https://h/", 0, "https"}, {"/media/a.mp3", 0, "*"},
        {"C:/media/a.mp3", 0, "*"}, {":x", 0, "*"}, {nullptr, 0, "*"}};
    for (const auto &u : uris) {
        Info info(kuDLNAProtocolInfo_NewFromURI(u.uri));
        EXPECT_EQ(u.protocol, info->protocol) << kutest::orNull(u.uri);
        EXPECT_STREQ(u.text, kuDLNAProtocolInfo_S_GetProtocolStr(info.get())) << kutest::orNull(u.uri);
    }

    Info info("http-get:*:a/b:DLNA.ORG_PN=MP3;V_A=1;V_B=2");
    EXPECT_STREQ("1", kuDLNAProtocolInfo_Get4thFieldValue(info.get(), "V_A"));
    EXPECT_EQ(nullptr, kuDLNAProtocolInfo_Get4thFieldValue(info.get(), "v_a"));
    EXPECT_EQ(nullptr, kuDLNAProtocolInfo_Get4thFieldValue(info.get(), "DLNA.ORG_PN"));
    kuDLNAProtocolInfo_Set4thFieldValue(info.get(), "V_A", "3");
    kuDLNAProtocolInfo_Set4thFieldValue(info.get(), "V_C", nullptr);
    kuDLNAProtocolInfo_Set4thFieldValue(info.get(), "", "x");
    EXPECT_EQ("V_B=2;V_A=3;V_C=", take(kuDLNAProtocolInfo_GetStrFor4thField(info.get())));
    kuDLNAProtocolInfo_Remove4thFieldByName(info.get(), "V_B");
    kuDLNAProtocolInfo_Remove4thFieldByName(info.get(), "V_X");
    EXPECT_EQ("http-get:*:a/b:DLNA.ORG_PN=MP3;V_A=3;V_C=", info.str());
    kuDLNAProtocolInfo_Remove4thField(info.get());
    EXPECT_EQ(nullptr, kuDLNAProtocolInfo_Get4thFieldValue(info.get(), "V_A"));
    kuDLNAProtocolInfo_Set4thFieldValue(info.get(), "N", "v.1");
    EXPECT_EQ("http-get:*:a/b:DLNA.ORG_PN=MP3;N=v.1", info.str());

    // Lookups, replacement in place and removal stay right past the point
    // where the table starts hashing.
    std::string many = "http-get:*:a/b:";
    for (int i = 0; i < 300; i++)
        many += "V_" + std::to_string(i) + "=" + std::to_string(i) + ";";
    Info big(many + "V_7=x;V_299=y");
    for (int i = 0; i < 300; i += 2)
        kuDLNAProtocolInfo_Remove4thFieldByName(big.get(), ("V_" + std::to_string(i)).c_str());
    kuDLNAProtocolInfo_Set4thFieldValue(big.get(), "V_1", "z");
    EXPECT_EQ(nullptr, kuDLNAProtocolInfo_Get4thFieldValue(big.get(), "V_8"));
    EXPECT_STREQ("x", kuDLNAProtocolInfo_Get4thFieldValue(big.get(), "V_7"));
    std::string rest = take(kuDLNAProtocolInfo_GetStrFor4thField(big.get()));
    EXPECT_EQ(";V_297=297;V_299=y;V_1=z", rest.substr(rest.size() - 24));
    // A removed last field leaves no way to it, even once its name's freed
    // memory holds the same text again.
    Info nine("http-get:*:a/b:V_0=0;V_1=1;V_2=2;V_3=3;V_4=4;V_5=5;V_6=6;V_7=7;V_8=" +
              std::string(40, 'v'));
    kuDLNAProtocolInfo_Remove4thFieldByName(nine.get(), "V_8");
    char *reused = kuStrdup("V_8");
    EXPECT_EQ(nullptr, kuDLNAProtocolInfo_Get4thFieldValue(nine.get(), "V_8"));
    kuFree(reused);

    const char *field = "DLNA.ORG_PN=MP3;dlna.org_op=01;DLNA.ORG_PS=1/2;V_A=a=b;V_B=x.y;V_B=ok;;V_C=1";
    const char *values[][2] = {{"dlna.org_pn", "MP3"}, {"DLNA.ORG_OP", "01"}, {"DLNA.ORG_PS", "<null>"},
                               {"V_A", "b"}, {"V_B", "ok"}, {"V_C", "<null>"}, {"V_", "<null>"}};
    for (const auto &v : values)
        EXPECT_EQ(v[1], take(kuDLNAProtocolInfo_S_Get4thFieldValueFromStr(field, v[0]))) << v[0];
    EXPECT_EQ("<null>", take(kuDLNAProtocolInfo_S_Get4thFieldValueFromStr(nullptr, "V_A")));
    EXPECT_EQ("<null>", take(kuDLNAProtocolInfo_S_Get4thFieldValueFromStr(field, nullptr)));

    const struct { int base; const char *text; size_t length; uint32_t value; } numbers[] = {
        {16, "017xyz", 3, 0x01700000u}, {16, "123456789", 9, 0x12345678u}, {16, "DLNA.ORG", 8, 0xDu},
        {2, "1012", 4, 5u}, {10, "99999999999", 11, 0xFFFFFFFFu}, {10, nullptr, 4, 0u}};
    for (const auto &n : numbers)
        EXPECT_EQ(n.value, kuDLNAProtocolInfo_S_StrToUInt32(n.base, n.text, n.length)) << kutest::orNull(n.text);
    std::string longNumber = std::string(200, '0') + "42";
    EXPECT_EQ(42u, kuDLNAProtocolInfo_S_StrToUInt32(10, longNumber.data(), longNumber.size()));
}

TEST(kuDLNAProtocolInfo, Merging)
{
    Info target("rtsp-rtp-udp:*:video/mpeg:DLNA.ORG_PN=MPEG1;DLNA.ORG_PS=-2,2;DLNA.ORG_MAXSP=2.5;"
                "DLNA.ORG_FLAGS=01100000000000000000000000000001");
    Info source("rtsp-rtp-udp:*:video/mpeg:DLNA.ORG_PN=MPEG1;DLNA.ORG_OP=1;DLNA.ORG_CI=1;"
                "DLNA.ORG_PS=1/2,2.0,4,4;DLNA.ORG_MAXSP=2.10;DLNA.ORG_FLAGS=82700000000000000000000000000010");
    kuDLNAProtocolInfo_Merge(target.get(), source.get());
    EXPECT_EQ("rtsp-rtp-udp:*:video/mpeg:DLNA.ORG_PN=MPEG1;DLNA.ORG_OP=10;DLNA.ORG_PS=-2,1/2,2,4;"
              "DLNA.ORG_CI=1;DLNA.ORG_FLAGS=83100000000000000000000000000011;DLNA.ORG_MAXSP=2.10",
              target.str());

    // The larger MAXSP wins, integer part first, compared signed.
    Info small("rtsp-rtp-udp:*:a/b:DLNA.ORG_MAXSP=3.1");
    kuDLNAProtocolInfo_Merge(small.get(), Info("rtsp-rtp-udp:*:a/b:DLNA.ORG_MAXSP=2.9").get());
    kuDLNAProtocolInfo_Merge(small.get(), Info("rtsp-rtp-udp:*:a/b:DLNA.ORG_MAXSP=3.0").get());
    kuDLNAProtocolInfo_Merge(small.get(), Info("rtsp-rtp-udp:*:a/b:DLNA.ORG_MAXSP=3000000000").get());
    EXPECT_EQ("rtsp-rtp-udp:*:a/b:DLNA.ORG_MAXSP=3.1", small.str());

    // Range seek only goes on; a 1.0 target becomes 1.5 through the bits.
    Info old("http-get:*:a/b:DLNA.ORG_OP=01");
    kuDLNAProtocolInfo_Merge(old.get(), Info("http-get:*:a/b:DLNA.ORG_OP=00;DLNA.ORG_FLAGS=009").get());
    kuDLNAProtocolInfo_Merge(old.get(), old.get());
    kuDLNAProtocolInfo_Merge(old.get(), nullptr);
    EXPECT_EQ("http-get:*:a/b:DLNA.ORG_OP=01;" + flags("009"), old.str());

    // A media mapper's entry hands over its delivery parameters; the
    // target's own flag fields are packed over them on the next composition.
    Info mapped("http-get:*:video/mpeg:DLNA.ORG_PN=MPEG1;DLNA.ORG_PS=8;V_X=1;"
                "DLNA.ORG_FLAGS=00100000000000000000000000000003");
    Info mapper("rtsp-rtp-udp:*:image/jpeg:DLNA.ORG_PN=JPEG_TN;DLNA.ORG_OP=1;DLNA.ORG_PS=-2,2;"
                "DLNA.ORG_MAXSP=1.5;DLNA.ORG_FLAGS=00900000000000000000000000000004");
    kuDLNAProtocolInfo_MergeWithMediaMapper(mapped.get(), mapper.get());
    EXPECT_EQ(1u, mapped->isThumbnail);
    EXPECT_EQ(0x00900000u, mapped->flagWords[0]);
    EXPECT_EQ(3u, mapped->flagWords[3]);
    EXPECT_EQ("http-get:*:video/mpeg:DLNA.ORG_PN=MPEG1;DLNA.ORG_OP=10;DLNA.ORG_PS=-2,2;"
              "DLNA.ORG_FLAGS=00100000000000000000000000000003;V_X=1",
              mapped.str());
    // A 1.0 mapper clears the word but for stalling.
    kuDLNAProtocolInfo_MergeWithMediaMapper(mapped.get(), Info("http-get:*:a/b:DLNA.ORG_FLAGS=ff200000").get());
    EXPECT_EQ(0x00200000u, mapped->flagWords[0]);
    EXPECT_EQ("http-get:*:video/mpeg:DLNA.ORG_PN=MPEG1;V_X=1", mapped.str());

    EXPECT_EQ("", take(kuDLNAProtocolInfo_GetStr(nullptr)));
    EXPECT_EQ("<null>", take(kuDLNAProtocolInfo_GetPlaySpeedStr(nullptr, 0)));
    kuDLNAProtocolInfo_AdjustForDTCPIP(nullptr, "h", 1);
    kuDLNAProtocolInfo_MergeWithMediaMapper(nullptr, nullptr);
    kuDLNAProtocolInfo_Delete(nullptr);
}

TEST(kuDLNAProtocolInfo, MatchingWithRulesAndNames)
{
    enum : uint32_t {
        Alias = KU_DLNA_MATCH_MIME_ALIASES, Wild = KU_DLNA_MATCH_SUBTYPE_WILDCARD,
        Case = KU_DLNA_MATCH_PROTOCOL_CASE, AnyPN = KU_DLNA_MATCH_ANY_FORMAT_PROFILE,
        L16 = KU_DLNA_MATCH_L16_BARE, Blank = KU_DLNA_MATCH_PARAMETER_BLANKS,
        Adts = KU_DLNA_MATCH_ADTS_APART, All = KU_DLNA_MATCH_ALL_RULES
    };
    // Each rule against the pair it is for: off it fails, on it matches and
    // is reported; the answer needs no more rules than it reports.
    const struct { const char *a, *b; uint32_t rules; int expected; uint32_t used; } cases[] = {
        {"http-get:*:audio/flac:*", "http-get:*:audio/x-flac:*", Alias, 1, Alias},
        {"http-get:*:audio/WAV:*", "http-get:*:audio/wave:*", All, 1, Alias},
        {"http-get:*:audio/flac:*", "http-get:*:audio/x-wav:*", All, 0, 0},
        {"http-get:*:audio/flac:*", "http-get:*:audio/*:*", Wild, 1, Wild},
        {"http-get:*:video/mp4:*", "http-get:*:audio/*:*", All, 0, 0},
        {"http-get:*:video/mp4:*", "http-get:*:*/*:*", Wild, 1, Wild},
        {"http-get:*:audio/mpe:*", "http-get:*:audio/mpeg:*", All, 0, 0}, // no prefix either
        {"HTTP-GET:*:audio/mpeg:*", "http-get:*:audio/mpeg:*", Case, 1, Case},
        {"my-prot:*:audio/mpeg:*", "my-proto:*:audio/mpeg:*", All & ~Case, 0, 0}, // no prefix
        {"HTTP-GET:*:audio/mpeg:*", "http-get:*:audio/mpeg:*", All & ~Case, 0, 0},
        {"http-get:*:audio/mpeg:DLNA.ORG_PN=MP3", "http-get:*:*:*", AnyPN, 1, AnyPN},
        {"http-get:*:audio/L16:*", "http-get:*:audio/L16;rate=44100;channels=2:*", L16, 1, L16},
        {"http-get:*:audio/L16;rate=48000:*", "http-get:*:audio/L16;rate=44100;channels=2:*", All, 0, 0},
        {"http-get:*:text/html; charset=UTF-8:*", "http-get:*:text/html;charset=utf-8:*", Blank, 1, Blank},
        {"http-get :*:audio/L16;rate =44100:*", "http-get:*:audio/L16;rate=44100:*", Blank, 1, Blank},
        // Two rules at once, and a strict match that needs none.
        {"HTTP-GET:*:audio/flac:*", "http-get:*:audio/x-flac:*", All, 1, Alias | Case},
        {"http-get:*:audio/mpeg:*", "http-get:*:audio/mpeg:*", All, 1, 0},
        // ADTS apart takes away the AAC group's audio/mp4 match, and says so.
        {"http-get:*:audio/vnd.dlna.adts:DLNA.ORG_PN=HEAACv2_L2", "http-get:*:audio/mp4:DLNA.ORG_PN=HEAACv2_L2", 0, 1, 0},
        {"http-get:*:audio/vnd.dlna.adts:DLNA.ORG_PN=HEAACv2_L2", "http-get:*:audio/mp4:DLNA.ORG_PN=HEAACv2_L2", All, 0, Adts},
        {"http-get:*:audio/3gpp:DLNA.ORG_PN=HEAACv2_L2", "http-get:*:audio/mp4:DLNA.ORG_PN=HEAACv2_L2", Adts, 1, 0},
        // No rules: the strict answer, whatever unknown bits say.
        {"http-get:*:audio/flac:*", "http-get:*:audio/x-flac:*", 0x80, 0, 0},
    };
    for (const auto &c : cases) {
        Info a(c.a), b(c.b);
        uint32_t used = 99;
        EXPECT_EQ(c.expected, kuDLNAProtocolInfo_MatchWithRules(a.get(), b.get(), c.rules, &used)) << c.a << " " << c.b;
        EXPECT_EQ(c.used, used) << c.a << " " << c.b;
        if (c.expected == 1) {
            EXPECT_EQ(1, kuDLNAProtocolInfo_MatchWithRules(a.get(), b.get(), used | (c.rules & Adts), nullptr)) << c.a;
        }
    }
    EXPECT_EQ(0, kuDLNAProtocolInfo_MatchWithRules(nullptr, Info("http-get:*:*:*").get(), All, nullptr));

    EXPECT_STREQ("mime-aliases", kuDLNAProtocolInfo_GetMatchRuleName(Alias));
    EXPECT_EQ(nullptr, kuDLNAProtocolInfo_GetMatchRuleName(Alias | Wild));
    EXPECT_EQ(nullptr, kuDLNAProtocolInfo_GetMatchRuleName(0x80));

    // The reason for a "no" comes from Match's own path, so each row also checks
    // that Match agrees with it.
    EXPECT_EQ(uint32_t(KU_DLNA_MISMATCH_OBJECT), kuDLNAProtocolInfo_GetMismatch(nullptr, Info("*:*:*:*").get()));
    EXPECT_STREQ("content format", kuDLNAProtocolInfo_GetMismatchName(KU_DLNA_MISMATCH_CONTENT_FORMAT));
    EXPECT_EQ(nullptr, kuDLNAProtocolInfo_GetMismatchName(5));

    // The flag word after the protocol's consistency rules.
    Info info("rtsp-rtp-udp:net:video/mpeg;a=b:DLNA.ORG_PN=X;DLNA.ORG_FLAGS=007");
    EXPECT_EQ(0x00100000u, kuDLNAProtocolInfo_GetFlagWord(info.get(), 0));
    EXPECT_EQ(0u, kuDLNAProtocolInfo_GetFlagWord(Info("*:*:a/b:" + flags("1")).get(), 4));
    EXPECT_EQ(nullptr, kuDLNAProtocolInfo_GetContentFormat(nullptr));
    EXPECT_STREQ("senderPaced", kuDLNAProtocolInfo_GetFlagName(0x80000000));
    EXPECT_EQ(nullptr, kuDLNAProtocolInfo_GetFlagName(0x00020000));
}
