#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// The three settings of config.ini, in the file's order.
struct ConfigItems
{
    QString url;                // item 1: any value, as text
    std::uint8_t showPopup = 0; // item 2: 1 shows the popup on a change
    QString soundFile;          // item 3: file name under Sounds
};

// Reads delimited items one after another from the bytes of a sequential text file,
// the way a program's "input" statement reads them:
//  - items are separated by a comma or a line end (CR LF, a lone CR or a lone LF);
//  - a text item skips leading spaces and tabs; a double quote starts a quoted item
//    that runs to the next double quote (anything between that quote and the next
//    separator is dropped); an unquoted item ends at a comma or line end and loses
//    its trailing spaces and tabs;
//  - a number skips spaces, tabs and line ends, ends at a comma, blank or line end,
//    and reads the longest leading decimal number (none: 0);
//  - reading past the last byte raises error 62.
// Bytes are decoded from the system's 8-bit encoding. The value read as text (item 1, the
// URL) keeps bytes that do not decode as %XX: "caf\xE9" in UTF-8 reads "caf%E9".
class SequentialInput
{
public:
    explicit SequentialInput(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    QString readText();
    // A value of any kind converted to text: an unquoted item that is a number
    // reads as that number's text ("007" gives "7").
    QString readValueAsText();
    double readNumber();
    // A number rounded half to even into 0..255; outside that range error 6.
    std::uint8_t readByte();

private:
    QByteArray readTextItem(bool* quoted);
    void skipBlanks();
    void consumeSeparator();
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    char peek() const { return m_bytes.at(m_pos); }

    QByteArray m_bytes;
    qsizetype m_pos = 0;
};

namespace ConfigFile {
// Parses the file's bytes: item 1, item 2, item 3; anything after is ignored. A UTF-8 byte
// order mark at the start is skipped.
ConfigItems parse(const QByteArray& bytes);
// Reads the file: error 53 when it is missing, 75 when it cannot be opened, 57 when
// it cannot be read, and parse()'s errors.
ConfigItems read(const QString& path);
} // namespace ConfigFile
