#pragma once

#include <QtGlobal>

// Takes the chunk framing off a body sent with "Transfer-Encoding: chunked", as its bytes
// arrive, in whatever pieces: the size lines (hex digits of either case, then any
// extensions after ";", which are not needed and skipped), the CR LF after each chunk's
// data, and the trailer fields after the zero-size chunk, up to the empty line that ends
// the body. The page's own bytes are handed back where they lie in the piece, so nothing
// of the body is copied or kept here: the reader's memory does not grow with the page.
//
// Two bounds hold however the pieces fall: a chunk whose size says more than the page may
// still take fails at once (before its data comes), and the size lines and trailer count
// against a bound of their own, so that a server cannot stream framing without end.
class ChunkedBody
{
public:
    enum class State
    {
        Reading,      // more of the body is expected
        Done,         // the last chunk and its trailer have come: the body is whole
        Malformed,    // a size line, a chunk's end or the trailer is not as HTTP/1.1 has them
        TooLarge,     // a chunk's size goes beyond the page bound
        LinesTooLong, // the size lines and trailer go beyond their bound
    };

    // `maxPageBytes`: the most page bytes all chunks together may hold. `maxLineBytes`: the
    // most bytes all size lines (with extensions and line ends) and the trailer may take.
    ChunkedBody(qint64 maxPageBytes, qint64 maxLineBytes)
        : m_pageRoom(maxPageBytes), m_lineRoom(maxLineBytes)
    {
    }

    // The next page bytes of a piece: takes framing from the front of [data, data + size)
    // up to the next page bytes, which it returns (and steps over); size 0 when the piece
    // is used up or the reader stopped (see state()). Bytes after the end of the body are
    // left in the piece, not part of the page.
    struct Span
    {
        const char* data = nullptr;
        qint64 size = 0;
    };
    Span next(const char*& data, qint64& size);

    State state() const { return m_state; }
    bool stopped() const { return m_state != State::Reading; }

private:
    enum class Step
    {
        SizeDigits, // the chunk's size, its first digit still to come when m_digits is 0
        SizeSpace,  // blanks after the size
        Extension,  // ";" and what follows, up to the line's CR
        SizeLf,     // the LF after the size line's CR
        Data,       // m_left page bytes of the chunk still to come
        DataCr,     // the CR LF after a chunk's data
        DataLf,
        TrailerStart, // the start of a trailer line: CR, the empty line, ends the body
        TrailerLine,  // a trailer field, up to its CR
        TrailerLf,    // the LF after a trailer field's CR
        EndLf,        // the LF of the empty line that ends the body
    };
    // One byte of framing; false when it is not one of the step's bytes.
    bool frame(char c);

    State m_state = State::Reading;
    Step m_step = Step::SizeDigits;
    qint64 m_left = 0; // the chunk's size as read so far, then its bytes still to come
    int m_digits = 0;  // of the size line read so far
    qint64 m_pageRoom; // page bytes still allowed
    qint64 m_lineRoom; // framing bytes still allowed
};
