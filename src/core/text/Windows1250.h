#pragma once

#include <QByteArray>
#include <QString>

namespace kavrin::text {

// One line of a server listing: the bytes as they came and the text they are read as.
// On a Windows-1250 line every byte is exactly one character, so a slice of text is the
// same slice of raw; on a UTF-8 line the slice's UTF-8 is its raw bytes.
struct ListingLine
{
    QByteArray raw;
    QString text;
    bool utf8 = false;
};

// Windows-1250, unless the bytes are valid UTF-8 with at least one non-ASCII byte.
// Bytes that Windows-1250 leaves undefined become U+FFFD, still one character each.
ListingLine decodeListingLine(const QByteArray& raw);

// The server's own bytes for text[from, from + length) of a listing line.
QByteArray encodePart(const ListingLine& line, qsizetype from, qsizetype length);

// A name that did not come from a listing: Windows-1250 when every character has a byte
// there, otherwise UTF-8.
QByteArray encodeRemoteName(const QString& name);

} // namespace kavrin::text
