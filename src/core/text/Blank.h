#pragma once

#include <QStringView>

namespace kavrin::text {

// Empty, or made only of characters with codes 0 to 32. The text itself is used unchanged
// by the callers; only this test looks past its surrounding blanks.
inline bool isBlank(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() > 32)
            return false;
    }
    return true;
}

} // namespace kavrin::text
