#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace kavrin::ftp {

// The lines of a listing, split at CR LF, CR or LF. Empty lines between line breaks are kept;
// the empty rest after the last line break is no line.
QList<QByteArray> splitLines(QByteArrayView text);

} // namespace kavrin::ftp
