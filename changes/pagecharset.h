#pragma once

#include <QByteArray>
#include <QString>

// Decoding a page's bytes the way browsers do. Qt's decoder knows UTF-8, UTF-16 and Latin-1
// only, so Windows-1252 (what browsers read for the "iso-8859-1", "latin1" and "ascii"
// labels too) has its own table here, and any other label is treated as absent.
enum class PageEncoding
{
    Unknown,
    Utf8,
    Utf16LE,
    Utf16BE,
    Windows1252
};

// The encoding a label names (WHATWG's labels, case and surrounding white space ignored);
// Unknown for a label of an encoding not known here.
[[nodiscard]] PageEncoding encodingForLabel(QByteArray label);

// The charset an HTML page declares in a <meta> within its first 1024 bytes (the prescan
// browsers run before parsing); Unknown when none is declared or its label is unknown.
// UTF-16 declared there means UTF-8: bytes that can be scanned as ASCII are not UTF-16.
[[nodiscard]] PageEncoding metaCharset(const QByteArray& body);

// The body as text: a byte-order mark wins, then the header's charset, then (for HTML)
// the page's meta charset, then UTF-8 where the bytes are valid UTF-8, else Windows-1252.
[[nodiscard]] QString decodePage(const QByteArray& body, const QByteArray& headerCharset,
                                 bool html);

// The same as UTF-8 bytes; a page that is valid UTF-8 and read as such comes back as it
// is, without a copy (most pages are: decoding and encoding them again would double the
// time and the memory this takes).
[[nodiscard]] QByteArray decodePageToUtf8(const QByteArray& body, const QByteArray& headerCharset,
                                          bool html);
