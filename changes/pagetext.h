#pragma once

#include <QByteArray>
#include <QStringList>

// What reading a page needs of its reply's header.
struct PageType
{
    QByteArray mediaType; // lower case, e.g. "text/html"; empty: unknown
    QByteArray charset;   // lower case label as sent, e.g. "iso-8859-1"; empty: none
    static PageType fromContentType(const QByteArray& contentTypeValue);
    QByteArray contentType() const; // back to "text/html; charset=iso-8859-1" (for storing)
};

// The page's text as a reader sees it.
struct PageText
{
    enum class Kind
    {
        Html,
        Text,
        NotText,
        TooLarge
    };
    Kind kind = Kind::Text;
    QStringList lines; // the text as a reader sees it, one entry a line; empty for NotText
};

// The largest body that is read: a larger one is Kind::TooLarge.
inline constexpr qsizetype kPageTextMaxBytes = 32 * 1024 * 1024;

// An HTML page without markup, scripts, styles, comments, templates and attribute values,
// with its blocks as lines; a text body (plain text, JSON, XML, a feed) as its lines.
// Thread-safe, no Qt GUI: runs in a worker thread.
[[nodiscard]] PageText readPageText(const QByteArray& body, const PageType& type);
