#include "news/WebLinks.h"

#include <QString>

namespace {

QUrl ParseRef(QStringView strRef) {
    QString strClean;
    strClean.reserve(strRef.size());
    for (QChar c : strRef) {
        if (c != u'\t' && c != u'\n' && c != u'\r') {
            strClean += c;
        }
    }
    qsizetype nStart = 0;
    qsizetype nEnd = strClean.size();
    while (nStart < nEnd && strClean[nStart].unicode() <= u' ') {
        ++nStart;
    }
    while (nEnd > nStart && strClean[nEnd - 1].unicode() <= u' ') {
        --nEnd;
    }
    return QUrl(strClean.mid(nStart, nEnd - nStart), QUrl::TolerantMode);
}

}  // namespace

std::string WebLink(const QUrl& base, QStringView strRef) {
    // An absolute reference comes back as it is; a relative one against a relative or
    // empty base stays relative and fails the scheme test.
    const QUrl url = base.resolved(ParseRef(strRef));
    const QString strScheme = url.scheme();
    if (!url.isValid() || (strScheme != u"http" && strScheme != u"https") || url.host().isEmpty()) {
        return {};
    }
    const QByteArray encoded = url.toEncoded();
    if (static_cast<size_t>(encoded.size()) > MAX_LINK_BYTES) {
        return {};
    }
    return encoded.toStdString();
}

QUrl ResolveBase(const QUrl& base, QStringView strRef) {
    const QUrl ref = ParseRef(strRef);
    if (ref.isEmpty() || !ref.isValid()) {
        return base;
    }
    return base.resolved(ref);
}
