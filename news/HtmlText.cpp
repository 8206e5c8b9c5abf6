#include "news/HtmlText.h"

#include "news/HtmlEntities.h"
#include "util/Strings.h"

#include <algorithm>

namespace {

constexpr qsizetype kMaxEntityName = 32;

constexpr QStringView kBlockElements[] = {
    u"address", u"article", u"blockquote", u"br", u"dd", u"div",    u"dl", u"dt", u"footer", u"h1",
    u"h2",      u"h3",      u"h4",         u"h5", u"h6", u"header", u"hr", u"li", u"ol",     u"p",
    u"pre",     u"section", u"table",      u"td", u"th", u"tr",     u"ul",
};

constexpr QStringView kInlineElements[] = {
    u"a",      u"abbr",  u"acronym", u"audio",  u"b",      u"big",    u"body",     u"center",
    u"cite",   u"code",  u"del",     u"dfn",    u"em",     u"embed",  u"figure",   u"font",
    u"form",   u"head",  u"html",    u"i",      u"iframe", u"img",    u"input",    u"ins",
    u"kbd",    u"label", u"link",    u"mark",   u"meta",   u"nav",    u"noscript", u"object",
    u"q",      u"s",     u"samp",    u"script", u"small",  u"source", u"span",     u"strike",
    u"strong", u"style", u"sub",     u"sup",    u"tbody",  u"thead",  u"time",     u"tt",
    u"u",      u"video",
};

bool IsAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool IsNameChar(QChar c) {
    return IsAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u':';
}

template <size_t N>
bool IsOneOf(QStringView strName, const QStringView (&names)[N]) {
    return std::any_of(std::begin(names), std::end(names), [&](QStringView strKnown) {
        return strName.size() == strKnown.size() &&
               strName.compare(strKnown, Qt::CaseInsensitive) == 0;
    });
}

int DigitValue(QChar c, bool bHex) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (bHex && u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (bHex && u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

void AppendCodePoint(QString& strOut, char32_t nCode) {
    if (nCode == 0 || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF)) {
        nCode = 0xFFFD;
    }
    const char32_t code[] = {nCode};
    strOut += QString::fromUcs4(code, 1);
}

// Decodes the reference at strText[nAmp] ("&..."), appending its character; the position
// after it, or nAmp when there is none to decode there.
qsizetype DecodeEntityAt(QStringView strText, qsizetype nAmp, QString& strOut) {
    const qsizetype nSize = strText.size();
    qsizetype i = nAmp + 1;
    if (i < nSize && strText[i] == u'#') {
        const bool bHex = i + 1 < nSize && (strText[i + 1] == u'x' || strText[i + 1] == u'X');
        i += bHex ? 2 : 1;
        const qsizetype nDigits = i;
        char32_t nCode = 0;
        for (int nDigit = 0; i < nSize && (nDigit = DigitValue(strText[i], bHex)) >= 0; ++i) {
            // Past U+10FFFF the number only has to stay too large.
            nCode = std::min<char32_t>(nCode * (bHex ? 16 : 10) + nDigit, 0x110000);
        }
        if (i == nDigits || i >= nSize || strText[i] != u';') {
            return nAmp;
        }
        AppendCodePoint(strOut, nCode >= 0x80 && nCode <= 0x9F
                                    ? Windows1252CodePoint(static_cast<unsigned char>(nCode))
                                    : nCode);
        return i + 1;
    }
    const qsizetype nName = i;
    while (i < nSize && i - nName <= kMaxEntityName && IsNameChar(strText[i])) {
        ++i;
    }
    if (i == nName || i >= nSize || strText[i] != u';') {
        return nAmp;
    }
    const char32_t nCode =
        HtmlEntityCodePoint(strText.mid(nName, i - nName).toLatin1().toStdString());
    if (nCode == 0) {
        return nAmp;
    }
    AppendCodePoint(strOut, nCode);
    return i + 1;
}

// The end of the tag that starts at strHtml[nLt] (just past its ">"), or nLt when no tag
// of the set starts there. nNoGtFrom is where the search for ">" once failed: no tag ends
// after it, and remembering it keeps a text of many lone "<" linear.
qsizetype TagEndAt(QStringView strHtml, qsizetype nLt, ETagSet tags, qsizetype& nNoGtFrom,
                   QStringView& strName, bool& bClosing) {
    const qsizetype nSize = strHtml.size();
    qsizetype i = nLt + 1;
    bClosing = i < nSize && strHtml[i] == u'/';
    i += bClosing ? 1 : 0;
    const bool bDeclaration = !bClosing && i < nSize && (strHtml[i] == u'!' || strHtml[i] == u'?');
    if (!bDeclaration && (i >= nSize || !IsAsciiLetter(strHtml[i]))) {
        return nLt;
    }
    const qsizetype nName = i;
    while (i < nSize && IsNameChar(strHtml[i])) {
        ++i;
    }
    strName = strHtml.mid(nName, i - nName);
    if (tags == ETagSet::Known && !bDeclaration && !IsBlockElement(strName) &&
        !IsOneOf(strName, kInlineElements)) {
        return nLt;
    }
    if (i >= nNoGtFrom) {
        return nLt;
    }
    const qsizetype nGt = strHtml.indexOf(u'>', i);
    if (nGt < 0) {
        nNoGtFrom = i;
        return nLt;
    }
    return nGt + 1;
}

}  // namespace

bool IsBlockElement(QStringView strName) { return IsOneOf(strName, kBlockElements); }

QString DecodeHtmlEntities(QStringView strText) {
    QString strOut;
    strOut.reserve(strText.size());
    for (qsizetype i = 0; i < strText.size();) {
        const qsizetype nAmp = strText.indexOf(u'&', i);
        if (nAmp < 0) {
            strOut += strText.mid(i);
            break;
        }
        strOut += strText.mid(i, nAmp - i);
        i = DecodeEntityAt(strText, nAmp, strOut);
        if (i == nAmp) {
            strOut += u'&';
            ++i;
        }
    }
    return strOut;
}

QString HtmlToText(QStringView strHtml, ETagSet tags) {
    QString strText;  // the text between tags, entities still encoded
    strText.reserve(strHtml.size());
    qsizetype nNoGtFrom = strHtml.size();
    for (qsizetype i = 0; i < strHtml.size();) {
        const qsizetype nLt = strHtml.indexOf(u'<', i);
        if (nLt < 0) {
            strText += strHtml.mid(i);
            break;
        }
        strText += strHtml.mid(i, nLt - i);
        if (strHtml.mid(nLt).startsWith(u"<!--")) {
            const qsizetype nEnd = strHtml.indexOf(u"-->", nLt + 4);
            i = nEnd < 0 ? strHtml.size() : nEnd + 3;
            continue;
        }
        QStringView strName;
        bool bClosing = false;
        const qsizetype nEnd = TagEndAt(strHtml, nLt, tags, nNoGtFrom, strName, bClosing);
        if (nEnd == nLt) {
            strText += u'<';
            i = nLt + 1;
            continue;
        }
        i = nEnd;
        if (IsBlockElement(strName)) {
            strText += u' ';
        }
        const bool bRaw = strName.compare(u"script", Qt::CaseInsensitive) == 0 ||
                          strName.compare(u"style", Qt::CaseInsensitive) == 0;
        if (bRaw && !bClosing) {
            const QString strClose = QStringLiteral("</") + strName.toString();
            const qsizetype nClose = strHtml.indexOf(strClose, i, Qt::CaseInsensitive);
            i = nClose < 0 ? strHtml.size() : nClose;
        }
    }
    return DecodeHtmlEntities(strText);
}

std::string OneLineText(QStringView strText, size_t nMaxBytes) {
    QString strLine;
    strLine.reserve(strText.size());
    bool bBlank = false;
    for (QChar c : strText) {
        // C1 controls in a feed are windows-1252 marks read as Latin-1 somewhere upstream.
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F) {
            c = QChar(static_cast<char16_t>(
                Windows1252CodePoint(static_cast<unsigned char>(c.unicode()))));
        }
        if (c.isSpace()) {
            bBlank = true;
        } else if (c.category() != QChar::Other_Control) {
            if (bBlank && !strLine.isEmpty()) {
                strLine += u' ';
            }
            bBlank = false;
            strLine += c;
        }
    }
    std::string strOut = CutAtCharBoundary(strLine.toStdString(), nMaxBytes);
    // A cut can end at a blank, which the line would not have kept at its end.
    while (!strOut.empty() && strOut.back() == ' ') {
        strOut.pop_back();
    }
    return strOut;
}
