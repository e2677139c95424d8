#include "ftp/FtpReply.h"

namespace kavrin::ftp {

namespace {

// The code of a first line: three digits, the first 1 to 5, then a space, a "-" or the end.
int replyCode(QByteArrayView line)
{
    if (line.size() < 3)
        return -1;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return -1;
    }
    if (line[0] < '1' || line[0] > '5')
        return -1;
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-')
        return -1;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

bool endsMultiLine(QByteArrayView line, QByteArrayView first)
{
    return line.size() >= 3 && line.first(3) == first.first(3) && (line.size() == 3 || line[3] == ' ');
}

QByteArrayView textOf(QByteArrayView line)
{
    return line.size() > 4 ? line.sliced(4) : QByteArrayView();
}

} // namespace

QByteArray FtpReply::text() const
{
    if (lines.isEmpty())
        return {};
    QByteArray result = textOf(lines.first()).toByteArray();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        result += '\n';
        // Only the closing line repeats the code; the lines between are free text.
        result += (i == lines.size() - 1) ? textOf(lines[i]) : QByteArrayView(lines[i]);
    }
    return result;
}

void FtpReplyReader::append(QByteArrayView bytes)
{
    if (m_error != Status::NeedMore)
        return;
    m_buffer.append(bytes);
}

FtpReplyReader::Status FtpReplyReader::fail(Status status)
{
    m_error = status;
    m_buffer.clear();
    m_current = {};
    m_start = m_scanned = m_currentSize = 0;
    return status;
}

FtpReplyReader::Status FtpReplyReader::next(FtpReply& reply)
{
    if (m_error != Status::NeedMore)
        return m_error;
    for (;;) {
        const qsizetype lf = m_buffer.indexOf('\n', m_start + m_scanned);
        if (lf < 0) {
            m_scanned = m_buffer.size() - m_start;
            // A CR at the end may be the first half of the line's CR LF, not part of the line.
            if (m_scanned - (m_buffer.endsWith('\r') ? 1 : 0) > maxLineLength)
                return fail(Status::LineTooLong);
            if (m_currentSize + m_scanned > maxReplySize)
                return fail(Status::ReplyTooLong);
            return Status::NeedMore;
        }
        qsizetype end = lf;
        if (end > m_start && m_buffer.at(end - 1) == '\r')
            --end;
        const QByteArrayView line(m_buffer.constData() + m_start, end - m_start);
        if (line.size() > maxLineLength)
            return fail(Status::LineTooLong);
        m_currentSize += lf + 1 - m_start;
        if (m_currentSize > maxReplySize)
            return fail(Status::ReplyTooLong);

        bool complete;
        if (m_current.lines.isEmpty()) {
            const int code = replyCode(line);
            if (code < 0)
                return fail(Status::Malformed);
            m_current.code = code;
            complete = line.size() <= 3 || line[3] == ' ';
        } else {
            complete = endsMultiLine(line, m_current.lines.first());
        }
        m_current.lines.append(line.toByteArray());
        m_start = lf + 1;
        m_scanned = 0;
        if (complete)
            break;
    }

    reply = std::move(m_current);
    m_current = {};
    m_currentSize = 0;
    if (m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    } else if (m_start >= maxReplySize) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
    return Status::Complete;
}

void FtpReplyReader::clear()
{
    m_buffer.clear();
    m_current = {};
    m_start = m_scanned = m_currentSize = 0;
    m_error = Status::NeedMore;
}

} // namespace kavrin::ftp
