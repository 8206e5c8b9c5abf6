#include "news/CFeedXmlStream.h"

#include "news/HtmlEntities.h"

#include <QUtf8StringView>

#include <algorithm>
#include <array>

namespace {

// How far into the document its XML declaration may end.
constexpr size_t kMaxDeclaration = 1024;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The encoding the XML declaration names, in lower case; empty when it names none.
std::string DeclaredEncoding(std::string_view bytes) {
    if (!bytes.starts_with("<?xml")) {
        return {};
    }
    const std::string_view declaration =
        bytes.substr(0, bytes.substr(0, kMaxDeclaration).find("?>"));
    size_t i = declaration.find("encoding");
    if (i == std::string_view::npos) {
        return {};
    }
    i += 8;
    while (i < declaration.size() &&
           (declaration[i] == ' ' || declaration[i] == '=' || declaration[i] == '\t' ||
            declaration[i] == '\r' || declaration[i] == '\n')) {
        ++i;
    }
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) {
        return {};
    }
    const size_t nEnd = declaration.find(declaration[i], i + 1);
    std::string strName(declaration.substr(
        i + 1, nEnd == std::string_view::npos ? std::string_view::npos : nEnd - i - 1));
    std::transform(strName.begin(), strName.end(), strName.begin(), Lower);
    return strName;
}

bool IsWindows1252Label(std::string_view strName) {
    static constexpr std::array<std::string_view, 14> kLabels = {
        "iso-8859-1", "iso8859-1", "iso_8859-1", "latin1",       "latin-1", "l1",       "ibm819",
        "cp819",      "us-ascii",  "ascii",      "windows-1252", "cp1252",  "x-cp1252", "cp-1252"};
    return std::find(kLabels.begin(), kLabels.end(), strName) != kLabels.end();
}

QString DecodeWindows1252(std::string_view bytes) {
    QString strText(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* pOut = strText.data();
    for (char c : bytes) {
        // Every character of the code page lies in the basic plane.
        *pOut++ = QChar(static_cast<char16_t>(Windows1252CodePoint(static_cast<unsigned char>(c))));
    }
    return strText;
}

}  // namespace

CFeedXmlStream::CFeedXmlStream(std::string_view bytes) {
    m_reader.setEntityResolver(&m_resolver);
    // QXmlStreamReader honours byte order marks and the UTF-16 it can tell from "<".
    const bool bMarked = bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
                         bytes.starts_with("\xFE\xFF") ||
                         bytes.starts_with(std::string_view("<\0", 2)) ||
                         bytes.starts_with(std::string_view("\0<", 2));
    const std::string strEncoding = bMarked ? std::string() : DeclaredEncoding(bytes);
    const bool bUtf8 = strEncoding.empty() || strEncoding == "utf-8" || strEncoding == "utf8";
    const bool bValidUtf8 = bMarked || QUtf8StringView(bytes).isValidUtf8();
    const QByteArray raw =
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    // A text handed over as a QString keeps Qt from decoding it again by the declaration.
    if (IsWindows1252Label(strEncoding) || (strEncoding.empty() && !bValidUtf8)) {
        m_text = DecodeWindows1252(bytes);
        m_reader.addData(m_text);
    } else if (bUtf8 && !bValidUtf8) {
        m_text = QString::fromUtf8(raw);
        m_reader.addData(m_text);
    } else {
        m_bytes = raw;
        m_reader.addData(m_bytes);
    }
}

std::string CFeedXmlStream::ErrorText() const {
    return "XML error at line " + std::to_string(m_reader.lineNumber()) + ": " +
           m_reader.errorString().toStdString();
}

QString CFeedXmlStream::CEntityResolver::resolveUndeclaredEntity(const QString& strName) {
    // The replacement is read as markup: a character reference is safe for any character.
    const char32_t nCode = HtmlEntityCodePoint(strName.toStdString());
    if (nCode != 0) {
        return QStringLiteral("&#%1;").arg(nCode);
    }
    return QStringLiteral("&amp;%1;").arg(strName);
}
