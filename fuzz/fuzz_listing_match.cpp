// A listing from the server, split and decoded as the transfer window does, matched
// against a tax number: no crash, and every match names bytes the server really sent.
#include "ftp/LineSplit.h"
#include "ftp/ListingMatch.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte: the length of the tax number that follows; the rest: the listing.
    if (size < 1)
        return 0;
    const qsizetype taxLength = std::min<qsizetype>(data[0] % 16, qsizetype(size) - 1);
    const char* bytes = reinterpret_cast<const char*>(data) + 1;
    const QString taxNumber = QString::fromUtf8(bytes, taxLength);
    const QByteArrayView listing(bytes + taxLength, qsizetype(size) - 1 - taxLength);

    QList<kavrin::text::ListingLine> lines;
    for (const QByteArray& raw : kavrin::ftp::splitLines(listing)) {
        check(!raw.contains('\r') && !raw.contains('\n'));
        const kavrin::text::ListingLine line = kavrin::text::decodeListingLine(raw);
        check(line.raw == raw);
        if (!line.utf8)
            check(line.text.size() == raw.size()); // one character per byte
        lines.append(line);
    }
    kavrin::ftp::sortListing(lines);
    for (const kavrin::text::ListingLine& line : lines) {
        const auto match = kavrin::ftp::matchListingLine(line.text, taxNumber);
        if (!match)
            continue;
        check(match->from >= 0 && match->length >= 0 && match->from + match->length <= line.text.size());
        check(match->length <= 100 && match->name == line.text.mid(match->from, match->length));
        check(!line.text.contains(u"Uvozeno"));
        // The name the server gets back (to fetch and delete the file) is a piece of its own line.
        const QByteArray remote = kavrin::text::encodePart(line, match->from, match->length);
        check(line.raw.contains(remote));
    }
    return 0;
}
