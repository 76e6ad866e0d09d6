#include <kuvanaTools/kuDLNAProtocolInfoList.h>

#include "support/DLNATestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

using kutest::Info;
using kutest::List;
using kutest::take;

} // namespace

TEST(kuDLNAProtocolInfoList, ParsingCompositionAndPositions)
{
    EXPECT_EQ("http-get:*:video/mpeg:*", List("junk,http-get:*:video/mpeg:*,,x,").str());

    // Escaped commas keep play speeds inside their entry.
    List speeds("http-get:*:video/mpeg:DLNA.ORG_PN=MPEG1;DLNA.ORG_PS=-2\\,2,http-get:*:a/b:*");
    EXPECT_EQ("http-get:*:video/mpeg:DLNA.ORG_PN=MPEG1;DLNA.ORG_PS=-2\\,2,http-get:*:a/b:*", speeds.str(5));
    EXPECT_EQ("http-get:*:video/mpeg:DLNA.ORG_PN=MPEG1,http-get:*:a/b:*", speeds.str(2));
    EXPECT_EQ(0u, List((const char *)nullptr).count());
    EXPECT_EQ("", List("").str());

    // Profile tables: content format and fourth field only.
    List table(
        kuDLNAProtocolInfoList_NewFromProfileInfo("a/b:DLNA.ORG_PN=X,,c/d:DLNA.ORG_PS=1/2\\,2,e"));
    EXPECT_EQ("http-get:*:a/b:DLNA.ORG_PN=X,http-get:*:c/d:DLNA.ORG_PS=1/2\\,2,http-get:*:e:*",
              table.str(5));
    kuDLNAProtocolInfoList_Update(table.get(), "http-get:*:a/b:*");
    // Entries that are not valid (added by hand) are left out of the text.
    kuDLNAProtocolInfoList_Add(table.get(), kuDLNAProtocolInfo_NewFromURI("http://h/"), 0);
    EXPECT_EQ(2u, table.count());
    EXPECT_EQ("http-get:*:a/b:*", table.str());
    kuDLNAProtocolInfoList_Update(table.get(), nullptr);
    EXPECT_EQ(0u, table.count());

    List list("http-get:*:a/1:*,http-get:*:a/2:*");
    const std::pair<const char *, int32_t> adds[] = {{"0", 0}, {"9", 3}, {"8", -1}, {"3", 3}};
    for (const auto &add : adds)
        kuDLNAProtocolInfoList_Add(list.get(), Info(std::string("http-get:*:a/") + add.first + ":*").release(),
                                   add.second);
    kuDLNAProtocolInfoList_Add(list.get(), nullptr, 0);
    EXPECT_EQ("http-get:*:a/0:*,http-get:*:a/1:*,http-get:*:a/2:*,http-get:*:a/3:*,http-get:*:a/9:*,http-get:*:a/8:*",
              list.str());
    for (int32_t index : {5, 0, 4, -1})
        kuDLNAProtocolInfoList_Remove(list.get(), index);
    EXPECT_EQ("http-get:*:a/1:*,http-get:*:a/2:*,http-get:*:a/3:*,http-get:*:a/9:*", list.str());
    EXPECT_EQ(nullptr, list.at(4));
    EXPECT_EQ(nullptr, list.at(-1));

    // A caller's walk under the lock may use the list's own operations.
    kuPtrList *entries = kuDLNAProtocolInfoList_Lock(list.get());
    EXPECT_EQ(list.at(0), entries->head->data);
    EXPECT_EQ(4u, list.count());
    kuDLNAProtocolInfoList_Unlock(list.get());

    EXPECT_EQ(0u, kuDLNAProtocolInfoList_GetCount(nullptr));
    EXPECT_EQ(-1, kuDLNAProtocolInfoList_GetBestIndexForScheme(nullptr, "http", nullptr));
    kuDLNAProtocolInfoList_Merge(nullptr, list.get());
    EXPECT_EQ(4u, list.count());
}

