// The reply reader against any bytes a server may send, whole and in pieces: no crash,
// no growth past its limits, and the same replies however the bytes are cut.
#include "ftp/FtpReply.h"

#include <cstdint>
#include <cstdlib>

using kavrin::ftp::FtpReply;
using kavrin::ftp::FtpReplyReader;

namespace {

struct Outcome
{
    QList<FtpReply> replies;
    FtpReplyReader::Status last = FtpReplyReader::Status::NeedMore;
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Feeds bytes in pieces of pieceSize (0: whole), taking replies after every piece as the
// client does.
Outcome read(QByteArrayView bytes, qsizetype pieceSize)
{
    FtpReplyReader reader;
    Outcome outcome;
    const qsizetype step = pieceSize > 0 ? pieceSize : std::max<qsizetype>(bytes.size(), 1);
    for (qsizetype at = 0; at < bytes.size() || at == 0; at += step) {
        reader.append(
            bytes.sliced(std::min(at, bytes.size()), std::min(step, bytes.size() - std::min(at, bytes.size()))));
        FtpReply reply;
        while ((outcome.last = reader.next(reply)) == FtpReplyReader::Status::Complete) {
            check(reply.code >= 100 && reply.code <= 599);
            check(!reply.lines.isEmpty());
            for (const QByteArray& line : reply.lines)
                check(line.size() <= FtpReplyReader::maxLineLength && !line.contains('\n'));
            check(reply.lines.first().startsWith(QByteArray::number(reply.code)));
            reply.text();
            outcome.replies.append(reply);
        }
        if (outcome.last != FtpReplyReader::Status::NeedMore)
            return outcome;
        check(reader.buffered() <= FtpReplyReader::maxReplySize);
    }
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype pieceSize = data[0] % 64 + 1;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);
    const Outcome whole = read(bytes, 0);
    const Outcome pieces = read(bytes, pieceSize);
    check(whole.last == pieces.last);
    check(whole.replies.size() == pieces.replies.size());
    for (qsizetype i = 0; i < whole.replies.size(); ++i)
        check(whole.replies[i].code == pieces.replies[i].code && whole.replies[i].lines == pieces.replies[i].lines);
    return 0;
}
