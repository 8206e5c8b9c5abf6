#include "NewsPages.h"

#include "ServiceText.h"

namespace {

// Port 1 is never served on a test or desktop machine, so the download fails at once
// with a refused connection.
const char* const kUnreachableUrl = "http://127.0.0.1:1/feeds/unreachable.xml";

std::string ArticleUrl(const CNewsSource& source, const std::string& strHost,
                       std::int64_t nArticle) {
    return "http://" + strHost + "/articles/" + source.strSlug + "/" + std::to_string(nArticle) +
           ".html";
}

const char* const kPageStyle =
    "body{font-family:Georgia,'Times New Roman',serif;background:#f6f3ec;color:#222;"
    "margin:0}\n"
    "main{max-width:40em;margin:2em auto;padding:1.5em 2em;background:#fff;"
    "border-top:4px solid #7a2e2e;box-shadow:0 1px 4px rgba(0,0,0,.12)}\n"
    ".masthead{font-family:Helvetica,Arial,sans-serif;font-size:.8em;letter-spacing:.1em;"
    "text-transform:uppercase;color:#7a2e2e}\n"
    "h1{font-size:1.7em;line-height:1.2;margin:.4em 0}\n"
    ".meta{font-family:Helvetica,Arial,sans-serif;font-size:.85em;color:#666}\n"
    "p{line-height:1.6}\n"
    "footer{font-family:Helvetica,Arial,sans-serif;font-size:.75em;color:#999;"
    "margin-top:2em}\n";

std::string PageHead(const std::string& strTitle) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>" +
           XmlEscape(strTitle) + "</title>\n<style>\n" + kPageStyle + "</style>\n</head>\n";
}

}  // namespace

std::string CatalogueText(const CNewsGenerator& news, const std::string& strHost) {
    std::string strOut;
    for (const CNewsSource& source : news.Sources()) {
        std::string strUrl = source.kind == CSourceKind::Unreachable
                                 ? std::string(kUnreachableUrl)
                                 : "http://" + strHost + "/feeds/" + source.strSlug + ".xml";
        strOut += source.strName + "<!!div!!>" + strUrl + "\n";
    }
    return strOut;
}

std::string FeedXml(const CNewsGenerator& news, const CNewsSource& source,
                    const std::string& strHost, std::time_t now, int nFeedSize) {
    std::string strOut = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<moreovernews>\n";
    std::int64_t nNewest = news.NewestArticle(source, now);
    for (std::int64_t n = nNewest; n >= 0 && n > nNewest - nFeedSize; --n) {
        strOut += "<article id=\"_" + std::to_string(n) + "\">\n";
        strOut += "<url>" + XmlEscape(ArticleUrl(source, strHost, n)) + "</url>\n";
        strOut += "<headline_text>" + XmlEscape(news.Headline(source, n)) + "</headline_text>\n";
        strOut += "<source>" + XmlEscape(source.strName) + "</source>\n";
        strOut += "<media_type>text</media_type>\n";
        strOut += "<cluster>" + XmlEscape(news.Cluster(source)) + "</cluster>\n";
        strOut +=
            "<harvest_time>" + FormatHarvestTime(news.ArticleTime(source, n)) + "</harvest_time>\n";
        strOut += "<access_status></access_status>\n";
        strOut += "</article>\n";
    }
    strOut += "</moreovernews>\n";
    return strOut;
}

std::string ArticleHtml(const CNewsGenerator& news, const CNewsSource& source,
                        std::int64_t nArticle) {
    std::string strHeadline = news.Headline(source, nArticle);
    std::string strOut = PageHead(strHeadline);
    strOut += "<body>\n<main>\n<div class=\"masthead\">" + XmlEscape(source.strName) +
              " &middot; " + XmlEscape(news.Cluster(source)) + "</div>\n";
    strOut += "<h1>" + XmlEscape(strHeadline) + "</h1>\n";
    strOut += "<div class=\"meta\">" + XmlEscape(source.strName) + ", " +
              FormatHarvestTime(news.ArticleTime(source, nArticle)) + " UTC</div>\n";
    for (const std::string& strParagraph : news.Paragraphs(source, nArticle)) {
        strOut += "<p>" + XmlEscape(strParagraph) + "</p>\n";
    }
    strOut +=
        "<footer>A generated story from the Vocalon reference service. The people, "
        "places and events in it are invented.</footer>\n";
    strOut += "</main>\n</body>\n</html>\n";
    return strOut;
}

std::string DownloadHtml(const std::string& strVersionCount) {
    std::string strOut = PageHead("Vocalon downloads");
    strOut += "<body>\n<main>\n<div class=\"masthead\">Vocalon</div>\n<h1>Downloads</h1>\n";
    strOut +=
        "<p>This reference service offers no packages. The current version number it "
        "reports is " +
        XmlEscape(strVersionCount) + ".</p>\n";
    strOut += "</main>\n</body>\n</html>\n";
    return strOut;
}
