#pragma once

#include "text/Windows1250.h"

#include <QList>
#include <QString>
#include <optional>

namespace kavrin::ftp {

// A listing line taken as one client's file: the entry is text[from, from + length) of
// the line, so its server bytes are text::encodePart(line, from, length).
struct ListingMatch
{
    qsizetype from = 0;
    qsizetype length = 0;
    QString name;
};

// The entry of line L for tax number T. C is L from the first occurrence of T on (from the
// start when T is empty or absent), at most 100 characters; L is an entry when the first
// 8 characters of C equal the first 8 of T (shorter texts whole) and L nowhere contains
// "Uvozeno". Exact and case-sensitive throughout. The line comes without its CR LF.
std::optional<ListingMatch> matchListingLine(const QString& line, const QString& taxNumber);

// The order in which the raw listing is examined: ascending by text, letter case
// ignored, Slovenian collation; lines that compare equal keep the server's order.
void sortListing(QList<text::ListingLine>& lines);

} // namespace kavrin::ftp
