#include "news/CNewsItem.h"

namespace {

std::string FormatLocal(std::time_t time, const char* pszPattern) {
    if (time == 0) {
        return "invalid time";
    }
    std::tm local{};
    if (!localtime_r(&time, &local)) {
        return "invalid time";
    }
    char szText[64];
    size_t n = std::strftime(szText, sizeof szText, pszPattern, &local);
    return std::string(szText, n);
}

}  // namespace

CNewsItem::CNewsItem(std::string strUrl, std::string strHeadline, std::string strSource,
                     std::string strCluster, std::time_t time)
    : m_strUrl(std::move(strUrl)),
      m_strHeadline(std::move(strHeadline)),
      m_strSource(std::move(strSource)),
      m_strCluster(std::move(strCluster)),
      m_time(time) {}

CNewsItem::~CNewsItem() = default;

std::string CNewsItem::FormatLongDate() const { return FormatLocal(m_time, "%b %d %Y, %I:%M %p"); }

std::string CNewsItem::FormatShortDate() const { return FormatLocal(m_time, "%m/%d %I:%M %p"); }

std::string PastNewsLabel(const CNewsItem& item) {
    return item.FormatShortDate() + " - " + item.m_strHeadline;
}
