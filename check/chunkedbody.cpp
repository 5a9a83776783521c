#include "chunkedbody.h"

#include <algorithm>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

ChunkedBody::Span ChunkedBody::next(const char*& data, qint64& size)
{
    while (size > 0 && m_state == State::Reading) {
        if (m_step == Step::Data) {
            const qint64 n = std::min(m_left, size);
            const Span page{data, n};
            data += n;
            size -= n;
            m_left -= n;
            if (m_left == 0)
                m_step = Step::DataCr;
            return page;
        }
        // The size lines and trailer are short: byte by byte is fast enough, and holds
        // nothing between pieces but the step and the size.
        const bool counted = m_step != Step::DataCr && m_step != Step::DataLf;
        if (counted && --m_lineRoom < 0) {
            m_state = State::LinesTooLong;
            break;
        }
        const char c = *data;
        if (!frame(c)) {
            if (m_state == State::Reading)
                m_state = State::Malformed;
            break;
        }
        ++data;
        --size;
    }
    return {};
}

bool ChunkedBody::frame(char c)
{
    switch (m_step) {
    case Step::SizeDigits:
        if (const int v = hexValue(c); v >= 0) {
            // Leading zeros take no room; a size beyond what the page may still take
            // fails before its data comes.
            m_left = m_left * 16 + v;
            ++m_digits;
            if (m_left > m_pageRoom) {
                m_state = State::TooLarge;
                return false;
            }
            return true;
        }
        if (m_digits == 0)
            return false;
        [[fallthrough]];
    case Step::SizeSpace:
        // Blanks may stand before ";" or the line's end.
        if (c == ' ' || c == '\t') {
            m_step = Step::SizeSpace;
            return true;
        }
        if (c == ';') {
            m_step = Step::Extension;
            return true;
        }
        if (c == '\r') {
            m_step = Step::SizeLf;
            return true;
        }
        return false;
    case Step::Extension:
        // Names, values and quoted strings alike, up to the line's end: none is needed.
        if (c == '\n')
            return false;
        if (c == '\r')
            m_step = Step::SizeLf;
        return true;
    case Step::SizeLf:
        if (c != '\n')
            return false;
        m_digits = 0;
        if (m_left == 0) {
            m_step = Step::TrailerStart;
        } else {
            m_pageRoom -= m_left;
            m_step = Step::Data;
        }
        return true;
    case Step::Data:
        return false; // taken in next()
    case Step::DataCr:
        m_step = Step::DataLf;
        return c == '\r';
    case Step::DataLf:
        m_step = Step::SizeDigits;
        return c == '\n';
    case Step::TrailerStart:
        if (c == '\r') {
            m_step = Step::EndLf;
            return true;
        }
        if (c == '\n')
            return false;
        m_step = Step::TrailerLine;
        return true;
    case Step::TrailerLine:
        if (c == '\n')
            return false;
        if (c == '\r')
            m_step = Step::TrailerLf;
        return true;
    case Step::TrailerLf:
        m_step = Step::TrailerStart;
        return c == '\n';
    case Step::EndLf:
        if (c != '\n')
            return false;
        m_state = State::Done;
        return true;
    }
    return false;
}
