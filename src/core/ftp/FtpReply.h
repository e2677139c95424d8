#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace kavrin::ftp {

// One complete reply of the control connection.
struct FtpReply
{
    int code = 0;
    // The lines without their line breaks, the code included ("250-first", ..., "250 last").
    QList<QByteArray> lines;
    // The text after the code: of the one line, or of every line joined with "\n".
    QByteArray text() const;
};

// Collects the bytes of the control connection and hands out complete replies:
// "xyz text" on one line, or "xyz-" up to the line that starts with "xyz ".
// Lines end with CR LF; a bare LF is taken as well. Limits on the length of a line and of a
// reply keep a hostile server from making the buffer grow without bound.
class FtpReplyReader
{
public:
    enum class Status {
        NeedMore, // no complete reply yet
        Complete, // a reply was taken
        Malformed, // a first line that does not start with a reply code
        LineTooLong,
        ReplyTooLong,
    };

    static constexpr qsizetype maxLineLength = 4096;
    static constexpr qsizetype maxReplySize = 64 * 1024;

    void append(QByteArrayView bytes);
    // Takes the next complete reply out of the buffer. After an error status the reader
    // stays in error until clear().
    Status next(FtpReply& reply);
    // Bytes held but not yet handed out.
    qsizetype buffered() const { return m_buffer.size() - m_start + m_currentSize; }
    void clear();

private:
    Status fail(Status status);

    QByteArray m_buffer;
    qsizetype m_start = 0; // start of the first line not yet taken into m_current
    qsizetype m_scanned = 0; // bytes after m_start already known to hold no line break
    FtpReply m_current; // the reply whose first lines have arrived
    qsizetype m_currentSize = 0;
    Status m_error = Status::NeedMore;
};

} // namespace kavrin::ftp
