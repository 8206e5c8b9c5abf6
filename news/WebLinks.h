#pragma once

// Addresses read from feeds, pages and OPML files, made absolute and checked. Safe in any
// thread.

#include <QStringView>
#include <QUrl>

#include <string>

// The longest address kept, in bytes of its encoded form.
constexpr size_t MAX_LINK_BYTES = 4096;

// strRef resolved against base (as a browser resolves a link: tabs and line breaks inside
// are dropped, blanks and control characters at either end ignored), in its fully encoded
// form: ASCII only, no blank. Empty when the result is not an absolute http or https
// address with a host, or is longer than MAX_LINK_BYTES.
std::string WebLink(const QUrl& base, QStringView strRef);

// The base an xml:base attribute sets inside an element whose parent's base is base: the
// attribute resolved against it (nested bases combine). An empty attribute keeps base.
QUrl ResolveBase(const QUrl& base, QStringView strRef);
