#include "text/Wildcard.h"

#include <QList>

namespace kavrin::text {
namespace {

// Whole code points, folded, so "?" takes one character even outside the BMP.
QList<uint> folded(QStringView text)
{
    QList<uint> points = text.toUcs4();
    for (uint& p : points)
        p = QChar::toCaseFolded(p);
    return points;
}

// Iterative glob: on a mismatch, let the last "*" take one more character and retry.
// Linear in the usual case, never worse than name length times pattern length.
bool globMatch(const QList<uint>& name, const QList<uint>& pattern, qsizetype patternEnd)
{
    const qsizetype nameEnd = name.size();
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < nameEnd) {
        if (p < patternEnd && pattern[p] == uint('*')) {
            starP = p++;
            starN = n;
        } else if (p < patternEnd && (pattern[p] == uint('?') || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < patternEnd && pattern[p] == uint('*'))
        ++p;
    return p == patternEnd;
}

bool hasExtension(const QList<uint>& name)
{
    for (qsizetype i = 1; i < name.size(); ++i) {
        if (name[i] == uint('.'))
            return true;
    }
    return false;
}

} // namespace

QStringList splitMask(const QString& mask)
{
    return mask.split(u';', Qt::SkipEmptyParts);
}

bool matchesPattern(const QString& name, const QString& pattern)
{
    const QList<uint> n = folded(name);
    const QList<uint> p = folded(pattern);
    if (globMatch(n, p, p.size()))
        return true;
    const qsizetype size = p.size();
    const bool endsInAnyExtension = size >= 2 && p[size - 2] == uint('.') && p[size - 1] == uint('*');
    return endsInAnyExtension && !hasExtension(n) && globMatch(n, p, size - 2);
}

} // namespace kavrin::text