TEST(kuDLNAProtocolInfoList, Queries)
{
    List sink("http-get:*:audio/mpeg:DLNA.ORG_PN=MP3,http-get:*:audio/L16;rate=44100;channels=2:*,"
              "http-get:*:audio/mp4:DLNA.ORG_PN=AAC_ISO,http-get:*:video/mpeg:*,"
              "rtsp-rtp-udp:*:video/mpeg:DLNA.ORG_PN=MPEG1");
    // The given entry is the first argument of each entry match (it may
    // carry parameters the sink's format lacks, not the other way round).
    for (auto [text, match] :
         {std::pair("http-get:*:video/mpeg;x=1:*", 1), {"http-get:*:audio/L16:*", 0}})
        EXPECT_EQ(match, kuDLNAProtocolInfoList_Match(sink.get(), Info(text).get())) << text;
    EXPECT_EQ(0, kuDLNAProtocolInfoList_Match(sink.get(), nullptr));

    EXPECT_EQ(1, kuDLNAProtocolInfoList_MatchPN(sink.get(), "mpeg1"));
    EXPECT_EQ(0, kuDLNAProtocolInfoList_MatchPN(sink.get(), nullptr));

    auto byMime = [&sink](const char *text) { return kuDLNAProtocolInfoList_GetByMimeTypeWithoutPN(sink.get(), text); };
    EXPECT_EQ(sink.at(1), byMime("AUDIO/L16;channels=2;rate=44100"));
    for (const char *text : {"audio/L16;rate=44100", "audio/mpeg", "", (const char *)nullptr})
        EXPECT_EQ(nullptr, byMime(text)) << kutest::orNull(text);
    EXPECT_EQ(nullptr, kuDLNAProtocolInfoList_GetByProfileInfo(sink.get(), ""));

    // The entry for a scheme: one ordinary choice and the null arguments (the
    // ranking rules and the protocol list are checked against a model by the
    // fuzz target).
    List list("http-get:*:a/b:*,rtsp-rtp-udp:*:a/b:*");
    const struct { const char *schemes, *protocols; int32_t expected; } cases[] = {
        {"rtsp;http", "http-get;rtsp-rtp-udp", 1}, {"http", "file", -1},
        {"rtsp", nullptr, 0}, {nullptr, "rtsp-rtp-udp;http-get", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected,
                  kuDLNAProtocolInfoList_GetBestIndexForScheme(list.get(), c.schemes, c.protocols))
            << kutest::orNull(c.schemes) << " / " << kutest::orNull(c.protocols);
    EXPECT_EQ(-1, kuDLNAProtocolInfoList_GetBestIndexForScheme(List("").get(), "http", nullptr));
}

TEST(kuDLNAProtocolInfoList, Merging)
{
    List target("http-get:*:audio/mpeg:DLNA.ORG_PN=MP3;DLNA.ORG_OP=01,http-get:*:video/mpeg:*,"
                "http-get:*:audio/L16;rate=44100:*");
    List source("http-get:*:AUDIO/MPEG:DLNA.ORG_PN=MP3;DLNA.ORG_OP=10;DLNA.ORG_CI=1,"
                "http-get:*:audio/mp4:DLNA.ORG_PN=AAC_ISO,http-get:*:image/jpeg:DLNA.ORG_PN=JPEG_SM,"
                "http-get:*:audio/x-flac:*,playsingle-http-get:*:audio/mpeg:DLNA.ORG_PN=MP3,"
                "rtsp-rtp-udp:*:audio/mpeg:DLNA.ORG_PN=MP3,http-get:*:audio/mpeg:DLNA.ORG_PN=mp3,"
                "http-get:*:video/mpeg;x=1:*,http-get:*:audio/L16:*,x:*:video/mpeg:*,"
                "y:*:video/mpeg:*,x:*:Video/Mpeg:*");
    kuDLNAProtocolInfoList_Merge(target.get(), source.get());
    EXPECT_EQ(0u, source.count());
    // New named entries in front, in reverse order; unnamed ones appended.
    std::string names;
    for (uint32_t i = 0; i < target.count(); i++)
        names += kutest::orNull(target.at((int32_t)i)->profileName) + " ";
    EXPECT_EQ("mp3 MP3 MP3 JPEG_SM AAC_ISO MP3 <null> <null> <null> <null> <null> <null> ", names);
    EXPECT_STREQ("rtsp-rtp-udp", kuDLNAProtocolInfo_S_GetProtocolStr(target.at(1)));
    EXPECT_STREQ("playsingle-http-get", kuDLNAProtocolInfo_S_GetProtocolStr(target.at(2)));
    // The same profile, protocol and format: capabilities merged in place.
    EXPECT_EQ("http-get:*:audio/mpeg:DLNA.ORG_PN=MP3;DLNA.ORG_OP=11;DLNA.ORG_CI=1",
              take(kuDLNAProtocolInfo_GetStr(target.at(5))));
    // A source format that the target's satisfies merges; one that does not
    // (a target parameter the source lacks) does not.
    const char *formats[] = {"video/mpeg", "audio/L16;rate=44100", "audio/x-flac", "audio/L16"};
    for (int32_t i = 0; i < 4; i++)
        EXPECT_STREQ(formats[i], target.at(6 + i)->contentFormat);
    EXPECT_STREQ("x", target.at(10)->protocolString);

    kuDLNAProtocolInfoList_Merge(target.get(), target.get());
    EXPECT_EQ(12u, target.count());
    kuDLNAProtocolInfoList_MergeStr(target.get(),
                                    "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3;DLNA.ORG_PS=2,http-get:*:audio/ogg:*");
    kuDLNAProtocolInfoList_MergeStr(target.get(), nullptr);
    EXPECT_EQ(13u, target.count());
    EXPECT_EQ(1u, kuDLNAProtocolInfo_GetPlaySpeedCount(target.at(5)));
}

// Real sink lists parse into their entries. (Round trips and merges are the
// fuzz target's part.)
TEST(kuDLNAProtocolInfoList, RealLists)
{
    const uint32_t expected[] = {392, 428, 59, 21, 15};
    for (size_t f = 0; f < kutest::listFiles().size(); f++)
        EXPECT_EQ(expected[f], List(kutest::listText(kutest::listFiles()[f])).count()) << f;
    // The MP3 entry of a server against a television's sink list.
    List tv(kutest::listText("sink-tv.txt"));
    EXPECT_EQ(1, kuDLNAProtocolInfoList_Match(tv.get(), List(kutest::listText("source-server.txt")).at(0)));
    EXPECT_EQ("http-get;rtsp-rtp-udp", take(kuDLNAProtocolInfoList_GetSupportedProtocolList(tv.get())));
}

// A device may send a very long list: walking it by index stays linear; the
// node remembered for walks by index follows every change, also one made
// directly on the nodes under the lock.
TEST(kuDLNAProtocolInfoList, LongListsAndWalksByIndex)
{
    std::string text;
    for (int i = 0; i < 100000; i++)
        text += "http-get:*:a/" + std::to_string(i) + ":*,";
    List list(text);
    EXPECT_TRUE(kutest::walkIsLinear(100000, [&](uint32_t i) { list.at((int32_t)i); }));

    // Read at 2, change the list, read around it again.
    List small("http-get:*:a/0:*,http-get:*:a/1:*,http-get:*:a/2:*,http-get:*:a/3:*");
    EXPECT_STREQ("a/2", small.at(2)->contentFormat);
    kuDLNAProtocolInfoList_Remove(small.get(), 2);
    EXPECT_STREQ("a/3", small.at(2)->contentFormat);
    kuDLNAProtocolInfoList_Add(small.get(), Info("http-get:*:b/0:*").release(), 2);
    EXPECT_STREQ("a/1", small.at(1)->contentFormat);
    EXPECT_STREQ("b/0", small.at(2)->contentFormat);
    kuPtrList *entries = kuDLNAProtocolInfoList_Lock(small.get());
    kuPtrList_Insert(entries, kuPtrList_GetAt(entries, 1), Info("http-get:*:b/1:*").release());
    kuDLNAProtocolInfoList_Unlock(small.get());
    EXPECT_STREQ("b/0", small.at(3)->contentFormat);
    EXPECT_STREQ("b/1", small.at(1)->contentFormat);
    EXPECT_STREQ("a/3", small.at(4)->contentFormat);
}

// Two threads match, add, remove and merge on one list at once; a walk under
// the lock then meets as many entries as the count says. Run under
// ThreadSanitizer too.
TEST(kuDLNAProtocolInfoList, SharedBetweenThreads)
{
    List list(kutest::listText("sink-tv.txt"));
    const std::string server = kutest::listText("source-server.txt");
    std::thread adder([&] {
        for (int i = 0; i < 400; i++) {
            Info entry(server.substr(0, server.find(',')));
            kuDLNAProtocolInfoList_Match(list.get(), entry.get());
            kuDLNAProtocolInfoList_Add(list.get(), entry.release(), i % 50);
        }
    });
    for (int i = 0; i < 400; i++) {
        kuDLNAProtocolInfoList_Remove(list.get(), i % 2 == 0 ? 0 : (int32_t)list.count() - 1);
        if (i % 8 == 0)
            kuDLNAProtocolInfoList_MergeStr(list.get(), server.c_str());
    }
    adder.join();
    uint32_t walked = 0;
    kuPtrList *entries = kuDLNAProtocolInfoList_Lock(list.get());
    for (kuPtrListNode *n = entries->head; n != nullptr; n = n->next)
        walked++;
    kuDLNAProtocolInfoList_Unlock(list.get());
    EXPECT_EQ(list.count(), walked);
}

// Strict matches are looked for over the whole list first, then under each
// rule alone, then under the whole set; index and used come from the pass
// that found one.
TEST(kuDLNAProtocolInfoList, MatchingWithRules)
{
    List sink("HTTP-GET:*:audio/x-flac:*,http-get:*:audio/flac:*,http-get:*:audio/*:*,"
              "http-get:*:audio/mp4:DLNA.ORG_PN=HEAACv2_L2,HTTP-GET:*:audio/mpeg:*,"
              "HTTP-GET:*:audio/wave:*");
    const char *adts = "http-get:*:audio/vnd.dlna.adts:DLNA.ORG_PN=HEAACv2_L2";
    const uint32_t all = KU_DLNA_MATCH_ALL_RULES, alias = KU_DLNA_MATCH_MIME_ALIASES;
    const uint32_t protocolCase = KU_DLNA_MATCH_PROTOCOL_CASE, apart = KU_DLNA_MATCH_ADTS_APART;
    const struct { const char *item; uint32_t rules; int expected; int32_t index; uint32_t used; } cases[] = {
        {"http-get:*:audio/flac:*", all, 1, 1, 0}, // a strict match wins over earlier entries
        {"http-get:*:audio/x-flac:*", all & ~apart, 1, 1, alias},
        {"http-get:*:audio/x-flac:*", protocolCase, 1, 0, protocolCase},
        {"http-get:*:audio/mpeg:*", 0, 0, -1, 0}, {adts, 0, 1, 3, 0}, {adts, apart, 0, -1, apart},
        {"http-get:*:audio/WAV:*", alias | protocolCase, 1, 5, alias | protocolCase},
        {"http-get:*:video/mp4:*", all & ~apart, 0, -1, 0},
    };
    for (const auto &c : cases) {
        Info item(c.item);
        int32_t index = 99;
        uint32_t used = 99;
        EXPECT_EQ(c.expected, kuDLNAProtocolInfoList_MatchWithRules(sink.get(), item.get(), c.rules,
                                                                    &index, &used)) << c.item;
        EXPECT_EQ(c.index, index) << c.item << " " << c.rules;
        EXPECT_EQ(c.used, used) << c.item << " " << c.rules;
    }
    int32_t index = 0;
    EXPECT_EQ(0, kuDLNAProtocolInfoList_MatchWithRules(nullptr, Info(adts).get(), all, &index, nullptr));
    EXPECT_EQ(-1, index);
    EXPECT_EQ(0, kuDLNAProtocolInfoList_MatchWithRules(sink.get(), nullptr, all, nullptr, nullptr));
}
