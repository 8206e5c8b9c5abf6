#pragma once

// Reads and writes OPML subscription lists, the files feed readers import and export.
// Bytes in, values out; safe in any thread.
//
// Reading takes every <outline> with an xmlUrl attribute, wherever it is nested, in
// document order: its name is the title attribute, else the text attribute, as one line
// (see OneLineText, CleanSourceName), else the address itself; its address is xmlUrl if
// that is an absolute http or https address (see WebLink), else the outline is left out,
// as is an address met before. htmlUrl and the outlines' types are not needed. Limits:
// at most MAX_OPML_SOURCES sources (the rest of the document is not read); outlines in
// elements nested deeper than MAX_OPML_DEPTH are ignored. Encodings and HTML's named
// characters are read as CFeedXmlStream reads them.

#include "news/FeedSource.h"

#include <string>
#include <string_view>

constexpr size_t MAX_OPML_SOURCES = 1000;
constexpr size_t MAX_OPML_DEPTH = 64;

enum class EOpmlStatus {
    Ok,       // sources holds what was read
    NotOpml,  // the document is something else (a feed, an HTML page ...)
    BadXml,   // the document is not well-formed XML
};

struct COpmlResult {
    EOpmlStatus status = EOpmlStatus::Ok;
    // Why it failed: "not an OPML file: the document is <rss>", "XML error at line 3: ...".
    // Empty when Ok.
    std::string strError;
    CFeedSourceList sources;  // empty unless Ok
};

COpmlResult ReadOpml(std::string_view bytes);

// An OPML 2.0 document in UTF-8 listing the sources, each an outline of type "rss" with
// text, title and xmlUrl, under a head with strTitle. Attribute and title text is escaped
// (&, <, >, ", and tabs and line breaks as character references); characters XML cannot
// hold are dropped. Sources whose address is not an http or https address are left out.
// ReadOpml gives back the sources written, when their names are already as ReadOpml
// makes them and their addresses are not repeated.
std::string WriteOpml(const CFeedSourceList& sources, const std::string& strTitle);
