#include "text/SafeName.h"

#include <QStringView>

namespace kavrin::text {
namespace {

bool isDeviceName(QStringView name)
{
    // Windows takes the part before the first dot, trailing spaces dropped, as the device.
    qsizetype end = name.indexOf(u'.');
    if (end < 0)
        end = name.size();
    while (end > 0 && name[end - 1] == u' ')
        --end;
    const QStringView base = name.left(end);

    static constexpr QStringView kPlain[] = { u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$" };
    for (QStringView device : kPlain) {
        if (base.compare(device, Qt::CaseInsensitive) == 0)
            return true;
    }
    if (base.size() == 4
        && (base.left(3).compare(u"COM", Qt::CaseInsensitive) == 0
            || base.left(3).compare(u"LPT", Qt::CaseInsensitive) == 0)) {
        // Windows reserves the superscript digits as well.
        const char16_t digit = base[3].unicode();
        return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
    }
    return false;
}

} // namespace

bool isSafeLocalFileName(const QString& name)
{
    if (name.isEmpty() || name.size() > 255 || name == u"." || name == u"..")
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u < 32)
            return false;
        switch (u) {
        case u'/':
        case u'\\':
        case u':':
        case u'<':
        case u'>':
        case u'"':
        case u'|':
        case u'?':
        case u'*':
            return false;
        default:
            break;
        }
    }
    const QChar last = name.back();
    if (last == u' ' || last == u'.')
        return false;
    return !isDeviceName(name);
}

} // namespace kavrin::text
