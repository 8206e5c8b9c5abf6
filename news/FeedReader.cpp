#include "news/FeedReader.h"

#include "news/CFeedXmlStream.h"
#include "news/FeedDate.h"
#include "news/HtmlText.h"
#include "news/WebLinks.h"

#include <QUrl>

namespace {

constexpr QStringView kAtom10 = u"http://www.w3.org/2005/Atom";
constexpr QStringView kAtom03 = u"http://purl.org/atom/ns#";
constexpr QStringView kRss10 = u"http://purl.org/rss/1.0/";
constexpr QStringView kRss090 = u"http://my.netscape.com/rdf/simple/0.9/";
constexpr QStringView kRdf = u"http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr QStringView kDublinCore = u"http://purl.org/dc/elements/1.1/";
const QLatin1StringView kXmlNamespace("http://www.w3.org/XML/1998/namespace");
const QLatin1StringView kRdfNamespace("http://www.w3.org/1999/02/22-rdf-syntax-ns#");

enum class EFormat { Rss, Rdf, Atom };
enum class EField { None, FeedTitle, Title, Link, Guid, Published, Updated, DcDate };
enum class EMarkup { Text, Html, LooseHtml };

// Candidates for an item's link: a higher rank replaces a lower one, the first of a rank
// stays.
enum ELinkRank { kNoLink, kAbout, kGuid, kOtherAlternate, kAlternate };

struct CItemDraft {
    std::string strHeadline;
    bool bHasTitle = false;
    std::string strLink;
    int nLinkRank = kNoLink;
    QString strPublished;  // pubDate, published, issued, created
    QString strUpdated;    // updated, modified
    QString strDcDate;
};

std::string Headline(QStringView strText, EMarkup markup) {
    switch (markup) {
        case EMarkup::Html:
            return OneLineText(HtmlToText(strText, ETagSet::Any), NEWS_MAX_HEADLINE);
        case EMarkup::LooseHtml:
            return OneLineText(HtmlToText(strText, ETagSet::Known), NEWS_MAX_HEADLINE);
        case EMarkup::Text: break;
    }
    return OneLineText(strText, NEWS_MAX_HEADLINE);
}

// Whether a document that is not well-formed starts as a web page does.
bool LooksLikeHtml(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    const size_t nStart = bytes.find_first_not_of(" \t\r\n");
    if (nStart == std::string_view::npos) {
        return false;
    }
    const QString strStart = QString::fromUtf8(bytes.substr(nStart, 14));
    return strStart.startsWith(u"<!doctype html", Qt::CaseInsensitive) ||
           strStart.startsWith(u"<html", Qt::CaseInsensitive);
}

class CFeedParser {
public:
    CFeedParser(std::string_view bytes, const std::string& strAddress)
        : m_bytes(bytes), m_stream(bytes), m_reader(m_stream.Reader()) {
        m_bases.push_back(QUrl(QString::fromStdString(strAddress)));
    }

    CFeedResult Read();

private:
    size_t Depth() const { return m_bases.size() - 1; }
    bool IsOurs(QStringView strNamespace) const;
    bool StartRoot();
    void OnStart();
    void OnEnd();
    EMarkup TitleMarkup() const;
    void StartField(EField field, EMarkup markup = EMarkup::Text);
    void EndField();
    void OnAtomLink();
    void OfferLink(std::string strLink, int nRank);
    void EndItem();
    CFeedResult Failure(EFeedStatus status, std::string strError) const;

