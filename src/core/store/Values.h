#pragma once

#include <QVariant>

// How values are kept in the store: the one conversion that result sets, parameters and
// the table rebuild share, so a text reads back the same whichever way it came in.
namespace kavrin::store::values {

// At most size characters (0: no limit), without trailing spaces when of fixed length;
// an empty text is no value.
QVariant storedText(const QVariant& value, int size, bool fixedLength);
// A boolean or no value; numbers are true when not 0, texts such as "True", "F", "1".
QVariant storedBool(const QVariant& value);
// An integer or no value.
QVariant storedInteger(const QVariant& value);

} // namespace kavrin::store::values
