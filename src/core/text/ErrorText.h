#pragma once

#include <QString>

namespace kavrin::text {

// The error display's text: a full stop is added when the last character's code is above '.'.
inline QString withFullStop(const QString& text)
{
    if (!text.isEmpty() && text.back().unicode() > u'.')
        return text + QLatin1Char('.');
    return text;
}

} // namespace kavrin::text