    std::string_view m_bytes;
    CFeedXmlStream m_stream;
    QXmlStreamReader& m_reader;
    std::vector<QUrl> m_bases;  // the feed's address, then the base of each open element
    size_t m_nSkipped = 0;      // open elements past the depth cap
    EFormat m_format = EFormat::Rss;
    QString m_strNamespace;      // the root element's
    size_t m_nChannelDepth = 0;  // of the element whose title is the feed's; 0: none yet
    bool m_bInChannel = false;
    bool m_bHasFeedTitle = false;
    size_t m_nItemDepth = 0;  // 0: not in an item
    CItemDraft m_item;
    EField m_field = EField::None;
    size_t m_nFieldDepth = 0;
    EMarkup m_markup = EMarkup::Text;
    bool m_bPermalink = false;
    QString m_strText;  // of the field being read
    CFeed m_feed;
};

CFeedResult CFeedParser::Read() {
    bool bHasRoot = false;
    while (!m_reader.atEnd() && m_feed.items.size() < MAX_FEED_ITEMS) {
        switch (m_reader.readNext()) {
            case QXmlStreamReader::StartElement: {
                if (m_nSkipped > 0 || Depth() == MAX_FEED_DEPTH) {
                    ++m_nSkipped;
                    break;
                }
                const QXmlStreamAttributes attributes = m_reader.attributes();
                const QStringView strBase =
                    attributes.value(kXmlNamespace, QLatin1StringView("base"));
                m_bases.push_back(strBase.isNull() ? m_bases.back()
                                                   : ResolveBase(m_bases.back(), strBase));
                if (bHasRoot) {
                    OnStart();
                    break;
                }
                bHasRoot = true;
                if (m_reader.name().compare(u"html", Qt::CaseInsensitive) == 0) {
                    return Failure(EFeedStatus::NotAFeed, "not a feed: an HTML page");
                }
                if (!StartRoot()) {
                    return Failure(EFeedStatus::NotAFeed,
                                   "not a feed: the document is <" +
                                       m_reader.qualifiedName().left(64).toString().toStdString() +
                                       ">");
                }
                break;
            }
            case QXmlStreamReader::EndElement:
                if (m_nSkipped > 0) {
                    --m_nSkipped;
                    break;
                }
                OnEnd();
                m_bases.pop_back();
                break;
            case QXmlStreamReader::Characters:
                if (m_field != EField::None && m_nSkipped == 0 &&
                    static_cast<size_t>(m_strText.size()) < MAX_FEED_FIELD) {
                    m_strText += m_reader.text().left(static_cast<qsizetype>(MAX_FEED_FIELD) -
                                                      m_strText.size());
                }
                break;
            default: break;
        }
    }
    if (m_reader.hasError()) {
        if (!bHasRoot && LooksLikeHtml(m_bytes)) {
            return Failure(EFeedStatus::NotAFeed, "not a feed: an HTML page");
        }
        return Failure(EFeedStatus::BadXml, m_stream.ErrorText());
    }
    CFeedResult result;
    result.feed = std::move(m_feed);
    return result;
}

CFeedResult CFeedParser::Failure(EFeedStatus status, std::string strError) const {
    CFeedResult result;
    result.status = status;
    result.strError = std::move(strError);
    return result;
}

bool CFeedParser::IsOurs(QStringView strNamespace) const {
    if (m_format == EFormat::Rdf) {
        return strNamespace == kRss10 || strNamespace == kRss090 || strNamespace.isEmpty();
    }
    return strNamespace == m_strNamespace;
}

bool CFeedParser::StartRoot() {
    const QStringView strName = m_reader.name();
    const QStringView strNamespace = m_reader.namespaceUri();
    if (strName == u"rss") {
        m_format = EFormat::Rss;
    } else if (strName == u"RDF" && strNamespace == kRdf) {
        m_format = EFormat::Rdf;
    } else if (strName == u"feed" &&
               (strNamespace == kAtom10 || strNamespace == kAtom03 || strNamespace.isEmpty())) {
        m_format = EFormat::Atom;
        m_nChannelDepth = 1;
        m_bInChannel = true;
    } else {
        return false;
    }
    m_strNamespace = strNamespace.toString();
    return true;
}

void CFeedParser::OnStart() {
    const QStringView strName = m_reader.name();
    const QStringView strNamespace = m_reader.namespaceUri();
    const size_t nDepth = Depth();
    if (m_field != EField::None) {
        // Markup inside a title: XHTML, or HTML that was not escaped.
        if (IsBlockElement(strName)) {
            m_strText += u' ';
        }
        return;
    }
    if (m_nItemDepth == 0) {
        if (IsOurs(strNamespace) && strName == (m_format == EFormat::Atom ? u"entry" : u"item")) {
            m_nItemDepth = nDepth;
            m_item = {};
            if (m_format == EFormat::Rdf) {
                const QXmlStreamAttributes attributes = m_reader.attributes();
                const QStringView strAbout =
                    attributes.value(kRdfNamespace, QLatin1StringView("about"));
                OfferLink(WebLink(m_bases.back(), strAbout), kAbout);
            }
        } else if (m_format != EFormat::Atom && nDepth == 2 && IsOurs(strNamespace) &&
                   strName == u"channel" && m_nChannelDepth == 0) {
            m_nChannelDepth = nDepth;
            m_bInChannel = true;
        } else if (m_bInChannel && nDepth == m_nChannelDepth + 1 && !m_bHasFeedTitle &&
                   IsOurs(strNamespace) && strName == u"title") {
            StartField(EField::FeedTitle, TitleMarkup());
        }
        return;
    }
    // An item's own fields: not those of an Atom entry's <source>, say.
    if (nDepth != m_nItemDepth + 1) {
        return;
    }
    if (strNamespace == kDublinCore && strName == u"date") {
        StartField(EField::DcDate);
        return;
    }
    if (!IsOurs(strNamespace)) {
        return;
    }
    if (strName == u"title") {
        StartField(EField::Title, TitleMarkup());
    } else if (m_format == EFormat::Atom) {
        if (strName == u"link") {
            OnAtomLink();
        } else if (strName == u"published" || strName == u"issued" || strName == u"created") {
            StartField(EField::Published);
        } else if (strName == u"updated" || strName == u"modified") {
            StartField(EField::Updated);
        }
    } else if (strName == u"link") {
        StartField(EField::Link);
    } else if (strName == u"guid") {
        const QXmlStreamAttributes attributes = m_reader.attributes();
        const QStringView strPermalink = attributes.value(QLatin1StringView("isPermaLink"));
        m_bPermalink = strPermalink.isNull() ||
                       strPermalink.trimmed().compare(u"true", Qt::CaseInsensitive) == 0;
        StartField(EField::Guid);
    } else if (strName == u"pubDate") {
        StartField(EField::Published);
    }
}

EMarkup CFeedParser::TitleMarkup() const {
    if (m_format != EFormat::Atom) {
        return EMarkup::LooseHtml;
    }
    const QXmlStreamAttributes attributes = m_reader.attributes();
    const QStringView strType = attributes.value(QLatin1StringView("type")).trimmed();
    const bool bHtml = strType.compare(u"html", Qt::CaseInsensitive) == 0 ||
                       strType.compare(u"text/html", Qt::CaseInsensitive) == 0;
    // Atom 0.3's mode "xml" (its default) holds the HTML as elements, read as XHTML is.
    const QStringView strMode = attributes.value(QLatin1StringView("mode")).trimmed();
    return bHtml && strMode.compare(u"xml", Qt::CaseInsensitive) != 0 ? EMarkup::Html
                                                                      : EMarkup::Text;
}

void CFeedParser::StartField(EField field, EMarkup markup) {
    m_field = field;
    m_nFieldDepth = Depth();
    m_markup = markup;
    m_strText.clear();
}

void CFeedParser::OnEnd() {
    const size_t nDepth = Depth();
    if (m_field != EField::None) {
        if (nDepth == m_nFieldDepth) {
            EndField();
        } else if (IsBlockElement(m_reader.name())) {
            m_strText += u' ';
        }
        return;
    }
    if (nDepth == m_nItemDepth) {
        EndItem();
    } else if (nDepth == m_nChannelDepth) {
        m_bInChannel = false;
    }
}

void CFeedParser::EndField() {
    // The first of each field counts.
    auto keepFirst = [this](QString& strSlot) {
        if (strSlot.isEmpty()) {
            strSlot = m_strText.trimmed();
        }
    };
    switch (m_field) {
        case EField::FeedTitle:
            m_feed.strTitle = Headline(m_strText, m_markup);
            m_bHasFeedTitle = true;
            break;
        case EField::Title:
            if (!m_item.bHasTitle) {
                m_item.strHeadline = Headline(m_strText, m_markup);
                m_item.bHasTitle = true;
            }
            break;
        case EField::Link: OfferLink(WebLink(m_bases.back(), m_strText), kAlternate); break;
        case EField::Guid:
            if (m_bPermalink) {
                OfferLink(WebLink(m_bases.back(), m_strText), kGuid);
            }
            break;
        case EField::Published: keepFirst(m_item.strPublished); break;
        case EField::Updated: keepFirst(m_item.strUpdated); break;
        case EField::DcDate: keepFirst(m_item.strDcDate); break;
        case EField::None: break;
    }
    m_field = EField::None;
}

void CFeedParser::OnAtomLink() {
    const QXmlStreamAttributes attributes = m_reader.attributes();
    const QStringView strRel = attributes.value(QLatin1StringView("rel")).trimmed();
    if (!strRel.isEmpty() && strRel.compare(u"alternate", Qt::CaseInsensitive) != 0) {
        return;
    }
    const QStringView strType = attributes.value(QLatin1StringView("type")).trimmed();
    const bool bPage = strType.isEmpty() ||
                       strType.compare(u"text/html", Qt::CaseInsensitive) == 0 ||
                       strType.compare(u"application/xhtml+xml", Qt::CaseInsensitive) == 0;
    OfferLink(WebLink(m_bases.back(), attributes.value(QLatin1StringView("href"))),
              bPage ? kAlternate : kOtherAlternate);
}

void CFeedParser::OfferLink(std::string strLink, int nRank) {
    if (!strLink.empty() && nRank > m_item.nLinkRank) {
        m_item.strLink = std::move(strLink);
        m_item.nLinkRank = nRank;
    }
}

void CFeedParser::EndItem() {
    CFeedItem item;
    item.strHeadline = std::move(m_item.strHeadline);
    item.strLink = std::move(m_item.strLink);
    for (const QString* pDate : {&m_item.strPublished, &m_item.strUpdated, &m_item.strDcDate}) {
        item.time = ParseFeedDate(pDate->toStdString());
        if (item.time != 0) {
            break;
        }
    }
    m_feed.items.push_back(std::move(item));
    m_nItemDepth = 0;
}

}  // namespace

CFeedResult ReadFeed(std::string_view bytes, const std::string& strAddress) {
    return CFeedParser(bytes, strAddress).Read();
}

CNewsItemList ToNewsItems(const CFeed& feed, const std::string& strSource) {
    CNewsItemList items;
    for (const CFeedItem& item : feed.items) {
        if (!item.strHeadline.empty()) {
            items.push_back(std::make_unique<CNewsItem>(item.strLink, item.strHeadline, strSource,
                                                        std::string(), item.time));
        }
    }
    return items;
}
