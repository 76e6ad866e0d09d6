// Helpers shared by the DLNA protocol info, list and profile list suites.
#pragma once

#include <kuvanaTools/kuDLNAProtocolInfo.h>
#include <kuvanaTools/kuDLNAProtocolInfoList.h>
#include <kuvanaTools/private/kuDLNAProtocolInfoInternal.h>

#include "support/OwnedText.h"
#include "support/TestUtil.h"

#include <memory>
#include <sstream>
#include <string>
#include <string.h>
#include <vector>

namespace kutest {

// Parses a copy of text in a block of exactly its size, without terminator,
// so that a read past the length shows under AddressSanitizer.
inline kuDLNAProtocolInfo *parseExact(const std::string &text, bool profileInfo = false)
{
    std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
    memcpy(block.get(), text.data(), text.size());
    return profileInfo ? kuDLNAProtocolInfo_NewFromProfileInfo(block.get(), text.size())
                       : kuDLNAProtocolInfo_New(block.get(), text.size());
}

// An owned library object.
template <typename T, void (*Delete)(T *)> class Owned {
public:
    explicit Owned(T *p) : p_(p) {}
    ~Owned() { Delete(p_); }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;

    T *get() const { return p_; }
    T *operator->() const { return p_; }
    T *release()
    {
        T *p = p_;
        p_ = nullptr;
        return p;
    }

private:
    T *p_;
};

// An owned protocol info object.
class Info : public Owned<kuDLNAProtocolInfo, kuDLNAProtocolInfo_Delete> {
public:
    explicit Info(const std::string &text) : Owned(parseExact(text)) {}
    explicit Info(kuDLNAProtocolInfo *p) : Owned(p) {}
    std::string str(int context = 1) const { return take(kuDLNAProtocolInfo_GetStrForContext(get(), context)); }
};

// An owned list.
class List : public Owned<kuDLNAProtocolInfoList, kuDLNAProtocolInfoList_Delete> {
public:
    explicit List(const char *text) : Owned(kuDLNAProtocolInfoList_New(text)) {}
    explicit List(const std::string &text) : List(text.c_str()) {}
    explicit List(kuDLNAProtocolInfoList *p) : Owned(p) {}
    uint32_t count() const { return kuDLNAProtocolInfoList_GetCount(get()); }
    kuDLNAProtocolInfo *at(int32_t i) const { return kuDLNAProtocolInfoList_GetProtocolInfoAt(get(), i); }
    std::string str(int context = 1) const { return take(kuDLNAProtocolInfoList_GetStrForContext(get(), context)); }
};

// Everything a composition can carry, as one text for comparisons.
inline std::string fields(const kuDLNAProtocolInfo *i)
{
    std::ostringstream o;
    o << "valid=" << i->valid << " protocol=" << i->protocol << "/" << orNull(i->protocolString)
      << " single=" << i->playSingle << " network=" << orNull(i->network)
      << " format=" << orNull(i->contentFormat) << " pn=" << orNull(i->profileName)
      << " tn=" << i->isThumbnail << " ci=" << (i->conversionIndicator != 0)
      << " version=" << i->versionMajor << "." << i->versionMinor << " speeds=";
    for (uint32_t k = 0; k < i->playSpeeds.count; k++)
        o << i->playSpeeds.items[k].text << "(" << i->playSpeeds.items[k].value << ") ";
    if (i->versionMinor >= 5)
        o << std::hex << " flags=" << i->flagWords[0] << "," << i->flagWords[1] << ","
          << i->flagWords[2] << "," << i->flagWords[3] << std::dec;
    if (i->protocol == ku::kProtocolRtsp)
        o << " maxsp=" << i->maxSpeedInteger << "." << i->maxSpeedFraction;
    o << " other=" << take(kuDLNAProtocolInfo_GetStrFor4thField(i));
    return o.str();
}

// The non-comment lines of a data file.
inline std::vector<std::string> dataLines(const std::string &name)
{
    std::vector<std::string> lines;
    std::istringstream in(readFile(dataFile(name)));
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    return lines;
}

// The one list text of a sink or source list file.
inline std::string listText(const std::string &name)
{
    std::vector<std::string> lines = dataLines(name);
    return lines.empty() ? std::string() : lines[0];
}

inline const std::vector<std::string> &listFiles()
{
    static const std::vector<std::string> files = {"sink-macast.txt", "sink-dlnampvrenderer.txt",
                                                   "sink-tv.txt", "sink-player.txt",
                                                   "source-server.txt"};
    return files;
}

} // namespace kutest
