#include <kuvanaTools/kuDLNAProfileList.h>

#include "support/OwnedText.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <memory>
#include <string>

using kutest::take;

using Profiles = std::unique_ptr<kuDLNAProfileList, void (*)(kuDLNAProfileList *)>;

static Profiles profiles(const char *text = nullptr)
{
    Profiles list(kuDLNAProfileList_New(), kuDLNAProfileList_Delete);
    kuDLNAProfileList_MergeProfileList(list.get(), text);
    return list;
}

static std::string str(const Profiles &list)
{
    return take(kuDLNAProfileList_GetStr(list.get()));
}

static std::string matching(const char *names, const char *text)
{
    return take(kuDLNAProfileList_GetMatchingProfileListStr(profiles(names).get(), text));
}

TEST(kuDLNAProfileList, MergingNormalisingAndMatching)
{
    Profiles list = profiles(" MP3 , mp3,LPCM,,AAC_ISO ");
    EXPECT_EQ(1, kuDLNAProfileList_HasProfile(list.get(), "Mp3"));
    EXPECT_EQ(0, kuDLNAProfileList_HasProfile(list.get(), "MP"));
    EXPECT_EQ(0, kuDLNAProfileList_HasProfile(list.get(), nullptr));

    // Only blanks and tabs are trimmed; later merges keep the set sorted.
    kuDLNAProfileList_MergeProfileList(list.get(), "\tJPEG_SM\t, \nX ,ZZ,A");
    EXPECT_EQ(0, strcasecmp("\nX,A,AAC_ISO,JPEG_SM,LPCM,MP3,ZZ", str(list).c_str())) << str(list);
    kuDLNAProfileList_Remove(list.get(), "lpcm");
    kuDLNAProfileList_Remove(list.get(), nullptr);
    EXPECT_EQ(0, strcasecmp("\nX,A,AAC_ISO,JPEG_SM,MP3,ZZ", str(list).c_str())) << str(list);

    EXPECT_EQ("", str(profiles(" , ,\t")));
    EXPECT_EQ("", take(kuDLNAProfileList_GetStr(nullptr)));
    EXPECT_EQ(0, kuDLNAProfileList_HasProfile(nullptr, "MP3"));
    kuDLNAProfileList_Delete(nullptr);

    list = profiles();
    kuDLNAProfileList_MergeDLNAProtocolInfoList(
        list.get(), "audio/mpeg:DLNA.ORG_PN=MP3,video/mpeg:DLNA.ORG_PN=MPEG1;DLNA.ORG_PS=1\\,2,"
                    "image/jpeg:*,audio/L16:DLNA.ORG_PN=,audio/mpeg:DLNA.ORG_PN=mp3");
    kuDLNAProfileList_MergeDLNAProtocolInfoList(list.get(), nullptr);
    std::string names = str(list);
    EXPECT_TRUE(names == "MP3,MPEG1" || names == "mp3,MPEG1") << names;

    EXPECT_EQ("lpcm", matching("MP3,LPCM", "lpcm,WMABASE"));
    EXPECT_EQ("AAC_ISO,mp3", matching("MP3,LPCM,AAC_ISO", " mp3,X,AAC_ISO"));
    EXPECT_EQ("", matching("MP3", nullptr));
    EXPECT_EQ("", take(kuDLNAProfileList_GetMatchingProfileListStr(nullptr, "MP3")));
}
