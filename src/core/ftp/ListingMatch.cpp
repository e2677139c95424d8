#include "ftp/ListingMatch.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>

namespace kavrin::ftp {
namespace {

constexpr qsizetype kEntryLength = 100;
constexpr qsizetype kComparedLength = 8;

} // namespace

std::optional<ListingMatch> matchListingLine(const QString& line, const QString& taxNumber)
{
    // Not found and an empty tax number both start C at the line's beginning.
    const qsizetype from = std::max<qsizetype>(line.indexOf(taxNumber, 0, Qt::CaseSensitive), 0);
    QStringView rest = QStringView(line).mid(from, kEntryLength);
    // A character outside the BMP is never cut in half: the name must stay the server's bytes.
    if (rest.size() == kEntryLength && rest.back().isHighSurrogate())
        rest.chop(1);
    if (rest.left(kComparedLength) != QStringView(taxNumber).left(kComparedLength))
        return std::nullopt;
    if (line.contains(u"Uvozeno", Qt::CaseSensitive))
        return std::nullopt;
    return ListingMatch { from, rest.size(), rest.toString() };
}

void sortListing(QList<text::ListingLine>& lines)
{
    QCollator collator(QLocale(QLocale::Slovenian, QLocale::Slovenia));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(lines.begin(), lines.end(), [&collator](const text::ListingLine& a, const text::ListingLine& b) {
        return collator.compare(a.text, b.text) < 0;
    });
}

} // namespace kavrin::ftp
