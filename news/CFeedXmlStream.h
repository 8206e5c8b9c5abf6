#pragma once

// A QXmlStreamReader over the bytes of a feed or an OPML file, set up for the XML of the
// open web:
//  - the encoding is a byte order mark's (UTF-8, UTF-16), else the one the XML declaration
//    names, else UTF-8. ISO-8859-1, US-ASCII and windows-1252 are read as windows-1252,
//    as browsers do, since pages labelled Latin-1 are written in it; a document that names
//    no encoding and is not UTF-8 is read as windows-1252 as well; in a document declared
//    UTF-8, bytes that are not UTF-8 read as U+FFFD. Other encodings are Qt's to decode,
//    and one it does not know is an XML error on line 1;
//  - HTML's named characters (&nbsp;, &mdash;, see HtmlEntityCodePoint) are decoded in text
//    and attributes as if declared; any other undeclared name reads as its own text
//    ("&foo;") instead of failing the document.
// Entity expansion is capped by Qt's limit (4096 characters per entity). Not copyable; the
// bytes must outlive the stream. Use one per thread.

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <string>
#include <string_view>

class CFeedXmlStream {
public:
    explicit CFeedXmlStream(std::string_view bytes);
    CFeedXmlStream(const CFeedXmlStream&) = delete;
    CFeedXmlStream& operator=(const CFeedXmlStream&) = delete;

    QXmlStreamReader& Reader() { return m_reader; }

    // "XML error at line N: " and Qt's description of the reader's error.
    std::string ErrorText() const;

private:
    class CEntityResolver : public QXmlStreamEntityResolver {
    public:
        QString resolveUndeclaredEntity(const QString& strName) override;
    };

    CEntityResolver m_resolver;
    QByteArray m_bytes;  // raw, or decoded into m_text below
    QString m_text;
    QXmlStreamReader m_reader;
};
