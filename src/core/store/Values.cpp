#include "store/Values.h"

#include <QString>

namespace kavrin::store::values {

QVariant storedText(const QVariant& value, int size, bool fixedLength)
{
    if (value.isNull())
        return {};
    QString text = value.typeId() == QMetaType::Bool
        ? (value.toBool() ? QStringLiteral("True") : QStringLiteral("False"))
        : value.toString();
    if (size > 0 && text.size() > size)
        text.truncate(size);
    if (fixedLength) {
        qsizetype end = text.size();
        while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
            --end;
        text.truncate(end);
    }
    if (text.isEmpty())
        return {};
    return text;
}

QVariant storedBool(const QVariant& value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toDouble() != 0.0;
    default:
        break;
    }
    const QString text = value.toString().trimmed().toLower();
    if (text == u"true" || text == u"t" || text == u"yes" || text == u"y" || text == u"1")
        return true;
    if (text == u"false" || text == u"f" || text == u"no" || text == u"n" || text == u"0")
        return false;
    return {};
}

QVariant storedInteger(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Bool)
        return qlonglong(value.toBool() ? 1 : 0);
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (ok)
        return number;
    const double real = value.toDouble(&ok);
    if (ok)
        return qlonglong(real);
    return {};
}

} // namespace kavrin::store::values
