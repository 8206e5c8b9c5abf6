#include "news/NewsFiles.h"

#include "util/AppFiles.h"
#include "util/Strings.h"

#include <vector>

const char* const CATALOGUE_FILE = "in_feeds.txt";

namespace {

constexpr size_t kMaxChannel = 25;

std::string SafePrefix(std::string strUser) {
    for (char& c : strUser) {
        if (c == '/' || c == '\\' || c == '\0') {
            c = '_';
        }
    }
    return strUser;
}

}  // namespace

std::string ChosenSourcesFile(const std::string& strUser) {
    return SafePrefix(strUser) + "_out_feeds.txt";
}

std::string SeenStoreFile(const std::string& strUser) {
    return SafePrefix(strUser) + "_seenurls.txt";
}

bool HasChosenSources(const std::string& strUser) {
    std::vector<std::string> names;
    LoadListFile(ChosenSourcesFile(strUser), names);
    return !names.empty();
}

std::string ChannelNameOf(const std::string& strHeadline) {
    std::string strChannel = "#" + strHeadline;
    for (const char* pszRemove : {"&amp;", " ", "\r", "\n", ".", ",", "(", ")", "'", ":", ";", "&"}) {
        ReplaceAll(strChannel, pszRemove, "");
    }
    // Any other control character would make the server refuse the channel.
    std::erase_if(strChannel, [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    return CutAtCharBoundary(strChannel, kMaxChannel);
}

std::string ChatTopicOf(const std::string& strSource, const std::string& strHeadline) {
    std::string strTopic = strSource + " - " + strHeadline;
    ReplaceAll(strTopic, "&amp;", "&");
    return strTopic;
}

std::string MakeChatRequest(const std::string& strChannel, const std::string& strTopic,
                            const std::string& strUrl) {
    return strChannel + "!!" + strTopic + "!!" + strUrl;
}
