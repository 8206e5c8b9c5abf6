#include "news/Opml.h"

#include "news/CFeedXmlStream.h"
#include "news/HtmlText.h"
#include "news/WebLinks.h"

#include <QString>
#include <QUrl>

#include <unordered_set>

namespace {

COpmlResult Failure(EOpmlStatus status, std::string strError) {
    COpmlResult result;
    result.status = status;
    result.strError = std::move(strError);
    return result;
}

bool IsXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The text as XML attribute or element content; valid UTF-8 whatever the input.
std::string EscapeXml(const std::string& strText) {
    std::u32string strOut;
    for (char32_t c : QString::fromStdString(strText).toStdU32String()) {
        switch (c) {
            case '&': strOut += U"&amp;"; break;
            case '<': strOut += U"&lt;"; break;
            case '>': strOut += U"&gt;"; break;
            case '"': strOut += U"&quot;"; break;
            // Literal ones would be read back as blanks.
            case '\t': strOut += U"&#9;"; break;
            case '\n': strOut += U"&#10;"; break;
            case '\r': strOut += U"&#13;"; break;
            default:
                if (IsXmlChar(c)) {
                    strOut += c;
                }
        }
    }
    return QString::fromStdU32String(strOut).toStdString();
}

}  // namespace

COpmlResult ReadOpml(std::string_view bytes) {
    CFeedXmlStream stream(bytes);
    QXmlStreamReader& reader = stream.Reader();
    COpmlResult result;
    std::unordered_set<std::string> seen;
    size_t nDepth = 0;
    while (!reader.atEnd() && result.sources.size() < MAX_OPML_SOURCES) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --nDepth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement) {
            continue;
        }
        if (++nDepth == 1 && reader.name() != u"opml") {
            const bool bHtml = reader.name().compare(u"html", Qt::CaseInsensitive) == 0;
            return Failure(EOpmlStatus::NotOpml,
                           bHtml ? "not an OPML file: an HTML page"
                                 : "not an OPML file: the document is <" +
                                       reader.qualifiedName().left(64).toString().toStdString() +
                                       ">");
        }
        if (nDepth > MAX_OPML_DEPTH || reader.name() != u"outline") {
            continue;
        }
        const QXmlStreamAttributes attributes = reader.attributes();
        std::string strAddress = WebLink(QUrl(), attributes.value(QLatin1StringView("xmlUrl")));
        if (strAddress.empty() || !seen.insert(strAddress).second) {
            continue;
        }
        QStringView strName = attributes.value(QLatin1StringView("title"));
        if (strName.trimmed().isEmpty()) {
            strName = attributes.value(QLatin1StringView("text"));
        }
        std::string strClean = CleanSourceName(OneLineText(strName, MAX_SOURCE_NAME));
        if (strClean.empty()) {
            strClean = CleanSourceName(strAddress);
        }
        result.sources.push_back({std::move(strClean), std::move(strAddress)});
    }
    if (reader.hasError()) {
        return Failure(EOpmlStatus::BadXml, stream.ErrorText());
    }
    return result;
}

std::string WriteOpml(const CFeedSourceList& sources, const std::string& strTitle) {
    std::string strOut =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\">\n<head>\n<title>" +
        EscapeXml(strTitle) + "</title>\n</head>\n<body>\n";
    for (const CFeedSource& source : sources) {
        const std::string strAddress = WebLink(QUrl(), QString::fromStdString(source.strAddress));
        if (strAddress.empty()) {
            continue;
        }
        const std::string strName = EscapeXml(source.strName);
        strOut += "<outline type=\"rss\" text=\"" + strName + "\" title=\"" + strName +
                  "\" xmlUrl=\"" + EscapeXml(strAddress) + "\"/>\n";
    }
    return strOut + "</body>\n</opml>\n";
}
