#include <kuvanaTools/kuDLNAProfileList.h>
#include <kuvanaTools/kuMemory.h>

#include "support/DLNATestUtil.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using kutest::take;

class Profiles {
public:
    explicit Profiles(const char *text = nullptr) : p_(kuDLNAProfileList_New())
    {
        if (text != nullptr)
            kuDLNAProfileList_MergeProfileList(p_, text);
    }
    ~Profiles() { kuDLNAProfileList_Delete(p_); }
    Profiles(const Profiles &) = delete;
    Profiles &operator=(const Profiles &) = delete;

    kuDLNAProfileList *get() const { return p_; }
    std::string str() const { return take(kuDLNAProfileList_GetStr(p_)); }

private:
    kuDLNAProfileList *p_;
};

} // namespace

TEST(kuDLNAProfileList, MergingAndNormalising)
{
    Profiles list(" MP3 , mp3,LPCM,,AAC_ISO ");
    std::string text = list.str();
    EXPECT_TRUE(text == "AAC_ISO,LPCM,MP3" || text == "AAC_ISO,LPCM,mp3") << text;
    EXPECT_EQ(1, kuDLNAProfileList_HasProfile(list.get(), "Mp3"));
    EXPECT_EQ(0, kuDLNAProfileList_HasProfile(list.get(), "MP"));
    EXPECT_EQ(0, kuDLNAProfileList_HasProfile(list.get(), nullptr));

    // Only blanks and tabs are trimmed; later merges keep the set sorted.
    kuDLNAProfileList_MergeProfileList(list.get(), "\tJPEG_SM\t, \nX ,ZZ,A");
    text = list.str();
    EXPECT_EQ(0, strcasecmp("\nX,A,AAC_ISO,JPEG_SM,LPCM,MP3,ZZ", text.c_str())) << text;
    EXPECT_EQ(1, kuDLNAProfileList_HasProfile(list.get(), "\nX"));

    kuDLNAProfileList_Remove(list.get(), "lpcm");
    kuDLNAProfileList_Remove(list.get(), "NONE");
    kuDLNAProfileList_Remove(list.get(), nullptr);
    EXPECT_EQ(0, kuDLNAProfileList_HasProfile(list.get(), "LPCM"));
    EXPECT_EQ(1, kuDLNAProfileList_HasProfile(list.get(), "JPEG_SM"));

    Profiles empty;
    EXPECT_EQ("", empty.str());
    kuDLNAProfileList_MergeProfileList(empty.get(), nullptr);
    kuDLNAProfileList_MergeProfileList(empty.get(), " , ,\t");
    EXPECT_EQ("", empty.str());
    EXPECT_EQ("", take(kuDLNAProfileList_GetStr(nullptr)));
    EXPECT_EQ(0, kuDLNAProfileList_HasProfile(nullptr, "MP3"));
    kuDLNAProfileList_Delete(nullptr);
}

TEST(kuDLNAProfileList, ProfilesOfProtocolInfoLists)
{
    Profiles list;
    kuDLNAProfileList_MergeDLNAProtocolInfoList(
        list.get(), "audio/mpeg:DLNA.ORG_PN=MP3,video/mpeg:DLNA.ORG_PN=MPEG1;DLNA.ORG_PS=1\\,2,"
                    "image/jpeg:*,audio/L16:DLNA.ORG_PN=,audio/mpeg:DLNA.ORG_PN=mp3");
    std::string names = list.str();
    EXPECT_EQ(1u, (size_t)std::count(names.begin(), names.end(), ','));
    EXPECT_EQ(1, kuDLNAProfileList_HasProfile(list.get(), "MPEG1"));
    EXPECT_EQ(1, kuDLNAProfileList_HasProfile(list.get(), "MP3"));
    kuDLNAProfileList_MergeDLNAProtocolInfoList(list.get(), nullptr);
    EXPECT_EQ(1, kuDLNAProfileList_HasProfile(list.get(), "MP3"));

    EXPECT_EQ("lpcm", take(kuDLNAProfileList_GetMatchingProfileListStr(Profiles("MP3,LPCM").get(),
                                                                       "lpcm,WMABASE")));
    EXPECT_EQ("AAC_ISO,mp3", take(kuDLNAProfileList_GetMatchingProfileListStr(
                                 Profiles("MP3,LPCM,AAC_ISO").get(), " mp3,X,AAC_ISO")));
    EXPECT_EQ("", take(kuDLNAProfileList_GetMatchingProfileListStr(Profiles("MP3").get(), nullptr)));
    EXPECT_EQ("", take(kuDLNAProfileList_GetMatchingProfileListStr(nullptr, "MP3")));
}

// The profile names that devices really send, and those of real sink lists.
TEST(kuDLNAProfileList, RealProfiles)
{
    std::vector<std::string> names = kutest::dataLines("dlna-profiles.txt");
    ASSERT_GT(names.size(), 300u);
    std::string joined;
    for (const std::string &name : names)
        joined += name + ",";
    Profiles known(joined.c_str());
    std::string text = known.str();
    // Sorted without repeats in any case.
    std::vector<std::string> kept;
    for (size_t start = 0, end; start <= text.size(); start = end + 1) {
        end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        kept.push_back(text.substr(start, end - start));
    }
    for (size_t i = 1; i < kept.size(); i++)
        EXPECT_LT(strcasecmp(kept[i - 1].c_str(), kept[i].c_str()), 0) << kept[i];
    for (const std::string &name : names)
        EXPECT_EQ(1, kuDLNAProfileList_HasProfile(known.get(), name.c_str())) << name;

    // The profiles a television and a server share.
    kutest::List tv(kutest::listText("sink-tv.txt"));
    Profiles sink;
    for (uint32_t i = 0; i < tv.count(); i++)
        if (tv.at((int32_t)i)->profileName != nullptr)
            kuDLNAProfileList_MergeProfileList(sink.get(), tv.at((int32_t)i)->profileName);
    EXPECT_EQ("AAC_ISO_320,AVC_MP4_MP_SD_AAC_MULT5,AVC_TS_HD_EU_T,DTCP_MPEG_PS_PAL,JPEG_LRG,JPEG_MED,"
              "JPEG_SM,JPEG_TN,LPCM,MP3,MPEG_PS_PAL,MPEG_TS_SD_EU,WMABASE",
              take(kuDLNAProfileList_GetMatchingProfileListStr(
                  sink.get(), "MP3,LPCM,AAC_ISO_320,WMABASE,JPEG_TN,JPEG_SM,JPEG_MED,JPEG_LRG,"
                              "MPEG_PS_PAL,AVC_TS_HD_EU_T,AVC_MP4_MP_SD_AAC_MULT5,DTCP_MPEG_PS_PAL,"
                              "MPEG_TS_SD_EU,FLAC_X")));
}
