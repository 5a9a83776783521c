#include "configfile.h"

#include "runtimeerror.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <cmath>

namespace {

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The longest leading decimal number of a text (sign, digits, fraction, exponent);
// 0 when it does not begin with one.
double leadingNumber(const QByteArray& token)
{
    static const QRegularExpression re(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eEdD][+-]?\\d+)?"));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(token));
    if (!m.hasMatch())
        return 0.0;
    QString number = m.captured(0);
    number.replace(QLatin1Char('d'), QLatin1Char('e')).replace(QLatin1Char('D'), QLatin1Char('e'));
    return number.toDouble();
}

// The text of bytes: UTF-8 where they are valid UTF-8 (as editors save text today, Windows'
// Notepad included), else the system's 8-bit code page (Windows' ANSI code page; UTF-8 on
// Linux). A byte order mark stays in the text (Qt's decoding drops one at the start of every
// item, which then would not read back).
QString decodeText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder system(QStringDecoder::System, QStringDecoder::Flag::ConvertInitialBom);
    return system(bytes);
}

// Whether the text is exactly the bytes, read as decodeText reads them.
bool readsBack(const QString& text, const QByteArray& bytes)
{
    return text.toUtf8() == bytes || text.toLocal8Bit() == bytes;
}

// decodeText, where a run of bytes beyond ASCII that neither encoding reads back to
// itself is written as its bytes in %XX form, instead of replacement characters that
// would lose them: "caf\xE9" with UTF-8 as the system's code page gives "caf%E9".
QString decodeKeepingBytes(const QByteArray& bytes)
{
    QString text = decodeText(bytes);
    if (readsBack(text, bytes))
        return text;
    text.clear();
    for (qsizetype i = 0; i < bytes.size();) {
        const bool ascii = static_cast<unsigned char>(bytes.at(i)) < 0x80;
        qsizetype end = i;
        while (end < bytes.size() && (static_cast<unsigned char>(bytes.at(end)) < 0x80) == ascii)
            ++end;
        const QByteArray run = bytes.mid(i, end - i);
        const QString decoded = decodeText(run);
        if (ascii || readsBack(decoded, run)) {
            text += decoded;
        } else {
            for (const char c : run)
                text += QLatin1Char('%') +
                        QStringLiteral("%1").arg(static_cast<unsigned char>(c), 2, 16).toUpper();
        }
        i = end;
    }
    return text;
}

} // namespace

void SequentialInput::skipBlanks()
{
    while (!atEnd() && isBlank(peek()))
        ++m_pos;
}

void SequentialInput::consumeSeparator()
{
    if (atEnd())
        return;
    if (peek() == ',') {
        ++m_pos;
    } else if (peek() == '\r') {
        ++m_pos;
        if (!atEnd() && peek() == '\n')
            ++m_pos;
    } else if (peek() == '\n') {
        ++m_pos;
    }
}

QByteArray SequentialInput::readTextItem(bool* quoted)
{
    skipBlanks();
    if (atEnd())
        throw RuntimeError(RuntimeError::InputPastEndOfFile);
    QByteArray value;
    if (peek() == '"') {
        *quoted = true;
        const qsizetype close = m_bytes.indexOf('"', m_pos + 1);
        const qsizetype end = close < 0 ? m_bytes.size() : close;
        value = m_bytes.mid(m_pos + 1, end - m_pos - 1);
        m_pos = close < 0 ? end : close + 1;
        // Text between the closing quote and the separator is dropped.
        while (!atEnd() && peek() != ',' && !isLineEnd(peek()))
            ++m_pos;
    } else {
        *quoted = false;
        const qsizetype start = m_pos;
        while (!atEnd() && peek() != ',' && !isLineEnd(peek()))
            ++m_pos;
        qsizetype end = m_pos;
        while (end > start && isBlank(m_bytes.at(end - 1)))
            --end;
        value = m_bytes.mid(start, end - start);
    }
    consumeSeparator();
    return value;
}

QString SequentialInput::readText()
{
    bool quoted = false;
    return decodeText(readTextItem(&quoted));
}

QString SequentialInput::readValueAsText()
{
    bool quoted = false;
    const QString text = decodeKeepingBytes(readTextItem(&quoted));
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (quoted || !number.match(text).hasMatch())
        return text;
    const double d = text.toDouble();
    if (!std::isfinite(d))
        return text;
    return QString::number(d, 'g', 15);
}

double SequentialInput::readNumber()
{
    while (!atEnd() && (isBlank(peek()) || isLineEnd(peek())))
        ++m_pos;
    if (atEnd())
        throw RuntimeError(RuntimeError::InputPastEndOfFile);
    const qsizetype start = m_pos;
    while (!atEnd() && peek() != ',' && !isBlank(peek()) && !isLineEnd(peek()))
        ++m_pos;
    const double value = leadingNumber(m_bytes.mid(start, m_pos - start));
    skipBlanks();
    consumeSeparator();
    return value;
}

std::uint8_t SequentialInput::readByte()
{
    const double rounded = std::nearbyint(readNumber()); // ties to even
    if (!(rounded >= 0.0 && rounded <= 255.0))
        throw RuntimeError(RuntimeError::Overflow);
    return std::uint8_t(rounded);
}

ConfigItems ConfigFile::parse(const QByteArray& bytes)
{
    // A byte order mark, as editors on Windows may write at the start, is no part of the URL.
    static const QByteArray kByteOrderMark("\xEF\xBB\xBF");
    SequentialInput in(bytes.startsWith(kByteOrderMark) ? bytes.mid(kByteOrderMark.size()) : bytes);
    ConfigItems items;
    items.url = in.readValueAsText();
    items.showPopup = in.readByte();
    items.soundFile = in.readText();
    return items;
}

ConfigItems ConfigFile::read(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw RuntimeError(RuntimeError::FileNotFound);
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        throw RuntimeError(RuntimeError::PathFileAccessError);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(RuntimeError::DeviceIoError);
    file.close();
    return parse(bytes);
}
